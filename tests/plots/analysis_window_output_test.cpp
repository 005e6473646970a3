// Numeric output as users read it: batch runs go through the analysis window, whose axis scales
// give each printed column its prefix, or the exponent form where no prefix keeps the digits.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <string>
#include <vector>

#include "../analog/program_output_support.h"
#include "../core/file_test_support.h"

namespace kq5 {
namespace {

class PrintedColumnsTest : public test::ScratchDirTest {
protected:
    void RunJobs(const std::string& lines)
    {
        ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
        WriteFile("jobs.txt", lines);
        ASSERT_EQ(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt"), 0) << ReadText("run.log");
    }
    std::vector<test::ValueTable> Tables(const std::string& file) { return test::ValueTables(ReadText(file)); }
};

TEST_F(PrintedColumnsTest, SmallCurrentsNoiseAndWideSweepsKeepTheirDigits)
{
    WriteFile("i.cir", "CUR\nV1 1 0 1\nR1 1 0 10K\n.TRAN 1U 10U\n.PRINT TRAN I(R1)\n.END\n");
    WriteFile("n.cir", "NOISE\nV1 1 0 DC 0 AC 1\nR1 1 2 1K\nC1 2 0 1N\nR2 2 0 10MEG\n.AC DEC 2 100 1MEG\n"
                       ".NOISE V(2) V1\n.PRINT AC ONOISE\n.END\n");
    RunJobs("i.cir /T\nn.cir /A\n");

    const std::string current = ReadText("i.TNO");
    const std::vector<test::ValueTable> currents = Tables("i.TNO");
    ASSERT_EQ(currents.size(), 1u) << current;
    // 100 uA in a column of microamperes.
    EXPECT_NE(current.find("(u"), std::string::npos) << current;
    for (const std::vector<double>& row : currents[0].rows) EXPECT_NEAR(std::abs(row[1]), 100.0, 1e-3) << current;

    const std::string noise = ReadText("n.ANO");
    const std::vector<test::ValueTable> tables = Tables("n.ANO");
    ASSERT_EQ(tables.size(), 1u) << noise;
    const std::vector<std::vector<double>>& rows = tables[0].rows;
    ASSERT_EQ(rows.size(), 9u) << noise;
    // 100 Hz of a sweep to 1 MHz: the frequency is printed in full, in exponent form.
    EXPECT_DOUBLE_EQ(rows[0][0], 100.0);
    EXPECT_NEAR(rows[1][0], 316.2, 0.1);
    // A few nV per root hertz in a column of nanovolts: no 0.000.
    EXPECT_NE(noise.find("(n"), std::string::npos) << noise;
    EXPECT_GT(rows[0][1], 1.0) << noise;
    EXPECT_LT(rows[0][1], 100.0) << noise;
}

TEST_F(PrintedColumnsTest, EachColumnOfAPlotIsScaledByItsOwnValues)
{
    // The columns share one plot, whose axis is read in volts; the small currents keep their digits.
    WriteFile("a.cir", "AC\nV1 1 0 DC 0 AC 1\nR1 1 2 10K\nC1 2 0 1N\n.AC DEC 2 100 1MEG\n"
                       ".PRINT AC VM(2) IM(V1)\n.END\n");
    WriteFile("d.cir", "DC\nV1 1 0 1\nR1 1 0 10K\n.DC V1 0 1 0.5\n.PRINT DC I(V1) V(1)\n.END\n");
    RunJobs("a.cir /A\nd.cir /D\n");

    const std::string ac = ReadText("a.ANO");
    const std::vector<test::ValueTable> acTables = Tables("a.ANO");
    ASSERT_EQ(acTables.size(), 1u) << ac;
    ASSERT_EQ(acTables[0].rows.size(), 9u) << ac;
    EXPECT_NE(ac.find("(u)"), std::string::npos) << ac;
    for (const std::vector<double>& row : acTables[0].rows) {
        const double xc = 1.0 / (2.0 * 3.141592653589793 * row[0] * 1e-9);
        EXPECT_NEAR(row[2], 1e6 / std::hypot(1e4, xc), 2e-3) << ac;  // microamperes
    }

    const std::string dc = ReadText("d.DNO");
    const std::vector<test::ValueTable> dcTables = Tables("d.DNO");
    ASSERT_EQ(dcTables.size(), 1u) << dc;
    EXPECT_NE(dc.find("(uA)"), std::string::npos) << dc;
    ASSERT_GE(dcTables[0].rows.size(), 3u) << dc;
    for (const std::vector<double>& row : dcTables[0].rows) EXPECT_NEAR(row[1], -100.0 * row[0], 1e-3) << dc;
}

TEST_F(PrintedColumnsTest, DecibelsAndPhasesOnLogarithmicAxesPrintTheirValues)
{
    // The drawn RC low-pass (1 k, 1 u) with its AC rows on logarithmic axes, as a new row has them.
    std::ifstream example(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(example)), std::istreambuf_iterator<char>());
    const std::vector<std::pair<std::string, std::string>> edits = {
        {"Analysis=AC\r\nOPT=1", "Analysis=AC\r\nFRange=100k,10\r\nNPts=5\r\nOPT=8193"},
        {"Analysis=AC\r\nOptions=LINEARY\r\nPlt=1\r\n", "Analysis=AC\r\nOptions=OUTPUT\r\nPlt=1\r\nXExp=F\r\nYExp=db(v(2))\r\n"},
        {"Analysis=AC\r\nOptions=LINEARY\r\nPlt=1\r\n", "Analysis=AC\r\nOptions=OUTPUT\r\nPlt=2\r\nXExp=F\r\nYExp=ph(v(2))\r\n"},
    };
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    WriteFile("rc.cir", text);
    RunJobs("rc.cir /A\n");

    const std::string ac = ReadText("rc.ANO");
    const std::vector<test::ValueTable> tables = Tables("rc.ANO");
    ASSERT_EQ(tables.size(), 1u) << ac;
    ASSERT_EQ(tables[0].rows.size(), 5u) << ac;
    const double fc = 1.0 / (2.0 * 3.141592653589793 * 1e-3);
    for (const std::vector<double>& row : tables[0].rows) {
        const double ratio = row[0] / fc;
        EXPECT_NEAR(row[1], -10.0 * std::log10(1.0 + ratio * ratio), 0.01) << ac;
        EXPECT_NEAR(row[2], -std::atan(ratio) * 180.0 / 3.141592653589793, 0.01) << ac;
    }
}

}  // namespace
}  // namespace kq5
