// The ideal transmission line in the time domain: the operating point as a wire pair, a step
// travelling one delay into a matched, an open and a shorted far end, the step limit of half
// the delay, the landing on the arrival of a corner and the history released after the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "devices/ideal_line_load.h"
#include "netlist/line_switch_devices.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

constexpr double kZ0 = 50.0;
constexpr double kDelay = 2e-7;
constexpr double kEdge = 1e-6;  // the source steps from 0 to 1 V here
constexpr double kRise = 1e-9;

class IdealLineTest : public RunLoopTest {
protected:
    void SetUp() override
    {
        RunLoopTest::SetUp();
        model_.params = {static_cast<float>(kZ0), static_cast<float>(kDelay)};
    }

    // Node 1 the source, 2 the near end behind Z0, 3 the far end; 4 and 5 the line's own nodes.
    IdealLineDevice* Line(int p1, int n1, int p2, int n2)
    {
        auto* line = Add<IdealLineDevice>(kIdealLineDeviceList, kKindIdealLine);
        line->model = &model_;
        line->port1Plus = p1;
        line->port1Minus = n1;
        line->port2Plus = p2;
        line->port2Minus = n2;
        line->internal1 = 4;
        line->internal2 = 5;
        line->delay = kDelay;
        return line;
    }

    // The step response at node 2 and 3 with the far end loaded by `load` ohms.
    void StepInto(double load)
    {
        Nodes(5);
        Pulse(1, 0, {0.0, 1.0, kEdge, kRise, kRise, 1.0, 2.0});
        R(1, 2, kZ0);
        line_ = Line(2, 0, 3, 0);
        R(3, 0, load);
        probe = [this] { return X(probed_); };
    }

    // The recorded value nearest after time t.
    double At(double t) const
    {
        for (const OutputPoint& p : points)
            if (p.x >= t) return p.y;
        return NAN;
    }

    EvaluatedModel model_;
    IdealLineDevice* line_ = nullptr;
    int probed_ = 3;
};

TEST_F(IdealLineTest, OperatingPointIsAWirePairWithoutCurrentIntoAnOpenEnd)
{
    Nodes(4);
    auto* v = V(1, 0, 1.0);
    auto* line = Line(1, 0, 2, 0);
    line->internal1 = 3;
    line->internal2 = 4;
    ASSERT_EQ(OperatingPoint(kRunKindTransient), 0);
    EXPECT_NEAR(X(2), 1.0, 1e-9);
    EXPECT_NEAR(v->current, 0.0, 1e-9);
}

TEST_F(IdealLineTest, HistoryStartsWithoutASlopeFromAZeroStep)
{
    Nodes(4);
    V(1, 0, 1.0);
    auto* line = Line(1, 0, 2, 0);
    line->internal1 = 3;
    line->internal2 = 4;
    ASSERT_EQ(OperatingPoint(kRunKindTransient), 0);
    // A step of zero must not turn the slopes into NaN, which would silence every later
    // breakpoint test of the line.
    AnalogSolver().step = 0.0;
    double maxStep = 1.0;
    ASSERT_EQ(SetLineStepLimits(maxStep), 0);
    EXPECT_NEAR(maxStep, 0.5 * kDelay, 1e-6 * kDelay);
    ASSERT_EQ(line->history.size(), 2u);
    EXPECT_NEAR(line->history[1].time, kDelay, 1e-6 * kDelay);
    for (double v : {line->wave1[0], line->wave1[1], line->wave1[2], line->wave2[0], line->wave2[1], line->wave2[2]})
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(line->wave2[0], 1.0, 1e-9);  // the open end sends back what it receives
}

TEST_F(IdealLineTest, MatchedLineDelaysTheHalvedStepByItsDelay)
{
    StepInto(kZ0);
    ASSERT_EQ(Transient(3e-6), 0);
    // Nothing arrives before the delay has passed; then half the step, as at the near end.
    for (const OutputPoint& p : points) {
        if (p.x < kEdge + kDelay) {
            EXPECT_NEAR(p.y, 0.0, 1e-6) << p.x;
        }
        if (p.x > kEdge + kDelay + kRise) {
            EXPECT_NEAR(p.y, 0.5, 1e-3) << p.x;
        }
    }
    // The corner's arrival is a time point of its own.
    const bool landed = std::any_of(points.begin(), points.end(), [](const OutputPoint& p) {
        return std::abs(p.x - (kEdge + kDelay)) < 1e-12;
    });
    EXPECT_TRUE(landed);
}

TEST_F(IdealLineTest, OpenEndDoublesTheWaveAndReflectsIt)
{
    StepInto(1e12);
    ASSERT_EQ(Transient(3e-6), 0);
    EXPECT_NEAR(At(kEdge + kDelay + 10 * kRise), 1.0, 2e-3);
    EXPECT_NEAR(At(kEdge + kDelay / 2), 0.0, 1e-6);
    points.clear();
    ResetRunLoopStatesForTests();
    RunServices().plotPoint = [this](WindowRecord*) { points.push_back({axis(), probe()}); };
    probed_ = 2;
    ASSERT_EQ(Transient(3e-6), 0);
    // The near end sees half the step until the reflection returns two delays later.
    EXPECT_NEAR(At(kEdge + kDelay), 0.5, 2e-3);
    EXPECT_NEAR(At(kEdge + 2 * kDelay + 10 * kRise), 1.0, 2e-3);
}

TEST_F(IdealLineTest, ShortedEndCancelsTheWaveAtTheNearEnd)
{
    StepInto(1e-3);
    probed_ = 2;
    ASSERT_EQ(Transient(3e-6), 0);
    EXPECT_NEAR(At(kEdge + kDelay), 0.5, 2e-3);
    EXPECT_NEAR(At(kEdge + 2 * kDelay + 10 * kRise), 0.0, 2e-3);
}

TEST_F(IdealLineTest, StepsStayBelowHalfTheDelayAndTheHistoryIsReleased)
{
    StepInto(kZ0);
    // The run's own maximum step (a fiftieth of 10 us) is larger than half the delay (the
    // model keeps the delay in single precision).
    ASSERT_EQ(Transient(1e-5), 0);
    for (std::size_t i = 1; i < points.size(); ++i)
        EXPECT_LE(points[i].x - points[i - 1].x, 0.5 * kDelay * (1 + 1e-6)) << points[i].x;
    EXPECT_FALSE(line_->history.empty());
    FreeTransientRunTables();
    EXPECT_TRUE(line_->history.empty());
}

}  // namespace
}  // namespace kq5::solver_test
