#include "analyses/graph3d_draw.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "document/analysis_windows.h"
#include "ui/font_select.h"
#include "core/message_reporter.h"
#include "core/format.h"
#include "core/text_edit.h"
#include "platform/font.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/text.h"
#include "plots/plot_axes.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_setup.h"

namespace kq5 {

namespace {

constexpr int kCursorColor = 15;
constexpr int kFitPasses = 9;
constexpr int kMsgLeft = 13612;  // "Left", "Right", "Delta", "Slope"
constexpr char kAxisLetters[3] = {'X', 'Y', 'Z'};

int LineHeightOf(win::HDC dc)
{
    win::TEXTMETRIC tm{};
    win::GetTextMetrics(dc, &tm);
    return tm.tmHeight + tm.tmExternalLeading;
}

// Grid, isoline and text colours: index 0 on paper unless the index is the cursor colour.
win::COLORREF LineColor(Graph3DPlot& plot, win::HDC dc, int index)
{
    if (!IsDisplayDC(dc) && !IsMetafileDC(dc) && index != kCursorColor) index = 0;
    return DrawColorRef(plot.view.plot, dc, index);
}

// The plot font for the DC. Its height is in screen pixels: on a printer page, and on the
// preview of one (drawn in printer units), it is grown to the same size on paper rather than
// left a few printer dots high.
win::HFONT CreatePlotFontFor(const Graph3DPlot& plot, win::HDC dc)
{
    FontSpec spec = plot.view.font;
    const double scale = PaperScaleOf(dc);
    if (scale != 1.0) {
        const int base = spec.height != 0 ? spec.height : -12;
        spec.height = static_cast<std::int16_t>(std::clamp<long>(std::lround(base * scale), -32767, 32767));
    }
    return CreateFontFromSpec(spec);
}

// A curve record that formats one axis of the plot the way the analysis plot formats its X axis.
struct AxisFormatter {
    CurveRecord curve;
    AxisFormatter(const Graph3DPlot& plot, int axis)
    {
        const std::size_t a = static_cast<std::size_t>(axis);
        curve.axisLow[kWaveformX] = plot.surface.axisMin[a];
        curve.axisHigh[kWaveformX] = plot.surface.axisMax[a];
        curve.linear[kWaveformX] = plot.surface.linear[a];
        curve.xScaleFormat = plot.scaleFormat[a].empty() ? "3" : plot.scaleFormat[a];
        ChooseAxisLabelScale(curve, kWaveformX);
        if (MakeNumberFormat(curve.secondValueFormat, plot.valueFormat[a].empty() ? "3E" : plot.valueFormat[a], -1) != 0)
            MakeNumberFormat(curve.secondValueFormat, "3E", -1);
    }
    std::string Label(double v) const { return FormatTickLabel(curve, kWaveformX, v * LabelMultiplier(curve, kWaveformX)); }
    std::string Value(double v) const
    {
        std::string text = FormatCurveValue(curve, kWaveformX, v);
        return Trim(text);
    }
};

// The values an axis is labelled and gridded at: six even steps, or the decades of a log axis.
std::vector<double> AxisTicks(const Graph3DAxes& axes, int axis)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    const double lo = axes.min[a], hi = axes.max[a];
    std::vector<double> ticks;
    if (Graph3DAxisIsLog(axes, axis)) {
        for (double d = DecadeFloor(lo * 1.000001); d <= hi * 1.000001 && ticks.size() < 400; d *= 10.0) ticks.push_back(d);
        if (!ticks.empty() && ticks.front() < lo / 1.000001) ticks.erase(ticks.begin());
        if (!ticks.empty()) return ticks;
    }
    for (int i = 0; i <= 5; ++i) ticks.push_back(lo + i * (hi - lo) / 5);
    return ticks;
}

struct Point3 {
    double v[3];
};

win::POINT Project(const Graph3DView& view, const Point3& p) { return ProjectGraph3DPoint(view, p.v[0], p.v[1], p.v[2]); }

class Painter {
public:
    Painter(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view) : plot_(plot), dc_(dc), view_(view)
    {
        const Graph3DAxes& a = view.axes;
        for (int i = 0; i < 3; ++i) {
            lo_[i] = a.min[static_cast<std::size_t>(i)];
            hi_[i] = a.max[static_cast<std::size_t>(i)];
        }
    }

    void Line(const Point3& a, const Point3& b)
    {
        const win::POINT p = Project(view_, a), q = Project(view_, b);
        win::MoveToEx(dc_, p.x, p.y, nullptr);
        win::LineTo(dc_, q.x, q.y);
    }

    // The wall at axis = lo, spanned by the two other axes u and w.
    std::array<win::POINT, 4> Wall(int axis) const
    {
        const int u = axis == 0 ? 1 : 0;
        const int w = axis == 2 ? 1 : 2;
        std::array<win::POINT, 4> pts{};
        const double us[4] = {lo_[u], lo_[u], hi_[u], hi_[u]};
        const double ws[4] = {lo_[w], hi_[w], hi_[w], lo_[w]};
        for (int k = 0; k < 4; ++k) {
            Point3 p{};
            p.v[axis] = lo_[axis];
            p.v[u] = us[k];
            p.v[w] = ws[k];
            pts[static_cast<std::size_t>(k)] = Project(view_, p);
        }
        return pts;
    }

    void WallGrid(int axis)
    {
        for (int across = 0; across < 3; ++across) {
            if (across == axis) continue;
            const int along = 3 - axis - across;
            for (double t : AxisTicks(view_.axes, across)) {
                Point3 a{}, b{};
                a.v[axis] = b.v[axis] = lo_[axis];
                a.v[across] = b.v[across] = t;
                a.v[along] = lo_[along];
                b.v[along] = hi_[along];
                Line(a, b);
            }
        }
    }

    double lo_[3]{}, hi_[3]{};
    Graph3DPlot& plot_;
    win::HDC dc_;
    const Graph3DView& view_;
};

// One scale label or axis name: its text and where it stands.
struct ScaleText {
    std::string text;
    win::RECT rect;
};

// The labels of the three axes along the box edges that face the viewer, and the axis names,
// pushed outward from the middle of the box.
std::vector<ScaleText> LayOutScales(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, int lineHeight)
{
    std::vector<ScaleText> out;
    const Graph3DAxes& axes = view.axes;
    double lo[3], hi[3];
    for (int i = 0; i < 3; ++i) {
        lo[i] = axes.min[static_cast<std::size_t>(i)];
        hi[i] = axes.max[static_cast<std::size_t>(i)];
    }
    // The middle of each axis as drawn: on a logarithmic axis the geometric mean of its ends
    // (their plain mean lies next to the top end, and labels pushed away from it go inward).
    double mid[3];
    for (int i = 0; i < 3; ++i)
        mid[i] = Graph3DAxisIsLog(axes, i) ? std::sqrt(lo[i] * hi[i]) : (lo[i] + hi[i]) / 2;
    const win::POINT c = ProjectGraph3DPoint(view, mid[0], mid[1], mid[2]);
    // A label that would cover one already placed (two axes meeting at a corner: the end of one
    // scale and the start of the next) moves further out until it stands clear, so that every
    // scale keeps both its ends.
    constexpr int kMaxMovesOut = 8;
    auto place = [&](const std::string& text, win::POINT at, double distance) {
        const win::SIZE size = win::GetTextExtent(dc, text);
        double dx = at.x - c.x, dy = at.y - c.y;
        const double len = std::hypot(dx, dy);
        if (len > 0.0) {
            dx /= len;
            dy /= len;
        }
        const auto covers = [&](const win::RECT& rect) {
            for (const ScaleText& other : out) {
                win::RECT both{};
                if (win::IntersectRect(&both, &rect, &other.rect)) return true;
            }
            return false;
        };
        win::RECT rect{};
        for (int move = 0; move <= kMaxMovesOut; ++move) {
            const double reach = distance + move * lineHeight / 2.0;
            const int x = at.x + static_cast<int>(dx * (reach + size.cx / 2.0));
            const int y = at.y + static_cast<int>(dy * (reach + size.cy / 2.0));
            rect = win::RECT{x - size.cx / 2, y - size.cy / 2, x - size.cx / 2 + size.cx, y - size.cy / 2 + size.cy};
            if (!covers(rect)) break;
        }
        out.push_back(ScaleText{text, rect});
    };
    const std::array<std::string, 3> names = {plot.surface.axisName[0], plot.surface.axisName[1], plot.surface.axisName[2]};
    for (int axis = 0; axis < 3; ++axis) {
        // Seen from straight above the heights have no extent to label.
        if (axis == 1 && plot.contour) continue;
        // Of the four box edges along the axis the labels take the one drawn lowest and, for Z,
        // furthest right (for Y furthest left): an outer edge, which walls and surface leave free.
        const int u = axis == 0 ? 1 : 0;
        const int w = axis == 2 ? 1 : 2;
        const double wx = axis == 0 ? 0.01 : axis == 2 ? 1.0 : -1.0;
        const double wy = axis == 1 ? 0.01 : 1.0;
        Point3 best{};
        double bestScore = 0.0;
        bool have = false;
        for (double uv : {lo[u], hi[u]}) {
            for (double wv : {lo[w], hi[w]}) {
                Point3 edge{};
                edge.v[axis] = mid[axis];
                edge.v[u] = uv;
                edge.v[w] = wv;
                const win::POINT p = Project(view, edge);
                const double score = wy * p.y + wx * p.x;
                if (!have || score > bestScore + 1.0) {
                    best = edge;
                    bestScore = score;
                    have = true;
                }
            }
        }
        AxisFormatter format(plot, axis);
        int widest = 0;
        for (double t : AxisTicks(axes, axis)) {
            Point3 p = best;
            p.v[axis] = t;
            const std::string text = format.Label(t);
            widest = std::max(widest, static_cast<int>(win::GetTextExtent(dc, text).cx));
            place(text, Project(view, p), lineHeight / 2.0);
        }
        const std::string& name = names[static_cast<std::size_t>(axis)];
        if (!name.empty()) place(name, Project(view, best), lineHeight + widest);
    }
    return out;
}

win::RECT BoundsOf(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, int lineHeight)
{
    Painter painter(plot, dc, view);
    win::RECT b{0, 0, 0, 0};
    bool first = true;
    auto add = [&](const win::RECT& r) {
        if (first) b = r;
        else {
            b.left = std::min(b.left, r.left);
            b.top = std::min(b.top, r.top);
            b.right = std::max(b.right, r.right);
            b.bottom = std::max(b.bottom, r.bottom);
        }
        first = false;
    };
    for (int axis = 0; axis < 3; ++axis)
        for (const win::POINT& p : painter.Wall(axis)) add(win::RECT{p.x, p.y, p.x, p.y});
    if (plot.scales)
        for (const ScaleText& t : LayOutScales(plot, dc, view, lineHeight)) add(t.rect);
    return b;
}

void DrawTitle(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing)
{
    win::SetBkMode(dc, win::TRANSPARENT);
    win::SetTextColor(dc, LineColor(plot, dc, plot.view.font.color));
    win::RECT r = drawing;
    win::DrawText(dc, plot.view.title, &r, win::DT_CENTER | win::DT_TOP | win::DT_SINGLELINE | win::DT_NOPREFIX);
}

void DrawNothingMeasured(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing)
{
    constexpr int kMsgNoData = 13242;  // "No data."
    const win::HFONT font = CreatePlotFontFor(plot, dc);
    const win::HGDIOBJ oldFont = win::SelectObject(dc, font);
    DrawTitle(plot, dc, drawing);
    std::string text = LoadResString(kMsgNoData);
    if (text.size() > 2 && text[0] == '%') text.erase(0, 2);
    win::RECT r = drawing;
    win::DrawText(dc, text, &r, win::DT_CENTER | win::DT_VCENTER | win::DT_SINGLELINE | win::DT_NOPREFIX);
    win::SelectObject(dc, oldFont);
    win::DeleteObject(font);
}

void DrawScales(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, int lineHeight)
{
    win::SetBkMode(dc, win::TRANSPARENT);
    win::SetTextColor(dc, LineColor(plot, dc, plot.view.font.color));
    for (const ScaleText& t : LayOutScales(plot, dc, view, lineHeight)) win::TextOut(dc, t.rect.left, t.rect.top, t.text);
}

void DrawPatches(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view)
{
    const Graph3DSurface& s = plot.surface;
    const int columns = static_cast<int>(s.xGrid.size()) - 1;
    const int rows = static_cast<int>(s.zGrid.size()) - 1;
    win::HPEN pen = nullptr;
    if (plot.isolines && !plot.contour) pen = win::CreatePen(win::PS_SOLID, 1, LineColor(plot, dc, plot.wireGridColor));
    const win::HGDIOBJ oldPen = win::SelectObject(dc, pen ? pen : win::GetStockObject(win::NULL_PEN));
    const win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    for (int r = 0; r < rows; ++r) {
        const auto& row = s.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < columns; ++c) {
            const double mid = (row[static_cast<std::size_t>(c)] + row[static_cast<std::size_t>(c + 1)]) / 2;
            const PatchColor colour = Graph3DPatchColor(plot.color, mid, s.axisMin[1], s.axisMax[1]);
            if (!colour.draw) continue;
            const auto pts = ProjectGraph3DPatch(plot, view, c, r);
            win::HBRUSH brush = colour.hollow ? nullptr : win::CreateSolidBrush(colour.color);
            if (brush) win::SelectObject(dc, brush);
            else win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
            win::Polygon(dc, pts.data(), 4);
            if (brush) {
                win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
                win::DeleteObject(brush);
            }
        }
    }
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
    if (pen) win::DeleteObject(pen);
}

// Where the level crosses the edge from a to b (heights ha, hb), as a fraction along it.
bool InterpolateIsolineEdge(double level, double ha, double hb, double& t)
{
    if (ha == hb) return false;
    if ((level < std::min(ha, hb)) || (level >= std::max(ha, hb))) return false;
    t = (level - ha) / (hb - ha);
    return true;
}

void DrawIsolines(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view)
{
    const Graph3DSurface& s = plot.surface;
    const double yMin = s.axisMin[1], yMax = s.axisMax[1];
    const double d = (yMax - yMin) / 5;
    if (!(d > 0.0) || !std::isfinite(d)) return;
    const win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, LineColor(plot, dc, plot.wireGridColor));
    const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    win::SetBkMode(dc, win::TRANSPARENT);
    win::SetTextColor(dc, LineColor(plot, dc, plot.wireGridColor));
    const int columns = static_cast<int>(s.xGrid.size()) - 1;
    const int rows = static_cast<int>(s.zGrid.size()) - 1;
    // Levels counted, not summed: a range of a few last bits gives a step that adding to yMin
    // leaves yMin, and the loop would never end.
    for (int i = 1; i <= 5 && yMin + i * d <= yMax; ++i) {
        const double level = yMin + i * d;
        bool labelled = false;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                // Cell corners in order around the cell.
                const int cc[4] = {c, c + 1, c + 1, c};
                const int rr[4] = {r, r, r + 1, r + 1};
                std::vector<win::POINT> hits;
                for (int e = 0; e < 4; ++e) {
                    const int a = e, b = (e + 1) % 4;
                    const double ha = PatchCornerValue(plot, 1, rr[a], cc[a]), hb = PatchCornerValue(plot, 1, rr[b], cc[b]);
                    double t = 0.0;
                    if (!InterpolateIsolineEdge(level, ha, hb, t)) continue;
                    const double x = PatchCornerValue(plot, 0, rr[a], cc[a]) * (1 - t) + PatchCornerValue(plot, 0, rr[b], cc[b]) * t;
                    const double z = PatchCornerValue(plot, 2, rr[a], cc[a]) * (1 - t) + PatchCornerValue(plot, 2, rr[b], cc[b]) * t;
                    hits.push_back(ProjectGraph3DPoint(view, x, level, z));
                }
                for (std::size_t k = 0; k + 1 < hits.size(); k += 2) {
                    win::MoveToEx(dc, hits[k].x, hits[k].y, nullptr);
                    win::LineTo(dc, hits[k + 1].x, hits[k + 1].y);
                    if (!labelled) {
                        win::TextOut(dc, hits[k].x, hits[k].y, StrPrintf("%6.6g", level));
                        labelled = true;
                    }
                }
                if (hits.size() == 3) {
                    win::MoveToEx(dc, hits[1].x, hits[1].y, nullptr);
                    win::LineTo(dc, hits[2].x, hits[2].y);
                }
            }
        }
    }
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
}

void DrawCursorTable(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing, int lineHeight)
{
    const Graph3DSurface& s = plot.surface;
    const int width = (drawing.right - drawing.left) / 5;
    const int top = drawing.bottom - 4 * lineHeight;
    const win::COLORREF background = DrawColorRef(plot.view.plot, dc, plot.view.winBackgroundColor, true);
    win::SetTextColor(dc, LineColor(plot, dc, plot.view.font.color));
    win::SetBkColor(dc, background);
    for (int col = 0; col < 4; ++col) {
        const int left = drawing.left + (col + 1) * width;
        DrawTextWithBackground(dc, win::RECT{left, top, left + width, top + lineHeight}, LoadResString(kMsgLeft + col), 3,
                               background);
    }
    const int columns = static_cast<int>(s.xGrid.size());
    auto value = [&](int axis, int cursor) {
        const int point = s.cursorPoint[static_cast<std::size_t>(cursor)];
        return PatchCornerValue(plot, axis, point / columns, point % columns);
    };
    for (int axis = 0; axis < 3; ++axis) {
        AxisFormatter format(plot, axis);
        const int y = top + (axis + 1) * lineHeight;
        const double left = value(axis, 0), right = value(axis, 1);
        const std::string cells[4] = {std::string(1, kAxisLetters[axis]) + " " + s.axisName[static_cast<std::size_t>(axis)],
                                      format.Value(left), format.Value(right), format.Value(right - left)};
        for (int col = 0; col < 4; ++col) {
            const int l = drawing.left + col * width;
            DrawTextWithBackground(dc, win::RECT{l, y, l + width, y + lineHeight}, cells[col], col == 0 ? 2 : 3, background);
        }
        if (axis != 1) {
            // The height's slope along this axis.
            const double dy = value(1, 1) - value(1, 0);
            const int l = drawing.left + 4 * width;
            DrawQuotientText(dc, dy, right - left, win::RECT{l, y, l + width, y + lineHeight}, background);
        }
    }
}

}  // namespace

Graph3DAxes Graph3DAxesOf(const Graph3DPlot& plot)
{
    Graph3DAxes axes;
    axes.min = plot.surface.axisMin;
    axes.max = plot.surface.axisMax;
    axes.linear = plot.surface.linear;
    return axes;
}

double PatchCornerValue(const Graph3DPlot& plot, int axis, int row, int column)
{
    const Graph3DSurface& s = plot.surface;
    const auto r = static_cast<std::size_t>(std::clamp(row, 0, std::max(0, static_cast<int>(s.zGrid.size()) - 1)));
    const auto c = static_cast<std::size_t>(std::clamp(column, 0, std::max(0, static_cast<int>(s.xGrid.size()) - 1)));
    if (!s.HasGrid()) return 0.0;
    if (axis == 0) return s.xGrid[c];
    if (axis == 2) return s.zGrid[r];
    const auto& heights = s.rows[r];
    return c < heights.size() ? heights[c] : 0.0;
}

std::array<win::POINT, 4> ProjectGraph3DPatch(const Graph3DPlot& plot, const Graph3DView& view, int column, int row)
{
    const int cs[4] = {column, column + 1, column + 1, column};
    const int rs[4] = {row, row, row + 1, row + 1};
    std::array<win::POINT, 4> pts{};
    for (int k = 0; k < 4; ++k)
        pts[static_cast<std::size_t>(k)] = ProjectGraph3DPoint(view, PatchCornerValue(plot, 0, rs[k], cs[k]),
                                                               PatchCornerValue(plot, 1, rs[k], cs[k]),
                                                               PatchCornerValue(plot, 2, rs[k], cs[k]));
    return pts;
}

std::array<win::POINT, 6> Graph3DSilhouette(const Graph3DPlot& plot, const Graph3DView& view)
{
    (void)plot;
    // The eight corners; the silhouette of a parallel projection of a box is the convex hull.
    std::vector<win::POINT> corners;
    for (int i = 0; i < 8; ++i) {
        const auto pick = [&](int axis) {
            const auto a = static_cast<std::size_t>(axis);
            return (i >> axis) & 1 ? view.axes.max[a] : view.axes.min[a];
        };
        corners.push_back(ProjectGraph3DPoint(view, pick(0), pick(1), pick(2)));
    }
    std::sort(corners.begin(), corners.end(), [](const win::POINT& a, const win::POINT& b) {
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    });
    auto cross = [](const win::POINT& o, const win::POINT& a, const win::POINT& b) {
        return static_cast<double>(a.x - o.x) * (b.y - o.y) - static_cast<double>(a.y - o.y) * (b.x - o.x);
    };
    std::vector<win::POINT> hull(16);
    std::size_t k = 0;
    for (const win::POINT& p : corners) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
        hull[k++] = p;
    }
    for (std::size_t i = corners.size() - 1, t = k + 1; i-- > 0;) {
        while (k >= t && cross(hull[k - 2], hull[k - 1], corners[i]) <= 0) --k;
        hull[k++] = corners[i];
    }
    if (k > 0) --k;  // the last point repeats the first
    std::array<win::POINT, 6> out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = k == 0 ? win::POINT{} : hull[std::min(i, k - 1)];
    return out;
}

bool PrepareGraph3DView(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing, bool cursorMode, Graph3DView& view)
{
    if (!plot.surface.HasGrid()) return false;
    const win::HFONT font = CreatePlotFontFor(plot, dc);
    const win::HGDIOBJ oldFont = win::SelectObject(dc, font);
    const int h = LineHeightOf(dc);
    view = Graph3DView{};
    view.axes = Graph3DAxesOf(plot);
    SetGraph3DPlotArea(view, drawing, h);
    BuildGraph3DView(view, plot.rotation, plot.contour != 0);
    const int width = drawing.right - drawing.left, height = drawing.bottom - drawing.top;
    const int margin = static_cast<int>(0.05 * width);
    const double targetWidth = width - 2 * margin;
    const double targetHeight = height - (cursorMode ? 7 : 3) * h;
    for (int pass = 0; pass < kFitPasses; ++pass) {
        const win::RECT b = BoundsOf(plot, dc, view, h);
        if (b.right > b.left) view.scaleX *= targetWidth / (b.right - b.left);
        if (b.bottom > b.top) view.scaleY *= targetHeight / (b.bottom - b.top);
        if (!std::isfinite(view.scaleX) || view.scaleX <= 0.0) view.scaleX = 1.0;
        if (!std::isfinite(view.scaleY) || view.scaleY <= 0.0) view.scaleY = 1.0;
    }
    const win::RECT b = BoundsOf(plot, dc, view, h);
    view.offsetX = (drawing.left + margin - b.left) / view.scaleX;
    view.offsetY = (drawing.top + h - b.top) / view.scaleY;
    win::SelectObject(dc, oldFont);
    win::DeleteObject(font);
    return true;
}

void DrawGraph3DBox(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, bool xorMode)
{
    if (!xorMode && !plot.axes && !plot.grid && !plot.axisBackground) return;
    Painter painter(plot, dc, view);
    const int oldRop = xorMode ? win::SetROP2(dc, win::R2_XORPEN) : 0;
    const win::HPEN pen = xorMode ? win::CreatePen(win::PS_DOT, 1, win::RGB(255, 255, 255))
                                  : win::CreatePen(win::PS_SOLID, 1, LineColor(plot, dc, plot.gridColor));
    const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    const win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    for (int axis = 0; axis < 3; ++axis) {
        const auto wall = painter.Wall(axis);
        if (xorMode) {
            win::POINT closed[5] = {wall[0], wall[1], wall[2], wall[3], wall[0]};
            win::Polyline(dc, closed, 5);
            continue;
        }
        if (plot.axisBackground) {
            const win::HBRUSH brush = win::CreateSolidBrush(
                DrawColorRef(plot.view.plot, dc, plot.backgroundColor[static_cast<std::size_t>(axis)], true));
            win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
            win::SelectObject(dc, brush);
            win::Polygon(dc, wall.data(), 4);
            win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
            win::DeleteObject(brush);
            win::SelectObject(dc, pen);
        }
        if (plot.grid) painter.WallGrid(axis);
    }
    if (plot.axes && !xorMode) {
        const double* lo = painter.lo_;
        const double* hi = painter.hi_;
        painter.Line(Point3{{lo[0], lo[1], lo[2]}}, Point3{{lo[0], hi[1], lo[2]}});
        painter.Line(Point3{{lo[0], lo[1], lo[2]}}, Point3{{lo[0], lo[1], hi[2]}});
        painter.Line(Point3{{lo[0], lo[1], lo[2]}}, Point3{{hi[0], lo[1], lo[2]}});
    }
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
    if (xorMode) win::SetROP2(dc, oldRop);
}

void DrawGraph3DCursor(Graph3DPlot& plot, win::HDC dc, const Graph3DView& view, int which)
{
    const Graph3DSurface& s = plot.surface;
    if (!s.HasGrid()) return;
    const int columns = static_cast<int>(s.xGrid.size());
    const int rows = static_cast<int>(s.zGrid.size());
    const int oldRop = win::SetROP2(dc, win::R2_XORPEN);
    const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
    const win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    for (int cursor = 0; cursor < 2; ++cursor) {
        if (which != -1 && which != cursor) continue;
        const win::HPEN pen = win::CreatePen(win::PS_SOLID, cursor + 1, DrawColorRef(plot.view.plot, dc, kCursorColor));
        const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
        const int point = std::clamp(s.cursorPoint[static_cast<std::size_t>(cursor)], 0, columns * rows - 1);
        const int r = point / columns, c = point % columns;
        auto at = [&](int rr, int cc) {
            return ProjectGraph3DPoint(view, PatchCornerValue(plot, 0, rr, cc), PatchCornerValue(plot, 1, rr, cc),
                                       PatchCornerValue(plot, 2, rr, cc));
        };
        const win::POINT centre = at(r, c);
        const int dr[4] = {0, 0, -1, 1}, dc4[4] = {-1, 1, 0, 0};
        for (int k = 0; k < 4; ++k) {
            const int rr = r + dr[k], cc = c + dc4[k];
            if (rr < 0 || rr >= rows || cc < 0 || cc >= columns) continue;
            const win::POINT p = at(rr, cc);
            win::MoveToEx(dc, centre.x, centre.y, nullptr);
            win::LineTo(dc, p.x, p.y);
        }
        win::SelectObject(dc, oldPen);
        win::DeleteObject(pen);
    }
    win::SelectObject(dc, oldBrush);
    win::SetBkMode(dc, oldMode);
    win::SetROP2(dc, oldRop);
}

void DrawGraph3DWindow(Graph3DPlot& plot, win::HDC dc, const win::RECT& drawing, bool cursorMode)
{
    Graph3DView view;
    if (!PrepareGraph3DView(plot, dc, drawing, cursorMode, view)) {
        // A performance function that measured nothing says so under its title; an empty
        // window would leave the user guessing.
        if (plot.surface.nothingMeasured) DrawNothingMeasured(plot, dc, drawing);
        return;
    }
    const win::HFONT font = CreatePlotFontFor(plot, dc);
    const win::HGDIOBJ oldFont = win::SelectObject(dc, font);
    const int h = LineHeightOf(dc);
    DrawTitle(plot, dc, drawing);
    if (plot.scales) DrawScales(plot, dc, view, h);
    if (cursorMode) DrawCursorTable(plot, dc, drawing, h);
    if (!plot.contour) DrawGraph3DBox(plot, dc, view, false);
    DrawPatches(plot, dc, view);
    if (plot.contour && plot.isolines) DrawIsolines(plot, dc, view);
    win::SelectObject(dc, oldFont);
    win::DeleteObject(font);
}

}  // namespace kq5
