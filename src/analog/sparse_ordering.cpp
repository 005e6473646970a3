#include "analog/sparse_ordering.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <utility>

namespace kq5::sparse_internal {

namespace {

inline std::size_t Ix(int i)
{
    return static_cast<std::size_t>(i);
}

// A zero product marks a singleton: a row or column with nothing beside its pivot candidate.
void AdjustSingletons(SparseMatrix& m, std::int32_t oldProduct, std::int32_t newProduct)
{
    if ((oldProduct == 0) == (newProduct == 0)) return;
    if (oldProduct == 0)
        --m.singletons;
    else
        ++m.singletons;
}

std::int32_t ProductAt(const SparseMatrix& m, int i)
{
    return MarkowitzProduct(m.markowitzRow[Ix(i)], m.markowitzCol[Ix(i)]);
}

bool RhsNonzero(const SparseMatrix& m, std::span<const double> rhs, int ext)
{
    if (m.complex) {
        const std::size_t k = 2 * Ix(ext);
        return k + 1 < rhs.size() && (rhs[k] != 0.0 || rhs[k + 1] != 0.0);
    }
    return Ix(ext) < rhs.size() && rhs[Ix(ext)] != 0.0;
}

// A candidate is acceptable when it is large enough against the rest of its column.
bool Acceptable(const SparseMatrix& m, const MatrixElement* e, int step)
{
    const double magnitude = ElementMagnitude(e);
    return magnitude > m.absThreshold &&
           magnitude > m.relThreshold * LargestInColumnExcluding(m, e, step);
}

// The searches below run inside an ordering only, where the active links lead straight to
// the part of a row or column at or beyond the current step.
MatrixElement* FirstInColumnFrom(const SparseMatrix& m, int col, [[maybe_unused]] int step)
{
    assert(step == m.activeStep);
    return *m.activeInCol[Ix(col)];
}

MatrixElement* FirstInRowFrom(const SparseMatrix& m, int row, [[maybe_unused]] int step)
{
    assert(step == m.activeStep);
    return *m.activeInRow[Ix(row)];
}

MatrixElement* FindDiagonalFrom(const SparseMatrix& m, int i, int step)
{
    MatrixElement* e = FirstInColumnFrom(m, i, step);
    while (e && e->row < i) e = e->nextInCol;
    return e && e->row == i ? e : nullptr;
}

// After two list heads were exchanged, the active links that pointed at a head follow it.
void SwapActiveLinks(std::vector<MatrixElement**>& links, std::vector<MatrixElement*>& heads, int a, int b)
{
    std::swap(links[Ix(a)], links[Ix(b)]);
    if (links[Ix(a)] == &heads[Ix(b)]) links[Ix(a)] = &heads[Ix(a)];
    if (links[Ix(b)] == &heads[Ix(a)]) links[Ix(b)] = &heads[Ix(b)];
}

// Singletons cost no fill-in. The product vector is walked downwards from the sentinel at
// size + 1, which stands for the step itself: taking the step's own diagonal moves nothing.
MatrixElement* FindSingletonPivot(SparseMatrix& m, int step)
{
    std::int32_t* prod = m.markowitzProd.data();
    prod[m.size + 1] = prod[step];
    prod[step - 1] = 0;  // stops the walk whatever the count says
    int remaining = m.singletons--;
    int index = m.size + 1;
    while (remaining-- > 0) {
        while (prod[index] != 0) --index;
        int i = index--;
        if (i < step) break;
        if (i > m.size) i = step;

        if (MatrixElement* d = m.diag[Ix(i)]) {
            if (Acceptable(m, d, step)) return d;
            continue;
        }
        if (m.markowitzCol[Ix(i)] == 0) {
            MatrixElement* e = FirstInColumnFrom(m, i, step);
            if (!e) break;
            if (Acceptable(m, e, step)) return e;
            if (m.markowitzRow[Ix(i)] != 0) continue;
        }
        MatrixElement* e = FirstInRowFrom(m, i, step);
        if (!e) break;
        if (Acceptable(m, e, step)) return e;
    }
    ++m.singletons;
    return nullptr;
}

// A product-1 diagonal whose two off-diagonal partners sit symmetrically and are no larger
// than it is eliminated without any numerical risk.
bool IsSafeProductOneDiagonal(const SparseMatrix& m, const MatrixElement* d, int i, int step)
{
    const MatrixElement* otherInRow = d->nextInRow;
    const MatrixElement* otherInCol = d->nextInCol;
    if (!otherInRow && !otherInCol) {
        otherInRow = FirstInRowFrom(m, i, step);
        if (otherInRow == d) otherInRow = otherInRow->nextInRow;
        otherInCol = FirstInColumnFrom(m, i, step);
        if (otherInCol == d) otherInCol = otherInCol->nextInCol;
    }
    if (!otherInRow || !otherInCol || otherInRow->col != otherInCol->row) return false;
    return ElementMagnitude(d) >= std::max(ElementMagnitude(otherInRow), ElementMagnitude(otherInCol));
}

// Modified Markowitz on the diagonal only, looking at a bounded number of ties.
MatrixElement* FindDiagonalPivotQuick(SparseMatrix& m, int step)
{
    std::array<MatrixElement*, kMaxMarkowitzTies> ties{};
    std::int32_t* prod = m.markowitzProd.data();
    std::int32_t minProduct = kMaxMarkowitzProduct;
    int tieCount = -1;
    prod[m.size + 1] = prod[step];
    prod[step - 1] = -1;  // stops the downward walk
    int index = m.size + 2;
    for (;;) {
        while (prod[--index] > minProduct) {
        }
        int i = index;
        if (i < step) break;
        if (i > m.size) i = step;
        MatrixElement* d = m.diag[Ix(i)];
        if (!d || ElementMagnitude(d) <= m.absThreshold) continue;

        const std::int32_t product = prod[index];
        if (product == 1 && IsSafeProductOneDiagonal(m, d, i, step)) return d;
        if (product < minProduct) {
            ties[0] = d;
            tieCount = 0;
            minProduct = product;
        } else {
            if (tieCount < kMaxMarkowitzTies - 1) ties[Ix(++tieCount)] = d;
            if (tieCount >= static_cast<std::int64_t>(minProduct) * kTiesMultiplier) break;
        }
    }

    MatrixElement* chosen = nullptr;
    double bestRatio = 1.0 / m.relThreshold;
    for (int t = 0; t <= tieCount; ++t) {
        MatrixElement* d = ties[Ix(t)];
        const double ratio = LargestInColumnExcluding(m, d, step) / ElementMagnitude(d);
        if (ratio < bestRatio) {
            chosen = d;
            bestRatio = ratio;
        }
    }
    return chosen;
}

// The best acceptable candidate so far: the smallest Markowitz product, ties going to the
// smallest ratio of the column's largest magnitude to the candidate's.
struct PivotChoice {
    MatrixElement* chosen = nullptr;
    std::int64_t minProduct = kMaxMarkowitzProduct;
    double acceptedRatio = 0.0;
    std::int64_t tieCount = 0;

    // Offers a candidate whose product is not above the minimum; true when enough ties were
    // seen to stop searching.
    bool Offer(MatrixElement* e, std::int64_t product, double ratio)
    {
        if (product < minProduct) {
            chosen = e;
            minProduct = product;
            acceptedRatio = ratio;
            tieCount = 0;
            return false;
        }
        ++tieCount;
        if (ratio < acceptedRatio) {
            chosen = e;
            acceptedRatio = ratio;
        }
        return tieCount >= minProduct * kTiesMultiplier;
    }
};

MatrixElement* FindDiagonalPivot(SparseMatrix& m, int step)
{
    std::int32_t* prod = m.markowitzProd.data();
    prod[m.size + 1] = prod[step];
    PivotChoice choice;
    for (int j = m.size + 1; j > step; --j) {
        const std::int32_t product = prod[j];
        if (product > choice.minProduct) continue;
        const int i = j > m.size ? step : j;
        MatrixElement* d = m.diag[Ix(i)];
        if (!d) continue;
        const double magnitude = ElementMagnitude(d);
        if (magnitude <= m.absThreshold) continue;
        const double largest = LargestInColumnExcluding(m, d, step);
        if (magnitude <= m.relThreshold * largest) continue;
        if (choice.Offer(d, product, largest / magnitude)) break;
    }
    return choice.chosen;
}

// The last resort, off the diagonal too. A pivot below the thresholds is accepted silently
// when nothing better exists; only an all-zero active submatrix is singular.
MatrixElement* FindPivotInWholeMatrix(SparseMatrix& m, int step)
{
    PivotChoice choice;
    MatrixElement* largestElement = nullptr;
    double largestMagnitude = 0.0;
    for (int col = step; col <= m.size; ++col) {
        MatrixElement* first = FirstInColumnFrom(m, col, step);
        double largestInCol = 0.0;
        for (const MatrixElement* e = first; e; e = e->nextInCol)
            largestInCol = std::max(largestInCol, ElementMagnitude(e));
        if (largestInCol == 0.0) continue;

        for (MatrixElement* e = first; e; e = e->nextInCol) {
            const double magnitude = ElementMagnitude(e);
            if (magnitude > largestMagnitude) {
                largestMagnitude = magnitude;
                largestElement = e;
            }
            const std::int64_t product = static_cast<std::int64_t>(m.markowitzRow[Ix(e->row)]) *
                                         m.markowitzCol[Ix(e->col)];
            if (product > choice.minProduct || magnitude <= m.relThreshold * largestInCol ||
                magnitude <= m.absThreshold)
                continue;
            if (choice.Offer(e, product, largestInCol / magnitude)) return choice.chosen;
        }
    }
    if (choice.chosen) return choice.chosen;
    if (largestMagnitude == 0.0) {
        m.error = kMatrixSingular;
        return nullptr;
    }
    m.error = 0;  // a small pivot is accepted without a report
    return largestElement;
}

// One direction of the orthogonal lists: the link to the next element of a line and the
// element's position along that line (a column list is ordered by row, a row list by column).
template <MatrixElement* MatrixElement::*NextLink, std::int32_t MatrixElement::*PositionField>
struct ListAxis {
    static MatrixElement*& Next(MatrixElement* e) { return e->*NextLink; }
    static std::int32_t& Position(MatrixElement* e) { return e->*PositionField; }
};
using ColumnAxis = ListAxis<&MatrixElement::nextInCol, &MatrixElement::row>;
using RowAxis = ListAxis<&MatrixElement::nextInRow, &MatrixElement::col>;

// Exchanges the places p1 < p2 within one line, keeping it sorted: e1 sits at p1, e2 at p2,
// either may be absent. p1 is the current step, so at1, the line's active link, is the link
// into p1's place.
template <class Axis>
void ExchangeInLine(MatrixElement** at1, int p1, MatrixElement* e1, int p2, MatrixElement* e2)
{
    if (e1 && e2) {
        if (Axis::Next(e1) == e2) {
            Axis::Next(e1) = Axis::Next(e2);
            Axis::Next(e2) = e1;
            *at1 = e2;
        } else {
            MatrixElement** at2 = &Axis::Next(e1);
            while (*at2 != e2) at2 = &Axis::Next(*at2);
            MatrixElement* after1 = Axis::Next(e1);
            MatrixElement* after2 = Axis::Next(e2);
            *at1 = e2;
            Axis::Next(e2) = after1;
            *at2 = e1;
            Axis::Next(e1) = after2;
        }
        Axis::Position(e1) = p2;
        Axis::Position(e2) = p1;
    } else if (e1) {
        *at1 = Axis::Next(e1);
        MatrixElement** at2 = at1;
        while (*at2 && Axis::Position(*at2) < p2) at2 = &Axis::Next(*at2);
        Axis::Next(e1) = *at2;
        *at2 = e1;
        Axis::Position(e1) = p2;
    } else {
        MatrixElement** at2 = at1;
        while (*at2 != e2) at2 = &Axis::Next(*at2);
        *at2 = Axis::Next(e2);
        Axis::Next(e2) = *at1;
        *at1 = e2;
        Axis::Position(e2) = p1;
    }
}

// Exchanges lines a < b (rows along RowAxis, columns along ColumnAxis): both lines are walked
// together and every crossing line that meets either is relinked. The heads, counts and maps
// of the two lines follow.
// a is the step: a crossing line before it is finished, and its two elements only swap
// places (the line is marked for sorting at the end of the ordering).
template <class Along, class Across>
void ExchangeLines(int a, int b, std::vector<MatrixElement*>& heads, std::vector<MatrixElement**>& active,
                   std::vector<MatrixElement**>& activeAcross, std::vector<std::uint8_t>& unsortedAcross,
                   std::vector<std::int32_t>& counts, std::vector<std::int32_t>& intToExt,
                   std::vector<std::int32_t>& extToInt)
{
    MatrixElement* x = heads[Ix(a)];
    MatrixElement* y = heads[Ix(b)];
    while (x || y) {
        MatrixElement* e1 = nullptr;
        MatrixElement* e2 = nullptr;
        if (!y || (x && Along::Position(x) < Along::Position(y))) {
            e1 = x;
        } else if (!x || Along::Position(y) < Along::Position(x)) {
            e2 = y;
        } else {
            e1 = x;
            e2 = y;
        }
        const int crossing = Along::Position(e1 ? e1 : e2);
        if (e1) x = Along::Next(x);
        if (e2) y = Along::Next(y);
        if (crossing < a) {
            if (e1) Across::Position(e1) = b;
            if (e2) Across::Position(e2) = a;
            unsortedAcross[Ix(crossing)] = 1;
        } else {
            ExchangeInLine<Across>(activeAcross[Ix(crossing)], a, e1, b, e2);
        }
    }
    std::swap(counts[Ix(a)], counts[Ix(b)]);
    std::swap(heads[Ix(a)], heads[Ix(b)]);
    SwapActiveLinks(active, heads, a, b);
    std::swap(intToExt[Ix(a)], intToExt[Ix(b)]);
    extToInt[Ix(intToExt[Ix(a)])] = a;
    extToInt[Ix(intToExt[Ix(b)])] = b;
}

void ExchangeRows(SparseMatrix& m, int r1, int r2)
{
    if (r1 == r2) return;
    if (r1 > r2) std::swap(r1, r2);
    ExchangeLines<RowAxis, ColumnAxis>(r1, r2, m.firstInRow, m.activeInRow, m.activeInCol, m.unsortedCol,
                                       m.markowitzRow, m.intToExtRow, m.extToIntRow);
}

void ExchangeColumns(SparseMatrix& m, int c1, int c2)
{
    if (c1 == c2) return;
    if (c1 > c2) std::swap(c1, c2);
    ExchangeLines<ColumnAxis, RowAxis>(c1, c2, m.firstInCol, m.activeInCol, m.activeInRow, m.unsortedRow,
                                       m.markowitzCol, m.intToExtCol, m.extToIntCol);
}

// Merge sort of one line by position, in place (no memory needed).
template <class Axis>
MatrixElement* SortedLine(MatrixElement* head)
{
    if (!head || !Axis::Next(head)) return head;
    MatrixElement* middle = head;
    for (MatrixElement* fast = Axis::Next(head); fast && Axis::Next(fast); fast = Axis::Next(Axis::Next(fast)))
        middle = Axis::Next(middle);
    MatrixElement* x = Axis::Next(middle);
    Axis::Next(middle) = nullptr;
    x = SortedLine<Axis>(x);
    MatrixElement* y = SortedLine<Axis>(head);
    MatrixElement* sorted = nullptr;
    MatrixElement** tail = &sorted;
    while (x && y) {
        MatrixElement*& first = Axis::Position(x) < Axis::Position(y) ? x : y;
        *tail = first;
        tail = &Axis::Next(first);
        first = Axis::Next(first);
    }
    *tail = x ? x : y;
    return sorted;
}

template <class Axis>
void SortMarkedLines(std::vector<MatrixElement*>& heads, std::vector<std::uint8_t>& unsorted, int size)
{
    for (int i = 1; i <= size && Ix(i) < unsorted.size(); ++i) {
        if (!unsorted[Ix(i)]) continue;
        heads[Ix(i)] = SortedLine<Axis>(heads[Ix(i)]);
        unsorted[Ix(i)] = 0;
    }
}

}  // namespace

std::int32_t MarkowitzProduct(std::int32_t rowCount, std::int32_t colCount)
{
    const std::int64_t product = static_cast<std::int64_t>(rowCount) * colCount;
    return static_cast<std::int32_t>(std::min<std::int64_t>(product, kMaxMarkowitzProduct));
}

void CountMarkowitz(SparseMatrix& m, std::span<const double> rhs, int step)
{
    for (int i = step; i <= m.size; ++i) {
        std::int32_t count = -1;  // the row's own pivot candidate does not count
        for (const MatrixElement* e = FirstInRowFrom(m, i, step); e; e = e->nextInRow) ++count;
        // The right-hand side is indexed by external number in both modes.
        if (!rhs.empty() && RhsNonzero(m, rhs, m.intToExtRow[Ix(i)])) ++count;
        m.markowitzRow[Ix(i)] = count;
    }
    for (int i = step; i <= m.size; ++i) {
        std::int32_t count = -1;
        for (const MatrixElement* e = FirstInColumnFrom(m, i, step); e; e = e->nextInCol) ++count;
        m.markowitzCol[Ix(i)] = count;
    }
    m.singletons = 0;
    for (int i = step; i <= m.size; ++i) {
        const std::int32_t product = ProductAt(m, i);
        m.markowitzProd[Ix(i)] = product;
        if (product == 0) ++m.singletons;
    }
    m.maxRowCountInLowerTri = -1;
}

MatrixElement* ChoosePivot(SparseMatrix& m, int step, bool diagonalPivoting)
{
    if (m.singletons > 0) {
        if (MatrixElement* p = FindSingletonPivot(m, step)) {
            m.pivotMethod = 's';
            return p;
        }
    }
    if (diagonalPivoting) {
        if (MatrixElement* p = FindDiagonalPivotQuick(m, step)) {
            m.pivotMethod = 'q';
            return p;
        }
        if (MatrixElement* p = FindDiagonalPivot(m, step)) {
            m.pivotMethod = 'd';
            return p;
        }
    }
    m.pivotMethod = 'e';
    return FindPivotInWholeMatrix(m, step);
}

double LargestInColumnExcluding(const SparseMatrix& m, const MatrixElement* excluded, int step)
{
    double largest = 0.0;
    for (const MatrixElement* e = FirstInColumnFrom(m, excluded->col, step); e; e = e->nextInCol) {
        if (e != excluded) largest = std::max(largest, ElementMagnitude(e));
    }
    return largest;
}

void MovePivotToStep(SparseMatrix& m, MatrixElement* pivot, int step)
{
    const int row = pivot->row;
    const int col = pivot->col;
    m.pivotsOriginalRow = row;
    m.pivotsOriginalCol = col;
    if (row == step && col == step) return;

    std::int32_t* prod = m.markowitzProd.data();
    if (row == col) {
        // A diagonal swap is a symmetric permutation: the parity does not change.
        ExchangeRows(m, step, row);
        ExchangeColumns(m, step, col);
        std::swap(prod[step], prod[row]);
        std::swap(m.diag[Ix(row)], m.diag[Ix(step)]);
        return;
    }

    const std::int32_t oldStepProduct = prod[step];
    const std::int32_t oldRowProduct = prod[row];
    const std::int32_t oldColProduct = prod[col];
    if (row != step) {
        ExchangeRows(m, step, row);
        m.oddInterchanges = !m.oddInterchanges;
        prod[row] = ProductAt(m, row);
        AdjustSingletons(m, oldRowProduct, prod[row]);
    }
    if (col != step) {
        ExchangeColumns(m, step, col);
        m.oddInterchanges = !m.oddInterchanges;
        prod[col] = ProductAt(m, col);
        AdjustSingletons(m, oldColProduct, prod[col]);
        m.diag[Ix(col)] = FindDiagonalFrom(m, col, step);
    }
    if (row != step) m.diag[Ix(row)] = FindDiagonalFrom(m, row, step);
    m.diag[Ix(step)] = FindDiagonalFrom(m, step, step);
    prod[step] = ProductAt(m, step);
    AdjustSingletons(m, oldStepProduct, prod[step]);
}

MatrixElement* InsertFillin(SparseMatrix& m, int row, int col, MatrixElement** above)
{
    MatrixElement* e = CreateElement(m, row, col, above, true);
    if (!e) return nullptr;
    std::int32_t& rowCount = m.markowitzRow[Ix(row)];
    ++rowCount;
    m.markowitzProd[Ix(row)] = ProductAt(m, row);
    if (rowCount == 1 && m.markowitzCol[Ix(row)] != 0) --m.singletons;
    std::int32_t& colCount = m.markowitzCol[Ix(col)];
    ++colCount;
    m.markowitzProd[Ix(col)] = ProductAt(m, col);
    if (colCount == 1 && m.markowitzRow[Ix(col)] != 0) --m.singletons;
    return e;
}

void UpdateMarkowitzCounts(SparseMatrix& m, const MatrixElement* pivot)
{
    for (const MatrixElement* e = pivot->nextInCol; e; e = e->nextInCol) {
        const int row = e->row;
        --m.markowitzRow[Ix(row)];
        m.markowitzProd[Ix(row)] = ProductAt(m, row);
        if (m.markowitzRow[Ix(row)] == 0) ++m.singletons;
    }
    for (const MatrixElement* e = pivot->nextInRow; e; e = e->nextInRow) {
        const int col = e->col;
        --m.markowitzCol[Ix(col)];
        m.markowitzProd[Ix(col)] = ProductAt(m, col);
        if (m.markowitzCol[Ix(col)] == 0 && m.markowitzRow[Ix(col)] != 0) ++m.singletons;
    }
}

void InitActiveLinks(SparseMatrix& m, int step)
{
    m.activeStep = 0;  // walk from the heads
    for (int i = 1; i <= m.size; ++i) {
        MatrixElement** link = &m.firstInCol[Ix(i)];
        while (*link && (*link)->row < step) link = &(*link)->nextInCol;
        m.activeInCol[Ix(i)] = link;
        link = &m.firstInRow[Ix(i)];
        while (*link && (*link)->col < step) link = &(*link)->nextInRow;
        m.activeInRow[Ix(i)] = link;
    }
    m.activeStep = step;
}

void AdvanceActiveLinks(SparseMatrix& m, int step)
{
    for (MatrixElement* e = m.firstInRow[Ix(step)]; e; e = e->nextInRow) {
        MatrixElement**& link = m.activeInCol[Ix(e->col)];
        if (*link == e) link = &e->nextInCol;
    }
    for (MatrixElement* e = m.firstInCol[Ix(step)]; e; e = e->nextInCol) {
        MatrixElement**& link = m.activeInRow[Ix(e->row)];
        if (*link == e) link = &e->nextInRow;
    }
    m.activeStep = step + 1;
}

void SortFinishedLines(SparseMatrix& m)
{
    SortMarkedLines<ColumnAxis>(m.firstInCol, m.unsortedCol, m.size);
    SortMarkedLines<RowAxis>(m.firstInRow, m.unsortedRow, m.size);
}

int SetSingular(SparseMatrix& m, int step)
{
    m.singularRow = m.intToExtRow[Ix(step)];
    m.singularCol = m.intToExtCol[Ix(step)];
    m.error = kMatrixSingular;
    return kMatrixSingular;
}

}  // namespace kq5::sparse_internal
