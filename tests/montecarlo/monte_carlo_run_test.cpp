// Monte Carlo analyses of a real circuit: a current source into a resistor whose model carries a
// DEV tolerance on R. The voltage of every run follows the analytic distribution; Worst Case
// sits exactly at ± the tolerance; a fixed seed repeats the runs; Report When writes the failure
// report and Open MC rebuilds the failed cases from it.
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "../analog/program_output_support.h"
#include "../plots/analysis_window_test_support.h"
#include "analyses/monte_carlo.h"
#include "results/run_state.h"
#include "core/random15.h"
#include "document/circuit_document.h"
#include "results/waveform_store.h"
#include "platform/message_box.h"
#include "ui/window_record.h"

namespace kq5::testing {
namespace {

const char* const kDividerNetlist =
    "MC DIVIDER\n"
    "I1 0 1 DC 1M\n"
    "R1 1 0 RM 1K\n"
    "R2 1 0 RP 1MEG\n"
    ".MODEL RM RES (R=1 DEV=10%)\n"
    ".MODEL RP RES (R=1)\n"
    ".TRAN 1U 2U\n"
    ".PRINT TRAN V(1)\n"
    ".END\n";

class MonteCarloRunTest : public AnalysisWindowTest {
protected:
    void SetUp() override
    {
        AnalysisWindowTest::SetUp();
        ResetRunStateForTests();
        ResetMonteCarloForTests();
        FixRandom15Seed(2026u);
    }
    void TearDown() override
    {
        FixRandom15Seed(std::nullopt);
        AnalysisWindowTest::TearDown();
        ResetRunStateForTests();
        ResetMonteCarloForTests();
    }

    // Runs the netlist with Monte Carlo on; 0 or the run's result.
    int RunMonteCarlo(const std::string& netlist, std::uint32_t distribution, const std::string& runs,
                      const std::string& reportWhen = "", const std::string& name = "mc.cir")
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ResetPlotRunForTests();
        ResetRunStateForTests();
        InstallAnalysisKindHandlers();
        PutCircuit(netlist, name);
        MonteCarloOptions& options = record_->document->monteCarlo[kAnalysisTransient];
        options.options = distribution | kMonteCarloOn;
        options.runs = runs;
        options.performance = reportWhen;
        if (const int started = RunAnalysisCommand(record_, kAnalysisTransient); started != 0) return started;
        const int result = RunAnalysisTimed(kAnalysisTransient);
        Pump();
        return result;
    }

    // The last value of V(1) (of the curve) in every stored run.
    static std::vector<double> FinalVoltages(int curve = 0)
    {
        std::vector<double> values;
        CurveRecord& c = Curve(curve);
        WaveformStore& store = Plot().store;
        for (int r = 0; r < store.runCount; ++r)
            values.push_back(GetWaveformValue(store, c.storeSlots[kWaveformY], c.runLastIndex[static_cast<std::size_t>(r)]));
        return values;
    }

    // R1 parallel with the 1 MEG resistor, R1 = 1k times the model's R.
    static double VoltageOf(double r) { return 1e-3 / (1.0 / (1e3 * r) + 1e-6); }
};

TEST_F(MonteCarloRunTest, NormalAndLinearSpreadsMatchTheAnalyticDistributions)
{
    const int n = 2000;
    const double tolerance = 0.1;
    struct Case {
        std::uint32_t distribution;
        double sigma;  // of the model's R
    };
    for (const Case& c : {Case{kDistributionNormal, 0.991 * tolerance / 2.58}, Case{kDistributionLinear, tolerance / std::sqrt(3.0)}}) {
        ASSERT_EQ(RunMonteCarlo(kDividerNetlist, c.distribution, "2K"), 0);
        EXPECT_EQ(RunState().runCount, n);
        const std::vector<double> v = FinalVoltages();
        ASSERT_EQ(v.size(), static_cast<std::size_t>(n));
        // Near R = 1 the voltage is linear in R: V(R) ≈ V(1) + V'(1)·(R - 1).
        const double slope = (VoltageOf(1.0 + 1e-6) - VoltageOf(1.0 - 1e-6)) / 2e-6;
        const double sigmaV = c.sigma * slope;
        const RunStatistics s = ComputeRunStatistics(v);
        EXPECT_NEAR(s.mean, VoltageOf(1.0), 4.0 * sigmaV / std::sqrt(n) + 1e-4 * sigmaV) << c.distribution;
        const double sigmaError = c.distribution == kDistributionNormal ? 1.0 / std::sqrt(2.0 * n) : std::sqrt(0.2 / n);
        EXPECT_NEAR(s.deviation, sigmaV, 4.0 * sigmaError * sigmaV + 2e-3 * sigmaV) << c.distribution;
        EXPECT_EQ(RunState().lastRunReached, n);
    }
}

TEST_F(MonteCarloRunTest, WorstCaseRunsSitAtPlusOrMinusTheTolerance)
{
    ASSERT_EQ(RunMonteCarlo(kDividerNetlist, kDistributionWorstCase, "40"), 0);
    const std::vector<double> v = FinalVoltages();
    ASSERT_EQ(v.size(), 40u);
    // The first run is the nominal curve the worst cases are judged against.
    EXPECT_NEAR(v[0], VoltageOf(1.0), 1e-9);
    int high = 0;
    for (double value : std::span(v).subspan(1)) {
        const bool up = std::abs(value - VoltageOf(1.1)) < 1e-6 * VoltageOf(1.1);
        const bool down = std::abs(value - VoltageOf(0.9)) < 1e-6 * VoltageOf(0.9);
        EXPECT_TRUE(up || down) << value;
        high += up;
    }
    EXPECT_GT(high, 5);
    EXPECT_LT(high, 35);
}

// Two parts of one model with a LOT tolerance: the lot moves both alike, so the divider's ratio
// holds in every run while their sum varies; a DEV on top moves each part on its own.
TEST_F(MonteCarloRunTest, PartsOfOneModelShareItsLotAndDifferByTheirDev)
{
    const auto netlist = [](const std::string& tolerances) {
        return "MC LOT\nI1 0 1 DC 1M\nR1 1 2 RL 1K\nR2 2 0 RL 1K\n.MODEL RL RES (R=1 " + tolerances +
               ")\n.TRAN 1U 2U\n.PRINT TRAN V(1) V(2)\n.END\n";
    };
    ASSERT_EQ(RunMonteCarlo(netlist("LOT=10%"), kDistributionNormal, "30"), 0);
    std::vector<double> top = FinalVoltages(0), middle = FinalVoltages(1);
    ASSERT_EQ(top.size(), 30u);
    ASSERT_EQ(middle.size(), 30u);
    for (std::size_t r = 0; r < top.size(); ++r) EXPECT_NEAR(middle[r] / top[r], 0.5, 1e-6) << "run " << r + 1;
    const auto [low, high] = std::minmax_element(top.begin(), top.end());
    EXPECT_GT(*high - *low, 0.02) << "the lot did not move the parts";

    ASSERT_EQ(RunMonteCarlo(netlist("LOT=10% DEV=1%"), kDistributionNormal, "30"), 0);
    top = FinalVoltages(0);
    middle = FinalVoltages(1);
    int apart = 0;
    for (std::size_t r = 1; r < top.size(); ++r) {
        const double ratio = middle[r] / top[r];
        EXPECT_NEAR(ratio, 0.5, 0.5 * 3.0 * 0.01 / 2.58) << "run " << r + 1;
        apart += std::abs(ratio - 0.5) > 1e-6;
    }
    EXPECT_GT(apart, 20) << "the parts' DEV did not set them apart";
}

TEST_F(MonteCarloRunTest, TheSameSeedRepeatsTheAnalysisAndRunCountsAreCorrected)
{
    ASSERT_EQ(RunMonteCarlo(kDividerNetlist, kDistributionNormal, "25"), 0);
    const std::vector<double> first = FinalVoltages();
    ASSERT_EQ(first.size(), 25u);
    ASSERT_EQ(RunMonteCarlo(kDividerNetlist, kDistributionNormal, "25"), 0);
    EXPECT_EQ(FinalVoltages(), first);
    // Nothing compounds: every run starts from the nominal values.
    for (double value : first) EXPECT_LT(std::abs(value - VoltageOf(1.0)), 3.1 * 0.1 / 2.58 * VoltageOf(1.0));

    // "0" gives one run without Monte Carlo; a count above 30000 is corrected and written back.
    ASSERT_EQ(RunMonteCarlo(kDividerNetlist, kDistributionNormal, "0"), 0);
    EXPECT_EQ(RunState().runCount, 1);
    EXPECT_FALSE(RunState().monteCarloActive);
    EXPECT_NEAR(FinalVoltages().at(0), VoltageOf(1.0), 1e-9);
    EXPECT_EQ(record_->document->monteCarlo[kAnalysisTransient].runs, "1");
    PutCircuit(kDividerNetlist, "mc.cir");
    record_->document->monteCarlo[kAnalysisTransient].runs = "40000";
    ASSERT_EQ(RunAnalysisCommand(record_, kAnalysisTransient), 0);
    SetMonteCarloRunCount(Window());
    EXPECT_EQ(RunState().runCount, kMaxMonteCarloRuns);
    EXPECT_EQ(record_->document->monteCarlo[kAnalysisTransient].runs, "30000");
}

TEST_F(MonteCarloRunTest, ReportWhenWritesTheFailuresAndOpenMcRebuildsThem)
{
    ASSERT_EQ(RunMonteCarlo(kDividerNetlist, kDistributionWorstCase, "12", "V(1)>1.05"), 0);
    const std::vector<double> v = FinalVoltages();
    int failures = 0;
    for (double value : v) failures += value > 1.05;
    ASSERT_GT(failures, 0);
    ExitAnalysis();
    const std::filesystem::path output = dir_ / "mc.TNO";
    std::ifstream in(output);
    ASSERT_TRUE(in) << output;
    std::stringstream text;
    text << in.rdbuf();
    const std::string report = text.str();
    // Each run's block of values names its run.
    const std::vector<test::ValueTable> tables = test::ValueTables(report);
    ASSERT_EQ(tables.size(), 12u) << report;
    for (std::size_t r = 0; r < tables.size(); ++r)
        EXPECT_EQ(tables[r].temperatureLine, "Temperature = 27 Case= " + std::to_string(r + 1));
    std::size_t count = 0;
    EXPECT_NE(report.find("V(1)>1.05 occured for the following parameters:"), std::string::npos);
    for (std::size_t at = report.find("occured for the following parameters"); at != std::string::npos;
         at = report.find("occured for the following parameters", at + 1))
        ++count;
    EXPECT_EQ(count, static_cast<std::size_t>(failures));
    EXPECT_NE(report.find("model for:R1 \r\n.MODEL RM RES (R=1.1"), std::string::npos) << report;
    // The unperturbed model is not reported.
    EXPECT_EQ(report.find(".MODEL RP"), std::string::npos);

    // Open MC: one new circuit per failed case, its model an AKO copy with the run's values and
    // its part retargeted; the circuit's own window stays as it was.
    const std::string before = record_->textArea;
    ASSERT_EQ(OpenMonteCarloCasesFrom(output.string()), failures);
    EXPECT_EQ(record_->textArea, before);
    for (int k = 1; k <= failures; ++k) {
        WindowRecord* opened = FindRecordByTitle((dir_ / ("mc" + std::to_string(k) + ".cir")).string());
        ASSERT_NE(opened, nullptr) << k;
        EXPECT_TRUE(opened->modified);
        const std::string text = opened->textArea;
        const std::string model = "RM_" + std::to_string(k);
        EXPECT_NE(text.find(";****"), std::string::npos) << text;
        EXPECT_NE(text.find(".MODEL " + model + " AKO:RM RES (R=1.1"), std::string::npos) << text;
        EXPECT_NE(text.find("R1 1 0 " + model + " 1K"), std::string::npos) << text;
        EXPECT_NE(text.find("R2 1 0 RP 1MEG"), std::string::npos) << text;
        EXPECT_LT(text.find(model + " AKO"), text.rfind(".END")) << text;
    }
    // The temporary copy of the open circuit is gone.
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        EXPECT_NE(entry.path().filename().string().rfind("T$", 0), 0u) << entry.path();
}

TEST_F(MonteCarloRunTest, ReportWhenMeasuresEachRunWithAPerformanceFunction)
{
    // What the Options dialog's Functions button writes: a measure of the run just made.
    ASSERT_EQ(RunMonteCarlo(kDividerNetlist, kDistributionWorstCase, "12", "High(V(1),1)>1.05"), 0);
    int failures = 0;
    for (double value : FinalVoltages()) failures += value > 1.05;
    ASSERT_GT(failures, 0);
    ASSERT_LT(failures, 12);
    ExitAnalysis();
    std::ifstream in(dir_ / "mc.TNO");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const std::string report = text.str();
    EXPECT_NE(report.find("High(V(1),1)>1.05 occured for the following parameters:"), std::string::npos) << report;
    std::size_t count = 0;
    for (std::size_t at = report.find("occured for the following parameters"); at != std::string::npos;
         at = report.find("occured for the following parameters", at + 1))
        ++count;
    EXPECT_EQ(count, static_cast<std::size_t>(failures)) << report;
}

TEST_F(MonteCarloRunTest, OpenMcReadsBothSpellingsAndReportsAFileWithoutFailures)
{
    PutCircuit(kDividerNetlist, "hand.cir");
    ExitAnalysis();
    const std::filesystem::path output = dir_ / "hand.TNO";
    std::ofstream(output, std::ios::binary)
        << "Temperature=27\r\nX occurred for the following parameters:\r\nmodel for:R1 \r\n"
           ".MODEL RM RES (R=0.95)\r\n";
    record_->title = (dir_ / "other.cir").string();
    ASSERT_EQ(OpenMonteCarloCasesFrom(output.string()), 1);
    WindowRecord* opened = FindRecordByTitle((dir_ / "hand1.cir").string());
    ASSERT_NE(opened, nullptr);
    EXPECT_NE(opened->textArea.find("R1 1 0 RM_1 1K"), std::string::npos) << opened->textArea;

    std::ofstream(dir_ / "none.TNO", std::ios::binary) << "Temperature=27\r\n  0.000  1.000\r\n";
    win::ClearMessageBoxLog();
    win::PushMessageBoxAnswer(win::IDOK);  // on the screen the box would wait for a click
    EXPECT_EQ(OpenMonteCarloCasesFrom((dir_ / "none.TNO").string()), -1);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().caption.find("13952"), std::string::npos);
}

// The drawn RC example with R1 of a 10 % model, Monte Carlo on for 12 transient runs.
std::string DrawnMonteCarloCircuit()
{
    std::ifstream in(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        if (at == std::string::npos) return false;
        text.replace(at, from.size(), to);
        return true;
    };
    // The run's data root is its own folder: the pulse model is given here, not taken from NOM.LIB.
    const std::string model =
        ".MODEL RM RES (R=1 DEV=10%)\r\n.MODEL STEP PUL (VZERO=0 VONE=1 P1=0 P2=1N P3=1 P4=1.001 P5=2)\r\n";
    if (!replace("ONV=0,0,MODEL,\r\n", "ONV=0,0,MODEL,RM\r\n") ||
        !replace("Analysis=Transient\r\nStatus=Off\r\nDistribution=Normal\r\nNumber of Runs\r\n",
                 "Analysis=Transient\r\nStatus=On\r\nDistribution=Normal\r\nNumber of Runs=12\r\n"))
        return {};
    const std::size_t len = text.find("Len=201\r\n");
    if (len == std::string::npos) return {};
    const std::size_t end = text.find("\r\n\r\n[", len);
    text.replace(len, end - len, "Len=" + std::to_string(model.size()) + "\r\n" + model);
    return text;
}

// Two batch runs of the same circuit without a fixed seed are two samples, not one twice: the
// program's own clock starts at zero in every batch and gave each run the same cases. With
// KQ5_MC_SEED they repeat exactly; a seed that is no number is reported.
TEST(MonteCarloBatch, EachStartDrawsNewCasesUnlessTheSeedIsFixed)
{
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    std::string pattern = (std::filesystem::temp_directory_path() / "kq5-mc-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const std::string circuit = DrawnMonteCarloCircuit();
    ASSERT_FALSE(circuit.empty());
    std::ofstream(dir / "mc.cir", std::ios::binary) << circuit;
    std::ofstream(dir / "jobs.txt", std::ios::binary) << "mc.cir /T\n";
    const auto run = [&](const char* seed) {
        if (seed) ::setenv("KQ5_MC_SEED", seed, 1);
        else ::unsetenv("KQ5_MC_SEED");
        const int status = test::RunProgramOnCommandFile(dir, "jobs.txt");
        ::unsetenv("KQ5_MC_SEED");
        std::ifstream in(dir / "mc.TNO", std::ios::binary);
        const std::vector<test::ValueTable> tables =
            test::ValueTables(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
        EXPECT_EQ(status, 0);
        EXPECT_EQ(tables.size(), 12u);
        std::vector<std::vector<std::vector<double>>> rows;
        for (const test::ValueTable& t : tables) rows.push_back(t.rows);
        return rows;
    };
    const auto first = run(nullptr), second = run(nullptr);
    ASSERT_EQ(first.size(), 12u);
    ASSERT_EQ(second.size(), 12u);
    EXPECT_EQ(first[0], second[0]) << "the first run is the nominal circuit";
    int differing = 0;
    for (std::size_t r = 1; r < first.size(); ++r) differing += first[r] != second[r];
    EXPECT_GE(differing, 6) << "two starts of the program drew the same Monte Carlo cases";
    EXPECT_EQ(run("7"), run("7"));
    // A seed that is no number does not fix the runs, and the user is told.
    run("seven");
    std::ifstream log(dir / "run.log", std::ios::binary);
    const std::string said((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("KQ5_MC_SEED=seven is not a number"), std::string::npos) << said;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

}  // namespace
}  // namespace kq5::testing
