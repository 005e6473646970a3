#pragma once
// The hover timer that keeps a drag going while the pointer stands outside the pane being
// edited, the seconds clock of run and command timing, and the date and time stamps of
// printouts, plot titles and output files.
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

inline constexpr win::UINT_PTR kHoverTimerId = 5678;
inline constexpr win::UINT kHoverTimerPeriodMs = 500;

void StartHoverTimer(win::HWND window);
void StopHoverTimer(win::HWND window);
// Sends the window a left-button mouse move at the pointer's position unless the pointer is
// inside the active pane of a schematic window (more than one pixel from its edge).
void HoverTimerProc(win::HWND window, win::UINT message, win::UINT_PTR timerId, win::DWORD time);

// Seconds on a monotonic clock; only differences are meaningful.
double GetTimeSeconds();

// The current date and time in the short forms of the locale.
std::string FormatLocaleDate();
std::string FormatLocaleTime();

// "Date <date> Time <time>" (labels optional), each part present when its stamp option is on;
// empty with neither. The first form reads the program's option word.
std::string FormatDateTimeStamp(bool withLabels);
std::string FormatDateTimeStamp(bool withLabels, std::uint32_t optionFlags);

}  // namespace kq5
