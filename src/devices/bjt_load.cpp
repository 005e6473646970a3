#include "devices/bjt_load.h"

#include <algorithm>
#include <cmath>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "analog/limiting.h"
#include "analog/noise.h"
#include "analog/run_control.h"
#include "netlist/bjt_device.h"
#include "devices/bjt_model.h"
#include "devices/device_families.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

using namespace bjt_param;

double Param(const BjtDevice& q, int index) { return q.model->params[static_cast<std::size_t>(index)]; }

bool Usable(const BjtDevice& q) { return q.model && q.model->params.size() >= static_cast<std::size_t>(kBjtSlotCount); }

bool IsLateral(const BjtDevice& q) { return q.modelType == kModelLpnp; }

// The node the substrate junction shares with the transistor.
int SubstratePartner(const BjtDevice& q) { return IsLateral(q) ? q.internalBase : q.internalCollector; }

double ClampedExp(double x) { return std::exp(std::clamp(x, -150.0, 150.0)); }

struct Junction {
    double c = 0.0, g = 0.0;    // ideal diode
    double cn = 0.0, gn = 0.0;  // leakage diode
};

Junction JunctionDiode(double v, double vn, double knee, double is, double il, double vl, double gmin)
{
    Junction j;
    if (v <= knee) {
        j.g = -is / v + gmin;
        j.c = j.g * v;
        j.gn = -il / v;
        j.cn = j.gn * v;
    } else {
        const double e = ClampedExp(v / vn);
        j.c = is * (e - 1.0) + gmin * v;
        j.g = is * e / vn + gmin;
        if (il != 0.0) {
            const double el = ClampedExp(v / vl);
            j.cn = il * (el - 1.0);
            j.gn = il * el / vl;
        }
    }
    return j;
}

// The junction currents and the normalised base charge at one bias.
struct DcCore {
    Junction be, bc;
    double csub = 0.0, gsubd = 0.0;
    double qb = 1.0, dqbdve = 0.0, dqbdvc = 0.0;
};

DcCore EvaluateCore(const BjtDevice& q, double vbe, double vbc, double vsub, double gmin)
{
    DcCore e;
    e.be = JunctionDiode(vbe, q.vtNf, q.vbeReverseKnee, q.isArea, q.iseArea, q.vtNe, gmin);
    e.bc = JunctionDiode(vbc, q.vtNr, q.vbcReverseKnee, q.isArea, q.iscArea, q.vtNc, gmin);
    if (q.issArea != 0.0) {
        const Junction sub = JunctionDiode(vsub, q.vtNs, q.vsubReverseKnee, q.issArea, 0.0, 1.0, gmin);
        e.csub = sub.c;
        e.gsubd = sub.g;
    }
    const double invVaf = Param(q, kVaf), invVar = Param(q, kVar);
    const double q1 = 1.0 / (1.0 - vbc * invVaf - vbe * invVar);
    if (q.invIkfArea == 0.0 && q.invIkrArea == 0.0) {
        e.qb = q1;
        e.dqbdve = q1 * q1 * invVar;
        e.dqbdvc = q1 * q1 * invVaf;
        return e;
    }
    const double q2 = e.be.c * q.invIkfArea + e.bc.c * q.invIkrArea;
    const double arg = std::max(0.0, 1.0 + 4.0 * q2);
    const double nk = Param(q, kNk);
    const double sq = arg == 0.0 ? 1.0 : nk == 0.5 ? std::sqrt(arg) : std::pow(arg, nk);
    e.qb = q1 * (1.0 + sq) / 2.0;
    // d sq / d q2, halved: 1/sq for the square root; the true slope for any other NK (taking 1/sq
    // there too would leave Newton a wrong Jacobian wherever high injection matters).
    const double half = arg == 0.0 ? 0.0 : 2.0 * nk * sq / arg;
    e.dqbdve = q1 * (e.qb * invVar + e.be.g * q.invIkfArea * half);
    e.dqbdvc = q1 * (e.qb * invVaf + e.bc.g * q.invIkrArea * half);
    return e;
}

// Terminal currents, base resistance and conductances from the core and the (possibly
// delayed) forward current cex with its derivative gex and the delayed part cc0.
BjtDcPoint Complete(const BjtDevice& q, const DcCore& e, double cex, double gex, double cc0)
{
    BjtDcPoint p;
    const double bf = Param(q, kBf), br = Param(q, kBr);
    p.qb = e.qb;
    p.cc = cc0 + (cex - e.bc.c) / e.qb - e.bc.c / br - e.bc.cn;
    p.cb = e.be.c / bf + e.be.cn + e.bc.c / br + e.bc.cn;
    const double a = q.area;
    const double rb = Param(q, kRb) / a;
    const double rbpr = MinDouble(Param(q, kRbm) / a, rb);
    const double rbpi = rb - rbpr;
    double gx = rbpr + rbpi / e.qb;
    if (q.irbArea != 0.0) {
        const double arg = MaxDouble(p.cb / q.irbArea, 1e-9);
        const double z = (std::sqrt(1.0 + 14.59025 * arg) - 1.0) / 2.4317 / std::sqrt(arg);
        const double tz = std::tan(z);
        gx = rbpr + 3.0 * rbpi * (tz - z) / (z * tz * tz);
    }
    p.gx = gx != 0.0 ? 1.0 / gx : 0.0;
    p.gpi = e.be.g / bf + e.be.gn;
    p.gmu = e.bc.g / br + e.bc.gn;
    p.go = (e.bc.g + (cex - e.bc.c) * e.dqbdvc / e.qb) / e.qb;
    p.gm = (gex - (cex - e.bc.c) * e.dqbdve / e.qb) / e.qb - p.go;
    p.csub = e.csub;
    p.gsub = e.gsubd;
    return p;
}

double At(const std::vector<double>& x, int n)
{
    return n > 0 && static_cast<std::size_t>(n) < x.size() ? x[static_cast<std::size_t>(n)] : 0.0;
}

// Depletion charge and capacitance of the substrate junction.
void SubstrateCharge(const BjtDevice& q, double vsub, double& charge, double& cap)
{
    const double czs = Param(q, kCjs) * q.area;
    const double vjs = Param(q, kVjs), mjs = Param(q, kMjs);
    if (vsub >= 0.0) {
        const double sarg = mjs * vsub / vjs;
        cap = czs * (1.0 + sarg);
        charge = czs * vsub * (1.0 + sarg / 2.0);
        return;
    }
    const double a = 1.0 - vsub / vjs;
    const double sarg = mjs == 0.0 ? 1.0 : mjs == 0.5 ? 1.0 / std::sqrt(a) : std::pow(a, -mjs);
    charge = vjs * czs * (1.0 - a * sarg) / (1.0 - mjs);
    cap = czs * sarg;
}

struct Stamped {
    double gx, gpi, gmu, gm, go, geqcb, gsub, geqbx;
    double ceqbe, ceqbc, ceqbx, ceqs;
};

// The linearised transistor at one evaluation: its voltages, currents and conductances.
struct Linearised {
    double vbe, vbc, vsub, cc, cb, csub;
    double gx, gpi, gmu, gm, go, geqcb, gsub, geqbx;
};

// The equivalent currents of the companion model; i3 the external base-collector charge current.
Stamped Companion(const BjtDevice& q, const Linearised& l, double vbx, double i3)
{
    const double p = q.polarity;
    Stamped v{l.gx, l.gpi, l.gmu, l.gm, l.go, l.geqcb, l.gsub, l.geqbx, 0.0, 0.0, 0.0, 0.0};
    v.ceqs = (l.csub - l.vsub * l.gsub) * (IsLateral(q) ? 1.0 : p);
    v.ceqbe = p * (l.cc + l.cb - l.vbe * (l.gm + l.go + l.gpi) + l.vbc * (l.go - l.geqcb));
    v.ceqbc = p * (-l.cc + l.vbe * (l.gm + l.go) - l.vbc * (l.gmu + l.go));
    v.ceqbx = p * (i3 - vbx * l.geqbx);
    return v;
}

void StampBjt(const BjtDevice& q, const Stamped& v, const std::vector<MatrixElementRef>& pool, const StampRange& range)
{
    const bool lateral = IsLateral(q);
    const int bx = q.base, b = q.internalBase, c = q.internalCollector, e = q.internalEmitter, sub = q.substrate;
    RhsEntry(bx) -= v.ceqbx;
    RhsEntry(c) += v.ceqbx + v.ceqbc + (lateral ? 0.0 : v.ceqs);
    RhsEntry(b) += -v.ceqbe - v.ceqbc + (lateral ? v.ceqs : 0.0);
    RhsEntry(sub) -= v.ceqs;
    RhsEntry(e) += v.ceqbe;
    const double ge = q.emitterConductance, gc = q.collectorConductance;
    StampCursor k(pool, range);
    k.Add(v.gx + v.geqbx);
    if (ge != 0.0) {
        k.Add(ge);
        k.Add(-ge);
        k.Add(-ge);
    }
    if (gc != 0.0) {
        k.Add(-gc);
        k.Add(-gc);
        k.Add(gc);
    }
    k.Add(v.gmu + v.go + gc + v.geqbx + (lateral ? 0.0 : v.gsub));
    k.Add(v.gx + v.gpi + v.gmu + v.geqcb + (lateral ? v.gsub : 0.0));
    k.Add(v.gpi + ge + v.gm + v.go);
    k.Add(-v.gx);
    k.Add(v.gm - v.gmu);
    k.Add(-v.gm - v.go);
    k.Add(-v.gx);
    k.Add(-v.gmu - v.geqcb);
    k.Add(-v.gpi);
    k.Add(v.geqcb - v.go);
    k.Add(-v.gpi - v.gm - v.geqcb);
    k.Add(v.gsub);
    k.Add(-v.gsub);
    k.Add(-v.gsub);
    k.Add(-v.geqbx);
    k.Add(-v.geqbx);
    k.Finish();
}

int LoadOneBjt(BjtDevice& q, SemiconductorStamps& st, const std::vector<MatrixElementRef>& pool)
{
    if (!Usable(q)) return 0;
    AnalogSolverState& s = AnalogSolver();
    const std::vector<double>& x = SolutionVector();
    const double p = q.polarity;
    const bool lateral = IsLateral(q);
    const int mode = s.iterationMode;
    const double gmin = GlobalOptions().values.gmin;
    const bool icStart = s.runPhase == kPhaseOperatingPoint && s.runKind == kRunKindTransient && s.useInitialConditions;
    const int b = q.internalBase, c = q.internalCollector, e = q.internalEmitter, sub = q.substrate;
    auto junctions = [&](const std::vector<double>& v, double& vbe, double& vbc, double& vsub) {
        vbe = p * (At(v, b) - At(v, e));
        vbc = p * (At(v, b) - At(v, c));
        vsub = lateral ? At(v, sub) - At(v, b) : p * (At(v, sub) - At(v, c));
    };
    double vbe = 0.0, vbc = 0.0, vsub = 0.0, vbx = 0.0;
    bool iterate = false;
    if (mode == kModeNormal || (mode == kModeFixedInitial && !q.off)) {
        junctions(x, vbe, vbc, vsub);
        vbx = p * (At(x, q.base) - At(x, c));
        iterate = true;
    } else if (mode == kModePredictor) {
        double vbe2 = 0.0, vbc2 = 0.0, vsub2 = 0.0;
        junctions(s.savedSolution, q.vbe, q.vbc, q.vsub);
        junctions(s.olderSolution, vbe2, vbc2, vsub2);
        vbe = s.predictorScale * q.vbe - s.predictorRatio * vbe2;
        vbc = s.predictorScale * q.vbc - s.predictorRatio * vbc2;
        double vbeNow = 0.0, vbcNow = 0.0;
        junctions(x, vbeNow, vbcNow, vsub);
        vbx = p * (At(x, q.base) - At(x, c));
        iterate = true;
    } else if (mode == kModeInitJunctions) {
        if (icStart) {
            vbe = p * q.initialVbe;
            vbc = vbe - p * q.initialVce;
            vbx = vbc;
        } else {
            vbe = q.off ? 0.0 : q.vcritEmitter;
        }
    } else if (mode == kModeSmallSignal) {
        vbe = q.vbe;
        vbc = q.vbc;
        vsub = q.vsub;
        vbx = p * (At(x, q.base) - At(x, c));
    } else if (mode == kModeFirstTimePoint) {
        vbe = q.vbe;
        vbc = q.vbc;
        vsub = q.vsub;
        vbx = s.runPhase == kPhaseTimeSteps && s.useInitialConditions
                  ? p * (q.initialVbe - q.initialVce)
                  : p * (At(s.savedSolution, q.base) - At(s.savedSolution, c));
    }
    // (mode 3 with OFF: every junction at 0.)

    int icheck = 1;
    double cchat = 0.0, cbhat = 0.0, cshat = 0.0;
    const int slot = st.stateSlot;
    const auto k = static_cast<std::size_t>(slot);
    const bool hasStates = k + 5 * kStateSlots <= s.chargeStates.size() && k + 5 * kStateSlots <= s.currentStates.size();
    double* qs = hasStates ? s.chargeStates.data() + k : nullptr;
    double* cs = hasStates ? s.currentStates.data() + k : nullptr;
    auto slotOf = [slot](int n) { return slot + n * kStateSlots; };
    if (iterate) {
        const double dvbe = vbe - q.vbe, dvbc = vbc - q.vbc, dvsub = vsub - q.vsub;
        cchat = q.cc + (q.gm + q.go) * dvbe - (q.go + q.gmu) * dvbc;
        cbhat = q.cb + q.gpi * dvbe + q.gmu * dvbc;
        cshat = q.csub + q.gsub * dvsub;
        if (s.bypassAllowed && VoltageValueConverged(vbe, q.vbe) && VoltageValueConverged(vbc, q.vbc) &&
            VoltageValueConverged(vsub, q.vsub) && CurrentValueConverged(cshat, q.csub) &&
            CurrentValueConverged(cchat, q.cc) && CurrentValueConverged(cbhat, q.cb)) {
            const Linearised stored{q.vbe, q.vbc, q.vsub, q.cc, q.cb, q.csub, q.gx, q.gpi,
                                    q.gmu, q.gm, q.go, q.geqcb, q.gsub, q.geqbx};
            StampBjt(q, Companion(q, stored, vbx, cs ? cs[3 * kStateSlots] : 0.0), pool, st.stamps);
            return 0;
        }
        int f1 = 1, f2 = 1, f3 = 1;
        LimitJunctionVoltage(vbe, q.vbe, q.vtNf, q.vcritEmitter, f1);
        LimitJunctionVoltage(vbc, q.vbc, q.vtNr, q.vcritCollector, f2);
        if (s.limitReverseJunctions) {
            LimitReverseJunctionVoltage(vbe, q.vbe, f1);
            LimitReverseJunctionVoltage(vbc, q.vbc, f2);
        }
        if (q.issArea != 0.0) LimitJunctionVoltage(vsub, q.vsub, q.vtNs, q.vcritSubstrate, f3);
        else f3 = 0;
        icheck = f1 == 1 || f2 == 1 || f3 == 1 ? 1 : 0;
    }

    const DcCore core = EvaluateCore(q, vbe, vbc, vsub, gmin);
    double cex = core.be.c, gex = core.be.g, cc0 = 0.0;
    const double td = Param(q, kPtf);
    if (s.runPhase != kPhaseOperatingPoint && td != 0.0 && cs) {
        double a1 = s.step / td;
        const double a2 = 3.0 * a1;
        a1 = a2 * a1;
        const double denom = 1.0 + a1 + a2;
        const double a3 = a1 / denom;
        double* phase = cs + 4 * kStateSlots;
        if (mode == kModeFirstTimePoint) phase[1] = phase[2] = core.be.c / core.qb;
        cc0 = ((s.predictorScale + a2) * phase[1] - s.predictorRatio * phase[2]) / denom;
        cex = core.be.c * a3;
        gex = core.be.g * a3;
        phase[0] = cc0 + cex / core.qb;
    }
    BjtDcPoint dc = Complete(q, core, cex, gex, cc0);
    double cbe = core.be.c, gbe = core.be.g;
    double geqcb = 0.0, geqbx = 0.0, geqs = 0.0;
    double csub = dc.csub;
    bool done = false;

    const bool charges = s.runPhase == kPhaseTimeSteps || s.runPhase == kPhaseAcBias || mode == kModeSmallSignal ||
                         (s.runKind == kRunKindTransient && s.useInitialConditions);
    if (charges && hasStates) {
        const double tf = Param(q, kTf), vtfSlot = Param(q, kVtf);
        if (tf != 0.0 && vbe > 0.0) {
            double argtf = 0.0, arg2 = 0.0, arg3 = 0.0;
            if (Param(q, kXtf) != 0.0) {
                argtf = Param(q, kXtf);
                if (vtfSlot != 0.0) argtf *= ClampedExp(vbc * vtfSlot);
                arg2 = argtf;
                const double itf = Param(q, kItf) * q.area;
                if (itf != 0.0) {
                    const double t = cbe / (cbe + itf);
                    argtf *= t * t;
                    arg2 = argtf * (3.0 - 2.0 * t);
                }
                arg3 = cbe * argtf * vtfSlot;
            }
            cbe = cbe * (1.0 + argtf) / core.qb;
            gbe = (gbe * (1.0 + arg2) - cbe * core.dqbdve) / core.qb;
            geqcb = tf * (arg3 - cbe * core.dqbdvc) / core.qb;
        }
        double capsub = 0.0;
        if (Param(q, kCjs) * q.area > 0.0) SubstrateCharge(q, vsub, qs[2 * kStateSlots], capsub);
        const std::span<const float> params = q.model->params;
        double capbe = 0.0, capbc = 0.0, capbx = 0.0;
        JunctionChargeInputs in{params, kFc, kEmitterDepCapB, vbe, Param(q, kVje), Param(q, kMje),
                                Param(q, kTf), cbe, gbe, Param(q, kCje) * q.area};
        JunctionChargeAndCapacitance(in, slotOf(0), capbe, false);
        const double cjc = Param(q, kCjc) * q.area, xcjc = Param(q, kXcjc);
        in = {params, kCollectorKnee, kCollectorDepCapB, vbc, Param(q, kVjc), Param(q, kMjc), Param(q, kTr),
              core.bc.c, core.bc.g, xcjc * cjc};
        JunctionChargeAndCapacitance(in, slotOf(1), capbc, false);
        in = {params, kCollectorKnee, kCollectorDepCapB, vbx, Param(q, kVjc), Param(q, kMjc), 0.0, 0.0, 0.0,
              (1.0 - xcjc) * cjc};
        JunctionChargeAndCapacitance(in, slotOf(3), capbx, false);
        q.qbe = qs[0];
        q.qbc = qs[kStateSlots];
        q.qcs = qs[2 * kStateSlots];
        if (!(icStart && mode != kModeSmallSignal)) {
            q.capbe = q.cbe = capbe;
            q.capbc = q.cbc = capbc;
            q.capsub = q.ccs = capsub;
            q.capbx = capbx;
            q.geqcb = geqcb;
        }
        if (mode == kModeSmallSignal && s.runKind == kRunKindAc) {
            done = true;
        } else {
            if (mode == kModeFirstTimePoint)
                for (int n = 0; n < 4; ++n) qs[n * kStateSlots + 1] = qs[n * kStateSlots];
            double geqbe = 0.0, geqbc = 0.0;
            IntegrateChargeGeq(slotOf(0), capbe, geqbe);
            geqcb *= s.ag0;
            dc.gpi += geqbe;
            dc.cb += cs[0];
            IntegrateChargeGeq(slotOf(1), capbc, geqbc);
            dc.gmu += geqbc;
            dc.cb += cs[kStateSlots];
            dc.cc -= cs[kStateSlots];
            if (mode == kModeFirstTimePoint)
                for (int n = 0; n < 2; ++n) cs[n * kStateSlots + 1] = cs[n * kStateSlots];
            if (s.runPhase != kPhaseOperatingPoint || mode == kModeSmallSignal) {
                IntegrateChargeGeq(slotOf(2), capsub, geqs);
                IntegrateChargeGeq(slotOf(3), capbx, geqbx);
                if (mode == kModeFirstTimePoint)
                    for (int n = 2; n < 4; ++n) cs[n * kStateSlots + 1] = cs[n * kStateSlots];
                csub += cs[2 * kStateSlots];
            }
        }
    }
    // The small-signal preparation of an AC run keeps the stored operating point and counts no
    // substrate conductance.
    const double gsub = done ? 0.0 : geqs + dc.gsub;
    if (!done) {
        if (!(mode == kModeFixedInitial && q.off)) {
            if (icheck == 1) {
                ++s.nonConvergedCount;
            } else if (CountCurrentNonConverged(dc.cc, cchat) == 0) {
                if (CountCurrentNonConverged(dc.cb, cbhat) == 0) CountCurrentNonConverged(csub, cshat);
            }
        }
        q.vbe = vbe;
        q.vbc = vbc;
        q.vsub = vsub;
        q.csub = csub;
        q.gsubDiode = dc.gsub;
        q.cc = dc.cc;
        q.cb = dc.cb;
        q.gpi = dc.gpi;
        q.gmu = dc.gmu;
        q.gm = dc.gm;
        q.go = dc.go;
        q.gx = dc.gx;
        q.gsub = gsub;
        q.geqbx = geqbx;
        q.geqcb = geqcb;
    }

    const double i3 = cs ? cs[3 * kStateSlots] : 0.0;
    const Linearised now{vbe, vbc, vsub, dc.cc, dc.cb, csub, dc.gx, dc.gpi, dc.gmu, dc.gm, dc.go, geqcb, gsub, geqbx};
    if (RunControl().runDataMode != kRunDataRetrieve) {
        if (lateral) {
            q.ic = p * (dc.cc - i3);
            q.ib = p * (csub + dc.cb + i3);
            q.is = csub;
        } else {
            q.ic = p * (dc.cc - csub - i3);
            q.ib = p * (dc.cb + i3);
            q.is = p * csub;
        }
        q.ie = -(q.ic + q.ib + q.is);
    }
    StampBjt(q, Companion(q, now, vbx, i3), pool, st.stamps);
    return 0;
}

}  // namespace

BjtDcPoint EvaluateBjtDc(const BjtDevice& q, double vbe, double vbc, double vsub, double gmin)
{
    const DcCore core = EvaluateCore(q, vbe, vbc, vsub, gmin);
    return Complete(q, core, core.be.c, core.be.g, 0.0);
}

int SetupBjtDevices()
{
    return ForEachDeviceWithStamps<BjtDevice>(kBjtDeviceList, AnalogSolver().devices.bjts,
                                              [](BjtDevice& q, SemiconductorStamps& st) {
        BeginDeviceReservations(st.stamps);
        const int bx = q.base, ex = q.emitter, cx = q.collector;
        const int b = q.internalBase, c = q.internalCollector, e = q.internalEmitter, s = q.substrate;
        const int sb = SubstratePartner(q);
        std::vector<std::pair<int, int>> elements = {{bx, bx}};
        if (q.emitterConductance != 0.0) elements.insert(elements.end(), {{ex, ex}, {ex, e}, {e, ex}});
        if (q.collectorConductance != 0.0) elements.insert(elements.end(), {{cx, c}, {c, cx}, {cx, cx}});
        elements.insert(elements.end(), {{c, c}, {b, b}, {e, e}, {bx, b}, {c, b}, {c, e}, {b, bx}, {b, c}, {b, e},
                                         {e, c}, {e, b}, {s, s}, {sb, s}, {s, sb}, {bx, c}, {c, bx}});
        for (const auto& [row, column] : elements)
            if (int rc = ReserveMatrixElement(row, column)) return rc;
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

int LoadBjtDevices()
{
    AnalogSolverState& s = AnalogSolver();
    const std::vector<MatrixElementRef>& pool = *s.pool;
    return ForEachDeviceWithStamps<BjtDevice>(kBjtDeviceList, s.devices.bjts,
                                              [&pool](BjtDevice& q, SemiconductorStamps& st) {
        return LoadOneBjt(q, st, pool);
    });
}

}  // namespace kq5
