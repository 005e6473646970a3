#include <gtest/gtest.h>

#include <string>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analog_state.h"
#include "analog/analysis_state.h"
#include "analog/run_control.h"
#include "digital/digital_node_states.h"
#include "document/circuit_document.h"
#include "platform/dialog.h"
#include "platform/window.h"
#include "platform/control_scrollbar.h"
#include "platform/message.h"
#include "plots/limits_dialog.h"
#include "plots/state_variables_editor.h"

namespace kq5::testing {
namespace {

class StateEditorTest : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        circuit_ = StartWithSchematic();
        ASSERT_NE(circuit_, nullptr);
        Analysis().analysisKind = kAnalysisTransient;
        RunControl().circuitWindow = circuit_;
        Analysis().solution.real = {0.0, 1.5, -0.25, 0.0};
        AnalogSolver().savedSolution.assign(8, 0.0);
        AnalogSolver().olderSolution.assign(8, 0.0);
        DigitalSimulator().current = {0, 0x1FB, 0x1F8};
        DigitalSimulator().previous = DigitalSimulator().current;
        DigitalSimulator().scheduled = DigitalSimulator().current;
    }
    void TearDown() override
    {
        CloseStateVariablesEditor();
        Analysis().solution.real.clear();
        DigitalSimulator().current.clear();
        DigitalSimulator().previous.clear();
        DigitalSimulator().scheduled.clear();
        Analysis().analysisKind = kAnalysisNone;
        RunControl().circuitWindow = nullptr;
        StartedFrame::TearDown();
    }

    win::HWND Item(int id) { return win::GetDlgItem(StateVariablesEditor(), id); }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(StateEditorTest, TwoNodesShowTwoRowsAndEditsReachTheSolver)
{
    circuit_->document->analysisNodeCounts = {2, 2};
    ASSERT_EQ(OpenStateVariablesEditor(), 0);
    PumpFrameMessages();
    ASSERT_NE(StateVariablesEditor(), nullptr);
    EXPECT_EQ(win::GetWindowText(Item(200)), "+1.50000e+00");
    EXPECT_EQ(win::GetWindowText(Item(201)), "-2.50000e-01");
    EXPECT_EQ(win::GetWindowText(Item(100)), "1");
    EXPECT_EQ(win::GetWindowText(Item(600)), "1");
    EXPECT_EQ(win::GetWindowText(Item(601)), "0");
    // Rows 2 to 7 are hidden and the scroll bar too.
    EXPECT_TRUE(win::IsWindowVisible(Item(201)));
    EXPECT_FALSE(win::IsWindowVisible(Item(202)));
    EXPECT_FALSE(win::IsWindowVisible(Item(kStateScrollBar)));
    EXPECT_TRUE(SaveScreen("state_variables_editor"));

    // A voltage typed as an expression goes into all three vectors and shows formatted.
    win::SetFocus(Item(200));
    win::SetWindowText(Item(200), "2*1.5");
    win::SetFocus(Item(201));
    PumpFrameMessages();
    EXPECT_EQ(Analysis().solution.real[1], 3.0);
    EXPECT_EQ(AnalogSolver().savedSolution[1], 3.0);
    EXPECT_EQ(AnalogSolver().olderSolution[1], 3.0);
    EXPECT_EQ(win::GetWindowText(Item(200)), "+3.00000e+00");
    // A long expression is read whole: thirty halves make 15.
    std::string halves = "0.5";
    for (int i = 1; i < 30; ++i) halves += "+0.5";
    ASSERT_GT(halves.size(), 50u);
    win::SetFocus(Item(200));
    win::SetWindowText(Item(200), halves.c_str());
    win::SetFocus(Item(201));
    PumpFrameMessages();
    EXPECT_EQ(Analysis().solution.real[1], 15.0);

    // q is no state letter: nothing changes; a lower-case x is X, keeping the strength.
    win::SetFocus(Item(600));
    win::SetWindowText(Item(600), "q");
    win::SetFocus(Item(601));
    PumpFrameMessages();
    EXPECT_EQ(DigitalSimulator().current[1], 0x1FB);
    EXPECT_EQ(win::GetWindowText(Item(600)), "1");
    win::SetWindowText(Item(601), "x");
    win::SetFocus(Item(600));
    PumpFrameMessages();
    EXPECT_EQ(DigitalSimulator().current[2], 0x1FC);
    EXPECT_EQ(DigitalSimulator().scheduled[2], 0x1FC);
    EXPECT_EQ(win::GetWindowText(Item(601)), "X");
}

TEST_F(StateEditorTest, MoreRowsThanLinesScroll)
{
    circuit_->document->analysisNodeCounts = {10, 0};
    Analysis().solution.real.assign(12, 0.0);
    Analysis().solution.real[10] = 7.0;
    ASSERT_EQ(OpenStateVariablesEditor(), 0);
    PumpFrameMessages();
    EXPECT_TRUE(win::IsWindowVisible(Item(kStateScrollBar)));
    EXPECT_TRUE(win::IsWindowVisible(Item(207)));
    win::SendMessage(StateVariablesEditor(), win::WM_VSCROLL, win::SB_PAGEDOWN, 0);
    // Seven down is past the end: held at two.
    EXPECT_EQ(win::GetWindowText(Item(100)), "3");
    EXPECT_EQ(win::GetWindowText(Item(207)), "+7.00000e+00");
    EXPECT_EQ(RowScrollTarget(win::SB_LINEUP, 0, 0, 2), 0);
    EXPECT_EQ(RowScrollTarget(win::SB_THUMBTRACK, 1, 0, 2), 1);
}

TEST_F(StateEditorTest, LongIcStatementsContinueOnPlusLines)
{
    circuit_->document->analysisNodeCounts = {2, 0};
    const std::string ic = BuildIcStatements(16);
    EXPECT_EQ(ic, ".IC V(1)=1.5\r\n+  V(2)=-0.25\r\n");
    EXPECT_EQ(BuildIcStatements(80), ".IC V(1)=1.5 V(2)=-0.25\r\n");
}

}  // namespace
}  // namespace kq5::testing
