#pragma once
// A private temporary directory named by TMP for the life of a test (the waveform store puts its
// run files there); the old TMP comes back and the directory goes when it ends.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace kq5::testing {

class PrivateTmp {
public:
    // Makes the directory (prefix names it in the system's temporary directory) and points TMP at it.
    ::testing::AssertionResult Make(const char* prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) return ::testing::AssertionFailure() << "mkdtemp " << pattern;
        dir_ = pattern;
        const char* old = std::getenv("TMP");
        hadTmp_ = old != nullptr;
        oldTmp_ = old ? old : "";
        ::setenv("TMP", dir_.c_str(), 1);
        return ::testing::AssertionSuccess();
    }
    void Remove()
    {
        if (dir_.empty()) return;
        if (hadTmp_) ::setenv("TMP", oldTmp_.c_str(), 1);
        else ::unsetenv("TMP");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        dir_.clear();
    }
    ~PrivateTmp() { Remove(); }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    bool hadTmp_ = false;
    std::string oldTmp_;
};

}  // namespace kq5::testing
