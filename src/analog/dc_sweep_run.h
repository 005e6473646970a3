#pragma once
// The DC sweep: the value of one independent source (Input 1) goes from an initial to a final
// value and the DC operating point is solved at each value; a second source (Input 2) may be
// stepped in an outer loop, each of its values giving one curve of a family. The step of
// Input 1 adapts so that the first plotted curve moves by about a set fraction of its Y range
// between points.
#include <string>

namespace kq5 {

struct WindowRecord;

inline constexpr int kMsgFailedAtValue = 14192;
inline constexpr int kMsgSweepSourceNotFound = 13530;
inline constexpr int kDefaultDcOptions = 24;

// Where the swept value of an input lives: the present value that the source's load reads
// (the device tables of the solver may be rebuilt by a stepped case, so it is found again
// at every point).
struct SweepSource {
    int list = -3;             // device list of the source, -3 for none
    std::size_t position = 0;  // its position in the list
};

struct DcSweepState {
    // Input 1.
    SweepSource input1;
    double final1 = 0.0;
    double initial1 = 0.0;
    double value1 = 0.0;
    // Input 2.
    bool input2Active = false;
    SweepSource input2;
    std::string input2Name;
    double final2 = 0.0;
    double initial2 = 0.0;
    double step2 = 1.0;
    double value2 = 0.0;
    bool running = false;

    // Step control of the present sweep.
    double userStep = 1.0;  // S
    double step = 0.0;      // h
    double minStep = 0.0;   // hmin
    double maxChange = 0.0; // the fraction of the Y span a step may move the curve
    // The first curve's Y range was automatic when the run began. Each case rescales such a
    // range to the values it drew, which does not make it a range the user gave.
    bool automaticY = false;
    int printPoints = 5;    // rows of the printed-values table (Number of Points, at least 5)
    int pointsAccepted = 0;
    int pointsOutput = 0;
    int retries = 0;
};

DcSweepState& DcSweep();
void ResetDcSweepForTests();

// Once per analysis start: defaults the DC options word (24) and opens the analysis window.
int SetupDcAnalysis();
// The Run command of a DC analysis: 0, 15055, 15056 or another id.
int RunDcSweep();

// One stepping case with the limits read: every Input 2 value with its Input 1 sweep.
// 0 or a message id (14190 for a point that does not converge).
int DcSweepCase(WindowRecord* window);

// |step| capped at range for a positive range; otherwise -|step|, not below range.
double OrientStep(double range, double step);
// The source named by limits field 1 (Input 2) or 3 (Input 1): 0, or 15055 after reporting
// 13530 "Source not found." (nothing when a failure is already pending).
int FindSweepSourceValue(int field, SweepSource& source);
// The present value of a swept source, or null when it has none.
double* SweepSourceValue(const SweepSource& source);
// Refinds both inputs by name when parameter stepping is on (a stepped case may rebuild the
// device records).
void RefreshSweepSourcePointers();
// "%s = %g...%g " or "%s = %g " with the Input 2 name and its values, for stepped DC plots.
std::string FormatSweepCaption(WindowRecord* window, bool wantRange);

}  // namespace kq5
