// The analysis window and its tools after a run, as a user meets them: the State Variables
// editor with a mistyped voltage, and the window's own keys as its menus show them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures. The State Variables editor opens at
// the top left of the frame's client area; the Plot Characteristics dialog stands over the
// analysis window once the limits dialog is closed.
constexpr int kSecondNodeX = 132, kSecondNodeY = 124;  // node 2's voltage
constexpr int kWriteX = 280, kWriteY = 167;            // "Write"
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;  // the limits dialog's close box
constexpr int kDialogLeft = 420, kDialogTop = 350, kDialogRight = 840, kDialogBottom = 640;
const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// Starts the program, opens a sine driving an RC and runs its transient analysis.
void StartAndRun(Journey& journey)
{
    std::ofstream(journey.Root() / "sine.ckt")
        << "* sine\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nC1 2 0 0.1U\n.TRAN 10U 10M\n.PRINT TRAN V(1) V(2)\n.END\n";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("sine.ckt")) << journey.Output();
    journey.Settle(10);
}

// A voltage mistyped and the next button pressed give one error message, the value comes back,
// and the editor goes on working. The message once took the focus from the edit again and again
// until the program ran out of stack; and closing the editor by Esc from a voltage once reported
// the destroyed edit's empty text as a missing expression.
TEST(AnalysisWindowJourney, AMistypedStateVoltageIsReportedOnceAndTheEditorGoesOn)
{
    Journey journey("state_editor");
    StartAndRun(journey);
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

    // Write writes the state file. (The first click after the message may only end the press
    // that the message interrupted.)
    const auto stateFile = journey.Root() / "sine.TOP";
    journey.Click(kWriteX, kWriteY);
    journey.Settle();
    journey.Click(kWriteX, kWriteY);
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(stateFile); }, 5))
        << "no state file after Write\n" << journey.Output();

    // Esc with the focus in a voltage closes the editor without a message; reopened, it writes
    // again at once.
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

// The .IC button of a text circuit with two instances of one subcircuit: the inductors are named
// by their instances (two rows "L1" once gave two items I(L1), and the next run failed with
// "Inductor not defined."), and the statements stand before the .END, where the next run reads
// them (after it they were never read).
TEST(AnalysisWindowJourney, IcStatementsOfSubcircuitInductorsAreReadByTheNextRun)
{
    constexpr int kIcX = 436, kIcY = 188;  // ".IC" of the editor with three rows
    Journey journey("state_editor_ic");
    std::ofstream(journey.Root() / "tanks.ckt")
        << "* tanks\nV1 1 0 PULSE(0 1 0 1N 1N 1U 2U)\nX1 1 TANK\nX2 1 TANK\n.SUBCKT TANK IN\nL1 IN M 10U\n"
           "C1 M 0 1N\nR1 M 0 50\n.ENDS\n.TRAN 1N 300N\n.PRINT TRAN V(X1.M) I(X2.L1)\n.END\n";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("tanks.ckt")) << journey.Output();
    journey.Settle(10);
    journey.Key("F12");
    journey.Settle();
    journey.Capture("state_editor_ic_open");
    journey.Click(kIcX, kIcY);
    journey.Settle();
    journey.Capture("state_editor_ic_question");
    journey.Key("Return");  // Yes
    journey.Settle();
    journey.Key("Escape");  // the editor
    journey.Settle();
    journey.Key("F3");  // the circuit
    journey.Settle();
    journey.Capture("state_editor_ic_text");
    const auto circuit = journey.Root() / "tanks.ckt";
    journey.Key("ctrl+s");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(circuit).find(".IC") != std::string::npos; }, 5))
        << ReadAll(circuit) << journey.Output();
    const std::string text = ReadAll(circuit);
    const std::size_t end = text.rfind(".END");
    const std::size_t first = text.find("I(X1.L1)="), second = text.find("I(X2.L1)=");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_NE(second, std::string::npos) << text;
    EXPECT_EQ(text.find(" I(L1)="), std::string::npos) << text;
    EXPECT_LT(text.find(".IC"), end) << text;
    EXPECT_LT(second, end) << text;
    EXPECT_TRUE(journey.Running());
}

// F10 opens the Plot Characteristics of the window in front (it once fell through to the
// circuit windows' colour dialog, which an analysis window has nothing for, so the key did
// nothing).
TEST(AnalysisWindowJourney, F10OpensThePlotCharacteristicsAndEscCloses)
{
    Journey journey("plot_window_f10");
    StartAndRun(journey);
    journey.Click(kLimitsCloseX, kLimitsCloseY);  // the analysis window is in front
    journey.Settle();
    const Shot plot = journey.Capture("plot_window_before_f10");

    journey.Key("F10");
    journey.Settle();
    const Shot dialog = journey.Capture("plot_window_characteristics");
    EXPECT_FALSE(dialog.SameAs(plot, kDialogLeft, kDialogTop, kDialogRight, kDialogBottom)) << "F10 showed nothing";

    journey.Key("Escape");
    journey.Settle();
    const Shot after = journey.Capture("plot_window_after_f10");
    EXPECT_TRUE(after.SameAs(plot, kDialogLeft, kDialogTop, kDialogRight, kDialogBottom)) << "the dialog stayed after Esc";
    EXPECT_TRUE(journey.Running());
}

// A line drawn on the plot with Mode > Line shows at once; dragged up and to the left it follows
// the pointer; saved with the circuit, it is on the plot again after the next run. The analysis
// window once ignored the shape modes; a plot object could not be dragged up or left (the limits
// took its curve values for pixels); and after a run the plot showed none of its objects until
// something painted the window again.
TEST(AnalysisWindowJourney, ALineOnThePlotIsDrawnMovedSavedAndShownAfterTheNextRun)
{
    constexpr std::uint32_t kLineBlue = 0x0000FF;
    constexpr int kLineModeX = 215, kLineModeY = 229;  // Mode > Line
    Journey journey("plot_line");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc_step.cir")) << journey.Output();
    journey.Settle(10);
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    journey.Key("alt+m Down");
    journey.Settle();
    journey.Click(kLineModeX, kLineModeY);
    journey.Drag(300, 600, 600, 720);
    journey.Settle();
    const Shot drawn = journey.Capture("plot_line_drawn");
    EXPECT_GT(drawn.Count(300, 590, 610, 730, kLineBlue), 250) << "no line where it was drawn";

    journey.Drag(450, 660, 350, 460);  // picks the line up by its middle
    journey.Settle();
    const Shot moved = journey.Capture("plot_line_moved");
    EXPECT_GT(moved.Count(190, 390, 510, 530, kLineBlue), 250) << "the line did not follow the pointer up";
    EXPECT_LT(moved.Count(300, 590, 610, 730, kLineBlue), 20) << "the line stayed where it was";

    // The analysis ends (F3) so that the circuit can be saved, with the line.
    journey.Key("F3");
    journey.Settle();
    journey.Key("ctrl+s");
    const auto file = journey.Root() / "rc_step.cir";
    EXPECT_TRUE(journey.WaitUntil([&] { return ReadAll(file).find("Object=Line") != std::string::npos; }, 5))
        << "the saved circuit has no line";
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    journey.Settle(10);
    const Shot rerun = journey.Capture("plot_line_after_run");
    // The limits dialog stands over the top left of the plot; the line's lower end shows below it.
    EXPECT_GT(rerun.Count(340, 465, 510, 530, kLineBlue), 60) << "the line is missing after the run";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
