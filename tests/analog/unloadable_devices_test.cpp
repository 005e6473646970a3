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
        // The diodes stand for any kind whose model code is missing: their load is taken away
        // for the test and given back after it.
        saved_ = RegisterDeviceKindHandlers(kSlotDiodes, nullptr, nullptr);
    }
    void TearDown() override
    {
        RegisterDeviceKindHandlers(kSlotDiodes, saved_.setup, saved_.load);
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

    DeviceKindHandlers saved_{};
};

TEST_F(UnloadableDevicesTest, TheRefusalNamesTheKindAndTheFirstPart)
{
    const std::string netlist = "d\nV1 1 0 1\nR1 1 2 1K\nDCLAMP 2 0 DX\nD2 2 0 DX\n.MODEL DX D (IS=1E-14 FOO=1)\n"
                                ".TRAN 1M 2M\n.PRINT TRAN V(2)\n.END\n";
    EXPECT_EQ(RunTransient(netlist), kMsgAlreadyReported);
    ASSERT_EQ(ShownIds(), std::vector<int>{5368}) << LastShownText();
    EXPECT_NE(LastShownText().find("Diode"), std::string::npos) << LastShownText();
    EXPECT_NE(LastShownText().find("DCLAMP"), std::string::npos) << LastShownText();
    // The unknown model parameter is not lost with the run.
    EXPECT_NE(Output().find("Warning unknown parameter FOO in model DX."), std::string::npos) << Output();
}

}  // namespace
}  // namespace kq5::testing
