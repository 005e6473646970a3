// Menus and their items: creation and destruction, adding, changing and removing items by
// command or by position, item states and queries, menu bars of windows and system menus, and
// the menu module's place in the window manager.
#include <algorithm>
#include <deque>

#include "platform/font.h"
#include "platform/gdi_objects.h"
#include "platform/menu_internal.h"
#include "platform/module_state.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

constexpr std::size_t kMenuGraveyardSize = 256;

// State bits an item keeps from the flags of the call that made it.
constexpr UINT kItemFlagMask = MF_GRAYED | MF_DISABLED | MF_BITMAP | MF_CHECKED | MF_POPUP | MF_MENUBARBREAK |
                               MF_MENUBREAK | MF_OWNERDRAW | MFT_RADIOCHECK | MF_SEPARATOR | MF_DEFAULT | MF_HELP;

// Destroyed menus stay allocated a while so that a stale handle never names a new menu.
std::deque<std::unique_ptr<MenuObject>>& Graveyard() {
    static std::deque<std::unique_ptr<MenuObject>> graveyard;
    return graveyard;
}

void Changed(MenuObject* m) {
    m->layoutValid = false;
    for (auto& [hwnd, bar] : Menus().bars)
        if (bar.menu == m) bar.width = -1;
}

HMENU NewMenu(bool popup) {
    auto obj = std::make_unique<MenuObject>();
    obj->popup = popup;
    HMENU h = obj.get();
    Menus().menus.emplace(h, std::move(obj));
    return h;
}

void DestroyMenuTree(MenuObject* m, bool evenSystem) {
    if (m->systemMenuOf && !evenSystem) return;
    auto& menus = Menus().menus;
    auto it = menus.find(m);
    if (it == menus.end()) return;
    std::unique_ptr<MenuObject> owned = std::move(it->second);
    menus.erase(it);
    for (auto& item : owned->items)
        if (auto* sub = LiveMenu(item.submenu)) DestroyMenuTree(sub, false);
    for (auto& [hwnd, bar] : Menus().bars)
        if (bar.menu == m) bar = MenuState::BarLayout{};
    owned->items.clear();
    Graveyard().push_back(std::move(owned));
    while (Graveyard().size() > kMenuGraveyardSize) Graveyard().pop_front();
}

bool Contains(MenuObject* m, MenuObject* target) {
    if (m == target) return true;
    for (auto& item : m->items)
        if (auto* sub = LiveMenu(item.submenu); sub && Contains(sub, target)) return true;
    return false;
}

// What a call gives for the new item; which field counts depends on the flags.
struct NewItem {
    UINT flags = 0;
    UINT_PTR idOrPopup = 0;
    const char* text = nullptr;
    HBITMAP bitmap = nullptr;
    ULONG_PTR itemData = 0;
};

bool MakeItem(MenuObject* into, const NewItem& n, MenuItem* out) {
    MenuItem item;
    item.flags = n.flags & kItemFlagMask;
    if (item.flags & MF_POPUP) {
        auto* sub = LiveMenu(reinterpret_cast<HMENU>(n.idOrPopup));
        // A menu may appear only once in the tree, and never inside itself.
        if (!sub || (into && Contains(sub, into))) return false;
        item.submenu = sub;
    } else {
        item.id = n.idOrPopup;
    }
    if (item.flags & MF_SEPARATOR) {
        item.flags &= ~(MF_BITMAP | MF_OWNERDRAW | MF_POPUP);
        item.submenu = nullptr;
    } else if (item.flags & MF_BITMAP) {
        item.bitmap = n.bitmap;
    } else if (item.flags & MF_OWNERDRAW) {
        item.itemData = n.itemData;
    } else if (n.text) {
        item.text = n.text;
    }
    *out = std::move(item);
    return true;
}

BOOL Insert(HMENU menu, UINT position, const NewItem& n, bool append) {
    auto* m = LiveMenu(menu);
    if (!m) return FALSE;
    MenuItem item;
    if (!MakeItem(m, n, &item)) return FALSE;
    MenuObject* holder = m;
    std::size_t index = m->items.size();
    if (!append) {
        if (n.flags & MF_BYPOSITION) {
            if (position != static_cast<UINT>(-1) && position < m->items.size()) index = position;
        } else {
            HMENU h = nullptr;
            int at = 0;
            if (!FindMenuItem(menu, position, MF_BYCOMMAND, &h, &at)) return FALSE;
            holder = LiveMenu(h);
            if (item.submenu && Contains(item.submenu, holder)) return FALSE;
            index = static_cast<std::size_t>(at);
        }
    }
    holder->items.insert(holder->items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    Changed(holder);
    RepaintTrackedMenus();
    return TRUE;
}

BOOL Modify(HMENU menu, UINT position, const NewItem& n) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, position, n.flags, &h, &at)) return FALSE;
    auto* holder = LiveMenu(h);
    MenuItem& old = holder->items[static_cast<std::size_t>(at)];
    HMENU oldSub = old.submenu;
    MenuItem item;
    if (!MakeItem(holder, n, &item)) return FALSE;
    // The check mark, grey state and breaks come from the new flags, as with a new item.
    holder->items[static_cast<std::size_t>(at)] = std::move(item);
    if (oldSub && oldSub != holder->items[static_cast<std::size_t>(at)].submenu)
        if (auto* s = LiveMenu(oldSub)) DestroyMenuTree(s, false);
    Changed(holder);
    RepaintTrackedMenus();
    return TRUE;
}

BOOL Remove(HMENU menu, UINT position, UINT flags, bool destroyPopup) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, position, flags, &h, &at)) return FALSE;
    auto* holder = LiveMenu(h);
    HMENU sub = holder->items[static_cast<std::size_t>(at)].submenu;
    holder->items.erase(holder->items.begin() + at);
    if (destroyPopup)
        if (auto* s = LiveMenu(sub)) DestroyMenuTree(s, false);
    Changed(holder);
    RepaintTrackedMenus();
    return TRUE;
}

// --- system menus -----------------------------------------------------------------------------

struct SystemItem {
    UINT_PTR id;
    const char* text;
};

constexpr SystemItem kSystemItems[] = {
    {SC_RESTORE, "&Restore"}, {SC_MOVE, "&Move"},         {SC_SIZE, "&Size"},
    {SC_MINIMIZE, "Mi&nimize"}, {SC_MAXIMIZE, "Ma&ximize"}, {0, nullptr},
    {SC_CLOSE, "&Close\tAlt+F4"},
};

constexpr SystemItem kMdiChildSystemItems[] = {
    {SC_RESTORE, "&Restore"},   {SC_MOVE, "&Move"},           {SC_SIZE, "&Size"},
    {SC_MINIMIZE, "Mi&nimize"}, {SC_MAXIMIZE, "Ma&ximize"},   {0, nullptr},
    {SC_CLOSE, "&Close\tCtrl+F4"}, {0, nullptr},              {SC_NEXTWINDOW, "Nex&t\tCtrl+F6"},
};

HMENU MakeSystemMenu(WindowObject* w) {
    HMENU menu = CreatePopupMenu();
    auto add = [&](const SystemItem* items, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!items[i].text)
                AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenu(menu, MF_STRING, items[i].id, items[i].text);
        }
    };
    if (w->exStyle & WS_EX_MDICHILD)
        add(kMdiChildSystemItems, std::size(kMdiChildSystemItems));
    else
        add(kSystemItems, std::size(kSystemItems));
    if (!(w->style & WS_THICKFRAME)) DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    if (!(w->style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) || (w->style & WS_CHILD && !(w->exStyle & WS_EX_MDICHILD))) {
        DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
        DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    }
    LiveMenu(menu)->systemMenuOf = w;
    return menu;
}

// --- hooks into the window manager ------------------------------------------------------------

int FrameThickness(const WindowObject* w) {
    if (w->style & WS_THICKFRAME) return GetSystemMetrics(SM_CXFRAME);
    if ((w->style & WS_DLGFRAME) || (w->exStyle & WS_EX_DLGMODALFRAME)) return GetSystemMetrics(SM_CXDLGFRAME);
    if (w->style & WS_BORDER) return GetSystemMetrics(SM_CXBORDER);
    return 0;
}

int BarHeightHook(HWND hwnd, int windowWidth) {
    auto* w = LiveWindow(hwnd);
    if (!w || !LiveMenu(w->menu)) return 0;
    int width = std::max(0, windowWidth - 2 * FrameThickness(w));
    auto& cache = Menus().bars[hwnd];
    if (cache.menu != w->menu || cache.width != width) {
        cache.menu = w->menu;
        cache.width = width;
        cache.height = LayoutMenuBar(w->menu, hwnd, width);
    }
    return cache.height;
}

void InstallMenuHooks() {
    auto& hooks = WindowHooks();
    hooks.menuBarHeight = BarHeightHook;
    hooks.drawMenuBar = [](HWND hwnd, HDC dc, const RECT& rect) {
        auto* w = LiveWindow(hwnd);
        if (!w || !LiveMenu(w->menu)) return;
        BarHeightHook(hwnd, w->rect.right - w->rect.left);
        int selected = -1;
        bool open = false;
        TrackedBarSelection(hwnd, &selected, &open);
        DrawMenuBarItems(w->menu, hwnd, dc, rect, selected, open);
    };
    hooks.defProcFilters.push_back([](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        switch (msg) {
        case WM_NCCREATE: {
            // A top-level window made without a menu gets its class's menu.
            auto* w = LiveWindow(hwnd);
            if (w && !(w->style & WS_CHILD) && !w->menu && w->cls && !w->cls->menuName.empty())
                w->menu = LoadMenu(w->instance, w->cls->menuName.c_str());
            return false;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_MOUSEMENU) {
                TrackMenuBarByMouse(hwnd, static_cast<int>(wParam & 0x0F),
                                    POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                result = 0;
                return true;
            }
            if ((wParam & 0xFFF0) == SC_KEYMENU) {
                TrackMenuBarByKey(hwnd, static_cast<int>(lParam & 0xFF));
                result = 0;
                return true;
            }
            return false;
        case WM_MENUCHAR:
            result = 0;
            return true;
        case WM_NCLBUTTONDBLCLK:
            // A second press on the bar soon after the first (which a menu loop took) opens it again.
            if (wParam == static_cast<WPARAM>(HTMENU)) {
                auto* w = LiveWindow(hwnd);
                auto* top = w ? TopLevelOf(w) : nullptr;
                if (top) SendMessage(top, WM_SYSCOMMAND, SC_MOUSEMENU + HTMENU, lParam);
                result = 0;
                return true;
            }
            return false;
        case WM_SYSCHAR:
            // Alt+Space opens the system menu of the top-level window, not of a child that has none.
            if (wParam == ' ' && (lParam & KF_ALTDOWN_BIT)) {
                auto* w = LiveWindow(hwnd);
                if (w && (w->style & WS_CHILD) && w->parent) {
                    result = SendMessage(w->parent, msg, wParam, lParam);
                    return true;
                }
            }
            return false;
        default:
            return false;
        }
    });
    hooks.windowDestroyed.push_back([](HWND hwnd) {
        auto& s = Menus();
        auto* w = LiveWindow(hwnd);
        if (w && !(w->style & WS_CHILD))
            if (auto* bar = LiveMenu(w->menu)) DestroyMenuTree(bar, false);
        if (w) w->menu = nullptr;
        if (auto it = s.systemMenus.find(hwnd); it != s.systemMenus.end()) {
            if (auto* m = LiveMenu(it->second)) DestroyMenuTree(m, true);
            s.systemMenus.erase(it);
        }
        s.bars.erase(hwnd);
    });
}

}  // namespace

// --- module -----------------------------------------------------------------------------------

MenuState& Menus() { return ModuleState<MenuState>(); }

void RegisterMenuModule() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    AddStateInitializer([] {
        ResetModuleState<MenuState>();
        Graveyard().clear();
        ResetAccelerators();
        InstallMenuHooks();
        RegisterMenuPopupClass();
    });
}

namespace {
const bool kMenuModuleRegistered = (RegisterMenuModule(), true);
}  // namespace

MenuObject* LiveMenu(HMENU menu) {
    if (!menu) return nullptr;
    auto& menus = Menus().menus;
    auto it = menus.find(menu);
    return it == menus.end() ? nullptr : it->second.get();
}

bool IsSelectable(const MenuItem& item) { return !(item.flags & MF_SEPARATOR); }
bool IsDisabledItem(const MenuItem& item) { return (item.flags & (MF_GRAYED | MF_DISABLED)) != 0; }

bool FindMenuItem(HMENU menu, UINT idOrPosition, UINT flags, HMENU* holder, int* index) {
    auto* m = LiveMenu(menu);
    if (!m) return false;
    if (flags & MF_BYPOSITION) {
        if (idOrPosition >= m->items.size()) return false;
        *holder = menu;
        *index = static_cast<int>(idOrPosition);
        return true;
    }
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const auto& item = m->items[i];
        if (!item.submenu && !(item.flags & MF_SEPARATOR) && item.id == idOrPosition) {
            *holder = menu;
            *index = static_cast<int>(i);
            return true;
        }
    }
    for (auto& item : m->items)
        if (item.submenu && FindMenuItem(item.submenu, idOrPosition, flags, holder, index)) return true;
    return false;
}

bool FindCommandPath(HMENU menu, UINT id, std::vector<std::pair<HMENU, int>>* path) {
    auto* m = LiveMenu(menu);
    if (!m) return false;
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const auto& item = m->items[i];
        if (!item.submenu && !(item.flags & MF_SEPARATOR) && item.id == id) {
            path->emplace_back(menu, static_cast<int>(i));
            return true;
        }
    }
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        if (!m->items[i].submenu) continue;
        path->emplace_back(menu, static_cast<int>(i));
        if (FindCommandPath(m->items[i].submenu, id, path)) return true;
        path->pop_back();
    }
    return false;
}

HFONT MenuFont() {
    auto& s = Menus();
    if (!s.font || !IsValidGdiObject(s.font)) {
        LOGFONT lf;
        lf.lfHeight = -11;
        lf.lfWeight = FW_NORMAL;
        lf.lfFaceName = "MS Sans Serif";
        s.font = CreateFontIndirect(&lf);
    }
    return s.font;
}

// --- public interface -------------------------------------------------------------------------

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
    auto* m = LiveMenu(menu);
    if (!m || m->systemMenuOf) return FALSE;
    // A window whose bar it was keeps no dangling handle.
    for (auto& [ptr, w] : User().windows)
        if (w->menu == menu) w->menu = nullptr;
    DestroyMenuTree(m, false);
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return LiveMenu(menu) != nullptr; }

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, const char* text) {
    return Insert(menu, 0, NewItem{flags, idOrPopup, text, nullptr, 0}, true);
}
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, HBITMAP bitmap) {
    return Insert(menu, 0, NewItem{flags, idOrPopup, nullptr, bitmap, 0}, true);
}
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, ULONG_PTR itemData) {
    return Insert(menu, 0, NewItem{flags, idOrPopup, nullptr, nullptr, itemData}, true);
}
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idOrPopup, std::nullptr_t) {
    return Insert(menu, 0, NewItem{flags, idOrPopup, nullptr, nullptr, 0}, true);
}

BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, const char* text) {
    return Insert(menu, position, NewItem{flags, idOrPopup, text, nullptr, 0}, false);
}
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, HBITMAP bitmap) {
    return Insert(menu, position, NewItem{flags, idOrPopup, nullptr, bitmap, 0}, false);
}
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, ULONG_PTR itemData) {
    return Insert(menu, position, NewItem{flags, idOrPopup, nullptr, nullptr, itemData}, false);
}
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, std::nullptr_t) {
    return Insert(menu, position, NewItem{flags, idOrPopup, nullptr, nullptr, 0}, false);
}

BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, const char* text) {
    return Modify(menu, position, NewItem{flags, idOrPopup, text, nullptr, 0});
}
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, HBITMAP bitmap) {
    return Modify(menu, position, NewItem{flags, idOrPopup, nullptr, bitmap, 0});
}
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, ULONG_PTR itemData) {
    return Modify(menu, position, NewItem{flags, idOrPopup, nullptr, nullptr, itemData});
}
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, std::nullptr_t) {
    return Modify(menu, position, NewItem{flags, idOrPopup, nullptr, nullptr, 0});
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, false); }
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, true); }

UINT EnableMenuItem(HMENU menu, UINT idOrPosition, UINT enable) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, idOrPosition, enable, &h, &at)) return static_cast<UINT>(-1);
    auto* holder = LiveMenu(h);
    auto& item = holder->items[static_cast<std::size_t>(at)];
    UINT old = item.flags & (MF_GRAYED | MF_DISABLED);
    item.flags = (item.flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    if (old != (item.flags & (MF_GRAYED | MF_DISABLED))) RepaintTrackedMenus();
    return old;
}

DWORD CheckMenuItem(HMENU menu, UINT idOrPosition, UINT check) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, idOrPosition, check, &h, &at)) return static_cast<DWORD>(-1);
    auto* holder = LiveMenu(h);
    auto& item = holder->items[static_cast<std::size_t>(at)];
    DWORD old = item.flags & MF_CHECKED;
    item.flags = (item.flags & ~MF_CHECKED) | (check & MF_CHECKED);
    if (old != (item.flags & MF_CHECKED)) RepaintTrackedMenus();
    return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, check, flags, &h, &at)) return FALSE;
    auto* holder = LiveMenu(h);
    for (std::size_t i = 0; i < holder->items.size(); ++i) {
        auto& item = holder->items[i];
        UINT key = (flags & MF_BYPOSITION) ? static_cast<UINT>(i) : static_cast<UINT>(item.id);
        if (item.submenu || (item.flags & MF_SEPARATOR) || key < first || key > last) continue;
        if (static_cast<int>(i) == at)
            item.flags |= MF_CHECKED | MFT_RADIOCHECK;
        else
            item.flags &= ~MF_CHECKED;
    }
    RepaintTrackedMenus();
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    auto* m = LiveMenu(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    auto* m = LiveMenu(menu);
    if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return static_cast<UINT>(-1);
    const auto& item = m->items[static_cast<std::size_t>(position)];
    return item.submenu ? static_cast<UINT>(-1) : static_cast<UINT>(item.id);
}

HMENU GetSubMenu(HMENU menu, int position) {
    auto* m = LiveMenu(menu);
    if (!m || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return nullptr;
    return LiveMenu(m->items[static_cast<std::size_t>(position)].submenu);
}

UINT GetMenuState(HMENU menu, UINT idOrPosition, UINT flags) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, idOrPosition, flags, &h, &at)) return static_cast<UINT>(-1);
    const auto& item = LiveMenu(h)->items[static_cast<std::size_t>(at)];
    if (auto* sub = LiveMenu(item.submenu))
        return (static_cast<UINT>(std::min<std::size_t>(sub->items.size(), 255)) << 8) | (item.flags & 0xFF);
    return item.flags & ~MF_POPUP;
}

std::string MenuLiteral(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        if (c == '&') shown += '&';
        shown += c;
    }
    return shown;
}

std::string GetMenuString(HMENU menu, UINT idOrPosition, UINT flags) {
    HMENU h = nullptr;
    int at = 0;
    if (!FindMenuItem(menu, idOrPosition, flags, &h, &at)) return {};
    const auto& item = LiveMenu(h)->items[static_cast<std::size_t>(at)];
    if (item.flags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR)) return {};
    return item.text;
}

BOOL DrawMenuBar(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w || (w->style & WS_CHILD) || !LiveMenu(w->menu)) return FALSE;
    Menus().bars.erase(hwnd);
    RECT client = ComputeClientRect(w, w->rect);
    if (client.top != w->client.top || client.bottom != w->client.bottom) {
        // The bar wraps to a different number of rows: the client area moves.
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        PaintNonClient(w);
    }
    return TRUE;
}

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    auto& s = Menus();
    auto it = s.systemMenus.find(hwnd);
    if (revert) {
        if (it != s.systemMenus.end()) {
            if (auto* m = LiveMenu(it->second)) DestroyMenuTree(m, true);
            s.systemMenus.erase(it);
        }
        return nullptr;
    }
    if (it != s.systemMenus.end() && LiveMenu(it->second)) return it->second;
    if (!(w->style & WS_SYSMENU)) return nullptr;
    HMENU menu = MakeSystemMenu(w);
    s.systemMenus[hwnd] = menu;
    return menu;
}

}  // namespace win
