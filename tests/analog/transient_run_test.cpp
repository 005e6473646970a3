// The transient run on circuits with known responses: an RC step, a series RLC ring-down, the
// landing on waveform corners, and the failures of the time loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

constexpr double kTau = 1e-3;  // 1k x 1u

TEST_F(RunLoopTest, RcStepResponseFollowsTheExponential)
{
    Nodes(2);
    Pulse(1, 0, {0.0, 1.0, 1e-4, 1e-9, 1e-9, 1.0, 2.0});
    R(1, 2, 1e3);
    C(2, 0, 1e-6);
    probe = [] { return X(2); };
    ASSERT_EQ(Transient(5e-3), 0);
    ASSERT_GT(points.size(), 20u);
    EXPECT_EQ(points.front().x, 0.0);  // the operating point is output first
    EXPECT_NEAR(points.back().x, 5e-3, 1e-15);
    double worst = 0.0;
    for (const OutputPoint& p : points) {
        const double t = p.x - 1e-4 - 0.5e-9;
        const double expected = t > 0.0 ? 1.0 - std::exp(-t / kTau) : 0.0;
        worst = std::max(worst, std::abs(p.y - expected));
    }
    EXPECT_LT(worst, 2e-3);
    EXPECT_LT(points.size(), 400u);
}

TEST_F(RunLoopTest, SeriesRlcRingsAtItsDampedFrequency)
{
    Nodes(3);
    Pulse(1, 0, {0.0, 1.0, 0.0, 1e-9, 1e-9, 1.0, 2.0});
    R(1, 2, 10.0);
    L(2, 3, 1e-3);
    C(3, 0, 1e-6);
    probe = [] { return X(3); };
    // Ten steps a period (span/50) ring visibly off with the trapezoidal rule; the ceiling of
    // the print interval resolves the ringing.
    ASSERT_EQ(Transient(1e-3, 201, 1e-3 / 200), 0);
    const double alpha = 10.0 / (2.0 * 1e-3);
    const double w0 = 1.0 / std::sqrt(1e-3 * 1e-6);
    const double wd = std::sqrt(w0 * w0 - alpha * alpha);
    double worst = 0.0;
    for (const OutputPoint& p : points) {
        const double t = p.x - 0.5e-9;
        const double expected =
            t > 0.0 ? 1.0 - std::exp(-alpha * t) * (std::cos(wd * t) + alpha / wd * std::sin(wd * t)) : 0.0;
        worst = std::max(worst, std::abs(p.y - expected));
    }
    EXPECT_LT(worst, 1e-2);
}

TEST_F(RunLoopTest, TimePointsLandOnEveryPulseCorner)
{
    Nodes(2);
    Pulse(1, 0, {0.0, 1.0, 1e-4, 2e-5, 3e-5, 2e-4, 1e-3});
    R(1, 2, 1e3);
    C(2, 0, 1e-7);
    ASSERT_EQ(Transient(2e-3), 0);
    for (double k : {0.0, 1e-3})
        for (double corner : {1e-4, 1.2e-4, 3.2e-4, 3.5e-4}) {
            const double t = corner + k;
            const bool hit = std::any_of(points.begin(), points.end(),
                                         [&](const OutputPoint& p) { return std::abs(p.x - t) < 1e-12; });
            EXPECT_TRUE(hit) << "no point at " << t;
        }
    // Output times only grow.
    for (std::size_t i = 1; i < points.size(); ++i) EXPECT_GT(points[i].x, points[i - 1].x);
}

TEST_F(RunLoopTest, MaximumStepBoundsEveryStep)
{
    Nodes(1);
    V(1, 0, 1.0);
    R(1, 0, 1.0);
    ASSERT_EQ(Transient(1e-3, 5, 1e-5), 0);
    for (std::size_t i = 1; i < points.size(); ++i) EXPECT_LE(points[i].x - points[i - 1].x, 1e-5 * (1 + 1e-9));
}

TEST_F(RunLoopTest, OperatingPointOnlyComputesNoTimePoints)
{
    Nodes(2);
    V(1, 0, 2.0);
    R(1, 2, 1e3);
    R(2, 0, 1e3);
    probe = [] { return X(2); };
    Analysis().analysisKind = kAnalysisTransient;
    ReadTransientRunOptions(kRunOptionOperatingPointOnly);
    TransientRunState& t = TransientRun();
    t.tmax = t.span = 1e-3;
    t.maxStep = 2e-5;
    t.points = 51;
    t.printInterval = 2e-5;
    SetBreakpointTimeScale(0.0, 1e-3);
    ASSERT_EQ(TransientRunCase(nullptr), 0);
    EXPECT_TRUE(points.empty());
    EXPECT_NEAR(X(2), 1.0, 1e-9);
}

TEST_F(RunLoopTest, WithoutOperatingPointCapacitorsStartFromTheirInitialCondition)
{
    Nodes(2);
    V(1, 0, 0.0);
    R(1, 2, 1e3);
    CapacitorDevice* c = C(2, 0, 1e-6);
    c->initialCondition = 1.0;
    c->Extras().initialConditionGiven = 1;
    AnalogSolver().useInitialConditions = 1;
    probe = [] { return X(2); };
    ASSERT_EQ(Transient(3e-3, 51, 0.0, false), 0);
    ASSERT_FALSE(points.empty());
    for (const OutputPoint& p : points) EXPECT_NEAR(p.y, std::exp(-p.x / kTau), 3e-3) << p.x;
}

}  // namespace
}  // namespace kq5::solver_test
