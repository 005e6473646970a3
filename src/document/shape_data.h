#pragma once
// Shape primitives: the lines, rectangles, ellipses, arcs, blocks with pins, polygons, texts,
// fixed display symbols and references to other shapes that a shape is drawn from. In the
// library they live serialised in the shape's data block; while the Shape Editor holds a shape
// open they are a list of ShapePrimitive records, built from the block and stored back into it.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct ShapeRecord;

// Type codes of the primitives; 0 and above: a reference to the shape of that index.
constexpr int kPrimLine = -1;
constexpr int kPrimRectangle = -2;
constexpr int kPrimEllipse = -3;
constexpr int kPrimArc = -4;
constexpr int kPrimBlock = -5;
constexpr int kPrimDiamond = -12;
constexpr int kPrimText = -13;
constexpr int kPrimPolyClosed = -17;
constexpr int kPrimPolyOpen = -19;
constexpr int kPrimSevenSegment = -22;
constexpr int kPrimLed = -23;
constexpr int kPrimSwitch = -24;

// Attribute bits.
constexpr std::uint16_t kPrimSelected = 0x0001;
constexpr std::uint16_t kPrimInReference = 0x0002;  // part of a reference's expanded contents
constexpr std::uint16_t kPrimSolid = 0x0008;        // closed kinds: filled; references: not expanded

// Payload layouts.
constexpr std::size_t kRectPayload = 16;
constexpr std::size_t kArcPayload = 32;
constexpr std::size_t kReferencePayload = 12;
constexpr std::size_t kPointListOffset = 20;  // BLOCK pins and POLY points start here
constexpr std::size_t kBlockPinSize = 12;
constexpr std::size_t kPolyPointSize = 8;
constexpr std::size_t kTextOffset = 22;       // TEXT: rectangle, FontSpec (6 bytes), text
constexpr int kBlockPinSpacing = 16;

// Pin mark bits of a BLOCK pin.
constexpr std::int16_t kPinClock = 0x0001;
constexpr std::int16_t kPinBubble = 0x0002;

// Shape coordinates lie far inside this; a stored one beyond it is damage.
constexpr long kShapeCoordinateLimit = 1L << 16;
bool ShapeCoordinateInRange(long v);

// References nest; deeper than this is treated as damage (the library refuses cycles).
constexpr int kMaxReferenceDepth = 16;

struct ShapePrimitive;
using PrimitiveList = std::list<ShapePrimitive>;

struct ShapePrimitive {
    std::vector<std::uint8_t> extra;   // payload copy: ARC, BLOCK, TEXT and the POLY kinds
    PrimitiveList contents;            // a reference's expanded contents
    std::uint16_t refOrientation = 0;  // a reference's orientation code
    win::RECT rect{};
    std::int16_t type = 0;
    std::uint16_t one = 1;
    std::uint16_t attributes = 0;
    std::uint16_t objectNumber = 0;
};

bool IsRectKind(int type);          // the 16-byte kinds
bool IsVariableKind(int type);      // BLOCK, TEXT, POLY CLOSED, POLY OPEN
bool IsClosedKind(int type);        // the kinds a solid pattern fills
bool IsKnownPrimitiveType(int type);  // every negative code of the file format

// Orientation code 0..7 applied to a point relative to the centre; and composition (a first).
win::POINT OrientPoint(int code, int x, int y);
int ComposeOrientation(int a, int b);

// Builds a primitive from a payload, moved by the offset, and appends it; null (nothing
// appended) for an unknown code, a payload that does not fit its kind, a reference to an empty
// slot or nesting beyond kMaxReferenceDepth, or when memory runs out. Flags bit 0 sets
// kPrimInReference.
ShapePrimitive* CreatePrimitive(PrimitiveList& list, std::span<const std::uint8_t> payload, int dx, int dy, int type,
                                std::uint16_t attributes, int flags, int depth = 0);
// Empties the list and appends the primitives of the record's data block.
void ParseShapeData(PrimitiveList& list, const ShapeRecord& record, int dx, int dy, int flags, int depth = 0);
// Replaces the record's data block and extent from the list (moved back by the editor's
// 32-unit margin) and empties the list. False (record unchanged) when memory runs out.
bool StoreShapeData(ShapeRecord& record, PrimitiveList& list);
// The serialised payload of a primitive.
std::vector<std::uint8_t> PrimitivePayload(const ShapePrimitive& primitive);

void OffsetPrimitive(ShapePrimitive& primitive, int dx, int dy);
void SetPrimitiveRect(const win::RECT& rect, ShapePrimitive& primitive);
// Reorients every primitive (whole) or the selected ones about the centre.
void OrientPrimitives(PrimitiveList& list, int orientation, bool whole, double cx, double cy);
win::RECT GetPrimitiveInvalidRect(const ShapePrimitive& primitive);
// Unites the invalid rectangles of the primitives taken (mask 0: the unselected ones; else those
// sharing a bit with the mask) into out, left at (1000, 1000, 1000, 1000) when none is taken;
// the count.
int GetPrimitivesBounds(const PrimitiveList& list, win::RECT& out, std::uint16_t mask);
// The keyword of a code, or for a reference the referenced shape's name; unchanged for others.
void GetPrimitiveTypeName(int type, std::string& out);

// The Object Editor's points: POLY points, BLOCK pin ends, ARC corners with its start and end,
// a reference's top-left, else the two corners.
int PrimitivePointCount(const ShapePrimitive& primitive);
std::vector<win::POINT> GetPrimitivePoints(const ShapePrimitive& primitive);
// Sets point k, checking it as the Object Editor does; false when refused.
bool SetPrimitivePoint(ShapePrimitive& primitive, int k, int x, int y);

// The BLOCK payload for a box: pins every 16 units on the two long sides, 12 units outside;
// marks of an old payload's pins kept. Empty when the box cannot take one pin per side.
std::vector<std::uint8_t> BuildBlockPayload(const win::RECT& box, std::span<const std::uint8_t> oldPayload = {});
// Payloads made of 32-bit values (the 16-byte kinds, ARC, a reference's x, y and orientation), and
// the payload of a POLY through the points.
std::vector<std::uint8_t> BuildIntPayload(std::initializer_list<long> values);
std::vector<std::uint8_t> BuildPolyPayload(const std::vector<win::POINT>& points);
// The payload of a TEXT primitive at a point.
std::vector<std::uint8_t> BuildTextPayload(int x, int y, const std::string& text, std::int16_t fontHeight,
                                           std::int16_t fontFace, std::uint8_t fontStyle, std::uint8_t fontColor);
std::string TextOfPayload(std::span<const std::uint8_t> payload);

// Data block checks of the library reader: every record's length matches its kind and lies
// inside the block, references lie in 0..tableSize-1. And the indexes a block refers to.
bool ShapeDataIsValid(std::span<const std::uint8_t> data, int tableSize);
void ShapeDataReferences(std::span<const std::uint8_t> data, std::vector<int>& out);
// Rewrites the index of every reference of a data block through map.
void RemapShapeDataReferences(std::vector<std::uint8_t>& data, const std::function<int(int)>& map);

// Grid snapping of the Shape Editor: ((v - 4) / 8) * 8 + 8, truncating.
int SnapToShapeGrid(int v);

}  // namespace kq5
