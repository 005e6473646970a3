// The topology checks on crafted circuits: floating nodes, inductor and voltage-source loops,
// and nodes without a DC path to ground.
#include "netlist/topology.h"

#include "build_test_support.h"

namespace kq5::testing {
namespace {

class TopologyTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        ASSERT_TRUE(Model(".MODEL NX NMOS"));
        ASSERT_TRUE(Model(".MODEL QX NPN"));
    }
    void Name(std::int32_t node, const std::string& name)
    {
        NodeTable& table = CircuitNodeTable();
        if (table.rows.empty()) table.rows.push_back({"0", 0, 0, kNodeAnalog});
        table.rows.push_back({name, node, 0, kNodeAnalog});
    }
    // The loop check and then the DC-path check, as the build runs them.
    int CheckDevices()
    {
        if (!Translate()) return -1;
        CheckInductorSourceLoops(AnalogNodeCount());
        if (!CircuitBuildFailed()) CheckDcPathToGround(AnalogNodeCount());
        return CircuitBuildFailed() ? LastShownId() : 0;
    }
};

TEST_F(TopologyTest, FloatingNodeOnlyWhenThePreferenceAsks)
{
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    SchematicItem* r2 = Part(kComponentResistor, "R2", {1, 2}, {{kAttrValue, "1K"}});
    Name(2, "DANGLING");
    CheckAnalogNodeConnections(false);
    EXPECT_FALSE(CircuitBuildFailed());
    CheckAnalogNodeConnections(true);
    EXPECT_TRUE(CircuitBuildFailed());
    EXPECT_EQ(LastShownId(), 10842);
    EXPECT_NE(LastShownText().find("DANGLING"), std::string::npos);
    // The message points at the part on the node.
    EXPECT_NE(LastShownText().find("R2"), std::string::npos);
    (void)r2;
}

TEST_F(TopologyTest, ODeviceAnalogPinTouchingNothing)
{
    // O parts: analog pin 0, reference pin 1, digital pin 2.
    Part(kComponentDigitalOutput, "O1", {3, 0, 1});
    Document().nodeCount = 3;
    CheckAnalogNodeConnections(false);
    EXPECT_EQ(LastShownId(), 10855);

    Fresh();
    Part(kComponentDigitalOutput, "O1", {3, 0, 1});
    Part(kComponentResistor, "R1", {3, 0}, {{kAttrValue, "1K"}});
    ClearCircuitBuildError();
    CheckAnalogNodeConnections(false);
    EXPECT_FALSE(CircuitBuildFailed());
}

TEST_F(TopologyTest, ParallelInductorsAreALoopUnlessSkipped)
{
    Part(kComponentInductor, "L1", {1, 2}, {{kAttrValue, "1U"}});
    Part(kComponentInductor, "L2", {1, 2}, {{kAttrValue, "2U"}});
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    Part(kComponentResistor, "R2", {2, 0}, {{kAttrValue, "1K"}});
    EXPECT_EQ(CheckDevices(), 10853);
    // The message names the element that closed the loop.
    EXPECT_NE(LastShownText().find("L2"), std::string::npos);

    win::ClearMessageBoxLog();
    NetlistReader().skipInductorLoopCheck = true;
    ClearCircuitBuildError();
    CheckInductorSourceLoops(AnalogNodeCount());
    EXPECT_FALSE(CircuitBuildFailed());
}

TEST_F(TopologyTest, VoltageSourcesCloseLoopsCurrentSourcesDoNot)
{
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentInductor, "L1", {1, 0}, {{kAttrValue, "1U"}});
    EXPECT_EQ(CheckDevices(), 10853);

    Fresh();
    Part(kComponentISpice, "I1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentInductor, "L1", {1, 0}, {{kAttrValue, "1U"}});
    EXPECT_EQ(CheckDevices(), 0);
}

TEST_F(TopologyTest, LoopsThroughControlledVoltageOutputsAndLongerChains)
{
    // E1 output and V1 and L1 form a triangle of voltage-driving elements.
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentInductor, "L1", {1, 2}, {{kAttrValue, "1U"}});
    Part(kComponentVofV, "E1", {2, 0, 1, 0}, {{kAttrValue, "2"}});
    EXPECT_EQ(CheckDevices(), 10853);

    // A G source in the same place is a current output: no loop.
    Fresh();
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentInductor, "L1", {1, 2}, {{kAttrValue, "1U"}});
    Part(kComponentIofV, "G1", {2, 0, 1, 0}, {{kAttrValue, "2"}});
    EXPECT_EQ(CheckDevices(), 0);

    // A chain of inductors from a source to ground with a source at the far end closes a loop.
    Fresh();
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentInductor, "L1", {1, 2}, {{kAttrValue, "1U"}});
    Part(kComponentInductor, "L2", {2, 3}, {{kAttrValue, "1U"}});
    Part(kComponentBattery, "B1", {3, 0}, {{kAttrValue, "1"}});
    EXPECT_EQ(CheckDevices(), 10853);
}

TEST_F(TopologyTest, SeriesCapacitorLeavesNodeWithoutDcPath)
{
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentCapacitor, "C1", {1, 2}, {{kAttrValue, "1U"}});
    Part(kComponentCapacitor, "C2", {2, 0}, {{kAttrValue, "1U"}});
    Name(2, "MID");
    EXPECT_EQ(CheckDevices(), 10856);
    EXPECT_NE(LastShownText().find("MID"), std::string::npos);

    Fresh();
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "1"}});
    Part(kComponentCapacitor, "C1", {1, 2}, {{kAttrValue, "1U"}});
    Part(kComponentResistor, "R1", {2, 0}, {{kAttrValue, "1K"}});
    EXPECT_EQ(CheckDevices(), 0);
}

TEST_F(TopologyTest, CurrentSourceIsNoDcPath)
{
    // A current source into a capacitor: nothing fixes the node's DC voltage.
    Part(kComponentISpice, "I1", {0, 1}, {{kAttrValue, "1M"}});
    Part(kComponentCapacitor, "C1", {1, 0}, {{kAttrValue, "1U"}});
    Name(1, "OUT");
    EXPECT_EQ(CheckDevices(), 10856);
    EXPECT_NE(LastShownText().find("OUT"), std::string::npos);

    // A resistor across it gives the node its path.
    Fresh();
    Part(kComponentISpice, "I1", {0, 1}, {{kAttrValue, "1M"}});
    Part(kComponentCapacitor, "C1", {1, 0}, {{kAttrValue, "1U"}});
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    EXPECT_EQ(CheckDevices(), 0);
}

TEST_F(TopologyTest, NodeWithoutAnyComponentIsReportedByNumber)
{
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    Document().nodeCount = 2;  // an internal node that nothing joined
    EXPECT_EQ(CheckDevices(), 10856);
    EXPECT_NE(LastShownText().find("2"), std::string::npos);
}

TEST_F(TopologyTest, GateThroughCapacitorFloatsBaseDoesNot)
{
    // MOSFET pins: drain, gate, source, body; its gate reaches only a capacitor.
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "5"}});
    Part(kComponentNmos, "M1", {1, 2, 0, 0}, {{kAttrModel, "NX"}});
    Part(kComponentCapacitor, "C1", {2, 0}, {{kAttrValue, "1P"}});
    EXPECT_EQ(CheckDevices(), 10856);

    // Bipolar pins: collector, base, emitter; the base joins the other pins through the device.
    Fresh();
    Part(kComponentVSpice, "V1", {1, 0}, {{kAttrValue, "5"}});
    Part(kComponentNpn, "Q1", {1, 2, 0}, {{kAttrModel, "QX"}});
    Part(kComponentCapacitor, "C1", {2, 0}, {{kAttrValue, "1P"}});
    EXPECT_EQ(CheckDevices(), 0);
}

TEST_F(TopologyTest, CurrentControlledSourcesJoinTheirControlNodes)
{
    // An F source's control pins carry the controlling current, so they conduct; a G source's
    // do not.
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    Part(kComponentIofI, "F1", {1, 0, 2, 3}, {{kAttrValue, "2"}});
    Part(kComponentResistor, "R2", {2, 0}, {{kAttrValue, "1K"}});
    EXPECT_EQ(CheckDevices(), 0);
    Fresh();
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    Part(kComponentIofV, "G1", {1, 0, 2, 3}, {{kAttrValue, "2"}});
    Part(kComponentResistor, "R2", {2, 0}, {{kAttrValue, "1K"}});
    EXPECT_EQ(CheckDevices(), 10856);
}

}  // namespace
}  // namespace kq5::testing
