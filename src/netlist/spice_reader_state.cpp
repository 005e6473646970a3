#include "netlist/spice_reader_state.h"

#include "core/file_units.h"

namespace kq5 {

NetlistReaderState::NetlistReaderState() { includeUnits.fill(-1); }

NetlistReaderState& NetlistReader()
{
    static NetlistReaderState state;
    return state;
}

void ResetNetlistReaderForTests()
{
    NetlistReaderState& state = NetlistReader();
    for (int unit : state.includeUnits)
        if (unit >= 0) CloseUnit(unit);
    state = NetlistReaderState();
}

LinkedList& CircuitTextObjects() { return NetlistReader().textObjects; }

void ClearCircuitTextObjects()
{
    NetlistReaderState& state = NetlistReader();
    ListClear(state.textObjects);
    state.nodePlacedTexts = 0;
}

ScopeExpansion* ScopeExpansionOf(int scope)
{
    if (scope < 0) return nullptr;
    std::deque<ScopeExpansion>& scopes = NetlistReader().scopes;
    if (static_cast<std::size_t>(scope) >= scopes.size()) scopes.resize(static_cast<std::size_t>(scope) + 1);
    return &scopes[static_cast<std::size_t>(scope)];
}

int CurrentScope() { return NetlistReader().currentScope; }

void SetCurrentScope(int scope) { NetlistReader().currentScope = scope; }

std::optional<SourceLocation> ElementOrigin(const SchematicItem* item)
{
    const NetlistReaderState& state = NetlistReader();
    auto found = state.elementOrigins.find(item);
    if (found == state.elementOrigins.end()) return std::nullopt;
    return SourceLocation{state.originSources[found->second.source], found->second.line};
}

bool HasElementOrigin(const SchematicItem* item) { return NetlistReader().elementOrigins.contains(item); }

}  // namespace kq5
