#include "platform/string_table.h"

#include <algorithm>

namespace kq5 {

std::optional<std::string_view> FindStringTableText(int id)
{
    const StringTableEntry* begin = kStringTableEntries;
    const StringTableEntry* end = kStringTableEntries + kStringTableSize;
    auto it = std::lower_bound(begin, end, id,
                               [](const StringTableEntry& e, int key) { return e.id < key; });
    if (it == end || it->id != id) return std::nullopt;
    return std::string_view(it->text);
}

}  // namespace kq5
