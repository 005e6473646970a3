// Every circuit of examples/ opens in the window through File > Open, as the README tells a new
// user: a netlist as text, the drawn circuit on its drawing; each runs its transient analysis.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";
constexpr std::uint32_t kWireColour = 0x008000;

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
        // F3 leaves the analysis and shows the circuit's window as the file opened it: a text
        // circuit (.ckt) as its text, a drawn one (.cir) on its drawing, where a wire joins V1
        // and R1 in the wire colour; its comment lines wait on the Text tab. The next file opens
        // beside this one.
        journey.Key("F3");
        journey.Settle();
        const Shot window = journey.Capture("examples_" + std::filesystem::path(name).stem().string() + "_window");
        if (std::filesystem::path(name).extension() == ".cir") {
            EXPECT_GT(window.Count(0, 90, 1240, 930, kWireColour), 100) << "the drawn circuit does not open on its drawing";
        }
    }
    EXPECT_TRUE(drawn) << "examples/ holds no drawn schematic";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
