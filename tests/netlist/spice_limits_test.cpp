// Inputs whose numbers ask for more than a netlist can hold: every count is checked against
// what the text gives before anything is made to its size, and refused with a message.
#include <string>

#include "spice_test_support.h"

namespace kq5::testing {
namespace {

TEST_F(SpiceTest, DigitalPinCountsBeyondTheLineAreRefused)
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
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        win::ClearMessageBoxLog();
        EXPECT_EQ(Read(std::string("title\n") + line + "\n"), kMsgAlreadyReported);
        EXPECT_EQ(LastCaption(), "Error 10908") << LastMessage();
        EXPECT_NE(LastMessage().find("U1"), std::string::npos) << LastMessage();
        EXPECT_TRUE(Components().size() <= 1u);
    }
    // A count the line does hold still reads.
    FreeNetlistReaderBuild();
    ListClear(record_->document->itemList);
    ASSERT_EQ(Read("title\nU1 ANDA(2,2) $G_DPWR $G_DGND A1 B1 A2 B2 Y1 Y2 D0_GATE IO_STD\n"), 0) << LastMessage();
    EXPECT_EQ(Components().size(), 2u);
}

}  // namespace
}  // namespace kq5::testing
