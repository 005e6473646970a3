#pragma once
// Colour pickers over the colour table: the 64-item colour popup menu, the "Color" dialog with its
// 8 by 8 palette buttons, and the colour-palette group that other dialogs embed (a list of named
// objects beside the palette buttons).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/owner_draw.h"
#include "platform/win_types.h"

namespace kq5 {

constexpr int kColorDialogTemplate = 9900;
constexpr int kFirstPaletteButton = 19800;
constexpr int kPaletteButtonCount = 64;

// The palette cells: 63 owner-drawn buttons made beside the first, whose client rectangle (grown
// by the spacing) gives the cell size. 0, or 15002 after "Insufficient memory." was shown.
int CreatePaletteButtons(win::HWND dialog, int spacing, int firstId);
// Draws one palette button: a sunken bevel for the current index (remembered in lastDrawn), a
// raised one otherwise, filled with the index's palette colour.
void DrawPaletteButton(const win::DRAWITEMSTRUCT& item, int current, int& lastDrawn, win::HBRUSH background,
                       int firstId);
win::HBRUSH QueryCtlColorBrush(win::HWND dialog, int itemId, win::HDC dc);

// The "Color" dialog: 1 with the chosen index stored, 0 on Cancel (index unchanged).
int PickColorIndex(win::HWND owner, std::uint8_t& index);
int PickColorIndexWord(win::HWND owner, int& index);
win::INT_PTR ColorDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

// The colour popup: item i is command firstId + i, 8 columns of 8.
win::HMENU CreateColorPopupMenu(int firstId);
void OnMeasureColorItem(win::MEASUREITEMSTRUCT& item);
void OnDrawColorItem(const win::DRAWITEMSTRUCT& item);
// WM_MEASUREITEM and WM_DRAWITEM for the items of a colour popup that a window owns: measures or
// draws a menu item as a colour item; false for anything else (nothing done).
bool OnColorItemMessage(win::UINT message, win::LPARAM lParam);

struct ColorPaletteGroup {
    win::HWND list = nullptr;
    win::HWND dialog = nullptr;
    int lastDrawn = -1;
    int count = 0;
    int* colors = nullptr;  // one colour index per entry, the caller's
    std::vector<std::string> texts;
    int firstId = kFirstPaletteButton;
    bool noColor = false;
    int checkBoxId = 0;
};

void InitColorPalette(ColorPaletteGroup& group, win::HWND dialog, const std::vector<std::string>& texts, int listId,
                      int* colors, int count, int firstId, int initialEntry);
void RefreshColorPalette(ColorPaletteGroup& group);
// 1 when a palette button set the selected entry's colour.
int OnColorPaletteClick(ColorPaletteGroup& group, int commandId);
// 1 when the item was one of the group's buttons (drawn), else 0.
int DrawColorPaletteItem(ColorPaletteGroup& group, const win::DRAWITEMSTRUCT& item);
// The selected entry, 0 without a list, -1 when nothing is selected.
int SelectedPaletteEntry(const ColorPaletteGroup& group);

}  // namespace kq5

namespace kq5 {

struct WindowRecord;

// The Color command of the File menu for the active window: the text colour of a text window
// (or of a schematic whose text area has the focus), else the colour of the selected items and
// grid texts of a schematic.
void OnColorCommand(WindowRecord* activeRecord);
// The text window's colour: 1 when it changed.
int PickTextWindowColor(WindowRecord* record);

// Three-dimensional dialogs come with the system here, as on every system from Windows 95 and
// NT 4 on: nothing is loaded, and the colour change needs no call.
int LoadCtl3d();
void Ctl3dSysColorChange(win::HWND frame);
void UnloadCtl3d();

}  // namespace kq5
