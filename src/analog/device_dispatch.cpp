#include "analog/device_dispatch.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>

#include "core/analysis_state.h"
#include "analog/convergence.h"
#include "analog/device_run_services.h"
#include "analog/unloadable_devices.h"
#include "core/device_lists.h"
#include "core/expr_math_errors.h"
#include "core/fp_flags.h"
#include "core/message_reporter.h"

namespace kq5 {

namespace {

constexpr int kNoList = 1000;

// When a load runs: every pass, only when its list holds records, or only once the set-up is
// done and its list holds records. A load that only walks its records need not be called for
// an empty list.
enum LoadCondition : int { kLoadAlways, kLoadWhenPresent, kLoadWhenSetUpAndPresent };

struct SlotRow {
    int list;  // the list whose records the kind loads (kNoList: none to check)
    LoadCondition condition;
    DeviceSetupFn setup;
    DeviceLoadFn load;
    DeviceSolveTestFn solveTest = nullptr;
    // The list itself, looked up once: every load pass asks each kind whether it has records.
    const LinkedList* records = nullptr;
};

using SlotTable = std::array<SlotRow, kSlotCount>;

SlotTable MakeBuiltInSlots()
{
    SlotTable t{};
    // The handlers come from the device families (RegisterDeviceKindHandlers).
    auto set = [&](DeviceKindSlot slot, int list, LoadCondition condition) {
        t[slot] = {list, condition, nullptr, nullptr, nullptr, list == kNoList ? nullptr : &DeviceList(list)};
    };
    set(kSlotDiodes, kDiodeDeviceList, kLoadAlways);
    set(kSlotLossyLines, kLossyLineDeviceList, kLoadWhenPresent);
    set(kSlotLinearSources, kLinearSourceDeviceList, kLoadWhenPresent);
    set(kSlotPolySources, 22, kLoadWhenPresent);
    set(kSlotLaplaceSources, kLaplaceSourceDeviceList, kLoadWhenSetUpAndPresent);
    set(kSlotLaplaceTableSources, kFreqTableSourceDeviceList, kLoadWhenSetUpAndPresent);
    set(kSlotFormulaSources, kFormulaSourceDeviceList, kLoadWhenPresent);
    set(kSlotSampleHolds, kSampleHoldDeviceList, kLoadWhenPresent);
    set(kSlotTableSources, kTableSourceDeviceList, kLoadWhenPresent);
    set(kSlotBjts, kBjtDeviceList, kLoadWhenPresent);
    set(kSlotOpamps, kOpampDeviceList, kLoadWhenPresent);
    set(kSlotMosLevel123, kMosfetDeviceList, kLoadAlways);
    set(kSlotMosLevel45, kNoList, kLoadAlways);
    set(kSlotMosLevel8, kNoList, kLoadAlways);
    set(kSlotJfets, kJfetDeviceList, kLoadWhenPresent);
    set(kSlotGaasfets, kGaasfetDeviceList, kLoadWhenPresent);
    set(kSlotIdealLines, kIdealLineDeviceList, kLoadWhenPresent);
    set(kSlotSources, kIndependentSourceDeviceList, kLoadAlways);
    set(kSlotDacOutputs, 7, kLoadAlways);
    set(kSlotDigitalToAnalog, kNoList, kLoadAlways);
    set(kSlotResistors, kResistorDeviceList, kLoadAlways);
    set(kSlotVoltageSwitches, kVoltageSwitchDeviceList, kLoadWhenPresent);
    set(kSlotCurrentSwitches, kCurrentSwitchDeviceList, kLoadWhenPresent);
    set(kSlotSwitches, kSwitchDeviceList, kLoadWhenPresent);
    set(kSlotInductors, kInductorDeviceList, kLoadAlways);
    set(kSlotCapacitors, kCapacitorDeviceList, kLoadAlways);
    set(kSlotAdcNodes, kNoList, kLoadAlways);
    set(kSlotInitialValues, kNoList, kLoadAlways);
    return t;
}

SlotTable& Slots()
{
    static SlotTable table = MakeBuiltInSlots();
    return table;
}

bool ListHasRecords(const SlotRow& row) { return row.records && row.records->count > 0; }

// A kind whose records would be left out of the equations.
bool MissingLoad(const SlotTable& slots, const SlotRow& row)
{
    if (row.load || !ListHasRecords(row)) return false;
    // The MOSFET list is shared by three loads; any of them serves.
    if (row.list == kMosfetDeviceList) return !slots[kSlotMosLevel45].load && !slots[kSlotMosLevel8].load;
    return true;
}

// True when the load of the row is left out of a pass.
bool SkipLoad(const SlotRow& row, bool setUp)
{
    return !row.load || (row.condition == kLoadWhenPresent && !ListHasRecords(row)) ||
           (row.condition == kLoadWhenSetUpAndPresent && (!setUp || !ListHasRecords(row)));
}

// The loads of a pass after the set-up, in slot order, and the solve tests: which kinds take
// part is settled by the set-up (the lists it reserved for) and the handlers, so it is worked
// out once, not in every Newton iteration.
struct LoadPlan {
    bool made = false;
    bool complete = false;  // false: a kind has records but no load, which the full pass reports
    int loadCount = 0;
    int solveTestCount = 0;
    std::array<DeviceLoadFn, kSlotCount> loads{};
    std::array<DeviceSolveTestFn, kSlotCount> solveTests{};
};

LoadPlan& Plan()
{
    static LoadPlan plan;
    return plan;
}

void ForgetLoadPlan() { Plan().made = false; }

const LoadPlan& CurrentLoadPlan()
{
    LoadPlan& plan = Plan();
    if (plan.made) return plan;
    plan = LoadPlan{};
    plan.made = true;
    plan.complete = true;
    const SlotTable& slots = Slots();
    for (const SlotRow& row : slots) {
        if (MissingLoad(slots, row)) plan.complete = false;
        if (!SkipLoad(row, true)) plan.loads[static_cast<std::size_t>(plan.loadCount++)] = row.load;
        if (row.solveTest && row.load) plan.solveTests[static_cast<std::size_t>(plan.solveTestCount++)] = row.solveTest;
    }
    return plan;
}

}  // namespace

StampCursor::StampCursor(const StampRange& range)
{
    const std::vector<MatrixElementRef>& pool = *AnalogSolver().pool;
    assert(range.reserved && range.first + range.count <= static_cast<std::int32_t>(pool.size()));
    next_ = pool.data() + range.first;
    end_ = next_ + range.count;
}

void BeginDeviceReservations(StampRange& range)
{
    const std::int32_t first = static_cast<std::int32_t>(AnalogSolver().pool->size());
    // Both stamp sets of a run reserve in the same order, so a device's stretch is the same in
    // each; a difference means set-up and load no longer walk the devices alike.
    assert(!range.reserved || range.first == first);
    range.first = first;
}

void EndDeviceReservations(StampRange& range)
{
    const std::int32_t count = static_cast<std::int32_t>(AnalogSolver().pool->size()) - range.first;
    assert(!range.reserved || range.count == count);
    range.count = static_cast<std::uint32_t>(count);
    range.reserved = 1;
}

std::vector<const ListNode*>& DeviceRecordTrail(int list)
{
    return AnalogSolver().devices.recordTrails[static_cast<std::size_t>(list - kFirstDeviceList)];
}

void AppendRecordTrail(std::vector<const ListNode*>& trail, const ListNode* record) noexcept
{
    try {
        trail.push_back(record);
    } catch (const std::bad_alloc&) {
    }
}

int ReserveMatrixElement(int row, int column)
{
    AnalogSolverState& s = AnalogSolver();
    MatrixElement* element = MatrixGetElement(s.matrix, row, column);
    if (!element) return kMsgInsufficientMemory;
    if (element == &s.matrix->trash) element = &s.groundSinks[s.nextGroundSink++ % s.groundSinks.size()];
    try {
        s.pool->emplace_back(element);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

int ReserveConductanceElements(int a, int b)
{
    if (int rc = ReserveMatrixElement(a, b)) return rc;
    if (int rc = ReserveMatrixElement(b, a)) return rc;
    if (int rc = ReserveMatrixElement(a, a)) return rc;
    return ReserveMatrixElement(b, b);
}

int ReserveTransconductanceElements(int a, int b, int c, int d)
{
    if (int rc = ReserveMatrixElement(c, a)) return rc;
    if (int rc = ReserveMatrixElement(c, b)) return rc;
    if (int rc = ReserveMatrixElement(d, a)) return rc;
    return ReserveMatrixElement(d, b);
}

int ReserveBranchElements(int r, int b, int c)
{
    if (int rc = ReserveMatrixElement(r, b)) return rc;
    if (int rc = ReserveMatrixElement(r, c)) return rc;
    if (int rc = ReserveMatrixElement(b, r)) return rc;
    return ReserveMatrixElement(c, r);
}

int ReserveBranchElements2(int r, int b, int c) { return ReserveBranchElements(r, b, c); }
int ReserveBranchElementsAlias(int r, int b, int c) { return ReserveBranchElements(r, b, c); }

int ReserveControlledSourceElements(int subKind, int r, int cp, int cn, int p, int n)
{
    switch (subKind) {
    case 0:
        return ReserveTransconductanceElements(cp, cn, p, n);
    case 1:
        if (int rc = ReserveBranchElements(r, cp, cn)) return rc;
        if (int rc = ReserveMatrixElement(p, r)) return rc;
        return ReserveMatrixElement(n, r);
    case 2:
        if (int rc = ReserveMatrixElement(r, cp)) return rc;
        if (int rc = ReserveMatrixElement(r, cn)) return rc;
        return ReserveBranchElements(r, p, n);
    case 3:
        if (int rc = ReserveBranchElements(r, cp, cn)) return rc;
        if (int rc = ReserveBranchElements(r + 1, p, n)) return rc;
        return ReserveMatrixElement(r + 1, r);
    default:
        return 0;
    }
}

double& RhsEntry(int row) { return AnalogSolver().rhs[static_cast<std::size_t>(row)]; }

void StampBranchIncidence(StampCursor& c, int row, double value)
{
    c.Add(1.0);
    c.Add(-1.0);
    c.Add(1.0);
    c.Add(-1.0);
    RhsEntry(row) += value;
}

void StampControlledSource(StampCursor& c, int subKind, double gain)
{
    switch (subKind) {
    case 0:
        c.Add(gain);
        c.Add(-gain);
        c.Add(-gain);
        c.Add(gain);
        break;
    case 1:
        c.Add(1.0);
        c.Add(-1.0);
        c.Add(1.0);
        c.Add(-1.0);
        c.Add(gain);
        c.Add(-gain);
        break;
    case 2:
        c.Add(-gain);
        c.Add(gain);
        c.Add(1.0);
        c.Add(-1.0);
        c.Add(1.0);
        c.Add(-1.0);
        break;
    case 3:
        for (int i = 0; i < 2; ++i) {
            c.Add(1.0);
            c.Add(-1.0);
            c.Add(1.0);
            c.Add(-1.0);
        }
        c.Add(-gain);
        break;
    default:
        break;
    }
}

void MarkConstantStamps(AnalogSolverState& s, const StampRange& range)
{
    std::vector<bool>& marks = s.varying.constantEntries;
    const auto first = static_cast<std::size_t>(range.first);
    const auto end = first + static_cast<std::size_t>(range.count);
    if (end <= marks.size()) std::fill(marks.begin() + static_cast<std::ptrdiff_t>(first), marks.begin() + static_cast<std::ptrdiff_t>(end), true);
}

namespace {

void ClearGroundSinks(AnalogSolverState& s)
{
    for (MatrixElement& sink : s.groundSinks) sink.real = sink.imag = 0.0;
}

// Redirects every entry of the pool outside the kept constant part to a value of its own; false
// when memory ran out. Where most entries vary (a circuit of transistors) stamping them apart
// and adding them in afterwards costs more than loading them into the restored matrix: the
// pool is then left as it is.
bool MakeVaryingStamps(AnalogSolverState& s)
{
    VaryingStamps& v = s.varying;
    v.committedValid = false;
    v.matrix = nullptr;
    v.redirected = false;
    const std::vector<MatrixElementRef>& target = *s.pool;
    std::size_t count = 0;
    for (std::size_t i = 0; i < target.size(); ++i) count += v.constantEntries[i] ? 0 : 1;
    v.nothingKept = count == target.size();
    if (2 * count <= target.size()) {
        try {
            v.values.assign(count, MatrixElement{});
            v.entries.clear();
            v.entries.reserve(count);
            v.pool.clear();
            v.pool.reserve(count);
            for (std::size_t i = 0; i < target.size(); ++i) {
                if (v.constantEntries[i]) continue;
                v.pool.push_back(target[i]);
                v.entries.push_back(static_cast<std::int32_t>(i));
            }
            v.committed.assign(count, 0.0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        v.redirected = true;
    }
    v.matrix = s.matrix;
    v.target = s.pool;
    return true;
}

// Gives the varying entries of the pool their matrix elements back.
void EndVaryingStamps(AnalogSolverState& s)
{
    VaryingStamps& v = s.varying;
    v.active = false;
    std::vector<MatrixElementRef>& target = *v.target;
    for (std::size_t k = 0; k < v.entries.size(); ++k) target[static_cast<std::size_t>(v.entries[k])] = v.pool[k];
    s.pool = v.target;
}

// The varying entries are redirected in the pool itself, for the length of one pass: a copy of
// a large circuit's pool would double it.
void BeginVaryingStamps(AnalogSolverState& s)
{
    VaryingStamps& v = s.varying;
    for (MatrixElement& e : v.values) e.real = 0.0;
    std::vector<MatrixElementRef>& target = *v.target;
    for (std::size_t k = 0; k < v.entries.size(); ++k)
        target[static_cast<std::size_t>(v.entries[k])] = MatrixElementRef(&v.values[k]);
    s.pool = v.target;
    v.active = true;
    s.constantPartLoaded = 1;
}

// The constant part of a time point's equations, loaded by the devices; 0 when it was loaded.
// Without the devices' loader there is nothing kept, and the loads go in whole.
int LoadConstantPart()
{
    const auto& load = DeviceServices().loadConstantLinearPart;
    return load ? load() : -1;
}

// Puts the pool back and brings the varying values into the matrix, unless it holds them
// already (with the factors made from them).
int CommitVaryingStamps(AnalogSolverState& s)
{
    VaryingStamps& v = s.varying;
    if (!v.active) return 0;
    EndVaryingStamps(s);
    const std::size_t count = v.values.size();
    if (v.committedValid && s.matrix->loadCount == v.committedLoad) {
        std::size_t i = 0;
        while (i < count && v.values[i].real == v.committed[i]) ++i;
        if (i == count) {
            MatrixReuseFactors(s.matrix);
            return 0;
        }
    }
    // Right after the constant part was kept the matrix holds just that.
    const bool pristine = v.pristine && s.matrix->loadCount == v.keptLoad;
    v.pristine = false;
    v.committedValid = false;
    if (!pristine && !MatrixRestoreKeptValues(s.matrix)) {
        // The kept values were lost during the pass: the constant part is loaded again.
        MatrixClear(s.matrix);
        if (int rc = LoadConstantPart()) return rc;
    }
    const std::vector<MatrixElementRef>& target = *v.target;
    for (std::size_t i = 0; i < count; ++i) {
        target[static_cast<std::size_t>(v.entries[i])].Add(v.values[i].real);
        v.committed[i] = v.values[i].real;
    }
    ClearGroundSinks(s);
    v.committedLoad = s.matrix->loadCount;
    v.committedValid = true;
    return 0;
}

// True while the integration coefficient, method and order are those the constant part was
// loaded with.
bool KeptAtThisCoefficient(const AnalogSolverState& s)
{
    return s.keptAg0 == s.ag0 && s.keptMethod == s.method && s.keptOrder == s.order;
}

}  // namespace

void ClearMatrixForLoad(bool keepValues)
{
    AnalogSolverState& s = AnalogSolver();
    // Nothing is kept until this pass says so, matrix or none: a circuit without analog
    // equations must not find the constant part of the one run before it.
    s.constantPartLoaded = 0;
    s.varying.active = false;
    if (!s.matrix) return;
    std::fill(s.rhs.begin(), s.rhs.end(), 0.0);
    if (!keepValues) {
        // At transient time points the resistors, and the capacitors' conductances while the
        // integration coefficient stays, do not change from one load to the next: they are
        // loaded once into the cleared matrix, whose values are then kept. The other loads
        // stamp apart (see VaryingStamps) and reach the matrix only when they change, or, in
        // a circuit where most entries vary, go straight into the restored matrix.
        VaryingStamps& v = s.varying;
        const bool constantPart =
            s.runKind == kRunKindTransient && s.runPhase == kPhaseTimeSteps && s.shuntConductance <= 0.0;
        // A new integration coefficient changes only values: the same devices stay constant,
        // and what was made for this matrix and pool still serves.
        const bool sameStamps = constantPart && v.matrix == s.matrix && v.target == s.pool &&
                                v.constantEntries.size() == s.pool->size() &&
                                (!v.redirected || v.pool.size() == v.entries.size());
        // A circuit whose every entry varies (transistors and no linear element) has nothing
        // to keep: the matrix is cleared as where nothing is kept.
        if (sameStamps && v.nothingKept) {
            MatrixClear(s.matrix);
            ClearGroundSinks(s);
            return;
        }
        if (sameStamps && KeptAtThisCoefficient(s) && s.matrix->keptValuesValid) {
            if (v.redirected) {
                BeginVaryingStamps(s);
                return;
            }
            if (MatrixRestoreKeptValues(s.matrix)) {
                s.constantPartLoaded = 1;
                ClearGroundSinks(s);
                return;
            }
        }
        MatrixClear(s.matrix);
        bool kept = false;
        if (constantPart) {
            if (!sameStamps) {
                v.matrix = nullptr;
                try {
                    v.constantEntries.assign(s.pool->size(), false);
                } catch (const std::bad_alloc&) {
                    v.constantEntries.clear();
                }
            }
            v.committedValid = false;
            if (v.constantEntries.size() == s.pool->size() && LoadConstantPart() == 0) {
                MatrixKeepValues(s.matrix);
                kept = s.matrix->keptValuesValid && (sameStamps || MakeVaryingStamps(s));
                v.pristine = kept;
                v.keptLoad = s.matrix->loadCount;
            }
            // Values kept at another coefficient must not pass for this one's.
            if (!kept) MatrixForgetKeptValues(s.matrix);
        }
        if (kept && v.redirected) {
            // The first pass restores what was just kept; the clear keeps the ground sinks
            // and the error word as every pass finds them.
            BeginVaryingStamps(s);
            return;
        }
        if (kept)
            s.constantPartLoaded = 1;
        else
            MatrixClear(s.matrix);
    }
    ClearGroundSinks(s);
}

DeviceKindHandlers RegisterDeviceKindHandlers(DeviceKindSlot slot, DeviceSetupFn setup, DeviceLoadFn load)
{
    const DeviceKindHandlers before{Slots()[slot].setup, Slots()[slot].load};
    Slots()[slot].setup = setup;
    Slots()[slot].load = load;
    ForgetLoadPlan();
    return before;
}

void RegisterSolveConvergenceTest(DeviceKindSlot slot, DeviceSolveTestFn test)
{
    Slots()[slot].solveTest = test;
    ForgetLoadPlan();
}

void CountNonConvergedAfterSolve()
{
    const LoadPlan& plan = CurrentLoadPlan();
    for (int i = 0; i < plan.solveTestCount; ++i) plan.solveTests[static_cast<std::size_t>(i)]();
}

LoadModeFlags ComputeLoadModeFlags(const AnalogSolverState& s)
{
    LoadModeFlags f;
    const int mode = s.iterationMode;
    f.capacitorLoad = (s.runPhase == kPhaseOperatingPoint && mode == kModeInitJunctions) ||
                              (s.useInitialConditions && mode == kModeFirstTimePoint)
                          ? 0
                          : 1;
    f.dynamic = s.runPhase == kPhaseTimeSteps || s.runPhase == kPhaseAcBias;
    f.transientWithIc = s.runKind == kRunKindTransient && s.useInitialConditions;
    f.charge = s.runPhase == kPhaseTimeSteps || s.runKind == kRunKindTransient || mode == kModeSmallSignal;
    f.icAtPreparation = mode == kModeFirstTimePoint && s.useInitialConditions;
    f.prediction = mode == kModePredictor || mode == kModeFirstTimePoint;
    f.chargeStorage = f.dynamic || f.transientWithIc || mode == kModeSmallSignal;
    return f;
}

int SetupAllDevices()
{
    // A set-up pass over a set that was set up before finds the same elements again; the
    // pool starts over so that every device's stretch comes out as before.
    if (AnalogSolver().pool) AnalogSolver().pool->clear();
    AnalogSolver().varying.matrix = nullptr;
    ForgetLoadPlan();
    ClearMatrixForLoad(true);
    for (const SlotRow& row : Slots())
        if (row.setup)
            if (int rc = row.setup()) return rc;
    return 0;
}

namespace {

// True when every value of the right-hand side and of the matrix is a finite number.
bool LoadedValuesFinite(const AnalogSolverState& s)
{
    for (const double v : s.rhs)
        if (!std::isfinite(v)) return false;
    if (!s.matrix) return true;
    return AllLoadableValues(*s.matrix,
                             [](const MatrixElement& e) { return std::isfinite(e.real) && std::isfinite(e.imag); });
}

}  // namespace

int ReportPendingMathError() { return MathErrors().pendingError != 0 ? ReportMathError() : 0; }

int LoadCircuit()
{
    AnalogSolverState& s = AnalogSolver();
    // The loads answer for the status flags they raise themselves, not for the solver's.
    ClearFpFlags();
    s.loadNotFinite = 0;
    s.flags = ComputeLoadModeFlags(s);
    s.stepFactors = {1.0, 1.0, 1.0};
    const bool setUp = s.setupDone != 0;
    if (!setUp)
        if (int rc = SetupAllDevices()) return rc;
    // The bias of an AC run: expressions read the complex solution, so every load hands them
    // the present iterate, not only the first.
    if (Analysis().analysisKind == kAnalysisAc) CopySolutionToComplex();
    ClearMatrixForLoad(!setUp);
    // A load that fails leaves the pool as it found it.
    struct PoolGuard {
        AnalogSolverState& s;
        ~PoolGuard()
        {
            if (s.varying.active) {
                EndVaryingStamps(s);
                s.varying.committedValid = false;
            }
        }
    } poolGuard{s};

    const LoadPlan& plan = CurrentLoadPlan();
    if (setUp && !s.preparationLoad && plan.complete) {
        for (int i = 0; i < plan.loadCount; ++i)
            if (int rc = plan.loads[static_cast<std::size_t>(i)]()) return rc;
    } else {
        const SlotTable& slots = Slots();
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const SlotRow& row = slots[static_cast<std::size_t>(slot)];
            if (MissingLoad(slots, row)) return ReportUnloadableDevices(row.list);
            if (!SkipLoad(row, setUp))
                if (int rc = row.load()) return rc;
            // The ADC devices convert their inputs once, in the preparation load.
            if (slot == kSlotAdcNodes && s.preparationLoad && s.hooks.updateAdcDevices)
                if (int rc = s.hooks.updateAdcDevices()) return rc;
        }
    }
    if (int rc = CommitVaryingStamps(s)) return rc;
    // A device evaluated outside its domain (a root of a negative number, an overflowing
    // power) leaves a value that is not a number in its stamps. That is not an error of the
    // run: the iterate is abandoned and the solve tries another way there. Flags that left
    // every value finite (an intermediate that was not used) mean nothing.
    if (RaisedFpFlags(FE_INVALID | FE_OVERFLOW | FE_DIVBYZERO) && !LoadedValuesFinite(s)) s.loadNotFinite = 1;
    ClearFpFlags();
    return ReportPendingMathError();
}

}  // namespace kq5
