// What the reader and the build refuse, and how they say it: each refusal is shown once, names
// the construct it does not take and the line or part it stands on. Also the values and names
// that other simulators' netlists spell in ways this reader must take as they mean.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scratch_build_test.h"
#include "netlist/inductor_device.h"
#include "document/node_table.h"
#include "netlist/spice_initial_conditions.h"
#include "document/limits_rows.h"

namespace kq5::testing {
namespace {

class RefusalTest : public ScratchBuildTest {
protected:
    int Build(const std::string& netlist)
    {
        PutCircuit(netlist, "test.cir");
        return BuildText(netlist);
    }

    // Builds the netlist; the ids of the messages shown for it.
    std::vector<int> Refused(const std::string& netlist)
    {
        win::ClearMessageBoxLog();
        EXPECT_NE(Build(netlist), 0) << netlist;
        return ShownIds();
    }
    bool Builds(const std::string& netlist)
    {
        win::ClearMessageBoxLog();
        const int rc = Build(netlist);
        EXPECT_EQ(rc, 0) << LastShownText() << " " << ::testing::PrintToString(ShownIds());
        return rc == 0;
    }
    static bool Shows(const std::string& piece) { return LastShownText().find(piece) != std::string::npos; }
};

// Two inductors to couple, in series with a source and across a load.
const std::string kInductors = "V1 1 0 SIN(0 1 1K)\nR1 1 3 1\nL1 3 0 1M\nL2 2 0 1M\nR2 2 0 1K\n";

TEST_F(RefusalTest, ABadAnalysisOrInitialValueIsReportedOnceAtItsLine)
{
    const std::string body = "V1 1 0 1\nR1 1 2 1K\nC1 2 0 1U\n";
    EXPECT_EQ(Refused("t\n" + body + ".TRAN 1M ZZ+1\n"), std::vector<int>{10402});
    EXPECT_TRUE(Shows("'ZZ+1'")) << LastShownText();
    EXPECT_TRUE(Shows("Line:\t5")) << LastShownText();
    EXPECT_EQ(Refused("t\n" + body + ".IC V(2)=QQ\n.TRAN 1M 2M\n"), std::vector<int>{10402});
    EXPECT_TRUE(Shows("'QQ'")) << LastShownText();
    EXPECT_EQ(Refused("t\n" + body + ".TRAN 1M 2M*\n"), std::vector<int>{10403});
    // Values that are right still give their values.
    EXPECT_TRUE(Builds("t\n.PARAM TS=2M\n" + body + ".IC V(2)=0.5\n.TRAN 1M 2M\n"));
}

// A netlist that includes itself read its own title line as a statement ("Missing nodes").
TEST_F(RefusalTest, AFileThatIncludesItselfIsNamedAtItsLine)
{
    EXPECT_EQ(Refused("TITLE\nV1 1 0 1\nR1 1 0 1K\n.INC test.cir\n.TRAN 1M 2M\n"), std::vector<int>{13385});
    EXPECT_TRUE(Shows("test.cir")) << LastShownText();
    EXPECT_TRUE(Shows("Line:\t4")) << LastShownText();
}

// A part of an included file that the build refused was named with the circuit's own file
// and no line, so that a user hunted for it in the wrong file.
TEST_F(RefusalTest, APartOfAnIncludedFileIsNamedAtItsFileAndLine)
{
    std::filesystem::create_directories(dir_ / "vendor");
    std::ofstream(dir_ / "vendor" / "parts.lib") << "* vendor parts\nR5 1 2 1K\nD5 2 0 DNONE\n";
    EXPECT_EQ(Refused("t\nV1 1 0 1\n.INCLUDE vendor/parts.lib\n.TRAN 1M 2M\n"), std::vector<int>{10834});
    EXPECT_TRUE(Shows("D5")) << LastShownText();
    EXPECT_TRUE(Shows("Source:\t" + (dir_ / "vendor" / "parts.lib").string())) << LastShownText();
    EXPECT_TRUE(Shows("Line:\t3")) << LastShownText();
    // A part of the circuit's own text is named at its line too.
    EXPECT_EQ(Refused("t\nV1 1 0 1\nR5 1 2 1K\n\nE5 2 0 POLY(1) 1 9 0 2\n.TRAN 1M 2M\n"), std::vector<int>{10791});
    EXPECT_TRUE(Shows("E5")) << LastShownText();
    EXPECT_TRUE(Shows("Line:\t5")) << LastShownText();
}

// A model file that a part kit includes and the circuit includes too (or one named twice) stopped
// the build with "Duplicate definition." at its first model; a different model under the same
// name from another file is still refused.
TEST_F(RefusalTest, AFileIncludedTwiceIsReadOnceButAConflictingModelIsRefused)
{
    std::ofstream(dir_ / "models.lib") << ".MODEL DK D(IS=1E-14)\n.PARAM RK=2K\n";
    std::ofstream(dir_ / "kit.lib") << ".INC models.lib\n.MODEL QK NPN(BF=120)\n";
    const std::string body = "V1 1 0 1\nR1 1 2 {RK}\nD1 2 0 DK\nQ1 0 2 0 QK\n.TRAN 1M 2M\n";
    EXPECT_TRUE(Builds("t\n.INC kit.lib\n.INC models.lib\n" + body));
    EXPECT_TRUE(Builds("t\n.INC models.lib\n.INC MODELS.LIB\n.INC kit.lib\n" + body));
    // Each subcircuit call reads the file its body includes for itself.
    EXPECT_TRUE(Builds("t\n.SUBCKT CELL A\n.INC models.lib\nD1 A 0 DK\n.ENDS\n.INC models.lib\n"
                       "V1 1 0 1\nX1 1 CELL\nX2 1 CELL\nD1 1 0 DK\n.TRAN 1M 2M\n"));
    std::ofstream(dir_ / "other.lib") << ".MODEL DK D(IS=5E-14)\n";
    EXPECT_EQ(Refused("t\n.INC models.lib\n.INC other.lib\n" + body), std::vector<int>{10896});
    EXPECT_TRUE(Shows("Source:\t" + (dir_ / "other.lib").string())) << LastShownText();
}

// A library saved with a UTF-8 byte order mark had its first statement refused as an unknown
// command whose text looked right.
TEST_F(RefusalTest, AnIncludedFileMayBeginWithAByteOrderMark)
{
    std::ofstream(dir_ / "marked.lib") << "\xEF\xBB\xBF.MODEL DMARK D(IS=1E-12)\r\n";
    EXPECT_TRUE(Builds("t\n.INCLUDE marked.lib\nV1 1 0 1\nR1 1 2 1K\nD1 2 0 DMARK\n.TRAN 1M 2M\n"));
}

// A .SUBCKT without its .ENDS took every line after it: the circuit was refused for having no
// node to run, which named nothing the user wrote.
TEST_F(RefusalTest, ASubcircuitWithoutItsEndsIsNamedAtItsLine)
{
    EXPECT_EQ(Refused("TITLE\n.SUBCKT DIV A B\nR1 A B 1K\nV1 1 0 1\nR1 1 0 1K\n.TRAN 1M 2M\n.END\n"),
              std::vector<int>{10918});
    EXPECT_TRUE(Shows("DIV")) << LastShownText();
    EXPECT_TRUE(Shows("Line:\t2")) << LastShownText();
    EXPECT_TRUE(Builds("TITLE\n.SUBCKT DIV A B\nR1 A B 1K\n.ENDS\nV1 1 0 1\nR1 1 0 1K\n.TRAN 1M 2M\n.END\n"));
}

// "Nesting to deep." named the part and its file, not the line.
TEST_F(RefusalTest, AnExpressionNestedTooDeeplyIsNamedAtItsLine)
{
    const std::string nested = std::string(300, '(') + "1" + std::string(300, ')');
    EXPECT_EQ(Refused("t\nV1 1 0 1\nR1 1 0 {" + nested + "}\n.TRAN 1M 2M\n"), std::vector<int>{10431});
    EXPECT_TRUE(Shows("R1")) << LastShownText();
    EXPECT_TRUE(Shows("Line:\t3")) << LastShownText();
}

// A resistance that is no number was taken as 1e50 (1/0) or RMIN (0, LOG(-1), SQRT(-4)) and
// the run went on; a numeral of 400 digits was infinity where 1E400 was refused; and 0x10 was
// read as 0 followed by a name 10.
TEST_F(RefusalTest, AValueThatIsNoNumberIsRefusedAtItsPart)
{
    const std::string head = "t\nV1 1 0 1\nR1 1 0 ";
    for (const char* value : {"{1/0}", "{LOG(-1)}", "{SQRT(-4)}", "{0}", "0"}) {
        EXPECT_EQ(Refused(head + value + "\n.TRAN 1M 2M\n"), std::vector<int>{10922}) << value;
        EXPECT_TRUE(Shows("R1")) << LastShownText();
    }
    for (const std::string& value : {std::string("1E400"), std::string(400, '1'), std::string("0x10")}) {
        EXPECT_EQ(Refused(head + value + "\n.TRAN 1M 2M\n"), std::vector<int>{10404}) << value;
        EXPECT_TRUE(Shows("R1")) << LastShownText();
    }
    EXPECT_TRUE(Shows("'0X10'")) << LastShownText();
    EXPECT_TRUE(Builds(head + "{-SQRT(4)*1K}\n.TRAN 1M 2M\n"));
}

TEST_F(RefusalTest, AnalysisAndInitialValuesMayBeExpressionsInBraces)
{
    const std::string body = "V1 1 0 1\nR1 1 2 1K\nC1 2 0 1U\n";
    ASSERT_TRUE(Builds("t\n.PARAM TS=2M\n" + body + ".IC V(2)={TS*250}\n.TRAN {TS/4} { TS }\n"));
    EXPECT_EQ(Document().limits.transient[kLimitTRange], "0.002");
    const auto& entries = InitialConditions().entries;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_DOUBLE_EQ(entries[0].value, 0.5);
    EXPECT_EQ(Refused("t\n" + body + ".TRAN 1M {ZZ}\n"), std::vector<int>{10402});
    EXPECT_TRUE(Shows("'ZZ'")) << LastShownText();
}

TEST_F(RefusalTest, ACouplingValueMayBeAnExpression)
{
    auto coupling = [] {
        const auto k = Records<CouplingDevice>(kCouplingDeviceList);
        return k.size() == 1 ? k[0]->value : -1.0;
    };
    ASSERT_TRUE(Builds("t\n.PARAM KK=0.5\n" + kInductors + "K1 L1 L2 {KK}\n.TRAN 1U 1M\n"));
    EXPECT_DOUBLE_EQ(coupling(), 0.5);
    ASSERT_TRUE(Builds("t\n.PARAM KK=0.5\n" + kInductors + "K1 L1 L2 { KK / 2 }\n.TRAN 1U 1M\n"));
    EXPECT_DOUBLE_EQ(coupling(), 0.25);
    // A parameter of a subcircuit call, inside the subcircuit.
    ASSERT_TRUE(Builds("t\n.SUBCKT PAIR A B PARAMS: KX=0.1\nR1 A C 1\nL1 C 0 1M\nL2 B 0 1M\nK1 L1 L2 {KX}\n.ENDS\n"
                       "V1 1 0 SIN(0 1 1K)\nX1 1 2 PAIR PARAMS: KX=0.8\nR2 2 0 1K\n.TRAN 1U 1M\n"));
    EXPECT_DOUBLE_EQ(coupling(), 0.8);
    EXPECT_EQ(Refused("t\n" + kInductors + "K1 L1 L2 {KK\n.TRAN 1U 1M\n"), std::vector<int>{11900});
}

TEST_F(RefusalTest, ACouplingAboveOneIsRefusedWithThePart)
{
    EXPECT_EQ(Refused("t\n" + kInductors + "KX L1 L2 1.005\n.TRAN 1U 1M\n"), std::vector<int>{10970});
    EXPECT_TRUE(Shows("1.005")) << LastShownText();
    EXPECT_TRUE(Shows("KX")) << LastShownText();
    EXPECT_EQ(Refused("t\n" + kInductors + "KX L1 L2 -1.5\n.TRAN 1U 1M\n"), std::vector<int>{10970});
    EXPECT_EQ(Refused("t\n.PARAM KK=2\n" + kInductors + "KX L1 L2 {KK}\n.TRAN 1U 1M\n"), std::vector<int>{10970});
    EXPECT_TRUE(Builds("t\n" + kInductors + "KX L1 L2 1\n.TRAN 1U 1M\n"));
    EXPECT_TRUE(Builds("t\n" + kInductors + "KX L1 L2 0.999\n.TRAN 1U 1M\n"));
}

TEST_F(RefusalTest, ANodeNameIsOneNodeWhateverItsBytes)
{
    // Windows-1252, UTF-8 and a control byte: each name is one node, used twice.
    for (const std::string name : {"\xE9", "\xC3\xA9", "N\x01", "\xFF\x80"}) {
        ASSERT_TRUE(Builds("t\nV1 1 0 1\nR1 1 " + name + " 1K\nR2 " + name + " 0 1K\n.TRAN 1M 2M\n")) << name;
        EXPECT_EQ(AnalogNodeCount(), 2) << name;
        EXPECT_GT(LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeAnalog), 0) << name;
    }
    // Upper and lower case of a letter above 127 are two names, as the case table has them.
    ASSERT_TRUE(Builds("t\nV1 1 0 1\nR1 1 \xE9 1K\nR2 \xC9 0 1K\nR3 \xE9 \xC9 1K\n.TRAN 1M 2M\n"));
    EXPECT_EQ(AnalogNodeCount(), 3);
}

TEST_F(RefusalTest, ConstructsOfOtherSimulatorsAreNamedWithTheirLine)
{
    const std::string rest = "V1 1 0 1\nR1 1 2 1K\nR2 2 0 1K\n.TRAN 1N 10N\n";
    struct Case {
        std::string line;
        int id;
        std::string shown;
    };
    const Case cases[] = {
        {"V2 3 0 PULSE(0 1 0 1N 1N 1U 2U 5)\nR3 3 0 1K", 10420, "PULSE(0 1 0 1N 1N 1U 2U 5)"},
        {"V2 3 0 DC 0 PULSE(0 1 0 1N 1N 1U 2U 5)\nR3 3 0 1K", 10420, "PULSE("},
        {"O1 2 0 3 0 LMOD\nR3 3 0 1K", 10972, "found '0'"},
        {"N1 2 0 NMOD", 10971, "found 'nothing'"},
        {".MODEL NCH.1 NMOS LEVEL=1 VTO=1", 10973, "'NCH.1'"},
        {".LIB \"models.lib\" TT", 10974, "'TT'"},
        {".LIB models.lib TT", 10974, "'TT'"},
        {".PARAM VV=1\n.PARAM RR='VV+1'", 10975, "'VV+1'"},
        {".PARAM VV=1 RR='VV + 1'", 10975, "'VV+1'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Refused("t\n" + c.line + "\n" + rest), std::vector<int>{c.id}) << c.line;
        EXPECT_TRUE(Shows(c.shown)) << c.line << "\n" << LastShownText();
        EXPECT_TRUE(Shows("Line:\t2") || Shows("Line:\t3") || Shows("Part:")) << c.line << "\n" << LastShownText();
    }
    // A library may hold such parameters beside the ones a circuit uses.
    std::ofstream(dir_ / "params.lib") << ".PARAM GOOD=2K BAD='GOOD+1'\n.PARAM ALSO=3K\n";
    EXPECT_TRUE(Builds("t\n.LIB params.lib\nR3 1 0 {GOOD+ALSO}\n" + rest));
    // Seven PULSE values, a file name alone, a braced parameter: as before.
    EXPECT_TRUE(Builds("t\nV2 3 0 PULSE(0 1 0 1N 1N 1U 2U)\nR3 3 0 1K\n" + rest));
    EXPECT_TRUE(Builds("t\n.PARAM VV=1\n.PARAM RR={VV+1}\nR3 1 0 {RR}\n" + rest));
}

}  // namespace
}  // namespace kq5::testing
