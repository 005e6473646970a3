#include "app/wait_cursor.h"

#include "platform/cursor.h"
#include "platform/win_styles.h"

namespace kq5 {

namespace {
struct WaitCursorState {
    int level = 0;
    win::HCURSOR previous = nullptr;
};

WaitCursorState& State()
{
    static WaitCursorState state;
    return state;
}
}  // namespace

void BeginWaitCursor(win::HWND)
{
    WaitCursorState& state = State();
    if (state.level++ == 0) state.previous = win::SetCursor(win::LoadCursor(nullptr, win::IDC_WAIT));
}

void EndWaitCursor()
{
    WaitCursorState& state = State();
    if (state.level == 0) return;
    if (--state.level == 0) win::SetCursor(state.previous);
}

int WaitCursorLevel() { return State().level; }

}  // namespace kq5
