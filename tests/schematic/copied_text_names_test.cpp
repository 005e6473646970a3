// Names of texts copied by the box commands: a flag always gets a name of its own; a node label
// is counted on only while the "Text Increment" preference is on.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/program_settings.h"
#include "edit_test_support.h"
#include "schematic/box_operations.h"

namespace kq5 {
namespace {

class CopiedTextNames : public testing::EditTest {
protected:
    void TearDown() override
    {
        Settings().operationalOptions = kept_;
        EditTest::TearDown();
    }
    std::multiset<std::string> Names() const
    {
        std::multiset<std::string> out;
        for (const GridText& text : ListRecords<GridText>(doc->gridTextList)) out.insert(text.text);
        return out;
    }
    std::uint32_t kept_ = Settings().operationalOptions;
};

TEST_F(CopiedTextNames, FlagsAlwaysAndLabelsOnlyWithTextIncrement)
{
    Text("F1", 2, 2, true);
    Text("OUT", 4, 2)->flags = kGridTextValidLabel;
    SetMarkRect(record, 0, 0, 10, 5);

    Settings().operationalOptions &= ~kOptionTextIncrement;
    ASSERT_EQ(StepBoxItems(record, {kDirectionHorizontal, 1, 1}), 0);
    EXPECT_EQ(Names(), (std::multiset<std::string>{"F1", "F2", "OUT", "OUT"}));

    Settings().operationalOptions |= kOptionTextIncrement;
    SetMarkRect(record, 0, 0, 10, 5);
    ASSERT_EQ(StepBoxItems(record, {kDirectionVertical, 1, 1}), 0);
    EXPECT_EQ(Names(), (std::multiset<std::string>{"F1", "F2", "F3", "OUT", "OUT", "OUT1"}));
}

// Two labels of one node copied together still name one node: both copies take the one new
// name, and another name takes another.
TEST_F(CopiedTextNames, CopiesOfOneNameShareTheirNewName)
{
    Settings().operationalOptions |= kOptionTextIncrement;
    Text("VCC", 2, 2)->flags = kGridTextValidLabel;
    Text("VCC", 6, 2)->flags = kGridTextValidLabel;
    Text("VCC1", 8, 2)->flags = kGridTextValidLabel;
    SetMarkRect(record, 0, 0, 10, 5);
    ASSERT_EQ(StepBoxItems(record, {kDirectionVertical, 1, 1}), 0);
    EXPECT_EQ(Names(), (std::multiset<std::string>{"VCC", "VCC", "VCC1", "VCC2", "VCC2", "VCC3"}));
}

}  // namespace
}  // namespace kq5
