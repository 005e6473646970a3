// The program's transform against FFTW on random vectors of every size the DSP pass accepts,
// and the sizes it refuses.
#include <gtest/gtest.h>
#include <fftw3.h>

#include <cmath>
#include <random>
#include <span>
#include <vector>

#include "core/fft.h"

namespace kq5 {
namespace {

// FFTW's transform of (re, im) in the given direction, unscaled.
void ReferenceTransform(std::vector<double>& re, std::vector<double>& im, int sign)
{
    const int n = static_cast<int>(re.size());
    auto* data = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * re.size()));
    fftw_plan plan = fftw_plan_dft_1d(n, data, data, sign, FFTW_ESTIMATE);
    for (std::size_t i = 0; i < re.size(); ++i) data[i][0] = re[i], data[i][1] = im[i];
    fftw_execute(plan);
    for (std::size_t i = 0; i < re.size(); ++i) re[i] = data[i][0], im[i] = data[i][1];
    fftw_destroy_plan(plan);
    fftw_free(data);
}

double LargestMagnitude(const std::vector<double>& re, const std::vector<double>& im)
{
    double m = 0.0;
    for (std::size_t i = 0; i < re.size(); ++i) m = std::max(m, std::hypot(re[i], im[i]));
    return m;
}

TEST(FftReference, ForwardAndInverseMatchFftwFrom64To262144Points)
{
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int n = 64; n <= 262144; n *= 2) {
        std::vector<double> re(static_cast<std::size_t>(n)), im(re.size());
        for (std::size_t i = 0; i < re.size(); ++i) re[i] = value(random), im[i] = value(random);
        for (int direction : {kFftForward, kFftInverse}) {
            std::vector<double> ours_re = re, ours_im = im, ref_re = re, ref_im = im;
            ASSERT_EQ(ComputeFFT(n, ours_re, ours_im, direction), 0);
            ReferenceTransform(ref_re, ref_im, direction == kFftInverse ? FFTW_BACKWARD : FFTW_FORWARD);
            if (direction == kFftInverse)
                for (std::size_t i = 0; i < re.size(); ++i) ref_re[i] /= n, ref_im[i] /= n;
            // Round-off of a radix-2 transform grows like log n relative to the largest bin.
            const double tolerance = 1e-13 * std::log2(n) * LargestMagnitude(ref_re, ref_im);
            double worst = 0.0;
            for (std::size_t i = 0; i < re.size(); ++i)
                worst = std::max(worst, std::hypot(ours_re[i] - ref_re[i], ours_im[i] - ref_im[i]));
            EXPECT_LE(worst, tolerance) << "n " << n << " direction " << static_cast<char>(direction);
        }
    }
}

// FFTW's plans are tied to the alignment of the arrays they were made for: arrays that start
// one element into their storage get plans of their own and the same transform.
TEST(FftReference, ArraysStartingAtAnyElementTransformAlike)
{
    constexpr int n = 4096;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> re(n + 1), im(n + 1);
    for (std::size_t i = 0; i < re.size(); ++i) re[i] = value(random), im[i] = value(random);
    for (int direction : {kFftForward, kFftInverse}) {
        std::vector<double> alignedRe(re.begin() + 1, re.end()), alignedIm(im.begin() + 1, im.end());
        std::vector<double> shiftedRe = re, shiftedIm = im;
        ASSERT_EQ(ComputeFFT(n, alignedRe, alignedIm, direction), 0);
        ASSERT_EQ(ComputeFFT(n, std::span(shiftedRe).subspan(1), std::span(shiftedIm).subspan(1), direction), 0);
        const double tolerance = 1e-13 * std::log2(n) * LargestMagnitude(alignedRe, alignedIm);
        for (std::size_t i = 0; i < alignedRe.size(); ++i) {
            ASSERT_NEAR(shiftedRe[i + 1], alignedRe[i], tolerance) << i;
            ASSERT_NEAR(shiftedIm[i + 1], alignedIm[i], tolerance) << i;
        }
    }
}

TEST(FftReference, OnesGiveOneBinAndComeBack)
{
    std::vector<double> re(64, 1.0), im(64, 0.0);
    ASSERT_EQ(ComputeFFT(64, re, im, kFftForward), 0);
    EXPECT_DOUBLE_EQ(re[0], 64.0);
    for (std::size_t k = 1; k < re.size(); ++k) {
        EXPECT_NEAR(re[k], 0.0, 1e-12);
        EXPECT_NEAR(im[k], 0.0, 1e-12);
    }
    ASSERT_EQ(ComputeFFT(64, re, im, kFftInverse), 0);
    for (std::size_t k = 0; k < re.size(); ++k) EXPECT_NEAR(re[k], 1.0, 1e-14);
}

TEST(FftReference, AnyDirectionButInverseIsForward)
{
    std::vector<double> a(128), b(128, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = std::sin(0.37 * static_cast<double>(i * i));
    std::vector<double> c = a, d = b;
    ASSERT_EQ(ComputeFFT(128, a, b, kFftForward), 0);
    ASSERT_EQ(ComputeFFT(128, c, d, 'x'), 0);
    EXPECT_EQ(a, c);
    EXPECT_EQ(b, d);
}

// A size that is not a power of two used to return success with the data untouched (and the
// algorithm's bit reversal would have scrambled it): it is refused now, data unchanged.
TEST(FftReference, RefusesSizesThatAreNotPowersOfTwo)
{
    for (int n : {0, -8, 3, 96, 1000, 1536}) {
        std::vector<double> re(2048, 1.0), im(2048, 0.5);
        EXPECT_EQ(ComputeFFT(n, re, im, kFftForward), kMsgFftPointCount) << n;
        EXPECT_EQ(re, std::vector<double>(2048, 1.0));
        EXPECT_EQ(im, std::vector<double>(2048, 0.5));
    }
    std::vector<double> shortRe(32), shortIm(64);
    EXPECT_EQ(ComputeFFT(64, shortRe, shortIm, kFftForward), kMsgFftPointCount);
}

}  // namespace
}  // namespace kq5
