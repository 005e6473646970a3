#include "core/part_instance.h"

#include "core/memory.h"

namespace kq5 {

void PartInstanceRecord::FreeOwnedData()
{
    FreeAndNull(partName);
}

}  // namespace kq5
