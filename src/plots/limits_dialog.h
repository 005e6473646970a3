#pragma once
// The non-modal Analysis Limits dialog of the current analysis kind (templates 16061 to 16063):
// the limit fields, the run options, and the plot rows with their button strip, made as edit
// controls at run time and scrolled over the document's rows.
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr int kLimitsTemplateBase = 16061;  // + analysis kind
inline constexpr int kLimitsFieldBase = 100;
inline constexpr int kLimitsRowBase = 300;         // + 100 x line + column
inline constexpr int kLimitsMaxLines = 30;
inline constexpr int kLimitsColumns = 6;
inline constexpr int kLimitsScrollBar = 17116;
inline constexpr int kLimitsRun = 17111;
inline constexpr int kLimitsAdd = 24;
inline constexpr int kLimitsDelete = 25;
inline constexpr int kLimitsExpand = 17114;
inline constexpr int kLimitsStepping = 17115;
inline constexpr int kLimitsRunOptions = 17117;
inline constexpr int kLimitsStateVariables = 17118;
inline constexpr int kLimitsFrequencyStep = 17119;
inline constexpr int kLimitsOperatingPoint = 17120;
inline constexpr int kLimitsOperatingPointOnly = 17121;
inline constexpr int kLimitsAutoScale = 17110;
inline constexpr int kExpandTemplate = 3003;

// Opens (or activates) the dialog of the current kind; nothing in probe mode or a batch run.
int OpenAnalysisLimitsDialog();
void ShowAnalysisLimitsDialog();
win::HWND AnalysisLimitsDialog();
void CloseAnalysisLimitsDialog();
// Shows the rows again from the document (after something else changed them).
void RefreshLimitsRowControls();
// Stores the text of the field or row edit that has the focus, as losing the focus would: a run
// started by a key while the user is still typing runs with what the dialog shows.
void StoreFocusedLimitsText();
// what 1: focus field `index`; what 2: scroll row `index` into view and focus its X expression.
void FocusLimitsControl(int what, int index);
// Writes a curve's present range into the X (axis 0) or Y (axis 1) range text of its row.
void WriteCurveRangeToRow(int curveIndex, int axis);
void SetRowRangeText(int curveIndex, int axis, const std::string& text);

// Where a vertical scroll bar code moves a row scroll position: lines by one, pages by seven, the
// thumb to its position; held within 0 .. maxScroll.
int RowScrollTarget(int code, int thumb, int current, int maxScroll);

// The row-button strip of a line: which button (0 X lin/log, 1 Y lin/log, 2 colour, 3 numeric
// output, 4 user file) lies under a dialog point, -1 none.
int LimitsStripButtonAt(win::HWND dialog, int line, win::POINT point);

}  // namespace kq5
