#include "analyses/graph3d_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kq5 {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRainbowLevels = 1021;
constexpr int kShadeLevels = 120;

// Span of an axis in drawing coordinates; an empty span counts as 1 so the scaling stays finite.
double AxisSpan(const Graph3DAxes& axes, int axis, bool reversed)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    double span = 0.0;
    if (Graph3DAxisIsLog(axes, axis))
        span = std::log10(reversed ? axes.min[a] / axes.max[a] : axes.max[a] / axes.min[a]);
    else
        span = reversed ? axes.min[a] - axes.max[a] : axes.max[a] - axes.min[a];
    if (span == 0.0 || !std::isfinite(span)) span = reversed ? -1.0 : 1.0;
    return span;
}

int ClampToInt(double v)
{
    if (std::isnan(v)) return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<int>::max());
    return static_cast<int>(std::clamp(v, lo, hi));
}

}  // namespace

bool Graph3DAxisIsLog(const Graph3DAxes& axes, int axis)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    return axes.linear[a] == 0 && axes.min[a] > 0.0 && axes.max[a] > 0.0;
}

double Graph3DAxisCoordinate(const Graph3DAxes& axes, int axis, double value)
{
    if (!Graph3DAxisIsLog(axes, axis)) return value;
    return value == 0.0 ? 0.0 : std::log10(std::abs(value));
}

void MatrixIdentity(double M[4][4])
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) M[i][j] = i == j ? 1.0 : 0.0;
}

void ViewMultiply(Graph3DView& view, const double R[4][4])
{
    double out[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += view.M[i][k] * R[k][j];
            out[i][j] = sum;
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) view.M[i][j] = out[i][j];
}

void RotateView(Graph3DView& view, double degrees, int axis)
{
    const double r = degrees * kPi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    double R[4][4];
    MatrixIdentity(R);
    switch (axis) {
    case 0: R[1][1] = c; R[1][2] = s; R[2][1] = -s; R[2][2] = c; break;
    case 1: R[0][0] = c; R[0][2] = -s; R[2][0] = s; R[2][2] = c; break;
    default: R[0][0] = c; R[0][1] = s; R[1][0] = -s; R[1][1] = c; break;
    }
    ViewMultiply(view, R);
}

void ScaleView(Graph3DView& view, double sx, double sy, double sz)
{
    double S[4][4];
    MatrixIdentity(S);
    S[0][0] = sx;
    S[1][1] = sy;
    S[2][2] = sz;
    ViewMultiply(view, S);
}

void ResetGraph3DView(Graph3DView& view)
{
    MatrixIdentity(view.M);
    const double dx = AxisSpan(view.axes, 0, false);
    const double dy = AxisSpan(view.axes, 1, false);
    const double dz = AxisSpan(view.axes, 2, true);
    const double height = static_cast<double>(view.plotArea.top - view.plotArea.bottom);
    ScaleView(view, view.plotWidth / dx, height / dy, -view.plotWidth / std::abs(dz));
}

void BuildGraph3DView(Graph3DView& view, const std::array<double, 3>& rotation, bool contour)
{
    ResetGraph3DView(view);
    RotateView(view, contour ? 90.0 : rotation[0], 0);
    RotateView(view, contour ? 0.0 : rotation[1], 1);
    RotateView(view, rotation[2], 2);
}

void SetGraph3DPlotArea(Graph3DView& view, const win::RECT& drawing, int lineHeight)
{
    const int w = drawing.right - drawing.left;
    const int h = drawing.bottom - drawing.top;
    view.plotArea.left = drawing.left + static_cast<int>(0.05 * w);
    view.plotArea.top = drawing.top + static_cast<int>(0.05 * h);
    view.plotArea.right = drawing.left + static_cast<int>(0.95 * w);
    view.plotArea.bottom = drawing.top + static_cast<int>(0.95 * h) - 4 * lineHeight;
    view.plotWidth = view.plotArea.right - view.plotArea.left;
    view.plotHeight = view.plotArea.bottom - view.plotArea.top;
}

win::POINT ProjectGraph3DPoint(const Graph3DView& view, double x, double y, double z)
{
    const double a = Graph3DAxisCoordinate(view.axes, 0, x);
    const double b = Graph3DAxisCoordinate(view.axes, 1, y);
    const double c = Graph3DAxisCoordinate(view.axes, 2, z);
    const double u = (a * view.M[0][0] + b * view.M[1][0] + c * view.M[2][0] + view.offsetX) * view.scaleX;
    const double v = (a * view.M[0][1] + b * view.M[1][1] + c * view.M[2][1] + view.offsetY) * view.scaleY;
    return win::POINT{ClampToInt(u), ClampToInt(v)};
}

PatchColor Graph3DPatchColor(int scheme, double mid, double yMin, double yMax)
{
    PatchColor out;
    if (scheme == kPatchClear) {
        out.draw = true;
        out.hollow = true;
        return out;
    }
    const int levels = scheme == kPatchRainbow ? kRainbowLevels : kShadeLevels;
    const double step = (yMax - yMin) / levels;
    // An empty or broken range puts every patch at the lowest colour.
    double steps = step > 0.0 && std::isfinite(step) ? std::trunc((mid - yMin) / step) : 0.0;
    if (std::isnan(steps)) return out;
    const double nd = levels - steps;
    if (nd < 0.0 || nd > 5.0 * 255.0) return out;
    const int n = static_cast<int>(nd);
    if (scheme == kPatchRainbow) {
        const int band = n / 255;
        if (band > 4) return out;
        int f = n % 255;
        if (band == 1 || band == 3) f = 255 - f;
        const auto b = static_cast<win::BYTE>(f);
        switch (band) {
        case 0: out.color = win::RGB(255, b, 0); break;
        case 1: out.color = win::RGB(b, 255, 0); break;
        case 2: out.color = win::RGB(0, 255, b); break;
        case 3: out.color = win::RGB(0, b, 255); break;
        default: out.color = win::RGB(0, b, 255); break;
        }
        out.draw = true;
        return out;
    }
    if (n > 255) return out;
    const auto g = static_cast<win::BYTE>(255 - n);
    switch (scheme) {
    case kPatchBlue: out.color = win::RGB(0, 0, g); break;
    case kPatchRed: out.color = win::RGB(g, 0, 0); break;
    case kPatchGreen: out.color = win::RGB(0, g, 0); break;
    default: out.color = win::RGB(g, g, g); break;
    }
    out.draw = true;
    return out;
}

}  // namespace kq5
