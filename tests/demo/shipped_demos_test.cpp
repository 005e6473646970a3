// The Help menu's demos of the shipped demo.kq5 (assembled from data/demos) play headless to
// their END: every step finds what it drives, and the demo's own closing text is shown last.
#include <string>

#include "demo_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "app/prompt_dialog.h"
#include "app/window_record.h"
#include "platform/common_dialogs.h"

namespace kq5::testing {
namespace {

struct ShippedDemo {
    int label;
    const char* name;
    const char* lastText;  // the start of the demo's last SAY
};

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
    // The screen is kept as it was a moment before the end, for a look at the demo's work.
    for (int second = 0; second < 3600 && DemoPlaying(); ++second) {
        SaveScreen(std::string("demo_") + demo.name);
        PlayToEnd(1000);
    }
    ASSERT_FALSE(DemoPlaying());
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
                      ShippedDemo{2, "analysis", "The same limits dialog serves AC and DC analyses."},
                      ShippedDemo{3, "analog_digital", "d(DOUT) is the inverter's logic state"},
                      ShippedDemo{5, "stepping", "Stepping works the same way in AC and DC"},
                      ShippedDemo{6, "performance", "Performance functions also measure rise and fall"},
                      ShippedDemo{7, "plots3d", "3D windows turn with the arrow keys"},
                      ShippedDemo{8, "monte_carlo", "Monte Carlo works the same way in AC and DC"},
                      ShippedDemo{9, "fourier", "FFT, IFT, THD and the correlation"},
                      ShippedDemo{10, "subcircuits", "Its pins are joined in the order"}),
    [](const auto& info) { return std::string(info.param.name); });

// A demo not written yet finds no label of its own before the script's END: it ends at once, and
// the user's documents come back.
TEST_F(DemoTest, DemosNotWrittenYetEndAtOnce)
{
    Start();
    SetDemoScriptPathForTests(BuiltScript("demo.kq5"));
    for (int label : {4}) {
        SCOPED_TRACE(label);
        PlayDemo(label);
        ASSERT_TRUE(PlayToEnd(60'000));
        EXPECT_TRUE(win::MessageBoxLog().empty());
        EXPECT_NE(GetActiveChildRecord(), nullptr);
    }
}

}  // namespace
}  // namespace kq5::testing
