// Monte Carlo perturbation of model parameters: the Gaussian population, the three
// distributions against their analytic spread, group numbers, LOT then DEV, AKO bases, the
// excluded parameters and the repeatable random sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "../netlist/model_test_support.h"
#include "analog/run_control.h"
#include "analog/model_layers.h"
#include "analyses/monte_carlo.h"
#include "analyses/monte_carlo_models.h"
#include "results/run_state.h"
#include "ui/window_record.h"
#include "core/random15.h"
#include "document/circuit_document.h"

namespace kq5::testing {
namespace {

class MonteCarloModels : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        ResetRunStateForTests();
        ResetMonteCarloForTests();
        record_.document = std::make_unique<CircuitDocument>();
        RunControl().circuitWindow = &record_;
        Analysis().analysisKind = kAnalysisTransient;
        FixRandom15Seed(12345u);
        ASSERT_EQ(BuildGaussianPopulation(), 0);
        RunState().monteCarloActive = true;
        RunState().runIndex = 2;
    }
    void TearDown() override
    {
        FixRandom15Seed(std::nullopt);
        RunControl().circuitWindow = nullptr;
        Analysis().analysisKind = kAnalysisNone;
        ResetMonteCarloForTests();
        ResetRunStateForTests();
        ModelTest::TearDown();
    }

    void SetDistribution(std::uint32_t code) { record_.document->monteCarlo[0].options = code | kMonteCarloOn; }

    EvaluatedModel* Evaluate(const std::string& text)
    {
        const int index = Parse(text);
        return index < 0 ? nullptr : FindModelEx(kModelSelectStatement, index, false, false);
    }
    static int Index(const EvaluatedModel* model, const char* name) { return FindModelParamIndex(model->row, name); }
    static float Run(const EvaluatedModel* model, const char* name) { return RunModelParam(*model, Index(model, name)); }

    // The run values of one parameter over n runs.
    static std::vector<double> Sample(const EvaluatedModel* model, const char* name, int n)
    {
        std::vector<double> values;
        for (int i = 0; i < n; ++i) {
            PerturbModels();
            values.push_back(Run(model, name));
        }
        return values;
    }

    WindowRecord record_;
};

TEST(GaussianPopulation, FillsExactlyTheTableWithASymmetricUnitSpread)
{
    ResetMonteCarloForTests();
    ASSERT_EQ(BuildGaussianPopulation(), 0);
    const std::span<const double> p = GaussianPopulation();
    ASSERT_EQ(p.size(), 2002u);
    double sum = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        EXPECT_NEAR(p[i] - 10.0, -(p[p.size() - 1 - i] - 10.0), 1e-9) << i;
        sum += p[i];
    }
    EXPECT_NEAR(sum / 2002.0, 10.0, 1e-12);
    const RunStatistics s = ComputeRunStatistics(p);
    EXPECT_NEAR(s.deviation, 0.991, 0.0005);
    EXPECT_NEAR(s.low, 7.0, 1e-9);
    EXPECT_NEAR(s.high, 13.0, 1e-9);
    ResetMonteCarloForTests();
}

TEST(RunStatisticsTest, StartFromTheFirstValue)
{
    // Values all beyond the old ±1e18 start values still give their own low and high.
    const std::vector<double> big{3e18, 2e18, 4e18};
    RunStatistics s = ComputeRunStatistics(big);
    EXPECT_EQ(s.low, 2e18);
    EXPECT_EQ(s.high, 4e18);
    const std::vector<double> values{1.0, 2.0, 3.0, 4.0};
    s = ComputeRunStatistics(values);
    EXPECT_DOUBLE_EQ(s.mean, 2.5);
    EXPECT_DOUBLE_EQ(s.deviation, std::sqrt(1.25));  // population form
    s = ComputeRunStatistics({});
    EXPECT_EQ(s.low, 0.0);
    EXPECT_EQ(s.high, 0.0);
    EXPECT_EQ(s.mean, 0.0);
}

TEST(Random15, FifteenBitsAndAFixedSeedRepeats)
{
    FixRandom15Seed(7u);
    std::vector<int> first;
    int high = 0;
    for (int i = 0; i < 100000; ++i) {
        const int r = Random15();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, kRandom15Max);
        high = std::max(high, r);
        if (i < 50) first.push_back(r);
    }
    EXPECT_GT(high, 32700);
    RestartFixedRandom15();
    for (int i = 0; i < 50; ++i) EXPECT_EQ(Random15(), first[static_cast<std::size_t>(i)]);
    FixRandom15Seed(std::nullopt);

    // The environment variable fixes the seed as the test seam does: the same seed, the same
    // numbers, from the first draw and again at each analysis start.
    ::setenv("KQ5_MC_SEED", "7", 1);
    FixRandom15Seed(std::nullopt);
    ASSERT_EQ(FixedRandom15Seed(), std::optional<std::uint32_t>(7u));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(Random15(), first[static_cast<std::size_t>(i)]);
    RestartFixedRandom15();
    EXPECT_EQ(Random15(), first[0]);
    ::setenv("KQ5_MC_SEED", "", 1);
    EXPECT_EQ(FixedRandom15Seed(), std::nullopt);
    ::unsetenv("KQ5_MC_SEED");
    FixRandom15Seed(std::nullopt);
}

TEST_F(MonteCarloModels, NormalSpreadIsTolerancePerSdTimesThePopulationSigma)
{
    EvaluatedModel* r = Evaluate(".MODEL RN RES (R=1 DEV=10%)");
    ASSERT_NE(r, nullptr);
    const int n = 2000;
    const RunStatistics s = ComputeRunStatistics(Sample(r, "R", n));
    const double sigma = 0.991 * 0.1 / 2.58;
    EXPECT_NEAR(s.mean, 1.0, 4.0 * sigma / std::sqrt(n));
    EXPECT_NEAR(s.deviation, sigma, 4.0 * sigma / std::sqrt(2.0 * n));
    // Never beyond 3 tolerances per SD.
    EXPECT_GE(s.low, 1.0 - 3.0 * 0.1 / 2.58 - 1e-6);
    EXPECT_LE(s.high, 1.0 + 3.0 * 0.1 / 2.58 + 1e-6);
}

TEST_F(MonteCarloModels, LinearSpreadIsToleranceOverRootThree)
{
    SetDistribution(kDistributionLinear);
    EvaluatedModel* r = Evaluate(".MODEL RL RES (R=1 DEV=10%)");
    ASSERT_NE(r, nullptr);
    const int n = 2000;
    const RunStatistics s = ComputeRunStatistics(Sample(r, "R", n));
    const double sigma = 0.1 / std::sqrt(3.0);
    EXPECT_NEAR(s.mean, 1.0, 4.0 * sigma / std::sqrt(n));
    // The standard error of a uniform sample's sigma: sqrt(var(x^2)) / (2 sigma sqrt(n)).
    EXPECT_NEAR(s.deviation, sigma, 4.0 * sigma * std::sqrt(0.8 / 4.0) / std::sqrt(n));
    EXPECT_GE(s.low, 0.9 - 1e-6);
    EXPECT_LE(s.high, 1.1 + 1e-6);
    // The distribution byte of a tolerance overrides the document's code.
    EvaluatedModel* g = Evaluate(".MODEL RG RES (R=1 DEV/GAUSS=10%)");
    const RunStatistics sg = ComputeRunStatistics(Sample(g, "R", n));
    EXPECT_NEAR(sg.deviation, 0.991 * 0.1 / 2.58, 0.004);
}

TEST_F(MonteCarloModels, WorstCaseSitsAtNominalPlusOrMinusToleranceAndGroupsMoveTogether)
{
    SetDistribution(kDistributionWorstCase);
    EvaluatedModel* a = Evaluate(".MODEL RA RES (R=1 DEV/4=10% TC1=2m DEV/4=1m)");
    EvaluatedModel* b = Evaluate(".MODEL RB RES (R=5 DEV/4=1)");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    int plus = 0;
    for (int run = 0; run < 200; ++run) {
        PerturbModels();
        const float ra = Run(a, "R"), rb = Run(b, "R");
        ASSERT_TRUE(ra == 1.1f || ra == 0.9f) << ra;
        ASSERT_TRUE(rb == 6.0f || rb == 4.0f) << rb;
        // Same group number: the same random number, so the same sign in every run.
        EXPECT_EQ(ra > 1.0f, rb > 5.0f);
        EXPECT_EQ(ra > 1.0f, Run(a, "TC1") > 2e-3f);
        plus += ra > 1.0f;
    }
    EXPECT_GT(plus, 60);
    EXPECT_LT(plus, 140);
}

TEST_F(MonteCarloModels, LotThenDevAndAkoModelsTakeTheirBaseValue)
{
    SetDistribution(kDistributionWorstCase);
    EvaluatedModel* base = Evaluate(".MODEL RB RES (R=10 LOT=1 DEV=0.1)");
    EvaluatedModel* ako = Evaluate(".MODEL RK AKO:RB RES (R=50 DEV=0.01)");
    EvaluatedModel* same = Evaluate(".MODEL RS AKO:RB RES (R=10 DEV=0.01)");
    EvaluatedModel* plain = Evaluate(".MODEL RP RES (R=3)");
    ASSERT_NE(base, nullptr);
    ASSERT_NE(ako, nullptr);
    // The AKO model's base is a model record of its own (the base has DEV, so it is private).
    const EvaluatedModel* akoBase = FindModelStatement(ako->statementIndex)->akoModel;
    ASSERT_NE(akoBase, nullptr);
    for (int run = 0; run < 50; ++run) {
        PerturbModels();
        for (const EvaluatedModel* b : std::initializer_list<const EvaluatedModel*>{base, akoBase}) {
            // LOT from the nominal value, then DEV on top: 10 ± 1 ± 0.1.
            const double lot = std::abs(Run(b, "R") - 10.0);
            EXPECT_TRUE(std::abs(lot - 1.1) < 1e-5 || std::abs(lot - 0.9) < 1e-5) << lot;
        }
        // The AKO model gives R itself: its runs spread around its own 50, not the base's 10.
        // Its base's lot moves it in proportion (50 ± 10 %), then its own DEV (not the base's).
        const double rk = Run(ako, "R"), rb = Run(akoBase, "R");
        EXPECT_TRUE(std::abs(std::abs(rk - 50.0) - 5.01) < 1e-4 || std::abs(std::abs(rk - 50.0) - 4.99) < 1e-4) << rk;
        EXPECT_EQ(rk > 50.0, rb > 10.0);
        // With the base's own R it starts from the base's value after LOT: 10 ± 1 ± 0.01.
        const double rs = Run(same, "R"), rsb = Run(FindModelStatement(same->statementIndex)->akoModel, "R");
        EXPECT_TRUE(std::abs(std::abs(rs - 10.0) - 1.01) < 1e-5 || std::abs(std::abs(rs - 10.0) - 0.99) < 1e-5) << rs;
        EXPECT_EQ(rs > 10.0, rsb > 10.0);
        EXPECT_EQ(Run(plain, "R"), 3.0f);
    }
    // The first run is the nominal one: nothing moves, though the groups are drawn.
    RunState().runIndex = 1;
    SetModelRunValue(*plain, Index(plain, "R"), 7.0f);
    PerturbModels();
    EXPECT_EQ(Run(plain, "R"), 7.0f);
}

TEST_F(MonteCarloModels, MissingToleranceIsNoneWhetherZeroOrMinusOne)
{
    EvaluatedModel* r = Evaluate(".MODEL RZ RES (R=2 LOT=0 TC1=1m)");
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->tolerances);
    EXPECT_EQ(r->tolerances->lot[static_cast<std::size_t>(Index(r, "TC1"))], kNoTolerance);
    for (int run = 0; run < 20; ++run) {
        PerturbModels();
        EXPECT_EQ(Run(r, "R"), 2.0f);
        EXPECT_EQ(Run(r, "TC1"), 1e-3f);
    }
    EXPECT_FALSE(HasTolerance(*r));
}

TEST_F(MonteCarloModels, PerturbValueStaysInsideThePopulationForEveryDraw)
{
    // u = 1 exactly (the largest 15-bit number) and u = 0 both pick a real population entry.
    const std::span<const double> p = GaussianPopulation();
    const double sd = 2.58;
    bool sawHigh = false, sawLow = false;
    FixRandom15Seed(1u);
    for (int i = 0; i < 300000; ++i) {
        const double v = PerturbValue(0.0, sd, kDistributionNormal, -1);
        ASSERT_GE(v, p.front() - 10.0 - 1e-9);
        ASSERT_LE(v, p.back() - 10.0 + 1e-9);
        sawHigh = sawHigh || std::abs(v - 3.0) < 1e-9;
        sawLow = sawLow || std::abs(v + 3.0) < 1e-9;
    }
    EXPECT_TRUE(sawHigh);
    EXPECT_TRUE(sawLow);
}

TEST_F(MonteCarloModels, ExcludedParametersAndOutOfRangeValuesKeepTheirValue)
{
    EXPECT_TRUE(IsParamExcludedFromTolerance(kModelDiode, FindModelParamIndex(kModelDiode, "RS")));
    EXPECT_FALSE(IsParamExcludedFromTolerance(kModelDiode, FindModelParamIndex(kModelDiode, "IS")));
    EXPECT_TRUE(IsParamExcludedFromTolerance(kModelNpn, FindModelParamIndex(kModelNpn, "RB")));
    EXPECT_TRUE(IsParamExcludedFromTolerance(kModelNmos, FindModelParamIndex(kModelNmos, "LEVEL")));
    EXPECT_FALSE(IsParamExcludedFromTolerance(kModelNmos4, 0));
    EXPECT_FALSE(IsParamExcludedFromTolerance(kModelRes, FindModelParamIndex(kModelRes, "R")));

    SetDistribution(kDistributionWorstCase);
    EvaluatedModel* d = Evaluate(".MODEL DX D (IS=1E-14 DEV=2E-14 RS=1 DEV=5%)");
    ASSERT_NE(d, nullptr);
    for (int run = 0; run < 20; ++run) {
        PerturbModels();
        EXPECT_EQ(Run(d, "RS"), 1.0f);
        // IS may not go below zero: the worst case 1e-14 - 2e-14 keeps the value it had.
        EXPECT_GT(Run(d, "IS"), 0.0f);
    }
}

TEST_F(MonteCarloModels, TheSameSeedRepeatsTheRuns)
{
    EvaluatedModel* r = Evaluate(".MODEL RS1 RES (R=1 DEV=10% LOT/2=5%)");
    ASSERT_NE(r, nullptr);
    RestartFixedRandom15();
    const std::vector<double> first = Sample(r, "R", 100);
    RestartFixedRandom15();
    EXPECT_EQ(Sample(r, "R", 100), first);
    FixRandom15Seed(54321u);
    EXPECT_NE(Sample(r, "R", 100), first);
}

// The parts of one model keep one copy of its run and nominal values until a part's own value
// changes: then only that part's value moves.
TEST_F(MonteCarloModels, APartsOwnValueNeverReachesTheOtherPartsOfItsModel)
{
    const int index = Parse(".MODEL RD RES (R=1 DEV=10%)");
    ASSERT_GE(index, 0);
    EvaluatedModel* base = FindModelEx(kModelSelectStatement, index, false, false);
    EvaluatedModel* a = FindModelEx(kModelSelectStatement, index, false, false);
    EvaluatedModel* b = FindModelEx(kModelSelectStatement, index, false, false);
    ASSERT_TRUE(base && a && b && a != b && a->firstModel == base);
    RestoreNominalModelParams();
    const int r = Index(a, "R");
    EXPECT_EQ(a->pristine.begin(), b->pristine.begin());  // one copy while they agree
    SetModelRunValue(*a, r, 2.0f);
    EXPECT_EQ(Run(a, "R"), 2.0f);
    EXPECT_EQ(Run(b, "R"), 1.0f);
    EXPECT_EQ(Run(base, "R"), 1.0f);
    EXPECT_EQ(NominalModelParam(*a, r), 1.0f);
    for (int run = 0; run < 5; ++run) {
        PerturbModels();
        EXPECT_NE(Run(a, "R"), Run(b, "R"));  // each part draws its own DEV
        EXPECT_EQ(NominalModelParam(*a, r), 1.0f);
        EXPECT_EQ(NominalModelParam(*b, r), 1.0f);
    }
    RestoreNominalModelParams();
    EXPECT_EQ(Run(a, "R"), 1.0f);
    EXPECT_EQ(a->Param(r), 1.0f);
}

}  // namespace
}  // namespace kq5::testing
