// The SPICE export's netlist writer: title, sections, order, wrapping, options and control lines.
#include "netlist/defines.h"
#include "netlist/spice_export_support.h"
#include "spice_export_test_support.h"

namespace kq5::testing {
namespace {

std::string ExportRunTempLine(const std::string& text) { return TempLineText(text); }
std::string ConvertExpression(const std::string& text) { return ConvertExpressionToSpice(text, 0); }

const char* kDivider =
    "divider\n"
    "V1 1 0 DC 5\n"
    "R10 1 2 1k\n"
    "R2 2 0 1k\n"
    ".TRAN 1u 10u\n"
    ".END\n";

TEST_F(SpiceExportTest, TitleSectionsAndPartsCountPerDialect)
{
    const std::string pspice = Export(kDivider, kSpiceDialectPspice);
    EXPECT_EQ(pspice.substr(0, pspice.find('\n')), "CIRCUIT.CIR TRANSIENT ANALYSIS");
    // Natural order among the part lines: R2 before R10, the lines of other kinds in place.
    EXPECT_EQ(LinesStarting(pspice, "R") + LinesStarting(pspice, "V"), "R2 2 0 1K\nR10 1 2 1K\nV1 1 0 DC 5\n");
    EXPECT_LT(pspice.find("R2 2 0"), pspice.find("R10 1 2"));
    EXPECT_NE(pspice.find(".PROBE\n"), std::string::npos);
    EXPECT_NE(pspice.find("***  Parts Count\n** Resistor         2\n** VSpice           1\n.END\n"), std::string::npos);
    EXPECT_EQ(pspice.find("Ground"), std::string::npos);

    const std::string spice2g = Export(kDivider, kSpiceDialect2G);
    EXPECT_EQ(spice2g.find(".PROBE"), std::string::npos);
    EXPECT_EQ(spice2g, CopyUpperCase(spice2g)) << "SPICE 2G is written in upper case";

    EXPECT_EQ(Export(kDivider, kSpiceDialectSpice3, kExportTransient | kExportAc).substr(0, 30),
              "CIRCUIT.CIR MULTIPLE ANALYSES\n");
    const std::string none = Export(kDivider, kSpiceDialectSpice3, 0);
    EXPECT_EQ(none.substr(0, 30), "CIRCUIT.CIR MULTIPLE ANALYSES\n");
    EXPECT_EQ(none.find(".TEMP"), std::string::npos);
    EXPECT_EQ(none.find(".TRAN"), std::string::npos);
}

TEST_F(SpiceExportTest, OptionsLinePerDialect)
{
    const std::string pspice = Export(kDivider, kSpiceDialectPspice);
    EXPECT_NE(pspice.find(".OPTIONS ACCT LIST OPTS  ABSTOL=1pA CHGTOL=.01pC"), std::string::npos);
    EXPECT_EQ(pspice.find("DEFAD"), std::string::npos) << "a DEFAD of 0 is left out";
    EXPECT_NE(pspice.find("DIGFREQ=10GHz"), std::string::npos);
    EXPECT_EQ(pspice.find("METHOD="), std::string::npos);
    EXPECT_EQ(pspice.find("TRYTOCOMPACT"), std::string::npos);
    const std::string spice2g = Export(kDivider, kSpiceDialect2G);
    EXPECT_EQ(spice2g.find("DIGFREQ"), std::string::npos);
    const std::string spice3 = Export(kDivider, kSpiceDialectSpice3);
    EXPECT_NE(spice3.find("METHOD=TRAP"), std::string::npos);
    // A changed value is written as a number; DEFAD given is written.
    const std::string changed =
        Export("opts\nV1 1 0 1\nR1 1 0 1\n.OPTIONS ABSTOL=2p DEFAD=1e-12\n.TRAN 1u 10u\n.END\n", kSpiceDialectPspice);
    EXPECT_NE(changed.find(" ABSTOL=2e-12"), std::string::npos);
    EXPECT_NE(changed.find(" DEFAD=1e-12"), std::string::npos);
}

TEST_F(SpiceExportTest, LongLinesWrapAtWidthWithPlus)
{
    std::string values;
    for (int i = 0; i < 40; ++i) values += " " + std::to_string(i) + "u " + std::to_string(i % 2);
    const std::string text = Export("pwl\nV1 1 0 PWL(" + values.substr(1) + ")\nR1 1 0 1k\n.TRAN 1u 40u\n.END\n",
                                    kSpiceDialectPspice);
    std::istringstream in(text);
    bool continued = false;
    for (std::string line; std::getline(in, line);) {
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("+ ", 0) == 0 && line.find("U ") != std::string::npos) continued = true;
    }
    EXPECT_TRUE(continued) << text;
    // Nothing is cut off however long a line grows.
    std::string many;
    for (int i = 0; i < 400; ++i) many += " " + std::to_string(i) + "n " + std::to_string(i % 3);
    const std::string longText = Export("pwl\nV1 1 0 PWL(" + many.substr(1) + ")\nR1 1 0 1k\n.TRAN 1u 40u\n.END\n",
                                        kSpiceDialectPspice);
    EXPECT_NE(longText.find("399N 0)"), std::string::npos);
    // A quoted file name is never cut: readers join a continued line with a blank.
    const std::string path = "\"/home/engineer/projects/power-supply-rev-c/simulation/libraries/vendor/models.lib\"";
    const std::string lib = WrapSpiceLine(".LIB " + path, 80);
    EXPECT_NE(lib.find(path), std::string::npos) << lib;
    std::string two = ".LIB ";
    two += path;
    two += ' ';
    two += path;
    const std::string beside = WrapSpiceLine(two, 80);
    EXPECT_EQ(beside.find(path), beside.rfind(path) - path.size() - 3) << beside;
}

TEST_F(SpiceExportTest, TemperatureLists)
{
    EXPECT_EQ(ExportRunTempLine("27"), ".TEMP 27");
    EXPECT_EQ(ExportRunTempLine("100,0,25"), ".TEMP 0 25 50 75 100");
    // A step of the wrong sign or of 0 still gives a finite list.
    EXPECT_EQ(ExportRunTempLine("0,100,-25"), ".TEMP 0 25 50 75 100");
    EXPECT_EQ(ExportRunTempLine("100,0,0"), ".TEMP 0");
    // Every value of a long list is written (wrapped, not cut at 665 characters).
    const std::string list = ExportRunTempLine("1000,0,1");
    EXPECT_NE(list.find(" 999 1000"), std::string::npos);
    // A list no analysis would walk is bounded as the analyses bound their runs.
    const std::string huge = ExportRunTempLine("0,1000000,0.001");
    EXPECT_EQ(std::count(huge.begin(), huge.end(), ' '), 1000000);
    const std::string text = Export("temps\nV1 1 0 1\nR1 1 0 1\n.TEMP 0 25 50\n.TRAN 1u 10u\n.END\n", kSpiceDialectSpice3);
    EXPECT_NE(text.find(".TEMP "), std::string::npos);
}

TEST_F(SpiceExportTest, ExpressionsToSpiceSyntax)
{
    EXPECT_EQ(ConvertExpression("LN(X)+LOG(Y)*DB(V(2))"), "LOG(X)+LOG10(Y)*VDB(V(2))");
    EXPECT_EQ(ConvertExpression("LNX+DBA"), "LNX+DBA");
    EXPECT_EQ(ConvertExpression("2*PI*T"), "2*3.141592653589793*TIME");
    EXPECT_EQ(ConvertExpression("1E-3*ATN(2)"), "1E-3*ATAN(2)");
}

TEST_F(SpiceExportTest, ParameterReferencesAreBraced)
{
    ASSERT_EQ(AddDefine("R1", {}, "1K", 0, DefineOrigin{}, kDefineClassParam), 0);
    Part(kComponentResistor, "R5", {1, 0}, {{kAttrValue, "R1*2"}});
    Part(kComponentResistor, "R6", {1, 0}, {{kAttrValue, "R1"}});
    Part(kComponentResistor, "R7", {1, 0}, {{kAttrValue, "2K"}});
    const std::string text = WriteParts(kSpiceDialectPspice);
    EXPECT_NE(text.find("R5 1 0 {{R1}*2}\n"), std::string::npos) << text;
    EXPECT_NE(text.find("R6 1 0 {R1}\n"), std::string::npos) << text;
    EXPECT_NE(text.find("R7 1 0 2K\n"), std::string::npos) << text;
    // A .param line is one expression: no braces inside it.
    EXPECT_NE(text.find(".param R1=1K\n"), std::string::npos) << text;
    EXPECT_EQ(BraceParamReferencesIn("2*R1", 0, true, false), "{2*R1}");
}

}  // namespace
}  // namespace kq5::testing
