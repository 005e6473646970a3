#include "plots/plot_view_commands.h"

#include <algorithm>

#include "ui/edit_mode.h"
#include "ui/window_record.h"
#include "platform/paint.h"
#include "plots/axis_ranges.h"
#include "plots/curve_ranges.h"
#include "results/curve_record.h"
#include "plots/plot_click_services.h"
#include "plots/plot_cursors.h"
#include "plots/plot_layout.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kCommandSecondCursorLeft = 764;
constexpr int kCommandPreviousCurve = 768;
constexpr int kCommandNextCurve = 769;
constexpr int kCommandAutoScale = 17167;
constexpr int kCommandSameYScales = 17189;
constexpr int kCommandZoomIn = 17504;
constexpr int kCommandZoomOut = 17505;
constexpr int kFirstOptionCommand = 18400;
constexpr int kBaseLineCommand = 18406;

bool InRange(int id, int first, int last) { return id >= first && id <= last; }

std::uint32_t OptionBit(int id) { return id == kBaseLineCommand ? kPlotBaseLine : 1u << (id - kFirstOptionCommand); }

void Invalidate(WindowRecord* window)
{
    if (window->window) win::InvalidateRect(window->window, nullptr, 1);
}

void StepCurve(WindowRecord* window, int step)
{
    PlotRecord& plot = *window->plot;
    if (plot.curveCount == 0) return;
    int next = plot.currentCurve;
    // Curves without a plot group are printed only: they cannot be current.
    for (int n = 0; n < plot.curveCount; ++n) {
        next = (next + step + plot.curveCount) % plot.curveCount;
        if (plot.curves[static_cast<std::size_t>(next)]->plotGroup >= 1) break;
    }
    SelectPlotCurve(window, nullptr, next);
}

}  // namespace

int RoutePlotViewCommand(WindowRecord* window, int id)
{
    if (!window || !window->plot || (window->kind != kWindowAnalysis && window->kind != kWindowPerformance)) return 1;
    if (InRange(id, kStepLeft, kStepPreviousRun + 4)) {
        const int k = id >= kCommandSecondCursorLeft ? 1 : 0;
        if (InCursorMode(window)) HandleCursorStepCommand(window, kStepLeft + (id - kStepLeft) % 4, k);
        return 0;
    }
    switch (id) {
    case kCommandPreviousCurve: StepCurve(window, -1); return 0;
    case kCommandNextCurve: StepCurve(window, 1); return 0;
    case kCommandAutoScale: AutoScaleCurrentPlotGroup(window, true); return 0;
    case kCommandAlignCursors: ToggleAlignCursors(window); return 0;
    case kCommandTagLeft:
    case kCommandTagRight: TagCursorPoint(window, id - kCommandTagLeft); return 0;
    case kCommandTagHorizontal:
    case kCommandTagVertical: TagCursorSpan(window, id); return 0;
    case kCommandGoToX:
    case kCommandGoToY: OpenGoToDialog(window, id); return 0;
    case kCommandSameYScales: {
        PlotViewSettings& view = PlotViewOf(window->plot);
        view.sameYScales = view.sameYScales ? 0 : 1;
        ApplyOneScaleOption(window);
        return 0;
    }
    case kCommandZoomIn:
    case kCommandZoomOut: ZoomPlot(window, id); return 0;
    default: break;
    }
    if (InRange(id, kCommandPanLeft, kCommandPanUp)) {
        PanPlotCommand(window, id);
        return 0;
    }
    if (InRange(id, kFirstOptionCommand, kBaseLineCommand)) {
        const int kind = std::clamp(window->plot->analysisKind, 0, 2);
        PlotViewOf(window->plot).optionWord[static_cast<std::size_t>(kind)] ^= static_cast<std::int32_t>(OptionBit(id));
        Invalidate(window);
        return 0;
    }
    if (InRange(id, kSearchNext, kSearchGlobalLow)) {
        PlotCursors().searchMode = id;
        if (!InCursorMode(window)) SetEditMode(window, kCommandCursorMode);
        return 0;
    }
    return 1;
}

}  // namespace kq5
