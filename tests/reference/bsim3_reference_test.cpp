// This program's LEVEL 8 (BSIM3) MOSFETs against ngspice's BSIM3 version 3.1. These comparisons
// need ngspice and fail without it.
#include "reference_support.h"

namespace kq5::reference {
namespace {

class Bsim3ReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the BSIM3 comparisons";
        Compare(name);
    }
};

TEST_F(Bsim3ReferenceTest, OutputCharacteristic) { Check("bsim3_dc_iv"); }
TEST_F(Bsim3ReferenceTest, WeakToStrongInversionWithBodyBiasAndPChannel) { Check("bsim3_subthreshold"); }
TEST_F(Bsim3ReferenceTest, CommonSourceGainAndPhase) { Check("bsim3_ac"); }
// The bulk forward-biased up to 1.9 V: the drain current, then the terminal currents of a bulk
// signal at 1 V forward.
TEST_F(Bsim3ReferenceTest, BulkForwardBiased)
{
    Check("bsim3_forward_bulk");
    TearDown();
    SetUp();
    Check("bsim3_forward_bulk_ac");
}
TEST_F(Bsim3ReferenceTest, CmosInverterPairSwitching) { Check("bsim3_inverter"); }
TEST_F(Bsim3ReferenceTest, PassGatesConductBothWays) { Check("bsim3_pass_gate"); }
// Transistors of three kinds in turn: the loads of one kind wait while those of the others are
// evaluated, and each device must still get its own results.
TEST_F(Bsim3ReferenceTest, ThreeKindsOfTransistorInTurn) { Check("bsim3_three_kinds"); }
TEST_F(Bsim3ReferenceTest, CapacitanceModelZeroIsTheSmoothModel) { Check("bsim3_capmod0"); }
TEST_F(Bsim3ReferenceTest, NonQuasiStaticChargeNode) { Check("bsim3_nqs"); }
TEST_F(Bsim3ReferenceTest, OutputNoise) { Check("bsim3_noise"); }
TEST_F(Bsim3ReferenceTest, MultiplierIsDevicesInParallel) { Check("bsim3_multiplier"); }
TEST_F(Bsim3ReferenceTest, MultiplierNoiseIsDevicesInParallel) { Check("bsim3_noise_multiplier"); }

// The unified flicker noise (NOIMOD 2 and 3) of version 3.1, in strong inversion at three
// temperatures and on both sides of turn-on + 0.1 V.
TEST_F(Bsim3ReferenceTest, UnifiedFlickerNoise)
{
    Check("bsim3_noise_unified");
    TearDown();
    SetUp();
    Check("bsim3_noise_weak");
}

// A p-channel stage has the unified flicker noise (NOIMOD 2) of its n-channel mirror: the gate
// voltage of the noise is taken in the device's own sense, from just below turn-on + 0.1 V
// (where the weak-inversion value joins in) to strong inversion.
TEST_F(Bsim3ReferenceTest, PChannelFlickerNoiseIsThatOfItsMirror)
{
    const std::string card = " (LEVEL=8 NOIMOD=2 TOX=9e-9 NCH=2.2e17 U0=400 K1=0.6 K2=-0.01 PCLM=1.2 XJ=1.5e-7 ";
    for (const char* gate : {"0.75", "0.8", "0.9"}) {
        std::vector<std::vector<OurCurve>> noise;
        for (const char* sign : {"", "-"}) {
            const bool p = *sign == '-';
            const std::string text = std::string("* mirror\n*@ noise\nVDD 1 0 ") + sign + "3.3\nVIN 2 0 DC " + sign +
                                     gate + " AC 1\nRS 2 5 100\nRL 1 3 20k\nM1 3 5 0 0 MM L=0.5u W=20u\n.MODEL MM " +
                                     (p ? "PMOS" : "NMOS") + card + (p ? "VTH0=-0.6 NOIA=9.9e18 NOIB=2400 NOIC=1.4e-12)"
                                                                       : "VTH0=0.6 NOIA=9.9e18 NOIB=2400 NOIC=1.4e-12)") +
                                     "\n.AC DEC 2 10 100k\n.NOISE V(3) VIN\n.end\n";
            noise.emplace_back();
            ASSERT_EQ(RunOurs(ParseReferenceCircuit("mirror", text), noise.back()), 0);
            TearDown();  // each run from a fresh program state
            SetUp();
        }
        ASSERT_EQ(noise[0].size(), 1u);
        ASSERT_EQ(noise[1][0].y.size(), noise[0][0].y.size());
        for (std::size_t i = 0; i < noise[0][0].y.size(); ++i)
            EXPECT_NEAR(std::abs(noise[1][0].y[i]), std::abs(noise[0][0].y[i]), 1e-6 * std::abs(noise[0][0].y[i]))
                << "gate " << gate << " at " << noise[0][0].x[i];
    }
}

// The 0.35 um process cards of the model library.
TEST_F(Bsim3ReferenceTest, ProcessCardOutputCharacteristics) { Check("bsim3_card_iv"); }
TEST_F(Bsim3ReferenceTest, ProcessCardInverterAmplifierGainAndPhase) { Check("bsim3_card_op_ac"); }
TEST_F(Bsim3ReferenceTest, ProcessCardRingOscillator) { Check("bsim3_card_ring"); }
TEST_F(Bsim3ReferenceTest, ProcessCardGateAndBulkChargeCurrents) { Check("bsim3_card_charges"); }

}  // namespace
}  // namespace kq5::reference
