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

}  // namespace
}  // namespace kq5::journey
