#pragma once
// The waveform store of a plot: every value a run computes for its curves, point by point over
// all runs, in pages of 1024 points. Pages get memory of their own while memory is plentiful;
// once it runs short, one resident page is kept and the others are swapped through a
// temporary file. The end of each run records the run's first and last points per curve and
// its run record.
#include <cstdint>
#include <cstddef>
#include <functional>

#include "core/digital_logic_tables.h"
#include "results/curve_record.h"

namespace kq5 {

struct WindowRecord;

// Temporary file names by window kind.
inline constexpr const char* kAnalysisStoreFileName = "graph.tmp";
inline constexpr const char* kPerformanceStoreFileName = "graph .tmp";

// Runs a store is sized for: the runs of each temperature (stepping or Monte Carlo cases),
// times the temperatures, times the Input 2 values of a two-input DC sweep, in 64 bits; 0
// when the product passes the most runs an analysis may plan.
struct PlannedRuns {
    int runCount = 1;
    int temperatureCount = 1;
    int input2Count = 1;
};
int PlannedRunCount(const PlannedRuns& plan);

// What a store asks of the run loops above it: a probe run under way is stopped when its store
// file cannot be written (true then, and the failure is reported). The run loops fill it at
// start-up; without it nothing is stopped and a write failure stays silent, as outside probe runs.
struct WaveformStoreHooks {
    std::function<bool()> stopProbeRun;
};
WaveformStoreHooks& StoreHooks();

// Sets the plot's store up for a run: slots of the built curves (the analysis X in slot 0,
// shared by the curves whose axis is the sweep variable of the analysis; one slot per further
// variable; six per curve for a performance window), the curves' run arrays, the run records and
// the resident buffers. With printedOnly (a run that draws nothing and reads no stored point
// after the run except to print it) an analysis window's curve whose points are not read later
// keeps only its last points. 0, or 15002 when memory runs out (the store then has no buffers).
int CreateWaveformStore(PlotRecord& plot, int windowKind, int analysisKind, int maxRuns, bool printedOnly = false);
// Whether the curve's stored points are read once the run has passed them: printed, checked
// for differences at the end of the run, or the input of a transform or an import.
bool CurvePointsReadLater(const CurveRecord& curve);

// Page 0 again, nothing handed out to the file (the page table and the file stay).
void RewindWaveformStore(PlotRecord& plot);
// Every curve's last point index becomes -1.
void ClearCurveRunMarks(PlotRecord& plot);

// Raises the curve's last point index when one more point can be stored: 1, else 0 (no
// current page, the store is full, or the index would overflow).
inline int AdvanceCurvePoint(WaveformStore& store, CurveRecord& curve)
{
    if (store.currentPage == -1 || store.full) return 0;
    if (curve.lastPointIndex == INT32_MAX) {
        store.currentPage = -1;
        return 0;
    }
    ++curve.lastPointIndex;
    return 1;
}
// Stores or reads one value; a cell that cannot be reached is left alone / reads 0.0.
void SetWaveformValue(WaveformStore& store, int slot, std::int32_t point, double value);
double GetWaveformValue(WaveformStore& store, int slot, std::int32_t point);
// Stores a curve's point: slot 0 (the sweep; only when the curve's X is a slot of its own)
// first, then X and Y, as three SetWaveformValue calls would.
void StoreCurvePoint(WaveformStore& store, const CurveRecord& curve, std::int32_t point, double x, double y, double sweep);
// StoreCurvePoint's usual digital point, done in place: slot 0 of the point already written by a
// curve before, X the sweep itself and Y the state the curve's last stretch holds. True when
// stored so; false leaves the store as it was.
inline bool ExtendCurveStretch(WaveformStore& store, const CurveRecord& curve, std::int32_t point, double x, double y,
                               double sweep)
{
    if (point != store.sweepPoint || sweep != store.sweepValue || x != sweep) return false;
    const int xSlot = curve.storeSlots[kWaveformX], ySlot = curve.storeSlots[kWaveformY];
    const auto slots = store.slotValues.size();
    if (xSlot <= 0 || ySlot <= 0 || static_cast<std::size_t>(xSlot) >= slots || static_cast<std::size_t>(ySlot) >= slots ||
        xSlot >= store.slotCount || ySlot >= store.slotCount)
        return false;
    const WaveformSlotValues& xs = store.slotValues[static_cast<std::size_t>(xSlot)];
    WaveformSlotValues& ys = store.slotValues[static_cast<std::size_t>(ySlot)];
    if (xs.kind != kSlotFollowsSweep || (!xs.starts.empty() && xs.starts.back() >= point)) return false;
    if (ys.kind != kSlotChanges || point != ys.count || ys.starts.empty() || ys.lastValue != y) return false;
    ys.count = point + 1;
    return true;
}
// Whether the curve's new point (X the sweep, Y its present value) would only repeat its last
// point, which repeats the one before: a digital curve whose X reads slot 0 and whose last
// stretch holds Y from before its last point, run's first points excepted.
inline bool CurvePointRepeatsLast(const WaveformStore& store, const CurveRecord& curve, std::int32_t runFirst,
                                  double sweep)
{
    const std::int32_t last = curve.lastPointIndex;
    // The run's first points are read one by one (the first point takes its value at the run's start).
    if (!curve.digital || curve.newData != 0 || last < runFirst + 4 || curve.currentValue[kWaveformX] != sweep)
        return false;
    const int xSlot = curve.storeSlots[kWaveformX], ySlot = curve.storeSlots[kWaveformY];
    const auto slots = store.slotValues.size();
    if (xSlot <= 0 || ySlot <= 0 || static_cast<std::size_t>(xSlot) >= slots || static_cast<std::size_t>(ySlot) >= slots)
        return false;
    const WaveformSlotValues& ys = store.slotValues[static_cast<std::size_t>(ySlot)];
    // A state nobody reads back repeats whatever it holds.
    if (ys.kind != kSlotRecent && (ys.kind != kSlotChanges || ys.count != last + 1 || ys.starts.empty() ||
                                   ys.lastValue != curve.currentValue[kWaveformY] || ys.starts.back() >= last))
        return false;
    const WaveformSlotValues& xs = store.slotValues[static_cast<std::size_t>(xSlot)];
    return xs.kind == kSlotFollowsSweep && xs.starts.empty() && curve.imports.empty() && !curve.dspWork &&
           curve.dspProgram.empty();
}
// Moves the last point of the store's slot 0 to a later sweep value: where every curve's new
// point repeats its last (CurvePointRepeatsLast), that point takes the new one's place. Every
// step read between the stretch's first point and the new sweep value is the same.
void MoveLastSweepValue(WaveformStore& store, std::int32_t point, double sweep);
// The slot whose values a slot holds: 0 for a digital curve's X that holds slot 0's value at
// every point, else the slot itself.
int SlotReadAs(const WaveformStore& store, int slot);
// The value at the run's first point plus offset.
double GetCurveRunValue(WaveformStore& store, int slot, const CurveRecord& curve, int offset, int run);
// Points of the curve in the run being filled.
std::int32_t CountRunPoints(const WaveformStore& store, const CurveRecord& curve);
// First point of a run of the curve: 0 for run 0, else the last point of the run before plus 1.
inline std::int32_t RunFirstPoint(const CurveRecord& curve, int run)
{
    if (run <= 0) return 0;
    const std::size_t before = static_cast<std::size_t>(run) - 1;
    return before < curve.runLastIndex.size() ? curve.runLastIndex[before] + 1 : 0;
}

// Closes the run being filled: its first and last point for each built curve and its record.
// Unless keepRun is set (a run stopped by Esc keeps its partial run open) the run count rises.
void EndWaveformRun(PlotRecord& plot, bool keepRun, const RunRecord& record);

// The first run whose points hold the point, else -1.
int FindRunOfPoint(const WaveformStore& store, const CurveRecord& curve, std::int32_t point);
int FindRunOfCurvePoint(const PlotRecord& plot, std::int32_t point, int curveIndex);
// The first point of the run that holds the point; of the last completed run when none does; of
// run 0 when there are no runs.
std::int32_t FirstPointOfRunAt(const PlotRecord& plot, int curveIndex, std::int32_t point);

// Frees the run records, the pages and the resident buffers.
void FreeWaveformPages(WaveformStore& store);
// Closes (and removes) the temporary file.
void CloseWaveformFile(WaveformStore& store);
// Frees pages and file, and the curves: no curves, current curve 0, current run -1.
void ResetWaveformStore(PlotRecord& plot);
void ResetWaveformStore(WindowRecord* window);

// Whether a new page may take memory of its own; asks the system unless a test replaced it.
bool WaveformMemoryPlentiful();
void SetWaveformMemoryProbeForTests(std::function<bool()> probe);

// The store of a curve outside a plot: values appended to X or Y and read back by run and
// offset, for code that works on a lone curve.
double WaveformStoreRead(const CurveRecord& curve, int run, int index, int slot = kWaveformY);
// Appends a value to X or Y of the curve; 0, or 15002 when memory runs out.
int WaveformStoreWrite(CurveRecord& curve, double value, int slot = kWaveformY);
// Replaces the stored value of an absolute point index; nothing outside what was stored.
void WaveformStoreReplace(CurveRecord& curve, std::int32_t pointIndex, double value, int slot = kWaveformY);

}  // namespace kq5
