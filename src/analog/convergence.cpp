#include "analog/convergence.h"

#include <cmath>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/operating_point.h"
#include "core/device_lists.h"
#include "netlist/capacitor_device.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/node_table.h"
#include "netlist/circuit_build.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

double Tolerance(double a, double b, double absolute)
{
    return AnalogSolver().reltol * MaxMagnitude(a, b) + absolute;
}

}  // namespace

int CheckValueConverged(double newValue, double oldValue)
{
    AnalogSolverState& s = AnalogSolver();
    if (std::fabs(newValue - oldValue) > Tolerance(newValue, oldValue, s.vntol)) ++s.nonConvergedCount;
    return s.nonConvergedCount;
}

int CountCurrentNonConverged(double newValue, double oldValue)
{
    AnalogSolverState& s = AnalogSolver();
    if (std::fabs(newValue - oldValue) > Tolerance(newValue, oldValue, s.abstol)) ++s.nonConvergedCount;
    return s.nonConvergedCount;
}

int CurrentValueConverged(double a, double b)
{
    return std::fabs(a - b) < Tolerance(a, b, AnalogSolver().abstol) ? 1 : 0;
}

int VoltageValueConverged(double a, double b)
{
    return std::fabs(a - b) < Tolerance(a, b, AnalogSolver().vntol) ? 1 : 0;
}

void UpdateConvergedValue(double newValue, double& oldValue)
{
    if (std::fabs(newValue - oldValue) > Tolerance(newValue, oldValue, 1e-20)) ++AnalogSolver().nonConvergedCount;
    oldValue = newValue;
}

double MaxMagnitude(double a, double b)
{
    const double fa = std::fabs(a);
    const double fb = std::fabs(b);
    return fa > fb ? fa : fb;
}

double MaxDouble(double a, double b) { return a > b ? a : b; }
double MinDouble(double a, double b) { return a < b ? a : b; }

void ClampAwayFromZeroTiny(double& value) { ClampAwayFromZero(value, 1e-20); }

void ClampAwayFromZeroRmin(double& resistance) { ClampAwayFromZero(resistance, GlobalOptions().values.rmin); }

void ResetRlcWorkingValues()
{
    for (CapacitorDevice& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList))) c.value = c.nominal;
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) l.value = l.nominal;
    for (ResistorDevice& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) r.value = r.nominal;
}

void CopySolutionToComplex()
{
    AnalogSolverState& s = AnalogSolver();
    SolutionVectors& x = Analysis().solution;
    if (Analysis().analysisKind != kAnalysisAc) return;
    const std::size_t n = std::min(static_cast<std::size_t>(s.unknownCount) + 1,
                                   std::min(x.real.size(), x.complex.size()));
    for (std::size_t i = 1; i < n; ++i) x.complex[i] = {x.real[i], 0.0};
}

void JunctionChargeAndCapacitance(const JunctionChargeInputs& in, int stateSlot, double& capacitance, bool add)
{
    double q = 0.0;
    double c = 0.0;
    if (in.tt > 0.0) {
        q = in.tt * in.current;
        c = in.tt * in.conductance;
    }
    if (in.cj > 0.0) {
        const double v = in.voltage;
        const double knee = in.params[static_cast<std::size_t>(in.kneeSlot)];
        if (v >= knee) {
            const double b = in.params[static_cast<std::size_t>(in.coefficientSlot)];
            const double cc = in.params[static_cast<std::size_t>(in.coefficientSlot) + 1];
            const double d = in.params[static_cast<std::size_t>(in.coefficientSlot) + 2];
            c += in.cj * (b + cc * v);
            q += in.cj * (d + b * v + 0.5 * cc * v * v);
        } else {
            double a = 1.0 - v / in.pb;
            if (a <= 0.0) a = 9.999999999999998e-101;
            double s = 0.0;
            if (in.m == 0.0)
                s = 1.0;
            else if (in.m == 0.5)
                s = 1.0 / std::sqrt(a);
            else
                s = std::pow(a, -in.m);
            // With M = 1 the power-law charge PB·CJ·(1 - a^(1-M))/(1-M) becomes the limit
            // -PB·CJ·ln(a); dividing by a tiny 1 - M would give a charge of 0 for a junction
            // whose capacitance is not 0.
            if (in.m == 1.0)
                q += -in.pb * in.cj * std::log(a);
            else
                q += in.pb * in.cj * (1.0 - a * s) / (1.0 - in.m);
            c += in.cj * s;
        }
    }
    AnalogSolverState& solver = AnalogSolver();
    double& slot = solver.chargeStates[static_cast<std::size_t>(stateSlot)];
    if (add) {
        slot += q;
        capacitance += c;
    } else {
        slot = q;
        capacitance = c;
    }
}

void FreeAnalogRunData()
{
    for (LinkedList& list : Models().evaluated) ListClear(list);
    ClearAllDeviceLists();
    FreeAllStampSets();

    // The schematic shows the last values once the analysis has ended.
    std::vector<double>& solution = Analysis().solution.real;
    const std::vector<std::uint16_t>& states = DigitalSimulator().current;
    if (CircuitDocument* document = CurrentDocument(); document && (!solution.empty() || !states.empty())) {
        for (SchematicNodeRow& row : document->schematicNodeTable) {
            const auto index = static_cast<std::size_t>(row.nodeNumber);
            if (row.nodeNumber < 0) continue;
            if (row.kind == kNodeDigital) {
                // The simulator numbers digital nets apart from the schematic.
                const std::int32_t node = SimulatorDigitalNode(row.nodeNumber);
                if (node >= 0 && static_cast<std::size_t>(node) < states.size())
                    row.voltage = states[static_cast<std::size_t>(node)];
            } else if (row.kind != kNodeUnused && row.nodeNumber >= 1 && index + 1 < solution.size()) {
                row.voltage = solution[index];
            }
        }
        document->resultsAvailable = 1;
    }
    FreeBuiltCircuit(0xFF);

    AnalogSolverState& s = AnalogSolver();
    FreeAndNull(solution);
    FreeAndNull(Analysis().solution.complex);
    for (std::vector<double>* v : {&s.previousSolution, &s.savedSolution, &s.olderSolution, &s.backupSolution,
                                   &s.rhs, &s.transientWork, &s.chargeStates, &s.currentStates})
        FreeAndNull(*v);
    ClearDeviceSolverTables();
    s.unknownCount = 0;
    s.vectorLength = 0;
    s.integratedStateCount = 0;
    s.plainStateSlots = 0;
}

}  // namespace kq5
