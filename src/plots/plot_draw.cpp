#include "plots/plot_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/status_text.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/text.h"
#include "plots/analysis_window.h"
#include "plots/plot_axes.h"
#include "plots/plot_cursors.h"
#include "plots/plot_layout.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

// Cairo holds path coordinates in 24.8 fixed point: beyond about 8e6 pixels it misdraws. Half of
// that leaves room for pen widths and the device origin.
constexpr double kCairoExactLimit = 4.0e6;
constexpr int kMarkHalfSize = 2;

std::size_t U(int i) { return static_cast<std::size_t>(i); }


void DrawMark(win::HDC dc, std::int32_t x, std::int32_t y, const win::RECT& inside)
{
    if (x < inside.left || x > inside.right || y < inside.top || y > inside.bottom) return;
    const win::HGDIOBJ old = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::Rectangle(dc, x - kMarkHalfSize, y - kMarkHalfSize, x + kMarkHalfSize + 1, y + kMarkHalfSize + 1);
    win::SelectObject(dc, old);
}

// Slope of a pixel step as the merging of straight runs compares it.
double PixelSlope(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    if (x1 == x0) return y1 > y0 ? 2147483646.0 : (y1 == y0 ? 2147483647.0 : -2147483648.0);
    return static_cast<double>(y1 - y0) / static_cast<double>(x1 - x0);
}

// A line whose two ends lie beyond the same edge of the rectangle, further out than the pen
// reaches, leaves no pixel inside it.
bool BeyondOneEdge(const win::RECT& r, int reach, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    return (x0 < r.left - reach && x1 < r.left - reach) || (x0 > r.right + reach && x1 > r.right + reach) ||
           (y0 < r.top - reach && y1 < r.top - reach) || (y0 > r.bottom + reach && y1 > r.bottom + reach);
}

bool IsSpectral(const CurveRecord& c) { return (c.yExpression.dependencies & kDependsSpectralCompile) != 0; }

// Only long curves tell their progress, in twentieths of their points, on a status bar that is
// shown.
constexpr std::int32_t kProgressMinimumPoints = 100000;
constexpr std::int32_t kProgressSteps = 20;

class CurveDrawProgress {
public:
    CurveDrawProgress(const CurveRecord& curve, std::int32_t last)
        : name_(curve.name.empty() ? curve.yExpressionText : curve.name), last_(last),
          step_(StatusBarShown() && last > kProgressMinimumPoints ? last / kProgressSteps : 0), next_(step_)
    {
    }
    void At(std::int32_t i)
    {
        if (step_ <= 0 || i < next_) return;
        next_ += step_;
        const int percent = static_cast<int>(std::lround((static_cast<double>(i) + 1.0) / last_ * 100.0));
        SetStatusText(StrPrintf("Plotting data points for graph %s %d%% complete.", name_.c_str(), percent));
    }

private:
    std::string name_;
    std::int32_t last_;
    std::int32_t step_;
    std::int32_t next_;
};

}  // namespace

double SegmentCoordinateLimit(win::HDC dc) { return IsMetafileDC(dc) ? 32767.0 : kCairoExactLimit; }

bool ClipSegmentToBox(double& x1, double& y1, double& x2, double& y2, double left, double top, double right,
                      double bottom)
{
    double t0 = 0.0, t1 = 1.0;
    const double dx = x2 - x1, dy = y2 - y1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ox = x1, oy = y1;
    if (t1 < 1.0) x2 = ox + t1 * dx, y2 = oy + t1 * dy;
    if (t0 > 0.0) x1 = ox + t0 * dx, y1 = oy + t0 * dy;
    return true;
}

bool ClipSegmentToLimit(double& x1, double& y1, double& x2, double& y2, double limit)
{
    return ClipSegmentToBox(x1, y1, x2, y2, -limit, -limit, limit, limit);
}

void DrawClippedSegment(win::HDC dc, std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, bool box)
{
    const double limit = SegmentCoordinateLimit(dc);
    if (box) {
        const auto clamp = [&](std::int32_t v) { return static_cast<int>(std::clamp<double>(v, -limit, limit)); };
        if ((x1 > limit && x2 > limit) || (x1 < -limit && x2 < -limit) || (y1 > limit && y2 > limit) ||
            (y1 < -limit && y2 < -limit))
            return;
        win::Rectangle(dc, clamp(x1), clamp(y1), clamp(x2), clamp(y2));
        return;
    }
    double ax = x1, ay = y1, bx = x2, by = y2;
    if (!ClipSegmentToLimit(ax, ay, bx, by, limit)) return;
    win::MoveToEx(dc, static_cast<int>(std::lround(ax)), static_cast<int>(std::lround(ay)), nullptr);
    win::LineTo(dc, static_cast<int>(std::lround(bx)), static_cast<int>(std::lround(by)));
}

win::HPEN MakeCurvePen(WindowRecord* window, win::HDC dc, const CurveRecord& curve)
{
    PlotRecord& plot = *window->plot;
    int colour = curve.color;
    const int background = PlotViewOf(window->plot).graphBackground;
    if (DrawColorRef(plot, dc, colour) == DrawColorRef(plot, dc, background, true)) colour ^= 15;
    const int style = curve.linePattern >= 0 && curve.linePattern <= 4 ? curve.linePattern : win::PS_SOLID;
    const int width = std::clamp(curve.lineWidth, 1, 7);
    return win::CreatePen(width > 1 ? win::PS_SOLID : style, width,
                          DrawColorRef(plot, dc, PickDrawColor(plot, dc, colour)));
}

void DrawCurveSegment(WindowRecord* window, win::HDC dc, CurveRecord& c, std::int32_t px, std::int32_t py, bool join,
                      bool clip)
{
    const std::int32_t x0 = c.previousPixel[0];
    const std::int32_t y0 = c.previousPixel[1];
    const win::RECT& r = c.plotRect;
    const auto line = [&](std::int32_t ax, std::int32_t ay, std::int32_t bx, std::int32_t by) {
        if (!clip) {
            DrawClippedSegment(dc, ax, ay, bx, by, false);
            return;
        }
        double a = ax, b = ay, e = bx, f = by;
        if (!ClipSegmentToBox(a, b, e, f, r.left, r.top, r.right, r.bottom)) return;
        const int ix = static_cast<int>(std::lround(a)), iy = static_cast<int>(std::lround(b));
        const int jx = static_cast<int>(std::lround(e)), jy = static_cast<int>(std::lround(f));
        win::MoveToEx(dc, ix, iy, nullptr);
        win::LineTo(dc, jx, jy);
        // A line cut at the edge keeps its last pixel there.
        if (jx != bx || jy != by) win::LineTo(dc, jx + (jx >= ix ? 1 : -1), jy);
    };
    if (c.digital) {
        if (IsBusCurve(c)) {
            if (join) {
                for (std::int32_t row : {c.laneLow, c.laneHigh}) line(x0, row, px, row);
                if (py != y0) {
                    line(px - 2, c.laneLow, px + 2, c.laneHigh);
                    line(px - 2, c.laneHigh, px + 2, c.laneLow);
                }
            }
        } else if (join) {
            // Level of the previous state up to the new point, then the edge to the new level.
            const std::int32_t from = CurveValueToPixel(c, kWaveformY, y0, c.currentValue[0]);
            const std::int32_t to = CurveValueToPixel(c, kWaveformY, py, y0);
            line(x0, from, px, from);
            if (to != from) line(px, from, px, to);
        }
    } else if (join) {
        if (IsSpectral(c)) {
            line(px, r.bottom, px, py);
            if (py >= r.top && py <= r.bottom) win::Ellipse(dc, px - 2, py - 2, px + 3, py + 3);
        } else {
            line(x0, y0, px, py);
        }
    }
    if (!c.digital && (PlotOptions(window) & kPlotDataPoints)) DrawMark(dc, px, py, c.plotRect);
    c.previousPixel = {px, py};
}

void DrawStoredCurves(WindowRecord* window, win::HDC dc, int group)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    const int probe = AnalysisProbeState();
    if (probe == 1 || probe == 3) return;
    BeginWaitCursor(window->window);
    const bool statusShown = StatusBarShown();
    const std::string savedStatus = statusShown ? GetStatusText() : std::string();
    DrawCurveToken(window, dc, 0, win::POINT{}, 1);
    // The options are looked up once: a long curve would otherwise look them up at every point.
    const std::uint32_t options = PlotOptions(window);
    const bool tokens = (options & kPlotTokens) != 0;
    const bool marks = (options & kPlotDataPoints) != 0;
    for (int ci = 0; ci < plot.curveCount; ++ci) {
        CurveRecord& c = *plot.curves[U(ci)];
        if (c.state == 1 || !CurveInGroup(c, group) || !CurveMeetsUpdateRect(plot, c) || c.lastPointIndex < 0) continue;
        const int saved = win::SaveDC(dc);
        if (!IsMetafileDC(dc))
            win::IntersectClipRect(dc, c.plotRect.left, c.plotRect.top, c.plotRect.right + 1, c.plotRect.bottom + 1);
        const win::HPEN pen = MakeCurvePen(window, dc, c);
        const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
        WaveformStore& store = plot.store;
        const bool merge = !c.digital && !IsSpectral(c);
        const std::int32_t last = c.lastPointIndex;
        int run = 0;
        int k = 0;
        // A straight run of pixels waits here until a point leaves its line.
        bool pending = false;
        std::int32_t pendX = 0, pendY = 0;
        double pendSlope = 0.0;
        // Dense curves land on the pixel they left again and again: with a one-pixel pen such a
        // line draws nothing, and a million of them would cost as much as the curve itself. So
        // do the lines of a zoomed plot that pass wholly outside it. A metafile keeps them all.
        win::LOGPEN penShape{};
        win::GetObject(pen, sizeof(penShape), &penShape);
        const bool screen = !IsMetafileDC(dc);
        const bool thinPen = screen && penShape.lopnWidth.x <= 1;
        const int reach = std::max(1, static_cast<int>(penShape.lopnWidth.x)) + 1;
        const auto flush = [&] {
            if (!pending) return;
            const std::int32_t x0 = c.previousPixel[0], y0 = c.previousPixel[1];
            const bool dot = thinPen && pendX == x0 && pendY == y0;
            if (!dot && !(screen && BeyondOneEdge(c.plotRect, reach, x0, y0, pendX, pendY)))
                DrawClippedSegment(dc, x0, y0, pendX, pendY, false);
            c.previousPixel = {pendX, pendY};
            pending = false;
        };
        const auto extend = [&](std::int32_t px, std::int32_t py) {
            const double slope = PixelSlope(pending ? pendX : c.previousPixel[0], pending ? pendY : c.previousPixel[1], px, py);
            if (pending && slope != pendSlope) flush();
            if (!pending) pendSlope = PixelSlope(c.previousPixel[0], c.previousPixel[1], px, py);
            pending = true;
            pendX = px;
            pendY = py;
        };
        // Further points in the pixel column of the last one only widen the column's vertical
        // stroke: they are kept as its lowest, highest and last pixel, and the stroke is drawn
        // once when the curve leaves the column, which for a solid pen paints the same pixels as
        // one segment per point (a curve of a million points crosses each column hundreds of
        // times). A dashed pen starts its pattern afresh on each segment, so its columns keep
        // their points and draw them one by one, unless so many fall in one column that its
        // segments are a pixel or two and paint it solid anyway.
        constexpr std::size_t kDenseColumn = 64;
        const win::LOGPEN& style = penShape;
        const bool dashed = style.lopnStyle != win::PS_SOLID;
        bool column = false;
        std::int32_t columnX = 0, columnLow = 0, columnHigh = 0, columnLast = 0;
        std::size_t columnCount = 0;  // points after the first
        std::vector<std::int32_t> columnYs;
        win::HPEN solidPen = nullptr;
        const auto endColumn = [&] {
            if (column && dashed && columnCount < kDenseColumn) {
                for (std::int32_t y : columnYs) extend(columnX, y);
            } else if (column && columnCount > 0) {
                flush();
                if (dashed && !solidPen) solidPen = win::CreatePen(win::PS_SOLID, 1, style.lopnColor);
                if (solidPen) win::SelectObject(dc, solidPen);
                DrawClippedSegment(dc, columnX, columnLow, columnX, columnHigh + 1, false);
                if (solidPen) win::SelectObject(dc, pen);
                c.previousPixel = {columnX, columnLast};
            }
            column = false;
            columnCount = 0;
            columnYs.clear();
        };
        const auto flushAll = [&] {
            endColumn();
            flush();
        };
        CurveDrawProgress progress(c, last);
        for (std::int32_t i = 0; i <= last; ++i) {
            progress.At(i);
            if (run < store.runCount && run < static_cast<int>(c.runLastIndex.size()) && i == c.runLastIndex[U(run)] + 1) {
                flushAll();
                ++run;
                k = 0;
            }
            const double xv = GetWaveformValue(store, c.storeSlots[kWaveformX], i);
            const double yv = GetWaveformValue(store, c.storeSlots[kWaveformY], i);
            // A point without a value (a run in which a performance function found nothing)
            // leaves a gap: the line starts again after it.
            if (!std::isfinite(xv) || !std::isfinite(yv)) {
                flushAll();
                k = 0;
                continue;
            }
            const std::int32_t px = DigitalStateOrPixel(c, kWaveformX, xv);
            const std::int32_t py = DigitalStateOrPixel(c, kWaveformY, yv);
            if (k <= c.warmUpCount) {
                flushAll();
                c.previousPixel = {px, py};
                if (!c.digital && k >= c.warmUpCount && marks)
                    DrawMark(dc, px, py, c.plotRect);
            } else if (merge) {
                if (column && px == columnX) {
                    columnLow = std::min(columnLow, py);
                    columnHigh = std::max(columnHigh, py);
                    columnLast = py;
                    if (dashed && columnCount < kDenseColumn) columnYs.push_back(py);
                    ++columnCount;
                } else {
                    endColumn();
                    extend(px, py);
                    column = true;
                    columnX = px;
                    columnLow = columnHigh = columnLast = py;
                }
                if (marks) DrawMark(dc, px, py, c.plotRect);
            } else {
                DrawCurveSegment(window, dc, c, px, py, true);
            }
            if (tokens) DrawCurveToken(window, dc, ci, win::POINT{px, c.digital ? c.laneLow : py}, 0);
            ++k;
        }
        endColumn();
        flush();
        win::SelectObject(dc, oldPen);
        if (solidPen) win::DeleteObject(solidPen);
        win::DeleteObject(pen);
        win::RestoreDC(dc, saved);
    }
    if (statusShown) SetStatusText(savedStatus);
    EndWaitCursor();
}

void DrawCurveToken(WindowRecord* window, win::HDC dc, int curveIndex, win::POINT point, int mode)
{
    PlotRecord& plot = *window->plot;
    if (mode == 1) {
        for (int i = 0; i < plot.curveCount; ++i) {
            CurveRecord& c = *plot.curves[U(i)];
            c.lastTokenPosition = {c.plotRect.left, c.plotRect.top};
        }
        return;
    }
    if (curveIndex < 0 || curveIndex >= plot.curveCount) return;
    CurveRecord& c = *plot.curves[U(curveIndex)];
    if (c.digital || c.placeInGroup == 0) return;
    const win::RECT& r = c.plotRect;
    if (mode != 4 && (point.x < r.left || point.x > r.right || point.y < r.top || point.y > r.bottom)) return;
    const int u = (r.right - r.left) / 80;
    const int v = (r.bottom - r.top) / 80;
    if (mode != 2 && mode != 4 && std::abs(point.x - c.lastTokenPosition[0]) <= 4 * u) return;
    const int s = std::max(std::min(u / 2, v / 2), 2);
    const int x = point.x, y = point.y;
    const win::HPEN pen = MakeCurvePen(window, dc, c);
    const win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    win::LOGPEN lp{};
    win::GetObject(pen, sizeof(lp), &lp);
    const auto line = [&](int ax, int ay, int bx, int by) {
        win::MoveToEx(dc, ax, ay, nullptr);
        win::LineTo(dc, bx, by);
    };
    switch ((c.placeInGroup - 1) % 8) {
    case 0:
    case 1: {
        const int colour = (c.placeInGroup - 1) % 8 == 0 ? -1 : 0;
        const win::HBRUSH brush = win::CreateSolidBrush(colour < 0 ? lp.lopnColor : DrawColorRef(plot, dc, PickDrawColor(plot, dc, 0)));
        const win::HGDIOBJ oldBrush = win::SelectObject(dc, brush);
        win::Rectangle(dc, x - s, y - s, x + s, y + s);
        win::SelectObject(dc, oldBrush);
        win::DeleteObject(brush);
        break;
    }
    case 2: line(x - s, y, x + s + 1, y), line(x, y - s, x, y + s + 1); break;
    case 3: line(x - s, y - s, x + s + 1, y + s + 1), line(x - s, y + s, x + s + 1, y - s - 1); break;
    case 4: line(x - s, y + s, x + s, y + s), line(x + s, y + s, x, y - s), line(x, y - s, x - s, y + s); break;
    case 5: line(x - s, y, x, y - s), line(x, y - s, x + s, y), line(x + s, y, x, y + s), line(x, y + s, x - s, y); break;
    case 6:
        line(x - s, y, x + s + 1, y), line(x, y - s, x, y + s + 1);
        line(x - s, y - s, x + s + 1, y + s + 1), line(x - s, y + s, x + s + 1, y - s - 1);
        break;
    default: break;
    }
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
    c.lastTokenPosition = {x, y};
}

void DrawTextWithBackground(win::HDC dc, const win::RECT& rect, const std::string& text, unsigned flags,
                            win::COLORREF background)
{
    win::RECT r = rect;
    if ((flags & 2) && IsDisplayDC(dc)) {
        const win::HBRUSH brush = win::CreateSolidBrush(background);
        win::FillRect(dc, &r, brush);
        win::DeleteObject(brush);
    }
    const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
    win::DrawText(dc, text, &r, win::DT_SINGLELINE | win::DT_NOPREFIX | win::DT_NOCLIP | ((flags & 1) ? win::DT_RIGHT : 0));
    win::SetBkMode(dc, oldMode);
}

void DrawQuotientText(win::HDC dc, double a, double b, const win::RECT& rect, win::COLORREF background)
{
    DrawTextWithBackground(dc, rect, QuotientText(a, b), 3, background);
}

void DrawCurveReadouts(WindowRecord* window, win::HDC dc, int group)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    if (plot.plotFontHandle) win::SelectObject(dc, plot.plotFontHandle);
    const int h = plot.textLineHeight;
    const bool cursorMode = InCursorMode(window);
    const bool tokens = (PlotOptions(window) & kPlotTokens) != 0;
    const win::COLORREF background = DrawColorRef(plot, dc, PlotViewOf(window->plot).windowBackground, true);
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        if (!CurveInGroup(c, group) || c.plotRect.right <= c.plotRect.left) continue;
        SetCurveTextColours(window, dc, c);
        const std::string caption = c.name.empty() ? c.yExpressionText : c.name;
        const int x = c.captionPosition[0];
        const int y = c.captionPosition[1];
        const int fifth = (c.plotRect.right - c.plotRect.left) / 5;
        const int captionWidth = cursorMode && !c.digital ? fifth : c.captionWidths[0] + plot.averageCharWidth;
        DrawTextWithBackground(dc, win::RECT{x, y, x + captionWidth, y + h}, caption, 2, background);
        if (tokens && !c.digital) DrawCurveToken(window, dc, i, win::POINT{x - plot.averageCharWidth / 2, y + h / 2}, 4);
        if (!cursorMode) continue;
        if (c.digital) {
            const int at = x + c.captionWidths[0] + plot.averageCharWidth;
            const std::string text = FormatCurveValue(c, kWaveformY, c.cursorY[0]) + " " +
                                     FormatCurveValue(c, kWaveformY, c.cursorY[1]);
            DrawTextWithBackground(dc, win::RECT{at, y, c.plotRect.left - 2, y + h}, text, 2, background);
            continue;
        }
        const double dy = c.cursorY[1] - c.cursorY[0];
        const double dx = c.cursorX[1] - c.cursorX[0];
        // A cursor on a point without a value (a run a performance function found nothing in)
        // reads nothing there, and nothing derived from it.
        const auto cell = [&c](double v) { return std::isnan(v) ? std::string() : FormatCurveValue(c, kWaveformY, v); };
        const std::string values[3] = {cell(c.cursorY[0]), cell(c.cursorY[1]), cell(dy)};
        for (int col = 0; col < 3; ++col) {
            const int left = c.plotRect.left + (col + 1) * fifth;
            DrawTextWithBackground(dc, win::RECT{left, y, left + fifth, y + h}, values[col], 3, background);
        }
        const int slopeLeft = c.plotRect.left + 4 * fifth;
        const win::RECT slope{slopeLeft, y, slopeLeft + fifth, y + h};
        if (std::isnan(dy)) DrawTextWithBackground(dc, slope, std::string(), 3, background);
        else DrawQuotientText(dc, dy, dx, slope, background);
        if (c.placeInGroup == 0) DrawCursorTableCaptions(window, dc, i);
    }
}

}  // namespace kq5
