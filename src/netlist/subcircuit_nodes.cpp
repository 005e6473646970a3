#include "netlist/subcircuit_nodes.h"

#include <algorithm>
#include <new>

#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "document/scope_names.h"
#include "netlist/spice_elements.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/token_patterns.h"
#include "netlist/translate_components.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr int kMsgExpecting = 11900;
constexpr int kMsgConstantOnAnalog = 10912;
constexpr int kMsgInterfaceMismatch = 10916;
constexpr int kMsgPowerNodeUnsourced = 10921;
constexpr int kMsgLabelTooLong = 10928;
constexpr std::size_t kMaxInterfaceNodeName = 195;

constexpr std::string_view kDigitalConstants[] = {"$D_HI", "$D_LO", "$D_X", "$D_NC"};

int DigitalConstantIndex(std::string_view name)
{
    for (int i = 0; i < 4; ++i)
        if (name == kDigitalConstants[i]) return i;
    return -1;
}

bool IsGlobalNodeName(std::string_view name)
{
    return name.starts_with("$G_") || name == "$D_HI" || name == "$D_LO" || name == "$D_X";
}

std::int32_t NewGroup()
{
    std::vector<std::int32_t>& parents = NetlistReader().groupParent;
    parents.push_back(static_cast<std::int32_t>(parents.size()));
    return parents.back();
}

std::int32_t RootGroup(std::int32_t group)
{
    std::vector<std::int32_t>& parents = NetlistReader().groupParent;
    if (group < 0 || static_cast<std::size_t>(group) >= parents.size()) return -1;
    while (parents[static_cast<std::size_t>(group)] != group) {
        std::int32_t& parent = parents[static_cast<std::size_t>(group)];
        parent = parents[static_cast<std::size_t>(parent)];
        group = parent;
    }
    return group;
}

// Joins two nets; ground stays the root of a net it joins.
void JoinGroups(std::int32_t a, std::int32_t b)
{
    a = RootGroup(a);
    b = RootGroup(b);
    if (a < 0 || b < 0 || a == b) return;
    std::vector<std::int32_t>& parents = NetlistReader().groupParent;
    if (b == 0) std::swap(a, b);
    parents[static_cast<std::size_t>(b)] = a;
}

// A new row named `name` qualified with the path of pathScope (0: not qualified), named in
// `scope`; entered in the node-name table when named.
std::int32_t AddNodeRow(std::string_view name, int pathScope, std::int32_t group, int scope, bool named)
{
    NetlistReaderState& state = NetlistReader();
    const auto row = static_cast<std::int32_t>(state.nodes.size());
    if (state.nodeNameChars.size() + name.size() > 0xFFFFFFFFu) throw std::bad_alloc();
    ExpansionNode node;
    node.nameStart = static_cast<std::uint32_t>(state.nodeNameChars.size());
    node.nameLength = static_cast<std::uint32_t>(name.size());
    node.group = group;
    node.scope = scope;
    node.pathScope = pathScope;
    state.nodeNameChars.append(name);
    state.nodes.push_back(node);
    if (named) InsertScopedNodeName(pathScope, name, row);
    return row;
}

void EnsureGroundRow()
{
    NetlistReaderState& state = NetlistReader();
    if (!state.nodes.empty()) return;
    AddNodeRow("0", 0, 0, 0, false);
    if (state.groupParent.empty()) state.groupParent.push_back(0);
}

// A row's own name, without its scope's path.
std::string_view OwnNameOfRow(const ExpansionNode& node)
{
    return std::string_view(NetlistReader().nodeNameChars).substr(node.nameStart, node.nameLength);
}

// The row's name is its own name: no path qualifies it.
bool IsUnqualifiedRow(const ExpansionNode& node)
{
    const SubcktScope* entry = node.pathScope > 0 ? FindScope(node.pathScope) : nullptr;
    return !entry || entry->pathLength == 0;
}

bool IsCall(const SchematicItem& item)
{
    const int type = ItemComponentType(&item);
    return type == kComponentMacro || type == kComponentSubckt;
}

std::vector<SchematicItem*> Components()
{
    std::vector<SchematicItem*> items;
    if (CircuitDocument* document = CurrentDocument())
        for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList))
            if (item.IsComponent()) items.push_back(&item);
    return items;
}

int InputPinCount(const SchematicItem& item)
{
    const int type = ItemComponentType(&item);
    if (type == kComponentPullup || type == kComponentPulldn) return 1;
    return item.definition ? item.definition->inputPinCount : 0;
}

// The node-name table's row for an expansion row: its own name and the scope of its path, as
// the expansion keeps them.
NodeNameRow TableRowOf(std::int32_t node, std::int32_t number, int domain)
{
    const ExpansionNode& row = NetlistReader().nodes[static_cast<std::size_t>(node)];
    return NodeNameRow{std::string(OwnNameOfRow(row)), number, row.scope, static_cast<std::int16_t>(domain),
                       IsUnqualifiedRow(row) ? 0 : row.pathScope};
}

NodeGroup& GroupRecord(std::int32_t root)
{
    std::vector<NodeGroup>& groups = NetlistReader().groups;
    if (static_cast<std::size_t>(root) >= groups.size()) groups.resize(static_cast<std::size_t>(root) + 1);
    return groups[static_cast<std::size_t>(root)];
}

}  // namespace

namespace {

// The number of a node row after the domains are numbered.
std::int32_t NumberOfRow(std::int32_t row)
{
    const std::int32_t root = NodeGroupOf(row);
    const std::vector<NodeGroup>& groups = NetlistReader().groups;
    return root >= 0 && static_cast<std::size_t>(root) < groups.size() ? groups[static_cast<std::size_t>(root)].number : 0;
}

}  // namespace

std::int32_t NewNodeGroup()
{
    EnsureGroundRow();
    return NewGroup();
}

void ResetExpansionNodes()
{
    NetlistReaderState& state = NetlistReader();
    state.nodes.clear();
    state.nodeNameChars.clear();
    state.groupParent.clear();
    state.groups.clear();
    state.nodeNames.Clear();
    state.analogNodeCount = 0;
    state.digitalNodeCount = 0;
    state.digitalConstantNodes.fill(-1);
    state.powerNodes.clear();
    state.nodesNumbered = false;
    EnsureGroundRow();
}

void ReleaseExpansionNodes()
{
    NetlistReaderState& state = NetlistReader();
    std::vector<ExpansionNode>().swap(state.nodes);
    std::string().swap(state.nodeNameChars);
    state.nodeNames.Clear();
    std::vector<std::int32_t>().swap(state.groupParent);
    std::vector<NodeGroup>().swap(state.groups);
}

int ResolveNodeName(std::string_view name, std::int32_t& node, std::int32_t group)
{
    node = -1;
    try {
        EnsureGroundRow();
        std::string plain(name);
        if (!plain.empty() && plain.front() == '[') {
            if (plain.size() < 2 || plain.back() != ']') {
                ReportNetlistMessage("WNE", CurrentRecord(), NetlistReader().currentElement, kMsgExpecting, "]");
                return kMsgAlreadyReported;
            }
            plain = plain.substr(1, plain.size() - 2);
        }
        if (plain == "0") {
            NetlistReader().groundUsed = true;
            node = 0;
            if (group > 0) JoinGroups(0, group);
            return 0;
        }
        const int scope = CurrentScope();
        if (plain == "$D_NC") {
            node = AddNodeRow(plain, 0, group >= 0 ? group : NewGroup(), scope, false);
            return 0;
        }
        const int pathScope = IsGlobalNodeName(plain) ? 0 : scope;
        const std::int32_t known = LookupScopedNodeName(pathScope, plain);
        NetlistReaderState& state = NetlistReader();
        if (state.nodesNumbered) {
            // After the domains are numbered a name gives its node number; a new name is a new
            // analog node.
            if (known >= 0) {
                node = NumberOfRow(known);
                return 0;
            }
            const std::int32_t row = AddNodeRow(plain, pathScope, NewGroup(), scope, true);
            NodeGroup numbered;
            numbered.domain = 0;
            numbered.number = ++state.analogNodeCount;
            GroupRecord(NodeGroupOf(row)) = numbered;
            CircuitNodeTable().rows.push_back(TableRowOf(row, numbered.number, 0));
            if (CircuitDocument* document = CurrentDocument()) {
                document->nodeCount = state.analogNodeCount;
                document->analysisNodeCounts[0] = state.analogNodeCount;
            }
            node = numbered.number;
            return 0;
        }
        if (known >= 0) {
            node = known;
            if (group >= 0) JoinGroups(NodeGroupOf(known), group);
            return 0;
        }
        node = AddNodeRow(plain, pathScope, group >= 0 ? group : NewGroup(), scope, true);
    } catch (const std::bad_alloc&) {
        return ReportReaderOutOfMemory();
    }
    return 0;
}

int ResolveMacroNodeTextForExport(std::string_view name, std::int32_t& node, std::int32_t group)
{
    std::string_view plain = name;
    if (plain.size() >= 2 && plain.front() == '[' && plain.back() == ']') plain = plain.substr(1, plain.size() - 2);
    if (!IsGlobalNodeName(plain)) return ResolveNodeName(name, node, group);
    try {
        EnsureGroundRow();
        node = AddNodeRow(plain, 0, group, CurrentScope(), false);
    } catch (const std::bad_alloc&) {
        return ReportReaderOutOfMemory();
    }
    return 0;
}

std::int32_t NodeGroupOf(std::int32_t node)
{
    const std::vector<ExpansionNode>& nodes = NetlistReader().nodes;
    if (node < 0 || static_cast<std::size_t>(node) >= nodes.size()) return -1;
    return RootGroup(nodes[static_cast<std::size_t>(node)].group);
}

std::string NodeRowName(std::int32_t node)
{
    const std::vector<ExpansionNode>& nodes = NetlistReader().nodes;
    if (node < 0 || static_cast<std::size_t>(node) >= nodes.size()) return {};
    const ExpansionNode& row = nodes[static_cast<std::size_t>(node)];
    return QualifyNameWithScope(OwnNameOfRow(row), row.pathScope);
}

std::int32_t FindNodeRow(std::string_view qualifiedName)
{
    if (qualifiedName == "0") return 0;
    return LookupNodeNameTrie(qualifiedName);
}

std::int32_t NodeRowCount() { return static_cast<std::int32_t>(NetlistReader().nodes.size()); }

namespace {

// Puts the interface between the analog node and the digital node; the digital pins on the
// net `digitalPinsNet` then sit on the digital node.
int ConnectInterface(std::int32_t analogNode, std::int32_t digitalNode, std::int32_t digitalPinsNet, int interfaceKind)
{
    // The part whose pin decides the interface: a driving output for D-to-A, else the first
    // digital pin on the node.
    SchematicItem* part = nullptr;
    int partPin = -1;
    const std::vector<SchematicItem*> items = Components();
    for (SchematicItem* item : items) {
        if (IsCall(*item)) continue;
        for (int pin = 0; pin < item->PinCount() && !part; ++pin) {
            if (GetPinSignalKind(item, pin) != 1 || NodeGroupOf(item->pinNodes[static_cast<std::size_t>(pin)]) != digitalPinsNet)
                continue;
            if (interfaceKind == kInterfaceDtoA && pin < InputPinCount(*item)) continue;
            part = item;
            partPin = pin;
        }
        if (part) break;
    }
    // The interface the part's I/O model names (read while its pin sits on the analog node); a
    // part without one gets the default interface parts.
    int status = 1;
    if (part) {
        std::int32_t& pinNode = part->pinNodes[static_cast<std::size_t>(partPin)];
        const std::int32_t held = pinNode;
        if (NodeGroupOf(pinNode) != NodeGroupOf(analogNode)) pinNode = analogNode;
        status = InsertDigitalInterface(part, digitalNode, partPin, interfaceKind);
        pinNode = held;
    }
    if (status > 1) return status == kMsgAlreadyReported ? status : ReportReaderOutOfMemory();
    for (SchematicItem* item : items) {
        if (IsCall(*item)) continue;
        bool moved = false;
        for (int pin = 0; pin < item->PinCount(); ++pin) {
            std::int32_t& pinNode = item->pinNodes[static_cast<std::size_t>(pin)];
            if (GetPinSignalKind(item, pin) != 1 || NodeGroupOf(pinNode) != digitalPinsNet) continue;
            pinNode = digitalNode;
            moved = true;
        }
        if (moved && interfaceKind == kInterfaceDtoA && !SetAttribute(CurrentRecord(), item, kAttrIsDtoA, "TRUE"))
            return kMsgAlreadyReported;
    }
    return status == 1 ? NewInterfaceComponent(interfaceKind, analogNode, digitalNode) : 0;
}

// The suffix of the node an interface of the kind makes for the digital pins of a node.
std::string_view InterfaceSuffix(int interfaceKind) { return interfaceKind == kInterfaceDtoA ? "$DTOA" : "$ATOD"; }

}  // namespace

int InsertInterfaceDevices(std::int32_t node, int interfaceKind)
{
    NetlistReaderState& state = NetlistReader();
    std::string name = NodeRowName(node);
    name += InterfaceSuffix(interfaceKind);
    if (name.size() > kMaxInterfaceNodeName) {
        ReportNetlistMessage("WLE", CurrentRecord(), 0, kMsgLabelTooLong, name);
        return kMsgAlreadyReported;
    }
    try {
        const ExpansionNode& row = state.nodes[static_cast<std::size_t>(node)];
        std::string ownName(OwnNameOfRow(row));
        ownName += InterfaceSuffix(interfaceKind);
        const std::int32_t digitalNode = AddNodeRow(ownName, row.pathScope, NewGroup(), row.scope, true);
        return ConnectInterface(node, digitalNode, NodeGroupOf(node), interfaceKind);
    } catch (const std::bad_alloc&) {
        return ReportReaderOutOfMemory();
    }
}

std::string_view NodeNameBeforeInterface(std::string_view name)
{
    for (int kind : {kInterfaceAtoD, kInterfaceDtoA}) {
        const std::string_view suffix = InterfaceSuffix(kind);
        if (name.size() > suffix.size() && name.ends_with(suffix)) return name.substr(0, name.size() - suffix.size());
    }
    return name;
}

int ConnectInterfaceNodes(std::int32_t analogNode, std::int32_t digitalNode, int interfaceKind)
{
    try {
        return ConnectInterface(analogNode, digitalNode, NodeGroupOf(digitalNode), interfaceKind);
    } catch (const std::bad_alloc&) {
        return ReportReaderOutOfMemory();
    }
}

int ClassifyNodeDomains()
{
    NetlistReaderState& state = NetlistReader();
    EnsureGroundRow();
    state.groups.assign(state.groupParent.size(), NodeGroup{});
    const std::vector<SchematicItem*> items = Components();
    for (SchematicItem* item : items) {
        if (IsCall(*item)) continue;
        const int inputs = InputPinCount(*item);
        for (int pin = 0; pin < item->PinCount(); ++pin) {
            const std::int32_t root = NodeGroupOf(item->pinNodes[static_cast<std::size_t>(pin)]);
            if (root < 0) continue;
            NodeGroup& group = GroupRecord(root);
            if (GetPinSignalKind(item, pin) == 1) {
                group.pins |= kPinGroupDigital;
                if (pin >= inputs) group.pins |= kGroupDrivenDigital;
            } else {
                group.pins |= kPinGroupAnalog;
            }
        }
    }
    for (std::int32_t node = 0; node < NodeRowCount(); ++node) {
        // The constants are global names: never qualified.
        const ExpansionNode& row = state.nodes[static_cast<std::size_t>(node)];
        if (!IsUnqualifiedRow(row) || DigitalConstantIndex(OwnNameOfRow(row)) < 0) continue;
        const std::string name(OwnNameOfRow(row));
        const NodeGroup& group = GroupRecord(NodeGroupOf(node));
        if ((group.pins & kPinGroupAnalog) && !(group.pins & kPinGroupDigital)) {
            ReportNetlistMessage("WLE", CurrentRecord(), 0, kMsgConstantOnAnalog, name);
            return kMsgAlreadyReported;
        }
    }
    // One interface per net where analog and digital pins meet.
    std::vector<std::int32_t> mixedNodes;
    std::vector<bool> seen(state.groupParent.size(), false);
    for (std::int32_t node = 0; node < NodeRowCount(); ++node) {
        const std::int32_t root = NodeGroupOf(node);
        if (root < 0 || seen[static_cast<std::size_t>(root)]) continue;
        seen[static_cast<std::size_t>(root)] = true;
        const NodeGroup& group = GroupRecord(root);
        if ((group.pins & kPinGroupAnalog) && (group.pins & kPinGroupDigital)) mixedNodes.push_back(node);
    }
    for (std::int32_t node : mixedNodes) {
        const std::int32_t root = NodeGroupOf(node);
        for (SchematicItem* item : items) {
            const int type = ItemComponentType(item);
            if (type != kComponentDigitalInput && type != kComponentDigitalOutput) continue;
            for (std::int32_t pinNode : item->pinNodes) {
                if (NodeGroupOf(pinNode) != root) continue;
                ReportNetlistMessage("WNE", CurrentRecord(), item, kMsgInterfaceMismatch,
                                     kComponentTypeTable[type].name);
                return kMsgAlreadyReported;
            }
        }
        const int kind = (GroupRecord(root).pins & kGroupDrivenDigital) ? kInterfaceDtoA : kInterfaceAtoD;
        if (int status = InsertInterfaceDevices(node, kind)) return status;
    }
    return 0;
}

int NumberNodesByDomain()
{
    NetlistReaderState& state = NetlistReader();
    EnsureGroundRow();
    try {
        std::vector<NodeGroup> groups(state.groupParent.size());
        groups[0].domain = 0;
        groups[0].number = 0;
        std::int32_t analog = 0;
        std::int32_t digital = 0;
        auto classify = [&](std::int32_t root, int kind) {
            NodeGroup& group = groups[static_cast<std::size_t>(root)];
            if (group.domain >= 0) return;
            group.domain = static_cast<std::int8_t>(kind);
            group.number = kind == 1 ? ++digital : ++analog;
        };
        const std::vector<SchematicItem*> items = Components();
        for (SchematicItem* item : items) {
            if (IsCall(*item)) continue;
            for (int pin = 0; pin < item->PinCount(); ++pin) {
                const std::int32_t root = NodeGroupOf(item->pinNodes[static_cast<std::size_t>(pin)]);
                if (root >= 0) classify(root, GetPinSignalKind(item, pin));
            }
        }
        // Nets that only calls touch take the kind their pin names say.
        for (SchematicItem* item : items) {
            if (!IsCall(*item)) continue;
            for (int pin = 0; pin < item->PinCount(); ++pin) {
                const std::int32_t root = NodeGroupOf(item->pinNodes[static_cast<std::size_t>(pin)]);
                if (root >= 0) classify(root, GetPinSignalKind(item, pin));
            }
        }
        for (SchematicItem* item : items) {
            const bool call = IsCall(*item);
            for (int pin = 0; pin < item->PinCount(); ++pin) {
                std::int32_t& pinNode = item->pinNodes[static_cast<std::size_t>(pin)];
                const std::int32_t root = NodeGroupOf(pinNode);
                if (root < 0) continue;
                const NodeGroup& group = groups[static_cast<std::size_t>(root)];
                const bool matches = call || group.domain < 0 || group.domain == GetPinSignalKind(item, pin);
                pinNode = matches ? group.number : 0;
            }
        }
        NodeTable& table = CircuitNodeTable();
        table.rows.clear();
        table.rows.reserve(state.nodes.size());
        for (std::size_t node = 0; node < state.nodes.size(); ++node) {
            const ExpansionNode& row = state.nodes[node];
            const NodeGroup& group = groups[static_cast<std::size_t>(NodeGroupOf(static_cast<std::int32_t>(node)))];
            const int domain = group.domain < 0 ? 0 : group.domain;
            table.rows.push_back(TableRowOf(static_cast<std::int32_t>(node), group.number, domain));
            const int constant = IsUnqualifiedRow(row) ? DigitalConstantIndex(OwnNameOfRow(row)) : -1;
            if (constant >= 0 && domain == 1) state.digitalConstantNodes[static_cast<std::size_t>(constant)] = group.number;
        }
        state.groups = std::move(groups);
        state.nodesNumbered = true;
        state.analogNodeCount = analog;
        state.digitalNodeCount = digital;
        if (CircuitDocument* document = CurrentDocument()) {
            document->nodeCount = analog;
            document->nodeCount2 = digital;
            document->analysisNodeCounts = {analog, digital};
        }
    } catch (const std::bad_alloc&) {
        return ReportReaderOutOfMemory();
    }
    return 0;
}

void MarkPowerNode(std::string_view qualifiedName)
{
    try {
        NetlistReader().powerNodes.emplace_back(qualifiedName);
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildError();
    }
}

int CheckPowerNodes()
{
    static constexpr int kSourceTypes[] = {kComponentBattery, kComponentPulseSource, kComponentSineSource,
                                          kComponentISpice,  kComponentVSpice,      kComponentIsource,
                                          kComponentNFV,     kComponentNFI};
    for (const std::string& name : NetlistReader().powerNodes) {
        const std::int32_t row = FindNodeRow(name);
        if (row < 0) continue;
        const std::int32_t number = CircuitNodeTable().rows.size() > static_cast<std::size_t>(row)
                                        ? CircuitNodeTable().rows[static_cast<std::size_t>(row)].number
                                        : -1;
        bool sourced = false;
        for (SchematicItem* item : Components()) {
            const int type = ItemComponentType(item);
            if (std::find(std::begin(kSourceTypes), std::end(kSourceTypes), type) == std::end(kSourceTypes)) continue;
            for (std::int32_t pinNode : item->pinNodes)
                if (pinNode == number) sourced = true;
        }
        if (!sourced) {
            ReportMessage("WLE", CurrentRecord(), 0, kMsgPowerNodeUnsourced, name);
            return kMsgAlreadyReported;
        }
    }
    return 0;
}

}  // namespace kq5
