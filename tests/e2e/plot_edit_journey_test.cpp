// Editing what an analysis window shows, as a user does it after a run: a line drawn on the plot
// taken back with Undo, and a digital netlist whose analysis is closed and run again.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;  // the limits dialog's close box
constexpr int kLineModeX = 215, kLineModeY = 229;       // Mode > Line
constexpr int kTimeRangeX = 164, kTimeRangeY = 124;     // the limits dialog's Time Range
// A message box in the middle of the screen: its caption.
constexpr int kBoxLeft = 540, kBoxTop = 415, kBoxRight = 720, kBoxBottom = 429;
// The lower part of a graph of the analysis window below the limits dialog, and its grid colour.
constexpr int kMixedLeft = 160, kMixedTop = 480, kMixedRight = 900, kMixedBottom = 700;
constexpr std::uint32_t kGridGrey = 0x808080;
constexpr std::uint32_t kLineBlue = 0x0000FF;
// Around the value of a vertical tag from 1 ms to 3 ms on the maximised plot of rc_step.cir.
constexpr int kTagTextLeft = 520, kTagTextTop = 220, kTagTextRight = 640, kTagTextBottom = 320;
constexpr std::uint32_t kTagBlue = 0x0000FF;
constexpr std::uint32_t kActiveCaption = 0x000080;
const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// Runs the transient analysis of rc_step.cir and closes the limits dialog: the plot fills the screen.
void ShowRcStepPlot(Journey& journey)
{
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc_step.cir")) << journey.Output();
    journey.Settle(10);
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
}

// Picks an entry of the Mode menu by its place on the screen.
void ChooseMode(Journey& journey, int x, int y)
{
    journey.Key("alt+m Down");
    journey.Settle();
    journey.Click(x, y);
}

int LinePixels(const Shot& shot) { return shot.Count(300, 590, 610, 730, kLineBlue); }

// Undo takes back a line just drawn on the plot, and a second Undo brings it back. Undo once
// did nothing after a drawn object: the drawing was not recorded as an edit.
TEST(PlotEditJourney, UndoTakesBackALineDrawnOnThePlot)
{
    Journey journey("plot_undo_line");
    ASSERT_NO_FATAL_FAILURE(ShowRcStepPlot(journey));
    const Shot before = journey.Capture();
    ASSERT_LT(LinePixels(before), 20) << "something blue on the plot before the line";

    ChooseMode(journey, kLineModeX, kLineModeY);
    journey.Drag(300, 600, 600, 720);
    journey.Settle();
    ASSERT_GT(LinePixels(journey.Capture("plot_undo_line_drawn")), 250) << "no line where it was drawn";

    journey.Key("ctrl+z");
    journey.Settle();
    EXPECT_LT(LinePixels(journey.Capture("plot_undo_line_undone")), 20) << "Undo left the line on the plot";

    journey.Key("ctrl+z");
    journey.Settle();
    EXPECT_GT(LinePixels(journey.Capture("plot_undo_line_redone")), 250) << "a second Undo did not bring the line back";
    EXPECT_TRUE(journey.Running());
}

// A digital netlist whose time range is changed in the limits, run, its analysis closed (which
// writes the limits into its analysis lines) and run again gives the same plot, with no error. The Y range "N/A" of the digital curves was once
// written as a plot limit and read back as a variable, and the second run stopped on it.
TEST(PlotEditJourney, ADigitalNetlistRunsAgainAfterItsAnalysisIsClosed)
{
    Journey journey("plot_digital_rerun");
    std::ofstream(journey.Root() / "gates.ckt")
        << "* two gates\nU1 STIM(1,1) $G_DPWR $G_DGND A IO_STM\n+ 0 0\n+ 10N 1\n+ 30N 0\n"
           "U2 INV $G_DPWR $G_DGND A Y D0 IO_STM\nU3 INV $G_DPWR $G_DGND Y Z D0 IO_STM\n"
           ".MODEL D0 UGATE(TPLHTY=3N TPHLTY=5N)\n.MODEL IO_STM UIO()\n.TRAN 1N 50N\n.PRINT TRAN D(A) D(Y) D(Z)\n.END\n";
    ASSERT_TRUE(journey.Start({"gates.ckt"})) << journey.Output();
    const auto output = journey.Root() / "gates.TNO";
    for (int run = 0; run < 2; ++run) {
        std::filesystem::remove(output);
        journey.Key("alt+1");
        journey.Settle();
        if (run == 0) {
            journey.Click(kTimeRangeX, kTimeRangeY);
            journey.Key("End BackSpace BackSpace BackSpace");
            journey.Type("60N");
        }
        journey.Key("F2");
        ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(output).find("60.000") != std::string::npos; }, 20))
            << "run " << run + 1 << " wrote no table\n" << journey.Output();
        journey.Settle();
        const Shot shot = journey.Capture(run == 0 ? "plot_digital_first_run" : "plot_digital_second_run");
        EXPECT_LT(shot.Count(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kActiveCaption), 100) << "a message box after run " << run + 1;
        journey.Key("F3");
        journey.Settle();
    }
    journey.Capture("plot_digital_netlist_after");
    EXPECT_TRUE(journey.Running());
}

// A graph that shows a digital state above an analog voltage is laid out in the digital curve's
// lanes, with no horizontal grid lines. The lines of the digital curve's 0 to 20 state scale were
// once drawn across it, some forty dotted lines that buried the analog curve.
TEST(PlotEditJourney, AGraphLedByADigitalCurveHasNoHorizontalGridLines)
{
    Journey journey("plot_mixed_group");
    std::string circuit = ReadAll(std::filesystem::path(KQ5_SOURCE_DIR) / "tests" / "circuits" / "inverter_pulse.cir");
    const std::size_t second = circuit.find("Plt=2");
    ASSERT_NE(second, std::string::npos);
    circuit.replace(second, 5, "Plt=1");  // v(1) joins d(DOUT) in the first graph
    std::ofstream(journey.Root() / "mixed.cir") << circuit;
    ASSERT_TRUE(journey.Start({"mixed.cir"})) << journey.Output();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(journey.Root() / "mixed.TNO").find("12.000") != std::string::npos; }, 20))
        << journey.Output();
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    const Shot shot = journey.Capture("plot_mixed_group");
    int lines = 0;
    for (int y = kMixedTop; y < kMixedBottom; ++y)
        if (shot.Count(kMixedLeft, y, kMixedRight, y + 1, kGridGrey) > (kMixedRight - kMixedLeft) / 4) ++lines;
    EXPECT_EQ(lines, 0) << "horizontal grid lines across the graph";
    EXPECT_TRUE(journey.Running());
}

// A measuring tag's value keeps its look when the plot is drawn again after the next run. It was
// once written in whatever font the window's device context held last: the plot font when the
// tag was made, a larger bold one after a run.
TEST(PlotEditJourney, AMeasuringTagKeepsItsFontAfterTheNextRun)
{
    constexpr int kVerticalTagX = 215, kVerticalTagY = 449;  // Mode > Vertical Tag
    Journey journey("plot_tag_font");
    ASSERT_NO_FATAL_FAILURE(ShowRcStepPlot(journey));
    ChooseMode(journey, kVerticalTagX, kVerticalTagY);
    journey.Drag(283, 394, 770, 143);  // V(2) at 1 ms to V(2) at 3 ms
    journey.Settle();
    const Shot made = journey.Capture("plot_tag_font_made");
    journey.Key("F2");
    journey.Settle(10);
    const Shot rerun = journey.Capture("plot_tag_font_after_run");
    const int before = made.Count(kTagTextLeft, kTagTextTop, kTagTextRight, kTagTextBottom, kTagBlue);
    const int after = rerun.Count(kTagTextLeft, kTagTextTop, kTagTextRight, kTagTextBottom, kTagBlue);
    ASSERT_GT(before, 20) << "no tag value beside the dimension line";
    EXPECT_EQ(after, before) << "the tag's value is drawn differently after the run";
}

}  // namespace
}  // namespace kq5::journey
