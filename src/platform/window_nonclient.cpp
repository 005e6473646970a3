// The non-client area: frame, caption, menu bar and scroll-bar space, hit-testing, and drawing
// of the frame parts the window manager owns (the menu module and the scroll bars draw theirs
// through the hooks).
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/gdi_dc.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

struct FrameLayout {
    int border = 0;       // frame thickness on each side
    RECT caption{};       // window coordinates; empty when none
    RECT menu{};          // window coordinates
    RECT inner{};         // inside frame, caption and menu: where the edges and scroll bars go
    int edge = 0;         // client edge thickness
    RECT vscroll{};
    RECT hscroll{};
    RECT client{};        // window coordinates
};

bool HasCaption(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION; }

int FrameThickness(DWORD style, DWORD exStyle) {
    if (style & WS_THICKFRAME) return GetSystemMetrics(SM_CXFRAME);
    if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) return GetSystemMetrics(SM_CXDLGFRAME);
    if (style & WS_BORDER) return GetSystemMetrics(SM_CXBORDER);
    return 0;
}

FrameLayout Layout(const WindowObject* w, DWORD style, DWORD exStyle, int width, int height) {
    FrameLayout f;
    RECT r{0, 0, width, height};
    f.border = FrameThickness(style, exStyle);
    InflateRect(&r, -f.border, -f.border);
    if (style & WS_MINIMIZE) {
        f.caption = r;
        f.inner = RECT{r.left, r.bottom, r.left, r.bottom};
        f.client = f.inner;
        return f;
    }
    if (HasCaption(style)) {
        int h = GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
        h = std::min<int>(h, std::max<int>(0, r.bottom - r.top));
        f.caption = RECT{r.left, r.top, r.right, r.top + h};
        r.top += h;
    }
    if (w && w->menu && !(style & WS_CHILD)) {
        int h = GetSystemMetrics(SM_CYMENU);
        auto& hooks = User().hooks;
        if (hooks.menuBarHeight) h = hooks.menuBarHeight(const_cast<WindowObject*>(w), width);
        h = std::min<int>(h, std::max<int>(0, r.bottom - r.top));
        f.menu = RECT{r.left, r.top, r.right, r.top + h};
        r.top += h;
    }
    f.edge = (exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : (exStyle & WS_EX_STATICEDGE) ? 1 : 0;
    f.inner = r;
    InflateRect(&r, -f.edge, -f.edge);
    if ((style & WS_VSCROLL) && r.right - r.left >= GetSystemMetrics(SM_CXVSCROLL)) {
        f.vscroll = RECT{r.right - GetSystemMetrics(SM_CXVSCROLL), r.top, r.right, r.bottom};
        r.right = f.vscroll.left;
    }
    if ((style & WS_HSCROLL) && r.bottom - r.top >= GetSystemMetrics(SM_CYHSCROLL)) {
        f.hscroll = RECT{r.left, r.bottom - GetSystemMetrics(SM_CYHSCROLL), r.right, r.bottom};
        r.bottom = f.hscroll.top;
        if (!IsRectEmpty(f.vscroll)) f.vscroll.bottom = r.bottom;
    }
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    f.client = r;
    return f;
}

// Caption buttons right to left: close, maximise, minimise; each SM_CXSIZE wide.
struct CaptionButtons {
    RECT sysMenu{}, close{}, max{}, min{};
};

CaptionButtons ButtonsOf(DWORD style, const RECT& caption) {
    CaptionButtons b;
    if (IsRectEmpty(caption) || !(style & WS_SYSMENU)) return b;
    int h = caption.bottom - caption.top;
    int bw = std::min<int>(GetSystemMetrics(SM_CXSIZE) - 2, h - 4);
    int top = caption.top + (h - (h - 4)) / 2;
    b.sysMenu = RECT{caption.left + 2, top, caption.left + 2 + bw, top + h - 4};
    int right = caption.right - 2;
    b.close = RECT{right - bw, top, right, top + h - 4};
    right = b.close.left - 2;
    if (style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) {
        b.max = RECT{right - bw, top, right, top + h - 4};
        b.min = RECT{b.max.left - bw, top, b.max.left, top + h - 4};
    }
    return b;
}

}  // namespace

RECT ComputeClientRect(const WindowObject* w, const RECT& windowRect) {
    FrameLayout f = Layout(w, w->style, w->exStyle, windowRect.right - windowRect.left,
                           windowRect.bottom - windowRect.top);
    RECT c = f.client;
    OffsetRect(&c, windowRect.left, windowRect.top);
    return c;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    int b = FrameThickness(style, exStyle);
    int top = b + (HasCaption(style) ? GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION) : 0);
    if (menu) top += GetSystemMetrics(SM_CYMENU);
    int edge = (exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : (exStyle & WS_EX_STATICEDGE) ? 1 : 0;
    rect->left -= b + edge;
    rect->right += b + edge;
    rect->top -= top + edge;
    rect->bottom += b + edge;
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

int HitTestWindow(WindowObject* w, POINT pt) {
    RECT wr = WindowRectOnScreen(w);
    if (!PtInRect(&wr, pt)) return HTNOWHERE;
    if (w->style & WS_MINIMIZE) return HTCAPTION;
    RECT cr = ClientRectOnScreen(w);
    if (PtInRect(&cr, pt)) return HTCLIENT;
    FrameLayout f = Layout(w, w->style, w->exStyle, wr.right - wr.left, wr.bottom - wr.top);
    POINT p{pt.x - wr.left, pt.y - wr.top};
    int width = wr.right - wr.left, height = wr.bottom - wr.top;
    if (f.border > 0 && (p.x < f.border || p.y < f.border || p.x >= width - f.border || p.y >= height - f.border)) {
        if (!(w->style & WS_THICKFRAME) || (w->style & WS_MAXIMIZE)) return HTBORDER;
        int corner = GetSystemMetrics(SM_CXSIZE);
        bool left = p.x < corner, right = p.x >= width - corner;
        bool top = p.y < corner, bottom = p.y >= height - corner;
        if (p.x < f.border) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
        if (p.x >= width - f.border) return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
        if (p.y < f.border) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    }
    if (PtInRect(&f.caption, p)) {
        CaptionButtons b = ButtonsOf(w->style, f.caption);
        if (PtInRect(&b.sysMenu, p)) return HTSYSMENU;
        if (PtInRect(&b.close, p)) return HTCLOSE;
        if (PtInRect(&b.max, p)) return HTMAXBUTTON;
        if (PtInRect(&b.min, p)) return HTMINBUTTON;
        return HTCAPTION;
    }
    if (PtInRect(&f.menu, p)) return HTMENU;
    if (PtInRect(&f.vscroll, p)) return HTVSCROLL;
    if (PtInRect(&f.hscroll, p)) return HTHSCROLL;
    if (!IsRectEmpty(f.vscroll) && !IsRectEmpty(f.hscroll) && p.x >= f.vscroll.left && p.y >= f.hscroll.top)
        return (w->style & WS_THICKFRAME) ? HTGROWBOX : HTNOWHERE;
    return HTBORDER;
}

namespace {

void SetColor(cairo_t* cr, int sysColor) {
    COLORREF c = GetSysColor(sysColor);
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void Fill(cairo_t* cr, const RECT& r, int sysColor) {
    if (IsRectEmpty(r)) return;
    SetColor(cr, sysColor);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr);
}

// Two-pixel 3-D edge: raised (light top-left) or sunken.
void Edge(cairo_t* cr, const RECT& r, bool raised, bool outerOnly = false) {
    auto line = [&](RECT rr, int tl, int br) {
        Fill(cr, RECT{rr.left, rr.top, rr.right - 1, rr.top + 1}, tl);
        Fill(cr, RECT{rr.left, rr.top, rr.left + 1, rr.bottom - 1}, tl);
        Fill(cr, RECT{rr.left, rr.bottom - 1, rr.right, rr.bottom}, br);
        Fill(cr, RECT{rr.right - 1, rr.top, rr.right, rr.bottom}, br);
    };
    if (raised) {
        line(r, COLOR_3DLIGHT, COLOR_3DDKSHADOW);
        if (!outerOnly) line(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    } else {
        line(r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        if (!outerOnly) line(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    }
}

void Glyph(cairo_t* cr, const RECT& r, int kind, bool enabled) {
    Fill(cr, r, COLOR_BTNFACE);
    Edge(cr, r, true);
    SetColor(cr, enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    int s = std::max<int>(2, (r.bottom - r.top) / 2 - 2);
    switch (kind) {
    case 0:  // close: an X
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, cx - s + 0.5, cy - s + 1);
        cairo_line_to(cr, cx + s - 0.5, cy + s - 1);
        cairo_move_to(cr, cx + s - 0.5, cy - s + 1);
        cairo_line_to(cr, cx - s + 0.5, cy + s - 1);
        cairo_stroke(cr);
        break;
    case 1:  // maximise: a box with a thick top
        cairo_rectangle(cr, cx - s, cy - s + 1, 2 * s, 2 * s - 1);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_rectangle(cr, cx - s, cy - s, 2 * s, 2);
        cairo_fill(cr);
        break;
    case 2:  // restore: two small boxes
        cairo_set_line_width(cr, 1);
        cairo_rectangle(cr, cx - s + 2.5, cy - s + 0.5, 2 * s - 3, 2 * s - 4);
        cairo_stroke(cr);
        cairo_rectangle(cr, cx - s + 0.5, cy - s + 3.5, 2 * s - 3, 2 * s - 4);
        cairo_stroke(cr);
        break;
    default:  // minimise: a bar at the bottom
        cairo_rectangle(cr, cx - s + 1, cy + s - 3, 2 * s - 3, 2);
        cairo_fill(cr);
        break;
    }
}

void CaptionText(cairo_t* cr, const RECT& r, const std::string& text, bool active) {
    if (text.empty() || IsRectEmpty(r)) return;
    cairo_save(cr);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11.0);
    SetColor(cr, active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    double baseline = r.top + ((r.bottom - r.top) - (fe.ascent + fe.descent)) / 2.0 + fe.ascent;
    cairo_move_to(cr, r.left, std::round(baseline));
    std::string utf8 = Cp1252ToUtf8(text);
    cairo_show_text(cr, utf8.c_str());
    cairo_restore(cr);
}

}  // namespace

void PaintNonClient(WindowObject* w) {
    if (!IsDrawable(w) || w == User().desktop.get()) return;
    RECT wr = WindowRectOnScreen(w);
    Region visible = VisibleRegion(w, false);
    RECT cr = ClientRectOnScreen(w);
    Region nc = visible.Subtract(Region(cr));
    if (nc.IsEmpty()) return;
    FrameLayout f = Layout(w, w->style, w->exStyle, wr.right - wr.left, wr.bottom - wr.top);
    bool active = w->ncActive;

    cairo_t* c = cairo_create(ScreenSurface());
    cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
    for (const RECT& r : nc.Rects()) cairo_rectangle(c, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(c);
    cairo_translate(c, wr.left, wr.top);
    RECT whole{0, 0, wr.right - wr.left, wr.bottom - wr.top};

    if (f.border > 0) {
        if (f.border == 1) {
            Fill(c, whole, COLOR_WINDOWFRAME);
        } else {
            Fill(c, whole, active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER);
            Edge(c, whole, true);
        }
    }
    if (!IsRectEmpty(f.caption)) {
        RECT cap = f.caption;
        Fill(c, cap, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
        CaptionButtons b = ButtonsOf(w->style, cap);
        RECT textRect{cap.left + 4, cap.top, cap.right - 4, cap.bottom};
        if (!IsRectEmpty(b.sysMenu)) {
            Fill(c, b.sysMenu, COLOR_BTNFACE);
            Edge(c, b.sysMenu, true, true);
            textRect.left = b.sysMenu.right + 4;
        }
        if (!IsRectEmpty(b.close)) {
            Glyph(c, b.close, 0, !(w->cls && (w->cls->style & CS_NOCLOSE)));
            textRect.right = b.close.left - 2;
        }
        if (!IsRectEmpty(b.max)) {
            Glyph(c, b.max, (w->style & WS_MAXIMIZE) ? 2 : 1, (w->style & WS_MAXIMIZEBOX) != 0);
            Glyph(c, b.min, (w->style & WS_MINIMIZE) ? 2 : 3, (w->style & WS_MINIMIZEBOX) != 0);
            textRect.right = b.min.left - 2;
        }
        CaptionText(c, textRect, w->text, active);
    }
    if (f.edge > 0) {
        if (f.edge >= 2)
            Edge(c, f.inner, false);
        else
            Edge(c, f.inner, false, true);
    }
    auto& hooks = User().hooks;
    for (int bar = 0; bar < 2; ++bar) {
        const RECT& sr = bar == 0 ? f.hscroll : f.vscroll;
        if (IsRectEmpty(sr)) continue;
        if (!hooks.drawScrollBar) {
            Fill(c, sr, COLOR_SCROLLBAR);
        }
    }
    if (!IsRectEmpty(f.vscroll) && !IsRectEmpty(f.hscroll))
        Fill(c, RECT{f.vscroll.left, f.hscroll.top, f.vscroll.right, f.hscroll.bottom}, COLOR_BTNFACE);
    if (!IsRectEmpty(f.menu) && !hooks.drawMenuBar) Fill(c, f.menu, COLOR_MENU);
    cairo_destroy(c);
    MarkScreenDirty();

    // Parts drawn by other modules go through a window DC limited to the frame.
    bool menuHook = !IsRectEmpty(f.menu) && hooks.drawMenuBar;
    bool scrollHook = hooks.drawScrollBar && (!IsRectEmpty(f.vscroll) || !IsRectEmpty(f.hscroll));
    if (menuHook || scrollHook) {
        HDC dc = CreateWindowDC(ScreenSurface(), POINT{wr.left, wr.top}, nc, w);
        if (menuHook) hooks.drawMenuBar(w, dc, f.menu);
        if (scrollHook && LiveWindow(w)) {
            if (!IsRectEmpty(f.hscroll)) hooks.drawScrollBar(w, dc, 0, f.hscroll);
            if (!IsRectEmpty(f.vscroll)) hooks.drawScrollBar(w, dc, 1, f.vscroll);
        }
        DestroyWindowDC(dc);
    }
}

// Layer-internal geometry for the scroll-bar and menu modules (window coordinates).
RECT NonClientPartRect(HWND hwnd, int part) {
    auto* w = LiveWindow(hwnd);
    if (!w) return RECT{};
    FrameLayout f = Layout(w, w->style, w->exStyle, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top);
    switch (part) {
    case HTCAPTION: return f.caption;
    case HTMENU: return f.menu;
    case HTHSCROLL: return f.hscroll;
    case HTVSCROLL: return f.vscroll;
    default: return f.client;
    }
}

}  // namespace win
