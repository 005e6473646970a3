#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../core/file_test_support.h"
#include "analog/analog_state.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "analog/statistics.h"
#include "app/app_state.h"
#include "app/window_record.h"
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
    EXPECT_EQ(Lines(), (std::vector<std::string>{"rc.cir/T", "", "", "", "", "GOTO  end"}));
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
}

TEST_F(BatchTest, ProgramCommandLine)
{
    CommandLine c = ParseCommandLine({"@jobs.txt", "/s", "/P", "/ROOT:/opt/kq5/"});
    EXPECT_EQ(c.commandFile, "jobs.txt");
    EXPECT_EQ(c.batchFlags, kBatchSave);
    EXPECT_TRUE(c.printCircuit && c.printAnalysis);
    EXPECT_EQ(c.root, "/opt/kq5");
    EXPECT_EQ(c.leftover, "");

    c = ParseCommandLine({"@jobs.txt", "/R", "/PA"});
    EXPECT_EQ(c.batchFlags, kBatchRetrieve);
    EXPECT_TRUE(!c.printCircuit && c.printAnalysis);
    EXPECT_EQ(ParseCommandLine({"@jobs.txt"}).batchFlags, kBatchNormal);
    EXPECT_EQ(ParseCommandLine({"@jobs.txt", "/Q"}).leftover, "/Q");

    c = ParseCommandLine({"a.cir", "b.cir"});
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
TEST_F(BatchTest, EndToEndRunOfAnRcNetlist)
{
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
    if (!std::filesystem::exists(exe)) GTEST_SKIP() << "the kq5 program is not built beside the tests";
    std::filesystem::copy_file(std::string(KQ5_SOURCE_DIR) + "/tests/circuits/spice/rc_lowpass.cir", PathOf("rc.cir"));
    WriteFile("jobs.txt", "; one RC low-pass filter\nrc.cir /T\n");
    const std::string command = "cd '" + PathOf("") + "' && '" + exe.string() + "' @jobs.txt > run.log 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadText("run.log");

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
    EXPECT_EQ(stats.find("Error"), std::string::npos) << stats;
    EXPECT_NE(stats.find("Total elapsed time"), std::string::npos);

    if (!std::filesystem::exists(PathOf("rc.TNO")))
        GTEST_SKIP() << "no numeric output yet: the plot set-up that turns the netlist's .PRINT/.PLOT lines into "
                        "printed curves is not part of the program yet";
    const std::string output = ReadText("rc.TNO");
    EXPECT_NE(output.find("Transient Analysis of rc.cir"), std::string::npos) << output;
    EXPECT_NE(output.find("V(2)"), std::string::npos) << output;
}

}  // namespace
}  // namespace kq5
