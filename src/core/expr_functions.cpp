#include "core/expr_functions.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

#include "core/analysis_state.h"
#include "core/expr_math_errors.h"

namespace kq5 {

namespace {

constexpr double kCleanupMagnitude = 1e-10;  // parts of inverse functions below this are noise
constexpr double kBesselYFloor = 1e-15;
constexpr double kImpulseZeroWidth = 1e-9;

// Inverse functions computed through logarithms leave rounding noise in the part that
// should vanish.
Complex CleanParts(Complex z)
{
    double re = std::abs(z.real()) < kCleanupMagnitude ? 0.0 : z.real();
    double im = std::abs(z.imag()) < kCleanupMagnitude ? 0.0 : z.imag();
    return {re, im};
}

// ln z with the modulus floored, atan2(0, 0) being 0. A zero imaginary part counts as +0
// whatever its sign (complex division of real numbers can leave -0), so that a negative real
// number has the principal argument +pi.
Complex LogFloored(const Complex& z)
{
    double m = std::max(std::hypot(z.real(), z.imag()), kTinyMagnitude);
    const double im = z.imag() == 0.0 ? 0.0 : z.imag();
    double arg = (z.real() == 0.0 && im == 0.0) ? 0.0 : std::atan2(im, z.real());
    return {std::log(m), arg};
}

Complex NonZero(const Complex& z)
{
    return (z.real() == 0.0 && z.imag() == 0.0) ? Complex(kTinyMagnitude, 0.0) : z;
}

bool IsInteger(double x)
{
    return std::isfinite(x) && std::floor(x) == x;
}

int RoundedOrder(double order)
{
    double r = std::round(order);
    if (!(r >= 1.0)) return 0;  // also NaN
    return r > 1e6 ? 1000000 : static_cast<int>(r);
}

}  // namespace

double ExprMagnitude(const Complex& z)
{
    return IsReal(z) ? std::abs(z.real()) : std::hypot(z.real(), z.imag());
}

double ExprDecibels(const Complex& z)
{
    return 20.0 * std::log10(std::max(ExprMagnitude(z), kTinyMagnitude));
}

double ExprSign(double x)
{
    return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0);
}

double ExprPhaseDegrees(const Complex& z)
{
    if (z.real() == 0.0 && z.imag() == 0.0) return 0.0;
    return std::atan2(z.imag(), z.real()) * kDegreesPerRadian;
}

Complex ExprMultiply(const Complex& a, const Complex& b)
{
    if (IsReal(a) && IsReal(b)) return {a.real() * b.real(), 0.0};
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

Complex ExprDivide(const Complex& a, const Complex& b)
{
    if (IsReal(a) && IsReal(b)) {
        double d = b.real() == 0.0 ? kTinyMagnitude : b.real();
        return {a.real() / d, 0.0};
    }
    double m2 = b.real() * b.real() + b.imag() * b.imag();
    if (m2 == 0.0) return {a.real() / kTinyMagnitude, a.imag() / kTinyMagnitude};
    return {(a.real() * b.real() + a.imag() * b.imag()) / m2,
            (a.imag() * b.real() - a.real() * b.imag()) / m2};
}

Complex ExprSafeDivide(const Complex& a, const Complex& b)
{
    if (b.real() == 0.0 && b.imag() == 0.0) return {0.0, 0.0};
    return ExprDivide(a, b);
}

double ExprDivTruncated(double a, double b)
{
    return std::trunc(a / (b == 0.0 ? kTinyMagnitude : b));
}

double ExprModulo(double a, double b)
{
    return std::fmod(a, b);
}

double ExprSin(double x)
{
    return std::sin(std::clamp(x, -kSinClamp, kSinClamp));
}

double ExprCos(double x)
{
    return std::cos(x);
}

double ExprTan(double x)
{
    return std::tan(x);
}

Complex ExprLog(const Complex& z, bool base10)
{
    if (IsReal(z)) {
        double m = std::max(std::abs(z.real()), kTinyMagnitude);
        return {base10 ? std::log10(m) : std::log(m), 0.0};
    }
    Complex l = LogFloored(z);
    return base10 ? Complex(l.real() * kLog10OfE, l.imag() * kLog10OfE) : l;
}

Complex ExprExp(const Complex& z)
{
    double m = ClampedExp(z.real());
    if (IsReal(z)) return {m, 0.0};
    return {m * std::cos(z.imag()), m * std::sin(z.imag())};
}

Complex ExprSqrt(const Complex& z)
{
    if (IsReal(z)) {
        // The principal root of a negative number lies on the positive imaginary axis,
        // whatever the sign of its zero imaginary part.
        if (z.real() >= 0.0) return {std::sqrt(z.real()), 0.0};
        return {0.0, std::sqrt(-z.real())};
    }
    return std::sqrt(z);
}

Complex ExprNegate(const Complex& z)
{
    return {-z.real(), z.imag() == 0.0 ? 0.0 : -z.imag()};
}

Complex ExprPower(const Complex& a, const Complex& b)
{
    if (IsReal(a) && IsReal(b)) {
        if (a.real() < 0.0 && !IsInteger(b.real())) return {0.0, 0.0};
        return {CheckedPow(a.real(), b.real()), 0.0};
    }
    return ExprExp(ExprMultiply(b, LogFloored(a)));
}

double ExprSignedPower(double a, double b)
{
    if (a > 0.0) return CheckedPow(a, b);
    return -CheckedPow(std::abs(a), b);
}

Complex ExprAtan(const Complex& z)
{
    if (IsReal(z)) return {std::atan(z.real()), 0.0};
    // atan z = (j/2)·ln((1 − jz)/(1 + jz))
    const Complex jz(-z.imag(), z.real());
    Complex q = (Complex(1.0, 0.0) - jz) / NonZero(Complex(1.0, 0.0) + jz);
    Complex l = LogFloored(q);
    return CleanParts({-0.5 * l.imag(), 0.5 * l.real()});
}

Complex ExprAtanh(const Complex& z)
{
    if (IsReal(z) && std::abs(z.real()) < 1.0) return {std::atanh(z.real()), 0.0};
    Complex q = (Complex(1.0, 0.0) + z) / NonZero(Complex(1.0, 0.0) - z);
    return CleanParts(0.5 * LogFloored(q));
}

Complex ExprAcosh(const Complex& z)
{
    if (IsReal(z) && z.real() >= 1.0) return {std::acosh(z.real()), 0.0};
    // ln(z + sqrt(z² − 1)) with the root split as sqrt(z + 1)·sqrt(z − 1), which keeps the
    // principal branch for arguments left of the imaginary axis.
    return CleanParts(LogFloored(z + std::sqrt(z + 1.0) * std::sqrt(z - 1.0)));
}

Complex ExprAsinh(const Complex& z)
{
    if (IsReal(z)) return {std::asinh(z.real()), 0.0};
    return CleanParts(LogFloored(z + std::sqrt(z * z + 1.0)));
}

Complex ExprAcos(const Complex& z)
{
    if (IsReal(z) && std::abs(z.real()) <= 1.0) return {std::acos(z.real()), 0.0};
    // acos z = −j·ln(z + j·sqrt(1 − z²))
    Complex s = std::sqrt(1.0 - z * z);
    Complex l = LogFloored(z + Complex(-s.imag(), s.real()));
    return CleanParts({l.imag(), -l.real()});
}

Complex ExprAsin(const Complex& z)
{
    if (IsReal(z) && std::abs(z.real()) <= 1.0) return {std::asin(z.real()), 0.0};
    // asin z = −j·ln(jz + sqrt(1 − z²))
    Complex s = std::sqrt(1.0 - z * z);
    Complex l = LogFloored(Complex(-z.imag(), z.real()) + s);
    return CleanParts({l.imag(), -l.real()});
}

Complex ExprCosh(const Complex& z)
{
    if (IsReal(z)) return {CheckedMathCall("cosh", [&] { return std::cosh(z.real()); }, z.real()), 0.0};
    return std::cosh(z);
}

Complex ExprSinh(const Complex& z)
{
    if (IsReal(z)) return {CheckedMathCall("sinh", [&] { return std::sinh(z.real()); }, z.real()), 0.0};
    return std::sinh(z);
}

Complex ExprTanh(const Complex& z)
{
    if (IsReal(z)) return {std::tanh(z.real()), 0.0};
    return std::tanh(z);
}

Complex ExprCoth(const Complex& z)
{
    return ExprDivide(Complex(1.0, 0.0), ExprTanh(z));
}

double ExprBesselJ(double order, double x)
{
    int n = RoundedOrder(order);
    return CheckedMathCall("jn", [&] { return n == 0 ? ::j0(x) : (n == 1 ? ::j1(x) : ::jn(n, x)); }, x);
}

double ExprBesselY(double order, double x)
{
    int n = RoundedOrder(order);
    double at = x < kBesselYFloor ? kBesselYFloor : x;
    return CheckedMathCall("yn", [&] { return n == 0 ? ::y0(at) : (n == 1 ? ::y1(at) : ::yn(n, at)); }, at);
}

double ExprFactorial(double x)
{
    double n = std::round(x);
    if (n < 0.0) return 0.0;
    double f = 1.0;
    for (double k = 2.0; k <= n && std::isfinite(f); k += 1.0) f *= k;
    return f;
}

double ExprTable(double x, std::span<const double> pairs)
{
    const std::size_t n = pairs.size() / 2;
    if (n == 0) return 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        double x1 = pairs[2 * i], y1 = pairs[2 * i + 1];
        double x2 = pairs[2 * i + 2], y2 = pairs[2 * i + 3];
        if (x < std::min(x1, x2) || x > std::max(x1, x2)) continue;
        if (x1 == x2) return 0.5 * (y1 + y2);
        return y1 + (x - x1) * (y2 - y1) / (x2 - x1);
    }
    std::size_t lo = 0, hi = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (pairs[2 * i] < pairs[2 * lo]) lo = i;
        if (pairs[2 * i] > pairs[2 * hi]) hi = i;
    }
    return x < pairs[2 * lo] ? pairs[2 * lo + 1] : pairs[2 * hi + 1];
}

double ExprStep(double x)
{
    return x >= 0.0 ? 1.0 : 0.0;
}

double ExprImpulseWidth(double argument)
{
    double w = std::abs(argument);
    return w == 0.0 || !std::isfinite(w) ? kImpulseZeroWidth : w;
}

double ExprImpulse(double time, double width)
{
    double w = ExprImpulseWidth(width);
    if (time <= 0.0 || time >= w) return 0.0;
    double half = 0.5 * w;
    double height = 2.0 / w;
    return time <= half ? height * time / half : height * (w - time) / half;
}

void ReduceToReals(const Complex& a, const Complex& b, double& x, double& y)
{
    if (IsReal(a) && IsReal(b)) {
        x = a.real();
        y = b.real();
    } else {
        x = std::hypot(a.real(), a.imag());
        y = std::hypot(b.real(), b.imag());
    }
}

}  // namespace kq5
