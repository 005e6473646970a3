#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "limits_dialog_test_support.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/frame_state.h"
#include "ui/help_bar.h"
#include "platform/string_table.h"
#include "core/expr_symbols.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/limits_dialog.h"
#include "results/limits_row.h"
#include "results/plot_view_settings.h"

namespace kq5::testing {
namespace {

class LimitsDialogTest : public LimitsDialogFixture {
protected:
    void SetUp() override
    {
        LimitsDialogFixture::SetUp();
        auto& rows = Rows();
        rows.clear();
        for (const char* y : {"v(1)", "v(2)", "v(3)"}) {
            LimitsRow row;
            row.plotGroup = '1';
            row.xExpression = "T";
            row.yExpression = y;
            row.xRange = row.yRange = "Auto";
            row.options = kLimitsLinearX | kLimitsLinearY;
            rows.push_back(row);
        }
    }
    std::vector<LimitsRow>& Rows() { return circuit_->document->limitsRows[0]; }

    win::HWND Item(int id) { return win::GetDlgItem(AnalysisLimitsDialog(), id); }

    // Types a text into a control and moves the focus on, as the user does.
    void Type(int id, const std::string& text)
    {
        win::SetFocus(Item(id));
        win::SetWindowText(Item(id), text.c_str());
        win::SetFocus(Item(id == kLimitsFieldBase ? kLimitsFieldBase + 1 : kLimitsFieldBase));
        PumpFrameMessages();
    }
};

TEST_F(LimitsDialogTest, FieldsAndRowsShowAndStoreWhatIsTyped)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    ASSERT_NE(AnalysisLimitsDialog(), nullptr);
    EXPECT_EQ(win::GetWindowText(AnalysisLimitsDialog()), "Transient Analysis Limits");
    // Empty fields show their defaults.
    EXPECT_EQ(win::GetWindowText(Item(100)), "1u");
    EXPECT_EQ(win::GetWindowText(Item(101)), "0");
    EXPECT_EQ(win::GetWindowText(Item(102)), "51");
    EXPECT_EQ(win::GetWindowText(Item(103)), "27");
    EXPECT_EQ(win::GetWindowText(Item(kLimitsRowBase + 100 + 2)), "v(2)");
    EXPECT_TRUE(SaveScreen("analysis_limits"));

    Type(100, "5m");
    EXPECT_EQ(circuit_->document->limits.transient[0], "5m");

    // A long expression is stored whole, trimmed.
    std::string longText = "  ";
    for (int i = 0; i < 120; ++i) longText += "v(1)+";
    longText += "v(2)  ";
    Type(kLimitsRowBase + 2, longText);
    EXPECT_EQ(Rows()[0].yExpression.size(), longText.size() - 4);
    EXPECT_EQ(Rows()[0].yExpression.substr(0, 5), "v(1)+");
    Type(kLimitsRowBase + 4, "10,0");
    EXPECT_EQ(Rows()[0].yRange, "10,0");
    Type(kLimitsRowBase, "3");
    EXPECT_EQ(Rows()[0].plotGroup, '3');
}

TEST_F(LimitsDialogTest, AddDeleteStripAndOptions)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    // Add after the row that has the focus: the second.
    win::SetFocus(Item(kLimitsRowBase + 100 + 1));
    win::SendMessage(AnalysisLimitsDialog(), win::WM_COMMAND, kLimitsAdd, 0);
    ASSERT_EQ(Rows().size(), 4u);
    EXPECT_EQ(Rows()[2].xExpression, "T");
    EXPECT_TRUE(Rows()[2].yExpression.empty());
    EXPECT_EQ(Rows()[2].plotGroup, '1');
    EXPECT_EQ(Rows()[2].linePattern, 2);
    EXPECT_EQ(Rows()[3].yExpression, "v(3)");

    // Delete the focused row; a curve of a later row moves down with it.
    circuit_->plot->curves.push_back(std::make_unique<CurveRecord>());
    circuit_->plot->curves.back()->rowIndex = 3;
    win::SetFocus(Item(kLimitsRowBase + 200 + 1));
    win::SendMessage(AnalysisLimitsDialog(), win::WM_COMMAND, kLimitsDelete, 0);
    ASSERT_EQ(Rows().size(), 3u);
    EXPECT_EQ(circuit_->plot->curves.back()->rowIndex, 2);

    // The strip's X button of the first line: linear becomes log.
    win::HWND edit = Item(kLimitsRowBase + 1);
    win::RECT r{};
    win::GetWindowRect(edit, &r);
    win::POINT p{r.left, r.top + 3};
    win::ScreenToClient(AnalysisLimitsDialog(), &p);
    int x = -1;
    for (int px = p.x - 120; px < p.x; ++px)
        if (LimitsStripButtonAt(AnalysisLimitsDialog(), 0, win::POINT{px, p.y}) == 0) {
            x = px;
            break;
        }
    ASSERT_GE(x, 0);
    win::SendMessage(AnalysisLimitsDialog(), win::WM_LBUTTONDOWN, 0, win::MAKELPARAM(x, p.y));
    EXPECT_EQ(Rows()[0].options & kLimitsLinearX, 0);

    // State Variables "Read" and Auto Scale Ranges into the options word.
    win::SendMessage(Item(kLimitsStateVariables), win::CB_SETCURSEL, 1, 0);
    win::SendMessage(AnalysisLimitsDialog(), win::WM_COMMAND, win::MAKEWPARAM(kLimitsStateVariables, win::CBN_SELCHANGE),
                     reinterpret_cast<win::LPARAM>(Item(kLimitsStateVariables)));
    win::CheckDlgButton(AnalysisLimitsDialog(), kLimitsAutoScale, win::BST_CHECKED);
    win::SendMessage(AnalysisLimitsDialog(), win::WM_COMMAND, kLimitsAutoScale, 0);
    const std::uint32_t w = static_cast<std::uint32_t>(PlotViewOf(circuit_->plot).optionWord[0]);
    EXPECT_EQ((w >> 10) & 3, 1u);
    EXPECT_NE(w & 0x8000, 0u);
}

TEST_F(LimitsDialogTest, TheRangePopupOffersAutoAndTheOtherRowsRanges)
{
    Rows()[1].yRange = "10,0";
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    int step = 0;
    win::headless::SetIdleHandler([&]() {
        switch (step++) {
        case 0: win::headless::PressKey(win::VK_DOWN); return true;
        case 1: win::headless::PressKey(win::VK_DOWN); return true;
        case 2: win::headless::PressKey(win::VK_RETURN); return true;
        default: return false;
        }
    });
    win::SendMessage(Item(kLimitsRowBase + 4), win::WM_RBUTTONDOWN, 0, 0);
    win::headless::SetIdleHandler({});
    EXPECT_EQ(Rows()[0].yRange, "10,0");
    EXPECT_EQ(win::GetWindowText(Item(kLimitsRowBase + 4)), "10,0");
}

TEST_F(LimitsDialogTest, TheExpressionPopupInsertsAVariable)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::SendMessage(Item(kLimitsRowBase + 2), win::EM_SETSEL, 4, 4);  // after "v(1)"
    const std::vector<int> keys = {win::VK_DOWN, win::VK_DOWN, win::VK_RIGHT, win::VK_RIGHT, 0, win::VK_DOWN, win::VK_RETURN};
    std::size_t step = 0;
    win::headless::SetIdleHandler([&]() {
        if (step >= keys.size()) return false;
        const int key = keys[step++];
        if (key == 0) EXPECT_TRUE(SaveScreen("analysis_limits_popup"));
        else win::headless::PressKey(key);
        return true;
    });
    win::SendMessage(Item(kLimitsRowBase + 2), win::WM_RBUTTONDOWN, 0, 0);
    win::headless::SetIdleHandler({});
    // Variables, Analysis Variables, the second entry: TIME.
    EXPECT_EQ(Rows()[0].yExpression, "v(1)TIME");
}

// The expression popup's Functions wrap the whole text (SUM with the row's X expression); its
// Operators insert at the caret.
TEST_F(LimitsDialogTest, TheExpressionPopupWrapsInAFunctionAndInsertsAnOperator)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    const auto choose = [&](int id, std::vector<int> keys, const char* screen = nullptr) {
        ChooseFromRowPopup(Item(id), keys, screen);
    };
    const int down = win::VK_DOWN, right = win::VK_RIGHT, enter = win::VK_RETURN;
    // Functions, Transcendental, SIN.
    choose(kLimitsRowBase + 2, {down, down, down, down, right, down, down, down, down, right, 0, enter}, "analysis_limits_functions");
    EXPECT_EQ(Rows()[0].yExpression, "SIN(v(1))");
    // Functions, Calculus, SUM: its second argument is the row's X expression.
    choose(kLimitsRowBase + 102, {down, down, down, down, right, down, down, right, down, enter});
    EXPECT_EQ(Rows()[1].yExpression, "SUM(v(2),T)");
    // Operators: the third of the table, put in at the caret.
    win::SendMessage(Item(kLimitsRowBase + 202), win::EM_SETSEL, 4, 4);
    choose(kLimitsRowBase + 202, {down, down, down, down, down, right, down, down, enter});
    ASSERT_GT(ExpressionOperatorEntries().size(), 2u);
    EXPECT_EQ(Rows()[2].yExpression, "v(3)" + ExpressionOperatorEntries()[2].text);
}

// Up and down arrows walk the fields round and the rows column-wise, scrolling the rows.
TEST_F(LimitsDialogTest, ArrowKeysMoveBetweenFieldsAndRows)
{
    for (int i = 0; i < 40; ++i) {
        LimitsRow row = Rows()[0];
        row.yExpression = "v(" + std::to_string(i + 4) + ")";
        Rows().push_back(row);
    }
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    const auto press = [](int key) {
        win::headless::PressKey(key);
        PumpFrameMessages();
    };
    const auto focusId = [] { return win::GetDlgCtrlID(win::GetFocus()); };
    win::SetFocus(Item(kLimitsFieldBase));
    PumpFrameMessages();
    press(win::VK_UP);
    EXPECT_EQ(focusId(), kLimitsFieldBase + 3);  // transient has four fields
    press(win::VK_DOWN);
    EXPECT_EQ(focusId(), kLimitsFieldBase);
    press(win::VK_DOWN);
    EXPECT_EQ(focusId(), kLimitsFieldBase + 1);

    // A typed text goes into its row as the focus leaves it for the row below.
    win::SetFocus(Item(kLimitsRowBase + 2));
    PumpFrameMessages();
    win::SetWindowText(Item(kLimitsRowBase + 2), "v(9)");
    press(win::VK_DOWN);
    EXPECT_EQ(focusId(), kLimitsRowBase + 102);
    EXPECT_EQ(Rows()[0].yExpression, "v(9)");
    press(win::VK_UP);
    EXPECT_EQ(focusId(), kLimitsRowBase + 2);
    press(win::VK_UP);  // no row above the first
    EXPECT_EQ(focusId(), kLimitsRowBase + 2);

    // Past the last line shown the rows scroll by one and the focus stays on the last line.
    int lines = 0;
    while (lines < kLimitsMaxLines && Item(kLimitsRowBase + 100 * lines + 2)) ++lines;
    ASSERT_LT(lines, static_cast<int>(Rows().size()));
    win::SetFocus(Item(kLimitsRowBase + 100 * (lines - 1) + 3));
    PumpFrameMessages();
    press(win::VK_DOWN);
    EXPECT_EQ(focusId(), kLimitsRowBase + 100 * (lines - 1) + 3);
    EXPECT_EQ(win::GetWindowText(Item(kLimitsRowBase + 100 * (lines - 1) + 2)), Rows()[static_cast<std::size_t>(lines)].yExpression);
    EXPECT_EQ(win::GetWindowText(Item(kLimitsRowBase + 2)), Rows()[1].yExpression);
}

// The help bar's window among the dialog's children.
win::BOOL FindBar(win::HWND child, win::LPARAM found)
{
    if (win::GetClassName(child) != kHelpBarClass) return win::TRUE;
    *reinterpret_cast<win::HWND*>(found) = child;
    return win::FALSE;
}

// With the Help Bar option on, the dialog's foot names what the pointer is over, and the rows end
// above it.
TEST_F(LimitsDialogTest, TheHelpBarNamesTheControlUnderThePointer)
{
    SetHelpBarOption(true);
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::HWND dialog = AnalysisLimitsDialog();
    ASSERT_NE(dialog, nullptr);
    auto over = [&](win::HWND control) {
        win::SendMessage(dialog, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(control), win::HTCLIENT);
        return HelpBarText(dialog);
    };
    auto text = [](int id) { return std::string(FindStringTableText(id).value_or("?")); };
    EXPECT_EQ(over(Item(kLimitsRowBase + 100 + 2)), text(19502));
    EXPECT_EQ(over(Item(kLimitsRowBase + 5)), text(19505));
    EXPECT_EQ(over(Item(kLimitsAdd)), text(17112));
    EXPECT_EQ(over(Item(kLimitsDelete)), text(17113));
    EXPECT_EQ(over(Item(9)), text(18009));
    EXPECT_EQ(over(Item(kLimitsRun)), text(17111));
    EXPECT_EQ(over(Item(kLimitsFieldBase)), "");
    // Over the strip: the button under the pointer, and Monte Carlo just after the five.
    win::RECT edit{};
    win::GetWindowRect(Item(kLimitsRowBase), &edit);
    const int y = (edit.top + edit.bottom) / 2;
    const int stripLeft = edit.left - 3 - 5 * 15;
    for (int button : {1, 4}) {
        win::POINT point{stripLeft + button * 15 + 7, y};
        win::POINT client = point;
        win::ScreenToClient(dialog, &client);
        ASSERT_EQ(LimitsStripButtonAt(dialog, 0, client), button);
        win::SetCursorPos(point.x, point.y);
        EXPECT_EQ(over(dialog), text(19550 + button)) << button;
    }
    win::SetCursorPos(edit.left - 2, y);
    EXPECT_EQ(over(dialog), text(19555));
    // The last row line ends above the bar.
    win::HWND bar = nullptr;
    win::EnumChildWindows(dialog, &FindBar, reinterpret_cast<win::LPARAM>(&bar));
    ASSERT_NE(bar, nullptr);
    win::RECT barRect{};
    win::GetWindowRect(bar, &barRect);
    int lastBottom = 0;
    for (int line = 0; line < kLimitsMaxLines; ++line)
        if (win::HWND row = Item(kLimitsRowBase + 100 * line)) {
            win::RECT r{};
            win::GetWindowRect(row, &r);
            lastBottom = r.bottom;
        }
    EXPECT_LE(lastBottom, barRect.top);
    win::GetWindowRect(Item(kLimitsScrollBar), &edit);
    EXPECT_LE(edit.bottom, barRect.top + 1);
    over(Item(kLimitsRowBase + 2));
    EXPECT_TRUE(SaveScreen("analysis_limits_help_bar"));
    CloseAnalysisLimitsDialog();
    SetHelpBarOption(false);
}

TEST_F(LimitsDialogTest, OnlyOneDialogAndNoneInProbeMode)
{
    RunControl().probeFlag = 1;
    OpenAnalysisLimitsDialog();
    EXPECT_EQ(AnalysisLimitsDialog(), nullptr);
    RunControl().probeFlag = 0;
    OpenAnalysisLimitsDialog();
    win::HWND first = AnalysisLimitsDialog();
    OpenAnalysisLimitsDialog();
    EXPECT_EQ(AnalysisLimitsDialog(), first);
    win::SendMessage(first, win::WM_CLOSE, 0, 0);
    EXPECT_EQ(AnalysisLimitsDialog(), nullptr);
}

TEST_F(LimitsDialogTest, ARunFailurePutsTheFocusOnItsText)
{
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    ReportAnalysisFailure0(kFocusExpressionRow, 2, 13803);
    EXPECT_EQ(win::GetFocus(), Item(kLimitsRowBase + 200 + 1));
    ResetRunControlForTests();
    RunControl().circuitWindow = circuit_;
    ReportAnalysisFailure0(kFocusLimitsField, 3, 13803);
    EXPECT_EQ(win::GetFocus(), Item(kLimitsFieldBase + 3));
}

TEST_F(LimitsDialogTest, CurveRangesGoBackIntoTheirRows)
{
    circuit_->plot->curves.push_back(std::make_unique<CurveRecord>());
    CurveRecord& c = *circuit_->plot->curves.back();
    c.rowIndex = 1;
    c.axisLow = {0.0, -2.5};
    c.axisHigh = {1e-3, 7.5};
    WriteCurveRangeToRow(0, 0);
    WriteCurveRangeToRow(0, 1);
    EXPECT_EQ(Rows()[1].xRange, "0.001");
    EXPECT_EQ(Rows()[1].yRange, "7.5,-2.5");
    c.rowIndex = -1;
    WriteCurveRangeToRow(0, 1);
    EXPECT_EQ(Rows()[1].yRange, "7.5,-2.5");
}

}  // namespace
}  // namespace kq5::testing
