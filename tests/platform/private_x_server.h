// An X server of a test's own: Xvfb started on a free display number, which it reports through
// a pipe, and kept from resetting when its last client leaves. Servers are started one at a time across all test processes: two started at the same
// moment can both take one display number, and a program then talks to the other test's server.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kq5::test {

class PrivateXServer {
public:
    PrivateXServer() = default;
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    ~PrivateXServer() { Stop(); }

    bool Start()
    {
        const int lock = open("/tmp/.kq5-test-x-server.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (lock >= 0) flock(lock, LOCK_EX);
        const bool started = StartUnlocked();
        if (lock >= 0) close(lock);
        return started;
    }
    // Ends the server; SIGKILL takes the display away as a crash of the server would.
    void Stop(int signal = SIGTERM)
    {
        if (pid_ > 0) {
            kill(pid_, signal);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    const std::string& Display() const { return display_; }

private:
    bool StartUnlocked()
    {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
            const std::string fd = std::to_string(fds[1]);
            // -noreset: a server whose last client leaves resets and refuses connections
            // meanwhile, and a journey's own look at the screen may be that last client just
            // before the program connects.
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
            close(fds[0]);
            return false;
        }
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        return true;
    }

    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace kq5::test
