#pragma once
// The component menu: the component library's groups as popups under the Component popup of the
// main menu, its definitions as items, then Find Component and the recent components.
#include <cstddef>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct ComponentGroup;

// The component menu: the library's groups as popups (kept in a tree of at most 200 rows, level 0
// under the Component popup) and its definitions as items 42000 + n, n counting the whole list.
constexpr int kFirstComponentItem = 42000;
constexpr std::size_t kComponentMenuRows = 200;
struct ComponentMenuRow {
    win::HMENU popup = nullptr;
    win::HMENU parent = nullptr;
    int level = 0;
    int groupId = 0;
};
std::vector<ComponentMenuRow>& ComponentMenuTree();
// The Component popup of the main menu (the one holding Find Component), or null.
win::HMENU ComponentPopup();
// Destroys the group popups deeper than the level and empties those at it.
void ResetComponentSubmenus(int level);
// Appends the popups of the group's child groups and the items of its definitions.
void BuildComponentMenu(win::HMENU popup, const ComponentGroup& group, int level);
// The whole menu again after a library change: nothing of the old tree is left.
void RebuildComponentMenu();
// A group's popup as it opens: its items made anew from the library as it is now (nothing for
// a popup that is no group's).
void RebuildOpenedComponentGroup(win::HMENU popup);
// The recent components below a separator of their own at the end of the Component popup.
void RefreshRecentComponents(win::HMENU popup);

}  // namespace kq5
