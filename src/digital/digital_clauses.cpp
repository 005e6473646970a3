// Running the program parts: LOGICEXP assignments, PINDLY outputs with their delays and
// enables, and the clause checks of PINDLY and CONSTRAINT parts with their warning blocks.
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "core/expr_symbols.h"
#include "core/format.h"
#include "digital/digital_checks.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "digital/digital_programs.h"
#include "document/component_attributes.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/circuit_build.h"
#include "netlist/subcircuit_nodes.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

ProgramRecord* ProgramOf(const DigitalDeviceTables& d, int device)
{
    if (device <= 0 || device > d.deviceCount) return nullptr;
    const int p = d.primitive[static_cast<std::size_t>(device)];
    if (p != kComponentLogicExp && p != kComponentPinDly && p != kComponentConstraint) return nullptr;
    return static_cast<ProgramRecord*>(d.record[static_cast<std::size_t>(device)].get());
}

PinDelayRecord* PinDelayOf(const DigitalDeviceTables& d, int device)
{
    if (device <= 0 || device > d.deviceCount || d.primitive[static_cast<std::size_t>(device)] != kComponentPinDly)
        return nullptr;
    return static_cast<PinDelayRecord*>(d.record[static_cast<std::size_t>(device)].get());
}

std::uint32_t Ticks(double seconds, double unit)
{
    if (!(seconds > 0.0) || !(unit > 0.0)) return 0;
    const double t = std::round(seconds / unit);
    return t >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(t);
}

// The pins' states into the variables; a change of a pin's settled level is noted in its
// history (outside the operating point, whose levels are where the run starts from). A pin
// counts as changed for the checks when its last change is at the present tick: the device may
// be evaluated more than once at a tick, the first time while zero-delay changes settle.
void ReadPins(DigitalDeviceTables& d, ProgramRecord& r, std::vector<std::uint8_t>& changed)
{
    changed.assign(static_cast<std::size_t>(r.pinCount), 0);
    for (int i = 0; i < r.pinCount; ++i) {
        const std::int32_t node = r.pinNodes[static_cast<std::size_t>(i)];
        const std::uint16_t state = node > 0 && node <= d.nodeCount ? d.current[static_cast<std::size_t>(node)] : kStateX63;
        int level = StrengthOf(state) == 0 ? static_cast<int>(kStateZ) : LevelOf(state);
        if (level > kStateZ) level = kStateX;
        r.values[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(level);
        ProgramPinHistory& h = r.pending.pins[static_cast<std::size_t>(i)];
        const int settled = SettledLevel(level);
        if (settled == h.level) continue;
        r.dirty = true;
        if (!d.operatingPoint) {
            h.transition = static_cast<std::uint8_t>(h.level == kState0 && settled == kState1   ? kStateR
                                                     : h.level == kState1 && settled == kState0 ? kStateF
                                                                                                : settled);
            h.changeBefore = h.lastChange;
            h.lastChange = d.now;
            h.changes = static_cast<std::uint8_t>(std::min(h.changes + 1, 2));
        }
        h.level = static_cast<std::uint8_t>(settled);
    }
    if (d.operatingPoint) return;
    for (int i = 0; i < r.pinCount; ++i) {
        const ProgramPinHistory& h = r.pending.pins[static_cast<std::size_t>(i)];
        changed[static_cast<std::size_t>(i)] = h.changes > 0 && h.lastChange == d.now;
    }
}

// The instance the expression programs read: variable states and the pins' change records.
void FillInstance(const DigitalDeviceTables& d, const ProgramRecord& r, DigitalPrimitiveInstance& inst)
{
    inst.pinStates = r.values;
    inst.pinChanges.assign(r.values.size(), DigitalPinChange{});
    for (int i = 0; i < r.pinCount; ++i) {
        const ProgramPinHistory& h = r.pending.pins[static_cast<std::size_t>(i)];
        DigitalPinChange& c = inst.pinChanges[static_cast<std::size_t>(i)];
        c.changeTime = h.lastChange;
        c.previousState = h.changes ? h.transition : static_cast<std::uint16_t>(kStateX);
        c.currentTime = d.now;
        c.currentState = r.values[static_cast<std::size_t>(i)];
    }
}

bool Holds(const std::vector<DigitalCode>& code, const DigitalPrimitiveInstance& inst, int& rc)
{
    if (code.empty()) return true;
    DigitalProgramContext context;
    context.codes = code;
    context.instance = &inst;
    std::uint8_t result = 0;
    rc = EvalDigitalCondition(context, result);
    return rc == 0 && result != 0;
}

class ClauseChecker {
public:
    ClauseChecker(DigitalDeviceTables& d, int device, ProgramRecord& r, const std::vector<std::uint8_t>& changed,
                  const DigitalPrimitiveInstance& inst)
        : d_(d), device_(device), r_(r), changed_(changed), inst_(inst)
    {
    }

    int Run(const ConstraintSection& s, SectionHistory& h)
    {
        // Once a tick: a second evaluation at the same tick sees the same changes.
        if (h.checkedSet && h.checkedAt == d_.now) return 0;
        h.checkedSet = true;
        h.checkedAt = d_.now;
        r_.dirty = true;
        switch (s.kind) {
        case kSectionWidth: return Width(s, h);
        case kSectionSetupHold: return SetupHold(s, h);
        case kSectionFreq: return Frequency(s, h);
        case kSectionGeneral: {
            int rc = 0;
            if (Holds(s.code, inst_, rc)) Report(s, h, "General violation at t=%g\n", nullptr, 0, -1, nullptr, 0);
            return rc;
        }
        default: return 0;
        }
    }

private:
    bool Changed(int v) const { return v >= 0 && v < r_.pinCount && changed_[static_cast<std::size_t>(v)]; }
    const ProgramPinHistory& Pin(int v) const { return r_.pending.pins[static_cast<std::size_t>(v)]; }

    int Width(const ConstraintSection& s, SectionHistory& h)
    {
        const int v = s.target;
        if (!Changed(v)) return 0;
        const int level = Pin(v).level;
        if (level != kState0 && level != kState1) return 0;
        int rc = 0;
        const bool rise = level == kState1;
        // A rise ends a low pulse, a fall a high one.
        const bool set = rise ? h.fallSet : h.riseSet;
        const std::uint32_t from = rise ? h.fall : h.rise;
        const ConstraintTime& limit = s.slots[rise ? kSlotMinLo : kSlotMinHi];
        if (set && limit.ticks > 0 && Holds(s.code, inst_, rc)) {
            const std::uint32_t measured = d_.now - from;
            if (measured > 0 && measured < limit.ticks)
                Report(s, h, rise ? "Width low violation at t=%g\n" : "Width high violation at t=%g\n",
                       rise ? "Minimum low width is %g\n" : "Minimum high width is %g\n", limit.seconds, v, "width",
                       measured);
        }
        (rise ? h.rise : h.fall) = d_.now;
        (rise ? h.riseSet : h.fallSet) = true;
        return rc;
    }

    int SetupHold(const ConstraintSection& s, SectionHistory& h)
    {
        const int clock = s.target;
        if (clock < 0 || clock >= r_.pinCount) return 0;
        const int active = s.clockEdge == 1 ? kState1 : kState0;
        const bool edge = Changed(clock) && Pin(clock).level == active;
        // A data change is measured against the last active edge whatever the clock does since:
        // a strobe that has already gone back does not end its hold time.
        if (!edge && !h.clockSeen) return 0;
        int rc = 0;
        if (!Holds(s.code, inst_, rc)) return rc;
        if (edge) {
            for (int v : s.data) {
                const ProgramPinHistory& p = Pin(v);
                if (v == clock || p.changes == 0 || p.level == kStateX) continue;
                // A release (a control going back to its idle level) must come the release time
                // before the edge; one at the edge itself comes none before it.
                const std::uint32_t released = d_.now - p.lastChange;
                Release(s, h, kSlotReleaseTime, "Release time violation at t=%g\n", "Minimum release time is %g\n", v,
                        released);
                if (p.level == kState1)
                    Release(s, h, kSlotReleaseTimeLh, "Release time LH violation at t=%g\n",
                            "Minimum release time LH is %g\n", v, released);
                if (p.level == kState0)
                    Release(s, h, kSlotReleaseTimeHl, "Release time HL violation at t=%g\n",
                            "Minimum release time HL is %g\n", v, released);
                std::uint32_t measured = d_.now - p.lastChange;
                // A change at the edge itself is the hold check's; the setup is the one before.
                if (measured == 0) {
                    if (p.changes < 2) continue;
                    measured = d_.now - p.changeBefore;
                }
                Setup(s, h, kSlotSetupTime, "Setup time violation at t=%g\n", "Minimum setup time is %g\n", v, measured);
                if (p.level == kState0)
                    Setup(s, h, kSlotSetupTimeLo, "Setup time low violation at t=%g\n", "Minimum setup time low is %g\n", v,
                          measured);
                if (p.level == kState1)
                    Setup(s, h, kSlotSetupTimeHi, "Setup time high violation at t=%g\n", "Minimum setup time high is %g\n",
                          v, measured);
            }
            h.clockEdge = d_.now;
            h.clockSeen = true;
        }
        if (!h.clockSeen) return rc;
        for (int v : s.data) {
            if (v == clock || !Changed(v) || Pin(v).level == kStateX) continue;
            const std::uint32_t measured = d_.now - h.clockEdge;
            Hold(s, h, kSlotHoldTime, "*Hold time violation at t=%g\n", "Minimum hold time is %g\n", v, measured);
            if (Pin(v).level == kState1)
                Hold(s, h, kSlotHoldTimeLo, "Hold time low violation at t=%g\n", "Minimum hold time low is %g\n", v, measured);
            if (Pin(v).level == kState0)
                Hold(s, h, kSlotHoldTimeHi, "Hold time high violation at t=%g\n", "Minimum hold time high is %g\n", v,
                     measured);
        }
        return rc;
    }

    // A measured interval shorter than the slot's limit (0: no check) is a violation.
    void Below(const ConstraintSection& s, SectionHistory& h, int slot, const char* line, const char* limit, int v,
               const char* quantity, std::uint32_t measured)
    {
        const ConstraintTime& t = s.slots[static_cast<std::size_t>(slot)];
        if (t.ticks > 0 && measured < t.ticks) Report(s, h, line, limit, t.seconds, v, quantity, measured);
    }
    void Setup(const ConstraintSection& s, SectionHistory& h, int slot, const char* line, const char* limit, int v,
               std::uint32_t measured)
    {
        Below(s, h, slot, line, limit, v, "setup time", measured);
    }
    void Hold(const ConstraintSection& s, SectionHistory& h, int slot, const char* line, const char* limit, int v,
              std::uint32_t measured)
    {
        Below(s, h, slot, line, limit, v, "hold time", measured);
    }
    void Release(const ConstraintSection& s, SectionHistory& h, int slot, const char* line, const char* limit, int v,
                 std::uint32_t measured)
    {
        Below(s, h, slot, line, limit, v, "release time", measured);
    }

    int Frequency(const ConstraintSection& s, SectionHistory& h)
    {
        const int v = s.target;
        if (!Changed(v)) return 0;
        const int level = Pin(v).level;
        if (level != kState0 && level != kState1) return 0;
        const std::size_t at = level == kState1 ? 1 : 0;
        int rc = 0;
        // A period runs between two edges to the same level: the level the node starts at, or
        // reaches from X, begins none.
        if (h.settleSeen[at] && h.settleIsEdge[at] && Holds(s.code, inst_, rc)) {
            const std::uint32_t period = d_.now - h.settle[at];
            const ConstraintTime& shortest = s.slots[kSlotMinPeriod];
            const ConstraintTime& longest = s.slots[kSlotMaxPeriod];
            if (period > 0 && shortest.ticks > 0) {
                if (period < shortest.ticks)
                    Report(s, h, "Maximum frequency violation at t=%g\n", "Minimum period is %g\n", shortest.seconds, v,
                           "period", period);
            }
            if (period > 0 && longest.ticks > 0) {
                if (period > longest.ticks) {
                    if (h.withinMaximum)
                        Report(s, h, "Minimum frequency violation at t=%g\n", "Maximum period is %g\n", longest.seconds, v,
                               "period", period);
                    h.withinMaximum = false;
                } else {
                    h.withinMaximum = true;
                }
            }
        }
        h.settle[at] = d_.now;
        h.settleSeen[at] = true;
        h.settleIsEdge[at] = Pin(v).transition == (at ? kStateR : kStateF);
        return rc;
    }

    // The node as the user finds it in the circuit: a pin of a subcircuit's part is named by the
    // node it is wired to outside (DIN, not the subcircuit's own D), an inner node by its path.
    std::string NodeName(int v) const
    {
        if (v < 0) return std::string();
        const std::int32_t node = v < r_.pinCount ? r_.pinNodes[static_cast<std::size_t>(v)] : 0;
        std::string name;
        if (node > 0) name = NodeNameBeforeInterface(FindNodeName(CircuitNodeTable(), node, 0, kNodeDigital));
        return name.empty() ? r_.variables.names[static_cast<std::size_t>(v)] : name;
    }

    // The warning block of a clause: violation, device, limit, measured value, message.
    void Report(const ConstraintSection& s, SectionHistory& h, const char* line, const char* limit, double limitSeconds,
                int v, const char* quantity, std::uint32_t measured)
    {
        if (h.count >= s.errorLimit || !DigitalChecksAllowed()) return;
        const double tick = d_.timeUnit;
        std::string block = "\nDigital Warning\n";
        block += StrPrintf(line, d_.now * tick);
        block += StrPrintf("Device %s\n", DigitalDeviceName(device_).c_str());
        if (limit) {
            block += StrPrintf(limit, limitSeconds);
            block += StrPrintf("Node %s, measured %s was %g\n", NodeName(v).c_str(), quantity, measured * tick);
        }
        if (!s.message.empty()) block += s.message + "\n";
        block += "\n";
        try {
            d_.pendingWarnings.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            return;
        }
        ++h.count;
        r_.dirty = true;
    }

    DigitalDeviceTables& d_;
    int device_;
    ProgramRecord& r_;
    const std::vector<std::uint8_t>& changed_;
    const DigitalPrimitiveInstance& inst_;
};

// Output j of a PINDLY follows input j, driven or (enable off) at no strength; its delay comes
// from the statement's expression for the output's own transition.
int SetPinDelayOutput(DigitalDeviceTables& d, int device, PinDelayRecord& r, int j, const ConstraintSection* s,
                      const DigitalPrimitiveInstance& inst)
{
    const std::size_t dev = static_cast<std::size_t>(device);
    int level = r.values[static_cast<std::size_t>(j)];
    if (level == kStateZ || level > kStateZ) level = kStateX;
    bool active = true;
    if (s && s->enablePolarity > 0 && s->enable >= 0) {
        const int e = r.values[static_cast<std::size_t>(s->enable)];
        active = s->enablePolarity == 1 ? e == kState1 : e == kState0;
    }
    const int low = active ? d.workLowStrength[dev] : 0, high = active ? d.workHighStrength[dev] : 0;
    const std::uint16_t state = MakeDigitalState(level, SettledLevel(level) == kState0 ? low : high);
    const std::size_t o = static_cast<std::size_t>(j);
    r.outputState[o] = state;
    r.outputLow[o] = static_cast<std::uint8_t>(low);
    r.outputHigh[o] = static_cast<std::uint8_t>(high);
    r.outputDelay[o] = {0, 0, 0};
    if (!s || d.operatingPoint || s->code.empty()) return 0;
    const int k = r.outputCount - j;
    const int output = DeviceOutputIndex(d, device, k);
    const std::uint16_t old = output >= 0 ? d.outputScheduled[static_cast<std::size_t>(output)] : kStateX63;
    DigitalProgramContext context;
    context.programKind = kDigitalProgramKindStrength;
    context.codes = s->code;
    context.instance = &inst;
    DigitalResult result;
    if (int rc = EvalDigitalExpression(context, old, state, result)) return rc;
    for (std::int32_t& t : result.words) t = std::max(t, 0);
    r.outputDelay[o] = result.words;
    return 0;
}

}  // namespace

// Each event time is rounded to its tick on its own, so where the tick does not divide the limit
// the distance of two events exactly the limit apart comes out a tick under or over it: a
// minimum is taken down to its whole tick, a maximum up.
std::uint32_t LimitTicks(double seconds, double unit, bool maximum)
{
    if (!(seconds > 0.0) || !(unit > 0.0)) return 0;
    const double x = seconds / unit;
    const double t = maximum ? std::ceil(x - 1e-6) : std::floor(x + 1e-6);
    return t >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(std::max(t, 0.0));
}

void ResetProgramChecks()
{
    DigitalDeviceTables& d = DigitalSimulator();
    const double unit = d.timeUnit;
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        ProgramRecord* r = ProgramOf(d, dev);
        if (!r) continue;
        for (ConstraintSection& s : r->sections) {
            for (std::size_t k = 0; k < s.slots.size(); ++k)
                s.slots[k].ticks = LimitTicks(s.slots[k].seconds, unit, s.kind == kSectionFreq && k == kSlotMaxPeriod);
            if (s.kind == kSectionPinDelay || s.kind == kSectionTristate) {
                ResolveDelayConstants(s.code);
            } else {
                // Condition constants are whole numbers; a CHANGED window is a time in seconds.
                for (std::size_t i = 0; i < s.code.size(); ++i) {
                    DigitalCode& c = s.code[i];
                    if (c.code != kOpIntConstant) continue;
                    const bool window = i + 1 < s.code.size() &&
                                        (s.code[i + 1].code == kOpChanged || s.code[i + 1].code == kOpChangedLH ||
                                         s.code[i + 1].code == kOpChangedHL);
                    if (window) c.operand = static_cast<std::int32_t>(std::min<std::uint32_t>(Ticks(c.value, unit), INT_MAX));
                }
            }
        }
        r->pending.pins.assign(static_cast<std::size_t>(r->pinCount), ProgramPinHistory{});
        r->pending.sections.assign(r->sections.size(), SectionHistory{});
        r->committed = r->pending;
        r->dirty = false;
        std::fill(r->values.begin(), r->values.end(), static_cast<std::uint16_t>(kStateX));
    }
}

void CommitProgramHistories()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.programDevices) {
        ProgramRecord* r = ProgramOf(d, dev);
        if (!r || !r->dirty) continue;
        r->committed = r->pending;
        r->dirty = false;
    }
}

void RestoreProgramHistories()
{
    DigitalDeviceTables& d = DigitalSimulator();
    for (int dev : d.programDevices) {
        ProgramRecord* r = ProgramOf(d, dev);
        if (!r || !r->dirty) continue;
        r->pending = r->committed;
        r->dirty = false;
    }
}

int RunProgramDevice(DigitalDeviceTables& d, int device)
{
    ProgramRecord* r = ProgramOf(d, device);
    if (!r) return 0;
    const int p = d.primitive[static_cast<std::size_t>(device)];
    try {
        std::vector<std::uint8_t> changed;
        if (r->pending.pins.size() != static_cast<std::size_t>(r->pinCount)) {
            r->pending.pins.resize(static_cast<std::size_t>(r->pinCount));
            r->pending.sections.resize(r->sections.size());
        }
        ReadPins(d, *r, changed);
        if (p == kComponentLogicExp) {
            auto& logic = static_cast<LogicExpRecord&>(*r);
            for (const LogicAssignment& a : logic.assignments)
                r->values[static_cast<std::size_t>(a.target)] = static_cast<std::uint16_t>(EvalDigitalLogic(a.code, r->values));
            return 0;
        }
        auto* pinDelay = p == kComponentPinDly ? static_cast<PinDelayRecord*>(r) : nullptr;
        std::vector<std::uint8_t> assigned(pinDelay ? static_cast<std::size_t>(pinDelay->outputCount) : 0, 0);
        DigitalPrimitiveInstance inst;
        const bool checks = DigitalChecksAllowed();
        for (std::size_t i = 0; i < r->sections.size(); ++i) {
            const ConstraintSection& s = r->sections[i];
            SectionHistory& h = r->pending.sections[i];
            FillInstance(d, *r, inst);
            if (s.kind == kSectionBoolean) {
                int rc = 0;
                DigitalProgramContext context;
                context.codes = s.code;
                context.instance = &inst;
                std::uint8_t value = 0;
                rc = EvalDigitalCondition(context, value);
                if (rc) return rc;
                if (s.target >= 0) r->values[static_cast<std::size_t>(s.target)] = value;
            } else if (s.kind == kSectionPinDelay || s.kind == kSectionTristate) {
                if (!pinDelay) continue;
                const int first = pinDelay->pinCount - pinDelay->outputCount;
                for (std::int32_t v : s.outputs) {
                    const int j = v - first;
                    if (j < 0 || j >= pinDelay->outputCount) continue;
                    if (int rc = SetPinDelayOutput(d, device, *pinDelay, j, &s, inst)) return rc;
                    assigned[static_cast<std::size_t>(j)] = 1;
                }
            } else if (checks && h.count < s.errorLimit) {
                // A clause at its own limit stops reporting; the others go on.
                ClauseChecker checker(d, device, *r, changed, inst);
                if (int rc = checker.Run(s, h)) return rc;
            }
        }
        if (pinDelay)
            for (int j = 0; j < pinDelay->outputCount; ++j)
                if (!assigned[static_cast<std::size_t>(j)])
                    if (int rc = SetPinDelayOutput(d, device, *pinDelay, j, nullptr, inst)) return rc;
    } catch (const std::bad_alloc&) {
        return 15002;
    }
    return 0;
}

std::uint16_t ProgramOutputState(DigitalDeviceTables& d, int device, int k)
{
    const std::size_t dev = static_cast<std::size_t>(device);
    ProgramRecord* r = ProgramOf(d, device);
    if (PinDelayRecord* pd = PinDelayOf(d, device)) {
        const int j = pd->outputCount - k;
        if (j >= 0 && j < pd->outputCount) {
            d.evalLow = pd->outputLow[static_cast<std::size_t>(j)];
            d.evalHigh = pd->outputHigh[static_cast<std::size_t>(j)];
            return pd->outputState[static_cast<std::size_t>(j)];
        }
    }
    d.evalLow = d.workLowStrength[dev];
    d.evalHigh = d.workHighStrength[dev];
    int level = kStateX;
    const int pin = r ? r->pinCount - k : -1;
    if (r && pin >= 0 && pin < static_cast<int>(r->values.size())) level = r->values[static_cast<std::size_t>(pin)];
    if (level > kStateX) level = kStateX;
    return MakeDigitalState(level, SettledLevel(level) == kState0 ? d.evalLow : d.evalHigh);
}

bool PinDelayTriple(const DigitalDeviceTables& d, int device, int k, std::array<std::int32_t, 3>& triple)
{
    const PinDelayRecord* r = PinDelayOf(d, device);
    if (!r) return false;
    const int j = r->outputCount - k;
    triple = j >= 0 && j < r->outputCount ? r->outputDelay[static_cast<std::size_t>(j)] : std::array<std::int32_t, 3>{};
    return true;
}

}  // namespace kq5
