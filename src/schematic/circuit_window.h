#pragma once
// The window procedures of circuit windows: "cir" (a schematic with four panes, their scroll
// bars, page tab bars and the text area) and "ckt" (a text circuit whose client is its editor).
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

win::LRESULT CircuitWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
win::LRESULT CktWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

// 1 for a text circuit window, or a schematic whose text area has the keyboard focus.
int IsTextEditActive(const WindowRecord* record);

// Lines one wheel notch scrolls a pane.
constexpr int kWheelLines = 3;

}  // namespace kq5
