// File > Print Preview of a drawn circuit and of a netlist, as a user opens and closes it: the
// preview shows over the window, and Esc, or Close on the netlist's preview, gives the window
// back as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// Opens the preview with the File menu's key, checks that it covers part of the window, then
// closes it with the given keys and checks that the window is back.
void PreviewAndClose(Journey& journey, const std::string& shot, const std::string& closeKeys)
{
    journey.Settle();
    const Shot before = journey.Capture();
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("v");
    journey.Settle();
    const Shot preview = journey.Capture(shot);
    EXPECT_FALSE(preview.SameAs(before)) << shot << ": no preview showed";
    // The miniature sheet is white paper in the middle of the dialog.
    EXPECT_GT(preview.Count(0, 0, preview.width, preview.height, 0xFFFFFF), 20000) << shot;
    journey.Key(closeKeys);
    journey.Settle();
    // (Left of x = 100 a text window's caret may have blinked meanwhile.)
    const Shot after = journey.Capture(shot + "_closed");
    EXPECT_TRUE(after.SameAs(before, 100, 0, before.width, before.height)) << shot << ": the preview did not close with " << closeKeys;
}

TEST(PreviewJourney, PreviewsOfADrawingAndANetlistOpenAndClose)
{
    Journey journey("preview");
    for (const char* name : {"rc_step.cir", "rc_filter.ckt"})
        std::filesystem::copy_file(kExamples / name, journey.Root() / name);
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    PreviewAndClose(journey, "preview_schematic", "Escape");

    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("rc_filter.ckt");
    journey.Key("Return");
    // The netlist's preview closes by its Close button (Alt+C), as well as by Esc.
    PreviewAndClose(journey, "preview_netlist", "alt+c");
    PreviewAndClose(journey, "preview_netlist_esc", "Escape");
    EXPECT_TRUE(journey.Running());
}

// A scale out of range, typed into the preview and applied, is answered by one message; once it
// is closed the preview is in front again. The field used to lose the focus a second time to the
// message itself, and the same message came again.
TEST(PreviewJourney, AScaleOutOfRangeIsAnsweredOnce)
{
    constexpr int kScaleFieldX = 762, kApplyX = 816, kScaleY = 549;
    constexpr int kCaptionLeft = 420, kCaptionTop = 310, kCaptionRight = 840, kCaptionBottom = 322;
    constexpr int kBoxLeft = 485, kBoxTop = 428, kBoxRight = 700, kBoxBottom = 545;
    Journey journey("preview_scale");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start({"rc_step.cir"})) << journey.Output();
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("v");
    journey.Settle();
    const Shot preview = journey.Capture("preview_scale");

    journey.Click(kScaleFieldX, kScaleY);
    journey.Key("End shift+Home");
    journey.Type("5000");
    journey.Click(kApplyX, kScaleY);
    journey.Settle();
    const Shot warned = journey.Capture("preview_scale_warned");
    EXPECT_FALSE(warned.SameAs(preview, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "no message for a scale of 5000";

    journey.Key("Return");
    journey.Settle();
    const Shot answered = journey.Capture("preview_scale_answered");
    EXPECT_TRUE(answered.SameAs(preview, kCaptionLeft, kCaptionTop, kCaptionRight, kCaptionBottom)) << "the preview is not in front";
    EXPECT_TRUE(answered.SameAs(preview, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) << "a message is still shown";
    if (!answered.SameAs(preview, kBoxLeft, kBoxTop, kBoxRight, kBoxBottom)) journey.Key("Return");
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
