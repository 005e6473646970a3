// Drawing in the Shape Editor as a user does: an object drawn, another picked, Undo; a shape that
// components are drawn with, deleted.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

// A shape saved from the editor shows at once on the drawing behind it, everywhere: the resistor's
// drawing emptied and saved, the resistor of the open circuit (left of where the editor stood)
// is drawn with nothing. Only what the editor had covered used to be drawn again, and the rest of
// the page went on showing the old shape until something else repainted it.
TEST(ShapeUndoJourney, ASavedShapeShowsOnTheDrawingAtOnce)
{
    constexpr int kR1Left = 275, kR1Top = 312, kR1Right = 310, kR1Bottom = 328;  // R1's zigzag on the page
    Journey journey("shape_saved_redraws");
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    // The library the program finds in its settings folder, so that saving leaves the build's alone.
    std::filesystem::copy_file(program / "shape.kq5", journey.Root() / "shape.kq5");
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", journey.Root() / "rc_step.cir");
    const std::string stored = ReadAll(journey.Root() / "shape.kq5");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Settle();
    const Shot before = journey.Capture("shape_saved_before");
    const int area = (kR1Right - kR1Left) * (kR1Bottom - kR1Top);
    ASSERT_LT(before.Count(kR1Left, kR1Top, kR1Right, kR1Bottom, 0xFFFFFF), area) << "R1 is not where it was";

    journey.Key("alt+c s");
    journey.Settle();
    journey.Click(kResistorLeadX, kResistorLeadY);
    journey.Key("ctrl+a Delete");
    journey.Settle();
    journey.Key("Escape");
    journey.Settle();
    journey.Key("y");
    journey.Settle();
    const Shot after = journey.Capture("shape_saved_after");
    EXPECT_NE(ReadAll(journey.Root() / "shape.kq5"), stored) << "the shape was not saved";
    EXPECT_EQ(after.Count(kR1Left, kR1Top, kR1Right, kR1Bottom, 0xFFFFFF), area) << "R1 still shows the resistor's old drawing";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
