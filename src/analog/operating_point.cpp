#include "analog/operating_point.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <string>

#include "core/analysis_state.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "analog/operating_point_states.h"
#include "analog/sparse_factor.h"
#include "analog/sparse_solve.h"
#include "ui/status_text.h"
#include "core/expr_math_errors.h"
#include "core/format.h"
#include "core/fp_flags.h"
#include "core/device_lists.h"
#include "core/message_reporter.h"
#include "platform/string_table.h"
#include "netlist/global_options.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

constexpr int kMsgFailedToConverge = 14190;
constexpr int kMsgStopped = kMsgStoppedByUser;
constexpr int kTextIterationStatus = 5365;  // "Calculating operating point, iteration %d"
constexpr int kTextLoweringSources = 5366;  // "   Lowering sources to %g%%."
constexpr int kTextRaisingSources = 5367;   // "Raising sources to %g%%."
constexpr int kEscape = 27;

template <class... Args>
void ShowStatus(int textId, Args... args)
{
    if (!StatusBarShown()) return;
    const auto text = FindStringTableText(textId);
    if (!text) return;
    SetStatusText(StrPrintf(std::string(*text).c_str(), args...));
}

bool EscapePressed(WindowRecord*)
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.hooks.pollRunKeys || s.hooks.pollRunKeys() != kEscape) return false;
    s.stopFlag = 1;
    return true;
}

bool HasNodesetRows() { return NetlistReader().initialConditions.anyNodeset; }

void CopySolution(const std::vector<double>& from, std::vector<double>& to)
{
    std::copy(from.begin(), from.begin() + std::min(from.size(), to.size()), to.begin());
}

bool UnknownsFinite(const std::vector<double>& x, int unknowns)
{
    const auto end = x.begin() + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(x.size()), unknowns + 1);
    return std::all_of(x.begin(), end, [](double v) { return std::isfinite(v); });
}

// An iterate that is not a number ends the solve as one that ran out of iterations: the last
// finite iterate is kept, the operating point goes on to its fallbacks and a time step is cut.
int AbandonIterate(std::vector<double>& x)
{
    AnalogSolverState& s = AnalogSolver();
    CopySolution(s.previousSolution, x);
    s.notConverged = 1;
    return s.runPhase == kPhaseOperatingPoint ? kMsgFailedToConverge : 0;
}

// The Newton loop of one solve: load, test, solve, repeat.
int NewtonIterations(WindowRecord* window, int iterationLimit)
{
    AnalogSolverState& s = AnalogSolver();
    std::vector<double>& x = SolutionVector();
    for (;;) {
        if (EscapePressed(window)) return kMsgStopped;
        s.bypassAllowed = s.iterationMode != kModePredictor && s.iterationCount >= 2 ? 1 : 0;
        // What the tests after the last solve counted; the load adds its own.
        const int carried = s.nonConvergedCount;
        if (int rc = LoadCircuit()) return rc;
        if (s.loadNotFinite) return AbandonIterate(x);
        const bool loadSettled = s.nonConvergedCount == carried;
        if (s.shuntConductance > 0.0) {
            for (MatrixElement* e : s.shuntElements) e->real += s.shuntConductance;
            for (const auto& [node, volts] : s.shuntAnchors)
                s.rhs[static_cast<std::size_t>(node)] += s.shuntConductance * volts;
        }
        if (s.operatingPointFlag) {
            if (!s.suppressIterationStatus && s.runKind != kRunKindDcSweep)
                ShowStatus(kTextIterationStatus, s.iterationCount);
            if (s.hooks.digitalOperatingPoint)
                if (int rc = s.hooks.digitalOperatingPoint()) return rc;
        }
        // A transient run that starts from its initial values needs no operating point.
        if (s.runPhase == kPhaseOperatingPoint && s.runKind == kRunKindTransient && s.noOperatingPoint) return 0;

        ++s.iterationCount;
        switch (s.iterationMode) {
        case kModeNormal:
            if (s.runPhase == kPhaseOperatingPoint && HasNodesetRows() && s.modeChangeLatch) {
                // One more iteration after the initialisation modes, with the nodesets released.
                s.nonConvergedCount = s.modeChangeLatch;
                s.modeChangeLatch = 0;
            }
            if (s.nonConvergedCount == 0 && (s.iterationCount > 1 || !s.solveFirst) &&
                (s.runPhase == kPhaseTimeSteps || s.runKind == kRunKindDcSweep || s.iterationCount > 2))
                return 0;
            break;
        case kModeInitJunctions:
            s.modeChangeLatch = 1;
            s.iterationMode = s.nonConvergedCount == 0 ? kModeNormal : kModeFixedInitial;
            break;
        case kModeFixedInitial:
            s.modeChangeLatch = 1;
            if (s.nonConvergedCount == 0) s.iterationMode = kModeNormal;
            break;
        default:
            s.iterationMode = kModeNormal;
            break;
        }
        if (s.runKind == kRunKindAc && !s.acComputesBias) return 0;
        if (s.iterationCount >= iterationLimit) {
            s.notConverged = 1;
            return s.runPhase == kPhaseOperatingPoint ? kMsgFailedToConverge : 0;
        }
        if (int rc = SolveLinearSystem(x)) {
            // A matrix that factored at the iterates before is made singular by this one (devices
            // driven far out of range, whose conductances swamp the rest of the circuit): the
            // iterate is abandoned, not the circuit.
            if (rc == kMatrixSingular && s.iterationCount > 1) return AbandonIterate(x);
            return rc;
        }
        if (!UnknownsFinite(x, s.unknownCount)) return AbandonIterate(x);

        const int kept = s.nonConvergedCount;
        s.nonConvergedCount = 0;
        // At a time point, a load that found every device settled lets the new solution be
        // judged now, even when the iterate it was made at was judged unsettled after its solve.
        const bool judgeNow = loadSettled && s.runPhase == kPhaseTimeSteps;
        if ((kept == 0 || judgeNow) && s.iterationCount > 1) {
            for (int node = 1; node <= s.nodeCount; ++node) {
                const auto i = static_cast<std::size_t>(node);
                if (CheckValueConverged(x[i], s.previousSolution[i])) break;
            }
        }
        // Devices judged on the new solution; not needed once it is known to be unsettled.
        s.judgingSettledLoad = judgeNow && s.iterationCount > 1 ? 1 : 0;
        if (s.nonConvergedCount == 0) CountNonConvergedAfterSolve();
        std::copy(x.begin(), x.begin() + std::min(x.size(), s.previousSolution.size()), s.previousSolution.begin());
        // A time point whose last load found every device settled and whose new solution passed
        // the tests is done: loading it once more would only confirm it.
        if (judgeNow && s.iterationCount > 1 && s.nonConvergedCount == 0 && s.iterationMode == kModeNormal) return 0;
    }
}

}  // namespace

int SolveOperatingPoint(WindowRecord* window, int iterationLimit)
{
    AnalogSolverState& s = AnalogSolver();
    int result = 0;
    for (;;) {
        s.diodeBjtLoadFlag =
            s.iterationMode == kModePredictor || (!s.operatingPointFlag && s.iterationCount < 2) ? 0 : 1;
        if (!s.hasAnalogNodes) {
            if (s.operatingPointFlag && s.hooks.digitalOperatingPoint) result = s.hooks.digitalOperatingPoint();
            if (result == 0 && EscapePressed(window)) result = kMsgStopped;
        } else if (!(s.eventState == kEventDigitalPoint && !s.operatingPointFlag)) {
            s.modeChangeLatch = 0;
            s.notConverged = 0;
            s.nonConvergedCount = 0;
            s.iterationCount = 0;
            result = NewtonIterations(window, iterationLimit);
        }
        if (result != 0 || s.eventState != kEventDigitalPoint) break;

        // A digital event point: when the digital side changed an interface, the analog side is
        // solved again over the shortened step.
        bool interfaceChanged = false;
        if (s.hooks.evaluateDigitalEvents) result = s.hooks.evaluateDigitalEvents(interfaceChanged);
        if (result != 0 || !interfaceChanged) break;
        s.step = std::min(s.step, s.time - s.lastAcceptedTime);
        if (s.hooks.computeIntegrationCoefficients) s.hooks.computeIntegrationCoefficients();
        s.eventState = kEventInterfaceResolve;
    }
    // The solver's own arithmetic is judged by its results (every iterate is checked for
    // values that are not numbers); what is reported here is an error an evaluation left.
    ClearFpFlags();
    if (result == 0) result = ReportPendingMathError();
    return result;
}

namespace {

int StepSources(WindowRecord* window, int iterationLimit)
{
    AnalogSolverState& s = AnalogSolver();
    const int itl1 = GlobalOptions().values.itl1;
    std::vector<double>& x = SolutionVector();
    auto finish = [&](int rc) {
        s.sourceFactor = 1.0;
        s.iterationMode = kModeInitJunctions;
        s.suppressIterationStatus = 0;
        return rc;
    };
    auto fail = [&]() {
        s.notConverged = 1;
        return finish(kMsgFailedToConverge);
    };

    s.iterationMode = kModeInitJunctions;
    s.suppressIterationStatus = 1;
    double factor = 0.0625;
    if (s.hooks.reinitializeRunStates)
        if (int rc = s.hooks.reinitializeRunStates()) return finish(rc);

    // Lowering: halve the sources until a solve converges (the first try at 1/32).
    int attempts = 0;
    while (s.notConverged) {
        factor *= 0.5;
        if (factor <= 1.0 / 512.0 || factor > 1.0) return fail();
        s.sourceFactor = factor;
        s.iterationMode = kModeInitJunctions;
        ShowStatus(kTextLoweringSources, factor * 100.0);
        const int rc = SolveOperatingPoint(window, iterationLimit);
        if (rc == kMsgInsufficientMemory || rc == kMsgStopped) return finish(rc);
        if (rc != kMsgFailedToConverge) break;
        s.iterationTotal += s.iterationCount;
        if (++attempts > itl1) break;
    }

    // Raising: from the last factor that converged, by a factor that shrinks on each failure.
    // The last good solution is kept here, not in the saved solution: a DC sweep extrapolates
    // its next point from the saved and older solutions of its accepted points.
    double raise = 2.0;
    double lastGood = factor;
    std::vector<double> good(x);
    for (;;) {
        attempts = 0;
        while (!s.notConverged) {
            lastGood = factor;
            CopySolution(x, good);
            factor = factor * raise >= 1.0 ? 1.0 : factor * raise;
            s.sourceFactor = factor;
            s.iterationMode = kModeFixedInitial;
            ShowStatus(kTextRaisingSources, factor * 100.0);
            int rc = SolveOperatingPoint(window, iterationLimit);
            if (rc == kMsgInsufficientMemory || rc == kMsgStopped) return finish(rc);
            s.iterationTotal += s.iterationCount;
            if (++attempts > itl1) break;
            if (!s.notConverged && std::fabs(factor - 1.0) < 0.001) {
                factor = 1.0;
                s.sourceFactor = 1.0;
                for (int tries = 0; tries < itl1; ++tries) {
                    rc = SolveOperatingPoint(window, iterationLimit);
                    if (!s.notConverged) break;
                }
                return finish(rc);
            }
        }
        factor = lastGood;
        s.sourceFactor = factor;
        CopySolution(good, x);
        CopySolution(good, s.previousSolution);
        raise = std::sqrt(raise);
        if (raise <= 1.0001) return fail();
        s.notConverged = 0;
    }
}

// The diagonal elements of the nodes, which the node shunts go into.
void CollectShuntElements()
{
    AnalogSolverState& s = AnalogSolver();
    s.shuntElements.clear();
    s.shuntAnchors.clear();
    for (int node = 1; node <= s.nodeCount; ++node)
        if (MatrixElement* e = MatrixFindElement(s.matrix, node, node)) {
            s.shuntElements.push_back(e);
            s.shuntAnchors.emplace_back(node, 0.0);
        }
}

// Gmin stepping: a conductance from every node to ground makes the circuit nearly linear, so
// Newton converges; the conductance is then lowered step by step, each solve starting from the
// last converged one, and the last solve runs without it. The step shrinks after a failure
// (back to the last good solution) and grows again after quick successes. With
// `restoreDevices`, a failed step also gives the devices back what they held at the last good
// solution, as the solution is: left at the failed solve's last iterate, they limit the next
// solve's voltages against it, and in a long chain of gain stages even a step too small to
// matter then fails from the good solution.
int StepShuntConductance(WindowRecord* window, int iterationLimit, bool restoreDevices)
{
    AnalogSolverState& s = AnalogSolver();
    const GlobalOptionValues& o = GlobalOptions().values;
    std::vector<double>& x = SolutionVector();
    const int stepLimit = std::max(o.itl2, 4);
    constexpr double kLargestFactor = 10.0;
    auto finish = [&](int rc) {
        s.shuntConductance = 0.0;
        s.shuntElements.clear();
        s.shuntAnchors.clear();
        s.solveFirst = 0;
        s.iterationMode = kModeInitJunctions;
        s.suppressIterationStatus = 0;
        if (rc == kMsgFailedToConverge) s.notConverged = 1;
        return rc;
    };

    s.suppressIterationStatus = 1;
    if (s.hooks.reinitializeRunStates)
        if (int rc = s.hooks.reinitializeRunStates()) return finish(rc);
    CollectShuntElements();
    // Each solve has a smaller shunt than the last, which the devices cannot see: a first load
    // that finds them where they were must not end the solve on the last solve's voltages.
    s.solveFirst = 1;

    const double target = std::max(o.gmin, 1e-15);
    double factor = kLargestFactor;
    double lastGood = 1e-2;
    double shunt = lastGood / factor;
    std::vector<double> good(x);
    DeviceWorkingState goodDevices;
    bool converged = false;
    s.iterationMode = kModeInitJunctions;
    for (;;) {
        s.shuntConductance = shunt;
        const int rc = SolveOperatingPoint(window, stepLimit);
        s.iterationTotal += s.iterationCount;
        if (rc == kMsgInsufficientMemory || rc == kMsgStopped) return finish(rc);
        if (rc == 0 && !s.notConverged) {
            s.iterationMode = kModeNormal;
            converged = true;
            if (shunt <= target) break;
            CopySolution(x, good);
            if (restoreDevices) goodDevices.Keep();
            if (s.iterationCount <= stepLimit / 4) factor = std::min(factor * std::sqrt(factor), kLargestFactor);
            if (s.iterationCount > 3 * stepLimit / 4) factor = std::sqrt(factor);
            lastGood = shunt;
            if (shunt < factor * target) {
                factor = shunt / target;
                shunt = target;
            } else {
                shunt /= factor;
            }
        } else {
            if (factor < 1.00005) return finish(kMsgFailedToConverge);
            factor = std::sqrt(std::sqrt(factor));
            shunt = lastGood / factor;
            CopySolution(good, x);
            CopySolution(good, s.previousSolution);
            if (restoreDevices) {
                goodDevices.Restore();
                // The pivot order may have been chosen for the loads of a failed iterate, whose
                // conductances lie decades away from those at the good solution: refactored in
                // that order, a long chain of gain stages gets pivots so small that its solve
                // overflows at every step. The next factorisation keeps the order only while
                // every pivot passes the threshold.
                if (s.matrix) s.matrix->orderForOtherValues = true;
            }
            // Before any step has converged, the last resort starts again from the solution it
            // began with (every node at 0 V) in plain iteration: from the junctions' starting voltages, the first solve of a
            // long chain of gain stages is the linearised chain's gain times their offsets
            // (voltages beyond 1e80 in a chain of ECL gates at their threshold), where the
            // devices' loads make the matrix singular however large the shunt.
            if (!converged) s.iterationMode = restoreDevices ? kModeNormal : kModeInitJunctions;
        }
    }
    s.shuntConductance = 0.0;
    const int rc = SolveOperatingPoint(window, iterationLimit);
    return finish(rc == 0 && s.notConverged ? kMsgFailedToConverge : rc);
}

// A time point by pseudo-transient continuation: every node gets a conductance to its own
// voltage of the last solve, as a small capacitor to ground would over a short step. Each solve
// moves the nodes only a little from the last one, so Newton converges where a plain solve
// swings through the gain of many stages at once; the conductance then shrinks (the
// pseudo-step grows) until a solve without it converges: the point reached is the solution of
// the circuit's own equations that its nodes settle to from the last accepted point, on the
// circuit's own branch (a latch keeps its state).
int MarchTimePoint(WindowRecord* window, int iterationLimit)
{
    AnalogSolverState& s = AnalogSolver();
    std::vector<double>& x = SolutionVector();
    // From 10 mS, well above what a device conducts, the conductance falls by up to a decade
    // a solve, rises eightfold after a failure, and is dropped once below GMIN.
    constexpr double kFirstShunt = 1e-2;
    constexpr double kLargestShunt = 1e2;
    constexpr double kFailureRise = 8.0;
    constexpr int kMaxSolves = 400;
    auto finish = [&](int rc) {
        s.shuntConductance = 0.0;
        s.shuntElements.clear();
        s.shuntAnchors.clear();
        s.solveFirst = 0;
        s.iterationMode = kModeNormal;
        return rc;
    };

    CopySolution(s.savedSolution, x);
    CopySolution(s.savedSolution, s.previousSolution);
    CollectShuntElements();
    s.solveFirst = 1;
    const double target = std::max(GlobalOptions().values.gmin, 1e-15);
    double shunt = kFirstShunt;
    double lastGood = kFirstShunt;
    std::vector<double> good(x);
    for (int solves = 0; solves < kMaxSolves && shunt <= kLargestShunt; ++solves) {
        for (auto& [node, volts] : s.shuntAnchors) volts = good[static_cast<std::size_t>(node)];
        s.shuntConductance = shunt;
        s.iterationMode = kModeNormal;
        const int rc = SolveOperatingPoint(window, iterationLimit);
        s.iterationTotal += s.iterationCount;
        if (rc) return finish(rc);
        if (!s.notConverged) {
            if (shunt == 0.0) return finish(0);
            CopySolution(x, good);
            lastGood = shunt;
            if (s.iterationCount <= iterationLimit / 4)
                shunt /= 10.0;
            else if (s.iterationCount <= iterationLimit / 2)
                shunt /= 2.0;
            if (shunt < target) shunt = 0.0;
        } else {
            shunt = (shunt > 0.0 ? shunt : lastGood) * kFailureRise;
            CopySolution(good, x);
            CopySolution(good, s.previousSolution);
        }
    }
    s.notConverged = 1;
    return finish(0);
}

}  // namespace

// Gmin stepping first, as ngspice does: each of its solves starts from the last converged one,
// where each try of source stepping starts Newton again from the junctions' starting voltages,
// which in a long chain of gain stages swing the later nodes far out every time.
// Where both fail and `lastResort` is set, gmin stepping runs once more, each failed step giving
// the devices back their state at the last good solution; where that fails too, all of it once
// more with bipolar junctions limited in reverse bias as well as forward.
int SourceStepOperatingPoint(WindowRecord* window, int iterationLimit, bool lastResort)
{
    AnalogSolverState& s = AnalogSolver();
    const auto fallbacks = [&] {
        s.notConverged = 0;
        int rc = StepShuntConductance(window, iterationLimit, false);
        if (rc != kMsgFailedToConverge) return rc;
        s.notConverged = 1;
        rc = StepSources(window, iterationLimit);
        if (rc != kMsgFailedToConverge || !lastResort) return rc;
        s.notConverged = 0;
        return StepShuntConductance(window, iterationLimit, true);
    };
    int rc = fallbacks();
    if (rc != kMsgFailedToConverge || !lastResort) return rc;
    s.limitReverseJunctions = 1;
    rc = fallbacks();
    s.limitReverseJunctions = 0;
    return rc;
}

int SolveTimePointByContinuation(WindowRecord* window, int iterationLimit)
{
    AnalogSolver().notConverged = 0;
    return MarchTimePoint(window, iterationLimit);
}

namespace {

int FactorAndSolve(bool complex, std::span<double> solution)
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.matrix) return 0;
    if (complex)
        MatrixSetComplex(s.matrix);
    else
        MatrixSetReal(s.matrix);
    const int rc = complex ? MatrixFactorComplex(s.matrix) : MatrixFactorReal(s.matrix);
    if (rc == 0) MatrixSolve(s.matrix, s.rhs, solution);
    // The ground entry (both parts of a complex one) is always 0.
    const std::size_t ground = complex ? 2 : 1;
    for (std::size_t i = 0; i < ground && i < solution.size(); ++i) solution[i] = 0.0;
    return rc;
}

}  // namespace

int SolveLinearSystem(std::span<double> solution) { return FactorAndSolve(false, solution); }
int SolveComplexSystem(std::span<double> solution) { return FactorAndSolve(true, solution); }

void FreeStampSet(StampSet& set)
{
    AnalogSolverState& s = AnalogSolver();
    if (s.matrix == set.matrix.get()) s.matrix = nullptr;
    if (s.pool == &set.pool) s.pool = nullptr;
    // A matrix made later at the same address must not pass for this one.
    if (s.varying.matrix == set.matrix.get()) s.varying.matrix = nullptr;
    MatrixDestroy(set.matrix);
    set.pool.clear();
    set.pool.shrink_to_fit();
}

void FreeAllStampSets()
{
    AnalogSolverState& s = AnalogSolver();
    FreeStampSet(s.operatingPointSet);
    FreeStampSet(s.timeStepSet);
}

void ClearStateVectors()
{
    AnalogSolverState& s = AnalogSolver();
    std::fill(s.chargeStates.begin(), s.chargeStates.end(), 0.0);
    std::fill(s.currentStates.begin(), s.currentStates.end(), 0.0);
}

}  // namespace kq5
