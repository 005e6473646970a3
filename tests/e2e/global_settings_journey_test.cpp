// The Global Settings: what a user sets in File > Global Settings is what the next run of a
// circuit uses where the circuit sets no .OPTIONS of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// A diode biased through 1k from 5 V at 27 degrees, its model measured at TNOM. The diode
// drops 0.6972 V with the models measured at 27 and 0.9295 V with them measured at 100
// (ngspice 39 with .OPTIONS TNOM=100 gives the same).
constexpr const char* kDiodeBias =
    "* diode bias\n"
    "V1 1 0 DC 5\nR1 1 2 1k\nD1 2 0 DN\n"
    ".model DN D(IS=1e-14 N=1 XTI=3 EG=1.11 RS=1)\n"
    ".TEMP 27\n.TRAN 1u 10u\n.PRINT TRAN V(2)\n.END\n";

TEST(GlobalSettingsJourney, TnomTypedInGlobalSettingsReachesTheNextRun)
{
    Journey journey("global_settings_tnom");
    std::ofstream(journey.Root() / "bias.ckt") << kDiodeBias;
    ASSERT_TRUE(journey.Start()) << journey.Output();

    // File > Global Settings: the focus starts in ABSTOL; TNOM is the 29th field.
    journey.Key("ctrl+shift+g");
    journey.Settle();
    for (int i = 0; i < 28; ++i) journey.Key("Tab");
    journey.Type("100");
    journey.Settle();
    journey.Capture("global_settings_tnom_dialog");
    journey.Key("Return");
    journey.Settle();

    ASSERT_TRUE(journey.OpenAndRunTransient("bias.ckt")) << journey.Output();
    journey.Settle();
    journey.Capture("global_settings_tnom_run");
    const std::string output = ReadAll(journey.Root() / "bias.TNO");
    EXPECT_NE(output.find("   929.5"), std::string::npos) << output;
    EXPECT_EQ(output.find("   697.1"), std::string::npos) << output;

    // And the setting is kept for the next session.
    journey.Key("F3");
    journey.Settle();
    journey.Key("alt+F4");
    journey.Settle();
    journey.Key("Return");  // "Quit Kestrion V?"
    ASSERT_TRUE(journey.WaitForExit(20)) << journey.Output();
    EXPECT_NE(ReadAll(journey.Root() / "kq5.dat").find("TNOM=100"), std::string::npos);
}

// A RELTOL that is no number ran as 0 with no word said; it is refused now, the field keeps the
// focus, and what the user types next is kept.
TEST(GlobalSettingsJourney, AFieldThatIsNoNumberIsRefusedAndCanBeTypedAgain)
{
    Journey journey("global_settings_refused");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+shift+g");
    journey.Settle();
    const Shot before = journey.Capture();
    for (int i = 0; i < 26; ++i) journey.Key("Tab");  // RELTOL
    journey.Type("abc");
    journey.Key("Return");
    journey.Settle();
    const Shot message = journey.Capture("global_settings_refused_message");
    EXPECT_FALSE(message.SameAs(before));  // the message box over the dialog
    journey.Key("Return");                 // the message's OK
    journey.Settle();
    journey.Type("1e-4");  // replaces the refused text, which is selected
    journey.Key("Return");
    journey.Settle();
    journey.Capture("global_settings_refused_after");
    journey.Key("alt+F4");
    journey.Settle();
    journey.Key("Return");  // "Quit Kestrion V?"
    ASSERT_TRUE(journey.WaitForExit(20)) << journey.Output();
    const std::string settings = ReadAll(journey.Root() / "kq5.dat");
    EXPECT_NE(settings.find("RELTOL=1e-4\r\n"), std::string::npos) << settings;
}

}  // namespace
}  // namespace kq5::journey
