// The frame's own services in a user's hands: its tool bar follows what is open.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kq5::journey
