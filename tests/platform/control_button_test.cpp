// Buttons and statics driven by the mouse and the keyboard.
#include "control_test_support.h"
#include "platform/cursor.h"
#include "platform/gdi_objects.h"
#include "platform/screen.h"
#include "platform/system.h"

namespace win::testing {
namespace {

class ButtonTest : public ControlTest {};

TEST_F(ButtonTest, ClicksToggleAutomaticButtonsBeforeTheParentHears) {
    HWND check = Make(kButtonClass, "&Verbose", BS_AUTOCHECKBOX, 10, 10, 100, 20, 11);
    HWND tri = Make(kButtonClass, "Tri", BS_AUTO3STATE, 10, 40, 100, 20, 12);
    HWND plain = Make(kButtonClass, "Plain", BS_CHECKBOX, 10, 70, 100, 20, 13);
    WPARAM seenAtClick = 99;
    Handler() = [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (h == main_ && m == WM_COMMAND && LOWORD(w) == 11) seenAtClick = SendMessage(check, BM_GETCHECK, 0, 0);
        return std::nullopt;
    };
    ClickCenter(check);
    Pump();
    EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(seenAtClick, BST_CHECKED);
    EXPECT_EQ(GetFocus(), check);
    ClickCenter(check);
    for (int i = 0; i < 3; ++i) ClickCenter(tri);
    ClickCenter(plain);
    Pump();
    EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessage(tri, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // checked, indeterminate, clear
    EXPECT_EQ(SendMessage(plain, BM_GETCHECK, 0, 0), BST_UNCHECKED);  // a plain box leaves it to the parent
    EXPECT_EQ(CountCode(11, BN_CLICKED), 2);
    EXPECT_EQ(CountCode(12, BN_CLICKED), 3);
    EXPECT_EQ(CountCode(13, BN_CLICKED), 1);
    // A plain check box takes BST_INDETERMINATE as checked; a three-state one keeps it.
    SendMessage(plain, BM_SETCHECK, BST_INDETERMINATE, 0);
    SendMessage(tri, BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(SendMessage(plain, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessage(tri, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
}

TEST_F(ButtonTest, ReleasingOutsideOrPressingSpaceBehaveLikeARealButton) {
    HWND push = Make(kButtonClass, "Push", BS_PUSHBUTTON, 10, 10, 80, 24, 21);
    POINT c = CenterOf(push);
    headless::MoveMouse(c.x, c.y);
    headless::MouseDown();
    Pump();
    EXPECT_TRUE(SendMessage(push, BM_GETSTATE, 0, 0) & BST_PUSHED);
    headless::MoveMouse(c.x + 200, c.y);
    headless::MouseUp();
    Pump();
    EXPECT_FALSE(SendMessage(push, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(CountCode(21, BN_CLICKED), 0);

    headless::KeyDown(VK_SPACE);
    Pump();
    EXPECT_TRUE(SendMessage(push, BM_GETSTATE, 0, 0) & BST_PUSHED);
    headless::KeyUp(VK_SPACE);
    Pump();
    EXPECT_EQ(CountCode(21, BN_CLICKED), 1);
    SendMessage(push, BM_CLICK, 0, 0);
    EXPECT_EQ(CountCode(21, BN_CLICKED), 2);
    EXPECT_EQ(SendMessage(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    SendMessage(push, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(SendMessage(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
}

TEST_F(ButtonTest, AutomaticRadioButtonsKeepOneCheckedPerGroupThroughAGroupBox) {
    // The group box lies on top of its buttons; clicks go through it.
    HWND group = Make(kButtonClass, "Mode", BS_GROUPBOX, 5, 5, 200, 120, 30);
    HWND a = Make(kButtonClass, "A", BS_AUTORADIOBUTTON | WS_GROUP, 15, 25, 80, 20, 31);
    HWND b = Make(kButtonClass, "B", BS_AUTORADIOBUTTON, 15, 50, 80, 20, 32);
    HWND c = Make(kButtonClass, "C", BS_AUTORADIOBUTTON, 15, 75, 80, 20, 33);
    HWND other = Make(kButtonClass, "Other", BS_AUTORADIOBUTTON | WS_GROUP, 250, 25, 80, 20, 34);
    SendMessage(other, BM_SETCHECK, BST_CHECKED, 0);
    ClickCenter(a);
    ClickCenter(c);
    Pump();
    EXPECT_EQ(SendMessage(a, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessage(b, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessage(c, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessage(other, BM_GETCHECK, 0, 0), BST_CHECKED);  // another group
    EXPECT_EQ(CodesOf(33), std::vector<WORD>{BN_CLICKED});
    // The checked radio button is the group's tab stop.
    EXPECT_TRUE(GetWindowLong(c, GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLong(a, GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(SendMessage(group, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
}

TEST_F(ButtonTest, OwnerDrawnButtonsAreDrawnByTheParentWithTheirState) {
    std::vector<DRAWITEMSTRUCT> draws;
    Handler() = [&](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (h == main_ && m == WM_DRAWITEM) {
            draws.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
            return TRUE;
        }
        return std::nullopt;
    };
    HWND od = Make(kButtonClass, "", BS_OWNERDRAW, 10, 10, 40, 40, 19800);
    Pump();
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().CtlType, ODT_BUTTON);
    EXPECT_EQ(draws.back().CtlID, 19800u);
    EXPECT_EQ(draws.back().itemAction, ODA_DRAWENTIRE);
    EXPECT_EQ(draws.back().hwndItem, od);
    EXPECT_EQ(draws.back().rcItem.right, 40);
    draws.clear();
    POINT p = CenterOf(od);
    headless::MoveMouse(p.x, p.y);
    headless::MouseDown();
    Pump();
    // Taking the focus, then being pressed.
    ASSERT_GE(draws.size(), 2u);
    EXPECT_EQ(draws[0].itemAction, ODA_FOCUS);
    EXPECT_TRUE(draws[0].itemState & ODS_FOCUS);
    EXPECT_EQ(draws.back().itemAction, ODA_SELECT);
    EXPECT_TRUE(draws.back().itemState & ODS_SELECTED);
    headless::MouseUp();
    Pump();
    EXPECT_EQ(draws.back().itemAction, ODA_SELECT);
    EXPECT_FALSE(draws.back().itemState & ODS_SELECTED);
    EXPECT_EQ(CountCode(19800, BN_CLICKED), 1);
}

TEST_F(ButtonTest, StaticsPassClicksOnUnlessTheyNotifyAndTakeTheirParentsColours) {
    HWND quiet = Make(kStaticClass, "Label", SS_LEFT, 10, 10, 100, 20, 40);
    HWND loud = Make(kStaticClass, "Link", SS_LEFT | SS_NOTIFY, 10, 40, 100, 20, 41);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    Handler() = [&](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (h == main_ && m == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(l) == quiet)
            return reinterpret_cast<LRESULT>(red);
        return std::nullopt;
    };
    InvalidateRect(quiet, nullptr, TRUE);
    Pump();
    RECT r;
    GetWindowRect(quiet, &r);
    EXPECT_EQ(ScreenPixel(r.right - 2, r.bottom - 2), RGB(255, 0, 0));
    MessageLog().clear();
    ClickCenter(quiet);
    ClickCenter(loud);
    Pump();
    EXPECT_EQ(CountOf(main_, WM_LBUTTONDOWN), 1);  // the click on the plain label reached the window
    EXPECT_EQ(CodesOf(41), std::vector<WORD>{STN_CLICKED});
    DeleteObject(red);

    CursorImage img;
    img.width = img.height = 16;
    img.pixels.assign(256, 0xFF00FF00);
    RegisterIconResource(1200, img);
    HWND icon = CreateWindowEx(0, kStaticClass, "#1200", WS_CHILD | WS_VISIBLE | SS_ICON, 200, 10, 50, 50, main_,
                               ChildIdMenu(42), GetModuleHandle(nullptr), nullptr);
    GetClientRect(icon, &r);
    EXPECT_EQ(r.right, 16);  // sized to its icon
    EXPECT_NE(SendMessage(icon, STM_GETICON, 0, 0), 0);
}

}  // namespace
}  // namespace win::testing
