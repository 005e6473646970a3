#include "analog/waveform_runs.h"

#include "analog/run_control.h"
#include "core/analysis_state.h"
#include "core/message_reporter.h"
#include "document/stepping_rows.h"
#include "results/run_state.h"
#include "results/waveform_store.h"
#include "ui/window_record.h"

namespace kq5 {

int CreateWaveformStore(WindowRecord* window, bool printedOnly)
{
    if (!window || !window->plot) return 0;
    const AnalysisRunState& runs = RunState();
    const int maxRuns = PlannedRunCount({runs.runCount, runs.temperatureCount, runs.input2Count});
    if (maxRuns == 0) {
        // Temperatures and Input 2 values on top of the cases: refused like too many cases.
        ReportAnalysisFailure(kFocusNothing, 0, "", kMsgTooManyRuns, static_cast<int>(kMaxAnalysisRuns));
        return kMsgAlreadyReported;
    }
    const int result =
        CreateWaveformStore(*window->plot, window->kind, Analysis().analysisKind, maxRuns, printedOnly && maxRuns == 1);
    if (result == kMsgInsufficientMemory) ReportAnalysisOutOfMemory();
    return result;
}

void EndWaveformRun(WindowRecord* window, bool keepRun)
{
    if (!window || !window->plot) return;
    RunRecord record;
    record.caseNumber = RunState().runIndex;
    record.temperature = Analysis().variables.temp;
    record.secondSweepValue = RunControl().input2Value;
    record.steppedValues = CaseSteppedValues();
    EndWaveformRun(*window->plot, keepRun, record);
}

void InstallWaveformStoreHooks()
{
    StoreHooks().stopProbeRun = [] {
        if (RunControl().probeState == 0) return false;
        RunControl().lastKey = kEscapeKey;
        return true;
    };
}

}  // namespace kq5
