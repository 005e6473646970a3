// Rows of the Analysis Limits dialog in a user's hands: a line added and not yet filled in.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen (the frame maximised, as it starts): the Transient Analysis
// Limits dialog's Add button, a message box's caption in the middle of the screen, and the
// analysis window's plot where the dialog leaves it uncovered.
constexpr int kAddX = 125, kAddY = 231;
constexpr int kBoxLeft = 540, kBoxTop = 415, kBoxRight = 720, kBoxBottom = 429;
constexpr int kPlotLeft = 710, kPlotTop = 130, kPlotRight = 968, kPlotBottom = 760;
constexpr std::uint32_t kActiveCaption = 0x000080;
constexpr std::uint32_t kCurveColour = 0x5A91AB;

const std::string kNetlist =
    "* two RC sections\nV1 1 0 PULSE(0 1 0 1u 1u 1 2)\nR1 1 2 1K\nC1 2 0 1U\nR2 2 3 1K\nC2 3 0 1U\n"
    ".TRAN 1u 5m\n.PRINT TRAN V(2)\n.END\n";

// A line added with Add and left empty stands in no run's way: the run plots the rows that
// have an expression, with no message about the empty one.
TEST(AnalysisRowsJourney, ALineAddedAndLeftEmptyDoesNotStopTheRun)
{
    Journey journey("rows_added_empty");
    std::ofstream(journey.Root() / "rc.ckt") << kNetlist;
    ASSERT_TRUE(journey.Start({"rc.ckt"})) << journey.Output();
    journey.Key("alt+1");
    journey.Settle();
    journey.Click(kAddX, kAddY);
    journey.Settle();
    journey.Key("F2");
    const bool ran = journey.WaitUntil([&] { return ReadAll(journey.Root() / "rc.TNO").find("     5.000 ") != std::string::npos; }, 20);
    journey.Settle();
    const Shot shot = journey.Capture("rows_added_empty_run");
    EXPECT_TRUE(ran) << "the run did not finish";
    EXPECT_LT(shot.Count(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kActiveCaption), 100) << "a message box stopped the run";
    EXPECT_GT(shot.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 100) << "no curve of the filled row";
    journey.Key("Return F3");
    journey.Settle();
}

}  // namespace
}  // namespace kq5::journey
