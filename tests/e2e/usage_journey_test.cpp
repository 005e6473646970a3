// The usage file as a session leaves it: the commands given and the circuits run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// One transient run of the drawn RC example, then the program ended from its menu: use.kq5 counts
// the run, the commands and the components of each type that the run built. The type counts used
// to be made only for the SPICE export, so no run ever left a "COMP_" line.
TEST(UsageJourney, ARunCountsItsComponentTypes)
{
    Journey journey("usage_run");
    std::filesystem::copy_file(kExamples / "rc_step.cir", journey.Root() / "rc_step.cir");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ASSERT_TRUE(journey.OpenAndRunTransient("rc_step.cir")) << journey.Output();
    journey.Settle(10);
    journey.Press("F3");  // leaves the analysis
    journey.Press("alt+F4");
    journey.Capture("usage_quit");
    journey.Press("Return");  // "Quit Kestrion V?" Yes
    if (journey.Running()) journey.Press("n");  // the circuit is not saved
    ASSERT_TRUE(journey.WaitForExit(20)) << "the program did not end";

    const std::string usage = ReadAll(journey.Root() / "use.kq5");
    EXPECT_NE(usage.find("\nRuns=1\n"), std::string::npos) << usage;
    EXPECT_NE(usage.find("\nTransient=1\n"), std::string::npos) << usage;
    EXPECT_NE(usage.find("\nRun=1\n"), std::string::npos) << usage;
    EXPECT_NE(usage.find("\nCOMP_Resistor=1\n"), std::string::npos) << usage;
    EXPECT_NE(usage.find("\nCOMP_Capacitor=1\n"), std::string::npos) << usage;
}

}  // namespace
}  // namespace kq5::journey
