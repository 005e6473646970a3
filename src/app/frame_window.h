#pragma once
// The frame window procedure of the class "kq52": it makes the MDI client, lays out the docked tool
// bar, the help bar and the MDI client, hands commands to the router, decides whether the program
// may quit, and opens files dropped on it.
#include "ui/frame_state.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

constexpr int kMsgQuitQuestion = 14063;

// Fills what the lower layers reach the frame and the program's commands through: FrameServices()
// and the text editor's hooks. The frame calls it when it is created.
void InstallFrameServices();

win::LRESULT FrameWndProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// Sends the frame WM_SIZE with its current client size.
void RelayoutFrame();
// Invalidates and updates the MDI client.
void RepaintMdiClient();
// A schematic window takes the "Circuit" placement its document stores (and, with update set and
// that placement not maximised, the document windows are brought up to date); any other window
// is shown maximised, a text circuit window then sized for it.
void RestoreRecordPlacement(WindowRecord* record, bool update);

// What the menus' checks and the tool buttons' states depend on, taken from the active window and
// the run. The frame brings the button states up to date with it through FrameServices()
// (ui/frame_state.h), which it fills when it is created.
struct MenuSituation;
struct ToolButtonSituation;
MenuSituation FrameMenuSituation();
ToolButtonSituation FrameToolButtonSituation();
// The menus' texts and checks that other parts own: recent files, view options.
void ConnectMenuSources();
// Shows or hides a tool window (0 the main bar, 1 to 9 the palettes) and lays the frame out again.
void ToggleToolWindow(int slot);
// Creates the tool windows that the settings keep in use.
void CreateDockedBars();

}  // namespace kq5
