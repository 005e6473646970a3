// Reading values off a plot, as an engineer measuring a result does: a cursor sent to a level,
// the cursors of two graphs aligned, both cursors on one point, a graph's X range, a curve's graph
// and a curve's own Y range set in Plot Characteristics, a Bode plot zoomed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures of the maximised analysis window with
// two graphs: the limits dialog's close box; the Go to Y dialog's value and its Left button; the
// Scope menu and its Align Cursors item; the readout rows of the upper and the lower graph.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kGoToValueX = 79, kGoToValueY = 99, kGoToLeftX = 42, kGoToLeftY = 133;
constexpr int kScopeMenuX = 338, kMenuBarY = 27, kAlignCursorsX = 340, kAlignCursorsY = 397;
constexpr int kReadoutLeft = 400, kReadoutRight = 1250;
constexpr int kUpperReadoutTop = 482, kUpperReadoutBottom = 522;
constexpr int kLowerReadoutTop = 910, kLowerReadoutBottom = 950;
// The Plot Characteristics dialog over the maximised window: its Format page button, the X
// Range High edit and OK; the top right corner of the single graph of the drawn example, where
// V(2) ends near 1 V, and V(2)'s colour.
constexpr int kFormatPageX = 523, kFormatPageY = 376, kXHighX = 702, kXHighY = 446, kOkX = 460, kOkY = 613;
constexpr int kCornerLeft = 1142, kCornerTop = 102, kCornerRight = 1257, kCornerBottom = 136;
constexpr std::uint32_t kV2Colour = 0x145A6B;
// On the Plot page: V(2) in the waveform list, the Graph combo box and its item 2; the lower of
// two graphs, and the grey of the grid lines.
constexpr int kV2ItemX = 432, kV2ItemY = 431, kGraphComboX = 697, kGraphComboY = 467, kGraph2X = 669, kGraph2Y = 497;
constexpr int kLowerLeft = 60, kLowerTop = 540, kLowerRight = 1240, kLowerBottom = 860;
constexpr std::uint32_t kGridGrey = 0x808080;
// The Slope column of the readouts of V(1) and V(2) under the single graph of the drawn example.
constexpr int kSlopeLeft = 1130, kSlopeTop = 894, kSlopeRight = 1262, kSlopeBottom = 931;
constexpr std::uint32_t kWhite = 0xFFFFFF;
// On the Format page: "Set all plots in graph to Y Range" and the Y Range High edit; the column
// of the outer Y scale labels left of the graph.
constexpr int kOneScaleX = 603, kOneScaleY = 541, kYHighX = 772, kYHighY = 446;
constexpr int kScaleColumnLeft = 0, kScaleColumnTop = 90, kScaleColumnRight = 33, kScaleColumnBottom = 900;

// The drawn RC example opened and run, its limits dialog closed.
bool StartExample(Journey& journey)
{
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir",
                               journey.Root() / "rc_step.cir");
    if (!journey.Start() || !journey.OpenAndRunTransient("rc_step.cir")) return false;
    journey.Settle(10);
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    return true;
}

// F10 opens the Plot Characteristics; with `format` its Format page is shown.
void OpenCharacteristics(Journey& journey, bool format)
{
    journey.Key("F10");
    journey.Settle();
    if (!format) return;
    journey.Click(kFormatPageX, kFormatPageY);
    journey.Settle();
}

// The edit at (x, y) takes `text` in place of what it held.
void Retype(Journey& journey, int x, int y, const std::string& text)
{
    journey.Click(x, y);
    journey.Key("End shift+Home");
    journey.Type(text);
}

// OK closes the Plot Characteristics; the window as it is then, written as <png>.
Shot PressOk(Journey& journey, const std::string& png)
{
    journey.Click(kOkX, kOkY);
    journey.Settle();
    return journey.Capture(png);
}

// The drawn RC example with V(2) in the upper graph (the current curve) and the step V(1) in a
// graph of its own below, run, in Cursor mode.
bool StartTwoGraphs(Journey& journey)
{
    const std::string circuit = DrawnExampleWith(
        "* V(2) above, the step below",
        {{"YExp=v(2)", "YExp=v(1)"}, {"YExp=v(1)", "YExp=v(2)"},
         {"Plt=1\r\nXExp=T\r\nYExp=v(1)", "Plt=2\r\nXExp=T\r\nYExp=v(1)"}});
    if (circuit.empty()) return false;
    std::ofstream(journey.Root() / "graphs.cir", std::ios::binary) << circuit;
    if (!journey.Start() || !journey.OpenAndRunTransient("graphs.cir")) return false;
    journey.Settle(10);
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    journey.Key("F8");
    journey.Settle();
    return true;
}

// The left cursor sent to V(2) = 0.5 stands between two stored points (at RC ln 2). Align Cursors
// carries that time to the lower graph and leaves the upper graph's readouts as they were; it
// once put the cursor back on the stored point before it, so that the level read was lost.
TEST(PlotReadingJourney, AligningKeepsACursorSentToALevel)
{
    Journey journey("cursor_align");
    ASSERT_TRUE(StartTwoGraphs(journey)) << journey.Output();
    journey.Key("ctrl+shift+y");
    journey.Settle();
    journey.Click(kGoToValueX, kGoToValueY);
    journey.Type("0.5");
    journey.Click(kGoToLeftX, kGoToLeftY);
    journey.Settle();
    const Shot before = journey.Capture("cursor_align_before");

    journey.Click(kScopeMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kAlignCursorsX, kAlignCursorsY);
    journey.Settle();
    const Shot after = journey.Capture("cursor_align_after");
    EXPECT_TRUE(after.SameAs(before, kReadoutLeft, kUpperReadoutTop, kReadoutRight, kUpperReadoutBottom))
        << "the cursor left the level it was sent to";
    EXPECT_FALSE(after.SameAs(before, kReadoutLeft, kLowerReadoutTop, kReadoutRight, kLowerReadoutBottom))
        << "the lower graph's cursor did not follow";
    EXPECT_TRUE(journey.Running());
}

// Shift+Right takes the right cursor past the end of the run, round to the first point, where the
// left cursor stands: with no distance between them there is no slope, and its column stays
// empty. It once read "1" for every curve.
TEST(PlotReadingJourney, BothCursorsOnOnePointShowNoSlope)
{
    Journey journey("cursor_one_point");
    ASSERT_TRUE(StartExample(journey)) << journey.Output();
    journey.Key("F8");
    journey.Settle();
    const Shot apart = journey.Capture();
    ASSERT_LT(apart.Count(kSlopeLeft, kSlopeTop, kSlopeRight, kSlopeBottom, kWhite),
              (kSlopeRight - kSlopeLeft) * (kSlopeBottom - kSlopeTop))
        << "no slopes where the readouts stand";
    journey.Key("shift+Right");
    journey.Settle();
    const Shot together = journey.Capture("cursor_one_point");
    EXPECT_EQ(together.Count(kSlopeLeft, kSlopeTop, kSlopeRight, kSlopeBottom, kWhite),
              (kSlopeRight - kSlopeLeft) * (kSlopeBottom - kSlopeTop))
        << "a slope is shown for two cursors on one point";
    EXPECT_TRUE(journey.Running());
}

// The X range of the graph's first curve set to 0 to 2.5 ms: V(2), in the same graph, is drawn
// against that scale too and ends at 0.92 V at the right edge. It once kept its old 0 to 5 ms,
// so that the graph showed it reaching 0.99 V at a scale reading 2.5 ms.
TEST(PlotReadingJourney, AnXRangeSetForOneCurveIsTheGraphs)
{
    Journey journey("characteristics_x_range");
    ASSERT_TRUE(StartExample(journey)) << journey.Output();
    const Shot before = journey.Capture();
    ASSERT_GT(before.Count(kCornerLeft, kCornerTop, kCornerRight, kCornerBottom, kV2Colour), 20)
        << "V(2) is not where it ends over 5 ms";

    OpenCharacteristics(journey, true);
    Retype(journey, kXHighX, kXHighY, "2.5m");
    journey.Capture("characteristics_x_range_format");
    const Shot after = PressOk(journey, "characteristics_x_range_after");
    EXPECT_EQ(after.Count(kCornerLeft, kCornerTop, kCornerRight, kCornerBottom, kV2Colour), 0)
        << "V(2) is still drawn over 5 ms under a 2.5 ms scale";
    EXPECT_TRUE(journey.Running());
}

// V(2) moved to graph 2 with OK: the new graph below is drawn whole, with its frame, grid and
// scales. It once showed the bare curve, as the graph had no leading curve to draw them until
// the next run.
TEST(PlotReadingJourney, ACurveMovedToANewGraphGetsItsFrameAndScales)
{
    Journey journey("characteristics_graph");
    ASSERT_TRUE(StartExample(journey)) << journey.Output();
    OpenCharacteristics(journey, false);
    journey.Click(kV2ItemX, kV2ItemY);
    journey.Click(kGraphComboX, kGraphComboY);
    journey.Settle();
    journey.Click(kGraph2X, kGraph2Y);
    journey.Settle();
    const Shot shot = PressOk(journey, "characteristics_graph_two");
    EXPECT_GT(shot.Count(kLowerLeft, kLowerTop, kLowerRight, kLowerBottom, kGridGrey), 1000)
        << "the new graph has no grid";
    EXPECT_TRUE(journey.Running());
}

// V(2) alone given a Y range of 0 to 2 V (one range per graph unchecked): it is drawn against a
// scale of its own, in its colour, beside V(1)'s 0 to 1 V. It once had none, so that its 0.99 V
// read as 0.5 V on V(1)'s scale.
TEST(PlotReadingJourney, ACurveGivenItsOwnYRangeShowsItsOwnScale)
{
    Journey journey("characteristics_y_range");
    ASSERT_TRUE(StartExample(journey)) << journey.Output();
    OpenCharacteristics(journey, true);
    journey.Click(kOneScaleX, kOneScaleY);
    journey.Click(kV2ItemX, kV2ItemY);
    journey.Settle();
    Retype(journey, kYHighX, kYHighY, "2");
    journey.Capture("characteristics_y_range_format");
    const Shot shot = PressOk(journey, "characteristics_y_range_after");
    EXPECT_GT(shot.Count(kScaleColumnLeft, kScaleColumnTop, kScaleColumnRight, kScaleColumnBottom, kV2Colour), 30)
        << "V(2) has no scale of its own";
    EXPECT_TRUE(journey.Running());
}

// Zoom Out and Zoom In on a Bode plot, whose frequency axis is logarithmic: each changes the
// plot, and one after the other give back the plot as it was. Zoom Out once did nothing on such
// an axis (its low end went below zero and was refused, the dB axis with it), and Zoom In kept
// only the top half-decade.
TEST(PlotReadingJourney, ABodePlotZoomsOutAndBackIn)
{
    Journey journey("bode_zoom");
    std::ofstream(journey.Root() / "lowpass.ckt")
        << "* Two RC sections\nVIN 1 0 AC 1\nR1 1 2 1K\nC1 2 0 100N\nR2 2 3 10K\nC2 3 0 10N\n"
           ".AC DEC 50 10 1MEG\n.PRINT AC VDB(3) VDB(2)\n.END\n";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("lowpass.ckt");
    journey.Key("Return");
    journey.Settle();
    journey.Key("alt+2");
    journey.Settle();
    journey.Key("F2");
    ASSERT_TRUE(journey.WaitUntil(
        [&] { return ReadAll(journey.Root() / "lowpass.ANO").find("AC Analysis of") != std::string::npos; }, 30))
        << journey.Output();
    journey.Settle(10);
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    const Shot before = journey.Capture("bode_zoom_before");
    journey.Key("ctrl+KP_Subtract");
    journey.Settle();
    const Shot out = journey.Capture("bode_zoom_out");
    EXPECT_FALSE(out.SameAs(before)) << "Zoom Out did nothing";
    journey.Key("ctrl+KP_Add");
    journey.Settle();
    const Shot back = journey.Capture("bode_zoom_back");
    EXPECT_TRUE(back.SameAs(before)) << "Zoom In did not take back Zoom Out";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
