// Edit controls edited by typing, keys, mouse and messages, and read back.
#include <cstring>

#include "control_test_support.h"
#include "platform/clipboard.h"
#include "platform/global_memory.h"
#include "platform/message_box.h"

namespace win::testing {
namespace {

class EditTest : public ControlTest {
protected:
    HWND Edit(DWORD style, int w = 200, int h = 24, int id = 100) {
        HWND e = Make(kEditClass, "", style, 10, 10, w, h, id);
        SetFocus(e);
        Pump();
        MessageLog().clear();
        return e;
    }
    static std::pair<DWORD, DWORD> Sel(HWND e) {
        DWORD a = 0, b = 0;
        SendMessage(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        return {a, b};
    }
    static void Keys(int vk, int times = 1, bool shift = false, bool ctrl = false) {
        for (int i = 0; i < times; ++i) headless::PressKeyWithModifiers(vk, ctrl, shift);
        headless::RunUntilIdle();
    }
};

TEST_F(EditTest, TypingSelectingAndDeletingWithTheKeys) {
    HWND e = Edit(ES_AUTOHSCROLL);
    headless::TypeText("hello world");
    Pump();
    EXPECT_EQ(GetWindowText(e), "hello world");
    EXPECT_EQ(Sel(e), std::make_pair(11u, 11u));
    Keys(VK_LEFT, 1, false, true);  // Ctrl+Left: to the start of "world"
    Keys(VK_RIGHT, 5, true);        // Shift+Right x5 selects it
    EXPECT_EQ(Sel(e), std::make_pair(6u, 11u));
    headless::TypeText("there");
    Pump();
    EXPECT_EQ(GetWindowText(e), "hello there");
    Keys(VK_HOME);
    Keys(VK_DELETE);
    Keys(VK_END);
    Keys(VK_BACK);
    EXPECT_EQ(GetWindowText(e), "ello ther");
    // Every change tells the parent: update first, then change.
    std::vector<WORD> codes = CodesOf(100);
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[0], EN_UPDATE);
    EXPECT_EQ(codes[1], EN_CHANGE);
    EXPECT_EQ(CountCode(100, EN_CHANGE), 11 + 5 + 2);
    EXPECT_TRUE(SendMessage(e, EM_GETMODIFY, 0, 0));
}

TEST_F(EditTest, TheLimitCutsInsertionsAndSaysSo) {
    HWND e = Edit(ES_AUTOHSCROLL);
    SendMessage(e, EM_LIMITTEXT, 5, 0);
    headless::TypeText("abcdefg");
    Pump();
    EXPECT_EQ(GetWindowText(e), "abcde");
    EXPECT_EQ(CountCode(100, EN_MAXTEXT), 2);
    SendMessage(e, EM_SETSEL, 1, 3);
    SendMessage(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("XYZW"));
    EXPECT_EQ(GetWindowText(e), "aXYde");  // two characters freed, two fit
    EXPECT_EQ(SendMessage(e, EM_GETLIMITTEXT, 0, 0), 5);
    // WM_SETTEXT is not bound by the limit, and resets modify and undo.
    SetWindowText(e, "longer text");
    EXPECT_EQ(GetWindowText(e), "longer text");
    EXPECT_FALSE(SendMessage(e, EM_GETMODIFY, 0, 0));
    EXPECT_FALSE(SendMessage(e, EM_CANUNDO, 0, 0));
}

TEST_F(EditTest, ANarrowFieldWithoutAutoScrollTakesOnlyWhatFits) {
    HWND e = Edit(0, 40);
    headless::TypeText("wwwwwwwwwwwwwwwwwwww");
    Pump();
    std::string text = GetWindowText(e);
    EXPECT_GT(text.size(), 0u);
    EXPECT_LT(text.size(), 20u);
    EXPECT_GE(CountCode(100, EN_MAXTEXT), 1);
}

TEST_F(EditTest, UndoTakesBackTypingAsOneStepAndRedoesOnASecondUndo) {
    HWND e = Edit(ES_AUTOHSCROLL);
    SetWindowText(e, "abc");
    SendMessage(e, EM_SETSEL, 3, 3);
    headless::TypeText("def");
    Pump();
    EXPECT_EQ(GetWindowText(e), "abcdef");
    headless::PressKeyWithModifiers('Z', true, false);
    Pump();
    EXPECT_EQ(GetWindowText(e), "abc");
    SendMessage(e, WM_UNDO, 0, 0);
    EXPECT_EQ(GetWindowText(e), "abcdef");
    SendMessage(e, EM_EMPTYUNDOBUFFER, 0, 0);
    SendMessage(e, EM_UNDO, 0, 0);
    EXPECT_EQ(GetWindowText(e), "abcdef");
    // A replacement that cannot be undone does not let an older undo take it away.
    headless::TypeText("g");
    Pump();
    SendMessage(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("!"));
    EXPECT_FALSE(SendMessage(e, EM_CANUNDO, 0, 0));
    SendMessage(e, EM_UNDO, 0, 0);
    EXPECT_EQ(GetWindowText(e), "abcdefg!");
}

TEST_F(EditTest, ClipboardKeysCutCopyAndPasteText) {
    HWND e = Edit(ES_AUTOHSCROLL);
    SetWindowText(e, "one two");
    SendMessage(e, EM_SETSEL, 0, 3);
    headless::PressKeyWithModifiers('X', true, false);
    Pump();
    EXPECT_EQ(GetWindowText(e), " two");
    ASSERT_TRUE(OpenClipboard(main_));
    EXPECT_EQ(GlobalText(GetClipboardData(CF_TEXT).Global()), "one");
    CloseClipboard();
    Keys(VK_END);
    headless::PressKeyWithModifiers('V', true, false);
    Pump();
    EXPECT_EQ(GetWindowText(e), " twoone");
    SendMessage(e, EM_SETSEL, 0, -1);
    Keys(VK_INSERT, 1, false, true);  // Ctrl+Ins copies
    ASSERT_TRUE(OpenClipboard(main_));
    EXPECT_EQ(GlobalText(GetClipboardData(CF_TEXT).Global()), " twoone");
    CloseClipboard();
    // A single-line field pastes only the first line.
    ASSERT_TRUE(OpenClipboard(main_));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, GlobalAllocText("first\r\nsecond"));
    CloseClipboard();
    SetWindowText(e, "");
    SendMessage(e, WM_PASTE, 0, 0);
    EXPECT_EQ(GetWindowText(e), "first");
}

TEST_F(EditTest, ReadOnlyPasswordNumberAndCaseStyles) {
    HWND ro = Edit(ES_READONLY | ES_AUTOHSCROLL, 200, 24, 101);
    SetWindowText(ro, "fixed");
    ClearMessageBoxLog();
    headless::TypeText("x");
    Pump();
    EXPECT_EQ(GetWindowText(ro), "fixed");
    EXPECT_EQ(MessageBeepLog().size(), 1u);
    SendMessage(ro, EM_SETREADONLY, FALSE, 0);
    headless::TypeText("x");
    Pump();
    EXPECT_EQ(GetWindowText(ro), "xfixed");

    HWND pw = Edit(ES_PASSWORD | ES_AUTOHSCROLL, 200, 24, 102);
    EXPECT_EQ(SendMessage(pw, EM_GETPASSWORDCHAR, 0, 0), '*');
    headless::TypeText("secret");
    Pump();
    EXPECT_EQ(GetWindowText(pw), "secret");
    SendMessage(pw, EM_SETSEL, 0, -1);
    SendMessage(pw, WM_COPY, 0, 0);  // never copies a password
    ASSERT_TRUE(OpenClipboard(main_));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT) && GlobalText(GetClipboardData(CF_TEXT).Global()) == "secret");
    CloseClipboard();

    HWND num = Edit(ES_NUMBER | ES_UPPERCASE | ES_AUTOHSCROLL, 200, 24, 103);
    headless::TypeText("1a2");
    Pump();
    EXPECT_EQ(GetWindowText(num), "12");
    HWND up = Edit(ES_UPPERCASE | ES_AUTOHSCROLL, 200, 24, 104);
    headless::TypeText("Mixed");
    Pump();
    EXPECT_EQ(GetWindowText(up), "MIXED");
}

TEST_F(EditTest, MultiLineTextHasLinesThatTheMessagesReport) {
    HWND e = Edit(ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 200, 60);
    headless::TypeText("first\rsecond line\r\rlast");
    Pump();
    EXPECT_EQ(GetWindowText(e), "first\r\nsecond line\r\n\r\nlast");
    EXPECT_EQ(SendMessage(e, EM_GETLINECOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessage(e, EM_LINEINDEX, 1, 0), 7);
    EXPECT_EQ(SendMessage(e, EM_LINELENGTH, 7, 0), 11);
    EXPECT_EQ(SendMessage(e, EM_LINEFROMCHAR, 22, 0), 3);
    char buffer[32] = {};
    WORD size = sizeof buffer;
    std::memcpy(buffer, &size, sizeof size);
    LRESULT n = SendMessage(e, EM_GETLINE, 1, reinterpret_cast<LPARAM>(buffer));
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), "second line");
    // Up and Down keep the column they started from; Backspace at a line start joins lines.
    SendMessage(e, EM_SETSEL, 16, 16);  // "second l|ine"
    Keys(VK_UP);
    EXPECT_EQ(Sel(e).first, 5u);  // the end of the shorter line above
    Keys(VK_DOWN);
    EXPECT_EQ(Sel(e).first, 16u);
    SendMessage(e, EM_SETSEL, 7, 7);
    Keys(VK_BACK);
    EXPECT_EQ(GetWindowText(e), "firstsecond line\r\n\r\nlast");
    // The view follows the caret down a short field.
    SetWindowText(e, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9");
    SendMessage(e, EM_SETSEL, 100, 100);
    EXPECT_GT(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    Keys(VK_HOME, 1, false, true);
    EXPECT_EQ(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(EditTest, WordWrapBreaksLongLinesAtBlanks) {
    HWND e = Edit(ES_MULTILINE, 80, 100);
    SetWindowText(e, "the quick brown fox jumps over the lazy dog");
    LRESULT lines = SendMessage(e, EM_GETLINECOUNT, 0, 0);
    EXPECT_GT(lines, 2);
    // Every soft line starts at a word.
    for (LRESULT i = 1; i < lines; ++i) {
        LRESULT start = SendMessage(e, EM_LINEINDEX, static_cast<WPARAM>(i), 0);
        EXPECT_NE(GetWindowText(e)[static_cast<std::size_t>(start)], ' ');
        EXPECT_EQ(GetWindowText(e)[static_cast<std::size_t>(start) - 1], ' ');
    }
}

TEST_F(EditTest, TheMousePlacesTheCaretAndSelects) {
    HWND e = Edit(ES_AUTOHSCROLL);
    SetWindowText(e, "alpha beta gamma");
    LRESULT pos = SendMessage(e, EM_POSFROMCHAR, 6, 0);  // before "beta"
    int x = GET_X_LPARAM(pos), y = GET_Y_LPARAM(pos) + 2;
    ClickClient(e, x, y);
    Pump();
    EXPECT_EQ(Sel(e), std::make_pair(6u, 6u));
    LRESULT end = SendMessage(e, EM_POSFROMCHAR, 10, 0);
    POINT from = ScreenPointOf(e, x, y), to = ScreenPointOf(e, GET_X_LPARAM(end), y);
    headless::MoveMouse(from.x, from.y);
    headless::MouseDown();
    headless::MoveMouse(to.x, to.y);
    headless::MouseUp();
    Pump();
    EXPECT_EQ(Sel(e), std::make_pair(6u, 10u));
    SkipTime(1000);
    POINT mid = ScreenPointOf(e, GET_X_LPARAM(SendMessage(e, EM_POSFROMCHAR, 13, 0)), y);
    headless::DoubleClick(mid.x, mid.y);
    Pump();
    EXPECT_EQ(Sel(e), std::make_pair(11u, 16u));
    EXPECT_EQ(LOWORD(SendMessage(e, EM_CHARFROMPOS, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)))), 6);
}


// A program subclasses edits to take some keys and the right button for itself.
WNDPROC gOriginalEditProc = nullptr;
LRESULT SubclassedEdit(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN && wParam == VK_UP) {
        SetWindowText(hwnd, "up");
        return 0;
    }
    if (msg == WM_RBUTTONDOWN) {
        SetFocus(hwnd);
        SendMessage(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), 0x700),
                    reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    return CallWindowProc(gOriginalEditProc, hwnd, msg, wParam, lParam);
}

TEST_F(EditTest, ASubclassedEditStillEditsWhatItPassesOn) {
    HWND e = Edit(ES_AUTOHSCROLL);
    gOriginalEditProc = reinterpret_cast<WNDPROC>(SetWindowLongPtr(e, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassedEdit)));
    headless::TypeText("ab");
    headless::PressKey(VK_LEFT);
    headless::TypeText("X");
    Pump();
    EXPECT_EQ(GetWindowText(e), "aXb");
    headless::PressKey(VK_UP);
    Pump();
    EXPECT_EQ(GetWindowText(e), "up");
    SetFocus(main_);
    POINT p = CenterOf(e);
    headless::Click(p.x, p.y, MouseButton::Right);
    Pump();
    EXPECT_EQ(GetFocus(), e);
    EXPECT_EQ(CountCode(100, 0x700), 1);
}

}  // namespace
}  // namespace win::testing
