#pragma once
// The mouse cursors of the edit modes, loaded once at start and destroyed at exit.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// The cursor resource of an edit mode (command id), 0 for the arrow.
int CursorResourceForMode(int mode);

void LoadCursors();
void DestroyCursors();
// The cursor handle of an edit mode (the arrow for modes without their own).
win::HCURSOR CursorForMode(int mode);
// Sets the class cursor and the current cursor of the record's window by its edit mode: model
// library and Monte Carlo windows always the arrow; `probeRunActive` (a run of a circuit in probe
// mode) the wait cursor. Returns the cursor set.
win::HCURSOR SetModeCursor(const WindowRecord* record, bool probeRunActive = false);
void SetClassCursor(win::HWND window, win::HCURSOR cursor);
void SetClassArrow(win::HWND window);
// The item of a list box under the mouse cursor, or -1 when the cursor is over no item.
int ListItemFromCursor(win::HWND listBox);

}  // namespace kq5
