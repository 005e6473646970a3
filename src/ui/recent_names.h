#pragma once
// Most-recently-used name lists (recent files, recent components): an array of names, the most
// recent first, kept in a settings section under numbered keys.
#include <span>
#include <string>
#include <string_view>

namespace kq5 {

// Makes the name the first entry: an entry equal to it without regard to case moves to the front
// (taking the pushed spelling); otherwise the last entry drops out.
void PushRecentName(std::span<std::string> names, std::string_view name);
void FreeStringArray(std::span<std::string> names);

// Writing: "%s%d" keys (prefix and entry number from 1) for the non-empty entries. Reading: the
// section's key lines up to the next header (left in pendingLine; empty at the end of the file);
// a key made of the prefix (any case) and a number from 1 to the array size sets that entry.
// 0 or the unit's error.
int ReadWriteRecentList(int unit, std::string& pendingLine, std::string_view prefix, std::span<std::string> names);

}  // namespace kq5
