#include "analog/sparse_solve.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kq5 {

using namespace sparse_internal;

namespace {

inline std::size_t Ix(int i)
{
    return static_cast<std::size_t>(i);
}

// Keeps the forward pass within 1e-50 .. 1e50, so that denormal right-hand sides and huge
// stored reciprocals cannot reach the solution as zeros or infinities.
inline double ClampSolveMagnitude(double value)
{
    const double magnitude = std::fabs(value);
    if (magnitude < 1e-50) return value > 0.0 ? 1e-50 : -1e-50;
    if (magnitude > 1e50) return value > 0.0 ? 1e50 : -1e50;
    return value;
}

// The arrays a solve reads, taken out of the matrix once.
struct SolveView {
    explicit SolveView(SparseMatrix& m)
        : n(m.plan.size), colStart(m.plan.colStart.data()), diagPos(m.plan.diagPos.data()),
          rowIndex(m.plan.rowIndex.data()), upperStart(m.plan.upperStart.data()),
          upperCol(m.plan.upperCol.data()),
          b(m.intermediate.data()), rowMap(m.intToExtRow.data()), colMap(m.intToExtCol.data())
    {
    }
    int n;
    const std::int32_t *colStart, *diagPos, *rowIndex, *upperStart, *upperCol;
    double* b;  // the intermediate vector
    const std::int32_t *rowMap, *colMap;
};

// Forward (L c = b, a zero entry skipping its whole column) and back substitution (U x = c)
// on the compact factors of the plan.
void SolveReal(SparseMatrix& m, std::span<const double> rhs, std::span<double> solution)
{
    const SolveView view(m);
    const auto [n, colStart, diagPos, rowIndex, upperStart, upperCol, b, rowMap, colMap] = view;
    const double* v = m.plan.value.data();
    const double* u = m.plan.upperValue.data();

    for (int i = n; i >= 1; --i) b[i] = rhs[Ix(rowMap[i])];
    // In chain-like circuits every row waits for the one before. The update of the next row
    // is carried in a register instead of through memory; it is applied in the same order,
    // so the result is the same to the last bit.
    double carry = 0.0;  // what row i - 1 subtracts from row i
    for (int i = 1; i <= n; ++i) {
        double t = b[i] - carry;
        carry = 0.0;
        if (t == 0.0) {
            b[i] = t;
            continue;
        }
        const std::int32_t diagonal = diagPos[i];
        t = ClampSolveMagnitude(t) * ClampSolveMagnitude(v[diagonal]);
        b[i] = t;
        std::int32_t q = diagonal + 1;
        const std::int32_t end = colStart[i + 1];
        if (q < end && rowIndex[q] == i + 1) carry = t * v[q++];
        for (; q < end; ++q) b[rowIndex[q]] -= t * v[q];
    }
    // The right-hand side has been read: each solution goes out as it is found.
    double next = 0.0;  // the solution of row i + 1
    for (int i = n; i >= 1; --i) {
        double t = b[i];
        std::int32_t q = upperStart[i];
        const std::int32_t end = upperStart[i + 1];
        if (q < end && upperCol[q] == i + 1) {
            t -= u[q] * next;
            ++q;
        }
        for (; q < end; ++q) t -= u[q] * b[upperCol[q]];
        b[i] = t;
        next = t;
        solution[Ix(colMap[i])] = t;
    }
}

void SolveComplex(SparseMatrix& m, std::span<const double> rhs, std::span<double> solution)
{
    const SolveView view(m);
    const auto [n, colStart, diagPos, rowIndex, upperStart, upperCol, b, rowMap, colMap] = view;
    const double* v = m.plan.complexValue.data();
    const double* u = m.plan.upperComplexValue.data();

    for (int i = n; i >= 1; --i) {
        const std::size_t k = 2 * Ix(rowMap[i]);
        b[2 * i] = rhs[k];
        b[2 * i + 1] = rhs[k + 1];
    }
    for (int i = 1; i <= n; ++i) {
        const double xr = b[2 * i], xi = b[2 * i + 1];
        if (xr == 0.0 && xi == 0.0) continue;
        const std::int32_t diagonal = diagPos[i];
        double tr, ti;
        MultiplyComplex(xr, xi, v[2 * diagonal], v[2 * diagonal + 1], tr, ti);
        b[2 * i] = tr;
        b[2 * i + 1] = ti;
        for (std::int32_t q = diagonal + 1, end = colStart[i + 1]; q < end; ++q)
            SubtractComplexProduct(b + 2 * rowIndex[q], tr, ti, v + 2 * q);
    }
    for (int i = n; i >= 1; --i) {
        double* t = b + 2 * i;
        for (std::int32_t q = upperStart[i], end = upperStart[i + 1]; q < end; ++q)
            SubtractComplexProduct(t, u[2 * q], u[2 * q + 1], b + 2 * upperCol[q]);
    }
    for (int i = n; i >= 1; --i) {
        const std::size_t k = 2 * Ix(colMap[i]);
        solution[k] = b[2 * i];
        solution[k + 1] = b[2 * i + 1];
    }
}

// The real part loaded into the element; zero for a fill-in no caller was given.
double ValueOrZero(const SparseMatrix& m, const ElementNode* e)
{
    const MatrixElement* value = ValueOf(m, e);
    return value ? value->real : 0.0;
}

// The number of unit twin pairs of column j (a +-1 at (r, j) with a +-1 at (j, r)), stopping
// at 2. The first pair is returned with its elements' column fields set for the swap.
int CountUnitTwins(SparseMatrix& m, int j, ElementNode*& twin1, ElementNode*& twin2)
{
    int twins = 0;
    for (ElementNode* a = m.firstInCol[Ix(j)]; a; a = a->nextInCol) {
        if (std::fabs(ValueOrZero(m, a)) != 1.0) continue;
        const int r = a->row;
        ElementNode* b = m.firstInCol[Ix(r)];
        while (b && b->row != j) b = b->nextInCol;
        if (!b || std::fabs(ValueOrZero(m, b)) != 1.0) continue;
        if (++twins >= 2) return twins;
        a->col = j;
        b->col = r;
        twin1 = a;
        twin2 = b;
    }
    return twins;
}

void SwapTwinColumns(SparseMatrix& m, ElementNode* a, ElementNode* b)
{
    const int c1 = a->col;
    const int c2 = b->col;
    std::swap(m.firstInCol[Ix(c1)], m.firstInCol[Ix(c2)]);
    std::swap(m.lastInCol[Ix(c1)], m.lastInCol[Ix(c2)]);
    std::swap(m.intToExtCol[Ix(c1)], m.intToExtCol[Ix(c2)]);
    m.extToIntCol[Ix(m.intToExtCol[Ix(c1)])] = c1;
    m.extToIntCol[Ix(m.intToExtCol[Ix(c2)])] = c2;
    m.diag[Ix(c1)] = b;
    m.diag[Ix(c2)] = a;
    m.oddInterchanges = !m.oddInterchanges;
}

void PreorderZeroDiagonals(SparseMatrix& m)
{
    if (m.rowsLinked) return;
    m.reordered = true;
    int start = 1;
    bool anotherPass;
    do {
        anotherPass = false;
        bool swapped = false;
        ElementNode* twin1 = nullptr;
        ElementNode* twin2 = nullptr;
        // Lone twins first: their swap is the only way to give the column a diagonal.
        for (int j = start; j <= m.size; ++j) {
            if (m.diag[Ix(j)]) continue;
            const int twins = CountUnitTwins(m, j, twin1, twin2);
            if (twins == 1) {
                SwapTwinColumns(m, twin1, twin2);
                swapped = true;
            } else if (twins > 1 && !anotherPass) {
                anotherPass = true;
                start = j;
            }
        }
        // Then one column with several twins; its swap may leave others with lone twins.
        if (anotherPass) {
            for (int j = start; !swapped && j <= m.size; ++j) {
                if (m.diag[Ix(j)]) continue;
                if (CountUnitTwins(m, j, twin1, twin2) > 0) {
                    SwapTwinColumns(m, twin1, twin2);
                    swapped = true;
                }
            }
        }
    } while (anotherPass);
}

}  // namespace

std::size_t MatrixVectorLength(const SparseMatrix* matrix)
{
    if (!matrix) return 0;
    const std::size_t entries = Ix(std::max(matrix->extSize, matrix->size)) + 1;
    return matrix->complex ? 2 * entries : entries;
}

int MatrixSolve(SparseMatrix* matrix, std::span<const double> rhs, std::span<double> solution)
{
    if (!matrix) return kMatrixBadSize;
    SparseMatrix& m = *matrix;
    const std::size_t length = MatrixVectorLength(matrix);
    if (!m.factored || !m.plan.valid || m.plan.complexFactors != m.complex || !m.workVectorsAllocated ||
        rhs.size() < length || solution.size() < length)
        return kMatrixBadSize;
    if (m.complex)
        SolveComplex(m, rhs, solution);
    else
        SolveReal(m, rhs, solution);
    return 0;
}

int MatrixPreorder(SparseMatrix* matrix)
{
    if (!matrix) return kMatrixNoMemory;
    PreorderZeroDiagonals(*matrix);
    return matrix->error;
}

}  // namespace kq5
