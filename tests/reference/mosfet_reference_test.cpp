// MOSFETs of LEVEL 1 to 3 against ngspice: I-V curves of both polarities and orientations, an
// operating point with every level, the small-signal response and output noise of
// common-source stages, and the switching of a CMOS inverter chain.
#include "reference_support.h"

namespace kq5::reference {
namespace {

class MosfetReferenceTest : public ReferenceTest {
protected:
    void Run(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the MOSFET comparisons";
        Compare(name);
    }
};

TEST_F(MosfetReferenceTest, Level1NmosOutputCharacteristics) { Run("mos_dc_level1_nmos"); }
TEST_F(MosfetReferenceTest, Level1PmosFromProcessParameters) { Run("mos_dc_level1_pmos"); }
TEST_F(MosfetReferenceTest, Level2NmosShortChannelAndWeakInversion) { Run("mos_dc_level2_nmos"); }
TEST_F(MosfetReferenceTest, Level2PmosVelocitySaturation) { Run("mos_dc_level2_vmax"); }
TEST_F(MosfetReferenceTest, Level3NmosShortChannel) { Run("mos_dc_level3_nmos"); }
TEST_F(MosfetReferenceTest, Level3PmosChannelLengthModulation) { Run("mos_dc_level3_pmos"); }
TEST_F(MosfetReferenceTest, OperatingPointOfCmosAmplifier) { Run("mos_op_cmos"); }
TEST_F(MosfetReferenceTest, AcCommonSourceAmplifier) { Run("mos_ac_common_source"); }
TEST_F(MosfetReferenceTest, TransientCmosInverterChain) { Run("mos_tran_cmos_inverter"); }
TEST_F(MosfetReferenceTest, NoiseOfCommonSourceStage) { Run("mos_noise_common_source"); }
TEST_F(MosfetReferenceTest, QuiescentTransientStaysAtTheOperatingPoint) { Run("mos_tran_quiescent"); }

}  // namespace
}  // namespace kq5::reference
