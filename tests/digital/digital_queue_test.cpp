// The node-event queue against a plain model: random queueing, take-overs, removals,
// restorations at old places, node changes, plain breakpoints and head removals, with every
// view of the queue (list order, per-output events, due events, look-ups) checked after each
// operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "core/device_lists.h"

namespace kq5::testing {
namespace {

struct ModelEvent {
    std::uint32_t time;
    std::int64_t order;
    std::int32_t node, device, state;
    bool operator<(const ModelEvent& o) const { return std::tie(time, order) < std::tie(o.time, o.order); }
    bool operator==(const ModelEvent& o) const
    {
        return time == o.time && order == o.order && node == o.node && device == o.device && state == o.state;
    }
};

ModelEvent Read(const TimeBreakpointRecord* r) { return {r->time, r->order, r->word1, r->word2, r->word3}; }

class QueueModel {
public:
    std::vector<ModelEvent> events;  // kept sorted by (time, order)

    void Check(const char* step) const
    {
        SCOPED_TRACE(step);
        // The list: ticks never decrease, and its node events are the model's in order.
        std::vector<ModelEvent> listed;
        std::uint32_t last = 0;
        int count = 0;
        const LinkedList& queue = DeviceList(kTimeBreakpointList);
        for (auto* r = ListHead<TimeBreakpointRecord>(queue); r; r = ListNext(r)) {
            ++count;
            ASSERT_GE(r->time, last);
            last = r->time;
            if (r->nodeEvent) listed.push_back(Read(r));
            if (!ListNext(r)) {
                ASSERT_EQ(queue.tail, r);
            }
        }
        ASSERT_EQ(count, queue.count);
        ASSERT_EQ(listed, events);
        ASSERT_EQ(NodeEventCount(), events.size());
        TimeBreakpointRecord* first = FirstNodeEvent();
        if (events.empty()) {
            ASSERT_EQ(first, nullptr);
        } else {
            ASSERT_NE(first, nullptr);
            ASSERT_EQ(Read(first), events.front());
        }
        // Per output, the due events and the look-ups.
        for (const ModelEvent& e : events) {
            std::vector<ModelEvent> own, got;
            for (const ModelEvent& o : events)
                if (o.node == e.node && o.device == e.device) own.push_back(o);
            for (auto* r : NodeEventsOf(e.node, e.device)) got.push_back(Read(r));
            ASSERT_EQ(got, own);
            TimeBreakpointRecord* found = FindNodeEvent(e.time, e.order);
            ASSERT_NE(found, nullptr);
            ASSERT_EQ(Read(found), e);
        }
        if (!events.empty()) {
            const std::uint32_t t = events[events.size() / 2].time;
            std::vector<TimeBreakpointRecord*> due;
            DueNodeEvents(t, due);
            std::vector<ModelEvent> got, want;
            for (auto* r : due) got.push_back(Read(r));
            for (const ModelEvent& e : events)
                if (e.time <= t) want.push_back(e);
            ASSERT_EQ(got, want);
        }
    }
};

// Random edits over `ticks` ticks, checked against the model after each one.
void RunRandomEdits(std::uint32_t ticks, int steps, unsigned seed)
{
    ResetDeviceListsForTests();
    ResetAnalysisStateForTests();
    std::mt19937 random(seed);
    QueueModel model;
    std::vector<ModelEvent> removed;
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int step = 0; step < steps; ++step) {
        const int op = pick(100);
        if (op < 45) {
            // Few nodes, devices and ticks, so that take-overs and shared ticks are common.
            const std::uint32_t time = static_cast<std::uint32_t>(pick(static_cast<int>(ticks)));
            const std::int32_t node = 1 + pick(4), device = 1 + pick(3), state = pick(1000);
            NodeEventEdit edit;
            ASSERT_EQ(QueueNodeEvent(time, 1, 2, node, device, state, &edit), 0);
            if (edit.overwritten) {
                auto it = std::find_if(model.events.rbegin(), model.events.rend(), [&](const ModelEvent& e) {
                    return e.time == time && e.node == node && e.device == device;
                });
                ASSERT_NE(it, model.events.rend());
                ASSERT_EQ(it->order, edit.order);
                it->state = state;
            } else {
                for (const ModelEvent& e : model.events)
                    ASSERT_FALSE(e.time == time && e.node == node && e.device == device);
                model.events.push_back({time, edit.order, node, device, state});
                std::sort(model.events.begin(), model.events.end());
            }
        } else if (op < 65 && !model.events.empty()) {
            const std::size_t i = static_cast<std::size_t>(pick(static_cast<int>(model.events.size())));
            const ModelEvent e = model.events[i];
            RemoveNodeEvent(FindNodeEvent(e.time, e.order));
            model.events.erase(model.events.begin() + static_cast<std::ptrdiff_t>(i));
            removed.push_back(e);
        } else if (op < 75 && !removed.empty()) {
            // A rejected step puts an event back at its old place among its tick's events.
            const std::size_t i = static_cast<std::size_t>(pick(static_cast<int>(removed.size())));
            const ModelEvent e = removed[i];
            removed.erase(removed.begin() + static_cast<std::ptrdiff_t>(i));
            ASSERT_EQ(RestoreNodeEvent(e.time, e.order, 1, 2, e.node, e.device, e.state), 0);
            model.events.push_back(e);
            std::sort(model.events.begin(), model.events.end());
        } else if (op < 83 && !model.events.empty()) {
            ModelEvent& e = model.events[static_cast<std::size_t>(pick(static_cast<int>(model.events.size())))];
            const std::int32_t node = pick(5);  // 0 disables it
            SetNodeEventNode(FindNodeEvent(e.time, e.order), node);
            e.node = node;
        } else if (op < 93) {
            ASSERT_EQ(AddTimeBreakpoint(static_cast<std::uint32_t>(pick(static_cast<int>(ticks + ticks / 3)))), 0);
        } else if (op < 97) {
            const LinkedList& queue = DeviceList(kTimeBreakpointList);
            if (queue.head) {
                const auto* head = static_cast<const TimeBreakpointRecord*>(queue.head);
                if (head->nodeEvent) {
                    auto it = std::find(model.events.begin(), model.events.end(), Read(head));
                    ASSERT_NE(it, model.events.end());
                    model.events.erase(it);
                }
                RemoveFirstTimeBreakpoint();
            }
        } else {
            // The events due at the first tick leave as the event processing takes them.
            if (TimeBreakpointRecord* first = FirstNodeEvent()) {
                std::vector<TimeBreakpointRecord*> due;
                DueNodeEvents(first->time, due);
                for (TimeBreakpointRecord* r : due) {
                    model.events.erase(std::find(model.events.begin(), model.events.end(), Read(r)));
                    RemoveNodeEvent(r);
                }
            }
        }
        model.Check(("step " + std::to_string(step)).c_str());
        if (::testing::Test::HasFatalFailure()) return;
    }
    // Emptying the queue behind the index's back leaves no stale entries.
    ClearTimeBreakpoints();
    model.events.clear();
    model.Check("cleared");
    ASSERT_EQ(QueueNodeEvent(3, 1, 2, 1, 1, 5), 0);
    EXPECT_EQ(NodeEventCount(), 1u);
    ResetDeviceListsForTests();
    EXPECT_EQ(NodeEventCount(), 0u);
    EXPECT_EQ(FirstNodeEvent(), nullptr);
}

TEST(DigitalQueue, RandomEditsKeepEveryViewInStep)
{
    RunRandomEdits(60, 4000, 18);
}

// More ticks than the index keeps near the head: events move between its short array and its
// tree as ticks come and go, and neighbours are found across the two.
TEST(DigitalQueue, RandomEditsOverManyTicksKeepEveryViewInStep)
{
    RunRandomEdits(400, 1500, 7);
    if (::testing::Test::HasFatalFailure()) return;
    RunRandomEdits(3000, 1500, 11);
}

// A stimulus queues its whole future at run start, in time order; the events then leave from
// the head while gates queue just after the present tick.
TEST(DigitalQueue, StimulusFutureAndGateEventsTakenInOrder)
{
    ResetDeviceListsForTests();
    ResetAnalysisStateForTests();
    for (std::uint32_t v = 0; v < 200; ++v)
        for (std::int32_t input = 1; input <= 3; ++input) ASSERT_EQ(QueueNodeEvent(v * 10, 1, 2, input, 1, 0), 0);
    std::vector<std::pair<std::uint32_t, std::int32_t>> taken;
    std::vector<TimeBreakpointRecord*> due;
    while (TimeBreakpointRecord* first = FirstNodeEvent()) {
        const std::uint32_t now = first->time;
        DueNodeEvents(now, due);
        for (TimeBreakpointRecord* r : due) {
            taken.emplace_back(r->time, r->word1);
            // A stimulus input feeds a gate (node 10 + input) that answers two ticks later.
            if (r->word1 <= 3) {
                ASSERT_EQ(QueueNodeEvent(now + 2, 1, 2, 10 + r->word1, 2, 0), 0);
            }
            RemoveNodeEvent(r);
        }
    }
    ASSERT_EQ(taken.size(), 1200u);
    for (std::size_t i = 0; i < taken.size(); ++i) {
        const std::uint32_t v = static_cast<std::uint32_t>(i / 6), k = static_cast<std::uint32_t>(i % 6);
        EXPECT_EQ(taken[i].first, v * 10 + (k < 3 ? 0 : 2)) << i;
        EXPECT_EQ(taken[i].second, static_cast<std::int32_t>(k < 3 ? k + 1 : 10 + k - 2)) << i;
    }
    EXPECT_EQ(NodeEventCount(), 0u);
}

}  // namespace
}  // namespace kq5::testing
