#include "plots/curve_ranges.h"

#include <algorithm>
#include <cmath>

#include "ui/window_record.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "plots/plot_axes.h"
#include "plots/plot_setup.h"
#include "plots/plot_view.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr double kRangeMagnitudeLimit = 1e30;
constexpr double kRangeSmallLimit = 1e-30;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

bool AcceptableEnd(double v, bool linear)
{
    if (!linear && v <= 0.0) return false;
    if (v == 0.0) return linear;
    const double m = std::fabs(v);
    return std::isfinite(v) && m < kRangeMagnitudeLimit && m > kRangeSmallLimit;
}

int CurrentGroup(const PlotRecord& plot)
{
    if (plot.curveCount == 0) return -1;
    return plot.curves[U(std::clamp(plot.currentCurve, 0, plot.curveCount - 1))]->plotGroup;
}

void Redraw(WindowRecord* window)
{
    if (window->window) RedrawPlotWindow(window, nullptr, -1);
}

}  // namespace

void SaveCurveRanges(WindowRecord* window)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        c.savedLow = c.axisLow;
        c.savedHigh = c.axisHigh;
    }
    // The scales are about to change: Undo swaps them back.
    SetUndoKind(window, kUndoPlotScales);
}

void UndoCurveRanges(WindowRecord* window)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        std::swap(c.axisLow, c.savedLow);
        std::swap(c.axisHigh, c.savedHigh);
        for (int axis = 0; axis < 2; ++axis) ChooseAxisLabelScale(c, axis);
    }
    Redraw(window);
}

void RestoreRunStartRanges(WindowRecord* window)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    bool differs = false;
    for (int i = 0; i < plot.curveCount; ++i) {
        const CurveRecord& c = *plot.curves[U(i)];
        differs = differs || c.axisLow != c.referenceLow || c.axisHigh != c.referenceHigh;
    }
    if (!differs) return;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        c.axisLow = c.referenceLow;
        c.axisHigh = c.referenceHigh;
        for (int axis = 0; axis < 2; ++axis) ChooseAxisLabelScale(c, axis);
    }
    if (window->window) win::BringWindowToTop(window->window);
    Redraw(window);
}

int SetCurveAxisRange(CurveRecord& curve, int axis, double low, double high)
{
    const bool linear = curve.linear[U(axis)] != 0;
    if (!AcceptableEnd(low, linear) || !AcceptableEnd(high, linear)) return 0;
    curve.axisLow[U(axis)] = low;
    curve.axisHigh[U(axis)] = high;
    curve.axisSpan[U(axis)] = high - low;
    return 1;
}

void OrderCurveAxisRange(CurveRecord& curve, int axis, bool ascending)
{
    double& low = curve.axisLow[U(axis)];
    double& high = curve.axisHigh[U(axis)];
    if ((ascending && low > high) || (!ascending && low < high)) std::swap(low, high);
    curve.axisSpan[U(axis)] = high - low;
}

void ZoomCurvesToRect(WindowRecord* window, int curveIndex, win::POINT a, win::POINT b)
{
    if (!window || !window->plot || curveIndex < 0 || curveIndex >= window->plot->curveCount) return;
    PlotRecord& plot = *window->plot;
    SaveCurveRanges(window);
    const CurveRecord& target = *plot.curves[U(curveIndex)];
    const win::RECT& r = target.plotRect;
    b.x = std::clamp<int>(b.x, r.left, r.right);
    b.y = std::clamp<int>(b.y, r.top, r.bottom);
    if (a.x == b.x && a.y == b.y) return;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        if (c.plotGroup != target.plotGroup) continue;
        const double x0 = PixelToValue(c, kWaveformX, a.x), x1 = PixelToValue(c, kWaveformX, b.x);
        const double y0 = PixelToValue(c, kWaveformY, a.y), y1 = PixelToValue(c, kWaveformY, b.y);
        if (x0 == x1 || (y0 == y1 && !c.digital)) continue;
        const bool xAscending = c.axisHigh[kWaveformX] > c.axisLow[kWaveformX];
        if (!SetCurveAxisRange(c, kWaveformX, std::min(x0, x1), std::max(x0, x1))) continue;
        OrderCurveAxisRange(c, kWaveformX, xAscending);
        ChooseAxisLabelScale(c, kWaveformX);
        if (c.digital) continue;
        const bool yAscending = c.axisHigh[kWaveformY] > c.axisLow[kWaveformY];
        if (!SetCurveAxisRange(c, kWaveformY, std::min(y0, y1), std::max(y0, y1))) continue;
        OrderCurveAxisRange(c, kWaveformY, yAscending);
        ChooseAxisLabelScale(c, kWaveformY);
    }
    Redraw(window);
}

void PanPlotCommand(WindowRecord* window, int command)
{
    if (!window || !window->plot || command < kCommandPanLeft || command > kCommandPanUp) return;
    SaveCurveRanges(window);
    PlotRecord& plot = *window->plot;
    const int group = CurrentGroup(plot);
    const int axis = command <= kCommandPanRight ? kWaveformX : kWaveformY;
    // Right and up move the view towards higher values.
    const double sign = (command == kCommandPanRight || command == kCommandPanUp) ? 1.0 : -1.0;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        if (c.plotGroup != group || (axis == kWaveformY && c.digital)) continue;
        const std::size_t a = U(axis);
        double low = c.axisLow[a], high = c.axisHigh[a];
        if (c.linear[a]) {
            const double shift = sign * (high - low) / 10.0;
            low += shift, high += shift;
        } else {
            const double factor = sign > 0 ? 10.0 : 0.1;
            low *= factor, high *= factor;
            if (!(low > 0.0)) continue;
        }
        if (SetCurveAxisRange(c, axis, low, high)) ChooseAxisLabelScale(c, axis);
    }
    Redraw(window);
}

}  // namespace kq5
