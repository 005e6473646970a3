// The build's renaming: when the user agrees to rename illegal part names or defines that clash
// with node names, the schematic is renamed as Rename Components and Rename Defines rename it
// (every part renumbered in reading order, references rewritten; defines get underscores in
// front) and built once more.
#include "../netlist/scratch_build_test.h"
#include "schematic_test_support.h"

#include "document/grid_text.h"
#include "document/node_flags.h"
#include "netlist/circuit_build.h"
#include "platform/message_box.h"

namespace kq5::testing {
namespace {

class BuildRenameTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        ScratchBuildTest::SetUp();
        record_->flags |= kRecordSharesLists;  // connectivity runs without a window
    }
    GridText* Label(const std::string& text, int x, int y)
    {
        GridText* grid = AddText(record_, text, x, y);
        UpdateNodeLabelFlag(*grid);
        return grid;
    }
    // A source and two resistors side by side between one net at the top and ground.
    void Ladder(const std::string& first, const std::string& second)
    {
        for (int y : {0, 4}) {
            AddItem(record_, kItemWire, 0, y, 10, y);
            AddItem(record_, kItemWire, 10, y, 20, y);
        }
        const std::vector<std::pair<int, int>> pins{{0, 0}, {0, 4}};
        source_ = Placed(kComponentBattery, "V9", 0, 0, pins, {{kAttrValue, "5"}});
        first_ = Placed(kComponentResistor, first, 20, 0, pins, {{kAttrValue, "1K"}});
        second_ = Placed(kComponentResistor, second, 10, 0, pins, {{kAttrValue, "2K"}});
        Placed(kComponentGround, "", 0, 4, {{0, 0}});
    }
    SchematicItem* source_ = nullptr;
    SchematicItem* first_ = nullptr;
    SchematicItem* second_ = nullptr;
};

TEST_F(BuildRenameTest, AgreeingRenumbersEveryPartInReadingOrder)
{
    Ladder("1R", "RB");
    Document().limitsRows[0].push_back(LimitsRow{});
    Document().limitsRows[0][0].yExpression = "I(RB)";
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(BuildCircuitWithRenames(kBuildForAnalysis), 0) << LastShownText();
    EXPECT_EQ(ShownIds(), std::vector<int>{10899});
    // Left to right along the top row: the source, then RB, then the illegal one.
    EXPECT_EQ(GetAttributeText(source_, kAttrPart), "V1");
    EXPECT_EQ(GetAttributeText(second_, kAttrPart), "R1");
    EXPECT_EQ(GetAttributeText(first_, kAttrPart), "R2");
    EXPECT_EQ(Document().limitsRows[0][0].yExpression, "I(R1)");
    EXPECT_EQ(record_->modified, 1);
    EXPECT_EQ(FindAttribute(first_, kAttrTempPart), nullptr);
}

TEST_F(BuildRenameTest, DecliningRenamesNothing)
{
    Ladder("1R", "RB");
    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_NE(BuildCircuitWithRenames(kBuildForAnalysis), 0);
    EXPECT_EQ(GetAttributeText(first_, kAttrPart), "1R");
    EXPECT_EQ(GetAttributeText(second_, kAttrPart), "RB");
}

TEST_F(BuildRenameTest, ADefineClashingWithANodeGetsAnUnderscoreAndItsUsesFollow)
{
    Ladder("R1", "R2");
    SetAttribute(record_, second_, kAttrValue, "{VOUT*1K}");
    GridText* label = Label("VOUT", 10, 0);
    GridText* define = AddText(record_, ".DEFINE VOUT 2", 30, 10);
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(BuildCircuitWithRenames(kBuildForAnalysis), 0) << LastShownText();
    EXPECT_EQ(ShownIds(), std::vector<int>{10888}) << LastShownText();
    EXPECT_EQ(define->text, ".DEFINE _VOUT 2");
    EXPECT_EQ(GetAttributeText(second_, kAttrValue), "{_VOUT*1K}");
    EXPECT_EQ(label->text, "VOUT");
    // The parts keep their names: only the defines were asked about.
    EXPECT_EQ(GetAttributeText(second_, kAttrPart), "R2");
}

TEST_F(BuildRenameTest, ADefineInTheTextAreaIsRenamedThere)
{
    Ladder("R1", "R2");
    SetAttribute(record_, first_, kAttrValue, "{VOUT*1K}");
    Label("VOUT", 10, 0);
    record_->textArea = "* values\r\n.DEFINE VOUT 3\r\n";
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(BuildCircuitWithRenames(kBuildForAnalysis), 0) << LastShownText();
    EXPECT_EQ(record_->textArea, "* values\r\n.DEFINE _VOUT 3\r\n");
    EXPECT_EQ(GetAttributeText(first_, kAttrValue), "{_VOUT*1K}");
}

}  // namespace
}  // namespace kq5::testing
