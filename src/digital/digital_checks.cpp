// Flip-flop timing checks and the warning blocks they write into the numeric output.
#include "digital/digital_checks.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "analog/analog_state.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "digital/digital_engine.h"
#include "digital/digital_programs.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "document/schematic_item.h"
#include "document/scope_names.h"

namespace kq5 {

namespace {

constexpr int kMsgWarningCount = 13260;
constexpr int kMsgErrorLimit = 15039;

}  // namespace

std::string DigitalDeviceName(int device)
{
    const DigitalDeviceTables& d = DigitalSimulator();
    if (device <= 0 || static_cast<std::size_t>(device) >= d.component.size()) return std::string();
    const SchematicItem* part = d.component[static_cast<std::size_t>(device)];
    return part ? QualifyNameWithScope(GetAttributeText(part, kAttrPart), part->scope) : std::string();
}

bool DigitalChecksAllowed()
{
    const DigitalDeviceTables& d = DigitalSimulator();
    return d.acceptedPoints > 0 && !d.operatingPoint && d.runFlag && !d.noOutputMessages &&
           d.warningCount + static_cast<int>(d.pendingWarnings.size()) <= d.errorLimit;
}

void CheckFlipFlopTiming(int device, FlipFlopCheck check, std::uint32_t now, std::uint32_t earlier, int group,
                         const char* input, std::uint32_t clock)
{
    DigitalDeviceTables& d = DigitalSimulator();
    if (!DigitalChecksAllowed() || now < earlier) return;
    const std::size_t dev = static_cast<std::size_t>(device);
    const std::vector<std::int32_t>& delays = d.delays[dev];
    // Worst case (4) checks against the maximum of the triple.
    const int entry = group + std::clamp<int>(d.delaySelect[dev], 1, 3) - 1;
    if (entry < 0 || static_cast<std::size_t>(entry) >= delays.size()) return;
    const std::int32_t required = delays[static_cast<std::size_t>(entry)];
    const std::uint32_t measured = now - earlier;
    if (required <= 0 || measured >= static_cast<std::uint32_t>(required)) return;

    const double tick = d.timeUnit;
    const double t = now * tick, req = required * tick, meas = measured * tick;
    const bool gated = d.deviceClass[dev] == kClassGatedFlipFlop;
    const std::string in = input ? input : "";
    std::string block = "\nDigital Warning\n";
    std::string follow;
    auto pair = [&](const std::string& what) {
        follow += StrPrintf("Required %s is %g\n", what.c_str(), req) + StrPrintf("Measured %s is %g\n", what.c_str(), meas);
    };
    switch (check) {
    case kCheckSetup:
        if (gated) {
            block += StrPrintf("Data setup time violation at t=%g\n", t);
            pair("data setup time");
        } else {
            block += StrPrintf("%s setup time violation at t=%g\n", in.c_str(), t);
            pair(in + " setup time");
        }
        break;
    case kCheckHold:
        block += gated ? StrPrintf("Data hold violation at t=%g\n", t) : StrPrintf("%s hold violation at t=%g\n", in.c_str(), t);
        follow += StrPrintf("Clock changed at %g\n", clock * tick) + StrPrintf("%s changed at %g\n", in.c_str(), t);
        pair(gated ? std::string("data hold time") : in + " hold time");
        break;
    case kCheckClockLow:
        block += StrPrintf("Minimum clock width low violation at t=%g\n", t);
        pair("minimum clock low width");
        break;
    case kCheckClockHigh:
        block += StrPrintf("Minimum clock width high violation at t=%g\n", t);
        pair("minimum clock high width");
        break;
    case kCheckGateWidth:
        block += StrPrintf("Gate width violation at t=%g\n", t);
        pair("gate width");
        break;
    case kCheckRelease:
        block += StrPrintf("%s setup violation at t=%g\n", in.c_str(), t);
        pair(in + " setup");
        break;
    case kCheckControlWidth:
        block += StrPrintf("%s width violation at t=%g\n", in.c_str(), t);
        pair(in + " width");
        break;
    }
    block += StrPrintf("Device %s\n", DigitalDeviceName(device).c_str()) + follow;
    // A flip-flop is evaluated once for each of its inputs that changed at an instant: a check
    // it has reported at this instant is not reported again.
    if (std::find(d.pendingWarnings.begin(), d.pendingWarnings.end(), block) != d.pendingWarnings.end()) return;
    try {
        d.pendingWarnings.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
    }
}

int AcceptDigitalPoint()
{
    DigitalDeviceTables& d = DigitalSimulator();
    ResetDigitalChangeLog();
    d.flipFlopLog.clear();
    CommitProgramHistories();
    ++d.acceptedPoints;
    // A clock repeated to the end of a long run need not keep the edges it has played.
    if (d.acceptedPoints % 4096 == 0) ForgetTakenStimulusEvents();
    const int unit = Analog().numericOutputUnit;
    const bool belowLimit = d.warningCount <= d.errorLimit;
    for (const std::string& block : d.pendingWarnings) {
        if (unit >= 0) WriteUnitText(unit, block);
        ++d.warningCount;
    }
    d.pendingWarnings.clear();
    // The checks stop here for the rest of the run: the output says so after the last block,
    // so that a quiet stretch after it is not taken for a clean one.
    if (belowLimit && d.warningCount > d.errorLimit && unit >= 0) {
        std::string text = LoadResString(kMsgErrorLimit);
        if (text.size() > 2 && text[0] == '%') text.erase(0, 2);
        WriteUnitText(unit, "\n" + text + "\n");
    }
    return 0;
}

void RejectDigitalPoint()
{
    DigitalDeviceTables& d = DigitalSimulator();
    RollBackDigitalStep();
    // Newest first, so that each record ends as it was before the step.
    for (auto it = d.flipFlopLog.rbegin(); it != d.flipFlopLog.rend(); ++it)
        if (auto* ff = dynamic_cast<FlipFlopRecord*>(d.record[static_cast<std::size_t>(it->first)].get()))
            *ff = it->second;
    d.flipFlopLog.clear();
    RestoreProgramHistories();
    d.pendingWarnings.clear();
    ResetDigitalChangeLog();
}

void ShowDigitalWarningCount(int count)
{
    if (count <= 0 || DigitalSimulator().noOutputMessages) return;
    ReportMessage("WE", nullptr, kMsgWarningCount, count, count == 1 ? "" : "s");
}

}  // namespace kq5
