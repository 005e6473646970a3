#include "devices/bsim3_eval.h"

#include <algorithm>

#include "analog/integration.h"  // ProcessorHasAvx2
#include "devices/bsim3_eval_body.h"
#include "netlist/bsim3_values.h"

namespace kq5 {

bool Bsim3VectorSlopes() { return ProcessorHasAvx2(); }

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

void Bsim3ExpOfEach(double* x, int n)
{
    if (Bsim3VectorSlopes())
        ExpInLanes(x, n);
    else
        for (int i = 0; i < n; ++i) x[i] = std::exp(x[i]);
}

void Bsim3LogOfEach(double* x, int n)
{
    if (Bsim3VectorSlopes())
        LogInLanes(x, n);
    else
        for (int i = 0; i < n; ++i) x[i] = std::log(x[i]);
}

namespace {

// At most this many junctions share one pass of exponentials and logarithms.
constexpr int kJunctionBatch = 16;

void JunctionBatch(const Bsim3JunctionBias* at, Bsim3Junction* out, int n)
{
    // The grading (1 - v/pb)^-m of each part (bottom, then sidewall) of the reverse-biased
    // junctions is e^(-m ln(1 - v/pb)); m = 0.5 takes a square root instead.
    auto takesPower = [](double c0, double m) { return c0 > 0.0 && m != 0.5; };
    auto eachPower = [&](auto&& f) {
        for (int i = 0; i < n; ++i) {
            const Bsim3JunctionBias& j = at[i];
            if (j.v == 0.0 || j.v > 0.0) continue;  // as the branches below (a NaN goes on)
            if (takesPower(j.cb, j.p->mj)) f(j.v, j.p->pb, j.p->mj);
            if (takesPower(j.csw, j.p->mjsw)) f(j.v, j.p->pbsw, j.p->mjsw);
        }
    };
    double x[2 * kJunctionBatch];
    int k = 0;
    eachPower([&](double v, double pb, double) { x[k++] = 1.0 - v / pb; });
    Bsim3LogOfEach(x, k);
    k = 0;
    eachPower([&](double, double, double m) {
        x[k] = -m * x[k];
        ++k;
    });
    Bsim3ExpOfEach(x, k);

    k = 0;
    for (int i = 0; i < n; ++i) {
        const Bsim3JunctionBias& b = at[i];
        const Bsim3Size& p = *b.p;
        const double v = b.v, cb = b.cb, csw = b.csw;
        Bsim3Junction& j = out[i];
        j = {};
        if (v == 0.0) {
            j.capacitance = cb + csw;
        } else if (v > 0.0) {
            // The slopes of the two capacitances (halved exactly for the charge).
            const double slopeB = cb * p.mj / p.pb, slopeS = csw * p.mjsw / p.pbsw;
            j.charge = v * (cb + csw) + v * v * (0.5 * slopeB + 0.5 * slopeS);
            j.capacitance = cb + csw + v * (slopeB + slopeS);
        } else {
            auto add = [&](double c0, double pb, double m) {
                if (c0 <= 0.0) return;
                const double arg = 1.0 - v / pb;
                const double sarg = takesPower(c0, m) ? x[k++] : 1.0 / std::sqrt(arg);
                j.charge += pb * c0 * (1.0 - arg * sarg) / (1.0 - m);
                j.capacitance += c0 * sarg;
            };
            add(cb, p.pb, p.mj);
            add(csw, p.pbsw, p.mjsw);
        }
        if (p.tt > 0.0) {
            j.charge += p.tt * b.current;
            j.capacitance += p.tt * b.conductance;
        }
    }
}

}  // namespace

void Bsim3JunctionCharges(const Bsim3JunctionBias* at, Bsim3Junction* out, int n)
{
    for (int i = 0; i < n; i += kJunctionBatch) JunctionBatch(at + i, out + i, std::min(kJunctionBatch, n - i));
}

}  // namespace kq5
