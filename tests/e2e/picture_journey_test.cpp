// Window pictures in a user's hands: a drawn circuit exported with Edit > Copy to Clipboard >
// Copy the Entire Window to WMF File, and the file shown again in a Picture object placed with
// Mode > Metafile and given the file in its Picture dialog.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen (the frame maximised, as it starts in a fresh settings folder).
constexpr int kCopyToClipboardX = 90, kCopyToClipboardY = 172;
constexpr int kWmfFileX = 330, kWmfFileY = 229;
constexpr int kModeMenuX = 267, kMetafileY = 164, kSelectY = 50;
constexpr int kBoxLeft = 560, kBoxTop = 130, kBoxRight = 860, kBoxBottom = 320;
constexpr int kTextTabX = 87, kPageTabX = 127, kTabY = 725;
// The Picture dialog: Border's "None" box, the Weight box's arrow and its "3", and OK.
constexpr int kBorderNoneX = 465, kBorderNoneY = 437;
constexpr int kWeightArrowX = 559, kWeightArrowY = 583, kWeightThreeX = 517, kWeightThreeY = 627;
constexpr int kPictureOkX = 608, kPictureOkY = 600;

// RC.CIR (the drawn example, in the folder given below the working folder) opened, exported
// with Edit > Copy to Clipboard > Copy the Entire Window to WMF File... as the proposed RC.WMF
// beside it, and a box dragged out with Mode > Metafile; the program back in Select mode.
void PlacePictureBox(Journey& journey, const std::string& folder = "")
{
    std::filesystem::create_directories(journey.Root() / folder);
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir",
                               journey.Root() / folder / "RC.CIR");
    ASSERT_TRUE(journey.Start({(std::filesystem::path(folder) / "RC.CIR").string()})) << journey.Output();
    journey.Settle();
    // Edit > Copy to Clipboard > Copy the Entire Window to WMF File..., the proposed RC.WMF.
    journey.Key("alt+e");
    journey.Settle();
    journey.Click(kCopyToClipboardX, kCopyToClipboardY);
    journey.Settle();
    journey.Click(kWmfFileX, kWmfFileY);
    journey.Settle();
    journey.Key("Return");
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(journey.Root() / folder / "RC.WMF"); }, 10))
        << "no picture written";
    // Mode > Metafile, a box dragged out below the circuit, Mode > Select.
    journey.Key("alt+m");
    journey.Settle();
    journey.Click(kModeMenuX, kMetafileY);
    journey.Drag(kBoxLeft, kBoxTop, kBoxRight, kBoxBottom);
    journey.Settle();
    journey.Key("alt+m");
    journey.Settle();
    journey.Click(kModeMenuX, kSelectY);
    journey.Settle();
}

TEST(PictureJourney, APictureGivenItsFileIsDrawnAloneInItsBox)
{
    Journey journey("picture_wmf");
    ASSERT_NO_FATAL_FAILURE(PlacePictureBox(journey));
    journey.Capture("picture_missing_file");
    // The Picture dialog of the box, given the file.
    journey.DoubleClick((kBoxLeft + kBoxRight) / 2, (kBoxTop + kBoxBottom) / 2);
    journey.Settle();
    journey.Capture("picture_dialog");
    journey.Type("RC.WMF");
    journey.Key("Return");
    journey.Settle();
    const Shot shown = journey.Capture("picture_shown");
    // The page painted afresh (to the text page and back) is what the user saw after OK.
    journey.Click(kTextTabX, kTabY);
    journey.Settle();
    journey.Click(kPageTabX, kTabY);
    journey.Settle();
    const Shot repainted = journey.Capture("picture_repainted");
    EXPECT_TRUE(shown.SameAs(repainted, kBoxLeft - 4, kBoxTop - 4, kBoxRight + 4, kBoxBottom + 4))
        << "the box still shows what it showed before it was given its file";
}

// A circuit opened from a folder of its own, its picture beside it given by its bare name: the
// picture is shown, where only the working folder used to be looked in ("Missing Picture").
TEST(PictureJourney, APictureNamedWithoutItsFolderIsFoundBesideTheCircuit)
{
    Journey journey("picture_beside");
    ASSERT_NO_FATAL_FAILURE(PlacePictureBox(journey, "project"));
    const Shot missing = journey.Capture("picture_beside_empty");
    journey.DoubleClick((kBoxLeft + kBoxRight) / 2, (kBoxTop + kBoxBottom) / 2);
    journey.Settle();
    journey.Type("RC.WMF");
    journey.Key("Return");
    journey.Settle();
    const Shot shown = journey.Capture("picture_beside");
    // The box shows more than it did without its file: the exported circuit, not one more line
    // of "Missing Picture" text.
    int changed = 0;
    for (int y = kBoxTop + 2; y < kBoxBottom - 2; ++y)
        for (int x = kBoxLeft + 2; x < kBoxRight - 2; ++x) changed += shown.At(x, y) != missing.At(x, y) ? 1 : 0;
    EXPECT_GT(changed, 1000) << "the picture is not drawn in its box";
}

// A border of weight 3 chosen in the Picture dialog is drawn three pixels wide (one logical unit
// a pixel at the drawing's first zoom); before, the picture's frame always took the thinnest pen.
TEST(PictureJourney, APictureBorderOfWeightThreeIsDrawnThick)
{
    Journey journey("picture_weight");
    ASSERT_NO_FATAL_FAILURE(PlacePictureBox(journey));
    journey.DoubleClick((kBoxLeft + kBoxRight) / 2, (kBoxTop + kBoxBottom) / 2);
    journey.Settle();
    journey.Type("RC.WMF");
    journey.Click(kBorderNoneX, kBorderNoneY);
    journey.Click(kWeightArrowX, kWeightArrowY);
    journey.Settle();
    journey.Click(kWeightThreeX, kWeightThreeY);
    journey.Settle();
    journey.Capture("picture_weight_dialog");
    journey.Click(kPictureOkX, kPictureOkY);
    journey.Settle();
    const Shot shot = journey.Capture("picture_weight");
    // The frame's colour in a column through the top edge, a quarter of the way across.
    const int x = kBoxLeft + (kBoxRight - kBoxLeft) / 4;
    const std::uint32_t frame = shot.At(x, kBoxTop);
    int thickness = 0;
    for (int y = kBoxTop - 6; y <= kBoxTop + 6; ++y) thickness += shot.At(x, y) == frame ? 1 : 0;
    EXPECT_NE(frame, 0xFFFFFFu) << "no frame at the box's top edge";
    EXPECT_GE(thickness, 3) << "the frame is " << thickness << " pixel(s) thick";
}

}  // namespace
}  // namespace kq5::journey
