// The commands of the "&3D Windows" menu over a stepped analysis: Add with OK and with Cancel,
// the numbered entries of the menu, Delete through its list dialog.
#include "analyses/performance_window.h"
#include "app/frame_window.h"
#include "ui/tool_buttons.h"
#include "graph3d_test_support.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/win_messages.h"

namespace kq5::testing {
namespace {

TEST_F(Graph3DTest, AddKeepsThePlotOnOkAndDropsItOnCancel)
{
    ASSERT_EQ(RunStepped(), 0);
    LinkedList* list = CurrentGraph3DList();
    ASSERT_NE(list, nullptr);
    Script([] { win::SendMessage(win::GetActiveWindow(), win::WM_COMMAND, win::IDCANCEL, 0); });
    EXPECT_NE(RouteGraph3DCommand(kAdd3DWindowCommand, nullptr), 1);
    Pump();
    EXPECT_EQ(list->count, 0);

    std::string caption;
    Script([&] {
        const win::HWND dialog = win::GetActiveWindow();
        caption = win::GetWindowText(dialog);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    EXPECT_EQ(RouteGraph3DCommand(kAdd3DWindowCommand, nullptr), 0);
    Pump();
    EXPECT_EQ(caption, "Add 3D Plot");
    ASSERT_EQ(list->count, 1);
    Graph3DPlot* plot = ListHead<Graph3DPlot>(*list);
    ASSERT_NE(plot->surface.window, nullptr);
    EXPECT_TRUE(plot->surface.HasGrid());
    EXPECT_EQ(plot->patchesX, 40);
    EXPECT_EQ(plot->color, kPatchRainbow);
    EXPECT_DOUBLE_EQ(plot->rotation[0], 30.0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(Graph3DTest, MenuListsEveryPlotWithACheckOnThoseShown)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* first = AddPlot();
    WindowRecord* second = AddPlot();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    PlotOf(first).view.title = "First";
    PlotOf(second).view.title = "Second";
    win::SendMessage(second->window, win::WM_COMMAND, kGraph3DHideWindow, 0);
    Pump();
    const win::HMENU popup = win::CreatePopupMenu();
    win::AppendMenu(popup, win::MF_STRING, kAdd3DWindowCommand, "&Add 3D Window...");
    win::AppendMenu(popup, win::MF_STRING, kChange3DWindowCommand, "&Change 3D Window...");
    win::AppendMenu(popup, win::MF_STRING, kDelete3DWindowCommand, "&Delete 3D Window...");
    for (int pass = 0; pass < 2; ++pass) {  // opening twice lists each plot once
        RebuildGraph3DMenu(popup);
        ASSERT_EQ(win::GetMenuItemCount(popup), 6);
    }
    EXPECT_EQ(win::GetMenuString(popup, kFirst3DWindowEntry, win::MF_BYCOMMAND), "First");
    EXPECT_EQ(win::GetMenuString(popup, kFirst3DWindowEntry + 1, win::MF_BYCOMMAND), "Second");
    EXPECT_TRUE(win::GetMenuState(popup, kFirst3DWindowEntry, win::MF_BYCOMMAND) & win::MF_CHECKED);
    EXPECT_FALSE(win::GetMenuState(popup, kFirst3DWindowEntry + 1, win::MF_BYCOMMAND) & win::MF_CHECKED);
    EXPECT_FALSE(win::GetMenuState(popup, kAdd3DWindowCommand, win::MF_BYCOMMAND) & win::MF_GRAYED);
    win::DestroyMenu(popup);
}

// The menu reaches ten plots by its numbered entries, so an eleventh is not made.
TEST_F(Graph3DTest, AddStopsAtTenPlots)
{
    ASSERT_EQ(RunStepped(), 0);
    LinkedList* list = CurrentGraph3DList();
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < kMaxGraph3DPlots; ++i) ListAppendAs<Graph3DPlot>(*list, kKindGraph3DWindow)->view.title = "Hidden";
    bool dialogShown = false;
    Script([&] {
        dialogShown = true;
        win::SendMessage(win::GetActiveWindow(), win::WM_COMMAND, win::IDCANCEL, 0);
    });
    EXPECT_NE(RouteGraph3DCommand(kAdd3DWindowCommand, nullptr), 1);
    Pump();
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(list->count, kMaxGraph3DPlots);
    const win::HMENU popup = win::CreatePopupMenu();
    win::AppendMenu(popup, win::MF_STRING, kAdd3DWindowCommand, "&Add 3D Window...");
    RebuildGraph3DMenu(popup);
    EXPECT_TRUE(win::GetMenuState(popup, kAdd3DWindowCommand, win::MF_BYCOMMAND) & win::MF_GRAYED);
    EXPECT_EQ(win::GetMenuString(popup, kLast3DWindowEntry, win::MF_BYCOMMAND), "Hidden");
    win::DestroyMenu(popup);
}

TEST_F(Graph3DTest, DeleteRemovesTheChosenPlotsShownOrHidden)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* first = AddPlot();
    WindowRecord* second = AddPlot();
    WindowRecord* third = AddPlot();
    ASSERT_NE(third, nullptr);
    PlotOf(first).view.title = "Keep";
    win::SendMessage(second->window, win::WM_COMMAND, kGraph3DHideWindow, 0);
    Pump();
    LinkedList* list = CurrentGraph3DList();
    ASSERT_EQ(list->count, 3);
    Script([] {
        const win::HWND dialog = win::GetActiveWindow();
        const win::HWND items = win::GetDlgItem(dialog, 101);
        win::SendMessage(items, win::LB_SETSEL, win::TRUE, 1);
        win::SendMessage(items, win::LB_SETSEL, win::TRUE, 2);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    EXPECT_EQ(RouteGraph3DCommand(kDelete3DWindowCommand, nullptr), 0);
    Pump();
    ASSERT_EQ(list->count, 1);
    EXPECT_EQ(ListHead<Graph3DPlot>(*list)->view.title, "Keep");
    EXPECT_NE(ListHead<Graph3DPlot>(*list)->surface.window, nullptr);
}

// The tool-bar buttons follow the analysis: Add needs curves of several runs, Delete a plot; a
// performance window needs several runs too. Everything but the window in front (this test has no
// frame) is the running program's own.
TEST_F(Graph3DTest, ToolButtonsFollowTheRunsAndThePlots)
{
    const auto live = [] {
        ToolButtonSituation situation = FrameToolButtonSituation();
        situation.childActive = true;
        situation.kind = kWindowAnalysis;
        return situation;
    };
    PutCircuit(kSteppedRc, "rc3d.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, 0), 0);
    ASSERT_EQ(RunAnalysisTimed(0), 0);
    ToolButtonSituation situation = live();
    EXPECT_TRUE(situation.plotHasCurves);
    EXPECT_EQ(situation.steppedCases, 0);
    EXPECT_EQ(ToolButtonStateFor(kAdd3DWindowCommand, situation), 1);
    EXPECT_EQ(ToolButtonStateFor(kCmdAddPerformanceWindow, situation), 1);
    ExitAnalysis();

    ASSERT_EQ(RunStepped(), 0);
    situation = live();
    EXPECT_TRUE(situation.plotHasCurves);
    EXPECT_EQ(situation.steppedCases, 5);
    EXPECT_EQ(ToolButtonStateFor(kAdd3DWindowCommand, situation), 0);
    EXPECT_EQ(ToolButtonStateFor(kDelete3DWindowCommand, situation), 1);
    EXPECT_EQ(ToolButtonStateFor(kCmdAddPerformanceWindow, situation), 0);
    ASSERT_NE(AddPlot(), nullptr);
    situation = live();
    EXPECT_EQ(situation.threeDWindows, 1);
    EXPECT_FALSE(situation.busy);
    EXPECT_FALSE(situation.running);
    EXPECT_FALSE(situation.paused);
    EXPECT_TRUE(situation.analysisOpen);
    EXPECT_EQ(ToolButtonStateFor(kDelete3DWindowCommand, situation), 0);
}

}  // namespace
}  // namespace kq5::testing
