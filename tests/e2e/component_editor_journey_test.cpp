// The Component Editor in a user's hands: another component library merged through the file
// dialog, its new component taken in, the editor closed; a new component named; the previews
// showing a part whole, with its texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kMergeX = 714, kMergeY = 590;  // the Component Editor's "Merge"
constexpr int kCloseX = 543, kCloseY = 619;  // its "&Close"
constexpr int kAddX = 543, kAddY = 559;      // its "&Add Component"
constexpr int kNameX = 620, kNameY = 331;    // its Name field
// The merged component's line in the tree, and the Shape field.
constexpr int kMergedRowX = 355, kMergedRowY = 455;
constexpr int kShapeLeft = 550, kShapeTop = 350, kShapeRight = 700, kShapeBottom = 365;
// Where a message box over the editor shows, and the editor's tree beside it.
constexpr int kBoxLeft = 520, kBoxTop = 450, kBoxRight = 740, kBoxBottom = 530;
constexpr int kTreeLeft = 312, kTreeTop = 325, kTreeRight = 490, kTreeBottom = 655;

// A component that joins a group of the same name ("Tlinx", another library's copy of the
// transmission line, goes to "Passive") is a change like any other: closing the editor asks
// whether to save it. Such a merge used to count as no merge at all: the editor closed without a
// word and the component, with the shapes brought in for it, was never saved. The shape it
// brings in ("TLINX") is named in its Shape field; the field used to stay empty, the list
// knowing only the shapes there were when the editor opened.
TEST(ComponentEditorJourney, AComponentMergedIntoAGroupOfTheSameNameIsOfferedForSaving)
{
    Journey journey("component_merge");
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::string theirs = ReadAll(program / "comp.kq5");
    const std::size_t at = theirs.find("Tline");
    ASSERT_NE(at, std::string::npos);
    theirs.replace(at, 5, "Tlinx");
    std::ofstream(journey.Root() / "compx.kq5", std::ios::binary) << theirs;
    std::string shapes = ReadAll(program / "shape.kq5");
    const std::size_t shape = shapes.find("TLINE");
    ASSERT_NE(shape, std::string::npos);
    shapes.replace(shape, 5, "TLINX");
    std::ofstream(journey.Root() / "SHAPEx.kq5", std::ios::binary) << shapes;
    const std::string stored = ReadAll(program / "comp.kq5");

    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c Return");
    journey.Settle();
    const Shot editor = journey.Capture("component_merge_editor");

    journey.Click(kMergeX, kMergeY);
    journey.Settle();
    journey.Type((journey.Root() / "compx.kq5").string());
    journey.Key("Return");
    journey.Settle();
    journey.Click(kMergedRowX, kMergedRowY);
    journey.Settle();
    const Shot merged = journey.Capture("component_merge_merged");
    EXPECT_GT(merged.Count(kShapeLeft, kShapeTop, kShapeRight, kShapeBottom, 0x000000), 0) << "the Shape field is empty";

    journey.Click(kCloseX, kCloseY);
    journey.Settle();
    const Shot asked = journey.Capture("component_merge_close");
    const bool open = asked.SameAs(merged, kTreeLeft, kTreeTop, kTreeRight, kTreeBottom);
    EXPECT_TRUE(open) << "the editor closed without asking";
    EXPECT_FALSE(asked.SameAs(editor, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "closing asked nothing";
    // Not saved here: the library beside the program stays as the other journeys know it.
    if (open) {
        journey.Key("n");
        journey.Settle();
    }
    EXPECT_EQ(ReadAll(program / "comp.kq5"), stored);
    EXPECT_TRUE(journey.Running());
}

// A name is taken without the blanks around it, as a circuit file gives it back: "Resistor " is
// the resistor's name and is refused as used. It used to be taken as a name of its own, and a
// circuit that placed the part lost it when it was read again.
TEST(ComponentEditorJourney, ANameIsTakenWithoutBlanksAround)
{
    Journey journey("component_name");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c Return");
    journey.Settle();
    journey.Click(kAddX, kAddY);
    journey.Settle();
    const Shot added = journey.Capture("component_name_added");
    journey.Retype(kNameX, kNameY, "Resistor ");
    journey.Key("Tab");
    journey.Settle();
    const Shot refused = journey.Capture("component_name_refused");
    const bool asked = !refused.SameAs(added, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom);
    EXPECT_TRUE(asked) << "a used name with a blank behind it was taken";
    if (asked) {
        journey.Key("Return");
        journey.Settle();
    }
    // Out without saving: the library beside the program stays as the other journeys know it.
    journey.Click(kCloseX, kCloseY);
    journey.Settle();
    journey.Key("n");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// The three previews of the resistor, which shows its PART and VALUE texts: nothing is cut off at
// their edges. The texts used to run out of the frames ("VALU" in the large one, the VALUE line
// under the small ones) and the small ones cut the resistor's leads.
TEST(ComponentEditorJourney, ThePreviewsShowThePartWithItsTexts)
{
    struct Frame {
        int left, top, right, bottom;  // inside the frame's border
    };
    constexpr Frame kFrames[] = {{756, 323, 850, 419}, {858, 323, 952, 419}, {756, 427, 952, 656}};
    constexpr std::uint32_t kWhite = 0xFFFFFF;
    Journey journey("component_previews");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("alt+c Return");
    journey.Settle();
    const Shot shown = journey.Capture("component_previews");
    for (const Frame& f : kFrames) {
        const int width = f.right - f.left, height = f.bottom - f.top;
        const int inside = shown.Count(f.left, f.top, f.right, f.bottom, kWhite);
        const int core = shown.Count(f.left + 2, f.top + 2, f.right - 2, f.bottom - 2, kWhite);
        EXPECT_GT(width * height - inside, 50) << "nothing drawn in the preview at " << f.left << "," << f.top;
        EXPECT_EQ(inside - core, 2 * (width + height) * 2 - 16)
            << "the drawing reaches the edge of the preview at " << f.left << "," << f.top;
    }
    journey.Click(kCloseX, kCloseY);
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
