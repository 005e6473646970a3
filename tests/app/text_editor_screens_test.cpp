// Screens of the text editor with text, comments and a selection, and of the Find and Replace
// dialogs, written into build/screens/.
#include "screen_test_support.h"
#include "ui/app_state.h"
#include "ui/dialog_services.h"
#include "schematic/find_replace.h"
#include "document/text_editor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "platform/dialog.h"
#include "platform/font.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace kq5::testing {
namespace {

class EditorScreens : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        InitCharClasses();
        ResetAppStateForTests();
        ResetDocumentStateForTests();
        ResetTextEditorsForTests();
        ResetFindReplaceForTests();
        record_ = NewDocumentWindow(kWindowTextCircuit, "/tmp/rc_filter.cir");
        ASSERT_NE(record_, nullptr);
        ASSERT_NE(record_->window, nullptr);
        editor_ = record_->document->textAreaWindow;
        record_->document->textBackgroundColor = 15;
        record_->document->textCommentColor = 2;
        record_->font.color = 0;
        font_ = win::CreateFont(-14, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Courier New");
        win::SendMessage(editor_, win::WM_SETFONT, reinterpret_cast<win::WPARAM>(font_), 1);
        win::MoveWindow(record_->window, 20, 20, 560, 360, 1);
        win::ShowWindow(record_->window, win::SW_SHOW);
        win::RECT client{};
        win::GetClientRect(record_->window, &client);
        win::MoveWindow(editor_, 0, 0, client.right, client.bottom, 1);
        win::SetFocus(editor_);
        win::headless::TypeText("RC low pass filter\n"
                                "* the source\n"
                                "V1 1 0 PULSE(0 1 0 1N 1N 5U 10U)\n"
                                "R1 1 2 1K ; series resistor\n"
                                "C1 2 0 1N\n"
                                "\t.TRAN 100N 20U\n"
                                ".PRINT TRAN V(2)\n"
                                ".END\n");
        Pump();
    }
    void TearDown() override
    {
        if (record_ && record_->window && win::IsWindow(record_->window)) win::DestroyWindow(record_->window);
        if (font_) win::DeleteObject(font_);
        ResetFindReplaceForTests();
        ResetTextEditorsForTests();
        ResetDocumentStateForTests();
        ResetAppStateForTests();
        ScreenTest::TearDown();
    }

    WindowRecord* record_ = nullptr;
    win::HWND editor_ = nullptr;
    win::HFONT font_ = nullptr;
};

TEST_F(EditorScreens, TextWithCommentsAndASelection)
{
    const std::int32_t start = TxtEditLineOffset(editor_, 3);
    SetEditorSelection(editor_, start + 3, start + 14);
    EXPECT_TRUE(std::filesystem::exists(Shoot("text_editor")));
    EXPECT_EQ(CopyEditorSelectionText(record_), "1 2 1K ; se");
    // Across lines, with a tab in the last one.
    SetEditorSelection(editor_, TxtEditLineOffset(editor_, 2) + 8, TxtEditLineOffset(editor_, 5) + 3);
    EXPECT_TRUE(std::filesystem::exists(Shoot("text_editor_lines")));
}

TEST_F(EditorScreens, FindDialog)
{
    SetEditorSelection(editor_, TxtEditLineOffset(editor_, 4), TxtEditLineOffset(editor_, 4) + 2);
    std::string shot;
    Script([&] { shot = Shoot("find_text_dialog"); });
    Script([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, win::IDOK, 0); });
    FindTextInWindow(record_, true);
    EXPECT_TRUE(std::filesystem::exists(shot));
    EXPECT_EQ(FindReplace().findWhat, "C1");
}

TEST_F(EditorScreens, ReplaceDialog)
{
    FindReplace().findWhat = "1N";
    FindReplace().replaceWith = "2.2N";
    std::string shot;
    Script([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, kFindNextButton, 0); });
    Script([&] { shot = Shoot("replace_dialog"); });
    Script([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, kReplaceCloseButton, 0); });
    ReplaceInTextWindow(record_);
    EXPECT_TRUE(std::filesystem::exists(shot));
}

TEST_F(EditorScreens, SchematicSearchDialog)
{
    WindowRecord* schematic = NewDocumentWindow(kWindowSchematic, "/tmp/drawn.cir");
    ASSERT_NE(schematic, nullptr);
    FindReplace().schematicKind = kSearchAttributeText;
    FindReplace().schematicText = "1k";
    std::string shot;
    Script([&] { shot = Shoot("find_schematic_dialog"); });
    Script([] { win::SendMessage(CurrentDialog(), win::WM_COMMAND, win::IDCANCEL, 0); });
    EXPECT_EQ(FindInSchematic(schematic, false), 2);
    EXPECT_TRUE(std::filesystem::exists(shot));
    win::DestroyWindow(schematic->window);
}

}  // namespace
}  // namespace kq5::testing
