#pragma once
// printf-style formatting into std::string, sized by measuring first so nothing is ever cut.
#include <cstdarg>
#include <string>

namespace kq5 {

std::string VStrPrintf(const char* format, va_list args);
std::string StrPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kq5
