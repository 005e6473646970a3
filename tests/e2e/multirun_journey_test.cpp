// The windows a user makes of many runs: a histogram after a Monte Carlo run, a performance
// window and a 3D window after a stepped run. What is checked is what the user gets: the saved
// file and the screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "../platform/external_tool_support.h"
#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kMenuBarY = 28;
// An analysis window: the Limits dialog's close box, and its menus.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kMonteCarloMenuX = 491, kAddHistogramY = 49, kAddHistogramX = 518;
// The Add Monte Carlo Function dialog: the Expression list, the first argument's edit and OK.
// A dropped Expression list shows its second curve this far below the list.
constexpr int kSecondCurveBelow = 31;
constexpr int kExpressionX = 611, kExpressionY = 485;
constexpr int kFirstArgumentX = 470, kArgumentY = 560;
constexpr int kFunctionOkX = 809, kFunctionOkY = 410;
// A histogram or performance window, maximised: its chart; the frame of the histogram's
// statistics under its list.
constexpr int kChartLeft = 220, kChartTop = 110, kChartRight = 1245, kChartBottom = 915;
// Under a maximised performance window's chart, right of the names: where its cursors' X
// readouts stand, in the colour of the scales.
constexpr int kReadoutLeft = 400, kReadoutTop = 930, kReadoutBottom = 950;
constexpr std::uint32_t kScaleTextColour = 0x0000FF;
// The Right, Delta and Slope cells of the measured curve's row of readouts.
constexpr int kRightCellsLeft = 640, kValueRowTop = 914, kValueRowBottom = 929;
// The Change Performance Window item under Add; the title bar of the dialog in front, which
// for the Change Performance Plot dialog (taller than the analysis window's Plot
// Characteristics) stands this high.
constexpr int kChangeItemY = 248;
constexpr std::uint32_t kDialogTitleColour = 0x000080;
constexpr int kPerformanceDialogTitleTop = 285;
constexpr int kPanelLeft = 5, kPanelTop = 800, kPanelRight = 164, kPanelBottom = 946;
// The colour of the plot's first curve, which a new histogram's bars and a new performance plot take.
constexpr std::uint32_t kFirstCurveColour = 0x5A91AB;
// The Analysis menu's submenus of many-run windows, each with its Add item first.
constexpr int kAnalysisMenuX = 287, kSubmenuItemX = 334, kPerformanceItemY = 229, k3DItemY = 248, kAddItemX = 535;
// The Add Performance Plot dialog: its Expression list, its N edit and OK.
constexpr int kPerformanceExpressionX = 555, kPerformanceExpressionY = 524;
constexpr int kPerformanceFirstArgumentX = 792, kPerformanceArgumentY = 497;
constexpr int kPerformanceOkX = 430, kPerformanceOkY = 660;
constexpr int k3DOkX = 434, k3DOkY = 665;
// The Add 3D Plot dialog's Performance button; the middle of a maximised 3D window and the
// colour of its texts.
constexpr int k3DPerformanceX = 408, k3DPerformanceY = 363;
constexpr int k3DMiddleX = 632, k3DMiddleY = 518;
constexpr std::uint32_t kTitleColour = 0x0000FF;

// Whether the word stands exactly once in the text.
bool Once(const std::string& text, const std::string& word)
{
    const std::size_t at = text.find(word);
    return at != std::string::npos && text.rfind(word) == at;
}

// The drawn example with R1 stepped from 1k to 3k: three runs.
std::string SteppedExample()
{
    return DrawnExampleWith(
        "* R1 stepped from 1k to 3k",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}});
}

// Opens a circuit by File > Open, runs its transient analysis and closes the Limits dialog.
void OpenAndRun(Journey& journey, const std::string& name)
{
    journey.OpenAndRunTransient(name);
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
}

// In a function dialog whose function is Rise_Time: V(2), the second curve of the Expression
// list (its entries drop below it), and the levels 0.1 V and 0.9 V typed after N with Tab.
void MeasureRiseOfV2(Journey& journey, int expressionX, int expressionY, int firstArgumentX, int firstArgumentY)
{
    journey.Click(expressionX, expressionY);
    journey.Settle();
    journey.Click(expressionX - 30, expressionY + kSecondCurveBelow);
    journey.Settle();
    journey.Click(firstArgumentX, firstArgumentY);
    journey.Key("Tab");
    journey.Type("0.1");
    journey.Key("Tab");
    journey.Type("0.9");
}

// Captures a dialog as it stands, presses its OK and captures what it leaves on the screen.
Shot Confirm(Journey& journey, const std::string& dialogPng, int okX, int okY, const std::string& windowPng)
{
    journey.Settle();
    journey.Capture(dialogPng);
    journey.Click(okX, okY);
    journey.Settle();
    return journey.Capture(windowPng);
}

// Opens the Analysis menu's submenu at that row: its Add item is lit when its text is drawn in
// black (grey when not).
bool AddItemLit(Journey& journey, int itemY, const std::string& pngName)
{
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Click(kSubmenuItemX, itemY);
    journey.Settle();
    return journey.Capture(pngName).Count(kAddItemX - 70, itemY - 7, kAddItemX + 50, itemY + 7, 0x000000) > 20;
}

TEST(MultiRunJourney, AHistogramAfterMonteCarloAndAPerformanceWindowAfterStepping)
{
    Journey journey("multirun");
    const std::string monteCarlo = MonteCarloExample("20");
    const std::string stepped = SteppedExample();
    ASSERT_FALSE(monteCarlo.empty());
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "mc.cir", std::ios::binary) << monteCarlo;
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();

    // Twenty Monte Carlo runs: Add Histogram is lit in the Monte Carlo menu and makes a window.
    OpenAndRun(journey, "mc.cir");
    const Shot plot = journey.Capture("multirun_monte_carlo");
    journey.Click(kMonteCarloMenuX, kMenuBarY);
    journey.Settle();
    const Shot menu = journey.Capture("multirun_monte_carlo_menu");
    // The item's text is drawn in black when it is enabled, in grey when not.
    EXPECT_GT(menu.Count(kAddHistogramX - 50, kAddHistogramY - 7, kAddHistogramX + 40, kAddHistogramY + 7, 0x000000), 20)
        << "Add Histogram is grey after a Monte Carlo run";
    journey.Click(kAddHistogramX, kAddHistogramY);
    journey.Settle();
    journey.Capture("multirun_histogram_new");

    // What a user measures here: the rise time of the capacitor's voltage V(2), from 10 % to 90 %
    // of the 1 V step (Rise_Time's Low and High are levels), which R1's tolerance spreads
    // around 2.2 ms. The curve is picked from the Expression list, the levels typed after Tab.
    MeasureRiseOfV2(journey, kExpressionX, kExpressionY, kFirstArgumentX, kArgumentY);
    const Shot histogram = Confirm(journey, "multirun_histogram_dialog", kFunctionOkX, kFunctionOkY, "multirun_histogram");
    EXPECT_FALSE(histogram.SameAs(plot, 0, 90, 1200, 900)) << "no histogram window";
    EXPECT_GT(histogram.Count(kChartLeft, kChartTop, kChartRight, kChartBottom, kFirstCurveColour), 50000)
        << "the histogram shows no bars of the twenty rise times";
    // The statistics panel holds its texts, edits and frame, and nothing of the plot beneath.
    int own = 0;
    for (std::uint32_t colour : {0xFFFFFFu, 0x0000FFu, 0x000000u, 0x808080u})
        own += histogram.Count(kPanelLeft, kPanelTop, kPanelRight, kPanelBottom, colour);
    EXPECT_EQ(own, (kPanelRight - kPanelLeft) * (kPanelBottom - kPanelTop)) << "stray pixels on the statistics panel";
    journey.Key("F3");
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_TRUE(Once(ReadAll(journey.Root() / "mc.cir"), "[Monte Carlo]"));

    // Three stepped runs: Add Performance Window is lit and makes a window of the same measure.
    OpenAndRun(journey, "stepped.cir");
    EXPECT_TRUE(AddItemLit(journey, kPerformanceItemY, "multirun_performance_menu")) << "Add Performance Window is grey after a stepped run";
    journey.Click(kAddItemX, kPerformanceItemY);
    journey.Settle();
    MeasureRiseOfV2(journey, kPerformanceExpressionX, kPerformanceExpressionY, kPerformanceFirstArgumentX, kPerformanceArgumentY);
    // The rise time grows with R1: 2.2 ms at 1k, 4.4 ms at 2k; at 3k V(2) stays below 0.9 V in
    // the 5 ms of the run, so that run has no value.
    const Shot performance =
        Confirm(journey, "multirun_performance_dialog", kPerformanceOkX, kPerformanceOkY, "multirun_performance");
    EXPECT_GT(performance.Count(kChartLeft, kChartTop, kChartRight, kChartBottom, kFirstCurveColour), 300)
        << "the performance window plots no rise times";
    // Ctrl+Right pans its chart, F6 (Auto Scale) puts its scales back, not the analysis
    // window's behind it.
    journey.Key("ctrl+Right");
    journey.Settle();
    EXPECT_FALSE(journey.Capture().SameAs(performance, kChartLeft, kChartTop, kChartRight, kChartBottom));
    journey.Key("F6");
    journey.Settle();
    EXPECT_TRUE(journey.Capture("multirun_performance_auto_scaled")
                    .SameAs(performance, kChartLeft, kChartTop, kChartRight, kChartBottom))
        << "F6 does not scale the performance window in front";
    // F8 with the performance window in front puts that window into Cursor mode: the cursors'
    // table of rise times and R1 values stands under its chart, right of the curve's name.
    EXPECT_LT(performance.Count(kReadoutLeft, kReadoutTop, kChartRight, kReadoutBottom, kScaleTextColour), 20);
    journey.Key("F8");
    journey.Settle();
    EXPECT_GT(journey.Capture("multirun_performance_cursors")
                  .Count(kReadoutLeft, kReadoutTop, kChartRight, kReadoutBottom, kScaleTextColour),
              60)
        << "no cursor readouts in the performance window";
    // The right cursor stands on 3k, the run without a rise time: its readouts show no number
    // there, nor a delta or a slope made from it.
    const Shot cursors = journey.Capture();
    const int cells = (kChartRight - kRightCellsLeft) * (kValueRowBottom - kValueRowTop);
    EXPECT_EQ(cursors.Count(kRightCellsLeft, kValueRowTop, kChartRight, kValueRowBottom, 0xFFFFFF), cells)
        << "the readouts print a value for the run without one";
    // F10 opens its own dialog, not the analysis window's, and its Change command is lit.
    journey.Key("F10");
    journey.Settle();
    EXPECT_GT(journey.Capture("multirun_performance_change")
                  .Count(0, kPerformanceDialogTitleTop, 1264, kPerformanceDialogTitleTop + 25, kDialogTitleColour),
              1000)
        << "F10 opens no Change Performance Plot dialog";
    journey.Key("Escape");
    journey.Settle();
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Click(kSubmenuItemX, kPerformanceItemY);
    journey.Settle();
    EXPECT_GT(journey.Capture("multirun_performance_change_menu")
                  .Count(kAddItemX - 70, kChangeItemY - 7, kAddItemX + 50, kChangeItemY + 7, 0x000000),
              20)
        << "Change Performance Window is grey with a performance window in front";
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Settle();
    journey.Key("F3");
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_TRUE(Once(ReadAll(journey.Root() / "stepped.cir"), "[Performance]"));
    EXPECT_TRUE(journey.Running());
}

TEST(MultiRunJourney, A3DWindowAfterStepping)
{
    Journey journey("threed");
    const std::string stepped = SteppedExample();
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();

    // Three stepped runs: Add 3D Window is lit in the 3D Windows submenu; its dialog's OK leaves a
    // 3D window of V(1) against T and R1, its surface drawn in red and green.
    OpenAndRun(journey, "stepped.cir");
    const Shot plot = journey.Capture("threed_plot");
    EXPECT_TRUE(AddItemLit(journey, k3DItemY, "threed_menu")) << "Add 3D Window is grey after a stepped run";
    journey.Click(kAddItemX, k3DItemY);
    const Shot window = Confirm(journey, "threed_dialog", k3DOkX, k3DOkY, "threed_window");
    EXPECT_FALSE(window.SameAs(plot, 0, 90, 1200, 900)) << "no 3D window";
    EXPECT_GT(window.Count(0, 90, 1264, 940, 0xFF0000), 20000) << "no surface in the 3D window";
    EXPECT_EQ(window.Count(0, 90, 1264, 940, 0x000080), 0) << "the Add 3D Plot dialog is still open";
    EXPECT_TRUE(journey.Running());
}

// A 3D window turned with the keys and printed with Ctrl+P: the Print dialog's OK and the file
// question's OK leave a PDF beside the circuit. The question used to propose a name made from
// the window's caption ("Graph3D:V(1) vs T vs R1"), which it would not take.
TEST(MultiRunJourney, ATurned3DWindowPrintsBesideTheCircuit)
{
    ASSERT_TRUE(win::testing::ToolInstalled("pdfinfo")) << win::testing::kPopplerMissing;
    Journey journey("threed_print");
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << SteppedExample();
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenAndRun(journey, "stepped.cir");
    ASSERT_TRUE(AddItemLit(journey, k3DItemY, "threed_print_menu"));
    journey.Tap(kAddItemX, k3DItemY);
    journey.Tap(k3DOkX, k3DOkY);
    journey.Press("q q w");
    journey.Press("ctrl+p");
    journey.Capture("threed_print_dialog");
    journey.Press("Return");
    journey.Capture("threed_print_file");
    journey.Press("Return");
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

TEST(MultiRunJourney, A3DPerformanceSurfaceThatMeasuredNothingSaysSo)
{
    Journey journey("threed_nothing");
    // R1 and C1 stepped: six runs, a surface over two stepped quantities.
    const std::string stepped = DrawnExampleWith(
        "* R1 and C1 stepped",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=2K\r\nValue=1K\r\n"},
         {"Index=2\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=2\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=C1\r\nFrom=1U\r\nTo=3U\r\nValue=1U\r\n"}});
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "stepped2.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenAndRun(journey, "stepped2.cir");

    // Add 3D Window, Y Axis Type Performance: Rise_Time of V(1) from 1 V to 2 V, which the 1 V
    // step never reaches in any run.
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Click(kSubmenuItemX, k3DItemY);
    journey.Settle();
    journey.Click(kAddItemX, k3DItemY);
    journey.Settle();
    journey.Click(k3DPerformanceX, k3DPerformanceY);
    const Shot window = Confirm(journey, "threed_nothing_dialog", k3DOkX, k3DOkY, "threed_nothing");
    // No surface of zeros: the window says No data. in the middle, in the colour of its title.
    EXPECT_GT(window.Count(k3DMiddleX - 60, k3DMiddleY - 12, k3DMiddleX + 60, k3DMiddleY + 12, kTitleColour), 20)
        << "no word that nothing was measured";
    EXPECT_EQ(window.Count(0, 110, 1264, 940, 0xFFFFFF) + window.Count(0, 110, 1264, 940, kTitleColour), 1264 * 830)
        << "something is drawn besides the message";
    EXPECT_TRUE(journey.Running());
}

// A resistance stepped through 0 is refused as a single run's is: a message box, not three
// runs with a short in the first.
TEST(MultiRunJourney, AResistanceSteppedThroughZeroIsRefused)
{
    Journey journey("stepped_zero");
    const std::string stepped = DrawnExampleWith(
        "* R1 stepped from 0",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=0\r\nTo=2K\r\nValue=1K\r\n"}});
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "zero.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.OpenAndRunTransient("zero.cir", 3);
    journey.Settle();
    const Shot box = journey.Capture("stepped_zero_box");
    EXPECT_GT(box.Count(300, 300, 960, 560, 0x000080), 1000) << "no message box";
    journey.Key("Return");
    journey.Settle();
    journey.Capture("stepped_zero_after");
    EXPECT_EQ(ReadAll(journey.Root() / "zero.TNO").find("Case= 2"), std::string::npos) << "the stepped cases ran";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
