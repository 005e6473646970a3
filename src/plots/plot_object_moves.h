#pragma once
// Moving plot objects by pixels: the plot under a point, the pixel rectangle of an object, and
// setting an object's points (and a dimension tag's line) from pixels. The plot's scales map
// curve units to pixels; a plot whose graphs are not laid out maps them one to one.
#include "platform/win_types.h"

namespace kq5 {

struct PlotObject;
struct WindowRecord;

// The row index of the plot under the point, or -1 when no plot lies there.
int FindPlotAtPoint(WindowRecord* record, int x, int y);

// Copies the source object into the destination, offset by (dx, dy) pixels, on the plot index.
void OffsetItemRect(WindowRecord* record, PlotObject& destination, const PlotObject& source, int dx, int dy,
                    int plotIndex);

// The object's two points in pixels (window fractions of the drawing rectangle on dc; the
// window's for none), and the reverse.
win::RECT PlotObjectPixelRect(WindowRecord* record, const PlotObject& object, win::HDC dc = nullptr);
void SetObjectPointsFromPixels(WindowRecord* record, PlotObject& object, const win::RECT& pixels);
// The pixel rectangle around the selected objects of the current analysis; false when none is.
bool SelectedPlotObjectsBounds(WindowRecord* record, win::RECT& bounds);

// The pixel position of a dimension tag's line (0 for other kinds), and the reverse.
int GetDimensionLinePixel(WindowRecord* record, const PlotObject& object);
void SetDimensionLineFromPixel(WindowRecord* record, PlotObject& object, int pixel);

// Among the curves of curve's plot group, the stored point nearest the pixel (within 1000 pixels),
// each point placed where the curve drawing puts it: its curve index and its X and Y (a digital
// curve's Y read back from its pixel row); -1 when none is that near.
int NearestCurvePoint(WindowRecord* record, win::POINT at, int curve, double& x, double& y);

// Re-attaches a tag's points to the nearest curve points; a plot without curves keeps them.
void SnapObjectToCurves(WindowRecord* record, PlotObject& object, const win::RECT& pixels);

}  // namespace kq5
