#include <gtest/gtest.h>

#include "ui/help_bar.h"
#include "app/menus.h"
#include "ui/program_settings.h"
#include "ui/tool_button_table.h"
#include "ui/tool_buttons.h"
#include "ui/window_record.h"
#include "platform/backend.h"
#include "platform/menu.h"
#include "document/component_library.h"

namespace kq5 {
namespace {

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
        ResetHelpBarForTests();
        MenuTextSources() = MenuSources{};
        ASSERT_TRUE(LoadMenus());
    }
    void TearDown() override
    {
        DestroyMenus();
        ResetComponentLibraryForTests();
        Settings().recentComponents = {};
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
        MenuTextSources() = MenuSources{};
    }
    static bool Grayed(win::HMENU popup, unsigned id)
    {
        return (win::GetMenuState(popup, id, win::MF_BYCOMMAND) & win::MF_GRAYED) != 0;
    }
    static bool Checked(win::HMENU popup, unsigned id)
    {
        return (win::GetMenuState(popup, id, win::MF_BYCOMMAND) & win::MF_CHECKED) != 0;
    }
};

TEST_F(MenusTest, EveryMenuLoadsAndLongNamesAreCut)
{
    for (int id = 100; id <= 111; ++id) EXPECT_NE(LoadedMenu(id), nullptr) << id;
    EXPECT_EQ(MenuItemText(std::string(40, 'a')), std::string(40, 'a'));
    EXPECT_EQ(MenuItemText("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcde"), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345678...");
    EXPECT_EQ(MenuItemText("Bass & Treble"), "Bass && Treble");
    win::HMENU popup = win::CreatePopupMenu();
    AppendNameItem(popup, 42000, std::string(41, 'x'));
    AppendNameItem(popup, 42001, "short");
    EXPECT_EQ(win::GetMenuString(popup, 0, win::MF_BYPOSITION), std::string(35, 'x') + "...");
    RemoveItemsFrom(popup, 1);
    EXPECT_EQ(win::GetMenuItemCount(popup), 1);
    win::DestroyMenu(popup);
}

TEST_F(MenusTest, RecentFilesAreRebuiltWhenTheFilePopupOpens)
{
    win::HMENU file = FindPopupWithCommand(Menus().main, 17100);
    ASSERT_NE(file, nullptr);
    const int base = win::GetMenuItemCount(file);
    std::vector<std::string> recent = {"a.cir", "", "R&D amp.cir"};
    MenuTextSources().recentFile = [&](int n) { return n < static_cast<int>(recent.size()) ? recent[static_cast<std::size_t>(n)] : std::string(); };
    InitMenuPopupItems(file, MenuSituation{});
    ASSERT_EQ(win::GetMenuItemCount(file), base + 3);  // a separator and two files
    EXPECT_EQ(win::GetMenuString(file, 3892, win::MF_BYCOMMAND), "&1 a.cir");
    // An '&' of a file name shows as it stands: it is no key of the entry.
    EXPECT_EQ(win::GetMenuString(file, 3894, win::MF_BYCOMMAND), "&2 R&&D amp.cir");
    EXPECT_FALSE(Grayed(file, 3894));
    recent = {"new.cir"};
    InitMenuPopupItems(file, MenuSituation{});
    EXPECT_EQ(win::GetMenuItemCount(file), base + 2);  // the old entries went
    EXPECT_EQ(win::GetMenuString(file, 3892, win::MF_BYCOMMAND), "&1 new.cir");
    recent.clear();
    InitMenuPopupItems(file, MenuSituation{});
    EXPECT_EQ(win::GetMenuItemCount(file), base);  // the separator went with them
}

TEST_F(MenusTest, ItemsTakeTheirButtonsStates)
{
    win::HMENU edit = FindPopupWithCommand(Menus().main, 17200);
    ASSERT_NE(edit, nullptr);
    ToolButtonSituation s;
    s.childActive = true;
    s.kind = kWindowSchematic;
    s.canUndo = true;
    ComputeToolButtonStates(s);
    InitMenuPopupItems(edit, MenuSituation{kWindowSchematic});
    EXPECT_FALSE(Grayed(edit, 17200));
    EXPECT_TRUE(Grayed(edit, 17201));  // nothing selected
    EXPECT_FALSE(Grayed(edit, 17669));  // no button: left as it is

    win::HMENU component = FindPopupWithCommand(Menus().main, 17308);
    InitMenuPopupItems(component, MenuSituation{kWindowTextCircuit});
    EXPECT_TRUE(Grayed(component, 17308));
    InitMenuPopupItems(component, MenuSituation{kWindowSchematic});
    EXPECT_FALSE(Grayed(component, 17308));
    InitMenuPopupItems(component, MenuSituation{kWindowSchematic, true});
    EXPECT_TRUE(Grayed(component, 17306));
}

TEST_F(MenusTest, OptionsShowTheBarsWithTheirNamesAndChecks)
{
    DockedBars()[0].visible = 1;
    DockedBars()[2].name = "Digital";
    DockedBars()[2].visible = 1;
    win::HMENU palettes = FindPopupWithCommand(Menus().main, 17541);
    win::HMENU options = FindPopupWithCommand(Menus().main, 17539);
    ASSERT_NE(palettes, nullptr);
    InitMenuPopupItems(options, MenuSituation{});
    InitMenuPopupItems(palettes, MenuSituation{});
    EXPECT_TRUE(Checked(options, 17539));
    EXPECT_FALSE(Checked(options, 17540));  // no help bar
    EXPECT_EQ(win::GetMenuString(palettes, 17542, win::MF_BYCOMMAND), "&2:Digital\tCtrl+2");
    EXPECT_EQ(win::GetMenuString(palettes, 17541, win::MF_BYCOMMAND), "&1:Palette\tCtrl+1");
    EXPECT_TRUE(Checked(palettes, 17542));
    EXPECT_FALSE(Checked(palettes, 17543));
    EXPECT_FALSE(Grayed(palettes, 17549));
}

TEST_F(MenusTest, ModeViewAndPlotChecks)
{
    win::HMENU mode = FindPopupWithCommand(Menus().main, 17561);
    InitMenuPopupItems(mode, MenuSituation{kWindowSchematic, false, 17564});
    EXPECT_TRUE(Checked(mode, 17564));
    EXPECT_FALSE(Checked(mode, 17561));
    InitMenuPopupItems(mode, MenuSituation{kWindowTextCircuit, false, 17561});
    EXPECT_FALSE(Checked(mode, 17561));  // only schematics and plots show their mode

    MenuTextSources().viewOption = [](int id) { return id == 17409; };
    win::HMENU view = FindPopupWithCommand(Menus().main, 17400);
    InitMenuPopupItems(view, MenuSituation{kWindowSchematic});
    EXPECT_TRUE(Checked(view, 17409));
    EXPECT_FALSE(Checked(view, 17400));
    InitMenuPopupItems(view, MenuSituation{kWindowAnalysis, true});
    EXPECT_FALSE(Checked(view, 17409));

    win::HMENU cursor = FindPopupWithCommand(LoadedMenu(102), 18670);
    MenuSituation plot{kWindowAnalysis, true};
    plot.cursorSearchMode = 18672;
    InitMenuPopupItems(cursor, plot);
    EXPECT_TRUE(Checked(cursor, 18672));
    EXPECT_FALSE(Checked(cursor, 18670));
    win::HMENU analysis = FindPopupWithCommand(LoadedMenu(102), 16059);
    plot.limitsDialogOpen = true;
    InitMenuPopupItems(analysis, plot);
    EXPECT_TRUE(Checked(analysis, 16060));
}

// Items of a popup from a position: texts, with "[popup]" for a group and "|" before an item that
// starts a new column.
std::vector<std::string> Items(win::HMENU popup)
{
    std::vector<std::string> out;
    for (int i = 0; i < win::GetMenuItemCount(popup); ++i) {
        const win::UINT state = win::GetMenuState(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        std::string text = win::GetMenuString(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        if (win::GetSubMenu(popup, i)) text = "[" + text + "]";
        if (state & win::MF_MENUBARBREAK) text = "|" + text;
        out.push_back(text);
    }
    return out;
}

TEST_F(MenusTest, TheComponentMenuFollowsTheLibrarysGroupsAndColumns)
{
    ResetComponentLibraryForTests();
    ComponentGroup& root = ComponentLibrary().root;
    root.id = 0;
    root.children.push_back(ComponentGroup{.name = "Passive", .id = 1, .children = {}});
    root.children.push_back(ComponentGroup{.name = "Digital", .id = 2, .children = {}});
    root.children[1].children.push_back(ComponentGroup{.name = "Gates", .id = 3, .children = {}});
    AddComponentDefinition("Resistor", 1, 1)->groupId = 1;
    AddComponentDefinition(std::string(41, 'C'), 1, 1)->groupId = 1;
    AddComponentDefinition("Ground", 1, 1)->groupId = 0;
    for (int i = 0; i < 45; ++i) AddComponentDefinition("AND" + std::to_string(i), 1, 1)->groupId = 3;
    Settings().recentComponents[0] = "Resistor";
    RebuildComponentMenu();
    win::HMENU component = ComponentPopup();
    ASSERT_NE(component, nullptr);
    const std::vector<std::string> top = Items(component);
    // The editors' entries stay; the groups and the root's own parts follow; Find Component and
    // the recent components close the popup.
    ASSERT_GE(top.size(), 9u);
    EXPECT_EQ(top[3], "[Passive]");
    EXPECT_EQ(top[4], "[Digital]");
    EXPECT_EQ(top[5], "Ground");
    EXPECT_EQ(top[7], "Find Component");
    EXPECT_EQ(top[9], "&1 Resistor");
    EXPECT_EQ(win::GetMenuItemID(component, 5), 42002u);  // n counts the whole list
    win::HMENU passive = win::GetSubMenu(component, 3);
    EXPECT_EQ(Items(passive), (std::vector<std::string>{"Resistor", std::string(35, 'C') + "..."}));
    win::HMENU gates = win::GetSubMenu(win::GetSubMenu(component, 4), 0);
    const std::vector<std::string> and45 = Items(gates);
    ASSERT_EQ(and45.size(), 45u);
    EXPECT_EQ(and45[19], "|AND19");
    EXPECT_EQ(and45[39], "|AND39");
    EXPECT_EQ(and45[20], "AND20");
    EXPECT_EQ(win::GetMenuItemID(gates, 0), 42003u);
    EXPECT_EQ(ComponentMenuTree().size(), 3u);

    // A library change: the rebuilt menu holds the new tree and nothing of the old one.
    const win::HMENU oldGates = gates;
    root.children.pop_back();
    RebuildComponentMenu();
    EXPECT_EQ(ComponentMenuTree().size(), 1u);
    EXPECT_FALSE(win::IsMenu(oldGates));
    EXPECT_EQ(Items(ComponentPopup())[4], "Ground");

    // A group opening shows the library as it is now.
    AddComponentDefinition("Capacitor", 1, 1)->groupId = 1;
    win::HMENU passiveNow = win::GetSubMenu(ComponentPopup(), 3);
    InitMenuPopupItems(passiveNow, MenuSituation{});
    EXPECT_EQ(Items(passiveNow).back(), "Capacitor");
    // While an analysis is open every entry of the Component popup is greyed.
    MenuSituation analysing;
    analysing.analysisOpen = true;
    InitMenuPopupItems(ComponentPopup(), analysing);
    EXPECT_TRUE(win::GetMenuState(ComponentPopup(), 4, win::MF_BYPOSITION) & win::MF_GRAYED);
}

}  // namespace
}  // namespace kq5
