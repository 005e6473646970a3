// An expression typed as a text circuit's Y expression: written back into the netlist's .PLOT
// and .PRINT lines, it must come back as the same row when the circuit is run again.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen (the frame maximised, as it starts): the Y expression of the
// Transient Analysis Limits dialog's first row, and a message box's caption in the middle.
constexpr int kYExpressionX = 347, kYExpressionY = 274;
constexpr int kBoxLeft = 540, kBoxTop = 415, kBoxRight = 720, kBoxBottom = 429;
constexpr std::uint32_t kActiveCaption = 0x000080;

const std::string kNetlist =
    "* two RC sections\nV1 1 0 PULSE(0 1 0 1u 1u 1 2)\nR1 1 2 1K\nC1 2 0 1U\nR2 2 3 1K\nC2 3 0 1U\n"
    ".TRAN 1u 5m\n.PRINT TRAN V(2)\n.END\n";

// V(2) of the ladder at 5 ms is 0.8928 V (ngspice 39: 8.928088e-01); scaled by 1E-12 the
// table prints it in picounits, in a column as wide as its heading "V(2)*1E-12".
const std::string kRowAt5ms = "     5.000      0.893 ";

TEST(PrintExpressionJourney, AnExpressionRowSurvivesTheNetlistRoundTrip)
{
    Journey journey("print_expression");
    std::ofstream(journey.Root() / "rc.ckt") << kNetlist;
    const std::filesystem::path table = journey.Root() / "rc.TNO";
    ASSERT_TRUE(journey.Start({"rc.ckt"})) << journey.Output();
    journey.Press("alt+1");
    journey.Tap(kYExpressionX, kYExpressionY);
    journey.Key("End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace");
    journey.Type("V(2)*1E-12");
    journey.Key("F2");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(table).find(kRowAt5ms) != std::string::npos; }, 20))
        << "the first run gave no value 0.893p at 5 ms:\n" << ReadAll(table);

    // Leaving the analysis writes the limits into the netlist; the next run reads them back.
    journey.Press("F3");
    std::filesystem::remove(table);
    journey.Press("alt+1");
    journey.Key("F2");
    const bool reran = journey.WaitUntil([&] { return ReadAll(table).find(kRowAt5ms) != std::string::npos; }, 20);
    journey.Settle();
    const Shot shot = journey.Capture("print_expression_rerun");
    EXPECT_TRUE(reran) << "the rerun gave no value 0.893p at 5 ms:\n" << ReadAll(table);
    EXPECT_LT(shot.Count(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kActiveCaption), 100) << "a message box stopped the rerun";

    // The saved netlist states the expression as one item, and reading it changes nothing.
    journey.Key("Return");
    journey.Press("F3");
    journey.Press("ctrl+s");
    const std::string saved = ReadAll(journey.Root() / "rc.ckt");
    auto hasLine = [&](const std::string& line) {
        const std::size_t at = saved.find(line);
        return at != std::string::npos && at + line.size() < saved.size() &&
               (saved[at + line.size()] == '\r' || saved[at + line.size()] == '\n');
    };
    EXPECT_TRUE(hasLine(".PRINT TRAN {V(2)*1E-12}")) << saved;
    EXPECT_TRUE(hasLine(".PLOT TRAN {V(2)*1E-12}")) << saved;
    EXPECT_EQ(saved.find("*-"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kq5::journey
