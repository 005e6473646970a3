#include "core/message_args.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kq5 {

namespace {

// No message holds more than this; a larger width or precision can only come from a bad format.
constexpr int kMaxFieldWidth = 2000;

struct ConversionSpec {
    std::string flags;
    int width = -1;
    int precision = -1;
    char conversion = 0;
};

// Formats one value with a conversion built here from checked parts, so the C library only ever
// sees a length modifier that matches the value's real type.
template <class T>
void AppendWithSpec(std::string& out, const ConversionSpec& spec, const char* length, char conversion, T value) {
    std::string format = "%" + spec.flags;
    if (spec.width >= 0) format += std::to_string(spec.width);
    if (spec.precision >= 0) format += "." + std::to_string(spec.precision);
    format += length;
    format += conversion;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(nullptr, 0, format.c_str(), value);
    if (n <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n) + 1);
    std::snprintf(out.data() + at, static_cast<std::size_t>(n) + 1, format.c_str(), value);
#pragma GCC diagnostic pop
    out.resize(at + static_cast<std::size_t>(n));
}

bool AsDouble(const MessageArg* arg, double& out) {
    if (!arg) return false;
    if (const auto* d = std::get_if<double>(&arg->value)) {
        out = *d;
        return true;
    }
    if (const auto* i = std::get_if<long long>(&arg->value)) {
        out = static_cast<double>(*i);
        return true;
    }
    if (const auto* u = std::get_if<unsigned long long>(&arg->value)) {
        out = static_cast<double>(*u);
        return true;
    }
    return false;
}

// Integer value of an argument; a floating value is truncated and held within range.
bool AsInteger(const MessageArg* arg, long long& out) {
    if (!arg) return false;
    if (arg->Integer(out)) return true;
    if (const auto* d = std::get_if<double>(&arg->value)) {
        if (std::isnan(*d)) {
            out = 0;
        } else if (*d >= 9.2e18) {
            out = std::numeric_limits<long long>::max();
        } else if (*d <= -9.2e18) {
            out = std::numeric_limits<long long>::min();
        } else {
            out = static_cast<long long>(*d);
        }
        return true;
    }
    return false;
}

void AppendPadded(std::string& out, std::string_view text, const ConversionSpec& spec) {
    if (spec.precision >= 0 && text.size() > static_cast<std::size_t>(spec.precision)) text = text.substr(0, spec.precision);
    const std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    const std::size_t pad = width > text.size() ? width - text.size() : 0;
    const bool left = spec.flags.find('-') != std::string::npos;
    if (!left) out.append(pad, ' ');
    out.append(text);
    if (left) out.append(pad, ' ');
}

}  // namespace

bool MessageArg::Integer(long long& out) const {
    if (const auto* i = std::get_if<long long>(&value)) {
        out = *i;
        return true;
    }
    if (const auto* u = std::get_if<unsigned long long>(&value)) {
        out = static_cast<long long>(*u);
        return true;
    }
    return false;
}

std::string FormatMessageArgs(std::string_view format, std::span<const MessageArg> args) {
    std::string out;
    std::size_t next = 0;
    auto take = [&]() -> const MessageArg* { return next < args.size() ? &args[next++] : nullptr; };

    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t start = i++;
        if (i < format.size() && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        ConversionSpec spec;
        while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) {
            if (spec.flags.find(format[i]) == std::string::npos) spec.flags += format[i];
            ++i;
        }
        auto readNumber = [&](int& field) {
            if (i < format.size() && format[i] == '*') {
                ++i;
                long long v = 0;
                AsInteger(take(), v);
                if (v < 0 && &field == &spec.width) {
                    // A negative width taken from the arguments means left adjustment.
                    if (spec.flags.find('-') == std::string::npos) spec.flags += '-';
                    v = -v;
                }
                field = v < 0 ? -1 : static_cast<int>(std::min<long long>(v, kMaxFieldWidth));
                return;
            }
            long long v = -1;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                v = (v < 0 ? 0 : v) * 10 + (format[i] - '0');
                v = std::min<long long>(v, kMaxFieldWidth);
                ++i;
            }
            field = static_cast<int>(v);
        };
        readNumber(spec.width);
        if (i < format.size() && format[i] == '.') {
            ++i;
            readNumber(spec.precision);
            if (spec.precision < 0) spec.precision = 0;
        }
        // Length modifiers say nothing here: the argument knows its own type.
        while (i < format.size() && std::string_view("hlLqjztI").find(format[i]) != std::string_view::npos) {
            if (format[i] == 'I' && format.substr(i, 3) == "I64") {
                i += 3;
            } else if (format[i] == 'I' && (format.substr(i, 3) == "I32")) {
                i += 3;
            } else {
                ++i;
            }
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        spec.conversion = format[i++];
        switch (spec.conversion) {
            case 'd':
            case 'i': {
                long long v = 0;
                AsInteger(take(), v);
                AppendWithSpec(out, spec, "ll", 'd', v);
                break;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                long long v = 0;
                const MessageArg* arg = take();
                unsigned long long u = 0;
                if (arg) {
                    if (const auto* p = std::get_if<unsigned long long>(&arg->value)) {
                        u = *p;
                    } else if (AsInteger(arg, v)) {
                        // A negative int printed unsigned reads as its 32-bit pattern, as the
                        // program's formats expect of an int.
                        u = (v < 0 && v >= std::numeric_limits<int>::min()) ? static_cast<unsigned int>(v)
                                                                             : static_cast<unsigned long long>(v);
                    }
                }
                AppendWithSpec(out, spec, "ll", spec.conversion, u);
                break;
            }
            case 'c': {
                long long v = 0;
                AsInteger(take(), v);
                AppendPadded(out, std::string(1, static_cast<char>(v)), ConversionSpec{spec.flags, spec.width, -1, 'c'});
                break;
            }
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A': {
                double v = 0.0;
                AsDouble(take(), v);
                AppendWithSpec(out, spec, "", spec.conversion, v);
                break;
            }
            case 's': {
                const MessageArg* arg = take();
                const std::string* text = arg ? arg->Text() : nullptr;
                AppendPadded(out, text ? std::string_view(*text) : std::string_view(), spec);
                break;
            }
            case 'p': {
                const MessageArg* arg = take();
                const void* p = nullptr;
                if (arg) {
                    if (const auto* v = std::get_if<const void*>(&arg->value)) p = *v;
                }
                AppendWithSpec(out, ConversionSpec{"", spec.width, -1, 'p'}, "", 'p', p);
                break;
            }
            case 'n':
                take();
                break;
            default:
                // Not a conversion: shown as written.
                out.append(format.substr(start, i - start));
                break;
        }
    }
    return out;
}

char MessageMarker(std::string_view text) {
    if (text.size() >= 2 && text[0] == '%' && (text[1] == 'E' || text[1] == 'W')) return text[1];
    return 0;
}

std::string FormatMarkedText(std::string_view text, std::span<const MessageArg> args) {
    if (MessageMarker(text)) return std::string(text.substr(0, 2)) + FormatMessageArgs(text.substr(2), args);
    return FormatMessageArgs(text, args);
}

}  // namespace kq5
