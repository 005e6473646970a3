#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/tool_button_table.h"
#include "platform/string_table.h"
#include "platform/backend.h"
#include "platform/bitmap.h"
#include "platform/gdi_objects.h"
#include "platform/menu_resource.h"
#include "platform/system.h"

namespace kq5 {
namespace {

constexpr win::WORD kPopup = 0x0010;
constexpr win::WORD kSeparator = 0x0800;

const win::CompiledMenu& Menu(win::UINT id)
{
    const win::CompiledMenu* menu = win::FindMenuResource(id);
    EXPECT_NE(menu, nullptr) << id;
    static const win::CompiledMenu none{};
    return menu ? *menu : none;
}

std::vector<const win::CompiledMenuItem*> Commands(const win::CompiledMenu& menu)
{
    std::vector<const win::CompiledMenuItem*> out;
    for (std::size_t i = 0; i < menu.count; ++i) {
        const win::CompiledMenuItem& item = menu.items[i];
        if (!(item.flags & (kPopup | kSeparator))) out.push_back(&item);
    }
    return out;
}

// The commands of the popup with the title (the items up to the popup's end at its level).
std::set<win::UINT> PopupCommands(const win::CompiledMenu& menu, const std::string& title)
{
    std::set<win::UINT> out;
    for (std::size_t i = 0; i < menu.count; ++i) {
        if (!(menu.items[i].flags & kPopup) || title != menu.items[i].text) continue;
        int depth = 1;
        for (std::size_t j = i + 1; j < menu.count && depth > 0; ++j) {
            const win::CompiledMenuItem& item = menu.items[j];
            if (item.flags & kPopup) ++depth;
            else if (!(item.flags & kSeparator)) out.insert(item.id);
            if ((item.flags & 0x0080) && !(item.flags & kPopup)) --depth;
        }
        return out;
    }
    ADD_FAILURE() << "no popup " << title;
    return out;
}

// Commands that only keys send.
const std::vector<int> kKeyCommands = {760, 761, 762, 763, 764, 765, 766, 767, 768, 769, 770, 771,
                                       1017, 3801, 3802, 3803, 3804, 12512, 15678, 17215, 17632, 17633,
                                       17634, 17635, 17636, 17637, 17638, 17639, 17670, 17671, 17803, 17805};

void ExpectHelpText(int id, const std::string& where)
{
    std::optional<std::string_view> text = FindStringTableText(id);
    ASSERT_TRUE(text.has_value()) << where << " command " << id << " has no help text";
    std::size_t lf = text->find('\n');
    EXPECT_NE(lf, std::string_view::npos) << where << " command " << id << ": " << *text;
    EXPECT_GT(lf, 0u) << where << " command " << id << " has no long help";
}

TEST(MenuContent, EveryCommandHasALongHelpAndAShortName)
{
    for (win::UINT id = 100; id <= 111; ++id) {
        for (const win::CompiledMenuItem* item : Commands(Menu(id))) ExpectHelpText(static_cast<int>(item->id), "menu " + std::to_string(id));
    }
    for (const ToolButtonRow& row : ToolButtonRows()) {
        if (row.command != 102) ExpectHelpText(static_cast<int>(row.command), std::string("tool row ") + row.name);
    }
    for (int id : kKeyCommands) ExpectHelpText(id, "key");
    const win::CompiledMenuResources& resources = win::ProgramMenuResources();
    for (std::size_t t = 0; t < resources.tableCount; ++t) {
        for (std::size_t e = 0; e < resources.tables[t].count; ++e)
            ExpectHelpText(static_cast<int>(resources.tables[t].entries[e].cmd), "accelerator table " + std::to_string(resources.tables[t].id));
    }
    // The texts the Parts give keep their first line exactly.
    EXPECT_EQ(FindStringTableText(17504).value(), "Zoom-in on active window.\nZoom In(Ctrl++)");
    EXPECT_EQ(FindStringTableText(16059).value().substr(0, 19), "Runs the analysis.\n");
}

TEST(MenuContent, EachMenuNamesACommandOnce)
{
    for (win::UINT id = 100; id <= 111; ++id) {
        std::set<std::string> texts;
        std::set<win::UINT> ids;
        for (const win::CompiledMenuItem* item : Commands(Menu(id))) {
            EXPECT_TRUE(texts.insert(item->text).second) << "menu " << id << " repeats " << item->text;
            if (id == 100 || id >= 103) {
                EXPECT_TRUE(ids.insert(item->id).second) << "menu " << id << " repeats " << item->id;
            }
        }
    }
}

TEST(MenuContent, CommandsSitWhereTheirMenusAreNamed)
{
    const win::CompiledMenu& main = Menu(100);
    std::vector<std::string> titles;
    for (std::size_t i = 0; i < main.count; ++i)
        if (main.items[i].flags & kPopup) titles.push_back(main.items[i].text);
    for (const char* title : {"&File", "&Translate", "&Edit", "Copy to Clipboard", "&Box", "Change", "&Component", "&Windows",
                              "&Options", "&Mode", "&View", "&Component Palettes", "&Analysis", "&Help"})
        EXPECT_NE(std::find(titles.begin(), titles.end(), title), titles.end()) << title;

    std::set<win::UINT> file = PopupCommands(main, "&File");
    for (win::UINT id : {17450u, 18410u, 18408u, 17220u, 12511u, 17105u}) EXPECT_TRUE(file.count(id)) << id;
    std::set<win::UINT> options = PopupCommands(main, "&Options");
    for (win::UINT id = 17539; id <= 17549; ++id) EXPECT_TRUE(options.count(id)) << id;
    std::set<win::UINT> help = PopupCommands(main, "&Help");
    for (win::UINT id : {17800u, 17804u}) EXPECT_TRUE(help.count(id)) << id;
    for (win::UINT id = 17806; id <= 17816; ++id) EXPECT_TRUE(help.count(id)) << id;
    std::set<win::UINT> box = PopupCommands(main, "&Box");
    for (win::UINT id = 17207; id <= 17211; ++id) EXPECT_TRUE(box.count(id)) << id;

    std::map<win::UINT, std::string> view;
    for (const win::CompiledMenuItem* item : Commands(main))
        if (item->id >= 17400 && item->id <= 17409) view[item->id] = item->text;
    EXPECT_EQ(view[17400], "Attribute Text");
    EXPECT_EQ(view[17404], "Node Voltages / States");
    EXPECT_EQ(view[17407], "Title");
    EXPECT_EQ(view[17408], "Cross-hair Cursor");

    // Every command that a bar can show is reachable from a menu too.
    std::set<win::UINT> inMenus;
    for (win::UINT id = 100; id <= 111; ++id)
        for (const win::CompiledMenuItem* item : Commands(Menu(id))) inMenus.insert(item->id);
    for (const ToolButtonRow& row : ToolButtonRows()) {
        if (row.group == kGroupComponent || row.command == 102 || !(row.flags & (kToolOnSchematicBar | kToolOnAnalysisBar)))
            continue;
        // Run control is on buttons and keys only; the Graphics mode has no menu text.
        if (row.command == 18613 || row.command == 16058 || row.command == 17584) continue;
        EXPECT_TRUE(inMenus.count(row.command)) << row.name;
    }
    // The function list runs DB to EXP from 3400.
    std::vector<const win::CompiledMenuItem*> functions = Commands(Menu(111));
    ASSERT_EQ(functions.size(), 52u);
    EXPECT_STREQ(functions.front()->text, "DB");
    EXPECT_EQ(functions.back()->id, 3451u);
    EXPECT_STREQ(functions.back()->text, "EXP");
}

TEST(MenuContent, EveryToolRowsPictureCellExists)
{
    win::ResetPlatformForTests();
    std::map<std::uint32_t, win::BITMAP> sizes;
    for (const ToolButtonRow& row : ToolButtonRows()) {
        if (row.group == kGroupComponent || row.bitmap == 0) continue;
        auto found = sizes.find(row.bitmap);
        if (found == sizes.end()) {
            win::HBITMAP strip = win::LoadBitmap(win::GetModuleHandle(nullptr), row.bitmap);
            ASSERT_NE(strip, nullptr) << row.name << " strip " << row.bitmap;
            win::BITMAP bm{};
            win::GetObject(strip, sizeof bm, &bm);
            win::DeleteObject(strip);
            found = sizes.emplace(row.bitmap, bm).first;
        }
        EXPECT_GE(found->second.bmWidth, 2 * kToolCellWidth) << row.name;
        EXPECT_GE(found->second.bmHeight, static_cast<int>(row.cell + 1) * kToolCellHeight) << row.name << " cell " << row.cell;
    }
    win::HBITMAP closeBox = win::LoadBitmap(win::GetModuleHandle(nullptr), kCloseBoxBitmap);
    EXPECT_NE(closeBox, nullptr);
    if (closeBox) win::DeleteObject(closeBox);
}

}  // namespace
}  // namespace kq5
