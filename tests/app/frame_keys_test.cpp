// Keys of the started frame: which accelerator table a key meets first in each kind of window,
// the keys reaching the frame as commands, and the keyboard hook's Ctrl+Shift+W.
#include <gtest/gtest.h>

#include <vector>

#include "platform/print.h"
#include "app/command_routing.h"
#include "document/circuit_document.h"
#include "frame_test_support.h"
#include "platform/dialog.h"

namespace kq5::testing {
namespace {

TEST(AcceleratorChoice, WindowKindsPickTheirTablesInOrder)
{
    // The Analysis Limits dialog: its own table, then the run keys of table 511 (no F9 there).
    AcceleratorChoice limits = ChooseAcceleratorTables(10, 0, false, true);
    EXPECT_EQ(limits.windowTable, 509);
    EXPECT_EQ(limits.secondTable, 0);
    EXPECT_EQ(limits.runTable, 511);
    EXPECT_EQ(ChooseAcceleratorTables(0, 10, false, false).runTable, 511);
    // A text circuit window's edit control: with an analysis open F9 comes from table 512,
    // without one Alt+1 to Alt+3 from table 507.
    AcceleratorChoice text = ChooseAcceleratorTables(0, 2, true, true);
    EXPECT_EQ(text.windowTable, 501);
    EXPECT_EQ(text.secondTable, 504);
    EXPECT_EQ(text.runTable, 512);
    EXPECT_EQ(ChooseAcceleratorTables(0, 2, true, false).runTable, 507);
    // A schematic's text area gets the text keys, its drawing pane the schematic keys.
    EXPECT_EQ(ChooseAcceleratorTables(0, 1, true, false).windowTable, 501);
    EXPECT_EQ(ChooseAcceleratorTables(1, 0, false, false).windowTable, 505);
    EXPECT_EQ(ChooseAcceleratorTables(1, 0, false, false).secondTable, 504);
    // Model library, Monte Carlo, plot windows, and the rest.
    EXPECT_EQ(ChooseAcceleratorTables(0, 3, false, false).windowTable, 508);
    EXPECT_EQ(ChooseAcceleratorTables(6, 0, false, false).secondTable, 504);
    EXPECT_EQ(ChooseAcceleratorTables(0, 6, false, false).secondTable, 0);
    for (int kind : {5, 19, 8}) EXPECT_EQ(ChooseAcceleratorTables(kind, 0, false, true).windowTable, 503);
    EXPECT_EQ(ChooseAcceleratorTables(5, 0, false, true).runTable, 506);
    const AcceleratorChoice none = ChooseAcceleratorTables(17, 0, false, false);
    EXPECT_EQ(none.windowTable, 0);
    EXPECT_EQ(none.secondTable, 0);
}

class FrameKeys : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        schematic_ = StartWithSchematic();
        SpyOnFrame(FrameWindow());
        ASSERT_NE(schematic_, nullptr);
        ASSERT_EQ(schematic_->kind, kWindowSchematic);
    }

    void Press(int vk, bool ctrl, bool shift = false, bool alt = false)
    {
        win::headless::PressKeyWithModifiers(vk, ctrl, shift, alt);
        PumpFrameMessages();
    }

    WindowRecord* schematic_ = nullptr;
};

TEST_F(FrameKeys, EveryTableIsLoadedInItsOrder)
{
    for (int id : kAcceleratorTableIds) EXPECT_NE(AcceleratorTable(id), nullptr) << id;
    EXPECT_EQ(AcceleratorTable(502), nullptr);
}

TEST_F(FrameKeys, TheDrawingPaneAndTheTextAreaGiveCtrlDTheirOwnCommands)
{
    win::SetFocus(schematic_->window);
    Press('D', true);
    ASSERT_FALSE(Spy().commands.empty());
    EXPECT_EQ(Spy().commands.back(), 17562);  // component mode
    EXPECT_EQ(schematic_->mode, 17562);

    ASSERT_NE(schematic_->document->textAreaWindow, nullptr);
    win::SetFocus(schematic_->document->textAreaWindow);
    Spy().commands.clear();
    Press('D', true);
    ASSERT_FALSE(Spy().commands.empty());
    EXPECT_EQ(Spy().commands.back(), 3804);
}

TEST_F(FrameKeys, RunTableFollowsWhetherAnAnalysisIsOpen)
{
    win::SetFocus(schematic_->window);
    Press('3', true);  // Ctrl+3: tool bar 3 while no analysis is open
    ASSERT_FALSE(Spy().commands.empty());
    EXPECT_EQ(Spy().commands.back(), 17543);
    Spy().commands.clear();
    Press(win::VK_F6, false);  // auto scale: only while an analysis is open
    EXPECT_TRUE(Spy().commands.empty());
}

TEST_F(FrameKeys, FunctionKeysPassAnOpenModelessDialog)
{
    win::HWND dialog = win::CreateDialogParam(nullptr, static_cast<win::UINT_PTR>(kStatisticsDialog), FrameWindow(),
                                              nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    Frame().modelessDialog = dialog;
    win::ShowWindow(dialog, win::SW_SHOW);
    win::SetFocus(win::GetDlgItem(dialog, 101));
    Press(win::VK_F5, false);
    ASSERT_FALSE(Spy().commands.empty());
    EXPECT_EQ(Spy().commands.back(), 17151);
    Frame().modelessDialog = nullptr;
    win::DestroyWindow(dialog);
}

TEST_F(FrameKeys, CtrlShiftWHeldDownPrintsOnce)
{
    win::ClearMessageBoxLog();
    win::ResetPrintStateForTests();
    const std::string picture = (dir_ / "picture.pdf").string();
    win::ScriptPrintOutputFile(picture);
    win::ScriptPrintOutputFile(picture + ".second");
    win::SetFocus(schematic_->window);
    win::headless::KeyDown(win::VK_CONTROL);
    win::headless::KeyDown(win::VK_SHIFT);
    win::headless::KeyDown('W');
    win::headless::KeyDown('W');  // auto-repeat
    win::headless::KeyDown('W');
    win::headless::KeyUp('W');
    win::headless::KeyUp(win::VK_SHIFT);
    win::headless::KeyUp(win::VK_CONTROL);
    PumpFrameMessages();
    EXPECT_TRUE(std::filesystem::exists(picture));
    EXPECT_EQ(win::Printing().scripted.size(), 1u);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    win::ResetPrintStateForTests();
}

}  // namespace
}  // namespace kq5::testing
