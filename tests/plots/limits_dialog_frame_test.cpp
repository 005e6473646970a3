// The Analysis Limits dialog over the frame: what it leaves on the screen when it closes, where it
// opens, its keys while it has the focus, and its strip's numeric output button.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "app/command_routing.h"
#include "ui/frame_state.h"
#include "ui/help_bar.h"
#include "platform/string_table.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "limits_dialog_test_support.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/region.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/limits_dialog.h"

namespace kq5::testing {
namespace {

std::vector<win::COLORREF> ScreenPixels()
{
    const win::SIZE size = win::ScreenSize();
    std::vector<win::COLORREF> pixels;
    pixels.reserve(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) pixels.push_back(win::ScreenPixel(x, y));
    return pixels;
}

using LimitsDialogOverFrame = LimitsDialogFixture;

// The dialog covers the tool bars, the MDI client's border and the maximised circuit window's
// edge; once it is closed the screen is as it was before it opened.
TEST_F(LimitsDialogOverFrame, ClosingLeavesNoneOfItsPixels)
{
    const std::vector<win::COLORREF> before = ScreenPixels();
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::HWND dialog = AnalysisLimitsDialog();
    ASSERT_NE(dialog, nullptr);
    win::SetWindowPos(dialog, nullptr, 0, 0, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    PumpFrameMessages();
    ASSERT_NE(ScreenPixels(), before);
    win::SendMessage(dialog, win::WM_CLOSE, 0, 0);
    PumpFrameMessages();
    ASSERT_EQ(AnalysisLimitsDialog(), nullptr);
    SaveScreen("limits_dialog_closed");

    const std::vector<win::COLORREF> after = ScreenPixels();
    const win::SIZE size = win::ScreenSize();
    int stale = 0;
    win::RECT box{size.cx, size.cy, -1, -1};
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx) + static_cast<std::size_t>(x);
            if (after[i] == before[i]) continue;
            ++stale;
            box = win::RECT{std::min<int>(box.left, x), std::min<int>(box.top, y), std::max<int>(box.right, x + 1),
                            std::max<int>(box.bottom, y + 1)};
        }
    EXPECT_EQ(stale, 0) << "stale pixels within " << box.left << "," << box.top << " - " << box.right << "," << box.bottom;
}

const char* const kRcStep =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

// A text circuit whose transient analysis is set up from the Analysis menu, as a user does it.
class LimitsDialogOfAnAnalysis : public StartedFrame {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        PumpFrameMessages();
        StartedFrame::TearDown();
    }
    void SetUpTransient()
    {
        Start();
        InstallAnalysisKindHandlers();
        std::ofstream(dir_ / "NOM.LIB") << "* no models\n";
        std::ofstream(dir_ / "rc.cir") << kRcStep;
        WindowRecord* circuit = nullptr;
        ASSERT_EQ(LoadCircuitFile(nullptr, (dir_ / "rc.cir").string(), kFileKindTextCircuit, kLoadDefaults, circuit), 0);
        PumpFrameMessages();
        RouteCommand(Frame().frame, 17600, 0);
        PumpFrameMessages();
        for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
        ASSERT_NE(AnalysisLimitsDialog(), nullptr);
        ASSERT_NE(RunControl().analysisWindow, nullptr);
    }
    static int Runs() { return RunControl().analysisWindow->plot->store.runCount; }
};

// F2 runs the analysis from wherever the focus is in the dialog, with the text typed into the
// focused field, and leaves the focus where it was.
TEST_F(LimitsDialogOfAnAnalysis, F2RunsTheAnalysisAsTyped)
{
    SetUpTransient();
    win::HWND dialog = AnalysisLimitsDialog();
    const struct {
        int focus;     // the control with the focus when F2 is pressed
        int typed;     // the field typed into first, 0 none
        const char* range;
        double end;    // the last time of the run
    } cases[] = {{kLimitsFieldBase, kLimitsFieldBase, "2m", 2e-3},
                 {kLimitsRowBase + 2, kLimitsFieldBase, "3m", 3e-3},
                 {kLimitsRunOptions, kLimitsFieldBase, "1m", 1e-3},
                 {kLimitsOperatingPoint, kLimitsFieldBase, "4m", 4e-3},
                 {kLimitsRun, 0, nullptr, 4e-3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.focus);
        win::SetActiveWindow(dialog);
        if (c.typed) {
            win::SetFocus(win::GetDlgItem(dialog, c.typed));
            win::SendMessage(win::GetFocus(), win::EM_SETSEL, 0, -1);
            win::headless::TypeText(c.range);
            PumpFrameMessages();
        }
        win::SetFocus(win::GetDlgItem(dialog, c.focus));
        win::headless::PressKey(win::VK_F2);
        PumpFrameMessages();
        ASSERT_NE(RunControl().analysisWindow, nullptr);
        const PlotRecord& plot = *RunControl().analysisWindow->plot;
        ASSERT_GT(plot.curveCount, 0);
        EXPECT_NEAR(plot.curves[0]->dataMax[0], c.end, c.end * 1e-6);
        EXPECT_EQ(win::GetFocus(), win::GetDlgItem(dialog, c.focus));
        // A run that did not happen would leave the maximum of the one before; mark it.
        RunControl().analysisWindow->plot->curves[0]->dataMax[0] = -1;
    }
}

// The dialog's keys are its own: the arrows and Alt+R, Alt+S go to it, Tab and Shift+Tab move
// among its controls, and of the function keys only those of the run table reach the frame.
TEST_F(LimitsDialogOfAnAnalysis, KeysInTheDialogFollowItsTables)
{
    SetUpTransient();
    win::HWND dialog = AnalysisLimitsDialog();
    const auto focusId = [] { return win::GetDlgCtrlID(win::GetFocus()); };
    const auto press = [](int key, bool shift = false, bool alt = false) {
        win::headless::PressKeyWithModifiers(key, false, shift, alt);
        PumpFrameMessages();
    };
    win::SetActiveWindow(dialog);
    win::SetFocus(win::GetDlgItem(dialog, kLimitsFieldBase + 1));
    press(win::VK_TAB, true);
    EXPECT_EQ(focusId(), kLimitsFieldBase);
    press(win::VK_TAB);
    EXPECT_EQ(focusId(), kLimitsFieldBase + 1);
    press(win::VK_UP);
    EXPECT_EQ(focusId(), kLimitsFieldBase);

    press('R', false, true);
    EXPECT_EQ(focusId(), kLimitsRunOptions);
    // In a combo the arrows still choose.
    win::SendDlgItemMessage(dialog, kLimitsRunOptions, win::CB_SETCURSEL, 0, 0);
    press(win::VK_DOWN);
    EXPECT_EQ(win::SendDlgItemMessage(dialog, kLimitsRunOptions, win::CB_GETCURSEL, 0, 0), 1);
    press('S', false, true);
    EXPECT_EQ(focusId(), kLimitsStateVariables);

    // F9 (Limits) is no key here; F5 (Numeric Output) reaches the frame.
    SpyOnFrame(Frame().frame);
    press(win::VK_F9);
    press(win::VK_F5);
    EXPECT_EQ(Spy().commands, std::vector<int>{17151});
    EXPECT_EQ(WindowKindOf(dialog), 10);
}

// Closing the dialog keeps what was typed into the field that had the focus.
TEST_F(LimitsDialogOfAnAnalysis, ClosingKeepsTheTextBeingTyped)
{
    SetUpTransient();
    win::HWND dialog = AnalysisLimitsDialog();
    win::SetActiveWindow(dialog);
    win::SetFocus(win::GetDlgItem(dialog, kLimitsRowBase + 2));
    win::SendMessage(win::GetFocus(), win::EM_SETSEL, 0, -1);
    win::headless::TypeText("v(1)");
    PumpFrameMessages();
    win::SendMessage(dialog, win::WM_CLOSE, 0, 0);
    PumpFrameMessages();
    EXPECT_EQ(AnalysisLimitsDialog(), nullptr);
    EXPECT_EQ(Frame().limitsDialog, nullptr);
    EXPECT_EQ(RunControl().circuitWindow->document->limitsRows[0][0].yExpression, "v(1)");
}

// The dialog opens over the documents, below the tool bars and inside the frame.
// After a run, closing the dialog and pressing F3 leaves the analysis whole: the circuit's
// menus, buttons and Save come back, and the time range typed for the run stays.
TEST_F(LimitsDialogOfAnAnalysis, F3AfterClosingTheDialogGivesTheEditorBack)
{
    SetUpTransient();
    WindowRecord* circuit = RunControl().circuitWindow;
    win::HWND dialog = AnalysisLimitsDialog();
    win::SetActiveWindow(dialog);
    win::SetFocus(win::GetDlgItem(dialog, kLimitsFieldBase));
    win::SendMessage(win::GetFocus(), win::EM_SETSEL, 0, -1);
    win::headless::TypeText("2m");
    win::headless::PressKey(win::VK_F2);
    PumpFrameMessages();
    ASSERT_EQ(Runs(), 1);
    win::SendMessage(dialog, win::WM_CLOSE, 0, 0);
    PumpFrameMessages();
    // The time range of the run stays with the circuit, though its field had the focus as the
    // dialog went.
    EXPECT_EQ(circuit->document->limits.transient[0], "2m");
    win::headless::PressKey(win::VK_F3);
    PumpFrameMessages();
    EXPECT_EQ(RunControl().analysisWindow, nullptr);
    EXPECT_EQ(Analysis().analysisKind, kAnalysisNone);
    EXPECT_EQ(RunControl().circuitWindow, nullptr);
    win::HMENU bar = win::GetMenu(Frame().frame);
    bool component = false;
    for (int i = 0; i < win::GetMenuItemCount(bar); ++i) {
        if (win::GetMenuString(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION) != "&Component") continue;
        component = (win::GetMenuState(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION) & (win::MF_GRAYED | win::MF_DISABLED)) == 0;
    }
    EXPECT_TRUE(component) << "the Component menu is missing or greyed";

    // An edit of the circuit's text is saved by Ctrl+S.
    ASSERT_TRUE(IsLiveWindowRecord(circuit));
    win::SetFocus(circuit->document->textAreaWindow);
    win::headless::TypeText("* kept\n");
    win::headless::PressKeyWithModifiers('S', true, false);
    PumpFrameMessages();
    std::ifstream saved(dir_ / "rc.cir");
    const std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("* kept"), std::string::npos) << text;
}

TEST_F(LimitsDialogOverFrame, OpensBelowTheToolBarsInsideTheFrame)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::HWND dialog = AnalysisLimitsDialog();
    ASSERT_NE(dialog, nullptr);
    SaveScreen("limits_dialog_placed");
    win::RECT placed{};
    win::GetWindowRect(dialog, &placed);
    win::POINT documents{0, 0};
    win::ClientToScreen(Frame().mdiClient, &documents);
    EXPECT_EQ(placed.top, documents.y);
    EXPECT_EQ(placed.left, documents.x);
    win::RECT frameArea{};
    win::GetClientRect(Frame().frame, &frameArea);
    win::POINT frameOrigin{0, 0};
    win::ClientToScreen(Frame().frame, &frameOrigin);
    EXPECT_LE(placed.right, frameOrigin.x + frameArea.right);
    EXPECT_LE(placed.bottom, frameOrigin.y + frameArea.bottom);
    int bars = 0;
    for (win::HWND child = win::GetWindow(Frame().frame, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT)) {
        if (child == Frame().mdiClient || !win::IsWindowVisible(child) || win::GetClassName(child) != "Tool") continue;
        ++bars;
        win::RECT bar{}, overlap{};
        win::GetWindowRect(child, &bar);
        EXPECT_FALSE(win::IntersectRect(&overlap, &bar, &placed)) << "over a tool bar";
    }
    EXPECT_GT(bars, 0);
}

// The strip's numeric output button is a control with its id, 19553, on every line; clicking it
// prints that line's row, and the help bar names it.
TEST_F(LimitsDialogOverFrame, TheNumericOutputButtonHasItsId)
{
    auto& rows = circuit_->document->limitsRows[0];
    rows.assign(2, LimitsRow{});
    for (LimitsRow& row : rows) {
        row.plotGroup = '1';
        row.xExpression = "T";
        row.xRange = row.yRange = "Auto";
    }
    rows[0].yExpression = "v(1)";
    rows[1].yExpression = "v(2)";
    SetHelpBarOption(true);
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::HWND dialog = AnalysisLimitsDialog();
    ASSERT_NE(dialog, nullptr);
    win::HWND first = win::GetDlgItem(dialog, 19553);
    ASSERT_NE(first, nullptr);
    // The fourth button of the first line's strip, left of the line's P edit.
    win::RECT button{}, plotGroup{}, xButton{};
    win::GetWindowRect(first, &button);
    win::GetWindowRect(win::GetDlgItem(dialog, kLimitsRowBase), &plotGroup);
    win::GetWindowRect(win::GetDlgItem(dialog, 19550), &xButton);
    EXPECT_LT(button.right, plotGroup.left);
    EXPECT_EQ(button.top, xButton.top);
    EXPECT_GT(button.left, xButton.left);
    EXPECT_GE(button.top, plotGroup.top - 2);

    const auto clickOn = [](win::HWND control) {
        win::RECT r{};
        win::GetWindowRect(control, &r);
        win::headless::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PumpFrameMessages();
    };
    clickOn(first);
    EXPECT_NE(rows[0].options & kLimitsOutput, 0);
    EXPECT_EQ(rows[1].options & kLimitsOutput, 0);
    SaveScreen("limits_dialog_numeric_output");
    // The second line's button of the same id prints the second row.
    win::HWND second = nullptr;
    for (win::HWND child = win::GetWindow(dialog, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT))
        if (child != first && win::GetDlgCtrlID(child) == 19553 && win::IsWindowVisible(child)) {
            second = child;
            break;
        }
    ASSERT_NE(second, nullptr);
    clickOn(second);
    EXPECT_NE(rows[1].options & kLimitsOutput, 0);
    clickOn(first);
    EXPECT_EQ(rows[0].options & kLimitsOutput, 0);
    // The lines without a row show no buttons.
    int shown = 0;
    for (win::HWND child = win::GetWindow(dialog, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT))
        if (win::GetDlgCtrlID(child) == 19553 && win::IsWindowVisible(child)) ++shown;
    EXPECT_EQ(shown, 2);

    win::SendMessage(dialog, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(first), win::HTCLIENT);
    EXPECT_EQ(HelpBarText(dialog), std::string(FindStringTableText(19553).value_or("?")));
    CloseAnalysisLimitsDialog();
    SetHelpBarOption(false);
}

}  // namespace
}  // namespace kq5::testing
