// A schematic and a netlist in a user's hands: zooming in moves the scroll thumbs with the view
// (they read the same after the file is saved and reopened), Flip X and Rotate turn what Select
// All took, a netlist saved under a new name is among the recent files, and the help bar names
// what is under the pointer once a dialog in front of it closes or the tool bar changes under it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kZoomInButtonX = 915, kButtonY = 49;
// The vertical scroll bar of the drawing's pane, between its arrows.
constexpr int kVScrollLeft = 930, kVScrollRight = 942, kVScrollTop = 128, kVScrollBottom = 700;
// The drawing area of the circuit window, and an empty spot in it.
constexpr int kDrawLeft = 10, kDrawTop = 110, kDrawRight = 920, kDrawBottom = 700;
constexpr int kEmptyX = 600, kEmptyY = 550;

void Do(Journey& journey, const std::string& keys)
{
    journey.Key(keys);
    journey.Settle();
}

TEST(SchematicViewJourney, ZoomedThumbReadsAsAfterReopening)
{
    Journey journey("zoom_thumb");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Click(kEmptyX, kEmptyY);
    journey.Settle();
    const Shot before = journey.Capture();
    for (int i = 0; i < 2; ++i) {
        journey.Click(kZoomInButtonX, kButtonY);
        journey.Settle();
    }
    const Shot zoomed = journey.Capture("zoom_thumb_zoomed");
    ASSERT_FALSE(zoomed.SameAs(before, kDrawLeft, kDrawTop, kDrawRight, kDrawBottom)) << "Zoom In changed nothing";
    // The view moved down to keep the circuit's centre: the thumb moves with it at once.
    EXPECT_FALSE(zoomed.SameAs(before, kVScrollLeft, kVScrollTop, kVScrollRight, kVScrollBottom))
        << "the vertical thumb stayed where it was before the zoom";

    Do(journey, "ctrl+s");
    Do(journey, "ctrl+F4");
    Do(journey, "alt+f");
    Do(journey, "1");
    const Shot reopened = journey.Capture("zoom_thumb_reopened");
    EXPECT_TRUE(reopened.SameAs(zoomed, kDrawLeft, kDrawTop, kDrawRight, kDrawBottom)) << "the reopened view differs";
    EXPECT_TRUE(reopened.SameAs(zoomed, kVScrollLeft, kVScrollTop, kVScrollRight, kVScrollBottom))
        << "the thumb of the reopened view is not where the zoom left it";
}

TEST(SchematicViewJourney, FlipXAndRotateTurnWhatSelectAllTook)
{
    Journey journey("flip_all");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Click(kEmptyX, kEmptyY);
    journey.Settle();
    const Shot drawn = journey.Capture();
    Do(journey, "ctrl+a");
    const Shot selected = journey.Capture();
    Do(journey, "ctrl+f");
    const Shot flipped = journey.Capture("flip_all_flipped");
    EXPECT_FALSE(flipped.SameAs(selected, kDrawLeft, kDrawTop, kDrawRight, kDrawBottom)) << "Flip X did nothing";
    // Flip X twice gives the circuit back as it was.
    Do(journey, "ctrl+f");
    EXPECT_TRUE(journey.Capture().SameAs(selected, kDrawLeft, kDrawTop, kDrawRight, kDrawBottom))
        << "a second Flip X did not restore the circuit";
    // Rotate likewise, and Undo takes it back (unselected).
    Do(journey, "ctrl+r");
    EXPECT_FALSE(journey.Capture("flip_all_rotated").SameAs(selected, kDrawLeft, kDrawTop, kDrawRight, kDrawBottom))
        << "Rotate did nothing";
    Do(journey, "ctrl+z");
    EXPECT_TRUE(journey.Capture("flip_all_undone").SameAs(drawn, kDrawLeft, kDrawTop, kDrawRight, kDrawBottom)) << "Undo did not restore";
}

// Step Box and Mirror Box after Select All copy what Select All took: it lies in no select box, so
// both used to do nothing at all, not even ask for their settings.
TEST(SchematicViewJourney, StepAndMirrorBoxCopyWhatSelectAllTook)
{
    Journey journey("step_all");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    const auto parts = [&] {
        const std::string text = ReadAll(journey.Root() / "rc_step.cir");
        int count = 0;
        for (std::size_t at = text.find("[Comp]"); at != std::string::npos; at = text.find("[Comp]", at + 1)) ++count;
        return count;
    };
    const int drawn = parts();
    ASSERT_GT(drawn, 0);
    Do(journey, "ctrl+a");
    Do(journey, "alt+e b s");  // Edit > Box > Step Box, once to the right
    Do(journey, "Return");
    journey.Capture("step_all_stepped");
    Do(journey, "ctrl+a");
    Do(journey, "alt+e b m");  // Edit > Box > Mirror Box, beside it
    Do(journey, "Return");
    journey.Capture("step_all_mirrored");
    Do(journey, "ctrl+s");
    EXPECT_EQ(parts(), 4 * drawn) << "the box commands copied nothing of what Select All took";
}

TEST(SchematicViewJourney, NetlistSavedAsIsAmongTheRecentFiles)
{
    Journey journey("netlist_save_as");
    std::filesystem::copy_file(kExamples / "rc_filter.ckt", journey.Root() / "rc_filter.ckt");
    ASSERT_TRUE(journey.Start({"rc_filter.ckt"})) << journey.Output();
    Do(journey, "alt+f");
    Do(journey, "a");
    journey.Type("filter_copy.ckt");
    Do(journey, "Return");
    ASSERT_TRUE(std::filesystem::exists(journey.Root() / "filter_copy.ckt")) << "Save As wrote no file";
    Do(journey, "alt+F4");
    journey.Key("y");  // Quit Kestrion V?
    ASSERT_TRUE(journey.WaitForExit(20)) << "the program did not end";
    // The recent files are kept in the settings file the program writes as it ends.
    EXPECT_NE(ReadAll(journey.Root() / "kq5.dat").find("filter_copy.ckt"), std::string::npos)
        << "the file saved under a new name is not among the recent files";
}

TEST(SchematicViewJourney, HelpBarNamesWhatADialogLeavesUnderThePointer)
{
    // The Preferences dialog's caption, dragged up until its list lies over the tool bar.
    constexpr int kCaptionX = 443, kCaptionY = 356, kRaisedCaptionY = 26;
    constexpr int kStepBoxButtonX = 445;
    Journey journey("help_bar_dialog");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Move(kStepBoxButtonX, kButtonY);
    journey.Settle();
    const Shot hovered = journey.Capture("help_bar_dialog_button");
    const int barTop = hovered.height - 24;
    journey.Move(kEmptyX, kEmptyY);
    journey.Settle();

    Do(journey, "ctrl+shift+p");
    journey.Drag(kCaptionX, kCaptionY, kCaptionX, kRaisedCaptionY);
    journey.Settle();
    journey.Move(kStepBoxButtonX, kButtonY);
    journey.Settle();
    const Shot overDialog = journey.Capture("help_bar_dialog_open");
    ASSERT_FALSE(overDialog.SameAs(hovered, 0, barTop, hovered.width, hovered.height))
        << "the dialog did not cover the tool button";
    Do(journey, "Escape");
    const Shot closed = journey.Capture("help_bar_dialog_closed");
    EXPECT_TRUE(closed.SameAs(hovered, 0, barTop, hovered.width, hovered.height))
        << "after the dialog closed the help bar does not name the tool button under the pointer";
}

TEST(SchematicViewJourney, HelpBarNamesTheButtonAToolBarChangeBringsUnderThePointer)
{
    // A button of the schematic set (Flip Y) whose place the analysis set gives to another.
    constexpr int kButtonX = 500, kOtherButtonX = 700;
    Journey journey("help_bar_tool_set");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Move(kButtonX, kButtonY);
    journey.Settle();
    const Shot schematicSet = journey.Capture("help_bar_tool_set_schematic");
    // The help bar's text, below the circuit window (maximised when the analysis closes).
    const int barTop = schematicSet.height - 20;

    // Transient Analysis by its key: the analysis set takes the bar, the pointer stays still.
    Do(journey, "alt+1");
    const Shot changed = journey.Capture("help_bar_tool_set_analysis");
    journey.Move(kOtherButtonX, kButtonY);
    journey.Settle();
    journey.Move(kButtonX, kButtonY);
    journey.Settle();
    const Shot moved = journey.Capture();
    ASSERT_FALSE(moved.SameAs(schematicSet, 0, barTop, moved.width, moved.height))
        << "the analysis set has the same button at that place";
    EXPECT_TRUE(changed.SameAs(moved, 0, barTop, moved.width, moved.height))
        << "with the analysis set shown the help bar still names the schematic set's button";

    // Back to the schematic by F3.
    Do(journey, "F3");
    const Shot back = journey.Capture("help_bar_tool_set_back");
    EXPECT_TRUE(back.SameAs(schematicSet, 0, barTop, back.width, back.height))
        << "back in the schematic the help bar still names the analysis set's button";
}

}  // namespace
}  // namespace kq5::journey
