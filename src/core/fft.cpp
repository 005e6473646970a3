#include "core/fft.h"

#include <fftw3.h>

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
    void operator()(fftw_complex* data) const { fftw_free(data); }
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
        workBuffer.data.reset(fftw_alloc_complex(static_cast<std::size_t>(n)));
        if (!workBuffer.data) return nullptr;
        workBuffer.size = n;
    }
    return workBuffer.data.get();
}

// The cached forward plan of size n, made on first use; nullptr when FFTW cannot make one.
// Plans are made on the calling thread's buffer and run on whichever thread's buffer with
// fftw_execute_dft, which is sound because fftw_malloc gives every buffer the same alignment.
fftw_plan PlanOf(int n, fftw_complex* data)
{
    std::lock_guard lock(planMutex);
    auto found = plans.find(n);
    if (found != plans.end()) return found->second.get();
    Plan plan(fftw_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_ESTIMATE));
    if (!plan) return nullptr;
    return plans.emplace(n, std::move(plan)).first->second.get();
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
    // The copies are a good part of the time; distinct pointers let the compiler vectorize them.
    double* __restrict buffer = data[0];
    double* __restrict real = re.data();
    double* __restrict imaginary = im.data();
    const auto count = static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < count; ++i) {
        buffer[2 * i] = real[i];
        buffer[2 * i + 1] = imaginarySign * imaginary[i];
    }
    fftw_execute_dft(plan, data, data);
    for (std::size_t i = 0; i < count; ++i) {
        real[i] = realScale * buffer[2 * i];
        imaginary[i] = imaginaryScale * buffer[2 * i + 1];
    }
    return 0;
}

}  // namespace kq5
