// A drag selection in the editor goes on scrolling while the pointer stands still outside the
// window, and stops when the button is let go.
#include "text_editor_test_support.h"

namespace kq5::testing {
namespace {

using EditorHover = EditorTest;

TEST_F(EditorHover, APointerHeldBelowTheWindowKeepsScrollingUntilRelease)
{
    std::string text;
    for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
    SetText(text);
    win::RECT client{};
    win::GetClientRect(editor_, &client);
    win::POINT start = CellPoint(0, 0);
    win::ClientToScreen(editor_, &start);
    win::POINT below{10, client.bottom + 20};
    win::ClientToScreen(editor_, &below);

    win::headless::MoveMouse(start.x, start.y);
    win::headless::MouseDown();
    Pump();
    win::headless::MoveMouse(below.x, below.y);
    Pump();
    const std::int32_t afterMove = Editor().topLine;
    EXPECT_EQ(afterMove, 1);
    // The pointer stands still; each tick of the hover timer scrolls one more line.
    for (int tick = 0; tick < 3; ++tick) {
        win::headless::AdvanceClock(500);
        Pump();
    }
    EXPECT_EQ(Editor().topLine, afterMove + 3);
    EXPECT_GT(Selection().second, Selection().first);

    win::headless::MouseUp();
    Pump();
    const std::int32_t released = Editor().topLine;
    win::headless::AdvanceClock(2000);
    Pump();
    EXPECT_EQ(Editor().topLine, released);
}

}  // namespace
}  // namespace kq5::testing
