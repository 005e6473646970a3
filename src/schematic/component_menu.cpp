#include "schematic/component_menu.h"

#include <algorithm>
#include <string>

#include "ui/menu_handles.h"
#include "ui/program_settings.h"
#include "platform/menu.h"
#include "document/component_library.h"
#include "schematic/component_library_use.h"

namespace kq5 {

namespace {

constexpr unsigned kFindComponent = 17308;

// Deletes every item of a popup; popups hanging from it are destroyed with their items, and
// their rows (and their descendants' rows) leave the tree.
void EmptyComponentPopup(win::HMENU popup)
{
    auto& rows = ComponentMenuTree();
    std::vector<win::HMENU> gone{popup};
    for (std::size_t i = 0; i < gone.size(); ++i) {
        for (const ComponentMenuRow& row : rows)
            if (row.parent == gone[i]) gone.push_back(row.popup);
    }
    std::erase_if(rows, [&](const ComponentMenuRow& row) {
        return row.popup != popup && std::find(gone.begin(), gone.end(), row.popup) != gone.end();
    });
    for (int i = win::GetMenuItemCount(popup) - 1; i >= 0; --i)
        win::DeleteMenu(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
}

// A group below the given one: the root is never a menu row, and the root's own id is shared by
// the first group the library made (group ids are counted over the root's descendants only).
const ComponentGroup* FindGroup(const ComponentGroup& group, int id)
{
    for (const ComponentGroup& child : group.children) {
        if (child.id == id) return &child;
        if (const ComponentGroup* found = FindGroup(child, id)) return found;
    }
    return nullptr;
}

}  // namespace

std::vector<ComponentMenuRow>& ComponentMenuTree()
{
    static std::vector<ComponentMenuRow> rows;
    return rows;
}

win::HMENU ComponentPopup() { return FindPopupWithCommand(Menus().main, kFindComponent); }


void ResetComponentSubmenus(int level)
{
    auto& rows = ComponentMenuTree();
    std::vector<win::HMENU> atLevel;
    for (const ComponentMenuRow& row : rows)
        if (row.level == level) atLevel.push_back(row.popup);
    for (win::HMENU popup : atLevel) EmptyComponentPopup(popup);
}

void BuildComponentMenu(win::HMENU popup, const ComponentGroup& group, int level)
{
    auto& rows = ComponentMenuTree();
    int position = win::GetMenuItemCount(popup);
    auto flagsAt = [&position](win::UINT flags) {
        // Every 20th item starts a new column.
        if (position % 20 == 19) flags |= win::MF_MENUBARBREAK;
        ++position;
        return flags;
    };
    for (const ComponentGroup& child : group.children) {
        if (rows.size() >= kComponentMenuRows) break;
        win::HMENU sub = win::CreatePopupMenu();
        if (!sub) break;
        win::AppendMenu(popup, flagsAt(win::MF_POPUP), reinterpret_cast<win::UINT_PTR>(sub), MenuItemText(child.name).c_str());
        rows.push_back({sub, popup, level, child.id});
        BuildComponentMenu(sub, child, level + 1);
    }
    int n = 0;
    for (const ComponentDefinition& d : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
        const int id = kFirstComponentItem + n++;
        if (d.groupId != group.id) continue;
        const win::UINT state = d.kind == 0 ? win::MF_GRAYED : win::MF_ENABLED;
        win::AppendMenu(popup, flagsAt(win::MF_STRING | state), static_cast<win::UINT_PTR>(id), MenuItemText(d.name).c_str());
    }
}

void RefreshRecentComponents(win::HMENU popup)
{
    for (int i = 0; i < 10; ++i) win::DeleteMenu(popup, static_cast<win::UINT>(kFirstRecentComponent + i), win::MF_BYCOMMAND);
    const int count = win::GetMenuItemCount(popup);
    if (count > 0 && win::GetMenuItemID(popup, count - 1) == 0 && win::GetSubMenu(popup, count - 1) == nullptr)
        win::DeleteMenu(popup, static_cast<win::UINT>(count - 1), win::MF_BYPOSITION);
    int number = 0;
    for (std::size_t i = 0; i < Settings().recentComponents.size(); ++i) {
        const std::string& name = Settings().recentComponents[i];
        if (name.empty()) continue;
        if (number == 0) win::AppendMenu(popup, win::MF_SEPARATOR, 0, nullptr);
        const std::string text = "&" + std::to_string(++number) + " " + MenuItemText(name);
        win::AppendMenu(popup, win::MF_STRING | win::MF_ENABLED, static_cast<win::UINT_PTR>(kFirstRecentComponent + i),
                        text.c_str());
    }
}

void RebuildOpenedComponentGroup(win::HMENU popup)
{
    for (const ComponentMenuRow& row : ComponentMenuTree()) {
        if (row.popup != popup) continue;
        // A group opens with the library as it is now.
        const ComponentMenuRow opened = row;
        EmptyComponentPopup(opened.popup);
        if (const ComponentGroup* group = FindGroup(ComponentLibrary().root, opened.groupId))
            BuildComponentMenu(opened.popup, *group, opened.level + 1);
        break;
    }
}

void RebuildComponentMenu()
{
    win::HMENU popup = ComponentPopup();
    if (!popup) return;
    // The editors' entries and their separator stay; the groups, Find Component and the recent
    // components after them are made anew.
    int keep = 0;
    const int count = win::GetMenuItemCount(popup);
    while (keep < count && win::GetMenuItemID(popup, keep) != 0) ++keep;
    if (keep < count) ++keep;
    for (int i = count - 1; i >= keep; --i) win::DeleteMenu(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
    ComponentMenuTree().clear();
    BuildComponentMenu(popup, ComponentLibrary().root, 0);
    win::AppendMenu(popup, win::MF_SEPARATOR, 0, nullptr);
    win::AppendMenu(popup, win::MF_STRING, kFindComponent, "Find Component");
    RefreshRecentComponents(popup);
}

}  // namespace kq5
