// "Go To Performance": the plot cursors go to the points that a performance function finds on
// the current curve, occurrence after occurrence.
#include <algorithm>
#include <array>
#include <string>

#include "core/analysis_state.h"
#include "core/digital_logic_tables.h"
#include "analyses/performance_expression.h"
#include "analyses/performance_functions.h"
#include "analyses/performance_window.h"
#include "ui/dialog_services.h"
#include "ui/edit_mode.h"
#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/controls.h"
#include "platform/paint.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_cursors.h"
#include "plots/plot_layout.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr int kFunctionCombo = 524;
constexpr int kCurveCombo = 525;
constexpr int kBooleanEdit = 526;
constexpr int kFirstArgEdit = 527;
constexpr int kFirstArgLabel = 100;
constexpr int kResultText = 534;
constexpr int kLeftButton = 105;
constexpr int kRightButton = 106;
constexpr int kCloseButton = 23;
constexpr int kMsgIllegalState = 13616;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

struct GoToPerformanceState {
    win::HWND dialog = nullptr;
    WindowRecord* window = nullptr;
    int function = 0;
    std::string condition = "1";
    std::array<std::string, 3> args{"1", "1", "1"};  // what was last typed
    win::POINT place{};
    bool placed = false;
};

GoToPerformanceState& State()
{
    static GoToPerformanceState state;
    return state;
}

void ShowArguments(win::HWND dialog, int function)
{
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(function);
    for (int a = 0; a < 3; ++a) {
        const char* label = row ? row->labels[U(a)] : nullptr;
        win::SetDlgItemText(dialog, kFirstArgLabel + a, label ? label : "");
        win::ShowWindow(win::GetDlgItem(dialog, kFirstArgLabel + a), label ? win::SW_SHOW : win::SW_HIDE);
        win::ShowWindow(win::GetDlgItem(dialog, kFirstArgEdit + a), label ? win::SW_SHOW : win::SW_HIDE);
    }
}

void Remember(win::HWND dialog)
{
    GoToPerformanceState& s = State();
    s.function = std::max(static_cast<int>(win::SendDlgItemMessage(dialog, kFunctionCombo, win::CB_GETCURSEL, 0, 0)), 0);
    s.condition = win::GetDlgItemText(dialog, kBooleanEdit);
    for (int a = 0; a < 3; ++a) s.args[U(a)] = win::GetDlgItemText(dialog, kFirstArgEdit + a);
}

void Close(win::HWND dialog)
{
    GoToPerformanceState& s = State();
    Remember(dialog);
    s.dialog = nullptr;
    CloseModelessPlotDialog(dialog, s.place, s.placed);
}

// One measurement with the dialog's values and counter N; 0 with the measurement, or an id.
int Measure(win::HWND dialog, WindowRecord* window, int curveIndex, int run, double n, Measurement& m)
{
    PlotRecord& plot = *window->plot;
    const CurveRecord& curve = *plot.curves[U(curveIndex)];
    const int function = State().function;
    std::array<double, 3> args{n, 1.0, 1.0};
    for (int a = 1; a < PerformanceArgumentCount(function); ++a) {
        const std::string text = win::GetDlgItemText(dialog, kFirstArgEdit + a);
        if (function == kXLevel && curve.digital && a == 1) {
            // A digital level is a state letter.
            const int index = text.size() == 1 ? DigitalStateIndex(text[0]) : -1;
            if (index < 0) {
                ReportMessage("E", kMsgIllegalState);
                return kMsgAlreadyReported;
            }
            args[U(a)] = index;
            continue;
        }
        int error = 0;
        args[U(a)] = EvalNumberOrExpression(text, error);
        if (error) return kMsgAlreadyReported;
    }
    PerformanceCondition condition;
    const std::string text = win::GetDlgItemText(dialog, kBooleanEdit);
    if (int rc = condition.Compile(text.empty() ? "1" : text, plot, std::clamp(plot.analysisKind, 0, 2), window)) return rc;
    PerformanceContext context;
    context.store = &plot.store;
    context.curve = &curve;
    context.condition = &condition.Condition();
    context.run = run;
    const int status = EvaluatePerformanceFunction(context, function, args[0], args[1], args[2]);
    m = context.measurement;
    return status;
}

// The X at which a marked point lies: Y measurements keep it in their second coordinate.
double MarkedX(int function, double x, double y)
{
    return function == kYLevel || function == kYDelta || function == kYRange ? y : x;
}

void Press(win::HWND dialog, int k)
{
    GoToPerformanceState& s = State();
    WindowRecord* window = s.window;
    if (!window || !IsLiveWindowRecord(window) || !window->plot || window->plot->curveCount == 0) return;
    Remember(dialog);
    PlotRecord& plot = *window->plot;
    const int curveIndex = std::clamp(plot.currentCurve, 0, plot.curveCount - 1);
    const int run = std::max(plot.curves[U(curveIndex)]->cursorRun[U(k)], 0);
    int error = 0;
    double n = std::max(1.0, std::trunc(EvalNumberOrExpression(win::GetDlgItemText(dialog, kFirstArgEdit), error)));
    if (error) n = 1.0;
    Measurement m;
    int status = Measure(dialog, window, curveIndex, run, n, m);
    if (status == 15055 && n > 1.0) {
        // Past the last occurrence: start again from the first.
        n = 1.0;
        status = Measure(dialog, window, curveIndex, run, n, m);
    }
    if (status != 0) {
        win::SetDlgItemText(dialog, kResultText, "No Value");
        win::SetDlgItemText(dialog, kFirstArgEdit, "1");
        win::MessageBeep(0);
        return;
    }
    const int function = s.function;
    bool placed = LocateCursorPointAtPosition(window, curveIndex, MarkedX(function, m.ax, m.ay), k, false, 0, run) != 0;
    if (kPerformanceFunctionRows[U(function)].markedPoints == 2)
        placed = LocateCursorPointAtPosition(window, curveIndex, MarkedX(function, m.bx, m.by), 1 - k, false, 0, run) != 0 &&
                 placed;
    if (!placed) win::MessageBeep(0);
    if (window->window) win::InvalidateRect(window->window, nullptr, 1);
    win::SetDlgItemText(dialog, kResultText, StrPrintf("%g", m.value).c_str());
    win::SetDlgItemText(dialog, kFirstArgEdit, StrPrintf("%g", n + 1.0).c_str());
}

win::INT_PTR GoToPerformanceDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    GoToPerformanceState& s = State();
    switch (message) {
    case win::WM_INITDIALOG: {
        for (int f = 0; f < kPerformanceFunctionCount; ++f) {
            const std::string name(PerformanceFunctionName(f));
            win::SendDlgItemMessage(dialog, kFunctionCombo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(name.c_str()));
        }
        win::SendDlgItemMessage(dialog, kFunctionCombo, win::CB_SETCURSEL, static_cast<win::WPARAM>(s.function), 0);
        if (s.window && s.window->plot) {
            const PlotRecord& plot = *s.window->plot;
            for (int i = 0; i < plot.curveCount; ++i) {
                const CurveRecord& c = *plot.curves[U(i)];
                const std::string& name = c.name.empty() ? c.yExpressionText : c.name;
                win::SendDlgItemMessage(dialog, kCurveCombo, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(name.c_str()));
            }
            win::SendDlgItemMessage(dialog, kCurveCombo, win::CB_SETCURSEL, static_cast<win::WPARAM>(std::max(plot.currentCurve, 0)), 0);
        }
        win::SetDlgItemText(dialog, kBooleanEdit, s.condition.c_str());
        for (int a = 0; a < 3; ++a) win::SetDlgItemText(dialog, kFirstArgEdit + a, s.args[U(a)].empty() ? "1" : s.args[U(a)].c_str());
        ShowArguments(dialog, s.function);
        if (s.placed) win::SetWindowPos(dialog, nullptr, s.place.x, s.place.y, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
        return win::TRUE;
    }
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case kFunctionCombo:
            if (win::HIWORD(wParam) == win::CBN_SELCHANGE) {
                Remember(dialog);
                ShowArguments(dialog, s.function);
            }
            return win::TRUE;
        case kCurveCombo:
            if (win::HIWORD(wParam) == win::CBN_SELCHANGE && s.window && s.window->plot) {
                const int sel = static_cast<int>(win::SendDlgItemMessage(dialog, kCurveCombo, win::CB_GETCURSEL, 0, 0));
                if (sel >= 0 && sel < s.window->plot->curveCount) s.window->plot->currentCurve = sel;
            }
            return win::TRUE;
        case kLeftButton: Press(dialog, 0); return win::TRUE;
        case kRightButton: Press(dialog, 1); return win::TRUE;
        case kCloseButton:
        case win::IDOK:
        case win::IDCANCEL: Close(dialog); return win::TRUE;
        case kDialogHelpButton: ShowDialogHelp(kCommandGoToPerformance); return win::TRUE;
        default: return win::FALSE;
        }
    case win::WM_CLOSE:
        Close(dialog);
        return win::TRUE;
    default: return NoteModelessPlotDialogActivation(dialog, message, wParam);
    }
}

}  // namespace

win::HWND OpenGoToPerformanceDialog(WindowRecord* window)
{
    if (!window || !window->plot || window->plot->curveCount == 0) return nullptr;
    if (!InCursorMode(window)) SetEditMode(window, kCommandCursorMode);
    GoToPerformanceState& s = State();
    if (s.dialog && win::IsWindow(s.dialog)) Close(s.dialog);
    s.window = window;
    WindowRecord* frame = FrameRecord();
    s.dialog = win::CreateDialogParam(nullptr, kCommandGoToPerformance, frame ? frame->window : window->window,
                                      GoToPerformanceDlgProc, 0);
    if (s.dialog) win::ShowWindow(s.dialog, win::SW_SHOW);
    return s.dialog;
}

void ResetGoToPerformanceForTests() { State() = GoToPerformanceState{}; }

}  // namespace kq5
