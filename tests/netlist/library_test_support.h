#pragma once
// Model library suites: a text circuit window with a scratch directory (spice_test_support.h),
// the library state reset around each test, and byte helpers for the binary files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ui/program_settings.h"
#include "document/save_file_dialog.h"
#include "ui/user_names.h"
#include "netlist/binary_library.h"
#include "netlist/library_bytes.h"
#include "netlist/model_library_lookup.h"
#include "shown_message_ids.h"
#include "spice_test_support.h"

namespace kq5::testing {

class LibraryTest : public SpiceTest {
protected:
    void SetUp() override
    {
        SpiceTest::SetUp();
        ResetLibraryStateForTests();
        ResetSaveFileDialogForTests();
        ResetUserAndCompanyNamesForTests();
        savedWorkingDirectory_ = Settings().workingDirectory;
        Settings().workingDirectory = dir_.string() + "/";
    }
    void TearDown() override
    {
        Settings().workingDirectory = savedWorkingDirectory_;
        ResetLibraryStateForTests();
        ResetSaveFileDialogForTests();
        SpiceTest::TearDown();
    }

    std::string ReadBytes(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The file with its CR LF line ends read as "\n".
    std::string ReadText(const std::string& name) const
    {
        std::string text = ReadBytes(name);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    // Sets a file's modification time to now plus the given seconds.
    void SetAge(const std::string& name, int secondsFromNow) const
    {
        std::filesystem::last_write_time(dir_ / name, std::filesystem::file_time_type::clock::now() +
                                                          std::chrono::seconds(secondsFromNow));
    }

    std::vector<int> ShownIds() const { return ShownMessageIds(); }

    std::string savedWorkingDirectory_;
};

// Byte builders of the binary library formats.
inline std::string LibraryHeader(int version, int count)
{
    std::string bytes;
    AppendLe16(bytes, static_cast<std::uint16_t>(version));
    AppendLe16(bytes, static_cast<std::uint16_t>(count));
    AppendLe16(bytes, 0);
    return bytes;
}

inline std::string LibraryRecord5(const std::string& name, int type, const std::string& memo,
                                  const std::vector<float>& params, int blockSize = -1)
{
    std::string bytes;
    AppendLe16(bytes, static_cast<std::uint16_t>(blockSize < 0 ? 4 * params.size() : blockSize));
    AppendFixedText(bytes, name, kLibraryNameField);
    AppendLe16(bytes, static_cast<std::uint16_t>(type));
    AppendFixedText(bytes, memo, kLibraryMemoField);
    for (float value : params) AppendFloat32(bytes, value);
    return bytes;
}

inline std::string LibraryRecord4(const std::string& name, int type, const std::string& memo,
                                  const std::vector<float>& params)
{
    std::string bytes;
    AppendLe16(bytes, static_cast<std::uint16_t>(4 * params.size()));
    std::string field = name.substr(0, kLibraryOldNameField);
    field.resize(kLibraryOldNameField, '\0');
    bytes += field;
    AppendLe16(bytes, static_cast<std::uint16_t>(type));
    AppendFixedText(bytes, memo, kLibraryMemoField);
    for (float value : params) AppendFloat32(bytes, value);
    return bytes;
}

}  // namespace kq5::testing
