#pragma once
// Whether a point hits an item of the schematic.
namespace kq5 {

struct SchematicItem;

// True when the point (drawing units) hits the item: a component anywhere in its bounds, a wire
// or line near its line, a shape by its outline or, filled, its inside.
bool HitTestItem(const SchematicItem& item, int x, int y);

}  // namespace kq5
