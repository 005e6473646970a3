#include "platform/disk_file_names.h"

#include <sys/stat.h>

#include "platform/win_types.h"

namespace win {

namespace {

// Whether the text is well-formed UTF-8 (shortest forms, no surrogates); with `wide`, whether it
// has a character beyond ASCII.
bool IsUtf8(std::string_view text, bool* wide = nullptr) {
    bool beyond = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        beyond = true;
        int extra = 0;
        char32_t c = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            c = b & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
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
