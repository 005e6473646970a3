// The frame's own services in a user's hands: its tool bar follows what is open, its recent-files
// list tells which file has gone, its help bar follows the menus worked by the keyboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// The tool bar's rows, read from the program's captures: below the menu bar, above the documents.
constexpr int kToolBarTop = 38, kToolBarBottom = 80;

// Closing the last document leaves nothing to save, print or edit: the buttons for those go grey
// at once. They used to keep the look of the closed schematic until some later command happened
// to refresh them, so the bar offered Save, Print and the edit buttons with no document at all.
TEST(FrameJourney, ClosingTheLastDocumentGreysItsButtonsAtOnce)
{
    Journey journey("tool_bar_close");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    const Shot schematic = journey.Capture("tool_bar_schematic");
    journey.Key("ctrl+F4");
    journey.Settle();
    const Shot closed = journey.Capture("tool_bar_no_document");
    EXPECT_FALSE(closed.SameAs(schematic, 0, kToolBarTop, closed.width, kToolBarBottom))
        << "the tool bar did not change when the last document closed";
    // Opening and closing a menu makes the frame work the buttons out afresh.
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("Escape Escape");
    journey.Settle();
    const Shot refreshed = journey.Capture("tool_bar_no_document_refreshed");
    EXPECT_TRUE(closed.SameAs(refreshed, 0, kToolBarTop, closed.width, kToolBarBottom))
        << "the tool bar showed stale buttons until a menu was opened";
    EXPECT_TRUE(journey.Running());
}

// The longest run of one colour along a row of [y0, y1): a message box's caption bar measured.
int WidestRun(const Shot& shot, int y0, int y1, std::uint32_t rgb)
{
    int widest = 0;
    for (int y = y0; y < std::min(y1, shot.height); ++y) {
        int run = 0;
        for (int x = 0; x < shot.width; ++x) {
            run = shot.At(x, y) == rgb ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    }
    return widest;
}

// A recent-files entry whose file has gone says which file it was. The message used to be the
// runtime's bare "No such file or directory", in a box too narrow for any name.
TEST(FrameJourney, ARecentFileThatHasGoneIsNamedInTheMessage)
{
    Journey journey("recent_gone");
    const std::string gone = (journey.Root() / "a_circuit_that_was_moved_elsewhere.cir").string();
    {
        std::ofstream settings(journey.Root() / "kq5.dat", std::ios::binary);
        settings << "[Main]\nFileType=KQ5.DAT\nVersion=5.40\n\n[Last Loaded Files]\nFILE_1=" << gone << "\n";
    }
    ASSERT_TRUE(journey.Start()) << journey.Output();
    const Shot start = journey.Capture();
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("1");
    journey.Settle();
    const Shot message = journey.Capture("recent_gone_message");
    journey.Key("Return");
    journey.Settle();
    // The active caption's blue, below the frame's own caption (grey while the box is up).
    constexpr std::uint32_t kCaptionBlue = 0x000080;
    constexpr int kBelowFrameCaption = 100;
    const int box = WidestRun(message, kBelowFrameCaption, message.height, kCaptionBlue);
    EXPECT_GT(box, 380) << "no message box wide enough to hold the file's name (" << box << " px)";
    EXPECT_TRUE(journey.Capture().SameAs(start)) << "the message box is still up";
    EXPECT_TRUE(journey.Running());
}

// A recent-files entry for a file still open in a window brings that window to the front, also
// when the file has gone from the disk meanwhile; that used to end in "No such file or directory".
TEST(FrameJourney, ARecentFileStillOpenComesToTheFrontAfterItsFileHasGone)
{
    Journey journey("recent_open_gone");
    const std::filesystem::path netlist = journey.Root() / "filter.ckt";
    {
        std::ofstream text(netlist, std::ios::binary);
        text << "RC filter\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 1U\n.END\n";
    }
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("filter.ckt");
    journey.Key("Return");
    journey.Settle();
    const Shot open = journey.Capture("recent_open_gone_netlist");
    std::filesystem::remove(netlist);
    journey.Key("ctrl+n");  // a new schematic in front
    journey.Settle();
    journey.Key("Return");
    journey.Settle();
    const Shot other = journey.Capture();
    ASSERT_FALSE(other.SameAs(open)) << "no new window came to the front";
    journey.Key("alt+f");
    journey.Settle();
    journey.Key("1");
    journey.Settle();
    const Shot back = journey.Capture("recent_open_gone_back");
    // Left of x = 10 the text window's caret blinks; the rest of the screen must be as it was.
    const bool same = back.SameAs(open, 10, 0, 1250, 960);
    if (!same) {
        // Out of the message box, so that the program can end.
        journey.Key("Return");
        journey.Settle();
    }
    EXPECT_TRUE(same) << "the netlist's window did not come back to the front as it was";
    EXPECT_TRUE(journey.Running());
}

// A menu closed with Esc leaves its title chosen on the menu bar and the help bar empty, as it is
// for a menu title. It used to keep describing the command that was chosen in the closed menu.
TEST(FrameJourney, EscapeFromAMenuClearsTheHelpBar)
{
    // The blank end of the page tab strip, where the help bar has nothing to say (over the
    // drawing it tells the edit mode).
    constexpr int kBackgroundX = 250, kBackgroundY = 947;
    Journey journey("help_bar_menu_escape");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Move(kBackgroundX, kBackgroundY);
    journey.Settle();
    const Shot idle = journey.Capture();
    const int barTop = idle.height - 20;

    journey.Key("alt+e Down");
    journey.Settle();
    const Shot chosen = journey.Capture("help_bar_menu_chosen");
    ASSERT_FALSE(chosen.SameAs(idle, 0, barTop, idle.width, idle.height)) << "the help bar shows nothing for a command";
    journey.Key("Escape");
    journey.Settle();
    const Shot closed = journey.Capture("help_bar_menu_closed");
    EXPECT_TRUE(closed.SameAs(idle, 0, barTop, idle.width, idle.height))
        << "with its menu closed the help bar still describes a command of it";
    journey.Key("Escape");
    journey.Settle();
    EXPECT_TRUE(journey.Running());
}

// A component palette (Options > Component Palettes > 1, Ctrl+1) floats over the schematic; a
// click on a name picks that component and the next click on the schematic places it. The palette
// was drawn over the circuit window but lay beneath it, so the click went to the schematic and
// nothing was ever picked.
TEST(FrameJourney, AComponentPickedFromAPaletteIsPlacedWithTheNextClick)
{
    Journey journey("palette_pick");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+1");
    journey.Settle();
    const Shot palette = journey.Capture("palette_shown");
    journey.Click(137, 178);  // "Capacitor", the second name of the analog palette
    journey.Settle();
    journey.Click(592, 476);
    journey.Settle();
    const Shot placed = journey.Capture("palette_component_placed");
    EXPECT_FALSE(placed.SameAs(palette, 540, 420, 660, 540)) << "no component was placed where the schematic was clicked";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
