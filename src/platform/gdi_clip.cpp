#include "platform/gdi_clip.h"

#include <algorithm>

#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/metafile_hooks.h"

namespace win {

namespace {

RegionObject* RgnObj(HRGN rgn) { return GdiCast<RegionObject>(rgn, GdiKind::Region); }

HRGN NewRegion(Region r) {
    auto obj = std::make_unique<RegionObject>();
    obj->rgn = std::move(r);
    return RegisterGdiObject(std::move(obj));
}

RECT Normalized(int left, int top, int right, int bottom) {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

// A region object's rectangles mapped through the DC's transform into surface coordinates.
Region RegionToSurface(HDC dc, const Region& rgn) {
    const DcAttributes& a = dc->attr;
    bool identity = a.windowExt.cx == a.viewportExt.cx && a.windowExt.cy == a.viewportExt.cy;
    Region out;
    if (identity) {
        out = rgn;
        out.Offset(a.viewportOrg.x - a.windowOrg.x + dc->origin.x, a.viewportOrg.y - a.windowOrg.y + dc->origin.y);
        return out;
    }
    std::vector<RECT> rects;
    for (const RECT& r : rgn.Rects()) rects.push_back(LogicalRectToSurface(dc, r.left, r.top, r.right, r.bottom));
    return Region::FromRects(rects);
}

// The clip in device units relative to the DC origin, or the whole visible area when none is set.
Region CurrentClipOrVisible(HDC dc) {
    if (dc->attr.hasClip) return dc->attr.clip;
    Region vis = dc->visRgn;
    vis.Offset(-dc->origin.x, -dc->origin.y);
    return vis;
}

int SetClip(HDC dc, Region r) {
    dc->attr.clip = std::move(r);
    dc->attr.hasClip = true;
    return DeviceClip(dc).Kind();
}

RECT LogicalToDeviceRect(HDC dc, int left, int top, int right, int bottom) {
    RECT r = LogicalRectToSurface(dc, left, top, right, bottom);
    OffsetRect(&r, -dc->origin.x, -dc->origin.y);
    return r;
}

BOOL FillSurfaceRegion(HDC dc, const Region& surfaceRgn, const Paint& paint, DWORD rop) {
    for (const RECT& r : surfaceRgn.Rects()) ApplyBlt(dc, r, nullptr, 0, paint, rop);
    return TRUE;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) { return NewRegion(Region(Normalized(left, top, right, bottom))); }

HRGN CreateRectRgnIndirect(const RECT* r) {
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
    return NewRegion(Region::FromEllipse(Normalized(left, top, right, bottom)));
}

HRGN CreateEllipticRgnIndirect(const RECT* r) {
    return r ? CreateEllipticRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
    if (points == nullptr || count < 0 || (fillMode != ALTERNATE && fillMode != WINDING)) return nullptr;
    return NewRegion(Region::FromPolygon(std::span<const POINT>(points, count), fillMode));
}

HRGN CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode) {
    if (points == nullptr || counts == nullptr || polygons < 0 || (fillMode != ALTERNATE && fillMode != WINDING)) {
        return nullptr;
    }
    size_t total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 0) return nullptr;
        total += static_cast<size_t>(counts[i]);
    }
    return NewRegion(Region::FromPolyPolygon(std::span<const POINT>(points, total),
                                             std::span<const int>(counts, polygons), fillMode));
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    RegionObject* d = RgnObj(dst);
    RegionObject* ra = RgnObj(a);
    if (d == nullptr || ra == nullptr || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    if (mode == RGN_COPY) {
        d->rgn = ra->rgn;
        return d->rgn.Kind();
    }
    RegionObject* rb = RgnObj(b);
    if (rb == nullptr) return ERROR;
    d->rgn = ra->rgn.Combine(rb->rgn, mode);
    return d->rgn.Kind();
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    RegionObject* r = RgnObj(rgn);
    if (r == nullptr) return FALSE;
    r->rgn = Region(Normalized(left, top, right, bottom));
    return TRUE;
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    RegionObject* r = RgnObj(rgn);
    if (r == nullptr) return ERROR;
    r->rgn.Offset(dx, dy);
    return r->rgn.Kind();
}

int GetRgnBox(HRGN rgn, RECT* out) {
    RegionObject* r = RgnObj(rgn);
    if (r == nullptr || out == nullptr) return ERROR;
    *out = r->rgn.Bounds();
    return r->rgn.Kind();
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    RegionObject* r = RgnObj(rgn);
    return r != nullptr && r->rgn.Contains(x, y) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
    RegionObject* r = RgnObj(rgn);
    if (r == nullptr || rect == nullptr) return FALSE;
    return r->rgn.Intersects(Normalized(rect->left, rect->top, rect->right, rect->bottom)) ? TRUE : FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    RegionObject* ra = RgnObj(a);
    RegionObject* rb = RgnObj(b);
    if (ra == nullptr || rb == nullptr) return ERROR;
    return ra->rgn == rb->rgn ? TRUE : FALSE;
}

const Region* RegionOf(HRGN rgn) {
    RegionObject* r = RgnObj(rgn);
    return r ? &r->rgn : nullptr;
}

BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
    RegionObject* r = RgnObj(rgn);
    if (!IsValidDC(dc) || r == nullptr || !IsValidGdiObject(brush)) return FALSE;
    return FillSurfaceRegion(dc, RegionToSurface(dc, r->rgn), BrushPaint(dc, brush), PATCOPY);
}

BOOL PaintRgn(HDC dc, HRGN rgn) {
    RegionObject* r = RgnObj(rgn);
    if (!IsValidDC(dc) || r == nullptr) return FALSE;
    Region s = RegionToSurface(dc, r->rgn);
    Mask m(s.Bounds());
    m.SetRegion(s);
    ApplyMask(dc, m, BrushPaint(dc, dc->attr.brush), dc->attr.rop2);
    return TRUE;
}

BOOL InvertRgn(HDC dc, HRGN rgn) {
    RegionObject* r = RgnObj(rgn);
    if (!IsValidDC(dc) || r == nullptr) return FALSE;
    return FillSurfaceRegion(dc, RegionToSurface(dc, r->rgn), Paint{}, DSTINVERT);
}

BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int width, int height) {
    RegionObject* r = RgnObj(rgn);
    if (!IsValidDC(dc) || r == nullptr || !IsValidGdiObject(brush) || width <= 0 || height <= 0) return FALSE;
    Region s = RegionToSurface(dc, r->rgn);
    // The frame is the region minus its erosion: pixels within width/height of the outside.
    Region across = s;
    for (int dx = -width; dx <= width; ++dx) {
        Region shifted = s;
        shifted.Offset(dx, 0);
        across = across.Intersect(shifted);
    }
    Region inner = across;
    for (int dy = -height; dy <= height; ++dy) {
        Region shifted = across;
        shifted.Offset(0, dy);
        inner = inner.Intersect(shifted);
    }
    return FillSurfaceRegion(dc, s.Subtract(inner), BrushPaint(dc, brush), PATCOPY);
}

int SelectClipRgn(HDC dc, HRGN rgn) { return ExtSelectClipRgn(dc, rgn, RGN_COPY); }

int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode) {
    if (!IsValidDC(dc)) return ERROR;
    RegionObject* r = RgnObj(rgn);
    if (r == nullptr) {
        if (rgn != nullptr || mode != RGN_COPY) return ERROR;
        dc->attr.hasClip = false;
        dc->attr.clip.Clear();
        return DeviceClip(dc).Kind();
    }
    if (mode == RGN_COPY) return SetClip(dc, r->rgn);
    if (mode < RGN_AND || mode > RGN_DIFF) return ERROR;
    return SetClip(dc, CurrentClipOrVisible(dc).Combine(r->rgn, mode));
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    RecordMetaIntersectClipRect(dc, left, top, right, bottom);
    if (!IsValidDC(dc)) return ERROR;
    Region rect(LogicalToDeviceRect(dc, left, top, right, bottom));
    return SetClip(dc, CurrentClipOrVisible(dc).Intersect(rect));
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    RecordMetaExcludeClipRect(dc, left, top, right, bottom);
    if (!IsValidDC(dc)) return ERROR;
    Region rect(LogicalToDeviceRect(dc, left, top, right, bottom));
    return SetClip(dc, CurrentClipOrVisible(dc).Subtract(rect));
}

int OffsetClipRgn(HDC dc, int dx, int dy) {
    if (!IsValidDC(dc)) return ERROR;
    if (!dc->attr.hasClip) return DeviceClip(dc).Kind();
    dc->attr.clip.Offset(DeviceLengthX(dc, dx) * (dx < 0 ? -1 : 1), DeviceLengthY(dc, dy) * (dy < 0 ? -1 : 1));
    return DeviceClip(dc).Kind();
}

int GetClipBox(HDC dc, RECT* out) {
    if (!IsValidDC(dc) || out == nullptr) return ERROR;
    Region clip = DeviceClip(dc);
    RECT b = clip.Bounds();
    OffsetRect(&b, -dc->origin.x, -dc->origin.y);
    POINT p[2] = {{b.left, b.top}, {b.right, b.bottom}};
    DPtoLP(dc, p, 2);
    *out = Normalized(p[0].x, p[0].y, p[1].x, p[1].y);
    return clip.Kind();
}

int GetClipRgn(HDC dc, HRGN out) {
    RegionObject* r = RgnObj(out);
    if (!IsValidDC(dc) || r == nullptr) return -1;
    if (!dc->attr.hasClip) return 0;
    r->rgn = dc->attr.clip;
    return 1;
}

BOOL RectVisible(HDC dc, const RECT* r) {
    if (!IsValidDC(dc) || r == nullptr) return FALSE;
    RECT s = LogicalRectToSurface(dc, r->left, r->top, r->right, r->bottom);
    return DeviceClip(dc).Intersects(s) ? TRUE : FALSE;
}

BOOL PtVisible(HDC dc, int x, int y) {
    if (!IsValidDC(dc)) return FALSE;
    POINT p{x, y};
    LPtoDP(dc, &p, 1);
    return DeviceClip(dc).Contains(p.x + dc->origin.x, p.y + dc->origin.y) ? TRUE : FALSE;
}

}  // namespace win
