#pragma once
// The menus the program loads (the frame's menu bar, resource 100, and the menus the child
// windows swap in or pop up, 101 to 111) and the small operations on menu items every menu owner
// uses.
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kq5 {

constexpr int kMainMenu = 100;
constexpr int kFirstWindowMenu = 101;
constexpr int kLastWindowMenu = 111;

struct MenuHandles {
    win::HMENU main = nullptr;
    win::HMENU windowMenus[kLastWindowMenu - kFirstWindowMenu + 1] = {};
};
MenuHandles& Menus();

// A loaded menu by resource id, or null.
win::HMENU LoadedMenu(int id);
// The popup of a menu whose items include the command (searched depth-first), or null.
win::HMENU FindPopupWithCommand(win::HMENU menu, unsigned command);

// A name as a menu shows it: names longer than 40 characters as their first 35 and "...", shown
// as they stand.
std::string MenuItemText(std::string_view name);
void AppendNameItem(win::HMENU popup, unsigned id, std::string_view name);
// Removes the items from the position to the end.
void RemoveItemsFrom(win::HMENU popup, int position);
// True when one of the popup's own items carries the command.
bool MenuHasCommand(win::HMENU popup, unsigned command);

}  // namespace kq5
