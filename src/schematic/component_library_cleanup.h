#pragma once
// Clean-up of the component library's definition records (list kind 14), called when a
// definition leaves its list.
#include "core/linked_list.h"

namespace kq5 {

void ComponentLibraryCleanup(ListNode& definition);

}  // namespace kq5
