#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "core/field_stream.h"
#include "core/file_units.h"
#include "file_test_support.h"

namespace kq5 {
namespace {

// Every value type of a field stream, transferred by one routine in either direction.
struct Record {
    std::uint8_t byte = 0;
    std::int16_t shortValue = 0;
    std::int32_t intValue = 0;
    std::int32_t longValue = 0;
    double doubleValue = 0;
    std::string text;
    std::string owned;
    std::string notes;
    win::RECT box;
    std::int32_t x = 0, y = 0;
    std::int32_t count = 0;
    double scale = 0;
    std::int32_t version = 0;
};

int TransferRecord(int unit, Record& r)
{
    int status = 0;
    auto step = [&status](int result) {
        if (status == 0) status = result;
    };
    step(TransferField(unit, r.byte, kFieldByte));
    step(TransferField(unit, r.shortValue, kFieldShort));
    step(TransferField(unit, nullptr, kFieldNone));
    step(TransferField(unit, r.intValue, kFieldInt));
    step(TransferField(unit, r.longValue, kFieldLong));
    step(TransferField(unit, r.doubleValue, kFieldDouble));
    step(TransferField(unit, r.text, kFieldText | kFieldEndsLine));
    step(TransferField(unit, r.owned, kFieldString | kFieldEndsLine));
    step(TransferMultilineText(unit, r.notes));
    step(TransferRect(unit, r.box));
    step(TransferLongPair(unit, r.x, r.y, kFieldEndsLine));
    step(TransferEmptyFields(unit, 2));
    step(TransferIntLine(unit, 12, r.count));
    step(TransferDoubleLine(unit, 0.25, r.scale));
    step(TransferDummyIntLine(unit));
    step(TransferVersionLine(unit, (5 << 16) | 3, r.version));
    return status;
}

class FieldStreamTest : public test::ScratchDirTest {};

TEST_F(FieldStreamTest, OneRoutineWritesAndReadsEveryFieldType)
{
    Record out;
    out.byte = 255;
    out.shortValue = -300;
    out.intValue = 2147483647;
    out.longValue = -2147483647 - 1;
    out.doubleValue = 2.5e-12;
    out.text = "V(1), V(2)";
    out.owned = "R1";
    out.notes = "first line\r\nsecond line";
    out.box = {1, -2, 300, 400};
    out.x = 7;
    out.y = -8;
    int unit = CreateScratchUnit("rec.txt");
    ASSERT_EQ(TransferRecord(unit, out), 0);
    ASSERT_EQ(CloseUnit(unit), 0);
    EXPECT_EQ(out.count, 12);
    EXPECT_EQ(out.scale, 0.25);
    EXPECT_EQ(out.version, (5 << 16) | 3);
    EXPECT_EQ(ReadText("rec.txt"),
              "255,-300,,2147483647,-2147483648,2.5e-12,V(1), V(2)\n"
              "R1\n"
              "first line\xFEsecond line\n"
              "1,-2,300,400\n"
              "7,-8\n"
              "\n\n"
              "12\n0.25\n0\n5.03\n");

    Record in;
    unit = OpenScratchUnit("rec.txt");
    ASSERT_EQ(TransferRecord(unit, in), 0);
    EXPECT_EQ(in.byte, 255);
    EXPECT_EQ(in.shortValue, -300);
    EXPECT_EQ(in.intValue, 2147483647);
    EXPECT_EQ(in.longValue, -2147483647 - 1);
    EXPECT_EQ(in.doubleValue, 2.5e-12);
    EXPECT_EQ(in.text, "V(1), V(2)");
    EXPECT_EQ(in.owned, "R1");
    EXPECT_EQ(in.notes, "first line\r\nsecond line");
    EXPECT_EQ(in.box.right, 300);
    EXPECT_EQ(in.box.top, -2);
    EXPECT_EQ(in.y, -8);
    EXPECT_EQ(in.count, 12);
    EXPECT_EQ(in.scale, 0.25);
    EXPECT_EQ(in.version, (5 << 16) | 3);
    // Everything was consumed.
    std::string rest;
    EXPECT_EQ(ReadUnitField(unit, rest), 15007);
}

TEST_F(FieldStreamTest, ReadsCrLfFilesAndLongFieldsWhole)
{
    std::string longText(1500, 'x');
    std::string longName(120, 'n');
    WriteFile("win.txt", "12 ,  ,-4\r\n" + longText + ",tail\r\n" + longName + "\r\n7");
    int unit = OpenScratchUnit("win.txt");
    std::int32_t a = 0, b = 99, c = 0, d = 0;
    std::string text, name;
    EXPECT_EQ(TransferField(unit, a, kFieldInt), 0);
    EXPECT_EQ(TransferField(unit, b, kFieldInt), 0);  // an empty field reads as 0
    EXPECT_EQ(TransferField(unit, c, kFieldInt | kFieldEndsLine), 0);
    EXPECT_EQ(TransferField(unit, text, kFieldText | kFieldEndsLine), 0);
    EXPECT_EQ(TransferField(unit, name, kFieldString | kFieldEndsLine), 0);
    EXPECT_EQ(TransferField(unit, d, kFieldInt | kFieldEndsLine), 0);  // last line without line end
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, -4);
    EXPECT_EQ(text, longText + ",tail");
    EXPECT_EQ(name, longName);
    EXPECT_EQ(d, 7);
    EXPECT_EQ(TransferField(unit, d, kFieldInt), 15007);
}

TEST_F(FieldStreamTest, FieldReadersStopAtTheRightCharacters)
{
    WriteFile("r.txt", "a, b ,\n\nc,d  \n");
    int unit = OpenScratchUnit("r.txt");
    std::string s;
    EXPECT_EQ(ReadUnitField(unit, s), 0);
    EXPECT_EQ(s, "a");
    EXPECT_EQ(ReadUnitField(unit, s), 0);
    EXPECT_EQ(s, " b");  // leading blanks stay, trailing ones go
    EXPECT_EQ(ReadUnitField(unit, s), 0);
    EXPECT_EQ(s, "");  // empty field between the comma and the line end
    EXPECT_EQ(ReadUnitRawLine(unit, s), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(ReadUnitLineText(unit, s), 0);
    EXPECT_EQ(s, "c,d");
    EXPECT_EQ(ReadUnitRawLine(unit, s), 15007);
    EXPECT_EQ(s, "");
}

TEST_F(FieldStreamTest, MultilineTextsKeepEveryLineBreak)
{
    EXPECT_EQ(PackLineBreaks("a\r\nb\nc\rd"), "a\xFE" "b\xFE" "c\xFE" "d");
    EXPECT_EQ(UnpackLineBreaks("a\xFE" "b"), "a\r\nb");

    int unit = CreateScratchUnit("m.txt");
    std::string empty;
    std::string unix = "one\ntwo  ";
    EXPECT_EQ(TransferMultilineText(unit, empty), 0);
    EXPECT_EQ(TransferMultilineText(unit, unix), 0);
    CloseUnit(unit);
    EXPECT_EQ(ReadText("m.txt"), "\none\xFEtwo  \n");

    unit = OpenScratchUnit("m.txt");
    std::string text = "old";
    EXPECT_EQ(TransferMultilineText(unit, text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(TransferMultilineText(unit, text), 0);
    EXPECT_EQ(text, "one\r\ntwo");
    EXPECT_EQ(TransferMultilineText(unit, text), 15007);
    EXPECT_EQ(text, "");
}

TEST_F(FieldStreamTest, ErrorsOfTheUnitStopTransfers)
{
    ASSERT_EQ(CreateUnit("/dev/full", 0), 0);
    std::setvbuf(GetFileUnit(0)->stream.get(), nullptr, _IONBF, 0);
    std::int32_t value = 5;
    EXPECT_EQ(TransferField(0, value, kFieldInt), 16000 + ENOSPC);
    EXPECT_EQ(CloseUnit(0), 16000 + ENOSPC);

    // A reading unit whose last error is set returns it without reading.
    WriteFile("r.txt", "5\n");
    int unit = OpenScratchUnit("r.txt");
    GetFileUnit(unit)->lastError = 16005;
    value = 0;
    EXPECT_EQ(TransferField(unit, value, kFieldInt), 16005);
    EXPECT_EQ(value, 0);
}

TEST_F(FieldStreamTest, BinaryWordsAreLittleEndian)
{
    FileStream out = OpenFileCreateRW(PathOf("b.bin"));
    ASSERT_TRUE(out);
    EXPECT_EQ(WriteWord16(out.get(), 0x1234), 0);
    EXPECT_EQ(WriteWord32(out.get(), 0xA1B2C3D4u), 0);
    EXPECT_EQ(WriteCountedString("", out.get()), 0);
    EXPECT_EQ(WriteCountedString("abc", out.get()), 0);
    EXPECT_EQ(WriteBlock(std::string_view("XY"), out.get()), 1);
    out.reset();
    EXPECT_EQ(ReadFile("b.bin"), std::string("\x34\x12\xD4\xC3\xB2\xA1\x00\x00\x03\x00" "abcXY", 15));

    FileStream in = OpenFileRead(PathOf("b.bin"));
    EXPECT_EQ(ReadWord16(in.get()), 0x1234);
    EXPECT_EQ(ReadWord32(in.get()), 0xA1B2C3D4u);
    EXPECT_EQ(ReadWord16(in.get()), 0);
    EXPECT_EQ(ReadWord16(in.get()), 3);
    std::string block(3, '\0');
    EXPECT_EQ(ReadBlock(block, in.get()), 1);
    EXPECT_EQ(block, "abc");
    EXPECT_EQ(ReadBlock(block, in.get()), 0);  // only two bytes are left
    EXPECT_EQ(ReadWord16(in.get()), 0);        // past the end

    FileStream full(std::fopen("/dev/full", "wb"));
    ASSERT_TRUE(full);
    std::setvbuf(full.get(), nullptr, _IONBF, 0);
    EXPECT_EQ(WriteWord16(full.get(), 1), 16012);
    EXPECT_EQ(WriteCountedString("abc", full.get()), 16012);
}

}  // namespace
}  // namespace kq5
