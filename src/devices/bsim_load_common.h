#pragma once
// The parts of the load that the BSIM families (LEVEL 4 and 5, LEVEL 8) share: the device's
// block of 28 state slots, the terminal voltages of the predictor and of an ordinary iteration,
// the mapping of the intrinsic capacitances onto the device's own terminals, the right-hand side
// of the four internal nodes, the terminal currents the reports read, and the thermal noise of
// the four series resistances. Each family keeps its own junctions, evaluation, stamps and
// element order.
#include <cstddef>
#include <initializer_list>
#include <span>
#include <vector>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/device_dispatch.h"
#include "netlist/fet_devices.h"

namespace kq5 {

// Slot `index` of a state vector.
inline double& StateSlot(std::vector<double>& states, int index) { return states[static_cast<std::size_t>(index)]; }

// Whether the charge and current vectors hold the device's whole block of 28 slots at `slot`.
inline bool StateBlockHeld(const AnalogSolverState& s, int slot)
{
    return slot >= 0 && static_cast<std::size_t>(slot) + 28 <= s.chargeStates.size() &&
           static_cast<std::size_t>(slot) + 28 <= s.currentStates.size();
}

// The three past entries of the state at `index` take its present value.
inline void FillPastStates(std::vector<double>& states, int index)
{
    for (int k = 1; k < 4; ++k) StateSlot(states, index + k) = StateSlot(states, index);
}

// The present currents of the charges at `offsets` in the device's block at `slot`, which both
// state vectors hold. (In line for the trapezoidal orders: every device takes this in every
// iteration.)
inline void IntegrateBlockChargeCurrents(AnalogSolverState& s, int slot, std::initializer_list<int> offsets)
{
    const bool trapezoidal = TrapezoidalOrder(s);
    for (const int k : offsets) {
        const auto i = static_cast<std::size_t>(slot + k);
        if (trapezoidal)
            TrapezoidalPresentCurrent(s, i);
        else
            IntegrateChargeCurrentGeneral(s, i);
    }
}

// The voltages (n-type sense) of a MOSFET's intrinsic terminals.
struct FetVoltages {
    double vbs = 0.0, vgs = 0.0, vds = 0.0;
};

// The predictor: state 0 takes the last accepted point's voltages, and the new ones are
// extrapolated from the last two accepted points.
inline FetVoltages PredictFetVoltages(MosfetLoadValues& v, const AnalogSolverState& s)
{
    v.vbs0 = v.vbs1, v.vgs0 = v.vgs1, v.vds0 = v.vds1;
    v.vbd0 = v.vbs0 - v.vds0;
    const double c1 = s.predictorScale, c2 = s.predictorRatio;
    return {c1 * v.vbs1 - c2 * v.vbs2, c1 * v.vgs1 - c2 * v.vgs2, c1 * v.vds1 - c2 * v.vds2};
}

// The voltages of the instance's initial conditions; `guess` is set when all three are zero where
// the load takes its own first guess instead (a transient run, an AC or DC sweep, or no use of
// initial conditions).
inline FetVoltages InitialConditionVoltages(const MosfetDevice& d, double type, const AnalogSolverState& s, bool& guess)
{
    const FetVoltages u{type * d.ic3, type * d.ic2, type * d.ic1};
    guess = u.vds == 0.0 && u.vgs == 0.0 && u.vbs == 0.0 &&
            (s.runPhase == kPhaseTimeSteps || s.runKind == kRunKindAc || s.runKind == kRunKindDcSweep ||
             !s.useInitialConditions);
    return u;
}

// The voltages of the latest solution x.
inline FetVoltages FetNodeVoltages(const MosfetDevice& d, const std::vector<double>& x, double type)
{
    auto node = [&](int n) { return x[static_cast<std::size_t>(n)]; };
    return {type * (node(d.internalBulk) - node(d.internalSource)), type * (node(d.internalGate) - node(d.internalSource)),
            type * (node(d.internalDrain) - node(d.internalSource))};
}

// A BSIM load's nine intrinsic capacitances (of the evaluation's own drain and source), as the
// size records of both families keep them.
struct IntrinsicCapacitances {
    double cggb = 0.0, cgdb = 0.0, cgsb = 0.0, cbgb = 0.0, cbdb = 0.0, cbsb = 0.0, cdgb = 0.0, cddb = 0.0,
           cdsb = 0.0;
};

template <class Size>
IntrinsicCapacitances IntrinsicCapacitancesOf(const Size& p)
{
    return {p.cggb, p.cgdb, p.cgsb, p.cbgb, p.cbdb, p.cbsb, p.cdgb, p.cddb, p.cdsb};
}

// The twelve capacitances between the device's own terminals, with the junction and overlap
// capacitances added; in reversed mode the evaluation's drain and source are the device's source
// and drain.
struct TerminalCapacitances {
    double cggb = 0.0, cgdb = 0.0, cgsb = 0.0, cdgb = 0.0, cddb = 0.0, cdsb = 0.0, csgb = 0.0, csdb = 0.0,
           cssb = 0.0, cbgb = 0.0, cbdb = 0.0, cbsb = 0.0;
};
inline TerminalCapacitances MapTerminalCapacitances(const IntrinsicCapacitances& q, bool normal, double capbd, double capbs,
                                             double cgdo, double cgso, double cgbo)
{
    TerminalCapacitances c;
    c.cggb = q.cggb + cgdo + cgso + cgbo;
    c.cbgb = q.cbgb - cgbo;
    if (normal) {
        c.cgdb = q.cgdb - cgdo;
        c.cgsb = q.cgsb - cgso;
        c.cdgb = q.cdgb - cgdo;
        c.cddb = q.cddb + capbd + cgdo;
        c.cdsb = q.cdsb;
        c.csgb = -(q.cggb + q.cbgb + q.cdgb + cgso);
        c.csdb = -(q.cgdb + q.cbdb + q.cddb);
        c.cssb = capbs + cgso - (q.cgsb + q.cbsb + q.cdsb);
        c.cbdb = q.cbdb - capbd;
        c.cbsb = q.cbsb - capbs;
    } else {
        c.cgdb = q.cgsb - cgdo;
        c.cgsb = q.cgdb - cgso;
        c.cdgb = -(q.cggb + q.cbgb + q.cdgb + cgdo);
        c.cddb = capbd + cgdo - (q.cgsb + q.cbsb + q.cdsb);
        c.cdsb = -(q.cgdb + q.cbdb + q.cddb);
        c.csgb = q.cdgb - cgso;
        c.csdb = q.cdsb;
        c.cssb = q.cddb + capbs + cgso;
        c.cbdb = q.cbsb - capbd;
        c.cbsb = q.cbdb - capbs;
    }
    return c;
}

// Adds the equivalent currents of the channel (cdreq), the junctions and the charges to the
// right-hand side of the internal gate, bulk, drain and source.
// (The vector is taken once: the loads run this for every device in every iteration.)
inline void AddFetRhs(const MosfetDevice& d, double cdreq, double ceqbs, double ceqbd, double ceqqg, double ceqqb,
               double ceqqd)
{
    double* rhs = AnalogSolver().rhs.data();
    rhs[d.internalGate] -= ceqqg;
    rhs[d.internalBulk] -= ceqbs + ceqbd + ceqqb;
    rhs[d.internalDrain] += ceqbd - cdreq - ceqqd;
    rhs[d.internalSource] += cdreq + ceqbs + ceqqg + ceqqb + ceqqd;
}

// The equivalent current of the linearised channel (drain current ids of the evaluation, which
// runs with drain and source exchanged in reversed mode).
inline double ChannelEquivalentCurrent(bool normal, double type, double ids, const MosfetLoadValues& v, double vds,
                                       double vgs, double vbs, double vgd, double vbd)
{
    return normal ? type * (ids - v.gds * vds - v.gm * vgs - v.gmbs * vbs)
                  : -type * (ids + v.gds * vds - v.gm * vgd - v.gmbs * vbd);
}

// Adds the gate-drain, gate-source and gate-bulk overlap charges to the intrinsic gate, bulk and
// drain charges; in reversed mode the evaluation's drain charge is the device's source charge.
inline void AddOverlapCharges(bool normal, double qgd, double qgs, double qgb, double& qgate, double& qbulk,
                              double& qdrn)
{
    qgate += qgd + qgs + qgb;
    qbulk -= qgb;
    if (normal)
        qdrn -= qgd;
    else
        qdrn = -(qgate + qbulk + (qdrn - qgs));
}

// The gate, bulk and drain charges of the block (slots 0, 4 and 8), the junction charges
// included, and the junction charges on their own (where BsimJunctionChargeState puts them).
inline void StoreTerminalCharges(AnalogSolverState& s, int slot, double qgate, double qbulk, double qdrn, double qbd,
                                 double qbs, bool chargeNode = false)
{
    StateSlot(s.chargeStates, slot) = qgate;
    StateSlot(s.chargeStates, slot + 4) = qbulk + qbd + qbs;
    StateSlot(s.chargeStates, slot + 8) = qdrn - qbd;
    const int junctions = slot + BsimJunctionChargeState(chargeNode) * kStateSlots;
    StateSlot(s.chargeStates, junctions) = qbd;
    StateSlot(s.chargeStates, junctions + kStateSlots) = qbs;
}

// Stamps the linearised device, g + ag0 c per element in reservation order; the elements marked
// in `leftAlone` (when given) are skipped. `kept` (when given) receives each value added, at its
// element's index, for a replay.
inline void StampLinearised(const AnalogSolverState& s, const StampRange& stamps, std::span<const double> g,
                            std::span<const double> c, double ag0, const bool* leftAlone = nullptr,
                            double* kept = nullptr)
{
    StampCursor cursor(*s.pool, stamps);
    for (std::size_t k = 0; k < g.size(); ++k) {
        if (leftAlone && leftAlone[k]) {
            cursor.Skip();
            continue;
        }
        const double value = g[k] + ag0 * c[k];
        if (kept) kept[k] = value;
        cursor.Add(value);
    }
    cursor.Finish();
}

// Adds values formed before (or kept by StampLinearised, to add them again), one per element in
// reservation order; the elements marked in `leftAlone` (when given) are skipped.
inline void ReplayLinearised(const AnalogSolverState& s, const StampRange& stamps, std::span<const double> kept,
                             const bool* leftAlone)
{
    StampCursor cursor(*s.pool, stamps);
    if (!leftAlone) {
#pragma GCC unroll 8
        for (const double value : kept) cursor.Add(value);
    } else {
        for (std::size_t k = 0; k < kept.size(); ++k) {
            if (leftAlone[k])
                cursor.Skip();
            else
                cursor.Add(kept[k]);
        }
    }
    cursor.Finish();
}

// What the terminal currents and charges of the reports read from a BSIM load, besides the
// intrinsic capacitances of its size record.
struct BsimReportInputs {
    bool charged = false;  // the charge currents of the block count
    bool states = false;   // the block is held
    int slot = 0;
    double type = 1.0, grds = 0.0;
    double cgbo = 0.0;  // the gate-bulk overlap capacitance
    double qbd = 0.0, qbs = 0.0;
};

// The terminal currents (charge currents of the gate, bulk and drain at slots 0, 4 and 8 of the
// block) and the capacitances and charges, in the device's values and its report quantities.
// (In line: every load of every device ends here.)
template <class Size>
[[gnu::always_inline]] inline void ReportBsimCurrents(MosfetDevice& d, const Size& p, const BsimReportInputs& in)
{
    AnalogSolverState& s = AnalogSolver();
    MosfetLoadValues& v = d.values;
    const double cqg = in.charged ? StateSlot(s.currentStates, in.slot) : 0.0;
    const double cqb = in.charged ? StateSlot(s.currentStates, in.slot + 4) : 0.0;
    const double cqd = in.charged ? StateSlot(s.currentStates, in.slot + 8) : 0.0;
    v.ig = in.type * cqg;
    v.id = in.type * (v.cd + cqd + in.grds * v.vds0);
    v.ib = in.type * (v.cbs + v.cbd + cqb);
    v.is = -(v.ig + v.id + v.ib);
    FetQuantities& fq = d.quantities;
    fq.id = v.id, fq.ig = v.ig, fq.ib = v.ib, fq.is = v.is;
    // The junction and terminal capacitances, overlaps included.
    fq.cbd = v.capbd, fq.cbs = v.capbs;
    fq.cgs = -p.cgsb + v.cgsov, fq.cgd = -p.cgdb + v.cgdov, fq.cgb = p.cggb + p.cgdb + p.cgsb + in.cgbo;
    if (in.states) {
        fq.qgs = StateSlot(s.chargeStates, in.slot);
        SetBsimGateCharges(fq, StateSlot(s.chargeStates, in.slot + 4), StateSlot(s.chargeStates, in.slot + 8),
                           in.qbd, in.qbs);
        fq.qbd = in.qbd;
        fq.qbs = in.qbs;
    }
}

// The thermal noise of the drain, source, gate and bulk series resistances; `root` is the
// square root of 4kT.
void AddSeriesResistanceNoise(const MosfetDevice& d, double root);

}  // namespace kq5
