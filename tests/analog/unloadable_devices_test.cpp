// A circuit holding devices that the simulator has no model code for is refused with their
// kind and first part, and the model warnings of its build still reach the numeric output.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
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

    std::string Output() const
    {
        std::ifstream in(dir_ / "d.TNO", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(UnloadableDevicesTest, TheRefusalNamesTheKindAndTheFirstPart)
{
    // Lossy lines stand for any kind whose model code is missing.
    const std::string netlist = "d\nV1 1 0 1\nR1 1 2 1K\nTLOSSY 2 0 3 0 LEN=1 R=1 L=1U G=0 C=1P\n"
                                "T2 3 0 4 0 LEN=1 R=1 L=1U G=0 C=1P\nR2 4 0 1K\nD1 2 0 DX\n"
                                ".MODEL DX D (IS=1E-14 FOO=1)\n.TRAN 1M 2M\n.PRINT TRAN V(2)\n.END\n";
    EXPECT_EQ(RunTransient(netlist), kMsgAlreadyReported);
    ASSERT_EQ(ShownIds(), std::vector<int>{5368}) << LastShownText();
    EXPECT_NE(LastShownText().find("TLOSSY"), std::string::npos) << LastShownText();
    // The unknown model parameter is not lost with the run.
    EXPECT_NE(Output().find("Warning unknown parameter FOO in model DX."), std::string::npos) << Output();
}

}  // namespace
}  // namespace kq5::testing
