#pragma once
// The program's string table: message texts, prompts and labels addressed by id.
// The table is compiled from data/strings.tsv at build time.
#include <cstddef>
#include <optional>
#include <string_view>

namespace kq5 {

struct StringTableEntry {
    int id;
    const char* text;
};

extern const StringTableEntry kStringTableEntries[];  // sorted by id
extern const std::size_t kStringTableSize;

// The raw text of an id exactly as stored (markers "%E"/"%W" included), or nothing.
std::optional<std::string_view> FindStringTableText(int id);

}  // namespace kq5
