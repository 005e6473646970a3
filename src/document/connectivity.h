#pragma once
// Connectivity of a schematic: which wires, pins, grounds, jumpers, ties and node labels meet,
// and the node numbers that follow from it. Every connection point gets a node label, every
// component pin the label of the point it sits on, and the labels become node numbers: ground
// 0, then analog nodes in order of first appearance (item order, pin order), then the digital
// nodes and the interface nodes made where digital pins meet an analog node.
#include <cstdint>
#include <string>
#include <string_view>

#include "document/connection_points.h"
#include "document/node_table.h"
#include "platform/win_types.h"

namespace kq5 {

struct CircuitDocument;
struct GridText;
struct SchematicItem;
struct WindowRecord;

// State of the rebuild in progress and what it leaves for the circuit build.
struct ConnectivityState {
    bool rebuilding = false;  // a rebuild is running; it is not entered again
    // The last global pin of a Macro or subckt whose node name no label on the schematic
    // carries: the circuit build reports it.
    SchematicItem* unresolvedGlobalPinItem = nullptr;
    std::string unresolvedGlobalPinName;
    NodeTable nodeTable;  // the circuit's node-name table
};

ConnectivityState& Connectivity();
void ResetConnectivityStateForTests();

// Rebuilds node numbers when they are stale and wanted: when forced, or (no analysis running)
// when the window shows node numbers or voltages or the circuit has fewer items than the
// "NodeRecalc" preference. 0, or 15002 after reporting it (the numbers stay stale).
int RebuildNetlistIfNeeded(WindowRecord* record, bool force);

// Builds the node labels and numbers of the record's schematic. 0, or 15002 after reporting it
// (the node count is then 0).
int BuildConnectivity(WindowRecord* record);

// Turns a pin offset by an orientation code: bits 0 and 1 count quarter turns, bit 2 then
// mirrors top to bottom.
win::POINT TransformByOrientation(int code, int dx, int dy);

// The absolute grid point of a component's pin: the definition's offset turned by the item's
// orientation, plus the placement point, each coordinate kept to 16 bits. (0, 0) for a missing
// item, definition or pin.
win::POINT GetPinPosition(const SchematicItem* item, int pin);

// 0 analog, 1 digital: the pin class of the component's type, resolved per pin for the types
// whose pins are mixed.
int GetPinSignalKind(const SchematicItem* item, int pin);

// The definition's pin count; 0 for connection-only types (Ground, Jumper, Tie, Short), NULL,
// Blank and components without a definition.
int ItemPinCount(const SchematicItem* item);

// The component type code of a component's definition; -1 for wires, objects and components
// without a definition.
int ItemComponentType(const SchematicItem* item);

// True when the grid text names a node: a plain grid text whose text is a valid node label, or
// a node flag with a text.
bool IsNodeLabel(const GridText& text);

// True for two ties whose PART texts are equal without regard to case and not empty.
bool IsSameTie(const SchematicItem& a, const SchematicItem& b);

// The index of the pin of a type whose string-table name equals the text (case-blind); -1 when
// the type's pins have no names of their own.
int FindPinIndexByName(int type, std::string_view name);

// The node number of a component's pin after a rebuild: through the pin's label row, or for a
// digital pin on an analog node through the node's interface row. -1 when the pin has no
// number (an unresolved global pin, a missing row); 0 for ground.
std::int32_t PinNodeNumber(const CircuitDocument& document, const SchematicItem& item, int pin);

// Gives every wire the node label and the digital flag of what it touches (used by the circuit
// build; nothing is done for a text circuit). 0, or 15002 when memory runs out (unreported;
// the wires left without a label keep -1).
int PropagateWireNodes(WindowRecord* record);

// Writes the state variables read in before a run into the solution: node voltages,
// inductor currents and digital states. Rows whose node or branch lies outside the solution
// of the built circuit are skipped; returns how many were skipped.
int ApplyStoredStateVariables();

}  // namespace kq5
