#pragma once
// The program's menus: the frame's menu bar (resource 100) and the menus the child windows swap
// in or pop up (101 to 111), brought up to date each time a popup opens, and their dynamic
// entries (recent files, the numbered tool bars).
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "document/document_services.h"
#include "ui/menu_sources.h"
#include "platform/win_types.h"

namespace kq5 {

struct ComponentGroup;

constexpr int kMainMenu = 100;
constexpr int kFirstWindowMenu = 101;
constexpr int kLastWindowMenu = 111;
constexpr int kFirstRecentFile = 3892;
// kRecentFileCount (8) comes with the recent-file list of the document services.
constexpr int kFirstToolBarEntry = 17541;

struct MenuHandles {
    win::HMENU main = nullptr;
    win::HMENU windowMenus[kLastWindowMenu - kFirstWindowMenu + 1] = {};
};
MenuHandles& Menus();

// Loads every menu (the frame's WM_CREATE); DestroyMenus frees them (exit).
bool LoadMenus();
void DestroyMenus();
// A loaded menu by resource id, or null.
win::HMENU LoadedMenu(int id);
// The popup of a menu whose items include the command (searched depth-first), or null.
win::HMENU FindPopupWithCommand(win::HMENU menu, unsigned command);

// A name as a menu shows it: names longer than 40 characters as their first 35 and "...".
std::string MenuItemText(std::string_view name);
void AppendNameItem(win::HMENU popup, unsigned id, std::string_view name);
// Removes the items from the position to the end.
void RemoveItemsFrom(win::HMENU popup, int position);

// One window of a list that the analysis menus offer by name.
struct WindowMenuEntry {
    std::string name;
    bool shown = false;
};
// Makes the numbered entries first..last at the end of a popup anew: the old ones and the
// separator above them go; then, when there are windows, a separator and one entry per window
// (its name cut as long names are), checked while it is shown. The entries are greyed while a
// run or a demo goes on, or while the analysis has no stored run.
void RebuildWindowMenuEntries(win::HMENU popup, int first, int last, const std::vector<WindowMenuEntry>& entries);

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

// The recent files: the old entries removed, one "&%d %s" entry per file (from the sources).
void RebuildRecentFilesMenu(win::HMENU filePopup);
// The sources of the texts and checks (MenuTextSources) are in ui/menu_sources.h.

// What the popups' checks depend on besides the tool-button states.
struct MenuSituation {
    int kind = -1;              // the active child's window kind, -1 none
    bool analysisOpen = false;
    int mode = 0;               // the active child's edit mode
    int cursorSearchMode = 0;   // 18670 to 18677
    bool limitsDialogOpen = false;
};

// Brings a popup up to date as it opens (WM_INITMENUPOPUP of the frame).
void InitMenuPopupItems(win::HMENU popup, const MenuSituation& situation);
// The Options popup's text of tool bar n (1 to 9).
std::string ToolBarEntryText(int n);

}  // namespace kq5
