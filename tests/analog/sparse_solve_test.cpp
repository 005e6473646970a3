// Forward and back substitution and the preorder of modified nodal equations.
#include <tuple>

#include "sparse_test_support.h"

namespace kq5 {
namespace {

using namespace sparse_test;

TEST(SparseSolve, OneByOneRealAndComplex)
{
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixGetElement(m.get(), 1, 1)->real = 2.0;
    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    std::vector<double> b{0.0, 4.0}, x{0.0, 0.0};
    ASSERT_EQ(MatrixSolve(m.get(), b, x), 0);
    EXPECT_EQ(x[1], 2.0);

    // The forward pass holds values to at least 1e-50 before scaling.
    b[1] = 1e-60;
    ASSERT_EQ(MatrixSolve(m.get(), b, x), 0);
    EXPECT_EQ(x[1], 1e-50 / 2.0);

    // One vector may be right-hand side and solution at once; entry 0 is left alone.
    std::vector<double> v{7.0, 8.0};
    ASSERT_EQ(MatrixSolve(m.get(), v, v), 0);
    EXPECT_EQ(v[0], 7.0);
    EXPECT_EQ(v[1], 4.0);

    auto c = MatrixCreate(0, true, error);
    MatrixElementRef(MatrixGetElement(c.get(), 1, 1)).AddComplex(1.0, 1.0);
    ASSERT_EQ(MatrixFactorComplex(c.get()), 0);
    std::vector<double> cb{0.0, 0.0, 2.0, 0.0}, cx(4, 0.0);
    ASSERT_EQ(MatrixSolve(c.get(), cb, cx), 0);
    EXPECT_DOUBLE_EQ(cx[2], 1.0);
    EXPECT_DOUBLE_EQ(cx[3], -1.0);
}

TEST(SparseSolve, ShortVectorsAreRefused)
{
    // A complex system of n unknowns needs 2(n + 1) doubles in each vector.
    int error = 0;
    auto m = MatrixCreate(0, true, error);
    for (int i = 1; i <= 3; ++i) MatrixGetElement(m.get(), i, i)->real = 1.0;
    ASSERT_EQ(MatrixFactorComplex(m.get()), 0);
    EXPECT_EQ(MatrixVectorLength(m.get()), 8u);
    std::vector<double> b(8, 1.0), shortX(7, 0.0), x(8, 0.0);
    EXPECT_EQ(MatrixSolve(m.get(), b, shortX), kMatrixBadSize);
    EXPECT_EQ(shortX, std::vector<double>(7, 0.0));
    EXPECT_EQ(MatrixSolve(m.get(), std::span<const double>(b).first(6), x), kMatrixBadSize);
    EXPECT_EQ(MatrixSolve(m.get(), b, x), 0);
    // Factors of the other mode are not used.
    MatrixSetReal(m.get());
    EXPECT_EQ(MatrixSolve(m.get(), b, x), kMatrixBadSize);
}

TEST(SparseSolve, PreorderGivesVoltageSourceRowsADiagonal)
{
    // A voltage source from node 1 to ground: (1,2) and (2,1) are 1, row 2 has no diagonal.
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixGetElement(m.get(), 1, 1)->real = 1e-3;
    MatrixGetElement(m.get(), 1, 2)->real = 1.0;
    MatrixGetElement(m.get(), 2, 1)->real = 1.0;
    EXPECT_EQ(m->diag[2], nullptr);
    ASSERT_EQ(MatrixPreorder(m.get()), 0);
    EXPECT_TRUE(m->oddInterchanges);
    EXPECT_EQ(m->intToExtCol[1], 2);
    EXPECT_EQ(m->intToExtCol[2], 1);
    ASSERT_NE(m->diag[1], nullptr);
    ASSERT_NE(m->diag[2], nullptr);
    EXPECT_EQ(sparse_internal::ValueOf(*m, m->diag[1])->real, 1.0);
    EXPECT_EQ(sparse_internal::ValueOf(*m, m->diag[2])->real, 1.0);

    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    // 1 mS load on a 5 V source: 5 V at the node, -5 mA through the source.
    std::vector<double> b{0.0, 0.0, 5.0}, x(3, 0.0);
    ASSERT_EQ(MatrixSolve(m.get(), b, x), 0);
    EXPECT_DOUBLE_EQ(x[1], 5.0);
    EXPECT_DOUBLE_EQ(x[2], -5e-3);

    // Once ordered, a preorder changes nothing.
    const auto mapBefore = m->intToExtCol;
    const bool parityBefore = m->oddInterchanges;
    EXPECT_EQ(MatrixPreorder(m.get()), 0);
    EXPECT_EQ(m->intToExtCol, mapBefore);
    EXPECT_EQ(m->oddInterchanges, parityBefore);
}

TEST(SparseSolve, PreorderResolvesColumnsWithSeveralTwins)
{
    // Source 3 between nodes 1 and 2 gives column 3 two twins; source 4 from node 2 to ground
    // is a lone twin. The lone twin goes first, after which column 3 has one twin left.
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixGetElement(m.get(), 1, 1)->real = 1.0;
    MatrixGetElement(m.get(), 2, 2)->real = 1.0;
    for (auto [row, col, value] : {std::tuple{1, 3, 1.0}, {2, 3, -1.0}, {3, 1, 1.0}, {3, 2, -1.0},
                                   {2, 4, 1.0}, {4, 2, 1.0}})
        MatrixGetElement(m.get(), row, col)->real = value;
    ASSERT_EQ(MatrixPreorder(m.get()), 0);
    for (int i = 1; i <= 4; ++i) EXPECT_NE(m->diag[i], nullptr) << i;
    EXPECT_FALSE(m->oddInterchanges);  // two swaps

    ASSERT_EQ(MatrixFactorReal(m.get()), 0);
    std::vector<double> b{0.0, 0.0, 0.0, 1.0, 2.0}, x(5, 0.0);
    ASSERT_EQ(MatrixSolve(m.get(), b, x), 0);
    EXPECT_NEAR(x[1], 3.0, 1e-14);
    EXPECT_NEAR(x[2], 2.0, 1e-14);
    EXPECT_NEAR(x[3], -3.0, 1e-14);
    EXPECT_NEAR(x[4], -5.0, 1e-14);
}

TEST(SparseSolve, RandomSystemsSolvedRepeatedlyWithOneFactor)
{
    MnaBuilder builder(321);
    const MnaSystem s = builder.Build(50, 3, 2, 70, 6);
    for (bool complex : {false, true}) {
        SparseRun run(s);
        const auto values = builder.Values(s, complex);
        run.Load(values);
        MatrixPreorder(run.matrix.get());
        const int error = complex ? MatrixFactorComplex(run.matrix.get()) : MatrixFactorReal(run.matrix.get());
        ASSERT_EQ(error, 0);
        const auto a = DenseMatrix(s, values);
        for (int k = 0; k < 3; ++k) {
            const auto b = builder.Rhs(s.unknowns, complex);
            EXPECT_LT(RelativeResidual(a, run.SolveFactored(complex, b), b), 1e-12);
        }
    }
}

}  // namespace
}  // namespace kq5
