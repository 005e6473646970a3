#include "platform/gdi_clip.h"

#include "gdi_test_support.h"

namespace win::testing {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

using ClipTest = GdiTest;

TEST_F(ClipTest, ClipRegionsLimitDrawing) {
    Canvas c(20, 20);
    HDC dc = c.dc();
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT all{0, 0, 20, 20};

    HRGN rgn = CreateRectRgn(2, 2, 6, 6);
    EXPECT_EQ(SelectClipRgn(dc, rgn), SIMPLEREGION);
    DeleteObject(rgn);  // the DC keeps its own copy
    FillRect(dc, &all, black);
    EXPECT_EQ(c.InkBounds(kWhite).left, 2);
    EXPECT_EQ(c.InkBounds(kWhite).right, 6);
    EXPECT_EQ(c.CountNot(kWhite), 16);

    // Cutting a hole, then removing the clip.
    c.Clear(kWhite);
    EXPECT_EQ(ExcludeClipRect(dc, 3, 3, 5, 5), COMPLEXREGION);
    FillRect(dc, &all, black);
    EXPECT_EQ(c.CountNot(kWhite), 12);
    EXPECT_FALSE(PtVisible(dc, 4, 4));
    EXPECT_TRUE(PtVisible(dc, 2, 2));
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(dc, copy), 1);
    EXPECT_FALSE(PtInRegion(copy, 3, 3));
    SelectClipRgn(dc, nullptr);
    EXPECT_EQ(GetClipRgn(dc, copy), 0);
    c.Clear(kWhite);
    FillRect(dc, &all, black);
    EXPECT_EQ(c.CountNot(kWhite), 400);
    DeleteObject(copy);

    // Combining with the current clip.
    c.Clear(kWhite);
    IntersectClipRect(dc, 0, 0, 10, 10);
    HRGN right = CreateRectRgn(5, 0, 20, 20);
    ExtSelectClipRgn(dc, right, RGN_AND);
    FillRect(dc, &all, black);
    EXPECT_EQ(c.CountNot(kWhite), 50);
    DeleteObject(right);
}

TEST_F(ClipTest, WindowDCsDrawAtTheirOriginInsideTheirVisibleRegion) {
    // Two windows on one surface: the second overlaps the first's right half.
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 20);
    Region visible = Region(0, 0, 20, 20).Subtract(Region(10, 0, 20, 20));
    HDC dc = CreateWindowDC(screen, {0, 0}, Region(0, 0, 40, 20));
    RECT all{0, 0, 40, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DestroyWindowDC(dc);
    HDC win = CreateWindowDC(screen, {5, 2}, visible);
    FillRect(win, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetPixel(win, 0, 0), kBlack);      // client (0,0) is screen (5,2)
    EXPECT_EQ(GetPixel(win, 6, 0), CLR_INVALID);  // screen (11,2) belongs to the other window
    RECT box;
    EXPECT_EQ(GetClipBox(win, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, -5);
    EXPECT_EQ(box.right, 5);
    SetWindowDCVisibleRegion(win, {0, 0}, Region(0, 0, 40, 20));
    EXPECT_NE(GetPixel(win, 11, 2), CLR_INVALID);
    DestroyWindowDC(win);
    {
        PixelAccess px(screen);
        EXPECT_EQ(px.Row(2)[5] & 0xFFFFFF, 0u);
        EXPECT_EQ(px.Row(2)[4] & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(px.Row(2)[10] & 0xFFFFFF, 0xFFFFFFu);
    }
    cairo_surface_destroy(screen);
}

TEST_F(ClipTest, RegionObjects) {
    POINT tab[] = {{0, 10}, {4, 0}, {16, 0}, {20, 10}};
    HRGN t = CreatePolygonRgn(tab, 4, ALTERNATE);
    EXPECT_TRUE(PtInRegion(t, 10, 5));
    EXPECT_FALSE(PtInRegion(t, 1, 1));
    RECT box;
    EXPECT_EQ(GetRgnBox(t, &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 20);
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(d, 7, 7));
    EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
    RECT inside{6, 6, 7, 7};
    EXPECT_TRUE(RectInRegion(d, &inside));
    EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(d, a));
    EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_OR), ERROR);
    EXPECT_EQ(OffsetRgn(d, 100, 0), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(d, 100, 0));
    EXPECT_EQ(CreatePolygonRgn(tab, 4, 7), nullptr);

    Canvas c(20, 12);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    FillRgn(c.dc(), t, black);
    EXPECT_EQ(c.At(10, 5), kBlack);
    EXPECT_EQ(c.At(0, 0), kWhite);
    c.Clear(kWhite);
    FrameRgn(c.dc(), a, black, 1, 1);
    EXPECT_EQ(c.At(0, 5), kBlack);
    EXPECT_EQ(c.At(9, 5), kBlack);
    EXPECT_EQ(c.At(5, 5), kWhite);
    InvertRgn(c.dc(), a);
    EXPECT_EQ(c.At(5, 5), kBlack);
    EXPECT_EQ(c.At(0, 5), kWhite);
    for (HRGN r : {t, a, b, d}) DeleteObject(r);
}

}  // namespace
}  // namespace win::testing
