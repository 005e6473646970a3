// The program started as a user starts it: its frame shows, and its menus answer real keys.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

TEST(StartJourney, TheFrameShowsAndItsMenusAnswerTheKeyboard)
{
    Journey journey("start");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    const Shot frame = journey.Capture("start_frame");
    ASSERT_GT(frame.width, 600);
    // Something is drawn: not one colour over the whole window.
    EXPECT_LT(frame.Count(0, 0, frame.width, frame.height, frame.At(frame.width / 2, frame.height / 2)),
              frame.width * frame.height * 9 / 10);
    journey.Key("alt+f");
    journey.Settle();
    const Shot menu = journey.Capture("start_file_menu");
    EXPECT_FALSE(menu.SameAs(frame)) << "the File menu did not open";
    journey.Key("Escape Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Capture().SameAs(frame, 0, 0, frame.width, frame.height / 2)) << "the menu did not close";
    EXPECT_TRUE(journey.Running());
}

// The Component and Analysis menus leave the bar while an analysis window is open. A circuit window
// shown in a frame of its own when the analysis began, and the analysis window maximised in it,
// used to bring them back one place off ("File Component Edit ... Analysis View Help"): the
// maximised window's system menu had come to the front of the bar meanwhile.
TEST(StartJourney, TheMenuBarComesBackInOrderAfterAnAnalysisWindowWasMaximised)
{
    // Places read from the program's captures: the maximised child's Restore button on the menu
    // bar, the component buttons and the attribute dialog, the analysis window's Maximize button.
    constexpr int kChildRestoreX = 1233, kMenuBarY = 28, kMenuBarTop = 18, kMenuBarBottom = 38, kMenuBarRight = 700;
    constexpr int kGroundButtonX = 558, kResistorButtonX = 582, kButtonY = 48, kPartX = 264, kPartY = 300;
    constexpr int kValueLineX = 420, kValueLineY = 462, kValueBoxX = 500, kValueBoxY = 399, kOkX = 720, kOkY = 375;
    constexpr int kAnalysisMaximizeX = 940, kAnalysisMaximizeY = 119;
    Journey journey("menu_order");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    const Shot start = journey.Capture("menu_order_start");

    journey.Click(kChildRestoreX, kMenuBarY);
    journey.Settle();
    journey.Click(kResistorButtonX, kButtonY);
    journey.Click(kPartX, kPartY);
    journey.Settle();
    journey.Click(kValueLineX, kValueLineY);
    journey.Click(kValueBoxX, kValueBoxY);
    journey.Type("1K");
    journey.Click(kOkX, kOkY);
    journey.Settle();
    journey.Click(kGroundButtonX, kButtonY);
    journey.Click(kPartX, kPartY);
    journey.Settle();

    journey.Key("alt+a");
    journey.Key("t");
    journey.Settle();
    journey.Click(kAnalysisMaximizeX, kAnalysisMaximizeY);
    journey.Settle();
    const Shot analysis = journey.Capture("menu_order_analysis");
    EXPECT_FALSE(analysis.SameAs(start, 0, kMenuBarTop, kMenuBarRight, kMenuBarBottom)) << "no analysis menus";
    journey.Key("F3");
    journey.Settle();
    const Shot back = journey.Capture("menu_order_back");
    EXPECT_TRUE(back.SameAs(start, 0, kMenuBarTop, kMenuBarRight, kMenuBarBottom))
        << "the menu bar is not as it was before the analysis";
    EXPECT_TRUE(journey.Running());
}

// Started where its display cannot be reached, the program says so and ends, instead of running
// on unseen (it used to draw its frame on SDL's invisible stand-in driver, or on none at all).
TEST(StartJourney, WithoutAReachableDisplayTheProgramSaysSoAndEnds)
{
    const std::filesystem::path build = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::filesystem::path root = build / "journeys" / "no_display";
    std::filesystem::create_directories(root);
    for (const char* display : {"DISPLAY=:4097", "-u DISPLAY"}) {
        const std::string command = "cd '" + root.string() + "' && timeout 20 env " + display + " '" +
                                    (build / "kq5").string() + "' /ROOT:. 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << display << ": " << status << "\n" << output;
        EXPECT_NE(output.find("Cannot open the display"), std::string::npos) << display << ": " << output;
    }
}

}  // namespace
}  // namespace kq5::journey
