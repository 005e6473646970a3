#pragma once
// Drawing shapes: every primitive of a shape, turned and mirrored by an orientation code, with
// the pen selected into the device context (closed kinds marked solid are filled in the pen's
// colour, the others left hollow).
#include <cstdint>
#include <span>

#include "platform/win_types.h"

namespace kq5 {

// Device point = offset + matrix · shape point.
struct ShapeTransform {
    double a = 1, b = 0, c = 0, d = 1;  // x' = a x + b y, y' = c x + d y
    double e = 0, f = 0;
    win::POINT Map(double x, double y) const;
    // The transform that applies inner first, then this one.
    ShapeTransform Then(const ShapeTransform& inner) const;
    double Scale() const;
    bool Mirrored() const { return a * d - b * c < 0; }
};

// The orientation code about the origin, scaled, then moved to (x, y).
ShapeTransform OrientationTransform(int orientation, double x, double y, double scale);

// x, y in logical units (grid position times 8); flags as the renderer passes them (0x920).
// Nonzero when drawn; 0 when the shape library has no shape of that index, and the caller then
// writes "Shape not Found" in its place.
int DrawShapeByIndex(win::HDC dc, int shapeIndex, int x, int y, int orientation, int flags);

// The stored data block of the shape of that index at (x, y), each shape unit `scale` device
// units; 0 when the slot is empty or the shape has no data, else 1.
int DrawShapeData(win::HDC dc, int shapeIndex, int orientation, int x, int y, double scale);

// While set, switch symbols draw their lever closed across the contacts (a placed DIGITAL SWITCH
// that is on); the renderer sets it around such a component alone.
void SetSwitchSymbolsClosed(bool closed);
// While set (a colour, not -1), LED symbols are filled with it: the logic state of a placed
// digital LED's node during a run; the renderer sets it around such a component alone.
void SetLedStateColor(long color);

// One primitive from its payload under a transform.
void DrawPrimitive(win::HDC dc, std::span<const std::uint8_t> payload, int type, std::uint16_t attributes,
                   const ShapeTransform& transform);

}  // namespace kq5
