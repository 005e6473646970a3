#include "schematic/component_library.h"

#include "core/char_classes.h"

namespace kq5 {

ComponentLibraryState& ComponentLibrary()
{
    static ComponentLibraryState state;
    return state;
}

void ResetComponentLibraryForTests() { ListClear(ComponentLibrary().definitions); }

ComponentDefinition* FindComponentDefinition(std::string_view name)
{
    const LinkedList& list = ComponentLibrary().definitions;
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(list)) {
        if (definition.name == name) return &definition;
    }
    for (ComponentDefinition& definition : ListRecords<ComponentDefinition>(list)) {
        if (EqualsNoCase(definition.name, name)) return &definition;
    }
    return nullptr;
}

ComponentDefinition* AddComponentDefinition(std::string_view name, int type, int shapeIndex)
{
    ComponentDefinition* definition =
        ListAppendAs<ComponentDefinition>(ComponentLibrary().definitions, kKindComponentDefinition);
    if (definition == nullptr) return nullptr;
    try {
        definition->name.assign(name);
    } catch (const std::bad_alloc&) {
        ListRemove(ComponentLibrary().definitions, definition);
        return nullptr;
    }
    definition->type = static_cast<std::uint16_t>(type);
    definition->shapeIndex = static_cast<std::uint16_t>(shapeIndex);
    return definition;
}

}  // namespace kq5
