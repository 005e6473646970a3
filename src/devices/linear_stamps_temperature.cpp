// Temperature factors of the resistors, capacitors and inductors at the analysis temperature.
#include <cmath>

#include "analog/analog_state.h"
#include "devices/linear_stamps.h"
#include "netlist/capacitor_device.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

// Positions of the temperature parameters: TC1, TC2, then T_MEASURED, T_ABS, T_REL_GLOBAL,
// T_REL_LOCAL, and the two value coefficients of C and L.
struct TemperatureSlots {
    int tc1, tc2, tMeasured, tAbs, tRelGlobal, tRelLocal;
};
constexpr TemperatureSlots kCapSlots{3, 4, 5, 6, 7, 8};
constexpr TemperatureSlots kIndSlots{3, 4, 5, 6, 7, 8};
constexpr TemperatureSlots kResSlots{1, 2, 4, 5, 6, 7};
constexpr int kResTce = 3;
constexpr int kCoefficient1 = 1, kCoefficient2 = 2;

bool Given(const EvaluatedModel& m, int index)
{
    return index < static_cast<int>(m.params.size()) && !IsParamNotGiven(m.Param(index));
}
double Value(const EvaluatedModel& m, int index) { return Given(m, index) ? m.Param(index) : 0.0; }

// T_ABS of the first AKO ancestor that gives it, plus this model's T_REL_LOCAL; `out` is left
// alone when the chain gives none.
void GetAkoRelativeTemperature(const EvaluatedModel& model, int tAbs, int tRelLocal, double& out)
{
    const ModelStatement* statement = FindModelStatement(model.statementIndex);
    if (!statement || !Given(model, tRelLocal)) return;
    for (int guard = 0; statement && statement->akoModel && guard < 1000; ++guard) {
        const EvaluatedModel& base = *statement->akoModel;
        if (Given(base, tAbs)) {
            out = base.Param(tAbs) + model.Param(tRelLocal);
            return;
        }
        statement = FindModelStatement(base.statementIndex);
    }
}

// dT of a model at the run temperature: its device temperature minus its measurement
// temperature (TNOM when not given, which is stored into the model).
double ModelTemperatureDelta(EvaluatedModel& m, const TemperatureSlots& slots, double t)
{
    if (!Given(m, slots.tMeasured) && slots.tMeasured < static_cast<int>(m.params.size()))
        m.params[static_cast<std::size_t>(slots.tMeasured)] = static_cast<float>(GlobalOptions().values.tnom);
    double tm = t;
    if (Given(m, slots.tAbs))
        tm = m.Param(slots.tAbs);
    else if (Given(m, slots.tRelGlobal))
        tm = t + m.Param(slots.tRelGlobal);
    else if (Given(m, slots.tRelLocal))
        GetAkoRelativeTemperature(m, slots.tAbs, slots.tRelLocal, tm);
    return static_cast<double>(static_cast<float>(tm) - m.Param(slots.tMeasured));
}

// A value with voltage or current coefficients is nonlinear when either coefficient is given
// and non-zero.
int IsLinearModel(const EvaluatedModel& m)
{
    return Value(m, kCoefficient1) == 0.0 && Value(m, kCoefficient2) == 0.0 ? 1 : 0;
}

EvaluatedModel* ModelOf(const CapacitorDevice& c) { return c.Model(); }
EvaluatedModel* ModelOf(const InductorDevice& l) { return l.model; }

template <class Device, class Stamps>
void PrepareReactive(int list, std::vector<Stamps>& table, const TemperatureSlots& slots, double t)
{
    std::size_t i = 0;
    for (Device& d : ListRecords<Device>(DeviceList(list))) {
        if (i >= table.size()) break;
        Stamps& st = table[i++];
        EvaluatedModel* model = ModelOf(d);
        if (!model) {
            st.tempFactor = 1.0;
            st.isLinear = 1;
            continue;
        }
        const double dt = ModelTemperatureDelta(*model, slots, t);
        const double tc1 = Value(*model, slots.tc1), tc2 = Value(*model, slots.tc2);
        st.tempFactor = 1.0 + tc1 * dt + tc2 * dt * dt;
        st.isLinear = IsLinearModel(*model);
    }
}

}  // namespace

void PrepareLinearElementsAtTemperature(double temperature)
{
    DeviceSolverTables& t = AnalogSolver().devices;
    if (!t.sized) NumberDeviceRows(AnalogNodeCount());
    PrepareReactive<CapacitorDevice>(kCapacitorDeviceList, t.capacitors, kCapSlots, temperature);
    PrepareReactive<InductorDevice>(kInductorDeviceList, t.inductors, kIndSlots, temperature);

    std::size_t i = 0;
    for (ResistorDevice& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) {
        if (i >= t.resistors.size()) break;
        ResistorStamps& st = t.resistors[i++];
        if (!r.extras) {
            st.tempFactor = 1.0;
            continue;
        }
        const ResistorExtras& x = *r.extras;
        if (!x.model) {
            const double dt = temperature - GlobalOptions().values.tnom;
            st.tempFactor = 1.0;
            if (x.tc1Given) st.tempFactor += x.tc1 * dt;
            if (x.tc2Given) st.tempFactor += x.tc2 * dt * dt;
            continue;
        }
        const double dt = ModelTemperatureDelta(*x.model, kResSlots, temperature);
        const double tc1 = x.tc1Given ? x.tc1 : Value(*x.model, kResSlots.tc1);
        const double tc2 = x.tc2Given ? x.tc2 : Value(*x.model, kResSlots.tc2);
        st.tempFactor = 1.0 + tc1 * dt + tc2 * dt * dt;
        if (!x.tc1Given && !x.tc2Given && Value(*x.model, kResTce) != 0.0)
            st.tempFactor = std::pow(1.01, Value(*x.model, kResTce) * dt);
    }
}

}  // namespace kq5
