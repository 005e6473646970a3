#pragma once
// The keys of one settings-file section as its owner reads or writes them, so that a section
// routine can be written and tested without the file around it: writing appends "key=value"
// pairs in order; reading hands the routine the pairs of the section as they were met.
#include <string>
#include <utility>
#include <vector>

namespace kq5 {

struct SettingsKeys {
    bool writing = false;
    std::vector<std::pair<std::string, std::string>> keys;

    void Add(std::string key, std::string value) { keys.emplace_back(std::move(key), std::move(value)); }
    void Add(std::string key, long long value) { keys.emplace_back(std::move(key), std::to_string(value)); }
    void AddYesNo(std::string key, bool value) { keys.emplace_back(std::move(key), value ? "Yes" : "No"); }
    void AddComment(std::string text) { keys.emplace_back(";" + std::move(text), std::string()); }
};

// Key comparison of the settings file: without regard to case.
bool SettingsKeyIs(const std::string& key, const char* name);
bool SettingsKeyStartsWith(const std::string& key, const char* prefix);
// "Yes" (any case) or a nonzero number is true.
bool SettingsYes(const std::string& value);
// A decimal long, or the fallback when the text holds none.
long long SettingsNumber(const std::string& value, long long fallback);

}  // namespace kq5
