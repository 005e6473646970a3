// The "Path" dialog of a drawn digital circuit, opened from Options > Show All Paths, and the
// circuit window closed under it: the dialog goes with its circuit, the menus come back, and
// the program carries on.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "../platform/external_tool_support.h"
#include "journey.h"

namespace kq5::journey {
namespace {

// A stimulus into a buffer, an inverter and an AND gate.
std::string PathCircuit()
{
    auto attr = [](const std::string& name, const std::string& value) {
        return "[Attr]\r\nONV=0,0," + name + "," + value + "\r\n\r\n";
    };
    auto part = [&](const std::string& name, int x, int y, const std::string& ref, const std::string& extra) {
        return "[Comp]\r\nName=" + name + "\r\nGrid=" + std::to_string(x) + "," + std::to_string(y) + "\r\n\r\n" +
               attr("PART", ref) + extra;
    };
    auto wire = [](int x1, int y1, int x2, int y2) {
        return "[Wire]\r\nGrids=" + std::to_string(x1) + "," + std::to_string(y1) + "," + std::to_string(x2) + "," +
               std::to_string(y2) + "\r\n\r\n";
    };
    const std::string gate = attr("TIMING MODEL", "D0_GATE") + attr("I/O MODEL", "IO_STD");
    return "[Main]\r\nFileType=CIR\r\nVersion=5.20\r\nProgram=Kestrion V\r\n\r\n" +
           part("Stim1", 10, 10, "S1", attr("COMMAND", "0NS 0 10NS 1") + attr("FORMAT", "1") + attr("I/O MODEL", "IO_STD")) +
           part("Buffer", 15, 10, "U1", gate) + part("Inverter", 20, 10, "U2", gate) +
           part("2 Input AND", 25, 11, "U3", gate) + wire(20, 10, 20, 14) + wire(20, 14, 23, 14) + wire(23, 14, 23, 12) +
           wire(23, 12, 25, 12) + wire(31, 11, 34, 11) +
           "[Limits]\r\nAnalysis=Transient\r\nTRange=100n\r\nNPts=51\r\nTemp=27\r\n\r\n";
}

// Places on the program's screen, read from its captures: the Options menu and its "Show All
// Paths" key, the circuit window's close box, the dialog's title bar and its first path entry,
// and the menu bar's "File".
constexpr int kOptionsMenuX = 204, kMenuBarY = 28;
constexpr int kCircuitCloseX = 934, kCircuitCloseY = 95;
constexpr int kTitleLeft = 10, kTitleTop = 45, kTitleRight = 400, kTitleBottom = 56;
constexpr int kFirstPathX = 100, kFirstPathY = 88;
constexpr int kFileLeft = 5, kFileTop = 20, kFileRight = 25, kFileBottom = 36;
constexpr std::uint32_t kActiveTitle = 0x000080, kMenuText = 0x000000;
// The dialog's Print button.
constexpr int kPrintX = 213, kPrintY = 318;

// The circuit and its library in a journey's folder, the program started on it and the Path
// dialog opened from Options > Show All Paths.
void OpenPathDialog(Journey& journey)
{
    std::ofstream(journey.Root() / "paths.cir", std::ios::binary) << PathCircuit();
    std::ofstream(journey.Root() / "NOM.LIB") << ".MODEL D0_GATE UGATE (TPLHTY=5N TPHLTY=7N)\n"
                                                 ".MODEL IO_STD UIO (DRVH=50 DRVL=50)\n";
    ASSERT_TRUE(journey.Start({"paths.cir"}));
    journey.Settle();
    journey.Click(kOptionsMenuX, kMenuBarY);
    journey.Settle();
    journey.Key("s");
    journey.Settle();
}

TEST(PathWindowJourney, ClosingTheCircuitTakesThePathDialogWithIt)
{
    Journey journey("path_window");
    ASSERT_NO_FATAL_FAILURE(OpenPathDialog(journey));
    const Shot open = journey.Capture("path_window_open");
    // The dialog is up, its title bar active, and the frame's menus are grayed under it.
    ASSERT_GT(open.Count(kTitleLeft, kTitleTop, kTitleRight, kTitleBottom, kActiveTitle), 2000);
    EXPECT_EQ(open.Count(kFileLeft, kFileTop, kFileRight, kFileBottom, kMenuText), 0);

    // The circuit is closed from its own close box while the dialog still lists its paths.
    journey.Click(kCircuitCloseX, kCircuitCloseY);
    journey.Settle();
    const Shot closed = journey.Capture("path_window_closed");
    EXPECT_LT(closed.Count(kTitleLeft, kTitleTop, kTitleRight, kTitleBottom, kActiveTitle), 1000);
    EXPECT_GT(closed.Count(kFileLeft, kFileTop, kFileRight, kFileBottom, kMenuText), 20);
    // Where the first path was listed: choosing it lit the parts of the circuit just closed.
    journey.Click(kFirstPathX, kFirstPathY);
    journey.Settle();
    EXPECT_TRUE(journey.Running()) << journey.Output();
}

// Print, and OK to the file question: the listing on a sheet headed with its page and the
// circuit, beside the circuit.
TEST(PathWindowJourney, PrintPutsTheListingBesideTheCircuit)
{
    ASSERT_TRUE(win::testing::ToolInstalled("pdftotext")) << win::testing::kPopplerMissing;
    Journey journey("path_window_print");
    ASSERT_NO_FATAL_FAILURE(OpenPathDialog(journey));
    journey.Tap(kPrintX, kPrintY);
    journey.Capture("path_window_print_file");
    journey.Press("Return");
    const std::filesystem::path pdf = journey.Root() / "paths.pdf";
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(pdf); }, 10)) << "no PDF beside the circuit";
    std::string text;
    ASSERT_EQ(win::testing::RunCommand("pdftotext -layout '" + pdf.string() + "' -", text), 0);
    EXPECT_NE(text.find("Page 1"), std::string::npos) << text;
    EXPECT_NE(text.find("S1 U1 U2 U3"), std::string::npos) << text;
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
