#include "schematic/shape_draw.h"

namespace kq5 {

int DrawShapeByIndex(win::HDC, int, int, int, int, int) { return 0; }

}  // namespace kq5
