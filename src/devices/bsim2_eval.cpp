// The BSIM2 evaluation (MOSFET LEVEL 5): threshold with the body and barrier terms, the mobility
// polynomial in the drain voltage with its tanh transition, vertical-field degradation and
// velocity saturation, the subthreshold current joined to strong inversion by a cubic in the
// gate drive, the drain-current enhancement, the charge model (40/60 partition), and the
// diagnostic outputs that the partition flag selects.
#include <algorithm>
#include <cmath>

#include "netlist/numeric_helpers.h"
#include "devices/bsim12_eval.h"
#include "netlist/bsim12_values.h"
#include "devices/bsim3_eval.h"

namespace kq5 {

namespace {

Dual3 Constant(double v) { return Dual3(v); }

// e^x with the program's exponential clamp; the slope vanishes where the clamp holds.
Dual3 ClampedExpD(const Dual3& x)
{
    const double e = ClampedExp(x.v);
    return Chain(x, e, x.v > -150.0 && x.v < 150.0 ? e : 0.0);
}

Dual3 Max(const Dual3& x, double floor) { return x.v < floor ? Constant(floor) : x; }
Dual3 Min(const Dual3& x, double ceiling) { return x.v > ceiling ? Constant(ceiling) : x; }

// Vertical-field degradation and velocity saturation at gate drive vg: the saturation voltage.
struct Saturation {
    Dual3 uvert, vc, kk, vdsat;
};
Saturation SaturationAt(const Dual3& vg, const Dual3& ua, const Dual3& ub, const Dual3& u1s,
                        const Dual3& aa)
{
    Saturation s;
    s.uvert = Max(1.0 + vg * (ua + vg * ub), 0.2);
    s.vc = u1s * vg / (aa * s.uvert);
    s.kk = 0.5 * (1.0 + s.vc + Sqrt(1.0 + 2.0 * s.vc));
    s.vdsat = vg / (aa * Sqrt(s.kk));
    return s;
}

}  // namespace

Bsim12Result EvaluateBsim2(const Bsim12Size& p, double vdsIn, double vbsIn, double vgsIn, bool charges)
{
    // 1. The bias bounds; the slopes are those at the bound.
    vbsIn = std::max(vbsIn, p.vbb2);
    vgsIn = std::min(vgsIn, p.vgg2);
    vdsIn = std::min(vdsIn, p.vdd2);
    const int flag = static_cast<int>(p.xpart);
    const Dual3 vgs(vgsIn, 1.0, 0.0, 0.0), vds(vdsIn, 0.0, 1.0, 0.0), vbs(vbsIn, 0.0, 0.0, 1.0);
    const double vtm = p.vtm;

    // 2. and 3. Body term and threshold.
    Dual3 phisb, t1s;
    if (vbsIn <= 0.0) {
        phisb = p.phi - vbs;
        t1s = Sqrt(phisb);
    } else {
        phisb = p.phi * p.phi / (p.phi + vbs);
        t1s = p.phis3 / (p.phi + 0.5 * vbs);
    }
    const Dual3 eta = p.eta0 + p.etab * vbs;
    const Dual3 ua = p.ua0 + p.uaB * vbs, ub = p.ub0 + p.ubB * vbs, u1s = p.u10 + p.u1B * vbs;
    const Dual3 vth = p.vfb + p.phi + p.k1 * t1s - p.k2 * phisb - eta * vds;
    const Dual3 vgst = vgs - vth;
    const Dual3 gg = 1.0 - 1.0 / (1.744 + 0.8364 * phisb);
    const Dual3 aa = 1.0 + 0.5 * gg * p.k1 / t1s;

    // 4. The effective gate drive: strong inversion, subthreshold, and the cubic between.
    Dual3 vgeff, exp0, n;
    Dual3 exp1;
    const bool strong = vgst.v >= p.vghigh || p.n0 == 0.0;
    if (strong) {
        vgeff = vgst;
    } else {
        const Dual3 vof = p.vof0 + p.vofB * vbs + p.vofD * vds;
        n = p.n0 + p.nb / t1s + p.nd * vds;
        const Dual3 tmp = 0.5 / (n * vtm);
        exp1 = ClampedExpD(Max(-vds / vtm, -30.0));
        const Dual3 tmp1 = Max(1.0 - exp1, 1e-18);
        if (vgst.v <= p.vglow) {
            exp0 = ClampedExpD(0.5 * vof + Max(vgst * tmp, -30.0));
            vgeff = Sqrt(2.0 * aa * tmp1) * vtm * exp0;
        } else {
            // The cubic through (VGLOW, the subthreshold drive) and (VGHIGH, VGHIGH) with the
            // slopes of both sides.
            exp0 = ClampedExpD(0.5 * vof + Max(p.vglow * tmp, -30.0));
            const Dual3 con3 = Sqrt(2.0 * aa * (1.0 - exp1)) * vtm * exp0;
            const Dual3 con4 = con3 * tmp;
            const double h = p.vghigh - p.vglow;
            const Dual3 t = (vgst - p.vglow) / h;
            const Dual3 t2 = t * t, t3 = t2 * t;
            vgeff = (2.0 * t3 - 3.0 * t2 + 1.0) * con3 + (t3 - 2.0 * t2 + t) * h * con4 +
                    (-2.0 * t3 + 3.0 * t2) * p.vghigh + (t3 - t2) * h;
        }
    }

    Bsim12Result r;
    Dual3 ids;
    double vdsatOut = 0.0;
    if (vgeff.v > 0.0) {
        const Saturation sat = SaturationAt(vgeff, ua, ub, u1s, aa);
        const Dual3 vdsat = Max(sat.vdsat, 1e-18);
        vdsatOut = vdsat.v;
        // 5. Mobility: the drain-voltage polynomial with its tanh transition.
        const Dual3 beta0 = p.beta0 + p.beta0B * vbs;
        const Dual3 betas = p.betas0 + p.betasB * vbs;
        const Dual3 beta2 = p.mu20 + p.mu2B * vbs + p.mu2G * vgs;
        const Dual3 beta3 = p.beta30 + p.beta3B * vbs + p.beta3G * vgs;
        const Dual3 beta4 = p.beta40 + p.beta4B * vbs + p.beta4G * vgs;
        const Dual3 beta1 = betas - (beta0 + p.vdd * (beta3 - p.vdd * beta4));
        const Dual3 arg = Min(vds * beta2 / vdsat, 30.0);
        const double th = std::tanh(arg.v);
        const Dual3 tanhArg = Chain(arg, th, 1.0 - th * th);
        const Dual3 beta = beta0 + beta1 * tanhArg + vds * (beta3 - beta4 * vds);
        // 6. The drain-current enhancement beyond saturation.
        auto enhancement = [&]() {
            const Dual3 ai = p.ai0 + p.aiB * vbs, bi = p.bi0 + p.biB * vbs;
            const Dual3 t5 = Min(bi / (vds - vdsat), 30.0);
            return 1.0 + ai * ClampedExpD(-t5);
        };
        if (vgst.v > p.vglow || strong) {
            if (vdsIn <= vdsat.v) {
                const Dual3 t4 = vds / vdsat - 1.0;
                const Dual3 u1 = u1s * (1.0 - p.u1D * t4 * t4);
                const Dual3 utot = Max(sat.uvert + u1 * vds, 0.5);
                ids = beta / utot * (vgeff - 0.5 * aa * vds) * vds;
            } else {
                ids = beta / sat.uvert * 0.5 * vgeff * vgeff / (aa * sat.kk);
                if (p.ai0 != 0.0) ids = ids * enhancement();
            }
        } else {
            ids = beta * vtm * vtm * exp0 * exp0 * (1.0 - exp1);
            if (vdsIn > vdsat.v && p.ai0 != 0.0) ids = ids * enhancement();
        }
    }
    r.cdrain = ids.v;
    r.gm = ids.g;
    r.gds = std::max(ids.d, 1e-20);  // 7.
    r.gmbs = ids.b;

    // 8. Charges (always the 40/60 partition).
    const bool chargesWanted = flag < 2 && (charges || flag <= -5);
    if (chargesWanted) {
        const double coxWL = p.coxWL;
        const Dual3 vbseff = vbsIn < 0.0 ? vbs : p.phi - phisb;
        const Dual3 arg1 = vgs - vbseff - p.vfb;
        const Dual3 arg2 = arg1 - vgst;
        const Dual3 qbulkTerm = coxWL / 3.0 * arg2;
        Dual3 qg, qb, qd;
        if (arg1.v <= 0.0) {
            qg = coxWL * arg1;
            qb = -qg;
        } else if (vgst.v <= 0.0) {
            const Dual3 t2 = arg1 / arg2;
            qg = coxWL * arg1 * (1.0 - t2 * (1.0 - t2 / 3.0));
            qb = -qg;
        } else {
            const Dual3 vdsat = Max(SaturationAt(vgst, ua, ub, u1s, aa).vdsat, 1e-18);
            const double twoThirds = 2.0 * coxWL / 3.0;
            qb = -qbulkTerm;
            if (vdsIn >= vdsat.v) {
                qg = twoThirds * vgst + qbulkTerm;
                qd = -0.4 * twoThirds * vgst;
            } else {
                const Dual3 vgdt = vgst * (1.0 - vds / vdsat);
                const Dual3 t0 = vgst / (vgst + vgdt), t1 = vgdt / (vgst + vgdt);
                const Dual3 t5 = t0 * t1;
                qg = twoThirds * (vgst + vgdt - vgdt * t0) + qbulkTerm;
                qd = -(coxWL / 3.0) * (0.2 * vgdt + 0.8 * vgst + vgdt * t1 + 0.2 * t5 * (vgdt - vgst));
            }
        }
        r.qgate = qg.v, r.qbulk = qb.v, r.qdrain = qd.v;
        r.cggb = qg.g, r.cgdb = qg.d, r.cgsb = -(qg.g + qg.d + qg.b);
        r.cbgb = qb.g, r.cbdb = qb.d, r.cbsb = -(qb.g + qb.d + qb.b);
        r.cdgb = qd.g, r.cddb = qd.d, r.cdsb = -(qd.g + qd.d + qd.b);
    }

    // 9. The drain-current output the partition flag selects.
    constexpr double kPico = 1e-12;
    switch (flag) {
    case -2: r.cdrain = r.gm; break;
    case -3: r.cdrain = r.gds; break;
    case -4: r.cdrain = 1.0 / r.gds; break;
    case -5: r.cdrain = r.gmbs; break;
    case -6: r.cdrain = r.qgate / kPico; break;
    case -7: r.cdrain = r.qbulk / kPico; break;
    case -8: r.cdrain = r.qdrain / kPico; break;
    case -9: r.cdrain = -(r.qgate + r.qbulk + r.qdrain) / kPico; break;
    case -10: r.cdrain = r.cggb / kPico; break;
    case -11: r.cdrain = r.cgdb / kPico; break;
    case -12: r.cdrain = r.cgsb / kPico; break;
    case -13: r.cdrain = -(r.cggb + r.cgdb + r.cgsb) / kPico; break;
    case -14: r.cdrain = r.cbgb / kPico; break;
    case -15: r.cdrain = r.cbdb / kPico; break;
    case -16: r.cdrain = r.cbsb / kPico; break;
    case -17: r.cdrain = -(r.cbgb + r.cbdb + r.cbsb) / kPico; break;
    case -18: r.cdrain = r.cdgb / kPico; break;
    case -19: r.cdrain = r.cddb / kPico; break;
    case -20: r.cdrain = r.cdsb / kPico; break;
    case -21: r.cdrain = -(r.cdgb + r.cddb + r.cdsb) / kPico; break;
    case -22: r.cdrain = -(r.cggb + r.cdgb + r.cbgb) / kPico; break;
    case -23: r.cdrain = -(r.cgdb + r.cddb + r.cbdb) / kPico; break;
    case -24: r.cdrain = -(r.cgsb + r.cdsb + r.cbsb) / kPico; break;
    default: r.cdrain = std::max(r.cdrain, 1e-50); break;
    }
    r.von = vth.v;
    r.vdsat = vdsatOut;
    return r;
}

}  // namespace kq5
