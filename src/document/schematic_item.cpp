#include "document/schematic_item.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

#include "core/message_reporter.h"
#include "document/component_definition.h"
#include "document/shape_library.h"

namespace kq5 {

namespace {

// Coordinates come from files; far-out values must not overflow when scaled.
win::LONG Saturate(std::int64_t value)
{
    constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<win::LONG>(std::clamp(value, kLow, kHigh));
}

win::LONG ToDrawUnits(std::int32_t grid) { return Saturate(static_cast<std::int64_t>(grid) * kDrawUnitsPerGrid); }

win::LONG Add(win::LONG a, win::LONG b) { return Saturate(static_cast<std::int64_t>(a) + b); }

win::LONG Negate(win::LONG a) { return Saturate(-static_cast<std::int64_t>(a)); }

// The shape extent turned and mirrored by the orientation code.
win::RECT OrientExtent(win::RECT r, int code)
{
    if (code & 1) r = win::RECT{Negate(r.top), r.left, Negate(r.bottom), r.right};
    if (code & 2) r = win::RECT{Negate(r.right), r.top, Negate(r.left), r.bottom};
    if (code >= 2 && code <= 5) r = win::RECT{r.left, Negate(r.bottom), r.right, Negate(r.top)};
    return r;
}

}  // namespace

int SetComponentPinNodeCount(SchematicItem& item, int count)
{
    if (count <= 0) {
        item.pinNodes.clear();
        return 0;
    }
    try {
        item.pinNodes.assign(static_cast<std::size_t>(count), 0);
    } catch (const std::bad_alloc&) {
        item.pinNodes.clear();
        return kMsgInsufficientMemory;
    }
    return 0;
}

win::RECT ItemRectToDrawUnits(const SchematicItem& item)
{
    return win::RECT{ToDrawUnits(item.x1), ToDrawUnits(item.y1), ToDrawUnits(item.x2), ToDrawUnits(item.y2)};
}

win::RECT GetItemBounds(const SchematicItem& item)
{
    win::RECT r = ItemRectToDrawUnits(item);
    if (item.IsComponent()) {
        const ComponentShape* shape = item.definition ? FindShape(item.definition->shapeIndex) : nullptr;
        if (shape) {
            r = OrientExtent(shape->extent, SafeOrientation(item.orientation));
            const win::LONG px = ToDrawUnits(item.x1);
            const win::LONG py = ToDrawUnits(item.y1);
            r = win::RECT{Add(r.left, px), Add(r.top, py), Add(r.right, px), Add(r.bottom, py)};
        } else {
            r.right = Add(r.left, 100);
            r.bottom = r.top;
            r.top = Add(r.top, -20);
        }
    }
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return win::RECT{Add(r.left, -2), Add(r.top, -2), Add(r.right, 2), Add(r.bottom, 2)};
}

}  // namespace kq5
