#include "analog/dc_sweep_run.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "analog/ac_run_curve.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_run_services.h"
#include "analog/integration.h"
#include "analog/limiting_commit.h"
#include "analog/operating_point.h"
#include "analog/run_control.h"
#include "analog/run_point_limits.h"
#include "analog/run_data_file.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "results/run_state.h"
#include "ui/help_bar.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/expr_evaluator.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "analog/digital_run_services.h"
#include "document/circuit_document.h"
#include "document/component_types.h"
#include "netlist/global_options.h"
#include "core/part_instance.h"
#include "netlist/token_patterns.h"
#include "analog/analysis_run_services.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kMsgReported = 15055;
constexpr int kMsgStopped = 15056;
constexpr int kTextRunningDc = 5364;
constexpr int kMaxRetries = 10;

std::string DcLimitText(int field)
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (!circuit || !circuit->document || field < 0 || field >= kDcLimitCount) return {};
    return circuit->document->limits.dc[static_cast<std::size_t>(field)];
}

std::string Trimmed(std::string text)
{
    const std::size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const std::size_t b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
}

bool IsNoneName(const std::string& name)
{
    if (name == "0") return true;
    if (name.size() != 4) return false;
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == "NONE";
}

template <class T>
int PositionInList(int list, const ListNode* device, std::size_t& position)
{
    std::size_t i = 0;
    for (const T& record : ListRecords<T>(DeviceList(list))) {
        if (&record == device) {
            position = i;
            return 0;
        }
        ++i;
    }
    return 1;
}

// Writes the input values through their sources (after the source evaluation, which sets
// every source from its own description).
void WriteSweepValues()
{
    const DcSweepState& d = DcSweep();
    if (d.input2Active)
        if (double* v = SweepSourceValue(d.input2)) *v = d.value2;
    if (double* v = SweepSourceValue(d.input1)) *v = d.value1;
    Analysis().variables.dcValue = d.value1;
}

double FirstCurveY(WindowRecord* window)
{
    double y = 0.0;
    if (CurveRecord* curve = FirstPlotCurve(window)) CurveValue(*curve, kWaveformY, y);
    return y;
}

// True once the sweep stands at its final value. The value is clamped to the final value, so
// it lands on it exactly; a value within rounding of it counts as there.
bool ReachedFinal(double value)
{
    const DcSweepState& d = DcSweep();
    const double direction = d.userStep < 0.0 ? -1.0 : 1.0;
    return direction * (d.final1 - value) <= std::abs(d.userStep) * 1e-9;
}

// The first row of the printed table past the value, in the sweep's direction. The rows stand
// at equal intervals from the initial to the final value.
double NextTableRow(double value)
{
    const DcSweepState& d = DcSweep();
    if (d.printPoints < 2 || d.final1 == d.initial1) return d.final1;
    const double dx = (d.final1 - d.initial1) / (d.printPoints - 1);
    const double row = std::floor((value - d.initial1) / dx + 1e-9) + 1.0;
    const double x = d.initial1 + row * dx;
    // A row at zero is computed at zero, not at the rounding of the sum (-0.5 + 10 * 0.05).
    return std::abs(x) < std::abs(dx) * 1e-9 ? 0.0 : x;
}

// The Y span that the step control measures each point's change against. A Y range the user
// gave is known before the sweep. An automatic one is not: its axis holds a placeholder until
// the curve is scaled to its values, and measuring against that would make the number of
// points follow the size of the values (millions of points for a curve in kilovolts). Such a
// curve is measured against the span it shows so far, or the span its present slope would
// give over the whole sweep when that is larger.
class SweepYSpan {
public:
    explicit SweepYSpan(WindowRecord* window)
    {
        if (CurveRecord* curve = FirstPlotCurve(window)) {
            automatic_ = DcSweep().automaticY;
            given_ = std::abs(CurveYSpan(*curve));
        }
    }
    // The span at a new point y reached over dx from the last accepted point at lastY.
    double At(double y, double lastY, double dx) const
    {
        if (!automatic_) return given_;
        const DcSweepState& d = DcSweep();
        const double slope = dx != 0.0 ? std::abs((y - lastY) / dx) : 0.0;
        return std::max({high_ - low_, std::max(high_, y) - std::min(low_, y), slope * std::abs(d.final1 - d.initial1)});
    }
    void Accept(double y)
    {
        low_ = seen_ ? std::min(low_, y) : y;
        high_ = seen_ ? std::max(high_, y) : y;
        seen_ = true;
    }

private:
    bool automatic_ = false;
    double given_ = 0.0;
    bool seen_ = false;
    double low_ = 0.0, high_ = 0.0;
};

// Retrieve mode: the stored points of one Input 1 sweep, output as if computed. 0 or a file
// error; the end of the stored points sets the stop flag.
int RetrieveSweepPoints(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    DcSweepState& d = DcSweep();
    AnalysisRunServices& services = RunServices();
    d.pointsAccepted = d.pointsOutput = d.retries = 0;
    for (;;) {
        if (RunControl().lastKey == kEscapeKey) return 0;
        double step = 0.0;
        if (int rc = ReadRunDataPoint(RunDataFile().recordCounter, d.value1, step, SolutionVector())) return rc;
        if (s.stopFlag) return 0;
        WriteSweepValues();
        if (services.evaluateCurves)
            if (int rc = services.evaluateCurves(window)) return rc;
        ++d.pointsAccepted;
        ++s.acceptedPointCount;
        ++d.pointsOutput;
        if (services.plotPoint) services.plotPoint(window);
        PollRunKeys(window, 6);
        if (d.final1 == d.initial1 || ReachedFinal(d.value1)) return 0;
    }
}

// The point loop of one Input 1 sweep. 0 or a message id.
int SweepPoints(WindowRecord* window)
{
    if (RunControl().runDataMode == kRunDataRetrieve) return RetrieveSweepPoints(window);
    AnalogSolverState& s = AnalogSolver();
    DcSweepState& d = DcSweep();
    AnalysisRunServices& services = RunServices();
    const GlobalOptionValues& o = GlobalOptions().values;
    SweepYSpan spanY(window);
    const double direction = d.userStep < 0.0 ? -1.0 : 1.0;
    double lastY = 0.0;
    double previousStep = 0.0;
    d.pointsAccepted = d.pointsOutput = d.retries = 0;

    for (;;) {
        if (RunControl().lastKey == kEscapeKey) return 0;
        s.sourceFactor = 1.0;
        const double previous = d.value1;
        d.value1 = previous + d.step;
        // A step never passes a row of the printed table: each row is a computed point, as the
        // user asked for it, not a value read off the straight line between two points.
        const double row = NextTableRow(previous);
        if (direction * (row - d.value1) <= std::abs(d.userStep) * 1e-9) d.value1 = row;
        d.value1 = d.userStep >= 0.0 ? std::min(d.value1, d.final1) : std::max(d.value1, d.final1);
        if (ReachedFinal(d.value1)) d.value1 = d.final1;
        if (DeviceServices().evaluateSourcesAtTime)
            if (int rc = DeviceServices().evaluateSourcesAtTime()) return rc;
        WriteSweepValues();
        if (d.pointsAccepted > 0) s.iterationMode = kModePredictor;
        s.predictorRatio = previousStep != 0.0 ? d.step / previousStep : 1.0;
        s.predictorScale = s.predictorRatio + 1.0;

        int rc = SolveOperatingPoint(window, o.itl2);
        if (rc == kMsgFailedAtTime) {
            s.iterationMode = kModeInitJunctions;
            // The fallbacks have the limit of an operating point (ITL1), as ngspice's have:
            // ITL2 left the last solve of gmin stepping short of a point that it reaches. Once
            // two points are accepted, a point that fails is retried with a shorter step before
            // the slowest fallback, a second gmin stepping, would run.
            rc = SourceStepOperatingPoint(window, o.itl1, d.pointsAccepted < 2);
        }
        double r = 1.0;
        bool reject = false, grow = false, failed = false;
        double y = lastY;
        if (rc == 0) {
            s.iterationTotal += s.iterationCount;
            PollRunKeys(window, 6);
            if (services.evaluateCurves)
                if ((rc = services.evaluateCurves(window)) != 0) return rc;
            y = FirstCurveY(window);
            const double dYmax = spanY.At(y, lastY, d.value1 - previous) * d.maxChange;
            if (RunControl().probeState != kProbeReplot && d.pointsAccepted >= 2) {
                if (dYmax > 0.0 && std::abs(y - lastY) >= 1e-20) {
                    const double dy = y - lastY;
                    r = std::abs(dYmax / dy + 1e-20);
                    reject = r < 0.8;
                    grow = r > 1.2;
                } else {
                    // A curve without a Y span, or one that did not move, cannot steer the
                    // step: take the full step.
                    r = 2.0;
                    grow = true;
                }
            }
        } else if (rc == kMsgFailedAtTime) {
            if (d.pointsAccepted < 2) return rc;
            rc = 0;
            r = 0.5;
            reject = failed = true;
        } else {
            return rc;
        }

        const double factor = std::clamp(r, 0.01, 2.0);
        if (reject && d.retries < kMaxRetries && std::abs(d.step) >= d.minStep) {
            d.step *= factor;
            ++d.retries;
            d.value1 = previous;
            if (std::abs(d.step) < d.minStep) d.step = direction * d.minStep;
            std::vector<double>& x = SolutionVector();
            std::copy_n(s.savedSolution.begin(), std::min(s.savedSolution.size(), x.size()), x.begin());
            std::copy_n(s.savedSolution.begin(), std::min(s.savedSolution.size(), s.previousSolution.size()),
                        s.previousSolution.begin());
            continue;
        }
        // A point that still does not converge with the smallest step is a failure, never a
        // value on the curve.
        if (failed) return kMsgFailedAtTime;
        previousStep = d.step;
        if (grow && d.pointsOutput > 2) {
            d.step *= factor;
            if (std::abs(d.step) > std::abs(d.userStep)) d.step = d.userStep;
        }
        ++d.pointsAccepted;
        ++s.acceptedPointCount;
        SaveAcceptedPoint();
        CommitMosfetVoltageHistory();
        if (d.pointsAccepted == 1) {
            // The first point of a sweep has no point before it: the second is predicted from a
            // flat history, not extrapolated from whatever the older slots held (zeros at the
            // start of a run, which doubled every junction voltage).
            std::copy_n(s.savedSolution.begin(), std::min(s.savedSolution.size(), s.olderSolution.size()),
                        s.olderSolution.begin());
            CommitMosfetVoltageHistory();
        }
        d.retries = 0;

        if (!s.stopFlag) {
            ++d.pointsOutput;
            if (RunControl().runDataMode == kRunDataSave)
                if (int saved = SaveRunDataPoint(d.value1, SolutionVector())) return saved;
            if (services.plotPoint) services.plotPoint(window);
            lastY = y;
            spanY.Accept(y);
            for (int k = static_cast<int>(s.stepHistory.size()) - 2; k >= 0; --k)
                s.stepHistory[static_cast<std::size_t>(k + 1)] = s.stepHistory[static_cast<std::size_t>(k)];
            s.step = s.stepHistory[0] = d.step;
        }
        if (d.final1 == d.initial1) return 0;
        if (s.stopFlag || ReachedFinal(d.value1)) return 0;
    }
}

// Reads the limits into the sweep state. 0, or 15055 after a report.
int ReadDcLimits()
{
    DcSweepState& d = DcSweep();
    if (int rc = FindSweepSourceValue(kLimitI1, d.input1)) return rc;
    double third = 0.0;
    int count = 0;
    d.userStep = 1.0;
    if (int rc = ParseLimitsFieldValues(kLimitI1Range, d.final1, d.initial1, d.userStep, count)) return rc;
    if (count < 2) d.initial1 = count == 1 ? d.final1 : 0.0;
    ReadTemperatureRange(kLimitDTemp);
    if (int rc = CheckRunTemperatures(kLimitDTemp)) return rc;
    double points = 0.0, unusedLow = 0.0, unusedStep = 0.0;
    count = 0;
    if (int rc = ParseLimitsFieldValues(kLimitDNPts, points, unusedLow, unusedStep, count)) return rc;
    d.printPoints = static_cast<int>(std::min(count >= 1 && points > 5.0 ? std::round(points) : 5.0, kMaxRunPoints));
    if (d.userStep == 0.0) d.userStep = (d.final1 - d.initial1) * 0.02;

    d.input2Name = Trimmed(DcLimitText(kLimitI2));
    d.input2Active = !d.input2Name.empty() && !IsNoneName(DcLimitText(kLimitI2));
    if (d.input2Active) {
        if (int rc = FindSweepSourceValue(kLimitI2, d.input2)) return rc;
        count = 0;
        d.step2 = 0.0;
        if (int rc = ParseLimitsFieldValues(kLimitI2Range, d.final2, d.initial2, d.step2, count)) return rc;
        if (count < 2) d.initial2 = count == 1 ? d.final2 : 0.0;
    } else {
        d.final2 = d.initial2 = 0.0;
        d.step2 = 1.0;
    }
    d.step2 = OrientStep(d.final2 - d.initial2, d.step2);
    if (d.step2 == 0.0) d.step2 = (d.final2 - d.initial2) * 0.1;
    PlanRunSizes(d.input2Active ? Input2ValueCount(d.initial2, d.final2, d.step2) : 1);

    double change = 0.0, unused = 0.0;
    count = 0;
    if (ParseLimitsFieldValues(kLimitDMaxChng, change, unused, third, count) != 0) count = 0;
    d.maxChange = count >= 1 ? change / 100.0 : 0.0;
    d.userStep = OrientStep(d.final1 - d.initial1, d.userStep);
    const auto values = [](double range, double step) { return step == 0.0 ? 1.0 : std::floor(range / step) + 1.0; };
    return CheckRunPointCount(kLimitI1Range, values(d.final1 - d.initial1, d.userStep) *
                                                 (d.input2Active ? values(d.final2 - d.initial2, d.step2) : 1.0));
}

bool MoreInput2Values()
{
    const DcSweepState& d = DcSweep();
    if (!d.input2Active) return false;
    if (std::abs(d.value2 - d.final2) <= std::abs(d.step2) / 10.0) return false;
    return d.step2 > 0.0 ? d.value2 < d.final2 : d.value2 > d.final2;
}

}  // namespace

DcSweepState& DcSweep()
{
    static DcSweepState state;
    return state;
}

void ResetDcSweepForTests() { DcSweep() = DcSweepState(); }

double OrientStep(double range, double step)
{
    if (range > 0.0) return std::min(std::abs(step), range);
    const double oriented = -std::abs(step);
    return oriented < range ? range : oriented;
}

int FindSweepSourceValue(int field, SweepSource& source)
{
    source = SweepSource();
    if (RunControl().failureReported) return kMsgReported;
    const std::string name = Trimmed(DcLimitText(field));
    const PartInstanceRecord* part = FindPartByNameInScope(name, 0);
    const ListNode* device = part ? part->device : nullptr;
    int rc = 1;
    auto locate = [&](int list, auto* type) {
        source.list = list;
        rc = PositionInList<std::remove_pointer_t<decltype(type)>>(list, device, source.position);
    };
    if (device) {
        switch (part->typeCode) {
        case kComponentISpice:
        case kComponentVSpice: locate(kIndependentSourceDeviceList, static_cast<IndependentSourceDevice*>(nullptr)); break;
        case kComponentPulseSource: locate(kPulseSourceDeviceList, static_cast<PulseSourceDevice*>(nullptr)); break;
        case kComponentSineSource: locate(kSineSourceDeviceList, static_cast<SineSourceDevice*>(nullptr)); break;
        case kComponentUserSource: locate(kUserSourceDeviceList, static_cast<UserSourceDevice*>(nullptr)); break;
        default: break;
        }
    }
    if (rc == 0) return 0;
    source = SweepSource();
    ReportAnalysisFailure(kFocusLimitsField, field, name.c_str(), kMsgSweepSourceNotFound);
    return kMsgReported;
}

double* SweepSourceValue(const SweepSource& source)
{
    DeviceSolverTables& t = AnalogSolver().devices;
    auto at = [&](auto& table) -> double* {
        return source.position < table.size() ? &table[source.position].value : nullptr;
    };
    switch (source.list) {
    case kIndependentSourceDeviceList: return at(t.sources);
    case kPulseSourceDeviceList: return at(t.pulseSources);
    case kSineSourceDeviceList: return at(t.sineSources);
    case kUserSourceDeviceList: return at(t.userSources);
    default: return nullptr;
    }
}

void RefreshSweepSourcePointers()
{
    // The sources are kept by list and position and resolved at every use, so a stepped case
    // that rebuilds the device tables needs nothing more than a fresh lookup of the names.
    DcSweepState& d = DcSweep();
    if (RunControl().failureReported || RunState().runCount <= 1) return;
    FindSweepSourceValue(kLimitI1, d.input1);
    if (d.input2Active) FindSweepSourceValue(kLimitI2, d.input2);
}

std::string FormatSweepCaption(WindowRecord* window, bool wantRange)
{
    const DcSweepState& d = DcSweep();
    double low = 0.0, high = 0.0;
    bool any = false;
    WindowRecord* w = window && window->plot ? window : RunControl().circuitWindow;
    if (w && w->plot) {
        const WaveformStore& store = w->plot->store;
        for (int i = 0; i < store.runCount && i < static_cast<int>(store.runs.size()); ++i) {
            const double v = store.runs[static_cast<std::size_t>(i)].secondSweepValue;
            low = any ? std::min(low, v) : v;
            high = any ? std::max(high, v) : v;
            any = true;
        }
    }
    if (wantRange && any && low != high) return StrPrintf("%s = %g...%g ", d.input2Name.c_str(), low, high);
    double value = 0.0;
    if (d.running)
        value = d.value2;
    else if (any)
        value = high;
    return StrPrintf("%s = %g ", d.input2Name.c_str(), value);
}

int DcSweepCase(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    DcSweepState& d = DcSweep();
    AnalysisRunServices& services = RunServices();
    d.value2 = d.initial2 - d.step2;
    RefreshSweepSourcePointers();
    if (!s.operatingPointSet.matrix && RunControl().runDataMode != kRunDataRetrieve)
        if (int rc = PrepareAnalogSolver(false, s.operatingPointSet)) return rc;
    InstallStampSet(s.operatingPointSet);
    s.setupDone = 1;
    // Every point of the sweep is a DC solution: the preparation leaves coefficients for a
    // first time step, with which each capacitor would load its nodes as ag0 x C siemens.
    ClearIntegrationCoefficients();

    for (int input2 = 0;; ++input2) {
        RunState().input2Index = input2;
        d.value2 += d.step2;
        if (!d.input2Active) d.value2 = 0.0;
        RunControl().input2Value = d.value2;
        double sweepStep = d.userStep;
        if (d.initial1 > d.final1) sweepStep = -std::abs(sweepStep);
        d.userStep = sweepStep;
        d.step = d.userStep / 100.0;
        d.minStep = std::abs(d.step / 1e9);

        s.stopFlag = 0;
        s.iterationMode = kModeInitJunctions;
        d.value1 = d.initial1 - d.step;
        s.step = d.step != 0.0 ? d.step : 1.0;
        s.stepHistory.fill(s.step);
        s.runPhase = kPhaseOperatingPoint;
        s.runKind = kRunKindDcSweep;
        s.operatingPointFlag = 1;
        s.noOperatingPoint = 0;
        SetBreakpointTimeScale(0.0, 1.0);
        if (int rc = ReinitializeRunStates()) return rc;
        // The digital parts start each sweep from their first states and stimulus values.
        if (int rc = StartDigitalParts(0.0)) return rc;

        const int rc = SweepPoints(window);
        const bool stop = rc != 0 || RunStopRequested();
        if (services.endCase) services.endCase(window);
        if (services.writePrintedValues) {
            // A sweep that failed part-way (or was stopped) still prints the rows it computed.
            const bool complete = rc == 0 && RunControl().lastKey != kEscapeKey;
            const int p = services.writePrintedValues(d.printPoints, complete);
            if (rc) return rc;
            if (p) return p;
        }
        if (rc) return rc;
        RunControl().lastKey = stop && RunControl().lastKey == kEscapeKey ? kEscapeKey : RunControl().lastKey;
        if (stop || !MoreInput2Values()) return 0;
    }
}

int SetupDcAnalysis()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (circuit && circuit->plot) {
        std::int32_t& options = PlotViewOf(circuit->plot).optionWord[kAnalysisDc];
        if (options == 0) options = kDefaultDcOptions;
    }
    if (int rc = OpenRunWindow()) return rc;
    return OpenRunLimitsDialog();
}

int RunDcSweep()
{
    AnalogSolverState& s = AnalogSolver();
    DcSweepState& d = DcSweep();
    WindowRecord* window = RunControl().analysisWindow;
    RunControl().failureReported = 0;
    // A digital event that shortens the step of a time point has no step to shorten here.
    s.hooks.computeIntegrationCoefficients = ClearIntegrationCoefficients;
    s.hooks.reinitializeRunStates = ReinitializeRunStates;

    int rc = BeginAnalysisRun();
    if (rc) return FinishAnalysisRun(nullptr, rc);
    // The run's counts cover every sweep of a nested sweep; each sweep keeps its own as well.
    // Nothing of an earlier run stays in them: a sweep rejects no time step.
    ClearRunCounts();
    TransientRun().stateVariables = kStateVariablesZero;
    rc = ReadDcLimits();
    if (!rc && !RunControl().failureReported) rc = OpenSimulationDataFile(RunDataFile().recordCounter, 0);
    AnalysisRunServices& services = RunServices();
    if (!rc && services.setupPlots) rc = services.setupPlots(window);
    s.time = 0.0;
    s.order = 1;
    s.iterationMode = kModeNormal;
    s.step = 1.0;
    s.runKind = kRunKindDcSweep;
    if (!rc) {
        Analysis().variables.dcStart = d.initial1;
        ClearIntegrationCoefficients();
    }
    if (!rc && services.beginPlotWindowRun) rc = services.beginPlotWindowRun(window);
    // Read before the first case rescales it: a later sweep of a nested or stepped run measured
    // against the span of an earlier, flat curve would take millions of points.
    const CurveRecord* first = FirstPlotCurve(window);
    d.automaticY = first && first->rangeMode[kWaveformY] == kRangeAutomatic;

    if (!rc && !RunControl().failureReported) {
        int out1 = 0, out2 = 0;
        ResetRunState(out1, out2);
        d.running = true;
        SetHelpBarMessageId(nullptr, kTextRunningDc);
        rc = RunTemperatureAndCases(window, {DcSweepCase, d.printPoints, false, true});
        d.running = false;
    }

    if (rc == 0 && RunControl().lastKey == kEscapeKey) rc = kMsgStopped;
    if (RunControl().failureReported) {
        rc = kMsgReported;
    } else if (rc == kMsgFailedAtTime) {
        ReportMessage("SE", kErrorStyle, kMsgFailedAtValue, d.value1);
        rc = kMsgReported;
    }
    return FinishAnalysisRun(nullptr, rc);
}

}  // namespace kq5
