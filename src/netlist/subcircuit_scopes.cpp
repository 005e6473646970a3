#include "netlist/subcircuit_scopes.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/expr_symbols.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/part_instance.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/file_names.h"
#include "document/grid_text.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_growth.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "document/scope_table.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/subcircuit_calls.h"
#include "netlist/subcircuit_nodes.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr int kMsgHiddenNodeMissing = 10860;
constexpr int kMsgBadParameters = 10872;
constexpr int kMsgParameterMismatch = 10873;
constexpr int kMsgBadCallParameters = 10874;
constexpr int kMsgPinNotDefined = 10877;
constexpr int kMsgReservedName = 10880;
constexpr int kMsgSameNode = 10951;
constexpr int kMsgCantGroundPin = 10953;
constexpr int kMsgMacroCallsItself = 10929;

bool IsConnectionOnly(int type)
{
    return type == kComponentNull || type == kComponentShort || type == kComponentJumper || type == kComponentTie;
}

std::size_t MatchKeyword(std::string_view text, std::string_view keyword)
{
    if (text.size() < keyword.size() || !EqualsNoCase(text.substr(0, keyword.size()), keyword)) return 0;
    if (text.size() > keyword.size() && !HasCharClass(text[keyword.size()], kCharSeparator | kCharSpace)) return 0;
    return keyword.size();
}

std::vector<NetlistTextObject*> TextObjectsOfScope(int scope)
{
    std::vector<NetlistTextObject*> objects;
    for (NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects()))
        if (text.scope == scope && !text.disabled) objects.push_back(&text);
    return objects;
}

// The net of a schematic node number (the circuit's or one given to a macro node).
std::int32_t GroupOfCircuitNode(std::int32_t number)
{
    std::vector<std::int32_t>& groups = NetlistReader().circuitNodeGroups;
    if (number <= 0) return 0;
    if (static_cast<std::size_t>(number) >= groups.size()) groups.resize(static_cast<std::size_t>(number) + 1, -1);
    std::int32_t& group = groups[static_cast<std::size_t>(number)];
    if (group < 0) group = NewNodeGroup();
    return group;
}

std::string TextNodeKey(int scope, std::string_view name)
{
    return StrPrintf("%d:", scope) + CopyUpperCase(name);
}

// Whether a node label or node text of the scope gives the name to a net other than `number`.
bool NameTakenByText(int scope, std::string_view name, std::int32_t number)
{
    const std::unordered_map<std::string, std::int32_t>& names = NetlistReader().textNodeNames;
    const auto found = names.find(TextNodeKey(scope, name));
    return found != names.end() && found->second != number;
}

// The name of a schematic node in the current scope: its number, unless a node label names
// another net so; the label keeps the name and this net takes one no label uses.
std::string CircuitNodeName(std::int32_t number)
{
    const int scope = CurrentScope();
    std::string name = StrPrintf("%d", number);
    if (!NameTakenByText(scope, name, number)) return name;
    name = StrPrintf("N%d", number);
    for (int suffix = 2; NameTakenByText(scope, name, number); ++suffix) name = StrPrintf("N%d_%d", number, suffix);
    return name;
}

// Names a schematic node in the current scope, bound to its net.
int NameCircuitNode(std::int32_t number, std::int32_t& row)
{
    if (number == 0) {
        row = 0;
        NetlistReader().groundUsed = true;
        return 0;
    }
    if (number < 0) return ResolveNodeName("$D_NC", row);
    return ResolveNodeName(CircuitNodeName(number), row, GroupOfCircuitNode(number));
}

// The node number of a top-level node label, or -1 when it names no numbered net.
std::int32_t LabelNodeNumberOf(const CircuitDocument& document, const GridText& text)
{
    if (!IsNodeLabel(text) || text.number < 0 || static_cast<std::size_t>(text.number) >= document.schematicNodeTable.size())
        return -1;
    return document.schematicNodeTable[static_cast<std::size_t>(text.number)].nodeNumber;
}

// Notes the names that node labels and the node texts of macros give their nets.
void CollectTextNodeNames(const CircuitDocument& document)
{
    std::unordered_map<std::string, std::int32_t>& names = NetlistReader().textNodeNames;
    names.clear();
    for (const GridText& text : ListRecords<GridText>(document.gridTextList)) {
        const std::int32_t number = LabelNodeNumberOf(document, text);
        if (number > 0) names.emplace(TextNodeKey(0, text.text), number);
    }
    for (const NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects()))
        if (text.scope != 0 && text.node > 0 && !text.disabled) names.emplace(TextNodeKey(text.scope, text.text), text.node);
}

// The components that came from drawings (not from element lines) get node rows named by
// their node numbers in their scope.
int NameSchematicNodes(CircuitDocument& document)
{
    CollectTextNodeNames(document);
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!item.IsComponent() || ElementOrigin(&item)) continue;
        SetCurrentScope(item.scope);
        for (std::int32_t& node : item.pinNodes) {
            std::int32_t row = -1;
            if (int status = NameCircuitNode(node, row)) return status;
            node = row;
        }
    }
    // Node labels of the top level and node texts of macros name their nets too.
    SetCurrentScope(0);
    for (const GridText& text : ListRecords<GridText>(document.gridTextList)) {
        const std::int32_t number = LabelNodeNumberOf(document, text);
        std::int32_t row = -1;
        const std::string name = CopyUpperCase(text.text);
        if (number > 0 && ResolveNodeName(name, row, GroupOfCircuitNode(number)) != 0) return kMsgAlreadyReported;
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
            if (text.scope == 0 || text.node < 0 || text.disabled) continue;
            const bool pinName = text.renumbered;
            if ((pass == 0) == pinName) continue;
            SetCurrentScope(text.scope);
            std::int32_t row = -1;
            if (text.node <= 0) continue;
            const std::int32_t group = GroupOfCircuitNode(text.node);
            const int status = NetlistReader().exportInProgress ? ResolveMacroNodeTextForExport(text.text, row, group)
                                                                : ResolveNodeName(text.text, row, group);
            if (status != 0) return kMsgAlreadyReported;
        }
    }
    SetCurrentScope(0);
    return 0;
}

// A digital pin drawn on an analog wire was numbered on a digital node of its own; the
// interface of its I/O model joins that node to the wire's.
int ConnectDrawnInterfaces(const CircuitDocument& document)
{
    SetCurrentScope(0);
    const std::vector<SchematicNodeRow>& table = document.schematicNodeTable;
    for (const SchematicNodeRow& row : table) {
        if (row.direction == kInterfaceNone || row.nodeNumber <= 0 || row.label <= 0 ||
            static_cast<std::size_t>(row.label) >= table.size())
            continue;
        const std::int32_t analogNumber = table[static_cast<std::size_t>(row.label)].nodeNumber;
        if (analogNumber <= 0) continue;
        std::int32_t analog = -1, digital = -1;
        if (int status = NameCircuitNode(analogNumber, analog)) return status;
        if (int status = NameCircuitNode(row.nodeNumber, digital)) return status;
        if (int status = ConnectInterfaceNodes(analog, digital, row.direction)) return status;
    }
    return 0;
}

// Expands the subckt calls after `after` (all of them when null), those that expansions append
// included.
int ExpandSubcircuits(CircuitDocument& document, ListNode* after)
{
    ListNode* start = after ? after->next : document.itemList.head;
    ExpansionWatch watch(document);
    for (SchematicItem& item : ListRecordRange<SchematicItem>(start)) {
        const bool call = item.IsComponent() && ItemComponentType(&item) == kComponentSubckt;
        if (int status = watch.Visit(call ? &item : nullptr)) return status;
        if (!call) continue;
        const int highest = static_cast<int>(Netlist().scopes.size());
        if (ResizeScopeTable(highest) != 0) return kMsgAlreadyReported;
        SubcktScope* entry = FindScopeForEdit(highest);
        const SubcktScope* parent = FindScope(item.scope);
        entry->parent = item.scope;
        entry->fileName = parent ? parent->fileName.str() : std::string_view();
        ScopeExpansionOf(highest)->call = &item;
        SetCurrentScope(highest);
        SetScopeNames(highest, {});
        const int status = ExpandSubcircuitCall(&item);
        SetCurrentScope(0);
        if (status != 0) return status;
    }
    return 0;
}

}  // namespace

void ReleaseLineCallItems(CircuitDocument& document)
{
    const auto plainCall = [](const ListNode& node) {
        const auto& item = static_cast<const SchematicItem&>(node);
        if (!item.IsComponent() || ItemComponentType(&item) != kComponentSubckt || !HasElementOrigin(&item)) return false;
        for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) {
            if (attribute.keyId == kAttrParams || attribute.keyId == kAttrTextColon) return false;
            const std::string_view name = AttributeName(attribute);
            if (!name.empty() && name.front() == '$') return false;
        }
        return true;
    };
    // Sorted, to be told apart from the other items by a search; a few bytes a call.
    std::vector<const SchematicItem*> calls;
    try {
        for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
            if (plainCall(item)) calls.push_back(&item);
    } catch (const std::bad_alloc&) {
        return;  // they stay: nothing depends on their going
    }
    if (calls.empty()) return;
    std::sort(calls.begin(), calls.end());
    const auto released = [&calls](const void* item) {
        return std::binary_search(calls.begin(), calls.end(), static_cast<const SchematicItem*>(item));
    };
    NetlistReaderState& reader = NetlistReader();
    for (ScopeExpansion& scope : reader.scopes)
        if (released(scope.call)) scope.call = nullptr;
    // A call's part makes no device: once the names are checked nothing asks for it.
    const auto releasedPart = [&](const ListNode& node) {
        const auto& part = static_cast<const PartInstanceRecord&>(node);
        return !part.device && released(part.component);
    };
    for (PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
        if (!releasedPart(part)) continue;
        PartInstanceRecord** named = reader.partNames.FindIn(part.pathScope, part.partName);
        if (named && *named == &part) *named = nullptr;
    }
    reader.partNames.EraseIf([](const PartInstanceRecord* part) { return part == nullptr; });
    ListRemoveIf(DeviceList(kPartInstanceList), releasedPart);
    ForgetElementOrigins([&](const SchematicItem* item) { return released(item); });
    ListRemoveIf(document.itemList, [&](const ListNode& node) { return released(&node); });
}

int SplitCallArguments(std::vector<std::string>& out, std::string_view text)
{
    out.clear();
    int depth = 0;
    std::string piece;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') ++depth;
        if (c == ')') {
            if (depth == 0) {
                Trim(piece);
                if (!piece.empty()) out.push_back(piece);
                for (std::size_t j = i + 1; j < text.size(); ++j)
                    if (!HasCharClass(text[j], kCharSpace)) return -1;
                return static_cast<int>(out.size());
            }
            --depth;
        }
        if (c == ',' && depth == 0) {
            Trim(piece);
            if (!piece.empty()) out.push_back(piece);
            piece.clear();
            continue;
        }
        piece += c;
    }
    return -1;
}

void SetScopeNames(int scope, std::string_view baseName)
{
    SubcktScope* entry = FindScopeForEdit(scope);
    ScopeExpansion* info = ScopeExpansionOf(scope);
    if (!entry || !info) return;
    const SchematicItem* call = info->call;
    SetScopePart(scope, scope > 0 && call ? CopyUpperCase(GetAttributeText(call, kAttrPart)) : std::string());
    // Only a macro has a base name: a subcircuit call makes no macro part for it.
    if (!baseName.empty() || info->macro) info->Macro().baseName.assign(baseName);
}

int BindMacroPin(SchematicItem* component, std::vector<std::int32_t>& pinMap, std::string_view text,
                 std::int32_t node)
{
    const ComponentDefinition* definition = component ? component->definition : nullptr;
    if (!definition) return 0;
    for (std::size_t pin = 0; pin < definition->pins.size() && pin < pinMap.size(); ++pin) {
        if (!EqualsNoCase(definition->pins[pin].name, text)) continue;
        if (node == 0) {
            ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgCantGroundPin, std::string(text));
            return kMsgAlreadyReported;
        }
        for (std::size_t other = 0; other < pinMap.size(); ++other) {
            if (other != pin && pinMap[other] == node) {
                ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgSameNode, definition->pins[other].name,
                                     definition->pins[pin].name);
                return kMsgAlreadyReported;
            }
        }
        pinMap[pin] = node;
        return 0;
    }
    return 0;
}

int CheckPinsBound(SchematicItem* component, const std::vector<std::int32_t>& pinMap)
{
    std::string unbound;
    for (std::size_t pin = 0; pin < pinMap.size(); ++pin) {
        if (pinMap[pin] >= 0) continue;
        if (!unbound.empty()) unbound += ", ";
        unbound += component->definition && pin < component->definition->pins.size()
                       ? component->definition->pins[pin].name
                       : StrPrintf("%zu", pin + 1);
    }
    if (unbound.empty()) return 0;
    ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgPinNotDefined, unbound);
    return kMsgAlreadyReported;
}

void MapMacroNodes(int scope, const std::vector<std::int32_t>& pinMap)
{
    NetlistReaderState& state = NetlistReader();
    ScopeExpansion* info = ScopeExpansionOf(scope);
    WindowRecord* macro = info ? info->MacroPart().macroCircuit : nullptr;
    if (!info || !macro || !macro->document) return;
    const std::int32_t macroNodes = macro->document->nodeCount;
    std::vector<std::int32_t> map(static_cast<std::size_t>(std::max(macroNodes, 0)) + 1, -1);
    map[0] = 0;
    for (std::size_t pin = 0; pin < pinMap.size(); ++pin) {
        const std::int32_t m = pinMap[pin];
        if (m > 0 && static_cast<std::size_t>(m) < map.size() && info->call && pin < info->call->pinNodes.size())
            map[static_cast<std::size_t>(m)] = info->call->pinNodes[pin];
    }
    for (std::size_t m = 1; m < map.size(); ++m)
        if (map[m] < 0) map[m] = ++state.circuitNodeCounter;
    if (!state.exportInProgress) {
        if (CircuitDocument* document = CurrentDocument()) {
            for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
                if (!item.IsComponent() || item.scope != scope) continue;
                for (std::int32_t& node : item.pinNodes)
                    node = node >= 0 && static_cast<std::size_t>(node) < map.size() ? map[static_cast<std::size_t>(node)] : -1;
            }
        }
    }
    // An export writes the macro as a subcircuit in the macro's own numbering: its node texts
    // keep naming those nodes.
    for (NetlistTextObject* text : TextObjectsOfScope(scope)) {
        if (text->node < 0 || static_cast<std::size_t>(text->node) >= map.size()) continue;
        for (std::int32_t bound : pinMap)
            if (bound == text->node) text->renumbered = true;
        if (!state.exportInProgress) text->node = map[static_cast<std::size_t>(text->node)];
    }
    info->Macro().macroNodeMap = std::move(map);
}

void ReportParameterMismatch(SchematicItem* component, const std::string* required)
{
    const std::string& value = GetAttributeText(component, kAttrValue);
    const std::size_t open = value.find('(');
    const std::string supplied = open == std::string::npos ? std::string("None") : value.substr(open);
    ReportNetlistMessage("WNMME", CurrentRecord(), component, "Parameters required",
                         required && !required->empty() ? *required : std::string("None"), "Parameters supplied",
                         supplied, kMsgParameterMismatch);
}

int ParseMacroCall(SchematicItem* component, std::string& macroName, std::vector<std::string>& parameters,
                   bool& hasParameterList, std::string& path)
{
    std::string value;
    if (SubstituteDefines(value, component->scope, GetAttributeText(component, kAttrValue)) != 0) return 1;
    Trim(value);
    const std::size_t open = value.find('(');
    hasParameterList = open != std::string::npos;
    macroName = value.substr(0, open);
    Trim(macroName);
    parameters.clear();
    if (hasParameterList && SplitCallArguments(parameters, std::string_view(value).substr(open + 1)) < 0) {
        ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgBadCallParameters, value);
        return 1;
    }
    std::string name = macroName;
    if (FindExtensionDot(name) == std::string::npos) name += ".CIR";
    // Beside the circuit that calls it first (a circuit opened from another folder keeps its
    // macros), then where data files are looked for.
    path.clear();
    const SubcktScope* caller = FindScope(component->scope);
    const std::string callerFile = caller ? caller->fileName.str() : std::string();
    const std::size_t separator = callerFile.find_last_of("/\\");
    if (separator != std::string::npos && name.find_first_of("/\\") == std::string::npos) {
        std::string beside = callerFile.substr(0, separator + 1) + name;
        if (CheckFileAccess(beside) == 0) path = ResolveFilePath(beside);
    }
    if (path.empty() && (LocateFile(path, name, kLocateWorkingData, true) != 0 || path.empty())) path = name;
    return 0;
}

int ReadIncludeDefinitions(std::string_view text, int scope)
{
    std::size_t keyword = MatchKeyword(text, ".INCLUDE");
    if (keyword == 0) keyword = MatchKeyword(text, ".INC");
    if (keyword == 0) return 0;
    std::string name(text.substr(keyword));
    for (char& c : name)
        if (c == '"') c = ' ';
    Trim(name);
    std::string path;
    if (LocateFile(path, name, kLocateWorkingData, true) != 0 || path.empty()) path = name;
    const int unit = FindFreeUnit();
    if (int status = unit < 0 ? kMsgFileErrorBase + EMFILE : OpenUnit(path, unit)) {
        CloseUnit(unit);
        ReportNetlistMessage("WLtE", CurrentRecord(), scope, path, status, path);
        return 1;
    }
    int result = 0;
    std::string line;
    while (SourceHasMoreLines(unit)) {
        const int lineNumber = GetFileUnit(unit)->lineNumber;
        if (ReadLogicalLine(unit, line, 0) != 0) {
            result = 1;
            break;
        }
        if (line.empty() || line.front() != '.') continue;
        if (MatchKeyword(line, ".DEFINE")) {
            if (ParseDefineStatement(line, scope, DefineOrigin{}) != 0) {
                result = 1;
                break;
            }
            continue;
        }
        NetlistTextObject* object = AddCircuitTextObject(line, lineNumber, scope, path);
        if (!object) {
            ReportReaderOutOfMemory();
            result = 1;
            break;
        }
    }
    CloseUnit(unit);
    return result;
}

int ExpandMacroInstance(SchematicItem* component)
{
    NetlistReaderState& state = NetlistReader();
    CircuitDocument* document = CurrentDocument();
    if (!document || !component) return 1;
    const int scope = static_cast<int>(Netlist().scopes.size());
    if (ResizeScopeTable(scope) != 0) {
        FlagCircuitBuildError();
        return 1;
    }
    ScopeExpansion* info = ScopeExpansionOf(scope);
    SubcktScope* entry = FindScopeForEdit(scope);
    entry->parent = component->scope;
    info->kind = kComponentMacro;
    info->call = component;
    SetCurrentScope(scope);
    std::string macroName, path;
    std::vector<std::string> actuals;
    bool hasList = false;
    if (ParseMacroCall(component, macroName, actuals, hasList, path) != 0) {
        FlagCircuitBuildError();
        return 1;
    }
    SetScopeNames(scope, GetFileBaseName(path));
    entry->fileName = path;
    // A macro that calls itself, directly or through others, would be expanded without end.
    for (int up = entry->parent;;) {
        const SubcktScope* outer = FindScope(up);
        if (!outer) break;
        if (FileNamesEqual(outer->fileName, path)) {
            ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgMacroCallsItself, macroName);
            FlagCircuitBuildError();
            return 1;
        }
        if (up == 0) break;
        up = outer->parent;
    }

    // A macro used twice is loaded once.
    WindowRecord* macro = nullptr;
    for (const ScopeWindow& kept : ScopeWindows()) {
        const SubcktScope* row = FindScope(kept.scope);
        if (kept.scope > 0 && kept.scope != scope && row && FileNamesEqual(row->fileName, path)) macro = kept.window;
    }
    if (!macro) {
        int status = LoadCircuitFile(nullptr, path, kFileKindSchematic, kLoadMacro | kLoadNoRecent, macro);
        if (status != 0 || !macro) {
            if (status != kMsgAlreadyReported)
                ReportNetlistMessage("WNtE", CurrentRecord(), component, path, status == 0 ? kMsgFileNotFound : status, path);
            FlagCircuitBuildError();
            return 1;
        }
    }
    SetScopeWindow(scope, macro);
    info->Macro().macroCircuit = macro;
    RebuildNetlistIfNeeded(macro, true);
    CircuitDocument& macroDocument = *macro->document;
    // A global pin of the macro without a label of its name cannot be connected: the build stops.
    if (Connectivity().unresolvedGlobalPinItem) {
        ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgHiddenNodeMissing, Connectivity().unresolvedGlobalPinName);
        FlagCircuitBuildError();
        return 1;
    }
    // The macro's components, with its node numbers.
    try {
        for (SchematicItem& item : ListRecords<SchematicItem>(macroDocument.itemList)) {
            if (!item.IsComponent() || IsConnectionOnly(ItemComponentType(&item))) continue;
            SchematicItem* copy = NewSchematicItem(CurrentRecord());
            if (!copy) return ReportReaderOutOfMemory(), 1;
            copy->itemKind = kItemComponent;
            copy->x1 = item.x1;
            copy->y1 = item.y1;
            copy->orientation = item.orientation;
            copy->style = item.style;
            copy->page = item.page;
            copy->definition = item.definition;
            copy->scope = scope;
            copy->pinNodes.resize(item.pinNodes.size());
            for (int pin = 0; pin < item.PinCount(); ++pin)
                copy->pinNodes[static_cast<std::size_t>(pin)] = PinNodeNumber(macroDocument, item, pin);
            if (CopyComponentAttributes(*copy, item) != 0) return ReportReaderOutOfMemory(), 1;
        }
        info->Macro().pinMap.assign(static_cast<std::size_t>(component->PinCount()), -1);
        for (const GridText& text : ListRecords<GridText>(macroDocument.gridTextList)) {
            std::int32_t node = -1;
            if (text.number >= 0 && static_cast<std::size_t>(text.number) < macroDocument.schematicNodeTable.size())
                node = macroDocument.schematicNodeTable[static_cast<std::size_t>(text.number)].nodeNumber;
            if (text.text.empty() || (text.text.front() != '.' && node < 0)) continue;
            std::string upper = CopyUpperCase(text.text);
            CollapseLineBreaks(upper);
            Trim(upper);
            if (node >= 0 && IsReservedExpressionName(upper, false)) {
                ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgReservedName, upper);
                FlagCircuitBuildError();
                return 1;
            }
            NetlistTextObject* object = AddCircuitTextObject(upper, 0, scope, path);
            if (!object) return ReportReaderOutOfMemory(), 1;
            object->node = upper.front() == '.' ? -1 : node;
            if (object->node >= 0) ++NetlistReader().nodePlacedTexts;
            object->origin = 0;
        }
        // Dot lines of the macro's text area.
        if (!macro->textArea.empty()) {
            const int unit = FindFreeUnit();
            if (unit >= 0) {
                FileUnit& slot = *GetFileUnit(unit);
                slot.mode = kUnitReading;
                slot.textWindow = macro;
                slot.name = path;
                LoadUnitText(unit, 0, 0, kLoadToEnd);
                std::string line;
                while (SourceHasMoreLines(unit)) {
                    const int lineNumber = slot.lineNumber;
                    if (ReadLogicalLine(unit, line, 0) != 0) break;
                    if (line.empty() || line.front() != '.') continue;
                    if (!AddCircuitTextObject(line, lineNumber, scope, path)) {
                        CloseUnit(unit);
                        return ReportReaderOutOfMemory(), 1;
                    }
                }
                CloseUnit(unit);
            }
        }
    } catch (const std::bad_alloc&) {
        ReportReaderOutOfMemory();
        return 1;
    }

    std::vector<std::string> formals;
    std::string parameterList;
    bool hasParameters = false;
    for (NetlistTextObject* text : TextObjectsOfScope(scope)) {
        const std::string& line = text->text;
        const DefineOrigin origin{nullptr, text, text->origin == kTextOriginNone ? kOriginNone : kOriginSchematic};
        if (text->node < 0) {
            if (ReadIncludeDefinitions(line, scope) != 0) {
                FlagCircuitBuildError();
                return 1;
            }
            if (MatchKeyword(line, ".LOADOP")) state.loadOperatingPoint = true;
            if (MatchKeyword(line, ".DEFINE") && ParseDefineStatement(line, scope, origin) != 0) {
                FlagCircuitBuildError();
                return 1;
            }
            if (MatchKeyword(line, ".PARAM") && EvaluateParamText(*text) != 0) {
                FlagCircuitBuildError();
                return 1;
            }
            if (std::size_t keyword = MatchKeyword(line, ".PARAMETERS")) {
                std::string rest(line.substr(keyword));
                Trim(rest);
                hasParameters = true;
                parameterList = rest;
                if (rest.empty() || rest.front() != '(' || SplitCallArguments(formals, rest.substr(1)) < 0)
                    ReportNetlistMessage("WNE", CurrentRecord(), component, kMsgBadParameters, line);
            }
            continue;
        }
        if (BindMacroPin(component, info->Macro().pinMap, line, text->node) != 0) {
            FlagCircuitBuildError();
            return 1;
        }
    }
    if (CheckPinsBound(component, info->Macro().pinMap) != 0) {
        FlagCircuitBuildError();
        return 1;
    }
    int defaultsUsed = 0;
    bool mismatch = hasList != hasParameters;
    for (std::size_t i = 0; i < formals.size() && !CircuitBuildFailed(); ++i) {
        const std::size_t equals = formals[i].find('=');
        std::string name = formals[i].substr(0, equals);
        Trim(name);
        std::string value = i < actuals.size() ? actuals[i] : std::string();
        if (value.empty() && equals != std::string::npos) {
            value = formals[i].substr(equals + 1);
            Trim(value);
            if (i >= actuals.size()) ++defaultsUsed;
        }
        // A netlist written for another simulator passes the values to the subcircuit it makes.
        if (state.keepTextMode || state.exportInProgress) {
            std::string formalDefault = equals == std::string::npos ? std::string("0") : formals[i].substr(equals + 1);
            Trim(formalDefault);
            SetAttribute(CurrentRecord(), component, "$.P " + CopyUpperCase(name), formalDefault);
            if (i < actuals.size()) SetAttribute(CurrentRecord(), component, "$XP " + CopyUpperCase(name), actuals[i]);
        }
        if (value.empty()) {
            mismatch = true;
            break;
        }
        const int defineClass = state.exportInProgress ? kDefineClassExportParam : kDefineClassDefine;
        if (AddDefine(CopyUpperCase(name), {}, CopyUpperCase(value), scope, DefineOrigin{component, nullptr, kOriginSchematic},
                      defineClass) != 0) {
            FlagCircuitBuildError();
            return 1;
        }
    }
    if (!CircuitBuildFailed() && ExpandDefineBodies(scope) != 0) FlagCircuitBuildError();
    for (NetlistTextObject* text : TextObjectsOfScope(scope)) {
        if (CircuitBuildFailed()) break;
        if (text->node < 0 && MatchKeyword(text->text, ".MODEL") &&
            ParseModelStatement(text->text, scope, text->lineNumber, kModelSourceSchematic, path, text) != 0)
            FlagCircuitBuildError();
    }
    MapMacroNodes(scope, info->Macro().pinMap);
    if (!CircuitBuildFailed() &&
        (mismatch || static_cast<int>(actuals.size()) + defaultsUsed != static_cast<int>(formals.size()))) {
        ReportParameterMismatch(component, hasParameters ? &parameterList : nullptr);
    }
    return CircuitBuildFailed() ? 1 : 0;
}

int ExpandCircuit(bool expandMacros, SchematicItem* onlyComponent, bool withSubcircuits)
{
    NetlistReaderState& state = NetlistReader();
    WindowRecord* record = CurrentRecord();
    CircuitDocument* document = CurrentDocument();
    if (!record || !document) return 0;
    try {
        const bool schematic = record->kind != kWindowTextCircuit;
        // A text netlist's nodes were named by its text pass, which began the build.
        if (schematic) {
            ResetExpansionNodes();
            ForgetEarlierEscape();
        }
        state.circuitNodeGroups.clear();
        state.circuitNodeCounter = document->nodeCount;
        ForgetEnclosingDefinitions();
        if (!ScopeTableExists()) {
            if (ResizeScopeTable(0) != 0) return 1;
            FindScopeForEdit(0)->fileName = GetRecordTitle(record);
        }
        ScopeExpansionOf(0)->kind = schematic ? kComponentMacro : kComponentSubckt;
        if (schematic) {
            for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
                if (!item.IsComponent() || ElementOrigin(&item) || item.scope != 0) continue;
                for (int pin = 0; pin < item.PinCount(); ++pin)
                    item.pinNodes[static_cast<std::size_t>(pin)] = PinNodeNumber(*document, item, pin);
            }
            if (expandMacros) {
                for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
                    if (!item.IsComponent() || ItemComponentType(&item) != kComponentMacro) continue;
                    if (onlyComponent && &item != onlyComponent) continue;
                    if (ExpandMacroInstance(&item) != 0) {
                        FlagCircuitBuildError();
                        break;
                    }
                }
            }
            if (!CircuitBuildFailed() && NameSchematicNodes(*document) != 0) FlagCircuitBuildError();
            if (!CircuitBuildFailed() && ConnectDrawnInterfaces(*document) != 0) FlagCircuitBuildError();
            document->connectivityStale = 1;
        }
        if (!CircuitBuildFailed() && withSubcircuits && ExpandSubcircuits(*document, nullptr) != 0) FlagCircuitBuildError();
        SetCurrentScope(0);
        ListNode* beforeInterfaces = document->itemList.tail;
        if (!CircuitBuildFailed() && ClassifyNodeDomains() != 0) FlagCircuitBuildError();
        // The interface calls that the domain check made are expanded like the others.
        if (!CircuitBuildFailed() && withSubcircuits && beforeInterfaces &&
            ExpandSubcircuits(*document, beforeInterfaces) != 0)
            FlagCircuitBuildError();
        SetCurrentScope(0);
        if (!CircuitBuildFailed() && NumberNodesByDomain() != 0) FlagCircuitBuildError();
        if (!CircuitBuildFailed() && CheckPowerNodes() != 0) FlagCircuitBuildError();
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return CircuitBuildFailed() ? 1 : 0;
}

}  // namespace kq5
