#include "core/fft.h"

#include <fftw3.h>

#if defined(__x86_64__)
#include <immintrin.h>
#define KQ5_FFT_X86 1
#endif

#include <sys/mman.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;

struct PlanDeleter {
    void operator()(fftw_plan_s* plan) const { fftw_destroy_plan(plan); }
};
using Plan = std::unique_ptr<fftw_plan_s, PlanDeleter>;

struct BufferDeleter {
    void operator()(fftw_complex* data) const { std::free(data); }
};
using Buffer = std::unique_ptr<fftw_complex[], BufferDeleter>;

// FFTW's planner keeps global state and is not safe to call from two threads at once; running a
// finished plan is. One forward plan per size serves both directions (the inverse conjugates on
// the way in and out) and lives as long as the program, so only the first transform of a size
// pays for planning. The estimating planner is used: it answers at once, where a measured plan
// of the largest DSP size takes seconds, and it picks the same plan on every run, so a circuit
// gives the same numbers bit for bit each time it is simulated.
std::mutex planMutex;
std::map<int, Plan> plans;

// The transform runs on an interleaved copy of the caller's two arrays: FFTW's interleaved plans
// are much faster than its split-array ones, and a copy it owns has the alignment the plan was
// made for. One buffer per thread, so threads never share one while their transforms run.
struct WorkBuffer {
    Buffer data;
    int size = 0;
};
thread_local WorkBuffer workBuffer;

fftw_complex* BufferOf(int n)
{
    if (workBuffer.size < n) {
        workBuffer.data.reset();
        workBuffer.size = 0;
        // Aligned as fftw_malloc aligns (or more). A buffer of 2 MB or more starts on a 2 MB
        // boundary and is offered to the kernel for huge pages: the transform strides across
        // the whole buffer, and with small pages its passes keep missing the address cache.
        constexpr std::size_t kHugePage = std::size_t{1} << 21;
        const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(fftw_complex);
        const std::size_t alignment = bytes >= kHugePage ? kHugePage : 64;
        const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
        workBuffer.data.reset(static_cast<fftw_complex*>(std::aligned_alloc(alignment, rounded)));
        if (!workBuffer.data) return nullptr;
        if (alignment == kHugePage) madvise(workBuffer.data.get(), rounded, MADV_HUGEPAGE);  // a hint only
        workBuffer.size = n;
    }
    return workBuffer.data.get();
}

// The cached forward plan of size n, made on first use; nullptr when FFTW cannot make one.
// Plans are made on the calling thread's buffer and run on whichever thread's buffer with
// fftw_execute_dft, which is sound because every buffer has the same alignment.
fftw_plan PlanOf(int n, fftw_complex* data)
{
    std::lock_guard lock(planMutex);
    auto found = plans.find(n);
    if (found != plans.end()) return found->second.get();
    Plan plan(fftw_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_ESTIMATE));
    if (!plan) return nullptr;
    return plans.emplace(n, std::move(plan)).first->second.get();
}

// The copies into and out of the work buffer are a good part of the time: they move four
// values at a time with AVX, else two (the SSE2 every x86-64 has), and the rest one by one.
// Each value is multiplied by its own factor alone, as a scalar loop would, so the results do
// not change.
#ifdef KQ5_FFT_X86
// Four values at a time where the processor has AVX; the same products as the loops below.
__attribute__((target("avx"))) std::size_t InterleaveAvx(const double* __restrict real,
                                                          const double* __restrict imaginary,
                                                          double* __restrict buffer, std::size_t count,
                                                          double imaginarySign)
{
    const __m256d sign = _mm256_set1_pd(imaginarySign);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d r = _mm256_loadu_pd(real + i);
        const __m256d m = _mm256_mul_pd(sign, _mm256_loadu_pd(imaginary + i));
        const __m256d low = _mm256_unpacklo_pd(r, m);   // r0 m0 r2 m2
        const __m256d high = _mm256_unpackhi_pd(r, m);  // r1 m1 r3 m3
        _mm256_storeu_pd(buffer + 2 * i, _mm256_permute2f128_pd(low, high, 0x20));
        _mm256_storeu_pd(buffer + 2 * i + 4, _mm256_permute2f128_pd(low, high, 0x31));
    }
    return i;
}

__attribute__((target("avx"))) std::size_t DeinterleaveAvx(const double* __restrict buffer,
                                                            double* __restrict real,
                                                            double* __restrict imaginary, std::size_t count,
                                                            double realScale, double imaginaryScale)
{
    const __m256d scale = _mm256_set_pd(imaginaryScale, realScale, imaginaryScale, realScale);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d a = _mm256_mul_pd(scale, _mm256_loadu_pd(buffer + 2 * i));      // r0 m0 r1 m1
        const __m256d b = _mm256_mul_pd(scale, _mm256_loadu_pd(buffer + 2 * i + 4));  // r2 m2 r3 m3
        const __m256d first = _mm256_permute2f128_pd(a, b, 0x20);                     // r0 m0 r2 m2
        const __m256d second = _mm256_permute2f128_pd(a, b, 0x31);                    // r1 m1 r3 m3
        _mm256_storeu_pd(real + i, _mm256_unpacklo_pd(first, second));
        _mm256_storeu_pd(imaginary + i, _mm256_unpackhi_pd(first, second));
    }
    return i;
}

const bool hasAvx = [] {
    __builtin_cpu_init();  // a static initializer may run before the library's own
    return __builtin_cpu_supports("avx") != 0;
}();
#endif

void Interleave(const double* __restrict real, const double* __restrict imaginary, double* __restrict buffer,
                std::size_t count, double imaginarySign)
{
    std::size_t i = 0;
#ifdef KQ5_FFT_X86
    if (hasAvx) i = InterleaveAvx(real, imaginary, buffer, count, imaginarySign);
    const __m128d sign = _mm_set1_pd(imaginarySign);
    for (; i + 2 <= count; i += 2) {
        const __m128d r = _mm_loadu_pd(real + i);
        const __m128d m = _mm_mul_pd(sign, _mm_loadu_pd(imaginary + i));
        _mm_store_pd(buffer + 2 * i, _mm_unpacklo_pd(r, m));
        _mm_store_pd(buffer + 2 * i + 2, _mm_unpackhi_pd(r, m));
    }
#endif
    for (; i < count; ++i) {
        buffer[2 * i] = real[i];
        buffer[2 * i + 1] = imaginarySign * imaginary[i];
    }
}

void Deinterleave(const double* __restrict buffer, double* __restrict real, double* __restrict imaginary,
                  std::size_t count, double realScale, double imaginaryScale)
{
    std::size_t i = 0;
#ifdef KQ5_FFT_X86
    if (hasAvx) i = DeinterleaveAvx(buffer, real, imaginary, count, realScale, imaginaryScale);
    const __m128d scale = _mm_set_pd(imaginaryScale, realScale);
    for (; i + 2 <= count; i += 2) {
        const __m128d a = _mm_mul_pd(scale, _mm_load_pd(buffer + 2 * i));
        const __m128d b = _mm_mul_pd(scale, _mm_load_pd(buffer + 2 * i + 2));
        _mm_storeu_pd(real + i, _mm_unpacklo_pd(a, b));
        _mm_storeu_pd(imaginary + i, _mm_unpackhi_pd(a, b));
    }
#endif
    for (; i < count; ++i) {
        real[i] = realScale * buffer[2 * i];
        imaginary[i] = imaginaryScale * buffer[2 * i + 1];
    }
}

}  // namespace

int ComputeFFT(int n, std::span<double> re, std::span<double> im, int direction)
{
    // Only powers of two are transforms of the size the callers mean; the callers rely on
    // the refusal (nothing changed) for any other size or for arrays shorter than n.
    if (!IsPowerOfTwo(n) || re.size() < static_cast<std::size_t>(n) || im.size() < static_cast<std::size_t>(n))
        return kMsgFftPointCount;
    fftw_complex* data = BufferOf(n);
    if (!data) return kMsgInsufficientMemory;
    fftw_plan plan = PlanOf(n, data);
    if (!plan) return kMsgInsufficientMemory;

    // The inverse is the forward transform of the conjugate, conjugated again and divided by n
    // (a power of two, so the division is exact and its place in the sequence does not matter).
    const bool inverse = direction == kFftInverse;
    const double imaginarySign = inverse ? -1.0 : 1.0;
    const double realScale = inverse ? 1.0 / static_cast<double>(n) : 1.0;
    const double imaginaryScale = imaginarySign * realScale;
    const auto count = static_cast<std::size_t>(n);
    Interleave(re.data(), im.data(), data[0], count, imaginarySign);
    fftw_execute_dft(plan, data, data);
    Deinterleave(data[0], re.data(), im.data(), count, realScale, imaginaryScale);
    return 0;
}

}  // namespace kq5
