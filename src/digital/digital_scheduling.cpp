// Output scheduling: the delay of a transition, the queued change and its log record, the
// edits of pending changes, and the resolution of a node from all its drivers by strength.
#include <algorithm>

#include "core/analysis_state.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "digital/digital_programs.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

constexpr int kNone = -1;
constexpr int kMsgInsufficientMemory = 15002;
// Base index into the gate delay record by old and new level (0 R F 1 X Z).
constexpr int kTransitionBase[6][6] = {
    {kNone, 0, kNone, 0, 0, 6},
    {3, kNone, kNone, 0, 0, 9},
    {3, kNone, kNone, 0, 0, 6},
    {3, kNone, 3, kNone, 3, 9},
    {3, kNone, kNone, 0, kNone, 9},
    {12, kNone, kNone, 15, 12, kNone},
};

int TableLevel(int level) { return level > kStateZ ? static_cast<int>(kStateX) : level; }

int Entry(const std::vector<std::int32_t>& record, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < record.size() ? record[static_cast<std::size_t>(index)] : 0;
}

void SetOutputScheduled(DigitalDeviceTables& d, int output, std::uint16_t state, std::uint32_t time)
{
    if (output < 0) return;
    d.outputScheduled[static_cast<std::size_t>(output)] = state;
    d.outputTime[static_cast<std::size_t>(output)] = time;
}

// Logs the slots of the output before an edit that changes no queue entry.
int LogSlots(DigitalDeviceTables& d, int node, int device)
{
    if (!d.runFlag) return 0;
    return LogChange(d, d.now, node, device, kChangeEdited, OutputOnNode(d, device, node)) ? 0 : kMsgInsufficientMemory;
}

int RemoveLogged(DigitalDeviceTables& d, TimeBreakpointRecord* event, int node, int device)
{
    DigitalChangeRecord* r = LogChange(d, event->time, node, device, kChangeRemoved, OutputOnNode(d, device, node));
    if (!r) return kMsgInsufficientMemory;
    r->order = event->order;
    r->eventState = event->word3;
    r->eventNode = event->word1;
    r->eventLow = event->byteA;
    r->eventHigh = event->byteB;
    RemoveNodeEvent(event);
    return 0;
}

std::uint16_t PresentOutput(const DigitalDeviceTables& d, int node, int output)
{
    return output >= 0 ? d.outputCurrent[static_cast<std::size_t>(output)] : d.current[static_cast<std::size_t>(node)];
}

}  // namespace

int TransitionDelay(std::uint16_t oldState, std::uint16_t newState, int lowStrength, int highStrength, int selection,
                    const std::vector<std::int32_t>& delayRecord, bool tristate)
{
    if (delayRecord.empty()) return 0;
    // Only a tristate gate turns its output on and off (Z). A gate of another kind that drives
    // one level without strength (an open collector letting its pull-up take the node) switches
    // with its rise and fall delays.
    int oldLevel = tristate && StrengthOf(oldState) == 0 ? static_cast<int>(kStateZ) : TableLevel(LevelOf(oldState));
    int newLevel = TableLevel(LevelOf(newState));
    const int driven = SettledLevel(newLevel) != kState0 ? highStrength : lowStrength;
    if (tristate && (driven == 0 || StrengthOf(newState) == 0)) newLevel = kStateZ;
    const int base = kTransitionBase[oldLevel][newLevel];
    if (base == kNone) return Entry(delayRecord, 0);
    return Entry(delayRecord, base + std::clamp(selection, 1, 3) - 1);
}

int DriverStrength(int node, int device)
{
    const DigitalDeviceTables& d = DigitalSimulator();
    const int output = OutputOnNode(d, device, node);
    const std::uint16_t state = output >= 0 ? d.outputCurrent[static_cast<std::size_t>(output)] : kStateX63;
    const std::size_t dev = static_cast<std::size_t>(device);
    // A PINDLY drives each output at its own strengths (an output whose enable is off at none):
    // the applied state carries them.
    if (output >= 0 && d.primitive[dev] == kComponentPinDly) return StrengthOf(state);
    return SettledLevel(LevelOf(state)) == kState0 ? d.lowStrength[dev] : d.highStrength[dev];
}

int ResolveNodeDrive(int lowStrength, int highStrength, int node, int device, std::uint16_t state, std::uint32_t time)
{
    if (node <= 0) return 0;
    DigitalDeviceTables& d = DigitalSimulator();
    if (!d.operatingPoint)
        if (int rc = LogNodeSnapshot(node, device, time, state)) return rc;
    const std::size_t dev = static_cast<std::size_t>(device);
    const std::size_t n = static_cast<std::size_t>(node);
    const int first = d.driverStart[n], last = d.driverStart[n + 1];
    if (device > 0 && device <= d.deviceCount) {
        d.lowStrength[dev] = static_cast<std::uint8_t>(lowStrength);
        d.highStrength[dev] = static_cast<std::uint8_t>(highStrength);
        for (int s = first; s < last; ++s)
            if (d.driverDevice[static_cast<std::size_t>(s)] == device)
                d.outputCurrent[static_cast<std::size_t>(d.driverOutput[static_cast<std::size_t>(s)])] = state;
    }
    int drivers = 0;
    for (int s = first; s < last; ++s)
        if (d.driverDevice[static_cast<std::size_t>(s)] > 0) ++drivers;
    std::uint16_t resolved;
    if (drivers <= 1) {
        const int strength = SettledLevel(LevelOf(state)) == kState0 ? lowStrength : highStrength;
        resolved = MakeDigitalState(LevelOf(state), strength);
    } else {
        int best = -1, second = -1, bestLevel = kStateX, secondLevel = kStateX;
        for (int s = first; s < last; ++s) {
            const int driver = d.driverDevice[static_cast<std::size_t>(s)];
            if (driver <= 0) continue;
            int level, strength;
            if (driver == device) {
                level = LevelOf(state);
                strength = SettledLevel(level) == kState0 ? lowStrength : highStrength;
            } else {
                const int output = OutputOnNode(d, driver, node);
                level = LevelOf(output >= 0 ? d.outputCurrent[static_cast<std::size_t>(output)] : kStateX63);
                strength = DriverStrength(node, driver);
            }
            if (strength > best) {
                second = best;
                secondLevel = bestLevel;
                best = strength;
                bestLevel = level;
            } else if (strength > second) {
                second = strength;
                secondLevel = level;
            }
        }
        int level = bestLevel;
        if (second >= 0 && second >= best - d.overdrive) level = bestLevel == secondLevel ? bestLevel : kStateX;
        resolved = MakeDigitalState(level, std::max(best, 0));
    }
    if (d.current[n] == resolved) return 0;
    // An initial state holds its node through the operating point.
    if (d.operatingPoint && DigitalNodeHeld(node)) return 0;
    d.stable = false;
    if (d.operatingPoint) {
        d.current[n] = resolved;
        return 0;
    }
    if (int rc = AddChangedNode(node)) return rc;
    d.current[n] = resolved;
    return 0;
}

int ScheduleDigitalChange(std::uint32_t time, int lowStrength, int highStrength, int node, int device,
                          std::uint16_t newState)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (time > d.now && device > 0) {
        const int index = d.outputBase[static_cast<std::size_t>(device)] - d.evaluatedOutput;
        if (index >= 0 && static_cast<std::size_t>(index) < d.riseLoadDelay.size())
            time += static_cast<std::uint32_t>(SettledLevel(LevelOf(newState)) != kState0
                                                   ? d.riseLoadDelay[static_cast<std::size_t>(index)]
                                                   : d.fallLoadDelay[static_cast<std::size_t>(index)]);
    }
    if (d.pathMode) return 0;
    const int output = OutputOnNode(d, device, node);
    if (time <= d.now && d.immediateMode) {
        if (d.runFlag)
            if (!LogChange(d, time, node, device, kChangeApplied, output)) return kMsgInsufficientMemory;
        if (int rc = ResolveNodeDrive(lowStrength, highStrength, node, device, newState, time)) return rc;
        if (d.runFlag) {
            d.scheduled[static_cast<std::size_t>(node)] = d.current[static_cast<std::size_t>(node)];
            SetOutputScheduled(d, output, newState, time);
        }
        return 0;
    }
    if (!d.runFlag) return 0;
    if (d.scheduled[static_cast<std::size_t>(node)] == newState && !d.forceFlag) return 0;
    if (int rc = QueueLoggedNodeEvent(d, time, static_cast<std::uint8_t>(lowStrength),
                                      static_cast<std::uint8_t>(highStrength), node, device, newState, output))
        return rc;
    d.scheduled[static_cast<std::size_t>(node)] = newState;
    SetOutputScheduled(d, output, newState, time);
    return 0;
}

std::uint32_t ScheduleGateOutput(std::uint32_t time, int device, std::uint16_t newState, int& rc)
{
    DigitalDeviceTables& d = DigitalSimulator();
    rc = 0;
    const std::size_t dev = static_cast<std::size_t>(device);
    const int node = DeviceOutputNode(d, device, d.evaluatedOutput);
    const int output = DeviceOutputIndex(d, device, d.evaluatedOutput);
    const int low = d.evalLow, high = d.evalHigh;
    const bool tristate = d.deviceClass[dev] == kClassTristate;
    const bool line = d.deviceClass[dev] == kClassDelayLine;
    const std::vector<std::int32_t>& record = d.delays[dev];
    const std::uint16_t old = d.outputScheduled[static_cast<std::size_t>(output)];
    // A PINDLY output has the triple its delay expression gave for this transition.
    std::array<std::int32_t, 3> triple{};
    const bool own = PinDelayTriple(d, device, d.evaluatedOutput, triple);
    auto delayOf = [&](int selection) {
        if (own) return triple[static_cast<std::size_t>(std::clamp(selection, 1, 3) - 1)];
        return line ? Entry(record, std::clamp(selection, 1, 3) - 1)
                    : TransitionDelay(old, newState, low, high, selection, record, tristate);
    };
    int selection = d.delaySelect[dev];
    if (d.pathMode && selection == 4) selection = 3;
    // The output is already on its way to this very state: asked for it again (by a settling
    // pass, or through another driver of the node), it keeps that change where it is. Moved to
    // a delay of its own (a same-level pair takes the first delay entry, often 0), it would
    // arrive early, or at once.
    if (selection != 4 && !d.pathMode && output >= 0 && d.outputScheduled[static_cast<std::size_t>(output)] == newState &&
        d.outputTime[static_cast<std::size_t>(output)] > d.now)
        return d.outputTime[static_cast<std::size_t>(output)];
    if (selection != 4) {
        const std::uint32_t at = time + static_cast<std::uint32_t>(delayOf(selection));
        rc = ScheduleDigitalChange(at, low, high, node, device, newState);
        return at;
    }
    // Worst case: an edge level from the minimum delay on, the settled level at the maximum.
    const int n = LevelOf(newState);
    const int c = LevelOf(d.current[static_cast<std::size_t>(node)]);
    const std::uint16_t strengthBits = newState & kStrengthMask;
    const std::uint32_t minAt = time + static_cast<std::uint32_t>(delayOf(1));
    const std::uint32_t maxAt = time + static_cast<std::uint32_t>(delayOf(3));
    int intermediate = -1;
    bool finalOnly = false;
    if (n == kState0) {
        if (c == kStateR || c == kStateX) finalOnly = true;
        else intermediate = kStateF;
    } else if (n == kStateR) {
        if (c == kStateF || c == kStateX) {
            rc = DisablePendingEvents(node, device);
            intermediate = kStateX;
        } else {
            intermediate = kStateR;
        }
    } else if (n == kStateF) {
        if (c == kStateR || c == kStateX) {
            rc = DisablePendingEvents(node, device);
            intermediate = kStateX;
        } else {
            intermediate = kStateF;
        }
    } else if (n == kState1) {
        if (c == kStateF || c == kStateX) finalOnly = true;
        else intermediate = kStateR;
    } else {
        intermediate = kStateX;
    }
    if (rc) return minAt;
    // No edge state where there is no time between the two delays, or where the node already
    // sits at the level: a zero-delay gate would otherwise flip between the two forever.
    if ((n == kState0 || n == kState1) && (minAt == maxAt || SettledLevel(c) == n)) intermediate = -1;
    if (finalOnly) rc = DisablePendingEvents(node, device);
    if (!rc && intermediate >= 0)
        rc = ScheduleDigitalChange(minAt, low, high, node, device,
                                   static_cast<std::uint16_t>(intermediate | strengthBits));
    if (!rc && (n == kState0 || n == kState1 || n == kStateX)) {
        const bool savedForce = d.forceFlag;
        d.forceFlag = true;
        rc = ScheduleDigitalChange(maxAt, low, high, node, device, newState);
        d.forceFlag = savedForce;
        return maxAt;
    }
    return minAt;
}

std::uint32_t ScheduleFlipFlopOutput(std::uint32_t time, int device, std::uint16_t newState, int& rc)
{
    DigitalDeviceTables& d = DigitalSimulator();
    rc = 0;
    const std::size_t dev = static_cast<std::size_t>(device);
    const int node = DeviceOutputNode(d, device, d.evaluatedOutput);
    const int n = LevelOf(newState);
    const int c = LevelOf(d.current[static_cast<std::size_t>(node)]);
    // Triples: preset/clear at 0 (rise) and 3 (fall); clock (or gate) at 9 and 12; the
    // data-to-output triples of a gated flip-flop at 15 and 18.
    int base = d.flipFlopCause == 2 || d.flipFlopCause == 3 ? 0 : d.flipFlopCause == 5 ? 15 : 9;
    bool rise = n == kState1 || n == kStateR;
    if (n == kStateX) rise = c == kState0 || c == kStateR || c == kStateF;
    else if (!(n == kState1 || n == kStateR || n == kState0 || n == kStateF)) rise = false;
    if (!rise) base += 3;
    const std::vector<std::int32_t>& record = d.delays[dev];
    const int selection = d.pathMode && d.delaySelect[dev] == 4 ? 3 : d.delaySelect[dev];
    if (selection != 4) {
        const std::uint32_t at = time + static_cast<std::uint32_t>(Entry(record, base + selection - 1));
        rc = ScheduleDigitalChange(at, d.evalLow, d.evalHigh, node, device, newState);
        return at;
    }
    const std::uint32_t minAt = time + static_cast<std::uint32_t>(Entry(record, base));
    rc = ScheduleDigitalChange(minAt, d.evalLow, d.evalHigh, node, device, newState);
    if (rc || !(n == kState0 || n == kState1 || n == kStateX)) return minAt;
    const std::uint32_t maxAt = time + static_cast<std::uint32_t>(Entry(record, base + 2));
    const bool savedForce = d.forceFlag;
    d.forceFlag = true;
    rc = ScheduleDigitalChange(maxAt, d.evalLow, d.evalHigh, node, device, newState);
    d.forceFlag = savedForce;
    return maxAt;
}

int MarkPendingEventX(int node, int device)
{
    DigitalDeviceTables& d = DigitalSimulator();
    const std::vector<TimeBreakpointRecord*> events = NodeEventsOf(node, device);
    if (events.empty()) return 0;
    TimeBreakpointRecord* event = events.front();
    const int output = OutputOnNode(d, device, node);
    DigitalChangeRecord* r = LogChange(d, event->time, node, device, kChangeEdited, output);
    if (!r) return kMsgInsufficientMemory;
    r->order = event->order;
    r->eventState = event->word3;
    r->eventNode = event->word1;
    const std::uint16_t state = static_cast<std::uint16_t>((event->word3 & kStrengthMask) | kStateX);
    event->word3 = state;
    d.scheduled[static_cast<std::size_t>(node)] = state;
    if (output >= 0) d.outputScheduled[static_cast<std::size_t>(output)] = state;
    return 0;
}

int CancelPendingEvents(int node, int device)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (int rc = LogSlots(d, node, device)) return rc;
    for (TimeBreakpointRecord* event : NodeEventsOf(node, device))
        if (int rc = RemoveLogged(d, event, node, device)) return rc;
    const int output = OutputOnNode(d, device, node);
    d.scheduled[static_cast<std::size_t>(node)] = d.current[static_cast<std::size_t>(node)];
    SetOutputScheduled(d, output, PresentOutput(d, node, output), d.now);
    return 0;
}

int CancelToCurrentState(int node, int device)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (int rc = LogSlots(d, node, device)) return rc;
    const int output = OutputOnNode(d, device, node);
    const int present = LevelOf(PresentOutput(d, node, output));
    const std::vector<TimeBreakpointRecord*> events = NodeEventsOf(node, device);
    TimeBreakpointRecord* kept = nullptr;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i > 0 && LevelOf(static_cast<std::uint16_t>(events[i]->word3)) == present) {
            if (!kept) kept = events[i];
            continue;
        }
        if (int rc = RemoveLogged(d, events[i], node, device)) return rc;
    }
    if (kept) {
        d.scheduled[static_cast<std::size_t>(node)] = static_cast<std::uint16_t>(kept->word3);
        SetOutputScheduled(d, output, static_cast<std::uint16_t>(kept->word3), kept->time);
    } else {
        d.scheduled[static_cast<std::size_t>(node)] = d.current[static_cast<std::size_t>(node)];
        SetOutputScheduled(d, output, PresentOutput(d, node, output), d.now);
    }
    return 0;
}

int DisablePendingEvents(int node, int device)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (d.pathMode) return 0;
    const int output = OutputOnNode(d, device, node);
    for (TimeBreakpointRecord* event : NodeEventsOf(node, device)) {
        DigitalChangeRecord* r = LogChange(d, event->time, node, device, kChangeEdited, output);
        if (!r) return kMsgInsufficientMemory;
        r->order = event->order;
        r->eventState = event->word3;
        r->eventNode = event->word1;
        SetNodeEventNode(event, 0);
    }
    d.scheduled[static_cast<std::size_t>(node)] = d.current[static_cast<std::size_t>(node)];
    return 0;
}

}  // namespace kq5
