// Laying out and drawing menus: the bar in a window's frame (wrapping to more rows when narrow,
// right-justified items at the end), popups in columns (MF_MENUBREAK, MF_MENUBARBREAK) with check
// marks, accelerator texts and submenu arrows, bitmaps and owner-drawn items.
#include <algorithm>
#include <cctype>

#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/menu_internal.h"
#include "platform/message.h"
#include "platform/owner_draw.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

namespace {

constexpr int kBarItemPad = 6;     // each side of a bar item's text
constexpr int kCheckWidth = 18;    // room for the check mark left of popup texts
constexpr int kArrowWidth = 14;    // room for the submenu arrow
constexpr int kTabGap = 16;        // between an item's text and its accelerator text
constexpr int kSeparatorHeight = 8;
constexpr int kBarBreakGap = 4;    // between columns split by MF_MENUBARBREAK

bool IsSpecialBitmap(HBITMAP b) {
    auto v = reinterpret_cast<std::uintptr_t>(b);
    return v >= 1 && v <= 11;
}

// A memory DC with the menu font, for measuring.
class MeasureDc {
public:
    MeasureDc() : dc_(CreateCompatibleDC(nullptr)) { old_ = SelectObject(dc_, MenuFont()); }
    ~MeasureDc() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    MeasureDc(const MeasureDc&) = delete;
    MeasureDc& operator=(const MeasureDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The item text before and after its "\t".
std::pair<std::string, std::string> SplitTab(const std::string& text) {
    auto tab = text.find('\t');
    if (tab == std::string::npos) return {text, {}};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

int TextWidth(HDC dc, const std::string& text) {
    if (text.empty()) return 0;
    RECT r{0, 0, 0, 0};
    DrawText(dc, text, &r, DT_SINGLELINE | DT_CALCRECT);
    return r.right - r.left;
}

SIZE BitmapSize(HBITMAP b) {
    if (b == HBMMENU_SYSTEM) return SIZE{GetSystemMetrics(SM_CXSMICON) + 2, GetSystemMetrics(SM_CYSMICON)};
    if (IsSpecialBitmap(b)) return SIZE{GetSystemMetrics(SM_CXMENUSIZE), GetSystemMetrics(SM_CYMENUSIZE) - 2};
    BITMAP bm{};
    if (!b || !GetObject(b, sizeof(bm), &bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

SIZE MeasureOwnerDrawn(HWND owner, const MenuItem& item) {
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_MENU;
    mis.itemID = static_cast<UINT>(item.id);
    mis.itemData = item.itemData;
    mis.itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU) - 1);
    if (IsWindow(owner)) SendMessage(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
    return SIZE{static_cast<LONG>(mis.itemWidth), static_cast<LONG>(mis.itemHeight)};
}

int ItemTextHeight(HDC dc) {
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    return std::max<int>(tm.tmHeight + 6, GetSystemMetrics(SM_CYMENU) - 2);
}

COLORREF Sys(int index) { return GetSysColor(index); }

void Fill(HDC dc, const RECT& r, int sysColor) { FillRect(dc, &r, GetSysColorBrush(sysColor)); }

void HLine(HDC dc, int x0, int x1, int y, int sysColor) { Fill(dc, RECT{x0, y, x1, y + 1}, sysColor); }
void VLine(HDC dc, int x, int y0, int y1, int sysColor) { Fill(dc, RECT{x, y0, x + 1, y1}, sysColor); }

void RaisedEdge(HDC dc, const RECT& r) {
    HLine(dc, r.left, r.right - 1, r.top, COLOR_3DLIGHT);
    VLine(dc, r.left, r.top, r.bottom - 1, COLOR_3DLIGHT);
    HLine(dc, r.left, r.right, r.bottom - 1, COLOR_3DDKSHADOW);
    VLine(dc, r.right - 1, r.top, r.bottom, COLOR_3DDKSHADOW);
    HLine(dc, r.left + 1, r.right - 2, r.top + 1, COLOR_BTNHIGHLIGHT);
    VLine(dc, r.left + 1, r.top + 1, r.bottom - 2, COLOR_BTNHIGHLIGHT);
    HLine(dc, r.left + 1, r.right - 1, r.bottom - 2, COLOR_BTNSHADOW);
    VLine(dc, r.right - 2, r.top + 1, r.bottom - 1, COLOR_BTNSHADOW);
}

// Small pictures drawn with the text colour: the check mark, the radio bullet, the submenu arrow.
void DrawCheckMark(HDC dc, const RECT& area, bool radio, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2;
    if (radio) {
        HPEN pen = CreatePen(PS_SOLID, 1, color);
        HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
        Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
    } else {
        // A tick three pixels thick: down to the right, then up.
        for (int i = 0; i < 3; ++i) {
            RECT a{cx - 4 + i, cy - 1 + i, cx - 3 + i, cy + 2 + i};
            FillRect(dc, &a, brush);
        }
        for (int i = 0; i < 5; ++i) {
            RECT b{cx - 1 + i, cy + 1 - i, cx + i, cy + 4 - i};
            FillRect(dc, &b, brush);
        }
    }
    DeleteObject(brush);
}

void DrawArrow(HDC dc, const RECT& item, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    int x = item.right - kArrowWidth / 2 - 2, cy = (item.top + item.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        RECT r{x + i, cy - 3 + i, x + i + 1, cy + 4 - i};
        FillRect(dc, &r, brush);
    }
    DeleteObject(brush);
}

// The pictures of the special bitmaps: a window icon and the caption buttons of a maximised MDI
// child.
void DrawSpecialBitmap(HDC dc, HBITMAP b, const RECT& r, bool enabled) {
    if (b == HBMMENU_SYSTEM) {
        int s = std::min<int>(r.right - r.left, r.bottom - r.top) - 2;
        RECT box{r.left + (r.right - r.left - s) / 2, r.top + (r.bottom - r.top - s) / 2, 0, 0};
        box.right = box.left + s;
        box.bottom = box.top + s;
        Fill(dc, box, COLOR_WINDOW);
        FrameRect(dc, &box, GetSysColorBrush(COLOR_WINDOWFRAME));
        Fill(dc, RECT{box.left + 1, box.top + 1, box.right - 1, box.top + 4}, COLOR_ACTIVECAPTION);
        return;
    }
    RECT face{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    Fill(dc, face, COLOR_BTNFACE);
    RaisedEdge(dc, face);
    COLORREF color = Sys(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    HBRUSH brush = CreateSolidBrush(color);
    int cx = (face.left + face.right) / 2, cy = (face.top + face.bottom) / 2;
    if (b == HBMMENU_MBAR_MINIMIZE) {
        RECT bar{cx - 4, cy + 2, cx + 3, cy + 4};
        FillRect(dc, &bar, brush);
    } else if (b == HBMMENU_MBAR_RESTORE) {
        RECT back{cx - 2, cy - 5, cx + 5, cy + 1};
        RECT front{cx - 5, cy - 2, cx + 2, cy + 4};
        FrameRect(dc, &back, brush);
        Fill(dc, RECT{front.left, front.top, front.right, front.bottom}, COLOR_BTNFACE);
        FrameRect(dc, &front, brush);
        RECT topBar{front.left, front.top, front.right, front.top + 2};
        FillRect(dc, &topBar, brush);
    } else {
        for (int i = -3; i <= 3; ++i) {
            RECT a{cx + i, cy + i, cx + i + 2, cy + i + 1};
            RECT d{cx + i, cy - i, cx + i + 2, cy - i + 1};
            FillRect(dc, &a, brush);
            FillRect(dc, &d, brush);
        }
    }
    DeleteObject(brush);
}

void DrawBitmapAt(HDC dc, HBITMAP b, int x, int y) {
    SIZE s = BitmapSize(b);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, b);
    BitBlt(dc, x, y, s.cx, s.cy, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void DrawOwnerItem(HMENU menu, HWND owner, HDC dc, const MenuItem& item, bool selected) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_MENU;
    dis.itemID = static_cast<UINT>(item.id);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (selected ? ODS_SELECTED : 0) | ((item.flags & MF_GRAYED) ? ODS_GRAYED : 0) |
                    ((item.flags & MF_DISABLED) ? ODS_DISABLED : 0) | ((item.flags & MF_CHECKED) ? ODS_CHECKED : 0);
    dis.hwndItem = reinterpret_cast<HWND>(menu);
    dis.hDC = dc;
    dis.rcItem = item.rect;
    dis.itemData = item.itemData;
    int saved = SaveDC(dc);
    if (IsWindow(owner)) SendMessage(owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    RestoreDC(dc, saved);
}

}  // namespace

int MenuMnemonic(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        if (text[i + 1] == '\t') return 0;
        return std::tolower(static_cast<unsigned char>(text[i + 1]));
    }
    return 0;
}

int LayoutMenuBar(HMENU bar, HWND owner, int width) {
    auto* m = LiveMenu(bar);
    int rowHeight = GetSystemMetrics(SM_CYMENU);
    if (!m) return 0;
    MeasureDc measure;
    int x = 0, row = 0;
    // Items from the first right-justified one on go to the right end of their row.
    std::size_t justifyFrom = m->items.size();
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        auto& item = m->items[i];
        int w = 0;
        if (item.flags & MF_SEPARATOR) {
            w = kBarItemPad;
        } else if (item.flags & MF_BITMAP) {
            w = BitmapSize(item.bitmap).cx + 2;
        } else if (item.flags & MF_OWNERDRAW) {
            w = MeasureOwnerDrawn(owner, item).cx;
        } else {
            w = TextWidth(measure.get(), SplitTab(item.text).first) + 2 * kBarItemPad;
        }
        bool breakHere = i > 0 && ((item.flags & (MF_MENUBREAK | MF_MENUBARBREAK)) || (x > 0 && x + w > width));
        if (breakHere) {
            if (justifyFrom < i) justifyFrom = m->items.size();
            x = 0;
            ++row;
        }
        if ((item.flags & MF_HELP) && justifyFrom == m->items.size()) justifyFrom = i;
        item.rect = RECT{x, row * rowHeight, x + w, (row + 1) * rowHeight};
        x += w;
    }
    if (justifyFrom < m->items.size()) {
        int shift = width - m->items.back().rect.right;
        if (shift > 0)
            for (std::size_t i = justifyFrom; i < m->items.size(); ++i) OffsetRect(&m->items[i].rect, shift, 0);
    }
    return (row + 1) * rowHeight;
}

SIZE LayoutPopupMenu(HMENU popup, HWND owner) {
    auto* m = LiveMenu(popup);
    if (!m) return SIZE{0, 0};
    MeasureDc measure;
    HDC dc = measure.get();
    int textHeight = ItemTextHeight(dc);
    struct Column {
        std::size_t first = 0, last = 0;  // items [first, last)
        int left = 0, width = 0, height = 0, textWidth = 0, tabWidth = 0;
        bool barBreak = false;
    };
    std::vector<Column> columns;
    std::vector<SIZE> sizes(m->items.size());
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const auto& item = m->items[i];
        if (columns.empty() || (item.flags & (MF_MENUBREAK | MF_MENUBARBREAK))) {
            Column c;
            c.first = i;
            c.barBreak = !columns.empty() && (item.flags & MF_MENUBARBREAK);
            columns.push_back(c);
        }
        Column& c = columns.back();
        c.last = i + 1;
        SIZE s{0, textHeight};
        if (item.flags & MF_SEPARATOR) {
            s.cy = kSeparatorHeight;
        } else if (item.flags & MF_OWNERDRAW) {
            s = MeasureOwnerDrawn(owner, item);
        } else if (item.flags & MF_BITMAP) {
            SIZE b = BitmapSize(item.bitmap);
            s = SIZE{kCheckWidth + b.cx + kArrowWidth, std::max<LONG>(b.cy + 2, textHeight)};
        } else {
            auto [left, right] = SplitTab(item.text);
            c.textWidth = std::max(c.textWidth, TextWidth(dc, left));
            c.tabWidth = std::max(c.tabWidth, TextWidth(dc, right));
        }
        sizes[i] = s;
        c.height += s.cy;
    }
    int x = 0, height = 0;
    for (auto& c : columns) {
        if (c.barBreak) x += kBarBreakGap;
        c.left = x;
        int textColumn = kCheckWidth + c.textWidth + (c.tabWidth ? kTabGap + c.tabWidth : 0) + kArrowWidth;
        c.width = textColumn;
        for (std::size_t i = c.first; i < c.last; ++i) c.width = std::max<int>(c.width, sizes[i].cx);
        int y = 0;
        for (std::size_t i = c.first; i < c.last; ++i) {
            auto& item = m->items[i];
            item.rect = RECT{kPopupBorder + x, kPopupBorder + y, kPopupBorder + x + c.width, kPopupBorder + y + sizes[i].cy};
            item.tabX = kPopupBorder + x + kCheckWidth + c.textWidth + kTabGap;
            y += sizes[i].cy;
        }
        height = std::max(height, y);
        x += c.width;
    }
    m->popupSize = SIZE{x + 2 * kPopupBorder, std::max(height, 1) + 2 * kPopupBorder};
    m->layoutValid = true;
    return m->popupSize;
}

void DrawMenuBarItems(HMENU bar, HWND owner, HDC dc, const RECT& barRect, int selected, bool open) {
    auto* m = LiveMenu(bar);
    Fill(dc, barRect, COLOR_MENU);
    if (!m) return;
    HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    int oldMode = SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const auto& item = m->items[i];
        RECT r = item.rect;
        OffsetRect(&r, barRect.left, barRect.top);
        if (r.left >= barRect.right) continue;
        bool sel = static_cast<int>(i) == selected && IsSelectable(item);
        bool grey = IsDisabledItem(item);
        if (item.flags & MF_OWNERDRAW) {
            MenuItem shifted = item;
            shifted.rect = r;
            DrawOwnerItem(bar, owner, dc, shifted, sel);
            continue;
        }
        if (item.flags & MF_SEPARATOR) continue;
        if (item.flags & MF_BITMAP) {
            SIZE s = BitmapSize(item.bitmap);
            RECT b{r.left + 1, r.top + (r.bottom - r.top - s.cy) / 2, r.left + 1 + s.cx, 0};
            b.bottom = b.top + s.cy;
            if (IsSpecialBitmap(item.bitmap))
                DrawSpecialBitmap(dc, item.bitmap, b, !grey);
            else if (item.bitmap)
                DrawBitmapAt(dc, item.bitmap, b.left, b.top);
            if (sel && item.bitmap != HBMMENU_SYSTEM && !IsSpecialBitmap(item.bitmap)) InvertRect(dc, &r);
            continue;
        }
        if (sel) Fill(dc, r, COLOR_HIGHLIGHT);
        SetTextColor(dc, Sys(grey ? COLOR_GRAYTEXT : sel ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        if (sel && open) {
            // An open popup's title looks pressed: shifted by a pixel.
            OffsetRect(&r, 1, 1);
        }
        DrawText(dc, SplitTab(item.text).first, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

void DrawPopupMenuItems(HMENU popup, HWND owner, HDC dc, int selected) {
    auto* m = LiveMenu(popup);
    if (!m) return;
    if (!m->layoutValid) LayoutPopupMenu(popup, owner);
    RECT whole{0, 0, m->popupSize.cx, m->popupSize.cy};
    Fill(dc, whole, COLOR_MENU);
    RaisedEdge(dc, whole);
    HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    int oldMode = SetBkMode(dc, TRANSPARENT);
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        const auto& item = m->items[i];
        const RECT& r = item.rect;
        if ((item.flags & MF_MENUBARBREAK) && i > 0) {
            int x = r.left - kBarBreakGap / 2 - 1;
            VLine(dc, x, kPopupBorder, m->popupSize.cy - kPopupBorder, COLOR_BTNSHADOW);
            VLine(dc, x + 1, kPopupBorder, m->popupSize.cy - kPopupBorder, COLOR_BTNHIGHLIGHT);
        }
        bool sel = static_cast<int>(i) == selected && IsSelectable(item);
        bool grey = IsDisabledItem(item);
        if (item.flags & MF_SEPARATOR) {
            int y = (r.top + r.bottom) / 2 - 1;
            HLine(dc, r.left + 1, r.right - 1, y, COLOR_BTNSHADOW);
            HLine(dc, r.left + 1, r.right - 1, y + 1, COLOR_BTNHIGHLIGHT);
            continue;
        }
        if (item.flags & MF_OWNERDRAW) {
            DrawOwnerItem(popup, owner, dc, item, sel);
            continue;
        }
        if (sel) Fill(dc, r, COLOR_HIGHLIGHT);
        COLORREF color = Sys(grey ? COLOR_GRAYTEXT : sel ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
        SetTextColor(dc, color);
        if (item.flags & MF_CHECKED)
            DrawCheckMark(dc, RECT{r.left, r.top, r.left + kCheckWidth, r.bottom}, (item.flags & MFT_RADIOCHECK) != 0, color);
        if (item.flags & MF_BITMAP) {
            SIZE s = BitmapSize(item.bitmap);
            RECT b{r.left + kCheckWidth, r.top + (r.bottom - r.top - s.cy) / 2, r.left + kCheckWidth + s.cx, 0};
            b.bottom = b.top + s.cy;
            if (IsSpecialBitmap(item.bitmap))
                DrawSpecialBitmap(dc, item.bitmap, b, !grey);
            else if (item.bitmap)
                DrawBitmapAt(dc, item.bitmap, b.left, b.top);
        } else {
            auto [left, right] = SplitTab(item.text);
            RECT t{r.left + kCheckWidth, r.top, r.right - kArrowWidth, r.bottom};
            DrawText(dc, left, &t, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
            if (!right.empty()) {
                RECT a{item.tabX, r.top, r.right - kArrowWidth, r.bottom};
                DrawText(dc, right, &a, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
            }
        }
        if (item.submenu) DrawArrow(dc, r, color);
    }
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

RECT MenuBarScreenRect(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return RECT{};
    RECT r = NonClientPartRect(hwnd, HTMENU);
    if (IsRectEmpty(r)) return RECT{};
    RECT wr = WindowRectOnScreen(w);
    OffsetRect(&r, wr.left, wr.top);
    return r;
}

}  // namespace win
