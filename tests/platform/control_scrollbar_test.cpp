// Scroll bars: range, page and position; window bars that come and go; arrows, track and thumb.
#include "control_test_support.h"
#include "platform/control_scrollbar.h"
#include "platform/system.h"

namespace win::testing {
namespace {

class ScrollBarTest : public ControlTest {
protected:
    // The scroll messages a window got: (code, position) of each.
    std::vector<std::pair<WORD, int>> Scrolls(HWND hwnd, UINT msg, LPARAM* lastLParam = nullptr) const {
        std::vector<std::pair<WORD, int>> out;
        for (const auto& l : MessageLog())
            if (l.hwnd == hwnd && l.msg == msg) {
                out.push_back({LOWORD(l.wParam), static_cast<SHORT>(HIWORD(l.wParam))});
                if (lastLParam) *lastLParam = l.lParam;
            }
        return out;
    }
    static void Drag(POINT from, POINT to) {
        headless::MoveMouse(from.x, from.y);
        headless::MouseDown();
        headless::MoveMouse((from.x + to.x) / 2, (from.y + to.y) / 2);
        headless::MoveMouse(to.x, to.y);
        headless::MouseUp();
        SkipTime(1000);
    }
};

TEST_F(ScrollBarTest, PositionsStayWithinTheRangeLessThePage) {
    HWND bar = Make(kScrollBarClass, "", SBS_HORZ, 10, 10, 200, 16, 50);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 500;
    EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &si, TRUE), 90);
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, -5, TRUE), 90);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 0);
    SetScrollRange(bar, SB_CTL, 10, 5, TRUE);  // an empty range holds one position
    int lo = 0, hi = 0;
    GetScrollRange(bar, SB_CTL, &lo, &hi);
    EXPECT_EQ(lo, 10);
    EXPECT_EQ(hi, 10);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 10);
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &si));
    EXPECT_EQ(si.nPage, 1u);
    EXPECT_EQ(si.nTrackPos, 10);
}

TEST_F(ScrollBarTest, WindowBarsComeAndGoWithTheNeedAndChangeTheClientArea) {
    HWND w = Child(main_, 60, 10, 10, 200, 150);
    RECT before, after;
    GetClientRect(w, &before);
    SetScrollRange(w, SB_VERT, 0, 50, TRUE);
    EXPECT_TRUE(GetWindowLong(w, GWL_STYLE) & WS_VSCROLL);
    GetClientRect(w, &after);
    EXPECT_EQ(after.right, before.right - GetSystemMetrics(SM_CXVSCROLL));
    SCROLLINFO si;
    si.fMask = SIF_PAGE;
    si.nPage = 60;  // the whole range in one page: not needed any more
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    EXPECT_FALSE(GetWindowLong(w, GWL_STYLE) & WS_VSCROLL);
    si.fMask = SIF_PAGE | SIF_DISABLENOSCROLL;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    EXPECT_TRUE(GetWindowLong(w, GWL_STYLE) & WS_VSCROLL);  // kept, greyed
    ShowScrollBar(w, SB_BOTH, FALSE);
    EXPECT_FALSE(GetWindowLong(w, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));
    EXPECT_TRUE(EnableScrollBar(w, SB_VERT, ESB_DISABLE_BOTH));
}

TEST_F(ScrollBarTest, ArrowsAndTrackSendTheirCodesToTheParentOfAControl) {
    HWND bar = Make(kScrollBarClass, "", SBS_VERT, 10, 10, 16, 200, 51);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 99;
    si.nPage = 20;
    si.nPos = 40;
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
    MessageLog().clear();
    ClickClient(bar, 8, 3);     // the up arrow
    ClickClient(bar, 8, 196);   // the down arrow
    ClickClient(bar, 8, 20);    // the track above the thumb
    ClickClient(bar, 8, 180);   // the track below it
    Pump();
    LPARAM from = 0;
    auto codes = Scrolls(main_, WM_VSCROLL, &from);
    std::vector<std::pair<WORD, int>> want = {{SB_LINEUP, 0}, {SB_ENDSCROLL, 0}, {SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0},
                                              {SB_PAGEUP, 0}, {SB_ENDSCROLL, 0}, {SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}};
    EXPECT_EQ(codes, want);
    EXPECT_EQ(reinterpret_cast<HWND>(from), bar);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 40);  // the program moves it, not the bar
}

TEST_F(ScrollBarTest, DraggingTheThumbTracksAndEndsWithItsPosition) {
    HWND bar = Make(kScrollBarClass, "", SBS_HORZ, 10, 10, 216, 16, 52);
    SetScrollRange(bar, SB_CTL, 0, 100, TRUE);
    MessageLog().clear();
    // With no page the thumb is a 16-pixel square at the start of the 184-pixel track, so it
    // has 168 pixels to travel for the 100 positions.
    Drag(ScreenPointOf(bar, 24, 8), ScreenPointOf(bar, 24 + 84, 8));
    Pump();
    auto codes = Scrolls(main_, WM_HSCROLL);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes.front().first, SB_THUMBTRACK);
    EXPECT_EQ(codes[codes.size() - 2], std::make_pair(SB_THUMBPOSITION, 50));
    EXPECT_EQ(codes.back().first, SB_ENDSCROLL);
    for (std::size_t i = 0; i + 2 < codes.size(); ++i) EXPECT_EQ(codes[i].first, SB_THUMBTRACK);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 0);
}

TEST_F(ScrollBarTest, AWindowBarClickScrollsTheWindowItself) {
    HWND w = Child(main_, 61, 10, 10, 200, 150);
    SetScrollRange(w, SB_VERT, 0, 10, TRUE);
    RECT wr;
    GetWindowRect(w, &wr);
    MessageLog().clear();
    ClickScreen(POINT{wr.right - 8, wr.bottom - 4});  // the down arrow
    Pump();
    LPARAM from = 1;
    auto codes = Scrolls(w, WM_VSCROLL, &from);
    EXPECT_EQ(codes, (std::vector<std::pair<WORD, int>>{{SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(from, 0);
    // Keys on a focused scroll-bar control.
    HWND bar = Make(kScrollBarClass, "", SBS_HORZ | WS_TABSTOP, 10, 200, 200, 16, 53);
    SetFocus(bar);
    MessageLog().clear();
    headless::PressKey(VK_RIGHT);
    headless::PressKey(VK_END);
    Pump();
    EXPECT_EQ(Scrolls(main_, WM_HSCROLL),
              (std::vector<std::pair<WORD, int>>{{SB_LINERIGHT, 0}, {SB_ENDSCROLL, 0}, {SB_RIGHT, 0}, {SB_ENDSCROLL, 0}}));
}

}  // namespace
}  // namespace win::testing
