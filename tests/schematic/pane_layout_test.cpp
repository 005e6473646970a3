// Panes of a schematic window: rectangles from the splitters, parking, the splitter hit test and
// grips, the controls of each pane and the text-area pane.
#include "schematic_test_support.h"

#include "platform/control_scrollbar.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

constexpr int S = 16;  // scroll-bar width of the headless platform

bool Empty(const win::RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

TEST(PaneRects, FourPanesAroundBothSplitters)
{
    const win::RECT client{0, 0, 600, 400};
    const win::RECT p0 = ComputePaneRect(client, 200, 100, S, false, 0);
    const win::RECT p1 = ComputePaneRect(client, 200, 100, S, false, 1);
    const win::RECT p2 = ComputePaneRect(client, 200, 100, S, false, 2);
    const win::RECT p3 = ComputePaneRect(client, 200, 100, S, false, 3);
    EXPECT_EQ(p1.left, 0);
    EXPECT_EQ(p1.top, 0);
    EXPECT_EQ(p1.right, 200 - 1 - (S - 1));
    EXPECT_EQ(p1.bottom, 100 - 1 - (S - 1));
    EXPECT_EQ(p0.left, 205);
    EXPECT_EQ(p0.right, 600 - (S - 1));
    EXPECT_EQ(p2.top, 105);
    EXPECT_EQ(p2.bottom, 400 - (S - 1));
    EXPECT_EQ(p3.left, 205);
    EXPECT_EQ(p3.top, 105);
    EXPECT_TRUE(Empty(ComputePaneRect(client, 200, 100, S, true, 3)));  // minimised
    EXPECT_TRUE(Empty(ComputePaneRect(client, 200, 100, S, false, 4)));
}

TEST(PaneRects, ParkedSplittersHidePanes)
{
    const win::RECT client{0, 0, 600, 400};
    // Both parked off the far edges: no split at all, only the top-left pane.
    for (int pane : {0, 2, 3}) EXPECT_TRUE(Empty(ComputePaneRect(client, 1200, 800, S, false, pane))) << pane;
    EXPECT_FALSE(Empty(ComputePaneRect(client, 1200, 800, S, false, 1)));
    // Parked at the left and top edges: only the bottom-right pane.
    for (int pane : {0, 1, 2}) EXPECT_TRUE(Empty(ComputePaneRect(client, 0, 0, S, false, pane))) << pane;
    const win::RECT whole = ComputePaneRect(client, 0, 0, S, false, 3);
    EXPECT_EQ(whole.left, 0);
    EXPECT_EQ(whole.right, 600 - (S - 1));
    // A splitter within a pane button and a bar of the right edge is parked off it.
    EXPECT_TRUE(Empty(ComputePaneRect(client, 600 - S - 4, 800, S, false, 0)));
    EXPECT_FALSE(Empty(ComputePaneRect(client, 600 - S - 5, 800, S, false, 0)));
}

TEST(PaneControlWidths, ScrollBarTakesWhatTheTabsLeave)
{
    PaneRowWidths w = PaneControlWidths(500, 320, 500, S);
    EXPECT_EQ(w.scrollBar, 180);
    EXPECT_EQ(w.tabBar, 320);
    w = PaneControlWidths(300, 320, 300, S);  // the scroll bar keeps two widths
    EXPECT_EQ(w.scrollBar, 2 * S);
    EXPECT_EQ(w.tabBar, 300 - 2 * S);
    w = PaneControlWidths(30, 320, 20, S);  // a pane narrower than two widths halves the row
    EXPECT_EQ(w.scrollBar, 15);
    EXPECT_EQ(w.tabBar, 15);
}

class PaneWindow : public SchematicTest {};

TEST_F(PaneWindow, SettersParkNearTheEdges)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    SetVerticalSplitter(record, 2 * S - 1);
    EXPECT_EQ(record->document->splitterX, 0);
    EXPECT_FALSE(IsPaneVisible(record, 1));
    EXPECT_FALSE(IsPaneVisible(record, 2));
    SetVerticalSplitter(record, 600 - 2 * S + 1);
    EXPECT_EQ(record->document->splitterX, 1200);
    EXPECT_EQ(GetSplitterX(record), 601);
    EXPECT_FALSE(IsPaneVisible(record, 0));
    EXPECT_FALSE(IsPaneVisible(record, 3));
    SetVerticalSplitter(record, 300);
    SetHorizontalSplitter(record, 200);
    EXPECT_EQ(GetSplitterX(record), 300);
    for (int pane = 0; pane < 4; ++pane) EXPECT_TRUE(IsPaneVisible(record, pane)) << pane;
    EXPECT_EQ(PaneAtPoint(record, 100, 100), 1);
    EXPECT_EQ(PaneAtPoint(record, 400, 100), 0);
    EXPECT_EQ(PaneAtPoint(record, 100, 300), 2);
    EXPECT_EQ(PaneAtPoint(record, 400, 300), 3);
    EXPECT_EQ(PaneAtPoint(record, 302, 100), -1);  // on the bar
    EXPECT_EQ(LastVisiblePane(record), 3);
}

TEST_F(PaneWindow, ResizingParksAStoredSplitterWithoutChangingIt)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    SetVerticalSplitter(record, 500);
    record->document->splitterY = 2000;
    EXPECT_TRUE(IsPaneVisible(record, 0));
    win::RECT outer{};
    win::GetWindowRect(record->window, &outer);
    win::MoveWindow(record->window, outer.left, outer.top, (outer.right - outer.left) - 200, outer.bottom - outer.top, 1);
    EXPECT_EQ(record->document->splitterX, 500);
    EXPECT_EQ(GetSplitterX(record), 401);
    EXPECT_FALSE(IsPaneVisible(record, 0));
}

TEST_F(PaneWindow, SplitterHitTestAndGrips)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    record->document->splitterX = 300;
    record->document->splitterY = 200;
    EXPECT_EQ(SplitterCursorAtPoint(record, 301, 201), kSplitterCrossing);
    EXPECT_EQ(SplitterCursorAtPoint(record, 100, 201), kSplitterHorizontalBar);
    EXPECT_EQ(SplitterCursorAtPoint(record, 301, 50), kSplitterVerticalBar);
    EXPECT_EQ(SplitterCursorAtPoint(record, 100, 50), 0);
    // Parked at the left: the vertical grip lies at the left end of the bottom row.
    record->document->splitterX = 0;
    win::RECT grip{};
    SplitterGripRect(record, 'V', grip);
    EXPECT_EQ(grip.left, 0);
    EXPECT_EQ(grip.top, 400 - S + 1);
    EXPECT_EQ(SplitterCursorAtPoint(record, 1, 395), kSplitterVerticalBar);
    // Parked off the bottom: the horizontal grip just above the corner square.
    record->document->splitterY = 800;
    SplitterGripRect(record, 'H', grip);
    EXPECT_EQ(grip.left, 600 - S + 1);
    EXPECT_EQ(grip.bottom, 400 - S + 1);
    EXPECT_EQ(SplitterCursorAtPoint(record, 600 - 2, 400 - S - 1), kSplitterHorizontalBar);
    // Dropping the vertical grip splits the window there.
    DropSplitter(record, kSplitterVerticalBar, 250, 0);
    EXPECT_EQ(record->document->splitterX, 250);
    EXPECT_TRUE(IsPaneVisible(record, 1));
}

TEST_F(PaneWindow, ControlsFollowThePanes)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    record->document->splitterX = 300;
    record->document->splitterY = 1000;
    LayoutPaneControls(record, false);
    win::RECT pane1{};
    GetPaneRect(record, 1, pane1);
    win::HWND vbar = win::GetDlgItem(record->window, kPaneVScrollId + 1);
    win::HWND hbar = win::GetDlgItem(record->window, kPaneHScrollId + 1);
    win::HWND tabs = win::GetDlgItem(record->window, kPaneTabBarId + 1);
    ASSERT_TRUE(vbar && hbar && tabs);
    EXPECT_TRUE(win::IsWindowVisible(vbar));
    EXPECT_TRUE(win::IsWindowVisible(tabs));
    EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(record->window, kPaneTabBarId + 2)));
    win::RECT r{};
    win::GetWindowRect(vbar, &r);
    win::POINT at{r.left, r.top};
    win::ScreenToClient(record->window, &at);
    EXPECT_EQ(at.x, pane1.right);
    EXPECT_EQ(at.y, pane1.top - 1);
    win::GetWindowRect(tabs, &r);
    at = {r.left, r.top};
    win::ScreenToClient(record->window, &at);
    EXPECT_EQ(at.y, pane1.bottom);
    EXPECT_EQ(at.x, 0);
    // The tab bar and the scroll bar share the row below the pane.
    win::RECT hr{};
    win::GetWindowRect(hbar, &hr);
    EXPECT_EQ(hr.left, r.right);
}

TEST_F(PaneWindow, TextAreaPaneTogglesAndSplitHorizontal)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    CircuitDocument& document = *record->document;
    record->document->splitterX = 300;
    record->document->splitterY = 200;
    SetTextAreaPane(record, 2, true);
    EXPECT_EQ(document.textAreaPane, 2);
    EXPECT_TRUE(win::IsWindowVisible(document.textAreaWindow));
    // The same pane again hides the text area; the pane shows schematic again.
    SetTextAreaPane(record, 2, true);
    EXPECT_EQ(document.textAreaPane, 2 | kTextAreaHidden);
    EXPECT_EQ(TextPaneOf(record), -1);
    EXPECT_FALSE(win::IsWindowVisible(document.textAreaWindow));
    // A hidden pane is replaced by a visible one.
    record->document->splitterY = 1000;
    document.currentPane = 1;
    SetTextAreaPane(record, 3, false);
    EXPECT_EQ(TextPaneOf(record), 1);

    SplitHorizontal(record, 0.5);
    EXPECT_EQ(GetSplitterX(record), 601);
    EXPECT_EQ(document.splitterY, 200);
    EXPECT_EQ(TextPaneOf(record), 2);
    EXPECT_TRUE(IsPaneVisible(record, 1));
    EXPECT_TRUE(IsPaneVisible(record, 2));
    win::RECT textRect{};
    GetPaneRect(record, 2, textRect);
    win::RECT area{};
    win::GetWindowRect(document.textAreaWindow, &area);
    EXPECT_EQ(area.bottom - area.top, textRect.bottom - textRect.top);
}

TEST_F(PaneWindow, PaneButtonsSitInTheCorners)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    win::RECT pane{};
    GetPaneRect(record, 3, pane);
    EXPECT_EQ(PaneButtonAtPoint(record, pane.right + 2, pane.bottom + 2, 0, true), 3);
    EXPECT_EQ(PaneButtonAtPoint(record, pane.right - 2, pane.bottom - 2, 0, true), -1);
    // With no flags the popup has nothing to show and no command is taken.
    ShowFlagsPopupMenu(record, 3, {100, 100});
    GoToFlag(record, kFirstFlagCommand);
}

TEST_F(PaneWindow, GoToFlagCentresTheFlagInThePane)
{
    WindowRecord* record = NewSchematic(600, 400);
    ASSERT_NE(record, nullptr);
    record->document->pages[0].extent = {0, 0, 8000, 8000};
    UpdatePaneScrollBars(record);
    GridText* flag = AddText(record, "CLK", 500, 400);
    flag->flags = kGridTextIsFlag;
    // The popup lists the flag (tracked headless: the menu closes with nothing chosen).
    ShowFlagsPopupMenu(record, 3, {100, 100});
    GoToFlag(record, kFirstFlagCommand);
    win::RECT pane{};
    GetPaneRect(record, 3, pane);
    win::POINT shown{};
    WorldToScreen(record, shown, 500, 400, 3);
    EXPECT_NEAR(shown.x, (pane.right - pane.left) / 2, 1);
    EXPECT_NEAR(shown.y, (pane.bottom - pane.top) / 2, 1);
}

}  // namespace
}  // namespace kq5::testing
