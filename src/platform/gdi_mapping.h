#pragma once
// Mapping modes: the logical-to-device transform of a DC (window and viewport origins and extents).
#include "platform/win_types.h"

namespace win {

constexpr int MM_TEXT = 1;
constexpr int MM_LOMETRIC = 2;
constexpr int MM_HIMETRIC = 3;
constexpr int MM_LOENGLISH = 4;
constexpr int MM_HIENGLISH = 5;
constexpr int MM_TWIPS = 6;
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;

int SetMapMode(HDC dc, int mode);
int GetMapMode(HDC dc);
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* old);
BOOL SetWindowExtEx(HDC dc, int x, int y, SIZE* old);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL SetViewportExtEx(HDC dc, int x, int y, SIZE* old);
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old);
// Extents multiplied by xNum/xDenom and yNum/yDenom (used by metafile playback).
BOOL ScaleWindowExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old);
BOOL ScaleViewportExtEx(HDC dc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old);
BOOL GetWindowOrgEx(HDC dc, POINT* out);
BOOL GetWindowExtEx(HDC dc, SIZE* out);
BOOL GetViewportOrgEx(HDC dc, POINT* out);
BOOL GetViewportExtEx(HDC dc, SIZE* out);
BOOL LPtoDP(HDC dc, POINT* points, int count);
BOOL DPtoLP(HDC dc, POINT* points, int count);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old);
// Where the DC's device origin lies on its surface (the screen for window DCs).
BOOL GetDCOrgEx(HDC dc, POINT* out);

// Layer-internal transform helpers (device units relative to the DC's origin).
struct DcTransform {
    double sx = 1, sy = 1;  // device units per logical unit
    double tx = 0, ty = 0;  // device = logical * s + t
    POINT ToDevice(LONG x, LONG y) const;
    double DevX(double x) const { return x * sx + tx; }
    double DevY(double y) const { return y * sy + ty; }
};
DcTransform TransformOf(HDC dc);
// A logical length along x or y as device pixels (magnitude, rounded).
int DeviceLengthX(HDC dc, int logical);
int DeviceLengthY(HDC dc, int logical);
// Device lengths back to logical units (magnitudes, rounded).
int LogicalLengthX(HDC dc, int device);
int LogicalLengthY(HDC dc, int device);
// A rectangle in logical units as a normalised device rectangle in surface coordinates.
RECT LogicalRectToSurface(HDC dc, int left, int top, int right, int bottom);

}  // namespace win
