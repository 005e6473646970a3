#include "netlist/subcircuit_calls.h"

#include <cerrno>
#include <new>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/file_names.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_library_lookup.h"
#include "document/scope_table.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_elements.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "netlist/subcircuit_nodes.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr int kMsgCantFindSubckt = 10903;
constexpr int kMsgPinNameMismatch = 10904;
constexpr int kMsgTooManyNodes = 10909;
constexpr int kMsgMissingEnds = 10918;
constexpr int kMsgTooFewNodes = 10919;
constexpr int kMsgSubcktCallsItself = 10929;
constexpr int kMsgSubcktDefinedAgain = 10979;
constexpr int kMsgCantGroundPin = 10953;
constexpr int kMsgExpectingFollow = 11901;

bool BeginsSubckt(std::string_view line) { return line.starts_with(".SUBCKT "); }
bool EndsSubckt(std::string_view line) { return line.starts_with(".ENDS ") || line == ".ENDS"; }
bool IsIncludeLine(std::string_view line) { return line.starts_with(".INC ") || line.starts_with(".INCLUDE "); }

// The word after the first blank of a line (a .SUBCKT line's name).
std::string SecondWord(std::string_view line)
{
    std::size_t start = line.find(' ');
    if (start == std::string_view::npos) return {};
    while (start < line.size() && line[start] == ' ') ++start;
    std::size_t end = start;
    while (end < line.size() && line[end] != ' ') ++end;
    return std::string(line.substr(start, end - start));
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string MappingName(char marker, char kind, std::string_view name)
{
    std::string text = "$";
    text += marker;
    text += kind;
    text += ' ';
    text += name;
    return text;
}

int ReportAtCall(const SchematicItem* call, int id, std::string_view first = {}, std::string_view second = {})
{
    if (!second.empty())
        ReportNetlistMessage("WNE", CurrentRecord(), call, id, std::string(first), std::string(second));
    else
        ReportNetlistMessage("WNE", CurrentRecord(), call, id, std::string(first));
    return kMsgAlreadyReported;
}

std::string ParentAndNameKey(int parent, std::string_view name)
{
    std::string key = std::to_string(parent);
    key += '\x01';
    key += name;
    return key;
}

std::string StartKey(std::string_view file, long position)
{
    std::string key(file);
    key += '\x01';
    key += std::to_string(position);
    return key;
}

// Records the definitions of a file and of the files it includes; the file's own text after
// .END is not read. Sources are opened on units of their own, outside the reader's stack.
void ScanDefinitions(const std::string& path, SubcktFileIndex& index, std::vector<std::string>& visiting)
{
    for (const std::string& open : visiting)
        if (FileNamesEqual(open, path)) return;
    if (static_cast<int>(visiting.size()) > kMaxIncludeLevel) return;
    const int unit = FindFreeUnit();
    if (unit < 0 || OpenUnit(path, unit) != 0) return;
    visiting.push_back(path);
    std::vector<int> open;
    std::string line;
    // The title line of the circuit's own text is no statement.
    const SubcktScope* top = FindScope(0);
    const bool hasTitle = visiting.size() == 1 && top && FileNamesEqual(top->fileName, path);
    bool first = true;
    while (SourceHasMoreLines(unit)) {
        const long position = TellUnitPosition(unit);
        const int lineNumber = GetFileUnit(unit)->lineNumber;
        if (ReadLogicalLine(unit, line, 0) != 0) break;
        if (first && hasTitle) {
            first = false;
            continue;
        }
        first = false;
        if (BeginsSubckt(line)) {
            SubcktDefinition definition;
            definition.name = SecondWord(line);
            definition.file = path;
            definition.position = position;
            definition.line = lineNumber;
            definition.parent = open.empty() ? -1 : open.back();
            if (!open.empty()) index.definitions[static_cast<std::size_t>(open.back())].holdsDefinitions = true;
            const int at = static_cast<int>(index.definitions.size());
            const std::string key = ParentAndNameKey(definition.parent, definition.name);
            if (!index.byParentAndName.emplace(key, at).second) index.repeated.emplace(key, at);
            index.byStart.emplace(StartKey(path, position), at);
            index.definitions.push_back(std::move(definition));
            open.push_back(at);
        } else if (EndsSubckt(line)) {
            if (!open.empty()) {
                SubcktDefinition& closed = index.definitions[static_cast<std::size_t>(open.back())];
                closed.endsPosition = position;
                closed.endsLine = lineNumber;
                open.pop_back();
            }
        } else if (open.empty() && line == ".END") {
            break;
        } else if (open.empty() && IsIncludeLine(line)) {
            std::string name;
            std::string_view rest = std::string_view(line).substr(line.find(' ') + 1);
            name.assign(rest);
            Trim(name);
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
            std::string included = DirectoryOf(path) + name;
            if (name.empty()) continue;
            // The statement was folded to upper case: the file keeps the name it has on disk.
            if (CheckFileAccess(included) == 0)
                included = ResolveFilePath(included);
            else
                ResolveFileName(included, name, false);
            ScanDefinitions(included, index, visiting);
        }
    }
    CloseUnit(unit);
    visiting.pop_back();
}

// The index of a file, made the first time it is asked for.
int IndexOfFile(const std::string& path)
{
    NetlistReaderState& state = NetlistReader();
    for (std::size_t i = 0; i < state.subcktIndexes.size(); ++i)
        if (FileNamesEqual(state.subcktIndexes[i].path, path)) return static_cast<int>(i);
    SubcktFileIndex index;
    index.path = path;
    std::vector<std::string> visiting;
    ScanDefinitions(path, index, visiting);
    state.subcktIndexes.push_back(std::move(index));
    return static_cast<int>(state.subcktIndexes.size()) - 1;
}

struct FoundDefinition {
    int file = -1;
    int index = -1;
    const SubcktDefinition* definition = nullptr;
};

// The first definition of the name directly inside the parent (-1: at the top of the file).
FoundDefinition FindInIndex(int file, int parent, std::string_view name)
{
    const SubcktFileIndex& index = NetlistReader().subcktIndexes[static_cast<std::size_t>(file)];
    const auto found = index.byParentAndName.find(ParentAndNameKey(parent, name));
    if (found == index.byParentAndName.end()) return {};
    return {file, found->second, &index.definitions[static_cast<std::size_t>(found->second)]};
}

FoundDefinition FindTopLevel(const std::string& path, std::string_view name)
{
    if (path.empty()) return {};
    return FindInIndex(IndexOfFile(path), -1, name);
}

constexpr std::int32_t kNoTree = -1;
constexpr std::int32_t kNotMade = -2;

// The scope a scope's call sits in; 0 at the top (a parent is always made before its scopes).
int ParentScope(int scope)
{
    const SubcktScope* entry = FindScope(scope);
    return entry && entry->parent < scope ? entry->parent : 0;
}

// A value kept for each scope that is made from its parent's value and the scope's own record,
// for the scopes that calls sit in: a call nested deep finds its parent's value made, so the
// scopes' values cost one step each rather than a walk out to the top. `top` is the main
// circuit's value.
template <class Make>
std::int32_t ScopeChainValue(std::vector<std::int32_t>& values, int scope, std::int32_t top, Make make)
{
    std::vector<int> pending;  // the scopes without a value, from the scope outwards
    int level = scope;
    while (level > 0 && (static_cast<std::size_t>(level) >= values.size() || values[static_cast<std::size_t>(level)] == kNotMade)) {
        pending.push_back(level);
        level = ParentScope(level);
    }
    std::int32_t value = level > 0 ? values[static_cast<std::size_t>(level)] : top;
    for (auto at = pending.rbegin(); at != pending.rend(); ++at) {
        value = make(value, *at);
        if (values.size() <= static_cast<std::size_t>(*at)) values.resize(static_cast<std::size_t>(*at) + 1, kNotMade);
        values[static_cast<std::size_t>(*at)] = value;
    }
    return value;
}

// The scope itself or the nearest one around it whose definition holds nested definitions; 0
// when none does.
int NearestNestingScope(int scope)
{
    return ScopeChainValue(NetlistReader().nestingScopes, scope, 0, [](std::int32_t outer, int level) {
        const ScopeExpansion* info = ScopeExpansionOf(level);
        if (info->definitionFile < 0) return outer;
        const SubcktFileIndex& index = NetlistReader().subcktIndexes[static_cast<std::size_t>(info->definitionFile)];
        return index.definitions[static_cast<std::size_t>(info->definitionIndex)].holdsDefinitions ? level : outer;
    });
}

// A definition's key in the trees: the spread bits of its file and index, one to one, so that
// the trees keep their balance whatever order the definitions come in.
std::uint64_t DefinitionKey(int file, int index)
{
    return NameHashFinish((static_cast<std::uint64_t>(static_cast<std::uint32_t>(file)) << 32) |
                          static_cast<std::uint32_t>(index));
}

bool TreeHolds(std::int32_t root, std::uint64_t key)
{
    const std::vector<EnclosingDefinitionNode>& nodes = NetlistReader().enclosingDefinitionNodes;
    while (root >= 0) {
        const EnclosingDefinitionNode& node = nodes[static_cast<std::size_t>(root)];
        if (node.key == key) return true;
        root = key < node.key ? node.left : node.right;
    }
    return false;
}

// The root of a tree holding the tree's keys and this one (absent from it): the nodes on the way
// to the new one are copied, the others shared.
std::int32_t TreeWith(std::int32_t root, std::uint64_t key)
{
    std::vector<EnclosingDefinitionNode>& nodes = NetlistReader().enclosingDefinitionNodes;
    EnclosingDefinitionNode node;
    node.key = key;
    if (root >= 0) {
        node = nodes[static_cast<std::size_t>(root)];
        std::int32_t& side = key < node.key ? node.left : node.right;
        side = TreeWith(side, key);
    }
    nodes.push_back(node);
    return static_cast<std::int32_t>(nodes.size() - 1);
}

// The tree of the definitions that the scope and the scopes around it expand (the main
// circuit's counts none).
std::int32_t EnclosingDefinitions(int scope)
{
    return ScopeChainValue(NetlistReader().enclosingDefinitions, scope, kNoTree, [](std::int32_t root, int level) {
        const ScopeExpansion* info = ScopeExpansionOf(level);
        if (info->definitionFile < 0) return root;
        const std::uint64_t key = DefinitionKey(info->definitionFile, info->definitionIndex);
        return TreeHolds(root, key) ? root : TreeWith(root, key);
    });
}

// A definition nested in the definition of the scope or of one enclosing it, then a top-level
// one in the scope's file, the circuit's file and the libraries.
FoundDefinition FindDefinition(std::string_view name, int scope)
{
    // Only the scopes whose definitions hold others can hold this one: the walk out through
    // calls nested deep steps from one such scope to the next.
    for (int level = scope; level > 0; level = NearestNestingScope(ParentScope(level))) {
        const ScopeExpansion* info = ScopeExpansionOf(level);
        if (info && info->definitionFile >= 0) {
            FoundDefinition found = FindInIndex(info->definitionFile, info->definitionIndex, name);
            if (found.definition) return found;
        }
    }
    std::vector<std::string> files;
    if (const SubcktScope* entry = FindScope(scope)) files.push_back(entry->fileName);
    if (const SubcktScope* top = FindScope(0)) files.push_back(top->fileName);
    for (const std::string& library : CircuitLibraries()) files.push_back(library);
    for (const std::string& file : files) {
        FoundDefinition found = FindTopLevel(file, name);
        if (found.definition) return found;
    }
    // The libraries' index files know the rest.
    int error = 0;
    std::string libraryPath;
    if (FindInLibraries(name, -1, kLookupSubcircuit, error, &libraryPath) >= 0 && !libraryPath.empty())
        return FindTopLevel(libraryPath, name);
    return {};
}

// The statements of a definition from its .SUBCKT line to its .ENDS, blanks run together and
// comment lines left out, to tell whether two definitions say the same.
std::vector<std::string> DefinitionStatements(const SubcktDefinition& definition)
{
    std::vector<std::string> statements;
    const int unit = FindFreeUnit();
    if (unit < 0 || OpenUnit(definition.file, unit) != 0) {
        CloseUnit(unit);
        return statements;
    }
    SeekUnit(unit, definition.position, definition.line);
    std::string line;
    while (SourceHasMoreLines(unit) && TellUnitPosition(unit) <= definition.endsPosition) {
        if (ReadLogicalLine(unit, line, 0) != 0) break;
        std::string packed;
        for (char c : line) {
            if (c != ' ' && c != '\t') packed += c;
            else if (!packed.empty() && packed.back() != ' ') packed += ' ';
        }
        while (!packed.empty() && packed.back() == ' ') packed.pop_back();
        if (!packed.empty() && packed.front() != '*') statements.push_back(std::move(packed));
    }
    CloseUnit(unit);
    return statements;
}

// A name defined differently twice in one file, or in a library and another library of the
// circuit: the first definition found is used, and the user is told once a build which.
void WarnOfOtherDefinition(const SchematicItem* call, const std::string& name, int scope, const FoundDefinition& found)
{
    const SubcktDefinition& used = *found.definition;
    if (used.parent >= 0 || used.endsPosition < 0 || !NetlistReader().checkedLibraryDefinitions.insert(name).second)
        return;
    const SubcktFileIndex& file = NetlistReader().subcktIndexes[static_cast<std::size_t>(found.file)];
    std::vector<std::string> usedStatements;
    const auto differs = [&](const SubcktDefinition& again) {
        if (usedStatements.empty()) usedStatements = DefinitionStatements(used);
        if (again.endsPosition < 0 || DefinitionStatements(again) == usedStatements) return false;
        const auto where = [](const SubcktDefinition& d) { return StrPrintf("%s, line %d", d.file.c_str(), d.line + 1); };
        ReportNetlistMessage("WNE", CurrentRecord(), call, kMsgSubcktDefinedAgain, name, where(again), where(used));
        return true;
    };
    // Defined twice in one file (or in the files it includes).
    if (const auto again = file.repeated.find(ParentAndNameKey(-1, name)); again != file.repeated.end())
        if (differs(file.definitions[static_cast<std::size_t>(again->second)])) return;
    // The circuit's own definition stands in for the libraries' on purpose.
    const std::string& usedFrom = file.path;
    for (int own : {scope, 0})
        if (const SubcktScope* entry = FindScope(own); entry && FileNamesEqual(entry->fileName, usedFrom)) return;
    for (const std::string& library : std::vector<std::string>(CircuitLibraries())) {
        const FoundDefinition other = FindTopLevel(library, name);
        if (!other.definition) continue;
        const SubcktDefinition& again = *other.definition;
        if (FileNamesEqual(again.file, used.file) && again.position == used.position) continue;
        if (differs(again)) return;
    }
}

// True when an enclosing scope expands the same definition.
bool CallsItself(int scope, const FoundDefinition& found)
{
    return TreeHolds(EnclosingDefinitions(ParentScope(scope)), DefinitionKey(found.file, found.index));
}

bool IsGeneratedDefinition(const ComponentDefinition* definition)
{
    return NetlistReader().generatedDefinitions.contains(definition);
}

// Binds the formal name in the current scope to the net of the call's pin.
int BindFormal(const SchematicItem* call, std::string_view formal, int pin)
{
    std::int32_t node = -1;
    const std::int32_t actual = call->pinNodes[static_cast<std::size_t>(pin)];
    return ResolveNodeName(formal, node, NodeGroupOf(actual));
}

// The .SUBCKT header: formal pins, OPTIONAL: pins and PARAMS:/TEXT: defaults.
int ProcessHeader(SchematicItem* call, const std::string& name)
{
    enum class Mode { Pins, Optional, Params, Text };
    Mode mode = Mode::Pins;
    const int actualCount = call->PinCount();
    int formalPins = 0;
    int consumed = 0;
    for (int i = 2; !Token(i).empty();) {
        const std::string token = Token(i);
        if (token == "OPTIONAL:" || token == "PARAMS:" || token == "TEXT:") {
            mode = token == "OPTIONAL:" ? Mode::Optional : token == "PARAMS:" ? Mode::Params : Mode::Text;
            ++i;
            continue;
        }
        if (token == ",") {
            ++i;
            continue;
        }
        // A "name=value" list without PARAMS: (the SPICE3 form) is parameters too.
        if (mode == Mode::Pins && Token(i + 1) == "=") mode = Mode::Params;
        switch (mode) {
            case Mode::Pins:
                ++formalPins;
                if (consumed < actualCount) {
                    if (token == "0") return ReportAtCall(call, kMsgCantGroundPin, token);
                    const int pin = CheckCallPinName(call, token, name, consumed);
                    if (pin < 0) return kMsgAlreadyReported;
                    if (int status = BindFormal(call, token, pin)) return status;
                    ++consumed;
                }
                ++i;
                break;
            case Mode::Optional: {
                if (Token(i + 1) != "=") return ReportAtCall(call, kMsgExpectingFollow, "=", token);
                const std::string defaultNode = Token(i + 2);
                if (defaultNode.empty() || defaultNode == ",") return ReportAtCall(call, kMsgExpectingFollow, "<value>", token);
                i += 3;
                if (consumed < actualCount) {
                    if (int status = BindFormal(call, token, consumed)) return status;
                    ++consumed;
                } else if (!SetAttribute(CurrentRecord(), call, MappingName('.', kMapOptional, token), defaultNode)) {
                    return kMsgAlreadyReported;
                }
                break;
            }
            case Mode::Params:
            case Mode::Text:
                if (int status = AddCallMapping(call, mode == Mode::Params ? kMapParam : kMapText, i, true)) return status;
                break;
        }
    }
    if (formalPins <= actualCount && consumed >= actualCount) return 0;
    // The count is wrong at the call, not in the definition.
    if (const auto origin = ElementOrigin(call)) SetErrorSourceLine(origin->source, origin->line);
    return ReportAtCall(call, formalPins > actualCount ? kMsgTooFewNodes : kMsgTooManyNodes, name);
}

// The call's PARAMS: and TEXT: lists, defines of the calling scope substituted in their values.
int MapCallValues(SchematicItem* call)
{
    for (const auto& [attribute, kind] : {std::pair{kAttrParams, kMapParam}, std::pair{kAttrTextColon, kMapText}}) {
        const std::string& text = GetAttributeText(call, attribute);
        if (text.empty()) continue;
        std::string expanded;
        if (SubstituteMappingValues(expanded, call->scope, text) != 0) return kMsgAlreadyReported;
        if (int status = TokenizeNetlistLine(expanded)) return status;
        for (int i = 0; !Token(i).empty();) {
            if (Token(i) == ",") {
                ++i;
                continue;
            }
            if (int status = AddCallMapping(call, kind, i, false)) return status;
        }
    }
    return 0;
}

// Reads the body of the definition: its lines at depth 1 are dispatched in the current scope.
int ReadBody(SchematicItem* call, const std::string& name, const SubcktDefinition& definition, ScopeExpansion& info)
{
    NetlistReaderState& state = NetlistReader();
    const int unit = FindFreeUnit();
    if (unit < 0) return ReportAtCall(call, kMsgFileErrorBase + EMFILE, name);
    if (int status = OpenUnit(definition.file, unit)) {
        CloseUnit(unit);
        ReportNetlistMessage("WNtE", CurrentRecord(), call, definition.file, status, definition.file);
        return kMsgAlreadyReported;
    }
    state.includeLevel = 0;
    state.includeUnits[0] = unit;
    SeekUnit(unit, definition.position, definition.line);
    std::string line;
    if (int status = ReadLogicalLineShowingError(unit, line)) return status;
    SetErrorSourceLine(definition.file, definition.line);
    if (int status = TokenizeNetlistLine(line)) return status;
    if (Token(0) != ".SUBCKT" || Token(1) != name) return ReportAtCall(call, kMsgCantFindSubckt, name);
    if (int status = ProcessHeader(call, name)) return status;

    int depth = 1;
    bool closed = false;
    while (NextSourceWithLines(TopSourceUnit())) {
        const int top = TopSourceUnit();
        const long position = TellUnitPosition(top);
        if (int status = ReadLogicalLineShowingError(top, line)) return status;
        SetErrorSourceLine(TopSourceName(), LogicalLineStart());
        if (BeginsSubckt(line)) {
            if (++depth != 2) continue;
            // A nested definition is read when it is called, not here: straight to its .ENDS,
            // so that a deep chain of nested definitions is not read again at every level.
            if (top == unit && IncludeLevel() == 0 && info.definitionFile >= 0) {
                const SubcktFileIndex& index = state.subcktIndexes[static_cast<std::size_t>(info.definitionFile)];
                const auto nested = index.byStart.find(StartKey(definition.file, position));
                if (nested != index.byStart.end()) {
                    const SubcktDefinition& inner = index.definitions[static_cast<std::size_t>(nested->second)];
                    if (inner.endsPosition > position) SeekUnit(top, inner.endsPosition, inner.endsLine);
                }
            }
            continue;
        }
        if (EndsSubckt(line)) {
            if (--depth == 0) {
                closed = true;
                break;
            }
            continue;
        }
        if (depth != 1 || line.empty()) continue;
        if (line == ".END") {
            if (IncludeLevel() == 0) break;
            PopIncludeSource();
            continue;
        }
        if (int status = TokenizeNetlistLine(line)) return status;
        if (int status = DispatchNetlistLine(line)) return status;
    }
    if (!closed) {
        SetErrorSourceLine(definition.file, definition.line);
        return ReportAtCall(call, kMsgMissingEnds, name);
    }
    return 0;
}

}  // namespace

void SetScopeFileName(std::string_view fileName, int scope)
{
    SubcktScope* entry = FindScopeForEdit(scope);
    if (!entry) return;
    std::string path(fileName);
    if (CheckFileAccess(path) == 0) {
        path = ResolveFilePath(path);
    } else {
        std::string resolved;
        if (ResolveFileName(resolved, fileName, false) == 0 && !resolved.empty()) path = resolved;
    }
    entry->fileName = path;
}

int AddCallMapping(SchematicItem* call, char kind, int& index, bool fromHeader)
{
    const std::string name = Token(index);
    if (Token(index + 1) != "=") return ReportAtCall(call, kMsgExpectingFollow, "=", name);
    index += 2;
    std::string value;
    if (Token(index) == "{") {
        int depth = 0;
        for (; !Token(index).empty(); ++index) {
            if (Token(index) == "{") ++depth;
            if (Token(index) == "}" && --depth == 0) break;
            if (!(Token(index) == "{" && depth == 1)) value += Token(index);
        }
        if (Token(index) != "}") return ReportAtCall(call, kMsgExpectingFollow, "}", name);
        ++index;
        value = "{" + value + "}";
    } else {
        value = Token(index);
        if (value.empty() || value == "," || value == "=") return ReportAtCall(call, kMsgExpectingFollow, "<value>", name);
        ++index;
    }
    const std::string given = MappingName('X', kind, name);
    if (fromHeader && FindAttribute(call, given)) return 0;
    // Inside braces a parameter reads as its expression.
    std::string mapped = value;
    if (mapped.size() >= 2 && mapped.front() == '{' && mapped.back() == '}') mapped = mapped.substr(1, mapped.size() - 2);
    if (!SetAttribute(CurrentRecord(), call, MappingName('.', kind, name), mapped)) return kMsgAlreadyReported;
    if (!fromHeader && !SetAttribute(CurrentRecord(), call, given, "1")) return kMsgAlreadyReported;
    if (kind == kMapParam) {
        DefineOrigin origin;
        origin.item = call;
        origin.kind = kOriginSubcktParams;
        if (AddDefine(name, {}, value, CurrentScope(), origin, kDefineClassDefine) != 0) return kMsgAlreadyReported;
    }
    return 0;
}

int CheckCallPinName(const SchematicItem* component, std::string_view pinName, std::string_view subcktName,
                     int position)
{
    const ComponentDefinition* definition = component ? component->definition : nullptr;
    if (!definition || IsGeneratedDefinition(definition)) return position;
    for (std::size_t pin = 0; pin < definition->pins.size(); ++pin)
        if (EqualsNoCase(definition->pins[pin].name, pinName)) return static_cast<int>(pin);
    ReportAtCall(component, kMsgPinNameMismatch, pinName, subcktName);
    return -1;
}

std::string MapOptionalPinName(std::string_view name)
{
    const ScopeExpansion* info = ScopeExpansionOf(CurrentScope());
    if (!info || !info->call || CurrentScope() == 0) return std::string(name);
    if (const ComponentAttribute* mapped = FindAttribute(info->call, MappingName('.', kMapOptional, name)))
        return mapped->value;
    return std::string(name);
}

bool MapParamName(std::string_view name, std::string& value)
{
    const ScopeExpansion* info = ScopeExpansionOf(CurrentScope());
    if (!info || !info->call || CurrentScope() == 0) return false;
    const ComponentAttribute* mapped = FindAttribute(info->call, MappingName('.', kMapParam, name));
    if (!mapped) return false;
    value = mapped->value;
    return true;
}

int OpenSubcktSource(std::string_view name, std::string_view library)
{
    if (!library.empty()) RegisterCircuitLibrary(library);
    FoundDefinition found = FindDefinition(name, CurrentScope());
    if (!found.definition) return -1;
    const int unit = FindFreeUnit();
    if (unit < 0 || OpenUnit(found.definition->file, unit) != 0) {
        CloseUnit(unit);
        return -1;
    }
    SeekUnit(unit, found.definition->position, found.definition->line);
    return unit;
}

void ForgetEnclosingDefinitions()
{
    NetlistReaderState& state = NetlistReader();
    std::vector<std::int32_t>().swap(state.enclosingDefinitions);
    std::vector<EnclosingDefinitionNode>().swap(state.enclosingDefinitionNodes);
    std::vector<std::int32_t>().swap(state.nestingScopes);
}

int ExpandSubcircuitCall(SchematicItem* call)
{
    const int scope = CurrentScope();
    ScopeExpansion* info = ScopeExpansionOf(scope);
    SubcktScope* entry = FindScopeForEdit(scope);
    if (!info || !entry || !call) return kMsgAlreadyReported;
    info->call = call;
    info->kind = kComponentSubckt;
    // The body's items are appended after this.
    const CircuitDocument* document = CurrentDocument();
    const ListNode* lastBefore = document ? document->itemList.tail : nullptr;
    if (const auto origin = ElementOrigin(call)) SetErrorSourceLine(origin->source, origin->line);
    int status = 0;
    try {
        status = MapCallValues(call);
        std::string name;
        if (status == 0 && SubstituteDefines(name, call->scope, GetAttributeText(call, kAttrName)) != 0)
            status = kMsgAlreadyReported;
        Trim(name);
        // A drawn subcircuit names the file that defines it; it is searched like a library.
        const std::string file = ExpandAttributeDefines(call, kAttrFile);
        const SubcktScope* top = FindScope(0);
        if (status == 0 && !file.empty() && !(top && FileNamesEqual(top->fileName, file)))
            status = RegisterCircuitLibrary(file);
        FoundDefinition found;
        if (status == 0) {
            found = FindDefinition(name, scope);
            if (!found.definition) status = ReportAtCall(call, kMsgCantFindSubckt, name);
            else WarnOfOtherDefinition(call, name, scope, found);
        }
        if (status == 0 && CallsItself(scope, found)) status = ReportAtCall(call, kMsgSubcktCallsItself, name);
        if (status == 0) {
            // Copied: reading the body may index further files.
            const SubcktDefinition definition = *found.definition;
            info->definitionFile = found.file;
            info->definitionIndex = found.index;
            entry->fileName = definition.file;
            status = ReadBody(call, name, definition, *info);
        }
    } catch (const std::bad_alloc&) {
        status = ReportReaderOutOfMemory();
    }
    PopAllSources();
    ClearErrorSourceLine();
    NetlistReader().currentElement = nullptr;
    if (status == 0) status = FixModelPolarity(scope, lastBefore);
    return status;
}

}  // namespace kq5
