// The analysis window inside the program's frame: an MDI child of class "analysis" beside the
// circuit window that it analyses.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/message_box.h"

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "app/frame_window.h"
#include "app/menus.h"
#include "platform/menu.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/limits_dialog.h"
#include "app/command_routing.h"
#include "plots/plot_cursors.h"

namespace kq5::testing {
namespace {

class AnalysisInFrame : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        // The cursor search mode is the program's, not the window's: start from its default.
        ResetPlotCursorsForTests();
    }
};

std::vector<std::string> BarTexts()
{
    std::vector<std::string> texts;
    win::HMENU bar = win::GetMenu(Frame().frame);
    for (int i = 0; i < win::GetMenuItemCount(bar); ++i) {
        const std::string text = win::GetMenuString(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        if (!text.empty()) texts.push_back(text);
    }
    return texts;
}

TEST_F(AnalysisInFrame, TheWindowIsAnMdiChildBesideItsCircuit)
{
    StartWithSchematic();
    const std::vector<std::string> circuitBar = BarTexts();
    InstallAnalysisKindHandlers();
    const std::string path = (dir_ / "rc.cir").string();
    std::ofstream(path, std::ios::binary)
        << "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";
    std::ofstream(dir_ / "NOM.LIB") << "* no models\n";
    WindowRecord* circuit = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, circuit), 0);
    ASSERT_NE(circuit, nullptr);
    PumpFrameMessages();
    const int started = RunAnalysisCommand(circuit, kAnalysisTransient);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    ASSERT_EQ(started, 0);
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    PumpFrameMessages();
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    ASSERT_NE(analysis->window, nullptr);
    EXPECT_EQ(win::GetClassName(analysis->window), "analysis");
    EXPECT_EQ(win::GetParent(analysis->window), Frame().mdiClient);
    EXPECT_EQ(analysis->plot, circuit->plot);
    EXPECT_GT(analysis->plot->curves.at(0)->lastPointIndex, 20);
    // The analysis popups stand in the bar instead of the circuit's Component and Analysis.
    const std::vector<std::string> bar = BarTexts();
    EXPECT_EQ(std::count(bar.begin(), bar.end(), "&Component"), 0);
    EXPECT_EQ(std::count(bar.begin(), bar.end(), "&Analysis"), 0);
    const auto transient = std::find(bar.begin(), bar.end(), "&Transient");
    ASSERT_NE(transient, bar.end());
    ASSERT_LT(transient + 3, bar.end());
    EXPECT_EQ(*(transient + 1), "&Scope");
    EXPECT_EQ(*(transient + 2), "&Cursor Functions");
    EXPECT_EQ(*(transient + 3), "&Monte Carlo");
    EXPECT_EQ(bar.back(), "&Help");
    // The Scope popup checks the window's option bits, Cursor Functions the search mode.
    win::HMENU menuBar = win::GetMenu(Frame().frame);
    win::HMENU scope = nullptr, functions = nullptr;
    for (int i = 0; i < win::GetMenuItemCount(menuBar); ++i) {
        const std::string text = win::GetMenuString(menuBar, static_cast<win::UINT>(i), win::MF_BYPOSITION);
        if (text == "&Scope") scope = win::GetSubMenu(menuBar, i);
        if (text == "&Cursor Functions") functions = win::GetSubMenu(menuBar, i);
    }
    ASSERT_NE(scope, nullptr);
    ASSERT_NE(functions, nullptr);
    InitMenuPopupItems(scope, FrameMenuSituation());
    InitMenuPopupItems(functions, FrameMenuSituation());
    const auto checked = [](win::HMENU menu, win::UINT id) {
        return (win::GetMenuState(menu, id, win::MF_BYCOMMAND) & win::MF_CHECKED) != 0;
    };
    EXPECT_FALSE(checked(scope, 18400));
    EXPECT_TRUE(checked(scope, 18403));
    EXPECT_TRUE(checked(scope, 18404));
    EXPECT_TRUE(checked(functions, 18670));
    EXPECT_FALSE(checked(functions, 18671));
    win::CurrentBackend().Present(true);
    SaveScreen("analysis_in_frame");
    ExitAnalysis();
    PumpFrameMessages();
    EXPECT_EQ(RunControl().analysisWindow, nullptr);
    EXPECT_EQ(BarTexts(), circuitBar);
}


// The Analysis menu as a user works it: Transient Analysis opens the analysis window and the
// Analysis Limits dialog; Run (F2) runs it; the same for AC.
TEST_F(AnalysisInFrame, TheAnalysisMenuStartsAndRunIsF2)
{
    StartWithSchematic();
    InstallAnalysisKindHandlers();
    const std::string path = (dir_ / "rc.cir").string();
    std::ofstream(path, std::ios::binary)
        << "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2) AC 1\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.AC DEC 10 10 100K\n"
           ".PRINT TRAN V(2)\n.END\n";
    std::ofstream(dir_ / "NOM.LIB") << "* no models\n";
    WindowRecord* circuit = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, circuit), 0);
    PumpFrameMessages();
    RouteCommand(Frame().frame, 17600, 0);
    PumpFrameMessages();
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    EXPECT_EQ(Analysis().analysisKind, kAnalysisTransient);
    EXPECT_NE(AnalysisLimitsDialog(), nullptr);
    // Nothing is run yet: the curves come with the run.
    EXPECT_TRUE(analysis->plot->curves.empty() || analysis->plot->curves[0]->lastPointIndex < 0);
    RouteCommand(Frame().frame, 16059, 0);
    PumpFrameMessages();
    ASSERT_FALSE(analysis->plot->curves.empty());
    EXPECT_GT(analysis->plot->curves[0]->lastPointIndex, 20);
    // Another kind from the menu ends the open analysis and starts its own.
    RouteCommand(Frame().frame, 17601, 0);
    PumpFrameMessages();
    EXPECT_EQ(Analysis().analysisKind, kAnalysisAc);
    EXPECT_EQ(RunControl().probeFlag, 0);
    ExitAnalysis();
    PumpFrameMessages();
    EXPECT_EQ(RunControl().analysisWindow, nullptr);
}

}  // namespace
}  // namespace kq5::testing
