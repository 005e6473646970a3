// Transformers, K couplings with and without cores, user-file sources, sample-and-hold
// elements, display elements and digital interfaces.
#include "build_test_support.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "netlist/standalone_element_devices.h"
#include "netlist/circuit_build_expressions.h"
#include "netlist/spice_elements.h"
#include "netlist/subcircuit_nodes.h"

namespace kq5::testing {
namespace {

using CouplingTest = BuildTest;

TEST_F(CouplingTest, TransformerMakesTwoInductorsACouplingAndAPath)
{
    Part(kComponentTransformer, "K1", {1, 2, 3, 4}, {{kAttrValue, "1m,4m,0.99"}});
    ASSERT_TRUE(Translate());
    const auto l = Records<InductorDevice>(kInductorDeviceList);
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0]->nodeA, 3);  // the primary between the input pins
    EXPECT_EQ(l[0]->nodeB, 4);
    EXPECT_DOUBLE_EQ(l[0]->value, 1e-3);
    EXPECT_EQ(l[1]->nodeA, 1);
    EXPECT_DOUBLE_EQ(l[1]->value, 4e-3);
    const auto k = Records<CouplingDevice>(kCouplingDeviceList);
    ASSERT_EQ(k.size(), 1u);
    EXPECT_DOUBLE_EQ(k[0]->value, 0.99);
    EXPECT_EQ(k[0]->flags, kCouplingTransformer);
    EXPECT_EQ(l[0]->coupling, k[0]);
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]->nodeA, 3);
    EXPECT_EQ(r[0]->nodeB, 1);
    EXPECT_DOUBLE_EQ(r[0]->value, 1e12);
}

TEST_F(CouplingTest, TransformerFaults)
{
    Part(kComponentTransformer, "K1", {1, 2, 3, 4}, {{kAttrValue, "1m,4m,1.5"}});
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10836);
    Fresh();
    Part(kComponentTransformer, "K1", {1, 2, 3, 4}, {{kAttrValue, "1m,4m"}});
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 15040);
}

class KTest : public BuildTest {
protected:
    void Inductors(int count)
    {
        for (int i = 1; i <= count; ++i)
            Part(kComponentInductor, "L" + std::to_string(i), {i, 0}, {{kAttrValue, "1U"}});
    }
    SchematicItem* K(const std::string& part, const std::string& inductors, const std::string& model = {})
    {
        return Part(kComponentK, part, {}, {{kAttrInductors, inductors}, {kAttrCoupling, "0.9"}, {kAttrModel, model}});
    }
};

TEST_F(KTest, ThreeInductorsMakeThreeCouplings)
{
    Inductors(3);
    K("K1", "L1 L2 L3");
    ASSERT_TRUE(Translate());
    const auto k = Records<CouplingDevice>(kCouplingDeviceList);
    ASSERT_EQ(k.size(), 3u);
    const auto l = Records<InductorDevice>(kInductorDeviceList);
    EXPECT_EQ(k[0]->first, l[0]);
    EXPECT_EQ(k[0]->second, l[1]);
    EXPECT_EQ(k[1]->second, l[2]);
    EXPECT_EQ(k[2]->first, l[1]);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 3);
    // The coupling expression compiles to the value of every coupling of the K.
    Analysis().solution.real.assign(5, 0.0);
    ASSERT_EQ(CompileDeviceExpressions(), 0);
    EXPECT_DOUBLE_EQ(k[2]->value, 0.9);
}

TEST_F(KTest, CouplingFaults)
{
    struct Case {
        const char* inductors;
        const char* model;
        int id;
    } cases[] = {
        {"L1", "", 10808},   {"", "", 10811},         {"L1 LX", "", 10802},
        {"L1 L1", "", 10803}, {"L1 L2", "NOCORE", 10834},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inductors);
        Fresh();
        Inductors(2);
        K("K1", c.inductors, c.model);
        EXPECT_FALSE(Translate());
        EXPECT_EQ(LastShownId(), c.id);
    }
    Fresh();
    Inductors(2);
    Part(kComponentK, "K1", {}, {{kAttrInductors, "L1 L2"}});
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10806);
}

TEST_F(KTest, OneInductorOnACoreIsAccepted)
{
    ASSERT_TRUE(Model(".MODEL FERRITE CORE (LEVEL=1 AREA=1)"));
    Inductors(1);
    K("K1", "L1", "FERRITE");
    ASSERT_TRUE(Translate());
    const auto l = Records<InductorDevice>(kInductorDeviceList);
    EXPECT_NE(l[0]->core, nullptr);
    EXPECT_EQ(DeviceList(kCouplingDeviceList).count, 1);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 0);
}

TEST_F(KTest, TwoKsOnOnePairAreRefused)
{
    Inductors(2);
    K("K1", "L1 L2");
    K("K2", "L2 L1");
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10810);
}

TEST_F(KTest, CoreGroupsMustShareTheirModel)
{
    ASSERT_TRUE(Model(".MODEL CA CORE"));
    ASSERT_TRUE(Model(".MODEL CB CORE"));
    Inductors(3);
    K("K1", "L1 L2", "CA");
    K("K2", "L2 L3", "CB");
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10809);
}

using SpecialTest = BuildTest;

TEST_F(SpecialTest, UserSourceSampleHoldAndDisplays)
{
    Part(kComponentUserSource, "U1", {1, 0}, {{kAttrFile, "WAVE.USR"}, {kAttrExpression, "S(V(1))"}});
    Part(kComponentSampleAndHold, "S1", {1, 2}, {{kAttrExpr, "V(1)"}, {kAttrPeriod, "1U"}});
    Part(kComponentDigitalLed, "", {7});
    Part(kComponentSevenSegment, "", {1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(Translate());
    const auto u = Records<UserSourceDevice>(kUserSourceDeviceList);
    ASSERT_EQ(u.size(), 1u);
    EXPECT_EQ(u[0]->fileName, "WAVE.USR");
    EXPECT_EQ(u[0]->expression, "S(V(1))");
    const auto s = Records<SampleHoldDevice>(kSampleHoldDeviceList);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_DOUBLE_EQ(s[0]->period, 1e-6);
    EXPECT_EQ(s[0]->sampled.text, "V(1)");
    EXPECT_EQ(Records<DigitalLedDevice>(kDigitalLedDeviceList).front()->node, 7);
    EXPECT_EQ(Records<SevenSegmentDevice>(kSevenSegmentDeviceList).front()->segments[6], 7);
    // Displays are not parts of the instance list; the others are.
    EXPECT_EQ(DeviceList(kPartInstanceList).count, 2);
}

class InterfaceTest : public BuildTest {
protected:
    SchematicItem* Gate(const std::string& level)
    {
        return Part(kComponentBuf, "U1", {1, 2},
                    {{kAttrPowerNode, "$G_DPWR"}, {kAttrGroundNode, "$G_DGND"}, {kAttrIoModel, "IOX"},
                     {kAttrIoLevel, level}});
    }
};

TEST_F(InterfaceTest, InterfaceCallsTheLevelsSubcircuitAndThePowerSupplyOnce)
{
    ASSERT_TRUE(Model(".MODEL IOX UIO (DRVH=96 DRVL=104 ATOD2=\"AD2\" DTOA2=\"DA2\" DIGPOWER=\"PWRX\")"));
    ResetExpansionNodes();
    SchematicItem* gate = Gate("2");
    const int before = Document().itemList.count;
    ASSERT_EQ(InsertDigitalInterface(gate, 9, 1, kInterfaceDtoA), 0);
    ASSERT_EQ(InsertDigitalInterface(gate, 8, 0, kInterfaceAtoD), 0);
    // Two interface calls, one supply.
    EXPECT_EQ(Document().itemList.count, before + 3);
    auto* dtoa = static_cast<SchematicItem*>(gate->next);
    EXPECT_EQ(GetAttributeText(dtoa, kAttrName), "DA2");
    EXPECT_EQ(GetAttributeText(dtoa, kAttrParams), "CAPACITANCE=0 DRVH=96 DRVL=104");
    EXPECT_EQ(dtoa->definition->pins[0].name, "D");
    EXPECT_EQ(dtoa->pinNodes[0], 9);
    EXPECT_EQ(dtoa->pinNodes[1], 2);
    auto* supply = static_cast<SchematicItem*>(dtoa->next);
    EXPECT_EQ(GetAttributeText(supply, kAttrName), "PWRX");
    auto* atod = static_cast<SchematicItem*>(supply->next);
    EXPECT_EQ(GetAttributeText(atod, kAttrName), "AD2");
    EXPECT_EQ(atod->definition->pins[0].name, "A");
}

TEST_F(InterfaceTest, IoLevelOutsideTheFourSubcircuitsIsRefused)
{
    ASSERT_TRUE(Model(".MODEL IOX UIO"));
    ResetExpansionNodes();
    for (const char* level : {"5", "-1"}) {
        SCOPED_TRACE(level);
        win::ClearMessageBoxLog();
        ClearCircuitBuildError();
        SchematicItem* gate = Gate(level);
        EXPECT_EQ(InsertDigitalInterface(gate, 9, 1, kInterfaceDtoA), kMsgAlreadyReported);
        EXPECT_EQ(LastShownId(), 10865);
        ListRemove(Document().itemList, gate);
    }
    // IO_LEVEL 0 takes the DIGIOLVL option.
    win::ClearMessageBoxLog();
    ClearCircuitBuildError();
    SchematicItem* gate = Gate("0");
    EXPECT_EQ(InsertDigitalInterface(gate, 9, 1, kInterfaceDtoA), 0);
    EXPECT_EQ(GetAttributeText(static_cast<SchematicItem*>(gate->next), kAttrName), "DtoADefault");
}

TEST_F(InterfaceTest, MissingNodesAndModels)
{
    ResetExpansionNodes();
    SchematicItem* gate = Part(kComponentBuf, "U1", {1, 2}, {{kAttrPowerNode, "$G_DPWR"}});
    EXPECT_EQ(InsertDigitalInterface(gate, 9, 1, kInterfaceDtoA), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 10920);
    SetAttribute(record_, gate, kAttrGroundNode, "$G_DGND");
    ClearCircuitBuildError();
    EXPECT_EQ(InsertDigitalInterface(gate, 9, 1, kInterfaceDtoA), 1);  // no I/O model
    SchematicItem* block = Part(kComponentSubckt, "X1", {1});
    EXPECT_EQ(InsertDigitalInterface(block, 9, 0, kInterfaceDtoA), 0);
}

}  // namespace
}  // namespace kq5::testing
