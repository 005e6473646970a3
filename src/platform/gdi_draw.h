#pragma once
// Lines, shapes, rectangles and pixels, drawn with the DC's pen, brush and raster operation.
// Coordinates are logical units. Shapes follow GDI's rules: the right and bottom edges of a
// bounding box are excluded, a shape drawn with the null pen loses one more pixel there, arcs run
// counter-clockwise, and pen style gaps take the background colour in OPAQUE mode.
#include "platform/win_types.h"

namespace win {

int SetROP2(HDC dc, int rop);
int GetROP2(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);

BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL GetCurrentPositionEx(HDC dc, POINT* out);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL PolylineTo(HDC dc, const POINT* points, int count);
BOOL PolyPolyline(HDC dc, const POINT* points, const DWORD* counts, int polylines);

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Chord(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL PolyPolygon(HDC dc, const POINT* points, const int* counts, int polygons);

// Rectangle fills. FillRect accepts a brush or a system colour index + 1 in place of a brush.
int FillRect(HDC dc, const RECT* r, HBRUSH brush);
int FrameRect(HDC dc, const RECT* r, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* r);
// A dotted frame (every other pixel) drawn by XOR, so drawing it twice removes it.
BOOL DrawFocusRect(HDC dc, const RECT* r);

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);
// CLR_INVALID outside the clip region or the surface.
COLORREF GetPixel(HDC dc, int x, int y);
// The colour the DC would draw for a colour (black or white on monochrome bitmaps).
COLORREF GetNearestColor(HDC dc, COLORREF color);

}  // namespace win
