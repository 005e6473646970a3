// The "Go to X" and "Go to Y" dialogs: a value typed once sends the left or the right cursor to
// where the current curve takes it, and pressed again to its next crossing.
#include <algorithm>
#include <array>
#include <string>

#include "ui/edit_mode.h"
#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "core/digital_logic_tables.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_cursors.h"
#include "plots/plot_layout.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr int kGoToTemplate = 17182;
constexpr int kValueEdit = 10;
constexpr int kValueLabel = 107;
constexpr int kLeftButton = 105;
constexpr int kRightButton = 106;
constexpr int kMsgIllegalState = 13616;
constexpr std::size_t kTextLength = 20;

struct GoToState {
    win::HWND dialog = nullptr;
    WindowRecord* window = nullptr;
    int command = kCommandGoToX;
    std::array<std::string, 2> texts;  // X, Y
    win::POINT place{};
    bool placed = false;
};

GoToState& GoTo()
{
    static GoToState state;
    return state;
}

std::string& FormText() { return GoTo().texts[GoTo().command == kCommandGoToY ? 1 : 0]; }

void Close(win::HWND dialog)
{
    GoToState& g = GoTo();
    std::string text = win::GetDlgItemText(dialog, kValueEdit);
    FormText() = text.substr(0, kTextLength);
    g.dialog = nullptr;
    CloseModelessPlotDialog(dialog, g.place, g.placed);
}

void Press(win::HWND dialog, int k)
{
    GoToState& g = GoTo();
    WindowRecord* window = g.window;
    if (!window || !IsLiveWindowRecord(window) || !window->plot || window->plot->curveCount == 0) return;
    const std::string text = win::GetDlgItemText(dialog, kValueEdit);
    const PlotRecord& plot = *window->plot;
    const CurveRecord& curve = *plot.curves[static_cast<std::size_t>(std::clamp(plot.currentCurve, 0, plot.curveCount - 1))];
    double value = 0.0;
    if (g.command == kCommandGoToY && curve.digital) {
        const int index = text.size() == 1 ? DigitalStateIndex(text[0]) : -1;
        if (index < 0) {
            ReportMessage("E", kMsgIllegalState);
            return;
        }
        value = index | 8;
    } else {
        int error = 0;
        value = EvalNumberOrExpression(text, error);
        if (error != 0) return;
    }
    GoToCursorValue(window, g.command, k, value);
}

win::INT_PTR GoToValueDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    GoToState& g = GoTo();
    switch (message) {
    case win::WM_INITDIALOG:
        win::SetWindowText(dialog, g.command == kCommandGoToY ? "Go to Y" : "Go to X");
        win::SetDlgItemText(dialog, kValueLabel, g.command == kCommandGoToY ? "Y Value" : "X Value");
        win::SetDlgItemText(dialog, kValueEdit, FormText().c_str());
        if (g.placed) win::SetWindowPos(dialog, nullptr, g.place.x, g.place.y, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case kLeftButton: Press(dialog, 0); return win::TRUE;
        case kRightButton: Press(dialog, 1); return win::TRUE;
        case win::IDOK:
        case win::IDCANCEL: Close(dialog); return win::TRUE;
        default: return win::FALSE;
        }
    case win::WM_CLOSE:
        Close(dialog);
        return win::TRUE;
    default: return NoteModelessPlotDialogActivation(dialog, message, wParam);
    }
}

}  // namespace

void CloseModelessPlotDialog(win::HWND dialog, win::POINT& place, bool& placed)
{
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    place = win::POINT{r.left, r.top};
    placed = true;
    if (Frame().modelessDialog == dialog) Frame().modelessDialog = nullptr;
    win::DestroyWindow(dialog);
}

win::INT_PTR NoteModelessPlotDialogActivation(win::HWND dialog, win::UINT message, win::WPARAM wParam)
{
    if (message == win::WM_ACTIVATE && win::LOWORD(wParam) != 0) Frame().modelessDialog = dialog;
    return win::FALSE;
}

win::HWND OpenGoToDialog(WindowRecord* window, int command)
{
    if (!window || !window->plot || window->plot->curveCount == 0) return nullptr;
    if (!InCursorMode(window)) SetEditMode(window, kCommandCursorMode);
    GoToState& g = GoTo();
    if (g.dialog && win::IsWindow(g.dialog)) Close(g.dialog);
    g.window = window;
    g.command = command == kCommandGoToY ? kCommandGoToY : kCommandGoToX;
    WindowRecord* frame = FrameRecord();
    g.dialog = win::CreateDialogParam(nullptr, kGoToTemplate, frame ? frame->window : window->window, GoToValueDlgProc, 0);
    if (g.dialog) win::ShowWindow(g.dialog, win::SW_SHOW);
    return g.dialog;
}

void ResetGoToDialogForTests() { GoTo() = GoToState{}; }

}  // namespace kq5
