#include "platform/disk_file_names.h"

#include <sys/stat.h>

#include "platform/win_types.h"

namespace win {

namespace {

// Whether the text is well-formed UTF-8; with `wide`, whether it has a character beyond ASCII.
bool IsUtf8(std::string_view text, bool* wide = nullptr) {
    bool beyond = false;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8Char(text, i, c);
        if (length == 0) return false;
        beyond = beyond || c >= 0x80;
        i += length;
    }
    if (wide) *wide = beyond;
    return true;
}

}  // namespace

std::string DiskFileName(std::string_view name) {
    return IsUtf8(name) ? std::string(name) : Cp1252ToUtf8(name);
}

std::string FileNameFromDisk(std::string_view name) {
    bool wide = false;
    if (!IsUtf8(name, &wide) || !wide) return std::string(name);
    const std::string text = Utf8ToCp1252(name);
    // Kept as it is when a character has no Windows-1252 form: '?' would name another file.
    return Cp1252ToUtf8(text) == name ? text : std::string(name);
}

std::string ExistingDiskFileName(std::string_view name) {
    std::string disk = DiskFileName(name);
    if (disk.size() == name.size()) return disk;
    struct stat st;
    const std::string raw(name);
    if (::stat(disk.c_str(), &st) != 0 && ::stat(raw.c_str(), &st) == 0) return raw;
    return disk;
}

}  // namespace win
