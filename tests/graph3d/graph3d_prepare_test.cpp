// Surfaces prepared from stored runs without an analysis: Monte Carlo cases and simultaneously
// stepped slots along Z, and a stepping axis whose runs all hold one value.
#include <vector>

#include "../performance/stored_curves_support.h"
#include "document/analysis_windows.h"
#include "analyses/graph3d_prepare.h"

namespace kq5::testing {
namespace {

class Graph3DPrepareTest : public StoredCurvesTest {
protected:
    // Runs whose curve is the constant `levels[r]` over X from 0 to 1.
    CurveRecord& StoreLevels(const std::vector<double>& levels)
    {
        std::vector<PointRun> runs;
        for (double level : levels) runs.push_back(Sample(0.0, 1.0, 10, [level](double) { return level; }));
        CurveRecord& curve = Store(runs);
        curve.yExpressionText = "V(2)";
        curve.xExpressionText = "T";
        curve.axisLow[kWaveformX] = 0.0;
        curve.axisHigh[kWaveformX] = 1.0;
        return curve;
    }

    // Sets the plot to V(2) over the analysis X with `zSource` in depth.
    static void SetUpPlot(Graph3DPlot& plot, int zSource, int patchesZ)
    {
        plot.patchesX = 2;
        plot.patchesZ = patchesZ;
        plot.performance = kGraph3DExpression;
        plot.function.expression = "v(2)";
        plot.function.zData = zSource;
    }

    // The first column of each row: the curves are flat along X.
    static std::vector<double> RowLevels(const Graph3DPlot& plot)
    {
        std::vector<double> out;
        for (const auto& row : plot.surface.rows) out.push_back(row.empty() ? -1.0 : row[0]);
        return out;
    }
};

TEST_F(Graph3DPrepareTest, MonteCarloCasesAlongZInterpolateBetweenNeighbouringCases)
{
    StoreLevels({1.0, 2.0, 4.0});
    Graph3DSources sources;
    sources.plan.monteCarloActive = true;
    sources.plan.monteCarloRuns = 3;
    sources.plan.storedRuns = 3;
    Graph3DPlot plot;
    SetUpPlot(plot, kAxisSourceCase, 4);
    ASSERT_EQ(PrepareGraph3DPlot(plot, plot_, sources), 0);
    ASSERT_TRUE(plot.surface.HasGrid());
    EXPECT_EQ(plot.surface.zGrid, (std::vector<double>{1.0, 1.5, 2.0, 2.5, 3.0}));
    EXPECT_EQ(RowLevels(plot), (std::vector<double>{1.0, 1.5, 2.0, 3.0, 4.0}));
    EXPECT_DOUBLE_EQ(plot.surface.dataMin[1], 1.0);
    EXPECT_DOUBLE_EQ(plot.surface.dataMax[1], 4.0);
}

TEST_F(Graph3DPrepareTest, SimultaneousSteppingRunsOverCaseNumbersNotSteppedValues)
{
    StoreLevels({10.0, 20.0, 40.0});
    // The stepped values lie unevenly; the axis still counts the cases 1, 2, 3.
    const double stepped[] = {1.0, 100.0, 1000.0};
    for (int r = 0; r < 3; ++r) plot_.store.runs[static_cast<std::size_t>(r)].steppedValues[0] = stepped[r];
    Graph3DSources sources;
    sources.plan.steppingActive = true;
    sources.plan.simultaneous = true;
    sources.plan.slotCounts[0] = 3;
    sources.plan.storedRuns = 3;
    sources.slotName[0] = "R1";
    sources.slotLinear[0] = 0;  // a logarithmic slot: simultaneous stepping counts cases linearly
    Graph3DPlot plot;
    SetUpPlot(plot, kAxisSourceStepSlot, 4);
    ASSERT_EQ(PrepareGraph3DPlot(plot, plot_, sources), 0);
    ASSERT_TRUE(plot.surface.HasGrid());
    EXPECT_EQ(plot.surface.linear[2], 1);
    EXPECT_EQ(plot.surface.zGrid, (std::vector<double>{1.0, 1.5, 2.0, 2.5, 3.0}));
    EXPECT_EQ(RowLevels(plot), (std::vector<double>{10.0, 15.0, 20.0, 30.0, 40.0}));
}

TEST_F(Graph3DPrepareTest, OneSteppedValueInEveryRunGivesTheRangeToItsDouble)
{
    StoreLevels({3.0, 3.0});
    for (auto& run : plot_.store.runs) run.steppedValues[1] = 5.0;
    Graph3DSources sources;
    sources.plan.steppingActive = true;
    sources.plan.slotCounts[1] = 2;
    sources.plan.storedRuns = 2;
    Graph3DPlot plot;
    SetUpPlot(plot, kAxisSourceStepSlot + 1, 3);
    ASSERT_EQ(PrepareGraph3DPlot(plot, plot_, sources), 0);
    ASSERT_TRUE(plot.surface.HasGrid());
    EXPECT_DOUBLE_EQ(plot.surface.dataMin[2], 5.0);
    EXPECT_DOUBLE_EQ(plot.surface.dataMax[2], 10.0);
    // A flat surface gets a height range of one.
    EXPECT_DOUBLE_EQ(plot.surface.dataMin[1], 3.0);
    EXPECT_DOUBLE_EQ(plot.surface.dataMax[1], 4.0);
}

}  // namespace
}  // namespace kq5::testing
