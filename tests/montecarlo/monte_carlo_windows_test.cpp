// The Monte Carlo windows and dialogs driven headless: a histogram of the runs of a Monte Carlo
// analysis (values, statistics, intervals, Low and High), the statistics file, and the Options
// and Functions dialogs, the look of a histogram (font and colours) and its dialog's panes.
// Screenshots: monte_carlo_histogram.png, monte_carlo_options.png, monte_carlo_function.png,
// monte_carlo_function_color.png, monte_carlo_print_preview.png.
#include <unistd.h>

#include <algorithm>
#include <vector>
#include <utility>
#include <optional>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "../app/dialog_steps.h"
#include "../plots/analysis_window_test_support.h"
#include "../printing/pdf_probe.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "analyses/histogram.h"
#include "analyses/monte_carlo.h"
#include "analyses/performance_functions.h"
#include "results/run_state.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/help_bar.h"
#include "app/print_preview.h"
#include "app/printing.h"
#include "document/print_job.h"
#include "platform/gdi_dc.h"
#include "ui/window_record.h"
#include "platform/common_dialogs_font.h"
#include "platform/common_dialogs_print.h"
#include "platform/print.h"
#include "core/random15.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/window.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

const char* const kNetlist =
    "MC HISTOGRAM\n"
    "I1 0 1 DC 1M\n"
    "R1 1 0 RM 1K\n"
    ".MODEL RM RES (R=1 DEV=10%)\n"
    ".TRAN 1U 2U\n"
    ".PRINT TRAN V(1)\n"
    ".END\n";

class MonteCarloWindowsTest : public AnalysisWindowTest {
protected:
    void SetUp() override
    {
        AnalysisWindowTest::SetUp();
        ResetRunStateForTests();
        ResetMonteCarloForTests();
        FixRandom15Seed(99u);
    }
    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        FixRandom15Seed(std::nullopt);
        AnalysisWindowTest::TearDown();
        ResetRunStateForTests();
        ResetMonteCarloForTests();
    }

    int RunMonteCarlo(const std::string& runs, const std::string& netlist = kNetlist, int kind = kAnalysisTransient)
    {
        PutCircuit(netlist, "hist.cir");
        MonteCarloOptions& options = record_->document->monteCarlo[kind];
        options.options = kDistributionNormal | kMonteCarloOn;
        options.runs = runs;
        if (const int started = RunAnalysisCommand(record_, kind); started != 0) return started;
        const int result = RunAnalysisTimed(kind);
        Pump();
        return result;
    }

    // A histogram of High(V(1)) over the runs, with its window.
    MonteCarloWindowRecord& AddHistogram(int kind = kAnalysisTransient)
    {
        MonteCarloWindowRecord* record = AppendMonteCarloWindow(*record_->document, kind);
        record->function.function = kHigh;
        record->function.expression = Curve(0).yExpressionText;
        record->function.boolean = "1";
        record->intervals = kNewHistogramIntervals;
        record->format = "6.3";
        ShowMonteCarloWindow(0);
        return *record;
    }

    static std::string ChildText(const MonteCarloWindowRecord& record, int id)
    {
        return win::GetWindowText(win::GetDlgItem(record.windowRecord->window, id));
    }
};

TEST_F(MonteCarloWindowsTest, TheHistogramShowsEveryRunItsStatisticsAndItsIntervals)
{
    ASSERT_EQ(RunMonteCarlo("300"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    ASSERT_NE(record.windowRecord, nullptr);
    ASSERT_EQ(record.values.size(), 300u);
    // Each value is its run's voltage.
    CurveRecord& c = Curve(0);
    for (int r = 0; r < 300; r += 37)
        EXPECT_DOUBLE_EQ(record.values[static_cast<std::size_t>(r)],
                         GetWaveformValue(Plot().store, c.storeSlots[kWaveformY], c.runLastIndex[static_cast<std::size_t>(r)]));
    EXPECT_EQ(record.view.title, "High(" + c.yExpressionText + ",1)");
    EXPECT_EQ(win::GetWindowText(record.windowRecord->window), "Monte Carlo:" + record.view.title);
    const win::HWND list = win::GetDlgItem(record.windowRecord->window, 102);
    EXPECT_EQ(win::SendMessage(list, win::LB_GETCOUNT, 0, 0), 300);

    // Drawn once: Low and High from the data, every value in an interval.
    win::RedrawWindow(record.windowRecord->window, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_UPDATENOW);
    Pump();
    const RunStatistics s = ComputeRunStatistics(record.values);
    EXPECT_EQ(ChildText(record, 115), FormatMonteCarloValue(record, s.low));
    EXPECT_EQ(ChildText(record, 116), FormatMonteCarloValue(record, s.mean));
    EXPECT_EQ(ChildText(record, 118), FormatMonteCarloValue(record, s.deviation));
    EXPECT_EQ(ChildText(record, 120), "Percent displayed 100.00");
    EXPECT_EQ(ChildText(record, 125), FormatMonteCarloValue(record, s.low));
    EXPECT_EQ(ChildText(record, 126), FormatMonteCarloValue(record, s.high));
    Shoot("monte_carlo_histogram");

    // However narrow the window, the chart and its texts keep off the list and the statistics.
    {
        const win::HWND hwnd = record.windowRecord->window;
        constexpr int kPanel = 170;
        const auto panel = [hwnd] {
            win::RECT client{};
            win::GetClientRect(hwnd, &client);
            win::POINT origin{0, 0};
            win::ClientToScreen(hwnd, &origin);
            std::vector<win::COLORREF> pixels;
            for (int y = 0; y < client.bottom; ++y)
                for (int x = 0; x < kPanel; ++x) pixels.push_back(win::ScreenPixel(origin.x + x, origin.y + y));
            return pixels;
        };
        const std::vector<win::COLORREF> wide = panel();
        win::RECT frame{}, client{};
        win::GetWindowRect(hwnd, &frame);
        win::GetClientRect(hwnd, &client);
        win::MapWindowPoints(nullptr, win::GetParent(hwnd), reinterpret_cast<win::POINT*>(&frame), 2);
        const int border = (frame.right - frame.left) - client.right;
        win::MoveWindow(hwnd, frame.left, frame.top, kPanel + 5 + border, frame.bottom - frame.top, 1);
        win::RedrawWindow(hwnd, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
        Pump();
        Shoot("monte_carlo_histogram_narrow");
        EXPECT_TRUE(panel() == wide) << "the chart draws over the list or the statistics";
        win::MoveWindow(hwnd, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top, 1);
        Pump();
    }

    HistogramBars bars = SettleHistogram(record, 300);
    EXPECT_EQ(bars.intervals, 11);
    int total = 0;
    for (int count : bars.counts) total += count;
    EXPECT_EQ(total, 300);
    EXPECT_DOUBLE_EQ(bars.percentDisplayed, 100.0);

    // Intervals: 1 and 201 are refused, 2 and 200 taken; a count from a file is clamped.
    EXPECT_FALSE(SetHistogramIntervalsText(record, "1"));
    EXPECT_FALSE(SetHistogramIntervalsText(record, "201"));
    EXPECT_EQ(HistogramIntervals(record), 11);
    EXPECT_TRUE(SetHistogramIntervalsText(record, "200"));
    EXPECT_TRUE(SetHistogramIntervalsText(record, "2"));
    EXPECT_EQ(HistogramIntervals(record), 2);
    record.intervals = 100000;
    EXPECT_EQ(HistogramIntervals(record), 200);
    record.intervals = -5;
    EXPECT_EQ(HistogramIntervals(record), 2);
    record.intervals = 11;

    // A narrower Low..High leaves the values outside it out of the displayed share.
    const double middle = (s.low + s.high) / 2.0;
    EXPECT_TRUE(SetHistogramRangeText(record, false, FormatMonteCarloValue(record, middle)));
    bars = SettleHistogram(record, 300);
    const auto above = std::count_if(record.values.begin(), record.values.end(), [&](double v) {
        return v >= bars.low - 0.01 * bars.width;
    });
    EXPECT_NEAR(bars.percentDisplayed, 100.0 * above / 300.0, 1e-9);
    EXPECT_LT(bars.percentDisplayed, 100.0);
    // Low above High: the two change places.
    record.lowText = FormatMonteCarloValue(record, s.high);
    record.highText = FormatMonteCarloValue(record, s.low);
    bars = SettleHistogram(record, 300);
    EXPECT_LT(bars.low, bars.high);
    EXPECT_NEAR(bars.low, s.low, 1e-3);
    EXPECT_NEAR(bars.high, s.high, 1e-3);

    // The statistics file: one line per run, named with "MC".
    ASSERT_EQ(WriteMonteCarloStatistics(&record), 0);
    std::ifstream in(dir_ / "hist.TMC");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("300 Runs"), std::string::npos);
    EXPECT_NE(text.str().find("Monte Carlo Statistical Analysis of hist.cir"), std::string::npos);
    EXPECT_NE(text.str().find(" Low=" + FormatMonteCarloValue(record, s.low) + " Mean="), std::string::npos);
    EXPECT_NE(text.str().find(" 300  " + FormatMonteCarloValue(record, record.values.back())), std::string::npos);
}

// Every line of the statistics file reads back as its run number and its value, past run 9999
// too, where the number fills the column and once ran into the value ("100001.003").
TEST_F(MonteCarloWindowsTest, EveryStatisticsLineSeparatesTheRunFromItsValue)
{
    constexpr int kRuns = 10002;
    ASSERT_EQ(RunMonteCarlo(std::to_string(kRuns)), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    ASSERT_EQ(record.values.size(), static_cast<std::size_t>(kRuns));
    ASSERT_EQ(WriteMonteCarloStatistics(&record), 0);
    std::ifstream in(dir_ / "hist.TMC");
    ASSERT_TRUE(in);
    std::string line;
    while (std::getline(in, line) && line.find("Individual run statistics") == std::string::npos) {
    }
    int run = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int number = 0;
        std::string value, rest;
        if (!(fields >> number >> value) || (fields >> rest)) continue;
        ++run;
        ASSERT_EQ(number, run) << line;
        ASSERT_EQ(value, FormatMonteCarloValue(record, record.values[static_cast<std::size_t>(run - 1)])) << line;
    }
    EXPECT_EQ(run, kRuns);
}

TEST_F(MonteCarloWindowsTest, StatisticsThatCannotBeWrittenAreReported)
{
    ASSERT_EQ(RunMonteCarlo("5"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    std::filesystem::create_directory(dir_ / "hist.TMC");  // a directory where the file should go
    win::ClearMessageBoxLog();
    win::PushMessageBoxAnswer(win::IDOK);  // on the screen the box would wait for a click
    const int status = WriteMonteCarloStatistics(&record);
    EXPECT_GT(status, 16000);
    EXPECT_FALSE(win::MessageBoxLog().empty());
}

TEST_F(MonteCarloWindowsTest, StatisticsOfAFunctionThatMeasuredNothingAreNotZeros)
{
    ASSERT_EQ(RunMonteCarlo("5"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    // V(1) never reaches 100 V: no run gives a value.
    record.function.function = kXLevel;
    record.function.args = {1, 100, 2};
    ComputeMonteCarloValues(record, RunControl().analysisWindow);
    ASSERT_TRUE(record.values.empty());
    ASSERT_EQ(WriteMonteCarloStatistics(&record), 0);
    std::ifstream in(dir_ / "hist.TMC");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("Low="), std::string::npos) << text.str();
    EXPECT_NE(text.str().find(" No data."), std::string::npos) << text.str();
}

TEST_F(MonteCarloWindowsTest, WithoutMonteCarloTheWindowHasNoValues)
{
    PutCircuit(kNetlist, "hist.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0);
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    EXPECT_TRUE(record.values.empty());
    EXPECT_EQ(win::SendMessage(win::GetDlgItem(record.windowRecord->window, 102), win::LB_GETCOUNT, 0, 0), 0);
    // Deleting closes the window.
    DeleteMonteCarloFunctions({0});
    EXPECT_EQ(record_->document->monteCarloWindows[kAnalysisTransient].count, 0);
}

TEST_F(MonteCarloWindowsTest, ADcSweepWithASecondInputMeasuresEveryInput2ValueOfEveryCase)
{
    const std::string netlist = "MC DC2\nV1 1 0 1\nV2 3 0 0\nR1 1 2 RM 1K\nR2 2 3 1K\n"
                                ".MODEL RM RES (R=1 DEV=10%)\n.DC V1 0 1 0.5 V2 0 1 0.5\n.PRINT DC V(2)\n.END\n";
    ASSERT_EQ(RunMonteCarlo("4", netlist, kAnalysisDc), 0);
    ASSERT_EQ(RunState().input2Count, 3);
    ASSERT_EQ(Plot().store.runCount, 12);
    MonteCarloWindowRecord& record = AddHistogram(kAnalysisDc);
    // Four cases of three Input 2 values each, in run order; each value is its run's last point.
    ASSERT_EQ(record.values.size(), 12u);
    CurveRecord& c = Curve(0);
    for (std::size_t r = 0; r < 12; ++r) {
        EXPECT_DOUBLE_EQ(record.values[r], GetWaveformValue(Plot().store, c.storeSlots[kWaveformY], c.runLastIndex[r])) << r;
        EXPECT_EQ(record.valueRuns[r], static_cast<int>(r / 3 + 1)) << r;
    }
    // The Input 2 values differ within a case, so the first one alone would hide two thirds.
    EXPECT_NE(record.values[0], record.values[2]);
    EXPECT_EQ(win::SendMessage(win::GetDlgItem(record.windowRecord->window, 102), win::LB_GETCOUNT, 0, 0), 12);
}

TEST_F(MonteCarloWindowsTest, OptionsAndFunctionsDialogs)
{
    PutCircuit(kNetlist, "hist.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0);
    CircuitDocument& document = *record_->document;
    document.monteCarlo[kAnalysisTransient] = MonteCarloOptions{0, "100", ""};
    document.stepping[2].flags |= kStepOn;
    EXPECT_EQ(MonteCarloFunctionLine(kRiseTime), "Rise_Time(Expr,Boolean,N,Low,High)");
    EXPECT_EQ(MonteCarloFunctionLine(kHigh), "High(Expr,Boolean)");

    // The dialogs run modeless here, so that the test drives them the same way on the screen.
    win::HWND dialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), 17158, nullptr, MonteCarloOptionsDlgProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(win::GetWindowText(dialog), "Monte Carlo Options");
    EXPECT_EQ(win::GetDlgItemText(dialog, 200), "100");
    // A document without a distribution shows Normal, the one it runs with.
    EXPECT_EQ(win::IsDlgButtonChecked(dialog, 205), win::BST_CHECKED);
    EXPECT_EQ(win::IsDlgButtonChecked(dialog, 111), win::BST_CHECKED);
    win::CheckRadioButton(dialog, 205, 207, 206);
    win::CheckRadioButton(dialog, 110, 111, 110);
    win::SetDlgItemText(dialog, 200, "  2K  ");
    win::SetDlgItemText(dialog, 208, "V(1)>");
    win::SetFocus(win::GetDlgItem(dialog, 208));
    win::SendDlgItemMessage(dialog, 208, win::EM_SETSEL, 5, 5);

    // The Functions list: one line per performance function; the chosen one goes in at the caret.
    win::HWND functions = win::CreateDialogParam(win::GetModuleHandle(nullptr), 17161, dialog, MonteCarloFunctionsDlgProc, 0);
    ASSERT_NE(functions, nullptr);
    EXPECT_EQ(win::GetWindowText(functions), "Functions");
    const win::HWND box = win::GetDlgItem(functions, 101);
    ASSERT_EQ(win::SendMessage(box, win::LB_GETCOUNT, 0, 0), kPerformanceFunctionCount);
    char line[128] = {};
    win::SendMessage(box, win::LB_GETTEXT, kWidth, reinterpret_cast<win::LPARAM>(line));
    EXPECT_STREQ(line, "Width(Expr,Boolean,N,Level)");
    win::DestroyWindow(functions);
    InsertReportWhenFunction(dialog, kHigh);
    EXPECT_EQ(win::GetDlgItemText(dialog, 208), "V(1)> High(Expr,Boolean)");
    win::ShowWindow(dialog, win::SW_SHOW);
    Pump();
    Shoot("monte_carlo_options");
    win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    if (win::IsWindow(dialog)) win::DestroyWindow(dialog);
    const MonteCarloOptions& options = document.monteCarlo[kAnalysisTransient];
    EXPECT_EQ(options.options, kDistributionLinear | kMonteCarloOn);
    EXPECT_EQ(options.runs, "2K");
    EXPECT_EQ(options.performance, "V(1)> High(Expr,Boolean)");
    // Turning Monte Carlo on turns stepping off.
    for (const SteppingSlot& slot : document.stepping) EXPECT_EQ(slot.flags & kStepOn, 0u);

    // Cancel keeps everything.
    dialog = win::CreateDialogParam(win::GetModuleHandle(nullptr), 17158, nullptr, MonteCarloOptionsDlgProc, 0);
    win::CheckRadioButton(dialog, 110, 111, 111);
    win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    if (win::IsWindow(dialog)) win::DestroyWindow(dialog);
    EXPECT_EQ(document.monteCarlo[kAnalysisTransient].options, kDistributionLinear | kMonteCarloOn);
}

TEST_F(MonteCarloWindowsTest, ABadReportWhenStopsTheRunsUntilItIsMended)
{
    PutCircuit(kNetlist, "hist.cir");
    MonteCarloOptions& options = record_->document->monteCarlo[kAnalysisTransient];
    options.options = kDistributionNormal | kMonteCarloOn;
    options.runs = "3";
    options.performance = "V(1)>>";
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0);
    win::ClearMessageBoxLog();
    win::PushMessageBoxAnswer(win::IDOK);  // on the screen the box would wait for a click
    EXPECT_NE(RunAnalysisTimed(kAnalysisTransient), 0);
    EXPECT_TRUE(RunState().setupFailed);
    EXPECT_FALSE(win::MessageBoxLog().empty());
    // A performance function of an expression that no curve plots could never measure a run:
    // refused with its text, not left to report nothing.
    options.performance = "High(V(1)*2,1)>1";
    Pump();
    win::ClearMessageBoxLog();
    win::PushMessageBoxAnswer(win::IDOK);
    EXPECT_NE(RunAnalysisTimed(kAnalysisTransient), 0);
    EXPECT_TRUE(RunState().setupFailed);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("Can't find expression 'High(V(1)*2,1)>1'."), std::string::npos)
        << win::MessageBoxLog().back().text;
    options.performance = "V(1)>2";
    Pump();
    EXPECT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    EXPECT_FALSE(RunState().setupFailed);
    EXPECT_TRUE(HasReportWhenExpression());
    EXPECT_EQ(Plot().store.runCount, 3);
}

TEST_F(MonteCarloWindowsTest, AnOpenHistogramFollowsEveryRunOfTheNextAnalysis)
{
    ASSERT_EQ(RunMonteCarlo("5"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    ASSERT_EQ(record.values.size(), 5u);
    // The window is recomputed at the end of each run, so it has seen each run as it came.
    std::size_t largestSeen = 0;
    int recomputes = 0;
    RunServices().endCase = [previous = RunServices().endCase, &record, &largestSeen, &recomputes](WindowRecord* w) {
        const std::size_t before = record.values.size();
        previous(w);
        if (record.values.size() != before) ++recomputes;
        largestSeen = std::max(largestSeen, record.values.size());
    };
    record_->document->monteCarlo[kAnalysisTransient].runs = "12";
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    Pump();
    EXPECT_EQ(record.values.size(), 12u);
    EXPECT_EQ(largestSeen, 12u);
    EXPECT_GE(recomputes, 2);
    EXPECT_EQ(win::SendMessage(win::GetDlgItem(record.windowRecord->window, 102), win::LB_GETCOUNT, 0, 0), 12);
}

TEST_F(MonteCarloWindowsTest, PrintingAHistogramPutsItsPictureOnTheSheet)
{
    RequirePoppler();
    ASSERT_EQ(RunMonteCarlo("40"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    ASSERT_NE(record.windowRecord, nullptr);
    // The layout finds the window through its record's placement.
    const std::vector<PrintLayoutEntry> entries = BuildPrintLayout(record.windowRecord, false);
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [&](const PrintLayoutEntry& e) { return e.record == record.windowRecord; });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->include, &record.view.printPreview.on);

    const std::filesystem::path pdf = std::filesystem::temp_directory_path() / ("kq5_histogram_" + std::to_string(::getpid()) + ".pdf");
    win::ResetPrintStateForTests();
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(pdf.string());
    PrintWindowRecord(record.windowRecord);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf.string(), 1));
    // Nobody placed it, so the histogram covers the sheet: its bars and scales ink the page.
    EXPECT_GT(page.Ink(0, 0, page.width, page.height / 2), 1000);
    EXPECT_GT(page.Ink(0, page.height / 2, page.width, page.height), 1000);
    win::ResetPrintStateForTests();
    std::filesystem::remove(pdf);
    std::filesystem::remove(pdf.string() + ".page1.ppm");
}

// The Add/Change Monte Carlo Function dialog and the list of windows to delete are modal: they
// are answered by the headless layer's idle handler, so these tests run without a display.
class MonteCarloCommandsTest : public MonteCarloWindowsTest {
protected:
    using Step = DialogStep;

    void SetUp() override
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        MonteCarloWindowsTest::SetUp();
    }
    void TearDown() override
    {
        MonteCarloWindowsTest::TearDown();
        for (const auto& [name, value] : saved_)
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
    }

    // Runs the command while the steps answer its dialogs, one step whenever one waits.
    int Command(int id, WindowRecord* active, std::vector<Step> steps)
    {
        return AnsweringDialogs(std::move(steps), [&] { return RouteMonteCarloCommand(id, active); });
    }

    static void Press(win::HWND dialog, int id) { PressDialogButton(dialog, id); }
    static void Pick(win::HWND dialog, int combo, int index) { PickComboEntry(dialog, combo, index); }

    // Add Histogram answered with High and OK.
    int AddHighWithTheCommand()
    {
        return Command(17157, nullptr, {[&](win::HWND dialog) {
                           Pick(dialog, 524, kHigh);
                           Press(dialog, win::IDOK);
                       }});
    }

    LinkedList& Histograms() { return record_->document->monteCarloWindows[kAnalysisTransient]; }
    MonteCarloWindowRecord& First() { return *ListRecords<MonteCarloWindowRecord>(Histograms()).begin(); }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(MonteCarloCommandsTest, AddChangeDeleteAndStatisticsCommands)
{
    ASSERT_EQ(RunMonteCarlo("40"), 0);
    const std::string curve = Curve(0).yExpressionText;

    // Add, tried with Test and then cancelled: nothing is left behind.
    std::size_t testedValues = 0;
    EXPECT_EQ(Command(17157, nullptr, {[&](win::HWND dialog) {
                  EXPECT_EQ(win::GetWindowText(dialog), "Add Monte Carlo Function");
                  Pick(dialog, 524, kHigh);
                  EXPECT_EQ(win::GetDlgItemText(dialog, 271), "High(" + curve + ",1)");
                  Press(dialog, 203);
                  testedValues = First().values.size();
                  Press(dialog, win::IDCANCEL);
              }}),
              0);
    EXPECT_EQ(testedValues, 40u);
    EXPECT_EQ(Histograms().count, 0);

    // Add for good.
    ASSERT_EQ(AddHighWithTheCommand(), 0);
    ASSERT_EQ(Histograms().count, 1);
    MonteCarloWindowRecord& record = First();
    ASSERT_NE(record.windowRecord, nullptr);
    EXPECT_EQ(record.function.function, kHigh);
    EXPECT_EQ(record.view.title, "High(" + curve + ",1)");
    ASSERT_EQ(record.values.size(), 40u);
    const std::vector<double> highs = record.values;

    // Change: a missing argument keeps the dialog open with a beep; Cancel puts everything back.
    win::ClearMessageBoxLog();
    EXPECT_EQ(Command(17163, record.windowRecord, {[&](win::HWND dialog) {
                  EXPECT_EQ(win::GetWindowText(dialog), "Change Monte Carlo Function");
                  Pick(dialog, 524, kRiseTime);
                  win::SetDlgItemText(dialog, 527, "");
                  Press(dialog, win::IDOK);
                  EXPECT_TRUE(win::IsWindow(dialog));
                  EXPECT_FALSE(win::MessageBeepLog().empty());
                  Pick(dialog, 524, kLow);
                  Press(dialog, 203);
                  EXPECT_EQ(record.function.function, kLow);
                  Press(dialog, win::IDCANCEL);
              }}),
              0);
    EXPECT_EQ(record.function.function, kHigh);
    EXPECT_EQ(record.view.title, "High(" + curve + ",1)");
    EXPECT_EQ(record.values, highs);

    // F10 on a histogram is Change Histogram; elsewhere it is not the histograms' to answer.
    EXPECT_EQ(Command(15678, nullptr, {}), 1);
    EXPECT_EQ(Command(15678, record.windowRecord, {[&](win::HWND dialog) {
                  EXPECT_EQ(win::GetWindowText(dialog), "Change Monte Carlo Function");
                  Press(dialog, win::IDCANCEL);
              }}),
              0);

    // Change with OK: the values are the new function's.
    EXPECT_EQ(Command(17163, record.windowRecord, {[&](win::HWND dialog) {
                  Pick(dialog, 524, kLow);
                  win::SetDlgItemText(dialog, 274, "8.5");
                  Press(dialog, win::IDOK);
              }}),
              0);
    EXPECT_EQ(record.function.function, kLow);
    EXPECT_EQ(record.format, "8.5");
    EXPECT_EQ(record.view.title, "Low(" + curve + ",1)");
    ASSERT_EQ(record.values.size(), 40u);
    CurveRecord& c = Curve(0);
    EXPECT_DOUBLE_EQ(record.values[7], GetWaveformValue(Plot().store, c.storeSlots[kWaveformY], c.runLastIndex[7]));

    // Statistics of the active window.
    EXPECT_EQ(Command(17160, record.windowRecord, {}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "hist.TMC"));

    // Delete: the chosen window goes, with its window.
    win::HWND window = record.windowRecord->window;
    EXPECT_EQ(Command(17181, nullptr, {[&](win::HWND dialog) {
                  EXPECT_EQ(win::GetWindowText(dialog), "Delete Monte Carlo Window");
                  EXPECT_EQ(win::SendDlgItemMessage(dialog, 101, win::LB_GETCOUNT, 0, 0), 1);
                  win::SendDlgItemMessage(dialog, 101, win::LB_SETSEL, 1, 0);
                  Press(dialog, win::IDOK);
              }}),
              0);
    EXPECT_EQ(Histograms().count, 0);
    EXPECT_FALSE(win::IsWindow(window));
}

TEST_F(MonteCarloCommandsTest, WithATemperatureListTheHistogramMeasuresTheChosenTemperature)
{
    std::string netlist = kNetlist;
    netlist.insert(netlist.find(".END"), ".TEMP 27 77\n");
    ASSERT_EQ(RunMonteCarlo("10", netlist), 0);
    ASSERT_EQ(Plot().store.runCount, 20);
    const std::string curve = Curve(0).yExpressionText;
    EXPECT_EQ(Command(17157, nullptr, {[&](win::HWND dialog) {
                  EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(dialog, 500)));
                  ASSERT_EQ(win::SendDlgItemMessage(dialog, 500, win::CB_GETCOUNT, 0, 0), 2);
                  char text[32] = {};
                  win::SendDlgItemMessage(dialog, 500, win::CB_GETLBTEXT, 1, reinterpret_cast<win::LPARAM>(text));
                  EXPECT_STREQ(text, "77");
                  Pick(dialog, 524, kHigh);
                  EXPECT_EQ(win::GetDlgItemText(dialog, 271), "High(" + curve + ",1): Temperature=27");
                  Pick(dialog, 500, 1);
                  EXPECT_EQ(win::GetDlgItemText(dialog, 271), "High(" + curve + ",1): Temperature=77");
                  win::RedrawWindow(dialog, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_UPDATENOW | win::RDW_ALLCHILDREN);
                  SaveScreen("monte_carlo_function");
                  Press(dialog, win::IDOK);
              }}),
              0);
    ASSERT_EQ(Histograms().count, 1);
    MonteCarloWindowRecord& record = First();
    EXPECT_EQ(record.runBlock, 1);
    EXPECT_EQ(record.view.title, "High(" + curve + ",1): Temperature=77");
    // The values are the ten runs at 77 degrees, in case order.
    ASSERT_EQ(record.values.size(), 10u);
    CurveRecord& c = Curve(0);
    for (int r = 0; r < 10; ++r) {
        EXPECT_DOUBLE_EQ(Plot().store.runs[static_cast<std::size_t>(10 + r)].temperature, 77.0);
        EXPECT_DOUBLE_EQ(record.values[static_cast<std::size_t>(r)],
                         GetWaveformValue(Plot().store, c.storeSlots[kWaveformY], c.runLastIndex[static_cast<std::size_t>(10 + r)]));
    }

    // Without a temperature list the choice is hidden and the title has no temperature.
    ASSERT_EQ(RunMonteCarlo("4"), 0);
    EXPECT_EQ(Command(17157, nullptr, {[&](win::HWND dialog) {
                  EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(dialog, 500)));
                  Pick(dialog, 524, kLow);
                  EXPECT_EQ(win::GetDlgItemText(dialog, 271), "Low(" + Curve(0).yExpressionText + ",1)");
                  Press(dialog, win::IDCANCEL);
              }}),
              0);
}

TEST_F(MonteCarloCommandsTest, TabMovesAmongTheFieldsAndALeftEditTakesEffect)
{
    ASSERT_EQ(RunMonteCarlo("20"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    const win::HWND window = record.windowRecord->window;
    auto field = [&](int id) { return win::GetDlgItem(window, id); };
    win::SetFocus(field(102));
    win::headless::PressKey(win::VK_TAB);
    Pump();
    ASSERT_EQ(win::GetFocus(), field(124));
    // A refused count goes back to the one in force as the edit is left; a good one is taken.
    win::SetWindowText(field(124), "1");
    win::headless::PressKey(win::VK_TAB);
    Pump();
    EXPECT_EQ(win::GetFocus(), field(125));
    EXPECT_EQ(win::GetWindowText(field(124)), "11");
    win::headless::PressKeyWithModifiers(win::VK_TAB, false, true);
    Pump();
    ASSERT_EQ(win::GetFocus(), field(124));
    win::SetWindowText(field(124), "7");
    win::headless::PressKey(win::VK_TAB);
    win::headless::PressKey(win::VK_TAB);
    win::headless::PressKey(win::VK_TAB);
    Pump();
    EXPECT_EQ(HistogramIntervals(record), 7);
    EXPECT_EQ(win::GetFocus(), field(102));  // round from the last edit to the list
}

// The screen colour at a point of a child of the histogram window, counted from its right edge
// so that no text lies under it.
win::COLORREF ChildPixel(const MonteCarloWindowRecord& record, int id)
{
    const win::HWND child = win::GetDlgItem(record.windowRecord->window, id);
    win::RECT r{};
    win::GetClientRect(child, &r);
    win::POINT p{r.right - 3, r.bottom / 2};
    win::ClientToScreen(child, &p);
    return win::ScreenPixel(p.x, p.y) & 0xFFFFFF;
}

win::COLORREF ChartPixel(const MonteCarloWindowRecord& record, int x, int y)
{
    win::POINT p{x, y};
    win::ClientToScreen(record.windowRecord->window, &p);
    return win::ScreenPixel(p.x, p.y) & 0xFFFFFF;
}

TEST_F(MonteCarloCommandsTest, ANewHistogramTakesThePlotsLookAndTheDialogChangesIt)
{
    ASSERT_EQ(RunMonteCarlo("40"), 0);
    ASSERT_EQ(AddHighWithTheCommand(), 0);
    ASSERT_EQ(Histograms().count, 1);
    MonteCarloWindowRecord& record = First();
    // The font and colours are the plot's, and the window and its statics show them.
    const PlotViewSettings& view = PlotViewOf(Window()->plot);
    EXPECT_EQ(record.view.font.height, view.textFont.height);
    EXPECT_EQ(record.view.font.face, view.textFont.face);
    const bool filled = view.graphBackground != 0 || view.windowBackground != 0 || view.textFont.color != 0;
    EXPECT_EQ(record.view.font.color, filled ? view.textFont.color : 0);
    EXPECT_EQ(record.gridColor, filled ? view.gridColor : 8);
    EXPECT_EQ(record.backgroundColor, filled ? view.graphBackground : 15);
    EXPECT_EQ(record.view.winBackgroundColor, filled ? view.windowBackground : 15);
    EXPECT_EQ(record.foreColor, Curve(0).color > 0 ? Curve(0).color : kFirstCurveColorIndex);
    EXPECT_NE(record.view.winBackgroundColor | record.backgroundColor, 0);
    Pump();
    EXPECT_EQ(ChildPixel(record, 111), PaletteColor(record.view.winBackgroundColor, true));

    // The Color pane: the window background turns blue and the graph yellow with Test; the font
    // grows; Cancel puts back the look the window had.
    const std::uint8_t background = record.view.winBackgroundColor;
    const FontSpec font = record.view.font;
    auto colour = [&](win::HWND dialog, int object, int index) {
        win::SendDlgItemMessage(dialog, 278, win::LB_SETCURSEL, static_cast<win::WPARAM>(object), 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(278, win::LBN_SELCHANGE), 0);
        Press(dialog, kFirstPaletteButton + index);
    };
    EXPECT_EQ(Command(17163, record.windowRecord, {[&](win::HWND dialog) {
                  EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(dialog, 524)));
                  EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(dialog, 278)));
                  Press(dialog, 200);
                  EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(dialog, 524)));
                  EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(dialog, 527)));
                  EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(dialog, 278)));
                  EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(dialog, kFirstPaletteButton + 63)));
                  EXPECT_EQ(win::SendDlgItemMessage(dialog, 278, win::LB_GETCOUNT, 0, 0), 6);
                  colour(dialog, 5, 12);
                  colour(dialog, 4, 11);
                  win::FontDialogAnswer bigger;
                  bigger.face = "Liberation Serif";
                  bigger.size = "20";
                  win::ScriptFontDialogAnswer(bigger);
                  Press(dialog, 22);
                  EXPECT_EQ(record.view.winBackgroundColor, background);  // nothing taken before Test
                  Press(dialog, 203);
                  EXPECT_EQ(record.view.winBackgroundColor, 12);
                  EXPECT_EQ(record.backgroundColor, 11);
                  EXPECT_LT(record.view.font.height, -20);
                  Pump();
                  EXPECT_EQ(ChildPixel(record, 111), PaletteColor(12, true));
                  Press(dialog, 201);
                  EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(dialog, 524)));
                  EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(dialog, 527)));  // High has no arguments
                  EXPECT_FALSE(win::IsWindowVisible(win::GetDlgItem(dialog, 278)));
                  Press(dialog, win::IDCANCEL);
              }}),
              0);
    EXPECT_EQ(record.view.winBackgroundColor, background);
    EXPECT_EQ(record.view.font.height, font.height);
    Pump();
    EXPECT_EQ(ChildPixel(record, 111), PaletteColor(background, true));

    // OK keeps them; the chart is filled with the graph colour and the bars with theirs.
    EXPECT_EQ(Command(17163, record.windowRecord, {[&](win::HWND dialog) {
                  Press(dialog, 200);
                  colour(dialog, 5, 7);
                  colour(dialog, 4, 11);
                  colour(dialog, 2, 9);
                  win::RedrawWindow(dialog, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_UPDATENOW | win::RDW_ALLCHILDREN);
                  SaveScreen("monte_carlo_function_color");
                  Press(dialog, win::IDOK);
              }}),
              0);
    EXPECT_EQ(record.foreColor, 9);
    Pump();
    EXPECT_EQ(ChildPixel(record, 102), PaletteColor(7, true));
    // Inside the frame's top left corner is graph; the tallest bar is red somewhere along the
    // baseline's row above.
    win::RECT client{};
    win::GetClientRect(record.windowRecord->window, &client);
    EXPECT_EQ(ChartPixel(record, 170 + 50 + 3, 30 + 3), PaletteColor(11, true));
    bool red = false;
    for (int x = 170 + 52; x < client.right - 22 && !red; ++x) red = ChartPixel(record, x, client.bottom - 40 - 2) == PaletteColor(9, true);
    EXPECT_TRUE(red);
    Shoot("monte_carlo_histogram_colors");
}

TEST_F(MonteCarloCommandsTest, TheDialogsHelpBarNamesTheFocusedControl)
{
    ASSERT_EQ(RunMonteCarlo("10"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    SetHelpBarOption(true);
    auto barText = [](win::HWND dialog) {
        std::string text = "<no bar>";
        win::EnumChildWindows(
            dialog,
            [](win::HWND child, win::LPARAM found) -> win::BOOL {
                if (win::GetClassName(child) != kHelpBarClass) return win::TRUE;
                const auto* bar = reinterpret_cast<const HelpBar*>(win::GetWindowLongPtr(child, win::GWLP_USERDATA));
                *reinterpret_cast<std::string*>(found) = bar ? bar->text : "<detached>";
                return win::FALSE;
            },
            reinterpret_cast<win::LPARAM>(&text));
        return text;
    };
    EXPECT_EQ(Command(17163, record.windowRecord, {[&](win::HWND dialog) {
                  win::SetFocus(win::GetDlgItem(dialog, 22));
                  EXPECT_EQ(barText(dialog), "Changes the font.");
                  win::SetFocus(win::GetDlgItem(dialog, 274));
                  EXPECT_EQ(barText(dialog), "");
                  win::SetFocus(win::GetDlgItem(dialog, win::IDCANCEL));
                  EXPECT_EQ(barText(dialog), "Cancel");
                  // A focus change is no click: the dialog is still open.
                  EXPECT_TRUE(win::IsWindow(dialog));
                  Press(dialog, win::IDCANCEL);
              }}),
              0);
    SetHelpBarOption(false);
}

TEST_F(MonteCarloCommandsTest, EnterStepsTheValueListOneEntryDownWithinTheList)
{
    ASSERT_EQ(RunMonteCarlo("3"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    const win::HWND list = win::GetDlgItem(record.windowRecord->window, 102);
    ASSERT_EQ(win::SendMessage(list, win::LB_GETCOUNT, 0, 0), 3);
    win::SetFocus(list);
    auto enter = [&] {
        win::headless::PressKey(win::VK_RETURN);
        Pump();
        return static_cast<int>(win::SendMessage(list, win::LB_GETCURSEL, 0, 0));
    };
    EXPECT_EQ(enter(), 0);  // from no selection to the first
    EXPECT_EQ(enter(), 1);
    EXPECT_EQ(enter(), 2);
    EXPECT_EQ(enter(), 2);  // kept within the list
    // An empty list has nothing to step.
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    StepListSelection(list);
    EXPECT_EQ(win::SendMessage(list, win::LB_GETCURSEL, 0, 0), win::LB_ERR);
}

TEST_F(MonteCarloCommandsTest, ThePrintPreviewShowsTheHistogramInTheProportionsOfTheSheet)
{
    ASSERT_EQ(RunMonteCarlo("40"), 0);
    MonteCarloWindowRecord& record = AddHistogram();
    ASSERT_NE(record.windowRecord, nullptr);
    win::ResetPrintStateForTests();
    double frameAt = 0.0, printedAt = 0.0;
    const int shown = AnsweringDialogs(
        {[&](win::HWND dialog) {
            const win::HWND page = win::GetDlgItem(dialog, kPreviewPageControl);
            win::UpdateWindow(page);
            // The printable part of the miniature.
            win::RECT c{};
            win::GetClientRect(page, &c);
            win::HDC printer = CreatePrinterDC();
            const int pw = win::GetDeviceCaps(printer, win::PHYSICALWIDTH), horz = win::GetDeviceCaps(printer, win::HORZRES);
            const int left = win::MulDiv(win::GetDeviceCaps(printer, win::PHYSICALOFFSETX), c.right, pw);
            const int right = left + win::MulDiv(horz, c.right, pw);
            win::DeleteDC(printer);
            // The sheet prints the chart's left margin (50 screen pixels) at the printer's
            // resolution; across the middle of the miniature the first mark is the chart's frame.
            printedAt = 50.0 * win::kPrinterDpi / 96.0 / horz;
            const auto pixel = [&](int x) {
                win::POINT p{x, c.bottom / 2};
                win::ClientToScreen(page, &p);
                return win::ScreenPixel(p.x, p.y) & 0xFFFFFF;
            };
            int x = left + 2;
            while (x < right && pixel(x) == pixel(left + 2)) ++x;
            frameAt = static_cast<double>(x - left) / (right - left);
            SaveScreen("monte_carlo_print_preview");
            Press(dialog, kPreviewClose);
        }},
        [&] { return RunPrintPreview(record.windowRecord); });
    EXPECT_EQ(shown, 0);
    EXPECT_NEAR(frameAt, printedAt, printedAt / 4);
    win::ResetPrintStateForTests();
}

}  // namespace
}  // namespace kq5::testing
