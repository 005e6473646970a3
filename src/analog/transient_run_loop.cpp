// The time loop of the transient run: one pass computes the operating point (phase 1, or the
// bias of an AC run) or advances time point by point (phase 2).
#include <algorithm>
#include <cmath>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/charge_integration.h"
#include "analog/device_dispatch.h"
#include "analog/device_run_services.h"
#include "analog/integration.h"
#include "analog/limiting_commit.h"
#include "analog/operating_point.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "analog/digital_run_services.h"
#include "core/digital_node_states.h"
#include "netlist/global_options.h"
#include "analog/analysis_run_services.h"

namespace kq5 {

namespace {

constexpr int kMsgReported = 15055;
constexpr int kMsgStopped = 15056;
// Factor of a step cut after a failed Newton solve (a half with Laplace sources, whose
// convolution needs gentler steps).
constexpr double kFailedSolveCut = 0.125;
constexpr double kFailedSolveCutLaplace = 0.5;
constexpr int kMaxRetries = 10;
// A point is tried by continuation after this many failed solves without progress (each cutting
// the step), or after any failed solve once the step is below this fraction of h0.
constexpr int kFailedSolvesBeforeContinuation = 3;
constexpr double kContinuationStep = 1e-9;

TimeBreakpointRecord* Head() { return ListHead<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList)); }

void ShiftStepHistory(double used)
{
    auto& h = AnalogSolver().stepHistory;
    for (int k = static_cast<int>(h.size()) - 2; k >= 0; --k)
        h[static_cast<std::size_t>(k + 1)] = h[static_cast<std::size_t>(k)];
    h[0] = used;
}

// Removes the plain entries of the queue with a tick from `first` to `last`. Digital node
// events stay: the event processing takes them off the queue when it applies them.
void RemovePlainBreakpoints(std::uint32_t first, std::uint32_t last)
{
    LinkedList& queue = DeviceList(kTimeBreakpointList);
    TimeBreakpointRecord* before = nullptr;
    for (TimeBreakpointRecord* entry = Head(); entry && entry->time <= last;) {
        TimeBreakpointRecord* next = ListNext(entry);
        if (entry->nodeEvent || entry->time < first) {
            before = entry;
        } else if (!before) {
            RemoveFirstTimeBreakpoint();
        } else {
            // Unlinked after its known predecessor: no walk from the head.
            before->next = next;
            if (queue.tail == entry) queue.tail = before;
            --queue.count;
            delete entry;
        }
        entry = next;
    }
}

// Plain entries the run has already passed (before the time of the last accepted point) can
// never be landed on; they would hold back every later breakpoint.
void DropPassedBreakpoints() { RemovePlainBreakpoints(0, TransientRun().digitalTime); }

// Removes the plain entries at the tick landed on (the node events there have been applied).
void RemoveLandedBreakpoints(std::uint32_t at)
{
    RemovePlainBreakpoints(at, at);
    Breakpoints().landing = false;
}

bool HasDigitalDevices() { return DigitalSimulator().deviceCount > 0; }

// A failure of the digital side that has not been reported yet is reported with the time.
int ReportDigitalFailure(WindowRecord* window, int rc)
{
    if (rc == 0 || rc == kMsgReported || rc == kMsgStopped || rc == 15002) return rc;
    ReportMessage("WE", window, rc, AnalogSolver().time);
    return kMsgReported;
}

// The digital events due at the point's tick, before the analog solve. 0 or a reported id.
int ProcessDigitalPoint(WindowRecord* window)
{
    if (!HasDigitalDevices()) return 0;
    const auto& process = DigitalRunServices().processEvents;
    const int rc = process ? process(AnalogSolver().time, TransientRun().digitalTime) : 0;
    if (rc == kMsgDigitalNoConvergence) {
        ReportMessage("WE", window, kMsgDigitalNoConvergence, AnalogSolver().time);
        return kMsgReported;
    }
    return rc;
}

// The accepted point: states, histories and the step. 0 or a reported id.
int CommitAcceptedPoint(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    TransientRunState& t = TransientRun();
    if (s.hasAnalogNodes && s.eventState == kEventAnalogPoint) {
        SaveAcceptedPoint();
        ShiftStateHistories();
        const DeviceRunServices& devices = DeviceServices();
        if (devices.pruneLineHistories)
            if (int rc = devices.pruneLineHistories()) return rc;
        CommitMosfetVoltageHistory();
        if (devices.commitUserSourceIndices) devices.commitUserSourceIndices();
        if (devices.acceptTableSourceStates) devices.acceptTableSourceStates();
        if (devices.saveSampleHoldValues) devices.saveSampleHoldValues();
    }
    ShiftStepHistory(t.usedStep);
    s.lastAcceptedTime = s.time;
    t.acceptedDigitalTime = t.digitalTime;
    if (!HasDigitalDevices()) return 0;
    // The interfaces follow the accepted point before its digital logs are closed, so that
    // what they start belongs to this point.
    const auto& accept = DigitalRunServices().acceptPoint;
    const int rc = accept ? accept(s.time, s.acceptedPointCount == 0, t.digitalTime) : 0;
    return ReportDigitalFailure(window, rc);
}

// The operating point of the pass (phase 1, or the AC bias).
int OperatingPointPass(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    TransientRunState& t = TransientRun();
    const GlobalOptionValues& o = GlobalOptions().values;
    s.time = s.runKind == kRunKindTransient ? t.tmin : 0.0;
    t.digitalTime = 0;
    if (int rc = StartDigitalParts(s.time)) return ReportDigitalFailure(window, rc);
    ClearIntegrationCoefficients();
    if (DeviceServices().evaluateSourcesAtTime)
        if (int rc = DeviceServices().evaluateSourcesAtTime()) return rc;
    if (s.runKind != kRunKindDcSweep) {
        s.iterationMode = t.stateVariables == kStateVariablesRead ? kModeNormal : kModeInitJunctions;
        if (s.runKind == kRunKindAc && !s.acComputesBias) {
            // An AC run without an operating point takes the stored or zero state as its bias.
            s.noOperatingPoint = 1;
            s.iterationMode = kModeNormal;
            s.runPhase = kPhaseAcBias;
        }
    }

    int rc = SolveOperatingPoint(window, o.itl1);
    s.iterationTotal += s.iterationCount;
    if (rc == kMsgFailedAtTime) {
        if (int r = ReinitializeRunStates()) return r;
        s.iterationMode = kModeInitJunctions;
        rc = SourceStepOperatingPoint(window, o.itl1);
    }
    // The AC and DC runs report a failed operating point in their own words.
    if (rc == kMsgFailedAtTime && s.runKind == kRunKindTransient) {
        ReportMessage("WE", window, kMsgFailedAtTime, s.time);
        return kMsgReported;
    }
    if (rc) return rc;
    // The events at the start of the run (stimuli at 0) take effect at the start.
    if (s.runKind == kRunKindTransient)
        if (int r = ProcessDigitalPoint(window)) return r;
    if (HasDigitalDevices() && DigitalRunServices().resetChangeLog) DigitalRunServices().resetChangeLog();
    t.operatingPointComputed = !s.noOperatingPoint;
    if (s.runPhase == kPhaseOperatingPoint && s.operatingPointFlag) {
        // One more load stores the bias values that reports and AC stamps read.
        s.iterationMode = kModeSmallSignal;
        rc = LoadCircuit();
    }
    return rc;
}

// Newton's limit at a time point: ITL1 for a first point not started from an operating point.
int PointIterationLimit(bool firstPoint)
{
    const GlobalOptionValues& o = GlobalOptions().values;
    return firstPoint && !TransientRun().operatingPointComputed ? o.itl1 : o.itl4;
}

// Solves one attempt of the point at s.time; 0, or an id that ends the pass.
int SolvePointAttempt(WindowRecord* window, bool firstPoint)
{
    AnalogSolverState& s = AnalogSolver();
    const GlobalOptionValues& o = GlobalOptions().values;
    if (DeviceServices().evaluateSourcesAtTime)
        if (int rc = DeviceServices().evaluateSourcesAtTime()) return rc;
    if (s.stopFlag) return kMsgStopped;
    if (o.itl5 != 0 && s.iterationTotal >= o.itl5) {
        ReportMessage("WE", window, kMsgIterationLimit, o.itl5);
        s.stopFlag = 1;
        return kMsgReported;
    }
    if (int rc = ProcessDigitalPoint(window)) return rc;
    if (!s.hasAnalogNodes) return 0;
    if (s.eventState == kEventAnalogPoint) ComputeIntegrationCoefficients();
    if (s.iterationMode != kModeFirstTimePoint) s.iterationMode = kModePredictor;
    return SolveOperatingPoint(window, PointIterationLimit(firstPoint));
}

// The step the truncation error allows after a converged point, lowered by the step
// requests of the loads.
double NextStepEstimate()
{
    const AnalogSolverState& s = AnalogSolver();
    const TransientRunState& t = TransientRun();
    double next = TruncationStepEstimate(t.initialStep);
    // The magnetic cores bound the next step to a multiple of the present one, so that the
    // magnetisation moves by about the core tolerance per step.
    next = std::min(next, s.coreStepBound * s.step);
    if (DeviceServices().lossyLineStepLimit) next = DeviceServices().lossyLineStepLimit(next);
    // The table sources and the digital interface ask for a smaller step by lowering their
    // factor below 1; a factor left at 1 (where every load pass starts) asks for nothing.
    for (int which : {kStepFactorTableSource, kStepFactorDigitalInterface}) {
        const double factor = s.stepFactors[static_cast<std::size_t>(which)];
        if (factor < 1.0) next = std::min(next, factor * s.step);
    }
    return next;
}

bool Retrieving() { return RunControl().runDataMode == kRunDataRetrieve; }

// The next point of the run data file in Retrieve mode: time, step and solution. 0 or a file
// error; the end of the file sets the stop flag.
int RetrievePoint()
{
    AnalogSolverState& s = AnalogSolver();
    double step = 0.0;
    const int rc = ReadRunDataPoint(RunDataFile().recordCounter, s.time, step, SolutionVector());
    if (rc || s.stopFlag) return rc;
    s.step = step;
    Analysis().variables.time = s.time;
    Analysis().variables.dt = step;
    return 0;
}

// Retrieve mode: the stored points are output one after another until Tmax or the end of
// the file. No point is solved or committed.
int RetrievedPointsPass(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    const TransientRunState& t = TransientRun();
    for (;;) {
        if (int rc = RetrievePoint()) return rc;
        if (s.stopFlag) return 0;
        ++s.acceptedPointCount;
        if (int rc = OutputTransientPoint(window)) return rc;
        if (std::abs((s.time - t.tmax) / t.tmax) < 1e-6) return 0;
        PollRunKeys(window, 6);
        if (RunControl().lastKey == kEscapeKey) return 0;
    }
}

// The time steps of the run (phase 2).
int TimeStepPass(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    TransientRunState& t = TransientRun();
    BreakpointState& bp = Breakpoints();
    ClearRunCounts();
    if (Retrieving()) return RetrievedPointsPass(window);
    s.iterationMode = kModeSmallSignal;
    if (s.hasAnalogNodes)
        if (int rc = LoadCircuit()) return rc;
    s.order = 1;
    bp.landing = true;
    double step = t.initialStep;
    s.iterationMode = kModeFirstTimePoint;
    ClampToMaximumStep(step);
    s.stepHistory.fill(step);
    s.step = step;
    t.usedStep = step;
    s.lastAcceptedTime = s.time = t.tmin;
    t.digitalTime = t.acceptedDigitalTime = 0;
    t.retryCounter = 0;
    s.eventState = kEventAnalogPoint;
    s.coreStepBound = kNoCoreStepBound;
    s.coreFailed = 0;

    // Failed solves since a point was accepted with a step as long as the last one that failed.
    // A run that cuts its step, creeps forward at the short steps and fails again as soon as
    // they grow is stuck at one point even though its failures alternate with accepted points
    // (the unloaded output of a gate chain, whose gate-drain charge vanishes in saturation, is
    // such a point: the shorter the step, the larger the charge's slope that Newton does not see).
    int failedSolves = 0;
    double failedStep = 0.0;
    for (bool firstLoop = true;; firstLoop = false) {
        // Output and commit of the point reached (the operating point on the first loop).
        const bool atEnd = !Head() || t.digitalTime + 1 >= bp.endTick;
        const bool output = s.acceptedPointCount > 0 || (firstLoop && t.operatingPointComputed);
        if (output)
            if (int rc = OutputTransientPoint(window)) return rc;
        if (int rc = CommitAcceptedPoint(window)) return rc;
        // An AtoD that read a new level at this point changed the digital states here: the
        // curves take them at this time, not one step later with the next point.
        const auto& changed = DigitalRunServices().acceptChangedStates;
        if (output && HasDigitalDevices() && changed && changed())
            if (int rc = OutputTransientPoint(window, true)) return rc;
        if (atEnd) return 0;

        // Landing on a breakpoint: drop every entry at its time and start again at order 1.
        const bool landed = bp.landing;
        if (landed) {
            s.order = 1;
            const std::uint32_t at = t.digitalTime;
            RemoveLandedBreakpoints(at);
            if (!Head() || t.digitalTime + 1 >= bp.endTick) return 0;
        }
        DropPassedBreakpoints();

        // After a breakpoint the next step is at most a tenth of the way to the next one
        // (and of h0), a tenth of that again on the very first point.
        step = firstLoop ? step : t.plannedStep;
        if (landed && Head() && Head()->eventFlag == 0) {
            const double distance = TickToTime(Head()->time) - s.time;
            const double cut = 0.1 * std::min(distance, t.initialStep);
            if (cut < step) step = std::max(cut, t.minimumStep);
        }
        if (firstLoop) step /= 10.0;
        ClampToMaximumStep(step);
        s.stepHistory[0] = step;

        // Attempts at the next point.
        for (bool firstAttempt = true;; firstAttempt = false) {
            if (s.stepHistory[1] == 0.0) s.stepHistory[1] = step;
            if (firstAttempt) {
                s.time = s.lastAcceptedTime;
                AlignStepToNextEvent(step);
            }
            s.stepHistory[0] = step;
            s.step = step;
            s.predictorRatio = step / s.stepHistory[1];
            s.predictorScale = s.predictorRatio + 1.0;
            s.time = s.lastAcceptedTime + step;
            if (!bp.landing)
                t.digitalTime = static_cast<std::uint32_t>(std::ceil((s.time - bp.origin) / bp.tick));
            Analysis().variables.time = s.time;
            Analysis().variables.dt = step;

            const bool firstPoint = s.acceptedPointCount == 0;
            int rc = SolvePointAttempt(window, firstPoint);
            const bool failed = rc == 0 && s.notConverged && s.hasAnalogNodes && s.eventState == kEventAnalogPoint;
            if (failed) failedStep = step;
            if (failed &&
                (++failedSolves >= kFailedSolvesBeforeContinuation || step < kContinuationStep * t.initialStep)) {
                // A shorter step steadies only the nodes that hold charge. Where a node holds
                // none (a chain of gates without capacitance switching as its input crosses the
                // threshold), the solve swings through the same gain at any step, and cutting
                // the step for ever ends the run. Once cuts have not helped, the point is tried
                // by continuation before the next cut.
                rc = SolveTimePointByContinuation(window, PointIterationLimit(firstPoint));
            }
            if (rc == kMsgStopped) {
                s.stopFlag = 1;
                return 0;
            }
            if (rc) return rc;
            if (s.stopFlag || RunControl().lastKey == kEscapeKey) return 0;

            bool accept = true;
            double next = step;
            if (s.hasAnalogNodes) {
                s.iterationTotal += s.iterationCount;
                if (firstPoint) InitStateHistories();
                if (t.hasLaplaceSources && !firstPoint) s.order = 2;
                if (s.notConverged || s.coreFailed) {
                    s.order = 1;
                    s.notConverged = 0;
                    s.coreFailed = 0;
                    next = step * (t.hasLaplaceSources ? kFailedSolveCutLaplace : kFailedSolveCut);
                    accept = false;
                } else if (!firstPoint) {
                    if (DeviceServices().tableSourceStepRatio) DeviceServices().tableSourceStepRatio();
                    next = NextStepEstimate();
                    if (next >= 0.9 * step) {
                        t.retryCounter = 0;
                    } else {
                        t.retryCounter = std::min(t.retryCounter + 1, kMaxRetries);
                        accept = false;
                    }
                    // An AtoD interface crossed a threshold well inside the step: the step is
                    // retried to end just past the threshold, so that the state changes there.
                    const double crossing = s.stepFactors[static_cast<std::size_t>(kStepFactorDigitalInterface)];
                    if (accept && HasDigitalDevices() && crossing < 1.0 - GlobalOptions().values.reltol) {
                        next = crossing * step;
                        accept = false;
                    }
                }
            } else if (s.acceptedPointCount > 0) {
                next = std::max(std::min(2.0 * step, t.initialStep), step);
            }

            if (accept) {
                if (step >= failedStep) failedSolves = 0;
                ++s.acceptedPointCount;
                t.usedStep = step;
                t.plannedStep = next;
                if (s.hasAnalogNodes && s.order == 1 && s.acceptedPointCount > 1) {
                    // Try order 2: it stays only when its estimate beats the step clearly.
                    s.order = 2;
                    t.plannedStep = NextStepEstimate();
                    if (t.plannedStep <= 1.05 * step) s.order = 1;
                }
                if (s.hasAnalogNodes && DeviceServices().lossyLineLandingStep)
                    t.plannedStep = DeviceServices().lossyLineLandingStep(t.plannedStep);
                break;
            }

            // Rejected: back to the last accepted point with the smaller step.
            ++t.rejectedCount;
            bp.landing = false;
            if (HasDigitalDevices() && DigitalRunServices().rejectPoint) DigitalRunServices().rejectPoint();
            if (DeviceServices().commitCoreStates) DeviceServices().commitCoreStates(2);
            RestoreRejectedStepStates();
            if (DeviceServices().restoreSampleHoldValues) DeviceServices().restoreSampleHoldValues();
            s.time = s.lastAcceptedTime;
            t.digitalTime = t.acceptedDigitalTime;
            step = next;
            ClampToMaximumStep(step);
            AlignStepToNextEvent(step);
            if (step < t.minimumStep) {
                s.time += step;
                s.lastAcceptedTime = s.time;
                ReportMessage("WE", window, kMsgStepTooSmall);
                s.stopFlag = 1;
                return kMsgReported;
            }
        }
    }
}

}  // namespace

void ClampToMaximumStep(double& step)
{
    const double maxStep = TransientRun().maxStep;
    if (maxStep > 0.0 && step > maxStep) step = maxStep;
}

void AlignStepToNextEvent(double& step)
{
    const AnalogSolverState& s = AnalogSolver();
    TransientRunState& t = TransientRun();
    BreakpointState& bp = Breakpoints();
    DropPassedBreakpoints();
    TimeBreakpointRecord* head = Head();
    if (!head) return;
    const double d = TickToTime(head->time) - s.time;
    ClampToMaximumStep(step);
    if (1.01 * step > d && d > t.minimumStep) {
        t.digitalTime = head->time;
        step = d;
        bp.landing = true;
    }
}

int TransientTimeLoop(WindowRecord* window)
{
    AnalogSolverState& s = AnalogSolver();
    s.order = 1;
    s.predictorRatio = 1.0;
    s.predictorScale = 1.0;
    s.eventState = kEventAnalogPoint;
    s.sourceFactor = 1.0;
    if (s.runPhase == kPhaseOperatingPoint || s.runPhase == kPhaseAcBias) return OperatingPointPass(window);
    const int rc = TimeStepPass(window);
    WriteConstantCapacitorRecords();
    if (DeviceServices().writeBehindDeviceReports) DeviceServices().writeBehindDeviceReports();
    return rc;
}

}  // namespace kq5
