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
// The library's temporary buffers (stable_sort) come from the nothrow forms: they must take the
// same heap as the deletes below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
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
