#pragma once
// What the run loops use of the analysis around them: the key poll between points (Esc stops,
// P pauses, the CPTIME limit), the values of the limits fields of the current analysis kind, the
// run caption and node names.
#include <string>

namespace kq5 {

struct WindowRecord;

// Every period-th call reads the keyboard: Esc closes the current run as a partial run, sets
// the stop flag and answers 27 (which stays pending); P holds the run until P is pressed again
// (Esc then stops it); a run longer than the CPTIME option reports 15048 and stops like Esc.
// Returns the pending key, 27, or 0.
int PollRunKeys(WindowRecord* window, int period);

// The analysis window and its Analysis Limits dialog, through AnalysisWindowServices: opening
// them for a run (0, or a message id) and closing the window. Without them the run goes on
// without a window.
int OpenRunWindow();
int OpenRunLimitsDialog();
void CloseRunWindow();

// Up to three comma-separated values of limits field `field` of the current analysis kind: the
// number of values given, and the values. 0, or the evaluator's message id after reporting it.
int ParseLimitsFieldValues(int field, double& first, double& second, double& third, int& count);

// "Running Transient Analysis." (and the others) in the status bar while it is shown.
void ShowRunningStatus();

// "Temperature = %g " with the temperature of the run.
std::string FormatTemperatureCaption(WindowRecord* window);
// The temperature part of the plot's title: with allRuns, "Temperature = low...high " over the
// runs of a temperature sweep; else (or with one temperature) the temperature of the run the
// cursors stand in, once the run is over, or of the present run.
std::string FormatTemperatureCaption(WindowRecord* window, bool allRuns);

// The short name of an analog or digital node; its number when it has no name.
std::string CopyAnalogNodeName(int node);
std::string CopyDigitalNodeName(int node);

}  // namespace kq5
