#include <gtest/gtest.h>

#include "probe_test_support.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/app_state.h"
#include "ui/prompt_dialog.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "platform/backend.h"
#include "platform/message_box.h"
#include "results/curve_record.h"
#include "plots/plot_setup.h"
#include "plots/probe_mode.h"
#include "document/component_definition.h"

namespace kq5 {
namespace {

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetAppStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetPlotRunForTests();
        ResetProbeModeForTests();
        win::ClearMessageBoxLog();
        circuit_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        circuit_->plot = std::make_shared<PlotRecord>();
        RunControl().circuitWindow = circuit_;
        Analysis().analysisKind = kAnalysisTransient;
        ProbeMode().run = [this] {
            ++runs_;
            return runResult_;
        };
    }
    void TearDown() override
    {
        ResetProbeModeForTests();
        FreeWindowRecord(circuit_);
        ResetRunControlForTests();
        ResetAnalysisStateForTests();
    }

    SchematicItem* PlaceTransistor() { return testing::PlaceProbeTransistor(circuit_, npn_); }

    WindowRecord* circuit_ = nullptr;
    ComponentDefinition npn_;
    int runs_ = 0;
    int runResult_ = 0;
};

TEST_F(ProbeTest, TextsOfTheQuantityAtTheProbedPlace)
{
    ASSERT_EQ(SetProbeRowCount(1), 0);
    ProbeRow& row = ProbeMode().rows[0];
    row.name = "Q1";
    row.pinLetters = {'B', 'E'};
    EXPECT_EQ(BuildProbeExpression(row, 1), "VBE(Q1)");
    EXPECT_EQ(BuildProbeExpression(row, 0), "T");
    row.yQuantity = 16009;  // Current
    EXPECT_EQ(BuildProbeExpression(row, 1), "iB(Q1)");
    row.yQuantity = 16011;  // Charge
    EXPECT_EQ(BuildProbeExpression(row, 1), "QBE(Q1)");
    row.pinLetters = {' ', ' '};
    row.yQuantity = 16010;  // Resistance
    EXPECT_EQ(BuildProbeExpression(row, 1), "R(Q1)");

    // A long part name is kept whole.
    row.name = std::string(60, 'Q');
    row.yQuantity = 16008;
    EXPECT_EQ(BuildProbeExpression(row, 1), "V(" + std::string(60, 'Q') + ")");

    // A node without a name plots its number; AC wraps the function around it.
    Analysis().analysisKind = kAnalysisAc;
    ASSERT_EQ(SetProbeRowCount(0), 0);
    ASSERT_EQ(SetProbeRowCount(1), 0);
    ProbeRow& ac = ProbeMode().rows[0];
    ac.node = 5;
    EXPECT_EQ(BuildProbeExpression(ac, 1), "DB(V(5))");
    EXPECT_EQ(BuildProbeExpression(ac, 0), "F");
    ac.yFunction = 16035;  // Phase
    EXPECT_EQ(BuildProbeExpression(ac, 1), "PH(V(5))");
    ac.yQuantity = 16030;  // Inoise
    EXPECT_EQ(BuildProbeExpression(ac, 1), "inoise");

    // DC: the X axis is the voltage of the first sweep source.
    Analysis().analysisKind = kAnalysisDc;
    circuit_->document->limits.dc[kLimitI1] = "VIN";
    ASSERT_EQ(SetProbeRowCount(0), 0);
    ASSERT_EQ(SetProbeRowCount(1), 0);
    ProbeRow& dc = ProbeMode().rows[0];
    dc.node = 2;
    EXPECT_EQ(BuildProbeExpression(dc, 0), "V(VIN)");
    EXPECT_EQ(BuildProbeExpression(dc, 1), "V(2)");
}

TEST_F(ProbeTest, ThePinPairNearestTheClickNearerPinFirst)
{
    const std::vector<win::POINT> pins = {{24, 16}, {20, 20}, {24, 24}};
    // On the base-emitter line, nearer the base.
    auto pair = ChooseProbePinPair(pins, {21, 21});
    EXPECT_EQ(pair[0], 1);
    EXPECT_EQ(pair[1], 2);
    // Nearer the emitter.
    pair = ChooseProbePinPair(pins, {23, 23});
    EXPECT_EQ(pair[0], 2);
    EXPECT_EQ(pair[1], 1);
    // Collector-emitter line.
    pair = ChooseProbePinPair(pins, {24, 19});
    EXPECT_EQ(pair[0], 0);
    EXPECT_EQ(pair[1], 2);
    // Far outside every pair's grown box.
    pair = ChooseProbePinPair(pins, {100, 100});
    EXPECT_EQ(pair[0], -1);
}

TEST_F(ProbeTest, AClickOnATransistorPlotsItsPinPairVoltage)
{
    PlaceTransistor();
    // Grid (21, 19), eight pixels a grid unit at scale 1: between base and emitter, nearer the base.
    EXPECT_EQ(HandleProbeClick(circuit_, 21 * 8, 19 * 8, 1), 1);
    ASSERT_EQ(ProbeMode().rows.size(), 1u);
    const ProbeRow& row = ProbeMode().rows[0];
    EXPECT_EQ(row.name.value_or("?"), "Q1");
    EXPECT_EQ(row.pinLetters[0], 'B');
    EXPECT_EQ(row.pinLetters[1], 'E');
    EXPECT_EQ(BuildProbeExpression(row, 1), "VBE(Q1)");
    EXPECT_EQ(runs_, 1);
    EXPECT_EQ(RunControl().probeState, kProbeIdle);

    // A click exactly on the base pin probes its node. Many Traces keeps the first row.
    EXPECT_EQ(HandleProbeClick(circuit_, 20 * 8, 20 * 8, 1), 1);
    ASSERT_EQ(ProbeMode().rows.size(), 2u);
    EXPECT_EQ(ProbeMode().rows[1].node, 8);
    EXPECT_FALSE(ProbeMode().rows[1].name.has_value());
    EXPECT_NE(ProbeMode().rows[1].color, -1);

    // One Trace: each click replaces the single row.
    EXPECT_EQ(HandleProbeMenuCommand(kCmdProbeOneTrace), 0);
    EXPECT_EQ(HandleProbeClick(circuit_, 24 * 8, 16 * 8, 1), 1);
    ASSERT_EQ(ProbeMode().rows.size(), 1u);
    EXPECT_EQ(ProbeMode().rows[0].node, 9);

    // A click on nothing adds a row without a name, which is dropped again.
    EXPECT_EQ(HandleProbeMenuCommand(kCmdProbeManyTraces), 0);
    const int before = runs_;
    EXPECT_EQ(HandleProbeClick(circuit_, 400 * 8, 400 * 8, 1), 0);
    EXPECT_EQ(ProbeMode().rows.size(), 1u);
    EXPECT_EQ(runs_, before);

    // A failing run takes the new row out again.
    runResult_ = 15055;
    EXPECT_EQ(HandleProbeClick(circuit_, 21 * 8, 19 * 8, 1), 0);
    EXPECT_EQ(ProbeMode().rows.size(), 1u);
}

TEST_F(ProbeTest, MenuCommandsSetTheDescriptor)
{
    ProbeMenuDescriptor& d = CurrentProbeDescriptor();
    EXPECT_EQ(HandleProbeMenuCommand(16009), 0);  // Vertical: Current
    EXPECT_EQ(d.words[kProbeYQuantity], 16009);
    EXPECT_EQ(HandleProbeMenuCommand(16018), 0);  // Horizontal: Voltage
    EXPECT_EQ(d.words[kProbeXQuantity], 16018);
    EXPECT_EQ(HandleProbeMenuCommand(16075), 0);
    EXPECT_EQ(d.words[kProbeGroup], 5);
    EXPECT_EQ(HandleProbeMenuCommand(kCmdProbeYLog), 0);
    EXPECT_EQ(d.words[kProbeYScale], 1);
    EXPECT_TRUE(ProbeMenuItem(kCmdProbeYLog).checked);
    EXPECT_EQ(HandleProbeMenuCommand(12345), 1);  // not a probe command

    // Save All reruns when the last run kept only V and I; never available in AC.
    EXPECT_EQ(HandleProbeMenuCommand(kCmdProbeSaveAll), 0);
    EXPECT_EQ(ProbeMode().keepWord, 2);
    EXPECT_EQ(runs_, 1);
    EXPECT_TRUE(ProbeMenuItem(kCmdProbeSaveAll).enabled);
    EXPECT_TRUE(ProbeMenuItem(16012).enabled);
    EXPECT_EQ(HandleProbeMenuCommand(kCmdProbeSaveVI), 0);
    EXPECT_FALSE(ProbeMenuItem(16012).enabled);  // Capacitance needs Save All
    Analysis().analysisKind = kAnalysisAc;
    EXPECT_FALSE(ProbeMenuItem(kCmdProbeSaveAll).enabled);
    EXPECT_EQ(CurrentProbeDescriptor().words[kProbeYFunction], 16034);
}

TEST_F(ProbeTest, CurvesAreBuiltFromTheRowsAndSeparated)
{
    ASSERT_EQ(SetProbeRowCount(2), 0);
    ProbeMode().rows[0].yQuantity = 16017;  // Time
    ProbeMode().rows[1].yOverride = "T*2";
    RunControl().probeState = kProbeReplot;
    ASSERT_EQ(SetUpProbeCurves(circuit_), 0) << (win::MessageBoxLog().empty() ? "" : win::MessageBoxLog().back().text);
    PlotRecord& plot = *circuit_->plot;
    ASSERT_EQ(plot.curveCount, 2);
    EXPECT_EQ(plot.curves[0]->yExpressionText, "T");
    EXPECT_EQ(plot.curves[1]->yExpressionText, "T*2");
    EXPECT_EQ(plot.curves[0]->xExpressionText, "T");
    EXPECT_EQ(ProbeMode().rows[0].yOverride.value_or(""), "T");  // kept for later menu changes
    EXPECT_EQ(plot.curves[0]->roleFlags, kCurveRolePlotted);
}

TEST_F(ProbeTest, AddPlotTakesATypedExpressionAndAFailureTakesItOut)
{
    PromptAnswer answer;
    answer.text = "T*3";
    PushPromptAnswer(answer);
    EXPECT_EQ(HandleProbeMenuCommand(kCmdProbeAddPlot), 0);
    ASSERT_EQ(ProbeMode().rows.size(), 1u);
    EXPECT_EQ(ProbeMode().rows[0].yOverride.value_or(""), "T*3");
    EXPECT_EQ(ProbeMode().lastAddPlotText, "T*3");
    EXPECT_EQ(runs_, 1);

    // A replot that fails: the new row goes again, and an edited row gets its old text back.
    runResult_ = 15055;
    answer.text = "bad(";
    PushPromptAnswer(answer);
    EXPECT_EQ(AddProbePlot(-1), 15055);
    EXPECT_EQ(ProbeMode().rows.size(), 1u);
    PushPromptAnswer(answer);
    EXPECT_EQ(AddProbePlot(0), 15055);
    EXPECT_EQ(ProbeMode().rows[0].yOverride.value_or(""), "T*3");
    ClearPromptDialogs();
}

// What the circuit is made of decides what a probe can separate and what a full run plots; the
// wait cursor stands while the rows run.
TEST_F(ProbeTest, TheCircuitsNodeKindsShapeTheProbe)
{
    std::array<std::int32_t, 2>& counts = circuit_->document->analysisNodeCounts;
    counts = {3, 0};
    EXPECT_FALSE(ProbeMenuItem(kCmdProbeSeparate).enabled);
    counts = {0, 4};
    EXPECT_FALSE(ProbeMenuItem(kCmdProbeSeparate).enabled);
    counts = {3, 4};
    EXPECT_TRUE(ProbeMenuItem(kCmdProbeSeparate).enabled);
    RunControl().running = 1;
    EXPECT_FALSE(ProbeMenuItem(kCmdProbeSeparate).enabled);
    RunControl().running = 0;

    int levelDuringRun = 0;
    ProbeMode().run = [&levelDuringRun] {
        levelDuringRun = WaitCursorLevel();
        return 0;
    };
    // A digital-only circuit: the full run's row reads a logic state.
    counts = {0, 4};
    ASSERT_EQ(SetProbeRowCount(1), 0);
    RunControl().probeState = kProbeFullRun;
    EXPECT_EQ(ApplyProbeRows(1, -1), 0);
    EXPECT_EQ(ProbeMode().rows[0].digital, 1);
    EXPECT_EQ(levelDuringRun, 1);
    EXPECT_EQ(WaitCursorLevel(), 0);
    EXPECT_EQ(RunControl().probeState, kProbeIdle);
    // With analog nodes the row stays analog; a replot never changes it.
    counts = {3, 4};
    ProbeMode().rows[0].digital = 0;
    RunControl().probeState = kProbeNewRun;
    EXPECT_EQ(ApplyProbeRows(1, -1), 0);
    EXPECT_EQ(ProbeMode().rows[0].digital, 0);
    counts = {0, 4};
    RunControl().probeState = kProbeReplot;
    EXPECT_EQ(ApplyProbeRows(1, -1), 0);
    EXPECT_EQ(ProbeMode().rows[0].digital, 0);
}

}  // namespace
}  // namespace kq5
