// The sparse LU against a dense reference on random modified-nodal systems, real and
// complex, with fill-ins, reuse of the order, near-singular and singular systems.
#include "sparse_test_support.h"

namespace kq5 {
namespace {

using namespace sparse_test;

struct RandomCase {
    int nodes, sources, inductors, extra, gm;
};

class SparseRandomTest : public ::testing::TestWithParam<bool> {};

TEST_P(SparseRandomTest, MatchesDenseReferenceAndReusesItsOrder)
{
    const bool complex = GetParam();
    const RandomCase cases[] = {{1, 0, 0, 0, 0},   {2, 1, 0, 0, 0},    {5, 1, 1, 3, 1},
                                {12, 2, 2, 10, 4}, {40, 4, 3, 60, 10}, {120, 6, 6, 200, 30}};
    unsigned seed = complex ? 1000 : 1;
    for (const RandomCase& c : cases) {
        for (int trial = 0; trial < 4; ++trial) {
            SCOPED_TRACE(testing::Message() << "nodes " << c.nodes << " trial " << trial);
            MnaBuilder builder(seed++);
            const MnaSystem s = builder.Build(c.nodes, c.sources, c.inductors, c.extra, c.gm);
            SparseRun run(s);

            // The solver preorders once after the first load, then factors every iteration.
            auto values = builder.Values(s, complex);
            run.Load(values);
            ASSERT_EQ(MatrixPreorder(run.matrix.get()), 0);
            int fillins = -1;
            for (int load = 0; load < 3; ++load) {
                if (load > 0) {
                    values = builder.Values(s, complex);
                    run.Load(values);
                }
                const auto b = builder.Rhs(s.unknowns, complex);
                std::vector<Complex> x, reference;
                ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
                ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
                EXPECT_LT(RelativeResidual(DenseMatrix(s, values), x, b), 1e-12);
                EXPECT_LT(RelativeDifference(x, reference), 1e-6);

                // Later loads refactor in the first order: no new fill-ins, no reordering.
                EXPECT_FALSE(run.matrix->needsOrdering);
                if (load == 0)
                    fillins = run.matrix->fillinCount;
                else
                    EXPECT_EQ(run.matrix->fillinCount, fillins);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RealAndComplex, SparseRandomTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Complex" : "Real"; });

// A side x side resistor grid, every groundEvery-th node (along the diagonals) also tied to
// ground.
MnaSystem ResistorMesh(int side, int groundEvery)
{
    MnaSystem s;
    s.unknowns = side * side;
    auto node = [side](int x, int y) { return y * side + x + 1; };
    auto conductance = [&s](int a, int b) {
        for (auto p : {std::pair{a, a}, {a, b}, {b, a}, {b, b}}) {
            s.positions.push_back(p);
            s.kinds.push_back(kConductance);
        }
    };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (x + 1 < side) conductance(node(x, y), node(x + 1, y));
            if (y + 1 < side) conductance(node(x, y), node(x, y + 1));
            if ((x + y) % groundEvery == 0) conductance(node(x, y), 0);
        }
    }
    return s;
}

TEST(SparseFactor, MeshCreatesFillinsAndSolvesExactly)
{
    // A 12 x 12 resistor grid: elimination of a 2-D mesh cannot avoid fill-in.
    const int side = 12, n = side * side;
    const MnaSystem s = ResistorMesh(side, 5);
    MnaBuilder builder(7);
    for (bool complex : {false, true}) {
        SparseRun run(s);
        const auto values = builder.Values(s, complex, 0.1, 10.0);
        run.Load(values);
        const auto b = builder.Rhs(n, complex);
        std::vector<Complex> x, reference;
        ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
        ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
        EXPECT_GT(run.matrix->fillinCount, 0);
        EXPECT_LT(RelativeDifference(x, reference), 1e-10);
    }
}

// Newton meeting a singular load now and then, as a sweep through a switching point does: each
// singular factorisation orders afresh under every threshold and fails. The regular load after
// it is ordered again from its own structure, at the matrix's own threshold, with about the
// fill-in of its first order (ties may fall another way); the fill-ins of the failed orders
// once piled up and stayed, each making every later factorisation of the run dearer.
TEST(SparseFactor, SingularLoadsLeaveNoFillinsOrStricterThresholdBehind)
{
    const int side = 16, n = side * side;
    const MnaSystem s = ResistorMesh(side, 5);
    MnaBuilder builder(23);
    SparseRun run(s);
    const auto b = builder.Rhs(n, false);
    const auto regular = builder.Values(s, false, 0.1, 10.0);
    run.Load(regular);
    std::vector<Complex> x;
    ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
    const std::int32_t fillins = run.matrix->fillinCount;
    for (int load = 0; load < 20; ++load) {
        SCOPED_TRACE(testing::Message() << "load " << load);
        // A node that nothing holds: its row and column are empty.
        auto values = builder.Values(s, false, 0.1, 10.0);
        const int floating = builder.Pick(1, n);
        for (std::size_t i = 0; i < values.size(); ++i)
            if (s.positions[i].first == floating || s.positions[i].second == floating) values[i] = 0.0;
        run.Load(values);
        EXPECT_EQ(run.FactorAndSolve(false, b, x), kMatrixSingular);
        run.Load(regular);
        ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
        EXPECT_LT(RelativeResidual(DenseMatrix(s, regular), x, b), 1e-12);
        EXPECT_EQ(run.matrix->relThreshold, 0.001);
        EXPECT_LE(run.matrix->fillinCount, fillins + fillins / 10);
    }
}

// Newton far from its solution, each load decades away from the last: most factorisations keep
// the first pivots of the order and reorder the rest. Each reorder keeps only the fill-ins its
// order needs, about what an order made afresh from the same values has; the fill-ins of every
// order replaced once stayed, counted and eliminated as elements, until a long chain of
// amplifiers held tens of thousands of them on a few hundred unknowns and every ordering crawled.
TEST(SparseFactor, PartialReordersLeaveNoFillinsOfTheOrdersTheyReplace)
{
    MnaBuilder builder(31);
    const MnaSystem s = builder.Build(120, 6, 6, 200, 30);
    SparseRun run(s);
    const auto b = builder.Rhs(s.unknowns, false);
    std::vector<Complex> x;
    int reorders = 0;
    for (int load = 0; load < 40; ++load) {
        SCOPED_TRACE(testing::Message() << "load " << load);
        const auto values = builder.Values(s, false, 1e-9, 1e9);
        run.Load(values);
        run.matrix->orderForOtherValues = load > 0;
        run.matrix->reordered = false;
        ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
        EXPECT_LT(RelativeResidual(DenseMatrix(s, values), x, b), 1e-9);
        if (run.matrix->reordered) ++reorders;

        SparseRun fresh(s);
        fresh.Load(values);
        std::vector<Complex> y;
        ASSERT_EQ(fresh.FactorAndSolve(false, b, y), 0);
        EXPECT_LE(run.matrix->fillinCount, fresh.matrix->fillinCount + fresh.matrix->fillinCount / 4);
    }
    EXPECT_GT(reorders, 10);
}

// Small meshes refactor through a list of update targets, large ones through the intermediate
// vector; either way a refactorisation of the values an ordering factored gives its solution
// to the bit, and other values a small residual.
TEST(SparseFactor, MeshesOfEverySizeRefactorLikeTheirOrdering)
{
    for (const int side : {6, 40}) {
        SCOPED_TRACE(testing::Message() << "side " << side);
        const int n = side * side;
        const MnaSystem s = ResistorMesh(side, 1);
        MnaBuilder builder(11);
        const auto first = builder.Values(s, false, 0.1, 10.0);
        const auto other = builder.Values(s, false, 0.1, 10.0);
        const auto b = builder.Rhs(n, false);
        SparseRun run(s);
        run.Load(first);
        std::vector<Complex> ordered, x;
        ASSERT_EQ(run.FactorAndSolve(false, b, ordered), 0);
        run.Load(other);
        ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
        EXPECT_EQ(run.matrix->plan.updateTarget.empty(), side > 6);
        EXPECT_LT(RelativeResidual(DenseMatrix(s, other), x, b), 1e-12);
        run.Load(first);
        ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
        EXPECT_EQ(x, ordered);
    }
}

TEST(SparseFactor, NearSingularSystemsKeepASmallResidual)
{
    // Conductances over 24 decades: tiny pivots must not be taken where large ones exist.
    for (bool complex : {false, true}) {
        for (unsigned seed = 50; seed < 60; ++seed) {
            MnaBuilder builder(seed);
            const MnaSystem s = builder.Build(30, 3, 2, 40, 0);
            SparseRun run(s);
            const auto values = builder.Values(s, complex, 1e-12, 1e12);
            run.Load(values);
            ASSERT_EQ(MatrixPreorder(run.matrix.get()), 0);
            const auto b = builder.Rhs(s.unknowns, complex);
            std::vector<Complex> x;
            ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
            EXPECT_LT(RelativeResidual(DenseMatrix(s, values), x, b), 1e-9) << "seed " << seed;
        }
    }
}

// Builds a matrix from a dense pattern: nonzero entries become elements with those values.
std::unique_ptr<SparseMatrix> FromDense(const std::vector<std::vector<double>>& a)
{
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < a.size(); ++j)
            if (a[i][j] != 0.0) MatrixGetElement(m.get(), int(i) + 1, int(j) + 1)->real = a[i][j];
    return m;
}

std::vector<double> Solve(SparseMatrix* m, std::vector<double> b)
{
    b.insert(b.begin(), 0.0);
    std::vector<double> x(b.size(), 0.0);
    EXPECT_EQ(MatrixSolve(m, b, x), 0);
    x.erase(x.begin());
    return x;
}

TEST(SparseFactor, SingularMatricesReportTheirRowAndColumn)
{
    // 1 x 1 zero: no search finds a pivot.
    auto one = FromDense({{0.0}});
    MatrixGetElement(one.get(), 1, 1);
    EXPECT_EQ(MatrixFactorReal(one.get()), kMatrixSingular);
    EXPECT_EQ(MatrixGetError(one.get()), kMatrixSingular);
    EXPECT_EQ(one->singularRow, 1);
    EXPECT_EQ(one->singularCol, 1);
    EXPECT_FALSE(one->factored);
    std::vector<double> b{0.0, 1.0}, x(2, 0.0);
    EXPECT_EQ(MatrixSolve(one.get(), b, x), kMatrixBadSize);  // no factors, nothing solved

    // A floating node (external 3) whose elements exist but hold zeros.
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixGetElement(m.get(), 3, 3);
    MatrixGetElement(m.get(), 3, 1);
    MatrixGetElement(m.get(), 1, 3);
    MatrixGetElement(m.get(), 1, 1)->real = 2.0;
    MatrixGetElement(m.get(), 2, 2)->real = 1.0;
    MatrixGetElement(m.get(), 1, 2)->real = -1.0;
    MatrixGetElement(m.get(), 2, 1)->real = -1.0;
    MatrixGetElement(m.get(), 2, 2)->real += 1.0;
    EXPECT_EQ(MatrixFactorReal(m.get()), kMatrixSingular);
    EXPECT_EQ(m->singularRow, 3);
    EXPECT_EQ(m->singularCol, 3);

    // Two equal voltage sources across one node: dependent rows, singular after elimination.
    for (bool complex : {false, true}) {
        auto v = MatrixCreate(0, complex, error);
        MatrixGetElement(v.get(), 1, 1)->real = 1e-3;
        for (int k : {2, 3}) {
            MatrixGetElement(v.get(), 1, k)->real = 1.0;
            MatrixGetElement(v.get(), k, 1)->real = 1.0;
        }
        MatrixPreorder(v.get());
        EXPECT_EQ(MatrixFactor(v.get()), kMatrixSingular);
        EXPECT_NE(v->singularRow, 0);
    }
}

TEST(SparseFactor, RefactorWithAZeroPivotReportsSingular)
{
    auto m = FromDense({{2.0, 1.0}, {1.0, 2.0}});
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    MatrixClear(m.get());
    // Same structure, now exactly singular: the reused order meets a zero pivot.
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j) MatrixGetElement(m.get(), i, j)->real = 1.0;
    EXPECT_EQ(MatrixFactorReal(m.get()), kMatrixSingular);
    EXPECT_NE(m->singularRow, 0);
    EXPECT_FALSE(m->factored);
}

TEST(SparseFactor, ZeroPivotInTheReusedOrderReordersInsteadOfFailing)
{
    auto m = FromDense({{2.0, 1.0}, {1.0, 2.0}});
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    ASSERT_EQ(m->intToExtRow[1], 1);
    // Regular, but the old first pivot is now exactly zero.
    MatrixClear(m.get());
    MatrixGetElement(m.get(), 1, 2)->real = 1.0;
    MatrixGetElement(m.get(), 2, 1)->real = 1.0;
    MatrixGetElement(m.get(), 2, 2)->real = 2.0;
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    EXPECT_EQ(m->singularRow, 0);
    const auto x = Solve(m.get(), {3.0, 7.0});
    EXPECT_DOUBLE_EQ(x[0], 1.0);
    EXPECT_DOUBLE_EQ(x[1], 3.0);
}

TEST(SparseFactor, NewElementAfterOrderingReordersFromScratch)
{
    MnaBuilder builder(99);
    MnaSystem s = builder.Build(20, 2, 1, 20, 3);
    SparseRun run(s);
    auto values = builder.Values(s, false);
    run.Load(values);
    MatrixPreorder(run.matrix.get());
    std::vector<Complex> x, reference;
    ASSERT_EQ(run.FactorAndSolve(false, builder.Rhs(s.unknowns, false), x), 0);
    MatrixElement* kept = run.refs[0].Element();

    // A new stamp position (and a new unknown) after ordering.
    s.positions.push_back({4, 17});
    s.kinds.push_back(kFree);
    s.positions.push_back({s.unknowns + 1, s.unknowns + 1});
    s.kinds.push_back(kFree);
    s.unknowns += 1;
    for (std::size_t i = run.refs.size(); i < s.positions.size(); ++i) {
        MatrixElementRef ref;
        ASSERT_EQ(MatrixReserveElement(run.matrix.get(), s.positions[i].first, s.positions[i].second, ref), 0);
        run.refs.push_back(ref);
    }
    EXPECT_TRUE(run.matrix->needsOrdering);
    EXPECT_EQ(run.refs[0].Element(), kept);

    values = builder.Values(s, false);
    values.back() = 0.5;
    run.Load(values);
    const auto b = builder.Rhs(s.unknowns, false);
    ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
    ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
    EXPECT_FALSE(run.matrix->needsOrdering);
    EXPECT_LT(RelativeDifference(x, reference), 1e-8);
}

TEST(SparseFactor, OrderAndFactorReordersFromAPivotThatBecameTooSmall)
{
    auto m = FromDense({{4.0, 1.0, 0.0}, {1.0, 4.0, 1.0}, {0.0, 1.0, 4.0}});
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    const std::vector<std::vector<double>> weak = {{1e-9, 1.0, 0.0}, {1.0, 4.0, 1.0}, {0.0, 1.0, 4.0}};
    MatrixClear(m.get());
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (weak[i][j] != 0.0) MatrixGetElement(m.get(), i + 1, j + 1)->real = weak[i][j];
    ASSERT_EQ(MatrixOrderAndFactor(m.get(), {}, 0.0, -1.0, true), 0);
    EXPECT_TRUE(m->factored);
    // The first pivot became too small: step 1 now holds another row and column.
    EXPECT_NE(m->intToExtRow[1], 1);
    EXPECT_NE(m->intToExtCol[1], 1);
    const auto x = Solve(m.get(), {1.0, 2.0, 3.0});
    for (int i = 0; i < 3; ++i) {
        double r = -(i == 0 ? 1.0 : i == 1 ? 2.0 : 3.0);
        for (int j = 0; j < 3; ++j) r += weak[i][j] * x[j];
        EXPECT_NEAR(r, 0.0, 1e-12);
    }
}

// The operating point's matrix goes on as the time steps': its order was chosen for other
// values, so the first factorisation keeps it only where every pivot still passes.
TEST(SparseFactor, OrderChosenForOtherValuesKeepsOnlyPivotsThatStillPass)
{
    const std::vector<std::vector<double>> weak = {{1e-9, 1.0, 0.0}, {1.0, 4.0, 1.0}, {0.0, 1.0, 4.0}};
    const std::vector<std::vector<double>> strong = {{5.0, 1.0, 0.0}, {1.0, 5.0, 1.0}, {0.0, 1.0, 5.0}};
    for (const auto* values : {&weak, &strong}) {
        auto m = FromDense({{4.0, 1.0, 0.0}, {1.0, 4.0, 1.0}, {0.0, 1.0, 4.0}});
        ASSERT_EQ(MatrixFactorReal(m.get()), 0);
        ASSERT_EQ(m->intToExtRow[1], 1);
        m->orderForOtherValues = true;
        MatrixClear(m.get());
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                if ((*values)[i][j] != 0.0) MatrixGetElement(m.get(), i + 1, j + 1)->real = (*values)[i][j];
        ASSERT_EQ(MatrixFactorReal(m.get()), 0);
        EXPECT_FALSE(m->orderForOtherValues);
        // A first pivot of 1e-9 against 1 below it is given up; 5 against 1 is kept.
        EXPECT_EQ(m->intToExtRow[1] == 1, values == &strong);
        const auto x = Solve(m.get(), {1.0, 2.0, 3.0});
        for (int i = 0; i < 3; ++i) {
            double r = -(i + 1.0);
            for (int j = 0; j < 3; ++j) r += (*values)[i][j] * x[j];
            EXPECT_NEAR(r, 0.0, 1e-12);
        }
    }
}

TEST(SparseFactor, PartialReorderingsOfRandomSystemsStayExact)
{
    // A strict threshold makes some reused pivot fail on new values, so the order is kept up
    // to that step and the rest reordered, with fill-ins made in the middle of the order.
    for (bool complex : {false, true}) {
        for (unsigned seed = 70; seed < 80; ++seed) {
            MnaBuilder builder(seed);
            const MnaSystem s = builder.Build(40, 3, 3, 60, 10);
            SparseRun run(s);
            run.Load(builder.Values(s, complex));
            MatrixPreorder(run.matrix.get());
            std::vector<Complex> x, reference;
            ASSERT_EQ(run.FactorAndSolve(complex, builder.Rhs(s.unknowns, complex), x), 0);
            for (int load = 0; load < 3; ++load) {
                const auto values = builder.Values(s, complex);
                run.Load(values);
                ASSERT_EQ(MatrixOrderAndFactor(run.matrix.get(), {}, 0.5, -1.0, true), 0);
                const auto b = builder.Rhs(s.unknowns, complex);
                x = run.SolveFactored(complex, b);
                ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
                EXPECT_LT(RelativeDifference(x, reference), 1e-8) << "seed " << seed;
            }
            // Later loads refactor in the latest order.
            const auto values = builder.Values(s, complex);
            run.Load(values);
            const auto b = builder.Rhs(s.unknowns, complex);
            ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
            ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
            EXPECT_LT(RelativeDifference(x, reference), 1e-6) << "seed " << seed;
        }
    }
}

TEST(SparseFactor, ParityFollowsOffDiagonalExchangesOnly)
{
    // Only off-diagonal entries: the first pivot needs a row exchange.
    auto swap = FromDense({{0.0, 3.0}, {2.0, 0.0}});
    ASSERT_EQ(MatrixFactorReal(swap.get()), 0);
    EXPECT_TRUE(swap->oddInterchanges);
    const auto x = Solve(swap.get(), {6.0, 4.0});
    EXPECT_DOUBLE_EQ(x[0], 2.0);
    EXPECT_DOUBLE_EQ(x[1], 2.0);

    // A singleton diagonal further down is moved to step 1 by a symmetric swap.
    auto diag = FromDense({{4.0, 1.0, 0.0}, {1.0, 4.0, 1.0}, {0.0, 0.0, 4.0}});
    ASSERT_EQ(MatrixFactorReal(diag.get()), 0);
    EXPECT_FALSE(diag->oddInterchanges);
    EXPECT_EQ(diag->intToExtRow[1], 3);
    EXPECT_EQ(diag->intToExtCol[1], 3);
}

TEST(SparseFactor, PivotThresholdSeesTheValuesTheStepBeforeLeft)
{
    // Step 1 takes (1,1) and turns (3,2) into -9.999 below a (2,2) of 0.005: that diagonal now
    // fails the threshold, although against its column as it stood before the step it passed.
    // Step 2 must take (3,3) instead.
    auto m = FromDense({{1.0, 1.0, 0.1}, {0.01, 0.015, 20.0}, {10.0, 0.001, 1.08}});
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    EXPECT_EQ(m->intToExtCol[1], 1);
    EXPECT_EQ(m->intToExtRow[2], 3);
    EXPECT_EQ(m->intToExtCol[2], 3);
    const auto x = Solve(m.get(), {2.1, 20.025, 11.081});
    for (double v : x) EXPECT_NEAR(v, 1.0, 1e-12);
}

TEST(SparseFactor, FillinThatMakesTheOnlyPivot)
{
    // Entry (2,2) is structurally absent; the pivot at the last step exists only by fill-in.
    auto m = FromDense({{1.0, 1.0, 1.0}, {1.0, 0.0, 2.0}, {1.0, 3.0, 0.0}});
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    EXPECT_GT(m->fillinCount, 0);
    const auto x = Solve(m.get(), {3.0, 3.0, 4.0});
    EXPECT_NEAR(x[0], 1.0, 1e-14);
    EXPECT_NEAR(x[1], 1.0, 1e-14);
    EXPECT_NEAR(x[2], 1.0, 1e-14);
}

TEST(SparseFactor, DirectRefactorClampsMultipliers)
{
    auto m = FromDense({{2.0, 1.0}, {1.0, 2.0}});
    MatrixElement* upper = MatrixGetElement(m.get(), 1, 2);
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    PartitionColumns(m.get(), kPartitionDirect);
    for (auto [value, expected] : {std::pair{2e-40, 1e-30}, {0.0, -1e-30}, {-2e-40, -1e-30}, {1.0, 0.5}}) {
        MatrixClear(m.get());
        MatrixGetElement(m.get(), 1, 1)->real = 2.0;
        MatrixGetElement(m.get(), 2, 1)->real = 1.0;
        MatrixGetElement(m.get(), 2, 2)->real = 2.0;
        upper->real = value;
        ASSERT_EQ(MatrixFactorReal(m.get()), 0);
        // The factors live in the compact plan; the element keeps its loaded value.
        const FactorPlan& plan = m->plan;
        const auto entry = std::find(plan.element.begin(), plan.element.end(), upper) - plan.element.begin();
        EXPECT_EQ(plan.value[static_cast<std::size_t>(entry)], expected);
        EXPECT_EQ(upper->real, value);
    }
    // A vanishing pivot: its reciprocal is clamped where the multiplier uses it, and the solve
    // divides by the clamped pivot too.
    MatrixClear(m.get());
    MatrixElement* first = MatrixGetElement(m.get(), 1, 1);
    first->real = 1e-35;
    MatrixGetElement(m.get(), 2, 1)->real = 1.0;
    MatrixGetElement(m.get(), 2, 2)->real = 2.0;
    upper->real = 1.0;
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    const FactorPlan& plan = m->plan;
    const auto pivot = std::find(plan.element.begin(), plan.element.end(), first) - plan.element.begin();
    EXPECT_EQ(plan.value[static_cast<std::size_t>(pivot)], 1e30);
    const auto x = Solve(m.get(), {1e-5, 0.0});
    EXPECT_NEAR(x[1], 1e-5, 1e-18);  // 1 with the reciprocal unclamped
}

// The next load of the values an ordering started from keeps the ordering's factors, but not
// where a direct refactorisation would clamp them: the result must not depend on whether an
// ordering came just before.
TEST(SparseFactor, SameValuesAfterAnOrderingAreClampedLikeARefactorisation)
{
    auto m = FromDense({{2.0, 1.0}, {1.0, 2.0}});
    MatrixElement* upper = MatrixGetElement(m.get(), 1, 2);
    auto load = [&m, upper] {
        MatrixClear(m.get());
        MatrixGetElement(m.get(), 1, 1)->real = 2.0;
        MatrixGetElement(m.get(), 2, 1)->real = 1.0;
        MatrixGetElement(m.get(), 2, 2)->real = 2.0;
        upper->real = 0.0;
    };
    load();
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    PartitionColumns(m.get(), kPartitionDirect);
    load();
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    const FactorPlan& plan = m->plan;
    const auto entry = std::find(plan.element.begin(), plan.element.end(), upper) - plan.element.begin();
    EXPECT_EQ(plan.value[static_cast<std::size_t>(entry)], -1e-30);
}

TEST(SparseFactor, IndirectAndDirectRefactorsAgree)
{
    MnaBuilder builder(5);
    const MnaSystem s = builder.Build(60, 3, 3, 90, 8);
    for (bool complex : {false, true}) {
        std::vector<Complex> results[2];
        const auto values = builder.Values(s, complex);
        const auto b = builder.Rhs(s.unknowns, complex);
        for (int mode : {kPartitionDirect, kPartitionIndirect}) {
            SparseRun run(s);
            run.Load(values);
            MatrixPreorder(run.matrix.get());
            std::vector<Complex> x;
            ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
            PartitionColumns(run.matrix.get(), mode);
            run.Load(values);
            ASSERT_EQ(run.FactorAndSolve(complex, b, results[mode - 1]), 0);
            EXPECT_LT(RelativeDifference(results[mode - 1], x), 1e-10);
        }
        EXPECT_LT(RelativeDifference(results[0], results[1]), 1e-10);
    }
}

TEST(SparseFactor, RealAndComplexModesShareOneMatrix)
{
    // The AC run reuses one structure in complex mode; switching back to real must not see
    // the imaginary parts again.
    MnaBuilder builder(17);
    const MnaSystem s = builder.Build(25, 2, 2, 30, 4);
    SparseRun run(s);
    for (bool complex : {false, true, false, true}) {
        const auto values = builder.Values(s, complex);
        if (complex)
            MatrixSetComplex(run.matrix.get());
        else
            MatrixSetReal(run.matrix.get());
        run.Load(values);
        MatrixPreorder(run.matrix.get());
        const auto b = builder.Rhs(s.unknowns, complex);
        std::vector<Complex> x, reference;
        ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
        ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
        EXPECT_LT(RelativeDifference(x, reference), 1e-8) << complex;
    }
}

TEST(SparseFactor, UnsymmetricPatternsWithoutDiagonalsNeedRowAndColumnExchanges)
{
    // Random patterns with no structural diagonal at all: every pivot is off the diagonal.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        const int n = 3 + trial % 25;
        std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
        std::vector<int> perm(n);
        std::iota(perm.begin(), perm.end(), 0);
        std::shuffle(perm.begin(), perm.end(), rng);
        for (int i = 0; i < n; ++i) {
            // A permutation keeps the matrix nonsingular; further random entries add fill-in.
            const int j = perm[i] == i ? (i + 1) % n : perm[i];
            a[i][j] = 2.0 + value(rng);
            for (int k = 0; k < 2; ++k) {
                const int c = std::uniform_int_distribution<int>(0, n - 1)(rng);
                if (c != i) a[i][c] += 0.5 * value(rng);
            }
        }
        auto m = FromDense(a);
        std::vector<double> b(n);
        for (double& v : b) v = value(rng);
        std::vector<double> rhs = b;
        rhs.insert(rhs.begin(), 0.0);
        // Odd trials let the right-hand side weigh the pivot choice.
        const int error = trial % 2 ? MatrixOrderAndFactor(m.get(), rhs, 0.001, 0.0, trial % 4 == 1)
                                    : MatrixFactorReal(m.get());
        if (error == kMatrixSingular) continue;  // the random entries may cancel the permutation
        ASSERT_EQ(error, 0) << trial;
        const auto x = Solve(m.get(), b);
        double residual = 0.0;
        for (int i = 0; i < n; ++i) {
            double r = -b[i];
            for (int j = 0; j < n; ++j) r += a[i][j] * x[j];
            residual = std::max(residual, std::fabs(r));
        }
        EXPECT_LT(residual, 1e-9) << "trial " << trial;

        // The pivots still pass in the old order: the ordered matrix is refactored as it is.
        const auto rowMap = m->intToExtRow;
        MatrixClear(m.get());
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (a[i][j] != 0.0) MatrixGetElement(m.get(), i + 1, j + 1)->real = a[i][j];
        ASSERT_EQ(MatrixOrderAndFactor(m.get(), {}, 0.0, -1.0, true), 0);
        EXPECT_EQ(m->intToExtRow, rowMap);
        EXPECT_EQ(Solve(m.get(), b), x);
    }
}

TEST(SparseFactor, PivotsBelowTheThresholdsAreAcceptedWhenNothingBetterExists)
{
    auto m = FromDense({{1.0, 2.0}, {3.0, 4.0}});
    ASSERT_EQ(MatrixOrderAndFactor(m.get(), {}, 0.5, 100.0, true), 0);
    EXPECT_EQ(m->pivotMethod, 'e');
    EXPECT_EQ(m->absThreshold, 100.0);
    const auto x = Solve(m.get(), {5.0, 11.0});
    EXPECT_NEAR(x[0], 1.0, 1e-14);
    EXPECT_NEAR(x[1], 2.0, 1e-14);
}

}  // namespace
}  // namespace kq5
