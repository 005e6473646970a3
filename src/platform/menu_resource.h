#pragma once
// Menu and accelerator-table resources as the resource compiler (tools/gen_menus) writes them from
// their readable sources: the program's own from data/menus and data/accelerators, compiled into
// the program, and further sets that a test program adds.
#include <cstddef>

#include "platform/accelerator.h"
#include "platform/win_types.h"

namespace win {

// One item of a menu resource, in tree order: flags are MF_* bits, MF_POPUP opens a level that
// the items after it fill, MF_END marks the last item of a level.
struct CompiledMenuItem {
    WORD flags = 0;
    UINT id = 0;
    const char* text = "";
};

struct CompiledMenu {
    UINT id = 0;
    const CompiledMenuItem* items = nullptr;
    std::size_t count = 0;
};

struct CompiledAccelTable {
    UINT id = 0;
    const ACCEL* entries = nullptr;
    std::size_t count = 0;
};

struct CompiledMenuResources {
    const CompiledMenu* menus = nullptr;
    std::size_t menuCount = 0;
    const CompiledAccelTable* tables = nullptr;
    std::size_t tableCount = 0;
};

// The program's own resources (generated).
const CompiledMenuResources& ProgramMenuResources();
// Adds a further set, searched after the program's own.
void AddMenuResources(const CompiledMenuResources& resources);

const CompiledMenu* FindMenuResource(UINT id);
const CompiledAccelTable* FindAcceleratorResource(UINT id);

}  // namespace win
