// Inductors with couplings and magnetic cores: the companion stamps, the coupling factor, the
// Langevin terms, and the B-H loop of a Jiles-Atherton core.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "devices/inductor_load.h"
#include "netlist/model_types.h"
#include "solver_test_support.h"

namespace kq5::solver_test {
namespace {

class InductorTest : public SolverTest {
protected:
    CouplingDevice* K(InductorDevice* a, InductorDevice* b, double k)
    {
        auto* c = Add<CouplingDevice>(kCouplingDeviceList);
        c->first = a;
        c->second = b;
        c->value = k;
        return c;
    }
    double Element(const StampRange& range, int index)
    {
        return (*AnalogSolver().pool)[static_cast<std::size_t>(range.first + index)].Element()->real;
    }
    // One transient load with the leading integration coefficient ag0.
    void LoadAtTimePoint(double ag0)
    {
        AnalogSolverState& s = AnalogSolver();
        s.runPhase = kPhaseTimeSteps;
        s.runKind = kRunKindTransient;
        s.order = 1;
        s.method = kMethodTrap;
        s.coefficients.fill(0.0);
        s.coefficients[0] = s.ag0 = ag0;
        s.coefficients[1] = s.ag1 = -ag0;
        s.iterationMode = kModeNormal;
        ASSERT_EQ(LoadCircuit(), 0);
    }
};

TEST_F(InductorTest, CompanionStampsOfCoupledInductors)
{
    Nodes(2);
    InductorDevice* a = L(1, 0, 1e-3);
    InductorDevice* b = L(2, 0, 1e-3);
    R(1, 0, 1.0);
    R(2, 0, 1.0);
    K(a, b, 1.0);
    AnalogSolverState& s = AnalogSolver();
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    s.setupDone = 1;
    LoadAtTimePoint(1000.0);
    const InductorStamps& l1 = s.devices.inductors[0];
    EXPECT_EQ(l1.stamps.count, 5);
    EXPECT_DOUBLE_EQ(Element(l1.stamps, 0), -1.0);  // (b, b) -= ag0 L
    const CouplingStamps& k = s.devices.couplings[0];
    ASSERT_EQ(k.stamps.count, 2);
    EXPECT_DOUBLE_EQ(Element(k.stamps, 0), -1.0);   // M = ag0 k sqrt(L1 L2)
    EXPECT_DOUBLE_EQ(Element(k.stamps, 1), -1.0);
}

TEST_F(InductorTest, MutualFluxJoinsTheOtherBranchCurrent)
{
    Nodes(2);
    InductorDevice* a = L(1, 0, 1e-3);
    InductorDevice* b = L(2, 0, 4e-3);
    K(a, b, 0.5);
    R(1, 0, 1.0);
    R(2, 0, 1.0);
    AnalogSolverState& s = AnalogSolver();
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    s.setupDone = 1;
    SolutionVector()[static_cast<std::size_t>(Row(kInductorDeviceList, 0))] = 2.0;
    SolutionVector()[static_cast<std::size_t>(Row(kInductorDeviceList, 1))] = 1.0;
    LoadAtTimePoint(1.0);
    const double m = 0.5 * std::sqrt(1e-3 * 4e-3);
    EXPECT_NEAR(s.chargeStates[static_cast<std::size_t>(s.devices.inductors[0].stateSlot)], 1e-3 * 2.0 + m * 1.0, 1e-15);
    EXPECT_NEAR(s.chargeStates[static_cast<std::size_t>(s.devices.inductors[1].stateSlot)], 4e-3 * 1.0 + m * 2.0, 1e-15);
}

TEST_F(InductorTest, CouplingWithoutSecondInductorIsIgnored)
{
    Nodes(2);
    InductorDevice* a = L(1, 2, 1e-3);
    R(2, 0, 1.0);
    V(1, 0, 1.0);
    K(a, nullptr, 0.5);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_EQ(AnalogSolver().devices.couplings[0].stamps.count, 0);
}

TEST(Langevin, SeriesBranchNearZeroAndClosedFormAbove)
{
    double r = 0.0, d = 0.0, lp = 0.0;
    LangevinTerms(25.0, 0.001, 4e5, 100.0, 0.005, r, d, lp);
    EXPECT_DOUBLE_EQ(lp, 0.333333333);
    EXPECT_NEAR(r, 100.0 - 4e5 * 0.333333333 * 0.005, 1e-9);
    LangevinTerms(25.0, 0.001, 4e5, 100.0, 0.02, r, d, lp);
    const double x = 0.02;
    EXPECT_NEAR(lp, 1.0 / (x * x) - 1.0 / (std::sinh(x) * std::sinh(x)), 1e-6);
    EXPECT_NEAR(r, 100.0 - 4e5 * (1.0 / std::tanh(x) - 1.0 / x), 1e-6);
    EXPECT_NEAR(d, 1.0 - 4e5 * lp * 0.001 / 25.0, 1e-9);
}

class CoreTest : public InductorTest {
protected:
    void SetUp() override
    {
        InductorTest::SetUp();
        // LEVEL AREA PATH GAP PACK MS A C K ALPHA GAMMA CM LM
        model_.row = kModelCore;
        model_.params = {1, 1, 1, 0, 1, 4e5, 25, 0.001, 25, 0.001, 0, 0, 0};
        Nodes(1);
        winding_ = L(1, 0, 10.0);  // ten turns
        auto* request = Add<CoreRequest>(kCoreRequestList);
        request->model = &model_;
        winding_->core = request;
        K(winding_, nullptr, 1.0);
        R(1, 0, 1.0);
        ASSERT_GE(NumberDeviceRows(1), 2);
        AnalogSolverState& s = AnalogSolver();
        ASSERT_EQ(SizeSolverVectors(s.unknownCount > 0 ? s.unknownCount : 2, 2), 0);
        s.setupDone = 1;
        CommitList31States(0);
    }
    // Magnetisation after accepting the point at applied field h (A/m).
    double MagnetisationAt(double h)
    {
        // Happ = N x 100 / PATH x i = 1000 i
        SolutionVector()[static_cast<std::size_t>(Row(kInductorDeviceList, 0))] = h / 1000.0;
        AnalogSolver().nonConvergedCount = 0;
        EXPECT_EQ(SolveCores(), 0);
        EXPECT_EQ(AnalogSolver().coreFailed, 0);
        CommitList31States(1);
        return AnalogSolver().devices.cores[0].mirr;
    }
    EvaluatedModel model_;
    InductorDevice* winding_ = nullptr;
};

TEST_F(CoreTest, MagnetisationLoopRisesSaturatesAndKeepsRemanence)
{
    std::vector<double> up;
    for (int i = 0; i <= 40; ++i) up.push_back(MagnetisationAt(i * 250.0));
    for (std::size_t i = 1; i < up.size(); ++i) EXPECT_GE(up[i], up[i - 1]) << i;
    EXPECT_GT(up.back(), 0.8 * 4e5);
    EXPECT_LT(up.back(), 4e5);
    std::vector<double> down;
    for (int i = 40; i >= 0; --i) down.push_back(MagnetisationAt(i * 250.0));
    // On the way back the magnetisation lies above the rising branch; at zero field some stays.
    EXPECT_GT(down.back(), 0.0);
    EXPECT_GT(down[20], up[20]);
    // The winding sees B through its flux and its inductance through the slope.
    EXPECT_GT(winding_->fluxDensity, 0.0);
    EXPECT_GT(AnalogSolver().devices.inductors[0].leff, 0.0);
}

TEST_F(CoreTest, ClosedLoopWithTheDefaultParametersKeepsAPositiveSlope)
{
    // Two full cycles of the applied field, from the demagnetised state.
    std::vector<double> fields;
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (int i = 0; i <= 40; ++i) fields.push_back(i * 100.0);
        for (int i = 39; i >= -40; --i) fields.push_back(i * 100.0);
        for (int i = -39; i < 0; ++i) fields.push_back(i * 100.0);
    }
    std::vector<double> m;
    for (double h : fields) {
        m.push_back(MagnetisationAt(h));
        EXPECT_GT(AnalogSolver().devices.cores[0].dMdH, 0.0) << h;
        EXPECT_GT(AnalogSolver().devices.inductors[0].leff, 0.0) << h;
    }
    // The magnetisation rises with the field on the way up and falls on the way down.
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (fields[i] > fields[i - 1]) EXPECT_GE(m[i], m[i - 1] - 1e-6 * 4e5) << i;
        else EXPECT_LE(m[i], m[i - 1] + 1e-6 * 4e5) << i;
    }
    // Once past the first rise the loop is closed: the second cycle retraces the first.
    const std::size_t period = fields.size() / 2;
    for (std::size_t i = 41; i < period; ++i) EXPECT_NEAR(m[i + period], m[i], 1e-3 * 4e5) << fields[i];
    // A loop, not a line: at zero field the falling branch keeps a positive remanence, the
    // rising one a negative one.
    ASSERT_EQ(fields[80], 0.0);
    ASSERT_EQ(fields[period], 0.0);
    EXPECT_GT(m[80], 0.0);
    EXPECT_LT(m[period], 0.0);
}

// With an air gap (PATH / GAP = 100) the winding's inductance is held below the gap's,
// mu0 N2 AREA / GAP, whether the applied field moves (a transient step) or stands (the
// operating point that the AC analysis stamps): both see the same slope from the demagnetised
// core.
TEST_F(CoreTest, AGappedCoresInductanceIsTheSameStandingAndMoving)
{
    // GAP 0.01 cm; MS 1.6e6, A 1000, C 0.5, K 200: a steady initial slope.
    model_.params = {1, 1, 1, 0.01f, 1, 1.6e6f, 1000, 0.5f, 200, 0.001f, 0, 0, 0};
    MagnetisationAt(0.0);
    ASSERT_EQ(SolveCores(), 0);
    const double standing = AnalogSolver().devices.inductors[0].leff;
    SolutionVector()[static_cast<std::size_t>(Row(kInductorDeviceList, 0))] = 0.5 / 1000.0;
    ASSERT_EQ(SolveCores(), 0);
    const double moving = AnalogSolver().devices.inductors[0].leff;
    const double gapLimit = 1.256637061435917e-06 * 100.0 * 1e-4 / 1e-4;
    EXPECT_GT(moving, 0.5 * gapLimit);
    EXPECT_LT(moving, gapLimit);
    EXPECT_NEAR(standing, moving, 0.02 * moving);
}

TEST_F(CoreTest, AnhystereticMagnetisationSolvesTheLangevinEquation)
{
    for (double h : {100.0, 250.0, 2000.0, -800.0}) {
        MagnetisationAt(h);
        const double m = AnalogSolver().devices.cores[0].m;
        // ALPHA 0.001 is held at 0.9 x 3 A / MS.
        const double alpha = 0.9 * 3.0 * 25.0 / 4e5;
        const double x = (h + (h < 0 ? -1.0 : 1.0) * std::fabs(alpha * m)) / 25.0;
        const double langevin = 1.0 / std::tanh(x) - 1.0 / x;
        EXPECT_NEAR(m, 4e5 * langevin, 1e-3 * std::fabs(m)) << h;
    }
}

TEST_F(CoreTest, CoreStatesSaveRestoreAndCount)
{
    MagnetisationAt(500.0);
    std::vector<double> v(4 * static_cast<std::size_t>(AnalogSolver().unknownCount) + 5, 0.0);
    EXPECT_EQ(SaveRestoreCoreStates(nullptr, 2), 1);
    EXPECT_EQ(SaveRestoreCoreStates(v.data(), 0), 1);
    const CoreState saved = AnalogSolver().devices.cores[0];
    CommitList31States(0);
    EXPECT_EQ(AnalogSolver().devices.cores[0].mirrOld, 0.0);
    SaveRestoreCoreStates(v.data(), 1);
    EXPECT_EQ(AnalogSolver().devices.cores[0].mirrOld, saved.mirrOld);
    EXPECT_EQ(AnalogSolver().devices.cores[0].hprev, saved.hprev);
}

TEST_F(CoreTest, RestoreReturnsToTheAcceptedPoint)
{
    const double accepted = MagnetisationAt(1000.0);
    SolutionVector()[static_cast<std::size_t>(Row(kInductorDeviceList, 0))] = 5.0;
    ASSERT_EQ(SolveCores(), 0);
    EXPECT_NE(AnalogSolver().devices.cores[0].mirr, accepted);
    CommitList31States(2);
    EXPECT_EQ(AnalogSolver().devices.cores[0].mirr, accepted);
}

}  // namespace
}  // namespace kq5::solver_test
