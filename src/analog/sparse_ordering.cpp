#include "analog/sparse_ordering.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kq5::sparse_internal {

namespace {

inline std::size_t Ix(int i)
{
    return static_cast<std::size_t>(i);
}

// The products kept in a minimum tree while an ordering runs, so that a search finds the next
// product not above a bound in logarithmic time instead of walking every remaining position.
// Leaf i holds markowitzProd[i]; every write to a product inside an ordering goes through
// SetProduct.
void SetProduct(SparseMatrix& m, int i, std::int32_t value)
{
    m.markowitzProd[Ix(i)] = value;
    if (!m.orderingByLabels) return;
    std::int32_t* tree = m.productTree.data();
    std::size_t node = Ix(m.productLeaves) + Ix(i);
    tree[node] = value;
    for (node >>= 1; node > 0; node >>= 1) {
        const std::int32_t smaller = std::min(tree[2 * node], tree[2 * node + 1]);
        if (tree[node] == smaller) break;
        tree[node] = smaller;
    }
}

void BuildProductTree(SparseMatrix& m)
{
    std::size_t leaves = 1;
    while (leaves < Ix(m.size) + 2) leaves <<= 1;
    m.productLeaves = static_cast<std::int32_t>(leaves);
    m.productTree.assign(2 * leaves, kMaxMarkowitzProduct);
    std::copy(m.markowitzProd.begin(), m.markowitzProd.begin() + m.size + 2, m.productTree.begin() + static_cast<std::ptrdiff_t>(leaves));
    for (std::size_t node = leaves - 1; node > 0; --node)
        m.productTree[node] = std::min(m.productTree[2 * node], m.productTree[2 * node + 1]);
}

// The largest position in [lo, hi] whose product is not above bound; lo - 1 when none. From
// hi's leaf up to the first subtree on the left whose minimum qualifies, then down its right
// side: the cost grows with the logarithm of the distance walked.
int LastProductAtMost(const SparseMatrix& m, int lo, int hi, std::int32_t bound)
{
    if (hi < lo) return lo - 1;
    const std::int32_t* tree = m.productTree.data();
    const std::size_t leaves = Ix(m.productLeaves);
    std::size_t node = leaves + Ix(hi);
    if (tree[node] > bound) {
        for (;;) {
            while (!(node & 1)) {  // a left child: what lies left of it is left of its parent
                node >>= 1;
                if (node <= 1) return lo - 1;
            }
            --node;  // the left sibling, just left of everything passed so far
            if (tree[node] <= bound) break;
        }
        while (node < leaves) node = tree[2 * node + 1] <= bound ? 2 * node + 1 : 2 * node;
    }
    const int found = static_cast<int>(node - leaves);
    return found >= lo ? found : lo - 1;
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
bool Acceptable(SparseMatrix& m, const ElementNode* e, int step)
{
    const double magnitude = ElementMagnitude(e);
    return magnitude > m.absThreshold &&
           magnitude > m.relThreshold * LargestInColumnExcluding(m, e, step);
}

// Positions of an element inside an ordering (its labels mapped through the exchanges so far).
inline int RowOf(const SparseMatrix& m, const ElementNode* e)
{
    return m.rowPosition[Ix(e->row)];
}

inline int ColOf(const SparseMatrix& m, const ElementNode* e)
{
    return m.colPosition[Ix(e->col)];
}

// The element of a line with the smallest position above `after`, leaving out `excluded`;
// null when none. Position(e) gives the element's place along the line.
template <class Position>
ElementNode* LowestAfter(const std::vector<ElementNode*>& line, int after, const ElementNode* excluded,
                           Position position)
{
    ElementNode* best = nullptr;
    int bestPosition = 0;
    for (ElementNode* e : line) {
        if (e == excluded) continue;
        const int p = position(e);
        if (p > after && (!best || p < bestPosition)) {
            best = e;
            bestPosition = p;
        }
    }
    return best;
}

// The first element of the column at position i at or below the step, as the sorted column
// list would give it.
ElementNode* FirstInColumnFrom(SparseMatrix& m, int i, int step)
{
    return LowestAfter(ActiveColumn(m, m.colLabelAt[Ix(i)]), step - 1, nullptr,
                       [&m](const ElementNode* e) { return RowOf(m, e); });
}

ElementNode* FirstInRowFrom(SparseMatrix& m, int i, int step)
{
    return LowestAfter(ActiveRow(m, m.rowLabelAt[Ix(i)]), step - 1, nullptr,
                       [&m](const ElementNode* e) { return ColOf(m, e); });
}

ElementNode* FindDiagonalAt(SparseMatrix& m, int i)
{
    const int rowLabel = m.rowLabelAt[Ix(i)];
    for (ElementNode* e : ActiveColumn(m, m.colLabelAt[Ix(i)]))
        if (e->row == rowLabel) return e;
    return nullptr;
}

// Singletons cost no fill-in. The product vector is walked downwards from the sentinel at
// size + 1, which stands for the step itself: taking the step's own diagonal moves nothing.
ElementNode* FindSingletonPivot(SparseMatrix& m, int step)
{
    const std::int32_t* prod = m.markowitzProd.data();
    SetProduct(m, m.size + 1, prod[step]);
    SetProduct(m, step - 1, 0);  // stops the walk whatever the count says
    int remaining = m.singletons--;
    int index = m.size + 1;
    while (remaining-- > 0) {
        // The next zero product downwards.
        for (;;) {
            index = LastProductAtMost(m, step - 1, index, 0);
            if (prod[index] == 0) break;
            --index;
        }
        int i = index--;
        if (i < step) break;
        if (i > m.size) i = step;

        if (ElementNode* d = m.diag[Ix(i)]) {
            if (Acceptable(m, d, step)) return d;
            continue;
        }
        if (m.markowitzCol[Ix(i)] == 0) {
            ElementNode* e = FirstInColumnFrom(m, i, step);
            if (!e) break;
            if (Acceptable(m, e, step)) return e;
            if (m.markowitzRow[Ix(i)] != 0) continue;
        }
        ElementNode* e = FirstInRowFrom(m, i, step);
        if (!e) break;
        if (Acceptable(m, e, step)) return e;
    }
    ++m.singletons;
    return nullptr;
}

// A product-1 diagonal whose two off-diagonal partners sit symmetrically and are no larger
// than it is eliminated without any numerical risk.
bool IsSafeProductOneDiagonal(SparseMatrix& m, const ElementNode* d, int i)
{
    const std::vector<ElementNode*>& row = ActiveRow(m, d->row);
    const std::vector<ElementNode*>& column = ActiveColumn(m, d->col);
    auto colOf = [&m](const ElementNode* e) { return ColOf(m, e); };
    auto rowOf = [&m](const ElementNode* e) { return RowOf(m, e); };
    // The diagonal's own links: the next element right of it and the next one below it.
    const ElementNode* otherInRow = LowestAfter(row, i, d, colOf);
    const ElementNode* otherInCol = LowestAfter(column, i, d, rowOf);
    if (!otherInRow && !otherInCol) {
        otherInRow = LowestAfter(row, 0, d, colOf);
        otherInCol = LowestAfter(column, 0, d, rowOf);
    }
    if (!otherInRow || !otherInCol || ColOf(m, otherInRow) != RowOf(m, otherInCol)) return false;
    return ElementMagnitude(d) >= std::max(ElementMagnitude(otherInRow), ElementMagnitude(otherInCol));
}

// Modified Markowitz on the diagonal only, looking at a bounded number of ties.
ElementNode* FindDiagonalPivotQuick(SparseMatrix& m, int step)
{
    std::array<ElementNode*, kMaxMarkowitzTies> ties{};
    const std::int32_t* prod = m.markowitzProd.data();
    std::int32_t minProduct = kMaxMarkowitzProduct;
    int tieCount = -1;
    SetProduct(m, m.size + 1, prod[step]);
    SetProduct(m, step - 1, -1);  // stops the downward walk
    int index = m.size + 2;
    for (;;) {
        // The next product downwards not above the smallest so far. Once the tie list is
        // full, a further tie changes nothing (it is not kept, and the count that ends the
        // search no longer moves): only a smaller product can still matter.
        const bool tiesFull = tieCount >= kMaxMarkowitzTies - 1;
        index = LastProductAtMost(m, step - 1, index - 1, tiesFull ? minProduct - 1 : minProduct);
        int i = index;
        if (i < step) break;
        if (i > m.size) i = step;
        ElementNode* d = m.diag[Ix(i)];
        if (!d || ElementMagnitude(d) <= m.absThreshold) continue;

        const std::int32_t product = prod[index];
        if (product == 1 && IsSafeProductOneDiagonal(m, d, i)) return d;
        if (product < minProduct) {
            ties[0] = d;
            tieCount = 0;
            minProduct = product;
        } else {
            if (tieCount < kMaxMarkowitzTies - 1) ties[Ix(++tieCount)] = d;
            if (tieCount >= static_cast<std::int64_t>(minProduct) * kTiesMultiplier) break;
        }
    }

    ElementNode* chosen = nullptr;
    double bestRatio = 1.0 / m.relThreshold;
    for (int t = 0; t <= tieCount; ++t) {
        ElementNode* d = ties[Ix(t)];
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
    ElementNode* chosen = nullptr;
    std::int64_t minProduct = kMaxMarkowitzProduct;
    double acceptedRatio = 0.0;
    std::int64_t tieCount = 0;

    // Offers a candidate whose product is not above the minimum; true when enough ties were
    // seen to stop searching.
    bool Offer(ElementNode* e, std::int64_t product, double ratio)
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

ElementNode* FindDiagonalPivot(SparseMatrix& m, int step)
{
    const std::int32_t* prod = m.markowitzProd.data();
    SetProduct(m, m.size + 1, prod[step]);
    PivotChoice choice;
    for (int j = m.size + 1; j > step; --j) {
        // The next product downwards not above the smallest so far.
        j = LastProductAtMost(m, step + 1, j, static_cast<std::int32_t>(choice.minProduct));
        if (j <= step) break;
        const std::int32_t product = prod[j];
        const int i = j > m.size ? step : j;
        ElementNode* d = m.diag[Ix(i)];
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
ElementNode* FindPivotInWholeMatrix(SparseMatrix& m, int step)
{
    PivotChoice choice;
    ElementNode* largestElement = nullptr;
    double largestMagnitude = 0.0;
    std::vector<ElementNode*> column;
    for (int col = step; col <= m.size; ++col) {
        const std::vector<ElementNode*>& active = ActiveColumn(m, m.colLabelAt[Ix(col)]);
        double largestInCol = 0.0;
        for (const ElementNode* e : active) largestInCol = std::max(largestInCol, ElementMagnitude(e));
        if (largestInCol == 0.0) continue;
        const std::int64_t colCount = m.markowitzCol[Ix(col)];
        const auto productOf = [&](const ElementNode* e) { return m.markowitzRow[Ix(RowOf(m, e))] * colCount; };
        const auto rejected = [&](const ElementNode* e, double magnitude) {
            return productOf(e) > choice.minProduct || magnitude <= m.relThreshold * largestInCol ||
                   magnitude <= m.absThreshold;
        };
        // Most columns offer no candidate (after singular loads every one may be walked at every
        // step): they only count for the largest element, the first of the column's largest in
        // row order, and need no sorting.
        ElementNode* firstLargest = nullptr;
        bool offers = false;
        for (ElementNode* e : active) {
            const double magnitude = ElementMagnitude(e);
            if (magnitude == largestInCol && (!firstLargest || RowOf(m, e) < RowOf(m, firstLargest))) firstLargest = e;
            if (!rejected(e, magnitude)) offers = true;
        }
        if (!offers) {
            if (largestInCol > largestMagnitude) {
                largestMagnitude = largestInCol;
                largestElement = firstLargest;
            }
            continue;
        }
        // In row order, as the sorted column list gives them: ties go to the first.
        column = active;
        std::sort(column.begin(), column.end(),
                  [&m](const ElementNode* a, const ElementNode* b) { return RowOf(m, a) < RowOf(m, b); });

        for (ElementNode* e : column) {
            const double magnitude = ElementMagnitude(e);
            if (magnitude > largestMagnitude) {
                largestMagnitude = magnitude;
                largestElement = e;
            }
            if (rejected(e, magnitude)) continue;
            if (choice.Offer(e, productOf(e), largestInCol / magnitude)) return choice.chosen;
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

// An exchange of two positions of the rows (or columns): the labels there, their counts and
// their external numbers trade places; no element moves.
void ExchangePositions(int a, int b, std::vector<std::int32_t>& labelAt, std::vector<std::int32_t>& position,
                       std::vector<std::int32_t>& counts, std::vector<std::int32_t>& intToExt,
                       std::vector<std::int32_t>& extToInt)
{
    std::swap(labelAt[Ix(a)], labelAt[Ix(b)]);
    position[Ix(labelAt[Ix(a)])] = a;
    position[Ix(labelAt[Ix(b)])] = b;
    std::swap(counts[Ix(a)], counts[Ix(b)]);
    std::swap(intToExt[Ix(a)], intToExt[Ix(b)]);
    extToInt[Ix(intToExt[Ix(a)])] = a;
    extToInt[Ix(intToExt[Ix(b)])] = b;
}

void ExchangeRows(SparseMatrix& m, int r1, int r2)
{
    if (r1 == r2) return;
    ExchangePositions(r1, r2, m.rowLabelAt, m.rowPosition, m.markowitzRow, m.intToExtRow, m.extToIntRow);
}

void ExchangeColumns(SparseMatrix& m, int c1, int c2)
{
    if (c1 == c2) return;
    ExchangePositions(c1, c2, m.colLabelAt, m.colPosition, m.markowitzCol, m.intToExtCol, m.extToIntCol);
}

// Merge sort of one line by position, in place (no memory needed): the way back to sorted
// lists when there is no memory for a bucket sort.
template <ElementNode* ElementNode::*Next, std::int32_t ElementNode::*Position>
ElementNode* SortedLine(ElementNode* head)
{
    if (!head || !(head->*Next)) return head;
    ElementNode* middle = head;
    for (ElementNode* fast = head->*Next; fast && fast->*Next; fast = fast->*Next->*Next) middle = middle->*Next;
    ElementNode* x = middle->*Next;
    middle->*Next = nullptr;
    x = SortedLine<Next, Position>(x);
    ElementNode* y = SortedLine<Next, Position>(head);
    ElementNode* sorted = nullptr;
    ElementNode** tail = &sorted;
    while (x && y) {
        ElementNode*& first = x->*Position < y->*Position ? x : y;
        *tail = first;
        tail = &(first->*Next);
        first = first->*Next;
    }
    *tail = x ? x : y;
    return sorted;
}

// Calls f on every element of the matrix, fill-ins included.
template <class F>
void ForEachElement(SparseMatrix& m, F&& f)
{
    m.arena.ForEach(f);
    m.fillinArena.ForEach(f);
}

// Links every line of one direction (the columns through nextInCol, or the rows) in ascending
// order of the other number: a bucket sort of all elements by that number, then each element
// pushed onto the front of its line from the last bucket back. The walk over an array lets
// the processor fetch many scattered elements at once, where following the lists of the other
// direction would wait for one element after the other. false when there is no memory for the
// buckets; `sorted` is the bucket array, kept for the next call.
template <std::int32_t ElementNode::*Order, std::int32_t ElementNode::*Line, ElementNode* ElementNode::*Next>
bool LinkLinesByBuckets(SparseMatrix& m, std::vector<ElementNode*>& heads, std::size_t headsToClear,
                        std::vector<ElementNode*>& sorted)
{
    const std::size_t n = Ix(m.size) + 1;
    try {
        std::vector<std::int32_t> start(n + 1, 0);
        ForEachElement(m, [&start](ElementNode& e) { ++start[Ix(e.*Order) + 1]; });
        for (std::size_t r = 1; r <= n; ++r) start[r] += start[r - 1];
        sorted.resize(Ix(start[n]));
        ForEachElement(m, [&](ElementNode& e) { sorted[Ix(start[Ix(e.*Order)]++)] = &e; });
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::fill(heads.begin(), heads.begin() + static_cast<std::ptrdiff_t>(headsToClear), nullptr);
    for (std::size_t q = sorted.size(); q-- > 0;) {
        ElementNode* e = sorted[q];
        ElementNode*& head = heads[Ix(e->*Line)];
        e->*Next = head;
        head = e;
    }
    return true;
}

// Links every column in ascending row order and every row in ascending column order.
void LinkLinesSorted(SparseMatrix& m)
{
    const std::size_t n = Ix(m.size) + 1;
    std::vector<ElementNode*> sorted;
    if (!LinkLinesByBuckets<&ElementNode::row, &ElementNode::col, &ElementNode::nextInCol>(m, m.firstInCol, n,
                                                                                                  sorted)) {
        std::fill(m.firstInCol.begin(), m.firstInCol.begin() + static_cast<std::ptrdiff_t>(n), nullptr);
        ForEachElement(m, [&m](ElementNode& e) {
            ElementNode*& head = m.firstInCol[Ix(e.col)];
            e.nextInCol = head;
            head = &e;
        });
        for (std::size_t c = 1; c < n; ++c)
            m.firstInCol[c] = SortedLine<&ElementNode::nextInCol, &ElementNode::row>(m.firstInCol[c]);
    }
    if (!LinkLinesByBuckets<&ElementNode::col, &ElementNode::row, &ElementNode::nextInRow>(
            m, m.firstInRow, m.firstInRow.size(), sorted))
        LinkRows(m);  // from the sorted columns
}

}  // namespace

std::int32_t MarkowitzProduct(std::int32_t rowCount, std::int32_t colCount)
{
    const std::int64_t product = static_cast<std::int64_t>(rowCount) * colCount;
    return static_cast<std::int32_t>(std::min<std::int64_t>(product, kMaxMarkowitzProduct));
}

void CountMarkowitz(SparseMatrix& m, std::span<const double> rhs, int step)
{
    // From here on the elements keep their present numbers as labels. The column lists are
    // sorted, and the active links lead to their part at or below the step.
    for (int i = 1; i <= m.size; ++i) {
        m.rowLabelAt[Ix(i)] = m.colLabelAt[Ix(i)] = i;
        m.rowPosition[Ix(i)] = m.colPosition[Ix(i)] = i;
        m.activeRowElements[Ix(i)].clear();
        m.activeColElements[Ix(i)].clear();
        m.largestExcluding[Ix(i)] = nullptr;
        m.columnIndexed[Ix(i)] = 0;
    }
    m.elementByLabels.clear();
    try {
        for (int col = step; col <= m.size; ++col) {
            std::vector<ElementNode*>& column = m.activeColElements[Ix(col)];
            for (ElementNode* e = *m.activeInCol[Ix(col)]; e; e = e->nextInCol) {
                column.push_back(e);
                m.activeRowElements[Ix(e->row)].push_back(e);
            }
        }
    } catch (const std::bad_alloc&) {
        m.error = kMatrixNoMemory;
    }
    m.orderingByLabels = true;
    m.activeStep = step;

    for (int i = step; i <= m.size; ++i) {
        std::int32_t count = static_cast<std::int32_t>(m.activeRowElements[Ix(i)].size()) - 1;
        // The right-hand side is indexed by external number in both modes.
        if (!rhs.empty() && RhsNonzero(m, rhs, m.intToExtRow[Ix(i)])) ++count;
        m.markowitzRow[Ix(i)] = count;  // the row's own pivot candidate does not count
        m.markowitzCol[Ix(i)] = static_cast<std::int32_t>(m.activeColElements[Ix(i)].size()) - 1;
    }
    m.singletons = 0;
    for (int i = step; i <= m.size; ++i) {
        const std::int32_t product = ProductAt(m, i);
        m.markowitzProd[Ix(i)] = product;
        if (product == 0) ++m.singletons;
    }
    BuildProductTree(m);
    m.maxRowCountInLowerTri = -1;
}

std::vector<ElementNode*>& ActiveColumn(SparseMatrix& m, int label)
{
    std::vector<ElementNode*>& column = m.activeColElements[Ix(label)];
    const std::int32_t* position = m.rowPosition.data();
    const int step = m.activeStep;
    std::erase_if(column, [position, step](const ElementNode* e) { return position[e->row] < step; });
    return column;
}

std::vector<ElementNode*>& ActiveRow(SparseMatrix& m, int label)
{
    std::vector<ElementNode*>& row = m.activeRowElements[Ix(label)];
    const std::int32_t* position = m.colPosition.data();
    const int step = m.activeStep;
    std::erase_if(row, [position, step](const ElementNode* e) { return position[e->col] < step; });
    return row;
}

ElementNode* ChoosePivot(SparseMatrix& m, int step, bool diagonalPivoting)
{
    if (m.singletons > 0) {
        if (ElementNode* p = FindSingletonPivot(m, step)) {
            m.pivotMethod = 's';
            return p;
        }
    }
    if (diagonalPivoting) {
        if (ElementNode* p = FindDiagonalPivotQuick(m, step)) {
            m.pivotMethod = 'q';
            return p;
        }
        if (ElementNode* p = FindDiagonalPivot(m, step)) {
            m.pivotMethod = 'd';
            return p;
        }
    }
    m.pivotMethod = 'e';
    return FindPivotInWholeMatrix(m, step);
}

double LargestInColumnExcluding(SparseMatrix& m, const ElementNode* excluded, [[maybe_unused]] int step)
{
    assert(step == m.activeStep);
    double largest = 0.0;
    if (m.orderingByLabels) {
        const std::size_t label = Ix(excluded->col);
        if (m.largestExcluding[label] == excluded) return m.largestInColumn[label];
        for (const ElementNode* e : ActiveColumn(m, excluded->col))
            if (e != excluded) largest = std::max(largest, ElementMagnitude(e));
        m.largestExcluding[label] = excluded;
        m.largestInColumn[label] = largest;
        return largest;
    }
    for (const ElementNode* e = *m.activeInCol[Ix(excluded->col)]; e; e = e->nextInCol) {
        if (e != excluded) largest = std::max(largest, ElementMagnitude(e));
    }
    return largest;
}

void MovePivotToStep(SparseMatrix& m, ElementNode* pivot, int step)
{
    const int row = RowOf(m, pivot);
    const int col = ColOf(m, pivot);
    m.pivotsOriginalRow = row;
    m.pivotsOriginalCol = col;
    if (row == step && col == step) return;

    const std::int32_t* prod = m.markowitzProd.data();
    if (row == col) {
        // A diagonal swap is a symmetric permutation: the parity does not change.
        ExchangeRows(m, step, row);
        ExchangeColumns(m, step, col);
        const std::int32_t stepProduct = prod[step];
        SetProduct(m, step, prod[row]);
        SetProduct(m, row, stepProduct);
        std::swap(m.diag[Ix(row)], m.diag[Ix(step)]);
        return;
    }

    const std::int32_t oldStepProduct = prod[step];
    const std::int32_t oldRowProduct = prod[row];
    const std::int32_t oldColProduct = prod[col];
    if (row != step) {
        ExchangeRows(m, step, row);
        m.oddInterchanges = !m.oddInterchanges;
        SetProduct(m, row, ProductAt(m, row));
        AdjustSingletons(m, oldRowProduct, prod[row]);
    }
    if (col != step) {
        ExchangeColumns(m, step, col);
        m.oddInterchanges = !m.oddInterchanges;
        SetProduct(m, col, ProductAt(m, col));
        AdjustSingletons(m, oldColProduct, prod[col]);
        m.diag[Ix(col)] = FindDiagonalAt(m, col);
    }
    if (row != step) m.diag[Ix(row)] = FindDiagonalAt(m, row);
    m.diag[Ix(step)] = FindDiagonalAt(m, step);
    SetProduct(m, step, ProductAt(m, step));
    AdjustSingletons(m, oldStepProduct, prod[step]);
}

namespace {

// A fill-in's counts: its row and column each gain one element.
void CountFillin(SparseMatrix& m, int row, int col)
{
    std::int32_t& rowCount = m.markowitzRow[Ix(row)];
    ++rowCount;
    SetProduct(m, row, ProductAt(m, row));
    if (rowCount == 1 && m.markowitzCol[Ix(row)] != 0) --m.singletons;
    std::int32_t& colCount = m.markowitzCol[Ix(col)];
    ++colCount;
    SetProduct(m, col, ProductAt(m, col));
    if (colCount == 1 && m.markowitzRow[Ix(col)] != 0) --m.singletons;
}

}  // namespace

ElementNode* InsertFillin(SparseMatrix& m, int row, int col, ElementNode** above)
{
    ElementNode* e = CreateElement(m, row, col, above, true);
    if (e) CountFillin(m, row, col);
    return e;
}

ElementNode* InsertFillinByLabels(SparseMatrix& m, int rowLabel, int colLabel)
{
    ElementNode* e = CreateUnlinkedFillin(m, rowLabel, colLabel);
    if (!e) return nullptr;
    try {
        m.activeColElements[Ix(colLabel)].push_back(e);
        m.activeRowElements[Ix(rowLabel)].push_back(e);
        if (m.columnIndexed[Ix(colLabel)]) m.elementByLabels.emplace(LabelKey(rowLabel, colLabel), e);
    } catch (const std::bad_alloc&) {
        m.error = kMatrixNoMemory;
        return nullptr;
    }
    CountFillin(m, RowOf(m, e), ColOf(m, e));
    return e;
}

void UpdateMarkowitzCounts(SparseMatrix& m, const ElementNode* pivot)
{
    // The pivot's row and column are still active at this step.
    for (const ElementNode* e : ActiveColumn(m, pivot->col)) {
        if (e == pivot) continue;
        const int row = RowOf(m, e);
        --m.markowitzRow[Ix(row)];
        SetProduct(m, row, ProductAt(m, row));
        if (m.markowitzRow[Ix(row)] == 0) ++m.singletons;
    }
    for (const ElementNode* e : ActiveRow(m, pivot->row)) {
        if (e == pivot) continue;
        const int col = ColOf(m, e);
        --m.markowitzCol[Ix(col)];
        SetProduct(m, col, ProductAt(m, col));
        if (m.markowitzCol[Ix(col)] == 0 && m.markowitzRow[Ix(col)] != 0) ++m.singletons;
    }
}

void InitActiveLinks(SparseMatrix& m, int step)
{
    m.activeStep = 0;  // walk from the heads
    for (int i = 1; i <= m.size; ++i) {
        ElementNode** link = &m.firstInCol[Ix(i)];
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
    if (m.orderingByLabels) {
        // The pivot's lines are finished: their arrays are not read again.
        std::vector<ElementNode*>().swap(m.activeRowElements[Ix(m.rowLabelAt[Ix(step)])]);
        std::vector<ElementNode*>().swap(m.activeColElements[Ix(m.colLabelAt[Ix(step)])]);
        m.activeStep = step + 1;
        return;
    }
    for (ElementNode* e = m.firstInRow[Ix(step)]; e; e = e->nextInRow) {
        ElementNode**& link = m.activeInCol[Ix(e->col)];
        if (*link == e) link = &e->nextInCol;
    }
    for (ElementNode* e = m.firstInCol[Ix(step)]; e; e = e->nextInCol) {
        ElementNode**& link = m.activeInRow[Ix(e->row)];
        if (*link == e) link = &e->nextInRow;
    }
    m.activeStep = step + 1;
}

void EndOrdering(SparseMatrix& m)
{
    m.activeStep = 0;
    if (!m.orderingByLabels) return;
    m.orderingByLabels = false;
    // Every element takes the numbers of the positions its labels reached.
    const std::int32_t* rowPosition = m.rowPosition.data();
    const std::int32_t* colPosition = m.colPosition.data();
    ForEachElement(m, [rowPosition, colPosition](ElementNode& e) {
        e.row = rowPosition[e.row];
        e.col = colPosition[e.col];
    });
    for (int i = 1; i <= m.size; ++i) {
        m.activeRowElements[Ix(i)].clear();
        m.activeColElements[Ix(i)].clear();
    }
    LinkLinesSorted(m);
}

namespace {

// Gives back every fill-in's element while no caller holds one (the fill-ins are then the
// elements without a value); the lists still need linking.
void FreeFillinElements(SparseMatrix& m)
{
    for (int k = 1; k <= m.size; ++k)
        if (m.diag[Ix(k)] && m.fillinArena.Owns(m.diag[Ix(k)])) m.diag[Ix(k)] = nullptr;
    m.fillinArena = ElementArena(false);
#if defined(__GLIBC__)
    // The fill-ins' blocks usually lie amid the heap, where the allocator keeps freed pages
    // resident; the plan made next would otherwise add its arrays on top of them.
    malloc_trim(0);
#endif
}

}  // namespace

void ReleaseFillins(SparseMatrix& m)
{
    if (m.fillinsInPlanOnly) {
        // Already out of the lists, and no diagonal points at one.
        m.fillinsInPlanOnly = false;
        m.elementCount -= m.fillinCount;
        m.fillinCount = 0;
        return;
    }
    if (m.fillinArena.Count() == 0 || !m.handedOutFillins.empty() || !m.rowsLinked) return;
    FreeFillinElements(m);
    m.elementCount -= m.fillinCount;
    m.fillinCount = 0;
    LinkLinesSorted(m);
}

void DropFillinElements(SparseMatrix& m)
{
    if (m.fillinArena.Count() == 0 || !m.handedOutFillins.empty() || !m.rowsLinked || m.fillinsInPlanOnly) return;
    FreeFillinElements(m);
    m.fillinsInPlanOnly = true;
    LinkLinesSorted(m);
}

bool RestoreFillinElements(SparseMatrix& m)
{
    if (!m.fillinsInPlanOnly) return true;
    const FactorPlan& plan = m.plan;
    const MatrixElement* zero = &m.fillinZero;
    m.fillinArena.Reserve(Ix(m.fillinCount));
    for (int j = 1; j <= plan.size; ++j) {
        for (std::int32_t q = plan.colStart[Ix(j)]; q < plan.colStart[Ix(j) + 1]; ++q) {
            if (plan.element[Ix(q)] != zero) continue;
            ElementNode* e = m.fillinArena.Allocate();
            if (!e) {
                // Without room for them the next ordering makes again the fill-ins it needs.
                FreeFillinElements(m);
                LinkLinesSorted(m);
                ReleaseFillins(m);
                m.error = kMatrixNoMemory;
                return false;
            }
            e->row = plan.rowIndex[Ix(q)];
            e->col = j;
            if (e->row == j) m.diag[Ix(j)] = e;
        }
    }
    m.fillinsInPlanOnly = false;
    LinkLinesSorted(m);
    return true;
}

bool FactorPivotsPassThreshold(const SparseMatrix& m)
{
    const FactorPlan& plan = m.plan;
    const bool complex = plan.complexFactors;
    // Below each pivot the factors hold the column as it stood when the pivot was taken; the
    // pivot itself is held as its reciprocal.
    const auto magnitude = [&plan, complex](std::int32_t q) {
        return complex ? std::abs(plan.complexValue[2 * Ix(q)]) + std::abs(plan.complexValue[2 * Ix(q) + 1])
                       : std::abs(plan.value[Ix(q)]);
    };
    for (int j = 1; j <= plan.size; ++j) {
        const std::int32_t diagonal = plan.diagPos[Ix(j)];
        double largest = 0.0;
        for (std::int32_t q = diagonal + 1; q < plan.colStart[Ix(j + 1)]; ++q) largest = std::max(largest, magnitude(q));
        double pivot;
        if (complex) {
            const double re = plan.complexValue[2 * Ix(diagonal)], im = plan.complexValue[2 * Ix(diagonal) + 1];
            pivot = (std::abs(re) + std::abs(im)) / (re * re + im * im);
        } else {
            pivot = 1.0 / std::abs(plan.value[Ix(diagonal)]);
        }
        if (!(largest * m.relThreshold < pivot)) return false;
    }
    return true;
}

int SetSingular(SparseMatrix& m, int step)
{
    m.singularRow = m.intToExtRow[Ix(step)];
    m.singularCol = m.intToExtCol[Ix(step)];
    m.error = kMatrixSingular;
    return kMatrixSingular;
}

}  // namespace kq5::sparse_internal
