// Every circuit of examples/ opens in the window through File > Open and runs its transient
// analysis there, as the README tells a new user to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

// The circuits: every example but the batch's command file.
std::vector<std::string> ExampleCircuits()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".cir" || ext == ".ckt") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ExamplesJourney, EveryExampleOpensInTheWindowAndRuns)
{
    Journey journey("examples");
    const std::vector<std::string> circuits = ExampleCircuits();
    ASSERT_GE(circuits.size(), 3u);
    for (const std::string& name : circuits) std::filesystem::copy_file(kExamples / name, journey.Root() / name);
    ASSERT_TRUE(journey.Start()) << journey.Output();

    bool drawn = false;
    for (const std::string& name : circuits) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(journey.OpenAndRunTransient(name)) << "no numeric output\n" << journey.Output();
        const std::filesystem::path output = journey.Root() / (std::filesystem::path(name).stem().string() + ".TNO");
        journey.Settle();
        journey.Capture("examples_" + std::filesystem::path(name).stem().string());
        if (std::filesystem::path(name).extension() == ".cir") {
            // The drawn example: a 1 V step charging 1u through 1k, 0.632 V at 1 ms.
            drawn = true;
            EXPECT_NE(ReadAll(output).find("     1.000     0.632"), std::string::npos) << ReadAll(output);
        }
        // F3 leaves the analysis; the next file opens beside this circuit.
        journey.Key("F3");
        journey.Settle();
    }
    EXPECT_TRUE(drawn) << "examples/ holds no drawn schematic";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
