#include "plots/plot_layout.h"

#include <algorithm>
#include <cmath>

#include "ui/color_table.h"
#include "ui/edit_mode.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/print.h"
#include "platform/text.h"
#include "plots/analysis_window.h"
#include "plots/plot_axes.h"
#include "plots/plot_draw.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kInk = 15;
constexpr int kMinimumFontSize = 2;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

CurveRecord& CurveAt(PlotRecord& plot, int i) { return *plot.curves[U(i)]; }

int TextWidth(win::HDC dc, const std::string& text) { return win::GetTextExtent(dc, text).cx; }

win::COLORREF ColorOf(int index)
{
    index = std::clamp(index, 0, kColorRows - 1);
    if (index >= kFirstPaletteColor && index < kPaletteColors) return PaletteColor(index, true);
    return ColorTable().rows[U(index)].color;
}


std::string CaptionText(const CurveRecord& c) { return c.name.empty() ? c.yExpressionText : c.name; }

// A pen or brush made for one drawing and deleted with it.
struct GdiSelection {
    win::HDC dc;
    win::HGDIOBJ made;
    win::HGDIOBJ old;
    GdiSelection(win::HDC d, win::HGDIOBJ object) : dc(d), made(object), old(win::SelectObject(d, object)) {}
    ~GdiSelection()
    {
        win::SelectObject(dc, old);
        win::DeleteObject(made);
    }
    GdiSelection(const GdiSelection&) = delete;
    GdiSelection& operator=(const GdiSelection&) = delete;
};

void DrawGridLine(win::HDC dc, const win::RECT& r, int axis, int at, bool ruler)
{
    if (axis == kWaveformX) {
        if (at <= r.left || at >= r.right) return;
        if (!ruler) {
            win::MoveToEx(dc, at, r.top + 1, nullptr);
            win::LineTo(dc, at, r.bottom);
            return;
        }
        const int t = std::min(r.right - r.left, r.bottom - r.top) / 20;
        win::MoveToEx(dc, at, r.top + 1, nullptr);
        win::LineTo(dc, at, r.top + t);
        win::MoveToEx(dc, at, r.bottom - t, nullptr);
        win::LineTo(dc, at, r.bottom);
        return;
    }
    if (at <= r.top || at >= r.bottom) return;
    if (!ruler) {
        win::MoveToEx(dc, r.left + 1, at, nullptr);
        win::LineTo(dc, r.right, at);
        return;
    }
    const int t = std::min(r.right - r.left, r.bottom - r.top) / 20;
    win::MoveToEx(dc, r.left + 1, at, nullptr);
    win::LineTo(dc, r.left + t, at);
    win::MoveToEx(dc, r.right - t, at, nullptr);
    win::LineTo(dc, r.right, at);
}

// Places an X label at its tick; an empty rectangle drops it.
win::RECT PlaceXLabel(win::HDC dc, const CurveRecord& c, int tick, const std::string& text, int h, int charWidth)
{
    const win::RECT& r = c.plotRect;
    const int w = TextWidth(dc, text);
    int x = tick;
    if (tick > r.left) x = std::max(tick - w / 2, static_cast<int>(r.left));
    if (x + w >= r.right - 1) x = r.right - w;
    if (x + charWidth / 2 < r.left) return win::RECT{};
    return win::RECT{x, r.bottom + 1, x + w, r.bottom + 1 + h};
}

win::RECT PlaceYLabel(const CurveRecord& c, int tick, int h)
{
    const int x = c.plotRect.left - c.scaleColumn * c.columnWidth;
    return win::RECT{x, tick - h / 2, x + c.columnWidth, tick - h / 2 + h};
}

bool Intersect(const win::RECT& a, const win::RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

bool CurveInGroup(const CurveRecord& c, int group) { return c.plotGroup >= 1 && (group < 0 || c.plotGroup == group); }

bool CurveMeetsUpdateRect(const PlotRecord& plot, const CurveRecord& c)
{
    const win::RECT& u = plot.updateRect;
    if (u.right <= u.left || u.bottom <= u.top) return true;
    return !(c.plotRect.right + 1 < u.left || u.right <= c.plotRect.left || c.plotRect.bottom + 1 < u.top ||
             u.bottom <= c.plotRect.top);
}

bool IsDisplayDC(win::HDC dc) { return win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_RASDISPLAY; }

bool IsMetafileDC(win::HDC dc) { return win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_METAFILE; }

double PaperScaleOf(win::HDC dc)
{
    constexpr double kScreenPixelsPerInch = 96.0;
    if (IsMetafileDC(dc)) return 1.0;
    if (!IsDisplayDC(dc)) return std::max(1.0, win::GetDeviceCaps(dc, win::LOGPIXELSY) / kScreenPixelsPerInch);
    return win::GetMapMode(dc) != win::MM_TEXT ? win::kPrinterDpi / kScreenPixelsPerInch : 1.0;
}

bool InCursorMode(const WindowRecord* window)
{
    // The search modes of the Cursor Functions menu keep the window in Cursor mode.
    return window && (window->mode == kCommandCursorMode || (window->mode >= 18670 && window->mode <= 18677));
}

PlotViewSettings& PlotView(WindowRecord* window) { return PlotViewOf(window->plot); }

std::uint32_t PlotOptions(const WindowRecord* window)
{
    if (!window || !window->plot) return 0;
    const int kind = std::clamp(window->plot->analysisKind, 0, 2);
    return static_cast<std::uint32_t>(PlotViewOf(window->plot).optionWord[U(kind)]);
}

bool UseColorOnDC(const PlotRecord& plot, win::HDC dc)
{
    if (IsDisplayDC(dc) || IsMetafileDC(dc)) return plot.pageRect.right <= plot.pageRect.left;
    return false;
}

int PickDrawColor(const PlotRecord& plot, win::HDC dc, int index) { return UseColorOnDC(plot, dc) ? index : kInk; }

win::COLORREF DrawColorRef(const PlotRecord& plot, win::HDC dc, int index, bool fill)
{
    if (!UseColorOnDC(plot, dc)) return fill ? win::RGB(255, 255, 255) : win::RGB(0, 0, 0);
    // Palette entries as plain colours: metafiles and printers have no palette to look them up.
    return ColorOf(index);
}

void SetScaleTextColours(WindowRecord* window, win::HDC dc)
{
    PlotRecord& plot = *window->plot;
    PlotViewSettings& view = PlotView(window);
    if (view.textFont.color == view.windowBackground) view.textFont.color ^= 15;
    int text = view.textFont.color;
    if (DrawColorRef(plot, dc, text) == DrawColorRef(plot, dc, view.windowBackground, true)) text ^= 15;
    win::SetTextColor(dc, DrawColorRef(plot, dc, text));
    win::SetBkColor(dc, DrawColorRef(plot, dc, view.windowBackground, true));
}

void SetCurveTextColours(WindowRecord* window, win::HDC dc, const CurveRecord& curve)
{
    PlotRecord& plot = *window->plot;
    PlotViewSettings& view = PlotView(window);
    int text = view.scaleColor ? curve.color : view.textFont.color;
    if (DrawColorRef(plot, dc, text) == DrawColorRef(plot, dc, view.windowBackground, true)) text ^= 15;
    win::SetTextColor(dc, DrawColorRef(plot, dc, text));
    win::SetBkColor(dc, DrawColorRef(plot, dc, view.windowBackground, true));
}

void KeepCurveColourVisible(WindowRecord* window, int curveIndex)
{
    PlotRecord& plot = *window->plot;
    CurveRecord& c = CurveAt(plot, curveIndex);
    const auto& rows = ColorTable().rows;
    const int background = PlotView(window).graphBackground;
    (void)rows;
    if (ColorOf(c.color) == ColorOf(background)) c.color ^= 15;
}

int ReadoutWidth(WindowRecord* window, win::HDC dc, const CurveRecord& curve, int axis)
{
    const int zero = TextWidth(dc, "0");
    const bool digitalY = axis == kWaveformY && curve.groupKind == kGroupDigital;
    if (digitalY || AnalysisProbeState() != 0) return zero * 2;
    const NumberFormat& format = axis == kWaveformY ? curve.valueFormat : curve.secondValueFormat;
    return zero * (format.width + 1);
}

int MeasureYScaleMargin(WindowRecord* window, win::HDC dc)
{
    PlotRecord& plot = *window->plot;
    win::RECT drawing{};
    GetDrawingRect(window, dc, drawing);
    const int quarter = (drawing.right - drawing.left) / 4;
    const bool capped = IsDisplayDC(dc) || IsMetafileDC(dc);
    std::vector<int> width(U(plot.curveCount), 0);
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = CurveAt(plot, i);
        c.axisSpan[kWaveformY] = c.axisHigh[kWaveformY] - c.axisLow[kWaveformY];
        int w = 0;
        if (c.digital) {
            w = c.captionWidths[0] + (InCursorMode(window)
                                          ? TextWidth(dc, "Left") + TextWidth(dc, "Right") + TextWidth(dc, "XXXX")
                                          : ReadoutWidth(window, dc, c, kWaveformY));
        } else if (c.ownScale) {
            for (const TickLabel& label : AxisTickLabels(window, dc, c, kWaveformY, true))
                w = std::max(w, TextWidth(dc, label.text));
        }
        w += 3;
        if (capped) w = std::min(w, std::max(quarter, 0));
        width[U(i)] = w;
    }
    int margin = 0;
    for (int g = 1; g <= plot.groupCount; ++g) {
        int groupWidth = 0;
        int count = 0;
        for (int i = 0; i < plot.curveCount; ++i) {
            CurveRecord& c = CurveAt(plot, i);
            if (c.plotGroup != g || !(c.ownScale || c.digital)) continue;
            groupWidth = std::max(groupWidth, width[U(i)]);
            count = c.digital ? 1 : count + 1;
        }
        if (count > 1) groupWidth += TextWidth(dc, "X");
        int column = 0;
        for (int i = 0; i < plot.curveCount; ++i) {
            CurveRecord& c = CurveAt(plot, i);
            if (c.plotGroup != g) continue;
            c.columnWidth = groupWidth;
            if (c.ownScale && !c.digital) ++column;
            c.scaleColumn = std::max(column, 1);
        }
        margin = std::max(margin, count * groupWidth);
    }
    plot.yScaleWidth = margin;
    return margin;
}

int LayoutPlotWindow(WindowRecord* window, win::HDC dc)
{
    if (!window || !window->plot || window->plot->curveCount == 0) return 1;
    PlotRecord& plot = *window->plot;
    const bool cursorMode = InCursorMode(window);
    // Each round that shrinks the font lays the window out again; sizes end at 2.
    for (int attempt = 0; attempt < 32768; ++attempt) {
        if (plot.plotFontHandle) win::SelectObject(dc, plot.plotFontHandle);
        win::TEXTMETRIC tm{};
        win::GetTextMetrics(dc, &tm);
        plot.averageCharWidth = std::max<int>(1, tm.tmAveCharWidth);
        const int h = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
        plot.textLineHeight = h;
        const int tokenWidth = (PlotOptions(window) & kPlotTokens) ? plot.averageCharWidth : 0;

        plot.groupCount = 0;
        for (int i = 0; i < plot.curveCount; ++i) {
            CurveRecord& c = CurveAt(plot, i);
            plot.groupCount = std::max(plot.groupCount, c.plotGroup);
            c.captionWidths[0] = TextWidth(dc, CaptionText(c));
            c.captionWidths[1] = TextWidth(dc, c.xExpressionText);
        }
        if (plot.groupCount == 0) return 1;

        const int margin = MeasureYScaleMargin(window, dc);
        win::RECT drawing{};
        GetDrawingRect(window, dc, drawing);
        const int L = drawing.left + margin + 4;
        const int T = drawing.top + h + h / 14;
        const int R = std::max<int>(L + 1, drawing.right - plot.averageCharWidth);
        const int usable = R - L;
        const int B = drawing.bottom - h / 3;
        const bool display = IsDisplayDC(dc);

        // Caption rows of each group.
        std::vector<int> groupRows(U(plot.groupCount + 1), 0);
        std::vector<int> captionRow(U(plot.curveCount), 0);
        int totalRows = 0;
        for (int g = 1; g <= plot.groupCount; ++g) {
            int row = cursorMode ? 1 : 0;
            int offset = 0;
            bool started = false;
            for (int i = 0; i < plot.curveCount; ++i) {
                CurveRecord& c = CurveAt(plot, i);
                if (c.plotGroup != g) continue;
                if (c.digital) {
                    c.captionPosition = {L - margin, 0, c.captionWidths[0]};
                    captionRow[U(i)] = -1;
                    continue;
                }
                if (!started || cursorMode) {
                    row = started ? row + 1 : (cursorMode ? 2 : 1);
                    offset = 0;
                    started = true;
                }
                int width = TextWidth(dc, "W") + c.captionWidths[0];
                if (display) width += ReadoutWidth(window, dc, c, kWaveformY);
                if (offset + width + tokenWidth > usable && offset != 0) {
                    ++row;
                    offset = 0;
                }
                c.captionPosition = {L + tokenWidth + offset, 0, width};
                captionRow[U(i)] = row;
                offset += width + tokenWidth;
            }
            const int lastRow = started ? row : (cursorMode ? 1 : 0);
            groupRows[U(g)] = lastRow + 2;
            totalRows += lastRow + 2;
        }

        const int groups = plot.groupCount;
        const double free = B - T - (totalRows * h + (groups - 1) * (h / 2));
        const int H = std::max(0, static_cast<int>(std::ceil(free / groups - 2)));
        std::vector<int> groupTop(U(groups + 2), T);
        for (int g = 2; g <= groups + 1; ++g)
            groupTop[U(g)] = groupTop[U(g - 1)] +
                             static_cast<int>(std::ceil(groupRows[U(g - 1)] * h + H + h / 2.0 + 1));

        const win::RECT oldFirst = plot.curves[0]->plotRect;
        for (int i = 0; i < plot.curveCount; ++i) {
            CurveRecord& c = CurveAt(plot, i);
            if (c.plotGroup < 1) {
                c.plotRect = win::RECT{};
                continue;
            }
            const int top = groupTop[U(c.plotGroup)];
            c.plotRect = win::RECT{L, top, R, top + H};
            c.labelRect = win::RECT{drawing.left, c.plotGroup == 1 ? drawing.top : top, drawing.right,
                                    c.plotGroup == groups ? drawing.bottom : groupTop[U(c.plotGroup + 1)]};
            if (captionRow[U(i)] >= 0) c.captionPosition[1] = captionRow[U(i)] * h + c.plotRect.bottom + 1;
            c.axisLength = {R - L, H};
            ComputeCurveAxisMapping(plot, c, kWaveformX);
            ComputeCurveAxisMapping(plot, c, kWaveformY);
            c.yPixelSpan = c.digital ? std::array<std::int32_t, 2>{c.laneLow, c.laneHigh}
                                     : std::array<std::int32_t, 2>{c.plotRect.bottom, c.plotRect.top};
            if (c.digital) c.captionPosition[1] = c.laneLow + ((c.laneHigh - c.laneLow) - h) / 2;
        }
        (void)oldFirst;

        // Groups too low for their divisions take a smaller font, down to size 2.
        bool shrink = false;
        for (int i = 0; i < plot.curveCount && !shrink; ++i) {
            CurveRecord& c = CurveAt(plot, i);
            if (c.placeInGroup != 0 || c.plotGroup < 1) continue;
            const int divisions = c.groupKind == kGroupDigital ? DigitalLaneCount(plot, c)
                                                               : CountAxisDivisions(plot, c, kWaveformY);
            const int perDivision = (c.plotRect.bottom - c.plotRect.top) / std::max(divisions, 1);
            if (perDivision < h && std::abs(plot.plotFont.height) > kMinimumFontSize) shrink = true;
        }
        if (!shrink) return 0;
        plot.plotFont.height = static_cast<std::int16_t>(plot.plotFont.height > 0 ? plot.plotFont.height - 1
                                                                                  : plot.plotFont.height + 1);
        RemakePlotFont(window, dc);
    }
    return 0;
}

std::vector<TickLabel> AxisTickLabels(WindowRecord* window, win::HDC dc, const CurveRecord& c, int axis,
                                      bool measuring)
{
    PlotRecord& plot = *window->plot;
    const std::size_t a = U(axis);
    const int h = std::max(1, plot.textLineHeight);
    std::vector<TickLabel> labels;
    const auto place = [&](double value, const std::string& text) {
        const int tick = ValueToPixelClamped(c, axis, value);
        return axis == kWaveformX ? PlaceXLabel(dc, c, tick, text, h, plot.averageCharWidth) : PlaceYLabel(c, tick, h);
    };
    if (c.linear[a]) {
        const int divisions = CountAxisDivisions(plot, c, axis);
        const int n = measuring ? 10 : std::max(1, divisions / 2);
        const double m = LabelMultiplier(c, axis);
        const double span = c.axisHigh[a] - c.axisLow[a];
        const int length = c.axisLength[a];
        for (int i = 0; i <= n; ++i) {
            TickLabel label;
            const double value = c.axisLow[a] * m + i * (span * m / n);
            label.text = FormatTickLabel(c, axis, value, std::fabs(span * m / n));
            const int offset = (length / n) * i;
            if (axis == kWaveformX) {
                label.rect = PlaceXLabel(dc, c, c.plotRect.left + offset, label.text, h, plot.averageCharWidth);
            } else {
                const int x = c.plotRect.left - c.scaleColumn * c.columnWidth;
                const int top = c.plotRect.bottom - (offset + h / 2);
                label.rect = win::RECT{x, top, x + c.columnWidth, top + h};
            }
            label.major = true;
            // Measuring wants every text, placed or not (the column widths are not known yet).
            if (measuring || label.rect.right > label.rect.left) labels.push_back(std::move(label));
        }
        return labels;
    }
    const double low = std::min(c.axisLow[a], c.axisHigh[a]);
    const double high = std::max(c.axisLow[a], c.axisHigh[a]);
    const std::string& format = axis == kWaveformX ? c.xScaleFormat : c.yScaleFormat;
    const auto logText = [&](double v) {
        std::string text = FormatExponentForm(format.empty() ? "2" : format, v);
        StripExponentPadding(text);
        const std::size_t first = text.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : text.substr(first);
    };
    bool made = false;
    WalkLogTicks(low, high, [&](double v, bool major) {
        if (v * 1.000001 < low || !(major || !made)) return;
        made = true;
        TickLabel label{logText(v), place(v, logText(v)), major};
        if (measuring || label.rect.right > label.rect.left) labels.push_back(std::move(label));
    });
    if (!measuring) {
        std::vector<TickLabel> drawn;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            if (i + 1 < labels.size() && Intersect(labels[i].rect, labels[i + 1].rect)) {
                drawn.push_back(labels[i + 1].major && !labels[i].major ? labels[i + 1] : labels[i]);
                ++i;
                continue;
            }
            drawn.push_back(labels[i]);
        }
        labels = std::move(drawn);
    }
    if (labels.empty()) {
        for (double v : {low, high}) {
            TickLabel label{logText(v), place(v, logText(v)), true};
            if (label.rect.right > label.rect.left) labels.push_back(std::move(label));
        }
    }
    return labels;
}

std::vector<int> GridLinePositions(WindowRecord* window, const CurveRecord& c, int axis)
{
    PlotRecord& plot = *window->plot;
    const std::size_t a = U(axis);
    std::vector<int> lines;
    const win::RECT& r = c.plotRect;
    if (c.linear[a]) {
        const int divisions = CountAxisDivisions(plot, c, axis);
        const double step = (c.axisLength[a] + 1.0) / divisions;
        if (static_cast<int>(step) <= 1) return lines;
        if (axis == kWaveformX) {
            for (int k = 0; r.left + k * step <= r.right; ++k) lines.push_back(static_cast<int>(r.left + k * step));
        } else {
            for (int k = 0; r.top + k * step <= r.bottom; ++k) lines.push_back(static_cast<int>(r.top + k * step));
        }
        return lines;
    }
    const bool minor = (PlotOptions(window) & kPlotMinorLogGrids) != 0;
    const double low = std::min(c.axisLow[a], c.axisHigh[a]);
    const double high = std::max(c.axisLow[a], c.axisHigh[a]);
    WalkLogTicks(low, high, [&](double v, bool major) {
        if (major || minor) lines.push_back(ValueToPixelClamped(c, axis, v));
    });
    return lines;
}

void DrawPlotGrids(WindowRecord* window, win::HDC dc, int group)
{
    PlotRecord& plot = *window->plot;
    PlotViewSettings& view = PlotView(window);
    const std::uint32_t options = PlotOptions(window);
    if (view.gridColor == view.graphBackground) view.gridColor ^= 15;
    int grid = view.gridColor;
    const int background = PickDrawColor(plot, dc, view.graphBackground);
    if (DrawColorRef(plot, dc, grid) == DrawColorRef(plot, dc, background, true)) grid ^= 15;
    {
        GdiSelection pen(dc, win::CreatePen(win::PS_SOLID, 1, DrawColorRef(plot, dc, grid)));
        GdiSelection brush(dc, win::CreateSolidBrush(DrawColorRef(plot, dc, background, true)));
        for (int i = 0; i < plot.curveCount; ++i) {
            const CurveRecord& c = CurveAt(plot, i);
            if (c.placeInGroup != 0 || !CurveInGroup(c, group)) continue;
            win::Rectangle(dc, c.plotRect.left, c.plotRect.top, c.plotRect.right + 1, c.plotRect.bottom + 1);
        }
    }
    const bool printer = !IsDisplayDC(dc) && !IsMetafileDC(dc);
    const int oldMode = win::SetBkMode(dc, win::TRANSPARENT);
    {
        GdiSelection pen(dc, win::CreatePen(win::PS_DOT, 1, printer ? win::RGB(0, 0, 0) : DrawColorRef(plot, dc, grid)));
        const bool ruler = (options & kPlotRuler) != 0;
        for (int axis = 0; axis < 2; ++axis) {
            const std::uint32_t bit = axis == kWaveformX ? kPlotHorizontalGrids : kPlotVerticalGrids;
            if (!(options & bit)) continue;
            for (int i = 0; i < plot.curveCount; ++i) {
                const CurveRecord& c = CurveAt(plot, i);
                if (c.placeInGroup != 0 || !CurveInGroup(c, group) || !CurveMeetsUpdateRect(plot, c)) continue;
                // A group led by a digital curve is laid out in lanes: no lines across it.
                if (axis == kWaveformY && c.digital) continue;
                for (int at : GridLinePositions(window, c, axis)) DrawGridLine(dc, c.plotRect, axis, at, ruler);
            }
        }
    }
    if (options & kPlotBaseLine) {
        for (int i = 0; i < plot.curveCount; ++i) {
            const CurveRecord& c = CurveAt(plot, i);
            if (c.digital || !c.ownScale || !CurveInGroup(c, group) || !CurveMeetsUpdateRect(plot, c)) continue;
            const int colour = view.scaleColor && !view.sameYScales ? c.color : view.textFont.color;
            GdiSelection pen(dc, win::CreatePen(win::PS_SOLID, 1, DrawColorRef(plot, dc, PickDrawColor(plot, dc, colour))));
            const int y = ValueToPixelClamped(c, kWaveformY, 0.0);
            if (y < c.plotRect.top || y > c.plotRect.bottom) continue;
            win::MoveToEx(dc, c.plotRect.left, y, nullptr);
            win::LineTo(dc, c.plotRect.right, y);
        }
    }
    win::SetBkMode(dc, oldMode);
}

void DrawPlotScales(WindowRecord* window, win::HDC dc, int group)
{
    PlotRecord& plot = *window->plot;
    PlotViewSettings& view = PlotView(window);
    if (plot.plotFontHandle) win::SelectObject(dc, plot.plotFontHandle);
    const int h = plot.textLineHeight;
    const bool clear = IsDisplayDC(dc) && plot.pageRect.right <= plot.pageRect.left;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = CurveAt(plot, i);
        if (!CurveInGroup(c, group)) continue;
        KeepCurveColourVisible(window, i);
        if (c.placeInGroup == 0 && clear) {
            GdiSelection brush(dc, win::CreateSolidBrush(DrawColorRef(plot, dc, view.windowBackground, true)));
            const win::RECT below{c.plotRect.left, c.plotRect.bottom + 1, c.labelRect.right, c.labelRect.bottom};
            const win::RECT column{0, c.labelRect.top - h / 2, c.plotRect.left, c.labelRect.bottom - h / 2};
            win::FillRect(dc, &below, static_cast<win::HBRUSH>(brush.made));
            win::FillRect(dc, &column, static_cast<win::HBRUSH>(brush.made));
        }
        const bool curveColours = view.scaleColor && !view.sameYScales;
        constexpr win::UINT kFlags = win::DT_SINGLELINE | win::DT_NOCLIP | win::DT_NOPREFIX;
        if (c.placeInGroup == 0) {
            SetScaleTextColours(window, dc);
            for (TickLabel& label : AxisTickLabels(window, dc, c, kWaveformX, false))
                win::DrawText(dc, label.text, &label.rect, kFlags);
        }
        if (c.ownScale && !c.digital) {
            if (curveColours) SetCurveTextColours(window, dc, c);
            else SetScaleTextColours(window, dc);
            for (TickLabel& label : AxisTickLabels(window, dc, c, kWaveformY, false)) {
                label.rect.right -= 3;
                win::DrawText(dc, label.text, &label.rect, kFlags | win::DT_RIGHT);
            }
        }
    }
    DrawCurveReadouts(window, dc, group);
}

void DrawPlotAxes(WindowRecord* window, win::HDC dc, int group)
{
    DrawPlotGrids(window, dc, group);
    DrawPlotScales(window, dc, group);
}

}  // namespace kq5
