#pragma once
// The objects behind HMENU and the state of the menu module, shared by its files (items, layout
// and drawing, tracking, resources) and by the MDI module, which puts a maximised child's icon and
// buttons into its frame's menu bar.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/menu.h"
#include "platform/window_internal.h"

struct win::MenuObject {
    struct Item {
        UINT flags = 0;        // MF_* type and state bits (MF_POPUP when submenu is set)
        UINT_PTR id = 0;       // command id (0 for separators and popups)
        HMENU submenu = nullptr;
        std::string text;      // MF_STRING items; may hold "\t" and an accelerator text
        HBITMAP bitmap = nullptr;
        ULONG_PTR itemData = 0;  // MF_OWNERDRAW items
        RECT rect;             // laid out: bar items in bar coordinates, popup items in the popup's client
        int tabX = 0;          // laid out: where the text after "\t" starts, popup coordinates
    };

    bool popup = false;
    std::vector<Item> items;
    HWND systemMenuOf = nullptr;  // the window whose system menu this is
    // Layout cache of a popup (client size of its window, without the border).
    SIZE popupSize;
    bool layoutValid = false;
};

namespace win {

using MenuItem = MenuObject::Item;

struct MenuState {
    std::unordered_map<MenuObject*, std::unique_ptr<MenuObject>> menus;
    std::unordered_map<HWND, HMENU> systemMenus;
    HFONT font = nullptr;  // the menu font, made on first use
    // Bar layouts by window: the width they were made for and the height that came out.
    struct BarLayout {
        HMENU menu = nullptr;
        int width = -1;
        int height = 0;
    };
    std::unordered_map<HWND, BarLayout> bars;
    struct MenuTracker* tracker = nullptr;  // the menu loop that runs, if any
};

MenuState& Menus();
// Installs the menu module into the window manager (hooks, the popup window class). Called once
// at start-up from any of the layer's modules that need menus.
void RegisterMenuModule();

// Forgets every accelerator table (with the window manager's state).
void ResetAccelerators();

MenuObject* LiveMenu(HMENU menu);

// Finds an item by command id (searching popups too) or by position. On success, holder is the
// menu that holds it and index its position there.
bool FindMenuItem(HMENU menu, UINT idOrPosition, UINT flags, HMENU* holder, int* index);
// The popup chain from menu down to the popup holding the command id (menu first); false when no
// item has the id.
bool FindCommandPath(HMENU menu, UINT id, std::vector<std::pair<HMENU, int>>* path);
bool IsSelectable(const MenuItem& item);  // not a separator
bool IsDisabledItem(const MenuItem& item);  // greyed or disabled

// The font of menu texts.
HFONT MenuFont();

// --- layout and drawing (menu_draw.cpp) --------------------------------------------------------
// Lays the bar out for a width (item rects in bar coordinates: 0,0 at the bar's top left) and
// returns its height. Owner-drawn items are measured through owner.
int LayoutMenuBar(HMENU bar, HWND owner, int width);
// Lays a popup out (item rects in the popup window's client coordinates) and returns the size of
// the whole popup window.
SIZE LayoutPopupMenu(HMENU popup, HWND owner);
void DrawMenuBarItems(HMENU bar, HWND owner, HDC dc, const RECT& barRect, int selected, bool open);
void DrawPopupMenuItems(HMENU popup, HWND owner, HDC dc, int selected);
// The border of a popup window around its items.
constexpr int kPopupBorder = 3;
// The bar's rectangle on the screen for a window (empty when it has none).
RECT MenuBarScreenRect(HWND hwnd);

// --- tracking (menu_track.cpp) -----------------------------------------------------------------
// The WM_SYSCOMMAND handling of SC_MOUSEMENU and SC_KEYMENU.
void TrackMenuBarByMouse(HWND hwnd, int hit, POINT screenPt);
void TrackMenuBarByKey(HWND hwnd, int ch);
// Redraws the open popups and the tracked bar after their items changed.
void RepaintTrackedMenus();
// The item of a window's bar that a running menu loop shows selected (-1 none), and whether its
// popup is open; false when no loop tracks that window's bar.
bool TrackedBarSelection(HWND hwnd, int* selected, bool* open);
// Registers the window class of popup menus (from the module's state initializer).
void RegisterMenuPopupClass();
// The lower-case mnemonic character of an item text ("&File" gives 'f'), or 0.
int MenuMnemonic(const std::string& text);

}  // namespace win
