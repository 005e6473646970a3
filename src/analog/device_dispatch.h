#pragma once
// Assembly of the modified nodal equations. A once-per-stamp-set set-up pass asks every device,
// kind by kind in a fixed order, to reserve the sparse-matrix elements it will write; each
// device records the stretch of the pool it reserved (StampRange). A load pass, once per Newton
// iteration, clears the matrix and the right-hand side and asks every device, in the same order,
// to add its conductances and currents into its own stretch, element by element in reservation
// order. The set-up never searches the matrix during iterations, and a device that does not load
// in some pass never disturbs the elements of the others.
//
// A device family's set-up:
//
//     StampRange& range = table[i].stamps;
//     BeginDeviceReservations(range);
//     if (int rc = ReserveConductanceElements(a, b)) return rc;
//     EndDeviceReservations(range);
//
// and its load:
//
//     StampCursor c(range);
//     c.Add(-g); c.Add(-g); c.Add(g); c.Add(g);
//     c.Finish();   // debug check: every reserved element was stamped
#include <cassert>
#include <cstdint>
#include <vector>

#include "analog/analog_state.h"
#include "core/device_lists.h"
#include "netlist/device_stamps.h"

namespace kq5 {

// Walks one device's stretch of the active pool.
class StampCursor {
public:
    explicit StampCursor(const StampRange& range);
    // The same on a pool the caller took once for a whole load pass (the pool does not change
    // while the loads run).
    StampCursor(const std::vector<MatrixElementRef>& pool, const StampRange& range)
        : next_(pool.data() + range.first), end_(next_ + range.count)
    {
        assert(range.reserved && range.first + range.count <= static_cast<std::int32_t>(pool.size()));
    }
    // Adds to the next reserved element and moves on.
    void Add(double value)
    {
        assert(next_ < end_);
        (next_++)->Add(value);
    }
    // Adds a complex value to the next reserved element (AC stamps).
    void AddComplex(double re, double im)
    {
        assert(next_ < end_);
        (next_++)->AddComplex(re, im);
    }
    // The next element without adding (a stamp that sets instead of adding).
    MatrixElement* Next()
    {
        assert(next_ < end_);
        return (next_++)->Element();
    }
    void Skip(int count = 1) { next_ += count; }
    int Remaining() const { return static_cast<int>(end_ - next_); }
    // Checks that the load took exactly what the set-up reserved.
    void Finish() const { assert(next_ == end_ && "device stamped a different count than it reserved"); }

private:
    const MatrixElementRef* next_ = nullptr;
    const MatrixElementRef* end_ = nullptr;
};

// Opens and closes one device's reservations. A stretch recorded by an earlier set-up (of the
// other stamp set) must come out the same: the debug build checks it.
void BeginDeviceReservations(StampRange& range);
void EndDeviceReservations(StampRange& range);

// Appends the element (row, column) of the active matrix, made when absent, to the active pool.
// Row or column 0 (ground) gives the matrix's discard element. 0, or 15002.
int ReserveMatrixElement(int row, int column);

// The record trail of a device list (see ForEachDeviceWithStamps), and its growth, which
// simply stops growing when memory runs out.
std::vector<const ListNode*>& DeviceRecordTrail(int list);
void AppendRecordTrail(std::vector<const ListNode*>& trail, const ListNode* record) noexcept;

// Walks a device list and its solver table together (entry i belongs to the i-th record);
// stops at the first non-zero result of f(device, entry) and returns it.
//
// The records of a large circuit lie scattered over the heap, and walking their links waits
// for memory at every record. The walk therefore keeps the addresses it met (the list's record
// trail) and, on the next walk, fetches the records a few places ahead while it works on the
// present one. The trail is only a hint: the list itself decides what is walked, and a trail
// that no longer matches is corrected on the way.
template <class Device, class Stamps, class F>
int ForEachDeviceWithStamps(int list, std::vector<Stamps>& table, F&& f)
{
    constexpr std::size_t kAhead = 8;
    constexpr std::size_t kLines = sizeof(Device) < 256 ? (sizeof(Device) + 63) / 64 : 4;
    // A kind the circuit does not use costs no more than this test at every load.
    if (table.empty()) return 0;
    std::vector<const ListNode*>& trail = DeviceRecordTrail(list);
    const std::size_t known = trail.size();
    std::size_t i = 0;
    for (Device& d : ListRecords<Device>(DeviceList(list))) {
        if (i >= table.size()) break;
        if (i + kAhead < known) {
            const char* ahead = reinterpret_cast<const char*>(trail[i + kAhead]);
            for (std::size_t line = 0; line < kLines; ++line) __builtin_prefetch(ahead + 64 * line);
        }
        if (i < known) {
            if (trail[i] != &d) trail[i] = &d;
        } else {
            AppendRecordTrail(trail, &d);
        }
        if (int rc = f(d, table[i++])) return rc;
    }
    return 0;
}

// Reservation patterns, each stopping at the first failure and returning it:
// (a,b), (b,a), (a,a), (b,b)
int ReserveConductanceElements(int a, int b);
// (c,a), (c,b), (d,a), (d,b)
int ReserveTransconductanceElements(int a, int b, int c, int d);
// (r,b), (r,c), (b,r), (c,r)
int ReserveBranchElements(int r, int b, int c);
int ReserveBranchElements2(int r, int b, int c);
int ReserveBranchElementsAlias(int r, int b, int c);
// The elements of a linear controlled source of sub-kind 0 (VCCS), 1 (CCCS), 2 (VCVS) or
// 3 (CCVS), in the order StampControlledSource adds them.
int ReserveControlledSourceElements(int subKind, int r, int cp, int cn, int p, int n);

// Stamps through a cursor.
// (a,b) -= g, (b,a) -= g, (a,a) += g, (b,b) += g
inline void StampConductance(StampCursor& c, double g)
{
    c.Add(-g);
    c.Add(-g);
    c.Add(g);
    c.Add(g);
}
// +1, -1, +1, -1 into the branch pattern and rhs[row] += value.
void StampBranchIncidence(StampCursor& c, int row, double value);
void StampControlledSource(StampCursor& c, int subKind, double gain);

// The right-hand side entry of an unknown (index 0 is ground and absorbs what is added).
double& RhsEntry(int row);

// When a matrix is active: clears the right-hand side and, unless keepValues, every matrix value.
void ClearMatrixForLoad(bool keepValues);
// Marks a device's stretch of the pool as loaded into the kept constant part.
void MarkConstantStamps(AnalogSolverState& s, const StampRange& range);

// The device kinds in the fixed order of the set-up and load passes.
enum DeviceKindSlot : int {
    kSlotDiodes,
    kSlotLossyLines,
    kSlotLinearSources,
    kSlotPolySources,
    kSlotLaplaceSources,
    kSlotLaplaceTableSources,
    kSlotFormulaSources,
    kSlotSampleHolds,
    kSlotTableSources,
    kSlotBjts,
    kSlotOpamps,
    kSlotMosLevel123,
    kSlotMosLevel45,
    kSlotMosLevel8,
    kSlotJfets,
    kSlotGaasfets,
    kSlotIdealLines,
    kSlotSources,
    kSlotDacOutputs,
    kSlotDigitalToAnalog,  // load only: the analog side of the digital-to-analog interfaces
    kSlotResistors,
    kSlotVoltageSwitches,
    kSlotCurrentSwitches,
    kSlotSwitches,
    kSlotInductors,
    kSlotCapacitors,
    kSlotAdcNodes,         // load only: the analog-to-digital interface nodes
    kSlotInitialValues,
    kSlotCount,
};

using DeviceSetupFn = int (*)();
using DeviceLoadFn = int (*)();

// Installs the set-up and load of a device kind, which the device families (src/devices) and the
// digital interfaces register at start-up. A kind whose list holds records but that has no load
// makes the load pass fail with 5368 rather than solve a circuit without those devices. Returns
// the handlers it replaces.
struct DeviceKindHandlers {
    DeviceSetupFn setup;
    DeviceLoadFn load;
};
DeviceKindHandlers RegisterDeviceKindHandlers(DeviceKindSlot slot, DeviceSetupFn setup, DeviceLoadFn load);

// A kind whose convergence is judged on the new solution right after the solve, from the
// linearisation its last load left, instead of by its next load (so a converged iterate is not
// confirmed one load later). The test adds its non-converged devices to the solver's counter.
using DeviceSolveTestFn = void (*)();
void RegisterSolveConvergenceTest(DeviceKindSlot slot, DeviceSolveTestFn test);
// Runs the registered tests in slot order on the present solution.
void CountNonConvergedAfterSolve();

// Computes the mode flags of the present mode words.
LoadModeFlags ComputeLoadModeFlags(const AnalogSolverState& s);

// The set-up pass: 0 or the first non-zero set-up result.
int SetupAllDevices();
// ReportMathError once the status flags have been cleared: with no flag to find, only an error
// an evaluation left pending is reported, and reading the flags again (slow instructions at
// every load) is spared.
int ReportPendingMathError();
// One load pass (the stamping of one Newton iteration): 0 or a message id. Runs the set-up pass
// first while the set-up done flag is clear. Every device load's result is tested.
int LoadCircuit();

}  // namespace kq5
