#pragma once
// In-place edits of texts. A blank here is the space character only; tabs are left alone.
// Each edit returns the text it was given.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kq5 {

std::string& TrimRight(std::string& text);
std::string& TrimLeft(std::string& text);
std::string& Trim(std::string& text);
std::string& ReplaceChar(std::string& text, char from, char to);
std::string& RemoveChar(std::string& text, char c);
// Replaces every run of blanks by one blank.
std::string& CollapseBlankRuns(std::string& text);
// Pads with blanks, or cuts, to exactly width characters.
std::string& PadToWidth(std::string& text, std::size_t width);

// Cuts the text at the first occurrence of the character and returns what followed it;
// nothing (text unchanged) when the character does not occur.
std::optional<std::string> SplitAtChar(std::string& text, char c);

// Position of the first case-blind (ASCII) occurrence of the sought text; npos when there
// is none or the text is empty.
std::size_t FindText(std::string_view text, std::string_view sought);

// The source up to, not including, the first stop character (or all of it).
std::string CopyUntilChar(std::string_view source, char stop);
// The source up to its first blank.
std::string CopyFirstWord(std::string_view source);

}  // namespace kq5
