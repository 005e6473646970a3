// Scroll bars: the "SCROLLBAR" control and the window bars of WS_HSCROLL / WS_VSCROLL (drawn in
// the frame through the window manager's hooks), their range, page and position, drawing, and
// the tracking of arrows, track and thumb with the mouse.
#include <algorithm>
#include <array>
#include <unordered_map>

#include "platform/control_internal.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/message.h"
#include "platform/module_state.h"
#include "platform/system.h"

namespace win {

namespace {

struct ScrollState {
    int min = 0;
    int max = 100;
    int page = 0;
    int pos = 0;
    int trackPos = 0;
    bool tracking = false;
    UINT disabledArrows = ESB_ENABLE_BOTH;
    bool disabledNoScroll = false;  // shown but greyed because the range holds only one page
};

struct ScrollBarData : ControlData {
    ScrollState state;
    ScrollBarData() { state.max = 0; }
};

struct ScrollModuleState {
    std::unordered_map<HWND, std::array<ScrollState, 2>> windowBars;
};

ScrollModuleState& Bars() { return ModuleState<ScrollModuleState>(); }

enum class Part { None, ArrowLow, PageLow, Thumb, PageHigh, ArrowHigh };

constexpr int kMinThumb = 8;
constexpr UINT kFirstRepeatMs = 350;
constexpr UINT kRepeatMs = 50;

bool IsScrollBarControl(HWND hwnd) { return DataOf<ScrollBarData>(hwnd) != nullptr; }

ScrollState* StateOf(HWND hwnd, int bar) {
    if (!LiveWindow(hwnd)) return nullptr;
    if (bar == SB_CTL) {
        auto* d = DataOf<ScrollBarData>(hwnd);
        return d ? &d->state : nullptr;
    }
    if (bar != SB_HORZ && bar != SB_VERT) return nullptr;
    return &Bars().windowBars[hwnd][static_cast<std::size_t>(bar)];
}

bool IsVertical(HWND hwnd, int bar) { return bar == SB_CTL ? (StyleOf(hwnd) & SBS_VERT) != 0 : bar == SB_VERT; }

int MaxPos(const ScrollState& s) { return std::max(s.min, s.max - std::max(s.page - 1, 0)); }

bool Scrollable(const ScrollState& s) { return s.max > s.min && s.page <= s.max - s.min; }

void Normalise(ScrollState& s) {
    if (s.max < s.min) s.max = s.min;
    s.page = std::clamp(s.page, 0, s.max - s.min + 1);
    s.pos = std::clamp(s.pos, s.min, MaxPos(s));
}

struct BarLayout {
    bool vertical = false;
    RECT whole{};
    RECT low{}, high{}, thumb{};
    int trackStart = 0, trackEnd = 0;  // along the bar, in the rectangle's coordinates
    int thumbLen = 0;
    bool hasThumb = false;
};

RECT Span(const RECT& r, bool vertical, int from, int to) {
    return vertical ? RECT{r.left, from, r.right, to} : RECT{from, r.top, to, r.bottom};
}

BarLayout LayoutBar(const RECT& r, bool vertical, const ScrollState& s, int shownPos) {
    BarLayout l;
    l.vertical = vertical;
    l.whole = r;
    int start = vertical ? r.top : r.left;
    int end = vertical ? r.bottom : r.right;
    int cross = vertical ? r.right - r.left : r.bottom - r.top;
    int arrow = std::min(cross, (end - start) / 2);
    l.low = Span(r, vertical, start, start + arrow);
    l.high = Span(r, vertical, end - arrow, end);
    l.trackStart = start + arrow;
    l.trackEnd = end - arrow;
    int trackLen = l.trackEnd - l.trackStart;
    if (!Scrollable(s) || trackLen <= 0) return l;
    int thumbLen = s.page ? std::max(kMinThumb, MulDiv(trackLen, s.page, s.max - s.min + 1)) : std::min(cross, trackLen);
    if (thumbLen >= trackLen) return l;
    int span = MaxPos(s) - s.min;
    int offset = span > 0 ? MulDiv(trackLen - thumbLen, std::clamp(shownPos, s.min, MaxPos(s)) - s.min, span) : 0;
    l.thumbLen = thumbLen;
    l.thumb = Span(r, vertical, l.trackStart + offset, l.trackStart + offset + thumbLen);
    l.hasThumb = true;
    return l;
}

Part HitPart(const BarLayout& l, POINT pt) {
    if (!PtInRect(&l.whole, pt)) return Part::None;
    if (PtInRect(&l.low, pt)) return Part::ArrowLow;
    if (PtInRect(&l.high, pt)) return Part::ArrowHigh;
    if (!l.hasThumb) return Part::None;
    if (PtInRect(&l.thumb, pt)) return Part::Thumb;
    int along = l.vertical ? pt.y : pt.x;
    int thumbStart = l.vertical ? l.thumb.top : l.thumb.left;
    return along < thumbStart ? Part::PageLow : Part::PageHigh;
}

bool BarEnabled(HWND hwnd, const ScrollState& s) {
    return IsWindowEnabled(hwnd) && !s.disabledNoScroll && s.disabledArrows != ESB_DISABLE_BOTH && Scrollable(s);
}

void DrawArrow(HDC dc, const RECT& r, int direction, bool enabled, bool pushed) {
    FillSysColor(dc, r, COLOR_BTNFACE);
    if (pushed)
        DrawFrame2(dc, r, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
    else
        DrawEdge3D(dc, r, true);
    RECT glyph = r;
    if (pushed) OffsetRect(&glyph, 1, 1);
    DrawArrowGlyph(dc, glyph, direction, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
}

void DrawBar(HDC dc, HWND hwnd, int bar, const RECT& r, HBRUSH trackBrush, Part pushed) {
    ScrollState* s = StateOf(hwnd, bar);
    if (!s || IsRectEmpty(r)) return;
    bool vertical = IsVertical(hwnd, bar);
    bool enabled = BarEnabled(hwnd, *s);
    BarLayout l = LayoutBar(r, vertical, *s, s->tracking ? s->trackPos : s->pos);
    bool lowOn = enabled && !(s->disabledArrows & ESB_DISABLE_LEFT);
    bool highOn = enabled && !(s->disabledArrows & ESB_DISABLE_RIGHT);
    DrawArrow(dc, l.low, vertical ? 0 : 2, lowOn, pushed == Part::ArrowLow);
    DrawArrow(dc, l.high, vertical ? 1 : 3, highOn, pushed == Part::ArrowHigh);
    RECT track = Span(r, vertical, l.trackStart, l.trackEnd);
    FillRect(dc, &track, trackBrush);
    if (!enabled || !l.hasThumb) return;
    int thumbStart = vertical ? l.thumb.top : l.thumb.left;
    int thumbEnd = vertical ? l.thumb.bottom : l.thumb.right;
    if (pushed == Part::PageLow) FillSysColor(dc, Span(r, vertical, l.trackStart, thumbStart), COLOR_3DDKSHADOW);
    if (pushed == Part::PageHigh) FillSysColor(dc, Span(r, vertical, thumbEnd, l.trackEnd), COLOR_3DDKSHADOW);
    FillSysColor(dc, l.thumb, COLOR_BTNFACE);
    DrawEdge3D(dc, l.thumb, true);
}

// The bar's rectangle in the coordinates of the DC that draws it (client for a control, window
// for a window bar), and on the screen.
RECT BarRect(HWND hwnd, int bar) {
    RECT r{};
    if (bar == SB_CTL)
        GetClientRect(hwnd, &r);
    else if (StyleOf(hwnd) & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL))
        r = NonClientPartRect(hwnd, bar == SB_VERT ? HTVSCROLL : HTHSCROLL);
    return r;
}

RECT BarScreenRect(HWND hwnd, int bar) {
    RECT r = BarRect(hwnd, bar);
    RECT origin{};
    if (bar == SB_CTL) {
        POINT p{0, 0};
        ClientToScreen(hwnd, &p);
        OffsetRect(&r, p.x, p.y);
    } else {
        GetWindowRect(hwnd, &origin);
        OffsetRect(&r, origin.left, origin.top);
    }
    return r;
}

HBRUSH TrackBrush(HWND hwnd, int bar, HDC dc) {
    if (bar == SB_CTL) return ControlColors(hwnd, dc, WM_CTLCOLORSCROLLBAR);
    return GetSysColorBrush(COLOR_SCROLLBAR);
}

void RedrawBar(HWND hwnd, int bar, Part pushed = Part::None) {
    RECT r = BarRect(hwnd, bar);
    if (IsRectEmpty(r) || !IsWindowVisible(hwnd)) return;
    HDC dc = bar == SB_CTL ? GetDC(hwnd) : GetWindowDC(hwnd);
    if (!dc) return;
    DrawBar(dc, hwnd, bar, r, TrackBrush(hwnd, bar, dc), pushed);
    ReleaseDC(hwnd, dc);
}

// A window bar shows while its range holds more than a page (or greyed with
// SIF_DISABLENOSCROLL); showing or hiding it changes the window's client area.
void UpdateVisibility(HWND hwnd, int bar, ScrollState& s, bool disableNoScroll) {
    bool needed = Scrollable(s);
    s.disabledNoScroll = !needed && disableNoScroll;
    DWORD bit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    bool shown = (StyleOf(hwnd) & bit) != 0;
    bool want = needed || disableNoScroll;
    if (want != shown) ShowScrollBar(hwnd, bar, want);
}

void Notify(HWND hwnd, int bar, WORD code, int pos) {
    WPARAM wParam = MAKEWPARAM(code, static_cast<WORD>(pos));
    UINT msg = IsVertical(hwnd, bar) ? WM_VSCROLL : WM_HSCROLL;
    if (bar == SB_CTL) {
        if (HWND parent = GetParent(hwnd)) SendMessage(parent, msg, wParam, reinterpret_cast<LPARAM>(hwnd));
    } else {
        SendMessage(hwnd, msg, wParam, 0);
    }
}

WORD CodeOf(Part part) {
    switch (part) {
    case Part::ArrowLow: return SB_LINEUP;
    case Part::ArrowHigh: return SB_LINEDOWN;
    case Part::PageLow: return SB_PAGEUP;
    default: return SB_PAGEDOWN;
    }
}

// The position for a thumb whose leading edge is at `edge` along the bar.
int PosForThumbEdge(const BarLayout& l, const ScrollState& s, int edge) {
    int room = (l.trackEnd - l.trackStart) - l.thumbLen;
    if (room <= 0) return s.min;
    int offset = std::clamp(edge - l.trackStart, 0, room);
    return s.min + MulDiv(offset, MaxPos(s) - s.min, room);
}

// Follows the mouse from a press on the bar until the button comes up.
void TrackBar(HWND hwnd, int bar, POINT start) {
    ScrollState* s = StateOf(hwnd, bar);
    if (!s || !BarEnabled(hwnd, *s)) return;
    bool vertical = IsVertical(hwnd, bar);
    RECT screen = BarScreenRect(hwnd, bar);
    BarLayout layout = LayoutBar(screen, vertical, *s, s->pos);
    Part part = HitPart(layout, start);
    if (part == Part::None) return;
    if ((part == Part::ArrowLow && (s->disabledArrows & ESB_DISABLE_LEFT)) ||
        (part == Part::ArrowHigh && (s->disabledArrows & ESB_DISABLE_RIGHT)))
        return;
    SetCapture(hwnd);
    bool done = false;
    auto along = [&](POINT p) { return vertical ? p.y : p.x; };
    if (part == Part::Thumb) {
        int grab = along(start) - (vertical ? layout.thumb.top : layout.thumb.left);
        s->tracking = true;
        s->trackPos = s->pos;
        auto follow = [&](POINT p) {
            ScrollState* live = StateOf(hwnd, bar);
            if (!live) return;
            int pos = PosForThumbEdge(layout, *live, along(p) - grab);
            if (pos == live->trackPos) return;
            live->trackPos = pos;
            RedrawBar(hwnd, bar);
            Notify(hwnd, bar, SB_THUMBTRACK, pos);
        };
        RunNestedLoop([&] { return done || !LiveWindow(hwnd) || GetCapture() != hwnd; },
                      [&](MSG& m) {
                          if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) {
                              follow(m.pt);
                              return true;
                          }
                          if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) {
                              follow(m.pt);
                              done = true;
                              return true;
                          }
                          return m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST;
                      });
        if (ScrollState* live = StateOf(hwnd, bar)) Notify(hwnd, bar, SB_THUMBPOSITION, live->trackPos);
        if (ScrollState* live = StateOf(hwnd, bar)) live->tracking = false;
    } else {
        WORD code = CodeOf(part);
        RedrawBar(hwnd, bar, part);
        Notify(hwnd, bar, code, 0);
        POINT pointer = start;
        UINT_PTR timer = SetTimer(nullptr, 0, kFirstRepeatMs, nullptr);
        // Repeats while the pointer stays on the part pressed (for the track: until the thumb
        // has come to the pointer).
        auto repeat = [&] {
            ScrollState* live = StateOf(hwnd, bar);
            if (!live) return;
            BarLayout now = LayoutBar(BarScreenRect(hwnd, bar), vertical, *live, live->pos);
            if (HitPart(now, pointer) != part) return;
            Notify(hwnd, bar, code, 0);
            if (LiveWindow(hwnd)) RedrawBar(hwnd, bar, part);
        };
        RunNestedLoop([&] { return done || !LiveWindow(hwnd) || GetCapture() != hwnd; },
                      [&](MSG& m) {
                          if (m.message == WM_TIMER && !m.hwnd && m.wParam == timer) {
                              KillTimer(nullptr, timer);
                              timer = SetTimer(nullptr, 0, kRepeatMs, nullptr);
                              repeat();
                              return true;
                          }
                          if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) {
                              pointer = m.pt;
                              return true;
                          }
                          if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) {
                              done = true;
                              return true;
                          }
                          return m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST;
                      });
        KillTimer(nullptr, timer);
    }
    if (GetCapture() == hwnd) ReleaseCapture();
    if (!LiveWindow(hwnd)) return;
    RedrawBar(hwnd, bar);
    Notify(hwnd, bar, SB_ENDSCROLL, 0);
}

void KeyScroll(HWND hwnd, WPARAM vk) {
    WORD code;
    switch (vk) {
    case VK_UP:
    case VK_LEFT: code = SB_LINEUP; break;
    case VK_DOWN:
    case VK_RIGHT: code = SB_LINEDOWN; break;
    case VK_PRIOR: code = SB_PAGEUP; break;
    case VK_NEXT: code = SB_PAGEDOWN; break;
    case VK_HOME: code = SB_TOP; break;
    case VK_END: code = SB_BOTTOM; break;
    default: return;
    }
    Notify(hwnd, SB_CTL, code, 0);
    if (LiveWindow(hwnd)) Notify(hwnd, SB_CTL, SB_ENDSCROLL, 0);
}

// Applies the parts of si to a bar; true when range or page were among them.
bool ApplyInfo(ScrollState& s, const SCROLLINFO& si) {
    if (si.fMask & SIF_RANGE) {
        s.min = si.nMin;
        s.max = si.nMax;
    }
    if (si.fMask & SIF_PAGE) s.page = static_cast<int>(std::min<UINT>(si.nPage, 0x7FFFFFFF));
    if (si.fMask & SIF_POS) s.pos = si.nPos;
    Normalise(s);
    return (si.fMask & (SIF_RANGE | SIF_PAGE)) != 0;
}

void FillInfo(const ScrollState& s, SCROLLINFO& si) {
    if (si.fMask & SIF_RANGE) {
        si.nMin = s.min;
        si.nMax = s.max;
    }
    if (si.fMask & SIF_PAGE) si.nPage = static_cast<UINT>(s.page);
    if (si.fMask & SIF_POS) si.nPos = s.pos;
    if (si.fMask & SIF_TRACKPOS) si.nTrackPos = s.tracking ? s.trackPos : s.pos;
}

LRESULT ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) AttachData<ScrollBarData>(hwnd);
    auto* d = DataOf<ScrollBarData>(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (HandleFontMessage(hwnd, *d, msg, wParam, lParam, result)) return result;
    ScrollState& s = d->state;
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        ControlPaint paint(hwnd, d->font);
        if (paint.dc()) DrawBar(paint.dc(), hwnd, SB_CTL, paint.client(), TrackBrush(hwnd, SB_CTL, paint.dc()), Part::None);
        return 0;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if ((StyleOf(hwnd) & WS_TABSTOP) && GetFocus() != hwnd) SetFocus(hwnd);
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &p);
        TrackBar(hwnd, SB_CTL, p);
        return 0;
    }
    case WM_KEYDOWN:
        KeyScroll(hwnd, wParam);
        return 0;
    case SBM_SETPOS: {
        int old = s.pos;
        s.pos = static_cast<int>(wParam);
        Normalise(s);
        if (lParam) RedrawBar(hwnd, SB_CTL);
        return old;
    }
    case SBM_GETPOS:
        return s.pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        int old = s.pos;
        s.min = static_cast<int>(wParam);
        s.max = static_cast<int>(lParam);
        Normalise(s);
        if (msg == SBM_SETRANGEREDRAW) RedrawBar(hwnd, SB_CTL);
        return old;
    }
    case SBM_GETRANGE:
        if (wParam) *reinterpret_cast<int*>(wParam) = s.min;
        if (lParam) *reinterpret_cast<int*>(lParam) = s.max;
        return 0;
    case SBM_ENABLE_ARROWS:
        s.disabledArrows = static_cast<UINT>(wParam) & ESB_DISABLE_BOTH;
        RedrawBar(hwnd, SB_CTL);
        return TRUE;
    case SBM_SETSCROLLINFO: {
        if (!lParam) return s.pos;
        ApplyInfo(s, *reinterpret_cast<const SCROLLINFO*>(lParam));
        if (wParam) RedrawBar(hwnd, SB_CTL);
        return s.pos;
    }
    case SBM_GETSCROLLINFO:
        if (!lParam) return FALSE;
        FillInfo(s, *reinterpret_cast<SCROLLINFO*>(lParam));
        return TRUE;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void DrawWindowBarHook(HWND hwnd, HDC dc, int bar, const RECT& r) {
    DrawBar(dc, hwnd, bar, r, GetSysColorBrush(COLOR_SCROLLBAR), Part::None);
}

bool WindowBarClick(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg != WM_NCLBUTTONDOWN && msg != WM_NCLBUTTONDBLCLK) return false;
    if (wParam != static_cast<WPARAM>(HTHSCROLL) && wParam != static_cast<WPARAM>(HTVSCROLL)) return false;
    TrackBar(hwnd, wParam == static_cast<WPARAM>(HTVSCROLL) ? SB_VERT : SB_HORZ,
             POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    result = 0;
    return true;
}

}  // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* si, BOOL redraw) {
    if (!si) return 0;
    if (bar == SB_CTL)
        return IsScrollBarControl(hwnd)
                   ? static_cast<int>(SendMessage(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(si)))
                   : 0;
    ScrollState* s = StateOf(hwnd, bar);
    if (!s) return 0;
    bool rangeChanged = ApplyInfo(*s, *si);
    int pos = s->pos;
    if (rangeChanged) UpdateVisibility(hwnd, bar, *s, (si->fMask & SIF_DISABLENOSCROLL) != 0);
    if (redraw && LiveWindow(hwnd)) RedrawBar(hwnd, bar);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* si) {
    if (!si) return FALSE;
    if (bar == SB_CTL)
        return IsScrollBarControl(hwnd) ? static_cast<BOOL>(SendMessage(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(si)))
                                        : FALSE;
    ScrollState* s = StateOf(hwnd, bar);
    if (!s) return FALSE;
    FillInfo(*s, *si);
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    SCROLLINFO si;
    si.fMask = SIF_POS;
    if (!GetScrollInfo(hwnd, bar, &si)) return 0;
    int old = si.nPos;
    si.nPos = pos;
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO si;
    si.fMask = SIF_POS;
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    si.nMin = minPos;
    si.nMax = maxPos;
    if (bar == SB_CTL && !IsScrollBarControl(hwnd)) return FALSE;
    if (bar != SB_CTL && !StateOf(hwnd, bar)) return FALSE;
    SetScrollInfo(hwnd, bar, &si, redraw);
    return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    if (!GetScrollInfo(hwnd, bar, &si)) return FALSE;
    if (minPos) *minPos = si.nMin;
    if (maxPos) *maxPos = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    auto* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    if (bar == SB_CTL) {
        ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
        return TRUE;
    }
    DWORD bits = bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL : bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : 0;
    if (!bits) return FALSE;
    DWORD style = show ? (w->style | bits) : (w->style & ~bits);
    if (style == w->style) return TRUE;
    w->style = style;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
    if (bar == static_cast<UINT>(SB_CTL))
        return IsScrollBarControl(hwnd) ? static_cast<BOOL>(SendMessage(hwnd, SBM_ENABLE_ARROWS, arrows, 0)) : FALSE;
    bool any = false;
    for (int b : {SB_HORZ, SB_VERT}) {
        if (bar != static_cast<UINT>(b) && bar != static_cast<UINT>(SB_BOTH)) continue;
        if (ScrollState* s = StateOf(hwnd, b)) {
            s->disabledArrows = arrows & ESB_DISABLE_BOTH;
            RedrawBar(hwnd, b);
            any = true;
        }
    }
    return any ? TRUE : FALSE;
}

void RegisterScrollBarClass() { RegisterControlClass(kScrollBarClass, ScrollBarProc, CS_DBLCLKS | CS_PARENTDC); }

void InstallScrollBarHooks() {
    ResetModuleState<ScrollModuleState>();
    auto& hooks = WindowHooks();
    hooks.drawScrollBar = DrawWindowBarHook;
    hooks.defProcFilters.push_back(WindowBarClick);
    hooks.windowDestroyed.push_back([](HWND hwnd) { Bars().windowBars.erase(hwnd); });
}

}  // namespace win
