// The run loops with what they hand to the device models and the run data file: a transient run
// with a magnetic core between two windings, and transient and DC runs saved to the run data
// file and replayed from it.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "analog/dc_sweep_run.h"
#include "analog/device_dispatch_tables.h"
#include "analog/run_data_file.h"
#include "devices/inductor_load.h"
#include "document/circuit_document.h"
#include "netlist/circuit_build.h"
#include "netlist/model_types.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

class RunIntegrationTest : public RunLoopTest {
protected:
    void TearDown() override
    {
        CloseSimulationDataFile();
        ResetRunDataFileForTests();
        ResetRunControlForTests();
        ResetCircuitBuildForTests();
        RunLoopTest::TearDown();
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }

    // Two windings of ten turns on one Jiles-Atherton core: the primary driven through 10 ohms,
    // the secondary loaded by 1k.
    void Transformer()
    {
        // LEVEL AREA PATH GAP PACK MS A C K ALPHA GAMMA CM LM
        model_.row = kModelCore;
        // (ALPHA x MS / 3A well below 1: a single-valued anhysteretic curve.)
        model_.params = {1, 1, 1, 0, 1, 4e5, 1000, 0.1, 500, 1e-4, 0, 0, 0};
        Nodes(3);
        Pulse(1, 0, {0.0, 1.0, 1e-6, 1e-6, 1e-6, 5e-6, 20e-6});
        R(1, 2, 10.0);
        primary_ = L(2, 0, 10.0);
        secondary_ = L(3, 0, 10.0);
        R(3, 0, 1e3);
        auto* core = Add<CoreRequest>(kCoreRequestList);
        core->model = &model_;
        primary_->core = secondary_->core = core;
        auto* k = Add<CouplingDevice>(kCouplingDeviceList);
        k->first = primary_;
        k->second = secondary_;
        k->value = 1.0;
    }

    // The run data file of the test beside a circuit file in a fresh directory.
    void SaveBeside()
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("kq5-h3-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        record_->title = (dir_ / "rc.cir").string();
        // The circuit build numbers the unknowns; the file's header records their count.
        ASSERT_GT(NumberDeviceRows(CircuitBuild().lastBuildNodeCounts[0]), 0);
        RunControl().circuitWindow = record_;
        Analysis().analysisKind = kAnalysisTransient;
    }
    // An RC low-pass stepped at 0.1 ms, its run data file beside it.
    void SavedRcStep()
    {
        Nodes(2);
        CircuitBuild().lastBuildNodeCounts = {2, 0};
        Pulse(1, 0, {0.0, 1.0, 1e-4, 1e-9, 1e-9, 1.0, 2.0});
        R(1, 2, 1e3);
        capacitor_ = C(2, 0, 1e-6);
        probe = [] { return X(2); };
        SaveBeside();
    }
    int OpenRunData(int mode)
    {
        RunControl().runDataMode = mode;
        return OpenSimulationDataFile(RunDataFile().recordCounter, 0);
    }

    EvaluatedModel model_;
    InductorDevice* primary_ = nullptr;
    InductorDevice* secondary_ = nullptr;
    CapacitorDevice* capacitor_ = nullptr;
    std::filesystem::path dir_;
};

TEST_F(RunIntegrationTest, CoreStatesFollowEveryAcceptedPoint)
{
    Transformer();
    probe = [] { return X(3); };
    ASSERT_EQ(Transient(20e-6, 101), 0);
    ASSERT_GT(points.size(), 20u);
    for (std::size_t i = 1; i < points.size(); ++i) ASSERT_GT(points[i].x, points[i - 1].x) << i;
    EXPECT_NEAR(points.back().x, 20e-6, 1e-15);

    // The secondary answers the edges of the primary current, not its flat tops.
    double largest = 0.0;
    for (const OutputPoint& p : points) {
        ASSERT_TRUE(std::isfinite(p.y));
        largest = std::max(largest, std::abs(p.y));
    }
    EXPECT_GT(largest, 1e-3);

    // The last accepted point is the core's committed state: the magnetisation that the next
    // step would start from is the one solved at that point.
    const CoreState& core = AnalogSolver().devices.cores.at(0);
    EXPECT_TRUE(core.isCore);
    EXPECT_NE(core.mirrOld, 0.0);
    EXPECT_DOUBLE_EQ(core.mirrOld, core.mirr);
    EXPECT_DOUBLE_EQ(core.happOld, core.happ);
    EXPECT_DOUBLE_EQ(core.hprev, core.hcore);
    EXPECT_EQ(AnalogSolver().coreFailed, 0);
}

TEST_F(RunIntegrationTest, StartOfARunClearsTheCoreStates)
{
    Transformer();
    ASSERT_EQ(Transient(20e-6, 101), 0);
    ASSERT_NE(AnalogSolver().devices.cores.at(0).mirrOld, 0.0);
    InitializeRunStates();
    const CoreState& core = AnalogSolver().devices.cores.at(0);
    EXPECT_TRUE(core.isCore);
    EXPECT_EQ(core.mirrOld, 0.0);
    EXPECT_EQ(core.mirr, 0.0);
    EXPECT_EQ(core.happOld, 0.0);
}

TEST_F(RunIntegrationTest, SavedRunIsReplayedPointForPoint)
{
    SavedRcStep();

    ASSERT_EQ(OpenRunData(kRunDataSave), 0);
    ASSERT_EQ(Transient(5e-3), 0);
    CloseSimulationDataFile();
    const std::vector<OutputPoint> saved = points;
    ASSERT_GT(saved.size(), 20u);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "rc.TSA"));

    // Replayed: nothing is solved, the same points come back in order.
    points.clear();
    std::fill(SolutionVector().begin(), SolutionVector().end(), 0.0);
    ASSERT_EQ(OpenRunData(kRunDataRetrieve), 0);
    ASSERT_EQ(Transient(5e-3), 0);
    ASSERT_EQ(points.size(), saved.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_DOUBLE_EQ(points[i].x, saved[i].x) << i;
        EXPECT_DOUBLE_EQ(points[i].y, saved[i].y) << i;
    }
    EXPECT_EQ(AnalogSolver().iterationTotal, 0);
}

// A saved run keeps what the device records hold at each point, the capacitors' currents among
// them, although a run that saves nothing leaves those in the solver until its end.
TEST_F(RunIntegrationTest, SavedRunKeepsTheCapacitorCurrents)
{
    SavedRcStep();
    const CapacitorDevice* capacitor = capacitor_;
    ASSERT_EQ(OpenRunData(kRunDataSave), 0);
    ASSERT_EQ(Transient(5e-3), 0);
    CloseSimulationDataFile();

    // Replayed, the capacitor's current is the resistor's at every point (one node between them).
    points.clear();
    double largest = 0.0;
    probe = [&] {
        largest = std::max(largest, std::fabs(capacitor->current));
        return capacitor->current - (X(1) - X(2)) / 1e3;
    };
    ASSERT_EQ(OpenRunData(kRunDataRetrieve), 0);
    ASSERT_EQ(Transient(5e-3), 0);
    ASSERT_GT(points.size(), 20u);
    for (std::size_t i = 1; i < points.size(); ++i) EXPECT_NEAR(points[i].y, 0.0, 1e-9) << points[i].x;
    EXPECT_GT(largest, 1e-4);
}

TEST_F(RunIntegrationTest, RetrieveOfAShortFileStopsAtItsEnd)
{
    SavedRcStep();
    ASSERT_EQ(OpenRunData(kRunDataSave), 0);
    ASSERT_EQ(Transient(2e-3), 0);
    CloseSimulationDataFile();
    const std::size_t stored = points.size();

    // A longer run replays what was stored and ends as stopped, without a message.
    points.clear();
    ASSERT_EQ(OpenRunData(kRunDataRetrieve), 0);
    ASSERT_EQ(Transient(5e-3), 0);
    EXPECT_EQ(points.size(), stored);
    EXPECT_NE(AnalogSolver().stopFlag, 0);
}

TEST_F(RunIntegrationTest, SavedDcSweepIsReplayedPointForPoint)
{
    Nodes(3);
    CircuitBuild().lastBuildNodeCounts = {3, 0};
    V(1, 0, 0.0);
    R(1, 2, 1e3);
    R(2, 0, 3e3);
    axis = [] { return DcSweep().value1; };
    probe = [] { return X(2); };
    SaveBeside();
    Analysis().analysisKind = kAnalysisDc;
    auto sweep = [] {
        DcSweepState& d = DcSweep();
        d.input1 = {kIndependentSourceDeviceList, 0};
        d.initial1 = 0.0;
        d.final1 = 4.0;
        d.userStep = 0.5;
        d.maxChange = 0.05;
        return DcSweepCase(nullptr);
    };
    ASSERT_EQ(OpenRunData(kRunDataSave), 0);
    ASSERT_EQ(sweep(), 0);
    CloseSimulationDataFile();
    const std::vector<OutputPoint> saved = points;
    ASSERT_GE(saved.size(), 8u);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "rc.DSA"));

    points.clear();
    std::fill(SolutionVector().begin(), SolutionVector().end(), 0.0);
    ASSERT_EQ(OpenRunData(kRunDataRetrieve), 0);
    ASSERT_EQ(sweep(), 0);
    ASSERT_EQ(points.size(), saved.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_DOUBLE_EQ(points[i].x, saved[i].x) << i;
        EXPECT_DOUBLE_EQ(points[i].y, saved[i].y) << i;
        EXPECT_NEAR(points[i].y, 0.75 * points[i].x, 1e-9) << i;
    }
}

TEST_F(RunIntegrationTest, SavedAcSweepIsReplayedWithItsComplexSolution)
{
    Nodes(2);
    CircuitBuild().lastBuildNodeCounts = {2, 0};
    IndependentSourceDevice* v = V(1, 0, 0.0);
    v->acMagnitude = 1.0;
    R(1, 2, 1e3);
    C(2, 0, 1e-6);
    SaveBeside();
    Analysis().analysisKind = kAnalysisAc;
    std::vector<std::complex<double>> values;
    RunServices().plotPoint = [&](WindowRecord*) {
        points.push_back({AcRun().f, 0.0});
        values.push_back(Analysis().solution.complex.at(2));
    };
    auto sweep = [] {
        AcRunState& a = AcRun();
        a.sweepKind = kFrequencyStepLog;
        a.fLow = 10.0;
        a.fHigh = 1e6;
        a.points = 6;
        if (int rc = PrepareAcSweep()) return rc;
        return AcRunCase(nullptr);
    };
    ASSERT_EQ(OpenRunData(kRunDataSave), 0);
    ASSERT_EQ(sweep(), 0);
    CloseSimulationDataFile();
    const std::vector<OutputPoint> saved = points;
    const std::vector<std::complex<double>> savedValues = values;
    ASSERT_EQ(saved.size(), 6u);

    // As after a fresh analysis start: no operating point, no complex solution yet.
    points.clear();
    values.clear();
    FreeAllStampSets();
    AnalogSolver().backupSolution.clear();
    std::fill(Analysis().solution.complex.begin(), Analysis().solution.complex.end(), std::complex<double>());
    ASSERT_EQ(OpenRunData(kRunDataRetrieve), 0);
    ASSERT_EQ(sweep(), 0);
    ASSERT_EQ(points.size(), saved.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_DOUBLE_EQ(points[i].x, saved[i].x) << i;
        EXPECT_EQ(values[i], savedValues[i]) << i;
        EXPECT_NE(values[i].imag(), 0.0) << i;
    }
}

}  // namespace
}  // namespace kq5::solver_test
