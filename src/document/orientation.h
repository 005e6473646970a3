#pragma once
// Orientation codes of components: bits 0 and 1 count quarter turns, bit 2 mirrors top to bottom
// after the turn. 0 as drawn, 1 turned 90, 2 turned 180, 3 turned 270, 4 mirrored top-bottom,
// 5 turned 90 and mirrored, 6 mirrored left-right, 7 turned 270 and mirrored.
#include <cstdint>

namespace kq5 {

using OrientationCode = std::int16_t;

constexpr int kOrientationCount = 8;

// Codes come from files and the clipboard; anything outside 0 to 7 is not an orientation.
constexpr bool IsValidOrientation(int code) { return code >= 0 && code < kOrientationCount; }

// The code to use for a stored value: invalid codes read as 0 (as drawn).
constexpr OrientationCode SafeOrientation(int code)
{
    return static_cast<OrientationCode>(IsValidOrientation(code) ? code : 0);
}

// "Flip Y" and "Flip X".
constexpr OrientationCode FlipOrientationY(int code) { return static_cast<OrientationCode>(SafeOrientation(code) ^ 4); }
constexpr OrientationCode FlipOrientationX(int code) { return static_cast<OrientationCode>(SafeOrientation(code) ^ 6); }

// One more turn while dragging: passes through all eight placements, the mirrored ones after the
// four plain turns.
constexpr OrientationCode NextOrientation(int code)
{
    return static_cast<OrientationCode>((SafeOrientation(code) + 1) % kOrientationCount);
}

}  // namespace kq5
