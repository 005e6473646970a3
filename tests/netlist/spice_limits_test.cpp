// Inputs whose numbers ask for more than a netlist can hold: every count is checked against
// what the text gives before anything is made to its size, and refused with a message.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "netlist/circuit_growth.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_sources.h"
#include "platform/input.h"
#include "platform/message.h"
#include "shown_message_ids.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

// Each case reads into an empty document.
class LimitsTest : public SpiceTest {
protected:
    void Fresh()
    {
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        win::ClearMessageBoxLog();
    }
};

TEST_F(LimitsTest, DigitalPinCountsBeyondTheLineAreRefused)
{
    // Each count would overflow, or make gigabytes of pin tables, before the missing nodes
    // were noticed.
    const char* lines[] = {
        "U1 AND(2147483647) $G_DPWR $G_DGND A Y D0_GATE IO_STD",
        "U1 AND(1500000000) $G_DPWR $G_DGND A Y D0_GATE IO_STD",
        "U1 STIM(1G,1) $G_DPWR $G_DGND A IO_STM",
        "U1 AO(65536,65536) $G_DPWR $G_DGND A B Y D0_GATE IO_STD",
        "U1 OAI(2147483647,2147483647) $G_DPWR $G_DGND A B Y D0_GATE IO_STD",
        "U1 ANDA(2,2000000000) $G_DPWR $G_DGND A B Y D0_GATE IO_STD",
        "U1 AND3A(1073741824,2) $G_DPWR $G_DGND A B E Y D0_GATE IO_STD",
        "U1 INVA(2147483647) $G_DPWR $G_DGND A Y D0_GATE IO_STD",
        "U1 DFF(1000000000) $G_DPWR $G_DGND P C D Q QB D0_EFF IO_STD",
        "U1 PULLUP(1500000000) $G_DPWR $G_DGND A IO_STD",
        "U1 PINDLY(1073741824,1073741824,0) $G_DPWR $G_DGND A B C D IO_STD",
        "U1 LOGICEXP(2147483647,1) $G_DPWR $G_DGND A Y D0_GATE IO_STD",
        "U1 PLAND(2147483647,2147483647) $G_DPWR $G_DGND A Y D0_PLD IO_STD",
        "U1 DAC(1E30) $G_DPWR $G_DGND A B C D IO_STD",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        Fresh();
        EXPECT_EQ(Read(std::string("title\n") + line + "\n"), kMsgAlreadyReported);
        EXPECT_EQ(LastCaption(), "Error 10908") << LastMessage();
        EXPECT_NE(LastMessage().find("U1"), std::string::npos) << LastMessage();
        EXPECT_TRUE(Components().size() <= 1u);
    }
    // A count the line does hold still reads.
    Fresh();
    ASSERT_EQ(Read("title\nU1 ANDA(2,2) $G_DPWR $G_DGND A1 B1 A2 B2 Y1 Y2 D0_GATE IO_STD\n"), 0) << LastMessage();
    EXPECT_EQ(Components().size(), 2u);
}

class ReadLimitsTest : public LimitsTest {
protected:
    int ReadIncluding(const std::string& path)
    {
        Fresh();
        return Read("title\nR1 1 0 1K\n.INCLUDE \"" + path + "\"\n.END\n");
    }
    // The message shown last names the file.
    void ExpectRefused(int status, const std::string& caption, const std::string& name)
    {
        EXPECT_EQ(status, kMsgAlreadyReported);
        EXPECT_EQ(LastCaption(), caption) << LastMessage();
        EXPECT_NE(LastMessage().find(name), std::string::npos) << LastMessage();
    }
};

TEST_F(ReadLimitsTest, OnlyFilesAreIncluded)
{
    // /dev/zero was read until 6 GB of memory were gone; a pipe would wait for a writer.
    ExpectRefused(ReadIncluding("/dev/zero"), "Error 10940", "/dev/zero");
    ExpectRefused(ReadIncluding(dir_.string()), "Error 10940", dir_.string());
    ASSERT_EQ(::mkfifo(PathOf("pipe").c_str(), 0600), 0);
    ExpectRefused(ReadIncluding(PathOf("pipe")), "Error 10940", PathOf("pipe"));
    // An ordinary file still is.
    WriteFile("ok.inc", "R2 2 0 2K\n");
    EXPECT_EQ(ReadIncluding(PathOf("ok.inc")), 0) << LastMessage();
    EXPECT_NE(Part("R2"), nullptr);
}

TEST_F(ReadLimitsTest, FilesBeyondTheSizeLimitAreRefused)
{
    // A sparse file: its length is all that is looked at.
    WriteFile("huge.inc", "R2 2 0 2K\n");
    ASSERT_EQ(::truncate(PathOf("huge.inc").c_str(), kMaxNetlistFileBytes + 1), 0);
    ExpectRefused(ReadIncluding(PathOf("huge.inc")), "Error 10941", PathOf("huge.inc"));
    EXPECT_NE(LastMessage().find(std::to_string(kMaxNetlistFileBytes + 1)), std::string::npos) << LastMessage();
    ASSERT_EQ(::truncate(PathOf("huge.inc").c_str(), kMaxNetlistFileBytes), 0);
    EXPECT_EQ(CheckNetlistSize("x", kMaxNetlistFileBytes), 0);
}

TEST_F(ReadLimitsTest, StatementsBeyondTheLineLimitAreRefused)
{
    const std::string longLine = "R2 2 0 {1" + std::string(kMaxStatementChars, ' ') + "}\n";
    // One physical line, in an included file and in the circuit's own text.
    WriteFile("long.inc", longLine);
    ExpectRefused(ReadIncluding(PathOf("long.inc")), "Error 10942", PathOf("long.inc"));
    Fresh();
    ExpectRefused(Read("title\nR1 1 0 1K\n" + longLine), "Error 10942", "circuit.cir");
    EXPECT_NE(LastMessage().find("Line:\t3"), std::string::npos) << LastMessage();
    // Continuation lines that add up to too much.
    std::string joined = "V1 1 0 PWL";
    const std::string point = "\n+ 1 1 2 2 3 3 4 4 5 5 6 6 7 7 8 8 9 9";
    while (joined.size() <= kMaxStatementChars) joined += point;
    WriteFile("joined.inc", joined + "\n");
    ExpectRefused(ReadIncluding(PathOf("joined.inc")), "Error 10942", PathOf("joined.inc"));
    // Just within the limit reads.
    WriteFile("fits.inc", "R2 2 0 1K" + std::string(kMaxStatementChars - 10, ' ') + "\n");
    EXPECT_EQ(ReadIncluding(PathOf("fits.inc")), 0) << LastMessage();
    EXPECT_NE(Part("R2"), nullptr);
}

class CircuitGrowthTest : public LimitsTest {
protected:
    void TearDown() override
    {
        SetCircuitComponentLimitForTests(0);
        LimitsTest::TearDown();
    }
    // 25 lines whose subcircuits call each other into 2^levels resistors.
    static std::string FanOut(int levels)
    {
        std::string text = "fan out\nV1 1 0 1\nX0 1 0 S" + std::to_string(levels) + "\n.SUBCKT S0 A B\nR1 A B 1K\n.ENDS\n";
        for (int l = 1; l <= levels; ++l) {
            const std::string inner = " A B S" + std::to_string(l - 1) + "\n";
            text += ".SUBCKT S" + std::to_string(l) + " A B\nX1" + inner + "X2" + inner + ".ENDS\n";
        }
        return text + ".TRAN 1N 1U\n";
    }
};

TEST_F(CircuitGrowthTest, SubcircuitsThatMultiplyBeyondTheLimitAreStopped)
{
    // 2^24 resistors expanded until memory ran out; the limit stops them with a message
    // naming the call that went beyond it (a low limit keeps the test short).
    SetCircuitComponentLimitForTests(3000);
    StatusText().shown = true;
    SetStatusText("Ready");
    EXPECT_NE(ReadAndExpand(FanOut(24)), 0);
    EXPECT_EQ(ShownMessageIds(), std::vector<int>{10943}) << LastMessage();
    EXPECT_NE(LastMessage().find("Expanding subckt S"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("beyond 3000 components"), std::string::npos) << LastMessage();
    EXPECT_LT(Components().size(), 3100u);
    EXPECT_EQ(GetStatusText(), "Ready");
    // Within the limit the same subcircuits expand: 2^9 resistors, 2^10 - 1 calls.
    Fresh();
    ASSERT_EQ(ReadAndExpand(FanOut(9)), 0) << LastMessage();
    EXPECT_EQ(Components().size(), 512u + 1023u + 1u);
}

TEST_F(CircuitGrowthTest, AFlatNetlistBeyondTheLimitIsRefused)
{
    SetCircuitComponentLimitForTests(50);
    std::string text = "flat\n";
    for (int i = 1; i <= 60; ++i) text += "R" + std::to_string(i) + " 1 0 1K\n";
    EXPECT_EQ(Read(text), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10944") << LastMessage();
    EXPECT_NE(LastMessage().find("Line:\t52"), std::string::npos) << LastMessage();
}

TEST_F(CircuitGrowthTest, EscStopsTheExpansion)
{
    std::string text = "wide\nV1 1 0 1\nX1 1 0 WIDE\n.SUBCKT WIDE A B\n";
    for (int i = 1; i <= 5000; ++i) text += "R" + std::to_string(i) + " A B 1K\n";
    text += ".ENDS\n.TRAN 1N 1U\n";
    // Typed while the netlist is read, Esc stops the expansion that follows.
    ASSERT_EQ(Read(text), 0) << LastMessage();
    win::InputKey(win::VK_ESCAPE, true);
    win::InputKey(win::VK_ESCAPE, false);
    EXPECT_NE(ExpandCircuit(false, nullptr, true), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty()) << LastMessage();
    // One typed before the build began does not.
    Fresh();
    win::InputKey(win::VK_ESCAPE, true);
    win::InputKey(win::VK_ESCAPE, false);
    ASSERT_EQ(ReadAndExpand(text), 0) << LastMessage();
    EXPECT_EQ(Components().size(), 5002u);
}

}  // namespace
}  // namespace kq5::testing
