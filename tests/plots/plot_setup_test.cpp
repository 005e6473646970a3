#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/analysis_state.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/app_state.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/node_table.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "plots/curve_evaluation.h"
#include "document/default_limits_rows.h"
#include "results/limits_row.h"
#include "plots/plot_setup.h"
#include "results/waveform_store.h"

namespace kq5 {
namespace {

class PlotSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetAppStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ResetPlotRunForTests();
        ResetTransientRunForTests();
        win::ClearMessageBoxLog();
        SetWaveformMemoryProbeForTests([] { return true; });
        circuit_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        circuit_->plot = std::make_shared<PlotRecord>();
        window_ = NewWindowRecord(nullptr, kWindowAnalysis);
        window_->plot = circuit_->plot;
        RunControl().circuitWindow = circuit_;
        RunControl().analysisWindow = window_;
        Analysis().analysisKind = kAnalysisTransient;
        TransientRun().tmin = 0.0;
        TransientRun().tmax = 1e-3;
    }
    void TearDown() override
    {
        FreeWindowRecord(window_);
        FreeWindowRecord(circuit_);
        SetWaveformMemoryProbeForTests({});
        ResetRunControlForTests();
        ResetAnalysisStateForTests();
        win::ClearMessageBoxLog();
    }

    LimitsRow& AddRow(char group, const std::string& x, const std::string& y, std::uint16_t options = kLimitsLinearX | kLimitsLinearY)
    {
        auto& rows = circuit_->document->limitsRows[static_cast<std::size_t>(Analysis().analysisKind)];
        rows.emplace_back();
        LimitsRow& row = rows.back();
        row.plotGroup = group;
        row.xExpression = x;
        row.yExpression = y;
        row.xRange = row.yRange = "Auto";
        row.options = options;
        return row;
    }

    PlotRecord& Plot() { return *circuit_->plot; }
    CurveRecord& Curve(int i) { return *Plot().curves[static_cast<std::size_t>(i)]; }

    // The text of the last message box, "" when none was shown.
    static std::string LastMessage()
    {
        const auto& log = win::MessageBoxLog();
        return log.empty() ? std::string() : log.back().text;
    }

    WindowRecord* circuit_ = nullptr;
    WindowRecord* window_ = nullptr;
};

TEST_F(PlotSetupTest, NumberFormatsOfBothFormsAndTheirFailures)
{
    NumberFormat f;
    ASSERT_EQ(MakeNumberFormat(f, "3E", -1), 0);
    EXPECT_EQ(f.printfFormat, "% .3e");
    EXPECT_EQ(f.width, 11);
    EXPECT_EQ(f.text, "3E");
    ASSERT_EQ(MakeNumberFormat(f, "3.2", -1), 0);
    EXPECT_EQ(f.printfFormat, "%6.2f");
    EXPECT_EQ(f.width, 6);
    ASSERT_EQ(MakeNumberFormat(f, "5.3", -1), 0);
    EXPECT_EQ(f.printfFormat, "%9.3f");
    ASSERT_EQ(MakeNumberFormat(f, "16e", -1), 0);  // lower case is read as upper case
    EXPECT_EQ(f.width, 24);
    EXPECT_TRUE(win::MessageBoxLog().empty());

    for (const char* bad : {"E3", "3E2", "17E", "x3E", "3.17", "X", ""}) {
        win::ClearMessageBoxLog();
        EXPECT_EQ(MakeNumberFormat(f, bad, -1), kMsgAlreadyReported) << bad;
        EXPECT_NE(LastMessage().find("Error in format."), std::string::npos) << bad;
    }
    EXPECT_EQ(f.printfFormat, "% .16e");  // a failure leaves the format as it was
}

TEST_F(PlotSetupTest, NoPlottedRowFailsAndZeroGroupIsBlank)
{
    AddRow('0', "T", "T*2");
    AddRow(0, "T", "T*3", kLimitsOutput);
    EXPECT_EQ(SetupPlotsForRun(window_, true), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Must select an expression to plot."), std::string::npos);
    EXPECT_EQ(circuit_->document->limitsRows[0][0].plotGroup, 0);
    EXPECT_EQ(Plot().curveCount, 0);
}

TEST_F(PlotSetupTest, GroupsAreRenumberedAndPrintedRowsShareOrOwnCurves)
{
    AddRow('5', "T", "T*5");
    AddRow(0, "T", "T*7", kLimitsOutput | kLimitsLinearX | kLimitsLinearY);  // printed, not drawn
    AddRow('2', "T", "T*2", kLimitsOutput | kLimitsLinearX | kLimitsLinearY);  // plotted and printed
    AddRow('5', "T", "T*6");
    ASSERT_EQ(SetupPlotsForRun(window_, true), 0) << LastMessage();
    ASSERT_EQ(Plot().curveCount, 4);
    // Plotted rows first, in row order; the printed-only row last.
    EXPECT_EQ(Curve(0).yExpressionText, "T*5");
    EXPECT_EQ(Curve(1).yExpressionText, "T*2");
    EXPECT_EQ(Curve(2).yExpressionText, "T*6");
    EXPECT_EQ(Curve(3).yExpressionText, "T*7");
    EXPECT_EQ(Curve(0).plotGroup, 2);
    EXPECT_EQ(Curve(1).plotGroup, 1);
    EXPECT_EQ(Curve(2).plotGroup, 2);
    EXPECT_EQ(Curve(3).plotGroup, 0);
    EXPECT_EQ(Curve(0).placeInGroup, 0);
    EXPECT_EQ(Curve(1).placeInGroup, 0);
    EXPECT_EQ(Curve(2).placeInGroup, 1);
    EXPECT_EQ(Curve(3).placeInGroup, 13);
    EXPECT_EQ(Curve(1).roleFlags, kCurveRolePlotted | kCurveRolePrinted);
    EXPECT_EQ(Curve(3).roleFlags, kCurveRolePrinted);
    EXPECT_EQ(Curve(3).rowIndex, 1);
    EXPECT_EQ(NumericOutput().pending, 1);
    // One time column: the second printed curve's X repeats the first one's.
    EXPECT_TRUE(Curve(1).printAxis[0].print);
    EXPECT_TRUE(Curve(1).printAxis[1].print);
    EXPECT_FALSE(Curve(3).printAxis[0].print);
    EXPECT_TRUE(Curve(3).printAxis[1].print);
    EXPECT_FALSE(Curve(0).printAxis[1].print);
    // Default formats were supplied: "5.3" for values.
    EXPECT_EQ(Curve(1).valueFormat.printfFormat, "%9.3f");
}

TEST_F(PlotSetupTest, RangesFromRowTexts)
{
    LimitsRow& row = AddRow('1', "T", "T*2");
    row.yRange = "10,0";
    ASSERT_EQ(SetupPlotsForRun(window_, false), 0) << LastMessage();
    EXPECT_EQ(Curve(0).rangeMode[1], kRangeFromSetup);
    EXPECT_EQ(Curve(0).axisHigh[1], 10.0);
    EXPECT_EQ(Curve(0).axisLow[1], 0.0);
    // "Auto" on a time axis takes the run's time range.
    EXPECT_EQ(Curve(0).rangeMode[0], kRangeAutomatic);
    EXPECT_EQ(Curve(0).axisHigh[0], 1e-3);
    EXPECT_EQ(Curve(0).axisLow[0], 0.0);
    EXPECT_EQ(Curve(0).labelPrefix[0], 'm');
    EXPECT_DOUBLE_EQ(Curve(0).printAxis[0].printScale, 1000.0);

    for (const char* text : {"auto", "AUTO"}) {
        row.yRange = text;
        ASSERT_EQ(SetupPlotsForRun(window_, false), 0);
        EXPECT_EQ(Curve(0).rangeMode[1], kRangeAutomatic) << text;
        EXPECT_EQ(Curve(0).axisLow[1], -10.0) << text;
    }

    row.yRange = "0,10";
    EXPECT_EQ(SetupPlotsForRun(window_, false), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Illegal range."), std::string::npos);

    ResetRunControlForTests();
    RunControl().circuitWindow = circuit_;
    win::ClearMessageBoxLog();
    row.yRange = "10,0";
    row.options = kLimitsLinearX;  // logarithmic Y
    EXPECT_EQ(SetupPlotsForRun(window_, false), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Illegal range."), std::string::npos);
}

TEST_F(PlotSetupTest, AutomaticAxesTakeTheExplicitRangeOfTheirGroup)
{
    AddRow('1', "T", "T");
    LimitsRow& second = AddRow('1', "T", "T*2");
    second.yRange = "4,2";
    ASSERT_EQ(SetupPlotsForRun(window_, false), 0) << LastMessage();
    EXPECT_EQ(Curve(0).axisHigh[1], 4.0);
    EXPECT_EQ(Curve(0).axisLow[1], 2.0);
    EXPECT_EQ(Curve(0).referenceLow[1], 2.0);
}

TEST_F(PlotSetupTest, DifferentXExpressionsInOneGraphStopTheRun)
{
    AddRow('1', "T", "T");
    AddRow('1', "2*T", "T");
    ASSERT_EQ(SetupPlotsForRun(window_, false), 0);
    EXPECT_EQ(CheckGroupConsistency(window_), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Different X expressions for the same graph."), std::string::npos);

    // The same X written apart compiles to the same instructions.
    EXPECT_TRUE(SameCompiledExpression(Curve(0).xExpression, Curve(0).xExpression));
    EXPECT_FALSE(SameCompiledExpression(Curve(0).xExpression, Curve(1).xExpression));
}

TEST_F(PlotSetupTest, ValuesAreLimitedKeptTrueOnLogAxesAndMagnitudesOfComplex)
{
    AddRow('1', "T", "1e40");
    AddRow('2', "T", "-3", kLimitsLinearX);      // logarithmic Y
    AddRow('3', "T", "3+4*J");
    AddRow('4', "T", "-1e40");
    ASSERT_EQ(SetupPlotsForRun(window_, true), 0) << LastMessage();
    Analysis().variables.time = 2e-4;
    ASSERT_EQ(EvaluateCurveExpressions(window_), 0);
    EXPECT_EQ(PlotRun().acceptedPoints, 0);
    EXPECT_EQ(Curve(0).currentValue[1], 1e30);
    EXPECT_EQ(Curve(1).currentValue[1], -3.0);  // only the drawing holds it at the axis floor
    EXPECT_DOUBLE_EQ(Curve(2).currentValue[1], 5.0);
    EXPECT_EQ(Curve(3).currentValue[1], -1e30);
    EXPECT_EQ(Curve(0).currentValue[0], 2e-4);
}

TEST_F(PlotSetupTest, TimeAsXOfAnAcRunReadsTheFrequency)
{
    Analysis().analysisKind = kAnalysisAc;
    AddRow('1', "T", "F*2");
    ASSERT_EQ(SetupPlotsForRun(window_, true), 0) << LastMessage();
    EXPECT_EQ(Curve(0).xLetter[0], 'T');
    Analysis().variables.frequency = 1000.0;
    Analysis().variables.time = 7.0;
    ASSERT_EQ(EvaluateCurveExpressions(window_), 0);
    EXPECT_EQ(Curve(0).currentValue[0], 1000.0);
    EXPECT_EQ(Curve(0).currentValue[1], 2000.0);
    EXPECT_FALSE(HasFftCurveInAC(window_));
}

TEST_F(PlotSetupTest, PointsGoToTheStoreWithTheSweepInSlotZero)
{
    AddRow('1', "T", "T*2");
    AddRow('1', "T", "T*3");
    ASSERT_EQ(SetupPlotsForRun(window_, true), 0) << LastMessage();
    EXPECT_EQ(Curve(0).storeSlots[0], 0);
    EXPECT_EQ(Curve(1).storeSlots[0], 0);
    RewindWaveformStore(Plot());  // as each run does before its first point
    for (int i = 0; i < 3; ++i) {
        Analysis().variables.time = i * 1e-4;
        ASSERT_EQ(EvaluateCurveExpressions(window_), 0);
        PlotCurrentPoint(window_, 0);
    }
    EXPECT_EQ(Curve(1).lastPointIndex, 2);
    EXPECT_DOUBLE_EQ(GetWaveformValue(Plot().store, 0, 2), 2e-4);
    EXPECT_DOUBLE_EQ(GetWaveformValue(Plot().store, Curve(1).storeSlots[1], 2), 6e-4);
    EXPECT_DOUBLE_EQ(Curve(0).dataMax[1], 4e-4);
    EXPECT_EQ(Curve(0).dataMin[1], 0.0);
    EXPECT_EQ(Curve(0).xMaxPoint, 2);
}

TEST_F(PlotSetupTest, EmptyAcRowsTakeMagnitudeAndPhaseOfEachNodeInTurn)
{
    Analysis().analysisKind = kAnalysisAc;
    NodeTable saved = CircuitNodeTable();
    CircuitNodeTable().rows = {{"0", 0, 0, 0}, {"1", 1, 0, 0}, {"2", 2, 0, 0}, {"OUT", 2, 0, 0}};
    for (int i = 0; i < 5; ++i) AddRow('1', "", "", 0).xRange.clear();
    AddRow(0, "", "", 0);  // neither plotted nor printed: left alone
    FillDefaultLimitsRows(circuit_, false, false, false);
    const auto& rows = circuit_->document->limitsRows[kAnalysisAc];
    EXPECT_EQ(rows[0].yExpression, "db(v(1))");
    EXPECT_EQ(rows[1].yExpression, "ph(v(1))");
    EXPECT_EQ(rows[2].yExpression, "db(v(OUT))");  // a name that is not a number is preferred
    EXPECT_EQ(rows[3].yExpression, "ph(v(OUT))");
    EXPECT_EQ(rows[4].yExpression, "");  // no node left: the row leaves the plots
    EXPECT_EQ(rows[4].plotGroup, 0);
    EXPECT_EQ(rows[5].yExpression, "");
    EXPECT_EQ(rows[0].xExpression, "F");
    EXPECT_EQ(rows[0].xRange, "Auto");
    EXPECT_EQ(rows[0].yValueFormat, "5.3");
    EXPECT_EQ(rows[0].xScaleFormat, "2");
    EXPECT_EQ(circuit_->document->limits.ac[0], "1E8,1Meg");
    EXPECT_EQ(circuit_->document->limits.ac[4], "NONE");
    EXPECT_EQ(circuit_->modified, 1);

    // Reset ranges: a typed range reads "Auto" again.
    circuit_->document->limitsRows[kAnalysisAc][0].yRange = "10,1";
    FillDefaultLimitsRows(circuit_, true, true, false);
    EXPECT_EQ(rows[0].yRange, "Auto");
    CircuitNodeTable() = saved;
}

}  // namespace
}  // namespace kq5
