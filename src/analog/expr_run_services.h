#pragma once
// The expression services that the run loops call with the plot of an analysis, or with its
// analysis window: the state cells of the curves' expressions, the STP and IMPULSE instants as
// time breakpoints, and the report of the difference functions after a run.
#include <string_view>

namespace kq5 {

struct PlotRecord;
struct WindowRecord;

// The state cells of every curve of the plot with state (see UpdateExpressionStates of one
// expression); the same for the plot of an analysis window (nothing when it has none).
void UpdateExpressionStates(PlotRecord& plot, bool runStart);
void UpdateExpressionStates(WindowRecord* window, bool runStart);

// Before a transient run: the switching time of every STP and the start, peak and end of
// every IMPULSE in the plot's curves and the devices' expressions become time breakpoints.
// 0, or the failure of the breakpoint insertion that ended the scan.
int AddStepBreakpoints(PlotRecord* plot);
int AddStepBreakpoints(WindowRecord* window);

// After a run: for every curve whose expression uses DIFA or DIFD, marks the points of the
// last run where the difference persisted (its value is set and either was set at the point
// before or the step from that point is not below the difference's tolerance), stores 1 there
// and 0 elsewhere, sets the run's difference flag, and when the numeric output file is open
// writes one line per marked point. Returns the number of marked points.
int ReportDifferenceErrors(PlotRecord& plot, std::string_view circuitName);
// The same for the plot of an analysis window, named by its circuit.
int ReportDifferenceErrors(WindowRecord* window);

}  // namespace kq5
