// The shape library's editors in a user's hands: the Shape Editor opened from the Component menu,
// the Object Editor over one of the shape's lines, coordinates typed into its fields.
#include <gtest/gtest.h>

#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kResistorLineX = 500, kResistorLineY = 452;  // the resistor shape's left lead
constexpr int kObjectEditorX = 877, kObjectEditorY = 601;  // the Shape Editor's "Object Editor"
constexpr int kFirstXFieldX = 633, kFirstXFieldY = 407;    // X of the line's first point
// The Object Editor's caption, and where a message box over it shows.
constexpr int kCaptionLeft = 440, kCaptionTop = 343, kCaptionRight = 820, kCaptionBottom = 356;
constexpr int kBoxLeft = 540, kBoxTop = 438, kBoxRight = 720, kBoxBottom = 537;

// A coordinate that is no number is answered by one message; once it is closed the editor is
// back as it was. A box shown while the field was losing the focus used to take the focus from
// that field a second time, and the same message came again.
TEST(ShapeJourney, ABadCoordinateInTheObjectEditorIsAnsweredOnce)
{
    Journey journey("shape_object_editor");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c s");
    journey.Settle();
    journey.Click(kResistorLineX, kResistorLineY);
    journey.Click(kObjectEditorX, kObjectEditorY);
    journey.Settle();
    journey.Click(kFirstXFieldX, kFirstXFieldY);
    journey.Settle();
    const Shot before = journey.Capture("object_editor");

    journey.Key("End shift+Home");
    journey.Type("abc");
    journey.Key("Tab");
    journey.Settle();
    const Shot asked = journey.Capture("object_editor_bad_number");
    EXPECT_FALSE(asked.SameAs(before, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "no message for a coordinate that is no number";

    journey.Key("Return");
    journey.Settle();
    const Shot answered = journey.Capture("object_editor_answered");
    EXPECT_TRUE(answered.SameAs(before, kCaptionLeft, kCaptionTop, kCaptionRight, kCaptionBottom))
        << "the Object Editor is not in front after the message was answered";
    EXPECT_TRUE(answered.SameAs(before, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "a message is still shown";
    if (!answered.SameAs(before, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) {
        journey.Key("Return");
        journey.Settle();
    }

    // Out of both editors: nothing was changed, so the Shape Editor asks nothing.
    journey.Key("Escape");
    journey.Settle();
    journey.Key("Escape");
    journey.Settle();
    const Shot closed = journey.Capture("object_editor_closed");
    EXPECT_FALSE(closed.SameAs(before, kCaptionLeft, kCaptionTop, kCaptionRight, kCaptionBottom));
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
