#include "core/char_classes.h"

namespace kq5 {

namespace {

void AddClass(CharClassTable& t, std::string_view members, std::uint32_t bits)
{
    for (char c : members) t.classes[static_cast<unsigned char>(c)] |= bits;
}

void AddRange(CharClassTable& t, int first, int last, std::uint32_t bits)
{
    for (int c = first; c <= last; ++c) t.classes[static_cast<unsigned char>(c)] |= bits;
}

void BuildCharClassTable(CharClassTable& t)
{
    t.classes.fill(0);
    for (int c = 0; c < 256; ++c) {
        t.toLower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        t.toUpper[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }

    const std::uint32_t letterBits = kCharName | kCharIdent | kCharIdentStart | kCharNameOrDot | kCharAlnum;
    AddRange(t, 'a', 'z', letterBits | kCharLower);
    AddRange(t, 'A', 'Z', letterBits | kCharUpper);
    AddRange(t, '0', '9',
             kCharName | kCharIdent | kCharNameOrDot | kCharNumber | kCharNumberStart | kCharAlnum | kCharDigit |
                 kCharHexDigit);
    AddRange(t, '0', '7', kCharOctalDigit);
    AddRange(t, 'a', 'f', kCharHexDigit);
    AddRange(t, 'A', 'F', kCharHexDigit);
    AddRange(t, 0x20, 0x7E, kCharPrintable);

    AddClass(t, "_", kCharName | kCharIdent | kCharIdentStart | kCharNameOrDot);
    AddClass(t, "$/-+*%", kCharName | kCharNameOrDot);
    AddClass(t, ".", kCharNameOrDot | kCharNumber | kCharNumberStart | kCharDot);
    AddClass(t, "-+", kCharNumber | kCharNumberStart);
    AddClass(t, "eE", kCharNumber);
    AddClass(t, std::string_view("\t\n\v\f\r ", 6), kCharSpace | kCharBreak);
    t.classes[0] |= kCharTerminator | kCharBreak;
    AddClass(t, "(", kCharBreak | kCharOpenParen);
    AddClass(t, " ,=()\"{}|", kCharSeparator);
    AddClass(t, "*/+-~&^|", kCharOperator);
    AddClass(t, "<>=!", kCharCompare);
    AddClass(t, "01RFX", kCharDigitalState);
    AddClass(t, ")", kCharCloseParen);
    AddClass(t, ",=()[]<>", kCharListDelim);
    AddClass(t, ",=()[]<>% ", kCharFieldDelim);
    AddClass(t, "=", kCharEquals);
    AddClass(t, " ,=()[]<>^~*/+-='!|&", kCharExprDelim);
    AddClass(t, " ", kCharBlank);
    AddClass(t, ",", kCharComma);
    AddClass(t, "{", kCharOpenBrace);
    AddClass(t, "}", kCharCloseBrace);
}

// A run of characters of one kind, for the pieces of a natural name comparison.
std::string_view TakeRun(std::string_view& rest, bool digits)
{
    std::size_t n = 0;
    while (n < rest.size() && HasCharClass(rest[n], kCharDigit) == digits) ++n;
    std::string_view run = rest.substr(0, n);
    rest.remove_prefix(n);
    return run;
}

// Compares two digit runs as integers of any length; an empty run is the largest integer.
int CompareDigitRuns(std::string_view a, std::string_view b)
{
    if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? 1 : -1);
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

struct NamePieces {
    std::string_view lead, text, number, rest;
};

NamePieces CutName(std::string_view name)
{
    std::size_t blank = name.find(' ');
    if (blank != std::string_view::npos) name = name.substr(0, blank);
    NamePieces p;
    p.lead = TakeRun(name, true);
    p.text = TakeRun(name, false);
    p.number = TakeRun(name, true);
    p.rest = name;
    return p;
}

}  // namespace

ScanningState::ScanningState()
{
    BuildCharClassTable(table);
}

ScanningState& Scanning()
{
    static ScanningState state;
    return state;
}

void ResetScanningStateForTests()
{
    Scanning() = ScanningState();
}

void InitCharClasses()
{
    BuildCharClassTable(Scanning().table);
}

std::string CopyUpperCase(std::string_view source)
{
    std::string out(source);
    for (char& c : out) c = ToUpperChar(c);
    return out;
}

const char* SkipCharClass(const char* text, std::uint32_t mask)
{
    while (*text != '\0' && HasCharClass(*text, mask)) ++text;
    return text;
}

char* SkipCharClass(char* text, std::uint32_t mask)
{
    return const_cast<char*>(SkipCharClass(static_cast<const char*>(text), mask));
}

std::size_t SkipCharClass(std::string_view text, std::size_t from, std::uint32_t mask)
{
    while (from < text.size() && text[from] != '\0' && HasCharClass(text[from], mask)) ++from;
    return from;
}

void SkipSpace(const char*& cursor)
{
    cursor = SkipCharClass(cursor, kCharSpace);
}

void SkipSpace(char*& cursor)
{
    cursor = SkipCharClass(cursor, kCharSpace);
}

void SkipSpace(std::string_view& text)
{
    text.remove_prefix(SkipCharClass(text, 0, kCharSpace));
}

const char* CopyCharClassRun(std::string& destination, const char* source, std::uint32_t mask, std::size_t size)
{
    destination.clear();
    if (size == 0) return source;
    while (destination.size() < size - 1 && *source != '\0' && HasCharClass(*source, mask))
        destination.push_back(*source++);
    return source;
}

bool AllCharsInClass(std::string_view text, std::uint32_t mask)
{
    for (char c : text)
        if (!HasCharClass(c, mask)) return false;
    return true;
}

void RemoveWhitespace(std::string& text)
{
    std::erase_if(text, [](char c) { return HasCharClass(c, kCharSpace); });
}

std::size_t TrailingDigitsStart(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && HasCharClass(text[end - 1], kCharDigit)) --end;
    return end;
}

char* NextToken(char* text, std::uint32_t delimiterMask)
{
    char*& saved = Scanning().tokenPosition;
    char* p = text != nullptr ? text : saved;
    if (p == nullptr) return nullptr;

    std::uint32_t mask = delimiterMask;
    bool braceMode = false;
    while (*p != '\0' && HasCharClass(*p, mask)) {
        if (*p == '{' && (mask & kCharOpenBrace) != 0) {
            braceMode = true;
            mask = kCharCloseBrace;
            break;
        }
        ++p;
    }
    if (*p == '\0') {
        saved = p;
        return nullptr;
    }

    char* token = p;
    if (braceMode) ++p;  // the "{" itself starts the token
    while (*p != '\0' && !HasCharClass(*p, mask)) ++p;
    if (braceMode && *p == '}') ++p;

    if (*p != '\0') {
        *p = '\0';
        saved = p + 1;
    } else {
        saved = p;
    }
    return token;
}

int WildcardCompare(std::string_view pattern, std::string_view text)
{
    std::size_t i = 0;
    for (; i < pattern.size(); ++i) {
        char pc = pattern[i];
        if (pc == '*') return 0;
        if (i >= text.size()) {
            // The text ended first: only wildcards may remain, "?" then matching nothing.
            for (; i < pattern.size(); ++i)
                if (pattern[i] != '*' && pattern[i] != '?') return 1;
            return 0;
        }
        if (pc != '?' && ToUpperChar(pc) != ToUpperChar(text[i])) return 1;
    }
    return 0;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(ToUpperChar(a[i]));
        auto cb = static_cast<unsigned char>(ToUpperChar(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

int CompareNamesNatural(std::string_view a, std::string_view b)
{
    if (a.empty() || b.empty()) return CompareNoCase(b, a);
    NamePieces pa = CutName(a);
    NamePieces pb = CutName(b);
    if (int c = CompareDigitRuns(pa.lead, pb.lead)) return c;
    if (int c = CompareNoCase(pa.text, pb.text)) return c;
    if (int c = CompareDigitRuns(pa.number, pb.number)) return c;
    return CompareNoCase(pa.rest, pb.rest);
}

}  // namespace kq5
