#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
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

// Print writes the banner, the analysis and circuit line, the date stamp and the columns into a
// file named after the circuit, and shows it in a text window.
TEST_F(StateEditorTest, PrintWritesTheBannerAndShowsTheFileInATextWindow)
{
    circuit_->document->analysisNodeCounts = {2, 2};
    ASSERT_EQ(OpenStateVariablesEditor(), 0);
    PumpFrameMessages();
    win::SendMessage(StateVariablesEditor(), win::WM_COMMAND, 514, 0);
    PumpFrameMessages();
    std::string path = GetRecordTitle(circuit_);
    ReplaceExtension(path, "SVV");
    WindowRecord* shown = FindRecordByTitle(path);
    ASSERT_NE(shown, nullptr) << path;
    EXPECT_EQ(shown->kind, kWindowTextCircuit);
    const std::string text = shown->textArea;
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    auto trimmed = [](std::string line) {
        line.erase(0, line.find_first_not_of(' '));
        return line;
    };
    ASSERT_GE(lines.size(), 6u) << text;
    EXPECT_EQ(trimmed(lines[0]), LoadResString(kMsgProductTitle));
    bool named = false, levels = false;
    for (const std::string& line : lines) {
        named |= trimmed(line) == "Transient Analysis of " + StripDirectory(GetRecordTitle(circuit_));
        levels |= line.find("Node Levels") != std::string::npos;
    }
    EXPECT_TRUE(named) << text;
    EXPECT_TRUE(levels) << text;
    EXPECT_NE(text.find("+1.50000e+00"), std::string::npos) << text;
    CloseStateVariablesEditor();
    PumpFrameMessages();
    EXPECT_TRUE(SaveScreen("state_variables_print"));
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
