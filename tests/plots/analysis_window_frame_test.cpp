// The analysis window inside the program's frame: an MDI child of class "analysis" beside the
// circuit window that it analyses.
#include <fstream>

#include "platform/message_box.h"

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "platform/window.h"
#include "plots/curve_record.h"

namespace kq5::testing {
namespace {

class AnalysisInFrame : public StartedFrame {};

TEST_F(AnalysisInFrame, TheWindowIsAnMdiChildBesideItsCircuit)
{
    StartWithSchematic();
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
    win::CurrentBackend().Present(true);
    SaveScreen("analysis_in_frame");
    ExitAnalysis();
    PumpFrameMessages();
    EXPECT_EQ(RunControl().analysisWindow, nullptr);
}

}  // namespace
}  // namespace kq5::testing
