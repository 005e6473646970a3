#pragma once
// The loaded component library: the definitions every component of a circuit refers to, found by
// name when a circuit file is read.
#include <string_view>

#include "core/linked_list.h"
#include "schematic/component_definition.h"

namespace kq5 {

struct ComponentLibraryState {
    LinkedList definitions{NewListRecord<ComponentDefinition>};  // list kind 14
};

ComponentLibraryState& ComponentLibrary();
void ResetComponentLibraryForTests();

// The definition of that name: an exact match first, then one that matches without regard to
// case; null when none.
ComponentDefinition* FindComponentDefinition(std::string_view name);

// Appends a definition with the name, component type and shape; null when memory runs out.
ComponentDefinition* AddComponentDefinition(std::string_view name, int type, int shapeIndex);

}  // namespace kq5
