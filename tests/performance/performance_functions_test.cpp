// The sixteen performance functions on analytic waveforms whose measures are known by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analyses/performance_functions.h"
#include "stored_curves_support.h"

namespace kq5::testing {
namespace {

constexpr int kGap = 15055;
constexpr double kPi = std::numbers::pi;

// A strong state of "0RF1XZ?".
double State(char letter)
{
    const std::string_view letters = "0RF1XZ?";
    return static_cast<double>(letters.find(letter) | (4u << 3));
}

using PerformanceFunctionsTest = StoredCurvesTest;

TEST_F(PerformanceFunctionsTest, TableRowsGiveLabelsDefaultsAndArgumentCounts)
{
    EXPECT_EQ(PerformanceArgumentCount(kRiseTime), 3);
    EXPECT_EQ(PerformanceArgumentCount(kHigh), 0);
    EXPECT_EQ(PerformanceArgumentCount(kWidth), 2);
    for (int i = 0; i < kPerformanceFunctionCount; ++i)
        EXPECT_EQ(kPerformanceFunctionRows[i].expressionArguments, 2 + PerformanceArgumentCount(i)) << i;
    EXPECT_STREQ(kPerformanceFunctionRows[kYRange].labels[1], "X Low");
    EXPECT_EQ(kPerformanceFunctionRows[kWidth].defaults[1], 2);
    EXPECT_EQ(kPerformanceFunctionRows[kPeak].markedPoints, 1);
    EXPECT_EQ(PerformanceFunctionRowOf(16), nullptr);

    FunctionRecord record;
    record.function = kRiseTime;
    record.expression = "v(1)";
    record.boolean = "1";
    record.args = {1, 1, 2};
    EXPECT_EQ(PerformanceFullText(record), "Rise_Time(v(1),1,1,1,2)");
    EXPECT_EQ(PerformanceShortText(record), "Rise_Time(v(1))");
}

TEST_F(PerformanceFunctionsTest, RampRiseAndFallTimesAreExact)
{
    // Up from 0 to 10 over x 0..10, then down again over 10..20.
    Store({Sample(0, 20, 80, [](double x) { return x <= 10 ? x : 20 - x; })});
    ASSERT_EQ(Measure(kRiseTime, 1, 1, 9), 0);
    EXPECT_DOUBLE_EQ(M().value, 8.0);
    EXPECT_DOUBLE_EQ(M().ax, 1.0);
    EXPECT_DOUBLE_EQ(M().bx, 9.0);
    EXPECT_DOUBLE_EQ(M().ay, 1.0);
    EXPECT_DOUBLE_EQ(M().by, 9.0);
    ASSERT_EQ(Measure(kFallTime, 1, 1, 9), 0);
    EXPECT_DOUBLE_EQ(M().value, 8.0);
    EXPECT_DOUBLE_EQ(M().ax, 11.0);
    EXPECT_DOUBLE_EQ(M().bx, 19.0);
    // Never reaching High after Low: no event.
    EXPECT_EQ(Measure(kRiseTime, 1, 1, 11), kGap);
    EXPECT_EQ(Measure(kRiseTime, 2, 1, 9), kGap);
}

TEST_F(PerformanceFunctionsTest, EdgeInsideOneStepIsMeasuredInThatStep)
{
    // A pulse edge stored as one step from 0 to 1: both 10 % and 90 % lie in it; a second edge
    // follows later, which must not be taken for the first one's end.
    Store({{{0, 0}, {1, 0}, {1.1, 1}, {2, 1}, {2.1, 0}, {3, 0}, {3.1, 1}, {4, 1}}});
    ASSERT_EQ(Measure(kRiseTime, 1, 0.1, 0.9), 0);
    EXPECT_NEAR(M().value, 0.08, 1e-12);
    ASSERT_EQ(Measure(kFallTime, 1, 0.1, 0.9), 0);
    EXPECT_NEAR(M().value, 0.08, 1e-12);
}

TEST_F(PerformanceFunctionsTest, SinePeriodFrequencyPeaksAndWidth)
{
    const double f = 1e3;
    Store({Sample(0, 5e-3, 2000, [&](double t) { return 2.0 + std::sin(2 * kPi * f * t); })});
    ASSERT_EQ(Measure(kPeriod), 0);
    EXPECT_NEAR(M().value, 1e-3, 1e-8);
    ASSERT_EQ(Measure(kFrequency, 2), 0);
    EXPECT_NEAR(M().value, 1e3, 1e-2);
    ASSERT_EQ(Measure(kPeak, 3), 0);
    EXPECT_NEAR(M().value, 3.0, 1e-9);
    EXPECT_NEAR(M().ax, 2.25e-3, 1e-9);
    ASSERT_EQ(Measure(kValley, 1), 0);
    EXPECT_NEAR(M().value, 1.0, 1e-9);
    EXPECT_NEAR(M().ax, 0.75e-3, 1e-9);
    ASSERT_EQ(Measure(kPeakValley, 1), 0);
    EXPECT_NEAR(M().value, 2.0, 1e-9);
    EXPECT_NEAR(M().ax, 0.25e-3, 1e-9);
    EXPECT_NEAR(M().bx, 0.75e-3, 1e-9);
    // Above 2.5 the sine stays for a third of its period.
    ASSERT_EQ(Measure(kWidth, 1, 2.5), 0);
    EXPECT_NEAR(M().value, 1e-3 / 3, 1e-8);
    // Level 1.5 is crossed falling first; the pulse still starts at the first rising crossing.
    ASSERT_EQ(Measure(kWidth, 1, 1.5), 0);
    EXPECT_NEAR(M().value, 2e-3 / 3, 1e-8);
    EXPECT_NEAR(M().ax, 11e-3 / 12, 1e-8);
    EXPECT_EQ(Measure(kPeak, 6), kGap);
}

TEST_F(PerformanceFunctionsTest, RlcStepOvershootMatchesTheDampingFormula)
{
    const double zeta = 0.2, wn = 2 * kPi * 1e3;
    const double wd = wn * std::sqrt(1 - zeta * zeta);
    Store({Sample(0, 5e-3, 20000, [&](double t) {
        return 1 - std::exp(-zeta * wn * t) * (std::cos(wd * t) + zeta / std::sqrt(1 - zeta * zeta) * std::sin(wd * t));
    })});
    ASSERT_EQ(Measure(kPeak, 1), 0);
    EXPECT_NEAR(M().value, 1 + std::exp(-zeta * kPi / std::sqrt(1 - zeta * zeta)), 1e-6);
    EXPECT_NEAR(M().ax, kPi / wd, 1e-6);
    ASSERT_EQ(Measure(kHigh), 0);
    EXPECT_DOUBLE_EQ(M().value, M().ay);
    ASSERT_EQ(Measure(kValley, 1), 0);
    EXPECT_NEAR(M().value, 1 - std::exp(-2 * zeta * kPi / std::sqrt(1 - zeta * zeta)), 1e-6);
}

TEST_F(PerformanceFunctionsTest, RcLowPassMinus3dBOnALogFrequencyAxis)
{
    const double r = 1e3, c = 1e-6, fc = 1 / (2 * kPi * r * c);
    PointRun run;
    for (int i = 0; i <= 300; ++i) {
        const double freq = std::pow(10.0, 0 + 6.0 * i / 300);
        run.push_back({freq, -10 * std::log10(1 + (freq / fc) * (freq / fc))});
    }
    Store({run}, false, true);
    ASSERT_EQ(Measure(kXLevel, 1, -10 * std::log10(2.0)), 0);
    EXPECT_NEAR(M().value / fc, 1.0, 1e-4);
    EXPECT_DOUBLE_EQ(M().ay, -10 * std::log10(2.0));
}

TEST_F(PerformanceFunctionsTest, LevelsAndDeltas)
{
    Store({Sample(0, 10, 10, [](double x) { return 2 * x; })});
    ASSERT_EQ(Measure(kYLevel, 1, 2.5), 0);
    EXPECT_DOUBLE_EQ(M().value, 5.0);
    // The measured Y sits in the x field, the X in the y field.
    EXPECT_DOUBLE_EQ(M().ax, 5.0);
    EXPECT_DOUBLE_EQ(M().ay, 2.5);
    ASSERT_EQ(Measure(kXDelta, 1, 4, 15), 0);
    EXPECT_DOUBLE_EQ(M().value, 5.5);
    ASSERT_EQ(Measure(kXDelta, 1, 15, 4), 0);
    EXPECT_DOUBLE_EQ(M().value, -5.5);
    ASSERT_EQ(Measure(kYDelta, 1, 7, 2), 0);
    EXPECT_DOUBLE_EQ(M().value, 10.0);
    EXPECT_DOUBLE_EQ(M().ax, 14.0);
    EXPECT_DOUBLE_EQ(M().bx, 4.0);
    EXPECT_EQ(Measure(kYLevel, 1, 11), kGap);
    EXPECT_EQ(Measure(kXLevel, 2, 3), kGap);
}

TEST_F(PerformanceFunctionsTest, XAndYRangeBands)
{
    // Rising from 0 to 10 over x 0..10 and flat at 10 after.
    Store({Sample(0, 20, 40, [](double x) { return std::min(x, 10.0); })});
    // Between Y 2 and 6 the curve runs for X 2..6, whichever bound is given first.
    ASSERT_EQ(Measure(kXRange, 1, 2, 6), 0);
    EXPECT_DOUBLE_EQ(M().value, 4.0);
    EXPECT_DOUBLE_EQ(M().ax, 2.0);
    EXPECT_DOUBLE_EQ(M().bx, 6.0);
    ASSERT_EQ(Measure(kXRange, 1, 6, 2), 0);
    EXPECT_DOUBLE_EQ(M().value, 4.0);
    // A band whose upper edge is never crossed: the run's first highest point stands in.
    ASSERT_EQ(Measure(kXRange, 1, 9, 11), 0);
    EXPECT_DOUBLE_EQ(M().value, 1.0);
    // Y over X 1.25..7.75.
    ASSERT_EQ(Measure(kYRange, 1, 1.25, 7.75), 0);
    EXPECT_DOUBLE_EQ(M().value, 6.5);
    EXPECT_DOUBLE_EQ(M().ax, 1.25);  // Y in the x field
    EXPECT_DOUBLE_EQ(M().ay, 1.25);
    EXPECT_DOUBLE_EQ(M().bx, 7.75);
    EXPECT_LE(M().pointA, M().pointB);
    EXPECT_EQ(Measure(kXRange, 2, 2.2, 6.2), kGap);
    EXPECT_EQ(Measure(kXRange, 1, 20, 30), kGap);
}

TEST_F(PerformanceFunctionsTest, PeaksNeedTwoStrictlyLowerNeighboursInsideTheRun)
{
    // Index:            0  1  2  3  4  5  6  7  8  9
    Store({{{0, 9}, {1, 1}, {2, 2}, {3, 5}, {4, 2}, {5, 1}, {6, 4}, {7, 4}, {8, 1}, {9, 0}}});
    // The first point is high but can never be a peak; the flat top 6..7 is none either.
    ASSERT_EQ(Measure(kPeak, 1), 0);
    EXPECT_DOUBLE_EQ(M().value, 5.0);
    EXPECT_EQ(M().pointA, 3);
    EXPECT_EQ(Measure(kPeak, 2), kGap);
    // A monotonic run has no peak: N = 1 takes the maximum, N = 2 finds nothing.
    Store({Sample(0, 1, 10, [](double x) { return x; })});
    ASSERT_EQ(Measure(kPeak, 1), 0);
    EXPECT_DOUBLE_EQ(M().value, 1.0);
    EXPECT_EQ(Measure(kPeak, 2), kGap);
    ASSERT_EQ(Measure(kValley, 1), 0);
    EXPECT_DOUBLE_EQ(M().value, 0.0);
    EXPECT_EQ(Measure(kPeakValley, 1), kGap);
}

TEST_F(PerformanceFunctionsTest, EachRunIsMeasuredOnItsOwnPoints)
{
    Store({Sample(0, 1, 10, [](double x) { return x; }), Sample(0, 1, 10, [](double x) { return 3 * x; }),
           Sample(0, 1, 10, [](double x) { return -x; })});
    ASSERT_EQ(Measure(kHigh, 1, 1, 2, 1), 0);
    EXPECT_DOUBLE_EQ(M().value, 3.0);
    EXPECT_EQ(M().pointA, 21);
    ASSERT_EQ(Measure(kXLevel, 1, 1.5, 2, 1), 0);
    EXPECT_DOUBLE_EQ(M().value, 0.5);
    EXPECT_EQ(Measure(kXLevel, 1, 1.5, 2, 2), kGap);
    EXPECT_EQ(Measure(kHigh, 1, 1, 2, 7), kGap);
}

TEST_F(PerformanceFunctionsTest, HighAndLowWithoutACountingPointAreAGapNotZero)
{
    Store({Sample(0, 1, 10, [](double x) { return 5 + x; })});
    const PointCondition never = [](std::int32_t, double& v) {
        v = 0.0;
        return 0;
    };
    EXPECT_EQ(Measure(kHigh, 1, 1, 2, 0, &never), kGap);
    EXPECT_EQ(Measure(kLow, 1, 1, 2, 0, &never), kGap);
    EXPECT_DOUBLE_EQ(M().value, 0.0);
    const PointCondition failing = [](std::int32_t, double&) { return 15060; };
    EXPECT_EQ(Measure(kHigh, 1, 1, 2, 0, &failing), 15060);
    EXPECT_EQ(Measure(kPeriod, 1, 1, 2, 0, &failing), 15060);
    // A condition that holds past X 0.5 only.
    const PointCondition late = [this](std::int32_t p, double& v) {
        v = GetWaveformValue(plot_.store, plot_.curves[0]->storeSlots[kWaveformX], p) > 0.5 ? 1.0 : 0.0;
        return 0;
    };
    ASSERT_EQ(Measure(kLow, 1, 1, 2, 0, &late), 0);
    EXPECT_DOUBLE_EQ(M().value, 5.6);
}

TEST_F(PerformanceFunctionsTest, DigitalCurvesReadStatesAndMeasureEdges)
{
    Store({{{0, State('0')}, {1, State('R')}, {2, State('1')}, {3, State('F')}, {4, State('0')}, {5, State('X')},
            {6, State('1')}, {7, State('0')}}},
          true);
    EXPECT_DOUBLE_EQ(ReadCurvePointValue(plot_.store, *plot_.curves[0], 0, kWaveformY), 0.0);
    EXPECT_DOUBLE_EQ(ReadCurvePointValue(plot_.store, *plot_.curves[0], 1, kWaveformY), 50.0);
    EXPECT_DOUBLE_EQ(ReadCurvePointValue(plot_.store, *plot_.curves[0], 2, kWaveformY), 100.0);
    EXPECT_DOUBLE_EQ(ReadCurvePointValue(plot_.store, *plot_.curves[0], 5, kWaveformY), 1.0);
    ASSERT_EQ(Measure(kRiseTime), 0);
    EXPECT_DOUBLE_EQ(M().value, 1.0);
    ASSERT_EQ(Measure(kFallTime), 0);
    EXPECT_DOUBLE_EQ(M().value, 1.0);
    // The first high pulse ends at its falling edge.
    ASSERT_EQ(Measure(kWidth), 0);
    EXPECT_DOUBLE_EQ(M().value, 1.0);
    ASSERT_EQ(Measure(kWidth, 2), 0);
    EXPECT_DOUBLE_EQ(M().value, 1.0);
    ASSERT_EQ(Measure(kPeriod), 0);
    EXPECT_DOUBLE_EQ(M().value, 4.0);
    ASSERT_EQ(Measure(kXLevel, 2, 3), 0);  // second point in state "1"
    EXPECT_DOUBLE_EQ(M().value, 6.0);
    ASSERT_EQ(Measure(kYLevel, 1, 2.5), 0);  // the state holding at X 2.5
    EXPECT_EQ(M().pointA, 2);
    EXPECT_DOUBLE_EQ(M().value, State('1'));
    EXPECT_EQ(Measure(kYDelta), kGap);
    EXPECT_EQ(Measure(kYRange), kGap);
    EXPECT_EQ(Measure(kWidth, 3), kGap);
}

TEST_F(PerformanceFunctionsTest, SampledDigitalSquareWaveStartingHighCountsWholePulses)
{
    // An inverter's output as a run stores it: a point every 0.1 ms, high for the first 3 ms,
    // then a 6 ms square wave (low 3 ms, high 3 ms) with one-step edges, up to 18 ms.
    PointRun points;
    for (int i = 0; i <= 180; ++i) {
        const double t = i * 0.1;
        const int phase = static_cast<int>(std::floor(t / 3.0 + 1e-9));
        points.push_back({t, State(phase % 2 == 0 ? '1' : '0')});
    }
    points[30].y = State('F');
    points[60].y = State('R');
    points[90].y = State('F');
    points[120].y = State('R');
    points[150].y = State('F');
    Store({points}, true);
    // The period runs from one entry into "1" to the next, not from the run's start.
    ASSERT_EQ(Measure(kPeriod), 0);
    EXPECT_NEAR(M().value, 6.0, 1e-9);
    // The first whole high pulse: from 6.1 ms to its falling edge at 9 ms; the second from 12.1.
    ASSERT_EQ(Measure(kWidth), 0);
    EXPECT_NEAR(M().value, 2.9, 1e-9);
    ASSERT_EQ(Measure(kWidth, 2), 0);
    EXPECT_NEAR(M().ax, 12.1, 1e-9);
    // The second time the output becomes high, and the second rising edge's length.
    ASSERT_EQ(Measure(kXLevel, 2, 3), 0);
    EXPECT_NEAR(M().value, 12.1, 1e-9);
    ASSERT_EQ(Measure(kRiseTime, 2), 0);
    EXPECT_NEAR(M().ax, 12.0, 1e-9);
    EXPECT_NEAR(M().value, 0.1, 1e-9);
}

}  // namespace
}  // namespace kq5::testing
