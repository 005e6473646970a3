#pragma once
// Owner-drawn items: the structures of WM_MEASUREITEM and WM_DRAWITEM, shared by the controls
// (buttons, list boxes, combo boxes) and the menus.
#include "platform/win_types.h"

namespace win {

// Owner-draw control types (CtlType).
constexpr UINT ODT_MENU = 1;
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODT_COMBOBOX = 3;
constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODT_STATIC = 5;

// What to draw (itemAction).
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;

// The item's state (itemState).
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;
constexpr UINT ODS_DEFAULT = 0x0020;
constexpr UINT ODS_COMBOBOXEDIT = 0x1000;

// lParam of WM_MEASUREITEM; the owner fills itemWidth and itemHeight.
struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;  // 0 for menus
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    ULONG_PTR itemData = 0;
};

// lParam of WM_DRAWITEM. For a menu item hwndItem is the menu handle (cast), for a control the
// control's window.
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    HDC hDC = nullptr;
    RECT rcItem;
    ULONG_PTR itemData = 0;
};

// lParam of WM_DELETEITEM, sent to the owner for each item a list box or combo box drops.
struct DELETEITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    HWND hwndItem = nullptr;
    ULONG_PTR itemData = 0;
};

// lParam of WM_COMPAREITEM (sorted owner-drawn lists without strings): the owner answers -1, 0
// or 1 as item 1 sorts before, with or after item 2.
struct COMPAREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    HWND hwndItem = nullptr;
    UINT itemID1 = 0;
    ULONG_PTR itemData1 = 0;
    UINT itemID2 = 0;
    ULONG_PTR itemData2 = 0;
    DWORD dwLocaleId = 0;
};

}  // namespace win
