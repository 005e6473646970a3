#include "devices/mosfet_load.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/device_dispatch.h"
#include "analog/limiting.h"
#include "analog/limiting_commit.h"
#include "analog/numeric_helpers.h"
#include "analog/run_control.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "devices/device_record_fields.h"
#include "devices/fet_devices.h"
#include "devices/mosfet_model.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

// Offsets of the charges in a device's seven-state block (four slots each).
constexpr int kQgs = 0, kQgd = 4, kQgb = 8, kQbd = 12, kQbs = 16;
constexpr int kMsgKindNotLoadable = 5368;
constexpr double kSmallestJunctionCurrent = 9.999999999999998e-101;

// The nodes of the 32 elements, in reservation order.
struct MosNodes {
    int g, d, s, b, gi, di, si, bi;
};

std::array<std::pair<int, int>, 32> ElementPositions(const MosNodes& n)
{
    return {{{n.di, n.si}, {n.si, n.di}, {n.di, n.di}, {n.si, n.si}, {n.d, n.d},   {n.gi, n.gi}, {n.gi, n.g},
             {n.g, n.gi},  {n.g, n.g},   {n.s, n.s},   {n.bi, n.bi}, {n.bi, n.b},  {n.b, n.bi},  {n.b, n.b},
             {n.di, n.di}, {n.si, n.si}, {n.d, n.di},  {n.gi, n.bi}, {n.gi, n.di}, {n.gi, n.si}, {n.s, n.si},
             {n.bi, n.di}, {n.bi, n.si}, {n.di, n.si}, {n.di, n.d},  {n.bi, n.gi}, {n.di, n.gi}, {n.si, n.gi},
             {n.si, n.s},  {n.di, n.bi}, {n.si, n.bi}, {n.si, n.di}}};
}

MosNodes NodesOf(const MosfetDevice& d)
{
    return {d.gate, d.drain, d.source, d.bulk, d.internalGate, d.internalDrain, d.internalSource, d.internalBulk};
}

// A junction current of exactly zero would make the relative convergence test meaningless.
double AwayFromZero(double v)
{
    if (v >= 0.0) return std::max(v, kSmallestJunctionCurrent);
    return -std::max(-v, kSmallestJunctionCurrent);
}

void JunctionCurrent(double v, double isat, double nvt, double gmin, double& current, double& conductance)
{
    if (v > 0.0) {
        const double ev = ClampedExp(v / nvt);
        current = gmin * v + isat * (ev - 1.0);
        conductance = gmin + isat * ev / nvt;
    } else {
        conductance = isat / nvt + gmin;
        current = conductance * v;
    }
    current = AwayFromZero(current);
}

double& State(std::vector<double>& states, int index) { return states[static_cast<std::size_t>(index)]; }

bool StatesHold(const AnalogSolverState& s, int slot)
{
    return slot >= 0 && static_cast<std::size_t>(slot) + 28 <= s.chargeStates.size() &&
           static_cast<std::size_t>(slot) + 28 <= s.currentStates.size();
}

// Past entries of one charge take its present value.
void FillPast(std::vector<double>& states, int index)
{
    for (int k = 1; k < 4; ++k) State(states, index + k) = State(states, index);
}

struct GateCompanion {
    double gcgs = 0.0, gcgd = 0.0, gcgb = 0.0, ceqgs = 0.0, ceqgd = 0.0, ceqgb = 0.0;
};

// The total gate capacitances from the Meyer halves and the overlaps.
void GateCapacitanceTotals(MosfetDevice& d, bool doubled)
{
    const MosfetTemperatureBlock& b = d.temperature;
    MosfetLoadValues& v = d.values;
    if (doubled) {
        v.capgs = 2.0 * b.cgs + v.cgsov;
        v.capgd = 2.0 * b.cgd + v.cgdov;
        v.capgb = 2.0 * b.cgb + v.cgbov;
    } else {
        v.capgs = b.cgs + b.cgsPrev + v.cgsov;
        v.capgd = b.cgd + b.cgdPrev + v.cgdov;
        v.capgb = b.cgb + b.cgbPrev + v.cgbov;
    }
}

// The operating point a transient run starts from (and the small-signal bias) takes the
// Meyer capacitance at its own voltages twice; time steps average it with the last point's.
bool DoubledGateCapacitances(const AnalogSolverState& s)
{
    return (s.runKind == kRunKindTransient && s.runPhase != kPhaseTimeSteps) || s.iterationMode == kModeSmallSignal;
}

void LoadOne(MosfetDevice& d, SemiconductorStamps& entry, const std::vector<double>& x, double gmin)
{
    AnalogSolverState& s = AnalogSolver();
    const EvaluatedModel& m = *d.model;
    MosfetLoadValues& v = d.values;
    MosfetTemperatureBlock& b = d.temperature;
    const double type = MosPolarity(d);
    const int mode = s.iterationMode;
    const bool predict = s.flags.prediction != 0;
    const int slot = entry.stateSlot;
    const bool states = StatesHold(s, slot);
    auto node = [&](int n) { return x[static_cast<std::size_t>(n)]; };

    int check = 1;
    double vbs = 0.0, vgs = 0.0, vds = 0.0, vbd = 0.0, vgd = 0.0;
    double cdhat = 0.0, cbhat = 0.0;
    double cdrain = 0.0;
    bool bypassed = false;
    if (mode == kModeNormal || mode == kModeSmallSignal || predict || (mode == kModeFixedInitial && !d.off)) {
        if (predict && mode != kModeFirstTimePoint) {
            v.vbs0 = v.vbs1;
            v.vgs0 = v.vgs1;
            v.vds0 = v.vds1;
            v.vbd0 = v.vbs0 - v.vds0;
            const double c1 = s.predictorScale, c2 = s.predictorRatio;
            vbs = c1 * v.vbs1 - c2 * v.vbs2;
            vgs = c1 * v.vgs1 - c2 * v.vgs2;
            vds = c1 * v.vds1 - c2 * v.vds2;
        } else if (mode == kModeSmallSignal) {
            vbs = v.vbs0;
            vgs = v.vgs0;
            vds = v.vds0;
        } else {
            // The first time point starts where the operating point (or the initial
            // conditions) left the nodes; a prediction from an empty history would not.
            vbs = type * (node(d.internalBulk) - node(d.internalSource));
            vgs = type * (node(d.internalGate) - node(d.internalSource));
            vds = type * (node(d.internalDrain) - node(d.internalSource));
        }
        vbd = vbs - vds;
        vgd = vgs - vds;
        const double vgdo = v.vgs0 - v.vds0;
        const double delvbs = vbs - v.vbs0, delvbd = vbd - v.vbd0, delvgs = vgs - v.vgs0, delvds = vds - v.vds0,
                     delvgd = vgd - vgdo;
        if (d.mode >= 0.0)
            cdhat = v.cd - v.gbd * delvbd + v.gmbs * delvbs + v.gm * delvgs + v.gds * delvds;
        else
            cdhat = v.cd - (v.gbd - v.gmbs) * delvbd - v.gm * delvgd + v.gds * delvds;
        cbhat = v.cbs + v.cbd + v.gbd * delvbd + v.gbs * delvbs;
        if (!predict && mode != kModeSmallSignal) {
            const double rt = s.reltolMilli, vntol = s.vntol, abstol = s.abstol;
            const double cb = v.cbs + v.cbd;
            if (std::fabs(cbhat - cb) < (std::max(std::fabs(cbhat), std::fabs(cb)) + abstol) * rt &&
                std::fabs(delvbs) < rt * std::max(std::fabs(vbs), std::fabs(v.vbs0)) + vntol &&
                std::fabs(delvbd) < rt * std::max(std::fabs(vbd), std::fabs(v.vbd0)) + vntol &&
                std::fabs(delvgs) < rt * std::max(std::fabs(vgs), std::fabs(v.vgs0)) + vntol &&
                std::fabs(delvds) < rt * std::max(std::fabs(vds), std::fabs(v.vds0)) + vntol &&
                std::fabs(cdhat - v.cd) < rt * std::max(std::fabs(cdhat), std::fabs(v.cd)) + abstol) {
                bypassed = true;
                vbs = v.vbs0;
                vbd = v.vbd0;
                vgs = v.vgs0;
                vds = v.vds0;
                vgd = vgs - vds;
                cdrain = d.mode * (v.cd + v.cbd);
                if (s.runPhase == kPhaseTimeSteps || DoubledGateCapacitances(s))
                    GateCapacitanceTotals(d, DoubledGateCapacitances(s));
            }
        }
        if (!bypassed) {
            const double von = type * v.von;
            if (v.vds0 >= 0.0) {
                vgs = LimitFetVoltage(vgs, v.vgs0, von);
                vds = LimitDrainSourceVoltage(vgs - vgd, v.vds0);
            } else {
                vgd = LimitFetVoltage(vgd, vgdo, von);
                vds = -LimitDrainSourceVoltage(-(vgs - vgd), -v.vds0);
                vgs = vgd + vds;
            }
            if (vds >= 0.0) {
                vbs = LimitJunctionVoltageByValue(vbs, v.vbs0, v.nvt, v.vcrits, check);
                vbd = vbs - vds;
            } else {
                vbd = LimitJunctionVoltageByValue(vbd, v.vbd0, v.nvt, v.vcritd, check);
                vbs = vbd + vds;
            }
        }
    } else if (mode == kModeInitJunctions && !d.off) {
        vds = type * d.ic1;
        vgs = type * d.ic2;
        vbs = type * d.ic3;
        if (vds == 0.0 && vgs == 0.0 && vbs == 0.0 &&
            (s.runPhase == kPhaseTimeSteps || s.runKind == kRunKindAc || s.runKind == kRunKindDcSweep ||
             !s.useInitialConditions)) {
            vbs = -1.0;
            vgs = type * v.tvto;
            vds = 0.0;
        }
    }

    const bool charge = s.flags.charge != 0;
    if (!bypassed) {
        vbd = vbs - vds;
        vgd = vgs - vds;
        const double vgb = vgs - vbs;
        JunctionCurrent(vbs, v.isats, v.nvt, gmin, v.cbs, v.gbs);
        JunctionCurrent(vbd, v.isatd, v.nvt, gmin, v.cbd, v.gbd);
        d.mode = vds >= 0.0 ? 1.0 : -1.0;
        const MosChannel ch = EvaluateMosChannel(vgs, vgd, vds, vbd, vbs, d);
        cdrain = ch.cdrain;
        v.gm = ch.gm;
        v.gds = ch.gds;
        v.gmbs = ch.gmbs;
        v.von = type * ch.von;
        v.vdsat = type * ch.vdsat;
        v.cd = d.mode * cdrain - v.cbd;

        if (charge && states) {
            const double tt = MosParam(m, mosp::kTt);
            const MosJunctionCharge qs = MosJunctionChargeAt(d, false, vbs);
            const MosJunctionCharge qd = MosJunctionChargeAt(d, true, vbd);
            const bool keep = v.cbs0 != 0.0 || v.cbssw0 != 0.0;
            const bool keepD = v.cbd0 != 0.0 || v.cbdsw0 != 0.0;
            State(s.chargeStates, slot + kQbs) = keep ? tt * v.cbs + qs.charge : 0.0;
            v.capbs = keep ? tt * v.gbs + qs.capacitance : 0.0;
            State(s.chargeStates, slot + kQbd) = keepD ? tt * v.cbd + qd.charge : 0.0;
            v.capbd = keepD ? tt * v.gbd + qd.capacitance : 0.0;
            if (s.runPhase == kPhaseTimeSteps || (mode == kModeFirstTimePoint && !s.useInitialConditions)) {
                if (mode == kModeFirstTimePoint) {
                    FillPast(s.chargeStates, slot + kQbd);
                    FillPast(s.chargeStates, slot + kQbs);
                }
                double geq = 0.0;
                IntegrateChargeGeq(slot + kQbd, v.capbd, geq);
                v.gbd += geq;
                const double cqbd = State(s.currentStates, slot + kQbd);
                v.cbd += cqbd;
                v.cd -= cqbd;
                geq = 0.0;
                IntegrateChargeGeq(slot + kQbs, v.capbs, geq);
                v.gbs += geq;
                v.cbs += State(s.currentStates, slot + kQbs);
            }
        }

        if (!(d.off && (mode == kModeFixedInitial || mode == kModeSmallSignal))) {
            const double cb = v.cbs + v.cbd;
            if (check == 1 ||
                std::fabs(cdhat - v.cd) >= s.reltol * std::max(std::fabs(cdhat), std::fabs(v.cd)) + s.abstol ||
                std::fabs(cbhat - cb) > s.reltol * std::max(std::fabs(cbhat), std::fabs(cb)) + s.abstol)
                ++s.nonConvergedCount;
        }
        v.vbs0 = vbs;
        v.vbd0 = vbd;
        v.vgs0 = vgs;
        v.vds0 = vds;

        if (charge) {
            if (b.oxcap <= 0.0) {
                b.cgs = b.cgd = b.cgb = 0.0;
            } else if (d.mode > 0.0) {
                MeyerGateCapacitances(vgs, vgd, ch.von, ch.vdsat, b.cgs, b.cgd, b.cgb, b.tphi, b.oxcap);
            } else {
                MeyerGateCapacitances(vgd, vgs, ch.von, ch.vdsat, b.cgd, b.cgs, b.cgb, b.tphi, b.oxcap);
            }
            GateCapacitanceTotals(d, DoubledGateCapacitances(s));
            if (states) {
                double& qgs = State(s.chargeStates, slot + kQgs);
                double& qgd = State(s.chargeStates, slot + kQgd);
                double& qgb = State(s.chargeStates, slot + kQgb);
                if (predict && mode != kModeFirstTimePoint) {
                    const double c1 = s.predictorScale, c2 = s.predictorRatio;
                    for (int k : {kQgs, kQgd, kQgb})
                        State(s.chargeStates, slot + k) =
                            c1 * State(s.chargeStates, slot + k + 1) - c2 * State(s.chargeStates, slot + k + 2);
                } else if (s.runPhase == kPhaseTimeSteps && mode != kModeFirstTimePoint) {
                    qgs = (vgs - v.vgs1) * v.capgs + State(s.chargeStates, slot + kQgs + 1);
                    qgd = (vgd - (v.vgs1 - v.vds1)) * v.capgd + State(s.chargeStates, slot + kQgd + 1);
                    qgb = (vgb - (v.vgs1 - v.vbs1)) * v.capgb + State(s.chargeStates, slot + kQgb + 1);
                } else {
                    qgs = vgs * v.capgs;
                    qgd = vgd * v.capgd;
                    qgb = vgb * v.capgb;
                    if (mode == kModeFirstTimePoint)
                        for (int k : {kQgs, kQgd, kQgb}) FillPast(s.chargeStates, slot + k);
                }
            }
        }
    }

    GateCompanion gc;
    if (states && mode != kModeFirstTimePoint && s.runPhase == kPhaseTimeSteps) {
        const double vgb = vgs - vbs;
        const std::array<double, 3> caps{v.capgs, v.capgd, v.capgb};
        const std::array<int, 3> index{slot + kQgs, slot + kQgd, slot + kQgb};
        std::array<double, 3> g{}, ceq{};
        for (std::size_t k = 0; k < 3; ++k) {
            if (caps[k] == 0.0) State(s.currentStates, index[k]) = 0.0;
            IntegrateCharge(index[k], caps[k], g[k], ceq[k]);
        }
        gc.gcgs = g[0];
        gc.gcgd = g[1];
        gc.gcgb = g[2];
        gc.ceqgs = ceq[0] - g[0] * vgs + s.ag0 * State(s.chargeStates, index[0]);
        gc.ceqgd = ceq[1] - g[1] * vgd + s.ag0 * State(s.chargeStates, index[1]);
        gc.ceqgb = ceq[2] - g[2] * vgb + s.ag0 * State(s.chargeStates, index[2]);
    }
    if (states && mode == kModeFirstTimePoint)
        for (int k : {kQgs, kQgd, kQgb}) FillPast(s.currentStates, slot + k);

    // Right-hand side.
    const double ceqbs = type * (v.cbs - v.gbs * vbs);
    const double ceqbd = type * (v.cbd - v.gbd * vbd);
    const double cdreq = d.mode >= 0.0 ? type * (cdrain - v.gds * vds - v.gm * vgs - v.gmbs * vbs)
                                       : -type * (cdrain + v.gds * vds - v.gm * vgd - v.gmbs * vbd);
    RhsEntry(d.internalGate) -= type * (gc.ceqgs + gc.ceqgb + gc.ceqgd);
    RhsEntry(d.internalBulk) -= ceqbs + ceqbd - type * gc.ceqgb;
    RhsEntry(d.internalDrain) += ceqbd - cdreq + type * gc.ceqgd;
    RhsEntry(d.internalSource) += cdreq + ceqbs + type * gc.ceqgs;

    // Matrix.
    const double grds = std::min(MosParam(m, mosp::kRds), Devices().gmax);
    const double xnrm = d.mode >= 0.0 ? 1.0 : 0.0, xrev = 1.0 - xnrm;
    const double gm = v.gm, gds = v.gds, gmbs = v.gmbs, gbd = v.gbd, gbs = v.gbs;
    const double gd = v.gd, gs = v.gs, gg = v.gg, gb = v.gb;
    StampCursor c(*s.pool, entry.stamps);
    c.Add(-grds);
    c.Add(-grds);
    c.Add(grds);
    c.Add(grds);
    c.Add(gd);
    c.Add(gg + gc.gcgd + gc.gcgs + gc.gcgb);
    c.Add(-gg);
    c.Add(-gg);
    c.Add(gg);
    c.Add(gs);
    c.Add(gbd + gbs + gc.gcgb + gb);
    c.Add(-gb);
    c.Add(-gb);
    c.Add(gb);
    c.Add(gd + gds + gbd + xrev * (gm + gmbs) + gc.gcgd);
    c.Add(gs + gds + gbs + xnrm * (gm + gmbs) + gc.gcgs);
    c.Add(-gd);
    c.Add(-gc.gcgb);
    c.Add(-gc.gcgd);
    c.Add(-gc.gcgs);
    c.Add(-gs);
    c.Add(-gbd);
    c.Add(-gbs);
    c.Add(-gds - xnrm * (gm + gmbs));
    c.Add(-gd);
    c.Add(-gc.gcgb);
    c.Add((xnrm - xrev) * gm - gc.gcgd);
    c.Add(-(xnrm - xrev) * gm - gc.gcgs);
    c.Add(-gs);
    c.Add((xnrm - xrev) * gmbs - gbd);
    c.Add(-gbs - (xnrm - xrev) * gmbs);
    c.Add(-gds - xrev * (gm + gmbs));
    c.Finish();

    if (RunControl().runDataMode != kRunDataRetrieve) {
        const double cqgs = states ? State(s.currentStates, slot + kQgs) : 0.0;
        const double cqgd = states ? State(s.currentStates, slot + kQgd) : 0.0;
        const double cqgb = states ? State(s.currentStates, slot + kQgb) : 0.0;
        const bool gateCurrents = s.runPhase == kPhaseTimeSteps;
        v.ig = gateCurrents ? type * (cqgs + cqgd + cqgb) : 0.0;
        v.id = type * (grds * v.vds0 + v.cd - (gateCurrents ? cqgd : 0.0));
        v.ib = type * (v.cbd + v.cbs - (gateCurrents ? cqgb : 0.0));
        v.is = -v.ig - v.id - v.ib;
        FetQuantities& q = d.quantities;
        q.id = v.id;
        q.ig = v.ig;
        q.ib = v.ib;
        q.is = v.is;
        q.cbd = v.capbd;
        q.cbs = v.capbs;
        q.cgs = v.capgs;
        q.cgd = v.capgd;
        q.cgb = v.capgb;
        if (states) {
            q.qgs = State(s.chargeStates, slot + kQgs);
            q.qgd = State(s.chargeStates, slot + kQgd);
            q.qgb = State(s.chargeStates, slot + kQgb);
            q.qbd = State(s.chargeStates, slot + kQbd);
            q.qbs = State(s.chargeStates, slot + kQbs);
        }
    }
}

}  // namespace

MosJunctionCharge MosJunctionChargeAt(const MosfetDevice& d, bool drainSide, double v)
{
    const MosfetTemperatureBlock& b = d.temperature;
    const MosfetLoadValues& values = d.values;
    const double cb0 = drainSide ? values.cbd0 : values.cbs0;
    const double csw0 = drainSide ? values.cbdsw0 : values.cbssw0;
    MosJunctionCharge q;
    if (cb0 == 0.0 && csw0 == 0.0) return q;
    if (v >= b.depcap) {
        const double f2 = drainSide ? b.f2d : b.f2s, f3 = drainSide ? b.f3d : b.f3s, f4 = drainSide ? b.f4d : b.f4s;
        q.charge = f4 + v * (f2 + 0.5 * v * f3);
        q.capacitance = f2 + f3 * v;
        return q;
    }
    const double a = 1.0 - v / b.pb;
    const double lna = std::log(a);
    const double sb = b.mj == 0.5 ? 1.0 / std::sqrt(std::fabs(a)) : std::exp(-b.mj * lna);
    const double ss = b.mjsw == b.mj ? sb : b.mjsw == 0.5 ? 1.0 / std::sqrt(std::fabs(a)) : std::exp(-b.mjsw * lna);
    q.charge = b.pb * (cb0 * (1.0 - a * sb) / (1.0 - b.mj) + csw0 * (1.0 - a * ss) / (1.0 - b.mjsw));
    q.capacitance = cb0 * sb + csw0 * ss;
    return q;
}

MosChannel EvaluateMosLevel1(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    const EvaluatedModel& m = *d.model;
    const MosfetTemperatureBlock& b = d.temperature;
    const double type = MosPolarity(d);
    const double gamma = MosParam(m, mosp::kGamma);
    const double lambda = MosParam(m, mosp::kLambda);
    const double x = d.mode > 0.0 ? vbs : vbd;
    const double y = d.mode > 0.0 ? vgs : vgd;
    const double vdsm = vds * d.mode;
    const double tk = Devices().runKelvin;
    double sarg;
    if (x > 0.0) {
        sarg = SqrtWithParamWarning(b.tphi, tk, m.statementIndex);
        sarg = std::max(0.0, sarg - x / (2.0 * sarg));
    } else {
        sarg = SqrtWithParamWarning(b.tphi - x, tk, m.statementIndex);
    }
    MosChannel ch;
    ch.von = b.tvbi * type + gamma * sarg;
    const double vgst = y - ch.von;
    ch.vdsat = std::max(vgst, 0.0);
    const double arg = sarg > 0.0 ? gamma / (2.0 * sarg) : 0.0;
    if (vgst <= 0.0) return ch;
    const double betap = b.beta * (1.0 + lambda * vdsm);
    if (vgst <= vdsm) {
        ch.cdrain = 0.5 * betap * vgst * vgst;
        ch.gm = betap * vgst;
        ch.gds = 0.5 * lambda * b.beta * vgst * vgst;
    } else {
        ch.cdrain = betap * vdsm * (vgst - 0.5 * vdsm);
        ch.gm = betap * vdsm;
        ch.gds = betap * (vgst - vdsm) + lambda * b.beta * vdsm * (vgst - 0.5 * vdsm);
    }
    ch.gmbs = ch.gm * arg;
    return ch;
}

MosChannel EvaluateMosChannel(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    switch (MosChannelLevel(d)) {
    case 1: return EvaluateMosLevel1(vgs, vgd, vds, vbd, vbs, d);
    case 2: return EvaluateMosLevel2(vgs, vgd, vds, vbd, vbs, d);
    case 3: return EvaluateMosLevel3(vgs, vgd, vds, vbd, vbs, d);
    default: return {};
    }
}

namespace {

// The LEVEL 4, 5 and 8 devices have no load yet: the circuit is refused rather than solved
// without them. 15055.
int RefuseHigherLevel(const MosfetDevice& d)
{
    const std::string* part = FindPartNameOfDevice(&d);
    const std::string kind = "MOSFET LEVEL " + std::to_string(d.side ? d.side->level : 4);
    ReportMessage("WNE", CurrentRecord(), d.component, kMsgKindNotLoadable, kind, part ? *part : std::string("?"));
    return kMsgAlreadyReported;
}

}  // namespace

int SetupMosLevel123()
{
    return ForEachDeviceWithStamps<MosfetDevice>(
        kMosfetDeviceList, AnalogSolver().devices.mosfets, [](MosfetDevice& d, SemiconductorStamps& entry) {
            if (d.side && d.side->level == 8) return 0;  // reserved by the LEVEL 8 set-up
            if (!IsMosLevel123(d)) return RefuseHigherLevel(d);
            BeginDeviceReservations(entry.stamps);
            for (const auto& [row, column] : ElementPositions(NodesOf(d)))
                if (int rc = ReserveMatrixElement(row, column)) return rc;
            EndDeviceReservations(entry.stamps);
            return 0;
        });
}

int LoadMosLevel123()
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.setupDone) return 0;
    const std::vector<double>& x = SolutionVector();
    const double gmin = GlobalOptions().values.gmin;
    return ForEachDeviceWithStamps<MosfetDevice>(kMosfetDeviceList, s.devices.mosfets,
                                                 [&](MosfetDevice& d, SemiconductorStamps& entry) {
                                                     if (IsMosLevel123(d) && d.model) LoadOne(d, entry, x, gmin);
                                                     return 0;
                                                 });
}

void ShiftMosfetHistory(bool timeSteps)
{
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        MosfetLoadValues& v = d.values;
        v.vbs2 = v.vbs1;
        v.vgs2 = v.vgs1;
        v.vds2 = v.vds1;
        v.vbs1 = v.vbs0;
        v.vgs1 = v.vgs0;
        v.vds1 = v.vds0;
        if (timeSteps && IsMosLevel123(d)) {
            MosfetTemperatureBlock& b = d.temperature;
            b.cgsPrev = b.cgs;
            b.cgdPrev = b.cgd;
            b.cgbPrev = b.cgb;
        }
    }
}

}  // namespace kq5
