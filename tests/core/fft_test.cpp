// The radix-2 transform against the defining sums, forward and inverse, and the round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "core/fft.h"

namespace kq5 {
namespace {

std::vector<std::complex<double>> DirectTransform(const std::vector<std::complex<double>>& x, double sign)
{
    const std::size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t m = 0; m < n; ++m)
            out[k] += x[m] * std::polar(1.0, sign * 2.0 * M_PI * static_cast<double>(k * m) / static_cast<double>(n));
    return out;
}

TEST(Fft, MatchesTheDefiningSumsBothWays)
{
    for (int n : {2, 8, 64, 256}) {
        std::vector<std::complex<double>> x(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = {std::sin(0.3 * i) + 0.1 * i, std::cos(1.7 * i)};
        std::vector<double> re(x.size()), im(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) re[i] = x[i].real(), im[i] = x[i].imag();
        ASSERT_EQ(ComputeFFT(n, re, im, 0), 0);
        const auto forward = DirectTransform(x, -1.0);
        for (std::size_t k = 0; k < x.size(); ++k) {
            EXPECT_NEAR(re[k], forward[k].real(), 1e-9 * n) << n << " " << k;
            EXPECT_NEAR(im[k], forward[k].imag(), 1e-9 * n) << n << " " << k;
        }
        // The inverse divides by n and turns the kernel round: back to the input.
        ASSERT_EQ(ComputeFFT(n, re, im, kFftInverse), 0);
        for (std::size_t k = 0; k < x.size(); ++k) {
            EXPECT_NEAR(re[k], x[k].real(), 1e-12 * n);
            EXPECT_NEAR(im[k], x[k].imag(), 1e-12 * n);
        }
        // The inverse alone is the conjugate-kernel sum over n.
        for (std::size_t i = 0; i < x.size(); ++i) re[i] = x[i].real(), im[i] = x[i].imag();
        ASSERT_EQ(ComputeFFT(n, re, im, kFftInverse), 0);
        const auto inverse = DirectTransform(x, 1.0);
        for (std::size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(re[k], inverse[k].real() / n, 1e-12 * n);
    }
}

}  // namespace
}  // namespace kq5
