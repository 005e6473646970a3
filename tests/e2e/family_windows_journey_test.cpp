// The windows of many runs in a user's hands: the Monte Carlo menu of a Monte Carlo analysis
// (Statistics writes the statistics of the histogram in front, so without one it stands
// greyed), and a point tag put on a stepped family (it marks the curve the user pointed at,
// whichever run drew it, not the last run's curve).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures: the Limits dialog's close box; the
// Monte Carlo menu and the line of its Statistics item; the Mode menu and its Point Tag item,
// and, in the maximised analysis window, V(2) of the first case (R1 = 1K) at 1 ms and an empty
// place below it for the tag's label.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kMenuBarY = 28, kMonteCarloMenuX = 491;
constexpr int kStatisticsLeft = 500, kStatisticsTop = 126, kStatisticsRight = 600, kStatisticsBottom = 140;
constexpr int kModeMenuX = 201, kPointTagX = 227, kPointTagY = 464;
constexpr int kFirstCaseX = 279, kFirstCaseY = 393, kLabelX = 492, kLabelY = 575;
constexpr std::uint32_t kEnabledText = 0x000000, kGreyedText = 0x808080, kTagColour = 0x0000FF;

// The drawn example with the sections changed, opened by File > Open and run by Transient
// Analysis and Run, its Limits dialog closed; false when any of that failed.
bool StartAndRunExample(Journey& journey, const std::string& statements,
                        const std::vector<std::pair<std::string, std::string>>& edits)
{
    const std::string circuit = DrawnExampleWith(statements, edits);
    if (circuit.empty()) return false;
    std::ofstream(journey.Root() / "family.cir", std::ios::binary) << circuit;
    if (!journey.Start() || !journey.OpenAndRunTransient("family.cir")) return false;
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    return true;
}

TEST(FamilyWindowsJourney, MonteCarloStatisticsIsGreyedWithoutAHistogram)
{
    Journey journey("monte_carlo_menu");
    ASSERT_TRUE(StartAndRunExample(
        journey, "* R1 within 10 %\r\n.MODEL RM RES (R=1 DEV=10%)",
        {{"ONV=0,0,MODEL,\r\n", "ONV=0,0,MODEL,RM\r\n"},
         {"Analysis=Transient\r\nStatus=Off\r\nDistribution=Normal\r\nNumber of Runs\r\n",
          "Analysis=Transient\r\nStatus=On\r\nDistribution=Normal\r\nNumber of Runs=5\r\n"}}))
        << journey.Output();
    journey.Click(kMonteCarloMenuX, kMenuBarY);
    journey.Settle();
    const Shot menu = journey.Capture("monte_carlo_menu_without_histogram");
    EXPECT_EQ(menu.Count(kStatisticsLeft, kStatisticsTop, kStatisticsRight, kStatisticsBottom, kEnabledText), 0)
        << "Statistics is enabled with no histogram to take them from";
    EXPECT_GT(menu.Count(kStatisticsLeft, kStatisticsTop, kStatisticsRight, kStatisticsBottom, kGreyedText), 10)
        << "no greyed Statistics item there";
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

TEST(FamilyWindowsJourney, APointTagMarksTheCaseItWasPutOn)
{
    Journey journey("point_tag_stepped");
    ASSERT_TRUE(StartAndRunExample(
        journey, "* R1 stepped from 1k to 3k",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}}))
        << journey.Output();
    journey.Click(kModeMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kPointTagX, kPointTagY);
    journey.Settle();
    journey.Drag(kFirstCaseX, kFirstCaseY, kLabelX, kLabelY);
    journey.Settle();
    const Shot shot = journey.Capture("point_tag_stepped");
    // The tag's marker stands on the first case's curve where the drag began (the last case's
    // curve runs 60 pixels lower there).
    EXPECT_GT(shot.Count(kFirstCaseX - 20, kFirstCaseY - 5, kFirstCaseX + 5, kFirstCaseY + 30, kTagColour), 20)
        << "the tag went to another case's curve";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
