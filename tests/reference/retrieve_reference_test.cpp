// A run saved with /S and replayed with /R prints what the run itself printed, branch currents
// included, and both agree with ngspice. The kq5 program runs as a user runs it, from a batch.
#include <sys/wait.h>

#include <chrono>
#include <complex>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../core/file_test_support.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

class RetrieveReference : public kq5::test::ScratchDirTest {
protected:
    // Runs "kq5 circuit.cir <switches>" in the scratch folder; true when it ended with success.
    bool Run(const std::string& switches) const
    {
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
        EXPECT_TRUE(std::filesystem::exists(exe)) << "the kq5 program must be built beside the tests";
        const std::string command =
            "cd '" + PathOf("") + "' && '" + exe.string() + "' circuit.cir " + switches + " > run.log 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // The printed table of a numeric output file: the rows after the units line.
    static std::vector<std::vector<double>> Table(const std::string& text)
    {
        std::vector<std::vector<double>> rows;
        std::istringstream lines(text);
        bool inTable = false;
        for (std::string line; std::getline(lines, line);) {
            if (!inTable) {
                // The units line, "(V)" or "(KHz)" under the headings, opens the table.
                const std::size_t first = line.find_first_not_of(' ');
                inTable = first != std::string::npos && line[first] == '(';
                continue;
            }
            std::istringstream cells(line);
            std::vector<double> row;
            for (double v; cells >> v;) row.push_back(v);
            if (!row.empty()) rows.push_back(row);
        }
        return rows;
    }

    // Direct run, Save run and Retrieve run of the circuit; every printed table must be the same,
    // and the direct one must agree with ngspice on every printed quantity.
    void Check(const ReferenceCircuit& circuit, const std::string& switchLetter, const std::string& outputName,
               double scale)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the reference comparisons";
        WriteFile("circuit.cir", circuit.ourText);
        ASSERT_TRUE(Run(switchLetter)) << ReadText("run.log") << ReadText("circuit.DOC");
        const std::string direct = ReadText(outputName);
        ASSERT_TRUE(Run(switchLetter + " /S")) << ReadText("circuit.DOC");
        EXPECT_EQ(ReadText(outputName), direct);
        ASSERT_TRUE(Run(switchLetter + " /R")) << ReadText("circuit.DOC");
        const std::string replayed = ReadText(outputName);
        EXPECT_EQ(replayed.substr(replayed.find("Temperature")), direct.substr(direct.find("Temperature")));

        const std::vector<std::vector<double>> table = Table(direct);
        ASSERT_GT(table.size(), 10u) << direct;
        const NgspiceResult theirs = RunNgspice(circuit);
        ASSERT_TRUE(theirs.error.empty() && !theirs.scale.empty()) << theirs.error;
        for (std::size_t q = 0; q < circuit.quantities.size(); ++q) {
            // ngspice's dense points, interpolated onto the printed rows (three decimals).
            OurCurve ngspice;
            ngspice.x = theirs.scale;
            ngspice.y = theirs.values[q];
            std::vector<double> xs;
            std::vector<std::complex<double>> printed;
            for (const std::vector<double>& row : table) {
                ASSERT_EQ(row.size(), circuit.quantities.size() + 1) << direct;
                xs.push_back(row[0] * scale);
                printed.emplace_back(row[q + 1], 0.0);
            }
            const Disagreement d = CompareCurve(ngspice, xs, printed, circuit, true);
            EXPECT_LT(d.worst, circuit.relative)
                << circuit.quantities[q] << " at " << d.at << ": ours " << d.ours.real() << ", ngspice " << d.theirs.real();
            EXPECT_GT(d.compared, 10) << circuit.quantities[q];
        }
    }
};

ReferenceCircuit BranchCurrentCircuit(ReferenceAnalysis analysis, const std::string& command, const std::string& print)
{
    // The currents of a source, of a zero-volt sense source in series with the inductor, and a
    // node voltage: the first two are unknowns of their own, not node voltages.
    const std::string body = "V1 1 0 PULSE(0 10 0 1U 1U 5U 20U)\nR1 1 2 5\nL1 2 3 20U\nVL 3 4 0\nR2 4 0 5\nC1 2 0 0.2U\n";
    ReferenceCircuit c;
    c.name = "retrieve";
    c.analysis = analysis;
    c.quantities = {"V(2)", "I(V1)", "I(VL)"};
    c.ngQuantities = c.quantities;
    c.ourText = "BRANCH CURRENTS\n" + body + command + "\n" + print + "\n.END\n";
    c.ngText = "branch currents\n" + body + command + "\n";
    c.relative = 0.02;
    c.floor = 0.05;
    return c;
}

TEST_F(RetrieveReference, TransientBranchCurrentsReplayAsComputed)
{
    Check(BranchCurrentCircuit(ReferenceAnalysis::kTran, ".TRAN 0.1U 20U 0 0.02U", ".PRINT TRAN V(2) I(V1) I(VL)"), "/T",
          "circuit.TNO", 1e-6);
}

TEST_F(RetrieveReference, DcSweepBranchCurrentsReplayAsComputed)
{
    Check(BranchCurrentCircuit(ReferenceAnalysis::kDc, ".DC V1 -5 10 0.5", ".PRINT DC V(2) I(V1) I(VL)"), "/D",
          "circuit.DNO", 1.0);
}

TEST_F(RetrieveReference, AcDeviceCurrentsReplayAsComputed)
{
    // AC currents of sources, capacitors and inductors are not stored: they are worked out again
    // from the replayed solution, so they must print as the run printed them.
    WriteFile("circuit.cir",
              "AC CURRENTS\nV1 1 0 DC 1 AC 1\nR1 1 2 1K\nC1 2 0 1U\nL1 2 3 1M\nR2 3 0 100\n"
              ".AC DEC 5 100 10K\n.PRINT AC IR(V1) II(V1) IR(C1) II(C1) IR(L1)\n.END\n");
    ASSERT_TRUE(Run("/A")) << ReadText("run.log");
    const std::string direct = ReadText("circuit.ANO");
    const std::vector<std::vector<double>> table = Table(direct);
    ASSERT_GT(table.size(), 5u) << direct;
    bool sourceCurrentSeen = false;
    for (const std::vector<double>& row : table) sourceCurrentSeen |= row.size() > 1 && row[1] != 0.0;
    EXPECT_TRUE(sourceCurrentSeen) << direct;
    ASSERT_TRUE(Run("/A /S")) << ReadText("circuit.DOC");
    ASSERT_TRUE(Run("/A /R")) << ReadText("circuit.DOC");
    const std::string replayed = ReadText("circuit.ANO");
    EXPECT_EQ(replayed.substr(replayed.find("Temperature")), direct.substr(direct.find("Temperature")));
}

// A circuit changed after its run was saved keeps its equation count: a Retrieve used to replay
// the old circuit's run as this one's. The transient is refused with the obsolete-file message;
// the AC run computes the changed circuit instead.
TEST_F(RetrieveReference, ARunSavedBeforeTheCircuitChangedIsNotReplayed)
{
    const auto write = [this](const std::string& r1) {
        WriteFile("circuit.cir", "RC\nV1 1 0 PULSE(0 1 0 1U 1U 10M 20M) AC 1\nR1 1 2 " + r1 +
                                     "\nC1 2 0 1U\n.TRAN 0.1M 5M\n.AC DEC 5 10 10K\n.PRINT TRAN V(2)\n"
                                     ".PRINT AC VM(2)\n.END\n");
    };
    write("1K");
    ASSERT_TRUE(Run("/T /S")) << ReadText("circuit.DOC");
    ASSERT_TRUE(Run("/A /S")) << ReadText("circuit.DOC");
    write("100");
    // Written later than the run data, as an edit made after the run would be.
    const auto saved = std::filesystem::last_write_time(PathOf("circuit.TSA"));
    std::filesystem::last_write_time(PathOf("circuit.cir"), saved + std::chrono::seconds(5));
    std::filesystem::last_write_time(PathOf("circuit.ASA"), saved);

    Run("/T /R");
    EXPECT_NE(ReadText("circuit.DOC").find("Obsolete data file, please rerun the simulation."), std::string::npos)
        << "the old run was replayed as the changed circuit's:\n" << ReadText("circuit.DOC");

    ASSERT_TRUE(Run("/A")) << ReadText("circuit.DOC");
    const std::string direct = ReadText("circuit.ANO");
    Run("/A /R");
    const std::string retrieved = ReadText("circuit.ANO");
    ASSERT_NE(retrieved.find("Temperature"), std::string::npos) << retrieved;
    EXPECT_EQ(retrieved.substr(retrieved.find("Temperature")), direct.substr(direct.find("Temperature")));
}

}  // namespace
}  // namespace kq5::reference
