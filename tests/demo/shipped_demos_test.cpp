// The Help menu's demos of the shipped demo.kq5 (assembled from data/demos) play headless to
// their END: every step finds what it drives, and the demo's own closing text is shown last.
#include <string>
#include <vector>

#include "demo_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "plots/analysis_window.h"
#include "results/curve_record.h"
#include "platform/common_dialogs.h"

namespace kq5::testing {
namespace {

struct ShippedDemo {
    int label;
    const char* name;
    const char* lastText;  // the start of the demo's last SAY
    // Where the demo shows its work: the start of the SAY at which the screen is kept and the
    // analysis window must show this many curves, each with points. Without it the screen is
    // kept a moment before the end.
    const char* shotText = nullptr;
    int curvesAtShot = 0;
    const char* firstCurveY = nullptr;  // the Y expression of the first curve at the shot
};

// The curves of the open analysis window that have points to draw.
int CurvesWithPoints()
{
    const WindowRecord* analysis = RunControl().analysisWindow;
    if (analysis == nullptr || analysis->plot == nullptr) return -1;
    int count = 0;
    for (int i = 0; i < analysis->plot->curveCount; ++i)
        if (analysis->plot->curves[static_cast<std::size_t>(i)]->lastPointIndex > 0) ++count;
    return count;
}

bool DemoHasSaid(const char* start)
{
    for (const auto& box : win::MessageBoxLog())
        if (box.text.rfind(start, 0) == 0) return true;
    return false;
}

class ShippedDemos : public DemoTest, public ::testing::WithParamInterface<ShippedDemo> {
protected:
    void TearDown() override
    {
        SetPromptDialogsShownHeadless(false);
        win::SetCommonDialogsShownHeadless(false);
        DemoTest::TearDown();
    }
};

TEST_P(ShippedDemos, PlaysToItsEnd)
{
    const ShippedDemo& demo = GetParam();
    Start();
    // The model library shipped with the program, as an installed program has it.
    std::filesystem::copy_file(BuiltScript("NOM.LIB"), dir_ / "NOM.LIB", std::filesystem::copy_options::overwrite_existing);
    InstallAnalysisKindHandlers();
    SetPromptDialogsShownHeadless(true);
    win::SetCommonDialogsShownHeadless(true);
    SetDemoScriptPathForTests(BuiltScript("demo.kq5"));
    PlayDemo(demo.label);
    const std::string screen = std::string("demo_") + demo.name;
    bool shot = false;
    for (int tenth = 0; tenth < 36'000 && DemoPlaying(); ++tenth) {
        if (demo.shotText == nullptr) {
            if (tenth % 10 == 0) SaveScreen(screen);
        } else if (!shot && DemoHasSaid(demo.shotText)) {
            shot = true;
            PumpFrameMessages();
            win::CurrentBackend().Present(true);
            SaveScreen(screen);
            EXPECT_EQ(PixelsARepaintChanges(AnalysisWindowHandle()), 0) << "the analysis window does not show what it holds";
            EXPECT_EQ(CurvesWithPoints(), demo.curvesAtShot);
            if (demo.firstCurveY != nullptr && CurvesWithPoints() > 0) {
                EXPECT_EQ(RunControl().analysisWindow->plot->curves[0]->yExpressionText, demo.firstCurveY);
            }
        }
        PlayToEnd(100);
    }
    ASSERT_FALSE(DemoPlaying());
    if (demo.shotText != nullptr) {
        EXPECT_TRUE(shot) << "never said: " << demo.shotText;
    }
    std::string lastDemoText;
    for (const auto& box : win::MessageBoxLog()) {
        if (box.caption == "Kestrion V Demo") lastDemoText = box.text;
        else ADD_FAILURE() << box.caption << ": " << box.text;
    }
    EXPECT_EQ(lastDemoText.rfind(demo.lastText, 0), 0u) << "stopped early; last text: " << lastDemoText;
}

INSTANTIATE_TEST_SUITE_P(
    HelpMenu, ShippedDemos,
    ::testing::Values(ShippedDemo{0, "general", "That is the end of the General demo."},
                      ShippedDemo{1, "schematic", "Circuits are saved with File, Save As"},
                      ShippedDemo{2, "analysis", "The same limits dialog serves AC and DC analyses.", "v(OUT) charges and discharges", 2, "V(OUT)"},
                      ShippedDemo{3, "analog_digital", "d(DOUT) is the inverter's logic state", "d(DOUT) is the inverter's logic state", 2, "D(DOUT)"},
                      ShippedDemo{4, "probe", "The Vertical and Horizontal menus choose", "The input's square wave and the filtered output", 2, "V(OUT)"},
                      ShippedDemo{5, "stepping", "Stepping works the same way in AC and DC", "Each curve is one value of R1", 2},
                      ShippedDemo{6, "performance", "Performance functions also measure rise and fall", "The peak of v(OUT) falls as R1 grows", 2},
                      ShippedDemo{7, "plots3d", "3D windows turn with the arrow keys", "Each slice of the surface is one run", 2},
                      ShippedDemo{8, "monte_carlo", "Monte Carlo works the same way in AC and DC", "The histogram counts the runs", 2},
                      ShippedDemo{9, "fourier", "FFT, IFT, THD and the correlation", "The square wave's odd harmonics stand out", 2},
                      ShippedDemo{10, "subcircuits", "Its pins are joined in the order"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kq5::testing
