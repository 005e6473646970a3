#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../core/file_test_support.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "ui/app_state.h"
#include "ui/window_record.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "netlist/circuit_build.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

class RunDataFileTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetAppStateForTests();
        ResetAnalysisStateForTests();
        ResetAnalogSolverStateForTests();
        ResetRunControlForTests();
        ResetRunDataFileForTests();
        ResetCircuitBuildForTests();
        ResetDigitalSimulatorForTests();
        win::ClearMessageBoxLog();
        circuit_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        circuit_->title = PathOf("amp.cir");
        RunControl().circuitWindow = circuit_;
        Analysis().analysisKind = kAnalysisDc;
    }
    void TearDown() override
    {
        CloseSimulationDataFile();
        ResetRunDataFileForTests();
        ResetCircuitBuildForTests();
        ResetDigitalSimulatorForTests();
        ResetAnalogSolverStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetAppStateForTests();
        win::ClearMessageBoxLog();
        ScratchDirTest::TearDown();
    }

    void Circuit(int nodes, int digital, int unknowns)
    {
        CircuitBuild().lastBuildNodeCounts = {nodes, digital};
        Analysis().equationCount = unknowns;
        DigitalSimulator().current.assign(static_cast<std::size_t>(digital) + 1, 0);
    }

    int Open(int mode, int extra = 0)
    {
        RunControl().runDataMode = mode;
        int counter = -1;
        const int result = OpenSimulationDataFile(counter, extra);
        if (result == 0 && mode != kRunDataNormal) {
            EXPECT_EQ(counter, 0);
        }
        return result;
    }

    std::uintmax_t FileSize() { return std::filesystem::file_size(PathOf("amp.DSA")); }

    bool Reported(const std::string& id)
    {
        for (const auto& box : win::MessageBoxLog())
            if (box.caption.find(id) != std::string::npos) return true;
        return false;
    }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(RunDataFileTest, SavedPointsReadBackWithTheirDigitalStates)
{
    Circuit(3, 2, 5);
    ASSERT_EQ(Open(kRunDataSave), 0);
    circuit_->document->reduceSave[kAnalysisDc] = 4;  // mixed mode keeps every point anyway
    for (int p = 0; p < 4; ++p) {
        DigitalSimulator().current = {0, static_cast<std::uint16_t>(0x1F8 | p), static_cast<std::uint16_t>(0xABCD + p)};
        const std::vector<double> x = {0.0, 1.0 + p, 2.0 + p, -3.0 * p, 99.0, 99.0};
        AnalogSolver().acceptedPointCount = p + 1;
        ASSERT_EQ(SaveRunDataPoint(0.5 * p, x), 0);
    }
    CloseSimulationDataFile();
    // A Save keeps every unknown: the two branch currents come back as well as the voltages.
    const int record = RunDataRecordSize(kRunDataEverything);
    EXPECT_EQ(record, 2 + 5 + 1);  // X, mixed flag, five unknowns, four state bytes in one double
    EXPECT_EQ(FileSize(), 8u + 4u * static_cast<unsigned>(record) * 8u);

    ASSERT_EQ(Open(kRunDataRetrieve), 0);
    int counter = 0;
    double x = -1.0, step = 0.0;
    std::vector<double> solution(8, 0.0);
    for (int p = 0; p < 4; ++p) {
        ASSERT_EQ(ReadRunDataPoint(counter, x, step, solution), 0);
        EXPECT_EQ(x, 0.5 * p);
        EXPECT_EQ(step, p == 0 ? 1.0 : 0.5);
        EXPECT_EQ(solution[1], 1.0 + p);
        EXPECT_EQ(solution[3], -3.0 * p);
        EXPECT_EQ(solution[4], 99.0);
        EXPECT_EQ(DigitalSimulator().current[1], 0x1F8 | p);
        EXPECT_EQ(DigitalSimulator().current[2], 0xABCD + p);
    }
    EXPECT_EQ(AnalogSolver().stopFlag, 0);
    // Past the last record the run stops, without a message.
    EXPECT_EQ(ReadRunDataPoint(counter, x, step, solution), 0);
    EXPECT_EQ(AnalogSolver().stopFlag, 1);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(RunDataFileTest, ThinningKeepsEveryNthPointAndTheLastOne)
{
    Circuit(1, 0, 1);
    circuit_->document->reduceSave[kAnalysisDc] = 3;
    ASSERT_EQ(Open(kRunDataSave), 0);
    for (int p = 1; p <= 7; ++p) {
        AnalogSolver().acceptedPointCount = p;
        const std::vector<double> x = {0.0, 10.0 * p};
        ASSERT_EQ(SaveRunDataPoint(p, x), 0);
    }
    ASSERT_EQ(FlushPendingRunDataPoint(), 0);
    ASSERT_EQ(FlushPendingRunDataPoint(), 0);  // nothing pending any more
    CloseSimulationDataFile();
    const unsigned record = static_cast<unsigned>(RunDataRecordSize(kRunDataEverything)) * 8u;
    ASSERT_EQ(FileSize(), 8u + 3u * record);

    ASSERT_EQ(Open(kRunDataRetrieve), 0);
    int counter = 0;
    double x = 0.0, step = 0.0;
    std::vector<double> solution(4, 0.0);
    for (double want : {3.0, 6.0, 7.0}) {
        ASSERT_EQ(ReadRunDataPoint(counter, x, step, solution), 0);
        EXPECT_EQ(x, want);
        EXPECT_EQ(solution[1], 10.0 * want);
    }
}

TEST_F(RunDataFileTest, MoreThan65535UnknownsAreKeptInTheWideHeader)
{
    Circuit(2, 0, 70000);
    ASSERT_EQ(Open(kRunDataSave, 70001), 0);
    const std::vector<double> x = {0.0, 1.5, 2.5};
    ASSERT_EQ(SaveRunDataPoint(1.0, x), 0);
    CloseSimulationDataFile();
    const std::string bytes = ReadFile("amp.DSA");
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 12), std::string("\x05\x00\x02\x00\x70\x11\x71\x11\x01\x00\x01\x00", 12));

    ASSERT_EQ(Open(kRunDataRetrieve, 70001), 0);
    int counter = 0;
    double at = 0.0, step = 0.0;
    std::vector<double> solution(3, 0.0);
    ASSERT_EQ(ReadRunDataPoint(counter, at, step, solution), 0);
    EXPECT_EQ(solution[2], 2.5);

    // The same count truncated to 16 bits is a different circuit.
    CloseSimulationDataFile();
    Analysis().equationCount = 70000 & 0xFFFF;
    EXPECT_EQ(Open(kRunDataRetrieve, 70001 & 0xFFFF), kMsgAlreadyReported);
    EXPECT_TRUE(Reported("5360"));
}

TEST_F(RunDataFileTest, OldFilesReadAndMismatchesAreRefused)
{
    Circuit(1, 0, 3);
    // A version 4 file as earlier programs wrote it: one record of X, flag and one voltage.
    std::string file("\x04\x00\x00\x00\x03\x00\x00\x00", 8);
    for (double v : {2.0, 0.0, 7.25}) file.append(reinterpret_cast<const char*>(&v), 8);
    WriteFile("amp.DSA", file);
    ASSERT_EQ(Open(kRunDataRetrieve), 0);
    int counter = 0;
    double x = 0.0, step = 0.0;
    std::vector<double> solution(4, 0.0);
    ASSERT_EQ(ReadRunDataPoint(counter, x, step, solution), 0);
    EXPECT_EQ(x, 2.0);
    EXPECT_EQ(solution[1], 7.25);
    CloseSimulationDataFile();

    // The circuit's equation count changed: obsolete, and the run stops.
    Analysis().equationCount = 4;
    EXPECT_EQ(Open(kRunDataRetrieve), kMsgAlreadyReported);
    EXPECT_TRUE(Reported("5360"));
    EXPECT_EQ(AnalogSolver().stopFlag, 1);

    // A voltages-and-currents file cannot feed a DC run outside probe mode.
    win::ClearMessageBoxLog();
    file[2] = 1;
    WriteFile("amp.DSA", file);
    Analysis().equationCount = 3;
    EXPECT_EQ(Open(kRunDataRetrieve), kMsgAlreadyReported);
    EXPECT_TRUE(Reported("5361"));

    // Normal mode opens nothing.
    EXPECT_EQ(Open(kRunDataNormal), 0);
    EXPECT_FALSE(RunDataFile().active);
}

TEST_F(RunDataFileTest, RetrieveWithoutASavedRunNamesTheMissingDataFile)
{
    Circuit(1, 0, 3);
    EXPECT_EQ(Open(kRunDataRetrieve), kMsgAlreadyReported);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog().back().text.find("amp.DSA"), std::string::npos) << win::MessageBoxLog().back().text;
    EXPECT_EQ(AnalogSolver().stopFlag, 1);

    // Probe mode only asks whether a kept run is there: no message.
    win::ClearMessageBoxLog();
    RunControl().probeState = kProbeFullRun;
    EXPECT_NE(Open(kRunDataRetrieve), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

}  // namespace
}  // namespace kq5
