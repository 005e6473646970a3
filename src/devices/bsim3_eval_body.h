#pragma once
// The BSIM3 channel and charge evaluations, written once for any dual number type D (a value
// with its three slopes): Dual3, and a type whose slopes travel in one vector register where the
// processor has such registers (bsim3_eval_vector.cpp). Both make the same operations in the same
// order, so both give the same bits.
//
// D has the members v, dg(), dd() and db(), the constructors D(value) and D(value, dg, dd, db),
// D::From(Dual3), ToDual3(), the arithmetic operators and Sqrt, Exp, Log and Chain.
#include <cmath>

#include "devices/bsim3_eval.h"
#include "netlist/bsim3_values.h"

namespace kq5 {

struct MosfetLoadValues;

// Whether the processor runs the vector form (AVX2 with FMA); checked once.
bool Bsim3VectorSlopes();
// The evaluations in the vector form; only where Bsim3VectorSlopes().
void EvaluateBsim3ChannelVector(Bsim3Size& p, double vgs, double vds, double vbs, Bsim3Channel& ch);
Bsim3Charges EvaluateBsim3ChargesVector(const Bsim3Size& p, const Bsim3Channel& ch);
// The channels of `count` (1 to 4) devices at once, one in each vector lane, with the values of
// the one-device form to rounding; only where Bsim3VectorSlopes(), for devices of one
// Bsim3LaneKey.
unsigned Bsim3LaneKey(const Bsim3Size& p);
// With `q` (only for devices without the charge node and with charges), their charges too.
void EvaluateBsim3ChannelLanes(Bsim3Size* const* p, const double* vgs, const double* vds, const double* vbs,
                               Bsim3Channel* const* ch, Bsim3Charges* const* q, int count);
// The bulk junctions of `count` (1 to 4) devices at once, one in each vector lane, at their
// bulk-source and bulk-drain voltages: the currents and conductances into the devices' values
// and, with `js` and `jd`, the charges; the values of Bsim3JunctionCurrent and
// Bsim3JunctionCharge to rounding. Only where Bsim3VectorSlopes().
void EvaluateBsim3JunctionsLanes(const Bsim3Size* const* p, MosfetLoadValues* const* values, const double* vbs,
                                 const double* vbd, double gmin, Bsim3Junction* const* js, Bsim3Junction* const* jd,
                                 int count);
// The overlap charges (Bsim3OverlapCharges with a CAPMOD other than 1) of `count` (1 to 4)
// devices at once, one in each vector lane, at their gate-drain and gate-source voltages; the
// same operations in the same order, to the rounding of fused products and sums. Only where
// Bsim3VectorSlopes().
void Bsim3OverlapChargesLanes(const Bsim3Size* const* p, const double* vgd, const double* vgs,
                              Bsim3Overlaps* const* out, int count);
// Bits of Bsim3LaneKey: devices without charges (a negative XPART), devices with the charge node.
constexpr unsigned kBsim3NoCharges = 1u << 10, kBsim3ChargeNode = 1u << 11;

}  // namespace kq5

namespace kq5::bsim3_body {

constexpr double kExpThreshold = 34.0;
constexpr double kMaxExp = 5.834617425e14;
constexpr double kMinExp = 1.713908431e-15;

// A floor that keeps the slopes of the value it replaces.
template <class D>
D RaiseKeepingSlope(D x, double floor)
{
    if (x.v < floor) x.v = floor;
    return x;
}

// A square root whose radicand may come out negative for unphysical parameter sets: the charge
// is then taken at a zero radicand instead of turning into NaN.
template <class D>
D GuardedSqrt(const D& x)
{
    if (x.v <= 0.0) return D(0.0);
    return Sqrt(x);
}

// e^x below the clamp threshold, MIN_EXP (without slope) below it.
template <class D>
D ExpAboveMin(const D& x)
{
    if (x.v > -kExpThreshold) return Exp(x);
    return D(kMinExp);
}

// x / a for a divisor fixed for the run, with its reciprocal formed once (the bits of x / a).
template <class D>
D DivideFixed(const D& x, double a, double inverse)
{
    return Chain(x, x.v / a, inverse);
}

// Short-channel factor e(1 + 2e) with e = e^(-0.5 dvt1 L / lt).
template <class D>
D ShortChannelTheta(const D& exponent)
{
    const D e = ExpAboveMin(exponent);
    return e * (1.0 + 2.0 * e);
}


// The channel's values that the charge model reads, in the type D.
template <class D>
struct ChannelDuals {
    D vgsEff, vthD, vgsteff, n, vgstNVt, vbseff, phis, sqrtPhis, abulk0, vds;
    double expVgstNVt;

    explicit ChannelDuals(const Bsim3Channel& c)
        : vgsEff(D::From(c.vgsEff)), vthD(D::From(c.vthD)), vgsteff(D::From(c.vgsteff)), n(D::From(c.n)),
          vgstNVt(D::From(c.vgstNVt)), vbseff(D::From(c.vbseff)), phis(D::From(c.phis)),
          sqrtPhis(D::From(c.sqrtPhis)), abulk0(D::From(c.abulk0)), vds(D::From(c.vds)), expVgstNVt(c.expVgstNVt)
    {
    }
};

// Mode-adjusted voltages: vds >= 0. Sets every member of ch, and ueff, thetavth and qinv of the
// size record.
template <class D>
void Channel(Bsim3Size& p, double vgsIn, double vdsIn, double vbsIn, Bsim3Channel& ch)
{
    const D Vgs(vgsIn, 1.0, 0.0, 0.0), Vds(vdsIn, 0.0, 1.0, 0.0), Vbs(vbsIn, 0.0, 0.0, 1.0);
    const double Vtm = p.vtm, Cox = p.cox, Leff = p.leff;
    // Every other member is set below on every path.
    ch.expVgstNVt = 0.0;
    ch.isub = ch.gbg = ch.gbd = ch.gbb = ch.csub = 0.0;
    ch.vds = Vds.ToDual3();

    // 1. Effective bulk voltage, smoothly held above vbsc.
    D T0 = Vbs - p.vbsc - 0.001;
    D T1 = Sqrt(T0 * T0 - 0.004 * p.vbsc);
    const D Vbseff = p.vbsc + 0.5 * (T0 + T1);
    ch.vbseff = Vbseff.ToDual3();

    // 2. Surface potential and depletion width.
    D Phis, sqrtPhis;
    if (Vbseff.v > 0.0) {
        T0 = p.phi / (p.phi + Vbseff);
        Phis = p.phi * T0;
        sqrtPhis = p.phis3 / (p.phi + 0.5 * Vbseff);
    } else {
        Phis = p.phi - Vbseff;
        sqrtPhis = Sqrt(Phis);
    }
    ch.phis = Phis.ToDual3();
    ch.sqrtPhis = sqrtPhis.ToDual3();
    const D Xdep = DivideFixed(p.xdep0 * sqrtPhis, p.sqrtPhi, p.inverseSqrtPhi);

    // 3. Short- and narrow-channel threshold terms.
    const D T3 = Sqrt(Xdep);
    const D lt1 = p.factor1 * T3 * RaiseKeepingSlope(1.0 + p.dvt2 * Vbseff, 1e-10);
    const D theta0 = ShortChannelTheta(p.dvt1Length / lt1);
    p.thetavth = p.dvt0 * theta0.v;
    const D deltVth = p.dvt0 * theta0 * (p.vbi - p.phi);
    // The narrow-channel term, left out (zero) when DVT0W is 0, as in most parameter sets.
    D deltVthW;
    if (p.dvt0w != 0.0) {
        const D ltw = p.factor1 * T3 * RaiseKeepingSlope(1.0 + p.dvt2w * Vbseff, 1e-10);
        const D thetaW = ShortChannelTheta(p.dvt1wArea / ltw);
        deltVthW = p.dvt0w * thetaW * (p.vbi - p.phi);
    }

    // 4. and 5. Threshold voltage.
    // The drain-induced barrier lowering coefficient. A body bias can take eta0 + etab Vbseff
    // below zero with real parameter sets (a small ETA0 and a large ETAB), which would raise the
    // threshold with the drain voltage; it is held smoothly above 1e-4 instead (value and slope
    // continuous, tending to 5e-5).
    D eta = p.eta0 + p.etab * Vbseff;
    if (eta.v < 1e-4) eta = (2e-4 - eta) / (3.0 - 2e4 * eta);
    const D Vth = p.type * p.vth0 + p.k1 * (sqrtPhis - p.sqrtPhi) - p.k2 * Vbseff - deltVth - deltVthW +
                      DivideFixed((p.k3 + p.k3b * Vbseff) * p.tox * p.phi, p.weffW0, p.inverseWeffW0) + p.vthLateral +
                      (p.kt1Length + p.kt2 * Vbseff) * p.tempRatio -
                      eta * p.theta0vb0 * Vds;
    ch.vthD = Vth.ToDual3();
    ch.vth = Vth.v;

    // 6. Subthreshold swing.
    D n = 1.0 + DivideFixed((p.cdsc + p.cdscb * Vbseff + p.cdscd * Vds) * theta0 + p.nfactor * 1.03594e-10 / Xdep + p.cit,
                            Cox, p.inverseCox);
    if (n.v <= 1.0) n = D(1.0);
    ch.n = n.ToDual3();

    // 7. Gate depletion.
    D VgsEff = Vgs;
    if (p.ngateGiven && Vgs.v > p.vfb + p.phi) {
        const double t1 = 1.6597727086e-23 * p.ngate / (Cox * Cox);
        const D T4 = Sqrt(1.0 + 2.0 * (Vgs - p.vfb - p.phi) / t1);
        const D T2 = t1 * (T4 - 1.0);
        const D Vpoly = T2 * T2 / (2.0 * t1);
        VgsEff = Vpoly.v >= 1.12 ? Vgs - 1.12 : p.vfb + p.phi + T2;
    }
    ch.vgsEff = VgsEff.ToDual3();

    // 8. Effective gate drive, smooth through weak inversion.
    const D Vgst = VgsEff - Vth;
    const D T10 = 2.0 * Vtm * n;
    const D VgstNVt = Vgst / T10;
    ch.vgstNVt = VgstNVt.ToDual3();
    D num;
    if (VgstNVt.v > kExpThreshold) {
        num = Vgst;
    } else if (VgstNVt.v >= -kExpThreshold) {
        const D e = Exp(VgstNVt);
        ch.expVgstNVt = e.v;
        num = T10 * Log(1.0 + e);
    } else {
        num = D(T10.v * kMinExp);
    }
    const D expArg = (2.0 * p.voff - Vgst) / T10;
    const double ratio = p.coxOverCdep;
    D den;
    if (expArg.v > kExpThreshold) {
        den = D(1.0 + T10.v * ratio * kMaxExp);
    } else if (expArg.v >= -kExpThreshold) {
        den = 1.0 + T10 * ratio * Exp(expArg);
    } else {
        den = D(1.0);
    }
    const D Vgsteff = num / den;
    ch.vgsteff = Vgsteff.ToDual3();

    // 9. Effective width.
    D Weff = p.weff - 2.0 * (p.dwg * Vgsteff + p.dwb * (sqrtPhis - p.sqrtPhi));
    if (Weff.v < 1e-8) Weff = D(1e-8);

    // 10. Source-drain resistance.
    D Rds = p.rds0 * (1.0 + p.prwg * Vgsteff + p.prwb * (sqrtPhis - p.sqrtPhi));
    if (Rds.v <= 0.0) Rds = D(0.0);

    // 11. Bulk charge factor.
    T1 = 0.5 * p.k1 / sqrtPhis;
    const D T9 = 1.0 / (1.0 + p.keta * Vbseff);
    const D T5 = Leff / (Leff + 2.0 * Sqrt(p.xj * Xdep));
    const D Abulk0 = RaiseKeepingSlope((1.0 + T1 * (p.a0 * T5 + p.b0Width)) * T9, 0.01);
    const D dAbulkdVg = -1.0 * T1 * T9 * (p.ags * p.a0) * T5 * T5 * T5;
    const D Abulk = RaiseKeepingSlope(Abulk0 + dAbulkdVg * Vgsteff, 0.01);
    ch.abulk0 = Abulk0.ToDual3();

    // 12. Mobility.
    D T5m;
    if (p.mobmod == 1) {
        const D t0 = DivideFixed(Vgsteff + 2.0 * Vth, p.tox, p.inverseTox);
        T5m = (p.ua + p.uc * Vbseff) * t0 + p.ub * t0 * t0;
    } else if (p.mobmod == 2) {
        const D t0 = DivideFixed(Vgsteff, p.tox, p.inverseTox);
        T5m = t0 * (p.ua + p.uc * Vbseff + p.ub * t0);
    } else {
        const D t0 = DivideFixed(Vgsteff + 2.0 * Vth, p.tox, p.inverseTox);
        T5m = (p.ua + p.ub * t0) * t0 * (1.0 + p.uc * Vbseff);
    }
    const D ueff = p.u0temp / (1.0 + T5m);
    p.ueff = ueff.v;

    // 13. Saturation voltage.
    const D EsatL = 2.0 * p.vsattemp / ueff * Leff;
    const D WVCoxRds = Weff * p.vsattemp * Cox * Rds;
    D Lambda = p.a1 * Vgsteff + p.a2;
    if (Lambda.v > 1.0) Lambda = D(1.0);
    const D Vgst2Vtm = Vgsteff + 2.0 * Vtm;
    D Vdsat;
    if (Rds.v == 0.0 && Lambda.v == 1.0) {
        Vdsat = EsatL * Vgst2Vtm / (Abulk * EsatL + Vgst2Vtm);
    } else {
        const D a = 2.0 * Abulk * (Abulk * WVCoxRds - 1.0 + 1.0 / Lambda);
        const D b = Vgst2Vtm * (2.0 / Lambda - 1.0) + Abulk * EsatL + 3.0 * Abulk * Vgst2Vtm * WVCoxRds;
        const D c = Vgst2Vtm * (EsatL + 2.0 * Vgst2Vtm * WVCoxRds);
        Vdsat = (b - Sqrt(b * b - 2.0 * a * c)) / a;
    }
    ch.vdsat = Vdsat.v;

    // 14. Effective drain voltage.
    T1 = Vdsat - Vds - p.delta;
    const D T2 = Sqrt(T1 * T1 + 4.0 * p.delta * Vdsat);
    D Vdseff = Vdsat - 0.5 * (T1 + T2);
    D diffVds = Vds - Vdseff;

    // 15. Early voltages.
    const D Vasat = (EsatL + Vdsat + 2.0 * WVCoxRds * Vgsteff * (1.0 - 0.5 * Abulk * Vdsat / Vgst2Vtm)) /
                        (2.0 / Lambda - 1.0 + WVCoxRds * Abulk);
    const D VACLM =
        p.pclm <= 0.0 ? D(kMaxExp) : Leff * (Abulk + Vgsteff / EsatL) / (p.pclm * Abulk * p.litl) * diffVds;
    const D VADIBL = p.thetaRout <= 0.0
                             ? D(kMaxExp)
                             : (Vgst2Vtm - Vgst2Vtm * Abulk * Vdsat / (Vgst2Vtm + Abulk * Vdsat)) /
                                   (p.thetaRout * (1.0 + p.pdiblb * Vbseff));
    const D Va = Vasat + (1.0 + p.pvag * Vgsteff / EsatL) * VACLM * VADIBL / (VACLM + VADIBL);
    D VASCBE(p.vascbeLargest);
    if (diffVds.v != 0.0) {
        const D t0 = p.pscbe1Litl / diffVds;
        if (t0.v > 0.0 && t0.v < kExpThreshold) VASCBE = DivideFixed(Leff * Exp(t0), p.pscbe2, p.inversePscbe2);
    }

    // 16. Drain current.
    const D beta = DivideFixed(ueff * Cox * Weff, Leff, p.inverseLeff);
    const D fgche1 = Vgsteff * (1.0 - 0.5 * Abulk * Vdseff / Vgst2Vtm);
    const D fgche2 = 1.0 + Vdseff / EsatL;
    const D gche = beta * fgche1 / fgche2;
    const D Idl = gche * Vdseff / (1.0 + gche * Rds);
    const D Idsa = Idl * (1.0 + diffVds / Va);
    const D Ids = Idsa * (1.0 + diffVds / VASCBE);
    ch.ids = Ids.v;
    ch.gm = Ids.dg();
    ch.gds = Ids.dd();
    ch.gmbs = Ids.db();
    ch.idsa = Idsa.v;

    // 17. Substrate current.
    const double tmp = p.alpha0Length;
    if (tmp > 0.0 && p.beta0 > 0.0) {
        if (diffVds.v < 0.0) {
            diffVds = D(0.0);
            Vdseff = Vds;
        }
        D isubFactor;
        const D t0 = diffVds.v > 0.0 ? -p.beta0 / diffVds : D(0.0);
        if (diffVds.v > 0.0 && t0.v > -kExpThreshold)
            isubFactor = tmp * diffVds * Exp(t0);
        else
            isubFactor = tmp * kMinExp * diffVds;
        const D Isub = isubFactor * Idsa;
        ch.isub = Isub.v;
        ch.gbg = Isub.dg();
        ch.gbd = Isub.dd();
        ch.gbb = Isub.db();
        ch.csub = Isub.v - (ch.gbg * vgsIn + ch.gbd * vdsIn + ch.gbb * Vbseff.v);
    }

    p.vgsteffLast = Vgsteff.v;
    p.vdseffLast = Vdseff.v;
    p.abulkLast = Abulk.v;

    // 18. Inversion charge, for the noise analysis.
    p.qinv = (-Cox * Leff * (Weff * Vgsteff * (1.0 - 0.5 * Abulk * Vdseff / Vgst2Vtm))).v;
}

template <class D>
Bsim3Charges Charges(const Bsim3Size& p, const Bsim3Channel& channel)
{
    const ChannelDuals<D> ch(channel);
    Bsim3Charges out;
    const double Vtm = p.vtm;
    const D& Vds = ch.vds;
    const D VbseffCV = ch.vbseff.v >= 0.0 ? p.phi - ch.phis : ch.vbseff;
    const double CoxWL = p.cox * p.weffCV * p.leffCV;
    const D Vfb = ch.vthD - p.phi - p.k1 * ch.sqrtPhis;

    D Vgsteff = ch.vgsteff;
    if (ch.vgstNVt.v > -kExpThreshold && ch.vgstNVt.v < kExpThreshold) {
        // The channel's exponential of the same argument (it took it over a wider range).
        const D e = Chain(ch.vgstNVt, ch.expVgstNVt, ch.expVgstNVt);
        Vgsteff = ch.n * Vtm * Log(1.0 + e * e);
    }
    const D AbulkCV = ch.abulk0 * p.abulkCVfactor;
    const D VdsatCV = Vgsteff / AbulkCV;

    // The source charge of the channel by the partition, from the linear-region terms.
    auto linearSource = [&](const D& qgate, const D& qbulk, const D& T0, const D& T1) {
        if (p.xpart > 0.5) return -1.0 * CoxWL * (0.5 * Vgsteff + 0.25 * T0 - T0 * T0 / (2.0 * T1));
        if (p.xpart < 0.5) {
            const D t = T1 / 12.0;
            return -1.0 * (0.5 * CoxWL / (t * t)) *
                   (Vgsteff * (2.0 * T0 * T0 / 3.0 + Vgsteff * (Vgsteff - 4.0 * T0 / 3.0)) -
                    2.0 * T0 * T0 * T0 / 15.0);
        }
        return -0.5 * (qgate + qbulk);
    };

    D qgate, qbulk, qsrc;
    if (p.capmod == 1) {
        const D Arg1 = ch.vgsEff - VbseffCV - Vfb;
        if (Arg1.v > 0.0)
            qgate = CoxWL * p.k1 * (GuardedSqrt(0.25 * p.k1 * p.k1 + Arg1 - Vgsteff) - 0.5 * p.k1);
        else
            qgate = CoxWL * (Arg1 - Vgsteff);
        qbulk = -qgate;
        if (Vds.v < VdsatCV.v) {
            const D T0 = AbulkCV * Vds;
            const D T1 = 12.0 * (Vgsteff - 0.5 * T0);
            const D T3 = T0 * (Vds / T1);
            qgate = qgate + CoxWL * (Vgsteff - 0.5 * Vds + T3);
            qbulk = qbulk + CoxWL * (1.0 - AbulkCV) * (0.5 * Vds - T3);
            qsrc = linearSource(qgate, qbulk, T0, T1);
        } else {
            qgate = qgate + CoxWL * (Vgsteff - VdsatCV / 3.0);
            qbulk = qbulk + (CoxWL / 3.0) * (VdsatCV - Vgsteff);
            const double share = p.xpart > 0.5 ? -2.0 / 3.0 : p.xpart < 0.5 ? -0.4 : -1.0 / 3.0;
            qsrc = share * CoxWL * Vgsteff;
        }
    } else {
        const D V3 = Vfb - ch.vgsEff + VbseffCV - 0.02;
        const D T0v = Vfb.v > 0.0 ? Sqrt(V3 * V3 + 0.08 * Vfb) : Sqrt(V3 * V3 - 0.08 * Vfb);
        const D Vfbeff = Vfb - 0.5 * (V3 + T0v);
        const D Qac0 = CoxWL * (Vfbeff - Vfb);
        const D Qsub0 =
            CoxWL * p.k1 * (GuardedSqrt(0.25 * p.k1 * p.k1 + ch.vgsEff - Vfbeff - VbseffCV - Vgsteff) - 0.5 * p.k1);
        const D V4 = VdsatCV - Vds - 0.02;
        const D VdseffCV = VdsatCV - 0.5 * (V4 + Sqrt(V4 * V4 + 0.08 * VdsatCV));
        const D T0 = AbulkCV * VdseffCV;
        const D T1 = 12.0 * (Vgsteff - 0.5 * T0 + 1e-20);
        const D T3 = T0 * (VdseffCV / T1);
        qgate = CoxWL * (Vgsteff - 0.5 * VdseffCV + T3);
        qbulk = CoxWL * (1.0 - AbulkCV) * (0.5 * VdseffCV - T3);
        qsrc = linearSource(qgate, qbulk, T0, T1);
        qgate = qgate + Qac0 + Qsub0;
        qbulk = qbulk - (Qac0 + Qsub0);
    }
    const D qdrn = -1.0 * (qgate + qbulk + qsrc);

    // Derivatives with respect to the terminals: d/dVs = -(d/dVgs + d/dVds + d/dVbs).
    auto source = [](const D& q) { return -(q.dg() + q.dd() + q.db()); };
    out.qgate = qgate.v;
    out.qbulk = qbulk.v;
    out.qdrn = qdrn.v;
    out.cggb = qgate.dg(), out.cgdb = qgate.dd(), out.cgsb = source(qgate);
    out.cbgb = qbulk.dg(), out.cbdb = qbulk.dd(), out.cbsb = source(qbulk);
    out.cdgb = qdrn.dg(), out.cddb = qdrn.dd(), out.cdsb = source(qdrn);

    if (p.nqsmod == 1) {
        out.qcheq = -(out.qbulk + out.qgate);
        out.cqgb = -(out.cggb + out.cbgb);
        out.cqdb = -(out.cgdb + out.cbdb);
        out.cqsb = -(out.cgsb + out.cbsb);
        out.cqbb = -(out.cqgb + out.cqdb + out.cqsb);
        out.qgate = out.qbulk = out.qdrn = 0.0;
        out.cggb = out.cgdb = out.cgsb = out.cbgb = out.cbdb = out.cbsb = out.cdgb = out.cddb = out.cdsb = 0.0;
        double tconst = p.u0temp * p.elm / (CoxWL * p.leffCV * p.leffCV);
        if (out.qcheq == 0.0) tconst = 0.0;
        if (out.qcheq < 0.0) tconst = -tconst;
        out.tconst = tconst;
        out.gtau = 16.0 * p.u0temp * Vtm / (p.leffCV * p.leffCV) + std::fabs(tconst * out.qcheq);
    }
    return out;
}

}  // namespace kq5::bsim3_body
