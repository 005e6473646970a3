// Update regions, the WM_PAINT cycle and window DCs clipped to what is visible on the screen.
#include "platform/paint.h"

#include <cairo.h>

#include <algorithm>

#include "platform/backend.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

Region RegionOfHandle(HRGN rgn) {
    auto* r = GdiCast<RegionObject>(rgn, GdiKind::Region);
    return r ? r->rgn : Region();
}

void Validated(WindowObject* w) { w->validatedSinceDispatch = true; }

// Adds a screen area to a window's update region (client part) and marks its frame when the
// area touches it; with children, descends into the visible children too.
void InvalidateTree(WindowObject* w, const Region& screenRgn, bool erase, bool frame, bool children) {
    if (screenRgn.IsEmpty()) return;
    RECT wr = frame ? WindowRectOnScreen(w) : ClientRectOnScreen(w);
    Region part = screenRgn.Intersect(Region(wr));
    if (part.IsEmpty()) return;
    RECT cr = ClientRectOnScreen(w);
    Region clientPart = part.Intersect(Region(cr));
    if (!clientPart.IsEmpty()) {
        clientPart.Offset(-cr.left, -cr.top);
        w->update = w->update.Union(clientPart);
        if (erase) w->erasePending = true;
    }
    if (frame && !part.Subtract(Region(cr)).IsEmpty()) w->ncPaintPending = true;
    if (!children) return;
    Region inside = part.Intersect(Region(cr));
    for (auto* c : w->children)
        if (c->style & WS_VISIBLE) InvalidateTree(c, inside, erase, true, true);
}

void ValidateTree(WindowObject* w, const Region& clientRgn, bool children, bool noErase, bool noFrame) {
    w->update = w->update.Subtract(clientRgn);
    if (w->update.IsEmpty()) w->erasePending = false;
    if (noErase) w->erasePending = false;
    if (noFrame) w->ncPaintPending = false;
    Validated(w);
    if (!children) return;
    for (auto* c : w->children) {
        Region r = clientRgn;
        r.Offset(-c->client.left, -c->client.top);
        ValidateTree(c, r, true, noErase, noFrame);
    }
}

bool IncludeChildren(const WindowObject* w, UINT flags) {
    if (flags & RDW_ALLCHILDREN) return true;
    if (flags & RDW_NOCHILDREN) return false;
    return !(w->style & WS_CLIPCHILDREN);
}

void FillDesktop(const Region& screenRgn) {
    if (screenRgn.IsEmpty()) return;
    cairo_t* cr = cairo_create(ScreenSurface());
    COLORREF c = GetSysColor(COLOR_BACKGROUND);
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
    for (const RECT& r : screenRgn.Rects()) cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr);
    cairo_destroy(cr);
    MarkScreenDirty();
}

HDC MakeDc(WindowObject* w, bool wholeWindow, bool paint, const Region& paintArea) {
    auto& u = User();
    POINT origin{0, 0};
    Region clip;
    if (!w) {
        SIZE s = ScreenSize();
        if (!ScreenUnseen()) clip = Region(0, 0, s.cx, s.cy);
    } else if (wholeWindow) {
        RECT wr = WindowRectOnScreen(w);
        origin = POINT{wr.left, wr.top};
        clip = VisibleArea(w, false, (w->style & WS_CLIPCHILDREN) != 0);
    } else {
        origin = ClientOriginOnScreen(w);
        clip = VisibleRegion(w, true);
        if (paint) {
            Region area = paintArea;
            area.Offset(origin.x, origin.y);
            clip = clip.Intersect(area);
        }
    }
    HDC dc = CreateWindowDC(ScreenSurface(), origin, clip, w);
    TrackedDc t;
    t.dc = dc;
    t.hwnd = w;
    t.wholeWindow = wholeWindow;
    t.paint = paint;
    t.paintArea = paintArea;
    u.dcs.push_back(std::move(t));
    return dc;
}

bool DropDc(HDC dc) {
    auto& dcs = User().dcs;
    auto it = std::find_if(dcs.begin(), dcs.end(), [&](const TrackedDc& t) { return t.dc == dc; });
    if (it == dcs.end()) return false;
    dcs.erase(it);
    DestroyWindowDC(dc);
    MarkScreenDirty();
    return true;
}

}  // namespace

Region VisibleArea(const WindowObject* w, bool clientOnly, bool excludeChildren) {
    if (!IsDrawable(w)) return Region();
    auto* desktop = User().desktop.get();
    Region rgn(clientOnly ? ClientRectOnScreen(w) : WindowRectOnScreen(w));
    for (auto* p = w->parent; p && p != desktop; p = p->parent) rgn = rgn.Intersect(Region(ClientRectOnScreen(p)));
    rgn = rgn.Intersect(Region(DesktopObject()->rect));
    for (const WindowObject* c = w; c && c->parent && !rgn.IsEmpty(); c = c->parent) {
        bool clip = c->parent == desktop || (c->style & WS_CLIPSIBLINGS);
        if (!clip) continue;
        for (auto* s : c->parent->children) {
            if (s == c) break;
            if (s->style & WS_VISIBLE) rgn = rgn.Subtract(Region(WindowRectOnScreen(s)));
        }
    }
    // A child shows only inside its parent's client area; the part of its rectangle that lies
    // over the parent's border (a maximised MDI child, a bar's last row of buttons) stays the
    // parent's to draw, or nobody repaints it.
    if (excludeChildren) {
        const Region client(ClientRectOnScreen(w));
        for (auto* k : w->children)
            if (k->style & WS_VISIBLE) rgn = rgn.Subtract(Region(WindowRectOnScreen(k)).Intersect(client));
    }
    return rgn;
}

Region VisibleRegion(HWND hwnd, bool clientOnly) {
    auto* w = hwnd ? LiveWindow(hwnd) : DesktopObject();
    if (!w) return Region();
    return VisibleArea(w, clientOnly, (w->style & WS_CLIPCHILDREN) != 0);
}

void CopyScreenPixels(const Region& dst, int dx, int dy) {
    if (dst.IsEmpty() || (dx == 0 && dy == 0)) return;
    RECT b = dst.Bounds();
    int w = b.right - b.left, h = b.bottom - b.top;
    cairo_surface_t* tmp = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(tmp);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, ScreenSurface(), -(b.left - dx), -(b.top - dy));
    cairo_paint(cr);
    cairo_destroy(cr);
    cr = cairo_create(ScreenSurface());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    for (const RECT& r : dst.Rects()) cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cr);
    cairo_set_source_surface(cr, tmp, b.left, b.top);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(tmp);
    MarkScreenDirty();
}

void ExposeWindowTree(WindowObject* w, const Region& screenRgn, bool erase) {
    if (!(w->style & WS_VISIBLE)) return;
    InvalidateTree(w, screenRgn, erase, true, true);
}

void ExposeScreen(const Region& screenRgn) {
    if (screenRgn.IsEmpty()) return;
    auto* desktop = DesktopObject();
    FillDesktop(screenRgn.Intersect(VisibleArea(desktop, true, true)));
    for (auto* top : desktop->children) ExposeWindowTree(top, screenRgn, true);
}

bool NeedsPaint(const WindowObject* w) { return !w->update.IsEmpty() || w->internalPaint || w->ncPaintPending; }

namespace {

WindowObject* SearchPaint(WindowObject* w) {
    if (!(w->style & WS_VISIBLE) || w->redrawOff) return nullptr;
    if (w->ncPaintPending && w->update.IsEmpty() && !w->internalPaint) {
        w->ncPaintPending = false;
        HWND h = w;
        SendMessage(h, WM_NCPAINT, 1, 0);
        if (!LiveWindow(h)) return nullptr;
    }
    if (NeedsPaint(w)) return w;
    std::vector<HWND> kids(w->children.begin(), w->children.end());
    for (HWND k : kids)
        if (auto* kw = LiveWindow(k))
            if (auto* found = SearchPaint(kw)) return found;
    return nullptr;
}

}  // namespace

WindowObject* FindWindowNeedingPaint(HWND filter) {
    if (ScreenUnseen()) return nullptr;
    if (filter) {
        auto* w = LiveWindow(filter);
        return (w && IsDrawable(w)) ? SearchPaint(w) : nullptr;
    }
    std::vector<HWND> tops(DesktopObject()->children.begin(), DesktopObject()->children.end());
    for (HWND t : tops)
        if (auto* tw = LiveWindow(t))
            if (auto* found = SearchPaint(tw)) return found;
    return nullptr;
}

void RefreshWindowDCs() {
    for (auto& t : User().dcs) {
        auto* w = LiveWindow(t.hwnd);
        if (!t.hwnd || !w) continue;
        if (t.wholeWindow) {
            RECT wr = WindowRectOnScreen(w);
            SetWindowDCVisibleRegion(t.dc, POINT{wr.left, wr.top},
                                     VisibleArea(w, false, (w->style & WS_CLIPCHILDREN) != 0));
        } else {
            POINT origin = ClientOriginOnScreen(w);
            Region clip = VisibleRegion(w, true);
            if (t.paint) {
                Region area = t.paintArea;
                area.Offset(origin.x, origin.y);
                clip = clip.Intersect(area);
            }
            SetWindowDCVisibleRegion(t.dc, origin, clip);
        }
    }
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    auto* w = LiveWindow(hwnd);
    if (!w || !ps) return nullptr;
    if (w->ncPaintPending) {
        w->ncPaintPending = false;
        SendMessage(hwnd, WM_NCPAINT, 1, 0);
        if (!LiveWindow(hwnd)) return nullptr;
    }
    Region area = w->update.Intersect(Region(ClientRectLocal(w)));
    bool erase = w->erasePending;
    w->update.Clear();
    w->erasePending = false;
    w->internalPaint = false;
    Validated(w);
    HDC dc = MakeDc(w, false, true, area);
    w->inPaint = true;
    *ps = PAINTSTRUCT{};
    ps->hdc = dc;
    ps->rcPaint = area.Bounds();
    ps->fErase = FALSE;
    if (erase) ps->fErase = SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (auto* w = LiveWindow(hwnd)) w->inPaint = false;
    if (ps) DropDc(ps->hdc);
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    if (!hwnd) return MakeDc(nullptr, false, false, Region());
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    return MakeDc(w, false, false, Region());
}

HDC GetWindowDC(HWND hwnd) {
    if (!hwnd) return MakeDc(nullptr, false, false, Region());
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    return MakeDc(w, true, false, Region());
}

int ReleaseDC(HWND hwnd, HDC dc) { return DropDc(dc) ? 1 : 0; }

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
    auto* w = hwnd ? LiveWindow(hwnd) : DesktopObject();
    if (!w) return FALSE;
    if (w == DesktopObject() && (flags & RDW_INVALIDATE)) {
        SIZE s = ScreenSize();
        Region area = rect ? Region(*rect) : rgn ? RegionOfHandle(rgn) : Region(0, 0, s.cx, s.cy);
        ExposeScreen(area);
        return TRUE;
    }
    RECT local = ClientRectLocal(w);
    Region area = rect ? Region(*rect) : rgn ? RegionOfHandle(rgn) : Region(local);
    bool children = IncludeChildren(w, flags);
    if (flags & RDW_INVALIDATE) {
        POINT o = ClientOriginOnScreen(w);
        Region screenArea = area;
        screenArea.Offset(o.x, o.y);
        bool frame = (flags & RDW_FRAME) != 0;
        if (frame && !rect && !rgn) screenArea = Region(WindowRectOnScreen(w));
        InvalidateTree(w, screenArea, (flags & RDW_ERASE) != 0, frame, children);
        if (flags & RDW_INTERNALPAINT) w->internalPaint = true;
    } else if (flags & RDW_VALIDATE) {
        ValidateTree(w, area, children, (flags & RDW_NOERASE) != 0, (flags & RDW_NOFRAME) != 0);
        if (flags & RDW_NOINTERNALPAINT) w->internalPaint = false;
    }
    HWND h = w;
    if (flags & RDW_UPDATENOW) {
        while (auto* target = FindWindowNeedingPaint(h)) {
            HWND t = target;
            SendMessage(t, WM_PAINT, 0, 0);
            if (auto* tw = LiveWindow(t); tw && NeedsPaint(tw) && !tw->validatedSinceDispatch) {
                tw->update.Clear();  // a handler that does not paint must not stall the update
                tw->internalPaint = false;
            }
            if (auto* tw = LiveWindow(t)) tw->validatedSinceDispatch = false;
            if (!LiveWindow(h) || !children) break;
        }
    } else if (flags & RDW_ERASENOW) {
        if (w->ncPaintPending) {
            w->ncPaintPending = false;
            SendMessage(h, WM_NCPAINT, 1, 0);
        }
        if (LiveWindow(h) && w->erasePending) {
            w->erasePending = false;
            HDC dc = MakeDc(w, false, true, w->update);
            SendMessage(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            DropDc(dc);
        }
    }
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (rgn && !GdiCast<RegionObject>(rgn, GdiKind::Region)) return FALSE;
    return RedrawWindow(hwnd, nullptr, rgn, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_VALIDATE | RDW_NOCHILDREN);
}

BOOL ValidateRgn(HWND hwnd, HRGN rgn) { return RedrawWindow(hwnd, nullptr, rgn, RDW_VALIDATE | RDW_NOCHILDREN); }

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) {
    auto* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    Region area = w->update.Intersect(Region(ClientRectLocal(w)));
    if (rect) *rect = area.Bounds();
    if (erase && w->erasePending && !area.IsEmpty()) RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASENOW | RDW_NOCHILDREN);
    return area.IsEmpty() ? FALSE : TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    auto* w = LiveWindow(hwnd);
    auto* out = GdiCast<RegionObject>(rgn, GdiKind::Region);
    if (!w || !out) return ERROR;
    out->rgn = w->update.Intersect(Region(ClientRectLocal(w)));
    if (erase && w->erasePending && !out->rgn.IsEmpty()) RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASENOW | RDW_NOCHILDREN);
    return out->rgn.Kind();
}

BOOL UpdateWindow(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    // Long operations update windows this way while their loop does not run: show the result.
    struct PresentAfter {
        ~PresentAfter() { CurrentBackend().Present(false); }
    } present;
    if (!IsDrawable(w)) return TRUE;
    if (w->ncPaintPending && w->update.IsEmpty() && !w->internalPaint) {
        w->ncPaintPending = false;
        SendMessage(hwnd, WM_NCPAINT, 1, 0);
    } else if (NeedsPaint(w)) {
        w->validatedSinceDispatch = false;
        SendMessage(hwnd, WM_PAINT, 0, 0);
        if (auto* still = LiveWindow(hwnd); still && !still->validatedSinceDispatch) {
            still->update.Clear();
            still->internalPaint = false;
            still->erasePending = false;
        }
    }
    return TRUE;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip, HRGN updateRgn, RECT* updateRect,
                   UINT flags) {
    auto* w = LiveWindow(hwnd);
    if (!w) return ERROR;
    RECT local = ClientRectLocal(w);
    RECT scroll = local;
    if (rect) IntersectRect(&scroll, rect, &local);
    RECT clipRect = local;
    if (clip) IntersectRect(&clipRect, clip, &local);
    bool moveChildren = (flags & SW_SCROLLCHILDREN) != 0;
    POINT o = ClientOriginOnScreen(w);

    Region affected = Region(scroll).Intersect(Region(clipRect));
    Region moved;
    if (IsDrawable(w)) {
        Region vis = VisibleArea(w, true, !moveChildren && (w->style & WS_CLIPCHILDREN));
        vis.Offset(-o.x, -o.y);
        Region src = Region(scroll).Intersect(vis);
        src.Offset(dx, dy);
        moved = src.Intersect(affected).Intersect(vis);
        Region screenMoved = moved;
        screenMoved.Offset(o.x, o.y);
        CopyScreenPixels(screenMoved, dx, dy);
    }
    // Pending invalid parts travel with the pixels they describe.
    Region pending = w->update.Intersect(Region(scroll));
    pending.Offset(dx, dy);
    w->update = w->update.Subtract(Region(scroll)).Union(pending.Intersect(Region(clipRect)));

    Region invalid = affected.Subtract(moved);
    if (flags & SW_INVALIDATE) {
        Region screenInvalid = invalid;
        screenInvalid.Offset(o.x, o.y);
        InvalidateTree(w, screenInvalid, (flags & SW_ERASE) != 0, false, moveChildren);
    }
    if (moveChildren) {
        std::vector<HWND> kids(w->children.begin(), w->children.end());
        for (HWND k : kids) {
            auto* kw = LiveWindow(k);
            if (!kw) continue;
            if (rect) {
                RECT kr = kw->rect;
                RECT hit;
                if (!IntersectRect(&hit, &kr, &scroll)) continue;
            }
            SetWindowPos(k, nullptr, kw->rect.left + dx, kw->rect.top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
    if (auto* out = GdiCast<RegionObject>(updateRgn, GdiKind::Region)) out->rgn = invalid;
    if (updateRect) *updateRect = invalid.Bounds();
    RefreshWindowDCs();
    return invalid.IsEmpty() ? NULLREGION : invalid.Kind();
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip) {
    UINT flags = SW_INVALIDATE | SW_ERASE | (rect ? 0 : SW_SCROLLCHILDREN);
    return ScrollWindowEx(hwnd, dx, dy, rect, clip, nullptr, nullptr, flags) != ERROR;
}

}  // namespace win
