#pragma once
// Automatic axis ranges: after each run the axes left to the program take the data's range,
// rounded to five readable divisions, and the curves of one plot group share their ranges;
// which curves show their own Y scale; the Auto Scale command; the nice-range rounding.
#include "platform/win_types.h"

namespace kq5 {

struct CurveRecord;
struct WindowRecord;

// A readable range of `divisions` steps around high and low (either order, either sign).
// 0, or -1 when none was found.
int NiceRange(bool logarithmic, double high, double low, int divisions, double& step, double& outLow, double& outHigh);

// The range of a curve axis's values; values that never change get a range around them.
void DataAxisRange(const CurveRecord& curve, int axis, double& low, double& high);
// Rounds a range the way an automatic axis shows it: whole steps, or whole decades on a
// logarithmic axis.
void RoundAxisRange(double& low, double& high, bool linear);

// Axes in automatic mode take the data's range (equal ends are parted).
void RangesFromData(WindowRecord* window);
// The curves of each plot group share the union of their ranges, from firstAxis to Y.
void UnifyGroupRanges(WindowRecord* window, int firstAxis);
void MarkOwnScaleCurves(WindowRecord* window);
// 1 when any axis changed. With keepAutomatic the axes stay automatic, so that the next call
// scales them again to the data gathered by then.
int RescaleAutomaticRanges(WindowRecord* window, bool chooseLabels, bool useKnownRanges, bool keepAutomatic = false);
// 0 when some shown curve has no point (or there are no curves).
int AllCurvesHaveData(WindowRecord* window);
// After each run: ranges from the data and a redraw when anything changed; 1 when redrawn.
// While more runs of the analysis follow (moreRuns), automatic axes stay automatic: the curves
// of the later runs widen them.
int FinishPlotsAfterRun(WindowRecord* window, win::HDC dc, bool moreRuns = false);
// The Auto Scale command on the current curve's group.
void AutoScaleCurrentPlotGroup(WindowRecord* window, bool redraw);
// The "Set all plots in graph to Y Range" option applied.
void ApplyOneScaleOption(WindowRecord* window);
// The numeric output columns of a curve axis take the prefix that the values it holds give (the
// axis' prefix before it holds any), or the exponent form when no prefix fits, so that small and
// large values keep their digits.
void UpdatePrintScale(CurveRecord& curve, int axis);

}  // namespace kq5
