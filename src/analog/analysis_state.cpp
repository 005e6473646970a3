#include "analog/analysis_state.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <unordered_map>

#include "core/device_lists.h"

namespace kq5 {

namespace {

AnalysisState& State()
{
    static AnalysisState state;
    return state;
}

std::uint32_t TickDistance(std::uint32_t a, std::uint32_t b)
{
    return a > b ? a - b : b - a;
}

// Entries closer than this are one landing point of the time loop.
constexpr std::uint32_t kMergeTicks = 10;

// The index of the node events in the queue: by (tick, order) and by output.
using EventKey = std::pair<std::uint32_t, std::int64_t>;
struct NodeEventIndex {
    std::map<EventKey, TimeBreakpointRecord*> byTime;
    std::unordered_map<std::uint64_t, std::map<EventKey, TimeBreakpointRecord*>> byOutput;
    std::int64_t nextOrder = 1;
};

NodeEventIndex& RawIndex()
{
    static NodeEventIndex index;
    return index;
}

std::uint64_t OutputKey(std::int32_t node, std::int32_t device)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(node)) << 32) | static_cast<std::uint32_t>(device);
}

void IndexEvent(NodeEventIndex& index, TimeBreakpointRecord* event)
{
    const EventKey key{event->time, event->order};
    index.byTime[key] = event;
    index.byOutput[OutputKey(event->word1, event->word2)][key] = event;
}

void UnindexEvent(NodeEventIndex& index, const TimeBreakpointRecord* event)
{
    const EventKey key{event->time, event->order};
    index.byTime.erase(key);
    auto it = index.byOutput.find(OutputKey(event->word1, event->word2));
    if (it != index.byOutput.end()) {
        it->second.erase(key);
        if (it->second.empty()) index.byOutput.erase(it);
    }
}

// The index, made again from the queue when the queue was emptied or cut behind its back
// (a cleared device list frees the records without telling the index).
NodeEventIndex& Index()
{
    NodeEventIndex& index = RawIndex();
    const LinkedList& queue = DeviceList(kTimeBreakpointList);
    if (static_cast<std::size_t>(queue.count) < index.byTime.size() || (queue.count == 0 && !index.byTime.empty())) {
        index.byTime.clear();
        index.byOutput.clear();
        for (TimeBreakpointRecord* r = ListHead<TimeBreakpointRecord>(queue); r; r = ListNext(r))
            if (r->nodeEvent) IndexEvent(index, r);
    }
    return index;
}

// The queue entry just before the event's place: the node event before it in the index,
// then past the plain entries of earlier or equal ticks.
TimeBreakpointRecord* PlaceBefore(NodeEventIndex& index, std::uint32_t time, std::int64_t order,
                                  const TimeBreakpointRecord* self)
{
    LinkedList& queue = DeviceList(kTimeBreakpointList);
    auto it = index.byTime.lower_bound({time, order});
    TimeBreakpointRecord* before = it == index.byTime.begin() ? nullptr : std::prev(it)->second;
    TimeBreakpointRecord* after = before ? ListNext(before) : ListHead<TimeBreakpointRecord>(queue);
    while (after && after != self && !after->nodeEvent && after->time <= time) {
        before = after;
        after = ListNext(after);
    }
    return before;
}

int LinkNodeEvent(NodeEventIndex& index, std::uint32_t time, std::int64_t order, std::uint8_t low, std::uint8_t high,
                  std::int32_t node, std::int32_t device, std::int32_t state)
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
    TimeBreakpointRecord* before = PlaceBefore(index, time, order, nullptr);
    try {
        IndexEvent(index, record);
    } catch (const std::bad_alloc&) {
        UnindexEvent(index, record);
        return 15002;
    }
    ListLinkAfter(DeviceList(kTimeBreakpointList), before, fresh.release());
    return 0;
}

}  // namespace

int QueueNodeEvent(std::uint32_t time, std::uint8_t lowStrength, std::uint8_t highStrength, std::int32_t node,
                   std::int32_t device, std::int32_t state, NodeEventEdit* edit)
{
    if (edit) *edit = NodeEventEdit();
    if (static_cast<std::uint64_t>(time) > 2ull * Analysis().digitalEndTick) return 0;
    NodeEventIndex& index = Index();
    auto output = index.byOutput.find(OutputKey(node, device));
    if (output != index.byOutput.end()) {
        auto it = output->second.lower_bound({time + 1ull > std::numeric_limits<std::uint32_t>::max() ? time : time + 1,
                                              std::numeric_limits<std::int64_t>::min()});
        if (time == std::numeric_limits<std::uint32_t>::max()) it = output->second.end();
        if (it != output->second.begin() && std::prev(it)->first.first == time) {
            TimeBreakpointRecord* event = std::prev(it)->second;
            if (edit) *edit = {event->order, true, event->word3, event->byteA, event->byteB};
            event->word3 = state;
            event->byteA = lowStrength;
            event->byteB = highStrength;
            return 0;
        }
    }
    const std::int64_t order = index.nextOrder++;
    if (int rc = LinkNodeEvent(index, time, order, lowStrength, highStrength, node, device, state)) return rc;
    if (edit) edit->order = order;
    return 0;
}

int RestoreNodeEvent(std::uint32_t time, std::int64_t order, std::uint8_t lowStrength, std::uint8_t highStrength,
                     std::int32_t node, std::int32_t device, std::int32_t state)
{
    NodeEventIndex& index = Index();
    if (index.byTime.count({time, order})) return 0;
    return LinkNodeEvent(index, time, order, lowStrength, highStrength, node, device, state);
}

void DueNodeEvents(std::uint32_t time, std::vector<TimeBreakpointRecord*>& events)
{
    events.clear();
    for (const auto& [key, event] : Index().byTime) {
        if (key.first > time) break;
        events.push_back(event);
    }
}

TimeBreakpointRecord* FirstNodeEvent()
{
    NodeEventIndex& index = Index();
    return index.byTime.empty() ? nullptr : index.byTime.begin()->second;
}

TimeBreakpointRecord* FindNodeEvent(std::uint32_t time, std::int64_t order)
{
    NodeEventIndex& index = Index();
    auto it = index.byTime.find({time, order});
    return it == index.byTime.end() ? nullptr : it->second;
}

std::vector<TimeBreakpointRecord*> NodeEventsOf(std::int32_t node, std::int32_t device)
{
    std::vector<TimeBreakpointRecord*> events;
    NodeEventIndex& index = Index();
    auto output = index.byOutput.find(OutputKey(node, device));
    if (output != index.byOutput.end())
        for (const auto& [key, event] : output->second) events.push_back(event);
    return events;
}

void RemoveNodeEvent(TimeBreakpointRecord* event)
{
    if (!event) return;
    NodeEventIndex& index = Index();
    LinkedList& queue = DeviceList(kTimeBreakpointList);
    // The entry before it, found through the index rather than by a walk from the head (the
    // events applied at a time point are usually at the head already).
    TimeBreakpointRecord* before =
        queue.head == event ? nullptr : PlaceBefore(index, event->time, event->order, event);
    if (before ? before->next != event : queue.head != event) {
        ListRemove(queue, event);  // not where the index says: the list's own walk finds it
        UnindexEvent(index, event);
        return;
    }
    UnindexEvent(index, event);
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
    UnindexEvent(index, event);
    event->word1 = node;
    IndexEvent(index, event);
}

void ForgetNodeEvent(const TimeBreakpointRecord* event)
{
    if (event && event->nodeEvent) UnindexEvent(RawIndex(), event);
}

void ClearNodeEventIndex()
{
    RawIndex().byTime.clear();
    RawIndex().byOutput.clear();
}

std::size_t NodeEventCount()
{
    return Index().byTime.size();
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
