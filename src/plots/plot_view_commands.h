#pragma once
// The analysis window's commands of the command table: cursor steps and search modes, curve
// selection, zoom and pan, Auto Scale, the plot option bits, Align Cursors and Same Y Scales.
namespace kq5 {

struct WindowRecord;

// 0 when the command was taken for the window (an analysis window), 1 when it is not one of
// these commands or the window is of another kind.
int RoutePlotViewCommand(WindowRecord* window, int id);

}  // namespace kq5
