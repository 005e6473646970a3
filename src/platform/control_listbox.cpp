// The "LISTBOX" class (and "ComboLBox", the list of a combo box): items with text and item data,
// sorted or in order, single, multiple or extended selection, owner-drawn items of fixed or
// variable height, the top index and scrolling, and the LB_* messages and LBN_* notifications.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/control_internal.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

namespace {

struct ListItem {
    std::string text;
    ULONG_PTR data = 0;
    bool selected = false;  // multiple-selection lists
    int height = 0;         // variable-height lists
};

struct ListBoxData : ControlData {
    std::vector<ListItem> items;
    int sel = -1;     // single selection
    int caret = 0;    // the item with the focus frame
    int anchor = 0;   // where an extended range starts
    int top = 0;
    int itemHeight = 0;
    HWND combo = nullptr;  // the combo box this list belongs to
    bool dropped = false;  // hanging below the combo box, tracking the mouse for it
    bool tracking = false;
    bool hasFocus = false;
    int tabStop = 0;
    bool vscroll = false;  // made with WS_VSCROLL: the bar comes and goes with the need for it
};

using Items = std::vector<ListItem>;

DWORD Style(HWND hwnd) { return StyleOf(hwnd); }
bool IsMulti(DWORD style) { return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
bool IsOwnerDraw(DWORD style) { return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }
bool HasStrings(DWORD style) { return !IsOwnerDraw(style) || (style & LBS_HASSTRINGS); }
int Count(const ListBoxData& d) { return static_cast<int>(d.items.size()); }
bool Valid(const ListBoxData& d, INT_PTR i) { return i >= 0 && i < Count(d); }

int ItemHeight(HWND hwnd, const ListBoxData& d, int i) {
    if ((Style(hwnd) & LBS_OWNERDRAWVARIABLE) && Valid(d, i)) return std::max(1, d.items[static_cast<std::size_t>(i)].height);
    return std::max(1, d.itemHeight);
}

int ClientHeight(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return r.bottom - r.top;
}

// How many items from `from` fit whole in the client area (at least one).
int FullyVisibleFrom(HWND hwnd, const ListBoxData& d, int from) {
    int h = ClientHeight(hwnd), used = 0, n = 0;
    for (int i = from; i < Count(d); ++i) {
        used += ItemHeight(hwnd, d, i);
        if (used > h) break;
        ++n;
    }
    if (from >= Count(d)) n = std::max(1, h / std::max(1, d.itemHeight));
    return std::max(1, n);
}

int MaxTop(HWND hwnd, const ListBoxData& d) {
    int h = ClientHeight(hwnd), used = 0;
    for (int i = Count(d) - 1; i >= 0; --i) {
        used += ItemHeight(hwnd, d, i);
        if (used > h) return std::min(Count(d) - 1, i + 1);
    }
    return 0;
}

RECT ItemRect(HWND hwnd, const ListBoxData& d, int index) {
    RECT c;
    GetClientRect(hwnd, &c);
    int y = 0;
    if (index >= d.top)
        for (int i = d.top; i < index; ++i) y += ItemHeight(hwnd, d, i);
    else
        for (int i = index; i < d.top; ++i) y -= ItemHeight(hwnd, d, i);
    return RECT{c.left, y, c.right, y + ItemHeight(hwnd, d, index)};
}

int ItemAtY(HWND hwnd, const ListBoxData& d, int y, bool* outside = nullptr) {
    if (outside) *outside = true;
    if (d.items.empty()) return -1;
    if (y < 0) return d.top > 0 ? d.top - 1 : 0;
    int top = 0;
    for (int i = d.top; i < Count(d); ++i) {
        int bottom = top + ItemHeight(hwnd, d, i);
        if (y < bottom) {
            if (outside) *outside = y >= ClientHeight(hwnd);
            return i;
        }
        top = bottom;
    }
    return Count(d) - 1;
}

void UpdateScrollBar(HWND hwnd, ListBoxData& d) {
    DWORD style = Style(hwnd);
    if (!d.vscroll) return;
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | ((style & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0);
    si.nMin = 0;
    si.nMax = std::max(0, Count(d) - 1);
    si.nPage = static_cast<UINT>(FullyVisibleFrom(hwnd, d, d.top));
    si.nPos = d.top;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void Changed(HWND hwnd, ListBoxData& d) {
    d.top = std::clamp(d.top, 0, MaxTop(hwnd, d));
    UpdateScrollBar(hwnd, d);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void SetTop(HWND hwnd, ListBoxData& d, int top) {
    top = std::clamp(top, 0, MaxTop(hwnd, d));
    if (top == d.top) return;
    d.top = top;
    UpdateScrollBar(hwnd, d);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void EnsureVisible(HWND hwnd, ListBoxData& d, int index) {
    if (!Valid(d, index)) return;
    if (index < d.top) {
        SetTop(hwnd, d, index);
        return;
    }
    int top = d.top;
    while (top < index && index >= top + FullyVisibleFrom(hwnd, d, top)) ++top;
    SetTop(hwnd, d, top);
}

// --- owner and notifications ------------------------------------------------------------------

// Owner-draw messages go to the list's parent, or for a combo box's list to the combo box's
// parent with the combo box's identity.
struct OwnerInfo {
    HWND owner = nullptr;
    UINT type = ODT_LISTBOX;
    UINT id = 0;
    HWND item = nullptr;
};

OwnerInfo OwnerOf(HWND hwnd, const ListBoxData& d) {
    OwnerInfo o;
    if (d.combo && LiveWindow(d.combo)) {
        o.owner = GetParent(d.combo);
        o.type = ODT_COMBOBOX;
        o.id = static_cast<UINT>(GetDlgCtrlID(d.combo));
        o.item = d.combo;
    } else {
        o.owner = GetParent(hwnd);
        o.id = static_cast<UINT>(GetDlgCtrlID(hwnd));
        o.item = hwnd;
    }
    return o;
}

void Notify(HWND hwnd, const ListBoxData& d, WORD code) {
    if (d.combo) {
        if (LiveWindow(d.combo))
            SendMessage(d.combo, WM_COMMAND, MAKEWPARAM(kComboListId, code), reinterpret_cast<LPARAM>(hwnd));
        return;
    }
    bool always = code == LBN_SETFOCUS || code == LBN_KILLFOCUS || code == LBN_ERRSPACE;
    if (always || (Style(hwnd) & LBS_NOTIFY)) NotifyParent(hwnd, code);
}

void MeasureItem(HWND hwnd, ListBoxData& d, int index, ListItem& item) {
    OwnerInfo o = OwnerOf(hwnd, d);
    MEASUREITEMSTRUCT mis;
    mis.CtlType = o.type;
    mis.CtlID = o.id;
    mis.itemID = static_cast<UINT>(index);
    mis.itemHeight = static_cast<UINT>(std::max(1, d.itemHeight));
    mis.itemData = item.data;
    if (o.owner) SendMessage(o.owner, WM_MEASUREITEM, o.id, reinterpret_cast<LPARAM>(&mis));
    item.height = static_cast<int>(std::max<UINT>(1, mis.itemHeight));
}

void SendDeleteItem(HWND hwnd, const ListBoxData& d, int index, const ListItem& item) {
    if (!IsOwnerDraw(Style(hwnd)) && item.data == 0) return;
    OwnerInfo o = OwnerOf(hwnd, d);
    if (!o.owner) return;
    DELETEITEMSTRUCT dis;
    dis.CtlType = o.type;
    dis.CtlID = o.id;
    dis.itemID = static_cast<UINT>(index);
    dis.hwndItem = o.item;
    dis.itemData = item.data;
    SendMessage(o.owner, WM_DELETEITEM, o.id, reinterpret_cast<LPARAM>(&dis));
}

int Compare(HWND hwnd, const ListBoxData& d, const ListItem& a, const ListItem& b, int bIndex) {
    if (HasStrings(Style(hwnd))) return strcasecmp(a.text.c_str(), b.text.c_str());
    OwnerInfo o = OwnerOf(hwnd, d);
    COMPAREITEMSTRUCT cis;
    cis.CtlType = o.type;
    cis.CtlID = o.id;
    cis.hwndItem = o.item;
    cis.itemID1 = static_cast<UINT>(-1);
    cis.itemData1 = a.data;
    cis.itemID2 = static_cast<UINT>(bIndex);
    cis.itemData2 = b.data;
    return o.owner ? static_cast<int>(SendMessage(o.owner, WM_COMPAREITEM, o.id, reinterpret_cast<LPARAM>(&cis))) : 1;
}

// --- items ------------------------------------------------------------------------------------

ListItem MakeItem(HWND hwnd, LPARAM lParam) {
    ListItem item;
    if (HasStrings(Style(hwnd)))
        item.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
    else
        item.data = static_cast<ULONG_PTR>(lParam);
    return item;
}

LRESULT Insert(HWND hwnd, ListBoxData& d, INT_PTR index, ListItem item, bool sorted) {
    if (index < 0 || index > Count(d)) index = Count(d);
    if (sorted) {
        index = 0;
        while (index < Count(d) && Compare(hwnd, d, item, d.items[static_cast<std::size_t>(index)], static_cast<int>(index)) >= 0)
            ++index;
    }
    auto at = static_cast<int>(index);
    if (Style(hwnd) & LBS_OWNERDRAWVARIABLE) MeasureItem(hwnd, d, at, item);
    d.items.insert(d.items.begin() + at, std::move(item));
    if (d.sel >= at) ++d.sel;
    if (d.caret >= at && Count(d) > 1) ++d.caret;
    if (d.anchor >= at && Count(d) > 1) ++d.anchor;
    Changed(hwnd, d);
    return at;
}

LRESULT Delete(HWND hwnd, ListBoxData& d, INT_PTR index) {
    if (!Valid(d, index)) return LB_ERR;
    auto at = static_cast<int>(index);
    ListItem gone = d.items[static_cast<std::size_t>(at)];
    d.items.erase(d.items.begin() + at);
    auto shift = [&](int& i, bool clearIfGone) {
        if (i > at) --i;
        else if (i == at && clearIfGone) i = -1;
    };
    shift(d.sel, true);
    shift(d.caret, false);
    shift(d.anchor, false);
    d.caret = std::clamp(d.caret, 0, std::max(0, Count(d) - 1));
    d.anchor = std::clamp(d.anchor, 0, std::max(0, Count(d) - 1));
    SendDeleteItem(hwnd, d, at, gone);
    if (auto* live = DataOf<ListBoxData>(hwnd)) Changed(hwnd, *live);
    return Count(d);
}

void Reset(HWND hwnd, ListBoxData& d) {
    Items gone;
    gone.swap(d.items);
    d.sel = -1;
    d.caret = d.anchor = d.top = 0;
    for (std::size_t i = 0; i < gone.size(); ++i) SendDeleteItem(hwnd, d, static_cast<int>(i), gone[i]);
    if (auto* live = DataOf<ListBoxData>(hwnd)) Changed(hwnd, *live);
}

bool Matches(HWND hwnd, const ListItem& item, LPARAM key, bool exact) {
    if (!HasStrings(Style(hwnd))) return item.data == static_cast<ULONG_PTR>(key);
    const char* s = key ? reinterpret_cast<const char*>(key) : "";
    std::size_t n = std::strlen(s);
    if (exact) return strcasecmp(item.text.c_str(), s) == 0;
    return item.text.size() >= n && strncasecmp(item.text.c_str(), s, n) == 0;
}

// Searches from the item after `start` (-1: from the first), going round once.
LRESULT Find(HWND hwnd, const ListBoxData& d, INT_PTR start, LPARAM key, bool exact) {
    int n = Count(d);
    if (n == 0) return LB_ERR;
    int from = (start < 0 || start >= n) ? 0 : static_cast<int>(start) + 1;
    for (int k = 0; k < n; ++k) {
        int i = (from + k) % n;
        if (Matches(hwnd, d.items[static_cast<std::size_t>(i)], key, exact)) return i;
    }
    return LB_ERR;
}

// --- selection --------------------------------------------------------------------------------

bool IsSelected(HWND hwnd, const ListBoxData& d, int i) {
    if (!Valid(d, i)) return false;
    return IsMulti(Style(hwnd)) ? d.items[static_cast<std::size_t>(i)].selected : d.sel == i;
}

void RedrawItem(HWND hwnd, const ListBoxData& d, int i) {
    if (!Valid(d, i)) return;
    RECT r = ItemRect(hwnd, d, i);
    InvalidateRect(hwnd, &r, TRUE);
}

// Single selection; returns true when it changed.
bool SelectSingle(HWND hwnd, ListBoxData& d, int index) {
    if (Style(hwnd) & LBS_NOSEL) return false;
    if (!Valid(d, index)) index = -1;
    bool changed = d.sel != index;
    RedrawItem(hwnd, d, d.sel);
    RedrawItem(hwnd, d, d.caret);
    d.sel = index;
    if (index >= 0) d.caret = d.anchor = index;
    RedrawItem(hwnd, d, index);
    EnsureVisible(hwnd, d, index);
    return changed;
}

bool SetItemSelected(HWND hwnd, ListBoxData& d, int i, bool on) {
    if (!Valid(d, i)) return false;
    ListItem& item = d.items[static_cast<std::size_t>(i)];
    if (item.selected == on) return false;
    item.selected = on;
    RedrawItem(hwnd, d, i);
    return true;
}

// Extended selection: exactly the range from..to (either order) is selected, or it is added to
// what is selected.
bool SelectRange(HWND hwnd, ListBoxData& d, int from, int to, bool add) {
    if (from > to) std::swap(from, to);
    bool changed = false;
    for (int i = 0; i < Count(d); ++i) {
        bool in = i >= from && i <= to;
        if (in || !add) changed |= SetItemSelected(hwnd, d, i, in);
    }
    return changed;
}

void MoveCaret(HWND hwnd, ListBoxData& d, int index) {
    if (!Valid(d, index)) return;
    RedrawItem(hwnd, d, d.caret);
    d.caret = index;
    RedrawItem(hwnd, d, index);
    EnsureVisible(hwnd, d, index);
}

// A user's choice of an item by mouse or key, with the list's selection rules.
void Choose(HWND hwnd, ListBoxData& d, int index, bool shift, bool ctrl, bool toggle) {
    if (!Valid(d, index)) return;
    DWORD style = Style(hwnd);
    bool changed = false;
    if (style & LBS_EXTENDEDSEL) {
        if (shift)
            changed = SelectRange(hwnd, d, d.anchor, index, ctrl);
        else if (ctrl && toggle) {
            changed = SetItemSelected(hwnd, d, index, !d.items[static_cast<std::size_t>(index)].selected);
            d.anchor = index;
        } else if (!ctrl) {
            changed = SelectRange(hwnd, d, index, index, false);
            d.anchor = index;
        }
        MoveCaret(hwnd, d, index);
    } else if (style & LBS_MULTIPLESEL) {
        if (toggle) changed = SetItemSelected(hwnd, d, index, !d.items[static_cast<std::size_t>(index)].selected);
        MoveCaret(hwnd, d, index);
    } else {
        changed = SelectSingle(hwnd, d, index);
    }
    if (changed) Notify(hwnd, d, LBN_SELCHANGE);
}

// --- painting ---------------------------------------------------------------------------------

HBRUSH ListColors(HWND hwnd, const ListBoxData& d, HDC dc) {
    if (d.combo && LiveWindow(d.combo)) {
        HBRUSH brush = nullptr;
        if (HWND owner = GetParent(d.combo))
            brush = reinterpret_cast<HBRUSH>(SendMessage(owner, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(hwnd)));
        if (brush) return brush;
        return reinterpret_cast<HBRUSH>(
            DefWindowProc(hwnd, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    }
    return ControlColors(hwnd, dc, WM_CTLCOLORLISTBOX);
}

void DrawOwnerItem(HWND hwnd, const ListBoxData& d, HDC dc, int index, const RECT& r, UINT action, UINT state) {
    OwnerInfo o = OwnerOf(hwnd, d);
    if (!o.owner) return;
    DRAWITEMSTRUCT dis;
    dis.CtlType = o.type;
    dis.CtlID = o.id;
    dis.itemID = static_cast<UINT>(index);
    dis.itemAction = action;
    dis.itemState = state;
    dis.hwndItem = d.combo ? d.combo : hwnd;
    dis.hDC = dc;
    dis.rcItem = r;
    dis.itemData = Valid(d, index) ? d.items[static_cast<std::size_t>(index)].data : 0;
    SendMessage(o.owner, WM_DRAWITEM, o.id, reinterpret_cast<LPARAM>(&dis));
}

void Paint(HWND hwnd, ListBoxData& d) {
    ControlPaint paint(hwnd, d.font);
    HDC dc = paint.dc();
    if (!dc) return;
    DWORD style = Style(hwnd);
    bool enabled = IsWindowEnabled(hwnd);
    HBRUSH bg = ListColors(hwnd, d, dc);
    RECT client = paint.client();
    FillRect(dc, &client, bg);
    COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
    bool showFocus = d.hasFocus && !d.dropped;
    if (d.items.empty()) {
        if (showFocus && IsOwnerDraw(style)) {
            RECT r{client.left, 0, client.right, std::max(1, d.itemHeight)};
            DrawOwnerItem(hwnd, d, dc, -1, r, ODA_FOCUS, ODS_FOCUS);
        }
        return;
    }
    SetBkMode(dc, TRANSPARENT);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | ((style & LBS_USETABSTOPS) ? DT_EXPANDTABS : 0);
    int y = 0;
    for (int i = d.top; i < Count(d) && y < client.bottom; ++i) {
        RECT r{client.left, y, client.right, y + ItemHeight(hwnd, d, i)};
        y = r.bottom;
        bool selected = IsSelected(hwnd, d, i);
        bool focused = showFocus && i == d.caret;
        if (IsOwnerDraw(style)) {
            UINT state = (selected ? ODS_SELECTED : 0) | (focused ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
            DrawOwnerItem(hwnd, d, dc, i, r, ODA_DRAWENTIRE, state);
            continue;
        }
        if (selected) FillSysColor(dc, r, COLOR_HIGHLIGHT);
        SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
        RECT text{r.left + 2, r.top, r.right - 2, r.bottom};
        DrawText(dc, d.items[static_cast<std::size_t>(i)].text, &text, format);
        if (focused) DrawFocusRect(dc, &r);
    }
}

// --- input ------------------------------------------------------------------------------------

bool Shift() { return GetKeyState(VK_SHIFT) < 0; }
bool Ctrl() { return GetKeyState(VK_CONTROL) < 0; }

void MouseDown(HWND hwnd, ListBoxData& d, LPARAM lParam, bool dbl) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (d.dropped) {
        RECT c;
        GetClientRect(hwnd, &c);
        if (!PtInRect(&c, pt)) {
            SendMessage(d.combo, kCbCloseUp, FALSE, 0);
            return;
        }
        d.tracking = true;
        int i = ItemAtY(hwnd, d, pt.y);
        if (Valid(d, i)) SelectSingle(hwnd, d, i);
        return;
    }
    HWND focusTarget = d.combo ? d.combo : hwnd;
    if (GetFocus() != focusTarget && !(d.combo && IsChild(d.combo, GetFocus()))) SetFocus(focusTarget);
    auto* live = DataOf<ListBoxData>(hwnd);
    if (!live) return;
    bool outside = false;
    int i = ItemAtY(hwnd, *live, pt.y, &outside);
    if (!Valid(*live, i) || outside) return;
    Choose(hwnd, *live, i, Shift(), Ctrl(), true);
    if (!(live = DataOf<ListBoxData>(hwnd))) return;
    live->tracking = true;
    SetCapture(hwnd);
    if (dbl) Notify(hwnd, *live, LBN_DBLCLK);
}

void MouseMove(HWND hwnd, ListBoxData& d, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT c;
    GetClientRect(hwnd, &c);
    if (d.dropped) {
        if (pt.x < c.left || pt.x >= c.right) return;
        if (pt.y < 0 && d.top > 0) SetTop(hwnd, d, d.top - 1);
        if (pt.y >= c.bottom) SetTop(hwnd, d, d.top + 1);
        int i = ItemAtY(hwnd, d, std::clamp<LONG>(pt.y, 0, c.bottom - 1));
        if (Valid(d, i) && i != d.sel) SelectSingle(hwnd, d, i);
        return;
    }
    if (!d.tracking || GetCapture() != hwnd) return;
    if (pt.y < 0 && d.top > 0) SetTop(hwnd, d, d.top - 1);
    if (pt.y >= c.bottom) SetTop(hwnd, d, d.top + 1);
    int i = ItemAtY(hwnd, d, std::clamp<LONG>(pt.y, 0, c.bottom - 1));
    DWORD style = Style(hwnd);
    if (!Valid(d, i) || (style & LBS_MULTIPLESEL)) return;
    if (style & LBS_EXTENDEDSEL) {
        if (SelectRange(hwnd, d, d.anchor, i, Ctrl())) Notify(hwnd, d, LBN_SELCHANGE);
        if (auto* live = DataOf<ListBoxData>(hwnd)) MoveCaret(hwnd, *live, i);
        return;
    }
    if (i != d.sel) Choose(hwnd, d, i, false, false, false);
}

void MouseUp(HWND hwnd, ListBoxData& d, LPARAM lParam) {
    bool wasTracking = d.tracking;
    d.tracking = false;
    if (d.dropped) {
        RECT c;
        GetClientRect(hwnd, &c);
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (PtInRect(&c, pt) && (wasTracking || Valid(d, ItemAtY(hwnd, d, pt.y))))
            SendMessage(d.combo, kCbCloseUp, TRUE, 0);
        return;
    }
    if (GetCapture() == hwnd) ReleaseCapture();
}

// With LBS_WANTKEYBOARDINPUT the owner sees keys first (WM_VKEYTOITEM, WM_CHARTOITEM): -2 means
// it handled the key, an index that the list goes there, -1 that the list does the usual.
bool OwnerTookKey(HWND hwnd, ListBoxData& d, UINT msg, WPARAM key) {
    if (!(Style(hwnd) & LBS_WANTKEYBOARDINPUT)) return false;
    LRESULT r = SendMessage(GetParent(hwnd), msg, MAKEWPARAM(static_cast<WORD>(key), static_cast<WORD>(d.caret)),
                            reinterpret_cast<LPARAM>(hwnd));
    auto* live = DataOf<ListBoxData>(hwnd);
    if (!live || r == -2) return true;
    if (r < 0) return false;
    Choose(hwnd, *live, static_cast<int>(r), false, false, false);
    return true;
}

void KeyDown(HWND hwnd, ListBoxData& d, WPARAM vk) {
    DWORD style = Style(hwnd);
    if (OwnerTookKey(hwnd, d, WM_VKEYTOITEM, vk) || d.items.empty()) return;
    int page = std::max(1, FullyVisibleFrom(hwnd, d, d.top) - 1);
    int from = IsMulti(style) ? d.caret : (d.sel < 0 ? d.caret : d.sel);
    int to;
    switch (vk) {
    case VK_UP:
    case VK_LEFT: to = from - 1; break;
    case VK_DOWN:
    case VK_RIGHT: to = from + 1; break;
    case VK_PRIOR: to = from - page; break;
    case VK_NEXT: to = from + page; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = Count(d) - 1; break;
    case VK_SPACE:
        if (IsMulti(style)) Choose(hwnd, d, d.caret, false, (style & LBS_EXTENDEDSEL) != 0, true);
        return;
    default: return;
    }
    to = std::clamp(to, 0, Count(d) - 1);
    if (!IsMulti(style) && d.sel < 0 && (vk == VK_UP || vk == VK_DOWN)) to = from;
    if (style & LBS_MULTIPLESEL) {
        MoveCaret(hwnd, d, to);
        return;
    }
    if ((style & LBS_EXTENDEDSEL) && Ctrl() && !Shift()) {
        MoveCaret(hwnd, d, to);
        return;
    }
    Choose(hwnd, d, to, Shift(), false, false);
}

void CharKey(HWND hwnd, ListBoxData& d, WPARAM ch) {
    DWORD style = Style(hwnd);
    if (OwnerTookKey(hwnd, d, WM_CHARTOITEM, ch) || !HasStrings(style) || ch < 0x20) return;
    char prefix[2] = {static_cast<char>(ch), 0};
    LRESULT i = Find(hwnd, d, IsMulti(style) ? d.caret : d.sel, reinterpret_cast<LPARAM>(prefix), false);
    if (i >= 0) Choose(hwnd, d, static_cast<int>(i), false, false, false);
}

void Scroll(HWND hwnd, ListBoxData& d, WPARAM wParam) {
    int page = std::max(1, FullyVisibleFrom(hwnd, d, d.top) - 1);
    switch (LOWORD(wParam)) {
    case SB_LINEUP: SetTop(hwnd, d, d.top - 1); break;
    case SB_LINEDOWN: SetTop(hwnd, d, d.top + 1); break;
    case SB_PAGEUP: SetTop(hwnd, d, d.top - page); break;
    case SB_PAGEDOWN: SetTop(hwnd, d, d.top + page); break;
    case SB_TOP: SetTop(hwnd, d, 0); break;
    case SB_BOTTOM: SetTop(hwnd, d, Count(d)); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(hwnd, SB_VERT, &si);
        SetTop(hwnd, d, si.nTrackPos);
        break;
    }
    default: break;
    }
}

// Without LBS_NOINTEGRALHEIGHT a list shows only whole items: its height is trimmed.
void FitIntegralHeight(HWND hwnd, const ListBoxData& d) {
    DWORD style = Style(hwnd);
    if ((style & (LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWVARIABLE)) || d.combo) return;
    int h = ClientHeight(hwnd), ih = std::max(1, d.itemHeight);
    int trimmed = std::max(ih, h / ih * ih);
    if (trimmed >= h) return;
    RECT r;
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, (r.bottom - r.top) - (h - trimmed),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitItemHeight(HWND hwnd, ListBoxData& d) {
    d.itemHeight = LineHeightOf(d.font);
    if (Style(hwnd) & LBS_OWNERDRAWFIXED) {
        ListItem probe;
        MeasureItem(hwnd, d, 0, probe);
        d.itemHeight = probe.height;
    }
}

LRESULT ListMessage(HWND hwnd, ListBoxData& d, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    DWORD style = Style(hwnd);
    auto index = static_cast<INT_PTR>(wParam);
    switch (msg) {
    case LB_ADDSTRING: return Insert(hwnd, d, -1, MakeItem(hwnd, lParam), (style & LBS_SORT) != 0);
    case LB_INSERTSTRING: return Insert(hwnd, d, index, MakeItem(hwnd, lParam), false);
    case LB_DELETESTRING: return Delete(hwnd, d, index);
    case LB_RESETCONTENT: Reset(hwnd, d); return LB_OKAY;
    case LB_GETCOUNT: return Count(d);
    case LB_GETTEXT: {
        if (!Valid(d, index)) return LB_ERR;
        const ListItem& item = d.items[static_cast<std::size_t>(index)];
        if (!HasStrings(style)) {
            if (lParam) std::memcpy(reinterpret_cast<void*>(lParam), &item.data, sizeof item.data);
            return sizeof item.data;
        }
        if (lParam) {
            std::memcpy(reinterpret_cast<char*>(lParam), item.text.c_str(), item.text.size() + 1);
        }
        return static_cast<LRESULT>(item.text.size());
    }
    case LB_GETTEXTLEN:
        if (!Valid(d, index)) return LB_ERR;
        return HasStrings(style) ? static_cast<LRESULT>(d.items[static_cast<std::size_t>(index)].text.size())
                                 : static_cast<LRESULT>(sizeof(ULONG_PTR));
    case LB_GETITEMDATA:
        return Valid(d, index) ? static_cast<LRESULT>(d.items[static_cast<std::size_t>(index)].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!Valid(d, index)) return LB_ERR;
        d.items[static_cast<std::size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return LB_OKAY;
    case LB_SETCURSEL:
        if (IsMulti(style)) return LB_ERR;
        if (index >= Count(d)) return LB_ERR;
        SelectSingle(hwnd, d, static_cast<int>(index));
        return index < 0 ? LB_ERR : index;
    case LB_GETCURSEL:
        if (IsMulti(style)) return d.items.empty() ? LB_ERR : d.caret;
        return d.sel;
    case LB_SETSEL: {
        if (!IsMulti(style)) return LB_ERR;
        auto i = static_cast<INT_PTR>(lParam);
        if (i == -1) {
            for (int k = 0; k < Count(d); ++k) SetItemSelected(hwnd, d, k, wParam != 0);
            return LB_OKAY;
        }
        if (!Valid(d, i)) return LB_ERR;
        SetItemSelected(hwnd, d, static_cast<int>(i), wParam != 0);
        return LB_OKAY;
    }
    case LB_GETSEL:
        if (!Valid(d, index)) return LB_ERR;
        return IsSelected(hwnd, d, static_cast<int>(index)) ? 1 : 0;
    case LB_GETSELCOUNT: {
        if (!IsMulti(style)) return LB_ERR;
        return std::count_if(d.items.begin(), d.items.end(), [](const ListItem& i) { return i.selected; });
    }
    case LB_GETSELITEMS: {
        if (!IsMulti(style)) return LB_ERR;
        auto* out = reinterpret_cast<int*>(lParam);
        LRESULT n = 0;
        for (int i = 0; i < Count(d) && n < static_cast<LRESULT>(wParam); ++i)
            if (d.items[static_cast<std::size_t>(i)].selected) {
                if (out) out[n] = i;
                ++n;
            }
        return n;
    }
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX: {
        if (!IsMulti(style)) return LB_ERR;
        int first, last;
        bool on;
        if (msg == LB_SELITEMRANGE) {
            first = LOWORD(static_cast<UINT_PTR>(lParam));
            last = HIWORD(static_cast<UINT_PTR>(lParam));
            on = wParam != 0;
        } else {
            first = static_cast<int>(wParam);
            last = static_cast<int>(lParam);
            on = first <= last;
            if (first > last) std::swap(first, last);
        }
        for (int i = std::max(0, first); i <= last && i < Count(d); ++i) SetItemSelected(hwnd, d, i, on);
        return LB_OKAY;
    }
    case LB_FINDSTRING: return Find(hwnd, d, index, lParam, false);
    case LB_FINDSTRINGEXACT: return Find(hwnd, d, index, lParam, true);
    case LB_SELECTSTRING: {
        if (IsMulti(style)) return LB_ERR;
        LRESULT i = Find(hwnd, d, index, lParam, false);
        if (i >= 0) SelectSingle(hwnd, d, static_cast<int>(i));
        return i;
    }
    case LB_GETTOPINDEX: return d.top;
    case LB_SETTOPINDEX:
        if (!Valid(d, index) && !(index == 0 && d.items.empty())) return LB_ERR;
        SetTop(hwnd, d, static_cast<int>(index));
        return LB_OKAY;
    case LB_GETITEMHEIGHT:
        return ItemHeight(hwnd, d, (style & LBS_OWNERDRAWVARIABLE) ? static_cast<int>(index) : 0);
    case LB_SETITEMHEIGHT: {
        int h = LOWORD(static_cast<UINT_PTR>(lParam));
        if (h <= 0 || h > 255) return LB_ERR;
        if (style & LBS_OWNERDRAWVARIABLE) {
            if (!Valid(d, index)) return LB_ERR;
            d.items[static_cast<std::size_t>(index)].height = h;
        } else {
            d.itemHeight = h;
        }
        Changed(hwnd, d);
        return LB_OKAY;
    }
    case LB_GETITEMRECT:
        if (!Valid(d, index) || !lParam) return LB_ERR;
        *reinterpret_cast<RECT*>(lParam) = ItemRect(hwnd, d, static_cast<int>(index));
        return LB_OKAY;
    case LB_ITEMFROMPOINT: {
        bool outside = true;
        int i = ItemAtY(hwnd, d, GET_Y_LPARAM(lParam), &outside);
        RECT c;
        GetClientRect(hwnd, &c);
        int x = GET_X_LPARAM(lParam);
        if (x < c.left || x >= c.right || GET_Y_LPARAM(lParam) < 0) outside = true;
        return MAKELONG(static_cast<WORD>(std::max(0, i)), outside ? 1 : 0);
    }
    case LB_GETANCHORINDEX: return d.anchor;
    case LB_SETANCHORINDEX:
        if (!Valid(d, index)) return LB_ERR;
        d.anchor = static_cast<int>(index);
        return LB_OKAY;
    case LB_GETCARETINDEX: return d.caret;
    case LB_SETCARETINDEX:
        if (!Valid(d, index)) return LB_ERR;
        MoveCaret(hwnd, d, static_cast<int>(index));
        return LB_OKAY;
    case LB_SETTABSTOPS: return TRUE;
    case kLbSetDropped:
        d.dropped = wParam != 0;
        d.tracking = false;
        if (d.dropped) {
            // Sized just now: what was scrolled while the list was hidden starts afresh.
            d.caret = std::max(0, d.sel);
            d.top = 0;
            EnsureVisible(hwnd, d, d.sel);
            UpdateScrollBar(hwnd, d);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    default:
        handled = false;
        return 0;
    }
}

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* d = AttachData<ListBoxData>(hwnd);
        if (d) d->vscroll = (Style(hwnd) & WS_VSCROLL) != 0;
        auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        if (d && cs && cs->lpszClass && GetClassName(hwnd) == kComboListClass)
            d->combo = static_cast<HWND>(cs->lpCreateParams);
    }
    auto* d = DataOf<ListBoxData>(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (HandleFontMessage(hwnd, *d, msg, wParam, lParam, result)) {
        if (msg == WM_SETFONT && !(Style(hwnd) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))) {
            d->itemHeight = LineHeightOf(d->font);
            FitIntegralHeight(hwnd, *d);
            if (auto* live = DataOf<ListBoxData>(hwnd)) Changed(hwnd, *live);
        }
        return result;
    }
    bool handled = false;
    result = ListMessage(hwnd, *d, msg, wParam, lParam, handled);
    if (handled) return result;
    switch (msg) {
    case WM_CREATE:
        InitItemHeight(hwnd, *d);
        FitIntegralHeight(hwnd, *d);
        if (auto* live = DataOf<ListBoxData>(hwnd)) UpdateScrollBar(hwnd, *live);
        return 0;
    case WM_DESTROY:
        for (std::size_t i = 0; i < d->items.size(); ++i) SendDeleteItem(hwnd, *d, static_cast<int>(i), d->items[i]);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEACTIVATE:
        if (d->combo && !(Style(hwnd) & WS_CHILD)) return MA_NOACTIVATE;
        break;
    case WM_SIZE:
        Changed(hwnd, *d);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_SETFOCUS:
        d->hasFocus = true;
        RedrawItem(hwnd, *d, d->caret);
        if (d->items.empty()) InvalidateRect(hwnd, nullptr, TRUE);
        NoteDialogFocus(hwnd);
        if (auto* live = DataOf<ListBoxData>(hwnd)) Notify(hwnd, *live, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        d->hasFocus = false;
        RedrawItem(hwnd, *d, d->caret);
        if (d->items.empty()) InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, *d, LBN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
        MouseDown(hwnd, *d, lParam, false);
        return 0;
    case WM_LBUTTONDBLCLK:
        MouseDown(hwnd, *d, lParam, !d->dropped);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(hwnd, *d, lParam);
        return 0;
    case WM_LBUTTONUP:
        MouseUp(hwnd, *d, lParam);
        return 0;
    case WM_CAPTURECHANGED:
        d->tracking = false;
        return 0;
    case WM_KEYDOWN:
        KeyDown(hwnd, *d, wParam);
        return 0;
    case WM_CHAR:
        CharKey(hwnd, *d, wParam);
        return 0;
    case WM_VSCROLL:
        Scroll(hwnd, *d, wParam);
        return 0;
    case WM_MOUSEWHEEL: {
        int notches = static_cast<SHORT>(HIWORD(wParam)) / 120;
        if (notches) SetTop(hwnd, *d, d->top - 3 * notches);
        return 0;
    }
    case WM_SETREDRAW:
        DefWindowProc(hwnd, msg, wParam, lParam);
        if (wParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterListBoxClasses() {
    RegisterControlClass(kListBoxClass, ListBoxProc, CS_DBLCLKS | CS_PARENTDC);
    RegisterControlClass(kComboListClass, ListBoxProc, CS_DBLCLKS | CS_SAVEBITS);
}

}  // namespace win
