// The switch symbol of a DIGITAL SWITCH that is on draws its lever across both contacts; open, it
// stands up past the second contact.
#include <gtest/gtest.h>

#include <vector>

#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "document/shape_data.h"
#include "schematic/shape_draw.h"

namespace kq5 {
namespace {

constexpr int kSize = 160;

// The symbol over (0, -8)-(48, 8) drawn twice size at (40, 80): contacts at x 72 and 104 with
// radius 8, their tops at y 72.
std::vector<bool> DrawSwitch(bool closed)
{
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(dc, kSize, kSize);
    win::HGDIOBJ oldBitmap = win::SelectObject(dc, bitmap);
    const win::RECT all{0, 0, kSize, kSize};
    win::FillRect(dc, &all, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    const std::vector<std::uint8_t> payload = BuildIntPayload({0, -8, 48, 8});
    SetSwitchSymbolsClosed(closed);
    DrawPrimitive(dc, payload, kPrimSwitch, 0, OrientationTransform(0, 40, 80, 2.0));
    SetSwitchSymbolsClosed(false);
    std::vector<bool> ink(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) ink[static_cast<std::size_t>(y * kSize + x)] = (win::GetPixel(dc, x, y) & 0xFFFFFF) != 0xFFFFFF;
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBitmap);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
    return ink;
}

bool Ink(const std::vector<bool>& ink, int x, int y) { return ink[static_cast<std::size_t>(y * kSize + x)]; }

// Ink within a pixel of the point (lines round to the nearest row).
bool NearInk(const std::vector<bool>& ink, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Ink(ink, x + dx, y + dy)) return true;
    return false;
}

TEST(SwitchSymbol, ClosedLeverLiesOnBothContactsOpenLeverStandsUp)
{
    const std::vector<bool> open = DrawSwitch(false);
    const std::vector<bool> closed = DrawSwitch(true);
    // Between the contacts along their tops, where the open lever has risen: the closed lever only.
    for (int x = 93; x <= 99; ++x) {
        EXPECT_TRUE(Ink(closed, x, 72)) << x;
        EXPECT_FALSE(Ink(open, x, 72)) << x;
    }
    // The open lever's far end, above the second contact.
    EXPECT_TRUE(NearInk(open, 110, 65));
    EXPECT_FALSE(NearInk(closed, 110, 65));
    for (int y = 60; y < 70; ++y) EXPECT_FALSE(Ink(closed, 108, y)) << y;
    // The leads and contacts are the same either way.
    for (int x = 40; x < 64; ++x) EXPECT_EQ(Ink(open, x, 80), Ink(closed, x, 80)) << x;
    EXPECT_TRUE(Ink(closed, 40, 80));
    EXPECT_TRUE(Ink(closed, 120, 80));
    // Drawing closed is scoped: the next symbol is open again.
    EXPECT_EQ(DrawSwitch(false), open);
}

}  // namespace
}  // namespace kq5
