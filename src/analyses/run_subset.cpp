#include "analyses/run_subset.h"

#include <algorithm>
#include <limits>

#include "analog/run_control.h"
#include "results/run_state.h"
#include "document/stepping_rows.h"
#include "results/curve_record.h"


namespace kq5 {

namespace {

bool SlotInUse(const RunPlan& plan, int slot)
{
    return plan.steppingActive && slot >= 0 && slot < kSteppingCases && plan.slotCounts[static_cast<std::size_t>(slot)] > 0;
}

int FirstSlotInUse(const RunPlan& plan)
{
    for (int k = 0; k < kSteppingCases; ++k)
        if (SlotInUse(plan, k)) return k;
    return -1;
}

// Products stay within int: the run plan refuses more than a million runs, but a plan read
// from elsewhere must not overflow either.
int SaturatingProduct(std::int64_t a, std::int64_t b)
{
    const std::int64_t p = a * b;
    return static_cast<int>(std::min<std::int64_t>(p, std::numeric_limits<std::int32_t>::max()));
}

int ClampChoice(int choice, int count) { return std::clamp(choice, 0, std::max(count - 1, 0)); }

}  // namespace

int TotalRunCount(const RunPlan& plan)
{
    if (plan.steppingActive) {
        const int first = FirstSlotInUse(plan);
        if (first < 0) return 1;
        if (plan.simultaneous) return plan.slotCounts[static_cast<std::size_t>(first)];
        int product = 1;
        for (int k = 0; k < kSteppingCases; ++k)
            if (SlotInUse(plan, k)) product = SaturatingProduct(product, plan.slotCounts[static_cast<std::size_t>(k)]);
        return product;
    }
    if (plan.monteCarloActive) return std::max(plan.monteCarloRuns, 1);
    return 1;
}

int StepCountAfterSlot(const RunPlan& plan, int slot)
{
    if (plan.simultaneous) return 1;
    int product = 1;
    for (int k = slot + 1; k < kSteppingCases; ++k)
        if (SlotInUse(plan, k)) product = SaturatingProduct(product, plan.slotCounts[static_cast<std::size_t>(k)]);
    return product;
}

int CountStrides(int b, int c) { return b > 0 ? c / b : 0; }

std::int64_t RunsPerTemperatureGroup(const RunPlan& plan)
{
    return static_cast<std::int64_t>(TotalRunCount(plan)) * std::max(plan.input2Count, 1);
}

int StoredTemperatureGroups(const RunPlan& plan)
{
    const std::int64_t group = RunsPerTemperatureGroup(plan);
    if (plan.storedRuns <= 0) return 0;
    return static_cast<int>((plan.storedRuns + group - 1) / group);
}

bool AxisSourceInForce(const RunPlan& plan, int source)
{
    if (source == kAxisSourceTemperature) return plan.temperatureCount > 1;
    if (source == kAxisSourceCase) return plan.monteCarloActive;
    if (source >= kAxisSourceStepSlot) return SlotInUse(plan, source - kAxisSourceStepSlot);
    return false;
}

int FirstSteppedSource(const RunPlan& plan)
{
    const int k = FirstSlotInUse(plan);
    return k < 0 ? 0 : kAxisSourceStepSlot + k;
}

RunSubset ChooseRunSubset(const RunPlan& plan, const FunctionRecord& record, int source)
{
    RunSubset subset;
    if (!AxisSourceInForce(plan, source) || plan.storedRuns <= 0) return subset;
    const std::int64_t unit = std::max(plan.input2Count, 1);
    const std::int64_t group = RunsPerTemperatureGroup(plan);
    const int groups = StoredTemperatureGroups(plan);

    // The fixed quantities: the temperature group, then the case inside it.
    std::int64_t first = 0;
    if (source != kAxisSourceTemperature && plan.temperatureCount > 1)
        first = group * ClampChoice(record.temperatureCase, plan.temperatureCount);
    if (plan.steppingActive) {
        const int slotSource = source >= kAxisSourceStepSlot ? source - kAxisSourceStepSlot : -1;
        if (plan.simultaneous) {
            const int k = FirstSlotInUse(plan);
            if (slotSource < 0 && k >= 0)
                first += unit * ClampChoice(record.steppingCases[static_cast<std::size_t>(k)],
                                            plan.slotCounts[static_cast<std::size_t>(k)]);
        } else {
            for (int k = 0; k < kSteppingCases; ++k) {
                if (!SlotInUse(plan, k) || k == slotSource) continue;
                first += unit * StepCountAfterSlot(plan, k) *
                         ClampChoice(record.steppingCases[static_cast<std::size_t>(k)],
                                     plan.slotCounts[static_cast<std::size_t>(k)]);
            }
        }
    } else if (plan.monteCarloActive && source != kAxisSourceCase) {
        first += unit * ClampChoice(record.monteCarloCase, TotalRunCount(plan));
    }

    std::int64_t stride = 1, count = 1;
    if (source == kAxisSourceTemperature) {
        stride = group;
        count = groups;
    } else if (source == kAxisSourceCase) {
        stride = unit;
        count = TotalRunCount(plan);
    } else {
        const int k = source - kAxisSourceStepSlot;
        stride = unit * StepCountAfterSlot(plan, k);
        count = plan.slotCounts[static_cast<std::size_t>(k)];
    }
    std::int64_t last = first + stride * (count - 1);
    last = std::min<std::int64_t>(last, plan.storedRuns - 1);
    // The walk ends on a member of the subset.
    if (last >= first) last = first + (last - first) / stride * stride;
    subset.first = static_cast<std::int32_t>(first);
    subset.last = static_cast<std::int32_t>(std::max<std::int64_t>(last, first - 1));
    subset.stride = static_cast<std::int32_t>(stride);
    return subset;
}

int RunCaseNumber(const RunPlan& plan, std::int32_t run)
{
    const std::int64_t group = RunsPerTemperatureGroup(plan);
    return static_cast<int>((run % group) / std::max(plan.input2Count, 1)) + 1;
}

int RunSlotIndex(const RunPlan& plan, std::int32_t run, int slot)
{
    if (!SlotInUse(plan, slot)) return 0;
    const int caseIndex = RunCaseNumber(plan, run) - 1;
    if (plan.simultaneous) return caseIndex;
    return (caseIndex / StepCountAfterSlot(plan, slot)) % plan.slotCounts[static_cast<std::size_t>(slot)];
}

bool MultiRunPlan(const RunPlan& plan)
{
    return plan.steppingActive || plan.monteCarloActive || plan.temperatureCount > 1;
}

RunPlan CurrentRunPlan(const WaveformStore& store)
{
    RunPlan plan;
    const AnalysisRunState& state = RunState();
    plan.steppingActive = state.steppingActive;
    plan.monteCarloActive = state.monteCarloActive && !state.steppingActive;
    plan.monteCarloRuns = state.runCount;
    plan.storedRuns = store.runCount;
    if (plan.steppingActive) {
        const SteppingRowsState& rows = SteppingRows();
        plan.simultaneous = rows.simultaneous;
        for (int k = 0; k < kSteppingCases; ++k) {
            const SteppingRow& row = rows.rows[static_cast<std::size_t>(k)];
            plan.slotCounts[static_cast<std::size_t>(k)] = row.active ? std::max(row.caseCount, 1) : 0;
        }
    }
    plan.temperatureCount = std::max(state.temperatureCount, 1);
    plan.input2Count = std::max(state.input2Count, 1);
    // A Monte Carlo run or a stepped case stopped with Esc does not count: what it stored is
    // part of a run, and measured with the others it would stand among them as a value the
    // circuit never gave. Monte Carlo's end has taken the stopped run off the runs reached
    // already; a stepped case stopped part-way is still among them.
    if ((state.monteCarloActive || state.steppingActive) && state.stoppedByUser && !RunControl().running) {
        const int complete = state.monteCarloActive ? state.lastRunReached : std::max(state.lastRunReached - 1, 0);
        const std::int64_t counted = RunRecordIndex(RunPosition{state.temperatureIndex, complete, 0});
        plan.storedRuns = static_cast<int>(std::clamp<std::int64_t>(counted, 0, plan.storedRuns));
    }
    return plan;
}

}  // namespace kq5
