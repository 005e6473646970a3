#pragma once
// The sparse matrix of the modified nodal equations: an orthogonally linked matrix whose
// elements are chained by column and, once ordering starts, by row, so that the LU
// factorisation can reorder and fill it in place.
//
// Row and column numbers seen by callers are "external" (the simulator's unknown numbers,
// 0 being ground); the matrix hands out its own "internal" numbers in order of first use and
// permutes them freely while it orders.
//
// Element addresses are stable: an element handed out stays at its address until the matrix
// is destroyed, across every clear, factorisation, fill-in and growth. Devices therefore find
// their elements once during set-up and add into them directly on every load.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

namespace kq5 {

// The value of one structurally nonzero entry (fill-ins included): what devices load and the
// factorisation reads. A caller may treat a pointer to it as a pointer to the real part with
// the imaginary part directly behind it. The values of a matrix lie together, apart from its
// linked structure, so that the loads touch little memory, a clear is a fill of whole blocks,
// and nothing the ordering does in place disturbs what was loaded.
struct MatrixElement {
    double real = 0.0;
    double imag = 0.0;  // used in complex mode only
};
static_assert(offsetof(MatrixElement, imag) == sizeof(double),
              "stampers address the imaginary part right behind the real part");

// The linked record of one entry. An ordering copies the loaded values in and factors them in
// place here; everything else works on the entry's value, which the record does not point at
// (a large circuit's factors are mostly fill-ins, which have none): the arena that made the
// record finds it (see ValueOf).
struct ElementNode {
    double real = 0.0;
    double imag = 0.0;
    std::int32_t row = 0;
    std::int32_t col = 0;
    ElementNode* nextInRow = nullptr;  // ascending column, once rows are linked
    ElementNode* nextInCol = nullptr;  // ascending row
};

// Error words of the matrix. Values above kMatrixFatalLimit stop a factorisation at once.
inline constexpr int kMatrixBadSize = 101;
inline constexpr int kMatrixFatalLimit = 100;
inline constexpr int kMatrixNoMemory = 15002;  // "Insufficient memory."
inline constexpr int kMatrixSingular = 15051;  // "Matrix is singular."

inline constexpr std::uint32_t kSparseMatrixIdentifier = 0x772773;
inline constexpr int kMinAllocatedSize = 6;

// Owner of every element. Blocks are never moved or freed before the matrix dies, which is
// what keeps element addresses stable; blocks grow with the matrix so that a large circuit's
// elements lie close together in memory. An element begins to live when it is handed out, so
// the room a block keeps ahead of use is never touched.
class ElementArena {
public:
    // An arena made without values hands out elements whose value is null (fill-ins: most are
    // never loaded, and their value is given only when a caller asks for one).
    explicit ElementArena(bool withValues = true) noexcept : withValues_(withValues) {}

    // A zeroed element with its zeroed value, or null when the heap is exhausted.
    ElementNode* Allocate() noexcept;
    // Makes sure the next count elements come from one block (a hint for locality).
    bool Reserve(std::size_t count) noexcept;
    // True when the element was handed out by this arena.
    bool Owns(const ElementNode* e) const noexcept;
    // The value of an element handed out by this arena; null for any other element, or when
    // the arena was made without values.
    MatrixElement* ValueOf(const ElementNode* e) const noexcept;

    // Calls f(ElementNode&) for every element handed out so far, in the order handed out.
    template <class F>
    void ForEach(F&& f)
    {
        AllOf([&f](ElementNode& e) {
            f(e);
            return true;
        });
    }
    // Calls f(ElementNode&) in the same order while it answers true; false when it did not.
    template <class F>
    bool AllOf(F&& f)
    {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            ElementNode* block = blocks_[b].get();
            for (std::size_t i = 0, used = Used(b); i < used; ++i)
                if (!f(block[i])) return false;
        }
        return true;
    }
    // Calls f(ElementNode&, MatrixElement&) for every element and its value, in the order
    // handed out (an arena with values only).
    template <class F>
    void ForEachWithValue(F&& f)
    {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            ElementNode* block = blocks_[b].get();
            MatrixElement* values = values_[b].get();
            for (std::size_t i = 0, used = Used(b); i < used; ++i) f(block[i], values[i]);
        }
    }
    // Calls f(MatrixElement* first, std::size_t count) for the values of each block, in the
    // order handed out.
    template <class F>
    void ForEachValueBlock(F&& f)
    {
        for (std::size_t b = 0; b < blocks_.size(); ++b) f(values_[b].get(), Used(b));
    }
    // Calls f(MatrixElement&) for every value in the order handed out while it answers true.
    template <class F>
    bool AllValuesOf(F&& f)
    {
        for (std::size_t b = 0; b < blocks_.size(); ++b) {
            MatrixElement* block = values_[b].get();
            for (std::size_t i = 0, used = Used(b); i < used; ++i)
                if (!f(block[i])) return false;
        }
        return true;
    }
    std::size_t Count() const noexcept { return handedOut_; }

private:
    bool AddBlock(std::size_t count) noexcept;
    // The block and place of an element handed out by this arena; false for any other.
    bool Locate(const ElementNode* e, std::size_t& block, std::size_t& index) const noexcept;
    std::size_t Used(std::size_t block) const noexcept
    {
        return block + 1 == blocks_.size() ? lastUsed_ : blockSizes_[block];
    }

    template <class T>
    struct RawDelete {
        void operator()(T* p) const noexcept { ::operator delete(static_cast<void*>(p)); }
    };
    template <class T>
    using RawBlock = std::unique_ptr<T[], RawDelete<T>>;

    std::vector<RawBlock<ElementNode>> blocks_;
    std::vector<RawBlock<MatrixElement>> values_;  // one per block, alike in size
    std::vector<std::size_t> blockSizes_;  // the last block's capacity, the others' use
    std::vector<std::size_t> byAddress_;   // the blocks in ascending order of address
    std::size_t lastUsed_ = 0;  // elements handed out from the last block
    std::size_t handedOut_ = 0;
    bool withValues_ = true;
};

// The factors in compact column form, built after each ordering from the linked structure.
// Refactorisation and solve run on these arrays: no pointer chasing in the inner loops, and
// the elements keep their loaded values, so a refactorisation that meets a zero pivot can
// still reorder the same values.
struct FactorPlan {
    bool valid = false;
    bool complexFactors = false;  // the mode of the last factorisation
    std::int32_t size = 0;
    std::vector<std::int32_t> colStart;  // column j holds entries colStart[j] .. colStart[j+1]-1
    std::vector<std::int32_t> diagPos;   // entry of column j's diagonal (its pivot)
    std::vector<std::int32_t> rowIndex;  // internal row of each entry, ascending per column
    std::vector<MatrixElement*> element;  // the value each entry is loaded from
    std::vector<double> value;           // real factors
    std::vector<double> complexValue;    // complex factors, (real, imaginary) per entry
    // Per entry of a U part (row k of column j): the entry of column k at row j, which
    // updates column j's pivot, or -1 when column k has none.
    std::vector<std::int32_t> pivotUpdate;
    // Per update of a real refactorisation, in the order they are made (column j, each of its
    // multipliers, each entry below that multiplier's pivot): the entry of column j it lands
    // on. Made on the first real refactorisation of an order; left empty where it would not
    // fit a core's cache (the refactorisation then goes through the intermediate vector).
    std::vector<std::int32_t> updateTarget;
    // Made with the targets, one per U entry in plan order (row k of column j): what its
    // multiplier needs, read as one record.
    struct UpdateStep {
        std::int32_t reciprocal;  // the entry holding the reciprocal of column k's pivot
        std::int32_t updates;     // the entries below it, each updating column j
        std::int32_t upperSlot;   // the entry's place in the rows of U
    };
    std::vector<UpdateStep> updateStep;
    bool updateTargetsDecided = false;
    std::vector<std::int32_t> upperStart;  // U by rows: row i holds upperStart[i] .. [i+1]-1
    std::vector<std::int32_t> upperCol;    // column of each U entry, ascending per row
    std::vector<std::int32_t> upperEntry;  // its entry in the column arrays
    std::vector<std::int32_t> upperSlot;   // per entry of a U part: its place in the rows
    std::vector<double> upperValue;        // its factor, copied for the solve's row walk
    std::vector<double> upperComplexValue;
    // The loaded values the present factors were computed from, kept by a successful
    // refactorisation: those of the elements in arena order, then those of the fill-ins handed
    // out, (real, imaginary) pairs when complex. The other fill-ins are zero whenever a
    // refactorisation reads them. A linear circuit at a constant step loads the same matrix
    // again and again; when every value is the same to the bit, so are the factors.
    std::vector<double> loaded;
    bool loadedValid = false;
    // A real refactorisation keeps instead, while it reads them, the values of the entries in
    // plan order: exactly what its factors depend on.
    bool loadedByEntry = false;
    // The factors and the loaded values are an ordering's: they stand for a refactorisation
    // only where it would clamp nothing, which the next factorisation checks once the columns
    // are partitioned.
    bool clampCheckPending = false;
};

// The entry among first .. end - 1, a stretch of one column of the plan (rows ascending),
// that lies in row; -1 when none does.
inline std::int32_t FindPlanRow(const FactorPlan& plan, std::int32_t first, std::int32_t end, std::int32_t row)
{
    const std::int32_t* rows = plan.rowIndex.data();
    const std::int32_t* r = std::lower_bound(rows + first, rows + end, row);
    return r != rows + end && *r == row ? static_cast<std::int32_t>(r - rows) : -1;
}

struct SparseMatrix {
    double absThreshold = 0.0;
    std::int32_t allocatedSize = 0;     // rows the frame vectors can hold
    std::int32_t allocatedExtSize = 0;  // entries the external-to-internal maps can hold
    bool complex = false;               // mode of the next factor and solve
    std::int32_t currentSize = 0;       // internal numbers handed out so far
    std::vector<ElementNode*> diag;   // per internal row, null while absent
    std::vector<std::uint8_t> complexDirect;  // per column: complex refactor scatters/gathers
    std::vector<std::uint8_t> realDirect;     // per column: real refactor scatters/gathers
    std::int32_t elementCount = 0;      // elements and fill-ins created
    std::int32_t error = 0;
    std::int32_t extSize = 0;           // largest external number seen
    std::vector<std::int32_t> extToIntCol;  // -1 for an external number not yet seen
    std::vector<std::int32_t> extToIntRow;
    bool factored = false;
    std::int32_t fillinCount = 0;
    std::vector<ElementNode*> firstInCol;
    std::vector<ElementNode*> firstInRow;
    // Until rows are linked: the last element of each column. Set-up asks for rows mostly in
    // ascending order (internal numbers are handed out in order of first use), so most new
    // elements go behind it, and a node shared by many devices costs no walk down its column.
    // Released once rows are linked.
    std::vector<ElementNode*> lastInCol;
    std::uint32_t identifier = kSparseMatrixIdentifier;
    std::vector<double> intermediate;  // two doubles per row (complex room)
    bool workVectorsAllocated = false;
    bool orderingVectorsAllocated = false;
    std::vector<std::int32_t> intToExtCol;
    std::vector<std::int32_t> intToExtRow;
    std::vector<std::int32_t> markowitzRow;
    std::vector<std::int32_t> markowitzCol;
    std::vector<std::int32_t> markowitzProd;  // size + 2 entries: room for the search sentinel
    // While a new order is chosen: a minimum tree over the products (leaves from productLeaves
    // on), which the pivot searches descend instead of walking every position.
    std::vector<std::int32_t> productTree;
    std::int32_t productLeaves = 0;
    // While the old order is reused: per column the link to its first element at or below the
    // current step, per row the link to its first element at or right of it.
    std::vector<ElementNode**> activeInCol;
    std::vector<ElementNode**> activeInRow;
    std::int32_t activeStep = 0;  // the step being eliminated, 0 outside ordering
    // While a new order is chosen, elements keep the row and column numbers they had when it
    // began (their labels) and the lists are not touched: an exchange swaps two entries of the
    // label/position maps, and the elements of each active line are kept in an unsorted array
    // from which finished elements are dropped as the line is next read. When the ordering
    // ends, every element takes its final numbers and the lists are built again, sorted.
    bool orderingByLabels = false;
    std::vector<std::int32_t> rowLabelAt;   // per position: the label of the row there
    std::vector<std::int32_t> colLabelAt;
    std::vector<std::int32_t> rowPosition;  // per label: its position
    std::vector<std::int32_t> colPosition;
    std::vector<std::vector<ElementNode*>> activeRowElements;  // per label
    std::vector<std::vector<ElementNode*>> activeColElements;
    // Per column label: the largest magnitude of its active part leaving out one element (the
    // pivot candidate it was last asked for), kept until a step changes the column; null where
    // nothing is kept. The searches ask for the same untouched columns step after step.
    std::vector<const ElementNode*> largestExcluding;
    std::vector<double> largestInColumn;
    // Per row label: the pivot column's element in that row, valid where the mark is the
    // present generation; and the rows of a column already updated by the pivot, where the
    // second mark is.
    std::vector<ElementNode*> rowScatter;
    std::vector<std::uint32_t> rowScatterMark;
    std::vector<std::uint32_t> rowUpdatedMark;
    std::uint32_t scatterGeneration = 0;
    std::uint32_t updatedGeneration = 0;
    // A column far longer than the pivot columns that update it (the column of a node many
    // elements share) is not walked at every step: its elements are found by their (row label,
    // column label) key instead. A column is indexed when first met so, and its fill-ins are
    // added as they are made; the index lasts for one ordering.
    std::vector<std::uint8_t> columnIndexed;  // per column label
    std::unordered_map<std::uint64_t, ElementNode*> elementByLabels;
    std::int32_t maxRowCountInLowerTri = -1;
    bool needsOrdering = true;
    bool oddInterchanges = false;
    bool partitioned = false;
    std::int32_t pivotsOriginalCol = 0;
    std::int32_t pivotsOriginalRow = 0;
    char pivotMethod = 0;  // 's', 'q', 'd' or 'e': the search that found the last pivot
    bool previousComplex = false;
    double relThreshold = 0.001;
    bool reordered = false;
    bool rowsLinked = false;
    std::int32_t singularCol = 0;  // external numbers, 0 when none
    std::int32_t singularRow = 0;
    std::int32_t singletons = 0;
    std::int32_t size = 0;         // internal rows in use
    MatrixElement trash;           // every stamp into row or column 0 lands here
    ElementArena arena;            // the elements asked for by callers
    // Fill-ins live apart: only callers write values, so a fill-in no caller was given has no
    // value of its own (it reads as zero), and a clear of a large factored circuit is not
    // dominated by them. A fill-in handed to a caller later gets a value and is loaded like an
    // element.
    ElementArena fillinArena{false};
    std::vector<ElementNode*> handedOutFillins;
    std::deque<MatrixElement> handedOutValues;  // the values of those fill-ins, in the same order
    std::unordered_map<const ElementNode*, MatrixElement*> handedOutValueOf;
    // The fill-ins' elements were given back: the plan alone holds them (its entries reading
    // fillinZero), and they are made again before anything needs them.
    bool fillinsInPlanOnly = false;
    MatrixElement fillinZero;  // never written: what the factors read for a fill-in without a value
    FactorPlan plan;
    // Real values a caller loaded once and asked to keep (the part of the equations that does
    // not change between loads): those of the elements in arena order, then those of the
    // fill-ins handed out. A restore puts them back in place of a clear.
    std::vector<double> keptValues;
    bool keptValuesValid = false;
    // Counts the times the values were set afresh (a clear, a restore, an ordering), so that
    // a caller can tell that the elements still hold what it put there.
    std::uint64_t loadCount = 0;
    // Set by MatrixReuseFactors: the next factorisation keeps the present factors.
    bool loadUnchanged = false;
    // The order was chosen for other values of the same entries (another stamp set's): the
    // next factorisation keeps it only while every pivot still passes the relative threshold.
    bool orderForOtherValues = false;
};

// Calls f(MatrixElement&) on every value loads can reach, those of the elements in the order
// made, then those of the fill-ins handed out, while f answers true; false when it did not.
template <class F>
bool AllLoadableValues(SparseMatrix& m, F&& f)
{
    if (!m.arena.AllValuesOf(f)) return false;
    for (MatrixElement& value : m.handedOutValues)
        if (!f(value)) return false;
    return true;
}

// What a device keeps for one entry it stamps: found once at set-up, added into on every
// load. Because each device holds its own references, a load that is skipped can never
// shift the elements of another device.
class MatrixElementRef {
public:
    MatrixElementRef() = default;
    explicit MatrixElementRef(MatrixElement* element) : element_(element) {}

    void Add(double value) const { element_->real += value; }
    void AddComplex(double re, double im) const
    {
        element_->real += re;
        element_->imag += im;
    }
    MatrixElement* Element() const { return element_; }
    explicit operator bool() const { return element_ != nullptr; }

private:
    MatrixElement* element_ = nullptr;
};

// A new matrix, or null with the error word set: 101 for a negative size, 15002 when memory
// runs out. Size 0 is accepted: the matrix grows as elements are asked for.
std::unique_ptr<SparseMatrix> MatrixCreate(int size, bool complex, int& error);
// The solver's creation entry: an empty complex matrix stored in the slot (null on failure);
// the error word.
int CreateSolverMatrix(std::unique_ptr<SparseMatrix>& slot);

// The element for the external row/column pair, made (value 0) when absent; the trash element
// when row or column is 0; null when memory ran out (error word 15002) or a number is
// negative (error word 101).
MatrixElement* MatrixGetElement(SparseMatrix* matrix, int row, int column);
// The element a load writes at the external row/column pair, or null when there is none (no
// element is made, and a fill-in that no caller was given counts as none).
MatrixElement* MatrixFindElement(SparseMatrix* matrix, int row, int column);
// The same as a reference for a device record: 0, or the error word.
int MatrixReserveElement(SparseMatrix* matrix, int row, int column, MatrixElementRef& ref);

// Zeroes the values for the next load; structure, order and pivots are kept.
void MatrixClear(SparseMatrix* matrix);
// Keeps the present real values of a real matrix, to be restored instead of a clear.
void MatrixKeepValues(SparseMatrix* matrix);
// Does what MatrixClear does, except that the kept values are put back instead of zeros; false
// (and nothing done) when no values are kept, the structure has grown since, or the matrix
// is or was complex.
bool MatrixRestoreKeptValues(SparseMatrix* matrix);
// Drops the kept values.
void MatrixForgetKeptValues(SparseMatrix* matrix);
// The caller vouches that no value changed since the last factorisation: when that one was a
// real refactorisation that succeeded (its factors were computed from the values the elements
// hold), the next MatrixFactor keeps its factors without comparing the values, and the answer
// is true. False (and nothing marked) otherwise.
bool MatrixReuseFactors(SparseMatrix* matrix);
// The error word; 15002 for a null matrix.
int MatrixGetError(const SparseMatrix* matrix);
void MatrixSetReal(SparseMatrix* matrix);
void MatrixSetComplex(SparseMatrix* matrix);
// Frees everything the matrix owns and empties the slot.
void MatrixDestroy(std::unique_ptr<SparseMatrix>& matrix);

// Magnitude used by every pivot decision: |re| + |im|.
inline double ElementMagnitude(const ElementNode* e)
{
    return (e->real < 0 ? -e->real : e->real) + (e->imag < 0 ? -e->imag : e->imag);
}

namespace sparse_internal {

// (re + j im) = (ar + j ai)(br + j bi)
inline void MultiplyComplex(double ar, double ai, double br, double bi, double& re, double& im)
{
    re = ar * br - ai * bi;
    im = ar * bi + ai * br;
}

// target -= (ar + j ai) * b, for (real, imaginary) pairs.
inline void SubtractComplexProduct(double* target, double ar, double ai, const double* b)
{
    target[0] -= ar * b[0] - ai * b[1];
    target[1] -= ar * b[1] + ai * b[0];
}

// Creates the element at internal (row, col), linked into its column at *above (the link
// that must point at it) and, when rows are linked, into its row. Null and 15002 when memory
// runs out.
ElementNode* CreateElement(SparseMatrix& m, int row, int col, ElementNode** above, bool fillin);
// Builds the row lists from the column lists and rewrites every column field.
void LinkRows(SparseMatrix& m);
// Makes the partition and intermediate vectors, which the refactorisation and the solve use;
// false (15002) when out of memory.
bool CreateWorkVectors(SparseMatrix& m);
// Makes the Markowitz, active-link, label and scatter vectors of an ordering (nothing when
// they exist); false (15002) when out of memory. An ordering frees them when it ends: a large
// circuit does not keep them through its whole run.
bool CreateOrderingVectors(SparseMatrix& m);
void FreeOrderingVectors(SparseMatrix& m);
// Gives back the room the frame and translation vectors grew ahead of use (they grow by half
// again each time); a later growth makes room again.
void TrimFrame(SparseMatrix& m);
// The value loads write into the element; null for a fill-in no caller was given.
MatrixElement* ValueOf(const SparseMatrix& m, const ElementNode* e);
// Gives every element the value loaded into it, and every fill-in no caller was given zero:
// an ordering factors these in place.
void CopyValuesIntoNodes(SparseMatrix& m);
// A fill-in at row and column labels of an ordering, linked into no list yet (the ordering
// links every element when it ends). Null and 15002 when memory runs out.
ElementNode* CreateUnlinkedFillin(SparseMatrix& m, int rowLabel, int colLabel);

}  // namespace sparse_internal

}  // namespace kq5
