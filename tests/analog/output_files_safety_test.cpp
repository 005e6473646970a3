// The files an analysis writes (numeric output, run data, batch statistics) on a full disk and
// after a crash: the file there before stays whole, and the failure is reported naming the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "../core/file_test_support.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "analog/batch_run.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analog/run_data_file.h"
#include "analog/statistics.h"
#include "ui/app_state.h"
#include "ui/window_record.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "netlist/circuit_build.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

class OutputFileSafety : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetAppStateForTests();
        ResetAnalogStateForTests();
        ResetAnalysisStateForTests();
        ResetAnalogSolverStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ResetRunDataFileForTests();
        ResetCircuitBuildForTests();
        ResetDigitalSimulatorForTests();
        ResetBatchRunForTests();
        win::ClearMessageBoxLog();
        circuit_ = NewWindowRecord(nullptr, kWindowSchematic, true);
        circuit_->title = PathOf("amp.cir");
        RunControl().circuitWindow = circuit_;
        Analysis().analysisKind = kAnalysisDc;
        CircuitBuild().lastBuildNodeCounts = {2, 0};
        Analysis().equationCount = 3;
    }
    void TearDown() override
    {
        CloseNumericOutputUnit();
        CloseSimulationDataFile();
        CloseStatisticsFile(0.0);
        ResetRunDataFileForTests();
        ResetCircuitBuildForTests();
        ResetDigitalSimulatorForTests();
        ResetAnalogSolverStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ResetBatchRunForTests();
        ResetAnalogStateForTests();
        ResetAppStateForTests();
        win::ClearMessageBoxLog();
        ScratchDirTest::TearDown();
    }

    // The one message shown, which must name the file.
    void ExpectReportNaming(const std::string& name)
    {
        const auto& boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].caption.find("13390"), std::string::npos) << boxes[0].caption;
        EXPECT_NE(boxes[0].text.find(PathOf(name)), std::string::npos) << boxes[0].text;
    }

    bool OnlyFiles(std::initializer_list<std::string> names) const
    {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            ++count;
            if (std::find(names.begin(), names.end(), entry.path().filename().string()) == names.end()) return false;
        }
        return count == names.size();
    }

    int SaveRun(int points)
    {
        RunControl().runDataMode = kRunDataSave;
        int counter = 0;
        if (int status = OpenSimulationDataFile(counter, 0)) return status;
        for (int p = 1; p <= points; ++p) {
            AnalogSolver().acceptedPointCount = p;
            const std::vector<double> x = {0.0, 1.0 * p, 2.0 * p, -0.001 * p};
            if (int status = SaveRunDataPoint(0.1 * p, x)) return status;
        }
        return 0;
    }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(OutputFileSafety, NumericOutputOnAFullDiskKeepsTheOldFileAndSaysSo)
{
    WriteFile("amp.DNO", "the table of the last good run\n");
    ASSERT_EQ(OpenNumericOutputFile(), 0);
    // The run goes on writing while the old file is still the one on the disk.
    UnitPrintf(NumericOutputUnit(), "      V(IN)     V(OUT)\n");
    EXPECT_EQ(ReadFile("amp.DNO"), "the table of the last good run\n");
    test::RedirectUnitToFullDisk(NumericOutputUnit());
    for (int i = 0; i < 500; ++i) UnitPrintf(NumericOutputUnit(), "  %d.000e+00  1.000e+00 \n", i);
    CloseNumericOutputUnit();
    EXPECT_EQ(ReadFile("amp.DNO"), "the table of the last good run\n");
    ExpectReportNaming("amp.DNO");
    EXPECT_TRUE(OnlyFiles({"amp.DNO"}));
}

TEST_F(OutputFileSafety, NumericOutputOfTwoCircuitsOfOneNameIsNeverMixed)
{
    // amp.cir and amp.net write the same amp.DNO; the second run's file replaces the first
    // whole, however long the first was.
    ASSERT_EQ(OpenNumericOutputFile(), 0);
    for (int i = 0; i < 100; ++i) UnitPrintf(NumericOutputUnit(), "first circuit row %d\n", i);
    CloseNumericOutputUnit();
    circuit_->title = PathOf("amp.net");
    ASSERT_EQ(OpenNumericOutputFile(), 0);
    UnitPrintf(NumericOutputUnit(), "second\n");
    CloseNumericOutputUnit();
    EXPECT_EQ(ReadText("amp.DNO"), "second\n");
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(OutputFileSafety, RunDataSaveOnAFullDiskKeepsTheLastCompleteFile)
{
    ASSERT_EQ(SaveRun(3), 0);
    CloseSimulationDataFile();
    const std::string good = ReadFile("amp.DSA");
    ASSERT_FALSE(good.empty());

    ASSERT_EQ(SaveRun(2), 0);
    EXPECT_EQ(ReadFile("amp.DSA"), good);  // a kill now would leave the last Save whole
    test::RedirectUnitToFullDisk(RunDataFile().saveUnit);
    CloseSimulationDataFile();
    EXPECT_EQ(ReadFile("amp.DSA"), good);
    ExpectReportNaming("amp.DSA");
    EXPECT_TRUE(OnlyFiles({"amp.DSA"}));
}

TEST_F(OutputFileSafety, ARunDataFileCutShortIsRefused)
{
    ASSERT_EQ(SaveRun(5), 0);
    CloseSimulationDataFile();
    const std::string whole = ReadFile("amp.DSA");
    const std::size_t record = static_cast<std::size_t>(RunDataRecordSize(RunDataFile().dataType)) * 8;
    ASSERT_EQ(whole.size(), 8 + 5 * record);

    // Cut inside the fourth point: three whole points are there.
    WriteFile("amp.DSA", whole.substr(0, 8 + 3 * record + 5));
    RunControl().runDataMode = kRunDataRetrieve;
    int counter = 0;
    EXPECT_EQ(OpenSimulationDataFile(counter, 0), kMsgAlreadyReported);
    EXPECT_EQ(AnalogSolver().stopFlag, 1);
    const auto& boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].caption.find("13394"), std::string::npos);
    EXPECT_NE(boxes[0].text.find(PathOf("amp.DSA")), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("after 3 whole points"), std::string::npos) << boxes[0].text;

    // The whole file replays every point.
    win::ClearMessageBoxLog();
    AnalogSolver().stopFlag = 0;
    WriteFile("amp.DSA", whole);
    ASSERT_EQ(OpenSimulationDataFile(counter, 0), 0);
    std::vector<double> solution(8, 0.0);
    double x = 0.0, step = 0.0;
    int points = 0;
    while (ReadRunDataPoint(counter, x, step, solution) == 0 && AnalogSolver().stopFlag == 0) ++points;
    EXPECT_EQ(points, 5);
    EXPECT_EQ(solution[3], -0.005);  // the branch current of the last point
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(OutputFileSafety, ARunDataFileWithDamagedPointsIsRefused)
{
    ASSERT_EQ(SaveRun(6), 0);
    CloseSimulationDataFile();
    std::string bytes = ReadFile("amp.DSA");
    std::mt19937 random(28);
    for (std::size_t i = bytes.size() / 2; i < bytes.size(); ++i) bytes[i] = static_cast<char>(random() & 0xFF);
    WriteFile("amp.DSA", bytes);
    RunControl().runDataMode = kRunDataRetrieve;
    int counter = 0;
    EXPECT_EQ(OpenSimulationDataFile(counter, 0), kMsgAlreadyReported);
    EXPECT_EQ(AnalogSolver().stopFlag, 1);
    const auto& boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].caption.find("13397"), std::string::npos) << boxes[0].caption;
    EXPECT_NE(boxes[0].text.find(PathOf("amp.DSA")), std::string::npos) << boxes[0].text;
}

TEST_F(OutputFileSafety, StatisticsFileOnAFullDiskKeepsTheOldOneAndNamesItself)
{
    WriteFile("jobs.DOC", "last batch\n");
    ASSERT_EQ(OpenStatisticsFile(PathOf("jobs.DOC"), "jobs.txt"), 0);
    WriteStatisticsRow("amp.cir", 0, 10, 0, 5, 0.1);
    EXPECT_EQ(ReadFile("jobs.DOC"), "last batch\n");
    test::RedirectUnitToFullDisk(Analog().batchErrorLogUnit);
    WriteStatisticsRow("amp.cir", 1, 10, 0, 5, 0.1);
    std::string name;
    EXPECT_NE(CloseStatisticsFile(0.2, &name), 0);
    EXPECT_EQ(name, PathOf("jobs.DOC"));
    EXPECT_EQ(ReadFile("jobs.DOC"), "last batch\n");
    EXPECT_TRUE(OnlyFiles({"jobs.DOC"}));
}

TEST_F(OutputFileSafety, ErrorsLoggedDuringABatchCountAsFailedJobs)
{
    ASSERT_EQ(OpenStatisticsFile(PathOf("jobs.DOC"), "jobs.txt"), 0);
    LogBatchError(nullptr, "Warning 11891", "The AC signal magnitudes are zero.");
    EXPECT_EQ(BatchRun().failures, 0);
    LogBatchError(nullptr, "Error 15051", "Matrix is singular.");
    EXPECT_EQ(BatchRun().failures, 1);
}

}  // namespace
}  // namespace kq5
