// The analysis window's own keys as its menus show them: F10 opens the Plot Characteristics of
// the window in front (it once fell through to the circuit windows' colour dialog, which an
// analysis window has nothing for, so the key did nothing).
#include <gtest/gtest.h>

#include <fstream>

#include "journey.h"

namespace kq5::journey {
namespace {

// Where the Plot Characteristics dialog stands over the analysis window.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;  // the limits dialog's close box
constexpr int kDialogLeft = 420, kDialogTop = 350, kDialogRight = 840, kDialogBottom = 640;

TEST(PlotWindowJourney, F10OpensThePlotCharacteristicsAndEscCloses)
{
    Journey journey("plot_window_f10");
    std::ofstream(journey.Root() / "sine.ckt")
        << "* sine\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nC1 2 0 0.1U\n.TRAN 10U 10M\n.END\n";
    ASSERT_TRUE(journey.Start({"sine.ckt"})) << journey.Output();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    journey.Settle(10);
    journey.Click(kLimitsCloseX, kLimitsCloseY);  // the analysis window is in front
    journey.Settle();
    const Shot plot = journey.Capture("plot_window_before_f10");

    journey.Key("F10");
    journey.Settle();
    const Shot dialog = journey.Capture("plot_window_characteristics");
    EXPECT_FALSE(dialog.SameAs(plot, kDialogLeft, kDialogTop, kDialogRight, kDialogBottom))
        << "F10 showed nothing";

    journey.Key("Escape");
    journey.Settle();
    const Shot after = journey.Capture("plot_window_after_f10");
    EXPECT_TRUE(after.SameAs(plot, kDialogLeft, kDialogTop, kDialogRight, kDialogBottom))
        << "the dialog stayed after Esc";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
