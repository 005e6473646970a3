#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "app/startup.h"
#include "../core/file_test_support.h"
#include "analog/analog_state.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "analog/statistics.h"
#include "ui/app_state.h"
#include "ui/window_record.h"
#include "platform/backend.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

class BatchTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        win::ResetPlatformForTests();
        ResetAppStateForTests();
        ResetAnalogStateForTests();
        ResetBatchRunForTests();
        ResetRunControlForTests();
        win::ClearMessageBoxLog();
    }
    void TearDown() override
    {
        EndBatchRun();
        ResetBatchRunForTests();
        ResetAnalogStateForTests();
        ResetAppStateForTests();
        ScratchDirTest::TearDown();
    }

    // Starts a batch run of a command file with the given lines.
    void StartWith(const std::string& lines)
    {
        WriteFile("jobs.txt", lines);
        BatchRun().flags = kBatchNormal;
        BatchRun().commandFile = PathOf("jobs.txt");
        ASSERT_EQ(StartBatchRun(), 0);
    }

    // Runs the kq5 program on a command file of the given lines in the scratch directory.
    void RunJobs(const std::string& lines)
    {
        WriteFile("jobs.txt", lines);
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
        const std::string command = "cd '" + PathOf("") + "' && '" + exe.string() + "' @jobs.txt > run.log 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << ReadText("run.log");
        ASSERT_EQ(ReadText("jobs.DOC").find("Error"), std::string::npos) << ReadText("jobs.DOC");
    }

    std::vector<std::string> Lines()
    {
        std::vector<std::string> out;
        std::string line;
        while (ReadBatchLine(line) == 0) out.push_back(line);
        return out;
    }
};

TEST_F(BatchTest, CommandFileLinesAreCutTrimmedAndCommentsSkipped)
{
    StartWith("  rc.cir\t/T ; the filter\r\n* a comment\n: another\n\n;only a comment\n\tGOTO  end  \n");
    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(lines, (std::vector<std::string>{"rc.cir /T", "", "", "", "", "GOTO  end"}));
    // A tab between the circuit and its switch parts them: the line runs its transient.
    BatchLine parsed;
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(ParseBatchLine(parsed, lines[0]));
    EXPECT_EQ(parsed.circuit, "rc.cir");
}

TEST_F(BatchTest, LinesTakeTheirSwitchesOut)
{
    BatchLine line;
    EXPECT_TRUE(ParseBatchLine(line, "rc.cir /T /d /TOSPICE"));
    EXPECT_TRUE(line.transient && line.dc && !line.ac);
    EXPECT_EQ(line.circuit, "rc.cir");
    EXPECT_EQ(line.leftover, "");
    EXPECT_EQ(line.runMode, kBatchNormal);

    EXPECT_TRUE(ParseBatchLine(line, "\"my amp.cir\" /A /S /PC"));
    EXPECT_EQ(line.circuit, "my amp.cir");
    EXPECT_EQ(line.runMode, kBatchSave);
    EXPECT_TRUE(line.printCircuit && !line.printAnalysis);

    EXPECT_TRUE(ParseBatchLine(line, "amp.cir /R /P /T"));
    EXPECT_EQ(line.runMode, kBatchRetrieve);
    EXPECT_TRUE(line.printCircuit && line.printAnalysis);

    // A switch the list does not know stays as text; a longer word is not the switch.
    EXPECT_TRUE(ParseBatchLine(line, "amp.cir /X /T"));
    EXPECT_EQ(line.leftover, "/X");
    EXPECT_FALSE(ParseBatchLine(line, "amp.cir /TRAN"));
    EXPECT_EQ(line.leftover, "/TRAN");
    EXPECT_FALSE(ParseBatchLine(line, "LABEL A"));

    // Absolute paths start with "/" like switches; they stay paths, and the switches after
    // them are still found.
    const std::string amp = PathOf("amp.cir");
    WriteFile("amp.cir", "amp\n.END\n");
    EXPECT_TRUE(ParseBatchLine(line, amp + " /T"));
    EXPECT_EQ(line.circuit, amp);
    EXPECT_TRUE(line.transient);
    EXPECT_EQ(line.leftover, "");
    EXPECT_TRUE(ParseBatchLine(line, PathOf("T.cir") + " /A"));
    EXPECT_EQ(line.circuit, PathOf("T.cir"));
    EXPECT_TRUE(line.ac && !line.transient);
    EXPECT_TRUE(ParseBatchLine(line, "amp.cir /T/P"));
    EXPECT_TRUE(line.transient && line.printCircuit);
    EXPECT_EQ(ReadCommandLine({amp, "/p"}).files, std::vector<std::string>{amp});
}

TEST_F(BatchTest, ProgramCommandLine)
{
    StartupCommandLine c = ReadCommandLine({"@jobs.txt", "/s", "/P", "/ROOT:/opt/kq5/"});
    EXPECT_EQ(c.commandFile, "jobs.txt");
    EXPECT_EQ(c.batchFlags, kBatchSave);
    EXPECT_TRUE(c.printCircuit && c.printAnalysis);
    EXPECT_EQ(c.root, "/opt/kq5");
    EXPECT_EQ(c.leftover, "");

    c = ReadCommandLine({"@jobs.txt", "/R", "/PA"});
    EXPECT_EQ(c.batchFlags, kBatchRetrieve);
    EXPECT_TRUE(!c.printCircuit && c.printAnalysis);
    EXPECT_EQ(ReadCommandLine({"@jobs.txt"}).batchFlags, kBatchNormal);
    EXPECT_EQ(ReadCommandLine({"@jobs.txt", "/Q"}).leftover, "/Q");

    c = ReadCommandLine({"a.cir", "b.cir"});
    EXPECT_EQ(c.batchFlags, 0);
    EXPECT_EQ(c.files, (std::vector<std::string>{"a.cir", "b.cir"}));
}

TEST_F(BatchTest, GotoFindsItsLabelWhateverTheCase)
{
    // The jump passes over a line naming a circuit that does not exist.
    StartWith("goto skip\nmissing.cir /T\nLABEL SKIP\n");
    RunBatchFile();
    const std::string text = ReadText("jobs.DOC");
    EXPECT_EQ(text.find("16002"), std::string::npos) << text;
    EXPECT_NE(text.find("Total elapsed time 0\n"), std::string::npos) << text;
}

TEST_F(BatchTest, ALoopWithoutAnAnalysisIsStopped)
{
    StartWith("LABEL A\n; nothing to run\nGOTO A\n");
    RunBatchFile();
    const std::string text = ReadText("jobs.DOC");
    EXPECT_NE(text.find("The command file goes round through GOTO A without running an analysis."), std::string::npos)
        << text;
    EXPECT_NE(text.find("Total elapsed time 0\n"), std::string::npos);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(BatchTest, AMissingLabelEndsTheBatch)
{
    StartWith("GOTO nowhere\n");
    RunBatchFile();
    const std::string text = ReadText("jobs.DOC");
    EXPECT_NE(text.find("Can't Find LABEL nowhere"), std::string::npos) << text;
}

TEST_F(BatchTest, StatisticsFileLayout)
{
    ASSERT_EQ(OpenStatisticsFile(PathOf("run.DOC"), "jobs.txt"), 0);
    WriteStatisticsRow("amp.cir", 2, 120, 3, 45, 1.5);
    LogBatchError(nullptr, "Error 15051", "Matrix is singular.\n\n\nText:\tR1\n");
    CloseStatisticsFile(1.5);
    std::istringstream lines(ReadText("run.DOC"));
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ(got[0].rfind("jobs.txt ", 0), 0u);
    EXPECT_EQ(got[1], "Circuit                   Total      Rejected         Total           Run");
    EXPECT_EQ(got[2], "                     Iterations     Solutions     Solutions          Time");
    EXPECT_EQ(got[3], "amp.cir        /D           120             3            45           1.5");
    EXPECT_EQ(got[4], "Error 15051 ");
    EXPECT_EQ(got[5], "\tMatrix is singular.");
    EXPECT_EQ(got[6], "\tText:\tR1");
    EXPECT_EQ(got[7], "Total elapsed time 1.5");
}

// The whole chain: "kq5 @jobs" reads an RC netlist, builds it, runs a transient analysis and writes
// the statistics and the numeric output.
// The kq5 program built beside the tests; empty when it is not there.
std::filesystem::path ProgramPath()
{
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
    return std::filesystem::exists(exe) ? exe : std::filesystem::path();
}

// The numeric rows of a value table: the lines after the units heading line, each split into
// its numbers.
std::vector<std::vector<double>> TableRows(const std::string& text)
{
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (!inTable) {
            inTable = line.find("(") != std::string::npos && line.find("Temperature") == std::string::npos &&
                      line.find(" of ") == std::string::npos;
            continue;
        }
        std::istringstream cells(line);
        std::vector<double> row;
        double v = 0.0;
        while (cells >> v) row.push_back(v);
        if (!row.empty()) rows.push_back(row);
    }
    return rows;
}

TEST_F(BatchTest, EndToEndRunOfAnRcNetlist)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    const std::string source = std::string(KQ5_SOURCE_DIR) + "/tests/circuits/spice/rc_lowpass.cir";
    std::filesystem::copy_file(source, PathOf("rc.cir"));
    // The same circuit with its two voltages printed as well as plotted.
    std::string printed = ReadText("rc.cir");
    printed.insert(printed.rfind(".END"), ".PRINT TRAN V(1) V(2)\n");
    WriteFile("rcp.cir", printed);
    RunJobs("; one RC low-pass filter\nrc.cir /T\nrcp.cir /T\n");

    const std::string stats = ReadText("jobs.DOC");
    std::istringstream lines(stats);
    std::string line, row;
    while (std::getline(lines, line))
        if (line.rfind("rc.cir", 0) == 0) row = line;
    ASSERT_FALSE(row.empty()) << stats;
    std::istringstream fields(row.substr(15));
    std::string letter;
    unsigned long iterations = 0, rejected = 0, solutions = 0;
    fields >> letter >> iterations >> rejected >> solutions;
    EXPECT_EQ(letter, "/T");
    EXPECT_GT(solutions, 10u) << stats;
    EXPECT_GE(iterations, solutions);
    EXPECT_NE(stats.find("Total elapsed time"), std::string::npos);

    // Plotted only: nothing for the numeric output, so no file is left behind.
    EXPECT_FALSE(std::filesystem::exists(PathOf("rc.TNO")));
    ASSERT_TRUE(std::filesystem::exists(PathOf("rcp.TNO")));
    const std::string output = ReadText("rcp.TNO");
    EXPECT_NE(output.find("Transient Analysis of rcp.cir"), std::string::npos) << output;
    EXPECT_NE(output.find("V(2)"), std::string::npos) << output;
    EXPECT_NE(output.find("(mSec)"), std::string::npos) << output;

    // 501 print points from 0 to 5 ms (time in ms); a 1 kHz sine through R = 1.59k, C = 0.1u.
    const std::vector<std::vector<double>> table = TableRows(output);
    ASSERT_EQ(table.size(), 501u) << output;
    const double pi = 3.14159265358979, tau = 1.59e3 * 0.1e-6, w = 2 * pi * 1e3;
    const double wt = w * tau, gain = 1.0 / (1.0 + wt * wt);
    for (std::size_t i = 0; i < table.size(); i += 25) {
        ASSERT_EQ(table[i].size(), 3u) << i;
        const double t = table[i][0] * 1e-3;
        EXPECT_NEAR(t, i * 1e-5, 1e-9) << i;
        EXPECT_NEAR(table[i][1], std::sin(w * t), 0.04) << "V(1) at " << t;
        const double v2 = gain * (std::sin(w * t) - wt * std::cos(w * t) + wt * std::exp(-t / tau));
        EXPECT_NEAR(table[i][2], v2, 0.04) << "V(2) at " << t;
    }
}

// The first printed row is the operating point at t = 0, not a value of a later point: with a
// 2 V offset on the sine the capacitor starts charged, where a run from the zero state would
// start at 0 V.
TEST_F(BatchTest, TransientOutputStartsAtTheOperatingPoint)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("bias.cir", "RC WITH OFFSET\nVIN 1 0 SIN(2 1 1KHZ)\nR1 1 2 1.59K\nC1 2 0 0.1UF\n"
                          ".TRAN 10US 1MS\n.PRINT TRAN V(1) V(2)\n.END\n");
    RunJobs("bias.cir /T\n");
    const std::string output = ReadText("bias.TNO");
    const std::vector<std::vector<double>> table = TableRows(output);
    ASSERT_EQ(table.size(), 101u) << output;
    ASSERT_EQ(table[0].size(), 3u);
    EXPECT_EQ(table[0][0], 0.0);
    EXPECT_NEAR(table[0][1], 2.0, 1e-6) << output;
    EXPECT_NEAR(table[0][2], 2.0, 1e-6) << output;
    const double pi = 3.14159265358979, tau = 1.59e3 * 0.1e-6, w = 2 * pi * 1e3;
    const double wt = w * tau, gain = 1.0 / (1.0 + wt * wt);
    for (std::size_t i = 1; i < table.size(); i += 10) {
        const double t = table[i][0] * 1e-3;
        const double v2 = 2.0 + gain * (std::sin(w * t) - wt * std::cos(w * t) + wt * std::exp(-t / tau));
        EXPECT_NEAR(table[i][2], v2, 0.01) << "V(2) at " << t;
    }
}

TEST_F(BatchTest, AcAndDcSweepsPrintTheirRows)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("ac.cir", "RC AC\nVIN 1 0 AC 1\nR1 1 2 1K\nC1 2 0 1UF\n.AC DEC 5 10 10KHZ\n"
                        ".PRINT AC VM(2) VP(2)\n.END\n");
    WriteFile("dc.cir", "DIVIDER\nV1 1 0 DC 0\nR1 1 2 1K\nR2 2 0 3K\n.DC V1 0 10 1\n.PRINT DC V(2)\n.END\n");
    RunJobs("ac.cir /A\ndc.cir /D\n");

    const std::string ac = ReadText("ac.ANO");
    EXPECT_NE(ac.find("AC Analysis of ac.cir"), std::string::npos) << ac;
    EXPECT_NE(ac.find("MAG(V(2))"), std::string::npos) << ac;
    // DEC 5 over three decades: the 16 frequencies 10 Hz x 10^(k/5). No prefix keeps the digits
    // of 10 Hz and of 10 kHz alike: the column is in Hz, in exponent form with three decimals.
    const std::vector<std::vector<double>> acRows = TableRows(ac);
    ASSERT_EQ(acRows.size(), 16u) << ac;
    const double fc = 1.0 / (2 * 3.14159265358979 * 1e3 * 1e-6);
    for (std::size_t k = 0; k < acRows.size(); ++k) {
        const std::vector<double>& r = acRows[k];
        ASSERT_EQ(r.size(), 3u);
        const double f = 10.0 * std::pow(10.0, static_cast<double>(k) / 5.0);
        EXPECT_NEAR(r[0], f, f * 5e-4) << f;
        EXPECT_NEAR(r[1], 1.0 / std::sqrt(1.0 + (f / fc) * (f / fc)), 0.002) << f;
        EXPECT_NEAR(r[2], -std::atan(f / fc) * 180.0 / 3.14159265358979, 0.01) << f;
    }
    EXPECT_NEAR(acRows.front()[0], 10.0, 1e-9);
    EXPECT_NEAR(acRows.back()[0], 10000.0, 1e-9);

    const std::string dc = ReadText("dc.DNO");
    EXPECT_NE(dc.find("DC Analysis of dc.cir"), std::string::npos) << dc;
    const std::vector<std::vector<double>> dcRows = TableRows(dc);
    ASSERT_GE(dcRows.size(), 5u) << dc;
    EXPECT_EQ(dcRows.front()[0], 0.0);
    EXPECT_EQ(dcRows.back()[0], 10.0);
    for (const std::vector<double>& r : dcRows) {
        ASSERT_EQ(r.size(), 2u) << dc;
        EXPECT_NEAR(r[1], 0.75 * r[0], 0.001) << r[0];
    }
}

// A temperature at or below absolute zero cannot be simulated: every analysis refuses it in
// its own words instead of running into a failure to converge.
TEST_F(BatchTest, EveryAnalysisRefusesATemperatureBelowAbsoluteZero)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("cold.cir", "DIODE\nV1 1 0 DC 1 AC 1\nR1 1 2 1K\nC1 2 0 1N\nD1 2 0 DD\n.MODEL DD D(IS=1E-14)\n"
                          ".TEMP -300\n.TRAN 1U 10U\n.DC V1 0 1 0.1\n.AC DEC 10 1 1MEG\n.END\n");
    WriteFile("jobs.txt", "cold.cir /T /A /D\n");
    const std::string command = "cd '" + PathOf("") + "' && '" + ProgramPath().string() + "' @jobs.txt > run.log 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0);
    const std::string log = ReadText("jobs.DOC");
    std::size_t refusals = 0;
    for (std::size_t at = log.find("Illegal temperature."); at != std::string::npos;
         at = log.find("Illegal temperature.", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 3u) << log;
    EXPECT_EQ(log.find("converge"), std::string::npos) << log;
}

// A comparator fed back on its own RC with no hysteresis chatters at the threshold at any step:
// the accepted steps shrank without end and the run crept on for ever. It stops with "time step
// too small" now, as ngspice does on the same circuit.
TEST_F(BatchTest, ARunWhoseStepsShrinkWithoutEndStopsWithTimeStepTooSmall)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("chatter.cir", "CHATTER\nV1 1 0 PULSE(0 1 1U 1N 1N 50U 100U)\nE1 2 0 VALUE={IF(V(3)>0.5, 0, V(1))}\n"
                             "R2 2 3 1K\nC2 3 0 1N\n.TRAN 10N 10U\n.END\n");
    WriteFile("jobs.txt", "chatter.cir /T\n");
    const std::string command = "cd '" + PathOf("") + "' && timeout 120 '" + ProgramPath().string() + "' @jobs.txt > run.log 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    EXPECT_NE(ReadText("jobs.DOC").find("Internal time step too small in transient analysis."), std::string::npos)
        << ReadText("jobs.DOC");
}

// Once a batch build is done the items of plain X lines are freed; the calls with parameters
// keep theirs, nested calls are freed too, and the next analysis of the line builds afresh.
TEST_F(BatchTest, SubcircuitCallsRunOneAnalysisAfterAnother)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("calls.cir", "CALLS\nV1 1 0 DC 5\n.SUBCKT HALF A B\nR1 A M 1K\nR2 M B 1K\n.ENDS\n"
                           ".SUBCKT TWO A B PARAMS: RV=1K\nR1 A M {RV}\nX1 M B HALF\n.ENDS\n"
                           "X1 1 0 HALF\nX2 1 0 TWO PARAMS: RV=3K\nX3 1 0 TWO\n"
                           ".DC V1 0 10 1\n.TRAN 1MS 10MS\n"
                           ".PRINT DC V(X1.M) V(X2.M) V(X2.X1.M) V(X3.X1.M)\n.PRINT TRAN V(X1.M) V(X2.X1.M)\n.END\n");
    RunJobs("calls.cir /D /T\n");

    const std::string dc = ReadText("calls.DNO");
    const std::vector<std::vector<double>> dcRows = TableRows(dc);
    ASSERT_EQ(dcRows.size(), 11u) << dc;
    for (const std::vector<double>& r : dcRows) {
        ASSERT_EQ(r.size(), 5u) << dc;
        EXPECT_NEAR(r[1], 0.5 * r[0], 1e-6) << r[0];
        EXPECT_NEAR(r[2], 0.4 * r[0], 1e-6) << r[0];
        EXPECT_NEAR(r[3], 0.2 * r[0], 1e-6) << r[0];
        EXPECT_NEAR(r[4], r[0] / 3.0, 1e-3) << r[0];
    }
    const std::string tran = ReadText("calls.TNO");
    const std::vector<std::vector<double>> tranRows = TableRows(tran);
    ASSERT_GE(tranRows.size(), 2u) << tran;
    for (const std::vector<double>& r : tranRows) {
        ASSERT_EQ(r.size(), 3u) << tran;
        EXPECT_NEAR(r[1], 2.5, 1e-6);
        EXPECT_NEAR(r[2], 1.0, 1e-6);
    }
}

// Each circuit of a command file is loaded with the device kinds it holds, whatever kinds the
// circuit before it held.
TEST_F(BatchTest, EachCircuitOfACommandFileLoadsItsOwnDeviceKinds)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("divider.cir", "DIVIDER\nV1 1 0 DC 4\nR1 1 2 1K\nR2 2 0 1K\n.TRAN 1MS 10MS\n.PRINT TRAN V(2)\n.END\n");
    WriteFile("gain.cir", "GAIN\nV1 1 0 DC 4\nR1 1 2 1K\nR2 2 0 1K\nE1 3 0 2 0 3\nRL 3 0 1K\n"
                          "G1 0 4 2 0 1M\nR4 4 0 1K\n.TRAN 1MS 10MS\n.PRINT TRAN V(3) V(4)\n.END\n");
    RunJobs("divider.cir /T\ngain.cir /T\n");

    const std::string tran = ReadText("gain.TNO");
    const std::vector<std::vector<double>> rows = TableRows(tran);
    ASSERT_GE(rows.size(), 2u) << tran;
    for (const std::vector<double>& r : rows) {
        ASSERT_EQ(r.size(), 3u) << tran;
        EXPECT_NEAR(r[1], 6.0, 1e-6) << tran;
        EXPECT_NEAR(r[2], 2.0, 1e-6) << tran;
    }
}

// A parameter handed down to a nested call under its own name (PARAMS: R={R}) takes the value
// of the calling scope's parameter; the name on the left stays the called one's.
TEST_F(BatchTest, ParametersHandedDownUnderTheirOwnNames)
{
    ASSERT_FALSE(ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("down.cir", "DOWN\n.PARAM RV=2K\nV1 1 0 DC 1\n"
                          ".SUBCKT INNER P Q PARAMS: R=1K\nR1 P Q {R}\n.ENDS\n"
                          ".SUBCKT OUTER A B PARAMS: R=1K\nXI A M INNER PARAMS: R={R}\nR2 M B 1K\n.ENDS\n"
                          "X1 1 0 OUTER PARAMS: R={RV}\nX2 1 0 OUTER\n"
                          ".DC V1 0 1 1\n.PRINT DC V(X1.M) V(X2.M)\n.END\n");
    RunJobs("down.cir /D\n");
    const std::string dc = ReadText("down.DNO");
    const std::vector<std::vector<double>> rows = TableRows(dc);
    ASSERT_EQ(rows.size(), 5u) << dc;
    for (const std::vector<double>& r : rows) {
        ASSERT_EQ(r.size(), 3u) << dc;
        EXPECT_NEAR(r[1], 1e3 * r[0] / 3.0, 1e-3) << dc;  // mV
        EXPECT_NEAR(r[2], 1e3 * r[0] / 2.0, 1e-3) << dc;
    }
}

}  // namespace
}  // namespace kq5
