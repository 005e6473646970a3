#include "schematic/shape_library.h"

#include <new>

namespace kq5 {

ShapeLibrary& Shapes()
{
    static ShapeLibrary library;
    return library;
}

void ResetShapeLibraryForTests() { Shapes().shapes.clear(); }

const ComponentShape* FindShape(int index)
{
    const auto& shapes = Shapes().shapes;
    if (index <= 0 || index >= static_cast<int>(shapes.size())) return nullptr;
    return shapes[static_cast<std::size_t>(index)].get();
}

int IsShapeIndexUsed(int index) { return FindShape(index) != nullptr ? 1 : 0; }

bool SetShape(int index, const ComponentShape& shape)
{
    if (index <= 0) return false;
    try {
        auto& shapes = Shapes().shapes;
        if (index >= static_cast<int>(shapes.size())) shapes.resize(static_cast<std::size_t>(index) + 1);
        shapes[static_cast<std::size_t>(index)] = std::make_unique<ComponentShape>(shape);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace kq5
