#pragma once
// File names on Linux. The program's names come from circuits, libraries, settings and command
// lines written for a file system that ignores case and separates with '\'. Here real paths keep
// their case, both '\' and '/' separate, and a name that is not found as written is looked up
// case-blind, component by component, in its directory.
#include <cstdio>
#include <string>
#include <string_view>

namespace kq5 {

// The name with every '\' turned into '/'; case is kept.
std::string ToNativeSeparators(std::string_view name);

// The real path of a name, as the file system spells it (UTF-8, see win::DiskFileName): the
// name as written when it exists; otherwise each component that is
// not found as written is replaced by the entry of its directory that matches it case-blind (the
// first in byte order when several do). A component that matches nothing is kept as written, and so
// is everything after it, so a file about to be created lands beside its real siblings.
std::string ResolveFilePath(std::string_view name);

// Opens the resolved path with fopen; null with errno set when that fails.
std::FILE* OpenResolvedFile(std::string_view name, const char* mode);

// ASCII case-blind comparison of two file names, '\' and '/' counting as the same character.
bool FileNamesEqual(std::string_view a, std::string_view b);

}  // namespace kq5
