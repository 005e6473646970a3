#include "analyses/analysis_window_cleanup.h"

namespace kq5 {

void PerformanceWindowCleanup(ListNode& record)
{
    record.FreeOwnedData();
}

void Graph3DWindowCleanup(ListNode& record)
{
    record.FreeOwnedData();
}

void MonteCarloWindowCleanup(ListNode& record)
{
    record.FreeOwnedData();
}

}  // namespace kq5
