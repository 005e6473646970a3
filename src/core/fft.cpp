#include "core/fft.h"

#include <fftw3.h>

#if defined(__x86_64__)
#include <immintrin.h>
#define KQ5_FFT_X86 1
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

// The transform works in the caller's two arrays, without an interleaved copy of the data.
// Each array, read as n/2 interleaved complex values (even samples real, odd samples
// imaginary), is transformed in place by FFTW at half the size; one pass then takes the two
// half-size spectra apart into the spectra of the real and the imaginary parts (the usual
// real-input split) and adds them up as the spectrum of the complex input, writing it back
// split. Against copying into one interleaved buffer and out again this saves a pass over the
// data each way and the buffer itself, and FFTW's half-size transforms keep closer to the cache.
//
// The inverse transform is the forward one with the two arrays swapped: swapping real and
// imaginary parts on the way in and out turns e^(-j2pi km/n) into e^(+j2pi km/n).

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;

struct PlanDeleter {
    void operator()(fftw_plan_s* plan) const { fftw_destroy_plan(plan); }
};
using Plan = std::unique_ptr<fftw_plan_s, PlanDeleter>;

// e^(-j2pi k/n) for k < n/4, the only twiddles the split pass uses.
struct Twiddles {
    std::vector<double> re, im;
};

// FFTW's planner keeps global state and is not safe to call from two threads at once; running a
// finished plan is. Plans are kept per half size and per alignment of the array (a plan may only
// run on arrays aligned as the ones it was made for) and live as long as the program, so only
// the first transform of a size pays for planning. The estimating planner is used: it answers at
// once without touching the arrays, where a measured plan of the largest DSP size takes seconds,
// and it picks the same plan on every run, so a circuit gives the same numbers bit for bit each
// time it is simulated. The twiddle tables are made under the same lock and never change after.
std::mutex planMutex;
std::map<std::pair<int, int>, Plan> plans;
std::map<int, Twiddles> twiddleTables;

// The in-place forward plan of n/2 complex points for arrays aligned as data; nullptr when FFTW
// cannot make one.
fftw_plan HalfPlanFor(int half, double* data)
{
    const int alignment = fftw_alignment_of(data);
    std::lock_guard lock(planMutex);
    auto found = plans.find({half, alignment});
    if (found != plans.end()) return found->second.get();
    auto* complex = reinterpret_cast<fftw_complex*>(data);
    Plan plan(fftw_plan_dft_1d(half, complex, complex, FFTW_FORWARD, FFTW_ESTIMATE));
    if (!plan) return nullptr;
    return plans.emplace(std::pair{half, alignment}, std::move(plan)).first->second.get();
}

// The twiddles of size n (n >= 4). Angles past an eighth of a turn are taken from the
// complementary angle so that every argument of sin and cos stays small and exact to rounding.
const Twiddles& TwiddlesOf(int n)
{
    std::lock_guard lock(planMutex);
    auto found = twiddleTables.find(n);
    if (found != twiddleTables.end()) return found->second;
    Twiddles table;
    const int quarter = n / 4;
    table.re.resize(static_cast<std::size_t>(quarter));
    table.im.resize(static_cast<std::size_t>(quarter));
    const double twoPi = 2.0 * M_PI;
    for (int k = 0; k < quarter; ++k) {
        double c = 0.0, s = 0.0;
        if (k <= n / 8) {
            const double angle = twoPi * (static_cast<double>(k) / n);
            c = std::cos(angle), s = std::sin(angle);
        } else {
            const double angle = twoPi * (static_cast<double>(quarter - k) / n);
            c = std::sin(angle), s = std::cos(angle);
        }
        table.re[static_cast<std::size_t>(k)] = c;
        table.im[static_cast<std::size_t>(k)] = -s;
    }
    return twiddleTables.emplace(n, std::move(table)).first->second;
}

// Where the split pass reads the half-size spectra: a and b hold positions from `first` on
// (the caller's arrays, or a saved copy of part of them).
struct Source {
    const double* a;
    const double* b;
    std::size_t first;
};

// The split pass for one pair of bins k and n/2 - k (0 < k < n/4). With Za, Zb the half-size
// spectra of the two arrays and w = e^(-j2pi k/n), the real part's spectrum is
// Fa[k] = (Za[k] + conj Za[h-k])/2 + w (Za[k] - conj Za[h-k])/(2j) and
// Fa[k+h] the same with -w (h = n/2); the other two bins of the group, h-k and n-k, are their
// conjugates. The halves are left out here and folded into `half` (an exact factor of two).
// Output bin m is Fa[m] + j Fb[m]. It writes positions k, n-k, h+k and h-k of both arrays.
struct PartBins {
    double kr, ki, hr, hi;  // bins k and h+k, doubled
};

// Bins k and h+k of one part's spectrum from its half-size bins P = Z[k] and Q = Z[h-k].
inline PartBins PartSpectrum(double pr, double pi, double qr, double qi, double wr, double wi)
{
    const double er = pr + qr, ei = pi - qi, odr = pi + qi, odi = qr - pr;
    const double tr = wr * odr - wi * odi, ti = wr * odi + wi * odr;
    return {er + tr, ei + ti, er - tr, ei - ti};
}

inline void SplitOne(const Source& in, double* re, double* im, const Twiddles& tw, std::size_t n, std::size_t k,
                     double half)
{
    const std::size_t h = n / 2, p = 2 * k - in.first, q = n - 2 * k - in.first;
    const double wr = tw.re[k], wi = tw.im[k];
    const PartBins f = PartSpectrum(in.a[p], in.a[p + 1], in.a[q], in.a[q + 1], wr, wi);
    const PartBins g = PartSpectrum(in.b[p], in.b[p + 1], in.b[q], in.b[q + 1], wr, wi);
    re[k] = half * (f.kr - g.ki), im[k] = half * (f.ki + g.kr);
    re[n - k] = half * (f.kr + g.ki), im[n - k] = half * (g.kr - f.ki);
    re[h + k] = half * (f.hr - g.hi), im[h + k] = half * (f.hi + g.hr);
    re[h - k] = half * (f.hr + g.hi), im[h - k] = half * (g.hr - f.hi);
}

#ifdef KQ5_FFT_X86
// Four complex values from eight interleaved doubles at x as four reals and four imaginaries,
// in rising order or, when descending, in falling order.
__attribute__((target("avx"))) inline void SplitFour(const double* x, bool descending, __m256d& r, __m256d& i)
{
    __m256d low = _mm256_loadu_pd(x), high = _mm256_loadu_pd(x + 4);
    if (descending) std::swap(low, high);
    const __m256d first = _mm256_permute2f128_pd(low, high, 0x20);   // values 0 and 2 (descending: 2 and 0)
    const __m256d second = _mm256_permute2f128_pd(low, high, 0x31);  // values 1 and 3 (descending: 3 and 1)
    r = descending ? _mm256_unpacklo_pd(second, first) : _mm256_unpacklo_pd(first, second);
    i = descending ? _mm256_unpackhi_pd(second, first) : _mm256_unpackhi_pd(first, second);
}

__attribute__((target("avx"))) inline __m256d Reversed(__m256d x)
{
    return _mm256_permute_pd(_mm256_permute2f128_pd(x, x, 1), 5);
}

struct PartBinsAvx {
    __m256d kr, ki, hr, hi;
};

// PartSpectrum for bins k..k+3 of the part at x, read at positions p (bins k..k+3) and q (their
// mirrors h-k-3..h-k, which lie in memory the other way round).
__attribute__((target("avx"))) inline PartBinsAvx PartSpectrumAvx(const double* x, std::size_t p,
                                                                        std::size_t q, __m256d wr, __m256d wi)
{
    __m256d pr, pi, qr, qi;
    SplitFour(x + p, false, pr, pi);
    SplitFour(x + q, true, qr, qi);
    const __m256d er = _mm256_add_pd(pr, qr), ei = _mm256_sub_pd(pi, qi);
    const __m256d odr = _mm256_add_pd(pi, qi), odi = _mm256_sub_pd(qr, pr);
    const __m256d tr = _mm256_sub_pd(_mm256_mul_pd(wr, odr), _mm256_mul_pd(wi, odi));
    const __m256d ti = _mm256_add_pd(_mm256_mul_pd(wr, odi), _mm256_mul_pd(wi, odr));
    return {_mm256_add_pd(er, tr), _mm256_add_pd(ei, ti), _mm256_sub_pd(er, tr), _mm256_sub_pd(ei, ti)};
}

// Four groups k..k+3 at a time where the processor has AVX, with the same operations in the
// same order as SplitOne, so the numbers do not depend on the path. All four groups are read
// before any is written. Returns the first group not done.
__attribute__((target("avx"))) std::size_t SplitAvx(const Source& in, double* re, double* im, const Twiddles& tw,
                                                     std::size_t n, std::size_t k, std::size_t end, double half)
{
    const std::size_t h = n / 2;
    const __m256d scale = _mm256_set1_pd(half);
    for (; k + 4 <= end; k += 4) {
        const std::size_t p = 2 * k - in.first, q = n - 2 * k - 6 - in.first;
        const __m256d wr = _mm256_loadu_pd(tw.re.data() + k), wi = _mm256_loadu_pd(tw.im.data() + k);
        const PartBinsAvx f = PartSpectrumAvx(in.a, p, q, wr, wi);
        const PartBinsAvx g = PartSpectrumAvx(in.b, p, q, wr, wi);
        _mm256_storeu_pd(re + k, _mm256_mul_pd(scale, _mm256_sub_pd(f.kr, g.ki)));
        _mm256_storeu_pd(im + k, _mm256_mul_pd(scale, _mm256_add_pd(f.ki, g.kr)));
        _mm256_storeu_pd(re + h + k, _mm256_mul_pd(scale, _mm256_sub_pd(f.hr, g.hi)));
        _mm256_storeu_pd(im + h + k, _mm256_mul_pd(scale, _mm256_add_pd(f.hi, g.hr)));
        // Bins n-k and h-k run downwards as k runs up.
        _mm256_storeu_pd(re + n - k - 3, Reversed(_mm256_mul_pd(scale, _mm256_add_pd(f.kr, g.ki))));
        _mm256_storeu_pd(im + n - k - 3, Reversed(_mm256_mul_pd(scale, _mm256_sub_pd(g.kr, f.ki))));
        _mm256_storeu_pd(re + h - k - 3, Reversed(_mm256_mul_pd(scale, _mm256_add_pd(f.hr, g.hi))));
        _mm256_storeu_pd(im + h - k - 3, Reversed(_mm256_mul_pd(scale, _mm256_sub_pd(g.hr, f.hi))));
    }
    return k;
}

const bool hasAvx = [] {
    __builtin_cpu_init();  // a static initializer may run before the library's own
    return __builtin_cpu_supports("avx") != 0;
}();
#endif

void SplitGroups(const Source& in, double* re, double* im, const Twiddles& tw, std::size_t n, std::size_t from,
                 std::size_t to, double half)
{
    std::size_t k = from;
#ifdef KQ5_FFT_X86
    if (hasAvx) k = SplitAvx(in, re, im, tw, n, k, to, half);
#endif
    for (; k < to; ++k) SplitOne(in, re, im, tw, n, k, half);
}

// The part of the arrays the last groups read, saved before the first groups overwrite it.
// One per thread, so threads never share one.
thread_local std::vector<double> savedPart;

// The forward transform of re + j im (n >= 4), every output multiplied by scale.
int Forward(std::size_t n, double* re, double* im, double scale)
{
    const std::size_t h = n / 2;
    // Group k (0 < k < n/4) reads positions 2k, 2k+1, n-2k and n-2k+1 and writes k, n-k, h+k
    // and h-k. Taken in rising k, every position is read before it is written except those the
    // groups past h/3 read, which earlier groups overwrite: those are saved first.
    const std::size_t saveFrom = h / 3 + 1;
    const std::size_t first = 2 * saveFrom, last = n - 2 * saveFrom + 2;
    const std::size_t saved = last > first ? last - first : 0;
    fftw_plan planRe = nullptr, planIm = nullptr;
    const Twiddles* twiddles = nullptr;
    try {
        planRe = HalfPlanFor(static_cast<int>(h), re);
        planIm = HalfPlanFor(static_cast<int>(h), im);
        twiddles = &TwiddlesOf(static_cast<int>(n));
        if (savedPart.size() < 2 * saved) savedPart.resize(2 * saved);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    if (!planRe || !planIm) return kMsgInsufficientMemory;
    const Twiddles& tw = *twiddles;

    fftw_execute_dft(planRe, reinterpret_cast<fftw_complex*>(re), reinterpret_cast<fftw_complex*>(re));
    fftw_execute_dft(planIm, reinterpret_cast<fftw_complex*>(im), reinterpret_cast<fftw_complex*>(im));

    // Half-size bins 0 and h/2 pair with themselves: read before anything is written, written last.
    const double z0r = re[0], z0i = re[1], y0r = im[0], y0i = im[1];
    const double zqr = re[h], zqi = re[h + 1], yqr = im[h], yqi = im[h + 1];
    if (saved > 0) {
        std::memcpy(savedPart.data(), re + first, saved * sizeof(double));
        std::memcpy(savedPart.data() + saved, im + first, saved * sizeof(double));
    }
    const double half = 0.5 * scale;
    const std::size_t quarter = h / 2;
    const std::size_t direct = std::min(saveFrom, quarter);
    SplitGroups(Source{re, im, 0}, re, im, tw, n, 1, direct, half);
    SplitGroups(Source{savedPart.data(), savedPart.data() + saved, first}, re, im, tw, n, direct, quarter, half);
    re[0] = scale * (z0r + z0i), im[0] = scale * (y0r + y0i);
    re[h] = scale * (z0r - z0i), im[h] = scale * (y0r - y0i);
    re[quarter] = scale * (zqr + yqi), im[quarter] = scale * (yqr - zqi);
    re[h + quarter] = scale * (zqr - yqi), im[h + quarter] = scale * (zqi + yqr);
    return 0;
}

}  // namespace

int ComputeFFT(int n, std::span<double> re, std::span<double> im, int direction)
{
    // Only powers of two are transforms of the size the callers mean; the callers rely on
    // the refusal (nothing changed) for any other size or for arrays shorter than n.
    if (!IsPowerOfTwo(n) || re.size() < static_cast<std::size_t>(n) || im.size() < static_cast<std::size_t>(n))
        return kMsgFftPointCount;
    // The inverse divides by n (a power of two, so the division is exact wherever it is done).
    const bool inverse = direction == kFftInverse;
    const double scale = inverse ? 1.0 / static_cast<double>(n) : 1.0;
    if (n == 1) return 0;
    if (n == 2) {
        // Both kernels are 1, -1.
        const double r0 = re[0], r1 = re[1], i0 = im[0], i1 = im[1];
        re[0] = scale * (r0 + r1), re[1] = scale * (r0 - r1);
        im[0] = scale * (i0 + i1), im[1] = scale * (i0 - i1);
        return 0;
    }
    const auto count = static_cast<std::size_t>(n);
    return inverse ? Forward(count, im.data(), re.data(), scale) : Forward(count, re.data(), im.data(), scale);
}

}  // namespace kq5
