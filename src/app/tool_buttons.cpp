#include "app/tool_buttons.h"

#include "platform/paint.h"
#include "platform/window.h"

namespace kq5 {

void InvalidateDlgItem(win::HWND bar, int commandId)
{
    if (!bar) return;
    win::HWND button = win::GetDlgItem(bar, commandId);
    if (button) win::InvalidateRect(button, nullptr, win::TRUE);
}

}  // namespace kq5
