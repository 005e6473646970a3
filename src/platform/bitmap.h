#pragma once
// Bitmaps and memory DCs: device-dependent bitmaps held as Cairo image surfaces (colour ones at
// 32 bits, monochrome ones as black/white pixels of the same format), memory DCs drawing into the
// bitmap selected into them, LoadBitmap through the resource hook, and BitBlt / StretchBlt /
// PatBlt with ternary raster operations applied bitwise.
#include <cairo.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdi_objects.h"
#include "platform/win_types.h"

namespace win {

// Ternary raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// StretchBlt modes.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int STRETCH_ANDSCANS = BLACKONWHITE;
constexpr int STRETCH_ORSCANS = WHITEONBLACK;
constexpr int STRETCH_DELETESCANS = COLORONCOLOR;

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 1;
    void* bmBits = nullptr;
};

struct BitmapObject : GdiObject {
    BitmapObject() : GdiObject(GdiKind::Bitmap) {}
    ~BitmapObject() override;
    cairo_surface_t* surface = nullptr;  // owned, CAIRO_FORMAT_RGB24
    int width = 0;
    int height = 0;
    bool mono = false;
    HDC selectedInto = nullptr;  // a bitmap lives in at most one memory DC
};

// Pixel access helpers (0x00RRGGBB values; the surface is flushed / marked dirty by the caller).
std::uint32_t* BitmapRow(BitmapObject& bmp, int y);

HDC CreateCompatibleDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// planes * bitsPerPixel == 1 makes a monochrome bitmap; bits, when given, are rows of 1-bit
// pixels padded to 16 bits (1 = white). Other depths make a colour bitmap; bits given as
// 32-bit 0x00RRGGBB pixels when bitsPerPixel is 32, else ignored (the bitmap starts black).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateBitmapIndirect(const BITMAP* bm);
// A new bitmap of a resource: one registered at run time, else one the loader hook makes, else,
// for the program's instance, its compiled picture (platform/resources.h). Null when none.
HBITMAP LoadBitmap(HINSTANCE instance, UINT_PTR id);
// Adds a bitmap resource known by id, found before the compiled ones (tests, made pictures).
void RegisterBitmapResource(UINT_PTR id, std::function<HBITMAP()> maker);
void SetBitmapResourceLoader(std::function<HBITMAP(UINT_PTR)> loader);

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);

// Layer-internal: makes a memory DC draw into its selected bitmap.
void SyncMemoryDcSurface(HDC dc);
// Creates a bitmap object with a cleared surface (white for monochrome, black for colour).
BitmapObject* NewBitmapObject(int width, int height, bool mono);

}  // namespace win
