#include "core/format.h"

#include <cstdio>

namespace kq5 {

std::string VStrPrintf(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int n = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string StrPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string s = VStrPrintf(format, args);
    va_end(args);
    return s;
}

}  // namespace kq5
