// Zoom and scrolling of schematic panes: the scale limits, scroll ranges and steps, centring a
// point, and the zoom that keeps what each pane shows centred.
#include "schematic_test_support.h"

#include "platform/control_scrollbar.h"
#include "platform/message.h"
#include "schematic/circuit_window.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "schematic/zoom.h"

namespace kq5::testing {
namespace {

class PaneZoom : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        record_->document->pages[0].extent = {0, 0, 100 * 8, 50 * 8};
        UpdatePaneScrollBars(record_);
    }
    const PageRecord& Page() const { return record_->document->pages[0]; }
    win::HWND Bar(bool horizontal) const
    {
        return win::GetDlgItem(record_->window, (horizontal ? kPaneHScrollId : kPaneVScrollId) + 3);
    }
};

TEST_F(PaneZoom, ScaleStopsAtTheLimits)
{
    CircuitDocument& document = *record_->document;
    for (int i = 0; i < 3; ++i) ZoomWindow(record_, kCommandZoomOut);
    EXPECT_EQ(document.zoomFactor, 8.0);
    ZoomWindow(record_, kCommandZoomOut);
    EXPECT_EQ(document.zoomFactor, 8.0);
    for (int i = 0; i < 5; ++i) ZoomWindow(record_, kCommandZoomIn);
    EXPECT_EQ(document.zoomFactor, 0.25);
    // At the limit nothing is repainted.
    win::UpdateWindow(record_->window);
    ZoomWindow(record_, kCommandZoomIn);
    win::RECT update{};
    EXPECT_FALSE(win::GetUpdateRect(record_->window, &update, 0));
}

TEST_F(PaneZoom, ScrollRangeReachesPastTheExtent)
{
    int low = -1, high = -1;
    win::GetScrollRange(Bar(true), win::SB_CTL, &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, (100 + 200) * 8);
    win::GetScrollRange(Bar(false), win::SB_CTL, &low, &high);
    EXPECT_EQ(high, (50 + 200) * 8);
    int dx = 0, dy = 0;
    EXPECT_EQ(ScrollPaneView(record_, -50, -50, 3, dx, dy), 0);  // already at 0, 0
    EXPECT_EQ(ScrollPaneView(record_, 99999, 99999, 3, dx, dy), 1);
    EXPECT_EQ(Page().originX[3], 300 * 8);
    EXPECT_EQ(Page().originY[3], 250 * 8);
    EXPECT_EQ(dx, -300 * 8);  // the picture moved left by as many pixels at scale 1
    EXPECT_EQ(win::GetScrollPos(Bar(true), win::SB_CTL), 300 * 8);
}

TEST_F(PaneZoom, LineAndPageSteps)
{
    win::SendMessage(record_->window, win::WM_VSCROLL, win::SB_LINEDOWN, reinterpret_cast<win::LPARAM>(Bar(false)));
    EXPECT_EQ(Page().originY[3], 48);  // 6 grid units, 48 pixels at scale 1
    win::SendMessage(record_->window, win::WM_VSCROLL, win::SB_LINEUP, reinterpret_cast<win::LPARAM>(Bar(false)));
    win::SendMessage(record_->window, win::WM_VSCROLL, win::SB_LINEUP, reinterpret_cast<win::LPARAM>(Bar(false)));
    EXPECT_EQ(Page().originY[3], 0);
    // A page step is the window's client width, not the pane's.
    win::SendMessage(record_->window, win::WM_HSCROLL, win::SB_PAGEDOWN, reinterpret_cast<win::LPARAM>(Bar(true)));
    EXPECT_EQ(Page().originX[3], 600);
    win::SendMessage(record_->window, win::WM_HSCROLL, win::SB_TOP, reinterpret_cast<win::LPARAM>(Bar(true)));
    EXPECT_EQ(Page().originX[3], 600);
}

TEST_F(PaneZoom, CentringAPointNeverGoesNegative)
{
    const win::POINT origin = CenteredPaneOrigin(record_, 5, 5, 3);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    win::RECT pane{};
    GetPaneRect(record_, 3, pane);
    ScrollPaneTo(record_, 3, 80, 40, false);
    EXPECT_EQ(Page().originX[3], 8 * 80 - (pane.right - pane.left) / 2);
    EXPECT_EQ(Page().originY[3], 8 * 40 - (pane.bottom - pane.top) / 2);
    win::POINT grid{};
    ScreenToWorld(record_, grid, (pane.right - pane.left) / 2, (pane.bottom - pane.top) / 2, 3);
    EXPECT_EQ(grid.x, 80);
    EXPECT_EQ(grid.y, 40);
}

TEST_F(PaneZoom, ZoomKeepsTheCentreOfWhatThePaneShows)
{
    record_->document->pages[0].extent = {0, 0, 400 * 8, 300 * 8};
    UpdatePaneScrollBars(record_);
    ScrollPaneTo(record_, 3, 200, 150, false);
    win::RECT pane{};
    GetPaneRect(record_, 3, pane);
    const int cx = (pane.right - pane.left) / 2;
    const int cy = (pane.bottom - pane.top) / 2;
    for (int command : {kCommandZoomIn, kCommandZoomIn, kCommandZoomOut, kCommandZoomOut, kCommandZoomOut}) {
        ZoomWindow(record_, command);
        win::POINT grid{};
        ScreenToWorld(record_, grid, cx, cy, 3);
        EXPECT_NEAR(grid.x, 200, 1) << record_->document->zoomFactor;
        EXPECT_NEAR(grid.y, 150, 1) << record_->document->zoomFactor;
    }
}

TEST_F(PaneZoom, ASmallPageKeepsItsOwnCentre)
{
    record_->document->pages[0].extent = {0, 0, 20 * 8, 10 * 8};
    UpdatePaneScrollBars(record_);
    ZoomWindow(record_, kCommandZoomIn);
    ZoomWindow(record_, kCommandZoomIn);
    EXPECT_EQ(record_->document->zoomFactor, 0.25);
    // The page's centre (10, 5) is kept: across, a quarter of the pane's 585 pixels less than
    // 80 units; down it would need a negative origin, which stops at 0.
    EXPECT_EQ(Page().originX[3], 80 - 292 / 4);
    EXPECT_EQ(Page().originY[3], 0);
}

TEST_F(PaneZoom, QuickZoomTogglesBetweenOneAndFour)
{
    QuickZoom(record_, 3, 50, 25);
    EXPECT_EQ(record_->document->zoomFactor, 4.0);
    QuickZoom(record_, 3, 50, 25);
    EXPECT_EQ(record_->document->zoomFactor, 1.0);
    record_->document->zoomFactor = 0.5;
    QuickZoom(record_, 3, 50, 25);
    EXPECT_EQ(record_->document->zoomFactor, 1.0);
}

TEST_F(PaneZoom, TheWheelScrollsAndCtrlWheelZooms)
{
    win::POINT inside{100, 100};
    win::ClientToScreen(record_->window, &inside);
    const win::LPARAM at = win::MAKELPARAM(inside.x, inside.y);
    win::SendMessage(record_->window, win::WM_MOUSEWHEEL, win::MAKEWPARAM(0, static_cast<win::WORD>(-120)), at);
    EXPECT_EQ(Page().originY[3], kWheelLines * kScrollLineStep);
    win::SendMessage(record_->window, win::WM_MOUSEWHEEL, win::MAKEWPARAM(win::MK_CONTROL, 120), at);
    EXPECT_EQ(record_->document->zoomFactor, 0.5);
}

TEST_F(PaneZoom, TextEditorZoomChangesItsFont)
{
    WindowRecord* text = NewDocumentWindow(kWindowTextCircuit);
    ASSERT_NE(text, nullptr);
    text->font.height = -72;
    ZoomWindow(text, kCommandZoomIn);
    EXPECT_EQ(text->font.height, -72);
    ZoomWindow(text, kCommandZoomOut);
    EXPECT_EQ(text->font.height, -71);
    text->font.height = 2;
    ZoomWindow(text, kCommandZoomOut);
    EXPECT_EQ(text->font.height, 2);
}

}  // namespace
}  // namespace kq5::testing
