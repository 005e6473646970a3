#pragma once
// Whether a point hits an item of the schematic, and the hit test of a window: the element
// (item, grid text, plot object or attribute text) under a client point, or the drag handle of a
// selected element; the per-kind defaults of new graphic objects.
#include <cstdint>
#include <functional>

#include "platform/win_types.h"

namespace kq5 {

struct CircuitDocument;
struct GridText;
struct LinkedList;
struct ListNode;
struct PlotObject;
struct SchematicItem;
struct WindowRecord;

// Handle codes of a rectangle's handles and the masks that choose which exist.
constexpr int kHandleLeft = 0x100;
constexpr int kHandleRight = 0x200;
constexpr int kHandleTop = 0x400;
constexpr int kHandleBottom = 0x800;
constexpr int kHandleSpecial = 0x1000;
constexpr int kHandleMaskEnds = 0x81;
constexpr int kHandleMaskEdges = 0x5A;
constexpr int kHandleMaskAll = 0xFF;

void NormalizeRect(win::RECT& rect);
void NormalizePoints(win::POINT& a, win::POINT& b);
// 1 when equal, else whether the point lies in [centre - tolerance, centre + tolerance).
int PointNearPoint(win::POINT point, win::POINT centre, int tolerance);
// The handle code of the handle under the point, 0 when none.
int HitTestRectHandles(const win::RECT& rect, win::POINT point, int tolerance, int mask);

// True when the point (drawing units) hits the item: a component anywhere in its bounds, a wire
// or line near its line, a shape by its outline or, filled, its inside.
bool HitTestItem(const SchematicItem& item, int x, int y);

// Pick modes.
constexpr int kPickAttributes = 1;     // attribute texts may be picked
constexpr int kPickSelectedOnly = 2;   // only selected elements (and the picked attribute's owner)
constexpr int kPickNoObjects = 4;      // graphic objects are ignored
constexpr int kPickComponentsOnly = 8;

// The element under a client point, with its selection byte; with handle non-null, only the drag
// handles of selected wires and objects (the handle code goes there). Null when nothing is hit.
// A picked attribute text comes back as the attribute (list kind 10), recorded as the window's
// picked attribute with its component.
ListNode* FindObjectAtPoint(WindowRecord* record, std::uint8_t** selection, int* handle, int x, int y, int mode);
// The same with the wait cursor shown meanwhile.
ListNode* PickObjectAtPoint(WindowRecord* record, std::uint8_t** selection, int* handle, int x, int y, int mode);
// The first grid text of the page, not hidden, whose drawn rectangle holds the point (drawing
// units); with mode bit 2 only selected ones.
GridText* PageGridTextAtPoint(WindowRecord* record, const LinkedList& texts, int page, int x, int y, int mode);

// A plot object's pixel rectangle, ordered and widened by 4 on each side when narrower or lower
// than 4 pixels: where a click or a select box catches it.
win::RECT PlotObjectCatchRect(WindowRecord* record, const PlotObject& object);

// What the hit tests, transfers and edits of plot objects ask of the plots above: where an
// object lies in a window's pixels, the plot under a point, moving an object by pixels and its
// dialogs. The plots fill these when they install their object drawing (the run services and the
// schematic editor's hooks do so at start-up). While one is empty no plot lies under a point, an
// object has no pixels and keeps its place, and a dialog is cancelled.
struct PlotObjectHooks {
    std::function<int(WindowRecord*, int x, int y)> findPlotAtPoint;
    std::function<win::RECT(WindowRecord*, const PlotObject&)> pixelRect;
    std::function<win::RECT(WindowRecord*, const PlotObject&)> bounds;
    std::function<int(WindowRecord*, const PlotObject&)> dimensionLinePixel;
    std::function<void(WindowRecord*, PlotObject&, int pixel)> setDimensionLineFromPixel;
    std::function<void(WindowRecord*, PlotObject&, const win::RECT& pixels)> setPointsFromPixels;
    std::function<void(WindowRecord*, PlotObject&, const win::RECT& pixels)> snapToCurves;
    // Copies the source into the destination (its list link and kind kept) on the plot, moved.
    std::function<void(WindowRecord*, PlotObject& destination, const PlotObject& source, int dx, int dy, int plot)>
        offsetItemRect;
    std::function<int(WindowRecord*, PlotObject&)> editDialog;  // 1 OK, 2 cancelled
    std::function<int(WindowRecord*, PlotObject&)> textDialog;
};
PlotObjectHooks& PlotObjectCalls();

// 0x8000 for ellipse, rectangle, diamond and picture, else 0.
int IsBoxShapedObjectKind(std::uint16_t kind);

// Per-kind defaults of new graphic objects and plot objects (indexed by the kind nibble).
struct KindDefaults {
    std::uint16_t style[16]{};
    int color[16];
    int fillColor[16];
    KindDefaults() { Reset(); }
    void Reset()
    {
        for (int i = 0; i < 16; ++i) color[i] = fillColor[i] = -1;
    }
};
KindDefaults& GraphicKindDefaults();
void ResetKindDefaultColors();
// The kind nibble with its table style when one is set, else the kind word unchanged.
std::uint16_t ApplyKindDefaultStyle(std::uint16_t kind);
void ApplyGraphicObjectDefaultColors(const CircuitDocument& document, SchematicItem& object);
void ApplyPlotObjectDefaultColors(int plotColor, PlotObject& object);

}  // namespace kq5
