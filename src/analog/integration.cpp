#include "analog/integration.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

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

constexpr int kBjtStateSlots = kBjtBlockStates * kStateSlots;
constexpr int kMosfetStateSlots = kMosfetBlockStates * kStateSlots;
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

DividedDifferenceWeights ComputeDividedDifferenceWeights(int order, const StepHistory& history);

DividedDifferenceWeights MakeDividedDifferenceWeights(int order, const StepHistory& history)
{
    // The same history gives the same weights: a run at a constant step (a rectifier printing
    // at every microsecond) would otherwise spend most of its estimates on these divisions.
    static_assert(kMaxStateOrder + 1 <= 4);
    AnalogSolverState::EstimateWeights& kept = AnalogSolver().estimateWeights[static_cast<std::size_t>(order - 1)];
    const auto sameBits = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    bool same = kept.valid;
    for (int m = 0; same && m <= order; ++m)
        same = sameBits(kept.history[static_cast<std::size_t>(m)], history[static_cast<std::size_t>(m)]);
    if (same) {
        DividedDifferenceWeights weights;
        weights.w = kept.weights;
        weights.count = order + 2;
        return weights;
    }
    DividedDifferenceWeights weights = ComputeDividedDifferenceWeights(order, history);
    for (int m = 0; m <= order; ++m) kept.history[static_cast<std::size_t>(m)] = history[static_cast<std::size_t>(m)];
    kept.weights = weights.w;
    kept.valid = true;
    return weights;
}

DividedDifferenceWeights ComputeDividedDifferenceWeights(int order, const StepHistory& history)
{
    // The weight of slot u is the divided difference of the unit charges e_u; the units go
    // side by side in the lanes of a vector, each through the same operations.
    using Units = double __attribute__((vector_size(kStateSlots * sizeof(double))));
    static_assert(kStateSlots == 4);
    Units d[kStateSlots] = {{1.0, 0.0, 0.0, 0.0}, {0.0, 1.0, 0.0, 0.0}, {0.0, 0.0, 1.0, 0.0}, {0.0, 0.0, 0.0, 1.0}};
    double t[kStateSlots];
    for (int m = 0; m <= order; ++m) t[m] = history[static_cast<std::size_t>(m)];
    for (int j = order;;) {
        for (int m = 0; m <= j; ++m) d[m] = (d[m] - d[m + 1]) / Units{t[m], t[m], t[m], t[m]};
        if (--j < 0) break;
        for (int m = 0; m <= j; ++m) t[m] = t[m + 1] + history[static_cast<std::size_t>(m)];
    }
    DividedDifferenceWeights weights;
    weights.count = order + 2;
    for (int unit = 0; unit < weights.count; ++unit) weights.w[static_cast<std::size_t>(unit)] = d[0][unit];
    return weights;
}

// What one estimate reads besides the states.
struct EstimateTerms {
    TruncationTolerances tol;
    DividedDifferenceWeights weights;
    double factor = 0.0;
    double step = 0.0;
};

// The estimate of one state, squared at order 1: the same estimate as
// StateTruncationStepSquared, with the divided difference taken from the precomputed weights
// and the order-2 root deferred to the end (the square of a root is the value itself). The
// order is a template argument so that the divided difference is a fixed sum the compiler
// unrolls.
template <int kOrder>
__attribute__((always_inline)) inline double StateEstimate(const EstimateTerms& t, const double* q, const double* c)
{
    const TruncationTolerances& tol = t.tol;
    const double currentTol = tol.reltol * std::max(std::abs(c[0]), std::abs(c[1])) + tol.abstol;
    const double chargeTol = tol.reltol * std::max({std::abs(q[0]), std::abs(q[1]), tol.chgtol}) / t.step;
    const double tolerance = std::max(currentTol, chargeTol);
    double d0 = 0.0;
    for (int m = 0; m < kOrder + 2; ++m) d0 += t.weights.w[static_cast<std::size_t>(m)] * q[m];
    const double del = tol.trtol * tolerance / std::max(tol.abstol, t.factor * std::abs(d0));
    return kOrder == 1 ? del * del : del;
}

// Four states at a time, one in each lane: every lane takes the operations of StateEstimate
// in the same order (the selects are std::max's and std::min's, the absolute value clears the
// sign bit as std::abs does), so each estimate is the same to the bit. The divisions and the
// long chain of operations of each state are what the estimate waits for; in lanes they take
// a quarter of the instructions. No function here takes or gives a vector: they are put in
// line into a function compiled for AVX2 where the processor has it.
using Lanes = double __attribute__((vector_size(4 * sizeof(double))));
using LaneBits = std::int64_t __attribute__((vector_size(4 * sizeof(double))));

class LaneSmallest {
public:
    __attribute__((always_inline)) LaneSmallest(int order, const EstimateTerms& terms) : order_(order), terms_(terms)
    {
    }

    __attribute__((always_inline)) void Add(const double* q, const double* c)
    {
        q_[pending_] = q;
        c_[pending_] = c;
        if (++pending_ < 4) return;
        pending_ = 0;
        TakeFour();
    }

    // The smallest estimate, 1e20 without states.
    __attribute__((always_inline)) double Finish() const
    {
        double bound = 1e20;
        for (int k = 0; k < pending_; ++k)
            bound = std::min(bound, order_ == 1 ? StateEstimate<1>(terms_, q_[k], c_[k])
                                                : StateEstimate<2>(terms_, q_[k], c_[k]));
        for (int k = 0; k < 4; ++k) bound = std::min(bound, lanes_[k]);
        return bound;
    }

private:
    __attribute__((always_inline)) void TakeFour()
    {
        const TruncationTolerances& tol = terms_.tol;
        const double* const* q = q_;
        const double* const* c = c_;
        constexpr std::int64_t kNoSign = 0x7FFFFFFFFFFFFFFF;
        const LaneBits noSign = {kNoSign, kNoSign, kNoSign, kNoSign};
        const Lanes reltol = {tol.reltol, tol.reltol, tol.reltol, tol.reltol};
        const Lanes abstol = {tol.abstol, tol.abstol, tol.abstol, tol.abstol};
        const Lanes chgtol = {tol.chgtol, tol.chgtol, tol.chgtol, tol.chgtol};
        const Lanes trtol = {tol.trtol, tol.trtol, tol.trtol, tol.trtol};
        const Lanes step = {terms_.step, terms_.step, terms_.step, terms_.step};
        const Lanes factor = {terms_.factor, terms_.factor, terms_.factor, terms_.factor};

        const LaneBits c0 = reinterpret_cast<LaneBits>(Lanes{c[0][0], c[1][0], c[2][0], c[3][0]}) & noSign;
        const LaneBits c1 = reinterpret_cast<LaneBits>(Lanes{c[0][1], c[1][1], c[2][1], c[3][1]}) & noSign;
        const Lanes absC0 = reinterpret_cast<Lanes>(c0), absC1 = reinterpret_cast<Lanes>(c1);
        const Lanes currentTol = reltol * (absC0 < absC1 ? absC1 : absC0) + abstol;
        const LaneBits q0 = reinterpret_cast<LaneBits>(Lanes{q[0][0], q[1][0], q[2][0], q[3][0]}) & noSign;
        const LaneBits q1 = reinterpret_cast<LaneBits>(Lanes{q[0][1], q[1][1], q[2][1], q[3][1]}) & noSign;
        const Lanes absQ0 = reinterpret_cast<Lanes>(q0), absQ1 = reinterpret_cast<Lanes>(q1);
        const Lanes q01 = absQ0 < absQ1 ? absQ1 : absQ0;
        const Lanes chargeTol = reltol * (q01 < chgtol ? chgtol : q01) / step;
        const Lanes tolerance = currentTol < chargeTol ? chargeTol : currentTol;
        Lanes d0 = {0.0, 0.0, 0.0, 0.0};
        for (int m = 0; m < order_ + 2; ++m) {
            const double w = terms_.weights.w[static_cast<std::size_t>(m)];
            d0 += Lanes{w, w, w, w} * Lanes{q[0][m], q[1][m], q[2][m], q[3][m]};
        }
        const Lanes slope = factor * reinterpret_cast<Lanes>(reinterpret_cast<LaneBits>(d0) & noSign);
        const Lanes del = trtol * tolerance / (abstol < slope ? slope : abstol);
        const Lanes estimate = order_ == 1 ? del * del : del;
        lanes_ = estimate < lanes_ ? estimate : lanes_;
    }

    int order_;
    const EstimateTerms& terms_;
    Lanes lanes_ = {1e20, 1e20, 1e20, 1e20};
    const double* q_[4] = {};
    const double* c_[4] = {};
    int pending_ = 0;
};

// The same one state after the other.
template <int kOrder>
class ScalarSmallest {
public:
    explicit ScalarSmallest(const EstimateTerms& terms) : terms_(terms) {}
    __attribute__((always_inline)) void Add(const double* q, const double* c)
    {
        bound_ = std::min(bound_, StateEstimate<kOrder>(terms_, q, c));
    }
    double Finish() const { return bound_; }

private:
    const EstimateTerms& terms_;
    double bound_ = 1e20;
};

// Gives every tested state to smallest, in the order of the state vectors: the plain states,
// then the first three states of every bipolar and MOSFET block.
template <class Smallest>
__attribute__((always_inline)) inline double SmallestOverTestedStates(const AnalogSolverState& s, Smallest& smallest)
{
    const std::size_t slots = std::min(s.chargeStates.size(), s.currentStates.size());
    const double* charges = s.chargeStates.data();
    const double* currents = s.currentStates.data();
    auto test = [&](std::size_t index) __attribute__((always_inline)) {
        if (index + kStateSlots <= slots) smallest.Add(charges + index, currents + index);
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
    return smallest.Finish();
}

template <int kOrder>
double SmallestStateEstimateOneByOne(const AnalogSolverState& s, const EstimateTerms& t)
{
    ScalarSmallest<kOrder> smallest(t);
    return SmallestOverTestedStates(s, smallest);
}

#if defined(__x86_64__)
// Lanes only where every estimate is +0 or more (or not a number, which is never taken): the
// smallest of such values is the same whichever way they are compared.
bool LanesAllowed(const EstimateTerms& t)
{
    auto atLeastPlusZero = [](double v) { return v >= 0.0 && !std::signbit(v); };
    return atLeastPlusZero(t.tol.reltol) && atLeastPlusZero(t.tol.abstol) && atLeastPlusZero(t.tol.trtol) &&
           atLeastPlusZero(t.factor) && t.step > 0.0;
}

// Where the processor has AVX2 each lane operation is one instruction (without FMA: no product
// and sum are fused).
template <int kOrder>
__attribute__((target("avx2"))) double SmallestStateEstimateInLanes(const AnalogSolverState& s, const EstimateTerms& t)
{
    LaneSmallest smallest(kOrder, t);
    return SmallestOverTestedStates(s, smallest);
}

#endif

template <int kOrder>
double SmallestStateEstimateOfOrder(const AnalogSolverState& s, const EstimateTerms& t)
{
#if defined(__x86_64__)
    if (ProcessorHasAvx2() && LanesAllowed(t)) return SmallestStateEstimateInLanes<kOrder>(s, t);
#endif
    return SmallestStateEstimateOneByOne<kOrder>(s, t);
}

double SmallestStateEstimate()
{
    static_assert(kMaxStateOrder == 2, "one instance of the estimate per order");
    const AnalogSolverState& s = AnalogSolver();
    const int order = s.order;
    if (order < 1 || order > kMaxStateOrder) return std::sqrt(1e20);
    EstimateTerms terms;
    terms.tol = SolverTolerances();
    terms.weights = MakeDividedDifferenceWeights(order, s.stepHistory);
    terms.factor = TruncationErrorFactor(s.method, order);
    terms.step = s.step;
    const double bound =
        order == 1 ? SmallestStateEstimateOfOrder<1>(s, terms) : SmallestStateEstimateOfOrder<2>(s, terms);
    return std::sqrt(bound);
}

}  // namespace

bool ProcessorHasAvx2()
{
#if defined(__x86_64__)
    static const bool has = [] {
        __builtin_cpu_init();  // a static initializer may run before the library's own
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

bool ProcessorHasAvx2Fma()
{
#if defined(__x86_64__)
    static const bool has = ProcessorHasAvx2() && __builtin_cpu_supports("fma") != 0;
    return has;
#else
    return false;
#endif
}

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
