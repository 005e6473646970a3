// Moving texts between the drawing and the text area of a circuit window (command 17670): the
// selected grid texts go to the end of the text, a selection of the text comes onto the drawing
// as grid texts at the current point, and Undo gives both places back.
#include "schematic_test_support.h"

#include "document/text_area.h"
#include "document/selection.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/global_memory.h"
#include "platform/message.h"
#include "platform/window.h"
#include "document/component_definition.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"

namespace kq5::testing {
namespace {

class TextTransfer : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        area_ = record_->document->textAreaWindow;
        ASSERT_NE(area_, nullptr);
    }
    std::string AreaText() const { return CopyTextAreaText(record_).value_or(""); }
    std::vector<std::string> GridTexts() const
    {
        std::vector<std::string> out;
        for (const GridText& text : ListRecords<GridText>(record_->document->gridTextList)) out.push_back(text.text);
        return out;
    }
    int Components() const
    {
        int n = 0;
        for (const SchematicItem& item : ListRecords<SchematicItem>(record_->document->itemList)) n += item.IsComponent();
        return n;
    }
    win::HWND area_ = nullptr;
};

TEST_F(TextTransfer, SelectedGridTextsMoveToTheEndOfTheText)
{
    ASSERT_EQ(SetTextAreaText(record_, "* RC\r\n"), 0);
    GridText* a = AddText(record_, "R1 1 2 1k", 4, 4);
    GridText* b = AddText(record_, ".tran 1n 1u", 4, 8);
    AddText(record_, "stays", 4, 12);
    a->selection = b->selection = kSelected;
    win::SetFocus(record_->window);

    ToggleTextTransfer(record_);
    EXPECT_EQ(GridTexts(), std::vector<std::string>{"stays"});
    EXPECT_EQ(AreaText(), "* RC\r\n\r\nR1 1 2 1k\r\n.tran 1n 1u");
    EXPECT_EQ(win::GetFocus(), area_);
    EXPECT_EQ(DocumentServices().clipboardGridTexts.count, 0);
    EXPECT_EQ(record_->undoKind, kUndoBoxEdit);

    // Undo puts the texts back on the drawing and the text back as it was.
    win::SetFocus(record_->window);
    EditUndo(record_);
    EXPECT_EQ(GridTexts().size(), 3u);
    EXPECT_EQ(AreaText(), "* RC\r\n");
}

TEST_F(TextTransfer, TextsThatCannotTravelStayOnTheDrawing)
{
    ASSERT_EQ(SetTextAreaText(record_, "* RC\r\n"), 0);
    AddText(record_, "R1 1 2 1k", 4, 4)->selection = kSelected;
    win::SetFocus(record_->window);
    // Another window holds the clipboard: the texts cannot go through it.
    win::HWND other = win::CreateWindowEx(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(win::OpenClipboard(other));
    ToggleTextTransfer(record_);
    win::CloseClipboard();
    win::DestroyWindow(other);
    EXPECT_EQ(GridTexts(), std::vector<std::string>{"R1 1 2 1k"});
    EXPECT_EQ(AreaText(), "* RC\r\n");
}

TEST_F(TextTransfer, SelectedTextComesOntoTheDrawingAsGridTextsAlone)
{
    // Something copied earlier waits on the internal clipboard: it must not come along.
    ComponentDefinition definition;
    SchematicItem* part = AddItem(record_, kItemComponent, 10, 10, 10, 10);
    part->definition = &definition;
    part->selection = kSelected;
    EditCopy(record_);
    ASSERT_GT(DocumentServices().clipboardItems.count, 0);
    part->selection = 0;

    ASSERT_EQ(SetTextAreaText(record_, "first\r\nVIN\r\nlast\r\n"), 0);
    win::SetFocus(area_);
    win::SendMessage(area_, win::EM_SETSEL, 7, 10);  // "VIN"
    // The last click on the page the pane shows (or on the window, for a document without pages).
    EditStateOf(record_).lastPoint = {20, 30};
    for (PageRecord& page : record_->document->pages) page.lastPoint = {20, 30};

    ToggleTextTransfer(record_);
    EXPECT_EQ(AreaText(), "first\r\n\r\nlast\r\n");
    ASSERT_EQ(GridTexts(), std::vector<std::string>{"VIN"});
    const GridText& placed = *ListHead<GridText>(record_->document->gridTextList);
    EXPECT_EQ(placed.x, 20);
    EXPECT_EQ(placed.y, 30);
    EXPECT_EQ(Components(), 1);
    EXPECT_NE(win::GetFocus(), area_);
    // What was copied before is still there to paste.
    EXPECT_GT(DocumentServices().clipboardItems.count, 0);

    // Nothing selected in the text: nothing happens.
    win::SetFocus(area_);
    win::SendMessage(area_, win::EM_SETSEL, 3, 3);
    ToggleTextTransfer(record_);
    EXPECT_EQ(AreaText(), "first\r\n\r\nlast\r\n");
    EXPECT_EQ(GridTexts().size(), 1u);
}

}  // namespace
}  // namespace kq5::testing
