// Op-amp parts become an op-amp record and the elements of their model's LEVEL.
#include <cmath>

#include "build_test_support.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "core/part_instance.h"
#include "netlist/poly_source.h"

namespace kq5::testing {
namespace {

class OpampTest : public BuildTest {
protected:
    // Pins: plus input, minus input, VEE, output, VCC.
    SchematicItem* Opamp(const std::string& part, const std::string& model, std::int32_t first = 1)
    {
        return Part(kComponentOpamp, part, {first, first + 1, first + 2, first + 3, first + 4}, {{kAttrModel, model}});
    }
};

TEST_F(OpampTest, LevelOneIsOneOutputResistor)
{
    ASSERT_TRUE(Model(".MODEL OA1 OPA (LEVEL=1 A=200000)"));
    Opamp("X1", "OA1");
    ASSERT_TRUE(Translate());
    const auto o = Records<OpampDevice>(kOpampDeviceList);
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o[0]->level, 1);
    EXPECT_DOUBLE_EQ(o[0]->transconductance, 1000.0);
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_DOUBLE_EQ(r[0]->value, 200.0);
    EXPECT_EQ(r[0]->nodeA, 4);
    EXPECT_EQ(r[0]->nodeB, 0);
    EXPECT_EQ(Records<PartInstanceRecord>(kPartInstanceList).front()->device, o[0]);
}

TEST_F(OpampTest, LevelTwoPlacesTwoPoles)
{
    ASSERT_TRUE(Model(".MODEL OA2 OPA (LEVEL=2.4 A=200000 GBW=1MEG PM=60)"));
    Opamp("X1", "OA2");
    Opamp("X2", "OA2", 11);
    ASSERT_TRUE(Translate());
    const auto o = Records<OpampDevice>(kOpampDeviceList);
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0]->level, 2);
    EXPECT_NEAR(o[0]->transconductance, std::cbrt(200000.0) / 200.0, 1e-12);
    EXPECT_NEAR(o[0]->transconductance, 0.29, 0.01);
    const auto c = Records<CapacitorDevice>(kCapacitorDeviceList);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_NEAR(c[0]->value, 159e-6, 1e-6);
    EXPECT_NEAR(c[1]->value, 459e-12, 1e-12);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 6);
    // Four distinct internal nodes above the pins.
    std::vector<std::int32_t> nodes{o[0]->internal[0], o[0]->internal[1], o[1]->internal[0], o[1]->internal[1]};
    std::sort(nodes.begin(), nodes.end());
    EXPECT_EQ(std::unique(nodes.begin(), nodes.end()), nodes.end());
    EXPECT_GT(nodes.front(), 15);
}

TEST_F(OpampTest, OtherLevelsBuildNoElements)
{
    ASSERT_TRUE(Model(".MODEL OA0 OPA (LEVEL=0)"));
    ASSERT_TRUE(Model(".MODEL OA4 OPA (LEVEL=4)"));
    Opamp("X1", "OA0");
    Opamp("X2", "OA4", 11);
    ASSERT_TRUE(Translate());
    EXPECT_EQ(DeviceList(kOpampDeviceList).count, 2);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 0);
    EXPECT_EQ(DeviceList(kCapacitorDeviceList).count, 0);
}

TEST_F(OpampTest, LevelThreeBuildsTheMacromodel)
{
    ASSERT_TRUE(Model(".MODEL OA3 OPA (LEVEL=3 TYPE=1 C=30P A=200000 SRP=500K SRN=500K IBIAS=80N IOFF=20N)"));
    Opamp("X1", "OA3");
    ASSERT_TRUE(Translate()) << LastShownText();
    const auto o = Records<OpampDevice>(kOpampDeviceList);
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(DeviceList(kIndependentSourceDeviceList).count, 7);
    EXPECT_EQ(DeviceList(kPolySourceList).count, 5);
    EXPECT_EQ(DeviceList(kCapacitorDeviceList).count, 3);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 9);
    EXPECT_EQ(DeviceList(kDiodeDeviceList).count, 5);
    const auto q = Records<BjtDevice>(kBjtDeviceList);
    ASSERT_EQ(q.size(), 2u);
    // Q1's base is the minus input, Q2's the plus input.
    EXPECT_EQ(q[0]->base, 2);
    EXPECT_EQ(q[1]->base, 1);
    EXPECT_DOUBLE_EQ(q[0]->polarity, 1.0);
    EXPECT_EQ(AnalogNodeCount(), 5 + 15);
    // RC1 = 1/(2 pi GBW C): 5305 ohms for 1 MHz and 30 pF.
    EXPECT_NEAR(o[0]->resistors[0]->value, 5305.16, 0.01);
    // The macromodel's parts are not parts of the circuit.
    EXPECT_EQ(DeviceList(kPartInstanceList).count, 1);
}

TEST_F(OpampTest, JfetInputStage)
{
    ASSERT_TRUE(Model(".MODEL OAJ OPA (LEVEL=3 TYPE=3 C=30P SRP=500K SRN=500K)"));
    Opamp("X1", "OAJ");
    ASSERT_TRUE(Translate()) << LastShownText();
    EXPECT_EQ(DeviceList(kJfetDeviceList).count, 2);
    EXPECT_EQ(DeviceList(kBjtDeviceList).count, 0);
}

TEST_F(OpampTest, DerivationFaultsFailTheBuild)
{
    ASSERT_TRUE(Model(".MODEL OABAD OPA (LEVEL=3 ROUTAC=100 ROUTDC=100)"));
    Opamp("X1", "OABAD");
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 15018);
    EXPECT_NE(LastShownText().find("X1"), std::string::npos);

    Fresh();
    ASSERT_TRUE(Model(".MODEL OASLEW OPA (LEVEL=3 TYPE=1 SRP=100K SRN=500K)"));
    Opamp("X1", "OASLEW");
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 15019);
}

TEST_F(OpampTest, MissingModelFails)
{
    Opamp("X1", "NOSUCH");
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10834);
}

}  // namespace
}  // namespace kq5::testing
