// The analysis window's side of the shared mouse handlers: cursor clicks, the plot under a
// click, zoom commands, plot drags and the Cursor mode toggle.
#include <algorithm>

#include "ui/window_record.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "results/curve_record.h"
#include "plots/plot_axes.h"
#include "plots/plot_click_services.h"
#include "plots/plot_cursors.h"
#include "plots/plot_layout.h"
#include "plots/plot_object_moves.h"
#include "plots/plot_view.h"

namespace kq5 {

namespace {

constexpr int kCommandZoomIn = 17504;
constexpr int kCommandZoomOut = 17505;

bool IsPlotWindow(const WindowRecord* record)
{
    return record && record->plot && (record->kind == kWindowAnalysis || record->kind == kWindowPerformance);
}

}  // namespace

void ClickMoveCursor(WindowRecord* record, unsigned keyFlags, int x, int y)
{
    if (!IsPlotWindow(record) || !InCursorMode(record)) return;
    PlotRecord& plot = *record->plot;
    const int curve = FindPlotAtPoint(record, x, y);
    if (curve < 0 || curve != plot.currentCurve) return;
    const int k = (keyFlags & (win::MK_LBUTTON | win::MK_RBUTTON)) == win::MK_RBUTTON ? 1 : 0;
    const CurveRecord& c = *plot.curves[static_cast<std::size_t>(curve)];
    const double value = PixelToValue(c, kWaveformX, x);
    LocateCursorPointAtPosition(record, curve, value, k, false, c.cursorPoint[static_cast<std::size_t>(k)],
                                std::max(c.cursorRun[static_cast<std::size_t>(k)], 0));
}

int AnalysisClickPrepare(WindowRecord* record, int x, int y)
{
    if (!IsPlotWindow(record)) return 0;
    const int curve = FindPlotAtPoint(record, x, y);
    if (curve < 0) return 0;
    if (curve != record->plot->currentCurve) SelectPlotCurve(record, nullptr, curve);
    return 1;
}

void ZoomPlot(WindowRecord* record, int command)
{
    if (!IsPlotWindow(record)) return;
    if (command == kCommandZoomIn) ZoomInPlotGroup(record);
    if (command == kCommandZoomOut) ZoomOutPlotGroup(record);
}

void DragPlot(WindowRecord* record, win::POINT from, win::POINT to)
{
    if (!IsPlotWindow(record)) return;
    PanPlotGroup(record, from.x, from.y, to.x, to.y);
}

void TogglePlotCursors(WindowRecord* record)
{
    if (!IsPlotWindow(record) || record->plot->curveCount == 0) return;
    if (InCursorMode(record)) {
        const CurveRecord& first = *record->plot->curves[0];
        if (first.cursorRun[0] < 0 || first.cursorRun[1] < 0) InitPlotCursors(record);
    }
    if (record->window) win::InvalidateRect(record->window, nullptr, 1);
}

}  // namespace kq5
