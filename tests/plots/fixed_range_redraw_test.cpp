// A run whose axes all have fixed ranges changes no range afterwards, yet the window must end
// up showing its Y scales: what the screen shows after the run is what a fresh paint draws.
#include <string>

#include "analysis_window_test_support.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"
#include "results/limits_row.h"

namespace kq5::testing {
namespace {

const std::string kRcFixed =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

using FixedRangeRun = AnalysisWindowTest;

TEST_F(FixedRangeRun, TheWindowShowsItsYScaleAfterTheRun)
{
    PutCircuit(kRcFixed, "rc.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0);
    auto& rows = record_->document->limitsRows[static_cast<std::size_t>(kAnalysisTransient)];
    ASSERT_FALSE(rows.empty());
    for (LimitsRow& row : rows) {
        row.xRange = "5m,0";
        row.yRange = "1,0";
    }
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    Pump();
    ASSERT_NE(Window(), nullptr);
    ASSERT_GT(Plot().curveCount, 0);
    EXPECT_GT(Curve(0).lastPointIndex, 10);
    EXPECT_EQ(Curve(0).ownScale, 1);
    EXPECT_EQ(PixelsARepaintChanges(Window()->window), 0);
    Shoot("analysis_fixed_ranges");
}

}  // namespace
}  // namespace kq5::testing
