#pragma once
// Drawing of a 3-D plot into any device context (window, printer, clipboard picture): the box
// with its walls, grids and axes, the coloured surface patches, the contour map with isolines,
// the scales, the title, the cursor marks and the cursor read-out.
#include <array>

#include "analyses/graph3d_view.h"
#include "platform/win_types.h"

namespace kq5 {

struct Graph3DPlot;

// The drawn ranges of a plot.
Graph3DAxes Graph3DAxesOf(const Graph3DPlot& plot);

// The view of the plot for a drawing rectangle: plot area, rotations and the fit that makes the
// box and its scales fill the rectangle. False when the plot has nothing to show.
bool PrepareGraph3DView(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing, bool cursorMode,
                        Graph3DView& view);

// The whole picture. Draws nothing when the plot has no surface.
void DrawGraph3DWindow(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing, bool cursorMode);
// The box at the view; in XOR mode only its dotted edges, so drawing it twice erases it.
void DrawGraph3DBox(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, bool xorMode);
// The cursor marks (which: 0 left, 1 right, -1 both), in XOR.
void DrawGraph3DCursor(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, int which);

// The four projected corners of patch (column, row).
std::array<win::POINT, 4> ProjectGraph3DPatch(const Graph3DPlot& plot, const Graph3DView& view, int column, int row);
// X (axis 0), height (1) or Z (2) of a grid point.
double PatchCornerValue(const Graph3DPlot& plot, int axis, int row, int column);
// The six outer corners of the projected box, as a closed outline (its convex silhouette).
std::array<win::POINT, 6> Graph3DSilhouette(const Graph3DPlot& plot, const Graph3DView& view);

}  // namespace kq5
