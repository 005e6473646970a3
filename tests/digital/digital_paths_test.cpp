// Paths of the digital circuit: sources, fan-out, loops, from-to cuts, delays by edge through
// inverting gates, the listing, and the cap on an exponential number of paths.
#include "digital_test_support.h"
#include "digital/digital_paths.h"

namespace kq5::testing {
namespace {

std::string Name(int device) { return "U" + std::to_string(device); }

std::vector<std::vector<int>> Paths(int from = 0, int to = 0)
{
    DigitalPathSet set;
    EXPECT_EQ(FindDigitalPaths(set, from, to, 100000), 0);
    return set.paths;
}

TEST(DigitalPaths, NoSourcesListOnlyTheHeader)
{
    DigitalCircuit c;
    c.Gate(kComponentBuf, {"a"}, "y", 1);
    ASSERT_EQ(c.Build(), 0);
    DigitalPathSet set;
    ASSERT_EQ(FindDigitalPaths(set, 0, 0, 100), 0);
    EXPECT_EQ(PathListing(set, 80, Name, "3"), (std::vector<std::string>{"No.  LH-Delay  HL-Delay  Path"}));
}

TEST(DigitalPaths, FanOutLoopsAndCuts)
{
    DigitalCircuit c;
    c.Stim({"a"}, {});                                  // 1
    c.Gate(kComponentBuf, {"a"}, "b", 1);               // 2
    c.Gate(kComponentInv, {"b"}, "c", 1);               // 3: first reader of b
    c.Gate(kComponentAnd, {"b", "d"}, "d", 1);          // 4: second reader of b, a loop on d
    c.Gate(kComponentBuf, {"c"}, "e", 1);               // 5
    c.Add(kComponentDff, kClassEdgeFlipFlop, {"e", "e", "e", "e"}, {"qb", "q"}, std::vector<std::int32_t>(30, 0));  // 6: ends paths
    ASSERT_EQ(c.Build(), 0);
    // The loop through the AND gate's own output ends where it comes back to the gate.
    EXPECT_EQ(Paths(), (std::vector<std::vector<int>>{{1, 2, 3, 5}, {1, 2, 4, 4}, {6}}));
    // From the buffer to the inverter: cut there; the AND branch never reaches it.
    EXPECT_EQ(Paths(2, 3), (std::vector<std::vector<int>>{{2, 3}, {2, 4, 4}}));
    EXPECT_EQ(Paths(2, 2), (std::vector<std::vector<int>>{{2}, {-1}}));  // the repeat is removed
}

TEST(DigitalPaths, InverterSwapsTheEdgeBeforeItsDelay)
{
    DigitalCircuit c;
    c.Stim({"a"}, {});
    c.Gate(kComponentBuf, {"a"}, "b", 2, 3);   // rise 2, fall 3
    c.Gate(kComponentInv, {"b"}, "y", 5, 11);  // rise 5, fall 11
    ASSERT_EQ(c.Build(), 0);
    DigitalSimulator().timeUnit = 1e-9;
    const DigitalPathDelay delay = PathDelay({1, 2, 3});
    // A falling start falls through the buffer (3) and rises out of the inverter (5): LH.
    EXPECT_DOUBLE_EQ(delay.lh, 8e-9);
    EXPECT_DOUBLE_EQ(delay.hl, 13e-9);
    DigitalPathSet set;
    ASSERT_EQ(FindDigitalPaths(set, 0, 0, 10), 0);
    const auto lines = PathListing(set, 36, Name, "3");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 5), "0000 ");
    EXPECT_EQ(lines[1].substr(lines[1].size() - 8), "U1 U2 U3");
    // A narrow list continues the names on further lines under the path column.
    const auto narrow = PathListing(set, 28, Name, "3");
    ASSERT_EQ(narrow.size(), 4u);
    EXPECT_EQ(narrow[2], std::string(25, ' ') + "U2");
}

TEST(DigitalPaths, ExponentialFanOutIsCappedAndCanBeStopped)
{
    DigitalCircuit c;
    c.Stim({"n0"}, {});
    for (int i = 0; i < 40; ++i) {
        // Two gates read each node and both drive the next: 2^40 paths.
        const std::string in = "n" + std::to_string(i), out = "n" + std::to_string(i + 1);
        c.Gate(kComponentBuf, {in}, out, 1);
        c.Gate(kComponentBuf, {in}, out, 1);
    }
    ASSERT_EQ(c.Build(), 0);
    DigitalPathSet set;
    EXPECT_EQ(FindDigitalPaths(set, 0, 0, 5000), 0);
    EXPECT_TRUE(set.capped);
    EXPECT_EQ(set.paths.size(), 5000u);
    int polls = 0;
    EXPECT_EQ(FindDigitalPaths(set, 0, 0, 1000000000, [&] { return ++polls == 3; }), 15056);
    EXPECT_FALSE(set.paths.empty());
}

}  // namespace
}  // namespace kq5::testing
