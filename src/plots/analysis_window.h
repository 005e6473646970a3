#pragma once
// The analysis window: the MDI child of class "analysis" in which a transient, AC or DC analysis
// shows its plots. It shares the plot of the circuit window it analyses; at most one exists.
// Batch runs open it too (on the headless surface), so that printing it has one code path.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr const char* kAnalysisClassName = "analysis";

// Makes the analysis window's record for the current circuit, sharing the circuit's plot (an
// existing one is kept). 0, or 15002.
int OpenAnalysisWindow();
// Frees the analysis window's record; the plot stays with the circuit.
void CloseAnalysisWindow();
// Gives the kernel the analysis window, its dialogs and its curve readouts
// (AnalysisWindowServices).
void InstallAnalysisWindowServices();

bool RegisterAnalysisClass();
void UnregisterAnalysisClass();
win::LRESULT AnalysisWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// What every plot window (analysis, performance) does alike: the default procedure of an MDI
// child or a lone window, painting its plot, whether the mouse is ignored (a run, no curves),
// and passing mouse moves and left-button messages to the shared plot handlers (true when the
// message was one of them).
win::LRESULT PlotWindowDefaultProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
void PaintPlotWindow(win::HWND hwnd);
bool PlotMouseIgnored(const WindowRecord* record);
bool ForwardPlotMouseMessage(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

// The frame's menu bar while the analysis window exists (analysis kind 0 to 2), and back.
void SwapAnalysisMenus(int kind);
void RestoreCircuitMenus();

// The window of the current analysis record, null when it has none.
win::HWND AnalysisWindowHandle();
// The probe state of the run (1 and 3 draw neither stored curves nor title lines).
int AnalysisProbeState();

// (reference Y span / current Y span of curve c, 1 for c < 0) times the drawing surface height
// over the usable screen height; at most 3 on a display; never 0.
double ComputePlotScaleFactor(WindowRecord* window, win::HDC dc, int curveIndex);
// The plot font again at the present scale (restore: from the plot's text font first).
void RecreatePlotFont(WindowRecord* window, win::HDC dc, bool restore);
// The plot font at the present size of its description, for the DC (the layout's shrink step).
void RemakePlotFont(WindowRecord* window, win::HDC dc);
// A double click on the plot: an object under the point opens its editor; otherwise in probe mode
// a popup offers Add Plot (and, with probe plots, Characteristics and Delete Plot), and outside it
// the Characteristics dialog opens when the plot has a curve.
void OnPlotDoubleClick(WindowRecord* record, unsigned keyFlags, int x, int y);
// Deletes the plot font and forgets the window's drawing objects.
void ReleasePlotWindowObjects(WindowRecord* window);

}  // namespace kq5
