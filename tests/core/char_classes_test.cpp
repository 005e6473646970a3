#include "core/char_classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kq5 {
namespace {

std::uint32_t Bits(std::initializer_list<int> bits)
{
    std::uint32_t word = 0;
    for (int b : bits) word |= 1u << b;
    return word;
}

class CharClassesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetScanningStateForTests();
        InitCharClasses();
    }
};

TEST_F(CharClassesTest, ClassWordsOfKeyCharacters)
{
    EXPECT_EQ(CharClassOf('_'), Bits({0, 1, 2, 3, 25}));
    EXPECT_EQ(CharClassOf('.'), Bits({3, 4, 6, 10, 25}));
    EXPECT_EQ(CharClassOf('\0'), Bits({5, 19}));
    EXPECT_EQ(CharClassOf(' '), Bits({5, 7, 17, 18, 25, 26, 27}));
    EXPECT_EQ(CharClassOf('{'), Bits({7, 25, 29}));
    EXPECT_EQ(CharClassOf('-'), Bits({0, 3, 4, 6, 12, 25, 26}));
    EXPECT_EQ(CharClassOf('7'), Bits({0, 1, 3, 4, 6, 8, 11, 20, 25, 31}));
    EXPECT_EQ(CharClassOf('9'), Bits({0, 1, 3, 4, 6, 8, 11, 20, 25}));
    EXPECT_EQ(CharClassOf('R'), Bits({0, 1, 2, 3, 8, 14, 24, 25}));
    EXPECT_EQ(CharClassOf('e'), Bits({0, 1, 2, 3, 4, 8, 20, 23, 25}));
    EXPECT_EQ(CharClassOf('\t'), Bits({5, 18}));
    for (int c = 128; c < 256; ++c) EXPECT_EQ(CharClassOf(static_cast<char>(c)), 0u) << c;
    for (int c = 0; c < 256; ++c) EXPECT_FALSE(CharClassOf(static_cast<char>(c)) & (1u << 9));
}

TEST_F(CharClassesTest, CaseTablesCoverAsciiLettersOnly)
{
    EXPECT_EQ(ToUpperChar('a'), 'A');
    EXPECT_EQ(ToLowerChar('Z'), 'z');
    EXPECT_EQ(ToUpperChar('['), '[');
    EXPECT_EQ(ToUpperChar(static_cast<char>(0xE9)), static_cast<char>(0xE9));
    EXPECT_EQ(ToLowerChar(static_cast<char>(0xC9)), static_cast<char>(0xC9));
    EXPECT_EQ(CopyUpperCase("r1 {a+b}\xE9"), "R1 {A+B}\xE9");
    EXPECT_EQ(CopyUpperCase(""), "");
}

TEST_F(CharClassesTest, SkipsNeverPassTheTerminator)
{
    // The terminator belongs to the break class: a scan over that class must still stop.
    const char text[] = "  \0XYZ";
    EXPECT_EQ(SkipCharClass(text, kCharBreak), text + 2);
    const char* cursor = " \t\r\nR1";
    SkipSpace(cursor);
    EXPECT_STREQ(cursor, "R1");
    std::string_view view = "\t x";
    SkipSpace(view);
    EXPECT_EQ(view, "x");
    EXPECT_EQ(SkipCharClass(std::string_view("ab1-"), 0, kCharLetter), 2u);
}

TEST_F(CharClassesTest, CopyCharClassRunHonoursTheSize)
{
    std::string out = "old";
    const char* src = "NET_12+rest";
    const char* after = CopyCharClassRun(out, src, kCharIdent, 5);
    EXPECT_EQ(out, "NET_");
    EXPECT_EQ(after, src + 4);
    after = CopyCharClassRun(out, src, kCharIdent);
    EXPECT_EQ(out, "NET_12");
    EXPECT_STREQ(after, "+rest");
    after = CopyCharClassRun(out, src, kCharIdent, 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(after, src);
}

TEST_F(CharClassesTest, TextHelpers)
{
    EXPECT_TRUE(AllCharsInClass("", kCharDigit));
    EXPECT_TRUE(AllCharsInClass("0123", kCharDigit));
    EXPECT_FALSE(AllCharsInClass("01a", kCharDigit));
    std::string t = " a\tb\r\nc ";
    RemoveWhitespace(t);
    EXPECT_EQ(t, "abc");
    EXPECT_EQ(TrailingDigitsStart("NET12"), 3u);
    EXPECT_EQ(TrailingDigitsStart("123"), 0u);
    EXPECT_EQ(TrailingDigitsStart("ABC"), 3u);
    EXPECT_EQ(TrailingDigitsStart(""), 0u);
}

std::vector<std::string> Tokens(std::string text, std::uint32_t mask)
{
    std::vector<std::string> out;
    for (char* tok = NextToken(text.data(), mask); tok != nullptr; tok = NextToken(nullptr, mask))
        out.emplace_back(tok);
    return out;
}

TEST_F(CharClassesTest, NextTokenSplitsSpiceLines)
{
    EXPECT_EQ(Tokens("R1 {A+B} 5", kTokenSpice), (std::vector<std::string>{"R1", "{A+B}", "5"}));
    EXPECT_EQ(Tokens("  Q1 (C, B) E=2 {x * (y+1)}", kTokenSpice),
              (std::vector<std::string>{"Q1", "C", "B", "E", "2", "{x * (y+1)}"}));
    EXPECT_EQ(Tokens("V1 {open", kTokenSpice), (std::vector<std::string>{"V1", "{open"}));
    // Without the brace bit in the mask braces are ordinary characters.
    EXPECT_EQ(Tokens("a {b c}", kTokenBlank), (std::vector<std::string>{"a", "{b", "c}"}));
    EXPECT_EQ(Tokens("   ", kTokenBlank), std::vector<std::string>{});
    EXPECT_EQ(Tokens("", kTokenBlank), std::vector<std::string>{});
}

TEST_F(CharClassesTest, NextTokenStopsAtTheEndAndStaysThere)
{
    std::string line = "A=B";
    EXPECT_STREQ(NextToken(line.data(), kTokenBlankEquals), "A");
    EXPECT_STREQ(NextToken(nullptr, kTokenBlankEquals), "B");
    EXPECT_EQ(NextToken(nullptr, kTokenBlankEquals), nullptr);
    EXPECT_EQ(NextToken(nullptr, kTokenBlankEquals), nullptr);
    ResetScanningStateForTests();
    EXPECT_EQ(NextToken(nullptr, kTokenBlank), nullptr);
}

TEST_F(CharClassesTest, WildcardCompare)
{
    EXPECT_EQ(WildcardCompare("R*", "r15"), 0);
    EXPECT_EQ(WildcardCompare("R1", "R15"), 0);
    EXPECT_EQ(WildcardCompare("R15", "R1"), 1);
    EXPECT_EQ(WildcardCompare("R1??", "R1"), 0);
    EXPECT_EQ(WildcardCompare("R1?*", "R1"), 0);
    EXPECT_EQ(WildcardCompare("R1?X", "R1"), 1);
    EXPECT_EQ(WildcardCompare("Q?N", "q2n"), 0);
    EXPECT_EQ(WildcardCompare("Q?N", "Q2P"), 1);
    EXPECT_EQ(WildcardCompare("", "anything"), 0);
}

TEST_F(CharClassesTest, CompareNamesNaturalSortsNumbersNumerically)
{
    std::vector<std::string> names = {"B", "A10", "10", "A2", "2"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareNamesNatural(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::string>{"2", "10", "A2", "A10", "B"}));

    EXPECT_EQ(CompareNamesNatural("r5", "R5"), 0);
    EXPECT_EQ(CompareNamesNatural("007", "7"), 0);
    EXPECT_GT(CompareNamesNatural("", "A"), 0);
    EXPECT_LT(CompareNamesNatural("A", ""), 0);
    EXPECT_EQ(CompareNamesNatural("", ""), 0);
    EXPECT_LT(CompareNamesNatural("R2X", "R2Y"), 0);
    EXPECT_EQ(CompareNamesNatural("R2 first", "R2 second"), 0);  // only up to the first blank
    // Pieces far longer than any integer or fixed field still compare in order.
    EXPECT_LT(CompareNamesNatural("99999999999999999999999999", "100000000000000000000000000"), 0);
    EXPECT_LT(CompareNamesNatural(std::string(40, 'A') + "1", std::string(40, 'A') + "2"), 0);
}

TEST_F(CharClassesTest, CaseBlindComparison)
{
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_LT(CompareNoCase("ab", "ABC"), 0);
    EXPECT_TRUE(EqualsNoCase("Hello", "hELLO"));
    EXPECT_FALSE(EqualsNoCase("\xE9", "\xC9"));
}

}  // namespace
}  // namespace kq5
