#include "netlist/model_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/message_reporter.h"
#include "platform/string_table.h"
#include "model_test_support.h"
#include "document/component_types.h"

namespace kq5::testing {
namespace {

struct ExpectedRow {
    int row, library, statement, runTime, component, temperature, base;
};

// Counts, component types, temperature groups and description bases of every row.
constexpr ExpectedRow kExpected[] = {
    {0, 24, 24, 24, 19, 20, 4000},    {1, 31, 31, 38, 5, 27, 4024},     {2, 52, 55, 67, 6, 48, 4055},
    {3, 56, 56, 62, 9, 52, 4110},     {4, 20, 20, 26, 25, 16, 4166},    {5, 7, 7, 7, 13, 0, 4186},
    {6, 7, 7, 7, 17, 0, 4193},        {7, 9, 9, 69, 15, 0, 4200},       {8, 13, 13, 13, 123, 0, 4209},
    {9, 36, 36, 42, 48, 32, 4222},    {10, 4, 4, 4, 115, 0, 4258},      {11, 4, 4, 4, 116, 0, 4262},
    {12, 9, 9, 9, 4, 5, 4266},        {13, 9, 9, 9, 3, 5, 4275},        {14, 8, 8, 8, 2, 4, 4284},
    {15, 52, 55, 67, 7, 48, 4055},    {16, 56, 56, 62, 8, 52, 4110},    {17, 20, 20, 26, 24, 16, 4166},
    {18, 64, 64, 67, 55, 0, 4292},    {19, 82, 82, 82, 54, 0, 4356},    {20, 9, 9, 10, 56, 0, 4438},
    {21, 3, 3, 3, 57, 0, 4447},       {22, 6, 6, 6, 74, 0, 4450},       {23, 18, 18, 18, 78, 0, 4456},
    {24, 30, 30, 30, 94, 0, 4474},    {25, 33, 33, 33, 96, 0, 4504},    {26, 3, 3, 3, 100, 0, 4537},
    {27, 10, 10, 10, 101, 0, 4540},   {28, 18, 18, 18, 113, 0, 4550},   {29, 36, 36, 36, 114, 0, 4568},
    {30, 0, 0, 0, 118, 0, 4604},      {31, 21, 21, 21, 0, 0, 4604},     {32, 96, 96, 98, 9, 28, 4625},
    {33, 96, 96, 98, 8, 28, 4625},    {34, 152, 152, 158, 9, 28, 4721}, {35, 152, 152, 158, 8, 28, 4721},
    {36, 373, 373, 379, 9, 28, 4874}, {37, 373, 373, 379, 8, 28, 4874}, {38, 52, 55, 67, 38, 0, 4055},
};

float Default(int type, const char* name)
{
    const ModelParamDesc* desc = FindModelParamDesc(type, FindModelParamIndex(type, name));
    return desc ? desc->defaultValue : -12345.0f;
}

TEST(ModelTypes, RowsHoldTheirCountsAndTemperatureGroups)
{
    ASSERT_EQ(ModelTypeTable().size(), 39u);
    for (const ExpectedRow& e : kExpected) {
        const ModelTypeRow& row = kModelTypeTable[e.row];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.libraryCount, e.library);
        EXPECT_EQ(row.statementCount, e.statement);
        EXPECT_EQ(row.runTimeCount, e.runTime);
        EXPECT_EQ(row.componentType, e.component);
        EXPECT_EQ(row.temperatureIndex, e.temperature);
        EXPECT_EQ(row.descriptionBase, e.base);
        if (row.temperatureIndex) {
            EXPECT_STREQ(row.params[row.temperatureIndex].name, "T_MEASURED");
            EXPECT_STREQ(row.params[row.temperatureIndex + 1].name, "T_ABS");
            EXPECT_STREQ(row.params[row.temperatureIndex + 2].name, "T_REL_GLOBAL");
            EXPECT_STREQ(row.params[row.temperatureIndex + 3].name, "T_REL_LOCAL");
        }
        // Every component type that uses a model names this row's type.
        if (row.componentType && e.row < 32) {
            EXPECT_EQ(kComponentTypeTable[row.componentType].modelType, e.row);
        }
    }
    // The digital timing rows start unspecified; LPNP has the names but no temperature index.
    EXPECT_EQ(kModelTypeTable[kModelUgate].unsetTiming, 1);
    EXPECT_EQ(kModelTypeTable[kModelUio].unsetTiming, 0);
    EXPECT_EQ(FindModelParamIndex(kModelLpnp, "T_ABS"), 49);
    EXPECT_EQ(kModelTypeTable[kModelDoutput].domain, kModelDomainIo);
    EXPECT_EQ(kModelTypeTable[kModelUgate].domain, kModelDomainDigital);
}

TEST(ModelTypes, SharedTablesAndDefaults)
{
    EXPECT_EQ(kModelTypeTable[kModelPnp].params, kModelTypeTable[kModelNpn].params);
    EXPECT_EQ(kModelTypeTable[kModelLpnp].params, kModelTypeTable[kModelNpn].params);
    EXPECT_EQ(kModelTypeTable[kModelPmos4].params, kModelTypeTable[kModelNmos4].params);
    EXPECT_NE(kModelTypeTable[kModelPmos8].params, kModelTypeTable[kModelNmos8].params);
    EXPECT_EQ(kModelTypeTable[kModelUbgt].params, nullptr);

    EXPECT_FLOAT_EQ(Default(kModelDiode, "IS"), 1e-14f);
    EXPECT_FLOAT_EQ(Default(kModelOpa, "C"), 3e-11f);
    EXPECT_FLOAT_EQ(Default(kModelNmos8, "DVT1W"), 5.3e6f);
    EXPECT_FLOAT_EQ(Default(kModelNmos8, "NOIA"), 1e20f);
    EXPECT_FLOAT_EQ(Default(kModelPmos8, "NOIA"), 9.9e18f);
    EXPECT_FLOAT_EQ(Default(kModelPmos8, "NOIC"), 1.4e-12f);
    EXPECT_FLOAT_EQ(Default(kModelPmos8, "DVT1W"), 5.3e6f);
    EXPECT_TRUE(IsParamNotGiven(Default(kModelNmos, "LEVEL")));
    EXPECT_TRUE(IsParamNotGiven(Default(kModelTrn, "ZO")));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(ParamNotGiven), 0x5D88D14Bu);
    EXPECT_NEAR(kParamNotGivenDouble, 1.2323429e18, 1e11);

    // Character defaults are in slot form; the I/O model names its interface subcircuits.
    EXPECT_EQ(CharacterOfSlot(Default(kModelDoutput, "S0NAME")), '0');
    EXPECT_EQ(CharacterOfSlot(Default(kModelDinput, "S1NAME")), '1');
    EXPECT_EQ(CharacterOfSlot(Default(kModelDoutput, "S2NAME")), '\0');
    const ModelParamDesc* atod = FindModelParamDesc(kModelUio, FindModelParamIndex(kModelUio, "ATOD3"));
    ASSERT_NE(atod, nullptr);
    EXPECT_EQ(atod->valueKind, kParamText);
    EXPECT_STREQ(atod->defaultText, "AtoDDefault");
    EXPECT_STREQ(FindModelParamDesc(kModelUio, 20)->defaultText, "DIGIFPWR");

    // Flags: MOS LEVEL always written, series resistances compile extra expression steps.
    EXPECT_TRUE(FindModelParamDesc(kModelNmos4, 0)->flags & kParamAlwaysWritten);
    EXPECT_TRUE(FindModelParamDesc(kModelNpn, FindModelParamIndex(kModelNpn, "RE"))->flags & kParamExpressionSteps);
}

TEST(ModelTypes, NameLookups)
{
    EXPECT_EQ(FindModelType("NMOS"), kModelNmos);
    EXPECT_EQ(FindModelType("PMOS"), kModelPmos);
    EXPECT_EQ(FindModelType("LPNP"), kModelLpnp);
    EXPECT_EQ(FindModelType("nmos"), -1);
    EXPECT_EQ(FindModelType("XYZ"), -1);

    EXPECT_EQ(FindModelParamIndex(kModelNpn, "VA"), 3);
    EXPECT_EQ(FindModelParamIndex(kModelPnp, "pt"), 37);
    EXPECT_EQ(FindModelParamIndex(kModelLpnp, "CCS"), 25);
    EXPECT_EQ(FindModelParamIndex(kModelTrn, "Z0"), 0);
    EXPECT_EQ(FindModelParamIndex(kModelNmos4, "TEMP"), 29);
    EXPECT_EQ(FindModelParamIndex(kModelPmos4, "WDF"), 2);
    EXPECT_EQ(FindModelParamIndex(kModelNmos5, "TEMP"), -1);
    EXPECT_EQ(FindModelParamIndex(kModelDiode, "VA"), -1);
    EXPECT_EQ(FindModelParamIndex(kModelNpn, "bf"), 1);
    // Names of 30 characters or more match nothing.
    EXPECT_EQ(FindModelParamIndex(kModelNpn, std::string(30, 'A')), -1);
    EXPECT_EQ(FindModelParamIndex(kModelNpn, "BF" + std::string(28, ' ')), -1);
    EXPECT_EQ(GetModelParamName(kModelNmos8, 372), "PXT");
    EXPECT_EQ(GetModelParamName(kModelNmos8, 373), "");
    EXPECT_EQ(GetModelParamName(-1, 0), "");
}

TEST(ModelTypes, MosRowByLevel)
{
    EXPECT_EQ(MosRowForLevel(kModelNmos, "LEVEL=4 VTO=1"), kModelNmos4);
    EXPECT_EQ(MosRowForLevel(kModelPmos, "VTO=-1 LEVEL = 8"), kModelPmos8);
    EXPECT_EQ(MosRowForLevel(kModelPmos, "LEVEL=5"), kModelPmos5);
    EXPECT_EQ(MosRowForLevel(kModelNmos, "LEVEL=3"), kModelNmos);
    EXPECT_EQ(MosRowForLevel(kModelNmos, "LEVEL=6"), kModelNmos);
    EXPECT_EQ(MosRowForLevel(kModelNmos, "VTO=1"), kModelNmos);
    EXPECT_EQ(MosRowForLevel(kModelNmos, "LEVEL="), kModelNmos);
    EXPECT_EQ(MosRowForLevel(kModelNpn, "LEVEL=4"), kModelNpn);
    for (int row : {32, 34, 36}) EXPECT_EQ(FoldMosRow(row), kModelNmos);
    for (int row : {33, 35, 37}) EXPECT_EQ(FoldMosRow(row), kModelPmos);
    EXPECT_EQ(FoldMosRow(kModelDiode), kModelDiode);
}

class ModelValueCheck : public ModelTest {
protected:
    int Check(int type, const char* name, float value)
    {
        ModelReportTarget target{nullptr, 0, ".model X"};
        return CheckModelParamValue(&target, value, type, FindModelParamIndex(type, name));
    }
};

TEST_F(ModelValueCheck, LevelRulesAndRangeClasses)
{
    EXPECT_EQ(Check(kModelDiode, "LEVEL", 3.0f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14081);
    EXPECT_EQ(Check(kModelDiode, "LEVEL", 2.0f), 0);
    EXPECT_EQ(Check(kModelNmos, "LEVEL", ParamNotGiven), 0);
    EXPECT_EQ(Check(kModelNmos, "LEVEL", 6.0f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14077);
    EXPECT_EQ(Check(kModelNmos8, "LEVEL", 5.0f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14080);
    EXPECT_EQ(Check(kModelOpa, "TYPE", 0.0f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14071);
    EXPECT_EQ(Check(kModelNpn, "XCJC", 1.5f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14073);
    EXPECT_EQ(Check(kModelDiode, "BV", -1.0f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14072);
    EXPECT_EQ(Check(kModelOpa, "LEVEL", 4.0f), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14075);
    EXPECT_EQ(Check(kModelDoutput, "S0NAME", MakeCharacterSlot('R')), 0);
    EXPECT_EQ(Check(kModelDoutput, "S0NAME", MakeCharacterSlot('\0')), 0);
    EXPECT_EQ(Check(kModelDoutput, "S0NAME", MakeCharacterSlot('Q')), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 14076);
    // Without a target the verdict comes back silently.
    const std::size_t shown = win::MessageBoxLog().size();
    EXPECT_EQ(CheckModelParamValue(nullptr, -1.0f, kModelDiode, FindModelParamIndex(kModelDiode, "RS")),
              kMsgAlreadyReported);
    EXPECT_EQ(win::MessageBoxLog().size(), shown);
}

TEST(ModelTypes, DescriptionsAndDisplayNamesAreInTheStringTable)
{
    EXPECT_EQ(LoadResString(4001), "Model level (1,2,3)");
    EXPECT_EQ(LoadResString(4025), "1=SPICE2G 2=PSPICE");
    EXPECT_EQ(LoadResString(4026), "Saturation current");
    EXPECT_EQ(LoadResString(ModelParamDescriptionId(kModelTrn, 0)), "Characteristic impedance");
    EXPECT_EQ(LoadResString(ModelParamDescriptionId(kModelNmos4, 0)), "Intrernal model level 4");
    EXPECT_EQ(LoadResString(ModelParamDescriptionId(kModelPmos8, FindModelParamIndex(kModelPmos8, "VBM"))),
              "Maximum applied body bias in Vth calculation");
    EXPECT_EQ(ModelParamDescriptionId(kModelNmos8, 372), 5247);
    EXPECT_EQ(ModelParamDescriptionId(kModelNmos8, 373), 0);
    for (const ModelTypeRow& row : ModelTypeTable()) {
        for (int i = 0; i < row.statementCount; ++i)
            EXPECT_FALSE(LoadResString(row.descriptionBase + 1 + i).empty()) << row.name << " " << i;
    }
    for (int type = 0; type < kModelTypeCount; ++type)
        EXPECT_FALSE(LoadResString(101 + type).empty()) << "display name of row " << type;
    EXPECT_EQ(LoadResString(101 + kModelPmos5), "PMOS level 5");
}

}  // namespace
}  // namespace kq5::testing
