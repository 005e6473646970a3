// The State Variables editor as a user meets it after a run: a node voltage mistyped and the
// next button pressed gives one error message, the value comes back, and the editor goes on
// working. The message once took the focus from the edit again and again until the program
// ran out of stack; and closing the editor by Esc from a voltage once reported the destroyed
// edit's empty text as a missing expression.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "journey.h"

namespace kq5::journey {
namespace {

// The editor opens at the top left of the frame's client area.
constexpr int kSecondNodeX = 132, kSecondNodeY = 124;  // node 2's voltage
constexpr int kWriteX = 280, kWriteY = 167;            // "Write"

TEST(StateEditorJourney, AMistypedVoltageIsReportedOnceAndTheEditorGoesOn)
{
    Journey journey("state_editor");
    std::ofstream(journey.Root() / "sine.ckt")
        << "* sine\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nC1 2 0 0.1U\n.TRAN 10U 10M\n.END\n";
    ASSERT_TRUE(journey.Start({"sine.ckt"})) << journey.Output();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    journey.Settle(10);
    journey.Key("F12");
    journey.Settle();
    journey.Capture("state_editor_open");

    journey.Click(kSecondNodeX, kSecondNodeY);
    journey.Key("End shift+Home");
    journey.Type("abc");
    journey.Click(kWriteX, kWriteY);
    journey.Settle();
    journey.Capture("state_editor_bad_value");
    ASSERT_TRUE(journey.Running()) << "the program ended on the bad value\n" << journey.Output();
    journey.Key("Return");  // the one error message
    journey.Settle();
    ASSERT_TRUE(journey.Running()) << journey.Output();

    // The editor still works: Write writes the state file. (The first click after the message
    // may only end the press that the message interrupted.)
    const auto stateFile = journey.Root() / "sine.TOP";
    journey.Click(kWriteX, kWriteY);
    journey.Settle();
    journey.Click(kWriteX, kWriteY);
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(stateFile); }, 5))
        << "no state file after Write\n" << journey.Output();

    // Esc with the focus in a voltage closes the editor without a message about an empty
    // value; reopened, it writes again at once.
    std::filesystem::remove(stateFile);
    journey.Click(kSecondNodeX, kSecondNodeY);
    journey.Key("Escape");
    journey.Settle();
    journey.Capture("state_editor_closed");
    journey.Key("F12");
    journey.Settle();
    journey.Click(kWriteX, kWriteY);
    EXPECT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(stateFile); }, 5))
        << "a message box stands in the way after Esc\n" << journey.Output();
    journey.Capture("state_editor_written");
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
