#pragma once
// Basic types of the platform layer: the handle, geometry and message types that the
// program's Windows-shaped code uses. Values and sizes follow the classic 32-bit meanings
// where files or callers depend on them; pointer-sized values are 64-bit here.
#include <cstdint>
#include <string>
#include <string_view>

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using ATOM = WORD;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Handles are typed pointers to the layer's own objects.
struct WindowObject;
struct DeviceContextObject;
struct GdiObject;
struct MenuObject;
struct CursorObject;
struct AcceleratorObject;
struct HookObject;
struct InstanceObject;
struct MetaFileObject;
struct GlobalMemoryObject;

using HWND = WindowObject*;
using HDC = DeviceContextObject*;
using HGDIOBJ = GdiObject*;
using HPEN = GdiObject*;
using HBRUSH = GdiObject*;
using HFONT = GdiObject*;
using HBITMAP = GdiObject*;
using HRGN = GdiObject*;
using HPALETTE = GdiObject*;
using HMENU = MenuObject*;
using HCURSOR = CursorObject*;
using HICON = CursorObject*;
using HACCEL = AcceleratorObject*;
using HHOOK = HookObject*;
using HINSTANCE = InstanceObject*;
using HMODULE = InstanceObject*;
using HMETAFILE = MetaFileObject*;
using HGLOBAL = GlobalMemoryObject*;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using HOOKPROC = LRESULT (*)(int, WPARAM, LPARAM);

inline constexpr WORD LOWORD(UINT_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
inline constexpr WORD HIWORD(UINT_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline constexpr LONG MAKELONG(WORD lo, WORD hi) { return static_cast<LONG>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16)); }
inline constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
inline constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))); }
// Signed 16-bit coordinates packed in an LPARAM.
inline constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<SHORT>(lp & 0xFFFF); }
inline constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<SHORT>((lp >> 16) & 0xFFFF); }
inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return static_cast<COLORREF>(r | (g << 8) | (b << 16)); }
inline constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// Rectangle helpers (IntersectRect, UnionRect, OffsetRect, PtInRect, ...) are in platform/region.h.

// a * b / c computed in 64 bits and rounded half away from zero; -1 when c is 0 or the result
// does not fit in an int.
int MulDiv(int a, int b, int c);

// Resource ids passed where a name may also be given (LoadCursor, FindResource...).
inline constexpr bool IS_INTRESOURCE(UINT_PTR v) { return (v >> 16) == 0; }

// The program's 8-bit texts are Windows-1252; the "Terminal" face uses code page 437.
// Conversion happens only where text meets Cairo or the desktop.
std::string Cp1252ToUtf8(std::string_view text);
std::string Cp437ToUtf8(std::string_view text);
// Characters with no Windows-1252 form become '?'; malformed UTF-8 bytes are skipped.
std::string Utf8ToCp1252(std::string_view text);
// The well-formed UTF-8 character at text[i] (shortest form, no surrogates): its byte count, with
// the code point in c; 0 when the bytes there are not one.
std::size_t DecodeUtf8Char(std::string_view text, std::size_t i, char32_t& c);
// One Unicode code point to Windows-1252, or -1 when there is none.
int UnicodeToCp1252(char32_t c);

}  // namespace win
