// Global nets ("$G_" names) in the SPICE export. PSpice reads a "$G_" name as one net in every
// subcircuit. Spice3 and SPICE 2G have no such names: ngspice takes " $" for the start of a
// comment, and a node of a subcircuit definition is local in both. There the global net is
// renamed (Spice3) or kept by its number (SPICE 2G), and every macro definition that reaches it,
// itself or through a macro it calls, takes it as an extra pin that each call passes on.
#include <algorithm>
#include <set>

#include "core/char_classes.h"
#include "core/format.h"
#include "document/component_types.h"
#include "document/node_table.h"
#include "document/scope_table.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"
#include "netlist/subcircuit_scopes.h"
#include "ui/window_record.h"

namespace kq5 {

namespace {

std::string_view LastSegment(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

bool IsGlobalNetName(std::string_view name) { return name.size() > 3 && name.substr(0, 3) == "$G_"; }

// The analog nets of each scope that carry a global name, made once per export.
const std::map<std::pair<int, std::int32_t>, std::string>& GlobalNets()
{
    SpiceExportRun& run = ExportRun();
    if (!run.globalNetsMade) {
        run.globalNetsMade = true;
        for (const NodeNameRow& row : CircuitNodeTable().rows) {
            if (row.domain != 0 || row.number <= 0) continue;
            const std::string whole = row.WholeName();
            const std::string_view name = LastSegment(whole);
            if (IsGlobalNetName(name)) run.globalNets.emplace(std::make_pair(row.scope, row.number), CopyUpperCase(name));
        }
    }
    return run.globalNets;
}

bool IsMacroScope(int scope)
{
    const auto& scopes = NetlistReader().scopes;
    return scope > 0 && static_cast<std::size_t>(scope) < scopes.size() && scopes[static_cast<std::size_t>(scope)].kind != kComponentSubckt;
}

// The first scope of the definition's name: the one its .SUBCKT lines are written from.
int WrittenScope(int scope)
{
    const auto& scopes = NetlistReader().scopes;
    const std::string name = ExpandedSubcktName(scopes[static_cast<std::size_t>(scope)]);
    for (int s = 1; s < scope; ++s)
        if (EqualsNoCase(ExpandedSubcktName(scopes[static_cast<std::size_t>(s)]), name)) return s;
    return scope;
}

void CollectScopeGlobals(int scope, std::set<std::string>& names)
{
    for (const auto& [key, name] : GlobalNets())
        if (key.first == scope) names.insert(name);
    const std::size_t count = NetlistReader().scopes.size();
    for (std::size_t s = 1; s < count; ++s) {
        const SubcktScope* inner = FindScope(static_cast<int>(s));
        if (inner && inner->parent == scope && static_cast<int>(s) != scope && IsMacroScope(static_cast<int>(s)))
            CollectScopeGlobals(static_cast<int>(s), names);
    }
}

// "$G_REF" as "G_REF", made unique among the circuit's node names: the name without the dollar
// that ngspice reads as the start of a comment.
std::string RenamedGlobal(const std::string& global)
{
    SpiceExportRun& run = ExportRun();
    const auto known = run.renamedGlobals.find(global);
    if (known != run.renamedGlobals.end()) return known->second;
    const std::string base = global.substr(1);
    auto taken = [&](const std::string& candidate) {
        for (const NodeNameRow& row : CircuitNodeTable().rows)
            if (EqualsNoCase(LastSegment(row.WholeName()), candidate)) return true;
        for (const auto& [other, given] : run.renamedGlobals)
            if (EqualsNoCase(given, candidate)) return true;
        return false;
    };
    std::string name = base;
    for (int n = 1; taken(name); ++n) name = StrPrintf("%s_%d", base.c_str(), n);
    run.renamedGlobals.emplace(global, name);
    return name;
}

// ---- SPICE text subcircuits, copied as they stand but for their global nets ----------------

struct Word {
    std::string text;  // upper case
    std::size_t at = 0;
};

std::vector<Word> Words(const std::string& line)
{
    std::vector<Word> words;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '+' || c == '(' || c == ')' || c == ',') {
            ++i;
            continue;
        }
        Word word{{}, i};
        while (i < line.size() && std::string_view(" \t\n\r(),").find(line[i]) == std::string_view::npos) word.text += line[i++];
        word.text = CopyUpperCase(word.text);
        words.push_back(std::move(word));
    }
    return words;
}

bool IsArgumentKeyword(std::string_view word) { return word == "PARAMS:" || word == "OPTIONAL:" || word == "TEXT:"; }

// The first word of a definition's or call's arguments (the words' count when none).
std::size_t ArgumentsStart(const std::vector<Word>& words)
{
    for (std::size_t i = 1; i < words.size(); ++i)
        if (IsArgumentKeyword(words[i].text) || words[i].text.find('=') != std::string::npos) return i;
    return words.size();
}

// The subcircuit an X line calls: the last word before its arguments.
std::string CalledName(const std::vector<Word>& words)
{
    const std::size_t end = ArgumentsStart(words);
    return end > 1 ? words[end - 1].text : std::string();
}

// The global nets each SPICE text definition the circuit uses reaches, itself or through the
// definitions it calls, by definition name; read once per export from the texts they come from.
const std::map<std::string, std::set<std::string>>& TextSubcktGlobals()
{
    SpiceExportRun& run = ExportRun();
    if (run.textGlobalsMade) return run.textGlobals;
    run.textGlobalsMade = true;
    std::set<std::string> files;
    if (run.record) files.insert(run.record->title);
    const auto& indexes = NetlistReader().subcktIndexes;
    for (const ScopeExpansion& info : NetlistReader().scopes)
        if (info.kind == kComponentSubckt && info.definitionFile >= 0 && static_cast<std::size_t>(info.definitionFile) < indexes.size())
            files.insert(indexes[static_cast<std::size_t>(info.definitionFile)].path);
    std::map<std::string, std::set<std::string>> calls;
    for (const std::string& file : files) {
        std::string text;
        if (!SubcktSourceText(file, text)) continue;
        std::vector<std::string> open;
        for (const std::string& line : SpiceTextLogicalLines(text)) {
            const std::vector<Word> words = Words(line);
            if (words.empty()) continue;
            const std::string& first = words[0].text;
            if (first == ".SUBCKT" && words.size() > 1) {
                open.push_back(words[1].text);
                run.textGlobals[words[1].text];
            } else if (first == ".ENDS") {
                if (!open.empty()) open.pop_back();
            } else if (!open.empty() && first[0] != '*') {
                for (const Word& word : words)
                    if (IsGlobalNetName(word.text)) run.textGlobals[open.back()].insert(word.text);
                if (first[0] == 'X') calls[open.back()].insert(CalledName(words));
            }
        }
    }
    for (bool grew = true; grew;) {
        grew = false;
        for (auto& [name, globals] : run.textGlobals)
            for (const std::string& called : calls[name]) {
                const auto found = run.textGlobals.find(called);
                if (found == run.textGlobals.end() || found->first == name) continue;
                for (const std::string& global : found->second) grew |= globals.insert(global).second;
            }
    }
    return run.textGlobals;
}

std::vector<std::string> TextGlobalsOf(const std::string& name)
{
    const auto& all = TextSubcktGlobals();
    const auto found = all.find(CopyUpperCase(name));
    if (found == all.end()) return {};
    return {found->second.begin(), found->second.end()};
}

}  // namespace

bool GlobalNetsArePins() { return Is2G() || IsSpice3(); }

std::string GlobalNetName(std::int32_t node, int scope)
{
    const auto& nets = GlobalNets();
    const auto found = nets.find({scope, node});
    return found == nets.end() ? std::string() : found->second;
}

std::string GlobalNodeNameIn(const std::string& global, int scope)
{
    if (!GlobalNetsArePins()) return global;
    SpiceExportRun& run = ExportRun();
    const std::string key = Is2G() ? StrPrintf("%d %s", scope, global.c_str()) : global;
    const auto known = run.globalNodeNames.find(key);
    if (known != run.globalNodeNames.end()) return known->second;
    std::string name;
    if (Is2G()) {
        // The scope's own node of the net keeps its number; a scope that only passes the net on
        // to a macro it calls gets a number no node has.
        for (const auto& [where, net] : GlobalNets())
            if (where.first == scope && net == global) name = StrPrintf("%d", where.second);
        if (name.empty()) name = NewExportNodeName("", scope);
    } else {
        name = RenamedGlobal(global);
    }
    run.globalNodeNames.emplace(key, name);
    return name;
}

std::vector<std::string> MacroScopeGlobals(int scope)
{
    if (!GlobalNetsArePins() || scope <= 0 || static_cast<std::size_t>(scope) >= NetlistReader().scopes.size()) return {};
    if (!IsMacroScope(scope)) return TextGlobalsOf(ExpandedSubcktName(NetlistReader().scopes[static_cast<std::size_t>(scope)]));
    std::set<std::string> names;
    CollectScopeGlobals(WrittenScope(scope), names);
    return {names.begin(), names.end()};
}

void AppendGlobalPins(std::string& line, int calledScope, int scope)
{
    for (const std::string& global : MacroScopeGlobals(calledScope)) line += " " + GlobalNodeNameIn(global, scope);
}

std::string CopiedLineWithGlobals(std::string line)
{
    if (!GlobalNetsArePins()) return line;
    std::vector<Word> words = Words(line);
    if (words.empty() || words[0].text[0] == '*') return line;
    // A definition takes its global nets as extra pins after its own; a call passes them on.
    std::vector<std::string> globals;
    std::size_t insertAt = line.size();
    const std::size_t arguments = ArgumentsStart(words);
    if (words[0].text == ".SUBCKT" && words.size() > 1) {
        globals = TextGlobalsOf(words[1].text);
        if (arguments < words.size()) insertAt = words[arguments].at;
    } else if (words[0].text[0] == 'X' && arguments > 1) {
        globals = TextGlobalsOf(words[arguments - 1].text);
        insertAt = words[arguments - 1].at;
    }
    if (!globals.empty()) {
        std::string pins;
        for (const std::string& global : globals) pins += RenamedGlobal(global) + " ";
        if (insertAt == line.size()) pins = " " + pins.substr(0, pins.size() - 1);
        line.insert(insertAt, pins);
        words = Words(line);
    }
    // The words that begin "$G_" take the name the net has in the subcircuits, from the end so
    // that the places of the others stay.
    for (auto word = words.rbegin(); word != words.rend(); ++word)
        if (IsGlobalNetName(word->text)) line.replace(word->at, word->text.size(), RenamedGlobal(word->text));
    return line;
}

}  // namespace kq5
