// A new user's first circuit: a step source, a resistor, a capacitor and grounds, drawn from the
// Component menu and the tool bar's component buttons, wired, given values in the attribute
// dialog and run; the capacitor charges as 1 - exp(-t/RC).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kGroundButtonX = 558, kResistorButtonX = 582, kCapacitorButtonX = 605, kButtonY = 48;
// The attribute dialog as it opens in a fresh settings folder.
constexpr int kAttributeOkX = 720, kAttributeOkY = 375;
constexpr int kValueLineX = 420, kValueLineY = 462;    // "VALUE=" in the attribute list
constexpr int kValueBoxX = 500, kValueBoxY = 399;      // the value combo box
constexpr int kStepModelX = 785, kStepModelY = 410;    // "STEP", second of the Pulse models
// The drawing, on the 8-pixel grid: the source's + pin, the resistor from x 264 to 312, the
// capacitor from 336 to 368 with a ground on its far pin, a ground under the source.
constexpr int kSourceX = 200, kTopY = 300, kSourceBottomY = 348;
constexpr int kResistorX = 264, kResistorEndX = 312, kCapacitorX = 336, kCapacitorEndX = 368;
// The Limits dialog: its close box and the numeric-output button of the second curve (V(2)).
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kSecondRowOutputX = 65, kSecondRowOutputY = 294;
// The plot of the maximised analysis window: its frame and the cursor readout's Left column.
constexpr int kPlotLeft = 35, kPlotTop = 102, kPlotRight = 1257, kPlotBottom = 893;
constexpr int kReadoutLeft = 470, kReadoutTop = 880, kReadoutRight = 560, kReadoutBottom = 945;

constexpr double kRc = 1e-3;  // 1k times 1u

// The V(2) value the numeric output lists at a time (in ms); NaN when the line is not there.
double ListedValue(const std::string& output, double ms)
{
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        double t = 0, v = 0;
        if (words >> t >> v && std::fabs(t - ms) < 1e-9) return v;
    }
    return std::nan("");
}

// A resistor from the tool bar at a point, its attribute dialog closed with OK.
void PlaceResistor(Journey& journey, int x, int y)
{
    journey.Click(kResistorButtonX, kButtonY);
    journey.Click(x, y);
    journey.Settle();
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
}

class DrawJourney : public ::testing::Test {
protected:
    Journey journey_{"draw"};

    void Place(int x, int y)
    {
        journey_.Click(x, y);
        journey_.Settle();
    }
    // Gives the selected part its VALUE in the attribute dialog and closes it with OK.
    void SetValue(const std::string& value)
    {
        journey_.Click(kValueLineX, kValueLineY);
        journey_.Click(kValueBoxX, kValueBoxY);
        journey_.Type(value);
        journey_.Click(kAttributeOkX, kAttributeOkY);
        journey_.Settle();
    }
    void Wire(int x0, int y0, int x1, int y1)
    {
        journey_.Drag(x0, y0, x1, y1);
        journey_.Settle();
    }
};

TEST_F(DrawJourney, AStepThroughAnRcChargesTheCapacitorAsTheFormulaSays)
{
    ASSERT_TRUE(journey_.Start()) << journey_.Output();

    // The Pulse Source from the Component menu: Analog > Sources > Pulse Source. Its model comes
    // from the list the attribute dialog offers.
    journey_.Key("alt+c");
    journey_.Key("Down Down Right");
    journey_.Key("Down Down Right");
    journey_.Key("Down Return");
    Place(kSourceX, kTopY);
    journey_.Click(kStepModelX, kStepModelY);
    journey_.Click(kAttributeOkX, kAttributeOkY);
    journey_.Settle();

    // Resistor, capacitor and grounds from the tool bar's component buttons.
    journey_.Click(kResistorButtonX, kButtonY);
    Place(kResistorX, kTopY);
    SetValue("1K");
    journey_.Click(kCapacitorButtonX, kButtonY);
    Place(kCapacitorX, kTopY);
    SetValue("1U");
    journey_.Click(kGroundButtonX, kButtonY);
    Place(kCapacitorEndX, kTopY);
    Place(kSourceX, kSourceBottomY);
    journey_.Capture("draw_parts");

    // Wire mode from the Mode menu, then the two wires.
    journey_.Key("alt+m");
    journey_.Key("w");
    journey_.Key("Return");
    Wire(kSourceX, kTopY, kResistorX, kTopY);
    Wire(kResistorEndX, kTopY, kCapacitorX, kTopY);
    journey_.Capture("draw_circuit");

    // Analysis > Transient Analysis: 5 ms, V(2) into the numeric output, Run.
    journey_.Key("alt+a");
    journey_.Key("t");
    journey_.Settle();
    journey_.Type("5m");
    journey_.Click(kSecondRowOutputX, kSecondRowOutputY);
    journey_.Key("F2");
    const std::filesystem::path output = journey_.Root() / "circuit1.TNO";
    ASSERT_TRUE(journey_.WaitUntil([&] { return !std::isnan(ListedValue(ReadAll(output), 5.0)); }, 30))
        << "no numeric output of the run\n" << journey_.Output();
    journey_.Settle();
    const std::string listed = ReadAll(output);
    EXPECT_EQ(listed.find("Missing model"), std::string::npos) << listed;
    for (double ms : {0.5, 1.0, 2.0, 4.0})
        EXPECT_NEAR(ListedValue(listed, ms), 1 - std::exp(-ms * 1e-3 / kRc), 0.002) << "at " << ms << " ms";

    // The plot: the curve of V(2) crosses the time RC at 1 - 1/e of the way up (the curve is
    // dashed: some column near it shows it).
    journey_.Click(kLimitsCloseX, kLimitsCloseY);
    journey_.Settle();
    const Shot plot = journey_.Capture("draw_plot");
    const auto columnOf = [](double t) { return kPlotLeft + static_cast<int>(std::lround((kPlotRight - kPlotLeft) * t / 5e-3)); };
    const auto rowOf = [](double v) { return kPlotBottom - static_cast<int>(std::lround((kPlotBottom - kPlotTop) * v)); };
    const int x = columnOf(kRc);
    const std::uint32_t background = plot.At(x, kPlotTop + 5), grid = plot.At(kPlotRight, kPlotTop + 5);
    bool found = false;
    for (int column = x - 6; column <= x + 6 && !found; ++column) {
        const double t = 5e-3 * (column - kPlotLeft) / (kPlotRight - kPlotLeft);
        const int expected = rowOf(1 - std::exp(-t / kRc));
        for (int y = expected - 3; y <= expected + 3 && !found; ++y)
            found = plot.At(column, y) != background && plot.At(column, y) != grid;
    }
    EXPECT_TRUE(found) << "no curve within 3 pixels of 1 - exp(-t/RC) near x " << x;

    // Cursor mode (F8) and a click at t = RC move the left cursor there: its readout changes.
    journey_.Key("F8");
    journey_.Settle();
    const Shot before = journey_.Capture();
    journey_.Click(x, (kPlotTop + kPlotBottom) / 2);
    journey_.Settle();
    const Shot cursor = journey_.Capture("draw_cursor");
    EXPECT_FALSE(cursor.SameAs(before, kReadoutLeft, kReadoutTop, kReadoutRight, kReadoutBottom))
        << "the left cursor's readout did not move";
    EXPECT_TRUE(journey_.Running());
}

// Node numbers on a drawing whose junction is made of wires alone: a wire from the resistor's right
// pin and a second wire ending on its middle meet at a point that no pin touches.
class NodeNumberJourney : public ::testing::Test {
protected:
    Journey journey_{"node_numbers"};
};

TEST_F(NodeNumberJourney, AJunctionOfWiresShowsItsNodeNumber)
{
    // The View menu's Node Numbers item, and the junction with the space where its label goes (up
    // and to the right of the point).
    constexpr int kViewMenuX = 309, kMenuBarY = 28, kNodeNumbersX = 350, kNodeNumbersY = 107;
    constexpr int kWireEndX = 400, kJunctionX = 360, kBranchEndY = 380;
    ASSERT_TRUE(journey_.Start()) << journey_.Output();

    PlaceResistor(journey_, kResistorX, kTopY);
    journey_.Key("alt+m");
    journey_.Key("w");
    journey_.Key("Return");
    journey_.Drag(kResistorEndX, kTopY, kWireEndX, kTopY);
    journey_.Settle();
    journey_.Drag(kJunctionX, kBranchEndY, kJunctionX, kTopY);
    journey_.Settle();
    const Shot before = journey_.Capture("node_numbers_off");

    journey_.Click(kViewMenuX, kMenuBarY);
    journey_.Click(kNodeNumbersX, kNodeNumbersY);
    journey_.Settle();
    const Shot after = journey_.Capture("node_numbers_on");
    EXPECT_FALSE(after.SameAs(before, kJunctionX + 2, kTopY - 24, kJunctionX + 28, kTopY - 2))
        << "no node number beside the junction of the wires";
    EXPECT_TRUE(journey_.Running());
}

// A part placed and its attribute dialog cancelled is taken away again, from the drawing too.
TEST(CancelledPlacementJourney, APartWhoseDialogIsCancelledLeavesNothingOnTheScreen)
{
    constexpr int kSpotX = 400, kSpotY = 300;
    Journey journey("cancelled_part");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    const Shot empty = journey.Capture();
    journey.Click(kResistorButtonX, kButtonY);
    journey.Click(kSpotX, kSpotY);
    journey.Settle();
    EXPECT_FALSE(journey.Capture().SameAs(empty, kSpotX - 40, kSpotY - 20, kSpotX + 80, kSpotY + 20)) << "no part placed";
    journey.Key("Escape");
    journey.Settle();
    const Shot after = journey.Capture("cancelled_part");
    EXPECT_TRUE(after.SameAs(empty, kSpotX - 40, kSpotY - 20, kSpotX + 80, kSpotY + 20))
        << "the cancelled part is still drawn";
    EXPECT_TRUE(journey.Running());
}

// A select box standing when a new part is placed and its dialog cancelled goes with the
// selection: none of it stays on the screen, inside or outside where the dialog was.
TEST(CancelledPlacementJourney, ACancelledPartTakesTheSelectBoxAwayWithIt)
{
    constexpr int kPartX = 104, kPartY = 704, kBoxLeft = 80, kBoxTop = 680, kBoxRight = 176, kBoxBottom = 728;
    constexpr int kNewX = 600, kNewY = 704;
    Journey journey("cancelled_part_box");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    PlaceResistor(journey, kPartX, kPartY);
    // Select mode, and a click on empty paper takes the new part's own selection away.
    journey.Key("ctrl+e");
    journey.Click(kNewX, kNewY - 200);
    journey.Settle();
    const Shot unselected = journey.Capture();

    journey.Drag(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom);
    journey.Settle();
    const Shot boxed = journey.Capture("cancelled_part_box_before");
    ASSERT_FALSE(boxed.SameAs(unselected, kBoxLeft - 4, kBoxTop - 4, kBoxRight + 4, kBoxBottom + 4)) << "no select box drawn";

    journey.Click(kResistorButtonX, kButtonY);
    journey.Click(kNewX, kNewY);
    journey.Settle();
    journey.Key("Escape");
    journey.Settle();
    const Shot after = journey.Capture("cancelled_part_box");
    EXPECT_TRUE(after.SameAs(unselected, kBoxLeft - 4, kBoxTop - 4, kBoxRight + 4, kBoxBottom + 4))
        << "part of the select box is still drawn";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
