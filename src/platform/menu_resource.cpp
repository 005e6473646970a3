// Loading menus and accelerator tables from the compiled resources.
#include "platform/menu_resource.h"

#include <cstdlib>
#include <vector>

#include "platform/menu.h"

namespace win {

namespace {

std::vector<CompiledMenuResources>& AddedResources() {
    static std::vector<CompiledMenuResources> added;
    return added;
}

template <typename Visit>
void ForEachSet(Visit visit) {
    if (visit(ProgramMenuResources())) return;
    for (const auto& set : AddedResources())
        if (visit(set)) return;
}

// Appends the items of one level starting at pos to menu; returns the position after the level.
std::size_t FillLevel(HMENU menu, const CompiledMenu& res, std::size_t pos) {
    while (pos < res.count) {
        const CompiledMenuItem& item = res.items[pos++];
        UINT flags = item.flags & ~(MF_END | MF_POPUP);
        if (item.flags & MF_POPUP) {
            HMENU sub = CreatePopupMenu();
            pos = FillLevel(sub, res, pos);
            AppendMenu(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item.text);
        } else if (item.flags & MF_SEPARATOR) {
            AppendMenu(menu, flags, item.id, nullptr);
        } else {
            AppendMenu(menu, flags, item.id, item.text);
        }
        if (item.flags & MF_END) break;
    }
    return pos;
}

}  // namespace

void AddMenuResources(const CompiledMenuResources& resources) { AddedResources().push_back(resources); }

const CompiledMenu* FindMenuResource(UINT id) {
    const CompiledMenu* found = nullptr;
    ForEachSet([&](const CompiledMenuResources& set) {
        for (std::size_t i = 0; i < set.menuCount; ++i)
            if (set.menus[i].id == id) found = &set.menus[i];
        return found != nullptr;
    });
    return found;
}

const CompiledAccelTable* FindAcceleratorResource(UINT id) {
    const CompiledAccelTable* found = nullptr;
    ForEachSet([&](const CompiledMenuResources& set) {
        for (std::size_t i = 0; i < set.tableCount; ++i)
            if (set.tables[i].id == id) found = &set.tables[i];
        return found != nullptr;
    });
    return found;
}

HMENU LoadMenu(HINSTANCE instance, UINT_PTR id) {
    const CompiledMenu* res = FindMenuResource(static_cast<UINT>(id));
    if (!res) return nullptr;
    HMENU menu = CreateMenu();
    FillLevel(menu, *res, 0);
    return menu;
}

HMENU LoadMenu(HINSTANCE instance, const char* name) {
    if (!name) return nullptr;
    if (IS_INTRESOURCE(reinterpret_cast<UINT_PTR>(name))) return LoadMenu(instance, reinterpret_cast<UINT_PTR>(name));
    if (name[0] != '#') return nullptr;
    char* end = nullptr;
    unsigned long id = std::strtoul(name + 1, &end, 10);
    if (end == name + 1 || *end) return nullptr;
    return LoadMenu(instance, static_cast<UINT_PTR>(id));
}

}  // namespace win
