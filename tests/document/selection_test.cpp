#include <gtest/gtest.h>

#include "document/hit_test.h"
#include "document/selection.h"
#include "document_test_support.h"
#include "platform/paint.h"
#include "results/curve_record.h"

namespace kq5 {
namespace {

using testing::DocumentTest;

class SelectionTest : public DocumentTest {};

TEST_F(SelectionTest, SelectingTouchesTheCurrentPageDeselectingAllPages)
{
    SchematicItem* first = AddWire(1, 1, 5, 1);
    GridText* label = NewGridText(record_);
    document_->panePage[0] = 1;
    SchematicItem* second = AddWire(1, 1, 5, 1);
    first->selection = kSelectNew;  // bit 0 clear: selecting replaces the whole byte

    EXPECT_TRUE(SetAllItemsSelected(record_, kSchematicMask, 1));
    EXPECT_EQ(first->selection, kSelectNew);
    EXPECT_EQ(label->selection, 0);
    EXPECT_EQ(second->selection, kSelected);

    first->selection = kSelected;
    label->selection = kSelected | kSelectNew;
    ListNode* last = nullptr;
    EXPECT_EQ(CountSelectedItems(record_, kSchematicMask, &last), 3);
    EXPECT_EQ(last, label);
    EXPECT_TRUE(SetAllItemsSelected(record_, kSchematicMask, 0));
    EXPECT_EQ(CountSelectedItems(record_, kSchematicMask), 0);
    EXPECT_EQ(label->selection, 0);
    EXPECT_FALSE(SetAllItemsSelected(record_, kSchematicMask, 0));
}

TEST_F(SelectionTest, ClearingReportsWhetherThereWasAnything)
{
    EXPECT_FALSE(ClearSelection(record_));
    SchematicItem* pending = AddWire(1, 1, 2, 2);
    pending->selection = kSelectPending;
    EXPECT_TRUE(ClearSelection(record_));
    EXPECT_EQ(pending->selection, 0);

    record_->markRect = win::RECT{1, 1, 4, 4};
    EXPECT_TRUE(ClearSelection(record_));
    EXPECT_EQ(record_->markRect.left, -1);

    SchematicItem* item = AddWire(1, 1, 2, 2);
    Documents().pickedItem = item;
    Documents().pickedAttribute = SetAttribute(record_, item, kAttrPart, "X");
    EXPECT_EQ(CountSelectedItems(record_, kMaskPickedAttribute), 1);
    EXPECT_TRUE(ClearSelection(record_));
    EXPECT_EQ(Documents().pickedAttribute, nullptr);
}

TEST_F(SelectionTest, PlotObjectsCountOnlyInTheirAnalysisKind)
{
    WindowRecord* analysis = NewWindowRecord(nullptr, kWindowAnalysis);
    analysis->plot = std::make_shared<PlotRecord>();
    auto* transient = ListAppendAs<PlotObject>(analysis->plot->objects, kKindPlotObject);
    auto* ac = ListAppendAs<PlotObject>(analysis->plot->objects, kKindPlotObject);
    transient->analysisKind = 1;
    ac->analysisKind = 2;
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(WindowSelectionMask(analysis), kMaskPlotObjects);
    EXPECT_TRUE(SetAllItemsSelected(analysis, kMaskPlotObjects, 1));
    EXPECT_EQ(transient->selection, kSelected);
    EXPECT_EQ(ac->selection, 0);
    ac->selection = kSelected;
    EXPECT_EQ(CountSelectedItems(analysis, kMaskPlotObjects), 1);
    EXPECT_EQ(RemoveItemFromOwnerList(analysis->plot->objects, transient), ac);
    EXPECT_EQ(analysis->plot->objects.count, 1);
}

TEST_F(SelectionTest, ContentBoundsOfAPage)
{
    win::RECT grid{1, 1, 1, 1};
    win::RECT draw{1, 1, 1, 1};
    EXPECT_FALSE(GetContentBounds(nullptr, record_, grid, &draw, 0x220, 0));
    EXPECT_EQ(grid.right, 0);
    EXPECT_EQ(draw.left, 0);

    AddWire(0, 0, 3, 2);
    EXPECT_TRUE(GetContentBounds(nullptr, record_, grid, &draw, 0x220, 0));
    EXPECT_EQ(draw.left, -2);
    EXPECT_EQ(draw.top, -2);
    EXPECT_EQ(draw.right, 26);
    EXPECT_EQ(draw.bottom, 18);
    EXPECT_EQ(grid.left, 0);  // truncated toward zero
    EXPECT_EQ(grid.right, 26 / 8 + 1);
    EXPECT_EQ(grid.bottom, 18 / 8 + 1);
    EXPECT_FALSE(GetContentBounds(nullptr, record_, grid, nullptr, 0x220, 1));  // other page
    EXPECT_FALSE(GetContentBounds(nullptr, record_, grid, nullptr, 0x221, 0));  // nothing selected

    GridText* flag = NewGridText(record_);
    flag->text = "OUT";
    flag->x = 40;
    flag->y = 40;
    win::HDC dc = win::GetDC(nullptr);
    const win::RECT plain = GridTextBounds(dc, *flag);
    flag->flags = kGridTextIsFlag;
    const win::RECT marked = GridTextBounds(dc, *flag);
    win::ReleaseDC(nullptr, dc);
    EXPECT_GT(plain.right, plain.left);
    EXPECT_LT(plain.top, plain.bottom);
    EXPECT_EQ(marked.left, plain.left - 6);
    EXPECT_EQ(marked.bottom, plain.bottom + 7);
    EXPECT_EQ(plain.bottom, 320);
    EXPECT_TRUE(GetContentBounds(nullptr, record_, grid, &draw, 0x220, 0));
    EXPECT_EQ(draw.bottom, 327);
}

TEST(ExtendRect, TakesBothCorners)
{
    win::RECT r{30000, 30000, -30000, -30000};
    ExtendRect(r, win::RECT{5, 6, -1, 9});
    EXPECT_EQ(r.left, -1);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right, 5);
    EXPECT_EQ(r.bottom, 9);
}

TEST_F(SelectionTest, SlantedWiresAreHitNearTheLineOnly)
{
    SchematicItem* wire = AddWire(0, 0, 10, 2);  // drawing units (0, 0) to (80, 16)
    EXPECT_TRUE(HitTestItem(*wire, 40, 8));
    EXPECT_TRUE(HitTestItem(*wire, 40, 10));   // 2 units beside
    EXPECT_FALSE(HitTestItem(*wire, 40, 12));  // 4 units beside
    EXPECT_FALSE(HitTestItem(*wire, 200, 8));  // outside the bounds
    SchematicItem* straight = AddWire(0, 0, 10, 0);
    EXPECT_TRUE(HitTestItem(*straight, 40, 1));
    straight->hidden = 1;
    EXPECT_FALSE(HitTestItem(*straight, 40, 0));
}

TEST_F(SelectionTest, ShapesAreHitByOutlineOrInside)
{
    SchematicItem* box = AddWire(0, 0, 10, 10);
    box->itemKind = kItemGraphicObject;
    box->style = kObjectRectangle;
    EXPECT_FALSE(HitTestItem(*box, 40, 40));
    EXPECT_TRUE(HitTestItem(*box, 1, 40));
    box->style |= kStyleFill;
    EXPECT_TRUE(HitTestItem(*box, 40, 40));

    box->style = kObjectDiamond;
    EXPECT_TRUE(HitTestItem(*box, 20, 20));    // on the edge from (40, 0) to (0, 40)
    EXPECT_FALSE(HitTestItem(*box, 40, 40));   // the middle of an unfilled diamond
    EXPECT_FALSE(HitTestItem(*box, 2, 2));     // the corner outside the diamond
    box->style |= kStyleFill;
    EXPECT_TRUE(HitTestItem(*box, 40, 40));
    EXPECT_FALSE(HitTestItem(*box, 2, 2));

    box->style = kObjectEllipse;
    EXPECT_TRUE(HitTestItem(*box, 2, 2));
}

TEST_F(SelectionTest, LinesAreHitAlongTheirOwnDiagonal)
{
    // A line drawn from bottom left to top right: its normalised corners would give the other
    // diagonal.
    SchematicItem* line = AddWire(0, 10, 10, 0);
    line->itemKind = kItemGraphicObject;
    line->style = kObjectLine;
    EXPECT_TRUE(HitTestItem(*line, 10, 70));
    EXPECT_FALSE(HitTestItem(*line, 10, 10));
}

}  // namespace
}  // namespace kq5
