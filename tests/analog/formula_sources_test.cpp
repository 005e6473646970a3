// Formula sources built from SPICE text and solved: the linearisation about the present
// solution (derivatives by perturbation, their floor, the unknowns at zero and near it), the
// one random draw per load, and the convergence test against the previous iteration.
#include <gtest/gtest.h>

#include <cmath>

#include "built_circuit_test_support.h"
#include "netlist/controlled_source_devices.h"
#include "devices/formula_source_load.h"

namespace kq5::testing {
namespace {

class FormulaSourceTest : public BuiltCircuitTest {
protected:
    int Solve(const std::string& netlist)
    {
        if (int rc = BuildAtNominalTemperature(netlist)) return rc;
        return solver_test::RunTestOperatingPoint(kRunKindTransient);
    }
    static FormulaSourceDevice& Source(std::size_t i)
    {
        return *Records<FormulaSourceDevice>(kFormulaSourceDeviceList).at(i);
    }
};

TEST_F(FormulaSourceTest, NonlinearOutputsSolveToTheirFormula)
{
    ASSERT_EQ(Solve("t\nV1 1 0 1.5\nE1 2 0 VALUE={V(1)*V(1)-1}\nR2 2 0 1K\n"
                    "G1 0 3 VALUE={1M*V(1)+1M*V(3)*V(3)*V(3)}\nR3 3 0 100\n.END\n"),
              0);
    EXPECT_NEAR(X(2), 1.25, 1e-9);
    // V3 = 0.1 (1.5 + V3^3): the one real root near 0.15.
    const double v3 = X(3);
    EXPECT_NEAR(v3, 0.1 * (1.5 + v3 * v3 * v3), 1e-9);
    EXPECT_GT(v3, 0.15);
    EXPECT_LT(v3, 0.16);
    // dE/dV1 = 2 V1 at the solution.
    EXPECT_NEAR(Source(0).derivatives.at(0), 3.0, 1e-5);
}

TEST_F(FormulaSourceTest, FormulaOfTimeAloneStampsOnlyItsValue)
{
    ASSERT_EQ(Solve("t\nE1 1 0 VALUE={2.5+TIME}\nR1 1 0 1K\n.END\n"), 0);
    EXPECT_NEAR(X(1), 2.5, 1e-12);
    EXPECT_TRUE(Source(0).dependencies.empty());
    EXPECT_EQ(Source(0).value, 2.5);
}

TEST_F(FormulaSourceTest, DerivativesKeepAFloorAndTinyUnknownsAreRaised)
{
    // The formula reads node 1 but does not depend on it where it stands (V(1)*0).
    ASSERT_EQ(Solve("t\nV1 1 0 0\nE1 2 0 VALUE={V(1)*0+1}\nR2 2 0 1K\n.END\n"), 0);
    EXPECT_NEAR(X(2), 1.0, 1e-12);
    ASSERT_EQ(Source(0).derivatives.size(), 1u);
    EXPECT_EQ(Source(0).derivatives[0], 1e-50);
    // A tiny nonzero unknown is perturbed from +-1e-50 and left there.
    SolutionVector()[1] = -1e-60;
    AnalogSolver().iterationMode = kModeNormal;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_EQ(X(1), -1e-50);
}

TEST_F(FormulaSourceTest, OneRandomDrawServesTheWholeLoad)
{
    // d(V(1) * RND)/dV(1) is the random value itself when every evaluation sees the same one.
    // (It cannot converge: its output changes at every load.)
    ASSERT_EQ(BuildAtNominalTemperature("t\nV1 1 0 2\nE1 2 0 VALUE={V(1)*RND}\nR2 2 0 1K\n.END\n"), 0);
    ASSERT_EQ(solver_test::PrepareTestOperatingPoint(kRunKindTransient), 0);
    SolutionVector()[1] = 2.0;
    for (int pass = 0; pass < 5; ++pass) {
        AnalogSolver().iterationMode = kModeNormal;
        ASSERT_EQ(LoadCircuit(), 0);
        const FormulaSourceDevice& e = Source(0);
        EXPECT_NEAR(e.derivatives.at(0), e.value / 2.0, 1e-6) << pass;
    }
}

TEST_F(FormulaSourceTest, ConvergenceComparesWithThePreviousIteration)
{
    ASSERT_EQ(Solve("t\nV1 1 0 2\nE1 2 0 VALUE={V(1)*V(1)}\nR2 2 0 1K\n.END\n"), 0);
    AnalogSolverState& s = AnalogSolver();
    s.iterationMode = kModeNormal;
    s.iterationCount = 10;
    // A moved input counts past the third iteration; an unmoved one does not.
    SolutionVector()[1] = 2.5;
    s.nonConvergedCount = 0;
    ASSERT_EQ(LoadFormulaSources(), 0);
    EXPECT_EQ(s.nonConvergedCount, 1);
    s.nonConvergedCount = 0;
    ASSERT_EQ(LoadFormulaSources(), 0);
    EXPECT_EQ(s.nonConvergedCount, 0);
}

}  // namespace
}  // namespace kq5::testing
