#include "analog/run_control.h"

#include <cfenv>
#include <cmath>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "netlist/numeric_helpers.h"
#include "analog/numeric_output.h"
#include "analog/run_data_file.h"
#include "analog/transient_run.h"
#include "ui/frame_state.h"
#include "ui/program_settings.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/expr_math_errors.h"
#include "core/fp_flags.h"
#include "core/file_units.h"
#include "core/timers.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "netlist/spice_reader_state.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "analog/analysis_run_services.h"
#include "analog/analysis_window_services.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"
#include "analog/waveform_runs.h"

namespace kq5 {

namespace {

PlotRecord* AnalysisPlot()
{
    WindowRecord* window = RunControl().analysisWindow;
    if (window && window->plot) return window->plot.get();
    WindowRecord* circuit = RunControl().circuitWindow;
    return circuit && circuit->plot ? circuit->plot.get() : nullptr;
}

void ResetFloatingPoint() { ClearFpFlags(); }

}  // namespace

RunControlState& RunControl()
{
    static RunControlState state;
    return state;
}

void ResetRunControlForTests() { RunControl() = RunControlState{}; }

void SetAnalysisKindHandlers(int kind, AnalysisKindHandlers handlers)
{
    if (kind >= 0 && kind < 3) RunControl().handlers[kind] = std::move(handlers);
}

const AnalysisKindHandlers& AnalysisKindHandlersOf(int kind)
{
    static const AnalysisKindHandlers none;
    return kind >= 0 && kind < 3 ? RunControl().handlers[kind] : none;
}

void ChooseRunDataMode(WindowRecord* window)
{
    RunControlState& rc = RunControl();
    const int kind = Analysis().analysisKind;
    std::uint32_t options = 0;
    if (window && window->plot && kind >= 0 && kind < 3)
        options = static_cast<std::uint32_t>(PlotViewOf(window->plot).optionWord[static_cast<std::size_t>(kind)]);
    rc.runDataMode = static_cast<int>((options & kPlotRunDataMask) >> 8);
    if (rc.probeState == kProbeFullRun) {
        rc.runDataMode = kRunDataSave;
    } else if (rc.probeState == kProbeReplot) {
        rc.runDataMode = rc.retrieveChoice == 1 && kind == kAnalysisAc ? kRunDataNormal : kRunDataRetrieve;
    } else {
        rc.secondModeWord = kind == kAnalysisAc ? 1 : 2;
    }
}

void ReadTemperatureRange(int field)
{
    TemperatureSweep& t = RunControl().temperature;
    double high = 27.0, low = 27.0, step = 0.0;
    int count = 0;
    if (ParseLimitsFieldValues(field, high, low, step, count) != 0 || count == 0) {
        high = low = 27.0;
        step = 0.0;
        count = 1;
    }
    if (count == 1) low = high;
    if (count < 3) step = 0.0;
    if (high < low) high = low;
    if (step <= 0.0) step = high - low;
    t.high = high;
    t.low = low;
    t.step = step;
}

int CheckRunTemperatures(int field)
{
    constexpr double kAbsoluteZero = -273.15;
    constexpr double kTemperatureLimit = 10000.0;
    constexpr int kMsgReported = 15055;
    const TemperatureSweep& t = RunControl().temperature;
    // At absolute zero and below the thermal voltage is not positive: every junction's
    // equations lose their meaning and the run could only fail to converge.
    if (t.low > kAbsoluteZero && t.low >= -kTemperatureLimit && t.high <= kTemperatureLimit) return 0;
    ReportAnalysisFailure(kFocusLimitsField, field, "", kMsgIllegalTemperature);
    return kMsgReported;
}

int BeginAnalysisRun()
{
    RunControlState& rc = RunControl();
    // The stepping and Monte Carlo set-up of each run belongs to those analyses; it is cleared
    // here so that a run never waits on it.
    rc.setupPending = 0;
    rc.running = 1;
    rc.failureReported = 0;
    rc.closeRequest = 0;
    if (!Settings().batchRun) RefreshToolButtonStates();
    if (PlotRecord* plot = AnalysisPlot()) {
        ClearCurveRunMarks(*plot);
        RewindWaveformStore(*plot);
    }
    int result = 0;
    ChooseRunDataMode(rc.circuitWindow);
    ResetRunDataMode();
    rc.analysisFrequency = 0.0;
    Analysis().variables.frequency = 0.0;
    AnalogSolver().stopFlag = 0;
    AnalogSolver().hooks.pollRunKeys = [] { return PollRunKeys(RunControl().analysisWindow, 6); };
    if (result == 0) result = OpenNumericOutputFile();
    // The file that cannot be written is named, not the circuit that was to write it.
    if (result != 0 && result != kMsgAlreadyReported && result != kMsgInsufficientMemory) {
        ReportFileWriteFailure(MakeAnalysisFileName(rc.circuitWindow, "NO"), result);
        result = kMsgAlreadyReported;
    }
    ShowRunningStatus();
    rc.runStartTick = win::GetTickCount();
    return result;
}

void ResetRunState(int& out1, int& out2)
{
    RunControlState& rc = RunControl();
    // An Esc pressed before the run must not stop it, nor a P typed before it (into the circuit's
    // text, say) pause it: both keys are read for their presses during the run only.
    win::GetAsyncKeyState(win::VK_ESCAPE);
    win::GetAsyncKeyState('P');
    if (!Settings().batchRun) rc.runStartTime = rc.runEndTime = GetTimeSeconds();
    TemperatureSweep& t = rc.temperature;
    t.current = t.low - t.step;
    rc.lastKey = 0;
    rc.pendingKey = 0;
    rc.keyPollCounter = 0;
    out1 = out2 = 0;
    t.more = std::fabs(t.current - t.high) >= 0.001 ? 1 : 0;
    if (PlotRecord* plot = AnalysisPlot()) {
        ClearCurveRunMarks(*plot);
        RewindWaveformStore(*plot);
    }
    rc.rescaleRequests = 0;
    rc.closeRequest = 0;
    ResetFloatingPoint();
    ResetMathErrors();
}

int RunStopRequested()
{
    return RunControl().lastKey == kEscapeKey || AnalogSolver().stopFlag != 0 ? 1 : 0;
}

int FinishAnalysisRun(win::HDC dc, int code)
{
    RunControlState& rc = RunControl();
    ResetFloatingPoint();
    PlotRecord* plot = AnalysisPlot();
    if ((code == kMsgInsufficientMemory || rc.failureReported) && plot) {
        FreeWaveformPages(plot->store);
        CloseWaveformFile(plot->store);
    }
    rc.runEndTime = GetTimeSeconds();
    rc.caseResultFlag = 0;
    rc.pauseDisplay = 0;
    const bool completed = code == 0 || code == kMsgStoppedByUser;
    if (code != 0 && code != kMsgStoppedByUser) {
        if (code != kMsgAlreadyReported) ReportLineMessage(rc.analysisWindow ? rc.analysisWindow : rc.circuitWindow, code);
        code = kMsgAlreadyReported;
    }
    if (!Settings().batchRun && rc.probeState == kProbeNone) BeepIfEnabled();
    // A probe replot draws nothing while it runs, and the plots it finished were drawn without
    // their stored curves: the window is painted again now that the probe is idle.
    const bool replotted = rc.probeState == kProbeReplot;
    if (replotted) rc.probeState = kProbeIdle;
    if (replotted && (code == 0 || code == kMsgStoppedByUser) && rc.analysisWindow && rc.analysisWindow->window)
        win::InvalidateRect(rc.analysisWindow->window, nullptr, 1);
    rc.running = 0;
    if (completed && rc.probeState != kProbeFullRun && !Settings().batchRun && rc.analysisWindow && rc.analysisWindow->window) {
        if (const auto& draw = AnalysisWindowServices().drawPlotObjects) draw(rc.analysisWindow);
    }
    if (const auto& recompute = AnalysisWindowServices().recomputeGraph3DWindows) recompute(0);
    // A run given up, in probe mode too, keeps the file of the last whole run: a later probe run
    // or Retrieve would replay the part it saved as if it were the whole run.
    CloseSimulationDataFile(code == 0);
    if (NumericOutputUnit() >= 0) {
        WriteTemperatureWarnings(NumericOutputUnit());
        // A run that failed or was stopped before printing a row keeps the old output whole; one
        // that printed rows keeps what it wrote (the rows up to its failure or its stop).
        CloseNumericOutputUnit(code == 0 || NumericOutput().rowsWritten);
    }
    if (Settings().batchRun || StatusBarShown()) SetStatusText("");
    if (rc.closeAfterRun) {
        rc.closeAfterRun = 0;
        CloseRunWindow();
    }
    // The runs kept decide the commands that make windows of them.
    if (!Settings().batchRun) RefreshToolButtonStates();
    return code;
}

int RunAnalysisTimed(int kind)
{
    const double start = GetTimeSeconds();
    int result = 0;
    if (const auto& store = AnalysisWindowServices().storeFocusedLimitsText) store();
    if (kind >= 0 && kind < 3) {
        const AnalysisKindHandlers& handlers = AnalysisKindHandlersOf(kind);
        if (handlers.run) {
            result = handlers.run();
        } else {
            ReportLineMessage(RunControl().circuitWindow, kMsgRunLoopMissing);
            result = kMsgAlreadyReported;
        }
    }
    if (CurrentDocument()) RunControl().elapsedTime = GetTimeSeconds() - start;
    return result;
}

void RunCurrentAnalysis()
{
    RunControlState& rc = RunControl();
    if (Analysis().analysisKind == kAnalysisNone || rc.paused) return;
    // Probe mode reruns through the probe command, which the probe window owns.
    if (rc.probeState != kProbeNone) return;
    if (!rc.running) RunAnalysisTimed(Analysis().analysisKind);
}

void StopAnalysisRun()
{
    RunControlState& rc = RunControl();
    if (!rc.running || rc.paused) return;
    // The key poll reads the posted Esc; without a frame window it goes to the thread's queue.
    WindowRecord* frame = FrameRecord();
    win::PostMessage(frame ? frame->window : nullptr, win::WM_KEYDOWN, kEscapeKey, 0);
}

void PauseAnalysisRun()
{
    RunControlState& rc = RunControl();
    if (rc.paused) {
        rc.resumeRequest = 1;
        return;
    }
    if (!rc.running) {
        rc.resumeRequest = 0;
        return;
    }
    rc.running = 0;
    rc.paused = 1;
    if (rc.analysisWindow) EndWaveformRun(rc.analysisWindow, false);
    RefreshToolButtonStates();
    win::RunNestedLoop([&] { return rc.closeRequest || rc.resumeRequest; });
    rc.running = 1;
    rc.paused = 0;
    RefreshToolButtonStates();
    // The run closed for the pause goes on.
    if (PlotRecord* plot = AnalysisPlot(); plot && plot->store.runCount > 0) --plot->store.runCount;
    rc.resumeRequest = 0;
    if (rc.closeRequest) CloseRunWindow();
}

void ReportAnalysisFailureArgs(int controlKind, int index, const char* text, int messageId,
                               std::span<const MessageArg> args)
{
    RunControlState& rc = RunControl();
    // The run holds no curves from here on: what the window showed of the last run goes too.
    if (rc.analysisWindow && rc.analysisWindow->window) win::InvalidateRect(rc.analysisWindow->window, nullptr, 1);
    if (rc.failureReported) {
        rc.failureReported = 1;
        if (rc.probeState == kProbeNone) rc.caseResultFlag = 0;
        return;
    }
    rc.failureReported = 1;
    if (PlotRecord* plot = AnalysisPlot()) plot->curveCount = 0;
    // A limits field that cannot be taken is shown with its text, and with the analysis line of
    // the netlist that gave it.
    std::string fieldText = text ? text : "";
    const SourceLocation* statement = nullptr;
    if (controlKind == kFocusLimitsField) {
        if (fieldText.empty()) fieldText = AnalysisLimitsFieldText(index);
        const int kind = Analysis().analysisKind;
        const WindowRecord* circuit = rc.circuitWindow;
        const NetlistReaderState& reader = NetlistReader();
        // The noise fields come from the .NOISE line, the others from the analysis line.
        const bool noise = kind == kAnalysisAc && (index == kLimitNInput || index == kLimitNOutput);
        const SourceLocation* line = noise ? &reader.noiseStatement
                                     : kind >= 0 && kind < 3 ? &reader.analysisStatements[static_cast<std::size_t>(kind)]
                                                             : nullptr;
        if (line && line->line >= 0 && circuit && circuit->kind == kWindowTextCircuit) statement = line;
    }
    std::vector<MessageArg> all;
    all.reserve(args.size() + 7);
    all.emplace_back(FrameRecord());
    all.emplace_back(fieldText);
    if (statement) {
        all.emplace_back("Source:");
        all.emplace_back(statement->source);
        all.emplace_back("Line:");
        all.emplace_back(StrPrintf("%d", statement->line + 1));
    }
    all.emplace_back(messageId);
    all.insert(all.end(), args.begin(), args.end());
    ReportMessageArgs(statement ? "WtMME" : "WtE", all);
    // The open limits dialog points at the text that caused the failure.
    const auto& focus = AnalysisWindowServices().focusLimitsControl;
    if (focus && (controlKind == kFocusLimitsField || controlKind == kFocusExpressionRow)) focus(controlKind, index);
}

std::string AnalysisLimitsFieldText(int field)
{
    const WindowRecord* circuit = RunControl().circuitWindow;
    if (!circuit || !circuit->document || field < 0) return {};
    const AnalysisLimits& limits = circuit->document->limits;
    const auto pick = [field](const auto& texts) {
        return static_cast<std::size_t>(field) < texts.size() ? texts[static_cast<std::size_t>(field)] : std::string();
    };
    switch (Analysis().analysisKind) {
    case kAnalysisTransient: return pick(limits.transient);
    case kAnalysisAc: return pick(limits.ac);
    case kAnalysisDc: return pick(limits.dc);
    default: return {};
    }
}

void ReportAnalysisFailure0(int controlKind, int index, int messageId)
{
    ReportAnalysisFailureArgs(controlKind, index, nullptr, messageId, {});
}

void ReportAnalysisOutOfMemory() { ReportAnalysisFailure0(kFocusNothing, 0, kMsgInsufficientMemory); }

void ClearRunFlags()
{
    RunControlState& rc = RunControl();
    rc.running = rc.paused = rc.resumeRequest = rc.closeRequest = rc.closeAfterRun = 0;
    rc.failureReported = 0;
    rc.lastKey = 0;
    rc.pendingKey = 0;
}

}  // namespace kq5
