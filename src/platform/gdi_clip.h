#pragma once
// Region objects (CreateRectRgn, CreatePolygonRgn, CombineRgn...) and the clip region of a DC.
// Region objects hold device units; the clip calls that take rectangles take logical units.
#include "platform/region.h"
#include "platform/win_types.h"

namespace win {

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* r);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateEllipticRgnIndirect(const RECT* r);
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
HRGN CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode);
// Returns NULLREGION, SIMPLEREGION, COMPLEXREGION, or ERROR for bad handles or modes.
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* out);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* r);
BOOL EqualRgn(HRGN a, HRGN b);

// The Region held by a region object (null for other handles).
const Region* RegionOf(HRGN rgn);

// Region drawing (logical units go through the DC's mapping like every shape).
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
BOOL PaintRgn(HDC dc, HRGN rgn);
BOOL InvertRgn(HDC dc, HRGN rgn);
BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int width, int height);

// Clip region of a DC. A null region removes the clip.
int SelectClipRgn(HDC dc, HRGN rgn);
int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC dc, int dx, int dy);
// Bounding box of what the DC can draw on, in logical units.
int GetClipBox(HDC dc, RECT* out);
// 1 and a copy of the clip region (device units) when the DC has one, 0 when it has none, -1 on error.
int GetClipRgn(HDC dc, HRGN out);
BOOL RectVisible(HDC dc, const RECT* r);
BOOL PtVisible(HDC dc, int x, int y);

}  // namespace win
