#include "analog/command_line_words.h"

#include <filesystem>
#include <system_error>

#include "core/char_classes.h"


namespace kq5 {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The blank-delimited word of the line around position `at`.
std::string_view WordAround(const std::string& line, std::size_t at)
{
    std::size_t begin = at;
    while (begin > 0 && !IsBlank(line[begin - 1])) --begin;
    std::size_t end = at;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    return std::string_view(line).substr(begin, end - begin);
}

void TrimLine(std::string& line)
{
    std::size_t begin = 0;
    while (begin < line.size() && IsBlank(line[begin])) ++begin;
    std::size_t end = line.size();
    while (end > begin && IsBlank(line[end - 1])) --end;
    line = line.substr(begin, end - begin);
}

// Position of the first case-blind occurrence of the word where a switch can stand: inside a word
// that begins with "/" and is not a path ("dir/sub.cir" holds no "/S").
std::size_t FindSwitchText(const std::string& line, std::string_view word)
{
    if (word.empty() || word.size() > line.size()) return std::string::npos;
    for (std::size_t at = 0; at + word.size() <= line.size(); ++at) {
        if (!EqualsNoCase(std::string_view(line).substr(at, word.size()), word)) continue;
        const std::string_view around = WordAround(line, at);
        if (around.front() != '/' || IsAbsolutePathWord(around)) continue;
        return at;
    }
    return std::string::npos;
}

}  // namespace

bool IsAbsolutePathWord(std::string_view word)
{
    if (word.size() < 2 || word.front() != '/') return false;
    std::error_code error;
    const std::filesystem::path path{std::string(word)};
    if (std::filesystem::exists(path, error)) return true;
    const std::size_t last = word.find_last_of('/');
    return last > 0 && std::filesystem::is_directory(std::string(word.substr(0, last)), error);
}

int TakeSwitch(std::string& line, std::string_view word)
{
    int result = -1;
    const std::size_t at = FindSwitchText(line, word);
    if (at != std::string::npos) {
        std::size_t wordEnd = at + 1;
        while (wordEnd < line.size() && line[wordEnd] != '/' && !IsBlank(line[wordEnd])) ++wordEnd;
        if (wordEnd == at + word.size()) {
            line.erase(at, word.size());
            result = static_cast<int>(at);
        }
    }
    TrimLine(line);
    return result;
}

int TakeSwitchChar(std::string& line, char letter)
{
    const char word[] = {'/', letter, '\0'};
    return TakeSwitch(line, word);
}

std::string TakeCommandLineArg(std::string& line)
{
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i < line.size() && line[i] == '/' && !IsAbsolutePathWord(WordAround(line, i))) {
            while (i < line.size() && !IsBlank(line[i])) ++i;
            continue;
        }
        break;
    }
    if (i >= line.size()) return {};
    std::string arg;
    std::size_t end;
    if (line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        arg = line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
        end = close == std::string::npos ? line.size() : close + 1;
    } else {
        end = i;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        arg = line.substr(i, end - i);
    }
    line.erase(i, end - i);
    TrimLine(line);
    return arg;
}

}  // namespace kq5
