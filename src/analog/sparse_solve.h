#pragma once
// Forward and back substitution with the factors of a SparseMatrix, and the preorder of
// modified nodal equations that moves structurally zero diagonals (the rows of voltage
// sources and other branch equations) away from the diagonal before the first ordering.
//
// Order of use for one structure: CreateSolverMatrix; MatrixGetElement for every stamp
// position; MatrixPreorder once; then per solve MatrixClear, the loads, MatrixFactorReal or
// MatrixFactorComplex and, when that returned 0, MatrixSolve; finally MatrixDestroy.
#include <span>

#include "analog/sparse_matrix.h"

namespace kq5 {

// Entries a right-hand side or solution vector needs for this matrix (indexed by external
// number, entry 0 being ground): one double per entry in real mode, two (real, imaginary)
// in complex mode.
std::size_t MatrixVectorLength(const SparseMatrix* matrix);

// Solves with the present factors in the matrix's mode. The right-hand side is read
// completely before the solution is written, so both may be the same vector; entry 0 is
// neither read nor written. 0, or 101 when the matrix holds no factors of its present mode or
// a vector is shorter than MatrixVectorLength (nothing is written then).
int MatrixSolve(SparseMatrix* matrix, std::span<const double> rhs, std::span<double> solution);

// Swaps the columns of unit twins (a +-1 pair at (r, j) and (j, r) with no diagonal at j) so
// that branch equations get a diagonal; nothing once the matrix has been ordered. The error
// word.
int MatrixPreorder(SparseMatrix* matrix);

}  // namespace kq5
