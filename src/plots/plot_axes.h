#pragma once
// Curve values and pixels: the mapping of each axis (linear or logarithmic) that the layout
// computes for the device at hand, the digital lanes, the divisions and tick values of an axis,
// and the texts of tick labels and value readouts in the curves' number formats.
#include <cstdint>
#include <string>

#include "results/curve_record.h"
#include "results/digital_value_text.h"

namespace kq5 {

// Pixels a mapped value is held within, so that a few pixels added later cannot overflow.
inline constexpr std::int32_t kPixelHighLimit = 2147482647;
inline constexpr std::int32_t kPixelLowLimit = -2147482648;
// The Y range every digital curve gets.
inline constexpr double kDigitalRangeHigh = 20.0;
// Where a logarithmic axis draws a value that is not positive (a dB or a phase): far below any
// range it shows.
inline constexpr double kLogAxisFloor = 1e-50;

// scale * v + offset, v being log10 value on a logarithmic axis (a value that is not positive
// taken as kLogAxisFloor).
double ValueToPixel(const CurveRecord& curve, int axis, double value);
// The reverse. An axis without extent (a minimised or tiny window) answers its low end.
double PixelToValue(const CurveRecord& curve, int axis, double pixel);
// ValueToPixel truncated and held within kPixelLowLimit .. kPixelHighLimit.
std::int32_t ValueToPixelClamped(const CurveRecord& curve, int axis, double value);
// The pixel of a value; for the Y of a digital curve the row its state takes in the lane
// (previousState: the state code drawn before, which places X and Z).
std::int32_t CurveValueToPixel(const CurveRecord& curve, int axis, double value, double previousState);
// For the Y of a digital curve the state code (bus: the integer value) kept as its "pixel";
// otherwise CurveValueToPixel.
std::int32_t DigitalStateOrPixel(const CurveRecord& curve, int axis, double value);

// Lanes of a digital group: 10, fewer when a tenth of the height is below the minimum lane
// height, never fewer than the group's digital curves.
int DigitalLaneCount(const PlotRecord& plot, const CurveRecord& curve);
// The mapping of one axis from the curve's plot rectangle (a digital Y: its lane).
void ComputeCurveAxisMapping(const PlotRecord& plot, CurveRecord& curve, int axis);

// Divisions of an axis: decades on a log axis; 10 on a linear X; 10, 5 or 2 on a linear Y by
// the text lines that fit the group's height.
int CountAxisDivisions(const PlotRecord& plot, const CurveRecord& curve, int axis);
// The power of ten at or below v.
double DecadeFloor(double v);
// A major tick: a new decade starts at v, or v is the last value of the walk up to high.
bool CompareTickValues(double decade, double previousDecade, double v, double high);
// The values a logarithmic axis walks from the decade below low to high: 1, 2, ... 9, 10, 20...
template <typename Visit>
void WalkLogTicks(double low, double high, Visit visit)
{
    if (!(low > 0.0) || !(high > 0.0)) return;
    const double limit = high * 1.000001;
    double decade = DecadeFloor(low);
    double previous = -1e10;
    for (int k = 1, guard = 0; guard < 10000; ++guard) {
        const double v = decade * k;
        if (v > limit) break;
        const bool major = CompareTickValues(decade, previous, v, high);
        visit(v, major);
        previous = decade;
        if (++k == 10) {
            decade *= 10.0;
            k = 1;
        }
    }
}

// The multiplier of the axis' labels (1 / the prefix factor).
double LabelMultiplier(const CurveRecord& curve, int axis);
// The text of a tick label; value (and step, the distance to the next label) is already multiplied
// by the label multiplier. The label takes more digits than its format gives when its neighbours
// one step away would otherwise read the same.
std::string FormatTickLabel(const CurveRecord& curve, int axis, double value, double step = 0.0);
// The readout text of a value in the axis' number format, with the axis' prefix letter.
std::string FormatCurveValue(const CurveRecord& curve, int axis, double value);
// a / b in the "3E" form; "1" when equal, "INF" when b is 0.
std::string QuotientText(double a, double b);

}  // namespace kq5
