// What a closing window uncovers is drawn again by the windows below it, their borders included,
// also where a child's rectangle reaches over its parent's border.
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

class ExposureTest : public PlatformTest {
protected:
    // A bordered parent (as a tool bar or the MDI client) whose child hangs over its bottom and
    // right borders (as a last row of buttons or a maximised MDI child does).
    void SetUp() override {
        PlatformTest::SetUp();
        Register("Face", 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
        Register("Window", 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
        top_ = TopLevel(0, 0, 400, 300, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, "Face");
        parent_ = Child(top_, 1, 20, 20, 200, 100, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, "Face");
        child_ = Child(parent_, 2, 10, 10, 220, 120, WS_CHILD | WS_VISIBLE, "Window");
        Pump();
    }
    // The parent's bottom border row, below the child, and its right border column.
    static POINT BottomBorder() { return POINT{100, 119}; }
    static POINT RightBorder() { return POINT{219, 60}; }

    HWND top_ = nullptr, parent_ = nullptr, child_ = nullptr;
};

TEST_F(ExposureTest, BordersUnderAChildAreDrawnAtFirst) {
    EXPECT_EQ(ScreenPixel(BottomBorder().x, BottomBorder().y), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(ScreenPixel(RightBorder().x, RightBorder().y), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(ScreenPixel(100, 60), GetSysColor(COLOR_WINDOW));
}

TEST_F(ExposureTest, AClosedPopupLeavesNoPixelsBehind) {
    Register("Red", 0, reinterpret_cast<HBRUSH>(CreateSolidBrush(RGB(255, 0, 0))));
    SIZE size = ScreenSize();
    std::vector<COLORREF> before;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) before.push_back(ScreenPixel(x, y));
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "hidden");
        HWND popup = TopLevel(0, 0, 300, 200, WS_POPUP | WS_VISIBLE, "Red");
        Pump();
        ASSERT_EQ(ScreenPixel(BottomBorder().x, BottomBorder().y), RGB(255, 0, 0));
        if (destroy)
            DestroyWindow(popup);
        else
            ShowWindow(popup, SW_HIDE);
        Pump();
        int stale = 0;
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x)
                if (ScreenPixel(x, y) != before[static_cast<std::size_t>(y * size.cx + x)]) ++stale;
        EXPECT_EQ(stale, 0);
        EXPECT_EQ(ScreenPixel(BottomBorder().x, BottomBorder().y), GetSysColor(COLOR_WINDOWFRAME));
        EXPECT_EQ(ScreenPixel(RightBorder().x, RightBorder().y), GetSysColor(COLOR_WINDOWFRAME));
        if (!destroy) DestroyWindow(popup);
    }
}

// The child draws only inside its parent's client area, whatever its rectangle says.
TEST_F(ExposureTest, AChildNeverDrawsOverItsParentsBorder) {
    HDC dc = GetDC(child_);
    RECT all{0, 0, 220, 120};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &all, green);
    DeleteObject(green);
    ReleaseDC(child_, dc);
    EXPECT_EQ(ScreenPixel(100, 60), RGB(0, 255, 0));
    EXPECT_EQ(ScreenPixel(BottomBorder().x, BottomBorder().y), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(ScreenPixel(RightBorder().x, RightBorder().y), GetSysColor(COLOR_WINDOWFRAME));
}

}  // namespace
}  // namespace win::testing
