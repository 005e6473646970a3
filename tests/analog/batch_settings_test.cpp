// A batch job of the command line runs with the user's Global Settings, as the same circuit run
// in a window does.
#include <gtest/gtest.h>

#include <string>

#include "../core/file_test_support.h"
#include "program_output_support.h"

namespace kq5 {
namespace {

using BatchSettingsTest = test::ScratchDirTest;

// A diode biased through 1k from 5 V at 27 degrees whose model was measured at TNOM: it drops
// 0.6971 V with TNOM=27 and 0.9295 V with TNOM=100 (ngspice 39 with .OPTIONS TNOM=100 agrees).
TEST_F(BatchSettingsTest, TheGlobalSettingsOfTheSettingsFileReachABatchRun)
{
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    WriteFile("bias.ckt", "* diode bias\nV1 1 0 DC 5\nR1 1 2 1k\nD1 2 0 DN\n"
                          ".model DN D(IS=1e-14 N=1 XTI=3 EG=1.11 RS=1)\n.TEMP 27\n.TRAN 1u 10u\n.PRINT TRAN V(2)\n.END\n");
    const std::string settings = "[Main]\nFileType=KQ5.DAT\nVersion=5.40\n[Global Settings]\nTNOM=100\nRELTOL=1e-4\n";
    WriteFile("kq5.dat", settings);
    const std::string command = "cd '" + PathOf("") + "' && '" + test::ProgramPath().string() + "' bias.ckt /T /ROOT:'" +
                                PathOf("") + "' > run.log 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadText("run.log");
    const std::vector<test::ValueTable> tables = test::ValueTables(ReadText("bias.TNO"));
    ASSERT_EQ(tables.size(), 1u) << ReadText("bias.TNO");
    ASSERT_FALSE(tables[0].rows.empty());
    EXPECT_NEAR(tables[0].rows.back().back(), 929.52, 0.05) << ReadText("bias.TNO");  // mV
    EXPECT_EQ(ReadText("kq5.dat"), settings);  // read, not rewritten
}

}  // namespace
}  // namespace kq5
