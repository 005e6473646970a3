// Pages of a schematic and the page tab bars: adding, deleting and renaming pages, what items do
// when pages move, the tab geometry with its overlaps, and clicks on the tab bar.
#include "schematic_test_support.h"

#include "ui/dialog_services.h"
#include "platform/controls.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/message.h"
#include "document/page_array.h"
#include "document/page_tabs.h"
#include "document/pane_seams.h"
#include "schematic/edit_commands.h"

namespace kq5::testing {
namespace {

class Pages : public SchematicWindowTest {
protected:
    std::string Name(int page) const { return record_->document->pages[static_cast<std::size_t>(page)].name; }
};

TEST_F(Pages, NewPagesAreNamedByTheirCount)
{
    EXPECT_EQ(PageCount(record_), 1);
    EXPECT_EQ(Name(0), "Page 1");
    EXPECT_EQ(AddPage(record_, 1), 0);
    EXPECT_EQ(Name(1), "Page 2");
    // A name already taken moves on to the next number.
    record_->document->pages[1].name = "Page 3";
    EXPECT_EQ(AddPage(record_, 2), 0);
    EXPECT_EQ(Name(2), "Page 4");
    EXPECT_EQ(record_->modified, 1);
    // The pane shows the new page.
    EXPECT_EQ(record_->document->panePage[static_cast<std::size_t>(FindVisiblePane(record_))], 2);
}

TEST_F(Pages, InsertingBeforeAPageMovesItsItems)
{
    AddPage(record_, 1);
    SchematicItem* first = AddItem(record_, kItemWire, 0, 0, 10, 0, 0, 0);
    SchematicItem* second = AddItem(record_, kItemWire, 0, 0, 10, 0, 0, 1);
    GridText* text = AddText(record_, "on two", 3, 3, 1);
    AddPage(record_, 1);
    EXPECT_EQ(first->page, 0);
    EXPECT_EQ(second->page, 2);
    EXPECT_EQ(text->page, 2);
    EXPECT_EQ(Name(2), "Page 2");
}

TEST_F(Pages, DeletingAnEmptyPageAsksNothing)
{
    AddPage(record_, 1);
    AddPage(record_, 2);
    SchematicItem* later = AddItem(record_, kItemWire, 0, 0, 10, 0, 0, 2);
    EXPECT_EQ(DeletePage(record_, 1), 1);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_EQ(PageCount(record_), 2);
    EXPECT_EQ(later->page, 1);
    EXPECT_EQ(Name(1), "Page 3");
}

TEST_F(Pages, DeletingAPageWithItemsAsksFirst)
{
    AddPage(record_, 1);
    AddItem(record_, kItemWire, 0, 0, 10, 0, 0, 1);
    AddText(record_, "kept", 1, 1, 0);
    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_EQ(DeletePage(record_, 1), 0);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("Page 'Page 2' is not empty."), std::string::npos);
    EXPECT_EQ(PageCount(record_), 2);
    EXPECT_EQ(record_->document->itemList.count, 1);
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(DeletePage(record_, 1), 1);
    AfterPageDelete(record_);
    EXPECT_EQ(PageCount(record_), 1);
    EXPECT_EQ(record_->document->itemList.count, 0);
    EXPECT_EQ(record_->document->gridTextList.count, 1);
}

TEST_F(Pages, TheLastPageIsNeverDeleted)
{
    AddItem(record_, kItemWire, 0, 0, 10, 0, 0, 0);
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(DeletePage(record_, 0), 0);
    EXPECT_EQ(PageCount(record_), 1);
    EXPECT_EQ(record_->document->itemList.count, 1);
    // The Delete Page list with every page chosen keeps one.
    AddPage(record_, 1);
    AddPage(record_, 2);
    win::PushMessageBoxAnswer(win::IDYES);
    for (int page = 2; page >= 0; --page) DeletePage(record_, page);
    AfterPageDelete(record_);
    EXPECT_EQ(PageCount(record_), 1);
    for (std::int32_t shown : record_->document->panePage) EXPECT_EQ(shown, 0);
}

TEST_F(Pages, RenameRules)
{
    AddPage(record_, 1);
    EXPECT_EQ(RenamePageTo(record_, 1, "tEXt"), kMsgDuplicatePageName);
    EXPECT_EQ(Name(1), "Page 2");
    EXPECT_EQ(RenamePageTo(record_, 1, "page 1"), kMsgDuplicatePageName);
    EXPECT_EQ(RenamePageTo(record_, 1, "PAGE 2"), 0);  // its own name in other case
    EXPECT_EQ(Name(1), "PAGE 2");
    EXPECT_EQ(RenamePageTo(record_, 1, std::string(60, 'x')), 0);
    EXPECT_EQ(Name(1), std::string(40, 'x'));
    // A long name is refused when what is kept of it names another page.
    AddPage(record_, 2);
    EXPECT_EQ(RenamePageTo(record_, 2, std::string(40, 'x') + "yz"), kMsgDuplicatePageName);
    EXPECT_EQ(Name(2), "Page 3");
    EXPECT_EQ(RenamePageTo(record_, 1, ""), 0);
    EXPECT_EQ(Name(1), std::string(40, 'x'));
    EXPECT_EQ(FindPageByName(record_, "TEXT"), 1);
    EXPECT_EQ(GetTabLabel(record_, 0), "Text");
    EXPECT_EQ(GetTabLabel(record_, 1), "Page 1");
}

TEST_F(Pages, RenameThroughThePrompt)
{
    PromptAnswer answer;
    answer.text = "Power";
    PushPromptAnswer(answer);
    RenamePage(record_, 1);
    EXPECT_EQ(Name(0), "Power");
    PromptAnswer cancel;
    cancel.button = 2;
    cancel.text = "Other";
    PushPromptAnswer(cancel);
    RenamePage(record_, 1);
    EXPECT_EQ(Name(0), "Power");
}

TEST_F(Pages, ShowingPagesAndTheTextArea)
{
    AddPage(record_, 1);
    const int pane = FindVisiblePane(record_);
    ShowPageInPane(record_, pane, -1);
    EXPECT_EQ(TextPaneOf(record_), pane);
    EXPECT_EQ(SelectedTabOfPane(record_, pane), 0);
    ShowPageInPane(record_, pane, 0);
    EXPECT_EQ(TextPaneOf(record_), -1);
    EXPECT_EQ(SelectedTabOfPane(record_, pane), 1);
    ShowPageInPane(record_, pane, 7);  // no such page: the pane keeps its page
    EXPECT_EQ(SelectedTabOfPane(record_, pane), 1);
    // A point on another page brings that page into the pane, centred.
    record_->document->pages[1].extent = {0, 0, 8000, 8000};
    ShowPageAtPoint(record_, 1, 300, 200);
    EXPECT_EQ(record_->document->panePage[static_cast<std::size_t>(pane)], 1);
    win::POINT shown{};
    WorldToScreen(record_, shown, 300, 200, pane);
    win::RECT r{};
    GetPaneRect(record_, pane, r);
    EXPECT_NEAR(shown.x, (r.right - r.left) / 2, 1);
}

TEST(TabGeometry, OverlapsGoToTheSelectedOrTheRightTab)
{
    // Bar 400 x 18: tabs 16 high, the area from 68 to 395.
    const std::vector<int> widths = {30, 40, 40, 40};
    const TabGeometry g = LayoutTabs(400, 18, widths, 0);
    ASSERT_EQ(g.tabs.size(), 4u);
    EXPECT_EQ(g.areaLeft, 68);
    EXPECT_EQ(g.tabs[1].x, 68 + 8 + 30);
    // The overlap of tabs 1 and 2 near the top: x between tab 2's start and tab 1's top right.
    const int overlapX = g.tabs[2].x + 2;
    EXPECT_EQ(TabAtPoint(g, 0, overlapX, 1, nullptr), 2);
    EXPECT_EQ(TabAtPoint(g, 1, overlapX, 1, nullptr), 1);
    EXPECT_EQ(TabAtPoint(g, 2, overlapX, 1, nullptr), 2);
    EXPECT_EQ(TabAtPoint(g, 0, 10, 5, nullptr), -1);  // the arrow buttons
    // A tab reaching past the area is cut.
    const TabGeometry narrow = LayoutTabs(200, 18, widths, 0);
    bool cut = false;
    EXPECT_EQ(TabAtPoint(narrow, 0, narrow.tabs[2].x + 20, 8, &cut), 2);
    EXPECT_TRUE(cut);
    // The scroll limit brings the last tab fully into view and no further.
    const int limit = TabScrollLimit(200, 18, widths, 3);
    const TabGeometry scrolled = LayoutTabs(200, 18, widths, limit);
    EXPECT_FALSE(scrolled.tabs.back().cut);
    EXPECT_TRUE(LayoutTabs(200, 18, widths, limit - 1).tabs.back().cut);
    // Scrolled: the tab before the first shows its right slope only.
    EXPECT_EQ(scrolled.tabs.front().index, limit - 1);
    EXPECT_LT(scrolled.tabs.front().x, scrolled.areaLeft);
}

TEST_F(Pages, ClickOnATabShowsItsPage)
{
    AddPage(record_, 1);
    const int pane = 3;
    record_->document->panePage[pane] = 0;
    win::HWND bar = win::GetDlgItem(record_->window, kPaneTabBarId + pane);
    ASSERT_NE(bar, nullptr);
    win::RECT client{};
    win::GetClientRect(bar, &client);
    ASSERT_GT(client.right, 100);
    const std::vector<int> widths = {32, 48, 48};
    const TabGeometry g = LayoutTabs(client.right, client.bottom, widths, 0);
    // Click well inside the "Page 2" tab's lower middle, where only it lies.
    win::HDC dc = win::GetDC(bar);
    win::ReleaseDC(bar, dc);
    int x = -1;
    for (int px = g.areaLeft; px < g.areaRight && x < 0; ++px) {
        win::SendMessage(bar, win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(px, client.bottom - 4));
        win::SendMessage(bar, win::WM_LBUTTONUP, 0, win::MAKELPARAM(px, client.bottom - 4));
        if (record_->document->panePage[pane] == 1) x = px;
    }
    EXPECT_GE(x, 0);
    EXPECT_EQ(record_->document->currentPane, pane);
}

TEST_F(Pages, GripDragKeepsTheBarAtLeastFourPixels)
{
    const int pane = 3;
    win::HWND bar = win::GetDlgItem(record_->window, kPaneTabBarId + pane);
    ASSERT_NE(bar, nullptr);
    win::RECT client{};
    win::GetClientRect(bar, &client);
    const int grip = client.right - 2;
    const int before = record_->document->paneTabWidth[pane];
    win::SendMessage(bar, win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(grip, 5));
    win::SendMessage(bar, win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(grip - 30, 5));
    EXPECT_EQ(record_->document->paneTabWidth[pane], before - 30);
    win::SendMessage(bar, win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(grip - 5000, 5));
    EXPECT_EQ(record_->document->paneTabWidth[pane], kMinTabBarWidth);
    // The pointer was taken along to where the bar stopped: moving right widens it at once.
    const int stop = grip - 30 - (before - 30 - kMinTabBarWidth);
    win::SendMessage(bar, win::WM_MOUSEMOVE, win::MK_LBUTTON, win::MAKELPARAM(stop + 100, 5));
    EXPECT_EQ(record_->document->paneTabWidth[pane], kMinTabBarWidth + 100);
    win::SendMessage(bar, win::WM_LBUTTONUP, 0, win::MAKELPARAM(0, 5));
}

TEST_F(Pages, ArrowButtonsScrollTheTabsWithinTheLimit)
{
    for (int i = 0; i < 12; ++i) AddPage(record_, PageCount(record_));
    const int pane = 3;
    record_->document->currentPane = pane;
    win::HWND bar = win::GetDlgItem(record_->window, kPaneTabBarId + pane);
    win::RECT client{};
    win::GetClientRect(bar, &client);
    const int t = client.bottom - 2;
    auto press = [&](int button) {
        const int x = -1 + (button - 1) * (t + 1) + t / 2;
        win::SendMessage(bar, win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(x, t / 2));
        win::SendMessage(bar, win::WM_LBUTTONUP, 0, win::MAKELPARAM(x, t / 2));
    };
    auto& first = record_->document->paneFirstTab[pane];
    press(1);
    EXPECT_EQ(first, 0);
    press(2);
    EXPECT_EQ(first, 0);
    press(3);
    EXPECT_EQ(first, 1);
    press(4);
    const int last = first;
    EXPECT_GT(last, 1);
    press(3);
    EXPECT_EQ(first, last);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(Pages, DeletePageWithEveryPageChosenKeepsOne)
{
    AddPage(record_, 1);
    AddPage(record_, 2);
    AddItem(record_, kItemWire, 0, 0, 5, 0, 0, 2);
    int step = 0;
    win::headless::SetIdleHandler([&] {
        win::HWND dialog = CurrentDialog();
        if (dialog == nullptr || step > 0) return false;
        ++step;
        win::HWND list = win::GetDlgItem(dialog, kListSelectList);
        for (int item = 0; item < 3; ++item) win::SendMessage(list, win::LB_SETSEL, 1, item);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
        return true;
    });
    win::PushMessageBoxAnswer(win::IDYES);  // page 3 is not empty
    DeletePageCommand(record_);
    win::headless::SetIdleHandler(nullptr);
    ASSERT_EQ(PageCount(record_), 1);
    EXPECT_EQ(Name(0), "Page 1");
    EXPECT_EQ(record_->document->itemList.count, 0);
    EXPECT_EQ(record_->modified, 1);
}

TEST_F(Pages, NoPageCommandsWhileAnAnalysisIsOpen)
{
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(AddPage(record_, 1), 0);
    EXPECT_EQ(PageCount(record_), 1);
    PromptAnswer answer;
    answer.text = "Renamed";
    PushPromptAnswer(answer);
    RenamePage(record_, 1);
    EXPECT_EQ(Name(0), "Page 1");
    Analysis().analysisKind = kAnalysisNone;
    ClearPromptDialogs();
}

TEST_F(Pages, SplitCommandsPlaceTheTextArea)
{
    SplitVertical(record_, 0.5);
    EXPECT_EQ(record_->document->splitterX, 300);
    EXPECT_EQ(TextPaneOf(record_), 0);
    EXPECT_TRUE(IsPaneVisible(record_, 1));
    EXPECT_FALSE(IsPaneVisible(record_, 2));
    ShowFullWindow(record_);
    EXPECT_EQ(TextPaneOf(record_), -1);
    for (int pane : {0, 2, 3}) EXPECT_FALSE(IsPaneVisible(record_, pane)) << pane;
    EXPECT_TRUE(IsPaneVisible(record_, 1));
    EXPECT_EQ(FindVisiblePane(record_), 1);
}

}  // namespace
}  // namespace kq5::testing


namespace kq5::testing {
namespace {

// Chooses the listed pages in the Delete Page list and presses OK.
void ChoosePagesToDelete(std::vector<int> pages)
{
    win::headless::SetIdleHandler([pages, done = false]() mutable {
        win::HWND dialog = CurrentDialog();
        if (dialog == nullptr || done) return false;
        done = true;
        win::HWND list = win::GetDlgItem(dialog, kListSelectList);
        win::SendMessage(list, win::LB_SETSEL, 0, -1);
        for (int page : pages) win::SendMessage(list, win::LB_SETSEL, 1, page);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
        return true;
    });
}

// Undo after deleting a page brings the page back with what was on it, and every item back on
// its own page; a second Undo deletes it again.
TEST_F(Pages, UndoOfADeletedPageBringsItBackWithItsItems)
{
    AddPage(record_, 1);
    AddPage(record_, 2);
    record_->document->pages[1].name = "Amp";
    SchematicItem* first = AddItem(record_, kItemWire, 0, 0, 10, 0, 0, 0);
    AddItem(record_, kItemWire, 0, 0, 20, 0, 0, 1);
    AddText(record_, "on amp", 3, 3, 1);
    SchematicItem* last = AddItem(record_, kItemWire, 0, 0, 30, 0, 0, 2);
    ChoosePagesToDelete({1});
    win::PushMessageBoxAnswer(win::IDYES);  // the page is not empty
    DeletePageCommand(record_);
    win::headless::SetIdleHandler(nullptr);
    ASSERT_EQ(PageCount(record_), 2);
    ASSERT_EQ(record_->document->itemList.count, 2);
    EXPECT_EQ(last->page, 1);

    EditUndo(record_);
    ASSERT_EQ(PageCount(record_), 3);
    EXPECT_EQ(Name(1), "Amp");
    std::vector<std::pair<int, int>> pages;  // (wire end, page)
    for (const SchematicItem& item : ListRecords<SchematicItem>(record_->document->itemList))
        pages.emplace_back(item.x2, item.page);
    EXPECT_EQ(pages, (std::vector<std::pair<int, int>>{{10, 0}, {20, 1}, {30, 2}}));
    ASSERT_EQ(record_->document->gridTextList.count, 1);
    EXPECT_EQ(ListHead<GridText>(record_->document->gridTextList)->page, 1);

    EditUndo(record_);
    ASSERT_EQ(PageCount(record_), 2);
    EXPECT_EQ(Name(1), "Page 3");
    EXPECT_EQ(record_->document->itemList.count, 2);
    EXPECT_EQ(record_->document->gridTextList.count, 0);
    EXPECT_EQ(first->page, 0);
}

// An edit made before a page was added or deleted is no longer undone onto pages that have
// moved: a cut on the last page, then a page deleted before it, then Undo.
TEST_F(Pages, UndoOfACutDoesNotLandOnAPageThatMoved)
{
    AddPage(record_, 1);
    AddPage(record_, 2);
    SchematicItem* cut = AddItem(record_, kItemWire, 0, 0, 30, 0, 0, 2);
    ShowPageInPane(record_, FindVisiblePane(record_), 2);
    cut->selection = kSelected;
    EditCut(record_);
    ASSERT_EQ(record_->document->itemList.count, 0);
    ChoosePagesToDelete({1});
    DeletePageCommand(record_);
    win::headless::SetIdleHandler(nullptr);
    ASSERT_EQ(PageCount(record_), 2);
    EditUndo(record_);
    for (const SchematicItem& item : ListRecords<SchematicItem>(record_->document->itemList))
        EXPECT_LT(item.page, PageCount(record_));

    // A page inserted before the page of a cut item.
    cut = AddItem(record_, kItemWire, 0, 0, 40, 0, 0, 1);
    ShowPageInPane(record_, FindVisiblePane(record_), 1);
    cut->selection = kSelected;
    EditCut(record_);
    AddPage(record_, 0);
    EditUndo(record_);
    for (const SchematicItem& item : ListRecords<SchematicItem>(record_->document->itemList)) {
        if (item.x2 == 40) {
            EXPECT_EQ(item.page, 2);
        }
    }
}

}  // namespace
}  // namespace kq5::testing
