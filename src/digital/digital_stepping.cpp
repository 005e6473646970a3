// The digital side of a time point and of the operating point: events due at a tick are
// applied, their zero-delay consequences settled, and the fan-out of every changed node
// evaluated until nothing changes.
#include <algorithm>

#include "core/analysis_state.h"
#include "digital/digital_engine.h"
#include "digital/digital_interfaces.h"
#include "core/digital_logic_tables.h"
#include "document/component_types.h"
#include "netlist/spice_reader_state.h"

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;

int EvaluateReaders(std::uint32_t time, int node)
{
    DigitalDeviceTables& d = DigitalSimulator();
    const std::size_t n = static_cast<std::size_t>(node);
    if (d.interfaceMark[n]) {
        if (int rc = CheckDtoANode(node)) return rc;
        if (int rc = CheckDacInputs()) return rc;
    }
    for (int s = d.readerStart[n]; s < d.readerStart[n + 1]; ++s) {
        const int device = d.readers[static_cast<std::size_t>(s)];
        if (device > 0)
            if (int rc = EvalDeviceOutputs(time, device)) return rc;
    }
    return 0;
}

// Queues one event of a stimulus device; with logged, as a change that a rejected step takes
// back. 0 or 15002.
int QueueStimulusEvent(DigitalDeviceTables& d, int dev, const StimulusEvent& e, bool logged = false)
{
    const int outputs = DeviceOutputCount(d, dev);
    if (e.output < 0 || e.output >= outputs) return 0;
    const std::size_t i = static_cast<std::size_t>(dev);
    const int node = DeviceOutputNode(d, dev, outputs - e.output);
    std::uint16_t state = e.state;
    if (!e.word) {
        const int level = e.state & 7;
        const int strength = level == kStateZ ? 0 : level == kState0 ? d.workLowStrength[i] : d.workHighStrength[i];
        state = MakeDigitalState(level == kStateZ ? kStateX : level, strength);
    }
    // An undriven output (Z) carries no strength at all.
    const bool driven = StrengthOf(state) != 0;
    const std::uint8_t low = driven ? d.workLowStrength[i] : 0, high = driven ? d.workHighStrength[i] : 0;
    if (!logged) return QueueNodeEvent(e.time, low, high, node, dev, state);
    return QueueLoggedNodeEvent(d, e.time, low, high, node, dev, state, OutputOnNode(d, dev, node));
}

// Queues the stimulus's first instant at the run's start: every event of the first time. A
// long clock or vector list then holds one instant in the queue instead of its whole run.
int QueueFirstStimulusInstant(DigitalDeviceTables& d, int dev, StimulusRecord& stim)
{
    const std::size_t n = stim.events.size();
    stim.queued = 0;
    if (n == 0) return 0;
    const std::uint32_t time = stim.events[0].time;
    for (; stim.queued < n && stim.events[stim.queued].time == time; ++stim.queued)
        if (int rc = QueueStimulusEvent(d, dev, stim.events[stim.queued])) return rc;
    return 0;
}

// After the instant at `time` was taken: queues the stimulus's next instant unless it already
// waits (a rejected step put back the instant before it, which is now taken again). Logged, so
// that a rejected step takes it back as well.
int QueueNextStimulusInstant(DigitalDeviceTables& d, int dev, const StimulusRecord& stim, std::uint32_t time)
{
    const auto next = std::upper_bound(stim.events.begin(), stim.events.end(), time,
                                       [](std::uint32_t t, const StimulusEvent& e) { return t < e.time; });
    if (next == stim.events.end()) return 0;
    const int outputs = DeviceOutputCount(d, dev);
    for (auto e = next; e != stim.events.end() && e->time == next->time; ++e) {
        if (e->output < 0 || e->output >= outputs) continue;
        if (PendingEventTime(DeviceOutputNode(d, dev, outputs - e->output), dev) == e->time) return 0;
        break;
    }
    for (auto e = next; e != stim.events.end() && e->time == next->time; ++e)
        if (int rc = QueueStimulusEvent(d, dev, *e, true)) return rc;
    return 0;
}

// The stimulus record of a device whose outputs the event queue drives, else null.
StimulusRecord* StimulusOf(DigitalDeviceTables& d, int dev)
{
    if (dev <= 0 || dev > d.deviceCount) return nullptr;
    const int p = d.primitive[static_cast<std::size_t>(dev)];
    if (p != kComponentStim && p != kComponentFstim && p != kComponentDigitalSwitch && p != kComponentDigitalState)
        return nullptr;
    return dynamic_cast<StimulusRecord*>(d.record[static_cast<std::size_t>(dev)].get());
}

void EmptyChangedNodes(DigitalDeviceTables& d)
{
    for (int node : d.changedNodes)
        if (node > 0) d.inChangedList[static_cast<std::size_t>(node)] = 0;
    d.changedNodes.clear();
}

}  // namespace

void ForgetTakenStimulusEvents()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        StimulusRecord* stim = StimulusOf(d, dev);
        // Only a stimulus that goes to the queue one instant at a time (its events in time order)
        // and has played its first instant.
        if (!stim || stim->events.size() < 4096 || stim->queued >= stim->events.size()) continue;
        const auto taken = std::lower_bound(stim->events.begin(), stim->events.end(), d.now,
                                            [](const StimulusEvent& e, std::uint32_t t) { return e.time < t; });
        const auto count = static_cast<std::size_t>(taken - stim->events.begin());
        if (count < stim->queued || 2 * count < stim->events.size()) continue;
        stim->events.erase(stim->events.begin(), taken);
        stim->events.shrink_to_fit();
        stim->queued = 0;
    }
}

int PropagateChangedNodes(std::uint32_t time)
{
    DigitalDeviceTables& d = DigitalSimulator();
    // The list grows behind the read position while it is walked.
    for (std::size_t i = 0; i < d.changedNodes.size(); ++i) {
        const int node = d.changedNodes[i];
        if (node <= 0) continue;
        if (int rc = EvaluateReaders(time, node)) return rc;
    }
    return 0;
}

int DigitalOperatingPointPass()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int node = 1; node <= d.nodeCount; ++node)
        if (int rc = EvaluateReaders(0, node)) return rc;
    return 0;
}

int SolveDigitalOperatingPoint()
{
    DigitalDeviceTables& d = DigitalSimulator();
    const bool saved = d.operatingPoint;
    d.operatingPoint = true;
    int passes = 0;
    int rc = 0;
    for (;;) {
        d.stable = true;
        if ((rc = DigitalOperatingPointPass()) != 0) break;
        if (++passes >= d.itl1) {
            rc = kMsgDigitalNoConvergence;
            break;
        }
        if (d.stable) break;
    }
    d.operatingPoint = saved;
    if (rc) return rc;
    for (int node = 1; node <= d.nodeCount; ++node) {
        const std::size_t n = static_cast<std::size_t>(node);
        d.previous[n] = d.scheduled[n] = d.current[n];
    }
    return 0;
}

void CommitChangedNodes()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int node : d.changedNodes)
        if (node > 0) d.previous[static_cast<std::size_t>(node)] = d.current[static_cast<std::size_t>(node)];
}

int ProcessDigitalEventsAt(std::uint32_t time)
{
    DigitalDeviceTables& d = DigitalSimulator();
    static thread_local std::vector<TimeBreakpointRecord*> due;
    d.now = time;
    d.immediateMode = true;
    EmptyChangedNodes(d);
    DueNodeEvents(time, due);
    for (TimeBreakpointRecord* event : due)
        if (event->word1 > 0)
            if (int rc = ResolveNodeDrive(event->byteA, event->byteB, event->word1, event->word2,
                                          static_cast<std::uint16_t>(event->word3), event->time))
                return rc;

    // Settle the changes without delay; delayed ones are neither logged nor queued yet. Where
    // no device changes anything without delay the passes would change nothing.
    d.runFlag = false;
    int passes = 0;
    for (; d.zeroDelayPossible;) {
        if (++passes > d.itl1) {
            d.runFlag = true;
            return kMsgDigitalNoConvergence;
        }
        d.stable = true;
        if (int rc = PropagateChangedNodes(time)) {
            d.runFlag = true;
            return rc;
        }
        if (d.stable) break;
    }
    d.runFlag = true;
    // Nodes that a zero-delay change took away and brought back need no second look; the
    // nodes of the events themselves do (their readers still have to schedule).
    for (TimeBreakpointRecord* event : due)
        if (event->word1 > 0 && d.inChangedList[static_cast<std::size_t>(event->word1)] == 1)
            d.inChangedList[static_cast<std::size_t>(event->word1)] = 2;
    for (int& node : d.changedNodes)
        if (node > 0 && d.inChangedList[static_cast<std::size_t>(node)] != 2 &&
            d.scheduled[static_cast<std::size_t>(node)] == d.current[static_cast<std::size_t>(node)]) {
            d.inChangedList[static_cast<std::size_t>(node)] = 0;
            node = 0;
        }

    // Without settling passes the nodes still hold what the first resolution gave them.
    const bool resolveAgain = d.zeroDelayPossible;
    static thread_local std::vector<int> stimuli;
    stimuli.clear();
    for (TimeBreakpointRecord* event : due) {
        if (resolveAgain && event->word1 > 0)
            if (int rc = ResolveNodeDrive(event->byteA, event->byteB, event->word1, event->word2,
                                          static_cast<std::uint16_t>(event->word3), event->time))
                return rc;
        const int node = event->word1 > 0 ? event->word1 : 0;
        DigitalChangeRecord* r =
            LogChange(d, event->time, node, event->word2, kChangeTaken, OutputOnNode(d, event->word2, node));
        if (!r) return kMsgInsufficientMemory;
        r->state = static_cast<std::uint16_t>(event->word3);
        r->lowStrength = r->eventLow = event->byteA;
        r->highStrength = r->eventHigh = event->byteB;
        r->eventState = event->word3;
        r->eventNode = event->word1;
        r->order = event->order;
        if (stimuli.empty() || stimuli.back() != event->word2) stimuli.push_back(event->word2);
        RemoveNodeEvent(event);
        ++d.eventsApplied;
    }
    // A stimulus whose instant was taken queues its next one.
    for (int dev : stimuli)
        if (const StimulusRecord* stim = StimulusOf(d, dev); stim && stim->queued < stim->events.size())
            if (int rc = QueueNextStimulusInstant(d, dev, *stim, time)) return rc;
    const int rc = PropagateChangedNodes(time);
    CommitChangedNodes();
    return rc;
}

void ApplyTimeZeroEvents()
{
    DigitalDeviceTables& d = DigitalSimulator();
    std::vector<TimeBreakpointRecord*> due;
    DueNodeEvents(0, due);
    for (TimeBreakpointRecord* event : due) {
        if (event->word1 <= 0) continue;
        const std::uint16_t state = static_cast<std::uint16_t>((event->word3 & 7) | kFullStrength);
        const std::size_t n = static_cast<std::size_t>(event->word1);
        d.current[n] = d.previous[n] = d.scheduled[n] = state;
        const int output = OutputOnNode(d, event->word2, event->word1);
        if (output >= 0) d.outputScheduled[static_cast<std::size_t>(output)] = state;
    }
}

void DigitalStepNoOp() {}

namespace {

// The nodes an initial state holds through the operating point of the run.
std::vector<int> heldNodes;

}  // namespace

bool DigitalNodeHeld(int node) { return std::find(heldNodes.begin(), heldNodes.end(), node) != heldNodes.end(); }

void HoldDigitalNodeState(int node, std::uint16_t state)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (node <= 0 || node > d.nodeCount) return;
    const std::size_t n = static_cast<std::size_t>(node);
    d.current[n] = d.previous[n] = d.scheduled[n] = state;
    if (!DigitalNodeHeld(node)) heldNodes.push_back(node);
}

void HoldInitialDigitalStates()
{
    heldNodes.clear();
    for (const InitialConditionEntry& row : NetlistReader().initialConditions.entries)
        if (row.letter == 'D')
            HoldDigitalNodeState(row.nodeA, MakeDigitalState(row.digitalState & 7, 63));
}

int ReleaseHeldDigitalNodes(std::uint32_t tick)
{
    if (heldNodes.empty()) return 0;
    DigitalDeviceTables& d = DigitalSimulator();
    const std::vector<int> released = std::move(heldNodes);
    heldNodes.clear();
    d.now = tick;
    // Each driver leaves the held state: its output stands there, so that the delay it takes
    // away from it is that of the change it makes.
    for (int node : released) {
        const std::size_t n = static_cast<std::size_t>(node);
        for (int s = d.driverStart[n]; s < d.driverStart[n + 1]; ++s) {
            const std::size_t o = static_cast<std::size_t>(d.driverOutput[static_cast<std::size_t>(s)]);
            if (d.driverDevice[static_cast<std::size_t>(s)] > 0 && o < d.outputCurrent.size())
                d.outputCurrent[o] = d.outputScheduled[o] = d.current[n];
        }
    }
    for (int node : released) {
        const std::size_t n = static_cast<std::size_t>(node);
        for (int s = d.driverStart[n]; s < d.driverStart[n + 1]; ++s)
            if (const int device = d.driverDevice[static_cast<std::size_t>(s)]; device > 0)
                if (int rc = EvalDeviceOutputs(tick, device)) return rc;
    }
    return 0;
}

namespace {

// Sets a stimulus's nodes to the values it drives at time 0.
void SetStartingStates(DigitalDeviceTables& d, int dev, const StimulusRecord& stim)
{
    const int outputs = DeviceOutputCount(d, dev);
    const std::size_t i = static_cast<std::size_t>(dev);
    for (const StimulusEvent& e : stim.events) {
        if (e.time != 0 || e.output < 0 || e.output >= outputs) continue;
        const int node = DeviceOutputNode(d, dev, outputs - e.output);
        if (node <= 0 || static_cast<std::size_t>(node) >= d.current.size()) continue;
        std::uint16_t state = e.state;
        if (!e.word) {
            const int level = e.state & 7;
            const int strength = level == kStateZ ? 0 : level == kState0 ? d.workLowStrength[i] : d.workHighStrength[i];
            state = MakeDigitalState(level == kStateZ ? kStateX : level, strength);
        }
        const std::size_t n = static_cast<std::size_t>(node);
        d.current[n] = d.previous[n] = d.scheduled[n] = state;
        const std::size_t o = static_cast<std::size_t>(DeviceOutputIndex(d, dev, outputs - e.output));
        if (o < d.outputCurrent.size()) d.outputCurrent[o] = d.outputScheduled[o] = state;
    }
}

}  // namespace

void SetStimulusStartingStates()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev = 1; dev <= d.deviceCount; ++dev)
        if (const auto* stim = dynamic_cast<const StimulusRecord*>(d.record[static_cast<std::size_t>(dev)].get()))
            SetStartingStates(d, dev, *stim);
}

int QueueStimulusEvents()
{
    DigitalDeviceTables& d = DigitalSimulator();
    // AC and DC analyses have no time axis: each stimulus holds the value it starts with, set
    // on its nodes before the operating point, and nothing later is played.
    const int kind = Analysis().analysisKind;
    const bool steady = kind == kAnalysisAc || kind == kAnalysisDc;
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        auto* stim = dynamic_cast<StimulusRecord*>(d.record[static_cast<std::size_t>(dev)].get());
        if (!stim) continue;
        stim->queued = 0;
        if (steady) {
            SetStartingStates(d, dev, *stim);
            continue;
        }
        // Events out of time order cannot wait for the instant before them: all go at once.
        const bool ordered = std::is_sorted(stim->events.begin(), stim->events.end(),
                                            [](const StimulusEvent& a, const StimulusEvent& b) { return a.time < b.time; });
        if (ordered && StimulusOf(d, dev) == stim) {
            if (int rc = QueueFirstStimulusInstant(d, dev, *stim)) return rc;
            continue;
        }
        for (; stim->queued < stim->events.size(); ++stim->queued)
            if (int rc = QueueStimulusEvent(d, dev, stim->events[stim->queued])) return rc;
    }
    return 0;
}

}  // namespace kq5
