#pragma once
// Where plot objects stand: a point attached to a curve holds values of that curve's axes and
// moves with its scales; a point of an object placed in the window (curve -1) holds a fraction
// of the window's drawing rectangle in 1/10000 and stays put when the scales change. Also the
// making and deleting of objects.
#include <cstdint>

#include "platform/win_types.h"

namespace kq5 {

struct CurveRecord;
struct PlotObject;
struct WindowRecord;

inline constexpr int kWindowFractionUnits = 10000;
inline constexpr std::uint8_t kPlotObjectLayer = 4;

// A pixel as a fraction of [origin, origin + extent) in 1/10000, and back (truncated). Without a
// rectangle (no window yet, or one minimised to nothing) both map one to one, so that no division
// by zero reaches a pixel and a round trip keeps the stored fraction.
double WindowFractionFromPixel(int pixel, int origin, int extent);
int PixelFromWindowFraction(double value, int origin, int extent);

// A value of the curve's axis (0 X, 1 Y) as a pixel through the axis mapping the layout computed
// (the one the curves are drawn with; PixelToValue is the way back), held to pixels every
// device draws.
int CurveUnitToPixel(const CurveRecord& curve, int axis, double value);

// The rectangle window fractions refer to: the plot's drawing rectangle on the device (the
// window's client area for no DC).
win::RECT PlotObjectDrawingRect(WindowRecord* record, win::HDC dc = nullptr);

// A new object at the head of the plot's list (new objects come first): the plot's text font,
// layer 4, the analysis kind + 1, both curves = curve, points from the pixel rectangle, a
// measuring tag's dimension line halfway. Null after reporting 15002.
PlotObject* CreatePlotObject(WindowRecord* record, std::uint16_t style, int curve, const win::RECT& pixels);

// Removes the objects of analysis kind `kind` (-1: none of a kind) and every object whose
// analysis or kind is invalid; the number removed.
int DeletePlotObjects(WindowRecord* record, int kind);

}  // namespace kq5
