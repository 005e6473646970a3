// Running again: a user runs an analysis, looks, and presses Run once more. The second run's
// numeric output is the first's, to the byte: nothing the first run left behind in the circuit
// it built changes the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

namespace fs = std::filesystem;

// Runs the open analysis (F2) with its old output removed; the output once its last row is in.
std::string RunAgain(Journey& journey, const fs::path& output, const std::string& lastRow)
{
    fs::remove(output);
    journey.Key("F2");
    journey.WaitUntil([&] { return ReadAll(output).find(lastRow) != std::string::npos; }, 20);
    journey.Settle();
    return ReadAll(output);
}

// Runs the open analysis twice (the first run's output holding the text `mark`), the second
// run's window captured, and ends the analysis (F3): the second output must be the first's.
void ExpectSecondRunAsFirst(Journey& journey, const fs::path& output, const std::string& lastRow,
                            const std::string& mark, const std::string& pngName)
{
    const std::string first = RunAgain(journey, output, lastRow);
    ASSERT_NE(first.find(mark), std::string::npos) << first;
    const std::string second = RunAgain(journey, output, lastRow);
    journey.Capture(pngName);
    EXPECT_EQ(second, first);
    journey.Key("F3");
    journey.Settle();
}

// A common-source stage whose MOSFET is written with drain and source the other way round: its
// operating point runs it reversed, and the AC run that keeps that operating point for its next
// Run must keep the orientation too (the gain fell from 6.2 to 0.7 on the second Run, and the
// report's VTH and VDSAT to 0).
TEST(RerunJourney, ASecondAcRunOfAReversedMosfetGivesTheFirstRunsOutput)
{
    Journey journey("rerun_ac_mosfet");
    std::ofstream(journey.Root() / "rev.ckt")
        << "* common-source stage, drain and source named the other way round\n"
           "VDD 1 0 5\nVIN 2 0 DC 1.2 AC 1\nRD 1 3 20k\nM1 0 2 3 0 NM L=2u W=20u\n"
           ".model NM NMOS (LEVEL=1 VTO=0.7 KP=60u GAMMA=0.4 LAMBDA=0.02 TOX=40n CGSO=3n CGDO=3n)\n"
           ".AC DEC 10 10 100meg\n.PRINT AC VM(3)\n.END\n";
    ASSERT_TRUE(journey.Start({"rev.ckt"})) << journey.Output();
    journey.Key("alt+2");
    journey.Settle();
    ExpectSecondRunAsFirst(journey, journey.Root() / "rev.ANO", "1.000e+08", " 1.000e+01     6.221", "rerun_ac_mosfet_second");
}

// A BSIM3 inverter run as an amplifier: its operating point report after a second transient
// Run showed the bulk junction capacitances of the first run's last time point (the operating
// point computes none), and after a second AC Run a VDSAT of 0.
TEST(RerunJourney, SecondRunsOfABsim3StageReportTheFirstRunsOperatingPoint)
{
    Journey journey("rerun_bsim3");
    fs::copy_file(fs::path(KQ5_SOURCE_DIR) / "tests/reference/circuits/bsim3_card_op_ac.cir", journey.Root() / "inv.ckt");
    ASSERT_TRUE(journey.Start({"inv.ckt"})) << journey.Output();
    for (const char* kind : {"TNO", "ANO"}) {
        SCOPED_TRACE(kind);
        const bool transient = kind == std::string("TNO");
        journey.Key(transient ? "alt+1" : "alt+2");
        journey.Settle();
        ExpectSecondRunAsFirst(journey, journey.Root() / (std::string("inv.") + kind), "CGB ", "VDSAT",
                               transient ? "rerun_bsim3_transient_second" : "rerun_bsim3_ac_second");
    }
}

// BSIM2 transistors from accumulation into strong inversion, each at its own gate voltage: the
// report after a second AC Run gave every one the threshold of zero bias.
TEST(RerunJourney, ASecondAcRunOfBsim2TransistorsReportsTheirThresholds)
{
    Journey journey("rerun_bsim2");
    // The lines our program reads start with "*KQ5 " in the shared reference circuit.
    std::string text = ReadAll(fs::path(KQ5_SOURCE_DIR) / "tests/reference/circuits/bsim2_charges.cir");
    for (std::size_t at = text.find("*KQ5 "); at != std::string::npos; at = text.find("*KQ5 ", at)) text.erase(at, 5);
    std::ofstream(journey.Root() / "b2.ckt", std::ios::binary) << text;
    ASSERT_TRUE(journey.Start({"b2.ckt"})) << journey.Output();
    journey.Key("alt+2");
    journey.Settle();
    ExpectSecondRunAsFirst(journey, journey.Root() / "b2.ANO", "CGB ", "576.922866376681M", "rerun_bsim2_second");
}

// rc_step.cir saved with Run Options "Save": one run keeps its points, and Retrieve replays them.
// With the Time Range changed from 5 ms to 4 ms the kept run is no longer this analysis' run:
// Retrieve says "Obsolete data file, please rerun the simulation." where it used to replay the
// old run without a word, as if it were the new one's.
TEST(RerunJourney, RetrieveAfterTheLimitsChangedSaysTheKeptRunIsObsolete)
{
    Journey journey("rerun_retrieve_stale");
    std::ofstream(journey.Root() / "rc_step.cir", std::ios::binary) << DrawnExampleWith("", {{"OPT=120", "OPT=376"}});
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc_step.cir")) << journey.Output();
    const fs::path kept = journey.Root() / "rc_step.TSA";
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(kept).size() > 8; }, 10)) << "the Save run kept nothing";
    journey.Settle();

    // The Analysis Limits dialog: Run Options "Retrieve" (the third entry), then Run (F2).
    constexpr int kRunOptionsX = 619, kRunOptionsY = 124, kTimeRangeX = 164, kTimeRangeY = 124;
    // Where a message box stands over the plot, and the red of its error icon.
    constexpr int kBoxLeft = 480, kBoxTop = 420, kBoxRight = 790, kBoxBottom = 560;
    constexpr std::uint32_t kErrorRed = 0xDC0000;
    journey.Tap(kRunOptionsX, kRunOptionsY);
    journey.Press("Down Down Return");
    journey.Press("F2");
    const Shot replayed = journey.Capture("rerun_retrieve_kept");
    EXPECT_EQ(replayed.Count(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kErrorRed), 0) << "the kept run was refused";

    journey.DoubleClick(kTimeRangeX, kTimeRangeY);
    journey.Key("ctrl+a");
    journey.Type("4m");
    journey.Press("Tab");
    journey.Press("F2");
    const Shot refused = journey.Capture("rerun_retrieve_obsolete");
    EXPECT_GT(refused.Count(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kErrorRed), 50) << "the old run was replayed";
    journey.Press("Return");
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
