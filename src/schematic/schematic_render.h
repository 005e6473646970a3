#pragma once
// The schematic renderer: draws one page of a schematic into any device context (a pane on the
// screen, a metafile, a printed sheet) in logical units of an eighth of a grid unit. Layers are
// drawn in order: grid dots, graphic objects, wires, components, grid texts, the mark rectangle,
// node labels, sheet borders. Pass 0 paints normally, pass 2 draws XOR drag feedback, pass 4
// redraws single elements.
#include <cstdint>
#include <string>

#include "ui/color_table.h"
#include "platform/win_types.h"
#include "schematic/schematic_view.h"
#include "ui/color_table.h"

namespace kq5 {

struct WindowRecord;
struct CircuitDocument;
struct SchematicItem;

constexpr int kPassNormal = 0;
constexpr int kPassXor = 2;
constexpr int kPassSingle = 4;

// Flags of SetShapeMapping.
constexpr int kMappingClip = 0x2;
constexpr int kMappingSet = 0x4;

// Draw flags the renderer hands to the shape library.
constexpr int kShapeDrawFlags = 0x920;

// Fills the context for a pane of the record's window (or a whole page for a metafile).
void InitDrawContext(win::HDC dc, DrawContext& context, WindowRecord* record, int pane);
// Draws everything of the context's page.
void DrawSchematicView(DrawContext& context);
// Sets (kMappingSet) or restores the mapping, with kMappingClip also the clip region. 1 when the
// viewport origin was placed at the pane.
int SetShapeMapping(DrawContext& context, int flags);
// The renderer installed into the document windows: draws a pane's update area.
void RenderSchematicPane(const DrawContext& pane);
void InstallSchematicRenderer();
// After a run: the node labels of every visible schematic pane but the active one are erased and
// drawn again with the new values, without repainting the panes.
void RedrawOtherPanes(WindowRecord* record);
// The node values of a run shown on its schematic: the active pane is painted again and the
// labels of the other panes redrawn; with digital nodes, whose wires change colour, the whole
// window is painted again.
void RedrawNodeValues(WindowRecord* record);

// State of the paint in progress, for the drawers of graphic objects and shapes.
int RenderPass();
// The colour index an item draws in: the two-colour override when one is active.
int RenderColorIndex(int index);
int RenderSelectionColor();
// Pens and brushes of colour-table indices, made on first use and kept for the paint.
win::HPEN RenderPen(int colorIndex);
win::HBRUSH RenderBrush(int colorIndex);
void FreeRenderTools();
// ColorIndexRgb, the colour of a colour-table index, is in ui/color_table.h.
// 1 on a two-colour printer, with the one colour everything is drawn in; 0 elsewhere.
int PrinterColorOverride(win::HDC dc, int& color);
// The device's width and height in pixels, less 2 % on a printer while sheets are printed
// landscape.
int UsableHorzRes(win::HDC dc);
int UsableVertRes(win::HDC dc);
// The size of a printed sheet in logical units at a printer scale (1 for none or fit): sheet
// borders are drawn, and pages tiled, by these sheets.
win::SIZE PrintedSheetSize(double printerScale);
// The printer scale that fits the document's largest page on one sheet of the printer's paper.
double FitPrintScale(WindowRecord* record);
// The scale the document's pages print at: its own, or the fitting one when it asks for that
// (a negative scale).
double EffectivePrintScale(WindowRecord* record);
// When colour c is the same colour as reference b, c XOR 15 (returns 1); else 0.
int ContrastColorIndex(int b, int& c);

// Text drawn from its top-left, split into lines at carriage returns.
void DrawTextLines(win::HDC dc, int x, int y, const std::string& text);
// A text at a rectangle's top-left in the default schematic font, framed when asked.
void DrawTextInBox(win::HDC dc, const std::string& text, const win::RECT& rect, win::COLORREF color, bool framed);

// While an analysis is open, the colour a wire takes from the state of its digital node ("Digital
// 0" ... "Digital Z" of the default attributes); -1 for a wire without a digital state.
int WireDigitalColor(const CircuitDocument& document, const SchematicItem& wire);
// The same for the node of a connectivity label (a component's pin).
int NodeDigitalColor(const CircuitDocument& document, int label);

// The window's pixels to logical units: the mapping of a zoom (window extent, viewport extent).
win::SIZE ZoomExtents(double zoom);

}  // namespace kq5
