#pragma once
// The tool windows on screen: the main bar of picture buttons and the component palettes, their
// caption and close box, the buttons' pictures, and the room they take from the frame.
#include <functional>
#include <string>

#include "ui/component_buttons.h"
#include "ui/tool_buttons.h"
#include "platform/win_types.h"

namespace kq5 {

constexpr const char* kToolWindowClass = "Tool";
constexpr const char* kToolButtonClass = "Btn";
constexpr int kToolCloseBoxId = 1960;
constexpr int kToolTitleId = 101;
constexpr int kToolListId = 102;
constexpr int kFirstToolWindowId = 103;

// The pictures: each strip once, the component buttons' pictures built from their row words.
void LoadToolButtonBitmaps();
void RebuildComponentBitmaps();
void FreeToolBars();

// Picking a name in a palette makes that component the current one (the component code's).
struct PaletteHookTable {
    std::function<void(const std::string&)> pickComponent;
};
PaletteHookTable& PaletteHooks();

// What the bars are laid out for; the frame keeps it current.
ToolButtonSituation& ToolSituation();
// The "Lock Tool Bar" option: the main bar cannot be dragged while it is on.
void SetToolBarLocked(bool locked);

// Creates the slot's tool window in the frame, or toggles its visibility when it exists.
void ShowToolWindow(win::HWND frame, int slot);
// Gives every visible docked bar its rectangle and returns what is left of the client area for
// the MDI client (the status bar's line not counted).
win::RECT PlaceDockedBars(win::HWND frame, int clientWidth, int clientHeight, int statusHeight);
// Recomputes the states and shows, hides and moves the main bar's buttons.
void UpdateToolButtonStates();
int MainBarTopHeight();
// Asks for a new name of a palette and retitles its window "%d:%s"; 1 when renamed.
int RenamePaletteWindow(int slot);
// The help bar's text for what the pointer is over (the frame's WM_SETCURSOR): a tool button
// its command's text, the parts of a window frame theirs; anything else clears the bar.
void ShowPointerHelp(win::HWND window, int hitTest);

// Draws the row's button picture in the rectangle (greyed when the row is disabled).
void DrawToolButton(win::HDC dc, int row, const win::RECT& cell, bool pressed);
// Draws the up picture of a component button from its row words.
void DrawComponentPicture(win::HDC dc, const ComponentButtonPicture& picture, int x, int y);

}  // namespace kq5
