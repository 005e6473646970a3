#pragma once
// The first plotted curve, whose geometry steers the automatic AC step and the adaptive DC
// step: its value at the present point, its position in pixels and its Y range.
//
// Until the analysis window lays its plots out, a curve has no pixel rectangle; the
// geometry then falls back to a fixed default plot of kDefaultPlotWidth x kDefaultPlotHeight
// pixels whose X axis spans the sweep and whose Y axis spans the curve's Y range, or, for a
// curve without a range, eight decades of its magnitude (the view of a 160 dB Bode plot).
#include "analog/ac_run.h"

namespace kq5 {

struct CurveRecord;

inline constexpr double kDefaultPlotWidth = 640.0;
inline constexpr double kDefaultPlotHeight = 400.0;
inline constexpr double kDefaultPlotDecades = 8.0;

// The first curve of the analysis window's plot (the circuit's when the window has none);
// null without curves.
CurveRecord* FirstPlotCurve(WindowRecord* window);
// The curve's value of an axis (0 X, 1 Y) at the present point, the magnitude of a complex
// value; false when the curve has no compiled expression for the axis or it fails.
bool CurveValue(CurveRecord& curve, int axis, double& value);
// The pixel position of the present point of the curve on its plot; the X axis spans
// xLow..xHigh (logarithmic when xLog) in the default geometry.
AcPlotPosition CurvePosition(CurveRecord& curve, double xValue, double xLow, double xHigh, bool xLog);
// The curve's Y range (high - low); 0 when it has none.
double CurveYSpan(const CurveRecord& curve);

}  // namespace kq5
