// Results drawn on the schematic: after a run the user turns on View > Node Voltages / States and
// reads the values the run ended with beside the nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kCircuits = std::filesystem::path(KQ5_SOURCE_DIR) / "tests" / "circuits";

// Places on the program's screen, read from its captures (the frame and the circuit maximised).
constexpr int kViewMenuX = 301, kMenuBarY = 28, kNodeVoltagesX = 370, kNodeVoltagesY = 128;
// Around the positive pin of the VCC battery, where its node's value box is drawn.
constexpr int kVccLeft = 440, kVccTop = 120, kVccRight = 560, kVccBottom = 185;
constexpr std::uint32_t kBoxColour = 0xFF00FF;
// A box around one digit is 13 pixels wide, around "15" 21.
constexpr int kTwoDigitBox = 18;

// Around the value box of the second op-amp's inverting input (about 1e-47 V, 59 pixels wide),
// which the box of the supply node just above and to its right, drawn later, used to cover.
constexpr int kInputLeft = 235, kInputTop = 355, kInputRight = 310, kInputBottom = 392;
constexpr int kInputBoxWidth = 50;

// Just after the name DOUT of inverter_pulse.cir, where its state box is drawn.
constexpr int kDoutLeft = 186, kDoutTop = 120, kDoutRight = 216, kDoutBottom = 150;
constexpr std::uint32_t kTextColour = 0x000000;

// The longest row of box colour in the region: the width of the widest value box there.
int WidestBox(const Shot& shot, int x0, int y0, int x1, int y1)
{
    int widest = 0;
    for (int y = y0; y < y1; ++y) {
        int run = 0;
        for (int x = x0; x < x1; ++x) {
            run = shot.At(x, y) == kBoxColour ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    }
    return widest;
}

// How many rows of the region hold a run of box colour at least that long: the edges of the
// boxes at least that wide that nothing covers.
int RowsWithBoxEdge(const Shot& shot, int x0, int y0, int x1, int y1, int length)
{
    int rows = 0;
    for (int y = y0; y < y1; ++y) {
        int run = 0, longest = 0;
        for (int x = x0; x < x1; ++x) {
            run = shot.At(x, y) == kBoxColour ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        rows += longest >= length ? 1 : 0;
    }
    return rows;
}

// Whether the letter drawn in the region is a "1": one vertical stroke, the rows between its top
// (the serif) and its foot (the base) one pixel each in one column. A "Z" runs diagonally, a "0"
// or an "X" has two pixels to a row.
bool ShowsOne(const Shot& shot, int x0, int y0, int x1, int y1)
{
    std::vector<std::vector<int>> rows;
    for (int y = y0; y < y1; ++y) {
        std::vector<int> columns;
        for (int x = x0; x < x1; ++x)
            if (shot.At(x, y) == kTextColour) columns.push_back(x);
        if (!columns.empty()) rows.push_back(columns);
    }
    if (rows.size() < 5) return false;
    std::set<int> stroke;
    for (std::size_t i = 2; i + 1 < rows.size(); ++i) {
        if (rows[i].size() != 1) return false;
        stroke.insert(rows[i][0]);
    }
    return stroke.size() == 1;
}

// A circuit of tests/circuits opened and run (transient), then back on its schematic with View >
// Node Voltages / States turned on; the screen as it then shows (also as journey_<name>.png).
bool ShowValuesAfterRun(Journey& journey, const std::string& circuit, const std::string& name, Shot& shown)
{
    std::filesystem::copy_file(kCircuits / circuit, journey.Root() / circuit);
    if (!journey.Start() || !journey.OpenAndRunTransient(circuit)) return false;
    journey.Settle(10);
    journey.Key("F3");  // back to the schematic
    journey.Settle();
    journey.Click(kViewMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kNodeVoltagesX, kNodeVoltagesY);
    journey.Settle();
    shown = journey.Capture(name);
    return true;
}

// The op-amps are macros that the run expands and takes away again when it ends; the supply
// node keeps the 15 V it had through the run. Values of nodes a few grid points apart are both
// readable: a box does not cover one drawn before it.
TEST(NodeValuesJourney, TheValuesOfAFinishedRunShowBesideTheNodes)
{
    Journey journey("node_values");
    Shot shown;
    ASSERT_TRUE(ShowValuesAfterRun(journey, "opamp_inverting_levels.cir", "node_values", shown)) << journey.Output();
    EXPECT_GE(WidestBox(shown, kVccLeft, kVccTop, kVccRight, kVccBottom), kTwoDigitBox)
        << "the supply node does not show its 15 V";
    EXPECT_EQ(RowsWithBoxEdge(shown, kInputLeft, kInputTop, kInputRight, kInputBottom, kInputBoxWidth), 2)
        << "the value of the inverting input is covered";
    EXPECT_TRUE(journey.Running());
}

// The inverter's output ends the run high: its node shows the state 1, not one the simulator
// gave another node.
TEST(NodeValuesJourney, ADigitalNodeShowsTheStateTheRunEndedWith)
{
    Journey journey("node_states");
    Shot shown;
    ASSERT_TRUE(ShowValuesAfterRun(journey, "inverter_pulse.cir", "node_states", shown)) << journey.Output();
    EXPECT_TRUE(ShowsOne(shown, kDoutLeft, kDoutTop, kDoutRight, kDoutBottom)) << "DOUT does not show the state 1";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
