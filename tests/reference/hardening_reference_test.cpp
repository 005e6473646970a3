// This program against ngspice where users met wrong numbers: the AC currents of every kind of
// two-terminal element, the printed column of a DC sweep's own node, a trapezoidal circuit
// built after one that chose Gear, and the runs of a .TEMP list.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../analog/program_output_support.h"
#include "netlist/global_options.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

class HardeningReferenceTest : public ReferenceTest {
protected:
    void SetUp() override
    {
        ReferenceTest::SetUp();
        ASSERT_TRUE(NgspiceInstalled()) << "these comparisons need ngspice";
    }
};

TEST_F(HardeningReferenceTest, AcCurrentsOfSourcesResistorsCapacitorsAndInductors) { Compare("ac_currents"); }
TEST_F(HardeningReferenceTest, AcTerminalCurrentsOfTransistorsAndDiodes) { Compare("ac_device_currents"); }

TEST_F(HardeningReferenceTest, EveryTemperatureOfATemperatureList) { Compare("dc_temperature_list"); }

// The method is a setting of each build: the tank, built right after itself with GEAR, runs
// with the trapezoidal rule as ngspice does.
TEST_F(HardeningReferenceTest, ATrapezoidalCircuitBuiltAfterOneThatChoseGear)
{
    std::string gear = LoadReferenceCircuit("tran_lc_tank").ourText;
    gear.insert(gear.rfind(".end"), ".OPTIONS METHOD=GEAR\n");
    ASSERT_EQ(BuildText(gear), 0) << LastShownText();
    ASSERT_EQ(GlobalOptions().integrationMethod, kMethodGear);
    Fresh();
    Compare("tran_lc_tank");
}

// The columns the program prints, read back from its numeric output file: the swept source's
// node is a column of its own beside the sweep's.
TEST_F(HardeningReferenceTest, ThePrintedColumnOfTheSweptSourcesNode)
{
    const ReferenceCircuit circuit = LoadReferenceCircuit("dc_swept_source_node");
    const NgspiceResult theirs = RunNgspice(circuit);
    ASSERT_TRUE(theirs.error.empty()) << "ngspice failed:\n" << theirs.error;
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kq5_ref_printed_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "node.cir") << circuit.ourText;
    std::ofstream(dir / "jobs.txt") << "node.cir /D\n";
    ASSERT_EQ(test::RunProgramOnCommandFile(dir, "jobs.txt"), 0);
    std::ifstream in(dir / "node.DNO");
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(dir);

    const std::vector<test::ValueTable> tables = test::ValueTables(output);
    ASSERT_EQ(tables.size(), 1u) << output;
    ASSERT_EQ(tables[0].names, (std::vector<std::string>{"V(VDD)", "V(1)", "V(5)"}));
    ASSERT_GE(tables[0].rows.size(), 21u) << output;
    for (std::size_t q = 0; q < circuit.quantities.size(); ++q) {
        OurCurve printed;
        for (const std::vector<double>& row : tables[0].rows) {
            ASSERT_EQ(row.size(), 3u) << output;
            printed.x.push_back(row[0]);
            printed.y.emplace_back(row[q + 1], 0.0);
        }
        const Disagreement d =
            CompareCurve(OurCurve{theirs.scale, theirs.values[q]}, printed.x, printed.y, circuit, true);
        EXPECT_EQ(d.compared, static_cast<int>(printed.x.size())) << circuit.quantities[q];
        EXPECT_LE(d.worst, circuit.relative) << circuit.quantities[q] << " at " << d.at << ": printed " << d.ours
                                             << " ngspice " << d.theirs;
    }
}

}  // namespace
}  // namespace kq5::reference
