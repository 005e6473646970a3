// The names by which plots, popups and the state editor show a node: a labelled node shows its
// label even where the node table lists its number first; an unlabelled node shows its number.
#include <gtest/gtest.h>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "analog/analysis_run_services.h"
#include "platform/backend.h"
#include "platform/menu.h"
#include "plots/probe_mode.h"

namespace kq5 {
namespace {

class NodeShortNameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetConnectivityStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetProbeModeForTests();
        // An RC filter built from a schematic: node 2 is the wire labelled OUT, so the table holds
        // its number row first and its label after; node 1 has no label; X1.MID lies inside a
        // subcircuit; IN7 is a digital node whose number row comes last.
        CircuitNodeTable().rows = {
            {"0", 0, 0, 0},     {"1", 1, 0, 0},       {"2", 2, 0, 0},  {"OUT", 2, 0, 0},
            {"X1.MID", 3, 1, 0}, {"IN7", 1, 0, 1},    {"1", 1, 0, 1},  {"12V", 4, 0, 0},
            {"4", 4, 0, 0},
        };
    }
    void TearDown() override
    {
        ResetProbeModeForTests();
        ResetConnectivityStateForTests();
    }
};

TEST_F(NodeShortNameTest, ALabelWinsOverTheNumberRow)
{
    EXPECT_EQ(CopyAnalogNodeName(2), "OUT");
    EXPECT_EQ(CopyAnalogNodeName(1), "1");
    // A label that starts with a digit is still a label.
    EXPECT_EQ(CopyAnalogNodeName(4), "12V");
    // A node known only inside a subcircuit keeps its whole dotted name.
    EXPECT_EQ(CopyAnalogNodeName(3), "X1.MID");
    // A node missing from the table shows its number.
    EXPECT_EQ(CopyAnalogNodeName(9), "9");
    // Digital nodes are looked up among the digital rows only.
    EXPECT_EQ(CopyDigitalNodeName(1), "IN7");
}

TEST_F(NodeShortNameTest, AProbedLabelledNodePlotsUnderItsLabel)
{
    Analysis().analysisKind = kAnalysisTransient;
    ASSERT_EQ(SetProbeRowCount(1), 0);
    ProbeRow& row = ProbeMode().rows[0];
    row.node = 2;
    EXPECT_EQ(BuildProbeExpression(row, 1), "V(OUT)");
    row.node = 1;
    EXPECT_EQ(BuildProbeExpression(row, 1), "V(1)");
    row.digital = 1;
    row.node = 1;
    EXPECT_EQ(BuildProbeExpression(row, 1), "D(IN7)");
}

// The cursor tags of the analysis window's menu read as the command list names them.
TEST(AnalysisMenuTexts, CursorTagEntries)
{
    win::ResetPlatformForTests();
    win::HMENU menu = win::LoadMenu(nullptr, 102);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(win::GetMenuString(menu, 17184, win::MF_BYCOMMAND), "Tag &Left Cursor");
    EXPECT_EQ(win::GetMenuString(menu, 17185, win::MF_BYCOMMAND), "Tag &Right Cursor");
    EXPECT_EQ(win::GetMenuString(menu, 17186, win::MF_BYCOMMAND), "Tag &Horizontal");
    EXPECT_EQ(win::GetMenuString(menu, 17187, win::MF_BYCOMMAND), "Tag &Vertical");
    win::DestroyMenu(menu);
}

}  // namespace
}  // namespace kq5
