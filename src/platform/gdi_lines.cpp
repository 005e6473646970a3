// DC drawing attributes, lines, rectangle fills and single pixels.
#include <algorithm>

#include "platform/bitmap.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_outline.h"
#include "platform/system.h"
#include "platform/metafile_hooks.h"

namespace win {

namespace {

std::vector<POINT> ToSurface(HDC dc, const POINT* pts, size_t n) {
    std::vector<POINT> out(pts, pts + n);
    LPtoDP(dc, out.data(), static_cast<int>(n));
    for (POINT& p : out) {
        p.x += dc->origin.x;
        p.y += dc->origin.y;
    }
    return out;
}

void StrokePolylines(HDC dc, const std::vector<std::vector<POINT>>& lines) {
    PenInfo pen = CurrentPen(dc);
    if (pen.null) return;
    std::vector<POINT> all;
    for (const auto& l : lines) all.insert(all.end(), l.begin(), l.end());
    RECT bounds = MaskBounds(dc, all, pen.width + 2);
    if (IsRectEmpty(bounds)) return;
    OutlineBuilder outline(pen, bounds);
    for (const auto& l : lines) outline.AddPolyline(l, false);
    PaintOutline(dc, outline, pen);
}

// FillRect and friends accept a system colour index + 1 in place of a brush.
HBRUSH ResolveBrushArgument(HBRUSH brush) {
    auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value > 0 && value <= 64) return GetSysColorBrush(static_cast<int>(value) - 1);
    return brush;
}

// A logical point in surface coordinates, when the DC may draw there.
bool VisibleSurfacePoint(HDC dc, int x, int y, POINT& out) {
    if (!IsValidDC(dc)) return false;
    out = {x, y};
    LPtoDP(dc, &out, 1);
    out.x += dc->origin.x;
    out.y += dc->origin.y;
    return DeviceClip(dc).Contains(out);
}

RECT SurfaceRect(HDC dc, const RECT* r) { return LogicalRectToSurface(dc, r->left, r->top, r->right, r->bottom); }

}  // namespace

int SetROP2(HDC dc, int rop) {
    RecordMetaSetROP2(dc, rop);
    if (rop < R2_BLACK || rop > R2_WHITE) return 0;
    return ExchangeAttribute(dc, &DcAttributes::rop2, rop, 0);
}

int GetROP2(HDC dc) { return GetAttribute(dc, &DcAttributes::rop2, 0); }

COLORREF SetBkColor(HDC dc, COLORREF color) {
    RecordMetaSetBkColor(dc, color);
    return ExchangeAttribute(dc, &DcAttributes::bkColor, color, CLR_INVALID); }

COLORREF GetBkColor(HDC dc) { return GetAttribute(dc, &DcAttributes::bkColor, CLR_INVALID); }

int SetBkMode(HDC dc, int mode) {
    RecordMetaSetBkMode(dc, mode);
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return ExchangeAttribute(dc, &DcAttributes::bkMode, mode, 0);
}

int GetBkMode(HDC dc) { return GetAttribute(dc, &DcAttributes::bkMode, 0); }

int SetPolyFillMode(HDC dc, int mode) {
    RecordMetaSetPolyFillMode(dc, mode);
    if (mode != ALTERNATE && mode != WINDING) return 0;
    return ExchangeAttribute(dc, &DcAttributes::polyFillMode, mode, 0);
}

int GetPolyFillMode(HDC dc) { return GetAttribute(dc, &DcAttributes::polyFillMode, 0); }

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
    RecordMetaMoveTo(dc, x, y);
    return ExchangeAttributeEx(dc, &DcAttributes::currentPos, POINT{x, y}, old); }

BOOL GetCurrentPositionEx(HDC dc, POINT* out) { return GetAttributeEx(dc, &DcAttributes::currentPos, out); }

BOOL LineTo(HDC dc, int x, int y) {
    if (IsMetafileDC(dc)) return MetaLineTo(dc, x, y);
    if (!IsValidDC(dc)) return FALSE;
    POINT pts[2] = {dc->attr.currentPos, {x, y}};
    StrokePolylines(dc, {ToSurface(dc, pts, 2)});
    dc->attr.currentPos = {x, y};
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    if (IsMetafileDC(dc)) return MetaPolyline(dc, points, count);
    if (!IsValidDC(dc) || points == nullptr || count < 2) return FALSE;
    StrokePolylines(dc, {ToSurface(dc, points, static_cast<size_t>(count))});
    return TRUE;
}

BOOL PolylineTo(HDC dc, const POINT* points, int count) {
    if (IsMetafileDC(dc)) return MetaPolylineTo(dc, points, count);
    if (!IsValidDC(dc) || points == nullptr || count < 1) return FALSE;
    std::vector<POINT> pts;
    pts.push_back(dc->attr.currentPos);
    pts.insert(pts.end(), points, points + count);
    StrokePolylines(dc, {ToSurface(dc, pts.data(), pts.size())});
    dc->attr.currentPos = points[count - 1];
    return TRUE;
}

BOOL PolyPolyline(HDC dc, const POINT* points, const DWORD* counts, int polylines) {
    if (IsMetafileDC(dc)) return MetaPolyPolyline(dc, points, counts, polylines);
    if (!IsValidDC(dc) || points == nullptr || counts == nullptr || polylines <= 0) return FALSE;
    std::vector<std::vector<POINT>> lines;
    size_t start = 0;
    for (int i = 0; i < polylines; ++i) {
        if (counts[i] < 2) return FALSE;
        lines.push_back(ToSurface(dc, points + start, counts[i]));
        start += counts[i];
    }
    StrokePolylines(dc, lines);
    return TRUE;
}

int FillRect(HDC dc, const RECT* r, HBRUSH brush) {
    brush = ResolveBrushArgument(brush);
    if (IsMetafileDC(dc)) return MetaFillRect(dc, r, brush);
    if (!IsValidDC(dc) || r == nullptr || brush == nullptr || brush->kind != GdiKind::Brush) return 0;
    ApplyBlt(dc, SurfaceRect(dc, r), nullptr, 0, BrushPaint(dc, brush), PATCOPY);
    return 1;
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
    brush = ResolveBrushArgument(brush);
    if (IsMetafileDC(dc)) return MetaFrameRect(dc, r, brush);
    if (!IsValidDC(dc) || r == nullptr || brush == nullptr || brush->kind != GdiKind::Brush) return 0;
    RECT s = SurfaceRect(dc, r);
    if (IsRectEmpty(s)) return 1;
    Paint paint = BrushPaint(dc, brush);
    RECT sides[4] = {{s.left, s.top, s.right, s.top + 1},
                     {s.left, s.bottom - 1, s.right, s.bottom},
                     {s.left, s.top + 1, s.left + 1, s.bottom - 1},
                     {s.right - 1, s.top + 1, s.right, s.bottom - 1}};
    for (const RECT& side : sides) ApplyBlt(dc, side, nullptr, 0, paint, PATCOPY);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* r) {
    if (IsMetafileDC(dc)) return MetaInvertRect(dc, r);
    if (!IsValidDC(dc) || r == nullptr) return FALSE;
    ApplyBlt(dc, SurfaceRect(dc, r), nullptr, 0, Paint{}, DSTINVERT);
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* r) {
    if (!IsValidDC(dc) || r == nullptr) return FALSE;
    RECT s = SurfaceRect(dc, r);
    if (IsRectEmpty(s)) return TRUE;
    Mask m(s);
    // Every other pixel along the frame, in a checkerboard fixed to the device origin.
    auto dot = [&](LONG x, LONG y) {
        if (((x - dc->origin.x + y - dc->origin.y) & 1) == 0) m.Set(x, y);
    };
    for (LONG x = s.left; x < s.right; ++x) {
        dot(x, s.top);
        dot(x, s.bottom - 1);
    }
    for (LONG y = s.top + 1; y < s.bottom - 1; ++y) {
        dot(s.left, y);
        dot(s.right - 1, y);
    }
    ApplyMask(dc, m, Paint{}, R2_NOT);
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    if (IsMetafileDC(dc)) return MetaSetPixel(dc, x, y, color);
    POINT p;
    if (!VisibleSurfacePoint(dc, x, y, p)) return CLR_INVALID;
    Mask m(RECT{p.x, p.y, p.x + 1, p.y + 1});
    m.Set(p.x, p.y);
    Paint paint = SolidPaint(dc, color);
    ApplyMask(dc, m, paint, R2_COPYPEN);
    return PixelToColor(paint.color);
}

COLORREF GetNearestColor(HDC dc, COLORREF color) {
    return IsValidDC(dc) ? PixelToColor(DrawPixel(dc, color)) : CLR_INVALID;
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) { return SetPixel(dc, x, y, color) != CLR_INVALID ? TRUE : FALSE; }

COLORREF GetPixel(HDC dc, int x, int y) {
    POINT p;
    if (!VisibleSurfacePoint(dc, x, y, p)) return CLR_INVALID;
    PixelAccess px(dc->surface);
    if (!px.Valid() || p.x < 0 || p.y < 0 || p.x >= px.Width() || p.y >= px.Height()) return CLR_INVALID;
    return PixelToColor(px.Row(p.y)[p.x] & 0xFFFFFF);
}

}  // namespace win
