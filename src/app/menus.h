#pragma once
// The program's menus: the frame's menu bar (resource 100) and the menus the child windows swap
// in or pop up (101 to 111), brought up to date each time a popup opens, and their dynamic
// entries (recent files, the numbered tool bars). The loaded menus and the item operations are in
// ui/menu_handles.h, the component menu in schematic/component_menu.h, the analysis windows'
// entries in analog/run_windows.h.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analog/run_windows.h"
#include "document/document_services.h"
#include "schematic/component_menu.h"
#include "ui/menu_handles.h"
#include "ui/menu_sources.h"
#include "platform/win_types.h"

namespace kq5 {

constexpr int kFirstRecentFile = 3892;
// kRecentFileCount (8) comes with the recent-file list of the document services.
constexpr int kFirstToolBarEntry = 17541;

// Loads every menu (the frame's WM_CREATE); DestroyMenus frees them (exit).
bool LoadMenus();
void DestroyMenus();

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
