#include "app/menus.h"

#include <algorithm>
#include <cstdio>

#include "analog/run_control.h"
#include "analyses/graph3d_window.h"
#include "analyses/histogram.h"
#include "analyses/performance_window.h"
#include "ui/help_bar.h"
#include "ui/program_settings.h"
#include "ui/tool_buttons.h"
#include "ui/window_record.h"
#include "platform/menu.h"
#include "platform/system.h"
#include "results/curve_record.h"
#include "plots/probe_mode.h"
#include "document/component_library.h"
#include "schematic/component_library_use.h"

namespace kq5 {

namespace {

constexpr const char* kUnnamedBar = "Palette";
constexpr unsigned kFindComponent = 17308;
constexpr unsigned kToolsEntry = 17539;
constexpr unsigned kHelpBarEntry = 17540;
constexpr unsigned kGraphicMode = 17584;
constexpr unsigned kLimits = 16060;

void Enable(win::HMENU popup, unsigned id, bool enabled)
{
    win::EnableMenuItem(popup, id, win::MF_BYCOMMAND | (enabled ? win::MF_ENABLED : win::MF_GRAYED));
}

void Check(win::HMENU popup, unsigned id, bool checked)
{
    win::CheckMenuItem(popup, id, win::MF_BYCOMMAND | (checked ? win::MF_CHECKED : win::MF_UNCHECKED));
}

// Items that carry a tool button's command take the button's state.
void ApplyButtonStates(win::HMENU popup)
{
    const int count = win::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        unsigned id = win::GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<unsigned>(-1)) continue;
        int row = FindToolButton(id);
        if (row < 0) continue;
        Enable(popup, id, ToolButtonRows()[static_cast<std::size_t>(row)].state == 0);
    }
}

bool IsSchematic(int kind) { return kind == kWindowSchematic || kind == kWindowPlainSchematic; }

}  // namespace

bool LoadMenus()
{
    MenuHandles& menus = Menus();
    win::HINSTANCE instance = win::GetModuleHandle(nullptr);
    if (!menus.main) menus.main = win::LoadMenu(instance, kMainMenu);
    for (int id = kFirstWindowMenu; id <= kLastWindowMenu; ++id) {
        win::HMENU& menu = menus.windowMenus[id - kFirstWindowMenu];
        if (!menu) menu = win::LoadMenu(instance, static_cast<win::UINT_PTR>(id));
    }
    return menus.main != nullptr;
}

void DestroyMenus()
{
    // The group popups hang in the main menu and go with it.
    ComponentMenuTree().clear();
    MenuHandles& menus = Menus();
    if (menus.main) win::DestroyMenu(menus.main);
    for (win::HMENU& menu : menus.windowMenus) {
        if (menu) win::DestroyMenu(menu);
        menu = nullptr;
    }
    menus.main = nullptr;
}

void RebuildRecentFilesMenu(win::HMENU filePopup)
{
    if (!filePopup) return;
    for (int i = 0; i < kRecentFileCount; ++i) win::DeleteMenu(filePopup, kFirstRecentFile + i, win::MF_BYCOMMAND);
    // The entries stand below a separator of their own, gone with them.
    const int count = win::GetMenuItemCount(filePopup);
    if (count > 0 && win::GetMenuItemID(filePopup, count - 1) == 0) win::DeleteMenu(filePopup, static_cast<win::UINT>(count - 1), win::MF_BYPOSITION);
    const auto& recent = MenuTextSources().recentFile;
    if (!recent) return;
    int number = 0;
    for (int i = 0; i < kRecentFileCount; ++i) {
        std::string name = recent(i);
        if (name.empty()) continue;
        if (number == 0) win::AppendMenu(filePopup, win::MF_SEPARATOR, 0, nullptr);
        std::string text = "&" + std::to_string(++number) + " " + win::MenuLiteral(name);
        win::AppendMenu(filePopup, win::MF_STRING | win::MF_ENABLED, static_cast<win::UINT_PTR>(kFirstRecentFile + i), text.c_str());
    }
}

std::string ToolBarEntryText(int n)
{
    const DockedBar& bar = DockedBars()[static_cast<std::size_t>(n)];
    const std::string name = bar.name.empty() ? kUnnamedBar : bar.name;
    char text[128];
    std::snprintf(text, sizeof text, "&%d:%s\tCtrl+%d", n, MenuItemText(name).c_str(), n);
    return text;
}

void InitMenuPopupItems(win::HMENU popup, const MenuSituation& s)
{
    if (!popup) return;
    if (MenuHasCommand(popup, 17100)) RebuildRecentFilesMenu(popup);
    ApplyButtonStates(popup);
    if (MenuHasCommand(popup, kAdd3DWindowCommand)) RebuildGraph3DMenu(popup);
    if (MenuHasCommand(popup, kCmdAddPerformanceWindow)) RebuildPerformanceMenu(popup);
    if (MenuHasCommand(popup, kAddHistogramCommand)) RebuildMonteCarloMenu(popup);
    RebuildOpenedComponentGroup(popup);
    if (MenuHasCommand(popup, kFindComponent)) {
        RefreshRecentComponents(popup);
        Enable(popup, kFindComponent, IsSchematic(s.kind));
        if (s.analysisOpen) {
            const int count = win::GetMenuItemCount(popup);
            for (int i = 0; i < count; ++i) win::EnableMenuItem(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION | win::MF_GRAYED);
        }
    }
    if (MenuHasCommand(popup, kToolsEntry)) {
        Check(popup, kToolsEntry, DockedBars()[0].visible != 0);
        Check(popup, kHelpBarEntry, HelpBarOption() && FrameHelpBar().window != nullptr);
    }
    if (MenuHasCommand(popup, kFirstToolBarEntry)) {
        for (int n = 1; n < kToolSlotCount; ++n) {
            const unsigned id = kFirstToolBarEntry + static_cast<unsigned>(n - 1);
            const bool shown = DockedBars()[static_cast<std::size_t>(n)].visible != 0;
            win::ModifyMenu(popup, id, win::MF_BYCOMMAND | win::MF_STRING | win::MF_ENABLED | (shown ? win::MF_CHECKED : 0u), id,
                            ToolBarEntryText(n).c_str());
        }
    }
    if (MenuHasCommand(popup, 17561)) {
        const bool checks = IsSchematic(s.kind) || s.kind == kWindowAnalysis;
        for (unsigned id = 17561; id <= 17585; ++id) {
            if (id == kGraphicMode) continue;
            Check(popup, id, checks && static_cast<int>(id) == s.mode);
        }
    }
    if (MenuHasCommand(popup, 17400)) {
        const auto& viewOption = MenuTextSources().viewOption;
        for (unsigned id = 17400; id <= 17409; ++id) Check(popup, id, IsSchematic(s.kind) && viewOption && viewOption(static_cast<int>(id)));
    }
    if (MenuHasCommand(popup, kLimits)) Check(popup, kLimits, s.limitsDialogOpen);
    if (MenuHasCommand(popup, 18400)) {
        const auto& plotOption = MenuTextSources().plotOption;
        for (unsigned id = 18400; id <= 18406; ++id) Check(popup, id, plotOption && plotOption(static_cast<int>(id)));
    }
    // The probe popups: what the probe's descriptor and rows allow and choose.
    const int count = win::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const unsigned id = win::GetMenuItemID(popup, i);
        // Run, Limits and the rest of 16058 to 16070 and the pin list 16080 are not the probe's.
        const bool probeId = id >= 16000 && id <= 16082 && !(id >= 16058 && id <= 16070) && id != 16080;
        if (!probeId || win::GetSubMenu(popup, i)) continue;
        const ProbeMenuItemState state = ProbeMenuItem(static_cast<int>(id));
        Enable(popup, id, state.enabled);
        Check(popup, id, state.checked);
    }
    if (MenuHasCommand(popup, 18670)) {
        for (unsigned id = 18670; id <= 18677; ++id) Check(popup, id, static_cast<int>(id) == s.cursorSearchMode);
    }
}

}  // namespace kq5
