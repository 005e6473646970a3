#pragma once
// A transistor to probe, placed directly in a circuit's document.
#include <cstdint>

#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "document/component_definition.h"

namespace kq5::testing {

// An NPN transistor Q1 placed at grid (20, 20): base there, emitter at (24, 16), collector at
// (24, 24); nodes 7 (collector), 8 (base) and 9 (emitter). Without a shape its bounds run from
// the placement point up and to the right. The definition must outlive the item.
inline SchematicItem* PlaceProbeTransistor(WindowRecord* circuit, ComponentDefinition& npn)
{
    npn.type = static_cast<std::uint16_t>(FindComponentTypeByName("NPN"));
    npn.pins = {{4, 4, "C", 'a', ""}, {0, 0, "B", 'a', ""}, {4, -4, "E", 'a', ""}};
    SchematicItem* item = NewSchematicItem(circuit);
    item->definition = &npn;
    item->x1 = 20;
    item->y1 = 20;
    item->x2 = 24;
    item->y2 = 24;
    item->pinNodes = {7, 8, 9};
    SetAttribute(circuit, item, kAttrPart, "Q1");
    return item;
}

}  // namespace kq5::testing
