#pragma once
// The run plan of an analysis shared by stepping, Monte Carlo, the plot set-up and the windows
// that evaluate stored runs: how many runs each temperature makes, which run is in progress, and
// whether stepping or Monte Carlo varies the circuit between runs.
#include <cstdint>

namespace kq5 {

struct AnalysisRunState {
    int runCount = 1;               // runs planned per temperature (at least 1 once set up)
    int runIndex = 0;               // 1-based run in progress; 0 at each new temperature
    bool monteCarloActive = false;
    bool steppingActive = false;
    bool setupFailed = false;       // a set-up check failed: the analysis does not start
    bool stoppedByUser = false;     // the runs of the temperature were stopped with Esc
    int lastRunReached = 0;         // the last run number reached (statistics)
    int actionError = 0;            // the error of the last stepped-value action (0 or 15055)
};

AnalysisRunState& RunState();
void ResetRunStateForTests();

}  // namespace kq5
