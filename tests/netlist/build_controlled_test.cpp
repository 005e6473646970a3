// The E, F, G and H families: linear, formula, Laplace (S and Z), table and frequency-table
// sources, and the compilation of their expressions.
#include "build_test_support.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/resistor_device.h"
#include "devices/device_record_types.h"
#include "netlist/circuit_build_expressions.h"

namespace kq5::testing {
namespace {

using ControlledTest = BuildTest;

// The E members of the Laplace, Z-domain, table and frequency-table families.
constexpr int kLaplaceE = kComponentLFIofV + 2;
constexpr int kZLaplaceE = kComponentZLFIofV + 2;
constexpr int kTableE = kComponentNTIofV + 2;
constexpr int kFreqTableE = kComponentLTIofV + 2;

TEST_F(ControlledTest, LinearSourceReadsGainAndPins)
{
    Part(kComponentVofV, "E1", {1, 0, 2, 3}, {{kAttrValue, "10,,7.6"}});
    ASSERT_TRUE(Translate());
    const auto e = Records<LinearSourceDevice>(kLinearSourceDeviceList);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_DOUBLE_EQ(e[0]->gain, 10.0);
    EXPECT_DOUBLE_EQ(e[0]->secondValue, 0.0);
    EXPECT_EQ(e[0]->thirdValue, 7);
    EXPECT_EQ(e[0]->outputPlus, 1);
    EXPECT_EQ(e[0]->controlPlus, 2);
    EXPECT_EQ(e[0]->controlMinus, 3);
    EXPECT_EQ(e[0]->outputKind, kComponentVofV);
}

TEST_F(ControlledTest, FormulaSourceCompilesAndListsItsDependencies)
{
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    Part(kComponentNFV, "B1", {2, 0}, {{kAttrValue, "V(1)*2+V(1)"}});
    ASSERT_TRUE(Translate());
    SetNodeNameLookup([](std::string_view name, int, NodeDomain) { return name == "1" ? 1 : -1; });
    Analysis().solution.real.assign(5, 0.0);
    FillDeviceRecordFields();
    ASSERT_EQ(CompileDeviceExpressions(), 0);
    ASSERT_EQ(BuildFormulaDependencies(), 0);
    const auto b = Records<FormulaSourceDevice>(kFormulaSourceDeviceList);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_TRUE(b[0]->valueExpression.compiled);
    EXPECT_EQ(b[0]->dependencies, (std::vector<std::int32_t>{1}));
    SetNodeNameLookup(nullptr);
}

TEST_F(ControlledTest, LaplaceSourceMustUseS)
{
    Part(kLaplaceE, "E1", {1, 0, 2, 0}, {{kAttrLaplace, "1/(1+S/1K)"}});
    ASSERT_TRUE(Translate());
    Analysis().solution.real.assign(5, 0.0);
    ASSERT_EQ(CompileDeviceExpressions(), 0);
    EXPECT_NE(Records<LaplaceSourceDevice>(kLaplaceSourceDeviceList)[0]->flags & kDeviceFrequencyDependent, 0u);

    Fresh();
    Part(kLaplaceE, "E2", {1, 0, 2, 0}, {{kAttrLaplace, "10"}});
    ASSERT_TRUE(Translate());
    EXPECT_NE(CompileDeviceExpressions(), 0);
    EXPECT_EQ(LastShownId(), 10843);
}

TEST_F(ControlledTest, ZDomainTextBecomesALaplaceExpression)
{
    EXPECT_EQ(ConvertZExpression("1/(1-0.5*Z)", "1MEG"), "1/(1-0.5*(EXP(S/(1MEG))))");
    EXPECT_EQ(ConvertZExpression("ZETA+Z", "10"), "ZETA+(EXP(S/(10)))");
    EXPECT_EQ(ConvertZExpression("Z", "F"), "(EXP(S/(F)))");

    Part(kZLaplaceE, "E1", {1, 0, 2, 0}, {{kAttrZexp, "1/(1-0.5*Z)"}, {kAttrClockFrequency, "1MEG"}});
    ASSERT_TRUE(Translate());
    const auto s = Records<LaplaceSourceDevice>(kLaplaceSourceDeviceList);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0]->transfer.text, "1/(1-0.5*(EXP(S/(1MEG))))");
    EXPECT_EQ(s[0]->outputKind, kLaplaceE);
}

TEST_F(ControlledTest, TableSourceKeepsEndCopies)
{
    Part(kTableE, "E1", {1, 0, 2, 0}, {{kAttrTable, "(0,0) (1,{2*2}) (2,-1E-3)"}});
    ASSERT_TRUE(Translate());
    const auto t = Records<TableSourceDevice>(kTableSourceDeviceList);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]->entryCount, 5);
    EXPECT_EQ(t[0]->table, (std::vector<double>{0, 0, 0, 0, 1, 4, 2, -1e-3, 2, -1e-3}));
}

TEST_F(ControlledTest, TableSyntaxFaults)
{
    struct Case {
        const char* table;
        int id;
    } cases[] = {
        {"(0,0) (1,2*2)", 10868},  // an expression outside braces
        {"(0,0) (1,2", 10857},     // an unclosed pair
        {"(0,0) 1,2)", 10857},     // an extra parenthesis
        {"(0,0) (1)", 10833},      // an odd count of values
        {"", 10833},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        Fresh();
        SchematicItem* item = Part(kComponentNTIofV, "G1", {1, 0, 2, 0}, {{kAttrTable, c.table}});
        EXPECT_FALSE(Translate());
        EXPECT_EQ(LastShownId(), c.id);
        ListRemove(Document().itemList, item);
    }
}

TEST_F(ControlledTest, FrequencyTableKeywords)
{
    struct Case {
        const char* keywords;
        int id;  // 0: accepted
    } cases[] = {
        {"DB DEG", 0}, {"R_I", 0}, {"DB MAG", 10845}, {"DEG RAD", 10846}, {"R_I DEG", 10850}, {"FOO", 10844},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keywords);
        Fresh();
        SchematicItem* item = Part(kFreqTableE, "E1", {1, 0, 2, 0},
                                   {{kAttrFreq, "(0,0,0) (1000,-3,-45)"}, {kAttrKeyword, c.keywords}});
        EXPECT_EQ(Translate(), c.id == 0);
        if (c.id) {
            EXPECT_EQ(LastShownId(), c.id);
        } else {
            const auto t = Records<FreqTableSourceDevice>(kFreqTableSourceDeviceList);
            ASSERT_EQ(t.size(), 1u);
            EXPECT_EQ(t[0]->table.size(), 6u);
        }
        ListRemove(Document().itemList, item);
    }
    Fresh();
    Part(kFreqTableE, "E1", {1, 0, 2, 0}, {{kAttrFreq, "(0,0,0)"}, {kAttrKeyword, "DB DEG"}});
    ASSERT_TRUE(Translate());
    const auto t = Records<FreqTableSourceDevice>(kFreqTableSourceDeviceList);
    EXPECT_EQ(t[0]->magnitudeKeyword, kFreqDb);
    EXPECT_EQ(t[0]->phaseKeyword, kFreqDeg);
}

}  // namespace
}  // namespace kq5::testing
