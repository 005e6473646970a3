#pragma once
// GDI objects: pens, brushes, regions and palettes (fonts and bitmaps have their own headers),
// stock objects, SelectObject / DeleteObject / GetObject, and the classic constants they use.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/region.h"
#include "platform/win_types.h"

namespace win {

enum class GdiKind { Pen, Brush, Font, Bitmap, Region, Palette };

struct GdiObject {
    explicit GdiObject(GdiKind k) : kind(k) {}
    virtual ~GdiObject() = default;
    GdiKind kind;
    bool stock = false;
    int selectCount = 0;         // DCs that hold it selected
    bool deletePending = false;  // deleted while selected: freed when the last DC lets go
};

// Object types returned by GetObjectType.
constexpr int OBJ_PEN = 1;
constexpr int OBJ_BRUSH = 2;
constexpr int OBJ_DC = 3;
constexpr int OBJ_METADC = 4;
constexpr int OBJ_PAL = 5;
constexpr int OBJ_FONT = 6;
constexpr int OBJ_BITMAP = 7;
constexpr int OBJ_REGION = 8;
constexpr int OBJ_METAFILE = 9;
constexpr int OBJ_MEMDC = 10;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;
constexpr int PS_STYLE_MASK = 0x0F;

// Brush styles and hatches.
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;
constexpr UINT BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int DEFAULT_PALETTE = 15;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

// Palette colour references.
constexpr COLORREF PALETTEINDEX(WORD i) { return 0x01000000u | i; }
constexpr COLORREF PALETTERGB(BYTE r, BYTE g, BYTE b) { return 0x02000000u | RGB(r, g, b); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// Palette entry flags.
constexpr BYTE PC_RESERVED = 0x01;
constexpr BYTE PC_EXPLICIT = 0x02;
constexpr BYTE PC_NOCOLLAPSE = 0x04;

struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    POINT lopnWidth{0, 0};
    COLORREF lopnColor = 0;
};

struct LOGBRUSH {
    UINT lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    ULONG_PTR lbHatch = 0;
};

struct PALETTEENTRY {
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

struct LOGPALETTE {
    WORD palVersion = 0x300;
    std::vector<PALETTEENTRY> palPalEntry;  // palNumEntries is its size
};

struct PenObject : GdiObject {
    PenObject() : GdiObject(GdiKind::Pen) {}
    LOGPEN log;
};

struct BrushObject : GdiObject {
    BrushObject() : GdiObject(GdiKind::Brush) {}
    LOGBRUSH log;
    // BS_PATTERN: 8x8 pixels copied from the bitmap at creation, 0x00RRGGBB. A monochrome pattern
    // keeps its bits (1 = background colour) so it follows the DC's text and background colours.
    bool monoPattern = false;
    std::vector<std::uint32_t> pattern;
};

struct RegionObject : GdiObject {
    RegionObject() : GdiObject(GdiKind::Region) {}
    Region rgn;
};

struct PaletteObject : GdiObject {
    PaletteObject() : GdiObject(GdiKind::Palette) {}
    std::vector<PALETTEENTRY> entries;
};

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* lp);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);
int GetObjectType(HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC dc, UINT objType);
// GetObject fills the classic structure for the object's kind: LOGPEN, LOGBRUSH, LOGFONT, BITMAP,
// or a WORD entry count for palettes. Returns the bytes written (or needed when out is null).
int GetObject(HGDIOBJ obj, int size, void* out);

HPALETTE CreatePalette(const LOGPALETTE* lp);
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground);
UINT RealizePalette(HDC dc);
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out);
UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* in);
BOOL AnimatePalette(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* in);
UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color);

// Layer-internal helpers.
bool IsValidGdiObject(HGDIOBJ obj);
template <typename T>
T* GdiCast(HGDIOBJ obj, GdiKind kind) {
    return IsValidGdiObject(obj) && obj->kind == kind ? static_cast<T*>(obj) : nullptr;
}
// Takes ownership of a new object and returns its handle.
HGDIOBJ RegisterGdiObject(std::unique_ptr<GdiObject> obj);
// Keeps selection counts so objects deleted while selected live until released.
void RetainSelected(HGDIOBJ obj);
void ReleaseSelected(HGDIOBJ obj);
// Fills attributes with the default stock objects (and retains them).
void InitDefaultAttributes(struct DcAttributes& attr, bool memoryDc);
// Releases every object an attribute set holds.
void ReleaseAttributes(struct DcAttributes& attr);
// Resolves PALETTEINDEX / PALETTERGB against the DC's selected palette; plain RGB is returned as is.
COLORREF ResolveColor(HDC dc, COLORREF color);

}  // namespace win
