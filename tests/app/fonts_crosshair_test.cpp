#include <gtest/gtest.h>

#include "ui/app_state.h"
#include "ui/crosshair.h"
#include "ui/font_select.h"
#include "ui/window_record.h"
#include "platform/backend.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/text.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {
namespace {

TEST(FontRequests, StyleBitsHeightAndTurning)
{
    win::ResetPlatformForTests();
    ResetFontFacesForTests();
    FontSpec spec;
    spec.face = static_cast<std::int16_t>(FindFontFace("Arial"));
    spec.height = -13;
    spec.style = kFontBold | kFontItalic | kFontUnderline;
    win::LOGFONT lf;
    FillLogFont(spec, lf);
    EXPECT_EQ(lf.lfHeight, -13);
    EXPECT_EQ(lf.lfWeight, win::FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(lf.lfFaceName, "Arial");
    EXPECT_EQ(lf.lfCharSet, win::DEFAULT_CHARSET);

    spec.style = kFontTurned90 | kFontTurned270;  // the later bit wins
    FillLogFont(spec, lf);
    EXPECT_EQ(lf.lfEscapement, 2700);
    EXPECT_EQ(lf.lfWeight, win::FW_NORMAL);
    spec.style = kFontTurned90 | kFontTurned180;
    FillLogFont(spec, lf);
    EXPECT_EQ(lf.lfEscapement, 1800);

    // Height 0 stands for the system font's height.
    spec.height = 0;
    FillLogFont(spec, lf);
    win::HDC dc = win::GetDC(nullptr);
    win::HGDIOBJ old = win::SelectObject(dc, win::GetStockObject(win::SYSTEM_FONT));
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    EXPECT_EQ(lf.lfHeight, tm.tmHeight);
    EXPECT_NE(lf.lfHeight, 0);
    // Lines of a text block are a line spacing apart.
    win::SIZE block = MeasureTextBlock(dc, "ab\r\nlonger line\r\nc");
    EXPECT_EQ(block.cy, 3 * TextLineSpacing(dc));
    EXPECT_EQ(block.cx, MeasureText(dc, "longer line").cx);
    win::SelectObject(dc, old);
    win::ReleaseDC(nullptr, dc);
    ResetFontFacesForTests();
}

class CrosshairTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(400, 300);
        ResetAppStateForTests();
        ResetCrosshairForTests();
        window_ = win::CreateWindowEx(0, "STATIC", "", win::WS_POPUP | win::WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                                      nullptr, nullptr);
        record_ = NewWindowRecord(window_, kWindowSchematic);
        win::UpdateWindow(window_);
    }
    void TearDown() override
    {
        ResetCrosshairForTests();
        ResetAppStateForTests();
    }
    win::COLORREF Pixel(int x, int y)
    {
        win::HDC dc = win::GetDC(window_);
        win::COLORREF c = win::GetPixel(dc, x, y);
        win::ReleaseDC(window_, dc);
        return c;
    }
    win::HWND window_ = nullptr;
    WindowRecord* record_ = nullptr;
};

TEST_F(CrosshairTest, DrawingTwiceAtAPointLeavesTheWindowAsItWas)
{
    const win::COLORREF before = Pixel(50, 70);
    DrawCrosshair(record_, win::POINT{50, 40});
    EXPECT_TRUE(CrosshairShown());
    EXPECT_NE(Pixel(50, 70), before);  // on the vertical line
    DrawCrosshair(record_, win::POINT{60, 40});  // moving erases the old lines first
    EXPECT_EQ(Pixel(50, 70), before);
    EraseCrosshair(nullptr);
    EXPECT_FALSE(CrosshairShown());
    EXPECT_EQ(Pixel(60, 70), before);
}

TEST_F(CrosshairTest, SuspensionNests)
{
    DrawCrosshair(record_, win::POINT{50, 40});
    SuspendCrosshair(true);
    EXPECT_FALSE(CrosshairShown());
    SuspendCrosshair(true);
    ResumeCrosshair();
    EXPECT_EQ(CrosshairSuspendLevel(), 1);
    DrawCrosshair(record_, win::POINT{10, 10});  // nothing while suspended
    EXPECT_FALSE(CrosshairShown());
    ResumeCrosshair();
    ResumeCrosshair();  // one too many stays at 0
    EXPECT_EQ(CrosshairSuspendLevel(), 0);
    DrawCrosshair(record_, win::POINT{10, 10});
    EXPECT_TRUE(CrosshairShown());
}

}  // namespace
}  // namespace kq5
