#pragma once
// The layout of a plot window for the device at hand (plot groups stacked from the top, each
// with its frame, X scale, caption rows and one Y scale column per curve that shows its own
// scale), the frames and grid lines, the tick labels, and the colour rules of colour and
// monochrome devices.
#include <string>

#include "platform/win_types.h"
#include "results/curve_record.h"

namespace kq5 {

struct WindowRecord;
struct PlotViewSettings;

bool IsDisplayDC(win::HDC dc);
bool IsMetafileDC(win::HDC dc);
// How much larger lettering, margins and gaps made in screen pixels are drawn on the DC so that
// they keep their size on paper: by the printer's resolution on a printer page and on the
// preview of one (a display drawn in printer units); 1 on the screen and in pictures.
double PaperScaleOf(win::HDC dc);

// Whether colours are drawn: on a display or a metafile unless a printer page is being
// previewed; printers draw without colours.
bool UseColorOnDC(const PlotRecord& plot, win::HDC dc);
// The index itself when colours are used, else index 15.
int PickDrawColor(const PlotRecord& plot, win::HDC dc, int index);
// The colour a picked index draws with. Without colours index 15 is the ink, which is black on
// paper, and fills are white.
win::COLORREF DrawColorRef(const PlotRecord& plot, win::HDC dc, int index, bool fill = false);

// Text colours of the scales and of one curve's texts.
void SetScaleTextColours(WindowRecord* window, win::HDC dc);
void SetCurveTextColours(WindowRecord* window, win::HDC dc, const CurveRecord& curve);
// Curve colour made to differ from the graph background (written back to the curve).
void KeepCurveColourVisible(WindowRecord* window, int curveIndex);

// Lays the window out for the DC; 0, or 1 when the plot has no curves to lay out.
int LayoutPlotWindow(WindowRecord* window, win::HDC dc);
int MeasureYScaleMargin(WindowRecord* window, win::HDC dc);
// The width of a value readout of the axis.
int ReadoutWidth(WindowRecord* window, win::HDC dc, const CurveRecord& curve, int axis);
bool InCursorMode(const WindowRecord* window);

// Frames, grids and base lines, then the scales, of plot group `group` (-1: all).
void DrawPlotAxes(WindowRecord* window, win::HDC dc, int group);
void DrawPlotGrids(WindowRecord* window, win::HDC dc, int group);
void DrawPlotScales(WindowRecord* window, win::HDC dc, int group);

// One tick label: its text, its box and whether it stands at a major tick.
struct TickLabel {
    std::string text;
    win::RECT rect{};
    bool major = false;
};
// The labels of a linear or logarithmic axis as they would be drawn (measuring: 10 labels).
std::vector<TickLabel> AxisTickLabels(WindowRecord* window, win::HDC dc, const CurveRecord& curve, int axis,
                                      bool measuring);
// The pixel positions of the grid lines of an axis, in drawing order.
std::vector<int> GridLinePositions(WindowRecord* window, const CurveRecord& curve, int axis);

// The curve belongs to plot group `group` (-1: any group); curves without a group never do.
bool CurveInGroup(const CurveRecord& curve, int group);
// The curve's plot rectangle meets the plot's update rectangle (or there is none).
bool CurveMeetsUpdateRect(const PlotRecord& plot, const CurveRecord& curve);

// The options word of the current analysis kind of the window's plot.
std::uint32_t PlotOptions(const WindowRecord* window);
PlotViewSettings& PlotView(WindowRecord* window);

}  // namespace kq5
