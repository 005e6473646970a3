#pragma once
// What the shape and component library tests share: the libraries the build made beside the test
// programs, a scratch directory, and byte surgery on library files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/char_classes.h"
#include "platform/message_box.h"
#include "document/component_library.h"
#include "document/shape_library.h"

namespace kq5::testing {

// The build writes shape.kq5 and comp.kq5 beside the program, which is beside the test programs.
inline std::filesystem::path BuiltLibrary(const char* name)
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

inline std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void PutU16(std::string& bytes, std::size_t at, unsigned v)
{
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

// Loads both built libraries into the program's globals.
inline void LoadBuiltLibraries()
{
    ResetShapeLibraryForTests();
    ResetComponentLibraryForTests();
    Shapes().path = BuiltLibrary("shape.kq5").string();
    ASSERT_EQ(ReadShapeLibrary(Shapes().path, Shapes()), 0);
    ComponentLibrary().path = BuiltLibrary("comp.kq5").string();
    ASSERT_EQ(ReadComponentLibrary(ComponentLibrary().path, ComponentLibrary(), true), 0);
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCharClasses();
        win::ClearMessageBoxLog();
        // Start from empty libraries whatever an earlier test of the process loaded.
        ResetShapeLibraryForTests();
        ResetComponentLibraryForTests();
        std::string pattern = (std::filesystem::temp_directory_path() / "kq5-lib-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        ResetShapeLibraryForTests();
        ResetComponentLibraryForTests();
        win::ClearMessageBoxLog();
        std::error_code error;
        std::filesystem::remove_all(dir_, error);
    }
    std::filesystem::path dir_;
};

}  // namespace kq5::testing
