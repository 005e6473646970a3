// The "STATIC" class: text (left, centred, right, simple, without word wrap), icons and bitmaps,
// filled rectangles, frames and etched lines, and owner-drawn statics. A static lets clicks
// through to what lies beneath unless it has SS_NOTIFY.
#include <algorithm>
#include <cstdlib>

#include "platform/bitmap.h"
#include "platform/control_internal.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

namespace {

struct StaticData : ControlData {
    HICON icon = nullptr;
    HBITMAP bitmap = nullptr;
};

DWORD TypeOf(DWORD style) { return style & SS_TYPEMASK; }
bool IsTextType(DWORD t) {
    return t == SS_LEFT || t == SS_CENTER || t == SS_RIGHT || t == SS_SIMPLE || t == SS_LEFTNOWORDWRAP;
}

// A resource named by a control text: "#1200" or "1200"; 0 when the text names no number.
int ResourceIdOf(const std::string& text) {
    std::string digits = (!text.empty() && text[0] == '#') ? text.substr(1) : text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::atoi(digits.c_str());
}

HINSTANCE InstanceOf(HWND hwnd) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtr(hwnd, GWLP_HINSTANCE));
    return instance ? instance : GetModuleHandle(nullptr);
}

// An icon static takes the size of its icon.
void FitToIcon(HWND hwnd, HICON icon) {
    if (!icon || icon->image.width <= 0 || (StyleOf(hwnd) & SS_CENTERIMAGE)) return;
    SetWindowPos(hwnd, nullptr, 0, 0, icon->image.width, icon->image.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LoadImageFromText(HWND hwnd, StaticData& d) {
    DWORD t = TypeOf(StyleOf(hwnd));
    int id = ResourceIdOf(GetWindowText(hwnd));
    if (t == SS_ICON) {
        d.icon = id ? LoadIcon(InstanceOf(hwnd), id) : nullptr;
        FitToIcon(hwnd, d.icon);
    } else if (t == SS_BITMAP) {
        d.bitmap = id ? LoadBitmap(InstanceOf(hwnd), static_cast<UINT_PTR>(id)) : nullptr;
    }
}

UINT TextFormat(DWORD style) {
    UINT format = DT_EXPANDTABS;
    switch (TypeOf(style)) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: format = DT_SINGLELINE | DT_LEFT; break;
    case SS_LEFTNOWORDWRAP: format |= DT_LEFT; break;
    default: format |= DT_LEFT | DT_WORDBREAK; break;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    return format;
}

void PaintBitmap(HDC dc, HBITMAP bitmap, const RECT& client, bool centre) {
    BITMAP bm;
    if (!bitmap || !GetObject(bitmap, sizeof(bm), &bm)) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap);
    int x = client.left, y = client.top;
    if (centre) {
        x += (client.right - client.left - bm.bmWidth) / 2;
        y += (client.bottom - client.top - bm.bmHeight) / 2;
    }
    BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void PaintEtched(HDC dc, const RECT& c, DWORD t) {
    if (t == SS_ETCHEDHORZ) {
        FillSysColor(dc, RECT{c.left, c.top, c.right, c.top + 1}, COLOR_BTNSHADOW);
        FillSysColor(dc, RECT{c.left, c.top + 1, c.right, c.top + 2}, COLOR_BTNHIGHLIGHT);
    } else if (t == SS_ETCHEDVERT) {
        FillSysColor(dc, RECT{c.left, c.top, c.left + 1, c.bottom}, COLOR_BTNSHADOW);
        FillSysColor(dc, RECT{c.left + 1, c.top, c.left + 2, c.bottom}, COLOR_BTNHIGHLIGHT);
    } else {
        DrawFrame2(dc, RECT{c.left, c.top, c.right - 1, c.bottom - 1}, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
        DrawFrame2(dc, RECT{c.left + 1, c.top + 1, c.right, c.bottom}, COLOR_BTNHIGHLIGHT, COLOR_BTNHIGHLIGHT);
    }
}

void Paint(HWND hwnd, StaticData& d) {
    ControlPaint paint(hwnd, d.font);
    HDC dc = paint.dc();
    if (!dc) return;
    DWORD style = StyleOf(hwnd);
    DWORD t = TypeOf(style);
    RECT c = paint.client();
    if (style & SS_SUNKEN) {
        DrawFrame2(dc, c, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        InflateRect(&c, -1, -1);
    }
    switch (t) {
    case SS_BLACKRECT: FillSysColor(dc, c, COLOR_WINDOWFRAME); return;
    case SS_GRAYRECT: FillSysColor(dc, c, COLOR_BTNSHADOW); return;
    case SS_WHITERECT: FillSysColor(dc, c, COLOR_BTNHIGHLIGHT); return;
    case SS_BLACKFRAME: DrawFrame2(dc, c, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME); return;
    case SS_GRAYFRAME: DrawFrame2(dc, c, COLOR_BTNSHADOW, COLOR_BTNSHADOW); return;
    case SS_WHITEFRAME: DrawFrame2(dc, c, COLOR_BTNHIGHLIGHT, COLOR_BTNHIGHLIGHT); return;
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
    case SS_ETCHEDFRAME: PaintEtched(dc, c, t); return;
    case SS_OWNERDRAW: {
        auto* w = LiveWindow(hwnd);
        if (!w || !w->parent) return;
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_STATIC;
        dis.CtlID = static_cast<UINT>(w->id);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED;
        dis.hwndItem = hwnd;
        dis.hDC = dc;
        dis.rcItem = c;
        HWND parent = w->parent;
        SendMessage(parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&dis));
        return;
    }
    default: break;
    }
    HBRUSH bg = ControlColors(hwnd, dc, WM_CTLCOLORSTATIC);
    if (t == SS_ICON) {
        FillRect(dc, &c, bg);
        int x = c.left, y = c.top;
        if ((style & SS_CENTERIMAGE) && d.icon) {
            int iw = d.icon->image.width > 0 ? d.icon->image.width : GetSystemMetrics(SM_CXICON);
            int ih = d.icon->image.height > 0 ? d.icon->image.height : GetSystemMetrics(SM_CYICON);
            x += (c.right - c.left - iw) / 2;
            y += (c.bottom - c.top - ih) / 2;
        }
        DrawIconImage(dc, x, y, d.icon);
        return;
    }
    if (t == SS_BITMAP) {
        FillRect(dc, &c, bg);
        PaintBitmap(dc, d.bitmap, c, (style & SS_CENTERIMAGE) != 0);
        return;
    }
    if (!IsTextType(t)) return;
    FillRect(dc, &c, bg);
    std::string text = GetWindowText(hwnd);
    if (text.empty()) return;
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawText(dc, text, &c, TextFormat(style));
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) AttachData<StaticData>(hwnd);
    auto* d = DataOf<StaticData>(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (HandleFontMessage(hwnd, *d, msg, wParam, lParam, result)) return result;
    DWORD style = StyleOf(hwnd);
    switch (msg) {
    case WM_CREATE:
        LoadImageFromText(hwnd, *d);
        return 0;
    case WM_NCHITTEST:
        return (style & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        if (auto* again = DataOf<StaticData>(hwnd)) {
            DWORD t = TypeOf(style);
            if (t == SS_ICON || t == SS_BITMAP) LoadImageFromText(hwnd, *again);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE:
        if (style & SS_NOTIFY) NotifyParent(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN:
        if (style & SS_NOTIFY) NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (style & SS_NOTIFY) NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(d->icon);
    case STM_SETICON: {
        HICON old = d->icon;
        d->icon = reinterpret_cast<HICON>(wParam);
        FitToIcon(hwnd, d->icon);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
        return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(d->icon) : reinterpret_cast<LRESULT>(d->bitmap);
    case STM_SETIMAGE: {
        LRESULT old = 0;
        if (wParam == IMAGE_ICON) {
            old = reinterpret_cast<LRESULT>(d->icon);
            d->icon = reinterpret_cast<HICON>(lParam);
        } else if (wParam == IMAGE_BITMAP) {
            old = reinterpret_cast<LRESULT>(d->bitmap);
            d->bitmap = reinterpret_cast<HBITMAP>(lParam);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

// The pictures of the system icons (there are no image files for them): a stop sign, a question,
// a warning triangle, an information mark, and a plain window for the application icon.
void DrawSystemIcon(HDC dc, int x, int y, int id) {
    const int s = 32;
    COLORREF fill = RGB(255, 255, 255), ink = RGB(0, 0, 0);
    const char* mark = nullptr;
    bool triangle = false;
    switch (id) {
    case IDI_HAND: fill = RGB(220, 0, 0); ink = RGB(255, 255, 255); mark = "X"; break;
    case IDI_QUESTION: fill = RGB(0, 64, 192); ink = RGB(255, 255, 255); mark = "?"; break;
    case IDI_EXCLAMATION: fill = RGB(255, 220, 0); mark = "!"; triangle = true; break;
    case IDI_ASTERISK: fill = RGB(0, 64, 192); ink = RGB(255, 255, 255); mark = "i"; break;
    default: break;
    }
    HPEN outline = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ oldPen = SelectObject(dc, outline), oldBrush = SelectObject(dc, brush);
    if (!mark) {
        Rectangle(dc, x + 2, y + 4, x + s - 2, y + s - 4);
        HBRUSH title = CreateSolidBrush(RGB(0, 0, 128));
        RECT bar{x + 3, y + 5, x + s - 3, y + 10};
        FillRect(dc, &bar, title);
        DeleteObject(title);
    } else if (triangle) {
        POINT pts[3] = {{x + s / 2, y + 1}, {x + s - 1, y + s - 2}, {x + 1, y + s - 2}};
        Polygon(dc, pts, 3);
    } else {
        Ellipse(dc, x + 1, y + 1, x + s - 1, y + s - 1);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(outline);
    DeleteObject(brush);
    if (!mark) return;
    HFONT font = CreateFont(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, ink);
    RECT r{x, y + (triangle ? 4 : 1), x + s, y + s};
    DrawText(dc, mark, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

}  // namespace

void DrawIconImage(HDC dc, int x, int y, HICON icon) {
    if (!icon) return;
    const CursorImage& img = icon->image;
    if (img.width <= 0 || img.pixels.empty()) {
        DrawSystemIcon(dc, x, y, -icon->systemId);
        return;
    }
    for (int row = 0; row < img.height; ++row)
        for (int col = 0; col < img.width; ++col) {
            std::uint32_t p = img.pixels[static_cast<std::size_t>(row) * img.width + col];
            if ((p >> 24) < 0x80) continue;
            SetPixelV(dc, x + col, y + row, RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
        }
}

void RegisterStaticClass() { RegisterControlClass(kStaticClass, StaticProc, CS_DBLCLKS | CS_PARENTDC); }

}  // namespace win
