// The DC sweep on a divider: the points reach the final value in both directions, the step
// adapts within its bounds, Input 2 makes one sweep per value, and a curve without a Y range
// cannot stall the sweep.
#include <gtest/gtest.h>

#include <cmath>

#include "analog/device_dispatch.h"
#include "netlist/diode_device.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

class DcSweepTest : public RunLoopTest {
protected:
    void SetUp() override
    {
        RunLoopTest::SetUp();
        Analysis().analysisKind = kAnalysisDc;
        Nodes(3);
        V(1, 0, 0.0);
        R(1, 2, 1e3);
        R(2, 0, 1e3);
        axis = [] { return DcSweep().value1; };
        probe = [] { return X(2); };
        RunServices().endCase = [this](WindowRecord*) { ++sweeps; };
    }
    int Sweep(double initial, double final, double step)
    {
        DcSweepState& d = DcSweep();
        d.input1 = {kIndependentSourceDeviceList, 0};
        d.initial1 = initial;
        d.final1 = final;
        d.userStep = OrientStep(final - initial, step == 0.0 ? (final - initial) * 0.02 : step);
        d.maxChange = 0.05;
        return DcSweepCase(nullptr);
    }
    int sweeps = 0;
};

TEST_F(DcSweepTest, RisingSweepEndsAtFinalWithCorrectValues)
{
    ASSERT_EQ(Sweep(0.0, 10.0, 1.0), 0);
    ASSERT_GE(points.size(), 10u);
    EXPECT_DOUBLE_EQ(points.front().x, 0.0);
    EXPECT_DOUBLE_EQ(points.back().x, 10.0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].y, points[i].x / 2.0, 1e-9);
        if (i > 0) {
            EXPECT_GT(points[i].x, points[i - 1].x);
            EXPECT_LE(points[i].x - points[i - 1].x, 1.0 + 1e-12);  // never above S
        }
    }
    EXPECT_EQ(sweeps, 1);
}

TEST_F(DcSweepTest, FallingSweepAndSinglePoint)
{
    ASSERT_EQ(Sweep(5.0, -5.0, 2.0), 0);
    EXPECT_DOUBLE_EQ(points.front().x, 5.0);
    EXPECT_DOUBLE_EQ(points.back().x, -5.0);
    points.clear();
    ASSERT_EQ(Sweep(3.0, 3.0, 1.0), 0);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_NEAR(points[0].y, 1.5, 1e-9);
}

TEST_F(DcSweepTest, OrientStepFollowsTheRange)
{
    EXPECT_EQ(OrientStep(10.0, -3.0), 3.0);
    EXPECT_EQ(OrientStep(2.0, 3.0), 2.0);
    EXPECT_EQ(OrientStep(-10.0, 3.0), -3.0);
    EXPECT_EQ(OrientStep(-2.0, 3.0), -2.0);
    EXPECT_EQ(OrientStep(0.0, 3.0), 0.0);
}

TEST_F(DcSweepTest, InputTwoMakesOneSweepPerValue)
{
    V(3, 0, 0.0);
    R(3, 2, 1e3);
    DcSweepState& d = DcSweep();
    d.input2Active = true;
    d.input2 = {kIndependentSourceDeviceList, 1};
    d.initial2 = 0.0;
    d.final2 = 2.0;
    d.step2 = 1.0;
    ASSERT_EQ(Sweep(0.0, 3.0, 1.0), 0);
    EXPECT_EQ(sweeps, 3);
    // The last sweep ran with Input 2 at 2 V: V(2) = (V1 + V3) / 3.
    EXPECT_NEAR(points.back().y, (3.0 + 2.0) / 3.0, 1e-9);
}

TEST_F(DcSweepTest, CurveWithoutYSpanDoesNotStallTheSweep)
{
    // No plotted curve: the Y span is 0, so no point can be rejected for moving too much and
    // the step grows to S instead of shrinking towards its minimum.
    ASSERT_EQ(Sweep(0.0, 100.0, 1.0), 0);
    EXPECT_LT(points.size(), 150u);
    EXPECT_DOUBLE_EQ(points.back().x, 100.0);
}

TEST_F(DcSweepTest, PointThatNeverConvergesEndsTheSweepInsteadOfBeingPlotted)
{
    // A device that stops converging above 5 V: its load always reports a value unsettled.
    Add<DiodeDevice>(kDiodeDeviceList);
    RegisterDeviceKindHandlers(kSlotDiodes, [] { return 0; }, [] {
        if (DcSweep().value1 > 5.0) ++AnalogSolver().nonConvergedCount;
        return 0;
    });
    const int rc = Sweep(0.0, 10.0, 1.0);
    RegisterDeviceKindHandlers(kSlotDiodes, nullptr, nullptr);
    EXPECT_EQ(rc, 14190);
    ASSERT_FALSE(points.empty());
    for (const OutputPoint& p : points) EXPECT_LE(p.x, 5.0);
    EXPECT_GT(DcSweep().value1, 5.0);  // the value reported with the failure
}

}  // namespace
}  // namespace kq5::solver_test
