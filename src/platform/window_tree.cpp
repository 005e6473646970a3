// The window tree: handle checks, relations, z-order queries, coordinates and enumeration.
#include <strings.h>

#include <algorithm>

#include "platform/screen.h"
#include "platform/user_state.h"

namespace win {

WindowObject* LiveWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto& u = User();
    if (hwnd == u.desktop.get()) return DesktopObject();
    auto it = u.windows.find(hwnd);
    return it == u.windows.end() ? nullptr : it->second.get();
}

WindowObject* DesktopObject() {
    auto* d = User().desktop.get();
    SIZE size = ScreenSize();
    if (d->rect.right != size.cx || d->rect.bottom != size.cy) {
        d->rect = RECT{0, 0, size.cx, size.cy};
        d->client = d->rect;
    }
    return d;
}

WindowManagerHooks& WindowHooks() { return User().hooks; }

bool IsTopLevel(const WindowObject* w) { return w && w->parent == User().desktop.get(); }

bool IsVisibleChain(const WindowObject* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

bool IsDrawable(const WindowObject* w) {
    if (ScreenUnseen()) return false;
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE) || w->redrawOff) return false;
    return true;
}

POINT ClientOriginOnScreen(const WindowObject* w) {
    POINT p{0, 0};
    for (; w; w = w->parent) {
        p.x += w->client.left;
        p.y += w->client.top;
    }
    return p;
}

RECT WindowRectOnScreen(const WindowObject* w) {
    POINT o = w->parent ? ClientOriginOnScreen(w->parent) : POINT{0, 0};
    return RECT{w->rect.left + o.x, w->rect.top + o.y, w->rect.right + o.x, w->rect.bottom + o.y};
}

RECT ClientRectOnScreen(const WindowObject* w) {
    POINT o = w->parent ? ClientOriginOnScreen(w->parent) : POINT{0, 0};
    return RECT{w->client.left + o.x, w->client.top + o.y, w->client.right + o.x, w->client.bottom + o.y};
}

RECT ClientRectLocal(const WindowObject* w) {
    return RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
}

WindowObject* TopLevelOf(WindowObject* w) {
    auto* desktop = User().desktop.get();
    while (w && w->parent && w->parent != desktop) w = w->parent;
    return w == desktop ? nullptr : w;
}

bool IsDescendant(const WindowObject* ancestor, const WindowObject* w) {
    for (; w; w = w->parent)
        if (w == ancestor) return true;
    return false;
}

WPARAM SizeTypeOf(const WindowObject* w) {
    if (w->style & WS_MINIMIZE) return SIZE_MINIMIZED;
    if (w->style & WS_MAXIMIZE) return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

HWND GetDesktopWindow() { return DesktopObject(); }

BOOL IsWindow(HWND hwnd) { return LiveWindow(hwnd) != nullptr; }

BOOL IsWindowVisible(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w && IsVisibleChain(w);
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL IsIconic(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w && (w->style & WS_MINIMIZE) != 0;
}

BOOL IsZoomed(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w && (w->style & WS_MAXIMIZE) != 0;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    auto* p = LiveWindow(parent);
    auto* w = LiveWindow(hwnd);
    if (!p || !w || p == w) return FALSE;
    for (w = w->parent; w && w != User().desktop.get(); w = w->parent)
        if (w == p) return TRUE;
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    return w->owner;
}

HWND GetAncestorTopLevel(HWND hwnd) { return TopLevelOf(LiveWindow(hwnd)); }

HWND GetWindow(HWND hwnd, UINT relation) {
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    switch (relation) {
    case GW_CHILD:
        return w->children.empty() ? nullptr : w->children.front();
    case GW_OWNER:
        return w->owner;
    case GW_ENABLEDPOPUP: {
        for (auto* c : User().desktop->children)
            if (c->owner == w && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return c;
        return nullptr;
    }
    default:
        break;
    }
    if (!w->parent) return nullptr;
    auto& sib = w->parent->children;
    auto it = std::find(sib.begin(), sib.end(), w);
    if (it == sib.end()) return nullptr;
    switch (relation) {
    case GW_HWNDFIRST:
        return sib.front();
    case GW_HWNDLAST:
        return sib.back();
    case GW_HWNDNEXT:
        return (it + 1 == sib.end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == sib.begin() ? nullptr : *(it - 1);
    default:
        return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    auto* w = hwnd ? LiveWindow(hwnd) : DesktopObject();
    if (!w || w->children.empty()) return nullptr;
    return w->children.front();
}

HWND GetLastActivePopup(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    auto* popup = LiveWindow(w->lastActivePopup);
    if (popup && popup->owner == w && (popup->style & WS_VISIBLE) && !(popup->style & WS_DISABLED)) return popup;
    return w;
}

WindowObject* WindowAtPoint(WindowObject* root, POINT pt) {
    RECT client = ClientRectOnScreen(root);
    if (!(root->style & WS_MINIMIZE) && PtInRect(&client, pt)) {
        for (auto* c : root->children) {
            if (!(c->style & WS_VISIBLE)) continue;
            RECT r = WindowRectOnScreen(c);
            if (PtInRect(&r, pt)) return WindowAtPoint(c, pt);
        }
    }
    return root;
}

HWND WindowFromPoint(POINT pt) { return WindowAtPoint(DesktopObject(), pt); }

HWND ChildWindowFromPoint(HWND parent, POINT pt) {
    auto* p = LiveWindow(parent);
    if (!p) return nullptr;
    RECT local = ClientRectLocal(p);
    if (!PtInRect(&local, pt)) return nullptr;
    for (auto* c : p->children) {
        RECT r = c->rect;
        if (PtInRect(&r, pt)) return c;
    }
    return p;
}

namespace {

void CollectDescendants(WindowObject* w, std::vector<HWND>& out) {
    for (auto* c : w->children) {
        out.push_back(c);
        CollectDescendants(c, out);
    }
}

bool NameMatches(const std::string& have, const char* want) {
    return !want || strcasecmp(have.c_str(), want) == 0;
}

}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
    auto* p = parent ? LiveWindow(parent) : DesktopObject();
    if (!p || !proc) return FALSE;
    std::vector<HWND> list;
    CollectDescendants(p, list);
    for (HWND h : list) {
        if (!LiveWindow(h)) continue;
        if (!proc(h, lParam)) return FALSE;
    }
    return TRUE;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
    if (!proc) return FALSE;
    std::vector<HWND> list(DesktopObject()->children.begin(), DesktopObject()->children.end());
    for (HWND h : list) {
        if (!LiveWindow(h)) continue;
        if (!proc(h, lParam)) return FALSE;
    }
    return TRUE;
}

HWND FindWindow(const char* className, const char* windowName) {
    for (auto* w : DesktopObject()->children) {
        if (w->destroying) continue;
        if (NameMatches(w->cls->name, className) && NameMatches(w->text, windowName)) return w;
    }
    return nullptr;
}

HWND GetDlgItem(HWND parent, int id) {
    auto* p = LiveWindow(parent);
    if (!p) return nullptr;
    for (auto* c : p->children)
        if (c->id == id && (c->style & WS_CHILD)) return c;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return (w && (w->style & WS_CHILD)) ? static_cast<int>(w->id) : 0;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    auto* w = LiveWindow(hwnd);
    if (!w || !rect) return FALSE;
    *rect = WindowRectOnScreen(w);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    auto* w = LiveWindow(hwnd);
    if (!w || !rect) return FALSE;
    *rect = ClientRectLocal(w);
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
    auto* w = LiveWindow(hwnd);
    if (!w || !pt) return FALSE;
    POINT o = ClientOriginOnScreen(w);
    pt->x += o.x;
    pt->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
    auto* w = LiveWindow(hwnd);
    if (!w || !pt) return FALSE;
    POINT o = ClientOriginOnScreen(w);
    pt->x -= o.x;
    pt->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT a{0, 0}, b{0, 0};
    if (from) {
        auto* w = LiveWindow(from);
        if (!w) return 0;
        a = ClientOriginOnScreen(w);
    }
    if (to) {
        auto* w = LiveWindow(to);
        if (!w) return 0;
        b = ClientOriginOnScreen(w);
    }
    LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

RECT GetWorkArea() {
    auto& u = User();
    if (u.workAreaSet) return u.workArea;
    return DesktopObject()->rect;
}

}  // namespace win
