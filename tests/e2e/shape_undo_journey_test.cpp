// Drawing in the Shape Editor as a user does: an object drawn, another picked, Undo; a shape that
// components are drawn with, deleted.
#include <gtest/gtest.h>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kRectangleToolX = 410, kRectangleToolY = 303;  // the tool bar's Rectangle
constexpr int kSelectToolX = 361, kSelectToolY = 303;        // the tool bar's Select
constexpr int kResistorLeadX = 500, kResistorLeadY = 452;    // the resistor shape's left lead
// The lead with its selection handles, and the empty corner the rectangle is drawn into.
constexpr int kLeadLeft = 440, kLeadTop = 430, kLeadRight = 560, kLeadBottom = 475;
constexpr int kCornerLeft = 360, kCornerTop = 520, kCornerRight = 440, kCornerBottom = 590;
// The drawing surface and the shape list, and where a message box over them shows.
constexpr int kEditorLeft = 340, kEditorTop = 300, kEditorRight = 880, kEditorBottom = 555;
constexpr int kBoxLeft = 560, kBoxTop = 450, kBoxRight = 700, kBoxBottom = 530;

// Undo takes back the object last drawn, not whatever was picked after it: a rectangle drawn,
// the resistor's lead picked, Undo; the rectangle goes and the lead stays. Undo used to remove
// the picked lead for good and leave the rectangle.
TEST(ShapeUndoJourney, UndoTakesBackTheObjectDrawnNotTheOnePickedSince)
{
    Journey journey("shape_undo");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c s");
    journey.Settle();
    const Shot opened = journey.Capture("shape_undo_opened");

    journey.Click(kRectangleToolX, kRectangleToolY);
    journey.Drag(372, 536, 422, 576);
    journey.Settle();
    journey.Click(kSelectToolX, kSelectToolY);
    journey.Click(kResistorLeadX, kResistorLeadY);
    journey.Settle();
    const Shot picked = journey.Capture("shape_undo_picked");
    EXPECT_FALSE(picked.SameAs(opened, kCornerLeft, kCornerTop, kCornerRight, kCornerBottom)) << "no rectangle was drawn";
    EXPECT_FALSE(picked.SameAs(opened, kLeadLeft, kLeadTop, kLeadRight, kLeadBottom)) << "the lead was not picked";

    journey.Key("ctrl+z");
    journey.Settle();
    const Shot undone = journey.Capture("shape_undo_undone");
    EXPECT_TRUE(undone.SameAs(opened, kCornerLeft, kCornerTop, kCornerRight, kCornerBottom)) << "the rectangle is still there";
    EXPECT_TRUE(undone.SameAs(opened, kLeadLeft, kLeadTop, kLeadRight, kLeadBottom)) << "the lead is not as it was";

    // Closed without saving: nothing asked beyond the question, the program still there.
    journey.Key("Escape");
    journey.Settle();
    journey.Key("n");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// The resistor's shape cannot be deleted while the resistor is drawn with it: the editor says why
// and keeps the shape. It used to be deleted, and every circuit with a resistor then lost its
// resistors when it was opened, with a message that the file was cut short.
TEST(ShapeUndoJourney, AShapeComponentsAreDrawnWithIsNotDeleted)
{
    Journey journey("shape_delete_used");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c s");
    journey.Settle();
    const Shot opened = journey.Capture("shape_delete_opened");

    journey.Key("alt+d");
    journey.Settle();
    const Shot asked = journey.Capture("shape_delete_refused");
    EXPECT_FALSE(asked.SameAs(opened, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "nothing was said";
    journey.Key("Return");
    journey.Settle();
    const Shot answered = journey.Capture("shape_delete_answered");
    EXPECT_TRUE(answered.SameAs(opened, kEditorLeft, kEditorTop, kEditorRight, kEditorBottom)) << "the resistor's shape went";

    // Nothing changed: the editor closes without a question.
    journey.Key("Escape");
    journey.Settle();
    const Shot closed = journey.Capture("shape_delete_closed");
    EXPECT_FALSE(closed.SameAs(opened, kEditorLeft, kEditorTop, kEditorRight, kEditorBottom)) << "the editor is still open";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
