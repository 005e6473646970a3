#pragma once
// The token array that every SPICE-text reader shares: one logical line split at blanks and at
// the delimiters , = ( ) " { } | (each of those but the blank a token of its own), a word ending
// in ':' ("PARAMS:") being one token, a double-quoted text one token with its quotes. The token
// after the last one is always empty, so parsers walk until they meet an empty token.
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

// Makes the array when it does not exist and empties its first tokens. 0 or 15002.
int PrepareTokenArray();
// Fills the array from one logical line. 0, or 15002 when memory runs out.
int TokenizeNetlistLine(std::string_view line);
void FreeTokenArray();

// Token i of the last line; the empty text past the end.
const std::string& Token(int index);
// The number of tokens before the empty end token.
int TokenCount();
// The whole array, for parsers that rewrite a line in place.
std::vector<std::string>& TokenArray();
// Makes each closed brace group one token ("{", "TS", "*2", "}" becomes "{TS*2}"), for lines whose
// values stand at fixed token places. 0 or 15002.
int JoinBraceGroupTokens();

// True when the character ends a token (the token-delimiter class).
bool IsTokenDelimiter(char c);

// Turns every '^' of a value written in SPICE text into "**": there it raises to a power,
// where the program's own expressions read it as exclusive or.
void CaretsToPowers(std::string& value);

}  // namespace kq5
