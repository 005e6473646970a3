// The "mdiclient" window: its children's creation, activation, order and destruction, the
// WM_MDI* messages, the window menu that lists the children, and the maximised child's place in
// the frame's menu bar and caption.
#include <algorithm>

#include "platform/mdi_internal.h"
#include "platform/menu_internal.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

constexpr char kClientClass[] = "mdiclient";

bool IsOurChild(const MdiClientData* d, HWND hwnd) {
    return hwnd && std::find(d->children.begin(), d->children.end(), hwnd) != d->children.end();
}

void Renumber(MdiClientData* d) {
    for (std::size_t i = 0; i < d->children.size(); ++i)
        if (auto* w = LiveWindow(d->children[i])) w->id = static_cast<INT_PTR>(d->idFirst + i);
}

// Where a child made with CW_USEDEFAULT goes: the next step of a cascade.
RECT DefaultChildRect(MdiClientData* d, int x, int y, int cx, int cy) {
    RECT area{};
    GetClientRect(d->client, &area);
    int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    int w = std::max<int>(area.right * 3 / 4, 1), h = std::max<int>(area.bottom * 3 / 4, 1);
    int slots = std::max(1, std::min((area.right - w) / step, (area.bottom - h) / step) + 1);
    int slot = static_cast<int>(d->children.size()) % slots;
    if (x == CW_USEDEFAULT) {
        x = slot * step;
        if (y == CW_USEDEFAULT) y = slot * step;
    }
    if (y == CW_USEDEFAULT) y = 0;
    if (cx == CW_USEDEFAULT) {
        cx = w;
        if (cy == CW_USEDEFAULT) cy = h;
    }
    if (cy == CW_USEDEFAULT) cy = h;
    return RECT{x, y, x + cx, y + cy};
}

HWND CreateChild(MdiClientData* d, const MDICREATESTRUCT* mcs) {
    if (!mcs || !mcs->szClass) return nullptr;
    auto* client = LiveWindow(d->client);
    DWORD style;
    if (client->style & MDIS_ALLCHILDSTYLES)
        style = mcs->style | WS_CHILD | WS_CLIPSIBLINGS;
    else
        style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_CAPTION | WS_THICKFRAME |
                WS_MINIMIZEBOX | WS_MAXIMIZEBOX | (mcs->style & (WS_MINIMIZE | WS_MAXIMIZE | WS_HSCROLL | WS_VSCROLL));
    RECT r = DefaultChildRect(d, mcs->x, mcs->y, mcs->cx, mcs->cy);
    UINT id = d->idFirst + static_cast<UINT>(d->children.size());
    HWND child = CreateWindowEx(WS_EX_MDICHILD, mcs->szClass, mcs->szTitle,
                                style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE), r.left, r.top, r.right - r.left,
                                r.bottom - r.top, d->client, ChildIdMenu(static_cast<int>(id)), mcs->hOwner,
                                const_cast<MDICREATESTRUCT*>(mcs));
    if (!child || !MdiData(d->client)) return nullptr;
    d->children.push_back(child);
    Renumber(d);
    bool maximize = (style & WS_MAXIMIZE) || (IsWindow(d->active) && IsZoomed(d->active));
    bool invisible = (client->style & MDIS_ALLCHILDSTYLES) && !(mcs->style & WS_VISIBLE);
    if (!invisible) {
        if (style & WS_MINIMIZE)
            ShowWindow(child, SW_SHOWMINNOACTIVE);
        else if (maximize)
            ShowWindow(child, SW_SHOWMAXIMIZED);
        else
            ShowWindow(child, SW_SHOW);
    }
    if (!IsWindow(child) || !MdiData(d->client)) return nullptr;
    ActivateMdiChild(d, child);
    RefreshWindowMenu(d);
    return IsWindow(child) ? child : nullptr;
}

void DestroyChild(MdiClientData* d, HWND child) {
    if (!IsOurChild(d, child)) return;
    HWND client = d->client;
    if (d->active == child) {
        auto others = VisibleMdiChildren(d, false, false);
        others.erase(std::remove(others.begin(), others.end(), child), others.end());
        ActivateMdiChild(d, others.empty() ? nullptr : others.front());
        if (!MdiData(client)) return;
    }
    DestroyWindow(child);
    if (auto* live = MdiData(client)) RefreshWindowMenu(live);
}

// The window menu's entries are taken out again before the list is made afresh.
void RemoveWindowList(MdiClientData* d) {
    auto* m = LiveMenu(d->windowMenu);
    if (!m) {
        d->listed = 0;
        d->listSeparator = false;
        return;
    }
    for (int i = 0; i < d->listed && !m->items.empty(); ++i) {
        const auto& last = m->items.back();
        if (last.submenu || last.id < d->idFirst || last.id >= d->idFirst + d->children.size() + kMdiWindowMenuEntries)
            break;
        m->items.pop_back();
    }
    if (d->listSeparator && !m->items.empty() && (m->items.back().flags & MF_SEPARATOR)) m->items.pop_back();
    m->layoutValid = false;
    d->listed = 0;
    d->listSeparator = false;
}

void RemoveBarItems(MdiClientData* d) {
    auto* bar = LiveMenu(d->barWithButtons);
    if (bar) {
        // The layer's own pictures mark the items put there for a maximised child.
        auto& items = bar->items;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [](const MenuItem& item) {
                                       return (item.flags & MF_BITMAP) &&
                                              (item.bitmap == HBMMENU_SYSTEM || item.bitmap == HBMMENU_MBAR_MINIMIZE ||
                                               item.bitmap == HBMMENU_MBAR_RESTORE || item.bitmap == HBMMENU_MBAR_CLOSE);
                                   }),
                    items.end());
        bar->layoutValid = false;
        for (auto& [hwnd, layout] : Menus().bars)
            if (layout.menu == d->barWithButtons) layout.width = -1;
    }
    d->maxInBar = nullptr;
    d->barWithButtons = nullptr;
}

LRESULT ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void ChildDestroyed(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w || !(w->exStyle & WS_EX_MDICHILD) || !w->parent) return;
    MdiClientData* d = MdiData(w->parent);
    if (!d || !IsOurChild(d, hwnd)) return;
    d->children.erase(std::remove(d->children.begin(), d->children.end(), hwnd), d->children.end());
    Renumber(d);
    bool tearingDown = w->parent->destroying || !IsWindow(d->frame) || LiveWindow(d->frame)->destroying;
    if (d->maxInBar == hwnd && !tearingDown) {
        RemoveBarItems(d);
        SetFrameTitle(d);
        DrawMenuBar(d->frame);
    }
    if (d->active == hwnd) {
        d->active = nullptr;
        if (!tearingDown) {
            auto others = VisibleMdiChildren(d, false, false);
            if (!others.empty()) ActivateMdiChild(d, others.front());
        }
    }
    if (!tearingDown) RefreshWindowMenu(d);
}

}  // namespace

// --- module -----------------------------------------------------------------------------------

void RegisterMdiModule() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    RegisterMenuModule();
    AddStateInitializer([] {
        WNDCLASS wc;
        wc.lpfnWndProc = ClientProc;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_APPWORKSPACE + 1));
        wc.lpszClassName = kClientClass;
        RegisterSystemClass(wc);
        WindowHooks().windowDestroyed.push_back(ChildDestroyed);
    });
}

namespace {
const bool kMdiModuleRegistered = (RegisterMdiModule(), true);
}  // namespace

MdiClientData* MdiData(HWND client) {
    auto* w = LiveWindow(client);
    return w ? dynamic_cast<MdiClientData*>(w->extension.get()) : nullptr;
}

MdiClientData* MdiDataOfChild(HWND child) {
    auto* w = LiveWindow(child);
    if (!w || !(w->style & WS_CHILD) || !w->parent) return nullptr;
    MdiClientData* d = MdiData(w->parent);
    return d && IsOurChild(d, child) ? d : nullptr;
}

std::vector<HWND> VisibleMdiChildren(MdiClientData* d, bool skipIconic, bool skipDisabled) {
    std::vector<HWND> out;
    auto* client = LiveWindow(d->client);
    if (!client) return out;
    for (auto* c : client->children) {
        HWND h = c;
        if (!IsOurChild(d, h) || !(c->style & WS_VISIBLE) || c->destroying) continue;
        if (skipIconic && (c->style & WS_MINIMIZE)) continue;
        if (skipDisabled && (c->style & WS_DISABLED)) continue;
        out.push_back(h);
    }
    return out;
}

void ActivateMdiChild(MdiClientData* d, HWND child) {
    HWND client = d->client;
    if (child && !IsOurChild(d, child)) return;
    HWND old = IsWindow(d->active) ? d->active : nullptr;
    if (old == child) {
        if (child) SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    d->active = child;
    if (old) {
        SendMessage(old, WM_NCACTIVATE, FALSE, 0);
        SendMessage(old, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
    }
    if (!MdiData(client)) return;
    if (child && IsWindow(child) && d->active == child) {
        // A maximised child hands its maximised look to the next active one.
        if (old && IsWindow(old) && IsZoomed(old) && !IsZoomed(child)) {
            ShowWindow(old, SW_SHOWNOACTIVATE);
            if (IsWindow(child)) ShowWindow(child, SW_SHOWMAXIMIZED);
        }
        if (IsWindow(child)) SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (IsWindow(child)) SendMessage(child, WM_NCACTIVATE, TRUE, 0);
        if (IsWindow(child))
            SendMessage(child, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
        HWND focus = GetFocus();
        if (IsWindow(child) && GetActiveWindow() == d->frame && focus != child && !IsChild(child, focus))
            SetFocus(child);
    }
    if (auto* live = MdiData(client)) {
        SyncMaximizedChild(live);
        RefreshWindowMenu(live);
    }
}

void ActivateNextMdiChild(MdiClientData* d, HWND from, bool previous) {
    if (!IsOurChild(d, from)) from = d->active;
    auto order = VisibleMdiChildren(d, false, true);
    if (order.empty()) return;
    HWND target = nullptr;
    if (previous) {
        target = order.back();
    } else {
        auto it = std::find(order.begin(), order.end(), from);
        target = (it == order.end() || it + 1 == order.end()) ? order.front() : *(it + 1);
    }
    if (target == from) return;
    ActivateMdiChild(d, target);
    if (!previous && IsWindow(from)) SetWindowPos(from, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SyncMaximizedChild(MdiClientData* d) {
    HMENU bar = GetMenu(d->frame);
    HWND want = (IsWindow(d->active) && IsZoomed(d->active)) ? d->active : nullptr;
    bool present = d->maxInBar && LiveMenu(d->barWithButtons);
    if (want == d->maxInBar && (!want || (present && d->barWithButtons == bar))) {
        SetFrameTitle(d);
        return;
    }
    RemoveBarItems(d);
    HMENU sys = want ? GetSystemMenu(want, FALSE) : nullptr;
    if (want && LiveMenu(bar) && sys) {
        InsertMenu(bar, 0, MF_BYPOSITION | MF_POPUP | MF_BITMAP, reinterpret_cast<UINT_PTR>(sys), HBMMENU_SYSTEM);
        AppendMenu(bar, MF_BITMAP | MF_HELP, SC_MINIMIZE, HBMMENU_MBAR_MINIMIZE);
        AppendMenu(bar, MF_BITMAP, SC_RESTORE, HBMMENU_MBAR_RESTORE);
        AppendMenu(bar, MF_BITMAP, SC_CLOSE, HBMMENU_MBAR_CLOSE);
        d->maxInBar = want;
        d->barWithButtons = bar;
    }
    SetFrameTitle(d);
    if (IsWindow(d->frame) && LiveMenu(bar)) DrawMenuBar(d->frame);
}

void SetFrameTitle(MdiClientData* d) {
    if (!IsWindow(d->frame)) return;
    if (IsWindow(d->maxInBar)) {
        if (!d->titleComposed) d->frameTitle = LiveWindow(d->frame)->text;
        d->titleComposed = true;
        std::string title = d->frameTitle + " - [" + LiveWindow(d->maxInBar)->text + "]";
        DefWindowProc(d->frame, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
    } else if (d->titleComposed) {
        d->titleComposed = false;
        std::string title = d->frameTitle;
        DefWindowProc(d->frame, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
    }
}

void RefreshWindowMenu(MdiClientData* d) {
    RemoveWindowList(d);
    if (!LiveMenu(d->windowMenu)) return;
    std::vector<HWND> shown;
    for (HWND c : d->children)
        if (auto* w = LiveWindow(c); w && (w->style & WS_VISIBLE)) shown.push_back(c);
    if (shown.empty()) return;
    if (GetMenuItemCount(d->windowMenu) > 0) {
        AppendMenu(d->windowMenu, MF_SEPARATOR, 0, nullptr);
        d->listSeparator = true;
    }
    // Beyond the entries the menu has room for, the active child takes the last place.
    bool more = shown.size() > static_cast<std::size_t>(kMdiWindowMenuEntries);
    if (more) {
        shown.resize(kMdiWindowMenuEntries);
        if (std::find(shown.begin(), shown.end(), d->active) == shown.end() && IsWindow(d->active))
            shown.back() = d->active;
    }
    int n = 0;
    for (HWND c : shown) {
        // The title as it stands: an '&' of a file name is no key of the entry.
        const std::string text = "&" + std::to_string(n + 1) + " " + MenuLiteral(LiveWindow(c)->text);
        auto id = static_cast<UINT_PTR>(LiveWindow(c)->id);
        AppendMenu(d->windowMenu, MF_STRING | (c == d->active ? MF_CHECKED : MF_UNCHECKED), id, text.c_str());
        ++n;
    }
    if (more) {
        AppendMenu(d->windowMenu, MF_STRING, d->idFirst + kMdiWindowMenuEntries, "&More Windows...");
        ++n;
    }
    d->listed = n;
}

namespace {

HMENU SetMenus(MdiClientData* d, HMENU frameMenu, HMENU windowMenu) {
    HMENU old = GetMenu(d->frame);
    if (windowMenu && windowMenu != d->windowMenu) {
        RemoveWindowList(d);
        d->windowMenu = windowMenu;
    }
    if (frameMenu && frameMenu != old) {
        RemoveBarItems(d);
        SetMenu(d->frame, frameMenu);
    }
    SyncMaximizedChild(d);
    RefreshWindowMenu(d);
    return old;
}

// Keeps a maximised child filling the client, and the icons along its bottom edge.
void ClientSized(MdiClientData* d) {
    if (IsWindow(d->active) && IsZoomed(d->active)) {
        auto* w = LiveWindow(d->active);
        RECT r{};
        GetClientRect(d->client, &r);
        AdjustWindowRectEx(&r, w->style, FALSE, w->exStyle);
        SetWindowPos(d->active, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ArrangeMdiIcons(d);
}

LRESULT ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        auto* ccs = cs ? static_cast<const CLIENTCREATESTRUCT*>(cs->lpCreateParams) : nullptr;
        auto data = std::make_unique<MdiClientData>();
        data->client = hwnd;
        data->frame = GetParent(hwnd);
        if (ccs) {
            data->windowMenu = ccs->hWindowMenu;
            data->idFirst = ccs->idFirstChild;
        }
        LiveWindow(hwnd)->extension = std::move(data);
        return 0;
    }
    MdiClientData* d = MdiData(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    HWND target = reinterpret_cast<HWND>(wParam);
    switch (msg) {
    case WM_MDICREATE:
        return reinterpret_cast<LRESULT>(CreateChild(d, reinterpret_cast<const MDICREATESTRUCT*>(lParam)));
    case WM_MDIDESTROY:
        DestroyChild(d, target);
        return 0;
    case WM_MDIACTIVATE:
        ActivateMdiChild(d, target);
        return 0;
    case WM_MDIGETACTIVE:
        if (lParam) *reinterpret_cast<BOOL*>(lParam) = IsWindow(d->active) && IsZoomed(d->active);
        return reinterpret_cast<LRESULT>(IsWindow(d->active) ? d->active : nullptr);
    case WM_MDINEXT:
        ActivateNextMdiChild(d, target, lParam != 0);
        return 0;
    case WM_MDIMAXIMIZE:
        if (IsOurChild(d, target)) ShowWindow(target, SW_SHOWMAXIMIZED);
        return 0;
    case WM_MDIRESTORE:
        if (IsOurChild(d, target)) ShowWindow(target, SW_RESTORE);
        return 0;
    case WM_MDITILE:
        return TileMdiChildren(d, wParam);
    case WM_MDICASCADE:
        return CascadeMdiChildren(d, wParam);
    case WM_MDIICONARRANGE:
        ArrangeMdiIcons(d);
        return 0;
    case WM_MDISETMENU:
        return reinterpret_cast<LRESULT>(SetMenus(d, reinterpret_cast<HMENU>(wParam), reinterpret_cast<HMENU>(lParam)));
    case WM_MDIREFRESHMENU:
        RefreshWindowMenu(d);
        return reinterpret_cast<LRESULT>(GetMenu(d->frame));
    case WM_SIZE: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        if (MdiData(hwnd)) ClientSized(d);
        return r;
    }
    case WM_SETFOCUS:
        if (IsWindow(d->active) && !IsIconic(d->active)) SetFocus(d->active);
        return 0;
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

}  // namespace win
