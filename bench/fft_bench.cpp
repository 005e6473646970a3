// Times the program's FFT against direct FFTW calls on 2^18 random complex points, forward and
// inverse, and prints the ratios (ours over FFTW's) and how far the results lie apart. FFTW runs
// in place on an interleaved array of its own with plans made beforehand, so its time is that of
// the transforms and the 1/n scaling alone. It runs twice: with the estimating planner that
// ComputeFFT uses (the first ratio), and with a measured plan, the fastest FFTW offers at a
// planning cost of seconds. The first ComputeFFT
// call of the size makes its plan and is left out of the best time.
//
//   fft_bench [repetitions]
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/fft.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

constexpr int kPoints = 1 << 18;

struct Direct {
    fftw_complex* data = nullptr;
    fftw_plan forward = nullptr;
    fftw_plan backward = nullptr;
    double planning = 0.0;
};

Direct MakeDirect(unsigned flags)
{
    Direct d;
    d.data = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * kPoints));
    const auto start = Clock::now();
    d.forward = fftw_plan_dft_1d(kPoints, d.data, d.data, FFTW_FORWARD, flags);
    d.backward = fftw_plan_dft_1d(kPoints, d.data, d.data, FFTW_BACKWARD, flags);
    d.planning = Seconds(start);
    return d;
}

void Free(Direct& d)
{
    fftw_destroy_plan(d.forward);
    fftw_destroy_plan(d.backward);
    fftw_free(d.data);
}

// Forward then inverse (scaled by 1/n as the program's inverse is), timed.
double RunDirect(Direct& d, const std::vector<double>& re, const std::vector<double>& im)
{
    for (int i = 0; i < kPoints; ++i) d.data[i][0] = re[i], d.data[i][1] = im[i];
    const auto start = Clock::now();
    fftw_execute(d.forward);
    fftw_execute(d.backward);
    const double scale = 1.0 / kPoints;
    for (int i = 0; i < kPoints; ++i) d.data[i][0] *= scale, d.data[i][1] *= scale;
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::mt19937_64 random(18);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> re(kPoints), im(kPoints);
    for (int i = 0; i < kPoints; ++i) re[i] = value(random), im[i] = value(random);

    std::vector<double> a = re, b = im;
    auto start = Clock::now();
    kq5::ComputeFFT(kPoints, a, b, kq5::kFftForward);
    const double first = Seconds(start);

    Direct estimated = MakeDirect(FFTW_ESTIMATE);
    Direct measured = MakeDirect(FFTW_MEASURE);
    double ours = 1e30, theirsEstimated = 1e30, theirsMeasured = 1e30;
    for (int r = 0; r < repetitions; ++r) {
        a = re, b = im;
        start = Clock::now();
        kq5::ComputeFFT(kPoints, a, b, kq5::kFftForward);
        kq5::ComputeFFT(kPoints, a, b, kq5::kFftInverse);
        ours = std::min(ours, Seconds(start));
        theirsEstimated = std::min(theirsEstimated, RunDirect(estimated, re, im));
        theirsMeasured = std::min(theirsMeasured, RunDirect(measured, re, im));
    }

    // Agreement: the forward transforms of ours and FFTW's (measured plan), largest difference
    // relative to the largest bin; and the round trip back to the input.
    std::vector<double> roundTripRe = a, roundTripIm = b;
    a = re, b = im;
    kq5::ComputeFFT(kPoints, a, b, kq5::kFftForward);
    for (int i = 0; i < kPoints; ++i) measured.data[i][0] = re[i], measured.data[i][1] = im[i];
    fftw_execute(measured.forward);
    double worst = 0.0, largest = 0.0, roundTrip = 0.0;
    for (int i = 0; i < kPoints; ++i) {
        worst = std::max(worst, std::hypot(a[i] - measured.data[i][0], b[i] - measured.data[i][1]));
        largest = std::max(largest, std::hypot(measured.data[i][0], measured.data[i][1]));
        roundTrip = std::max(roundTrip, std::hypot(roundTripRe[i] - re[i], roundTripIm[i] - im[i]));
    }

    std::printf("FFT of %d points, forward + inverse, best of %d\n", kPoints, repetitions);
    std::printf("  ComputeFFT              %9.3f ms  (first call, planning included: %.3f ms)\n", ours * 1e3,
                first * 1e3);
    std::printf("  FFTW, estimated plan    %9.3f ms  (planning %.3f s)\n", theirsEstimated * 1e3, estimated.planning);
    std::printf("  FFTW, measured plan     %9.3f ms  (planning %.3f s)\n", theirsMeasured * 1e3, measured.planning);
    std::printf("  ratio                   %9.2f (ComputeFFT / FFTW, same planner)\n", ours / theirsEstimated);
    std::printf("  ratio                   %9.2f (ComputeFFT / FFTW, measured plan)\n", ours / theirsMeasured);
    std::printf("  agreement               %9.1e (largest forward difference / largest bin)\n", worst / largest);
    std::printf("  round trip              %9.1e (largest difference from the input)\n", roundTrip);
    Free(estimated);
    Free(measured);
    const bool agrees = worst <= 1e-13 * std::log2(kPoints) * largest && roundTrip <= 1e-12;
    if (!agrees) std::printf("  DISAGREES\n");
    return agrees ? 0 : 1;
}
