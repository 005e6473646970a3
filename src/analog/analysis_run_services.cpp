#include "analog/analysis_run_services.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "analog/analog_state.h"
#include "analog/analysis_window_services.h"
#include "analog/batch_run.h"
#include "analog/digital_run_services.h"
#include "core/analysis_state.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "results/run_state.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "document/circuit_document.h"
#include "document/node_table.h"
#include "netlist/global_options.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "results/waveform_store.h"
#include "analog/waveform_runs.h"

namespace kq5 {

AnalysisWindowServicesState& AnalysisWindowServices()
{
    static AnalysisWindowServicesState services;
    return services;
}

DigitalRunServicesState& DigitalRunServices()
{
    static DigitalRunServicesState services;
    return services;
}

int StartDigitalParts(double tmin)
{
    const auto& start = DigitalRunServices().startRun;
    return start ? start(tmin) : 0;
}

namespace {

constexpr int kMsgRunningBase = 5362;  // "Running Transient Analysis." + AnalysisKind

// Processes waiting messages; a key typed meanwhile is taken out of the queue and returned.
// A quit request stops the run so that the program can end.
int PumpRunMessages()
{
    win::MSG m{};
    while (win::PeekMessage(&m, nullptr, 0, 0, win::PM_REMOVE)) {
        if (m.message == win::WM_QUIT) {
            win::PostQuitMessage(static_cast<int>(m.wParam));
            return kEscapeKey;
        }
        if (m.message == win::WM_KEYDOWN) return static_cast<int>(m.wParam);
        win::TranslateMessage(&m);
        win::DispatchMessage(&m);
    }
    return 0;
}

// A key pressed since the last look, seen through the keyboard's asynchronous state.
int AsyncKey()
{
    if (win::GetAsyncKeyState(win::VK_ESCAPE) & 1 || BatchStopRequested()) return kEscapeKey;
    if (win::GetAsyncKeyState('P') & 1) return 'P';
    return 0;
}

// Holds the run while the pause flag is set: P resumes, Esc (or the end of the program) stops.
int HoldWhilePaused()
{
    RunControlState& rc = RunControl();
    int key = 0;
    const bool running = win::RunNestedLoop([&] { return rc.pauseDisplay == 0 || key == kEscapeKey; },
                                            [&](win::MSG& m) {
                                                if (m.message != win::WM_KEYDOWN) return false;
                                                const int typed = std::toupper(static_cast<int>(m.wParam));
                                                if (typed == kEscapeKey) key = kEscapeKey;
                                                if (typed == 'P') rc.pauseDisplay = 0;
                                                return true;
                                            });
    if (!running) key = kEscapeKey;
    rc.pauseDisplay = 0;
    return key;
}

int StopRun(WindowRecord* window)
{
    RunControlState& rc = RunControl();
    if (window) EndWaveformRun(window, true);
    AnalogSolver().stopFlag = 1;
    rc.pendingKey = kEscapeKey;
    rc.lastKey = kEscapeKey;
    return kEscapeKey;
}

std::string* LimitsText(int field)
{
    WindowRecord* circuit = RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord();
    CircuitDocument* document = circuit && circuit->document ? circuit->document.get() : CurrentDocument();
    if (!document || field < 0) return nullptr;
    AnalysisLimits& limits = document->limits;
    switch (Analysis().analysisKind) {
    case kAnalysisTransient:
        return field < static_cast<int>(limits.transient.size()) ? &limits.transient[static_cast<std::size_t>(field)] : nullptr;
    case kAnalysisAc: return field < static_cast<int>(limits.ac.size()) ? &limits.ac[static_cast<std::size_t>(field)] : nullptr;
    case kAnalysisDc: return field < static_cast<int>(limits.dc.size()) ? &limits.dc[static_cast<std::size_t>(field)] : nullptr;
    default: return nullptr;
    }
}

bool AllDigits(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// A labelled node keeps the row of its number beside the row of its label; the label is the
// name the user knows it by, so it wins over the number wherever it stands in the table.
std::string NodeName(int node, int domain)
{
    for (const NodeNameRow& row : CircuitNodeTable().rows) {
        if (row.domain != domain || row.scope != 0 || row.number != node) continue;
        const std::string name = row.WholeName();
        if (AllDigits(name)) continue;
        const std::size_t dot = name.rfind('.');
        return dot == std::string::npos ? name : name.substr(dot + 1);
    }
    std::string name = FindNodeName(CircuitNodeTable(), node, 0, domain);
    return name.empty() ? std::to_string(node) : name;
}

}  // namespace

int PollRunKeys(WindowRecord* window, int period)
{
    RunControlState& rc = RunControl();
    if (period < 1) period = 1;
    rc.keyPollCounter = (rc.keyPollCounter + 1) % period;
    if (rc.keyPollCounter != 0 || rc.pendingKey != 0) return rc.pendingKey;
    int key = PumpRunMessages();
    if (key == 0) key = AsyncKey();
    if (GetTimeSeconds() - rc.runStartTime > GlobalOptions().values.cptime) {
        ReportMessage("WE", window, kMsgCptimeExceeded);
        key = kEscapeKey;
    }
    if (key == 0) return 0;
    key = std::toupper(key);
    if (key < kEscapeKey) return 0;
    if (key == kEscapeKey) return StopRun(window);
    if (key == 'P') {
        rc.pauseDisplay ^= 1;
        // The readouts show the values where the run holds.
        if (window && window->window && window->plot && AnalysisWindowServices().drawCurveReadouts)
            AnalysisWindowServices().drawCurveReadouts(window);
        if (rc.pauseDisplay && HoldWhilePaused() == kEscapeKey) return StopRun(window);
    }
    return 0;
}

int OpenRunWindow()
{
    const auto& open = AnalysisWindowServices().openAnalysisWindow;
    return open ? open() : 0;
}

int OpenRunLimitsDialog()
{
    const auto& open = AnalysisWindowServices().openLimitsDialog;
    return open ? open() : 0;
}

void CloseRunWindow()
{
    if (const auto& close = AnalysisWindowServices().closeAnalysisWindow) close();
}

int ParseLimitsFieldValues(int field, double& first, double& second, double& third, int& count)
{
    count = 0;
    const std::string* text = LimitsText(field);
    if (!text) return 0;
    std::string rest = *text;
    double* out[3] = {&first, &second, &third};
    for (int k = 0; k < 3; ++k) {
        std::string item = rest;
        rest = SplitAtTopLevelComma(item);
        const std::size_t start = item.find_first_not_of(" \t");
        if (start == std::string::npos) {
            if (rest.empty()) break;
            continue;
        }
        int error = 0;
        const double value = EvalNumberOrExpression(item.substr(start), error);
        if (error != 0) {
            ReportAnalysisFailure(kFocusLimitsField, field, item.c_str(), error);
            return error;
        }
        *out[k] = value;
        count = k + 1;
        if (rest.empty()) break;
    }
    return 0;
}

void ShowRunningStatus()
{
    const int kind = Analysis().analysisKind;
    if (StatusBarShown() && kind >= 0 && kind < 3) SetStatusText(LoadResString(kMsgRunningBase + kind));
}

std::string FormatTemperatureCaption(WindowRecord* window)
{
    return StrPrintf("Temperature = %g ", Analysis().variables.temp);
}

// The stepped values (or the case) follow the temperature when the analysis makes several
// cases, or always for the caption of one run.
static std::string StepCaptionPart(WindowRecord* window, bool allRuns)
{
    if (RunState().runCount < 2 && allRuns) return {};
    const auto& caption = AnalysisWindowServices().stepCaption;
    return caption ? caption(window, allRuns) : std::string();
}

std::string FormatTemperatureCaption(WindowRecord* window, bool allRuns)
{
    const RunControlState& rc = RunControl();
    const double low = rc.temperature.low;
    double highest = low;
    const PlotRecord* plot = window && window->plot ? window->plot.get() : nullptr;
    const int runs = plot ? std::min<int>(plot->store.runCount, static_cast<int>(plot->store.runs.size())) : 0;
    for (int r = 0; r < runs; ++r) highest = std::max(highest, plot->store.runs[static_cast<std::size_t>(r)].temperature);
    if (highest == low || !allRuns) {
        double shown = Analysis().variables.temp;
        // After the run the caption tells the temperature of the run the cursors stand in.
        const auto& cursorsRun = AnalysisWindowServices().selectedRun;
        const int selected = cursorsRun ? cursorsRun() : -1;
        if (!rc.running && runs > 0 && selected >= 0 && selected < runs)
            shown = plot->store.runs[static_cast<std::size_t>(selected)].temperature;
        return StrPrintf("Temperature = %g ", shown) + StepCaptionPart(window, allRuns);
    }
    return StrPrintf("Temperature = %g...%g ", low, highest) + StepCaptionPart(window, allRuns);
}

std::string CopyAnalogNodeName(int node) { return NodeName(node, 0); }

std::string CopyDigitalNodeName(int node) { return NodeName(node, 1); }

}  // namespace kq5
