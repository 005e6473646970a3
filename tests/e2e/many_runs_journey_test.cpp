// What a user reads off the windows of many runs: the automatic ranges of a stepped run hold the
// curves of every case, not only those of the first; the performance dialog's Test renames the
// plot it changed; a histogram's High stands under the end of the interval it closes; a Monte
// Carlo analysis stopped with Esc leaves its stopped run out of the histogram and statistics.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

// The Limits dialog's close box, read from the program's captures.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
// The colours of the plot's frames and of V(2)'s curves.
constexpr std::uint32_t kFrameColour = 0x808080, kSecondCurveColour = 0x145A6B;
// The columns searched for frames and curves, inside the plots and clear of their scales.
constexpr int kPlotLeft = 100, kPlotRight = 1200;
// The Monte Carlo menu and its Add Histogram item; in the Add Monte Carlo Function dialog the
// Function and Expression lists (the second curve drops this far below the list) and OK.
constexpr int kMenuBarY = 28, kMonteCarloMenuX = 491, kAddHistogramX = 518, kAddHistogramY = 49, kStatisticsY = 133;
constexpr int kFunctionX = 555, kFunctionY = 459, kExpressionX = 611, kExpressionY = 485, kSecondCurveBelow = 31;
constexpr int kFunctionOkX = 809, kFunctionOkY = 410;
// The Analysis menu's Performance Windows submenu and its Add item; in the Add Performance Plot
// dialog the Plots list, the Expression list and Test.
constexpr int kAnalysisMenuX = 287, kSubmenuItemX = 334, kPerformanceItemY = 229, kAddItemX = 535;
constexpr int kPlotsLeft = 397, kPlotsTop = 366, kPlotsRight = 586, kPlotsBottom = 455;
constexpr int kPerformanceExpressionX = 555, kPerformanceExpressionY = 524, kTestX = 598, kTestY = 660;
// The histogram's texts and bars.
constexpr std::uint32_t kTextColour = 0x0000FF, kBarColour = 0x5A91AB;

// Writes the circuit into the journey's folder, starts the program, opens the circuit by
// File > Open, runs its transient analysis and closes the Limits dialog; false when any of that
// failed.
bool StartAndRun(Journey& journey, const std::string& name, const std::string& circuit)
{
    if (circuit.empty()) return false;
    std::ofstream(journey.Root() / name, std::ios::binary) << circuit;
    if (!journey.Start() || !journey.OpenAndRunTransient(name)) return false;
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    return true;
}

// Drops the list at (x, y) and picks its second entry, V(2).
void PickSecondCurve(Journey& journey, int x, int y)
{
    journey.Click(x, y);
    journey.Settle();
    journey.Click(x - 30, y + kSecondCurveBelow);
    journey.Settle();
}

// Monte Carlo > Add Histogram: High of V(2), the second curve, picked from the dialog's lists.
void AddHistogramOfHighV2(Journey& journey, const std::string& dialogPng)
{
    journey.Click(kMonteCarloMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kAddHistogramX, kAddHistogramY);
    journey.Settle();
    PickSecondCurve(journey, kExpressionX, kExpressionY);
    journey.Click(kFunctionX, kFunctionY);
    journey.Settle();
    for (int i = 0; i < 8; ++i) journey.Key("Down");  // Rise_Time to High
    journey.Key("Return");
    journey.Settle();
    journey.Capture(dialogPng);
    journey.Click(kFunctionOkX, kFunctionOkY);
    journey.Settle();
}

// Rows of the shot whose whole width between the columns is frame: the top and the bottom line
// of each graph, top to bottom.
std::vector<int> FrameRows(const Shot& shot)
{
    std::vector<int> rows;
    for (int y = 0; y < shot.height; ++y)
        if (shot.Count(kPlotLeft, y, kPlotRight, y + 1, kFrameColour) == kPlotRight - kPlotLeft) rows.push_back(y);
    return rows;
}

// The last row of the shot that holds the colour, and the last column whose rows above `below`
// hold more than `length` pixels of it; -1 when there is none.
int LastRowWith(const Shot& shot, std::uint32_t colour)
{
    for (int y = shot.height - 1; y >= 0; --y)
        if (shot.Count(0, y, shot.width, y + 1, colour) > 0) return y;
    return -1;
}
int LastColumnWith(const Shot& shot, std::uint32_t colour, int below, int length)
{
    for (int x = shot.width - 1; x >= 0; --x)
        if (shot.Count(x, 0, x + 1, below, colour) > length) return x;
    return -1;
}

TEST(ManyRunsJourney, TheAutomaticRangeHoldsTheCurvesOfEveryCase)
{
    Journey journey("stepped_ranges");
    // The drawn RC example with V(1) moved to a graph of its own and R1 stepped over the list
    // 10k, 3k: V(2) reaches 0.39 V in the first case and 0.81 V in the second.
    const std::string circuit = DrawnExampleWith(
        "* R1 stepped down",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=List\r\nParameter Type=Component\r\nName=R1\r\nFrom=10K,3K\r\n"},
         {"Plt=1\r\nXExp=T\r\nYExp=v(1)", "Plt=2\r\nXExp=T\r\nYExp=v(1)"}});
    ASSERT_TRUE(StartAndRun(journey, "stepped.cir", circuit)) << journey.Output();
    const Shot shot = journey.Capture("stepped_ranges");

    // V(2)'s graph lies between the first two frame lines.
    const std::vector<int> frames = FrameRows(shot);
    ASSERT_GE(frames.size(), 2u) << "no graph frames on the screen";
    const int top = frames[0], bottom = frames[1];
    ASSERT_GT(bottom - top, 200) << "the first graph is too low to measure";
    int highest = -1;
    for (int y = top; y < bottom && highest < 0; ++y)
        if (shot.Count(kPlotLeft, y, kPlotRight, y + 1, kSecondCurveColour) > 0) highest = y;
    ASSERT_GE(highest, 0) << "no curve of V(2) in its graph";
    // The range takes in 0.81 V with room to spare (0 to 1 V); a range taken from the first
    // case alone (0 to 0.4 V) cuts the second curve off at the top of the graph.
    EXPECT_GT(highest - top, (bottom - top) / 10) << "V(2) runs into the top of its graph at row " << highest;
    EXPECT_TRUE(journey.Running());
}

TEST(ManyRunsJourney, TestRenamesThePlotItChangedInThePerformanceDialog)
{
    Journey journey("performance_test_button");
    const std::string circuit = DrawnExampleWith(
        "* R1 stepped from 1k to 3k",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}});
    ASSERT_TRUE(StartAndRun(journey, "stepped.cir", circuit)) << journey.Output();

    // Add Performance Window: its dialog lists the new plot, Rise_Time of V(1).
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Click(kSubmenuItemX, kPerformanceItemY);
    journey.Settle();
    journey.Click(kAddItemX, kPerformanceItemY);
    journey.Settle();
    const Shot before = journey.Capture("performance_test_before");
    // V(2), the second curve of the Expression list, then Test.
    PickSecondCurve(journey, kPerformanceExpressionX, kPerformanceExpressionY);
    journey.Click(kTestX, kTestY);
    journey.Settle();
    const Shot after = journey.Capture("performance_test_after");
    EXPECT_GT(before.Count(kPlotsLeft, kPlotsTop, kPlotsRight, kPlotsBottom, 0xFFFFFF), 1000) << "no Plots list there";
    EXPECT_FALSE(after.SameAs(before, kPlotsLeft, kPlotsTop, kPlotsRight, kPlotsBottom))
        << "the Plots list still names the plot as it was before Test";
    EXPECT_TRUE(journey.Running());
}

TEST(ManyRunsJourney, AHistogramsHighStandsWhereTheLastIntervalBelowItEnds)
{
    Journey journey("histogram_high");
    // R1 within 10 %: V(2) at the end of the 5 ms run spreads around 0.99 V.
    ASSERT_TRUE(StartAndRun(journey, "mc.cir", MonteCarloExample("30"))) << journey.Output();

    AddHistogramOfHighV2(journey, "histogram_high_dialog");
    const Shot shot = journey.Capture("histogram_high");

    // The chart: its bars stand on the bottom of its frame; the Low and High texts in the line
    // under it.
    const int bottom = LastRowWith(shot, kBarColour);
    ASSERT_GT(bottom, 0) << "no bars in the histogram";
    const int right = LastColumnWith(shot, kFrameColour, bottom, 300);
    ASSERT_GT(right, 0) << "no frame round the histogram";
    int rightmostText = -1;
    for (int x = 0; x < shot.width; ++x)
        if (shot.Count(x, bottom + 2, x + 1, bottom + 24, kTextColour) > 0) rightmostText = x;
    ASSERT_GT(rightmostText, 0) << "no Low and High under the chart";
    // Eleven bars: the last holds the values at High, so High stands a bar's width (about 90
    // pixels) in from the frame's right edge, not at the edge.
    EXPECT_LT(rightmostText, right - 15) << "High is written at the right edge of the chart, a bar away from where it lies";
    EXPECT_TRUE(journey.Running());
}

TEST(ManyRunsJourney, AMonteCarloStoppedWithEscLeavesItsStoppedRunOut)
{
    Journey journey("monte_carlo_stopped");
    std::ofstream(journey.Root() / "mc.cir", std::ios::binary) << MonteCarloExample("20000");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    // File > Open, Transient Analysis, Run; Esc in the middle of the runs: the run it falls
    // into stops part-way.
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("mc.cir");
    journey.Key("Return");
    journey.Settle();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    journey.WaitUntil([] { return false; }, 2.0);
    journey.Key("Escape");
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
    AddHistogramOfHighV2(journey, "monte_carlo_stopped_dialog");
    journey.Capture("monte_carlo_stopped");
    journey.Click(kMonteCarloMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kAddHistogramX, kStatisticsY);
    journey.Settle();

    // The statistics file: "N Runs", then one line per run counted.
    const std::string text = ReadAll(journey.Root() / "mc.TMC");
    const std::size_t runsAt = text.find(" Runs");
    ASSERT_NE(runsAt, std::string::npos) << "no statistics file";
    const std::size_t numberAt = text.find_last_not_of("0123456789", runsAt - 1) + 1;
    const int runs = std::stoi(text.substr(numberAt, runsAt - numberAt));
    EXPECT_GT(runs, 1) << "Esc came before the runs";
    EXPECT_LT(runs, 20000) << "Esc did not stop the runs";
    const std::size_t list = text.find("Individual run statistics");
    ASSERT_NE(list, std::string::npos) << text;
    std::istringstream rest(text.substr(list));
    std::string line;
    std::getline(rest, line);
    int lines = 0;
    while (std::getline(rest, line)) lines += line.find_first_of("0123456789") != std::string::npos ? 1 : 0;
    EXPECT_EQ(lines, runs) << "the run stopped part-way is measured with the others";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
