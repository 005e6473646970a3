#pragma once
// Performance functions: one number measured on one run of one stored curve (a rise time, a
// peak, a period, the X at which the curve reaches a level...). The performance, 3-D and Monte
// Carlo windows measure every run this way, the analysis window's cursors go to the measured
// points, and expressions call the functions by name.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "document/analysis_windows.h"

namespace kq5 {

struct WaveformStore;
struct CurveRecord;

// Neighbour points on each side that a peak or valley must rise above (fall below).
inline constexpr int kPeakNeighbourCount = 2;

// What the dialogs, the expression engine and the cursors read of a function.
struct PerformanceFunctionRow {
    std::array<const char*, 3> labels{};  // argument labels; null where the function has fewer
    std::array<std::int32_t, 3> defaults{};
    std::int32_t markedPoints = 1;        // points a measurement marks on the curve (1 or 2)
    std::int32_t expressionArguments = 2; // curve, condition, then one per label
};
extern const std::array<PerformanceFunctionRow, kPerformanceFunctionCount> kPerformanceFunctionRows;
// The row of an index, null outside the table.
const PerformanceFunctionRow* PerformanceFunctionRowOf(int index);
int PerformanceArgumentCount(int index);  // labels of the function, 0 outside the table

// Function indices.
enum PerformanceFunctionIndex {
    kRiseTime = 0,
    kFallTime,
    kPeak,
    kValley,
    kPeakValley,
    kPeriod,
    kFrequency,
    kWidth,
    kHigh,
    kLow,
    kXLevel,
    kYLevel,
    kXDelta,
    kYDelta,
    kXRange,
    kYRange,
};

// Where a measurement found its event(s). For Y_Level, Y_Delta and Y_Range the marked points
// hold the measured Y in their x field and the X in their y field.
struct Measurement {
    std::int32_t pointA = 0;
    std::int32_t pointB = 0;
    double value = 0.0;
    double secondValue = 0.0;  // the level of an interpolated crossing, else the X of the point
    double ax = 0.0, bx = 0.0;
    double ay = 0.0, by = 0.0;
};

// A condition evaluated at one stored point: 0 with its value (zero passes the point over), or
// an error id.
using PointCondition = std::function<int(std::int32_t point, double& value)>;

struct PerformanceContext {
    WaveformStore* store = nullptr;     // the analysis window's store
    const CurveRecord* curve = nullptr; // the measured curve
    const PointCondition* condition = nullptr;  // none: every point counts
    int run = 0;
    Measurement measurement;
};

// Modes of the event search.
enum class EventMode { kRising, kFalling, kYCrossing, kXCrossing, kPeak, kValley, kPeakValley };

// Measures function `function` (0..15) on the context's run: 0 with the measurement filled,
// 15055 when the event does not exist in the run (nothing reported), or the error of the
// condition. The first argument is truncated to the count N.
int EvaluatePerformanceFunction(PerformanceContext& context, int function, double arg1, double arg2, double arg3);

// The building blocks, also used by the cursors.
int FindNthEvent(PerformanceContext& context, int n, int neighbours, EventMode mode, double level,
                 std::int32_t start = -1);
int FindNthDigitalState(PerformanceContext& context, int n, char letter, std::int32_t start, bool match);
double ReadCurvePointValue(WaveformStore& store, const CurveRecord& curve, std::int32_t point, int axis);
// First and last point of a run of the curve (the run being filled included); false when the
// run holds no point.
bool RunPointRange(const WaveformStore& store, const CurveRecord& curve, int run, std::int32_t& first,
                   std::int32_t& last);

// Text forms: "Rise_Time(v(1))" and, with condition and arguments, "Rise_Time(v(1),1,1,1,2)".
std::string PerformanceShortText(const FunctionRecord& record);
std::string PerformanceFullText(const FunctionRecord& record);

}  // namespace kq5
