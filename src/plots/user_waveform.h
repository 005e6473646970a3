#pragma once
// User waveform files: a transient run keeps the points of the curves whose limits rows carry the
// user file flag and writes them, at the end of the run, into the circuit's ".USR" file; at the
// start of an analysis every user source reads its curve back from such a file.
//
// The file (lines ended by a line feed): "Version=1", the point count, the curve count, then per
// curve its Y expression and the point pairs, X and Y a line each. Older files hold one curve of
// Y values only, after an optional point count line.
#include <string>
#include <vector>

namespace kq5 {

struct WindowRecord;
struct CurveRecord;

// One saved curve of the run: the curve's index in the plot and its point history.
struct SavedUserCurve {
    int curveIndex = 0;
    std::vector<double> x;
    std::vector<double> y;
};

struct UserWaveformState {
    int capacity = 0;  // points each history has room for, shared by all saved curves
    std::vector<SavedUserCurve> curves;
};
UserWaveformState& UserWaveforms();
void ResetUserWaveformsForTests();

// Forgets the saved curves of the last run set-up.
void ResetUserWaveformCurves();

// Enters the window's curve (made for limits row rowIndex) as saved: its X must be the time
// alone (13548) and its Y analog (13546). Failures are reported as analysis failures; 0 or 15055.
int AddUserWaveformCurve(WindowRecord* window, int rowIndex, int curveIndex);

// After each accepted transient point: stores every saved curve's present X and Y at the run's
// accepted point count, growing the histories as needed. 0, or 15055 after reporting 15002.
int AppendUserWaveformPoints(WindowRecord* window);

// At the end of a transient run: writes the circuit's user waveform file when a curve is saved.
// 0, or the file error (reported).
int WriteUserWaveformFile(WindowRecord* window);
// The writer itself: the given expressions and histories, n points each.
int WriteUserWaveformText(const std::string& path, const std::vector<std::string>& names,
                          const std::vector<const SavedUserCurve*>& curves, int n);

// The points a user source replays.
struct UserSourcePoints {
    std::vector<double> x;
    std::vector<double> y;
};

// Reads the curve named expression (the first curve when it is empty) from the file; the X of an
// older file spreads evenly over firstTime .. finalTime. 0, a file error, or 15055 after a
// reported failure (13547 when no curve has the name).
int ReadUserWaveformFile(const std::string& path, const std::string& expression, double firstTime,
                         double finalTime, UserSourcePoints& points);

// At the start of an analysis: every user source reads its file (its FILE with the extension
// "USR", looked for beside the circuit, then along the data path). The first failure is
// reported and returned.
int LoadUserSourceData();

}  // namespace kq5
