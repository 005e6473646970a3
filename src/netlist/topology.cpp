#include "netlist/topology.h"
#include "netlist/spice_messages.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/device_lists.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "netlist/bjt_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build_errors.h"
#include "document/component_types.h"
#include "netlist/poly_source.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

constexpr int kMsgFewConnections = 10842;
constexpr int kMsgLoopFound = 10853;
constexpr int kMsgODeviceUnconnected = 10855;
constexpr int kMsgNoDcPath = 10856;

bool IsBlockCall(int type) { return type == kComponentMacro || type == kComponentSubckt; }

// The node's name as seen from a scope; its number when it has none.
std::string NodeNameForReport(std::int32_t node, int scope)
{
    std::string name = FindNodeName(CircuitNodeTable(), node, scope, kNodeAnalog);
    return name.empty() ? IntToDecimal(node) : name;
}

bool ValidNode(std::int32_t node, int n) { return node >= 0 && node <= n; }

// ---- the inductor / voltage source loop check ----------------------------------------------

struct LoopElement {
    std::int32_t a;
    std::int32_t b;
    const ListNode* device;
};

template <class T, class Nodes>
void CollectElements(std::vector<LoopElement>& elements, int list, Nodes nodes)
{
    for (const T& device : ListRecords<T>(DeviceList(list))) {
        std::pair<std::int32_t, std::int32_t> pair;
        if (nodes(device, pair)) elements.push_back({pair.first, pair.second, &device});
    }
}

std::vector<LoopElement> LoopElements()
{
    std::vector<LoopElement> e;
    auto voltageOutput = [](const auto& d, std::pair<std::int32_t, std::int32_t>& p) {
        p = {d.outputPlus, d.outputMinus};
        return IsVoltageOutputKind(d.outputKind);
    };
    if (!NetlistReader().skipInductorLoopCheck)
        CollectElements<InductorDevice>(e, kInductorDeviceList, [](const InductorDevice& l, auto& p) {
            p = {l.nodeA, l.nodeB};
            return true;
        });
    CollectElements<SineSourceDevice>(e, kSineSourceDeviceList, [](const SineSourceDevice& s, auto& p) {
        p = {s.internalPlus, s.nodeMinus};
        return true;
    });
    CollectElements<PulseSourceDevice>(e, kPulseSourceDeviceList, [](const PulseSourceDevice& s, auto& p) {
        p = {s.nodePlus, s.nodeMinus};
        return true;
    });
    CollectElements<IndependentSourceDevice>(e, kIndependentSourceDeviceList,
                                             [](const IndependentSourceDevice& v, auto& p) {
                                                 p = {v.nodePlus, v.nodeMinus};
                                                 return v.sourceType == kSourceVoltage;
                                             });
    CollectElements<UserSourceDevice>(e, kUserSourceDeviceList, [](const UserSourceDevice& u, auto& p) {
        p = {u.nodePlus, u.nodeMinus};
        return true;
    });
    CollectElements<LinearSourceDevice>(e, kLinearSourceDeviceList, voltageOutput);
    CollectElements<LaplaceSourceDevice>(e, kLaplaceSourceDeviceList, voltageOutput);
    CollectElements<FreqTableSourceDevice>(e, kFreqTableSourceDeviceList, voltageOutput);
    CollectElements<FormulaSourceDevice>(e, kFormulaSourceDeviceList, voltageOutput);
    CollectElements<TableSourceDevice>(e, kTableSourceDeviceList, voltageOutput);
    return e;
}

// Searches from one root; the index of the element that closed a loop, or -1.
int SearchLoopFrom(std::int32_t root, const std::vector<LoopElement>& elements, std::vector<int>& mark)
{
    std::fill(mark.begin(), mark.end(), 0);
    mark[static_cast<std::size_t>(root)] = -1;
    const int n = static_cast<int>(mark.size()) - 1;
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < elements.size(); ++i) {
            const LoopElement& element = elements[i];
            if (!ValidNode(element.a, n) || !ValidNode(element.b, n)) continue;
            const int k = static_cast<int>(i) + 1;
            int& a = mark[static_cast<std::size_t>(element.a)];
            int& b = mark[static_cast<std::size_t>(element.b)];
            if (a == k || b == k) continue;
            if (a == -1) {
                const bool bMarked = b != 0;
                a = k;
                if (bMarked) return static_cast<int>(i);
                b = k;
                changed = true;
            } else if (a == 0) {
                if (b == -1) {
                    b = a = k;
                    changed = true;
                } else if (b != 0) {
                    a = k;
                    changed = true;
                }
            } else {
                if (b != 0) return static_cast<int>(i);
                b = k;
                changed = true;
            }
        }
    }
    return -1;
}

// ---- the DC path check ----------------------------------------------------------------------

class DcGraph {
public:
    explicit DcGraph(int n) : n_(n), neighbours_(static_cast<std::size_t>(n) + 1) {}

    void Join(std::int32_t a, std::int32_t b)
    {
        if (!ValidNode(a, n_) || !ValidNode(b, n_) || a == b) return;
        Add(a, b);
        Add(b, a);
    }

    // Ground and everything joined to it.
    std::vector<char> Reached() const
    {
        std::vector<char> reached(neighbours_.size(), 0);
        std::vector<std::int32_t> pending{0};
        reached[0] = 1;
        while (!pending.empty()) {
            const std::int32_t node = pending.back();
            pending.pop_back();
            for (std::int32_t next : neighbours_[static_cast<std::size_t>(node)]) {
                if (reached[static_cast<std::size_t>(next)]) continue;
                reached[static_cast<std::size_t>(next)] = 1;
                pending.push_back(next);
            }
        }
        return reached;
    }

private:
    // Parallel devices repeat a neighbour; the walk skips what it reached, so repeats cost
    // less than a search of a busy node's list for each new one.
    void Add(std::int32_t from, std::int32_t to) { neighbours_[static_cast<std::size_t>(from)].push_back(to); }

    int n_;
    std::vector<std::vector<std::int32_t>> neighbours_;
};

template <class T, class F>
void ForEach(int list, F f)
{
    for (const T& device : ListRecords<T>(DeviceList(list))) f(device);
}

void JoinDevices(DcGraph& g)
{
    auto pair = [&g](std::int32_t a, std::int32_t b) { g.Join(a, b); };
    auto outputs = [&g](const auto& d) {
        g.Join(d.outputPlus, d.outputMinus);
        if (IsCurrentControlledKind(d.outputKind)) g.Join(d.controlPlus, d.controlMinus);
    };
    ForEach<InductorDevice>(kInductorDeviceList, [&](const InductorDevice& l) { pair(l.nodeA, l.nodeB); });
    ForEach<ResistorDevice>(kResistorDeviceList, [&](const ResistorDevice& r) { pair(r.nodeA, r.nodeB); });
    ForEach<SampleHoldDevice>(kSampleHoldDeviceList, [&](const SampleHoldDevice& s) { pair(s.input, s.output); });
    ForEach<SwitchDevice>(kSwitchDeviceList, [&](const SwitchDevice& s) { pair(s.outputA, s.outputB); });
    ForEach<VoltageSwitchDevice>(kVoltageSwitchDeviceList,
                                 [&](const VoltageSwitchDevice& s) { pair(s.outputPlus, s.outputMinus); });
    ForEach<CurrentSwitchDevice>(kCurrentSwitchDeviceList,
                                 [&](const CurrentSwitchDevice& s) { pair(s.outputPlus, s.outputMinus); });
    ForEach<DiodeDevice>(kDiodeDeviceList, [&](const DiodeDevice& d) {
        pair(d.anode, d.internalAnode);
        pair(d.internalAnode, d.cathode);
    });
    ForEach<BjtDevice>(kBjtDeviceList, [&](const BjtDevice& q) {
        pair(q.collector, q.internalCollector);
        pair(q.base, q.internalBase);
        pair(q.emitter, q.internalEmitter);
        pair(q.internalBase, q.internalCollector);
        pair(q.internalBase, q.internalEmitter);
        pair(q.internalCollector, q.internalEmitter);
    });
    ForEach<JfetDevice>(kJfetDeviceList, [&](const JfetDevice& j) {
        pair(j.drain, j.internalDrain);
        pair(j.source, j.internalSource);
        pair(j.internalDrain, j.internalSource);
        pair(j.gate, j.internalDrain);
        pair(j.gate, j.internalSource);
    });
    ForEach<GaasfetDevice>(kGaasfetDeviceList, [&](const GaasfetDevice& b) {
        pair(b.drain, b.internalDrain);
        pair(b.gate, b.internalGate);
        pair(b.source, b.internalSource);
        pair(b.internalDrain, b.internalGate);
        pair(b.internalDrain, b.internalSource);
        pair(b.internalGate, b.internalSource);
    });
    ForEach<MosfetDevice>(kMosfetDeviceList, [&](const MosfetDevice& m) {
        pair(m.gate, m.internalGate);
        pair(m.drain, m.internalDrain);
        pair(m.source, m.internalSource);
        pair(m.bulk, m.internalBulk);
        pair(m.internalDrain, m.internalSource);
        pair(m.internalBulk, m.internalDrain);
        pair(m.internalBulk, m.internalSource);
        if (m.side && m.side->level == 8) pair(m.extraInternal, m.internalSource);
    });
    ForEach<PolySourceDevice>(kPolySourceList, [&](const PolySourceDevice& e) { pair(e.nodePlus, e.nodeMinus); });
    ForEach<IdealLineDevice>(kIdealLineDeviceList, [&](const IdealLineDevice& t) {
        pair(t.port1Plus, t.internal1);
        pair(t.internal1, t.port1Minus);
        pair(t.port2Plus, t.internal2);
        pair(t.internal2, t.port2Minus);
    });
    ForEach<LossyLineDevice>(kLossyLineDeviceList, [&](const LossyLineDevice& t) {
        pair(t.port1Plus, t.port1Minus);
        pair(t.port2Plus, t.port2Minus);
    });
    ForEach<SineSourceDevice>(kSineSourceDeviceList, [&](const SineSourceDevice& s) {
        pair(s.internalPlus, s.nodeMinus);
    });
    ForEach<PulseSourceDevice>(kPulseSourceDeviceList, [&](const PulseSourceDevice& s) { pair(s.nodePlus, s.nodeMinus); });
    // A current source fixes the current, not the voltage: a node that only it joins to the rest
    // (a current source into a capacitor) floats, and the solver would find its matrix singular.
    ForEach<IndependentSourceDevice>(kIndependentSourceDeviceList, [&](const IndependentSourceDevice& v) {
        if (v.sourceType != kSourceCurrent) pair(v.nodePlus, v.nodeMinus);
    });
    ForEach<UserSourceDevice>(kUserSourceDeviceList, [&](const UserSourceDevice& u) { pair(u.nodePlus, u.nodeMinus); });
    ForEach<LinearSourceDevice>(kLinearSourceDeviceList, outputs);
    ForEach<LaplaceSourceDevice>(kLaplaceSourceDeviceList, outputs);
    ForEach<FreqTableSourceDevice>(kFreqTableSourceDeviceList, outputs);
    ForEach<TableSourceDevice>(kTableSourceDeviceList, outputs);
    ForEach<FormulaSourceDevice>(kFormulaSourceDeviceList,
                                 [&](const FormulaSourceDevice& b) { pair(b.outputPlus, b.outputMinus); });
}

// The first component of the document with a pin on the node.
SchematicItem* FirstComponentOnNode(std::int32_t node)
{
    const CircuitDocument* document = CurrentDocument();
    if (!document) return nullptr;
    for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
        if (!item.IsComponent() || IsBlockCall(ItemComponentType(&item))) continue;
        for (int pin = 0; pin < item.PinCount(); ++pin)
            if (item.pinNodes[static_cast<std::size_t>(pin)] == node && GetPinSignalKind(&item, pin) == 0)
                return &item;
    }
    return nullptr;
}

}  // namespace

void CheckAnalogNodeConnections(bool floatingNodes)
{
    const CircuitDocument* document = CurrentDocument();
    if (!document || CircuitBuildFailed()) return;
    const int n = AnalogNodeCount();
    if (n <= 0) return;
    try {
        std::vector<int> count(static_cast<std::size_t>(n) + 1, 0);
        std::vector<SchematicItem*> last(static_cast<std::size_t>(n) + 1, nullptr);
        for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
            const int type = ItemComponentType(&item);
            if (!item.IsComponent() || type < 0 || IsBlockCall(type)) continue;
            for (int pin = 0; pin < item.PinCount(); ++pin) {
                if (GetPinSignalKind(&item, pin) != 0) continue;
                const std::int32_t node = item.pinNodes[static_cast<std::size_t>(pin)];
                if (node <= 0 || node > n) continue;
                last[static_cast<std::size_t>(node)] = &item;
                if (type != kComponentDigitalOutput || floatingNodes) ++count[static_cast<std::size_t>(node)];
            }
        }
        for (std::int32_t node = 1; node <= n; ++node) {
            SchematicItem* item = last[static_cast<std::size_t>(node)];
            const int c = count[static_cast<std::size_t>(node)];
            int id = 0;
            if (floatingNodes && c == 1)
                id = kMsgFewConnections;
            else if (!floatingNodes && c == 0 && item && ItemComponentType(item) == kComponentDigitalOutput)
                id = kMsgODeviceUnconnected;
            if (id == 0) continue;
            ReportPartMessage(item, id, NodeNameForReport(node, item->scope));
            ShowErrorLocation(item);
            return;
        }
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
    }
}

void CheckInductorSourceLoops(int analogNodeCount)
{
    if (CircuitBuildFailed() || analogNodeCount < 0) return;
    try {
        const std::vector<LoopElement> elements = LoopElements();
        if (elements.empty()) return;
        std::vector<int> mark(static_cast<std::size_t>(analogNodeCount) + 1, 0);
        // A search from a node that no element touches finds nothing: only the elements' own
        // nodes are roots, so a large circuit with few sources costs little here.
        std::vector<char> touched(mark.size(), 0);
        for (const LoopElement& element : elements) {
            if (!ValidNode(element.a, analogNodeCount) || !ValidNode(element.b, analogNodeCount)) continue;
            touched[static_cast<std::size_t>(element.a)] = 1;
            touched[static_cast<std::size_t>(element.b)] = 1;
        }
        for (std::int32_t root = 0; root <= analogNodeCount; ++root) {
            if (!touched[static_cast<std::size_t>(root)]) continue;
            const int closing = SearchLoopFrom(root, elements, mark);
            if (closing < 0) continue;
            SchematicItem* component = FindPartOfDevice(elements[static_cast<std::size_t>(closing)].device);
            if (component)
                ReportPartMessage(component, kMsgLoopFound);
            else
                ReportMessage("WLE", CurrentRecord(), 0, kMsgLoopFound);
            FlagCircuitBuildError();
            return;
        }
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
    }
}

int CheckDcPathToGround(int analogNodeCount)
{
    if (CircuitBuildFailed() || analogNodeCount <= 0) return 0;
    try {
        DcGraph graph(analogNodeCount);
        JoinDevices(graph);
        const std::vector<char> reached = graph.Reached();
        for (std::int32_t node = 1; node <= analogNodeCount; ++node) {
            if (reached[static_cast<std::size_t>(node)]) continue;
            SchematicItem* component = FirstComponentOnNode(node);
            if (component)
                ReportPartMessage(component, kMsgNoDcPath, NodeNameForReport(node, component->scope));
            else
                ReportMessage("WLE", CurrentRecord(), 0, kMsgNoDcPath, NodeNameForReport(node, 0));
            FlagCircuitBuildError();
            return 0;
        }
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
