#pragma once
// Scroll bars: the "SCROLLBAR" control (bar SB_CTL, the control's own window) and the two bars a
// window gets from WS_HSCROLL and WS_VSCROLL (SB_HORZ, SB_VERT). A bar has a range, a page size
// and a position kept within min .. max - page + 1. Pressing its arrows, its track or its thumb
// sends WM_HSCROLL / WM_VSCROLL with the SB_* codes: to the window itself for window bars (lParam
// 0), to the control's parent for a control (lParam the control), always ending with
// SB_ENDSCROLL. While the thumb is dragged, SB_THUMBTRACK reports each new position and
// SB_THUMBPOSITION the last one; the position itself changes only when the program sets it.
//
// A window bar whose range holds no more than one page is hidden (or shown disabled when
// SIF_DISABLENOSCROLL was asked for), which changes the window's client area.
#include "platform/controls.h"
#include "platform/win_types.h"

namespace win {

// Bars.
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_CTL = 2;
constexpr int SB_BOTH = 3;

// Scroll codes (the low word of WM_HSCROLL / WM_VSCROLL's wParam).
constexpr WORD SB_LINEUP = 0;
constexpr WORD SB_LINELEFT = 0;
constexpr WORD SB_LINEDOWN = 1;
constexpr WORD SB_LINERIGHT = 1;
constexpr WORD SB_PAGEUP = 2;
constexpr WORD SB_PAGELEFT = 2;
constexpr WORD SB_PAGEDOWN = 3;
constexpr WORD SB_PAGERIGHT = 3;
constexpr WORD SB_THUMBPOSITION = 4;
constexpr WORD SB_THUMBTRACK = 5;
constexpr WORD SB_TOP = 6;
constexpr WORD SB_LEFT = 6;
constexpr WORD SB_BOTTOM = 7;
constexpr WORD SB_RIGHT = 7;
constexpr WORD SB_ENDSCROLL = 8;

// SCROLLINFO parts.
constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// EnableScrollBar arrows.
constexpr UINT ESB_ENABLE_BOTH = 0x0000;
constexpr UINT ESB_DISABLE_BOTH = 0x0003;
constexpr UINT ESB_DISABLE_LEFT = 0x0001;
constexpr UINT ESB_DISABLE_RIGHT = 0x0002;
constexpr UINT ESB_DISABLE_UP = 0x0001;
constexpr UINT ESB_DISABLE_DOWN = 0x0002;

struct SCROLLINFO {
    UINT cbSize = 28;
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;  // the thumb's position while it is dragged, else the position
};

// Returns the new position.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* si, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* si);
// Returns the previous position.
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos);
// Shows or hides window bars (SB_HORZ, SB_VERT, SB_BOTH) or a scroll-bar control (SB_CTL).
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows);

}  // namespace win
