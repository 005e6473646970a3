#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <sys/time.h>

#include <cstddef>
#include <cstring>
#include <functional>

namespace kq5 {

namespace {

constexpr const char* kLockFileName = "/kq5.lock";
constexpr char kRaiseRequest[] = "raise\n";

struct InstanceState {
    int lockFile = -1;
    int listener = -1;
};

InstanceState& State()
{
    static InstanceState state;
    return state;
}

// An abstract socket address (no file to leave behind) named after the data directory.
socklen_t SocketAddress(const std::string& dataPath, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string name = "kq5-instance-" + std::to_string(std::hash<std::string>{}(dataPath)) + "-" +
                             std::to_string(static_cast<unsigned long>(getuid()));
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

bool WriteAll(int socket, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(socket, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The request: the raise line, then each file's name ended by a zero byte (a name may hold any
// other character).
bool AskFirstToRaise(const std::string& dataPath, const std::vector<std::string>& files)
{
    sockaddr_un address{};
    const socklen_t length = SocketAddress(dataPath, address);
    const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client < 0) return false;
    bool sent = false;
    if (connect(client, reinterpret_cast<sockaddr*>(&address), length) == 0) {
        std::string request = kRaiseRequest;
        for (const std::string& file : files) request.append(file).push_back('\0');
        sent = WriteAll(client, request);
    }
    close(client);
    return sent;
}

// The whole request of one later start. It writes it at once and closes, so the wait is short;
// one that stalls is given up after a moment rather than freezing the frame.
std::vector<std::string> ReadRequestFiles(int peer)
{
    const int flags = fcntl(peer, F_GETFL);
    if (flags >= 0) fcntl(peer, F_SETFL, flags & ~O_NONBLOCK);
    timeval wait{0, 500000};
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(peer, buffer, sizeof buffer);
        if (got <= 0 || bytes.size() > (1u << 20)) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    std::vector<std::string> files;
    if (bytes.compare(0, sizeof kRaiseRequest - 1, kRaiseRequest) != 0) return files;
    std::size_t at = sizeof kRaiseRequest - 1;
    // Only names ended by their zero byte: a request cut short opens nothing half-named.
    for (std::size_t end = bytes.find('\0', at); end != std::string::npos; end = bytes.find('\0', at)) {
        if (end > at) files.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    return files;
}

void Listen(const std::string& dataPath)
{
    sockaddr_un address{};
    const socklen_t length = SocketAddress(dataPath, address);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0) return;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener, 4) != 0) {
        close(listener);
        return;
    }
    State().listener = listener;
}

}  // namespace

InstanceClaim ClaimSingleInstance(const std::string& dataPath, bool onlyTry, const std::vector<std::string>& files)
{
    InstanceState& state = State();
    if (state.lockFile >= 0) return InstanceClaim::First;
    const std::string lockPath = dataPath + kLockFileName;
    const int file = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A data directory that cannot hold the lock does not stop the program.
    if (file < 0) return InstanceClaim::First;
    if (flock(file, LOCK_EX | LOCK_NB) != 0) {
        close(file);
        if (onlyTry) return InstanceClaim::OtherSilent;
        return AskFirstToRaise(dataPath, files) ? InstanceClaim::OtherRaised : InstanceClaim::OtherSilent;
    }
    state.lockFile = file;
    Listen(dataPath);
    return InstanceClaim::First;
}

RaiseRequests TakeRaiseRequests()
{
    InstanceState& state = State();
    RaiseRequests requests;
    if (state.listener < 0) return requests;
    for (;;) {
        // Whoever connects asks for the frame; the files come with the request.
        const int peer = accept4(state.listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0) break;
        requests.raise = true;
        for (std::string& file : ReadRequestFiles(peer)) requests.files.push_back(std::move(file));
        close(peer);
    }
    return requests;
}

void ReleaseSingleInstance()
{
    InstanceState& state = State();
    if (state.listener >= 0) close(state.listener);
    if (state.lockFile >= 0) close(state.lockFile);
    state = InstanceState{};
}

}  // namespace kq5
