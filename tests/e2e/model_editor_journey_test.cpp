// The model library window in a user's hands: a library made from a SPICE text, its transistor
// shown with the values of its parameters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kTypeSelectorX = 46, kTypeSelectorY = 98;  // the model type selector
constexpr int kNpnItemX = 21, kNpnItemY = 152;           // "NPN" in its list
// Where the first value field of the parameter panel (IS) lies.
constexpr int kPanelLeft = 250, kPanelRight = 450, kFieldTop = 115, kFieldBottom = 175;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// The white inside of the first value field: its first row and columns [left, right).
bool FindField(const Shot& shot, int& top, int& left, int& right)
{
    for (int y = kFieldTop; y < kFieldBottom; ++y) {
        for (int x = kPanelLeft; x < kPanelRight; ++x) {
            if (shot.At(x, y) != kWhite) continue;
            int end = x;
            while (end < kPanelRight && shot.At(end, y) == kWhite) ++end;
            // Not a frame's etched line: a field is short and white below its first row.
            if (end - x >= 40 && end - x < 200 && shot.At(x + 2, y + 3) == kWhite) {
                top = y;
                left = x;
                right = end;
                return true;
            }
            x = end;
        }
    }
    return false;
}

// A saturation current below 1e-15 is written with its exponent, "1.500000e-16"; its field is
// wide enough for all of it. The field used to cut it after "1.500000", a value a million
// billion times too large to the eye.
TEST(ModelEditorJourney, AValueWithItsExponentShowsWholeInItsField)
{
    Journey journey("model_editor");
    std::ofstream(journey.Root() / "tiny.ckt", std::ios::binary) << "* a small transistor\n"
                                                                    ".MODEL QTINY NPN (IS=1.5E-16 BF=200)\n";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("tiny.ckt");
    journey.Key("Return");
    journey.Settle();
    // SPICE Text File to KQ5 Binary Library, accepting tiny.LBR: the library opens in its window.
    journey.Key("alt+f");
    journey.Key("t");
    journey.Key("l");
    journey.Settle();
    journey.Key("Return");
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(journey.Root() / "tiny.LBR"); }, 10));
    journey.Settle();
    journey.Click(kTypeSelectorX, kTypeSelectorY);
    journey.Settle();
    journey.Click(kNpnItemX, kNpnItemY);
    journey.Settle();
    const Shot shown = journey.Capture("model_editor_npn");

    int top = 0, left = 0, right = 0;
    ASSERT_TRUE(FindField(shown, top, left, right)) << "no value field found";
    // No text reaches the last columns of the field: nothing of it is cut off.
    int bottom = top;
    while (bottom < kFieldBottom + 20 && shown.At(left, bottom) == kWhite) ++bottom;
    EXPECT_GT(bottom - top, 8);
    EXPECT_EQ(shown.Count(right - 3, top, right, bottom, 0x000000), 0) << "the value is cut at the field's edge";
    EXPECT_GT(shown.Count(left, top, right, bottom, 0x000000), 0) << "the field shows no value";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
