#include "plots/plot_object_geometry.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/linked_list.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_axes.h"
#include "results/plot_object.h"
#include "plots/plot_object_moves.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

// Pixels stay within what every device draws exactly.
constexpr double kPixelLimit = 8.0e6;

int ClampPixel(double value)
{
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::clamp(value, -kPixelLimit, kPixelLimit));
}

PlotRecord* PlotOfRecord(WindowRecord* record) { return record && record->plot ? record->plot.get() : nullptr; }

}  // namespace

double WindowFractionFromPixel(int pixel, int origin, int extent)
{
    if (extent <= 0) return pixel;
    return static_cast<double>(pixel - origin) * kWindowFractionUnits / extent;
}

int PixelFromWindowFraction(double value, int origin, int extent)
{
    if (!std::isfinite(value)) return origin;
    if (extent <= 0) return ClampPixel(value);
    return ClampPixel(origin + std::trunc(value * extent / kWindowFractionUnits));
}

int CurveUnitToPixel(const CurveRecord& curve, int axis, double value)
{
    // The curve drawing truncates its pixels; the nudge keeps a pixel that went through
    // CurvePixelToUnit from landing one below itself.
    return ClampPixel(std::floor(ValueToPixel(curve, axis, value) + 1e-6));
}

win::RECT PlotObjectDrawingRect(WindowRecord* record, win::HDC dc)
{
    win::RECT rect{};
    GetDrawingRect(record, dc, rect);
    return rect;
}

PlotObject* CreatePlotObject(WindowRecord* record, std::uint16_t style, int curve, const win::RECT& pixels)
{
    PlotRecord* plot = PlotOfRecord(record);
    if (!plot) return nullptr;
    PlotObject* object = new (std::nothrow) PlotObject();
    if (!object) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return nullptr;
    }
    object->kind = kKindPlotObject;
    const FontSpec& textFont = PlotViewOf(record->plot).textFont;
    object->font = textFont;
    object->layer = kPlotObjectLayer;
    object->style = style;
    object->w = curve;
    object->w2 = curve;
    object->analysisKind = static_cast<std::int16_t>(Analysis().analysisKind + 1);
    ListLinkAfter(plot->objects, nullptr, object);
    SetObjectPointsFromPixels(record, *object, pixels);
    const std::uint16_t kind = style & kStyleKindMask;
    if (kind == kObjectMeasureV) object->measured = object->x2 - (object->x2 - object->x1) * 0.5;
    if (kind == kObjectMeasureH) object->measured = object->y2 - (object->y2 - object->y1) * 0.5;
    SnapObjectToCurves(record, *object, pixels);
    // Kinds without a colour of their own take the plot's text colour.
    object->color = textFont.color;
    object->fillColor = textFont.color;
    return object;
}

int DeletePlotObjects(WindowRecord* record, int kind)
{
    PlotRecord* plot = PlotOfRecord(record);
    if (!plot) return 0;
    int removed = 0;
    for (ListNode* node = plot->objects.head; node;) {
        auto* object = static_cast<PlotObject*>(node);
        const bool invalid = object->analysisKind < 1 || object->analysisKind > 3 || (object->style & kStyleKindMask) == 0;
        const bool ofKind = kind >= 0 && object->analysisKind == kind + 1;
        if (invalid || ofKind) {
            node = ListRemove(plot->objects, node);
            ++removed;
            SetRedrawFlags(record);
        } else {
            node = node->next;
        }
    }
    if (removed && record->window) win::InvalidateRect(record->window, nullptr, 1);
    return removed;
}

}  // namespace kq5
