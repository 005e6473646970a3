// The state variables file: written and read back bit for bit, started from by a run whose State
// Variables option is "Read", and refused when it was written for another circuit or lies about
// its size.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../netlist/scratch_build_test.h"
#include "analog/analog_state.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "results/curve_record.h"
#include "results/plot_view_settings.h"
#include "plots/state_variables_file.h"

namespace kq5::testing {
namespace {

class StateFileTest : public ScratchBuildTest {
protected:
    void SetUp() override
    {
        ScratchBuildTest::SetUp();
        ResetRunControlForTests();
        InstallAnalysisKindHandlers();
    }
    void TearDown() override
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ScratchBuildTest::TearDown();
    }

    int RunTransient(const std::string& netlist, std::uint32_t options = kDefaultTransientOptions)
    {
        PutCircuit(netlist, "d.cir");
        win::ClearMessageBoxLog();
        if (!record_->plot) record_->plot = std::make_shared<PlotRecord>();
        PlotViewOf(record_->plot).optionWord[kAnalysisTransient] = static_cast<std::int32_t>(options);
        if (int rc = RunAnalysisCommand(record_, kAnalysisTransient)) return rc;
        // The analysis stays open: its solver state is what the file holds.
        return RunAnalysisTimed(kAnalysisTransient);
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The rows of numbers of the numeric output (time, then the printed values).
    // The value rows of the numeric output in plain units: each column carries the prefix of its
    // plot axis in the units line above the rows ("(m)" for millivolts).
    std::vector<std::vector<double>> Rows() const
    {
        std::vector<std::vector<double>> rows;
        std::vector<double> scale;
        std::istringstream in(Read("d.TNO"));
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::vector<double> row;
            for (double v; fields >> v;) row.push_back(v);
            if (!row.empty() && fields.eof()) {
                for (std::size_t i = 0; i < row.size() && i < scale.size(); ++i) row[i] *= scale[i];
                rows.push_back(row);
                continue;
            }
            if (line.find('(') == std::string::npos) continue;
            std::istringstream units(line);
            scale.clear();
            for (std::string unit; units >> unit;) {
                const char prefix = unit.size() > 2 ? unit[1] : ' ';
                const std::string letters = "fpnumKMGT";
                const double factors[] = {1e-15, 1e-12, 1e-9, 1e-6, 1e-3, 1e3, 1e6, 1e9, 1e12};
                const std::size_t at = letters.find(prefix);
                scale.push_back(at == std::string::npos ? 1.0 : factors[at]);
            }
        }
        return rows;
    }

    static std::string LastText()
    {
        const auto& log = win::MessageBoxLog();
        return log.empty() ? std::string() : log.back().text;
    }
};

// State Variables "Read" and no operating point: the run goes on from the state file.
constexpr std::uint32_t kReadWithoutOperatingPoint =
    (kDefaultTransientOptions & ~(kRunOptionStateVariables | kRunOptionOperatingPoint | kRunOptionOperatingPointOnly)) |
    0x400;

// A 1 V step at 0 through 1k into 1u: after 1 ms the capacitor holds 1 - 1/e.
const char kRc[] = "rc\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 0.1M 1M\n.PRINT TRAN V(2)\n.END\n";

TEST_F(StateFileTest, WriteThenReadRestoresTheIdenticalState)
{
    ASSERT_EQ(RunTransient(kRc), 0) << LastText();
    EXPECT_EQ(StateVariablesFileName(record_), (dir_ / "d.TOP").string());
    const std::vector<std::uint8_t> before = BuildStateImage();
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(ReadWriteStateVariablesFile(1), 0);
    const std::string bytes = Read("d.TOP");
    ASSERT_EQ(bytes.size(), before.size() + 8);
    EXPECT_EQ(bytes[0], 2);  // version 2, little-endian
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[4]) | (static_cast<std::uint8_t>(bytes[5]) << 8), static_cast<int>(before.size()) & 0xFFFF);

    // Spoil the state, read it back: the same image.
    AnalogSolverState& s = AnalogSolver();
    std::vector<double>& x = Analysis().solution.real;
    ASSERT_GT(x.size(), 2u);
    const double v2 = x[2];
    EXPECT_NEAR(v2, 1.0 - std::exp(-1.0), 0.01);
    std::fill(x.begin(), x.end(), 0.0);
    std::fill(s.savedSolution.begin(), s.savedSolution.end(), 5.0);
    std::fill(s.chargeStates.begin(), s.chargeStates.end(), 0.0);
    s.step = 0.0;
    ASSERT_EQ(ReadWriteStateVariablesFile(0), 0) << LastText();
    EXPECT_EQ(BuildStateImage(), before);
    EXPECT_EQ(x[2], v2);
}

TEST_F(StateFileTest, ARunThatReadsTheStateStartsFromTheSavedSolution)
{
    ASSERT_EQ(RunTransient(kRc), 0) << LastText();
    const std::vector<std::vector<double>> first = Rows();
    ASSERT_FALSE(first.empty());
    const double end = first.back().back();
    ASSERT_EQ(ReadWriteStateVariablesFile(1), 0);

    // State Variables "Read", no operating point (UIC keeps the line from asking for one): the
    // run goes on from where the last ended.
    std::string uic = kRc;
    uic.replace(uic.find("1M\n"), 3, "1M UIC\n");
    const std::uint32_t read = kReadWithoutOperatingPoint;
    ASSERT_EQ(RunTransient(uic, read), 0) << LastText();
    const std::vector<std::vector<double>> second = Rows();
    ASSERT_FALSE(second.empty());
    EXPECT_NEAR(second.front().back(), end, 2e-3);
    // And charges further towards 1 V: 1 - 1/e^2 after the second millisecond.
    EXPECT_NEAR(second.back().back(), 1.0 - std::exp(-2.0), 0.01);

    // The same with "Zero" starts from nothing.
    const std::uint32_t zero = read & ~kRunOptionStateVariables;
    ASSERT_EQ(RunTransient(uic, zero), 0) << LastText();
    EXPECT_NEAR(Rows().front().back(), 0.0, 1e-6);
}

// The printed digital levels of the numeric output's first and last rows (the words after the
// time).
std::pair<std::string, std::string> FirstAndLastLevels(const std::string& output)
{
    std::vector<std::string> rows;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        double time = 0.0;
        if (!(fields >> time)) continue;
        std::string levels;
        for (std::string w; fields >> w;) levels += w;
        rows.push_back(levels);
    }
    return rows.empty() ? std::pair<std::string, std::string>{} : std::pair{rows.front(), rows.back()};
}

// A two-bit counter cleared at the start: a run that reads the state goes on counting from the
// levels the last one ended with. The start of the run once set every flip-flop and gate output
// unknown again after the state was read, so the counter stood at X for the whole run.
TEST_F(StateFileTest, ARunThatReadsTheStateGoesOnFromTheSavedDigitalLevels)
{
    const std::string counter =
        "counter\nU1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STM TIMESTEP=10NS\n+ 0C 0 REPEAT FOREVER +5C 1 +5C 0 "
        "ENDREPEAT\nU5 STIM(1,1) $G_DPWR $G_DGND CLR IO_STM\n+ 0 0 30NS 1\n"
        "U2 JKFF(1) $G_DPWR $G_DGND $D_HI CLR CLK $D_HI $D_HI Q0 Q0B D_JKFF IO_STM\n"
        "U3 JKFF(1) $G_DPWR $G_DGND $D_HI CLR Q0B $D_HI $D_HI Q1 Q1B D_JKFF IO_STM\n"
        ".MODEL D_JKFF UEFF(TPPCQLHMX=20N TPPCQHLMX=20N TPCLKQLHMX=25N TPCLKQHLMX=25N)\n.MODEL IO_STM UIO()\n"
        "V1 1 0 1\nR1 1 0 1K\n.TRAN 1N 340N\n.PRINT TRAN D(Q1) D(Q0)\n.END\n";
    ASSERT_EQ(RunTransient(counter), 0) << LastText();
    // Three falling clock edges after the clear: Q0 toggled three times, Q1 on its two rises.
    const auto [first, last] = FirstAndLastLevels(Read("d.TNO"));
    EXPECT_EQ(first, "00");
    EXPECT_EQ(last, "01");
    ASSERT_EQ(ReadWriteStateVariablesFile(1), 0);

    std::string uic = counter;
    uic.replace(uic.find("340N\n"), 5, "340N UIC\n");
    ASSERT_EQ(RunTransient(uic, kReadWithoutOperatingPoint), 0) << LastText();
    EXPECT_EQ(FirstAndLastLevels(Read("d.TNO")).first, "01");
}

TEST_F(StateFileTest, AnotherCircuitsFileIsObsolete)
{
    ASSERT_EQ(RunTransient(kRc), 0) << LastText();
    ASSERT_EQ(ReadWriteStateVariablesFile(1), 0);
    // One node more: the image length differs.
    ASSERT_EQ(RunTransient("rc\nV1 1 0 1\nR1 1 2 1K\nR2 2 3 1K\nC1 3 0 1U\n.TRAN 0.1M 1M\n.PRINT TRAN V(3)\n.END\n"), 0)
        << LastText();
    const std::vector<std::uint8_t> before = BuildStateImage();
    win::ClearMessageBoxLog();
    EXPECT_EQ(ReadWriteStateVariablesFile(0), kMsgAlreadyReported);
    EXPECT_NE(LastText().find("Obsolete state variables file."), std::string::npos) << LastText();
    EXPECT_EQ(BuildStateImage(), before);  // nothing changed

    // A run that reads it stops with the same message.
    win::ClearMessageBoxLog();
    const std::uint32_t read = kReadWithoutOperatingPoint;
    EXPECT_NE(RunTransient("rc\nV1 1 0 1\nR1 1 2 1K\nR2 2 3 1K\nC1 3 0 1U\n.TRAN 0.1M 1M\n.PRINT TRAN V(3)\n.END\n",
                           read),
              0);
    EXPECT_NE(LastText().find("Obsolete state variables file."), std::string::npos) << LastText();
}

TEST_F(StateFileTest, HeadersThatLieAreRefusedBeforeAnythingIsSized)
{
    ASSERT_EQ(RunTransient(kRc), 0) << LastText();
    const std::string path = (dir_ / "d.TOP").string();
    auto put = [&](std::vector<std::uint32_t> words, std::size_t extra = 0) {
        std::ofstream out(path, std::ios::binary);
        for (std::uint32_t w : words)
            for (int i = 0; i < 4; ++i) out.put(static_cast<char>(w >> (8 * i)));
        for (std::size_t i = 0; i < extra; ++i) out.put(0);
    };
    const std::uint64_t good = ExpectedStateImageLength(0);
    ASSERT_GT(good, 0u);
    // A huge event count whose image length wraps 32 bits.
    put({2, static_cast<std::uint32_t>(good), 0xFFFFFFFFu});
    win::ClearMessageBoxLog();
    EXPECT_EQ(ReadStateVariablesFile(path, record_), kMsgAlreadyReported);
    EXPECT_NE(LastText().find("Obsolete"), std::string::npos);
    // Version 1.
    put({1, static_cast<std::uint32_t>(good), 0});
    EXPECT_EQ(ReadStateVariablesFile(path, record_), kMsgAlreadyReported);
    // The right header on a file cut short.
    put({2, static_cast<std::uint32_t>(good), 0}, 16);
    win::ClearMessageBoxLog();
    const int rc = ReadStateVariablesFile(path, record_);
    EXPECT_GT(rc, 16000);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    // No file.
    EXPECT_GT(ReadStateVariablesFile((dir_ / "none.TOP").string(), record_), 16000);
}

TEST_F(StateFileTest, ZeroStepHistoryEntriesTakeTheLargest)
{
    AnalogSolverState& s = AnalogSolver();
    s.stepHistory = {9.0, 0.0, 2.0, 0.0, 3.0, 0.0, 0.0};
    RepairStepHistory();
    EXPECT_EQ(s.stepHistory[0], 9.0);  // entry 0 is not looked at
    for (std::size_t i = 1; i < s.stepHistory.size(); ++i) EXPECT_GE(s.stepHistory[i], 2.0) << i;
    EXPECT_EQ(s.stepHistory[1], 3.0);
    s.stepHistory.fill(0.0);
    TransientRun().maxStep = 1e-6;
    RepairStepHistory();
    EXPECT_EQ(s.stepHistory[3], 1e-6);
}

}  // namespace
}  // namespace kq5::testing
