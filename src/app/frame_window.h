#pragma once
// The frame window procedure of the class "kq52": it makes the MDI client, lays out the docked tool
// bar, the help bar and the MDI client, hands commands to the router, decides whether the program
// may quit, and opens files dropped on it.
#include "platform/win_types.h"

namespace kq5 {

constexpr int kMsgQuitQuestion = 14063;

win::LRESULT FrameWndProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// Sends the frame WM_SIZE with its current client size.
void RelayoutFrame();

}  // namespace kq5
