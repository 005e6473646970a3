#include "plots/plot_view.h"

#include <algorithm>
#include <cmath>

#include "core/analysis_state.h"
#include "analog/ac_run.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "ui/color_table.h"
#include "ui/window_record.h"
#include "core/timers.h"
#include "ui/program_settings.h"
#include "document/file_names.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/text.h"
#include "platform/window.h"
#include "analog/analysis_run_services.h"
#include "plots/analysis_window.h"
#include "plots/curve_ranges.h"
#include "plots/plot_axes.h"
#include "plots/plot_cursors.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_object_moves.h"
#include "plots/plot_setup.h"
#include "plots/plot_window_services.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kMetafileExtent = 1200;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

bool HasPage(const PlotRecord& plot) { return plot.pageRect.right > plot.pageRect.left; }

// A DC taken from the window for one drawing, released when it ends.
struct WindowDC {
    win::HWND hwnd = nullptr;
    win::HDC dc = nullptr;
    bool own = false;
    WindowDC(WindowRecord* window, win::HDC given) : dc(given)
    {
        if (!dc && window && window->window) {
            hwnd = window->window;
            dc = win::GetDC(hwnd);
            own = true;
        }
    }
    ~WindowDC()
    {
        if (own) win::ReleaseDC(hwnd, dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
};

int CurrentGroup(const PlotRecord& plot)
{
    if (plot.curveCount == 0) return -1;
    return plot.curves[U(std::clamp(plot.currentCurve, 0, plot.curveCount - 1))]->plotGroup;
}

void ZoomGroup(WindowRecord* window, double inner, double outer)
{
    if (!window || !window->plot || window->plot->curveCount == 0) return;
    PlotRecord& plot = *window->plot;
    SaveCurveRanges(window);
    const int group = CurrentGroup(plot);
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        if (c.plotGroup != group) continue;
        for (int axis = 0; axis < (c.digital ? 1 : 2); ++axis) {
            const std::size_t a = U(axis);
            double low = c.axisLow[a], high = c.axisHigh[a];
            if (!c.linear[a] && low > 0.0 && high > 0.0) {
                // A logarithmic axis zooms in decades about the middle of what it shows: its values
                // stay above zero, and zooming out once takes back zooming in once.
                const double from = std::log10(low), to = std::log10(high), decades = to - from;
                low = std::pow(10.0, from + decades * inner);
                high = std::pow(10.0, to - decades * outer);
            } else {
                const double span = high - low;
                low += span * inner;
                high -= span * outer;
            }
            if (!SetCurveAxisRange(c, axis, low, high)) break;
            ChooseAxisLabelScale(c, axis);
        }
    }
    if (window->window) RedrawPlotWindow(window, nullptr, -1);
}

}  // namespace

void FillWindowBackground(WindowRecord* window, win::HDC dc, const win::RECT* area)
{
    if (!window || !window->plot || !dc) return;
    win::RECT client{};
    if (area) client = *area;
    else if (window->window) win::GetClientRect(window->window, &client);
    else return;
    const PlotRecord& plot = *window->plot;
    const int colour = PickDrawColor(plot, dc, PlotViewOf(window->plot).windowBackground);
    const win::HBRUSH brush = win::CreateSolidBrush(DrawColorRef(plot, dc, colour, true));
    win::FillRect(dc, &client, brush);
    win::DeleteObject(brush);
}

PlotViewHooks& PlotViewDrawHooks()
{
    static PlotViewHooks hooks;
    return hooks;
}

void GetDrawingSurfaceSize(win::HDC dc, WindowRecord* window, int& width, int& height)
{
    width = height = 0;
    if (window && window->plot && HasPage(*window->plot)) {
        const win::RECT& r = window->plot->pageRect;
        width = r.right - r.left;
        height = r.bottom - r.top;
        return;
    }
    if (dc && IsMetafileDC(dc)) {
        width = height = kMetafileExtent;
        return;
    }
    if (!dc || IsDisplayDC(dc)) {
        win::RECT client{};
        if (window && window->window) win::GetClientRect(window->window, &client);
        width = client.right - client.left;
        height = client.bottom - client.top;
        return;
    }
    width = win::GetDeviceCaps(dc, win::HORZRES);
    height = win::GetDeviceCaps(dc, win::VERTRES);
}

void GetDrawingRect(WindowRecord* window, win::HDC dc, win::RECT& rect)
{
    if (window && window->plot && HasPage(*window->plot)) {
        rect = window->plot->pageRect;
        return;
    }
    int width = 0, height = 0;
    GetDrawingSurfaceSize(dc, window, width, height);
    rect = win::RECT{0, 0, width, height};
}

void DrawWindowByType(WindowRecord* window, win::HDC dc)
{
    if (!window || !window->plot || !dc) return;
    RecreatePlotFont(window, dc, true);
    const win::HGDIOBJ oldFont = win::SelectObject(dc, window->plot->plotFontHandle);
    RedrawPlotWindow(window, dc, -1);
    win::SelectObject(dc, oldFont);
    // The window's own font is made again for the screen when the picture went elsewhere.
    if (!IsDisplayDC(dc)) RecreatePlotFont(window, nullptr, true);
}

bool PlotsDrawnOnScreen()
{
    const BatchRunState& batch = BatchRun();
    return batch.flags == 0 || batch.printAnalysis || batch.linePrintAnalysis;
}

namespace {

// A batch run on a screen nobody sees draws nothing, and its plot needs no layout (which
// measures the plot font, loading the font configuration) unless the run itself reads the
// plot's geometry: an AC run with the automatic frequency step places its points by their
// distance on the plot. The largest group number in use is all the rest of the run asks of the
// layout; the layout's answer for a plot without groups is kept.
bool SkipUnseenLayout(WindowRecord* window, win::HDC given, int& result)
{
    if (given || !win::ScreenUnseen() || PlotsDrawnOnScreen()) return false;
    PlotRecord& plot = *window->plot;
    if (plot.analysisKind == kAnalysisAc && AcRun().sweepKind == kFrequencyStepAuto) return false;
    plot.groupCount = 0;
    for (int i = 0; i < plot.curveCount; ++i) plot.groupCount = std::max(plot.groupCount, plot.curves[U(i)]->plotGroup);
    result = plot.groupCount == 0 ? 1 : 0;
    return true;
}

}  // namespace

int RedrawPlotWindow(WindowRecord* window, win::HDC given, int curveOfGroup)
{
    if (!window || !window->plot) return 0;
    PlotRecord& plot = *window->plot;
    if (plot.curveCount == 0) return 0;
    WindowDC dc(window, given);
    if (!dc.dc) return 0;
    int group = -1;
    if (curveOfGroup >= 0 && curveOfGroup < plot.curveCount) group = plot.curves[U(curveOfGroup)]->plotGroup;
    if (int skipped = 0; SkipUnseenLayout(window, given, skipped)) return skipped;
    const win::RECT before = plot.curves[0]->plotRect;
    if (LayoutPlotWindow(window, dc.dc) != 0) return 1;
    if (!given && !PlotsDrawnOnScreen()) return 0;
    const win::RECT after = plot.curves[0]->plotRect;
    if (before.left != after.left || before.top != after.top || before.right != after.right ||
        before.bottom != after.bottom)
        group = -1;
    if (group == -1 && IsDisplayDC(dc.dc) && !HasPage(plot)) FillWindowBackground(window, dc.dc, nullptr);
    const int saved = win::SaveDC(dc.dc);
    win::RECT drawing{};
    GetDrawingRect(window, dc.dc, drawing);
    win::IntersectClipRect(dc.dc, drawing.left, drawing.top, drawing.right, drawing.bottom);
    DrawPlotAxes(window, dc.dc, group);
    win::RestoreDC(dc.dc, saved);
    DrawStoredCurves(window, dc.dc, group);
    const int again = win::SaveDC(dc.dc);
    win::IntersectClipRect(dc.dc, drawing.left, drawing.top, drawing.right, drawing.bottom);
    if (PlotViewDrawHooks().drawObjects) PlotViewDrawHooks().drawObjects(window, dc.dc);
    DrawPlotTitleLine(window, dc.dc);
    DrawCursorMarks(window, dc.dc, group, true);
    win::RestoreDC(dc.dc, again);
    return 0;
}

int BeginPlotWindowRun(WindowRecord* window, win::HDC given)
{
    if (!window || !window->plot) return 0;
    PlotRecord& plot = *window->plot;
    plot.analysisKind = std::clamp<int>(Analysis().analysisKind, 0, 2);
    if (window->window) {
        win::ShowWindow(window->window, win::SW_SHOW);
        win::BringWindowToTop(window->window);
    }
    if (plot.curveCount == 0) return 0;
    WindowDC dc(window, given);
    RecreatePlotFont(window, dc.dc, true);
    if (window->window) win::ValidateRect(window->window, nullptr);
    if (!dc.dc) return 0;
    if (int skipped = 0; SkipUnseenLayout(window, given, skipped)) {
        if (skipped != 0) return 0;
    } else if (LayoutPlotWindow(window, dc.dc) != 0) {
        return 0;
    }
    if (const int result = CheckGroupConsistency(window); result != 0) return result;
    if (!given && !PlotsDrawnOnScreen()) return 0;
    FillWindowBackground(window, dc.dc, nullptr);
    if (RunControl().failureReported) return 1;
    DrawCurveToken(window, dc.dc, 0, win::POINT{}, 1);
    const int probe = AnalysisProbeState();
    if (probe != 1 && probe != 3) {
        DrawPlotAxes(window, dc.dc, -1);
        DrawPlotTitleLine(window, dc.dc);
    }
    return 0;
}

std::string PlotTitleText(WindowRecord* window)
{
    // A performance window's title line is its plot's name.
    const auto& performanceTitle = PlotWindowServices().performanceTitle;
    if (const std::string* title = performanceTitle ? performanceTitle(window) : nullptr) return *title;
    WindowRecord* circuit = RunControl().circuitWindow;
    std::string title = circuit ? StripDirectory(GetRecordTitle(circuit)) : StripDirectory(window ? window->title : "");
    return title + " " + FormatTemperatureCaption(window, true);
}

void DrawPlotTitleLine(WindowRecord* window, win::HDC dc)
{
    if (!window || !window->plot || window->plot->curveCount == 0) return;
    if (window->kind != kWindowAnalysis && window->kind != kWindowPerformance) return;
    if (!dc && !PlotsDrawnOnScreen()) return;
    const int probe = AnalysisProbeState();
    if (probe == 1 || probe == 3) return;
    PlotRecord& plot = *window->plot;
    const CurveRecord* first = nullptr;
    for (int i = 0; i < plot.curveCount && !first; ++i)
        if (plot.curves[U(i)]->plotGroup == 1) first = plot.curves[U(i)].get();
    if (!first) return;
    WindowDC own(window, dc);
    if (!own.dc) return;
    if (plot.plotFontHandle) win::SelectObject(own.dc, plot.plotFontHandle);
    SetScaleTextColours(window, own.dc);
    const int h = plot.textLineHeight;
    win::RECT line{first->plotRect.left, first->plotRect.top - h, first->plotRect.right, first->plotRect.top};
    if (IsDisplayDC(own.dc) && !HasPage(plot)) FillWindowBackground(window, own.dc, &line);
    std::string text = PlotTitleText(window);
    // The date and time of the run stand at the right end of the line when the options ask for them.
    const std::string stamp = FormatDateTimeStamp(true);
    const std::string measured = stamp.empty() ? text : text + " " + stamp;
    if (win::GetTextExtent(own.dc, measured).cx > line.right - line.left) {
        const std::size_t at = text.find("Temperature");
        if (at != std::string::npos) text.erase(at + 4, 7);
    }
    const int oldMode = win::SetBkMode(own.dc, win::TRANSPARENT);
    constexpr unsigned kFlags = win::DT_SINGLELINE | win::DT_NOPREFIX | win::DT_NOCLIP;
    win::DrawText(own.dc, text, &line, win::DT_LEFT | kFlags);
    if (!stamp.empty()) win::DrawText(own.dc, stamp, &line, win::DT_RIGHT | kFlags);
    win::SetBkMode(own.dc, oldMode);
}

void SelectPlotCurve(WindowRecord* window, win::HDC dc, int c)
{
    if (!window || !window->plot || c < 0 || c >= window->plot->curveCount) return;
    PlotRecord& plot = *window->plot;
    if (plot.currentCurve == c) return;
    WindowDC own(window, dc);
    const int oldGroup = plot.curves[U(std::clamp(plot.currentCurve, 0, plot.curveCount - 1))]->plotGroup;
    const int newGroup = plot.curves[U(c)]->plotGroup;
    const bool cursors = InCursorMode(window) && own.dc && !PlotCursors().align;
    // The marks are XOR: drawn again they vanish, and the current group's boxes follow the curve.
    if (cursors) {
        DrawCursorMarks(window, own.dc, oldGroup, false);
        if (newGroup != oldGroup) DrawCursorMarks(window, own.dc, newGroup, false);
    }
    plot.currentCurve = c;
    if (cursors) {
        DrawCursorMarks(window, own.dc, newGroup, false);
        if (newGroup != oldGroup) DrawCursorMarks(window, own.dc, oldGroup, false);
    }
    if (own.dc) DrawCurveReadouts(window, own.dc, -1);
}

void ZoomInPlotGroup(WindowRecord* window) { ZoomGroup(window, 0.25, 0.25); }

void ZoomOutPlotGroup(WindowRecord* window) { ZoomGroup(window, -0.5, -0.5); }

void PanPlotGroup(WindowRecord* window, int x0, int y0, int x1, int y1)
{
    if (!window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    const int found = FindPlotAtPoint(window, x0, y0);
    if (found < 0 || (x0 == x1 && y0 == y1)) return;
    const int group = plot.curves[U(found)]->plotGroup;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[U(i)];
        if (c.plotGroup != group) continue;
        for (int axis = 0; axis < (c.digital ? 1 : 2); ++axis) {
            const std::size_t a = U(axis);
            const double from = axis == kWaveformX ? x0 : y0;
            const double to = axis == kWaveformX ? x1 : y1;
            const double va = PixelToValue(c, axis, from);
            const double vb = PixelToValue(c, axis, to);
            if (c.linear[a]) {
                c.axisLow[a] -= vb - va;
                c.axisHigh[a] -= vb - va;
            } else {
                if (!(va > 0.0) || !(vb > 0.0)) continue;
                const double ratio = vb / va;
                const double low = c.axisLow[a] / ratio;
                if (!(low > 0.0)) continue;
                c.axisLow[a] = low;
                c.axisHigh[a] /= ratio;
            }
            c.axisSpan[a] = c.axisHigh[a] - c.axisLow[a];
        }
    }
    RedrawPlotWindow(window, nullptr, -1);
}

}  // namespace kq5
