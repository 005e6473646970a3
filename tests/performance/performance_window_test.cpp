// Performance windows on a stepped RC transient: adding, changing, hiding, showing and deleting
// windows and plots through their dialogs, the points measured per run with gaps where a run
// has no event, conditions bound to the plotted curves, and a screenshot of the plot.
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../app/dialog_steps.h"
#include "../plots/analysis_window_test_support.h"
#include "ngspice_measures.h"
#include "analyses/performance_expression.h"
#include "analyses/performance_functions.h"
#include "analyses/performance_window.h"
#include "results/run_state.h"
#include "document/stepping_rows.h"
#include "ui/dialog_services.h"
#include "core/expr_symbols.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

using Step = DialogStep;

// RC low-pass with a 1 V step; 10 ms of it.
std::string SteppedRc(const std::string& stop = "10M")
{
    return "RC\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 20U " + stop + " 0 20U\n.PRINT TRAN V(2)\n.END\n";
}

class PerformanceWindowTest : public AnalysisWindowTest {
protected:
    void SetUp() override
    {
        // The dialogs are answered by the headless layer's idle handler.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        AnalysisWindowTest::SetUp();
        ResetRunStateForTests();
        ResetSteppingRowsForTests();
    }
    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        HideAllPerformanceWindows();
        AnalysisWindowTest::TearDown();
        ResetRunStateForTests();
        ResetSteppingRowsForTests();
        for (const auto& [name, value] : saved_)
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
    }

    void StepR1(const std::string& from, const std::string& to, const std::string& by)
    {
        SteppingSlot& s = record_->document->stepping[0];
        s.flags = kStepOn | kStepComponent | kStepLinear;
        s.name = "R1";
        s.from = from;
        s.to = to;
        s.value = by;
        s.deviceIndex = -1;
    }

    // Runs `call` while the steps answer the dialogs it opens, one step whenever one waits.
    template <class F>
    auto Answering(std::vector<Step> steps, F call)
    {
        return AnsweringDialogs(std::move(steps), call);
    }

    static void Press(win::HWND dialog, int id) { PressDialogButton(dialog, id); }
    static void Pick(win::HWND dialog, int combo, int index) { PickComboEntry(dialog, combo, index); }
    // Chooses function f with the arguments typed, in the dialog's function panel.
    static Step Function(int f, std::vector<std::string> args, std::string condition = "1")
    {
        return [=](win::HWND dialog) {
            Pick(dialog, 524, f);
            for (std::size_t i = 0; i < args.size(); ++i) win::SetDlgItemText(dialog, 527 + static_cast<int>(i), args[i].c_str());
            win::SetDlgItemText(dialog, 526, condition.c_str());
        };
    }
    static Step Ok() { return [](win::HWND dialog) { Press(dialog, win::IDOK); }; }
    static Step Cancel() { return [](win::HWND dialog) { Press(dialog, win::IDCANCEL); }; }
    // Chooses list entries of a pick list and confirms.
    static Step Choose(std::vector<int> entries)
    {
        return [=](win::HWND dialog) {
            for (int i : entries) win::SendDlgItemMessage(dialog, kListSelectList, win::LB_SETSEL, 1, i);
            Press(dialog, win::IDOK);
        };
    }

    static LinkedList& List() { return *PerformanceWindowList(); }
    static PerformanceWindowRecord& Node(int i = 0)
    {
        int k = 0;
        for (PerformanceWindowRecord& n : ListRecords<PerformanceWindowRecord>(List()))
            if (k++ == i) return n;
        throw std::out_of_range("no performance window");
    }
    // The points of the performance window's curve: X and the value (NaN for a gap).
    static std::vector<std::pair<double, double>> Points(PerformanceWindowRecord& node, int curve = 0)
    {
        std::vector<std::pair<double, double>> points;
        PlotRecord& plot = node.view.plot;
        CurveRecord& c = *plot.curves.at(static_cast<std::size_t>(curve));
        for (std::int32_t i = 0; i <= c.lastPointIndex; ++i)
            points.emplace_back(GetWaveformValue(plot.store, c.storeSlots[0], i), GetWaveformValue(plot.store, c.storeSlots[1], i));
        return points;
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(PerformanceWindowTest, AddChangeHideShowAndDeleteWindowsAndPlots)
{
    StepR1("1K", "3K", "1K");
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    ASSERT_EQ(Plot().store.runCount, 3);

    // Add Performance Window: Rise_Time from 10 % to 90 %, which is RC ln 9.
    Answering({Function(kRiseTime, {"1", "0.1", "0.9"}), [](win::HWND) { SaveScreen("performance_plot_dialog"); }, Ok()},
              [] { return AddPerformanceWindow(); });
    ASSERT_EQ(List().count, 1);
    PerformanceWindowRecord& node = Node();
    ASSERT_NE(node.window, nullptr);
    ASSERT_EQ(node.view.plot.curveCount, 1);
    auto points = Points(node);
    ASSERT_EQ(points.size(), 3u);
    for (int r = 0; r < 3; ++r) {
        EXPECT_DOUBLE_EQ(points[r].first, 1000.0 * (r + 1));
        EXPECT_NEAR(points[r].second / (1e-6 * 1000.0 * (r + 1) * std::log(9.0)), 1.0, 2e-2) << r;
    }
    EXPECT_EQ(node.view.title, "Rise_Time(V(2),1,1,0.1,0.9) vs R1");
    EXPECT_EQ(win::GetWindowText(node.window->window), "Performance:Rise_Time(V(2),1,1,0.1,0.9) vs R1");
    const CurveRecord& curve = *node.view.plot.curves[0];
    EXPECT_LE(curve.axisLow[1], points[0].second);
    EXPECT_GE(curve.axisHigh[1], points[2].second);
    EXPECT_LT(curve.axisHigh[1], 1.0);
    Shoot("performance_plot");

    // Change: to 99 % the third run (RC = 3 ms) does not get within 10 ms: a gap, no message.
    const std::size_t messages = win::MessageBoxLog().size();
    Answering({[](win::HWND d) { win::SetDlgItemText(d, 529, "0.99"); }, Ok()},
              [&] { return ChangePerformanceWindow(node.window); });
    points = Points(node);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_NEAR(points[0].second / (1e-3 * std::log(90.0)), 1.0, 2e-2);
    EXPECT_FALSE(std::isnan(points[1].second));
    EXPECT_TRUE(std::isnan(points[2].second));
    EXPECT_EQ(win::MessageBoxLog().size(), messages);
    for (std::size_t i = messages; i < win::MessageBoxLog().size(); ++i) ADD_FAILURE() << win::MessageBoxLog()[i].text;
    EXPECT_LT(node.view.plot.curves[0]->dataMax[1], 1e-2);
    Shoot("performance_plot_gap");

    // Add Plot, cancelled: nothing changes; then High with a condition on the plotted curve.
    Answering({Function(kHigh, {}), Cancel()}, [&] { return AddPerformancePlot(node.window); });
    EXPECT_EQ(node.functions.size(), 1u);
    EXPECT_EQ(node.view.plot.curveCount, 1);
    Answering({Function(kHigh, {}, "V(2)<0.5"), Ok()}, [&] { return AddPerformancePlot(node.window); });
    ASSERT_EQ(node.functions.size(), 2u);
    ASSERT_EQ(node.view.plot.curveCount, 2);
    EXPECT_EQ(node.functions[1].failed, 0);
    points = Points(node, 1);
    ASSERT_EQ(points.size(), 3u);
    for (const auto& p : points) EXPECT_NEAR(p.second, 0.5, 0.02);

    // Delete Plot: the first goes, High stays.
    Answering({Choose({0})}, [&] { return DeletePerformancePlots(node.window); });
    ASSERT_EQ(node.functions.size(), 1u);
    EXPECT_EQ(node.functions[0].function, kHigh);

    // Hide keeps the record; the menu's entry shows it again with its points.
    HidePerformanceWindow(node.window);
    ASSERT_EQ(List().count, 1);
    EXPECT_EQ(node.window, nullptr);
    EXPECT_EQ(node.view.plot.curveCount, 0);
    ShowPerformanceWindow(0);
    ASSERT_NE(node.window, nullptr);
    EXPECT_EQ(Points(node).size(), 3u);

    // Delete Performance Window closes it and drops the record.
    Answering({Choose({0})}, [] { return DeletePerformanceWindows(); });
    EXPECT_EQ(List().count, 0);
}

TEST_F(PerformanceWindowTest, CancelledAddRemovesTheWindowAndUnusableCurvesAreDisabled)
{
    StepR1("1K", "2K", "1K");
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    Answering({Cancel()}, [] { return AddPerformanceWindow(); });
    EXPECT_EQ(List().count, 0);

    Answering({Function(kPeak, {"1"}), Ok()}, [] { return AddPerformanceWindow(); });
    PerformanceWindowRecord& node = Node();
    // The measured curve renamed away: the plot is disabled until a curve of that text (any
    // case) exists again.
    node.functions[0].expression = "V(7)";
    PreparePlotPoints(node.window);
    EXPECT_EQ(node.functions[0].failed, 1);
    EXPECT_EQ(node.view.plot.curves[0]->lastPointIndex, -1);
    node.functions[0].expression = "v(2)";
    PreparePlotPoints(node.window);
    EXPECT_EQ(node.functions[0].failed, 0);
    EXPECT_EQ(Points(node).size(), 2u);

    // A condition on a quantity the analysis does not plot cannot be measured on stored runs.
    node.functions[0].boolean = "V(1)>0.5";
    const std::size_t messages = win::MessageBoxLog().size();
    PreparePlotPoints(node.window);
    EXPECT_EQ(node.functions[0].failed, 1);
    ASSERT_GT(win::MessageBoxLog().size(), messages);
    EXPECT_NE(win::MessageBoxLog().back().text.find("Can't find expression 'V(1)>0.5'"), std::string::npos)
        << win::MessageBoxLog().back().text;

    // A stepped parameter that is no longer stepped gives way to the first one still stepped.
    node.functions[0].boolean = "1";
    node.functions[0].xData = kAxisSourceStepSlot + 4;
    PreparePlotPoints(node.window);
    EXPECT_EQ(node.functions[0].xData, kAxisSourceStepSlot);
    EXPECT_EQ(Points(node).size(), 2u);
}

TEST_F(PerformanceWindowTest, WithoutSteppingTheWindowStaysEmpty)
{
    StepR1("1K", "2K", "1K");
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    Answering({Ok()}, [] { return AddPerformanceWindow(); });
    PerformanceWindowRecord& node = Node();
    EXPECT_EQ(node.view.plot.curveCount, 1);
    record_->document->stepping[0] = SteppingSlot{};
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    ResetRunStateForTests();
    InstallAnalysisKindHandlers();
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    ASSERT_EQ(Plot().store.runCount, 1);
    // The analysis window was made anew: the performance window was hidden with the old one.
    EXPECT_EQ(node.window, nullptr);
    ShowPerformanceWindow(0);
    ASSERT_NE(node.window, nullptr);
    EXPECT_EQ(node.view.plot.curveCount, 0);
}

TEST_F(PerformanceWindowTest, ExpressionsCallPerformanceFunctionsOnStoredRuns)
{
    StepR1("1K", "2K", "1K");
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    CompiledExpression e;
    ExpressionRequest request;
    InitExpressionRecord("X_Level(V(2),1,1,0.5)*1000", &e, kContextTransient | kContextPerformance, kItemNumber, request);
    ASSERT_EQ(CompileExpression(request), 0);
    for (int run = 0; run < 2; ++run) {
        const PerformanceFunctionHandler handler = MakePerformanceFunctionHandler(nullptr, run);
        EvaluationInputs inputs;
        inputs.performance = &handler;
        std::complex<double> value;
        ASSERT_EQ(EvaluateExpression(e, value, inputs), 0);
        EXPECT_NEAR(value.real() / (1e3 * 1e-3 * (run + 1) * std::log(2.0)), 1.0, 1e-2) << run;
    }
    FreeCompiledExpression(e);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(PerformanceWindowTest, GoToPerformanceMovesTheCursorsToTheMeasuredPoints)
{
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    ResetGoToPerformanceForTests();
    const win::HWND dialog = OpenGoToPerformanceDialog(Window());
    ASSERT_NE(dialog, nullptr);
    CurveRecord& curve = Curve(0);
    // X_Level at 0.5: RC ln 2 on the right cursor; the count rises for the next press.
    Pick(dialog, 524, kXLevel);
    win::SetDlgItemText(dialog, 528, "0.5");
    Press(dialog, 106);
    EXPECT_NEAR(curve.cursorX[1] / (1e-3 * std::log(2.0)), 1.0, 1e-2);
    EXPECT_EQ(win::GetDlgItemText(dialog, 527), "2");
    EXPECT_NEAR(std::stod(win::GetDlgItemText(dialog, 534)) / (1e-3 * std::log(2.0)), 1.0, 1e-2);
    Pump();
    SaveScreen("performance_goto_dialog");
    // There is no second crossing: the search starts again from the first.
    Press(dialog, 106);
    EXPECT_EQ(win::GetDlgItemText(dialog, 527), "2");
    EXPECT_NEAR(curve.cursorX[1] / (1e-3 * std::log(2.0)), 1.0, 1e-2);
    // A two-point function moves both cursors: 10 % on the left, 90 % on the right.
    Pick(dialog, 524, kRiseTime);
    win::SetDlgItemText(dialog, 527, "1");
    win::SetDlgItemText(dialog, 528, "0.1");
    win::SetDlgItemText(dialog, 529, "0.9");
    Press(dialog, 105);
    EXPECT_NEAR(curve.cursorX[0] / (1e-3 * std::log(1 / 0.9)), 1.0, 5e-2);
    EXPECT_NEAR(curve.cursorX[1] / (1e-3 * std::log(10.0)), 1.0, 1e-2);
    // Nothing found: "No Value" and the count back to 1.
    win::SetDlgItemText(dialog, 529, "2");
    Press(dialog, 105);
    EXPECT_EQ(win::GetDlgItemText(dialog, 534), "No Value");
    EXPECT_EQ(win::GetDlgItemText(dialog, 527), "1");
    Press(dialog, 23);
    EXPECT_FALSE(win::IsWindow(dialog));
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

// Nested stepping of R1 (1k, 2k, 3k) and C1 (1u, 2u) against an ngspice control loop that alters
// the two parts, runs and measures: each performance point equals ngspice's measure of that case.
TEST_F(PerformanceWindowTest, TheFixedValueChooserListsTheSteppedValues)
{
    StepR1("1K", "3K", "1K");
    SteppingSlot& c = record_->document->stepping[1];
    c.flags = kStepOn | kStepComponent | kStepList;
    c.name = "C1";
    c.from = "1U,2U";
    c.deviceIndex = -1;
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    ASSERT_EQ(Plot().store.runCount, 6);

    // The slot combo (549) names R1 and C1; the value combo (550) lists what the runs used, so
    // that choosing C1 = 2u does not depend on remembering the order of the list.
    auto values = [](win::HWND dialog, int slot) {
        Pick(dialog, 549, slot);
        std::vector<std::string> texts;
        const auto count = static_cast<int>(win::SendDlgItemMessage(dialog, 550, win::CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::string text(256, '\0');
            win::SendDlgItemMessage(dialog, 550, win::CB_GETLBTEXT, static_cast<win::WPARAM>(i),
                                    reinterpret_cast<win::LPARAM>(text.data()));
            texts.push_back(text.c_str());
        }
        return texts;
    };
    std::vector<std::string> r1, c1;
    Answering({[&](win::HWND d) {
                   r1 = values(d, 0);
                   c1 = values(d, 1);
                   Pick(d, 550, 1);
               },
               Function(kXLevel, {"1", "0.5"}), Ok()},
              [] { return AddPerformanceWindow(); });
    EXPECT_EQ(r1, (std::vector<std::string>{"1000", "2000", "3000"}));
    EXPECT_EQ(c1, (std::vector<std::string>{"1e-06", "2e-06"}));
    PerformanceWindowRecord& node = Node();
    ASSERT_EQ(node.functions.size(), 1u);
    EXPECT_EQ(node.functions[0].steppingCases[1], 1);
    EXPECT_EQ(node.view.title, "X_Level(V(2),1,1,0.5) vs R1 : C1 = 2e-06");
}

TEST_F(PerformanceWindowTest, SteppedCasesAgreeWithAnNgspiceAlterLoop)
{
    ASSERT_EQ(std::system("command -v ngspice > /dev/null 2>&1"), 0) << "ngspice is needed for this comparison";
    StepR1("1K", "3K", "1K");
    SteppingSlot& c = record_->document->stepping[1];
    c.flags = kStepOn | kStepComponent | kStepList;
    c.name = "C1";
    c.param = "Value";
    c.from = "1U,2U";
    c.deviceIndex = -1;
    ASSERT_EQ(Run(SteppedRc("20M"), kAnalysisTransient), 0);
    ASSERT_EQ(Plot().store.runCount, 6);

    std::string netlist = SteppedRc("20M");
    netlist.resize(netlist.find(".PRINT"));
    const MeasuredByNgspice theirs = RunNgspiceMeasures(
        "stepped", netlist, "v(2)", false,
        {"meas tran trise TRIG v(2) VAL=0.1 RISE=1 TARG v(2) VAL=0.9 RISE=1", "meas tran thalf WHEN v(2)=0.5 CROSS=1"},
        "foreach rval 1k 2k 3k\nforeach cval 1u 2u\nalter R1 $rval\nalter C1 $cval");
    ASSERT_EQ(theirs.passes.count("trise"), 1u) << theirs.log;
    ASSERT_EQ(theirs.passes.at("trise").size(), 6u) << theirs.log;

    Answering({Function(kRiseTime, {"1", "0.1", "0.9"}), Ok()}, [] { return AddPerformanceWindow(); });
    PerformanceWindowRecord& node = Node();
    Answering({Function(kXLevel, {"1", "0.5"}), Ok()}, [&] { return AddPerformancePlot(node.window); });
    ASSERT_EQ(node.functions.size(), 2u);
    for (int cIndex = 0; cIndex < 2; ++cIndex) {
        for (FunctionRecord& f : node.functions) f.steppingCases[1] = cIndex;
        PreparePlotPoints(node.window);
        for (int f = 0; f < 2; ++f) {
            const auto points = Points(node, f);
            ASSERT_EQ(points.size(), 3u);
            const std::vector<double>& ng = theirs.passes.at(f == 0 ? "trise" : "thalf");
            for (int r = 0; r < 3; ++r) {
                EXPECT_DOUBLE_EQ(points[r].first, 1000.0 * (r + 1));
                EXPECT_NEAR(points[r].second / ng[static_cast<std::size_t>(r * 2 + cIndex)], 1.0, 2e-3)
                    << "function " << f << " R " << r << " C " << cIndex;
            }
        }
    }
    // Along C1 with R1 fixed at 2k.
    node.functions[0].xData = kAxisSourceStepSlot + 1;
    node.functions[0].steppingCases[0] = 1;
    PreparePlotPoints(node.window);
    const auto alongC = Points(node, 0);
    ASSERT_EQ(alongC.size(), 2u);
    EXPECT_DOUBLE_EQ(alongC[1].first, 2e-6);
    EXPECT_NEAR(alongC[1].second / theirs.passes.at("trise")[3], 1.0, 2e-3);
    EXPECT_EQ(node.view.title, "Rise_Time(V(2),1,1,0.1,0.9) vs C1.Value : R1 = 2000");
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(PerformanceWindowTest, TheMenuListsTheWindowsAndTheDoubleClickPopupHides)
{
    StepR1("1K", "2K", "1K");
    ASSERT_EQ(Run(SteppedRc(), kAnalysisTransient), 0);
    Answering({Function(kHigh, {}), Ok()}, [] { return AddPerformanceWindow(); });
    PerformanceWindowRecord& node = Node();
    const win::HMENU popup = win::CreatePopupMenu();
    win::AppendMenu(popup, win::MF_STRING, kCmdAddPerformanceWindow, "&Add Performance Window...");
    RebuildPerformanceMenu(popup);
    RebuildPerformanceMenu(popup);  // again: the entries are made anew, not added twice
    ASSERT_EQ(win::GetMenuItemCount(popup), 3);
    EXPECT_EQ(win::GetMenuItemID(popup, 2), static_cast<win::UINT>(kCmdFirstPerformanceWindow));
    win::DestroyMenu(popup);

    // A double click opens the window's popup; its Hide Window keeps the record.
    Answering({[](win::HWND) { win::headless::PressKey('H'); }},
              [&] { return win::SendMessage(node.window->window, win::WM_LBUTTONDBLCLK, 0, win::MAKELPARAM(100, 100)); });
    EXPECT_EQ(node.window, nullptr);
    EXPECT_EQ(List().count, 1);
}

}  // namespace
}  // namespace kq5::testing
