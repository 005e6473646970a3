// The lossy transmission line in the time domain against closed forms: an RC line charging
// its open far end by diffusion, a lossless line delaying a matched step, an RLC line
// attenuating the front by exp(-R/(2L) TD); and its history bounded during the run and
// released after it.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "devices/ideal_line_load.h"
#include "netlist/line_switch_devices.h"
#include "devices/lossy_line_load.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

constexpr double kEdge = 10e-9;
constexpr double kRise = 1e-9;

class LossyLineTest : public RunLoopTest {
protected:
    // Node 1 the source, 2 the near end, 3 the far end; the line from 2 to 3.
    LossyLineDevice* Line(double r, double l, double g, double c, double len, double source, double load)
    {
        model_.params.assign(22, 0.0f);
        for (auto [slot, value] : {std::pair{4, r}, std::pair{5, l}, std::pair{6, g}, std::pair{7, c}, std::pair{8, len}})
            model_.params[static_cast<std::size_t>(slot)] = static_cast<float>(value);
        Nodes(3);
        Pulse(1, 0, {0.0, 1.0, kEdge, kRise, kRise, 1.0, 2.0});
        R(1, 2, source);
        auto* line = Add<LossyLineDevice>(kLossyLineDeviceList, kKindLossyLine);
        line->model = &model_;
        line->port1Plus = 2;
        line->port2Plus = 3;
        R(3, 0, load);
        probe = [] { return X(3); };
        return line;
    }

    EvaluatedModel model_;
};

TEST(ScaledBesselTest, AgreesWithTheLibraryOnBothSidesOfTheSeriesBranch)
{
    for (double x : {0.0, 1e-6, 0.5, 3.75, 20.0, 29.99, 30.0, 599.0, 600.0, 650.0, 700.0}) {
        SCOPED_TRACE(x);
        const double i0 = std::exp(-x) * std::cyl_bessel_i(0.0, x);
        const double i1 = std::exp(-x) * std::cyl_bessel_i(1.0, x);
        // The series below 30 is as exact as the library; the large-argument form is not.
        const double tolerance = x < 30.0 ? 1e-12 : 1e-6;
        EXPECT_NEAR(ScaledBesselI0(x), i0, tolerance * i0);
        EXPECT_NEAR(ScaledBesselI1(x), i1, tolerance * i1 + 1e-300);
    }
    // Far beyond the library's range the values still fall as 1/sqrt(2 pi x).
    EXPECT_NEAR(ScaledBesselI0(1e6) * std::sqrt(2.0 * std::numbers::pi * 1e6), 1.0, 1e-6);
}

TEST_F(LossyLineTest, RcLineChargesItsOpenEndByDiffusion)
{
    // R 100 ohm/m, C 1 nF/m, 1 m: the diffusion time R C len^2 is 100 ns.
    Line(100.0, 0.0, 0.0, 1e-9, 1.0, 1e-3, 1e12);
    ASSERT_EQ(Transient(1e-6), 0);
    const double b = std::sqrt(100.0 * 1e-9);
    double worst = 0.0;
    for (const OutputPoint& p : points) {
        const double t = p.x - kEdge - 0.5 * kRise;
        double expected = 0.0;
        // The open end doubles the wave; its images alternate in sign.
        for (int n = 0; t > 0.0 && n < 20; ++n)
            expected += 2.0 * (n % 2 ? -1.0 : 1.0) * std::erfc((2 * n + 1) * b / (2 * std::sqrt(t)));
        worst = std::max(worst, std::abs(p.y - expected));
    }
    EXPECT_LT(worst, 0.02);
    EXPECT_GT(points.back().y, 0.99);
}

TEST_F(LossyLineTest, LosslessLineDelaysAMatchedStep)
{
    // 250 nH and 100 pF per metre, 2 m: Z0 50 ohm, TD 10 ns.
    Line(0.0, 250e-9, 0.0, 100e-12, 2.0, 50.0, 50.0);
    ASSERT_EQ(Transient(60e-9), 0);
    for (const OutputPoint& p : points) {
        if (p.x < kEdge + 10e-9) {
            EXPECT_NEAR(p.y, 0.0, 1e-6) << p.x;
        }
        if (p.x > kEdge + 10e-9 + kRise) {
            EXPECT_NEAR(p.y, 0.5, 2e-3) << p.x;
        }
    }
}

TEST_F(LossyLineTest, RlcLineAttenuatesTheFrontAndSettlesToTheDivider)
{
    // As above with 5 ohm/m: alpha = R/(2L) = 1e7 /s, so the front arrives as exp(-0.1) / 2.
    Line(5.0, 250e-9, 0.0, 100e-12, 2.0, 50.0, 50.0);
    ASSERT_EQ(Transient(400e-9), 0);
    double front = NAN;
    for (const OutputPoint& p : points) {
        if (p.x < kEdge + 10e-9) {
            EXPECT_NEAR(p.y, 0.0, 1e-6) << p.x;
        }
        if (std::isnan(front) && p.x >= kEdge + 10e-9 + 1.2 * kRise) front = p.y;
    }
    EXPECT_NEAR(front, 0.5 * std::exp(-0.1), 5e-3);
    EXPECT_NEAR(points.back().y, 50.0 / 110.0, 2e-3);
}

TEST_F(LossyLineTest, HistoryHoldsAboutOneDelayDuringTheRunAndIsReleasedAfter)
{
    // Ten thousand points of a 10 ns line: the samples the convolution has folded into its
    // blocks and no wave still needs are dropped, so memory does not grow with the run.
    LossyLineDevice* line = Line(5.0, 250e-9, 0.0, 100e-12, 2.0, 50.0, 50.0);
    std::size_t accepted = 0;
    RunServices().plotPoint = [&accepted](WindowRecord*) { ++accepted; };
    ASSERT_EQ(Transient(10e-6, 51, 1e-9), 0);
    EXPECT_GT(accepted, 9000u);
    EXPECT_GT(line->samples.size(), 10u);
    EXPECT_LT(line->samples.size(), 300u);
    FreeTransientRunTables();
    EXPECT_EQ(line->samples.capacity(), 0u);
    EXPECT_EQ(line->responseTable.capacity(), 0u);
}

}  // namespace
}  // namespace kq5::solver_test
