// Stimulus values whose characters stand for a state of every bit of their digit rather than for
// a number.
#include "digital_test_support.h"
#include "digital/digital_stimulus.h"

namespace kq5::testing {
namespace {

std::string FirstValue(const std::string& command, const std::string& format, int pins)
{
    StimulusProgram program;
    std::string detail;
    EXPECT_EQ(CompileStimulus(program, command, format, pins, 0.0, detail), 0) << command;
    return program.steps.empty() ? std::string() : program.steps[0].value;
}

TEST(StimulusStates, FallingAndRisingFillTheirWholeDigitInBinaryAndOctalGroups)
{
    // In an octal group F and R are the falling and rising states of its three bits.
    EXPECT_EQ(FirstValue("0 F", "3", 3), "FFF");
    EXPECT_EQ(FirstValue("0 R", "3", 3), "RRR");
    EXPECT_EQ(FirstValue("0 F5", "33", 6), "FFF101");
    EXPECT_EQ(FirstValue("0 F", "1", 1), "F");
    EXPECT_EQ(FirstValue("0 R1F", "111", 3), "R1F");
    // In a hex group F is fifteen, and the states are Z and X.
    EXPECT_EQ(FirstValue("0 F", "4", 4), "1111");
    EXPECT_EQ(FirstValue("0 FX", "41", 5), "1111X");
    EXPECT_EQ(FirstValue("0 7?", "31", 4), "111?");
}

}  // namespace
}  // namespace kq5::testing
