#pragma once
// Device contexts. A DC draws into a Cairo surface: window DCs into the virtual screen at the
// window's client origin, clipped to its visible region; memory DCs into the bitmap selected into
// them; printer and metafile DCs are made by their own modules and carry their device kind so that
// GetDeviceCaps and the drawing code can tell them apart.
#include <cairo.h>

#include <memory>
#include <vector>

#include "platform/region.h"
#include "platform/win_types.h"

namespace win {

enum class DeviceKind { Display, Memory, Printer, Metafile };

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Attributes that SaveDC keeps and RestoreDC brings back.
struct DcAttributes {
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmap = nullptr;   // memory DCs only
    HGDIOBJ palette = nullptr;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int rop2 = 13;  // R2_COPYPEN
    UINT textAlign = 0;
    int polyFillMode = ALTERNATE;
    int stretchBltMode = 1;  // BLACKONWHITE
    int mapMode = 1;         // MM_TEXT
    POINT windowOrg{0, 0};
    SIZE windowExt{1, 1};
    POINT viewportOrg{0, 0};
    SIZE viewportExt{1, 1};
    POINT currentPos{0, 0};
    POINT brushOrg{0, 0};
    bool hasClip = false;
    Region clip;  // device units, relative to the DC's origin; meaningful when hasClip
};

// Fixed device properties answered by GetDeviceCaps.
struct DeviceCapsInfo {
    int technology = 1;  // DT_RASDISPLAY
    int horzSizeMm = 0;
    int vertSizeMm = 0;
    int horzRes = 0;
    int vertRes = 0;
    int logPixelsX = 96;
    int logPixelsY = 96;
    int bitsPixel = 32;
    int planes = 1;
    int numColors = -1;
    int rasterCaps = 0;
    int physicalWidth = 0;
    int physicalHeight = 0;
    int physicalOffsetX = 0;
    int physicalOffsetY = 0;
};

// Data that a later module (printer, metafile recorder) hangs on its DCs.
struct DcExtension {
    virtual ~DcExtension() = default;
};

struct DeviceContextObject {
    DeviceKind kind = DeviceKind::Display;
    cairo_surface_t* surface = nullptr;  // not owned
    POINT origin{0, 0};                  // device (0,0) on the surface
    Region visRgn;                       // surface coordinates; drawing never leaves it
    HWND window = nullptr;
    DcAttributes attr;
    std::vector<DcAttributes> saved;
    DeviceCapsInfo caps;
    std::unique_ptr<DcExtension> extension;
};

// Window DCs (used by GetDC / BeginPaint). visibleClip is in target-surface coordinates; origin
// is where the window's client (0,0) lies on the surface. The DC starts with default attributes.
HDC CreateWindowDC(cairo_surface_t* target, POINT origin, const Region& visibleClip, HWND window = nullptr);
void DestroyWindowDC(HDC dc);
// Moves a live window DC when its window moved or its visible region changed.
void SetWindowDCVisibleRegion(HDC dc, POINT origin, const Region& visibleClip);
HWND WindowFromDC(HDC dc);

// A DC of any kind over a surface, for the printer and metafile modules. The caller fills caps.
HDC CreateDeviceDC(DeviceKind kind, cairo_surface_t* target, const Region& visibleClip, const DeviceCapsInfo& caps);
BOOL DeleteDC(HDC dc);

// True while the handle names a live DC.
bool IsValidDC(HDC dc);

// Attribute access shared by the Set/Get functions: a bad DC gives `fail` (or FALSE).
template <typename T>
T ExchangeAttribute(HDC dc, T DcAttributes::*field, T value, T fail) {
    if (!IsValidDC(dc)) return fail;
    T old = dc->attr.*field;
    dc->attr.*field = value;
    return old;
}
template <typename T>
BOOL ExchangeAttributeEx(HDC dc, T DcAttributes::*field, T value, T* old) {
    if (!IsValidDC(dc)) return FALSE;
    if (old != nullptr) *old = dc->attr.*field;
    dc->attr.*field = value;
    return TRUE;
}
template <typename T>
T GetAttribute(HDC dc, T DcAttributes::*field, T fail) {
    return IsValidDC(dc) ? dc->attr.*field : fail;
}
template <typename T>
BOOL GetAttributeEx(HDC dc, T DcAttributes::*field, T* out) {
    if (!IsValidDC(dc) || out == nullptr) return FALSE;
    *out = dc->attr.*field;
    return TRUE;
}

int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int savedDc);

// GetDeviceCaps indices.
constexpr int DRIVERVERSION = 0;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMBRUSHES = 16;
constexpr int NUMPENS = 18;
constexpr int NUMFONTS = 22;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int ASPECTX = 40;
constexpr int ASPECTY = 42;
constexpr int ASPECTXY = 44;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int NUMRESERVED = 106;
constexpr int COLORRES = 108;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;

// TECHNOLOGY answers.
constexpr int DT_PLOTTER = 0;
constexpr int DT_RASDISPLAY = 1;
constexpr int DT_RASPRINTER = 2;
constexpr int DT_METAFILE = 5;

// RASTERCAPS bits.
constexpr int RC_BITBLT = 1;
constexpr int RC_BANDING = 2;
constexpr int RC_SCALING = 4;
constexpr int RC_BITMAP64 = 8;
constexpr int RC_PALETTE = 0x0100;
constexpr int RC_STRETCHBLT = 0x0800;

int GetDeviceCaps(HDC dc, int index);

}  // namespace win
