#pragma once
// Pivot choice of the sparse factorisation: Markowitz counts of the active submatrix, the four
// pivot searches (singletons, quick diagonal, diagonal, whole matrix) with a relative
// threshold, the row and column exchanges that bring a pivot to its step, and the count
// updates after each elimination. Used by the factorisation only.
#include <cstdint>
#include <span>
#include <vector>

#include "analog/sparse_matrix.h"

namespace kq5::sparse_internal {

inline constexpr std::int32_t kMaxMarkowitzProduct = 2147483646;
inline constexpr int kMaxMarkowitzTies = 100;
inline constexpr int kTiesMultiplier = 5;

// Row count x column count, saturated.
std::int32_t MarkowitzProduct(std::int32_t rowCount, std::int32_t colCount);

// Starts a new ordering at step: Markowitz row and column counts of the active submatrix
// from step on (the right-hand side, when given, counts as an extra column), then the
// products and the singleton count.
void CountMarkowitz(SparseMatrix& m, std::span<const double> rhs, int step);

// The pivot for step, or null; records the search in pivotMethod. The whole-matrix search
// sets the error word to 15051 when the active submatrix is all zero.
ElementNode* ChoosePivot(SparseMatrix& m, int step, bool diagonalPivoting);

// Largest magnitude in the element's column at or below step, the element itself excluded
// (inside an ordering only, like the pivot searches).
double LargestInColumnExcluding(SparseMatrix& m, const ElementNode* e, int step);

// Exchanges rows and columns so that the pivot sits at (step, step).
void MovePivotToStep(SparseMatrix& m, ElementNode* pivot, int step);

// Inside a new ordering (after CountMarkowitz): the elements of the active part of the
// column or row with this label, in no particular order.
std::vector<ElementNode*>& ActiveColumn(SparseMatrix& m, int label);
std::vector<ElementNode*>& ActiveRow(SparseMatrix& m, int label);

// The key of an element in SparseMatrix::elementByLabels.
inline std::uint64_t LabelKey(std::int32_t rowLabel, std::int32_t colLabel)
{
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(rowLabel)) << 32 | static_cast<std::uint32_t>(colLabel);
}

// Fill-in at internal (row, col), linked at *above in its column; Markowitz counts updated.
// For the reuse of an old order, where the lists are sorted.
ElementNode* InsertFillin(SparseMatrix& m, int row, int col, ElementNode** above);
// The same inside a new ordering, at a row and column label.
ElementNode* InsertFillinByLabels(SparseMatrix& m, int rowLabel, int colLabel);

// Counts after the pivot's row and column left the active submatrix (a new ordering).
void UpdateMarkowitzCounts(SparseMatrix& m, const ElementNode* pivot);

// Sets the active links for step (walking from the list heads), and moves them past the
// row and column of step once it is eliminated.
void InitActiveLinks(SparseMatrix& m, int step);
void AdvanceActiveLinks(SparseMatrix& m, int step);

// Every ordering ends with it: after a new ordering the elements take their final numbers
// and the row and column lists are built again in order.
void EndOrdering(SparseMatrix& m);

// Outside an ordering: drops every fill-in no caller was given, so that a fresh ordering
// starts from the structure the loads make and creates only the fill-ins its own order needs.
// Does nothing when a caller holds a fill-in (loads reach it like an element).
void ReleaseFillins(SparseMatrix& m);

// Right after a plan is made from an ordering: gives back the fill-ins' elements, which the
// plan holds, when no caller was given one. The lists then hold the callers' elements alone,
// sorted, until RestoreFillinElements makes the fill-ins again from the plan: every ordering
// and every lookup of a fill-in's place does so first, and finds the structure it would have
// found had they been kept.
void DropFillinElements(SparseMatrix& m);
// False (15002) when memory ran out; the fill-ins are then released (see ReleaseFillins).
bool RestoreFillinElements(SparseMatrix& m);

// True when every pivot of the present factors passes the relative threshold against the
// entries below it in its column, as a new ordering would have chosen it.
bool FactorPivotsPassThreshold(const SparseMatrix& m);

// Records the external row and column of the internal step as singular; 15051.
int SetSingular(SparseMatrix& m, int step);

}  // namespace kq5::sparse_internal
