#include "document/hit_test.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "document/schematic_item.h"

namespace kq5 {

namespace {

constexpr int kLineReach = 3;   // half the side of the square a line point catches
constexpr int kEdgeStrip = 4;   // width of the edge strips of an unfilled rectangle

bool InRect(const win::RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Steps along the line point by point (one unit along its longer axis) and tests the square
// around each point.
bool NearLine(long ax, long ay, long bx, long by, int x, int y)
{
    const long dx = bx - ax;
    const long dy = by - ay;
    const long steps = std::max(std::labs(dx), std::labs(dy));
    for (long i = 0; i <= steps; ++i) {
        const long px = steps ? ax + (dx * i + (dx >= 0 ? steps : -steps) / 2) / steps : ax;
        const long py = steps ? ay + (dy * i + (dy >= 0 ? steps : -steps) / 2) / steps : ay;
        if (x >= px - kLineReach && x < px + kLineReach && y >= py - kLineReach && y < py + kLineReach) return true;
    }
    return false;
}

bool HitsSegment(const SchematicItem& item, int x, int y)
{
    const win::RECT r = ItemRectToDrawUnits(item);
    if (r.left == r.right || r.top == r.bottom) return true;  // straight: the bounds are the line
    return NearLine(r.left, r.top, r.right, r.bottom, x, y);
}

bool HitsRectangle(const SchematicItem& item, const win::RECT& bounds, int x, int y)
{
    if (item.style & kStyleFill) return true;
    return x < bounds.left + kEdgeStrip || x >= bounds.right - kEdgeStrip || y < bounds.top + kEdgeStrip ||
           y >= bounds.bottom - kEdgeStrip;
}

bool HitsDiamond(const SchematicItem& item, int x, int y)
{
    win::RECT r = ItemRectToDrawUnits(item);
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    const long cx = (static_cast<long>(r.left) + r.right) / 2;
    const long cy = (static_cast<long>(r.top) + r.bottom) / 2;
    const std::array<std::pair<long, long>, 4> corners = {
        std::pair<long, long>{cx, r.top}, {r.right, cy}, {cx, r.bottom}, {r.left, cy}};
    if (item.style & kStyleFill) {
        // Inside when the point lies on the same side of all four edges.
        int sign = 0;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const auto [ax, ay] = corners[i];
            const auto [bx, by] = corners[(i + 1) % corners.size()];
            const long long cross = static_cast<long long>(bx - ax) * (y - ay) - static_cast<long long>(by - ay) * (x - ax);
            if (cross == 0) continue;
            const int side = cross > 0 ? 1 : -1;
            if (sign != 0 && side != sign) return false;
            sign = side;
        }
        return true;
    }
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto [ax, ay] = corners[i];
        const auto [bx, by] = corners[(i + 1) % corners.size()];
        if (NearLine(ax, ay, bx, by, x, y)) return true;
    }
    return false;
}

}  // namespace

bool HitTestItem(const SchematicItem& item, int x, int y)
{
    if (item.hidden) return false;
    const win::RECT bounds = GetItemBounds(item);
    if (!InRect(bounds, x, y)) return false;
    switch (item.itemKind) {
    case kItemComponent: return true;
    case kItemWire: return HitsSegment(item, x, y);
    default: break;
    }
    switch (item.ObjectKind()) {
    case kObjectLine: return HitsSegment(item, x, y);
    case kObjectRectangle: return HitsRectangle(item, bounds, x, y);
    case kObjectDiamond: return HitsDiamond(item, x, y);
    default: return true;
    }
}

}  // namespace kq5
