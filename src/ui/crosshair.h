#pragma once
// The cross-hair of circuit windows: two XOR lines through the mouse point across the window,
// drawn while the option is on. Drawing again at the same point erases it; suspension nests.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Draws the cross-hair of the record's window at the point (client coordinates), erasing the one
// shown before; nothing while suspended.
void DrawCrosshair(WindowRecord* record, win::POINT point);
// Erases the cross-hair of the record (any record when null) when it is shown.
void EraseCrosshair(WindowRecord* record);
// The first suspension erases it when asked; the last resume sets the mouse position to itself
// so that the window draws it again.
void SuspendCrosshair(bool erase);
void ResumeCrosshair();
int CrosshairSuspendLevel();
bool CrosshairShown();
void ResetCrosshairForTests();

}  // namespace kq5
