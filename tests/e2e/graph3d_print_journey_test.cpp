// A 3D window of a stepped run, turned with the keys and printed with Ctrl+P: the Print dialog's
// OK and the file question's OK leave a PDF beside the circuit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../platform/external_tool_support.h"
#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (as in the many-runs journeys).
constexpr int kMenuBarY = 28;
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kAnalysisMenuX = 287, kSubmenuItemX = 334, k3DItemY = 248, kAddItemX = 535;
constexpr int k3DOkX = 434, k3DOkY = 665;

TEST(Graph3DPrintJourney, ATurned3DWindowPrintsBesideTheCircuit)
{
    ASSERT_TRUE(win::testing::ToolInstalled("pdfinfo")) << win::testing::kPopplerMissing;
    Journey journey("threed_print");
    const std::string stepped = DrawnExampleWith(
        "* R1 stepped from 1k to 3k",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}});
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("stepped.cir"));
    journey.Settle();
    journey.Tap(kLimitsCloseX, kLimitsCloseY);
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Click(kSubmenuItemX, k3DItemY);
    journey.Settle();
    journey.Tap(kAddItemX, k3DItemY);
    journey.Tap(k3DOkX, k3DOkY);
    journey.Press("q q w");
    journey.Press("ctrl+p");
    journey.Capture("threed_print_dialog");
    journey.Press("Return");
    // The file question proposes the circuit's name; a caption such as "Graph3D:V(1) vs T"
    // made a name the question would not take.
    journey.Capture("threed_print_file");
    journey.Press("Return");
    journey.Capture("threed_print_done");
    const std::filesystem::path pdf = journey.Root() / "stepped.pdf";
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(pdf); }, 10)) << "no PDF beside the circuit";
    std::string info;
    ASSERT_EQ(win::testing::RunCommand("pdfinfo '" + pdf.string() + "'", info), 0);
    ASSERT_NE(info.find("Pages:"), std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(info.find("Pages:") + 6)), 1) << info;
    // The job is titled by the window's caption as it stands, not as the window was made.
    EXPECT_NE(info.find("Graph3D:V(1) vs T vs R1"), std::string::npos) << info;
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
