// Transmission lines, ideal or lossy, and the Switch, S and W parts.
#include "build_test_support.h"
#include "netlist/inductor_device.h"
#include "netlist/line_switch_devices.h"
#include "netlist/source_device.h"

namespace kq5::testing {
namespace {

using LineTest = BuildTest;

TEST_F(LineTest, IdealLineFromValueTextGetsTwoNodes)
{
    for (const char* value : {"Z0=50 TD=1N", "ZO=50 TD=1N"}) {
        SCOPED_TRACE(value);
        Fresh();
        SchematicItem* item = Part(kComponentTline, "T1", {1, 2, 3, 4}, {{kAttrValue, value}});
        ASSERT_TRUE(Translate());
        const auto t = Records<IdealLineDevice>(kIdealLineDeviceList);
        ASSERT_EQ(t.size(), 1u);
        // SPICE order: port 1 plus, port 1 minus, port 2 plus, port 2 minus.
        EXPECT_EQ(t[0]->port1Plus, 1);
        EXPECT_EQ(t[0]->port1Minus, 2);
        EXPECT_EQ(t[0]->port2Plus, 3);
        EXPECT_EQ(t[0]->port2Minus, 4);
        EXPECT_EQ(t[0]->internal1, 5);
        EXPECT_EQ(t[0]->internal2, 6);
        EXPECT_EQ(AnalogNodeCount(), 6);
        EXPECT_NEAR(t[0]->delay, 1e-9, 1e-15);
        ListRemove(Document().itemList, item);
    }
}

TEST_F(LineTest, IdealLineDelayFromFrequency)
{
    Part(kComponentTline, "T1", {1, 0, 2, 0}, {{kAttrValue, "Z0=75 F=10MEG NL=0.5"}});
    ASSERT_TRUE(Translate());
    const auto t = Records<IdealLineDevice>(kIdealLineDeviceList);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_NEAR(t[0]->delay, 0.5 / 10e6, 1e-15);
}

TEST_F(LineTest, IdealLineWithoutDelayOrImpedanceIsRefused)
{
    // No delay at all, a zero delay, and a zero frequency (which gives no delay either); an
    // impedance of zero or below.
    for (const char* value : {"Z0=50", "Z0=50 TD=0", "Z0=50 F=0", "Z0=50 TD=-1N", "Z0=0 TD=1N", "Z0=-50 F=10MEG"}) {
        SCOPED_TRACE(value);
        Fresh();
        Part(kComponentTline, "T1", {1, 0, 2, 0}, {{kAttrValue, value}});
        EXPECT_FALSE(Translate());
        EXPECT_EQ(LastShownId(), 10859);
    }
}

TEST_F(LineTest, LossyLineFromModel)
{
    ASSERT_TRUE(Model(".MODEL CABLE TRN (LEN=2 R=0.1 L=250N G=0 C=100P)"));
    Part(kComponentTline, "T1", {1, 0, 2, 0}, {{kAttrModel, "CABLE"}, {kAttrValue, "3 R=0.2"}});
    ASSERT_TRUE(Translate());
    EXPECT_EQ(DeviceList(kIdealLineDeviceList).count, 0);
    const auto t = Records<LossyLineDevice>(kLossyLineDeviceList);
    ASSERT_EQ(t.size(), 1u);
    ASSERT_NE(t[0]->model, nullptr);
    // The leading number is the length; the value text overrides the model.
    EXPECT_FLOAT_EQ(t[0]->model->Param(8), 3.0f);
    EXPECT_FLOAT_EQ(t[0]->model->Param(4), 0.2f);
    EXPECT_FLOAT_EQ(t[0]->model->Param(7), 100e-12f);
    // First pin port 1 plus: "T1 1 0 2 0" carries current from node 1 to node 2.
    EXPECT_EQ(t[0]->port1Plus, 1);
    EXPECT_EQ(t[0]->port1Minus, 0);
    EXPECT_EQ(t[0]->port2Plus, 2);
    EXPECT_EQ(t[0]->port2Minus, 0);
}

TEST_F(LineTest, FaradsOfALossyLineDoNotMakeItIdeal)
{
    for (const char* value : {"LEN=1 R=100 L=250NH C=100PF", "LEN=1 R=100 C=1F", "1 R=2 L=1U C=.5F"}) {
        SCOPED_TRACE(value);
        Fresh();
        Part(kComponentTline, "T1", {1, 0, 2, 0}, {{kAttrValue, value}});
        ASSERT_TRUE(Translate());
        EXPECT_EQ(DeviceList(kIdealLineDeviceList).count, 0);
        EXPECT_EQ(DeviceList(kLossyLineDeviceList).count, 1);
    }
}

using SwitchTest = BuildTest;

TEST_F(SwitchTest, VoltageSwitchDefaultsItsResistances)
{
    Part(kComponentSwitch, "S1", {1, 2, 3, 4}, {{kAttrValue, "V,1,2"}});
    Part(kComponentSwitch, "S2", {1, 2, 3, 4}, {{kAttrValue, "T,1U"}});
    ASSERT_TRUE(Translate());
    const auto s = Records<SwitchDevice>(kSwitchDeviceList);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0]->mode, kSwitchVoltage);
    EXPECT_DOUBLE_EQ(s[0]->threshold1, 1.0);
    EXPECT_DOUBLE_EQ(s[0]->threshold2, 2.0);
    EXPECT_DOUBLE_EQ(s[0]->onConductance, 1000.0);
    EXPECT_DOUBLE_EQ(s[0]->offConductance, 1e-9);
    EXPECT_EQ(s[0]->controlA, 4);
    EXPECT_EQ(s[0]->controlB, 3);
    EXPECT_EQ(s[1]->mode, kSwitchTime);
    EXPECT_DOUBLE_EQ(s[1]->threshold2, 1e30);
    // Switches are not parts of the instance list.
    EXPECT_EQ(DeviceList(kPartInstanceList).count, 0);
}

TEST_F(SwitchTest, IllegalSwitchValues)
{
    for (const char* value : {"V,1,1", "X,1,2", ""}) {
        SCOPED_TRACE(value);
        Fresh();
        SchematicItem* item = Part(kComponentSwitch, "S1", {1, 2, 3, 4}, {{kAttrValue, value}});
        EXPECT_FALSE(Translate());
        EXPECT_EQ(LastShownId(), 10835);
        ListRemove(Document().itemList, item);
    }
}

TEST_F(SwitchTest, CurrentModeTakesTheInductorBetweenItsControlNodes)
{
    Part(kComponentInductor, "L1", {4, 3}, {{kAttrValue, "1U"}});
    Part(kComponentSwitch, "S1", {1, 2, 3, 4}, {{kAttrValue, "I,1M,2M,1,1MEG"}});
    ASSERT_TRUE(Translate());
    const auto s = Records<SwitchDevice>(kSwitchDeviceList);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0]->controlInductor, Records<InductorDevice>(kInductorDeviceList).front());
    EXPECT_DOUBLE_EQ(s[0]->onConductance, 1.0);
    EXPECT_DOUBLE_EQ(s[0]->offConductance, 1e-6);
}

TEST_F(SwitchTest, CurrentModeWithoutInductorFails)
{
    Part(kComponentSwitch, "S1", {1, 2, 3, 4}, {{kAttrValue, "I,1M,2M"}});
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10835);
    EXPECT_NE(LastShownText().find("S1"), std::string::npos);
}

TEST_F(SwitchTest, SAndWSwitches)
{
    ASSERT_TRUE(Model(".MODEL SW VSWITCH (RON=1 ROFF=1MEG)"));
    ASSERT_TRUE(Model(".MODEL CSW ISWITCH"));
    Part(kComponentVSpice, "VSENSE", {5, 0}, {{kAttrValue, "0"}});
    Part(kComponentS, "S1", {1, 2, 3, 4}, {{kAttrModel, "SW"}});
    Part(kComponentW, "W1", {1, 2}, {{kAttrModel, "CSW"}, {kAttrRef, "VSENSE"}});
    ASSERT_TRUE(Translate());
    ASSERT_EQ(ResolveCurrentSwitchSources(), 0);
    const auto s = Records<VoltageSwitchDevice>(kVoltageSwitchDeviceList);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0]->controlPlus, 3);
    EXPECT_EQ(s[0]->controlMinus, 4);
    const auto w = Records<CurrentSwitchDevice>(kCurrentSwitchDeviceList);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0]->controllingSource, Records<IndependentSourceDevice>(kIndependentSourceDeviceList).front());
}

TEST_F(SwitchTest, WSwitchReferenceFaults)
{
    ASSERT_TRUE(Model(".MODEL CSW ISWITCH"));
    Part(kComponentResistor, "R1", {5, 0}, {{kAttrValue, "1K"}});
    SchematicItem* w = Part(kComponentW, "W1", {1, 2}, {{kAttrModel, "CSW"}, {kAttrRef, "R1"}});
    ASSERT_TRUE(Translate());
    EXPECT_NE(ResolveCurrentSwitchSources(), 0);
    EXPECT_EQ(LastShownId(), 10799);
    SetAttribute(record_, w, kAttrRef, "");
    ClearCircuitBuildError();
    EXPECT_NE(ResolveCurrentSwitchSources(), 0);
    EXPECT_EQ(LastShownId(), 10854);
}

}  // namespace
}  // namespace kq5::testing
