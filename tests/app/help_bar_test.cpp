#include <gtest/gtest.h>

#include "ui/help_bar.h"
#include "app/menus.h"
#include "ui/mode_cursors.h"
#include "ui/status_text.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "platform/backend.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/message.h"
#include "platform/win_styles.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace kq5 {
namespace {

class HelpBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetHelpBarForTests();
        ResetWaitCursorForTests();
        MenuTextSources() = MenuSources{};
        SetHelpBarOption(true);
    }
    void TearDown() override
    {
        ResetHelpBarForTests();
        ResetWaitCursorForTests();
        MenuTextSources() = MenuSources{};
    }
};

TEST_F(HelpBarTest, ACommandShowsOnlyItsFirstLine)
{
    SetHelpBarMessageId(nullptr, 17504);
    EXPECT_EQ(FrameHelpBar().text, "Zoom-in on active window.");
    EXPECT_EQ(HelpBarMessageId(), 17504);
    // The text is kept whole for those who save and restore it.
    SetStatusText("Copying 5% complete.\nsecond line");
    EXPECT_EQ(FrameHelpBar().text, "Copying 5% complete.");
    EXPECT_EQ(GetStatusText(), "Copying 5% complete.\nsecond line");
    EXPECT_EQ(HelpBarMessageId(), -1);
}

TEST_F(HelpBarTest, FamiliesSystemCommandsAndListsMapToTheirTexts)
{
    EXPECT_EQ(FirstLine(HelpBarTextForId(0xF060)), FirstLine(HelpBarTextForId(15206)));  // SC_CLOSE
    EXPECT_EQ(std::string(FirstLine(HelpBarTextForId(0xF060))), "Closes the window.");
    EXPECT_EQ(std::string(FirstLine(HelpBarTextForId(0xF120))), "Restores the window to its normal size.");
    EXPECT_EQ(HelpBarTextForId(14607), HelpBarTextForId(14603));
    EXPECT_EQ(HelpBarTextForId(14580), HelpBarTextForId(14573));
    EXPECT_EQ(HelpBarTextForId(17375), HelpBarTextForId(17371));
    EXPECT_EQ(HelpBarTextForId(16050), HelpBarTextForId(16008));
    EXPECT_EQ(HelpBarTextForId(16053), HelpBarTextForId(16019));
    EXPECT_EQ(HelpBarTextForId(0), "");
    EXPECT_EQ(HelpBarTextForId(3893), "");  // no recent file
    MenuTextSources().recentFile = [](int n) { return n == 1 ? std::string("/home/u/amp.cir") : std::string(); };
    EXPECT_EQ(HelpBarTextForId(3893), "Load /home/u/amp.cir");
    EXPECT_EQ(HelpBarTextForId(3892), "");
    HelpBarSources().componentCount = [] { return 3; };
    HelpBarSources().componentDescription = [](int n) { return "part " + std::to_string(n); };
    EXPECT_EQ(HelpBarTextForId(42002), "part 2");
    EXPECT_EQ(HelpBarTextForId(42003), "");  // beyond the components: the string table has none
}

TEST_F(HelpBarTest, NonClientAndDialogControlTexts)
{
    EXPECT_EQ(NonClientHelpMessageId(2), 17652);
    EXPECT_EQ(NonClientHelpMessageId(18), 17668);
    EXPECT_EQ(NonClientHelpMessageId(1), 0);
    EXPECT_EQ(NonClientHelpMessageId(19), 0);
    EXPECT_EQ(ShowNonClientHelp(&FrameHelpBar(), 12), 1);
    EXPECT_EQ(FrameHelpBar().text, "Top");
    EXPECT_EQ(ShowNonClientHelp(&FrameHelpBar(), 0), 0);
    EXPECT_EQ(DlgControlHelpId(1), 18001);
    EXPECT_EQ(DlgControlHelpId(22), 18022);
    EXPECT_EQ(DlgControlHelpId(9), 18009);
    EXPECT_EQ(DlgControlHelpId(19830), 19830);
    ShowDlgControlHelp(&FrameHelpBar(), 2);
    EXPECT_EQ(FrameHelpBar().text, "Cancel");
    ShowDlgControlHelp(&FrameHelpBar(), 1234);
    EXPECT_EQ(FrameHelpBar().text, "");
}

TEST_F(HelpBarTest, FreezingAndTheOptionStopTheShowOperations)
{
    EXPECT_EQ(ShowHelpBarMessage(nullptr, 17504), -1);
    ShowHelpBarMessage(&FrameHelpBar(), 17504);
    FreezeHelpBar();
    EXPECT_EQ(ShowHelpBarMessage(&FrameHelpBar(), 17505), 17504);
    EXPECT_EQ(ShowHelpBarText(&FrameHelpBar(), "x"), -1);
    EXPECT_EQ(FrameHelpBar().text, "Zoom-in on active window.");
    UnfreezeHelpBar();
    SetHelpBarOption(false);
    SetStatusText("Processing Component 1 of 9 10%");
    EXPECT_EQ(GetStatusText(), "");
    EXPECT_EQ(FrameHelpBar().text, "Zoom-in on active window.");
}

TEST_F(HelpBarTest, TheSameButtonTwiceDoesNotRepaintTheBar)
{
    win::HWND frame = win::CreateWindowEx(0, "STATIC", "", win::WS_OVERLAPPED | win::WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                          nullptr, nullptr, nullptr);
    ASSERT_TRUE(CreateStatusBar(frame, FrameHelpBar()));
    EXPECT_GT(HelpBarLineHeight(), 6);
    PositionStatusBar(FrameHelpBar(), 400, 300);
    win::RECT r;
    win::GetWindowRect(FrameHelpBar().window, &r);
    EXPECT_EQ(r.right - r.left, 402);
    EXPECT_EQ(r.bottom - r.top, HelpBarLineHeight());
    ShowHelpBarMessage(&FrameHelpBar(), 17504);
    // A second show of the same id leaves the bar alone: what it holds is not set again.
    FrameHelpBar().text = "untouched";
    ShowHelpBarMessage(&FrameHelpBar(), 17504);
    EXPECT_EQ(FrameHelpBar().text, "untouched");
    ShowHelpBarMessage(&FrameHelpBar(), 17505);
    EXPECT_EQ(FrameHelpBar().text, "Zoom-out on active window.");
    win::DestroyWindow(frame);
}

TEST_F(HelpBarTest, NestedWaitCursorsKeepTheWaitCursorUntilTheLastEnd)
{
    win::HCURSOR arrow = win::LoadCursor(nullptr, win::IDC_ARROW);
    win::SetCursor(arrow);
    SetStatusText("Ready");
    BeginWaitCursor(nullptr);
    EXPECT_EQ(FrameHelpBar().text, "Wait");
    BeginWaitCursor(nullptr);
    EndWaitCursor();
    EXPECT_EQ(win::GetCursor(), win::LoadCursor(nullptr, win::IDC_WAIT));
    EXPECT_TRUE(IsHelpBarFrozen());
    EndWaitCursor();
    EXPECT_EQ(win::GetCursor(), arrow);
    EXPECT_FALSE(IsHelpBarFrozen());
    EXPECT_EQ(GetStatusText(), "Ready");
    EndWaitCursor();  // one too many changes nothing
    EXPECT_EQ(WaitCursorLevel(), 0);
}

TEST(ModeCursors, EachEditModeHasItsCursor)
{
    win::ResetPlatformForTests();
    EXPECT_EQ(CursorResourceForMode(17565), 1000);
    EXPECT_EQ(CursorResourceForMode(17563), 1001);
    EXPECT_EQ(CursorResourceForMode(17562), 1002);
    EXPECT_EQ(CursorResourceForMode(17561), 1003);
    EXPECT_EQ(CursorResourceForMode(17450), 1004);
    EXPECT_EQ(CursorResourceForMode(17564), 1005);
    for (int mode = 17566; mode <= 17570; ++mode) EXPECT_EQ(CursorResourceForMode(mode), 1011) << mode;
    EXPECT_EQ(CursorResourceForMode(17578), 1007);
    EXPECT_EQ(CursorResourceForMode(17577), 0);
    LoadCursors();
    EXPECT_NE(CursorForMode(17561), win::LoadCursor(nullptr, win::IDC_ARROW));
    EXPECT_NE(CursorForMode(17561), CursorForMode(17562));
    EXPECT_EQ(CursorForMode(17566), CursorForMode(17570));
    EXPECT_EQ(CursorForMode(17571), win::LoadCursor(nullptr, win::IDC_ARROW));

    WindowRecord record;
    record.kind = kWindowSchematic;
    record.mode = 17564;
    EXPECT_EQ(SetModeCursor(&record), CursorForMode(17564));
    EXPECT_EQ(win::GetCursor(), CursorForMode(17564));
    EXPECT_EQ(SetModeCursor(&record, true), win::LoadCursor(nullptr, win::IDC_WAIT));
    record.kind = kWindowMonteCarlo;
    EXPECT_EQ(SetModeCursor(&record), win::LoadCursor(nullptr, win::IDC_ARROW));
    DestroyCursors();
}

TEST(ModeCursors, TheListItemUnderTheCursor)
{
    win::ResetPlatformForTests();
    win::HWND list = win::CreateWindowEx(0, "LISTBOX", "", win::WS_POPUP | win::WS_VISIBLE | win::WS_VSCROLL, 100, 100, 120, 60,
                                         nullptr, nullptr, nullptr, nullptr);
    for (const char* name : {"A", "B", "C", "D", "E", "F", "G", "H"})
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(name));
    const int height = static_cast<int>(win::SendMessage(list, win::LB_GETITEMHEIGHT, 0, 0));
    win::POINT origin{0, 0};
    win::ClientToScreen(list, &origin);
    win::SetCursorPos(origin.x + 5, origin.y + height + 2);
    EXPECT_EQ(ListItemFromCursor(list), 1);
    win::SendMessage(list, win::LB_SETTOPINDEX, 3, 0);
    EXPECT_EQ(ListItemFromCursor(list), 4);
    win::SetCursorPos(origin.x - 5, origin.y + 2);
    EXPECT_EQ(ListItemFromCursor(list), -1);
    win::DestroyWindow(list);
}

}  // namespace
}  // namespace kq5
