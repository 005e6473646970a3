// Device models at the edges of their bias and temperature ranges: where a branch of the
// equations changes, or a model value leaves the range the equations hold in.
#include "devices/model_temperature.h"
#include "devices/temperature_setup.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

// The smoothed gate charge divides by the square root of 1 - VMAX/VBI. The model statement
// checks VMAX < VBI at the nominal temperature; VBI falls as the device warms, and a run where
// it has fallen to VMAX stopped nowhere: every time step failed on a charge that was not a number
// once the gate was driven forward.
TEST_F(ReferenceTest, GaasfetWhoseVbiFallsToVmaxStopsTheRunWithTheModelsMessage)
{
    const ReferenceCircuit circuit = LoadReferenceCircuit("gaasfet_hot_gate_drive");
    ASSERT_EQ(BuildText(circuit.ourText, kAnalysisTransient), 0) << LastShownText();
    ASSERT_EQ(SetCircuitTemperature(150.0), 0);
    EXPECT_NE(PrepareModelsAtTemperature(150.0), 0);
    EXPECT_NE(LastShownText().find("VMAX must be less than VBI"), std::string::npos) << LastShownText();
    EXPECT_NE(LastShownText().find("GF"), std::string::npos) << LastShownText();

    // At 60 degrees VBI is still 0.53 V: the run goes on.
    ASSERT_EQ(SetCircuitTemperature(60.0), 0);
    EXPECT_EQ(PrepareModelsAtTemperature(60.0), 0) << LastShownText();
}

// Without reverse body bias the BSIM1 threshold holds its body potential at PHI, but keeps its
// body slope: compared with ngspice's level 4.
TEST_F(ReferenceTest, Bsim1BodyTransconductanceAtZeroBodyBias)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the BSIM1 comparison";
    Compare("bsim1_body_at_zero_bias");
}

}  // namespace
}  // namespace kq5::reference
