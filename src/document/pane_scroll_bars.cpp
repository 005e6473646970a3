#include "document/pane_scroll_bars.h"

#include <algorithm>
#include <cmath>

#include "ui/crosshair.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/control_scrollbar.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

int gPaneBeingScrolled = -1;

bool IsSchematicRecord(const WindowRecord* record)
{
    return record != nullptr && record->document != nullptr &&
           (record->kind == kWindowSchematic || record->kind == kWindowPlainSchematic);
}

PageRecord* PanePageRecord(const WindowRecord* record, int pane)
{
    if (!IsSchematicRecord(record) || pane < 0 || pane >= kPaneCount) return nullptr;
    CircuitDocument& document = *record->document;
    const int page = document.panePage[static_cast<std::size_t>(pane)];
    if (page < 0 || static_cast<std::size_t>(page) >= document.pages.size()) return nullptr;
    return &document.pages[static_cast<std::size_t>(page)];
}

win::HWND Bar(const WindowRecord* record, int pane, bool horizontal)
{
    if (record->window == nullptr) return nullptr;
    return win::GetDlgItem(record->window, (horizontal ? kPaneHScrollId : kPaneVScrollId) + pane);
}

}  // namespace

int PaneBeingScrolled() { return gPaneBeingScrolled; }

win::POINT PaneScrollLimit(const WindowRecord* record, int pane)
{
    const PageRecord* page = PanePageRecord(record, pane);
    if (page == nullptr) return {0, 0};
    const int beyond = kScrollBeyondExtent * kDrawUnitsPerGrid;
    return {std::max<int>(page->extent.right, 0) + beyond, std::max<int>(page->extent.bottom, 0) + beyond};
}

void UpdatePaneScrollRange(WindowRecord* record, int pane)
{
    if (!IsSchematicRecord(record) || record->window == nullptr) return;
    // The text area keeps its own scroll bars.
    if (pane == TextPaneOf(record)) return;
    const PageRecord* page = PanePageRecord(record, pane);
    if (page == nullptr) return;
    const win::POINT limit = PaneScrollLimit(record, pane);
    const auto p = static_cast<std::size_t>(pane);
    if (win::HWND bar = Bar(record, pane, true)) {
        win::SetScrollRange(bar, win::SB_CTL, 0, limit.x, 0);
        win::SetScrollPos(bar, win::SB_CTL, page->originX[p], 0);
    }
    if (win::HWND bar = Bar(record, pane, false)) {
        win::SetScrollRange(bar, win::SB_CTL, 0, limit.y, 0);
        win::SetScrollPos(bar, win::SB_CTL, page->originY[p], 0);
    }
}

void UpdatePaneScrollBars(WindowRecord* record)
{
    for (int pane = 0; pane < kPaneCount; ++pane) UpdatePaneScrollRange(record, pane);
}

void SetPaneScrollPos(win::HWND hwnd, int pane, int x, int y)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    PageRecord* page = PanePageRecord(record, pane);
    if (page == nullptr) return;
    const auto p = static_cast<std::size_t>(pane);
    if (x != -1) {
        if (win::HWND bar = Bar(record, pane, true)) win::SetScrollPos(bar, win::SB_CTL, x, 1);
        page->originX[p] = x;
    }
    if (y != -1) {
        if (win::HWND bar = Bar(record, pane, false)) win::SetScrollPos(bar, win::SB_CTL, y, 1);
        page->originY[p] = y;
    }
}

int ScrollPaneView(WindowRecord* record, int x, int y, int pane, int& dx, int& dy)
{
    dx = dy = 0;
    PageRecord* page = PanePageRecord(record, pane);
    if (page == nullptr) return 0;
    const auto p = static_cast<std::size_t>(pane);
    const int cx = page->originX[p];
    const int cy = page->originY[p];
    if (record->window) win::UpdateWindow(record->window);
    const win::POINT limit = PaneScrollLimit(record, pane);
    x = std::clamp(x, 0, static_cast<int>(limit.x));
    y = std::clamp(y, 0, static_cast<int>(limit.y));
    if (x == cx && y == cy) return 0;
    const double scale = record->document->zoomFactor != 0.0 ? record->document->zoomFactor : 1.0;
    if (record->window) SetPaneScrollPos(record->window, pane, x, y);
    else {
        page->originX[p] = x;
        page->originY[p] = y;
    }
    dx = static_cast<int>((cx - x) / scale);
    dy = static_cast<int>((cy - y) / scale);
    if (record->window) {
        SuspendCrosshair(true);
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        win::ScrollWindow(record->window, dx, dy, &rect, &rect);
        gPaneBeingScrolled = pane;
        win::UpdateWindow(record->window);
        gPaneBeingScrolled = -1;
        ResumeCrosshair();
    }
    return 1;
}

win::POINT CenteredPaneOrigin(const WindowRecord* record, int gx, int gy, int pane)
{
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    const double scale = record && record->document && record->document->zoomFactor != 0.0
                             ? record->document->zoomFactor
                             : 1.0;
    const auto halfX = static_cast<std::int16_t>(static_cast<int>((rect.right - rect.left) / 2 * scale));
    const auto halfY = static_cast<std::int16_t>(static_cast<int>((rect.bottom - rect.top) / 2 * scale));
    return {std::max(kDrawUnitsPerGrid * gx - halfX, 0), std::max(kDrawUnitsPerGrid * gy - halfY, 0)};
}

void ScrollPaneTo(WindowRecord* record, int pane, int gx, int gy, bool force)
{
    if (!IsSchematicRecord(record)) return;
    const win::POINT origin = CenteredPaneOrigin(record, gx, gy, pane);
    int dx = 0, dy = 0;
    const int moved = ScrollPaneView(record, origin.x, origin.y, pane, dx, dy);
    if ((moved == 0 || force) && record->window) {
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        win::InvalidateRect(record->window, &rect, 1);
    }
}

void ScrollPaneToAndRedraw(WindowRecord* record, int pane, int gx, int gy)
{
    if (!IsSchematicRecord(record)) return;
    if (record->window) win::SendMessage(record->window, win::WM_SETREDRAW, 0, 0);
    ScrollPaneTo(record, pane, gx, gy, false);
    ResumeWindowRedraw(record->window);
}

void ResumeWindowRedraw(win::HWND window)
{
    if (window == nullptr) return;
    win::SendMessage(window, win::WM_SETREDRAW, 1, 0);
    win::RedrawWindow(window, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
}

void OnPaneScroll(WindowRecord* record, int pane, bool horizontal, int code, int thumb)
{
    if (!IsSchematicRecord(record) || record->window == nullptr) return;
    win::HWND bar = Bar(record, pane, horizontal);
    win::HWND other = Bar(record, pane, !horizontal);
    if (bar == nullptr) return;
    int position = win::GetScrollPos(bar, win::SB_CTL);
    win::RECT client{};
    win::GetClientRect(record->window, &client);
    const int page = horizontal ? client.right : client.bottom;
    switch (code) {
    case win::SB_LINEUP: position -= kScrollLineStep; break;
    case win::SB_LINEDOWN: position += kScrollLineStep; break;
    case win::SB_PAGEUP: position -= page; break;
    case win::SB_PAGEDOWN: position += page; break;
    case win::SB_THUMBPOSITION:
    case win::SB_THUMBTRACK: position = thumb; break;
    default: return;
    }
    const int otherPosition = other ? win::GetScrollPos(other, win::SB_CTL) : 0;
    int dx = 0, dy = 0;
    if (horizontal) ScrollPaneView(record, position, otherPosition, pane, dx, dy);
    else ScrollPaneView(record, otherPosition, position, pane, dx, dy);
}

}  // namespace kq5
