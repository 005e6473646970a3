// The kq5 program's batch outputs when a run does not complete: a write refused by the file-size
// limit, the program killed in the middle of a run, an analysis that fails after its build. The
// numeric output and the statistics file of the last good batch stay byte for byte, and no
// temporary file is left in the folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "../core/file_test_support.h"

namespace kq5 {
namespace {

class BatchOutputsKept : public test::ScratchDirTest {
protected:
    // Starts "kq5 @jobs.txt" in the scratch folder, its output into run.log; with a file-size
    // limit in bytes when one is given (a write beyond it fails instead of killing the program).
    pid_t Start(rlim_t fileSizeLimit = RLIM_INFINITY)
    {
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
        EXPECT_TRUE(std::filesystem::exists(exe)) << "the kq5 program must be built beside the tests";
        const std::string folder = PathOf("");
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(folder.c_str()) != 0) ::_exit(126);
            const int log = ::open("run.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(log, 1);
            ::dup2(log, 2);
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::execl(exe.c_str(), exe.c_str(), "@jobs.txt", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return child;
    }

    static int Wait(pid_t child)
    {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Runs the batch to its end; its exit status.
    int Run(rlim_t fileSizeLimit = RLIM_INFINITY) { return Wait(Start(fileSizeLimit)); }

    // The files of the folder whose names are none of the circuit's own.
    std::string Strays() const
    {
        std::string strays;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            if (entry.path().filename().string().rfind(".~", 0) == 0) strays += entry.path().filename().string() + " ";
        return strays;
    }

    // A transient of many printed points: its numeric output is some 300 kB. Its model card
    // draws a warning, which is written before the run starts.
    void WriteLongRun(const std::string& stop)
    {
        WriteFile("rc.cir", "RC\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nC1 2 0 1U\nD1 0 2 DM\n.MODEL DM D(FOO=3)\n.TRAN 1U " +
                                stop + " 0 1U\n.PRINT TRAN V(1) V(2)\n.END\n");
        WriteFile("jobs.txt", "rc.cir /T\n");
    }
};

TEST_F(BatchOutputsKept, AWriteBeyondTheFileSizeLimitKeepsTheLastGoodOutput)
{
    WriteLongRun("10M");
    ASSERT_EQ(Run(), 0) << ReadText("run.log");
    const std::string good = ReadFile("rc.TNO");
    ASSERT_GT(good.size(), 64u * 1024u);
    EXPECT_NE(Run(64 * 1024), 0);
    EXPECT_EQ(ReadFile("rc.TNO"), good);
    // The statistics file says which file was kept.
    EXPECT_NE(ReadText("jobs.DOC").find(PathOf("rc.TNO")), std::string::npos) << ReadText("jobs.DOC");
    EXPECT_EQ(Strays(), "");
}

TEST_F(BatchOutputsKept, AProgramKilledDuringARunLeavesTheOldOutputsAndNoTemporary)
{
    WriteLongRun("10M");
    ASSERT_EQ(Run(), 0) << ReadText("run.log");
    const std::string output = ReadFile("rc.TNO");
    const std::string statistics = ReadFile("jobs.DOC");
    // A run that lasts: killed at different moments of it.
    WriteLongRun("2");
    for (int wait : {50, 200, 600}) {
        const pid_t child = Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        ::kill(child, SIGKILL);
        Wait(child);
        EXPECT_EQ(ReadFile("rc.TNO"), output) << "killed after " << wait << " ms";
        EXPECT_EQ(ReadFile("jobs.DOC"), statistics) << "killed after " << wait << " ms";
        EXPECT_EQ(Strays(), "") << "killed after " << wait << " ms";
    }
}

// Ctrl-C is the user stopping the batch: the statistics file is this batch's, with the jobs that
// ran and a word that it was stopped, not the last whole batch's rows, and the jobs after it do
// not run.
TEST_F(BatchOutputsKept, CtrlCStopsTheBatchAndItsStatisticsSayWhatRan)
{
    WriteFile("quick.cir", "QUICK\nV1 1 0 DC 1\nR1 1 2 1K\nR2 2 0 3K\n.DC V1 0 10 1\n.PRINT DC V(2)\n.END\n");
    WriteFile("after.cir", "AFTER\nV1 1 0 DC 1\nR1 1 2 1K\nR2 2 0 1K\n.DC V1 0 10 1\n.PRINT DC V(2)\n.END\n");
    WriteLongRun("100");  // minutes of work: the signal comes while it runs
    WriteFile("jobs.txt", "quick.cir /D\nrc.cir /T\nafter.cir /D\n");
    WriteFile("jobs.DOC", "jobs.txt 01/01/26 10:00:00\nrc.cir         /T  1  0  1  9.5\nTotal elapsed time 9.5\n");
    const pid_t child = Start();
    // The first job's output is there once it has ended.
    for (int i = 0; i < 6000 && !std::filesystem::exists(PathOf("quick.DNO")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(PathOf("quick.DNO"))) << ReadText("run.log");
    ::kill(child, SIGINT);
    EXPECT_EQ(Wait(child), 1) << ReadText("run.log");
    const std::string statistics = ReadText("jobs.DOC");
    EXPECT_EQ(statistics.find("01/01/26"), std::string::npos) << statistics;
    EXPECT_NE(statistics.find("quick.cir      /D"), std::string::npos) << statistics;
    EXPECT_NE(statistics.find("13406"), std::string::npos) << statistics;
    EXPECT_NE(statistics.find("Total elapsed time"), std::string::npos) << statistics;
    EXPECT_EQ(statistics.find("after.cir"), std::string::npos) << statistics;
    EXPECT_FALSE(std::filesystem::exists(PathOf("after.DNO")));
    EXPECT_EQ(Strays(), "");
}

TEST_F(BatchOutputsKept, AnAnalysisThatFailsAfterItsBuildKeepsTheLastGoodOutput)
{
    WriteFile("div.cir", "DIVIDER\nV1 1 0 DC 1\nR1 1 2 1K\nR2 2 0 3K\n.DC V1 0 10 1\n.PRINT DC V(2)\n.END\n");
    WriteFile("jobs.txt", "div.cir /D\n");
    ASSERT_EQ(Run(), 0) << ReadText("run.log");
    const std::string good = ReadFile("div.DNO");
    ASSERT_FALSE(good.empty());
    // A circuit that builds but whose matrix is singular (15051): a unity-gain source across
    // its own controlling nodes.
    WriteFile("div.cir", "SINGULAR\nV1 1 0 DC 1\nI2 1 0 DC 1\nR1 2 0 1K\nE1 1 2 1 2 1\n.DC V1 0 10 1\n.PRINT DC V(1)\n.END\n");
    EXPECT_NE(Run(), 0);
    EXPECT_NE(ReadText("jobs.DOC").find("15051"), std::string::npos) << ReadText("jobs.DOC");
    EXPECT_EQ(ReadFile("div.DNO"), good);
    EXPECT_EQ(Strays(), "");
}

TEST_F(BatchOutputsKept, ARunStoppedBeforeItsFirstRowKeepsTheLastWholeOutputAndRunData)
{
    WriteLongRun("10M");
    WriteFile("jobs.txt", "rc.cir /T /S\n");
    ASSERT_EQ(Run(), 0) << ReadText("run.log");
    const std::string output = ReadFile("rc.TNO");
    const std::string saved = ReadFile("rc.TSA");
    ASSERT_FALSE(output.empty());
    ASSERT_GT(saved.size(), 8u);
    // The run's CPU time limit stops it at its first look at the clock, before its first row.
    std::string circuit = ReadText("rc.cir");
    circuit.insert(circuit.find(".TRAN"), ".OPTIONS CPTIME=1E-9\n");
    WriteFile("rc.cir", circuit);
    EXPECT_NE(Run(), 0);
    EXPECT_NE(ReadText("jobs.DOC").find("CPTIME"), std::string::npos) << ReadText("jobs.DOC");
    EXPECT_TRUE(ReadFile("rc.TNO") == output) << ReadFile("rc.TNO").size() << " bytes instead of " << output.size();
    EXPECT_TRUE(ReadFile("rc.TSA") == saved) << ReadFile("rc.TSA").size() << " bytes instead of " << saved.size();
    EXPECT_EQ(Strays(), "");
    // What a Retrieve replays is the whole run that was saved. The circuit is put back as it was
    // saved, from a copy that keeps its time (a file newer than the run data is rerun instead).
    circuit.erase(circuit.find(".OPTIONS CPTIME"), std::string(".OPTIONS CPTIME=1E-9\n").size());
    WriteFile("rc.cir", circuit);
    std::filesystem::last_write_time(PathOf("rc.cir"), std::filesystem::last_write_time(PathOf("rc.TSA")) - std::chrono::seconds(5));
    WriteFile("jobs.txt", "rc.cir /T /R\n");
    EXPECT_EQ(Run(), 0) << ReadText("jobs.DOC");
    const std::string replayed = ReadFile("rc.TNO");
    EXPECT_EQ(replayed.substr(replayed.rfind('\n', replayed.size() - 2)), output.substr(output.rfind('\n', output.size() - 2)));
}

}  // namespace
}  // namespace kq5
