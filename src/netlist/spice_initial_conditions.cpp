#include "netlist/spice_initial_conditions.h"

#include <new>

#include "core/char_classes.h"
#include "core/device_lists.h"
#include "netlist/capacitor_device.h"
#include "core/engineering_numbers.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/component_types.h"
#include "core/part_instance.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "netlist/token_patterns.h"

namespace kq5 {

namespace {

constexpr int kMsgNodeNotDefined = 10924;
constexpr int kMsgExpectingState = 10925;
constexpr int kMsgInductorNotDefined = 10926;
constexpr int kMsgExpectingValue = 10927;
constexpr int kMsgExpecting = 11900;
constexpr int kMsgExtraText = 11903;
constexpr std::string_view kStateLetters = "0RF1XZ?";

template <class... Args>
int ReportAtLine(int scope, int id, Args&&... args)
{
    ReportNetlistMessage("WLE", CurrentRecord(), scope, id, std::forward<Args>(args)...);
    return kMsgAlreadyReported;
}

// The node number of a name in the scope and domain; -1 when none.
std::int32_t LookupNode(std::string name, int scope, int domain)
{
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    const bool global = name.starts_with("$G_") || name.starts_with("$D_");
    return LookupNodeNumber(CircuitNodeTable(), name, global ? 0 : scope, domain);
}

InitialConditionEntry* FindEntry(InitialConditionTable& table, const InitialConditionEntry& wanted)
{
    for (InitialConditionEntry& entry : table.entries) {
        if (wanted.letter == 'I') {
            if (entry.letter == 'I' && entry.inductor == wanted.inductor) return &entry;
        } else if (entry.letter == wanted.letter && entry.nodeA == wanted.nodeA && entry.nodeB == wanted.nodeB) {
            return &entry;
        }
    }
    return nullptr;
}

int BuildFromLine(const DeferredInitialLine& stored, InitialConditionTable& table)
{
    SetErrorSourceLine(stored.location.source, stored.location.line);
    if (int status = TokenizeNetlistLine(stored.text)) return status;
    if (int status = JoinBraceGroupTokens()) return status;
    const int scope = stored.scope;
    const std::int16_t kind = Token(0) == ".NODESET" ? 2 : 1;
    (kind == 2 ? table.anyNodeset : table.anyIc) = true;
    int i = 1;
    while (Token(i) == "V" || Token(i) == "D" || Token(i) == "I") {
        InitialConditionEntry entry;
        entry.letter = Token(i++)[0];
        entry.kind = kind;
        if (Token(i++) != "(") return ReportAtLine(scope, kMsgExpecting, "(");
        if (entry.letter == 'I') {
            PartInstanceRecord* part = FindPartByNameInScope(Token(i), scope);
            if (!part || part->typeCode != kComponentInductor) return ReportAtLine(scope, kMsgInductorNotDefined);
            entry.inductor = part->component;
            entry.inductorDevice = part->device;
            ++i;
        } else {
            const int domain = entry.letter == 'D' ? 1 : 0;
            entry.nodeA = LookupNode(Token(i++), scope, domain);
            if (entry.nodeA < 0) return ReportAtLine(scope, kMsgNodeNotDefined);
            if (entry.letter == 'V' && Token(i) == ",") {
                ++i;
                entry.nodeB = LookupNode(Token(i++), scope, domain);
                if (entry.nodeB < 0) return ReportAtLine(scope, kMsgNodeNotDefined);
            }
        }
        if (Token(i++) != ")") return ReportAtLine(scope, kMsgExpecting, ")");
        if (Token(i) == "=") ++i;
        const std::string& valueText = Token(i++);
        if (entry.letter == 'D') {
            const std::size_t state =
                valueText.size() == 1 ? kStateLetters.find(ToUpperChar(valueText[0])) : std::string_view::npos;
            if (state == std::string_view::npos) return ReportAtLine(scope, kMsgExpectingState, valueText);
            entry.digitalState = static_cast<std::int16_t>(state);
        } else {
            if (valueText.empty()) return ReportAtLine(scope, kMsgExpectingValue, valueText);
            if (int status = EvaluateLineValue(valueText, scope, entry.value)) return status;
        }
        if (InitialConditionEntry* existing = FindEntry(table, entry)) {
            // .IC wins over .NODESET whatever the order of the lines.
            if (!(existing->kind == 1 && kind == 2)) *existing = entry;
        } else {
            table.entries.push_back(entry);
        }
    }
    if (!Token(i).empty()) return ReportAtLine(scope, kMsgExtraText, Token(i));
    return 0;
}

}  // namespace

InitialConditionTable& InitialConditions() { return NetlistReader().initialConditions; }

int ParseInitialConditions(std::string_view line, int mode, int scope)
{
    NetlistReaderState& state = NetlistReader();
    try {
        switch (mode) {
            case kInitialClear: state.deferredInitialLines.clear(); return 0;
            case kInitialStore: {
                DeferredInitialLine stored;
                stored.scope = scope;
                stored.text = CopyUpperCase(line);
                CollapseLineBreaks(stored.text);
                stored.location = state.errorLocation;
                state.deferredInitialLines.push_back(std::move(stored));
                return 0;
            }
            case kInitialBuild: {
                InitialConditionTable& table = state.initialConditions;
                table = InitialConditionTable{};
                int status = 0;
                for (const DeferredInitialLine& stored : state.deferredInitialLines)
                    if ((status = BuildFromLine(stored, table)) != 0) break;
                ClearErrorSourceLine();
                if (status != 0) return status;
                // A capacitor's IC holds its voltage whatever the value, 0 included.
                for (const CapacitorDevice& capacitor : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList)))
                    if (capacitor.InitialConditionGiven())
                        if ((status = AddCapacitorInitialCondition(capacitor.nodeA, capacitor.nodeB,
                                                                   capacitor.initialCondition)) != 0)
                            return status;
                return 0;
            }
            case kInitialFree:
                std::vector<DeferredInitialLine>().swap(state.deferredInitialLines);
                state.initialConditions = InitialConditionTable{};
                return 0;
            default: return 0;
        }
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
}

int AddCapacitorInitialCondition(std::int32_t nodeA, std::int32_t nodeB, double value)
{
    try {
        InitialConditionTable& table = NetlistReader().initialConditions;
        InitialConditionEntry entry;
        entry.letter = 'V';
        entry.kind = 1;
        entry.nodeA = nodeA;
        entry.nodeB = nodeB;
        entry.value = value;
        table.entries.push_back(entry);
        table.anyIc = true;
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
