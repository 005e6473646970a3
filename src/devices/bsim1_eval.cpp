// The BSIM1 evaluation (MOSFET LEVEL 4): threshold with the body and drain-induced barrier
// terms, vertical and lateral mobility degradation, mobility quadratic in vds up to VDD,
// velocity-saturated saturation voltage, linear and saturation currents, an additive
// weak-inversion current, and the charge model with the 40/60 or 0/100 partition.
#include <algorithm>
#include <cmath>

#include "netlist/numeric_helpers.h"
#include "devices/bsim12_eval.h"
#include "netlist/bsim12_values.h"
#include "devices/bsim3_eval.h"

namespace kq5 {

namespace {

Dual3 Constant(double v) { return Dual3(v); }

// The nine terminal capacitances of three charges given as functions of vgs, vds, vbs.
void StoreCharges(Bsim12Result& r, const Dual3& qg, const Dual3& qb, const Dual3& qd)
{
    r.qgate = qg.v, r.qbulk = qb.v, r.qdrain = qd.v;
    r.cggb = qg.g, r.cgdb = qg.d, r.cgsb = -(qg.g + qg.d + qg.b);
    r.cbgb = qb.g, r.cbdb = qb.d, r.cbsb = -(qb.g + qb.d + qb.b);
    r.cdgb = qd.g, r.cddb = qd.d, r.cdsb = -(qd.g + qd.d + qd.b);
}

}  // namespace

Bsim12Result EvaluateBsim1(const Bsim12Size& p, double vdsIn, double vbsIn, double vgsIn, bool charges)
{
    const Dual3 vgs(vgsIn, 1.0, 0.0, 0.0), vds(vdsIn, 0.0, 1.0, 0.0), vbs(vbsIn, 0.0, 0.0, 1.0);
    const double vtm = p.emission > 0.0 ? p.vt / p.emission : p.vt;
    const double vdd = p.vdd;
    const double leffMicron = p.leff * 1e6;

    // Bias-dependent terms.
    Dual3 ugs = p.ugs + p.ugsB * vbs;
    if (ugs.v <= 0.0) ugs = Constant(0.0);
    Dual3 uds = p.uds + p.udsB * vbs + p.udsD * (vds - vdd);
    uds = uds.v <= 0.0 ? Constant(0.0) : uds / leffMicron;
    Dual3 eta = p.eta + p.etaB * vbs + p.etaD * (vds - vdd);
    if (eta.v <= 0.0) eta = Constant(0.0);
    else if (eta.v > 1.0) eta = Constant(1.0);
    // Without reverse bias the potential is held at Phi, but the threshold keeps its body slope
    // there: a device with its body on its source still has a body transconductance.
    const Dual3 vpb = vbsIn < 0.0 ? p.phi - vbs : Dual3(p.phi, 0.0, 0.0, -1.0);
    const Dual3 sqrtVpb = Sqrt(vpb);

    // Threshold.
    const Dual3 vth = p.vfb + p.phi + p.k1 * sqrtVpb - p.k2 * vpb - eta * vds;
    const Dual3 vgsVth = vgs - vth;
    const Dual3 gFactor = 1.0 - 1.0 / (1.744 + 0.8364 * vpb);
    Dual3 a = 1.0 + 0.5 * gFactor * p.k1 / sqrtVpb;
    if (a.v < 1.0) a = Constant(1.0);
    Dual3 arg = 1.0 + ugs * vgsVth;
    if (arg.v < 1.0) arg = Constant(1.0);

    Bsim12Result r;
    Dual3 ids;
    if (vgsVth.v >= 0.0) {
        // Mobility: quadratic in vds from vds = 0 to VDD, linear beyond.
        const Dual3 beta0 = p.betaZero + p.betaZeroB * vbs;
        const Dual3 betaVdd = p.betaVdd + p.betaVddB * vbs;
        const double dBetaVdd = std::max(p.betaVddD, 0.0);
        Dual3 beta;
        if (vdsIn > vdd) {
            beta = betaVdd + dBetaVdd * (vds - vdd);
        } else {
            const Dual3 c1 = (beta0 - betaVdd + dBetaVdd * vdd) / (vdd * vdd);
            const Dual3 c2 = 2.0 * (betaVdd - beta0) / vdd - dBetaVdd;
            beta = beta0 + vds * (c2 + c1 * vds);
        }
        beta = beta / arg;

        // Saturation voltage and the strong-inversion current.
        Dual3 vc = uds * vgsVth / a;
        if (vc.v < 0.0) vc = Constant(0.0);
        const Dual3 term1 = Sqrt(1.0 + 2.0 * vc);
        const Dual3 k = 0.5 * (1.0 + vc + term1);
        Dual3 vdsat = vgsVth / (a * Sqrt(k));
        if (vdsat.v < 0.0) vdsat = Constant(0.0);
        r.vdsat = vdsat.v;
        if (vdsIn < vdsat.v) {
            Dual3 argl1 = 1.0 + uds * vds;
            if (argl1.v < 1.0) argl1 = Constant(1.0);
            ids = beta * (vgsVth - 0.5 * a * vds) * vds / argl1;
        } else {
            ids = 0.5 * beta * vgsVth * vgsVth / (a * k);
        }
    }

    // Weak inversion, added in every region.
    if (p.n0 < 200.0) {
        Dual3 n = p.n0 + p.nb * vbs + p.nd * vds;
        if (n.v < 0.5) n = Constant(0.5);
        const Dual3 warg1 = Chain(vds, ClampedExp(-vdsIn / vtm), -ClampedExp(-vdsIn / vtm) / vtm);
        const Dual3 wds = 1.0 - warg1;
        const Dual3 wgsArg = vgsVth / (n * vtm);
        const double wgsValue = ClampedExp(wgsArg.v);
        const Dual3 wgs = Chain(wgsArg, wgsValue, wgsArg.v > -150.0 && wgsArg.v < 150.0 ? wgsValue : 0.0);
        const double warg2 = 6.04965 * vtm * vtm * p.betaZero;
        const double ilimit = 4.5 * vtm * vtm * p.betaZero;
        const Dual3 iexp = warg2 * wgs * wds;
        if (ilimit + iexp.v > 0.0) ids = ids + ilimit * iexp / (ilimit + iexp);
    }

    // The current and its slopes are not allowed below zero.
    r.cdrain = std::max(ids.v, 0.0);
    r.gm = std::max(ids.g, 0.0);
    r.gds = std::max(ids.d, 0.0);
    r.gmbs = std::max(ids.b, 0.0);
    r.von = vth.v;
    if (!charges) return r;

    // Charges.
    const double wlCox = p.cox * p.leff * p.weff * 1e4;
    const double phi = std::max(p.phi, 0.1);
    const Dual3 vth0 = p.vfb + phi + p.k1 * sqrtVpb;
    const Dual3 vgst = vgs - vth0;
    const Dual3 arg1 = a * vds;
    const Dual3 arg2 = vgst - 0.5 * arg1;
    const Dual3 arg3 = vds - arg1;
    const bool entFloor = arg2.v <= 1e-8;
    const Dual3 ent = entFloor ? Constant(1e-8) : arg2;
    Dual3 pinchoff = vgst / a;
    if (pinchoff.v < 0.0) pinchoff = Constant(0.0);
    const Dual3 vgbVfb = vgs - vbs - p.vfb;
    const bool zeroHundred = p.xpart >= 1.0;
    Dual3 qg, qb, qd;
    if (vgbVfb.v < 0.0) {
        qg = wlCox * vgbVfb;
        qb = -qg;
    } else if (vgsIn < vth0.v) {
        const double k1sq = p.k1 * p.k1;
        qg = 0.5 * wlCox * k1sq * (Sqrt(1.0 + 4.0 * vgbVfb / k1sq) - 1.0);
        qb = -qg;
    } else if (vdsIn < pinchoff.v) {
        const Dual3 argl5 = entFloor ? Constant(2.0) : arg1 / ent;
        const Dual3 argl7 = argl5 / 12.0;
        qg = wlCox * (vgs - p.vfb - phi - 0.5 * vds + vds * argl7);
        qb = wlCox * (p.vfb + phi - vth0 + 0.5 * arg3 - arg3 * argl7);
        if (zeroHundred) {
            qd = -wlCox * (0.5 * vgst - 0.75 * arg1 + 0.125 * arg1 * argl5);
        } else {
            const Dual3 vcom = vgst * vgst / 6.0 - 0.125 * arg1 * vgst + 0.025 * arg1 * arg1;
            const Dual3 argl6 = entFloor ? Constant(4.0 / 15.0) : vcom / (ent * ent);
            qd = -wlCox * (0.5 * (vgst - arg1) + arg1 * argl6);
        }
    } else {
        const Dual3 args1 = 1.0 / (3.0 * a);
        qg = wlCox * (vgs - p.vfb - phi - vgst * args1);
        qb = wlCox * (p.vfb + phi - vth0 + (1.0 - a) * vgst * args1);
        if (!zeroHundred) qd = -(4.0 / 15.0) * wlCox * vgst;
    }
    StoreCharges(r, qg, qb, qd);
    return r;
}

}  // namespace kq5
