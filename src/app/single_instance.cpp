#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

bool AskFirstToRaise(const std::string& dataPath)
{
    sockaddr_un address{};
    const socklen_t length = SocketAddress(dataPath, address);
    const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client < 0) return false;
    bool sent = false;
    if (connect(client, reinterpret_cast<sockaddr*>(&address), length) == 0) {
        sent = write(client, kRaiseRequest, sizeof kRaiseRequest - 1) == static_cast<ssize_t>(sizeof kRaiseRequest - 1);
    }
    close(client);
    return sent;
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

InstanceClaim ClaimSingleInstance(const std::string& dataPath, bool onlyTry)
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
        return AskFirstToRaise(dataPath) ? InstanceClaim::OtherRaised : InstanceClaim::OtherSilent;
    }
    state.lockFile = file;
    Listen(dataPath);
    return InstanceClaim::First;
}

bool TakeRaiseRequests()
{
    InstanceState& state = State();
    if (state.listener < 0) return false;
    bool raise = false;
    for (;;) {
        // Never waits on a peer: whoever connects asks for the frame, the request text is a courtesy.
        const int peer = accept4(state.listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0) break;
        raise = true;
        close(peer);
    }
    return raise;
}

void ReleaseSingleInstance()
{
    InstanceState& state = State();
    if (state.listener >= 0) close(state.listener);
    if (state.lockFile >= 0) close(state.lockFile);
    state = InstanceState{};
}

}  // namespace kq5
