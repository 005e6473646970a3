// MulDiv and the 8-bit code pages the program's texts use.
#include "platform/win_types.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace win {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long product = static_cast<long long>(a) * b;
    long long quotient = product / c;
    long long remainder = product % c;
    // Round half away from zero.
    if (2 * std::llabs(remainder) >= std::llabs(static_cast<long long>(c))) quotient += ((product < 0) == (c < 0)) ? 1 : -1;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min()) return -1;
    return static_cast<int>(quotient);
}

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the C1 controls of the same value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// 0x80..0xFF of code page 437 (the "Terminal" face: line-drawing glyphs, Greek, symbols).
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        char32_t c = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b;
        AppendUtf8(out, c);
    }
    return out;
}

std::string Cp437ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        AppendUtf8(out, b >= 0x80 ? kCp437High[b - 0x80] : b);
    }
    return out;
}

int UnicodeToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == c) return static_cast<int>(0x80 + i);
    return -1;
}

std::size_t DecodeUtf8Char(std::string_view text, std::size_t i, char32_t& c) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        c = b;
        return 1;
    }
    std::size_t extra = 0;
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
        return 0;  // a stray continuation byte or an invalid lead byte
    }
    if (i + extra >= text.size()) return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
        return 0;
    return extra + 1;
}

std::string Utf8ToCp1252(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8Char(text, i, c);
        if (length == 0) {
            ++i;  // malformed bytes are skipped
            continue;
        }
        i += length;
        int mapped = UnicodeToCp1252(c);
        out += mapped < 0 ? '?' : static_cast<char>(mapped);
    }
    return out;
}

}  // namespace win
