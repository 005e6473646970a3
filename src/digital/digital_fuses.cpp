// Reading fuse files and DATA attributes of programmable-logic arrays.
#include "digital/digital_fuses.h"

#include <cctype>
#include <cstdlib>

namespace kq5 {

namespace {

constexpr int kMsgRadix = 13234, kMsgIllegalValue = 13235, kMsgNoFuseCount = 13236, kMsgDefaultField = 13237;
constexpr int kMsgMissingAddress = 13238, kMsgOneQf = 13239, kMsgTooManyFuses = 13240, kMsgUndefined = 13241;
constexpr int kMsgNoData = 13242, kMsgIllegalAddress = 13249;
constexpr std::uint8_t kUndefined = 2;

}  // namespace

int FuseCount(int inputs, int outputs, bool complement)
{
    return inputs * outputs * (complement ? 2 : 1);
}

FuseError ReadFuseFile(std::string_view text, int fuseCount, std::vector<std::uint8_t>& fuses)
{
    FuseError error;
    fuses.clear();
    int line = 1;
    int qf = -1;
    int defaultState = -1;  // 1 intact, 0 blown
    bool made = false;
    std::size_t i = 0;
    auto fail = [&](int id) {
        error.id = id;
        error.line = line;
        return error;
    };
    while (i < text.size()) {
        // Skip blanks and line ends between fields.
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
            if (text[i] == '\n') ++line;
            ++i;
        }
        if (i >= text.size()) break;
        const std::size_t end = text.find('*', i);
        const std::string_view field = text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        const int fieldLine = line;
        for (char c : field)
            if (c == '\n') ++line;
        i = end == std::string_view::npos ? text.size() : end + 1;
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(field[0])));
        const int savedLine = line;
        line = fieldLine;
        if (field.size() >= 2 && kind == 'Q' && std::toupper(static_cast<unsigned char>(field[1])) == 'F') {
            if (qf >= 0) return fail(kMsgOneQf);
            qf = std::atoi(std::string(field.substr(2)).c_str());
            // The array must hold exactly the part's fuses.
            if (qf > fuseCount) return fail(kMsgTooManyFuses);
            if (qf < fuseCount) {
                error.number = qf;
                return fail(kMsgUndefined);
            }
        } else if (kind == 'F') {
            std::size_t k = 1;
            while (k < field.size() && std::isspace(static_cast<unsigned char>(field[k]))) ++k;
            if (k >= field.size() || (field[k] != '0' && field[k] != '1')) return fail(kMsgDefaultField);
            if (!made) defaultState = field[k] == '0' ? 1 : 0;
        } else if (kind == 'L' || kind == 'K') {
            if (qf < 0) return fail(kMsgNoFuseCount);
            if (!made) {
                fuses.assign(static_cast<std::size_t>(fuseCount),
                             defaultState < 0 ? kUndefined : static_cast<std::uint8_t>(defaultState));
                made = true;
            }
            std::size_t k = 1;
            while (k < field.size() && std::isspace(static_cast<unsigned char>(field[k]))) ++k;
            std::size_t digits = k;
            if (digits < field.size() && field[digits] == '-') ++digits;
            while (digits < field.size() && std::isdigit(static_cast<unsigned char>(field[digits]))) ++digits;
            if (digits == k || (digits == k + 1 && field[k] == '-')) return fail(kMsgMissingAddress);
            long long address = std::atoll(std::string(field.substr(k, digits - k)).c_str());
            if (address < 0) {
                error.number = static_cast<int>(address);
                return fail(kMsgIllegalAddress);
            }
            for (std::size_t p = digits; p < field.size(); ++p) {
                const char c = field[p];
                if (std::isspace(static_cast<unsigned char>(c))) continue;
                int bits, value;
                if (kind == 'L') {
                    if (c != '0' && c != '1') {
                        error.letter = c;
                        return fail(kMsgIllegalValue);
                    }
                    bits = 1;
                    value = c - '0';
                } else {
                    if (!std::isxdigit(static_cast<unsigned char>(c))) {
                        error.letter = c;
                        return fail(kMsgIllegalValue);
                    }
                    bits = 4;
                    value = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                        : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
                }
                for (int b = bits - 1; b >= 0; --b) {
                    if (address >= fuseCount) return fail(kMsgTooManyFuses);
                    // '0' intact, '1' blown.
                    fuses[static_cast<std::size_t>(address++)] = ((value >> b) & 1) ? 0 : 1;
                }
            }
        }
        line = savedLine;
    }
    if (!made) return fail(kMsgNoData);
    for (std::size_t f = 0; f < fuses.size(); ++f)
        if (fuses[f] == kUndefined) {
            error.number = static_cast<int>(f);
            return fail(kMsgUndefined);
        }
    return error;
}

FuseError ReadFuseData(std::string_view data, int fuseCount, std::vector<std::uint8_t>& fuses)
{
    FuseError error;
    fuses.assign(static_cast<std::size_t>(std::max(fuseCount, 0)), 0);
    std::size_t i = 0;
    while (i < data.size() && std::isspace(static_cast<unsigned char>(data[i]))) ++i;
    const char radix = i < data.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(data[i]))) : 0;
    if (radix != 'B' && radix != 'O' && radix != 'X') {
        error.id = kMsgRadix;
        return error;
    }
    const int width = radix == 'B' ? 1 : radix == 'O' ? 3 : 4;
    const std::size_t open = data.find('$', i);
    const std::size_t close = open == std::string_view::npos ? open : data.find('$', open + 1);
    const std::string_view digits =
        open == std::string_view::npos ? std::string_view() : data.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    std::size_t fuse = 0;
    for (char c : digits) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        int value = -1;
        if (std::isdigit(static_cast<unsigned char>(u))) value = u - '0';
        else if (u >= 'A' && u <= 'F') value = u - 'A' + 10;
        if (value < 0 || value >= (1 << width)) {
            // A character that is no digit of the radix expands to itself: never 0 or 1.
            error.id = kMsgIllegalValue;
            error.letter = c;
            return error;
        }
        for (int b = width - 1; b >= 0; --b) {
            if (fuse >= fuses.size()) {
                error.id = kMsgTooManyFuses;
                return error;
            }
            fuses[fuse++] = static_cast<std::uint8_t>((value >> b) & 1);
        }
    }
    return error;
}

}  // namespace kq5
