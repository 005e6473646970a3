// The Monte Carlo menu of a Monte Carlo analysis as a user opens it: Statistics writes the
// statistics of the histogram in front, so without one it stands greyed.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// The Limits dialog's close box, the Monte Carlo menu, and the line of its Statistics item.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kMenuBarY = 28, kMonteCarloMenuX = 491;
constexpr int kStatisticsLeft = 500, kStatisticsTop = 126, kStatisticsRight = 600, kStatisticsBottom = 140;
constexpr std::uint32_t kEnabledText = 0x000000, kGreyedText = 0x808080;

TEST(MonteCarloMenuJourney, StatisticsIsGreyedWithoutAHistogram)
{
    Journey journey("monte_carlo_menu");
    const std::string circuit = DrawnExampleWith(
        "* R1 within 10 %\r\n.MODEL RM RES (R=1 DEV=10%)",
        {{"ONV=0,0,MODEL,\r\n", "ONV=0,0,MODEL,RM\r\n"},
         {"Analysis=Transient\r\nStatus=Off\r\nDistribution=Normal\r\nNumber of Runs\r\n",
          "Analysis=Transient\r\nStatus=On\r\nDistribution=Normal\r\nNumber of Runs=5\r\n"}});
    ASSERT_FALSE(circuit.empty());
    std::ofstream(journey.Root() / "mc.cir", std::ios::binary) << circuit;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("mc.cir")) << journey.Output();
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
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

}  // namespace
}  // namespace kq5::journey
