#pragma once
// Scrolling the panes of a schematic window. Every pane looks at one page through its own scroll
// origin, kept per pane in the page record in scroll units (8 to a grid unit); the horizontal
// scroll bar of a pane holds the origin x, the vertical one the origin y. A page can be scrolled
// 200 grid units past its extent to the right and down, never left of or above 0.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// How far past a page's extent a pane can scroll, in grid units, and a line step of the bars.
constexpr int kScrollBeyondExtent = 200;
constexpr int kScrollLineStep = 48;

// Refreshes the scroll ranges and positions of one pane / of the four panes from the pages.
void UpdatePaneScrollRange(WindowRecord* record, int pane);
void UpdatePaneScrollBars(WindowRecord* record);

// The largest origin of the page shown in a pane: (extent right + 200 grid units), likewise down.
win::POINT PaneScrollLimit(const WindowRecord* record, int pane);

// Sets the scroll bar positions and the origins of a pane's page; -1 leaves a coordinate alone.
void SetPaneScrollPos(win::HWND hwnd, int pane, int x, int y);

// Moves a pane's origin to (x, y), clamped to the page's scroll range, scrolling what is shown.
// 1 when it moved (dx, dy the pixels the picture moved), else 0 with dx = dy = 0.
int ScrollPaneView(WindowRecord* record, int x, int y, int pane, int& dx, int& dy);

// The origin that centres grid point (gx, gy) in a pane; never negative.
win::POINT CenteredPaneOrigin(const WindowRecord* record, int gx, int gy, int pane);
// Centres the grid point in the pane; the pane is repainted when nothing moved or when forced.
void ScrollPaneTo(WindowRecord* record, int pane, int gx, int gy, bool force);
// The same with the window's redraw off meanwhile, then the whole window repainted.
void ScrollPaneToAndRedraw(WindowRecord* record, int pane, int gx, int gy);
// Switches a window's redraw back on and repaints it with its controls: scroll bars moved while
// it was off show their new thumbs.
void ResumeWindowRedraw(win::HWND window);

// WM_HSCROLL / WM_VSCROLL of a pane's scroll bar (not the text pane's).
void OnPaneScroll(WindowRecord* record, int pane, bool horizontal, int code, int thumb);

// The pane being scrolled, -1 when none: painting leaves splitters and pane buttons alone then.
int PaneBeingScrolled();

}  // namespace kq5
