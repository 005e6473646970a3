#pragma once
// Node labels: while a schematic shows node numbers or node voltages / states, each connection
// point carries a small box with its node's number and value. The document keeps the labels and,
// per pane, where they were last drawn, so that a redraw after a run can erase the old values and
// show the new ones without repainting the whole pane.
#include <cstdint>

namespace kq5 {

struct CircuitDocument;
struct DrawContext;
struct WindowRecord;

// Fills the document's label list from its connection dots and node table: one label per dot
// whose point lies on a node other than ground; empty unless node numbers or voltages are shown.
void BuildNodeLabels(CircuitDocument& document);

// Whether a label of this kind is shown with these display flags: connections always, named
// node labels with Grid Text, single ends with Pin Connections.
bool NodeLabelKindShown(std::uint16_t kind, std::uint32_t displayFlags);

// Draws the labels of the context's pane that its display flags show, one per point, and records
// their boxes as the pane's labels.
void DrawNodeLabelBoxes(const DrawContext& context);

// Draws the labels of the context's pane. In the normal pass each is drawn and its rectangle
// recorded; in the single-element pass the recorded rectangles are erased first and the labels
// drawn again unless the node-label toggle is set.
void DrawNodeLabels(const DrawContext& context);

}  // namespace kq5
