// Keeping factors whose loaded values did not change, the fill-ins kept apart from the loaded
// elements, and the lists after orderings that exchange many rows and columns.
#include <cmath>
#include <cstring>
#include <memory>
#include <tuple>

#include "analog/sparse_ordering.h"
#include "sparse_test_support.h"

namespace kq5 {
namespace {

using namespace sparse_test;

bool SameBits(const std::vector<Complex>& a, const std::vector<Complex>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0;
}

// The solution a matrix that never saw any other load gives: ordered on the first values,
// then refactored with these (as the run under test refactors every later load).
std::vector<Complex> FreshSolution(const MnaSystem& s, const std::vector<Complex>& first,
                                   const std::vector<Complex>& values, bool complex, const std::vector<Complex>& b)
{
    SparseRun fresh(s);
    fresh.Load(first);
    EXPECT_EQ(MatrixPreorder(fresh.matrix.get()), 0);
    std::vector<Complex> x;
    EXPECT_EQ(fresh.FactorAndSolve(complex, b, x), 0);
    fresh.Load(values);
    EXPECT_EQ(fresh.FactorAndSolve(complex, b, x), 0);
    return x;
}

class SparseReuseTest : public ::testing::TestWithParam<bool> {};

// The loads of a transient run: the same values again (the next Newton iteration, the next
// step of the same size), other values (a new step size, a nonlinear device), the old values
// after other ones (a rejected step), a change in one entry by one unit in the last place.
TEST_P(SparseReuseTest, EveryLoadSolvesLikeAFreshFactorisation)
{
    const bool complex = GetParam();
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        MnaBuilder builder(seed);
        const MnaSystem s = builder.Build(40, 3, 2, 60, 8);
        const auto a = builder.Values(s, complex);
        const auto other = builder.Values(s, complex);
        auto nudged = a;
        const std::size_t k = static_cast<std::size_t>(builder.Pick(0, static_cast<int>(a.size()) - 1));
        nudged[k] = Complex(std::nextafter(a[k].real(), 1e300), a[k].imag());
        auto scaled = a;
        for (std::size_t i = 0; i < 4; ++i) scaled[i] *= 1.5;  // one conductance's four entries
        const auto b = builder.Rhs(s.unknowns, complex);

        SparseRun run(s);
        run.Load(a);
        ASSERT_EQ(MatrixPreorder(run.matrix.get()), 0);
        std::vector<Complex> x;
        ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
        const std::vector<const std::vector<Complex>*> loads = {&a, &a, &other, &a, &a, &nudged, &nudged, &scaled, &a};
        for (const std::vector<Complex>* values : loads) {
            run.Load(*values);
            ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
            EXPECT_TRUE(SameBits(x, FreshSolution(s, a, *values, complex, b)));
            std::vector<Complex> reference;
            ASSERT_TRUE(DenseSolve(DenseMatrix(s, *values), b, reference));
            EXPECT_LT(RelativeDifference(x, reference), 1e-6);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RealAndComplex, SparseReuseTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Complex" : "Real"; });

TEST(SparseReuse, ModeChangeRefactorsTheSameValues)
{
    MnaBuilder builder(17);
    const MnaSystem s = builder.Build(20, 2, 1, 25, 4);
    const auto values = builder.Values(s, false);
    const auto b = builder.Rhs(s.unknowns, true);
    std::vector<Complex> reference;
    ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));

    SparseRun run(s);
    run.Load(values);
    MatrixPreorder(run.matrix.get());
    std::vector<Complex> x;
    for (bool complex : {false, false, true, true, false, true}) {
        run.Load(values);
        ASSERT_EQ(run.FactorAndSolve(complex, b, x), 0);
        if (complex) {
            EXPECT_LT(RelativeDifference(x, reference), 1e-8);
        } else {
            // The real solve sees the real parts of the right-hand side only.
            std::vector<Complex> realB(b.size()), realReference;
            for (std::size_t i = 0; i < b.size(); ++i) realB[i] = b[i].real();
            ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), realB, realReference));
            EXPECT_LT(RelativeDifference(x, realReference), 1e-8);
        }
    }
}

// The external position of a fill-in of the factors (on the diagonal when asked), or (0, 0).
// The fill-ins' elements were given back; they are made again when a caller asks for a place.
std::pair<int, int> FillinPosition(const SparseMatrix& m, bool diagonal)
{
    const FactorPlan& plan = m.plan;
    for (int c = 1; c <= plan.size; ++c)
        for (std::int32_t q = plan.colStart[static_cast<std::size_t>(c)]; q < plan.colStart[static_cast<std::size_t>(c) + 1]; ++q) {
            const int r = plan.rowIndex[static_cast<std::size_t>(q)];
            if (plan.element[static_cast<std::size_t>(q)] == &m.fillinZero && (!diagonal || r == c))
                return {m.intToExtRow[static_cast<std::size_t>(r)], m.intToExtCol[static_cast<std::size_t>(c)]};
        }
    return {0, 0};
}

// A device set up after the ordering may be handed an element that is a fill-in, off the
// diagonal or on it: it is loaded like any element, every clear zeroes it, and a change in it
// is seen by the reuse check.
TEST(SparseReuse, FillinHandedOutAfterOrderingIsLoadedAndCleared)
{
    for (const bool diagonal : {false, true}) {
        SCOPED_TRACE(diagonal ? "diagonal" : "off the diagonal");
        // The first system whose factors have such a fill-in.
        std::unique_ptr<SparseRun> run;
        MnaSystem s;
        std::vector<Complex> values, b;
        int row = 0, col = 0;
        for (unsigned seed = 23; seed < 123 && row == 0; ++seed) {
            MnaBuilder builder(seed);
            s = builder.Build(30, 2, 1, 40, 5);
            values = builder.Values(s, false);
            run = std::make_unique<SparseRun>(s);
            run->Load(values);
            // Unordered beforehand, a source's branch gets its diagonal as a fill-in when the
            // node it drives is eliminated.
            if (!diagonal) MatrixPreorder(run->matrix.get());
            std::vector<Complex> x;
            b = builder.Rhs(s.unknowns, false);
            ASSERT_EQ(run->FactorAndSolve(false, b, x), 0);
            ASSERT_GT(run->matrix->fillinCount, 0);
            std::tie(row, col) = FillinPosition(*run->matrix, diagonal);
        }
        ASSERT_NE(row, 0);
        SparseMatrix& m = *run->matrix;
        const int elements = m.elementCount;
        // A diagonal is asked for after another fill-in was handed out, while the fill-ins'
        // elements are all in place.
        MatrixElementRef other;
        if (diagonal) {
            const auto [otherRow, otherCol] = FillinPosition(m, false);
            ASSERT_NE(otherRow, 0);
            ASSERT_EQ(MatrixReserveElement(&m, otherRow, otherCol, other), 0);
        }
        MatrixElementRef fillin;
        ASSERT_EQ(MatrixReserveElement(&m, row, col, fillin), 0);
        EXPECT_EQ(m.elementCount, elements);
        EXPECT_FALSE(m.needsOrdering);

        MnaSystem withFillin = s;
        withFillin.positions.push_back({row, col});
        withFillin.kinds.push_back(kFree);
        for (double added : {0.0, 0.25, 0.25, 0.0, 0.5, 0.0}) {
            auto loaded = values;
            loaded.push_back(added);
            run->Load(values);
            fillin.Add(added);
            std::vector<Complex> x;
            ASSERT_EQ(run->FactorAndSolve(false, b, x), 0);
            std::vector<Complex> reference;
            ASSERT_TRUE(DenseSolve(DenseMatrix(withFillin, loaded), b, reference));
            EXPECT_LT(RelativeDifference(x, reference), 1e-8) << "fill-in value " << added;
        }
    }
}

// Every column list ascending by row and every row list by column, the fields matching the
// list an element is in, each diagonal pointer at its diagonal (the fill-ins made again from
// the factors first).
void ExpectOrderedLists(SparseMatrix& m)
{
    ASSERT_TRUE(sparse_internal::RestoreFillinElements(m));
    int inColumns = 0, inRows = 0;
    for (int i = 1; i <= m.size; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        int last = 0;
        for (const ElementNode* e = m.firstInCol[k]; e; e = e->nextInCol, ++inColumns) {
            ASSERT_EQ(e->col, i);
            ASSERT_GT(e->row, last) << "column " << i;
            last = e->row;
        }
        last = 0;
        if (!m.rowsLinked) continue;
        for (const ElementNode* e = m.firstInRow[k]; e; e = e->nextInRow, ++inRows) {
            ASSERT_EQ(e->row, i);
            ASSERT_GT(e->col, last) << "row " << i;
            last = e->col;
        }
        if (const ElementNode* d = m.diag[k]) {
            EXPECT_EQ(d->row, i);
            EXPECT_EQ(d->col, i);
        }
    }
    EXPECT_EQ(inColumns, m.elementCount);
    if (m.rowsLinked) {
        EXPECT_EQ(inRows, m.elementCount);
    }
}

TEST(SparseOrdering, ListsAreOrderedAfterFullAndPartialOrderings)
{
    for (unsigned seed = 40; seed < 46; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        MnaBuilder builder(seed);
        const MnaSystem s = builder.Build(60, 4, 3, 120, 15);
        SparseRun run(s);
        run.Load(builder.Values(s, false));
        MatrixPreorder(run.matrix.get());
        std::vector<Complex> x;
        ASSERT_EQ(run.FactorAndSolve(false, builder.Rhs(s.unknowns, false), x), 0);
        ExpectOrderedLists(*run.matrix);
        // A strict threshold reorders from a middle step on.
        for (int load = 0; load < 3; ++load) {
            run.Load(builder.Values(s, false));
            ASSERT_EQ(MatrixOrderAndFactor(run.matrix.get(), {}, 0.9, -1.0, true), 0);
            ExpectOrderedLists(*run.matrix);
        }
    }
}

// An ordering that stops at a singular step leaves its lists ordered, and the next load with
// regular values orders and solves.
TEST(SparseOrdering, OrderingStoppedBySingularityLeavesOrderedLists)
{
    MnaBuilder builder(5);
    const MnaSystem s = builder.Build(30, 0, 0, 50, 0);
    SparseRun run(s);
    auto values = builder.Values(s, false);
    // Node 1's conductances zero: its row and column are empty, found only after others.
    std::vector<Complex> singular = values;
    for (std::size_t i = 0; i < s.positions.size(); ++i)
        if (s.positions[i].first == 1 || s.positions[i].second == 1) singular[i] = 0.0;
    run.Load(singular);
    MatrixPreorder(run.matrix.get());
    std::vector<Complex> x;
    const auto b = builder.Rhs(s.unknowns, false);
    EXPECT_EQ(run.FactorAndSolve(false, b, x), kMatrixSingular);
    ExpectOrderedLists(*run.matrix);

    run.Load(values);
    ASSERT_EQ(run.FactorAndSolve(false, b, x), 0);
    ExpectOrderedLists(*run.matrix);
    std::vector<Complex> reference;
    ASSERT_TRUE(DenseSolve(DenseMatrix(s, values), b, reference));
    EXPECT_LT(RelativeDifference(x, reference), 1e-8);
}

// Set-up of a node shared by many devices, as a supply rail: lookups of existing positions
// find the same elements whatever the order they are asked in.
TEST(SparseMatrix, BusyColumnLookupsFindTheirElements)
{
    std::unique_ptr<SparseMatrix> m;
    ASSERT_EQ(CreateSolverMatrix(m), 0);
    constexpr int kDevices = 300;
    std::vector<MatrixElement*> made;
    for (int i = 2; i <= kDevices; ++i) {
        made.push_back(MatrixGetElement(m.get(), i, 1));
        made.push_back(MatrixGetElement(m.get(), 1, i));
        made.push_back(MatrixGetElement(m.get(), i, i));
    }
    const int elements = m->elementCount;
    std::size_t k = 0;
    for (int i = 2; i <= kDevices; ++i) {
        EXPECT_EQ(MatrixGetElement(m.get(), i, 1), made[k++]);
        EXPECT_EQ(MatrixGetElement(m.get(), 1, i), made[k++]);
        EXPECT_EQ(MatrixGetElement(m.get(), i, i), made[k++]);
    }
    // Backwards, then new rows above and below the last element of busy columns.
    for (int i = kDevices; i >= 2; --i) EXPECT_EQ(MatrixGetElement(m.get(), i, 1), made[static_cast<std::size_t>(3 * (i - 2))]);
    EXPECT_EQ(m->elementCount, elements);
    MatrixElement* above = MatrixGetElement(m.get(), 2, kDevices);
    MatrixElement* below = MatrixGetElement(m.get(), kDevices, 2);
    EXPECT_EQ(m->elementCount, elements + 2);
    EXPECT_EQ(MatrixGetElement(m.get(), 2, kDevices), above);
    EXPECT_EQ(MatrixGetElement(m.get(), kDevices, 2), below);
    ExpectOrderedLists(*m);
}

}  // namespace
}  // namespace kq5
