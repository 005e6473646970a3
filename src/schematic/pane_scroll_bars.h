#pragma once
// Scroll bars of the four panes of a schematic window.
namespace kq5 {

struct WindowRecord;

// Refreshes the scroll ranges of the four panes from the pages' extents.
void UpdatePaneScrollBars(WindowRecord* record);

}  // namespace kq5
