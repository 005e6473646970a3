// Window pictures in a user's hands: a drawn circuit exported with Edit > Copy to Clipboard >
// Copy the Entire Window to WMF File, and the file shown again in a Picture object placed with
// Mode > Metafile and given the file in its Picture dialog.
#include <gtest/gtest.h>

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

TEST(PictureJourney, APictureGivenItsFileIsDrawnAloneInItsBox)
{
    Journey journey("picture_wmf");
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", journey.Root() / "RC.CIR");
    ASSERT_TRUE(journey.Start({"RC.CIR"})) << journey.Output();
    journey.Settle();
    // Edit > Copy to Clipboard > Copy the Entire Window to WMF File..., the proposed RC.WMF.
    journey.Key("alt+e");
    journey.Settle();
    journey.Click(kCopyToClipboardX, kCopyToClipboardY);
    journey.Settle();
    journey.Click(kWmfFileX, kWmfFileY);
    journey.Settle();
    journey.Key("Return");
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(journey.Root() / "RC.WMF"); }, 10)) << "no picture written";
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

}  // namespace
}  // namespace kq5::journey
