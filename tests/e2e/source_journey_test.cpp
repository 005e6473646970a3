// Opening the source behind a netlist statement, as a user does it: Mode > Info and a double
// click on the statement.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// The netlist's third line, the subcircuit call, in the maximised text window.
constexpr int kCallLineX = 20, kCallLineY = 128;

// Info on a subcircuit call opens the program's library (its lines end in LF alone) with the
// subcircuit's .SUBCKT line selected: copied and pasted at the end of the netlist, the selection
// is that line. The line used to be found by counting the file's offset in the window's text,
// whose line ends are longer, so a line some way above the definition was selected.
TEST(SourceJourney, InfoOnACallSelectsTheSubcircuitLineOfTheLibrary)
{
    Journey journey("source_subcircuit");
    std::ofstream(journey.Root() / "call.ckt", std::ios::binary) << "Supply call\n"
                                                                    "V1 1 0 5\n"
                                                                    "X1 2 0 DIGIFPWR\n"
                                                                    "R1 1 2 1K\n"
                                                                    ".TRAN 1U 10U\n";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Press("ctrl+o");
    journey.Type("call.ckt");
    journey.Press("Return");
    journey.Press("alt+m i");  // Mode > Info
    journey.DoubleClick(kCallLineX, kCallLineY);
    journey.Settle();
    journey.Capture("source_subcircuit_library");
    journey.Press("ctrl+c");
    journey.Press("ctrl+F4");  // back to the netlist
    journey.Press("ctrl+End Return");
    journey.Press("ctrl+v");
    journey.Press("ctrl+s");
    const std::string saved = ReadAll(journey.Root() / "call.ckt");
    const std::size_t pasted = saved.rfind(".TRAN 1U 10U");
    ASSERT_NE(pasted, std::string::npos) << saved;
    EXPECT_NE(saved.find(".SUBCKT DIGIFPWR PWR GND", pasted), std::string::npos)
        << "the selection in the library is not the .SUBCKT line:\n" << saved;
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
