#include "core/owned_string.h"
#include "core/text_edit.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kq5 {

TEST(OwnedString, CopiesTakeAtMostNCharactersAndStopAtNul)
{
    EXPECT_EQ(StrNDup("abc", 5), "abc");
    EXPECT_EQ(StrNDup("abcdef", 3), "abc");
    EXPECT_EQ(StrNDup("abc", -2), "");
    EXPECT_EQ(StrNDup(std::string_view("ab\0cd", 5), 5), "ab");
    EXPECT_EQ(StrDup("xyz"), "xyz");
}

TEST(OwnedString, SetAndAppendAcceptTextsFromTheFieldItself)
{
    std::string field = "hello world";
    SetString(field, std::string_view(field).substr(6));
    EXPECT_EQ(field, "world");

    AppendString(field, field);
    EXPECT_EQ(field, "worldworld");
    AppendCharToString(field, '!');
    EXPECT_EQ(field, "worldworld!");

    std::string grown;
    GrowString(grown, 50);
    EXPECT_TRUE(grown.empty());
    EXPECT_GE(grown.capacity(), 50u);
}

TEST(OwnedString, FormattingIsMeasuredAndNeverCut)
{
    // A generous fixed estimate is not an upper bound for large doubles.
    std::string field;
    FormatString(field, "%f", 1e200);
    EXPECT_EQ(field.size(), 207u);  // the double below 1e200 has 200 digits
    EXPECT_EQ(field.substr(field.size() - 7), ".000000");
    EXPECT_EQ(EstimateFormattedLength("%f", 1e200), 207u);
    EXPECT_EQ(EstimateFormattedLength("%d-%s", 42, "ab"), 5u);

    std::string big(1500, 'q');
    FormatString(field, "<%s>", big.c_str());
    EXPECT_EQ(field.size(), 1502u);
    EXPECT_EQ(FormatBounded("%s%s", big.c_str(), big.c_str()).size(), 3000u);
    EXPECT_EQ(FormatBounded("%.*G", 4, 12346.0), "1.235E+04");

    // The arguments may come from the field being replaced.
    field = "abc";
    FormatString(field, "[%s]", field.c_str());
    EXPECT_EQ(field, "[abc]");
    AppendFormat(field, "%d%s", 7, field.c_str());
    EXPECT_EQ(field, "[abc]7[abc]");
}

TEST(TextEdit, TrimmingTouchesBlanksOnly)
{
    std::string t = "  \tab c\t  ";
    EXPECT_EQ(Trim(t), "\tab c\t");
    std::string blanks = "    ";
    EXPECT_EQ(TrimRight(blanks), "");
    blanks = "   ";
    EXPECT_EQ(TrimLeft(blanks), "");
    std::string left = "  x ";
    EXPECT_EQ(TrimLeft(left), "x ");

    std::string runs = "  a   b\t\t c  ";
    EXPECT_EQ(CollapseBlankRuns(runs), " a b\t\t c ");
}

TEST(TextEdit, CharacterEditsAndPadding)
{
    std::string t = "a.b.c";
    EXPECT_EQ(ReplaceChar(t, '.', '_'), "a_b_c");
    EXPECT_EQ(RemoveChar(t, '_'), "abc");

    std::string longer = "abcdef";
    EXPECT_EQ(PadToWidth(longer, 3), "abc");
    std::string shorter = "ab";
    EXPECT_EQ(PadToWidth(shorter, 4), "ab  ");
}

TEST(TextEdit, SplittingAndCopyingAtACharacter)
{
    std::string kv = "KEY=VAL=2";
    auto rest = SplitAtChar(kv, '=');
    ASSERT_TRUE(rest);
    EXPECT_EQ(*rest, "VAL=2");
    EXPECT_EQ(kv, "KEY");

    std::string plain = "NOVALUE";
    EXPECT_FALSE(SplitAtChar(plain, '='));
    EXPECT_EQ(plain, "NOVALUE");

    EXPECT_EQ(CopyUntilChar("R1,100", ','), "R1");
    EXPECT_EQ(CopyUntilChar("R1", ','), "R1");
    EXPECT_EQ(CopyFirstWord("first second"), "first");
}

TEST(TextEdit, FindTextIgnoresCase)
{
    EXPECT_EQ(FindText("Hello World", "WORLD"), 6u);
    EXPECT_EQ(FindText("Hello World", "planet"), std::string_view::npos);
    EXPECT_EQ(FindText("", ""), std::string_view::npos);
    EXPECT_EQ(FindText("abc", ""), 0u);
    EXPECT_EQ(FindText("ab", "abc"), std::string_view::npos);
}

}  // namespace kq5
