// This program against ngspice on circuits at the edges of the arithmetic and of Newton's
// method: responses that fall below the smallest double, RC meshes whose solves underflow,
// long inverter chains of every MOSFET family whose operating points need the fallbacks, a
// BSIM1 device that settles at a drain-source voltage of almost nothing, and LEVEL 2 devices
// away from room temperature. A bipolar card of a model this program does not have is refused.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "../analog/program_output_support.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

class ConvergenceReferenceTest : public ReferenceTest {
protected:
    void SetUp() override
    {
        ReferenceTest::SetUp();
        ASSERT_TRUE(NgspiceInstalled()) << "these comparisons need ngspice";
    }
};

// Runs the program as a batch on the files in a scratch directory; its exit status, and the
// text of one file it wrote there.
int RunProgram(const std::vector<std::pair<std::string, std::string>>& files, const std::string& jobs,
               const std::string& result, std::string& text)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kq5_ref_batch_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const auto& [name, content] : files) std::ofstream(dir / name) << content;
    std::ofstream(dir / "jobs.txt") << jobs;
    const int status = test::RunProgramOnCommandFile(dir, "jobs.txt");
    std::ifstream in(dir / result);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(dir);
    return status;
}

// A square mesh of 1 kohm and 1 pF driven at one corner through 1 kohm.
std::string RcMesh(int size, const std::string& span)
{
    std::ostringstream text;
    const auto node = [](int i, int j) { return "N_" + std::to_string(i) + "_" + std::to_string(j); };
    const std::string far = node(size - 1, size - 1), across = node(size - 1, 0), down = node(0, size - 1);
    text << "* RC mesh of " << size << " x " << size << "\n*@ tran V(" << far << ") V(" << across << ") V(" << down
         << ")\n*@ floor 1e-3\n*@ rel 2e-3\nV1 IN 0 PULSE(0 1 0 0.1N 0.1N 1U 2U)\nRIN IN " << node(0, 0) << " 1K\n";
    int r = 0;
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            if (j + 1 < size) text << "R" << ++r << " " << node(i, j) << " " << node(i, j + 1) << " 1K\n";
            if (i + 1 < size) text << "R" << ++r << " " << node(i, j) << " " << node(i + 1, j) << " 1K\n";
            text << "C" << i << "_" << j << " " << node(i, j) << " 0 1P\n";
        }
    }
    text << ".TRAN 1N " << span << " 0 1N\n.end\n";
    return text.str();
}

// The solver's harmless underflows were read by the next evaluation as its own fault and
// ended the run ("Floating point 'underflow'").
TEST_F(ConvergenceReferenceTest, AMeshWhoseSolvesUnderflowRunsToItsEnd)
{
    Compare(ParseReferenceCircuit("rc_mesh_50", RcMesh(50, "2N")));
}

// The same at 80 x 80 over 200 ns: ngspice takes most of a minute there, so this one checks
// the run and the mesh's symmetry (the two corners next to the driven one see the same).
TEST_F(ConvergenceReferenceTest, ALargeMeshRunsToItsEndAndStaysSymmetric)
{
    const ReferenceCircuit circuit = ParseReferenceCircuit("rc_mesh_80", RcMesh(80, "200N"));
    std::vector<OurCurve> curves;
    ASSERT_EQ(RunOurs(circuit, curves), 0);
    ASSERT_EQ(curves.size(), 3u);
    ASSERT_GE(curves[0].x.size(), 200u);
    EXPECT_NEAR(curves[0].x.back(), 200e-9, 1e-15);
    for (std::size_t i = 0; i < curves[0].x.size(); ++i) {
        EXPECT_NEAR(curves[1].y[i].real(), curves[2].y[i].real(), 1e-9) << "at " << curves[0].x[i];
        EXPECT_GE(curves[0].y[i].real(), -1e-12);
        EXPECT_LE(curves[0].y[i].real(), curves[1].y[i].real() + 1e-12);
    }
}

// Its response passes 1e-308 and reaches zero: the printed magnitude runs down to it.
TEST_F(ConvergenceReferenceTest, AResponseBelowTheSmallestDoubleIsPrintedNotAFault)
{
    Compare("ac_buffered_rc_chain");

    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    std::string output;
    const int status = RunProgram({{"chain.cir", LoadReferenceCircuit("ac_buffered_rc_chain").ourText}},
                                  "chain.cir /A\n", "chain.ANO", output);
    ASSERT_EQ(status, 0) << output;
    const std::vector<test::ValueTable> tables = test::ValueTables(output);
    ASSERT_EQ(tables.size(), 1u) << output;
    ASSERT_EQ(tables[0].rows.size(), 19u) << output;  // 1 Hz to 1 GHz, two points a decade
    EXPECT_NEAR(tables[0].rows[0][1], 1.0, 2e-3);
    EXPECT_EQ(tables[0].rows.back()[1], 0.0);
}

// The chain of a deck cut to its first stages.
ReferenceCircuit Chain(const std::string& family, int stages)
{
    ReferenceCircuit c = LoadReferenceCircuit("chain_" + family);
    c.name += "_" + std::to_string(stages);
    const auto cut = [stages](const std::string& text) {
        std::istringstream in(text);
        std::string kept;
        for (std::string line; std::getline(in, line);) {
            const bool stage = line.rfind("MN", 0) == 0 || line.rfind("MP", 0) == 0;
            if (stage && std::stoi(line.substr(2)) > stages) continue;
            kept += line + "\n";
        }
        return kept;
    };
    c.ourText = cut(c.ourText);
    c.ngText = cut(c.ngText);
    return c;
}

// The name of a (family, stages) case: "level3_50".
std::string FamilyAndStages(const ::testing::TestParamInfo<std::tuple<const char*, int>>& info)
{
    return std::string(std::get<0>(info.param)) + "_" + std::to_string(std::get<1>(info.param));
}

class InverterChainTest : public ConvergenceReferenceTest,
                          public ::testing::WithParamInterface<std::tuple<const char*, int>> {};

// Plain Newton iteration fails on the long chains (and on LEVEL 3 met a device evaluated outside
// its domain); gmin stepping and source stepping take over where ngspice's continuation does.
TEST_P(InverterChainTest, FindsTheOperatingPointNgspiceFinds)
{
    const auto [family, stages] = GetParam();
    Compare(Chain(family, stages));
}

INSTANTIATE_TEST_SUITE_P(MosfetFamilies, InverterChainTest,
                         ::testing::Combine(::testing::Values("level1", "level2", "level3", "bsim1", "bsim2", "bsim3"),
                                          ::testing::Values(10, 50, 200)),
                         FamilyAndStages);

// The chains whose cards lose their oxide and junction capacitances, following the input pulse.
// At LEVEL 1 nothing holds charge: each stage switches within the step in which its input
// crosses the threshold, whatever the step, so a Newton solve that swings through the stages is
// not helped by a shorter step, and every point is a DC solution of the chain at the input's
// value. LEVEL 2 and 3 keep the gate charge of their default oxide; after each edge it rings
// under the trapezoidal rule, in this program's steps of up to 0.8 ns by a few millivolts, so
// their levels are compared within 5 mV a volt and settle within 5 mV.
ReferenceCircuit ChargelessChain(const std::string& family, int stages)
{
    std::istringstream in(LoadReferenceCircuit("chain_" + family).ourText);
    std::ostringstream text;
    text << "* " << stages << " CMOS inverters without charge\n*@ tran V(N1) V(N" << stages << ")\n"
         << (family == "level1" ? "*@ floor 1e-3\n" : "*@ floor 1\n*@ rel 5e-3\n");
    static const std::regex kCharge(R"(\s(TOX|CJ|CJSW)=[^\s)]+)", std::regex::icase);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("*", 0) == 0 || line.rfind(".op", 0) == 0 || line.rfind(".end", 0) == 0) continue;
        const bool stage = line.rfind("MN", 0) == 0 || line.rfind("MP", 0) == 0;
        if (stage && std::stoi(line.substr(2)) > stages) continue;
        text << std::regex_replace(line, kCharge, "") << "\n";
    }
    text << ".TRAN 0.1N 40N\n.end\n";
    return ParseReferenceCircuit("chargeless_" + family + "_" + std::to_string(stages), text.str());
}

// Times at which the curve crosses the level (either way), linearly interpolated, each with the
// width of the interval it was found in.
std::vector<std::pair<double, double>> Crossings(const std::vector<double>& x,
                                                 const std::vector<std::complex<double>>& y, double level)
{
    std::vector<std::pair<double, double>> times;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double a = y[i - 1].real() - level, b = y[i].real() - level;
        if ((a < 0.0) != (b < 0.0)) times.emplace_back(x[i - 1] + (x[i] - x[i - 1]) * a / (a - b), x[i] - x[i - 1]);
    }
    return times;
}

// A waveform made of settled levels and switching edges: on every stretch where both programs
// have settled (three points of ngspice and the two of ours around each of its points within
// `settled` volts of each other) the levels agree within the tolerances; and the curve switches
// as often as ngspice's, each switching time within the points that bracket it in either
// program. A curve not `timed` is checked for its number of edges only.
void CompareLevelsAndEdges(const ReferenceCircuit& circuit, const OurCurve& ours, const std::vector<double>& scale,
                           const std::vector<std::complex<double>>& theirs, const std::string& quantity,
                           double settled, bool timed)
{
    int compared = 0;
    double worst = 0.0;
    for (std::size_t i = 1; timed && i + 1 < scale.size(); ++i) {
        const double v = theirs[i].real();
        if (std::abs(theirs[i - 1].real() - v) > settled || std::abs(theirs[i + 1].real() - v) > settled) continue;
        const auto after = std::lower_bound(ours.x.begin(), ours.x.end(), scale[i]);
        if (after == ours.x.begin() || after == ours.x.end()) continue;
        const std::size_t j = static_cast<std::size_t>(after - ours.x.begin());
        if (std::abs(ours.y[j].real() - ours.y[j - 1].real()) > settled) continue;
        std::complex<double> mine;
        ASSERT_TRUE(InterpolateCurve(ours, scale[i], false, mine));
        const double error = std::abs(mine.real() - v) / std::max(std::abs(v), circuit.floor);
        worst = std::max(worst, error);
        EXPECT_LE(error, circuit.relative) << circuit.name << " " << quantity << " at " << scale[i] << ": ours "
                                           << mine.real() << ", ngspice " << v;
        ++compared;
    }
    if (timed) {
        EXPECT_GT(compared, static_cast<int>(scale.size()) / 2) << circuit.name << " " << quantity;
    }

    const auto mine = Crossings(ours.x, ours.y, 1.65);
    const auto reference = Crossings(scale, theirs, 1.65);
    ASSERT_EQ(mine.size(), reference.size()) << circuit.name << " " << quantity << ": edges";
    for (std::size_t k = 0; timed && k < mine.size(); ++k)
        EXPECT_NEAR(mine[k].first, reference[k].first, mine[k].second + reference[k].second)
            << circuit.name << " " << quantity << " edge " << k + 1;
    std::printf("[reference] %s %s: %d settled points, worst relative error %.3g; %zu edges\n", circuit.name.c_str(),
                quantity.c_str(), compared, worst, mine.size());
}

class ChargelessChainTest : public ConvergenceReferenceTest,
                            public ::testing::WithParamInterface<std::tuple<const char*, int>> {};

// The run used to end with "Internal time step too small in transient analysis." at the first
// edge of the longer chains. ngspice's own run of the 200 stages of LEVEL 1 ends so, so that one
// is compared with ngspice's run of its first 50 stages: no stage loads the one before it, and
// an even stage follows the input as the fiftieth does.
// At LEVEL 2 and 3 the run used to end so at the first edge of the last stage, whose output
// loses all its charge once both devices saturate (a step too small for Newton to find the
// drain capacitance that appears again as the p-channel device leaves saturation; ngspice, made
// to take steps of 1 ps, ends there too). ngspice's own steps of 0.1 ns pass over that point and
// place the later stages' edges where its steps fall (its 50th LEVEL 2 stage switches 0.04 ns
// after the first, where with steps of 1 ps its stages switch about 15 ps apart), so there only
// the first stage is compared with it, and the last one switches as often as its does.
TEST_P(ChargelessChainTest, FollowsThePulseAsNgspiceDoes)
{
    const auto [family, stages] = GetParam();
    const bool charged = std::string(family) != "level1";
    const ReferenceCircuit circuit = ChargelessChain(family, stages);
    const NgspiceResult theirs = RunNgspice(ChargelessChain(family, charged ? stages : std::min(stages, 50)));
    ASSERT_TRUE(theirs.error.empty()) << "ngspice failed:\n" << theirs.error;
    ASSERT_EQ(theirs.scale.back(), 40e-9) << "ngspice's run ended early";
    std::vector<OurCurve> curves;
    ASSERT_EQ(RunOurs(circuit, curves), 0);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_NEAR(curves[0].x.back(), 40e-9, 1e-18);
    for (std::size_t q = 0; q < curves.size(); ++q)
        CompareLevelsAndEdges(circuit, curves[q], theirs.scale, theirs.values[q], circuit.quantities[q],
                              charged ? 5e-3 : 1e-3, !charged || q == 0);
}

INSTANTIATE_TEST_SUITE_P(MosfetLevels, ChargelessChainTest,
                         ::testing::Combine(::testing::Values("level1", "level2", "level3"),
                                          ::testing::Values(10, 50, 200)),
                         FamilyAndStages);

// Calls of a bipolar cell (a common-emitter stage into an emitter follower, an RC and a divider
// that drives the next call), six nodes a call.
std::string BipolarCellChain(int calls)
{
    std::ostringstream text;
    text << "* " << calls << " calls of a bipolar cell\n*@ tran V(N40) V(N" << calls
         << ")\n*@ floor 1\n*@ rel 1e-2\nVCC VCC 0 5\nV1 N0 0 PULSE(0.6 0.9 0 20N 20N 1U 2U)\n"
            ".SUBCKT CELL IN OUT VCC\nRB IN B 10K\nQ1 C B E QN\nRE E 0 100\nRC VCC C 4.7K\nQ2 VCC C F QN\n"
            "RF F 0 10K\nR3 F M 2K\nC3 M 0 2P\nRD M OUT 20K\nRG OUT 0 5K\n"
            ".MODEL QN NPN(IS=1E-15 BF=120 VAF=70 CJE=0.5P CJC=0.4P TF=0.3N)\n.ENDS\n";
    for (int i = 1; i <= calls; ++i) text << "X" << i << " N" << i - 1 << " N" << i << " VCC CELL\n";
    text << ".tran 5n 6u 0 5n\n.end\n";
    return text.str();
}

// 720 nodes: Newton from the junctions' starting voltages swings the nodes of the later calls
// through the gain of all the calls before them, and an iterate far out made the matrix singular;
// the run ended with "Matrix is singular." where ngspice finds the operating point at once.
TEST_F(ConvergenceReferenceTest, AChainOfCellCallsFindsItsOperatingPoint)
{
    Compare(ParseReferenceCircuit("cell_chain_120", BipolarCellChain(120)));
}

// The sweep's first point, at 0.3 V, needs gmin stepping, whose last solve had only ITL2 loads
// where ngspice gives it ITL1: "Failed to converge at 0.3.". Its second point was extrapolated
// from the first and the zeros before it, doubling every voltage.
TEST_F(ConvergenceReferenceTest, AChainOfBsim3OpampCallsSweptFromBelowItsInputRange) { Compare("bsim3_buffer_chain_dc"); }

// The op-amp buffer of bsim3_buffer_chain_dc called `calls` times, its input at 1 V: every node
// voltage of the operating point against ngspice's.
ReferenceCircuit BufferChain(int calls)
{
    std::ifstream in(std::string(KQ5_TEST_DATA_DIR) + "/circuits/bsim3_buffer_chain_dc.cir");
    std::ostringstream text;
    text << "* " << calls << " BSIM3 op-amp buffers\n*@ op\n*@ floor 1\n*@ rel 1e-3\n";
    for (std::string line; std::getline(in, line);) {
        const bool comment = line.rfind("*", 0) == 0 && line.rfind("*NG ", 0) != 0;
        if (comment || line.rfind("X", 0) == 0 || line.rfind(".dc", 0) == 0 || line.rfind(".end", 0) == 0) continue;
        text << (line.rfind("VIN", 0) == 0 ? "VIN N0 0 1" : line) << "\n";
        if (line.rfind(".ENDS", 0) == 0)
            for (int i = 1; i <= calls; ++i) text << "X" << i << " N" << i - 1 << " N" << i << " VDD BUF\n";
    }
    text << ".op\n.end\n";
    return ParseReferenceCircuit("buffer_chain_" + std::to_string(calls), text.str());
}

// 78 calls: gmin stepping and source stepping both failed ("Failed to converge in specified
// number of iterations"), gmin stepping because after each failed step the devices kept what
// they held at its last iterate and limited the next solve against it, where ngspice's dynamic
// gmin stepping reaches the operating point.
TEST_F(ConvergenceReferenceTest, SeventyEightBsim3OpampCallsFindTheirOperatingPoint) { Compare(BufferChain(78)); }

// `gates` ECL gates in a chain, the input at the reference voltage: every gate is balanced,
// so the linearised chain multiplies its offsets by the gain of every stage. A transient run
// that starts from its operating point, as the program runs one.
ReferenceCircuit EclChain(int gates)
{
    std::ostringstream text;
    text << "* " << gates << " ECL gates at their threshold\n*@ tran V(N1) V(B1) V(N" << gates / 2 << ") V(N" << gates
         << ") V(B" << gates << ")\n*@ floor 1e-3\n*@ rel 1e-3\n"
         << "VEE VEE 0 -5.2\nVBB VBB 0 -1.29\nVIN N0 0 -1.29\n"
         << ".MODEL QE NPN(IS=1E-16 BF=100 VAF=50 RB=50 RC=20 RE=2)\n.MODEL DX D(IS=1E-15 RS=10)\n"
         << ".SUBCKT ECL IN OUT OUTB VEE VBB\nQ1 C1 IN E 0 QE\nQ2 C2 VBB E 0 QE\nRE E VEE 1.18K\nRC1 0 C1 300\n"
         << "RC2 0 C2 290\nQ3 0 C1 OUTB QE\nQ4 0 C2 OUT QE\nR3 OUTB VEE 1.5K\nR4 OUT VEE 1.5K\nD1 OUT OX DX\n"
         << "R5 OX VEE 50K\n.ENDS\n";
    for (int i = 1; i <= gates; ++i) text << "X" << i << " N" << i - 1 << " N" << i << " B" << i << " VEE VBB ECL\n";
    text << ".TRAN 1N 10N\n.end\n";
    return ParseReferenceCircuit("ecl_chain_" + std::to_string(gates), text.str());
}

// Every fallback failed ("Failed to converge in specified number of iterations"): each failed
// gmin step started again from the junctions' starting voltages, whose first solve put the
// later gates' nodes beyond 1e80 V, and the next load made the matrix singular.
TEST_F(ConvergenceReferenceTest, ThirtyEclGatesAtTheirThresholdFindTheirOperatingPoint) { Compare(EclChain(30)); }

// `stages` bipolar op-amps in open loop, each driving the next, the first input 10 mV above
// ground: every later stage sits at its output limit.
ReferenceCircuit ComparatorChain(int stages)
{
    std::ostringstream text;
    text << "* " << stages << " bipolar comparators in a chain\n*@ op\n*@ floor 1e-2\n*@ rel 1e-3\n"
         << ".SUBCKT OA INP INN OUT VCC VEE\nQ1 C1 INP E NPX\nQ2 C2 INN E NPX\nRC1 VCC C1 10K\nRC2 VCC C2 10K\n"
         << "IEE E VEE 200U\nQ3 C3 C1 E3 PNX\nRE3 VCC E3 2K\nRL3 C3 VEE 20K\nCC C1 C3 10P\nQ4 VCC C3 OUT NPX\n"
         << "Q5 VEE C3 OUT PNX\n.ENDS\n.MODEL NPX NPN(IS=1E-15 BF=100 VAF=100)\n.MODEL PNX PNP(IS=1E-15 BF=50 VAF=50)\n"
         << "VCC VCC 0 15\nVEE VEE 0 -15\nVIN N0 0 DC 0.01\n";
    for (int i = 1; i <= stages; ++i)
        text << "X" << i << " N" << i - 1 << " 0 N" << i << " VCC VEE OA\nRL" << i << " N" << i << " 0 10K\n";
    text << ".op\n.end\n";
    return ParseReferenceCircuit("comparator_chain_" + std::to_string(stages), text.str());
}

// Every fallback failed at 30, 36, 40, 44, 48, 54, 64 and 68 stages ("Failed to converge in
// specified number of iterations"), where ngspice solves them: the first solve reverse-biased the
// later stages' junctions by 1e150 V, and the loads at those voltages made the matrix singular.
// At 70, 74, 86 and 88 stages every step of the last gmin stepping still failed: the pivot order
// chosen for the loads of a failed iterate was kept back at the good solution, where its pivots
// were so small that every solve overflowed.
TEST_F(ConvergenceReferenceTest, SeventyBipolarComparatorsInAChainFindTheirOperatingPoint)
{
    Compare(ComparatorChain(70));
}

// Gate at 5 V, drain through 100 Mohm: the drain settles a fraction of a millivolt from the
// source, where each Newton step may swap the device's drain and source.
TEST_F(ConvergenceReferenceTest, ABsim1DeviceSettlingAtAlmostNoDrainVoltage) { Compare("bsim1_single_on"); }

// The LEVEL 2 threshold follows the temperature as LEVEL 1 and 3 do.
TEST_F(ConvergenceReferenceTest, Level2CurrentsAtHotAndColdTemperatures) { Compare("mos_dc_level2_temperatures"); }

// A bipolar card of another model family (here LEVEL=4, VBIC in other simulators) is refused
// as an unsupported MOSFET level is; LEVEL=1 is the Gummel-Poon model this program has.
TEST_F(ConvergenceReferenceTest, ABipolarCardOfAnotherModelIsRefused)
{
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    const std::string circuit = "VCC 1 0 5\nVB 2 0 0.7\nRC 1 3 1K\nQ1 3 2 0 QN\n.OP\n.TRAN 1N 10N\n";
    std::string statistics;
    const int status =
        RunProgram({{"vbic.cir", "VBIC\n" + circuit + ".MODEL QN NPN (LEVEL=4 IS=1E-16 BF=100)\n.END\n"},
                    {"gp.cir", "GP\n" + circuit + ".MODEL QN NPN (LEVEL=1 IS=1E-16 BF=100)\n.END\n"}},
                   "vbic.cir /T\ngp.cir /T\n", "jobs.DOC", statistics);
    EXPECT_NE(status, 0) << statistics;
    ASSERT_NE(statistics.find("LEVEL must be 1."), std::string::npos) << statistics;
    EXPECT_EQ(statistics.find("Error", statistics.find("LEVEL must be 1.")), std::string::npos) << statistics;
}

}  // namespace
}  // namespace kq5::reference
