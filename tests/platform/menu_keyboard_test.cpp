// The menu bar driven by the keyboard: Alt+mnemonic, Alt and F10 alone, arrows, Enter and Esc,
// the system menu by Alt+Space, with the exact messages the frame receives.
#include "menu_test_app.h"

namespace win::testing {
namespace {

using MenuKeyboardTest = MenuTestApp;

constexpr UINT kHilite = MF_HILITE;

TEST_F(MenuKeyboardTest, AltMnemonicOpensThePopupAndEnterChoosesTheSelectedItem)
{
    HMENU bar = GetMenu(frame_);
    HMENU file = GetSubMenu(bar, 0);
    Script({Key(VK_DOWN), Key(VK_RETURN)});
    headless::PressKeyWithModifiers('F', false, false, true);
    ASSERT_TRUE(Pump());

    std::vector<AppMessage> want = {
        Msg(WM_SYSCOMMAND, SC_KEYMENU, 'f'),
        Msg(WM_ENTERMENULOOP, FALSE, 0),
        Msg(WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | kHilite), L(bar)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9101, kHilite), L(file)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9102, kHilite), L(file)),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0),
        Msg(WM_EXITMENULOOP, FALSE, 0),
        Msg(WM_COMMAND, 9102, 0),
    };
    EXPECT_EQ(Describe(Logged(frame_)), Describe(want));
    EXPECT_FALSE(IsMenuTracking());
    EXPECT_TRUE(script_.empty());
}

TEST_F(MenuKeyboardTest, AltAloneSelectsTheBarAndArrowsWalkItAndItsPopups)
{
    HMENU bar = GetMenu(frame_);
    HMENU file = GetSubMenu(bar, 0), edit = GetSubMenu(bar, 1), recent = GetSubMenu(file, 3);
    std::vector<UINT> selectedDuringLoop;
    Script({
        Key(VK_RIGHT),  // Edit, no popup open yet
        Key(VK_LEFT),   // back to File
        Key(VK_DOWN),   // File opens with New selected
        Key(VK_UP),     // wraps to Exit
        Key(VK_UP),     // Recent (the separator is skipped further up)
        Key(VK_RIGHT),  // opens Recent with its first item
        Key(VK_LEFT),   // closes Recent, Recent stays selected
        Key(VK_RIGHT),  // again
        Key(VK_RIGHT),  // no popup under "&1 first.cir": the next bar item opens (Edit)
        Key(VK_ESCAPE), // closes Edit's popup, Edit stays selected on the bar
        Key(VK_ESCAPE), // leaves the menu
    });
    headless::PressKey(VK_MENU);
    ASSERT_TRUE(Pump());

    std::vector<AppMessage> want = {
        Msg(WM_SYSCOMMAND, SC_KEYMENU, 0),
        Msg(WM_ENTERMENULOOP, FALSE, 0),
        Msg(WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | kHilite), L(bar)),
        Msg(WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP | kHilite), L(bar)),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | kHilite), L(bar)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9101, kHilite), L(file)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9103, kHilite), L(file)),
        Msg(WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP | kHilite), L(file)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(recent), MAKELPARAM(3, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9111, kHilite), L(recent)),
        // Back on Recent: its owner hears that it is chosen again.
        Msg(WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP | kHilite), L(file)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(recent), MAKELPARAM(3, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9111, kHilite), L(recent)),
        Msg(WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP | kHilite), L(bar)),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), MAKELPARAM(1, FALSE)),
        Msg(WM_MENUSELECT, MAKEWPARAM(9201, MF_GRAYED | kHilite), L(edit)),
        Msg(WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP | kHilite), L(bar)),
        Msg(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0),
        Msg(WM_EXITMENULOOP, FALSE, 0),
    };
    EXPECT_EQ(Describe(Logged(frame_)), Describe(want));
    EXPECT_EQ(Count(frame_, WM_COMMAND), 0);
}

TEST_F(MenuKeyboardTest, F10EntersTheBarAndMnemonicsChooseInsidePopups)
{
    HMENU bar = GetMenu(frame_);
    HMENU file = GetSubMenu(bar, 0), recent = GetSubMenu(file, 3);
    // F10 is also an accelerator of the application: without its table F10 enters the menu.
    accel_ = nullptr;
    // In menu mode plain letters are mnemonics: F opens File, R opens Recent, 2 chooses.
    Script({[] { headless::TypeText("f"); }, [] { headless::TypeText("r"); }, [] { headless::TypeText("2"); }});
    headless::PressKey(VK_F10);
    ASSERT_TRUE(Pump());
    auto got = Logged(frame_);
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(Describe(got.front()), Describe(Msg(WM_SYSCOMMAND, SC_KEYMENU, 0)));
    EXPECT_EQ(Describe(got[got.size() - 3]), Describe(Msg(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0)));
    EXPECT_EQ(Describe(got.back()), Describe(Msg(WM_COMMAND, 9112, 0)));
    int popups = 0;
    for (const auto& m : got) popups += m.msg == WM_INITMENUPOPUP;
    EXPECT_EQ(popups, 2);
    EXPECT_EQ(Count(frame_, WM_INITMENU), 1);
    EXPECT_EQ(Describe(Logged(frame_, {WM_INITMENUPOPUP}).back()),
              Describe(Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(recent), MAKELPARAM(3, FALSE))));
}

TEST_F(MenuKeyboardTest, GreyedItemsAndUnknownLettersChooseNothing)
{
    HMENU bar = GetMenu(frame_);
    HMENU edit = GetSubMenu(bar, 1);
    int menuChars = 0;
    frameHandler_ = [&](HWND, UINT msg, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (msg == WM_MENUCHAR) {
            ++menuChars;
            EXPECT_EQ(LOWORD(wParam), 'z');
            EXPECT_EQ(HIWORD(wParam), MF_POPUP);
            EXPECT_EQ(lParam, L(edit));
        }
        return std::nullopt;
    };
    // Edit opens with the greyed Undo selected; Enter on it closes the menu without a command.
    Script({[] { headless::TypeText("z"); }, Key(VK_RETURN)});
    headless::PressKeyWithModifiers('E', false, false, true);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(menuChars, 1);
    EXPECT_EQ(Count(frame_, WM_COMMAND), 0);
    EXPECT_EQ(Count(frame_, WM_EXITMENULOOP), 1);

    // Alt with a letter no bar item has: asked, refused, no loop left running.
    frameHandler_ = nullptr;
    log_.clear();
    headless::PressKeyWithModifiers('Q', false, false, true);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(LoggedIds(frame_), (std::vector<UINT>{WM_SYSCOMMAND, WM_ENTERMENULOOP, WM_INITMENU, WM_MENUCHAR,
                                                    WM_MENUSELECT, WM_EXITMENULOOP}));
    EXPECT_FALSE(IsMenuTracking());
}

TEST_F(MenuKeyboardTest, TwoItemsWithOneMnemonicAreSelectedInTurn)
{
    HMENU bar = GetMenu(frame_);
    HMENU edit = GetSubMenu(bar, 1);
    // "&Copy" and "C&lear" differ; give Cut the same mnemonic as Copy.
    ASSERT_TRUE(ModifyMenu(edit, 9202, MF_BYCOMMAND | MF_STRING, 9202, "&Cut"));
    Script({[] { headless::TypeText("c"); }, [] { headless::TypeText("c"); }, Key(VK_RETURN)});
    headless::PressKeyWithModifiers('E', false, false, true);
    ASSERT_TRUE(Pump());
    std::vector<UINT> selected;
    for (const auto& m : Logged(frame_, {WM_MENUSELECT}))
        if (m.lParam == L(edit)) selected.push_back(LOWORD(m.wParam));
    EXPECT_EQ(selected, (std::vector<UINT>{9201, 9202, 9203}));
    ASSERT_EQ(Count(frame_, WM_COMMAND), 1);
    EXPECT_EQ(Logged(frame_, {WM_COMMAND}).back().wParam, 9203u);
}

TEST_F(MenuKeyboardTest, AltSpaceOpensTheSystemMenuWhoseItemsAreSystemCommands)
{
    HMENU sys = GetSystemMenu(frame_, FALSE);
    ASSERT_TRUE(sys);
    std::vector<UINT> stateWhenOpen;
    frameHandler_ = [&](HWND, UINT msg, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (msg == WM_INITMENUPOPUP && HIWORD(lParam)) {
            stateWhenOpen = {GetMenuState(sys, SC_RESTORE, MF_BYCOMMAND), GetMenuState(sys, SC_MAXIMIZE, MF_BYCOMMAND)};
        }
        return std::nullopt;
    };
    // Mi&nimize.
    Script({[] { headless::TypeText("n"); }});
    headless::PressKeyWithModifiers(VK_SPACE, false, false, true);
    ASSERT_TRUE(Pump());
    auto got = Logged(frame_);
    ASSERT_GE(got.size(), 5u);
    EXPECT_EQ(Describe(got[2]), Describe(Msg(WM_INITMENU, reinterpret_cast<WPARAM>(sys), 0)));
    EXPECT_EQ(Describe(got[3]), Describe(Msg(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | MF_HILITE | MF_SYSMENU), L(sys))));
    EXPECT_EQ(Describe(got[4]), Describe(Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sys), MAKELPARAM(0, TRUE))));
    // A normal window cannot be restored but can be maximised.
    ASSERT_EQ(stateWhenOpen.size(), 2u);
    EXPECT_EQ(stateWhenOpen[0] & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(stateWhenOpen[1] & MF_GRAYED, 0u);
    EXPECT_EQ(Describe(Logged(frame_).back()), Describe(Msg(WM_SYSCOMMAND, SC_MINIMIZE, 0)));
    EXPECT_TRUE(IsIconic(frame_));
}

TEST_F(MenuKeyboardTest, AMenuLoopThatRunsOutOfInputEndsAndHandsTheQuitOn)
{
    headless::PressKeyWithModifiers('F', false, false, true);
    EXPECT_FALSE(Pump());  // no script: the waiting loop ends with WM_QUIT
    EXPECT_TRUE(quit_);
    EXPECT_FALSE(IsMenuTracking());
    EXPECT_EQ(Count(frame_, WM_EXITMENULOOP), 1);
}

}  // namespace
}  // namespace win::testing
