// Times the program's FFT against FFTW on 2^18 random complex points, forward and inverse,
// and prints the ratio of the two (ours over FFTW's). FFTW runs with a measured plan made
// beforehand, so its time is that of the transform alone; ours includes the twiddle tables it
// makes on every call, as the DSP pass and the Laplace sources call it.
//
//   fft_bench [repetitions]
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/fft.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv)
{
    constexpr int kPoints = 1 << 18;
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::mt19937_64 random(18);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> re(kPoints), im(kPoints);
    for (int i = 0; i < kPoints; ++i) re[i] = value(random), im[i] = value(random);

    auto* data = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * kPoints));
    fftw_plan forward = fftw_plan_dft_1d(kPoints, data, data, FFTW_FORWARD, FFTW_MEASURE);
    fftw_plan backward = fftw_plan_dft_1d(kPoints, data, data, FFTW_BACKWARD, FFTW_MEASURE);

    double ours = 1e30, theirs = 1e30;
    for (int r = 0; r < repetitions; ++r) {
        std::vector<double> a = re, b = im;
        auto start = Clock::now();
        kq5::ComputeFFT(kPoints, a, b, kq5::kFftForward);
        kq5::ComputeFFT(kPoints, a, b, kq5::kFftInverse);
        ours = std::min(ours, Seconds(start));

        for (int i = 0; i < kPoints; ++i) data[i][0] = re[i], data[i][1] = im[i];
        start = Clock::now();
        fftw_execute(forward);
        fftw_execute(backward);
        // The program's inverse scales by 1/n; FFTW leaves it to the caller.
        const double scale = 1.0 / kPoints;
        for (int i = 0; i < kPoints; ++i) data[i][0] *= scale, data[i][1] *= scale;
        theirs = std::min(theirs, Seconds(start));
    }
    std::printf("FFT of %d points, forward + inverse, best of %d\n", kPoints, repetitions);
    std::printf("  ComputeFFT  %9.3f ms\n", ours * 1e3);
    std::printf("  FFTW        %9.3f ms\n", theirs * 1e3);
    std::printf("  ratio       %9.2f (ComputeFFT / FFTW)\n", ours / theirs);
    fftw_destroy_plan(forward);
    fftw_destroy_plan(backward);
    fftw_free(data);
    return 0;
}
