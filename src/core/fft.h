#pragma once
// In-place Fourier transform of n complex points held as separate real and imaginary arrays
// (n a power of two), computed by FFTW. The inverse transform divides by n and uses
// e^(+j2pi km/n); the forward one uses e^(-j2pi km/n) without scaling. The DSP pass after a run
// and the Laplace sources share it.
#include <span>

namespace kq5 {

inline constexpr int kFftForward = '0';
inline constexpr int kFftInverse = '1';

// "The number of data points must be a power of 2 ...": what a transform of any other size
// (or of arrays shorter than n) answers, with nothing changed.
inline constexpr int kMsgFftPointCount = 10148;

// 0; 15002 when the working memory or FFTW's plan cannot be made; kMsgFftPointCount when n is not a power of
// two or either array holds fewer than n values. direction kFftInverse asks for the inverse;
// any other value for the forward transform.
int ComputeFFT(int n, std::span<double> real, std::span<double> imaginary, int direction);

// Whether n is 1, 2, 4, ...
constexpr bool IsPowerOfTwo(long long n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace kq5
