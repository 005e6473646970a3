// The shape library's editors in a user's hands: the Shape Editor opened from the Component menu,
// the Object Editor over one of the shape's lines, coordinates typed into its fields.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kResistorLineX = 500, kResistorLineY = 452;  // the resistor shape's left lead
constexpr int kObjectEditorX = 877, kObjectEditorY = 601;  // the Shape Editor's "Object Editor"
constexpr int kFirstXFieldX = 633, kFirstXFieldY = 407;    // X of the line's first point
// The Shape Editor's caption.
constexpr int kEditorCaptionLeft = 350, kEditorCaptionTop = 268, kEditorCaptionRight = 880, kEditorCaptionBottom = 281;
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

// The Shape Editor's Add, answered with a name and Enter; what shows then.
Shot AddShapeNamed(Journey& journey, const std::string& name, const std::string& shot)
{
    journey.Key("alt+a");
    journey.Settle();
    journey.Type(name);
    journey.Key("Return");
    journey.Settle();
    return journey.Capture(shot);
}

// A new shape's name is typed and taken with Enter, as names are; it is the name that was typed,
// so the same name again, in other case, is refused. A prompt of several lines used to take Enter
// as a line break and stay open, and a name ended by one was a name nobody could type again.
TEST(ShapeJourney, ANewShapeNameIsTakenWithEnter)
{
    Journey journey("shape_new_name");
    const std::filesystem::path library = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "shape.kq5";
    const std::string stored = ReadAll(library);
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c s");
    journey.Settle();
    const Shot editor = journey.Capture("shape_editor");

    const Shot named = AddShapeNamed(journey, "MINE", "shape_editor_named");
    EXPECT_TRUE(named.SameAs(editor, kEditorCaptionLeft, kEditorCaptionTop, kEditorCaptionRight, kEditorCaptionBottom))
        << "the name prompt did not close with Enter";

    const Shot refused = AddShapeNamed(journey, "mine", "shape_editor_name_used");
    EXPECT_FALSE(refused.SameAs(editor, kEditorCaptionLeft, kEditorCaptionTop, kEditorCaptionRight, kEditorCaptionBottom))
        << "the same name was not refused";
    journey.Key("Return");  // the message; the prompt asks again
    journey.Settle();
    journey.Key("Escape");
    journey.Settle();

    // Closed without saving: the library file is as it was.
    journey.Key("Escape");
    journey.Settle();
    journey.Key("n");
    journey.Settle();
    const Shot closed = journey.Capture("shape_editor_closed");
    EXPECT_FALSE(closed.SameAs(editor, kEditorCaptionLeft, kEditorCaptionTop, kEditorCaptionRight, kEditorCaptionBottom));
    EXPECT_EQ(ReadAll(library), stored);
    EXPECT_TRUE(journey.Running());
}

// A shape just added is used by nothing, and the list says so as it says it of every such shape:
// its name stands in parentheses at once, not only once the list is filled again.
TEST(ShapeJourney, ANewShapeIsListedAsUnused)
{
    constexpr int kNameX = 836, kNameY = 319;
    constexpr int kListLeft = 755, kListTop = 336, kListRight = 900, kListBottom = 506;
    constexpr int kNewRowX = 800, kNewRowY = 499;  // the list's last row, where the new shape is
    Journey journey("shape_new_unused");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c s");
    journey.Settle();
    AddShapeNamed(journey, "MINE", "shape_new_unused_named");
    // The list takes the focus, as it has it after the renaming below.
    journey.Click(kNewRowX, kNewRowY);
    journey.Settle();
    const Shot added = journey.Capture("shape_new_unused_added");

    // Renamed away and back: the list is filled again from the library.
    for (const char* name : {"MINEX", "MINE"}) {
        journey.Retype(kNameX, kNameY, name);
        journey.Key("Tab");
        journey.Settle();
    }
    const Shot refilled = journey.Capture("shape_new_unused_refilled");
    EXPECT_TRUE(added.SameAs(refilled, kListLeft, kListTop, kListRight, kListBottom))
        << "the new shape is listed as used until the list is filled again";

    journey.Key("Escape");
    journey.Settle();
    journey.Key("n");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// A new name typed for a shape and the editor closed with Esc straight away: the editor asks
// whether to save, and Yes writes the name. It used to close without a word and rename the shape
// in memory only as the field lost the focus, so the file kept the old name and the next save of
// the library, for whatever reason, wrote the new one unasked.
TEST(ShapeJourney, ANameTypedBeforeEscIsOfferedForSaving)
{
    constexpr int kNameX = 836, kNameY = 319;
    constexpr int kQuestionLeft = 499, kQuestionTop = 428, kQuestionRight = 764, kQuestionBottom = 546;
    constexpr int kCanvasLeft = 350, kCanvasTop = 330, kCanvasRight = 480, kCanvasBottom = 640;
    Journey journey("shape_rename_esc");
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    // The library the program finds in its settings folder, so that saving leaves the build's alone.
    std::filesystem::copy_file(program / "shape.kq5", journey.Root() / "shape.kq5");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c s");
    journey.Settle();
    const Shot editor = journey.Capture();
    journey.Retype(kNameX, kNameY, "RESX");
    journey.Key("Escape");
    journey.Settle();
    const Shot asked = journey.Capture("shape_rename_esc_asked");
    // The drawing surface's left part still shows (the editor is open) and the question over it.
    EXPECT_TRUE(asked.SameAs(editor, kCanvasLeft, kCanvasTop, kCanvasRight, kCanvasBottom) &&
                !asked.SameAs(editor, kQuestionLeft, kQuestionTop, kQuestionRight, kQuestionBottom))
        << "the editor closed without asking";
    journey.Key("y");
    journey.Settle();
    EXPECT_NE(ReadAll(journey.Root() / "shape.kq5").find("RESX"), std::string::npos) << "the new name was not saved";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
