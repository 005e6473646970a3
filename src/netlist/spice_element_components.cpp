// Making the components of element lines: the item, its definition, nodes and attributes.
#include <algorithm>
#include <functional>
#include <new>
#include <span>
#include <string_view>

#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/component_types.h"
#include "netlist/spice_element_support.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "netlist/subcircuit_calls.h"
#include "netlist/subcircuit_nodes.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5 {

namespace {

// Pins a component of the type has at least.
int TypePinCount(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    return row && row->pins > 0 ? row->pins : 0;
}

bool IsPlainValueWord(std::string_view text)
{
    if (text.empty()) return false;
    for (char c : text)
        if (!HasCharClass(c, kCharAlnum) && c != '.' && c != '_') return false;
    return true;
}

}  // namespace

bool SetElementAttribute(SchematicItem* component, int attributeId, std::string_view text)
{
    return SetAttribute(CurrentRecord(), component, attributeId, text) != nullptr;
}

int ItemComponentTypeOf(const SchematicItem* item) { return ItemComponentType(item); }

void RecordElementOrigin(SchematicItem* component)
{
    NetlistReaderState& state = NetlistReader();
    std::string source = TopSourceName();
    // Elements come file by file, so the name is nearly always the last one stored.
    auto known = std::find(state.originSources.rbegin(), state.originSources.rend(), source);
    std::size_t index = state.originSources.size() - 1 - static_cast<std::size_t>(known - state.originSources.rbegin());
    if (known == state.originSources.rend()) {
        index = state.originSources.size();
        state.originSources.push_back(std::move(source));
    }
    AddElementOrigin(component, static_cast<std::uint32_t>(index), LogicalLineStart());
}

ComponentDefinition* FindLibraryComponentByType(int type)
{
    NetlistReaderState& state = NetlistReader();
    if (state.cachedDefinitionType == type && state.cachedDefinition) return state.cachedDefinition;
    ComponentDefinition* found = nullptr;
    if (const auto known = state.definitionsByType.find(type); known != state.definitionsByType.end()) {
        found = known->second;
    } else {
        for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(ComponentLibrary().definitions)) {
            if (definition.type == type) {
                found = &definition;
                break;
            }
        }
        try {
            state.definitionsByType.emplace(type, found);
        } catch (const std::bad_alloc&) {
        }
    }
    if (found) {
        state.cachedDefinitionType = type;
        state.cachedDefinition = found;
    }
    return found;
}

ComponentDefinition* NewGeneratedDefinition(int type, int pinCount)
{
    NetlistReaderState& state = NetlistReader();
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    const char letter = row && row->letter != ' ' ? row->letter : 'X';
    const std::string name = StrPrintf("%c%d$", letter, state.generatedDefinitionCounter);
    ComponentDefinition* definition = AddComponentDefinition(name, type, 0);
    if (!definition) return nullptr;
    try {
        definition->pins.resize(static_cast<std::size_t>(std::max(pinCount, 0)));
        state.generatedDefinitions.insert(definition);
        // The first of its type when the library had none.
        if (const auto known = state.definitionsByType.find(type); known != state.definitionsByType.end() && !known->second)
            known->second = definition;
    } catch (const std::bad_alloc&) {
        ListRemove(ComponentLibrary().definitions, definition);
        return nullptr;
    }
    ++state.generatedDefinitionCounter;
    // The pins of an interface part: N drives its digital pin, O reads it.
    if (type == kComponentDigitalOutput) definition->inputPinCount = static_cast<std::int16_t>(pinCount);
    return definition;
}

namespace {

std::size_t PinNamesHash(std::span<const std::string_view> names)
{
    std::size_t hash = names.size();
    for (const std::string_view name : names) hash = hash * 0x100000001B3u ^ std::hash<std::string_view>()(name);
    return hash;
}

bool NamesPins(const ComponentDefinition& definition, std::span<const std::string_view> names)
{
    if (definition.pins.size() != names.size()) return false;
    for (std::size_t pin = 0; pin < names.size(); ++pin)
        if (definition.pins[pin].name != names[pin]) return false;
    return true;
}

}  // namespace

ComponentDefinition* CallDefinition(std::span<const std::string_view> pinNames)
{
    NetlistReaderState& state = NetlistReader();
    const std::size_t hash = PinNamesHash(pinNames);
    const auto [first, last] = state.callDefinitions.equal_range(hash);
    for (auto known = first; known != last; ++known) {
        if (!NamesPins(*known->second, pinNames)) continue;
        // Counted as if made, so that the names of definitions generated later do not depend
        // on which calls shared one.
        ++state.generatedDefinitionCounter;
        return known->second;
    }
    ComponentDefinition* definition = NewGeneratedDefinition(kComponentSubckt, static_cast<int>(pinNames.size()));
    if (!definition) return nullptr;
    try {
        for (std::size_t pin = 0; pin < pinNames.size(); ++pin) definition->pins[pin].name = pinNames[pin];
        state.callDefinitions.emplace(hash, definition);
    } catch (const std::bad_alloc&) {
        // Left to RemoveGeneratedDefinitions with the others.
        return nullptr;
    }
    return definition;
}

void RemoveGeneratedDefinitions()
{
    NetlistReaderState& state = NetlistReader();
    LinkedList& library = ComponentLibrary().definitions;
    // One walk of the library: a netlist of many calls generates a definition per call.
    for (ListNode* node = library.head; node && !state.generatedDefinitions.empty();) {
        const auto found = state.generatedDefinitions.find(static_cast<const ComponentDefinition*>(node));
        if (found == state.generatedDefinitions.end()) {
            node = node->next;
            continue;
        }
        state.generatedDefinitions.erase(found);
        node = ListRemove(library, node);
    }
    state.generatedDefinitions.clear();
    state.callDefinitions.clear();
    state.cachedDefinition = nullptr;
    state.cachedDefinitionType = -1;
    state.definitionsByType.clear();
}

int NewElementComponent(int type, int& index, int nodeCount, ComponentDefinition* definition)
{
    NetlistReaderState& state = NetlistReader();
    SchematicItem* item = NewSchematicItem(CurrentRecord());
    if (!item) return kMsgInsufficientMemory;
    item->itemKind = kItemComponent;
    item->page = -1;
    item->scope = CurrentScope();
    state.currentElement = item;
    try {
        RecordElementOrigin(item);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    if (!SetElementAttribute(item, kAttrPart, Token(0))) return kMsgAlreadyReported;
    const int pinCount = std::max(nodeCount, TypePinCount(type));
    if (!definition) definition = FindLibraryComponentByType(type);
    if (!definition) definition = NewGeneratedDefinition(type, pinCount);
    if (!definition) return ReportReaderOutOfMemory();
    item->definition = definition;
    if (SetComponentPinNodeCount(*item, pinCount) != 0 && pinCount > 0) return kMsgInsufficientMemory;
    std::fill(item->pinNodes.begin(), item->pinNodes.end(), 0);
    index = 1;
    return ParseElementNodes(item, index, nodeCount);
}

int NewElementComponent(int type, int& index, int nodeCount) { return NewElementComponent(type, index, nodeCount, nullptr); }

int ParseElementValueAttributes(int& index, int type, bool modelToken)
{
    SchematicItem* item = CurrentElement();
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    if (!row || !item) return 0;
    if (modelToken && row->modelType >= 0) {
        if (Token(index).empty()) return 0;
        if (!SetElementAttribute(item, kAttrModel, Token(index++))) return kMsgAlreadyReported;
    }
    std::string value = CollectValueText(index);
    if (value.empty()) return 0;
    CaretsToPowers(value);
    int attribute = row->mainAttribute != 0 ? static_cast<int>(row->mainAttribute) : kAttrValue;
    if (attribute != kAttrValue && !GetAttributeText(item, attribute).empty()) attribute = kAttrValue;
    return SetElementAttribute(item, attribute, value) ? 0 : kMsgAlreadyReported;
}

std::string BraceGroupText(int from, int close)
{
    std::string text;
    for (int i = from; i < close && !Token(i).empty(); ++i) {
        const std::string& token = Token(i);
        std::string value;
        if (MapParamName(token, value)) {
            if (IsPlainValueWord(value))
                text += value;
            else
                text += "(" + value + ")";
        } else {
            text += token;
        }
    }
    return text;
}

}  // namespace kq5

namespace kq5 {

int NewInterfaceComponent(int interfaceKind, std::int32_t analogNode, std::int32_t digitalNode)
{
    NetlistReaderState& state = NetlistReader();
    const bool dtoa = interfaceKind == kInterfaceDtoA;
    const int type = dtoa ? kComponentDigitalInput : kComponentDigitalOutput;
    SchematicItem* item = NewSchematicItem(CurrentRecord());
    if (!item) return ReportReaderOutOfMemory();
    item->itemKind = kItemComponent;
    item->page = -1;
    item->scope = 0;
    ComponentDefinition* definition = FindLibraryComponentByType(type);
    const int pins = TypePinCount(type);
    if (!definition) definition = NewGeneratedDefinition(type, pins);
    if (!definition) return ReportReaderOutOfMemory();
    item->definition = definition;
    if (SetComponentPinNodeCount(*item, pins) != 0) return ReportReaderOutOfMemory();
    const int savedScope = CurrentScope();
    SetCurrentScope(0);
    std::int32_t low = 0, high = 0;
    int status = 0;
    if (dtoa) {
        status = ResolveNodeName("$G_DGND", low);
        if (status == 0) status = ResolveNodeName("$G_DPWR", high);
    }
    SetCurrentScope(savedScope);
    if (status != 0) return status;
    if (dtoa)
        item->pinNodes = {analogNode, low, high, digitalNode};
    else
        item->pinNodes = {analogNode, 0, digitalNode};
    const int number = ++state.interfaceCounter;
    const std::string part = StrPrintf("%s%d", dtoa ? "N$DTOA" : "O$ATOD", number);
    if (!SetElementAttribute(item, kAttrPart, part) ||
        !SetElementAttribute(item, kAttrModel, dtoa ? "DtoADefault" : "AtoDDefault") ||
        !SetElementAttribute(item, kAttrIoModel, "IO_STD"))
        return kMsgAlreadyReported;
    return 0;
}

}  // namespace kq5

namespace kq5 {

int ParseElementValueAttributes(int& index, int type) { return ParseElementValueAttributes(index, type, true); }

}  // namespace kq5
