// Sampling a long curve into the 3-D surface tells its progress in the status bar and puts the
// earlier status text back when done.
#include <algorithm>
#include <string>
#include <vector>

#include "../app/status_bar_probe.h"
#include "ui/status_text.h"
#include "graph3d_test_support.h"
#include "results/curve_record.h"

namespace kq5::testing {
namespace {

TEST_F(Graph3DTest, LongCurvesShowThePreparationProgressAndRestoreTheStatus)
{
    // Five runs with at least 25000 points each: above 100000 stored points in all.
    ASSERT_EQ(RunStepped("1K", "5K", "1K",
                         "RC LONG\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 0.2U 5M 0 0.2U\n"
                         ".PRINT TRAN V(2)\n.END\n"),
              0);
    const PlotRecord& analysis = *RunControl().analysisWindow->plot;
    ASSERT_GT(analysis.curves[0]->lastPointIndex, 100000);

    StatusBarProbe bar;
    ASSERT_TRUE(bar.Made());
    SetStatusText("Ready");
    StatusBarProbe::Seen().clear();

    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PlotOf(window).surface.HasGrid());
    const std::vector<std::string>& seen = StatusBarProbe::Seen();
    ASSERT_GE(seen.size(), 3u);
    // One text per grid line of the 40 patches along Z, the share of lines done, then the text
    // from before (the wait cursor may show its own on the way).
    const std::vector<std::string> progress = StatusBarProbe::SeenStartingWith("Preparing");
    ASSERT_EQ(progress.size(), 41u);
    EXPECT_EQ(progress.front(), "Preparing data points 2% complete.");
    EXPECT_EQ(progress[19], "Preparing data points 48% complete.");
    EXPECT_EQ(progress.back(), "Preparing data points 100% complete.");
    const auto last = std::find(seen.begin(), seen.end(), progress.back());
    EXPECT_NE(std::find(last, seen.end(), "Ready"), seen.end());
    EXPECT_EQ(GetStatusText(), "Ready");
}

}  // namespace
}  // namespace kq5::testing
