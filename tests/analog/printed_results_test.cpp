// What a user reads in the numeric output files of a batch run: currents in AC, the columns of
// a DC sweep, circuits that follow one another in a batch, temperature lists and pulse sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <complex>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "../core/file_test_support.h"
#include "program_output_support.h"

namespace kq5 {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = 3.14159265358979;

class PrintedResultsTest : public test::ScratchDirTest {
protected:
    // Runs the program on a command file of the given lines; the job must report no error.
    void RunJobs(const std::string& lines)
    {
        ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
        WriteFile("jobs.txt", lines);
        ASSERT_EQ(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt"), 0) << ReadText("run.log");
        ASSERT_EQ(ReadText("jobs.DOC").find("Error"), std::string::npos) << ReadText("jobs.DOC");
    }

    std::vector<test::ValueTable> Tables(const std::string& file) { return test::ValueTables(ReadText(file)); }
};

// A source driving R1 into C1 parallel to L1 + R2. The source's current, the capacitor's and
// the inductor's change with the frequency; the values are large enough for the printed digits.
TEST_F(PrintedResultsTest, AcCurrentsOfSourcesCapacitorsAndInductorsFollowTheFrequency)
{
    WriteFile("tank.cir", "AC CURRENTS\nV1 1 0 DC 1 AC 100\nR1 1 2 10\nC1 2 0 100U\nL1 2 3 10M\nR2 3 0 10\n"
                          ".AC DEC 5 10 1K\n"
                          ".PRINT AC IR(V1) II(V1) IR(C1) II(C1) IR(L1) II(L1) IM(C1) IP(L1) IDB(L1) IR(R1)\n.END\n");
    RunJobs("tank.cir /A\n");
    const std::vector<test::ValueTable> tables = Tables("tank.ANO");
    ASSERT_EQ(tables.size(), 1u) << ReadText("tank.ANO");
    const std::vector<std::vector<double>>& rows = tables[0].rows;
    ASSERT_EQ(rows.size(), 11u) << ReadText("tank.ANO");
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const double f = 10.0 * std::pow(10.0, static_cast<double>(k) / 5.0);
        const Complex jw(0.0, 2.0 * kPi * f);
        const Complex zl = 10.0 + jw * 10e-3;
        const Complex zc = 1.0 / (jw * 100e-6);
        const Complex total = 100.0 / (10.0 + zl * zc / (zl + zc));
        const Complex v2 = 100.0 - 10.0 * total;
        const Complex ic = v2 / zc, il = v2 / zl;
        const std::vector<double> expected = {f * 1e-3,
                                              -total.real(),
                                              -total.imag(),
                                              ic.real(),
                                              ic.imag(),
                                              il.real(),
                                              il.imag(),
                                              std::abs(ic),
                                              std::arg(il) * 180.0 / kPi,
                                              20.0 * std::log10(std::abs(il)),
                                              total.real()};
        ASSERT_EQ(rows[k].size(), expected.size()) << k;
        for (std::size_t c = 0; c < expected.size(); ++c)
            EXPECT_NEAR(rows[k][c], expected[c], 2e-3) << "column " << c << " at " << f << " Hz";
    }
}

// The operating-point report of a diode circuit: L1 feeds an unbiased diode and carries no
// current, as ngspice's l1#branch says (0); the diode's stamp is floored at 1e-50 A and used to
// come out as the inductor's current "-1.0000000000000e-50". L2 carries (5 - 0.5) / 1k.
TEST_F(PrintedResultsTest, TheOperatingPointReportPrintsNoFlooredCurrents)
{
    WriteFile("idle.cir", "IDLE\nV1 1 0 DC 0\nL1 1 2 10M\nD1 2 0 DX\nV3 3 0 DC 5\nR3 3 4 1K\nL2 4 5 1M\n"
                          "V5 5 0 DC 0.5\n.MODEL DX D(IS=1E-14)\n.TRAN 1U 2U\n.PRINT TRAN V(2)\n.END\n");
    RunJobs("idle.cir /T\n");
    const std::string out = ReadText("idle.TNO");
    EXPECT_EQ(out.find("e-50"), std::string::npos) << out;
    EXPECT_NE(out.find("L1                0   L2              4.5M  "), std::string::npos) << out;
}

// The units under the headings: a voltage between two nodes and a resistor's current are volts and
// amperes as a node voltage and a source current are (they used to print "( )" and "(m)").
TEST_F(PrintedResultsTest, EveryVoltageAndCurrentColumnNamesItsUnit)
{
    WriteFile("units.cir", "UNITS\nV1 1 0 PULSE(0 1 0 1N 1N 1U 2U)\nR1 1 3 1K\nC1 3 0 1N\n.TRAN 10N 2U\n"
                           ".PRINT TRAN I(R1) V(1,3) V(3) I(V1)\n.END\n");
    RunJobs("units.cir /T\n");
    std::istringstream lines(ReadText("units.TNO"));
    std::string line;
    while (std::getline(lines, line) && line.find("I(R1)") == std::string::npos) {
    }
    std::getline(lines, line);
    EXPECT_EQ(line, "    (uSec)      (mA)       (V)      (mV)      (mA)") << ReadText("units.TNO");
}

// Headings longer than the numbers were cut to their width: V(OUT1)-V(IN) and V(OUT1)-V(REF) both
// read "V(OUT1)-V", and an IMPORT of the file could not find either. Such a column is as wide as
// its heading, the numbers right-aligned under it, in the stored rows of AC and the
// interpolated ones of a sweep alike.
TEST_F(PrintedResultsTest, ALongHeadingIsPrintedWholeAboveItsColumn)
{
    WriteFile("long.cir", "LONG\nVIN IN 0 DC 1 AC 1\nVREF REF 0 0.5\nR1 IN OUT1 1K\nR2 OUT1 0 3K\n"
                          "C1 OUT1 0 1U\n.DC VIN 0 8 2\n.AC DEC 2 10 1K\n"
                          ".PRINT DC V(OUT1)-V(IN) V(OUT1)-V(REF) V(OUT1)\n"
                          ".PRINT AC VDB(OUT1) VDB(IN) V(OUT1)-V(IN)\n.END\n");
    RunJobs("long.cir /D /A\n");
    for (const char* file : {"long.DNO", "long.ANO"}) {
        const std::string text = ReadText(file);
        const std::vector<test::ValueTable> tables = Tables(file);
        ASSERT_EQ(tables.size(), 1u) << text;
        const std::vector<std::string> dc = {"V(VIN)", "V(OUT1)-V(IN)", "V(OUT1)-V(REF)", "V(OUT1)"};
        const std::vector<std::string> ac = {"F", "DB(V(OUT1))", "DB(V(IN))", "V(OUT1)-V(IN)"};
        EXPECT_EQ(tables[0].names, file == std::string("long.DNO") ? dc : ac) << text;
        // Each heading ends in the column where the numbers below it end.
        std::istringstream lines(text);
        std::string heading, line;
        while (std::getline(lines, heading) && heading.find("V(OUT1)-V(IN)") == std::string::npos) {
        }
        std::getline(lines, line);  // the units
        ASSERT_TRUE(std::getline(lines, line)) << text;
        std::vector<std::size_t> headingEnds, cellEnds;
        for (std::size_t i = 0; i < heading.size(); ++i)
            if (heading[i] != ' ' && (i + 1 == heading.size() || heading[i + 1] == ' ')) headingEnds.push_back(i);
        for (std::size_t i = 0; i < line.size(); ++i)
            if (line[i] != ' ' && (i + 1 == line.size() || line[i + 1] == ' ')) cellEnds.push_back(i);
        EXPECT_EQ(headingEnds, cellEnds) << text;
    }
    const std::vector<test::ValueTable> dc = Tables("long.DNO");
    ASSERT_GE(dc[0].rows.size(), 3u);
    for (const std::vector<double>& r : dc[0].rows) {
        ASSERT_EQ(r.size(), 4u);
        EXPECT_NEAR(r[1], -0.25 * r[0], 1e-3);
        EXPECT_NEAR(r[2], 0.75 * r[0] - 0.5, 1e-3);
    }
}

TEST_F(PrintedResultsTest, ADcSweepPrintsTheColumnOfTheSweptSourcesNode)
{
    const std::string circuit = "VDD 5 0 1\nR1 5 1 1K\nR2 1 0 3K\n.DC VDD 0 10 1\n";
    WriteFile("both.cir", "BOTH\n" + circuit + ".PRINT DC V(1) V(5)\n.END\n");
    WriteFile("alone.cir", "ALONE\n" + circuit + ".PRINT DC V(5)\n.END\n");
    RunJobs("both.cir /D\nalone.cir /D\n");

    const std::vector<test::ValueTable> both = Tables("both.DNO");
    ASSERT_EQ(both.size(), 1u) << ReadText("both.DNO");
    EXPECT_EQ(both[0].names, (std::vector<std::string>{"V(VDD)", "V(1)", "V(5)"}));
    // The rows stand on the swept values: 0, 1, ... 10.
    ASSERT_EQ(both[0].rows.size(), 11u);
    for (std::size_t k = 0; k < both[0].rows.size(); ++k) {
        const std::vector<double>& r = both[0].rows[k];
        ASSERT_EQ(r.size(), 3u) << ReadText("both.DNO");
        EXPECT_NEAR(r[0], static_cast<double>(k), 1e-6);
        EXPECT_NEAR(r[1], 0.75 * r[0], 1e-3);
        EXPECT_NEAR(r[2], r[0], 1e-3);
    }

    // Asked for alone, the node's column stands beside the sweep's.
    const std::vector<test::ValueTable> alone = Tables("alone.DNO");
    ASSERT_EQ(alone.size(), 1u) << ReadText("alone.DNO");
    EXPECT_EQ(alone[0].names, (std::vector<std::string>{"V(VDD)", "V(5)"}));
    for (const std::vector<double>& r : alone[0].rows) {
        ASSERT_EQ(r.size(), 2u) << ReadText("alone.DNO");
        EXPECT_NEAR(r[1], r[0], 1e-3);
    }
}

// Output items written as SPICE programs write them: an expression without blanks is one
// column (it was split into V(1) and a column "*1E-3" the run refused), and plot limits come
// lower first (0 10 was refused as an illegal range).
TEST_F(PrintedResultsTest, ExpressionItemsAreOneColumnAndPlotLimitsReadLowerFirst)
{
    WriteFile("expr.cir", "EXPR\nVDD 5 0 1\nR1 5 1 1K\nR2 1 0 3K\n.DC VDD 0 10 1\n"
                          ".PRINT DC V(1) V(1)*1E-3 V(5)-V(1) (V(5)+V(1))/2\n.PLOT DC V(1) 0 10\n.END\n");
    RunJobs("expr.cir /D\n");
    const std::vector<test::ValueTable> tables = Tables("expr.DNO");
    ASSERT_EQ(tables.size(), 1u) << ReadText("expr.DNO");
    ASSERT_EQ(tables[0].rows.size(), 11u) << ReadText("expr.DNO");
    for (const std::vector<double>& r : tables[0].rows) {
        ASSERT_EQ(r.size(), 5u) << ReadText("expr.DNO");
        EXPECT_NEAR(r[1], 0.75 * r[0], 1e-3);
        EXPECT_NEAR(r[2], 0.75 * r[0], 1e-3);  // printed in milli
        EXPECT_NEAR(r[3], 0.25 * r[0], 1e-3);
        EXPECT_NEAR(r[4], 0.875 * r[0], 1e-3);
    }
}

// The points a sweep computes, from the run statistics of the batch: the Total Solutions column.
int SolutionsOfJob(const std::string& doc, const std::string& circuit)
{
    std::istringstream lines(doc);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(circuit, 0) != 0) continue;
        std::istringstream words(line.substr(circuit.size()));
        std::string option;
        long iterations = 0, rejected = 0, solutions = -1;
        words >> option >> iterations >> rejected >> solutions;
        return static_cast<int>(solutions);
    }
    return -1;
}

// A swept current source drives its circuit and heads the X column as a current; every sweep
// computes its final point; neither the rows nor the points computed follow the size of the
// values (the step control once measured every curve against a span of 20).
TEST_F(PrintedResultsTest, ADcSweepReachesItsEndAndItsPointsDoNotFollowTheSizeOfTheValues)
{
    WriteFile("isrc.cir", "ISRC\nI1 0 1 DC 1\nR9 1 0 1\n.DC I1 0 10 5\n.PRINT DC V(1)\n.END\n");
    WriteFile("short.cir", "SHORT\nV1 1 0 1\nR9 1 0 0.1\n.DC V1 0 1 0.5\n.PRINT DC I(V1)\n.END\n");
    WriteFile("large.cir", "LARGE\nV1 1 0 1\nR9 1 0 1M\n.DC V1 0 10K 5K\n.PRINT DC I(V1)\n.END\n");
    WriteFile("huge.cir", "HUGE\nI1 0 1 DC 1\nR9 1 0 1\n.DC I1 0 1E6 0.5E6\n.PRINT DC V(1)\n.END\n");
    RunJobs("isrc.cir /D\nshort.cir /D\nlarge.cir /D\nhuge.cir /D\n");

    const std::vector<test::ValueTable> isrc = Tables("isrc.DNO");
    ASSERT_EQ(isrc.size(), 1u) << ReadText("isrc.DNO");
    EXPECT_EQ(isrc[0].names, (std::vector<std::string>{"I(I1)", "V(1)"}));
    // Two intervals on the .DC line: the table's least, five rows from 0 to 10.
    ASSERT_EQ(isrc[0].rows.size(), 5u) << ReadText("isrc.DNO");
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_NEAR(isrc[0].rows[k][0], 2.5 * static_cast<double>(k), 1e-9);
        EXPECT_NEAR(isrc[0].rows[k][1], isrc[0].rows[k][0], 1e-3) << ReadText("isrc.DNO");
    }
    // The last row is the final value and its result, each in its column's scale: 1 V and
    // -10 A; 10 KV and -10 mA; 1 MEGA and 1 MEGV.
    const struct {
        const char* file;
        double x, y;
    } ends[] = {{"short.DNO", 1.0, -10.0}, {"large.DNO", 10.0, -10.0}, {"huge.DNO", 1.0, 1.0}};
    for (const auto& end : ends) {
        const std::vector<test::ValueTable> t = Tables(end.file);
        ASSERT_EQ(t.size(), 1u) << ReadText(end.file);
        ASSERT_EQ(t[0].rows.size(), 5u) << ReadText(end.file);
        EXPECT_DOUBLE_EQ(t[0].rows.back()[0], end.x) << ReadText(end.file);
        EXPECT_NEAR(t[0].rows.back()[1], end.y, 1e-3) << ReadText(end.file);
    }
    const std::string doc = ReadText("jobs.DOC");
    const int points = SolutionsOfJob(doc, "short.cir");
    ASSERT_GT(points, 2) << doc;
    EXPECT_EQ(SolutionsOfJob(doc, "large.cir"), points) << doc;
    EXPECT_EQ(SolutionsOfJob(doc, "huge.cir"), points) << doc;
    EXPECT_EQ(SolutionsOfJob(doc, "isrc.cir"), points) << doc;
}

// The rows of a DC sweep are computed points, not values read off a straight line between the
// points the step control chose: a voltage-controlled switch turning on between 1 V and 2 V
// printed 0.308 mA at 1.5 V, where its resistance is sqrt(RON * ROFF) and the current 0.240 mA.
TEST_F(PrintedResultsTest, TheRowsOfADcSweepStandOnComputedPoints)
{
    WriteFile("switch.cir", "SWITCH\nVC 1 0 0\nV2 2 0 1\nS1 2 3 1 0 SMOD\nRL 3 0 1K\n"
                            ".MODEL SMOD VSWITCH(RON=10 ROFF=1MEG VON=2 VOFF=1)\n.DC VC 0 3 0.25\n"
                            ".PRINT DC I(RL)\n.END\n");
    RunJobs("switch.cir /D\n");
    const std::vector<std::vector<double>> rows = test::TableRows(ReadText("switch.DNO"));
    ASSERT_EQ(rows.size(), 13u) << ReadText("switch.DNO");
    const double ron = 10.0, roff = 1e6, von = 2.0, voff = 1.0;
    for (const std::vector<double>& row : rows) {
        const double v = row[0];
        double r = v >= von ? ron : roff;
        if (v > voff && v < von) {
            const double lm = std::log(std::sqrt(ron * roff)), lr = std::log(ron / roff);
            const double vm = (von + voff) / 2.0, vd = von - voff;
            r = std::exp(lm + 3.0 * lr * (v - vm) / (2.0 * vd) - 2.0 * lr * std::pow(v - vm, 3.0) / std::pow(vd, 3.0));
        }
        EXPECT_NEAR(row[1], 1000.0 / (r + 1000.0), 2e-3) << "I(RL) in mA at " << v << " V";
    }
}

// Output characteristics of a transistor from a base current of 0: the first curve is flat and
// the run rescales its axis to it. The next curves are measured against their own values, not
// that span (which once made them take hundreds of thousands of points per microampere), and
// the last is the curve the same base current gives alone.
TEST_F(PrintedResultsTest, ANestedSweepFromAFlatCurveTakesItsUsualPoints)
{
    const std::string npn = "VCE C 0 DC 0\nIB 0 B DC 2U\nQ1 C B 0 QMOD\n.MODEL QMOD NPN(BF=150 VAF=80)\n";
    WriteFile("family.cir", "FAMILY\n" + npn + ".DC VCE 0 10 0.5 IB 0 2U 1U\n.PRINT DC I(VCE)\n.END\n");
    WriteFile("alone.cir", "ALONE\n" + npn + ".DC VCE 0 10 0.5\n.PRINT DC I(VCE)\n.END\n");
    RunJobs("family.cir /D\nalone.cir /D\n");
    const std::string doc = ReadText("jobs.DOC");
    const int alone = SolutionsOfJob(doc, "alone.cir");
    ASSERT_GT(alone, 2) << doc;
    EXPECT_LE(SolutionsOfJob(doc, "family.cir"), 4 * alone) << doc;
    const std::vector<test::ValueTable> family = Tables("family.DNO");
    const std::vector<test::ValueTable> single = Tables("alone.DNO");
    ASSERT_EQ(family.size(), 3u) << ReadText("family.DNO");
    ASSERT_EQ(single.size(), 1u) << ReadText("alone.DNO");
    ASSERT_EQ(family[2].rows.size(), single[0].rows.size());
    EXPECT_EQ(family[2].units, single[0].units);
    for (std::size_t k = 0; k < single[0].rows.size(); ++k)
        EXPECT_NEAR(family[2].rows[k][1], single[0].rows[k][1], 1e-3) << ReadText("family.DNO");
    // Each table of the family names the base current it was swept at.
    const char* currents[] = {"IB = 0", "IB = 1e-06", "IB = 2e-06"};
    for (std::size_t k = 0; k < family.size(); ++k) {
        const std::string& line = family[k].temperatureLine;
        EXPECT_EQ(line.substr(line.size() - std::strlen(currents[k])), currents[k]) << ReadText("family.DNO");
    }
    EXPECT_EQ(single[0].temperatureLine.find("IB"), std::string::npos);
}

// A first point that Newton cannot reach within ITL2 is found by stepping a shunt conductance
// down to nothing. The devices do not see the shunt change, so each of those solves must still
// solve: otherwise the point keeps the voltages of the first, heavily shunted solve (here the
// base at 64 mV and the collector at 1.5 V) and prints them as the circuit's.
TEST_F(PrintedResultsTest, AFirstPointReachedByGminSteppingPrintsTheCircuitsOwnValues)
{
    const std::string stage = "VCC 9 0 9\nVIN 1 0 0.7\nRB 1 2 10K\nRC 9 3 5K\nQ1 3 2 0 QN\n"
                              ".MODEL QN NPN BF=100 IS=1E-15\n.DC VCC 9 10 0.5\n.PRINT DC V(3) V(2)\n";
    WriteFile("direct.cir", "DIRECT\n" + stage + ".END\n");
    WriteFile("stepped.cir", "STEPPED\n" + stage + ".OPTIONS ITL2=6\n.END\n");
    RunJobs("direct.cir /D\nstepped.cir /D\n");
    const std::vector<test::ValueTable> direct = Tables("direct.DNO");
    const std::vector<test::ValueTable> stepped = Tables("stepped.DNO");
    ASSERT_EQ(direct.size(), 1u) << ReadText("direct.DNO");
    ASSERT_EQ(stepped.size(), 1u) << ReadText("stepped.DNO");
    ASSERT_FALSE(direct[0].rows.empty());
    ASSERT_EQ(stepped[0].rows.size(), direct[0].rows.size()) << ReadText("stepped.DNO");
    EXPECT_NEAR(direct[0].rows[0][1], 7.842, 2e-3) << ReadText("direct.DNO");
    for (std::size_t k = 0; k < direct[0].rows.size(); ++k)
        for (std::size_t c = 1; c < 3; ++c)
            EXPECT_NEAR(stepped[0].rows[k][c], direct[0].rows[k][c], 2e-3) << ReadText("stepped.DNO");
}

// A chain of 60 transistor stages, each driving the next through a divider: the order kept
// from the last point leaves a zero pivot, and the pivots that stand before it leave none for
// the rest. The matrix is not singular: ordered afresh it solves (values as ngspice 39 prints).
TEST_F(PrintedResultsTest, AChainWhoseOldOrderFailsIsOrderedAfreshNotCalledSingular)
{
    std::string chain = "CHAIN\nVCC VCC 0 10\nVIN 1 0 0.7\n";
    for (int i = 1; i <= 60; ++i) {
        const std::string n = std::to_string(i), next = std::to_string(i + 1);
        chain += "RB" + n + " " + n + " B" + n + " 10K\nQ" + n + " C" + n + " B" + n + " 0 QN\nRC" + n + " VCC C" + n +
                 " 5K\nRD" + n + " C" + n + " " + next + " 50K\nRG" + n + " " + next + " 0 8K\n";
    }
    WriteFile("chain.cir", chain + ".MODEL QN NPN BF=100 IS=1E-15\n.DC VIN 0.7 0.8 0.1\n.PRINT DC V(C1) V(C2) V(C3)\n.END\n");
    RunJobs("chain.cir /D\n");
    const std::vector<test::ValueTable> t = Tables("chain.DNO");
    ASSERT_EQ(t.size(), 1u) << ReadText("chain.DNO");
    ASSERT_EQ(t[0].rows.size(), 5u) << ReadText("chain.DNO");
    const std::vector<double> first = {8.1257, 0.1654, 9.1863}, last = {5.1318, 8.2551, 0.1585};
    for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(t[0].rows.front()[c + 1], first[c], 2e-3) << ReadText("chain.DNO");
        EXPECT_NEAR(t[0].rows.back()[c + 1], last[c], 2e-3) << ReadText("chain.DNO");
    }
}

// A ring of eight differential stages with emitter followers, biased by current sources: the
// ordering's threshold lets the pivots of its identical stages grow until the last one is lost,
// though the matrix is far from singular. Ordered with a stricter threshold it solves, at the
// balanced point ngspice 39 prints (O0 4.49636 V, IN0 3.74761 V).
TEST_F(PrintedResultsTest, ARingOfIdenticalStagesIsNotCalledSingular)
{
    std::string ring = "RING\nVCC 100 0 5\n";
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i), next = std::to_string((i + 1) % 8);
        ring += "RC" + n + "A 100 O" + n + " 500\nRC" + n + "B 100 OB" + n + " 500\n";
        ring += "Q" + n + "A O" + n + " IN" + n + " E" + n + " QG\nQ" + n + "B OB" + n + " INB" + n + " E" + n + " QG\n";
        ring += "IE" + n + " E" + n + " 0 2M\n";
        ring += "QF" + n + "A 100 OB" + n + " IN" + next + " QG\nRF" + n + "A IN" + next + " 0 2K\n";
        ring += "QF" + n + "B 100 O" + n + " INB" + next + " QG\nRF" + n + "B INB" + next + " 0 2K\n";
    }
    WriteFile("ring.cir", ring + ".MODEL QG NPN(IS=5E-16 BF=120)\n.DC VCC 5 5 1\n.PRINT DC V(O0) V(IN0)\n.END\n");
    RunJobs("ring.cir /D\n");
    const std::vector<test::ValueTable> t = Tables("ring.DNO");
    ASSERT_EQ(t.size(), 1u) << ReadText("ring.DNO");
    ASSERT_EQ(t[0].rows.size(), 1u) << ReadText("ring.DNO");
    EXPECT_NEAR(t[0].rows[0][1], 4.49636, 2e-3) << ReadText("ring.DNO");
    EXPECT_NEAR(t[0].rows[0][2], 3.74761, 2e-3) << ReadText("ring.DNO");
}

// An LC tank rung by a current pulse keeps its amplitude with the trapezoidal rule and loses
// it with Gear's: a circuit run after one that chose GEAR must print what it prints alone.
TEST_F(PrintedResultsTest, TheOptionsOfOneCircuitDoNotCarryOverToTheNext)
{
    const std::string tank = "I1 0 1 PULSE(0 100M 0 1U 1U 10U 1)\nL1 1 0 1M\nC1 1 0 1U\nR1 1 0 100K\n"
                             ".TRAN 20U 2M 0 20U\n.PRINT TRAN V(1)\n";
    WriteFile("trap.cir", "TRAPEZOIDAL\n" + tank + ".END\n");
    WriteFile("gear.cir", "GEAR\n" + tank + ".OPTIONS METHOD=GEAR RELTOL=0.01 ITL4=20\n.END\n");
    RunJobs("trap.cir /T\n");
    const std::vector<test::ValueTable> alone = Tables("trap.TNO");
    RunJobs("gear.cir /T\ntrap.cir /T\n");
    const std::vector<test::ValueTable> after = Tables("trap.TNO");
    const std::vector<test::ValueTable> gear = Tables("gear.TNO");
    ASSERT_EQ(alone.size(), 1u);
    ASSERT_EQ(after.size(), 1u);
    ASSERT_EQ(gear.size(), 1u);
    ASSERT_EQ(alone[0].rows.size(), 101u);
    EXPECT_EQ(after[0].rows, alone[0].rows);
    // The tank is sensitive to the method: Gear's output differs from the trapezoidal one.
    EXPECT_NE(gear[0].rows, alone[0].rows);
}

TEST_F(PrintedResultsTest, ATemperatureListRunsAtEachOfItsTemperatures)
{
    const std::string divider = "V1 1 0 1\nR1 1 2 1K TC=0.01\nR2 2 0 1K\n.DC V1 0 1 0.5\n.PRINT DC V(2)\n";
    WriteFile("even.cir", "EVEN\n" + divider + ".TEMP 27 77 127\n.END\n");
    // A list that no range can hold runs at its first temperature, and the user is told so.
    WriteFile("uneven.cir", "UNEVEN\n" + divider + ".TEMP 50 27 127\n.END\n");
    RunJobs("even.cir /D\nuneven.cir /D\n");

    const std::vector<test::ValueTable> even = Tables("even.DNO");
    ASSERT_EQ(even.size(), 3u) << ReadText("even.DNO");
    const double temperatures[] = {27.0, 77.0, 127.0};
    for (std::size_t k = 0; k < 3; ++k) {
        char caption[40];
        // Each temperature's block names its case, the first of that temperature.
        std::snprintf(caption, sizeof caption, "Temperature = %g Case= 1", temperatures[k]);
        EXPECT_EQ(even[k].temperatureLine, caption);
        const double r1 = 1000.0 * (1.0 + 0.01 * (temperatures[k] - 27.0));
        ASSERT_FALSE(even[k].rows.empty());
        // V(2) stays below 1 V: its column is printed in mV, the prefix its plot axis takes.
        for (const std::vector<double>& r : even[k].rows)
            EXPECT_NEAR(r[1] / 1000.0, r[0] * 1000.0 / (r1 + 1000.0), 1e-3) << caption;
    }
    const std::vector<test::ValueTable> uneven = Tables("uneven.DNO");
    ASSERT_EQ(uneven.size(), 1u) << ReadText("uneven.DNO");
    EXPECT_EQ(uneven[0].temperatureLine, "Temperature = 50 Case= 1");
    const std::string statistics = ReadText("jobs.DOC");
    const std::size_t warning = statistics.find("not evenly spaced: the analyses run at 50 only");
    EXPECT_NE(warning, std::string::npos) << statistics;
    EXPECT_EQ(statistics.find("not evenly spaced", warning + 1), std::string::npos) << statistics;
}

// A sweep of one value and an AC run at one frequency compute one point: each run prints it once.
TEST_F(PrintedResultsTest, ASweepOfOneValuePrintsItsOneRowInEachRun)
{
    const std::string divider = "V1 1 0 5 AC 1\nR1 1 2 1K TC=0.01\nR2 2 0 1K\n";
    WriteFile("one.cir", "ONE\n" + divider + ".DC V1 5 5 1\n.PRINT DC V(2)\n.END\n");
    WriteFile("temps.cir", "TEMPS\n" + divider + ".DC V1 5 5 1\n.TEMP 27 77 127\n.PRINT DC V(2)\n.END\n");
    WriteFile("ac.cir", "AC\n" + divider + "C1 2 0 1U\n.AC LIN 1 100 100\n.PRINT AC VM(2)\n.END\n");
    RunJobs("one.cir /D\ntemps.cir /D\nac.cir /A\n");

    const std::vector<test::ValueTable> one = Tables("one.DNO");
    ASSERT_EQ(one.size(), 1u) << ReadText("one.DNO");
    ASSERT_EQ(one[0].rows.size(), 1u) << ReadText("one.DNO");
    EXPECT_NEAR(one[0].rows[0][0], 5.0, 1e-6);
    EXPECT_NEAR(one[0].rows[0][1], 2.5, 1e-3);

    const std::vector<test::ValueTable> temps = Tables("temps.DNO");
    ASSERT_EQ(temps.size(), 3u) << ReadText("temps.DNO");
    for (std::size_t k = 0; k < 3; ++k) {
        const double r1 = 1000.0 * (1.0 + 0.01 * 50.0 * static_cast<double>(k));
        ASSERT_EQ(temps[k].rows.size(), 1u) << ReadText("temps.DNO");
        EXPECT_NEAR(temps[k].rows[0][1], 5.0 * 1000.0 / (r1 + 1000.0), 1e-3) << temps[k].temperatureLine;
    }

    const std::vector<test::ValueTable> ac = Tables("ac.ANO");
    ASSERT_EQ(ac.size(), 1u) << ReadText("ac.ANO");
    ASSERT_EQ(ac[0].rows.size(), 1u) << ReadText("ac.ANO");
    const Complex zc = 1.0 / Complex(0.0, 2.0 * kPi * 100.0 * 1e-6);
    const Complex z2 = 1000.0 * zc / (1000.0 + zc);
    EXPECT_NEAR(ac[0].rows[0][1], std::abs(z2 / (1000.0 + z2)), 1e-3);
}

// A PNP, a PMOS and a P-channel JFET whose models come from the program's library, not from the
// netlist, conduct as P-type devices: emitter, source and gate at +5 V drive their loads positive.
// The values are ngspice's for the same models.
TEST_F(PrintedResultsTest, PTypeTransistorsTakeTheirModelsFromTheProgramsLibrary)
{
    WriteFile("ptype.cir", "P-TYPE\nVE 1 0 5\nQ1 2 3 1 2N3906\nRB 3 0 430K\nRC 2 0 1K\n"
                           "M1 4 0 1 1 P035 W=10U L=0.35U\nRD 4 0 1K\nJ1 5 1 1 2N5460\nRJ 5 0 100\n"
                           ".DC VE 5 5 1\n.PRINT DC V(2) V(4) V(5)\n.END\n");
    RunJobs("ptype.cir /D\n");
    const std::vector<std::vector<double>> rows = test::TableRows(ReadText("ptype.DNO"));
    ASSERT_EQ(rows.size(), 1u) << ReadText("ptype.DNO");
    ASSERT_EQ(rows[0].size(), 4u) << ReadText("ptype.DNO");
    EXPECT_NEAR(rows[0][1], 1.976, 2e-3);
    EXPECT_NEAR(rows[0][2], 3.227, 2e-3);
    EXPECT_NEAR(rows[0][3], 0.4228, 1e-3);
}

// PULSE(0 1 1U 1U 1U 2U 0): one pulse from 1 us to 5 us, not a train of period TR + PW + TF.
TEST_F(PrintedResultsTest, APulseWithAZeroPeriodIsASinglePulse)
{
    WriteFile("pulse.cir", "ONE PULSE\nV1 1 0 PULSE(0 1 1U 1U 1U 2U 0)\nR1 1 0 1K\n.TRAN 1U 20U 0 1U\n"
                           ".PRINT TRAN V(1)\n.END\n");
    WriteFile("given.cir", "A TRAIN\nV1 1 0 PULSE(0 1 1U 1U 1U 2U 5U)\nR1 1 0 1K\n.TRAN 1U 20U 0 1U\n"
                           ".PRINT TRAN V(1)\n.END\n");
    RunJobs("pulse.cir /T\ngiven.cir /T\n");
    const std::vector<std::vector<double>> single = test::TableRows(ReadText("pulse.TNO"));
    const std::vector<std::vector<double>> train = test::TableRows(ReadText("given.TNO"));
    ASSERT_EQ(single.size(), 21u) << ReadText("pulse.TNO");
    ASSERT_EQ(train.size(), 21u) << ReadText("given.TNO");
    for (std::size_t i = 0; i < single.size(); ++i) {
        const double t = single[i][0];  // microseconds
        if (t >= 2.0 && t <= 4.0) { EXPECT_NEAR(single[i][1], 1.0, 1e-3) << "at " << t << " us"; }
        if (t >= 5.0) { EXPECT_NEAR(single[i][1], 0.0, 1e-3) << "at " << t << " us"; }
        // A period that is given still repeats: high again from 7 us to 9 us.
        if (t >= 7.0 && t <= 9.0) { EXPECT_NEAR(train[i][1], 1.0, 1e-3) << "at " << t << " us"; }
    }
}

// SIN(0 1 -100K): a negative frequency runs the sine backwards, -sin(2 pi 100k t); the run
// goes on to its end like any other.
TEST_F(PrintedResultsTest, ASineOfNegativeFrequencyRunsBackwards)
{
    WriteFile("sine.cir", "BACKWARDS\nV1 1 0 SIN(0 1 -100K)\nR1 1 0 1K\n.TRAN 0.5U 10U 0 0.05U\n"
                          ".PRINT TRAN V(1)\n.END\n");
    RunJobs("sine.cir /T\n");
    const std::vector<std::vector<double>> rows = test::PlainUnitRows(ReadText("sine.TNO"));
    ASSERT_EQ(rows.size(), 21u) << ReadText("sine.TNO");
    EXPECT_NEAR(rows.back()[0], 10e-6, 1e-9);
    for (const std::vector<double>& row : rows)
        EXPECT_NEAR(row[1], -std::sin(2.0 * kPi * 1e5 * row[0]), 0.01) << "at " << row[0] << " s";
}

// .IC V(2)=0.3 and C2's IC=0.3 set the bias point a transient run starts from; the DC sweep
// of the same circuit prints the divider of R1 and R2 at each point, not the held value.
TEST_F(PrintedResultsTest, InitialConditionsDoNotHoldTheNodesOfADcSweep)
{
    WriteFile("ic.cir", "HELD\nV1 1 0 DC 1\nR1 1 2 1K\nR2 2 0 1K\nC1 2 0 1N\nR3 2 3 1K\nC2 3 0 1N IC=0.3\n"
                        ".IC V(2)=0.3\n.DC V1 0 2 0.5\n.PRINT DC V(2) V(3)\n.TRAN 0.1U 1U\n.PRINT TRAN V(2)\n.END\n");
    RunJobs("ic.cir /D /T\n");
    const std::vector<std::vector<double>> sweep = test::PlainUnitRows(ReadText("ic.DNO"));
    ASSERT_EQ(sweep.size(), 5u) << ReadText("ic.DNO");
    for (const std::vector<double>& row : sweep) {
        ASSERT_EQ(row.size(), 3u) << ReadText("ic.DNO");
        EXPECT_NEAR(row[1], row[0] / 2.0, 1e-3) << "V(2) at V1 = " << row[0];
        EXPECT_NEAR(row[2], row[0] / 2.0, 1e-3) << "V(3) at V1 = " << row[0];
    }
    const std::vector<std::vector<double>> tran = test::PlainUnitRows(ReadText("ic.TNO"));
    ASSERT_FALSE(tran.empty()) << ReadText("ic.TNO");
    EXPECT_NEAR(tran.front()[1], 0.3, 1e-3) << ReadText("ic.TNO");
}

// PWL(0 0 10U 0 10U 10 40U 10) steps from 0 to 10 V at 10 us into R1 1K and C1 10N. The
// capacitor stays empty up to the step and then charges as 10 (1 - exp(-(t - 10 us) / 10 us)).
TEST_F(PrintedResultsTest, APiecewiseLinearJumpChargesTheCapacitorOnlyAfterIt)
{
    WriteFile("jump.cir", "PWL JUMP\nV1 1 0 PWL(0 0 10U 0 10U 10 40U 10)\nR1 1 2 1K\nC1 2 0 10N\n"
                          ".TRAN 1U 40U\n.PRINT TRAN V(2)\n.END\n");
    RunJobs("jump.cir /T\n");
    const std::vector<std::vector<double>> rows = test::TableRows(ReadText("jump.TNO"));
    ASSERT_EQ(rows.size(), 41u) << ReadText("jump.TNO");
    for (const std::vector<double>& row : rows) {
        const double t = row[0];  // microseconds
        const double expected = t <= 10.0 ? 0.0 : 10.0 * (1.0 - std::exp(-(t - 10.0) / 10.0));
        EXPECT_NEAR(row[1], expected, 0.005 * 10.0) << "at " << t << " us";
    }
    EXPECT_NEAR(rows[10][1], 0.0, 1e-6) << ReadText("jump.TNO");
    EXPECT_NEAR(rows[11][1], 0.9516, 0.01) << ReadText("jump.TNO");
}

// The charge and current of a capacitor that the time points keep in the solver's state reach
// the printed columns at every point: R1 1K charges C1 1U through node 2.
TEST_F(PrintedResultsTest, ACapacitorsPrintedChargeAndCurrentFollowItsVoltage)
{
    WriteFile("rc.cir", "RC\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M 0 10U\n"
                        ".PRINT TRAN V(2) I(C1) Q(C1)\n.END\n");
    RunJobs("rc.cir /T\n");
    const std::vector<std::vector<double>> rows = test::TableRows(ReadText("rc.TNO"));
    ASSERT_EQ(rows.size(), 101u) << ReadText("rc.TNO");
    for (const std::vector<double>& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        const double v2 = row[1];
        // The source rises from 0 at the start.
        const double v1 = row[0] > 0.0 ? 1.0 : 0.0;
        EXPECT_NEAR(row[2], v1 - v2, 2e-3) << "I(C1) in mA at " << row[0] << " ms";
        EXPECT_NEAR(row[3], v2, 1e-3) << "Q(C1) in uC at " << row[0] << " ms";
    }
    EXPECT_NEAR(rows.back()[1], 1.0 - std::exp(-5.0), 2e-3);
}

// A magnetic core wound with 100 turns (PATH 10 cm, AREA 1 cm2) driven to saturation by a
// 10 A sine: H reads in oersteds, N i / PATH over 79.577, and B in gauss, the flux the
// winding's voltage builds up (its integral over N AREA, 1e-6 V s a gauss) up to the peak.
TEST_F(PrintedResultsTest, ACoresFluxDensityReadsInGaussAndItsFieldInOersteds)
{
    WriteFile("core.cir", "CORE\nI1 0 1 SIN(0 10 50)\nL1 1 0 100\nR1 1 0 1MEG\nK1 L1 1 KCORE\n"
                          ".MODEL KCORE CORE (AREA=1 PATH=10 MS=1.6MEG A=1000 C=0.1 K=2000)\n"
                          ".TRAN 50U 5M 0 20U\n.PRINT TRAN V(1) B(L1) H(L1)\n.END\n");
    RunJobs("core.cir /T\n");
    const std::vector<test::ValueTable> tables = Tables("core.TNO");
    ASSERT_EQ(tables.size(), 1u) << ReadText("core.TNO");
    const test::ValueTable& table = tables[0];
    // The last column, H in oersteds (at most 126), prints without a scale.
    ASSERT_EQ(table.units.size(), 3u) << ReadText("core.TNO");
    ASSERT_EQ(table.rows.size(), 101u) << ReadText("core.TNO");
    std::vector<double> scale;
    for (const std::string& unit : table.units) scale.push_back(test::UnitFactor(unit));
    scale.push_back(1.0);
    double voltSeconds = 0.0;
    for (std::size_t k = 1; k < table.rows.size(); ++k) {
        const std::vector<double>& row = table.rows[k];
        const std::vector<double>& before = table.rows[k - 1];
        ASSERT_EQ(row.size(), 4u);
        voltSeconds += 0.5 * (row[1] + before[1]) * scale[1] * (row[0] - before[0]) * scale[0];
        const double t = row[0] * scale[0];
        const double oersteds = 100.0 * 10.0 * std::sin(2.0 * kPi * 50.0 * t) / 0.1 / 79.57747154594767;
        EXPECT_NEAR(row[3] * scale[3], oersteds, 2e-3 * 125.7) << "H(L1) at " << t << " s";
    }
    const double gauss = table.rows.back()[2] * scale[2];
    // Saturated: above a tesla, below mu0 MS (2.01 T).
    EXPECT_GT(gauss, 1e4);
    EXPECT_LT(gauss, 2.02e4);
    EXPECT_NEAR(gauss, voltSeconds / (100.0 * 1e-4) * 1e4, 0.03 * gauss);
}

// A transient stopped part-way by its iteration limit (13543) keeps the rows it computed: they
// show where the circuit went wrong. No row stands past the failure, and the failure is reported
// as before. R1 1K charges C1 1U from a 1 V step that rises over 1 us.
TEST_F(PrintedResultsTest, ATransientThatFailsPartWayPrintsItsRowsUpToTheFailure)
{
    WriteFile("rc.cir", "RC\nV1 1 0 PULSE(0 1 0 1U 1U 1M 2M)\nR1 1 2 1K\nC1 2 0 1U\n.OPTIONS ITL5=60\n"
                        ".TRAN 10U 1M\n.PRINT TRAN V(2)\n.END\n");
    WriteFile("jobs.txt", "rc.cir /T\n");
    EXPECT_NE(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt"), 0);
    EXPECT_NE(ReadText("jobs.DOC").find("Error 13543"), std::string::npos) << ReadText("jobs.DOC");
    const std::vector<std::vector<double>> rows = test::TableRows(ReadText("rc.TNO"));
    // Some rows, but not the 101 of the whole run.
    ASSERT_GT(rows.size(), 5u) << ReadText("rc.TNO");
    ASSERT_LT(rows.size(), 101u) << ReadText("rc.TNO");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 2u);
        const double t = rows[i][0];  // microseconds
        EXPECT_NEAR(t, 10.0 * static_cast<double>(i), 1e-3);
        // Computed values, none held or extrapolated past the last computed point.
        const double expected = t > 0.0 ? 1e3 * (1.0 - std::exp(-(t - 0.5) / 1e3)) : 0.0;
        EXPECT_NEAR(rows[i][1], expected, 0.5) << "V(2) in mV at " << t << " us";
    }
}

}  // namespace
}  // namespace kq5
