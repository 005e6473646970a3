#include "core/owned_string.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "core/format.h"

namespace kq5 {

namespace {

// Formats into the field, replacing or appending, without letting an exception skip the
// caller's va_end. The text is made before the field changes, since the arguments may point
// into the field itself; when memory runs out the field is left as it was.
bool VFormatInto(std::string& field, bool append, const char* format, va_list args) noexcept
{
    try {
        std::string text = VStrPrintf(format, args);
        if (append) {
            field += text;
        } else {
            field = std::move(text);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

std::string StrDup(std::string_view text)
{
    return std::string(text);
}

std::string StrNDup(std::string_view text, int n)
{
    std::string_view head = text.substr(0, static_cast<std::size_t>(std::max(n, 0)));
    return std::string(head.substr(0, head.find('\0')));
}

const std::string& SetString(std::string& field, std::string_view text)
{
    // assign copes with a text that lies inside the field and keeps the old text when
    // the copy cannot be made.
    field.assign(text.data(), text.size());
    return field;
}

std::string& GrowString(std::string& field, std::size_t n)
{
    field.reserve(field.size() + n);
    return field;
}

const std::string& AppendString(std::string& field, std::string_view text)
{
    field.append(text.data(), text.size());
    return field;
}

const std::string& AppendCharToString(std::string& field, char c)
{
    field.push_back(c);
    return field;
}

const std::string& FormatString(std::string& field, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool made = VFormatInto(field, false, format, args);
    va_end(args);
    if (!made) throw std::bad_alloc();
    return field;
}

const std::string& AppendFormat(std::string& field, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool made = VFormatInto(field, true, format, args);
    va_end(args);
    if (!made) throw std::bad_alloc();
    return field;
}

std::string FormatBounded(const char* format, ...)
{
    std::string text;
    va_list args;
    va_start(args, format);
    bool made = VFormatInto(text, false, format, args);
    va_end(args);
    if (!made) throw std::bad_alloc();
    return text;
}

std::size_t EstimateFormattedLength(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace kq5
