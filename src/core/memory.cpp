#include "core/memory.h"

namespace kq5 {

bool MemAllocZero(OwnedBlock& block, std::size_t size) noexcept
{
    return AllocArray(block, size);
}

}  // namespace kq5
