// Renaming parts follows them into the stepping slots that step a component by name (slots that
// step a model or a symbol keep their names even where they equal a part's old name); Undo puts
// back the names and every text the rename rewrote, a second Undo renames again.
#include <gtest/gtest.h>

#include <algorithm>

#include "edit_test_support.h"
#include "schematic_test_support.h"
#include "document/node_flags.h"
#include "schematic/edit_commands.h"
#include "schematic/rename_components.h"

namespace kq5 {
namespace {

class RenameSteppingTest : public testing::EditTest {
protected:
    SteppingSlot& Slot(int index, std::uint32_t type, const std::string& name)
    {
        SteppingSlot& slot = doc->stepping[static_cast<std::size_t>(index)];
        slot.flags = kStepLinear | type;
        slot.name = name;
        return slot;
    }
};

TEST_F(RenameSteppingTest, ComponentSlotsFollowTheirParts)
{
    ComponentDefinition* r = Resistor();
    Named(r, 1, 1, "RLOAD");  // becomes R1
    Named(r, 5, 1, "R1");     // becomes R2
    SteppingSlot& load = Slot(0, kStepComponent, "rload");
    SteppingSlot& other = Slot(9, kStepComponent | kStepOn, "R1");
    SteppingSlot& model = Slot(3, kStepModel, "R1");
    SteppingSlot& symbol = Slot(4, kStepSymbolic, "RLOAD");
    SteppingSlot& unknown = Slot(5, kStepComponent, "R77");
    RenameComponents(record);
    EXPECT_EQ(load.name, "R1");
    EXPECT_EQ(other.name, "R2");
    EXPECT_EQ(model.name, "R1");
    EXPECT_EQ(symbol.name, "RLOAD");
    EXPECT_EQ(unknown.name, "R77");
}

TEST_F(RenameSteppingTest, LongNamesAreNeitherMissedNorCut)
{
    ComponentDefinition* r = Resistor();
    const std::string longName = "R" + std::string(60, 'X');
    Named(r, 1, 1, longName);  // becomes R1
    Named(r, 5, 1, "R1");      // becomes R2
    SteppingSlot& renamed = Slot(2, kStepComponent, longName);
    SteppingSlot& kept = Slot(1, kStepComponent, longName + "Y");
    RenameComponents(record);
    EXPECT_EQ(renamed.name, "R1");
    EXPECT_EQ(kept.name, longName + "Y");
}

class RenameUndoTest : public testing::EditTest {
protected:
    // The part names of the document, sorted: Undo brings the old item order back as well.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const SchematicItem& item : ListRecords<SchematicItem>(doc->itemList))
            names.push_back(GetAttributeText(&item, kAttrPart));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(RenameUndoTest, UndoPutsTheOldNamesAndTextsBackAndRedoRenamesAgain)
{
    ComponentDefinition* r = Resistor();
    Named(r, 9, 1, "R1");  // becomes R2
    Named(r, 1, 1, "RX");  // becomes R1
    Text(".PARAM P={RX}", 1, 9);
    record->textArea = ".PARAM Q={RX}";
    doc->limitsRows[0].push_back(LimitsRow{});
    std::string& expression = doc->limitsRows[0][0].yExpression;
    expression = "I(RX)";
    SteppingSlot& slot = doc->stepping[0];
    slot.flags = kStepComponent;
    slot.name = "RX";
    RenameComponents(record);
    ASSERT_EQ(Names(), (std::vector<std::string>{"R1", "R2"}));
    ASSERT_EQ(slot.name, "R1");

    EditUndo(record);
    EXPECT_EQ(Names(), (std::vector<std::string>{"R1", "RX"}));
    for (const SchematicItem& item : ListRecords<SchematicItem>(doc->itemList))
        EXPECT_EQ(FindAttribute(&item, kAttrTempPart), nullptr);
    EXPECT_EQ(ListHead<GridText>(doc->gridTextList)->text, ".PARAM P={RX}");
    EXPECT_EQ(record->textArea, ".PARAM Q={RX}");
    EXPECT_EQ(expression, "I(RX)");
    EXPECT_EQ(slot.name, "RX");

    EditUndo(record);
    EXPECT_EQ(Names(), (std::vector<std::string>{"R1", "R2"}));
    EXPECT_EQ(expression, "I(R1)");
    EXPECT_EQ(slot.name, "R1");
    // Another box operation forgets the rename's texts: its Undo leaves them alone.
    ASSERT_EQ(BeginBoxEdit(record), 0);
    EditUndo(record);
    EXPECT_EQ(expression, "I(R1)");
}

}  // namespace
}  // namespace kq5

namespace kq5::testing {
namespace {

// Rename Defines renames a define that the build would ask about: one named like a label,
// wherever the label stands and whether or not the nodes were numbered since it was placed.
class RenameDefinesWindowTest : public SchematicWindowTest {};

TEST_F(RenameDefinesWindowTest, ALabelJustPlacedCountsAsANode)
{
    AddItem(record_, kItemWire, 4, 4, 12, 4);
    GridText* label = AddText(record_, "VOUT", 4, 4);
    UpdateNodeLabelFlag(*label);
    GridText* define = AddText(record_, ".DEFINE VOUT 3", 20, 20);
    record_->document->connectivityStale = 1;
    RenameDefines(record_);
    EXPECT_EQ(define->text, ".DEFINE _VOUT 3");
    EXPECT_EQ(label->text, "VOUT");
    EXPECT_EQ(record_->modified, 1);
}

}  // namespace
}  // namespace kq5::testing
