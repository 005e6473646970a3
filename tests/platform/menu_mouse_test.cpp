// Menus driven by the mouse: the bar clicked open and an item clicked, the demo player's way of
// pressing on the bar and dragging to an item through a submenu, cancelling, the system-menu icon,
// and TrackPopupMenu with its placement, flags and owner-drawn columns.
#include "menu_test_app.h"
#include "platform/owner_draw.h"
#include "platform/gdi_draw.h"
#include "platform/system.h"

namespace win::testing {
namespace {

using MenuMouseTest = MenuTestApp;

constexpr UINT kMouse = MF_HILITE | MF_MOUSESELECT;

TEST_F(MenuMouseTest, ClickOpensThePopupAndAClickOnAnItemChoosesIt)
{
    HMENU bar = GetMenu(frame_);
    HMENU edit = GetSubMenu(bar, 1);
    POINT title = BarItem(1);
    Script({[] { headless::MouseUp(); }, MoveTo([&] { return PopupItem(edit, 1); }),
            [] { headless::MouseDown(); }, [] { headless::MouseUp(); }});
    headless::MoveMouse(title.x, title.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    std::vector<AppMessage> want = {
        Msg(WM_SYSCOMMAND, SC_MOUSEMENU + HTMENU, MAKELPARAM(title.x, title.y)),
        Msg(WM_ENTERMENULOOP, FALSE, 0),
        Msg(WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0),
        Msg(WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP | kMouse), L(bar)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), MAKELPARAM(1, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9202, kMouse), L(edit)),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0),
        Msg(WM_EXITMENULOOP, FALSE, 0),
        Msg(WM_COMMAND, 9202, 0),
    };
    EXPECT_EQ(Describe(Logged(frame_)), Describe(want));
    // The click ended in the menu: the window under it saw no button message.
    EXPECT_EQ(Count(frame_, WM_LBUTTONUP) + Count(client_, WM_LBUTTONUP), 0);
}

TEST_F(MenuMouseTest, PressDragAndReleaseChoosesThroughASubmenu)
{
    HMENU bar = GetMenu(frame_);
    HMENU file = GetSubMenu(bar, 0), recent = GetSubMenu(file, 3);
    POINT title = BarItem(0);
    // Down the popup with the button held, right into the submenu by small steps, then release.
    POINT p{};
    // The submenu is on the screen as soon as it opens (its second item in the menu colour).
    COLORREF shown = 0;
    auto look = [&] {
        RECT second{};
        GetMenuItemRect(frame_, recent, 1, &second);
        HDC screen = GetDC(nullptr);
        shown = GetPixel(screen, second.right - 3, (second.top + second.bottom) / 2);
        ReleaseDC(nullptr, screen);
    };
    Script({MoveTo([&] { return PopupItem(file, 0); }), MoveTo([&] { return PopupItem(file, 1); }),
            MoveTo([&] { return p = PopupItem(file, 3); }), look});
    for (int step = 1; step <= 20; ++step) Script({MoveTo([&, step] { return POINT{p.x + 8 * step, p.y}; })});
    Script({MoveTo([&] { return PopupItem(recent, 1); }), [] { headless::MouseUp(); }});
    headless::MoveMouse(title.x, title.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    EXPECT_EQ(shown, GetSysColor(COLOR_MENU));

    std::vector<std::string> got;
    for (const auto& m : Logged(frame_, {WM_MENUSELECT, WM_INITMENUPOPUP, WM_COMMAND})) {
        if (m.msg == WM_MENUSELECT && HIWORD(m.wParam) == 0xFFFF) continue;
        got.push_back(Describe(m));
    }
    std::vector<AppMessage> want = {
        Msg(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | kMouse), L(bar)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9101, kMouse), L(file)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9102, kMouse), L(file)),
        Msg(WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP | kMouse), L(file)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(recent), MAKELPARAM(3, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9111, kMouse), L(recent)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9112, kMouse), L(recent)),
        Msg(WM_COMMAND, 9112, 0),
    };
    EXPECT_EQ(got, Describe(want));
    EXPECT_FALSE(IsMenuTracking());
}

TEST_F(MenuMouseTest, ReleasingOrClickingAwayFromTheMenusCancels)
{
    POINT title = BarItem(0);
    // Dragged off the menus and released: cancelled.
    Script({[] { headless::MoveMouse(400, 300); }, [] { headless::MouseUp(); }});
    headless::MoveMouse(title.x, title.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Count(frame_, WM_EXITMENULOOP), 1);
    EXPECT_EQ(Count(frame_, WM_COMMAND), 0);

    // Clicked open, then a click elsewhere: cancelled, and that click reaches no window.
    log_.clear();
    Script({[] { headless::MouseUp(); }, [] { headless::Click(400, 300); }});
    headless::MoveMouse(title.x, title.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Count(frame_, WM_EXITMENULOOP), 1);
    EXPECT_EQ(Count(frame_, WM_COMMAND), 0);
    EXPECT_EQ(Count(client_, WM_LBUTTONDOWN), 0);

    // A second click on the open popup's title closes it.
    log_.clear();
    Script({[] { headless::MouseUp(); }, [=] { headless::Click(title.x, title.y); }});
    headless::MoveMouse(title.x, title.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Count(frame_, WM_EXITMENULOOP), 1);
    EXPECT_EQ(Count(frame_, WM_INITMENUPOPUP), 1);
}

TEST_F(MenuMouseTest, MovingAlongTheBarWhileOpenSwitchesPopupsAndGreyedItemsStayOpen)
{
    HMENU bar = GetMenu(frame_);
    HMENU file = GetSubMenu(bar, 0), edit = GetSubMenu(bar, 1);
    POINT title = BarItem(0);
    Script({[] { headless::MouseUp(); }, MoveTo([&] { return BarItem(1); }),
            // Undo is greyed: clicking it leaves the menu open.
            MoveTo([&] { return PopupItem(edit, 0); }), [] { headless::MouseDown(); }, [] { headless::MouseUp(); },
            Key(VK_ESCAPE), Key(VK_ESCAPE)});
    headless::MoveMouse(title.x, title.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    std::vector<WPARAM> popups;
    for (const auto& m : Logged(frame_, {WM_INITMENUPOPUP})) popups.push_back(m.wParam);
    EXPECT_EQ(popups, (std::vector<WPARAM>{reinterpret_cast<WPARAM>(file), reinterpret_cast<WPARAM>(edit)}));
    EXPECT_EQ(Count(frame_, WM_COMMAND), 0);
    EXPECT_EQ(Count(frame_, WM_EXITMENULOOP), 1);
}

TEST_F(MenuMouseTest, TheSystemMenuIconOpensTheSystemMenu)
{
    RECT wr{};
    GetWindowRect(frame_, &wr);
    POINT icon{wr.left + GetSystemMetrics(SM_CXFRAME) + 6, wr.top + GetSystemMetrics(SM_CYFRAME) + 6};
    ASSERT_EQ(SendMessage(frame_, WM_NCHITTEST, 0, MAKELPARAM(icon.x, icon.y)), HTSYSMENU);
    HMENU sys = GetSystemMenu(frame_, FALSE);
    int maximize = -1;
    for (int i = 0; i < GetMenuItemCount(sys); ++i)
        if (GetMenuItemID(sys, i) == SC_MAXIMIZE) maximize = i;
    ASSERT_GE(maximize, 0);
    Script({[] { headless::MouseUp(); }, MoveTo([&] { return PopupItem(sys, maximize); }),
            [] { headless::MouseDown(); }, [] { headless::MouseUp(); }});
    headless::MoveMouse(icon.x, icon.y);
    headless::MouseDown();
    ASSERT_TRUE(Pump());
    auto popups = Logged(frame_, {WM_INITMENUPOPUP});
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].lParam, MAKELPARAM(0, TRUE));
    EXPECT_EQ(Describe(Logged(frame_, {WM_SYSCOMMAND}).back()), Describe(Msg(WM_SYSCOMMAND, SC_MAXIMIZE, 0)));
    EXPECT_TRUE(IsZoomed(frame_));
}

class PopupMenuTest : public MenuTestApp {
protected:
    void SetUp() override {
        MenuTestApp::SetUp();
        popup_ = CreatePopupMenu();
        sub_ = CreatePopupMenu();
        AppendMenu(sub_, MF_STRING, 31, "Inner");
        AppendMenu(popup_, MF_STRING, 11, "&Line");
        AppendMenu(popup_, MF_STRING, 12, "&Rectangle");
        AppendMenu(popup_, MF_POPUP, reinterpret_cast<UINT_PTR>(sub_), "&More");
    }
    void TearDown() override {
        DestroyMenu(popup_);
        MenuTestApp::TearDown();
    }
    HMENU popup_ = nullptr;
    HMENU sub_ = nullptr;
};

TEST_F(PopupMenuTest, ReturnCmdGivesTheChoiceWithoutACommand)
{
    Script({MoveTo([&] { return PopupItem(popup_, 1); }), [] { headless::MouseDown(); }, [] { headless::MouseUp(); }});
    EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD | TPM_LEFTALIGN, 200, 150, 0, frame_, nullptr), 12);
    ASSERT_TRUE(Pump());
    std::vector<AppMessage> want = {
        Msg(WM_ENTERMENULOOP, TRUE, 0),
        Msg(WM_INITMENU, reinterpret_cast<WPARAM>(popup_), 0),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup_), MAKELPARAM(0, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(12, kMouse), L(popup_)),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0),
        Msg(WM_EXITMENULOOP, TRUE, 0),
    };
    EXPECT_EQ(Describe(Logged(frame_)), Describe(want));
}

TEST_F(PopupMenuTest, WithoutReturnCmdTheChoiceIsPostedAndEscChoosesNothing)
{
    // The right button chooses with TPM_RIGHTBUTTON, keys work as in the bar's popups.
    Script({MoveTo([&] { return PopupItem(popup_, 2); }), MoveTo([&] { return PopupItem(sub_, 0); }),
            [] { headless::MouseDown(MouseButton::Right); }, [] { headless::MouseUp(MouseButton::Right); }});
    EXPECT_EQ(TrackPopupMenu(popup_, TPM_RIGHTBUTTON, 200, 150, 0, frame_, nullptr), TRUE);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Describe(Logged(frame_, {WM_COMMAND}).back()), Describe(Msg(WM_COMMAND, 31, 0)));

    log_.clear();
    Script({Key(VK_DOWN), Key(VK_ESCAPE)});
    EXPECT_EQ(TrackPopupMenu(popup_, TPM_RETURNCMD, 200, 150, 0, frame_, nullptr), 0);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Count(frame_, WM_COMMAND), 0);

    // Without notifications the owner hears nothing but the command.
    log_.clear();
    Script({Key(VK_DOWN), Key(VK_RETURN)});
    EXPECT_EQ(TrackPopupMenu(popup_, TPM_NONOTIFY, 200, 150, 0, frame_, nullptr), TRUE);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(LoggedIds(frame_), (std::vector<UINT>{WM_COMMAND}));
}

TEST_F(PopupMenuTest, TheReleaseOfTheClickThatOpenedACentredMenuChoosesNothing)
{
    HWND doc = NewDocument("Doc");
    std::vector<BOOL> results;
    docHandler_ = [&](HWND hwnd, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (msg != WM_RBUTTONDOWN) return std::nullopt;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &p);
        results.push_back(
            TrackPopupMenu(popup_, TPM_CENTERALIGN | TPM_VCENTERALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, p.x, p.y, 0,
                           frame_, nullptr));
        return 0;
    };
    RECT r{};
    GetWindowRect(doc, &r);
    POINT at = Center(r);
    // The menu opens centred on the pointer, over its middle item; the release stays ignored.
    Script({Key(VK_ESCAPE)});
    headless::Click(at.x, at.y, MouseButton::Right);
    ASSERT_TRUE(Pump());
    // Pressed, moved onto an item and released there: chosen.
    Script({MoveTo([&] { return PopupItem(popup_, 0); }), [] { headless::MouseUp(MouseButton::Right); }});
    headless::MoveMouse(at.x, at.y);
    headless::MouseDown(MouseButton::Right);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(results, (std::vector<BOOL>{0, 11}));
}

TEST_F(PopupMenuTest, AlignmentFlagsPlaceThePopupAndItStaysOnTheScreen)
{
    RECT first{}, last{};
    auto measure = [&] {
        GetMenuItemRect(frame_, popup_, 0, &first);
        GetMenuItemRect(frame_, popup_, 2, &last);
    };
    Script({measure, Key(VK_ESCAPE)});
    TrackPopupMenu(popup_, TPM_CENTERALIGN | TPM_BOTTOMALIGN, 400, 300, 0, frame_, nullptr);
    // Items lie inside a three-pixel border.
    EXPECT_EQ(last.bottom + 3, 300);
    EXPECT_NEAR((first.left - 3 + last.right + 3) / 2.0, 400.0, 1.0);

    Script({measure, Key(VK_ESCAPE)});
    TrackPopupMenu(popup_, TPM_LEFTALIGN, 790, 590, 0, frame_, nullptr);
    EXPECT_LE(last.right + 3, 800);
    EXPECT_LE(last.bottom + 3, 600);
    EXPECT_GT(first.left, 600);
}

TEST_F(PopupMenuTest, OwnerDrawnItemsAreMeasuredAndDrawnByTheOwnerInBrokenColumns)
{
    HMENU colors = CreatePopupMenu();
    for (int i = 0; i < 16; ++i)
        AppendMenu(colors, MF_OWNERDRAW | (i % 8 == 0 && i ? MF_MENUBARBREAK : 0), 19800 + i, static_cast<ULONG_PTR>(i));
    std::vector<ULONG_PTR> measured;
    std::vector<DRAWITEMSTRUCT> drawn;
    frameHandler_ = [&](HWND, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (msg == WM_MEASUREITEM) {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            EXPECT_EQ(mis->CtlType, ODT_MENU);
            EXPECT_EQ(mis->itemID, 19800 + mis->itemData);
            measured.push_back(mis->itemData);
            mis->itemWidth = 13;
            mis->itemHeight = 13;
            return 1;
        }
        if (msg == WM_DRAWITEM) {
            drawn.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return 1;
        }
        return std::nullopt;
    };
    RECT r0{}, r7{}, r8{};
    Script({[&] {
                GetMenuItemRect(frame_, colors, 0, &r0);
                GetMenuItemRect(frame_, colors, 7, &r7);
                GetMenuItemRect(frame_, colors, 8, &r8);
            },
            MoveTo([&] { return PopupItem(colors, 9); }), [] { headless::MouseDown(); }, [] { headless::MouseUp(); }});
    EXPECT_EQ(TrackPopupMenu(colors, TPM_RETURNCMD, 100, 100, 0, frame_, nullptr), 19809);
    ASSERT_GE(measured.size(), 16u);
    // A column of eight 13-pixel items, the second column to its right at the top again.
    EXPECT_EQ(r0.bottom - r0.top, 13);
    EXPECT_EQ(r7.top - r0.top, 7 * 13);
    EXPECT_EQ(r8.top, r0.top);
    EXPECT_GT(r8.left, r0.right);
    bool selectedDrawn = false;
    for (const auto& d : drawn) {
        EXPECT_EQ(d.CtlType, ODT_MENU);
        EXPECT_EQ(d.hwndItem, reinterpret_cast<HWND>(colors));
        if (d.itemID == 19809 && (d.itemState & ODS_SELECTED)) {
            selectedDrawn = true;
            EXPECT_EQ(d.itemData, 9u);
        }
    }
    EXPECT_TRUE(selectedDrawn);
    DestroyMenu(colors);
}

}  // namespace
}  // namespace win::testing
