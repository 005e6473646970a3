#include "platform/global_memory.h"

#include <cstring>
#include <new>

#include "platform/module_state.h"

namespace win {

namespace {

GlobalMemoryObject* Lookup(HGLOBAL mem) {
    if (mem == nullptr) return nullptr;
    auto& blocks = GlobalMemory().blocks;
    auto it = blocks.find(mem);
    return it == blocks.end() ? nullptr : it->second.get();
}

}  // namespace

GlobalMemoryState& GlobalMemory() { return ModuleState<GlobalMemoryState>(); }

void ResetGlobalMemoryStateForTests() { ResetModuleState<GlobalMemoryState>(); }

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
    try {
        auto block = std::make_unique<GlobalMemoryObject>();
        // Every block is zero-filled, asked for or not, so nothing stale is ever read from it.
        const std::size_t units = bytes / sizeof(std::max_align_t) + 1;
        block->storage = std::make_unique<std::max_align_t[]>(units);
        std::memset(block->storage.get(), 0, units * sizeof(std::max_align_t));
        block->size = bytes;
        block->flags = flags;
        HGLOBAL handle = block.get();
        GlobalMemory().blocks.emplace(handle, std::move(block));
        return handle;
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

bool IsValidGlobal(HGLOBAL mem) { return Lookup(mem) != nullptr; }

void* GlobalLock(HGLOBAL mem) {
    GlobalMemoryObject* b = Lookup(mem);
    if (b == nullptr) return nullptr;
    ++b->locks;
    return b->storage.get();
}

BOOL GlobalUnlock(HGLOBAL mem) {
    GlobalMemoryObject* b = Lookup(mem);
    if (b == nullptr || b->locks == 0) return FALSE;
    --b->locks;
    return b->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    if (Lookup(mem) == nullptr) return mem;
    GlobalMemory().blocks.erase(mem);
    return nullptr;
}

std::size_t GlobalSize(HGLOBAL mem) {
    GlobalMemoryObject* b = Lookup(mem);
    return b ? b->size : 0;
}

std::span<std::byte> GlobalBytes(HGLOBAL mem) {
    GlobalMemoryObject* b = Lookup(mem);
    if (b == nullptr) return {};
    return {reinterpret_cast<std::byte*>(b->storage.get()), b->size};
}

HGLOBAL GlobalAllocCopy(std::span<const std::byte> bytes) {
    HGLOBAL mem = GlobalAlloc(GHND, bytes.size());
    if (mem != nullptr && !bytes.empty()) std::memcpy(GlobalBytes(mem).data(), bytes.data(), bytes.size());
    return mem;
}

HGLOBAL GlobalAllocText(std::string_view text) {
    HGLOBAL mem = GlobalAlloc(GHND, text.size() + 1);
    if (mem != nullptr && !text.empty()) std::memcpy(GlobalBytes(mem).data(), text.data(), text.size());
    return mem;
}

std::string_view GlobalText(HGLOBAL mem) {
    std::span<std::byte> b = GlobalBytes(mem);
    const char* p = reinterpret_cast<const char*>(b.data());
    return {p, p ? strnlen(p, b.size()) : 0};
}

}  // namespace win
