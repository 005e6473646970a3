// The program started as a user starts it: its frame shows, and its menus answer real keys.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kq5::journey
