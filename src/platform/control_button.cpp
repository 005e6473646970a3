// The "BUTTON" class: push and default push buttons, check boxes (two and three states, plain or
// automatic), radio buttons (plain or automatic), group boxes and owner-drawn buttons.
#include <strings.h>

#include <algorithm>

#include "platform/control_internal.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

namespace {

struct ButtonData : ControlData {
    WPARAM check = BST_UNCHECKED;
    bool pushed = false;     // drawn pressed
    bool mouseDown = false;  // the left button went down on it and the mouse is captured
    bool spaceDown = false;
};

constexpr int kCheckBoxSize = 13;

DWORD TypeOf(DWORD style) { return style & BS_TYPEMASK; }
bool IsCheckType(DWORD t) { return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE; }
bool IsRadioType(DWORD t) { return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON; }
bool IsThreeState(DWORD t) { return t == BS_3STATE || t == BS_AUTO3STATE; }
bool DrawnAsPush(DWORD style) {
    DWORD t = TypeOf(style);
    return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || ((style & BS_PUSHLIKE) && (IsCheckType(t) || IsRadioType(t)));
}

bool NotifiesAlways(DWORD t) { return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON || t == BS_OWNERDRAW; }

UINT OwnerDrawState(HWND hwnd, const ButtonData& d) {
    UINT state = 0;
    if (d.pushed) state |= ODS_SELECTED;
    if (HasFocus(hwnd)) state |= ODS_FOCUS;
    if (!IsWindowEnabled(hwnd)) state |= ODS_DISABLED;
    return state;
}

void SendDrawItem(HWND hwnd, const ButtonData& d, HDC dc, UINT action) {
    auto* w = LiveWindow(hwnd);
    if (!w || !w->parent) return;
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(w->id);
    dis.itemID = 0;
    dis.itemAction = action;
    dis.itemState = OwnerDrawState(hwnd, d);
    dis.hwndItem = hwnd;
    dis.hDC = dc;
    GetClientRect(hwnd, &dis.rcItem);
    HWND parent = w->parent;
    SendMessage(parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&dis));
}

// An owner-drawn button is told at once what changed; the others repaint.
void Refresh(HWND hwnd, ButtonData& d, UINT ownerAction) {
    if (TypeOf(StyleOf(hwnd)) == BS_OWNERDRAW) {
        if (!IsWindowVisible(hwnd)) return;
        ControlDc cdc(hwnd, d.font);
        if (cdc.dc()) SendDrawItem(hwnd, d, cdc.dc(), ownerAction);
        return;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

void SetPushed(HWND hwnd, ButtonData& d, bool pushed) {
    if (d.pushed == pushed) return;
    d.pushed = pushed;
    Refresh(hwnd, d, ODA_SELECT);
}

void SetCheck(HWND hwnd, ButtonData& d, WPARAM check) {
    DWORD t = TypeOf(StyleOf(hwnd));
    if (!IsCheckType(t) && !IsRadioType(t)) return;
    if (check > BST_INDETERMINATE) check = BST_CHECKED;
    if (check == BST_INDETERMINATE && !IsThreeState(t)) check = BST_CHECKED;
    // A radio button is a tab stop while checked, so Tab enters its group at the checked one.
    if (IsRadioType(t))
        if (auto* w = LiveWindow(hwnd)) w->style = check ? (w->style | WS_TABSTOP) : (w->style & ~WS_TABSTOP);
    if (d.check == check) return;
    d.check = check;
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Unchecks the other automatic radio buttons of the button's group (from the sibling with
// WS_GROUP up to the next one).
void UncheckGroupSiblings(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w || !w->parent) return;
    std::vector<HWND> siblings(w->parent->children.begin(), w->parent->children.end());
    auto self = std::find(siblings.begin(), siblings.end(), hwnd);
    if (self == siblings.end()) return;
    auto first = self;
    while (first != siblings.begin() && !(StyleOf(*first) & WS_GROUP)) --first;
    auto last = self + 1;
    while (last != siblings.end() && !(StyleOf(*last) & WS_GROUP)) ++last;
    for (auto it = first; it != last; ++it) {
        if (*it == hwnd || !LiveWindow(*it)) continue;
        if (strcasecmp(GetClassName(*it).c_str(), kButtonClass) == 0 && TypeOf(StyleOf(*it)) == BS_AUTORADIOBUTTON)
            SendMessage(*it, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

// A completed click: automatic buttons change state first, then the parent hears of it.
void Click(HWND hwnd, ButtonData& d) {
    DWORD t = TypeOf(StyleOf(hwnd));
    if (t == BS_AUTOCHECKBOX) SetCheck(hwnd, d, d.check ? BST_UNCHECKED : BST_CHECKED);
    if (t == BS_AUTO3STATE) SetCheck(hwnd, d, (d.check + 1) % 3);
    if (t == BS_AUTORADIOBUTTON) {
        SetCheck(hwnd, d, BST_CHECKED);
        UncheckGroupSiblings(hwnd);
    }
    NotifyParent(hwnd, BN_CLICKED);
}

bool InsideClient(HWND hwnd, LPARAM lParam) {
    RECT r;
    GetClientRect(hwnd, &r);
    return PtInRect(&r, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != FALSE;
}

LRESULT DialogCode(DWORD style) {
    switch (TypeOf(style)) {
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
    }
}

// --- painting ---------------------------------------------------------------------------------

void DrawLabel(HDC dc, HWND hwnd, RECT r, UINT format, bool enabled) {
    std::string text = GetWindowText(hwnd);
    if (text.empty()) return;
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawText(dc, text, &r, format);
}

UINT HorizontalFormat(DWORD style, UINT fallback) {
    switch (style & BS_CENTER) {
    case BS_LEFT: return DT_LEFT;
    case BS_RIGHT: return DT_RIGHT;
    case BS_CENTER: return DT_CENTER;
    default: return fallback;
    }
}

// The text rectangle a label of format occupies inside area (for the focus frame).
RECT LabelBounds(HDC dc, HWND hwnd, const RECT& area, UINT format) {
    std::string text = GetWindowText(hwnd);
    RECT calc{area.left, area.top, area.right, area.top};
    DrawText(dc, text, &calc, (format & ~(DT_VCENTER | DT_CENTER | DT_RIGHT)) | DT_CALCRECT);
    int w = calc.right - calc.left, h = calc.bottom - calc.top;
    RECT r{area.left, area.top + (area.bottom - area.top - h) / 2, area.left + w, 0};
    if (format & DT_CENTER) r.left = area.left + (area.right - area.left - w) / 2;
    if (format & DT_RIGHT) r.left = area.right - w;
    r.right = r.left + w;
    r.bottom = r.top + h;
    return r;
}

void PaintPush(HDC dc, HWND hwnd, const ButtonData& d, const RECT& client) {
    DWORD style = StyleOf(hwnd);
    bool enabled = IsWindowEnabled(hwnd);
    bool isDefault = TypeOf(style) == BS_DEFPUSHBUTTON;
    bool down = d.pushed || ((style & BS_PUSHLIKE) && d.check == BST_CHECKED);
    ControlColors(hwnd, dc, WM_CTLCOLORBTN);
    RECT r = client;
    FillSysColor(dc, r, COLOR_BTNFACE);
    if (isDefault) {
        DrawFrame2(dc, r, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
        InflateRect(&r, -1, -1);
    }
    if (down)
        DrawFrame2(dc, r, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
    else
        DrawEdge3D(dc, r, true);
    RECT text = r;
    InflateRect(&text, -3, -2);
    if (down) OffsetRect(&text, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    UINT format = HorizontalFormat(style, DT_CENTER) | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    DrawLabel(dc, hwnd, text, format, enabled);
    if (HasFocus(hwnd)) {
        RECT f = r;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void PaintCheckMark(HDC dc, const RECT& box, bool grey) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(grey ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    int x = box.left + 3, y = box.top + 5;
    for (int i = 0; i < 3; ++i) {  // a tick three pixels thick
        MoveToEx(dc, x, y + i, nullptr);
        LineTo(dc, x + 2, y + 2 + i);
        LineTo(dc, x + 7, y - 3 + i);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void PaintCheckOrRadio(HDC dc, HWND hwnd, const ButtonData& d, const RECT& client) {
    DWORD style = StyleOf(hwnd);
    bool enabled = IsWindowEnabled(hwnd);
    bool radio = IsRadioType(TypeOf(style));
    HBRUSH bg = ControlColors(hwnd, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &client, bg);
    bool boxRight = (style & BS_LEFTTEXT) != 0;
    int top = client.top + (client.bottom - client.top - kCheckBoxSize) / 2;
    RECT box{boxRight ? client.right - kCheckBoxSize : client.left, top, 0, top + kCheckBoxSize};
    box.right = box.left + kCheckBoxSize;
    int face = (d.pushed || !enabled) ? COLOR_BTNFACE : COLOR_WINDOW;
    if (radio) {
        HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HBRUSH fill = CreateSolidBrush(GetSysColor(face));
        HGDIOBJ oldPen = SelectObject(dc, dark), oldBrush = SelectObject(dc, fill);
        Ellipse(dc, box.left, box.top, box.right - 1, box.bottom - 1);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(dark);
        DeleteObject(fill);
        if (d.check) {
            HBRUSH dot = CreateSolidBrush(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW));
            HGDIOBJ ob = SelectObject(dc, dot), op = SelectObject(dc, GetStockObject(NULL_PEN));
            Ellipse(dc, box.left + 4, box.top + 4, box.right - 4, box.bottom - 4);
            SelectObject(dc, ob);
            SelectObject(dc, op);
            DeleteObject(dot);
        }
    } else {
        FillSysColor(dc, box, face);
        DrawEdge3D(dc, box, false);
        if (d.check == BST_CHECKED) PaintCheckMark(dc, box, !enabled);
        if (d.check == BST_INDETERMINATE) PaintCheckMark(dc, box, true);
    }
    RECT text = client;
    if (boxRight)
        text.right = box.left - 4;
    else
        text.left = box.right + 4;
    SetBkMode(dc, TRANSPARENT);
    UINT format = HorizontalFormat(style, DT_LEFT) | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    DrawLabel(dc, hwnd, text, format, enabled);
    if (HasFocus(hwnd) && !GetWindowText(hwnd).empty()) {
        RECT f = LabelBounds(dc, hwnd, text, format);
        InflateRect(&f, 1, 1);
        IntersectRect(&f, &f, &client);
        DrawFocusRect(dc, &f);
    }
}

void PaintGroupBox(HDC dc, HWND hwnd, HFONT font, const RECT& client) {
    HBRUSH bg = ControlColors(hwnd, dc, WM_CTLCOLORSTATIC);
    std::string text = GetWindowText(hwnd);
    int lineHeight = LineHeightOf(font);
    int frameTop = client.top + (text.empty() ? 0 : lineHeight / 2);
    // The frame is etched: a shadow line with a highlight line inside; the inside is left alone
    // because the controls of the group show there.
    DrawFrame2(dc, RECT{client.left, frameTop, client.right - 1, client.bottom - 1}, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
    DrawFrame2(dc, RECT{client.left + 1, frameTop + 1, client.right, client.bottom}, COLOR_BTNHIGHLIGHT,
               COLOR_BTNHIGHLIGHT);
    if (text.empty()) return;
    RECT calc{client.left + 8, client.top, client.right - 8, client.top};
    DrawText(dc, text, &calc, DT_SINGLELINE | DT_CALCRECT);
    RECT label{client.left + 6, client.top, std::min<LONG>(calc.right + 2, client.right - 6), client.top + lineHeight};
    FillRect(dc, &label, bg);
    SetBkMode(dc, TRANSPARENT);
    RECT textRect{label.left + 2, label.top, label.right, label.bottom};
    DrawLabel(dc, hwnd, textRect, DT_SINGLELINE | DT_LEFT, IsWindowEnabled(hwnd));
}

void Paint(HWND hwnd, ButtonData& d) {
    ControlPaint paint(hwnd, d.font);
    HDC dc = paint.dc();
    if (!dc) return;
    DWORD style = StyleOf(hwnd);
    DWORD t = TypeOf(style);
    if (t == BS_OWNERDRAW)
        SendDrawItem(hwnd, d, dc, ODA_DRAWENTIRE);
    else if (t == BS_GROUPBOX)
        PaintGroupBox(dc, hwnd, d.font, paint.client());
    else if (DrawnAsPush(style))
        PaintPush(dc, hwnd, d, paint.client());
    else
        PaintCheckOrRadio(dc, hwnd, d, paint.client());
}

void MouseDown(HWND hwnd, ButtonData& d) {
    if (GetFocus() != hwnd) SetFocus(hwnd);
    if (!LiveWindow(hwnd)) return;
    d.mouseDown = true;
    SetCapture(hwnd);
    SetPushed(hwnd, d, true);
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) AttachData<ButtonData>(hwnd);
    auto* d = DataOf<ButtonData>(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (HandleFontMessage(hwnd, *d, msg, wParam, lParam, result)) return result;
    DWORD style = StyleOf(hwnd);
    DWORD type = TypeOf(style);
    switch (msg) {
    case WM_NCHITTEST:
        // Clicks inside a group box reach the controls beneath it.
        if (type == BS_GROUPBOX) return HTTRANSPARENT;
        break;
    case WM_GETDLGCODE:
        return DialogCode(style);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        Refresh(hwnd, *d, ODA_FOCUS);
        NoteDialogFocus(hwnd);
        if ((style & BS_NOTIFY) && LiveWindow(hwnd)) NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        d->spaceDown = false;
        if (d->mouseDown && GetCapture() == hwnd) ReleaseCapture();
        d->mouseDown = false;
        if (d->pushed) {
            d->pushed = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        Refresh(hwnd, *d, ODA_FOCUS);
        if ((style & BS_NOTIFY) && LiveWindow(hwnd)) NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX) return 0;
        if (NotifiesAlways(type) || (style & BS_NOTIFY)) {
            NotifyParent(hwnd, BN_DOUBLECLICKED);
            if (NotifiesAlways(type)) return 0;
        }
        if (auto* again = DataOf<ButtonData>(hwnd)) MouseDown(hwnd, *again);
        return 0;
    case WM_LBUTTONDOWN:
        if (type != BS_GROUPBOX) MouseDown(hwnd, *d);
        return 0;
    case WM_MOUSEMOVE:
        if (d->mouseDown && GetCapture() == hwnd) SetPushed(hwnd, *d, InsideClient(hwnd, lParam));
        return 0;
    case WM_LBUTTONUP: {
        if (!d->mouseDown) return 0;
        d->mouseDown = false;
        bool inside = InsideClient(hwnd, lParam);
        if (GetCapture() == hwnd) ReleaseCapture();
        SetPushed(hwnd, *d, false);
        if (inside) Click(hwnd, *d);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (d->mouseDown && reinterpret_cast<HWND>(lParam) != hwnd) {
            d->mouseDown = false;
            SetPushed(hwnd, *d, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !d->spaceDown && !d->mouseDown && type != BS_GROUPBOX) {
            d->spaceDown = true;
            SetPushed(hwnd, *d, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && d->spaceDown) {
            d->spaceDown = false;
            bool wasPushed = d->pushed;
            SetPushed(hwnd, *d, false);
            if (wasPushed) Click(hwnd, *d);
        }
        return 0;
    case WM_CHAR:
        return 0;
    case BM_GETCHECK:
        return (IsCheckType(type) || IsRadioType(type)) ? static_cast<LRESULT>(d->check) : 0;
    case BM_SETCHECK:
        SetCheck(hwnd, *d, wParam);
        return 0;
    case BM_GETSTATE:
        return static_cast<LRESULT>(d->check) | (d->pushed ? BST_PUSHED : 0) | (HasFocus(hwnd) ? BST_FOCUS : 0);
    case BM_SETSTATE:
        SetPushed(hwnd, *d, wParam != 0);
        return 0;
    case BM_SETSTYLE: {
        auto* w = LiveWindow(hwnd);
        DWORD newStyle = (style & 0xFFFF0000u) | LOWORD(wParam);
        if (w && newStyle != w->style) {
            w->style = newStyle;
            if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case BM_CLICK:
        // Pressing and releasing the button, as the mouse would.
        if (!IsWindowEnabled(hwnd) || type == BS_GROUPBOX) return 0;
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (auto* again = DataOf<ButtonData>(hwnd)) {
            SetPushed(hwnd, *again, true);
            SetPushed(hwnd, *again, false);
            Click(hwnd, *again);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterButtonClass() { RegisterControlClass(kButtonClass, ButtonProc, CS_DBLCLKS | CS_PARENTDC); }

}  // namespace win
