#pragma once
// Window classes of the program's own small windows (bars, buttons), with the arrow cursor.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

// Registers the class; asking again for a known class changes nothing, so callers ask each time
// they make a window (the layer's classes may have been reset since).
void RegisterArrowClass(const char* name, win::WNDPROC proc, win::HBRUSH background = nullptr);

// The plot windows (analysis, performance, 3-D): redrawn whole when resized, with double clicks.
// True when the class is there afterwards.
bool RegisterPlotWindowClass(const char* name, win::WNDPROC proc, win::HBRUSH background = nullptr);
// A plot window as an MDI child of the frame, or, without a frame (batch runs, tests), standing
// on its own on the surface; null when it cannot be made.
win::HWND CreatePlotChildWindow(const char* className, const std::string& title);
// The default handling of such a window: the MDI child's, or a plain window's.
win::LRESULT DefaultPlotWindowProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
bool IsFrameMdiChild(win::HWND hwnd);
// Destroys a plot window the way it was made.
void DestroyPlotChildWindow(win::HWND hwnd);

}  // namespace kq5
