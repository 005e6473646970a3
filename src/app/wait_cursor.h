#pragma once
// The nested wait cursor shown while long work runs inside a command.
#include "platform/win_types.h"

namespace kq5 {

// Starts one level; the first level puts up the wait cursor.
void BeginWaitCursor(win::HWND window);
// Ends one level; the last end puts back the cursor that was there before.
void EndWaitCursor();
int WaitCursorLevel();

}  // namespace kq5
