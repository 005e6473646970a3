// Menus as data: items added, changed and removed by command and by position, their states and
// queries, menus loaded from the compiled resources, the resource compiler's checks, and the menu
// bar's layout in a window's frame.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "menu_test_app.h"
#include "platform/bitmap.h"
#include "platform/gdi_objects.h"
#include "platform/menu_resource.h"
#include "platform/system.h"

namespace win::testing {
namespace {

class MenuItemsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlatformForTests(800, 600); }
    void TearDown() override { ResetPlatformForTests(800, 600); }
};

std::vector<std::string> Texts(HMENU menu) {
    std::vector<std::string> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        out.push_back((state & MF_SEPARATOR) ? std::string("-") : GetMenuString(menu, static_cast<UINT>(i), MF_BYPOSITION));
    }
    return out;
}

TEST_F(MenuItemsTest, ItemsAreAddedChangedAndRemovedByCommandAndByPosition)
{
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    ASSERT_TRUE(AppendMenu(file, MF_STRING, 1, "&Open"));
    ASSERT_TRUE(AppendMenu(file, MF_SEPARATOR, 0, nullptr));
    ASSERT_TRUE(AppendMenu(file, MF_STRING, 3, "E&xit"));
    ASSERT_TRUE(AppendMenu(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File"));
    ASSERT_TRUE(AppendMenu(bar, MF_STRING | MF_GRAYED, 9, "&Help"));

    // By command the popups are searched; by position only the menu itself.
    ASSERT_TRUE(InsertMenu(bar, 3, MF_BYCOMMAND | MF_STRING, 2, "&Save"));
    ASSERT_TRUE(InsertMenu(bar, 1, MF_BYPOSITION | MF_STRING, 5, "&View"));
    ASSERT_TRUE(InsertMenu(bar, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, 6, "&Last"));
    EXPECT_FALSE(InsertMenu(bar, 77, MF_BYCOMMAND | MF_STRING, 8, "none"));
    EXPECT_EQ(Texts(file), (std::vector<std::string>{"&Open", "-", "&Save", "E&xit"}));
    EXPECT_EQ(Texts(bar), (std::vector<std::string>{"&File", "&View", "&Help", "&Last"}));

    EXPECT_EQ(GetMenuItemID(bar, 0), static_cast<UINT>(-1));
    EXPECT_EQ(GetSubMenu(bar, 0), file);
    EXPECT_EQ(GetMenuItemID(file, 2), 2u);
    EXPECT_EQ(GetMenuItemID(file, 9), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION), (4u << 8) | MF_POPUP);
    EXPECT_EQ(GetMenuState(bar, 9, MF_BYCOMMAND), MF_GRAYED);
    EXPECT_EQ(GetMenuState(bar, 99, MF_BYCOMMAND), static_cast<UINT>(-1));

    ASSERT_TRUE(ModifyMenu(bar, 5, MF_BYCOMMAND | MF_STRING | MF_CHECKED, 7, "&Zoom"));
    EXPECT_EQ(GetMenuString(bar, 7, MF_BYCOMMAND), "&Zoom");
    EXPECT_EQ(GetMenuState(bar, 7, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(GetMenuString(bar, 5, MF_BYCOMMAND), "");

    ASSERT_TRUE(RemoveMenu(file, 1, MF_BYPOSITION));
    ASSERT_TRUE(DeleteMenu(bar, 6, MF_BYCOMMAND));
    EXPECT_FALSE(DeleteMenu(bar, 6, MF_BYCOMMAND));
    EXPECT_EQ(Texts(file), (std::vector<std::string>{"&Open", "&Save", "E&xit"}));
    EXPECT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(file));  // destroyed with the bar that held it
    EXPECT_EQ(GetMenuItemCount(bar), -1);
}

TEST_F(MenuItemsTest, PopupsAreKeptOrDestroyedAsTheCallSaysAndCannotNestInThemselves)
{
    HMENU bar = CreateMenu();
    HMENU a = CreatePopupMenu(), b = CreatePopupMenu(), c = CreatePopupMenu();
    AppendMenu(a, MF_STRING, 1, "one");
    AppendMenu(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(a), "A");
    AppendMenu(a, MF_POPUP, reinterpret_cast<UINT_PTR>(b), "B");
    // A menu inside its own tree would make an endless menu.
    EXPECT_FALSE(AppendMenu(b, MF_POPUP, reinterpret_cast<UINT_PTR>(a), "loop"));
    EXPECT_FALSE(AppendMenu(b, MF_POPUP, reinterpret_cast<UINT_PTR>(b), "self"));
    EXPECT_FALSE(AppendMenu(b, MF_POPUP, reinterpret_cast<UINT_PTR>(nullptr), "none"));

    // RemoveMenu hands the popup back; DeleteMenu and ModifyMenu destroy it.
    ASSERT_TRUE(RemoveMenu(a, 1, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(b));
    AppendMenu(a, MF_POPUP, reinterpret_cast<UINT_PTR>(b), "B");
    ASSERT_TRUE(ModifyMenu(a, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(c), "C"));
    EXPECT_FALSE(IsMenu(b));
    EXPECT_EQ(GetSubMenu(a, 1), c);
    ASSERT_TRUE(ModifyMenu(a, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(c), "C again"));
    EXPECT_TRUE(IsMenu(c));  // the item kept its own popup
    ASSERT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(a));
    EXPECT_FALSE(IsMenu(c));
    DestroyMenu(bar);
}

TEST_F(MenuItemsTest, BitmapItemsHaveNoTextAndTakeTheirBitmapsSize)
{
    HBITMAP picture = CreateBitmap(40, 30, 1, 32, nullptr);
    ASSERT_TRUE(picture);
    HMENU m = CreatePopupMenu();
    ASSERT_TRUE(AppendMenu(m, MF_STRING, 1, "&Text"));
    ASSERT_TRUE(AppendMenu(m, MF_BITMAP, 2, picture));
    EXPECT_EQ(GetMenuState(m, 2, MF_BYCOMMAND), MF_BITMAP);
    EXPECT_EQ(GetMenuString(m, 2, MF_BYCOMMAND), "");
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "BitmapOwner";
    ASSERT_NE(RegisterClass(&wc), 0);
    HWND owner = CreateWindowEx(0, "BitmapOwner", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
    RECT text{}, bitmap{};
    headless::SetIdleHandler([&] {
        GetMenuItemRect(owner, m, 0, &text);
        GetMenuItemRect(owner, m, 1, &bitmap);
        headless::PressKey(VK_ESCAPE);
        return true;
    });
    TrackPopupMenu(m, 0, 50, 50, 0, owner, nullptr);
    headless::SetIdleHandler(nullptr);
    EXPECT_EQ(bitmap.bottom - bitmap.top, 32);
    EXPECT_GE(bitmap.right - bitmap.left, 40);
    EXPECT_EQ(bitmap.top, text.bottom);
    DestroyMenu(m);
    DeleteObject(picture);
}

TEST_F(MenuItemsTest, StatesAnswerWithThePreviousStateAndRadioChecksOneOfARange)
{
    HMENU m = CreatePopupMenu();
    for (UINT id = 10; id < 15; ++id) AppendMenu(m, MF_STRING, id, "item");
    EXPECT_EQ(EnableMenuItem(m, 11, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(EnableMenuItem(m, 11, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
    EXPECT_EQ(EnableMenuItem(m, 2, MF_BYPOSITION | MF_DISABLED), MF_ENABLED);
    EXPECT_EQ(GetMenuState(m, 12, MF_BYCOMMAND), MF_DISABLED);
    EXPECT_EQ(EnableMenuItem(m, 99, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(CheckMenuItem(m, 10, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(CheckMenuItem(m, 10, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(CheckMenuItem(m, 99, MF_BYCOMMAND), static_cast<DWORD>(-1));

    CheckMenuItem(m, 14, MF_BYCOMMAND | MF_CHECKED);
    ASSERT_TRUE(CheckMenuRadioItem(m, 11, 13, 12, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuState(m, 12, MF_BYCOMMAND) & (MF_CHECKED | MFT_RADIOCHECK), MF_CHECKED | MFT_RADIOCHECK);
    ASSERT_TRUE(CheckMenuRadioItem(m, 1, 3, 3, MF_BYPOSITION));
    EXPECT_EQ(GetMenuState(m, 12, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(m, 13, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(GetMenuState(m, 14, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);  // outside the range
    EXPECT_FALSE(CheckMenuRadioItem(m, 11, 13, 77, MF_BYCOMMAND));
    DestroyMenu(m);
}

TEST_F(MenuItemsTest, ResourceMenusAreLoadedAsTheirSourceDescribesThem)
{
    HMENU bar = LoadMenu(nullptr, kMainMenu);
    ASSERT_TRUE(bar);
    EXPECT_EQ(Texts(bar), (std::vector<std::string>{"&File", "&Edit", "&Window", "&Help"}));
    EXPECT_EQ(GetMenuState(bar, 9900, MF_BYCOMMAND), MF_HELP);
    HMENU file = GetSubMenu(bar, 0);
    EXPECT_EQ(Texts(file), (std::vector<std::string>{"&New\tCtrl+N", "&Open...", "-", "&Recent", "E&xit"}));
    EXPECT_EQ(Texts(GetSubMenu(file, 3)), (std::vector<std::string>{"&1 first.cir", "&2 second.cir"}));
    HMENU edit = GetSubMenu(bar, 1);
    EXPECT_EQ(GetMenuState(edit, 9201, MF_BYCOMMAND), MF_GRAYED);
    EXPECT_EQ(GetMenuState(edit, 9203, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(GetMenuState(edit, 9204, MF_BYCOMMAND), MF_DISABLED | MF_MENUBARBREAK);
    // Each load is a menu of its own.
    HMENU again = LoadMenu(nullptr, "#9100");
    ASSERT_TRUE(again);
    EXPECT_NE(again, bar);
    // Texts are Windows-1252: escapes and UTF-8 sources both arrive as single bytes.
    HMENU doc = LoadMenu(nullptr, kDocumentMenu);
    EXPECT_EQ(GetMenuString(doc, 9151, MF_BYCOMMAND), "&Scale \xB5s");
    EXPECT_EQ(GetMenuString(doc, 9152, MF_BYCOMMAND), "Caf\xE9");
    EXPECT_FALSE(LoadMenu(nullptr, 4242));
    EXPECT_FALSE(LoadMenu(nullptr, "menu"));
}

// The resource compiler fails the build with the place of the mistake.
TEST_F(MenuItemsTest, TheResourceCompilerRejectsMistakesWithFileAndLine)
{
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"MENU 1\n  POPUP \"&A\"\n  END\nEND\n", ":3: error: a popup needs at least one item"},
        {"MENU 1\n  ITEM \"x\" 70000\nEND\n", ":2: error: a number up to 65535"},
        {"MENU 1\n  ITEM \"x\" 5 BOLD\nEND\n", ":2: error: unknown item option BOLD"},
        {"MENU 1\n  ITEM \"x 5\nEND\n", ":2: error: a quoted text is not closed"},
        {"MENU 1\nEND\nMENU 1\nEND\n", ":3: error: menu 1 is defined twice"},
        {"ACCELERATORS 2\n  KEY Ctrl+Hyper 5\nEND\n", ":2: error: unknown key Hyper"},
        {"ACCELERATORS 2\n  CHAR Shift+A 5\nEND\n", ":2: error: a character entry cannot ask for Shift"},
        {"ACCELERATORS 2\n  KEY F1 5\n", ": error: the file ends inside a block"},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string src = ::testing::TempDir() + "bad" + std::to_string(n) + ".menu";
        std::string out = ::testing::TempDir() + "bad" + std::to_string(n) + ".cpp";
        std::string err = ::testing::TempDir() + "bad" + std::to_string(n++) + ".txt";
        std::ofstream(src) << c.source;
        std::string cmd = "./gen_menus test " + out + " " + src + " 2> " + err;
        EXPECT_NE(std::system(cmd.c_str()), 0) << c.source;
        std::ifstream in(err);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
        EXPECT_NE(text.find(src), std::string::npos) << text;
    }
}

TEST_F(MenuItemsTest, TheBarWrapsIntoRowsAndDrawMenuBarMovesTheClientArea)
{
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "BarWnd";
    ASSERT_NE(RegisterClass(&wc), 0);
    HMENU bar = CreateMenu();
    AppendMenu(bar, MF_STRING, 1, "&First");
    AppendMenu(bar, MF_STRING, 2, "&Second");
    HWND w = CreateWindowEx(0, "BarWnd", "bar", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300, nullptr, bar,
                            nullptr, nullptr);
    ASSERT_TRUE(w);
    EXPECT_EQ(GetMenu(w), bar);
    RECT wr{}, cr{};
    GetWindowRect(w, &wr);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    int oneRow = origin.y - wr.top;
    EXPECT_EQ(oneRow, GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU));
    // A right-justified item goes to the right end of the bar.
    AppendMenu(bar, MF_STRING | MF_HELP, 3, "&Help");
    DrawMenuBar(w);
    RECT help{};
    ASSERT_TRUE(GetMenuItemRect(w, bar, 2, &help));
    EXPECT_EQ(help.right, wr.right - GetSystemMetrics(SM_CXFRAME));
    // Items that do not fit start a second row, which the client area makes room for.
    for (int i = 0; i < 12; ++i) AppendMenu(bar, MF_STRING, 10 + i, "&Wide item");
    DrawMenuBar(w);
    origin = POINT{0, 0};
    ClientToScreen(w, &origin);
    EXPECT_GE(origin.y - wr.top, oneRow + GetSystemMetrics(SM_CYMENU));
    GetClientRect(w, &cr);
    EXPECT_EQ(cr.bottom, wr.bottom - wr.top - (origin.y - wr.top) - GetSystemMetrics(SM_CYFRAME));
    // A menu break starts a row by itself.
    RECT first{}, broken{};
    DeleteMenu(bar, 3, MF_BYPOSITION);
    while (GetMenuItemCount(bar) > 3) DeleteMenu(bar, 3, MF_BYPOSITION);
    ModifyMenu(bar, 1, MF_BYPOSITION | MF_STRING | MF_MENUBREAK, 2, "&Second");
    DrawMenuBar(w);
    GetMenuItemRect(w, bar, 0, &first);
    GetMenuItemRect(w, bar, 1, &broken);
    EXPECT_EQ(broken.left, first.left);
    EXPECT_EQ(broken.top, first.bottom);
    // The window's menu goes with it.
    DestroyWindow(w);
    EXPECT_FALSE(IsMenu(bar));
}

TEST_F(MenuItemsTest, SystemMenusFollowTheWindowsStylesAndStayWithTheirWindow)
{
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "SysWnd";
    ASSERT_NE(RegisterClass(&wc), 0);
    HWND full = CreateWindowEx(0, "SysWnd", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND fixed = CreateWindowEx(0, "SysWnd", "", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 200, 100, nullptr, nullptr,
                                nullptr, nullptr);
    HWND bare = CreateWindowEx(0, "SysWnd", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HMENU s = GetSystemMenu(full, FALSE);
    ASSERT_TRUE(s);
    EXPECT_EQ(GetSystemMenu(full, FALSE), s);
    EXPECT_EQ(GetMenuItemCount(s), 7);
    EXPECT_EQ(GetMenuItemID(s, 6), SC_CLOSE);
    HMENU f = GetSystemMenu(fixed, FALSE);
    EXPECT_EQ(GetMenuState(f, SC_SIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuState(f, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_FALSE(GetSystemMenu(bare, FALSE));
    // The program greys Close of a dialog's system menu; that sticks.
    EnableMenuItem(f, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_FALSE(DestroyMenu(f));  // it belongs to its window
    EXPECT_EQ(GetMenuState(f, SC_CLOSE, MF_BYCOMMAND), MF_GRAYED);
    EXPECT_EQ(GetSystemMenu(full, TRUE), nullptr);
    EXPECT_FALSE(IsMenu(s));
    DestroyWindow(fixed);
    EXPECT_FALSE(IsMenu(f));
}

}  // namespace
}  // namespace win::testing
