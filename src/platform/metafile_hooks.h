#pragma once
// What the GDI entry points call so that a metafile DC records the program's drawing instead of
// rasterising it. Two kinds of hook:
// - RecordMeta*: called first thing by a call that changes DC state; it writes the record when
//   the DC is a metafile DC (and does nothing otherwise), and the call then goes on as usual so
//   that the DC's attributes (selected objects, colours, current position) stay queryable.
// - Meta*: for drawing and mapping calls; when IsMetafileDC(dc) the entry point returns what the
//   hook returns and draws nothing. A metafile DC keeps an identity mapping of its own (logical
//   units are recorded as they are), so the mapping calls are answered from the recorded state.
#include "platform/win_types.h"

namespace win {

class RealizedFont;
struct TextRun;

bool IsMetafileDC(HDC dc);

// State changes.
void RecordMetaSaveDC(HDC dc);
void RecordMetaRestoreDC(HDC dc, int savedDc);
void RecordMetaSelectObject(HDC dc, HGDIOBJ obj);
// Called by DeleteObject for every object: metafiles that hold the object record its deletion.
void RecordMetaDeleteObject(HGDIOBJ obj);
void RecordMetaSetBkColor(HDC dc, COLORREF color);
void RecordMetaSetBkMode(HDC dc, int mode);
void RecordMetaSetTextColor(HDC dc, COLORREF color);
void RecordMetaSetTextAlign(HDC dc, UINT align);
void RecordMetaSetROP2(HDC dc, int rop);
void RecordMetaSetPolyFillMode(HDC dc, int mode);
void RecordMetaSetStretchBltMode(HDC dc, int mode);
void RecordMetaMoveTo(HDC dc, int x, int y);
void RecordMetaIntersectClipRect(HDC dc, int left, int top, int right, int bottom);
void RecordMetaExcludeClipRect(HDC dc, int left, int top, int right, int bottom);

// Mapping (answered from the recorded state).
int MetaSetMapMode(HDC dc, int mode);
int MetaGetMapMode(HDC dc);
BOOL MetaSetWindowOrgEx(HDC dc, int x, int y, POINT* old);
BOOL MetaSetWindowExtEx(HDC dc, int x, int y, SIZE* old);
BOOL MetaSetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL MetaSetViewportExtEx(HDC dc, int x, int y, SIZE* old);
BOOL MetaOffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old);
BOOL MetaOffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old);
BOOL MetaScaleWindowExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old);
BOOL MetaScaleViewportExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old);
BOOL MetaGetWindowOrgEx(HDC dc, POINT* out);
BOOL MetaGetWindowExtEx(HDC dc, SIZE* out);
BOOL MetaGetViewportOrgEx(HDC dc, POINT* out);
BOOL MetaGetViewportExtEx(HDC dc, SIZE* out);

// Drawing.
BOOL MetaLineTo(HDC dc, int x, int y);
BOOL MetaPolyline(HDC dc, const POINT* points, int count);
BOOL MetaPolylineTo(HDC dc, const POINT* points, int count);
BOOL MetaPolyPolyline(HDC dc, const POINT* points, const DWORD* counts, int polylines);
BOOL MetaRectangle(HDC dc, int left, int top, int right, int bottom);
BOOL MetaRoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
BOOL MetaEllipse(HDC dc, int left, int top, int right, int bottom);
BOOL MetaArc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL MetaPie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL MetaChord(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
BOOL MetaPolyPolygon(HDC dc, const POINT* points, const int* counts, int polygons);
// brush: already resolved from a system colour index.
int MetaFillRect(HDC dc, const RECT* r, HBRUSH brush);
int MetaFrameRect(HDC dc, const RECT* r, HBRUSH brush);
BOOL MetaInvertRect(HDC dc, const RECT* r);
COLORREF MetaSetPixel(HDC dc, int x, int y, COLORREF color);
// BitBlt and PatBlt arrive here through StretchBlt (src null for pattern-only operations).
BOOL MetaStretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, DWORD rop);
BOOL MetaExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx);
// A run laid out by DrawText (its baseline is in the metafile's logical units).
void MetaTextRun(HDC dc, const RealizedFont& font, const TextRun& run);

}  // namespace win
