#include "analyses/graph3d_steps.h"

#include "analyses/graph3d_prepare.h"
#include "analyses/stepping_rows.h"

namespace kq5 {

void FillSteppingSources(Graph3DSources& sources)
{
    const SteppingRowsState& rows = SteppingRows();
    sources.plan.steppingActive = sources.plan.steppingActive && rows.active;
    sources.plan.slotCounts.fill(0);
}

double SteppingSlotValue(int, int) { return 0.0; }

}  // namespace kq5
