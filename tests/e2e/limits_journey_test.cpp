// The Analysis Limits dialog of a netlist in a user's hands: a time range that cannot be run, a
// time range changed for good, the dialog wanted back after the Stepping dialog closed it, and
// the numeric output of a run made after the limits changed; and the netlist's text, which takes
// no typing while its analysis is open.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
// The Transient Analysis Limits dialog at the top left: its caption, its Time Range edit and
// its Stepping button.
constexpr int kCaptionLeft = 5, kCaptionTop = 86, kCaptionRight = 690, kCaptionBottom = 100;
constexpr int kTimeRangeX = 164, kTimeRangeY = 124;
constexpr int kSteppingX = 358, kSteppingY = 231;
// The analysis window's plot where the Limits dialog leaves it uncovered, and the caption of a
// message box in the middle of the screen.
constexpr int kPlotLeft = 710, kPlotTop = 130, kPlotRight = 968, kPlotBottom = 760;
constexpr int kBoxLeft = 540, kBoxTop = 415, kBoxRight = 720, kBoxBottom = 429;
// The netlist's own window behind the analysis window: its caption beside the Limits dialog, and
// its text once it is in front.
constexpr int kNetlistCaptionX = 800, kNetlistCaptionY = 94;
constexpr int kNetlistTextX = 800, kNetlistTextY = 400;
// Lines of a maximised numeric output window below the Limits dialog.
constexpr int kTableLeft = 40, kTableTop = 470, kTableRight = 400, kTableBottom = 920;
constexpr std::uint32_t kCurveColour = 0x5A91AB;
constexpr std::uint32_t kActiveCaption = 0x000080;

const std::string kNetlist =
    "* rc\nV1 1 0 PULSE(0 1 0 1u 1u 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 1u 5m\n.PRINT TRAN V(2)\n.END\n";

// Starts the program on the netlist and runs its transient analysis once.
void StartAndRun(Journey& journey)
{
    std::ofstream(journey.Root() / "rc.ckt") << kNetlist;
    ASSERT_TRUE(journey.Start({"rc.ckt"})) << journey.Output();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(journey.Root() / "rc.TNO").find("     5.000 ") != std::string::npos; }, 20))
        << journey.Output();
    journey.Settle();
}

// Replaces the Time Range text ("5M", as the netlist gave it) by the text.
void TypeTimeRange(Journey& journey, const std::string& text)
{
    journey.Click(kTimeRangeX, kTimeRangeY);
    journey.Key("End BackSpace BackSpace");
    journey.Type(text);
}

// Ends the session with a termination signal: the save question of the changed netlist is
// answered Yes, and the netlist is given as it was saved.
std::string SavedAtTheSessionsEnd(Journey& journey, const std::string& questionPng)
{
    journey.Signal(SIGTERM);
    int status = 0;
    EXPECT_FALSE(journey.WaitForExit(3, &status)) << "no save question for the changed netlist";
    journey.Capture(questionPng);
    journey.Key("Return");  // Yes
    EXPECT_TRUE(journey.WaitForExit(5, &status)) << journey.Output();
    return ReadAll(journey.Root() / "rc.ckt");
}

int CaptionPixels(const Shot& shot) { return shot.Count(kCaptionLeft, kCaptionTop, kCaptionRight, kCaptionBottom, kActiveCaption); }

// A run that fails on its limits holds no curves: the plot shows nothing of the run before it,
// under the message box or anywhere else.
TEST(LimitsJourney, ARunThatFailsOnItsTimeRangeLeavesNoOldCurve)
{
    Journey journey("limits_failed_run");
    StartAndRun(journey);
    ASSERT_GT(journey.Capture().Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 100) << "no curve after the run";

    TypeTimeRange(journey, "0");
    journey.Key("F2");
    journey.Settle();
    const Shot box = journey.Capture("limits_illegal_time_range");
    ASSERT_GT(box.Count(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kActiveCaption), 1000) << "no message box";
    journey.Key("Return");
    journey.Settle();
    const Shot after = journey.Capture("limits_after_failed_run");
    EXPECT_EQ(after.Count(kPlotLeft, kPlotTop, kPlotRight, kPlotBottom, kCurveColour), 0)
        << "the plot still shows the curve of the run before";
    journey.Key("F3");
    journey.Settle();
}

// A time range changed in the dialog is the netlist's from then on: leaving the analysis writes
// it into the .TRAN line (keeping the .PRINT line), and the window has changes to save.
TEST(LimitsJourney, AChangedTimeRangeIsWrittenIntoTheNetlist)
{
    Journey journey("limits_written_back");
    StartAndRun(journey);
    TypeTimeRange(journey, "8m");
    journey.Key("F2");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(journey.Root() / "rc.TNO").find("     8.000 ") != std::string::npos; }, 20))
        << "the run did not take the new time range";
    journey.Settle();
    journey.Key("F3");
    journey.Settle();
    journey.Capture("limits_written_back");
    const std::string saved = SavedAtTheSessionsEnd(journey, "limits_written_back_save_question");
    EXPECT_NE(saved.find(".TRAN 1.6e-06 0.008 0"), std::string::npos) << saved;
    EXPECT_NE(saved.find(".PRINT TRAN V(2)"), std::string::npos) << saved;
    EXPECT_EQ(saved.find(".TRAN 1u 5m"), std::string::npos) << saved;
}

// The Stepping dialog closes the Limits dialog as it opens; F9 brings it back afterwards.
TEST(LimitsJourney, LimitsComeBackAfterTheSteppingDialog)
{
    Journey journey("limits_after_stepping");
    StartAndRun(journey);
    journey.Click(kSteppingX, kSteppingY);
    journey.Settle();
    journey.Capture("limits_stepping_dialog");
    journey.Key("Return");  // OK
    journey.Settle();
    const Shot closed = journey.Capture("limits_stepping_closed");
    ASSERT_LT(CaptionPixels(closed), 100) << "the Limits dialog is still open";
    journey.Key("F9");
    journey.Settle();
    const Shot reopened = journey.Capture("limits_reopened");
    EXPECT_GT(CaptionPixels(reopened), 2000) << "F9 did not open the Limits dialog";
    journey.Key("F3");
    journey.Settle();
}

// The numeric output window shows the file as the last run wrote it, not as it was when the
// window opened: after a run of 8 ms its table steps by 1.6 us, not by the 1 us of the run of 5 ms.
TEST(LimitsJourney, TheNumericOutputWindowShowsTheLastRun)
{
    Journey journey("limits_numeric_output");
    StartAndRun(journey);
    journey.Key("F5");
    journey.Settle();
    journey.Key("ctrl+Home");
    journey.Settle();
    const Shot first = journey.Capture("limits_numeric_output_first");
    journey.Key("F4");
    journey.Settle();
    TypeTimeRange(journey, "8m");
    journey.Key("F2");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(journey.Root() / "rc.TNO").find("     8.000 ") != std::string::npos; }, 20));
    journey.Settle();
    journey.Key("F5");
    journey.Settle();
    journey.Key("ctrl+Home");
    journey.Settle();
    const Shot second = journey.Capture("limits_numeric_output_second");
    // The first lines of the table that the Limits dialog leaves uncovered.
    EXPECT_FALSE(second.SameAs(first, kTableLeft, kTableTop, kTableRight, kTableBottom))
        << "the numeric output window still shows the run before";
    journey.Key("F3");
    journey.Settle();
}

// The runs use the netlist as it was when the analysis started: its window takes no typing until
// the analysis ends, and takes it again afterwards.
TEST(LimitsJourney, TheNetlistTakesNoTypingDuringItsAnalysis)
{
    Journey journey("limits_read_only");
    StartAndRun(journey);
    journey.Click(kNetlistCaptionX, kNetlistCaptionY);
    journey.Click(kNetlistTextX, kNetlistTextY);
    journey.Key("ctrl+End");
    journey.Type("* typed during the analysis");
    journey.Settle();
    journey.Capture("limits_read_only_during");
    journey.Key("F3");
    journey.Settle();
    journey.Key("ctrl+End");
    journey.Type("* typed after");
    journey.Settle();
    journey.Capture("limits_read_only_after");
    const std::string saved = SavedAtTheSessionsEnd(journey, "limits_read_only_save_question");
    EXPECT_NE(saved.find("* typed after"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("typed during"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kq5::journey
