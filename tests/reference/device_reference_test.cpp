// This program against ngspice on circuits with junction diodes, bipolar transistors, JFETs,
// GaAsFETs and MOSFETs of LEVEL 1 to 3: I-V sweeps, operating points, AC gain and phase,
// switching waveforms and output noise, at the nominal temperature and away from it. These
// comparisons need ngspice and fail without it.
#include "reference_support.h"

namespace kq5::reference {
namespace {

class DeviceReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the device comparisons";
        Compare(name);
    }
};

TEST_F(DeviceReferenceTest, DiodeOperatingPoints) { Check("dev_diode_op"); }
TEST_F(DeviceReferenceTest, BjtOperatingPoints) { Check("dev_bjt_op"); }
TEST_F(DeviceReferenceTest, BjtOperatingPointsBelowNominalTemperature) { Check("dev_bjt_op_cold"); }
TEST_F(DeviceReferenceTest, BjtLeakageFollowsTheBetaTemperatureFactor) { Check("dev_bjt_low_current_hot"); }

TEST_F(DeviceReferenceTest, DiodeForwardCurves) { Check("dev_diode_dc_iv"); }
TEST_F(DeviceReferenceTest, DiodeForwardCurvesAboveNominalTemperature) { Check("dev_diode_dc_hot"); }
TEST_F(DeviceReferenceTest, BjtOutputCharacteristic) { Check("dev_bjt_dc_iv"); }
TEST_F(DeviceReferenceTest, LateralPnpWithItsSubstrateOnTheBase) { Check("dev_lpnp_dc"); }
TEST_F(DeviceReferenceTest, LateralPnpCardOnAThreePinTransistor) { Check("dev_lpnp_three_pins"); }

TEST_F(DeviceReferenceTest, DiodeSmallSignal) { Check("dev_diode_ac"); }
TEST_F(DeviceReferenceTest, BjtAmplifierGainAndPhase) { Check("dev_bjt_ac_gain"); }

TEST_F(DeviceReferenceTest, DiodeRectifier) { Check("dev_diode_rectifier"); }
TEST_F(DeviceReferenceTest, BjtInverterSwitching) { Check("dev_bjt_inverter"); }

TEST_F(DeviceReferenceTest, JfetOutputCharacteristics) { Check("dev_jfet_dc"); }
TEST_F(DeviceReferenceTest, JfetAmplifierGainAndPhase) { Check("dev_jfet_ac"); }
TEST_F(DeviceReferenceTest, JfetGateAndDrainCurrentsAtHotAndColdTemperatures) { Check("dev_jfet_temperatures"); }

TEST_F(DeviceReferenceTest, GaasfetOutputCharacteristic) { Check("dev_gaasfet"); }
TEST_F(DeviceReferenceTest, GaasfetAmplifierGainAndPhase) { Check("dev_gaasfet_ac"); }
TEST_F(DeviceReferenceTest, GaasfetGateChargeAtFiveGigahertz) { Check("dev_gaasfet_charge"); }

TEST_F(DeviceReferenceTest, DiodeOutputNoise) { Check("dev_diode_noise"); }
TEST_F(DeviceReferenceTest, BjtAmplifierOutputNoise) { Check("dev_bjt_noise"); }
TEST_F(DeviceReferenceTest, BjtNoiseOfTheBaseResistanceAtItsBiasPoint) { Check("dev_bjt_noise_base_resistance"); }
TEST_F(DeviceReferenceTest, JfetAmplifierOutputNoise) { Check("dev_jfet_noise"); }

// MOSFETs: both polarities and orientations, every level.
TEST_F(DeviceReferenceTest, MosLevel1NmosOutputCharacteristics) { Check("mos_dc_level1_nmos"); }
TEST_F(DeviceReferenceTest, MosLevel1NmosAboveNominalTemperature) { Check("mos_dc_level1_hot"); }
TEST_F(DeviceReferenceTest, MosLevel1PmosFromProcessParameters) { Check("mos_dc_level1_pmos"); }
TEST_F(DeviceReferenceTest, MosLevel2NmosShortChannelAndWeakInversion) { Check("mos_dc_level2_nmos"); }
TEST_F(DeviceReferenceTest, MosLevel2PmosVelocitySaturation) { Check("mos_dc_level2_vmax"); }
TEST_F(DeviceReferenceTest, MosLevel3NmosShortChannel) { Check("mos_dc_level3_nmos"); }
TEST_F(DeviceReferenceTest, MosLevel3PmosChannelLengthModulation) { Check("mos_dc_level3_pmos"); }
TEST_F(DeviceReferenceTest, MosLevel3NmosWithoutVelocitySaturation) { Check("mos_dc_level3_novmax"); }
TEST_F(DeviceReferenceTest, MosOperatingPointOfCmosAmplifier) { Check("mos_op_cmos"); }
TEST_F(DeviceReferenceTest, MosAcCommonSourceAmplifier) { Check("mos_ac_common_source"); }
TEST_F(DeviceReferenceTest, MosTransientCmosInverterChain) { Check("mos_tran_cmos_inverter"); }
TEST_F(DeviceReferenceTest, MosForwardBiasedBulkJunctionCharge) { Check("mos_tran_forward_junction"); }
TEST_F(DeviceReferenceTest, MosTransientBicmosDriverWithBipolarAndDiodeCharges) { Check("mos_tran_bicmos_driver"); }
TEST_F(DeviceReferenceTest, MosQuiescentTransientStaysAtTheOperatingPoint) { Check("mos_tran_quiescent"); }
TEST_F(DeviceReferenceTest, MosNoiseOfCommonSourceStage) { Check("mos_noise_common_source"); }
TEST_F(DeviceReferenceTest, MosNoiseAtTheTemperatureItsModelHoldsItAt) { Check("mos_noise_device_temperature"); }

}  // namespace
}  // namespace kq5::reference
