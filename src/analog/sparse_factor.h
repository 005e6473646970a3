#pragma once
// LU factorisation of a SparseMatrix in place. The first factorisation of a structure chooses
// the pivot order (Markowitz with diagonal preference and a relative threshold) and creates
// the fill-ins; later ones reuse the order and only recompute values.
//
// Factor layout: each diagonal holds the reciprocal of its pivot, the entries below a
// diagonal hold L, the entries right of it hold U (unit diagonal). An ordering computes them in
// place in the elements and copies them into the matrix's compact factor plan; a
// refactorisation computes them in the plan only, so the elements keep their loaded values.
#include <span>

#include "analog/sparse_matrix.h"

namespace kq5 {

// PartitionColumns modes.
inline constexpr int kPartitionAuto = 0;
inline constexpr int kPartitionDirect = 1;
inline constexpr int kPartitionIndirect = 2;

// Orders (or, for an ordered matrix, refactors in the old order while every reused pivot
// passes the threshold, reordering from the first that does not) and factors. A relative
// threshold outside (0, 1] and a negative absolute threshold keep the stored ones. The
// right-hand side, when given, weighs the pivot choice (one extra column). The error word:
// 0 (also after a small pivot), 15051 singular, 15002 out of memory.
int MatrixOrderAndFactor(SparseMatrix* matrix, std::span<const double> rhs, double relThreshold,
                         double absThreshold, bool diagonalPivoting);
// Orders when needed, else refactors in the existing order; a zero pivot in the existing order
// reorders from the first pivot that has become too small before the matrix is called
// singular. The error word.
int MatrixFactor(SparseMatrix* matrix);
int MatrixFactorReal(SparseMatrix* matrix);
int MatrixFactorComplex(SparseMatrix* matrix);

// Chooses per column between the scatter-gather and the pointer-table refactorisation;
// nothing when already done for this order.
void PartitionColumns(SparseMatrix* matrix, int mode);

}  // namespace kq5
