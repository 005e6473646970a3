// Structure of the sparse matrix: creation, index translation, element lookup, growth,
// clearing and the stability of element addresses.
#include "sparse_test_support.h"

namespace kq5 {
namespace {

using namespace sparse_test;

TEST(SparseMatrix, CreationChecksItsSize)
{
    int error = -1;
    EXPECT_EQ(MatrixCreate(-1, false, error), nullptr);
    EXPECT_EQ(error, kMatrixBadSize);

    auto m = MatrixCreate(0, false, error);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(m->allocatedSize, kMinAllocatedSize);
    EXPECT_EQ(m->size, 0);
    EXPECT_TRUE(m->needsOrdering);
    EXPECT_EQ(m->relThreshold, 0.001);
    EXPECT_EQ(m->absThreshold, 0.0);
    EXPECT_EQ(m->identifier, kSparseMatrixIdentifier);

    std::unique_ptr<SparseMatrix> slot;
    EXPECT_EQ(CreateSolverMatrix(slot), 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(slot->complex);
    MatrixDestroy(slot);
    EXPECT_EQ(slot, nullptr);

    EXPECT_EQ(MatrixGetError(nullptr), kMatrixNoMemory);
    MatrixSetComplex(nullptr);  // harmless
    EXPECT_EQ(MatrixGetElement(nullptr, 1, 1), nullptr);
}

TEST(SparseMatrix, ExternalNumbersGetInternalOnesInOrderOfUse)
{
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixElement* e73 = MatrixGetElement(m.get(), 7, 3);
    ASSERT_NE(e73, nullptr);
    EXPECT_EQ(m->extToIntRow[7], 1);
    EXPECT_EQ(m->extToIntCol[7], 1);
    EXPECT_EQ(m->extToIntRow[3], 2);
    EXPECT_EQ(m->extToIntCol[3], 2);
    EXPECT_EQ(m->intToExtRow[1], 7);
    EXPECT_EQ(m->intToExtCol[2], 3);
    ASSERT_NE(m->firstInCol[2], nullptr);
    EXPECT_EQ(sparse_internal::ValueOf(*m, m->firstInCol[2]), e73);
    EXPECT_EQ(m->firstInCol[2]->row, 1);
    EXPECT_EQ(m->extSize, 7);

    // The same pair gives the same element; a diagonal is found through the diagonal vector.
    EXPECT_EQ(MatrixGetElement(m.get(), 7, 3), e73);
    MatrixElement* d = MatrixGetElement(m.get(), 3, 3);
    EXPECT_EQ(sparse_internal::ValueOf(*m, m->diag[2]), d);
    EXPECT_EQ(MatrixGetElement(m.get(), 3, 3), d);
    EXPECT_EQ(m->elementCount, 2);

    // Ground rows and columns all land on the trash element; negative numbers are refused.
    MatrixElement* trash = MatrixGetElement(m.get(), 0, 5);
    EXPECT_EQ(trash, &m->trash);
    EXPECT_EQ(MatrixGetElement(m.get(), 4, 0), trash);
    EXPECT_EQ(m->elementCount, 2);
    EXPECT_EQ(MatrixGetElement(m.get(), -1, 2), nullptr);
    EXPECT_EQ(MatrixGetError(m.get()), kMatrixBadSize);
}

TEST(SparseMatrix, LargeExternalNumbersGrowOnlyTheMaps)
{
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixGetElement(m.get(), 1000, 1000);
    EXPECT_GE(m->allocatedExtSize, 1000);
    EXPECT_EQ(m->extSize, 1000);
    EXPECT_EQ(m->size, 1);
    EXPECT_EQ(m->allocatedSize, kMinAllocatedSize);
    EXPECT_EQ(m->extToIntRow[999], -1);
    EXPECT_EQ(m->extToIntRow[1000], 1);
}

TEST(SparseMatrix, ElementAddressesSurviveGrowthClearsAndFactorisations)
{
    // A ladder built from size 0: the frame grows many times and elements come from many blocks.
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    const int n = 3000;
    std::vector<MatrixElement*> first;
    for (int i = 1; i <= n; ++i) {
        for (auto [r, c] : {std::pair{i, i}, {i, i - 1}, {i - 1, i}}) {
            MatrixElement* e = MatrixGetElement(m.get(), r, c);
            ASSERT_NE(e, nullptr);
            if (i <= 3) first.push_back(e);
        }
    }
    EXPECT_GT(m->elementCount, 6 * kMinAllocatedSize);
    EXPECT_GE(m->allocatedSize, n);
    EXPECT_EQ(MatrixGetElement(m.get(), 1, 1), first[0]);
    EXPECT_EQ(MatrixGetElement(m.get(), 2, 1), first[4]);

    // Stamp a ladder through the kept addresses only; solve; stamp again with new values.
    for (double g : {1.0, 3.0}) {
        MatrixClear(m.get());
        for (int i = 1; i <= n; ++i) {
            MatrixGetElement(m.get(), i, i)->real += (i == n ? 1.0 : 2.0) * g + 1e-3;
            if (i > 1) {
                MatrixGetElement(m.get(), i, i - 1)->real -= g;
                MatrixGetElement(m.get(), i - 1, i)->real -= g;
            }
        }
        ASSERT_EQ(MatrixFactorReal(m.get()), 0);
        std::vector<double> b(n + 1, 0.0), x(n + 1, 0.0);
        b[1] = 1.0;
        ASSERT_EQ(MatrixSolve(m.get(), b, x), 0);
        // Residual of the first rows, read back through the same pointers after the solve.
        const double r1 = (2.0 * g + 1e-3) * x[1] - g * x[2] - 1.0;
        EXPECT_NEAR(r1, 0.0, 1e-12);
        EXPECT_EQ(MatrixGetElement(m.get(), 1, 1), first[0]);
    }
    EXPECT_FALSE(m->needsOrdering);
}

TEST(SparseMatrix, ClearZeroesImaginaryPartsWhileOrAfterComplexUse)
{
    int error = 0;
    auto m = MatrixCreate(0, true, error);
    MatrixElement* e = MatrixGetElement(m.get(), 1, 2);
    MatrixElementRef ref(e);
    ref.AddComplex(1.0, 2.0);
    m->trash.real = 5.0;
    m->trash.imag = 6.0;
    m->error = kMatrixSingular;
    m->singularRow = 1;
    MatrixClear(m.get());
    EXPECT_EQ(e->real, 0.0);
    EXPECT_EQ(e->imag, 0.0);
    EXPECT_EQ(m->trash.real, 0.0);
    EXPECT_EQ(m->trash.imag, 0.0);
    EXPECT_EQ(m->error, 0);
    EXPECT_EQ(m->singularRow, 0);

    // Back in real mode a clear still zeroes imaginary parts.
    ref.AddComplex(1.0, 2.0);
    MatrixSetReal(m.get());
    MatrixClear(m.get());
    EXPECT_EQ(e->imag, 0.0);
}

TEST(SparseMatrix, ReserveGivesAReferenceForDeviceRecords)
{
    int error = 0;
    auto m = MatrixCreate(0, false, error);
    MatrixElementRef a, b, ground;
    EXPECT_EQ(MatrixReserveElement(m.get(), 2, 2, a), 0);
    EXPECT_EQ(MatrixReserveElement(m.get(), 2, 2, b), 0);
    EXPECT_EQ(MatrixReserveElement(m.get(), 0, 2, ground), 0);
    EXPECT_EQ(a.Element(), b.Element());
    EXPECT_EQ(ground.Element(), &m->trash);
    a.Add(1.5);
    b.Add(0.5);
    EXPECT_EQ(a.Element()->real, 2.0);

    MatrixElementRef bad;
    EXPECT_EQ(MatrixReserveElement(m.get(), -3, 1, bad), kMatrixBadSize);
    EXPECT_FALSE(bad);
}

}  // namespace
}  // namespace kq5
