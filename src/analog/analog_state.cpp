#include "analog/analog_state.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/analysis_state.h"
#include "analog/device_dispatch.h"
#include "analog/integration.h"
#include "analog/sparse_solve.h"
#include "netlist/global_options.h"
#include "netlist/translate_common.h"

namespace kq5 {

void ResetAnalogSolverStateForTests() { AnalogSolver() = AnalogSolverState{}; }

std::vector<double>& SolutionVector() { return Analysis().solution.real; }

double SolutionDifference(int a, int b)
{
    const std::vector<double>& x = Analysis().solution.real;
    return x[static_cast<std::size_t>(a)] - x[static_cast<std::size_t>(b)];
}

namespace {

bool SizeVector(std::vector<double>& v, std::size_t n)
{
    try {
        v.assign(n, 0.0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

int PlainStateCount()
{
    return DeviceList(kCapacitorDeviceList).count + DeviceList(kInductorDeviceList).count + DeviceList(kDiodeDeviceList).count +
           2 * DeviceList(kJfetDeviceList).count + 3 * DeviceList(kGaasfetDeviceList).count;
}

int IntegratedStateCount()
{
    return PlainStateCount() + kBjtBlockStates * DeviceList(kBjtDeviceList).count +
           kMosfetBlockStates * DeviceList(kMosfetDeviceList).count;
}

std::size_t SolverVectorLength(int unknowns, bool complexRoom)
{
    return (complexRoom ? 2 : 1) * (static_cast<std::size_t>(std::max(unknowns, 0)) + 3);
}

int SizeSolverVectors(int unknowns, int integratedStates, bool complexRoom)
{
    AnalogSolverState& s = AnalogSolver();
    const std::size_t real = static_cast<std::size_t>(std::max(unknowns, 0)) + 3;
    // In an AC run every vector also serves as a complex vector of (real, imaginary) pairs;
    // the other runs use the real half only, which is all a large circuit's run then holds.
    const std::size_t length = SolverVectorLength(unknowns, complexRoom);
    try {
        // Compiled expressions hold addresses into the present solution, so it only grows
        // when the build made it too short for the numbered unknowns.
        std::vector<double>& x = Analysis().solution.real;
        if (x.size() < real) x.resize(real, 0.0);
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    for (std::vector<double>* v : {&s.previousSolution, &s.savedSolution, &s.olderSolution, &s.rhs})
        if (!SizeVector(*v, length)) return 15002;
    // Only the AC run solves into the backup vector.
    for (std::vector<double>* v : {&s.backupSolution, &s.transientWork})
        if (!SizeVector(*v, complexRoom ? length : 0)) return 15002;
    const std::size_t slots = 4 * static_cast<std::size_t>(std::max(integratedStates, 0));
    if (!SizeVector(s.chargeStates, slots) || !SizeVector(s.currentStates, slots)) return 15002;
    s.unknownCount = unknowns;
    s.vectorLength = static_cast<int>(real);
    s.integratedStateCount = integratedStates;
    return 0;
}

void InstallStampSet(StampSet& set)
{
    AnalogSolverState& s = AnalogSolver();
    s.matrix = set.matrix.get();
    s.pool = &set.pool;
}

int PrepareAnalogSolver(bool fresh, StampSet& set, bool complexRoom)
{
    AnalogSolverState& s = AnalogSolver();
    s.nodeCount = AnalogNodeCount();
    s.hasAnalogNodes = s.nodeCount > 0;

    const GlobalOptionValues& options = GlobalOptions().values;
    s.reltol = options.reltol;
    s.abstol = options.abstol;
    s.vntol = options.vntol;
    s.reltolMilli = 0.001 * options.reltol;
    s.coreTolerance = 0.4 * std::pow(2.0, std::log10(options.reltol));
    s.method = GlobalOptions().integrationMethod;

    s.stepFactors = {1e30, 1e30, 1e30};
    s.ag0 = 1.0;
    s.ag1 = 2.0;
    s.coefficients[0] = s.ag0;
    s.coefficients[1] = s.ag1;
    s.time = 0.0;
    s.iterationMode = kModeFirstTimePoint;

    const int unknowns = NumberDeviceRows(s.nodeCount);
    if (unknowns < 0) return 15002;
    const int plainStates = PlainStateCount();
    const int integrated = IntegratedStateCount();
    s.plainStateSlots = 4 * plainStates;
    // Vectors keep their contents between the preparations of the two stamp sets of a run.
    if (s.unknownCount != unknowns || s.rhs.size() != SolverVectorLength(unknowns, complexRoom) ||
        s.integratedStateCount != integrated || Analysis().solution.real.size() < static_cast<std::size_t>(unknowns) + 3)
        if (int rc = SizeSolverVectors(unknowns, integrated, complexRoom)) return rc;

    InstallStampSet(set);
    // A new run may have new values (a stepped item, a temperature): the constant part of its
    // time points is loaded afresh.
    MatrixForgetKeptValues(set.matrix.get());
    s.varying.matrix = nullptr;  // its redirected pool is made again with the constant part
    if (s.step == 0.0) s.step = 1.0;

    if (!s.hasAnalogNodes) {
        s.preparationLoad = 0;
        return 0;
    }
    s.preparationLoad = 1;
    if (!set.matrix) {
        int error = 0;
        set.matrix = MatrixCreate(0, false, error);
        if (!set.matrix) return error ? error : 15002;
        set.matrix->relThreshold = options.pivrel;
        set.matrix->absThreshold = options.pivtol;
        set.pool.clear();
        InstallStampSet(set);
    }
    if (fresh) {
        std::fill(SolutionVector().begin(), SolutionVector().end(), 0.0);
        for (std::vector<double>* v : {&s.previousSolution, &s.savedSolution, &s.backupSolution})
            std::fill(v->begin(), v->end(), 0.0);
        if (s.hooks.reinitializeRunStates)
            if (int rc = s.hooks.reinitializeRunStates()) return rc;
    }
    s.setupDone = 0;
    if (int rc = LoadCircuit()) return rc;
    s.preparationLoad = 0;
    // The set-up pass grew the pool by doubling; it is read, never grown, from now on. No load
    // pass is under way, so nothing points into it.
    set.pool.shrink_to_fit();
    return MatrixPreorder(set.matrix.get());
}

}  // namespace kq5
