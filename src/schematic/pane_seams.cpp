#include "schematic/pane_seams.h"

#include "app/window_record.h"
#include "platform/system.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kSplitterBarWidth = 5;

// A splitter within a pane button and a bar's width of the far edge is parked beyond it.
int EffectiveSplitter(int stored, int clientSize, int scrollBarWidth)
{
    return stored > clientSize - (scrollBarWidth + kSplitterBarWidth) ? clientSize + 1 : stored;
}

}  // namespace

win::RECT ComputePaneRect(const win::RECT& client, int splitterX, int splitterY, int scrollBarWidth,
                          bool minimised, int pane)
{
    win::RECT r = client;
    const win::RECT empty{};
    if (pane < 0 || pane > 3 || minimised) return empty;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int sx = EffectiveSplitter(splitterX, width, scrollBarWidth);
    const int sy = EffectiveSplitter(splitterY, height, scrollBarWidth);
    const bool rightColumn = pane == 0 || pane == 3;
    const bool topRow = pane == 0 || pane == 1;

    if (rightColumn ? sx >= width : sx == 0) return empty;
    if (topRow ? sy == 0 : sy >= height) return empty;
    if (sx > 0) {
        if (rightColumn) r.left = client.left + sx + kSplitterBarWidth;
        else r.right = client.left + sx - 1;
    }
    if (sy > 0) {
        if (topRow) r.bottom = client.top + sy - 1;
        else r.top = client.top + sy + kSplitterBarWidth;
    }
    r.right -= scrollBarWidth - 1;
    r.bottom -= scrollBarWidth - 1;
    return r.left >= r.right || r.top >= r.bottom ? empty : r;
}

void GetPaneRect(const WindowRecord* record, int pane, win::RECT& rect)
{
    rect = win::RECT{};
    if (pane == -1 || record == nullptr || record->window == nullptr) return;
    win::RECT client{};
    win::GetClientRect(record->window, &client);
    const bool circuitWindow = record->kind == kWindowSchematic || record->kind == kWindowPlainSchematic;
    if (!circuitWindow || record->document == nullptr) {
        rect = client;
        return;
    }
    // The document keeps no splitter positions yet: both rest at 0, as in a new document, which
    // parks them at the left and top edges and leaves the whole window to pane 3.
    rect = ComputePaneRect(client, 0, 0, win::GetSystemMetrics(win::SM_CXVSCROLL),
                           win::IsIconic(record->window) != 0, pane);
}

}  // namespace kq5
