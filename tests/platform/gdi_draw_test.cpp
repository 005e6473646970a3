#include <functional>

#include "gdi_test_support.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_mapping.h"
#include "platform/text.h"

namespace win::testing {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

using DrawTest = GdiTest;

TEST_F(DrawTest, RectangleCoversLeftTopInclusiveRightBottomExclusive) {
    Canvas c(8, 8);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    SelectObject(c.dc(), red);
    Rectangle(c.dc(), 0, 0, 4, 4);
    EXPECT_EQ(c.Row(0, 0, 6), "####..");
    EXPECT_EQ(c.Row(3, 0, 6), "####..");
    EXPECT_EQ(c.Row(4, 0, 6), "......");
    EXPECT_EQ(c.At(0, 0), kBlack);  // outline
    EXPECT_EQ(c.At(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(c.At(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(c.At(3, 2), kBlack);

    // With the null pen the filled area loses the right column and the bottom row.
    c.Clear(kWhite);
    SelectObject(c.dc(), GetStockObject(NULL_PEN));
    Rectangle(c.dc(), 0, 0, 4, 4);
    EXPECT_EQ(c.Row(0, 0, 5), "###..");
    EXPECT_EQ(c.Row(2, 0, 5), "###..");
    EXPECT_EQ(c.Row(3, 0, 5), ".....");
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(red);
}

TEST_F(DrawTest, LinesLeaveOutTheirLastPixel) {
    Canvas c(12, 12);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 5, 0);
    EXPECT_EQ(c.Row(0, 0, 7), "#####..");
    POINT cp;
    GetCurrentPositionEx(c.dc(), &cp);
    EXPECT_EQ(cp.x, 5);
    // Continuing the line fills the joint exactly once.
    LineTo(c.dc(), 5, 5);
    EXPECT_EQ(c.At(5, 0), kBlack);
    EXPECT_EQ(c.At(5, 4), kBlack);
    EXPECT_EQ(c.At(5, 5), kWhite);
    // A diagonal line steps one pixel per column.
    c.Clear(kWhite);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 10, 5);
    EXPECT_EQ(c.CountNot(kWhite), 10);
}

TEST_F(DrawTest, PenStylesOnPixelGrids) {
    Canvas c(40, 6);
    HPEN dot = CreatePen(PS_DOT, 1, kBlack);
    SelectObject(c.dc(), dot);
    SetBkMode(c.dc(), TRANSPARENT);
    MoveToEx(c.dc(), 0, 1, nullptr);
    LineTo(c.dc(), 20, 1);
    EXPECT_EQ(c.Row(1, 0, 21), "###...###...###...##.");

    // Opaque background mode paints the gaps in the background colour.
    SetBkMode(c.dc(), OPAQUE);
    SetBkColor(c.dc(), RGB(0, 0, 255));
    MoveToEx(c.dc(), 0, 3, nullptr);
    LineTo(c.dc(), 12, 3);
    EXPECT_EQ(c.At(0, 3), kBlack);
    EXPECT_EQ(c.At(3, 3), RGB(0, 0, 255));
    EXPECT_EQ(c.At(6, 3), kBlack);

    HPEN dash = CreatePen(PS_DASH, 1, kBlack);
    DeleteObject(SelectObject(c.dc(), dash));
    SetBkMode(c.dc(), TRANSPARENT);
    MoveToEx(c.dc(), 0, 5, nullptr);
    LineTo(c.dc(), 30, 5);
    EXPECT_EQ(c.Row(5, 0, 30), "##################......######");

    // A styled pen wider than one pixel draws solid.
    c.Clear(kWhite);
    HPEN wide = CreatePen(PS_DOT, 3, kBlack);
    DeleteObject(SelectObject(c.dc(), wide));
    MoveToEx(c.dc(), 2, 2, nullptr);
    LineTo(c.dc(), 30, 2);
    EXPECT_EQ(c.Row(2, 2, 30), std::string(28, '#'));
    EXPECT_EQ(c.At(10, 1), kBlack);
    EXPECT_EQ(c.At(10, 3), kBlack);
    EXPECT_EQ(c.At(10, 4), kWhite);
    DeleteObject(SelectObject(c.dc(), GetStockObject(BLACK_PEN)));
}

// Every shape drawn twice in XOR mode leaves every pixel as it was.
TEST_F(DrawTest, XorDrawingIsSelfInverse) {
    Canvas c(64, 64);
    HDC dc = c.dc();
    std::vector<std::pair<const char*, std::function<void()>>> shapes = {
        {"line", [&] { MoveToEx(dc, 3, 60, nullptr); LineTo(dc, 61, 2); }},
        {"polyline", [&] { POINT p[] = {{1, 1}, {30, 50}, {50, 10}, {5, 40}}; Polyline(dc, p, 4); }},
        {"rectangle", [&] { Rectangle(dc, 5, 5, 40, 30); }},
        {"ellipse", [&] { Ellipse(dc, 2, 7, 59, 41); }},
        {"roundrect", [&] { RoundRect(dc, 4, 4, 50, 44, 16, 12); }},
        {"pie", [&] { Pie(dc, 0, 0, 60, 60, 60, 30, 30, 0); }},
        {"chord", [&] { Chord(dc, 3, 3, 57, 50, 0, 0, 60, 60); }},
        {"arc", [&] { Arc(dc, 3, 3, 57, 50, 60, 20, 0, 10); }},
        {"polygon", [&] { POINT p[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}}; Polygon(dc, p, 5); }},
    };
    HPEN pens[] = {CreatePen(PS_SOLID, 1, RGB(200, 100, 50)), CreatePen(PS_SOLID, 5, RGB(17, 34, 51)),
                   CreatePen(PS_DASHDOTDOT, 1, RGB(255, 255, 0))};
    HBRUSH brushes[] = {CreateSolidBrush(RGB(90, 180, 45)), CreateHatchBrush(HS_DIAGCROSS, RGB(1, 2, 3)),
                        static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))};
    SetBkColor(dc, RGB(9, 99, 199));
    for (int mode : {R2_XORPEN, R2_NOT, R2_NOTXORPEN}) {
        SetROP2(dc, mode);
        for (HPEN pen : pens) {
            SelectObject(dc, pen);
            for (HBRUSH brush : brushes) {
                SelectObject(dc, brush);
                for (int bk : {OPAQUE, TRANSPARENT}) {
                    SetBkMode(dc, bk);
                    for (auto& [name, draw] : shapes) {
                        c.FillNoise();
                        auto before = c.Snapshot();
                        draw();
                        ASSERT_NE(before, c.Snapshot()) << name;
                        draw();
                        ASSERT_EQ(before, c.Snapshot()) << name << " rop " << mode;
                    }
                }
            }
        }
    }
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
}

TEST_F(DrawTest, EllipseStaysInItsBoxAndIsSymmetric) {
    Canvas c(20, 20);
    HBRUSH gray = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    SelectObject(c.dc(), gray);
    Ellipse(c.dc(), 2, 3, 13, 12);
    RECT ink = c.InkBounds(kWhite);
    EXPECT_EQ(ink.left, 2);
    EXPECT_EQ(ink.top, 3);
    EXPECT_EQ(ink.right, 13);
    EXPECT_EQ(ink.bottom, 12);
    for (int y = 3; y < 12; ++y)
        for (int x = 2; x < 13; ++x) {
            EXPECT_EQ(c.At(x, y), c.At(14 - x, y)) << x << "," << y;
            EXPECT_EQ(c.At(x, y), c.At(x, 14 - y)) << x << "," << y;
        }
    EXPECT_EQ(c.At(7, 7), RGB(128, 128, 128));
    EXPECT_EQ(c.At(2, 3), kWhite);
}

TEST_F(DrawTest, ArcsRunCounterClockwise) {
    Canvas c(30, 30);
    // From the right-hand point to the top point: the upper right quarter only.
    Arc(c.dc(), 0, 0, 21, 21, 21, 10, 10, 0);
    RECT ink = c.InkBounds(kWhite);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.bottom, 11);
    EXPECT_GT(c.CountNot(kWhite), 10);
    // The opposite order takes the other three quarters.
    c.Clear(kWhite);
    Arc(c.dc(), 0, 0, 21, 21, 10, 0, 21, 10);
    ink = c.InkBounds(kWhite);
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.bottom, 21);

    // A pie is filled between its radii.
    c.Clear(kWhite);
    SelectObject(c.dc(), GetStockObject(BLACK_BRUSH));
    Pie(c.dc(), 0, 0, 21, 21, 21, 10, 10, 0);
    EXPECT_EQ(c.At(14, 6), kBlack);
    EXPECT_EQ(c.At(6, 14), kWhite);
    EXPECT_EQ(c.At(6, 6), kWhite);
}

TEST_F(DrawTest, PolygonFillModesAndOutline) {
    Canvas c(24, 24);
    POINT star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
    SelectObject(c.dc(), GetStockObject(BLACK_BRUSH));
    SelectObject(c.dc(), GetStockObject(NULL_PEN));
    Polygon(c.dc(), star, 5);
    EXPECT_EQ(c.At(10, 10), kWhite);
    SetPolyFillMode(c.dc(), WINDING);
    Polygon(c.dc(), star, 5);
    EXPECT_EQ(c.At(10, 10), kBlack);
    // With a pen the outline reaches the vertices on the right and bottom too.
    c.Clear(kWhite);
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    POINT square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    Polygon(c.dc(), square, 4);
    EXPECT_EQ(c.Row(0, 0, 6), "#####.");
    EXPECT_EQ(c.Row(2, 0, 6), "#...#.");
}

TEST_F(DrawTest, RasterOperationsCombineBitwise) {
    Canvas c(4, 1, RGB(0x0F, 0xF0, 0x33));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xFF, 0x0F, 0x55));
    SelectObject(c.dc(), pen);
    struct {
        int rop;
        COLORREF expected;
    } cases[] = {
        {R2_COPYPEN, RGB(0xFF, 0x0F, 0x55)}, {R2_XORPEN, RGB(0xF0, 0xFF, 0x66)}, {R2_MERGEPEN, RGB(0xFF, 0xFF, 0x77)},
        {R2_MASKPEN, RGB(0x0F, 0x00, 0x11)}, {R2_NOT, RGB(0xF0, 0x0F, 0xCC)},    {R2_NOTXORPEN, RGB(0x0F, 0x00, 0x99)},
        {R2_BLACK, kBlack},                  {R2_WHITE, kWhite},                  {R2_NOP, RGB(0x0F, 0xF0, 0x33)},
    };
    for (const auto& t : cases) {
        c.Clear(RGB(0x0F, 0xF0, 0x33));
        SetROP2(c.dc(), t.rop);
        MoveToEx(c.dc(), 0, 0, nullptr);
        LineTo(c.dc(), 2, 0);
        EXPECT_EQ(c.At(0, 0), t.expected) << t.rop;
        EXPECT_EQ(c.At(2, 0), RGB(0x0F, 0xF0, 0x33));
    }
    EXPECT_EQ(SetROP2(c.dc(), 0), 0);  // refused
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST_F(DrawTest, MergePenWithCheckerboardGreysOut) {
    // A disabled look: R2_MERGEPEN with a checkerboard brush keeps white, lightens black.
    Canvas c(8, 8, kBlack);
    // Rows padded to 16 bits; a set bit is white.
    BYTE packed[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, packed);
    HBRUSH checker = CreatePatternBrush(pattern);
    DeleteObject(pattern);
    SetTextColor(c.dc(), kBlack);
    SetBkColor(c.dc(), kWhite);
    SelectObject(c.dc(), checker);
    SelectObject(c.dc(), GetStockObject(NULL_PEN));
    SetROP2(c.dc(), R2_MERGEPEN);
    Rectangle(c.dc(), 0, 0, 9, 9);
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(1, 0), kBlack);
    EXPECT_EQ(c.At(0, 1), kBlack);
    EXPECT_EQ(c.At(1, 1), kWhite);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(checker);
}

TEST_F(DrawTest, RectangleFillsAndFocusRect) {
    Canvas c(10, 10);
    RECT r{1, 1, 5, 4};
    FillRect(c.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.Row(1, 0, 6), ".####.");
    EXPECT_EQ(c.Row(4, 0, 6), "......");
    InvertRect(c.dc(), &r);
    EXPECT_EQ(c.CountNot(kWhite), 0);
    RECT frame{0, 0, 6, 5};
    FrameRect(c.dc(), &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.Row(0, 0, 7), "######.");
    EXPECT_EQ(c.Row(2, 0, 7), "#....#.");
    c.Clear(kWhite);
    auto before = c.Snapshot();
    DrawFocusRect(c.dc(), &frame);
    EXPECT_EQ(c.Row(0, 0, 7), "#.#.#..");
    DrawFocusRect(c.dc(), &frame);
    EXPECT_EQ(before, c.Snapshot());
}

TEST_F(DrawTest, PixelsAndPaletteIndices) {
    Canvas c(4, 4);
    EXPECT_EQ(SetPixel(c.dc(), 1, 2, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(c.dc(), 1, 2), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(c.dc(), 4, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(c.dc(), -1, 0, kBlack), CLR_INVALID);

    LOGPALETTE lp;
    lp.palPalEntry = {{10, 20, 30, 0}, {40, 50, 60, PC_RESERVED}};
    HPALETTE pal = CreatePalette(&lp);
    SelectPalette(c.dc(), pal, FALSE);
    EXPECT_EQ(RealizePalette(c.dc()), 0u);
    // Pens keep the index, so a changed palette entry shows in later drawing.
    HPEN pen = CreatePen(PS_SOLID, 1, PALETTEINDEX(1));
    SelectObject(c.dc(), pen);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 1, 0);
    EXPECT_EQ(c.At(0, 0), RGB(40, 50, 60));
    PALETTEENTRY changed{70, 80, 90, PC_RESERVED};
    AnimatePalette(pal, 1, 1, &changed);
    MoveToEx(c.dc(), 0, 1, nullptr);
    LineTo(c.dc(), 1, 1);
    EXPECT_EQ(c.At(0, 1), RGB(70, 80, 90));
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(12, 20, 30)), 0u);
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    SelectPalette(c.dc(), static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    DeleteObject(pen);
    DeleteObject(pal);
}

TEST_F(DrawTest, SaveAndRestoreDC) {
    Canvas c(4, 4);
    HDC dc = c.dc();
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    int level = SaveDC(dc);
    EXPECT_EQ(level, 1);
    SelectObject(dc, red);
    SetROP2(dc, R2_XORPEN);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 2, 2, nullptr);
    IntersectClipRect(dc, 0, 0, 2, 2);
    EXPECT_EQ(SaveDC(dc), 2);
    SetBkColor(dc, RGB(1, 1, 1));
    EXPECT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetBkColor(dc), kWhite);
    EXPECT_EQ(GetROP2(dc), R2_XORPEN);
    EXPECT_TRUE(RestoreDC(dc, level));
    EXPECT_EQ(GetROP2(dc), R2_COPYPEN);
    EXPECT_EQ(GetMapMode(dc), MM_TEXT);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box.right, 4);
    EXPECT_FALSE(RestoreDC(dc, 1));  // nothing left to restore
    EXPECT_TRUE(DeleteObject(red));
}

TEST_F(DrawTest, ObjectsDeletedWhileSelectedLiveUntilReleased) {
    Canvas c(4, 4);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(c.dc(), red);
    EXPECT_TRUE(DeleteObject(red));
    // Still selected: still draws.
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 2, 0);
    EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetObjectType(red), 0);  // gone now
    EXPECT_EQ(SelectObject(c.dc(), red), nullptr);

    // Stock objects survive DeleteObject.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
    LOGPEN lp;
    EXPECT_EQ(GetObject(GetStockObject(NULL_PEN), sizeof(lp), &lp), static_cast<int>(sizeof(lp)));
    EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_NULL));
    LOGBRUSH lb;
    GetObject(GetStockObject(GRAY_BRUSH), sizeof(lb), &lb);
    EXPECT_EQ(lb.lbColor, RGB(128, 128, 128));
}

TEST_F(DrawTest, DevicesWithoutPixelsGetShapesPainted) {
    // A printer page is a vector surface: shapes and text are painted on it through Cairo.
    cairo_surface_t* page = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    DeviceCapsInfo caps;
    caps.technology = DT_RASPRINTER;
    caps.horzRes = 200;
    caps.vertRes = 100;
    caps.logPixelsX = caps.logPixelsY = 300;
    HDC dc = CreateDeviceDC(DeviceKind::Printer, page, Region(0, 0, 200, 100), caps);
    EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 300);
    Rectangle(dc, 10, 20, 50, 60);
    double x, y, w, h;
    cairo_recording_surface_ink_extents(page, &x, &y, &w, &h);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 40);
    DeleteDC(dc);
    cairo_surface_destroy(page);
}

}  // namespace
}  // namespace win::testing
