// This program's LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFETs against ngspice's level 4 and
// level 5. These comparisons need ngspice and fail without it.
//
// Known differences: none within the stated tolerances. The conductances here are the exact
// slopes of the currents, where the published weak-inversion output conductance is an
// approximation; the two agree wherever the small-signal comparisons are made (strong inversion).
#include "reference_support.h"

namespace kq5::reference {
namespace {

class Bsim12ReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the BSIM1 and BSIM2 comparisons";
        Compare(name);
    }
};

TEST_F(Bsim12ReferenceTest, Bsim1OutputCharacteristics) { Check("bsim1_dc_iv"); }
TEST_F(Bsim12ReferenceTest, Bsim1TransferCharacteristics) { Check("bsim1_transfer"); }
TEST_F(Bsim12ReferenceTest, Bsim1OperatingPoint) { Check("bsim1_op"); }
TEST_F(Bsim12ReferenceTest, Bsim1InverterAmplifierGainAndPhase) { Check("bsim1_ac"); }
TEST_F(Bsim12ReferenceTest, Bsim1InverterPairSwitching) { Check("bsim1_inverter"); }

}  // namespace
}  // namespace kq5::reference
