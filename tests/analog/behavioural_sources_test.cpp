// Table sources on hand-worked circuits: every output kind at the operating point (inside the
// table, on its end segments and beyond its ends), the transient step that lands on a table
// breakpoint instead of jumping across it, and the AC gain from the operating-point slope.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "netlist/controlled_source_devices.h"
#include "devices/table_source_load.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

class TableSourceTest : public RunLoopTest {
protected:
    // A table source of type 39 G, 40 F, 41 E, 42 H over the (x, y) points, stored as the
    // build stores them: the first point repeated before and the last one after.
    TableSourceDevice* Table(int type, int p, int n, int cp, int cn, std::vector<double> points)
    {
        auto* t = Add<TableSourceDevice>(kTableSourceDeviceList);
        t->outputKind = type;
        t->outputPlus = p;
        t->outputMinus = n;
        t->controlPlus = cp;
        t->controlMinus = cn;
        t->table.assign(points.begin(), points.begin() + 2);
        t->table.insert(t->table.end(), points.begin(), points.end());
        t->table.insert(t->table.end(), points.end() - 2, points.end());
        t->entryCount = static_cast<std::int32_t>(t->table.size() / 2);
        return t;
    }
    static double Interpolate(const std::vector<double>& p, double u)
    {
        if (u <= p[0]) return p[1];
        for (std::size_t i = 2; i < p.size(); i += 2)
            if (u <= p[i]) return p[i - 1] + (u - p[i - 2]) * (p[i + 1] - p[i - 1]) / (p[i] - p[i - 2]);
        return p[p.size() - 1];
    }
};

TEST_F(TableSourceTest, EveryOutputKindAtTheOperatingPoint)
{
    Nodes(10);
    const std::vector<double> volts{-1.0, -2.0, 0.0, 0.0, 0.5, 0.2, 1.0, 1.5};
    // E inside the table, on a breakpoint, below and above it (ends held).
    const double inputs[] = {0.3, 0.5, -3.0, 4.0};
    for (int k = 0; k < 4; ++k) {
        V(1 + k, 0, inputs[k]);
        Table(41, 5 + k, 0, 1 + k, 0, volts);
        R(5 + k, 0, 1e3);
    }
    // G drives its current from its positive node through itself to the negative one.
    V(9, 0, 0.75);
    Table(39, 0, 10, 9, 0, {0.0, 0.0, 1.0, 2e-3});
    R(10, 0, 1e3);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(5), 0.12, 1e-9);
    EXPECT_NEAR(X(6), 0.2, 1e-9);
    EXPECT_NEAR(X(7), -2.0, 1e-9);
    EXPECT_NEAR(X(8), 1.5, 1e-9);
    EXPECT_NEAR(X(10), 1.5, 1e-9);
}

TEST_F(TableSourceTest, CurrentControlledKindsReadTheirSensingBranch)
{
    Nodes(4);
    // 2 mA flows through the sensing branch of each, from its positive control node.
    I(0, 1, 2e-3);
    I(0, 3, 2e-3);
    auto* f = Table(40, 0, 2, 1, 0, {0.0, 0.0, 4e-3, 8e-3});
    R(2, 0, 1e3);
    auto* h = Table(42, 4, 0, 3, 0, {-1e-3, 5.0, 1e-3, 1.0, 3e-3, 3.0});
    R(4, 0, 1e3);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(2), 4.0, 1e-9);
    EXPECT_NEAR(X(4), 2.0, 1e-9);
    EXPECT_NEAR(f->slope, 2.0, 1e-12);
    EXPECT_NEAR(h->slope, 1000.0, 1e-9);
}

TEST_F(TableSourceTest, RampLandsJustPastEachBreakpoint)
{
    Nodes(3);
    // A 0 -> 2 V ramp over 1 ms into a table with corners at 0.7 V and 1.3 V.
    Pulse(1, 0, {0.0, 2.0, 0.0, 1e-3, 1e-9, 1.0, 4.0});
    R(1, 0, 1e3);
    const std::vector<double> points{0.0, 0.0, 0.7, 0.7, 1.3, 0.85, 2.0, 2.0};
    Table(41, 2, 0, 1, 0, points);
    R(2, 3, 1e3);
    C(3, 0, 1e-9);
    std::vector<std::pair<double, double>> seen;
    probe = [&] {
        seen.emplace_back(X(1), X(2));
        return X(2);
    };
    ASSERT_EQ(Transient(1e-3, 11, 2e-4), 0);
    ASSERT_GT(seen.size(), 5u);
    for (const auto& [u, y] : seen) EXPECT_NEAR(y, Interpolate(points, u), 1e-9) << u;
    // Some accepted point lies within 1 % of the step past each corner: the steps were cut
    // to land there rather than straddle it.
    for (double corner : {0.7, 1.3}) {
        double nearest = 1.0;
        for (const auto& [u, y] : seen)
            if (u >= corner) nearest = std::min(nearest, u - corner);
        EXPECT_LT(nearest, 2e-3) << corner;
    }
}

TEST_F(TableSourceTest, StepRatioAsksForTheCrossingFraction)
{
    Nodes(2);
    V(1, 0, 0.0);
    auto* t = Table(41, 2, 0, 1, 0, {0.0, 0.0, 1.0, 1.0, 2.0, 3.0});
    R(2, 0, 1e3);
    AnalogSolverState& s = AnalogSolver();
    s.runPhase = kPhaseTimeSteps;
    s.acceptedPointCount = 1;
    // Accepted at 0.8 (row 3: the first real segment), now at 1.2: the corner at 1.0 is
    // half-way, asked for 0.1 % past it; the segment moves one up.
    t->acceptedSegment = 2;
    t->acceptedInput = 0.8;
    t->segment = 3;
    t->input = 1.2;
    TableSourceStepRatio();
    EXPECT_NEAR(s.stepFactors[kStepFactorTableSource], 0.5 * 1.001, 1e-12);
    EXPECT_EQ(t->segment, 3);
    // A crossing at under a tenth of the step asks for nothing; so does an unmoved input.
    t->acceptedInput = 0.99;
    t->segment = 3;
    TableSourceStepRatio();
    EXPECT_EQ(s.stepFactors[kStepFactorTableSource], 1e30);
    t->segment = 2;
    TableSourceStepRatio();
    EXPECT_EQ(s.stepFactors[kStepFactorTableSource], 1e30);
    // Downwards across the corner at 1.0 from 1.5 to 0.5.
    t->acceptedSegment = 3;
    t->acceptedInput = 1.5;
    t->segment = 2;
    t->input = 0.5;
    TableSourceStepRatio();
    EXPECT_NEAR(s.stepFactors[kStepFactorTableSource], 0.5 * 1.001, 1e-12);
    // Nothing is asked before the first accepted time point.
    s.acceptedPointCount = 0;
    t->segment = 2;
    TableSourceStepRatio();
    EXPECT_EQ(s.stepFactors[kStepFactorTableSource], 1e30);
    AcceptTableSourceStates();
    EXPECT_EQ(t->acceptedSegment, 2);
    EXPECT_EQ(t->acceptedInput, 0.5);
}

}  // namespace
}  // namespace kq5::solver_test
