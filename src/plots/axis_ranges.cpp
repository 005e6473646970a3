#include "plots/axis_ranges.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ui/window_record.h"
#include "core/expr_compiler.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "plots/analysis_window.h"
#include "plots/curve_ranges.h"
#include "plots/plot_setup.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr double kRelativeTolerance = 1e-14;
constexpr double kLogValueFloor = 1e-50;
constexpr int kNiceDivisions = 5;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

bool Near(double x, double y) { return std::fabs(x - y) <= kRelativeTolerance * std::max(std::fabs(x), std::fabs(y)); }

bool AxisInAutoMode(const CurveRecord& c, int axis)
{
    const int mode = c.rangeMode[U(axis)];
    return mode == kRangeAutomatic || mode == kRangeAutoScaled;
}

int AxisCount(const CurveRecord& c) { return c.digital ? 1 : 2; }

bool IsDspCurve(const CurveRecord& c) { return (c.yExpression.dependencies & kDependsSpectralCompile) != 0; }

PlotRecord* PlotOf(WindowRecord* window) { return window && window->plot ? window->plot.get() : nullptr; }

// Step 4 of the rounding: the smallest multiple of the step at or above a, and the bottom N steps
// below it.
void FitRange(double a, double b, int n, double step, double& top, double& bottom)
{
    if (Near(step, (a - b) / n)) {
        top = a;
    } else {
        top = std::floor(std::fabs(a) / std::fabs(step)) * step - step;
        for (int i = 0; i < 11 && top < a && !Near(top, a); ++i) top += step;
    }
    bottom = top - n * step;
    if (std::fabs(bottom - b) <= 0.001 * std::fabs(step)) bottom = b;
}

}  // namespace

int NiceRange(bool logarithmic, double high, double low, int divisions, double& step, double& outLow, double& outHigh)
{
    (void)logarithmic;
    double a = high, b = low;
    const bool negated = a < 0.0 && b < 0.0;
    if (negated) a = -a, b = -b;
    const bool swapped = b > a;
    if (swapped) std::swap(a, b);
    if (divisions < 1 || !std::isfinite(a) || !std::isfinite(b)) return -1;
    const double d = (a - b) / divisions;
    if (!(d > 0.0)) return -1;
    double base = std::pow(10.0, std::floor(std::log10(d)));
    step = 0.0;
    for (int round = 0; round < 4 && step == 0.0; ++round, base *= 10.0) {
        for (int k = 1; k <= 5; ++k) {
            const double s = k * base;
            if (s > d || Near(s, d)) {
                step = s;
                break;
            }
        }
    }
    if (step == 0.0) return -1;
    double top = 0.0, bottom = 0.0;
    FitRange(a, b, divisions, step, top, bottom);
    for (int i = 0; i < 60 && (bottom > b + 0.001 * step || top < a - 0.001 * step); ++i) {
        step *= 2.0;
        FitRange(a, b, divisions, step, top, bottom);
    }
    double best = 1e50, bestLow = bottom, bestHigh = top;
    for (int i = 0; i <= 4; ++i) {
        const double lo = bottom + i * step, hi = top + i * step;
        const double measure = std::fabs(std::fabs(b - lo) - std::fabs(a - hi));
        if (measure < best) best = measure, bestLow = lo, bestHigh = hi;
    }
    if (bestLow <= b && bestHigh >= a) bottom = bestLow, top = bestHigh;
    if (b > top || b < bottom) return -1;
    double forHigh = top, forLow = bottom;
    if (swapped) std::swap(forHigh, forLow);
    if (negated) forHigh = -forHigh, forLow = -forLow;
    if (high >= 0.0 && forHigh < 0.0) forHigh = 0.0;
    if (low >= 0.0 && forLow < 0.0) forLow = 0.0;
    outHigh = forHigh;
    outLow = forLow;
    return 0;
}

int AllCurvesHaveData(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || plot->curveCount == 0) return 0;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[U(i)];
        if (c.state == 0 && c.lastPointIndex < 0) return 0;
    }
    return 1;
}

void DataAxisRange(const CurveRecord& c, int axis, double& low, double& high)
{
    low = c.dataMin[U(axis)], high = c.dataMax[U(axis)];
    if (low == high) {
        if (low != 0.0) low = 0.5 * high, high = 2.0 * high;
        else low = -1.0, high = 1.0;
    }
}

void RoundAxisRange(double& low, double& high, bool linear)
{
    double lo = low, hi = high;
    if (!linear) lo = std::log10(std::max(lo, kLogValueFloor)), hi = std::log10(std::max(hi, kLogValueFloor));
    double step = 0.0, niceLow = 0.0, niceHigh = 0.0;
    const int found = NiceRange(!linear, hi, lo, kNiceDivisions, step, niceLow, niceHigh);
    if (linear) {
        if (found == 0) lo = niceLow, hi = niceHigh;
    } else if (found == 0 && niceLow == std::floor(niceLow) && niceHigh == std::floor(niceHigh)) {
        lo = niceLow, hi = niceHigh;
    } else {
        // Exponents that do not round to whole numbers: whole decades around the data.
        const double l = std::floor(std::min(lo, hi) + 1e-9), h = std::ceil(std::max(lo, hi) - 1e-9);
        lo = l, hi = h > l ? h : l + 1.0;
    }
    low = linear ? lo : std::pow(10.0, lo);
    high = linear ? hi : std::pow(10.0, hi);
}

void RangesFromData(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[U(i)];
        if (c.state != 0) continue;
        for (int axis = 0; axis < AxisCount(c); ++axis) {
            const std::size_t a = U(axis);
            if (!AxisInAutoMode(c, axis) || c.lastPointIndex < 0) continue;
            DataAxisRange(c, axis, c.axisLow[a], c.axisHigh[a]);
        }
    }
}

void UnifyGroupRanges(WindowRecord* window, int firstAxis)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    for (int g = 1; g <= 9; ++g) {
        for (int axis = std::max(firstAxis, 0); axis < 2; ++axis) {
            const std::size_t a = U(axis);
            double low = 0.0, high = 0.0;
            bool any = false;
            for (int i = 0; i < plot->curveCount; ++i) {
                const CurveRecord& c = *plot->curves[U(i)];
                if (c.plotGroup != g || c.state != 0 || axis >= AxisCount(c)) continue;
                const double lo = std::min(c.axisLow[a], c.axisHigh[a]);
                const double hi = std::max(c.axisLow[a], c.axisHigh[a]);
                low = any ? std::min(low, lo) : lo;
                high = any ? std::max(high, hi) : hi;
                any = true;
            }
            if (!any) continue;
            for (int i = 0; i < plot->curveCount; ++i) {
                CurveRecord& c = *plot->curves[U(i)];
                if (c.plotGroup != g || axis >= AxisCount(c)) continue;
                c.axisLow[a] = low;
                c.axisHigh[a] = high;
            }
        }
    }
}

void MarkOwnScaleCurves(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    const bool oneScale = PlotViewOf(window->plot).sameYScales != 0;
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[U(i)];
        c.ownScale = c.state == 0 && !c.digital ? 1 : 0;
        if (!c.ownScale || c.placeInGroup == 0) continue;
        if (oneScale) {
            c.ownScale = 0;
            continue;
        }
        for (int j = 0; j < i; ++j) {
            const CurveRecord& e = *plot->curves[U(j)];
            if (e.plotGroup == c.plotGroup && e.state == 0 && !e.digital && e.axisLow[1] == c.axisLow[1] &&
                e.axisHigh[1] == c.axisHigh[1] && e.yScaleFormat == c.yScaleFormat) {
                c.ownScale = 0;
                break;
            }
        }
    }
    for (int g = 1; g <= 9; ++g) {
        int first = -1;
        bool has = false;
        for (int i = 0; i < plot->curveCount; ++i) {
            const CurveRecord& c = *plot->curves[U(i)];
            if (c.plotGroup != g) continue;
            if (first < 0) first = i;
            has = has || c.ownScale;
        }
        if (first >= 0 && !has) plot->curves[U(first)]->ownScale = 1;
    }
}

void UpdatePrintScale(CurveRecord& c, int axis)
{
    const std::size_t a = U(axis);
    CurvePrintAxis& p = c.printAxis[a];
    if (axis == kWaveformY && c.digital) {
        p.prefix = 0;
        p.printScale = 1.0;
        return;
    }
    // Once the curve holds values, its column is scaled by them rather than by the axis: curves
    // of one plot group share an axis, and a 100 uA current beside volts would print as 0.000.
    const bool hasData = c.lastPointIndex >= 0 && c.dataMin[a] <= c.dataMax[a];
    char prefix = c.labelPrefix[a];
    double factor = c.labelFactor[a];
    bool fits = c.noSuffix[a] == 0;
    if (hasData) {
        // The scale the column's values would have on an axis of their own.
        double low = 0.0, high = 0.0;
        DataAxisRange(c, axis, low, high);
        RoundAxisRange(low, high, c.linear[a] != 0);
        fits = ChooseEngineeringPrefix(low, high, !c.linear[a], prefix, factor);
    }
    p.prefix = prefix;
    p.printScale = factor == 0.0 ? 1.0 : 1.0 / factor;
    // A fixed-point column of values no prefix fits would print them as 0.000.
    const bool nonZero = hasData ? (c.dataMin[a] != 0.0 || c.dataMax[a] != 0.0) : (c.axisLow[a] != 0.0 || c.axisHigh[a] != 0.0);
    if (!fits && nonZero && !p.format.empty() && p.format.back() == 'f') p.format.back() = 'e';
}

int RescaleAutomaticRanges(WindowRecord* window, bool chooseLabels, bool useKnownRanges, bool keepAutomatic)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || !AllCurvesHaveData(window)) return 0;
    int changed = 0;
    const int built = std::min(plot->builtCurveCount > 0 ? plot->builtCurveCount : plot->curveCount, plot->curveCount);
    for (int i = 0; i < built; ++i) {
        CurveRecord& c = *plot->curves[U(i)];
        if (c.state != 0) continue;
        for (int axis = 0; axis < AxisCount(c); ++axis) {
            const std::size_t a = U(axis);
            if (!AxisInAutoMode(c, axis)) continue;
            if (useKnownRanges && KnownAxisRange(c, axis)) {
                changed = 1;
                continue;
            }
            if (c.axisLow[a] == c.axisHigh[a]) continue;
            RoundAxisRange(c.axisLow[a], c.axisHigh[a], c.linear[a] != 0);
            if (axis == kWaveformX && IsDspCurve(c))
                c.axisHigh[a] = c.linear[a] ? c.axisHigh[a] * 0.5 : std::pow(10.0, std::log10(c.axisHigh[a]) * 0.5);
            changed = 1;
        }
    }
    MarkOwnScaleCurves(window);
    for (int i = 0; i < built; ++i) {
        CurveRecord& c = *plot->curves[U(i)];
        for (int axis = 0; axis < 2; ++axis) {
            const std::size_t a = U(axis);
            if (c.rangeMode[a] != kRangeAutomatic) continue;
            if (!c.linear[a]) {
                if (c.axisHigh[a] <= 0.0) c.axisHigh[a] = 1e-4;
                if (c.axisLow[a] <= 0.0) c.axisLow[a] = c.axisHigh[a] * 1e-5;
                if (c.axisLow[a] > c.axisHigh[a]) std::swap(c.axisLow[a], c.axisHigh[a]);
            }
            if (c.axisLow[a] == c.axisHigh[a]) c.axisLow[a] -= 1.0, c.axisHigh[a] += 1.0;
            c.axisSpan[a] = c.axisHigh[a] - c.axisLow[a];
            c.referenceLow[a] = c.axisLow[a];
            c.referenceHigh[a] = c.axisHigh[a];
            if (chooseLabels) {
                ChooseAxisLabelScale(c, axis);
                UpdatePrintScale(c, axis);
            }
            if (!keepAutomatic) c.rangeMode[a] = kRangeFromSetup;
        }
    }
    return changed;
}

int FinishPlotsAfterRun(WindowRecord* window, win::HDC dc, bool moreRuns)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return 0;
    if (plot->curveCount == 0) return 0;
    // The ranges the curves are drawn in now.
    std::vector<std::array<double, 4>> drawn;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[U(i)];
        drawn.push_back({c.axisLow[0], c.axisHigh[0], c.axisLow[1], c.axisHigh[1]});
    }
    RangesFromData(window);
    UnifyGroupRanges(window, 0);
    // The run drew its axes before the curves knew which of them show a Y scale; when that
    // choice moves the scales, the window is redrawn even though no range changed.
    std::vector<std::int32_t> ownScales;
    for (int i = 0; i < plot->curveCount; ++i) ownScales.push_back(plot->curves[U(i)]->ownScale);
    int changed = RescaleAutomaticRanges(window, true, true, moreRuns);
    // Between runs the window is drawn again only when a range moved: redrawing every stored
    // run after each of hundreds of runs would take longer than the runs.
    if (moreRuns) {
        changed = 0;
        for (int i = 0; i < plot->curveCount && !changed; ++i) {
            const CurveRecord& c = *plot->curves[U(i)];
            changed = drawn[U(i)] != std::array<double, 4>{c.axisLow[0], c.axisHigh[0], c.axisLow[1], c.axisHigh[1]};
        }
    }
    // The numeric output of the run reads every column's scale from the values it now holds.
    for (int i = 0; i < plot->curveCount; ++i)
        for (int axis = 0; axis < 2; ++axis) UpdatePrintScale(*plot->curves[U(i)], axis);
    for (int i = 0; i < plot->curveCount && !changed; ++i)
        if (plot->curves[U(i)]->ownScale != ownScales[U(i)]) changed = 1;
    if ((changed || dc) && AnalysisProbeState() != 1 && window->window) {
        RedrawPlotWindow(window, dc, -1);
        return 1;
    }
    return 0;
}

void AutoScaleCurrentPlotGroup(WindowRecord* window, bool redraw)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || plot->curveCount == 0) return;
    if (window->kind != kWindowAnalysis && window->kind != kWindowPerformance) return;
    const int current = std::clamp(plot->currentCurve, 0, plot->curveCount - 1);
    const int group = plot->curves[U(current)]->plotGroup;
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[U(i)];
        if (c.state != 0 || c.plotGroup != group) continue;
        for (int axis = 0; axis < 2; ++axis) {
            c.directionFlags[U(axis)] = c.axisLow[U(axis)] < c.axisHigh[U(axis)] ? 1 : 0;
            c.rangeMode[U(axis)] = kRangeAutoScaled;
        }
    }
    if (redraw) RangesFromData(window);
    UnifyGroupRanges(window, 0);
    RescaleAutomaticRanges(window, redraw, redraw);
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[U(i)];
        if (c.plotGroup != group) continue;
        for (int axis = 0; axis < 2; ++axis) {
            OrderCurveAxisRange(c, axis, c.directionFlags[U(axis)] != 0);
            if (redraw) ChooseAxisLabelScale(c, axis);
        }
    }
    if (redraw && window->window) {
        win::BringWindowToTop(window->window);
        RedrawPlotWindow(window, nullptr, -1);
    }
}

void ApplyOneScaleOption(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    if (PlotViewOf(window->plot).sameYScales) {
        for (int i = 0; i < plot->curveCount; ++i) {
            CurveRecord& c = *plot->curves[U(i)];
            c.ownScale = c.state != 0 || c.digital || c.placeInGroup == 0 ? 1 : 0;
        }
        UnifyGroupRanges(window, 0);
    } else {
        MarkOwnScaleCurves(window);
    }
    if (window->window) win::InvalidateRect(window->window, nullptr, 1);
}

}  // namespace kq5
