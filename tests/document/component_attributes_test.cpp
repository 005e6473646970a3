#include <gtest/gtest.h>

#include "ui/program_settings.h"
#include "document/component_attributes.h"
#include "document_test_support.h"
#include "document/component_types.h"

namespace kq5 {
namespace {

using testing::DocumentTest;

class AttributeTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        item_ = AddComponent(Definition("Resistor", kComponentResistor), 10, 10);
    }
    SchematicItem* item_ = nullptr;
};

TEST_F(AttributeTest, PredefinedNamesAreKeptAsIdsInAnyCase)
{
    ComponentAttribute* part = SetAttribute(record_, item_, kAttrPart, "R1");
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(SetAttribute(record_, item_, "part", "R2"), part);
    EXPECT_EQ(item_->attributes.count, 1);
    EXPECT_EQ(part->value, "R2");

    ComponentAttribute* value = SetAttribute(record_, item_, "VaLuE", "1k");
    EXPECT_EQ(value->keyId, kAttrValue);
    EXPECT_TRUE(value->userName.empty());
    EXPECT_EQ(AttributeName(*value), "VALUE");
    EXPECT_EQ(FindAttribute(item_, kAttrValue), value);
    EXPECT_EQ(GetAttributeText(item_, "value"), "1k");

    // The blanks around some table names are part of the name.
    EXPECT_EQ(AttributeIdFromName(" ISDTOA "), kAttrIsDtoA);
    EXPECT_EQ(AttributeIdFromName("ISDTOA"), 0);
    EXPECT_EQ(AttributeTableName(41), " TEMPPART");
    EXPECT_EQ(AttributeTableName(42), "");
}

TEST_F(AttributeTest, UserNamesAreFoundByNameOnly)
{
    ComponentAttribute* user = SetAttribute(record_, item_, "Tolerance", "5%");
    EXPECT_EQ(user->keyId, 0);
    EXPECT_EQ(user->userName, "Tolerance");
    EXPECT_EQ(FindAttribute(item_, "TOLERANCE"), user);
    EXPECT_EQ(FindAttribute(item_, kAttrValue), nullptr);
    EXPECT_EQ(FindAttribute(item_, 0), nullptr);
    EXPECT_EQ(FindAttribute(nullptr, kAttrPart), nullptr);
    EXPECT_EQ(GetAttributeText(item_, kAttrModel), "");
    EXPECT_EQ(GetAttributeText(nullptr, kAttrModel), "");

    // An attribute given its own name or value keeps it.
    EXPECT_EQ(SetAttributeKey(*user, user->userName), 0);
    EXPECT_EQ(user->userName, "Tolerance");
    EXPECT_EQ(SetAttributeValue(*user, user->value), 0);
    EXPECT_EQ(user->value, "5%");
    EXPECT_EQ(SetAttributeValue(*user, std::string_view(user->value).substr(0, 1)), 0);
    EXPECT_EQ(user->value, "5");
    EXPECT_EQ(SetAttributeKeyAndText(nullptr, kAttrPart, "x"), 0);
}

TEST_F(AttributeTest, NewAttributesStartOneLineBelowTheLast)
{
    Settings().defaultTextLineHeight = 14;
    document_->attributeFont = FontSpec{10, 0, 0, 3};
    item_->attributesChanged = 0;
    ComponentAttribute* first = NewAttributeNode(record_, item_);
    first->textOffsetY = 5;
    ComponentAttribute* second = NewAttributeNode(record_, item_);
    EXPECT_EQ(first->font.color, 3);
    EXPECT_EQ(second->textOffsetY, 19);
    EXPECT_EQ(item_->attributesChanged, 1);
    Settings().defaultAttributeFont.color = 9;
    EXPECT_EQ(NewAttributeNode(nullptr, item_)->font.color, 9);
}

TEST_F(AttributeTest, DisplayTextJoinsNameAndValue)
{
    ComponentAttribute* part = SetAttribute(record_, item_, kAttrPart, "R7");
    EXPECT_EQ(BuildAttributeDisplayText(part, kAttrShowName | kAttrShowValue), "PART=R7");
    EXPECT_EQ(BuildAttributeDisplayText(part, kAttrShowName), "PART");
    EXPECT_EQ(BuildAttributeDisplayText(part, kAttrShowValue), "R7");
    EXPECT_EQ(BuildAttributeDisplayText(part, 0), "");
    EXPECT_EQ(BuildAttributeDisplayText(nullptr, kAttrShowValue), "");
    ComponentAttribute* bare = NewAttributeNode(record_, item_);
    EXPECT_EQ(BuildAttributeDisplayText(bare, kAttrShowName | kAttrShowValue), "");
}

TEST_F(AttributeTest, CopyReplacesTheAttributesAndTakesTheDefinition)
{
    SetAttribute(record_, item_, kAttrPart, "R1");
    ComponentAttribute* value = SetAttribute(record_, item_, kAttrValue, "10k");
    value->display = kAttrShowValue;
    value->textOffsetX = 7;
    SetAttribute(record_, item_, "Note", "hand made");
    SchematicItem* copy = AddComponent(Definition("Capacitor", kComponentCapacitor), 0, 0);
    SetAttribute(record_, copy, kAttrModel, "old");

    EXPECT_EQ(CopyComponentAttributes(*copy, *item_), 0);
    EXPECT_EQ(copy->definition, item_->definition);
    EXPECT_EQ(copy->attributes.count, 3);
    EXPECT_EQ(FindAttribute(copy, kAttrModel), nullptr);
    const ComponentAttribute* copied = FindAttribute(copy, kAttrValue);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->value, "10k");
    EXPECT_EQ(copied->display, kAttrShowValue);
    EXPECT_EQ(copied->textOffsetX, 7);
    EXPECT_EQ(GetAttributeText(copy, "note"), "hand made");
    EXPECT_EQ(CopyComponentAttributes(*copy, *copy), 0);  // copying onto itself loses nothing
    EXPECT_EQ(copy->attributes.count, 3);
}

TEST_F(AttributeTest, ADrawnRectangleGoesWithItsAttributeOnly)
{
    ComponentAttribute* value = SetAttribute(record_, item_, kAttrValue, "1k");
    const win::RECT drawn{80, 92, 112, 102};
    value->SetDisplayRect(drawn);
    const ComponentAttribute copy(*value);
    EXPECT_EQ(copy.DisplayRect().right, 112);

    // A new attribute, even one made where a removed one lay, has not been drawn.
    ListRemove(item_->attributes, value);
    for (int i = 0; i < 4; ++i) {
        ComponentAttribute* fresh = SetAttribute(record_, item_, kAttrValue, "2k");
        EXPECT_EQ(fresh->DisplayRect().right, 0);
        EXPECT_EQ(fresh->DisplayRect().left, 0);
        ListRemove(item_->attributes, fresh);
    }
    EXPECT_EQ(copy.DisplayRect().left, 80);
}

TEST_F(AttributeTest, CopyReportsAFailureEvenWhenLaterCopiesSucceed)
{
    SetAttribute(record_, item_, kAttrPart, "R1");
    SetAttribute(record_, item_, kAttrValue, std::string(200, 'v'));  // copies that allocate
    SetAttribute(record_, item_, "Note", std::string(200, 'n'));
    SchematicItem* copy = AddComponent(item_->definition, 0, 0);
    // Fail each allocation of the copy in turn: whichever fails, the caller must learn of it,
    // also when the attributes after it copy fine.
    bool sawLaterSuccess = false;
    for (int countdown = 1; countdown < 40; ++countdown) {
        testing::FailOneAllocation(countdown);
        const int status = CopyComponentAttributes(*copy, *item_);
        testing::StopFailingAllocations();
        if (!testing::AllocationFailed()) {
            EXPECT_EQ(status, 0);
            break;
        }
        EXPECT_EQ(status, 15002) << "allocation " << countdown;
        if (copy->attributes.count == 3 && GetAttributeText(copy, "note").size() == 200) sawLaterSuccess = true;
    }
    EXPECT_TRUE(sawLaterSuccess);
    EXPECT_FALSE(win::MessageBoxLog().empty());
}

TEST(AttributeTextOffset, FollowsTheOrientationTable)
{
    // originX 3, turned originX 5, running offsets 10 / 20, width 30, height 12.
    const std::pair<int, win::POINT> expected[] = {
        {0, {3, 10}},   {1, {5, 20}},   {2, {-33, -22}}, {3, {-35, -32}},
        {4, {3, -22}},  {5, {5, -32}},  {6, {-33, 10}},  {7, {-35, 20}},
    };
    for (const auto& [code, point] : expected) {
        const win::POINT got = AttributeTextOffset(code, 3, 5, 10, 20, 30, 12);
        EXPECT_EQ(got.x, point.x) << code;
        EXPECT_EQ(got.y, point.y) << code;
    }
}

TEST_F(AttributeTest, PlacedTextsRunOneLineApartAndEmptyOnesTakeNoLine)
{
    ComponentDefinition* definition = Definition("R", kComponentResistor);
    definition->attrOriginX = 4;
    definition->attrOriginY = 6;
    item_->definition = definition;
    SetAttribute(record_, item_, kAttrPart, "R1");
    ComponentAttribute* empty = SetAttribute(record_, item_, kAttrModel, "");
    empty->textOffsetX = 50;
    ComponentAttribute* value = SetAttribute(record_, item_, kAttrValue, "1k");
    PlaceAttributeTexts(record_, item_);
    const ComponentAttribute* part = FindAttribute(item_, kAttrPart);
    EXPECT_EQ(part->textOffsetX, 4);
    EXPECT_EQ(part->textOffsetY, 6);
    EXPECT_EQ(empty->textOffsetX, 0);
    EXPECT_EQ(empty->textOffsetY, 0);
    EXPECT_EQ(value->textOffsetX, 4);
    EXPECT_GT(value->textOffsetY, 6);
}

TEST_F(AttributeTest, StandardAttributesOfAType)
{
    EXPECT_EQ(IsKindStandardAttribute(kComponentResistor, kAttrValue), 1);
    EXPECT_EQ(IsKindStandardAttribute(kComponentResistor, kAttrTimingModel), 0);
    EXPECT_EQ(IsKindStandardAttribute(kComponentSubckt, kAttrName), 1);
    EXPECT_EQ(IsKindStandardAttribute(kComponentResistor, 0), 0);
    EXPECT_EQ(IsKindStandardAttribute(-1, kAttrValue), 0);
}

}  // namespace
}  // namespace kq5
