#pragma once
// A circuit written into a test's directory, beside an empty model library, and loaded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "document/circuit_file.h"

namespace kq5::testing {

inline WindowRecord* WriteAndLoadCircuit(const std::filesystem::path& dir, const std::string& name, const char* text,
                                         int kind, LoadOptions options)
{
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << text;
    std::ofstream(dir / "NOM.LIB") << "* no models\n";
    WindowRecord* circuit = nullptr;
    EXPECT_EQ(LoadCircuitFile(nullptr, path, kind, options, circuit), 0);
    return circuit;
}

}  // namespace kq5::testing
