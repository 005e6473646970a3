// The BSIM3 evaluations with the three slopes of each value in one AVX2 vector: one vector
// instruction where Dual3 takes three scalar ones. Compiled for AVX2 alone (without FMA, so no
// product and sum are fused and the bits are Dual3's); called only where the processor has it.
//
// The headers the evaluation body reads are included first, so that only the body and this
// file's own functions are compiled for AVX2 (Dual3's inline functions stay as every other file
// has them).
#include <cmath>

#include "devices/bsim3_eval.h"
#include "netlist/bsim3_values.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "devices/bsim3_eval_body.h"

namespace kq5 {

namespace {

using Slopes = double __attribute__((vector_size(32)));

// A value and its slopes with respect to Vgs, Vds and Vbs (the fourth lane stays 0).
struct VectorDual {
    double v = 0.0;
    Slopes s{};

    VectorDual() = default;
    VectorDual(double value) : v(value) {}
    VectorDual(double value, double g, double d, double b) : v(value), s{g, d, b, 0.0} {}
    VectorDual(double value, Slopes slopes) : v(value), s(slopes) {}

    double dg() const { return s[0]; }
    double dd() const { return s[1]; }
    double db() const { return s[2]; }
    static VectorDual From(const Dual3& x) { return {x.v, Slopes{x.g, x.d, x.b, 0.0}}; }
    Dual3 ToDual3() const { return {v, s[0], s[1], s[2]}; }
};

// The operations of Dual3, lane by lane in the same order.
VectorDual operator+(const VectorDual& x, const VectorDual& y) { return {x.v + y.v, x.s + y.s}; }
VectorDual operator-(const VectorDual& x, const VectorDual& y) { return {x.v - y.v, x.s - y.s}; }
VectorDual operator-(const VectorDual& x) { return {-x.v, -x.s}; }
VectorDual operator*(const VectorDual& x, const VectorDual& y) { return {x.v * y.v, x.s * y.v + x.v * y.s}; }
VectorDual operator*(double a, const VectorDual& x) { return {a * x.v, a * x.s}; }
VectorDual operator*(const VectorDual& x, double a) { return a * x; }
VectorDual operator/(const VectorDual& x, const VectorDual& y)
{
    const double q = x.v / y.v;
    const double inverse = 1.0 / y.v;
    return {q, (x.s - q * y.s) * inverse};
}
VectorDual operator/(const VectorDual& x, double a)
{
    const double inverse = 1.0 / a;
    return {x.v / a, x.s * inverse};
}
VectorDual operator/(double a, const VectorDual& y)
{
    const double q = a / y.v;
    const double k = -q / y.v;
    return {q, k * y.s};
}
VectorDual Chain(const VectorDual& x, double f, double slope) { return {f, slope * x.s}; }
VectorDual Sqrt(const VectorDual& x)
{
    const double r = std::sqrt(x.v);
    return Chain(x, r, 0.5 / r);
}
VectorDual Exp(const VectorDual& x)
{
    const double e = std::exp(x.v);
    return Chain(x, e, e);
}
VectorDual Log(const VectorDual& x) { return Chain(x, std::log(x.v), 1.0 / x.v); }

}  // namespace

void EvaluateBsim3ChannelVector(Bsim3Size& p, double vgs, double vds, double vbs, Bsim3Channel& ch)
{
    bsim3_body::Channel<VectorDual>(p, vgs, vds, vbs, ch);
}

Bsim3Charges EvaluateBsim3ChargesVector(const Bsim3Size& p, const Bsim3Channel& ch)
{
    return bsim3_body::Charges<VectorDual>(p, ch);
}

}  // namespace kq5

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
