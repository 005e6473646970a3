#pragma once
// Schematics drawn in code with the program's component library: parts with their default
// attributes, wires between pins, grounds and node labels.
#include <gtest/gtest.h>

#include "ui/window_record.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/grid_text.h"
#include "document/node_flags.h"
#include "document/part_numbering.h"
#include "document/schematic_item.h"
#include "document/component_definition.h"
#include "document/component_library.h"

namespace kq5::testing {

inline SchematicItem* Place(WindowRecord* record, const char* definition, int x, int y, const char* part,
                            const char* value)
{
    SchematicItem* item = NewSchematicItem(record);
    item->itemKind = kItemComponent;
    item->definition = FindComponentDefinition(definition);
    EXPECT_NE(item->definition, nullptr) << definition;
    if (item->definition) item->pinNodes.assign(item->definition->pins.size(), 0);
    item->x1 = x;
    item->y1 = y;
    SetDefaultAttributes(record, *item, FileReaderDefaultTexts());
    if (part) SetAttribute(record, item, kAttrPart, part);
    if (value) SetAttribute(record, item, kAttrValue, value);
    return item;
}

// A wire between two points, with a corner when they are not in line.
inline void Wire(WindowRecord* record, win::POINT a, win::POINT b)
{
    const auto segment = [record](win::POINT from, win::POINT to) {
        if (from.x == to.x && from.y == to.y) return;
        SchematicItem* wire = NewSchematicItem(record);
        wire->itemKind = kItemWire;
        wire->x1 = from.x;
        wire->y1 = from.y;
        wire->x2 = to.x;
        wire->y2 = to.y;
    };
    const win::POINT corner{b.x, a.y};
    segment(a, corner);
    segment(corner, b);
}

inline void Wire(WindowRecord* record, const SchematicItem* a, int pinA, const SchematicItem* b, int pinB)
{
    Wire(record, GetPinPosition(a, pinA), GetPinPosition(b, pinB));
}

inline void Ground(WindowRecord* record, const SchematicItem* item, int pin)
{
    const win::POINT at = GetPinPosition(item, pin);
    const SchematicItem* ground = Place(record, "Ground", at.x, at.y + 4, nullptr, nullptr);
    Wire(record, at, GetPinPosition(ground, 0));
}

// A text on a pin's node: a node name, or in a macro the name of one of the macro's pins.
inline void Label(WindowRecord* record, const char* text, const SchematicItem* item, int pin)
{
    GridText* grid = NewGridText(record);
    grid->text = text;
    const win::POINT at = GetPinPosition(item, pin);
    grid->x = at.x;
    grid->y = at.y;
    UpdateNodeLabelFlag(*grid);
}

}  // namespace kq5::testing
