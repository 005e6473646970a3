// Replaces the global allocation functions of the schematic tests so that a test can make the
// program run out of memory at a chosen allocation.
#include <cstdlib>
#include <new>

namespace {

int failCountdown = 0;  // 0: off
bool failed = false;

void* Allocate(std::size_t size)
{
    if (failCountdown > 0 && --failCountdown == 0) {
        failed = true;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace kq5::testing {

void FailOneAllocation(int countdown)
{
    failCountdown = countdown;
    failed = false;
}
void StopFailingAllocations() { failCountdown = 0; }
bool AllocationFailed() { return failed; }

}  // namespace kq5::testing
