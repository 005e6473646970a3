#include "analog/sparse_factor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "analog/sparse_ordering.h"

namespace kq5 {

using namespace sparse_internal;

namespace {

inline std::size_t Ix(int i)
{
    return static_cast<std::size_t>(i);
}

// 1 / (a + jb) without overflow of the intermediate squares.
inline void ComplexReciprocal(double a, double b, double& re, double& im)
{
    if ((a >= b && a > -b) || (a < b && a <= -b)) {
        const double r = b / a;
        re = 1.0 / (a + r * b);
        im = -r * re;
    } else {
        const double r = a / b;
        im = -1.0 / (b + r * a);
        re = -r * im;
    }
}

// Keeps multipliers and stored reciprocals of the real refactorisation within 1e-30 .. 1e30,
// so that a vanishing or exploding pivot cannot turn the solution into infinities.
inline double ClampPivotMagnitude(double value)
{
    const double magnitude = std::fabs(value);
    if (magnitude < 1e-30) return value > 0.0 ? 1e-30 : -1e-30;
    if (magnitude > 1e30) return value > 0.0 ? 1e30 : -1e30;
    return value;
}

// The pivot's reciprocal, stored in the pivot; false for a zero pivot.
bool InvertPivot(const SparseMatrix& m, ElementNode* pivot, double& pr, double& pi)
{
    const bool complex = m.complex;
    if (pivot->real == 0.0 && (!complex || pivot->imag == 0.0)) return false;
    pr = pi = 0.0;
    if (complex)
        ComplexReciprocal(pivot->real, pivot->imag, pr, pi);
    else
        pr = 1.0 / pivot->real;
    pivot->real = pr;
    if (complex) pivot->imag = pi;
    return true;
}

// u = u x (1 / pivot), returned as (ur, ui).
inline void ScaleByPivot(bool complex, ElementNode* u, double pr, double pi, double& ur, double& ui)
{
    ui = 0.0;
    if (complex)
        MultiplyComplex(u->real, u->imag, pr, pi, ur, ui);
    else
        ur = u->real * pr;
    u->real = ur;
    if (complex) u->imag = ui;
}

// sub -= u x l
inline void SubtractProduct(bool complex, ElementNode* sub, double ur, double ui, const ElementNode* l)
{
    if (complex) {
        sub->real -= ur * l->real - ui * l->imag;
        sub->imag -= ur * l->imag + ui * l->real;
    } else {
        sub->real -= ur * l->real;
    }
}

// Right-looking elimination of one step of a reused order: scale the pivot row, update the
// active submatrix through the sorted lists, create fill-ins where the update lands on no
// element. Real mode leaves the imaginary parts alone.
int EliminateInOrder(SparseMatrix& m, ElementNode* pivot)
{
    const bool complex = m.complex;
    double pr = 0.0, pi = 0.0;
    if (!InvertPivot(m, pivot, pr, pi)) return SetSingular(m, pivot->row);
    for (ElementNode* u = pivot->nextInRow; u; u = u->nextInRow) {
        double ur = 0.0, ui = 0.0;
        ScaleByPivot(complex, u, pr, pi, ur, ui);
        ElementNode** above = &u->nextInCol;
        for (const ElementNode* l = pivot->nextInCol; l; l = l->nextInCol) {
            const int row = l->row;
            while (*above && (*above)->row < row) above = &(*above)->nextInCol;
            ElementNode* sub = *above;
            if (!sub || sub->row != row) {
                sub = InsertFillin(m, row, u->col, above);
                if (!sub) return m.error = kMatrixNoMemory;
            }
            SubtractProduct(complex, sub, ur, ui, l);
            above = &sub->nextInCol;
        }
    }
    return 0;
}

// A new generation for a mark array of an ordering; the whole array is cleared when the
// count wraps.
std::uint32_t NextGeneration(std::uint32_t& generation, std::vector<std::uint32_t>& marks)
{
    if (++generation == 0) {
        std::fill(marks.begin(), marks.end(), 0u);
        generation = 1;
    }
    return generation;
}

// A column longer than this many times the pivot column (plus the minimum) takes its updates
// through the index by labels rather than by a walk of its whole array.
constexpr std::size_t kIndexedColumnRatio = 16;
constexpr std::size_t kIndexedColumnMinimum = 64;

// The update of u's column by the pivot column `lower`, its targets found by their labels:
// each row of the pivot column in turn takes its update where the column has it, or in a
// fill-in made there, in the order of the pivot column. The column's active elements are
// indexed when it is first met.
int UpdateIndexedColumn(SparseMatrix& m, const ElementNode* u, double ur, double ui,
                        const std::vector<ElementNode*>& lower, const ElementNode* pivot)
{
    const bool complex = m.complex;
    const int col = u->col;
    try {
        if (!m.columnIndexed[Ix(col)]) {
            std::vector<ElementNode*>& column = ActiveColumn(m, col);
            m.elementByLabels.reserve(m.elementByLabels.size() + column.size());
            for (ElementNode* e : column) m.elementByLabels.emplace(LabelKey(e->row, col), e);
            m.columnIndexed[Ix(col)] = 1;
        }
        for (const ElementNode* l : lower) {
            if (l == pivot) continue;
            const auto found = m.elementByLabels.find(LabelKey(l->row, col));
            ElementNode* sub = found != m.elementByLabels.end() ? found->second : InsertFillinByLabels(m, l->row, col);
            if (!sub) return m.error = kMatrixNoMemory;
            SubtractProduct(complex, sub, ur, ui, l);
        }
    } catch (const std::bad_alloc&) {
        return m.error = kMatrixNoMemory;
    }
    return 0;
}

// The same inside a new ordering, where elements keep their labels and each active line is
// an unsorted array. The pivot column is scattered once by row label; each column of the
// pivot row is then walked once (finished elements dropped on the way), every element in a
// scattered row taking its update where it lies. Only a column that did not meet every row
// of the pivot column needs fill-ins: it is marked, and the rows it lacks are made in the
// order of the pivot column. Each target receives the same single update as through the
// sorted lists, and the fill-ins are made in the same order.
int EliminateByLabels(SparseMatrix& m, ElementNode* pivot)
{
    const bool complex = m.complex;
    double pr = 0.0, pi = 0.0;
    if (!InvertPivot(m, pivot, pr, pi)) return SetSingular(m, m.rowPosition[Ix(pivot->row)]);
    // Fill-ins land in other rows and columns than the pivot's: these two arrays stay as
    // they are during the step.
    const std::vector<ElementNode*>& lower = ActiveColumn(m, pivot->col);
    const std::vector<ElementNode*>& upper = ActiveRow(m, pivot->row);
    ElementNode** scatter = m.rowScatter.data();
    std::uint32_t* mark = m.rowScatterMark.data();
    std::uint32_t* updated = m.rowUpdatedMark.data();
    const std::int32_t* position = m.rowPosition.data();
    const int step = m.activeStep;
    const std::uint32_t lowerGeneration = NextGeneration(m.scatterGeneration, m.rowScatterMark);
    std::size_t lowerCount = 0;
    for (ElementNode* l : lower) {
        if (l == pivot) continue;
        scatter[l->row] = l;
        mark[l->row] = lowerGeneration;
        ++lowerCount;
    }
    for (ElementNode* u : upper) {
        if (u == pivot) continue;
        // The column loses u from its active part and takes the updates.
        m.largestExcluding[Ix(u->col)] = nullptr;
        double ur = 0.0, ui = 0.0;
        ScaleByPivot(complex, u, pr, pi, ur, ui);
        if (lowerCount == 0) continue;
        std::vector<ElementNode*>& column = m.activeColElements[Ix(u->col)];
        if (column.size() > kIndexedColumnRatio * lowerCount + kIndexedColumnMinimum) {
            if (const int error = UpdateIndexedColumn(m, u, ur, ui, lower, pivot)) return error;
            continue;
        }
        std::size_t kept = 0, met = 0;
        for (ElementNode* e : column) {
            const std::int32_t row = e->row;
            if (position[row] < step) continue;
            column[kept++] = e;
            if (mark[row] == lowerGeneration) {
                SubtractProduct(complex, e, ur, ui, scatter[row]);
                ++met;
            }
        }
        column.resize(kept);
        if (met == lowerCount) continue;
        const std::uint32_t generation = NextGeneration(m.updatedGeneration, m.rowUpdatedMark);
        for (const ElementNode* e : column) updated[e->row] = generation;
        for (const ElementNode* l : lower) {
            if (l == pivot || updated[l->row] == generation) continue;
            ElementNode* sub = InsertFillinByLabels(m, l->row, u->col);
            if (!sub) return m.error = kMatrixNoMemory;
            SubtractProduct(complex, sub, ur, ui, l);
        }
    }
    return 0;
}

int Eliminate(SparseMatrix& m, ElementNode* pivot)
{
    return m.orderingByLabels ? EliminateByLabels(m, pivot) : EliminateInOrder(m, pivot);
}

void FinishFactor(SparseMatrix& m)
{
    m.error = 0;
    m.factored = true;
    m.plan.complexFactors = m.complex;
}

int BuildFactorPlan(SparseMatrix& m);

// The solve walks U by rows; its factors are copied into that order once per factorisation.
void CopyUpperValues(FactorPlan& plan, bool complex)
{
    const std::size_t upper = plan.upperEntry.size();
    const std::int32_t* entry = plan.upperEntry.data();
    if (complex) {
        plan.upperComplexValue.resize(2 * upper);
        for (std::size_t q = 0; q < upper; ++q) {
            plan.upperComplexValue[2 * q] = plan.complexValue[2 * Ix(entry[q])];
            plan.upperComplexValue[2 * q + 1] = plan.complexValue[2 * Ix(entry[q]) + 1];
        }
    } else {
        for (std::size_t q = 0; q < upper; ++q) plan.upperValue[q] = plan.value[Ix(entry[q])];
    }
}

// True when a real refactorisation would find nothing to clamp: in every direct column each
// multiplier, and the reciprocal of each pivot it uses, already lies within the bounds (a zero
// multiplier does not).
bool FactorsWithinClampBounds(const SparseMatrix& m)
{
    const FactorPlan& plan = m.plan;
    const double* v = plan.value.data();
    for (int j = 1; j <= plan.size; ++j) {
        if (!m.realDirect[Ix(j)]) continue;
        for (std::int32_t q = plan.colStart[Ix(j)]; q < plan.diagPos[Ix(j)]; ++q) {
            const double reciprocal = v[plan.diagPos[Ix(plan.rowIndex[Ix(q)])]];
            if (ClampPivotMagnitude(v[q]) != v[q] || ClampPivotMagnitude(reciprocal) != reciprocal) return false;
        }
    }
    return true;
}

// startValuesKept: the plan holds the values the elements had before they were factored in
// place. The ordering computed each factor by the same operations in the same sequence as a
// real refactorisation of those values would; unless that one would clamp (known once the
// columns are partitioned), a load of the same values again keeps these factors.
int FinishOrdering(SparseMatrix& m, bool startValuesKept)
{
    if (const int error = BuildFactorPlan(m)) return error;
    try {
        CopyUpperValues(m.plan, m.complex);
    } catch (const std::bad_alloc&) {
        m.plan.valid = false;
        return m.error = kMatrixNoMemory;
    }
    FinishFactor(m);
    m.plan.loadedValid = startValuesKept && !m.complex;
    m.plan.clampCheckPending = m.plan.loadedValid;
    return 0;
}

// The compact column form of the ordered structure, with the factors the ordering left in the
// elements. Entries of a column are in row order, so the U part of column j precedes its
// diagonal and the L part follows it. Once the rows and factors are copied the fill-ins'
// elements are given back (the plan holds them) before the rest of the plan is made: a circuit
// whose factors are mostly fill-in never holds both.
int BuildFactorPlan(SparseMatrix& m)
{
    FactorPlan& plan = m.plan;
    plan.valid = false;
    plan.loadedValid = false;
    const int n = m.size;
    const bool complex = m.complex;
    std::size_t entries = 0;
    try {
        // Every element made is linked into its column: the arenas give the count, and the
        // columns are walked once.
        const std::size_t made = m.arena.Count() + m.fillinArena.Count();
        plan.colStart.assign(Ix(n) + 2, 0);
        plan.diagPos.assign(Ix(n) + 1, 0);
        plan.rowIndex.clear();
        plan.rowIndex.reserve(made);
        plan.element.clear();
        plan.value.clear();
        plan.value.reserve(made);
        if (complex) {
            plan.complexValue.clear();
            plan.complexValue.reserve(2 * made);
        }
        plan.upperStart.assign(Ix(n) + 2, 0);
        plan.updateTarget.clear();
        plan.updateStep.clear();
        plan.updateTargetsDecided = false;

        std::int32_t q = 0;
        for (int j = 1; j <= n; ++j) {
            plan.colStart[Ix(j)] = q;
            for (ElementNode* e = m.firstInCol[Ix(j)]; e; e = e->nextInCol, ++q) {
                plan.rowIndex.push_back(e->row);
                if (complex) {
                    plan.complexValue.push_back(e->real);
                    plan.complexValue.push_back(e->imag);
                } else {
                    plan.value.push_back(e->real);
                }
                if (e->row == j) plan.diagPos[Ix(j)] = q;
                if (e->row < j) ++plan.upperStart[Ix(e->row) + 1];
            }
        }
        plan.colStart[Ix(n) + 1] = q;
        entries = Ix(q);
        if (complex) plan.value.resize(entries);
    } catch (const std::bad_alloc&) {
        plan = FactorPlan();
        return m.error = kMatrixNoMemory;
    }
    plan.size = n;
    DropFillinElements(m);

    try {
        // What each entry is loaded from, walking the columns again: the elements left in them
        // are the callers', and the fill-ins no caller was given read as zero.
        plan.element.resize(entries);
        for (int j = 1; j <= n; ++j) {
            const ElementNode* e = m.firstInCol[Ix(j)];
            for (std::int32_t q = plan.colStart[Ix(j)]; q < plan.colStart[Ix(j) + 1]; ++q) {
                MatrixElement* value = &m.fillinZero;
                if (e && e->row == plan.rowIndex[Ix(q)]) {
                    if (MatrixElement* loaded = ValueOf(m, e)) value = loaded;
                    e = e->nextInCol;
                }
                plan.element[Ix(q)] = value;
            }
        }
        plan.pivotUpdate.assign(entries, -1);
        for (int j = 1; j <= n; ++j) {
            for (std::int32_t e = plan.colStart[Ix(j)]; e < plan.diagPos[Ix(j)]; ++e) {
                // Column k's L part is in ascending row order: row j is found by bisection.
                const std::int32_t k = plan.rowIndex[Ix(e)];
                plan.pivotUpdate[Ix(e)] = FindPlanRow(plan, plan.diagPos[Ix(k)] + 1, plan.colStart[Ix(k) + 1], j);
            }
        }

        // U by rows for the back substitution, each row in ascending column order.
        for (int i = 1; i <= n; ++i) plan.upperStart[Ix(i) + 1] += plan.upperStart[Ix(i)];
        const std::size_t upper = Ix(plan.upperStart[Ix(n) + 1]);
        plan.upperCol.resize(upper);
        plan.upperEntry.resize(upper);
        plan.upperSlot.assign(entries, -1);
        plan.upperValue.resize(upper);
        std::vector<std::int32_t> next(plan.upperStart.begin(), plan.upperStart.end() - 1);
        for (int j = 1; j <= n; ++j) {
            for (std::int32_t e = plan.colStart[Ix(j)]; e < plan.diagPos[Ix(j)]; ++e) {
                const std::size_t slot = Ix(next[Ix(plan.rowIndex[Ix(e)])]++);
                plan.upperCol[slot] = j;
                plan.upperEntry[slot] = e;
                plan.upperSlot[Ix(e)] = static_cast<std::int32_t>(slot);
            }
        }
    } catch (const std::bad_alloc&) {
        plan = FactorPlan();
        // Without the plan the fill-ins given back are gone: the next factorisation makes
        // again those its order needs.
        ReleaseFillins(m);
        return m.error = kMatrixNoMemory;
    }
    plan.valid = true;
    return 0;
}

bool SameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Keeps the values a successful refactorisation was computed from.
void KeepLoadedValues(SparseMatrix& m)
{
    FactorPlan& plan = m.plan;
    const bool complex = m.complex;
    try {
        plan.loaded.resize((complex ? 2 : 1) * (m.arena.Count() + m.handedOutFillins.size()));
    } catch (const std::bad_alloc&) {
        return;  // no reuse then
    }
    double* out = plan.loaded.data();
    AllLoadableValues(m, [&out, complex](const MatrixElement& e) {
        *out++ = e.real;
        if (complex) *out++ = e.imag;
        return true;
    });
    plan.loadedValid = true;
    plan.loadedByEntry = false;
}

// True when the matrix holds, to the bit, the values the present factors were computed from
// in the present mode: refactoring would compute the same factors again.
bool LoadsUnchanged(SparseMatrix& m)
{
    const FactorPlan& plan = m.plan;
    if (!plan.loadedValid || plan.complexFactors != m.complex) return false;
    if (plan.loadedByEntry) {
        if (m.complex || plan.loaded.size() != plan.element.size()) return false;
        const double* in = plan.loaded.data();
        MatrixElement* const* element = plan.element.data();
        for (std::size_t q = 0, entries = plan.element.size(); q < entries; ++q)
            if (!SameBits(element[q]->real, in[q])) return false;
        return true;
    }
    if (plan.loaded.size() != (m.complex ? 2 : 1) * (m.arena.Count() + m.handedOutFillins.size())) return false;
    const double* in = plan.loaded.data();
    if (m.complex)
        return AllLoadableValues(m, [&in](const MatrixElement& e) {
            const bool same = SameBits(e.real, in[0]) && SameBits(e.imag, in[1]);
            in += 2;
            return same;
        });
    return AllLoadableValues(m, [&in](const MatrixElement& e) { return SameBits(e.real, *in++); });
}

// Above this many updates the target list outgrows a core's cache and costs more to read
// than the intermediate vector's scatter and gather.
constexpr std::size_t kMaxUpdateTargets = std::size_t{1} << 18;

// Makes the target list and step records of the real refactorisation (see updateTarget), or
// leaves them empty. The ordering made a fill-in wherever an update lands; should an update find
// no entry, there is no list and the refactorisation goes through the intermediate vector.
void MakeUpdateTargets(FactorPlan& plan)
{
    plan.updateTargetsDecided = true;
    plan.updateTarget.clear();
    plan.updateStep.clear();
    const int n = plan.size;
    const std::int32_t* colStart = plan.colStart.data();
    const std::int32_t* diagPos = plan.diagPos.data();
    const std::int32_t* rowIndex = plan.rowIndex.data();
    std::size_t updates = 0;
    for (int j = 1; j <= n; ++j)
        for (std::int32_t q = colStart[j]; q < diagPos[j]; ++q) {
            const std::int32_t k = rowIndex[q];
            updates += Ix(colStart[k + 1] - diagPos[k] - 1);
        }
    if (updates > kMaxUpdateTargets) return;
    std::vector<std::int32_t> entryOfRow;
    try {
        plan.updateTarget.resize(updates);
        plan.updateStep.resize(plan.upperCol.size());
        entryOfRow.assign(Ix(n) + 1, -1);
    } catch (const std::bad_alloc&) {
        plan.updateTarget.clear();
        plan.updateStep.clear();
        return;
    }
    std::int32_t* target = plan.updateTarget.data();
    FactorPlan::UpdateStep* step = plan.updateStep.data();
    for (int j = 1; j <= n; ++j) {
        const std::int32_t begin = colStart[j], diagonal = diagPos[j];
        for (std::int32_t q = begin; q < colStart[j + 1]; ++q) entryOfRow[Ix(rowIndex[q])] = q;
        for (std::int32_t q = begin; q < diagonal; ++q) {
            const std::int32_t k = rowIndex[q];
            *step++ = {diagPos[k], colStart[k + 1] - diagPos[k] - 1, plan.upperSlot[Ix(q)]};
            for (std::int32_t r = diagPos[k] + 1; r < colStart[k + 1]; ++r) {
                const std::int32_t entry = entryOfRow[Ix(rowIndex[r])];
                if (entry < begin) {
                    plan.updateTarget.clear();
                    plan.updateStep.clear();
                    return;
                }
                *target++ = entry;
            }
        }
    }
}

// Where a real refactorisation keeps the values it reads (see loadedByEntry): null when there
// is no room for them, and no reuse then.
double* RoomForLoadedValues(FactorPlan& plan)
{
    try {
        plan.loaded.resize(plan.element.size());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return plan.loaded.data();
}

// Keeps multiplier and reciprocal of a direct column within the bounds; a reciprocal that
// changes is written back to its pivot's entry. False when neither changes.
inline bool ClampStep(double& multiplier, double& reciprocal, double* v, std::int32_t reciprocalEntry)
{
    const double m = std::fabs(multiplier), r = std::fabs(reciprocal);
    if (!(m < 1e-30 || m > 1e30 || r < 1e-30 || r > 1e30)) return false;
    multiplier = ClampPivotMagnitude(multiplier);
    reciprocal = ClampPivotMagnitude(reciprocal);
    v[reciprocalEntry] = reciprocal;
    return true;
}

// Left-looking refactorisation in the existing order, column by column: the column's loaded
// values are copied into the plan and updated there by every earlier column that its U part
// refers to, each update landing on the entry the target list names (the pivot included); each
// multiplier reads its step record. The elements are only read. Columns chosen as direct
// by the partition also clamp their multipliers and the reciprocals they use. Each multiplier,
// a U factor, goes to the solve's row order as it is made.
int RefactorRealByTarget(SparseMatrix& m)
{
    FactorPlan& plan = m.plan;
    const int n = plan.size;
    const std::int32_t* colStart = plan.colStart.data();
    const std::int32_t* diagPos = plan.diagPos.data();
    const std::uint8_t* direct = m.realDirect.data();
    const FactorPlan::UpdateStep* step = plan.updateStep.data();
    const std::int32_t* target = plan.updateTarget.data();
    double* v = plan.value.data();
    double* u = plan.upperValue.data();
    MatrixElement* const* element = plan.element.data();
    plan.loadedValid = false;
    double* const kept = RoomForLoadedValues(plan);
    // Without room for them the values read are written to their entries twice.
    double* const keep = kept ? kept : v;

    // The previous column's reciprocal stays in a register: in chain-like circuits (ladders)
    // each column waits for the one before, and a round trip through memory would lengthen that
    // chain.
    double lastReciprocal = 0.0;
    std::int32_t lastDiagonal = -1;
    for (int j = 1; j <= n; ++j) {
        const std::int32_t diagonal = diagPos[j];
        // Column by column: the loads of a column overlap the work on the one before.
        for (std::int32_t q = colStart[j]; q < colStart[j + 1]; ++q) v[q] = keep[q] = element[q]->real;
        const bool clamp = direct[j] != 0;
        for (std::int32_t q = colStart[j]; q < diagonal; ++q, ++step) {
            const std::int32_t kDiagonal = step->reciprocal;
            double reciprocal = kDiagonal == lastDiagonal ? lastReciprocal : v[kDiagonal];
            double multiplier = v[q] * reciprocal;
            if (clamp && ClampStep(multiplier, reciprocal, v, kDiagonal) && kDiagonal == lastDiagonal)
                lastReciprocal = reciprocal;
            v[q] = multiplier;
            u[step->upperSlot] = multiplier;
            const std::int32_t updates = step->updates;
            const double* source = v + kDiagonal + 1;
            for (std::int32_t r = 0; r < updates; ++r) v[target[r]] -= multiplier * source[r];
            target += updates;
        }
        const double pivot = v[diagonal];
        if (pivot == 0.0) return SetSingular(m, j);
        lastReciprocal = 1.0 / pivot;
        lastDiagonal = diagonal;
        v[diagonal] = lastReciprocal;
    }
    FinishFactor(m);
    plan.loadedValid = kept != nullptr;
    plan.loadedByEntry = true;
    return 0;
}

// The same through the intermediate vector, for matrices whose target list would not fit a
// core's cache: each column's loaded values are scattered into it by row, updated there and
// gathered back into the plan. The pivot is kept in a register and updated in the same order
// as its entry would be, so the result is the same to the last bit.
int RefactorRealScattered(SparseMatrix& m)
{
    FactorPlan& plan = m.plan;
    const int n = plan.size;
    const std::int32_t* colStart = plan.colStart.data();
    const std::int32_t* diagPos = plan.diagPos.data();
    const std::int32_t* rowIndex = plan.rowIndex.data();
    MatrixElement* const* element = plan.element.data();
    const std::uint8_t* direct = m.realDirect.data();
    double* v = plan.value.data();
    double* x = m.intermediate.data();
    double* u = plan.upperValue.data();
    const std::int32_t* upperSlot = plan.upperSlot.data();
    const std::int32_t* pivotUpdate = plan.pivotUpdate.data();
    plan.loadedValid = false;
    double* kept = RoomForLoadedValues(plan);

    double lastReciprocal = 0.0;
    for (int j = 1; j <= n; ++j) {
        const std::int32_t begin = colStart[j], diagonal = diagPos[j], end = colStart[j + 1];
        if (kept) {
            for (std::int32_t q = begin; q < end; ++q) x[rowIndex[q]] = kept[q] = element[q]->real;
        } else {
            for (std::int32_t q = begin; q < end; ++q) x[rowIndex[q]] = element[q]->real;
        }
        double pivot = element[diagonal]->real;
        const bool clamp = direct[j] != 0;
        for (std::int32_t q = begin; q < diagonal; ++q) {
            const std::int32_t k = rowIndex[q];
            const std::int32_t kDiagonal = diagPos[k];
            double reciprocal = k == j - 1 ? lastReciprocal : v[kDiagonal];
            double multiplier = x[k] * reciprocal;
            if (clamp && ClampStep(multiplier, reciprocal, v, kDiagonal) && k == j - 1) lastReciprocal = reciprocal;
            v[q] = multiplier;
            u[upperSlot[q]] = multiplier;
            if (pivotUpdate[q] >= 0) pivot -= multiplier * v[pivotUpdate[q]];
            for (std::int32_t r = kDiagonal + 1, rEnd = colStart[k + 1]; r < rEnd; ++r)
                x[rowIndex[r]] -= multiplier * v[r];
        }
        if (pivot == 0.0) return SetSingular(m, j);
        lastReciprocal = 1.0 / pivot;
        v[diagonal] = lastReciprocal;
        for (std::int32_t q = diagonal + 1; q < end; ++q) v[q] = x[rowIndex[q]];
    }
    FinishFactor(m);
    plan.loadedValid = kept != nullptr;
    plan.loadedByEntry = true;
    return 0;
}

int RefactorReal(SparseMatrix& m)
{
    if (!m.plan.updateTargetsDecided) MakeUpdateTargets(m.plan);
    return m.plan.updateTarget.empty() ? RefactorRealScattered(m) : RefactorRealByTarget(m);
}

int RefactorComplex(SparseMatrix& m)
{
    FactorPlan& plan = m.plan;
    const int n = plan.size;
    if (plan.complexValue.size() != 2 * plan.value.size()) {
        try {
            plan.complexValue.resize(2 * plan.value.size());
        } catch (const std::bad_alloc&) {
            return m.error = kMatrixNoMemory;
        }
    }
    const std::int32_t* colStart = plan.colStart.data();
    const std::int32_t* diagPos = plan.diagPos.data();
    const std::int32_t* rowIndex = plan.rowIndex.data();
    MatrixElement* const* element = plan.element.data();
    double* v = plan.complexValue.data();
    double* x = m.intermediate.data();
    plan.loadedValid = false;

    for (int j = 1; j <= n; ++j) {
        const std::int32_t begin = colStart[j], diagonal = diagPos[j], end = colStart[j + 1];
        for (std::int32_t q = begin; q < end; ++q) {
            x[2 * rowIndex[q]] = element[q]->real;
            x[2 * rowIndex[q] + 1] = element[q]->imag;
        }
        for (std::int32_t q = begin; q < diagonal; ++q) {
            const std::int32_t k = rowIndex[q];
            const std::int32_t kDiagonal = diagPos[k];
            double mr, mi;
            MultiplyComplex(x[2 * k], x[2 * k + 1], v[2 * kDiagonal], v[2 * kDiagonal + 1], mr, mi);
            v[2 * q] = mr;
            v[2 * q + 1] = mi;
            for (std::int32_t r = kDiagonal + 1, rEnd = colStart[k + 1]; r < rEnd; ++r)
                SubtractComplexProduct(x + 2 * rowIndex[r], mr, mi, v + 2 * r);
        }
        const double pr = x[2 * j], pi = x[2 * j + 1];
        if (pr == 0.0 && pi == 0.0) return SetSingular(m, j);
        ComplexReciprocal(pr, pi, v[2 * diagonal], v[2 * diagonal + 1]);
        for (std::int32_t q = diagonal + 1; q < end; ++q) {
            v[2 * q] = x[2 * rowIndex[q]];
            v[2 * q + 1] = x[2 * rowIndex[q] + 1];
        }
    }
    try {
        CopyUpperValues(plan, true);
    } catch (const std::bad_alloc&) {
        return m.error = kMatrixNoMemory;
    }
    FinishFactor(m);
    KeepLoadedValues(m);
    return 0;
}

// True when the last ordering kept the values it started from (see MatrixOrderAndFactor).
bool StartedOnLoadsAlone(const SparseMatrix& m)
{
    return !m.complex && m.plan.loaded.size() == m.arena.Count() + m.handedOutFillins.size();
}

// A fresh order from the loaded values: the fill-ins of the order it replaces go first, so
// that the new one is chosen on the structure the loads make and keeps only what it needs.
int OrderAfresh(SparseMatrix& m, double relThreshold)
{
    ReleaseFillins(m);
    m.needsOrdering = true;
    m.singularRow = m.singularCol = 0;
    return MatrixOrderAndFactor(&m, {}, relThreshold, -1.0, true);
}

// A fresh order that came out singular, made again from the loaded values with stricter
// thresholds. Threshold pivoting lets each step's pivot be small against its row: over the
// many steps of a circuit of identical stages the growth can wipe out the last pivots
// entirely, so a matrix far from singular comes out singular. A stricter threshold bounds that
// growth for this order only: later reorders start again from the matrix's own threshold, so
// that one singular load does not leave every later order dearer. Only a matrix singular under
// every threshold is called singular.
int OrderWithStricterThresholds(SparseMatrix& m)
{
    const double ownThreshold = m.relThreshold;
    int rc = kMatrixSingular;
    for (double stricter : {0.1, 1.0}) {
        if (rc != kMatrixSingular || ownThreshold >= stricter) continue;
        rc = OrderAfresh(m, stricter);
    }
    m.relThreshold = ownThreshold;
    // The next load is ordered afresh: what the failed orders made is of no use to it.
    if (rc == kMatrixSingular) ReleaseFillins(m);
    return rc;
}

}  // namespace

int MatrixOrderAndFactor(SparseMatrix* matrix, std::span<const double> rhs, double relThreshold,
                         double absThreshold, bool diagonalPivoting)
{
    if (!matrix) return kMatrixNoMemory;
    SparseMatrix& m = *matrix;
    m.error = 0;
    if (relThreshold > 0.0 && relThreshold <= 1.0) m.relThreshold = relThreshold;
    if (absThreshold >= 0.0) m.absThreshold = absThreshold;
    if (!RestoreFillinElements(m)) return m.error;
    if (!m.rowsLinked) LinkRows(m);
    TrimFrame(m);
    if (!m.workVectorsAllocated && !CreateWorkVectors(m)) return m.error;
    if (!CreateOrderingVectors(m)) return m.error;

    m.plan.valid = false;
    // The first ordering of a real matrix (no fill-ins yet, which a refactorisation would read
    // as zeros) keeps the values it starts from: the next Newton iteration of a linear circuit
    // loads them again.
    bool startValuesKept = false;
    if (!m.complex && m.fillinArena.Count() == 0) {
        KeepLoadedValues(m);
        startValuesKept = m.plan.loadedValid;
    }
    // The elements, fill-ins included, are factored in place from here on; their values keep
    // what was loaded.
    CopyValuesIntoNodes(m);
    m.plan.loadedValid = false;
    m.loadUnchanged = false;
    ++m.loadCount;
    // The active links are only meaningful inside this ordering.
    struct OrderingGuard {
        SparseMatrix& m;
        ~OrderingGuard()
        {
            EndOrdering(m);
            FreeOrderingVectors(m);
        }
    } guard{m};
    InitActiveLinks(m, 1);

    int step = 1;
    if (!m.needsOrdering) {
        // Keep the old order while every reused pivot stays large against its column.
        for (; step <= m.size; ++step) {
            ElementNode* pivot = m.diag[Ix(step)];
            if (!pivot) break;
            const double largest = LargestInColumnExcluding(m, pivot, step);
            if (!(largest * m.relThreshold < ElementMagnitude(pivot))) break;
            if (const int error = Eliminate(m, pivot)) return error;
            AdvanceActiveLinks(m, step);
        }
        if (step > m.size) {
            EndOrdering(m);
            FreeOrderingVectors(m);
            return FinishOrdering(m, startValuesKept);
        }
    }

    CountMarkowitz(m, rhs, step);
    for (; step <= m.size; ++step) {
        ElementNode* pivot = ChoosePivot(m, step, diagonalPivoting);
        if (!pivot) return SetSingular(m, step);
        MovePivotToStep(m, pivot, step);
        Eliminate(m, pivot);
        if (m.error > kMatrixFatalLimit) return m.error;
        UpdateMarkowitzCounts(m, pivot);
        AdvanceActiveLinks(m, step);
    }
    m.needsOrdering = false;
    m.reordered = true;
    // The partition belongs to an order; a new order needs a new one.
    m.partitioned = false;
    // The ordering's vectors go before the plan is made: a large circuit never holds both.
    EndOrdering(m);
    FreeOrderingVectors(m);
    return FinishOrdering(m, startValuesKept);
}

int MatrixFactor(SparseMatrix* matrix)
{
    if (!matrix) return kMatrixNoMemory;
    SparseMatrix& m = *matrix;
    if (m.needsOrdering) {
        m.orderForOtherValues = false;
        const int first = MatrixOrderAndFactor(matrix, {}, 0.0, 0.0, true);
        // Stricter thresholds are tried where the ordering started on the loads alone, with no
        // fill-ins of an earlier order among them: a real matrix's first ordering.
        if (first != kMatrixSingular || !StartedOnLoadsAlone(m)) return first;
        m.plan.loadedValid = false;
        return OrderWithStricterThresholds(m);
    }
    // Without a plan (memory ran out while making it) the old order is tried in place.
    if (!m.workVectorsAllocated || !m.plan.valid) return MatrixOrderAndFactor(matrix, {}, 0.0, -1.0, true);
    if (!m.partitioned) PartitionColumns(matrix, kPartitionAuto);
    if (m.plan.clampCheckPending) {
        m.plan.clampCheckPending = false;
        if (m.plan.loadedValid && !FactorsWithinClampBounds(m)) m.plan.loadedValid = false;
    }
    const bool vouched = m.loadUnchanged && !m.complex;
    m.loadUnchanged = false;
    const bool checkPivots = m.orderForOtherValues;
    m.orderForOtherValues = false;
    if (!checkPivots && vouched && m.plan.loadedValid && !m.plan.complexFactors) {
        FinishFactor(m);
        return 0;
    }
    if (!checkPivots && LoadsUnchanged(m)) {
        FinishFactor(m);
        return 0;
    }
    const int error = m.complex ? RefactorComplex(m) : RefactorReal(m);
    const bool pivotTooSmall = error == 0 && checkPivots && !FactorPivotsPassThreshold(m);
    if (error != kMatrixSingular && !pivotTooSmall) return error;
    // A zero pivot in the reused order does not make the matrix singular, and an order chosen
    // for other values is not kept past a pivot too small for these. The elements still hold
    // the loaded values: reorder from the first pivot that is now too small. The pivots kept before it
    // can leave no usable pivot for the rest, so the whole matrix is ordered afresh from the
    // same values before it is called singular.
    // The fill-ins go first: the steps kept make again those they need, and the rest belonged to
    // the pivots being replaced. Kept, they would count in the new pivots' Markowitz products
    // and be eliminated as if they held values, so every partial reorder would add its fill-ins
    // to all of those before it.
    m.singularRow = m.singularCol = 0;
    ReleaseFillins(m);
    const int partial = MatrixOrderAndFactor(matrix, {}, 0.0, -1.0, true);
    if (partial != kMatrixSingular) return partial;
    const int afresh = OrderAfresh(m, 0.0);
    if (afresh != kMatrixSingular) return afresh;
    return OrderWithStricterThresholds(m);
}

int MatrixFactorReal(SparseMatrix* matrix)
{
    MatrixSetReal(matrix);
    return MatrixFactor(matrix);
}

int MatrixFactorComplex(SparseMatrix* matrix)
{
    MatrixSetComplex(matrix);
    return MatrixFactor(matrix);
}

void PartitionColumns(SparseMatrix* matrix, int mode)
{
    if (!matrix || matrix->partitioned) return;
    SparseMatrix& m = *matrix;
    if (!m.workVectorsAllocated && !CreateWorkVectors(m)) return;
    m.partitioned = true;
    if (mode == kPartitionDirect || mode == kPartitionIndirect) {
        const std::uint8_t flag = mode == kPartitionDirect ? 1 : 0;
        for (int step = 1; step <= m.size; ++step) m.realDirect[Ix(step)] = m.complexDirect[Ix(step)] = flag;
        return;
    }
    // The elements below each diagonal, counted once: a multiplier costs one operation per
    // element below its row's diagonal.
    std::vector<std::int32_t> belowCounts;
    try {
        belowCounts.resize(Ix(m.size) + 1);
    } catch (const std::bad_alloc&) {
        // Without room to count, every column takes the pointer table.
        std::fill(m.realDirect.begin(), m.realDirect.end(), 0);
        std::fill(m.complexDirect.begin(), m.complexDirect.end(), 0);
        return;
    }
    std::int32_t* below = belowCounts.data();
    // Weigh the scatter and gather of a direct column (every element twice) against the
    // pointer table of an indirect one (dearer in the inner loop).
    auto choose = [&m](int step, std::int64_t elements, std::int64_t multipliers, std::int64_t operations) {
        m.realDirect[Ix(step)] = multipliers + operations > 3 * elements - 2 * multipliers;
        m.complexDirect[Ix(step)] = multipliers + operations > 7 * elements - 4 * multipliers;
    };
    const FactorPlan& plan = m.plan;
    if (plan.valid && plan.size == m.size && !m.needsOrdering) {
        // The plan holds the same structure in arrays, each column in ascending row order.
        const std::int32_t* colStart = plan.colStart.data();
        const std::int32_t* rowIndex = plan.rowIndex.data();
        // Every column of a plan has its pivot.
        for (int k = 1; k <= m.size; ++k) below[k] = colStart[k + 1] - plan.diagPos[Ix(k)] - 1;
        for (int step = 1; step <= m.size; ++step) {
            std::int64_t multipliers = 0, operations = 0;
            for (std::int32_t q = colStart[step]; q < colStart[step + 1] && rowIndex[q] < step; ++q) {
                ++multipliers;
                operations += below[rowIndex[q]];
            }
            choose(step, colStart[step + 1] - colStart[step], multipliers, operations);
        }
        return;
    }
    if (!RestoreFillinElements(m)) {
        std::fill(m.realDirect.begin(), m.realDirect.end(), 0);
        std::fill(m.complexDirect.begin(), m.complexDirect.end(), 0);
        return;
    }
    for (int k = 1; k <= m.size; ++k) {
        std::int32_t count = 0;
        if (const ElementNode* pivot = m.diag[Ix(k)])
            for (const ElementNode* e = pivot->nextInCol; e; e = e->nextInCol) ++count;
        below[k] = count;
    }
    for (int step = 1; step <= m.size; ++step) {
        std::int64_t elements = 0, multipliers = 0, operations = 0;
        for (const ElementNode* e = m.firstInCol[Ix(step)]; e; e = e->nextInCol) {
            ++elements;
            if (e->row >= step || !m.diag[Ix(e->row)]) continue;
            ++multipliers;
            operations += below[e->row];
        }
        choose(step, elements, multipliers, operations);
    }
}

}  // namespace kq5
