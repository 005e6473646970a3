// The states a run starts from and returns to: clearing them, applying the initial
// conditions and stored state variables, restoring a rejected point, and the output of an
// accepted point.
#include <algorithm>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/device_run_services.h"
#include "analog/operating_point.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "document/stored_state_variables.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "core/device_lists.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "core/digital_node_states.h"
#include "netlist/spice_initial_conditions.h"

namespace kq5 {

namespace {

constexpr std::uint16_t kDigitalStartState = 0x1FC;
constexpr std::uint16_t kFullStrength = 0x1F8;

double V(int node)
{
    const std::vector<double>& x = SolutionVector();
    return node > 0 && static_cast<std::size_t>(node) < x.size() ? x[static_cast<std::size_t>(node)] : 0.0;
}

void SetNodeVoltage(int node, double value)
{
    AnalogSolverState& s = AnalogSolver();
    const std::size_t i = static_cast<std::size_t>(node);
    if (node <= 0) return;
    for (std::vector<double>* v : {&SolutionVector(), &s.previousSolution, &s.savedSolution, &s.olderSolution})
        if (i < v->size()) (*v)[i] = value;
}

void SetDigitalNode(int node, std::uint16_t state)
{
    DigitalSimulatorState& d = DigitalSimulator();
    const std::size_t i = static_cast<std::size_t>(node);
    for (std::vector<std::uint16_t>* v : {&d.current, &d.previous, &d.scheduled})
        if (node > 0 && i < v->size()) (*v)[i] = state;
}

int InductorRowOf(const ListNode* inductor)
{
    const DeviceSolverTables& tables = AnalogSolver().devices;
    std::size_t i = 0;
    for (const InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
        if (&l == inductor)
            return i < tables.inductors.size() && tables.inductors[i].branch > 0
                       ? tables.inductors[i].branch
                       : AnalogSolver().nodeCount + static_cast<int>(i) + 1;
        ++i;
    }
    return 0;
}

}  // namespace

void InitializeRunStates()
{
    AnalogSolverState& s = AnalogSolver();
    if (TransientRun().stateVariables != kStateVariablesLeave) {
        for (std::vector<double>* v : {&SolutionVector(), &s.savedSolution, &s.olderSolution, &s.previousSolution})
            std::fill(v->begin(), v->end(), 0.0);
        if (DeviceServices().clearDeviceHistoryFields) DeviceServices().clearDeviceHistoryFields();
        DigitalSimulatorState& d = DigitalSimulator();
        for (std::vector<std::uint16_t>* v : {&d.current, &d.previous, &d.scheduled})
            if (v->size() > 1) std::fill(v->begin() + 1, v->end(), kDigitalStartState);
        ClearStateVectors();
        if (DeviceServices().commitCoreStates) DeviceServices().commitCoreStates(0);
    }
}

void ApplyInitialConditions()
{
    for (const InitialConditionEntry& row : InitialConditions().entries) {
        if (row.letter == 'I') {
            auto* l = static_cast<InductorDevice*>(row.inductorDevice);
            if (l && !l->initialConditionGiven) {
                l->initialCondition = row.value;
                l->initialConditionGiven = 1;
            }
        } else if (row.letter == 'V') {
            if (row.kind == 1) SetNodeVoltage(row.nodeA, row.value + V(row.nodeB));
        } else {
            SetDigitalNode(row.nodeA, static_cast<std::uint16_t>((row.digitalState & 7) | kFullStrength));
        }
    }
    // Devices without given initial values start from the present solution; an inductor with
    // a given current writes it into its branch.
    for (CapacitorDevice& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList)))
        if (!c.InitialConditionGiven()) c.initialCondition = V(c.nodeA) - V(c.nodeB);
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
        const int row = InductorRowOf(&l);
        if (l.initialConditionGiven)
            SetNodeVoltage(row, l.initialCondition);
        else
            l.initialCondition = V(row);
    }
    for (DiodeDevice& d : ListRecords<DiodeDevice>(DeviceList(kDiodeDeviceList)))
        if (!d.initialConditionGiven) d.initialVoltage = V(d.internalAnode) - V(d.cathode);
    for (BjtDevice& q : ListRecords<BjtDevice>(DeviceList(kBjtDeviceList)))
        if (!q.initialConditionGiven) {
            q.initialVbe = V(q.base) - V(q.emitter);
            q.initialVce = V(q.collector) - V(q.emitter);
        }
    // A MOSFET starts its first iteration from its initial values whenever they are not all
    // zero. Taken from nodes of which only those named by .IC are set yet, they would put its
    // junctions far into conduction; so unless the run starts from the initial conditions
    // themselves, a MOSFET without its own keeps the usual first guess.
    const bool fromInitialConditions = AnalogSolver().useInitialConditions != 0;
    for (MosfetDevice& m : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList)))
        if (!m.initialConditionGiven) {
            m.ic1 = fromInitialConditions ? V(m.drain) - V(m.source) : 0.0;
            m.ic2 = fromInitialConditions ? V(m.gate) - V(m.source) : 0.0;
            m.ic3 = fromInitialConditions ? V(m.bulk) - V(m.source) : 0.0;
        }
    for (JfetDevice& j : ListRecords<JfetDevice>(DeviceList(kJfetDeviceList)))
        if (!j.initialConditionGiven) {
            j.ic1 = V(j.drain) - V(j.source);
            j.ic2 = V(j.gate) - V(j.source);
        }
    for (GaasfetDevice& g : ListRecords<GaasfetDevice>(DeviceList(kGaasfetDeviceList)))
        if (!g.initialConditionGiven) {
            g.ic1 = V(g.drain) - V(g.source);
            g.ic2 = V(g.gate) - V(g.source);
        }
}

int ReinitializeRunStates()
{
    InitializeRunStates();
    if (TransientRun().stateVariables == kStateVariablesRead) {
        if (RunServices().readStateVariables)
            if (int rc = RunServices().readStateVariables()) return rc;
        const StoredStateVariables& stored = StoredStates();
        for (const StoredStateVariable& row : stored.rows) {
            if (row.letter == 'V') {
                SetNodeVoltage(row.node, row.value + V(row.secondNode));
            } else if (row.letter == 'I') {
                SetNodeVoltage(row.inductorBranch, row.value);
            } else if (row.letter == 'D') {
                SetDigitalNode(row.node, row.state);
            }
        }
    }
    ApplyInitialConditions();
    TransientRun().firstRun = false;
    return 0;
}

void RestoreRejectedStepStates()
{
    AnalogSolverState& s = AnalogSolver();
    std::vector<double>& x = SolutionVector();
    std::copy_n(s.savedSolution.begin(), std::min(s.savedSolution.size(), x.size()), x.begin());
    std::copy_n(s.savedSolution.begin(), std::min(s.savedSolution.size(), s.previousSolution.size()),
                s.previousSolution.begin());
    const TransientRunState& t = TransientRun();
    DigitalSimulatorState& d = DigitalSimulator();
    if (t.savedDigitalCurrent.size() == d.current.size()) d.current = t.savedDigitalCurrent;
    if (t.savedDigitalPrevious.size() == d.previous.size()) d.previous = t.savedDigitalPrevious;
    if (t.savedDigitalScheduled.size() == d.scheduled.size()) d.scheduled = t.savedDigitalScheduled;
}

void WriteConstantCapacitorRecords()
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.capacitorRecordsBehind) return;
    s.capacitorRecordsBehind = false;
    for (const ConstantCapacitorEntry& e : s.constantCapacitors) {
        const auto k = static_cast<std::size_t>(e.stateSlot);
        if (k >= s.chargeStates.size() || k >= s.currentStates.size()) continue;
        e.device->charge = s.chargeStates[k];
        e.device->current = s.currentStates[k];
    }
}

int OutputTransientPoint(WindowRecord* window, bool again)
{
    const AnalogSolverState& s = AnalogSolver();
    Analysis().variables.time = s.time;
    AnalysisRunServices& services = RunServices();
    if (services.evaluateCurves)
        if (int rc = services.evaluateCurves(window)) return rc;
    if (again) {
        if (services.plotPoint) services.plotPoint(window);
        return 0;
    }
    // A failed write of the run data still lets the point reach the plot before the run ends.
    // The saved point holds the device records' values, the kept capacitors' among them.
    int saved = 0;
    if (RunControl().runDataMode == kRunDataSave) {
        WriteConstantCapacitorRecords();
        saved = SaveRunDataPoint(s.time, SolutionVector());
    }
    if (RunControl().runDataMode != kRunDataRetrieve && DeviceServices().commitCoreStates)
        DeviceServices().commitCoreStates(1);
    if (services.plotPoint) services.plotPoint(window);
    return saved;
}

}  // namespace kq5
