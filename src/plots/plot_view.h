#pragma once
// The plot view of an analysis window: the size of the drawing surface on any device, the
// redraw in its order (axes, stored curves, objects, title, cursors), the preparation at the
// start of a run, the title line, zoom and pan of one plot group, the current curve.
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// The printer page when one is set; 1200 x 1200 on a metafile; the client area on a display
// (also for no DC); else the device's size.
void GetDrawingSurfaceSize(win::HDC dc, WindowRecord* window, int& width, int& height);
void GetDrawingRect(WindowRecord* window, win::HDC dc, win::RECT& rect);

// Lays the window out for the DC and draws it whole (any device).
void DrawWindowByType(WindowRecord* window, win::HDC dc);
// Redraws group (-1 all; otherwise the group of that curve). 0, or 1 when the layout failed.
int RedrawPlotWindow(WindowRecord* window, win::HDC dc, int curveOfGroup);
// False in a command-line batch run that does not print its analyses: nobody sees the
// analysis windows there, so runs lay them out (the AC step control measures in pixels) but
// draw nothing on the screen.
bool PlotsDrawnOnScreen();
// Prepares the window for a run: font, layout, consistency checks, erase, axes. 0 or an id.
int BeginPlotWindowRun(WindowRecord* window, win::HDC dc);
void DrawPlotTitleLine(WindowRecord* window, win::HDC dc);
// Fills the area (the client area when none) with the window background colour for the DC.
void FillWindowBackground(WindowRecord* window, win::HDC dc, const win::RECT* area);
// The title text: circuit title and temperature caption.
std::string PlotTitleText(WindowRecord* window);
void SelectPlotCurve(WindowRecord* window, win::HDC dc, int curveIndex);

void ZoomInPlotGroup(WindowRecord* window);
void ZoomOutPlotGroup(WindowRecord* window);
// Right-button drag from (x0, y0) to (x1, y1) over a plot.
void PanPlotGroup(WindowRecord* window, int x0, int y0, int x1, int y1);

// What other parts of the plots draw into a redraw (plot objects and the mark rectangle).
struct PlotViewHooks {
    std::function<void(WindowRecord*, win::HDC)> drawObjects;
};
PlotViewHooks& PlotViewDrawHooks();

}  // namespace kq5
