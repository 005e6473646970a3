#include "ui/recent_names.h"

#include <cstdlib>

#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/key_file.h"

namespace kq5 {

void PushRecentName(std::span<std::string> names, std::string_view name)
{
    if (names.empty()) return;
    std::size_t found = names.size() - 1;  // when absent, the last entry is the one dropped
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (EqualsNoCase(names[i], name)) {
            found = i;
            break;
        }
    }
    for (std::size_t i = found; i > 0; --i) names[i] = std::move(names[i - 1]);
    names[0].assign(name);
}

void FreeStringArray(std::span<std::string> names)
{
    for (std::string& name : names) {
        name.clear();
        name.shrink_to_fit();
    }
}

int ReadWriteRecentList(int unit, std::string& pendingLine, std::string_view prefix, std::span<std::string> names)
{
    const FileUnit* slot = GetFileUnit(unit);
    if (slot != nullptr && slot->mode == kUnitWriting) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i].empty()) continue;
            std::string key(prefix);
            key += std::to_string(i + 1);
            if (int status = WriteKeyString(unit, key, names[i])) return status;
        }
        return 0;
    }
    std::string line;
    for (;;) {
        if (int status = ReadKeyLine(unit, line)) return status;
        if (line.empty() || line.front() == '[') break;
        std::string key;
        std::string value;
        SplitKeyLine(line, key, value);
        if (key.size() <= prefix.size() || !EqualsNoCase(std::string_view(key).substr(0, prefix.size()), prefix))
            continue;
        const std::string digits = key.substr(prefix.size());
        char* end = nullptr;
        const long number = std::strtol(digits.c_str(), &end, 10);
        if (end == digits.c_str() || number < 1 || number > static_cast<long>(names.size())) continue;
        names[static_cast<std::size_t>(number - 1)] = value;
    }
    pendingLine = line;
    return 0;
}

}  // namespace kq5
