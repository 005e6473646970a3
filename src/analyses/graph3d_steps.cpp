#include "analyses/graph3d_steps.h"

#include "analyses/graph3d_prepare.h"
#include "analyses/stepping.h"
#include "document/stepping_rows.h"

namespace kq5 {

void FillSteppingSources(Graph3DSources& sources)
{
    const SteppingRowsState& rows = SteppingRows();
    for (int k = 0; k < kSteppingCases; ++k) {
        const auto slot = static_cast<std::size_t>(k);
        const SteppingRow& row = rows.rows[slot];
        const bool used = sources.plan.slotCounts[slot] > 0;
        sources.slotLinear[slot] = row.method == kStepMethodLog ? 0 : 1;
        sources.slotName[slot] = used ? FormatSteppedParamName(k) : std::string();
    }
}

double SteppingSlotValue(const WaveformStore& store, const RunPlan& plan, int slot, int index)
{
    // The value the runs were made with: the first stored run whose case has that index.
    for (int run = 0; run < plan.storedRuns && run < static_cast<int>(store.runs.size()); ++run)
        if (RunSlotIndex(plan, run, slot) == index) return store.runs[static_cast<std::size_t>(run)].steppedValues[static_cast<std::size_t>(slot)];
    return index + 1;
}

}  // namespace kq5
