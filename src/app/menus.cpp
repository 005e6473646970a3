#include "app/menus.h"

#include <algorithm>
#include <cstdio>

#include "analog/run_control.h"
#include "analyses/graph3d_window.h"
#include "analyses/histogram.h"
#include "analyses/performance_window.h"
#include "app/help_bar.h"
#include "ui/program_settings.h"
#include "app/tool_buttons.h"
#include "ui/window_record.h"
#include "platform/menu.h"
#include "platform/system.h"
#include "results/curve_record.h"
#include "plots/probe_mode.h"
#include "document/component_library.h"
#include "schematic/component_library_use.h"

namespace kq5 {

namespace {

constexpr std::size_t kLongName = 40;
constexpr std::size_t kShownPart = 35;
constexpr const char* kUnnamedBar = "Palette";
constexpr unsigned kFindComponent = 17308;
constexpr unsigned kToolsEntry = 17539;
constexpr unsigned kHelpBarEntry = 17540;
constexpr unsigned kGraphicMode = 17584;
constexpr unsigned kLimits = 16060;

bool Contains(win::HMENU popup, unsigned command)
{
    const int count = win::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        if (win::GetMenuItemID(popup, i) == command) return true;
    }
    return false;
}

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

MenuHandles& Menus()
{
    static MenuHandles handles;
    return handles;
}

MenuSources& MenuTextSources()
{
    static MenuSources sources;
    return sources;
}

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

win::HMENU LoadedMenu(int id)
{
    if (id == kMainMenu) return Menus().main;
    if (id < kFirstWindowMenu || id > kLastWindowMenu) return nullptr;
    return Menus().windowMenus[id - kFirstWindowMenu];
}

win::HMENU FindPopupWithCommand(win::HMENU menu, unsigned command)
{
    if (!menu) return nullptr;
    if (Contains(menu, command)) return menu;
    const int count = win::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (win::HMENU found = FindPopupWithCommand(win::GetSubMenu(menu, i), command)) return found;
    }
    return nullptr;
}

std::string MenuItemText(std::string_view name)
{
    if (name.size() <= kLongName) return std::string(name);
    return std::string(name.substr(0, kShownPart)) + "...";
}

void AppendNameItem(win::HMENU popup, unsigned id, std::string_view name)
{
    win::AppendMenu(popup, win::MF_STRING, id, MenuItemText(name).c_str());
}

void RemoveItemsFrom(win::HMENU popup, int position)
{
    for (int i = win::GetMenuItemCount(popup) - 1; i >= position; --i) win::RemoveMenu(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
}

void RebuildWindowMenuEntries(win::HMENU popup, int first, int last, const std::vector<WindowMenuEntry>& entries)
{
    if (!popup) return;
    for (int id = first; id <= last; ++id) win::DeleteMenu(popup, static_cast<win::UINT>(id), win::MF_BYCOMMAND);
    const int count = win::GetMenuItemCount(popup);
    if (count > 0 && win::GetMenuItemID(popup, count - 1) == 0) win::DeleteMenu(popup, static_cast<win::UINT>(count - 1), win::MF_BYPOSITION);
    if (entries.empty()) return;
    // The windows measure stored runs: nothing to show before the first or while runs are made.
    const WindowRecord* analysis = RunControl().analysisWindow;
    const bool stored = analysis && analysis->plot && analysis->plot->store.runCount > 0;
    const bool grayed = RunControl().running != 0 || Settings().demoRunning || !stored;
    win::AppendMenu(popup, win::MF_SEPARATOR, 0, nullptr);
    int id = first;
    for (const WindowMenuEntry& entry : entries) {
        if (id > last) break;
        const win::UINT flags = win::MF_STRING | (entry.shown ? win::MF_CHECKED : 0u) | (grayed ? win::MF_GRAYED : 0u);
        win::AppendMenu(popup, flags, static_cast<win::UINT_PTR>(id++), MenuItemText(entry.name).c_str());
    }
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
        std::string text = "&" + std::to_string(++number) + " " + name;
        win::AppendMenu(filePopup, win::MF_STRING | win::MF_ENABLED, static_cast<win::UINT_PTR>(kFirstRecentFile + i), text.c_str());
    }
}

std::vector<ComponentMenuRow>& ComponentMenuTree()
{
    static std::vector<ComponentMenuRow> rows;
    return rows;
}

win::HMENU ComponentPopup() { return FindPopupWithCommand(Menus().main, kFindComponent); }

namespace {

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

// The recent components below a separator of their own at the end of the Component popup.
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

}  // namespace

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
    if (Contains(popup, 17100)) RebuildRecentFilesMenu(popup);
    ApplyButtonStates(popup);
    if (Contains(popup, kAdd3DWindowCommand)) RebuildGraph3DMenu(popup);
    if (Contains(popup, kCmdAddPerformanceWindow)) RebuildPerformanceMenu(popup);
    if (Contains(popup, kAddHistogramCommand)) RebuildMonteCarloMenu(popup);
    for (const ComponentMenuRow& row : ComponentMenuTree()) {
        if (row.popup != popup) continue;
        // A group opens with the library as it is now.
        const ComponentMenuRow opened = row;
        EmptyComponentPopup(opened.popup);
        if (const ComponentGroup* group = FindGroup(ComponentLibrary().root, opened.groupId))
            BuildComponentMenu(opened.popup, *group, opened.level + 1);
        break;
    }
    if (Contains(popup, kFindComponent)) {
        RefreshRecentComponents(popup);
        Enable(popup, kFindComponent, IsSchematic(s.kind));
        if (s.analysisOpen) {
            const int count = win::GetMenuItemCount(popup);
            for (int i = 0; i < count; ++i) win::EnableMenuItem(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION | win::MF_GRAYED);
        }
    }
    if (Contains(popup, kToolsEntry)) {
        Check(popup, kToolsEntry, DockedBars()[0].visible != 0);
        Check(popup, kHelpBarEntry, HelpBarOption() && FrameHelpBar().window != nullptr);
    }
    if (Contains(popup, kFirstToolBarEntry)) {
        for (int n = 1; n < kToolSlotCount; ++n) {
            const unsigned id = kFirstToolBarEntry + static_cast<unsigned>(n - 1);
            const bool shown = DockedBars()[static_cast<std::size_t>(n)].visible != 0;
            win::ModifyMenu(popup, id, win::MF_BYCOMMAND | win::MF_STRING | win::MF_ENABLED | (shown ? win::MF_CHECKED : 0u), id,
                            ToolBarEntryText(n).c_str());
        }
    }
    if (Contains(popup, 17561)) {
        const bool checks = IsSchematic(s.kind) || s.kind == kWindowAnalysis;
        for (unsigned id = 17561; id <= 17585; ++id) {
            if (id == kGraphicMode) continue;
            Check(popup, id, checks && static_cast<int>(id) == s.mode);
        }
    }
    if (Contains(popup, 17400)) {
        const auto& viewOption = MenuTextSources().viewOption;
        for (unsigned id = 17400; id <= 17409; ++id) Check(popup, id, IsSchematic(s.kind) && viewOption && viewOption(static_cast<int>(id)));
    }
    if (Contains(popup, kLimits)) Check(popup, kLimits, s.limitsDialogOpen);
    if (Contains(popup, 18400)) {
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
    if (Contains(popup, 18670)) {
        for (unsigned id = 18670; id <= 18677; ++id) Check(popup, id, static_cast<int>(id) == s.cursorSearchMode);
    }
}

}  // namespace kq5
