#include <gtest/gtest.h>

#include "ui/edit_mode.h"
#include "ui/program_settings.h"
#include "document/part_numbering.h"
#include "document_test_support.h"
#include "document/component_types.h"

namespace kq5 {
namespace {

using testing::DocumentTest;

class PartNumberingTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        SetEditMode(record_, kCommandComponentMode);
        resistor_ = Definition("Resistor", kComponentResistor, {{0, 0}, {4, 0}});
        tie_ = Definition("Tie", kComponentTie, {{0, 0}});
    }

    // Places a component as the editor does; the dialog answers OK unless told to cancel.
    SchematicItem* Place(ComponentDefinition* definition, int x = 10, int y = 10, bool cancel = false)
    {
        if (cancel) PushPromptAnswer(PromptAnswer{2, std::nullopt, std::nullopt, {}});
        return PlaceNewComponent(record_, AddComponent(definition, x, y), false);
    }

    int Counter(char letter) const { return document_->partCounters[static_cast<std::size_t>(letter - 'A')]; }

    ComponentDefinition* resistor_ = nullptr;
    ComponentDefinition* tie_ = nullptr;
};

TEST_F(PartNumberingTest, ResistorsCountUpAndACancelledPlacementGivesItsNumberBack)
{
    EXPECT_EQ(GetAttributeText(Place(resistor_), kAttrPart), "R1");
    EXPECT_EQ(GetAttributeText(Place(resistor_), kAttrPart), "R2");
    EXPECT_EQ(Place(resistor_, 10, 10, true), nullptr);
    EXPECT_EQ(document_->itemList.count, 2);
    EXPECT_EQ(Counter('R'), 2);
    SchematicItem* third = Place(resistor_);
    EXPECT_EQ(GetAttributeText(third, kAttrPart), "R3");
    EXPECT_EQ(record_->modified, 1);
    EXPECT_EQ(Settings().recentComponents[0], "Resistor");
    // The type's standard attributes came with it.
    EXPECT_NE(FindAttribute(third, kAttrValue), nullptr);
    EXPECT_NE(FindAttribute(third, kAttrModel), nullptr);
}

TEST_F(PartNumberingTest, TiesShareANameAndACancelledTieTakesNothingBack)
{
    EXPECT_EQ(GetAttributeText(Place(tie_), kAttrPart), "T1");
    EXPECT_EQ(GetAttributeText(Place(tie_), kAttrPart), "T1");
    EXPECT_EQ(Counter('T'), 1);  // the dialog's answer was read back: a tie named T1 exists

    document_->partCounters.fill(0);
    EXPECT_EQ(Place(tie_, 10, 10, true), nullptr);
    EXPECT_EQ(Counter('T'), 0);
    EXPECT_EQ(GetAttributeText(Place(tie_), kAttrPart), "T1");

    RescanPartNumbers(record_);
    EXPECT_EQ(Counter('T'), 1);
}

TEST_F(PartNumberingTest, AnAbandonedPlacementTakesNoNumberAndGivesNoneBack)
{
    Place(resistor_);
    ComponentDefinition* offside = Definition("Offside", kComponentResistor, {{-20, 0}, {4, 0}});
    EXPECT_EQ(Place(offside, 5, 5), nullptr);
    EXPECT_EQ(Counter('R'), 1);
    EXPECT_EQ(document_->itemList.count, 1);
    EXPECT_EQ(GetAttributeText(Place(resistor_), kAttrPart), "R2");
}

TEST_F(PartNumberingTest, CountersFollowTheNamesPresent)
{
    SchematicItem* a = AddComponent(resistor_, 1, 1);
    SchematicItem* b = AddComponent(resistor_, 1, 1);
    SchematicItem* c = AddComponent(resistor_, 1, 1);
    SetAttribute(record_, a, kAttrPart, "R7");
    SetAttribute(record_, b, kAttrPart, "r3");
    SetAttribute(record_, c, kAttrPart, "C9");  // not its letter
    RescanPartNumbers(record_);
    EXPECT_EQ(Counter('R'), 7);
    EXPECT_EQ(Counter('C'), 0);

    SetAttribute(record_, a, kAttrPart, "R1x");  // no trailing digits
    RescanPartNumbers(record_);
    EXPECT_EQ(Counter('R'), 3);
    SetAttribute(record_, c, kAttrPart, "Rout5");
    UpdatePartNumberMax(record_, *c);
    EXPECT_EQ(Counter('R'), 5);
    SetAttribute(record_, c, kAttrPart, "R99999999999999999999");
    UpdatePartNumberMax(record_, *c);
    EXPECT_EQ(Counter('R'), INT32_MAX);
    EXPECT_EQ(NextPartNumber(record_, kComponentResistor).name, "R2147483647");
}

TEST_F(PartNumberingTest, TypesWithoutALetterAreNamedPart)
{
    EXPECT_EQ(NextPartNumber(record_, kComponentBlank).name, "Part1");
    const NextPartName second = NextPartNumber(record_, kComponentBlank);
    EXPECT_EQ(second.name, "Part2");
    EXPECT_EQ(second.slot, kPartCounterNoLetter);
    SchematicItem* blank = AddComponent(Definition("Blank", kComponentBlank), 1, 1);
    SetAttribute(record_, blank, kAttrPart, "anything12");
    UpdatePartNumberMax(record_, *blank);
    EXPECT_EQ(document_->partCounters[kPartCounterNoLetter], 12);
}

TEST_F(PartNumberingTest, DigitalDefaultsComeFromTheDocument)
{
    ComponentDefinition* gate = Definition("AND2", kComponentAnd, {{0, 0}, {0, 2}, {4, 1}});
    SchematicItem* first = Place(gate);
    EXPECT_EQ(GetAttributeText(first, kAttrPowerNode), "$G_DPWR");
    EXPECT_EQ(GetAttributeText(first, kAttrGroundNode), "$G_DGND");
    EXPECT_EQ(GetAttributeText(first, kAttrIoModel), "IO_STD");
    EXPECT_EQ(GetAttributeText(first, kAttrMntymxdly), "0");

    SetAttribute(record_, first, kAttrPowerNode, "VDD");
    SetAttribute(record_, first, kAttrTimingModel, "D_FAST");
    SchematicItem* second = Place(gate, 20, 20);
    EXPECT_EQ(GetAttributeText(second, kAttrPowerNode), "VDD");
    EXPECT_EQ(GetAttributeText(second, kAttrGroundNode), "$G_DGND");
    EXPECT_EQ(GetAttributeText(second, kAttrTimingModel), "D_FAST");
}

TEST_F(PartNumberingTest, FileReadersGetEmptyDefaults)
{
    SchematicItem* gate = AddComponent(Definition("AND2", kComponentAnd), 1, 1);
    EXPECT_EQ(SetDefaultAttributes(record_, *gate, FileReaderDefaultTexts()), 0);
    EXPECT_NE(FindAttribute(gate, kAttrPowerNode), nullptr);
    EXPECT_EQ(GetAttributeText(gate, kAttrPowerNode), "");
    EXPECT_NE(FindAttribute(gate, kAttrPart), nullptr);

    SchematicItem* ground = AddComponent(Definition("Ground", kComponentGround), 1, 1);
    EXPECT_EQ(SetDefaultAttributes(record_, *ground, FileReaderDefaultTexts()), 0);
    EXPECT_EQ(ground->attributes.count, 0);
}

TEST_F(PartNumberingTest, PartNamesClashCaseBlind)
{
    SchematicItem* a = AddComponent(resistor_, 1, 1);
    SchematicItem* b = AddComponent(resistor_, 1, 1);
    SchematicItem* ground = AddComponent(Definition("Ground", kComponentGround), 1, 1);
    SetAttribute(record_, a, kAttrPart, "R1");
    SetAttribute(record_, b, kAttrPart, "r1");
    EXPECT_EQ(IsPartNameUsed(record_, *a), 1);
    SetAttribute(record_, b, kAttrPart, "R2");
    EXPECT_EQ(IsPartNameUsed(record_, *a), 0);
    EXPECT_EQ(IsPartNameUsed(record_, *ground), 0);
}

}  // namespace
}  // namespace kq5
