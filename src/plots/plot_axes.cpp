#include "plots/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/digital_logic_tables.h"

namespace kq5 {

namespace {

constexpr int kUnknownStateCode = 57;

std::size_t A(int axis) { return static_cast<std::size_t>(axis); }

double MappedCoordinate(const CurveRecord& curve, int axis, double value)
{
    if (curve.linear[A(axis)]) return value;
    return std::log10(value > 0.0 ? value : kLogAxisFloor);
}

std::int32_t HoldInt(double v)
{
    if (std::isnan(v)) return 0;
    if (v > 2147483647.0) return 2147483647;
    if (v < -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

char StateLetter(double value) { return DigitalStateChar(static_cast<std::uint16_t>(std::lround(value) & 0x1FF)); }

int LeadingNumber(const std::string& text)
{
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        if (n > 16) return 16;
    }
    return n;
}

std::string Trimmed(std::string text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

const std::string& ScaleFormatOf(const CurveRecord& curve, int axis)
{
    return axis == kWaveformX ? curve.xScaleFormat : curve.yScaleFormat;
}

}  // namespace

double ValueToPixel(const CurveRecord& curve, int axis, double value)
{
    return curve.axisScale[A(axis)] * MappedCoordinate(curve, axis, value) + curve.axisOffset[A(axis)];
}

double PixelToValue(const CurveRecord& curve, int axis, double pixel)
{
    const double scale = curve.axisScale[A(axis)];
    if (scale == 0.0 || !std::isfinite(scale)) return curve.axisLow[A(axis)];
    const double v = (pixel - curve.axisOffset[A(axis)]) / scale;
    return curve.linear[A(axis)] ? v : std::pow(10.0, v);
}

std::int32_t ValueToPixelClamped(const CurveRecord& curve, int axis, double value)
{
    const double p = ValueToPixel(curve, axis, value);
    if (std::isnan(p)) return 0;
    if (p > kPixelHighLimit) return kPixelHighLimit;
    if (p < kPixelLowLimit) return kPixelLowLimit;
    return static_cast<std::int32_t>(p);
}

std::int32_t CurveValueToPixel(const CurveRecord& curve, int axis, double value, double previousState)
{
    if (axis == kWaveformY && curve.digital) {
        if (IsBusCurve(curve)) return curve.laneLow + (curve.laneHigh - curve.laneLow) / 2;
        switch (StateLetter(value)) {
        case '0':
        case 'R': return curve.laneLow;
        case 'X':
        case 'Z': return StateLetter(previousState) == '0' ? curve.laneLow : curve.laneHigh;
        default: return curve.laneHigh;
        }
    }
    return HoldInt(ValueToPixel(curve, axis, value));
}

std::int32_t DigitalStateOrPixel(const CurveRecord& curve, int axis, double value)
{
    if (axis == kWaveformY && curve.digital) {
        if (IsBusCurve(curve)) return HoldInt(std::round(value));
        if (value >= 0.0 && value <= 511.0) return static_cast<std::int32_t>(std::lround(value));
        return kUnknownStateCode;
    }
    return CurveValueToPixel(curve, axis, value, 0.0);
}

int DigitalLaneCount(const PlotRecord& plot, const CurveRecord& curve)
{
    const int height = curve.plotRect.bottom - curve.plotRect.top;
    int lanes = 10;
    if (plot.minimumLaneHeight > 0 && height / 10 < plot.minimumLaneHeight) lanes = height / plot.minimumLaneHeight;
    int digitalCurves = 0;
    for (int i = 0; i < plot.curveCount; ++i) {
        const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        if (c.digital && c.plotGroup == curve.plotGroup) ++digitalCurves;
    }
    return std::max({lanes, digitalCurves, 1});
}

void ComputeCurveAxisMapping(const PlotRecord& plot, CurveRecord& curve, int axis)
{
    const std::size_t a = A(axis);
    const win::RECT& r = curve.plotRect;
    double start = axis == kWaveformX ? r.left : r.bottom;
    double extent = axis == kWaveformX ? r.right - r.left : r.top - r.bottom;
    if (axis == kWaveformY && curve.digital) {
        // Lanes from the top of the group in the order of the group's digital curves.
        int lane = 0;
        for (int i = 0; i < plot.curveCount; ++i) {
            const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
            if (&c == &curve) break;
            if (c.digital && c.plotGroup == curve.plotGroup) ++lane;
        }
        const int lanes = DigitalLaneCount(plot, curve);
        const int laneHeight = (r.bottom - r.top) / lanes;
        const int margin = std::max(1, laneHeight / 5);
        curve.laneLow = r.top + (lane + 1) * laneHeight - margin;
        curve.laneHigh = r.top + lane * laneHeight + margin;
        start = curve.laneLow;
        extent = curve.laneHigh - curve.laneLow;
    }
    double low = curve.axisLow[a];
    double high = curve.axisHigh[a];
    if (curve.linear[a]) {
        if (low == high) {
            low = 0.0;
            high = 1.0;
        }
        curve.axisScale[a] = extent / (high - low);
        curve.axisOffset[a] = start - curve.axisScale[a] * low;
        curve.axisSpan[a] = high - low;
    } else {
        if (low <= 0.0) low = 1e-4;
        if (high <= 0.0) high = low * 1e-5;
        if (low == high) low += 0.1;
        curve.axisScale[a] = extent / std::log10(high / low);
        curve.axisOffset[a] = start - curve.axisScale[a] * std::log10(low);
    }
    if (!std::isfinite(curve.axisScale[a]) || !std::isfinite(curve.axisOffset[a])) {
        curve.axisScale[a] = 0.0;
        curve.axisOffset[a] = start;
    }
    curve.axisLength[a] = static_cast<std::int32_t>(std::fabs(extent));
}

int CountAxisDivisions(const PlotRecord& plot, const CurveRecord& curve, int axis)
{
    const std::size_t a = A(axis);
    if (!curve.linear[a]) {
        const double ratio = curve.axisLow[a] != 0.0 ? std::fabs(curve.axisHigh[a] / curve.axisLow[a]) : 0.0;
        const double decades = ratio > 0.0 && std::isfinite(ratio) ? std::floor(std::log10(ratio) + 0.5) : 1.0;
        return std::max(1, static_cast<int>(std::min(decades, 1000.0)));
    }
    if (axis == kWaveformX) return 10;
    // The lines of text that fit the height of the group's first curve decide.
    const CurveRecord* first = &curve;
    for (int i = 0; i < plot.curveCount; ++i) {
        const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        if (c.plotGroup == curve.plotGroup) {
            first = &c;
            break;
        }
    }
    const int h = std::max(1, plot.textLineHeight);
    const int lines = (first->plotRect.bottom - first->plotRect.top + 1) / h;
    if (lines > 10) return 10;
    if (lines >= 6) return 5;
    return 2;
}

double DecadeFloor(double v)
{
    if (!(v > 0.0)) return 0.0;
    // A tiny allowance keeps exact powers of ten (1000 is 10^2.9999999999999996) in their decade.
    return std::pow(10.0, std::floor(std::log10(v) + 1e-12));
}

bool CompareTickValues(double decade, double previousDecade, double v, double high)
{
    if (decade != previousDecade && std::fabs(v - decade) <= decade * 1e-9) return true;
    return v + DecadeFloor(v) > high * 1.000001;
}

double LabelMultiplier(const CurveRecord& curve, int axis)
{
    const double factor = curve.labelFactor[A(axis)];
    return factor != 0.0 ? 1.0 / factor : 1.0;
}

std::string FormatTickLabel(const CurveRecord& curve, int axis, double value, double step)
{
    const std::size_t a = A(axis);
    const std::string& format = ScaleFormatOf(curve, axis);
    const double multiplier = LabelMultiplier(curve, axis);
    // Labels one step apart must read differently: a nearly flat curve's ticks lie closer
    // together than the format's digits show, so the step decides how many digits it takes.
    const bool exponent = format.find_first_of("Ee") != std::string::npos || curve.noSuffix[a];
    std::string text;
    if (exponent) {
        const double raw = value / multiplier;
        const double largest = std::max(std::fabs(curve.axisLow[a]), std::fabs(curve.axisHigh[a]));
        int digits = LeadingNumber(format);
        if (step > 0.0 && largest > 0.0 && std::isfinite(step / multiplier) && std::isfinite(largest)) {
            const double needed = std::ceil(std::floor(std::log10(largest)) - std::log10(std::fabs(step / multiplier)) - 1e-9);
            digits = std::max(digits, static_cast<int>(std::clamp(needed, 0.0, 15.0)));
        }
        text = StrPrintf("%1.*e", digits, raw);
    } else {
        const char letter = curve.labelPrefix[a] ? curve.labelPrefix[a] : ' ';
        int decimals = LeadingNumber(format);
        if (step > 0.0 && std::isfinite(step))
            decimals = std::max(decimals, static_cast<int>(std::clamp(std::ceil(-std::log10(step) - 1e-9), 0.0, 15.0)));
        text = StrPrintf("%6.*f%c", decimals, value, letter);
    }
    StripExponentPadding(text);
    return Trimmed(text);
}

std::string FormatCurveValue(const CurveRecord& curve, int axis, double value)
{
    const std::size_t a = A(axis);
    if (axis == kWaveformY && curve.digital) return FormatDigitalValueText(curve, value);
    const NumberFormat& format = axis == kWaveformY ? curve.valueFormat : curve.secondValueFormat;
    const std::string& printf = format.printfFormat;
    if (printf.find('f') != std::string::npos) {
        if (curve.labelPrefix[a] && curve.labelFactor[a] != 0.0)
            return StrPrintf(printf.c_str(), value / curve.labelFactor[a]) + curve.labelPrefix[a];
        // A value no prefix fits would print as 0.000: the exponent form keeps its digits.
        if (curve.noSuffix[a] && value != 0.0) {
            const std::size_t point = printf.find('.');
            const int decimals = point == std::string::npos ? 3 : std::atoi(printf.c_str() + point + 1);
            std::string text = StrPrintf("%*.*e", format.width, decimals, value);
            return StripExponentPadding(text);
        }
    }
    return StrPrintf(printf.c_str(), value);
}

std::string QuotientText(double a, double b)
{
    // Both cursors on one point: there is no slope to show.
    if (a == 0.0 && b == 0.0) return {};
    if (a == b) return "1";
    if (b == 0.0) return "INF";
    return FormatNumber(a / b, "3E", 0);
}

}  // namespace kq5
