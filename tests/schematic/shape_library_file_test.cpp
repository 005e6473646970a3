// The shape library file: the built library reads and writes back unchanged, the reader's index
// rules, the changed-on-disk question, and damaged files of every kind giving a message instead
// of a crash, a hang or a huge allocation.
#include <random>

#include "core/file_units.h"
#include "core/message_reporter.h"
#include "platform/gdi_dc.h"
#include "platform/bitmap.h"
#include "platform/gdi_objects.h"
#include "document/binary_io.h"
#include "document/shape_data.h"
#include "schematic/shape_draw.h"
#include "shape_test_support.h"

namespace kq5::testing {
namespace {

struct RecordSpec {
    int index;
    std::string name;
    std::string data;  // the data block
};

std::string ShapeFile(int version, int tableWord, const std::vector<RecordSpec>& records)
{
    ByteWriter out;
    out.U16(static_cast<std::uint16_t>(version));
    out.U16(static_cast<std::uint16_t>(records.size()));
    out.U16(static_cast<std::uint16_t>(tableWord));
    for (const RecordSpec& r : records) {
        out.I16(static_cast<std::int16_t>(r.index));
        std::string name = r.name;
        name.resize(16, '\0');
        out.Bytes(name);
        for (int i = 0; i < 4; ++i) out.I32(i < 2 ? 0 : 10);
        out.U32(static_cast<std::uint32_t>(r.data.size()));
        out.Bytes(r.data);
    }
    return out.Take();
}

// A data block of one reference to a shape index.
std::string ReferenceBlock(int target)
{
    ByteWriter out;
    out.I16(1);
    out.I16(static_cast<std::int16_t>(target));
    out.U16(0);
    out.U32(12);
    out.I32(0);
    out.I32(0);
    out.U32(0);
    return out.Take();
}

std::string LineBlock()
{
    ByteWriter out;
    out.I16(1);
    out.I16(kPrimLine);
    out.U16(0);
    out.U32(16);
    for (int v : {0, 0, 10, 10}) out.I32(v);
    return out.Take();
}

// Draws every shape of the library into a small bitmap: damaged data that the reader let through
// must still draw without faults.
void DrawEveryShape()
{
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(dc, 64, 64);
    win::HGDIOBJ old = win::SelectObject(dc, bitmap);
    for (std::size_t i = 0; i < Shapes().table.size(); ++i) DrawShapeByIndex(dc, static_cast<int>(i), 16, 16, static_cast<int>(i) & 7, 0x920);
    win::SelectObject(dc, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(dc);
}

using ShapeLibraryFile = LibraryTest;

TEST_F(ShapeLibraryFile, TheBuiltLibraryReadsAndWritesBackByteForByte)
{
    const std::string original = ReadBytes(BuiltLibrary("shape.kq5"));
    ASSERT_GT(original.size(), 100u);
    const std::filesystem::path copy = dir_ / "shape.kq5";
    WriteBytes(copy, original);
    ShapeLibrary& library = Shapes();
    library.path = copy.string();
    ASSERT_EQ(ReadShapeLibrary(library.path, library), 0);
    EXPECT_NE(FindShapeByName("resistor"), nullptr);
    ASSERT_EQ(WriteShapeLibrary(library), 0);
    EXPECT_EQ(ReadBytes(copy), original);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(ShapeLibraryFile, IndexTableSizeAndRepeatedIndexes)
{
    // Version 7 stores the largest index: 4 gives a table of 5 slots.
    ShapeLibrary library;
    ASSERT_EQ(ParseShapeLibrary(ShapeFile(7, 4, {{4, "A", ""}}), library), 0);
    EXPECT_EQ(library.table.size(), 5u);

    // N = 5, T = 6, slots 0..2 taken: a second index 3 may take only a slot below 3 or above 5.
    ASSERT_EQ(ParseShapeLibrary(ShapeFile(8, 6, {{0, "A", ""}, {1, "B", ""}, {2, "C", ""}, {3, "D", ""}, {3, "E", ""}}), library), 0);
    EXPECT_EQ(library.records.size(), 5u);
    EXPECT_EQ(library.records[4]->index, 3);
    EXPECT_EQ(library.table[3]->name, "E");
    // With slot 1 free it takes index 1.
    ASSERT_EQ(ParseShapeLibrary(ShapeFile(8, 6, {{0, "A", ""}, {2, "C", ""}, {3, "D", ""}, {3, "E", ""}, {5, "F", ""}}), library), 0);
    EXPECT_EQ(library.records[3]->index, 1);
    EXPECT_EQ(library.table[1]->name, "E");
}

TEST_F(ShapeLibraryFile, AShapeWithoutDataAndTheWrittenHeader)
{
    const std::filesystem::path path = dir_ / "shape.kq5";
    WriteBytes(path, ShapeFile(7, 2, {{2, "EMPTY", ""}, {1, "LINE", LineBlock()}}));
    ShapeLibrary library;
    library.path = path.string();
    ASSERT_EQ(ReadShapeLibrary(library.path, library), 0);
    EXPECT_TRUE(library.table[2]->data.empty());
    ASSERT_EQ(WriteShapeLibrary(library), 0);
    const std::string written = ReadBytes(path);
    // Always version 8 with T the largest index plus one, whatever was read.
    EXPECT_EQ(GetU16At(written, 0), 8);
    EXPECT_EQ(GetU16At(written, 4), 3);
    EXPECT_EQ(GetI32At(written, 6 + 34), 0);  // L of the first record
    ASSERT_EQ(ReadShapeLibrary(library.path, library), 0);
    EXPECT_TRUE(library.table[2]->data.empty());
}

TEST_F(ShapeLibraryFile, AFileChangedOnDiskIsOverwrittenOnlyWhenTheUserSaysYes)
{
    const std::filesystem::path path = dir_ / "shape.kq5";
    WriteBytes(path, ShapeFile(8, 2, {{1, "LINE", LineBlock()}}));
    ShapeLibrary library;
    library.path = path.string();
    ASSERT_EQ(ReadShapeLibrary(library.path, library), 0);
    const std::time_t readStamp = library.fileTime;
    const std::string other = ShapeFile(8, 2, {{1, "OTHER", LineBlock()}});
    WriteBytes(path, other);
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));

    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_EQ(WriteShapeLibrary(library), 0);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("has been changed"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), other);
    EXPECT_EQ(library.fileTime, readStamp);  // the next save asks again

    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(WriteShapeLibrary(library), 0);
    EXPECT_EQ(win::MessageBoxLog().size(), 2u);
    EXPECT_NE(ReadBytes(path).find("LINE"), std::string::npos);
    EXPECT_EQ(library.fileTime, FileTimeOf(library.path));
}

TEST_F(ShapeLibraryFile, AWriteThatFailsIsReportedAndLeavesNoFile)
{
    ShapeLibrary library;
    library.path = (dir_ / "missing" / "shape.kq5").string();
    library.fileTime = FileTimeOf(library.path);
    ASSERT_TRUE(AddShapeRecord(library, "A", 1));
    EXPECT_EQ(WriteShapeLibrary(library), kMsgAlreadyReported);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].caption.find(std::to_string(16000 + ENOENT)), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(library.path));
}

TEST_F(ShapeLibraryFile, DamagedFilesGiveAMessage)
{
    ShapeLibrary library;
    // Unknown version.
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(9, 2, {{1, "A", ""}}), library), kMsgCantReadShapeVersion);
    EXPECT_EQ(ParseShapeLibrary(std::string("\x08", 1), library), kMsgCantReadShapeVersion);
    // Counts that the file cannot hold: no table, no records are made for them.
    std::string file = ShapeFile(8, 2, {{1, "A", LineBlock()}});
    PutU16(file, 2, 0xFFFF);
    EXPECT_EQ(ParseShapeLibrary(file, library), kMsgBadFormatInFile);
    file = ShapeFile(8, 2, {{1, "A", LineBlock()}});
    PutU16(file, 4, 0x8000);  // a negative table size
    EXPECT_EQ(ParseShapeLibrary(file, library), kMsgBadFormatInFile);
    // An index outside the table, a negative index, a name without its NUL.
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{2, "A", ""}}), library), kMsgBadFormatInFile);
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{-1, "A", ""}}), library), kMsgBadFormatInFile);
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{1, "ABCDEFGHIJKLMNOP", ""}}), library), kMsgBadFormatInFile);
    // A data length beyond the file.
    file = ShapeFile(8, 2, {{1, "A", LineBlock()}});
    file[6 + 34] = 0x7F;
    EXPECT_EQ(ParseShapeLibrary(file, library), kMsgBadFormatInFile);
    // A primitive whose payload does not fit its kind, a primitive count beyond the block.
    std::string block = LineBlock();
    block[4] = 12;
    block.resize(block.size() - 4);
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{1, "A", block}}), library), kMsgBadFormatInFile);
    block = LineBlock();
    block[0] = 2;
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{1, "A", block}}), library), kMsgBadFormatInFile);
    // References in a cycle, a shape referring to itself, a reference outside the table.
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 3, {{1, "A", ReferenceBlock(2)}, {2, "B", ReferenceBlock(1)}}), library),
              kMsgBadFormatInFile);
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{1, "A", ReferenceBlock(1)}}), library), kMsgBadFormatInFile);
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 2, {{1, "A", ReferenceBlock(5)}}), library), kMsgBadFormatInFile);
    EXPECT_TRUE(library.records.empty());
    // A reference to an empty slot is no damage: it is skipped when drawn.
    EXPECT_EQ(ParseShapeLibrary(ShapeFile(8, 4, {{1, "A", ReferenceBlock(3)}}), library), 0);
}

TEST_F(ShapeLibraryFile, StartUpReportsAMissingOrDamagedLibraryWithItsPath)
{
    ResetShapeLibraryForTests();
    const std::filesystem::path path = dir_ / "shape.kq5";
    EXPECT_EQ(ReadShapeLibrary(path.string(), Shapes()), 16000 + ENOENT);
    WriteBytes(path, "\x09\x00\x01\x00");
    EXPECT_EQ(LoadShapeLibrary(path.string(), Shapes()), kMsgAlreadyReported);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find(path.string()), std::string::npos);
}

TEST_F(ShapeLibraryFile, CutAndMutatedCopiesOfTheBuiltLibraryNeverFault)
{
    const std::string original = ReadBytes(BuiltLibrary("shape.kq5"));
    ASSERT_FALSE(original.empty());
    ShapeLibrary& library = Shapes();
    // Every cut short of the whole file is damage.
    for (std::size_t length = 0; length < original.size(); length += (length < 200 ? 1 : 37))
        EXPECT_NE(ParseShapeLibrary(original.substr(0, length), library), 0) << length;
    // Flipped bytes: whatever the reader accepts reads back and draws.
    std::mt19937 random(15);
    int accepted = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string damaged = original;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
        const int status = ParseShapeLibrary(damaged, library);
        ASSERT_TRUE(status == 0 || status == kMsgCantReadShapeVersion || status == kMsgBadFormatInFile) << status;
        if (status != 0) continue;
        ++accepted;
        ShapeLibrary again;
        EXPECT_EQ(ParseShapeLibrary(SerializeShapeLibrary(library), again), 0);
        DrawEveryShape();
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace kq5::testing
