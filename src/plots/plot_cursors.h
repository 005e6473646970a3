#pragma once
// The two measurement cursors of each plot group in Cursor mode: they sit on stored points of
// the current curve, move point by point or by a search mode, jump between runs, follow clicks
// and typed X or Y values; the other curves of the group show their values at the cursors' X.
#include <array>
#include <cstdint>

#include "platform/win_types.h"

namespace kq5 {

struct CurveRecord;
struct PlotObject;
struct PlotRecord;
struct WindowRecord;

// Search modes (commands of the "Cursor Functions" menu).
inline constexpr int kSearchNext = 18670;
inline constexpr int kSearchPeak = 18671;
inline constexpr int kSearchValley = 18672;
inline constexpr int kSearchHigh = 18673;
inline constexpr int kSearchLow = 18674;
inline constexpr int kSearchInflection = 18675;
inline constexpr int kSearchGlobalHigh = 18676;
inline constexpr int kSearchGlobalLow = 18677;
// Step directions of the cursor step commands.
inline constexpr int kStepLeft = 760;
inline constexpr int kStepRight = 761;
inline constexpr int kStepNextRun = 762;
inline constexpr int kStepPreviousRun = 763;
// Tag and align commands.
inline constexpr int kCommandGoToX = 17182;
inline constexpr int kCommandGoToY = 17183;
inline constexpr int kCommandTagLeft = 17184;
inline constexpr int kCommandTagRight = 17185;
inline constexpr int kCommandTagHorizontal = 17186;
inline constexpr int kCommandTagVertical = 17187;
inline constexpr int kCommandAlignCursors = 17188;

// The analysis window's cursor table can be lent to another window (a 3-D window) whose cursor
// values then stand in one of its curves; the curve's own values are kept to be given back.
struct CursorTableLoan {
    WindowRecord* owner = nullptr;     // null: the table shows the analysis window's own cursors
    WindowRecord* analysis = nullptr;  // the window whose curve holds the lent values
    int curve = -1;
    std::array<double, 2> x{}, y{}, z{};  // the curve's own values while lent
};

struct PlotCursorState {
    int searchMode = kSearchNext;
    int lastMoved = 0;
    bool align = false;
    int selectedRun = 0;
    CursorTableLoan loan;
};
PlotCursorState& PlotCursors();
void ResetPlotCursorsForTests();

// First and last point of run r of the curve (the run being filled ends at the last point).
bool CurveRunBounds(const PlotRecord& plot, const CurveRecord& curve, int run, std::int32_t& first, std::int32_t& last);
// The Y of a curve at x within the run that starts at `first` (log-aware); a digital curve gives
// the state at or before x.
double CurveValueAtX(PlotRecord& plot, const CurveRecord& curve, std::int32_t first, double x);

std::int32_t GetCursorPointIndex(WindowRecord* window, int curve, int k);
void SetCursorPoint(WindowRecord* window, int curve, int k, std::int32_t point);
int GetCursorRun(WindowRecord* window, int curve, int k);
// Places cursor k of curve c at the point (at X x when hasX) and carries its X to the group.
void PlaceCursor(WindowRecord* window, int c, int k, std::int32_t point, bool hasX = false, double x = 0.0);
// The point a search from point p of the curve lands on (-1: p in no run; 0 outside Cursor mode).
std::int32_t FindCursorTarget(WindowRecord* window, std::int32_t point, int curve, int direction, int mode);
void MoveCursorBySearchMode(WindowRecord* window, int k, int direction, int mode);
void MoveCursorAndRedraw(WindowRecord* window, int curve, int k, std::int32_t point, bool hasX = false, double x = 0.0);
void HandleCursorStepCommand(WindowRecord* window, int direction, int k);
int LastMovedCursor();
// Shows the given cursor values (left, right) in curve `curve` of the analysis window on behalf
// of `owner`, and repaints the window; false when the curve does not exist.
bool LendCursorTable(WindowRecord* analysis, WindowRecord* owner, int curve, const std::array<double, 2>& x,
                     const std::array<double, 2>& y, const std::array<double, 2>& z);
// When `owner` holds the table: the curve gets its own values back, the lent marks are erased by
// a repaint and the table has no owner again.
void ReleaseCursorTable(WindowRecord* owner);
WindowRecord* CursorTableOwner();
void InitPlotCursors(WindowRecord* window);
// Walks the run's segments from its first point + start offset (then from its start up to
// there) and places cursor k where the X (or, with yFlag, the Y) value is crossed. 1 placed.
int LocateCursorPointAtPosition(WindowRecord* window, int curve, double value, int k, bool yFlag, int startOffset,
                                int run);

// Marks (XOR, drawn twice they vanish) and readouts of plot group `group` (-1: all).
void DrawCursorMarks(WindowRecord* window, win::HDC dc, int group, bool withReadouts);
void DrawCursorMark(WindowRecord* window, win::HDC dc, int curve, int k);
void DrawCursorTableCaptions(WindowRecord* window, win::HDC dc, int curve);
int FindCurveCaptionAtPoint(WindowRecord* window, int x, int y);
void SelectCurveAtPoint(WindowRecord* window, int x, int y);
void ToggleAlignCursors(WindowRecord* window);
// Go to X (17182) or Y (17183): moves cursor k to the typed value, searching from just after
// the cursor's point. 1 when placed.
int GoToCursorValue(WindowRecord* window, int command, int k, double value);
// A point tag at cursor k of the current curve, holding the cursor's X and Y (its label 20
// pixels below and 40 left of the point); a horizontal (17186) or vertical (17187) measure tag
// between the two cursors. The document is marked modified. Null when none was made.
PlotObject* TagCursorPoint(WindowRecord* window, int k);
PlotObject* TagCursorSpan(WindowRecord* window, int command);
// The Go to X (17182) or Go to Y (17183) dialog, non-modal; switches the window to Cursor mode.
win::HWND OpenGoToDialog(WindowRecord* window, int command);
void ResetGoToDialogForTests();
// The modeless plot dialogs (Go to X and Y, Go To Performance): closing one remembers where it
// stood; an activated one becomes the frame's modeless dialog (FALSE, for the dialog procedure).
void CloseModelessPlotDialog(win::HWND dialog, win::POINT& place, bool& placed);
win::INT_PTR NoteModelessPlotDialogActivation(win::HWND dialog, win::UINT message, win::WPARAM wParam);

}  // namespace kq5
