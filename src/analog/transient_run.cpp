#include "analog/sparse_matrix.h"
#include "analog/transient_run.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_run_services.h"
#include "analog/run_point_limits.h"
#include "analog/integration.h"
#include "analog/numeric_output.h"
#include "analog/operating_point.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "analog/transient_run_services.h"
#include "results/run_state.h"
#include "ui/help_bar.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "analog/digital_run_services.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "netlist/global_options.h"
#include "analog/analysis_run_services.h"
#include "results/plot_record_flags.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kMsgReported = 15055;
constexpr int kMsgStopped = 15056;
constexpr int kMsgSingular = 15051;
constexpr int kTextRunningTransient = 5362;
constexpr double kConvolutionPointsOfStep = 65536.0;

// The options word of the transient kind in the circuit's plot (0 without a plot).
std::int32_t* OptionsWordOf(WindowRecord* window)
{
    WindowRecord* w = window && window->plot ? window : RunControl().circuitWindow;
    if (!w || !w->plot) return nullptr;
    return &PlotViewOf(w->plot).optionWord[kAnalysisTransient];
}

std::uint32_t OptionsOf(WindowRecord* window)
{
    const std::int32_t* word = OptionsWordOf(window);
    return word ? static_cast<std::uint32_t>(*word) : kDefaultTransientOptions;
}

// UIC of the netlist's .TRAN line, which clears both operating-point bits of the plot's flag
// byte: the run starts from the initial conditions of the parts and the .IC lines.
bool StartsFromInitialConditions(WindowRecord* window)
{
    WindowRecord* w = window && window->plot ? window : RunControl().circuitWindow;
    if (!w || !w->plot) return false;
    return (PlotFlagsOf(w->plot).flagByte & (kPlotOperatingPointFirst | kPlotOperatingPointFirstToo)) == 0;
}

bool HasDigitalParts() { return DigitalSimulator().current.size() > 1; }

// The values of the limits: 0, or 15055 after a report.
int ReadTransientLimits()
{
    TransientRunState& t = TransientRun();
    double first = 0.0, second = 0.0, third = 0.0;
    int count = 0;
    if (int rc = ParseLimitsFieldValues(kLimitTRange, first, second, third, count)) return rc;
    t.tmax = count >= 1 ? first : 0.0;
    t.tmin = count >= 2 ? second : 0.0;
    SetBreakpointTimeScale(t.tmin, t.tmax);
    if (t.tmin > 0.0 && HasDigitalParts()) {
        ReportAnalysisFailure(kFocusLimitsField, kLimitTRange, "", kMsgTminWithDigital);
        return kMsgReported;
    }
    if (!(t.tmax > 0.0) || t.tmin < 0.0 || t.tmin >= t.tmax) {
        ReportAnalysisFailure(kFocusLimitsField, kLimitTRange, "", kMsgIllegalTimeRange);
        return kMsgReported;
    }
    t.span = t.tmax - t.tmin;
    double maxStep = 0.0;
    count = 0;
    if (int rc = ParseLimitsFieldValues(kLimitTStep, maxStep, second, third, count)) return rc;
    const bool maxStepGiven = count >= 1 && maxStep > 0.0;

    double points = 0.0;
    count = 0;
    if (int rc = ParseLimitsFieldValues(kLimitTNPts, points, second, third, count)) return rc;
    const double asked = count >= 1 && points > 5.0 ? std::round(points) : 5.0;
    t.points = static_cast<int>(std::min(asked, kMaxRunPoints));
    t.printInterval = t.span / (t.points - 1);
    // Without a given maximum the step stays within the print interval as well as a fiftieth
    // of the span: the truncation estimate alone lets a lightly damped tank (an LC filter, a
    // crystal) take a handful of steps a cycle, and its phase then drifts by whole cycles.
    t.maxStep = maxStepGiven ? maxStep : std::min(t.span / 50.0, t.printInterval);

    // Convolution of the Laplace and frequency-table sources: a power of two of points. Their
    // impulse responses are sampled on this grid, and a response is only as sharp as the grid
    // is fine: the grid is at least as fine as the run's own step, up to kConvolutionPointsOfStep
    // points (the convolution's work grows with the square of its points), and as fine as a
    // given maximum step asks.
    const double reltol = GlobalOptions().values.reltol;
    const double nmin = std::trunc(std::pow(2.0, std::log10(1.0 / reltol) + 6.0) + 0.01);
    const double ofStep = std::min(std::trunc(t.span / t.maxStep), kConvolutionPointsOfStep);
    const double n = std::clamp(std::max(std::trunc(t.span / (maxStepGiven ? maxStep : t.span / 50.0)), ofStep),
                                nmin, 262144.0);
    t.convolutionPoints = static_cast<int>(std::clamp(std::pow(2.0, std::ceil(std::log2(n))), 128.0, 262144.0));
    t.convolutionStep = 2.0 * t.tmax / t.convolutionPoints;
    t.hasLaplaceSources =
        DeviceList(kLaplaceSourceDeviceList).count > 0 || DeviceList(kFreqTableSourceDeviceList).count > 0;
    if (t.hasLaplaceSources && t.maxStep > t.convolutionStep) t.maxStep = t.convolutionStep;

    if (!t.operatingPointOnly) {
        // Steps of at most the maximum step make points of their own.
        const double steps = t.span / t.maxStep;
        if (int rc = CheckRunPointCount(steps > asked ? kLimitTStep : kLimitTNPts, std::max(asked, steps))) return rc;
    }

    ReadTemperatureRange(kLimitTTemp);
    PlanRunSizes(1);
    return CheckRunTemperatures(kLimitTTemp);
}

}  // namespace

TransientRunState& TransientRun()
{
    static TransientRunState state;
    return state;
}

void ClearRunCounts()
{
    AnalogSolver().acceptedPointCount = 0;
    AnalogSolver().iterationTotal = 0;
    TransientRun().rejectedCount = 0;
}

void ResetTransientRunForTests() { TransientRun() = TransientRunState(); }

AnalysisRunServices& RunServices()
{
    static AnalysisRunServices services;
    return services;
}

void ResetRunServicesForTests() { RunServices() = AnalysisRunServices(); }

void AdvanceTemperatureSweep()
{
    TemperatureSweep& sweep = RunControl().temperature;
    sweep.current = sweep.step > 0.0 ? std::min(sweep.current + sweep.step, sweep.high) : sweep.high;
}

void PlanRunSizes(int input2Count)
{
    const TemperatureSweep& sweep = RunControl().temperature;
    AnalysisRunState& plan = RunState();
    plan.temperatureCount = TemperatureRunCount(sweep.low, sweep.high, sweep.step);
    plan.input2Count = std::max(input2Count, 1);
    plan.temperatureIndex = 0;
    plan.input2Index = 0;
}

int RunTemperatureAndCases(WindowRecord* window, const RunLoopCase& loop)
{
    AnalysisRunServices& services = RunServices();
    AnalysisRunState& plan = RunState();
    // The stepping settings failed their checks (reported): no run until they are mended.
    if (plan.setupFailed) return kMsgReported;
    int rc = 0;
    bool stop = false;
    for (int temperature = 0; !stop; ++temperature) {
        AdvanceTemperatureSweep();
        plan.temperatureIndex = temperature;
        plan.runIndex = 0;
        plan.input2Index = 0;
        if (services.beginCases) rc = services.beginCases(window);
        while (!rc) {
            rc = BeginRunCase(window);
            if (!rc) rc = loop.runCase(window);
            stop = loop.singleCase || rc != 0 || RunStopRequested();
            if (!loop.endsOwnRuns) {
                if (services.endCase) services.endCase(window);
                // A case that failed part-way (or was stopped) still prints the rows it computed:
                // they show where the circuit went wrong.
                if (services.writePrintedValues) {
                    const bool complete = rc == 0 && RunControl().lastKey != kEscapeKey;
                    const int written = services.writePrintedValues(loop.printedPoints, complete);
                    if (!rc) rc = written;
                }
            }
            ClearTimeBreakpoints();
            if (stop || !services.moreCases || !services.moreCases()) break;
        }
        // The stepped values go back (and Monte Carlo ends its runs) however the cases ended.
        plan.stoppedByUser = RunControl().lastKey == kEscapeKey;
        if (services.endCases) services.endCases(window);
        const TemperatureSweep& sweep = RunControl().temperature;
        if (rc || stop || std::abs(sweep.current - sweep.high) < 0.001) break;
    }
    return rc;
}

int BeginRunCase(WindowRecord* window)
{
    const double temperature = RunControl().temperature.current;
    Analysis().variables.temp = temperature;
    if (RunServices().beginNextRun) return RunServices().beginNextRun(window, temperature);
    ++RunState().runIndex;
    return DeviceServices().setCircuitTemperature ? DeviceServices().setCircuitTemperature(temperature) : 0;
}

void ReadTransientRunOptions(std::uint32_t optionsWord)
{
    TransientRunState& t = TransientRun();
    t.optionsWord = optionsWord;
    t.stateVariables = static_cast<int>((optionsWord & kRunOptionStateVariables) >> 8);
    t.operatingPointOnly = (optionsWord & kRunOptionOperatingPointOnly) != 0;
    t.operatingPoint = t.operatingPointOnly || (optionsWord & kRunOptionOperatingPoint) != 0;
}

int SetupTransientAnalysis()
{
    if (std::int32_t* options = OptionsWordOf(RunControl().circuitWindow))
        if (*options == 0) *options = static_cast<std::int32_t>(kDefaultTransientOptions);
    if (int rc = OpenRunWindow()) return rc;
    return OpenRunLimitsDialog();
}

namespace {

// A case, adding the digital warnings it wrote (also when it stopped early) to the analysis.
int TransientCaseCountingWarnings(WindowRecord* window)
{
    const int rc = TransientRunCase(window);
    TransientRun().digitalWarnings += DigitalSimulator().warningCount;
    return rc;
}

}  // namespace

int TransientAnalysisRun(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    TransientRunState& t = TransientRun();
    std::fill(s.rhs.begin(), s.rhs.end(), 0.0);
    s.hooks.computeIntegrationCoefficients = ComputeIntegrationCoefficients;
    s.hooks.reinitializeRunStates = ReinitializeRunStates;

    int rc = BeginAnalysisRun();
    if (rc) return FinishAnalysisRun(nullptr, rc);
    ReadTransientRunOptions(OptionsOf(window));
    s.useInitialConditions = StartsFromInitialConditions(window) ? 1 : 0;
    if (s.useInitialConditions) t.operatingPoint = t.operatingPointOnly = false;
    Breakpoints().pulseQuestionAsked = false;
    rc = ReadTransientLimits();
    if (!rc && !RunControl().failureReported) rc = OpenSimulationDataFile(RunDataFile().recordCounter, 0);
    AnalysisRunServices& services = RunServices();
    if (!rc && services.setupPlots) rc = services.setupPlots(window);
    if (!rc && services.beginPlotWindowRun) rc = services.beginPlotWindowRun(window);
    // A failure of the limits has been reported already.
    if (RunControl().failureReported) rc = kMsgReported;
    if (rc) return FinishAnalysisRun(nullptr, rc);

    Analysis().variables.tmin = t.tmin;
    Analysis().variables.tmax = t.tmax;
    t.firstRun = true;
    InitializeRunStates();
    int out1 = 0, out2 = 0;
    ResetRunState(out1, out2);
    t.digitalWarnings = 0;
    rc = RunTemperatureAndCases(window, {TransientCaseCountingWarnings, t.points, t.operatingPointOnly, false});
    // One count for the whole analysis, not a box after every case of a stepped run.
    const auto& showWarnings = DigitalRunServices().showWarningCount;
    if (t.digitalWarnings > 0 && showWarnings) showWarnings(t.digitalWarnings);

    if (rc == 0 && RunStopRequested() && RunControl().lastKey == kEscapeKey) rc = kMsgStopped;
    if (RunControl().failureReported) rc = kMsgReported;
    return FinishAnalysisRun(nullptr, rc);
}

int TransientRunCase(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    TransientRunState& t = TransientRun();
    s.hooks.computeIntegrationCoefficients = ComputeIntegrationCoefficients;
    s.hooks.reinitializeRunStates = ReinitializeRunStates;

    t.initialStep = t.span / 50.0;
    if (IntegratedStateCount() == 0 && DeviceList(kLossyLineDeviceList).count == 0)
        t.initialStep = std::min(t.initialStep, t.printInterval);
    DeviceRunServices& devices = DeviceServices();
    if (devices.maxSourceTimeStep) t.initialStep = std::min(t.initialStep, devices.maxSourceTimeStep());
    // Below a hundred-billionth of the largest step a step makes no progress that matters (late
    // in a long run it does not move the time at all): a run whose steps keep failing stops with
    // "time step too small" instead of creeping on for ever. ngspice's smallest step is the same.
    const double largestStep = t.maxStep > 0.0 ? std::min(t.maxStep, t.initialStep) : t.initialStep;
    t.minimumStep = largestStep * 1e-11;
    s.time = t.tmin;

    const bool retrieving = RunControl().runDataMode == kRunDataRetrieve;
    SourceScheduleValues schedule{t.tmin, t.tmax, t.printInterval, t.steppedRun};
    if (devices.expandAllPwlTables)
        if (int rc = devices.expandAllPwlTables()) return rc;
    // Retrieved points come from the run data file: nothing is solved, nothing lands.
    if (devices.freeLaplaceBuffers) devices.freeLaplaceBuffers();
    if (devices.resetLaplaceTableSourceStates) devices.resetLaplaceTableSourceStates(0);
    if (devices.prepareSampleHolds) devices.prepareSampleHolds(1);
    if (!retrieving) {
        if (int rc = ScheduleSourceBreakpoints(window, schedule)) return rc;
        if (devices.addSampleBreakpoints)
            if (int rc = devices.addSampleBreakpoints()) return rc;
    }

    if (devices.resetUserSourceIndices) devices.resetUserSourceIndices();
    s.notConverged = 0;
    double step = t.initialStep;
    ClampToMaximumStep(step);
    s.step = step;
    s.stepHistory.fill(step);
    s.noOperatingPoint = t.operatingPoint ? 0 : 1;

    if (int rc = ReinitializeRunStates()) return rc;
    PollRunKeys(window, 1);
    if (RunStopRequested()) return 0;

    // Operating point, with one retry on a freshly built matrix after a singular one.
    t.operatingPointComputed = false;
    for (int attempt = 0; !retrieving; ++attempt) {
        s.runPhase = kPhaseOperatingPoint;
        s.runKind = kRunKindTransient;
        s.operatingPointFlag = t.operatingPoint ? 1 : 0;
        if (!s.operatingPointSet.matrix)
            if (int rc = PrepareAnalogSolver(false, s.operatingPointSet)) return rc;
        InstallStampSet(s.operatingPointSet);
        s.setupDone = 1;
        const int rc = TransientTimeLoop(window);
        if (rc == kMsgSingular && attempt == 0) {
            FreeStampSet(s.operatingPointSet);
            continue;
        }
        if (rc) return rc;
        break;
    }
    if (t.operatingPointComputed && RunServices().writeOperatingPointReport)
        if (int rc = RunServices().writeOperatingPointReport()) return rc;
    if (t.operatingPointOnly || RunStopRequested()) return 0;
    if (!retrieving && devices.setLineStepLimits)
        if (int rc = devices.setLineStepLimits(t.maxStep)) return rc;

    s.runPhase = kPhaseTimeSteps;
    s.runKind = kRunKindTransient;
    // The resistors' loaded values are kept through one run's time points only: a stepped or
    // Monte Carlo case changes their values between runs.
    MatrixForgetKeptValues(s.matrix);
    MatrixForgetKeptValues(s.timeStepSet.matrix.get());
    s.operatingPointFlag = 0;
    s.noOperatingPoint = 0;
    if (retrieving) return TransientTimeLoop(window);
    // A run of one case (no stepping, Monte Carlo or temperature list) never loads the operating
    // point's stamp set again, and the two are not both held through the time points. Its
    // matrix becomes the time steps' when they have none: the devices ask for the same entries
    // in both (the capacitors' and inductors' companions go where their set-up reserved), so
    // the order found for the operating point, fill-ins and all, spares the time steps an
    // ordering of their own. Their first factorisation keeps it only while every pivot passes
    // the threshold with the new values, and an entry not there marks it for a new order. A
    // later run prepares the operating point's set afresh.
    const AnalysisRunState& plan = RunState();
    const bool prepareTimeSteps = !s.timeStepSet.matrix;
    if (!plan.steppingActive && !plan.monteCarloActive && plan.runCount <= 1 && plan.temperatureCount <= 1) {
        if (prepareTimeSteps && s.operatingPointSet.matrix) {
            s.timeStepSet.matrix = std::move(s.operatingPointSet.matrix);
            s.timeStepSet.matrix->orderForOtherValues = true;
        }
        FreeStampSet(s.operatingPointSet);
    }
    if (prepareTimeSteps)
        if (int rc = PrepareAnalogSolver(false, s.timeStepSet)) return rc;
    InstallStampSet(s.timeStepSet);
    s.setupDone = 1;
    SetHelpBarMessageId(nullptr, kTextRunningTransient);
    return TransientTimeLoop(window);
}

void FreeTransientRunTables()
{
    ClearTimeBreakpoints();
    if (DeviceServices().clearLineHistories) DeviceServices().clearLineHistories();
}

}  // namespace kq5
