// Primitive evaluation: the output states of gates, and-or gates, pull resistors, arrays,
// delay lines and flip-flops from their input states, and the hand-over to scheduling.
#include <algorithm>
#include <new>
#include <typeinfo>

#include "digital/digital_checks.h"
#include "digital/digital_engine.h"
#include "digital/digital_interfaces.h"
#include "core/digital_logic_tables.h"
#include "digital/digital_programs.h"
#include "document/component_types.h"

namespace kq5 {

namespace {

// The level an input reads as: Z when undriven; '?' and the spare codes read as X.
int InputLevel(const DigitalDeviceTables& d, std::int32_t entry)
{
    const std::uint16_t state = d.current[static_cast<std::size_t>(std::abs(entry))];
    int level = StrengthOf(state) == 0 ? static_cast<int>(kStateZ) : LevelOf(state);
    if (level > kStateZ) level = kStateX;
    if (entry < 0) level = LogicInvert(level == kStateZ ? static_cast<int>(kStateX) : level);
    return level;
}

int PreviousLevel(const DigitalDeviceTables& d, std::int32_t node)
{
    const std::uint16_t state = d.previous[static_cast<std::size_t>(node)];
    int level = StrengthOf(state) == 0 ? static_cast<int>(kStateZ) : LevelOf(state);
    return level > kStateZ ? static_cast<int>(kStateX) : level;
}

bool Changed(const DigitalDeviceTables& d, std::int32_t node)
{
    return node > 0 && d.current[static_cast<std::size_t>(node)] != d.previous[static_cast<std::size_t>(node)];
}

int AndReduceRange(const DigitalDeviceTables& d, int device, int first, int last)
{
    int result = kState1;
    int firstEdge = -1;
    for (int i = first; i < last; ++i) {
        const int level = InputLevel(d, DeviceInput(d, device, i));
        if (level == kStateZ || level == kStateX) {
            result = kStateX;
            continue;
        }
        if (level == kState0) return kState0;
        if (result == kStateX) continue;
        if ((level == kStateR || level == kStateF) && firstEdge < 0) firstEdge = level;
        result = std::min(result, level);
        // Both edges seen: the first one stands.
        if (firstEdge >= 0 && (result == kStateR || result == kStateF) && level != firstEdge &&
            (level == kStateR || level == kStateF))
            result = firstEdge;
    }
    return result;
}

int OrReduceRange(const DigitalDeviceTables& d, int device, int first, int last)
{
    int result = kState0;
    for (int i = first; i < last; ++i) {
        const int level = InputLevel(d, DeviceInput(d, device, i));
        if (level == kStateZ || level == kStateX) {
            result = kStateX;
            continue;
        }
        if (level == kState1) return kState1;
        if (result != kStateX) result = std::max(result, level);
    }
    return result;
}

int XorOfTwo(const DigitalDeviceTables& d, int device, int first, int last)
{
    if (last - first < 2) return kStateX;
    return LogicXor(InputLevel(d, DeviceInput(d, device, first)), InputLevel(d, DeviceInput(d, device, first + 1)));
}

// Buffer rule: X when the input is undriven or unknown.
int Passed(int level) { return level == kStateZ || level == kStateX ? static_cast<int>(kStateX) : level; }

std::uint16_t WithStrength(int level, int low, int high)
{
    return MakeDigitalState(level, SettledLevel(level) == kState0 ? low : high);
}

// The combinational primitives: the output level (the second value of a flip-flop is not
// here). Returns 0 or an error id.
int EvalDigitalDevice(DigitalDeviceTables& d, int device, std::uint16_t& result)
{
    const std::size_t dev = static_cast<std::size_t>(device);
    const int p = d.primitive[dev];
    const int cls = d.deviceClass[dev];
    int inputs = DeviceInputCount(d, device);
    int low = d.workLowStrength[dev], high = d.workHighStrength[dev];
    if (cls == kClassTristate) {
        // The enable is the last input; off (anything but 1) drives Z.
        const int enable = InputLevel(d, DeviceInput(d, device, inputs - 1));
        if (enable != kState1) low = high = 0;
        --inputs;
    }
    int level = kStateUnknown;
    const int code = p >= kComponentBuf3 && p <= kComponentNxor3 ? p - 20 : p;
    switch (code) {
    case kComponentBuf: level = Passed(InputLevel(d, DeviceInput(d, device, 0))); break;
    case kComponentInv: level = LogicInvert(Passed(InputLevel(d, DeviceInput(d, device, 0)))); break;
    case kComponentAnd: level = AndReduceRange(d, device, 0, inputs); break;
    case kComponentNand: level = LogicInvert(AndReduceRange(d, device, 0, inputs)); break;
    case kComponentOr: level = OrReduceRange(d, device, 0, inputs); break;
    case kComponentNor: level = LogicInvert(OrReduceRange(d, device, 0, inputs)); break;
    case kComponentXor: level = XorOfTwo(d, device, 0, inputs); break;
    case kComponentNxor: level = LogicInvert(XorOfTwo(d, device, 0, inputs)); break;
    default: break;
    }
    if (p >= kComponentAo && p <= kComponentOai) {
        const int start = d.pinStart[dev];
        const int size = d.pinList[static_cast<std::size_t>(start + inputs)];
        const int gates = d.pinList[static_cast<std::size_t>(start + inputs + 1)];
        const bool andOr = p == kComponentAo || p == kComponentAo + 2;
        level = andOr ? kState0 : kState1;
        for (int g = 0; g < gates && size > 0; ++g) {
            const int first = g * size, last = std::min(first + size, inputs);
            if (andOr)
                level = LogicOr(level, AndReduceRange(d, device, first, last));
            else
                level = LogicAnd(level, OrReduceRange(d, device, first, last));
        }
        if (p == kComponentAo + 2 || p == kComponentOai) level = LogicInvert(level);
    } else if (p == kComponentPullup) {
        level = kState1;
    } else if (p == kComponentPulldn) {
        level = kState0;
    } else if (p >= kComponentPland && p <= kComponentPlnxorc) {
        const int form = (p - kComponentPland) % 6;  // AND OR XOR NAND NOR NXOR
        if (form == 0 || form == 3) level = AndReduceRange(d, device, 0, inputs);
        if (form == 1 || form == 4) level = OrReduceRange(d, device, 0, inputs);
        if (form == 2 || form == 5) level = XorOfTwo(d, device, 0, inputs);
        if (form >= 3) level = LogicInvert(level);
    } else if (p == kComponentDlyline) {
        const std::uint16_t state = d.current[static_cast<std::size_t>(std::abs(DeviceInput(d, device, 0)))];
        d.evalLow = d.evalHigh = static_cast<std::uint8_t>(StrengthOf(state));
        result = state;
        return 0;
    }
    d.evalLow = static_cast<std::uint8_t>(low);
    d.evalHigh = static_cast<std::uint8_t>(high);
    result = WithStrength(level, low, high);
    return 0;
}

bool ActiveLow(int level) { return level == kState0 || level == kStateF; }

// Data level for the next-state tables: 0, 1 or 2 for anything else.
int Ternary(int level) { return level == kState0 ? 0 : level == kState1 ? 1 : 2; }
int FromTernary(int t) { return t == 0 ? static_cast<int>(kState0) : t == 1 ? static_cast<int>(kState1) : static_cast<int>(kStateX); }

int SrNext(int s, int r, int q)
{
    if (s == 1 && r == 0) return 1;
    if (s == 0 && r == 1) return 0;
    if (s == 1 && r == 1) return 2;
    return q;
}

// S and R tried at 0 and 1 where unknown: kept when every try agrees.
int SrResolved(int s, int r, int q)
{
    int result = -1;
    for (int ss : {0, 1}) {
        if (s != 2 && ss != s) continue;
        for (int rr : {0, 1}) {
            if (r != 2 && rr != r) continue;
            const int next = SrNext(ss, rr, q);
            if (result < 0) result = next;
            else if (result != next) return 2;
        }
    }
    return result < 0 ? 2 : result;
}

// Both outputs of a flip-flop or latch, computed at the evaluation of the first output.
void EvalFlipFlopPair(DigitalDeviceTables& d, int device, int& q, int& qb)
{
    const std::size_t dev = static_cast<std::size_t>(device);
    const int p = d.primitive[dev];
    // The history serves the timing checks only: a flip-flop with none to make keeps none (no
    // copy for a rejected step either). Every clock edge evaluates every flip-flop it reaches:
    // a type compare, not a cast search.
    const bool checked = dev >= d.timingChecked.size() || d.timingChecked[dev] != 0;
    DigitalDeviceRecord* record = checked ? d.record[dev].get() : nullptr;
    auto* ff = record && typeid(*record) == typeid(FlipFlopRecord) ? static_cast<FlipFlopRecord*>(record) : nullptr;
    const std::int32_t preset = DeviceInput(d, device, 0), clear = DeviceInput(d, device, 1);
    const std::int32_t clock = DeviceInput(d, device, 2);
    const int pre = InputLevel(d, preset), clr = InputLevel(d, clear);
    const bool preActive = ActiveLow(pre), clrActive = ActiveLow(clr);
    q = LevelOf(d.outputScheduled[static_cast<std::size_t>(DeviceOutputIndex(d, device, 1))]);
    qb = LevelOf(d.outputScheduled[static_cast<std::size_t>(DeviceOutputIndex(d, device, 2))]);
    d.flipFlopCause = 0;
    if (d.operatingPoint) {
        d.flipFlopCause = 1;
        if (preActive && clrActive) q = qb = kState1;
        else if (preActive) q = kState1, qb = kState0;
        else if (clrActive) q = kState0, qb = kState1;
        return;
    }
    const std::uint32_t now = d.now;
    if (ff) {
        // The history as it was, for a rejected step to put back.
        try {
            d.flipFlopLog.emplace_back(device, *ff);
        } catch (const std::bad_alloc&) {
        }
    }
    const int clk = InputLevel(d, clock), clkPrev = PreviousLevel(d, clock);
    const bool edgeFlop = p == kComponentJkff || p == kComponentDff;
    const bool falling = p == kComponentJkff;
    const bool justEdged = falling ? ((clk == kState0 || clk == kStateF) && clkPrev == kState1)
                                   : ((clk == kState1 || clk == kStateR) && clkPrev == kState0);
    if (edgeFlop && !justEdged && !preActive && !clrActive && PreviousLevel(d, preset) == kState0 &&
        PreviousLevel(d, clear) == kState0) {
        q = qb = kStateX;
        d.flipFlopCause = 4;
    }
    if (preActive) {
        q = kState1;
        qb = clrActive ? kState1 : kState0;
        d.flipFlopCause = 2;
        // The pulse's width runs from where it began, not from the last input that changed
        // during it.
        if (ff && Changed(d, preset) && !ActiveLow(PreviousLevel(d, preset))) ff->presetActive = now;
    } else if (Changed(d, preset) && ff) {
        if (ActiveLow(PreviousLevel(d, preset))) CheckFlipFlopTiming(device, kCheckControlWidth, now, ff->presetActive, 6, "PREB");
        ff->presetRelease = now;
        ff->seenPresetRelease = true;
    }
    if (clrActive) {
        if (!preActive) q = kState0;
        qb = kState1;
        d.flipFlopCause = 3;
        if (ff && Changed(d, clear) && !ActiveLow(PreviousLevel(d, clear))) ff->clearActive = now;
    } else if (Changed(d, clear) && ff) {
        if (ActiveLow(PreviousLevel(d, clear))) CheckFlipFlopTiming(device, kCheckControlWidth, now, ff->clearActive, 6, "CLRB");
        ff->clearRelease = now;
        ff->seenClearRelease = true;
    }
    // While a control holds the outputs the clock and the inputs act on nothing and are not
    // checked, but their edges and changes are still noted: a width or setup measured after
    // the release starts from them, not from a change made before the control took hold.
    const bool held = preActive || clrActive;
    const bool released = pre == kState1 && clr == kState1;
    // An edge the flip-flop met while held sampled nothing: no hold time runs from it.
    auto sampledAt = [&](std::uint32_t edge) {
        return !(ff->seenPresetRelease && ff->presetRelease > edge) && !(ff->seenClearRelease && ff->clearRelease > edge);
    };
    auto edgeForm = [&](int next, int clockLevel) {
        // A change while the clock is still on its edge takes the edge level.
        if (next != q && (clockLevel == kStateR || clockLevel == kStateF)) {
            if (next == kState0) return static_cast<int>(kStateF);
            if (next == kState1) return static_cast<int>(kStateR);
        }
        return next;
    };
    if (edgeFlop) {
        const bool activeEdge = Changed(d, clock) &&
                                (falling ? ((clk == kState0 || clk == kStateF) && clkPrev != kState0)
                                         : ((clk == kState1 || clk == kStateR) && clkPrev != kState1));
        const bool high = clk == kState1 || clk == kStateR;
        const std::int32_t data = DeviceInput(d, device, 3);
        const std::int32_t second = p == kComponentJkff ? DeviceInput(d, device, 4) : 0;
        // An input that changed at the edge's own instant and was noted before the edge (the
        // flip-flop is evaluated once for each input that changed) held its level for no time:
        // the flip-flop takes the level from before. One that changed earlier is a setup.
        auto inputAtEdge = [&](bool seen, std::uint32_t change, std::int32_t input, const char* name) {
            if (!seen) return;
            if (change == now)
                CheckFlipFlopTiming(device, kCheckHold, now, now, 27, name, now);
            else if (!Changed(d, input))
                CheckFlipFlopTiming(device, kCheckSetup, now, change, 21, name);
        };
        if (activeEdge) {
            if (ff && !held) {
                // The width of the level the clock leaves, the inputs' setup, the controls' release.
                if (high && ff->seenClockFall) CheckFlipFlopTiming(device, kCheckClockLow, now, ff->clockFall, 15, nullptr);
                if (!high && ff->seenClockRise) CheckFlipFlopTiming(device, kCheckClockHigh, now, ff->clockRise, 18, nullptr);
                inputAtEdge(ff->seenData, ff->dataChange, data, p == kComponentDff ? "D" : "J");
                if (second > 0) inputAtEdge(ff->seenSecondData, ff->secondDataChange, second, "K");
                if (ff->seenPresetRelease) CheckFlipFlopTiming(device, kCheckRelease, now, ff->presetRelease, 24, "PREB");
                if (ff->seenClearRelease) CheckFlipFlopTiming(device, kCheckRelease, now, ff->clearRelease, 24, "CLRB");
            }
            if (ff) {
                (high ? ff->clockRise : ff->clockFall) = now;
                (high ? ff->seenClockRise : ff->seenClockFall) = true;
            }
            if (released) {
                int next;
                if (p == kComponentDff) {
                    const int level = PreviousLevel(d, data);
                    next = level == kStateR || level == kStateF ? static_cast<int>(kStateX) : FromTernary(Ternary(level));
                } else {
                    const int j = Ternary(PreviousLevel(d, data));
                    const int k = Ternary(PreviousLevel(d, second));
                    next = FromTernary(d.jkNextState[static_cast<std::size_t>(9 * j + 3 * k + Ternary(SettledLevel(q)))]);
                }
                q = edgeForm(next, clk);
                qb = LogicInvert(q);
                d.flipFlopCause = 4;
            }
        } else if (Changed(d, clock) && ff && (high || clk == kState0 || clk == kStateF)) {
            if (!held && high && ff->seenClockFall) CheckFlipFlopTiming(device, kCheckClockLow, now, ff->clockFall, 15, nullptr);
            if (!held && !high && ff->seenClockRise) CheckFlipFlopTiming(device, kCheckClockHigh, now, ff->clockRise, 18, nullptr);
            (high ? ff->clockRise : ff->clockFall) = now;
            (high ? ff->seenClockRise : ff->seenClockFall) = true;
        }
        if (p == kComponentDff && !held && Changed(d, data) && clk == kStateR) {
            const int sq = SettledLevel(q), sd = SettledLevel(InputLevel(d, data));
            if (sq == kState0 && sd == kState1) q = kStateR;
            if (sq == kState1 && sd == kState0) q = kStateF;
            qb = LogicInvert(q);
            d.flipFlopCause = 4;
        }
        if (ff) {
            // Hold: an input that changes soon after the last active edge.
            const std::uint32_t edge = falling ? ff->clockFall : ff->clockRise;
            const bool seenEdge = falling ? ff->seenClockFall : ff->seenClockRise;
            for (std::int32_t input : {data, second}) {
                if (input <= 0 || !Changed(d, input)) continue;
                // An edge at this same instant measures a hold of 0.
                if (!held && seenEdge && sampledAt(edge) && InputLevel(d, input) != kStateX)
                    CheckFlipFlopTiming(device, kCheckHold, now, edge, 27,
                                        input == data ? (p == kComponentDff ? "D" : "J") : "K", edge);
                if (input == data) {
                    ff->dataChange = now;
                    ff->seenData = true;
                } else {
                    ff->secondDataChange = now;
                    ff->seenSecondData = true;
                }
            }
        }
        return;
    }
    // Latches: transparent while the gate is at 1.
    const int gate = SettledLevel(clk);
    if (ff) {
        const std::int32_t data = DeviceInput(d, device, 3);
        const std::int32_t second = p == kComponentSrff ? DeviceInput(d, device, 4) : 0;
        const char* word = p == kComponentSrff ? "S input" : "D input";
        if (Changed(d, clock) && gate == kState0 && SettledLevel(clkPrev) == kState1) {
            // The latch closes: the gate's width and the data's setup.
            if (!held && ff->seenClockRise) CheckFlipFlopTiming(device, kCheckGateWidth, now, ff->clockRise, 21, nullptr);
            if (!held && ff->seenData) CheckFlipFlopTiming(device, kCheckSetup, now, ff->dataChange, 24, word);
            if (!held && ff->seenSecondData) CheckFlipFlopTiming(device, kCheckSetup, now, ff->secondDataChange, 24, "R input");
            ff->clockFall = now;
            ff->seenClockFall = true;
        } else if (Changed(d, clock) && gate == kState1) {
            if (!held && ff->seenPresetRelease) CheckFlipFlopTiming(device, kCheckRelease, now, ff->presetRelease, 27, "PREB");
            if (!held && ff->seenClearRelease) CheckFlipFlopTiming(device, kCheckRelease, now, ff->clearRelease, 27, "CLRB");
            ff->clockRise = now;
            ff->seenClockRise = true;
        }
        for (std::int32_t input : {data, second}) {
            if (input <= 0 || !Changed(d, input)) continue;
            if (!held && ff->seenClockFall && sampledAt(ff->clockFall) && gate == kState0 && InputLevel(d, input) != kStateX)
                CheckFlipFlopTiming(device, kCheckHold, now, ff->clockFall, 30, input == data ? word : "R input",
                                    ff->clockFall);
            (input == data ? ff->dataChange : ff->secondDataChange) = now;
            (input == data ? ff->seenData : ff->seenSecondData) = true;
        }
    }
    if (!released) return;
    int open;
    if (p == kComponentDltch) {
        open = FromTernary(Ternary(SettledLevel(InputLevel(d, DeviceInput(d, device, 3)))));
    } else {
        const int s = Ternary(SettledLevel(InputLevel(d, DeviceInput(d, device, 3))));
        const int r = Ternary(SettledLevel(InputLevel(d, DeviceInput(d, device, 4))));
        open = FromTernary(SrResolved(s, r, Ternary(SettledLevel(q))));
    }
    int next = q;
    if (gate == kState1) next = open;
    else if (gate != kState0) next = open == SettledLevel(q) ? q : static_cast<int>(kStateX);
    if (next != q) {
        q = next;
        qb = LogicInvert(q);
        d.flipFlopCause = Changed(d, clock) ? 4 : 5;
    }
}

// The inertial rule: a change that contradicts what is pending on the output cancels it.
int ApplyCancellation(DigitalDeviceTables& d, int node, int device, int output, std::uint16_t result, bool several)
{
    const int level = LevelOf(result);
    const std::size_t n = static_cast<std::size_t>(node), o = static_cast<std::size_t>(output);
    const std::uint16_t s = several ? d.outputScheduled[o] : d.scheduled[n];
    // A released output has no level to change: a data change behind a disabled tristate
    // leaves its pending turn-off where it is.
    if (StrengthOf(result) == 0 && StrengthOf(s) == 0) return 0;
    // Disabling takes back a data change still on its way: the output must not drive the
    // stale level after it has been released.
    if (StrengthOf(result) == 0) return CancelPendingEvents(node, device);
    if (level == kStateX) return MarkPendingEventX(node, device);
    const int c = LevelOf(several ? d.outputCurrent[o] : d.current[n]);
    const bool worst = d.delaySelect[static_cast<std::size_t>(device)] == 4;
    const bool glitch = !worst && ((level == kStateF && c != kState1) || (level == kStateR && c != kState0));
    if (c != kStateX) {
        // Driving again before a pending release takes the release back, though the level is
        // the same.
        if (StrengthOf(s) != 0 && SettledLevel(level) == SettledLevel(LevelOf(s)) && !glitch) return 0;
    }
    if (level == c) return CancelToCurrentState(node, device);
    return CancelPendingEvents(node, device);
}

}  // namespace

int EvalDeviceOutputs(std::uint32_t time, int device)
{
    DigitalDeviceTables& d = DigitalSimulator();
    const std::size_t dev = static_cast<std::size_t>(device);
    const int cls = d.deviceClass[dev];
    const int p = d.primitive[dev];
    const int outputs = DeviceOutputCount(d, device);
    int pendingQbar = kStateX;
    for (int k = 1; k <= outputs; ++k) {
        d.evaluatedOutput = k;
        const int node = DeviceOutputNode(d, device, k);
        const int output = DeviceOutputIndex(d, device, k);
        std::uint16_t result = kStateX63;
        if (cls == kClassNone || cls == kClassGate || cls == kClassTristate || cls == kClassDelayLine ||
            cls == kClassProgrammable) {
            if (p == kComponentStim || p == kComponentFstim || p == kComponentDigitalSwitch ||
                p == kComponentDigitalState)
                continue;
            if (p == kComponentLogicExp || p == kComponentPinDly || p == kComponentConstraint) {
                // The program runs once, at the first output; a CONSTRAINT has nothing to drive.
                if (k == 1)
                    if (int rc = RunProgramDevice(d, device)) return rc;
                if (p == kComponentConstraint) return 0;
                result = ProgramOutputState(d, device, k);
            } else if (int rc = EvalDigitalDevice(d, device, result)) {
                return rc;
            }
        } else if (cls == kClassEdgeFlipFlop || cls == kClassGatedFlipFlop) {
            int q = kStateX;
            if (k == 1) EvalFlipFlopPair(d, device, q, pendingQbar);
            else q = pendingQbar;
            d.evalLow = d.workLowStrength[dev];
            d.evalHigh = d.workHighStrength[dev];
            result = WithStrength(q, d.evalLow, d.evalHigh);
        } else if (cls == kClassAdc) {
            // The conversion runs at the accepted point; the evaluation only notes the request.
            AdcConvertChanged(device);
            return 0;
        } else {
            continue;
        }
        if (node <= 0) continue;
        const std::size_t n = static_cast<std::size_t>(node), o = static_cast<std::size_t>(output);
        if (d.operatingPoint) {
            if (int rc = ResolveNodeDrive(d.evalLow, d.evalHigh, node, device, result, time)) return rc;
            d.scheduled[n] = d.current[n];
            d.outputScheduled[o] = result;
            continue;
        }
        const bool several = NodeDriverCount(d, node) > 1;
        // The scheduled form: an edge that does not start from the level it leaves is X.
        const int level = LevelOf(result), sl = LevelOf(d.scheduled[n]);
        if ((level == kStateR && (sl == kStateF || sl == kStateX || sl == kState1)) ||
            (level == kStateF && (sl == kStateR || sl == kStateX || sl == kState0)))
            result = static_cast<std::uint16_t>((result & kStrengthMask) | kStateX);
        // Two released states are the same drive whatever level they carry.
        auto force = [&] {
            const std::uint16_t own = several ? d.outputScheduled[o] : d.scheduled[n];
            if (StrengthOf(result) == 0 && StrengthOf(own) == 0) return false;
            return several ? (result != own || result != d.scheduled[n]) : result != own;
        };
        d.forceFlag = force();
        const std::uint16_t pending = several ? d.outputScheduled[o] : d.scheduled[n];
        if (d.inertialCancellation && d.runFlag && cls != kClassDelayLine &&
            (result != pending || (d.delaySelect[dev] == 4 && LevelOf(result) == kStateX)) && d.outputTime[o] > d.now) {
            if (int rc = ApplyCancellation(d, node, device, output, result, several)) return rc;
            // What the cancellation left pending decides whether a change is still needed.
            d.forceFlag = force();
        }
        if (d.runFlag && !d.forceFlag) continue;
        int rc = 0;
        if (cls == kClassEdgeFlipFlop || cls == kClassGatedFlipFlop)
            ScheduleFlipFlopOutput(time, device, result, rc);
        else
            ScheduleGateOutput(time, device, result, rc);
        if (rc) return rc;
    }
    return 0;
}

void InitFlipFlopStates()
{
    DigitalDeviceTables& d = DigitalSimulator();
    const int level = d.initialState == 0 ? kState0 : d.initialState == 1 ? kState1 : kStateX;
    for (int dev = 1; dev <= d.deviceCount; ++dev) {
        const std::size_t i = static_cast<std::size_t>(dev);
        if (d.deviceClass[i] != kClassEdgeFlipFlop && d.deviceClass[i] != kClassGatedFlipFlop) continue;
        if (DeviceOutputCount(d, dev) < 2) continue;
        const int low = d.lowStrength[i], high = d.highStrength[i];
        const std::uint16_t q = WithStrength(level, low, high);
        const std::uint16_t qb = WithStrength(LogicInvert(level), low, high);
        for (int k = 1; k <= 2; ++k) {
            const std::uint16_t state = k == 1 ? q : qb;
            const int node = DeviceOutputNode(d, dev, k);
            const std::size_t o = static_cast<std::size_t>(DeviceOutputIndex(d, dev, k));
            d.outputCurrent[o] = d.outputScheduled[o] = state;
            if (node > 0) {
                const std::size_t n = static_cast<std::size_t>(node);
                d.current[n] = d.previous[n] = d.scheduled[n] = state;
            }
        }
        if (auto* ff = dynamic_cast<FlipFlopRecord*>(d.record[i].get())) {
            const int device = ff->device;
            *ff = FlipFlopRecord();
            ff->device = device;
        }
    }
}

}  // namespace kq5
