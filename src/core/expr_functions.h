#pragma once
// The arithmetic of the expression language over complex values: the functions and
// operators that the evaluator applies and that the compiler's constant folding shares.
// Real arguments (imaginary part 0) take the real paths; the rules that keep evaluation
// free of faults (logarithm floor, divisor floor, exponent clamp) live here.
#include <complex>
#include <cstdint>
#include <span>

namespace kq5 {

using Complex = std::complex<double>;

inline constexpr double kDegreesPerRadian = 57.29577951308232;
inline constexpr double kInverseTwoPi = 0.1591549430918954;
inline constexpr double kLog10OfE = 0.4342944819032518;
inline constexpr double kTinyMagnitude = 1e-50;   // floor of logarithms and divisors
inline constexpr double kSinClamp = 1e8;
inline constexpr double kCoreFieldScale = 79.57747154594767;

inline bool IsReal(const Complex& z)
{
    return z.imag() == 0.0;
}

// Modulus, or the absolute value of a real number.
double ExprMagnitude(const Complex& z);
// 20·log10 of the modulus (floored at 1e-50).
double ExprDecibels(const Complex& z);
double ExprSign(double x);
// Phase in degrees; atan2(0, 0) is 0.
double ExprPhaseDegrees(const Complex& z);

Complex ExprMultiply(const Complex& a, const Complex& b);
// Quotient; a zero divisor (or a complex one of zero modulus) is replaced by 1e-50.
Complex ExprDivide(const Complex& a, const Complex& b);
// Quotient of generated code: a zero divisor gives 0.
Complex ExprSafeDivide(const Complex& a, const Complex& b);
// a/b truncated toward zero (divisor floor as for division).
double ExprDivTruncated(double a, double b);
// The floating remainder; a zero divisor raises the invalid-operation fault.
double ExprModulo(double a, double b);

double ExprSin(double x);
double ExprCos(double x);
double ExprTan(double x);
// Natural or base-10 logarithm; magnitudes below 1e-50 are raised to it first.
Complex ExprLog(const Complex& z, bool base10);
// exp with the real part clamped to -150..150.
Complex ExprExp(const Complex& z);
// Square root; negative or complex arguments give the principal complex root.
Complex ExprSqrt(const Complex& z);
// Negates both parts; a real value stays real (no negative zero imaginary part).
Complex ExprNegate(const Complex& z);
// a ** b: a real negative base with a non-integer exponent gives 0; complex operands use
// exp(b·ln a).
Complex ExprPower(const Complex& a, const Complex& b);
// a^b for a > 0; the negated power of |a| for a <= 0.
double ExprSignedPower(double a, double b);

// Inverse functions through the complex logarithm; real arguments inside the real domain
// use the real functions.
Complex ExprAtan(const Complex& z);
Complex ExprAtanh(const Complex& z);
Complex ExprAcosh(const Complex& z);
Complex ExprAsinh(const Complex& z);
Complex ExprAcos(const Complex& z);
Complex ExprAsin(const Complex& z);

Complex ExprCosh(const Complex& z);
Complex ExprSinh(const Complex& z);
Complex ExprTanh(const Complex& z);
Complex ExprCoth(const Complex& z);

// Bessel functions of the first (J) and second (Y) kind of the order (rounded; orders
// below 1 use order 0) at x; Y arguments below 1e-15 are raised to it.
double ExprBesselJ(double order, double x);
double ExprBesselY(double order, double x);
// n! of the rounded argument; 0 for a negative argument.
double ExprFactorial(double x);

// Linear interpolation through (x1, y1), (x2, y2), ... as TABLE does it.
double ExprTable(double x, std::span<const double> pairs);
// 1 for x >= 0, else 0.
double ExprStep(double x);
// A unit-area triangular pulse of the time, `width` seconds wide, starting at time 0.
double ExprImpulse(double time, double width);
// The width IMPULSE uses for an argument (a zero width is replaced by 1e-9).
double ExprImpulseWidth(double argument);

// Comparisons and logic reduce both operands to reals: their real parts when both are
// real, else their moduli.
void ReduceToReals(const Complex& a, const Complex& b, double& x, double& y);

}  // namespace kq5
