#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "ui/window_record.h"
#include "core/file_paths.h"
#include "core/file_units.h"
#include "document/circuit_document.h"
#include "file_test_support.h"

namespace kq5 {
namespace {

class FileUnitsTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetWindowRecordsForTests();
    }
    void TearDown() override
    {
        ScratchDirTest::TearDown();
        ResetWindowRecordsForTests();
    }

    // A text window showing a file. Title lookups only ask whether a record has a window, so a
    // stand-in handle that no window function ever sees will do.
    WindowRecord* OpenTextWindow(const std::string& title, const std::string& text)
    {
        static char handles[8];
        WindowRecord* record = NewWindowRecord(nullptr, kWindowTextCircuit, true);
        record->window = reinterpret_cast<win::HWND>(&handles[windows_++]);
        SetRecordTitle(record, title);
        record->textArea = text;
        return record;
    }

    int windows_ = 0;
};

TEST(FileErrorMapping, RuntimeErrorNumbersBecomeMessageIds)
{
    EXPECT_EQ(ErrnoToMessageId(-1), 15023);
    EXPECT_EQ(ErrnoToMessageId(-7), 15022);
    EXPECT_EQ(ErrnoToMessageId(0), 0);
    EXPECT_EQ(ErrnoToMessageId(ENOENT), 16000 + ENOENT);
}

TEST_F(FileUnitsTest, FindFreeUnitTakesTheLowestFreeSlot)
{
    WriteFile("a.txt", "x\n");
    for (int unit = 0; unit < 3; ++unit) ASSERT_EQ(OpenUnitDiskFile(PathOf("a.txt"), unit), 0);
    EXPECT_EQ(FindFreeUnit(), 3);
    for (int unit = 3; unit < kFileUnitCount; ++unit) ASSERT_EQ(OpenUnitDiskFile(PathOf("a.txt"), unit), 0);
    EXPECT_EQ(FindFreeUnit(), -1);
    EXPECT_EQ(CloseUnit(17), 0);
    EXPECT_EQ(FindFreeUnit(), 17);
}

TEST_F(FileUnitsTest, FailedOpensLeaveTheUnitFree)
{
    EXPECT_EQ(OpenUnit("", 4), 15038);
    EXPECT_TRUE(GetFileUnit(4)->IsFree());

    EXPECT_EQ(OpenUnit(PathOf("missing.cir"), 4), 16000 + ENOENT);
    EXPECT_TRUE(GetFileUnit(4)->IsFree());
    EXPECT_TRUE(GetFileUnit(4)->name.empty());

    EXPECT_EQ(CreateUnit(PathOf("no/such/dir/out.txt"), 4), 16000 + ENOENT);
    EXPECT_TRUE(GetFileUnit(4)->IsFree());
}

TEST_F(FileUnitsTest, ReopeningAUnitClosesItsPreviousFile)
{
    WriteFile("a.txt", "a");
    WriteFile("b.txt", "b");
    ASSERT_EQ(OpenUnitDiskFile(PathOf("a.txt"), 2), 0);
    ASSERT_EQ(OpenUnitDiskFile(PathOf("b.txt"), 2), 0);
    EXPECT_EQ(std::fgetc(GetFileUnit(2)->stream.get()), 'b');
    EXPECT_EQ(GetFileUnit(2)->mode, kUnitReading);
    EXPECT_EQ(GetFileUnit(2)->name, PathOf("b.txt"));
}

TEST_F(FileUnitsTest, NamesAreFoundWhateverTheirCaseAndSeparators)
{
    WriteFile("Lib/Models.LIB", ".MODEL D1 D\n");
    std::string asWritten = dir_.string() + "\\lib\\MODELS.lib";
    EXPECT_EQ(ResolveFilePath(asWritten), PathOf("Lib/Models.LIB"));
    EXPECT_EQ(OpenUnit(asWritten, 0), 0);
    EXPECT_EQ(std::fgetc(GetFileUnit(0)->stream.get()), '.');

    // A new file lands in the real directory, under the name as given.
    EXPECT_EQ(CreateUnit(dir_.string() + "/LIB/New.txt", 1), 0);
    EXPECT_EQ(CloseUnit(1), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "Lib" / "New.txt"));

    EXPECT_TRUE(FileNamesEqual("C:\\Work\\A.CIR", "c:/work/a.cir"));
    EXPECT_FALSE(FileNamesEqual("a.cir", "a.cirx"));
}

TEST_F(FileUnitsTest, AFileOpenInATextWindowIsReadFromTheWindow)
{
    std::string name = PathOf("net.cir");  // never written to disk
    WindowRecord* window = OpenTextWindow(name, "title\nR1 1 0 1k\n.END");
    std::string other = name;
    for (char& c : other) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    ASSERT_EQ(OpenUnit(other, 5), 0);
    const FileUnit& unit = *GetFileUnit(5);
    EXPECT_EQ(unit.textWindow, window);
    EXPECT_FALSE(unit.stream);
    EXPECT_EQ(unit.lineTotal, 3);
    EXPECT_EQ(window->document->textLineCount, 3);  // counted once, then cached

    // The disk variant never looks at windows.
    EXPECT_EQ(OpenUnitDiskFile(name, 6), 16000 + ENOENT);
}

TEST_F(FileUnitsTest, WritesAndTheirErrorsReachTheCloser)
{
    int unit = CreateScratchUnit("out.txt");
    EXPECT_EQ(UnitPrintf(unit, "%s=%d\n", "Key", 42), 0);
    EXPECT_EQ(WriteUnitText(unit, std::string("raw\0bytes", 9)), 0);
    EXPECT_EQ(WriteUnitText(unit, ""), 0);
    EXPECT_EQ(CloseUnit(unit), 0);
    EXPECT_EQ(ReadFile("out.txt"), std::string("Key=42\r\nraw\0bytes", 17));

    // Text written through a unit gets CR LF line ends; raw bytes go out as they are.
    int raw = CreateScratchUnit("raw.txt");
    EXPECT_EQ(WriteUnitText(raw, "a\nb\n"), 0);
    EXPECT_EQ(WriteUnitBytes(raw, "c\r\nd\n"), 0);
    EXPECT_EQ(CloseUnit(raw), 0);
    EXPECT_EQ(ReadFile("raw.txt"), "a\r\nb\r\nc\r\nd\n");

    // Unbuffered writes to a full device fail at once; the close itself then succeeds but still
    // reports the failure.
    ASSERT_EQ(CreateUnit("/dev/full", 3), 0);
    std::setvbuf(GetFileUnit(3)->stream.get(), nullptr, _IONBF, 0);
    EXPECT_EQ(UnitPrintf(3, "lost"), 16000 + ENOSPC);
    EXPECT_EQ(UnitPrintf(3, "%s", ""), 16000 + ENOSPC);  // the error stays until the close
    EXPECT_EQ(CloseUnit(3), 16000 + ENOSPC);

    // Buffered writes fail only when the close flushes them.
    ASSERT_EQ(CreateUnit("/dev/full", 3), 0);
    EXPECT_EQ(UnitPrintf(3, "pending"), 0);
    EXPECT_EQ(CloseUnit(3), 16012);
}

TEST_F(FileUnitsTest, UnitsWithoutAFileAreHandledSafely)
{
    EXPECT_EQ(CloseUnit(-1), 0);
    EXPECT_EQ(CloseUnit(kFileUnitCount), 0);
    EXPECT_EQ(UnitPrintf(-1, "nothing"), 0);  // e.g. no numeric output file is open
    EXPECT_NE(UnitPrintf(7, "closed"), 0);
    EXPECT_NE(WriteUnitText(7, "closed"), 0);
    EXPECT_NE(LoadUnitText(7, 0, 0, 10), 0);
}

TEST_F(FileUnitsTest, IndentedLinesAreCentredOnThePage)
{
    int unit = CreateScratchUnit("out.txt");
    EXPECT_EQ(UnitPrintIndented(unit, "%s", "0123456789"), 0);
    CloseUnit(unit);
    EXPECT_EQ(ReadText("out.txt"), std::string(35, ' ') + "0123456789\n");
}

TEST_F(FileUnitsTest, LoadUnitTextLoadsByteRanges)
{
    std::string bytes;
    for (int i = 0; i < 100; ++i) bytes.push_back(static_cast<char>('A' + i % 26));
    WriteFile("data.lib", bytes);
    int unit = OpenScratchUnit("data.lib");

    ASSERT_EQ(LoadUnitText(unit, -1, 10, kLoadToEnd), 0);
    const FileUnit& slot = *GetFileUnit(unit);
    EXPECT_EQ(slot.MemoryText(), bytes.substr(10));
    EXPECT_EQ(slot.textLength, 90);
    EXPECT_EQ(slot.rangeStart, 10);
    EXPECT_EQ(slot.readPosition, 0);
    EXPECT_EQ(slot.lineNumber, 0);
    EXPECT_TRUE(slot.ownsMemoryText);

    ASSERT_EQ(LoadUnitText(unit, 7, 20, 29), 0);
    EXPECT_EQ(slot.MemoryText(), bytes.substr(20, 10));
    EXPECT_EQ(slot.lineNumber, 7);

    // A range reaching past the end holds only the bytes that exist.
    ASSERT_EQ(LoadUnitText(unit, 0, 95, 200), 0);
    EXPECT_EQ(slot.MemoryText(), bytes.substr(95));
    EXPECT_EQ(slot.textLength, 5);

    // An empty range loads nothing and leaves the stream at the start for reading.
    ASSERT_EQ(LoadUnitText(unit, 0, 50, 50), 0);
    EXPECT_EQ(slot.textLength, 0);
    EXPECT_TRUE(slot.MemoryText().empty());
    EXPECT_EQ(std::fgetc(slot.stream.get()), bytes[50]);

    EXPECT_EQ(FileLengthOfStream(slot.stream.get()), 100);
    EXPECT_EQ(std::ftell(slot.stream.get()), 51);  // measuring keeps the position
}

TEST_F(FileUnitsTest, LoadUnitTextFromATextWindowBorrowsItsText)
{
    WindowRecord* window = OpenTextWindow("lib.txt", "line0\nline1\nline2\n");
    ASSERT_EQ(OpenUnit("lib.txt", 0), 0);
    ASSERT_EQ(LoadUnitText(0, -1, 8, kLoadToEnd), 0);
    const FileUnit& slot = *GetFileUnit(0);
    EXPECT_FALSE(slot.ownsMemoryText);
    EXPECT_EQ(slot.MemoryText().data(), window->textArea.data());
    EXPECT_EQ(slot.textLength, 18);
    EXPECT_EQ(slot.readPosition, 8);
    EXPECT_EQ(slot.lineNumber, 1);  // the line that holds position 8
    EXPECT_EQ(CloseUnit(0), 0);
    EXPECT_EQ(window->textArea, "line0\nline1\nline2\n");
}

TEST_F(FileUnitsTest, RawStreamsAndFileTimes)
{
    WriteFile("Data.BIN", "xyz");
    FileStream in = OpenFileRead(PathOf("data.bin"));
    ASSERT_TRUE(in);
    EXPECT_EQ(FileLengthOfStream(in.get()), 3);
    EXPECT_FALSE(OpenFileRead(PathOf("absent.bin")));
    EXPECT_EQ(errno, ENOENT);

    {
        FileStream out = OpenFileCreateRW(PathOf("new.bin"));
        ASSERT_TRUE(out);
        std::fputs("12345", out.get());
    }
    FileStream both = OpenFileReadWrite(PathOf("new.bin"));
    ASSERT_TRUE(both);
    EXPECT_EQ(std::fgetc(both.get()), '1');
    FileStream truncated = OpenFileWrite(PathOf("new.bin"));
    EXPECT_EQ(FileLengthOfStream(truncated.get()), 0);

    EXPECT_GT(FileTimeOf(PathOf("DATA.bin")), 0);
    EXPECT_EQ(FileTimeOf(PathOf("absent.bin")), 0);
}

TEST_F(FileUnitsTest, AFileNameHeldByAnotherWindowIsRefused)
{
    WindowRecord* holder = OpenTextWindow("/work/a.cir", "");
    WindowRecord* saving = NewWindowRecord(nullptr, kWindowTextCircuit, true);
    EXPECT_EQ(CheckFileNameFree(saving, "/work/c.cir"), 0);
    EXPECT_EQ(CheckFileNameFree(holder, "/WORK/A.CIR"), 0);
    EXPECT_EQ(CheckFileNameFree(saving, "/work/A.cir"), 15055);
}

}  // namespace
}  // namespace kq5
