#pragma once
// What the schematic editor's mouse handlers ask of the analysis windows: probe clicks, cursor
// clicks, plot texts, the plot under a click, zoom and drag of a plot, the interactive switch and
// the cursor toggle of the Cursor mode. The analysis window supplies the bodies; until a window of
// that kind exists, each does nothing and says so by its result.
#include <cstdint>

#include "platform/win_types.h"

namespace kq5 {

struct PlotObject;
struct SchematicItem;
struct WindowRecord;

// In probe mode, plots the quantity of the clicked node, pin or component; 1 when one was plotted.
int HandleProbeClick(WindowRecord* record, int x, int y, int flag);
// The probe menu commands: 0 taken, nonzero not taken.
int HandleProbeMenuCommand(int id);
// Moves the left or right plot cursor (by the key flags) to the clicked x.
void ClickMoveCursor(WindowRecord* record, unsigned keyFlags, int x, int y);
// Asks for a text and adds a text object to the plot (-1: absolute, to the window).
void AddPlotTextObject(WindowRecord* record, int x, int y, int plot);
// Makes the plot under the point the current plot; 1 when a plot lies there.
int AnalysisClickPrepare(WindowRecord* record, int x, int y);
// Zoom In (command 17504) and Zoom Out (17505) of an analysis window.
void ZoomPlot(WindowRecord* record, int command);
// The mouse-move side of analysis-window drags (scale box, pan).
void DragPlot(WindowRecord* record, win::POINT from, win::POINT to);
// The end of a scale box (client pixels): the plot under it zooms to the box.
void ZoomPlotToBox(WindowRecord* record, const win::RECT& box);
// The end of a new plot object's rubber band (a tag or measure, by its style word; client pixels):
// the object is added to the plot. 1 when one was added.
int AddPlotObjectFromDrag(WindowRecord* record, std::uint16_t style, const win::RECT& pixels);
// Makes an object just added to the plot the selection and the last undoable operation.
void RecordPlotObjectAdded(WindowRecord* record, PlotObject& object);
// Turns a DIGITAL SWITCH component on or off and redraws its window; other items: nothing.
void ToggleInteractiveSwitch(WindowRecord* record, SchematicItem* item);
// Shows or hides the plot cursors as the Cursor mode is entered or left.
void TogglePlotCursors(WindowRecord* record);

}  // namespace kq5
