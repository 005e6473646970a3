#include "devices/bsim3_eval.h"

#include <algorithm>

#include "netlist/bsim3_values.h"

namespace kq5 {

namespace {

constexpr double kExpThreshold = 34.0;
constexpr double kMaxExp = 5.834617425e14;
constexpr double kMinExp = 1.713908431e-15;

// A floor that keeps the slopes of the value it replaces.
Dual3 RaiseKeepingSlope(Dual3 x, double floor)
{
    if (x.v < floor) x.v = floor;
    return x;
}

// A square root whose radicand may come out negative for unphysical parameter sets: the charge
// is then taken at a zero radicand instead of turning into NaN.
Dual3 GuardedSqrt(const Dual3& x)
{
    if (x.v <= 0.0) return Dual3(0.0);
    return Sqrt(x);
}

// e^x below the clamp threshold, MIN_EXP (without slope) below it.
Dual3 ExpAboveMin(const Dual3& x)
{
    if (x.v > -kExpThreshold) return Exp(x);
    return Dual3(kMinExp);
}

// Short-channel factor e(1 + 2e) with e = e^(-0.5 dvt1 L / lt).
Dual3 ShortChannelTheta(const Dual3& exponent)
{
    const Dual3 e = ExpAboveMin(exponent);
    return e * (1.0 + 2.0 * e);
}

}  // namespace

void PrepareBsim3ChannelConstants(Bsim3Size& p)
{
    const double Leff = p.leff;
    p.dvt1Length = -0.5 * p.dvt1 * Leff;
    p.dvt1wArea = -0.5 * p.dvt1w * p.weff * Leff;
    p.tempRatio = (p.tdev + 273.15) / (p.tmeasured + 273.15) - 1.0;
    p.vthLateral = p.k1 * (std::sqrt(1.0 + p.nlx / Leff) - 1.0) * p.sqrtPhi;
    p.kt1Length = p.kt1 + p.kt1l / Leff;
    p.coxOverCdep = p.cox / (p.vtm * p.cdep0);
    p.b0Width = p.b0 / (p.weff + p.b1);
    p.vascbeLargest = Leff * kMaxExp / p.pscbe2;
    p.pscbe1Litl = p.pscbe1 * p.litl;
    p.alpha0Length = p.alpha0 / Leff;
}

Bsim3Channel EvaluateBsim3Channel(Bsim3Size& p, double vgs, double vds, double vbs)
{
    Bsim3Channel ch;
    EvaluateBsim3Channel(p, vgs, vds, vbs, ch);
    return ch;
}

void EvaluateBsim3Channel(Bsim3Size& p, double vgsIn, double vdsIn, double vbsIn, Bsim3Channel& ch)
{
    const Dual3 Vgs(vgsIn, 1.0, 0.0, 0.0), Vds(vdsIn, 0.0, 1.0, 0.0), Vbs(vbsIn, 0.0, 0.0, 1.0);
    const double Vtm = p.vtm, Cox = p.cox, Leff = p.leff;
    // Every other member is set below on every path.
    ch.expVgstNVt = 0.0;
    ch.isub = ch.gbg = ch.gbd = ch.gbb = ch.csub = 0.0;
    ch.vds = Vds;

    // 1. Effective bulk voltage, smoothly held above vbsc.
    Dual3 T0 = Vbs - p.vbsc - 0.001;
    Dual3 T1 = Sqrt(T0 * T0 - 0.004 * p.vbsc);
    const Dual3 Vbseff = p.vbsc + 0.5 * (T0 + T1);
    ch.vbseff = Vbseff;

    // 2. Surface potential and depletion width.
    Dual3 Phis, sqrtPhis;
    if (Vbseff.v > 0.0) {
        T0 = p.phi / (p.phi + Vbseff);
        Phis = p.phi * T0;
        sqrtPhis = p.phis3 / (p.phi + 0.5 * Vbseff);
    } else {
        Phis = p.phi - Vbseff;
        sqrtPhis = Sqrt(Phis);
    }
    ch.phis = Phis;
    ch.sqrtPhis = sqrtPhis;
    const Dual3 Xdep = p.xdep0 * sqrtPhis / p.sqrtPhi;

    // 3. Short- and narrow-channel threshold terms.
    const Dual3 T3 = Sqrt(Xdep);
    const Dual3 lt1 = p.factor1 * T3 * RaiseKeepingSlope(1.0 + p.dvt2 * Vbseff, 1e-10);
    const Dual3 theta0 = ShortChannelTheta(p.dvt1Length / lt1);
    p.thetavth = p.dvt0 * theta0.v;
    const Dual3 deltVth = p.dvt0 * theta0 * (p.vbi - p.phi);
    // The narrow-channel term, left out (zero) when DVT0W is 0, as in most parameter sets.
    Dual3 deltVthW;
    if (p.dvt0w != 0.0) {
        const Dual3 ltw = p.factor1 * T3 * RaiseKeepingSlope(1.0 + p.dvt2w * Vbseff, 1e-10);
        const Dual3 thetaW = ShortChannelTheta(p.dvt1wArea / ltw);
        deltVthW = p.dvt0w * thetaW * (p.vbi - p.phi);
    }

    // 4. and 5. Threshold voltage.
    // The drain-induced barrier lowering coefficient. A body bias can take eta0 + etab Vbseff
    // below zero with real parameter sets (a small ETA0 and a large ETAB), which would raise the
    // threshold with the drain voltage; it is held smoothly above 1e-4 instead (value and slope
    // continuous, tending to 5e-5).
    Dual3 eta = p.eta0 + p.etab * Vbseff;
    if (eta.v < 1e-4) eta = (2e-4 - eta) / (3.0 - 2e4 * eta);
    const Dual3 Vth = p.type * p.vth0 + p.k1 * (sqrtPhis - p.sqrtPhi) - p.k2 * Vbseff - deltVth - deltVthW +
                      (p.k3 + p.k3b * Vbseff) * p.tox * p.phi / (p.weff + p.w0) + p.vthLateral +
                      (p.kt1Length + p.kt2 * Vbseff) * p.tempRatio -
                      eta * p.theta0vb0 * Vds;
    ch.vthD = Vth;
    ch.vth = Vth.v;

    // 6. Subthreshold swing.
    Dual3 n = 1.0 + ((p.cdsc + p.cdscb * Vbseff + p.cdscd * Vds) * theta0 + p.nfactor * 1.03594e-10 / Xdep + p.cit) / Cox;
    if (n.v <= 1.0) n = Dual3(1.0);
    ch.n = n;

    // 7. Gate depletion.
    Dual3 VgsEff = Vgs;
    if (p.ngateGiven && Vgs.v > p.vfb + p.phi) {
        const double t1 = 1.6597727086e-23 * p.ngate / (Cox * Cox);
        const Dual3 T4 = Sqrt(1.0 + 2.0 * (Vgs - p.vfb - p.phi) / t1);
        const Dual3 T2 = t1 * (T4 - 1.0);
        const Dual3 Vpoly = T2 * T2 / (2.0 * t1);
        VgsEff = Vpoly.v >= 1.12 ? Vgs - 1.12 : p.vfb + p.phi + T2;
    }
    ch.vgsEff = VgsEff;

    // 8. Effective gate drive, smooth through weak inversion.
    const Dual3 Vgst = VgsEff - Vth;
    const Dual3 T10 = 2.0 * Vtm * n;
    const Dual3 VgstNVt = Vgst / T10;
    ch.vgstNVt = VgstNVt;
    Dual3 num;
    if (VgstNVt.v > kExpThreshold) {
        num = Vgst;
    } else if (VgstNVt.v >= -kExpThreshold) {
        const Dual3 e = Exp(VgstNVt);
        ch.expVgstNVt = e.v;
        num = T10 * Log(1.0 + e);
    } else {
        num = Dual3(T10.v * kMinExp);
    }
    const Dual3 expArg = (2.0 * p.voff - Vgst) / T10;
    const double ratio = p.coxOverCdep;
    Dual3 den;
    if (expArg.v > kExpThreshold) {
        den = Dual3(1.0 + T10.v * ratio * kMaxExp);
    } else if (expArg.v >= -kExpThreshold) {
        den = 1.0 + T10 * ratio * Exp(expArg);
    } else {
        den = Dual3(1.0);
    }
    const Dual3 Vgsteff = num / den;
    ch.vgsteff = Vgsteff;

    // 9. Effective width.
    Dual3 Weff = p.weff - 2.0 * (p.dwg * Vgsteff + p.dwb * (sqrtPhis - p.sqrtPhi));
    if (Weff.v < 1e-8) Weff = Dual3(1e-8);

    // 10. Source-drain resistance.
    Dual3 Rds = p.rds0 * (1.0 + p.prwg * Vgsteff + p.prwb * (sqrtPhis - p.sqrtPhi));
    if (Rds.v <= 0.0) Rds = Dual3(0.0);

    // 11. Bulk charge factor.
    T1 = 0.5 * p.k1 / sqrtPhis;
    const Dual3 T9 = 1.0 / (1.0 + p.keta * Vbseff);
    const Dual3 T5 = Leff / (Leff + 2.0 * Sqrt(p.xj * Xdep));
    const Dual3 Abulk0 = RaiseKeepingSlope((1.0 + T1 * (p.a0 * T5 + p.b0Width)) * T9, 0.01);
    const Dual3 dAbulkdVg = -1.0 * T1 * T9 * (p.ags * p.a0) * T5 * T5 * T5;
    const Dual3 Abulk = RaiseKeepingSlope(Abulk0 + dAbulkdVg * Vgsteff, 0.01);
    ch.abulk0 = Abulk0;

    // 12. Mobility.
    Dual3 T5m;
    if (p.mobmod == 1) {
        const Dual3 t0 = (Vgsteff + 2.0 * Vth) / p.tox;
        T5m = (p.ua + p.uc * Vbseff) * t0 + p.ub * t0 * t0;
    } else if (p.mobmod == 2) {
        const Dual3 t0 = Vgsteff / p.tox;
        T5m = t0 * (p.ua + p.uc * Vbseff + p.ub * t0);
    } else {
        const Dual3 t0 = (Vgsteff + 2.0 * Vth) / p.tox;
        T5m = (p.ua + p.ub * t0) * t0 * (1.0 + p.uc * Vbseff);
    }
    const Dual3 ueff = p.u0temp / (1.0 + T5m);
    p.ueff = ueff.v;

    // 13. Saturation voltage.
    const Dual3 EsatL = 2.0 * p.vsattemp / ueff * Leff;
    const Dual3 WVCoxRds = Weff * p.vsattemp * Cox * Rds;
    Dual3 Lambda = p.a1 * Vgsteff + p.a2;
    if (Lambda.v > 1.0) Lambda = Dual3(1.0);
    const Dual3 Vgst2Vtm = Vgsteff + 2.0 * Vtm;
    Dual3 Vdsat;
    if (Rds.v == 0.0 && Lambda.v == 1.0) {
        Vdsat = EsatL * Vgst2Vtm / (Abulk * EsatL + Vgst2Vtm);
    } else {
        const Dual3 a = 2.0 * Abulk * (Abulk * WVCoxRds - 1.0 + 1.0 / Lambda);
        const Dual3 b = Vgst2Vtm * (2.0 / Lambda - 1.0) + Abulk * EsatL + 3.0 * Abulk * Vgst2Vtm * WVCoxRds;
        const Dual3 c = Vgst2Vtm * (EsatL + 2.0 * Vgst2Vtm * WVCoxRds);
        Vdsat = (b - Sqrt(b * b - 2.0 * a * c)) / a;
    }
    ch.vdsat = Vdsat.v;

    // 14. Effective drain voltage.
    T1 = Vdsat - Vds - p.delta;
    const Dual3 T2 = Sqrt(T1 * T1 + 4.0 * p.delta * Vdsat);
    Dual3 Vdseff = Vdsat - 0.5 * (T1 + T2);
    Dual3 diffVds = Vds - Vdseff;

    // 15. Early voltages.
    const Dual3 Vasat = (EsatL + Vdsat + 2.0 * WVCoxRds * Vgsteff * (1.0 - 0.5 * Abulk * Vdsat / Vgst2Vtm)) /
                        (2.0 / Lambda - 1.0 + WVCoxRds * Abulk);
    const Dual3 VACLM =
        p.pclm <= 0.0 ? Dual3(kMaxExp) : Leff * (Abulk + Vgsteff / EsatL) / (p.pclm * Abulk * p.litl) * diffVds;
    const Dual3 VADIBL = p.thetaRout <= 0.0
                             ? Dual3(kMaxExp)
                             : (Vgst2Vtm - Vgst2Vtm * Abulk * Vdsat / (Vgst2Vtm + Abulk * Vdsat)) /
                                   (p.thetaRout * (1.0 + p.pdiblb * Vbseff));
    const Dual3 Va = Vasat + (1.0 + p.pvag * Vgsteff / EsatL) * VACLM * VADIBL / (VACLM + VADIBL);
    Dual3 VASCBE(p.vascbeLargest);
    if (diffVds.v != 0.0) {
        const Dual3 t0 = p.pscbe1Litl / diffVds;
        if (t0.v > 0.0 && t0.v < kExpThreshold) VASCBE = Leff * Exp(t0) / p.pscbe2;
    }

    // 16. Drain current.
    const Dual3 beta = ueff * Cox * Weff / Leff;
    const Dual3 fgche1 = Vgsteff * (1.0 - 0.5 * Abulk * Vdseff / Vgst2Vtm);
    const Dual3 fgche2 = 1.0 + Vdseff / EsatL;
    const Dual3 gche = beta * fgche1 / fgche2;
    const Dual3 Idl = gche * Vdseff / (1.0 + gche * Rds);
    const Dual3 Idsa = Idl * (1.0 + diffVds / Va);
    const Dual3 Ids = Idsa * (1.0 + diffVds / VASCBE);
    ch.ids = Ids.v;
    ch.gm = Ids.g;
    ch.gds = Ids.d;
    ch.gmbs = Ids.b;
    ch.idsa = Idsa.v;

    // 17. Substrate current.
    const double tmp = p.alpha0Length;
    if (tmp > 0.0 && p.beta0 > 0.0) {
        if (diffVds.v < 0.0) {
            diffVds = Dual3(0.0);
            Vdseff = Vds;
        }
        Dual3 isubFactor;
        const Dual3 t0 = diffVds.v > 0.0 ? -p.beta0 / diffVds : Dual3(0.0);
        if (diffVds.v > 0.0 && t0.v > -kExpThreshold)
            isubFactor = tmp * diffVds * Exp(t0);
        else
            isubFactor = tmp * kMinExp * diffVds;
        const Dual3 Isub = isubFactor * Idsa;
        ch.isub = Isub.v;
        ch.gbg = Isub.g;
        ch.gbd = Isub.d;
        ch.gbb = Isub.b;
        ch.csub = Isub.v - (ch.gbg * vgsIn + ch.gbd * vdsIn + ch.gbb * Vbseff.v);
    }

    p.vgsteffLast = Vgsteff.v;
    p.vdseffLast = Vdseff.v;
    p.abulkLast = Abulk.v;

    // 18. Inversion charge, for the noise analysis.
    p.qinv = (-Cox * Leff * (Weff * Vgsteff * (1.0 - 0.5 * Abulk * Vdseff / Vgst2Vtm))).v;
}

Bsim3Charges EvaluateBsim3Charges(const Bsim3Size& p, const Bsim3Channel& ch)
{
    Bsim3Charges out;
    const double Vtm = p.vtm;
    const Dual3& Vds = ch.vds;
    const Dual3 VbseffCV = ch.vbseff.v >= 0.0 ? p.phi - ch.phis : ch.vbseff;
    const double CoxWL = p.cox * p.weffCV * p.leffCV;
    const Dual3 Vfb = ch.vthD - p.phi - p.k1 * ch.sqrtPhis;

    Dual3 Vgsteff = ch.vgsteff;
    if (ch.vgstNVt.v > -kExpThreshold && ch.vgstNVt.v < kExpThreshold) {
        // The channel's exponential of the same argument (it took it over a wider range).
        const Dual3 e = Chain(ch.vgstNVt, ch.expVgstNVt, ch.expVgstNVt);
        Vgsteff = ch.n * Vtm * Log(1.0 + e * e);
    }
    const Dual3 AbulkCV = ch.abulk0 * p.abulkCVfactor;
    const Dual3 VdsatCV = Vgsteff / AbulkCV;

    // The source charge of the channel by the partition, from the linear-region terms.
    auto linearSource = [&](const Dual3& qgate, const Dual3& qbulk, const Dual3& T0, const Dual3& T1) {
        if (p.xpart > 0.5) return -1.0 * CoxWL * (0.5 * Vgsteff + 0.25 * T0 - T0 * T0 / (2.0 * T1));
        if (p.xpart < 0.5) {
            const Dual3 t = T1 / 12.0;
            return -1.0 * (0.5 * CoxWL / (t * t)) *
                   (Vgsteff * (2.0 * T0 * T0 / 3.0 + Vgsteff * (Vgsteff - 4.0 * T0 / 3.0)) -
                    2.0 * T0 * T0 * T0 / 15.0);
        }
        return -0.5 * (qgate + qbulk);
    };

    Dual3 qgate, qbulk, qsrc;
    if (p.capmod == 1) {
        const Dual3 Arg1 = ch.vgsEff - VbseffCV - Vfb;
        if (Arg1.v > 0.0)
            qgate = CoxWL * p.k1 * (GuardedSqrt(0.25 * p.k1 * p.k1 + Arg1 - Vgsteff) - 0.5 * p.k1);
        else
            qgate = CoxWL * (Arg1 - Vgsteff);
        qbulk = -qgate;
        if (Vds.v < VdsatCV.v) {
            const Dual3 T0 = AbulkCV * Vds;
            const Dual3 T1 = 12.0 * (Vgsteff - 0.5 * T0);
            const Dual3 T3 = T0 * (Vds / T1);
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
        const Dual3 V3 = Vfb - ch.vgsEff + VbseffCV - 0.02;
        const Dual3 T0v = Vfb.v > 0.0 ? Sqrt(V3 * V3 + 0.08 * Vfb) : Sqrt(V3 * V3 - 0.08 * Vfb);
        const Dual3 Vfbeff = Vfb - 0.5 * (V3 + T0v);
        const Dual3 Qac0 = CoxWL * (Vfbeff - Vfb);
        const Dual3 Qsub0 =
            CoxWL * p.k1 * (GuardedSqrt(0.25 * p.k1 * p.k1 + ch.vgsEff - Vfbeff - VbseffCV - Vgsteff) - 0.5 * p.k1);
        const Dual3 V4 = VdsatCV - Vds - 0.02;
        const Dual3 VdseffCV = VdsatCV - 0.5 * (V4 + Sqrt(V4 * V4 + 0.08 * VdsatCV));
        const Dual3 T0 = AbulkCV * VdseffCV;
        const Dual3 T1 = 12.0 * (Vgsteff - 0.5 * T0 + 1e-20);
        const Dual3 T3 = T0 * (VdseffCV / T1);
        qgate = CoxWL * (Vgsteff - 0.5 * VdseffCV + T3);
        qbulk = CoxWL * (1.0 - AbulkCV) * (0.5 * VdseffCV - T3);
        qsrc = linearSource(qgate, qbulk, T0, T1);
        qgate = qgate + Qac0 + Qsub0;
        qbulk = qbulk - (Qac0 + Qsub0);
    }
    const Dual3 qdrn = -1.0 * (qgate + qbulk + qsrc);

    // Derivatives with respect to the terminals: d/dVs = -(d/dVgs + d/dVds + d/dVbs).
    auto source = [](const Dual3& q) { return -(q.g + q.d + q.b); };
    out.qgate = qgate.v;
    out.qbulk = qbulk.v;
    out.qdrn = qdrn.v;
    out.cggb = qgate.g, out.cgdb = qgate.d, out.cgsb = source(qgate);
    out.cbgb = qbulk.g, out.cbdb = qbulk.d, out.cbsb = source(qbulk);
    out.cdgb = qdrn.g, out.cddb = qdrn.d, out.cdsb = source(qdrn);

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

Bsim3Overlap Bsim3OverlapCharge(const Bsim3Size& p, double v, double cgo, double cgl)
{
    Bsim3Overlap o;
    const double wcgl = p.weffCV * cgl;
    if (p.capmod == 1) {
        if (v >= 0.0) {
            o.capacitance = cgo + wcgl;
            o.charge = o.capacitance * v;
        } else {
            const double t1 = std::sqrt(1.0 - 4.0 * v / p.ckappa);
            o.capacitance = cgo + wcgl / t1;
            o.charge = cgo * v - wcgl * 0.5 * p.ckappa * (t1 - 1.0);
        }
        return o;
    }
    const double t0 = v + 0.02;
    const double t1 = std::sqrt(t0 * t0 + 0.08);
    const double t2 = 0.5 * (t0 - t1);
    const double t4 = std::sqrt(1.0 - 4.0 * t2 / p.ckappa);
    o.capacitance = cgo + wcgl - wcgl * (1.0 - 1.0 / t4) * (0.5 - 0.5 * t0 / t1);
    o.charge = (cgo + wcgl) * v - wcgl * (t2 + 0.5 * p.ckappa * (t4 - 1.0));
    return o;
}

Bsim3Junction Bsim3JunctionCharge(const Bsim3Size& p, double v, double cb, double csw, double current,
                                  double conductance)
{
    Bsim3Junction j;
    if (v == 0.0) {
        j.capacitance = cb + csw;
    } else if (v > 0.0) {
        j.charge = v * (cb + csw) + v * v * (0.5 * cb * p.mj / p.pb + 0.5 * csw * p.mjsw / p.pbsw);
        j.capacitance = cb + csw + v * (cb * p.mj / p.pb + csw * p.mjsw / p.pbsw);
    } else {
        auto part = [&](double c0, double pb, double m) {
            if (c0 <= 0.0) return;
            const double arg = 1.0 - v / pb;
            const double sarg = m == 0.5 ? 1.0 / std::sqrt(arg) : std::exp(-m * std::log(arg));
            j.charge += pb * c0 * (1.0 - arg * sarg) / (1.0 - m);
            j.capacitance += c0 * sarg;
        };
        part(cb, p.pb, p.mj);
        part(csw, p.pbsw, p.mjsw);
    }
    if (p.tt > 0.0) {
        j.charge += p.tt * current;
        j.capacitance += p.tt * conductance;
    }
    return j;
}

}  // namespace kq5
