#include "devices/bsim3_eval.h"

#include <algorithm>

#include "analog/integration.h"  // ProcessorHasAvx2Fma
#include "devices/bsim3_eval_body.h"
#include "netlist/bsim3_values.h"
#include "netlist/numeric_helpers.h"

namespace kq5 {

// The lanes fuse products and sums, so they need FMA beside AVX2.
bool Bsim3VectorSlopes() { return ProcessorHasAvx2Fma(); }

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
    p.vascbeLargest = Leff * bsim3_body::kMaxExp / p.pscbe2;
    p.pscbe1Litl = p.pscbe1 * p.litl;
    p.alpha0Length = p.alpha0 / Leff;
    p.weffW0 = p.weff + p.w0;
    p.inverseWeffW0 = 1.0 / p.weffW0;
    p.inverseSqrtPhi = 1.0 / p.sqrtPhi;
    p.inverseCox = 1.0 / p.cox;
    p.inverseTox = 1.0 / p.tox;
    p.inverseLeff = 1.0 / Leff;
    p.inversePscbe2 = 1.0 / p.pscbe2;
    p.laneKey = Bsim3LaneKey(p);
}

unsigned Bsim3LaneKey(const Bsim3Size& p)
{
    unsigned key = static_cast<unsigned>(p.mobmod) & 3u;
    if (p.dvt0w != 0.0) key |= 4u;
    if (p.ngateGiven) key |= 8u;
    if (p.pclm <= 0.0) key |= 16u;
    if (p.thetaRout <= 0.0) key |= 32u;
    if (p.alpha0Length > 0.0 && p.beta0 > 0.0) key |= 64u;
    if (p.capmod == 1) key |= 128u;
    key |= (p.xpart > 0.5 ? 1u : p.xpart < 0.5 ? 2u : 3u) << 8;
    if (p.xpart < 0.0) key |= kBsim3NoCharges;
    if (p.nqsmod == 1) key |= kBsim3ChargeNode;
    return key;
}

Bsim3Channel EvaluateBsim3Channel(Bsim3Size& p, double vgs, double vds, double vbs)
{
    Bsim3Channel ch;
    EvaluateBsim3Channel(p, vgs, vds, vbs, ch);
    return ch;
}

void EvaluateBsim3Channel(Bsim3Size& p, double vgs, double vds, double vbs, Bsim3Channel& ch)
{
    if (Bsim3VectorSlopes())
        EvaluateBsim3ChannelVector(p, vgs, vds, vbs, ch);
    else
        bsim3_body::Channel<Dual3>(p, vgs, vds, vbs, ch);
}

Bsim3Charges EvaluateBsim3Charges(const Bsim3Size& p, const Bsim3Channel& ch)
{
    return Bsim3VectorSlopes() ? EvaluateBsim3ChargesVector(p, ch) : bsim3_body::Charges<Dual3>(p, ch);
}

Bsim3Overlaps Bsim3OverlapCharges(const Bsim3Size& p, double vgd, double vgs)
{
    Bsim3Overlaps o;
    if (p.capmod == 1) {
        auto side = [&](Bsim3Overlap& s, double v, double cgo, double cgl) {
            const double wcgl = p.weffCV * cgl;
            if (v >= 0.0) {
                s.capacitance = cgo + wcgl;
                s.charge = s.capacitance * v;
            } else {
                const double t1 = std::sqrt(1.0 - 4.0 * v / p.ckappa);
                s.capacitance = cgo + wcgl / t1;
                s.charge = cgo * v - wcgl * 0.5 * p.ckappa * (t1 - 1.0);
            }
        };
        side(o.drain, vgd, p.cgdo, p.cgdl);
        side(o.source, vgs, p.cgso, p.cgsl);
        return o;
    }
    // The two sides side by side, the drain in the first half of each pair.
    using Pair = double __attribute__((vector_size(16)));
    const Pair v{vgd, vgs}, cgo{p.cgdo, p.cgso}, wcgl{p.weffCV * p.cgdl, p.weffCV * p.cgsl};
    const Pair t0 = v + 0.02;
    const Pair t1 = __builtin_ia32_sqrtpd(t0 * t0 + 0.08);
    const Pair t2 = 0.5 * (t0 - t1);
    const Pair t4 = __builtin_ia32_sqrtpd(1.0 - 4.0 * t2 / p.ckappa);
    const Pair capacitance = cgo + wcgl - wcgl * (1.0 - 1.0 / t4) * (0.5 - 0.5 * t0 / t1);
    const Pair charge = (cgo + wcgl) * v - wcgl * (t2 + 0.5 * p.ckappa * (t4 - 1.0));
    o.drain = {charge[0], capacitance[0]};
    o.source = {charge[1], capacitance[1]};
    return o;
}

void Bsim3JunctionCurrent(double v, double isat, double vt, double gmin, double& current, double& conductance)
{
    if (isat <= 0.0) {
        conductance = gmin;
        current = gmin * v;
    } else if (v <= -0.5) {
        conductance = gmin;
        current = gmin * v - isat;
    } else if (v < 0.5) {
        const double e = v == 0.0 ? 1.0 : ClampedExp(v / vt);  // 0 V: a source or drain tied to the bulk
        conductance = isat * e / vt + gmin;
        current = isat * (e - 1.0) + gmin * v;
    } else {
        const double e = ClampedExp(0.5 / vt);
        conductance = isat * e / vt + gmin;
        current = isat * (e - 1.0) + gmin * 0.5;
    }
}

Bsim3Junction Bsim3JunctionCharge(const Bsim3Size& p, double v, double cb, double csw, double current,
                                  double conductance)
{
    Bsim3Junction j;
    if (v == 0.0) {
        j.capacitance = cb + csw;
    } else if (v > 0.0) {
        // The slopes of the two capacitances (halved exactly for the charge).
        const double slopeB = cb * p.mj / p.pb, slopeS = csw * p.mjsw / p.pbsw;
        j.charge = v * (cb + csw) + v * v * (0.5 * slopeB + 0.5 * slopeS);
        j.capacitance = cb + csw + v * (slopeB + slopeS);
    } else {
        auto add = [&](double c0, double pb, double m, double arg, double sarg) {
            j.charge += pb * c0 * (1.0 - arg * sarg) / (1.0 - m);
            j.capacitance += c0 * sarg;
        };
        if (cb > 0.0 && csw > 0.0 && p.mj != 0.5 && p.mjsw != 0.5) {
            // Both logarithms before both exponentials: the two chains run side by side.
            const double argB = 1.0 - v / p.pb, argS = 1.0 - v / p.pbsw;
            const double logB = std::log(argB), logS = std::log(argS);
            const double sargB = std::exp(-p.mj * logB), sargS = std::exp(-p.mjsw * logS);
            add(cb, p.pb, p.mj, argB, sargB);
            add(csw, p.pbsw, p.mjsw, argS, sargS);
        } else {
            auto part = [&](double c0, double pb, double m) {
                if (c0 <= 0.0) return;
                const double arg = 1.0 - v / pb;
                add(c0, pb, m, arg, m == 0.5 ? 1.0 / std::sqrt(arg) : std::exp(-m * std::log(arg)));
            };
            part(cb, p.pb, p.mj);
            part(csw, p.pbsw, p.mjsw);
        }
    }
    if (p.tt > 0.0) {
        j.charge += p.tt * current;
        j.capacitance += p.tt * conductance;
    }
    return j;
}

}  // namespace kq5
