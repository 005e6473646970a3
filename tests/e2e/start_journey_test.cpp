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
