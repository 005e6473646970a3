#pragma once
// Menus: menu bars and popup menus built by calls or loaded from the program's resources, their
// items (text, separators, bitmaps, owner-drawn, popups, column breaks, check and grey states),
// the menu bar drawn in a window's frame and tracked by mouse and keyboard, TrackPopupMenu and
// the system menu.
//
// Tracking a menu sends its owner, in order: WM_ENTERMENULOOP, WM_INITMENU (the bar, or the popup
// of TrackPopupMenu), then for every item that becomes selected WM_MENUSELECT (a popup item gives
// its position and the menu holding it, any other item its id), WM_INITMENUPOPUP before each popup
// opens, and at the end WM_MENUSELECT with the flags 0xFFFF and no menu, WM_EXITMENULOOP, and for a
// chosen item a posted WM_COMMAND (WM_SYSCOMMAND for the window's own system menu).
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win_messages.h"
#include "platform/win_types.h"

namespace win {

// Item flags (MF_*), used both to build items and in the answers of GetMenuState and
// WM_MENUSELECT.
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_BITMAP = 0x0004;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_MENUBARBREAK = 0x0020;
constexpr UINT MF_MENUBREAK = 0x0040;
constexpr UINT MF_UNHILITE = 0x0000;
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_USECHECKBITMAPS = 0x0200;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_DEFAULT = 0x1000;
constexpr UINT MF_SYSMENU = 0x2000;
constexpr UINT MF_HELP = 0x4000;
constexpr UINT MF_RIGHTJUSTIFY = 0x4000;
constexpr UINT MF_MOUSESELECT = 0x8000;
constexpr UINT MFT_RADIOCHECK = 0x0200;
// Marks the last item of a level in a menu resource.
constexpr UINT MF_END = 0x0080;

// TrackPopupMenu flags.
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// Answers to WM_MENUCHAR (high word of the result).
constexpr WORD MNC_IGNORE = 0;
constexpr WORD MNC_CLOSE = 1;
constexpr WORD MNC_EXECUTE = 2;
constexpr WORD MNC_SELECT = 3;

// Pictures drawn by the layer in place of a bitmap of MF_BITMAP items: the system-menu icon of a
// window (a maximised MDI child's, in its frame's menu bar) and the small caption buttons.
inline const HBITMAP HBMMENU_SYSTEM = reinterpret_cast<HBITMAP>(std::uintptr_t{1});
inline const HBITMAP HBMMENU_MBAR_RESTORE = reinterpret_cast<HBITMAP>(std::uintptr_t{2});
inline const HBITMAP HBMMENU_MBAR_MINIMIZE = reinterpret_cast<HBITMAP>(std::uintptr_t{3});
inline const HBITMAP HBMMENU_MBAR_CLOSE = reinterpret_cast<HBITMAP>(std::uintptr_t{5});

// --- menus and items --------------------------------------------------------------------------
HMENU CreateMenu();       // a menu bar
HMENU CreatePopupMenu();  // a popup menu
// Destroys the menu and every popup it holds (a window's system menu is left to its window).
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// The new item is given by its flags: a text (MF_STRING), a bitmap (MF_BITMAP), item data handed
// back in WM_MEASUREITEM and WM_DRAWITEM (MF_OWNERDRAW), or nothing (MF_SEPARATOR). With MF_POPUP,
// idOrPopup is the popup's HMENU cast to UINT_PTR, else the command id.
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, const char* text);
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, HBITMAP bitmap);
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, ULONG_PTR itemData);
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, std::nullptr_t);
// Inserts before the item at position (MF_BYPOSITION; -1 or past the end appends) or before the
// item with the command id (MF_BYCOMMAND, searched in the popups too).
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, const char* text);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, HBITMAP bitmap);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, ULONG_PTR itemData);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, std::nullptr_t);
// Replaces an item; a popup it held is destroyed unless the new item keeps it.
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, const char* text);
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, HBITMAP bitmap);
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, ULONG_PTR itemData);
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, std::nullptr_t);
// RemoveMenu keeps a popup the item held (the caller owns it now); DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);

// Returns the previous state (MF_GRAYED | MF_DISABLED, or MF_CHECKED), or (UINT)-1 when there is
// no such item.
UINT EnableMenuItem(HMENU menu, UINT idOrPosition, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT idOrPosition, UINT check);
// Checks one item of the range first..last with a radio mark and unchecks the others.
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);

int GetMenuItemCount(HMENU menu);                 // -1 for an invalid menu
UINT GetMenuItemID(HMENU menu, int position);     // (UINT)-1 for a popup or no item; 0 separator
HMENU GetSubMenu(HMENU menu, int position);       // null when the item holds no popup
// The item's flags; for a popup item the item count of its popup is in the high byte.
// (UINT)-1 when there is no such item.
UINT GetMenuState(HMENU menu, UINT idOrPosition, UINT flags);
// The item's text ("" for none or no such item).
std::string GetMenuString(HMENU menu, UINT idOrPosition, UINT flags);
// A text an item shows as it stands: each '&' doubled, so that none turns the next letter into
// the item's key (a file "R&D.cir" reads "R&D.cir", not "RD.cir" with D underlined).
std::string MenuLiteral(std::string_view text);

// --- menus of windows -------------------------------------------------------------------------
// GetMenu and SetMenu are in platform/window.h. DrawMenuBar lays the bar out again and redraws it
// after its items changed.
BOOL DrawMenuBar(HWND hwnd);
// The window's system menu (made on first use from the window's styles); revert TRUE puts the
// standard one back and returns null.
HMENU GetSystemMenu(HWND hwnd, BOOL revert);

// Opens a popup menu at a screen point and tracks it until an item is chosen or the menu is
// cancelled. Returns the chosen id with TPM_RETURNCMD (0 when none), else TRUE when an item was
// chosen (its WM_COMMAND is posted to owner).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* ignore);

// The screen rectangle of an item of hwnd's menu bar, or of an open popup menu.
BOOL GetMenuItemRect(HWND hwnd, HMENU menu, UINT position, RECT* rect);

// True while a menu is being tracked (a menu loop runs).
bool IsMenuTracking();

// --- resources --------------------------------------------------------------------------------
// A menu of the program's resources by id (instance ignored: the program is one module). A new
// menu each time; null when there is no such resource. The name form takes "#id".
HMENU LoadMenu(HINSTANCE instance, UINT_PTR id);
HMENU LoadMenu(HINSTANCE instance, const char* name);

}  // namespace win
