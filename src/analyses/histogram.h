#pragma once
// Monte Carlo histograms: one performance function of one stored curve, measured on every run
// of a Monte Carlo analysis, shown in a window of class MonteCarlo (window kind 6) as a list of
// the values, their statistics, the interval settings and a bar chart.
#include <string>
#include <string_view>
#include <vector>

#include "document/analysis_windows.h"
#include "platform/win_types.h"
#include "ui/list_selection.h"

namespace kq5 {

struct WindowRecord;
struct CurveRecord;

inline constexpr int kNewHistogramIntervals = 11;
inline constexpr int kMinHistogramIntervals = 2;
inline constexpr int kMaxHistogramIntervals = 200;

// The interval count in force: a count outside 2..200 (a damaged or hand-edited file) is
// brought into that range.
int HistogramIntervals(const MonteCarloWindowRecord& record);

// The curve of the analysis window that the function measures (found by its expression text,
// case-blind); null when there is none.
CurveRecord* MonteCarloCurve(const MonteCarloWindowRecord& record, WindowRecord* analysisWindow);

// Measures the function on the runs of the record's block (runs b·RunCount to b·RunCount +
// RunCount - 1, cut at the runs stored); the values, their run numbers and the display scale.
// Nothing is measured unless Monte Carlo runs are active.
void ComputeMonteCarloValues(MonteCarloWindowRecord& record, WindowRecord* analysisWindow);

// "%s(%s,%s%s)": the function, the curve, the condition and the arguments; with a temperature
// list, ": Temperature=%s" and the temperature text follow.
std::string MonteCarloFunctionTitle(const MonteCarloWindowRecord& record, const std::string& temperatureText = {});
// The temperature whose runs the record measures (0-based in the temperature list, kept within
// the list of the present analysis) and its text; the text is empty without a temperature list.
int MonteCarloTemperatureBlock(const MonteCarloWindowRecord& record);
std::string MonteCarloTemperatureText(int block, WindowRecord* analysisWindow);

// A value as the window shows it: times the display scale with the window's format, then the
// scale suffix, trimmed.
std::string FormatMonteCarloValue(const MonteCarloWindowRecord& record, double value);

// The histogram as drawn: Low and High settled (from the values when the record asks for it,
// else from the texts, within the values' range), the counts of the intervals and the share of
// the values they hold.
struct HistogramBars {
    int intervals = 0;
    double low = 0.0;
    double high = 0.0;
    double width = 0.0;            // of one interval
    std::vector<int> counts;       // intervals + 2 entries; interval m holds values just above High
    double top = 0.0;              // the vertical scale's top as a share (tenths)
    double percentDisplayed = 0.0; // of the values that fall into the intervals
    bool drawBars = false;
};
HistogramBars SettleHistogram(MonteCarloWindowRecord& record, int plotHeight);

// The Intervals edit: a count from 2 to 200 (engineering suffixes allowed) replaces the one in
// force; false leaves it.
bool SetHistogramIntervalsText(MonteCarloWindowRecord& record, std::string_view text);
// The Low and High edits: true when the text differs from the current value's text (the
// window then redraws).
bool SetHistogramRangeText(MonteCarloWindowRecord& record, bool high, std::string_view text);

// The window class and the windows.
int RegisterMonteCarloClass();
void UnregisterMonteCarloClass();
// Makes the window of a record (not computed). Null when it cannot be made.
WindowRecord* NewMonteCarloWindow(MonteCarloWindowRecord& record);
// "&Add Histogram...": its popup lists the functions as it opens.
inline constexpr int kAddHistogramCommand = 17157;
// The Monte Carlo popup as it opens: one entry per function of the current analysis kind
// (checked while its window is shown).
void RebuildMonteCarloMenu(win::HMENU popup);
// Opens the index-th function's window when closed, recomputes and activates it.
void ShowMonteCarloWindow(int index);
// Recomputes the values of each (visible) Monte Carlo window and redraws it.
void RecomputeMonteCarloWindows(bool onlyVisible);
void CloseMonteCarloWindows();
void FreeMonteCarloFunction(MonteCarloWindowRecord& record);
// Paints the histogram of the window into the rectangle.
void DrawMonteCarloWindow(WindowRecord* window, win::HDC dc, const win::RECT& rect);

// The look of a new window: the font and colours of the analysis plot's settings (the program's
// own when the plot has none). Bars take the current curve's colour.
void TakePlotLook(MonteCarloWindowRecord& record, WindowRecord* analysisWindow);


// The record of a Monte Carlo window; null for any other window.
MonteCarloWindowRecord* MonteCarloRecordOf(WindowRecord* window);

// Commands: 17157 Add Histogram, 17163 Change Histogram, 17181 Delete Histograms, 17160
// Statistics. 0 when handled.
int NewMonteCarloFunction();
int ChangeMonteCarloFunction(WindowRecord* window);
int DeleteMonteCarloWindowsDialog();
// Deletes the functions at the indices (of the current kind's list), the last first.
void DeleteMonteCarloFunctions(std::vector<int> indices);

}  // namespace kq5
