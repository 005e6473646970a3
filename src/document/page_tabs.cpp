#include "document/page_tabs.h"

#include <algorithm>

#include "core/analysis_state.h"
#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "document/selection.h"
#include "platform/bitmap.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/cursor.h"
#include "platform/font.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/window.h"
#include "document/page_array.h"
#include "document/pane_seams.h"
#include "ui/color_table.h"

namespace kq5 {

namespace {

// Program-wide state of the tab bars: the arrow button held down (0 none, 1 to 4) with its drawn
// state, a width drag, and what the context menu was opened on.
struct TabBarState {
    int heldArrow = 0;
    int arrowDrawn = 1;
    bool resizing = false;
    int lastX = 0;
    int insertPosition = 0;
    int menuTab = -1;
};

TabBarState& Tabs()
{
    static TabBarState state;
    return state;
}

WindowRecord* BarRecord(win::HWND bar) { return GetWindowRecord(win::GetParent(bar)); }
int BarPane(win::HWND bar) { return win::GetDlgCtrlID(bar) - kPaneTabBarId; }

bool IsSchematicRecord(const WindowRecord* record)
{
    return record != nullptr && record->document != nullptr &&
           (record->kind == kWindowSchematic || record->kind == kWindowPlainSchematic);
}

int TabCount(const WindowRecord* record) { return PageCount(record) + 1; }

win::HFONT TabFont(int height, bool bold)
{
    win::LOGFONT lf;
    lf.lfHeight = -std::max(height, 1);
    lf.lfWeight = bold ? win::FW_BOLD : win::FW_NORMAL;
    lf.lfFaceName = "Arial";
    return win::CreateFontIndirect(&lf);
}

int BarHeight(win::HWND bar)
{
    win::RECT r{};
    win::GetClientRect(bar, &r);
    return r.bottom;
}

std::vector<int> MeasureLabels(win::HDC dc, const WindowRecord* record, int tabHeight)
{
    std::vector<int> widths;
    win::HFONT font = TabFont(tabHeight - 3, true);
    win::HGDIOBJ old = win::SelectObject(dc, font);
    for (int tab = 0; tab < TabCount(record); ++tab) {
        const std::string label = GetTabLabel(record, tab);
        win::SIZE size{};
        win::GetTextExtentPoint32(dc, label.c_str(), static_cast<int>(label.size()), &size);
        widths.push_back(size.cx + 2);
    }
    win::SelectObject(dc, old);
    win::DeleteObject(font);
    return widths;
}

std::vector<int> MeasureBarLabels(win::HWND bar, const WindowRecord* record)
{
    win::HDC dc = win::GetDC(bar);
    std::vector<int> widths = MeasureLabels(dc, record, BarHeight(bar) - 2);
    win::ReleaseDC(bar, dc);
    return widths;
}

bool InTab(const TabGeometry::Tab& tab, int height, int x, int y)
{
    if (y < 0 || y > height) return false;
    const int left = tab.x + y / 2;
    const int right = tab.x + height + tab.width - y / 2;
    return x >= left && x < right;
}

win::RECT ArrowButtonRect(int button, int tabHeight)
{
    const int left = -1 + (button - 1) * (tabHeight + 1);
    return {left, 0, left + tabHeight + 2, tabHeight + 2};
}

void DrawArrowGlyph(win::HDC dc, const win::RECT& r, int button, bool down)
{
    const int cx = (r.left + r.right) / 2 + (down ? 1 : 0);
    const int cy = (r.top + r.bottom) / 2 + (down ? 1 : 0);
    const int h = std::max((r.bottom - r.top) / 4, 2);
    const bool left = button <= 2;
    const int dir = left ? -1 : 1;
    win::POINT triangle[3] = {{cx + dir * h / 2, cy}, {cx - dir * h / 2, cy - h}, {cx - dir * h / 2, cy + h}};
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::BLACK_BRUSH));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    win::Polygon(dc, triangle, 3);
    // "first" and "last" get a stop bar at the end they go to.
    if (button == 1 || button == 4) {
        const int x = cx + dir * (h / 2 + 1);
        win::MoveToEx(dc, x, cy - h, nullptr);
        win::LineTo(dc, x, cy + h + 1);
    }
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
}

win::COLORREF TabFillColor(const WindowRecord* record, bool textTab)
{
    const CircuitDocument& document = *record->document;
    return ColorIndexRgb(textTab ? document.textBackgroundColor : document.backgroundColor);
}

void PaintTabBar(win::HWND bar)
{
    win::PAINTSTRUCT ps;
    win::HDC target = win::BeginPaint(bar, &ps);
    WindowRecord* record = BarRecord(bar);
    const int pane = BarPane(bar);
    win::RECT client{};
    win::GetClientRect(bar, &client);
    if (!IsSchematicRecord(record) || client.right <= 0 || client.bottom <= 0) {
        win::EndPaint(bar, &ps);
        return;
    }
    const CircuitDocument& document = *record->document;
    win::HDC dc = win::CreateCompatibleDC(target);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(target, client.right, client.bottom);
    win::HGDIOBJ oldBitmap = win::SelectObject(dc, bitmap);
    win::FillRect(dc, &client, win::GetSysColorBrush(win::COLOR_BTNFACE));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    win::MoveToEx(dc, 0, 0, nullptr);
    win::LineTo(dc, client.right, 0);
    const int t = client.bottom - 2;
    for (int button = 1; button <= 4; ++button) {
        const win::RECT r = ArrowButtonRect(button, t);
        const bool down = Tabs().heldArrow == button && Tabs().arrowDrawn == 2;
        DrawTabFrame(dc, r, down ? 2 : 1, true);
        DrawArrowGlyph(dc, r, button, down);
    }
    const std::vector<int> widths = MeasureLabels(dc, record, t);
    const TabGeometry geometry =
        LayoutTabs(client.right, client.bottom, widths, document.paneFirstTab[static_cast<std::size_t>(pane)]);
    const int selected = SelectedTabOfPane(record, pane);
    win::HFONT normal = TabFont(t - 3, false);
    win::HFONT bold = TabFont(t - 3, true);
    win::HGDIOBJ oldFont = win::SelectObject(dc, normal);
    win::SetBkMode(dc, win::TRANSPARENT);
    win::IntersectClipRect(dc, geometry.areaLeft, 0, geometry.areaRight, client.bottom);
    for (int pass = 0; pass < 2; ++pass) {
        for (const TabGeometry::Tab& tab : geometry.tabs) {
            const bool isSelected = tab.index == selected;
            if (isSelected != (pass == 1)) continue;
            win::POINT corners[4] = {{tab.x, 0},
                                     {tab.x + t / 2, t},
                                     {tab.x + t / 2 + tab.width, t},
                                     {tab.x + t + tab.width, 0}};
            win::HBRUSH brush = isSelected ? win::CreateSolidBrush(TabFillColor(record, tab.index == 0))
                                           : nullptr;
            win::HGDIOBJ oldBrush =
                win::SelectObject(dc, brush ? static_cast<win::HGDIOBJ>(brush) : win::GetSysColorBrush(win::COLOR_BTNFACE));
            win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
            win::Polygon(dc, corners, 4);
            win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
            // The selected tab's top stays open: it joins the pane above.
            win::MoveToEx(dc, corners[0].x, corners[0].y, nullptr);
            win::LineTo(dc, corners[1].x, corners[1].y);
            win::LineTo(dc, corners[2].x, corners[2].y);
            win::LineTo(dc, corners[3].x, corners[3].y);
            if (!isSelected) win::LineTo(dc, corners[0].x, corners[0].y);
            win::SelectObject(dc, oldBrush);
            if (brush) win::DeleteObject(brush);
            win::SelectObject(dc, isSelected ? bold : normal);
            if (isSelected) win::SetTextColor(dc, win::RGB(0, 0, 0));
            const std::string label = GetTabLabel(record, tab.index);
            win::RECT text{tab.x + t / 2, 1, tab.x + t / 2 + tab.width, t};
            win::DrawText(dc, label, &text, win::DT_CENTER | win::DT_NOPREFIX | win::DT_SINGLELINE | win::DT_VCENTER);
        }
    }
    win::SelectClipRgn(dc, nullptr);
    win::SelectObject(dc, oldFont);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(normal);
    win::DeleteObject(bold);
    win::BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, win::SRCCOPY);
    win::SelectObject(dc, oldBitmap);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    win::EndPaint(bar, &ps);
}

int ClampFirstTab(win::HWND bar, WindowRecord* record, int first)
{
    win::RECT client{};
    win::GetClientRect(bar, &client);
    const int limit = TabScrollLimit(client.right, client.bottom, MeasureBarLabels(bar, record), TabCount(record));
    return std::clamp(first, 0, std::max(limit, 0));
}

void ShowTabsContextMenu(win::HWND bar, int x, int y, int tab)
{
    WindowRecord* record = BarRecord(bar);
    if (!IsSchematicRecord(record) || Analysis().analysisKind != kAnalysisNone) return;
    TabBarState& state = Tabs();
    state.menuTab = tab;
    if (tab >= 1) {
        state.insertPosition = PageCount(record);
    } else {
        // The page tab left of the point: the new page goes right after it.
        win::RECT client{};
        win::GetClientRect(bar, &client);
        const TabGeometry geometry = LayoutTabs(client.right, client.bottom, MeasureBarLabels(bar, record),
                                                record->document->paneFirstTab[static_cast<std::size_t>(BarPane(bar))]);
        state.insertPosition = 0;
        for (int px = x; px >= geometry.areaLeft; px -= 3) {
            const int found = TabAtPoint(geometry, SelectedTabOfPane(record, BarPane(bar)), px, y, nullptr);
            if (found >= 1) {
                state.insertPosition = found;
                break;
            }
        }
    }
    win::HMENU menu = win::CreatePopupMenu();
    if (menu == nullptr) return;
    win::AppendMenu(menu, win::MF_STRING, kCommandAddPage, "Add Page");
    if (tab >= 1) {
        if (PageCount(record) > 1)
            win::AppendMenu(menu, win::MF_STRING, kCommandDeletePage,
                            StrPrintf("Delete '%s'", GetTabLabel(record, tab).c_str()).c_str());
        win::AppendMenu(menu, win::MF_STRING, kCommandRenamePage, "Rename...");
    }
    win::POINT point{x + 4, y - 5};
    win::ClientToScreen(bar, &point);
    win::TrackPopupMenu(menu, win::TPM_RIGHTBUTTON, point.x, point.y, 0, bar, nullptr);
    win::DestroyMenu(menu);
}

win::LRESULT OnButtonDown(win::HWND bar, win::UINT msg, int x, int y)
{
    WindowRecord* record = BarRecord(bar);
    const int pane = BarPane(bar);
    if (!IsSchematicRecord(record) || pane < 0 || pane >= kPaneCount) return 1;
    CircuitDocument& document = *record->document;
    document.currentPane = pane;
    win::RECT client{};
    win::GetClientRect(bar, &client);
    TabBarState& state = Tabs();
    if (x >= client.right - kTabGripWidth) {
        state.resizing = true;
        state.lastX = x;
        win::SetCapture(bar);
        return 1;
    }
    const int t = client.bottom - 2;
    for (int button = 1; button <= 4; ++button) {
        const win::RECT r = ArrowButtonRect(button, t);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            win::SetCapture(bar);
            state.heldArrow = button;
            state.arrowDrawn = 2;
            win::InvalidateRect(bar, nullptr, 0);
            return 1;
        }
    }
    auto& first = document.paneFirstTab[static_cast<std::size_t>(pane)];
    const TabGeometry geometry = LayoutTabs(client.right, client.bottom, MeasureBarLabels(bar, record), first);
    bool cut = false;
    const int selected = SelectedTabOfPane(record, pane);
    const int tab = TabAtPoint(geometry, selected, x, y, &cut);
    if (tab >= 0) {
        if (cut && first < TabCount(record) - 1) ScrollTabsToPage(record, tab);
        if (tab < first) first = tab;
        if (tab != selected) {
            ShowPageInPane(record, pane, tab - 1);
            const int visible = FindVisiblePane(record);
            if (visible >= 0) document.currentPane = visible;
            RefreshToolButtonStates();
        }
        win::InvalidateRect(bar, nullptr, 0);
    }
    if (tab < 0 || msg == win::WM_RBUTTONDOWN) ShowTabsContextMenu(bar, x, y, tab);
    return 1;
}

void OnMouseMove(win::HWND bar, int x, int y)
{
    WindowRecord* record = BarRecord(bar);
    win::RECT client{};
    win::GetClientRect(bar, &client);
    TabBarState& state = Tabs();
    const bool overGrip = x >= client.right - kTabGripWidth && x < client.right;
    win::SetCursor(win::LoadCursor(nullptr, overGrip || state.resizing ? win::IDC_SIZEWE : win::IDC_ARROW));
    if (state.heldArrow != 0) {
        const win::RECT r = ArrowButtonRect(state.heldArrow, client.bottom - 2);
        const int drawn = x >= r.left && x < r.right && y >= r.top && y < r.bottom ? 2 : 1;
        if (drawn != state.arrowDrawn) {
            state.arrowDrawn = drawn;
            win::InvalidateRect(bar, nullptr, 0);
        }
    }
    if (state.resizing && IsSchematicRecord(record)) {
        auto& width = record->document->paneTabWidth[static_cast<std::size_t>(BarPane(bar))];
        int changed = width + (x - state.lastX);
        if (changed < kMinTabBarWidth) {
            x += kMinTabBarWidth - changed;
            changed = kMinTabBarWidth;
        }
        width = changed;
        state.lastX = x;
        LayoutPaneControls(record, true);
    }
}

void OnButtonUp(win::HWND bar)
{
    TabBarState& state = Tabs();
    if (state.resizing) {
        state.resizing = false;
        win::ReleaseCapture();
    }
    if (state.heldArrow == 0) return;
    WindowRecord* record = BarRecord(bar);
    const int button = state.heldArrow;
    const bool act = state.arrowDrawn == 2;
    state.heldArrow = 0;
    state.arrowDrawn = 1;
    win::ReleaseCapture();
    if (act && IsSchematicRecord(record)) {
        auto& first = record->document->paneFirstTab[static_cast<std::size_t>(BarPane(bar))];
        switch (button) {
        case 1: first = 0; break;
        case 2: first -= 1; break;
        case 3: first += 1; break;
        default: first = TabCount(record); break;
        }
        first = ClampFirstTab(bar, record, first);
    }
    win::InvalidateRect(bar, nullptr, 0);
}

win::LRESULT PageTabsWndProc(win::HWND bar, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    const int x = static_cast<std::int16_t>(win::LOWORD(lParam));
    const int y = static_cast<std::int16_t>(win::HIWORD(lParam));
    switch (msg) {
    case win::WM_LBUTTONDOWN:
    case win::WM_RBUTTONDOWN: return OnButtonDown(bar, msg, x, y);
    case win::WM_MOUSEMOVE: OnMouseMove(bar, x, y); return 0;
    case win::WM_LBUTTONUP:
    case win::WM_RBUTTONUP: OnButtonUp(bar); return 0;
    case win::WM_LBUTTONDBLCLK: {
        WindowRecord* record = BarRecord(bar);
        if (!IsSchematicRecord(record)) return 1;
        win::RECT client{};
        win::GetClientRect(bar, &client);
        const int pane = BarPane(bar);
        const TabGeometry geometry = LayoutTabs(client.right, client.bottom, MeasureBarLabels(bar, record),
                                                record->document->paneFirstTab[static_cast<std::size_t>(pane)]);
        const int tab = TabAtPoint(geometry, SelectedTabOfPane(record, pane), x, y, nullptr);
        if (tab >= 1) RenamePage(record, tab);
        return 1;
    }
    case win::WM_COMMAND: {
        WindowRecord* record = BarRecord(bar);
        const int id = win::LOWORD(wParam);
        if (IsSchematicRecord(record) && id >= kCommandAddPage && id <= kCommandRenamePage) {
            SetAllItemsSelected(record, kSchematicMask, 0);
            const TabBarState& state = Tabs();
            if (id == kCommandAddPage) AddPage(record, state.insertPosition);
            if (id == kCommandDeletePage) DeletePages(record, {state.menuTab - 1});
            if (id == kCommandRenamePage) RenamePage(record, state.menuTab);
        }
        return win::DefWindowProc(bar, msg, wParam, lParam);
    }
    case win::WM_PAINT: PaintTabBar(bar); return 0;
    case win::WM_ERASEBKGND: return 1;
    default: return win::DefWindowProc(bar, msg, wParam, lParam);
    }
}

}  // namespace

bool RegisterTabBarClass()
{
    win::WNDCLASS existing;
    if (win::GetClassInfo(nullptr, kTabBarClassName, &existing)) return true;
    win::WNDCLASS wc;
    wc.style = win::CS_HREDRAW | win::CS_VREDRAW | win::CS_DBLCLKS;
    wc.lpfnWndProc = PageTabsWndProc;
    wc.hCursor = win::LoadCursor(nullptr, win::IDC_ARROW);
    wc.lpszClassName = kTabBarClassName;
    return win::RegisterClass(&wc) != 0;
}

void UnregisterTabBarClass() { win::UnregisterClass(kTabBarClassName, nullptr); }

win::HWND CreateTabBar(win::HWND parent, int id)
{
    if (!RegisterTabBarClass()) return nullptr;
    return win::CreateWindowEx(0, kTabBarClassName, "", win::WS_CHILD | win::WS_VISIBLE, 0, 0, 0, 0, parent,
                               win::ChildIdMenu(id), nullptr, nullptr);
}

void RepaintTabBar(WindowRecord* record, int pane)
{
    if (record == nullptr || record->window == nullptr || pane < 0 || pane >= kPaneCount) return;
    if (win::HWND bar = win::GetDlgItem(record->window, kPaneTabBarId + pane)) win::InvalidateRect(bar, nullptr, 0);
}

int SelectedTabOfPane(const WindowRecord* record, int pane)
{
    if (record == nullptr || !record->document || pane < 0 || pane >= kPaneCount) return 0;
    if (TextPaneOf(record) == pane) return 0;
    return record->document->panePage[static_cast<std::size_t>(pane)] + 1;
}

TabGeometry LayoutTabs(int barWidth, int barHeight, const std::vector<int>& labelWidths, int firstTab)
{
    TabGeometry geometry;
    const int t = barHeight - 2;
    geometry.height = t;
    geometry.areaLeft = 4 * barHeight - 4;
    geometry.areaRight = barWidth - kTabGripWidth;
    const int count = static_cast<int>(labelWidths.size());
    firstTab = std::clamp(firstTab, 0, std::max(count - 1, 0));
    int x = geometry.areaLeft;
    int start = firstTab;
    if (firstTab > 0) {
        // Only the right slope of the tab before the first shows.
        x -= t / 2 + labelWidths[static_cast<std::size_t>(firstTab - 1)];
        start = firstTab - 1;
    }
    for (int i = start; i < count; ++i) {
        const int w = labelWidths[static_cast<std::size_t>(i)];
        geometry.tabs.push_back({i, x, w, x + t + w > geometry.areaRight});
        x += t / 2 + w;
    }
    return geometry;
}

int TabAtPoint(const TabGeometry& geometry, int selectedTab, int x, int y, bool* cut)
{
    if (cut) *cut = false;
    if (x < geometry.areaLeft || x >= geometry.areaRight) return -1;
    // The selected tab is drawn on top of its neighbours, so it wins an overlap; between two
    // unselected tabs the right-hand one does.
    const TabGeometry::Tab* found = nullptr;
    for (const TabGeometry::Tab& tab : geometry.tabs) {
        if (!InTab(tab, geometry.height, x, y)) continue;
        found = &tab;
        if (tab.index == selectedTab) break;
    }
    if (found == nullptr) return -1;
    if (cut) *cut = found->cut;
    return found->index;
}

int TabScrollLimit(int barWidth, int barHeight, const std::vector<int>& labelWidths, int tab)
{
    const int count = static_cast<int>(labelWidths.size());
    if (count == 0) return 0;
    tab = std::clamp(tab, 0, count - 1);
    for (int first = 0; first <= tab; ++first) {
        const TabGeometry geometry = LayoutTabs(barWidth, barHeight, labelWidths, first);
        for (const TabGeometry::Tab& drawn : geometry.tabs)
            if (drawn.index == tab && !drawn.cut) return first;
    }
    return tab;
}

void ScrollTabsToPage(WindowRecord* record, int tab)
{
    if (!IsSchematicRecord(record) || record->window == nullptr) return;
    const int pane = record->document->currentPane;
    if (pane < 0 || pane >= kPaneCount || tab < 0 || tab > PageCount(record)) return;
    win::HWND bar = win::GetDlgItem(record->window, kPaneTabBarId + pane);
    if (bar == nullptr) return;
    win::RECT client{};
    win::GetClientRect(bar, &client);
    const std::vector<int> widths = MeasureBarLabels(bar, record);
    auto& first = record->document->paneFirstTab[static_cast<std::size_t>(pane)];
    const int limit = TabScrollLimit(client.right, client.bottom, widths, tab);
    while (first < limit) ++first;
    RepaintTabBar(record, pane);
}

void DrawTabFrame(win::HDC dc, const win::RECT& rect, int state, bool fill)
{
    const bool pressed = state == 2;
    win::HGDIOBJ oldBrush = win::SelectObject(
        dc, fill ? static_cast<win::HGDIOBJ>(win::GetSysColorBrush(win::COLOR_BTNFACE)) : win::GetStockObject(win::NULL_BRUSH));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    win::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    win::HPEN light = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNHIGHLIGHT));
    win::HPEN shadow = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNSHADOW));
    win::SelectObject(dc, pressed ? shadow : light);
    win::MoveToEx(dc, rect.left + 1, rect.bottom - 2, nullptr);
    win::LineTo(dc, rect.left + 1, rect.top + 1);
    win::LineTo(dc, rect.right - 1, rect.top + 1);
    win::SelectObject(dc, pressed ? light : shadow);
    win::MoveToEx(dc, rect.left + 1, rect.bottom - 2, nullptr);
    win::LineTo(dc, rect.right - 2, rect.bottom - 2);
    win::LineTo(dc, rect.right - 2, rect.top);
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
    win::DeleteObject(light);
    win::DeleteObject(shadow);
}

}  // namespace kq5
