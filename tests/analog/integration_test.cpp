// Integration coefficients, charge integration and truncation-error step control, checked on
// differential equations with known solutions.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/integration.h"
#include "core/device_lists.h"
#include "netlist/global_options.h"

namespace kq5 {
namespace {

StepHistory Flat(double h)
{
    StepHistory history;
    history.fill(h);
    return history;
}

TEST(IntegrationCoefficients, TrapAndGearFormulas)
{
    IntegrationCoefficients a{};
    ASSERT_TRUE(ComputeIntegrationCoefficientsFor(kMethodTrap, 2, 0.5, Flat(0.5), a));
    EXPECT_DOUBLE_EQ(a[0], 4.0);
    EXPECT_DOUBLE_EQ(a[1], 1.0);
    ASSERT_TRUE(ComputeIntegrationCoefficientsFor(kMethodTrap, 1, 0.5, Flat(0.5), a));
    EXPECT_DOUBLE_EQ(a[0], 2.0);
    EXPECT_DOUBLE_EQ(a[1], -2.0);
    IntegrationCoefficients g{};
    ASSERT_TRUE(ComputeIntegrationCoefficientsFor(kMethodGear, 1, 0.5, Flat(0.5), g));
    EXPECT_DOUBLE_EQ(g[0], a[0]);
    EXPECT_DOUBLE_EQ(g[1], a[1]);

    const double h = 1e-3;
    ASSERT_TRUE(ComputeIntegrationCoefficientsFor(kMethodGear, 2, h, Flat(h), g));
    EXPECT_NEAR(g[0], 1.5 / h, 1e-9 / h);
    EXPECT_NEAR(g[1], -2.0 / h, 1e-9 / h);
    EXPECT_NEAR(g[2], 0.5 / h, 1e-9 / h);
}

TEST(IntegrationCoefficients, GearIsExactOnPolynomialsOfItsOrder)
{
    // A Gear formula of order k differentiates polynomials of degree k exactly, on any
    // step history.
    const StepHistory history{0.3, 0.5, 0.2, 0.7, 0.4, 0.6, 0.1};
    for (int order = 1; order <= kMaxGearOrder; ++order) {
        IntegrationCoefficients a{};
        ASSERT_TRUE(ComputeIntegrationCoefficientsFor(kMethodGear, order, history[0], history, a));
        double t = 2.0;
        std::vector<double> times{t};
        for (int j = 0; j < order; ++j) times.push_back(t -= history[static_cast<std::size_t>(j)]);
        auto p = [&](double x) { return std::pow(x, order) + 3.0 * x - 1.0; };
        auto dp = [&](double x) { return order * std::pow(x, order - 1) + 3.0; };
        double derivative = 0.0;
        for (int j = 0; j <= order; ++j) derivative += a[static_cast<std::size_t>(j)] * p(times[static_cast<std::size_t>(j)]);
        EXPECT_NEAR(derivative, dp(times[0]), 1e-7 * std::abs(dp(times[0]))) << "order " << order;
    }
}

TEST(IntegrationCoefficients, OrderOutsideRangeLeavesCoefficients)
{
    IntegrationCoefficients a{};
    a.fill(9.0);
    EXPECT_FALSE(ComputeIntegrationCoefficientsFor(kMethodTrap, 3, 1.0, Flat(1.0), a));
    EXPECT_FALSE(ComputeIntegrationCoefficientsFor(kMethodGear, 7, 1.0, Flat(1.0), a));
    EXPECT_FALSE(ComputeIntegrationCoefficientsFor(kMethodGear, 0, 1.0, Flat(1.0), a));
    for (double c : a) EXPECT_EQ(c, 9.0);
}

TEST(ChargeIntegration, PresentCurrentRules)
{
    IntegrationCoefficients a{};
    const double h = 0.1;
    std::array<double, 4> q{2.0, 2.0, 1.0, 0.0};
    std::array<double, 4> i{0.0, 0.5, 0.0, 0.0};
    ComputeIntegrationCoefficientsFor(kMethodTrap, 2, h, Flat(h), a);
    ASSERT_TRUE(IntegrateStateCurrent(kMethodTrap, 2, a, q, i));
    EXPECT_DOUBLE_EQ(i[0], -0.5);  // steady charge: i0 = -i1

    q = {1.5, 1.0, 0.0, 0.0};
    ComputeIntegrationCoefficientsFor(kMethodGear, 1, h, Flat(h), a);
    ASSERT_TRUE(IntegrateStateCurrent(kMethodGear, 1, a, q, i));
    EXPECT_NEAR(i[0], 5.0, 1e-12);  // (q0 - q1) / step

    i[0] = 7.0;
    EXPECT_FALSE(IntegrateStateCurrent(kMethodGear, 4, a, q, i));  // would read the next state
    EXPECT_EQ(i[0], 0.0);
    i[0] = 7.0;
    EXPECT_FALSE(IntegrateStateCurrent(kMethodTrap, 3, a, q, i));
    EXPECT_EQ(i[0], 7.0);
}

TEST(ChargeIntegration, HistoryShiftAndInitialFill)
{
    std::vector<double> v{1, 2, 3, 4, 10, 20, 30, 40};
    ShiftStateBlocks(v);
    EXPECT_EQ(v, (std::vector<double>{1, 1, 2, 3, 10, 10, 20, 30}));
    v = {5, 6, 7, 8};
    FillStateHistories(v);
    EXPECT_EQ(v, (std::vector<double>{5, 6, 6, 6}));
}

// One linear capacitor discharging through a resistor (tau = R C = 1): the capacitor's
// companion model from the state's integration, solved for each point.
struct RcDischarge {
    int method;
    int order;
    double c = 1.0, r = 1.0;
    std::array<double, 4> q{};
    std::array<double, 4> i{};
    StepHistory history{};
    TruncationTolerances tol;

    explicit RcDischarge(int m, int k, double v0) : method(m), order(k)
    {
        q.fill(c * v0);
        i.fill(-v0 / r);
    }

    // Solves the point at the present step (history[0]); returns the voltage.
    double Solve()
    {
        IntegrationCoefficients a{};
        const int k = std::min(order, 2);
        ComputeIntegrationCoefficientsFor(method, k, history[0], history, a);
        // i0(q0) is linear: a0 q0 plus the part from the history.
        q[0] = 0.0;
        IntegrateStateCurrent(method, k, a, q, i);
        const double rest = i[0];
        const double v = -rest / (a[0] * c + 1.0 / r);
        q[0] = c * v;
        IntegrateStateCurrent(method, k, a, q, i);
        return v;
    }
    void Accept(double h)
    {
        q[3] = q[2], q[2] = q[1], q[1] = q[0];
        i[3] = i[2], i[2] = i[1], i[1] = i[0];
        for (int k = kStepHistoryLength - 1; k > 0; --k) history[static_cast<std::size_t>(k)] = history[static_cast<std::size_t>(k - 1)];
        history[0] = h;
    }
};

double FixedStepError(int method, int order, double h)
{
    RcDischarge rc(method, order, 1.0);
    rc.history.fill(h);
    double t = 0.0, worst = 0.0;
    for (int n = 0; t < 1.0 - 1e-12; ++n) {
        // The first point after the operating point runs at order 1.
        rc.order = n == 0 ? 1 : order;
        rc.history[0] = h;
        const double v = rc.Solve();
        t += h;
        worst = std::max(worst, std::abs(v - std::exp(-t)));
        rc.Accept(h);
    }
    return worst;
}

TEST(IntegrationOrder, ConvergenceRatesOnExponentialDecay)
{
    const double coarse = 0.02, fine = 0.01;
    const double euler = FixedStepError(kMethodGear, 1, coarse) / FixedStepError(kMethodGear, 1, fine);
    const double gear2 = FixedStepError(kMethodGear, 2, coarse) / FixedStepError(kMethodGear, 2, fine);
    const double trap = FixedStepError(kMethodTrap, 2, coarse) / FixedStepError(kMethodTrap, 2, fine);
    EXPECT_NEAR(euler, 2.0, 0.15);
    EXPECT_NEAR(gear2, 4.0, 0.5);
    EXPECT_NEAR(trap, 4.0, 0.5);
    // The first point runs at order 1 (its local error h^2/2 dominates).
    EXPECT_LT(FixedStepError(kMethodTrap, 2, fine), 1e-4);
}

TEST(StepControl, EstimateOfOneState)
{
    // A state whose charge is a straight line has no second difference: del = TRTOL tol / ABSTOL.
    const TruncationTolerances tol;
    std::array<double, 4> q{3e-12, 2e-12, 1e-12, 0.0};
    std::array<double, 4> i{1e-9, 1e-9, 1e-9, 1e-9};
    const double h = 1e-3;
    const double currentTol = tol.reltol * 1e-9 + tol.abstol;
    const double chargeTol = tol.reltol * std::max(3e-12, tol.chgtol) / h;
    const double expected = tol.trtol * std::max(currentTol, chargeTol) / tol.abstol;
    EXPECT_NEAR(StateTruncationStepSquared(kMethodGear, 1, h, Flat(h), q, i, tol, 1e20),
                expected * expected, 1e-9 * expected * expected);
    EXPECT_EQ(StateTruncationStepSquared(kMethodGear, 1, h, Flat(h), q, i, tol, 1e-30), 1e-30);
    EXPECT_EQ(StateTruncationStepSquared(kMethodGear, 3, h, Flat(h), q, i, tol, 5.0), 5.0);
}

TEST(StepControl, VariableStepRcFollowsTheAnalyticDecay)
{
    // Steps chosen by the truncation estimate (order 2, trapezoidal) from a small first step:
    // the steps grow as the transient dies away and the error stays at the tolerance scale.
    RcDischarge rc(kMethodTrap, 2, 1.0);
    rc.c = 1e-6;
    rc.r = 1e3;  // tau = 1 ms
    rc.q.fill(rc.c * 1.0);
    rc.i.fill(-1.0 / rc.r);
    const double h0 = 1e-4, tmax = 10e-3;
    double h = h0 / 100.0, t = 0.0, worst = 0.0, firstSteps = 0.0;
    rc.history.fill(h);
    int points = 0;
    for (; t < tmax && points < 10000; ++points) {
        rc.order = points < 2 ? 1 : 2;
        rc.history[0] = h;
        const double v = rc.Solve();
        if (points >= 2) {
            const double next =
                std::sqrt(StateTruncationStepSquared(kMethodTrap, rc.order, h, rc.history, rc.q, rc.i, rc.tol, 1e20));
            const double proposal = std::min({next, h0, 2.0 * h});
            if (proposal < 0.9 * h) {  // rejected: retry the point with the smaller step
                h = proposal;
                continue;
            }
            t += h;
            worst = std::max(worst, std::abs(v - std::exp(-t / 1e-3)));
            rc.Accept(h);
            if (firstSteps == 0.0) firstSteps = h;
            h = proposal;
        } else {
            t += h;
            rc.Accept(h);
        }
    }
    EXPECT_LT(points, 2000);
    EXPECT_GE(h, 50.0 * firstSteps);  // the step grew to h0
    EXPECT_LT(worst, 5e-3);
}

TEST(StepControl, LcOscillatorKeepsPhaseAndAmplitude)
{
    // Undamped LC (L = C = 1): v'' = -v, v(0) = 1. Trapezoidal order 2 conserves the energy.
    const double h = 0.01;
    IntegrationCoefficients a{};
    ComputeIntegrationCoefficientsFor(kMethodTrap, 2, h, Flat(h), a);
    std::array<double, 4> q{1, 1, 1, 1}, iq{0, 0, 0, 0};  // capacitor charge and current
    std::array<double, 4> f{0, 0, 0, 0}, ifl{1, 1, 1, 1};  // inductor flux and voltage
    double v = 1.0, il = 0.0, t = 0.0;
    for (int n = 0; n < 628; ++n) {
        // Node: C dv/dt + il = 0; branch: L dil/dt - v = 0, both linear in (v, il).
        q[0] = 0.0, f[0] = 0.0;
        IntegrateStateCurrent(kMethodTrap, 2, a, q, iq);
        IntegrateStateCurrent(kMethodTrap, 2, a, f, ifl);
        const double rc = iq[0], rl = ifl[0];
        // a0 v + rc + il = 0; a0 il + rl - v = 0
        il = -(a[0] * rl + rc) / (a[0] * a[0] + 1.0);
        v = a[0] * il + rl;
        q[0] = v, f[0] = il;
        IntegrateStateCurrent(kMethodTrap, 2, a, q, iq);
        IntegrateStateCurrent(kMethodTrap, 2, a, f, ifl);
        ShiftStateBlocks(q), ShiftStateBlocks(iq), ShiftStateBlocks(f), ShiftStateBlocks(ifl);
        t += h;
    }
    EXPECT_NEAR(v * v + il * il, 1.0, 1e-9);
    EXPECT_NEAR(v, std::cos(t), 5e-4);
    EXPECT_NEAR(il, std::sin(t), 5e-4);
}

class SolverStepControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAnalogSolverStateForTests();
        ResetDeviceListsForTests();
        ResetGlobalOptionsForTests();
    }
    void TearDown() override { ResetAnalogSolverStateForTests(); }
};

TEST_F(SolverStepControl, EstimateWithoutStatesIsBoundedByInitialAndDoubleStep)
{
    AnalogSolverState& s = AnalogSolver();
    s.step = 1e-6;
    s.stepHistory.fill(1e-6);
    EXPECT_DOUBLE_EQ(TruncationStepEstimate(1e-5), 2e-6);
    EXPECT_DOUBLE_EQ(TruncationStepEstimate(1e-7), 1e-7);
    EXPECT_DOUBLE_EQ(InterfaceTruncationStepEstimate(1e-5), 1e-5);
}

TEST_F(SolverStepControl, CoefficientsAndCompanionModelFromSolverState)
{
    AnalogSolverState& s = AnalogSolver();
    s.method = kMethodGear;
    s.order = 1;
    s.step = 0.25;
    s.stepHistory.fill(0.25);
    s.chargeStates = {2.0, 1.0, 1.0, 1.0};
    s.currentStates = {0.0, 0.0, 0.0, 0.0};
    ComputeIntegrationCoefficients();
    EXPECT_DOUBLE_EQ(s.ag0, 4.0);
    double geq = 0.0, ceq = 0.0;
    IntegrateCharge(0, 3.0, geq, ceq);
    EXPECT_DOUBLE_EQ(s.currentStates[0], 4.0);  // (2 - 1) / 0.25
    EXPECT_DOUBLE_EQ(geq, 12.0);
    EXPECT_DOUBLE_EQ(ceq, 4.0 - 4.0 * 2.0);
    // An index outside the vectors changes nothing.
    geq = ceq = -1.0;
    IntegrateCharge(4, 3.0, geq, ceq);
    EXPECT_EQ(geq, -1.0);

    s.order = 9;  // outside the method's range: coefficients stay
    ComputeIntegrationCoefficients();
    EXPECT_DOUBLE_EQ(s.ag0, 4.0);

    InitStateHistories();
    s.chargeStates = {5.0, 1.0, 7.0, 7.0};
    InitStateHistories();
    EXPECT_EQ(s.chargeStates, (std::vector<double>{5.0, 1.0, 1.0, 1.0}));
    ShiftStateHistories();
    EXPECT_EQ(s.chargeStates, (std::vector<double>{5.0, 5.0, 1.0, 1.0}));
}

}  // namespace
}  // namespace kq5
