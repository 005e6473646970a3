#pragma once
// The BSIM3 (version 3) evaluation of a LEVEL 8 MOSFET at one bias: threshold, saturation
// voltage, drain current with its conductances, substrate current, the intrinsic charges with
// their capacitances, the bias-dependent overlap charges and the junction charges.
//
// Every quantity carries its derivatives with respect to Vgs, Vds and Vbs (forward-mode
// differentiation), so the conductances and capacitances are the exact slopes of the currents
// and charges as they are computed, clamps and branches included.
#include <cmath>

namespace kq5 {

struct Bsim3Size;

// A value with its derivatives with respect to the three mode-adjusted voltages.
struct Dual3 {
    double v = 0.0, g = 0.0, d = 0.0, b = 0.0;

    Dual3() = default;
    constexpr Dual3(double value) : v(value) {}
    constexpr Dual3(double value, double dg, double dd, double db) : v(value), g(dg), d(dd), b(db) {}

    double dg() const { return g; }
    double dd() const { return d; }
    double db() const { return b; }
    static const Dual3& From(const Dual3& x) { return x; }
    const Dual3& ToDual3() const { return *this; }
};

inline Dual3 operator+(const Dual3& x, const Dual3& y) { return {x.v + y.v, x.g + y.g, x.d + y.d, x.b + y.b}; }
inline Dual3 operator-(const Dual3& x, const Dual3& y) { return {x.v - y.v, x.g - y.g, x.d - y.d, x.b - y.b}; }
inline Dual3 operator-(const Dual3& x) { return {-x.v, -x.g, -x.d, -x.b}; }
inline Dual3 operator*(const Dual3& x, const Dual3& y)
{
    return {x.v * y.v, x.g * y.v + x.v * y.g, x.d * y.v + x.v * y.d, x.b * y.v + x.v * y.b};
}
inline Dual3 operator*(double a, const Dual3& x) { return {a * x.v, a * x.g, a * x.d, a * x.b}; }
inline Dual3 operator*(const Dual3& x, double a) { return a * x; }
// The value is divided; the slopes are multiplied by the reciprocal (one division instead of
// four: the divisions were a tenth of a BSIM3 evaluation).
inline Dual3 operator/(const Dual3& x, const Dual3& y)
{
    const double q = x.v / y.v;
    const double inverse = 1.0 / y.v;
    return {q, (x.g - q * y.g) * inverse, (x.d - q * y.d) * inverse, (x.b - q * y.b) * inverse};
}
inline Dual3 operator/(const Dual3& x, double a)
{
    const double inverse = 1.0 / a;
    return {x.v / a, x.g * inverse, x.d * inverse, x.b * inverse};
}
inline Dual3 operator/(double a, const Dual3& y)
{
    const double q = a / y.v;
    const double k = -q / y.v;
    return {q, k * y.g, k * y.d, k * y.b};
}
// f(x) with slope f'(x).
inline Dual3 Chain(const Dual3& x, double f, double slope) { return {f, slope * x.g, slope * x.d, slope * x.b}; }
inline Dual3 Sqrt(const Dual3& x)
{
    const double r = std::sqrt(x.v);
    return Chain(x, r, 0.5 / r);
}
inline Dual3 Exp(const Dual3& x)
{
    const double e = std::exp(x.v);
    return Chain(x, e, e);
}
inline Dual3 Log(const Dual3& x) { return Chain(x, std::log(x.v), 1.0 / x.v); }
inline Dual3 Pow(const Dual3& x, double p)
{
    const double r = std::pow(x.v, p);
    return Chain(x, r, p * std::pow(x.v, p - 1.0));
}

// What the channel evaluation leaves for the charges and the load.
struct Bsim3Channel {
    double vth = 0.0, vdsat = 0.0;
    double ids = 0.0, gm = 0.0, gds = 0.0, gmbs = 0.0;
    double isub = 0.0, gbg = 0.0, gbd = 0.0, gbb = 0.0, csub = 0.0;
    double idsa = 0.0;  // drain current without the substrate-current-induced body effect
    // For the charge model.
    Dual3 vgsEff, vthD, vgsteff, n, vgstNVt, vbseff, phis, sqrtPhis, abulk0, vds;
    double expVgstNVt = 0.0;  // e^(VgstNVt) when |VgstNVt| < 34, else 0
};

// The bias-independent parts of the channel evaluation, once the size record is prepared.
void PrepareBsim3ChannelConstants(Bsim3Size& p);

// Mode-adjusted voltages: vds >= 0. Fills ueff, thetavth and qinv of the size record.
Bsim3Channel EvaluateBsim3Channel(Bsim3Size& p, double vgs, double vds, double vbs);
// The same into `out`, whose every member it sets (a load keeps one record for all its devices
// instead of clearing a new one each time).
void EvaluateBsim3Channel(Bsim3Size& p, double vgs, double vds, double vbs, Bsim3Channel& out);

// The intrinsic charges and their nine capacitances (derivatives with respect to the gate,
// drain and source of the mode-adjusted device), and with NQS the charge-node values.
struct Bsim3Charges {
    double qgate = 0.0, qbulk = 0.0, qdrn = 0.0;
    double cggb = 0.0, cgdb = 0.0, cgsb = 0.0, cbgb = 0.0, cbdb = 0.0, cbsb = 0.0, cdgb = 0.0, cddb = 0.0,
           cdsb = 0.0;
    double qcheq = 0.0, cqgb = 0.0, cqdb = 0.0, cqsb = 0.0, cqbb = 0.0, tconst = 0.0, gtau = 0.0;
};
Bsim3Charges EvaluateBsim3Charges(const Bsim3Size& p, const Bsim3Channel& ch);

// The overlap charge and capacitance of one side, n-type sense, not mode-adjusted: the drain
// side at vgd with CGDO and CGDL, the source side at vgs with CGSO and CGSL.
struct Bsim3Overlap {
    double charge = 0.0, capacitance = 0.0;
};
struct Bsim3Overlaps {
    Bsim3Overlap drain, source;
};
Bsim3Overlaps Bsim3OverlapCharges(const Bsim3Size& p, double vgd, double vgs);

// A bulk junction's current and conductance at v (saturation current isat, thermal voltage vt,
// gmin in parallel), the forward current held at its value at 0.5 V.
void Bsim3JunctionCurrent(double v, double isat, double vt, double gmin, double& current, double& conductance);

// A bulk junction (bottom Cb and sidewall Csw zero-bias capacitances) at v, with the transit
// time charge of its current and conductance.
struct Bsim3Junction {
    double charge = 0.0, capacitance = 0.0;
};
Bsim3Junction Bsim3JunctionCharge(const Bsim3Size& p, double v, double cb, double csw, double current,
                                  double conductance);

}  // namespace kq5
