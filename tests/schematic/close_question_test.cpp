// Closing a modified circuit window asks to save only while the "File Warning" preference is on;
// while the program is busy no circuit window closes.
#include "schematic_test_support.h"

#include "ui/frame_state.h"
#include "ui/program_settings.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace kq5::testing {
namespace {

using CloseQuestion = SchematicTest;

TEST_F(CloseQuestion, FileWarningOffClosesAModifiedWindowWithoutAsking)
{
    const std::uint32_t kept = Settings().operationalOptions;
    WindowRecord* asked = NewSchematic();
    ASSERT_NE(asked, nullptr);
    asked->modified = 1;
    ASSERT_NE(OptionFlags() & kOptionFileWarning, 0u);
    win::PushMessageBoxAnswer(win::IDNO);
    const std::size_t before = win::MessageBoxLog().size();
    const win::HWND first = asked->window;
    win::SendMessage(first, win::WM_CLOSE, 0, 0);
    EXPECT_EQ(win::MessageBoxLog().size(), before + 1);
    EXPECT_FALSE(win::IsWindow(first));

    Settings().operationalOptions &= ~kOptionFileWarning;
    WindowRecord* quiet = NewSchematic();
    ASSERT_NE(quiet, nullptr);
    quiet->modified = 1;
    const win::HWND second = quiet->window;
    win::SendMessage(second, win::WM_CLOSE, 0, 0);
    EXPECT_EQ(win::MessageBoxLog().size(), before + 1);
    EXPECT_FALSE(win::IsWindow(second));
    Settings().operationalOptions = kept;
}

TEST_F(CloseQuestion, ABusyProgramKeepsEveryWindowOpen)
{
    WindowRecord* record = NewSchematic();
    ASSERT_NE(record, nullptr);
    const win::HWND window = record->window;
    const std::size_t before = win::MessageBoxLog().size();
    Frame().busy = true;
    win::SendMessage(window, win::WM_CLOSE, 0, 0);
    Frame().busy = false;
    EXPECT_TRUE(win::IsWindow(window));
    EXPECT_EQ(win::MessageBoxLog().size(), before);
    win::SendMessage(window, win::WM_CLOSE, 0, 0);
    EXPECT_FALSE(win::IsWindow(window));
}

}  // namespace
}  // namespace kq5::testing
