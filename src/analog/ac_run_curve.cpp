#include "analog/ac_run_curve.h"

#include <cmath>
#include <complex>

#include "analog/run_control.h"
#include "ui/window_record.h"
#include "core/expr_evaluator.h"
#include "results/curve_record.h"

namespace kq5 {

namespace {

double AxisFraction(double value, double low, double high, bool linear)
{
    if (!linear) {
        if (!(value > 0.0) || !(low > 0.0) || !(high > 0.0)) return 0.0;
        value = std::log10(value), low = std::log10(low), high = std::log10(high);
    }
    return high != low ? (value - low) / (high - low) : 0.0;
}

}  // namespace

CurveRecord* FirstPlotCurve(WindowRecord* window)
{
    WindowRecord* w = window && window->plot ? window : RunControl().circuitWindow;
    if (!w || !w->plot || w->plot->curves.empty()) return nullptr;
    return w->plot->curves.front().get();
}

bool CurveValue(CurveRecord& curve, int axis, double& value)
{
    CompiledExpression& e = axis == kWaveformX ? curve.xExpression : curve.yExpression;
    if (e.instructions.count == 0) return false;
    std::complex<double> v;
    if (EvaluateExpression(e, v) != 0) return false;
    value = v.imag() == 0.0 ? v.real() : std::abs(v);
    return true;
}

double CurveYSpan(const CurveRecord& curve) { return curve.axisHigh[kWaveformY] - curve.axisLow[kWaveformY]; }

AcPlotPosition CurvePosition(CurveRecord& curve, double xValue, double xLow, double xHigh, bool xLog)
{
    AcPlotPosition p;
    double y = 0.0;
    CurveValue(curve, kWaveformY, y);
    const win::RECT& r = curve.plotRect;
    const bool laidOut = r.right > r.left && r.bottom > r.top;
    const double width = laidOut ? r.right - r.left : kDefaultPlotWidth;
    p.height = laidOut ? r.bottom - r.top : kDefaultPlotHeight;
    const double left = laidOut ? r.left : 0.0;
    const double bottom = laidOut ? r.bottom : kDefaultPlotHeight;

    const bool xRange = laidOut && curve.axisHigh[kWaveformX] != curve.axisLow[kWaveformX];
    const double fx = xRange ? AxisFraction(xValue, curve.axisLow[kWaveformX], curve.axisHigh[kWaveformX],
                                            curve.linear[kWaveformX] != 0)
                             : AxisFraction(xValue, xLow, xHigh, !xLog);
    p.x = left + fx * width;
    p.outsideX = fx < 0.0 || fx > 1.0;

    if (CurveYSpan(curve) != 0.0) {
        p.y = bottom - AxisFraction(y, curve.axisLow[kWaveformY], curve.axisHigh[kWaveformY],
                                    curve.linear[kWaveformY] != 0) * p.height;
    } else {
        // No range yet: the magnitude on a log scale of kDefaultPlotDecades decades.
        const double magnitude = std::abs(y) > 1e-300 ? std::abs(y) : 1e-300;
        p.y = bottom - std::log10(magnitude) * p.height / kDefaultPlotDecades;
    }
    return p;
}

}  // namespace kq5
