// The default window procedure with the user's hands: dragging captions and borders, caption
// buttons, closing, and the keys that open the menu bar.
#include "platform/system.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

using DefProcTest = PlatformTest;

TEST_F(DefProcTest, DraggingTheCaptionMovesAndEscPutsItBack) {
    HWND w = TopLevel(100, 100, 200, 150);
    Pump();
    headless::MoveMouse(180, 110);  // on the caption
    headless::MouseDown();
    headless::MoveMouse(230, 140);
    headless::MouseUp();
    Pump();
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.top, 130);
    EXPECT_EQ(CountOf(w, WM_ENTERSIZEMOVE), 1);
    EXPECT_EQ(CountOf(w, WM_EXITSIZEMOVE), 1);
    EXPECT_EQ(GetCapture(), nullptr);

    headless::MoveMouse(230, 140);
    headless::MouseDown();
    headless::MoveMouse(300, 300);
    headless::PressKey(VK_ESCAPE);
    headless::MouseUp();
    Pump();
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.top, 130);
}

TEST_F(DefProcTest, DraggingACornerSizesWithinTheTrackLimits) {
    HWND w = TopLevel(100, 100, 200, 150);
    Pump();
    headless::MoveMouse(299, 249);  // bottom-right corner
    headless::MouseDown();
    headless::MoveMouse(349, 279);
    headless::MouseUp();
    Pump();
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 250);
    EXPECT_EQ(r.bottom - r.top, 180);
    EXPECT_EQ(Last(w, WM_SIZE)->wParam, SIZE_RESTORED);
    // Shrinking stops at the minimum tracking size.
    headless::MoveMouse(349, 279);
    headless::MouseDown();
    headless::MoveMouse(0, 0);
    headless::MouseUp();
    Pump();
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXMINTRACK));
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYMINTRACK));
    EXPECT_EQ(r.left, 100);
}

TEST_F(DefProcTest, CaptionButtonsAndDoubleClick) {
    HWND w = TopLevel(100, 100, 300, 200);
    Pump();
    int frame = GetSystemMetrics(SM_CXFRAME);
    int y = 100 + frame + 8;
    int maxX = 100 + 300 - frame - 2 - 18 - 2 - 8;
    ASSERT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(maxX, y)), HTMAXBUTTON);
    headless::Click(maxX, y);
    Pump();
    EXPECT_TRUE(IsZoomed(w));
    auto sys = Last(w, WM_SYSCOMMAND);
    EXPECT_EQ(sys->wParam & 0xFFF0, SC_MAXIMIZE);
    // A double click on the caption restores it.
    headless::DoubleClick(400, 8);
    Pump();
    EXPECT_FALSE(IsZoomed(w));
    // Pressing on the close box and letting go elsewhere does nothing.
    int closeX = 100 + 300 - frame - 2 - 8;
    headless::MoveMouse(closeX, y);
    headless::MouseDown();
    headless::MoveMouse(closeX - 100, y + 60);
    headless::MouseUp();
    Pump();
    EXPECT_TRUE(IsWindow(w));
    headless::AdvanceClock(1000);  // not a double click with the press before
    headless::Click(closeX, y);
    Pump();
    EXPECT_EQ(CountOf(w, WM_CLOSE), 1);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(DefProcTest, CloseCanBeRefused) {
    HWND w = TopLevel(0, 0, 200, 100);
    Handler() = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_CLOSE) return 0;  // the user said No
        return std::nullopt;
    };
    SendMessage(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(w));
    Handler() = nullptr;
    headless::PressKeyWithModifiers(VK_F4, false, false, true);
    Pump();
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(DefProcTest, AltAloneAndAltLetterAskForTheMenu) {
    HWND frame = TopLevel(0, 0, 300, 200);
    HWND edit = Child(frame, 1, 0, 0, 100, 20);
    SetFocus(edit);
    Pump();
    MessageLog().clear();
    headless::PressKey(VK_MENU);
    headless::PressKeyWithModifiers('E', false, false, true);
    headless::PressKey(VK_F10);
    headless::PressKeyWithModifiers(VK_SHIFT, false, false, true);  // Alt with another key: no menu
    Pump();
    std::vector<LPARAM> menus;
    for (const auto& l : MessageLog())
        if (l.hwnd == frame && l.msg == WM_SYSCOMMAND && (l.wParam & 0xFFF0) == SC_KEYMENU) menus.push_back(l.lParam);
    EXPECT_EQ(menus, (std::vector<LPARAM>{0, 'e', 0}));
    EXPECT_EQ(Last(edit, WM_SYSKEYDOWN)->wParam, static_cast<WPARAM>(VK_SHIFT));
}

TEST_F(DefProcTest, KeysGoToTheFocusOrAsSystemKeysToTheActiveWindow) {
    HWND frame = TopLevel(0, 0, 300, 200);
    HWND edit = Child(frame, 1, 0, 0, 100, 20);
    SetFocus(edit);
    Pump();
    MessageLog().clear();
    headless::PressKey('X');
    Pump();
    EXPECT_EQ(CountOf(edit, WM_KEYDOWN), 1);
    EnableWindow(edit, FALSE);
    EXPECT_EQ(GetFocus(), nullptr);
    headless::PressKey('Y');
    Pump();
    EXPECT_EQ(CountOf(edit, WM_KEYDOWN), 1);
    EXPECT_EQ(Last(frame, WM_SYSKEYDOWN)->wParam, static_cast<WPARAM>('Y'));
    EXPECT_EQ(Last(frame, WM_SYSCHAR)->wParam, static_cast<WPARAM>('y'));
}

TEST_F(DefProcTest, ClicksOnADisabledControlGoToItsParent) {
    HWND frame = TopLevel(0, 0, 300, 200);
    HWND button = Child(frame, 1, 10, 10, 100, 20);
    EnableWindow(button, FALSE);
    Pump();
    POINT p{20, 20};
    ClientToScreen(button, &p);
    headless::Click(p.x, p.y);
    Pump();
    EXPECT_EQ(CountOf(button, WM_LBUTTONDOWN), 0);
    ASSERT_EQ(CountOf(frame, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(Last(frame, WM_LBUTTONDOWN)->lParam, MAKELPARAM(30, 30));
}

}  // namespace
}  // namespace win::testing
