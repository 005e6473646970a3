// The Component menu over a library whose first group carries the root's id (0), as every
// library made by the program does: group ids count only the root's descendants.
#include <gtest/gtest.h>

#include "app/menus.h"
#include "ui/program_settings.h"
#include "platform/backend.h"
#include "platform/menu.h"
#include "document/component_library.h"

namespace kq5 {
namespace {

std::vector<std::string> Texts(win::HMENU popup)
{
    std::vector<std::string> out;
    for (int i = 0; i < win::GetMenuItemCount(popup); ++i) {
        std::string text = win::GetMenuString(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        out.push_back(win::GetSubMenu(popup, i) ? "[" + text + "]" : text);
    }
    return out;
}

TEST(ComponentMenuGroupIds, OpeningTheFirstGroupShowsItsOwnContents)
{
    win::ResetPlatformForTests();
    ASSERT_TRUE(LoadMenus());
    ResetComponentLibraryForTests();
    ComponentGroup& root = ComponentLibrary().root;
    ASSERT_EQ(NewGroupId(), 0);
    root.children.push_back(
        ComponentGroup{.name = "Analog", .id = static_cast<std::uint16_t>(NewGroupId()), .children = {}});
    root.children[0].children.push_back(
        ComponentGroup{.name = "Sources", .id = static_cast<std::uint16_t>(NewGroupId()), .children = {}});
    ASSERT_EQ(root.children[0].id, root.id);
    AddComponentDefinition("Resistor", 1, 1)->groupId = root.children[0].id;
    AddComponentDefinition("Battery", 1, 1)->groupId = root.children[0].children[0].id;
    RebuildComponentMenu();
    win::HMENU component = ComponentPopup();
    ASSERT_NE(component, nullptr);
    int at = -1;
    for (int i = 0; i < win::GetMenuItemCount(component); ++i)
        if (win::GetSubMenu(component, i) && win::GetMenuString(component, static_cast<win::UINT>(i), win::MF_BYPOSITION) == "Analog") at = i;
    ASSERT_GE(at, 0);
    win::HMENU analog = win::GetSubMenu(component, at);
    // Opened (as the menu does each time), it holds its subgroup and its part, not the library
    // again: before, every opening nested the whole library one level deeper.
    for (int round = 0; round < 2; ++round) {
        InitMenuPopupItems(analog, MenuSituation{});
        EXPECT_EQ(Texts(analog), (std::vector<std::string>{"[Sources]", "Resistor"}));
        ASSERT_NE(win::GetSubMenu(analog, 0), nullptr);
        EXPECT_EQ(Texts(win::GetSubMenu(analog, 0)), (std::vector<std::string>{"Battery"}));
    }
    DestroyMenus();
    ResetComponentLibraryForTests();
}

}  // namespace
}  // namespace kq5
