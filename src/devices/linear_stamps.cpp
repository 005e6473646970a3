#include "devices/linear_stamps.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <complex>

#include "core/analysis_state.h"
#include "core/device_record_fields.h"
#include "analog/charge_integration.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "netlist/numeric_helpers.h"
#include "core/expr_evaluator.h"
#include "core/message_reporter.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

// Model parameter positions.
constexpr int kCapMultiplier = 0, kCapVc1 = 1, kCapVc2 = 2;
constexpr int kResMultiplier = 0;
constexpr int kSwitchRon = 0, kSwitchRoff = 1, kSwitchOn = 2, kSwitchOff = 3;
constexpr int kOpaA = 3, kOpaSrp = 8, kOpaSrn = 9;

double ModelValue(const EvaluatedModel* model, int index, double fallback = 0.0)
{
    if (!model || index >= static_cast<int>(model->params.size())) return fallback;
    const float v = model->Param(index);
    return IsParamNotGiven(v) ? fallback : static_cast<double>(v);
}

const std::vector<double>& X() { return SolutionVector(); }
double V(int node) { return X()[static_cast<std::size_t>(node)]; }

// Re-evaluates a value written as a formula (not while it is the item being stepped), clamps
// it and makes it the given and working value. 0 or the evaluator's message id.
template <class Device>
int EvaluateValueFormula(Device& d, void (*clamp)(double&))
{
    AnalogSolverState& s = AnalogSolver();
    if (!d.valueExpression.compiled) return 0;
    if (s.hooks.isSteppedItem && s.hooks.isSteppedItem(&d.value)) return 0;
    std::complex<double> result;
    if (int rc = EvaluateExpression(*d.valueExpression.compiled, result)) return rc;
    double value = result.real();
    clamp(value);
    d.nominal = d.value = value;
    return 0;
}

// The resistance of a switch between its on and off states: the exponential blend that moves
// smoothly from RON to ROFF and passes their geometric mean at the midpoint.
double TransitionResistance(double ron, double roff, double on, double off, double control)
{
    const double lm = std::log(ron * roff) * 0.5;
    const double lr = std::log(ron / roff);
    const double vm = (on + off) * 0.5;
    const double vd = on - off;
    const double x = control - vm;
    return ClampedExp(lm + 3.0 * lr * x / (2.0 * vd) - 2.0 * lr * x * x * x / (vd * vd * vd));
}

// How fast the logarithm of that resistance moves with the control value: d ln R / d control.
// It falls to 0 at both thresholds, where the blend meets the fixed resistances.
double TransitionLogSlope(double ron, double roff, double on, double off, double control)
{
    const double lr = std::log(ron / roff);
    const double vd = on - off;
    const double x = control - (on + off) * 0.5;
    return 1.5 * lr / vd - 6.0 * lr * x * x / (vd * vd * vd);
}

// A switch that controls itself can chase its own resistance; after this many loads of one
// solve its last resistance is taken as it stands.
constexpr int kSwitchSettleIterations = 8;

// Loads an S or W switch from its control value and the voltage across it; a change of state
// counts as unconverged. Between its states the switch's current also moves with the control
// value: that slope goes into the matrix beside the conductance, or Newton would meet a switch
// in a loop of its own control (a comparator driving it, a relaxation oscillator) only by
// repeated substitution, hundreds of iterations a point or none that converge.
void LoadModelSwitch(const EvaluatedModel* model, double control, double across, SwitchStamps& st)
{
    const double ron = ModelValue(model, kSwitchRon, 1.0);
    const double roff = ModelValue(model, kSwitchRoff, 1e6);
    const double on = ModelValue(model, kSwitchOn);
    const double off = ModelValue(model, kSwitchOff);
    int state = 3;
    double r = 0.0;
    if ((on < off && control <= on) || (off < on && control >= on)) {
        state = 1;
        r = ron;
    } else if ((on < off && control >= off) || (off < on && control <= off)) {
        state = 2;
        r = roff;
    } else if (on == off) {
        // Equal thresholds leave no span to blend across: an ideal switch, on from the
        // threshold up, as an on threshold just above the off one would be.
        state = control >= on ? 1 : 2;
        r = state == 1 ? ron : roff;
    } else {
        r = TransitionResistance(ron, roff, on, off, control);
    }
    // d i / d control for i = across / R
    const double gm = state == 3 ? -across / r * TransitionLogSlope(ron, roff, on, off, control) : 0.0;
    AnalogSolverState& s = AnalogSolver();
    if (state != st.state) {
        st.state = state;
        ++s.nonConvergedCount;
    } else if (state == 3 && s.iterationCount < kSwitchSettleIterations) {
        // Between its states the resistance follows the control value: the point is not
        // converged until the resistance stamped is the one the present control value gives,
        // or the switch would act on the control value of the previous time point.
        UpdateConvergedValue(r, st.resistance);
    }
    st.resistance = r;
    StampCursor c(st.stamps);
    StampConductance(c, 1.0 / r);
    StampControlledSource(c, 0, gm);
    c.Finish();
    // The current at this control value is across / R: the conductance carries it, the slope's
    // part is taken back on the right-hand side.
    RhsEntry(st.outputPlus) += gm * control;
    RhsEntry(st.outputMinus) -= gm * control;
}

// An S or W switch reserves its conductance, then the four elements by which the control
// (two nodes, or the branch of the controlling source and ground) moves its current.
int ReserveModelSwitch(SwitchStamps& st, int outputPlus, int outputMinus, int controlPlus, int controlMinus)
{
    st.outputPlus = outputPlus;
    st.outputMinus = outputMinus;
    BeginDeviceReservations(st.stamps);
    if (int rc = ReserveConductanceElements(outputPlus, outputMinus)) return rc;
    if (int rc = ReserveTransconductanceElements(controlPlus, controlMinus, outputPlus, outputMinus)) return rc;
    EndDeviceReservations(st.stamps);
    return 0;
}

template <class Device, class Stamps>
int SetupConductances(int list, std::vector<Stamps>& table, std::int32_t Device::*a, std::int32_t Device::*b)
{
    return ForEachDeviceWithStamps<Device>(list, table, [&](Device& d, Stamps& st) {
        BeginDeviceReservations(st.stamps);
        if (int rc = ReserveConductanceElements(d.*a, d.*b)) return rc;
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

std::vector<InitialConditionEntry>& InitialRows() { return NetlistReader().initialConditions.entries; }

}  // namespace

// ---- resistors --------------------------------------------------------------------------

int SetupResistors()
{
    return SetupConductances<ResistorDevice>(kResistorDeviceList, AnalogSolver().devices.resistors,
                                             &ResistorDevice::nodeA, &ResistorDevice::nodeB);
}

namespace {

enum class ResistorPart { kAll, kConstant, kFormulas };

int LoadResistorPart(ResistorPart part)
{
    AnalogSolverState& s = AnalogSolver();
    const std::vector<MatrixElementRef>& pool = *s.pool;
    const double rmin = GlobalOptions().values.rmin;
    if (part == ResistorPart::kConstant) s.formulaResistors = 0;
    // Without formulas the kept constant part holds every resistor.
    if (part == ResistorPart::kFormulas && s.formulaResistors == 0) return 0;
    return ForEachDeviceWithStamps<ResistorDevice>(kResistorDeviceList, s.devices.resistors,
                                         [&s, &pool, rmin, part](ResistorDevice& r, ResistorStamps& st) {
        const bool formula = r.valueExpression.compiled != nullptr || (r.flags & kResistorValueMoves) != 0;
        if (part == ResistorPart::kConstant && formula) ++s.formulaResistors;
        if ((part == ResistorPart::kConstant && formula) || (part == ResistorPart::kFormulas && !formula)) return 0;
        if (r.valueExpression.compiled)
            if (int rc = EvaluateValueFormula(r, ClampAwayFromZeroRmin)) return rc;
        ClampAwayFromZero(r.value, rmin);
        double resistance = st.tempFactor * r.value;
        if (r.Model()) resistance *= ModelValue(r.Model(), kResMultiplier, 1.0);
        // Written only when it changed: an entry left clean need not go back to memory,
        // which counts in circuits too large for the caches.
        if (st.resistance != resistance) st.resistance = resistance;
        StampCursor c(pool, st.stamps);
        StampConductance(c, 1.0 / resistance);
        c.Finish();
        if (r.valueExpression.compiled) UpdateConvergedValue(resistance, st.previousValue);
        else if (part == ResistorPart::kConstant) MarkConstantStamps(s, st.stamps);
        return 0;
    });
}

}  // namespace

int LoadResistors()
{
    return LoadResistorPart(AnalogSolver().constantPartLoaded ? ResistorPart::kFormulas : ResistorPart::kAll);
}

// ---- capacitors -------------------------------------------------------------------------

int SetupCapacitors()
{
    return SetupConductances<CapacitorDevice>(kCapacitorDeviceList, AnalogSolver().devices.capacitors,
                                              &CapacitorDevice::nodeA, &CapacitorDevice::nodeB);
}

namespace {

// A capacitor whose conductance depends only on the integration coefficient: no formula, no
// voltage coefficients.
bool ConstantCapacitor(const CapacitorDevice& cap, const CapacitorStamps& st)
{
    return !cap.valueExpression.compiled && !(cap.Model() && !st.isLinear);
}

double CapacitanceValue(const CapacitorDevice& cap, const CapacitorStamps& st)
{
    double capacitance = cap.value * st.tempFactor;
    if (const EvaluatedModel* model = cap.Model()) capacitance *= ModelValue(model, kCapMultiplier, 1.0);
    return capacitance;
}

// True when IntegrateCharge forms a companion model for the state (and so stamps ag0 x C).
bool CompanionFormed(const AnalogSolverState& s, std::int32_t stateSlot)
{
    const auto i = static_cast<std::size_t>(stateSlot);
    if (stateSlot < 0 || i + kStateSlots > s.chargeStates.size() || i + kStateSlots > s.currentStates.size())
        return false;
    return s.method == kMethodTrap ? s.order == 1 || s.order == 2 : s.order >= 1 && s.order < kStateSlots;
}

// The conductances of the constant capacitors at the present integration coefficient.
int LoadConstantCapacitors()
{
    AnalogSolverState& s = AnalogSolver();
    const std::vector<MatrixElementRef>& pool = *s.pool;
    s.constantCapacitors.clear();
    s.otherCapacitors = 0;
    return ForEachDeviceWithStamps<CapacitorDevice>(kCapacitorDeviceList, s.devices.capacitors,
                                          [&s, &pool](CapacitorDevice& cap, CapacitorStamps& st) {
        if (!ConstantCapacitor(cap, st)) {
            ++s.otherCapacitors;
            return 0;
        }
        const double capacitance = CapacitanceValue(cap, st);
        if (!CompanionFormed(s, st.stateSlot)) {
            // No companion model: loaded in full, with a conductance of 0 kept.
            ++s.otherCapacitors;
        } else {
            try {
                s.constantCapacitors.push_back({&cap, capacitance, cap.nodeA, cap.nodeB, st.stateSlot});
            } catch (const std::bad_alloc&) {
                return kMsgInsufficientMemory;
            }
        }
        // What the loads by the table would report at every pass.
        if (st.capacitance != capacitance) st.capacitance = capacitance;
        StampCursor c(pool, st.stamps);
        StampConductance(c, CompanionFormed(s, st.stateSlot) ? s.ag0 * capacitance : 0.0);
        c.Finish();
        MarkConstantStamps(s, st.stamps);
        return 0;
    });
}

// The currents of the capacitors of the kept constant part, when their voltage comes from the
// solution: the load of the full path below less the conductance and the formula.
void LoadConstantCapacitorCurrents(AnalogSolverState& s)
{
    const double* x = X().data();
    double* rhs = s.rhs.data();
    double* q = s.chargeStates.data();
    double* current = s.currentStates.data();
    const bool predictor = s.iterationMode == kModePredictor;
    const bool firstPoint = s.iterationMode == kModeFirstTimePoint;
    // The trapezoidal orders in line, as IntegrateCharge works them out; the table holds only
    // states inside both vectors.
    const bool trapezoidal = s.method == kMethodTrap && (s.order == 1 || s.order == 2);
    const bool trapezoidal1 = trapezoidal && s.order == 1;
    const double ag0 = s.ag0;
    const double ag1 = s.ag1;
    const ConstantCapacitorEntry* entries = s.constantCapacitors.data();
    const std::size_t count = s.constantCapacitors.size();
    // The records get the charge and current only while an expression reads them; the run
    // writes them once at its end (WriteConstantCapacitorRecords).
    const bool records = (Devices().familiesRead & kFamilyCapacitor) != 0;
    if (!records) s.capacitorRecordsBehind = true;
    for (std::size_t i = 0; i < count; ++i) {
        const ConstantCapacitorEntry& e = entries[i];
        // The device records lie apart in memory: in a large circuit each one they write waits
        // for memory unless it is asked for some entries ahead.
        constexpr std::size_t kAhead = 12;
        if (records && i + kAhead < count) __builtin_prefetch(&entries[i + kAhead].device->charge, 1);
        double v = x[e.nodeA] - x[e.nodeB];
        if (v != 0.0 && std::fabs(v) <= 1e-50) v = v < 0.0 ? -1e-50 : 1e-50;
        const auto k = static_cast<std::size_t>(e.stateSlot);
        if (predictor) {
            q[k] = q[k + 1];
        } else {
            q[k] = e.capacitance * v;
            if (firstPoint) q[k + 1] = q[k];
        }
        double ceq = 0.0;
        if (trapezoidal) {
            current[k] = trapezoidal1 ? ag1 * q[k + 1] + ag0 * q[k] : ag0 * (q[k] - q[k + 1]) - ag1 * current[k + 1];
            ceq = current[k] - ag0 * q[k];
        } else {
            double geq = 0.0;
            IntegrateChargeGeneral(s, k, e.capacitance, geq, ceq);
        }
        if (ceq != 0.0 && std::fabs(ceq) > 1e50) ceq = ceq < 0.0 ? -1e50 : 1e50;
        if (firstPoint) current[k + 1] = current[k];
        rhs[e.nodeA] -= ceq;
        rhs[e.nodeB] += ceq;
        if (records) {
            e.device->charge = q[k];
            e.device->current = current[k];
        }
    }
}

}  // namespace

int LoadConstantLinearPart()
{
    AnalogSolverState& s = AnalogSolver();
    s.keptAg0 = s.ag0;
    s.keptMethod = s.method;
    s.keptOrder = s.order;
    if (int rc = LoadResistorPart(ResistorPart::kConstant)) return rc;
    return LoadConstantCapacitors();
}

int LoadCapacitors()
{
    AnalogSolverState& s = AnalogSolver();
    // Taken once per pass: none of them changes while the loads run.
    const std::vector<MatrixElementRef>& pool = *s.pool;
    const double* x = X().data();
    double* rhs = s.rhs.data();
    const bool constantPart = s.constantPartLoaded != 0;
    // With the voltages from the solution the constant capacitors go by their table.
    const bool byTable = constantPart && s.flags.capacitorLoad &&
                         !(s.iterationMode == kModeFirstTimePoint && s.useInitialConditions);
    if (byTable) {
        LoadConstantCapacitorCurrents(s);
        if (s.otherCapacitors == 0) return 0;
    }
    return ForEachDeviceWithStamps<CapacitorDevice>(kCapacitorDeviceList, s.devices.capacitors,
                                          [&s, &pool, x, rhs, constantPart, byTable](CapacitorDevice& cap, CapacitorStamps& st) {
        if (byTable && ConstantCapacitor(cap, st) && CompanionFormed(s, st.stateSlot)) return 0;
        if (cap.valueExpression.compiled)
            if (int rc = EvaluateValueFormula(cap, ClampAwayFromZeroTiny)) return rc;
        double capacitance = CapacitanceValue(cap, st);

        double v = cap.initialCondition;
        if (s.flags.capacitorLoad) {
            v = x[cap.nodeA] - x[cap.nodeB];
            if (v != 0.0 && std::fabs(v) <= 1e-50) v = v < 0.0 ? -1e-50 : 1e-50;
        }
        const EvaluatedModel* model = cap.Model();
        const bool coefficients = model && !st.isLinear;
        const double vc1 = coefficients ? ModelValue(model, kCapVc1) : 0.0;
        const double vc2 = coefficients ? ModelValue(model, kCapVc2) : 0.0;
        const double c0 = capacitance;
        if (coefficients) capacitance *= 1.0 + vc1 * v + vc2 * v * v;

        const auto k = static_cast<std::size_t>(st.stateSlot);
        std::vector<double>& q = s.chargeStates;
        if (s.iterationMode == kModePredictor) {
            q[k] = q[k + 1];
        } else {
            const double vq = s.iterationMode == kModeFirstTimePoint && s.useInitialConditions ? cap.initialCondition : v;
            if (coefficients) {
                // The charge of C(V) = C0 (1 + VC1 V + VC2 V^2), integrated from 0 to V.
                const float fv = static_cast<float>(vq);
                q[k] = static_cast<float>(c0) * (fv + 0.5f * static_cast<float>(vc1) * fv * fv +
                                                 static_cast<float>(vc2) * fv * fv * fv / 3.0f);
            } else {
                q[k] = capacitance * vq;
            }
            if (s.iterationMode == kModeFirstTimePoint) q[k + 1] = q[k];
        }

        double geq = 0.0;
        double ceq = 0.0;
        IntegrateCharge(st.stateSlot, capacitance, geq, ceq);
        if (coefficients) ceq = ceq - geq * v + s.ag0 * q[k];
        if (ceq != 0.0 && std::fabs(ceq) > 1e50) ceq = ceq < 0.0 ? -1e50 : 1e50;
        if (s.iterationMode == kModeFirstTimePoint) s.currentStates[k + 1] = s.currentStates[k];

        rhs[cap.nodeA] -= ceq;
        rhs[cap.nodeB] += ceq;
        if (cap.valueExpression.compiled) UpdateConvergedValue(capacitance, st.previousValue);
        if (st.capacitance != capacitance) st.capacitance = capacitance;
        cap.charge = q[k];
        cap.current = s.currentStates[k];
        // The kept constant part holds the conductance already.
        if (constantPart && ConstantCapacitor(cap, st)) return 0;
        StampCursor c(pool, st.stamps);
        StampConductance(c, geq);
        c.Finish();
        return 0;
    });
}

// ---- linear controlled sources ----------------------------------------------------------

int SetupLinearSources()
{
    return ForEachDeviceWithStamps<LinearSourceDevice>(kLinearSourceDeviceList, AnalogSolver().devices.linearSources,
                                             [](LinearSourceDevice& e, LinearSourceStamps& st) {
        BeginDeviceReservations(st.stamps);
        if (int rc = ReserveControlledSourceElements(st.subKind, st.branch, e.controlPlus, e.controlMinus,
                                                     e.outputPlus, e.outputMinus))
            return rc;
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

int LoadLinearSources()
{
    return ForEachDeviceWithStamps<LinearSourceDevice>(kLinearSourceDeviceList, AnalogSolver().devices.linearSources,
                                             [](LinearSourceDevice& e, LinearSourceStamps& st) {
        StampCursor c(st.stamps);
        StampControlledSource(c, st.subKind, e.gain);
        c.Finish();
        if (st.subKind == 0)
            st.output = e.gain * (V(e.controlPlus) - V(e.controlMinus));
        else if (st.subKind == 1)
            st.output = e.gain * V(st.branch);
        else
            st.output = 0.0;
        e.current = st.output;
        return 0;
    });
}

// ---- switches ---------------------------------------------------------------------------

int SetupVoltageSwitches()
{
    return ForEachDeviceWithStamps<VoltageSwitchDevice>(kVoltageSwitchDeviceList, AnalogSolver().devices.voltageSwitches,
                                              [](VoltageSwitchDevice& sw, SwitchStamps& st) {
        return ReserveModelSwitch(st, sw.outputPlus, sw.outputMinus, sw.controlPlus, sw.controlMinus);
    });
}

int LoadVoltageSwitches()
{
    return ForEachDeviceWithStamps<VoltageSwitchDevice>(kVoltageSwitchDeviceList, AnalogSolver().devices.voltageSwitches,
                                              [](VoltageSwitchDevice& sw, SwitchStamps& st) {
        LoadModelSwitch(sw.model, V(sw.controlPlus) - V(sw.controlMinus), V(sw.outputPlus) - V(sw.outputMinus), st);
        return 0;
    });
}

int SetupCurrentSwitches()
{
    return ForEachDeviceWithStamps<CurrentSwitchDevice>(kCurrentSwitchDeviceList, AnalogSolver().devices.currentSwitches,
                                              [](CurrentSwitchDevice& sw, SwitchStamps& st) {
        return ReserveModelSwitch(st, sw.outputPlus, sw.outputMinus, st.controlBranch, 0);
    });
}

int LoadCurrentSwitches()
{
    return ForEachDeviceWithStamps<CurrentSwitchDevice>(kCurrentSwitchDeviceList, AnalogSolver().devices.currentSwitches,
                                              [](CurrentSwitchDevice& sw, SwitchStamps& st) {
        LoadModelSwitch(sw.model, V(st.controlBranch), V(sw.outputPlus) - V(sw.outputMinus), st);
        return 0;
    });
}

int SetupSwitches()
{
    return SetupConductances<SwitchDevice>(kSwitchDeviceList, AnalogSolver().devices.switches,
                                           &SwitchDevice::outputA, &SwitchDevice::outputB);
}

int LoadSwitches()
{
    AnalogSolverState& s = AnalogSolver();
    return ForEachDeviceWithStamps<SwitchDevice>(kSwitchDeviceList, s.devices.switches, [&s](SwitchDevice& sw, SwitchStamps& st) {
        double x = 0.0;
        if (sw.mode == kSwitchTime)
            x = s.time;
        else if (sw.mode == kSwitchVoltage)
            x = V(sw.controlB) - V(sw.controlA);
        else
            x = V(BranchOfDevice(sw.controlInductor));
        const double low = sw.threshold1;
        const double high = sw.threshold2;
        const bool closed = (low < high && low <= x && x <= high) || (high < low && (x <= high || x >= low));
        const int state = closed ? 1 : 0;
        if (state != st.state) {
            st.state = state;
            ++s.nonConvergedCount;
        }
        const double g = closed ? sw.onConductance : sw.offConductance;
        st.resistance = 1.0 / g;
        StampCursor c(st.stamps);
        StampConductance(c, g);
        c.Finish();
        return 0;
    });
}

// ---- op-amp gain stages -----------------------------------------------------------------

namespace {

// The op-amp's pins: non-inverting and inverting input, output.
int InPlus(const OpampDevice& op) { return op.pins[0]; }
int InMinus(const OpampDevice& op) { return op.pins[1]; }
int Output(const OpampDevice& op) { return op.pins[3]; }

// A current gain x (V(a) - V(b)) into node c.
void StampGainStage(StampCursor& c, double g)
{
    c.Add(-g);
    c.Add(g);
    c.Add(g);
    c.Add(-g);
}

}  // namespace

int SetupOpamps()
{
    return ForEachDeviceWithStamps<OpampDevice>(kOpampDeviceList, AnalogSolver().devices.opamps, [](OpampDevice& op, OpampStamps& st) {
        st.level = op.level;
        BeginDeviceReservations(st.stamps);
        if (op.level == 1) {
            if (int rc = ReserveTransconductanceElements(InPlus(op), InMinus(op), Output(op), 0)) return rc;
        } else if (op.level == 2) {
            const int n1 = op.internal[0];
            const int n2 = op.internal[1];
            if (int rc = ReserveTransconductanceElements(InPlus(op), InMinus(op), n1, 0)) return rc;
            if (int rc = ReserveTransconductanceElements(n1, 0, n2, 0)) return rc;
            if (int rc = ReserveTransconductanceElements(n2, 0, Output(op), 0)) return rc;
        }
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

int LoadOpamps()
{
    AnalogSolverState& s = AnalogSolver();
    return ForEachDeviceWithStamps<OpampDevice>(kOpampDeviceList, s.devices.opamps, [&s](OpampDevice& op, OpampStamps& st) {
        const double gain = op.transconductance;
        StampCursor c(st.stamps);
        if (st.level == 1) {
            StampGainStage(c, gain);
        } else if (st.level == 2) {
            double g1 = gain;
            if (!s.preparationLoad) {
                // The first stage is slew-limited: its current may not charge the first
                // capacitor faster than the slew rates allow.
                const double d = gain * (V(InPlus(op)) - V(InMinus(op)));
                const double cc = op.capacitors[0] ? op.capacitors[0]->nominal : 0.0;
                const double k = cc / std::pow(ModelValue(op.model, kOpaA, 1.0), 2.0 / 3.0);
                const double upper = ModelValue(op.model, kOpaSrp) * k;
                const double lower = -ModelValue(op.model, kOpaSrn) * k;
                if (d > upper) {
                    g1 = 1e-50;
                    RhsEntry(op.internal[0]) += upper;
                } else if (d < lower) {
                    g1 = 1e-50;
                    RhsEntry(op.internal[0]) += lower;
                }
            }
            StampGainStage(c, g1);
            StampGainStage(c, gain);
            StampGainStage(c, gain);
        }
        c.Finish();
        return 0;
    });
}

// ---- initial node values ----------------------------------------------------------------

// What a "V" row adds between its nodes while it does not hold them.
constexpr double kInitialValueConductance = 1e-20;

// A row's conductance g between its nodes, as add(entry, value) with the entry's place among its
// four, in reservation order: (a,b), (b,a), (a,a), (b,b). Those in the ground row or column are
// sinks nobody reads, so a row to ground adds only its diagonal.
template <class Add>
void ForInitialValueEntries(int nodeA, int nodeB, double g, Add&& add)
{
    if (nodeA != 0 && nodeB != 0) {
        add(0, -g);
        add(1, -g);
    }
    if (nodeA != 0) add(2, g);
    if (nodeB != 0) add(3, g);
}

int SetupInitialValues()
{
    AnalogSolverState& s = AnalogSolver();
    std::vector<InitialValueStamps>& table = s.devices.initialValues;
    std::vector<InitialConditionEntry>& rows = InitialRows();
    try {
        if (table.size() != rows.size()) table.assign(rows.size(), InitialValueStamps{});
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    std::vector<InitialConductanceEntry>& conductances = s.devices.initialConductances;
    s.devices.onlyInitialConductances = false;
    conductances.clear();
    bool onlyConductances = true;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].letter != 'V') {
            onlyConductances = false;
            continue;
        }
        BeginDeviceReservations(table[i].stamps);
        if (int rc = ReserveConductanceElements(rows[i].nodeA, rows[i].nodeB)) return rc;
        EndDeviceReservations(table[i].stamps);
        const std::int32_t first = table[i].stamps.first;
        try {
            ForInitialValueEntries(rows[i].nodeA, rows[i].nodeB, kInitialValueConductance,
                                   [&](int k, double value) { conductances.push_back({first + k, value}); });
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
    }
    s.devices.onlyInitialConductances = onlyConductances;
    return 0;
}

int LoadInitialValues()
{
    AnalogSolverState& s = AnalogSolver();
    std::vector<InitialValueStamps>& table = s.devices.initialValues;
    std::vector<InitialConditionEntry>& rows = InitialRows();
    const bool sweep = Analysis().analysisKind == kAnalysisDc;
    const bool active = sweep || s.iterationTotal == 0;
    // The held values stay for the whole operating point, its source and gmin stepping too:
    // a fallback that let them go would settle a latch wherever the circuit alone takes it.
    const bool holding = s.runPhase == kPhaseOperatingPoint;
    const bool nodesetMode = s.iterationMode == kModeInitJunctions || s.iterationMode == kModeFixedInitial;
    const MatrixElementRef* const pool = s.pool->data();
    if (!holding && s.devices.onlyInitialConductances && rows.size() == table.size()) {
        for (const InitialConductanceEntry& c : s.devices.initialConductances) pool[c.entry].Add(c.value);
        return 0;
    }
    const std::size_t count = std::min(rows.size(), table.size());
    for (std::size_t i = 0; i < count; ++i) {
        InitialConditionEntry& row = rows[i];
        if (row.letter == 'D') {
            if (active && s.hooks.setDigitalNodeState)
                s.hooks.setDigitalNodeState(row.nodeA, static_cast<std::uint16_t>(row.digitalState | 0x1F8));
            continue;
        }
        if (row.letter == 'I') {
            if (auto* l = dynamic_cast<InductorDevice*>(row.inductorDevice); l && !l->initialConditionGiven) {
                l->initialCondition = row.value;
                l->initialConditionGiven = 1;
            }
            continue;
        }
        if (row.letter != 'V') continue;
        double g = kInitialValueConductance;
        // Initial conditions (.IC, a capacitor's IC=) pin the bias point of a transient or AC
        // run only: every point of a DC sweep is the circuit's own, or the sweep would print
        // the held value at each point. A .NODESET still guides the sweep's first point.
        const bool held = row.kind == 1 && !s.useInitialConditions && !sweep;
        const bool nodeset = row.kind == 2 && nodesetMode;
        if (holding && (held || nodeset)) {
            g = 1e6;
            RhsEntry(row.nodeA) += 1e6 * row.value;
            RhsEntry(row.nodeB) -= 1e6 * row.value;
        }
        const StampRange& range = table[i].stamps;
        assert(range.reserved && range.count == 4);
        const MatrixElementRef* e = pool + range.first;
        ForInitialValueEntries(row.nodeA, row.nodeB, g, [e](int k, double value) { e[k].Add(value); });
    }
    return 0;
}

}  // namespace kq5
