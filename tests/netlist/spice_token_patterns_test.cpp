// Pattern matching of option lists and the name checks.
#include <string>

#include "netlist/token_patterns.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class PatternTest : public SpiceTest {};

TEST_F(PatternTest, GroupsTakeItemsInAnyOrder)
{
    float z0 = -1.0f, td = -1.0f;
    EXPECT_EQ(MatchTokenPattern(nullptr, "TD=1N Z0=50", "<[Z0=%f][TD=%f]>", {&z0, &td}), 0);
    EXPECT_FLOAT_EQ(z0, 50.0f);
    EXPECT_FLOAT_EQ(td, 1e-9f);
    td = -1.0f;
    EXPECT_EQ(MatchTokenPattern(nullptr, "z0=75", "<[Z0=%f][TD=%f]>", {&z0, &td}), 0);
    EXPECT_FLOAT_EQ(z0, 75.0f);
    EXPECT_FLOAT_EQ(td, -1.0f);
}

TEST_F(PatternTest, AreaOffAndInitialConditions)
{
    double area = 0, ic1 = 0, ic2 = 0;
    int off = 0;
    const char* pattern = "<[%g][OFF%d][IC=%g[,%g]]>";
    EXPECT_EQ(MatchTokenPattern(nullptr, "2 OFF IC=0.6,5", pattern, {&area, &off, &ic1, &ic2}), 0);
    EXPECT_EQ(area, 2.0);
    EXPECT_EQ(off, 1);
    EXPECT_EQ(ic1, 0.6);
    EXPECT_EQ(ic2, 5.0);
    ic2 = -1;
    off = 0;
    EXPECT_EQ(MatchTokenPattern(nullptr, "IC=-0.6", pattern, {&area, &off, &ic1, &ic2}), 0);
    EXPECT_EQ(ic1, -0.6);
    EXPECT_EQ(ic2, -1.0);
    EXPECT_EQ(off, 0);
}

TEST_F(PatternTest, GivenFlagsOfGeometry)
{
    double l = 0, w = 0;
    std::int32_t lGiven = 0, wGiven = 0;
    EXPECT_EQ(MatchTokenPattern(nullptr, "W=10U", "<[L=%t][W=%t]>", {{&l, &lGiven}, {&w, &wGiven}}), 0);
    EXPECT_EQ(lGiven, 0);
    EXPECT_EQ(wGiven, 1);
    EXPECT_DOUBLE_EQ(w, 10e-6);
}

TEST_F(PatternTest, MismatchesAreReportedOnce)
{
    float len = 0, r = 0, l = 0, g = 0, c = 0;
    const char* lossy = "<[LEN=%f][R=%f][L=%f][G=%f][C=%f]>";
    EXPECT_EQ(MatchTokenPattern(nullptr, "LENGTH=3", lossy, {&len, &r, &l, &g, &c}), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11903");
    EXPECT_NE(LastMessage().find("'LENGTH'"), std::string::npos) << LastMessage();
    win::ClearMessageBoxLog();
    EXPECT_EQ(MatchTokenPattern(nullptr, "LEN 3", lossy, {&len, &r, &l, &g, &c}), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11902");
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
    double value = 0;
    EXPECT_EQ(MatchTokenPattern(nullptr, "", "%g", {&value}), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11900");
}

TEST_F(PatternTest, LabelChecks)
{
    EXPECT_EQ(IsIllegalIdentifier("R_1"), 0);
    EXPECT_EQ(IsIllegalIdentifier("1R"), 1);
    EXPECT_EQ(IsIllegalIdentifier("R.1"), 1);
    EXPECT_EQ(CheckLabelName("R1", 0, kLabelCheckValidLabel, nullptr, -1), 0);
    EXPECT_EQ(CheckLabelName("R.1", 0, kLabelCheckValidLabel, nullptr, -1), 1);
    EXPECT_EQ(CheckLabelName("R.1", 0, kLabelCheckValidLabel | kLabelCheckDots, nullptr, -1), 0);
    EXPECT_EQ(CheckLabelName("9R", 0, kLabelCheckValidLabel, nullptr, -1), 1);
    EXPECT_EQ(CheckLabelName("9R", 0, kLabelCheckChars, nullptr, -1), 0);
    EXPECT_EQ(CheckLabelName("TIME", 0, kLabelCheckValidLabel | kLabelCheckReport, nullptr, -1), 1);
    EXPECT_EQ(LastCaption(), "Error 10880");
}

TEST_F(PatternTest, NameTables)
{
    InsertNodeName("X1.OUT", 7);
    EXPECT_EQ(LookupNodeNameTrie("X1.OUT"), 7);
    EXPECT_EQ(LookupNodeNameTrie("x1.out"), -1);
    EXPECT_EQ(LookupNodeNameTrie(""), -1);
    // Bytes outside printable ASCII are name bytes like any other, kept as the case table
    // keeps them: é (Windows-1252), its UTF-8 spelling and É are three names.
    InsertNodeName("\xE9", 3);
    InsertNodeName("\xC3\xA9", 4);
    InsertNodeName("N\x01", 5);
    EXPECT_EQ(LookupNodeNameTrie("\xE9"), 3);
    EXPECT_EQ(LookupNodeNameTrie("\xC3\xA9"), 4);
    EXPECT_EQ(LookupNodeNameTrie("N\x01"), 5);
    EXPECT_EQ(LookupNodeNameTrie("\xC9"), -1);
    FreeNameTries();
    EXPECT_EQ(LookupNodeNameTrie("X1.OUT"), -1);
    EXPECT_EQ(FindPartByNameInScope("R1", -1), nullptr);
}

}  // namespace
}  // namespace kq5::testing
