#pragma once
// The run plan of an analysis shared by stepping, Monte Carlo, the plot set-up and the windows
// that evaluate stored runs: how many runs each temperature makes, which run is in progress, and
// whether stepping or Monte Carlo varies the circuit between runs.
//
// Runs are numbered temperature-major: every temperature makes runCount cases, and in a DC sweep
// with a second input every case makes one run per Input 2 value. RunRecordIndex is the one
// place that turns a (temperature, case, Input 2 value) position into the number of the stored
// run; the run records, the performance, 3-D and histogram windows and the cursors use it.
#include <cstdint>

namespace kq5 {

// The most runs one analysis may plan (cases per temperature, and all runs together): beyond it
// the store and the statistics would need more memory than a run could ever fill usefully.
inline constexpr std::int64_t kMaxAnalysisRuns = 1000000;
// "More than %d runs in the stepping, temperature and Input 2 settings."
inline constexpr int kMsgTooManyRuns = 13288;

struct AnalysisRunState {
    int runCount = 1;               // runs planned per temperature (at least 1 once set up)
    int runIndex = 0;               // 1-based run in progress; 0 at each new temperature
    bool monteCarloActive = false;
    bool steppingActive = false;
    bool setupFailed = false;       // a set-up check failed: the analysis does not start
    bool stoppedByUser = false;     // the runs of the temperature were stopped with Esc
    int lastRunReached = 0;         // the last run number reached (statistics)
    int actionError = 0;            // the error of the last stepped-value action (0 or 15055)

    // Where the run loop is: the 0-based temperature of the temperature list and Input 2 value
    // of a two-input DC sweep, and how many of each the analysis makes.
    int temperatureIndex = 0;
    int temperatureCount = 1;
    int input2Index = 0;
    int input2Count = 1;
};

AnalysisRunState& RunState();
void ResetRunStateForTests();

// Where a stored run was made.
struct RunPosition {
    int temperatureIndex = 0;
    int caseIndex = 0;  // 0-based case of its temperature (runIndex - 1)
    int input2Index = 0;
};

// The stored run number of a position, with the plan's runCount and input2Count.
std::int64_t RunRecordIndex(const RunPosition& position);
// The inverse: the position of a stored run number.
RunPosition RunPositionOf(std::int64_t runNumber);
// The run being made now (runIndex 0, before the first case, counts as case 0).
std::int64_t CurrentRunRecordIndex();
// Every run the analysis plans: runCount x temperatures x Input 2 values, in 64 bits.
std::int64_t TotalRunCount();

// How many temperatures a temperature list low..high by step makes, and how many values the
// Input 2 sweep initial..final by step makes, counted exactly as the run loops walk them (at
// least 1; a count past kMaxAnalysisRuns stops counting there).
int TemperatureRunCount(double low, double high, double step);
int Input2ValueCount(double initial, double final, double step);

}  // namespace kq5
