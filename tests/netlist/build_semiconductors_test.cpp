// Diodes, bipolar transistors, MOSFETs, JFETs and GaAsFETs: instance texts, internal nodes
// behind series resistances, polarity and the area check.
#include "build_test_support.h"
#include "netlist/bjt_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"

namespace kq5::testing {
namespace {

using SemiconductorTest = BuildTest;

TEST_F(SemiconductorTest, DiodeReadsAreaOffAndInitialCondition)
{
    ASSERT_TRUE(Model(".MODEL D1N4148 D (IS=2.52N RS=0.568)"));
    Part(kComponentDiode, "D1", {1, 2}, {{kAttrValue, "2 OFF IC=0.6"}, {kAttrModel, "D1N4148"}});
    ASSERT_TRUE(Translate());
    const auto d = Records<DiodeDevice>(kDiodeDeviceList);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0]->anode, 1);
    EXPECT_EQ(d[0]->cathode, 2);
    EXPECT_DOUBLE_EQ(d[0]->area, 2.0);
    EXPECT_EQ(d[0]->off, 1);
    EXPECT_EQ(d[0]->initialConditionGiven, 1);
    EXPECT_DOUBLE_EQ(d[0]->initialVoltage, 0.6);
    EXPECT_EQ(d[0]->ordinal, 1);
    // RS / area sits behind the anode, on a node named after the part.
    EXPECT_EQ(d[0]->internalAnode, 3);
    EXPECT_EQ(LookupNodeNumber(CircuitNodeTable(), "D1_Pside", 0, kNodeAnalog), 3);
}

TEST_F(SemiconductorTest, DiodeOnOneNodeMakesNothing)
{
    ASSERT_TRUE(Model(".MODEL DX D"));
    Part(kComponentDiode, "D1", {2, 2}, {{kAttrModel, "DX"}});
    EXPECT_TRUE(Translate());
    EXPECT_TRUE(ShownIds().empty());
    EXPECT_EQ(DeviceList(kDiodeDeviceList).count, 0);
}

TEST_F(SemiconductorTest, AreaMustBePositive)
{
    ASSERT_TRUE(Model(".MODEL DX D (RS=1)"));
    ASSERT_TRUE(Model(".MODEL QX NPN"));
    for (const char* area : {"0", "-2"}) {
        SCOPED_TRACE(area);
        for (int type : {kComponentDiode, kComponentNpn}) {
            Fresh();
            const std::string model = type == kComponentDiode ? "DX" : "QX";
            std::vector<std::int32_t> nodes = type == kComponentDiode ? std::vector<std::int32_t>{1, 0}
                                                                      : std::vector<std::int32_t>{1, 2, 0};
            SchematicItem* item = Part(type, "X1", nodes, {{kAttrValue, area}, {kAttrModel, model}});
            EXPECT_FALSE(Translate());
            EXPECT_EQ(LastShownId(), 10840);
            // No internal anode behind a refused area.
            for (const DiodeDevice* d : Records<DiodeDevice>(kDiodeDeviceList)) EXPECT_EQ(d->internalAnode, d->anode);
            ListRemove(Document().itemList, item);
        }
    }
}

TEST_F(SemiconductorTest, BipolarInternalNodesAndPolarity)
{
    ASSERT_TRUE(Model(".MODEL QRB NPN (BF=100 RB=10)"));
    ASSERT_TRUE(Model(".MODEL QPLAIN PNP (BF=50)"));
    // Pins: collector, base, emitter (, substrate).
    Part(kComponentNpn, "Q1", {1, 2, 3}, {{kAttrModel, "QRB"}, {kAttrValue, "IC=0.7,5"}});
    Part(kComponentPnp, "Q2", {4, 5, 6}, {{kAttrModel, "QPLAIN"}});
    Part(kComponentNpn4, "Q3", {1, 2, 3, 4}, {{kAttrModel, "QRB"}});
    ASSERT_TRUE(Translate());
    const auto q = Records<BjtDevice>(kBjtDeviceList);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0]->collector, 1);
    EXPECT_EQ(q[0]->base, 2);
    EXPECT_EQ(q[0]->emitter, 3);
    EXPECT_DOUBLE_EQ(q[0]->polarity, 1.0);
    EXPECT_EQ(q[0]->modelType, kModelNpn);
    EXPECT_EQ(q[0]->internalBase, LookupNodeNumber(CircuitNodeTable(), "Q1_base", 0, kNodeAnalog));
    EXPECT_GT(q[0]->internalBase, 6);
    EXPECT_EQ(q[0]->internalEmitter, 3);  // RE = 0 adds no node
    EXPECT_EQ(q[0]->internalCollector, 1);
    EXPECT_EQ(q[0]->substrate, 0);
    EXPECT_EQ(q[0]->initialConditionGiven, 1);
    EXPECT_DOUBLE_EQ(q[0]->initialVce, 5.0);
    // A model without resistances adds no node.
    EXPECT_EQ(q[1]->internalBase, 5);
    EXPECT_DOUBLE_EQ(q[1]->polarity, -1.0);
    EXPECT_EQ(q[2]->substrate, 4);
    EXPECT_EQ(q[2]->ordinal, 3);
}

TEST_F(SemiconductorTest, MosfetInstanceParametersAndSheetResistance)
{
    ASSERT_TRUE(Model(".MODEL NSHEET NMOS (LEVEL=1 RD=0 RSH=10)"));
    ASSERT_TRUE(Model(".MODEL PLAIN PMOS (LEVEL=2)"));
    // Pins: drain, gate, source, body.
    Part(kComponentNmos, "M1", {1, 2, 3, 0}, {{kAttrModel, "NSHEET"}, {kAttrValue, "L=2U W=10U NRD=2 M=0"}});
    Part(kComponentPmos, "M2", {4, 5, 6, 4}, {{kAttrModel, "PLAIN"}, {kAttrValue, "W=1U AD=1P IC=1,2,3"}});
    ASSERT_TRUE(Translate());
    const auto m = Records<MosfetDevice>(kMosfetDeviceList);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0]->drain, 1);
    EXPECT_EQ(m[0]->gate, 2);
    EXPECT_EQ(m[0]->source, 3);
    EXPECT_EQ(m[0]->bulk, 0);
    EXPECT_DOUBLE_EQ(m[0]->l, 2e-6);
    EXPECT_EQ(m[0]->lGiven, 1);
    EXPECT_EQ(m[0]->wGiven, 1);
    EXPECT_DOUBLE_EQ(m[0]->wNominal, 10e-6);
    EXPECT_DOUBLE_EQ(m[0]->m, 1.0);   // M at or below 0 becomes 1
    EXPECT_DOUBLE_EQ(m[0]->nrs, 1.0); // not given: 1 square
    // RD = 0 with RSH = 10: the drain and (NRS = 1) the source get internal nodes.
    EXPECT_GT(m[0]->internalDrain, 6);
    EXPECT_GT(m[0]->internalSource, 6);
    EXPECT_NE(m[0]->internalDrain, m[0]->internalSource);
    EXPECT_EQ(m[0]->internalGate, 2);  // NRG = 0: no gate resistance
    EXPECT_EQ(m[0]->level, 1);
    ASSERT_TRUE(m[0]->side);
    EXPECT_DOUBLE_EQ(m[0]->side->polarity, 1.0);
    EXPECT_DOUBLE_EQ(m[1]->side->polarity, -1.0);
    EXPECT_EQ(m[1]->level, 2);
    EXPECT_EQ(m[1]->internalDrain, 4);
    EXPECT_EQ(m[1]->initialConditionGiven, 1);
    EXPECT_DOUBLE_EQ(m[1]->ic3, 3.0);
    EXPECT_EQ(m[1]->lGiven, 0);
    EXPECT_EQ(m[1]->ordinal, 2);
}

TEST_F(SemiconductorTest, MosfetTemplateMismatchFails)
{
    ASSERT_TRUE(Model(".MODEL NX NMOS"));
    Part(kComponentNmos, "M1", {1, 2, 3, 0}, {{kAttrModel, "NX"}, {kAttrValue, "Q=5"}});
    EXPECT_FALSE(Translate());
    EXPECT_FALSE(ShownIds().empty());
}

TEST_F(SemiconductorTest, JfetAndGaasfet)
{
    ASSERT_TRUE(Model(".MODEL JN NJF (RD=5)"));
    ASSERT_TRUE(Model(".MODEL JP PJF"));
    ASSERT_TRUE(Model(".MODEL BG GASFET (RG=1 RS=2)"));
    // Pins: drain, gate, source.
    Part(kComponentNjfet, "J1", {1, 2, 3}, {{kAttrModel, "JN"}, {kAttrValue, "3"}});
    // Initial conditions are VDS,VGS, as for every SPICE field-effect transistor.
    Part(kComponentPjfet, "J2", {1, 2, 3}, {{kAttrModel, "JP"}, {kAttrValue, "IC=5,-1.5"}});
    Part(kComponentGaAsFet, "B1", {4, 5, 6}, {{kAttrModel, "BG"}, {kAttrValue, "2 OFF IC=4,-0.8"}});
    ASSERT_TRUE(Translate());
    const auto j = Records<JfetDevice>(kJfetDeviceList);
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0]->drain, 1);
    EXPECT_EQ(j[0]->gate, 2);
    EXPECT_DOUBLE_EQ(j[0]->area, 3.0);
    EXPECT_GT(j[0]->internalDrain, 6);
    EXPECT_EQ(j[0]->internalSource, 3);
    EXPECT_DOUBLE_EQ(j[0]->polarity, 1.0);
    EXPECT_DOUBLE_EQ(j[1]->polarity, -1.0);
    EXPECT_EQ(j[1]->initialConditionGiven, 1);
    EXPECT_DOUBLE_EQ(j[1]->ic1, 5.0);
    EXPECT_DOUBLE_EQ(j[1]->ic2, -1.5);
    const auto b = Records<GaasfetDevice>(kGaasfetDeviceList);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_DOUBLE_EQ(b[0]->area, 2.0);
    EXPECT_EQ(b[0]->off, 1);
    EXPECT_DOUBLE_EQ(b[0]->ic1, 4.0);
    EXPECT_DOUBLE_EQ(b[0]->ic2, -0.8);
    EXPECT_GT(b[0]->internalGate, 6);
    EXPECT_EQ(b[0]->internalDrain, 4);
    EXPECT_GT(b[0]->internalSource, 6);
    // Unnamed internal nodes are not entered in the node table.
    EXPECT_TRUE(CircuitNodeTable().rows.empty());
}

}  // namespace
}  // namespace kq5::testing
