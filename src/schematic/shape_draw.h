#pragma once
// Drawing a component's shape: every primitive of the shape of that index, turned and mirrored by
// the orientation code, with the pen and brush selected into the device context.
#include "platform/win_types.h"

namespace kq5 {

// x, y in logical units (grid position times 8); flags as the renderer passes them (0x920).
// Nonzero when drawn; 0 when the shape library has no shape of that index, and the caller then
// writes "Shape not Found" in its place.
int DrawShapeByIndex(win::HDC dc, int shapeIndex, int x, int y, int orientation, int flags);

}  // namespace kq5
