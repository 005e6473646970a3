#include "platform/gdi_mapping.h"

#include "gdi_test_support.h"
#include "platform/gdi_clip.h"

namespace win::testing {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

using MappingTest = GdiTest;

TEST_F(MappingTest, AnisotropicPointsBothWays) {
    Canvas c(10, 10);
    HDC dc = c.dc();
    EXPECT_EQ(SetMapMode(dc, MM_ANISOTROPIC), MM_TEXT);
    SetWindowExtEx(dc, 8, 8, nullptr);
    SetViewportExtEx(dc, 3, -2, nullptr);
    SetWindowOrgEx(dc, 100, 50, nullptr);
    SetViewportOrgEx(dc, 10, 20, nullptr);
    POINT p[] = {{100, 50}, {108, 58}, {104, 54}, {96, 46}, {101, 51}};
    ASSERT_TRUE(LPtoDP(dc, p, 5));
    EXPECT_EQ(p[0].x, 10);
    EXPECT_EQ(p[0].y, 20);
    EXPECT_EQ(p[1].x, 13);
    EXPECT_EQ(p[1].y, 18);
    EXPECT_EQ(p[2].x, 12);  // 1.5 rounds away from zero
    EXPECT_EQ(p[2].y, 19);
    EXPECT_EQ(p[3].x, 8);   // -1.5 too
    EXPECT_EQ(p[3].y, 21);
    EXPECT_EQ(p[4].x, 10);  // 0.375
    POINT q[] = {{13, 18}};
    DPtoLP(dc, q, 1);
    EXPECT_EQ(q[0].x, 108);
    EXPECT_EQ(q[0].y, 58);
    // Zero extents are refused and change nothing.
    EXPECT_FALSE(SetWindowExtEx(dc, 0, 5, nullptr));
    SIZE ext;
    GetWindowExtEx(dc, &ext);
    EXPECT_EQ(ext.cx, 8);
    // Back to MM_TEXT: one to one, origins still apply.
    SetMapMode(dc, MM_TEXT);
    POINT r[] = {{100, 50}};
    LPtoDP(dc, r, 1);
    EXPECT_EQ(r[0].x, 10);
    EXPECT_EQ(r[0].y, 20);
}

TEST_F(MappingTest, ZoomedDrawingAndClipping) {
    // A schematic at zoom 2: window extent 2, viewport extent 1, scrolled by the window origin.
    Canvas c(20, 20);
    HDC dc = c.dc();
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 2, 2, nullptr);
    SetViewportExtEx(dc, 1, 1, nullptr);
    SetWindowOrgEx(dc, 8, 8, nullptr);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Rectangle(dc, 8, 8, 16, 16);
    EXPECT_EQ(c.InkBounds(kWhite).right, 4);
    EXPECT_EQ(c.InkBounds(kWhite).bottom, 4);
    RECT visible{8, 8, 12, 12};
    EXPECT_TRUE(RectVisible(dc, &visible));
    RECT away{100, 100, 110, 110};
    EXPECT_FALSE(RectVisible(dc, &away));

    // IntersectClipRect takes logical units.
    c.Clear(kWhite);
    IntersectClipRect(dc, 8, 8, 12, 12);
    Rectangle(dc, 0, 0, 40, 40);
    EXPECT_EQ(c.InkBounds(kWhite).right, 2);
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box.left, 8);
    EXPECT_EQ(box.right, 12);

    // Pens of width 0 stay one pixel; wider pens scale with the mapping.
    SelectClipRgn(dc, nullptr);
    c.Clear(kWhite);
    SetViewportExtEx(dc, 4, 4, nullptr);
    SetWindowExtEx(dc, 1, 1, nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    HPEN hair = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
    SelectObject(dc, hair);
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 4, 1);
    EXPECT_EQ(c.At(2, 4), RGB(0, 0, 0));
    EXPECT_EQ(c.At(2, 5), kWhite);
    HPEN one = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    DeleteObject(SelectObject(dc, one));
    MoveToEx(dc, 0, 3, nullptr);
    LineTo(dc, 4, 3);
    int thick = 0;
    for (int y = 9; y < 16; ++y) thick += c.At(6, y) != kWhite;
    EXPECT_EQ(thick, 4);
    DeleteObject(SelectObject(dc, GetStockObject(BLACK_PEN)));
}

TEST_F(MappingTest, IsotropicAndMetricModes) {
    Canvas c(10, 10);
    HDC dc = c.dc();
    SetMapMode(dc, MM_ISOTROPIC);
    SetWindowExtEx(dc, 100, 100, nullptr);
    SetViewportExtEx(dc, 50, -20, nullptr);
    SIZE v;
    GetViewportExtEx(dc, &v);
    EXPECT_EQ(v.cx, 20);  // the larger scale gives way
    EXPECT_EQ(v.cy, -20);

    SetMapMode(dc, MM_LOMETRIC);
    POINT p[] = {{254, 254}};
    LPtoDP(dc, p, 1);
    EXPECT_EQ(p[0].x, 96);   // one inch at 96 dpi
    EXPECT_EQ(p[0].y, -96);  // y grows upwards
}

}  // namespace
}  // namespace win::testing
