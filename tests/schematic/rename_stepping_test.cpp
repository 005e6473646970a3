// Renaming parts follows them into the stepping slots that step a component by name; slots that
// step a model or a symbol keep their names even where they equal a part's old name.
#include <gtest/gtest.h>

#include "edit_test_support.h"
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

}  // namespace
}  // namespace kq5
