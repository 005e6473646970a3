// The cursor searches over stored runs (Next with wrap and warm-up, Peak, Valley, High, Low,
// Inflection, Global High and Low, run steps), placing at typed X and Y values and the readout
// values of the other curves of a group.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "analog/run_control.h"
#include "ui/edit_mode.h"
#include "ui/window_record.h"
#include "results/curve_record.h"
#include "plots/plot_cursors.h"
#include "results/waveform_store.h"

namespace kq5 {
namespace {

class CursorSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunControlForTests();
        ResetPlotCursorsForTests();
        window_.kind = kWindowAnalysis;
        window_.mode = kCommandCursorMode;
        window_.plot = std::make_shared<PlotRecord>();
    }

    PlotRecord& Plot() { return *window_.plot; }

    CurveRecord& AddCurve(int group)
    {
        PlotRecord& plot = Plot();
        plot.curves.push_back(std::make_unique<CurveRecord>());
        plot.builtCurveCount = plot.curveCount = static_cast<int>(plot.curves.size());
        CurveRecord& c = *plot.curves.back();
        c.plotGroup = group;
        for (int i = 0; i + 1 < plot.curveCount; ++i)
            if (plot.curves[static_cast<std::size_t>(i)]->plotGroup == group) ++c.placeInGroup;
        return c;
    }

    // One run per list of Y values, X = 0, 1, 2 ... in each.
    void StoreRuns(const std::vector<std::vector<std::vector<double>>>& perCurve)
    {
        PlotRecord& plot = Plot();
        ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, 2, static_cast<int>(perCurve[0].size())), 0);
        RewindWaveformStore(plot);
        for (std::size_t run = 0; run < perCurve[0].size(); ++run) {
            for (std::size_t ci = 0; ci < perCurve.size(); ++ci) {
                CurveRecord& c = *plot.curves[ci];
                const std::vector<double>& ys = perCurve[ci][run];
                for (std::size_t i = 0; i < ys.size(); ++i) {
                    ASSERT_EQ(AdvanceCurvePoint(plot.store, c), 1);
                    SetWaveformValue(plot.store, c.storeSlots[0], c.lastPointIndex, static_cast<double>(i));
                    SetWaveformValue(plot.store, c.storeSlots[1], c.lastPointIndex, ys[i]);
                    c.dataMax[0] = std::max(c.dataMax[0], static_cast<double>(i));
                    c.dataMin[0] = std::min(c.dataMin[0], static_cast<double>(i));
                }
            }
            EndWaveformRun(plot, false, RunRecord{});
        }
    }

    std::int32_t Find(std::int32_t p, int direction, int mode) { return FindCursorTarget(&window_, p, 0, direction, mode); }

    WindowRecord window_;
};

TEST_F(CursorSearchTest, NextWrapsInsideTheRunAndSkipsTheWarmUp)
{
    CurveRecord& c = AddCurve(1);
    c.warmUpCount = 2;
    StoreRuns({{{0, 1, 2, 3, 4, 5}, {9, 8, 7, 6, 5, 4}}});
    EXPECT_EQ(Find(3, kStepRight, kSearchNext), 4);
    EXPECT_EQ(Find(5, kStepRight, kSearchNext), 2);   // past the end: first after the warm-up
    EXPECT_EQ(Find(2, kStepLeft, kSearchNext), 5);    // into the warm-up: the last point
    EXPECT_EQ(Find(11, kStepRight, kSearchNext), 8);  // in run 1 (points 6 to 11)
    EXPECT_EQ(Find(99, kStepRight, kSearchNext), -1);
    window_.mode = kCommandSelectMode;
    EXPECT_EQ(Find(3, kStepRight, kSearchNext), 0);
}

TEST_F(CursorSearchTest, PeakValleyAndInflectionWalkAndWrap)
{
    AddCurve(1);
    StoreRuns({{{0, 1, 2, 3, 2, 1, 0, 1, 2, 1}}});
    EXPECT_EQ(Find(0, kStepRight, kSearchPeak), 3);
    EXPECT_EQ(Find(3, kStepRight, kSearchPeak), 8);
    EXPECT_EQ(Find(3, kStepRight, kSearchValley), 6);
    EXPECT_EQ(Find(9, kStepLeft, kSearchPeak), 8);
    // From the last peak to the right: the walk wraps to the start and finds the first peak.
    EXPECT_EQ(Find(8, kStepRight, kSearchPeak), 3);
}

TEST_F(CursorSearchTest, PeakOnARisingRunEndsOnItsLargestValue)
{
    AddCurve(1);
    StoreRuns({{{0, 1, 2, 4, 8, 9}}});
    EXPECT_EQ(Find(2, kStepRight, kSearchPeak), 5);
    EXPECT_EQ(Find(5, kStepRight, kSearchPeak), 5);
    // A falling run has no valley inside it: its lowest value is the answer.
    EXPECT_EQ(Find(5, kStepLeft, kSearchValley), 0);
}

TEST_F(CursorSearchTest, InflectionFindsTheSteepestPoint)
{
    AddCurve(1);
    StoreRuns({{{0, 1, 3, 6, 8, 9, 9, 9}}});
    EXPECT_EQ(Find(0, kStepRight, kSearchInflection), 3);
}

TEST_F(CursorSearchTest, HighLowAndGlobalSearchesOverRuns)
{
    AddCurve(1);
    StoreRuns({{{1, 5, 2, 5, 0}, {3, 7, 7, -4, 2}}});
    EXPECT_EQ(Find(0, kStepRight, kSearchHigh), 1);   // the first of the two fives
    EXPECT_EQ(Find(0, kStepRight, kSearchLow), 4);
    EXPECT_EQ(Find(2, kStepRight, kSearchGlobalHigh), 6);
    EXPECT_EQ(Find(2, kStepRight, kSearchGlobalLow), 8);
    // A run step carries the cursor to the nearest X of the next run (wrapping round).
    EXPECT_EQ(Find(3, kStepNextRun, kSearchNext), 8);
    EXPECT_EQ(Find(3, kStepPreviousRun, kSearchNext), 8);
    EXPECT_EQ(Find(8, kStepNextRun, kSearchNext), 3);
    EXPECT_EQ(Find(3, kStepNextRun, kSearchHigh), 6);
}

TEST_F(CursorSearchTest, PlacingAtXOrYAndTheOtherCurvesReadouts)
{
    CurveRecord& lead = AddCurve(1);
    CurveRecord& other = AddCurve(1);
    CurveRecord& far = AddCurve(2);
    StoreRuns({{{0, 10, 20, 30, 20}}, {{0, 1, 2, 3, 4}}, {{5, 5, 5, 5, 5}}});
    PlaceCursor(&window_, 0, 0, 1);
    EXPECT_DOUBLE_EQ(lead.cursorX[0], 1.0);
    EXPECT_DOUBLE_EQ(lead.cursorY[0], 10.0);
    EXPECT_DOUBLE_EQ(other.cursorY[0], 1.0);
    EXPECT_DOUBLE_EQ(far.cursorX[0], 0.0);  // another group keeps its cursors

    // Go to X 2.5: the cursor stands at exactly that X, its Y interpolated.
    ASSERT_EQ(GoToCursorValue(&window_, kCommandGoToX, 1, 2.5), 1);
    EXPECT_DOUBLE_EQ(lead.cursorX[1], 2.5);
    EXPECT_DOUBLE_EQ(lead.cursorY[1], 25.0);
    EXPECT_DOUBLE_EQ(other.cursorY[1], 2.5);
    // Go to Y 25 twice: the rising crossing, then (searching on) the falling one.
    ASSERT_EQ(GoToCursorValue(&window_, kCommandGoToY, 0, 25.0), 1);
    EXPECT_DOUBLE_EQ(lead.cursorX[0], 2.5);
    ASSERT_EQ(GoToCursorValue(&window_, kCommandGoToY, 0, 25.0), 1);
    EXPECT_DOUBLE_EQ(lead.cursorX[0], 3.5);
    EXPECT_DOUBLE_EQ(lead.cursorY[0], 25.0);
    // A value no segment reaches leaves the cursor where it was.
    EXPECT_EQ(GoToCursorValue(&window_, kCommandGoToX, 0, 7.0), 0);
    EXPECT_DOUBLE_EQ(lead.cursorX[0], 3.5);

    // On a logarithmic X axis (a Bode plot) the crossing lies between the logarithms of the two
    // frequencies, where the drawn segment and the readout put the level typed.
    lead.linear[kWaveformX] = 0;
    ASSERT_EQ(GoToCursorValue(&window_, kCommandGoToY, 0, 25.0), 1);
    EXPECT_DOUBLE_EQ(lead.cursorX[0], std::sqrt(6.0));
    EXPECT_NEAR(lead.cursorY[0], 25.0, 1e-12);
    lead.linear[kWaveformX] = 1;

    // Aligned cursors carry their X into every group.
    ToggleAlignCursors(&window_);
    PlaceCursor(&window_, 0, 1, 3);
    EXPECT_DOUBLE_EQ(far.cursorX[1], 3.0);
    EXPECT_DOUBLE_EQ(far.cursorY[1], 5.0);
}

TEST_F(CursorSearchTest, StepCommandsUseTheSearchModeAndInitPlacesBothCursors)
{
    CurveRecord& c = AddCurve(1);
    c.warmUpCount = 1;
    StoreRuns({{{0, 1, 2, 3, 2, 1}, {4, 4, 4, 9, 4, 4}}});
    InitPlotCursors(&window_);
    EXPECT_EQ(GetCursorPointIndex(&window_, 0, 0), 1);
    EXPECT_EQ(GetCursorPointIndex(&window_, 0, 1), 5);
    HandleCursorStepCommand(&window_, kStepRight, 0);
    EXPECT_EQ(GetCursorPointIndex(&window_, 0, 0), 2);
    PlotCursors().searchMode = kSearchPeak;
    HandleCursorStepCommand(&window_, kStepRight, 0);
    EXPECT_EQ(GetCursorPointIndex(&window_, 0, 0), 3);
    EXPECT_DOUBLE_EQ(c.cursorY[0], 3.0);
    // The next run: the other cursor goes there by Next, this one by the search mode.
    PlotCursors().searchMode = kSearchHigh;
    HandleCursorStepCommand(&window_, kStepNextRun, 0);
    EXPECT_EQ(GetCursorPointIndex(&window_, 0, 0), 9);
    EXPECT_EQ(c.cursorRun[1], 1);
    EXPECT_EQ(LastMovedCursor(), 0);
}

}  // namespace
}  // namespace kq5
