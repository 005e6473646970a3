#pragma once
// The hover timer that keeps a drag going while the pointer stands outside the pane being
// edited.
#include "platform/win_types.h"

namespace kq5 {

inline constexpr win::UINT_PTR kHoverTimerId = 5678;
inline constexpr win::UINT kHoverTimerPeriodMs = 500;

void StartHoverTimer(win::HWND window);
void StopHoverTimer(win::HWND window);
// Sends the window a left-button mouse move at the pointer's position unless the pointer is
// inside the active pane of a schematic window (more than one pixel from its edge).
void HoverTimerProc(win::HWND window, win::UINT message, win::UINT_PTR timerId, win::DWORD time);

}  // namespace kq5
