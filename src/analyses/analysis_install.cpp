#include "analyses/analysis_install.h"

#include "analog/ac_run.h"
#include "analog/convergence.h"
#include "analog/waveform_runs.h"
#include "netlist/circuit_build.h"
#include "analog/analysis_window_services.h"
#include "analog/dc_sweep_run.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "analyses/graph3d_window.h"
#include "analyses/histogram.h"
#include "analyses/monte_carlo.h"
#include "analyses/performance_window.h"
#include "analyses/stepping.h"
#include "core/analysis_state.h"
#include "digital/digital_engine.h"
#include "plots/analysis_window.h"
#include "plots/curve_evaluation.h"
#include "plots/dsp_pass.h"
#include "plots/user_waveform.h"
#include "results/waveform_store.h"

namespace kq5 {

void InstallAnalysisKindHandlers()
{
    AnalysisKindHandlers transient;
    transient.setup = [] { return SetupTransientAnalysis(); };
    transient.run = [] { return TransientAnalysisRun(RunControl().analysisWindow); };
    transient.end = [] { FreeTransientRunTables(); };
    SetAnalysisKindHandlers(kAnalysisTransient, std::move(transient));
    AnalysisKindHandlers ac;
    ac.setup = [] { return SetupAcAnalysis(); };
    ac.run = [] { return AcAnalysisRun(); };
    ac.end = [] { FreeAcRunTables(); };
    SetAnalysisKindHandlers(kAnalysisAc, std::move(ac));
    AnalysisKindHandlers dc;
    dc.setup = [] { return SetupDcAnalysis(); };
    dc.run = [] { return RunDcSweep(); };
    SetAnalysisKindHandlers(kAnalysisDc, std::move(dc));

    // The digital set-up of every build and the digital operating point.
    InstallDigitalSimulator();
    CircuitBuild().freeRunData = [] { FreeAnalogRunData(); };
    InstallWaveformStoreHooks();

    // The curves of each run, the numeric output, the run data flush and the end of a case in
    // the waveform store.
    InstallPlotRunServices();
    InstallSteppingRunServices();
    InstallAnalysisWindowServices();
    AnalysisWindowServices().freeMonteCarloData = [] {
        FreeGaussianPopulation();
        FreeReportWhenExpression();
    };
    AnalysisRunServices& services = RunServices();
    services.writeOperatingPointReport = [] {
        WriteRunOutput(RunControl().analysisWindow, 1);
        return 0;
    };
    services.writePrintedValues = [](int points, bool complete) {
        // A case that failed before computing a point has nothing to print.
        if (!complete && !HasPrintedPoints(RunControl().analysisWindow)) return 0;
        // A case without an operating point report has written no header and caption yet.
        if (!NumericOutput().captionWritten) WriteRunOutput(RunControl().analysisWindow, 0);
        WritePrintedValues(RunControl().analysisWindow, points, complete);
        NumericOutput().captionWritten = false;
        return 0;
    };
    services.endCase = [](WindowRecord* window) {
        FlushPendingRunDataPoint();
        EndWaveformRun(window, false);
        ComputeDspCurves(window);
        WriteUserWaveformFile(window);
        FinishPlotCase(window);
        CheckMonteCarloFailure();
        // The performance, histogram and 3-D windows on screen grow run by run.
        RecomputePerformanceWindows(true);
        RecomputeMonteCarloWindows(true);
        RecomputeGraph3DWindows(1);
    };
}

}  // namespace kq5
