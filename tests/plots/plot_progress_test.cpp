// Redrawing a long stored curve tells its progress on the status bar in twentieths, and puts the
// earlier status text back when done; short curves and a hidden bar show nothing.
#include <memory>
#include <string>
#include <vector>

#include "../app/status_bar_probe.h"
#include "analysis_window_test_support.h"
#include "ui/status_text.h"
#include "platform/gdi_dc.h"
#include "results/curve_record.h"
#include "plots/plot_draw.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

const std::string kRc =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";
constexpr const char* kProgressPrefix = "Plotting data points for graph ";

class PlotProgressTest : public AnalysisWindowTest {
protected:
    void SetUp() override
    {
        AnalysisWindowTest::SetUp();
        bar_ = std::make_unique<StatusBarProbe>();
        ASSERT_TRUE(bar_->Made());
    }
    void TearDown() override
    {
        bar_.reset();
        AnalysisWindowTest::TearDown();
    }

    // Runs the RC circuit and stretches its curve to points 0 .. last (a ramp over the run's time).
    CurveRecord& LongCurve(std::int32_t last)
    {
        EXPECT_EQ(Run(kRc, kAnalysisTransient), 0);
        CurveRecord& c = Curve(0);
        WaveformStore& store = Plot().store;
        c.lastPointIndex = -1;
        c.runLastIndex.assign(c.runLastIndex.size(), last);
        for (std::int32_t i = 0; i <= last; ++i) {
            EXPECT_EQ(AdvanceCurvePoint(store, c), 1);
            SetWaveformValue(store, c.storeSlots[kWaveformX], i, 5e-3 * i / last);
            SetWaveformValue(store, c.storeSlots[kWaveformY], i, static_cast<double>(i % 7) / 7.0);
        }
        return c;
    }

    // Redraws the stored curves and returns the progress texts shown meanwhile.
    static std::vector<std::string> Redraw()
    {
        SetStatusText("Ready");
        StatusBarProbe::Seen().clear();
        win::HDC dc = win::GetDC(Window()->window);
        DrawStoredCurves(Window(), dc, -1);
        win::ReleaseDC(Window()->window, dc);
        return StatusBarProbe::SeenStartingWith(kProgressPrefix);
    }

    std::unique_ptr<StatusBarProbe> bar_;
};

TEST_F(PlotProgressTest, ALongCurveShowsTwentyStepsInOrderThenTheEarlierText)
{
    const CurveRecord& c = LongCurve(120000);
    const std::string name = c.name.empty() ? c.yExpressionText : c.name;
    ASSERT_FALSE(name.empty());
    const std::vector<std::string> progress = Redraw();
    ASSERT_EQ(progress.size(), 20u) << ::testing::PrintToString(StatusBarProbe::Seen());
    // Every 6000 points: (6000 k + 1) / 120000 rounds to 5 k percent.
    for (int k = 1; k <= 20; ++k)
        EXPECT_EQ(progress[static_cast<std::size_t>(k - 1)],
                  kProgressPrefix + name + " " + std::to_string(5 * k) + "% complete.");
    ASSERT_FALSE(StatusBarProbe::Seen().empty());
    EXPECT_EQ(StatusBarProbe::Seen().back(), "Ready");
    EXPECT_EQ(GetStatusText(), "Ready");
}

TEST_F(PlotProgressTest, ShortCurvesAndAHiddenBarShowNoProgress)
{
    CurveRecord& c = LongCurve(100001);
    // 100000 as the last point index is not above the bound.
    c.lastPointIndex = 100000;
    EXPECT_TRUE(Redraw().empty());
    EXPECT_EQ(GetStatusText(), "Ready");
    c.lastPointIndex = 100001;
    SetHelpBarOption(false);
    EXPECT_TRUE(Redraw().empty());
    SetHelpBarOption(true);
    // The step is last / 20 in whole points, 5000 here: the first text comes at point 5000.
    const std::vector<std::string> progress = Redraw();
    ASSERT_EQ(progress.size(), 20u);
    EXPECT_EQ(progress.front(), std::string(kProgressPrefix) + c.yExpressionText + " 5% complete.");
    EXPECT_EQ(progress.back(), std::string(kProgressPrefix) + c.yExpressionText + " 100% complete.");
}

}  // namespace
}  // namespace kq5::testing
