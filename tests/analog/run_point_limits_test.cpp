// Point counts of a run beyond what its counters hold are refused, and very large ones are
// asked about, before anything is computed: whole batch runs of the program, and the check.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "../core/file_test_support.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/run_point_limits.h"
#include "ui/app_state.h"
#include "core/message_reporter.h"
#include "platform/backend.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

class RunPointLimitsTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        win::ResetPlatformForTests();
        ResetAppStateForTests();
        ResetRunControlForTests();
        win::ClearMessageBoxLog();
    }
    void TearDown() override
    {
        ResetRunControlForTests();
        ResetAppStateForTests();
        ScratchDirTest::TearDown();
    }

    // Runs the program in batch on an RC circuit with the analysis line; the batch log, with
    // the program's exit status in `exitStatus`. A run that does not stop within the time
    // fails the test instead of hanging it.
    std::string RunBatch(const std::string& analysisLine, const std::string& switchText)
    {
        WriteFile("rc.cir", "rc\nV1 1 0 DC 0 AC 1\nR1 1 2 1K\nC1 2 0 1U\n" + analysisLine +
                                "\n.PRINT AC V(2)\n.PRINT TRAN V(2)\n.PRINT DC V(2)\n.END\n");
        WriteFile("jobs.txt", "rc.cir " + switchText + "\n");
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
        const std::string command =
            "cd '" + PathOf("") + "' && timeout 60 '" + exe.string() + "' @jobs.txt > run.log 2>&1";
        const int status = std::system(command.c_str());
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        EXPECT_NE(exitStatus, 124) << "the run did not stop";
        return ReadText("jobs.DOC");
    }
    int exitStatus = 0;
};

TEST_F(RunPointLimitsTest, CountsBeyondTheCountersAreRefused)
{
    // 3E9 points used to wrap around to a silent run of 51 points; 1F steps over 1 s, to run
    // on with memory rising.
    struct Case {
        const char* line;
        const char* runSwitch;
        const char* fieldText;
    } cases[] = {
        {".AC LIN 3E9 1 1MEG", "/A", "3e+09"},
        {".TRAN 1F 1 0 1F", "/T", "1e+15"},
        {".TRAN 1N 1 0 1F", "/T", "1F"},
        {".DC V1 0 1 1E-12", "/D", "1,0,1E-12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string log = RunBatch(c.line, c.runSwitch);
        EXPECT_EQ(exitStatus, 1) << ReadText("run.log");
        EXPECT_NE(log.find("Error 13586"), std::string::npos) << log;
        EXPECT_NE(log.find(std::string("Text:\t") + c.fieldText), std::string::npos) << log;
    }
}

TEST_F(RunPointLimitsTest, BatchRunsRefuseWhatTheyCannotAskAbout)
{
    const std::string log = RunBatch(".AC LIN 1E9 1 1MEG", "/A");
    EXPECT_EQ(exitStatus, 1) << ReadText("run.log");
    EXPECT_NE(log.find("Error 13588"), std::string::npos) << log;
    EXPECT_NE(log.find("compute 1e+09 points; a batch run computes at most 1e+08"), std::string::npos) << log;
    EXPECT_EQ(ReadText("rc.ANO").find("AC Analysis"), std::string::npos);
    // An ordinary count runs as before.
    const std::string ordinary = RunBatch(".AC LIN 100 1 1MEG", "/A");
    EXPECT_EQ(exitStatus, 0) << ReadText("run.log");
    EXPECT_EQ(ordinary.find("Error"), std::string::npos) << ordinary;
    EXPECT_EQ(ordinary.find("Warning"), std::string::npos) << ordinary;
    EXPECT_NE(ReadText("rc.ANO").find("AC Analysis"), std::string::npos) << ReadText("rc.ANO");
}

TEST_F(RunPointLimitsTest, TheQuestionTakesTheAnswer)
{
    Analysis().analysisKind = kAnalysisAc;
    EXPECT_EQ(CheckRunPointCount(1, kRunPointsWithoutQuestion), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(CheckRunPointCount(1, 2 * kRunPointsWithoutQuestion), 0);
    win::PushMessageBoxAnswer(win::IDNO);
    EXPECT_EQ(CheckRunPointCount(1, 2 * kRunPointsWithoutQuestion), kMsgStoppedByUser);
    ASSERT_EQ(win::MessageBoxLog().size(), 2u);
    EXPECT_EQ(win::MessageBoxLog().back().type & win::MB_DEFMASK, win::MB_DEFBUTTON2);
    // What no count can be is refused without a question.
    EXPECT_EQ(CheckRunPointCount(1, std::nan("")), kMsgAlreadyReported);
    EXPECT_EQ(win::MessageBoxLog().size(), 3u);
    EXPECT_EQ(RunControl().failureReported, 1);
}

}  // namespace
}  // namespace kq5
