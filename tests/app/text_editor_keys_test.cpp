// The editor window: keys, typing, the private commands, the clipboard, mouse selection,
// scrolling and the rows as they are painted.
#include "text_editor_test_support.h"
#include "document/component_types.h"
#include "platform/controls.h"
#include "platform/winhelp.h"

namespace kq5::testing {
namespace {

using EditorKeys = EditorTest;

TEST_F(EditorKeys, CommentsAndTabsAsTheRowsShowThem)
{
    SetText("R1 1 0 1k ; load\r\n  * title\r\n\tX");
    bool comment = true;
    const std::string first = EditorRowText(Editor(), 0, &comment);
    EXPECT_FALSE(comment);
    EXPECT_EQ(first.substr(0, 16), "R1 1 0 1k ; load");
    EditorRowText(Editor(), 1, &comment);
    EXPECT_TRUE(comment);  // first non-blank is '*'
    // A tab at column 0 fills columns 0 to 2; the next character is at column 3.
    EXPECT_EQ(EditorRowText(Editor(), 2).substr(0, 4), "   X");
    SetText("a\tb");
    EXPECT_EQ(EditorRowText(Editor(), 0).substr(0, 4), "a  b");
    // A ';' scrolled off to the left makes the whole row a comment.
    SetText("R1 1 0 ; a long remark");
    Editor().horizontalScroll = 8;
    EditorRowText(Editor(), 0, &comment);
    EXPECT_TRUE(comment);
}

TEST_F(EditorKeys, BackspaceAndDeleteJoinLines)
{
    SetText("ab\r\ncd");
    SetEditorSelection(editor_, 4, 4);  // start of the second line
    Key(win::VK_BACK);
    EXPECT_EQ(Text(), "abcd");
    EXPECT_EQ(Caret(), 2);
    SetText("ab\r\ncd");
    SetEditorSelection(editor_, 2, 2);  // end of the first line
    Key(win::VK_DELETE);
    EXPECT_EQ(Text(), "abcd");
    // At offset 0 Backspace does nothing.
    SetEditorSelection(editor_, 0, 0);
    Key(win::VK_BACK);
    EXPECT_EQ(Text(), "abcd");
}

TEST_F(EditorKeys, EnterSplitsTheLineAndTabIsTyped)
{
    Type("R1 1 0\n\t1k");
    EXPECT_EQ(Text(), "R1 1 0\r\n\t1k");
    EXPECT_EQ(GetEditorLineCount(editor_), 2);
}

TEST_F(EditorKeys, DeleteLineWithoutASelectionTakesTheLineToTheClipboard)
{
    SetText("R1 1 0 1k");
    Command(kTxtEditDeleteLine);
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(ClipboardText(), "R1 1 0 1k");
    SetText("first\r\nsecond\r\nthird");
    SetEditorSelection(editor_, 9, 9);
    Command(kTxtEditDeleteLine);
    EXPECT_EQ(Text(), "first\r\nthird");
    EXPECT_EQ(ClipboardText(), "second\r\n");
    // Ctrl+D: the rest of the line goes, its line break stays.
    SetEditorSelection(editor_, 2, 2);
    Command(kTxtEditDeleteToEnd);
    EXPECT_EQ(Text(), "fi\r\nthird");
}

TEST_F(EditorKeys, UpperCaseOfASelectionIsOneUndoableRun)
{
    SetText("r1 1 0 1k ab");
    SetEditorSelection(editor_, 0, 12);
    Command(kTxtEditUpperCase);
    EXPECT_EQ(Text(), "R1 1 0 1K AB");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "r1 1 0 1k ab");
    SetEditorSelection(editor_, 0, 12);
    Command(kTxtEditUpperCase);
    Command(kTxtEditLowerCase);
    EXPECT_EQ(Text(), "r1 1 0 1k ab");
}

TEST_F(EditorKeys, ReadOnlyIgnoresTypingSilentlyAndControlCharactersBeep)
{
    SetText("abc");
    SetEditorReadOnly(editor_, true);
    const std::size_t beeps = Beeps();
    Type("xyz");
    win::SendMessage(editor_, win::WM_CHAR, 2, 0);  // Ctrl+B
    Command(kTxtEditDeleteLine);
    win::SendMessage(editor_, win::WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), "abc");
    EXPECT_EQ(Beeps(), beeps);
    SetEditorReadOnly(editor_, false);
    win::SendMessage(editor_, win::WM_CHAR, 2, 0);
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_EQ(Text(), "abc");
}

TEST_F(EditorKeys, ShiftArrowsSelectAndAPlainArrowDropsTheSelection)
{
    SetText("abcd\r\nefgh");
    SetEditorSelection(editor_, 0, 0);
    for (int i = 0; i < 3; ++i) Key(win::VK_RIGHT, false, true);
    EXPECT_EQ(Selection(), std::make_pair(0, 3));
    EXPECT_EQ(CopyEditorSelectionText(record_), "abc");
    Key(win::VK_RIGHT);
    EXPECT_EQ(Selection(), std::make_pair(4, 4));
    // Right at a line end goes to the next line; Left at a line start comes back.
    Key(win::VK_RIGHT);
    EXPECT_EQ(Caret(), 6);
    Key(win::VK_LEFT);
    EXPECT_EQ(Caret(), 4);
    Key(win::VK_END, true);
    EXPECT_EQ(Caret(), 10);
    Key(win::VK_HOME);
    EXPECT_EQ(Caret(), 6);
    Key(win::VK_UP);
    EXPECT_EQ(Caret(), 0);
}

TEST_F(EditorKeys, WordMovesWithControl)
{
    SetText("R1 IN  OUT 1k");
    SetEditorSelection(editor_, 0, 0);
    Key(win::VK_RIGHT, true);
    EXPECT_EQ(Caret(), 3);
    Key(win::VK_RIGHT, true);
    EXPECT_EQ(Caret(), 7);
    Key(win::VK_LEFT, true);
    EXPECT_EQ(Caret(), 3);
    Key(win::VK_LEFT, true);
    EXPECT_EQ(Caret(), 0);
}

TEST_F(EditorKeys, CutCopyPasteAndClear)
{
    SetText("R1 1 0 1k");
    SetEditorSelection(editor_, 7, 9);
    win::SendMessage(editor_, win::WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), "1k");
    win::SendMessage(editor_, win::WM_CUT, 0, 0);
    EXPECT_EQ(Text(), "R1 1 0 ");
    SetEditorSelection(editor_, 7, 7);
    win::SendMessage(editor_, win::WM_PASTE, 0, 0);
    win::SendMessage(editor_, win::WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), "R1 1 0 1k1k");
    // The cut and the pastes at its place are one run: Undo takes all of them back.
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "R1 1 0 1k");
    SetEditorSelection(editor_, 0, 3);
    win::SendMessage(editor_, win::WM_CLEAR, 0, 0);
    EXPECT_EQ(Text(), "1 0 1k");
}

TEST_F(EditorKeys, EditControlSelectionMessages)
{
    SetText("R1 1 0 1k");
    win::SendMessage(editor_, win::EM_SETSEL, 0, -1);
    EXPECT_EQ(Selection(), std::make_pair(0, 9));
    win::SendMessage(editor_, win::EM_SETSEL, 7, 3);
    EXPECT_EQ(Selection(), std::make_pair(3, 7));
    EXPECT_EQ(Caret(), 3);
    win::DWORD start = 0;
    win::DWORD end = 0;
    win::SendMessage(editor_, win::EM_GETSEL, reinterpret_cast<win::WPARAM>(&start), reinterpret_cast<win::LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 7u);
    win::SendMessage(editor_, win::EM_SETSEL, static_cast<win::WPARAM>(-1), 0);
    EXPECT_EQ(Selection(), std::make_pair(3, 3));
    win::SendMessage(editor_, win::EM_SETSEL, 100, 200);  // clamped to the text
    EXPECT_EQ(Selection(), std::make_pair(9, 9));
}

TEST_F(EditorKeys, MouseClickPlacesTheCaretAndDragSelects)
{
    SetText("R1 1 0 1k\r\nC1 1 0 1u");
    ClickCell(3, 1);
    EXPECT_EQ(Caret(), 14);
    EXPECT_EQ(win::GetFocus(), editor_);
    // A click past the end of a line puts the caret at its end.
    ClickCell(40, 0);
    EXPECT_EQ(Caret(), 9);
    // A drag from (0,0) to (2,1) selects across the line break.
    win::POINT from = CellPoint(0, 0);
    win::POINT to = CellPoint(2, 1);
    win::ClientToScreen(editor_, &from);
    win::ClientToScreen(editor_, &to);
    win::headless::MoveMouse(from.x, from.y);
    win::headless::MouseDown();
    Pump();
    win::headless::MoveMouse(to.x, to.y);
    Pump();
    win::headless::MouseUp();
    Pump();
    EXPECT_EQ(Selection(), std::make_pair(0, 13));
    EXPECT_EQ(win::GetCapture(), nullptr);
    // A double click selects the word under the pointer.
    win::headless::AdvanceClock(1000);
    Key(win::VK_RIGHT);
    win::POINT word = CellPoint(7, 1);
    win::ClientToScreen(editor_, &word);
    win::headless::DoubleClick(word.x, word.y);
    Pump();
    EXPECT_EQ(CopyEditorSelectionText(record_), "1u");
}

TEST_F(EditorKeys, DraggingBelowTheWindowScrollsALinePerMove)
{
    std::string text;
    for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
    SetText(text);
    ClickCell(0, 0);
    win::RECT client{};
    win::GetClientRect(editor_, &client);
    win::POINT below{10, client.bottom + 20};
    win::ClientToScreen(editor_, &below);
    win::headless::MoveMouse(CellPoint(0, 0).x, CellPoint(0, 0).y);
    win::POINT start = CellPoint(0, 0);
    win::ClientToScreen(editor_, &start);
    win::headless::MoveMouse(start.x, start.y);
    win::headless::MouseDown();
    Pump();
    for (int i = 0; i < 3; ++i) {
        win::headless::MoveMouse(below.x, below.y + i);
        Pump();
    }
    win::headless::MouseUp();
    Pump();
    EXPECT_EQ(Editor().topLine, 3);
}

TEST_F(EditorKeys, LongLinesScrollSidewaysToKeepTheCaretInView)
{
    const std::string line(300, 'x');
    SetText(line);
    SetEditorSelection(editor_, 300, 300);
    EXPECT_GT(Editor().horizontalScroll, 0);
    const win::POINT cell = EditorCaretCell(Editor());
    EXPECT_GE(cell.x, 0);
    EXPECT_LT(cell.x, Editor().columns);
    Key(win::VK_HOME);
    EXPECT_EQ(Editor().horizontalScroll, 0);
    EXPECT_EQ(Editor().widestLine, 300);
}

TEST_F(EditorKeys, PageKeysAndTheWheelScrollTheView)
{
    std::string text;
    for (int i = 0; i < 200; ++i) text += "R" + std::to_string(i) + " 1 0 1\r\n";
    SetText(text);
    const std::int32_t rows = Editor().rows;
    Key(win::VK_NEXT);
    EXPECT_EQ(Editor().topLine, rows);
    win::SendMessage(editor_, win::WM_MOUSEWHEEL, static_cast<win::WPARAM>(static_cast<std::uint16_t>(-120)) << 16, 0);
    EXPECT_EQ(Editor().topLine, rows + 3);
    win::SendMessage(editor_, win::WM_MOUSEWHEEL, static_cast<win::WPARAM>(120) << 16, 0);
    EXPECT_EQ(Editor().topLine, rows);
    ScrollEditorToLine(editor_, 150);
    EXPECT_EQ(Editor().topLine, 150);
    ScrollEditorToLine(editor_, -4);
    EXPECT_EQ(Editor().topLine, 0);
    Key(win::VK_END, true);
    EXPECT_EQ(Caret(), static_cast<std::int32_t>(text.size()));
    EXPECT_GE(EditorLineIndex(Editor(), Caret()) - Editor().topLine, 0);
    EXPECT_LT(EditorLineIndex(Editor(), Caret()) - Editor().topLine, rows);
}

TEST_F(EditorKeys, HelpModeDoubleClickLooksUpTheWordThenTheLine)
{
    win::ResetHelpStateForTests();
    SetText("V1 1 0 PULSE(0 1)\r\n.TRAN 1N 1U");
    record_->mode = 17565;  // Help
    win::POINT word = CellPoint(8, 0);
    win::ClientToScreen(editor_, &word);
    win::headless::DoubleClick(word.x, word.y);
    Pump();
    // The word is asked of the keyword index, and the help shown is that of its line's element.
    const auto& requests = win::Help().requests;
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2].command, win::HELP_KEY);
    EXPECT_EQ(requests[requests.size() - 2].keyword, "PULSE");
    EXPECT_EQ(requests.back().command, win::HELP_CONTEXT);
    EXPECT_EQ(requests.back().data, 6000u + static_cast<unsigned>(kComponentBattery));
    // A selection that is no name leaves the line's own help: here its dot command.
    win::headless::AdvanceClock(1000);
    SetEditorSelection(editor_, TxtEditLineOffset(editor_, 1) + 6, TxtEditLineOffset(editor_, 1) + 8);
    ShowEditorContextHelp(record_);
    EXPECT_EQ(win::Help().requests.back().command, win::HELP_CONTEXT);
}

}  // namespace
}  // namespace kq5::testing
