#include "ui/menu_handles.h"

#include "platform/menu.h"

namespace kq5 {

namespace {

constexpr std::size_t kLongName = 40;
constexpr std::size_t kShownPart = 35;

}  // namespace

MenuHandles& Menus()
{
    static MenuHandles handles;
    return handles;
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
    if (MenuHasCommand(menu, command)) return menu;
    const int count = win::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (win::HMENU found = FindPopupWithCommand(win::GetSubMenu(menu, i), command)) return found;
    }
    return nullptr;
}

std::string MenuItemText(std::string_view name)
{
    if (name.size() <= kLongName) return win::MenuLiteral(name);
    return win::MenuLiteral(name.substr(0, kShownPart)) + "...";
}

void AppendNameItem(win::HMENU popup, unsigned id, std::string_view name)
{
    win::AppendMenu(popup, win::MF_STRING, id, MenuItemText(name).c_str());
}

void RemoveItemsFrom(win::HMENU popup, int position)
{
    for (int i = win::GetMenuItemCount(popup) - 1; i >= position; --i) win::RemoveMenu(popup, static_cast<win::UINT>(i), win::MF_BYPOSITION);
}

bool MenuHasCommand(win::HMENU popup, unsigned command)
{
    const int count = win::GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        if (win::GetMenuItemID(popup, i) == command) return true;
    }
    return false;
}

}  // namespace kq5
