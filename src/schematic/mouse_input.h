#pragma once
// Mouse input of the circuit windows (shared with the analysis, performance, 3-D and Monte Carlo
// windows): presses, moves and releases become editing operations by the window's edit mode.
// The window procedures call these with their message parameters.
#include "platform/win_types.h"

namespace kq5 {

void OnWindowLButtonDown(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowLButtonUp(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowRButtonDown(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowRButtonUp(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnWindowMouseMove(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);
void OnCircuitDoubleClick(win::HWND hwnd, unsigned keyFlags, win::LPARAM lParam);

}  // namespace kq5
