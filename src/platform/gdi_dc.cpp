#include "platform/gdi_dc.h"

#include "platform/bitmap.h"
#include "platform/gdi_state.h"
#include "platform/metafile_hooks.h"

namespace win {

namespace {

Region SurfaceBounds(cairo_surface_t* surface) {
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return {};
    return Region(0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface));
}

DeviceCapsInfo DisplayCaps(cairo_surface_t* surface) {
    DeviceCapsInfo caps;
    RECT b = SurfaceBounds(surface).Bounds();
    caps.technology = DT_RASDISPLAY;
    caps.horzRes = b.right;
    caps.vertRes = b.bottom;
    caps.logPixelsX = 96;
    caps.logPixelsY = 96;
    caps.horzSizeMm = (b.right * 254 + 480) / 960;
    caps.vertSizeMm = (b.bottom * 254 + 480) / 960;
    caps.bitsPixel = 32;
    caps.numColors = -1;
    caps.rasterCaps = RC_BITBLT | RC_BITMAP64 | RC_STRETCHBLT;
    caps.physicalWidth = b.right;
    caps.physicalHeight = b.bottom;
    return caps;
}

// A memory DC lets go of its bitmap so that another DC may select it.
void UnbindBitmap(HDC dc, const DcAttributes& a) {
    auto* bmp = static_cast<BitmapObject*>(a.bitmap);
    if (bmp != nullptr && bmp->selectedInto == dc) bmp->selectedInto = nullptr;
}

HDC AddDC(std::unique_ptr<DeviceContextObject> dc) {
    HDC handle = dc.get();
    Gdi().dcs.emplace(handle, std::move(dc));
    return handle;
}

}  // namespace

bool IsValidDC(HDC dc) { return dc != nullptr && Gdi().dcs.count(dc) != 0; }

HDC CreateWindowDC(cairo_surface_t* target, POINT origin, const Region& visibleClip, HWND window) {
    auto dc = std::make_unique<DeviceContextObject>();
    dc->kind = DeviceKind::Display;
    dc->surface = target;
    dc->origin = origin;
    dc->visRgn = visibleClip.Intersect(SurfaceBounds(target));
    dc->window = window;
    dc->caps = DisplayCaps(target);
    InitDefaultAttributes(dc->attr, false);
    return AddDC(std::move(dc));
}

HDC CreateDeviceDC(DeviceKind kind, cairo_surface_t* target, const Region& visibleClip, const DeviceCapsInfo& caps) {
    auto dc = std::make_unique<DeviceContextObject>();
    dc->kind = kind;
    dc->surface = target;
    dc->visRgn = visibleClip;
    dc->caps = caps;
    InitDefaultAttributes(dc->attr, kind == DeviceKind::Memory);
    HDC handle = AddDC(std::move(dc));
    if (kind == DeviceKind::Memory) SyncMemoryDcSurface(handle);
    return handle;
}

void SetWindowDCVisibleRegion(HDC dc, POINT origin, const Region& visibleClip) {
    if (!IsValidDC(dc)) return;
    dc->origin = origin;
    dc->visRgn = visibleClip.Intersect(SurfaceBounds(dc->surface));
}

HWND WindowFromDC(HDC dc) { return IsValidDC(dc) ? dc->window : nullptr; }

BOOL DeleteDC(HDC dc) {
    if (!IsValidDC(dc)) return FALSE;
    UnbindBitmap(dc, dc->attr);
    for (DcAttributes& a : dc->saved) {
        UnbindBitmap(dc, a);
        ReleaseAttributes(a);
    }
    dc->saved.clear();
    ReleaseAttributes(dc->attr);
    Gdi().dcs.erase(dc);
    return TRUE;
}

void DestroyWindowDC(HDC dc) { DeleteDC(dc); }

int SaveDC(HDC dc) {
    RecordMetaSaveDC(dc);
    if (!IsValidDC(dc)) return 0;
    DcAttributes copy = dc->attr;
    for (HGDIOBJ o : {copy.pen, copy.brush, copy.font, copy.bitmap, copy.palette}) RetainSelected(o);
    dc->saved.push_back(std::move(copy));
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC dc, int savedDc) {
    RecordMetaRestoreDC(dc, savedDc);
    if (!IsValidDC(dc)) return FALSE;
    int level = static_cast<int>(dc->saved.size());
    int target = savedDc < 0 ? level + savedDc + 1 : savedDc;
    if (target < 1 || target > level) return FALSE;
    while (static_cast<int>(dc->saved.size()) > target) {
        ReleaseAttributes(dc->saved.back());
        dc->saved.pop_back();
    }
    UnbindBitmap(dc, dc->attr);
    ReleaseAttributes(dc->attr);
    dc->attr = std::move(dc->saved.back());
    dc->saved.pop_back();
    if (dc->kind == DeviceKind::Memory) SyncMemoryDcSurface(dc);
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!IsValidDC(dc)) return 0;
    const DeviceCapsInfo& c = dc->caps;
    switch (index) {
        case DRIVERVERSION: return 0x400;
        case TECHNOLOGY: return c.technology;
        case HORZSIZE: return c.horzSizeMm;
        case VERTSIZE: return c.vertSizeMm;
        case HORZRES: return c.horzRes;
        case VERTRES: return c.vertRes;
        case BITSPIXEL: return c.bitsPixel;
        case PLANES: return c.planes;
        case NUMBRUSHES: return -1;
        case NUMPENS: return -1;
        case NUMFONTS: return 0;
        case NUMCOLORS: return c.numColors;
        case RASTERCAPS: return c.rasterCaps;
        case ASPECTX: return 36;
        case ASPECTY: return 36;
        case ASPECTXY: return 51;
        case LOGPIXELSX: return c.logPixelsX;
        case LOGPIXELSY: return c.logPixelsY;
        case SIZEPALETTE: return 0;
        case NUMRESERVED: return 20;
        case COLORRES: return 24;
        case PHYSICALWIDTH: return c.physicalWidth;
        case PHYSICALHEIGHT: return c.physicalHeight;
        case PHYSICALOFFSETX: return c.physicalOffsetX;
        case PHYSICALOFFSETY: return c.physicalOffsetY;
        default: return 0;
    }
}

}  // namespace win
