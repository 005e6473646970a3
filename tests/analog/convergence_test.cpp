// Tolerance tests, value helpers, the junction charge, and POLY sources.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analog/convergence.h"
#include "devices/poly_load.h"
#include "solver_test_support.h"

namespace kq5::solver_test {
namespace {

TEST_F(SolverTest, ConvergenceTestsAtAndAroundTheTolerance)
{
    AnalogSolverState& s = AnalogSolver();
    s.nonConvergedCount = 0;
    CheckValueConverged(1.0, 1.0 + 1e-3);
    EXPECT_EQ(s.nonConvergedCount, 0);
    CheckValueConverged(1.0, 1.0 + 2e-3);
    EXPECT_EQ(s.nonConvergedCount, 1);
    CheckValueConverged(0.0, 0.0);
    CountCurrentNonConverged(0.0, 0.0);
    EXPECT_EQ(s.nonConvergedCount, 1);

    // A difference exactly at the tolerance: the counting tests count nothing, the
    // converged-tests say "not converged".
    s.reltol = 0.0;
    s.vntol = 1.0;
    s.abstol = 1.0;
    s.nonConvergedCount = 0;
    CheckValueConverged(1.0, 0.0);
    CountCurrentNonConverged(1.0, 0.0);
    EXPECT_EQ(s.nonConvergedCount, 0);
    EXPECT_EQ(VoltageValueConverged(1.0, 0.0), 0);
    EXPECT_EQ(CurrentValueConverged(1.0, 0.0), 0);
    EXPECT_EQ(VoltageValueConverged(0.5, 0.0), 1);

    double old = 0.0;
    s.reltol = 1e-3;
    UpdateConvergedValue(1e-21, old);
    EXPECT_EQ(s.nonConvergedCount, 0);
    EXPECT_DOUBLE_EQ(old, 1e-21);
    UpdateConvergedValue(1.0, old);
    EXPECT_EQ(s.nonConvergedCount, 1);
    EXPECT_DOUBLE_EQ(old, 1.0);
}

TEST_F(SolverTest, ValueHelpersKeepValuesAwayFromZero)
{
    double r = 0.0;
    ClampAwayFromZeroRmin(r);
    EXPECT_DOUBLE_EQ(r, 1e-6);
    r = -1e-9;
    ClampAwayFromZeroRmin(r);
    EXPECT_DOUBLE_EQ(r, -1e-6);
    r = 5.0;
    ClampAwayFromZeroRmin(r);
    EXPECT_DOUBLE_EQ(r, 5.0);
    double c = -1e-30;
    ClampAwayFromZeroTiny(c);
    EXPECT_DOUBLE_EQ(c, -1e-20);
    EXPECT_DOUBLE_EQ(MaxMagnitude(-3.0, 2.0), 3.0);
    EXPECT_TRUE(std::isnan(MaxDouble(1.0, std::nan(""))));
}

class JunctionTest : public SolverTest {
protected:
    void SetUp() override
    {
        SolverTest::SetUp();
        AnalogSolver().chargeStates.assign(8, 0.0);
        // Knee FC x PB = 0.5 x 0.8 and its coefficients for M = 0.5 (forward-bias line).
        params_ = {0.4f, 0.0f, 0.0f, 0.0f};
        const double fc = 0.5, pb = 0.8, m = 0.5;
        const double r = std::pow(1.0 - fc, -(1.0 + m));
        params_[1] = static_cast<float>((1.0 - fc * (1.0 + m)) * r);
        params_[2] = static_cast<float>(m * r / pb);
        const double f1 = pb * (1.0 - std::pow(1.0 - fc, 1.0 - m)) / (1.0 - m);
        params_[3] = static_cast<float>(f1 - fc * pb * params_[1] - 0.5 * params_[2] * fc * pb * fc * pb);
    }
    JunctionChargeInputs Inputs(double v, double m)
    {
        JunctionChargeInputs in;
        in.params = params_;
        in.kneeSlot = 0;
        in.coefficientSlot = 1;
        in.voltage = v;
        in.pb = 0.8;
        in.m = m;
        in.cj = 1e-12;
        return in;
    }
    std::vector<float> params_;
};

TEST_F(JunctionTest, GradedJunctionChargeAndCapacitance)
{
    double cap = 0.0;
    JunctionChargeAndCapacitance(Inputs(-2.0, 0.5), 0, cap, false);
    const double a = 1.0 + 2.0 / 0.8;
    EXPECT_NEAR(cap, 1e-12 / std::sqrt(a), 1e-24);
    EXPECT_NEAR(AnalogSolver().chargeStates[0], 0.8e-12 * (1.0 - std::sqrt(a)) / 0.5, 1e-24);

    // The second junction of a device adds to the first.
    JunctionChargeAndCapacitance(Inputs(-2.0, 0.5), 0, cap, true);
    EXPECT_NEAR(cap, 2e-12 / std::sqrt(a), 1e-24);
}

TEST_F(JunctionTest, GradingOfOneGivesTheLogarithmicCharge)
{
    double cap = 0.0;
    JunctionChargeAndCapacitance(Inputs(0.2, 1.0), 4, cap, false);
    const double a = 1.0 - 0.2 / 0.8;
    EXPECT_NEAR(cap, 1e-12 / a, 1e-24);
    EXPECT_NEAR(AnalogSolver().chargeStates[4], -0.8e-12 * std::log(a), 1e-24);
    // The charge's slope is the capacitance.
    double cap2 = 0.0;
    JunctionChargeAndCapacitance(Inputs(0.2 + 1e-6, 1.0), 4, cap2, false);
    const double q2 = AnalogSolver().chargeStates[4];
    JunctionChargeAndCapacitance(Inputs(0.2 - 1e-6, 1.0), 4, cap2, false);
    EXPECT_NEAR((q2 - AnalogSolver().chargeStates[4]) / 2e-6, cap, 1e-17);
}

TEST_F(JunctionTest, KneeVoltageTakesTheForwardBiasLine)
{
    const double knee = params_[0];
    double cap = 0.0;
    JunctionChargeAndCapacitance(Inputs(knee, 0.5), 0, cap, false);
    EXPECT_NEAR(cap, 1e-12 * (params_[1] + params_[2] * knee), 1e-24);
    // Continuous with the power law just below the knee.
    double below = 0.0;
    JunctionChargeAndCapacitance(Inputs(knee - 1e-9, 0.5), 0, below, false);
    EXPECT_NEAR(below, cap, 1e-17);
}

TEST(PolyOrder, ExponentVectorsFollowTheStandardOrder)
{
    std::vector<int> e(4, 0);
    std::vector<std::vector<int>> seen;
    for (int i = 0; i < 9; ++i) {
        NextExponentVector(e, 2);
        seen.push_back({e[1], e[2]});
    }
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{{1, 0}, {0, 1}, {2, 0}, {1, 1}, {0, 2}, {3, 0}, {2, 1}, {1, 2}, {0, 3}}));
    std::fill(e.begin(), e.end(), 0);
    std::vector<std::vector<int>> three;
    for (int i = 0; i < 9; ++i) {
        NextExponentVector(e, 3);
        if (i >= 3) three.push_back({e[1], e[2], e[3]});
    }
    EXPECT_EQ(three, (std::vector<std::vector<int>>{{2, 0, 0}, {1, 1, 0}, {1, 0, 1}, {0, 2, 0}, {0, 1, 1}, {0, 0, 2}}));
    EXPECT_DOUBLE_EQ(PowerOf(0.0, 7), 0.0);
    EXPECT_DOUBLE_EQ(PowerOf(2.0, 5), 32.0);
}

TEST_F(SolverTest, PolySourcesOfEveryForm)
{
    // V(1) = 3, I(V1) = -3 mA through 1k.
    Nodes(5);
    IndependentSourceDevice* v1 = V(1, 0, 3.0);
    R(1, 0, 1000.0);
    Poly(kPolyVoltageOfVoltage, 2, 0, {{1, 0}}, {}, {0.0, 0.0, 1.0});       // E = V1^2
    Poly(kPolyCurrentOfVoltage, 3, 0, {{1, 0}}, {}, {1e-3, 1e-3});          // 1m + 1m V1
    R(3, 0, 1000.0);
    Poly(kPolyVoltageOfCurrent, 4, 0, {}, {v1}, {0.0, 1000.0});            // 1000 I(V1)
    Poly(kPolyCurrentOfCurrent, 5, 0, {}, {v1}, {0.0, 2.0});               // 2 I(V1)
    R(5, 0, 1000.0);
    ASSERT_EQ(OperatingPoint(kRunKindTransient), 0);
    EXPECT_NEAR(X(2), 9.0, 1e-6);
    EXPECT_NEAR(X(3), -4.0, 1e-6);
    EXPECT_NEAR(X(4), -3.0, 1e-6);
    EXPECT_NEAR(X(5), 6.0, 1e-6);
    const PolyStamps& e = AnalogSolver().devices.polySources[0];
    EXPECT_NEAR(e.controls[1].derivative, 6.0, 1e-6);
}

TEST_F(SolverTest, PolyValueDerivativesAndClamp)
{
    Nodes(2);
    PolySourceDevice* p = Poly(kPolyVoltageOfVoltage, 0, 0, {{1, 0}, {2, 0}}, {}, {0.0, 0.0, 0.0, 1.0});
    ASSERT_GE(NumberDeviceRows(2), 3);
    PolyStamps& st = AnalogSolver().devices.polySources[0];
    st.controls[1].x = 3.0;
    st.controls[2].x = 5.0;
    EXPECT_DOUBLE_EQ(PolyValue(*p, st, 0), 9.0);
    EXPECT_DOUBLE_EQ(PolyValue(*p, st, 1), 6.0);
    EXPECT_DOUBLE_EQ(PolyValue(*p, st, 2), 0.0);
    p->coefficients = {1e-40};
    EXPECT_DOUBLE_EQ(PolyValue(*p, st, 0), 1e-30);
    p->coefficients = {0.0, 0.0};
    EXPECT_DOUBLE_EQ(PolyValue(*p, st, 0), 0.0);
}

TEST_F(SolverTest, PolyControlsByIterationMode)
{
    Nodes(2);
    V(1, 0, 10.0);
    R(2, 0, 1.0);
    Poly(kPolyCurrentOfVoltage, 2, 0, {{1, 0}}, {}, {0.0, 1.0});
    AnalogSolverState& s = AnalogSolver();
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    s.setupDone = 1;
    PolyStamps& st = s.devices.polySources[0];
    st.controls[1].initial = 0.25;

    // Initialising junctions: the initial value, and always unconverged.
    s.iterationMode = kModeInitJunctions;
    s.nonConvergedCount = 0;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_DOUBLE_EQ(st.controls[1].x, 0.25);
    EXPECT_EQ(s.nonConvergedCount, 1);

    // A predictor that would move the control from 10 to 13 is cut to 11.
    SolutionVector()[1] = 10.0;
    s.savedSolution[1] = 12.0;
    s.olderSolution[1] = 11.0;
    s.predictorRatio = 1.0;
    s.iterationMode = kModePredictor;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_DOUBLE_EQ(st.controls[1].x, 11.0);

    // A current output whose old and new values lie below VNTOL never counts.
    st.value = 1e-7;
    s.iterationMode = kModeNormal;
    SolutionVector()[1] = 5e-7;
    s.nonConvergedCount = 0;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_EQ(s.nonConvergedCount, 0);
}

}  // namespace
}  // namespace kq5::solver_test
