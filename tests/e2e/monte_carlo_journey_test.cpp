// Monte Carlo in a user's hands: the options dialog of an open analysis whose runs were stepped.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen (the frame maximised, as it starts): the Limits dialog's close
// box; the Monte Carlo menu and its Options item; in the Monte Carlo Options dialog the On
// button, the Number of Runs edit and OK.
constexpr int kMenuBarY = 28, kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kMonteCarloMenuX = 491, kOptionsItemX = 500, kOptionsItemY = 116;
constexpr int kOnX = 177, kOnY = 94, kRunsX = 145, kRunsY = 171, kOptionsOkX = 325, kOptionsOkY = 82;

// The drawn example with R1 of a 10 % model stepped from 1k to 3k, Monte Carlo off.
std::string SteppedToleranceExample()
{
    return DrawnExampleWith(
        "* R1 within 10 %, stepped from 1k to 3k\r\n.MODEL RM RES (R=1 DEV=10%)",
        {{"ONV=0,0,MODEL,\r\n", "ONV=0,0,MODEL,RM\r\n"},
         {"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}});
}

// Turning Monte Carlo on in the open analysis turns its stepping off: the next run makes the
// Monte Carlo runs, without the warning that the two cannot run together.
TEST(MonteCarloJourney, TurningMonteCarloOnAfterASteppedRunRunsTheMonteCarloCases)
{
    Journey journey("monte_carlo_options");
    const std::string circuit = SteppedToleranceExample();
    ASSERT_FALSE(circuit.empty());
    std::ofstream(journey.Root() / "mc.cir", std::ios::binary) << circuit;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("mc.cir"));
    const std::filesystem::path output = journey.Root() / "mc.TNO";
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(output).find("R1 = 3000") != std::string::npos; }, 30))
        << ReadAll(output);
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();

    journey.Click(kMonteCarloMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kOptionsItemX, kOptionsItemY);
    journey.Settle();
    journey.Click(kOnX, kOnY);
    journey.DoubleClick(kRunsX, kRunsY);
    journey.Key("End BackSpace BackSpace BackSpace BackSpace");
    journey.Type("20");
    journey.Settle();
    journey.Capture("monte_carlo_options_on");
    journey.Click(kOptionsOkX, kOptionsOkY);
    journey.Settle();
    journey.Key("F2");
    EXPECT_TRUE(journey.WaitUntil([&] { return ReadAll(output).find("Case= 20") != std::string::npos; }, 30))
        << "the run after turning Monte Carlo on did not make its 20 cases";
    journey.Settle();
    journey.Capture("monte_carlo_options_runs");
    EXPECT_EQ(ReadAll(output).find("R1 = "), std::string::npos) << "the old stepped cases ran again";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
