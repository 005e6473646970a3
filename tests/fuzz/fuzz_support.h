#pragma once
// Shared set-up of the fuzz targets: the headless platform (message boxes take their default
// button and are logged, never shown), a scratch folder for the files an input becomes, and one
// reset of the program state between inputs so that no input sees what the one before left.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5::fuzz {

// Once per process, from LLVMFuzzerInitialize (defined with this, for every target): platform,
// character classes, scratch folder (also $KQ5DATA, holding a small default model library).
void InitFuzzWorld();

// Everything an input may have changed, back to the start.
void ResetFuzzWorld();

// The scratch folder, with a trailing '/'.
const std::string& ScratchDir();

// Writes the bytes to a file of the scratch folder; its full path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace kq5::fuzz
