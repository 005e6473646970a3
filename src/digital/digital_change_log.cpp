// The digital time scale, the initial node states, and the two logs from which a step that
// the analog side rejects is undone.
#include <algorithm>
#include <new>

#include "core/analysis_state.h"
#include "core/device_lists.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;
constexpr std::size_t kLogGrowth = 5000;

// A new entry at the end of a log, or null when memory runs out. Entries are filled in place:
// a record assembled field by field elsewhere and then copied whole stalls on every copy.
template <class T>
T* NewEntry(std::vector<T>& log)
{
    try {
        // Doubling: a long step's log grows without copying itself over and over.
        if (log.size() == log.capacity()) log.reserve(std::max(kLogGrowth, 2 * log.capacity()));
        return &log.emplace_back();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void SetNodeAll(DigitalDeviceTables& d, int node, std::uint16_t state)
{
    if (node <= 0 || static_cast<std::size_t>(node) >= d.current.size()) return;
    const std::size_t i = static_cast<std::size_t>(node);
    d.current[i] = d.previous[i] = d.scheduled[i] = state;
}

void UndoChange(DigitalDeviceTables& d, const DigitalChangeRecord& r)
{
    switch (r.kind) {
    case kChangeQueued:
        if (r.order != 0) {
            TimeBreakpointRecord* event = FindNodeEvent(r.time, r.order);
            if (r.overwritten) {
                if (event) {
                    event->word3 = r.eventState;
                    event->byteA = r.eventLow;
                    event->byteB = r.eventHigh;
                }
            } else {
                RemoveNodeEvent(event);
            }
        }
        break;
    case kChangeTaken:
    case kChangeRemoved:
        RestoreNodeEvent(r.time, r.order, r.eventLow, r.eventHigh, r.eventNode, r.device, r.eventState);
        break;
    case kChangeEdited:
        if (TimeBreakpointRecord* event = FindNodeEvent(r.time, r.order)) {
            if (event->word1 != r.eventNode) SetNodeEventNode(event, r.eventNode);
            event->word3 = r.eventState;
        }
        break;
    default: break;
    }
    if (r.node > 0) {
        const std::size_t i = static_cast<std::size_t>(r.node);
        d.current[i] = r.nodeStateBefore;
        d.scheduled[i] = r.scheduled;
        d.previous[i] = r.previous;
    }
    if (r.output >= 0) {
        const std::size_t o = static_cast<std::size_t>(r.output);
        d.outputCurrent[o] = r.outputCurrent;
        d.outputScheduled[o] = r.outputScheduled;
        d.outputTime[o] = r.outputTime;
    }
}

void UndoSnapshot(DigitalDeviceTables& d, const DigitalNodeSnapshot& r)
{
    const std::size_t i = static_cast<std::size_t>(r.node);
    d.current[i] = r.nodeState;
    d.scheduled[i] = r.scheduled;
    d.previous[i] = r.previous;
    const std::size_t dev = static_cast<std::size_t>(r.device);
    if (r.device > 0 && dev < d.lowStrength.size()) {
        d.lowStrength[dev] = r.lowStrength;
        d.highStrength[dev] = r.highStrength;
        for (int s = d.driverStart[i]; s < d.driverStart[i + 1]; ++s)
            if (d.driverDevice[static_cast<std::size_t>(s)] == r.device)
                d.outputCurrent[static_cast<std::size_t>(d.driverOutput[static_cast<std::size_t>(s)])] = r.outputCurrent;
    }
}

}  // namespace

void InitDigitalTimeScale(double analogTime, double tick)
{
    DigitalDeviceTables& d = DigitalSimulator();
    d.origin = analogTime;
    d.timeUnit = tick;
    d.endTime = 1000000000u;
    d.now = 0;
}

void InitDigitalNodeStates(bool outputs)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (outputs) {
        for (int dev = 1; dev <= d.deviceCount; ++dev) {
            const std::size_t i = static_cast<std::size_t>(dev);
            const int p = d.primitive[i];
            std::uint16_t state = kStateX63;
            // The array values with no connected term.
            if (p == kComponentPullup || p == 101 || p == 105 || p == 106 || p == 107 || p == 111 || p == 112)
                state = MakeDigitalState(kState1, d.highStrength[i]);
            else if (p == kComponentPulldn || p == 102 || p == 103 || p == 104 || p == 108 || p == 109 || p == 110)
                state = MakeDigitalState(kState0, d.lowStrength[i]);
            const int n = DeviceOutputCount(d, dev);
            for (int k = 1; k <= n; ++k) {
                d.outputCurrent[static_cast<std::size_t>(DeviceOutputIndex(d, dev, k))] = state;
                d.outputScheduled[static_cast<std::size_t>(DeviceOutputIndex(d, dev, k))] = state;
                d.outputTime[static_cast<std::size_t>(DeviceOutputIndex(d, dev, k))] = 0;
                SetNodeAll(d, DeviceOutputNode(d, dev, k), state);
            }
        }
    }
    SetNodeAll(d, d.nodeHigh, kState163);
    SetNodeAll(d, d.nodeLow, kState063);
    SetNodeAll(d, d.nodeUnknown, kStateX63);
    d.warningCount = 0;
}

int ResetDigitalChangeLog()
{
    DigitalDeviceTables& d = DigitalSimulator();
    d.changeLog.clear();
    d.snapshots.clear();
    return 0;
}

int LogNodeSnapshot(int node, int device, std::uint32_t time, std::uint16_t state)
{
    DigitalDeviceTables& d = DigitalSimulator();
    DigitalNodeSnapshot* r = NewEntry(d.snapshots);
    if (!r) return kMsgInsufficientMemory;
    r->node = node;
    r->device = device;
    r->state = state;
    r->time = time;
    const std::size_t i = static_cast<std::size_t>(node);
    r->nodeState = d.current[i];
    r->scheduled = d.scheduled[i];
    r->previous = d.previous[i];
    r->sequence = ++d.logSequence;
    const std::size_t dev = static_cast<std::size_t>(device);
    if (device > 0) {
        r->lowStrength = d.lowStrength[dev];
        r->highStrength = d.highStrength[dev];
        const int output = OutputOnNode(d, device, node);
        if (output >= 0) r->outputCurrent = d.outputCurrent[static_cast<std::size_t>(output)];
    }
    return 0;
}

std::uint32_t PendingEventTime(int node, int device)
{
    const std::vector<TimeBreakpointRecord*> events = NodeEventsOf(node, device);
    return events.empty() ? 0 : events.front()->time;
}

void RollBackDigitalStep()
{
    DigitalDeviceTables& d = DigitalSimulator();
    // Both logs are undone together, newest first, so every slot gets back the value it had
    // before the first change of the step.
    std::size_t c = d.changeLog.size(), s = d.snapshots.size();
    while (c > 0 || s > 0) {
        if (s == 0 || (c > 0 && d.changeLog[c - 1].sequence > d.snapshots[s - 1].sequence))
            UndoChange(d, d.changeLog[--c]);
        else
            UndoSnapshot(d, d.snapshots[--s]);
    }
    for (int node : d.changedNodes)
        if (node > 0) d.inChangedList[static_cast<std::size_t>(node)] = 0;
    d.changedNodes.clear();
}

int AddChangedNode(int node)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (d.inChangedList[static_cast<std::size_t>(node)]) return 0;
    try {
        if (d.changedNodes.size() == d.changedNodes.capacity())
            d.changedNodes.reserve(std::max(kLogGrowth, 2 * d.changedNodes.capacity()));
        d.changedNodes.push_back(node);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    d.inChangedList[static_cast<std::size_t>(node)] = 1;
    return 0;
}

DigitalChangeRecord* LogChange(DigitalDeviceTables& d, std::uint32_t time, int node, int device, std::uint16_t kind,
                               int output)
{
    DigitalChangeRecord* r = NewEntry(d.changeLog);
    if (!r) return nullptr;
    r->sequence = ++d.logSequence;
    r->time = time;
    r->node = node;
    r->device = device;
    r->kind = kind;
    const std::size_t i = static_cast<std::size_t>(node);
    r->state = r->nodeStateBefore = d.current[i];
    r->scheduled = d.scheduled[i];
    r->previous = d.previous[i];
    if (device > 0) {
        r->lowStrength = d.lowStrength[static_cast<std::size_t>(device)];
        r->highStrength = d.highStrength[static_cast<std::size_t>(device)];
    }
    r->output = output;
    if (output >= 0) {
        const std::size_t o = static_cast<std::size_t>(output);
        r->outputCurrent = d.outputCurrent[o];
        r->outputScheduled = d.outputScheduled[o];
        r->outputTime = d.outputTime[o];
    }
    return r;
}

void DropLastChange(DigitalDeviceTables& d)
{
    d.changeLog.pop_back();
    --d.logSequence;
}

int QueueLoggedNodeEvent(DigitalDeviceTables& d, std::uint32_t time, std::uint8_t lowStrength, std::uint8_t highStrength,
                         int node, int device, std::uint16_t state, int output)
{
    // The record comes first: a change that could not be undone is never made.
    DigitalChangeRecord* r = LogChange(d, time, node, device, kChangeQueued, output);
    if (!r) return kMsgInsufficientMemory;
    NodeEventEdit edit;
    if (int rc = QueueNodeEvent(time, lowStrength, highStrength, node, device, state, &edit)) {
        DropLastChange(d);
        return rc;
    }
    r->order = edit.order;
    r->overwritten = edit.overwritten;
    r->eventState = edit.oldState;
    r->eventLow = edit.oldLow;
    r->eventHigh = edit.oldHigh;
    return 0;
}

}  // namespace kq5
