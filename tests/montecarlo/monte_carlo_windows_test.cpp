// The Monte Carlo windows and dialogs driven headless: a histogram of the runs of a Monte Carlo
// analysis (values, statistics, intervals, Low and High), the statistics file, and the Options
// and Functions dialogs. Screenshots: monte_carlo_histogram.png, monte_carlo_options.png.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "../plots/analysis_window_test_support.h"
#include "analyses/histogram.h"
#include "analyses/monte_carlo.h"
#include "analyses/performance_functions.h"
#include "analyses/run_state.h"
#include "app/window_record.h"
#include "core/random15.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "plots/waveform_store.h"

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

    int RunMonteCarlo(const std::string& runs)
    {
        PutCircuit(kNetlist, "hist.cir");
        MonteCarloOptions& options = record_->document->monteCarlo[kAnalysisTransient];
        options.options = kDistributionNormal | kMonteCarloOn;
        options.runs = runs;
        if (const int started = RunAnalysisCommand(record_, kAnalysisTransient); started != 0) return started;
        const int result = RunAnalysisTimed(kAnalysisTransient);
        Pump();
        return result;
    }

    // A histogram of High(V(1)) over the runs, with its window.
    MonteCarloWindowRecord& AddHistogram()
    {
        MonteCarloWindowRecord* record = AppendMonteCarloWindow(*record_->document, kAnalysisTransient);
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
    options.performance = "V(1)>2";
    Pump();
    EXPECT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    EXPECT_FALSE(RunState().setupFailed);
    EXPECT_TRUE(HasReportWhenExpression());
    EXPECT_EQ(Plot().store.runCount, 3);
}

}  // namespace
}  // namespace kq5::testing
