#include "core/text_edit.h"

#include <algorithm>

namespace kq5 {

namespace {

constexpr char kBlank = ' ';

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string& TrimRight(std::string& text)
{
    std::size_t last = text.find_last_not_of(kBlank);
    text.erase(last == std::string::npos ? 0 : last + 1);
    return text;
}

std::string& TrimLeft(std::string& text)
{
    text.erase(0, std::min(text.find_first_not_of(kBlank), text.size()));
    return text;
}

std::string& Trim(std::string& text)
{
    return TrimLeft(TrimRight(text));
}

std::string& ReplaceChar(std::string& text, char from, char to)
{
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

std::string& RemoveChar(std::string& text, char c)
{
    std::erase(text, c);
    return text;
}

std::string& CollapseBlankRuns(std::string& text)
{
    auto end = std::unique(text.begin(), text.end(),
                           [](char a, char b) { return a == kBlank && b == kBlank; });
    text.erase(end, text.end());
    return text;
}

std::string& PadToWidth(std::string& text, std::size_t width)
{
    text.resize(width, kBlank);
    return text;
}

std::optional<std::string> SplitAtChar(std::string& text, char c)
{
    std::size_t at = text.find(c);
    if (at == std::string::npos) return std::nullopt;
    std::string rest = text.substr(at + 1);
    text.erase(at);
    return rest;
}

std::size_t FindText(std::string_view text, std::string_view sought)
{
    if (text.empty()) return std::string_view::npos;
    auto found = std::search(text.begin(), text.end(), sought.begin(), sought.end(),
                             [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    return found == text.end() ? std::string_view::npos
                               : static_cast<std::size_t>(found - text.begin());
}

std::string CopyUntilChar(std::string_view source, char stop)
{
    return std::string(source.substr(0, source.find(stop)));
}

std::string CopyFirstWord(std::string_view source)
{
    return CopyUntilChar(source, kBlank);
}

}  // namespace kq5
