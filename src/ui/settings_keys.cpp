#include "ui/settings_keys.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <strings.h>

namespace kq5 {

bool SettingsKeyIs(const std::string& key, const char* name) { return strcasecmp(key.c_str(), name) == 0; }

bool SettingsKeyStartsWith(const std::string& key, const char* prefix)
{
    const std::size_t n = std::char_traits<char>::length(prefix);
    return key.size() >= n && strncasecmp(key.c_str(), prefix, n) == 0;
}

bool SettingsYes(const std::string& value)
{
    if (SettingsKeyIs(value, "Yes")) return true;
    return SettingsNumber(value, 0) != 0;
}

long long SettingsNumber(const std::string& value, long long fallback)
{
    const char* begin = value.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE) return fallback;
    return v;
}

}  // namespace kq5
