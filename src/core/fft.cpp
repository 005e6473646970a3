#include "core/fft.h"

#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;
constexpr double kPi = 3.14159265358979323846;

}  // namespace

int ComputeFFT(int n, std::span<double> re, std::span<double> im, int direction)
{
    // The bit reversal below walks indices up to n - 1 and assumes every halving of n is
    // exact; any other size would swap the wrong points (or points past the arrays).
    if (!IsPowerOfTwo(n) || re.size() < static_cast<std::size_t>(n) || im.size() < static_cast<std::size_t>(n))
        return kMsgFftPointCount;
    const auto count = static_cast<std::size_t>(n);
    std::vector<double> sines;
    std::vector<double> cosines;
    try {
        sines.resize(count + 1);
        cosines.resize(count + 1);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    const bool inverse = direction == kFftInverse;
    if (inverse) {
        const double scale = static_cast<double>(n);
        for (std::size_t i = 0; i < count; ++i) {
            re[i] /= scale;
            im[i] /= scale;
        }
    }
    const double sign = inverse ? 1.0 : -1.0;

    // Bit-reversal permutation, decimation in time.
    for (std::size_t i = 0, j = 0; i + 1 < count; ++i) {
        if (j > i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        std::size_t k = count / 2;
        while (k >= 1 && k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }

    // The butterflies only ever use the first half of the tables.
    const double theta = 2.0 * kPi / static_cast<double>(n);
    for (std::size_t k = 0; k < count / 2; ++k) {
        sines[k] = sign * std::sin(static_cast<double>(k) * theta);
        cosines[k] = std::cos(static_cast<double>(k) * theta);
    }

    // Each stage's butterflies are independent of each other, so they run block by block
    // (neighbouring memory) rather than twiddle by twiddle; every value gets the same
    // operations in the same order either way.
    for (std::size_t span = 2; span <= count; span *= 2) {
        const std::size_t half = span / 2;
        const std::size_t stride = count / span;
        for (std::size_t block = 0; block < count; block += span) {
            // j = 0: the twiddle is 1.
            {
                const std::size_t i = block, p = block + half;
                const double tr = re[p], ti = im[p];
                re[p] = re[i] - tr;
                im[p] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
            for (std::size_t j = 1; j < half; ++j) {
                const double c = cosines[j * stride];
                const double s = sines[j * stride];
                const std::size_t i = block + j, p = i + half;
                const double tr = re[p] * c - im[p] * s;
                const double ti = re[p] * s + im[p] * c;
                re[p] = re[i] - tr;
                im[p] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
        }
    }
    return 0;
}

}  // namespace kq5
