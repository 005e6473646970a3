// Commands of the schematic and analysis windows that reach their handlers through the router:
// the model program, Ctrl+G, the flags popup, the text window's context help, run control and
// the analysis window's F4 and Exit Probe.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "app/command_routing.h"
#include "app/frame_window.h"
#include "app/menus.h"
#include "ui/tool_buttons.h"
#include "ui/program_settings.h"
#include "ui/usage_file.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "frame_test_support.h"
#include "model_program_stub.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "screen_capture_support.h"
#include "platform/winhelp.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "analog/run_windows.h"

namespace kq5::testing {
namespace {

class WindowCommands : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        schematic_ = StartWithSchematic();
        ASSERT_NE(schematic_, nullptr);
        win::ClearMessageBoxLog();
    }
    void TearDown() override
    {
        Analysis().analysisKind = kAnalysisNone;
        ResetRunControlForTests();
        StartedFrame::TearDown();
    }

    int Route(int id)
    {
        const int result = RouteCommand(FrameWindow(), static_cast<win::WPARAM>(id), 0);
        PumpFrameMessages();
        return result;
    }

    int NotAvailableWarnings() const
    {
        int count = 0;
        for (const auto& box : win::MessageBoxLog())
            if (box.text.find("is not available in this build.") != std::string::npos) ++count;
        return count;
    }

    WindowRecord* schematic_ = nullptr;
};

// The grid point shows in the middle of the pane.
void ExpectCentredInPane(WindowRecord* record, int x, int y, int pane)
{
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    win::POINT shown{};
    WorldToScreen(record, shown, x, y, pane);
    EXPECT_NEAR(shown.x, (rect.right - rect.left) / 2, 1);
    EXPECT_NEAR(shown.y, (rect.bottom - rect.top) / 2, 1);
}

TEST_F(WindowCommands, TheModelProgramGetsTheActiveWindowsFile)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kq5_modelprog_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Settings().programDirectory = dir.string() + "/";
    WriteModelProgramStub(dir);
    const std::string name = (dir / "amp stage.cir").string();
    SetRecordTitle(schematic_, name);

    EXPECT_EQ(Route(12913), 0);
    const ModelProgramArgs args = WaitForModelProgramArgs(dir);
    EXPECT_EQ(args.count, "1");
    EXPECT_EQ(args.first, name);
    EXPECT_EQ(NotAvailableWarnings(), 0);

    // Without the program the user is told it is not in this build; the circuit is not blamed.
    std::filesystem::remove(dir / "kq5model");
    win::ClearMessageBoxLog();
    EXPECT_EQ(Route(12913), 0);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("model-fitting program is not part of this build"), std::string::npos);
    EXPECT_EQ(win::MessageBoxLog()[0].text.find("amp stage"), std::string::npos);
    EXPECT_EQ(NotAvailableWarnings(), 0);
    std::filesystem::remove_all(dir);
}

// The Edit and page commands follow what the user did, not flags: a selection enables Cut, Copy
// and Clear, a copy enables Paste, a second page enables Delete Page, and the menu items follow.
TEST_F(WindowCommands, EditAndPageCommandsFollowTheSelectionTheClipboardAndThePages)
{
    const auto state = [](int command) {
        return ToolButtonRows()[static_cast<std::size_t>(FindToolButton(static_cast<std::uint32_t>(command)))].state;
    };
    GridText* text = NewGridText(schematic_);
    ASSERT_NE(text, nullptr);
    text->text = "NOTE";
    text->x = 10;
    text->y = 10;
    RefreshToolButtonStates();
    EXPECT_EQ(state(17201), 1);  // Cut: nothing selected
    EXPECT_EQ(state(17202), 1);  // Copy
    EXPECT_EQ(state(17203), 1);  // Paste: the clipboard is empty
    EXPECT_EQ(state(12201), 1);  // Delete Page: one page

    EXPECT_EQ(Route(17205), 0);  // Select All
    EXPECT_EQ(state(17201), 0);
    EXPECT_EQ(state(17202), 0);
    EXPECT_EQ(state(17204), 0);
    EXPECT_EQ(Route(17202), 0);  // Copy
    EXPECT_EQ(state(17203), 0);
    EXPECT_EQ(Route(17204), 0);  // Clear: nothing selected, something to undo
    EXPECT_EQ(state(17202), 1);
    EXPECT_EQ(state(17200), 0);

    EXPECT_EQ(Route(12200), 0);  // Add Page
    ASSERT_EQ(schematic_->document->pages.size(), 2u);
    EXPECT_EQ(state(12201), 0);
    win::HMENU edit = FindPopupWithCommand(Menus().main, 12201);
    ASSERT_NE(edit, nullptr);
    win::SendMessage(FrameWindow(), win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(edit), 0);
    EXPECT_EQ(win::GetMenuState(edit, 12201, win::MF_BYCOMMAND) & win::MF_GRAYED, 0u);
    EXPECT_EQ(win::GetMenuState(edit, 17203, win::MF_BYCOMMAND) & win::MF_GRAYED, 0u);
}

TEST_F(WindowCommands, CtrlGMovesTheTextAreaIntoTheCurrentPaneAndOutAgain)
{
    CircuitDocument& document = *schematic_->document;
    document.splitterX = 300;
    document.splitterY = 200;
    LayoutPaneControls(schematic_, false);
    ASSERT_TRUE(IsPaneVisible(schematic_, 2));
    document.currentPane = 2;
    const int before = TextPaneOf(schematic_);

    EXPECT_EQ(Route(17669), 0);
    if (before == 2) {
        EXPECT_EQ(TextPaneOf(schematic_), -1);
        EXPECT_EQ(Route(17669), 0);
    }
    EXPECT_EQ(TextPaneOf(schematic_), 2);
    EXPECT_EQ(win::GetFocus(), document.textAreaWindow);
    // The same pane again: the drawing comes back there.
    EXPECT_EQ(Route(17669), 0);
    EXPECT_EQ(TextPaneOf(schematic_), -1);
    EXPECT_NE(document.textAreaPane & 0x1000, 0);
    EXPECT_EQ(NotAvailableWarnings(), 0);
}

TEST_F(WindowCommands, TheFlagsPopupOpensForTheCurrentPane)
{
    CircuitDocument& document = *schematic_->document;
    document.splitterX = 300;
    document.splitterY = 200;
    document.pages[0].extent = {0, 0, 8000, 8000};
    LayoutPaneControls(schematic_, false);
    UpdatePaneScrollBars(schematic_);
    GridText* flag = NewGridText(schematic_);
    ASSERT_NE(flag, nullptr);
    flag->text = "CLK";
    flag->x = 500;
    flag->y = 400;
    flag->flags = kGridTextIsFlag;
    document.currentPane = 0;
    if (TextPaneOf(schematic_) == 0) SetTextAreaPane(schematic_, 0, false);

    // The popup is tracked headless and closes with nothing chosen; its pane is kept for the
    // choice, which then centres the flag in that pane.
    EXPECT_EQ(Route(17671), 0);
    GoToFlag(schematic_, kFirstFlagCommand);
    ExpectCentredInPane(schematic_, 500, 400, 0);
    EXPECT_EQ(NotAvailableWarnings(), 0);
}

bool gFlagsShot = false;

// Inside the popup's own loop: its picture, then the first flag chosen.
void ShootFlagsPopup(win::HWND hwnd, win::UINT, win::UINT_PTR id, win::DWORD)
{
    win::KillTimer(hwnd, id);
    gFlagsShot = win::IsMenuTracking() && SaveScreen("schematic_flags_popup");
    win::headless::PressKey(win::VK_DOWN);
    win::headless::PressKey(win::VK_RETURN);
}

TEST_F(WindowCommands, TheFlagsPopupListsTheFlagsAndGoesToTheChosenOne)
{
    CircuitDocument& document = *schematic_->document;
    document.pages[0].extent = {0, 0, 8000, 8000};
    UpdatePaneScrollBars(schematic_);
    for (const char* name : {"CLK", "RESET", "DATA"}) {
        GridText* flag = NewGridText(schematic_);
        ASSERT_NE(flag, nullptr);
        flag->text = name;
        flag->x = 900;
        flag->y = 700;
        flag->flags = kGridTextIsFlag;
    }
    const int pane = FindVisiblePane(schematic_);
    ASSERT_GE(pane, 0);
    win::SetTimer(FrameWindow(), 0x5152, 50, ShootFlagsPopup);
    EXPECT_EQ(Route(17671), 0);
    EXPECT_TRUE(gFlagsShot);
    ExpectCentredInPane(schematic_, 900, 700, pane);
}

TEST_F(WindowCommands, AltF1GivesTheHelpOfTheDotCommandAtTheCaret)
{
    win::ResetHelpStateForTests();
    schematic_->textArea = "* title\r\n.MODEL D1N4148 D (IS=2.5N)\r\n";
    schematic_->textAreaCaret = 12;
    EXPECT_EQ(Route(17805), 0);
    ASSERT_EQ(win::Help().requests.size(), 1u);
    EXPECT_EQ(win::Help().requests[0].command, win::HELP_CONTEXT);
    EXPECT_EQ(win::Help().requests[0].data, 7000u);
    // A comment line has no topic.
    schematic_->textAreaCaret = 3;
    EXPECT_EQ(Route(17805), 0);
    EXPECT_EQ(win::Help().requests.size(), 1u);
    EXPECT_EQ(NotAvailableWarnings(), 0);
}

TEST_F(WindowCommands, PauseAndStopActOnARunOnly)
{
    RunControlState& rc = RunControl();
    // Nothing runs: both are taken and change nothing.
    EXPECT_EQ(Route(16058), 0);
    EXPECT_EQ(Route(18613), 0);
    EXPECT_EQ(rc.paused, 0);
    EXPECT_EQ(rc.running, 0);
    // A running analysis pauses and waits in its own loop until Pause comes again; then it runs on.
    rc.running = 1;
    const std::uint32_t uses = CommandUseCount(16058);
    win::PostMessage(FrameWindow(), win::WM_COMMAND, 16058, 0);
    EXPECT_EQ(Route(16058), 0);
    EXPECT_EQ(CommandUseCount(16058), uses + 2);
    EXPECT_EQ(rc.running, 1);
    EXPECT_EQ(rc.paused, 0);
    EXPECT_EQ(rc.resumeRequest, 0);
    // Stop reaches the run's key poll as an Esc.
    rc.paused = 0;
    rc.running = 1;
    EXPECT_EQ(RouteCommand(FrameWindow(), 18613, 0), 0);
    win::MSG msg{};
    bool sawEscape = false;
    while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE))
        if (msg.message == win::WM_KEYDOWN && msg.wParam == 0x1B) sawEscape = true;
    EXPECT_TRUE(sawEscape);
    EXPECT_EQ(NotAvailableWarnings(), 0);
}

TEST_F(WindowCommands, F4AndExitProbeTakeTheAnalysisWindow)
{
    WindowRecord* plot = NewDocumentWindow(kWindowTextCircuit, "");
    ASSERT_NE(plot, nullptr);
    win::ShowWindow(plot->window, win::SW_SHOW);
    win::HWND plotWindow = plot->window;
    // No analysis open: nothing happens.
    ActivateWindowRecord(schematic_, false);
    EXPECT_EQ(Route(17152), 0);
    EXPECT_EQ(Route(17156), 0);
    EXPECT_TRUE(win::IsWindow(plotWindow));

    Analysis().analysisKind = kAnalysisTransient;
    RunControl().analysisWindow = plot;
    ActivateWindowRecord(schematic_, false);
    ASSERT_EQ(GetActiveChildRecord(), schematic_);
    EXPECT_EQ(Route(17152), 0);
    EXPECT_EQ(GetActiveChildRecord(), plot);
    EXPECT_EQ(Route(17156), 0);
    EXPECT_FALSE(win::IsWindow(plotWindow));
    RunControl().analysisWindow = nullptr;
    EXPECT_EQ(NotAvailableWarnings(), 0);
}

TEST_F(WindowCommands, LibraryPageKeysGoOnOutsideTheLibraryWindow)
{
    EXPECT_EQ(Route(770), 1);
    EXPECT_EQ(Route(771), 1);
    EXPECT_EQ(NotAvailableWarnings(), 0);
}

}  // namespace
}  // namespace kq5::testing
