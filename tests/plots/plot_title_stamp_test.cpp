// The title line of a plot carries the date and time stamp at its right end when the program's
// options ask for it, and nothing there when they do not.
#include <map>
#include <string>

#include "analysis_window_test_support.h"
#include "ui/app_state.h"
#include "ui/program_settings.h"
#include "results/curve_record.h"

namespace kq5::testing {
namespace {

const std::string kRcCircuit =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

class PlotTitleStamp : public AnalysisWindowTest {
protected:
    void TearDown() override
    {
        App().settings.operationalOptions = savedOptions_;
        AnalysisWindowTest::TearDown();
    }

    // Pixels of the right third of the title line that differ from its most common colour.
    static int InkAtTheRightOfTheTitle()
    {
        win::InvalidateRect(Window()->window, nullptr, 1);
        win::UpdateWindow(Window()->window);
        Pump();
        const CurveRecord& first = *Plot().curves[0];
        const int h = Plot().textLineHeight;
        const int left = first.plotRect.right - (first.plotRect.right - first.plotRect.left) / 3;
        std::map<win::COLORREF, int> counts;
        for (int y = first.plotRect.top - h; y < first.plotRect.top; ++y)
            for (int x = left; x < first.plotRect.right; ++x) ++counts[ClientPixel(x, y)];
        int most = 0, total = 0;
        for (const auto& [colour, n] : counts) {
            most = std::max(most, n);
            total += n;
        }
        return total - most;
    }

    std::uint32_t savedOptions_ = App().settings.operationalOptions;
};

TEST_F(PlotTitleStamp, TheStampStandsAtTheRightOfTheTitleLine)
{
    App().settings.operationalOptions &= ~(kOptionDateStamp | kOptionTimeStamp);
    ASSERT_EQ(Run(kRcCircuit, kAnalysisTransient), 0);
    ASSERT_GT(Plot().curveCount, 0);
    EXPECT_EQ(InkAtTheRightOfTheTitle(), 0);
    App().settings.operationalOptions |= kOptionDateStamp | kOptionTimeStamp;
    EXPECT_GT(InkAtTheRightOfTheTitle(), 20);
    Shoot("analysis_title_stamp");
}

}  // namespace
}  // namespace kq5::testing
