#pragma once
// The projection of a 3-D plot: a parallel projection of the data box turned by three angles and
// fitted into the window, and the colours that the patch schemes give a surface height. Pure
// arithmetic, so that the drawing, the drag search and the cursor pick share one view.
#include <array>
#include <cstdint>

#include "platform/win_types.h"

namespace kq5 {

// The drawn ranges of the three axes (X, Y, Z) and whether each is linear.
struct Graph3DAxes {
    std::array<double, 3> min{0.0, 0.0, 0.0};
    std::array<double, 3> max{1.0, 1.0, 1.0};
    std::array<int, 3> linear{1, 1, 1};
};

// A logarithmic axis only where both ends are above zero: a range that reaches zero or below has
// no logarithm, and drawing it on a log scale would turn every coordinate into NaN.
bool Graph3DAxisIsLog(const Graph3DAxes& axes, int axis);
// The coordinate of a value along an axis: the value, or log10 of its magnitude (0 for 0).
double Graph3DAxisCoordinate(const Graph3DAxes& axes, int axis, double value);

struct Graph3DView {
    double M[4][4]{};
    double scaleX = 1.0;
    double scaleY = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    win::RECT plotArea{};
    double plotWidth = 0.0;
    double plotHeight = 0.0;
    Graph3DAxes axes;
};

void MatrixIdentity(double M[4][4]);
// M := M x R.
void ViewMultiply(Graph3DView& view, const double R[4][4]);
void RotateView(Graph3DView& view, double degrees, int axis);
void ScaleView(Graph3DView& view, double sx, double sy, double sz);
// M := the scaling that maps the axis spans onto the plot area (X right, Y up, Z to the viewer).
void ResetGraph3DView(Graph3DView& view);
// Reset and turn: XRot, YRot, ZRot; the contour view looks straight down and turns by ZRot only.
void BuildGraph3DView(Graph3DView& view, const std::array<double, 3>& rotation, bool contour);
// The plot area of a drawing rectangle for a font line height.
void SetGraph3DPlotArea(Graph3DView& view, const win::RECT& drawing, int lineHeight);
// Window pixel of a data point; coordinates beyond the int range are clamped, never wrapped.
win::POINT ProjectGraph3DPoint(const Graph3DView& view, double x, double y, double z);

// Patch colour schemes.
constexpr int kPatchClear = 0;
constexpr int kPatchRainbow = 1;
constexpr int kPatchGray = 2;
constexpr int kPatchBlue = 3;
constexpr int kPatchRed = 4;
constexpr int kPatchGreen = 5;

struct PatchColor {
    bool draw = false;    // false: the patch is left out
    bool hollow = false;  // the Clear scheme: outline only
    win::COLORREF color = 0;
};
// The colour of a patch whose mean height is mid on a Y axis from yMin to yMax.
PatchColor Graph3DPatchColor(int scheme, double mid, double yMin, double yMax);

}  // namespace kq5
