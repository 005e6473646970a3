#pragma once
// In-place radix-2 Fourier transform of n complex points held as separate real and imaginary
// arrays (n a power of two). The inverse transform divides by n and uses e^(+j2pi km/n); the
// forward one uses e^(-j2pi km/n) without scaling.
#include <span>

namespace kq5 {

inline constexpr int kFftInverse = '1';

// 0, or 15002 when the twiddle table cannot be made. direction kFftInverse asks for the
// inverse; any other value for the forward transform. n must be a power of two no larger
// than either array.
int ComputeFFT(int n, std::span<double> real, std::span<double> imaginary, int direction);

}  // namespace kq5
