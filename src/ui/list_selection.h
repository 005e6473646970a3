#pragma once
// Stepping through a list box from the keyboard of another control.
#include "platform/win_types.h"

namespace kq5 {

// Moves the selection of a list box one entry down, kept within the list, and tells its parent
// as a selection change.
void StepListSelection(win::HWND list);

}  // namespace kq5
