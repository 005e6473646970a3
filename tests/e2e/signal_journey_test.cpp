// The program ends with its session: a termination signal is no user's Quit, so it ends without
// the quit question (a modified document still asks to be saved), and a display that goes away
// takes the program with it. The settings are written either way.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <thread>

#include "journey.h"

namespace kq5::journey {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SignalJourney, TermAndHangUpEndTheProgramWithoutTheQuitQuestion)
{
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        Journey journey(sig == SIGTERM ? "signal_term" : "signal_hup");
        ASSERT_TRUE(journey.Start()) << journey.Output();
        journey.Signal(sig);
        int status = 0;
        ASSERT_TRUE(journey.WaitForExit(2, &status)) << "still running 2 s after the signal\n" << journey.Output();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_NE(Slurp(journey.Root() / "kq5.dat").find("[Main]"), std::string::npos) << "settings not written";
    }
}

// A file of the command line that cannot be opened leaves an error box up at start-up; the
// program used to wait under it for an answer that a session ending never gives.
TEST(SignalJourney, TermEndsTheProgramUnderAStartUpErrorBox)
{
    Journey journey("signal_startup_box");
    std::ofstream(journey.Root() / "good.cir") << Slurp(fs::path(KQ5_SOURCE_DIR) / "tests" / "circuits" / "rc_filter.cir");
    ASSERT_TRUE(journey.Start({"missing.cir", "good.cir"})) << journey.Output();
    journey.Settle();
    journey.Capture("signal_startup_box");
    journey.Signal(SIGTERM);
    int status = 0;
    const bool ended = journey.WaitForExit(3, &status);
    if (!ended) {
        journey.Key("Return");
        journey.WaitForExit(5);
    }
    ASSERT_TRUE(ended) << "still waiting for the error box 3 s after the signal\n" << journey.Output();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(Slurp(journey.Root() / "kq5.dat").find("[Main]"), std::string::npos) << "settings not written";
}

TEST(SignalJourney, AModifiedDocumentIsSavedOnlyWithTheUsersAnswer)
{
    Journey journey("signal_modified");
    const fs::path netlist = journey.Root() / "mine.ckt";
    std::ofstream(netlist) << "* mine\nR1 1 0 1K\n.END\n";
    ASSERT_TRUE(journey.Start({"mine.ckt"})) << journey.Output();
    journey.Key("ctrl+End");
    journey.Type("* added");
    journey.Settle();
    journey.Signal(SIGTERM);
    // The save question waits for the user; the program does not end under it.
    int status = 0;
    EXPECT_FALSE(journey.WaitForExit(3, &status)) << journey.Output();
    journey.Capture("signal_save_question");
    journey.Key("Return");  // Yes
    ASSERT_TRUE(journey.WaitForExit(5, &status)) << journey.Output();
    EXPECT_NE(Slurp(netlist).find("* added"), std::string::npos) << Slurp(netlist);
}

// Running a netlist fills its analysis limits with defaults (and a digital curve's range with
// "N/A"); the file holds only the text, which nobody changed, so the session ends without a save
// question and the file stays as it was.
void RunOnlyAndQuit(const std::string& name, const std::string& text, const std::string& analysisKey)
{
    Journey journey(name);
    const fs::path netlist = journey.Root() / "run.ckt";
    std::ofstream(netlist) << text;
    ASSERT_TRUE(journey.Start({"run.ckt"})) << journey.Output();
    journey.Key(analysisKey);
    journey.Settle();
    journey.Key("F2");
    journey.Settle(10);
    journey.Key("F3");
    journey.Settle();
    journey.Signal(SIGTERM);
    int status = 0;
    const bool ended = journey.WaitForExit(3, &status);
    if (!ended) {
        journey.Capture(name + "_question");
        journey.Key("n");
        journey.WaitForExit(5, &status);
    }
    EXPECT_TRUE(ended) << "a save question for an unchanged netlist\n" << journey.Output();
    EXPECT_EQ(Slurp(netlist), text);
}

TEST(SignalJourney, ANetlistThatWasOnlyRunIsNotOfferedForSaving)
{
    RunOnlyAndQuit("signal_run_only", "* run only\nV1 1 0 AC 1\nR1 1 2 1K\nC1 2 0 1U\n.AC DEC 5 10 10K\n.END\n", "alt+2");
}

TEST(SignalJourney, ADigitalNetlistThatWasOnlyRunIsNotOfferedForSaving)
{
    RunOnlyAndQuit("signal_digital_run_only",
                   "* digital\nU1 STIM(1,1) $G_DPWR $G_DGND A IO_STM\n+ 0 0\n+ 10N 1\nU2 INV $G_DPWR $G_DGND A Y D0 IO_STM\n"
                   ".MODEL D0 UGATE()\n.MODEL IO_STM UIO()\n.TRAN 1N 50N\n.PRINT TRAN D(Y)\n.END\n",
                   "alt+1");
}

// A run in progress stops for the session: the program ends with it, the circuit unchanged.
TEST(SignalJourney, TermDuringARunStopsItAndEndsTheProgram)
{
    Journey journey("signal_during_run");
    const fs::path netlist = journey.Root() / "ring.ckt";
    const std::string text = "* five-stage ring oscillator\nVCC 99 0 DC 5\n.MODEL QN NPN(BF=100 CJE=2P CJC=1P TF=0.3N)\n"
                             "R1 99 1 1K\nRB1 5 11 10K\nQ1 1 11 0 QN\nR2 99 2 1K\nRB2 1 12 10K\nQ2 2 12 0 QN\n"
                             "R3 99 3 1K\nRB3 2 13 10K\nQ3 3 13 0 QN\nR4 99 4 1K\nRB4 3 14 10K\nQ4 4 14 0 QN\n"
                             "R5 99 5 1K\nRB5 4 15 10K\nQ5 5 15 0 QN\n.IC V(1)=0\n.TRAN 1N 10M 0 1N\n.PRINT TRAN V(1) V(5)\n.END\n";
    std::ofstream(netlist) << text;
    ASSERT_TRUE(journey.Start({"ring.ckt"})) << journey.Output();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    // Under way once its curves grow on the screen.
    const auto growing = [&] {
        const Shot before = journey.Capture();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return !journey.Capture().SameAs(before);
    };
    ASSERT_TRUE(journey.WaitUntil(growing, 30)) << journey.Output();
    journey.Capture("signal_during_run");
    journey.Signal(SIGTERM);
    int status = 0;
    const bool ended = journey.WaitForExit(20, &status);
    if (!ended) journey.Capture("signal_during_run_left");
    ASSERT_TRUE(ended) << "still running 20 s after the signal\n" << journey.Output();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Slurp(netlist), text);
}

TEST(SignalJourney, LosingTheDisplayEndsTheProgram)
{
    Journey journey("display_lost");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.StopDisplay();
    ASSERT_TRUE(journey.WaitForExit(5)) << "still running without its display\n" << journey.Output();
    EXPECT_NE(Slurp(journey.Root() / "kq5.dat").find("[Main]"), std::string::npos) << "settings not written";
}

}  // namespace
}  // namespace kq5::journey
