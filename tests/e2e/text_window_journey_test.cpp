// A netlist in its text window, edited as a user edits it: Find, Replace, Undo, saved and
// opened again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

constexpr const char* kNetlist =
    "RC low pass\n"
    "V1 IN 0 PULSE 0 1 0 1U 1U 1M 2M\n"
    "R1 IN OUT 1K\n"
    "C1 OUT 0 1U\n"
    ".TRAN 5M\n"
    ".END\n";
// The same with OUT replaced by VOUT.
constexpr const char* kReplaced =
    "RC low pass\n"
    "V1 IN 0 PULSE 0 1 0 1U 1U 1M 2M\n"
    "R1 IN VOUT 1K\n"
    "C1 VOUT 0 1U\n"
    ".TRAN 5M\n"
    ".END\n";

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kEditMenuX = 62, kMenuBarY = 28, kReplaceItemX = 93, kReplaceItemY = 359;
constexpr int kFontItemX = 84, kFontItemY = 256;
// In the Font dialog: the Color list, opened, and its "Red" line; the netlist's first lines.
constexpr int kColorListX = 563, kColorListY = 592, kRedLineX = 510, kRedLineY = 728;
constexpr int kTextLeft = 0, kTextTop = 82, kTextRight = 320, kTextBottom = 200;
constexpr std::uint32_t kRed = 0xFF0000;

// The file as the text says, line ends aside (the program writes CR LF).
std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Opens a netlist of the journey's folder (rc.ckt unless named) in its text window.
void OpenNetlist(Journey& journey, const std::string& name = "rc.ckt")
{
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type(name);
    journey.Key("Return");
    journey.Settle();
}

// Writes the text as rc.ckt of the journey's folder, starts the program and opens it there;
// false when the program did not start.
bool StartWithNetlist(Journey& journey, const std::string& text)
{
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << text;
    if (!journey.Start()) return false;
    OpenNetlist(journey);
    return true;
}

// Replace All changes the whole text at once; Undo takes all of it back and a second Undo does
// it again, as with any other edit. It used to start the text afresh, with nothing to undo.
TEST(TextWindowJourney, UndoTakesBackAReplaceAll)
{
    Journey journey("text_replace_all");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << kNetlist;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenNetlist(journey);

    journey.Click(kEditMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kReplaceItemX, kReplaceItemY);
    journey.Settle();
    journey.Type("OUT");
    journey.Key("Tab");
    journey.Type("VOUT");
    journey.Key("alt+a");
    journey.Settle();
    journey.Capture("text_replace_all");
    journey.Key("Escape");
    journey.Settle();

    journey.Key("ctrl+z");
    journey.Settle();
    journey.Capture("text_replace_all_undone");
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), kNetlist) << "Undo left the replacement";

    journey.Key("ctrl+z");
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), kReplaced) << "a second Undo did not redo it";
    EXPECT_TRUE(journey.Running());
}

// Edit > Font offers the colour of the text, and the colour chosen there is the one the text
// is drawn in. The dialog used to start on Black whatever the text's colour and to drop the
// choice.
TEST(TextWindowJourney, TheFontDialogColoursTheText)
{
    Journey journey("text_font_colour");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << kNetlist;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenNetlist(journey);

    journey.Click(kEditMenuX, kMenuBarY);
    journey.Settle();
    journey.Click(kFontItemX, kFontItemY);
    journey.Settle();
    journey.Capture("text_font");
    journey.Click(kColorListX, kColorListY);
    journey.Settle();
    journey.Click(kRedLineX, kRedLineY);
    journey.Key("Return");
    journey.Settle();
    const Shot red = journey.Capture("text_font_red");
    EXPECT_GT(red.Count(kTextLeft, kTextTop, kTextRight, kTextBottom, kRed), 300) << "the text is not red";
    EXPECT_TRUE(journey.Running());
}

// File > Characteristics (F10) on a netlist: the text colour and a larger font chosen there show
// on the text with Test, Cancel puts the text back as it was, and OK keeps them. The dialog used
// to change only the font the document stores, so the text stayed as it was until the file was
// opened again.
TEST(TextWindowJourney, CharacteristicsTestCancelAndOkShowOnTheText)
{
    constexpr int kRedSwatchX = 647, kRedSwatchY = 443;                     // in the dialog's palette
    constexpr int kSize16X = 707, kSize16Y = 502;                             // in the Font dialog
    // (Left of x = 100 the caret may blink between two captures.)
    constexpr int kStillLeft = 100;
    Journey journey("text_characteristics");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << kNetlist;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenNetlist(journey);
    const Shot before = journey.Capture("text_characteristics_before");
    auto chooseRedAndLarger = [&] {
        journey.Key("F10");
        journey.Settle();
        journey.Capture("text_characteristics");
        journey.Click(kRedSwatchX, kRedSwatchY);
        journey.Key("alt+f");
        journey.Settle();
        journey.Click(kSize16X, kSize16Y);
        journey.Settle();
        journey.Capture("text_characteristics_font");
        journey.Key("Return");
        journey.Settle();
    };
    chooseRedAndLarger();
    journey.Key("alt+t");
    journey.Settle();
    const Shot tested = journey.Capture("text_characteristics_tested");
    EXPECT_GT(tested.Count(kTextLeft, kTextTop, kTextRight, kTextBottom, kRed), 300) << "Test did not colour the text";
    EXPECT_FALSE(tested.SameAs(before, kStillLeft, kTextTop, kTextRight, kTextBottom)) << "Test changed nothing";

    journey.Key("alt+c");
    journey.Settle();
    const Shot cancelled = journey.Capture("text_characteristics_cancelled");
    EXPECT_TRUE(cancelled.SameAs(before, kStillLeft, kTextTop, kTextRight, kTextBottom)) << "Cancel did not put the text back";

    chooseRedAndLarger();
    journey.Key("alt+o");  // (Return would press Font... again, which has the focus)
    journey.Settle();
    const Shot kept = journey.Capture("text_characteristics_kept");
    EXPECT_GT(kept.Count(kTextLeft, kTextTop, kTextRight, kTextBottom, kRed), 300) << "OK did not keep the colour";
    EXPECT_TRUE(kept.SameAs(tested, kStillLeft, kTextTop, kTextRight, kTextBottom)) << "OK shows other than Test did";
    EXPECT_TRUE(journey.Running());
}

// A source whose waveform names an unknown identifier, on the third line.
constexpr const char* kBadSource =
    "Bad source\n"
    "* the pulse below names nothing known\n"
    "V1 IN 0 PULSE 0 1 0 1U 1U 1M {BADNAME}\n"
    "R1 IN OUT 1K\n"
    "C1 OUT 0 1U\n"
    ".TRAN 10U 5M\n"
    ".END\n";
// The third line of the text, where a highlighted line shows black behind its letters.
constexpr int kThirdLineTop = 121, kThirdLineBottom = 136;
constexpr std::uint32_t kHighlight = 0x000000;

// A run that fails on a line of the netlist shows that line selected once its message is
// answered, a source's waveform as much as a part's value. An unknown name in a source's
// waveform used to be reported without its part, and the caret stayed where it was.
TEST(TextWindowJourney, ARunThatFailsOnASourceSelectsItsLine)
{
    Journey journey("text_error_line");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << kBadSource;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    OpenNetlist(journey);
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    journey.Settle(10);
    journey.Capture("text_error_message");
    journey.Key("Return");
    journey.Settle();
    const Shot shown = journey.Capture("text_error_line");
    EXPECT_GT(shown.Count(kTextLeft, kThirdLineTop, kTextRight, kThirdLineBottom, kHighlight), 1500)
        << "the source's line is not selected";
    EXPECT_TRUE(journey.Running());
}

// The fourth line of kNetlist, at its first column.
constexpr int kFourthLineX = 2, kFourthLineY = 150;

// Backspacing over a line break and the end of the line before is one run: Undo brings all of
// it back and a second Undo takes it again. Each Backspace used to start a run of its own, so
// Undo gave back only the last character taken.
TEST(TextWindowJourney, UndoBringsBackEveryCharacterABackspaceRunTook)
{
    Journey journey("text_backspace_run");
    ASSERT_TRUE(StartWithNetlist(journey, kNetlist)) << journey.Output();

    journey.Click(kFourthLineX, kFourthLineY);
    journey.Key("BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace");
    journey.Settle();
    journey.Capture("text_backspace_run");
    journey.Key("ctrl+z");
    journey.Settle();
    journey.Capture("text_backspace_undone");
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), kNetlist) << "Undo did not bring the run back";

    journey.Key("ctrl+z");
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    std::string joined = kNetlist;
    joined.replace(joined.find("R1 IN OUT 1K\nC1"), 15, "R1 INC1");
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), joined) << "a second Undo did not take it again";
    EXPECT_TRUE(journey.Running());
}

// Select All and Ctrl+L on a netlist of a hundred thousand lines: the letters turn to lower case
// at once, the program answers again, and one Undo puts the case back. Each letter changed used
// to count the lines from the start of the text down to the view at its end, which kept the
// program busy for minutes; and with an Undo entry for each letter, the history kept only the
// last few thousand, so Undo changed back no more than the end of the text.
TEST(TextWindowJourney, LowerCaseOfAWholeLongNetlistIsQuick)
{
    Journey journey("text_long_lower_case");
    std::ostringstream lines;
    lines << "RC ladder\nV1 N0 0 PULSE 0 1 0 1N 1N 1U 2U\n";
    for (int i = 1; i <= 50000; ++i) lines << 'R' << i << " N" << i - 1 << " N" << i << " 10\nC" << i << " N" << i << " 0 1P\n";
    lines << ".TRAN 1N 10N\n.END\n";
    const std::string ladder = lines.str();
    ASSERT_TRUE(StartWithNetlist(journey, ladder)) << journey.Output();

    journey.Key("ctrl+a");
    journey.Key("ctrl+l");
    journey.Key("ctrl+s");
    std::string lower = ladder;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    EXPECT_TRUE(journey.WaitUntil([&] { return WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")) == lower; }, 20))
        << "the text was not in lower case and saved within 20 seconds";
    journey.Settle();
    journey.Capture("text_long_lower_case");

    // One Undo gives the whole text its case back.
    journey.Key("ctrl+z");
    journey.Key("ctrl+s");
    EXPECT_TRUE(journey.WaitUntil([&] { return WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")) == ladder; }, 20))
        << "Undo did not give the whole text its case back";
    EXPECT_TRUE(journey.Running());
}

// File > Revert on a netlist whose file changed on disk shows the file's text, as opening the
// same text from another file shows it. The reverted text used to go into a text area of no
// size: the window went on showing the old text, and what the user typed went unseen into the
// new one and from there into the file.
TEST(TextWindowJourney, RevertShowsTheTextOnDisk)
{
    constexpr int kStillLeft = 100;  // the caret stands at the start of the text
    Journey journey("text_revert");
    std::ofstream(journey.Root() / "ref.ckt", std::ios::binary) << kReplaced;
    ASSERT_TRUE(StartWithNetlist(journey, kNetlist)) << journey.Output();
    journey.Key("End");
    journey.Type(" EDITED");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary | std::ios::trunc) << kReplaced;

    journey.Key("alt+f r");
    journey.Settle();
    journey.Capture("text_revert_question");
    journey.Key("Return");  // Revert to the disk version? Yes
    journey.Settle();
    const Shot reverted = journey.Capture("text_revert");
    OpenNetlist(journey, "ref.ckt");
    const Shot reference = journey.Capture("text_revert_reference");
    EXPECT_TRUE(reverted.SameAs(reference, kStillLeft, kTextTop, kTextRight, kTextBottom)) << "the window does not show the text on disk";
    EXPECT_TRUE(journey.Running());
}

// Letters beyond ASCII typed into a remark stay in the text and in the file, in the program's
// code page, as the text window shows them. They used to be dropped with a beep.
TEST(TextWindowJourney, ARemarkTypedWithAMicroSignKeepsIt)
{
    Journey journey("text_micro_sign");
    ASSERT_TRUE(journey.MapKeysyms({"mu", "eacute"})) << "xmodmap is missing (Debian package x11-xserver-utils)";
    ASSERT_TRUE(StartWithNetlist(journey, kNetlist)) << journey.Output();
    journey.Click(kFourthLineX, kFourthLineY);
    journey.Key("End");
    journey.Type(" ; 1 \u00B5F, r\u00E9sum\u00E9");
    journey.Settle();
    journey.Capture("text_micro_sign");
    journey.Key("ctrl+s");
    journey.Settle();
    std::string typed = kNetlist;
    typed.insert(typed.find("C1 OUT 0 1U") + 11, " ; 1 \xB5" "F, r\xE9sum\xE9");
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), typed) << "the letters typed were not kept";
    EXPECT_TRUE(journey.Running());
}

// A netlist whose lines end in a CR alone (as old Macintosh files and some vendors' model
// libraries have them) opens line by line, and an edit saves it line by line. Its CRs used to
// become blanks: the window showed the whole netlist on one line and saving wrote it so.
TEST(TextWindowJourney, ANetlistWithCarriageReturnLineEndsKeepsItsLines)
{
    Journey journey("text_cr_lines");
    std::string macintosh = kNetlist;
    std::replace(macintosh.begin(), macintosh.end(), '\n', '\r');
    ASSERT_TRUE(StartWithNetlist(journey, macintosh)) << journey.Output();
    journey.Type("* checked");
    journey.Key("Return");
    journey.Settle();
    journey.Capture("text_cr_lines");
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(WithoutCarriageReturns(ReadAll(journey.Root() / "rc.ckt")), std::string("* checked\n") + kNetlist)
        << "the netlist's lines were not kept";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
