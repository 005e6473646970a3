#include "plots/plot_object_moves.h"

#include <algorithm>
#include <cmath>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "document/schematic_item.h"
#include "results/curve_record.h"
#include "plots/plot_axes.h"
#include "plots/plot_cursors.h"
#include "results/plot_object.h"
#include "plots/plot_object_geometry.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

// How far from a click a tag looks for a data point, in pixels.
constexpr double kSnapLimit = 1000.0;

int ToPixel(double value) { return static_cast<int>(std::lround(value)); }

// The curve that places point `which` (0 first, 1 second) of the object: its second curve for
// the second point of a measuring tag. Null for a point in window fractions or a curve the plot
// no longer has.
const CurveRecord* PlacingCurve(WindowRecord* record, const PlotObject& object, int which, bool& fraction)
{
    const std::uint16_t kind = object.style & kStyleKindMask;
    const bool measure = kind == kObjectMeasureH || kind == kObjectMeasureV;
    const int index = which == 1 && measure ? object.w2 : object.w;
    fraction = index < 0;
    if (fraction || !record || !record->plot) return nullptr;
    const PlotRecord& plot = *record->plot;
    if (index >= plot.curveCount || index >= static_cast<int>(plot.curves.size())) return nullptr;
    return plot.curves[static_cast<std::size_t>(index)].get();
}

int ObjectPixel(WindowRecord* record, const PlotObject& object, int which, int axis, double value,
                win::HDC dc = nullptr)
{
    bool fraction = false;
    const CurveRecord* curve = PlacingCurve(record, object, which, fraction);
    if (fraction) {
        const win::RECT r = PlotObjectDrawingRect(record, dc);
        return axis == kWaveformX ? PixelFromWindowFraction(value, r.left, r.right - r.left)
                                  : PixelFromWindowFraction(value, r.top, r.bottom - r.top);
    }
    return curve ? CurveUnitToPixel(*curve, axis, value) : ToPixel(value);
}

double ObjectUnit(WindowRecord* record, const PlotObject& object, int which, int axis, int pixel)
{
    bool fraction = false;
    const CurveRecord* curve = PlacingCurve(record, object, which, fraction);
    if (fraction) {
        const win::RECT r = PlotObjectDrawingRect(record);
        return axis == kWaveformX ? WindowFractionFromPixel(pixel, r.left, r.right - r.left)
                                  : WindowFractionFromPixel(pixel, r.top, r.bottom - r.top);
    }
    return curve ? PixelToValue(*curve, axis, pixel) : pixel;
}

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

win::RECT PlotObjectPixelRect(WindowRecord* record, const PlotObject& object, win::HDC dc)
{
    return win::RECT{ObjectPixel(record, object, 0, kWaveformX, object.x1, dc),
                     ObjectPixel(record, object, 0, kWaveformY, object.y1, dc),
                     ObjectPixel(record, object, 1, kWaveformX, object.x2, dc),
                     ObjectPixel(record, object, 1, kWaveformY, object.y2, dc)};
}

void SetObjectPointsFromPixels(WindowRecord* record, PlotObject& object, const win::RECT& pixels)
{
    object.x1 = ObjectUnit(record, object, 0, kWaveformX, pixels.left);
    object.y1 = ObjectUnit(record, object, 0, kWaveformY, pixels.top);
    object.x2 = ObjectUnit(record, object, 1, kWaveformX, pixels.right);
    object.y2 = ObjectUnit(record, object, 1, kWaveformY, pixels.bottom);
}

bool SelectedPlotObjectsBounds(WindowRecord* record, win::RECT& bounds)
{
    if (!record || !record->plot) return false;
    const int kind = static_cast<int>(Analysis().analysisKind) + 1;
    bool any = false;
    for (const PlotObject& object : ListRecords<PlotObject>(record->plot->objects)) {
        if (!(object.selection & kSelected) || object.analysisKind != kind) continue;
        const win::RECT r = PlotObjectPixelRect(record, object);
        const win::RECT ordered{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                                std::max(r.top, r.bottom)};
        if (!any) bounds = ordered;
        bounds = {std::min(bounds.left, ordered.left), std::min(bounds.top, ordered.top),
                  std::max(bounds.right, ordered.right), std::max(bounds.bottom, ordered.bottom)};
        any = true;
    }
    return any;
}

int GetDimensionLinePixel(WindowRecord* record, const PlotObject& object)
{
    const std::uint16_t kind = object.style & kStyleKindMask;
    if (kind == kObjectMeasureH) return ObjectPixel(record, object, 0, kWaveformY, object.measured);
    if (kind == kObjectMeasureV) return ObjectPixel(record, object, 0, kWaveformX, object.measured);
    return 0;
}

void SetDimensionLineFromPixel(WindowRecord* record, PlotObject& object, int pixel)
{
    const std::uint16_t kind = object.style & kStyleKindMask;
    if (kind == kObjectMeasureH) object.measured = ObjectUnit(record, object, 0, kWaveformY, pixel);
    if (kind == kObjectMeasureV) object.measured = ObjectUnit(record, object, 0, kWaveformX, pixel);
}

int NearestCurvePoint(WindowRecord* record, win::POINT at, int curve, double& x, double& y)
{
    if (!record || !record->plot) return -1;
    PlotRecord& plot = *record->plot;
    const int count = std::min<int>(plot.curveCount, static_cast<int>(plot.curves.size()));
    if (curve < 0 || curve >= count) return -1;
    const int group = plot.curves[static_cast<std::size_t>(curve)]->plotGroup;
    double best = kSnapLimit;
    int found = -1;
    // The given curve is searched first, so that a point it shares with another curve stays its.
    for (int n = 0; n < count; ++n) {
        const int i = n == 0 ? curve : (n <= curve ? n - 1 : n);
        const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        if (c.plotGroup != group || c.lastPointIndex < 0 || c.storeSlots[kWaveformX] < 0 || c.storeSlots[kWaveformY] < 0)
            continue;
        // Every stored run: a stepped or Monte Carlo family shows them all, and the point the
        // user points at may lie on any of them.
        for (int run = 0; run <= plot.store.runCount; ++run) {
            std::int32_t first = 0, last = -1;
            if (!CurveRunBounds(plot, c, run, first, last)) continue;
            double previous = 0.0;
            for (std::int32_t p = std::max(first, 0); p <= last; ++p) {
                const double vx = GetWaveformValue(plot.store, c.storeSlots[kWaveformX], p);
                const double vy = GetWaveformValue(plot.store, c.storeSlots[kWaveformY], p);
                if (!std::isfinite(vx) || !std::isfinite(vy)) continue;
                // Where the drawing puts the point: a digital X or Z state sits by the state before it.
                const int px = CurveValueToPixel(c, kWaveformX, vx, 0.0);
                const int py = CurveValueToPixel(c, kWaveformY, vy, previous);
                previous = vy;
                const double distance = std::hypot(static_cast<double>(px) - at.x, static_cast<double>(py) - at.y);
                if (distance >= best) continue;
                best = distance;
                found = i;
                x = vx;
                y = c.digital ? PixelToValue(c, kWaveformY, py) : vy;
            }
        }
    }
    return found;
}

void SnapObjectToCurves(WindowRecord* record, PlotObject& object, const win::RECT& pixels)
{
    if (object.w < 0 || !record || !record->plot) return;
    const std::uint16_t kind = object.style & kStyleKindMask;
    double x = 0.0, y = 0.0;
    if (kind == kObjectMeasureH || kind == kObjectMeasureV) {
        if (const int c = NearestCurvePoint(record, {pixels.left, pixels.top}, object.w, x, y); c >= 0) {
            object.w = c;
            object.x1 = x;
            object.y1 = y;
        }
        if (const int c = NearestCurvePoint(record, {pixels.right, pixels.bottom}, object.w2, x, y); c >= 0) {
            object.w2 = c;
            object.x2 = x;
            object.y2 = y;
        }
    } else if (kind == kObjectTag) {
        const int c = NearestCurvePoint(record, {pixels.left, pixels.top}, object.w, x, y);
        if (c < 0) return;
        object.w = c;
        object.w2 = c;
        object.x1 = x;
        object.y1 = y;
        // The label stays where it was put, now in the units of the curve the tag went to.
        object.x2 = ObjectUnit(record, object, 1, kWaveformX, pixels.right);
        object.y2 = ObjectUnit(record, object, 1, kWaveformY, pixels.bottom);
    }
}

}  // namespace kq5
