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

// What the menus' checks and the tool buttons' states depend on, taken from the active window and
// the run; the button states are brought up to date with it.
struct MenuSituation;
struct ToolButtonSituation;
MenuSituation FrameMenuSituation();
ToolButtonSituation FrameToolButtonSituation();
void RefreshToolButtonStates();
// The menus' texts and checks that other parts own: recent files, view options.
void ConnectMenuSources();
// Shows or hides a tool window (0 the main bar, 1 to 9 the palettes) and lays the frame out again.
void ToggleToolWindow(int slot);
// Creates the tool windows that the settings keep in use.
void CreateDockedBars();

}  // namespace kq5
