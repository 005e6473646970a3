#include "core/analysis_state.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "core/device_lists.h"

namespace kq5 {

namespace {

// Made before any other object (constant-initialized), so that no static of another file can
// reach it unmade, and reached without a guard: the digital queue asks for every event.
constinit AnalysisState analysisState;

AnalysisState& State()
{
    return analysisState;
}

std::uint32_t TickDistance(std::uint32_t a, std::uint32_t b)
{
    return a > b ? a - b : b - a;
}

// Entries closer than this are one landing point of the time loop.
constexpr std::uint32_t kMergeTicks = 10;

// The index of the node events in the queue. The ticks that hold events are kept in order,
// each with the chain of its events (by order); every output (node, device) has the chain of
// its events (by tick, then order). The chains run through the records themselves, so
// queueing an event allocates only its record (and a tick entry for a tick new to the queue).
struct TickChain {
    TimeBreakpointRecord* first = nullptr;
    TimeBreakpointRecord* last = nullptr;
};
}  // namespace

struct NodeEventChain {
    TimeBreakpointRecord* first = nullptr;
    TimeBreakpointRecord* last = nullptr;
};

namespace {

// Freed blocks of one size, kept for reuse and linked through their first bytes: breakpoint
// records and tick entries come and go with nearly every digital event. The program is
// single-threaded; the sanitizer build frees every block, so that a use after free is caught.
class FreeBlocks {
public:
    explicit constexpr FreeBlocks(std::size_t limit) : limit_(limit) {}
    void* Take() noexcept
    {
        Block* block = head_;
        if (block) {
            head_ = block->next;
            --count_;
        }
        return block;
    }
    // False when enough are kept already (the caller frees it).
    bool Keep(void* p) noexcept
    {
        if (count_ >= limit_) return false;
        auto* block = static_cast<Block*>(p);
        block->next = head_;
        head_ = block;
        ++count_;
        return true;
    }
    static constexpr std::size_t kMinimumSize = sizeof(void*);

private:
    struct Block {
        Block* next;
    };
    Block* head_ = nullptr;
    std::size_t count_ = 0;
    std::size_t limit_;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kKeptBlocks = 0;
#else
// Enough for the records a run takes and frees at every step. Not more: the stimuli of a whole
// run are queued at its start, and blocks kept from an earlier run would scatter them over the
// heap where fresh ones lie in time order.
constexpr std::size_t kKeptBlocks = 4096;
#endif

template <class T>
struct TickNodeAllocator {
    using value_type = T;
    static inline FreeBlocks freeNodes{kKeptBlocks};

    TickNodeAllocator() = default;
    template <class U>
    TickNodeAllocator(const TickNodeAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n == 1)
            if (void* p = freeNodes.Take()) return static_cast<T*>(p);
        return static_cast<T*>(::operator new(n * std::max(sizeof(T), FreeBlocks::kMinimumSize)));
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        if (n == 1 && freeNodes.Keep(p)) return;
        ::operator delete(p);
    }
    template <class U>
    bool operator==(const TickNodeAllocator<U>&) const noexcept
    {
        return true;
    }
};

using OutputChain = NodeEventChain;
using TickMap = std::map<std::uint32_t, TickChain, std::less<std::uint32_t>,
                         TickNodeAllocator<std::pair<const std::uint32_t, TickChain>>>;

// The ticks that hold node events, in order. The earliest few sit in a short array, latest
// first, where a digital run queues and applies nearly all of its events; the rest (often a
// stimulus's whole future) in a tree. Every tick of the array lies before every tick of the
// tree, and the array is empty only when the tree is. A chain reference stays valid until the
// next Entry or Erase.
class TickIndex {
public:
    TickIndex() { near_.reserve(kNear + 1); }

    TickChain* Find(std::uint32_t time)
    {
        if (InTree(time)) {
            auto it = far_.find(time);
            return it == far_.end() ? nullptr : &it->second;
        }
        for (std::size_t i = near_.size(); i-- > 0;) {
            if (near_[i].time == time) return &near_[i].chain;
            if (near_[i].time > time) break;
        }
        return nullptr;
    }

    // The tick's chain, made when missing. May throw std::bad_alloc (nothing changed then).
    TickChain& Entry(std::uint32_t time)
    {
        if (InTree(time)) {
            // Stimuli are queued in time order: mostly at the last tick or after it.
            const auto last = std::prev(far_.end());
            if (last->first == time) return last->second;
            auto it = last->first < time ? far_.end() : far_.lower_bound(time);
            if (it != far_.end() && it->first == time) return it->second;
            return far_.emplace_hint(it, time, TickChain())->second;
        }
        // From the earliest tick on: new events mostly fall just after the present one.
        std::size_t i = near_.size();
        while (i > 0 && near_[i - 1].time < time) --i;
        if (i > 0 && near_[i - 1].time == time) return near_[i - 1].chain;
        if (near_.size() >= kNear) {
            // Later than every tick of a full array (the tree is empty then): the tree's first.
            if (i == 0) return far_.emplace_hint(far_.begin(), time, TickChain())->second;
            far_.emplace_hint(far_.begin(), near_.front().time, near_.front().chain);
            near_.erase(near_.begin());
            --i;
        }
        near_.insert(near_.begin() + static_cast<std::ptrdiff_t>(i), Tick{time, TickChain()});
        return near_[i].chain;
    }

    // The chain of the latest tick before the time, or null.
    TickChain* Before(std::uint32_t time)
    {
        if (InTree(time)) {
            const auto last = std::prev(far_.end());
            auto it = last->first < time ? far_.end() : last->first == time ? last : far_.lower_bound(time);
            return it != far_.begin() ? &std::prev(it)->second : &near_.front().chain;
        }
        TickChain* before = nullptr;
        for (std::size_t i = near_.size(); i-- > 0 && near_[i].time < time;) before = &near_[i].chain;
        return before;
    }

    TickChain* First() { return near_.empty() ? nullptr : &near_.back().chain; }

    void Erase(std::uint32_t time)
    {
        if (InTree(time)) {
            far_.erase(time);
            return;
        }
        for (std::size_t i = near_.size(); i-- > 0;)
            if (near_[i].time == time) {
                near_.erase(near_.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        if (near_.empty() && !far_.empty()) Refill();
    }

    void Clear()
    {
        near_.clear();
        far_.clear();
    }

    // The chains of the ticks up to the time, earliest first.
    template <class F>
    void UpTo(std::uint32_t time, F&& f) const
    {
        for (std::size_t i = near_.size(); i-- > 0;) {
            if (near_[i].time > time) return;
            f(near_[i].chain);
        }
        for (const auto& [tick, chain] : far_) {
            if (tick > time) return;
            f(chain);
        }
    }

private:
    struct Tick {
        std::uint32_t time;
        TickChain chain;
    };
    static constexpr std::size_t kNear = 32;

    bool InTree(std::uint32_t time) const { return !far_.empty() && time > near_.front().time; }

    // The tree's earliest ticks into the empty array (its capacity is kept, so nothing throws).
    void Refill()
    {
        const std::size_t n = std::min(kNear / 2, far_.size());
        near_.resize(n);
        for (std::size_t i = n; i-- > 0;) {
            auto first = far_.begin();
            near_[i] = Tick{first->first, first->second};
            far_.erase(first);
        }
    }

    std::vector<Tick> near_;  // latest first
    TickMap far_;
};

// The chain of every output (node, device) ever queued to, by an open-addressed table: the
// lookup comes with every queued event. Chains never move (records point at theirs) and stay
// when they empty, as an output is likely to be scheduled again.
class OutputChains {
public:
    // May throw std::bad_alloc (nothing changed then).
    OutputChain& operator[](std::uint64_t key)
    {
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        Slot& slot = slots_[Place(key)];
        if (!slot.chain) {
            chains_.emplace_back();
            slot = {key, &chains_.back()};
            ++used_;
        }
        return *slot.chain;
    }

    OutputChain* Find(std::uint64_t key) const
    {
        return slots_.empty() ? nullptr : slots_[Place(key)].chain;
    }

    void Clear()
    {
        slots_.clear();
        chains_.clear();
        used_ = 0;
    }

private:
    struct Slot {
        std::uint64_t key = 0;
        OutputChain* chain = nullptr;  // null: free
    };

    // The key's slot, or the free slot where it belongs.
    std::size_t Place(std::uint64_t key) const
    {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (slots_[i].chain && slots_[i].key != key) i = (i + 1) & mask;
        return i;
    }

    void Grow()
    {
        std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.chain) slots_[Place(slot.key)] = slot;
    }

    std::vector<Slot> slots_;
    std::deque<OutputChain> chains_;
    std::size_t used_ = 0;
};

struct NodeEventIndex {
    TickIndex byTick;
    OutputChains byOutput;
    std::size_t count = 0;
    std::uint32_t generation = 1;
    std::int64_t nextOrder = 1;
};

NodeEventIndex rawIndex;
LinkedList* queueList = nullptr;

NodeEventIndex& RawIndex()
{
    return rawIndex;
}

// The breakpoint queue; the registry's lists never move.
LinkedList& Queue()
{
    if (!queueList) queueList = &DeviceList(kTimeBreakpointList);
    return *queueList;
}

std::uint64_t OutputKey(std::int32_t node, std::int32_t device)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(node)) << 32) | static_cast<std::uint32_t>(device);
}

bool Indexed(const NodeEventIndex& index, const TimeBreakpointRecord* event)
{
    return event->indexGeneration == index.generation;
}

bool QueuedBefore(const TimeBreakpointRecord* a, std::uint32_t time, std::int64_t order)
{
    return a->time < time || (a->time == time && a->order < order);
}

void ResetIndex(NodeEventIndex& index)
{
    index.byTick.Clear();
    index.byOutput.Clear();
    index.count = 0;
    ++index.generation;  // every record indexed so far reads as not indexed
}

void LinkOutput(OutputChain& chain, TimeBreakpointRecord* event)
{
    event->outputChain = &chain;
    TimeBreakpointRecord* before = chain.last;
    while (before && !QueuedBefore(before, event->time, event->order)) before = before->outputPrev;
    TimeBreakpointRecord* after = before ? before->outputNext : chain.first;
    event->outputPrev = before;
    event->outputNext = after;
    (before ? before->outputNext : chain.first) = event;
    (after ? after->outputPrev : chain.last) = event;
}

// Chains live as long as the index's entries (never erased before a reset), so an indexed
// event's chain pointer stays good.
void UnlinkOutput(TimeBreakpointRecord* event)
{
    TimeBreakpointRecord* before = event->outputPrev;
    TimeBreakpointRecord* after = event->outputNext;
    if (before) before->outputNext = after;
    if (after) after->outputPrev = before;
    if (OutputChain* chain = event->outputChain) {
        if (chain->first == event) chain->first = after;
        if (chain->last == event) chain->last = before;
    }
    event->outputPrev = event->outputNext = nullptr;
    event->outputChain = nullptr;
}

// The queue entry just before a place after `event` (an indexed event or null): past the
// plain entries of earlier or equal ticks.
TimeBreakpointRecord* PastPlainEntries(TimeBreakpointRecord* before, std::uint32_t time,
                                       const TimeBreakpointRecord* self)
{
    TimeBreakpointRecord* after = before ? ListNext(before) : ListHead<TimeBreakpointRecord>(Queue());
    while (after && after != self && !after->nodeEvent && after->time <= time) {
        before = after;
        after = ListNext(after);
    }
    return before;
}

// Links an event into the index at its (time, order); returns the queue entry it goes after.
// May throw std::bad_alloc before anything changed.
TimeBreakpointRecord* IndexEvent(NodeEventIndex& index, TimeBreakpointRecord* event, OutputChain& chain)
{
    TickChain& events = index.byTick.Entry(event->time);
    // The last event queued before (time, order): in the tick's chain or an earlier tick's.
    TimeBreakpointRecord* before = events.last;
    while (before && before->order >= event->order) before = before->tickPrev;
    if (!before)
        if (const TickChain* earlier = index.byTick.Before(event->time)) before = earlier->last;
    TimeBreakpointRecord* tickBefore = before && before->time == event->time ? before : nullptr;
    TimeBreakpointRecord* tickAfter = tickBefore ? tickBefore->tickNext : events.first;
    event->tickPrev = tickBefore;
    event->tickNext = tickAfter;
    (tickBefore ? tickBefore->tickNext : events.first) = event;
    (tickAfter ? tickAfter->tickPrev : events.last) = event;
    LinkOutput(chain, event);
    event->indexGeneration = index.generation;
    ++index.count;
    return before;
}

void UnindexEvent(NodeEventIndex& index, TimeBreakpointRecord* event)
{
    if (!Indexed(index, event)) return;
    TimeBreakpointRecord* before = event->tickPrev;
    TimeBreakpointRecord* after = event->tickNext;
    if (before) before->tickNext = after;
    if (after) after->tickPrev = before;
    if (!before || !after) {
        if (TickChain* tick = index.byTick.Find(event->time)) {
            if (!before) tick->first = after;
            if (!after) tick->last = before;
            if (!tick->first) index.byTick.Erase(event->time);
        }
    }
    event->tickPrev = event->tickNext = nullptr;
    UnlinkOutput(event);
    event->indexGeneration = 0;
    --index.count;
}

// The index, made again from the queue when the queue was emptied or cut behind its back
// (a cleared device list frees the records without telling the index).
[[gnu::noinline]] void RebuildIndex(NodeEventIndex& index, const LinkedList& queue)
{
    ResetIndex(index);
    for (TimeBreakpointRecord* r = ListHead<TimeBreakpointRecord>(queue); r; r = ListNext(r))
        if (r->nodeEvent) IndexEvent(index, r, index.byOutput[OutputKey(r->word1, r->word2)]);
}

inline NodeEventIndex& Index()
{
    NodeEventIndex& index = RawIndex();
    const LinkedList& queue = Queue();
    if (static_cast<std::size_t>(queue.count) < index.count || (queue.count == 0 && index.count != 0)) [[unlikely]]
        RebuildIndex(index, queue);
    return index;
}

int LinkNodeEvent(NodeEventIndex& index, OutputChain& chain, std::uint32_t time, std::int64_t order, std::uint8_t low,
                  std::uint8_t high, std::int32_t node, std::int32_t device, std::int32_t state)
{
    std::unique_ptr<TimeBreakpointRecord> fresh(new (std::nothrow) TimeBreakpointRecord());
    if (!fresh) return 15002;
    TimeBreakpointRecord* record = fresh.get();
    record->time = time;
    record->order = order;
    record->nodeEvent = true;
    record->eventFlag = 1;
    record->byteA = low;
    record->byteB = high;
    record->word1 = node;
    record->word2 = device;
    record->word3 = state;
    TimeBreakpointRecord* before;
    try {
        before = IndexEvent(index, record, chain);
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    ListLinkAfter(Queue(), PastPlainEntries(before, time, nullptr), fresh.release());
    return 0;
}

}  // namespace

int QueueNodeEvent(std::uint32_t time, std::uint8_t lowStrength, std::uint8_t highStrength, std::int32_t node,
                   std::int32_t device, std::int32_t state, NodeEventEdit* edit)
{
    if (edit) *edit = NodeEventEdit();
    if (static_cast<std::uint64_t>(time) > 2ull * Analysis().digitalEndTick) return 0;
    NodeEventIndex& index = Index();
    OutputChain* chain;
    try {
        chain = &index.byOutput[OutputKey(node, device)];
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    // The output's latest event at the tick, if any, takes the new state.
    TimeBreakpointRecord* event = chain->last;
    while (event && event->time > time) event = event->outputPrev;
    if (event && event->time == time) {
        if (edit) *edit = {event->order, true, event->word3, event->byteA, event->byteB};
        event->word3 = state;
        event->byteA = lowStrength;
        event->byteB = highStrength;
        return 0;
    }
    const std::int64_t order = index.nextOrder++;
    if (int rc = LinkNodeEvent(index, *chain, time, order, lowStrength, highStrength, node, device, state)) return rc;
    if (edit) edit->order = order;
    return 0;
}

int RestoreNodeEvent(std::uint32_t time, std::int64_t order, std::uint8_t lowStrength, std::uint8_t highStrength,
                     std::int32_t node, std::int32_t device, std::int32_t state)
{
    NodeEventIndex& index = Index();
    if (FindNodeEvent(time, order)) return 0;
    OutputChain* chain;
    try {
        chain = &index.byOutput[OutputKey(node, device)];
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    return LinkNodeEvent(index, *chain, time, order, lowStrength, highStrength, node, device, state);
}

void DueNodeEvents(std::uint32_t time, std::vector<TimeBreakpointRecord*>& events)
{
    events.clear();
    Index().byTick.UpTo(time, [&](const TickChain& chain) {
        for (TimeBreakpointRecord* event = chain.first; event; event = event->tickNext) events.push_back(event);
    });
}

TimeBreakpointRecord* FirstNodeEvent()
{
    NodeEventIndex& index = Index();
    const TickChain* first = index.byTick.First();
    return first ? first->first : nullptr;
}

TimeBreakpointRecord* FindNodeEvent(std::uint32_t time, std::int64_t order)
{
    NodeEventIndex& index = Index();
    const TickChain* tick = index.byTick.Find(time);
    if (!tick) return nullptr;
    for (TimeBreakpointRecord* event = tick->last; event && event->order >= order; event = event->tickPrev)
        if (event->order == order) return event;
    return nullptr;
}

std::vector<TimeBreakpointRecord*> NodeEventsOf(std::int32_t node, std::int32_t device)
{
    std::vector<TimeBreakpointRecord*> events;
    NodeEventIndex& index = Index();
    if (const OutputChain* output = index.byOutput.Find(OutputKey(node, device)))
        for (TimeBreakpointRecord* event = output->first; event; event = event->outputNext)
            events.push_back(event);
    return events;
}

void RemoveNodeEvent(TimeBreakpointRecord* event)
{
    if (!event) return;
    NodeEventIndex& index = Index();
    LinkedList& queue = Queue();
    if (!Indexed(index, event)) {
        ListRemove(queue, event);
        return;
    }
    // The entry before it, found through the index rather than by a walk from the head (the
    // events applied at a time point are usually at the head already).
    TimeBreakpointRecord* before = nullptr;
    if (queue.head != event) {
        TimeBreakpointRecord* previous = event->tickPrev;
        if (!previous)
            if (const TickChain* earlier = index.byTick.Before(event->time)) previous = earlier->last;
        before = PastPlainEntries(previous, event->time, event);
    }
    UnindexEvent(index, event);
    if (before ? before->next != event : queue.head != event) {
        ListRemove(queue, event);  // not where the index says: the list's own walk finds it
        return;
    }
    if (before)
        before->next = event->next;
    else
        queue.head = event->next;
    if (queue.tail == event) queue.tail = before;
    --queue.count;
    event->next = nullptr;
    delete event;
}

void SetNodeEventNode(TimeBreakpointRecord* event, std::int32_t node)
{
    NodeEventIndex& index = Index();
    if (!Indexed(index, event)) {
        event->word1 = node;
        return;
    }
    // Its place among the tick's events stays; only its output chain changes.
    OutputChain* chain = nullptr;
    try {
        chain = &index.byOutput[OutputKey(node, event->word2)];
    } catch (const std::bad_alloc&) {
        // Without an output chain the event can no longer be edited, but it still applies.
    }
    UnlinkOutput(event);
    event->word1 = node;
    if (chain) LinkOutput(*chain, event);
}

void ForgetNodeEvent(const TimeBreakpointRecord* event)
{
    if (event && event->nodeEvent) UnindexEvent(RawIndex(), const_cast<TimeBreakpointRecord*>(event));
}

void ClearNodeEventIndex()
{
    ResetIndex(RawIndex());
}

std::size_t NodeEventCount()
{
    return Index().count;
}

namespace {

FreeBlocks freeRecords{kKeptBlocks};

}  // namespace

void* TimeBreakpointRecord::operator new(std::size_t size)
{
    if (void* p = operator new(size, std::nothrow)) return p;
    throw std::bad_alloc();
}

void* TimeBreakpointRecord::operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (size == sizeof(TimeBreakpointRecord))
        if (void* p = freeRecords.Take()) return p;
    return ::operator new(std::max(size, sizeof(TimeBreakpointRecord)), std::nothrow);
}

void TimeBreakpointRecord::operator delete(void* p) noexcept
{
    if (p && !freeRecords.Keep(p)) ::operator delete(p);
}

void TimeBreakpointRecord::operator delete(void* p, const std::nothrow_t&) noexcept
{
    operator delete(p);
}

AnalysisState& Analysis()
{
    return State();
}

void ResetAnalysisStateForTests()
{
    // Compiled expressions keep addresses into the state, so it is reset in place.
    State() = AnalysisState();
    ClearNodeEventIndex();
}

double ClampedExp(double x)
{
    return std::exp(std::clamp(x, -150.0, 150.0));
}

int EquationCount()
{
    return Analysis().equationCount;
}

int AddTimeBreakpoint(std::uint32_t time, std::uint8_t byteA, std::uint8_t byteB, int mode,
                      std::int32_t word1, std::int32_t word2, std::int32_t word3)
{
    if (mode == 1)
        return QueueNodeEvent(time, byteA, byteB, word1, word2, word3);
    if (static_cast<std::uint64_t>(time) > 2ull * Analysis().digitalEndTick) return 0;
    LinkedList& queue = DeviceList(kTimeBreakpointList);

    TimeBreakpointRecord* before = nullptr;
    TimeBreakpointRecord* after = ListHead<TimeBreakpointRecord>(queue);
    for (; after; before = after, after = ListNext(after)) {
        if (mode == 0 && !after->nodeEvent && time != 0 && TickDistance(time, after->time) <= kMergeTicks) return 0;
        if (time < after->time) break;
    }
    std::unique_ptr<TimeBreakpointRecord> fresh(new (std::nothrow) TimeBreakpointRecord());
    if (!fresh) return 15002;
    TimeBreakpointRecord* record = fresh.release();
    ListLinkAfter(queue, before, record);
    record->time = time;
    record->byteA = byteA;
    record->byteB = byteB;
    return 0;
}

}  // namespace kq5
