// What the standard controls share: notification, colours, fonts, painting and 3-D borders, and
// the installation of the control and dialog classes.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/control_internal.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

DWORD StyleOf(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w ? w->style : 0;
}

bool HasFocus(HWND hwnd) { return hwnd && GetFocus() == hwnd; }

void NotifyParent(HWND control, WORD code) {
    auto* w = LiveWindow(control);
    if (!w || !(w->style & WS_CHILD) || !w->parent) return;
    HWND parent = w->parent;
    SendMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code), reinterpret_cast<LPARAM>(control));
}

HBRUSH ControlColors(HWND control, HDC dc, UINT ctlColorMsg) {
    auto* w = LiveWindow(control);
    HBRUSH brush = nullptr;
    if (w && (w->style & WS_CHILD) && w->parent) {
        HWND parent = w->parent;
        brush = reinterpret_cast<HBRUSH>(
            SendMessage(parent, ctlColorMsg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    }
    if (!brush || !IsValidGdiObject(brush))
        brush = reinterpret_cast<HBRUSH>(DefWindowProc(control, ctlColorMsg, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(control)));
    return brush;
}

HFONT FontOrSystem(HFONT font) {
    if (font && GdiCast<FontObject>(font, GdiKind::Font)) return font;
    return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

const RealizedFont& RealizedFontOf(HFONT font) {
    auto* f = GdiCast<FontObject>(FontOrSystem(font), GdiKind::Font);
    return RealizeLogFont(f ? f->log : LOGFONT{});
}

int LineHeightOf(HFONT font) { return std::max<int>(1, RealizedFontOf(font).Metrics().tmHeight); }

int TextWidthOf(HFONT font, std::string_view text) {
    const RealizedFont& f = RealizedFontOf(font);
    int width = 0;
    for (char c : text) width += f.Advance(static_cast<unsigned char>(c));
    return width;
}

bool HandleFontMessage(HWND hwnd, ControlData& data, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_GETFONT) {
        result = reinterpret_cast<LRESULT>(data.font);
        return true;
    }
    if (msg != WM_SETFONT) return false;
    data.font = reinterpret_cast<HFONT>(wParam);
    if (LOWORD(static_cast<UINT_PTR>(lParam))) InvalidateRect(hwnd, nullptr, TRUE);
    result = 0;
    return true;
}

ControlPaint::ControlPaint(HWND hwnd, HFONT font) : hwnd_(hwnd) {
    BeginPaint(hwnd, &ps_);
    GetClientRect(hwnd, &client_);
    if (ps_.hdc) oldFont_ = SelectObject(ps_.hdc, FontOrSystem(font));
}

ControlPaint::~ControlPaint() {
    if (ps_.hdc && oldFont_) SelectObject(ps_.hdc, oldFont_);
    EndPaint(hwnd_, &ps_);
}

ControlDc::ControlDc(HWND hwnd, HFONT font) : hwnd_(hwnd), dc_(GetDC(hwnd)) {
    if (dc_) oldFont_ = SelectObject(dc_, FontOrSystem(font));
}

ControlDc::~ControlDc() {
    if (dc_ && oldFont_) SelectObject(dc_, oldFont_);
    if (dc_) ReleaseDC(hwnd_, dc_);
}

void FillSysColor(HDC dc, const RECT& r, int sysColor) {
    if (IsRectEmpty(r)) return;
    FillRect(dc, &r, GetSysColorBrush(sysColor));
}

void DrawFrame2(HDC dc, const RECT& r, int topLeftColor, int bottomRightColor) {
    if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
    FillSysColor(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeftColor);
    FillSysColor(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeftColor);
    FillSysColor(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRightColor);
    FillSysColor(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRightColor);
}

void DrawEdge3D(HDC dc, const RECT& r, bool raised) {
    RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    if (raised) {
        DrawFrame2(dc, r, COLOR_3DLIGHT, COLOR_3DDKSHADOW);
        DrawFrame2(dc, inner, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    } else {
        DrawFrame2(dc, r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        DrawFrame2(dc, inner, COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    }
}

void DrawArrowGlyph(HDC dc, const RECT& r, int direction, COLORREF color) {
    int w = r.right - r.left, h = r.bottom - r.top;
    int size = std::max(2, std::min(w, h) / 4);
    int cx = r.left + w / 2, cy = r.top + h / 2;
    // Drawn row by row so that the shape is exact at any size.
    HBRUSH brush = CreateSolidBrush(color);
    for (int i = 0; i < size; ++i) {
        RECT line;
        switch (direction) {
        case 0: line = RECT{cx - i, cy - size / 2 + i, cx + i + 1, cy - size / 2 + i + 1}; break;
        case 1: line = RECT{cx - i, cy + size / 2 - i, cx + i + 1, cy + size / 2 - i + 1}; break;
        case 2: line = RECT{cx - size / 2 + i, cy - i, cx - size / 2 + i + 1, cy + i + 1}; break;
        default: line = RECT{cx + size / 2 - i, cy - i, cx + size / 2 - i + 1, cy + i + 1}; break;
        }
        FillRect(dc, &line, brush);
    }
    DeleteObject(brush);
}

int MnemonicOf(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return std::toupper(static_cast<unsigned char>(text[i + 1]));
    }
    return 0;
}

LRESULT CopyTextOut(const std::string& text, WPARAM size, LPARAM buffer) {
    auto* out = reinterpret_cast<char*>(buffer);
    if (!out || size == 0) return 0;
    std::size_t n = std::min<std::size_t>(size - 1, text.size());
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

void RegisterControlClass(const char* name, WNDPROC proc, UINT style, int cursorId) {
    WNDCLASS wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hCursor = LoadCursor(nullptr, cursorId);
    wc.lpszClassName = name;
    RegisterSystemClass(wc);
}

void InstallStandardControls() {
    RegisterButtonClass();
    RegisterStaticClass();
    RegisterEditClass();
    RegisterListBoxClasses();
    RegisterComboBoxClass();
    RegisterScrollBarClass();
    InstallScrollBarHooks();
    RegisterDialogClass();
}

}  // namespace win
