// Creating and destroying windows, with their messages in the classic order.
#include <algorithm>

#include "platform/caret_internal.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/user_state.h"

namespace win {

namespace {

constexpr std::size_t kGraveyardSize = 512;

// Default position of an overlapped window: cascaded over the work area.
RECT DefaultTopLevelRect(int x, int y, int width, int height, bool overlapped) {
    RECT work = GetWorkArea();
    int ww = work.right - work.left, wh = work.bottom - work.top;
    static int cascade = 0;
    if (x == CW_USEDEFAULT) {
        if (overlapped) {
            int step = 26 * (cascade++ % 8);
            x = work.left + step;
            if (y == CW_USEDEFAULT || y == 0) y = work.top + step;
        } else {
            x = 0;
            y = 0;
        }
    }
    if (width == CW_USEDEFAULT) {
        if (overlapped) {
            width = ww * 3 / 4;
            height = wh * 3 / 4;
        } else {
            width = 0;
            height = 0;
        }
    }
    if (y == CW_USEDEFAULT) y = work.top;
    if (height == CW_USEDEFAULT) height = 0;
    return RECT{x, y, x + width, y + height};
}

void InsertIntoZOrder(WindowObject* w) {
    auto& sib = w->parent->children;
    if (w->style & WS_CHILD) {
        sib.push_back(w);  // children line up in creation order: the first created is on top
        return;
    }
    auto pos = sib.begin();
    if (!(w->exStyle & WS_EX_TOPMOST))
        while (pos != sib.end() && ((*pos)->exStyle & WS_EX_TOPMOST)) ++pos;
    sib.insert(pos, w);
}

void Unlink(WindowObject* w) {
    if (!w->parent) return;
    auto& sib = w->parent->children;
    sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
}

void Bury(WindowObject* w) {
    auto& u = User();
    auto it = u.windows.find(w);
    if (it == u.windows.end()) return;
    std::unique_ptr<WindowObject> owned = std::move(it->second);
    u.windows.erase(it);
    owned->extension.reset();
    u.graveyard.push_back(std::move(owned));
    while (u.graveyard.size() > kGraveyardSize) u.graveyard.pop_front();
}

void DestroyTree(WindowObject* w) {
    HWND h = w;
    SendMessage(h, WM_DESTROY, 0, 0);
    std::vector<HWND> kids(w->children.begin(), w->children.end());
    for (HWND k : kids)
        if (auto* kw = LiveWindow(k)) {
            kw->destroying = true;
            DestroyTree(kw);
        }
    if (!LiveWindow(h)) return;
    SendMessage(h, WM_NCDESTROY, 0, 0);
    if (!LiveWindow(h)) return;
    WindowDestroyedCleanup(w);
    for (auto& hook : User().hooks.windowDestroyed) hook(h);
    Unlink(w);
    for (auto& [ptr, other] : User().windows) {
        if (other->owner == w) other->owner = nullptr;
        if (other->lastActivePopup == w) other->lastActivePopup = nullptr;
    }
    Bury(w);
}

}  // namespace

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    WindowClass* cls = FindWindowClass(className);
    if (!cls) return nullptr;
    auto& u = User();
    WindowObject* parentObj = nullptr;
    WindowObject* owner = nullptr;
    if (style & WS_CHILD) {
        parentObj = LiveWindow(parent);
        if (!parentObj) return nullptr;
    } else {
        parentObj = DesktopObject();
        if (parent) {
            owner = TopLevelOf(LiveWindow(parent));
            if (!owner && parent != DesktopObject()) return nullptr;
        }
        // Overlapped windows always have a caption and clip their siblings.
        if (!(style & WS_POPUP)) style |= WS_CAPTION | WS_CLIPSIBLINGS;
    }

    auto obj = std::make_unique<WindowObject>();
    WindowObject* w = obj.get();
    w->cls = cls;
    w->style = style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    w->exStyle = exStyle;
    w->instance = instance;
    w->proc = cls->proc;
    w->extra.assign(cls->wndExtra, 0);
    w->parent = parentObj;
    w->owner = owner;
    if (style & WS_CHILD)
        w->id = reinterpret_cast<INT_PTR>(menu);
    else
        w->menu = menu;

    RECT r;
    if (style & WS_CHILD) {
        r = RECT{x == CW_USEDEFAULT ? 0 : x, y == CW_USEDEFAULT ? 0 : y, 0, 0};
        r.right = r.left + (width == CW_USEDEFAULT ? 0 : width);
        r.bottom = r.top + (height == CW_USEDEFAULT ? 0 : height);
    } else {
        r = DefaultTopLevelRect(x, y, width, height, !(style & WS_POPUP));
    }
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    w->rect = r;
    w->client = r;
    w->normalRect = r;
    u.windows.emplace(w, std::move(obj));
    InsertIntoZOrder(w);
    HWND h = w;

    if ((style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD))) {
        MINMAXINFO mmi;
        RECT work = GetWorkArea();
        mmi.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
        mmi.ptMaxTrackSize = POINT{32767, 32767};
        mmi.ptMinTrackSize = POINT{0, 0};
        SendMessage(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        if (!LiveWindow(h)) return nullptr;
        w->rect.right = w->rect.left + std::min<LONG>(w->rect.right - w->rect.left, mmi.ptMaxTrackSize.x);
        w->rect.bottom = w->rect.top + std::min<LONG>(w->rect.bottom - w->rect.top, mmi.ptMaxTrackSize.y);
        w->normalRect = w->rect;
    }

    CREATESTRUCT cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = (style & WS_CHILD) ? parentObj : owner;
    cs.x = w->rect.left;
    cs.y = w->rect.top;
    cs.cx = w->rect.right - w->rect.left;
    cs.cy = w->rect.bottom - w->rect.top;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    if (!SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        if (LiveWindow(h)) {
            w->destroying = true;
            SendMessage(h, WM_NCDESTROY, 0, 0);
            if (LiveWindow(h)) {
                Unlink(w);
                Bury(w);
            }
        }
        return nullptr;
    }
    if (!LiveWindow(h)) return nullptr;
    RECT calc = w->rect;
    SendMessage(h, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&calc));
    if (!LiveWindow(h)) return nullptr;
    w->client = calc;

    if (SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!LiveWindow(h)) return nullptr;
    w->created = true;

    SendMessage(h, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(static_cast<WORD>(w->client.right - w->client.left),
                           static_cast<WORD>(w->client.bottom - w->client.top)));
    SendMessage(h, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(w->client.left), static_cast<WORD>(w->client.top)));
    if (!LiveWindow(h)) return nullptr;

    if ((style & WS_CHILD) && !(exStyle & WS_EX_NOPARENTNOTIFY))
        SendMessage(parentObj, WM_PARENTNOTIFY, MAKEWPARAM(static_cast<WORD>(WM_CREATE), static_cast<WORD>(w->id)),
                    reinterpret_cast<LPARAM>(h));
    if (!LiveWindow(h)) return nullptr;

    if (style & WS_VISIBLE) {
        int cmd = (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW;
        if (!(w->style & WS_VISIBLE)) ShowWindow(h, cmd);
    } else if (style & (WS_MAXIMIZE | WS_MINIMIZE)) {
        ApplyShowState(w, (style & WS_MINIMIZE) ? ShowState::Minimized : ShowState::Maximized, SWP_NOACTIVATE);
    }
    return LiveWindow(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w || w == DesktopObject()) return FALSE;
    if (w->destroying) return TRUE;
    w->destroying = true;
    auto& u = User();

    // Owned windows go first.
    if (IsTopLevel(w)) {
        std::vector<HWND> owned;
        for (auto* c : DesktopObject()->children)
            if (c->owner == w) owned.push_back(c);
        for (HWND o : owned) DestroyWindow(o);
        if (!LiveWindow(hwnd)) return TRUE;
    }
    if (w->style & WS_VISIBLE) {
        UINT flags = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
        if (u.active != hwnd) flags |= SWP_NOACTIVATE;
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags);
        if (!LiveWindow(hwnd)) return TRUE;
    } else if (u.active == hwnd) {
        ActivateOtherWindow(w);
        if (!LiveWindow(hwnd)) return TRUE;
    }
    if ((w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY) && w->parent)
        SendMessage(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(static_cast<WORD>(WM_DESTROY), static_cast<WORD>(w->id)),
                    reinterpret_cast<LPARAM>(hwnd));
    if (!LiveWindow(hwnd)) return TRUE;
    if (auto* f = LiveWindow(u.focus); f && IsDescendant(w, f)) {
        u.focus = nullptr;
        SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
    if (auto* c = LiveWindow(u.queue.capture); c && IsDescendant(w, c)) ReleaseCapture();
    if (!LiveWindow(hwnd)) return TRUE;
    DestroyTree(w);
    return TRUE;
}

void WindowDestroyedCleanup(WindowObject* w) {
    auto& u = User();
    HWND h = w;
    auto& posted = u.queue.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == h; }),
                 posted.end());
    KillTimersOfWindow(h);
    if (u.queue.capture == h) u.queue.capture = nullptr;
    if (u.focus == h) u.focus = nullptr;
    if (u.active == h) u.active = nullptr;
    CaretWindowDestroyed(h);
}

}  // namespace win
