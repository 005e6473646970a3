#include "devices/linear_ac.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <vector>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "analog/convergence.h"
#include "core/analysis_state.h"
#include "core/device_lists.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "core/expr_evaluator.h"
#include "netlist/capacitor_device.h"
#include "netlist/inductor_device.h"
#include "devices/inductor_load.h"
#include "netlist/line_switch_devices.h"
#include "netlist/resistor_device.h"
#include "analog/stamp_ac.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

// The table entry of the record at position i, or null while the tables are not sized.
template <class T>
T* Entry(std::vector<T>& table, std::size_t i)
{
    return i < table.size() ? &table[i] : nullptr;
}

// The model's first parameter multiplies the element's value.
double ModelMultiplier(const EvaluatedModel* model)
{
    return model && !model->params.empty() ? model->Param(0) : 1.0;
}

// The value of an expression at the operating point the circuit is linearised at: the
// voltages and currents it reads are the bias's, not the present AC solution (a phasor is no
// voltage a resistance follows). 0 or the evaluator's error.
int EvaluateAtBias(CompiledExpression& e, std::complex<double>& v)
{
    if (!(e.dependencies & (kDependsVoltage | kDependsCurrent))) return EvaluateExpression(e, v);
    SolutionVectors& x = Analysis().solution;
    static std::vector<std::complex<double>> held;
    const std::size_t n = std::min(x.real.size(), x.complex.size());
    try {
        held.assign(x.complex.begin(), x.complex.begin() + static_cast<std::ptrdiff_t>(n));
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    for (std::size_t i = 1; i < n; ++i) x.complex[i] = {x.real[i], 0.0};
    const int rc = EvaluateExpression(e, v);
    std::copy(held.begin(), held.end(), x.complex.begin());
    return rc;
}

// The AC value of an element that has none of its own.
const DeviceExpression kNoAcValue;

// A value given by an expression is evaluated again at every AC pass, so that it may depend
// on the frequency; the frequency form (FREQ) is preferred when the element has one. 0 with
// value set, 1 when the element has no expression, or the evaluator's error.
int EvaluateElementValue(const DeviceExpression& value, const DeviceExpression& frequencyForm, double& result)
{
    const DeviceExpression& e = frequencyForm.compiled ? frequencyForm : value;
    if (!e.compiled) return 1;
    std::complex<double> v;
    if (int rc = EvaluateAtBias(*e.compiled, v)) return rc;
    result = v.real();
    return 0;
}

// The inductance of the record at position i for the AC stamps: its expression's value, else
// the effective inductance its last load used, else its value. 0 or an evaluation error.
int AcInductance(InductorDevice& l, std::size_t i, double& inductance)
{
    InductorStamps* t = Entry(AnalogSolver().devices.inductors, i);
    double v = 0.0;
    const int rc = EvaluateElementValue(l.valueExpression, l.acExpression, v);
    if (rc == 0) {
        l.value = l.nominal = v;
        inductance = t ? v * t->tempFactor : v;
        if (t) t->leff = inductance;
        return 0;
    }
    if (rc != 1) return rc;
    inductance = t && t->leff != 0.0 ? t->leff : l.value;
    return 0;
}

// The k-th inductor owns the unknown right after the nodes and the inductors before it.
int InductorRow(std::size_t position, int nodeCount)
{
    const InductorStamps* t = Entry(AnalogSolver().devices.inductors, position);
    return t && t->branch > 0 ? t->branch : nodeCount + static_cast<int>(position) + 1;
}

}  // namespace

int AcLoadCapacitors(int pass)
{
    AcStampState& s = AcStamps();
    std::size_t i = 0;
    for (CapacitorDevice& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList))) {
        CapacitorStamps* t = Entry(AnalogSolver().devices.capacitors, i++);
        double cap = 0.0;
        const int rc = EvaluateElementValue(c.valueExpression, c.extras ? c.extras->acExpression : kNoAcValue, cap);
        if (rc == 0) {
            ClampAwayFromZeroTiny(cap);
            c.value = c.nominal = cap;
            cap *= (t ? t->tempFactor : 1.0) * ModelMultiplier(c.Model());
            if (t) t->capacitance = cap;
        } else if (rc != 1) {
            return rc;
        } else {
            cap = t && t->capacitance != 0.0 ? t->capacitance : c.value;
        }
        const double b = s.omega * cap;
        if (pass == kAcStampPass) {
            if (int r = StampAcSusceptance(c.nodeA, c.nodeB, b)) return r;
        } else {
            Devices().acCurrents[&c] = AcSusceptanceCurrent(b, c.nodeA, c.nodeB);
        }
    }
    return 0;
}

int AcLoadInductors(int pass)
{
    AcStampState& s = AcStamps();
    const int nodeCount = AnalogSolver().nodeCount;
    std::size_t i = 0;
    for (InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) {
        const std::size_t position = i++;
        // An inductor's current is the unknown of its own row.
        if (pass != kAcStampPass) {
            Devices().acCurrents[&l] = AcSolution(InductorRow(position, nodeCount));
            continue;
        }
        double inductance = 0.0;
        if (int rc = AcInductance(l, position, inductance)) return rc;
        const int r = InductorRow(position, nodeCount);
        if (int rc = StampComplexReal(l.nodeA, r, 1.0)) return rc;
        if (int rc = StampComplexReal(r, l.nodeA, 1.0)) return rc;
        if (int rc = StampComplexReal(r, l.nodeB, -1.0)) return rc;
        if (int rc = StampComplexReal(l.nodeB, r, -1.0)) return rc;
        if (int rc = StampComplexImag(r, r, -s.omega * inductance)) return rc;
    }
    return 0;
}

int AcLoadCouplings(int pass)
{
    if (pass != kAcStampPass) return 0;
    const AcStampState& s = AcStamps();
    const int nodeCount = AnalogSolver().nodeCount;
    // Rows and inductances by record, in list order.
    std::vector<const InductorDevice*> order;
    for (const InductorDevice& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) order.push_back(&l);
    auto rowOf = [&](const InductorDevice* l, double& inductance) {
        for (std::size_t k = 0; k < order.size(); ++k)
            if (order[k] == l) {
                const InductorStamps* t = Entry(AnalogSolver().devices.inductors, k);
                inductance = t && t->leff != 0.0 ? t->leff : l->value;
                return InductorRow(k, nodeCount);
            }
        return 0;
    };
    for (const CouplingDevice& c : ListRecords<CouplingDevice>(DeviceList(kCouplingDeviceList))) {
        if (!c.first || !c.second) continue;
        double k = 0.0;
        if (int rc = GetCouplingFactor(c, k)) return rc;
        double l1 = 0.0, l2 = 0.0;
        const int r1 = rowOf(c.first, l1);
        const int r2 = rowOf(c.second, l2);
        const double m = k * std::sqrt(std::abs(l1 * l2));
        if (int rc = StampComplexImag(r1, r2, -s.omega * m)) return rc;
        if (int rc = StampComplexImag(r2, r1, -s.omega * m)) return rc;
    }
    return 0;
}

int AcLoadResistors(int pass)
{
    if (pass != kAcStampPass) return 0;
    std::size_t i = 0;
    for (ResistorDevice& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) {
        ResistorStamps* t = Entry(AnalogSolver().devices.resistors, i++);
        double resistance = 0.0;
        const int rc = EvaluateElementValue(r.valueExpression, r.extras ? r.extras->acExpression : kNoAcValue, resistance);
        if (rc == 0) {
            ClampAwayFromZeroRmin(resistance);
            r.value = r.nominal = resistance;
            resistance *= (t ? t->tempFactor : 1.0) * ModelMultiplier(r.Model());
            if (t) t->resistance = resistance;
        } else if (rc != 1) {
            return rc;
        } else {
            resistance = t && t->resistance != 0.0 ? t->resistance : r.value;
        }
        if (int e = StampAcConductance(r.nodeA, r.nodeB, 1.0 / resistance)) return e;
    }
    return 0;
}

int AcLoadSwitches(int pass)
{
    if (pass != kAcStampPass) return 0;
    DeviceSolverTables& tables = AnalogSolver().devices;
    auto stamp = [](SwitchStamps* t, int a, int b) {
        const double r = t ? t->resistance : 0.0;
        return StampAcConductance(a, b, r != 0.0 ? 1.0 / r : 0.0);
    };
    std::size_t i = 0;
    for (const SwitchDevice& w : ListRecords<SwitchDevice>(DeviceList(kSwitchDeviceList)))
        if (int rc = stamp(Entry(tables.switches, i++), w.outputA, w.outputB)) return rc;
    i = 0;
    for (const VoltageSwitchDevice& w : ListRecords<VoltageSwitchDevice>(DeviceList(kVoltageSwitchDeviceList)))
        if (int rc = stamp(Entry(tables.voltageSwitches, i++), w.outputPlus, w.outputMinus)) return rc;
    i = 0;
    for (const CurrentSwitchDevice& w : ListRecords<CurrentSwitchDevice>(DeviceList(kCurrentSwitchDeviceList)))
        if (int rc = stamp(Entry(tables.currentSwitches, i++), w.outputPlus, w.outputMinus)) return rc;
    return 0;
}

}  // namespace kq5
