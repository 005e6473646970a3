// The AC stamp list: the building pass creates the elements (transposed in noise mode),
// later passes walk the same sequence, and a pass that strays from it or meets a device kind
// without an AC stamp fails instead of solving a different circuit.
#include <gtest/gtest.h>

#include "analog/noise.h"
#include "netlist/diode_device.h"
#include "netlist/line_switch_devices.h"
#include "platform/message_box.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

class StampAcTest : public RunLoopTest {
protected:
    void SetUp() override
    {
        RunLoopTest::SetUp();
        int error = 0;
        matrix = MatrixCreate(0, true, error);
        ASSERT_NE(matrix, nullptr);
        rhs.assign(16, 0.0);
        excitation.assign(16, 0.0);
        AcStampState& s = AcStamps();
        s.matrix = matrix.get();
        s.stamps = &pool;
        s.rhs = rhs;
        s.savedExcitation = excitation;
    }
    double Re(int r, int c) { return MatrixGetElement(matrix.get(), r, c)->real; }
    double Im(int r, int c) { return MatrixGetElement(matrix.get(), r, c)->imag; }

    std::unique_ptr<SparseMatrix> matrix;
    std::vector<MatrixElementRef> pool;
    std::vector<double> rhs, excitation;
};

TEST_F(StampAcTest, LaterPassesWalkTheBuildingSequence)
{
    Nodes(2);
    R(1, 2, 100.0);
    C(2, 0, 1e-6);
    AcStamps().omega = 1000.0;
    AcStamps().firstPass = 1;
    ASSERT_EQ(LoadCircuitAc(), 0);
    AcStamps().firstPass = 0;
    EXPECT_EQ(pool.size(), 8u);  // four capacitor stamps (two into ground), four resistor stamps
    EXPECT_DOUBLE_EQ(Re(1, 1), 0.01);
    EXPECT_DOUBLE_EQ(Im(2, 2), 1e-3);

    AcStamps().omega = 2000.0;
    ASSERT_EQ(LoadCircuitAc(), 0);  // values cleared and stamped again
    EXPECT_DOUBLE_EQ(Re(1, 2), -0.01);
    EXPECT_DOUBLE_EQ(Im(2, 2), 2e-3);

    // One more device than the building pass knew: the sequence no longer matches.
    R(1, 0, 50.0);
    EXPECT_EQ(LoadCircuitAc(), 13579);
}

TEST_F(StampAcTest, NoiseModeTransposesAndReplacesTheExcitation)
{
    Nodes(2);
    Controlled(26, 2, 0, 1, 0, 3.0);  // G: current into node 2 controlled by V(1)
    auto* input = I(1, 0, 0.0);
    input->acMagnitude = 2.0;
    I(2, 0, 0.0)->acMagnitude = 5.0;
    AcStamps().noiseMode = 1;
    AcStamps().noiseInputDevice = input;
    AcStamps().noiseOutputNodes = {2, 0};
    AcStamps().firstPass = 1;
    ASSERT_EQ(LoadCircuitAc(), 0);
    // The transconductance lands at (control, output) instead of (output, control).
    EXPECT_DOUBLE_EQ(MatrixGetElement(matrix.get(), 1, 2)->real, 3.0);
    EXPECT_DOUBLE_EQ(MatrixGetElement(matrix.get(), 2, 1)->real, 0.0);
    // The input source's excitation at an AC value of 1 is kept aside, the other source's
    // not at all; the system sees -1 at the output node only.
    EXPECT_DOUBLE_EQ(excitation[2], -1.0);
    EXPECT_DOUBLE_EQ(excitation[4], 0.0);
    EXPECT_DOUBLE_EQ(rhs[2], 0.0);
    EXPECT_DOUBLE_EQ(rhs[4], -1.0);
}

TEST_F(StampAcTest, KindsWithoutAnAcStampFailTheSolve)
{
    Nodes(2);
    R(1, 0, 1.0);
    Add<DiodeDevice>(kDiodeDeviceList);
    AcStamps().firstPass = 1;
    win::ClearMessageBoxLog();
    EXPECT_EQ(LoadCircuitAc(), kMsgAlreadyReported);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].caption, "Error 5368");
}

TEST_F(StampAcTest, NoiseTableHoldsTheSwitchGenerators)
{
    Nodes(2);
    R(1, 0, 1e3)->sourceFlag = 1;
    for (int i = 0; i < 3; ++i) {
        auto* w = Add<SwitchDevice>(kSwitchDeviceList);
        w->outputA = 1;
        w->outputB = 2;
    }
    AnalogSolver().devices.switches.resize(3);
    for (auto& sw : AnalogSolver().devices.switches) sw.resistance = 10.0;
    AcStamps().noiseMode = 1;
    ASSERT_EQ(AllocateNoiseTable(), 0);
    const std::size_t capacity = Analysis().noise.sources.capacity();
    ASSERT_EQ(BuildNoiseSources(), 0);
    EXPECT_EQ(Analysis().noise.sources.size(), 4u);
    EXPECT_GE(capacity, 4u);
    EXPECT_NEAR(Analysis().noise.sources[1].weight, std::sqrt(kFourK * 300.15 / 10.0), 1e-15);
}

}  // namespace
}  // namespace kq5::solver_test
