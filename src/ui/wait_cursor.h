#pragma once
// The nested wait cursor shown while long work runs inside a command.
#include "platform/win_types.h"

namespace kq5 {

// Starts one level; the first level puts up the wait cursor, clears the class cursor of the window
// (the frame's when none is given) and shows "Wait" in the help bar when the bar is free.
void BeginWaitCursor(win::HWND window);
// The same without a help-bar text.
void BeginWaitCursorNoText(win::HWND window);
// The alternative busy cursor, without a text.
void BeginAltBusyCursor(win::HWND window);
// Ends one level; the last end puts back the cursors and the help bar's text.
void EndWaitCursor();
int WaitCursorLevel();
void ResetWaitCursorForTests();

}  // namespace kq5
