// The whole-curve Fourier functions on signals whose answers are known: impulses, cosines at a
// bin, Parseval's sum, a transform and its inverse, harmonic amplitudes and distortion, and the
// choice of the point count.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "plots/dsp_functions.h"
#include "core/expr_symbols.h"

namespace kq5 {
namespace {

constexpr int kN = 256;
constexpr double kDt = 1e-3;

struct Signal {
    std::vector<double> re = std::vector<double>(kN, 0.0);
    std::vector<double> im = std::vector<double>(kN, 0.0);
    DspArray Array() { return {re, im}; }
};

DspGrid Grid() { return DspGrid{kN, kDt, 1.0 / (kN * kDt)}; }

Signal Cosine(double amplitude, int bin, double phase = 0.0)
{
    Signal s;
    for (int j = 0; j < kN; ++j) s.re[j] = amplitude * std::cos(2.0 * M_PI * bin * j / kN + phase);
    return s;
}

int Apply(int code, Signal& a, Signal& b) { return ApplyDspFunction(Grid(), code, a.Array(), b.Array()); }
int Apply(int code, Signal& a)
{
    Signal scratch;
    return Apply(code, a, scratch);
}

TEST(DspFunctions, FftOfImpulseIsFlatAndIftBringsItBack)
{
    Signal x, scratch;
    x.re[0] = 1.0;
    ASSERT_EQ(Apply(kOpFft, x), 0);
    for (int k = 0; k < kN; ++k) {
        EXPECT_NEAR(x.re[k], 1.0, 1e-14);
        EXPECT_NEAR(x.im[k], 0.0, 1e-14);
    }
    ASSERT_EQ(Apply(kOpIft, x), 0);
    EXPECT_NEAR(x.re[0], 1.0, 1e-14);
    for (int k = 1; k < kN; ++k) EXPECT_NEAR(std::hypot(x.re[k], x.im[k]), 0.0, 1e-14);

    // A delayed impulse turns the phase by 2 pi k d / N.
    Signal d;
    d.re[5] = 1.0;
    ASSERT_EQ(Apply(kOpFft, d), 0);
    EXPECT_NEAR(std::arg(std::complex<double>(d.re[3], d.im[3])), -2.0 * M_PI * 3 * 5 / kN, 1e-12);
}

TEST(DspFunctions, CosineAtABinLandsInThatBinAndItsMirror)
{
    Signal x = Cosine(2.0, 10);
    ASSERT_EQ(Apply(kOpFft, x), 0);
    for (int k = 0; k < kN; ++k) {
        const double expected = (k == 10 || k == kN - 10) ? kN : 0.0;  // A N / 2 each
        EXPECT_NEAR(std::hypot(x.re[k], x.im[k]), expected, 1e-9) << k;
    }
}

TEST(DspFunctions, InverseOfForwardAndConjugate)
{
    Signal x;
    for (int j = 0; j < kN; ++j) x.re[j] = std::sin(0.1 * j * j), x.im[j] = std::cos(0.03 * j);
    const Signal original = x;
    ASSERT_EQ(Apply(kOpFft, x), 0);
    ASSERT_EQ(Apply(kOpIft, x), 0);
    for (int j = 0; j < kN; ++j) {
        EXPECT_NEAR(x.re[j], original.re[j], 1e-13);
        EXPECT_NEAR(x.im[j], original.im[j], 1e-13);
    }
    ASSERT_EQ(Apply(kOpConj, x), 0);
    for (int j = 0; j < kN; ++j) EXPECT_NEAR(x.im[j], -original.im[j], 1e-13);
}

TEST(DspFunctions, HarmonicsGiveTheAmplitudeAtItsBin)
{
    Signal x = Cosine(3.5, 7);
    for (int j = 0; j < kN; ++j) x.re[j] += 0.25;  // and a DC part
    ASSERT_EQ(Apply(kOpHarm, x), 0);
    EXPECT_NEAR(x.re[0], 0.25, 1e-12);
    EXPECT_NEAR(std::hypot(x.re[7], x.im[7]), 3.5, 1e-12);
    EXPECT_NEAR(std::hypot(x.re[8], x.im[8]), 0.0, 1e-12);
    // A sine is a cosine turned by -90 degrees; HARM negates the imaginary part, so +90.
    Signal s = Cosine(1.0, 4, -M_PI / 2);
    ASSERT_EQ(Apply(kOpHarm, s), 0);
    EXPECT_NEAR(std::arg(std::complex<double>(s.re[4], s.im[4])), M_PI / 2, 1e-12);
}

// Parseval: AS sums to dt^2 N sum |x|^2, AC at lag 0 is dt sum |x|^2, and PSD is power per hertz.
TEST(DspFunctions, AutoPowerAndCorrelationKeepParseval)
{
    Signal x;
    double energy = 0.0;
    for (int j = 0; j < kN; ++j) {
        x.re[j] = std::exp(-0.05 * j) * std::sin(0.4 * j);
        energy += x.re[j] * x.re[j];
    }
    Signal as = x, ac = x, psd = x;
    ASSERT_EQ(Apply(kOpAs, as), 0);
    double power = 0.0;
    for (int k = 0; k < kN; ++k) {
        power += as.re[k];
        EXPECT_NEAR(as.im[k], 0.0, 1e-18);
        EXPECT_GE(as.re[k], -1e-18);
    }
    EXPECT_NEAR(power, kDt * kDt * kN * energy, 1e-12 * power);
    ASSERT_EQ(Apply(kOpAc, ac), 0);
    EXPECT_NEAR(ac.re[0], kDt * energy, 1e-15);
    for (int k = 1; k < kN; ++k) EXPECT_LE(ac.re[k], ac.re[0] + 1e-15);
    ASSERT_EQ(Apply(kOpPsd, psd), 0);
    // The density summed over the frequency step 1 / (N dt) is the mean square of the signal.
    double integral = 0.0;
    for (int k = 0; k < kN; ++k) integral += psd.re[k] * Grid().df;
    EXPECT_NEAR(integral, energy / kN, 1e-15);
}

TEST(DspFunctions, CrossFunctionsOfASignalWithItselfAreTheAutoFunctions)
{
    Signal x = Cosine(1.0, 3);
    for (int j = 0; j < kN; ++j) x.re[j] += 0.2 * std::sin(0.7 * j);
    Signal cs = x, csY = x, as = x, cc = x, ccY = x, ac = x;
    ASSERT_EQ(Apply(kOpCs, cs, csY), 0);
    ASSERT_EQ(Apply(kOpAs, as), 0);
    ASSERT_EQ(Apply(kOpCc, cc, ccY), 0);
    ASSERT_EQ(Apply(kOpAc, ac), 0);
    for (int k = 0; k < kN; ++k) {
        EXPECT_NEAR(cs.re[k], as.re[k], 1e-15);
        EXPECT_NEAR(cc.re[k], ac.re[k], 1e-15);
    }
    // The cross correlation of an impulse with a delayed one peaks at the delay.
    Signal a, b;
    a.re[0] = 1.0;
    b.re[kN - 9] = 1.0;  // y[j] = x[j - 9] circularly: CC(x, y) peaks at lag 9
    ASSERT_EQ(Apply(kOpCc, a, b), 0);
    int peak = 0;
    for (int k = 0; k < kN; ++k)
        if (a.re[k] > a.re[peak]) peak = k;
    EXPECT_EQ(peak, 9);
    EXPECT_NEAR(a.re[9], kDt, 1e-15);
}

// The coherence used to divide by sqrt(a^2 + b^2), so that COH(x, x) peaked at 1/sqrt(2): it
// divides by sqrt(a b) and peaks at 1.
TEST(DspFunctions, CoherenceOfASignalWithItselfPeaksAtOne)
{
    Signal x = Cosine(3.0, 5);
    for (int j = 0; j < kN; ++j) x.re[j] += 0.1 * std::sin(1.3 * j);
    Signal y = x;
    ASSERT_EQ(Apply(kOpCoh, x, y), 0);
    EXPECT_NEAR(x.re[0], 1.0, 1e-12);
    for (int k = 0; k < kN; ++k) {
        EXPECT_LE(x.re[k], 1.0 + 1e-12);
        EXPECT_EQ(x.im[k], 0.0);
    }
    // Scaling either operand leaves the coherence alone.
    Signal u = Cosine(1.0, 5), v = Cosine(40.0, 5);
    ASSERT_EQ(Apply(kOpCoh, u, v), 0);
    EXPECT_NEAR(u.re[0], 1.0, 1e-12);
}

TEST(DspFunctions, CmulMultipliesPointByPoint)
{
    Signal a, b;
    for (int j = 0; j < kN; ++j) a.re[j] = j, a.im[j] = 1.0, b.re[j] = 2.0, b.im[j] = -j;
    ASSERT_EQ(Apply(kOpCmul, a, b), 0);
    for (int j = 0; j < kN; ++j) {
        const std::complex<double> want = std::complex<double>(j, 1.0) * std::complex<double>(2.0, -j);
        EXPECT_DOUBLE_EQ(a.re[j], want.real());
        EXPECT_DOUBLE_EQ(a.im[j], want.imag());
    }
}

// A fundamental of 1 with a third harmonic of 0.1: the cumulative distortion reaches 10 %.
TEST(DspFunctions, DistortionOfATenthThirdHarmonicIsTenPercent)
{
    constexpr int kBin = 4;
    Signal x = Cosine(1.0, kBin);
    const Signal third = Cosine(0.1, 3 * kBin);
    for (int j = 0; j < kN; ++j) x.re[j] += third.re[j];
    ASSERT_EQ(Apply(kOpHarm, x), 0);

    // One argument: the fundamental is bin 1.
    Signal one = Cosine(1.0, 1);
    const Signal thirdOfOne = Cosine(0.1, 3);
    for (int j = 0; j < kN; ++j) one.re[j] += thirdOfOne.re[j];
    ASSERT_EQ(Apply(kOpHarm, one), 0);
    ASSERT_EQ(Apply(kOpThd, one), 0);
    EXPECT_NEAR(one.re[2], 0.0, 1e-9);
    EXPECT_NEAR(one.re[3], 10.0, 1e-9);
    EXPECT_NEAR(one.re[kN / 2], 10.0, 1e-9);

    // With the fundamental's frequency as the second operand.
    Signal fundamental;
    fundamental.re[1] = kBin * Grid().df;
    Signal thd = x;
    ASSERT_EQ(Apply(kOpThd, thd, fundamental), 0);
    EXPECT_NEAR(thd.re[3 * kBin - 1], 0.0, 1e-9);
    EXPECT_NEAR(thd.re[3 * kBin], 10.0, 1e-9);
    EXPECT_NEAR(thd.re[kN / 2], 10.0, 1e-9);
    EXPECT_EQ(thd.re[kN / 2 + 1], 0.0);
    for (int k = 0; k <= kBin; ++k) EXPECT_EQ(thd.re[k], 0.0);
}

TEST(DspFunctions, WholeCurveParts)
{
    Signal x;
    x.re[0] = 3.0, x.im[0] = 4.0;
    Signal re = x, im = x, mag = x, ph = x;
    ASSERT_EQ(Apply(kOpSpectralRe, re), 0);
    ASSERT_EQ(Apply(kOpSpectralIm, im), 0);
    ASSERT_EQ(Apply(kOpSpectralMag, mag), 0);
    ASSERT_EQ(Apply(kOpSpectralPh, ph), 0);
    EXPECT_EQ(re.re[0], 3.0);
    EXPECT_EQ(re.im[0], 0.0);
    EXPECT_EQ(im.re[0], 4.0);
    EXPECT_EQ(mag.re[0], 5.0);
    EXPECT_NEAR(ph.re[0], std::atan2(4.0, 3.0) * 180.0 / M_PI, 1e-12);
}

TEST(DspFunctions, BadPointCountIsRefusedNotScrambled)
{
    std::vector<double> re(100, 1.0), im(100, 0.0);
    const DspGrid grid{100, kDt, 10.0};
    EXPECT_NE(ApplyDspFunction(grid, kOpFft, {re, im}, {re, im}), 0);
    EXPECT_EQ(re, std::vector<double>(100, 1.0));
}

TEST(DspFunctions, PointCountChoice)
{
    EXPECT_EQ(NearestDspPointCount(1500), 1024);
    EXPECT_EQ(NearestDspPointCount(1536), 1024);  // a tie keeps the smaller
    EXPECT_EQ(NearestDspPointCount(1537), 2048);
    EXPECT_EQ(NearestDspPointCount(40), 64);
    EXPECT_EQ(NearestDspPointCount(3), 64);
    EXPECT_EQ(NearestDspPointCount(10000000), 262144);
    EXPECT_EQ(ClampDspPointCount(1024.9), 1024);
    EXPECT_EQ(ClampDspPointCount(10.0), 64);
    EXPECT_EQ(ClampDspPointCount(1e9), 262144);
    EXPECT_EQ(ClampDspPointCount(std::nan("")), 64);
}

}  // namespace
}  // namespace kq5
