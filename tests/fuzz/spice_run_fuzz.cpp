// The SPICE reader, the build and the run after it, as a batch line runs a circuit: a text
// circuit window holds the input as its netlist, and the analysis chosen by the input's length
// (transient, AC or DC, so that the seeds stay plain netlists) is started and run. A run is
// stopped after two seconds of processor time, as the user's Esc would stop it, so that long
// analyses stay bounded (on the virtual timer: libFuzzer's own time-out takes the real one).
#include <sys/time.h>

#include <csignal>
#include <memory>

#include "analog/analog_state.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "ui/program_settings.h"
#include "document/text_editor.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "fuzz_support.h"
#include "results/curve_record.h"
#include "plots/plot_setup.h"

using namespace kq5;

namespace {

void StopRun(int) { AnalogSolver().stopFlag = 1; }

void ArmRunLimit(long seconds)
{
    itimerval limit{};
    limit.it_value.tv_sec = seconds;
    ::setitimer(ITIMER_VIRTUAL, &limit, nullptr);
}

void ResetRunWorld()
{
    ResetRunControlForTests();
    ResetRunServicesForTests();
    ResetPlotRunForTests();
    ResetTextEditorsForTests();
    ResetNumericOutputForTests();
    ResetAnalogSolverStateForTests();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool installed = [] {
        std::signal(SIGVTALRM, StopRun);
        return true;
    }();
    (void)installed;
    fuzz::ResetFuzzWorld();
    ResetRunWorld();
    InstallAnalysisKindHandlers();
    Settings().batchRun = true;
    const std::string text(fuzz::AsText(data, size));
    WindowRecord* record = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    record->plot = std::make_shared<PlotRecord>();
    record->title = fuzz::WriteScratchFile("circuit.cir", text);
    record->textArea = text;
    SetCurrentDocument(record);
    const int kind = static_cast<int>(size % 3);
    if (RunAnalysisCommand(record, kind) == 0) {
        ArmRunLimit(2);
        RunAnalysisTimed(kind);
        ArmRunLimit(0);
    }
    ExitAnalysis();
    ResetRunWorld();
    fuzz::ResetFuzzWorld();
    return 0;
}
