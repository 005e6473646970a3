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
TEST_F(Bsim3ReferenceTest, CmosInverterPairSwitching) { Check("bsim3_inverter"); }

}  // namespace
}  // namespace kq5::reference
