#include "platform/bitmap.h"

#include "gdi_test_support.h"
#include "platform/text.h"

namespace win::testing {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

using BitmapTest = GdiTest;

// A memory DC with a colour bitmap of the given size, filled with one colour.
struct MemoryCanvas {
    MemoryCanvas(HDC ref, int w, int h, COLORREF fill) {
        dc = CreateCompatibleDC(ref);
        bmp = CreateCompatibleBitmap(ref, w, h);
        old = SelectObject(dc, bmp);
        HBRUSH b = CreateSolidBrush(fill);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    ~MemoryCanvas() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
};

TEST_F(BitmapTest, MemoryDrawingCopiedToTheScreen) {
    Canvas screen(40, 40);
    MemoryCanvas mem(screen.dc(), 10, 10, RGB(10, 20, 30));
    Rectangle(mem.dc, 2, 2, 6, 6);
    EXPECT_EQ(GetPixel(mem.dc, 2, 2), kBlack);
    EXPECT_EQ(GetPixel(mem.dc, 10, 0), CLR_INVALID);  // outside the bitmap
    EXPECT_EQ(GetDeviceCaps(mem.dc, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_TRUE(BitBlt(screen.dc(), 5, 5, 10, 10, mem.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(screen.At(5, 5), RGB(10, 20, 30));
    EXPECT_EQ(screen.At(7, 7), kBlack);
    EXPECT_EQ(screen.At(8, 8), kWhite);
    EXPECT_EQ(screen.At(15, 15), kWhite);
    BITMAP bm;
    GetObject(mem.bmp, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 10);
    EXPECT_EQ(bm.bmBitsPixel, 32);
}

TEST_F(BitmapTest, RasterOperationsOnKnownPixels) {
    Canvas screen(4, 1, RGB(0x0F, 0xF0, 0x33));
    MemoryCanvas src(screen.dc(), 4, 1, RGB(0xFF, 0x0F, 0x55));
    HBRUSH pattern = CreateSolidBrush(RGB(0x80, 0x80, 0x80));
    SelectObject(screen.dc(), pattern);
    struct {
        DWORD rop;
        COLORREF expected;
    } cases[] = {
        {SRCCOPY, RGB(0xFF, 0x0F, 0x55)},   {SRCINVERT, RGB(0xF0, 0xFF, 0x66)}, {SRCAND, RGB(0x0F, 0x00, 0x11)},
        {SRCPAINT, RGB(0xFF, 0xFF, 0x77)},  {NOTSRCCOPY, RGB(0x00, 0xF0, 0xAA)}, {DSTINVERT, RGB(0xF0, 0x0F, 0xCC)},
        {PATCOPY, RGB(0x80, 0x80, 0x80)},   {BLACKNESS, kBlack},                 {WHITENESS, kWhite},
        {PATINVERT, RGB(0x8F, 0x70, 0xB3)}, {SRCERASE, RGB(0xF0, 0x0F, 0x44)},   {MERGEPAINT, RGB(0x0F, 0xF0, 0xBB)},
    };
    for (const auto& t : cases) {
        screen.Clear(RGB(0x0F, 0xF0, 0x33));
        BitBlt(screen.dc(), 0, 0, 2, 1, src.dc, 0, 0, t.rop);
        EXPECT_EQ(screen.At(0, 0), t.expected) << std::hex << t.rop;
        EXPECT_EQ(screen.At(2, 0), RGB(0x0F, 0xF0, 0x33));
    }
    screen.Clear(RGB(0x0F, 0xF0, 0x33));
    PatBlt(screen.dc(), 1, 0, 1, 1, PATCOPY);
    EXPECT_EQ(screen.At(1, 0), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(screen.At(0, 0), RGB(0x0F, 0xF0, 0x33));
    SelectObject(screen.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(pattern);
}

TEST_F(BitmapTest, MonochromeConversionsFollowTextAndBackgroundColours) {
    Canvas screen(8, 2);
    // One row: bits 1100 0000 (white, white, black...).
    BYTE bits[] = {0xC0, 0x00, 0xC0, 0x00};
    HBITMAP mono = CreateBitmap(8, 2, 1, 1, bits);
    HDC mem = CreateCompatibleDC(screen.dc());
    HGDIOBJ old = SelectObject(mem, mono);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 1);
    SetTextColor(screen.dc(), RGB(255, 0, 0));
    SetBkColor(screen.dc(), RGB(0, 0, 255));
    BitBlt(screen.dc(), 0, 0, 8, 2, mem, 0, 0, SRCCOPY);
    EXPECT_EQ(screen.At(0, 0), RGB(0, 0, 255));  // 1 bits: background colour
    EXPECT_EQ(screen.At(2, 0), RGB(255, 0, 0));  // 0 bits: text colour

    // Colour to monochrome: the source's background colour becomes white, the rest black.
    screen.Clear(RGB(9, 9, 9));
    SetPixel(screen.dc(), 3, 1, RGB(200, 200, 200));
    SetBkColor(screen.dc(), RGB(9, 9, 9));
    BitBlt(mem, 0, 0, 8, 2, screen.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mem, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(mem, 3, 1), kBlack);
    // Drawing colours on a monochrome bitmap map to black or white.
    HPEN light = CreatePen(PS_SOLID, 1, RGB(250, 240, 200));
    HGDIOBJ oldPen = SelectObject(mem, light);
    MoveToEx(mem, 0, 1, nullptr);
    LineTo(mem, 2, 1);
    EXPECT_EQ(GetPixel(mem, 1, 1), kWhite);
    SelectObject(mem, oldPen);
    DeleteObject(light);

    // A fresh memory DC holds a 1x1 monochrome bitmap, so bitmaps compatible with it are monochrome.
    HDC fresh = CreateCompatibleDC(screen.dc());
    HBITMAP m = CreateCompatibleBitmap(fresh, 4, 4);
    BITMAP bm;
    GetObject(m, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    DeleteObject(m);
    DeleteDC(fresh);

    SelectObject(mem, old);
    DeleteObject(mono);
    DeleteDC(mem);
}

TEST_F(BitmapTest, BitmapsLiveInOneMemoryDCAtATime) {
    Canvas screen(4, 4);
    HDC a = CreateCompatibleDC(screen.dc());
    HDC b = CreateCompatibleDC(screen.dc());
    HBITMAP bmp = CreateCompatibleBitmap(screen.dc(), 4, 4);
    HGDIOBJ oldA = SelectObject(a, bmp);
    EXPECT_NE(oldA, nullptr);
    EXPECT_EQ(SelectObject(b, bmp), nullptr);
    EXPECT_EQ(SelectObject(screen.dc(), bmp), nullptr);  // not into a window DC
    SelectObject(a, oldA);
    EXPECT_NE(SelectObject(b, bmp), nullptr);
    DeleteDC(b);  // releases the bitmap
    EXPECT_NE(SelectObject(a, bmp), nullptr);
    DeleteDC(a);
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_EQ(GetObjectType(bmp), 0);
}

TEST_F(BitmapTest, StretchingEnlargesMirrorsAndShrinksKeepingLines) {
    Canvas screen(40, 40);
    MemoryCanvas src(screen.dc(), 4, 4, kWhite);
    SetPixel(src.dc, 0, 0, kBlack);
    StretchBlt(screen.dc(), 0, 0, 8, 8, src.dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(screen.At(0, 0), kBlack);
    EXPECT_EQ(screen.At(1, 1), kBlack);
    EXPECT_EQ(screen.At(2, 2), kWhite);
    // A negative destination width mirrors.
    screen.Clear(kWhite);
    StretchBlt(screen.dc(), 8, 0, -8, 8, src.dc, 0, 0, 4, 4, SRCCOPY);
    EXPECT_EQ(screen.At(7, 0), kBlack);
    EXPECT_EQ(screen.At(0, 0), kWhite);

    // Shrinking a one-pixel black line on white: BLACKONWHITE keeps it, COLORONCOLOR may drop it.
    MemoryCanvas page(screen.dc(), 40, 40, kWhite);
    for (int x = 0; x < 40; ++x) SetPixel(page.dc, x, 21, kBlack);
    screen.Clear(kWhite);
    StretchBlt(screen.dc(), 0, 0, 10, 10, page.dc, 0, 0, 40, 40, SRCCOPY);
    EXPECT_EQ(screen.At(5, 5), kBlack);
    EXPECT_EQ(GetStretchBltMode(screen.dc()), BLACKONWHITE);
    SetStretchBltMode(screen.dc(), COLORONCOLOR);
    screen.Clear(kWhite);
    StretchBlt(screen.dc(), 0, 0, 10, 10, page.dc, 0, 0, 40, 40, SRCCOPY);
    EXPECT_EQ(screen.At(5, 5), kWhite);
}

TEST_F(BitmapTest, OverlappingCopyOnOneSurface) {
    Canvas screen(10, 1);
    for (int x = 0; x < 10; ++x) SetPixel(screen.dc(), x, 0, RGB(x, 0, 0));
    // Moving right by 2 within the same surface reads all pixels before writing.
    BitBlt(screen.dc(), 2, 0, 8, 1, screen.dc(), 0, 0, SRCCOPY);
    for (int x = 2; x < 10; ++x) EXPECT_EQ(screen.At(x, 0), RGB(x - 2, 0, 0));
}

TEST_F(BitmapTest, LoadBitmapFromRegisteredResources) {
    EXPECT_EQ(LoadBitmap(nullptr, 1000), nullptr);
    RegisterBitmapResource(1000, [] { return CreateBitmap(3, 2, 1, 32, nullptr); });
    HBITMAP b = LoadBitmap(nullptr, 1000);
    ASSERT_NE(b, nullptr);
    BITMAP bm;
    GetObject(b, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    DeleteObject(b);
    SetBitmapResourceLoader([](UINT_PTR id) { return id == 7 ? CreateBitmap(1, 1, 1, 1, nullptr) : nullptr; });
    EXPECT_NE(LoadBitmap(nullptr, 7), nullptr);
    EXPECT_EQ(LoadBitmap(nullptr, 8), nullptr);
}

}  // namespace
}  // namespace win::testing
