#include "analyses/performance_functions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/format.h"
#include "core/digital_logic_tables.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {
constexpr int kNoEvent = 15055;
}

const std::array<PerformanceFunctionRow, kPerformanceFunctionCount> kPerformanceFunctionRows = {{
    {{"N", "Low", "High"}, {1, 1, 2}, 2, 5},        // Rise_Time
    {{"N", "Low", "High"}, {1, 1, 2}, 2, 5},        // Fall_Time
    {{"N", nullptr, nullptr}, {1, 0, 0}, 1, 3},     // Peak
    {{"N", nullptr, nullptr}, {1, 0, 0}, 1, 3},     // Valley
    {{"N", nullptr, nullptr}, {1, 0, 0}, 2, 3},     // Peak_Valley
    {{"N", nullptr, nullptr}, {1, 0, 0}, 2, 3},     // Period
    {{"N", nullptr, nullptr}, {1, 0, 0}, 2, 3},     // Frequency
    {{"N", "Level", nullptr}, {1, 2, 0}, 2, 4},     // Width
    {{nullptr, nullptr, nullptr}, {0, 0, 0}, 1, 2}, // High
    {{nullptr, nullptr, nullptr}, {0, 0, 0}, 1, 2}, // Low
    {{"N", "Y Level", nullptr}, {1, 1, 0}, 1, 4},   // X_Level
    {{"N", "X Level", nullptr}, {1, 1, 0}, 1, 4},   // Y_Level
    {{"N", "Y Low", "Y High"}, {1, 1, 2}, 2, 5},    // X_Delta
    {{"N", "X Low", "X High"}, {1, 1, 2}, 2, 5},    // Y_Delta
    {{"N", "Y Low", "Y High"}, {1, 1, 2}, 2, 5},    // X_Range
    {{"N", "X Low", "X High"}, {1, 1, 2}, 2, 5},    // Y_Range
}};

const PerformanceFunctionRow* PerformanceFunctionRowOf(int index)
{
    if (index < 0 || index >= kPerformanceFunctionCount) return nullptr;
    return &kPerformanceFunctionRows[static_cast<std::size_t>(index)];
}

int PerformanceArgumentCount(int index)
{
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(index);
    if (!row) return 0;
    int n = 0;
    while (n < 3 && row->labels[static_cast<std::size_t>(n)]) ++n;
    return n;
}

namespace {

bool IsDigital(const CurveRecord& curve) { return curve.digital != 0; }

std::uint16_t StateCodeAt(WaveformStore& store, const CurveRecord& curve, std::int32_t point)
{
    const double v = GetWaveformValue(store, curve.storeSlots[kWaveformY], point);
    if (!(v >= 0.0 && v <= 65535.0)) return 0;
    return static_cast<std::uint16_t>(v);
}

// The value of axis b where axis a reaches `level` along the segment (a0, b0)-(a1, b1); either
// axis may be logarithmic. A logarithmic axis is read between logarithms only where its values
// are positive: a dB or a phase below zero is read on a straight line.
double InterpolateSegment(double level, double a0, double a1, double b0, double b1, bool logA, bool logB)
{
    logA = logA && a0 > 0.0 && a1 > 0.0 && level > 0.0;
    logB = logB && b0 > 0.0 && b1 > 0.0;
    if (logA) {
        a0 = std::log10(a0);
        a1 = std::log10(a1);
        level = std::log10(level);
    }
    if (logB) {
        b0 = std::log10(b0);
        b1 = std::log10(b1);
    }
    const double r = a1 == a0 ? b0 : b0 + (level - a0) * (b1 - b0) / (a1 - a0);
    return logB ? std::pow(10.0, r) : r;
}

bool LogX(const CurveRecord& c) { return c.linear[kWaveformX] == 0; }
bool LogY(const CurveRecord& c) { return c.linear[kWaveformY] == 0; }

// Whether the condition lets the point count: 1 yes, 0 passed over, or an error id through
// `error`.
bool ConditionHolds(const PerformanceContext& context, std::int32_t point, int& error)
{
    error = 0;
    if (!context.condition || !*context.condition) return true;
    double value = 0.0;
    if (int status = (*context.condition)(point, value)) {
        error = status;
        return false;
    }
    return value != 0.0;
}

// Counts below 1 name no event; so do counts beyond any run.
int CountOf(double arg)
{
    const double t = std::trunc(arg);
    if (!(t >= 1.0) || t > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<int>(t);
}

}  // namespace

double ReadCurvePointValue(WaveformStore& store, const CurveRecord& curve, std::int32_t point, int axis)
{
    if (axis == kWaveformY && IsDigital(curve)) {
        switch (DigitalStateChar(StateCodeAt(store, curve, point))) {
        case '0': return 0.0;
        case '1': return 100.0;
        case 'R':
        case 'F': return 50.0;
        default: return 1.0;
        }
    }
    return GetWaveformValue(store, curve.storeSlots[static_cast<std::size_t>(axis)], point);
}

bool RunPointRange(const WaveformStore& store, const CurveRecord& curve, int run, std::int32_t& first,
                   std::int32_t& last)
{
    if (run < 0) return false;
    const auto r = static_cast<std::size_t>(run);
    if (run < store.runCount && r < curve.runFirstIndex.size() && r < curve.runLastIndex.size()) {
        first = curve.runFirstIndex[r];
        last = curve.runLastIndex[r];
    } else if (run == store.runCount) {
        // The run being filled: its points so far.
        first = RunFirstPoint(curve, run);
        last = curve.lastPointIndex;
    } else {
        return false;
    }
    return first >= 0 && last >= first;
}

namespace {

// One event search with an optional floor: a Y crossing in the first segment searched whose X
// lies before `floorX` is not counted (the second crossing of a rise or fall may lie in the same
// segment as the first one, after it).
int FindEvent(PerformanceContext& context, int n, int neighbours, EventMode mode, double level, std::int32_t start,
              const double* floorX)
{
    Measurement& m = context.measurement;
    m = Measurement{};
    if (!context.store || !context.curve) return kNoEvent;
    WaveformStore& store = *context.store;
    const CurveRecord& curve = *context.curve;
    std::int32_t first = 0, last = -1;
    if (!RunPointRange(store, curve, context.run, first, last)) return kNoEvent;
    if (n < 1) return kNoEvent;
    if (start < 0) start = first;
    const int k = std::max(neighbours, 1);
    int count = 0;
    bool foundA = false, foundB = false;
    std::int32_t p = start + 1;

    // Whether p is a peak (sign +1) or a valley (sign -1): K neighbours on each side, inside the
    // run, all strictly below (above) it.
    auto extremum = [&](std::int32_t at, double y, int sign) {
        if (at >= last) return false;
        for (int side : {-1, 1}) {
            for (int j = 1; j <= k; ++j) {
                const std::int64_t q = static_cast<std::int64_t>(at) + side * j;
                if (q <= first || q > last) return false;
                const double v = ReadCurvePointValue(store, curve, static_cast<std::int32_t>(q), kWaveformY);
                if (sign > 0 ? !(v < y) : !(v > y)) return false;
            }
        }
        return true;
    };

    for (; p <= last; ++p) {
        int error = 0;
        if (!ConditionHolds(context, p, error)) continue;
        const std::int32_t prev = p - 1;
        const double xp = ReadCurvePointValue(store, curve, p, kWaveformX);
        const double xq = ReadCurvePointValue(store, curve, prev, kWaveformX);
        const double yp = ReadCurvePointValue(store, curve, p, kWaveformY);
        const double yq = ReadCurvePointValue(store, curve, prev, kWaveformY);
        bool event = false;
        if (mode == EventMode::kPeakValley) {
            // A peak marks A, a valley B; every extremum once both are known counts.
            if (extremum(p, yp, 1)) {
                m.pointA = p;
                m.ax = xp;
                m.ay = yp;
                foundA = true;
                event = foundB;
            } else if (extremum(p, yp, -1)) {
                m.pointB = p;
                m.bx = xp;
                m.by = yp;
                foundB = true;
                event = foundA;
            }
            if (event && ++count >= n) break;
            continue;
        }
        switch (mode) {
        case EventMode::kRising: event = yq < level && level <= yp; break;
        case EventMode::kFalling: event = yq > level && level >= yp; break;
        case EventMode::kYCrossing: event = (yq <= level && level <= yp) || (yq >= level && level >= yp); break;
        case EventMode::kXCrossing: event = (xq <= level && level <= xp) || (xq >= level && level >= xp); break;
        case EventMode::kPeak: event = extremum(p, yp, 1); break;
        case EventMode::kValley: event = extremum(p, yp, -1); break;
        case EventMode::kPeakValley: break;
        }
        if (!event) continue;
        if (floorX && p == start + 1 &&
            (mode == EventMode::kRising || mode == EventMode::kFalling || mode == EventMode::kYCrossing)) {
            const double x = InterpolateSegment(level, yq, yp, xq, xp, LogY(curve), LogX(curve));
            if (x < *floorX) continue;
        }
        if (++count == n) break;
    }
    if (p > last) {
        m = Measurement{};
        return kNoEvent;
    }

    if (mode == EventMode::kPeakValley) {
        if (m.pointA == m.pointB) {
            m = Measurement{};
            return kNoEvent;
        }
        m.value = std::fabs(m.ay - m.by);
        return 0;
    }
    m.pointA = m.pointB = p;
    const std::int32_t prev = p - 1;
    const double xp = ReadCurvePointValue(store, curve, p, kWaveformX);
    const double yp = ReadCurvePointValue(store, curve, p, kWaveformY);
    switch (mode) {
    case EventMode::kRising:
    case EventMode::kFalling:
    case EventMode::kYCrossing: {
        const double xq = ReadCurvePointValue(store, curve, prev, kWaveformX);
        const double yq = ReadCurvePointValue(store, curve, prev, kWaveformY);
        const double x = InterpolateSegment(level, yq, yp, xq, xp, LogY(curve), LogX(curve));
        m.value = m.ax = x;
        m.ay = m.secondValue = level;
        break;
    }
    case EventMode::kXCrossing: {
        const double xq = ReadCurvePointValue(store, curve, prev, kWaveformX);
        const double yq = ReadCurvePointValue(store, curve, prev, kWaveformY);
        const double y = InterpolateSegment(level, xq, xp, yq, yp, LogX(curve), LogY(curve));
        m.value = m.ax = y;
        m.ay = m.secondValue = level;
        // A digital state holds from its point on: the state at the level is the one before.
        if (IsDigital(curve) && level < xp) m.pointA = prev;
        break;
    }
    default:
        m.value = m.ay = yp;
        m.ax = m.secondValue = xp;
        break;
    }
    return 0;
}

// The run's largest (sign +1) or smallest (sign -1) value on an axis; the earliest of equal
// extremes wins. A run without a counting point has no extreme: 15055.
int FindRunExtreme(PerformanceContext& context, int axis, int sign)
{
    Measurement& m = context.measurement;
    m = Measurement{};
    if (!context.store || !context.curve) return kNoEvent;
    std::int32_t first = 0, last = -1;
    if (!RunPointRange(*context.store, *context.curve, context.run, first, last)) return kNoEvent;
    bool found = false;
    double best = 0.0;
    std::int32_t at = 0;
    for (std::int32_t p = first; p <= last; ++p) {
        int error = 0;
        if (!ConditionHolds(context, p, error)) {
            if (error) return error;
            continue;
        }
        const double v = ReadCurvePointValue(*context.store, *context.curve, p, axis);
        if (!found || (sign > 0 ? v > best : v < best)) {
            best = v;
            at = p;
            found = true;
        }
    }
    if (!found) return kNoEvent;
    m.value = best;
    m.pointA = m.pointB = at;
    m.ax = m.bx = ReadCurvePointValue(*context.store, *context.curve, at, kWaveformX);
    m.ay = m.by = ReadCurvePointValue(*context.store, *context.curve, at, kWaveformY);
    m.secondValue = m.ax;
    return 0;
}

}  // namespace

int FindNthEvent(PerformanceContext& context, int n, int neighbours, EventMode mode, double level, std::int32_t start)
{
    return FindEvent(context, n, neighbours, mode, level, start, nullptr);
}

int FindNthDigitalState(PerformanceContext& context, int n, char letter, std::int32_t start, bool match)
{
    Measurement& m = context.measurement;
    m = Measurement{};
    if (!context.store || !context.curve) return kNoEvent;
    std::int32_t first = 0, last = -1;
    if (!RunPointRange(*context.store, *context.curve, context.run, first, last)) return kNoEvent;
    if (n < 1) return kNoEvent;
    // A digital curve keeps a point at every step of the run: a state counts where the curve
    // enters it, at a point whose predecessor holds another one. The state the run starts in
    // was not entered there, and the later points of one pulse are not further pulses.
    const auto inState = [&](std::int32_t p) {
        return (DigitalStateChar(StateCodeAt(*context.store, *context.curve, p)) == letter) == match;
    };
    int count = 0;
    for (std::int32_t p = start < 0 ? first : std::max(start, first); p <= last; ++p) {
        int error = 0;
        if (!ConditionHolds(context, p, error)) {
            if (error) return error;
            continue;
        }
        if (!inState(p) || p == first || inState(p - 1)) continue;
        const std::uint16_t code = StateCodeAt(*context.store, *context.curve, p);
        if (++count < n) continue;
        m.pointA = m.pointB = p;
        m.value = m.ax = m.secondValue = ReadCurvePointValue(*context.store, *context.curve, p, kWaveformX);
        m.ay = code;
        return 0;
    }
    return kNoEvent;
}

namespace {

// Joins two searches: A from the first, B from the second one's point.
void JoinMeasurements(Measurement& into, const Measurement& a, const Measurement& b)
{
    into = Measurement{};
    into.pointA = a.pointA;
    into.ax = a.ax;
    into.ay = a.ay;
    into.pointB = b.pointA;
    into.bx = b.ax;
    into.by = b.ay;
    into.secondValue = b.secondValue;
}

// Two-step analog measure: a = first search, b = second search from a on; value b.x - a.x.
template <class First, class Second>
int TwoStep(PerformanceContext& context, First first, Second second)
{
    if (int status = first()) return status;
    const Measurement a = context.measurement;
    if (int status = second(a)) return status;
    const Measurement b = context.measurement;
    JoinMeasurements(context.measurement, a, b);
    context.measurement.value = b.ax - a.ax;
    return 0;
}

// Digital rise (state 'R') or fall ('F'): the N-th point in that state to the first later point
// in another state.
int DigitalEdge(PerformanceContext& c, int n, char letter)
{
    return TwoStep(
        c, [&] { return FindNthDigitalState(c, n, letter, -1, true); },
        [&](const Measurement& a) { return FindNthDigitalState(c, 1, letter, a.pointA + 1, false); });
}

// The first point from `start` on whose state is one of the letters.
int FindDigitalStateIn(PerformanceContext& c, std::string_view letters, std::int32_t start)
{
    Measurement best;
    int status = kNoEvent;
    for (char letter : letters) {
        if (FindNthDigitalState(c, 1, letter, start, true) == 0 &&
            (status != 0 || c.measurement.pointA < best.pointA)) {
            best = c.measurement;
            status = 0;
        }
    }
    c.measurement = status == 0 ? best : Measurement{};
    return status;
}

int AnalogEdge(PerformanceContext& c, int n, bool rising, double from, double to)
{
    const EventMode mode = rising ? EventMode::kRising : EventMode::kFalling;
    return TwoStep(
        c, [&] { return FindEvent(c, n, kPeakNeighbourCount, mode, from, -1, nullptr); },
        [&](const Measurement& a) {
            // The second level may be crossed in the same step as the first one.
            return FindEvent(c, 1, kPeakNeighbourCount, mode, to, std::max(a.pointA - 1, 0), &a.ax);
        });
}

int MeanOfRun(PerformanceContext& c, double& mean)
{
    std::int32_t first = 0, last = -1;
    if (!c.store || !c.curve || !RunPointRange(*c.store, *c.curve, c.run, first, last)) return kNoEvent;
    double sum = 0.0;
    std::int64_t count = 0;
    for (std::int32_t p = first; p <= last; ++p) {
        int error = 0;
        if (!ConditionHolds(c, p, error)) {
            if (error) return error;
            continue;
        }
        sum += ReadCurvePointValue(*c.store, *c.curve, p, kWaveformY);
        ++count;
    }
    if (count == 0) return kNoEvent;
    mean = sum / static_cast<double>(count);
    return 0;
}

int MeasurePeriod(PerformanceContext& c, int n)
{
    if (IsDigital(*c.curve)) {
        if (int status = FindNthDigitalState(c, 1, '1', -1, true)) return status;
        const Measurement a = c.measurement;
        if (int status = FindNthDigitalState(c, 1, '0', a.pointA + 1, true)) return status;
        const std::int32_t zero = c.measurement.pointA;
        if (int status = FindNthDigitalState(c, 1, '1', zero + 1, true)) return status;
        const Measurement b = c.measurement;
        JoinMeasurements(c.measurement, a, b);
        c.measurement.value = b.ax - a.ax;
        return 0;
    }
    double level = 0.0;
    if (int status = MeanOfRun(c, level)) return status;
    return TwoStep(
        c, [&] { return FindEvent(c, n, kPeakNeighbourCount, EventMode::kRising, level, -1, nullptr); },
        [&](const Measurement& a) {
            return FindEvent(c, 1, kPeakNeighbourCount, EventMode::kRising, level, a.pointA, nullptr);
        });
}

int MeasureWidth(PerformanceContext& c, int n, double level)
{
    if (IsDigital(*c.curve)) {
        return TwoStep(
            c, [&] { return FindNthDigitalState(c, n, '1', -1, true); },
            // A pulse ends where the state leaves 1 downwards: at "0" or at a falling edge.
            [&](const Measurement& a) { return FindDigitalStateIn(c, "0F", a.pointA + 1); });
    }
    auto pulse = [&](EventMode open, EventMode close) {
        return TwoStep(
            c, [&] { return FindEvent(c, n, kPeakNeighbourCount, open, level, -1, nullptr); },
            [&](const Measurement& a) {
                return FindEvent(c, 1, kPeakNeighbourCount, close, level, a.pointA, nullptr);
            });
    };
    if (pulse(EventMode::kRising, EventMode::kFalling) == 0) return 0;
    return pulse(EventMode::kFalling, EventMode::kRising);
}

int MeasureXLevel(PerformanceContext& c, int n, double level)
{
    if (IsDigital(*c.curve)) {
        // The level names a state by its index in "0RF1XZ?".
        const double t = std::trunc(level);
        const int index = t >= 0.0 && t < 7.0 ? static_cast<int>(t) : 6;
        return FindNthDigitalState(c, n, kDigitalStateLetters[index], -1, true);
    }
    return FindEvent(c, n, kPeakNeighbourCount, EventMode::kYCrossing, level, -1, nullptr);
}

int MeasureYLevel(PerformanceContext& c, int n, double level)
{
    if (int status = FindEvent(c, n, kPeakNeighbourCount, EventMode::kXCrossing, level, -1, nullptr)) return status;
    if (IsDigital(*c.curve)) {
        Measurement& m = c.measurement;
        m.value = StateCodeAt(*c.store, *c.curve, m.pointA);
        m.by = m.ay;
    }
    return 0;
}

// The band measurements: the span of X (xRange) or of Y over which the curve stays inside the
// band of the other axis, between the two crossings of the band's edges.
int MeasureRange(PerformanceContext& c, int n, double low, double high, bool xRange)
{
    const CurveRecord& curve = *c.curve;
    WaveformStore& store = *c.store;
    if (!xRange && IsDigital(curve)) return kNoEvent;
    std::int32_t first = 0, last = -1;
    if (!RunPointRange(store, curve, c.run, first, last)) return kNoEvent;

    // The two ends of the span.
    std::int32_t ends[2] = {0, 0};
    if (xRange && IsDigital(curve)) {
        if (int status = DigitalEdge(c, n, 'R')) return status;
        ends[0] = c.measurement.pointA;
        ends[1] = c.measurement.pointB;
    } else {
        const EventMode mode = xRange ? EventMode::kYCrossing : EventMode::kXCrossing;
        const double levels[2] = {low, high};
        for (int i = 0; i < 2; ++i) {
            int status = FindEvent(c, n, kPeakNeighbourCount, mode, levels[i], -1, nullptr);
            if (status == 0) {
                ends[i] = c.measurement.pointA;
                continue;
            }
            if (status != kNoEvent || n != 1) return status;
            // Missing: the run's lowest (highest) point stands in, of Y for X_Range and of X
            // for Y_Range.
            if (int s = FindRunExtreme(c, xRange ? kWaveformY : kWaveformX, i == 0 ? -1 : 1)) return s;
            ends[i] = c.measurement.pointA;
        }
    }
    std::int32_t from = std::min(ends[0], ends[1]);
    std::int32_t to = std::max(ends[0], ends[1]);
    if (from - 1 >= first) --from;
    if (to + 1 <= last) ++to;

    // Along the band axis (Y for X_Range) the candidates must lie inside [bandLow, bandHigh];
    // along the measured axis the lowest and highest are kept.
    const int bandAxis = xRange ? kWaveformY : kWaveformX;
    const int measuredAxis = xRange ? kWaveformX : kWaveformY;
    const bool logBand = xRange ? LogY(curve) : LogX(curve);
    const bool logMeasured = xRange ? LogX(curve) : LogY(curve);
    const double bandLow = std::min(low, high), bandHigh = std::max(low, high);
    bool found = false;
    double lowest = 0.0, highest = 0.0, lowestBand = 0.0, highestBand = 0.0;
    std::int32_t lowestAt = 0, highestAt = 0;
    for (std::int32_t i = from; i < to; ++i) {
        const double b0 = ReadCurvePointValue(store, curve, i, bandAxis);
        const double b1 = ReadCurvePointValue(store, curve, i + 1, bandAxis);
        const double m0 = ReadCurvePointValue(store, curve, i, measuredAxis);
        const double m1 = ReadCurvePointValue(store, curve, i + 1, measuredAxis);
        double band = b0, measured = m0;
        for (double edge : {low, high}) {
            if ((b0 <= edge && edge <= b1) || (b0 >= edge && edge >= b1)) {
                band = edge;
                measured = InterpolateSegment(edge, b0, b1, m0, m1, logBand, logMeasured);
            }
        }
        if (band < bandLow || band > bandHigh) continue;
        if (!found || measured < lowest) {
            lowest = measured;
            lowestBand = band;
            lowestAt = i;
        }
        if (!found || measured > highest) {
            highest = measured;
            highestBand = band;
            highestAt = i;
        }
        found = true;
    }
    Measurement& m = c.measurement;
    m = Measurement{};
    if (!found) return kNoEvent;
    m.value = std::fabs(highest - lowest);
    // X_Range marks (X, Y); Y_Range marks (Y, X), as every Y measurement does.
    m.pointA = lowestAt;
    m.ax = lowest;
    m.ay = lowestBand;
    m.pointB = highestAt;
    m.bx = highest;
    m.by = highestBand;
    if (!xRange && m.pointA > m.pointB) {
        std::swap(m.pointA, m.pointB);
        std::swap(m.ax, m.bx);
        std::swap(m.ay, m.by);
    }
    return 0;
}

}  // namespace

int EvaluatePerformanceFunction(PerformanceContext& c, int function, double arg1, double arg2, double arg3)
{
    c.measurement = Measurement{};
    if (!c.store || !c.curve || function < 0 || function >= kPerformanceFunctionCount) return kNoEvent;
    const int n = CountOf(arg1);
    const bool digital = IsDigital(*c.curve);
    constexpr int K = kPeakNeighbourCount;
    switch (function) {
    case kRiseTime: return digital ? DigitalEdge(c, n, 'R') : AnalogEdge(c, n, true, arg2, arg3);
    case kFallTime: return digital ? DigitalEdge(c, n, 'F') : AnalogEdge(c, n, false, arg3, arg2);
    case kPeak:
    case kValley: {
        const bool peak = function == kPeak;
        const int status = FindEvent(c, n, K, peak ? EventMode::kPeak : EventMode::kValley, 0.0, -1, nullptr);
        if (status == kNoEvent && n == 1) return FindRunExtreme(c, kWaveformY, peak ? 1 : -1);
        return status;
    }
    case kPeakValley: return FindEvent(c, n, K, EventMode::kPeakValley, 0.0, -1, nullptr);
    case kPeriod: return MeasurePeriod(c, n);
    case kFrequency: {
        if (int status = MeasurePeriod(c, n)) return status;
        if (c.measurement.value != 0.0) c.measurement.value = 1.0 / c.measurement.value;
        return 0;
    }
    case kWidth: return MeasureWidth(c, n, arg2);
    case kHigh: return FindRunExtreme(c, kWaveformY, 1);
    case kLow: return FindRunExtreme(c, kWaveformY, -1);
    case kXLevel: return MeasureXLevel(c, n, arg2);
    case kYLevel: return MeasureYLevel(c, n, arg2);
    case kXDelta: {
        if (digital) return DigitalEdge(c, n, 'R');
        return TwoStep(
            c, [&] { return FindEvent(c, n, K, EventMode::kYCrossing, arg2, -1, nullptr); },
            [&](const Measurement&) { return FindEvent(c, n, K, EventMode::kYCrossing, arg3, -1, nullptr); });
    }
    case kYDelta: {
        if (digital) return kNoEvent;
        if (int status = MeasureYLevel(c, n, arg2)) return status;
        const Measurement a = c.measurement;
        if (int status = MeasureYLevel(c, n, arg3)) return status;
        const Measurement b = c.measurement;
        JoinMeasurements(c.measurement, a, b);
        c.measurement.value = std::fabs(b.value - a.value);
        return 0;
    }
    case kXRange: return MeasureRange(c, n, arg2, arg3, true);
    case kYRange: return MeasureRange(c, n, arg2, arg3, false);
    default: return kNoEvent;
    }
}

std::string PerformanceShortText(const FunctionRecord& record)
{
    return StrPrintf("%s(%s)", std::string(PerformanceFunctionName(record.function)).c_str(), record.expression.c_str());
}

std::string PerformanceFullText(const FunctionRecord& record)
{
    std::string list;
    const int count = PerformanceArgumentCount(record.function);
    for (int i = 0; i < count; ++i) list = StrPrintf("%s,%g", list.c_str(), record.args[static_cast<std::size_t>(i)]);
    return StrPrintf("%s(%s,%s%s)", std::string(PerformanceFunctionName(record.function)).c_str(),
                  record.expression.c_str(), record.boolean.c_str(), list.c_str());
}

}  // namespace kq5
