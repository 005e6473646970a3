#pragma once
// Running the independent command-line readers (wmf2svg, pdfinfo, pdftoppm) that check our files.
// A missing tool or display fails the test that needs it: a skipped check would pass unnoticed.
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

inline constexpr const char* kPopplerMissing =
    "pdfinfo or pdftoppm is not installed (Debian package poppler-utils; bash tools/setup.sh)";
inline constexpr const char* kNoDisplay =
    "no display to open: run the suite under xvfb-run -a (bash tools/test.sh does)";

inline bool ToolInstalled(const std::string& name) {
    std::string where;
    return RunCommand("command -v " + name, where) == 0;
}

}  // namespace win::testing
