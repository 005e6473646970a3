// A point tag put on a stepped family: it marks the curve the user pointed at, whichever run
// drew it, not the last run's curve.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures: the Limits dialog's close box, the
// Mode menu and its Point Tag item, and, in the maximised analysis window, V(2) of the first
// case (R1 = 1K) at 1 ms and an empty place below it for the tag's label.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kMenuBarY = 26, kModeMenuX = 201, kPointTagX = 227, kPointTagY = 464;
constexpr int kFirstCaseX = 279, kFirstCaseY = 393, kLabelX = 492, kLabelY = 575;
constexpr std::uint32_t kTagColour = 0x0000FF;

TEST(PlotTagsJourney, APointTagMarksTheCaseItWasPutOn)
{
    Journey journey("point_tag_stepped");
    const std::string circuit = DrawnExampleWith(
        "* R1 stepped from 1k to 3k",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}});
    ASSERT_FALSE(circuit.empty());
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << circuit;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("stepped.cir")) << journey.Output();
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
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
