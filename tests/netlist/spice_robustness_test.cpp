// Truncated and malformed statements: each reads or is refused with a message, never crashes.
#include <string>

#include "netlist/spice_initial_conditions.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

TEST_F(SpiceTest, MalformedStatementsAreRefusedCleanly)
{
    const char* lines[] = {
        "X",  "X1",  "X1 A", ".SUBCKT", ".SUBCKT S", ".ENDS X", "U1", "U1 AND(", "U1 AND(2", "U1 AND(2,", "U1 ANDA(2,",
        "U1 NAND(2) $G_DPWR", "U1 DFF(1) P G", "U1 LOGICEXP(2,1) P G A B", "U1 PINDLY(1,0,0) P G A",
        "E1 1", "E1 1 0 VALUE", "E1 1 0 VALUE =", "E1 1 0 VALUE = {", "G1 1 0 LAPLACE", "G1 1 0 LAPLACE {V(1)}",
        "G1 1 0 TABLE {V(1) =", "E1 1 0 FREQ {V(2)} =", "K1", "K1 L1", "N1", "N1 1 0 1 M DGTLNET", "O1 1",
        "O1 1 0 M DGTLNET =", "B1 1 0 V=", "B1 1 0 I", "B1", ".PARAM", ".PARAM =", ".PARAM A B C", ".IC V(",
        ".IC V(1", ".NODESET", ".TRAN", ".AC DEC", ".AC DEC 10 0 0", ".DC", ".DC V1", ".NOISE V(", ".NOISE V(1)",
        ".PRINT", ".PLOT TRAN V(1) (0", ".PLOT TRAN V(1) (0,", "R1 [", "R1 [A 0 1", "R1 [] 0 1", ".INCLUDE",
        ".LIB \"", ".LIB \"\"", "Q1 1 2", "T1 1 0 2", ".TEMP", "W1 1 2", "*", ";", "+ 1 2", "M1 1 2 3",
        "J1 1", "V1 1 0 PULSE(", "R1 1 0 {", "R1 1 0 }", "X1 1 2 S PARAMS:", "X1 1 2 S PARAMS: A", "X1 1 2 S TEXT:",
        ".OPTIONS", ".MODEL", ".MODEL X", "C1 1 0 1U IC=", "\"", "R1 1 0 \"1K", ".END extra", "Z", "D1 1",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        win::ClearMessageBoxLog();
        Analysis().analysisKind = kAnalysisTransient;
        int status = Read(std::string("title\n") + line + "\nX9 1 0 S\n.SUBCKT S A B\nR1 A B 1\n.ENDS\n");
        if (status == 0) status = ExpandCircuit(false, nullptr, true);
        if (status == 0) status = ParseInitialConditions({}, kInitialBuild, 0);
        if (status != 0) { EXPECT_FALSE(win::MessageBoxLog().empty()) << "refused without a message"; }
    }
}

TEST_F(SpiceTest, LargeNetlistsReadAndExpand)
{
    std::string text = "ladder\n.SUBCKT SEG A B\nR1 A M 1\nC1 M 0 1P\nR2 M B 1\n.ENDS\nV1 N0 0 1\n";
    for (int i = 0; i < 3000; ++i)
        text += "X" + std::to_string(i) + " N" + std::to_string(i) + " N" + std::to_string(i + 1) + " SEG\n";
    text += "RL N3000 0 1K\n.TRAN 1N 1U\n";
    ASSERT_EQ(ReadAndExpand(text), 0) << LastMessage();
    EXPECT_EQ(record_->document->nodeCount, 6001);
    EXPECT_EQ(Components().size(), 3000u * 4 + 2);
}

}  // namespace
}  // namespace kq5::testing
