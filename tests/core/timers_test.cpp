#include "core/timers.h"
#include "document/hover_timer.h"
#include "ui/program_settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/app_state.h"
#include "document/circuit_document.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/window.h"
#include "document/pane_seams.h"

namespace kq5 {
namespace {

using win::RECT;

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(PaneGeometry, SplittersDivideTheClientIntoQuadrants)
{
    const RECT client{0, 0, 400, 300};
    const int s = 16;
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 200, 100, s, false, 1), RECT{0, 0, 184, 84}));
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 200, 100, s, false, 0), RECT{205, 0, 385, 84}));
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 200, 100, s, false, 2), RECT{0, 105, 184, 285}));
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 200, 100, s, false, 3), RECT{205, 105, 385, 285}));
}

TEST(PaneGeometry, ParkedSplittersHidePanes)
{
    const RECT client{0, 0, 400, 300};
    const RECT empty{};
    // Both parked at the left and top: the whole window is pane 3.
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 0, 0, 16, false, 3), RECT{0, 0, 385, 285}));
    for (int pane : {0, 1, 2}) EXPECT_TRUE(SameRect(ComputePaneRect(client, 0, 0, 16, false, pane), empty));
    // Near the far edges a splitter counts as parked beyond them: the whole window is pane 1.
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 390, 290, 16, false, 1), RECT{0, 0, 385, 285}));
    for (int pane : {0, 2, 3}) EXPECT_TRUE(SameRect(ComputePaneRect(client, 390, 290, 16, false, pane), empty));
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 200, 100, 16, true, 1), empty));
    EXPECT_TRUE(SameRect(ComputePaneRect(client, 200, 100, 16, false, -1), empty));
}

TEST(SecondsClock, IsMonotonicAndInSeconds)
{
    double a = GetTimeSeconds();
    double b = GetTimeSeconds();
    EXPECT_GE(b, a);
    EXPECT_LT(b - a, 1.0);
    // Far beyond the 49.7 days of a 32-bit millisecond tick on a machine that has been up long.
    EXPECT_GT(a, 0.0);
}

class TimersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetAppStateForTests();
    }
};

TEST_F(TimersTest, StampJoinsDateAndTimeAsAsked)
{
    const std::uint32_t both = kOptionDateStamp | kOptionTimeStamp;
    // The locale texts are read twice; retry in the rare case a second passes in between.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string date = FormatLocaleDate();
        std::string time = FormatLocaleTime();
        std::string labelled = FormatDateTimeStamp(true, both);
        std::string timeOnly = FormatDateTimeStamp(false, kOptionTimeStamp);
        std::string dateOnly = FormatDateTimeStamp(true, kOptionDateStamp);
        if (FormatLocaleTime() != time) continue;
        EXPECT_FALSE(date.empty());
        EXPECT_FALSE(time.empty());
        EXPECT_EQ(labelled, "Date " + date + " Time " + time);
        EXPECT_EQ(timeOnly, time);
        EXPECT_EQ(dateOnly, "Date " + date);
        EXPECT_EQ(FormatDateTimeStamp(false, both), date + " " + time);
        break;
    }
    EXPECT_EQ(FormatDateTimeStamp(true, 0), "");
}

TEST_F(TimersTest, StampFollowsTheProgramOptions)
{
    Settings().operationalOptions = kOptionDateStamp;
    std::string stamp = FormatDateTimeStamp(true);
    EXPECT_TRUE(stamp.starts_with("Date ") && stamp.size() > 5) << stamp;
    EXPECT_EQ(stamp.find("Time "), std::string::npos);
    Settings().operationalOptions = 0;
    EXPECT_EQ(FormatDateTimeStamp(true), "");
}

struct MoveLog {
    std::vector<win::LPARAM> leftButtonMoves;
};
MoveLog gMoves;

win::LRESULT HoverTestProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_MOUSEMOVE && (wParam & win::MK_LBUTTON) != 0) gMoves.leftButtonMoves.push_back(lParam);
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

// The class is registered again for each test, since resetting the platform forgets it.
win::HWND MakeTestWindow()
{
    win::WNDCLASS wc;
    wc.lpfnWndProc = HoverTestProc;
    wc.lpszClassName = "HoverTest";
    win::RegisterClass(&wc);
    return win::CreateWindowEx(0, "HoverTest", "", win::WS_POPUP | win::WS_VISIBLE, 100, 50, 400, 300,
                               nullptr, nullptr, nullptr, nullptr);
}

void PutPointerAt(win::HWND window, int x, int y)
{
    win::POINT p{x, y};
    win::ClientToScreen(window, &p);
    win::headless::MoveMouse(p.x, p.y);
    win::headless::RunUntilIdle();
    gMoves.leftButtonMoves.clear();
}

TEST_F(TimersTest, HoverTimerKeepsADragGoingOutsideTheActivePane)
{
    win::HWND window = MakeTestWindow();
    ASSERT_NE(window, nullptr);
    WindowRecord* record = NewWindowRecord(window, kWindowSchematic, true);
    ASSERT_NE(record, nullptr);
    record->document->currentPane = 3;
    RECT pane{};
    GetPaneRect(record, 3, pane);
    ASSERT_LT(pane.left + 20, pane.right);

    StartHoverTimer(window);
    PutPointerAt(window, pane.left + 10, pane.top + 10);
    win::headless::AdvanceClock(1600);
    EXPECT_TRUE(gMoves.leftButtonMoves.empty());

    // On the pane's edge pixel the pointer counts as outside.
    PutPointerAt(window, pane.left, pane.top + 10);
    win::headless::AdvanceClock(600);
    ASSERT_FALSE(gMoves.leftButtonMoves.empty());
    EXPECT_EQ(gMoves.leftButtonMoves.back(), win::MAKELPARAM(static_cast<win::WORD>(pane.left),
                                                             static_cast<win::WORD>(pane.top + 10)));

    StopHoverTimer(window);
    gMoves.leftButtonMoves.clear();
    win::headless::AdvanceClock(1600);
    EXPECT_TRUE(gMoves.leftButtonMoves.empty());
}

TEST_F(TimersTest, HoverTimerAlwaysSendsForOtherWindows)
{
    win::HWND window = MakeTestWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(NewWindowRecord(window, kWindowTextCircuit, true), nullptr);
    StartHoverTimer(window);
    PutPointerAt(window, 50, 50);
    win::headless::AdvanceClock(1100);
    EXPECT_EQ(gMoves.leftButtonMoves.size(), 2u);
    StopHoverTimer(window);
}

}  // namespace
}  // namespace kq5
