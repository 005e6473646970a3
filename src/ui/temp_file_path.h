#pragma once
// Where the program puts its temporary files.
#include <string>
#include <string_view>

namespace kq5 {

// The path of a temporary file: in the first directory of $TMP, else the program directory.
std::string MakeTempFilePath(std::string_view name);

}  // namespace kq5
