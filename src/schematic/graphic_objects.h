#pragma once
// Graphic objects that users place on a schematic (lines with arrowheads, ellipses, rectangles,
// diamonds, arcs, pies and metafile pictures): their drawing by kind and style, arrowheads,
// selection handles, and loading the placeable metafile of a picture.
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;

// Style flags of the low bits of the style word.
constexpr std::uint32_t kGraphicArrowFilled = 0x1;  // Line: "ArrowF"; fillable kinds: "Fill"
constexpr std::uint32_t kGraphicFill = 0x1;
constexpr std::uint32_t kGraphicArrowOpen = 0x2;    // Line: "Arrow"; Rectangle: "Rounded"
constexpr std::uint32_t kGraphicRounded = 0x2;
constexpr std::uint32_t kGraphicWeight2 = 0x4;
constexpr std::uint32_t kGraphicWeight3 = 0x8;
constexpr std::uint32_t kGraphicDashMask = 0x70;    // pen style 1 to 4 in bits 4 to 6
constexpr std::uint32_t kGraphicBorder = 0x80;

// The record handed to DrawShapeObject: rectangle in logical units as dragged (not normalised).
struct GraphicObject {
    WindowRecord* owner = nullptr;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::uint32_t style = 0;
    std::uint32_t lineColor = 0;
    std::uint32_t fillColor = 0;
    std::uint32_t selection = 0;  // bit 0 selected, bit 1 show handles
    std::string text;             // a picture's file name
};

bool IsFillableObjectKind(std::uint32_t kind);

// Draws one object by its kind; kinds without a drawer here draw nothing.
void DrawShapeObject(win::HDC dc, const GraphicObject& object);

// The arrowhead at the tip (x2, y2) of the line from (x1, y1), size s: the two wing points.
struct ArrowHead {
    win::POINT tip{};
    win::POINT wing1{};
    win::POINT wing2{};
};
ArrowHead ComputeArrowHead(int x1, int y1, int x2, int y2, int size);
void DrawArrowHead(win::HDC dc, const ArrowHead& head, bool filled);

// Handle squares for the mask bits (0x1 top-left ... 0x80 bottom-right); a mask with its high
// nibble (0xF0FF) normalises the rectangle first.
void DrawObjectHandles(win::HDC dc, int x1, int y1, int x2, int y2, std::uint32_t selection, std::uint32_t mask);

// The metafile of a placeable metafile file with its bounding box; null when the file is
// missing, short, not placeable, or claims more bytes than it holds.
win::HMETAFILE LoadPlaceableMetafile(const std::string& fileName, win::RECT& bounds);

}  // namespace kq5
