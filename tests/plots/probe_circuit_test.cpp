// Probe mode on a real schematic circuit: the analysis runs once for the whole circuit, then a
// click on a node of the circuit window plots that node's voltage in the analysis window.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

#include "../app/frame_test_support.h"
#include "circuit_file_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "core/analysis_state.h"
#include "app/command_routing.h"
#include "app/frame_window.h"
#include "app/menus.h"
#include "app/tool_windows.h"
#include "platform/menu.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/probe_mode.h"
#include "results/waveform_store.h"
#include "document/editor_services.h"
#include "document/pane_seams.h"

namespace kq5::testing {
namespace {

// The battery's RC circuit with a plot of v(1).
const std::string kProbeCircuit =
    BatteryRcCircuit() +
    "[WaveForm]\r\nAnalysis=Transient\r\nPlt=1\r\nXExp=T\r\nYExp=v(1)\r\nXRng=5m,0\r\nYRng=Auto\r\n\r\n";

class ProbeCircuitTest : public StartedFrame {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        PumpFrameMessages();
        RunControl().probeFlag = 0;
        ResetProbeModeForTests();
        StartedFrame::TearDown();
    }

    // The frame started, the analysis kinds installed, the probe circuit loaded and shown.
    WindowRecord* LoadProbeCircuit()
    {
        Start();
        InstallAnalysisKindHandlers();
        WindowRecord* circuit =
            WriteAndLoadCircuit(dir_, "probe.cir", kProbeCircuit.c_str(), kFileKindSchematic, kLoadDefaults | kLoadShowWindow);
        PumpFrameMessages();
        return circuit;
    }

    // Transient Probe from the menu with the circuit active: the whole circuit runs once, then
    // the probe waits for clicks.
    static void StartTransientProbe(WindowRecord* circuit)
    {
        win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
        PumpFrameMessages();
        RouteCommand(Frame().frame, 17603, 0);
        PumpFrameMessages();
    }

    // A click on the junction of R1 and C1.
    static void ClickJunction(WindowRecord* circuit)
    {
        win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
        PumpFrameMessages();
        const int pane = FindVisiblePane(circuit);
        const win::POINT at = GridToPaneClient(circuit, 16, 10, pane);
        const win::LPARAM where = win::MAKELPARAM(at.x, at.y);
        win::SendMessage(circuit->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, where);
        win::SendMessage(circuit->window, win::WM_LBUTTONUP, 0, where);
        PumpFrameMessages();
    }
};

TEST_F(ProbeCircuitTest, AClickOnANodePlotsItsVoltage)
{
    WindowRecord* circuit = LoadProbeCircuit();
    ASSERT_NE(circuit, nullptr);

    StartTransientProbe(circuit);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    ASSERT_EQ(Analysis().analysisKind, kAnalysisTransient);
    EXPECT_EQ(RunControl().probeFlag, 1);
    EXPECT_EQ(RunControl().probeState, kProbeIdle);
    EXPECT_TRUE(ProbeMode().rows.empty());
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    // The probe's menus stand in the bar; they open with the descriptor's choices checked.
    win::HMENU bar = win::GetMenu(Frame().frame);
    std::vector<std::string> texts;
    for (int i = 0; i < win::GetMenuItemCount(bar); ++i)
        texts.push_back(win::GetMenuString(bar, static_cast<win::UINT>(i), win::MF_BYPOSITION));
    for (const char* name : {"&Probe", "&Vertical", "&Horizontal", "&Scope"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), name), texts.end()) << name;
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "&Transient"), texts.end());
    win::HMENU probeMenu = FindPopupWithCommand(bar, kCmdProbeManyTraces);
    ASSERT_NE(probeMenu, nullptr);
    win::SendMessage(Frame().frame, win::WM_INITMENUPOPUP, reinterpret_cast<win::WPARAM>(probeMenu), 0);
    EXPECT_TRUE(win::GetMenuState(probeMenu, kCmdProbeManyTraces, win::MF_BYCOMMAND) & win::MF_CHECKED);
    EXPECT_FALSE(win::GetMenuState(probeMenu, kCmdProbeOneTrace, win::MF_BYCOMMAND) & win::MF_CHECKED);
    EXPECT_TRUE(win::GetMenuState(probeMenu, kCmdProbeDeleteAll, win::MF_BYCOMMAND) & win::MF_GRAYED);
    win::SendMessage(Frame().mdiClient, win::WM_MDITILE, 0, 0);
    PumpFrameMessages();

    ClickJunction(circuit);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;

    ASSERT_EQ(ProbeMode().rows.size(), 1u);
    ASSERT_NE(analysis->plot, nullptr);
    ASSERT_EQ(analysis->plot->curveCount, 1);
    const CurveRecord& c = *analysis->plot->curves[0];
    ASSERT_GT(c.lastPointIndex, 10);
    // The capacitor holds the battery's 2 V from the operating point on.
    const double last = GetWaveformValue(analysis->plot->store, c.storeSlots[kWaveformY], c.lastPointIndex);
    EXPECT_NEAR(last, 2.0, 1e-6);
    win::InvalidateRect(analysis->window, nullptr, 1);
    win::UpdateWindow(analysis->window);
    PumpFrameMessages();
    win::CurrentBackend().Present(true);
    EXPECT_TRUE(SaveScreen("analysis_probe_mode"));
}

// In probe mode the plot cannot be maximised over the schematic: it fills the client area
// instead, so the menu bar keeps its probe menus; activating it brings the tool buttons up to date.
TEST_F(ProbeCircuitTest, MaximisingTheProbePlotFillsTheClientArea)
{
    WindowRecord* circuit = LoadProbeCircuit();
    ASSERT_NE(circuit, nullptr);
    StartTransientProbe(circuit);
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    ASSERT_EQ(RunControl().probeFlag, 1);

    win::SendMessage(analysis->window, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
    PumpFrameMessages();
    EXPECT_FALSE(win::IsZoomed(analysis->window));
    win::RECT client{}, window{};
    win::GetClientRect(Frame().mdiClient, &client);
    win::GetWindowRect(analysis->window, &window);
    EXPECT_EQ(window.right - window.left, client.right);
    EXPECT_EQ(window.bottom - window.top, client.bottom);

    const bool curves = analysis->plot && analysis->plot->curveCount > 0;
    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    PumpFrameMessages();
    ToolSituation().plotHasCurves = !curves;
    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(analysis->window), 0);
    PumpFrameMessages();
    EXPECT_EQ(ToolSituation().plotHasCurves, curves);
}

// The data type word of a run data file (0 solution only, 1 V and I, 2 everything).
int RunDataTypeWord(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    unsigned char header[4] = {};
    in.read(reinterpret_cast<char*>(header), 4);
    return in ? header[2] | header[3] << 8 : -1;
}

// Probe mode started again on an unchanged circuit plots from the run it kept instead of
// simulating; after an edit it simulates again. The kept run holds what the Probe menu asked.
TEST_F(ProbeCircuitTest, AnUnchangedCircuitIsProbedFromItsKeptRun)
{
    WindowRecord* circuit = LoadProbeCircuit();
    ASSERT_NE(circuit, nullptr);
    int runs = 0;
    ProbeMode().run = [&runs] {
        ++runs;
        return RunAnalysisTimed(Analysis().analysisKind);
    };
    StartTransientProbe(circuit);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(RunDataTypeWord(dir_ / "probe.TSA"), 1);  // "Save V and I Only", as probe mode starts
    ExitAnalysis();
    PumpFrameMessages();

    MarkModified(circuit);
    CurrentProbeDescriptor().words[kProbeKeep] = kCmdProbeSaveAll;
    StartTransientProbe(circuit);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(RunDataTypeWord(dir_ / "probe.TSA"), 2);
    ExitAnalysis();
    PumpFrameMessages();

    CurrentProbeDescriptor().words[kProbeKeep] = kCmdProbeSaveVI;
    StartTransientProbe(circuit);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    ASSERT_EQ(Analysis().analysisKind, kAnalysisTransient);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(RunControl().probeState, kProbeIdle);
    // The kept run holds everything.
    EXPECT_EQ(CurrentProbeDescriptor().words[kProbeKeep], kCmdProbeSaveAll);
    ClickJunction(circuit);
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    EXPECT_EQ(runs, 3);  // the replot
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    ASSERT_EQ(analysis->plot->curveCount, 1);
    const CurveRecord& c = *analysis->plot->curves[0];
    ASSERT_GT(c.lastPointIndex, 10);
    EXPECT_NEAR(GetWaveformValue(analysis->plot->store, c.storeSlots[kWaveformY], c.lastPointIndex), 2.0, 1e-6);
    ExitAnalysis();
    PumpFrameMessages();

    MarkModified(circuit);
    StartTransientProbe(circuit);
    EXPECT_EQ(runs, 4);
}

// A probe run that fails is reported; the analysis ends and its window closes.
TEST_F(ProbeCircuitTest, AFailedProbeRunEndsTheAnalysis)
{
    WindowRecord* circuit = LoadProbeCircuit();
    ASSERT_NE(circuit, nullptr);
    int runs = 0;
    ProbeMode().run = [&runs] {
        ++runs;
        return kMsgInsufficientMemory;
    };
    RunControl().probeFlag = 1;
    EXPECT_EQ(RunAnalysisCommand(circuit, kAnalysisTransient), kMsgAlreadyReported);
    PumpFrameMessages();
    EXPECT_EQ(runs, 1);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("Insufficient memory."), std::string::npos);
    EXPECT_EQ(RunControl().analysisWindow, nullptr);
    EXPECT_EQ(Analysis().analysisKind, kAnalysisNone);
    EXPECT_TRUE(ProbeMode().rows.empty());
}

}  // namespace
}  // namespace kq5::testing
