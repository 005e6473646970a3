// Files written beside the file they replace and put in its place only when complete.
#include "platform/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace win {

namespace {

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsOwnTemporaryName(std::string_view name)
{
    // ".~" + the name of the file replaced + "." + six characters.
    return name.size() > 9 && name.substr(0, 2) == ".~" && name[name.size() - 7] == '.';
}

// Removes the temporaries that a replacing write of an earlier run of the program left in the
// folder when it died: a temporary still being written is held locked by its writer.
void SweepStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsOwnTemporaryName(entry->d_name)) continue;
        const std::string path = folder + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

// A fresh name for a temporary beside the target.
std::string TemporaryNameFor(const std::string& target)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static unsigned long counter = 0;
    unsigned long seed = static_cast<unsigned long>(::getpid()) * 2654435761UL ^
                         static_cast<unsigned long>(std::time(nullptr)) ^ (++counter * 40503UL) ^
                         static_cast<unsigned long>(std::rand());
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kChars[seed % 62];
        seed = seed / 62 + static_cast<unsigned long>(std::rand()) * 7919UL;
    }
    return DirectoryOf(target) + "/.~" + BaseNameOf(target) + "." + suffix;
}

// Gives a file without a name a temporary name beside the target; false with errno set.
bool LinkUnnamedFile(std::FILE* stream, const std::string& target, std::string& temp)
{
    const std::string self = "/proc/self/fd/" + std::to_string(::fileno(stream));
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = TemporaryNameFor(target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno != EEXIST) break;
    }
    temp.clear();
    return false;
}

void SyncDirectoryOf(const std::string& path)
{
    const int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::FILE* CreateReplacingFile(const std::string& target, std::string& tempPath)
{
    tempPath.clear();
    const std::string folder = DirectoryOf(target);
    SweepStaleTemporaries(folder);
    struct stat old;
    mode_t mode;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    // A file without a name is linked in through /proc.
    static const bool linkable = ::access("/proc/self/fd", F_OK) == 0;
    std::string named;
    int fd = linkable ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600) : -1;
    if (fd < 0 && (!linkable || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT)) {
        std::string pattern = folder + "/.~" + BaseNameOf(target) + ".XXXXXX";
        fd = ::mkstemp(pattern.data());
        if (fd >= 0) named = std::move(pattern);
    }
    if (fd < 0) return nullptr;
    ::flock(fd, LOCK_EX);
    ::fchmod(fd, mode);
    std::FILE* stream = ::fdopen(fd, "w+");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        if (!named.empty()) ::unlink(named.c_str());
        errno = error;
        return nullptr;
    }
    tempPath = std::move(named);
    return stream;
}

bool CommitReplacingFile(std::FILE* stream, const std::string& tempPath, const std::string& target)
{
    errno = 0;
    bool ok = std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0;
    std::string temp = tempPath;
    if (ok && temp.empty()) ok = LinkUnnamedFile(stream, target, temp);
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        const int error = errno;
        DiscardReplacingFile(temp);
        errno = error;
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}

void DiscardReplacingFile(const std::string& tempPath)
{
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
}

}  // namespace win
