// Shape primitives: building, moving, measuring and storing them, and drawing each kind in the
// eight orientations, checked against a transform written out here independently of the code.
#include <array>

#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "document/binary_io.h"
#include "document/shape_data.h"
#include "schematic/shape_draw.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ints(std::initializer_list<long> values) { return BuildIntPayload(values); }

// A POLY payload through the points of x, y pairs.
Bytes PolyOf(const std::vector<long>& xy)
{
    std::vector<win::POINT> points;
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) points.push_back(win::POINT{static_cast<win::LONG>(xy[i]), static_cast<win::LONG>(xy[i + 1])});
    return BuildPolyPayload(points);
}

Bytes Poly(std::initializer_list<long> xy) { return PolyOf(std::vector<long>(xy)); }

// The orientation table written out: turn, then mirror y.
win::POINT Independent(int code, long x, long y)
{
    static const std::array<std::array<int, 4>, 8> m{{
        {1, 0, 0, 1}, {0, -1, 1, 0}, {-1, 0, 0, -1}, {0, 1, -1, 0},
        {1, 0, 0, -1}, {0, -1, -1, 0}, {-1, 0, 0, 1}, {0, 1, 1, 0},
    }};
    const auto& r = m[static_cast<std::size_t>(code)];
    return win::POINT{static_cast<win::LONG>(r[0] * x + r[1] * y), static_cast<win::LONG>(r[2] * x + r[3] * y)};
}

// A one-shape library entry at index 1 holding the primitives.
void MakeShape(int index, const std::string& name, const std::vector<std::pair<int, Bytes>>& primitives, std::uint16_t attributes = 0)
{
    ShapeRecord* record = FindShapeRecord(index);
    if (!record) record = AddShapeRecord(Shapes(), name, index);
    PrimitiveList list;
    for (const auto& [type, payload] : primitives) ASSERT_NE(CreatePrimitive(list, payload, 32, 32, type, attributes, 0), nullptr);
    ASSERT_TRUE(StoreShapeData(*record, list));
}

// Draws a shape at (80, 80) of a white 160 by 160 bitmap and keeps the black pixels.
struct Picture {
    std::vector<bool> ink = std::vector<bool>(160 * 160, false);
    bool operator==(const Picture&) const = default;
    win::RECT Bounds() const
    {
        win::RECT r{1000, 1000, -1000, -1000};
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 160; ++x)
                if (ink[static_cast<std::size_t>(y * 160 + x)]) r = win::RECT{std::min<win::LONG>(r.left, x), std::min<win::LONG>(r.top, y), std::max<win::LONG>(r.right, x), std::max<win::LONG>(r.bottom, y)};
        return r;
    }
};

Picture Draw(int index, int orientation)
{
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(dc, 160, 160);
    win::HGDIOBJ oldBitmap = win::SelectObject(dc, bitmap);
    const win::RECT all{0, 0, 160, 160};
    win::FillRect(dc, &all, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    EXPECT_EQ(DrawShapeByIndex(dc, index, 80, 80, orientation, 0x920), 1);
    Picture p;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 160; ++x) p.ink[static_cast<std::size_t>(y * 160 + x)] = (win::GetPixel(dc, x, y) & 0xFFFFFF) != 0xFFFFFF;
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBitmap);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    return p;
}

class ShapePrimitives : public LibraryTest {};

TEST_F(ShapePrimitives, EachKindInEightOrientationsMatchesTheIndependentTransform)
{
    struct Case {
        const char* what;
        int type;
        std::vector<long> points;  // the defining points, x y pairs
        std::uint16_t attributes;
    };
    const std::vector<Case> cases{
        {"line", kPrimLine, {3, 5, 40, 21}, 0},
        {"rectangle", kPrimRectangle, {4, 6, 36, 22}, 0},
        {"solid ellipse", kPrimEllipse, {-20, 4, 30, 30}, kPrimSolid},
        {"diamond", kPrimDiamond, {2, -10, 30, 22}, 0},
        {"led", kPrimLed, {-8, 2, 24, 18}, 0},
        {"open poly", kPrimPolyOpen, {0, 0, 10, -12, 30, 4, 44, 20}, 0},
        {"closed poly", kPrimPolyClosed, {0, 0, 20, 8, 4, 30}, kPrimSolid},
        {"arc", kPrimArc, {-16, -16, 16, 16, 16, 0, -16, 0}, 0},
    };
    for (const Case& c : cases) {
        for (int code = 0; code < 8; ++code) {
            ResetShapeLibraryForTests();
            auto payloadOf = [&](const std::vector<long>& pts) -> Bytes {
                if (c.type == kPrimPolyOpen || c.type == kPrimPolyClosed) return PolyOf(pts);
                ByteWriter out;
                for (long v : pts) out.I32(static_cast<std::int32_t>(v));
                return Bytes(out.str().begin(), out.str().end());
            };
            // The same primitive with its points turned by the written-out table; an arc's ends
            // swap under a mirror, so that it still runs counter-clockwise.
            std::vector<long> turned;
            for (std::size_t i = 0; i < c.points.size(); i += 2) {
                const win::POINT p = Independent(code, c.points[i], c.points[i + 1]);
                turned.push_back(p.x);
                turned.push_back(p.y);
            }
            if (c.type == kPrimArc && code >= 4) {
                std::swap(turned[4], turned[6]);
                std::swap(turned[5], turned[7]);
            }
            MakeShape(1, "ORIGINAL", {{c.type, payloadOf(c.points)}}, c.attributes);
            MakeShape(2, "TURNED", {{c.type, payloadOf(turned)}}, c.attributes);
            EXPECT_TRUE(Draw(1, code) == Draw(2, 0)) << c.what << " orientation " << code;
        }
    }
}

TEST_F(ShapePrimitives, ComposedShapesAndFixedSymbolsTurnAsTheirBounds)
{
    // A block with marked pins, a switch, a seven-segment digit and a shape that includes another
    // turned one: each drawn in orientation c covers the bounds of orientation 0 turned by c.
    const Bytes block = BuildBlockPayload(win::RECT{8, 0, 56, 24});
    ASSERT_FALSE(block.empty());
    Bytes marked = block;
    marked[kPointListOffset] = kPinClock;
    marked[kPointListOffset + kBlockPinSize] = kPinBubble;
    MakeShape(1, "INNER", {{kPrimLine, Ints({0, 0, 24, 0})}, {kPrimRectangle, Ints({24, -6, 40, 6})}});
    Bytes reference = Ints({10, 20, 0});
    reference[8] = 1;  // a quarter turn
    const std::vector<std::vector<std::pair<int, Bytes>>> shapes{
        {{kPrimBlock, marked}},
        {{kPrimSwitch, Ints({0, -8, 48, 8})}},
        {{kPrimSevenSegment, Ints({0, 0, 32, 48})}},
        {{1, reference}, {kPrimLine, Ints({-10, -10, 0, 0})}},
    };
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        MakeShape(2, "OUTER", shapes[s]);
        const win::RECT upright = Draw(2, 0).Bounds();
        for (int code = 1; code < 8; ++code) {
            const win::POINT a = Independent(code, upright.left - 80, upright.top - 80);
            const win::POINT b = Independent(code, upright.right - 80, upright.bottom - 80);
            const win::RECT expected{std::min(a.x, b.x) + 80, std::min(a.y, b.y) + 80, std::max(a.x, b.x) + 80, std::max(a.y, b.y) + 80};
            const win::RECT drawn = Draw(2, code).Bounds();
            // Pixels of a right or bottom edge fall one short (GDI's edge rule).
            EXPECT_NEAR(drawn.left, expected.left, 1) << s << " " << code;
            EXPECT_NEAR(drawn.top, expected.top, 1) << s << " " << code;
            EXPECT_NEAR(drawn.right, expected.right, 1) << s << " " << code;
            EXPECT_NEAR(drawn.bottom, expected.bottom, 1) << s << " " << code;
        }
    }
}

TEST_F(ShapePrimitives, OrientingAListAndComposingCodes)
{
    // Row b = 1 of the composition table.
    const std::array<int, 8> row{1, 2, 3, 0, 7, 4, 5, 6};
    for (int a = 0; a < 8; ++a) EXPECT_EQ(ComposeOrientation(a, 1), row[static_cast<std::size_t>(a)]) << a;
    for (int a = 0; a < 8; ++a)
        for (int b = 0; b < 8; ++b) {
            const win::POINT once = Independent(b, Independent(a, 3, 7).x, Independent(a, 3, 7).y);
            const win::POINT composed = Independent(ComposeOrientation(a, b), 3, 7);
            EXPECT_TRUE(once.x == composed.x && once.y == composed.y) << a << " " << b;
        }
    // Points of a poly and a line turned about a centre, as the editor's Rotate does.
    for (int code = 0; code < 8; ++code) {
        PrimitiveList list;
        ASSERT_NE(CreatePrimitive(list, Poly({10, 10, 30, 14, 18, 40}), 0, 0, kPrimPolyOpen, 0, 0), nullptr);
        ASSERT_NE(CreatePrimitive(list, Ints({40, 20, 12, 20}), 0, 0, kPrimLine, 0, 0), nullptr);
        OrientPrimitives(list, code, true, 20, 20);
        const auto points = GetPrimitivePoints(list.front());
        const std::array<win::POINT, 3> original{{{10, 10}, {30, 14}, {18, 40}}};
        for (std::size_t i = 0; i < 3; ++i) {
            const win::POINT e = Independent(code, original[i].x - 20, original[i].y - 20);
            EXPECT_EQ(points[i].x, e.x + 20);
            EXPECT_EQ(points[i].y, e.y + 20);
        }
        const win::POINT end = Independent(code, 12 - 20, 0);
        EXPECT_EQ(list.back().rect.right, end.x + 20) << code;
        EXPECT_EQ(list.back().rect.bottom, end.y + 20) << code;
    }
}

TEST_F(ShapePrimitives, BuildingMeasuringAndStoring)
{
    PrimitiveList list;
    // A line drawn right to left keeps its ends; its invalid rectangle is normalised and, upright,
    // 2 units wider each side.
    ShapePrimitive* line = CreatePrimitive(list, Ints({40, 30, 40, 10}), 0, 0, kPrimLine, 0, 0);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->rect.top, 30);
    const win::RECT invalid = GetPrimitiveInvalidRect(*line);
    EXPECT_EQ(invalid.left, 38);
    EXPECT_EQ(invalid.right, 42);
    EXPECT_EQ(invalid.top, 10);
    // Unknown codes and payloads that do not fit their kind make nothing.
    EXPECT_EQ(CreatePrimitive(list, Ints({1, 2, 3, 4}), 0, 0, -7, 0, 0), nullptr);
    EXPECT_EQ(CreatePrimitive(list, Ints({1, 2, 3}), 0, 0, kPrimRectangle, 0, 0), nullptr);
    EXPECT_EQ(list.size(), 1u);
    // Bounds of nothing.
    PrimitiveList none;
    win::RECT bounds;
    EXPECT_EQ(GetPrimitivesBounds(none, bounds, kPrimSelected), 0);
    EXPECT_EQ(bounds.left, 1000);
    EXPECT_EQ(bounds.bottom, 1000);

    // A vertical line at canvas (42, 32)-(42, 52) stores as (10, 0)-(10, 20), extent (10, 0, 11, 20).
    ShapeRecord* record = AddShapeRecord(Shapes(), "A", 1);
    PrimitiveList canvas;
    ASSERT_NE(CreatePrimitive(canvas, Ints({42, 32, 42, 52}), 0, 0, kPrimLine, 0, 0), nullptr);
    ASSERT_TRUE(StoreShapeData(*record, canvas));
    EXPECT_TRUE(canvas.empty());
    EXPECT_EQ(record->extent.left, 10);
    EXPECT_EQ(record->extent.top, 0);
    EXPECT_EQ(record->extent.right, 11);
    EXPECT_EQ(record->extent.bottom, 20);
    PrimitiveList back;
    ParseShapeData(back, *record, 0, 0, 0);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back.front().rect.left, 10);
    EXPECT_EQ(back.front().rect.bottom, 20);
    // Storing nothing frees the block and zeroes the extent.
    PrimitiveList empty;
    ASSERT_TRUE(StoreShapeData(*record, empty));
    EXPECT_TRUE(record->data.empty());
    EXPECT_EQ(record->extent.right, 0);

    // A block with an unknown kind in the middle: the rest is still read.
    ByteWriter data;
    data.I16(3);
    for (int type : {kPrimLine, -7, kPrimRectangle}) {
        data.I16(static_cast<std::int16_t>(type));
        data.U16(0);
        data.U32(16);
        for (int v : {0, 0, 8, 8}) data.I32(v);
    }
    record->data.assign(data.str().begin(), data.str().end());
    ParseShapeData(back, *record, 0, 0, 0);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back.back().type, kPrimRectangle);
}

TEST_F(ShapePrimitives, AReferenceTurnedAQuarterKeepsItsCentre)
{
    // The referenced shape is 40 wide and 20 high.
    MakeShape(1, "WIDE", {{kPrimRectangle, Ints({0, 0, 40, 20})}});
    ASSERT_EQ(FindShapeRecord(1)->extent.right, 40);
    Bytes payload = Ints({100, 100, 0});
    payload[8] = 1;
    PrimitiveList list;
    ShapePrimitive* reference = CreatePrimitive(list, payload, 0, 0, 1, 0, 0);
    ASSERT_NE(reference, nullptr);
    // Its own rectangle is the turned one, top-left at the stored point; the contents lie there.
    EXPECT_EQ(reference->rect.left, 100);
    EXPECT_EQ(reference->rect.top, 100);
    EXPECT_EQ(reference->rect.right, 120);
    EXPECT_EQ(reference->rect.bottom, 140);
    ASSERT_EQ(reference->contents.size(), 1u);
    const win::RECT inner = reference->contents.front().rect;
    EXPECT_EQ(inner.left, 100);
    EXPECT_EQ(inner.right, 120);
    EXPECT_EQ(inner.bottom, 140);
    EXPECT_NE(reference->contents.front().attributes & kPrimInReference, 0);
    // Stored back, it keeps its stored point and orientation.
    const Bytes stored = PrimitivePayload(*reference);
    EXPECT_EQ(stored, payload);
    // A reference to an empty slot yields nothing.
    EXPECT_EQ(CreatePrimitive(list, payload, 0, 0, 5, 0, 0), nullptr);
}

TEST_F(ShapePrimitives, BlocksAndTheObjectEditorPoints)
{
    // Grid snapping of the editor: (13, 20) becomes (16, 24).
    EXPECT_EQ(SnapToShapeGrid(13), 16);
    EXPECT_EQ(SnapToShapeGrid(20), 24);
    // A box too small for a pin a side makes no block.
    EXPECT_TRUE(BuildBlockPayload(win::RECT{8, 8, 10, 10}).empty());
    PrimitiveList list;
    ShapePrimitive* block = CreatePrimitive(list, BuildBlockPayload(win::RECT{16, 16, 64, 40}), 0, 0, kPrimBlock, 0, 0);
    ASSERT_NE(block, nullptr);
    const int pins = PrimitivePointCount(*block);
    EXPECT_EQ(pins % 2, 0);
    EXPECT_GE(pins, 4);
    // Resizing keeps the marks of the first pins of each side.
    block->extra[kPointListOffset] = kPinBubble;
    SetPrimitiveRect(win::RECT{16, 16, 96, 40}, *block);
    EXPECT_GT(PrimitivePointCount(*block), pins);
    EXPECT_EQ(block->extra[kPointListOffset], kPinBubble);
    // Point checks: negative pin ends and a left edge at the right edge are refused; a line end
    // takes any value.
    EXPECT_FALSE(SetPrimitivePoint(*block, 0, -5, 10));
    ShapePrimitive* rect = CreatePrimitive(list, Ints({10, 10, 30, 30}), 0, 0, kPrimRectangle, 0, 0);
    EXPECT_FALSE(SetPrimitivePoint(*rect, 0, 30, 10));
    EXPECT_TRUE(SetPrimitivePoint(*rect, 0, 12, 10));
    EXPECT_EQ(rect->rect.left, 12);
    ShapePrimitive* line = CreatePrimitive(list, Ints({10, 10, 30, 30}), 0, 0, kPrimLine, 0, 0);
    EXPECT_TRUE(SetPrimitivePoint(*line, 1, -40, 3));
    EXPECT_EQ(line->rect.right, -40);
    // A poly without width keeps its points when resized.
    ShapePrimitive* flat = CreatePrimitive(list, Poly({10, 10, 20, 10}), 0, 0, kPrimPolyOpen, 0, 0);
    SetPrimitiveRect(win::RECT{0, 0, 40, 40}, *flat);
    EXPECT_EQ(GetPrimitivePoints(*flat)[1].x, 20);
    std::string name;
    GetPrimitiveTypeName(kPrimPolyClosed, name);
    EXPECT_EQ(name, "POLY CLOSED");
    GetPrimitiveTypeName(-99, name);
    EXPECT_EQ(name, "POLY CLOSED");
}

}  // namespace
}  // namespace kq5::testing
