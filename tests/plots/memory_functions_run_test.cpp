// Plot expressions with memory (DDT, SDT, SUM, DEL, GD) run through a real analysis: each point
// works from the point before it, so the stored curve must agree with the same arithmetic done
// on the stored points of the plain curves.
#include <cmath>
#include <string>

#include "analysis_window_test_support.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"
#include "results/limits_row.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

using MemoryFunctionsRun = AnalysisWindowTest;

double Stored(const CurveRecord& c, int axis, std::int32_t i)
{
    return GetWaveformValue(RunControl().analysisWindow->plot->store, c.storeSlots[static_cast<std::size_t>(axis)], i);
}

void SetRows(WindowRecord* circuit, int kind, std::initializer_list<const char*> ys, const char* x)
{
    auto& rows = circuit->document->limitsRows[static_cast<std::size_t>(kind)];
    ASSERT_FALSE(rows.empty());
    const LimitsRow model = rows.front();
    rows.clear();
    for (const char* y : ys) {
        LimitsRow& row = rows.emplace_back(model);
        row.plotGroup = '1';
        row.xExpression = x;
        row.yExpression = y;
        row.xRange = row.yRange = "Auto";
    }
}

TEST_F(MemoryFunctionsRun, DerivativeAndIntegralsOfATransientFollowThePreviousPoint)
{
    PutCircuit("SINE\nV1 1 0 SIN(0 1 1K)\nR1 1 0 1K\n.TRAN 10U 3M\n.END\n", "sine.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0);
    SetRows(record_, kAnalysisTransient, {"V(1)", "DDT(V(1))", "SDT(V(1))", "SUM(V(1),T)", "DEL(V(1))"}, "T");
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    Pump();
    ASSERT_EQ(Plot().curveCount, 5);
    const CurveRecord& v = Curve(0);
    ASSERT_GT(v.lastPointIndex, 50);
    double integral = 0.0, largestSlope = 0.0;
    for (std::int32_t i = 1; i <= v.lastPointIndex; ++i) {
        SCOPED_TRACE(i);
        const double dt = Stored(v, kWaveformX, i) - Stored(v, kWaveformX, i - 1);
        const double dv = Stored(v, kWaveformY, i) - Stored(v, kWaveformY, i - 1);
        ASSERT_GT(dt, 0.0);
        integral += dt * (Stored(v, kWaveformY, i) + Stored(v, kWaveformY, i - 1)) / 2;
        EXPECT_NEAR(Stored(Curve(1), kWaveformY, i), dv / dt, 1e-6 * 6283);
        EXPECT_NEAR(Stored(Curve(2), kWaveformY, i), integral, 1e-9);
        EXPECT_NEAR(Stored(Curve(3), kWaveformY, i), integral, 1e-9);
        EXPECT_NEAR(Stored(Curve(4), kWaveformY, i), dv, 1e-9);
        largestSlope = std::max(largestSlope, std::fabs(Stored(Curve(1), kWaveformY, i)));
        if (HasFailure()) break;
    }
    // A 1 V, 1 kHz sine rises at most 2 pi 1000 V/s, and nearly that fast near its zeros.
    EXPECT_GT(largestSlope, 0.9 * 2 * M_PI * 1000);
    EXPECT_LT(largestSlope, 1.01 * 2 * M_PI * 1000);
}

TEST_F(MemoryFunctionsRun, GroupDelayOfAnRcLowPassIsItsTimeConstantAtLowFrequencies)
{
    // RC = 1 ms: the delay is RC / (1 + (w RC)^2), 1 ms well below the corner at 159 Hz.
    PutCircuit("RC\nV1 1 0 AC 1\nR1 1 2 1K\nC1 2 0 1U\n.AC DEC 50 1 10K\n.END\n", "rc.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisAc), 0);
    SetRows(record_, kAnalysisAc, {"GD(V(2))"}, "F");
    ASSERT_EQ(RunAnalysisTimed(kAnalysisAc), 0);
    Pump();
    ASSERT_EQ(Plot().curveCount, 1);
    const CurveRecord& gd = Curve(0);
    ASSERT_GT(gd.lastPointIndex, 100);
    int checked = 0;
    for (std::int32_t i = 2; i <= gd.lastPointIndex; ++i) {
        const double f = Stored(gd, kWaveformX, i);
        const double wrc = 2 * M_PI * f * 1e-3;
        // The delay between this point and the previous, whose frequencies are 1/50 decade apart.
        const double expected = 1e-3 / (1 + wrc * wrc);
        EXPECT_NEAR(Stored(gd, kWaveformY, i), expected, 0.1 * expected) << "at " << f << " Hz";
        if (HasFailure()) break;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace kq5::testing
