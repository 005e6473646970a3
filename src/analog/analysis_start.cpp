#include "analog/analysis_start.h"

#include <cfenv>

#include "analog/ac_run.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "analog/convergence.h"
#include "analog/dc_sweep_run.h"
#include "analog/device_dispatch_tables.h"
#include "analog/device_run_services.h"
#include "analog/model_layers.h"
#include "analog/numeric_output.h"
#include "core/file_units.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "analog/statistics.h"
#include "analog/transient_run.h"
#include "results/run_state.h"
#include "document/stepping_rows.h"
#include "document/text_editor.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/fp_flags.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "document/circuit_document.h"
#include "netlist/circuit_build.h"
#include "netlist/model_statements.h"
#include "netlist/spice_analysis_commands.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "analog/analysis_run_services.h"
#include "analog/analysis_window_services.h"
#include "results/plot_record_flags.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr double kNominalTemperature = 27.0;
constexpr int kNoticeTextItem = 100;

void ResetFloatingPoint() { ClearFpFlags(); }

int RunKindSetup(int kind)
{
    const AnalysisKindHandlers& handlers = AnalysisKindHandlersOf(kind);
    if (!handlers.setup) {
        ReportLineMessage(RunControl().circuitWindow, kMsgRunLoopMissing);
        return kMsgAlreadyReported;
    }
    if (const int result = OpenRunWindow(); result != 0) return result;
    if (const int result = handlers.setup(); result != 0) return result;
    // The Analysis Limits dialog fills the empty rows when it opens; a run without the dialog
    // (a batch job) needs them filled all the same.
    if (const auto& fill = AnalysisWindowServices().fillDefaultLimitsRows) fill(RunControl().circuitWindow);
    return 0;
}

void ShowWarningsNotice()
{
    if (Settings().demoRunning || Settings().batchRun) return;
    std::string text = LoadResString(kMsgCheckNumericOutput);
    if (text.size() > 200) text.resize(200);
    WindowRecord* frame = FrameRecord();
    win::DialogBoxParam(nullptr, kNoticeDialog, frame ? frame->window : nullptr, TimedNoticeDlgProc,
                        reinterpret_cast<win::LPARAM>(text.c_str()));
}

void SetCircuitTextReadOnly(WindowRecord* circuit, bool readOnly)
{
    if (circuit && IsLiveWindowRecord(circuit) && circuit->document && circuit->document->textAreaWindow)
        SetEditorReadOnly(circuit->document->textAreaWindow, readOnly);
}

// A text circuit states its limits in its own analysis lines: what the user changed in the
// Analysis Limits dialog is written there, or the next analysis would read the old lines again.
void WriteBackTextLimits(WindowRecord* circuit)
{
    if (!circuit || circuit->kind != kWindowTextCircuit || !circuit->plot) return;
    std::uint32_t& flags = PlotFlagsOf(circuit->plot).flagWord;
    if ((flags & kPlotLimitsEdited) == 0) return;
    flags &= ~kPlotLimitsEdited;
    // The lines now state the limits the runs of this analysis used: its run data still fits.
    const auto stale = circuit->document ? circuit->document->runStale : decltype(circuit->document->runStale){};
    UpdateTextAnalysisCommands(circuit);
    if (circuit->document) circuit->document->runStale = stale;
}

}  // namespace

int NumberDevices()
{
    const int n = NumberDeviceRows(CircuitBuild().lastBuildNodeCounts[0]);
    return n < 0 ? 0 : n;
}

int BuildCircuitForAnalysis()
{
    RunControlState& rc = RunControl();
    rc.barsHidden = 0;
    if (Settings().batchRun) rc.runStartTime = GetTimeSeconds();
    AnalogSolver().useInitialConditions = 0;
    const int result = BuildCircuitWithRenames(kBuildForAnalysis);
    rc.setupPending = 0;
    rc.buildResult = result;
    if (result != 0) return result;
    rc.barsHidden = 1;
    if (rc.circuitWindow) rc.circuitWindow->markRect = win::RECT{-1, -1, -1, -1};
    // The runs use the circuit as it was built: its text takes no edits until the analysis ends.
    SetCircuitTextReadOnly(rc.circuitWindow, true);
    return 0;
}

int StartAnalysis(int kind)
{
    RunControlState& rc = RunControl();
    const double setupStart = GetTimeSeconds();
    ResetFloatingPoint();
    CloseNumericOutputUnit();
    // A circuit window closed since the last analysis leaves no record to run.
    if (!rc.circuitWindow || !IsLiveWindowRecord(rc.circuitWindow)) rc.circuitWindow = CurrentRecord();
    rc.runStarted = 1;
    if (rc.probeFlag) rc.probeState = kProbeFullRun;
    Analysis().analysisKind = static_cast<AnalysisKind>(kind);
    AnalogSolver().runPhase = kPhaseOperatingPoint;
    AnalogSolver().runKind = 1;
    rc.temperature.more = 0;
    // The last analysis's runs and stepped targets went with its circuit.
    RunState() = AnalysisRunState{};
    ClearSteppingRows();

    int result = BuildCircuitForAnalysis();
    if (result == 0) {
        AnalogSolver().order = 1;
        OpenNumericOutputFile();
        if (DeviceServices().setCircuitTemperature)
            result = DeviceServices().setCircuitTemperature(kNominalTemperature);
        if (result == 0 && (kind == kAnalysisAc || kind == kAnalysisDc) && rc.probeState != kProbeNone)
            AnalogSolver().unknownCount = NumberDevices();
        if (result == 0 && kind == kAnalysisTransient) result = PrepareAnalogSolver(true, AnalogSolver().operatingPointSet);
        if (result == 0) {
            // A stepping error is reported and refuses the runs; the analysis stays open so that
            // the Stepping dialog can mend the settings.
            RestoreNominalModelParams();
            if (const auto& prepare = AnalysisWindowServices().prepareStepping) prepare();
        }
        if (result == 0) result = RunKindSetup(kind);
    }
    // The model warnings of the build go into the numeric output whether the run starts or
    // not: they may be what made it fail.
    if (!Models().deferredWarnings.empty() && rc.probeState == kProbeNone && NumericOutputUnit() >= 0) {
        WriteOutputHeader(rc.circuitWindow);
        WriteDeferredWarnings(NumericOutputUnit());
        ShowWarningsNotice();
    }
    if (result != 0) {
        WindowRecord* circuit = rc.circuitWindow;
        EndAnalysis(1);
        CloseRunWindow();
        rc.circuitWindow = nullptr;
        ReportLineMessage(circuit, result);
        result = kMsgAlreadyReported;
    }
    // The file written so far replaces the old output only when it holds something (the
    // warnings); an empty start keeps the old output until a run completes a new one. In a batch
    // run the run follows at once and writes the warnings again at the top of its own output, so
    // the old output stays until that run is complete.
    const FileUnit* output = GetFileUnit(NumericOutputUnit());
    const bool runFollows = Settings().batchRun && result == 0;
    CloseNumericOutputUnit(!runFollows && output != nullptr && output->stream && std::ftell(output->stream.get()) > 0);
    LastSetupSeconds() = GetTimeSeconds() - setupStart;
    return result;
}

void EndAnalysis(int keepOutput)
{
    RunControlState& rc = RunControl();
    const int kind = Analysis().analysisKind;
    const AnalysisWindowServicesState& services = AnalysisWindowServices();
    // The dialogs that edit the analysis go with it.
    if (services.closeStateVariablesEditor) services.closeStateVariablesEditor();
    if (services.closeLimitsDialog) services.closeLimitsDialog();
    if (rc.circuitWindow && rc.circuitWindow->plot) ResetWaveformStore(*rc.circuitWindow->plot);
    SetCircuitTextReadOnly(rc.circuitWindow, false);
    if (const AnalysisKindHandlers& handlers = AnalysisKindHandlersOf(kind); handlers.end) handlers.end();
    if (keepOutput == 0) WriteBackTextLimits(rc.circuitWindow);
    CloseSimulationDataFile();
    CloseNumericOutputUnit();
    // An analysis that wrote nothing leaves no numeric output file behind.
    if (rc.circuitWindow) RemoveEmptyNumericOutput(rc.circuitWindow);
    FreeAnalogRunData();
    if (services.freeMonteCarloData) services.freeMonteCarloData();
    rc.probeState = kProbeNone;
    // The run options of this analysis end with it: the next analysis (of another circuit, or a
    // probe run) must not read this one's state variables file while it sets up its solver.
    TransientRun().stateVariables = kStateVariablesZero;
    Analysis().analysisKind = kAnalysisNone;
    ClearSteppingRows();
    if (services.freeMonteCarloData) services.freeMonteCarloData();
    ClearRunFlags();
    if (rc.circuitWindow) rc.circuitWindow->markRect = win::RECT{-1, -1, -1, -1};
    // The schematic hides its selection while an analysis is open: a part that the run's
    // failure selected shows now.
    if (rc.circuitWindow && rc.circuitWindow->window) win::InvalidateRect(rc.circuitWindow->window, nullptr, 1);
    rc.barsHidden = 0;
    // keepOutput 0 would also show the numeric output to the user; that view belongs to the
    // analysis window, so the file is only kept (or removed when empty) here.
}

void ExitAnalysis()
{
    RunControlState& rc = RunControl();
    if (Analysis().analysisKind != kAnalysisNone) EndAnalysis(0);
    CloseRunWindow();
    rc.circuitWindow = nullptr;
}

int RunAnalysisCommand(WindowRecord* circuit, int kind)
{
    if (!circuit || !circuit->document) return 0;
    if (Analysis().analysisKind != kAnalysisNone) ExitAnalysis();
    SetCurrentDocument(circuit);
    RunControl().circuitWindow = circuit;
    const int result = StartAnalysis(kind);
    const auto& probe = AnalysisWindowServices().startProbeRun;
    if (result == 0 && RunControl().probeFlag && probe) return probe();
    return result;
}

win::INT_PTR TimedNoticeDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (message) {
    case win::WM_INITDIALOG:
        win::SetDlgItemText(dialog, kNoticeTextItem, reinterpret_cast<const char*>(lParam));
        win::SetTimer(dialog, kNoticeTimer, 1000, nullptr);
        return 1;
    case win::WM_COMMAND:
        if ((wParam & 0xFFFF) != 1 && (wParam & 0xFFFF) != 2) return 0;
        [[fallthrough]];
    case win::WM_TIMER:
        win::KillTimer(dialog, kNoticeTimer);
        win::EndDialog(dialog, 1);
        return 1;
    default: return 0;
    }
}

}  // namespace kq5
