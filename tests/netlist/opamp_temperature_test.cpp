// Op-amp elements derived again at the run temperature before every run.
#include <cmath>

#include "devices/temperature_setup.h"
#include "build_test_support.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "devices/model_temperature.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/model_statements.h"
#include "netlist/poly_source.h"

namespace kq5::testing {
namespace {

class OpampTemperatureTest : public BuildTest {
protected:
    SchematicItem* Opamp(const std::string& part, const std::string& model)
    {
        return Part(kComponentOpamp, part, {1, 2, 3, 4, 5}, {{kAttrModel, model}});
    }
};

TEST_F(OpampTemperatureTest, MacromodelAtTheNominalTemperatureKeepsTheBuiltValues)
{
    ASSERT_TRUE(Model(".MODEL OA3 OPA (LEVEL=3 TYPE=1 C=30P A=200000 SRP=500K SRN=500K IBIAS=80N IOFF=20N VOFF=1M)"));
    Opamp("X1", "OA3");
    ASSERT_TRUE(Translate()) << LastShownText();
    OpampDevice& o = *Records<OpampDevice>(kOpampDeviceList).front();
    std::vector<double> built;
    for (ResistorDevice* r : o.resistors) built.push_back(r->value);
    const double iee = static_cast<IndependentSourceDevice*>(o.sources[0])->dcValue;
    const double gb = static_cast<PolySourceDevice*>(o.controlledSources[0])->coefficients[1];
    ASSERT_EQ(PrepareOpampInstance(o, 27.0), 0);
    for (std::size_t i = 0; i < built.size(); ++i) EXPECT_DOUBLE_EQ(o.resistors[i]->value, built[i]) << i;
    EXPECT_DOUBLE_EQ(static_cast<IndependentSourceDevice*>(o.sources[0])->dcValue, iee);
    EXPECT_DOUBLE_EQ(static_cast<PolySourceDevice*>(o.controlledSources[0])->coefficients[1], gb);
    // Hotter, the thermal voltage grows: the emitter resistors shrink, the second input
    // transistor's IS follows the offset at the new temperature.
    const double isq2 = o.inputModels[1]->Param(0);
    ASSERT_EQ(PrepareOpampInstance(o, 100.0), 0);
    EXPECT_LT(o.resistors[2]->value, built[2]);
    EXPECT_NE(o.inputModels[1]->Param(0), isq2);
}

TEST_F(OpampTemperatureTest, LevelTwoPolesAndGain)
{
    ASSERT_TRUE(Model(".MODEL OA2 OPA (LEVEL=2 A=200000 GBW=1MEG PM=60)"));
    Opamp("X1", "OA2");
    ASSERT_TRUE(Translate());
    OpampDevice& o = *Records<OpampDevice>(kOpampDeviceList).front();
    const double c1 = o.capacitors[0]->value, c2 = o.capacitors[1]->value, g = o.transconductance;
    ASSERT_EQ(PrepareOpampInstance(o, 50.0), 0);
    EXPECT_NEAR(o.capacitors[0]->value, c1, 1e-9 * c1);
    EXPECT_NEAR(o.capacitors[1]->value, c2, 1e-9 * c2);
    EXPECT_NEAR(o.transconductance, g, 1e-9 * g);
}

TEST_F(OpampTemperatureTest, NonPositiveGainOrBandwidthIsRefusedNotDividedBy)
{
    ASSERT_TRUE(Model(".MODEL OA2 OPA (LEVEL=2 A=200000 GBW=1MEG PM=60)"));
    Opamp("X1", "OA2");
    ASSERT_TRUE(Translate());
    OpampDevice& o = *Records<OpampDevice>(kOpampDeviceList).front();
    const double c1 = o.capacitors[0]->value;
    EvaluatedModel& m = *o.model;
    for (const char* name : {"A", "GBW", "ROUTDC"}) {
        const int index = FindModelParamIndex(m.row, name);
        const float kept = m.params[static_cast<std::size_t>(index)];
        m.params[static_cast<std::size_t>(index)] = name[0] == 'R' ? -200.0f : 0.0f;
        EXPECT_EQ(PrepareOpampInstance(o, 27.0), 15024) << name;
        EXPECT_DOUBLE_EQ(o.capacitors[0]->value, c1) << name;
        EXPECT_TRUE(std::isfinite(o.transconductance));
        m.params[static_cast<std::size_t>(index)] = kept;
    }
}

}  // namespace
}  // namespace kq5::testing
