// The "COMBOBOX" class: a selection field over a list of items. Simple combo boxes show an edit
// field with the list always below it; drop-down ones an edit field and a button that drops the
// list; drop-down lists a field that shows the selected item. The list is a "ComboLBox" list box
// (a child for simple combo boxes, a popup hanging below the field for the others) and the edit
// field an "EDIT" child.
#include <algorithm>
#include <cstring>

#include "platform/control_internal.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

namespace {

struct ComboData : ControlData {
    HWND edit = nullptr;
    HWND list = nullptr;
    bool dropped = false;
    bool closing = false;
    bool settingText = false;  // the edit's text is being set by the combo box itself
    bool hasFocus = false;
    bool extendedUi = false;
    int droppedHeight = 100;  // the whole height with the list dropped
    int selBeforeDrop = -1;
    int notifiedSel = -1;  // the selection the parent last heard of while the list was down
    bool listScrolls = false;  // WS_VSCROLL given to the combo box belongs to its list
};

DWORD KindOf(DWORD style) { return style & 0x3; }
bool IsSimple(HWND hwnd) { return KindOf(StyleOf(hwnd)) == CBS_SIMPLE; }
bool IsDropList(HWND hwnd) { return KindOf(StyleOf(hwnd)) == CBS_DROPDOWNLIST; }

int FieldHeight(const ComboData& d) { return LineHeightOf(d.font) + 8; }
int ButtonWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

RECT ButtonRect(HWND hwnd) {
    RECT c;
    GetClientRect(hwnd, &c);
    if (IsSimple(hwnd)) return RECT{};
    return RECT{c.right - 2 - ButtonWidth(), c.top + 2, c.right - 2, c.bottom - 2};
}

RECT FieldRect(HWND hwnd, const ComboData& d) {
    RECT c;
    GetClientRect(hwnd, &c);
    if (IsSimple(hwnd)) c.bottom = std::min<LONG>(c.bottom, FieldHeight(d));
    return c;
}

LRESULT ToList(const ComboData& d, UINT msg, WPARAM wParam, LPARAM lParam) {
    return d.list ? SendMessage(d.list, msg, wParam, lParam) : CB_ERR;
}

int CurSel(const ComboData& d) { return static_cast<int>(ToList(d, LB_GETCURSEL, 0, 0)); }

std::string ItemText(const ComboData& d, int index) {
    LRESULT len = ToList(d, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len < 0) return std::string();
    std::string s(static_cast<std::size_t>(len) + sizeof(ULONG_PTR) + 1, '\0');
    LRESULT got = ToList(d, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
    s.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return s;
}

// The field shows the selection: the edit gets the item's text, all of it selected.
void ShowSelection(HWND hwnd, ComboData& d) {
    if (d.edit) {
        int sel = CurSel(d);
        std::string text = sel >= 0 ? ItemText(d, sel) : std::string();
        d.settingText = true;
        SetWindowText(d.edit, text.c_str());
        if (auto* live = DataOf<ComboData>(hwnd)) live->settingText = false;
        SendMessage(d.edit, EM_SETSEL, 0, -1);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

void LayoutChildren(HWND hwnd, ComboData& d) {
    RECT c;
    GetClientRect(hwnd, &c);
    int fh = FieldHeight(d);
    if (d.edit) {
        int right = IsSimple(hwnd) ? c.right - 3 : c.right - 2 - ButtonWidth() - 1;
        MoveWindow(d.edit, 3, 3, std::max(0, right - 3), std::max(0, fh - 6), TRUE);
    }
    if (d.list && IsSimple(hwnd)) MoveWindow(d.list, 0, fh, c.right, std::max<LONG>(0, c.bottom - fh), TRUE);
}

void Notify(HWND hwnd, WORD code) { NotifyParent(hwnd, code); }

void Drop(HWND hwnd, ComboData& d) {
    if (d.dropped || !d.list || IsSimple(hwnd)) return;
    Notify(hwnd, CBN_DROPDOWN);
    auto* live = DataOf<ComboData>(hwnd);
    if (!live) return;
    RECT wr;
    GetWindowRect(hwnd, &wr);
    int count = static_cast<int>(ToList(*live, LB_GETCOUNT, 0, 0));
    int ih = std::max<int>(1, static_cast<int>(ToList(*live, LB_GETITEMHEIGHT, 0, 0)));
    int room = std::max(ih + 2, live->droppedHeight - (wr.bottom - wr.top));
    int height = std::min(room, std::max(1, count) * ih + 2);
    int y = wr.bottom;
    SIZE screen = SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (y + height > screen.cy && wr.top - height >= 0) y = wr.top - height;
    live->selBeforeDrop = live->notifiedSel = CurSel(*live);
    SetWindowPos(live->list, HWND_TOP, wr.left, y, wr.right - wr.left, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SendMessage(live->list, kLbSetDropped, TRUE, 0);
    live->dropped = true;
    SetCapture(live->list);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CloseUp(HWND hwnd, ComboData& d, bool ok) {
    if (!d.dropped || d.closing) return;
    d.closing = true;
    if (!ok) ToList(d, LB_SETCURSEL, static_cast<WPARAM>(d.selBeforeDrop), 0);
    SendMessage(d.list, kLbSetDropped, FALSE, 0);
    if (GetCapture() == d.list) ReleaseCapture();
    ShowWindow(d.list, SW_HIDE);
    d.dropped = false;
    int sel = CurSel(d);
    bool changed = sel != d.notifiedSel;
    if (ok || changed) ShowSelection(hwnd, d);
    if (changed) Notify(hwnd, CBN_SELCHANGE);
    if (LiveWindow(hwnd)) Notify(hwnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if (LiveWindow(hwnd)) Notify(hwnd, CBN_CLOSEUP);
    if (auto* live = DataOf<ComboData>(hwnd)) {
        live->closing = false;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

// A selection made by the user with the keys: the field follows and the parent hears at once.
void SelectByUser(HWND hwnd, ComboData& d, int index) {
    int count = static_cast<int>(ToList(d, LB_GETCOUNT, 0, 0));
    if (count <= 0) return;
    index = std::clamp(index, 0, count - 1);
    if (index == CurSel(d)) return;
    ToList(d, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowSelection(hwnd, d);
    d.notifiedSel = index;
    Notify(hwnd, CBN_SELCHANGE);
}

bool KeyDown(HWND hwnd, ComboData& d, UINT msg, WPARAM vk) {
    // Alt+Down/Up and F4 open the list, or close it keeping what it shows.
    const bool toggle = msg == WM_SYSKEYDOWN ? (vk == VK_DOWN || vk == VK_UP) : vk == VK_F4;
    if (toggle) {
        if (d.dropped)
            CloseUp(hwnd, d, true);
        else
            Drop(hwnd, d);
        return true;
    }
    if (msg == WM_SYSKEYDOWN) return false;
    if (d.dropped && (vk == VK_RETURN || vk == VK_ESCAPE)) {
        CloseUp(hwnd, d, vk == VK_RETURN);
        return true;
    }
    int sel = CurSel(d);
    int count = static_cast<int>(ToList(d, LB_GETCOUNT, 0, 0));
    int page = std::max(1, static_cast<int>(d.droppedHeight / std::max<LRESULT>(1, ToList(d, LB_GETITEMHEIGHT, 0, 0))) - 1);
    switch (vk) {
    case VK_UP: SelectByUser(hwnd, d, sel < 0 ? 0 : sel - 1); return true;
    case VK_DOWN: SelectByUser(hwnd, d, sel < 0 ? 0 : sel + 1); return true;
    case VK_PRIOR: SelectByUser(hwnd, d, sel - page); return true;
    case VK_NEXT: SelectByUser(hwnd, d, sel + page); return true;
    case VK_HOME:
        if (!IsDropList(hwnd)) return false;
        SelectByUser(hwnd, d, 0);
        return true;
    case VK_END:
        if (!IsDropList(hwnd)) return false;
        SelectByUser(hwnd, d, count - 1);
        return true;
    default: return false;
    }
}

void FocusGained(HWND hwnd, ComboData& d) {
    if (d.hasFocus) return;
    d.hasFocus = true;
    InvalidateRect(hwnd, nullptr, FALSE);
    NoteDialogFocus(hwnd);
    if (LiveWindow(hwnd)) Notify(hwnd, CBN_SETFOCUS);
}

void FocusLost(HWND hwnd, ComboData& d, HWND newFocus) {
    if (newFocus && (newFocus == hwnd || IsChild(hwnd, newFocus) || newFocus == d.list)) return;
    if (d.dropped) CloseUp(hwnd, d, false);
    auto* live = DataOf<ComboData>(hwnd);
    if (!live || !live->hasFocus) return;
    live->hasFocus = false;
    InvalidateRect(hwnd, nullptr, FALSE);
    Notify(hwnd, CBN_KILLFOCUS);
}

void ChildCommand(HWND hwnd, ComboData& d, WPARAM wParam) {
    WORD id = LOWORD(wParam), code = HIWORD(wParam);
    if (id == kComboEditId) {
        switch (code) {
        case EN_CHANGE: {
            if (d.settingText) return;
            std::string text = GetWindowText(d.edit);
            // While the list is down it follows what is typed; otherwise the typed text no longer
            // stands for an item.
            LRESULT match = text.empty() ? CB_ERR : ToList(d, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                                           reinterpret_cast<LPARAM>(text.c_str()));
            if (d.dropped && match >= 0) {
                ToList(d, LB_SETCURSEL, static_cast<WPARAM>(match), 0);
                ToList(d, LB_SETTOPINDEX, static_cast<WPARAM>(match), 0);
            } else {
                ToList(d, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            }
            Notify(hwnd, CBN_EDITCHANGE);
            return;
        }
        case EN_UPDATE:
            if (!d.settingText) Notify(hwnd, CBN_EDITUPDATE);
            return;
        case EN_SETFOCUS: FocusGained(hwnd, d); return;
        case EN_KILLFOCUS: FocusLost(hwnd, d, GetFocus() == d.edit ? nullptr : GetFocus()); return;
        default: return;
        }
    }
    if (id == kComboListId) {
        if (code == LBN_SELCHANGE && !d.dropped) {
            ShowSelection(hwnd, d);
            Notify(hwnd, CBN_SELCHANGE);
        } else if (code == LBN_DBLCLK) {
            Notify(hwnd, CBN_DBLCLK);
        }
    }
}

void Paint(HWND hwnd, ComboData& d) {
    ControlPaint paint(hwnd, d.font);
    HDC dc = paint.dc();
    if (!dc) return;
    RECT field = FieldRect(hwnd, d);
    bool enabled = IsWindowEnabled(hwnd);
    HBRUSH bg = ControlColors(hwnd, dc, IsDropList(hwnd) ? WM_CTLCOLORLISTBOX : WM_CTLCOLOREDIT);
    if (IsSimple(hwnd)) {
        DrawEdge3D(dc, field, false);
        return;
    }
    RECT inner = field;
    InflateRect(&inner, -2, -2);
    FillRect(dc, &inner, bg);
    DrawEdge3D(dc, field, false);
    RECT button = ButtonRect(hwnd);
    FillSysColor(dc, button, COLOR_BTNFACE);
    if (d.dropped)
        DrawFrame2(dc, button, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
    else
        DrawEdge3D(dc, button, true);
    DrawArrowGlyph(dc, button, 1, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    if (!IsDropList(hwnd)) return;
    RECT text{inner.left + 1, inner.top + 1, button.left - 1, inner.bottom - 1};
    bool focused = d.hasFocus && !d.dropped;
    int sel = CurSel(d);
    DWORD style = StyleOf(hwnd);
    if (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) {
        auto* w = LiveWindow(hwnd);
        if (!w || !w->parent) return;
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_COMBOBOX;
        dis.CtlID = static_cast<UINT>(w->id);
        dis.itemID = static_cast<UINT>(sel);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = ODS_COMBOBOXEDIT | (focused ? ODS_SELECTED | ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
        dis.hwndItem = hwnd;
        dis.hDC = dc;
        dis.rcItem = text;
        dis.itemData = sel >= 0 ? static_cast<ULONG_PTR>(ToList(d, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0)) : 0;
        HWND parent = w->parent;
        SendMessage(parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&dis));
        return;
    }
    if (focused) FillSysColor(dc, text, COLOR_HIGHLIGHT);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT : focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    if (sel >= 0) {
        RECT t{text.left + 2, text.top, text.right, text.bottom};
        DrawText(dc, ItemText(d, sel), &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (focused) DrawFocusRect(dc, &text);
}

void Create(HWND hwnd, ComboData& d, const CREATESTRUCT* cs) {
    DWORD style = StyleOf(hwnd);
    d.droppedHeight = cs ? std::max(cs->cy, 0) : 100;
    HINSTANCE instance = cs ? cs->hInstance : nullptr;
    DWORD listStyle = WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | (d.listScrolls ? WS_VSCROLL : 0);
    if (style & CBS_SORT) listStyle |= LBS_SORT;
    if (style & CBS_HASSTRINGS) listStyle |= LBS_HASSTRINGS;
    if (style & CBS_OWNERDRAWFIXED) listStyle |= LBS_OWNERDRAWFIXED;
    if (style & CBS_OWNERDRAWVARIABLE) listStyle |= LBS_OWNERDRAWVARIABLE;
    if (style & CBS_DISABLENOSCROLL) listStyle |= LBS_DISABLENOSCROLL;
    if (IsSimple(hwnd)) {
        d.list = CreateWindowEx(0, kComboListClass, "", listStyle | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd,
                                ChildIdMenu(kComboListId), instance, hwnd);
    } else {
        d.list = CreateWindowEx(WS_EX_TOOLWINDOW, kComboListClass, "", listStyle | WS_POPUP, 0, 0, 0, 0,
                                GetAncestorTopLevel(hwnd), nullptr, instance, hwnd);
    }
    if (!IsDropList(hwnd)) {
        DWORD editStyle = WS_CHILD | WS_VISIBLE;
        if (style & CBS_AUTOHSCROLL) editStyle |= ES_AUTOHSCROLL;
        if (style & CBS_UPPERCASE) editStyle |= ES_UPPERCASE;
        if (style & CBS_LOWERCASE) editStyle |= ES_LOWERCASE;
        d.edit = CreateWindowEx(0, kEditClass, cs && cs->lpszName ? cs->lpszName : "", editStyle, 0, 0, 0, 0, hwnd,
                                ChildIdMenu(kComboEditId), instance, nullptr);
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, IsSimple(hwnd) ? r.bottom - r.top : d.droppedHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (auto* live = DataOf<ComboData>(hwnd)) LayoutChildren(hwnd, *live);
}

LRESULT ListForward(ComboData& d, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (msg) {
    case CB_ADDSTRING: return ToList(d, LB_ADDSTRING, wParam, lParam);
    case CB_INSERTSTRING: return ToList(d, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING: return ToList(d, LB_DELETESTRING, wParam, lParam);
    case CB_GETCOUNT: return ToList(d, LB_GETCOUNT, wParam, lParam);
    case CB_GETCURSEL: return ToList(d, LB_GETCURSEL, wParam, lParam);
    case CB_GETLBTEXT: return ToList(d, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN: return ToList(d, LB_GETTEXTLEN, wParam, lParam);
    case CB_FINDSTRING: return ToList(d, LB_FINDSTRING, wParam, lParam);
    case CB_FINDSTRINGEXACT: return ToList(d, LB_FINDSTRINGEXACT, wParam, lParam);
    case CB_GETITEMDATA: return ToList(d, LB_GETITEMDATA, wParam, lParam);
    case CB_SETITEMDATA: return ToList(d, LB_SETITEMDATA, wParam, lParam);
    case CB_GETTOPINDEX: return ToList(d, LB_GETTOPINDEX, wParam, lParam);
    case CB_SETTOPINDEX: return ToList(d, LB_SETTOPINDEX, wParam, lParam);
    case CB_GETITEMHEIGHT: return ToList(d, LB_GETITEMHEIGHT, static_cast<INT_PTR>(wParam) < 0 ? 0 : wParam, lParam);
    case CB_SETITEMHEIGHT: return ToList(d, LB_SETITEMHEIGHT, static_cast<INT_PTR>(wParam) < 0 ? 0 : wParam, lParam);
    default: handled = false; return 0;
    }
}

LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* made = AttachData<ComboData>(hwnd);
        if (auto* w = LiveWindow(hwnd); w && made) {
            made->listScrolls = (w->style & WS_VSCROLL) != 0;
            w->style &= ~(WS_VSCROLL | WS_HSCROLL);
        }
    }
    auto* d = DataOf<ComboData>(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (HandleFontMessage(hwnd, *d, msg, wParam, lParam, result)) {
        if (msg == WM_SETFONT) {
            if (d->edit) SendMessage(d->edit, WM_SETFONT, wParam, lParam);
            if (d->list) SendMessage(d->list, WM_SETFONT, wParam, lParam);
            if (auto* live = DataOf<ComboData>(hwnd); live && !IsSimple(hwnd)) {
                RECT r;
                GetWindowRect(hwnd, &r);
                SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, FieldHeight(*live),
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            if (auto* live = DataOf<ComboData>(hwnd)) LayoutChildren(hwnd, *live);
        }
        return result;
    }
    bool handled = false;
    result = ListForward(*d, msg, wParam, lParam, handled);
    if (handled) {
        if (msg == CB_DELETESTRING || msg == CB_ADDSTRING || msg == CB_INSERTSTRING) InvalidateRect(hwnd, nullptr, FALSE);
        return result;
    }
    switch (msg) {
    case WM_CREATE:
        Create(hwnd, *d, reinterpret_cast<const CREATESTRUCT*>(lParam));
        return 0;
    case WM_DESTROY:
        if (d->list && !IsSimple(hwnd)) {
            HWND list = d->list;
            d->list = nullptr;
            DestroyWindow(list);
        }
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // The height a drop-down combo box is given is the height with its list dropped; the
        // window itself is only as high as its field.
        auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
        if (wp && !(wp->flags & SWP_NOSIZE) && !IsSimple(hwnd) && wp->cy != FieldHeight(*d)) {
            d->droppedHeight = wp->cy;
            wp->cy = FieldHeight(*d);
        }
        return 0;
    }
    case WM_SIZE:
        LayoutChildren(hwnd, *d);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOVE:
        if (d->dropped) CloseUp(hwnd, *d, false);
        return 0;
    case WM_ENABLE:
        if (d->edit) EnableWindow(d->edit, wParam != 0);
        if (d->list) EnableWindow(d->list, wParam != 0);
        if (!wParam && d->dropped) CloseUp(hwnd, *d, false);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS;
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (d->dropped && m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_SETFOCUS:
        if (d->edit) {
            SetFocus(d->edit);
            if (auto* live = DataOf<ComboData>(hwnd); live && live->edit) SendMessage(live->edit, EM_SETSEL, 0, -1);
            return 0;
        }
        FocusGained(hwnd, *d);
        return 0;
    case WM_KILLFOCUS:
        if (!d->edit) FocusLost(hwnd, *d, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        HWND focusTarget = d->edit ? d->edit : hwnd;
        if (GetFocus() != focusTarget) SetFocus(hwnd);
        auto* live = DataOf<ComboData>(hwnd);
        if (!live || IsSimple(hwnd)) return 0;
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT button = ButtonRect(hwnd);
        if (!IsDropList(hwnd) && !PtInRect(&button, pt)) return 0;
        if (live->dropped)
            CloseUp(hwnd, *live, true);
        else
            Drop(hwnd, *live);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (KeyDown(hwnd, *d, msg, wParam)) return 0;
        break;
    case WM_CHAR:
        if (IsDropList(hwnd) && wParam >= 0x20) {
            char prefix[2] = {static_cast<char>(wParam), 0};
            LRESULT i = ToList(*d, LB_FINDSTRING, static_cast<WPARAM>(CurSel(*d)), reinterpret_cast<LPARAM>(prefix));
            if (i >= 0) SelectByUser(hwnd, *d, static_cast<int>(i));
        }
        return 0;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == d->edit || reinterpret_cast<HWND>(lParam) == d->list)
            ChildCommand(hwnd, *d, wParam);
        return 0;
    case kCbCloseUp:
        CloseUp(hwnd, *d, wParam != 0);
        return 0;
    case WM_SETTEXT:
        if (d->edit) {
            d->settingText = true;
            SetWindowText(d->edit, reinterpret_cast<const char*>(lParam));
            if (auto* live = DataOf<ComboData>(hwnd)) live->settingText = false;
            return TRUE;
        } else {
            LRESULT i = ToList(*d, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), lParam);
            if (i < 0) return CB_ERR;
            ToList(*d, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
            InvalidateRect(hwnd, nullptr, FALSE);
            return TRUE;
        }
    case WM_GETTEXTLENGTH:
        if (d->edit) return GetWindowTextLength(d->edit);
        return CurSel(*d) >= 0 ? static_cast<LRESULT>(ItemText(*d, CurSel(*d)).size()) : 0;
    case WM_GETTEXT:
        return CopyTextOut(d->edit ? GetWindowText(d->edit) : CurSel(*d) >= 0 ? ItemText(*d, CurSel(*d)) : std::string(),
                           wParam, lParam);
    case CB_SETCURSEL: {
        LRESULT r = ToList(*d, LB_SETCURSEL, wParam, 0);
        ShowSelection(hwnd, *d);
        return r;
    }
    case CB_SELECTSTRING: {
        LRESULT r = ToList(*d, LB_SELECTSTRING, wParam, lParam);
        if (r >= 0) ShowSelection(hwnd, *d);
        return r;
    }
    case CB_RESETCONTENT:
        ToList(*d, LB_RESETCONTENT, 0, 0);
        if (auto* live = DataOf<ComboData>(hwnd)) ShowSelection(hwnd, *live);
        return CB_OKAY;
    case CB_SHOWDROPDOWN:
        if (wParam)
            Drop(hwnd, *d);
        else
            CloseUp(hwnd, *d, true);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return d->dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT: {
        if (!lParam) return CB_ERR;
        RECT r;
        GetWindowRect(hwnd, &r);
        if (!IsSimple(hwnd)) r.bottom = r.top + std::max<LONG>(d->droppedHeight, r.bottom - r.top);
        *reinterpret_cast<RECT*>(lParam) = r;
        return CB_OKAY;
    }
    case CB_SETEXTENDEDUI:
        d->extendedUi = wParam != 0;
        return CB_OKAY;
    case CB_GETEXTENDEDUI:
        return d->extendedUi ? TRUE : FALSE;
    case CB_LIMITTEXT:
        if (d->edit) SendMessage(d->edit, EM_LIMITTEXT, wParam, 0);
        return TRUE;
    case CB_GETEDITSEL:
        return d->edit ? SendMessage(d->edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
        if (!d->edit) return CB_ERR;
        SendMessage(d->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<INT_PTR>(static_cast<SHORT>(LOWORD(lParam)))),
                    static_cast<LPARAM>(static_cast<SHORT>(HIWORD(lParam))));
        return TRUE;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterComboBoxClass() { RegisterControlClass(kComboBoxClass, ComboProc, CS_DBLCLKS | CS_PARENTDC); }

}  // namespace win
