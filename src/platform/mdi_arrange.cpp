// Arranging an MDI client's children: tiled side by side or stacked, cascaded, and their icons
// in rows along the bottom edge.
#include <algorithm>
#include <cmath>

#include "platform/mdi_internal.h"
#include "platform/system.h"

namespace win {

namespace {

// A maximised active child is restored before its siblings are arranged around it.
void RestoreMaximized(MdiClientData* d) {
    if (IsWindow(d->active) && IsZoomed(d->active)) ShowWindow(d->active, SW_SHOWNOACTIVATE);
}

RECT ArrangeArea(MdiClientData* d) {
    RECT area{};
    GetClientRect(d->client, &area);
    area.bottom -= ArrangeMdiIcons(d);
    if (area.bottom <= area.top) area.bottom = area.top + 1;
    return area;
}

void Place(HWND hwnd, int x, int y, int cx, int cy) {
    SetWindowPos(hwnd, nullptr, x, y, std::max(cx, 1), std::max(cy, 1), SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int ArrangeMdiIcons(MdiClientData* d) {
    RECT area{};
    GetClientRect(d->client, &area);
    std::vector<HWND> icons;
    for (HWND c : d->children)
        if (auto* w = LiveWindow(c); w && (w->style & WS_VISIBLE) && (w->style & WS_MINIMIZE)) icons.push_back(c);
    if (icons.empty()) return 0;
    int cw = GetSystemMetrics(SM_CXMINIMIZED), ch = GetSystemMetrics(SM_CYMINIMIZED);
    int spacing = GetSystemMetrics(SM_CXMINSPACING), rowHeight = GetSystemMetrics(SM_CYMINSPACING);
    int perRow = std::max<int>(1, (area.right - area.left) / spacing);
    for (std::size_t i = 0; i < icons.size(); ++i) {
        int col = static_cast<int>(i) % perRow, row = static_cast<int>(i) / perRow;
        POINT at{area.left + col * spacing, area.bottom - ch - row * rowHeight};
        if (auto* w = LiveWindow(icons[i])) w->minPos = at;
        SetWindowPos(icons[i], nullptr, at.x, at.y, cw, ch, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    int rows = (static_cast<int>(icons.size()) + perRow - 1) / perRow;
    return (rows - 1) * rowHeight + ch;
}

BOOL TileMdiChildren(MdiClientData* d, WPARAM how) {
    RestoreMaximized(d);
    RECT area = ArrangeArea(d);
    auto wins = VisibleMdiChildren(d, true, (how & MDITILE_SKIPDISABLED) != 0);
    if (wins.empty()) return FALSE;
    int n = static_cast<int>(wins.size());
    // Side by side (vertical): as many columns as fit the count, each column split evenly; the
    // first columns take one window less when the grid is not full. Stacked (horizontal) is the
    // same grid turned on its side.
    bool sideBySide = (how & MDITILE_HORIZONTAL) == 0;
    int lines = std::max(1, static_cast<int>(std::floor(std::sqrt(static_cast<double>(n)))));
    int groups = (n + lines - 1) / lines;        // columns (side by side) or rows (stacked)
    int spare = groups * lines - n;              // groups that hold one window less
    int w = area.right - area.left, h = area.bottom - area.top;
    int index = 0;
    for (int g = 0; g < groups; ++g) {
        int inGroup = lines - (g < spare ? 1 : 0);
        for (int k = 0; k < inGroup && index < n; ++k, ++index) {
            if (sideBySide) {
                int x0 = area.left + w * g / groups, x1 = area.left + w * (g + 1) / groups;
                int y0 = area.top + h * k / inGroup, y1 = area.top + h * (k + 1) / inGroup;
                Place(wins[static_cast<std::size_t>(index)], x0, y0, x1 - x0, y1 - y0);
            } else {
                int y0 = area.top + h * g / groups, y1 = area.top + h * (g + 1) / groups;
                int x0 = area.left + w * k / inGroup, x1 = area.left + w * (k + 1) / inGroup;
                Place(wins[static_cast<std::size_t>(index)], x0, y0, x1 - x0, y1 - y0);
            }
        }
    }
    return TRUE;
}

BOOL CascadeMdiChildren(MdiClientData* d, WPARAM how) {
    RestoreMaximized(d);
    RECT area = ArrangeArea(d);
    auto wins = VisibleMdiChildren(d, true, (how & MDITILE_SKIPDISABLED) != 0);
    if (wins.empty()) return FALSE;
    int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    int w = area.right - area.left, h = area.bottom - area.top;
    // The staircase restarts once a window would be less than half the area.
    int maxSteps = std::max(1, std::min(w, h) / 2 / step + 1);
    int n = static_cast<int>(wins.size());
    int steps = std::min(n, maxSteps);
    int cw = w - step * (steps - 1), ch = h - step * (steps - 1);
    // The window at the back goes to the top left, the active one ends in front.
    for (int k = 0; k < n; ++k) {
        HWND hwnd = wins[static_cast<std::size_t>(n - 1 - k)];
        int offset = (k % maxSteps) * step;
        Place(hwnd, area.left + offset, area.top + offset, cw, ch);
    }
    return TRUE;
}

}  // namespace win
