#include "analog/integration.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analog/analog_state.h"
#include "core/analysis_state.h"  // ClampedExp
#include "core/device_lists.h"

namespace kq5 {

namespace {

// Gear of order k: solve M a = r, M (k+1) x (k+1) with a first row of ones and
// M[j][i] = (sum of the last i steps / step)^j below it, r = (0, -1/step, 0, ...).
void GearCoefficients(int order, double step, const StepHistory& history,
                      IntegrationCoefficients& a)
{
    constexpr int kN = kMaxGearOrder + 2;
    double m[kN][kN] = {};
    a.fill(0.0);
    a[1] = -1.0 / step;
    for (int i = 0; i <= order; ++i) m[0][i] = 1.0;
    double sum = 0.0;
    for (int i = 1; i <= order; ++i) {
        sum += history[static_cast<std::size_t>(i - 1)];
        const double ratio = sum / step;
        double power = 1.0;
        for (int j = 1; j <= order; ++j) {
            power *= ratio;
            m[j][i] = power;
        }
    }
    // Elimination without pivoting: row 0 has a unit pivot and zeros below it in column 0,
    // and the power rows are well conditioned for the steps a run uses.
    for (int p = 1; p <= order; ++p) {
        for (int r = p + 1; r <= order; ++r) {
            const double f = m[r][p] / m[p][p];
            if (f == 0.0) continue;
            for (int c = p; c <= order; ++c) m[r][c] -= f * m[p][c];
            a[static_cast<std::size_t>(r)] -= f * a[static_cast<std::size_t>(p)];
        }
    }
    for (int r = order; r >= 0; --r) {
        double v = a[static_cast<std::size_t>(r)];
        for (int c = r + 1; c <= order; ++c) v -= m[r][c] * a[static_cast<std::size_t>(c)];
        a[static_cast<std::size_t>(r)] = v / m[r][r];
    }
}

}  // namespace

bool ComputeIntegrationCoefficientsFor(int method, int order, double step,
                                       const StepHistory& history,
                                       IntegrationCoefficients& coefficients)
{
    if (method == kMethodTrap) {
        if (order == 1) {
            coefficients[0] = 1.0 / step;
            coefficients[1] = -1.0 / step;
            return true;
        }
        if (order == 2) {
            coefficients[0] = 2.0 / step;
            coefficients[1] = 1.0;
            return true;
        }
        return false;
    }
    if (order < 1 || order > kMaxGearOrder) return false;
    GearCoefficients(order, step, history, coefficients);
    return true;
}

double TruncationErrorFactor(int method, int order)
{
    static constexpr double kGear[kMaxGearOrder] = {1.0 / 2.0,    2.0 / 9.0,    3.0 / 22.0,
                                                    12.0 / 125.0, 10.0 / 137.0, 20.0 / 343.0};
    static constexpr double kTrap[kMaxTrapOrder] = {1.0 / 2.0, 1.0 / 12.0};
    if (method == kMethodTrap) return order >= 1 && order <= kMaxTrapOrder ? kTrap[order - 1] : 0.0;
    return order >= 1 && order <= kMaxGearOrder ? kGear[order - 1] : 0.0;
}

double StateTruncationStepSquared(int method, int order, double step, const StepHistory& history,
                                  std::span<const double, kStateSlots> charge,
                                  std::span<const double, kStateSlots> current,
                                  const TruncationTolerances& tol, double bound)
{
    // The divided differences of order k read charge slots 0 .. k+1.
    if (order < 1 || order > kMaxStateOrder) return bound;
    const double currentTol =
        tol.reltol * std::max(std::abs(current[0]), std::abs(current[1])) + tol.abstol;
    const double chargeTol =
        tol.reltol * std::max({std::abs(charge[0]), std::abs(charge[1]), tol.chgtol}) / step;
    const double tolerance = std::max(currentTol, chargeTol);

    double d[kStateSlots];
    double t[kStateSlots];
    for (int m = 0; m <= order + 1; ++m) d[m] = charge[static_cast<std::size_t>(m)];
    for (int m = 0; m <= order; ++m) t[m] = history[static_cast<std::size_t>(m)];
    for (int j = order;;) {
        for (int m = 0; m <= j; ++m) d[m] = (d[m] - d[m + 1]) / t[m];
        if (--j < 0) break;
        for (int m = 0; m <= j; ++m) t[m] = t[m + 1] + history[static_cast<std::size_t>(m)];
    }

    const double factor = TruncationErrorFactor(method, order);
    double del = tol.trtol * tolerance / std::max(tol.abstol, factor * std::abs(d[0]));
    if (order == 2)
        del = std::sqrt(del);
    else if (order > 2)
        del = ClampedExp(std::log(del) / order);
    return std::min(bound, del * del);
}

}  // namespace kq5

// --- the running analysis ----------------------------------------------------------------

namespace kq5 {

namespace {

constexpr int kBjtStateSlots = 5 * kStateSlots;
constexpr int kMosfetStateSlots = 7 * kStateSlots;
// Of a bipolar or MOSFET block only the first three states hold junction and gate charges
// whose error matters to the step.
constexpr int kTestedBlockStates = 3;

TruncationTolerances SolverTolerances()
{
    const GlobalOptionValues& o = GlobalOptions().values;
    return {o.reltol, o.abstol, o.chgtol, o.trtol};
}

// The divided difference of the estimate is linear in the charges, with weights that depend
// on the step history alone: computing them once per estimate spares every state its chain of
// divisions, which dominated the estimate of large circuits.
struct DividedDifferenceWeights {
    std::array<double, kStateSlots> w{};
    int count = 0;  // charge slots 0 .. count-1 take part
};

DividedDifferenceWeights MakeDividedDifferenceWeights(int order, const StepHistory& history)
{
    DividedDifferenceWeights weights;
    weights.count = order + 2;
    for (int unit = 0; unit < weights.count; ++unit) {
        double d[kStateSlots] = {};
        double t[kStateSlots];
        d[unit] = 1.0;
        for (int m = 0; m <= order; ++m) t[m] = history[static_cast<std::size_t>(m)];
        for (int j = order;;) {
            for (int m = 0; m <= j; ++m) d[m] = (d[m] - d[m + 1]) / t[m];
            if (--j < 0) break;
            for (int m = 0; m <= j; ++m) t[m] = t[m + 1] + history[static_cast<std::size_t>(m)];
        }
        weights.w[static_cast<std::size_t>(unit)] = d[0];
    }
    return weights;
}

// sqrt of the smallest squared estimate over the tested states; 1e10 without states. The
// same estimate as StateTruncationStepSquared per state, with the divided difference taken
// from precomputed weights and the order-2 root deferred to the end (the square of a root is
// the value itself). The order is a template argument so that the divided difference of every
// state is a fixed sum the compiler unrolls.
template <int kOrder>
double SmallestStateEstimateOfOrder(const AnalogSolverState& s, const TruncationTolerances& tol,
                                    const DividedDifferenceWeights& weights, double factor)
{
    constexpr int kWeights = kOrder + 2;
    const std::size_t slots = std::min(s.chargeStates.size(), s.currentStates.size());
    double bound = 1e20;
    const double* charges = s.chargeStates.data();
    const double* currents = s.currentStates.data();
    // In line: it runs for every tested state of every estimate.
    auto test = [&](std::size_t index) __attribute__((always_inline)) {
        if (index + kStateSlots > slots) return;
        const double* q = charges + index;
        const double* c = currents + index;
        const double currentTol = tol.reltol * std::max(std::abs(c[0]), std::abs(c[1])) + tol.abstol;
        const double chargeTol = tol.reltol * std::max({std::abs(q[0]), std::abs(q[1]), tol.chgtol}) / s.step;
        const double tolerance = std::max(currentTol, chargeTol);
        double d0 = 0.0;
        for (int m = 0; m < kWeights; ++m) d0 += weights.w[static_cast<std::size_t>(m)] * q[m];
        const double del = tol.trtol * tolerance / std::max(tol.abstol, factor * std::abs(d0));
        bound = std::min(bound, kOrder == 1 ? del * del : del);
    };
    const std::size_t plain = std::min<std::size_t>(static_cast<std::size_t>(s.plainStateSlots), slots);
    for (std::size_t i = 0; i < plain; i += kStateSlots) test(i);
    std::size_t block = plain;
    const int bjts = DeviceList(kBjtDeviceList).count;
    for (int b = 0; b < bjts; ++b, block += kBjtStateSlots)
        for (int k = 0; k < kTestedBlockStates; ++k) test(block + static_cast<std::size_t>(k) * kStateSlots);
    const int mosfets = DeviceList(kMosfetDeviceList).count;
    for (int m = 0; m < mosfets; ++m, block += kMosfetStateSlots)
        for (int k = 0; k < kTestedBlockStates; ++k) test(block + static_cast<std::size_t>(k) * kStateSlots);
    return bound;
}

double SmallestStateEstimate()
{
    static_assert(kMaxStateOrder == 2, "one instance of the estimate per order");
    const AnalogSolverState& s = AnalogSolver();
    const int order = s.order;
    if (order < 1 || order > kMaxStateOrder) return std::sqrt(1e20);
    const TruncationTolerances tol = SolverTolerances();
    const DividedDifferenceWeights weights = MakeDividedDifferenceWeights(order, s.stepHistory);
    const double factor = TruncationErrorFactor(s.method, order);
    const double bound = order == 1 ? SmallestStateEstimateOfOrder<1>(s, tol, weights, factor)
                                    : SmallestStateEstimateOfOrder<2>(s, tol, weights, factor);
    return std::sqrt(bound);
}

}  // namespace

void ComputeIntegrationCoefficients()
{
    AnalogSolverState& s = AnalogSolver();
    if (!ComputeIntegrationCoefficientsFor(s.method, s.order, s.step, s.stepHistory, s.coefficients))
        return;
    s.ag0 = s.coefficients[0];
    s.ag1 = s.coefficients[1];
}

void ClearIntegrationCoefficients()
{
    AnalogSolverState& s = AnalogSolver();
    s.coefficients.fill(0.0);
    s.ag0 = s.ag1 = 0.0;
}

double EstimateTruncationStep(int stateIndex, double bound)
{
    const AnalogSolverState& s = AnalogSolver();
    const std::size_t index = static_cast<std::size_t>(stateIndex);
    if (stateIndex < 0 || index + kStateSlots > s.chargeStates.size() ||
        index + kStateSlots > s.currentStates.size())
        return bound;
    return StateTruncationStepSquared(
        s.method, s.order, s.step, s.stepHistory,
        std::span<const double, kStateSlots>(s.chargeStates.data() + index, kStateSlots),
        std::span<const double, kStateSlots>(s.currentStates.data() + index, kStateSlots),
        SolverTolerances(), bound);
}

double TruncationStepEstimate(double initialStep)
{
    return std::min({SmallestStateEstimate(), initialStep, 2.0 * AnalogSolver().step});
}

double InterfaceTruncationStepEstimate(double initialStep)
{
    return std::min(SmallestStateEstimate(), initialStep);
}

}  // namespace kq5
