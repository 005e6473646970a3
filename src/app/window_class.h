#pragma once
// Window classes of the program's own small windows (bars, buttons), with the arrow cursor.
#include "platform/win_types.h"

namespace kq5 {

// Registers the class; asking again for a known class changes nothing, so callers ask each time
// they make a window (the layer's classes may have been reset since).
void RegisterArrowClass(const char* name, win::WNDPROC proc, win::HBRUSH background = nullptr);

}  // namespace kq5
