// The model library window in a user's hands: a library made from a SPICE text, its transistor
// shown with the values of its parameters and renamed, a library opened and worked by the keyboard.
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
constexpr int kNameX = 77, kNameY = 145;                 // the Name field
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

// Opens tiny.ckt, a SPICE text of one small transistor, and makes it the binary library tiny.LBR
// through File > Translate (accepting the offered name); the library's window shows its NPN models.
void OpenAsLibrary(Journey& journey)
{
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("tiny.ckt");
    journey.Key("Return");
    journey.Settle();
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
}

void WriteTinyText(Journey& journey)
{
    std::ofstream(journey.Root() / "tiny.ckt", std::ios::binary) << "* a small transistor\n"
                                                                    ".MODEL QTINY NPN (IS=1.5E-16 BF=200)\n";
}

// A saturation current below 1e-15 is written with its exponent, "1.500000e-16"; its field is
// wide enough for all of it. The field used to cut it after "1.500000", a value a million
// billion times too large to the eye.
TEST(ModelEditorJourney, AValueWithItsExponentShowsWholeInItsField)
{
    Journey journey("model_editor");
    WriteTinyText(journey);
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenAsLibrary(journey);
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

// A model renamed with a blank typed behind the name is stored under the name alone, the name a
// circuit asks for. The blank used to be stored with it, and every circuit naming the model
// stopped with "Missing model statement".
TEST(ModelEditorJourney, ANameIsStoredWithoutBlanksAround)
{
    Journey journey("model_rename");
    WriteTinyText(journey);
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenAsLibrary(journey);
    const std::filesystem::path library = journey.Root() / "tiny.LBR";
    const std::string before = ReadAll(library);
    journey.Click(kNameX, kNameY);
    journey.Key("End shift+Home");
    journey.Type("QT ");
    journey.Key("Tab");
    journey.Settle();
    journey.Key("ctrl+s");
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(library) != before; }, 10)) << "the library was not saved";
    journey.Capture("model_rename_saved");
    const std::string saved = ReadAll(library);
    EXPECT_NE(saved.find(std::string("QT\0", 3)), std::string::npos) << "the name is not QT";
    EXPECT_EQ(saved.find("QT "), std::string::npos) << "the blank was stored";
    EXPECT_TRUE(journey.Running());
}

// A library opened from the command line takes the keyboard at once: Down in its type selector
// shows the next model type, Tab walks on to the Name field. The window itself used to keep the
// focus, so that no key reached any of its fields until one was clicked.
TEST(ModelEditorJourney, AnOpenedLibraryIsWorkedByTheKeyboard)
{
    constexpr int kSelectorLeft = 12, kSelectorTop = 113, kSelectorRight = 80, kSelectorBottom = 129;
    std::filesystem::path made;
    {
        Journey journey("model_keys_made");
        WriteTinyText(journey);
        ASSERT_TRUE(journey.Start()) << journey.Output();
        OpenAsLibrary(journey);
        made = journey.Root() / "tiny.LBR";
    }
    Journey journey("model_keys");
    std::filesystem::copy_file(made, journey.Root() / "tiny.LBR");
    ASSERT_TRUE(journey.Start({"tiny.LBR"})) << journey.Output();
    journey.Settle();
    const Shot opened = journey.Capture("model_keys_opened");
    journey.Key("Down");
    journey.Settle();
    const Shot next = journey.Capture("model_keys_next_type");
    EXPECT_FALSE(next.SameAs(opened, kSelectorLeft, kSelectorTop, kSelectorRight, kSelectorBottom))
        << "Down did not reach the model type selector";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
