#include "analog/charge_integration.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "analog/analog_state.h"
#include "core/device_lists.h"

namespace kq5 {

bool IntegrateStateCurrent(int method, int order, const IntegrationCoefficients& a,
                           std::span<const double, kStateSlots> q,
                           std::span<double, kStateSlots> i)
{
    if (method == kMethodTrap) {
        if (order == 1) {
            i[0] = a[1] * q[1] + a[0] * q[0];
            return true;
        }
        if (order == 2) {
            i[0] = a[0] * (q[0] - q[1]) - a[1] * i[1];
            return true;
        }
        return false;
    }
    i[0] = 0.0;
    // Slots beyond the block belong to the next state: an order that would read them has
    // no current here.
    if (order < 1 || order >= kStateSlots) return false;
    double sum = 0.0;
    for (int j = order; j >= 2; --j)
        sum += a[static_cast<std::size_t>(j)] * q[static_cast<std::size_t>(j)];
    i[0] = sum + a[1] * q[1] + a[0] * q[0];
    return true;
}

namespace {

// In each group of kStride blocks the first kShifted blocks move; a group of MOSFET states
// leaves the two unused states of its block as they are. With both counts fixed the moves of
// a group are one straight run.
//
// A block moves as two pairs, (q0, q1) (q2, q3) -> (q0, q0) (q1, q2): two loads, two shuffles
// and two stores instead of a chain of scalar moves.
template <std::size_t kShifted, std::size_t kStride>
void ShiftStateGroupsByPairs(double* p, std::size_t groups)
{
    using Pair = double __attribute__((vector_size(2 * sizeof(double))));
    for (std::size_t g = 0; g < groups; ++g, p += kStride * kStateSlots)
        for (std::size_t b = 0; b < kShifted; ++b) {
            double* const block = p + b * kStateSlots;
            Pair low, high;
            std::memcpy(&low, block, sizeof low);
            std::memcpy(&high, block + 2, sizeof high);
            const Pair newHigh = __builtin_shufflevector(low, high, 1, 2);
            low = __builtin_shufflevector(low, low, 0, 0);
            std::memcpy(block, &low, sizeof low);
            std::memcpy(block + 2, &newHigh, sizeof newHigh);
        }
}

#if defined(__x86_64__)
// Where the processor has AVX2 a block is one vector, moved by one permutation. The shift runs
// over every state at every accepted point, and the vectors of a large circuit are long.
template <std::size_t kShifted, std::size_t kStride>
__attribute__((target("avx2"))) void ShiftStateGroupsAvx2(double* p, std::size_t groups)
{
    for (std::size_t g = 0; g < groups; ++g, p += kStride * kStateSlots)
        for (std::size_t b = 0; b < kShifted; ++b) {
            const __m256d block = _mm256_loadu_pd(p + b * kStateSlots);
            _mm256_storeu_pd(p + b * kStateSlots, _mm256_permute4x64_pd(block, 0x90));  // slots 0, 0, 1, 2
        }
}
#endif

template <std::size_t kShifted, std::size_t kStride>
void ShiftStateGroups(double* p, std::size_t groups)
{
    static_assert(kStateSlots == 4);
#if defined(__x86_64__)
    if (ProcessorHasAvx2()) {
        ShiftStateGroupsAvx2<kShifted, kStride>(p, groups);
        return;
    }
#endif
    ShiftStateGroupsByPairs<kShifted, kStride>(p, groups);
}

// Every state of the vector moves, except the unused states of the MOSFET blocks.
void ShiftUsedStates(std::span<double> states, std::size_t mosfetsAt, std::size_t mosfets)
{
    constexpr std::size_t kBlockSlots = kMosfetBlockStates * kStateSlots;
    if (mosfetsAt > states.size() || mosfets > (states.size() - mosfetsAt) / kBlockSlots) {
        ShiftStateBlocks(states);
        return;
    }
    const std::size_t end = mosfetsAt + mosfets * kBlockSlots;
    ShiftStateBlocks(states.first(mosfetsAt));
    ShiftStateGroups<kMosfetChargeStates, kMosfetBlockStates>(states.data() + mosfetsAt, mosfets);
    ShiftStateBlocks(states.subspan(end));
}

}  // namespace

void ShiftStateBlocks(std::span<double> states) { ShiftStateGroups<1, 1>(states.data(), states.size() / kStateSlots); }

void FillStateHistories(std::span<double> states)
{
    for (std::size_t b = 0; b + kStateSlots <= states.size(); b += kStateSlots) {
        states[b + 2] = states[b + 1];
        states[b + 3] = states[b + 1];
    }
}

namespace {

// The present current of the state whose slot 0 is at i, which lies inside both vectors;
// false when it has none.
bool UpdatePresentCurrentAt(AnalogSolverState& s, std::size_t i)
{
    // The trapezoidal orders, which every device's charges go through at every iteration,
    // in line as IntegrateCharge works them out; the rest through the general formula.
    if (TrapezoidalOrder(s)) {
        TrapezoidalPresentCurrent(s, i);
        return true;
    }
    IntegrationCoefficients a = s.coefficients;
    a[0] = s.ag0;
    a[1] = s.ag1;
    return IntegrateStateCurrent(
        s.method, s.order, a, std::span<const double, kStateSlots>(s.chargeStates.data() + i, kStateSlots),
        std::span<double, kStateSlots>(s.currentStates.data() + i, kStateSlots));
}

// As above for any index; false also when the index lies outside the vectors.
bool UpdatePresentCurrent(int stateIndex)
{
    AnalogSolverState& s = AnalogSolver();
    if (!StateHeld(s, stateIndex)) return false;
    return UpdatePresentCurrentAt(s, static_cast<std::size_t>(stateIndex));
}

}  // namespace

void IntegrateChargeGeneral(AnalogSolverState& s, std::size_t i, double capacitance, double& geq, double& ceq)
{
    if (!UpdatePresentCurrentAt(s, i)) return;
    geq = s.ag0 * capacitance;
    ceq = s.currentStates[i] - s.ag0 * s.chargeStates[i];
}

void IntegrateChargeGeq(int stateIndex, double capacitance, double& geq)
{
    if (UpdatePresentCurrent(stateIndex)) geq = AnalogSolver().ag0 * capacitance;
}

void IntegrateChargeCurrentGeneral(AnalogSolverState& s, std::size_t i) { UpdatePresentCurrentAt(s, i); }

void ShiftStateHistories()
{
    AnalogSolverState& s = AnalogSolver();
    const std::size_t mosfetsAt = static_cast<std::size_t>(std::max(s.plainStateSlots, 0)) +
                                  static_cast<std::size_t>(DeviceList(kBjtDeviceList).count) * kBjtBlockStates *
                                      kStateSlots;
    const auto mosfets = static_cast<std::size_t>(DeviceList(kMosfetDeviceList).count);
    ShiftUsedStates(s.chargeStates, mosfetsAt, mosfets);
    ShiftUsedStates(s.currentStates, mosfetsAt, mosfets);
}

void InitStateHistories()
{
    AnalogSolverState& s = AnalogSolver();
    FillStateHistories(s.chargeStates);
    FillStateHistories(s.currentStates);
}

}  // namespace kq5
