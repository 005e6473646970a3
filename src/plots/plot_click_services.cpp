#include "plots/plot_click_services.h"

#include "plots/curve_ranges.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_object_moves.h"

namespace kq5 {

void ZoomPlotToBox(WindowRecord* record, const win::RECT& box)
{
    const int curve = FindPlotAtPoint(record, box.left, box.top);
    if (curve < 0) return;
    ZoomCurvesToRect(record, curve, win::POINT{box.left, box.top}, win::POINT{box.right, box.bottom});
}

int AddPlotObjectFromDrag(WindowRecord* record, std::uint16_t style, const win::RECT& pixels)
{
    const int curve = FindPlotAtPoint(record, pixels.left, pixels.top);
    return CreatePlotObject(record, style, curve, pixels) != nullptr ? 1 : 0;
}

void ToggleInteractiveSwitch(WindowRecord*, SchematicItem*) {}

}  // namespace kq5
