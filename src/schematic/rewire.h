#pragma once
// Rewiring of a schematic: wires that pass through a connection point (a pin, a wire end, a node
// label) are split there and collinear wires meeting at a free joint are joined again, so that
// every connection is an end-to-end one. Also the making of new wire items.
namespace kq5 {

struct SchematicItem;
struct WindowRecord;

// Run once before the first connectivity rebuild of a schematic loaded from a file of the
// previous generation. 0, or 15002 when memory runs out.
int RewireSchematic(WindowRecord* record, int mode, bool isOldGeneration);

// A new wire on the current pane's page. With link, a zero-length wire is not made and the new
// wire is selected as new (5), the document marked changed and its netlist stale, and the undo
// kind set to 1; without link its selection byte is 0. Null when not made (a lack of memory
// is reported).
SchematicItem* NewWireItem(WindowRecord* record, int x1, int y1, int x2, int y2, bool link);

// The rewiring of one schematic window: item null means the whole circuit; everyPoint makes
// every grid point of a given wire, not only its ends, split other wires. Only for schematic
// windows. Returns whether anything was split or merged.
bool RewireCircuit(WindowRecord* record, SchematicItem* item, bool everyPoint);

// Joins the collinear wires of the circuit (or those touching one wire) that overlap or meet
// at a free joint. Returns whether anything was merged.
bool MergeCollinearWires(WindowRecord* record, SchematicItem* item);

}  // namespace kq5
