#include "ui/list_selection.h"

#include <algorithm>

#include "platform/controls.h"
#include "platform/message.h"
#include "platform/window.h"

namespace kq5 {

void StepListSelection(win::HWND list)
{
    const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
    if (count <= 0) return;
    const int at = static_cast<int>(win::SendMessage(list, win::LB_GETCURSEL, 0, 0));
    const int next = std::clamp(at + 1, 0, count - 1);
    win::SendMessage(list, win::LB_SETCURSEL, static_cast<win::WPARAM>(next), 0);
    win::SendMessage(win::GetParent(list), win::WM_COMMAND,
                     win::MAKEWPARAM(static_cast<win::WORD>(win::GetDlgCtrlID(list)), win::LBN_SELCHANGE),
                     reinterpret_cast<win::LPARAM>(list));
}

}  // namespace kq5
