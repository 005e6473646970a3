#pragma once
// A real stepped transient analysis with its analysis window, and 3-D plot windows over its
// runs. The screen is SDL2 under Xvfb when a display is there, headless otherwise; modal dialogs
// run the steps of a script whenever they wait for input.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "../app/screen_capture_support.h"
#include "../app/screen_test_support.h"
#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "document/analysis_windows.h"
#include "analyses/graph3d_draw.h"
#include "analyses/graph3d_window.h"
#include "results/run_state.h"
#include "ui/color_table.h"
#include "document/preferences.h"
#include "core/linked_list.h"
#include "platform/backend.h"
#include "platform/headless_backend.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/sdl_backend.h"
#include "platform/window.h"
#include "plots/plot_cursors.h"
#include "plots/plot_setup.h"
#include "results/plot_view_settings.h"

namespace kq5::testing {

// An RC low-pass driven by a step, its resistor stepped over five values: the rise of v(2)
// slows run by run, a surface any user of a simulator recognises.
inline constexpr const char* kSteppedRc =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

class Graph3DTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        if (__lsan_disable) __lsan_disable();  // SDL and the X libraries keep what they never free
        ScratchBuildTest::SetUp();
        std::unique_ptr<win::Backend> inner;
        if (win::DisplayAvailable()) {
            win::PlatformOptions options;
            options.width = 1024;
            options.height = 768;
            inner = win::CreateSdlBackend(options);
        }
        if (!inner) inner = std::make_unique<win::HeadlessBackend>();
        auto scripted = std::make_unique<ScriptedBackend>(std::move(inner));
        backend_ = scripted.get();
        win::SetBackend(std::move(scripted));
        SetPreferenceDefaults();
        InitColorTable();
        ResetRunControlForTests();
        ResetRunServicesForTests();
        ResetPlotRunForTests();
        ResetPlotCursorsForTests();
        ResetPlotViewSettingsForTests();
        ResetRunStateForTests();
        ResetGraph3DWindowsForTests();
        InstallAnalysisKindHandlers();
        record_->plot.reset();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetGraph3DWindowsForTests();
        ResetRunServicesForTests();
        ResetRunControlForTests();
        ScratchBuildTest::TearDown();
        if (__lsan_enable) __lsan_enable();
    }

    // Steps the component `name` of stepping slot k linearly from `from` to `to` by `step`.
    void StepComponent(int k, const char* name, const char* from, const char* to, const char* step)
    {
        SteppingSlot& slot = Document().stepping[static_cast<std::size_t>(k)];
        slot.flags = kStepOn | kStepComponent | kStepLinear;
        slot.name = name;
        slot.param = "";
        slot.from = from;
        slot.to = to;
        slot.value = step;
    }

    // Runs the stepped transient of `circuit`: R1 from `from` to `to` by `step`.
    int RunStepped(const char* from = "1K", const char* to = "5K", const char* step = "1K",
                   const char* circuit = kSteppedRc)
    {
        PutCircuit(circuit, "rc3d.cir");
        StepComponent(0, "R1", from, to, step);
        if (const int started = RunAnalysisCommand(record_, 0); started != 0) return started;
        const int result = RunAnalysisTimed(0);
        Pump();
        return result;
    }

    // The six runs of R1 at 1k and 2k and C1 at 0.2u, 0.4u and 0.6u, and a 3-D window in
    // Performance mode over them; null when any step fails.
    WindowRecord* PerformancePlotOfSixRuns(const char* circuit)
    {
        PutCircuit(circuit, "rc3d.cir");
        StepComponent(0, "R1", "1K", "2K", "1K");
        StepComponent(1, "C1", "0.2U", "0.6U", "0.2U");
        if (RunAnalysisCommand(record_, 0) != 0 || RunAnalysisTimed(0) != 0 || RunState().runCount != 6) return nullptr;
        WindowRecord* window = AddPlot();
        if (window) PlotOf(window).performance = kGraph3DPerformance;
        return window;
    }

    // A 3-D plot of v(2) over time and R1, with its window and surface.
    WindowRecord* AddPlot()
    {
        LinkedList* list = CurrentGraph3DList();
        if (!list) return nullptr;
        Graph3DPlot* plot = ListAppendAs<Graph3DPlot>(*list, kKindGraph3DWindow);
        InitGraph3DPlot(*plot);
        WindowRecord* window = CreateGraph3DWindow(*plot, *list);
        if (window) PrepareGraph3DData(window);
        Pump();
        return window;
    }

    static Graph3DPlot& PlotOf(WindowRecord* window) { return *Graph3DPlotOfWindow(window); }

    static void Pump()
    {
        win::MSG msg;
        while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
            win::TranslateMessage(&msg);
            win::DispatchMessage(&msg);
        }
    }

    static void Shoot(const std::string& name)
    {
        Pump();
        win::CurrentBackend().Present(true);
        SaveScreen(name);
    }

    void Script(std::function<void()> step) { backend_->steps.push_back(std::move(step)); }

    ScriptedBackend* backend_ = nullptr;
};

}  // namespace kq5::testing
