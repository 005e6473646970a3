#include "ui/wait_cursor.h"

#include <string>

#include "ui/help_bar.h"
#include "ui/status_text.h"
#include "platform/cursor.h"
#include "platform/system.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kWaitText = 17888;
constexpr int kAltBusyCursor = 1006;

struct WaitCursorState {
    int level = 0;
    win::HCURSOR previous = nullptr;
    win::HWND classWindow = nullptr;
    win::ULONG_PTR classCursor = 0;
    bool showedText = false;
    std::string savedText;
};

WaitCursorState& State()
{
    static WaitCursorState state;
    return state;
}

win::HWND FrameWindow()
{
    return FrameHelpBar().parent;
}

void Begin(win::HWND window, win::HCURSOR cursor, bool withText)
{
    WaitCursorState& state = State();
    if (state.level++ != 0) return;
    state.previous = win::SetCursor(cursor);
    state.classWindow = window ? window : FrameWindow();
    if (state.classWindow) state.classCursor = win::SetClassLongPtr(state.classWindow, win::GCLP_HCURSOR, 0);
    state.showedText = false;
    if (withText && HelpBarOption() && !IsHelpBarFrozen()) {
        state.savedText = GetStatusText();
        SetHelpBarMessageId(nullptr, kWaitText);
        state.showedText = true;
        FreezeHelpBar();
    }
}

}  // namespace

void BeginWaitCursor(win::HWND window) { Begin(window, win::LoadCursor(nullptr, win::IDC_WAIT), true); }

void BeginWaitCursorNoText(win::HWND window) { Begin(window, win::LoadCursor(nullptr, win::IDC_WAIT), false); }

void BeginAltBusyCursor(win::HWND window)
{
    win::HCURSOR busy = win::LoadCursor(win::GetModuleHandle(nullptr), kAltBusyCursor);
    Begin(window, busy ? busy : win::LoadCursor(nullptr, win::IDC_WAIT), false);
}

void EndWaitCursor()
{
    WaitCursorState& state = State();
    if (state.level == 0) return;
    if (--state.level != 0) return;
    if (state.classWindow) win::SetClassLongPtr(state.classWindow, win::GCLP_HCURSOR, static_cast<win::LONG_PTR>(state.classCursor));
    state.classWindow = nullptr;
    win::SetCursor(state.previous);
    if (state.showedText) {
        UnfreezeHelpBar();
        SetStatusText(state.savedText);
        state.showedText = false;
    }
}

int WaitCursorLevel() { return State().level; }

void ResetWaitCursorForTests() { State() = WaitCursorState{}; }

}  // namespace kq5
