#pragma once
// Node names of the circuit being expanded: every name a text component or a scope gives is a
// node row, qualified with its scope's instance path (global names "$G_..." and the digital
// constants unqualified); rows bound to one another share a group, the electrical net. After
// all calls are expanded the groups are given their domain (analog or digital, with interfaces
// where both meet) and numbered, and every component pin gets the number of its net.
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

inline constexpr std::int32_t kNoGroup = -1;

// Registers the name in the current scope and gives its node row: a known name its row, a new
// name a new row in a new group, or in `group` when one is given (the name is then bound to
// that net). "0" is ground (row 0); a name in square brackets is taken without them; "$D_NC"
// is a new net each time. 0, or 15055 after a report (11900 for an unclosed bracket).
int ResolveNodeName(std::string_view name, std::int32_t& node, std::int32_t group = kNoGroup);
// The same for a node text of a macro that an export writes as a subcircuit in the macro's own
// numbering, which the circuit's numbers do not share: a global name there only names the
// macro's node in its scope (the subcircuit reaches the global net by that name) and joins no
// net of the circuit.
int ResolveMacroNodeTextForExport(std::string_view name, std::int32_t& node, std::int32_t group);

// A new net without a name yet.
std::int32_t NewNodeGroup();

// The net of a node row (after binding); 0 for ground, -1 for no row.
std::int32_t NodeGroupOf(std::int32_t node);
// The qualified name of a node row; empty for no row.
std::string NodeRowName(std::int32_t node);
// The row of a qualified name, -1 when none.
std::int32_t FindNodeRow(std::string_view qualifiedName);
std::int32_t NodeRowCount();

// Starts an empty node table with ground as row 0.
void ResetExpansionNodes();
// Gives back the room of the node rows, their names and nets once the circuit is built and
// nothing will name a node before the next build begins afresh; the node-name table of the
// circuit and the node counts stay.
void ReleaseExpansionNodes();

// Joins a digital node to the analog node it was split from (a drawn digital pin on an analog
// wire) through the interface of the pin's I/O model. 0 or 15055.
int ConnectInterfaceNodes(std::int32_t analogNode, std::int32_t digitalNode, int interfaceKind);

// Marks the nets by the pins on them, reports digital constants on analog nets (10912) and
// inserts an interface where analog and digital pins meet. 0 or 15055.
int ClassifyNodeDomains();
// Numbers the nets by domain and gives every component pin its net's number; fills the
// circuit's node-name table and the document's node counts. 0 or 15055.
int NumberNodesByDomain();
// Inserts one interface on the node: its digital pins move to a new node named after it with
// "$DTOA" (kind 2) or "$ATOD" (kind 1). 0 or 15055.
int InsertInterfaceDevices(std::int32_t node, int interfaceKind);
// The name of the node a digital pin was written on, from the name of the node it is on: an
// interface node ("IN$ATOD") gives the node it was made for ("IN"); any other is as it is.
std::string_view NodeNameBeforeInterface(std::string_view name);

// Names the node as a power node that must carry a source; CheckPowerNodes reports 10921 once.
void MarkPowerNode(std::string_view qualifiedName);
int CheckPowerNodes();

}  // namespace kq5
