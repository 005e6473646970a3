// The surface arithmetic and the projection of 3-D plots: grids, run brackets, row blending,
// the view matrix and the patch colours, at the edges where they go wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analyses/graph3d_data.h"
#include "analyses/graph3d_view.h"

namespace kq5 {
namespace {

TEST(Graph3DGrid, EndsAreExactAndLogGridsStepByRatio)
{
    const auto one = BuildGraph3DGrid(-2.0, 3.0, 1, true);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0], -2.0);
    EXPECT_EQ(one[1], 3.0);

    const auto log = BuildGraph3DGrid(1.0, 1000.0, 3, false);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_DOUBLE_EQ(log[1], 10.0);
    EXPECT_DOUBLE_EQ(log[2], 100.0);
    EXPECT_EQ(log[3], 1000.0);
}

TEST(Graph3DGrid, LogAxisReachingZeroOrBelowIsGriddedLinearlyNotNaN)
{
    for (double min : {0.0, -10.0}) {
        const auto grid = BuildGraph3DGrid(min, 10.0, 4, false);
        ASSERT_EQ(grid.size(), 5u);
        for (double v : grid) EXPECT_TRUE(std::isfinite(v)) << min;
        EXPECT_EQ(grid.front(), min);
        EXPECT_EQ(grid.back(), 10.0);
        EXPECT_DOUBLE_EQ(grid[2], (min + 10.0) / 2);
    }
}

TEST(Graph3DGrid, PatchCountsAreKeptWithinOneToTheCap)
{
    EXPECT_EQ(ClampPatchCount(0), 2);
    EXPECT_EQ(ClampPatchCount(-5), 2);
    EXPECT_EQ(ClampPatchCount(1), 1);
    EXPECT_EQ(ClampPatchCount(40), 40);
    EXPECT_EQ(ClampPatchCount(1000000), kMaxGraph3DPatches);
    EXPECT_EQ(BuildGraph3DGrid(0, 1, 5000000, true).size(), static_cast<std::size_t>(kMaxGraph3DPatches + 1));
}

// Runs 0..5 with a Z value per run; the subset takes every second run (stride 2).
RunValueFn Values(std::vector<double> v)
{
    return [v](int i) { return v[static_cast<std::size_t>(i)]; };
}

TEST(Graph3DBracket, RisingValuesBracketAndClampToTheNearerEnd)
{
    const auto rising = Values({1, 0, 2, 0, 3, 0});
    EXPECT_EQ(FindRunBracket(1.0, 0, 5, 2, rising), 0);
    EXPECT_EQ(FindRunBracket(1.5, 0, 5, 2, rising), 0);
    EXPECT_EQ(FindRunBracket(2.5, 0, 5, 2, rising), 2);
    EXPECT_EQ(FindRunBracket(3.0, 0, 5, 2, rising), 4);
    EXPECT_EQ(FindRunBracket(9.0, 0, 5, 2, rising), 4);
    // Below the first run: the first group, not the last.
    EXPECT_EQ(FindRunBracket(0.5, 0, 5, 2, rising), 0);
    EXPECT_EQ(LastRunGroup(0, 5, 2), 4);
}

TEST(Graph3DBracket, FallingValuesBracketToo)
{
    // A slot stepped downwards: 30, 20, 10.
    const auto falling = Values({30, 20, 10});
    EXPECT_EQ(FindRunBracket(25.0, 0, 2, 1, falling), 0);
    EXPECT_EQ(FindRunBracket(15.0, 0, 2, 1, falling), 1);
    EXPECT_EQ(FindRunBracket(30.0, 0, 2, 1, falling), 0);
    EXPECT_EQ(FindRunBracket(40.0, 0, 2, 1, falling), 0);
    EXPECT_EQ(FindRunBracket(10.0, 0, 2, 1, falling), 2);
    EXPECT_EQ(FindRunBracket(5.0, 0, 2, 1, falling), 2);
}

TEST(Graph3DBracket, EmptySubsetsGiveMinusOne)
{
    const auto v = Values({1, 2});
    EXPECT_EQ(FindRunBracket(1.0, 1, 0, 1, v), -1);
    EXPECT_EQ(FindRunBracket(1.0, 0, 1, 0, v), -1);
    EXPECT_EQ(FindRunBracket(1.0, 1, 1, 1, v), 1);
}

TEST(Graph3DRows, InterpolateBetweenRunsAndHoldTheEnds)
{
    // Three runs at Z = 10, 20, 30 (falling order in storage: 30, 20, 10), each a constant row.
    Graph3DRowsInput in;
    in.zGrid = {0.0, 10.0, 15.0, 25.0, 30.0, 40.0};
    in.columns = 3;
    in.first = 0;
    in.last = 2;
    in.stride = 1;
    in.storedRuns = 3;
    in.zValueOf = Values({30, 20, 10});
    int samples = 0;
    in.sample = [&](int run, std::vector<double>& row) {
        ++samples;
        std::fill(row.begin(), row.end(), 100.0 * (run + 1));
        return true;
    };
    const auto rows = ComputeGraph3DRows(in);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_DOUBLE_EQ(rows[0][0], 300.0);  // below every run: the Z = 10 run
    EXPECT_DOUBLE_EQ(rows[1][1], 300.0);
    EXPECT_DOUBLE_EQ(rows[2][2], 250.0);
    EXPECT_DOUBLE_EQ(rows[3][0], 150.0);
    EXPECT_DOUBLE_EQ(rows[4][0], 100.0);
    EXPECT_DOUBLE_EQ(rows[5][0], 100.0);  // above every run: the Z = 30 run, not extrapolated
    EXPECT_LE(samples, 6);
}

TEST(Graph3DRows, GroupsBeyondTheStoredRunsAreZeroAndSingleRunsGiveNothing)
{
    Graph3DRowsInput in;
    in.zGrid = {1.0, 1.5, 2.0, 3.0};
    in.columns = 2;
    in.first = 0;
    in.last = 2;
    in.storedRuns = 1;  // only run 0 has finished
    in.zValueOf = Values({1, 2, 3});
    in.sample = [](int, std::vector<double>& row) {
        std::fill(row.begin(), row.end(), 7.0);
        return true;
    };
    auto rows = ComputeGraph3DRows(in);
    EXPECT_DOUBLE_EQ(rows[0][0], 7.0);
    EXPECT_DOUBLE_EQ(rows[1][0], 7.0);  // its partner is not stored yet: run 0 alone
    EXPECT_DOUBLE_EQ(rows[2][0], 0.0);
    EXPECT_DOUBLE_EQ(rows[3][1], 0.0);
    in.last = 0;
    rows = ComputeGraph3DRows(in);
    EXPECT_DOUBLE_EQ(rows[0][0], 0.0);
}

TEST(Graph3DRows, LogAxesBlendLogarithms)
{
    EXPECT_DOUBLE_EQ(BracketWeight(10.0, 1.0, 100.0, true), 0.5);
    EXPECT_DOUBLE_EQ(BracketWeight(50.5, 1.0, 100.0, false), 0.5);
    EXPECT_DOUBLE_EQ(BracketWeight(5.0, 5.0, 5.0, false), 1.0);
    EXPECT_NEAR(BlendHeights(1.0, 100.0, 0.5, true), 10.0, 1e-12);
    EXPECT_DOUBLE_EQ(BlendHeights(0.0, 100.0, 0.5, true), 10.0);
    EXPECT_DOUBLE_EQ(BlendHeights(2.0, 4.0, 0.25, false), 3.5);
    // A log Z axis with a run at zero falls back to a linear weight instead of NaN.
    EXPECT_DOUBLE_EQ(BracketWeight(5.0, 0.0, 10.0, true), 0.5);
}

Graph3DView SquareView(double xr, double yr, double zr, bool contour = false)
{
    Graph3DView view;
    view.axes.min = {0.0, 0.0, 0.0};
    view.axes.max = {10.0, 10.0, 10.0};
    SetGraph3DPlotArea(view, win::RECT{0, 0, 400, 400}, 0);
    BuildGraph3DView(view, {xr, yr, zr}, contour);
    return view;
}

TEST(Graph3DProjection, UnrotatedViewShowsXRightYUpAndZAtTheViewer)
{
    const Graph3DView view = SquareView(0, 0, 0);
    const win::POINT o = ProjectGraph3DPoint(view, 0, 0, 0);
    const win::POINT x = ProjectGraph3DPoint(view, 10, 0, 0);
    const win::POINT y = ProjectGraph3DPoint(view, 0, 10, 0);
    const win::POINT z = ProjectGraph3DPoint(view, 0, 0, 10);
    EXPECT_GT(x.x, o.x);
    EXPECT_EQ(x.y, o.y);
    EXPECT_EQ(y.x, o.x);
    EXPECT_LT(y.y, o.y);  // values upward
    EXPECT_EQ(z.x, o.x);  // face on: Z collapses to a point
    EXPECT_EQ(z.y, o.y);
    EXPECT_EQ(x.x - o.x, 360);  // the plot width
}

TEST(Graph3DProjection, ContourViewLooksDownAndOnlyZRotTurnsIt)
{
    const Graph3DView a = SquareView(30, 60, 0, true);
    const Graph3DView b = SquareView(0, 0, 0, true);
    for (double y : {0.0, 10.0}) {
        const win::POINT pa = ProjectGraph3DPoint(a, 5, y, 5);
        const win::POINT pb = ProjectGraph3DPoint(b, 5, y, 5);
        EXPECT_EQ(pa.x, pb.x);
        EXPECT_EQ(pa.y, pb.y);
    }
    // Heights do not move a point of the map (beyond the rounding of cos 90).
    EXPECT_NEAR(ProjectGraph3DPoint(a, 5, 0, 5).y, ProjectGraph3DPoint(a, 5, 10, 5).y, 1);
    EXPECT_NE(ProjectGraph3DPoint(a, 5, 0, 0).y, ProjectGraph3DPoint(a, 5, 0, 10).y);
}

TEST(Graph3DProjection, ExtremeCoordinatesClampAndLogAxesAtZeroStayFinite)
{
    Graph3DView view = SquareView(0, 0, 0);
    view.scaleX = 1e300;
    const win::POINT p = ProjectGraph3DPoint(view, 10, 0, 0);
    EXPECT_EQ(p.x, 2147483647);
    view.scaleX = -1e300;
    EXPECT_EQ(ProjectGraph3DPoint(view, 10, 0, 0).x, -2147483647 - 1);

    Graph3DView log;
    log.axes.min = {0.0, -1.0, 1.0};
    log.axes.max = {100.0, 1.0, 1.0};
    log.axes.linear = {0, 0, 0};
    SetGraph3DPlotArea(log, win::RECT{0, 0, 400, 400}, 0);
    BuildGraph3DView(log, {30, 30, 0}, false);
    for (const auto& row : log.M)
        for (double m : row) EXPECT_TRUE(std::isfinite(m));
    EXPECT_FALSE(Graph3DAxisIsLog(log.axes, 0));
    EXPECT_FALSE(Graph3DAxisIsLog(log.axes, 1));
    EXPECT_TRUE(Graph3DAxisIsLog(log.axes, 2));
    const win::POINT q = ProjectGraph3DPoint(log, 50, 0.5, 1);
    EXPECT_GT(q.x, -1000000);
    EXPECT_LT(q.x, 1000000);
}

TEST(Graph3DColors, GrayEnds)
{
    PatchColor c = Graph3DPatchColor(kPatchGray, 120.0, 0.0, 120.0);
    ASSERT_TRUE(c.draw);
    EXPECT_EQ(c.color, win::RGB(255, 255, 255));
    c = Graph3DPatchColor(kPatchGray, 0.0, 0.0, 120.0);
    ASSERT_TRUE(c.draw);
    EXPECT_EQ(c.color, win::RGB(135, 135, 135));
    EXPECT_FALSE(Graph3DPatchColor(kPatchGray, 121.0, 0.0, 120.0).draw);  // above the axis
    EXPECT_EQ(Graph3DPatchColor(kPatchRed, 120.0, 0.0, 120.0).color, win::RGB(255, 0, 0));
    EXPECT_EQ(Graph3DPatchColor(kPatchBlue, 60.0, 0.0, 120.0).color, win::RGB(0, 0, 195));
    EXPECT_EQ(Graph3DPatchColor(kPatchGreen, 60.0, 0.0, 120.0).color, win::RGB(0, 195, 0));
}

TEST(Graph3DColors, RainbowBands)
{
    EXPECT_EQ(Graph3DPatchColor(kPatchRainbow, 1021.0, 0.0, 1021.0).color, win::RGB(255, 0, 0));
    EXPECT_EQ(Graph3DPatchColor(kPatchRainbow, 0.0, 0.0, 1021.0).color, win::RGB(0, 1, 255));
    EXPECT_EQ(Graph3DPatchColor(kPatchRainbow, 766.0, 0.0, 1021.0).color, win::RGB(255, 255, 0));
    EXPECT_EQ(Graph3DPatchColor(kPatchRainbow, 511.0, 0.0, 1021.0).color, win::RGB(0, 255, 0));
    EXPECT_FALSE(Graph3DPatchColor(kPatchRainbow, 1022.0, 0.0, 1021.0).draw);
    EXPECT_FALSE(Graph3DPatchColor(kPatchRainbow, -1e9, 0.0, 1021.0).draw);
    EXPECT_FALSE(Graph3DPatchColor(kPatchRainbow, std::nan(""), 0.0, 1021.0).draw);
}

TEST(Graph3DColors, ClearIsHollowAndFlatRangesStillColour)
{
    const PatchColor clear = Graph3DPatchColor(kPatchClear, 5.0, 0.0, 1.0);
    EXPECT_TRUE(clear.draw);
    EXPECT_TRUE(clear.hollow);
    const PatchColor flat = Graph3DPatchColor(kPatchGray, 5.0, 5.0, 5.0);
    EXPECT_TRUE(flat.draw);
    EXPECT_EQ(flat.color, win::RGB(135, 135, 135));
}

}  // namespace
}  // namespace kq5
