#include "analog/sparse_matrix.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "analog/sparse_ordering.h"

namespace kq5 {

namespace {

// Blocks after the first grow with the element count (half of it, within these bounds):
// small circuits waste nothing, large ones keep their elements together.
constexpr std::size_t kMinBlockElements = 31;
constexpr std::size_t kMaxBlockElements = 1u << 14;

// Resizes a frame vector, new entries taking fill; false when memory runs out.
template <class T>
bool GrowVector(std::vector<T>& v, std::size_t count, const T& fill) noexcept
{
    try {
        v.resize(count, fill);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

// Allocates the frame vectors for allocated size n (entries 0 .. n).
bool AllocateFrame(SparseMatrix& m, int n) noexcept
{
    const std::size_t count = static_cast<std::size_t>(n) + 1;
    if (!GrowVector(m.diag, count, static_cast<ElementNode*>(nullptr)) ||
        !GrowVector(m.firstInCol, count, static_cast<ElementNode*>(nullptr)) ||
        !GrowVector(m.firstInRow, count, static_cast<ElementNode*>(nullptr)) ||
        (!m.rowsLinked && !GrowVector(m.lastInCol, count, static_cast<ElementNode*>(nullptr))))
        return false;
    const std::size_t old = m.intToExtRow.size();
    if (!GrowVector(m.intToExtRow, count, 0) || !GrowVector(m.intToExtCol, count, 0)) return false;
    for (std::size_t i = std::max<std::size_t>(old, 1); i < count; ++i) {
        m.intToExtRow[i] = static_cast<std::int32_t>(i);
        m.intToExtCol[i] = static_cast<std::int32_t>(i);
    }
    return true;
}

// Empties a vector and gives its memory back (an assignment of {} keeps the capacity).
template <class T>
void Release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

void FreeWorkVectors(SparseMatrix& m)
{
    sparse_internal::FreeOrderingVectors(m);
    Release(m.realDirect);
    Release(m.complexDirect);
    Release(m.intermediate);
    m.workVectorsAllocated = false;
}

}  // namespace

namespace sparse_internal {

void FreeOrderingVectors(SparseMatrix& m)
{
    Release(m.markowitzRow);
    Release(m.markowitzCol);
    Release(m.markowitzProd);
    Release(m.productTree);
    m.productLeaves = 0;
    Release(m.activeInCol);
    Release(m.activeInRow);
    Release(m.rowLabelAt);
    Release(m.colLabelAt);
    Release(m.rowPosition);
    Release(m.colPosition);
    Release(m.activeRowElements);
    Release(m.activeColElements);
    Release(m.largestExcluding);
    Release(m.largestInColumn);
    Release(m.rowScatter);
    Release(m.rowScatterMark);
    Release(m.rowUpdatedMark);
    Release(m.columnIndexed);
    std::unordered_map<std::uint64_t, ElementNode*>().swap(m.elementByLabels);
    m.scatterGeneration = 0;
    m.updatedGeneration = 0;
    m.activeStep = 0;
    m.orderingByLabels = false;
    m.orderingVectorsAllocated = false;
}

}  // namespace sparse_internal

namespace {

// Makes room for internal number newSize.
bool EnlargeMatrix(SparseMatrix& m, int newSize)
{
    const int oldAllocated = m.allocatedSize;
    if (newSize > oldAllocated) {
        const int allocated = std::max(newSize, static_cast<int>(1.5 * oldAllocated));
        // The work vectors are sized by the allocated size; ordering makes them again.
        FreeWorkVectors(m);
        if (!AllocateFrame(m, allocated)) {
            m.error = kMatrixNoMemory;
            return false;
        }
        m.allocatedSize = allocated;
    }
    m.size = newSize;
    return true;
}

bool ExpandTranslationMaps(SparseMatrix& m, int newSize)
{
    const int allocated = std::max(newSize, static_cast<int>(1.5 * m.allocatedExtSize));
    const std::size_t count = static_cast<std::size_t>(allocated) + 1;
    if (!GrowVector(m.extToIntRow, count, -1) || !GrowVector(m.extToIntCol, count, -1)) {
        m.error = kMatrixNoMemory;
        return false;
    }
    m.allocatedExtSize = allocated;
    return true;
}

// The internal number of an external one, handing out the next internal number on first
// use. One external number names the same internal row and column until ordering moves them.
bool TranslateOne(SparseMatrix& m, int ext, std::vector<std::int32_t>& map, int& internal)
{
    internal = map[static_cast<std::size_t>(ext)];
    if (internal != -1) return true;
    internal = m.currentSize + 1;
    if (internal > m.size && !EnlargeMatrix(m, internal)) return false;
    m.currentSize = internal;
    m.extToIntRow[static_cast<std::size_t>(ext)] = internal;
    m.extToIntCol[static_cast<std::size_t>(ext)] = internal;
    m.intToExtRow[static_cast<std::size_t>(internal)] = ext;
    m.intToExtCol[static_cast<std::size_t>(internal)] = ext;
    return true;
}

bool Translate(SparseMatrix& m, int& row, int& col)
{
    const int larger = std::max(row, col);
    if (larger > m.allocatedExtSize && !ExpandTranslationMaps(m, larger)) return false;
    if (larger > m.extSize) m.extSize = larger;
    return TranslateOne(m, row, m.extToIntRow, row) && TranslateOne(m, col, m.extToIntCol, col);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Element arena

bool ElementArena::AddBlock(std::size_t count) noexcept
{
    try {
        blocks_.reserve(blocks_.size() + 1);
        blockSizes_.reserve(blockSizes_.size() + 1);
        values_.reserve(values_.size() + 1);
        byAddress_.reserve(byAddress_.size() + 1);
        RawBlock<ElementNode> block(static_cast<ElementNode*>(::operator new(count * sizeof(ElementNode))));
        RawBlock<MatrixElement> values(
            withValues_ ? static_cast<MatrixElement*>(::operator new(count * sizeof(MatrixElement))) : nullptr);
        // A closed block counts only what it handed out.
        if (!blockSizes_.empty()) blockSizes_.back() = lastUsed_;
        const std::less<const ElementNode*> before;
        const ElementNode* start = block.get();
        byAddress_.insert(std::upper_bound(byAddress_.begin(), byAddress_.end(), start,
                                           [this, &before](const ElementNode* p, std::size_t b) {
                                               return before(p, blocks_[b].get());
                                           }),
                          blocks_.size());
        blocks_.push_back(std::move(block));
        values_.push_back(std::move(values));
        blockSizes_.push_back(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    lastUsed_ = 0;
    return true;
}

bool ElementArena::Reserve(std::size_t count) noexcept
{
    if (!blocks_.empty() && blockSizes_.back() - lastUsed_ >= count) return true;
    return AddBlock(std::max(count, kMinBlockElements));
}

bool ElementArena::Locate(const ElementNode* e, std::size_t& block, std::size_t& index) const noexcept
{
    // The last block first: most lookups are of an element just made.
    const std::less<const ElementNode*> before;
    const auto within = [&](std::size_t b) {
        const ElementNode* first = blocks_[b].get();
        if (before(e, first) || !before(e, first + Used(b))) return false;
        block = b;
        index = static_cast<std::size_t>(e - first);
        return true;
    };
    if (blocks_.empty()) return false;
    if (within(blocks_.size() - 1)) return true;
    const auto after = std::upper_bound(byAddress_.begin(), byAddress_.end(), e,
                                        [this, &before](const ElementNode* p, std::size_t b) {
                                            return before(p, blocks_[b].get());
                                        });
    return after != byAddress_.begin() && within(*(after - 1));
}

bool ElementArena::Owns(const ElementNode* e) const noexcept
{
    std::size_t block = 0, index = 0;
    return Locate(e, block, index);
}

MatrixElement* ElementArena::ValueOf(const ElementNode* e) const noexcept
{
    std::size_t block = 0, index = 0;
    if (!withValues_ || !Locate(e, block, index)) return nullptr;
    return values_[block].get() + index;
}

ElementNode* ElementArena::Allocate() noexcept
{
    if (blocks_.empty() || lastUsed_ == blockSizes_.back()) {
        const std::size_t grow = std::clamp(handedOut_ / 2, kMinBlockElements, kMaxBlockElements);
        if (!AddBlock(grow)) return nullptr;
    }
    ++handedOut_;
    ElementNode* e = ::new (static_cast<void*>(&blocks_.back()[lastUsed_])) ElementNode();
    if (withValues_) ::new (static_cast<void*>(&values_.back()[lastUsed_])) MatrixElement();
    ++lastUsed_;
    return e;
}

// ---------------------------------------------------------------------------------------
// Creation and destruction

std::unique_ptr<SparseMatrix> MatrixCreate(int size, bool complex, int& error)
{
    error = 0;
    if (size < 0) {
        error = kMatrixBadSize;
        return nullptr;
    }
    std::unique_ptr<SparseMatrix> m(new (std::nothrow) SparseMatrix());
    if (!m) {
        error = kMatrixNoMemory;
        return nullptr;
    }
    const int allocated = std::max(size, kMinAllocatedSize);
    m->complex = complex;
    m->previousComplex = complex;
    m->size = size;
    m->extSize = size;
    m->allocatedSize = allocated;
    m->allocatedExtSize = allocated;
    // The first block holds six elements per row, which a typical circuit about fills.
    if (!AllocateFrame(*m, allocated) ||
        !GrowVector(m->extToIntRow, static_cast<std::size_t>(allocated) + 1, -1) ||
        !GrowVector(m->extToIntCol, static_cast<std::size_t>(allocated) + 1, -1) ||
        !m->arena.Reserve(6 * static_cast<std::size_t>(allocated))) {
        error = kMatrixNoMemory;
        return nullptr;
    }
    m->extToIntRow[0] = 0;
    m->extToIntCol[0] = 0;
    return m;
}

int CreateSolverMatrix(std::unique_ptr<SparseMatrix>& slot)
{
    int error = 0;
    slot = MatrixCreate(0, true, error);
    return error;
}

void MatrixDestroy(std::unique_ptr<SparseMatrix>& matrix)
{
    matrix.reset();
}

// ---------------------------------------------------------------------------------------
// Elements

namespace sparse_internal {

ElementNode* CreateElement(SparseMatrix& m, int row, int col, ElementNode** above,
                             bool fillin)
{
    ElementNode* e = fillin ? m.fillinArena.Allocate() : m.arena.Allocate();
    if (!e) {
        m.error = kMatrixNoMemory;
        return nullptr;
    }
    e->row = row;
    e->col = col;
    e->nextInCol = *above;
    *above = e;
    if (row == col) m.diag[static_cast<std::size_t>(row)] = e;
    if (!e->nextInCol && !m.rowsLinked) m.lastInCol[static_cast<std::size_t>(col)] = e;

    if (m.rowsLinked) {
        // A fill-in lies right of the current step: its row is searched from there.
        ElementNode** left = fillin && m.activeStep > 0 ? m.activeInRow[static_cast<std::size_t>(row)]
                                                           : &m.firstInRow[static_cast<std::size_t>(row)];
        while (*left && (*left)->col < col) left = &(*left)->nextInRow;
        e->nextInRow = *left;
        *left = e;
        // A new stamp position after ordering invalidates the order; fill-ins belong to it.
        if (!fillin) m.needsOrdering = true;
    }
    if (fillin) ++m.fillinCount;
    ++m.elementCount;
    return e;
}

void LinkRows(SparseMatrix& m)
{
    std::fill(m.firstInRow.begin(), m.firstInRow.end(), nullptr);
    for (int col = m.size; col >= 1; --col) {
        for (ElementNode* e = m.firstInCol[static_cast<std::size_t>(col)]; e; e = e->nextInCol) {
            e->col = col;
            ElementNode*& head = m.firstInRow[static_cast<std::size_t>(e->row)];
            e->nextInRow = head;
            head = e;
        }
    }
    m.rowsLinked = true;
    // Only the set-up before rows are linked appends behind the last elements.
    std::vector<ElementNode*>().swap(m.lastInCol);
}

ElementNode* CreateUnlinkedFillin(SparseMatrix& m, int rowLabel, int colLabel)
{
    ElementNode* e = m.fillinArena.Allocate();
    if (!e) {
        m.error = kMatrixNoMemory;
        return nullptr;
    }
    e->row = rowLabel;
    e->col = colLabel;
    const int position = m.rowPosition[static_cast<std::size_t>(rowLabel)];
    if (position == m.colPosition[static_cast<std::size_t>(colLabel)]) m.diag[static_cast<std::size_t>(position)] = e;
    ++m.fillinCount;
    ++m.elementCount;
    return e;
}

MatrixElement* ValueOf(const SparseMatrix& m, const ElementNode* e)
{
    if (MatrixElement* value = m.arena.ValueOf(e)) return value;
    if (m.handedOutValueOf.empty()) return nullptr;
    const auto found = m.handedOutValueOf.find(e);
    return found != m.handedOutValueOf.end() ? found->second : nullptr;
}

void CopyValuesIntoNodes(SparseMatrix& m)
{
    m.fillinArena.ForEach([](ElementNode& e) { e.real = e.imag = 0.0; });
    const auto copy = [](ElementNode& e, const MatrixElement& value) {
        e.real = value.real;
        e.imag = value.imag;
    };
    m.arena.ForEachWithValue(copy);
    for (std::size_t k = 0; k < m.handedOutFillins.size(); ++k) copy(*m.handedOutFillins[k], m.handedOutValues[k]);
}

bool CreateWorkVectors(SparseMatrix& m)
{
    const std::size_t n = static_cast<std::size_t>(m.allocatedSize) + 1;
    try {
        m.realDirect.assign(n, 0);
        m.complexDirect.assign(n, 0);
        m.intermediate.assign(2 * n, 0.0);
    } catch (const std::bad_alloc&) {
        FreeWorkVectors(m);
        m.error = kMatrixNoMemory;
        return false;
    }
    m.workVectorsAllocated = true;
    return true;
}

void TrimFrame(SparseMatrix& m)
{
    const int rows = std::max(m.size, kMinAllocatedSize);
    if (m.allocatedSize > rows) {
        const std::size_t count = static_cast<std::size_t>(rows) + 1;
        auto trim = [count](auto& v) {
            if (v.size() > count) v.resize(count);
            v.shrink_to_fit();
        };
        trim(m.diag);
        trim(m.firstInCol);
        trim(m.firstInRow);
        if (!m.rowsLinked) trim(m.lastInCol);
        trim(m.intToExtRow);
        trim(m.intToExtCol);
        // The work vectors keep what they hold (the partition among it).
        if (m.workVectorsAllocated) {
            trim(m.realDirect);
            trim(m.complexDirect);
            if (m.intermediate.size() > 2 * count) m.intermediate.resize(2 * count);
            m.intermediate.shrink_to_fit();
        }
        m.allocatedSize = rows;
    }
    const int ext = std::max(m.extSize, kMinAllocatedSize);
    if (m.allocatedExtSize > ext) {
        const std::size_t count = static_cast<std::size_t>(ext) + 1;
        m.extToIntRow.resize(count);
        m.extToIntRow.shrink_to_fit();
        m.extToIntCol.resize(count);
        m.extToIntCol.shrink_to_fit();
        m.allocatedExtSize = ext;
    }
}

bool CreateOrderingVectors(SparseMatrix& m)
{
    if (m.orderingVectorsAllocated) return true;
    // Sized by the rows in use: the matrix does not grow while it is factored.
    const std::size_t n = static_cast<std::size_t>(m.size) + 1;
    try {
        m.markowitzRow.assign(n, 0);
        m.markowitzCol.assign(n, 0);
        m.markowitzProd.assign(n + 1, 0);
        m.activeInCol.assign(n, nullptr);
        m.activeInRow.assign(n, nullptr);
        m.rowLabelAt.assign(n, 0);
        m.colLabelAt.assign(n, 0);
        m.rowPosition.assign(n, 0);
        m.colPosition.assign(n, 0);
        m.activeRowElements.assign(n, {});
        m.activeColElements.assign(n, {});
        m.largestExcluding.assign(n, nullptr);
        m.largestInColumn.assign(n, 0.0);
        m.rowScatter.assign(n, nullptr);
        m.rowScatterMark.assign(n, 0);
        m.rowUpdatedMark.assign(n, 0);
        m.columnIndexed.assign(n, 0);
        m.scatterGeneration = 0;
        m.updatedGeneration = 0;
    } catch (const std::bad_alloc&) {
        FreeOrderingVectors(m);
        m.error = kMatrixNoMemory;
        return false;
    }
    m.orderingVectorsAllocated = true;
    return true;
}

}  // namespace sparse_internal

namespace {

// The plan's entry at internal (row, col), or -1 when it has none.
std::int32_t PlanEntry(const FactorPlan& plan, int row, int col)
{
    if (!plan.valid || col < 1 || col > plan.size) return -1;
    const std::size_t j = static_cast<std::size_t>(col);
    return FindPlanRow(plan, plan.colStart[j], plan.colStart[j + 1], row);
}

// The value of an existing element handed to a caller: a fill-in no caller had gets its value
// and is loaded from now on. Null when memory ran out.
MatrixElement* HandOut(SparseMatrix& m, ElementNode* e)
{
    if (MatrixElement* value = sparse_internal::ValueOf(m, e)) return value;
    MatrixElement* value = nullptr;
    try {
        m.handedOutFillins.reserve(m.handedOutFillins.size() + 1);
        m.handedOutValueOf.reserve(m.handedOutValueOf.size() + 1);
        value = &m.handedOutValues.emplace_back();
        m.handedOutValueOf.emplace(e, value);
        m.handedOutFillins.push_back(e);
    } catch (const std::bad_alloc&) {
        if (value) m.handedOutValues.pop_back();
        m.error = kMatrixNoMemory;
        return nullptr;
    }
    // The factors read its value from now on (it was zero, and still is).
    if (const std::int32_t q = PlanEntry(m.plan, e->row, e->col); q >= 0) m.plan.element[static_cast<std::size_t>(q)] = value;
    // Loads reach it from now on: the kept loaded values do not cover it.
    m.plan.loadedValid = false;
    return value;
}

// Once rows are linked (after an ordering) both lines are sorted. A node that many devices share
// has a long column while the rows of its partners are short, and a set-up after the ordering
// asks for every element again: the row and the column are walked in step, and the search stops
// as soon as either reaches the element or passes its place. Null when it is absent.
ElementNode* FindLinkedNode(const SparseMatrix& m, int row, int column)
{
    const ElementNode* down = m.firstInCol[static_cast<std::size_t>(column)];
    const ElementNode* across = m.firstInRow[static_cast<std::size_t>(row)];
    for (;;) {
        if (!down || down->row > row || !across || across->col > column) return nullptr;
        if (down->row == row) return const_cast<ElementNode*>(down);
        if (across->col == column) return const_cast<ElementNode*>(across);
        down = down->nextInCol;
        across = across->nextInRow;
    }
}

// The value of the element at internal (row, column), made when absent; null when memory ran
// out.
MatrixElement* FindOrMakeNode(SparseMatrix& m, int row, int column)
{
    if (row == column) {
        if (ElementNode* d = m.diag[static_cast<std::size_t>(row)]) return HandOut(m, d);
    }
    if (m.fillinsInPlanOnly) {
        // A place only a fill-in holds: it is handed out, as it was before its element was
        // given back.
        const std::int32_t q = PlanEntry(m.plan, row, column);
        if (q >= 0 && m.plan.element[static_cast<std::size_t>(q)] == &m.fillinZero &&
            !sparse_internal::RestoreFillinElements(m))
            return nullptr;
    }
    ElementNode** above = &m.firstInCol[static_cast<std::size_t>(column)];
    if (m.rowsLinked) {
        if (ElementNode* e = FindLinkedNode(m, row, column)) return HandOut(m, e);
    } else if (ElementNode* last = m.lastInCol[static_cast<std::size_t>(column)]) {
        if (last->row == row) return m.arena.ValueOf(last);
        if (last->row < row) above = &last->nextInCol;
    }
    while (*above && (*above)->row < row) above = &(*above)->nextInCol;
    if (*above && (*above)->row == row) return HandOut(m, *above);
    ElementNode* e = sparse_internal::CreateElement(m, row, column, above, false);
    return e ? m.arena.ValueOf(e) : nullptr;
}

}  // namespace

MatrixElement* MatrixGetElement(SparseMatrix* matrix, int row, int column)
{
    if (!matrix) return nullptr;
    SparseMatrix& m = *matrix;
    if (row < 0 || column < 0) {
        m.error = kMatrixBadSize;
        return nullptr;
    }
    if (row == 0 || column == 0) return &m.trash;
    if (!Translate(m, row, column)) return nullptr;
    return FindOrMakeNode(m, row, column);
}

MatrixElement* MatrixFindElement(SparseMatrix* matrix, int row, int column)
{
    if (!matrix || row <= 0 || column <= 0) return nullptr;
    SparseMatrix& m = *matrix;
    if (std::max(row, column) > m.extSize) return nullptr;
    const int r = m.extToIntRow[static_cast<std::size_t>(row)];
    const int c = m.extToIntCol[static_cast<std::size_t>(column)];
    if (r <= 0 || c <= 0) return nullptr;
    // Finished columns may be out of row order until an ordering ends: walk the whole column.
    for (ElementNode* e = m.firstInCol[static_cast<std::size_t>(c)]; e; e = e->nextInCol) {
        if (e->row != r) continue;
        return sparse_internal::ValueOf(m, e);  // null for a fill-in no caller was given
    }
    return nullptr;
}

int MatrixReserveElement(SparseMatrix* matrix, int row, int column, MatrixElementRef& ref)
{
    MatrixElement* e = MatrixGetElement(matrix, row, column);
    ref = MatrixElementRef(e);
    if (e) return 0;
    const int error = MatrixGetError(matrix);
    return error ? error : kMatrixNoMemory;
}

namespace {

// What every clear resets besides the values.
void ResetAfterClear(SparseMatrix& m)
{
    m.trash.real = 0.0;
    m.trash.imag = 0.0;
    m.error = 0;
    m.factored = false;
    m.singularCol = 0;
    m.singularRow = 0;
    m.previousComplex = m.complex;
    m.loadUnchanged = false;
    ++m.loadCount;
}

std::size_t LoadableCount(const SparseMatrix& m)
{
    return m.arena.Count() + m.handedOutFillins.size();
}

}  // namespace

void MatrixClear(SparseMatrix* matrix)
{
    if (!matrix) return;
    SparseMatrix& m = *matrix;
    static_assert(std::is_trivially_copyable_v<MatrixElement>, "a value block is cleared by filling its bytes");
    m.arena.ForEachValueBlock([](MatrixElement* first, std::size_t count) {
        std::memset(static_cast<void*>(first), 0, count * sizeof(MatrixElement));
    });
    std::fill(m.handedOutValues.begin(), m.handedOutValues.end(), MatrixElement{});
    ResetAfterClear(m);
}

void MatrixKeepValues(SparseMatrix* matrix)
{
    if (!matrix) return;
    SparseMatrix& m = *matrix;
    m.keptValuesValid = false;
    if (m.complex || m.previousComplex) return;
    try {
        m.keptValues.resize(LoadableCount(m));
    } catch (const std::bad_alloc&) {
        return;
    }
    double* out = m.keptValues.data();
    AllLoadableValues(m, [&out](const MatrixElement& e) {
        *out++ = e.real;
        return true;
    });
    m.keptValuesValid = true;
}

bool MatrixRestoreKeptValues(SparseMatrix* matrix)
{
    if (!matrix) return false;
    SparseMatrix& m = *matrix;
    if (!m.keptValuesValid || m.complex || m.previousComplex || m.keptValues.size() != LoadableCount(m))
        return false;
    const double* in = m.keptValues.data();
    AllLoadableValues(m, [&in](MatrixElement& e) {
        e.real = *in++;
        return true;
    });
    ResetAfterClear(m);
    return true;
}

void MatrixForgetKeptValues(SparseMatrix* matrix)
{
    if (matrix) matrix->keptValuesValid = false;
}

bool MatrixReuseFactors(SparseMatrix* matrix)
{
    if (!matrix) return false;
    SparseMatrix& m = *matrix;
    if (m.complex || !m.factored || !m.plan.valid || !m.plan.loadedValid || m.plan.complexFactors) return false;
    m.loadUnchanged = true;
    return true;
}

int MatrixGetError(const SparseMatrix* matrix)
{
    return matrix ? matrix->error : kMatrixNoMemory;
}

void MatrixSetReal(SparseMatrix* matrix)
{
    if (matrix) matrix->complex = false;
}

void MatrixSetComplex(SparseMatrix* matrix)
{
    if (matrix) matrix->complex = true;
}

}  // namespace kq5
