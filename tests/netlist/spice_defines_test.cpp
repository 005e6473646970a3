// .DEFINE and .PARAM substitution.
#include <string>

#include "netlist/defines.h"
#include "netlist/subcircuit_scopes.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class DefinesTest : public SpiceTest {
protected:
    std::string Sub(std::string_view text, int scope = 0)
    {
        std::string out;
        status_ = SubstituteDefines(out, scope, text);
        return out;
    }
    int Define(std::string_view text, int scope = 0) { return ParseDefineStatement(text, scope, DefineOrigin{}); }
    int status_ = 0;
};

TEST_F(DefinesTest, WholeTokensAreReplacedAndRescanned)
{
    ASSERT_EQ(Define(".DEFINE RLOAD 1K"), 0);
    EXPECT_EQ(Sub("rload"), "1K");
    EXPECT_EQ(Sub("RLOAD2"), "RLOAD2");
    EXPECT_EQ(Sub("r1 1 2 rload"), "R1 1 2 1K");
    ASSERT_EQ(Define(".DEFINE X Y"), 0);
    ASSERT_EQ(Define(".define y 5"), 0);
    EXPECT_EQ(Sub("X"), "5");
    EXPECT_EQ(status_, 0);
    // The text is upper-cased even when nothing matches.
    EXPECT_EQ(Sub("v(out)"), "V(OUT)");
}

TEST_F(DefinesTest, DefinesWithArguments)
{
    ASSERT_EQ(Define(".DEFINE GAIN(A,B) A*B/(A+B)"), 0);
    EXPECT_EQ(Sub("GAIN(10,20)"), "10*20/(10+20)");
    Sub("GAIN(10)");
    EXPECT_EQ(status_, kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10885");
    Sub("GAIN + 1");
    EXPECT_EQ(LastCaption(), "Error 10881");
}

TEST_F(DefinesTest, EndlessChainsAreStopped)
{
    ASSERT_EQ(Define(".DEFINE A B"), 0);
    ASSERT_EQ(Define(".DEFINE B A"), 0);
    Sub("A");
    EXPECT_EQ(status_, kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10882");
}

TEST_F(DefinesTest, ParamsApplyOnlyBetweenBraces)
{
    ASSERT_EQ(AddDefine("W", {}, "2U", 0, DefineOrigin{}, kDefineClassParam), 0);
    EXPECT_EQ(Sub("{W*2} W"), "{2U*2} W");
    // A parameter reaches every scope; a define only its own.
    EXPECT_EQ(Sub("{W}", 3), "{2U}");
    ASSERT_EQ(Define(".DEFINE LOCAL 7", 2), 0);
    EXPECT_EQ(Sub("LOCAL", 2), "7");
    EXPECT_EQ(Sub("LOCAL", 0), "LOCAL");
    EXPECT_EQ(Sub("LOCAL", 1), "LOCAL");
}

TEST_F(DefinesTest, NameChecks)
{
    ASSERT_EQ(Define(".DEFINE DUP 1"), 0);
    EXPECT_EQ(Define(".DEFINE DUP 2"), 1);
    EXPECT_EQ(LastCaption(), "Error 10886");
    EXPECT_EQ(Define(".DEFINE DUP 2", 1), 0);
    EXPECT_EQ(Define(".DEFINE"), 1);
    EXPECT_EQ(LastCaption(), "Error 10883");
    EXPECT_EQ(Define(".DEFINE 1X 5"), 1);
    EXPECT_EQ(LastCaption(), "Error 19893");
    EXPECT_EQ(Define(".DEFINE TIME 5"), 1);
    EXPECT_EQ(LastCaption(), "Error 10880");
    EXPECT_EQ(Define(".DEFINE F(A 1"), 1);
    EXPECT_EQ(LastCaption(), "Error 11900");
    EXPECT_EQ(Define("R1 1 2 3"), 0);  // no .DEFINE: nothing to do
}

TEST_F(DefinesTest, DefineBodiesAreExpandedInTheirScope)
{
    ASSERT_EQ(Define(".DEFINE VCC VDD*2", 1), 0);
    ASSERT_EQ(Define(".DEFINE VDD 5", 1), 0);
    ASSERT_EQ(ExpandDefineBodies(1), 0);
    EXPECT_EQ(DefineTable()[static_cast<std::size_t>(FindDefine(1, "VCC"))].body, "5*2");
}

TEST_F(DefinesTest, SplittingCallArguments)
{
    std::vector<std::string> pieces;
    EXPECT_EQ(SplitCallArguments(pieces, "A, (B,C) ,D)"), 3);
    EXPECT_EQ(pieces, (std::vector<std::string>{"A", "(B,C)", "D"}));
    EXPECT_EQ(SplitCallArguments(pieces, "A,B"), -1);
    EXPECT_EQ(SplitCallArguments(pieces, "A) X"), -1);
    EXPECT_EQ(SplitCallArguments(pieces, ")"), 0);
}

}  // namespace
}  // namespace kq5::testing
