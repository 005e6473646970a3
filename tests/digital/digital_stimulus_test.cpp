// The stimulus pattern language: every compiler message, and the changes a program plays.
#include "digital_test_support.h"
#include "digital/digital_stimulus.h"

namespace kq5::testing {
namespace {

int Compile(const std::string& command, const std::string& format = "1", int pins = 1, double timestep = 0.0)
{
    StimulusProgram program;
    std::string detail;
    return CompileStimulus(program, command, format, pins, timestep, detail);
}

TEST(StimulusCompile, EveryMessage)
{
    std::string labels;
    for (int i = 0; i < 51; ++i) labels += "LABEL=L" + std::to_string(i) + " +1n 1 ";
    std::string nested;
    for (int i = 0; i < 21; ++i) nested += "REPEAT 1 TIMES ";
    struct Case {
        std::string command, format;
        int pins;
        int id;
    } cases[] = {
        {"0 1", "", 1, 13200},
        {"0 1", "2", 2, 13190},
        {"0 0", "444444444", 36, 13193},
        {"0 1", "1", 2, 13181},
        {"REPEAT 2 TIMES LABEL=X +1n 1 ENDREPEAT", "1", 1, 13206},
        {"0 0 LABEL", "1", 1, 13203},
        {labels, "1", 1, 13191},
        {nested, "1", 1, 13195},
        {"REPEAT", "1", 1, 13196},
        {"REPEAT SOMETIMES", "1", 1, 13197},
        {"0 1 ENDREPEAT", "1", 1, 13198},
        {"REPEAT 2 TIMES +1n 1", "1", 1, 13199},
        {"+", "1", 1, 13202},
        {"5C 1", "1", 1, 13207},
        {"0 1 +1n", "1", 1, 13185},
        {"0 1 +1n GOTO NOWHERE 2 TIMES", "1", 1, 13183},
        {"0 1 LABEL=L +1n GOTO L 2 TIMES", "1", 1, 13182},
        {"LABEL=L 0 1 +1n GOTO L UNTIL EQ 1", "1", 1, 13184},
        {"LABEL=L 0 1 +1n GOTO L SOMETIMES", "1", 1, 13186},
        {"0 0 +1n INCR 1", "1", 1, 13201},
        {"0 2", "1", 1, 13192},
        {"0 G", "4", 4, 13192},
        {"0 1 BOGUS", "1", 1, 11903},
        {"0 1 +1n $", "1", 1, 11903},
    };
    for (const Case& c : cases) EXPECT_EQ(Compile(c.command, c.format, c.pins), c.id) << c.command;
    EXPECT_EQ(Compile("0 0 +10n 1 LABEL=L +5n 0 +5n 1 +0 GOTO L 3 TIMES", "1", 1), 0);
    EXPECT_EQ(Compile("0 RND +1c INCR BY 1", "1", 1, 10e-9), 0);
    EXPECT_EQ(FormatBitWidth("134"), 8);
    EXPECT_EQ(FormatBitWidth("12"), -1);
}

TEST(StimulusCompile, ValuesExpandToBits)
{
    StimulusProgram program;
    std::string detail;
    ASSERT_EQ(CompileStimulus(program, "0 A 1n Z", "4", 4, 0.0, detail), 0);
    ASSERT_EQ(program.steps.size(), 2u);
    EXPECT_EQ(program.steps[0].value, "1010");
    EXPECT_EQ(program.steps[1].value, "ZZZZ");
    ASSERT_EQ(CompileStimulus(program, "0 7X", "31", 4, 0.0, detail), 0);
    EXPECT_EQ(program.steps[0].value, "111X");
    ASSERT_EQ(CompileStimulus(program, "5C 1", "1", 1, 10e-9, detail), 0);
    EXPECT_NEAR(program.steps[0].time, 50e-9, 1e-18);
}

TEST(StimulusCompile, TimesWithUnitsEndingInCAreNotCycles)
{
    // A part without TIMESTEP: times written with a scale and unit are plain seconds.
    StimulusProgram program;
    std::string detail;
    ASSERT_EQ(CompileStimulus(program, "0NSEC 0 +20NSEC 1 80nsec 0 1.5USEC 1", "1", 1, 0.0, detail), 0) << detail;
    ASSERT_EQ(program.steps.size(), 4u);
    EXPECT_NEAR(program.steps[1].time, 20e-9, 1e-18);
    EXPECT_NEAR(program.steps[2].time, 80e-9, 1e-18);
    EXPECT_NEAR(program.steps[3].time, 1.5e-6, 1e-15);
    // With a TIMESTEP the cycle forms still count cycles, and the unit forms stay seconds.
    ASSERT_EQ(CompileStimulus(program, "2C 0 +3c 1 100NSEC 0", "1", 1, 10e-9, detail), 0) << detail;
    EXPECT_NEAR(program.steps[0].time, 20e-9, 1e-18);
    EXPECT_NEAR(program.steps[1].time, 30e-9, 1e-18);
    EXPECT_NEAR(program.steps[2].time, 100e-9, 1e-18);
}

// A circuit of one stimulus device (outputs o0...) played from 0 to 1 ms.
struct Played {
    DigitalCircuit circuit;
    int rc = 0;
    Played(const std::string& command, const std::string& format, int pins, double timestep = 0.0)
    {
        std::vector<std::string> outputs;
        for (int i = 0; i < pins; ++i) outputs.push_back("o" + std::to_string(i));
        const int device = circuit.Add(kComponentStim, kClassNone, {}, outputs);
        auto program = std::make_unique<StimulusProgram>();
        std::string detail;
        rc = CompileStimulus(*program, command, format, pins, timestep, detail);
        circuit.Spec(device).record = std::move(program);
        if (rc) return;
        if ((rc = circuit.Build())) return;
        if ((rc = StepStimulusDevices(0.0, 1e-3))) return;
        if ((rc = QueueStimulusEvents())) return;
        rc = circuit.Run(1000000000u);
    }
};

TEST(StimulusPlay, HexValueDrivesFourPins)
{
    Played p("0 A 10n 5 20n Z", "4", 4);
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.circuit.Trace("o0"), "0:1 10000:0 20000:Z");
    EXPECT_EQ(p.circuit.Trace("o1"), "0:0 10000:1 20000:Z");
    EXPECT_EQ(p.circuit.Trace("o3"), "0:0 10000:1 20000:Z");
}

TEST(StimulusPlay, RepeatAndGotoCounts)
{
    Played repeat("0 0 REPEAT 2 TIMES +1n 1 +1n 0 ENDREPEAT", "1", 1);
    ASSERT_EQ(repeat.rc, 0);
    EXPECT_EQ(repeat.circuit.Trace("o0"), "0:0 1000:1 2000:0 3000:1 4000:0");
    Played never("0 0 LABEL=L +1n 1 +1n 0 +1n GOTO L 0 TIMES +5n 1", "1", 1);
    ASSERT_EQ(never.rc, 0);
    EXPECT_EQ(never.circuit.Trace("o0"), "0:0 1000:1 2000:0 8000:1");
    Played twice("0 0 LABEL=L +1n 1 +1n 0 +1n GOTO L 1 TIMES", "1", 1);
    ASSERT_EQ(twice.rc, 0);
    // After a jump the label's step keeps the time of the jump.
    EXPECT_EQ(twice.circuit.Trace("o0"), "0:0 1000:1 2000:0 3000:1 4000:0");
    // A counter: INCR until the value passes 3.
    Played count("0 00 LABEL=L +1n INCR BY 01 +1n GOTO L UNTIL GE 11", "11", 2);
    ASSERT_EQ(count.rc, 0);
    EXPECT_EQ(count.circuit.Trace("o1"), "0:0 1000:1 2000:0 3000:1");
    EXPECT_EQ(count.circuit.Trace("o0"), "0:0 2000:1");
}

// A GOTO back to a label whose step has an absolute time: the loop comes round at the time of
// each jump, its absolute times moved on by as much as the loop has run.
TEST(StimulusPlay, AGotoLoopOfAbsoluteTimesComesRoundAtEachJump)
{
    Played loop("0 0 LABEL=L 10n 1 20n 0 30n GOTO L 2 TIMES +10n 1", "1", 1);
    ASSERT_EQ(loop.rc, 0);
    EXPECT_EQ(loop.circuit.Trace("o0"), "0:0 10000:1 20000:0 30000:1 40000:0 50000:1 60000:0 80000:1");
}

TEST(StimulusPlay, CyclesAndAscendingTimes)
{
    Played cycles("0 0 5C 1", "1", 1, 10e-9);
    ASSERT_EQ(cycles.rc, 0);
    EXPECT_EQ(cycles.circuit.Trace("o0"), "0:0 50000:1");
    Played same("0 1 0 0", "1", 1);
    EXPECT_EQ(same.rc, 15055);  // 13194, reported against the part
}

TEST(StimulusPlay, AFirstStepAfterTheStartDrivesFromTheStart)
{
    // The pin has emitted nothing yet: its first value is posted at the run's start.
    Played late("10n 1 20n 0 30n 1", "1", 1);
    ASSERT_EQ(late.rc, 0);
    EXPECT_EQ(late.circuit.Trace("o0"), "0:1 20000:0 30000:1");
}

TEST(StimulusPlay, LoopThatNeverAdvancesTimeIsStopped)
{
    // Without the guard this walks forever at run start.
    Played forever("0 0 REPEAT FOREVER +0 1 +0 0 ENDREPEAT", "1", 1);
    EXPECT_EQ(forever.rc, 15055);
    Played still("LABEL=L 0 0 +0 1 +0 GOTO L -1 TIMES", "1", 1);
    EXPECT_NE(still.rc, 0);
}

TEST(StimulusPlay, RandomValuesAreSeededPerRun)
{
    Played a("0 RND REPEAT 20 TIMES +1n RND ENDREPEAT", "4", 4);
    Played b("0 RND REPEAT 20 TIMES +1n RND ENDREPEAT", "4", 4);
    ASSERT_EQ(a.rc, 0);
    EXPECT_EQ(a.circuit.Trace("o0"), b.circuit.Trace("o0"));
    EXPECT_GT(a.circuit.Trace("o0").size(), 20u);  // the values differ between passes
}

}  // namespace
}  // namespace kq5::testing
