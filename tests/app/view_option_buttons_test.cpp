// A view option switched from the menu shows on its tool button at once, and the option flips
// the document's view word.
#include "frame_test_support.h"

#include "ui/tool_buttons.h"
#include "document/circuit_document.h"
#include "platform/paint.h"

namespace kq5::testing {
namespace {

using ViewOptionButtons = StartedFrame;

TEST_F(ViewOptionButtons, TheMenuCommandRedrawsItsToolButton)
{
    WindowRecord* schematic = StartWithSchematic();
    ASSERT_NE(schematic, nullptr);
    PumpFrameMessages();
    win::HWND bar = DockedBars()[0].window;
    ASSERT_NE(bar, nullptr);
    win::HWND button = win::GetDlgItem(bar, 17403);
    ASSERT_NE(button, nullptr);
    win::UpdateWindow(button);
    win::RECT dirty{};
    ASSERT_FALSE(win::GetUpdateRect(button, &dirty, win::FALSE));

    const std::uint32_t before = schematic->document->viewOptions;
    win::SendMessage(Frame().frame, win::WM_COMMAND, 17403, 0);
    EXPECT_EQ(schematic->document->viewOptions ^ before, 1u);
    EXPECT_TRUE(win::GetUpdateRect(button, &dirty, win::FALSE));
}

}  // namespace
}  // namespace kq5::testing
