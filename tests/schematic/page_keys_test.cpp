// Ctrl+PgUp and Ctrl+PgDn step through a pane's page tabs ("Text" first) from the drawing and
// from the text area; Ctrl+Home, Ctrl+End and the Ctrl+arrows scroll a drawing pane.
#include "../app/frame_test_support.h"
#include "schematic_test_support.h"

#include "platform/headless.h"
#include "schematic/circuit_window.h"
#include "document/page_array.h"
#include "schematic/page_keys.h"
#include "document/page_tabs.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

class PageKeys : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        ASSERT_EQ(AddPage(record_, 1), 0);
        ASSERT_EQ(AddPage(record_, 2), 0);
        ShowPageInPane(record_, Pane(), 0);
    }
    int Pane() const { return FindVisiblePane(record_); }
    int Tab() const { return SelectedTabOfPane(record_, Pane()); }
    win::POINT Origin() const
    {
        const auto pane = static_cast<std::size_t>(Pane());
        const PageRecord& page = record_->document->pages[static_cast<std::size_t>(record_->document->panePage[pane])];
        return {page.originX[pane], page.originY[pane]};
    }
};

TEST_F(PageKeys, CtrlPageKeysStepThroughTheTabsAndStopAtTheEnds)
{
    EXPECT_EQ(Tab(), 1);
    PageKeyCommand(record_, kCommandNextPageTab);
    EXPECT_EQ(Tab(), 2);
    PageKeyCommand(record_, kCommandNextPageTab);
    EXPECT_EQ(Tab(), 3);
    PageKeyCommand(record_, kCommandNextPageTab);  // the last page stays
    EXPECT_EQ(Tab(), 3);
    PageKeyCommand(record_, kCommandPreviousPageTab);
    PageKeyCommand(record_, kCommandPreviousPageTab);
    EXPECT_EQ(Tab(), 1);
    EXPECT_EQ(record_->document->panePage[static_cast<std::size_t>(Pane())], 0);
}

TEST_F(PageKeys, TheTextTabIsOneStepBeforeTheFirstPageAndBackAgain)
{
    const int pane = Pane();
    CircuitDocument& document = *record_->document;
    PageKeyCommand(record_, kCommandPreviousPageTab);
    EXPECT_EQ(TextPaneOf(record_), pane);
    EXPECT_EQ(Tab(), 0);
    EXPECT_EQ(win::GetFocus(), document.textAreaWindow);
    EXPECT_EQ(IsTextEditActive(record_), 1);
    // From the editor: the text area has no tab before it; the next one is the first page again.
    PageKeyCommand(record_, kCommandPreviousPageTab);
    EXPECT_EQ(Tab(), 0);
    PageKeyCommand(record_, kCommandNextPageTab);
    EXPECT_EQ(TextPaneOf(record_), -1);
    EXPECT_EQ(document.panePage[static_cast<std::size_t>(pane)], 0);
    EXPECT_EQ(win::GetFocus(), record_->window);
}

TEST_F(PageKeys, CtrlHomeEndAndArrowsScrollTheDrawing)
{
    AddItem(record_, kItemWire, 10, 10, 900, 700, 0, 0);
    CheckPageExtent(record_, 0);
    UpdatePaneScrollBars(record_);
    win::RECT rect{};
    GetPaneRect(record_, Pane(), rect);
    const win::RECT extent = record_->document->pages[0].extent;
    PageKeyCommand(record_, kCommandPageKeyEnd);
    EXPECT_EQ(Origin().x, extent.right - (rect.right - rect.left));
    EXPECT_EQ(Origin().y, extent.bottom - (rect.bottom - rect.top));
    PageKeyCommand(record_, kCommandPageKeyHome);
    EXPECT_EQ(Origin().x, 0);
    EXPECT_EQ(Origin().y, 0);
    PageKeyCommand(record_, kCommandPageKeyRight);
    EXPECT_GT(Origin().x, 0);
    EXPECT_EQ(Origin().y, 0);
    PageKeyCommand(record_, kCommandPageKeyDown);
    EXPECT_GT(Origin().y, 0);
    PageKeyCommand(record_, kCommandPageKeyLeft);
    PageKeyCommand(record_, kCommandPageKeyUp);
    EXPECT_EQ(Origin().x, 0);
    EXPECT_EQ(Origin().y, 0);
    // A small drawing: the end is the top-left corner too.
    PageKeyCommand(record_, kCommandNextPageTab);
    PageKeyCommand(record_, kCommandPageKeyEnd);
    EXPECT_EQ(Origin().x, 0);
    EXPECT_EQ(Origin().y, 0);
}

TEST_F(PageKeys, TheTextAreaKeepsItsOwnCtrlKeys)
{
    AddItem(record_, kItemWire, 10, 10, 900, 700, 0, 0);
    CheckPageExtent(record_, 0);
    UpdatePaneScrollBars(record_);
    const int pane = Pane();
    PageKeyCommand(record_, kCommandPreviousPageTab);
    ASSERT_EQ(TextPaneOf(record_), pane);
    PageKeyCommand(record_, kCommandPageKeyEnd);
    PageKeyCommand(record_, kCommandPageKeyRight);
    const PageRecord& page = record_->document->pages[0];
    EXPECT_EQ(page.originX[static_cast<std::size_t>(pane)], 0);
    EXPECT_EQ(page.originY[static_cast<std::size_t>(pane)], 0);
}

// The keys reach the schematic through the accelerator tables of the running program.
class PageKeysInTheFrame : public StartedFrame {};

TEST_F(PageKeysInTheFrame, CtrlPgDnAndCtrlPgUpFromTheDrawingAndTheTextArea)
{
    WindowRecord* schematic = StartWithSchematic();
    ASSERT_NE(schematic, nullptr);
    ASSERT_EQ(AddPage(schematic, 1), 0);
    const int pane = FindVisiblePane(schematic);
    ShowPageInPane(schematic, pane, 0);
    win::SetFocus(schematic->window);
    win::headless::PressKeyWithModifiers(win::VK_NEXT, true, false, false);
    PumpFrameMessages();
    EXPECT_EQ(SelectedTabOfPane(schematic, pane), 2);
    for (int i = 0; i < 2; ++i) {
        win::headless::PressKeyWithModifiers(win::VK_PRIOR, true, false, false);
        PumpFrameMessages();
    }
    EXPECT_EQ(SelectedTabOfPane(schematic, pane), 0);
    ASSERT_EQ(win::GetFocus(), schematic->document->textAreaWindow);
    const std::size_t boxes = win::MessageBoxLog().size();
    win::headless::PressKeyWithModifiers(win::VK_NEXT, true, false, false);
    PumpFrameMessages();
    EXPECT_EQ(SelectedTabOfPane(schematic, pane), 1);
    EXPECT_EQ(win::MessageBoxLog().size(), boxes);
}

}  // namespace
}  // namespace kq5::testing
