#pragma once
// The shapes that draw components, as far as the document measures them: each shape has an
// extent rectangle in drawing units relative to the component's placement point.
#include <memory>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct ComponentShape {
    win::RECT extent{};
};

// Shapes by index; index 0 and empty slots hold no shape.
struct ShapeLibrary {
    std::vector<std::unique_ptr<ComponentShape>> shapes;
};

ShapeLibrary& Shapes();
void ResetShapeLibraryForTests();

// The shape of an index, or null when the slot holds none.
const ComponentShape* FindShape(int index);
// 1 when 0 <= index < the table size and the slot holds a shape.
int IsShapeIndexUsed(int index);
// Puts a shape into a slot, growing the table; false when memory runs out.
bool SetShape(int index, const ComponentShape& shape);

}  // namespace kq5
