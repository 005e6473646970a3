// Starting another program: the command line is split into words and run without a shell.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/system.h"

extern char** environ;

namespace win {

namespace {

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inQuotes = false, any = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            any = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

std::vector<pid_t>& Children() {
    static std::vector<pid_t> pids;
    return pids;
}

// Started programs are never waited for; their exit status is collected here so they leave no
// zombies behind.
void ReapChildren() {
    auto& pids = Children();
    pids.erase(std::remove_if(pids.begin(), pids.end(),
                              [](pid_t p) {
                                  int status = 0;
                                  return waitpid(p, &status, WNOHANG) != 0;
                              }),
               pids.end());
}

}  // namespace

UINT WinExec(const char* commandLine, UINT cmdShow) {
    if (!commandLine) return 0;
    return ExecArgv(SplitCommandLine(commandLine), cmdShow);
}

UINT ExecArgv(std::vector<std::string> words, UINT) {
    ReapChildren();
    if (words.empty()) return 0;
    std::string program = words[0];
    bool hasPath = program.find('/') != std::string::npos || program.find('\\') != std::string::npos;
    if (hasPath) {
        std::string found = FindFileCaseBlind(program);
        if (found.empty()) return 2;
        program = found;
        words[0] = found;
    }
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = hasPath ? posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                     : posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc == ENOENT) return 2;
    if (rc != 0) return 0;
    // A program that could not be executed after all ends at once with status 127.
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 127) return 2;
    Children().push_back(pid);
    return 33;
}

}  // namespace win
