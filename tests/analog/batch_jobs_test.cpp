// Batch runs through the kq5 program: the exit status tells whether every job ran, missing
// circuits and command files that are none are named, a circuit named on the command line with
// analysis switches runs as a batch of its own, and the statistics count every solution.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "../core/file_test_support.h"
#include "analog/batch_run.h"
#include "program_output_support.h"

namespace kq5 {
namespace {

class BatchJobs : public test::ScratchDirTest {
protected:
    // Runs kq5 with the arguments in the scratch folder; its exit status. The program is built
    // beside the tests: without it the test fails.
    int Run(const std::string& arguments)
    {
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
        EXPECT_TRUE(std::filesystem::exists(exe)) << "the kq5 program must be built beside the tests";
        const std::string command = "cd '" + PathOf("") + "' && '" + exe.string() + "' " + arguments + " > run.log 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The statistics row of the circuit and analysis letter: iterations, rejected, solutions.
    std::vector<unsigned long> Row(const std::string& statistics, const std::string& circuit, char letter)
    {
        std::istringstream lines(statistics);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(circuit, 0) != 0 || line.size() < 17 || line[16] != letter) continue;
            std::istringstream fields(line.substr(17));
            std::vector<unsigned long> out(3, 0);
            fields >> out[0] >> out[1] >> out[2];
            return out;
        }
        ADD_FAILURE() << "no row for " << circuit << " /" << letter << " in\n" << statistics;
        return {0, 0, 0};
    }

    void WriteDivider() { WriteFile("div.cir", "DIVIDER\nV1 1 0 DC 1\nR1 1 2 1K\nR2 2 0 3K\n.DC V1 0 10 1\n.PRINT DC V(2)\n.END\n"); }
};

TEST_F(BatchJobs, ABatchWhoseJobsAllRanEndsWithSuccess)
{
    WriteDivider();
    WriteFile("jobs.txt", "div.cir /D\n");
    EXPECT_EQ(Run("@jobs.txt"), 0) << ReadText("run.log");
    EXPECT_EQ(ReadText("jobs.DOC").find("Error"), std::string::npos) << ReadText("jobs.DOC");

    // As an editor that marks UTF-8 text saves it: the mark is no part of the first circuit's name.
    WriteFile("jobs.txt", "\xEF\xBB\xBF" "div.cir /D\r\n");
    EXPECT_EQ(Run("@jobs.txt"), 0) << ReadText("jobs.DOC");
    EXPECT_GT(Row(ReadText("jobs.DOC"), "div.cir", 'D')[2], 0u);
}

TEST_F(BatchJobs, AMissingCircuitIsNamedAndFailsTheBatch)
{
    WriteDivider();
    WriteFile("jobs.txt", "nowhere.cir /T\ndiv.cir /D\n");
    EXPECT_NE(Run("@jobs.txt"), 0);
    const std::string statistics = ReadText("jobs.DOC");
    EXPECT_NE(statistics.find("'nowhere.cir'"), std::string::npos) << statistics;
    // The other jobs still run.
    EXPECT_GT(Row(statistics, "div.cir", 'D')[2], 0u);
    // A circuit named on the command line is not said to be named in a command file.
    EXPECT_EQ(Run("nowhere.cir /T"), 1);
    EXPECT_NE(ReadText("nowhere.DOC").find("File not found 'nowhere.cir'"), std::string::npos) << ReadText("nowhere.DOC");
}

// A command file run from another folder finds the circuits kept beside it, and a circuit on the
// $KQ5DATA path is found as the window finds it.
TEST_F(BatchJobs, ACircuitIsFoundBesideItsCommandFileAndOnTheDataPath)
{
    WriteFile("proj/div.cir", "DIVIDER\nV1 1 0 DC 1\nR1 1 2 1K\nR2 2 0 3K\n.DC V1 0 10 1\n.PRINT DC V(2)\n.END\n");
    WriteFile("proj/jobs.txt", "div.cir /D\n");
    EXPECT_EQ(Run("@proj/jobs.txt"), 0) << ReadText("proj/jobs.DOC");
    EXPECT_GT(Row(ReadText("proj/jobs.DOC"), "div.cir", 'D')[2], 0u);
    EXPECT_NE(ReadText("proj/div.DNO").find("DC Analysis of div.cir"), std::string::npos);

    WriteFile("jobs.txt", "div.cir /D\n");
    ::setenv("KQ5DATA", PathOf("proj").c_str(), 1);
    const int status = Run("@jobs.txt");
    ::unsetenv("KQ5DATA");
    EXPECT_EQ(status, 0) << ReadText("jobs.DOC");
}

TEST_F(BatchJobs, EveryFailedAnalysisFailsTheBatch)
{
    WriteFile("bad.cir", "SINGULAR\nV1 1 0 DC 1\nR1 1 2 1K\nC1 2 3 1U\n.DC V1 0 1 1\n.PRINT DC V(3)\n.END\n");
    WriteFile("jobs.txt", "bad.cir /D\n");
    EXPECT_NE(Run("@jobs.txt"), 0) << ReadText("jobs.DOC");
    EXPECT_NE(ReadText("run.log").find("statistics file"), std::string::npos) << ReadText("run.log");
    WriteDivider();
    WriteFile("jobs.txt", "div.cir /X /D\n");
    EXPECT_NE(Run("@jobs.txt"), 0) << ReadText("jobs.DOC");
}

// A schematic whose header is damaged, or of a version this program cannot read, is refused as the
// window refuses it, not read as a netlist that fails with the reader's view of its lines.
TEST_F(BatchJobs, ADamagedOrOutdatedSchematicIsRefusedAsTheWindowRefusesIt)
{
    WriteFile("badtype.cir", "[Main]\nFileType=XYZ\nVersion=5.20\nProgram=Kestrion V\n");
    WriteFile("newer.cir", "5.04\nKestrion V\nNorvale Softworks\n0\n");
    for (auto [name, message] : {std::pair{"badtype", "Bad format in loading file"}, std::pair{"newer", "Must run CONVERT"}}) {
        EXPECT_EQ(Run(std::string(name) + ".cir /T"), 1) << name;
        const std::string statistics = ReadText(std::string(name) + ".DOC");
        EXPECT_NE(statistics.find(message), std::string::npos) << statistics;
        EXPECT_EQ(statistics.find("Missing nodes"), std::string::npos) << statistics;
        EXPECT_EQ(statistics.find("Unknown command"), std::string::npos) << statistics;
    }
}

TEST_F(BatchJobs, AStartUpErrorIsPlainText)
{
    EXPECT_EQ(Run("/X"), 1);
    EXPECT_EQ(ReadText("run.log"), "kq5: Error in command line '/X'.\n");
}

TEST_F(BatchJobs, ACommandFileThatIsAFolderOrNoTextIsNamed)
{
    std::filesystem::create_directory(PathOf("jobs"));
    EXPECT_NE(Run("@jobs"), 0);
    EXPECT_NE(ReadText("jobs.DOC").find("13391"), std::string::npos) << ReadText("jobs.DOC");

    WriteFile("image.bin", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    EXPECT_NE(Run("@image.bin"), 0);
    EXPECT_NE(ReadText("image.DOC").find("13391"), std::string::npos) << ReadText("image.DOC");
}

TEST_F(BatchJobs, AMissingCommandFileIsNamedAndWritesNoStatistics)
{
    EXPECT_EQ(Run("@nosuchjobs.txt"), 1);
    EXPECT_NE(ReadText("run.log").find("nosuchjobs.txt"), std::string::npos) << ReadText("run.log");
    EXPECT_FALSE(std::filesystem::exists(PathOf("nosuchjobs.DOC")));
}

TEST_F(BatchJobs, ALineOfSwitchesWithoutAnAnalysisIsRefused)
{
    WriteDivider();
    for (const char* line : {"div.cir /Q\n", "div.cir /X\n", "div.cir /T /Q\n"}) {
        WriteFile("jobs.txt", line);
        EXPECT_EQ(Run("@jobs.txt"), 1) << line;
        EXPECT_NE(ReadText("jobs.DOC").find("10143"), std::string::npos) << line << ReadText("jobs.DOC");
    }
}

TEST_F(BatchJobs, AnAnalysisWithoutItsNetlistLineIsNamed)
{
    WriteDivider();  // a .DC line only
    WriteFile("jobs.txt", "div.cir /A\n");
    EXPECT_EQ(Run("@jobs.txt"), 0) << ReadText("jobs.DOC");
    EXPECT_NE(ReadText("jobs.DOC").find("13398"), std::string::npos) << ReadText("jobs.DOC");
    WriteFile("ac.cir", "RC AC\nVIN 1 0 AC 1\nR1 1 2 1K\nC1 2 0 1UF\n.AC DEC 5 10 10KHZ\n.END\n");
    WriteFile("jobs.txt", "ac.cir /D\n");
    EXPECT_EQ(Run("@jobs.txt"), 1);
    EXPECT_NE(ReadText("jobs.DOC").find("13399"), std::string::npos) << ReadText("jobs.DOC");
}

TEST_F(BatchJobs, AnAcRunWithoutItsLineIsTakenAboutTheOperatingPoint)
{
    // No .AC line: the sweep takes its default limits, but the diode is still linearised about
    // its bias (node 2 near 0.65 V), not about 0 V.
    WriteFile("bias.cir", "BIAS\nV1 1 0 DC 5\nR1 1 2 1K\nR2 2 0 1K\nD1 2 0 DX\n.MODEL DX D (IS=2.52N RS=.568 N=1.752)\n.END\n");
    ASSERT_EQ(Run("bias.cir /A"), 0) << ReadText("bias.DOC");
    const std::string report = ReadText("bias.ANO");
    EXPECT_NE(report.find("645.65"), std::string::npos) << report;
}

TEST_F(BatchJobs, LimitsThatARunCannotTakeAreShownWithTheirLine)
{
    WriteFile("neg.cir", "NEGATIVE\nV1 1 0 1\nR1 1 2 1K\nC1 2 0 1U\n.TRAN -1U -1M\n.PRINT TRAN V(2)\n.END\n");
    WriteFile("jobs.txt", "neg.cir /T\n");
    EXPECT_EQ(Run("@jobs.txt"), 1);
    const std::string statistics = ReadText("jobs.DOC");
    EXPECT_NE(statistics.find("13545"), std::string::npos) << statistics;
    EXPECT_NE(statistics.find("-1M"), std::string::npos) << statistics;
    EXPECT_NE(statistics.find("Line:\t5"), std::string::npos) << statistics;

    // A noise source that is not in the circuit is named with the .NOISE line, not the .AC line.
    WriteFile("noise.cir", "NOISE\nV1 1 0 AC 1\nR1 1 2 1K\nR2 2 0 1K\n.NOISE V(2) VX 5\n.AC DEC 1 1K 10K\n"
                           ".PRINT NOISE ONOISE\n.END\n");
    WriteFile("jobs.txt", "noise.cir /A\n");
    EXPECT_EQ(Run("@jobs.txt"), 1);
    const std::string noise = ReadText("jobs.DOC");
    EXPECT_NE(noise.find("13530"), std::string::npos) << noise;
    EXPECT_NE(noise.find("Line:\t5"), std::string::npos) << noise;
}

TEST_F(BatchJobs, AnOutputFileThatCannotBeWrittenFailsTheBatch)
{
    WriteDivider();
    std::filesystem::create_directory(PathOf("div.DNO"));  // where the numeric output should go
    WriteFile("jobs.txt", "div.cir /D\n");
    EXPECT_NE(Run("@jobs.txt"), 0);
    const std::string statistics = ReadText("jobs.DOC");
    EXPECT_NE(statistics.find(PathOf("div.DNO")), std::string::npos) << statistics;
}

TEST_F(BatchJobs, ACircuitWithAnalysisSwitchesRunsAsABatchOfItsOwn)
{
    WriteDivider();
    ASSERT_EQ(Run("div.cir /D"), 0) << ReadText("run.log");
    const std::string statistics = ReadText("div.DOC");
    EXPECT_EQ(statistics.rfind("div.cir ", 0), 0u) << statistics;
    EXPECT_GE(Row(statistics, "div.cir", 'D')[2], 11u);
    EXPECT_NE(ReadText("div.DNO").find("DC Analysis of div.cir"), std::string::npos);

    StartupCommandLine line = ReadCommandLine({"div.cir", "/D", "/S"});
    EXPECT_EQ(line.batchLine, "div.cir /D /S");
    EXPECT_EQ(line.batchFlags, kBatchSave);
    EXPECT_TRUE(line.leftover.empty());
    line = ReadCommandLine({"a.cir", "b.cir"});
    EXPECT_TRUE(line.batchLine.empty());
    EXPECT_EQ(line.files.size(), 2u);
}

// A batch run that draws nothing keeps one point per unchanged stretch of its digital curves,
// and a long clock lets go of the edges it played; every printed row still reads the states of
// its own time.
TEST_F(BatchJobs, PrintedDigitalStatesOfABatchRunFollowTheCircuit)
{
    std::string netlist = "3-BIT COUNTER\n.MODEL IO_S UIO()\n.MODEL DG UGATE(TPLHTY=2NS TPHLTY=2NS)\n"
                          ".MODEL DF UEFF(TPCLKQLHTY=5NS TPCLKQHLTY=5NS)\n.OPTIONS DIGINITSTATE=0\n"
                          "UCLK STIM(1,1) $G_DPWR $G_DGND CLK IO_S\n+ 0NS 0\n+ REPEAT FOREVER\n+ +50NS 1\n"
                          "+ +50NS 0\n+ ENDREPEAT\n";
    for (int b = 0; b < 3; ++b) {
        const std::string i = std::to_string(b), carry = b == 0 ? "$D_HI" : "K" + i;
        netlist += "UF" + i + " DFF(1) $G_DPWR $G_DGND $D_HI $D_HI CLK D" + i + " Q" + i + " QB" + i + " DF IO_S\n";
        netlist += "UX" + i + " XOR $G_DPWR $G_DGND Q" + i + " " + carry + " D" + i + " DG IO_S\n";
        netlist += "UA" + i + " AND(2) $G_DPWR $G_DGND Q" + i + " " + carry + " K" + std::to_string(b + 1) + " DG IO_S\n";
    }
    // Long enough for the clock's played edges to be let go during the run.
    netlist += ".TRAN 10NS 1000US\n.PRINT TRAN D(Q0) D(Q1) D(Q2)\n.END\n";
    WriteFile("count.cir", netlist);
    ASSERT_EQ(Run("count.cir /T"), 0) << ReadText("run.log");
    std::istringstream lines(ReadText("count.TNO"));
    int row = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        double time = 0.0;
        int q[3] = {-1, -1, -1};
        if (!(fields >> time >> q[0] >> q[1] >> q[2])) continue;
        // Rising edges at 50 ns + k 100 ns; the outputs follow 5 ns later.
        const int t = row * 10, count = t > 55 ? ((t - 55 + 99) / 100) % 8 : 0;
        EXPECT_EQ(q[0] + 2 * q[1] + 4 * q[2], count) << "row at " << t << " ns: " << line;
        ++row;
    }
    EXPECT_EQ(row, 100001);
}

// An AC run replayed from its run data file prints the rows of the run that was saved, and no
// operating point: none is solved in a replay, and the report used to show every node at 0 V.
// A noise run prints the noise of the circuit.
TEST_F(BatchJobs, AnAcRunReplayedWithRetrieveReportsOnlyWhatWasComputed)
{
    WriteFile("amp.cir", "CE STAGE\nVCC 4 0 DC 12\nVIN 1 0 AC 1\nC1 1 2 10U\nR1 4 2 47K\nR2 2 0 10K\nRC 4 3 4.7K\n"
                         "RE 5 0 1K\nCE 5 0 100U\nQ1 3 2 5 QN\n.MODEL QN NPN(BF=150 CJC=2P CJE=5P)\n"
                         ".AC DEC 10 10 10MEG\n.PRINT AC VDB(3) VP(3)\n.END\n");
    ASSERT_EQ(Run("amp.cir /A /S"), 0) << ReadText("amp.DOC");
    const std::string saved = ReadText("amp.ANO");
    ASSERT_NE(saved.find("DC Operating Point"), std::string::npos) << saved;
    ASSERT_EQ(Run("amp.cir /A /R"), 0) << ReadText("amp.DOC");
    const std::string replayed = ReadText("amp.ANO");
    EXPECT_EQ(replayed.find("DC Operating Point"), std::string::npos) << replayed;
    const auto rows = [](const std::string& text, const char* heading) { return text.substr(text.find(heading)); };
    EXPECT_EQ(rows(replayed, "DB(V(3))"), rows(saved, "DB(V(3))"));

    // The noise of a run is not in its run data file: a Retrieve of a noise run computes it
    // again, where it printed 1e-20 and 1e-50 at every frequency.
    std::string noise = ReadText("amp.cir");
    noise.replace(noise.find(".PRINT AC VDB(3) VP(3)"), std::string(".PRINT AC VDB(3) VP(3)").size(),
                  ".NOISE V(3) VIN 10\n.PRINT NOISE INOISE ONOISE");
    WriteFile("amp.cir", noise);
    ASSERT_EQ(Run("amp.cir /A /S"), 0) << ReadText("amp.DOC");
    const std::string computed = ReadText("amp.ANO");
    ASSERT_EQ(Run("amp.cir /A /R"), 0) << ReadText("amp.DOC");
    EXPECT_EQ(rows(ReadText("amp.ANO"), "INOISE"), rows(computed, "INOISE"));
    EXPECT_EQ(ReadText("amp.ANO").find("1.000e-20"), std::string::npos) << ReadText("amp.ANO");
}

// A transient run saved while it printed no MOSFET quantity, then replayed printing some: the
// replay prints what a run printing them computes (the saved currents are those of every
// point, not left over from the operating point).
TEST_F(BatchJobs, ASavedTransientReplaysTheMosfetQuantitiesItDidNotPrint)
{
    const std::string models =
        ".MODEL NM NMOS (LEVEL=3 VTO=0.7 TOX=20N NSUB=1E16 UO=550 THETA=0.05 VMAX=1.5E5 KAPPA=0.3 CGSO=0.3N "
        "CGDO=0.3N CJ=2E-4 CJSW=5E-10 MJSW=0.33)\n"
        ".MODEL PM PMOS (LEVEL=3 VTO=-0.8 TOX=20N NSUB=1E16 UO=220 THETA=0.05 VMAX=1E5 KAPPA=0.3 CGSO=0.3N "
        "CGDO=0.3N CJ=2E-4 CJSW=5E-10 MJSW=0.33)\n";
    const std::string inverter = "INVERTER\nVDD 1 0 5\nVIN 2 0 PULSE(0 5 1N 1N 1N 10N 20N)\nM1 3 2 0 0 NM L=1U W=4U\n"
                                 "M2 3 2 1 1 PM L=1U W=10U\nC1 3 0 50F\n" + models + ".TRAN 1N 40N\n";
    WriteFile("inv.cir", inverter + ".PRINT TRAN V(3)\n.END\n");
    ASSERT_EQ(Run("inv.cir /T /S"), 0) << ReadText("inv.DOC");
    WriteFile("inv.cir", inverter + ".PRINT TRAN {ID(M1)*1E6} {IG(M2)*1E6} {IS(M2)*1E6}\n.END\n");
    // Only the printed quantities changed: the circuit keeps a time older than its run data, which
    // a Retrieve would otherwise take for obsolete.
    std::filesystem::last_write_time(PathOf("inv.cir"), std::filesystem::last_write_time(PathOf("inv.TSA")) - std::chrono::seconds(5));
    ASSERT_EQ(Run("inv.cir /T /R"), 0) << ReadText("inv.DOC");
    const std::vector<std::vector<double>> replayed = test::TableRows(ReadText("inv.TNO"));
    ASSERT_EQ(Run("inv.cir /T"), 0) << ReadText("inv.DOC");
    const std::vector<std::vector<double>> computed = test::TableRows(ReadText("inv.TNO"));
    ASSERT_EQ(computed.size(), 41u) << ReadText("inv.TNO");
    // The gate current of the PMOS flows at the edges only.
    const auto gateCurrent = [](const std::vector<double>& row) { return row.size() > 2 && row[2] != 0.0; };
    EXPECT_TRUE(std::any_of(computed.begin(), computed.end(), gateCurrent)) << ReadText("inv.TNO");
    EXPECT_EQ(replayed, computed);
}

// The charges of the devices are in every record a Save writes: a replay prints them as the run
// printed them, where it printed 0 at every point (M5 with the charge node of its own).
TEST_F(BatchJobs, ASavedTransientReplaysTheChargesOfItsDevices)
{
    WriteFile("inv.cir", "INVERTER\nVDD 1 0 5\nVIN 2 0 PULSE 0 5 0 1N 1N 10N 20N\nM1 3 2 0 0 NM L=1U W=10U\n"
                         "M2 3 2 1 1 PM L=1U W=20U\nC1 3 0 1P\nQ1 1 2 4 QN\nR4 4 0 1K\n"
                         "M3 3 2 0 0 N4 L=2U W=10U\nM4 3 2 0 0 N8 L=1U W=10U AD=10P\n"
                         "M5 3 2 0 5 NQ L=1U W=10U AD=10P AS=10P\nVB 5 0 -1\n"
                         ".MODEL NQ NMOS (LEVEL=8 NQSMOD=1 CJ=5E-4 CGBO=1E-9)\n"
                         ".MODEL NM NMOS (VTO=1 KP=50U CGSO=1N CGDO=1N CBD=10F)\n"
                         ".MODEL PM PMOS (VTO=-1 KP=20U CGSO=1N CGDO=1N CBD=10F)\n.MODEL QN NPN (CJE=1P CJC=1P)\n"
                         ".MODEL N4 NMOS (LEVEL=4 VFB=-0.8 PHI=0.8 K1=1.1 MUZ=600 MUS=600 U0=0.05 U1=0.01 N0=200\n"
                         "+ VDD=5 TOX=0.03 CGDO=3E-10 CGSO=3E-10 CGBO=5E-10)\n.MODEL N8 NMOS (LEVEL=8 CJ=5E-4)\n"
                         ".TRAN 1N 20N\n.PRINT TRAN QGS(M2)*1E15 QGD(M1)*1E15 QBD(M1)*1E15 Q(C1)*1E15 QBC(Q1)*1E15\n"
                         ".PRINT TRAN QGD(M3)*1E15 QGB(M3)*1E15 QGD(M4)*1E15 QBD(M4)*1E15\n"
                         ".PRINT TRAN QGD(M5)*1E15 QGB(M5)*1E15 QBD(M5)*1E15 QBS(M5)*1E15\n.END\n");
    ASSERT_EQ(Run("inv.cir /T /S"), 0) << ReadText("inv.DOC");
    const std::string saved = ReadText("inv.TNO");
    ASSERT_NE(saved.find("-50.000"), std::string::npos) << saved;  // QGD(M1) with the gate low
    ASSERT_NE(saved.find("-15.000"), std::string::npos) << saved;  // QGD(M3), its drain overlap alone
    ASSERT_EQ(Run("inv.cir /T /R"), 0) << ReadText("inv.DOC");
    const auto rows = [](const std::string& text) { return text.substr(text.find("QGS(M2)")); };
    EXPECT_EQ(rows(ReadText("inv.TNO")), rows(saved));
}

TEST_F(BatchJobs, StatisticsCountTheSolutionsOfAcRunsAndOfEverySweep)
{
    WriteFile("ac.cir", "RC AC\nVIN 1 0 AC 1\nR1 1 2 1K\nC1 2 0 1UF\n.AC DEC 5 10 10KHZ\n.PRINT AC VM(2)\n.END\n");
    WriteFile("nest.cir", "NESTED\nV1 1 0 DC 0\nV2 2 0 DC 0\nR1 1 3 1K\nR2 2 3 1K\nR3 3 0 1K\n"
                          ".DC V1 0 1 0.5 V2 0 2 1\n.PRINT DC V(3)\n.END\n");
    WriteFile("one.cir", "SINGLE\nV1 1 0 DC 0\nR1 1 3 1K\nR2 0 3 1K\nR3 3 0 1K\n.DC V1 0 1 0.5\n.PRINT DC V(3)\n.END\n");
    WriteFile("jobs.txt", "ac.cir /A\nnest.cir /D\none.cir /D\n");
    ASSERT_EQ(Run("@jobs.txt"), 0) << ReadText("jobs.DOC");
    const std::string statistics = ReadText("jobs.DOC");
    EXPECT_EQ(Row(statistics, "ac.cir", 'A')[2], 16u);  // DEC 5 over three decades
    // Three sweeps of V1, each of about as many points as the single sweep (the later ones step
    // within the Y range the plot took from the data): the statistics count them all.
    const unsigned long single = Row(statistics, "one.cir", 'D')[2];
    EXPECT_GT(single, 0u);
    EXPECT_GT(Row(statistics, "nest.cir", 'D')[2], 2 * single);
}

}  // namespace
}  // namespace kq5
