#include "schematic/zoom.h"

#include <algorithm>
#include <cstdlib>

#include "document/record_font.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "plots/plot_click_services.h"
#include "schematic/circuit_window.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

void ZoomTextFont(WindowRecord* record, int command)
{
    FontSpec spec = record->font;
    const int height = std::abs(static_cast<int>(spec.height));
    const int sign = spec.height < 0 ? -1 : 1;
    int changed = height;
    if (command == kCommandZoomOut && height > 2) changed = height - 1;
    if (command == kCommandZoomIn && height < kMaxTextZoomHeight) changed = height + 1;
    if (changed == height) return;
    spec.height = static_cast<std::int16_t>(sign * changed);
    ApplyRecordTextFont(record, spec);
    SetRedrawFlags(record);
}

// Every item's attribute texts are laid out again at the new scale.
void MarkAllItemsMoved(CircuitDocument& document)
{
    for (SchematicItem* item = ListHead<SchematicItem>(document.itemList); item; item = ListNext(item))
        item->attributesChanged = 1;
}

void ZoomSchematic(WindowRecord* record, int command)
{
    CircuitDocument& document = *record->document;
    const double old = document.zoomFactor != 0.0 ? document.zoomFactor : 1.0;
    const double scale =
        command == kCommandZoomOut ? std::min(old * 2.0, kMaxViewScale) : std::max(old * 0.5, kMinViewScale);
    MarkAllItemsMoved(document);
    if (scale == old) return;
    if (record->window) win::SendMessage(record->window, win::WM_SETREDRAW, 0, 0);
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (!IsPaneVisible(record, pane) || pane == TextPaneOf(record)) continue;
        win::RECT rect{};
        GetPaneRect(record, pane, rect);
        win::POINT topLeft{}, bottomRight{};
        document.zoomFactor = old;
        ScreenToWorld(record, topLeft, 0, 0, pane);
        ScreenToWorld(record, bottomRight, rect.right - rect.left, rect.bottom - rect.top, pane);
        // What the pane shows, cut to the page's extent: its centre stays in place.
        const int page = document.panePage[static_cast<std::size_t>(pane)];
        if (page >= 0 && static_cast<std::size_t>(page) < document.pages.size()) {
            const win::RECT& extent = document.pages[static_cast<std::size_t>(page)].extent;
            topLeft.x = std::max<int>(topLeft.x, extent.left / kDrawUnitsPerGrid);
            topLeft.y = std::max<int>(topLeft.y, extent.top / kDrawUnitsPerGrid);
            bottomRight.x = std::min<int>(bottomRight.x, extent.right / kDrawUnitsPerGrid);
            bottomRight.y = std::min<int>(bottomRight.y, extent.bottom / kDrawUnitsPerGrid);
        }
        const int cx = std::max<int>(topLeft.x + (bottomRight.x - topLeft.x) / 2, 0);
        const int cy = std::max<int>(topLeft.y + (bottomRight.y - topLeft.y) / 2, 0);
        document.zoomFactor = scale;
        ScrollPaneTo(record, pane, cx, cy, false);
    }
    document.zoomFactor = scale;
    SetRedrawFlags(record);
    ResumeWindowRedraw(record->window);
}

}  // namespace

void ZoomWindow(WindowRecord* record, int command)
{
    if (record == nullptr) return;
    if (command != kCommandZoomIn && command != kCommandZoomOut) return;
    const bool circuit = record->kind == kWindowSchematic || record->kind == kWindowTextCircuit;
    if (circuit && IsTextEditActive(record)) {
        ZoomTextFont(record, command);
        return;
    }
    if (record->kind == kWindowSchematic && record->document) ZoomSchematic(record, command);
    // Analysis and performance windows zoom their plots.
    if (record->kind == kWindowAnalysis || record->kind == kWindowPerformance) ZoomPlot(record, command);
}

void QuickZoom(WindowRecord* record, int pane, int gx, int gy)
{
    if (record == nullptr || !record->document) return;
    CircuitDocument& document = *record->document;
    document.zoomFactor = document.zoomFactor == 1.0 ? 4.0 : 1.0;
    MarkAllItemsMoved(document);
    ScrollPaneToAndRedraw(record, pane, gx, gy);
}

}  // namespace kq5
