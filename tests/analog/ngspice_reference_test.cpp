// Operating points of SPICE netlists built by the circuit build and solved by the Newton
// engine, compared node by node with ngspice on the same netlist (skipped without ngspice).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "../netlist/build_test_support.h"
#include "analog/analog_state.h"
#include "document/node_table.h"
#include "solver_test_support.h"

namespace kq5::testing {
namespace {

// ngspice's node voltages of the operating point, by lower-case node name; empty when
// ngspice is not installed or fails.
std::map<std::string, double> NgspiceOperatingPoint(const std::string& netlist)
{
    std::map<std::string, double> voltages;
    if (std::system("command -v ngspice > /dev/null 2>&1") != 0) return voltages;
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::filesystem::path file = dir / ("kq5_ref_" + std::to_string(::getpid()) + ".cir");
    {
        std::ofstream out(file);
        out << netlist << ".control\nop\nprint all\n.endc\n.end\n";
    }
    const std::string command = "ngspice -b " + file.string() + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return voltages;
    static const std::regex kLine(R"(^v\(([^)]+)\)\s*=\s*(\S+))");
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::cmatch m;
        if (std::regex_search(buffer, m, kLine)) voltages[m[1].str()] = std::stod(m[2].str());
    }
    ::pclose(pipe);
    std::filesystem::remove(file);
    return voltages;
}

class ReferenceTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        ResetAnalogSolverStateForTests();
    }
    void TearDown() override
    {
        FreeAllStampSets();
        ResetAnalogSolverStateForTests();
        BuildTest::TearDown();
    }

    // Builds the netlist as a DC analysis and solves its operating point; then compares every
    // node ngspice prints within 1e-6 relative (1e-9 V absolute).
    void Compare(const std::string& netlist)
    {
        ASSERT_EQ(BuildText(netlist + ".END\n", kAnalysisDc), 0) << LastShownText();
        ASSERT_EQ(solver_test::RunTestOperatingPoint(kRunKindDcSweep), 0);
        const std::map<std::string, double> reference = NgspiceOperatingPoint(netlist);
        if (reference.empty()) GTEST_SKIP() << "ngspice not available";
        for (const auto& [name, expected] : reference) {
            const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeAnalog);
            ASSERT_GT(node, 0) << name;
            const double value = SolutionVector()[static_cast<std::size_t>(node)];
            EXPECT_NEAR(value, expected, 1e-9 + 1e-6 * std::fabs(expected)) << "node " << name;
        }
    }
};

TEST_F(ReferenceTest, EveryLinearElement)
{
    Compare("* linear elements\n"
            "V1 1 0 DC 10\n"
            "I1 0 7 DC 2m\n"
            "R7 7 0 2k\n"
            "R1 1 2 1k\n"
            "R2 2 0 3k\n"
            "L1 2 5 1m\n"
            "R5 5 0 4k\n"
            "C1 5 6 1u\n"
            "R6 6 0 1k\n"
            "E1 3 0 2 0 2\n"
            "R3 3 0 1k\n"
            "G1 4 0 1 0 1m\n"
            "R4 4 0 1k\n"
            "VS 1 8 DC 0\n"
            "R8 8 0 500\n"
            "F1 9 0 VS 3\n"
            "R9 9 0 100\n"
            "H1 10 0 VS 200\n"
            "R10 10 0 1k\n"
            "V3 12 0 5\n"
            "R11 12 11 1k\n"
            "L2 11 0 2m\n"
            "K1 L1 L2 0.5\n");
}

TEST_F(ReferenceTest, PolynomialSources)
{
    Compare("* poly\n"
            "V1 1 0 2\n"
            "V2 2 0 3\n"
            "R1 1 0 1k\n"
            "R2 2 0 1k\n"
            "E1 3 0 POLY(2) 1 0 2 0 0.5 1 2 0.1 0.2 0.3\n"
            "R3 3 0 1k\n"
            "G1 4 0 POLY(1) 1 0 1m 2m 0.5m\n"
            "R4 4 0 1k\n"
            "VS 2 5 0\n"
            "R5 5 0 1k\n"
            "F1 6 0 POLY(1) VS 0 2 1\n"
            "R6 6 0 1k\n"
            "H1 7 0 POLY(2) VS V1 1 100 200 10\n"
            "R7 7 0 1k\n");
}

TEST_F(ReferenceTest, WaveformSourcesTakeTheirDcValues)
{
    Compare("* sources\n"
            "V1 1 0 DC 1.5 SIN(0 1 1k)\n"
            "R1 1 2 1k\n"
            "V2 2 3 DC 0.25 PULSE(0 5 1u 1u 1u 1m 2m)\n"
            "R2 3 0 2k\n"
            "I1 0 4 DC 1m PWL(0 0 1m 1)\n"
            "R4 4 0 3k\n"
            "V5 5 0 DC 2 EXP(0 1 1u 1u 2u 1u)\n"
            "R5 5 4 1k\n");
}

TEST_F(ReferenceTest, NonlinearPolySinkNeedsIterations)
{
    Compare("* cubic sink\n"
            "V1 1 0 12\n"
            "R1 1 2 10\n"
            "G1 2 0 POLY(1) 2 0 0 0 0 1m\n"
            "R2 2 3 100\n"
            "E1 3 0 POLY(1) 2 0 0 0.5 0.01\n");
}

}  // namespace
}  // namespace kq5::testing
