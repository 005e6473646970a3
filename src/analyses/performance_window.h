#pragma once
// Performance windows: MDI children of class "Performance" that plot performance functions of
// the analysis window's curves, one point per stored run, against the runs' temperature,
// Monte Carlo case or stepped value. The document keeps their records per analysis kind; a
// window can be hidden (its record stays) and shown again from the menu.
#include <string>

#include "document/analysis_windows.h"
#include "analyses/run_subset.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr const char* kPerformanceClassName = "Performance";

// Commands.
inline constexpr int kCmdAddPerformanceWindow = 14570;
inline constexpr int kCmdChangePerformanceWindow = 14571;
inline constexpr int kCmdDeletePerformanceWindow = 14572;
inline constexpr int kCmdFirstPerformanceWindow = 14573;
inline constexpr int kCmdLastPerformanceWindow = 14582;
inline constexpr int kCmdHidePerformanceWindow = 14585;
inline constexpr int kCmdAddPerformancePlot = 24;
inline constexpr int kCmdDeletePerformancePlot = 25;
inline constexpr int kPerformancePlotTemplate = 14571;
inline constexpr int kCommandGoToPerformance = 17190;

bool RegisterPerformanceClass();
void UnregisterPerformanceClass();
win::LRESULT PerformanceWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// The list of the current document for the current analysis kind; null without either.
LinkedList* PerformanceWindowList();
// The record of an open performance window; null for any other window.
PerformanceWindowRecord* PerformanceRecordOf(WindowRecord* window);

// The commands; each returns 0, or 15055 after reporting.
int AddPerformanceWindow();
int ChangePerformanceWindow(WindowRecord* window);
int DeletePerformanceWindows();
int ShowPerformanceWindow(int index);
int AddPerformancePlot(WindowRecord* window);
int DeletePerformancePlots(WindowRecord* window);
void HidePerformanceWindow(WindowRecord* window);
// The frame's "&Performance Windows" popup as it opens: one entry per window of the current
// analysis kind (checked while shown).
void RebuildPerformanceMenu(win::HMENU popup);
// Whether a performance-window command applies here (the others belong to other windows).
bool IsPerformanceCommand(int id);
int RunPerformanceCommand(WindowRecord* active, int id);

// Rebuilds and draws every point of one window (dc: the window's own when none).
void PreparePlotPoints(WindowRecord* window, win::HDC dc = nullptr);
// Every open performance window (or only the visible ones) prepares its points again.
void RecomputePerformanceWindows(bool onlyVisible);
// The analysis window is closing: every performance window is hidden.
void HideAllPerformanceWindows();
// Removes function record `index`, preparing the points again when asked.
void RemovePerformanceFunctionRecord(WindowRecord* window, int index, bool prepare);

// The name of an axis source in titles and lists.
std::string AxisSourceName(int source);
// "Blank", or "<function> vs <X source>" with the fixed run values as a caption.
std::string FormatPerformancePlotTitle(const PerformanceWindowRecord& record, const RunPlan& plan,
                                       const WaveformStore* store);
// The X axis source a new record takes from the plan: temperature, else case, else the first
// stepped slot.
int DefaultAxisSource(const RunPlan& plan);

// The "Add Performance Plot" / "Change Performance Plot" dialog for the window's record;
// `function` is the record the function panel edits. 1 OK, 0 Cancel.
int OpenPerformancePlotDialog(WindowRecord* window, int function, bool adding);

// "Go To Performance" (non-modal): the cursors of the window's current curve go to the points
// a performance function finds; switches the window to Cursor mode.
win::HWND OpenGoToPerformanceDialog(WindowRecord* window);
void ResetGoToPerformanceForTests();

}  // namespace kq5
