#include "plots/plot_object_moves.h"

#include <algorithm>
#include <cmath>

#include "app/window_record.h"
#include "document/schematic_item.h"
#include "plots/curve_record.h"
#include "plots/plot_object.h"

namespace kq5 {

namespace {

int ToPixel(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

int FindPlotAtPoint(WindowRecord* record, int x, int y)
{
    if (!record || !record->plot) return -1;
    const PlotRecord& plot = *record->plot;
    const auto inside = [&](const CurveRecord& c) {
        const win::RECT& r = c.plotRect;
        return r.right > r.left && x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
    };
    // A digital lane under the point wins; otherwise the group under it, by its current curve.
    for (int i = 0; i < plot.curveCount; ++i) {
        const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        if (c.digital && inside(c) && std::min(c.yPixelSpan[0], c.yPixelSpan[1]) <= y &&
            y <= std::max(c.yPixelSpan[0], c.yPixelSpan[1]))
            return i;
    }
    for (int i = 0; i < plot.curveCount; ++i) {
        const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        if (!inside(c)) continue;
        const int current = plot.currentCurve;
        if (current >= 0 && current < plot.curveCount &&
            plot.curves[static_cast<std::size_t>(current)]->plotGroup == c.plotGroup)
            return current;
        return i;
    }
    return -1;
}

void OffsetItemRect(WindowRecord* record, PlotObject& destination, const PlotObject& source, int dx, int dy,
                    int plotIndex)
{
    ListNode* next = destination.next;
    const std::uint16_t kind = destination.kind;
    destination = source;
    destination.next = next;
    destination.kind = kind;
    destination.w2 = plotIndex;
    win::RECT pixels = PlotObjectPixelRect(record, source);
    pixels.left += dx;
    pixels.right += dx;
    pixels.top += dy;
    pixels.bottom += dy;
    SetObjectPointsFromPixels(record, destination, pixels);
}

win::RECT PlotObjectPixelRect(WindowRecord*, const PlotObject& object)
{
    return win::RECT{ToPixel(object.x1), ToPixel(object.y1), ToPixel(object.x2), ToPixel(object.y2)};
}

void SetObjectPointsFromPixels(WindowRecord*, PlotObject& object, const win::RECT& pixels)
{
    object.x1 = pixels.left;
    object.y1 = pixels.top;
    object.x2 = pixels.right;
    object.y2 = pixels.bottom;
}

int GetDimensionLinePixel(WindowRecord*, const PlotObject& object)
{
    const std::uint16_t kind = object.style & kStyleKindMask;
    return kind == kObjectMeasureH || kind == kObjectMeasureV ? ToPixel(object.measured) : 0;
}

void SetDimensionLineFromPixel(WindowRecord*, PlotObject& object, int pixel) { object.measured = pixel; }

void SnapObjectToCurves(WindowRecord*, PlotObject&, const win::RECT&) {}

}  // namespace kq5
