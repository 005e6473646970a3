#pragma once
// A scratch directory per test and small file helpers for the file-unit suites.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/file_units.h"

namespace kq5::test {

class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ResetFileUnitsForTests();
    }

    void TearDown() override
    {
        ResetFileUnitsForTests();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    void WriteFile(const std::string& name, const std::string& bytes) const
    {
        std::filesystem::create_directories((dir_ / name).parent_path());
        std::ofstream out(dir_ / name, std::ios::binary);
        out << bytes;
    }

    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The file as text: the CR LF line ends that units write read as "\n".
    std::string ReadText(const std::string& name) const
    {
        std::string bytes = ReadFile(name), text;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
            text += bytes[i];
        }
        return text;
    }

    // Opens a new unit for writing the named file.
    int CreateScratchUnit(const std::string& name)
    {
        int unit = FindFreeUnit();
        EXPECT_GE(unit, 0);
        EXPECT_EQ(CreateUnit(PathOf(name), unit), 0);
        return unit;
    }

    // Opens a new unit for reading the named file from disk.
    int OpenScratchUnit(const std::string& name)
    {
        int unit = FindFreeUnit();
        EXPECT_GE(unit, 0);
        EXPECT_EQ(OpenUnitDiskFile(PathOf(name), unit), 0);
        return unit;
    }

    std::filesystem::path dir_;
};

// Every further write of the unit goes to a disk that is full (the text it buffered is lost).
inline void RedirectUnitToFullDisk(int unit)
{
    FileUnit* slot = GetFileUnit(unit);
    ASSERT_NE(slot, nullptr);
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr) << "/dev/full is needed to stand for a full disk";
    slot->stream.reset(full);
}

}  // namespace kq5::test
