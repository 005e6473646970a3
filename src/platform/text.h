#pragma once
// Text output and measuring: TextOut, ExtTextOut, text metrics and extents, alignment and
// colours, and DrawText. Strings are 8-bit (Windows-1252, or code page 437 for OEM fonts).
// Text is drawn as one-bit glyphs in the text colour; like GDI, the raster operation of SetROP2
// does not apply to it (XOR text goes through a monochrome bitmap and BitBlt).
#include <string>
#include <string_view>

#include "platform/font.h"
#include "platform/win_types.h"

namespace win {

// Text alignment.
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);

// Metrics and extents are in logical units.
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm);
BOOL GetTextExtentPoint32(HDC dc, const char* text, int count, SIZE* size);
BOOL GetTextExtentPoint(HDC dc, const char* text, int count, SIZE* size);
SIZE GetTextExtent(HDC dc, std::string_view text);
std::string GetTextFace(HDC dc);
// Advance widths of the characters first..last (logical units).
BOOL GetCharWidth(HDC dc, UINT first, UINT last, int* widths);

BOOL TextOut(HDC dc, int x, int y, const char* text, int count);
BOOL TextOut(HDC dc, int x, int y, std::string_view text);
// dx: optional advance of each character in logical units.
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT count, const int* dx);

// count -1 takes the text up to its terminating zero. Returns the height of the text in logical
// units (0 on failure); with DT_CALCRECT only measures and sets rect's right and bottom.
int DrawText(HDC dc, const char* text, int count, RECT* rect, UINT format);
int DrawText(HDC dc, std::string_view text, RECT* rect, UINT format);

}  // namespace win
