#include "plots/plot_object_moves.h"

#include <cmath>

#include "document/schematic_item.h"
#include "plots/plot_object.h"

namespace kq5 {

namespace {

int ToPixel(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

int FindPlotAtPoint(WindowRecord*, int, int) { return -1; }

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
