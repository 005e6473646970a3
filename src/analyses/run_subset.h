#pragma once
// Which stored runs a performance plot, a 3-D surface or a histogram walks. Runs are stored
// temperature-major: each temperature makes one group of runs; inside a group the stepping
// cases follow with slot 0 varying slowest (or the Monte Carlo cases in order), and each case
// makes one run per Input 2 value of a two-input DC sweep. A window fixes every quantity but
// its axis (the chosen temperature, Monte Carlo case and step values of its function record)
// and walks the axis with a stride.
#include <array>
#include <cstdint>

#include "document/analysis_windows.h"

namespace kq5 {

struct WaveformStore;

// Axis sources of a function record.
inline constexpr int kAxisSourceTemperature = 1;
inline constexpr int kAxisSourceXVariable = 2;
inline constexpr int kAxisSourceCase = 3;
inline constexpr int kAxisSourceStepSlot = 1000;  // + slot 0..9

// What the analysis planned and what it stored: everything the subsets are computed from.
struct RunPlan {
    bool steppingActive = false;
    bool simultaneous = false;
    std::array<int, kSteppingCases> slotCounts{};  // values of each slot in use, 0 when unused
    bool monteCarloActive = false;
    int monteCarloRuns = 0;
    int temperatureCount = 1;  // temperatures of the temperature list
    int input2Count = 1;       // Input 2 values of a two-input DC sweep
    int storedRuns = 0;        // runs the store holds
};

// The plan of the last analysis (run state and stepping slots) with the runs a store holds.
RunPlan CurrentRunPlan(const WaveformStore& store);
// Whether the plan makes more than one run per analysis: stepping, Monte Carlo or temperatures.
bool MultiRunPlan(const RunPlan& plan);

struct RunSubset {
    std::int32_t first = 0;
    std::int32_t last = -1;  // last below first: no run
    std::int32_t stride = 1;
    bool Empty() const { return last < first; }
};

// Cases of one temperature: the product of the value counts of the slots in use when stepping
// (simultaneous slots step together: the count of one), else the Monte Carlo runs, else 1.
int TotalRunCount(const RunPlan& plan);
// Runs between two values of slot k in nested stepping: the product of the counts of the later
// slots in use (1 in simultaneous stepping).
int StepCountAfterSlot(const RunPlan& plan, int slot);
// How many steps of b it takes to reach c (0 when b is not positive).
int CountStrides(int b, int c);
// Stored runs of one temperature group, Input 2 values included.
std::int64_t RunsPerTemperatureGroup(const RunPlan& plan);
// Temperature groups that the stored runs reach (a group being filled counts).
int StoredTemperatureGroups(const RunPlan& plan);

// Whether a source can be an axis of the plan: a temperature list, Monte Carlo, a slot in use.
bool AxisSourceInForce(const RunPlan& plan, int source);
// The first stepped slot in use as a source, 0 when none is.
int FirstSteppedSource(const RunPlan& plan);

// The runs that vary along `source` with every other quantity fixed at the record's choices
// (choices beyond their counts take the last value); empty for a source not in force.
RunSubset ChooseRunSubset(const RunPlan& plan, const FunctionRecord& record, int source);

// The 1-based case of a stored run inside its temperature group.
int RunCaseNumber(const RunPlan& plan, std::int32_t run);
// The 0-based value index of slot k in a stored run.
int RunSlotIndex(const RunPlan& plan, std::int32_t run, int slot);

}  // namespace kq5
