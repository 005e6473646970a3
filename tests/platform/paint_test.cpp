// Painting: invalid regions and the WM_PAINT cycle, clipping by other windows and children,
// exposure, scrolling, redraw switched off, and class redraw styles.
#include <map>

#include "platform/gdi_clip.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

class PaintTest : public PlatformTest {
protected:
    // Paints the whole update area of every window in its own colour (set per window).
    void PaintInColours() {
        Handler() = [this](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_ERASEBKGND) return 1;
            if (msg != WM_PAINT) return std::nullopt;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            paints.push_back({h, ps.rcPaint});
            auto it = colours.find(h);
            if (it != colours.end()) {
                HBRUSH b = CreateSolidBrush(it->second);
                RECT all;
                GetClientRect(h, &all);
                FillRect(dc, &all, b);
                DeleteObject(b);
            }
            EndPaint(h, &ps);
            return 0;
        };
    }
    // Draws outside WM_PAINT, as live curves and XOR feedback do.
    static void FillWithGetDC(HWND h, RECT r, COLORREF colour) {
        HDC dc = GetDC(h);
        HBRUSH b = CreateSolidBrush(colour);
        FillRect(dc, &r, b);
        DeleteObject(b);
        ReleaseDC(h, dc);
    }
    static COLORREF At(HWND h, int x, int y) {
        POINT p{x, y};
        ClientToScreen(h, &p);
        return ScreenPixel(p.x, p.y);
    }
    struct Paint {
        HWND hwnd;
        RECT rc;
    };
    std::vector<Paint> paints;
    std::map<HWND, COLORREF> colours;
};

TEST_F(PaintTest, InvalidAreasAccumulateAndOnePaintValidatesThem) {
    HWND w = TopLevel(0, 0, 300, 300);
    Pump();
    MessageLog().clear();
    RECT a{10, 10, 20, 20}, b{50, 40, 60, 70};
    InvalidateRect(w, &a, FALSE);
    InvalidateRect(w, &b, TRUE);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(w, &update, FALSE));
    EXPECT_EQ(update.left, 10);
    EXPECT_EQ(update.bottom, 70);
    PAINTSTRUCT ps{};
    Handler() = [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_PAINT) return std::nullopt;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        return 0;
    };
    Pump();
    EXPECT_EQ(CountOf(w, WM_PAINT), 1);
    EXPECT_EQ(CountOf(w, WM_ERASEBKGND), 1);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.right, 60);
    EXPECT_EQ(ps.fErase, TRUE);  // the default procedure had no brush to erase with
    EXPECT_FALSE(GetUpdateRect(w, &update, FALSE));
    Pump();
    EXPECT_EQ(CountOf(w, WM_PAINT), 1);

    // UpdateWindow paints at once, and only when something is invalid.
    MessageLog().clear();
    UpdateWindow(w);
    EXPECT_EQ(CountOf(w, WM_PAINT), 0);
    ValidateRect(w, nullptr);
    InvalidateRect(w, &a, FALSE);
    UpdateWindow(w);
    EXPECT_EQ(CountOf(w, WM_PAINT), 1);
}

TEST_F(PaintTest, DefaultEraseUsesTheClassBrush) {
    Register("Grey", 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    TopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, "Grey");
    Pump();
    EXPECT_EQ(ScreenPixel(50, 50), GetSysColor(COLOR_BTNFACE));
}

TEST_F(PaintTest, DrawingIsClippedByWindowsAboveAndByChildren) {
    PaintInColours();
    HWND below = TopLevel(0, 0, 200, 200, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
    HWND child = Child(below, 1, 150, 150, 40, 40);
    HWND above = TopLevel(100, 100, 200, 200, WS_POPUP | WS_VISIBLE);
    colours[below] = RGB(255, 0, 0);
    colours[child] = RGB(0, 255, 0);
    colours[above] = RGB(0, 0, 255);
    InvalidateRect(below, nullptr, TRUE);
    InvalidateRect(child, nullptr, TRUE);
    InvalidateRect(above, nullptr, TRUE);
    Pump();
    EXPECT_EQ(ScreenPixel(50, 50), RGB(255, 0, 0));
    EXPECT_EQ(ScreenPixel(150, 150), RGB(0, 0, 255));
    EXPECT_EQ(ScreenPixel(120, 60), RGB(255, 0, 0));

    // Drawing outside WM_PAINT through GetDC keeps to the same visible region.
    FillWithGetDC(below, RECT{0, 0, 200, 200}, RGB(255, 255, 0));
    EXPECT_EQ(ScreenPixel(50, 50), RGB(255, 255, 0));
    EXPECT_EQ(ScreenPixel(150, 150), RGB(0, 0, 255));  // covered by the window above
    ShowWindow(above, SW_HIDE);
    Pump();
    EXPECT_EQ(ScreenPixel(170, 170), RGB(0, 255, 0));  // the child, never drawn over
    EXPECT_EQ(ScreenPixel(120, 120), RGB(255, 0, 0));  // uncovered part repainted
    EXPECT_EQ(ScreenPixel(250, 250), GetSysColor(COLOR_BACKGROUND));
}

TEST_F(PaintTest, MovingAWindowAwayRepaintsOnlyWhatItUncovered) {
    PaintInColours();
    HWND below = TopLevel(0, 0, 300, 300, WS_POPUP | WS_VISIBLE);
    HWND above = TopLevel(50, 50, 100, 100, WS_POPUP | WS_VISIBLE);
    colours[below] = RGB(200, 0, 0);
    colours[above] = RGB(0, 0, 200);
    Pump();
    paints.clear();
    MoveWindow(above, 400, 50, 100, 100, TRUE);
    Pump();
    ASSERT_EQ(paints.size(), 1u);  // the moved window's pixels travel with it
    EXPECT_EQ(paints[0].hwnd, below);
    EXPECT_EQ(paints[0].rc.left, 50);
    EXPECT_EQ(paints[0].rc.top, 50);
    EXPECT_EQ(paints[0].rc.right, 150);
    EXPECT_EQ(ScreenPixel(420, 70), RGB(0, 0, 200));
    EXPECT_EQ(ScreenPixel(70, 70), RGB(200, 0, 0));
}

TEST_F(PaintTest, ScrollWindowMovesPixelsAndInvalidatesTheStrip) {
    PaintInColours();
    HWND w = TopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    Pump();
    FillWithGetDC(w, RECT{10, 50, 20, 60}, RGB(0, 128, 0));
    ValidateRect(w, nullptr);
    ScrollWindow(w, 0, -30, nullptr, nullptr);
    EXPECT_EQ(At(w, 15, 25), RGB(0, 128, 0));
    RECT update;
    ASSERT_TRUE(GetUpdateRect(w, &update, FALSE));
    EXPECT_EQ(update.top, 70);
    EXPECT_EQ(update.bottom, 100);
    EXPECT_EQ(update.left, 0);
    EXPECT_EQ(update.right, 100);
    // A pending invalid area moves along with the pixels.
    ValidateRect(w, nullptr);
    RECT pending{0, 40, 10, 50};
    InvalidateRect(w, &pending, FALSE);
    ScrollWindow(w, 0, -30, nullptr, nullptr);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(w, rgn, FALSE);
    auto* region = GdiCast<RegionObject>(rgn, GdiKind::Region);
    EXPECT_TRUE(region->rgn.Contains(5, 15));
    EXPECT_FALSE(region->rgn.Contains(5, 45));
    DeleteObject(rgn);
}

TEST_F(PaintTest, RedrawOffSuppressesPaintAndDrawing) {
    PaintInColours();
    HWND w = TopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    colours[w] = RGB(10, 20, 30);
    Pump();
    SendMessage(w, WM_SETREDRAW, FALSE, 0);
    colours[w] = RGB(90, 80, 70);
    InvalidateRect(w, nullptr, TRUE);
    paints.clear();
    Pump();
    EXPECT_TRUE(paints.empty());
    FillWithGetDC(w, RECT{0, 0, 100, 100}, RGB(1, 2, 3));
    EXPECT_EQ(ScreenPixel(50, 50), RGB(10, 20, 30));
    SendMessage(w, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
    EXPECT_EQ(ScreenPixel(50, 50), RGB(90, 80, 70));
}

TEST_F(PaintTest, RedrawWindowUpdatesChildrenNow) {
    PaintInColours();
    HWND top = TopLevel(0, 0, 200, 200, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
    HWND child = Child(top, 1, 10, 10, 50, 50);
    Pump();
    paints.clear();
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_EQ(paints.size(), 2u);
    EXPECT_EQ(paints[0].hwnd, top);
    EXPECT_EQ(paints[1].hwnd, child);
    // Without WS_CLIPCHILDREN a parent's invalid area reaches its children by default.
    HWND open = TopLevel(300, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND inner = Child(open, 1, 10, 10, 50, 50);
    Pump();
    paints.clear();
    InvalidateRect(open, nullptr, FALSE);
    Pump();
    ASSERT_EQ(paints.size(), 2u);
    EXPECT_EQ(paints[1].hwnd, inner);
}

TEST_F(PaintTest, ResizingRepaintsNewStripsOrAllWithRedrawStyles) {
    Register("Redraw", CS_HREDRAW | CS_VREDRAW);
    PaintInColours();
    HWND plain = TopLevel(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    HWND redraw = TopLevel(200, 0, 100, 100, WS_POPUP | WS_VISIBLE, "Redraw");
    Pump();
    paints.clear();
    SetWindowPos(plain, nullptr, 0, 0, 150, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(redraw, nullptr, 0, 0, 150, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    ASSERT_EQ(paints.size(), 2u);
    auto find = [&](HWND h) {
        for (auto& p : paints)
            if (p.hwnd == h) return p.rc;
        return RECT{};
    };
    EXPECT_EQ(find(plain).left, 100);
    EXPECT_EQ(find(redraw).left, 0);
    EXPECT_EQ(find(redraw).right, 150);
}

TEST_F(PaintTest, AnIgnoredPaintDoesNotComeBackForever) {
    HWND w = TopLevel(0, 0, 100, 100);
    Handler() = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_PAINT) return 0;  // never validates
        return std::nullopt;
    };
    InvalidateRect(w, nullptr, FALSE);
    EXPECT_LT(headless::RunUntilIdle(), 20);
    EXPECT_EQ(CountOf(w, WM_PAINT), 1);
}

TEST_F(PaintTest, FrameIsDrawnInActiveColours) {
    HWND a = TopLevel(0, 0, 200, 100);
    Pump();
    EXPECT_EQ(ScreenPixel(100, 10), GetSysColor(COLOR_ACTIVECAPTION));
    HWND b = TopLevel(300, 0, 200, 100);
    Pump();
    EXPECT_EQ(ScreenPixel(100, 10), GetSysColor(COLOR_INACTIVECAPTION));
    EXPECT_EQ(ScreenPixel(400, 10), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(GetActiveWindow(), b);
    (void)a;
}

// A batch run's screen: windows keep their places, nothing paints; a screen made afterwards (a
// program that shows windows) paints again.
TEST_F(PaintTest, AnUnseenScreenPaintsNothingUntilANewScreenIsMade) {
    PaintInColours();
    SetScreenUnseen(true);
    HWND w = TopLevel(10, 10, 200, 100);
    colours[w] = RGB(255, 0, 0);
    Pump();
    UpdateWindow(w);
    EXPECT_TRUE(paints.empty());
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 200);
    FillWithGetDC(w, RECT{0, 0, 50, 50}, RGB(0, 0, 255));

    CreateScreen(800, 600);
    EXPECT_FALSE(ScreenUnseen());
    InvalidateRect(w, nullptr, TRUE);
    Pump();
    ASSERT_FALSE(paints.empty());
    EXPECT_EQ(At(w, 5, 5), RGB(255, 0, 0));
}

}  // namespace
}  // namespace win::testing
