#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "devices/temperature_setup.h"
#include "ui/app_state.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/timers.h"
#include "devices/device_record_types.h"
#include "netlist/fet_devices.h"
#include "document/circuit_document.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "platform/backend.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "analog/analysis_run_services.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"

namespace kq5 {
namespace {

class RunControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetAppStateForTests();
        ResetAnalysisStateForTests();
        ResetAnalogSolverStateForTests();
        ResetRunControlForTests();
        ResetGlobalOptionsForTests();
        win::ClearMessageBoxLog();
        circuit_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        circuit_->plot = std::make_shared<PlotRecord>();
        SetCurrentDocument(circuit_);
        RunControl().circuitWindow = circuit_;
        RunControl().runStartTime = GetTimeSeconds();
    }
    void TearDown() override
    {
        ResetRunControlForTests();
        ResetAnalysisStateForTests();
        ResetAppStateForTests();
        win::ClearMessageBoxLog();
    }

    void PostKey(int key) { win::PostMessage(nullptr, win::WM_KEYDOWN, static_cast<win::WPARAM>(key), 0); }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(RunControlTest, TemperatureRangeFromTheLimits)
{
    Analysis().analysisKind = kAnalysisTransient;
    std::string& field = circuit_->document->limits.transient[kLimitTTemp];
    int a = -1, b = -1;
    field = "27";
    ReadTemperatureRange(kLimitTTemp);
    ResetRunState(a, b);
    const TemperatureSweep& t = RunControl().temperature;
    EXPECT_EQ(t.high, 27.0);
    EXPECT_EQ(t.low, 27.0);
    EXPECT_EQ(t.step, 0.0);
    EXPECT_EQ(t.current, 27.0);
    EXPECT_EQ(t.more, 0);
    EXPECT_EQ(a + b, 0);

    field = "100, 0, 25";
    ReadTemperatureRange(kLimitTTemp);
    ResetRunState(a, b);
    EXPECT_EQ(t.high, 100.0);
    EXPECT_EQ(t.low, 0.0);
    EXPECT_EQ(t.step, 25.0);
    EXPECT_EQ(t.current, -25.0);
    EXPECT_EQ(t.more, 1);

    field = "0,100";
    ReadTemperatureRange(kLimitTTemp);
    EXPECT_EQ(t.high, 100.0);
    EXPECT_EQ(t.low, 100.0);
    EXPECT_EQ(t.step, 0.0);
}

TEST_F(RunControlTest, StopPostsEscAndTheKeyPollStopsTheRun)
{
    RunControlState& rc = RunControl();
    rc.running = 1;
    StopAnalysisRun();
    // The poll looks at the keyboard on every sixth call only.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(PollRunKeys(nullptr, 6), 0);
    EXPECT_EQ(RunStopRequested(), 0);
    EXPECT_EQ(PollRunKeys(nullptr, 6), kEscapeKey);
    EXPECT_EQ(RunStopRequested(), 1);
    EXPECT_EQ(PollRunKeys(nullptr, 6), kEscapeKey);  // and it stays pending
}

TEST_F(RunControlTest, StopWhilePausedDoesNothing)
{
    RunControl().running = 1;
    RunControl().paused = 1;
    StopAnalysisRun();
    EXPECT_EQ(PollRunKeys(nullptr, 1), 0);
    EXPECT_EQ(RunStopRequested(), 0);
}

TEST_F(RunControlTest, PHoldsTheRunUntilPressedAgainOrEsc)
{
    PostKey('p');
    PostKey('P');
    EXPECT_EQ(PollRunKeys(nullptr, 1), 0);
    EXPECT_EQ(RunControl().pauseDisplay, 0);
    EXPECT_EQ(RunStopRequested(), 0);

    PostKey('P');
    PostKey(kEscapeKey);
    EXPECT_EQ(PollRunKeys(nullptr, 1), kEscapeKey);
    EXPECT_EQ(RunStopRequested(), 1);
}

TEST_F(RunControlTest, CptimeLimitStopsTheRunWithItsMessage)
{
    GlobalOptions().values.cptime = 0.5;
    RunControl().runStartTime = GetTimeSeconds() - 1.0;
    EXPECT_EQ(PollRunKeys(nullptr, 1), kEscapeKey);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].caption.find("15048"), std::string::npos);
    EXPECT_EQ(PollRunKeys(nullptr, 1), kEscapeKey);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
}

TEST_F(RunControlTest, AFailureIsReportedOncePerRun)
{
    ReportAnalysisFailure0(kFocusNothing, 0, 15051);
    ReportAnalysisFailure0(kFocusNothing, 0, 15002);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].caption.find("15051"), std::string::npos);
    EXPECT_EQ(RunControl().failureReported, 1);
}

TEST_F(RunControlTest, RunDataModeFromTheOptionsWordAndProbeState)
{
    Analysis().analysisKind = kAnalysisAc;
    PlotViewOf(circuit_->plot).optionWord[kAnalysisAc] = 0x1A0;
    ChooseRunDataMode(circuit_);
    EXPECT_EQ(RunControl().runDataMode, kRunDataSave);
    EXPECT_EQ(RunControl().secondModeWord, 1);
    RunControl().probeState = kProbeReplot;
    RunControl().retrieveChoice = 1;
    ChooseRunDataMode(circuit_);
    EXPECT_EQ(RunControl().runDataMode, kRunDataNormal);
    Analysis().analysisKind = kAnalysisDc;
    ChooseRunDataMode(circuit_);
    EXPECT_EQ(RunControl().runDataMode, kRunDataRetrieve);
}

TEST_F(RunControlTest, TimedRunsAndMissingRunLoops)
{
    AnalysisKindHandlers handlers;
    handlers.run = [] { return 15056; };
    SetAnalysisKindHandlers(kAnalysisDc, handlers);
    RunControl().elapsedTime = -1.0;
    EXPECT_EQ(RunAnalysisTimed(kAnalysisDc), 15056);
    EXPECT_GE(RunControl().elapsedTime, 0.0);
    EXPECT_EQ(RunAnalysisTimed(7), 0);
    SetAnalysisKindHandlers(kAnalysisDc, {});
    EXPECT_EQ(RunAnalysisTimed(kAnalysisDc), kMsgAlreadyReported);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].caption.find("13374"), std::string::npos);
}

// --- circuit set-up at the analysis temperature ------------------------------------------------

class TemperatureSetupTest : public RunControlTest {
protected:
    void SetUp() override
    {
        RunControlTest::SetUp();
        ClearModelTable();
        ResetDeviceListsForTests();
        RegisterCircuitDeviceRecordTypes();
        ApplyDeviceListSizes();
    }
    void TearDown() override
    {
        ResetDeviceListsForTests();
        ClearModelTable();
        RunControlTest::TearDown();
    }

    EvaluatedModel& AddModel(int type)
    {
        auto* m = ListAppendAs<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)], 0);
        const ModelTypeRow& row = *FindModelTypeRow(type);
        m->params.assign(static_cast<std::size_t>(row.runTimeCount), 0.0f);
        for (int i = 0; i < row.statementCount; ++i) m->params[static_cast<std::size_t>(i)] = row.params[i].defaultValue;
        m->row = type;
        return *m;
    }
};

TEST_F(TemperatureSetupTest, ThermalVoltageAt27Degrees)
{
    EXPECT_DOUBLE_EQ(ThermalVoltage(27.0), 300.15 * 1.3806226e-23 / 1.6021917999999998e-19);
    EXPECT_NEAR(ThermalVoltage(27.0), 0.025864, 1e-6);
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_DOUBLE_EQ(Analysis().variables.vt, ThermalVoltage(27.0));
}

TEST_F(TemperatureSetupTest, MosfetProcessDefaultsByLevel)
{
    EvaluatedModel& level1 = AddModel(kModelNmos);
    EvaluatedModel& level2 = AddModel(kModelNmos);
    level2.params[0] = 2.0f;
    EvaluatedModel& level3 = AddModel(kModelPmos);
    level3.params[0] = 3.0f;
    level3.params[24] = 1e15f;  // NSUB per cm^3
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);

    EXPECT_EQ(level1.params[23], 0.0f);  // no TOX: no process derivation
    EXPECT_EQ(level1.params[2], 2e-5f);
    EXPECT_EQ(level1.params[1], 0.0f);
    EXPECT_EQ(level1.params[6], 0.6f);

    EXPECT_FLOAT_EQ(level2.params[23], static_cast<float>(3.45314379969e-11 / 1e-7f));  // TOX ends as Cox
    EXPECT_FLOAT_EQ(level2.params[2], static_cast<float>(600.0 * 3.45314379969e-11 / 1e-7f * 1e-4));

    const double vt = ThermalVoltage(27.0);
    EXPECT_FLOAT_EQ(level3.params[6], static_cast<float>(2.0 * vt * std::log(1e21 / 1.45e16)));
    EXPECT_EQ(level3.params[44], 0.2f);  // KAPPA
    EXPECT_EQ(level3.params[32], 0.0f);  // UCRIT
    EXPECT_NE(level3.params[5], 0.0f);   // GAMMA derived from NSUB
    EXPECT_EQ(RunControl().modelError, 0);
}

TEST_F(TemperatureSetupTest, ImpossibleSubstrateDopingIsReported)
{
    EvaluatedModel& zero = AddModel(kModelNmos);
    zero.params[0] = 2.0f;
    zero.params[24] = 0.0f;
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());

    EvaluatedModel& low = AddModel(kModelNmos);
    low.params[0] = 2.0f;
    low.params[24] = 1e9f;
    EXPECT_EQ(SetCircuitTemperature(27.0), kMsgAlreadyReported);
    EXPECT_EQ(low.params[24], 0.0f);
    EXPECT_EQ(RunControl().modelError, 1);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().caption.find("13661"), std::string::npos);
}

TEST_F(TemperatureSetupTest, DiodeBreakdownKnee)
{
    EvaluatedModel& none = AddModel(kModelDiode);
    EvaluatedModel& knee = AddModel(kModelDiode);
    knee.params[6] = 10.0f;   // BV
    knee.params[7] = 1e-3f;   // IBV
    knee.params[15] = 1.0f;   // M exactly 1 is moved off
    EvaluatedModel& level2 = AddModel(kModelDiode);
    level2.params[0] = 2.0f;
    level2.params[6] = 10.0f;
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_EQ(none.params[6], 0.0f);
    EXPECT_EQ(level2.params[6], 10.0f);
    const double vt = ThermalVoltage(27.0);
    EXPECT_NEAR(knee.params[6], 10.0 - vt * std::log(1e-3 / 1e-14), 1e-4);
    EXPECT_EQ(knee.params[15], 0.999f);
}

TEST_F(TemperatureSetupTest, MosfetInstancesTakeModelOrDefaultGeometry)
{
    EvaluatedModel& model = AddModel(kModelNmos);
    model.params[0] = 1.0f;
    model.params[4] = 20e-6f;  // W of the model
    auto* m = ListAppendAs<MosfetDevice>(DeviceList(kMosfetDeviceList), 0);
    m->model = &model;
    m->l = 5e-6;  // not given on the instance: cleared
    m->wNominal = 0.0;
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_EQ(m->l, 100e-6);
    EXPECT_FLOAT_EQ(static_cast<float>(m->w), 20e-6f);
    EXPECT_EQ(m->nrd, 1.0);
    EXPECT_EQ(m->nrs, 1.0);
}

}  // namespace
}  // namespace kq5
