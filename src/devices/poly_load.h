#pragma once
// POLY controlled sources (E, F, G and H with polynomial values): the polynomial and its
// partial derivatives in the standard coefficient order, the choice of control values by
// iteration mode, and their set-up and Newton load.
#include <span>
#include <vector>

namespace kq5 {

struct PolySourceDevice;
struct PolyStamps;

// Steps the exponent vector e[1..n] to the next term of the standard POLY order.
void NextExponentVector(std::span<int> exponents, int n);
// x^k by multiplication for k up to 4, else pow.
double PowerOf(double x, int k);
// j = 0: f at the stored control values; j >= 1: df/dx_j. Clamped to 1e-30 .. 1e30 in
// magnitude (0 stays 0).
double PolyValue(const PolySourceDevice& source, const PolyStamps& stamps, int j);

int SetupPolySources();
int LoadPolySources();

}  // namespace kq5
