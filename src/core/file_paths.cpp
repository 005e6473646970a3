#include "core/file_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "platform/disk_file_names.h"

namespace kq5 {

namespace {

char FoldFileNameChar(char c)
{
    if (c == '\\') return '/';
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string JoinPath(const std::string& directory, std::string_view component)
{
    if (directory.empty()) return std::string(component);
    std::string out = directory;
    if (out.back() != '/') out += '/';
    out += component;
    return out;
}

// The entry of the directory whose name equals the component case-blind; empty when none.
std::string FindEntryCaseBlind(const std::string& directory, std::string_view component)
{
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) return std::string();
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (FileNamesEqual(name, component)) matches.emplace_back(name);
    }
    ::closedir(dir);
    if (matches.empty()) return std::string();
    return *std::min_element(matches.begin(), matches.end());
}

}  // namespace

std::string ToNativeSeparators(std::string_view name)
{
    std::string out(name);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string ResolveFilePath(std::string_view name)
{
    std::string path = ToNativeSeparators(win::ExistingDiskFileName(ToNativeSeparators(name)));
    if (path.empty() || PathExists(path)) return path;

    std::string resolved = path.front() == '/' ? "/" : "";
    bool lost = false;  // once a component matches nothing, the rest cannot exist either
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        std::string_view component(path.data() + pos, slash - pos);
        pos = slash + 1;
        if (component.empty()) continue;
        std::string candidate = JoinPath(resolved, component);
        if (lost || component == "." || component == ".." || PathExists(candidate)) {
            resolved = std::move(candidate);
            continue;
        }
        std::string match = FindEntryCaseBlind(resolved, component);
        if (match.empty()) {
            lost = true;
            resolved = std::move(candidate);
        } else {
            resolved = JoinPath(resolved, match);
        }
    }
    return resolved;
}

std::FILE* OpenResolvedFile(std::string_view name, const char* mode)
{
    return std::fopen(ResolveFilePath(name).c_str(), mode);
}

bool FileNamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return FoldFileNameChar(x) == FoldFileNameChar(y); });
}

}  // namespace kq5
