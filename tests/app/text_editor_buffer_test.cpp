// The editor's buffer: lines, growth, normalised line breaks, selection offsets, the run history
// of Undo, and loads that cannot get the room they need.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "text_editor_test_support.h"
#include "document/circuit_file.h"
#include "document/file_names.h"

namespace kq5::testing {
namespace {

using EditorBuffer = EditorTest;

TEST_F(EditorBuffer, LinesOfAnEmptyAndAFilledText)
{
    EXPECT_EQ(GetEditorLineCount(editor_), 1);
    EXPECT_EQ(TxtEditLineOffset(editor_, 0), 0);
    EXPECT_EQ(TxtEditLineOffset(editor_, 1), -1);
    std::string line;
    EXPECT_EQ(GetEditorLineText(editor_, 0, line, 80), 0);

    SetText("R1 1 0 1k\r\nC1 1 0 1u\r\n.END");
    EXPECT_EQ(GetEditorLineCount(editor_), 3);
    EXPECT_EQ(TxtEditLineOffset(editor_, 2), 22);
    EXPECT_EQ(EditorLineOfPos(editor_, 21), 1);
    EXPECT_EQ(EditorLineOfPos(editor_, 22), 2);
    EXPECT_EQ(GetEditorLineLength(editor_, 11), 9);
    EXPECT_EQ(GetEditorLineLength(editor_, 26), 0);  // past the end
    EXPECT_EQ(GetEditorLineText(editor_, 1, line, 80), 9);
    EXPECT_EQ(line, "C1 1 0 1u");
    EXPECT_EQ(GetEditorLineText(editor_, 1, line, 4), 4);  // cut at the maximum
    EXPECT_EQ(line, "C1 1");
    EXPECT_EQ(GetEditorLineText(editor_, 3, line, 80), 0);  // after the last line
    EXPECT_EQ(line, "");
    EXPECT_EQ(GetEditorLineText(editor_, 0, line, 0), 0);
    EXPECT_EQ(win::SendMessage(editor_, kTxtEditGetLength, 0, 0), 26);
}

TEST_F(EditorBuffer, LoneLineBreakBytesOfASetTextBecomeBlanks)
{
    SetText("a\nb\rc\r\nd");
    EXPECT_EQ(Text(), "a b c\r\nd");
    EXPECT_EQ(GetEditorLineCount(editor_), 2);
    // A text read from a file keeps its lines, whichever line end the file used.
    ASSERT_EQ(SetTextAreaText(record_, "R1 1 0 1\nR2 1 0 2\n"), 0);
    EXPECT_EQ(Text(), "R1 1 0 1\r\nR2 1 0 2\r\n");
}

TEST_F(EditorBuffer, TypingFiveThousandCharactersGrowsTheBufferOnce)
{
    EXPECT_EQ(Editor().capacity, 4096);
    const std::string text(5000, 'x');
    for (char c : text) win::SendMessage(editor_, win::WM_CHAR, static_cast<win::WPARAM>(c), 0);
    EXPECT_EQ(Text(), text);
    EXPECT_EQ(Editor().capacity, 8192);
    EXPECT_EQ(Caret(), 5000);
    EXPECT_EQ(record_->modified, 1);
    EXPECT_EQ(record_->undoKind, kUndoKindTextEdit);
}

TEST_F(EditorBuffer, SelectionCountsForwardFromItsStart)
{
    SetText("0123456789abcdefghij");
    SetEditorSelection(editor_, 10, 4);  // six characters from offset 10
    EXPECT_EQ(Selection(), std::make_pair(10, 16));
    EXPECT_EQ(Caret(), 16);
    EXPECT_EQ(CopyEditorSelectionText(record_), "abcdef");
    SetEditorSelection(editor_, 18, 40);  // stops at the end of the text
    EXPECT_EQ(Selection(), std::make_pair(18, 20));
    SetEditorSelection(editor_, 5, -1);  // the whole text
    EXPECT_EQ(Selection(), std::make_pair(0, 20));
    ReplaceEditorSelection(editor_, "xy");
    EXPECT_EQ(Text(), "xy");
    EXPECT_EQ(Caret(), 0);  // at the start of what was inserted
    EXPECT_EQ(Selection(), std::make_pair(0, 0));
}

TEST_F(EditorBuffer, UndoTogglesTheLastRunOfTyping)
{
    SetText("R1 1 0 1k");
    SetEditorSelection(editor_, 9, 9);
    Type("abc");
    EXPECT_EQ(Text(), "R1 1 0 1kabc");
    EXPECT_TRUE(EditorCanUndo(editor_));
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "R1 1 0 1k");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "R1 1 0 1kabc");

    // Typing elsewhere starts a new run; only that one comes back.
    SetEditorSelection(editor_, 0, 0);
    Type("X");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "R1 1 0 1kabc");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "XR1 1 0 1kabc");

    // A new text leaves nothing to undo, and Undo then beeps.
    SetText("new");
    EXPECT_FALSE(EditorCanUndo(editor_));
    const std::size_t beeps = Beeps();
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_EQ(Text(), "new");
}

TEST_F(EditorBuffer, UndoAndRedoOfLineBreaksTypedAndJoined)
{
    SetText("ab\r\ncd");
    SetEditorSelection(editor_, 2, 2);
    Type("\n");
    EXPECT_EQ(Text(), "ab\r\n\r\ncd");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "ab\r\ncd");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "ab\r\n\r\ncd");

    // Backspace at a line start joins the lines; its CR and LF come back and go again as a
    // pair, and the redo takes nothing more than them.
    SetText("ab\r\ncd");
    SetEditorSelection(editor_, 4, 4);
    Key(win::VK_BACK);
    EXPECT_EQ(Text(), "abcd");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "ab\r\ncd");
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    EXPECT_EQ(Text(), "abcd");
}

TEST_F(EditorBuffer, AFullHistoryDropsItsOldestQuarter)
{
    for (int i = 0; i < 4096; ++i) win::SendMessage(editor_, win::WM_CHAR, 'a' + i % 26, 0);
    EXPECT_EQ(Editor().undoPosition, 4096 - 1024);
    win::SendMessage(editor_, win::WM_UNDO, 0, 0);
    // The text as it was after the first 1024 characters.
    std::string expected;
    for (int i = 0; i < 1024; ++i) expected += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Text(), expected);
}

TEST_F(EditorBuffer, GetTextCopiesWhatFitsAndNothingIntoNoRoom)
{
    SetText("abcdef");
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(win::SendMessage(editor_, win::WM_GETTEXT, 4, reinterpret_cast<win::LPARAM>(buffer)), 3);
    EXPECT_STREQ(buffer, "abc");
    char guard[4] = "zzz";
    // A buffer of no size is left untouched (not even a terminator is written).
    EXPECT_EQ(win::SendMessage(editor_, win::WM_GETTEXT, 0, reinterpret_cast<win::LPARAM>(guard)), 0);
    EXPECT_STREQ(guard, "zzz");
}

TEST_F(EditorBuffer, ATextReplacedBehindTheEditorIsTakenAsItStands)
{
    SetText("abc");
    SetEditorSelection(editor_, 3, 3);
    Type("d");
    record_->textArea = "R1";  // a writer of the program that does not go through the editor
    record_->textAreaCaret = 40;
    EXPECT_FALSE(EditorCanUndo(editor_));
    EXPECT_EQ(Caret(), 2);
    Type("0");
    EXPECT_EQ(Text(), "R10");
}

TEST_F(EditorBuffer, ALoadThatCannotGetRoomFailsAndKeepsTheText)
{
    SetText("old text");
    TextEditors().capacityLimit = 8192;
    const std::string big(10000, 'R');
    EXPECT_EQ(SetTextAreaText(record_, big), kMsgAlreadyReported);
    EXPECT_EQ(Text(), "old text");
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("Insufficient memory."), std::string::npos);

    // From a stream.
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "kq5-editor-load.cir";
    std::ofstream(file, std::ios::binary) << big;
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_NE(LoadEditorFromStream(record_, stream, static_cast<long>(big.size())), 0);
    std::fclose(stream);
    EXPECT_EQ(Text(), "old text");

    // A text circuit file that does not fit is not opened, so it cannot be saved back cut.
    record_->title = file.string();
    EXPECT_NE(ReloadTextWindowFromFile(record_), 0);
    EXPECT_EQ(Text(), "old text");
    TextEditors().capacityLimit = 0;
    EXPECT_EQ(ReloadTextWindowFromFile(record_), 0);
    EXPECT_EQ(Text(), big);
    std::filesystem::remove(file);
}

TEST_F(EditorBuffer, AnOpenedTextCircuitHasItsLinesAndTheFocus)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "kq5-editor-open.cir";
    std::ofstream(file, std::ios::binary) << "title\nR1 1 0 1k\n.END\n";
    win::SetFocus(nullptr);
    WindowRecord* opened = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, file.string(), kFileKindTextCircuit, kLoadDefaults, opened), 0);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->textArea, "title\r\nR1 1 0 1k\r\n.END\r\n");
    EXPECT_EQ(opened->modified, 0);
    EXPECT_EQ(win::GetFocus(), opened->document->textAreaWindow);
    EXPECT_EQ(GetEditorLineCount(opened->document->textAreaWindow), 4);
    win::DestroyWindow(opened->window);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace kq5::testing
