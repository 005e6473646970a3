// Tokens, line dispatch and the dot-command handlers.
#include <string>
#include <vector>

#include "netlist/defines.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/spice_tokens.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

std::vector<std::string> Tokens(const std::string& line)
{
    EXPECT_EQ(TokenizeNetlistLine(line), 0);
    std::vector<std::string> tokens;
    for (int i = 0; !Token(i).empty(); ++i) tokens.push_back(Token(i));
    EXPECT_TRUE(Token(TokenCount()).empty());
    return tokens;
}

TEST(SpiceTokens, DelimitersColonsAndQuotes)
{
    InitCharClasses();
    EXPECT_EQ(Tokens("V1 1 0 PULSE(0 5)"),
              (std::vector<std::string>{"V1", "1", "0", "PULSE", "(", "0", "5", ")"}));
    EXPECT_EQ(Tokens("X1 A B PARAMS:R=1K"), (std::vector<std::string>{"X1", "A", "B", "PARAMS:", "R", "=", "1K"}));
    EXPECT_EQ(Tokens(".INC \"my lib.lib\" "), (std::vector<std::string>{".INC", "\"my lib.lib\""}));
    EXPECT_EQ(Tokens("* R1 1 2"), (std::vector<std::string>{"*"}));
    EXPECT_EQ(Tokens("E1 1 0 VALUE={V(2)*2}"),
              (std::vector<std::string>{"E1", "1", "0", "VALUE", "=", "{", "V", "(", "2", ")", "*2", "}"}));
    EXPECT_EQ(Tokens("R1 1 2 1K;comment"), (std::vector<std::string>{"R1", "1", "2", "1K"}));
    // No length limit on a token.
    const std::string big(3000, 'A');
    EXPECT_EQ(Tokens("R1 1 2 " + big).back(), big);
}

TEST_F(SpiceTest, UnknownLettersAndCommandsNameTheirLine)
{
    EXPECT_EQ(Read("title\nR1 1 0 1\nA1 1 2\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10905");
    EXPECT_NE(LastMessage().find("Text:\tA1"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("Line:\t3"), std::string::npos) << LastMessage();
    for (const char* line : {"P1 1 2", "Y1 1 2", "1R 1 2 3", ".DEFINE X 1", ".MACRO M", ".FOO"}) {
        win::ClearMessageBoxLog();
        FreeNetlistReaderBuild();
        EXPECT_EQ(Read(std::string("title\n") + line + "\n"), kMsgAlreadyReported) << line;
        EXPECT_EQ(LastCaption(), "Error 10905") << line;
    }
}

TEST_F(SpiceTest, IgnoredCommandsAreAccepted)
{
    ASSERT_EQ(Read("title\nR1 1 0 1\n.TF V(1) V1\n.SENS V(1)\n.PROBE\n.DISTO 10\n.FOUR 1K V(1)\n.WIDTH OUT=80\n"
                   ".SUBCKT\n.ENDS\n.END\n"),
              0)
        << LastMessage();
}

TEST_F(SpiceTest, OptionsAndParamsBecomeTextRecords)
{
    ASSERT_EQ(Read("title\n.OPTIONS RELTOL=1E-4 ITL1=200\n.OPT NOPAGE\n.PARAM RLOAD=1K, CBIG={2*1U}\n"), 0)
        << LastMessage();
    std::vector<std::string> texts;
    for (const NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
        texts.push_back(text.text);
        EXPECT_EQ(text.scope, 0);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{".OPTIONS RELTOL=1E-4 ITL1=200", ".OPT NOPAGE",
                                               ".PARAM RLOAD=1K, CBIG={2*1U}"}));
    ASSERT_GE(FindDefine(0, "RLOAD"), 0);
    EXPECT_EQ(DefineTable()[static_cast<std::size_t>(FindDefine(0, "RLOAD"))].body, "1K");
    EXPECT_EQ(DefineTable()[static_cast<std::size_t>(FindDefine(0, "CBIG"))].body, "(2*1U)");
    EXPECT_EQ(DefineTable()[0].defineClass, kDefineClassParam);
}

TEST_F(SpiceTest, ParamWithoutValueIsRefused)
{
    EXPECT_EQ(Read("title\n.PARAM X=\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11900");
    FreeNetlistReaderBuild();
    EXPECT_EQ(Read("title\n.PARAM Y={1+2\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11900");
}

TEST_F(SpiceTest, LibraryLinesRegisterTheirFiles)
{
    WriteFile("parts.lib", "* parts\n");
    ASSERT_EQ(Read("title\n.LIB parts.lib\n.LIB \"parts.lib\"\n.LIBRARY\n"), 0) << LastMessage();
    const std::vector<std::string>& libraries = CircuitLibraries();
    std::string listed;
    for (const std::string& library : libraries) listed += library + "\n";
    ASSERT_EQ(libraries.size(), 2u) << listed;
    EXPECT_EQ(libraries[0], PathOf("parts.lib"));
    EXPECT_NE(libraries[1].find("NOM.LIB"), std::string::npos);
}

TEST_F(SpiceTest, QuotesMustCloseOnBothEnds)
{
    EXPECT_EQ(Read("title\n.INCLUDE \"half.lib\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 15047");
}

TEST_F(SpiceTest, DotCommandHelpContexts)
{
    EXPECT_EQ(DotCommandHelpContext(".tran 1n 10n", false), 7006);
    EXPECT_EQ(DotCommandHelpContext(".INC x", false), 7016);
    EXPECT_EQ(DotCommandHelpContext(".DEFINE X 1", false), 0);
    EXPECT_EQ(DotCommandHelpContext(".DEFINE X 1", true), 7020);
    EXPECT_EQ(DotCommandHelpContext(".TRANSIENT", false), 0);
    ASSERT_EQ(DotCommandTable().size(), 32u);
    EXPECT_STREQ(DotCommandTable()[31].name, "LOADOP");
}

}  // namespace
}  // namespace kq5::testing
