// The printed rows of text netlists run by the program itself: the digits NUMDGT asks for, in
// columns that stay under their headings, and node names spelled with any bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../core/file_test_support.h"

namespace kq5 {
namespace {

class PrintedRowsTest : public test::ScratchDirTest {
protected:
    // Runs the program in batch mode on the circuit; the text of its .TNO.
    std::string RunTransient(const std::string& netlist) { return Run(netlist, "/T", "c.TNO"); }

    std::string Run(const std::string& netlist, const std::string& option, const std::string& output)
    {
        WriteFile("c.cir", netlist);
        WriteFile("jobs.txt", "c.cir " + option + "\n");
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
        const std::string command = "cd '" + PathOf("") + "' && '" + exe.string() + "' @jobs.txt > run.log 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << ReadText("run.log");
        EXPECT_EQ(ReadText("jobs.DOC").find("Error"), std::string::npos) << ReadText("jobs.DOC");
        return ReadText(output);
    }

    static std::vector<std::string> Lines(const std::string& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // The heading line (the one naming the X axis "T") and the rows of numbers after it.
    static void Table(const std::string& text, std::string& heading, std::vector<std::string>& rows)
    {
        const std::vector<std::string> lines = Lines(text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find("         T") != 0) continue;
            heading = lines[i];
            for (std::size_t j = i + 2; j < lines.size() && !lines[j].empty(); ++j) rows.push_back(lines[j]);
            return;
        }
    }

    // Where each column of a line ends: the position after each run of non-blanks.
    static std::vector<std::size_t> ColumnEnds(const std::string& line)
    {
        std::vector<std::size_t> ends;
        for (std::size_t i = 0; i < line.size(); ++i)
            if (line[i] != ' ' && (i + 1 == line.size() || line[i + 1] == ' ')) ends.push_back(i + 1);
        return ends;
    }
};

const char kDivider[] = "divider\nV1 1 0 1\nR1 1 2 1K\nR2 2 0 3K\n.TRAN 1M 2M\n.PRINT TRAN V(2) V(1)\n";

TEST_F(PrintedRowsTest, NumdgtGivesTheDigitsOfThePrintedValues)
{
    std::string heading;
    std::vector<std::string> rows;
    Table(RunTransient(std::string(kDivider) + ".END\n"), heading, rows);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_NE(rows[0].find("0.750"), std::string::npos) << rows[0];

    rows.clear();
    Table(RunTransient(std::string(kDivider) + ".OPTIONS NUMDGT=8\n.END\n"), heading, rows);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_NE(rows[0].find("7.50000000e-01"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find("1.00000000e+00"), std::string::npos) << rows[0];
    // Every column ends under the end of its heading.
    for (const std::string& row : rows) EXPECT_EQ(ColumnEnds(row), ColumnEnds(heading)) << heading << "\n" << row;

    // More digits than a double holds are cut to what it holds.
    rows.clear();
    Table(RunTransient(std::string(kDivider) + ".OPTIONS NUMDGT=40\n.END\n"), heading, rows);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_NE(rows[0].find("7.5000000000000000e-01"), std::string::npos) << rows[0];
    for (const std::string& row : rows) EXPECT_EQ(ColumnEnds(row), ColumnEnds(heading)) << heading << "\n" << row;
}

TEST_F(PrintedRowsTest, ANodeNameWithBytesAbove127IsOneNode)
{
    // é in Windows-1252 and in UTF-8: each divider's middle node is at half the supply.
    const std::string text = "names\nV1 1 0 1\nR1 1 \xE9 1K\nR2 \xE9 0 1K\nR3 1 \xC3\xA9 1K\nR4 \xC3\xA9 0 1K\n"
                             ".TRAN 1M 2M\n.PRINT TRAN V(\xE9) V(\xC3\xA9)\n.END\n";
    std::string heading;
    std::vector<std::string> rows;
    Table(RunTransient(text), heading, rows);
    ASSERT_EQ(rows.size(), 5u);
    for (const std::string& row : rows) {
        std::istringstream in(row);
        double t = 0.0, a = 0.0, b = 0.0;
        ASSERT_TRUE(in >> t >> a >> b) << row;
        EXPECT_DOUBLE_EQ(a, 0.5) << row;
        EXPECT_DOUBLE_EQ(b, 0.5) << row;
    }
}

TEST_F(PrintedRowsTest, RowsOnASourceEdgeReadTheSameSideOfEveryEdge)
{
    // 201 rows 0.1 us apart; each rise of the pulse starts on a row (1, 6, 11, 16 us), where the
    // source is still exactly 0, and each fall ends on one (3.1, 8.1... us), where it is 0 again.
    const std::string text = "edges\nV1 1 0 PULSE(0 1 1U 0.1U 0.1U 1.9U 5U)\nR1 1 0 1K\n.OPTIONS NUMDGT=12\n"
                             ".TRAN 0.1U 20U 0 0.1U\n.PRINT TRAN V(1)\n.END\n";
    std::string heading;
    std::vector<std::string> rows;
    Table(RunTransient(text), heading, rows);
    ASSERT_EQ(rows.size(), 201u);
    for (int start : {10, 60, 110, 160}) {
        std::istringstream in(rows[static_cast<std::size_t>(start)]);
        double t = 0.0, v = 1.0;
        ASSERT_TRUE(in >> t >> v) << rows[static_cast<std::size_t>(start)];
        EXPECT_DOUBLE_EQ(t, start * 0.1) << "rows land on their nominal times";
        EXPECT_EQ(v, 0.0) << rows[static_cast<std::size_t>(start)];
    }
    std::istringstream last(rows.back());
    double t = 0.0;
    ASSERT_TRUE(last >> t);
    EXPECT_DOUBLE_EQ(t, 20.0);
}

TEST_F(PrintedRowsTest, AUicRunStartsEveryColumnAtTheStartTime)
{
    // Without an operating point the first point is computed one step in and each curve's value
    // at 0 is drawn back from the points after it: every column of the first row must be so, or
    // the row mixes times (here the resistor's voltage and the inductor's current disagree).
    const std::string text = "uic\nR1 1 0 100\nL1 1 2 1M IC=10M\nC1 2 0 1U IC=2\n.OPTIONS NUMDGT=8\n"
                             ".TRAN 10U 100U 0 1U UIC\n.PRINT TRAN V(1) V(2) I(L1)\n.END\n";
    std::string heading;
    std::vector<std::string> rows;
    Table(RunTransient(text), heading, rows);
    ASSERT_EQ(rows.size(), 11u);
    std::istringstream in(rows[0]);
    double t = 1.0, v1 = 0.0, v2 = 0.0, milliamps = 0.0;
    ASSERT_TRUE(in >> t >> v1 >> v2 >> milliamps) << rows[0];
    EXPECT_EQ(t, 0.0);
    EXPECT_NEAR(milliamps, -10.0 * v1, 1e-4) << rows[0];
    EXPECT_NEAR(milliamps, 10.0, 1e-3) << rows[0];
    EXPECT_NEAR(v2, 2.0, 1e-5) << rows[0];
}

// A DC sweep that runs downward through a gate's input bands: every row's digital column is the
// state at the row's own point, as its analog columns are (the row where the state changed used
// to show the state of the row before it).
TEST_F(PrintedRowsTest, ADownwardSweepPrintsTheStateOfEachRowsOwnPoint)
{
    const std::string text = "down\nVIN A 0 0\nU1 BUF $G_DPWR $G_DGND A Y D0_GATE IO_STD\nR1 Y 0 10K\n"
                             ".MODEL D0_GATE UGATE ()\n.MODEL IO_STD UIO ()\n.DC VIN 5 0 -0.25\n.PRINT DC V(Y) D(A$ATOD)\n.END\n";
    int rows = 0;
    for (const std::string& line : Lines(Run(text, "/D", "c.DNO"))) {
        std::istringstream in(line);
        double sweep = 0.0, y = 0.0;
        std::string state;
        if (!(in >> sweep >> y >> state)) continue;
        ++rows;
        // The buffer's output stage: 3.45 V for 1, 1.35 V for X, 0.09 V for 0.
        EXPECT_EQ(state, y > 3.0 ? "1" : y > 1.0 ? "X" : "0") << line;
    }
    EXPECT_EQ(rows, 21);
}

}  // namespace
}  // namespace kq5
