// The BSIM3 channel evaluation of up to four devices at once, one device in each lane of the AVX2
// registers: the evaluation is a long chain of dependent divisions, roots and exponentials, and
// four such chains side by side keep the processor busy where one leaves it waiting.
//
// Every lane makes the operations of the one-device form (bsim3_eval_body.h) in the same order,
// with the same overloads (a fixed number times a dual is not a dual times a dual), but products
// and sums are fused (FMA) where the compiler finds them, and the exponentials and logarithms
// are the C library's vector forms, which may differ from its one-argument functions in the last
// place or two: a device evaluated in the lanes agrees with its evaluation alone to rounding,
// not to the bit. Branches on a device's values become per-lane selections; the branches on its
// parameters are the same for every lane of a group (Bsim3LaneKey).
#include <cmath>

#include "devices/bsim3_eval.h"
#include "netlist/bsim3_values.h"
#include "netlist/mosfet_values.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#pragma clang fp contract(fast)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#pragma GCC optimize("fp-contract=fast")
#endif

#include "devices/bsim3_eval_body.h"

// The AVX2 forms of exp and log of the C library's vector maths library (libmvec): four
// arguments in, four results out, each within a few units in the last place.
extern "C" {
double __attribute__((vector_size(32))) _ZGVdN4v_exp(double __attribute__((vector_size(32))) x);
double __attribute__((vector_size(32))) _ZGVdN4v_log(double __attribute__((vector_size(32))) x);
}

namespace kq5 {

namespace {

using V = double __attribute__((vector_size(32)));
using Mask = long long __attribute__((vector_size(32)));
constexpr int kLanes = 4;

V Broadcast(double x) { return V{x, x, x, x}; }

// A value and its slopes with respect to Vgs, Vds and Vbs, for four devices.
struct D4 {
    V v{}, g{}, d{}, b{};

    D4() = default;
    D4(double value) : v(Broadcast(value)) {}
    D4(V value) : v(value) {}
    D4(V value, V dg, V dd, V db) : v(value), g(dg), d(dd), b(db) {}

    Dual3 Lane(int k) const { return {v[k], g[k], d[k], b[k]}; }
};

// The operations of Dual3, with the same overloads: a fixed number (one per lane, V) times a
// dual is not the product of two duals. (The whole set is kept, used or not, so that an
// expression never falls back to a conversion that Dual3 would not make.)
D4 operator+(const D4& x, const D4& y) { return {x.v + y.v, x.g + y.g, x.d + y.d, x.b + y.b}; }
D4 operator-(const D4& x, const D4& y) { return {x.v - y.v, x.g - y.g, x.d - y.d, x.b - y.b}; }
[[maybe_unused]] D4 operator-(const D4& x) { return {-x.v, -x.g, -x.d, -x.b}; }
D4 operator*(const D4& x, const D4& y)
{
    return {x.v * y.v, x.g * y.v + x.v * y.g, x.d * y.v + x.v * y.d, x.b * y.v + x.v * y.b};
}
D4 operator*(V a, const D4& x) { return {a * x.v, a * x.g, a * x.d, a * x.b}; }
D4 operator*(const D4& x, V a) { return a * x; }
D4 operator*(double a, const D4& x) { return Broadcast(a) * x; }
[[maybe_unused]] D4 operator*(const D4& x, double a) { return Broadcast(a) * x; }
D4 operator/(const D4& x, const D4& y)
{
    const V q = x.v / y.v;
    const V inverse = 1.0 / y.v;
    return {q, (x.g - q * y.g) * inverse, (x.d - q * y.d) * inverse, (x.b - q * y.b) * inverse};
}
D4 operator/(const D4& x, V a)
{
    const V inverse = 1.0 / a;
    return {x.v / a, x.g * inverse, x.d * inverse, x.b * inverse};
}
[[maybe_unused]] D4 operator/(const D4& x, double a) { return x / Broadcast(a); }
D4 operator/(V a, const D4& y)
{
    const V q = a / y.v;
    const V k = -q / y.v;
    return {q, k * y.g, k * y.d, k * y.b};
}
D4 operator/(double a, const D4& y) { return Broadcast(a) / y; }
D4 Chain(const D4& x, V f, V slope) { return {f, slope * x.g, slope * x.d, slope * x.b}; }
D4 Sqrt(const D4& x)
{
    const V r = __builtin_ia32_sqrtpd256(x.v);
    return Chain(x, r, 0.5 / r);
}
D4 DivideFixed(const D4& x, V a, V inverse) { return Chain(x, x.v / a, inverse); }

// A value that depends on Vbs alone, with its one slope: the operations of D4 on the value and
// the Vbs slope, which are all that differ from zero there. It becomes a D4 where it meets one.
struct B4 {
    V v{}, b{};

    B4() = default;
    B4(double value) : v(Broadcast(value)) {}
    B4(V value) : v(value) {}
    B4(V value, V db) : v(value), b(db) {}
    operator D4() const { return {v, V{}, V{}, b}; }

    Dual3 Lane(int k) const { return {v[k], 0.0, 0.0, b[k]}; }
};

B4 operator+(const B4& x, const B4& y) { return {x.v + y.v, x.b + y.b}; }
B4 operator-(const B4& x, const B4& y) { return {x.v - y.v, x.b - y.b}; }
B4 operator*(const B4& x, const B4& y) { return {x.v * y.v, x.b * y.v + x.v * y.b}; }
B4 operator*(V a, const B4& x) { return {a * x.v, a * x.b}; }
B4 operator*(const B4& x, V a) { return a * x; }
B4 operator*(double a, const B4& x) { return Broadcast(a) * x; }
B4 operator/(const B4& x, const B4& y)
{
    const V q = x.v / y.v;
    const V inverse = 1.0 / y.v;
    return {q, (x.b - q * y.b) * inverse};
}
B4 operator/(V a, const B4& y)
{
    const V q = a / y.v;
    const V k = -q / y.v;
    return {q, k * y.b};
}
B4 operator/(double a, const B4& y) { return Broadcast(a) / y; }
B4 Chain(const B4& x, V f, V slope) { return {f, slope * x.b}; }
B4 Sqrt(const B4& x)
{
    const V r = __builtin_ia32_sqrtpd256(x.v);
    return Chain(x, r, 0.5 / r);
}
B4 DivideFixed(const B4& x, V a, V inverse) { return Chain(x, x.v / a, inverse); }

bool Any(Mask m) { return __builtin_ia32_movmskpd256(reinterpret_cast<V>(m)) != 0; }
bool All(Mask m) { return __builtin_ia32_movmskpd256(reinterpret_cast<V>(m)) == 0xF; }
V Select(Mask m, V yes, V no) { return m ? yes : no; }
D4 Select(Mask m, const D4& yes, const D4& no)
{
    return {m ? yes.v : no.v, m ? yes.g : no.g, m ? yes.d : no.d, m ? yes.b : no.b};
}
B4 Select(Mask m, const B4& yes, const B4& no) { return {m ? yes.v : no.v, m ? yes.b : no.b}; }
// yes() where m, no() elsewhere, each evaluated only when a lane takes it.
template <class Yes, class No>
auto Pick(Mask m, Yes&& yes, No&& no) -> decltype(yes())
{
    if (All(m)) return yes();
    if (!Any(m)) return no();
    return Select(m, yes(), no());
}

// e^x and ln x (the C library's vector forms) in the lanes of m; 0 and its slopes elsewhere. The
// other lanes are given an argument the functions take without a special case.
template <class T>
T ExpWhere(const T& x, Mask m)
{
    const V e = Select(m, _ZGVdN4v_exp(Select(m, x.v, V{})), V{});
    return Chain(x, e, e);
}
D4 LogWhere(const D4& x, Mask m)
{
    const V in = Select(m, x.v, Broadcast(1.0));
    return Chain(x, Select(m, _ZGVdN4v_log(in), V{}), Select(m, 1.0 / in, V{}));
}
template <class T>
T RaiseKeepingSlope(T x, double floor)
{
    x.v = Select(x.v < floor, Broadcast(floor), x.v);
    return x;
}
B4 ShortChannelTheta(const B4& exponent)
{
    const Mask above = exponent.v > -bsim3_body::kExpThreshold;
    const B4 e = Select(above, ExpWhere(exponent, above), B4(bsim3_body::kMinExp));
    return e * (1.0 + 2.0 * e);
}

// The parameters of the devices, one per lane.
struct Params {
    const Bsim3Size* const* p;
    V operator()(double Bsim3Size::*m) const { return V{p[0]->*m, p[1]->*m, p[2]->*m, p[3]->*m}; }
};

// The channel's values that the charge model reads, one device per lane.
struct ChannelLanes {
    D4 vgsEff, vthD, vgsteff, n, vgstNVt, vbseff, phis, sqrtPhis, abulk0, vds;
    V expVgstNVt;
};

// The charges of the devices whose channels were evaluated in the lanes.
void ChargesInLanes(const Params& P, const Bsim3Size& first, const ChannelLanes& ch, Bsim3Charges* const* out,
                    int count)
{
    using bsim3_body::kExpThreshold;
    const V Vtm = P(&Bsim3Size::vtm), phi = P(&Bsim3Size::phi), k1 = P(&Bsim3Size::k1);
    const D4 Vds = ch.vds, vbseff = ch.vbseff, vgsEff = ch.vgsEff;
    const D4 VbseffCV = Select(vbseff.v >= 0.0, phi - ch.phis, vbseff);
    const V CoxWL = P(&Bsim3Size::cox) * P(&Bsim3Size::weffCV) * P(&Bsim3Size::leffCV);
    const D4 Vfb = ch.vthD - phi - k1 * ch.sqrtPhis;

    D4 Vgsteff = ch.vgsteff;
    {
        const D4 vgstNVt = ch.vgstNVt;
        const Mask inside = (vgstNVt.v > -kExpThreshold) & (vgstNVt.v < kExpThreshold);
        if (Any(inside)) {
            const D4 e = Chain(vgstNVt, ch.expVgstNVt, ch.expVgstNVt);
            Vgsteff = Select(inside, ch.n * Vtm * LogWhere(1.0 + e * e, inside), Vgsteff);
        }
    }
    const D4 AbulkCV = ch.abulk0 * P(&Bsim3Size::abulkCVfactor);
    const D4 VdsatCV = Vgsteff / AbulkCV;
    const double xpart = first.xpart;

    // The source charge of the channel by the partition, from the linear-region terms.
    auto linearSource = [&](const D4& qgate, const D4& qbulk, const D4& T0, const D4& T1) {
        if (xpart > 0.5) return -1.0 * CoxWL * (0.5 * Vgsteff + 0.25 * T0 - T0 * T0 / (2.0 * T1));
        if (xpart < 0.5) {
            const D4 t = T1 / 12.0;
            return -1.0 * (0.5 * CoxWL / (t * t)) *
                   (Vgsteff * (2.0 * T0 * T0 / 3.0 + Vgsteff * (Vgsteff - 4.0 * T0 / 3.0)) -
                    2.0 * T0 * T0 * T0 / 15.0);
        }
        return -0.5 * (qgate + qbulk);
    };
    // A square root taken at a zero radicand where the radicand is not positive.
    auto guardedSqrt = [](const D4& x) {
        const Mask empty = x.v <= 0.0;
        return Select(empty, D4(0.0), Sqrt(Select(empty, D4(1.0), x)));
    };

    D4 qgate, qbulk, qsrc;
    if (first.capmod == 1) {
        const D4 Arg1 = vgsEff - VbseffCV - Vfb;
        const Mask above = Arg1.v > 0.0;
        qgate = Pick(
            above, [&] { return CoxWL * k1 * (guardedSqrt(0.25 * k1 * k1 + Arg1 - Vgsteff) - 0.5 * k1); },
            [&] { return CoxWL * (Arg1 - Vgsteff); });
        qbulk = -qgate;
        const Mask linear = Vds.v < VdsatCV.v;
        D4 qgateL, qbulkL, qsrcL, qgateS, qbulkS, qsrcS;
        if (Any(linear)) {
            const D4 T0 = AbulkCV * Vds;
            const D4 T1 = 12.0 * (Vgsteff - 0.5 * T0);
            const D4 T3 = T0 * (Vds / T1);
            qgateL = qgate + CoxWL * (Vgsteff - 0.5 * Vds + T3);
            qbulkL = qbulk + CoxWL * (1.0 - AbulkCV) * (0.5 * Vds - T3);
            qsrcL = linearSource(qgateL, qbulkL, T0, T1);
        }
        if (!All(linear)) {
            qgateS = qgate + CoxWL * (Vgsteff - VdsatCV / 3.0);
            qbulkS = qbulk + (CoxWL / 3.0) * (VdsatCV - Vgsteff);
            const double share = xpart > 0.5 ? -2.0 / 3.0 : xpart < 0.5 ? -0.4 : -1.0 / 3.0;
            qsrcS = share * CoxWL * Vgsteff;
        }
        qgate = Select(linear, qgateL, qgateS);
        qbulk = Select(linear, qbulkL, qbulkS);
        qsrc = Select(linear, qsrcL, qsrcS);
    } else {
        const D4 V3 = Vfb - vgsEff + VbseffCV - 0.02;
        const D4 T0v = Pick(
            Vfb.v > 0.0, [&] { return Sqrt(V3 * V3 + 0.08 * Vfb); }, [&] { return Sqrt(V3 * V3 - 0.08 * Vfb); });
        const D4 Vfbeff = Vfb - 0.5 * (V3 + T0v);
        const D4 Qac0 = CoxWL * (Vfbeff - Vfb);
        const D4 Qsub0 = CoxWL * k1 * (guardedSqrt(0.25 * k1 * k1 + vgsEff - Vfbeff - VbseffCV - Vgsteff) - 0.5 * k1);
        const D4 V4 = VdsatCV - Vds - 0.02;
        const D4 VdseffCV = VdsatCV - 0.5 * (V4 + Sqrt(V4 * V4 + 0.08 * VdsatCV));
        const D4 T0 = AbulkCV * VdseffCV;
        const D4 T1 = 12.0 * (Vgsteff - 0.5 * T0 + 1e-20);
        const D4 T3 = T0 * (VdseffCV / T1);
        qgate = CoxWL * (Vgsteff - 0.5 * VdseffCV + T3);
        qbulk = CoxWL * (1.0 - AbulkCV) * (0.5 * VdseffCV - T3);
        qsrc = linearSource(qgate, qbulk, T0, T1);
        qgate = qgate + Qac0 + Qsub0;
        qbulk = qbulk - (Qac0 + Qsub0);
    }
    const D4 qdrn = -1.0 * (qgate + qbulk + qsrc);

    // Derivatives with respect to the terminals: d/dVs = -(d/dVgs + d/dVds + d/dVbs).
    const V cgsb = -(qgate.g + qgate.d + qgate.b), cbsb = -(qbulk.g + qbulk.d + qbulk.b),
            cdsb = -(qdrn.g + qdrn.d + qdrn.b);
    for (int k = 0; k < count; ++k) {
        Bsim3Charges& q = *out[k];
        q.qcheq = q.cqgb = q.cqdb = q.cqsb = q.cqbb = q.tconst = q.gtau = 0.0;
        q.qgate = qgate.v[k], q.qbulk = qbulk.v[k], q.qdrn = qdrn.v[k];
        q.cggb = qgate.g[k], q.cgdb = qgate.d[k], q.cgsb = cgsb[k];
        q.cbgb = qbulk.g[k], q.cbdb = qbulk.d[k], q.cbsb = cbsb[k];
        q.cdgb = qdrn.g[k], q.cddb = qdrn.d[k], q.cdsb = cdsb[k];
    }
}

}  // namespace

void EvaluateBsim3JunctionsLanes(const Bsim3Size* const* devices, MosfetLoadValues* const* values,
                                 const double* vbsIn, const double* vbdIn, double gmin, Bsim3Junction* const* js,
                                 Bsim3Junction* const* jd, int count)
{
    // Idle lanes repeat the first device.
    const Bsim3Size* lanes[kLanes];
    MosfetLoadValues* held[kLanes];
    V vbs, vbd;
    for (int k = 0; k < kLanes; ++k) {
        const int i = k < count ? k : 0;
        lanes[k] = devices[i], held[k] = values[i];
        vbs[k] = vbsIn[i], vbd[k] = vbdIn[i];
    }
    const Params P{lanes};
    auto value = [&](double MosfetLoadValues::*m) { return V{held[0]->*m, held[1]->*m, held[2]->*m, held[3]->*m}; };
    const V vt = value(&MosfetLoadValues::nvt), one = Broadcast(1.0);

    // The current and conductance (Bsim3JunctionCurrent) of one junction of each device.
    struct Side {
        V current, conductance;
    };
    auto junction = [&](V v, V isat) {
        const Mask none = isat <= 0.0, blocked = v <= -0.5;
        const Mask exponential = ~none & ~blocked & (v != 0.0);
        const V forward = Select(v < 0.5, v, Broadcast(0.5));
        V e = one;
        if (Any(exponential)) {
            V x = forward / vt;
            x = Select(x < -150.0, Broadcast(-150.0), Select(x > 150.0, Broadcast(150.0), x));
            e = Select(exponential, _ZGVdN4v_exp(Select(exponential, x, V{})), one);
        }
        const V conducting = isat * e / vt + gmin;
        return Side{Select(none, gmin * v, Select(blocked, gmin * v - isat, isat * (e - 1.0) + gmin * forward)),
                    Select(none | blocked, Broadcast(gmin), conducting)};
    };
    const Side source = junction(vbs, value(&MosfetLoadValues::isats));
    const Side drain = junction(vbd, value(&MosfetLoadValues::isatd));
    for (int k = 0; k < count; ++k) {
        MosfetLoadValues& v = *held[k];
        v.cbs = source.current[k], v.gbs = source.conductance[k];
        v.cbd = drain.current[k], v.gbd = drain.conductance[k];
    }
    if (!js) return;

    // The charge (Bsim3JunctionCharge) of one junction of each device.
    const V mj = P(&Bsim3Size::mj), mjsw = P(&Bsim3Size::mjsw), pb = P(&Bsim3Size::pb), pbsw = P(&Bsim3Size::pbsw);
    const V tt = P(&Bsim3Size::tt);
    auto charge = [&](V v, V cb, V csw, const Side& s, Bsim3Junction* const* out) {
        const Mask zero = v == 0.0, forward = v > 0.0, reverse = ~zero & ~forward;
        V q{}, c = cb + csw;
        if (Any(forward)) {
            const V slopeB = cb * mj / pb, slopeS = csw * mjsw / pbsw;
            q = Select(forward, v * (cb + csw) + v * v * (0.5 * slopeB + 0.5 * slopeS), q);
            c = Select(forward, cb + csw + v * (slopeB + slopeS), c);
        }
        if (Any(reverse)) {
            // Each part (bottom, sidewall) with a capacitance adds its graded charge.
            V qr{}, cr{};
            auto part = [&](V c0, V pbPart, V m) {
                const Mask used = reverse & (c0 > 0.0);
                if (!Any(used)) return;
                const V arg = 1.0 - v / pbPart;
                const Mask root = m == 0.5, power = used & ~root;
                V sarg = one;
                if (Any(power)) sarg = Select(power, _ZGVdN4v_exp(-m * _ZGVdN4v_log(Select(power, arg, one))), sarg);
                if (Any(used & root))
                    sarg = Select(used & root, 1.0 / __builtin_ia32_sqrtpd256(Select(used & root, arg, one)), sarg);
                qr = Select(used, qr + pbPart * c0 * (1.0 - arg * sarg) / (1.0 - m), qr);
                cr = Select(used, cr + c0 * sarg, cr);
            };
            part(cb, pb, mj);
            part(csw, pbsw, mjsw);
            q = Select(reverse, qr, q);
            c = Select(reverse, cr, c);
        }
        const Mask transit = tt > 0.0;
        q = Select(transit, q + tt * s.current, q);
        c = Select(transit, c + tt * s.conductance, c);
        for (int k = 0; k < count; ++k) *out[k] = {q[k], c[k]};
    };
    charge(vbs, value(&MosfetLoadValues::cbs0), value(&MosfetLoadValues::cbssw0), source, js);
    charge(vbd, value(&MosfetLoadValues::cbd0), value(&MosfetLoadValues::cbdsw0), drain, jd);
}

void Bsim3OverlapChargesLanes(const Bsim3Size* const* devices, const double* vgdIn, const double* vgsIn,
                              Bsim3Overlaps* const* out, int count)
{
    // Idle lanes repeat the first device.
    const Bsim3Size* lanes[kLanes];
    V vgd, vgs;
    for (int k = 0; k < kLanes; ++k) {
        const int i = k < count ? k : 0;
        lanes[k] = devices[i];
        vgd[k] = vgdIn[i], vgs[k] = vgsIn[i];
    }
    const Params P{lanes};
    const V ckappa = P(&Bsim3Size::ckappa), weffCV = P(&Bsim3Size::weffCV);
    // The operations of Bsim3OverlapCharges, one side of four devices at a time.
    auto side = [&](V v, V cgo, V cgl, Bsim3Overlap Bsim3Overlaps::*at) {
        const V wcgl = weffCV * cgl;
        const V t0 = v + 0.02;
        const V t1 = __builtin_ia32_sqrtpd256(t0 * t0 + 0.08);
        const V t2 = 0.5 * (t0 - t1);
        const V t4 = __builtin_ia32_sqrtpd256(1.0 - 4.0 * t2 / ckappa);
        const V c = cgo + wcgl - wcgl * (1.0 - 1.0 / t4) * (0.5 - 0.5 * t0 / t1);
        const V q = (cgo + wcgl) * v - wcgl * (t2 + 0.5 * ckappa * (t4 - 1.0));
        for (int k = 0; k < count; ++k) out[k]->*at = {q[k], c[k]};
    };
    side(vgd, P(&Bsim3Size::cgdo), P(&Bsim3Size::cgdl), &Bsim3Overlaps::drain);
    side(vgs, P(&Bsim3Size::cgso), P(&Bsim3Size::cgsl), &Bsim3Overlaps::source);
}

void EvaluateBsim3ChannelLanes(Bsim3Size* const* devices, const double* vgsIn, const double* vdsIn,
                               const double* vbsIn, Bsim3Channel* const* out, Bsim3Charges* const* charges,
                               int count)
{
    using bsim3_body::kExpThreshold;
    using bsim3_body::kMaxExp;
    using bsim3_body::kMinExp;
    // Idle lanes repeat the first device.
    const Bsim3Size* lanes[kLanes];
    V vgsV, vdsV, vbsV;
    for (int k = 0; k < kLanes; ++k) {
        const int i = k < count ? k : 0;
        lanes[k] = devices[i];
        vgsV[k] = vgsIn[i], vdsV[k] = vdsIn[i], vbsV[k] = vbsIn[i];
    }
    const Params P{lanes};
    const Bsim3Size& first = *lanes[0];
    const V zero{}, one = Broadcast(1.0);
    const D4 Vgs(vgsV, one, zero, zero), Vds(vdsV, zero, one, zero);
    const B4 Vbs(vbsV, one);
    const V Vtm = P(&Bsim3Size::vtm), Cox = P(&Bsim3Size::cox), Leff = P(&Bsim3Size::leff);
    const V phi = P(&Bsim3Size::phi), sqrtPhi = P(&Bsim3Size::sqrtPhi), vbsc = P(&Bsim3Size::vbsc);

    // 1. Effective bulk voltage, smoothly held above vbsc.
    // (Steps 1 to 5 and 11 carry the quantities of Vbs alone with their one slope, B4.)
    const B4 bulk0 = Vbs - vbsc - 0.001;
    const B4 Vbseff = vbsc + 0.5 * (bulk0 + Sqrt(bulk0 * bulk0 - 0.004 * vbsc));

    // 2. Surface potential and depletion width.
    const Mask forward = Vbseff.v > 0.0;
    const B4 Phis = Pick(
        forward, [&] { return phi * (phi / (phi + Vbseff)); }, [&] { return phi - Vbseff; });
    const V phis3 = P(&Bsim3Size::phis3);
    const B4 sqrtPhis = Pick(
        forward, [&] { return phis3 / (phi + 0.5 * Vbseff); },
        [&] { return Sqrt(Select(forward, B4(1.0), Phis)); });
    const B4 Xdep = DivideFixed(P(&Bsim3Size::xdep0) * sqrtPhis, sqrtPhi, P(&Bsim3Size::inverseSqrtPhi));

    // 3. Short- and narrow-channel threshold terms.
    const V factor1 = P(&Bsim3Size::factor1), vbiPhi = P(&Bsim3Size::vbi) - phi;
    const B4 T3 = Sqrt(Xdep);
    const B4 lt1 = factor1 * T3 * RaiseKeepingSlope(1.0 + P(&Bsim3Size::dvt2) * Vbseff, 1e-10);
    const B4 theta0 = ShortChannelTheta(P(&Bsim3Size::dvt1Length) / lt1);
    const V dvt0 = P(&Bsim3Size::dvt0);
    const V thetavth = dvt0 * theta0.v;
    const B4 deltVth = dvt0 * theta0 * vbiPhi;
    B4 deltVthW;
    if (first.dvt0w != 0.0) {
        const B4 ltw = factor1 * T3 * RaiseKeepingSlope(1.0 + P(&Bsim3Size::dvt2w) * Vbseff, 1e-10);
        const B4 thetaW = ShortChannelTheta(P(&Bsim3Size::dvt1wArea) / ltw);
        deltVthW = P(&Bsim3Size::dvt0w) * thetaW * vbiPhi;
    }

    // 4. and 5. Threshold voltage.
    B4 eta = P(&Bsim3Size::eta0) + P(&Bsim3Size::etab) * Vbseff;
    const Mask smallEta = eta.v < 1e-4;
    if (Any(smallEta)) eta = Select(smallEta, (2e-4 - eta) / (3.0 - 2e4 * eta), eta);
    const B4 vthBulk = P(&Bsim3Size::type) * P(&Bsim3Size::vth0) + P(&Bsim3Size::k1) * (sqrtPhis - sqrtPhi) -
                       P(&Bsim3Size::k2) * Vbseff - deltVth - deltVthW +
                       DivideFixed((P(&Bsim3Size::k3) + P(&Bsim3Size::k3b) * Vbseff) * P(&Bsim3Size::tox) * phi,
                                   P(&Bsim3Size::weffW0), P(&Bsim3Size::inverseWeffW0)) +
                       P(&Bsim3Size::vthLateral) +
                       (P(&Bsim3Size::kt1Length) + P(&Bsim3Size::kt2) * Vbseff) * P(&Bsim3Size::tempRatio);
    const D4 Vth = D4(vthBulk) - D4(eta * P(&Bsim3Size::theta0vb0)) * Vds;

    // 6. Subthreshold swing.
    D4 n = 1.0 + DivideFixed((D4(P(&Bsim3Size::cdsc) + P(&Bsim3Size::cdscb) * Vbseff) + P(&Bsim3Size::cdscd) * Vds) *
                                         D4(theta0) +
                                     D4(P(&Bsim3Size::nfactor) * 1.03594e-10 / Xdep) + P(&Bsim3Size::cit),
                             Cox, P(&Bsim3Size::inverseCox));
    n = Select(n.v <= 1.0, D4(1.0), n);

    // 7. Gate depletion.
    D4 VgsEff = Vgs;
    if (first.ngateGiven) {
        const V vfb = P(&Bsim3Size::vfb);
        const Mask depleted = Vgs.v > vfb + phi;
        if (Any(depleted)) {
            const V t1 = 1.6597727086e-23 * P(&Bsim3Size::ngate) / (Cox * Cox);
            const D4 T4 = Sqrt(Select(depleted, 1.0 + 2.0 * (Vgs - vfb - phi) / t1, D4(1.0)));
            const D4 T2 = t1 * (T4 - 1.0);
            const D4 Vpoly = T2 * T2 / (2.0 * t1);
            VgsEff = Select(depleted, Select(Vpoly.v >= 1.12, Vgs - 1.12, vfb + phi + T2), Vgs);
        }
    }

    // 8. Effective gate drive, smooth through weak inversion.
    const D4 Vgst = VgsEff - Vth;
    const D4 T10 = 2.0 * Vtm * n;
    const D4 VgstNVt = Vgst / T10;
    // (A lane that is not a number goes where the one-device form's comparisons send it.)
    const Mask strong = VgstNVt.v > kExpThreshold;
    const Mask between = ~strong & (VgstNVt.v >= -kExpThreshold);
    const D4 eNum = ExpWhere(VgstNVt, between);
    const V expVgstNVt = Select(between, eNum.v, zero);
    D4 num = Select(strong, Vgst, D4(T10.v * kMinExp));
    if (Any(between)) num = Select(between, T10 * LogWhere(1.0 + eNum, between), num);
    const D4 expArg = (2.0 * P(&Bsim3Size::voff) - Vgst) / T10;
    const V ratio = P(&Bsim3Size::coxOverCdep);
    const Mask high = expArg.v > kExpThreshold;
    const Mask middle = ~high & (expArg.v >= -kExpThreshold);
    D4 den = Select(high, D4(1.0 + T10.v * ratio * kMaxExp), D4(1.0));
    if (Any(middle)) den = Select(middle, 1.0 + T10 * ratio * ExpWhere(expArg, middle), den);
    const D4 Vgsteff = num / den;

    // 9. Effective width.
    D4 Weff = P(&Bsim3Size::weff) -
              2.0 * (P(&Bsim3Size::dwg) * Vgsteff + P(&Bsim3Size::dwb) * (sqrtPhis - sqrtPhi));
    Weff = Select(Weff.v < 1e-8, D4(1e-8), Weff);

    // 10. Source-drain resistance.
    D4 Rds = P(&Bsim3Size::rds0) *
             (1.0 + P(&Bsim3Size::prwg) * Vgsteff + P(&Bsim3Size::prwb) * (sqrtPhis - sqrtPhi));
    Rds = Select(Rds.v <= 0.0, D4(0.0), Rds);

    // 11. Bulk charge factor.
    const B4 T1 = 0.5 * P(&Bsim3Size::k1) / sqrtPhis;
    const B4 T9 = 1.0 / (1.0 + P(&Bsim3Size::keta) * Vbseff);
    const B4 T5 = Leff / (Leff + 2.0 * Sqrt(P(&Bsim3Size::xj) * Xdep));
    const V a0 = P(&Bsim3Size::a0);
    const B4 Abulk0 = RaiseKeepingSlope((1.0 + T1 * (a0 * T5 + P(&Bsim3Size::b0Width))) * T9, 0.01);
    const B4 dAbulkdVg = -1.0 * T1 * T9 * (P(&Bsim3Size::ags) * a0) * T5 * T5 * T5;
    const D4 Abulk = RaiseKeepingSlope(D4(Abulk0) + D4(dAbulkdVg) * Vgsteff, 0.01);

    // 12. Mobility.
    const V tox = P(&Bsim3Size::tox), inverseTox = P(&Bsim3Size::inverseTox);
    const V ua = P(&Bsim3Size::ua), ub = P(&Bsim3Size::ub), uc = P(&Bsim3Size::uc);
    D4 T5m;
    if (first.mobmod == 1) {
        const D4 t0 = DivideFixed(Vgsteff + 2.0 * Vth, tox, inverseTox);
        T5m = (ua + uc * Vbseff) * t0 + ub * t0 * t0;
    } else if (first.mobmod == 2) {
        const D4 t0 = DivideFixed(Vgsteff, tox, inverseTox);
        T5m = t0 * (ua + uc * Vbseff + ub * t0);
    } else {
        const D4 t0 = DivideFixed(Vgsteff + 2.0 * Vth, tox, inverseTox);
        T5m = (ua + ub * t0) * t0 * (1.0 + uc * Vbseff);
    }
    const D4 ueff = P(&Bsim3Size::u0temp) / (1.0 + T5m);

    // 13. Saturation voltage.
    const V vsattemp = P(&Bsim3Size::vsattemp);
    const D4 EsatL = 2.0 * vsattemp / ueff * Leff;
    const D4 WVCoxRds = Weff * vsattemp * Cox * Rds;
    D4 Lambda = P(&Bsim3Size::a1) * Vgsteff + P(&Bsim3Size::a2);
    Lambda = Select(Lambda.v > 1.0, D4(1.0), Lambda);
    const D4 Vgst2Vtm = Vgsteff + 2.0 * Vtm;
    const D4 Vdsat = Pick(
        (Rds.v == 0.0) & (Lambda.v == 1.0),
        [&] { return EsatL * Vgst2Vtm / (Abulk * EsatL + Vgst2Vtm); },
        [&] {
            const D4 a = 2.0 * Abulk * (Abulk * WVCoxRds - 1.0 + 1.0 / Lambda);
            const D4 b = Vgst2Vtm * (2.0 / Lambda - 1.0) + Abulk * EsatL + 3.0 * Abulk * Vgst2Vtm * WVCoxRds;
            const D4 c = Vgst2Vtm * (EsatL + 2.0 * Vgst2Vtm * WVCoxRds);
            return (b - Sqrt(b * b - 2.0 * a * c)) / a;
        });

    // 14. Effective drain voltage.
    const V delta = P(&Bsim3Size::delta);
    const D4 T1d = Vdsat - Vds - delta;
    const D4 T2 = Sqrt(T1d * T1d + 4.0 * delta * Vdsat);
    D4 Vdseff = Vdsat - 0.5 * (T1d + T2);
    D4 diffVds = Vds - Vdseff;

    // 15. Early voltages.
    const D4 Vasat = (EsatL + Vdsat + 2.0 * WVCoxRds * Vgsteff * (1.0 - 0.5 * Abulk * Vdsat / Vgst2Vtm)) /
                     (2.0 / Lambda - 1.0 + WVCoxRds * Abulk);
    const D4 VACLM = first.pclm <= 0.0 ? D4(kMaxExp)
                                       : Leff * (Abulk + Vgsteff / EsatL) /
                                             (P(&Bsim3Size::pclm) * Abulk * P(&Bsim3Size::litl)) * diffVds;
    const D4 VADIBL = first.thetaRout <= 0.0
                          ? D4(kMaxExp)
                          : (Vgst2Vtm - Vgst2Vtm * Abulk * Vdsat / (Vgst2Vtm + Abulk * Vdsat)) /
                                (P(&Bsim3Size::thetaRout) * (1.0 + P(&Bsim3Size::pdiblb) * Vbseff));
    const D4 Va = Vasat + (1.0 + P(&Bsim3Size::pvag) * Vgsteff / EsatL) * VACLM * VADIBL / (VACLM + VADIBL);
    D4 VASCBE(P(&Bsim3Size::vascbeLargest));
    {
        const Mask moved = diffVds.v != 0.0;
        if (Any(moved)) {
            const D4 t0 = P(&Bsim3Size::pscbe1Litl) / Select(moved, diffVds, D4(1.0));
            const Mask used = moved & (t0.v > 0.0) & (t0.v < kExpThreshold);
            if (Any(used))
                VASCBE = Select(used,
                                DivideFixed(Leff * ExpWhere(t0, used), P(&Bsim3Size::pscbe2),
                                            P(&Bsim3Size::inversePscbe2)),
                                VASCBE);
        }
    }

    // 16. Drain current.
    const D4 beta = DivideFixed(ueff * Cox * Weff, Leff, P(&Bsim3Size::inverseLeff));
    const D4 fgche1 = Vgsteff * (1.0 - 0.5 * Abulk * Vdseff / Vgst2Vtm);
    const D4 fgche2 = 1.0 + Vdseff / EsatL;
    const D4 gche = beta * fgche1 / fgche2;
    const D4 Idl = gche * Vdseff / (1.0 + gche * Rds);
    const D4 Idsa = Idl * (1.0 + diffVds / Va);
    const D4 Ids = Idsa * (1.0 + diffVds / VASCBE);

    // 17. Substrate current.
    D4 Isub;
    V csub{};
    const bool substrate = (first.laneKey & 64u) != 0;
    if (substrate) {
        const Mask negative = diffVds.v < 0.0;
        diffVds = Select(negative, D4(0.0), diffVds);
        Vdseff = Select(negative, Vds, Vdseff);
        const V alpha = P(&Bsim3Size::alpha0Length);
        const Mask positive = diffVds.v > 0.0;
        const D4 t0 = Select(positive, -P(&Bsim3Size::beta0) / Select(positive, diffVds, D4(1.0)), D4(0.0));
        const Mask exponential = positive & (t0.v > -kExpThreshold);
        D4 isubFactor = (alpha * kMinExp) * diffVds;
        if (Any(exponential)) isubFactor = Select(exponential, alpha * diffVds * ExpWhere(t0, exponential), isubFactor);
        Isub = isubFactor * Idsa;
        csub = Isub.v - (Isub.g * vgsV + Isub.d * vdsV + Isub.b * Vbseff.v);
    }

    // 18. Inversion charge, for the noise analysis.
    const V qinv = (-Cox * Leff * (Weff * Vgsteff * (1.0 - 0.5 * Abulk * Vdseff / Vgst2Vtm))).v;

    if (charges)
        ChargesInLanes(P, first, {VgsEff, Vth, Vgsteff, n, VgstNVt, Vbseff, Phis, sqrtPhis, Abulk0, Vds, expVgstNVt},
                       charges, count);

    for (int k = 0; k < count; ++k) {
        Bsim3Size& p = *devices[k];
        Bsim3Channel& ch = *out[k];
        p.thetavth = thetavth[k];
        p.ueff = ueff.v[k];
        p.vgsteffLast = Vgsteff.v[k];
        p.vdseffLast = Vdseff.v[k];
        p.abulkLast = Abulk.v[k];
        p.qinv = qinv[k];
        if (!charges) {
            // What the charge model reads, where the charges are left to it.
            ch.vds = Vds.Lane(k);
            ch.vbseff = Vbseff.Lane(k);
            ch.phis = Phis.Lane(k);
            ch.sqrtPhis = sqrtPhis.Lane(k);
            ch.vthD = Vth.Lane(k);
            ch.n = n.Lane(k);
            ch.vgsEff = VgsEff.Lane(k);
            ch.vgstNVt = VgstNVt.Lane(k);
            ch.expVgstNVt = expVgstNVt[k];
            ch.vgsteff = Vgsteff.Lane(k);
            ch.abulk0 = Abulk0.Lane(k);
        }
        ch.vth = Vth.v[k];
        ch.vdsat = Vdsat.v[k];
        ch.ids = Ids.v[k];
        ch.gm = Ids.g[k];
        ch.gds = Ids.d[k];
        ch.gmbs = Ids.b[k];
        ch.idsa = Idsa.v[k];
        ch.isub = Isub.v[k];
        ch.gbg = Isub.g[k];
        ch.gbd = Isub.d[k];
        ch.gbb = Isub.b[k];
        ch.csub = csub[k];
    }
}

}  // namespace kq5

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
