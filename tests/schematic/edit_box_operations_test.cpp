#include <gtest/gtest.h>

#include <new>

#include "edit_test_support.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "schematic/box_operations.h"
#include "schematic/edit_commands.h"

namespace kq5 {
namespace {

using testing::LastMessageText;

class BoxOperationsTest : public testing::EditTest {
protected:
    int Count() const { return doc->itemList.count; }
};

TEST_F(BoxOperationsTest, StepBoxBothMakesASquareBlockAndGrowsTheBox)
{
    Wire(1, 1, 3, 1);
    SetMarkRect(record, 0, 0, 10, 5);
    EXPECT_EQ(StepBoxItems(record, {kDirectionBoth, 2, 0}), 0);
    EXPECT_EQ(Count(), 9);  // the original and 8 copies
    std::set<std::pair<int, int>> at;
    for (const SchematicItem& item : ListRecords<SchematicItem>(doc->itemList)) at.insert({item.x1, item.y1});
    EXPECT_EQ(at, (std::set<std::pair<int, int>>{{1, 1}, {1, 6}, {1, 11}, {11, 1}, {11, 6}, {11, 11}, {21, 1}, {21, 6}, {21, 11}}));
    EXPECT_EQ(record->markRect.right, 30);
    EXPECT_EQ(record->markRect.bottom, 15);
    EXPECT_EQ(record->undoKind, kUndoBoxEdit);
    // The copies are the selection.
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->selection & kSelected, 0);
    EXPECT_EQ(static_cast<SchematicItem*>(doc->itemList.tail)->selection, kSelected);
    EditUndo(record);
    EXPECT_EQ(Count(), 1);
}

TEST_F(BoxOperationsTest, StepBoxStepsAreBoundedAndTheSheetIsKept)
{
    Wire(1, 1, 3, 1);
    SetMarkRect(record, 0, 0, 10, 5);
    // (n + 1)² of a huge n would overflow; such counts are refused before anything is copied.
    EXPECT_EQ(StepBoxItems(record, {kDirectionBoth, 70000, 0}), kMsgAlreadyReported);
    EXPECT_EQ(LastMessageText(), "Coordinates out of range.");
    EXPECT_EQ(Count(), 1);
    // A row that would pass 32000 is refused whole.
    EXPECT_EQ(StepBoxItems(record, {kDirectionHorizontal, 3200, 0}), kMsgAlreadyReported);
    EXPECT_EQ(Count(), 1);
    // A copy whose second point (not only its first) leaves the sheet undoes the edit.
    ListClear(doc->itemList);
    Wire(31990, 1, 31999, 1);
    Wire(31980, 1, 31985, 1);
    SetMarkRect(record, 31980, 0, 31990, 5);
    EXPECT_EQ(StepBoxItems(record, {kDirectionHorizontal, 1, 0}), kMsgAlreadyReported);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(record->markRect.left, 31980);
    EXPECT_EQ(record->undoKind, 0);
}

TEST_F(BoxOperationsTest, AStepBoxThatRunsOutOfMemoryLeavesTheDrawingAsItWas)
{
    ComponentDefinition* r = Resistor();
    for (int countdown = 1; countdown < 2000; ++countdown) {
        ListClear(doc->itemList);
        ListClear(doc->undoItemList);
        record->undoKind = 0;
        SchematicItem* part = Comp(r, 2, 2);
        SetAttribute(record, part, kAttrPart, "R1");
        Wire(1, 1, 3, 1);
        SetMarkRect(record, 0, 0, 10, 5);
        testing::FailOneAllocation(countdown);
        int status = -1;
        try {
            status = StepBoxItems(record, {kDirectionBoth, 2, 0});
        } catch (const std::bad_alloc&) {
            ADD_FAILURE() << "escaped at " << countdown;
        }
        const bool failed = testing::AllocationFailed();
        testing::StopFailingAllocations();
        if (!failed) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(Count(), 18);
            break;
        }
        if (status != 0) {
            EXPECT_EQ(Count(), 2) << countdown;
            EXPECT_EQ(record->markRect.right, 10) << countdown;
            EXPECT_NE(record->undoKind, kUndoBoxEdit) << countdown;
        } else {
            EXPECT_EQ(Count(), 18) << countdown;
        }
    }
}

TEST_F(BoxOperationsTest, MirrorBoxReflectsCopiesAndTurnsOrientations)
{
    ComponentDefinition* r = Resistor();
    Comp(r, 2, 1, 0);
    Comp(r, 2, 3, 1);
    Object(kObjectRectangle, 1, 1, 4, 2);
    SetMarkRect(record, 0, 0, 10, 5);
    EXPECT_EQ(MirrorBoxItems(record, {kDirectionHorizontal, 0}), 0);
    ASSERT_EQ(Count(), 6);
    auto* item = ListHead<SchematicItem>(doc->itemList);
    for (int i = 0; i < 3; ++i) item = ListNext(item);
    EXPECT_EQ(item->x1, 18);
    EXPECT_EQ(item->orientation, 6);
    item = ListNext(item);
    EXPECT_EQ(item->orientation, 7);
    item = ListNext(item);  // the rectangle: reflected, its points swapped
    EXPECT_EQ(item->x1, 16);
    EXPECT_EQ(item->x2, 19);
    EXPECT_EQ(record->markRect.right, 20);
}

TEST_F(BoxOperationsTest, RotateTurnsAboutTheBoxCentre)
{
    ComponentDefinition* r = Resistor();
    SchematicItem* a = Comp(r, 12, 12, 0);
    SchematicItem* b = Comp(r, 14, 14, 7);
    SchematicItem* wire = Wire(10, 10, 20, 10);
    a->selection = b->selection = wire->selection = kSelected;
    SetMarkRect(record, 10, 10, 20, 20);
    EXPECT_EQ(RotateSelection(record), 0);
    EXPECT_EQ(a->orientation, 3);
    EXPECT_EQ(b->orientation, 4);
    // (x, y) -> (R' - (B - y), T' + (R - x)) with the box unchanged for a square.
    EXPECT_EQ(wire->x1, 10);
    EXPECT_EQ(wire->y1, 20);
    EXPECT_EQ(wire->x2, 10);
    EXPECT_EQ(wire->y2, 10);
    EXPECT_EQ(record->undoKind, kUndoBoxEdit);
}

TEST_F(BoxOperationsTest, RotateReachingPastTheSheetIsRefused)
{
    SchematicItem* wire = Wire(0, 2, 10, 2);
    wire->selection = kSelected;
    SetMarkRect(record, 0, 0, 10, 2);  // turned: x from 4 to 6, y from -4: refused
    EXPECT_EQ(RotateSelection(record), kMsgAlreadyReported);
    EXPECT_EQ(LastMessageText(), "Coordinates out of range.");
    EXPECT_EQ(wire->x2, 10);
    EXPECT_EQ(record->undoKind, 0);
}

TEST_F(BoxOperationsTest, FlipTwiceRestoresAndAPushOffTheSheetIsUndone)
{
    ComponentDefinition* r = Resistor();
    SchematicItem* a = Comp(r, 3, 4, 1);
    SchematicItem* wire = Wire(2, 2, 8, 2);
    a->selection = wire->selection = kSelected;
    SetMarkRect(record, 0, 0, 10, 10);
    EXPECT_EQ(FlipSelectedItems(record, 1), 0);
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->x1, 7);
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->orientation, 7);
    EXPECT_EQ(FlipSelectedItems(record, 1), 0);
    EXPECT_EQ(Wires(), (std::vector<std::vector<int>>{{2, 2, 8, 2}}));
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->orientation, 1);
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->x1, 3);

    // A wire sticking out of the box goes below 0 when flipped: refused with 14065 and undone.
    ListClear(doc->itemList);
    Wire(1, 1, 30, 1)->selection = kSelected;
    SetMarkRect(record, 0, 0, 10, 10);
    EXPECT_EQ(FlipSelectedItems(record, 1), kMsgAlreadyReported);
    EXPECT_EQ(LastMessageText(), "Move out of bounds.");
    EXPECT_EQ(Wires(), (std::vector<std::vector<int>>{{1, 1, 30, 1}}));
}

TEST_F(BoxOperationsTest, RectangleHelpers)
{
    const win::RECT box{10, 20, 30, 40};
    EXPECT_EQ(HitTestRectHandles(box, {10, 20}, 0, kHandleMaskAll), 0x500);
    EXPECT_EQ(HitTestRectHandles(box, {30, 40}, 0, kHandleMaskAll), 0xA00);
    EXPECT_EQ(HitTestRectHandles(box, {20, 20}, 0, kHandleMaskAll), 0x400);
    EXPECT_EQ(HitTestRectHandles(box, {20, 20}, 0, kHandleMaskEnds), 0);
    EXPECT_EQ(HitTestRectHandles(box, {12, 30}, 3, kHandleMaskEdges), 0x100);
    EXPECT_EQ(HitTestRectHandles(box, {13, 30}, 3, kHandleMaskEdges), 0);
    EXPECT_EQ(PointNearPoint({5, 5}, {5, 5}, 0), 1);
    EXPECT_EQ(PointNearPoint({1, 1}, {5, 5}, 4), 1);
    EXPECT_EQ(PointNearPoint({9, 5}, {5, 5}, 4), 0);
    win::RECT r{5, 6, 1, 2};
    NormalizeRect(r);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.bottom, 6);
}

TEST_F(BoxOperationsTest, MarkingSelectsTogglesAndClears)
{
    SchematicItem* inside = Wire(2, 2, 4, 2);
    SchematicItem* outside = Wire(50, 50, 60, 50);
    outside->selection = kSelected;
    MarkItemsInRect(record, {0, 0, 10, 10}, kMarkSelect);
    EXPECT_EQ(inside->selection & kSelected, kSelected);
    EXPECT_EQ(outside->selection, 0);
    outside->selection = kSelected;
    MarkItemsInRect(record, {0, 0, 10, 10}, kMarkToggle);
    EXPECT_EQ(inside->selection & kSelected, 0);
    EXPECT_EQ(outside->selection, kSelected);
}

TEST_F(BoxOperationsTest, PlotObjectsOfAnAnalysisWindowAreMarkedInPixels)
{
    WindowRecord* analysis = NewWindowRecord(nullptr, kWindowAnalysis);
    analysis->plot = std::make_shared<PlotRecord>();
    auto* tiny = ListAppendAs<PlotObject>(analysis->plot->objects, kKindPlotObject);
    tiny->analysisKind = static_cast<std::int16_t>(Analysis().analysisKind + 1);
    tiny->style = kObjectLine;
    tiny->x1 = 10;
    tiny->y1 = 10;
    tiny->x2 = 12;
    tiny->y2 = 12;
    auto* far = ListAppendAs<PlotObject>(analysis->plot->objects, kKindPlotObject);
    far->analysisKind = tiny->analysisKind;
    far->style = kObjectLine;
    far->x1 = 100;
    far->y1 = 100;
    far->x2 = 200;
    far->y2 = 200;
    // A 2 by 2 object is caught 4 pixels around.
    MarkItemsInRect(analysis, {0, 0, 7, 7}, kMarkSelect);
    EXPECT_EQ(tiny->selection & kSelected, kSelected);
    EXPECT_EQ(far->selection, 0);
}

}  // namespace
}  // namespace kq5
