#pragma once
// Running the independent command-line readers (wmf2svg, pdfinfo, pdftoppm) that check our files.
#include <cstdio>
#include <string>

namespace win::testing {

// Runs a shell command; its exit status, with what it printed (both streams) in out.
inline int RunCommand(const std::string& command, std::string& out) {
    std::string full = command + " 2>&1";
    FILE* p = popen(full.c_str(), "r");
    if (p == nullptr) return -1;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    return pclose(p);
}

inline bool ToolInstalled(const std::string& name) {
    std::string where;
    return RunCommand("command -v " + name, where) == 0;
}

}  // namespace win::testing
