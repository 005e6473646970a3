#include "schematic/component_library_cleanup.h"

namespace kq5 {

void ComponentLibraryCleanup(ListNode& definition)
{
    definition.FreeOwnedData();
}

}  // namespace kq5
