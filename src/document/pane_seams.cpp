#include "document/pane_seams.h"

#include <algorithm>

#include "core/analysis_state.h"
#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/grid_text.h"
#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/control_scrollbar.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/menu.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"
#include "document/editor_services.h"
#include "document/page_array.h"
#include "document/page_tabs.h"
#include "document/pane_scroll_bars.h"

namespace kq5 {

namespace {

// Program-wide state of the flags popup: how many flags it listed and for which pane.
struct FlagsPopupState {
    int count = 0;
    int pane = -1;
};

FlagsPopupState& FlagsPopup()
{
    static FlagsPopupState state;
    return state;
}

bool IsCircuitRecord(const WindowRecord* record)
{
    return record != nullptr && record->document != nullptr &&
           (record->kind == kWindowSchematic || record->kind == kWindowPlainSchematic);
}

win::RECT ClientRect(const WindowRecord* record)
{
    win::RECT client{};
    if (record != nullptr && record->window != nullptr) win::GetClientRect(record->window, &client);
    return client;
}

bool Contains(const win::RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

bool IsEmpty(const win::RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

win::HWND PaneChild(const WindowRecord* record, int id) { return win::GetDlgItem(record->window, id); }

// The pane button's picture: two button states stacked, sized to the scroll bars.
int PaneButtonBitmapId()
{
    const int h = win::GetSystemMetrics(win::SM_CXHSCROLL);
    return h <= 15 ? 3300 : h <= 18 ? 3301 : 3302;
}

int PaneButtonHalfHeight() { return (2 * win::GetSystemMetrics(win::SM_CXHSCROLL) - 1) / 2; }

}  // namespace

int PaneScrollBarWidth() { return win::GetSystemMetrics(win::SM_CXVSCROLL); }

int EffectiveSplitter(int stored, int clientSize)
{
    return stored > clientSize - (PaneScrollBarWidth() + kSplitterBarWidth) ? clientSize + 1 : stored;
}

win::RECT ComputePaneRect(const win::RECT& client, int splitterX, int splitterY, int scrollBarWidth,
                          bool minimised, int pane)
{
    win::RECT r = client;
    const win::RECT empty{};
    if (pane < 0 || pane > 3 || minimised) return empty;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int sx = splitterX > width - (scrollBarWidth + kSplitterBarWidth) ? width + 1 : splitterX;
    const int sy = splitterY > height - (scrollBarWidth + kSplitterBarWidth) ? height + 1 : splitterY;
    const bool rightColumn = pane == 0 || pane == 3;
    const bool topRow = pane == 0 || pane == 1;

    if (rightColumn ? sx >= width : sx <= 0) return empty;
    if (topRow ? sy <= 0 : sy >= height) return empty;
    if (sx > 0) {
        if (rightColumn) r.left = client.left + sx + kSplitterBarWidth;
        else r.right = client.left + sx - 1;
    }
    if (sy > 0) {
        if (topRow) r.bottom = client.top + sy - 1;
        else r.top = client.top + sy + kSplitterBarWidth;
    }
    r.right -= scrollBarWidth - 1;
    r.bottom -= scrollBarWidth - 1;
    return IsEmpty(r) ? empty : r;
}

void GetPaneRect(const WindowRecord* record, int pane, win::RECT& rect)
{
    rect = win::RECT{};
    if (pane == -1 || record == nullptr || record->window == nullptr) return;
    const win::RECT client = ClientRect(record);
    if (!IsCircuitRecord(record)) {
        rect = client;
        return;
    }
    const CircuitDocument& document = *record->document;
    rect = ComputePaneRect(client, document.splitterX, document.splitterY, PaneScrollBarWidth(),
                           win::IsIconic(record->window) != 0, pane);
}

bool IsPaneVisible(const WindowRecord* record, int pane)
{
    if (pane < 0 || pane >= kPaneCount) return false;
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    return !IsEmpty(rect);
}

int PaneAtPoint(const WindowRecord* record, int x, int y)
{
    for (int pane = 0; pane < kPaneCount; ++pane) {
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        if (!IsEmpty(rect) && Contains(rect, x, y)) return pane;
    }
    return -1;
}

int FindVisiblePane(const WindowRecord* record)
{
    if (record == nullptr || !record->document) return -1;
    const int current = record->document->currentPane;
    if (IsPaneVisible(record, current)) return current;
    for (int pane = 0; pane < kPaneCount; ++pane)
        if (IsPaneVisible(record, pane)) return pane;
    return -1;
}

int LastVisiblePane(const WindowRecord* record)
{
    for (int pane : {3, 2, 0, 1})
        if (IsPaneVisible(record, pane)) return pane;
    return -1;
}

int TextPaneOf(const WindowRecord* record)
{
    if (record == nullptr || !record->document) return -1;
    const std::int32_t word = record->document->textAreaPane;
    if (word & kTextAreaHidden) return -1;
    return word & 0x0F;
}

int GetSplitterX(const WindowRecord* record)
{
    if (!IsCircuitRecord(record)) return 0;
    return EffectiveSplitter(record->document->splitterX, ClientRect(record).right);
}

int GetSplitterY(const WindowRecord* record)
{
    if (!IsCircuitRecord(record)) return 0;
    return EffectiveSplitter(record->document->splitterY, ClientRect(record).bottom);
}

namespace {

std::int32_t ParkedSplitter(int value, int clientSize)
{
    const int s = PaneScrollBarWidth();
    if (value < 2 * s) return 0;
    if (value > clientSize - 2 * s) return 2 * clientSize;
    return value;
}

}  // namespace

void SetVerticalSplitter(WindowRecord* record, int x)
{
    if (IsCircuitRecord(record)) record->document->splitterX = ParkedSplitter(x, ClientRect(record).right);
}

void SetHorizontalSplitter(WindowRecord* record, int y)
{
    if (IsCircuitRecord(record)) record->document->splitterY = ParkedSplitter(y, ClientRect(record).bottom);
}

void SplitterGripRect(const WindowRecord* record, char which, win::RECT& rect)
{
    rect = win::RECT{};
    if (!IsCircuitRecord(record)) return;
    const win::RECT client = ClientRect(record);
    const int w = client.right;
    const int hc = client.bottom;
    const int s = PaneScrollBarWidth();
    if (which == 'H') {
        const int sy = GetSplitterY(record);
        if (sy >= hc + 1) rect = {w - s + 1, hc - s - 3, w + 1, hc - s + 1};
        else rect = {w - s + 1, sy, w + 1, sy + 4};
        return;
    }
    const int sx = GetSplitterX(record);
    if (sx < w + 1) {
        rect = {sx, hc - s + 1, sx + 4, hc + 1};
        return;
    }
    // The text area's own corner square widens the button column by one pixel.
    const int textPane = TextPaneOf(record);
    int b = s;
    if ((textPane == 1 && IsPaneVisible(record, 1) && !IsPaneVisible(record, 2)) ||
        (textPane == 2 && IsPaneVisible(record, 2)))
        b = s + 1;
    rect = {w - b - 3, hc - s + 1, w - b + 1, hc + 1};
}

int SplitterCursorAtPoint(const WindowRecord* record, int x, int y)
{
    if (!IsCircuitRecord(record)) return 0;
    const win::RECT client = ClientRect(record);
    const int w = client.right;
    const int hc = client.bottom;
    const int sx = GetSplitterX(record);
    const int sy = GetSplitterY(record);
    if (sx > 0 && sy > 0) {
        const win::RECT across{sx - 8, sy - 1, sx + 10, sy + 3};
        const win::RECT down{sx - 1, sy - 8, sx + 3, sy + 8};
        if (Contains(across, x, y) || Contains(down, x, y)) return kSplitterCrossing;
    }
    win::RECT bar{};
    if (sy > 0 && sy < hc) bar = {0, sy - 1, w + 1, sy + 3};
    else SplitterGripRect(record, 'H', bar);
    if (Contains(bar, x, y)) return kSplitterHorizontalBar;
    if (sx > 0 && sx < w) bar = {sx - 1, 0, sx + 3, hc + 1};
    else SplitterGripRect(record, 'V', bar);
    if (Contains(bar, x, y)) return kSplitterVerticalBar;
    return 0;
}

void DropSplitter(WindowRecord* record, int code, int x, int y)
{
    if (!IsCircuitRecord(record)) return;
    if (code == kSplitterVerticalBar || code == kSplitterCrossing) SetVerticalSplitter(record, x);
    if (code == kSplitterHorizontalBar || code == kSplitterCrossing) SetHorizontalSplitter(record, y);
    LayoutPaneControls(record, true);
    UpdatePaneScrollBars(record);
    win::InvalidateRect(record->window, nullptr, 1);
    const int pane = FindVisiblePane(record);
    if (pane >= 0) record->document->currentPane = pane;
}

PaneRowWidths PaneControlWidths(int rowWidth, int tabWidth, int paneRight, int scrollBarWidth)
{
    PaneRowWidths widths;
    if (2 * scrollBarWidth > paneRight) widths.scrollBar = rowWidth / 2;
    else widths.scrollBar = std::max(2 * scrollBarWidth, rowWidth - tabWidth);
    widths.scrollBar = std::min(widths.scrollBar, std::max(rowWidth, 0));
    widths.tabBar = std::max(rowWidth - widths.scrollBar, 0);
    return widths;
}

void LayoutPaneControls(WindowRecord* record, bool repaint)
{
    if (!IsCircuitRecord(record) || record->window == nullptr) return;
    CircuitDocument& document = *record->document;
    const int s = PaneScrollBarWidth();
    const int sx = GetSplitterX(record);
    const int sy = GetSplitterY(record);
    const win::RECT client = ClientRect(record);
    const int last = LastVisiblePane(record);
    for (int pane = 0; pane < kPaneCount; ++pane) {
        win::HWND hbar = PaneChild(record, kPaneHScrollId + pane);
        win::HWND vbar = PaneChild(record, kPaneVScrollId + pane);
        win::HWND tabs = PaneChild(record, kPaneTabBarId + pane);
        win::RECT r{};
        GetPaneRect(record, pane, r);
        if (IsEmpty(r)) {
            for (win::HWND child : {hbar, vbar, tabs})
                if (child) win::ShowWindow(child, win::SW_HIDE);
            continue;
        }
        int rowLeft = r.left;
        int rowRight = r.right;
        int barTop = r.top - 1;
        int barBottom = r.bottom + 1;
        if (pane == last) {
            // Room for the grips of parked splitters.
            if (sx == 0) rowLeft += 5;
            if (sx >= client.right + 1) rowRight -= 5;
            if (sy == 0) barTop += 5;
            if (sy >= client.bottom + 1) barBottom -= 5;
        }
        const int rowWidth = rowRight - rowLeft;
        const PaneRowWidths widths =
            PaneControlWidths(rowWidth, document.paneTabWidth[static_cast<std::size_t>(pane)], r.right, s);
        if (hbar) {
            win::MoveWindow(hbar, rowRight - widths.scrollBar, r.bottom, widths.scrollBar, s, repaint);
            win::ShowWindow(hbar, widths.scrollBar > 0 ? win::SW_SHOWNA : win::SW_HIDE);
        }
        if (tabs) {
            win::MoveWindow(tabs, rowLeft, r.bottom, widths.tabBar, s, repaint);
            win::ShowWindow(tabs, widths.tabBar > 0 ? win::SW_SHOWNA : win::SW_HIDE);
        }
        if (vbar) {
            win::MoveWindow(vbar, r.right, barTop, s, barBottom - barTop, repaint);
            win::ShowWindow(vbar, barBottom > barTop ? win::SW_SHOWNA : win::SW_HIDE);
        }
    }
    if (win::HWND area = document.textAreaWindow) {
        const int textPane = TextPaneOf(record);
        win::RECT r{};
        if (textPane >= 0) GetPaneRect(record, textPane, r);
        if (!IsEmpty(r)) {
            win::MoveWindow(area, r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
            win::ShowWindow(area, win::SW_SHOWNA);
        } else {
            win::ShowWindow(area, win::SW_HIDE);
        }
    }
}

void SetTextAreaPane(WindowRecord* record, int pane, bool redraw)
{
    if (!IsCircuitRecord(record)) return;
    CircuitDocument& document = *record->document;
    pane &= 0x0F;
    if (!IsPaneVisible(record, pane)) pane = FindVisiblePane(record);
    if (pane < 0) pane = 1;
    const int oldPane = TextPaneOf(record);
    if (oldPane == pane) {
        document.textAreaPane = pane | kTextAreaHidden;
    } else {
        document.textAreaPane = pane;
    }
    if (TextPaneOf(record) >= 0 && !IsPaneVisible(record, TextPaneOf(record))) {
        const int visible = FindVisiblePane(record);
        if (visible >= 0) document.textAreaPane = visible;
    }
    if (redraw) DrawPaneButton(nullptr, record, pane, 0);
    LayoutPaneControls(record, true);
    if (oldPane >= 0) UpdatePaneScrollRange(record, oldPane);
    UpdatePaneScrollRange(record, pane);
    if (redraw && record->window) {
        win::RECT grip{};
        SplitterGripRect(record, 'V', grip);
        win::InvalidateRect(record->window, &grip, 1);
        win::RECT paneRect{};
        GetPaneRect(record, pane, paneRect);
        win::InvalidateRect(record->window, &paneRect, 1);
        RepaintTabBar(record, pane);
        if (oldPane >= 0 && oldPane != pane) RepaintTabBar(record, oldPane);
    }
    const int shown = TextPaneOf(record);
    if (shown >= 0 && document.textAreaWindow && win::IsWindowVisible(document.textAreaWindow))
        win::SetFocus(document.textAreaWindow);
}

namespace {

// Puts the splitters and the text area in place and lays the window out again.
void ApplySplit(WindowRecord* record, std::int32_t splitterX, std::int32_t splitterY, std::int32_t textPane)
{
    CircuitDocument& document = *record->document;
    document.splitterX = splitterX;
    document.splitterY = splitterY;
    document.textAreaPane = textPane;
    UpdatePaneScrollBars(record);
    LayoutPaneControls(record, true);
    const int pane = FindVisiblePane(record);
    if (pane >= 0) document.currentPane = pane;
    if (record->window) win::InvalidateRect(record->window, nullptr, 1);
}

}  // namespace

void SplitHorizontal(WindowRecord* record, double fraction)
{
    if (!IsCircuitRecord(record) || record->kind != kWindowSchematic) return;
    const win::RECT client = ClientRect(record);
    ApplySplit(record, client.right, static_cast<std::int32_t>(client.bottom * fraction), 2);
}

void SplitVertical(WindowRecord* record, double fraction)
{
    if (!IsCircuitRecord(record) || record->kind != kWindowSchematic) return;
    const win::RECT client = ClientRect(record);
    ApplySplit(record, static_cast<std::int32_t>(client.right * fraction), 2 * client.bottom, 0);
}

void ShowFullWindow(WindowRecord* record)
{
    if (!IsCircuitRecord(record) || record->kind != kWindowSchematic) return;
    const win::RECT client = ClientRect(record);
    ApplySplit(record, 2 * client.right, 2 * client.bottom, 1 | kTextAreaHidden);
}

void DrawSplitterBars(win::HDC dc, WindowRecord* record)
{
    if (!IsCircuitRecord(record) || dc == nullptr) return;
    const win::RECT client = ClientRect(record);
    const int w = client.right;
    const int hc = client.bottom;
    const int s = PaneScrollBarWidth();
    const int sx = GetSplitterX(record);
    const int sy = GetSplitterY(record);
    win::HPEN frame = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_WINDOWFRAME));
    win::HPEN light = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNHIGHLIGHT));
    win::HPEN shadow = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNSHADOW));
    win::HGDIOBJ oldPen = win::SelectObject(dc, frame);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetSysColorBrush(win::COLOR_BTNFACE));
    const bool horizontal = sy > 0 && sy < hc;
    const bool vertical = sx > 0 && sx < w;
    // The bar itself: the face between the two panes with its frame line.
    if (horizontal) {
        win::RECT face{0, sy - 1, w - s + 1, sy + kSplitterBarWidth};
        win::FillRect(dc, &face, win::GetSysColorBrush(win::COLOR_BTNFACE));
    }
    if (vertical) {
        win::RECT face{sx - 1, 0, sx + kSplitterBarWidth, hc - s + 1};
        win::FillRect(dc, &face, win::GetSysColorBrush(win::COLOR_BTNFACE));
    }
    // One line along each bar inside the window, at an offset from the splitter.
    auto barLines = [&](int offset) {
        if (horizontal) {
            win::MoveToEx(dc, 0, sy + offset, nullptr);
            win::LineTo(dc, w - s + 1, sy + offset);
        }
        if (vertical) {
            win::MoveToEx(dc, sx + offset, 0, nullptr);
            win::LineTo(dc, sx + offset, hc - s + 1);
        }
    };
    barLines(4);
    for (char which : {'H', 'V'}) {
        win::RECT grip{};
        SplitterGripRect(record, which, grip);
        if (which == 'H' && horizontal) continue;
        if (which == 'V' && vertical) continue;
        win::Rectangle(dc, grip.left, grip.top, grip.right, grip.bottom);
    }
    win::SelectObject(dc, light);
    barLines(0);
    win::SelectObject(dc, shadow);
    barLines(3);
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
    for (win::HPEN pen : {frame, light, shadow}) win::DeleteObject(pen);
}

win::RECT PaneButtonRect(const WindowRecord* record, int pane)
{
    win::RECT r{};
    GetPaneRect(record, pane, r);
    if (IsEmpty(r)) return win::RECT{};
    return {r.right, r.bottom, r.right + PaneScrollBarWidth() + 1, r.bottom + PaneButtonHalfHeight() + 1};
}

void DrawPaneButton(win::HDC dc, WindowRecord* record, int pane, int state)
{
    if (!IsCircuitRecord(record) || record->window == nullptr || !IsPaneVisible(record, pane)) return;
    win::HDC target = dc ? dc : win::GetDC(record->window);
    if (target == nullptr) return;
    const win::RECT r = PaneButtonRect(record, pane);
    const int s = PaneScrollBarWidth();
    const int half = PaneButtonHalfHeight();
    win::HBITMAP bitmap = win::LoadBitmap(win::GetModuleHandle(nullptr), PaneButtonBitmapId());
    if (bitmap) {
        win::BITMAP info{};
        win::GetObject(bitmap, sizeof(info), &info);
        win::HDC memory = win::CreateCompatibleDC(target);
        win::HGDIOBJ old = win::SelectObject(memory, bitmap);
        const int srcHalf = info.bmHeight / 2;
        win::StretchBlt(target, r.left, r.top, s, half + 1, memory, 0, state ? srcHalf : 0, info.bmWidth, srcHalf,
                        win::SRCCOPY);
        win::SelectObject(memory, old);
        win::DeleteDC(memory);
        win::DeleteObject(bitmap);
    } else {
        win::RECT face{r.left, r.top, r.left + s, r.top + half + 1};
        win::FillRect(target, &face, win::GetSysColorBrush(win::COLOR_BTNFACE));
    }
    win::HPEN frame = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_WINDOWFRAME));
    win::HGDIOBJ oldPen = win::SelectObject(target, frame);
    win::MoveToEx(target, r.left, r.top, nullptr);
    win::LineTo(target, r.left + s, r.top);
    win::SelectObject(target, oldPen);
    win::DeleteObject(frame);
    if (dc == nullptr) win::ReleaseDC(record->window, target);
}

int PaneButtonAtPoint(WindowRecord* record, int x, int y, int state, bool testOnly)
{
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (!IsPaneVisible(record, pane)) continue;
        if (!Contains(PaneButtonRect(record, pane), x, y)) continue;
        if (!testOnly) DrawPaneButton(nullptr, record, pane, state + 1);
        return pane;
    }
    return -1;
}

namespace {

// The n-th grid text that is a flag with a text, or null.
GridText* NthFlag(CircuitDocument& document, int n)
{
    for (GridText* text = ListHead<GridText>(document.gridTextList); text; text = ListNext(text)) {
        if (!text->IsFlag() || text->text.empty()) continue;
        if (n-- == 0) return text;
    }
    return nullptr;
}

}  // namespace

void ShowFlagsPopupMenu(WindowRecord* record, int pane, win::POINT screenPoint)
{
    if (!IsCircuitRecord(record)) return;
    CircuitDocument& document = *record->document;
    FlagsPopupState& state = FlagsPopup();
    state.count = 0;
    state.pane = pane;
    win::HMENU menu = win::CreatePopupMenu();
    if (menu == nullptr) return;
    for (GridText* text = ListHead<GridText>(document.gridTextList); text; text = ListNext(text)) {
        if (!text->IsFlag() || text->text.empty()) continue;
        win::AppendMenu(menu, win::MF_STRING, static_cast<win::UINT_PTR>(kFirstFlagCommand + state.count), text->text.c_str());
        ++state.count;
    }
    if (state.count > 0)
        win::TrackPopupMenu(menu, win::TPM_CENTERALIGN, screenPoint.x, screenPoint.y, 0, record->window, nullptr);
    win::DestroyMenu(menu);
}

void GoToFlag(WindowRecord* record, int command)
{
    if (!IsCircuitRecord(record)) return;
    const int n = command - kFirstFlagCommand;
    FlagsPopupState& state = FlagsPopup();
    if (n < 0 || n >= state.count) return;
    GridText* flag = NthFlag(*record->document, n);
    if (flag == nullptr) return;
    const int pane = state.pane >= 0 && state.pane < kPaneCount ? state.pane : FindVisiblePane(record);
    if (pane < 0) return;
    ShowPageInPane(record, pane, flag->page);
    ScrollPaneTo(record, pane, flag->x, flag->y, true);
}

bool& GraphicsPopupBackToSelect()
{
    static bool backToSelect = false;
    return backToSelect;
}

void ShowGraphicsKindPopup(win::HWND hwnd, win::POINT screenPoint)
{
    struct Entry {
        const char* text;
        int command;
    };
    static constexpr Entry kEntries[] = {{"&Line", 17566},      {"&Rectangle", 17568}, {"&Diamond", 17569},
                                         {"&Ellipse", 17567},   {"&Arc", 17570},       {"&Pie", 17575}};
    win::HMENU menu = win::CreatePopupMenu();
    if (menu == nullptr) return;
    for (const Entry& entry : kEntries) win::AppendMenu(menu, win::MF_STRING, static_cast<win::UINT_PTR>(entry.command), entry.text);
    // Pictures are not placed while an analysis is open.
    if (Analysis().analysisKind == kAnalysisNone) win::AppendMenu(menu, win::MF_STRING, 17585, "&MetaFile");
    GraphicsPopupBackToSelect() = true;
    // The frame owns it, so that the choice arrives as a mode command; without one, the window.
    win::HWND owner = Frame().frame != nullptr ? Frame().frame : hwnd;
    win::TrackPopupMenu(menu, win::TPM_CENTERALIGN, screenPoint.x, screenPoint.y, 0, owner, nullptr);
    win::DestroyMenu(menu);
}

win::POINT ClampPaneLastPoint(WindowRecord* record)
{
    if (record == nullptr || !record->document) return {1, 1};
    std::vector<PageRecord>& pages = record->document->pages;
    const int page = PanePage(*record->document);
    // A document without page records (one made for work out of sight) keeps the window's click.
    const bool onPage = page >= 0 && page < static_cast<int>(pages.size());
    win::POINT& last = onPage ? pages[static_cast<std::size_t>(page)].lastPoint : EditStateOf(record).lastPoint;
    last.x = std::max<win::LONG>(last.x, 1);
    last.y = std::max<win::LONG>(last.y, 1);
    return last;
}

}  // namespace kq5
