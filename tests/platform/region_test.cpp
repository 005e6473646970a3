#include "platform/region.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

namespace win {
namespace {

constexpr int kGrid = 24;
using Grid = std::array<std::array<bool, kGrid>, kGrid>;

Grid ToGrid(const Region& r) {
    Grid g{};
    for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x) g[y][x] = r.Contains(x, y);
    return g;
}

Grid RectGrid(const RECT& r) {
    Grid g{};
    for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x) g[y][x] = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    return g;
}

// The rectangles of a region never overlap and lie in y-x order.
void ExpectCanonical(const Region& r) {
    const auto& rects = r.Rects();
    for (size_t i = 0; i < rects.size(); ++i) {
        EXPECT_LT(rects[i].left, rects[i].right);
        EXPECT_LT(rects[i].top, rects[i].bottom);
        for (size_t j = i + 1; j < rects.size(); ++j) {
            RECT c;
            EXPECT_FALSE(IntersectRect(&c, &rects[i], &rects[j]));
            EXPECT_TRUE(rects[i].top < rects[j].top || (rects[i].top == rects[j].top && rects[i].left < rects[j].left));
        }
    }
}

TEST(RegionTest, AlgebraMatchesPixelSetsOnRandomRectangles) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, kGrid);
    auto randomRegion = [&](Grid& grid) {
        Region r;
        grid = Grid{};
        for (int k = 0; k < 4; ++k) {
            RECT rc{coord(rng), coord(rng), coord(rng), coord(rng)};
            if (rc.left > rc.right) std::swap(rc.left, rc.right);
            if (rc.top > rc.bottom) std::swap(rc.top, rc.bottom);
            r = r.Union(Region(rc));
            Grid g = RectGrid(rc);
            for (int y = 0; y < kGrid; ++y)
                for (int x = 0; x < kGrid; ++x) grid[y][x] = grid[y][x] || g[y][x];
        }
        return r;
    };
    for (int round = 0; round < 200; ++round) {
        Grid ga, gb;
        Region a = randomRegion(ga);
        Region b = randomRegion(gb);
        struct Case {
            Region result;
            bool (*rule)(bool, bool);
        } cases[] = {
            {a.Union(b), [](bool p, bool q) { return p || q; }},
            {a.Intersect(b), [](bool p, bool q) { return p && q; }},
            {a.Subtract(b), [](bool p, bool q) { return p && !q; }},
            {a.Xor(b), [](bool p, bool q) { return p != q; }},
        };
        for (const Case& c : cases) {
            ExpectCanonical(c.result);
            Grid g = ToGrid(c.result);
            for (int y = 0; y < kGrid; ++y)
                for (int x = 0; x < kGrid; ++x) ASSERT_EQ(g[y][x], c.rule(ga[y][x], gb[y][x])) << round << " " << x << "," << y;
        }
        // Equal pixel sets give equal regions, whatever the order of construction.
        EXPECT_EQ(a.Union(b), b.Union(a));
        EXPECT_EQ(a.Xor(b), a.Union(b).Subtract(a.Intersect(b)));
    }
}

TEST(RegionTest, QueriesAndKinds) {
    Region r(0, 0, 10, 10);
    EXPECT_EQ(r.Kind(), SIMPLEREGION);
    Region holed = r.Subtract(Region(3, 3, 6, 6));
    EXPECT_EQ(holed.Kind(), COMPLEXREGION);
    EXPECT_EQ(holed.Bounds().right, 10);
    EXPECT_FALSE(holed.Contains(4, 4));
    EXPECT_TRUE(holed.Contains(2, 4));
    EXPECT_FALSE(holed.Contains(10, 0));  // right edge excluded
    EXPECT_TRUE(holed.Intersects({2, 2, 4, 4}));
    EXPECT_FALSE(holed.Intersects({3, 3, 6, 6}));
    EXPECT_FALSE(holed.Intersects({5, 5, 5, 9}));  // empty rectangle
    EXPECT_TRUE(holed.ContainsRect({0, 0, 3, 10}));
    EXPECT_FALSE(holed.ContainsRect({0, 0, 4, 10}));
    EXPECT_EQ(Region().Kind(), NULLREGION);
    EXPECT_TRUE(Region(5, 5, 5, 9).IsEmpty());

    holed.Offset(100, -3);
    EXPECT_TRUE(holed.Contains(100, -3));
    EXPECT_FALSE(holed.Contains(104, 1));
    EXPECT_EQ(Region(1, 1, 3, 3).Combine(Region(2, 2, 4, 4), RGN_COPY), Region(1, 1, 3, 3));
}

TEST(RegionTest, PolygonFillRulesAndEdges) {
    // A square through pixel corners covers exactly the pixels inside, right and bottom excluded.
    POINT square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    EXPECT_EQ(Region::FromPolygon(square, ALTERNATE), Region(0, 0, 4, 4));

    // A pentagram: the centre is inside for WINDING and a hole for ALTERNATE.
    POINT star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
    Region alt = Region::FromPolygon(star, ALTERNATE);
    Region wind = Region::FromPolygon(star, WINDING);
    EXPECT_FALSE(alt.Contains(10, 10));
    EXPECT_TRUE(wind.Contains(10, 10));
    EXPECT_TRUE(alt.Contains(10, 3));
    EXPECT_TRUE(alt.Subtract(wind).IsEmpty());
    ExpectCanonical(wind);

    // A trapezoid like a page tab: symmetric rows.
    POINT tab[] = {{0, 10}, {4, 0}, {16, 0}, {20, 10}};
    Region t = Region::FromPolygon(tab, ALTERNATE);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(t.Contains(x, y), t.Contains(19 - x, y)) << x << "," << y;
    EXPECT_TRUE(Region::FromPolygon(std::span<const POINT>(square, 2), ALTERNATE).IsEmpty());

    Region e = Region::FromEllipse({0, 0, 10, 6});
    EXPECT_EQ(e.Bounds().left, 0);
    EXPECT_EQ(e.Bounds().right, 10);
    EXPECT_EQ(e.Bounds().bottom, 6);
    EXPECT_FALSE(e.Contains(0, 0));
    EXPECT_TRUE(e.Contains(5, 3));
}

TEST(RegionTest, RectangleHelpers) {
    RECT a{0, 0, 10, 10}, b{5, 5, 15, 15}, out;
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    const RECT expected{5, 5, 10, 10};
    EXPECT_TRUE(EqualRect(&out, &expected));
    RECT far{20, 20, 30, 30};
    EXPECT_FALSE(IntersectRect(&out, &a, &far));
    EXPECT_TRUE(IsRectEmpty(out));
    UnionRect(&out, &a, &b);
    EXPECT_EQ(out.right, 15);
    RECT cut{0, 0, 4, 10};
    EXPECT_TRUE(SubtractRect(&out, &a, &cut));
    EXPECT_EQ(out.left, 4);
    RECT middle{3, 3, 4, 4};
    SubtractRect(&out, &a, &middle);
    EXPECT_EQ(out.left, 0);  // a hole leaves the rectangle whole
    EXPECT_TRUE(PtInRect(&a, {9, 9}));
    EXPECT_FALSE(PtInRect(&a, {10, 9}));
}

}  // namespace
}  // namespace win
