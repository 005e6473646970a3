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
        // "$G_REF" becomes "G_REF", made unique among the circuit's node names.
        const std::string base = global.substr(1);
        auto taken = [&](const std::string& candidate) {
            for (const NodeNameRow& row : CircuitNodeTable().rows)
                if (EqualsNoCase(LastSegment(row.WholeName()), candidate)) return true;
            for (const auto& [other, given] : run.globalNodeNames)
                if (EqualsNoCase(given, candidate)) return true;
            return false;
        };
        name = base;
        for (int n = 1; taken(name); ++n) name = StrPrintf("%s_%d", base.c_str(), n);
    }
    run.globalNodeNames.emplace(key, name);
    return name;
}

std::vector<std::string> MacroScopeGlobals(int scope)
{
    if (!GlobalNetsArePins() || !IsMacroScope(scope)) return {};
    std::set<std::string> names;
    CollectScopeGlobals(WrittenScope(scope), names);
    return {names.begin(), names.end()};
}

void AppendGlobalPins(std::string& line, int calledScope, int scope)
{
    for (const std::string& global : MacroScopeGlobals(calledScope)) line += " " + GlobalNodeNameIn(global, scope);
}

}  // namespace kq5
