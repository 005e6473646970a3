#pragma once
// Global memory blocks (GlobalAlloc / GlobalLock ...): the blocks handed to the clipboard and
// the print set-up's DEVMODE and DEVNAMES. A block is zero-filled and stays where it is while it
// lives, so a pointer from GlobalLock is good until the block is freed.
#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>

#include "platform/win_types.h"

namespace win {

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

struct GlobalMemoryObject {
    std::unique_ptr<std::max_align_t[]> storage;
    std::size_t size = 0;
    UINT flags = 0;
    int locks = 0;
};

// Null when the memory cannot be had.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// Null for a bad handle.
void* GlobalLock(HGLOBAL mem);
// TRUE while the block stays locked, FALSE once its lock count is back at 0 (or for a bad handle).
BOOL GlobalUnlock(HGLOBAL mem);
// Null on success, the handle back when it is not a block.
HGLOBAL GlobalFree(HGLOBAL mem);
// 0 for a bad handle.
std::size_t GlobalSize(HGLOBAL mem);

// Layer helpers.
bool IsValidGlobal(HGLOBAL mem);
// The bytes of a block (empty for a bad handle).
std::span<std::byte> GlobalBytes(HGLOBAL mem);
// A new block holding the bytes, or the text and a terminating zero.
HGLOBAL GlobalAllocCopy(std::span<const std::byte> bytes);
HGLOBAL GlobalAllocText(std::string_view text);
// The text of a block up to its first zero byte (or its end).
std::string_view GlobalText(HGLOBAL mem);

struct GlobalMemoryState {
    std::unordered_map<GlobalMemoryObject*, std::unique_ptr<GlobalMemoryObject>> blocks;
};
GlobalMemoryState& GlobalMemory();
void ResetGlobalMemoryStateForTests();

}  // namespace win
