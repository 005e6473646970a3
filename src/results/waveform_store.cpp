#include "results/waveform_store.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <set>

#include "core/analysis_state.h"
#include "core/expr_symbols.h"
#include "results/run_state.h"
#include "core/error_context.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "ui/temp_file_path.h"
#include "platform/system.h"

namespace kq5 {

WaveformStoreHooks& StoreHooks()
{
    static WaveformStoreHooks hooks;
    return hooks;
}

struct WaveformStoreFile {
    FileStream stream;
    std::string path;
};

namespace {

constexpr std::size_t kSlotBytes = sizeof(double) * kWaveformPagePoints;
constexpr int kPageTableGrowth = 100;
// A page gets memory of its own only while the system has this much to spare.
constexpr std::size_t kMinFreePhysical = 0x80000;
constexpr std::size_t kMinFreeCommit = 0x100000;

std::function<bool()>& MemoryProbe()
{
    static std::function<bool()> probe;
    return probe;
}

// Paths of the temporary files of the stores that are open, so that two stores never share one.
std::set<std::string>& FilesInUse()
{
    static std::set<std::string> paths;
    return paths;
}

std::string UniqueStorePath(const std::string& base)
{
    std::string path = MakeTempFilePath(base);
    const std::size_t dot = path.rfind('.');
    for (int n = 2; FilesInUse().count(path); ++n) {
        std::string numbered = dot == std::string::npos ? path + std::to_string(n)
                                                        : path.substr(0, dot) + std::to_string(n) + path.substr(dot);
        if (!FilesInUse().count(numbered)) path = numbered;
    }
    return path;
}

// The columns of a page: every slot, or only those kept in pages.
std::int32_t PagedSlots(const WaveformStore& store)
{
    return store.slotValues.empty() ? store.slotCount : store.pagedSlotCount;
}

std::size_t PageDoubles(const WaveformStore& store) { return static_cast<std::size_t>(PagedSlots(store)) * kWaveformPagePoints; }

long long BlockOffset(const WaveformStore& store, std::int32_t block)
{
    return static_cast<long long>(block) * PagedSlots(store) * static_cast<long long>(kSlotBytes);
}

// The stretch of a change list that holds the point (the list is not empty and starts at 0).
std::size_t ChangeStretch(WaveformSlotValues& list, std::int32_t point)
{
    const std::size_t n = list.starts.size();
    std::size_t k = list.cursor;
    auto holds = [&](std::size_t i) { return list.starts[i] <= point && (i + 1 == n || list.starts[i + 1] > point); };
    if (k < n && holds(k)) return k;
    // Reading goes forward point by point, so the next stretch is the usual answer.
    if (k + 1 < n && holds(k + 1)) return list.cursor = k + 1;
    const auto at = std::upper_bound(list.starts.begin(), list.starts.end(), point);
    return list.cursor = static_cast<std::size_t>(at - list.starts.begin()) - 1;
}

// The value of a change list's stretch k.
double StretchValue(const WaveformSlotValues& list, std::size_t k)
{
    return list.values.empty() ? list.palette[list.codes[k]] : list.values[k];
}

// The values of a change list one per stretch again, as a list with more values than a palette
// holds keeps them.
void WidenChanges(WaveformSlotValues& list)
{
    if (list.codes.empty()) return;
    list.values.reserve(list.codes.size());
    for (std::uint8_t code : list.codes) list.values.push_back(list.palette[code]);
    std::vector<std::uint8_t>().swap(list.codes);
    std::vector<double>().swap(list.palette);
}

// Appends a stretch that starts at the point.
void AppendStretch(WaveformSlotValues& list, std::int32_t point, double value)
{
    if (list.values.empty()) {
        // Bitwise, so that -0.0 and 0.0 (and each NaN) keep their own entries.
        const auto same = [&](double v) { return std::memcmp(&v, &value, sizeof v) == 0; };
        const auto code = static_cast<std::size_t>(
            std::find_if(list.palette.begin(), list.palette.end(), same) - list.palette.begin());
        if (code < 256) {
            if (code == list.palette.size()) list.palette.push_back(value);
            list.codes.push_back(static_cast<std::uint8_t>(code));
            list.starts.push_back(point);
            return;
        }
        WidenChanges(list);
    }
    list.values.push_back(value);
    list.starts.push_back(point);
}

double ReadChanges(WaveformSlotValues& list, std::int32_t point)
{
    if (point >= list.count || list.starts.empty()) return 0.0;
    return StretchValue(list, ChangeStretch(list, point));
}

void WriteChanges(WaveformSlotValues& list, std::int32_t point, double value)
{
    if (point >= list.count) {
        // Points never written read 0.0, as unwritten cells of a page do.
        if (point > list.count && (list.starts.empty() || list.lastValue != 0.0)) {
            AppendStretch(list, list.count, 0.0);
            list.lastValue = 0.0;
        }
        if (list.starts.empty() || list.lastValue != value) {
            AppendStretch(list, point, value);
            list.lastValue = value;
        }
        list.count = point + 1;
        return;
    }
    const std::size_t k = ChangeStretch(list, point);
    if (StretchValue(list, k) == value) return;
    // Rewriting inside the list is rare (a run's first point): it works on one value per stretch.
    WidenChanges(list);
    // A point inside a stretch (a run's first point set again): split the stretch around it and
    // join what became equal to its neighbours.
    const double old = list.values[k];
    const std::int32_t end = k + 1 < list.starts.size() ? list.starts[k + 1] : list.count;
    std::vector<std::int32_t> starts;
    std::vector<double> values;
    if (list.starts[k] < point) starts.push_back(list.starts[k]), values.push_back(old);
    starts.push_back(point), values.push_back(value);
    if (point + 1 < end) starts.push_back(point + 1), values.push_back(old);
    const auto offset = static_cast<std::ptrdiff_t>(k);
    list.starts.erase(list.starts.begin() + offset);
    list.values.erase(list.values.begin() + offset);
    list.starts.insert(list.starts.begin() + offset, starts.begin(), starts.end());
    list.values.insert(list.values.begin() + offset, values.begin(), values.end());
    std::size_t i = std::max<std::size_t>(k, 1);
    const std::size_t last = std::min(k + starts.size(), list.starts.size() - 1);
    for (std::size_t stop = last; i <= stop && i < list.starts.size();) {
        if (list.values[i] == list.values[i - 1]) {
            list.starts.erase(list.starts.begin() + static_cast<std::ptrdiff_t>(i));
            list.values.erase(list.values.begin() + static_cast<std::ptrdiff_t>(i));
            --stop;
        } else {
            ++i;
        }
    }
    list.cursor = 0;
    list.lastValue = list.values.back();
}

double ReadRecent(const WaveformSlotValues& list, std::int32_t point)
{
    if (point >= list.count || point < list.count - kRecentSlotPoints || list.values.empty()) return 0.0;
    return list.values[static_cast<std::size_t>(point % kRecentSlotPoints)];
}

// Keeps the point when it is among the last ones; older points are let go.
void WriteRecent(WaveformSlotValues& list, std::int32_t point, double value)
{
    if (list.values.empty()) list.values.assign(kRecentSlotPoints, 0.0);
    if (point >= list.count) {
        // Points skipped over read 0.0, as unwritten cells of a page do.
        for (std::int32_t p = std::max(list.count, point - kRecentSlotPoints + 1); p < point; ++p)
            list.values[static_cast<std::size_t>(p % kRecentSlotPoints)] = 0.0;
        list.count = point + 1;
    } else if (point < list.count - kRecentSlotPoints) {
        return;
    }
    list.values[static_cast<std::size_t>(point % kRecentSlotPoints)] = value;
}

// Empties the change lists and the differing points, keeping how each slot is kept.
void ForgetSlotValues(WaveformStore& store)
{
    for (WaveformSlotValues& slot : store.slotValues) {
        WaveformSlotValues empty;
        empty.kind = slot.kind;
        empty.column = slot.column;
        slot = std::move(empty);
    }
}

// The index of a point in a follow-sweep slot's list of differing points, or the size.
std::size_t DifferingPoint(const WaveformSlotValues& list, std::int32_t point)
{
    if (list.starts.empty() || list.starts.back() < point) return list.starts.size();
    const auto at = std::lower_bound(list.starts.begin(), list.starts.end(), point);
    return at != list.starts.end() && *at == point ? static_cast<std::size_t>(at - list.starts.begin()) : list.starts.size();
}

// The file holds little-endian doubles whatever the host.
void ToFileOrder(double* values, std::size_t count)
{
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < count; ++i) {
            auto bits = std::bit_cast<std::uint64_t>(values[i]);
            bits = __builtin_bswap64(bits);
            values[i] = std::bit_cast<double>(bits);
        }
    }
}

void ReportStoreFileError(const std::string& path, int error)
{
    SetPendingErrorText(path);
    ReportMessage("E", ErrnoToMessageId(error));
}

// Writes the current disk-backed page back to its block. False when the store can take no more.
bool WriteBackCurrentPage(WaveformStore& store)
{
    PageEntry& entry = store.pages[static_cast<std::size_t>(store.currentPage)];
    if (entry.state != kPageOnDisk || store.fileName.empty()) return true;
    store.highestBlockWritten = std::max(store.highestBlockWritten, entry.block);
    if (!store.file) {
        auto file = std::make_unique<WaveformStoreFile>();
        file->path = UniqueStorePath(store.fileName);
        file->stream = OpenFileCreateRW(file->path);
        if (!file->stream) {
            ReportStoreFileError(file->path, errno);
            store.currentPage = -1;
            store.full = 1;
            return false;
        }
        FilesInUse().insert(file->path);
        store.file = std::move(file);
    }
    std::FILE* f = store.file->stream.get();
    const std::size_t count = PageDoubles(store);
    ToFileOrder(store.resident.data(), count);
    const bool ok = fseeko(f, BlockOffset(store, entry.block), SEEK_SET) == 0 &&
                    std::fwrite(store.resident.data(), sizeof(double), count, f) == count;
    ToFileOrder(store.resident.data(), count);
    if (!ok) {
        const int error = errno ? errno : ENOSPC;
        store.full = 1;
        if (StoreHooks().stopProbeRun && StoreHooks().stopProbeRun()) ReportStoreFileError(store.file->path, error);
    }
    return true;
}

bool ReadPageFromFile(WaveformStore& store, const PageEntry& entry)
{
    if (!store.file) return false;
    std::FILE* f = store.file->stream.get();
    const std::size_t count = PageDoubles(store);
    if (fseeko(f, BlockOffset(store, entry.block), SEEK_SET) != 0) return false;
    if (std::fread(store.resident.data(), sizeof(double), count, f) != count) return false;
    ToFileOrder(store.resident.data(), count);
    return true;
}

void TryOwnBuffers(WaveformStore& store, PageEntry& entry)
{
    if (store.blocksUsed != 0 || !WaveformMemoryPlentiful()) return;
    try {
        entry.own.reset(new double[PageDoubles(store)]());
        entry.buffers = entry.own.get();
        entry.state = kPageInMemory;
    } catch (const std::bad_alloc&) {
        entry.own.reset();
    }
}

// Makes pages until the current page exists. 0, or 1 when no page can be had.
int SelectWaveformPage(WaveformStore& store)
{
    while (store.currentPage >= store.pageCount) {
        if (store.full) {
            store.currentPage = -1;
            return 1;
        }
        if (store.pageCount >= store.pageCapacity) {
            try {
                store.pages.resize(static_cast<std::size_t>(store.pageCount) + kPageTableGrowth);
                store.pageCapacity = store.pageCount + kPageTableGrowth;
            } catch (const std::bad_alloc&) {
                store.full = 1;
                store.currentPage = -1;
                return 1;
            }
        }
        PageEntry& entry = store.pages[static_cast<std::size_t>(store.pageCount)];
        entry = PageEntry{};
        ++store.pageCount;
        TryOwnBuffers(store, entry);
        if (entry.state == kPageNew) {
            entry.state = kPageOnDisk;
            entry.block = store.blocksUsed++;
        }
    }
    PageEntry& entry = store.pages[static_cast<std::size_t>(store.currentPage)];
    if (entry.state == kPageOnDisk) entry.buffers = store.resident.empty() ? nullptr : store.resident.data();
    return 0;
}

enum class Access { kWrite = 1, kRead = 2 };

double* LocateWaveformCell(WaveformStore& store, int slot, std::int32_t point, Access mode)
{
    if (slot < 0 || slot >= store.slotCount || point < 0) return nullptr;
    if (!store.slotValues.empty()) slot = store.slotValues[static_cast<std::size_t>(slot)].column;
    const std::int32_t page = point >> kWaveformPageShift;
    // The page in hand: a shift and a mask, as every point of a run mostly lands there.
    if (page == store.currentPage && page < store.pageCount) {
        const PageEntry& entry = store.pages[static_cast<std::size_t>(page)];
        if (entry.buffers) {
            if (mode == Access::kWrite) store.dirty = 1;
            return entry.buffers + static_cast<std::size_t>(slot) * kWaveformPagePoints + (point & kWaveformPageMask);
        }
    }
    // Reading never makes pages.
    if (mode == Access::kRead && page >= store.pageCount) return nullptr;
    const std::int32_t old = store.currentPage;
    if (page != old && old != -1 && !store.full && store.dirty) {
        store.dirty = 0;
        if (!WriteBackCurrentPage(store)) return nullptr;
    }
    if (page != old && old >= 0 && old < store.pageCount) {
        PageEntry& previous = store.pages[static_cast<std::size_t>(old)];
        if (previous.state == kPageOnDisk) previous.buffers = nullptr;
    }
    store.currentPage = page;
    if (mode == Access::kWrite) store.dirty = 1;
    if (SelectWaveformPage(store)) return nullptr;
    const PageEntry& entry = store.pages[static_cast<std::size_t>(page)];
    if (entry.state == kPageOnDisk && page != old) {
        // The resident buffers still hold the page before: load this page's block, or start it
        // empty when its block never reached the file.
        if (entry.block <= store.highestBlockWritten && !store.fileName.empty()) {
            if (!ReadPageFromFile(store, entry)) {
                store.currentPage = -1;
                return nullptr;
            }
        } else {
            std::fill(store.resident.begin(), store.resident.end(), 0.0);
        }
    }
    if (!entry.buffers) return nullptr;
    return entry.buffers + static_cast<std::size_t>(slot) * kWaveformPagePoints + (point & kWaveformPageMask);
}

bool IsSweepVariable(const CurveRecord& curve, int axis, int analysisKind, bool digitalToo = false)
{
    if (curve.digital && !digitalToo) return false;
    return (curve.xLetter[axis] == 'T' && analysisKind == 0) || (curve.xLetter[axis] == 'F' && analysisKind == 1);
}

WaveformStore* StoreOf(const CurveRecord& curve)
{
    return curve.plotStore ? curve.plotStore : curve.ownStore.get();
}

// A run's entries of the curve, made as runs end (the arrays hold every run recorded so far).
void EnsureRunEntries(CurveRecord& curve, int run)
{
    const std::size_t need = static_cast<std::size_t>(run) + 1;
    if (curve.runFirstIndex.size() < need) curve.runFirstIndex.resize(need, 0);
    if (curve.runLastIndex.size() < need) curve.runLastIndex.resize(need, -1);
}

}  // namespace

CurveRecord::CurveRecord() = default;
CurveRecord::~CurveRecord() = default;
WaveformStore::WaveformStore() = default;
WaveformStore::~WaveformStore()
{
    CloseWaveformFile(*this);
}

bool WaveformMemoryPlentiful()
{
    if (MemoryProbe()) return MemoryProbe()();
    win::MEMORYSTATUS status;
    win::GlobalMemoryStatus(&status);
    // What Windows calls the free page file is the commit still available: memory plus swap.
    return status.dwAvailPhys >= kMinFreePhysical && status.dwAvailPhys + status.dwAvailPageFile >= kMinFreeCommit;
}

void SetWaveformMemoryProbeForTests(std::function<bool()> probe) { MemoryProbe() = std::move(probe); }

int PlannedRunCount(const PlannedRuns& plan)
{
    const std::int64_t runs = static_cast<std::int64_t>(std::max(plan.runCount, 1)) *
                              std::max(plan.temperatureCount, 1) * std::max(plan.input2Count, 1);
    return runs > kMaxAnalysisRuns ? 0 : static_cast<int>(runs);
}

bool CurvePointsReadLater(const CurveRecord& curve)
{
    return curve.printAxis[0].print || curve.printAxis[1].print || (curve.flags & kCurveUsesDifference) != 0 ||
           ((curve.xExpression.dependencies | curve.yExpression.dependencies) & kDependsDifference) != 0 ||
           !curve.imports.empty() || curve.dspWork || !curve.dspProgram.empty() || curve.crossDomain != 0;
}

int CreateWaveformStore(PlotRecord& plot, int windowKind, int analysisKind, int maxRuns, bool printedOnly)
{
    WaveformStore& store = plot.store;
    FreeWaveformPages(store);
    CloseWaveformFile(store);
    store.fileName = windowKind == kWindowAnalysis      ? kAnalysisStoreFileName
                     : windowKind == kWindowPerformance ? kPerformanceStoreFileName
                                                        : "";
    store.slotCount = 1;
    store.slotValues.clear();
    store.pagedSlotCount = 0;
    store.runCount = 0;
    store.maxRuns = std::max(maxRuns, 1);
    store.highestBlockWritten = -1;
    store.currentPage = -1;
    store.full = 0;
    store.blocksUsed = 0;
    store.dirty = 0;
    const int built = std::min<int>(plot.builtCurveCount, static_cast<int>(plot.curves.size()));
    try {
        for (int i = 0; i < built; ++i) {
            CurveRecord& curve = *plot.curves[static_cast<std::size_t>(i)];
            curve.lastPointIndex = -1;
            curve.plotStore = &store;
            curve.storeSlots.fill(-1);
            const int variables = windowKind == kWindowPerformance ? kCurveStoreSlots : 2;
            for (int j = 0; j < variables; ++j)
                curve.storeSlots[static_cast<std::size_t>(j)] =
                    windowKind != kWindowPerformance && IsSweepVariable(curve, j, analysisKind) ? 0 : store.slotCount++;
            const bool unread = printedOnly && windowKind == kWindowAnalysis && !CurvePointsReadLater(curve);
            if (windowKind != kWindowPerformance && (curve.digital || unread)) {
                store.slotValues.resize(static_cast<std::size_t>(store.slotCount));
                const int xSlot = curve.storeSlots[kWaveformX], ySlot = curve.storeSlots[kWaveformY];
                WaveformSlotValues* xs = xSlot > 0 ? &store.slotValues[static_cast<std::size_t>(xSlot)] : nullptr;
                if (xs && curve.digital && IsSweepVariable(curve, kWaveformX, analysisKind, true))
                    xs->kind = kSlotFollowsSweep;
                else if (xs && unread)
                    xs->kind = kSlotRecent;
                if (ySlot > 0) store.slotValues[static_cast<std::size_t>(ySlot)].kind = unread ? kSlotRecent : kSlotChanges;
            }
            curve.runFirstIndex.clear();
            curve.runLastIndex.clear();
            curve.runFirstIndex.reserve(static_cast<std::size_t>(store.maxRuns));
            curve.runLastIndex.reserve(static_cast<std::size_t>(store.maxRuns));
        }
        if (!store.slotValues.empty()) {
            store.slotValues.resize(static_cast<std::size_t>(store.slotCount));
            for (WaveformSlotValues& slot : store.slotValues)
                if (slot.kind == kSlotPaged) slot.column = store.pagedSlotCount++;
        }
        store.runs.clear();
        store.runs.reserve(static_cast<std::size_t>(store.maxRuns));
        store.resident.assign(PageDoubles(store), 0.0);
        store.residentCount = PagedSlots(store);
    } catch (const std::bad_alloc&) {
        FreeWaveformPages(store);
        return kMsgInsufficientMemory;
    }
    return 0;
}

void RewindWaveformStore(PlotRecord& plot)
{
    WaveformStore& store = plot.store;
    // The points are written again from 0: the lists start empty rather than be rewritten inside.
    ForgetSlotValues(store);
    store.sweepPoint = -1;
    store.currentPage = 0;
    store.blocksUsed = 0;
    store.highestBlockWritten = -1;
    store.full = 0;
    store.dirty = 0;
    if (store.resident.empty() && store.pageCount == 0) {
        store.currentPage = -1;
        return;
    }
    // Disk-backed pages are handed their blocks again from 0, in page order.
    for (std::int32_t p = 0; p < store.pageCount; ++p) {
        PageEntry& entry = store.pages[static_cast<std::size_t>(p)];
        if (entry.state == kPageOnDisk) {
            entry.block = store.blocksUsed++;
            entry.buffers = nullptr;
        }
    }
    if (SelectWaveformPage(store) == 0 && store.pages[0].state == kPageOnDisk)
        std::fill(store.resident.begin(), store.resident.end(), 0.0);
}

void ClearCurveRunMarks(PlotRecord& plot)
{
    for (auto& curve : plot.curves) curve->lastPointIndex = -1;
}

void SetWaveformValue(WaveformStore& store, int slot, std::int32_t point, double value)
{
    if (slot == 0) store.sweepPoint = -1;
    if (!store.slotValues.empty() && slot > 0 && slot < store.slotCount && point >= 0) {
        WaveformSlotValues& list = store.slotValues[static_cast<std::size_t>(slot)];
        if (list.kind == kSlotChanges) return WriteChanges(list, point, value);
        if (list.kind == kSlotRecent) return WriteRecent(list, point, value);
        if (list.kind == kSlotFollowsSweep) {
            // Slot 0 of the point is written before the curve's own X.
            if (list.starts.empty() || list.starts.back() < point) {
                if (GetWaveformValue(store, 0, point) != value) {
                    list.starts.push_back(point);
                    list.values.push_back(value);
                }
                return;
            }
            const std::size_t at = DifferingPoint(list, point);
            const bool same = GetWaveformValue(store, 0, point) == value;
            if (at < list.starts.size()) {
                if (same) {
                    list.starts.erase(list.starts.begin() + static_cast<std::ptrdiff_t>(at));
                    list.values.erase(list.values.begin() + static_cast<std::ptrdiff_t>(at));
                } else {
                    list.values[at] = value;
                }
            } else if (!same) {
                const auto to = std::lower_bound(list.starts.begin(), list.starts.end(), point) - list.starts.begin();
                list.starts.insert(list.starts.begin() + to, point);
                list.values.insert(list.values.begin() + to, value);
            }
            return;
        }
    }
    if (double* cell = LocateWaveformCell(store, slot, point, Access::kWrite)) *cell = value;
}

void StoreCurvePoint(WaveformStore& store, const CurveRecord& curve, std::int32_t point, double x, double y, double sweep)
{
    const int xSlot = curve.storeSlots[kWaveformX], ySlot = curve.storeSlots[kWaveformY];
    const bool inRange = xSlot >= 0 && xSlot < store.slotCount && ySlot >= 0 && ySlot < store.slotCount;
    if (ExtendCurveStretch(store, curve, point, x, y, sweep)) return;
    double* cell = LocateWaveformCell(store, 0, point, Access::kWrite);
    store.sweepPoint = -1;
    if (!cell || !inRange) {
        if (xSlot != 0) SetWaveformValue(store, 0, point, sweep);
        SetWaveformValue(store, xSlot, point, x);
        SetWaveformValue(store, ySlot, point, y);
        return;
    }
    // Slot 0 is column 0 of the page: the other columns of the point lie 1024 cells apart.
    auto column = [&](int slot) -> double& {
        const int c = store.slotValues.empty() ? slot : store.slotValues[static_cast<std::size_t>(slot)].column;
        return cell[static_cast<std::ptrdiff_t>(c) * kWaveformPagePoints];
    };
    if (xSlot != 0) {
        *cell = sweep;
        store.sweepPoint = point;
        store.sweepValue = sweep;
    }
    const auto kind = [&](int slot) {
        return store.slotValues.empty() ? kSlotPaged : store.slotValues[static_cast<std::size_t>(slot)].kind;
    };
    if (kind(xSlot) == kSlotPaged) {
        column(xSlot) = x;
    } else {
        WaveformSlotValues& list = store.slotValues[static_cast<std::size_t>(xSlot)];
        if (list.kind != kSlotFollowsSweep || x != sweep || (!list.starts.empty() && list.starts.back() >= point))
            SetWaveformValue(store, xSlot, point, x);
    }
    if (kind(ySlot) == kSlotPaged) {
        column(ySlot) = y;
    } else {
        WaveformSlotValues& list = store.slotValues[static_cast<std::size_t>(ySlot)];
        // The usual case: the next point of a state that did not change.
        if (list.kind == kSlotChanges && point == list.count && !list.starts.empty() && list.lastValue == y)
            list.count = point + 1;
        else
            SetWaveformValue(store, ySlot, point, y);
    }
}

double GetWaveformValue(WaveformStore& store, int slot, std::int32_t point)
{
    if (!store.slotValues.empty() && slot > 0 && slot < store.slotCount && point >= 0) {
        WaveformSlotValues& list = store.slotValues[static_cast<std::size_t>(slot)];
        if (list.kind == kSlotChanges) return ReadChanges(list, point);
        if (list.kind == kSlotRecent) return ReadRecent(list, point);
        if (list.kind == kSlotFollowsSweep) {
            const std::size_t at = DifferingPoint(list, point);
            return at < list.starts.size() ? list.values[at] : GetWaveformValue(store, 0, point);
        }
    }
    const double* cell = LocateWaveformCell(store, slot, point, Access::kRead);
    return cell ? *cell : 0.0;
}

void MoveLastSweepValue(WaveformStore& store, std::int32_t point, double sweep)
{
    SetWaveformValue(store, 0, point, sweep);
}

int SlotReadAs(const WaveformStore& store, int slot)
{
    if (slot <= 0 || slot >= static_cast<int>(store.slotValues.size())) return slot;
    const WaveformSlotValues& values = store.slotValues[static_cast<std::size_t>(slot)];
    return values.kind == kSlotFollowsSweep && values.starts.empty() ? 0 : slot;
}

double GetCurveRunValue(WaveformStore& store, int slot, const CurveRecord& curve, int offset, int run)
{
    const std::int32_t first = static_cast<std::size_t>(run) < curve.runFirstIndex.size()
                                   ? curve.runFirstIndex[static_cast<std::size_t>(run)]
                                   : RunFirstPoint(curve, run);
    return GetWaveformValue(store, slot, first + offset);
}

std::int32_t CountRunPoints(const WaveformStore& store, const CurveRecord& curve)
{
    return curve.lastPointIndex - RunFirstPoint(curve, store.runCount);
}

void EndWaveformRun(PlotRecord& plot, bool keepRun, const RunRecord& record)
{
    WaveformStore& store = plot.store;
    const int r = store.runCount;
    const int built = std::min<int>(plot.builtCurveCount, static_cast<int>(plot.curves.size()));
    try {
        for (int i = 0; i < built; ++i) {
            CurveRecord& curve = *plot.curves[static_cast<std::size_t>(i)];
            EnsureRunEntries(curve, r);
            curve.runFirstIndex[static_cast<std::size_t>(r)] = RunFirstPoint(curve, r);
            curve.runLastIndex[static_cast<std::size_t>(r)] = curve.lastPointIndex;
            curve.newData = 1;
        }
        if (store.runs.size() <= static_cast<std::size_t>(r)) store.runs.resize(static_cast<std::size_t>(r) + 1);
        store.runs[static_cast<std::size_t>(r)] = record;
    } catch (const std::bad_alloc&) {
        // The run's points stay stored; only its bounds could not be kept.
        store.full = 1;
        return;
    }
    if (!keepRun) ++store.runCount;
}

int FindRunOfPoint(const WaveformStore& store, const CurveRecord& curve, std::int32_t point)
{
    const std::size_t runs = std::min({static_cast<std::size_t>(std::max(store.runCount, 0)), curve.runFirstIndex.size(),
                                       curve.runLastIndex.size()});
    for (std::size_t r = 0; r < runs; ++r)
        if (curve.runFirstIndex[r] <= point && point <= curve.runLastIndex[r]) return static_cast<int>(r);
    return -1;
}

int FindRunOfCurvePoint(const PlotRecord& plot, std::int32_t point, int curveIndex)
{
    if (curveIndex < 0 || curveIndex >= static_cast<int>(plot.curves.size())) return -1;
    return FindRunOfPoint(plot.store, *plot.curves[static_cast<std::size_t>(curveIndex)], point);
}

std::int32_t FirstPointOfRunAt(const PlotRecord& plot, int curveIndex, std::int32_t point)
{
    if (curveIndex < 0 || curveIndex >= static_cast<int>(plot.curves.size())) return 0;
    const CurveRecord& curve = *plot.curves[static_cast<std::size_t>(curveIndex)];
    const int r = FindRunOfPoint(plot.store, curve, point);
    if (r >= 0) return curve.runFirstIndex[static_cast<std::size_t>(r)];
    const int last = std::min<int>(plot.store.runCount, static_cast<int>(curve.runFirstIndex.size())) - 1;
    return last >= 0 ? curve.runFirstIndex[static_cast<std::size_t>(last)] : RunFirstPoint(curve, 0);
}

void FreeWaveformPages(WaveformStore& store)
{
    store.runs.clear();
    store.runs.shrink_to_fit();
    store.runCount = 0;
    store.pages.clear();
    store.pages.shrink_to_fit();
    store.pageCount = 0;
    store.pageCapacity = 0;
    store.resident.clear();
    store.resident.shrink_to_fit();
    store.residentCount = 0;
    ForgetSlotValues(store);
    store.sweepPoint = -1;
    store.currentPage = -1;
}

void CloseWaveformFile(WaveformStore& store)
{
    if (!store.file) return;
    store.file->stream.reset();
    // The file only ever holds pages of this store; nothing else reads it once the store closes.
    std::remove(store.file->path.c_str());
    FilesInUse().erase(store.file->path);
    store.file.reset();
    store.highestBlockWritten = -1;
}

void ResetWaveformStore(PlotRecord& plot)
{
    FreeWaveformPages(plot.store);
    CloseWaveformFile(plot.store);
    plot.curves.clear();
    plot.currentCurve = 0;
    plot.curveCount = 0;
    plot.builtCurveCount = 0;
}



void ResetWaveformStore(WindowRecord* window)
{
    if (window && window->plot) ResetWaveformStore(*window->plot);
}

double WaveformStoreRead(const CurveRecord& curve, int run, int index, int slot)
{
    WaveformStore* store = StoreOf(curve);
    if (!store || slot < 0 || slot >= kCurveStoreSlots) return 0.0;
    if (run < 0 || run >= static_cast<int>(curve.runFirstIndex.size())) return 0.0;
    const std::int32_t point = curve.runFirstIndex[static_cast<std::size_t>(run)] + index;
    if (point < 0 || point > curve.lastPointIndex) return 0.0;
    return GetWaveformValue(*store, curve.storeSlots[static_cast<std::size_t>(slot)], point);
}

int WaveformStoreWrite(CurveRecord& curve, double value, int slot)
{
    if (slot != kWaveformX && slot != kWaveformY) return 0;
    if (!StoreOf(curve)) {
        try {
            curve.ownStore = std::make_unique<WaveformStore>();
            curve.ownStore->slotCount = 3;
            curve.ownStore->maxRuns = 1;
            curve.ownStore->resident.assign(PageDoubles(*curve.ownStore), 0.0);
            curve.ownStore->residentCount = 3;
            curve.ownStore->currentPage = 0;
            curve.storeSlots = {1, 2, -1, -1, -1, -1};
        } catch (const std::bad_alloc&) {
            curve.ownStore.reset();
            return kMsgInsufficientMemory;
        }
    }
    WaveformStore& store = *StoreOf(curve);
    const std::int32_t point = curve.ownWritten[static_cast<std::size_t>(slot)];
    while (curve.lastPointIndex < point)
        if (!AdvanceCurvePoint(store, curve)) return kMsgInsufficientMemory;
    if (!LocateWaveformCell(store, curve.storeSlots[static_cast<std::size_t>(slot)], point, Access::kWrite))
        return kMsgInsufficientMemory;
    SetWaveformValue(store, curve.storeSlots[static_cast<std::size_t>(slot)], point, value);
    ++curve.ownWritten[static_cast<std::size_t>(slot)];
    return 0;
}

void WaveformStoreReplace(CurveRecord& curve, std::int32_t pointIndex, double value, int slot)
{
    WaveformStore* store = StoreOf(curve);
    if (!store || slot < 0 || slot >= kCurveStoreSlots || pointIndex < 0 || pointIndex > curve.lastPointIndex) return;
    SetWaveformValue(*store, curve.storeSlots[static_cast<std::size_t>(slot)], pointIndex, value);
}


}  // namespace kq5
