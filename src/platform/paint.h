#pragma once
// Painting: update regions, the WM_PAINT cycle, window DCs clipped to the visible region (other
// windows above and, with WS_CLIPCHILDREN, children excluded), redraw control and scrolling.
#include "platform/region.h"
#include "platform/win_styles.h"
#include "platform/win_types.h"

namespace win {

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;  // TRUE when WM_ERASEBKGND was not handled (returned 0)
    RECT rcPaint;         // client coordinates
    BOOL fRestore = FALSE;
    BOOL fIncUpdate = FALSE;
    BYTE rgbReserved[32] = {};
};

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

// rect in client coordinates; null means the whole client area.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL ValidateRgn(HWND hwnd, HRGN rgn);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL UpdateWindow(HWND hwnd);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags);

// Moves the pixels of the client area (or of clip within it) by dx, dy and invalidates the
// uncovered part. With a null rect children move too (ScrollWindow's classic rule).
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip);
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip, HRGN updateRgn, RECT* updateRect,
                   UINT flags);

// A DC over the client area (GetDC) or the whole window (GetWindowDC); null hwnd = the screen.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

// Layer-internal: the part of the screen the window's client area (or whole window) may draw on,
// in screen coordinates.
Region VisibleRegion(HWND hwnd, bool clientOnly);

}  // namespace win
