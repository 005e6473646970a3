#pragma once
// Caret hooks for the window manager and the presenter.
#include "platform/win_types.h"

namespace win {

void CaretWindowDestroyed(HWND hwnd);
// Blink step: toggles the caret when due; returns ms until it next changes, -1 when it does not
// blink (no caret, or hidden).
int CaretBlinkTick(DWORD now);
// Inverts the caret's pixels in a copy of the screen image (ARGB32 rows) as it shows now.
void ApplyCaretOverlay(unsigned char* data, int stride, int width, int height);

}  // namespace win
