#include "schematic/pane_scroll_bars.h"

namespace kq5 {

// The panes have no scroll bars of their own yet; their ranges follow once they do.
void UpdatePaneScrollBars(WindowRecord*) {}

}  // namespace kq5
