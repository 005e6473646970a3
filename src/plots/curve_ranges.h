#pragma once
// Range changes of the curves of an analysis window: the undo pair taken before a change, the
// run-start pair, a checked setting of one range, zooming to a dragged rectangle and panning by a
// tenth of the span.
#include "platform/win_types.h"

namespace kq5 {

struct CurveRecord;
struct WindowRecord;

// Pan commands: left, right, down, up.
inline constexpr int kCommandPanLeft = 17634;
inline constexpr int kCommandPanRight = 17635;
inline constexpr int kCommandPanDown = 17636;
inline constexpr int kCommandPanUp = 17637;

// Copies each curve's present ranges into its undo pair.
void SaveCurveRanges(WindowRecord* window);
// Swaps present and undo ranges (a second undo comes back) and redraws.
void UndoCurveRanges(WindowRecord* window);
// Puts back the ranges the run started with, when any differs, and redraws.
void RestoreRunStartRanges(WindowRecord* window);
// 1 when set; 0 (nothing changed) for a value <= 0 on a log axis or a magnitude >= 1e30 or
// <= 1e-30 (an exact 0 is fine on a linear axis).
int SetCurveAxisRange(CurveRecord& curve, int axis, double low, double high);
// Ascending (flag true) or descending order of one axis' pair.
void OrderCurveAxisRange(CurveRecord& curve, int axis, bool ascending);
// Zooms the group of the curve to the dragged rectangle (pixels).
void ZoomCurvesToRect(WindowRecord* window, int curveIndex, win::POINT a, win::POINT b);
// Pan commands 17634 to 17637 on the current curve's group.
void PanPlotCommand(WindowRecord* window, int command);

}  // namespace kq5
