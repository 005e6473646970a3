// The compiler messages for names that are missing where a LOGICEXP temporary, a TRISTATE
// enable or a CONSTRAINT node is due.
#include "digital_build_test_support.h"

namespace kq5::testing {
namespace {

using DigitalProgramNamesTest = DigitalBuildTest;

TEST_F(DigitalProgramNamesTest, AMissingNameIsRefusedWithTheMessageOfItsPlace)
{
    const struct {
        const char* line;
        const char* text;
    } cases[] = {
        {"U2 LOGICEXP(1,1) $G_DPWR $G_DGND A Y G2 IO_STD LOGIC: = {A}", "Illegal <temporary value> in LOGICEXP."},
        {"U2 PINDLY(1,1,0) $G_DPWR $G_DGND A E Y IO_STD TRISTATE: ENABLE HI =",
         "Illegal <enable node> in TRISTATE."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD WIDTH: NODE =", "Illegal <node> in CONSTRAINT."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_NE(BuildText(std::string("names\n") + c.line +
                            "\n.MODEL G2 UGATE (TPLHTY=2N TPHLTY=3N)\n.MODEL IO_STD UIO (DRVH=50 DRVL=50)\n"
                            ".TRAN 1N 1U\n.END\n"),
                  0);
        EXPECT_NE(LastShownText().find(c.text), std::string::npos) << LastShownText();
        EXPECT_EQ(ShownIds().size(), 1u) << ::testing::PrintToString(ShownIds());
        TearDown();
        SetUp();
    }
}

}  // namespace
}  // namespace kq5::testing
