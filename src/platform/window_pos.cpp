// Moving, sizing, z-order and show states (normal, maximised, iconic), and window placements.
#include <algorithm>
#include <vector>

#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Keeps a top-level window's owned windows above it.
void RaiseOwned(WindowObject* owner, std::vector<WindowObject*>& sib) {
    auto ownerPos = std::find(sib.begin(), sib.end(), owner);
    std::vector<WindowObject*> owned;
    for (auto it = ownerPos + 1; it != sib.end(); ++it)
        if ((*it)->owner == owner) owned.push_back(*it);
    for (auto* o : owned) {
        sib.erase(std::find(sib.begin(), sib.end(), o));
        auto pos = std::find(sib.begin(), sib.end(), owner);
        sib.insert(pos, o);
        RaiseOwned(o, sib);
    }
}

// Returns true when the order changed.
bool Reorder(WindowObject* w, HWND after) {
    auto& sib = w->parent->children;
    std::vector<WindowObject*> before = sib;
    sib.erase(std::find(sib.begin(), sib.end(), w));
    auto afterTopmost = [&]() {
        auto pos = sib.begin();
        while (pos != sib.end() && ((*pos)->exStyle & WS_EX_TOPMOST)) ++pos;
        return pos;
    };
    if (after == HWND_TOPMOST) {
        if (IsTopLevel(w)) w->exStyle |= WS_EX_TOPMOST;
        sib.insert(sib.begin(), w);
    } else if (after == HWND_NOTOPMOST) {
        w->exStyle &= ~WS_EX_TOPMOST;
        sib.insert(afterTopmost(), w);
    } else if (after == HWND_TOP) {
        sib.insert((w->exStyle & WS_EX_TOPMOST) ? sib.begin() : afterTopmost(), w);
    } else if (after == HWND_BOTTOM) {
        sib.push_back(w);
    } else {
        auto* a = LiveWindow(after);
        auto pos = a ? std::find(sib.begin(), sib.end(), a) : sib.end();
        if (pos == sib.end())
            sib.insert(sib.begin(), w);
        else
            sib.insert(pos + 1, w);
    }
    if (IsTopLevel(w)) RaiseOwned(w, sib);
    return before != sib;
}

RECT IconRect(WindowObject* w) {
    int cw = GetSystemMetrics(SM_CXMINIMIZED), ch = GetSystemMetrics(SM_CYMINIMIZED);
    if (w->minPos.x != -1 || w->minPos.y != -1) return RECT{w->minPos.x, w->minPos.y, w->minPos.x + cw, w->minPos.y + ch};
    RECT area = IsTopLevel(w) ? GetWorkArea() : ClientRectLocal(w->parent);
    int spacing = GetSystemMetrics(SM_CXMINSPACING);
    int rowHeight = GetSystemMetrics(SM_CYMINSPACING);
    // The first slot along the bottom edge that no other iconic sibling takes.
    for (int slot = 0; slot < 1000; ++slot) {
        int perRow = std::max<int>(1, (area.right - area.left) / spacing);
        int col = slot % perRow, row = slot / perRow;
        RECT r{area.left + col * spacing, area.bottom - ch - row * rowHeight, 0, 0};
        r.right = r.left + cw;
        r.bottom = r.top + ch;
        bool taken = false;
        for (auto* s : w->parent->children)
            if (s != w && (s->style & WS_MINIMIZE) && s->rect.left == r.left && s->rect.top == r.top) taken = true;
        if (!taken) return r;
    }
    return RECT{area.left, area.bottom - ch, area.left + cw, area.bottom};
}

RECT MaximizedRect(WindowObject* w) {
    RECT area = IsTopLevel(w) ? GetWorkArea() : ClientRectLocal(w->parent);
    RECT probe{0, 0, 100, 100};
    RECT client = ComputeClientRect(w, probe);
    // The frame (not the caption) lies outside the area, as a maximised window's border does.
    int border = client.left - probe.left;
    MINMAXINFO mmi;
    mmi.ptMaxSize = POINT{area.right - area.left + 2 * border, area.bottom - area.top + 2 * border};
    mmi.ptMaxPosition = POINT{-border, -border};
    mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    mmi.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    if (w->maxPos.x != -1 || w->maxPos.y != -1) mmi.ptMaxPosition = w->maxPos;
    SendMessage(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    RECT r{area.left + mmi.ptMaxPosition.x, area.top + mmi.ptMaxPosition.y, 0, 0};
    r.right = r.left + mmi.ptMaxSize.x;
    r.bottom = r.top + mmi.ptMaxSize.y;
    return r;
}

// Owned popups go away while their owner is an icon and come back with it.
void ShowOwnedPopups(WindowObject* owner, bool show) {
    if (!IsTopLevel(owner)) return;
    std::vector<HWND> owned;
    for (auto* c : DesktopObject()->children)
        if (c->owner == owner && (show ? c->hiddenWithOwner : (c->style & WS_VISIBLE) != 0)) owned.push_back(c);
    for (HWND h : owned) {
        auto* c = LiveWindow(h);
        if (!c) continue;
        c->hiddenWithOwner = !show;
        SendMessage(h, WM_SHOWWINDOW, show, show ? SW_PARENTOPENING : SW_PARENTCLOSING);
        if (LiveWindow(h))
            SetWindowPos(h, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                             (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
}

}  // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto* w = LiveWindow(hwnd);
    if (!w || w == DesktopObject()) return FALSE;
    WINDOWPOS wp;
    wp.hwnd = hwnd;
    wp.hwndInsertAfter = insertAfter;
    wp.x = (flags & SWP_NOMOVE) ? w->rect.left : x;
    wp.y = (flags & SWP_NOMOVE) ? w->rect.top : y;
    wp.cx = (flags & SWP_NOSIZE) ? w->rect.right - w->rect.left : std::max(0, cx);
    wp.cy = (flags & SWP_NOSIZE) ? w->rect.bottom - w->rect.top : std::max(0, cy);
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    if ((flags & SWP_SHOWWINDOW) && wasVisible) flags &= ~SWP_SHOWWINDOW;
    if ((flags & SWP_HIDEWINDOW) && !wasVisible) flags &= ~SWP_HIDEWINDOW;
    wp.flags = flags;
    if (!(flags & SWP_NOSENDCHANGING)) {
        SendMessage(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
        if (!LiveWindow(hwnd)) return FALSE;
        flags = wp.flags | (flags & kSwpStateChanged);
    }
    wp.cx = std::max(0, wp.cx);
    wp.cy = std::max(0, wp.cy);

    bool drawableBefore = IsDrawable(w);
    Region oldVis = drawableBefore ? VisibleArea(w, false, false) : Region();
    RECT oldRect = w->rect, oldClient = w->client;
    POINT oldOrigin = ClientOriginOnScreen(w);
    RECT oldClientScreen = ClientRectOnScreen(w);

    RECT newRect{wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
    bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;
    bool sized = (newRect.right - newRect.left) != (oldRect.right - oldRect.left) ||
                 (newRect.bottom - newRect.top) != (oldRect.bottom - oldRect.top);
    if (moved || sized || (flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS p;
        p.rgrc[0] = newRect;
        p.rgrc[1] = oldRect;
        p.rgrc[2] = oldClient;
        p.lppos = &wp;
        SendMessage(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&p));
        if (!LiveWindow(hwnd)) return FALSE;
        RECT c = p.rgrc[0];
        c.left = std::clamp(c.left, newRect.left, newRect.right);
        c.right = std::clamp(c.right, c.left, newRect.right);
        c.top = std::clamp(c.top, newRect.top, newRect.bottom);
        c.bottom = std::clamp(c.bottom, c.top, newRect.bottom);
        w->rect = newRect;
        w->client = c;
    }
    bool clientSized = (w->client.right - w->client.left) != (oldClient.right - oldClient.left) ||
                       (w->client.bottom - w->client.top) != (oldClient.bottom - oldClient.top);
    bool zChanged = !(flags & SWP_NOZORDER) && Reorder(w, wp.hwndInsertAfter);
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;

    bool changed = moved || sized || zChanged || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED)) ||
                   !SameRect(oldClient, w->client);
    if (changed) User().queue.windowsChanged = true;
    if (changed && !(flags & SWP_NOREDRAW)) {
        Region newVis = IsDrawable(w) ? VisibleArea(w, false, false) : Region();
        Region valid;
        if (!oldVis.IsEmpty() && !newVis.IsEmpty() && !(flags & (SWP_NOCOPYBITS | SWP_FRAMECHANGED | SWP_SHOWWINDOW))) {
            POINT origin = ClientOriginOnScreen(w);
            int dx = origin.x - oldOrigin.x, dy = origin.y - oldOrigin.y;
            if (!sized && !clientSized) {
                Region keep = oldVis;
                keep.Offset(dx, dy);
                valid = keep.Intersect(newVis);
            } else {
                UINT cs = w->cls ? w->cls->style : 0;
                bool widthChanged = (w->client.right - w->client.left) != (oldClient.right - oldClient.left);
                bool heightChanged = (w->client.bottom - w->client.top) != (oldClient.bottom - oldClient.top);
                bool redrawAll = ((cs & CS_HREDRAW) && widthChanged) || ((cs & CS_VREDRAW) && heightChanged);
                if (!redrawAll) {
                    Region keep = oldVis.Intersect(Region(oldClientScreen));
                    keep.Offset(dx, dy);
                    valid = keep.Intersect(newVis).Intersect(Region(ClientRectOnScreen(w)));
                }
            }
            if (!valid.IsEmpty() && (dx || dy)) CopyScreenPixels(valid, dx, dy);
        }
        ExposeWindowTree(w, newVis.Subtract(valid), true);
        if (sized || (flags & SWP_FRAMECHANGED)) w->ncPaintPending = !newVis.IsEmpty();
        ExposeScreen(oldVis.Subtract(newVis));
    }

    auto& u = User();
    if (IsTopLevel(w) && (w->style & WS_VISIBLE) && !(flags & SWP_NOACTIVATE) &&
        ((flags & SWP_SHOWWINDOW) || !(flags & SWP_NOZORDER)) && !(w->style & WS_DISABLED)) {
        if (u.active != hwnd) ActivateTopLevel(w, WA_ACTIVE, false);
    } else if ((w->style & WS_CHILD) && !(flags & SWP_NOACTIVATE) && changed && (w->style & WS_VISIBLE)) {
        SendMessage(hwnd, WM_CHILDACTIVATE, 0, 0);
    }
    if (!LiveWindow(hwnd)) return TRUE;
    if ((flags & SWP_HIDEWINDOW) && u.active == hwnd) ActivateOtherWindow(w);
    if (!LiveWindow(hwnd)) return TRUE;

    if (!moved && !(flags & SWP_FRAMECHANGED)) flags |= SWP_NOMOVE;
    if (!sized && !clientSized && !(flags & kSwpStateChanged)) flags |= SWP_NOSIZE;
    wp.flags = flags;
    wp.x = w->rect.left;
    wp.y = w->rect.top;
    wp.cx = w->rect.right - w->rect.left;
    wp.cy = w->rect.bottom - w->rect.top;
    RefreshWindowDCs();
    SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

void ApplyShowState(WindowObject* w, ShowState state, UINT extraFlags) {
    HWND h = w;
    bool wasNormal = !(w->style & (WS_MINIMIZE | WS_MAXIMIZE));
    if (wasNormal) w->normalRect = w->rect;
    RECT target = w->normalRect;
    switch (state) {
    case ShowState::Minimized:
        w->restoreToMaximized = (w->style & WS_MAXIMIZE) != 0;
        w->style = (w->style & ~WS_MAXIMIZE) | WS_MINIMIZE;
        target = IconRect(w);
        break;
    case ShowState::Maximized:
        w->style &= ~WS_MINIMIZE;
        target = MaximizedRect(w);
        if (!LiveWindow(h)) return;
        w->style |= WS_MAXIMIZE;
        break;
    case ShowState::Normal:
        w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        w->restoreToMaximized = false;
        break;
    }
    UINT childFlags = (w->style & WS_CHILD) ? SWP_NOZORDER : 0;
    SetWindowPos(h, HWND_TOP, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_FRAMECHANGED | kSwpStateChanged | childFlags | extraFlags);
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    auto* w = LiveWindow(hwnd);
    if (!w || w == DesktopObject()) return FALSE;
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    auto& u = User();
    if (cmd == SW_HIDE) {
        if (!wasVisible) return FALSE;
        SendMessage(hwnd, WM_SHOWWINDOW, FALSE, 0);
        if (!LiveWindow(hwnd)) return TRUE;
        UINT flags = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
        if (u.active != hwnd) flags |= SWP_NOACTIVATE;
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags);
        return TRUE;
    }
    bool activate = cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE && cmd != SW_MINIMIZE;
    if (!wasVisible) {
        SendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
        if (!LiveWindow(hwnd)) return FALSE;
    }
    // Showing a child keeps its place among its siblings (a dialog's tab order).
    UINT flags = SWP_SHOWWINDOW | (activate ? 0 : SWP_NOACTIVATE) | ((w->style & WS_CHILD) ? SWP_NOZORDER : 0);
    switch (cmd) {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!(w->style & WS_MINIMIZE)) {
            ShowOwnedPopups(w, false);
            if (!LiveWindow(hwnd)) return wasVisible;
            ApplyShowState(w, ShowState::Minimized, flags);
            if (!LiveWindow(hwnd)) return wasVisible;
            if (cmd == SW_MINIMIZE && u.active == hwnd && IsTopLevel(w)) ActivateOtherWindow(w);
        } else {
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE);
        }
        if (auto* f = LiveWindow(u.focus); f && IsDescendant(w, f)) SetFocus(nullptr);
        break;
    case SW_SHOWMAXIMIZED:
        if (w->style & WS_MINIMIZE) {
            ShowOwnedPopups(w, true);
            if (!LiveWindow(hwnd)) return wasVisible;
        }
        if (!(w->style & WS_MAXIMIZE))
            ApplyShowState(w, ShowState::Maximized, flags);
        else
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE);
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    case SW_SHOWNOACTIVATE:
        if (w->style & WS_MINIMIZE) {
            ShowOwnedPopups(w, true);
            if (!LiveWindow(hwnd)) return wasVisible;
        }
        if ((w->style & WS_MINIMIZE) && w->restoreToMaximized && cmd == SW_RESTORE)
            ApplyShowState(w, ShowState::Maximized, flags);
        else if (w->style & (WS_MINIMIZE | WS_MAXIMIZE))
            ApplyShowState(w, ShowState::Normal, flags);
        else
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE);
        break;
    default:  // SW_SHOW, SW_SHOWNA
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags | SWP_NOMOVE | SWP_NOSIZE);
        break;
    }
    return wasVisible;
}

BOOL OpenIcon(HWND hwnd) {
    if (!IsIconic(hwnd)) return FALSE;
    ShowWindow(hwnd, SW_RESTORE);
    return TRUE;
}

BOOL CloseWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return FALSE;
    ShowWindow(hwnd, SW_MINIMIZE);
    return TRUE;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* wp) {
    auto* w = LiveWindow(hwnd);
    if (!w || !wp) return FALSE;
    RECT normal = (w->style & (WS_MINIMIZE | WS_MAXIMIZE)) ? w->normalRect : w->rect;
    POINT shift{0, 0};
    if (IsTopLevel(w)) {
        RECT work = GetWorkArea();
        shift = POINT{work.left, work.top};
    }
    wp->length = sizeof(WINDOWPLACEMENT) >= 44 ? 44 : sizeof(WINDOWPLACEMENT);
    wp->flags = w->restoreToMaximized ? WPF_RESTORETOMAXIMIZED : 0;
    wp->showCmd = (w->style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (w->style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    wp->ptMinPosition = (w->style & WS_MINIMIZE) ? POINT{w->rect.left, w->rect.top} : w->minPos;
    wp->ptMaxPosition = w->maxPos;
    wp->rcNormalPosition = normal;
    OffsetRect(&wp->rcNormalPosition, -shift.x, -shift.y);
    return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp) {
    auto* w = LiveWindow(hwnd);
    if (!w || !wp) return FALSE;
    RECT normal = wp->rcNormalPosition;
    if (IsTopLevel(w)) {
        RECT work = GetWorkArea();
        OffsetRect(&normal, work.left, work.top);
    }
    if (wp->flags & WPF_SETMINPOSITION) w->minPos = wp->ptMinPosition;
    w->maxPos = wp->ptMaxPosition;
    bool iconic = (w->style & WS_MINIMIZE) != 0, zoomed = (w->style & WS_MAXIMIZE) != 0;
    w->normalRect = normal;
    switch (wp->showCmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        ShowWindow(hwnd, static_cast<int>(wp->showCmd));
        if (LiveWindow(hwnd)) w->restoreToMaximized = (wp->flags & WPF_RESTORETOMAXIMIZED) != 0;
        break;
    case SW_SHOWMAXIMIZED:
        ShowWindow(hwnd, SW_SHOWMAXIMIZED);
        break;
    default:
        if (iconic || zoomed) {
            ApplyShowState(w, ShowState::Normal, SWP_NOACTIVATE);
        } else {
            SetWindowPos(hwnd, nullptr, normal.left, normal.top, normal.right - normal.left, normal.bottom - normal.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (LiveWindow(hwnd) && wp->showCmd != SW_HIDE) ShowWindow(hwnd, static_cast<int>(wp->showCmd));
        if (LiveWindow(hwnd) && wp->showCmd == SW_HIDE) ShowWindow(hwnd, SW_HIDE);
        break;
    }
    return TRUE;
}

}  // namespace win
