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
    if (n < 2 || (n & (n - 1)) != 0 || re.size() < static_cast<std::size_t>(n) || im.size() < static_cast<std::size_t>(n))
        return 0;
    const auto count = static_cast<std::size_t>(n);
    const bool inverse = direction == kFftInverse;
    std::vector<double> cosines;
    std::vector<double> sines;
    try {
        cosines.resize(count / 2);
        sines.resize(count / 2);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    const double sign = inverse ? 1.0 : -1.0;
    for (std::size_t k = 0; k < count / 2; ++k) {
        const double angle = 2.0 * kPi * static_cast<double>(k) / static_cast<double>(n);
        cosines[k] = std::cos(angle);
        sines[k] = sign * std::sin(angle);
    }
    if (inverse) {
        const double scale = 1.0 / static_cast<double>(n);
        for (std::size_t i = 0; i < count; ++i) {
            re[i] *= scale;
            im[i] *= scale;
        }
    }
    for (std::size_t i = 1, j = 0; i < count; ++i) {
        std::size_t bit = count >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (std::size_t length = 2; length <= count; length <<= 1) {
        const std::size_t half = length / 2;
        const std::size_t stride = count / length;
        for (std::size_t start = 0; start < count; start += length) {
            for (std::size_t k = 0; k < half; ++k) {
                const double wr = cosines[k * stride];
                const double wi = sines[k * stride];
                const std::size_t a = start + k;
                const std::size_t b = a + half;
                const double tr = re[b] * wr - im[b] * wi;
                const double ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
    return 0;
}

}  // namespace kq5
