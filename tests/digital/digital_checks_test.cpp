// Flip-flop timing checks against hand-computed times: the warning blocks in the numeric
// output, the count, DIGERRLIMIT and NOOUTMSG, and warnings of rejected steps dropped.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "analog/analog_state.h"
#include "core/file_units.h"
#include "digital/digital_checks.h"
#include "digital_test_support.h"

namespace kq5::testing {
namespace {

// A DFF (TSUDCLK 5, THDCLK 3, TWCLKL 8, TWCLKH 8, TWPCL 4, typical; 1 ps ticks) fed by a stimulus;
// every tick accepted. Returns the numeric output text.
class FlipFlopChecks {
public:
    // With `driveClear` the stimulus's third output drives the clear input.
    explicit FlipFlopChecks(std::vector<StimulusEvent> events, int errorLimit = 10000, bool noOutput = false,
                            bool rejectEach = false, bool driveClear = false)
    {
        ResetFileUnitsForTests();
        // A file of this process's own: the suite's tests run in parallel processes.
        path_ = std::filesystem::temp_directory_path() / ("kq5_digital_checks_" + std::to_string(::getpid()) + ".tno");
        const int unit = FindFreeUnit();
        EXPECT_EQ(CreateReplacingUnit(path_.string(), unit), 0);
        Analog().numericOutputUnit = unit;

        circuit_.Add(kComponentPullup, kClassNone, {}, {"hi"});
        circuit_.Stim(driveClear ? std::vector<std::string>{"clk", "d", "clr"} : std::vector<std::string>{"clk", "d"},
                      std::move(events));
        std::vector<std::int32_t> delays(30, 0);
        delays[10] = delays[13] = 1;   // clock to Q
        delays[16] = 8;                // TWCLKL typical
        delays[19] = 8;                // TWCLKH typical
        delays[22] = 5;                // TSUDCLK typical
        delays[28] = 3;                // THDCLK typical
        delays[7] = 4;                 // TWPCL typical
        circuit_.Add(kComponentDff, kClassEdgeFlipFlop, {"hi", driveClear ? "clr" : "hi", "clk", "d"}, {"qb", "q"}, delays);
        EXPECT_EQ(circuit_.Build(), 0);
        DigitalDeviceTables& d = DigitalSimulator();
        d.timeUnit = 1e-12;
        d.errorLimit = errorLimit;
        d.noOutputMessages = noOutput;
        AcceptDigitalPoint();  // the operating point
        RunQueuedEvents(rejectEach, [](std::uint32_t) {});
        CloseUnit(unit);
        Analog().numericOutputUnit = -1;
        output_ = ReadOutputText(path_);
    }
    ~FlipFlopChecks() { std::filesystem::remove(path_); }
    const std::string& Output() const { return output_; }
    int Count() const { return DigitalSimulator().warningCount; }

private:
    DigitalCircuit circuit_;
    std::filesystem::path path_;
    std::string output_;
};

TEST(DigitalChecks, SetupViolationBlock)
{
    // Data at 97, clock edge at 100: setup 3 of 5.
    FlipFlopChecks c({{0, 0, kState0}, {0, 1, kState0}, {50, 0, kState1}, {60, 0, kState0}, {97, 1, kState1},
                      {100, 0, kState1}});
    EXPECT_EQ(c.Output(),
              "\nDigital Warning\nD setup time violation at t=1e-10\nDevice \n"
              "Required D setup time is 5e-12\nMeasured D setup time is 3e-12\n");
    EXPECT_EQ(c.Count(), 1);
}

TEST(DigitalChecks, HoldAndWidthViolations)
{
    // Edge at 50, data changes at 52 (hold 2 of 3); clock high for 6 (50..56) then low for 8.
    FlipFlopChecks c({{0, 0, kState0}, {0, 1, kState0}, {30, 0, kState1}, {40, 0, kState0}, {50, 0, kState1},
                      {52, 1, kState1}, {56, 0, kState0}, {64, 0, kState1}});
    EXPECT_NE(c.Output().find("D hold violation at t=5.2e-11\nDevice \nClock changed at 5e-11\n"
                              "D changed at 5.2e-11\nRequired D hold time is 3e-12\nMeasured D hold time is 2e-12\n"),
              std::string::npos)
        << c.Output();
    EXPECT_NE(c.Output().find("Minimum clock width high violation at t=5.6e-11\n"), std::string::npos);
    // The low width of exactly 8 ticks (56..64) is no violation; nor is the first one (40..50).
    EXPECT_EQ(c.Output().find("Minimum clock width low violation"), std::string::npos);
    EXPECT_EQ(c.Count(), 2);
}

// Data that changes at the very instant of the edge held its level for no time: one hold
// violation of 0, whichever of the two the flip-flop sees first; and the short low width that
// ends at that edge (40..46) is reported once, not once per input that changed.
TEST(DigitalChecks, DataChangingWithTheEdgeIsAHoldOfZero)
{
    for (bool dataFirst : {false, true}) {
        std::vector<StimulusEvent> events = {{0, 0, kState0}, {0, 1, kState0}, {30, 0, kState1}, {40, 0, kState0}};
        if (dataFirst) events.push_back({46, 1, kState1});
        events.push_back({46, 0, kState1});
        if (!dataFirst) events.push_back({46, 1, kState1});
        FlipFlopChecks c(events);
        EXPECT_NE(c.Output().find("D hold violation at t=4.6e-11\nDevice \nClock changed at 4.6e-11\n"
                                  "D changed at 4.6e-11\nRequired D hold time is 3e-12\nMeasured D hold time is 0\n"),
                  std::string::npos)
            << c.Output();
        EXPECT_NE(c.Output().find("Minimum clock width low violation at t=4.6e-11\n"), std::string::npos) << c.Output();
        EXPECT_EQ(c.Count(), 2) << c.Output();
    }
}

// A clear held across a clock fall and a data change: the flip-flop ignores both, but the low
// width and the setup measured at the first edge after the release start from them. An edge
// met while cleared samples nothing, so a data change just after the release is no hold fault.
TEST(DigitalChecks, ChangesWhileClearedCountAfterTheRelease)
{
    FlipFlopChecks c({{0, 0, kState0}, {0, 1, kState0}, {0, 2, kState0}, {20, 0, kState1}, {50, 0, kState0},
                      {51, 1, kState1}, {52, 2, kState1}, {55, 0, kState1}},
                     10000, false, false, true);
    EXPECT_NE(c.Output().find("Minimum clock width low violation at t=5.5e-11\n"
                              "Device \nRequired minimum clock low width is 8e-12\nMeasured minimum clock low width is 5e-12\n"),
              std::string::npos)
        << c.Output();
    EXPECT_NE(c.Output().find("D setup time violation at t=5.5e-11\nDevice \nRequired D setup time is 5e-12\n"
                              "Measured D setup time is 4e-12\n"),
              std::string::npos)
        << c.Output();
    EXPECT_EQ(c.Count(), 2) << c.Output();
    FlipFlopChecks ignoredEdge({{0, 0, kState0}, {0, 1, kState0}, {0, 2, kState0}, {40, 0, kState1}, {41, 2, kState1},
                                {42, 1, kState1}},
                               10000, false, false, true);
    EXPECT_EQ(ignoredEdge.Count(), 0) << ignoredEdge.Output();
}

// A clear pulse is measured from where it began, however often the clock changes during it:
// 0..30 is wide enough though the clock fell at 28; 40..42 is too short.
TEST(DigitalChecks, AClearPulseIsMeasuredFromItsStart)
{
    FlipFlopChecks c({{0, 0, kState0}, {0, 1, kState0}, {0, 2, kState0}, {10, 0, kState1}, {28, 0, kState0},
                      {30, 2, kState1}, {40, 2, kState0}, {42, 2, kState1}},
                     10000, false, false, true);
    EXPECT_EQ(c.Output(), "\nDigital Warning\nCLRB width violation at t=4.2e-11\nDevice \nRequired CLRB width is 4e-12\n"
                          "Measured CLRB width is 2e-12\n");
}

TEST(DigitalChecks, LimitsAndRejectedSteps)
{
    const std::vector<StimulusEvent> events = {{0, 0, kState0}, {0, 1, kState0}, {50, 0, kState1}, {60, 0, kState0},
                                               {97, 1, kState1}, {100, 0, kState1}, {110, 0, kState0},
                                               {117, 1, kState0}, {120, 0, kState1}};
    FlipFlopChecks all(events);
    EXPECT_EQ(all.Count(), 2);
    FlipFlopChecks limited(events, 0);
    EXPECT_EQ(limited.Count(), 1);  // the check stops once the count has passed the limit
    FlipFlopChecks silent(events, 10000, true);
    EXPECT_EQ(silent.Count(), 0);
    EXPECT_TRUE(silent.Output().empty());
    // Each tick first rejected, then accepted: the same blocks, once each.
    FlipFlopChecks rejected(events, 10000, false, true);
    EXPECT_EQ(rejected.Output(), all.Output());
    EXPECT_EQ(rejected.Count(), 2);
}

}  // namespace
}  // namespace kq5::testing
