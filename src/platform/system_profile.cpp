// Reading INI-style profile files, and finding files case-blind.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "platform/disk_file_names.h"
#include "platform/system.h"

namespace win {

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string MatchInDirectory(const std::string& dir, const std::string& name) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

std::string Trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string ProgramDirectory() {
    std::string exe = GetModuleFileName(nullptr);
    auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

}  // namespace

std::string FindFileCaseBlind(const std::string& written) {
    std::string path = ExistingDiskFileName(written);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (Exists(path)) return path;
    // Walk the path one level at a time, matching each part case-blind.
    bool absolute = !path.empty() && path[0] == '/';
    std::string built = absolute ? "/" : "";
    std::size_t pos = absolute ? 1 : 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        std::string part = path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        if (!part.empty()) {
            std::string candidate = built + part;
            if (!Exists(candidate)) {
                std::string match = MatchInDirectory(built.empty() ? "." : built, part);
                if (match.empty()) return {};
                candidate = built + match;
            }
            built = candidate;
            if (next != std::string::npos) built += '/';
        }
        if (next == std::string::npos) break;
        pos = next + 1;
    }
    return Exists(built) ? built : std::string();
}

std::string GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    const char* fileName) {
    std::string fallback = defaultValue ? defaultValue : "";
    if (!fileName || !*fileName) return fallback;
    std::string name = fileName;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.find('/') == std::string::npos) name = ProgramDirectory() + "/" + name;
    std::string path = FindFileCaseBlind(name);
    if (path.empty()) return fallback;
    std::ifstream in(path, std::ios::binary);
    if (!in) return fallback;
    std::string line;
    bool inSection = false;
    std::string listing;  // section names or key names when asked for all of them
    bool anySection = false;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            auto close = t.find(']');
            std::string name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (!section) {
                listing += name;
                listing += '\0';
                anySection = true;
            }
            inSection = section && strcasecmp(name.c_str(), section) == 0;
            continue;
        }
        if (!inSection) continue;
        auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string k = Trim(t.substr(0, eq));
        if (!key) {
            listing += k;
            listing += '\0';
            anySection = true;
            continue;
        }
        if (strcasecmp(k.c_str(), key) == 0) {
            std::string v = Trim(t.substr(eq + 1));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    if ((!section || !key) && anySection) return listing;
    return fallback;
}

UINT GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* fileName) {
    std::string v = GetPrivateProfileString(section, key, nullptr, fileName);
    if (v.empty()) return static_cast<UINT>(defaultValue);
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    if (end == v.c_str()) return static_cast<UINT>(defaultValue);
    return static_cast<UINT>(n);
}

}  // namespace win
