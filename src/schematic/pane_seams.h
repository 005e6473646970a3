#pragma once
// Pane geometry of a schematic window. A schematic window is split by one vertical and one
// horizontal splitter into up to four panes, numbered like quadrants: 0 top-right, 1 top-left,
// 2 bottom-left, 3 bottom-right.
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// The rectangle of a pane from the client rectangle, the splitter positions (as stored: 0 parks
// a splitter at the left or top edge, a position near or beyond the far edge parks it there)
// and the width of a scroll bar. Empty when the pane is hidden or the window minimised.
win::RECT ComputePaneRect(const win::RECT& client, int splitterX, int splitterY, int scrollBarWidth,
                          bool minimised, int pane);

// The client rectangle of pane 0 to 3 of a circuit window, empty when the pane is hidden; the
// whole client rectangle for a window that is no circuit window; empty for pane -1.
void GetPaneRect(const WindowRecord* record, int pane, win::RECT& rect);

}  // namespace kq5
