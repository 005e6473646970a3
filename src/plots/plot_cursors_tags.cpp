// Tags made from the cursors: a point tag at either cursor, and a horizontal or vertical measure
// tag between the two.
#include <algorithm>

#include "analog/run_control.h"
#include "ui/window_record.h"
#include "document/schematic_item.h"
#include "platform/paint.h"
#include "results/curve_record.h"
#include "plots/plot_axes.h"
#include "plots/plot_cursors.h"
#include "results/plot_object.h"
#include "plots/plot_object_geometry.h"

namespace kq5 {

namespace {

// A point tag's label stands below and left of its point.
constexpr int kLabelBelow = 20;
constexpr int kLabelLeft = 40;
constexpr std::uint16_t kPointTagStyle = kObjectTag | 0x01;

int CurrentCurve(const PlotRecord& plot) { return std::clamp(plot.currentCurve, 0, plot.curveCount - 1); }

void Finish(WindowRecord* window)
{
    if (WindowRecord* circuit = RunControl().circuitWindow) circuit->modified = 1;
    if (window->window) win::InvalidateRect(window->window, nullptr, 1);
}

}  // namespace

PlotObject* TagCursorPoint(WindowRecord* window, int k)
{
    if (!window || !window->plot || window->plot->curveCount == 0 || k < 0 || k > 1) return nullptr;
    const int index = CurrentCurve(*window->plot);
    const CurveRecord& c = *window->plot->curves[static_cast<std::size_t>(index)];
    const std::size_t at = static_cast<std::size_t>(k);
    const int x = ValueToPixelClamped(c, kWaveformX, c.cursorX[at]);
    const int y = ValueToPixelClamped(c, kWaveformY, c.cursorY[at]);
    PlotObject* tag = CreatePlotObject(window, kPointTagStyle, index, win::RECT{x, y, x - kLabelLeft, y + kLabelBelow});
    if (!tag) return nullptr;
    // The tag holds the cursor's own values, not the pixel's.
    tag->x1 = c.cursorX[at];
    tag->y1 = c.cursorY[at];
    Finish(window);
    return tag;
}

PlotObject* TagCursorSpan(WindowRecord* window, int command)
{
    if (!window || !window->plot || window->plot->curveCount == 0) return nullptr;
    const bool horizontal = command == kCommandTagHorizontal;
    const int index = CurrentCurve(*window->plot);
    const CurveRecord& c = *window->plot->curves[static_cast<std::size_t>(index)];
    const win::RECT pixels{ValueToPixelClamped(c, kWaveformX, c.cursorX[0]), ValueToPixelClamped(c, kWaveformY, c.cursorY[0]),
                           ValueToPixelClamped(c, kWaveformX, c.cursorX[1]), ValueToPixelClamped(c, kWaveformY, c.cursorY[1])};
    PlotObject* tag = CreatePlotObject(window, horizontal ? kObjectMeasureH : kObjectMeasureV, index, pixels);
    if (!tag) return nullptr;
    tag->x1 = c.cursorX[0];
    tag->y1 = c.cursorY[0];
    tag->x2 = c.cursorX[1];
    tag->y2 = c.cursorY[1];
    tag->measured = horizontal ? tag->y2 - (tag->y2 - tag->y1) * 0.5 : tag->x2 - (tag->x2 - tag->x1) * 0.5;
    Finish(window);
    return tag;
}

}  // namespace kq5
