#pragma once
// Clean-ups of a document's performance-window, 3-D-plot and Monte Carlo records (list
// kinds 31, 32 and 34), called when such a record leaves its list.
#include "core/linked_list.h"

namespace kq5 {

void PerformanceWindowCleanup(ListNode& record);
void Graph3DWindowCleanup(ListNode& record);
void MonteCarloWindowCleanup(ListNode& record);

}  // namespace kq5
