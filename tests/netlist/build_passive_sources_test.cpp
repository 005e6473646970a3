// Resistors, capacitors and inductors with their value grammar, and the independent sources
// with their DC, AC and time functions.
#include "build_test_support.h"
#include "netlist/capacitor_device.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/circuit_build_expressions.h"
#include "core/part_instance.h"
#include "netlist/spice_initial_conditions.h"

namespace kq5::testing {
namespace {

using PassiveTest = BuildTest;

TEST_F(PassiveTest, ResistorReadsValueAndTemperatureCoefficients)
{
    Part(kComponentResistor, "R1", {1, 2}, {{kAttrValue, "10K TC=0.001,1E-6"}});
    ASSERT_TRUE(Translate());
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]->nodeA, 1);
    EXPECT_EQ(r[0]->nodeB, 2);
    EXPECT_EQ(r[0]->sourceFlag, 1);
    EXPECT_EQ(r[0]->valueExpression.text, "10K");
    ASSERT_NE(r[0]->extras, nullptr);
    EXPECT_DOUBLE_EQ(r[0]->extras->tc1, 0.001);
    EXPECT_DOUBLE_EQ(r[0]->extras->tc2, 1e-6);
    EXPECT_EQ(r[0]->extras->tc1Given, 1);
    EXPECT_EQ(r[0]->extras->tc2Given, 1);

    // The part names its record.
    const auto parts = Records<PartInstanceRecord>(kPartInstanceList);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0]->partName, "R1");
    EXPECT_EQ(parts[0]->device, r[0]);
}

TEST_F(PassiveTest, ValueGrammarFaultsAreReported)
{
    struct Case {
        int type;
        const char* value;
        int id;
    } cases[] = {
        {kComponentResistor, "10K TC 0.001", 11901},  // no equals sign
        {kComponentResistor, "10K IC=1", 10847},      // IC is no resistor word
        {kComponentResistor, "10K TC=1 X", 10847},    // text left over
        {kComponentCapacitor, "1U TC=1", 10847},
        {kComponentInductor, "1M IC 2", 11901},
        {kComponentResistor, "", 11901},              // no value at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Fresh();
        SchematicItem* item = Part(c.type, "P1", {1, 0}, {{kAttrValue, c.value}});
        EXPECT_FALSE(Translate());
        EXPECT_EQ(LastShownId(), c.id);
        ListRemove(Document().itemList, item);
    }
}

TEST_F(PassiveTest, CapacitorAndInductorInitialConditions)
{
    Part(kComponentCapacitor, "C1", {1, 0}, {{kAttrValue, "1U IC=2"}});
    Part(kComponentCapacitor, "C2", {2, 0}, {{kAttrValue, "2U IC=0"}});
    Part(kComponentInductor, "L1", {1, 2}, {{kAttrValue, "1M IC=0.5"}});
    ASSERT_TRUE(Translate());
    const auto c = Records<CapacitorDevice>(kCapacitorDeviceList);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_DOUBLE_EQ(c[0]->initialCondition, 2.0);
    EXPECT_EQ(c[0]->ordinal, 1);
    EXPECT_EQ(c[1]->ordinal, 2);
    // A given zero is given.
    EXPECT_TRUE(c[1]->InitialConditionGiven());
    // ...and holds its capacitor at 0 V through the .IC table, beside the non-zero one.
    ASSERT_EQ(ParseInitialConditions({}, kInitialBuild, 0), 0);
    const InitialConditionTable& table = InitialConditions();
    ASSERT_EQ(table.entries.size(), 2u);
    EXPECT_TRUE(table.anyIc);
    EXPECT_EQ(table.entries[1].nodeA, 2);
    EXPECT_EQ(table.entries[1].nodeB, 0);
    EXPECT_EQ(table.entries[1].value, 0.0);
    const auto l = Records<InductorDevice>(kInductorDeviceList);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_DOUBLE_EQ(l[0]->initialCondition, 0.5);
    EXPECT_EQ(l[0]->component, Document().itemList.tail);
}

TEST_F(PassiveTest, ConstantValuesCompileToWorkingValues)
{
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "2K"}});
    Part(kComponentCapacitor, "C1", {1, 0}, {{kAttrValue, "{2*3U}"}});
    ASSERT_TRUE(Translate());
    Analysis().solution.real.assign(5, 0.0);
    ASSERT_EQ(CompileDeviceExpressions(), 0);
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    const auto c = Records<CapacitorDevice>(kCapacitorDeviceList);
    EXPECT_DOUBLE_EQ(r[0]->value, 2000.0);
    EXPECT_DOUBLE_EQ(r[0]->nominal, 2000.0);
    EXPECT_TRUE(r[0]->valueExpression.Empty());
    EXPECT_NEAR(c[0]->value, 6e-6, 1e-18);
    EXPECT_TRUE(c[0]->valueExpression.Empty());
}

TEST_F(PassiveTest, ResistorWithMissingModelFails)
{
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}, {kAttrModel, "NOSUCH"}});
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10834);
}

TEST_F(PassiveTest, PartsNeedLegalUniqueNames)
{
    Part(kComponentResistor, "", {1, 0}, {{kAttrValue, "1K"}});
    EXPECT_FALSE(Translate());
    EXPECT_EQ(LastShownId(), 10841);
}

class SourceTest : public BuildTest {
protected:
    IndependentSourceDevice* TranslateSource(int type, const std::string& value)
    {
        Part(type, type == kComponentISpice ? "I1" : "V1", {1, 0}, {{kAttrValue, value}});
        if (!Translate()) return nullptr;
        const auto sources = Records<IndependentSourceDevice>(kIndependentSourceDeviceList);
        return sources.empty() ? nullptr : sources.back();
    }
};

TEST_F(SourceTest, DcAcAndFunctionValues)
{
    Part(kComponentISpice, "I1", {1, 0}, {{kAttrValue, "PULSE(0 1M 0 1N 1N 5U 10U)"}});
    IndependentSourceDevice* v = TranslateSource(kComponentVSpice, "DC 5 AC 1 90 SIN(0 1 1K)");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->sourceType, kSourceVoltage);
    EXPECT_DOUBLE_EQ(v->dcValue, 5.0);
    EXPECT_DOUBLE_EQ(v->dcWorking, 5.0);
    EXPECT_DOUBLE_EQ(v->acMagnitude, 1.0);
    EXPECT_DOUBLE_EQ(v->acPhase, 90.0);
    EXPECT_EQ(v->function, kSourceSin);
    EXPECT_EQ(v->lastParam, 3);
    EXPECT_DOUBLE_EQ(v->params[2], 1000.0);

    IndependentSourceDevice* i = Records<IndependentSourceDevice>(kIndependentSourceDeviceList).front();
    EXPECT_EQ(i->sourceType, kSourceCurrent);
    EXPECT_EQ(i->function, kSourcePulse);
    EXPECT_EQ(i->lastParam, 7);
}

TEST_F(SourceTest, SourceGrammarFaults)
{
    struct Case {
        const char* value;
        int id;
    } cases[] = {
        {"5 DC 6", 10839},          {"DC", 11901},           {"AC", 11901},
        {"PULSE(1)", 10622},        {"SIN(0 1) EXP(0 1)", 11903}, {"5 JUNK", 11903},
        {"PWL 0 0 1U", 10621},      {"PWL REPEAT FOR 2 ENDREPEAT", 10632},
        {"PWL ENDREPEAT", 10626},   {"PWL REPEAT FOREVER 0 0 1U 1", 10627},
        {"PWL REPEAT 0 0", 10625},  {"PWL REPEAT FOR", 10624},
        {"PWL VALUE_SCALE_FACTOR", 10630},
        {"PULSE(0 1 1U -1U 1U 1U 5U)", 14072}, {"PULSE(0 1 1U 1U 1U -1U)", 14072},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Fresh();
        EXPECT_EQ(TranslateSource(kComponentVSpice, c.value), nullptr);
        EXPECT_EQ(LastShownId(), c.id);
    }
}

TEST_F(SourceTest, PwlPointsMarkersAndScales)
{
    IndependentSourceDevice* v = TranslateSource(
        kComponentVSpice,
        "PWL TIME_SCALE_FACTOR=2 0 0 REPEAT FOR 3 1U 1 REPEAT FOREVER 2U {1+1} ENDREPEAT ENDREPEAT 3U 0");
    ASSERT_NE(v, nullptr);
    const PwlData& pwl = v->pwl;
    EXPECT_EQ(v->function, kSourcePwl);
    EXPECT_DOUBLE_EQ(pwl.timeScale, 2.0);
    EXPECT_DOUBLE_EQ(pwl.valueScale, 1.0);
    EXPECT_EQ(pwl.deepestNesting, 2);
    ASSERT_EQ(pwl.entryCount, 8);
    EXPECT_EQ(pwl.entries[1].kind, kPwlRepeat);
    EXPECT_EQ(pwl.entries[1].repeatCount, 3);
    EXPECT_EQ(pwl.entries[3].repeatCount, kPwlForever);
    EXPECT_DOUBLE_EQ(pwl.entries[4].time, 2e-6);
    EXPECT_EQ(pwl.entries[4].value, "{1+1}");
    EXPECT_EQ(pwl.entries[5].kind, kPwlEndRepeat);
    EXPECT_EQ(pwl.entries[6].kind, kPwlEndRepeat);
    EXPECT_DOUBLE_EQ(pwl.entries[7].time, 3e-6);
    EXPECT_EQ(pwl.repeatStart.size(), 2u);
    EXPECT_EQ(pwl.repeatTimeOffset.size(), 2u);
}

TEST_F(SourceTest, WarningsDoNotStopTheSource)
{
    IndependentSourceDevice* v = TranslateSource(kComponentVSpice, "PWL FILE X.TXT 0 1 TIME_SCALE_FACTOR");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(ShownIds(), (std::vector<int>{10628, 10629}));
    EXPECT_EQ(v->pwl.entryCount, 1);
}

TEST_F(SourceTest, BatteryAnalogStateAndCurrentSources)
{
    Part(kComponentBattery, "B1", {3, 4}, {{kAttrValue, "9"}});
    Part(kComponentAnalogState, "S1", {5}, {{kAttrValue, "1"}});
    Part(kComponentIsource, "I1", {1, 2}, {{kAttrValue, "1M"}});
    ASSERT_TRUE(Translate());
    const auto v = Records<IndependentSourceDevice>(kIndependentSourceDeviceList);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0]->sourceType, kSourceVoltage);
    EXPECT_DOUBLE_EQ(v[0]->dcValue, 9.0);
    EXPECT_EQ(v[1]->nodePlus, 5);
    EXPECT_EQ(v[1]->nodeMinus, 0);
    EXPECT_TRUE(CircuitBuild().groundFound);
    EXPECT_EQ(v[2]->sourceType, kSourceCurrent);
}

TEST_F(SourceTest, SineSourceSeriesResistanceMakesNamedNode)
{
    ASSERT_TRUE(Model(".MODEL SRS SIN (F=1K A=1 RS=50)"));
    ASSERT_TRUE(Model(".MODEL SNORS SIN (F=1K A=1 RS=0)"));
    Part(kComponentSineSource, "V1", {1, 0}, {{kAttrModel, "SRS"}});
    Part(kComponentSineSource, "V2", {2, 0}, {{kAttrModel, "SNORS"}});
    Part(kComponentPulseSource, "V3", {2, 0}, {{kAttrModel, "NOPULSE"}});
    EXPECT_FALSE(Translate());  // the pulse source's model is missing
    EXPECT_EQ(LastShownId(), 10834);
    const auto s = Records<SineSourceDevice>(kSineSourceDeviceList);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0]->internalPlus, 3);
    EXPECT_EQ(LookupNodeNumber(CircuitNodeTable(), "V1_plus", 0, kNodeAnalog), 3);
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_DOUBLE_EQ(r[0]->value, 50.0);
    EXPECT_EQ(r[0]->sourceFlag, 0);
    EXPECT_EQ(s[1]->internalPlus, 2);  // no series resistance: pin 0 driven directly
}

}  // namespace
}  // namespace kq5::testing
