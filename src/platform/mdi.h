#pragma once
// The multiple-document interface: the "mdiclient" window that keeps a frame's document windows
// (creating, activating, maximising, tiling and cascading them, arranging their icons and listing
// them in the frame's window menu), and the default procedures of the frame and its children.
//
// Activating a child sends the child that loses the activation WM_NCACTIVATE(FALSE) and
// WM_MDIACTIVATE(deactivated, activated), then the new child WM_NCACTIVATE(TRUE) and
// WM_MDIACTIVATE(deactivated, activated), and gives it the focus when the frame is active. A
// maximised active child shows its system-menu icon at the left of the frame's menu bar and its
// minimise, restore and close buttons at the right, and its title in the frame's caption.
#include "platform/win_messages.h"
#include "platform/win_types.h"

namespace win {

// lpCreateParams of the "mdiclient" window.
struct CLIENTCREATESTRUCT {
    HMENU hWindowMenu = nullptr;  // the popup that lists the children
    UINT idFirstChild = 0;        // command id of the first child's entry
};

// lParam of WM_MDICREATE (and the child's lpCreateParams).
struct MDICREATESTRUCT {
    const char* szClass = nullptr;
    const char* szTitle = nullptr;
    HINSTANCE hOwner = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    DWORD style = 0;
    LPARAM lParam = 0;
};

// Style of the client window: children get exactly the styles asked for.
constexpr DWORD MDIS_ALLCHILDSTYLES = 0x0001;

// WM_MDITILE flags.
constexpr WPARAM MDITILE_VERTICAL = 0x0000;
constexpr WPARAM MDITILE_HORIZONTAL = 0x0001;
constexpr WPARAM MDITILE_SKIPDISABLED = 0x0002;

// How many children the window menu lists; with more, the next entry "&More Windows..." (id
// idFirstChild + 9) offers them all in a dialog.
constexpr int kMdiWindowMenuEntries = 9;

// client may be null for a frame without an MDI client.
LRESULT DefFrameProc(HWND hwnd, HWND client, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefMDIChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Ctrl+F4 closes the active child, Ctrl+F6 and Ctrl+Tab activate the next one (with Shift the
// previous one). Returns TRUE when the key was such a command.
BOOL TranslateMDISysAccel(HWND client, const MSG* msg);

}  // namespace win
