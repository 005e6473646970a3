// End-to-end scripts (tests/e2e/*.txt, assembled by the build) played through the real demo
// player on the started program: they draw and run circuits as a user would, and the tests
// check what they leave on disk.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "demo_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "ui/prompt_dialog.h"
#include "analyses/analysis_install.h"
#include "platform/common_dialogs.h"

namespace kq5::testing {
namespace {

class EndToEndScripts : public DemoTest {
protected:
    void Prepare(const std::string& script)
    {
        Start();
        InstallAnalysisKindHandlers();
        SetPromptDialogsShownHeadless(true);
        win::SetCommonDialogsShownHeadless(true);
        // Boxes are logged and answered, not shown: the test fails on any of them.
        win::SetMessageBoxesShownHeadless(false);
        SetDemoScriptPathForTests(BuiltScript("e2e/" + script + ".kq5"));
    }
    void TearDown() override
    {
        SetPromptDialogsShownHeadless(false);
        win::SetCommonDialogsShownHeadless(false);
        DemoTest::TearDown();
    }
    // Plays, with a screenshot every few simulated seconds when KQ5_E2E_SHOTS is set.
    bool Play(const std::string& name)
    {
        PlayDemo(-1);
        if (!std::getenv("KQ5_E2E_SHOTS")) return PlayToEnd();
        for (int i = 0; i < 400 && DemoPlaying(); ++i) {
            PlayToEnd(std::atoi(std::getenv("KQ5_E2E_SHOTS")));
            SaveScreen(name + "_" + std::to_string(100 + i));
        }
        return !DemoPlaying();
    }
    // Plays the script with the library given and checks that it left `name`.cir and the
    // printed v(OUT) of a 1 ms RC charged by a 1 V step: 1 - exp(-t / 1 ms) at every point.
    void PlayAndCheckRcCharge(const std::string& name, const std::string& library)
    {
        std::ofstream(dir_ / "NOM.LIB") << ".MODEL STEP PUL (VZERO=0 VONE=1 P1=0 P2=1N P3=1 P4=1.001 P5=2)\n"
                                        << library;
        const bool ended = Play("e2e_" + name);
        for (const auto& box : win::MessageBoxLog()) ADD_FAILURE() << box.text;
        ASSERT_TRUE(ended);
        ASSERT_TRUE(std::filesystem::exists(dir_ / (name + ".cir")));
        std::ifstream in(dir_ / (name + ".TNO"));
        ASSERT_TRUE(in.good()) << "no numeric output";
        int rows = 0;
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            double ms = 0.0, volts = 0.0;
            std::string rest;
            if (!(fields >> ms >> volts) || (fields >> rest)) continue;
            EXPECT_NEAR(volts, 1.0 - std::exp(-ms), 0.002) << "at " << ms << " ms";
            ++rows;
        }
        EXPECT_EQ(rows, 51);
    }
};

TEST_F(EndToEndScripts, DrawAndRunAnRcFilter)
{
    Prepare("rc_filter");
    PlayAndCheckRcCharge("rc_filter", "");
}

TEST_F(EndToEndScripts, ACircuitCallingASubcircuit)
{
    Prepare("subcircuit");
    PlayAndCheckRcCharge("subcircuit", ".SUBCKT LOWPASS 1 2 3\nR1 1 3 1K\nC1 3 2 1U\n.ENDS LOWPASS\n");
}

TEST_F(EndToEndScripts, AComponentMadeInTheEditorAndPlaced)
{
    Prepare("component_editor");
    const std::string library = ReadBytes(dir_ / "comp.kq5");
    PlayAndCheckRcCharge("component_editor", "");
    // The circuit uses the part made; the library file is as it was.
    EXPECT_EQ(ReadBytes(dir_ / "comp.kq5"), library);
    EXPECT_NE(ReadBytes(dir_ / "component_editor.cir").find("MYRES"), std::string::npos);
}

}  // namespace
}  // namespace kq5::testing
