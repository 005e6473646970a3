#pragma once
// A real analysis window on the screen (SDL2 under Xvfb when a display is there, headless
// otherwise): text circuits in a scratch directory are run through the analysis commands, and
// the window's pixels can be read back and saved as screenshots.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../app/screen_capture_support.h"
#include "../netlist/scratch_build_test.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "ui/color_table.h"
#include "document/preferences.h"
#include "platform/backend.h"
#include "platform/headless_backend.h"
#include "platform/message.h"
#include "platform/screen.h"
#include "platform/sdl_backend.h"
#include "platform/window.h"
#include "plots/analysis_window.h"
#include "plots/plot_cursors.h"
#include "plots/plot_setup.h"
#include "results/plot_view_settings.h"

extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace kq5::testing {

class AnalysisWindowTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        if (__lsan_disable) __lsan_disable();  // SDL and the X libraries keep what they never free
        ScratchBuildTest::SetUp();
        if (win::DisplayAvailable()) {
            win::PlatformOptions options;
            options.width = 1024;
            options.height = 768;
            if (auto sdl = win::CreateSdlBackend(options)) win::SetBackend(std::move(sdl));
        }
        SetPreferenceDefaults();
        InitColorTable();
        ResetRunControlForTests();
        ResetRunServicesForTests();
        ResetPlotRunForTests();
        ResetPlotCursorsForTests();
        ResetPlotViewSettingsForTests();
        InstallAnalysisKindHandlers();
        record_->plot.reset();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetRunServicesForTests();
        ResetRunControlForTests();
        ScratchBuildTest::TearDown();
        if (__lsan_enable) __lsan_enable();
    }

    // Runs the analysis of the netlist; 0 or the run's result.
    int Run(const std::string& netlist, int kind, const std::string& name = "rc.cir")
    {
        PutCircuit(netlist, name);
        if (const int started = RunAnalysisCommand(record_, kind); started != 0) return started;
        const int result = RunAnalysisTimed(kind);
        Pump();
        return result;
    }

    static void Pump()
    {
        win::MSG msg;
        while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
            win::TranslateMessage(&msg);
            win::DispatchMessage(&msg);
        }
    }

    static WindowRecord* Window() { return RunControl().analysisWindow; }
    static PlotRecord& Plot() { return *Window()->plot; }
    static CurveRecord& Curve(int i) { return *Plot().curves[static_cast<std::size_t>(i)]; }

    // The screen pixel of a client point of the analysis window.
    static win::COLORREF ClientPixel(int x, int y)
    {
        win::POINT p{x, y};
        win::ClientToScreen(Window()->window, &p);
        return win::ScreenPixel(p.x, p.y) & 0xFFFFFF;
    }

    static void Shoot(const std::string& name)
    {
        Pump();
        win::CurrentBackend().Present(true);
        SaveScreen(name);
    }
};

}  // namespace kq5::testing
