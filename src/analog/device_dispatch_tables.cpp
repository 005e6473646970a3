#include "analog/device_dispatch_tables.h"

#include <new>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "document/component_types.h"
#include "netlist/poly_source.h"

namespace kq5 {

namespace {

// Device list of the digital-to-analog converter outputs, whose records the digital side makes.
constexpr int kDacOutputList = 7;

std::size_t ListSlot(int list) { return static_cast<std::size_t>(list - kFirstDeviceList); }

template <class T>
void SizeTable(std::vector<T>& table, int list)
{
    const std::size_t count = static_cast<std::size_t>(DeviceList(list).count);
    if (table.size() != count) table.assign(count, T{});
}

// Rows of a member of a controlled-source family by its position in the family: current
// output controlled by a voltage none, by a current (sensing branch) or a voltage output one,
// voltage output controlled by a current two.
int FamilyRows(int member)
{
    static constexpr int kRows[4] = {0, 1, 1, 2};
    return member >= 0 && member < 4 ? kRows[member] : 0;
}

int FamilyMember(int kind, int first)
{
    const int member = (kind >= 131 && kind <= 134) ? kind - 100 : kind;
    return member - first;
}

class RowNumbering {
public:
    explicit RowNumbering(DeviceSolverTables& t, int first) : t_(t), next_(first) {}

    // Gives the record at `position` of `list` `count` rows; the first is stored.
    std::int32_t Give(int list, std::size_t position, int count)
    {
        std::vector<std::int32_t>& rows = t_.rows[ListSlot(list)];
        const std::int32_t first = count > 0 ? next_ + 1 : 0;
        rows[position] = first;
        next_ += count;
        return first;
    }
    int Last() const { return next_; }

private:
    DeviceSolverTables& t_;
    int next_;
};

template <class Device, class F>
void NumberList(RowNumbering& rows, int list, F&& rowCount)
{
    std::size_t position = 0;
    for (Device& d : ListRecords<Device>(DeviceList(list))) rows.Give(list, position++, rowCount(d));
}

void AssignStateSlots(DeviceSolverTables& t)
{
    // Plain states first (capacitors, inductors, diodes, JFETs, GaAsFETs), then the bipolar
    // transistors' and the MOSFETs' blocks, each kind in list order.
    static constexpr std::pair<int, int> kStateKinds[] = {
        {kCapacitorDeviceList, 1}, {kInductorDeviceList, 1}, {kDiodeDeviceList, 1}, {kJfetDeviceList, 2},
        {kGaasfetDeviceList, 3},   {kBjtDeviceList, 5},      {kMosfetDeviceList, 7},
    };
    std::int32_t state = 0;
    for (const auto& [list, states] : kStateKinds) {
        std::vector<std::int32_t>& slots = t.stateSlots[ListSlot(list)];
        slots.assign(static_cast<std::size_t>(DeviceList(list).count), 0);
        for (std::int32_t& slot : slots) {
            slot = 4 * state;
            state += states;
        }
    }
    const std::pair<std::vector<SemiconductorStamps>*, int> semiconductors[] = {
        {&t.diodes, kDiodeDeviceList}, {&t.bjts, kBjtDeviceList}, {&t.mosfets, kMosfetDeviceList},
        {&t.jfets, kJfetDeviceList},   {&t.gaasfets, kGaasfetDeviceList}};
    for (const auto& [table, list] : semiconductors)
        for (std::size_t i = 0; i < table->size(); ++i) (*table)[i].stateSlot = t.stateSlots[ListSlot(list)][i];
    for (std::size_t i = 0; i < t.capacitors.size(); ++i)
        t.capacitors[i].stateSlot = t.stateSlots[ListSlot(kCapacitorDeviceList)][i];
    for (std::size_t i = 0; i < t.inductors.size(); ++i)
        t.inductors[i].stateSlot = t.stateSlots[ListSlot(kInductorDeviceList)][i];
}

void LinkInductorCores(DeviceSolverTables& t)
{
    std::unordered_map<const CoreRequest*, std::int32_t> coreIndex;
    std::int32_t position = 0;
    for (CoreRequest& k : ListRecords<CoreRequest>(DeviceList(kCoreRequestList))) {
        t.cores[static_cast<std::size_t>(position)].isCore = k.model != nullptr;
        coreIndex[&k] = position++;
    }
    std::unordered_map<const InductorDevice*, std::int32_t> inductorIndex;
    std::size_t i = 0;
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
        inductorIndex[&l] = static_cast<std::int32_t>(i);
        InductorStamps& stamps = t.inductors[i++];
        const auto found = l.core && l.core->model ? coreIndex.find(l.core) : coreIndex.end();
        stamps.core = found == coreIndex.end() ? -1 : found->second;
    }
    auto indexOf = [&](const InductorDevice* l) {
        const auto found = l ? inductorIndex.find(l) : inductorIndex.end();
        return found == inductorIndex.end() ? -1 : found->second;
    };
    i = 0;
    for (CouplingDevice& k : ListRecords<CouplingDevice>(DeviceList(kCouplingDeviceList))) {
        t.couplings[i].first = indexOf(k.first);
        t.couplings[i].second = indexOf(k.second);
        ++i;
    }
}

void LinkPolyControls(DeviceSolverTables& t)
{
    std::size_t i = 0;
    for (PolySourceDevice& p : ListRecords<PolySourceDevice>(DeviceList(kPolySourceList))) {
        PolyStamps& stamps = t.polySources[i];
        stamps.branch = t.rows[ListSlot(kPolySourceList)][i];
        ++i;
        const std::size_t n = p.controls.size();
        if (stamps.controls.size() != n) stamps.controls.assign(n, PolyControlState{});
        const bool currentControlled =
            p.componentType == kPolyCurrentOfCurrent || p.componentType == kPolyVoltageOfCurrent;
        for (std::size_t j = 1; j < n; ++j) {
            const PolyControl& control = p.controls[j];
            PolyControlState& state = stamps.controls[j];
            if (currentControlled) {
                state.first = BranchOfDevice(control.source);
                state.second = 0;
            } else {
                state.first = control.nodePlus;
                state.second = control.nodeMinus;
            }
        }
    }
}

}  // namespace

std::int32_t DeviceRow(int list, std::size_t position)
{
    const std::vector<std::int32_t>& rows = AnalogSolver().devices.rows[ListSlot(list)];
    return position < rows.size() ? rows[position] : 0;
}

std::int32_t BranchOfDevice(const ListNode* device)
{
    const auto& map = AnalogSolver().devices.branchOfDevice;
    const auto found = device ? map.find(device) : map.end();
    return found == map.end() ? 0 : found->second;
}

std::int32_t DeviceStateSlot(int list, std::size_t position)
{
    const std::vector<std::int32_t>& slots = AnalogSolver().devices.stateSlots[ListSlot(list)];
    return position < slots.size() ? slots[position] : 0;
}

int NumberDeviceRows(int nodeCount)
{
    DeviceSolverTables& t = AnalogSolver().devices;
    try {
        SizeTable(t.resistors, kResistorDeviceList);
        SizeTable(t.capacitors, kCapacitorDeviceList);
        SizeTable(t.inductors, kInductorDeviceList);
        SizeTable(t.couplings, kCouplingDeviceList);
        SizeTable(t.cores, kCoreRequestList);
        SizeTable(t.linearSources, kLinearSourceDeviceList);
        SizeTable(t.polySources, kPolySourceList);
        SizeTable(t.sources, kIndependentSourceDeviceList);
        SizeTable(t.pulseSources, kPulseSourceDeviceList);
        SizeTable(t.sineSources, kSineSourceDeviceList);
        SizeTable(t.userSources, kUserSourceDeviceList);
        SizeTable(t.voltageSwitches, kVoltageSwitchDeviceList);
        SizeTable(t.currentSwitches, kCurrentSwitchDeviceList);
        SizeTable(t.switches, kSwitchDeviceList);
        SizeTable(t.opamps, kOpampDeviceList);
        SizeTable(t.diodes, kDiodeDeviceList);
        SizeTable(t.bjts, kBjtDeviceList);
        SizeTable(t.mosfets, kMosfetDeviceList);
        SizeTable(t.jfets, kJfetDeviceList);
        SizeTable(t.gaasfets, kGaasfetDeviceList);
        // Only the kinds numbered below take rows of their own. The others (resistors,
        // capacitors, semiconductors: nearly every record of a large circuit) keep no table,
        // and DeviceRow answers 0 for them.
        static constexpr int kListsWithRows[] = {
            kInductorDeviceList,     kSineSourceDeviceList,  kPulseSourceDeviceList,   kUserSourceDeviceList,
            kIndependentSourceDeviceList, kLinearSourceDeviceList, kPolySourceList,    kFormulaSourceDeviceList,
            kSampleHoldDeviceList,   kTableSourceDeviceList, kLaplaceSourceDeviceList, kFreqTableSourceDeviceList,
            kIdealLineDeviceList,    kLossyLineDeviceList,   kDacOutputList,
        };
        for (int list = kFirstDeviceList; list <= kLastDeviceList; ++list) std::vector<std::int32_t>().swap(t.rows[ListSlot(list)]);
        for (int list : kListsWithRows)
            t.rows[ListSlot(list)].assign(static_cast<std::size_t>(DeviceList(list).count), 0);
        t.branchOfDevice.clear();

        // Inductor branch rows come right after the nodes.
        const int inductors = DeviceList(kInductorDeviceList).count;
        std::size_t position = 0;
        for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
            const std::int32_t row = nodeCount + static_cast<std::int32_t>(position) + 1;
            t.rows[ListSlot(kInductorDeviceList)][position] = row;
            t.inductors[position].branch = row;
            t.branchOfDevice[&l] = row;
            ++position;
        }

        RowNumbering rows(t, nodeCount + inductors);
        NumberList<SineSourceDevice>(rows, kSineSourceDeviceList, [](auto&) { return 1; });
        NumberList<PulseSourceDevice>(rows, kPulseSourceDeviceList, [](auto&) { return 1; });
        NumberList<UserSourceDevice>(rows, kUserSourceDeviceList, [](auto&) { return 1; });
        NumberList<IndependentSourceDevice>(rows, kIndependentSourceDeviceList, [](const IndependentSourceDevice& s) {
            return s.sourceType == kSourceVoltage ? 1 : 0;
        });
        NumberList<LinearSourceDevice>(rows, kLinearSourceDeviceList, [](const LinearSourceDevice& e) {
            return FamilyRows(FamilyMember(e.outputKind, kComponentIofV));
        });
        NumberList<PolySourceDevice>(rows, kPolySourceList, [](const PolySourceDevice& p) {
            return p.componentType == kPolyVoltageOfVoltage || p.componentType == kPolyVoltageOfCurrent ? 1 : 0;
        });
        NumberList<FormulaSourceDevice>(rows, kFormulaSourceDeviceList, [](const FormulaSourceDevice& b) {
            return b.outputKind == kComponentNFV ? 1 : 0;
        });
        NumberList<SampleHoldDevice>(rows, kSampleHoldDeviceList, [](auto&) { return 1; });
        NumberList<TableSourceDevice>(rows, kTableSourceDeviceList, [](const TableSourceDevice& s) {
            return FamilyRows(FamilyMember(s.outputKind, kComponentNTIofV));
        });
        NumberList<LaplaceSourceDevice>(rows, kLaplaceSourceDeviceList, [](const LaplaceSourceDevice& s) {
            return FamilyRows(FamilyMember(s.outputKind, kComponentLFIofV));
        });
        NumberList<FreqTableSourceDevice>(rows, kFreqTableSourceDeviceList, [](const FreqTableSourceDevice& s) {
            return FamilyRows(FamilyMember(s.outputKind, kComponentLTIofV));
        });
        NumberList<IdealLineDevice>(rows, kIdealLineDeviceList, [](auto&) { return 2; });
        NumberList<LossyLineDevice>(rows, kLossyLineDeviceList, [](auto&) { return 2; });
        NumberList<ListNode>(rows, kDacOutputList, [](auto&) { return 1; });

        // Branch rows of every source with a branch current, for the devices that name their
        // controlling source.
        for (int list : {kSineSourceDeviceList, kPulseSourceDeviceList, kUserSourceDeviceList,
                         kIndependentSourceDeviceList}) {
            std::size_t i = 0;
            for (ListNode& node : ListRecords<ListNode>(DeviceList(list))) {
                const std::int32_t row = t.rows[ListSlot(list)][i++];
                if (row > 0) t.branchOfDevice[&node] = row;
            }
        }
        auto copyRows = [&](auto& table, int list) {
            for (std::size_t i = 0; i < table.size(); ++i) table[i].branch = t.rows[ListSlot(list)][i];
        };
        copyRows(t.sources, kIndependentSourceDeviceList);
        copyRows(t.pulseSources, kPulseSourceDeviceList);
        copyRows(t.sineSources, kSineSourceDeviceList);
        copyRows(t.userSources, kUserSourceDeviceList);
        copyRows(t.linearSources, kLinearSourceDeviceList);
        std::size_t i = 0;
        for (LinearSourceDevice& e : ListRecords<LinearSourceDevice>(DeviceList(kLinearSourceDeviceList)))
            t.linearSources[i++].subKind = FamilyMember(e.outputKind, kComponentIofV);

        LinkPolyControls(t);
        LinkInductorCores(t);
        AssignStateSlots(t);
        i = 0;
        for (CurrentSwitchDevice& w : ListRecords<CurrentSwitchDevice>(DeviceList(kCurrentSwitchDeviceList)))
            t.currentSwitches[i++].controlBranch = BranchOfDevice(w.controllingSource);
        t.sized = true;
        Analysis().equationCount = rows.Last();
        return rows.Last();
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

void ClearDeviceSolverTables() { AnalogSolver().devices = DeviceSolverTables{}; }

}  // namespace kq5
