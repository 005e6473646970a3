#pragma once
// Words of the program's command line and of command-file lines. The words keep the case in
// which they were typed (file names on this system are case-sensitive); switches are compared
// without regard to case. Words that are absolute paths (see IsAbsolutePathWord) start with "/"
// like switches but are neither switches nor hold them.
#include <string>
#include <string_view>

namespace kq5 {

// Takes the first argument out of the line: blanks skipped, switch words passed over; a quoted
// argument runs to the next double quote (without the quotes; unclosed, to the end), a plain one
// to the next blank. The line is trimmed afterwards. Empty when no argument is left.
std::string TakeCommandLineArg(std::string& line);
// Looks for the first occurrence of the switch text; it counts only when the word there (up to
// the next "/" or blank) is exactly as long as the switch, and is then removed. The line is
// trimmed either way. The switch's former position, or -1.
int TakeSwitch(std::string& line, std::string_view word);
// TakeSwitch of "/" and the letter.
int TakeSwitchChar(std::string& line, char letter);
// True for a word beginning with "/" that names something on disk or lies in a directory that
// exists ("/T/P" is two switches, "/tmp/amp.cir" a file).
bool IsAbsolutePathWord(std::string_view word);

}  // namespace kq5
