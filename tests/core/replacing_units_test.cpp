// Units that replace a file: what was there stays whole until everything new is on the disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_units.h"
#include "file_test_support.h"

namespace kq5 {
namespace {

class ReplacingUnits : public test::ScratchDirTest {
protected:
    int Open(const std::string& name)
    {
        const int unit = FindFreeUnit();
        EXPECT_GE(unit, 0);
        EXPECT_EQ(CreateReplacingUnit(PathOf(name), unit), 0);
        return unit;
    }

    // Names in the folder other than the given ones: temporary files left behind.
    std::vector<std::string> Strays(std::initializer_list<std::string> known) const
    {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (std::find(known.begin(), known.end(), name) == known.end()) out.push_back(name);
        }
        return out;
    }
};

TEST_F(ReplacingUnits, TheNewFileTakesThePlaceOnlyAtTheClose)
{
    WriteFile("out.TNO", "old results\n");
    const int unit = Open("out.TNO");
    UnitPrintf(unit, "new %d\n", 1);
    FlushUnit(unit);
    // A program killed now leaves the old file as it was, and no other file.
    EXPECT_EQ(ReadFile("out.TNO"), "old results\n");
    EXPECT_TRUE(Strays({"out.TNO"}).empty());
    EXPECT_EQ(CloseUnit(unit), 0);
    EXPECT_EQ(ReadFile("out.TNO"), "new 1\r\n");
    EXPECT_TRUE(Strays({"out.TNO"}).empty());
}

TEST_F(ReplacingUnits, AFullDiskKeepsTheOldFileAndFailsTheClose)
{
    const std::string old(10000, 'x');
    WriteFile("out.TNO", old);
    const int unit = Open("out.TNO");
    test::RedirectUnitToFullDisk(unit);
    // Less than a buffer: the failure shows only when the text goes to the disk at the close.
    UnitPrintf(unit, "a short table\n");
    EXPECT_NE(CloseUnit(unit), 0);
    EXPECT_EQ(ReadFile("out.TNO"), old);
    EXPECT_TRUE(Strays({"out.TNO"}).empty());

    const int second = Open("out.TNO");
    test::RedirectUnitToFullDisk(second);
    for (int i = 0; i < 2000; ++i) UnitPrintf(second, "row %d of a long table\n", i);
    EXPECT_NE(FlushUnit(second), 0);
    EXPECT_NE(CloseUnit(second), 0);
    EXPECT_EQ(ReadFile("out.TNO"), old);
    EXPECT_TRUE(Strays({"out.TNO"}).empty());
}

TEST_F(ReplacingUnits, AnAbandonedUnitLeavesNothingNew)
{
    const int unit = Open("fresh.DOC");
    UnitPrintf(unit, "partial\n");
    AbandonUnit(unit);
    EXPECT_FALSE(std::filesystem::exists(PathOf("fresh.DOC")));
    EXPECT_TRUE(Strays({}).empty());
}

TEST_F(ReplacingUnits, APlaceThatCannotTakeTheFileFailsAndLeavesNoTemporaryFile)
{
    // A folder where the file should go: the rename fails whoever runs the test.
    std::filesystem::create_directory(PathOf("out.TNO"));
    const int unit = Open("out.TNO");
    UnitPrintf(unit, "rows\n");
    EXPECT_NE(CloseUnit(unit), 0);
    EXPECT_TRUE(std::filesystem::is_directory(PathOf("out.TNO")));
    EXPECT_TRUE(Strays({"out.TNO"}).empty());
}

TEST_F(ReplacingUnits, ALinkStaysALinkAndItsFileChanges)
{
    WriteFile("real.DOC", "old");
    std::filesystem::create_symlink(PathOf("real.DOC"), PathOf("link.DOC"));
    const int unit = Open("link.DOC");
    WriteUnitBytes(unit, "new");
    ASSERT_EQ(CloseUnit(unit), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf("link.DOC")));
    EXPECT_EQ(ReadFile("real.DOC"), "new");
}

TEST_F(ReplacingUnits, TheTemporariesOfADeadProgramGoAtTheNextWriteInTheFolder)
{
    WriteFile(".~out.TNO.a1B2c3", "left by a program killed while it wrote");
    WriteFile(".~jobs.DOC.x9Y8z7", "held by a program still writing");
    const int held = ::open(PathOf(".~jobs.DOC.x9Y8z7").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    WriteFile("notes.~txt", "the user's own");
    const int unit = Open("out.TNO");
    EXPECT_EQ(CloseUnit(unit), 0);
    EXPECT_FALSE(std::filesystem::exists(PathOf(".~out.TNO.a1B2c3")));
    EXPECT_TRUE(std::filesystem::exists(PathOf(".~jobs.DOC.x9Y8z7")));
    EXPECT_TRUE(std::filesystem::exists(PathOf("notes.~txt")));
    ::close(held);
}

}  // namespace
}  // namespace kq5
