#pragma once
// Region: a set of pixels held as non-overlapping rectangles in y-x banded order (rows of equal
// top/bottom, sorted by left; touching bands with the same spans are merged). Used by windows for
// update and visible regions and by the GDI region objects. A rectangle covers the pixels
// [left, right) x [top, bottom), as RECT does everywhere in the layer.
#include <span>
#include <vector>

#include "platform/win_types.h"

namespace win {

// Results of region queries and CombineRgn.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// CombineRgn modes.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

// Polygon fill modes.
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

class Region {
public:
    Region() = default;
    explicit Region(const RECT& r);
    Region(LONG left, LONG top, LONG right, LONG bottom);

    // Pixels whose centres lie inside the polygon (vertices in pixel-corner coordinates), as
    // CreatePolygonRgn does; fillMode ALTERNATE or WINDING.
    static Region FromPolygon(std::span<const POINT> points, int fillMode);
    // Several closed polygons filled together (CreatePolyPolygonRgn).
    static Region FromPolyPolygon(std::span<const POINT> points, std::span<const int> counts, int fillMode);
    // Pixels whose centres lie inside the ellipse inscribed in [left,right) x [top,bottom).
    static Region FromEllipse(const RECT& bounds);

    bool IsEmpty() const { return rects_.empty(); }
    // Bounding rectangle; all zero when empty.
    RECT Bounds() const;
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Kind() const;
    const std::vector<RECT>& Rects() const { return rects_; }

    Region Union(const Region& other) const;
    Region Intersect(const Region& other) const;
    Region Subtract(const Region& other) const;
    Region Xor(const Region& other) const;
    // One of RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY (copy returns *this).
    Region Combine(const Region& other, int mode) const;

    void Offset(LONG dx, LONG dy);
    bool Contains(LONG x, LONG y) const;
    bool Contains(POINT p) const { return Contains(p.x, p.y); }
    // True when the rectangle shares at least one pixel with the region.
    bool Intersects(const RECT& r) const;
    // True when every pixel of the rectangle lies in the region (empty rectangles are contained).
    bool ContainsRect(const RECT& r) const;
    void Clear() { rects_.clear(); }

    bool operator==(const Region& other) const;
    bool operator!=(const Region& other) const { return !(*this == other); }

    // Builds a region from rectangles in any order (overlaps allowed).
    static Region FromRects(std::span<const RECT> rects);

private:
    std::vector<RECT> rects_;  // banded, canonical: equal regions have equal vectors
};

// Rectangle helpers used across the layer (and by the program, under their classic names).
bool IsRectEmpty(const RECT& r);
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);
BOOL SubtractRect(RECT* dst, const RECT* a, const RECT* b);
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL CopyRect(RECT* dst, const RECT* src);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL PtInRect(const RECT* r, POINT p);
BOOL EqualRect(const RECT* a, const RECT* b);

}  // namespace win
