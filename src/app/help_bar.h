#pragma once
// The help bar: one line of help text at the foot of the frame.
#include "platform/win_types.h"

namespace kq5 {

// Shows a string-table message in the help bar; returns the id shown before (0 none).
int SetHelpBarMessageId(win::HWND bar, int id);
int HelpBarMessageId();

}  // namespace kq5
