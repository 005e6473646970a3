#pragma once
// Drawing the objects of a plot over its curves: texts, point tags, the two measuring tags and
// the graphic shapes, each in its pixel rectangle, clipped to its curve's plot when attached to
// one, with colours kept off their background.
#include "platform/win_types.h"

namespace kq5 {

struct PlotObject;
struct WindowRecord;

// Sizes of a point tag's marker and of a measuring tag's arrowheads, in pixels.
inline constexpr int kTagMarkerHalf = 3;
inline constexpr int kTagArrowSize = 5;

// The object's pixel rectangle from its points (a text's grows to its measured size); with a DC
// the object is also drawn there.
void DrawPlotObject(WindowRecord* window, win::HDC dc, win::RECT& pixels, PlotObject& object);

// The object's pixel bounds on the window: a text's measured box, a tag with its marker, lines
// and value text, other kinds their rectangle; (-1, -1, -1, -1) for an object of no kind.
win::RECT GetPlotObjectBounds(WindowRecord* window, const PlotObject& object);

// Draws the objects of plot group `group` (-1: all) from the head of the list up to and
// including `last` (null: all); a null DC draws on the window. Nothing is drawn during a run.
void DrawPlotObjects(WindowRecord* window, win::HDC dc, int group, const PlotObject* last);

// The plot view draws the objects through this in every redraw.
void InstallPlotObjectDrawing();

}  // namespace kq5
