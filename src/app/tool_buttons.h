#pragma once
// Repainting tool-bar buttons whose state follows the active document.
#include "platform/win_types.h"

namespace kq5 {

// Repaints the button of the command on the bar; nothing without a bar or such a button.
void InvalidateDlgItem(win::HWND bar, int commandId);

}  // namespace kq5
