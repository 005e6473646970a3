#include "schematic/move_selection.h"

#include <gtest/gtest.h>

#include "document/selection.h"
#include "edit_test_support.h"
#include "schematic/edit_commands.h"
#include "schematic/sheet_bounds.h"

namespace kq5 {
namespace {

using testing::LastMessageText;

class MoveSelectionTest : public testing::EditTest {
protected:
    void SetUp() override
    {
        EditTest::SetUp();
        ResetMoveDragForTests();
        Settings().operationalOptions |= kOptionRubberbanding;
        Settings().operationalOptions &= ~kOptionNodeSnap;
    }
    void TearDown() override
    {
        ResetMoveDragForTests();
        EditTest::TearDown();
    }
    void Drag(int x0, int y0, int x1, int y1, int flags = kMoveRubberBand)
    {
        ASSERT_EQ(MoveSelection(record, x0, y0, kMouseLeft, kMoveBegin, flags), 0);
        MoveSelection(record, x1, y1, kMouseLeft, kMoveStep, flags);
        MoveSelection(record, x1, y1, 0, kMoveEnd, flags);
    }
};

TEST_F(MoveSelectionTest, TheWholeSelectionStaysOnTheSheet)
{
    SchematicItem* wire = Wire(31980, 10, 31990, 10);
    wire->selection = kSelected;
    Drag(100, 100, 120, 100);
    EXPECT_EQ(wire->x2, 32000);  // +10 only
    // The mark rectangle is not what limits the move: a component whose pin reaches past it.
    ListClear(doc->itemList);
    SchematicItem* r = Comp(Resistor(), 31990, 50);  // pins at 31990 and 31994
    r->selection = kSelected;
    SetMarkRect(record, 31990, 40, 31991, 60);
    Drag(0, 0, 20, 0);
    EXPECT_EQ(r->x1, 31996);
    EXPECT_TRUE(ItemOnSheet(*r));
    // Nor can the top-left go below 1.
    Drag(50, 50, 0, -100);
    EXPECT_GE(r->y1, 1);
    EXPECT_EQ(record->markRect.left, 31946);  // moved along with the selection
}

TEST_F(MoveSelectionTest, APinTouchingAnotherPinGetsANewWire)
{
    ComponentDefinition* def = Resistor();
    SchematicItem* moved = Comp(def, 10, 10);
    Comp(def, 14, 10);  // its first pin is the moved one's second
    moved->selection = kSelected;
    Drag(10, 10, 10, 15);
    std::vector<std::vector<int>> wires = Wires();
    ASSERT_EQ(wires.size(), 1u);
    EXPECT_EQ(wires[0], (std::vector<int>{14, 10, 14, 15}));
    EXPECT_EQ(static_cast<SchematicItem*>(doc->itemList.tail)->selection, 0);
    EXPECT_EQ(record->undoKind, kUndoBoxEdit);
    EditUndo(record);
    EXPECT_TRUE(Wires().empty());
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList)->y1, 10);
}

TEST_F(MoveSelectionTest, WireEndsFollowPinsAndJunctionsStay)
{
    ComponentDefinition* def = Resistor();
    SchematicItem* moved = Comp(def, 10, 10);
    SchematicItem* follower = Wire(0, 10, 10, 10);  // ends on the first pin
    Wire(14, 10, 20, 10);                           // two wires meet at the second pin
    Wire(14, 10, 14, 0);
    moved->selection = kSelected;
    Drag(0, 0, 3, 2);
    EXPECT_EQ(follower->x2, 13);
    EXPECT_EQ(follower->y2, 12);
    EXPECT_EQ(follower->x1, 0);
    // The junction stays; one new wire runs from it to the moved pin.
    const std::vector<std::vector<int>> wires = Wires();
    ASSERT_EQ(wires.size(), 4u);
    EXPECT_EQ(wires[3], (std::vector<int>{14, 10, 17, 12}));
    // Connections are kept: every pin still joins what it joined.
    const std::vector<int> nodes = PinNodes();
    EXPECT_NE(nodes[0], nodes[1]);
}

TEST_F(MoveSelectionTest, WithoutRubberBandingWiresStayBehind)
{
    Settings().operationalOptions &= ~kOptionRubberbanding;
    SchematicItem* moved = Comp(Resistor(), 10, 10);
    SchematicItem* wire = Wire(0, 10, 10, 10);
    moved->selection = kSelected;
    Drag(0, 0, 3, 0);
    EXPECT_EQ(wire->x2, 10);
    EXPECT_EQ(Wires().size(), 1u);
}

TEST_F(MoveSelectionTest, SnapOnDropOnlyWhenTheOptionIsOn)
{
    ComponentDefinition* def = Resistor();
    Comp(def, 10, 10);
    SchematicItem* moved = Comp(def, 30, 30);
    moved->selection = kSelected;
    Drag(30, 30, 15, 31);  // first pin lands at (15, 31), one off (14, 10)... no: beside nothing
    EXPECT_EQ(moved->x1, 15);
    Drag(15, 31, 15, 11);  // first pin at (15, 11): (14, 10) is one unit away in each axis
    EXPECT_EQ(moved->x1, 15);
    EXPECT_EQ(moved->y1, 11);
    Settings().operationalOptions |= kOptionNodeSnap;
    Drag(15, 11, 15, 12);
    Drag(15, 12, 15, 11);
    EXPECT_EQ(moved->x1, 14);
    EXPECT_EQ(moved->y1, 10);
}

TEST_F(MoveSelectionTest, RightStepTurnsAboutThePointer)
{
    SchematicItem* r = Comp(Resistor(), 10, 10, 0);
    SchematicItem* wire = Wire(0, 10, 10, 10);
    r->selection = kSelected;
    ASSERT_EQ(MoveSelection(record, 10, 10, kMouseLeft, kMoveBegin, kMoveRubberBand), 0);
    MoveSelection(record, 10, 10, kMouseRight, kMoveStep, kMoveRubberBand);
    EXPECT_EQ(r->orientation, 3);
    EXPECT_EQ(r->x1, 10);
    // The attached wire still ends on the turned pin.
    EXPECT_EQ(wire->x2, GetPinPosition(r, 0).x);
    EXPECT_EQ(wire->y2, GetPinPosition(r, 0).y);
    MoveSelection(record, 10, 10, 0, kMoveEnd, kMoveRubberBand);
    // Four turns bring it back.
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(TurnMovingSelection(record, 10, 10));
    EXPECT_EQ(r->orientation, 0);
    // A turn that would leave the sheet does nothing.
    r->x1 = 2;
    r->y1 = 2;
    EXPECT_FALSE(TurnMovingSelection(record, 2, 30));
    EXPECT_EQ(r->orientation, 0);
}

TEST_F(MoveSelectionTest, ARubberBandThatCannotBeMadeEndsTheDrag)
{
    ComponentDefinition* def = Resistor();
    for (int countdown = 1; countdown < 400; ++countdown) {
        ListClear(doc->itemList);
        ListClear(doc->undoItemList);
        record->undoKind = 0;
        SchematicItem* moved = Comp(def, 10, 10);
        Comp(def, 14, 10);
        Wire(0, 10, 10, 10);
        moved->selection = kSelected;
        testing::FailOneAllocation(countdown);
        int status = -1;
        try {
            status = MoveSelection(record, 10, 10, kMouseLeft, kMoveBegin, kMoveRubberBand);
        } catch (const std::bad_alloc&) {
            ADD_FAILURE() << "escaped at " << countdown;
        }
        const bool failed = testing::AllocationFailed();
        testing::StopFailingAllocations();
        if (!failed) {
            EXPECT_EQ(status, 0);
            MoveSelection(record, 10, 10, 0, kMoveEnd, kMoveRubberBand);
            break;
        }
        // Either the drag runs whole or it never starts: no wire is left behind.
        if (status != 0) {
            EXPECT_EQ(status, kMsgInsufficientMemory) << countdown;
            EXPECT_FALSE(MoveDrag().active);
            EXPECT_EQ(doc->itemList.count, 3) << countdown;
            EXPECT_NE(record->undoKind, kUndoBoxEdit) << countdown;
        } else {
            MoveSelection(record, 10, 15, kMouseLeft, kMoveStep, kMoveRubberBand);
            MoveSelection(record, 10, 15, 0, kMoveEnd, kMoveRubberBand);
            EXPECT_EQ(doc->itemList.count, 4) << countdown;
        }
    }
}

TEST_F(MoveSelectionTest, ConnectionPointsOfItems)
{
    EXPECT_EQ(GetItemConnectionPoints(*Wire(3, 1, 0, 1)).size(), 4u);
    EXPECT_EQ(GetItemConnectionPoints(*Wire(0, 0, 5, 5)).size(), 2u);
    EXPECT_EQ(GetItemConnectionPoints(*Comp(Resistor(), 1, 1)).size(), 2u);
}

}  // namespace
}  // namespace kq5
