#include "analog/ac_run.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <span>
#include <string>

#include "analog/ac_run_curve.h"
#include "analog/expr_run_services.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/convergence.h"
#include "analog/device_run_services.h"
#include "analog/integration.h"
#include "analog/noise.h"
#include "analog/numeric_output.h"
#include "analog/operating_point.h"
#include "analog/run_control.h"
#include "analog/run_point_limits.h"
#include "analog/run_data_file.h"
#include "analog/sparse_solve.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "results/run_state.h"
#include "ui/help_bar.h"
#include "ui/window_record.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "analog/stamp_ac.h"
#include "document/circuit_document.h"
#include "netlist/global_options.h"
#include "analog/analysis_run_services.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kMsgReported = 15055;
constexpr int kMsgStopped = 15056;
constexpr int kTextRunningAc = 5363;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kOmegaAtZero = 6.283185307179587e-06;
constexpr double kBuildOmega = 1000.0;
// Usage words of curve expressions that may share a plot with noise quantities.
constexpr std::uint32_t kUsageMask = 0xB7F7FFFF;
constexpr int kMaxRejections = 20;

std::uint32_t AcOptions()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (!circuit || !circuit->plot) return 120;
    return static_cast<std::uint32_t>(PlotViewOf(circuit->plot).optionWord[kAnalysisAc]);
}

std::string AcLimitText(int field)
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (!circuit || !circuit->document || field < 0 || field >= kAcLimitCount) return {};
    return circuit->document->limits.ac[static_cast<std::size_t>(field)];
}

// The complex solution of the last solve as the expression variables see it. Compiled node
// operands keep addresses into the vector, so it is sized here only when the build left it
// empty (then nothing can point into it).
void PublishSolution()
{
    const std::vector<double>& x = AnalogSolver().backupSolution;
    auto& out = Analysis().solution.complex;
    if (out.empty()) out.resize(x.size() / 2);
    const std::size_t n = std::min(out.size(), x.size() / 2);
    for (std::size_t k = 0; k < n; ++k) out[k] = {x[2 * k], x[2 * k + 1]};
    if (!out.empty()) out[0] = {};
}

void PublishExcitation()
{
    AcRunState& a = AcRun();
    auto& e = Analysis().noise.savedExcitation;
    e.resize(a.savedExcitation.size() / 2);
    for (std::size_t k = 0; k < e.size(); ++k) e[k] = {a.savedExcitation[2 * k], a.savedExcitation[2 * k + 1]};
}

// Points the AC stamp state at the solver's complex system.
void BindStampState()
{
    AnalogSolverState& s = AnalogSolver();
    AcStampState& st = AcStamps();
    AcRunState& a = AcRun();
    st.matrix = s.timeStepSet.matrix.get();
    st.stamps = &s.timeStepSet.pool;
    st.rhs = std::span<double>(s.rhs);
    st.solution = std::span<const double>(s.backupSolution);
    a.savedExcitation.assign(s.rhs.size(), 0.0);
    st.savedExcitation = std::span<double>(a.savedExcitation);
}

// Builds the complex system once per operating point: the building pass creates every
// element (in the order of later passes), then the matrix is preordered.
int BuildComplexSystem()
{
    AnalogSolverState& s = AnalogSolver();
    AcStampState& st = AcStamps();
    InstallStampSet(s.timeStepSet);
    if (s.unknownCount <= 0 || s.timeStepSet.matrix) {
        BindStampState();
        return 0;
    }
    if (int rc = CreateSolverMatrix(s.timeStepSet.matrix)) return rc;
    s.timeStepSet.matrix->relThreshold = GlobalOptions().values.pivrel;
    s.timeStepSet.matrix->absThreshold = GlobalOptions().values.pivtol;
    s.timeStepSet.pool.clear();
    InstallStampSet(s.timeStepSet);
    BindStampState();
    st.omega = kBuildOmega;
    st.firstPass = 1;
    const int rc = LoadCircuitAc();
    st.firstPass = 0;
    if (rc) return rc;
    return MatrixPreorder(s.timeStepSet.matrix.get());
}

// Noise and other quantities cannot share a plot. 0, or 15055 after the report.
int CheckNoiseCurves(WindowRecord* window)
{
    AcRunState& a = AcRun();
    a.noise = 0;
    WindowRecord* w = window && window->plot ? window : RunControl().circuitWindow;
    if (!w || !w->plot) return 0;
    bool other = false;
    for (const auto& curve : w->plot->curves) {
        for (const CompiledExpression* e : {&curve->xExpression, &curve->yExpression}) {
            std::uint32_t usage = e->dependencies & kUsageMask;
            if (usage == kDependsNoise) {
                a.noise = 1;
            } else {
                if (usage & kDependsNoise) {
                    usage &= ~kDependsNoise;
                    a.noise = 1;
                }
                if (usage != 0 && usage != 0x800 && usage != 0x1000 && usage != 0x2000 && usage != 0x1000000)
                    other = true;
            }
            if (a.noise && other) {
                ReportAnalysisFailure(kFocusExpressionRow, curve->rowIndex, curve->yExpressionText.c_str(),
                                      kMsgNoiseWithOthers);
                return kMsgReported;
            }
        }
    }
    return 0;
}

bool Retrieving() { return RunControl().runDataMode == kRunDataRetrieve; }

// The decision for the point just computed; 0, 15056 for Esc, or a write error of the run data.
int AcceptAcPoint(WindowRecord* window, bool& accepted)
{
    AcRunState& a = AcRun();
    AcPlotPosition p;
    CurveRecord* curve = FirstPlotCurve(window);
    if (curve) p = CurvePosition(*curve, a.f, a.fLow, a.fHigh, a.sweepKind != kFrequencyStepLinear);
    accepted = true;
    if (a.sweepKind != kFrequencyStepAuto || !a.firstAccepted || Retrieving()) {
        a.prevX = 0.0;
        const double dx = p.x != 0.0 ? p.x : 1.0;
        double angle = std::atan((p.y - a.prevY) / dx) * 58.0;
        a.prevAngle = std::abs(angle) < 0.01 ? 0.0 : std::abs(angle);
    } else if (curve) {
        accepted = AcAutoStepAccepts(p);
    } else {
        a.step *= 2.0;
    }
    int saved = 0;
    if (accepted) {
        ++a.acceptedCount;
        ++AnalogSolver().acceptedPointCount;
        if (RunControl().runDataMode == kRunDataSave) saved = SaveRunDataPoint(a.f, AnalogSolver().backupSolution);
        if (RunServices().plotPoint) RunServices().plotPoint(window);
        if (p.outsideX) a.freeAcceptances = -2;
        a.fBeforePrev = a.fPrev;
        a.fPrev = a.f;
        Analysis().variables.previousFrequency = a.f;
        a.prevX = p.x;
        a.prevY = p.y;
        ++a.freeAcceptances;
        a.firstAccepted = true;
    }
    PollRunKeys(window, 6);
    return RunControl().lastKey == kEscapeKey ? kMsgStopped : saved;
}

// The run data file of the run, with the noise flag as its kind. A Retrieve whose file does not
// fit (reported) computes and saves the run instead; in probe mode the run ends.
int OpenAcRunData()
{
    RunControlState& rc = RunControl();
    // The noise of each frequency is worked out from the circuit's operating point and its own
    // solve, neither of which the file keeps: a noise run is computed again, not replayed as the
    // noise of nothing.
    if (AcRun().noise && rc.runDataMode == kRunDataRetrieve && rc.probeState == kProbeNone) rc.runDataMode = kRunDataNormal;
    int result = OpenSimulationDataFile(RunDataFile().recordCounter, AcRun().noise);
    if (result != kMsgReported) return result;
    if (rc.probeState != kProbeNone) {
        rc.runDataMode = kRunDataNormal;
        CloseSimulationDataFile();
        return kMsgReported;
    }
    rc.runDataMode = kRunDataSave;
    AnalogSolver().stopFlag = 0;
    return OpenSimulationDataFile(RunDataFile().recordCounter, AcRun().noise);
}

// Retrieve mode: the next stored frequency and its solution. 0 or a file error; the end of the
// stored points sets the stop flag.
int RetrieveAcPoint()
{
    AcRunState& a = AcRun();
    AnalogSolverState& s = AnalogSolver();
    // Without a computed operating point the complex solution has not been sized yet.
    const std::size_t length = 2 * (static_cast<std::size_t>(std::max(EquationCount(), 0)) + 3);
    try {
        if (s.backupSolution.size() < length) s.backupSolution.resize(length, 0.0);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    double x = a.fPrev;
    double step = 0.0;
    if (int rc = ReadRunDataPoint(RunDataFile().recordCounter, x, step, s.backupSolution)) return rc;
    if (s.stopFlag) return 0;
    a.f = x;
    if (a.sweepKind == kFrequencyStepAuto) a.step = step;
    AcStampState& st = AcStamps();
    st.frequency = a.f;
    st.omega = a.f > 0.0 ? kTwoPi * a.f : kOmegaAtZero;
    Analysis().variables.frequency = a.f;
    RunControl().analysisFrequency = a.f;
    PublishSolution();
    // Device currents are not stored: they follow from the replayed solution as in a run.
    if (a.deviceQuantities) {
        st.solution = std::span<const double>(s.backupSolution);
        if (int rc = ComputeAcDeviceCurrents()) return rc;
    }
    return 0;
}

}  // namespace

AcRunState& AcRun()
{
    static AcRunState state;
    return state;
}

void ResetAcRunForTests() { AcRun() = AcRunState(); }

int SetupAcAnalysis()
{
    AcRunState& a = AcRun();
    a.operatingPointNoiseOutput = a.operatingPointNoiseInput = {-1, -1};
    a.operatingPointTemperature = -1e30;
    a.operatingPointCases = -1;
    a.operatingPointValid = a.systemReady = false;
    a.operatingPointNoise = 0;
    WindowRecord* circuit = RunControl().circuitWindow;
    if (circuit && circuit->plot) {
        std::int32_t& options = PlotViewOf(circuit->plot).optionWord[kAnalysisAc];
        if (options == 0) options = 120;
    }
    if (int rc = OpenRunWindow()) return rc;
    a.keepDeviceStates = false;
    return OpenRunLimitsDialog();
}

int ReadAcSweepLimits()
{
    AcRunState& a = AcRun();
    double high = 0.0, low = 0.0, third = 0.0;
    int count = 0;
    if (int rc = ParseLimitsFieldValues(kLimitFRange, high, low, third, count)) return rc;
    a.fHigh = high;
    a.fLow = count >= 2 ? low : high;
    const std::string rangeText = AcLimitText(kLimitFRange);
    if (a.sweepKind == kFrequencyStepLog && (a.fHigh == 0.0 || a.fLow == 0.0)) {
        ReportAnalysisFailure(kFocusLimitsField, kLimitFRange, rangeText.c_str(), kMsgLogStepZeroLimit);
        return kMsgReported;
    }
    if (count >= 2) {
        double n = 0.0, unused = 0.0;
        int c = 0;
        const int rc = ParseLimitsFieldValues(kLimitANPts, n, unused, third, c);
        const double asked = rc == 0 && c >= 1 && n > 5.0 ? std::round(n) : 5.0;
        if (int check = CheckRunPointCount(kLimitANPts, asked)) return check;
        a.points = static_cast<int>(asked);
    } else {
        a.sweepKind = kFrequencyStepAuto;
        a.points = 1;
    }
    return 0;
}

int PrepareAcSweep()
{
    AcRunState& a = AcRun();
    AcStampState& st = AcStamps();
    if (RunControl().failureReported) return kMsgReported;
    a.endTolerance = a.fHigh / 1e10;
    if (a.fHigh < a.fLow) {
        const std::string rangeText = AcLimitText(kLimitFRange);
        ReportAnalysisFailure(kFocusLimitsField, kLimitFRange, rangeText.c_str(), kMsgHighBelowLow);
        return kMsgReported;
    }
    const double range = a.fHigh - a.fLow;
    double change = 0.0, unused = 0.0, third = 0.0;
    int count = 0;
    if (ParseLimitsFieldValues(kLimitAMaxChng, change, unused, third, count) != 0) count = 0;
    a.maxChange = count >= 1 && change / 100.0 > 0.0 ? change / 100.0 : 1.0;
    a.lowerBound = 0.4 * a.maxChange;
    switch (a.sweepKind) {
    case kFrequencyStepLinear:
        if (a.points <= 0) a.points = 51;
        a.linearStep = a.points > 1 ? range / (a.points - 1) : range;
        break;
    case kFrequencyStepLog:
        if (a.points <= 0) a.points = 10;
        a.logFactor = a.fLow == 0.0 || a.points < 2 ? 1.0 : std::pow(a.fHigh / a.fLow, 1.0 / (a.points - 1));
        break;
    default:
        a.initialStep = range != 0.0 ? a.maxChange * range : a.maxChange * a.fHigh;
        if (a.fLow > 0.0) a.initialStep = std::min(a.initialStep, 0.1 * a.fLow);
        break;
    }
    st.noiseMode = a.noise;
    return ReadNoiseEnds();
}

int ReadNoiseEnds()
{
    AcStampState& st = AcStamps();
    if (!AcRun().noise) return 0;
    int first = 0, second = 0;
    if (int rc = ReadNoiseInput(AcLimitText(kLimitNInput), st.noiseInputDevice, first, second)) return rc;
    st.noiseInputNodes = {first, first == second ? 0 : second};
    if (int rc = ReadNoiseOutput(AcLimitText(kLimitNOutput), first, second)) return rc;
    st.noiseOutputNodes = {first, first == second ? 0 : second};
    return 0;
}

void NextFrequency()
{
    AcRunState& a = AcRun();
    switch (a.sweepKind) {
    case kFrequencyStepLinear: a.f = a.fPrev + a.linearStep; break;
    case kFrequencyStepLog: a.f = a.fPrev * a.logFactor; break;
    default: a.f = a.fPrev + a.step; break;
    }
    if (a.f > a.fHigh) a.f = a.fHigh;
    AcStampState& st = AcStamps();
    st.frequency = a.f;
    st.omega = a.f > 0.0 ? kTwoPi * a.f : kOmegaAtZero;
    Analysis().variables.frequency = a.f;
    RunControl().analysisFrequency = a.f;
}

int SolveAcPoint()
{
    AnalogSolverState& s = AnalogSolver();
    AcStampState& st = AcStamps();
    AcRunState& a = AcRun();
    const int limit = std::max(1, GlobalOptions().values.itl4);
    for (int pass = 0; pass < limit; ++pass) {
        st.iterationRequest = 0;
        if (int rc = LoadCircuitAc()) return rc;
        if (st.noiseMode) PublishExcitation();
        if (int rc = SolveComplexSystem(s.backupSolution)) return rc;
        PublishSolution();
        if (a.deviceQuantities)
            if (int rc = ComputeAcDeviceCurrents()) return rc;
        if (!st.iterationRequest) return 0;
        s.nonConvergedCount = 0;
        const std::size_t n = std::min(s.backupSolution.size(), s.previousSolution.size());
        for (std::size_t i = 2; i < n; ++i)
            if (CheckValueConverged(s.backupSolution[i], s.previousSolution[i])) break;
        if (s.nonConvergedCount == 0) return 0;
        std::copy_n(s.backupSolution.begin(), n, s.previousSolution.begin());
    }
    return kMsgFailedAtTime;
}

int PrepareAcOperatingPoint(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    AcRunState& a = AcRun();
    const AcStampState& st = AcStamps();
    const double temperature = RunControl().temperature.current;
    const bool temperatureChanged = std::abs(temperature - a.operatingPointTemperature) > 0.001;
    const bool noiseNodesDiffer =
        a.noise && (st.noiseOutputNodes != a.operatingPointNoiseOutput || st.noiseInputNodes != a.operatingPointNoiseInput);
    // A stepped or Monte Carlo case has a circuit of its own.
    const AnalysisRunState& plan = RunState();
    const bool caseChanged = (plan.steppingActive || plan.monteCarloActive) && a.operatingPointRun != CurrentRunRecordIndex();
    const bool recompute = !a.operatingPointValid || temperatureChanged || noiseNodesDiffer || caseChanged ||
                           a.noise != a.operatingPointNoise || !a.systemReady;
    if (!recompute || Retrieving()) return 0;

    a.keepDeviceStates = false;
    if (DeviceServices().resetMosfetOperatingValues) DeviceServices().resetMosfetOperatingValues();
    FreeAllStampSets();
    a.operatingPointValid = a.systemReady = false;
    const std::uint32_t options = AcOptions();
    ReadTransientRunOptions(options & ~kRunOptionOperatingPointOnly);
    s.hooks.computeIntegrationCoefficients = ComputeIntegrationCoefficients;
    s.hooks.reinitializeRunStates = ReinitializeRunStates;
    if (int rc = PrepareAnalogSolver(true, s.operatingPointSet, true)) return rc;
    s.operatingPointFlag = (options & kRunOptionOperatingPoint) ? 1 : 0;
    s.acComputesBias = s.operatingPointFlag;
    s.noOperatingPoint = 0;
    s.step = 1000.0;
    s.setupDone = 1;
    s.runPhase = kPhaseOperatingPoint;
    s.runKind = kRunKindAc;
    int rc = TransientTimeLoop(window);
    if (rc == 0 && DeviceServices().solveCores) rc = DeviceServices().solveCores();
    s.operatingPointFlag = 0;
    a.operatingPointTemperature = temperature;
    a.operatingPointRun = CurrentRunRecordIndex();
    a.keepDeviceStates = true;
    a.operatingPointValid = rc == 0;
    return rc;
}

void AbortAcRun()
{
    AcRunState& a = AcRun();
    FreeAllStampSets();
    a.operatingPointValid = a.systemReady = false;
    AcStamps().noiseInputNodes = {-2, -2};
    AcStamps().noiseInputDevice = nullptr;
    AcStamps().matrix = nullptr;
    AcStamps().stamps = nullptr;
    RunControl().lastKey = kEscapeKey;
    AnalogSolver().stopFlag = 1;
}

bool AcAutoStepAccepts(const AcPlotPosition& p)
{
    AcRunState& a = AcRun();
    const double dy = std::abs(p.y - a.prevY) / (p.height > 0.0 ? p.height : 1.0);
    double dx = p.x - a.prevX;
    if (dx == 0.0) dx = 1.0;
    double angle = std::atan((p.y - a.prevY) / dx) * 58.0;
    if (std::abs(angle) < 0.01) angle = 0.0;
    const double angleChange = std::abs(std::abs(angle) - a.prevAngle) / 90.0;
    bool accept = true;
    if (dy < a.lowerBound || angleChange < a.lowerBound || a.freeAcceptances < 0) {
        a.step *= 2.0;
        a.rejections = 0;
    } else if (dy > a.maxChange && angleChange > a.maxChange) {
        if (++a.rejections > kMaxRejections) {
            a.rejections = 0;
        } else if (a.step / (a.f + 1e-6) > 1e-10) {
            a.step /= 2.0;
            a.f = a.fPrev;
            accept = false;
        }
    } else {
        a.rejections = 0;
    }
    a.pointRejected = !accept;
    if (accept) a.prevAngle = std::abs(angle);
    return accept;
}

std::uint32_t FrequencyStepKind()
{
    const std::uint32_t kind = AcOptions() & kFrequencyStepMask;
    return kind == kFrequencyStepMask ? kFrequencyStepLog : kind;
}

int AcAnalysisRun()
{
    AcRunState& a = AcRun();
    AcStampState& st = AcStamps();
    WindowRecord* window = RunControl().analysisWindow;
    st.noiseOutputNodes = {0, 0};
    AnalogSolver().time = 0.0;
    AnalogSolver().hooks.computeIntegrationCoefficients = ComputeIntegrationCoefficients;

    int rc = BeginAnalysisRun();
    if (rc) return FinishAnalysisRun(nullptr, rc);
    // The run's counts, over all its cases; nothing of an earlier run stays in them.
    ClearRunCounts();
    a.sweepKind = FrequencyStepKind();
    rc = ReadAcSweepLimits();
    ReadTemperatureRange(kLimitATemp);
    if (!rc) rc = CheckRunTemperatures(kLimitATemp);
    PlanRunSizes(1);
    AnalysisRunServices& services = RunServices();
    if (!rc && !RunControl().failureReported && services.setupPlots) rc = services.setupPlots(window);
    if (!rc) rc = CheckNoiseCurves(window);
    if (!rc && !RunControl().failureReported) rc = OpenAcRunData();
    if (!rc) rc = PrepareAcSweep();
    Analysis().variables.fmin = a.fLow;
    Analysis().variables.fmax = a.fHigh;
    if (!rc && services.beginPlotWindowRun) rc = services.beginPlotWindowRun(window);

    if (!rc && !RunControl().failureReported) {
        int out1 = 0, out2 = 0;
        ResetRunState(out1, out2);
        rc = RunTemperatureAndCases(window, {AcRunCase, a.points, false, false});
    }

    RunControl().pauseDisplay = 0;
    if (rc == 0 && RunControl().lastKey == kEscapeKey) rc = kMsgStopped;
    if (RunControl().failureReported) {
        rc = kMsgReported;
    } else if (rc == kMsgFailedAtTime) {
        ReportMessage("E", kMsgFailedDcOperatingPoint);
        rc = kMsgReported;
    }
    return FinishAnalysisRun(nullptr, rc);
}

int AcRunCase(WindowRecord* window)
{
    AcRunState& a = AcRun();
    AcStampState& st = AcStamps();
    AnalysisRunServices& services = RunServices();
    a.step = a.initialStep;
    a.prevX = 0.0;
    a.freeAcceptances = -2;
    a.rejections = 0;
    a.fPrev = 0.0;
    a.f = 1e-6;
    a.acceptedCount = 0;

    int rc = PrepareAcOperatingPoint(window);
    if (rc) {
        AbortAcRun();
        return rc;
    }
    // A replayed run solves no operating point: it has none to report.
    WriteRunOutput(window, Retrieving() ? 0 : 1);
    a.operatingPointNoiseOutput = st.noiseOutputNodes;
    a.operatingPointNoiseInput = st.noiseInputNodes;
    a.operatingPointNoise = a.noise;

    // Retrieved points need no complex system.
    if (!Retrieving()) {
        if ((rc = BuildComplexSystem()) != 0) {
            AbortAcRun();
            return rc;
        }
        a.systemReady = true;
        if ((rc = AllocateNoiseTable()) != 0) {
            AbortAcRun();
            return rc;
        }
    }

    switch (a.sweepKind) {
    case kFrequencyStepLinear: a.fPrev = a.fLow - a.linearStep; break;
    case kFrequencyStepLog: a.fPrev = a.logFactor > 0.0 ? a.fLow / a.logFactor : a.fLow; break;
    default: a.fPrev = a.fLow - a.step; break;
    }
    a.firstAccepted = false;
    SetHelpBarMessageId(nullptr, kTextRunningAc);

    bool stop = false;
    int counted = 0;
    while (!stop && !(a.acceptedCount > 0 && std::abs(a.f - a.fHigh) <= a.endTolerance)) {
        if (Retrieving()) {
            if ((rc = RetrieveAcPoint()) != 0) return rc;
            if (AnalogSolver().stopFlag) return 0;
        } else {
            NextFrequency();
            if ((rc = SolveAcPoint()) != 0) {
                if (rc != kMsgFailedAtTime) AbortAcRun();
                return rc;
            }
            if ((rc = BuildNoiseSources()) != 0) return rc;
        }
        if (counted++ == 0) UpdateExpressionStates(window, true);
        if (services.evaluateCurves)
            if ((rc = services.evaluateCurves(window)) != 0) return rc;
        stop = RunStopRequested() != 0;
        bool accepted = false;
        if ((rc = AcceptAcPoint(window, accepted)) != 0) return rc;
        RunControl().lastKey = 0;
        if (accepted && std::abs(a.fPrev - a.fHigh) <= a.endTolerance) break;
    }
    return 0;
}

void FreeAcRunTables()
{
    FreeNoiseTable();
    ClearTimeBreakpoints();
}

}  // namespace kq5
