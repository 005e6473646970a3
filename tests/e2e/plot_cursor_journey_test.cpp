// Reading values off a plot with the cursors, as an engineer measuring a result does: a cursor
// sent to a level, the cursors of two graphs aligned.
#include <gtest/gtest.h>

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
TEST(PlotCursorJourney, AligningKeepsACursorSentToALevel)
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

}  // namespace
}  // namespace kq5::journey
