#pragma once
// Run control of an analysis: the flags of the run in progress, the prologue and epilogue that
// every run loop calls, the Run, Stop and Pause commands, the timing of a run, the temperature
// sweep read from the limits, the Save/Retrieve mode of a run, and the one-per-run report of a
// run failure.
#include <cstdint>
#include <functional>
#include <utility>

#include "core/message_reporter.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

inline constexpr int kEscapeKey = 27;

// Probe states of the document.
inline constexpr int kProbeNone = 0;
inline constexpr int kProbeFullRun = 1;
inline constexpr int kProbeReplot = 3;
inline constexpr int kProbeNewRun = 4;
inline constexpr int kProbeIdle = 5;

// Run data modes.
inline constexpr int kRunDataNormal = 0;
inline constexpr int kRunDataSave = 1;
inline constexpr int kRunDataRetrieve = 2;

// Control kinds of a failure report: which control of the limits dialog gets the focus.
inline constexpr int kFocusLimitsField = 1;
inline constexpr int kFocusExpressionRow = 2;
inline constexpr int kFocusNothing = 3;

inline constexpr int kMsgCptimeExceeded = 15048;
inline constexpr int kMsgRunLoopMissing = 13374;

// The run loops of an analysis kind: the set-up at analysis start (which opens the analysis
// window and the limits), one run per Run command, and the end of the kind's run state when the
// analysis ends. The analyses install them at start-up.
struct AnalysisKindHandlers {
    std::function<int()> setup;
    std::function<int()> run;
    std::function<void()> end;
};

struct TemperatureSweep {
    double high = 27.0;
    double low = 27.0;
    double step = 0.0;
    double current = 27.0;
    int more = 0;  // further temperatures follow
};

struct RunControlState {
    int running = 0;
    int paused = 0;
    int resumeRequest = 0;
    int closeRequest = 0;    // the analysis window asked to close during a pause
    int closeAfterRun = 0;   // the analysis window was closed during a run
    int failureReported = 0;
    std::uint8_t lastKey = 0;  // the key last read by the key poll; 27 stops the run
    int barsHidden = 0;
    int buildResult = 0;
    double runStartTime = 0.0;      // CPTIME reference
    double runEndTime = 0.0;        // its second copy, taken by the epilogue
    TemperatureSweep temperature;

    // Run fields of the circuit being analysed.
    int probeFlag = 0;
    int probeState = kProbeNone;
    int runStarted = 0;
    int pauseDisplay = 0;            // toggled by P: the run holds while it is set
    double elapsedTime = 0.0;        // seconds of the last run
    std::uint32_t runStartTick = 0;  // milliseconds
    int runDataMode = kRunDataNormal;
    int retrieveChoice = 0;          // AC/DC retrieve choice of probe mode
    int secondModeWord = 0;
    int tileDuringRun = 0;

    // Run values the run records read: the Input 2 value of a two-input DC sweep (set by the DC
    // run). The runs and cases of the analysis are in the run state (analyses/run_state.h).
    double input2Value = 0.0;
    double analysisFrequency = 0.0;
    int caseResultFlag = 0;
    int setupPending = 0;
    int rescaleRequests = 0;
    int modelError = 0;         // the MOSFET process pass reported a bad model value

    // The windows of the analysis: the circuit's and the analysis window.
    WindowRecord* circuitWindow = nullptr;
    WindowRecord* analysisWindow = nullptr;

    // Key poll.
    int keyPollCounter = 0;
    int pendingKey = 0;

    AnalysisKindHandlers handlers[3];
};

RunControlState& RunControl();
void ResetRunControlForTests();

void SetAnalysisKindHandlers(int kind, AnalysisKindHandlers handlers);
const AnalysisKindHandlers& AnalysisKindHandlersOf(int kind);

// Prologue of every run loop: 0, 15055 or the numeric output file's open result.
int BeginAnalysisRun();
// Start of the case loop of a run (both outputs 0).
void ResetRunState(int& out1, int& out2);
// 1 when Esc was read or the stop flag is set.
int RunStopRequested();
// Epilogue of every run loop: the final result.
int FinishAnalysisRun(win::HDC dc, int code);
// Save/Retrieve mode of the run from the plot's options word and the probe state.
void ChooseRunDataMode(WindowRecord* window);
// Fills the temperature sweep from a limits field of the current kind: high, low, step.
void ReadTemperatureRange(int field);
// 0 when every temperature of the sweep read from the limits field can be simulated; else the
// field's failure (below absolute zero, or beyond 10000 degrees) is reported and its id returned.
int CheckRunTemperatures(int field);

// The run commands.
int RunAnalysisTimed(int kind);
void RunCurrentAnalysis();
void StopAnalysisRun();
void PauseAnalysisRun();

// The text of the field of the running analysis's limits; empty when there is none.
std::string AnalysisLimitsFieldText(int field);
// Reports a run failure once per run; later failures of the run only keep the flag. The failure
// of a limits field (kFocusLimitsField) shows the field's text when none is given, and the
// netlist line that gave it.
void ReportAnalysisFailureArgs(int controlKind, int index, const char* text, int messageId,
                               std::span<const MessageArg> args);
template <class... Args>
void ReportAnalysisFailure(int controlKind, int index, const char* text, int messageId, Args&&... args)
{
    const MessageArgs packed = MakeMessageArgs(std::forward<Args>(args)...);
    ReportAnalysisFailureArgs(controlKind, index, text, messageId, packed);
}
void ReportAnalysisFailure0(int controlKind, int index, int messageId);
void ReportAnalysisOutOfMemory();

// Sets every value of the current analysis back to "no analysis".
void ClearRunFlags();

}  // namespace kq5
