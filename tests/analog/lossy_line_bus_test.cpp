// Several lossy lines in one circuit: lines of equal values share their kernel weights within
// a time point, lines of different values must each keep their own response.
#include <gtest/gtest.h>

#include <cmath>

#include "netlist/line_switch_devices.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

constexpr double kEdge = 10e-9;
constexpr double kRise = 1e-9;

class LossyLineBusTest : public RunLoopTest {
protected:
    // A line of 250 nH and 100 pF per metre (Z0 50 ohm), 2 m (TD 10 ns), from near to far,
    // driven through 50 ohm from the source node and loaded by 50 ohm.
    void Line(EvaluatedModel& model, double r, int source, int nearEnd, int farEnd)
    {
        model.params.assign(22, 0.0f);
        for (auto [slot, value] : {std::pair{4, r}, std::pair{5, 250e-9}, std::pair{7, 100e-12}, std::pair{8, 2.0}})
            model.params[static_cast<std::size_t>(slot)] = static_cast<float>(value);
        R(source, nearEnd, 50.0);
        auto* line = Add<LossyLineDevice>(kLossyLineDeviceList, kKindLossyLine);
        line->model = &model;
        line->port1Plus = nearEnd;
        line->port2Plus = farEnd;
        R(farEnd, 0, 50.0);
    }

    EvaluatedModel models_[3];
};

TEST_F(LossyLineBusTest, EachLineKeepsItsOwnLossBesideLinesOfOtherValues)
{
    // Three lines on one source: two of 5 ohm/m (separate models of equal values) and one of
    // 20 ohm/m. The fronts arrive attenuated by exp(-R/(2L) TD) and settle to the divider.
    Nodes(7);
    Pulse(1, 0, {0.0, 1.0, kEdge, kRise, kRise, 1.0, 2.0});
    Line(models_[0], 5.0, 1, 2, 3);
    Line(models_[1], 20.0, 1, 4, 5);
    Line(models_[2], 5.0, 1, 6, 7);
    std::vector<std::array<double, 4>> far;
    RunServices().plotPoint = [&far](WindowRecord*) {
        far.push_back({AnalogSolver().time, X(3), X(5), X(7)});
    };
    ASSERT_EQ(Transient(400e-9), 0);
    ASSERT_FALSE(far.empty());
    std::array<double, 4> front{};
    for (const auto& p : far) {
        if (p[0] < kEdge + 10e-9) {
            for (int k = 1; k <= 3; ++k) {
                EXPECT_NEAR(p[static_cast<std::size_t>(k)], 0.0, 1e-6) << p[0];
            }
        }
        if (front[0] == 0.0 && p[0] >= kEdge + 10e-9 + 1.2 * kRise) front = p;
    }
    EXPECT_NEAR(front[1], 0.5 * std::exp(-0.1), 5e-3);
    EXPECT_NEAR(front[2], 0.5 * std::exp(-0.4), 5e-3);
    EXPECT_NEAR(front[3], 0.5 * std::exp(-0.1), 5e-3);
    EXPECT_NEAR(far.back()[1], 50.0 / 110.0, 2e-3);
    EXPECT_NEAR(far.back()[2], 50.0 / 140.0, 2e-3);
    EXPECT_NEAR(far.back()[3], 50.0 / 110.0, 2e-3);
}

}  // namespace
}  // namespace kq5::solver_test
