#include "document/component_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/string_table.h"
#include "document/component_attributes.h"

namespace kq5 {
namespace {

constexpr int kModelTypeRows = 39;
constexpr std::uint32_t kLastAttributeId = 41;

TEST(ComponentTypes, TableShapeAndNames)
{
    ASSERT_EQ(ComponentTypeTable().size(), 136u);
    std::set<std::string> names;
    int unnamed = 0;
    for (const ComponentTypeRow& row : ComponentTypeTable()) {
        ASSERT_NE(row.name, nullptr);
        if (*row.name == '\0') {
            ++unnamed;
            continue;
        }
        EXPECT_TRUE(names.insert(row.name).second) << "duplicate name " << row.name;
    }
    // ROM, RAM and the reserved row 126 have no names.
    EXPECT_EQ(unnamed, 3);
    EXPECT_STREQ(kComponentTypeTable[kComponentRom].name, "");
    EXPECT_STREQ(kComponentTypeTable[kComponentEmpty126].name, "");
    EXPECT_STREQ(kComponentTypeTable[kComponentSampleAndHold].name, "SAMPLE_AND_HOLD");
    EXPECT_STREQ(kComponentTypeTable[kComponentTie].name, "Tie");

    EXPECT_EQ(FindComponentTypeByName("resistor"), kComponentResistor);
    EXPECT_EQ(FindComponentTypeByName("SEVEN segment"), kComponentSevenSegment);
    EXPECT_EQ(FindComponentTypeByName(""), -1);
    EXPECT_EQ(FindComponentTypeByName("Resisto"), -1);
    EXPECT_EQ(FindComponentTypeRow(-1), nullptr);
    EXPECT_EQ(FindComponentTypeRow(136), nullptr);
    EXPECT_EQ(FindComponentTypeRow(135), &kComponentTypeTable[135]);
}

TEST(ComponentTypes, FieldsStayInRange)
{
    for (int code = 0; code < kComponentTypeCount; ++code) {
        SCOPED_TRACE(code);
        const ComponentTypeRow& row = kComponentTypeTable[code];
        EXPECT_TRUE(row.letter == ' ' || (row.letter >= 'A' && row.letter <= 'Z'));
        EXPECT_LE(row.domain, 2);
        EXPECT_LE(row.pinClass, 2);
        EXPECT_GE(row.modelType, -1);
        EXPECT_LT(row.modelType, kModelTypeRows);
        EXPECT_GE(row.pins, -1);
        EXPECT_LE(row.classBits, 0xFFFFu);
        EXPECT_LE(row.mainAttribute, kLastAttributeId);
        bool ended = false;
        for (std::uint32_t id : row.attributes) {
            EXPECT_LE(id, kLastAttributeId);
            if (ended) {
                EXPECT_EQ(id, 0u) << "attribute after the terminating 0";
            }
            ended = ended || id == 0;
        }
        for (std::uint16_t hint : row.hints)
            if (hint != 0) {
                EXPECT_GE(hint, kFirstSyntaxHint);
                EXPECT_LE(hint, kLastSyntaxHint);
            }
    }
}

TEST(ComponentTypes, EverySyntaxHintIsUsedAndHasText)
{
    std::set<std::uint32_t> used;
    for (const ComponentTypeRow& row : ComponentTypeTable())
        for (std::uint16_t hint : row.hints)
            if (hint) used.insert(hint);
    EXPECT_EQ(used.size(), kLastSyntaxHint - kFirstSyntaxHint + 1);
    for (std::uint32_t id = kFirstSyntaxHint; id <= kLastSyntaxHint; ++id)
        EXPECT_TRUE(FindStringTableText(static_cast<int>(id)).has_value()) << id;
    EXPECT_EQ(FindStringTableText(ComponentTypeHint(kComponentSubckt, 0)).value_or(""),
              "Mandatory:<subckt name>");
}

TEST(ComponentTypes, PinNameGroupsExistInTheStringTable)
{
    int groups = 0;
    for (int code = 0; code < kComponentTypeCount; ++code) {
        if (!HasNamedPinGroup(code)) continue;
        ++groups;
        const ComponentTypeRow& row = kComponentTypeTable[code];
        for (int pin = 0; pin < row.pins; ++pin)
            EXPECT_FALSE(ComponentTypePinName(code, pin).empty()) << "type " << code << " pin " << pin;
        EXPECT_EQ(ComponentTypePinName(code, row.pins), "");
    }
    EXPECT_GT(groups, 60);
    // ADC and DAC name their analog pins; the digital ones follow from the definition.
    for (int id = 8570; id <= 8575; ++id) EXPECT_TRUE(FindStringTableText(id).has_value()) << id;
    for (int id = 8580; id <= 8582; ++id) EXPECT_TRUE(FindStringTableText(id).has_value()) << id;

    EXPECT_EQ(ComponentTypePinName(kComponentNpn, 1), "Base");
    EXPECT_EQ(ComponentTypePinName(kComponentPnp4, 3), "Substrate");
    EXPECT_EQ(ComponentTypePinName(kComponentJkff, 6), "QB");
    EXPECT_EQ(ComponentTypePinName(kComponentSevenSegment, 6), "G");
    EXPECT_EQ(ComponentTypePinName(kComponentNbtg, 2), "Channel Node 2");
    EXPECT_EQ(ComponentTypePinName(kComponentResistor, -1), "");
    EXPECT_EQ(ComponentTypePinName(kComponentGround, 0), "");   // a pure connection
    EXPECT_EQ(ComponentTypePinName(kComponentBuf, 0), "");      // from the layout flags
    EXPECT_EQ(ComponentTypePinName(kComponentSubckt, 0), "");   // from the definition
}

TEST(ComponentTypes, ConnectionTypesAndArrayPrimitives)
{
    for (int code : {kComponentShort, kComponentGround, kComponentJumper, kComponentTie}) {
        EXPECT_EQ(kComponentTypeTable[code].pinNames, kPinNamesConnection) << code;
        EXPECT_EQ(kComponentTypeTable[code].mainAttribute, 0u);
    }
    // Each array primitive names its element gate: the gate with the array's name less its "A".
    int arrays = 0;
    for (int code = 0; code < kComponentTypeCount; ++code) {
        const ComponentTypeRow& row = kComponentTypeTable[code];
        if (!(row.flags & kTypeArrayPrimitive)) continue;
        ++arrays;
        ASSERT_LT(row.pinNames, static_cast<std::uint32_t>(code));
        std::string name = row.name;
        ASSERT_EQ(name.back(), 'A');
        EXPECT_EQ(name.substr(0, name.size() - 1), kComponentTypeTable[row.pinNames].name);
        EXPECT_EQ(row.pins, 0);
        EXPECT_EQ(row.modelType, 0);
    }
    EXPECT_EQ(arrays, 16);
}

TEST(ComponentTypes, HelpContexts)
{
    for (int code = 0; code < kComponentTypeCount; ++code) {
        std::uint32_t expected = 6000 + code;
        if (code == 36) expected = 6006;
        else if (code == 38) expected = 6007;
        else if (code >= 59 && code <= 77) expected = 6058;
        else if (code >= 79 && code <= 93) expected = 6078;
        else if (code == 95 || code == 97 || code == 99) expected = 6000 + code - 1;
        else if (code >= 102 && code <= 112) expected = 6101;
        else if (code == 126) expected = 0;
        else if (code >= 132 && code <= 134) expected = 6131;
        else if (code == 135) expected = 6132;
        EXPECT_EQ(kComponentTypeTable[code].helpId, expected) << code;
    }
}

TEST(ComponentTypes, ModelTypesAndAttributesOfKnownRows)
{
    // PNP4 takes the lateral PNP model, PNP the plain one; both share the NPN help topics.
    EXPECT_EQ(kComponentTypeTable[kComponentPnp4].modelType, 38);
    EXPECT_EQ(kComponentTypeTable[kComponentPnp].modelType, 15);
    EXPECT_EQ(kComponentTypeTable[kComponentOpamp].modelType, 0);
    EXPECT_EQ(kComponentTypeTable[kComponentBattery].modelType, -1);
    EXPECT_TRUE(kComponentTypeTable[kComponentResistor].flags & kTypeModelOptional);

    // subckt: NAME then FILE, "PARAMS:" and "TEXT:".
    const std::uint32_t subckt[] = {5, 4, 30, 32, 0, 0, 0, 0, 0};
    for (int slot = 0; slot < kTypeAttributeSlots; ++slot)
        EXPECT_EQ(ComponentTypeAttribute(kComponentSubckt, slot), subckt[slot]) << slot;
    // The programmable arrays fill all nine slots.
    EXPECT_EQ(ComponentTypeAttribute(kComponentPland, 8), 11u);
    EXPECT_EQ(ComponentTypeHint(kComponentPland, 8), 19024u);
    EXPECT_EQ(ComponentTypeAttribute(kComponentPland, 9), 0u);
    EXPECT_EQ(ComponentTypeAttribute(136, 0), 0u);

    // Class masks of the device quantities: V(part) matches two-terminal and dependent types.
    EXPECT_TRUE(kComponentTypeTable[kComponentCapacitor].classBits & 0xC000);
    EXPECT_FALSE(kComponentTypeTable[kComponentNpn].classBits & 0xC000);
    EXPECT_EQ(kComponentTypeTable[kComponentSampleAndHold].classBits, 0xC000u);
}

TEST(ComponentTypes, PinSignalKinds)
{
    EXPECT_EQ(PinSignalKindOfType(kComponentResistor, 1, ""), 0);
    EXPECT_EQ(PinSignalKindOfType(kComponentAnd, 0, ""), 1);
    EXPECT_EQ(PinSignalKindOfType(kComponentDigitalLed, 0, ""), 1);
    EXPECT_EQ(PinSignalKindOfType(kComponentDigitalInput, 2, ""), 0);
    EXPECT_EQ(PinSignalKindOfType(kComponentDigitalInput, 3, ""), 1);
    EXPECT_EQ(PinSignalKindOfType(kComponentDigitalOutput, 2, ""), 1);
    EXPECT_EQ(PinSignalKindOfType(kComponentDigitalOutput, 1, ""), 0);
    EXPECT_EQ(PinSignalKindOfType(kComponentAdc, 2, ""), 0);
    EXPECT_EQ(PinSignalKindOfType(kComponentDac, 3, ""), 1);
    EXPECT_EQ(PinSignalKindOfType(kComponentMacro, 0, "dOut"), 1);
    EXPECT_EQ(PinSignalKindOfType(kComponentSubckt, 0, "Vin"), 0);
    EXPECT_EQ(PinSignalKindOfType(kComponentSubckt, 0, ""), 0);
    EXPECT_EQ(PinSignalKindOfType(500, 0, ""), 0);
}

TEST(ComponentTypes, ModelAttributeFollowsTheTypeRow)
{
    // N and O parts are digital but list MODEL, not TIMING MODEL.
    EXPECT_EQ(ModelAttributeOfComponentType(kComponentDigitalInput), kAttrModel);
    EXPECT_EQ(ModelAttributeOfComponentType(kComponentDigitalOutput), kAttrModel);
    EXPECT_EQ(ModelAttributeOfComponentType(kComponentAnd), kAttrTimingModel);
    EXPECT_EQ(ModelAttributeOfComponentType(kComponentDiode), kAttrModel);
    EXPECT_EQ(ModelAttributeOfComponentType(-1), kAttrModel);
}

TEST(ComponentTypes, UseCounts)
{
    ResetComponentTypeUseCounts();
    CountComponentTypeUse(kComponentResistor);
    CountComponentTypeUse(kComponentResistor);
    CountComponentTypeUse(-4);
    CountComponentTypeUse(kComponentTypeCount);
    EXPECT_EQ(ComponentTypeUseCount(kComponentResistor), 2u);
    EXPECT_EQ(ComponentTypeUseCount(kComponentCapacitor), 0u);
    EXPECT_EQ(ComponentTypeUseCount(999), 0u);
    ResetComponentTypeUseCounts();
    EXPECT_EQ(ComponentTypeUseCount(kComponentResistor), 0u);
}

}  // namespace
}  // namespace kq5
