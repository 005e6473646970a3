#pragma once
// Character classes, the ASCII case tables and the tokenizer that every scanner of the
// program goes through. Classification never uses the C library's locale functions, so the
// classes are the same everywhere and bytes above 127 belong to no class.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

// Class bits of a character's class word.
inline constexpr std::uint32_t kCharName = 1u << 0;          // letters, digits, _ $ / - + * %
inline constexpr std::uint32_t kCharIdent = 1u << 1;         // letters, digits, _
inline constexpr std::uint32_t kCharIdentStart = 1u << 2;    // letters, _
inline constexpr std::uint32_t kCharNameOrDot = 1u << 3;     // kCharName and .
inline constexpr std::uint32_t kCharNumber = 1u << 4;        // kCharNumberStart and e E
inline constexpr std::uint32_t kCharBreak = 1u << 5;         // white space, terminator, (
inline constexpr std::uint32_t kCharNumberStart = 1u << 6;   // digits . - +
inline constexpr std::uint32_t kCharSeparator = 1u << 7;     // blank , = ( ) " { } |
inline constexpr std::uint32_t kCharAlnum = 1u << 8;         // letters and digits
inline constexpr std::uint32_t kCharDot = 1u << 10;          // .
inline constexpr std::uint32_t kCharDigit = 1u << 11;        // 0-9
inline constexpr std::uint32_t kCharOperator = 1u << 12;     // * / + - ~ & ^ |
inline constexpr std::uint32_t kCharCompare = 1u << 13;      // < > = !
inline constexpr std::uint32_t kCharDigitalState = 1u << 14; // 0 1 R F X
inline constexpr std::uint32_t kCharCloseParen = 1u << 15;   // )
inline constexpr std::uint32_t kCharListDelim = 1u << 16;    // , = ( ) [ ] < >
inline constexpr std::uint32_t kCharFieldDelim = 1u << 17;   // , = ( ) [ ] < > % blank
inline constexpr std::uint32_t kCharSpace = 1u << 18;        // tab LF VT FF CR blank
inline constexpr std::uint32_t kCharTerminator = 1u << 19;   // character 0
inline constexpr std::uint32_t kCharHexDigit = 1u << 20;     // 0-9 a-f A-F
inline constexpr std::uint32_t kCharOpenParen = 1u << 21;    // (
inline constexpr std::uint32_t kCharEquals = 1u << 22;       // =
inline constexpr std::uint32_t kCharLower = 1u << 23;        // a-z
inline constexpr std::uint32_t kCharUpper = 1u << 24;        // A-Z
inline constexpr std::uint32_t kCharPrintable = 1u << 25;    // 0x20-0x7E
inline constexpr std::uint32_t kCharExprDelim = 1u << 26;    // blank , = ( ) [ ] < > ^ ~ * / + - ' ! | &
inline constexpr std::uint32_t kCharBlank = 1u << 27;        // the blank alone
inline constexpr std::uint32_t kCharComma = 1u << 28;        // ,
inline constexpr std::uint32_t kCharOpenBrace = 1u << 29;    // {
inline constexpr std::uint32_t kCharCloseBrace = 1u << 30;   // }
inline constexpr std::uint32_t kCharOctalDigit = 1u << 31;   // 0-7

inline constexpr std::uint32_t kCharLetter = kCharLower | kCharUpper;

// Delimiter masks of the tokenizer.
inline constexpr std::uint32_t kTokenBlank = kCharBlank;
inline constexpr std::uint32_t kTokenBlankEquals = kCharBlank | kCharEquals;
inline constexpr std::uint32_t kTokenBlankComma = kCharBlank | kCharComma;
// SPICE-style lines: a braced expression comes back as one token, braces included.
inline constexpr std::uint32_t kTokenSpice = kCharBlank | kCharComma | kCharEquals | kCharOpenParen |
                                             kCharCloseParen | kCharOpenBrace | kCharCloseBrace;

struct CharClassTable {
    std::array<std::uint32_t, 256> classes{};
    std::array<unsigned char, 256> toLower{};
    std::array<unsigned char, 256> toUpper{};
};

// Scanning state shared by the whole program: the tables, the tokenizer's saved position and
// the flags that ParseNumber leaves for its caller. One scan at a time.
struct ScanningState {
    CharClassTable table;
    char* tokenPosition = nullptr;
    bool parseError = false;
    bool parseCycles = false;

    ScanningState();
};

ScanningState& Scanning();
void ResetScanningStateForTests();

// Builds the class and case tables; the first step of program initialisation.
void InitCharClasses();

inline const CharClassTable& CharClasses() { return Scanning().table; }

inline std::uint32_t CharClassOf(char c) { return CharClasses().classes[static_cast<unsigned char>(c)]; }
inline bool HasCharClass(char c, std::uint32_t mask) { return (CharClassOf(c) & mask) != 0; }
inline char ToUpperChar(char c)
{
    return static_cast<char>(CharClasses().toUpper[static_cast<unsigned char>(c)]);
}
inline char ToLowerChar(char c)
{
    return static_cast<char>(CharClasses().toLower[static_cast<unsigned char>(c)]);
}

// The source through the to-upper table.
std::string CopyUpperCase(std::string_view source);

// The first position from the text on whose class has no bit of the mask. Scans never pass the
// terminator, whatever the mask.
const char* SkipCharClass(const char* text, std::uint32_t mask);
char* SkipCharClass(char* text, std::uint32_t mask);
std::size_t SkipCharClass(std::string_view text, std::size_t from, std::uint32_t mask);

// Advances a cursor over white space.
void SkipSpace(const char*& cursor);
void SkipSpace(char*& cursor);
void SkipSpace(std::string_view& text);

inline constexpr std::size_t kNoSizeLimit = static_cast<std::size_t>(-1);

// Copies the run of characters of the class into the destination, at most size - 1 of them, and
// returns the source position after the copied run. A size of 0 copies nothing.
const char* CopyCharClassRun(std::string& destination, const char* source, std::uint32_t mask,
                             std::size_t size = kNoSizeLimit);

// True when every character of the text has a bit of the mask (true for an empty text).
bool AllCharsInClass(std::string_view text, std::uint32_t mask);

void RemoveWhitespace(std::string& text);

// The length of the text without its trailing run of decimal digits.
std::size_t TrailingDigitsStart(std::string_view text);

// strtok-like tokenizer: a non-null text starts a scan, null continues the saved one. The
// character after each token is overwritten with the terminator. Returns null when no token is
// left. With kCharOpenBrace in the mask a "{...}" group is one token, braces included.
char* NextToken(char* text, std::uint32_t delimiterMask);

// 0 when the pattern matches the text, 1 otherwise ("*" the rest, "?" one character, case-blind;
// a pattern matches every text that it begins).
int WildcardCompare(std::string_view pattern, std::string_view text);

// Sort order of part, node and model names: leading number, text, second number, rest.
int CompareNamesNatural(std::string_view a, std::string_view b);

// Case-blind comparisons through the to-upper table.
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace kq5
