#include <gtest/gtest.h>

#include <string>

#include "core/font_description.h"
#include "core/field_stream.h"
#include "core/file_units.h"
#include "core/key_file.h"
#include "file_test_support.h"

namespace kq5 {
namespace {

struct Settings {
    std::string title;
    std::string memo;
    int maxNode = 0;
    double tolerance = 0;
    std::int32_t version = 0;
    bool beep = false;
    bool grid = false;
    FontSpec font;
};

// A section routine in the program's style: the unit's mode decides the direction.
int SettingsSection(int unit, Settings& s)
{
    if (GetFileUnit(unit)->mode == kUnitWriting) {
        WriteSection(unit, "Options");
        WriteKeyString(unit, "Title", s.title);
        WriteKeyString(unit, "Memo", s.memo);
        WriteKeyInt(unit, "MaxAnalogNode", s.maxNode);
        WriteKeyDouble(unit, "Tolerance", s.tolerance);
        WriteKeyVersion(unit, "Version", s.version);
        WriteKeyYesNo(unit, "Beep", s.beep);
        WriteKeyOnOff(unit, "Grid", s.grid);
        return WriteKeyFont(unit, "Font", s.font);
    }
    std::string line, key, value;
    for (;;) {
        if (int status = ReadKeyLine(unit, line)) return status;
        if (line.empty() || line.front() == '[') return 0;
        SplitKeyLine(line, key, value);
        if (key == "TITLE") s.title = value;
        else if (key == "MEMO") s.memo = UnpackLineBreaks(value);
        else if (key == "MAXANALOGNODE") s.maxNode = ReadKeyInt(value);
        else if (key == "TOLERANCE") s.tolerance = ReadKeyDouble(value);
        else if (key == "VERSION") s.version = ParseVersionNumber(value);
        else if (key == "BEEP") s.beep = IsYes(value);
        else if (key == "GRID") s.grid = IsOn(value);
        else if (key == "FONT") ReadKeyFont(value, s.font);
    }
}

class KeyFileTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetFontFacesForTests();
    }
};

TEST_F(KeyFileTest, ASectionRoutineWritesAndReadsItsKeys)
{
    Settings out;
    out.title = "Amplifier";
    out.memo = "line one\r\nline two";
    out.maxNode = 40;
    out.tolerance = 1e-3;
    out.version = (5 << 16) | 20;
    out.beep = true;
    out.font = {-12, static_cast<std::int16_t>(FindFontFace("Arial")), kFontBold, 3};

    int unit = CreateScratchUnit("kq5.ini");
    ASSERT_EQ(SettingsSection(unit, out), 0);
    ASSERT_EQ(WriteSection(unit, "Empty"), 0);
    ASSERT_EQ(CloseUnit(unit), 0);
    EXPECT_EQ(ReadText("kq5.ini"),
              "[Options]\n"
              "Title=Amplifier\n"
              "Memo=line one\xFEline two\n"
              "MaxAnalogNode=40\n"
              "Tolerance=0.001\n"
              "Version=5.20\n"
              "Beep=Yes\n"
              "Grid=Off\n"
              "Font=Height=-12,FStyle=4,Color=3,Name=Arial\n"
              "\n[Empty]\n");

    Settings in;
    in.grid = true;
    unit = OpenScratchUnit("kq5.ini");
    std::string header;
    ASSERT_EQ(ReadKeyLine(unit, header), 0);
    EXPECT_EQ(header, "[Options]");
    ASSERT_EQ(SettingsSection(unit, in), 0);
    EXPECT_EQ(in.title, out.title);
    EXPECT_EQ(in.memo, out.memo);
    EXPECT_EQ(in.maxNode, 40);
    EXPECT_EQ(in.tolerance, 1e-3);
    EXPECT_EQ(in.version, out.version);
    EXPECT_TRUE(in.beep);
    EXPECT_FALSE(in.grid);
    EXPECT_FALSE(FontsDiffer(in.font, out.font));
}

TEST_F(KeyFileTest, ReadersSkipCommentsAndAcceptAnyCaseAndLineEnd)
{
    WriteFile("in.ini", "; comment\r\n\r\n   \r\n ;kept \r\n  MaxAnalogNode = 40 \r\nbeep=YES\r\n[Next]\r\n");
    int unit = OpenScratchUnit("in.ini");
    std::string line, key, value;
    ASSERT_EQ(ReadKeyLine(unit, line), 0);
    EXPECT_EQ(line, ";kept");
    ASSERT_EQ(ReadKeyLine(unit, line), 0);
    SplitKeyLine(line, key, value);
    EXPECT_EQ(key, "MAXANALOGNODE");
    EXPECT_EQ(value, "40");
    ASSERT_EQ(ReadKeyLine(unit, line), 0);
    SplitKeyLine(line, key, value);
    EXPECT_TRUE(IsYes(value));
    ASSERT_EQ(ReadKeyLine(unit, line), 0);
    EXPECT_EQ(line, "[Next]");
    EXPECT_EQ(ReadKeyLine(unit, line), 0);  // the end of the file is not an error
    EXPECT_EQ(line, "");

    SplitKeyLine("Bare key ", key, value);
    EXPECT_EQ(key, "BARE KEY");
    EXPECT_EQ(value, "");
}

TEST_F(KeyFileTest, EmptyValuesAndNonEmptyTextLines)
{
    int unit = CreateScratchUnit("k.ini");
    WriteKeyString(unit, "Flag", "");
    UnitPrintf(unit, "\n\nsecond\xFEpart\n");
    CloseUnit(unit);
    EXPECT_EQ(ReadText("k.ini"), "Flag\n\n\nsecond\xFEpart\n");

    unit = OpenScratchUnit("k.ini");
    std::string text;
    ASSERT_EQ(ReadNonEmptyTextLine(unit, text), 0);
    EXPECT_EQ(text, "Flag");
    ASSERT_EQ(ReadNonEmptyTextLine(unit, text), 0);
    EXPECT_EQ(text, "second\r\npart");
    ASSERT_EQ(ReadNonEmptyTextLine(unit, text), 0);
    EXPECT_EQ(text, "");
}

TEST(KeyValues, ListsAndKeyedLists)
{
    std::string list = "  3, 4.5,x,";
    std::string item;
    EXPECT_EQ(SplitKeyValue(item, list), "3");
    EXPECT_EQ(list, " 4.5,x,");
    EXPECT_EQ(ReadKeyDouble(list), 4.5);
    EXPECT_EQ(ReadKeyInt(list), 0);  // malformed numbers read as 0
    EXPECT_EQ(list, "");
    EXPECT_EQ(ReadKeyInt(list), 0);

    EXPECT_EQ(GetListKeyValue("Height=12,FStyle=1,Color=3", "color"), "3");
    EXPECT_EQ(GetListKeyValue("Height=12,FStyle=1,Color=3", "Name"), "");
    EXPECT_EQ(GetListKeyValue("A = x y , B=2", "a"), "x y");
    EXPECT_EQ(GetListKeyInt("A=1,B=-7", "B"), -7);
    std::string longList;
    for (int i = 0; i < 100; ++i) longList += "Key" + std::to_string(i) + "=" + std::to_string(i) + ",";
    EXPECT_EQ(GetListKeyInt(longList, "KEY99"), 99);  // no limit on the list's length
}

TEST(KeyValues, FlagsVersionsAndColours)
{
    EXPECT_TRUE(IsYes("YES"));
    EXPECT_FALSE(IsYes("Y"));
    EXPECT_TRUE(IsOn("on"));
    EXPECT_FALSE(IsOn("Off"));

    EXPECT_EQ(ParseVersionNumber("2.1"), (2 << 16) | 10);
    EXPECT_EQ(ParseVersionNumber("2"), 2 << 16);
    EXPECT_EQ(ParseVersionNumber("5.03"), (5 << 16) | 3);
    EXPECT_EQ(ParseVersionNumber("5.123"), (5 << 16) | 12);
    EXPECT_EQ(ParseVersionNumber("70000.5"), ((70000 & 0xFFFF) << 16) | 50);
    EXPECT_EQ(FormatVersionNumber((5 << 16) | 3), "5.03");
    EXPECT_EQ(FormatVersionNumber(ParseVersionNumber("4.00")), "4.00");

    EXPECT_EQ(ReadColorIndex("-5"), 0);
    EXPECT_EQ(ReadColorIndex("17"), 17);
    EXPECT_EQ(ReadColorIndex("64"), 63);
    EXPECT_EQ(ReadColorIndex("9999"), 63);
}

TEST_F(KeyFileTest, WindowPlacementsRoundTrip)
{
    win::WINDOWPLACEMENT placement;
    placement.flags = 2;
    placement.showCmd = 3;
    placement.ptMinPosition = {-1, -1};
    placement.ptMaxPosition = {-4, -4};
    placement.rcNormalPosition = {10, 20, 300, 400};
    int unit = CreateScratchUnit("p.ini");
    EXPECT_EQ(WriteKeyPlacement(unit, "Window", placement), 0);
    CloseUnit(unit);
    EXPECT_EQ(ReadText("p.ini"), "Window=2,3, -1,-1, -4,-4, 10,20,300,400\n");

    win::WINDOWPLACEMENT read;
    ReadKeyPlacement("2,3, -1,-1, -4,-4, 10,20,300,400", read);
    EXPECT_EQ(read.length, sizeof(win::WINDOWPLACEMENT));
    EXPECT_EQ(read.showCmd, 3u);
    EXPECT_EQ(read.ptMaxPosition.y, -4);
    EXPECT_EQ(read.rcNormalPosition.bottom, 400);

    // Without a normal rectangle the placement stays invalid.
    ReadKeyPlacement("0,1, 0,0, 0,0, 5,5,5,9", read);
    EXPECT_EQ(read.length, 0u);
    EXPECT_EQ(read.rcNormalPosition.bottom, 9);
}

TEST_F(KeyFileTest, FontsReadOnlyThePresentKeysAndWriteOnlyTheChanges)
{
    int courier = FindFontFace("Courier New");
    EXPECT_EQ(FindFontFace("COURIER NEW"), courier);
    FontSpec font{10, static_cast<std::int16_t>(courier), 0, 5};
    ReadKeyFont("FStyle=2, Name=Times New Roman", font);
    EXPECT_EQ(font.height, 10);
    EXPECT_EQ(font.style, 2);
    EXPECT_EQ(font.color, 5);
    EXPECT_EQ(FaceName(font.face), "Times New Roman");

    FontSpec base{10, static_cast<std::int16_t>(courier), 2, 5};
    int unit = CreateScratchUnit("f.ini");
    EXPECT_EQ(WriteFontChanges(unit, base, base), 0);
    FontSpec changed = base;
    changed.color = 9;
    changed.face = font.face;
    EXPECT_EQ(WriteFontChanges(unit, changed, base), 0);
    CloseUnit(unit);
    EXPECT_EQ(ReadText("f.ini"), "Color=9\nFont=Times New Roman\n");
}

TEST_F(KeyFileTest, SectionMarkersMustMatchExactly)
{
    int unit = CreateScratchUnit("m.txt");
    EXPECT_EQ(TransferSectionMarker(unit, "FONTS"), 0);
    CloseUnit(unit);
    EXPECT_EQ(ReadText("m.txt"), ":**** fonts ****\n");

    WriteFile("m.txt", ":**** fonts ****\r\n:**** fonts ****x\n:**** Fonts ****\n");
    unit = OpenScratchUnit("m.txt");
    EXPECT_EQ(TransferSectionMarker(unit, "fonts"), 0);
    EXPECT_EQ(TransferSectionMarker(unit, "fonts"), 15009);  // a longer line is no match
    EXPECT_EQ(TransferSectionMarker(unit, "fonts"), 15009);
    EXPECT_EQ(TransferSectionMarker(unit, "fonts"), 15009);  // end of the file
}

}  // namespace
}  // namespace kq5
