#include <gtest/gtest.h>

#include <climits>

#include "document/circuit_document.h"
#include "document/orientation.h"
#include "document/schematic_item.h"
#include "document_test_support.h"

namespace kq5 {
namespace {

using testing::DocumentTest;

TEST_F(DocumentTest, NewDocumentStartsEmptyAndStale)
{
    EXPECT_EQ(document_->itemList.count, 0);
    EXPECT_EQ(document_->gridTextList.count, 0);
    EXPECT_EQ(document_->connectivityStale, 1);
    EXPECT_EQ(document_->viewOptions, 0x130u);
    EXPECT_EQ(document_->textAreaPane, 0x1001);
    EXPECT_DOUBLE_EQ(document_->zoomFactor, 1.0);
    EXPECT_EQ(document_->animateWaitTime, 500);
    for (const SteppingSlot& slot : document_->stepping) EXPECT_EQ(slot.flags, 10u);
}

TEST_F(DocumentTest, NewNodesLieOnThePageOfTheCurrentPane)
{
    document_->panePage = {0, 0, 3, 0};
    document_->currentPane = 2;
    document_->circuitObjectFont.color = 17;
    document_->gridTextFont = FontSpec{12, 1, kFontBold, 5};
    SchematicItem* item = NewSchematicItem(record_);
    GridText* text = NewGridText(record_);
    ASSERT_TRUE(item && text);
    EXPECT_EQ(item->page, 3);
    EXPECT_EQ(item->color, 17);
    EXPECT_EQ(item->kind, kKindSchematicItem);
    EXPECT_EQ(text->page, 3);
    EXPECT_EQ(text->number, -1);
    EXPECT_FALSE(FontsDiffer(text->font, document_->gridTextFont));
    EXPECT_EQ(document_->itemList.count, 1);
    EXPECT_EQ(NewSchematicItem(nullptr), nullptr);
}

TEST_F(DocumentTest, MarkModifiedMakesEverythingStaleAndLeavesAnOpenAnalysisItsResults)
{
    document_->connectivityStale = 0;
    document_->resultsAvailable = 1;
    document_->viewOptions |= kViewNodeVoltages;
    Analysis().analysisKind = kAnalysisTransient;
    MarkModified(record_);
    EXPECT_EQ(record_->modified, 1);
    EXPECT_EQ(record_->changed, 1);
    EXPECT_EQ(document_->connectivityStale, 1);
    EXPECT_EQ(document_->resultsAvailable, 1);
    // A run kept before the edit is not the edited circuit's, whether or not an analysis is open.
    EXPECT_EQ(document_->runStale, (std::array<std::int32_t, 3>{1, 1, 1}));
    EXPECT_TRUE(document_->viewOptions & kViewNodeVoltages);

    Analysis().analysisKind = kAnalysisNone;
    MarkModified(record_);
    EXPECT_EQ(document_->resultsAvailable, 0);
    EXPECT_EQ(document_->runStale, (std::array<std::int32_t, 3>{1, 1, 1}));
    EXPECT_FALSE(document_->viewOptions & kViewNodeVoltages);

    record_->modified = 0;
    SetRedrawFlags(record_);
    EXPECT_EQ(record_->modified, 1);
    MarkModified(nullptr);  // no record: nothing to do
}

TEST_F(DocumentTest, CurrentDocumentFollowsTheRecordAndForgetsAFreedOne)
{
    SetCurrentDocument(record_);
    EXPECT_EQ(CurrentRecord(), record_);
    EXPECT_EQ(CurrentDocument(), document_);
    SchematicItem* item = NewSchematicItem(record_);
    Documents().pickedItem = item;
    record_->document.reset();
    EXPECT_EQ(CurrentDocument(), nullptr);
    EXPECT_EQ(CurrentRecord(), nullptr);
    EXPECT_EQ(Documents().pickedItem, nullptr);
}

TEST(OrientationCode, TurnsAndFlipsPassThroughAllEightPlacements)
{
    EXPECT_EQ(NextOrientation(3), 4);
    EXPECT_EQ(NextOrientation(7), 0);
    EXPECT_EQ(FlipOrientationY(1), 5);
    EXPECT_EQ(FlipOrientationX(0), 6);
    EXPECT_EQ(FlipOrientationX(6), 0);
    // Codes from damaged files are no orientation and read as drawn.
    EXPECT_FALSE(IsValidOrientation(8));
    EXPECT_FALSE(IsValidOrientation(-1));
    EXPECT_EQ(SafeOrientation(300), 0);
    EXPECT_EQ(NextOrientation(12), 1);
}

TEST_F(DocumentTest, ItemBoundsTurnTheShapeExtent)
{
    ComponentShape shape;
    shape.extent = win::RECT{-4, -8, 12, 16};
    ASSERT_TRUE(SetShape(1, shape));
    ComponentDefinition* definition = Definition("R", 2);
    definition->shapeIndex = 1;
    SchematicItem* item = AddComponent(definition, 10, 20);
    struct Case {
        int code;
        win::RECT expected;  // relative to the placement point, before the 2-unit margin
    };
    const Case cases[] = {
        {0, {-4, -8, 12, 16}},  {1, {-16, -4, 8, 12}}, {2, {-12, -16, 4, 8}},  {3, {-8, -12, 16, 4}},
        {4, {-4, -16, 12, 8}},  {5, {-16, -12, 8, 4}}, {6, {-12, -8, 4, 16}},  {7, {-8, -4, 16, 12}},
        {9, {-4, -8, 12, 16}},  // not a code: as drawn
    };
    for (const Case& c : cases) {
        item->orientation = static_cast<OrientationCode>(c.code);
        const win::RECT r = GetItemBounds(*item);
        EXPECT_EQ(r.left, 80 + c.expected.left - 2) << c.code;
        EXPECT_EQ(r.top, 160 + c.expected.top - 2) << c.code;
        EXPECT_EQ(r.right, 80 + c.expected.right + 2) << c.code;
        EXPECT_EQ(r.bottom, 160 + c.expected.bottom + 2) << c.code;
    }
}

TEST_F(DocumentTest, ItemBoundsOfEmptyAndMissingShapesAndWires)
{
    ASSERT_TRUE(SetShape(2, ComponentShape{}));
    ComponentDefinition* dot = Definition("Dot", 2);
    dot->shapeIndex = 2;
    const win::RECT empty = GetItemBounds(*AddComponent(dot, 5, 5));
    EXPECT_EQ(empty.left, 38);
    EXPECT_EQ(empty.right, 42);
    EXPECT_EQ(empty.top, 38);
    EXPECT_EQ(empty.bottom, 42);

    const win::RECT missing = GetItemBounds(*AddComponent(Definition("NoShape", 2), 1, 3));
    EXPECT_EQ(missing.left, 6);
    EXPECT_EQ(missing.right, 110);
    EXPECT_EQ(missing.top, 2);
    EXPECT_EQ(missing.bottom, 26);

    const win::RECT wire = GetItemBounds(*AddWire(4, 9, 1, 2));
    EXPECT_EQ(wire.left, 6);
    EXPECT_EQ(wire.top, 14);
    EXPECT_EQ(wire.right, 34);
    EXPECT_EQ(wire.bottom, 74);

    // Coordinates out of a damaged file saturate instead of overflowing.
    const win::RECT far = GetItemBounds(*AddWire(INT_MAX, INT_MIN, 0, 0));
    EXPECT_EQ(far.right, INT_MAX);
    EXPECT_EQ(far.top, INT_MIN);
}

TEST_F(DocumentTest, PinNodeArrayFollowsTheCount)
{
    SchematicItem* item = AddComponent(Definition("R", 2), 1, 1);
    EXPECT_EQ(SetComponentPinNodeCount(*item, 3), 0);
    EXPECT_EQ(item->PinCount(), 3);
    EXPECT_EQ(SetComponentPinNodeCount(*item, 0), 0);
    EXPECT_EQ(item->PinCount(), 0);
}

}  // namespace
}  // namespace kq5
