// The model warnings of a circuit's build reach the numeric output of its run.
// Lossy lines are checked before that: a positive length and a kind with a closed-form
// response; and magnetic cores for their sizes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/device_dispatch.h"
#include "analog/run_control.h"

namespace kq5::testing {
namespace {

class UnloadableDevicesTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        ScratchBuildTest::SetUp();
        ResetRunControlForTests();
        InstallAnalysisKindHandlers();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ScratchBuildTest::TearDown();
    }

    int RunTransient(const std::string& netlist)
    {
        PutCircuit(netlist, "d.cir");
        win::ClearMessageBoxLog();
        return RunAnalysisCommand(record_, kAnalysisTransient);
    }

    // The message ids a transient run of a driven, loaded lossy line with these values shows.
    std::vector<int> RunLossyLine(const std::string& values)
    {
        RunTransient("l\nV1 1 0 1\nT1 1 0 2 0 " + values + "\nR2 2 0 1K\n.TRAN 1N 10N\n.END\n");
        return ShownIds();
    }

    std::string Output() const
    {
        std::ifstream in(dir_ / "d.TNO", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(UnloadableDevicesTest, UnknownModelParametersReachTheOutput)
{
    // Every kind of device the build makes has its model code now, so no run is refused for
    // its kind; the model warnings of the build still reach the numeric output.
    const std::string netlist = "d\nV1 1 0 1\nR1 1 2 1K\nDFIRST 2 0 DX\nR3 2 3 1K\n"
                                "MSECOND 3 3 0 0 MB\nR2 3 0 1K\n.MODEL MB NMOS (LEVEL=5 VBB=-2)\n"
                                ".MODEL DX D (IS=1E-14 FOO=1)\n.TRAN 1M 2M\n.PRINT TRAN V(2)\n.END\n";
    EXPECT_EQ(RunTransient(netlist), 0) << LastShownText();
    EXPECT_NE(Output().find("Warning unknown parameter FOO in model DX."), std::string::npos) << Output();
}

TEST_F(UnloadableDevicesTest, LossyLineLengthMustBePositive)
{
    for (const char* values : {"R=1 L=1U C=1P", "LEN=0 R=1 L=1U C=1P", "LEN=-2 R=1 L=1U C=1P"}) {
        SCOPED_TRACE(values);
        EXPECT_EQ(RunLossyLine(values), std::vector<int>{14183}) << LastShownText();
    }
}

TEST_F(UnloadableDevicesTest, LossyLinesWithoutAClosedFormAreRefused)
{
    EXPECT_EQ(RunLossyLine("LEN=1 R=1 L=1U"), std::vector<int>{14181}) << LastShownText();
    EXPECT_EQ(RunLossyLine("LEN=1 R=1 G=1M C=1P"), std::vector<int>{14181}) << LastShownText();
    EXPECT_EQ(RunLossyLine("LEN=1 R=1"), std::vector<int>{14185}) << LastShownText();
}

// A magnetic core's area, path, saturation magnetisation, shape and pinning values must be above
// zero; a gap of zero or below is no gap.
TEST_F(UnloadableDevicesTest, ACoreWithoutPositiveSizesIsRefused)
{
    for (const char* values : {"PATH=0", "AREA=-1", "MS=0", "A=-25", "K=0", "GAP=-1"}) {
        SCOPED_TRACE(values);
        RunTransient(std::string("c\nI1 0 1 SIN(0 1 50)\nL1 1 0 100\nR1 1 0 1MEG\nK1 L1 1 KC\n.MODEL KC CORE (") +
                     values + ")\n.TRAN 1M 2M\n.END\n");
        EXPECT_EQ(ShownIds(), std::string(values) == "GAP=-1" ? std::vector<int>{} : std::vector<int>{10807})
            << LastShownText();
    }
}

TEST_F(UnloadableDevicesTest, LossyLinesWithANegativeValueAreRefused)
{
    for (const char* values : {"LEN=1 R=-1 L=1U C=1P", "LEN=1 L=-1U C=1P", "LEN=1 R=1 C=-1P", "LEN=1 R=1 G=-1M"}) {
        SCOPED_TRACE(values);
        EXPECT_EQ(RunLossyLine(values), std::vector<int>{14186}) << LastShownText();
    }
}

}  // namespace
}  // namespace kq5::testing
