#include "netlist/spice_reader_state.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <new>

#include "core/char_classes.h"
#include "core/file_units.h"
#include "document/component_types.h"

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

std::string ExpandedSubcktName(const ScopeExpansion& info)
{
    if (info.kind == kComponentMacro) return CopyUpperCase(info.MacroPart().baseName);
    const std::vector<SubcktFileIndex>& indexes = NetlistReader().subcktIndexes;
    if (info.definitionFile < 0 || static_cast<std::size_t>(info.definitionFile) >= indexes.size()) return {};
    const std::vector<SubcktDefinition>& definitions = indexes[static_cast<std::size_t>(info.definitionFile)].definitions;
    if (info.definitionIndex < 0 || static_cast<std::size_t>(info.definitionIndex) >= definitions.size()) return {};
    return definitions[static_cast<std::size_t>(info.definitionIndex)].name;
}

int CurrentScope() { return NetlistReader().currentScope; }

void SetCurrentScope(int scope) { NetlistReader().currentScope = scope; }

namespace {

using OriginEntry = NetlistReaderState::ElementOriginEntry;
using OrderedOrigin = NetlistReaderState::OrderedElementOrigin;

bool ItemBefore(const SchematicItem* a, const SchematicItem* b) { return std::less<const SchematicItem*>()(a, b); }

// The last entry recorded for the element, or null.
const OriginEntry* FindElementOrigin(const SchematicItem* item)
{
    const NetlistReaderState& state = NetlistReader();
    if (const auto found = state.unorderedElementOrigins.find(item); found != state.unorderedElementOrigins.end())
        return &found->second;
    const std::vector<OrderedOrigin>& ordered = state.elementOrigins;
    const auto after = std::upper_bound(ordered.begin(), ordered.end(), item,
                                        [](const SchematicItem* key, const OrderedOrigin& e) { return ItemBefore(key, e.item); });
    if (after == ordered.begin() || std::prev(after)->item != item) return nullptr;
    return &std::prev(after)->origin;
}

}  // namespace

std::optional<SourceLocation> ElementOrigin(const SchematicItem* item)
{
    const OriginEntry* found = FindElementOrigin(item);
    if (!found) return std::nullopt;
    return SourceLocation{NetlistReader().originSources[found->source], found->line};
}

bool HasElementOrigin(const SchematicItem* item) { return FindElementOrigin(item) != nullptr; }

void AddElementOrigin(const SchematicItem* item, std::uint32_t source, std::int32_t line)
{
    NetlistReaderState& state = NetlistReader();
    std::vector<OrderedOrigin>& ordered = state.elementOrigins;
    if (ordered.empty() || !ItemBefore(item, ordered.back().item))
        ordered.push_back({item, {source, line}});
    else
        state.unorderedElementOrigins[item] = {source, line};
}

void CopyElementOrigin(const SchematicItem* item, const SchematicItem* from)
{
    const OriginEntry* found = FindElementOrigin(from);
    const OriginEntry copy = found ? *found : OriginEntry{};
    AddElementOrigin(item, copy.source, copy.line);
}

void ForgetElementOrigins(const std::function<bool(const SchematicItem*)>& gone)
{
    NetlistReaderState& state = NetlistReader();
    std::erase_if(state.elementOrigins, [&](const OrderedOrigin& entry) { return gone(entry.item); });
    std::erase_if(state.unorderedElementOrigins, [&](const auto& entry) { return gone(entry.first); });
    // The room of the forgotten entries goes back when it is a good part of the table's.
    if (state.elementOrigins.capacity() / 4 * 3 > state.elementOrigins.size()) ShrinkElementOrigins();
}

void ShrinkElementOrigins()
{
    std::vector<OrderedOrigin>& ordered = NetlistReader().elementOrigins;
    if (ordered.capacity() == ordered.size()) return;
    try {
        ordered.shrink_to_fit();
    } catch (const std::bad_alloc&) {
    }
}

void ClearElementOrigins()
{
    NetlistReaderState& state = NetlistReader();
    std::vector<OrderedOrigin>().swap(state.elementOrigins);
    std::unordered_map<const SchematicItem*, OriginEntry>().swap(state.unorderedElementOrigins);
}

}  // namespace kq5
