#include "platform/gdi_mapping.h"

#include <cmath>
#include <cstdlib>

#include "platform/gdi_dc.h"
#include "platform/metafile_hooks.h"

namespace win {

namespace {

// a / b rounded half away from zero.
std::int64_t RoundDiv(std::int64_t a, std::int64_t b) {
    if (b < 0) {
        a = -a;
        b = -b;
    }
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

bool IsFixedScaleMode(int mode) { return mode >= MM_LOMETRIC && mode <= MM_TWIPS; }

// Metric and English modes: logical units per inch; y grows upwards.
void SetFixedExtents(HDC dc, int mode) {
    static constexpr int kUnitsPerInch[] = {0, 0, 254, 2540, 100, 1000, 1440};
    int units = kUnitsPerInch[mode];
    dc->attr.windowExt = {units, units};
    dc->attr.viewportExt = {dc->caps.logPixelsX, -dc->caps.logPixelsY};
}

// Isotropic mode keeps equal scales by shrinking the larger viewport extent (signs are kept).
void FixIsotropic(DcAttributes& a) {
    if (a.mapMode != MM_ISOTROPIC || a.windowExt.cx == 0 || a.windowExt.cy == 0) return;
    double xs = std::fabs(double(a.viewportExt.cx) / a.windowExt.cx);
    double ys = std::fabs(double(a.viewportExt.cy) / a.windowExt.cy);
    if (xs > ys) {
        auto v = static_cast<LONG>(std::lround(std::fabs(double(a.windowExt.cx)) * ys));
        a.viewportExt.cx = a.viewportExt.cx < 0 ? -v : v;
    } else if (ys > xs) {
        auto v = static_cast<LONG>(std::lround(std::fabs(double(a.windowExt.cy)) * xs));
        a.viewportExt.cy = a.viewportExt.cy < 0 ? -v : v;
    }
}

}  // namespace

int SetMapMode(HDC dc, int mode) {
    if (IsMetafileDC(dc)) return MetaSetMapMode(dc, mode);
    if (!IsValidDC(dc) || mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
    DcAttributes& a = dc->attr;
    int old = a.mapMode;
    a.mapMode = mode;
    if (mode == MM_TEXT) {
        a.windowExt = {1, 1};
        a.viewportExt = {1, 1};
    } else if (IsFixedScaleMode(mode)) {
        SetFixedExtents(dc, mode);
    } else if (mode == MM_ISOTROPIC && old != MM_ANISOTROPIC && old != MM_ISOTROPIC) {
        // Entering a scalable mode from a fixed one starts from the metric scale, as GDI does.
        SetFixedExtents(dc, MM_LOMETRIC);
        FixIsotropic(a);
    }
    return old;
}

int GetMapMode(HDC dc) {
    if (IsMetafileDC(dc)) return MetaGetMapMode(dc);
    return GetAttribute(dc, &DcAttributes::mapMode, 0); }

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* old) {
    if (IsMetafileDC(dc)) return MetaSetWindowOrgEx(dc, x, y, old);
    return ExchangeAttributeEx(dc, &DcAttributes::windowOrg, POINT{x, y}, old);
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
    if (IsMetafileDC(dc)) return MetaSetViewportOrgEx(dc, x, y, old);
    return ExchangeAttributeEx(dc, &DcAttributes::viewportOrg, POINT{x, y}, old);
}

BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old) {
    if (IsMetafileDC(dc)) return MetaOffsetWindowOrgEx(dc, dx, dy, old);
    if (!IsValidDC(dc)) return FALSE;
    return SetWindowOrgEx(dc, dc->attr.windowOrg.x + dx, dc->attr.windowOrg.y + dy, old);
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old) {
    if (IsMetafileDC(dc)) return MetaOffsetViewportOrgEx(dc, dx, dy, old);
    if (!IsValidDC(dc)) return FALSE;
    return SetViewportOrgEx(dc, dc->attr.viewportOrg.x + dx, dc->attr.viewportOrg.y + dy, old);
}

BOOL SetWindowExtEx(HDC dc, int x, int y, SIZE* old) {
    if (IsMetafileDC(dc)) return MetaSetWindowExtEx(dc, x, y, old);
    if (!IsValidDC(dc)) return FALSE;
    DcAttributes& a = dc->attr;
    if (old) *old = a.windowExt;
    // Extents only change in the scalable modes; zero extents are refused.
    if (a.mapMode != MM_ISOTROPIC && a.mapMode != MM_ANISOTROPIC) return TRUE;
    if (x == 0 || y == 0) return FALSE;
    a.windowExt = {x, y};
    FixIsotropic(a);
    return TRUE;
}

BOOL SetViewportExtEx(HDC dc, int x, int y, SIZE* old) {
    if (IsMetafileDC(dc)) return MetaSetViewportExtEx(dc, x, y, old);
    if (!IsValidDC(dc)) return FALSE;
    DcAttributes& a = dc->attr;
    if (old) *old = a.viewportExt;
    if (a.mapMode != MM_ISOTROPIC && a.mapMode != MM_ANISOTROPIC) return TRUE;
    if (x == 0 || y == 0) return FALSE;
    a.viewportExt = {x, y};
    FixIsotropic(a);
    return TRUE;
}

BOOL ScaleWindowExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
    if (IsMetafileDC(dc)) return MetaScaleWindowExtEx(dc, xNum, xDenom, yNum, yDenom, old);
    if (!IsValidDC(dc) || xDenom == 0 || yDenom == 0) return FALSE;
    SIZE e = dc->attr.windowExt;
    return SetWindowExtEx(dc, static_cast<int>(RoundDiv(std::int64_t(e.cx) * xNum, xDenom)),
                          static_cast<int>(RoundDiv(std::int64_t(e.cy) * yNum, yDenom)), old);
}

BOOL ScaleViewportExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
    if (IsMetafileDC(dc)) return MetaScaleViewportExtEx(dc, xNum, xDenom, yNum, yDenom, old);
    if (!IsValidDC(dc) || xDenom == 0 || yDenom == 0) return FALSE;
    SIZE e = dc->attr.viewportExt;
    return SetViewportExtEx(dc, static_cast<int>(RoundDiv(std::int64_t(e.cx) * xNum, xDenom)),
                            static_cast<int>(RoundDiv(std::int64_t(e.cy) * yNum, yDenom)), old);
}

BOOL GetDCOrgEx(HDC dc, POINT* out) {
    if (!IsValidDC(dc) || !out) return FALSE;
    *out = dc->origin;
    return TRUE;
}

BOOL GetWindowOrgEx(HDC dc, POINT* out) {
    if (IsMetafileDC(dc)) return MetaGetWindowOrgEx(dc, out);
    return GetAttributeEx(dc, &DcAttributes::windowOrg, out); }

BOOL GetWindowExtEx(HDC dc, SIZE* out) {
    if (IsMetafileDC(dc)) return MetaGetWindowExtEx(dc, out);
    return GetAttributeEx(dc, &DcAttributes::windowExt, out); }

BOOL GetViewportOrgEx(HDC dc, POINT* out) {
    if (IsMetafileDC(dc)) return MetaGetViewportOrgEx(dc, out);
    return GetAttributeEx(dc, &DcAttributes::viewportOrg, out); }

BOOL GetViewportExtEx(HDC dc, SIZE* out) {
    if (IsMetafileDC(dc)) return MetaGetViewportExtEx(dc, out);
    return GetAttributeEx(dc, &DcAttributes::viewportExt, out); }

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
    return ExchangeAttributeEx(dc, &DcAttributes::brushOrg, POINT{x, y}, old);
}

POINT DcTransform::ToDevice(LONG x, LONG y) const {
    return {static_cast<LONG>(std::lround(x * sx + tx)), static_cast<LONG>(std::lround(y * sy + ty))};
}

DcTransform TransformOf(HDC dc) {
    const DcAttributes& a = dc->attr;
    DcTransform t;
    t.sx = double(a.viewportExt.cx) / a.windowExt.cx;
    t.sy = double(a.viewportExt.cy) / a.windowExt.cy;
    t.tx = a.viewportOrg.x - a.windowOrg.x * t.sx;
    t.ty = a.viewportOrg.y - a.windowOrg.y * t.sy;
    return t;
}

BOOL LPtoDP(HDC dc, POINT* points, int count) {
    if (!IsValidDC(dc) || (count > 0 && points == nullptr)) return FALSE;
    const DcAttributes& a = dc->attr;
    for (int i = 0; i < count; ++i) {
        points[i].x = static_cast<LONG>(
            RoundDiv(std::int64_t(points[i].x - a.windowOrg.x) * a.viewportExt.cx, a.windowExt.cx) + a.viewportOrg.x);
        points[i].y = static_cast<LONG>(
            RoundDiv(std::int64_t(points[i].y - a.windowOrg.y) * a.viewportExt.cy, a.windowExt.cy) + a.viewportOrg.y);
    }
    return TRUE;
}

BOOL DPtoLP(HDC dc, POINT* points, int count) {
    if (!IsValidDC(dc) || (count > 0 && points == nullptr)) return FALSE;
    const DcAttributes& a = dc->attr;
    for (int i = 0; i < count; ++i) {
        points[i].x = static_cast<LONG>(
            RoundDiv(std::int64_t(points[i].x - a.viewportOrg.x) * a.windowExt.cx, a.viewportExt.cx) + a.windowOrg.x);
        points[i].y = static_cast<LONG>(
            RoundDiv(std::int64_t(points[i].y - a.viewportOrg.y) * a.windowExt.cy, a.viewportExt.cy) + a.windowOrg.y);
    }
    return TRUE;
}

int DeviceLengthX(HDC dc, int logical) {
    const DcAttributes& a = dc->attr;
    return static_cast<int>(std::llabs(RoundDiv(std::int64_t(logical) * a.viewportExt.cx, a.windowExt.cx)));
}

int DeviceLengthY(HDC dc, int logical) {
    const DcAttributes& a = dc->attr;
    return static_cast<int>(std::llabs(RoundDiv(std::int64_t(logical) * a.viewportExt.cy, a.windowExt.cy)));
}

int LogicalLengthX(HDC dc, int device) {
    const DcAttributes& a = dc->attr;
    return static_cast<int>(std::llabs(RoundDiv(std::int64_t(device) * a.windowExt.cx, a.viewportExt.cx)));
}

int LogicalLengthY(HDC dc, int device) {
    const DcAttributes& a = dc->attr;
    return static_cast<int>(std::llabs(RoundDiv(std::int64_t(device) * a.windowExt.cy, a.viewportExt.cy)));
}

RECT LogicalRectToSurface(HDC dc, int left, int top, int right, int bottom) {
    POINT p[2] = {{left, top}, {right, bottom}};
    LPtoDP(dc, p, 2);
    RECT r{std::min(p[0].x, p[1].x), std::min(p[0].y, p[1].y), std::max(p[0].x, p[1].x), std::max(p[0].y, p[1].y)};
    OffsetRect(&r, dc->origin.x, dc->origin.y);
    return r;
}

}  // namespace win
