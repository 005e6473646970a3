// Sample-and-hold sources on hand cases: the sample instants and the breakpoints before them,
// the period a run gives one that is not above 0, the hold between instants, the undo of a
// sample taken in a rejected step, and a transient staircase.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/expr_compiler.h"
#include "core/expr_symbols.h"
#include "devices/sample_hold_load.h"
#include "netlist/standalone_element_devices.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

class SampleHoldTest : public RunLoopTest {
protected:
    SampleHoldDevice* SampleHold(int plus, int minus, const std::string& expression, double period)
    {
        auto* h = Add<SampleHoldDevice>(kSampleHoldDeviceList);
        h->input = plus;
        h->output = minus;
        h->period = period;
        if (!expression.empty()) {
            h->sampled.text = expression;
            h->sampled.compiled = std::make_unique<CompiledExpression>();
            ExpressionRequest request;
            InitExpressionRecord(expression, h->sampled.compiled.get(), kContextTransient, kItemNumber, request);
            EXPECT_EQ(CompileExpression(request), 0) << expression;
        }
        return h;
    }
    static int QueuedBreakpoints() { return DeviceList(1).count; }
};

TEST_F(SampleHoldTest, BreakpointsAtEveryInstantAndJustBefore)
{
    Nodes(1);
    SampleHold(1, 0, "", 1e-3);
    R(1, 0, 1e3);
    TransientRun().tmax = 10e-3;
    ClearTimeBreakpoints();
    SetBreakpointTimeScale(0.0, 10e-3);
    ASSERT_EQ(AddSampleBreakpoints(), 0);
    // k = 1..10, each at k P and 10 RELTOL P before it.
    EXPECT_EQ(QueuedBreakpoints(), 20);
}

TEST_F(SampleHoldTest, PeriodNotAboveZeroBecomesAThousandthOfTheRun)
{
    Nodes(1);
    SampleHoldDevice* h = SampleHold(1, 0, "", 0.0);
    SampleHoldDevice* g = SampleHold(1, 0, "", -1.0);
    h->value = h->held = 3.0;
    TransientRun().tmax = 1e-3;
    // Also at an operating point, before the breakpoints are laid: they would otherwise
    // never end at a zero period.
    AnalogSolver().operatingPointFlag = 1;
    PrepareSampleHolds(1);
    EXPECT_DOUBLE_EQ(h->period, 1e-6);
    EXPECT_DOUBLE_EQ(g->period, 1e-6);
    EXPECT_EQ(h->value, 0.0);
    EXPECT_EQ(h->held, 0.0);
    ClearTimeBreakpoints();
    SetBreakpointTimeScale(0.0, 1e-3);
    ASSERT_EQ(AddSampleBreakpoints(), 0);
    EXPECT_GT(QueuedBreakpoints(), 0);
}

TEST_F(SampleHoldTest, SamplesOnlyAtItsInstantsAndUndoesARejectedSample)
{
    Nodes(1);
    SampleHoldDevice* h = SampleHold(1, 0, "TIME*1000", 1e-3);
    R(1, 0, 1e3);
    TransientRun().tmax = 10e-3;
    ASSERT_EQ(PrepareOperatingPoint(kRunKindTransient), 0);
    AnalogSolverState& s = AnalogSolver();
    s.operatingPointFlag = 0;
    s.acceptedPointCount = 3;
    auto loadAt = [&](double t) {
        s.time = t;
        Analysis().variables.time = t;
        EXPECT_EQ(LoadSampleHolds(), 0);
    };
    loadAt(2.0000001e-3);
    EXPECT_NEAR(h->value, 2.0000001, 1e-9);
    SaveSampleHoldValues();
    loadAt(2.5e-3);
    EXPECT_NEAR(h->value, 2.0000001, 1e-9);
    // Just before the next instant it samples again; a rejected step takes it back.
    loadAt(3e-3 - 1e-12);
    EXPECT_NEAR(h->value, 3.0, 1e-6);
    RestoreSampleHoldValues();
    EXPECT_NEAR(h->value, 2.0000001, 1e-9);
}

TEST_F(SampleHoldTest, TransientStaircase)
{
    Nodes(1);
    SampleHold(1, 0, "TIME*1000", 1e-3);
    R(1, 0, 1e3);
    std::vector<std::pair<double, double>> seen;
    probe = [&] {
        seen.emplace_back(AnalogSolver().time, X(1));
        return X(1);
    };
    ASSERT_EQ(Transient(5e-3, 11, 2e-4), 0);
    ASSERT_GT(seen.size(), 10u);
    // The operating point is the sample at 0, held through the first period (the first time
    // step used to take a sample of its own, 1e-3 at 1 us here).
    ASSERT_GT(seen[1].first, 0.0);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        const auto [t, v] = seen[i];
        // On an instant the new sample is taken, between instants the last one is held.
        const double k = std::floor(t / 1e-3 + 1e-6);
        EXPECT_NEAR(v, k, 1e-6) << t;
    }
}

}  // namespace
}  // namespace kq5::solver_test
