// Parts with programs, built from netlists and run event by event: LOGICEXP truth tables,
// PINDLY delays and enables, the CONSTRAINT and PINDLY check blocks, every compiler message,
// and the and-or gates read from netlists.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "core/file_units.h"
#include "digital/digital_checks.h"
#include "core/digital_logic_tables.h"
#include "digital/digital_programs.h"
#include "digital_build_test_support.h"
#include "digital_test_support.h"
#include "document/component_types.h"
#include "netlist/global_options.h"

namespace kq5::testing {
namespace {

constexpr const char* kModels =
    ".MODEL G2 UGATE (TPLHTY=2N TPHLTY=3N)\n"
    ".MODEL IO_STD UIO (DRVH=50 DRVL=50)\n";

class DigitalProgramTest : public DigitalBuildTest {
protected:
    void TearDown() override
    {
        if (unit_ >= 0) CloseUnit(unit_);
        Analog().numericOutputUnit = -1;
        if (!path_.empty()) std::filesystem::remove(path_);
        DigitalBuildTest::TearDown();
    }

    // Builds the netlist (1 ps ticks, or a billionth of `end`) and runs its events to the end,
    // each tick accepted (rejected first when asked). Returns 0 or the build's result.
    int Run(const std::string& body, bool rejectEach = false, double end = 1e-3)
    {
        const int rc = BuildText("programs\n" + body + kModels + ".TRAN 1N 1M\n.END\n");
        if (rc) return rc;
        ResetFileUnitsForTests();
        path_ = std::filesystem::temp_directory_path() / ("kq5_programs_" + std::to_string(::getpid()) + ".tno");
        unit_ = FindFreeUnit();
        EXPECT_EQ(CreateReplacingUnit(path_.string(), unit_), 0);
        Analog().numericOutputUnit = unit_;
        SetBreakpointTimeScale(0.0, end);
        EXPECT_EQ(StartDigitalRun(0.0), 0);
        EXPECT_EQ(SolveDigitalOperatingPoint(), 0);
        AcceptDigitalPoint();
        Note(0);
        RunQueuedEvents(rejectEach, [&](std::uint32_t at) { Note(at); });
        CloseUnit(unit_);
        unit_ = -1;
        Analog().numericOutputUnit = -1;
        output_ = ReadOutputText(path_);
        return 0;
    }

    // The changes of a node as "ns:letter" (picoseconds when not whole nanoseconds).
    std::string Changes(const std::string& node) { return changes_[node]; }
    void Watch(std::initializer_list<const char*> nodes)
    {
        for (const char* n : nodes) watched_.emplace_back(n);
    }
    const std::string& Output() const { return output_; }

    // The record of the n-th device (1-based) as the compiler left it.
    template <class Record>
    Record* RecordOf(int device)
    {
        return dynamic_cast<Record*>(DigitalSimulator().record[static_cast<std::size_t>(device)].get());
    }

private:
    void Note(std::uint32_t at)
    {
        for (const std::string& name : watched_) {
            const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeDigital);
            ASSERT_GT(node, 0) << name;
            const char letter = DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(node)]);
            char& last = last_[name];
            if (letter == last) continue;
            last = letter;
            std::string& text = changes_[name];
            const std::string time = at % 1000 == 0 ? std::to_string(at / 1000) : std::to_string(at) + "p";
            text += (text.empty() ? "" : " ") + time + ":" + letter;
        }
    }

    std::filesystem::path path_;
    int unit_ = -1;
    std::string output_;
    std::vector<std::string> watched_;
    std::map<std::string, char> last_;
    std::map<std::string, std::string> changes_;
};

// Every input combination of three inputs, one each 10 ns (A the most significant).
constexpr const char* kCounter =
    "U1 STIM(3,111) $G_DPWR $G_DGND A B C IO_STD 0NS 000 10NS 001 20NS 010 30NS 011 40NS 100 50NS 101 60NS 110 70NS 111\n";

TEST_F(DigitalProgramTest, LogicExpressionsFollowTheirTruthTablesThroughTemporaries)
{
    Watch({"Y", "Z"});
    ASSERT_EQ(Run(std::string(kCounter) +
                  "U2 LOGICEXP(3,2) $G_DPWR $G_DGND A B C Y Z G2 IO_STD\n"
                  "+ LOGIC: T = {A & B}\n"
                  "+   Y = {T | ~C}\n"
                  "+   Z = {A ^ B ^ C}\n"),
              0)
        << LastShownText();
    // Y = A&B | ~C: 1 0 1 0 1 0 1 1; Z = parity: 0 1 1 0 1 0 0 1. Rises take 2 ns, falls 3 ns;
    // the first values hold at the operating point.
    EXPECT_EQ(Changes("Y"), "0:1 13:0 22:1 33:0 42:1 53:0 62:1");
    EXPECT_EQ(Changes("Z"), "0:0 12:1 33:0 42:1 53:0 72:1");
    auto* record = RecordOf<LogicExpRecord>(2);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->assignments.size(), 3u);
    // The temporary comes after the five pins and is read by the later assignment.
    EXPECT_EQ(record->variables.names, (std::vector<std::string>{"A", "B", "C", "Y", "Z", "T"}));
    EXPECT_EQ(record->variables.kinds, (std::vector<std::uint32_t>{1, 1, 1, 2, 2, 8}));
    EXPECT_EQ(record->assignments[0].target, 5);
}

TEST_F(DigitalProgramTest, PinDelaysTakeTheDelayOfEachTransitionAndEnablesDriveZ)
{
    Watch({"Y", "BUS"});
    ASSERT_EQ(Run("U1 STIM(2,11) $G_DPWR $G_DGND IN EN IO_STD 0NS 01 20NS 11 50NS 01 80NS 00 100NS 01 120NS 11\n"
                  "U2 PINDLY(2,1,0) $G_DPWR $G_DGND IN IN EN Y BUS IO_STD\n"
                  "+ PINDLY: Y = { CASE(TRN_LH, DELAY(1N,2N,3N), TRN_HL, DELAY(4N,5N,6N), DELAY(7N,8N,9N)) }\n"
                  "+ TRISTATE: ENABLE HI = EN\n"
                  "+   BUS = { CASE(TRN_ZH, DELAY(-1,10N,-1), TRN_HZ | TRN_LZ, DELAY(-1,11N,-1), DELAY(-1,1N,-1)) }\n"),
              0)
        << LastShownText();
    // Y: 0 at the operating point, up 2 ns after 20, down 5 ns after 50, up 2 after 120.
    EXPECT_EQ(Changes("Y"), "0:0 22:1 55:0 122:1");
    // BUS: driven low at the operating point (the enable is 1 there); 1 at 21; 0 at 51; Z 11 ns
    // after the enable drops at 80; back from Z to 0 (default 1 ns) at 101; up at 121.
    EXPECT_EQ(Changes("BUS"), "0:0 21:1 51:0 91:Z 101:0 121:1");
}

TEST_F(DigitalProgramTest, BooleansAndChangedSelectTheDelayOfAReferenceEdge)
{
    Watch({"Q"});
    // The output takes 2 ns after a rising clock edge and 6 ns after any other change.
    ASSERT_EQ(Run("U1 STIM(2,11) $G_DPWR $G_DGND D CLK IO_STD 0NS 00 10NS 01 20NS 10 30NS 01 40NS 11\n"
                  "U2 PINDLY(1,0,1) $G_DPWR $G_DGND D CLK Q IO_STD\n"
                  "+ BOOLEAN: EDGE = { CHANGED_LH(CLK, 0) }\n"
                  "+ PINDLY: Q = { CASE(EDGE, DELAY(-1,2N,-1), DELAY(-1,6N,-1)) }\n"),
              0)
        << LastShownText();
    // D rises at 20 with the clock falling: 6 ns; falls at 30 with a clock rise: 2 ns; rises at
    // 40 with the clock steady: 6 ns.
    EXPECT_EQ(Changes("Q"), "0:0 26:1 32:0 46:1");
}

// A CONSTRAINT clocked at 20 ns with data D: the hand-computed violations of each check.
constexpr const char* kChecked =
    "U2 CONSTRAINT(3) $G_DPWR $G_DGND CLK D EN IO_STD\n"
    "+ SETUP_HOLD: CLOCK LH = CLK DATA(1) = D SETUPTIME = 5N HOLDTIME = 3N WHEN = { EN == '1 }\n"
    "+   MESSAGE = \"Data of the register\"\n"
    "+ WIDTH: NODE = CLK MIN_HI = 6N MIN_LO = 8N\n"
    "+ GENERAL: WHEN = { D == '1 & EN == '0 } MESSAGE = \"D high while disabled\" ERRORLIMIT = 1\n";

TEST_F(DigitalProgramTest, ConstraintChecksWriteTheirBlocksAtHandComputedTimes)
{
    // CLK: rises 20, falls 30, rises 40 (period 20), falls 45 (high 5 < 6), rises 50 (period 10,
    // low 5 < 8), falls 60. D: changes at 17 (setup 3 < 5), at 41 (hold 1 < 3), at 70 with EN
    // low (general), 75 low, 80 high again (general, but its limit is 1).
    ASSERT_EQ(Run("U1 STIM(3,111) $G_DPWR $G_DGND CLK D EN IO_STD 0NS 001 17NS 011 20NS 111 30NS 011 40NS 111 41NS 101\n"
                  "+ 45NS 001 50NS 101 60NS 001 70NS 010 75NS 000 80NS 010\n" +
                  std::string(kChecked)),
              0)
        << LastShownText();
    const std::string& out = Output();
    EXPECT_NE(out.find("\nDigital Warning\nSetup time violation at t=2e-08\nDevice U2\nMinimum setup time is 5e-09\n"
                       "Node D, measured setup time was 3e-09\nDATA OF THE REGISTER\n\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nDigital Warning\n*Hold time violation at t=4.1e-08\nDevice U2\nMinimum hold time is 3e-09\n"
                       "Node D, measured hold time was 1e-09\nDATA OF THE REGISTER\n\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nDigital Warning\nWidth high violation at t=4.5e-08\nDevice U2\nMinimum high width is 6e-09\n"
                       "Node CLK, measured width was 5e-09\n\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Width low violation at t=5e-08\nDevice U2\nMinimum low width is 8e-09\n"
                       "Node CLK, measured width was 5e-09\n\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nDigital Warning\nGeneral violation at t=7e-08\nDevice U2\nD HIGH WHILE DISABLED\n\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("General violation at t=8e-08"), std::string::npos) << out;
    // Setup, hold, the two widths and one general block.
    EXPECT_EQ(DigitalSimulator().warningCount, 5) << out;
    // No setup check at the edge of 50: D last changed at 41, 9 ns before.
    EXPECT_EQ(out.find("Setup time violation at t=5e-08"), std::string::npos) << out;
}

// Release times: CK rises at 20 and 40; R is released (falls) at 17, E falls with the edge at
// 20, and D rises at 36 and falls at 41. With DIGERRLIMIT 2 the output says where the checks
// stop.
TEST_F(DigitalProgramTest, ReleaseTimesAreCheckedUpToTheWarningLimit)
{
    ASSERT_EQ(Run("U1 STIM(4,1111) $G_DPWR $G_DGND CK R E D IO_STD 0NS 0110 17NS 0010 20NS 1000 30NS 0000"
                  " 36NS 0001 40NS 1001 41NS 1000 60NS 0000\n"
                  "U2 CONSTRAINT(4) $G_DPWR $G_DGND CK R E D IO_STD\n"
                  "+ SETUP_HOLD: CLOCK LH = CK DATA(1) = R RELEASETIME_HL = 5N\n"
                  "+ SETUP_HOLD: CLOCK LH = CK DATA(1) = E RELEASETIME = 1N RELEASETIME_LH = 9N\n"
                  "+ SETUP_HOLD: CLOCK LH = CK DATA(1) = D SETUPTIME = 5N HOLDTIME = 3N\n"
                  ".OPTIONS DIGERRLIMIT=2\n"),
              0)
        << LastShownText();
    const std::string& out = Output();
    EXPECT_NE(out.find("\nDigital Warning\nRelease time HL violation at t=2e-08\nDevice U2\n"
                       "Minimum release time HL is 5e-09\nNode R, measured release time was 3e-09\n\n"),
              std::string::npos)
        << out;
    // E falls with the edge: no time before it at all. Its LH limit does not apply to a fall.
    EXPECT_NE(out.find("\nDigital Warning\nRelease time violation at t=2e-08\nDevice U2\n"
                       "Minimum release time is 1e-09\nNode E, measured release time was 0\n\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("Release time LH"), std::string::npos) << out;
    EXPECT_NE(out.find("\nDigital Warning\nSetup time violation at t=4e-08\nDevice U2\nMinimum setup time is 5e-09\n"
                       "Node D, measured setup time was 4e-09\n\n"),
              std::string::npos)
        << out;
    // The hold violation at 41 would be the fourth block: past the limit, not written; the note
    // comes once, after the last block written.
    EXPECT_EQ(out.find("Hold time violation"), std::string::npos) << out;
    EXPECT_EQ(DigitalSimulator().warningCount, 3) << out;
    const std::size_t note = out.find("\nDigital constraint violations exceeded digerrlimit.\n");
    EXPECT_NE(note, std::string::npos) << out;
    EXPECT_GT(note, out.rfind("Digital Warning")) << out;
    EXPECT_EQ(out.find("exceeded digerrlimit", note + 40), std::string::npos) << out;
}

TEST_F(DigitalProgramTest, FrequencyPeriodsRunBetweenEdgesAndWidthsAtTheLimitPass)
{
    // Settlings at 1: 10, 40, 60, 100; at 0: 0, 20, 50, 66, 110. The minimum period is 25 ns,
    // the maximum 33.3 ns. The 20 ns from 0 to 20 is no period (the clock starts at 0); 60 and
    // 66 come 20 and 16 ns after their level's last settling; 100 comes 40 ns after 60, after
    // periods within the maximum; 110 (44 ns) does not report again. The high width of exactly
    // 6 ns (60..66) is no violation.
    ASSERT_EQ(Run("U1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STD 0NS 0 10NS 1 20NS 0 40NS 1 50NS 0 60NS 1 66NS 0 100NS 1"
                  " 110NS 0\n"
                  "U2 CONSTRAINT(1) $G_DPWR $G_DGND CLK IO_STD\n"
                  "+ FREQ: NODE = CLK MAXFREQ = 40MEG MINFREQ = 30MEG\n"
                  "+ WIDTH: NODE = CLK MIN_HI = 6N\n"),
              0)
        << LastShownText();
    const std::string& out = Output();
    EXPECT_NE(out.find("\nDigital Warning\nMaximum frequency violation at t=6e-08\nDevice U2\nMinimum period is 2.5e-08\n"
                       "Node CLK, measured period was 2e-08\n\n"),
              std::string::npos)
        << out;
    // Falling settlings are periods too: 50 to 66 is 16 ns.
    EXPECT_NE(out.find("Maximum frequency violation at t=6.6e-08\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nDigital Warning\nMinimum frequency violation at t=1e-07\nDevice U2\n"
                       "Maximum period is 3.33333e-08\nNode CLK, measured period was 4e-08\n\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(DigitalSimulator().warningCount, 3) << out;
    EXPECT_EQ(out.find("Width high violation"), std::string::npos) << out;
}

// A latch's gate open exactly as long as its model's minimum width, and a DFF's clock high and
// low exactly as long as theirs, in a run whose tick (5e-17 s) is finer than the models'
// single-precision numbers: no violation, where the limit used to come out ticks above the
// width written and the block read "Required gate width is 3e-09, Measured gate width is 3e-09".
TEST_F(DigitalProgramTest, FlipFlopLimitsMetExactlyPass)
{
    ASSERT_EQ(Run("U1 STIM(2,11) $G_DPWR $G_DGND G D IO_STD 0NS 00 10NS 11 13NS 01 16.9NS 00 20NS 10 23NS 00\n"
                  "U2 DLTCH(1) $G_DPWR $G_DGND $D_HI $D_HI G D Q QB L1 IO_STD\n"
                  "U3 DFF(1) $G_DPWR $G_DGND $D_HI $D_HI G D Q2 QB2 F1 IO_STD\n"
                  ".MODEL L1 UGFF (TPGQLHTY=1N TPGQHLTY=1N TWGHTY=3N)\n"
                  ".MODEL F1 UEFF (TPCLKQLHTY=1N TPCLKQHLTY=1N TWCLKHTY=3N TWCLKLTY=7N TSUDCLKTY=3.1N)\n",
                  false, 50e-9),
              0)
        << LastShownText();
    EXPECT_EQ(Output(), "") << Output();
}

// A data change soon after a narrow strobe breaks the hold time although the strobe has already
// gone back, as the flip-flop on the same nodes reports it.
TEST_F(DigitalProgramTest, HoldIsMeasuredAfterTheStrobeHasEnded)
{
    ASSERT_EQ(Run("U1 STIM(2,11) $G_DPWR $G_DGND D STB IO_STD 0NS 00 10NS 01 12NS 00 13NS 10 30NS 00 40NS 01\n"
                  "U2 CONSTRAINT(2) $G_DPWR $G_DGND D STB IO_STD\n"
                  "+ SETUP_HOLD: CLOCK LH = STB DATA(1) = D HOLDTIME = 5N\n"),
              0)
        << LastShownText();
    EXPECT_NE(Output().find("\nDigital Warning\n*Hold time violation at t=1.3e-08\nDevice U2\nMinimum hold time is 5e-09\n"
                            "Node D, measured hold time was 3e-09\n\n"),
              std::string::npos)
        << Output();
    // D falls at 30, 20 ns after the edge: no fault.
    EXPECT_EQ(DigitalSimulator().warningCount, 1) << Output();
}

// A clock too fast, or too slow, from its first edge on is reported: a check that waited for a
// good period first would never speak for it.
TEST_F(DigitalProgramTest, FrequencyOutOfRangeFromTheStartIsReported)
{
    ASSERT_EQ(Run("U1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STD 0NS 0 REPEAT 4 TIMES +5NS 1 +5NS 0 ENDREPEAT\n"
                  "U2 CONSTRAINT(1) $G_DPWR $G_DGND CLK IO_STD\n"
                  "+ FREQ: NODE = CLK MAXFREQ = 60MEG\n"),
              0)
        << LastShownText();
    // Rises at 5, 15, 25, 35 and falls at 10, 20, 30, 40: six periods of 10 ns.
    EXPECT_NE(Output().find("\nDigital Warning\nMaximum frequency violation at t=1.5e-08\nDevice U2\n"
                            "Minimum period is 1.66667e-08\nNode CLK, measured period was 1e-08\n\n"),
              std::string::npos)
        << Output();
    EXPECT_EQ(DigitalSimulator().warningCount, 6) << Output();

    ASSERT_EQ(Run("U1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STD 0NS 0 REPEAT 3 TIMES +50NS 1 +50NS 0 ENDREPEAT\n"
                  "U2 CONSTRAINT(1) $G_DPWR $G_DGND CLK IO_STD\n"
                  "+ FREQ: NODE = CLK MINFREQ = 20MEG\n"),
              0)
        << LastShownText();
    // The first period (50 to 150) is reported; the stall goes on and is not reported again.
    EXPECT_NE(Output().find("\nDigital Warning\nMinimum frequency violation at t=1.5e-07\nDevice U2\n"
                            "Maximum period is 5e-08\nNode CLK, measured period was 1e-07\n\n"),
              std::string::npos)
        << Output();
    EXPECT_EQ(DigitalSimulator().warningCount, 1) << Output();
}

TEST_F(DigitalProgramTest, LimitsMetExactlyPassWhereTheTickDoesNotDivideThem)
{
    // A 60 ns run has ticks of 6e-17 s, which divide neither 4 ns nor 14 ns: each event time is
    // rounded to its own tick, so a pulse of exactly the limit measures a tick under or over it.
    // The high pulses from 32.5 and 18.5, D's setup from 14.5 to 18.5 and the rise period from
    // 18.5 to 32.5 are such; only the 3.5 ns pulse at 46.5 is too short.
    ASSERT_EQ(Run("U1 STIM(2,11) $G_DPWR $G_DGND CLK D IO_STD 0NS 00 4.5NS 10 8.5NS 00 14.5NS 01 18.5NS 11"
                  " 22.5NS 01 32.5NS 11 36.5NS 01 46.5NS 11 50NS 01\n"
                  "U2 CONSTRAINT(2) $G_DPWR $G_DGND CLK D IO_STD\n"
                  "+ FREQ: NODE = CLK MINFREQ = 71.42857142857143MEG\n"
                  "+ WIDTH: NODE = CLK MIN_HI = 4N MIN_LO = 10N\n"
                  "+ SETUP_HOLD: CLOCK LH = CLK DATA(1) = D SETUPTIME = 4N\n",
                  false, 60e-9),
              0)
        << LastShownText();
    const std::string& out = Output();
    EXPECT_NE(out.find("Width high violation at t=5e-08\nDevice U2\nMinimum high width is 4e-09\n"
                       "Node CLK, measured width was 3.5e-09\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(DigitalSimulator().warningCount, 1) << out;
}

TEST_F(DigitalProgramTest, RejectedStepsLeaveTheClauseHistoriesAsAccepted)
{
    const std::string netlist =
        "U1 STIM(3,111) $G_DPWR $G_DGND CLK D EN IO_STD 0NS 001 17NS 011 20NS 111 30NS 011 40NS 111 41NS 101\n"
        "+ 45NS 001 50NS 101 60NS 001 70NS 010 75NS 000 80NS 010\n" +
        std::string(kChecked);
    ASSERT_EQ(Run(netlist), 0);
    const std::string once = Output();
    const int count = DigitalSimulator().warningCount;
    TearDown();
    SetUp();
    ASSERT_EQ(Run(netlist, true), 0);
    EXPECT_EQ(Output(), once);
    EXPECT_EQ(DigitalSimulator().warningCount, count);
}

TEST_F(DigitalProgramTest, AndOrGatesFromNetlistsGroupTheirInputs)
{
    Watch({"Y1", "Y2"});
    ASSERT_EQ(Run("U1 STIM(4,1111) $G_DPWR $G_DGND A B C D IO_STD 0NS 0000 10NS 1100 20NS 1010 30NS 0011 40NS 0101\n"
                  "U2 AO(2,2) $G_DPWR $G_DGND A B C D Y1 G2 IO_STD\n"
                  "U3 OAI(2,2) $G_DPWR $G_DGND A B C D Y2 G2 IO_STD\n"),
              0)
        << LastShownText();
    // AO: A&B | C&D = 0 1 0 1 0; OAI: ~((A|B)&(C|D)) = 1 1 0 1 0.
    EXPECT_EQ(Changes("Y1"), "0:0 12:1 23:0 32:1 43:0");
    EXPECT_EQ(Changes("Y2"), "0:1 23:0 32:1 43:0");
    const DigitalDeviceTables& d = DigitalSimulator();
    const int start = d.pinStart[2];
    const std::vector<std::int32_t> list(d.pinList.begin() + start, d.pinList.begin() + d.pinStart[3]);
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[4], 2);  // inputs per gate
    EXPECT_EQ(list[5], 2);  // gates
    EXPECT_EQ(list[7], 1);  // one output
}

// Each compiler message, with the part named.
struct MessageCase {
    const char* line;
    const char* text;
};

TEST_F(DigitalProgramTest, CompilerMessagesNameThePartAndStopTheBuild)
{
    const MessageCase cases[] = {
        {"U2 LOGICEXP(1,1) $G_DPWR $G_DGND A Y G2 IO_STD Y = {A}", "Must specify LOGIC:."},
        {"U2 LOGICEXP(1,1) $G_DPWR $G_DGND A Y G2 IO_STD LOGIC: A = {Y}", "Can't assign value to input 'A'."},
        {"U2 LOGICEXP(1,1) $G_DPWR $G_DGND A Y G2 IO_STD LOGIC: Y {A}", "Expecting '=' but found '{'."},
        {"U2 PINDLY(1,0,0) $G_DPWR $G_DGND A Y IO_STD Y = {DELAY(1N,1N,1N)}",
         "Must specify BOOLEAN:, PINDLY:, TRISTATE:, SETUP_HOLD:, WIDTH:, FREQ:, or GENERAL:"},
        {"U2 PINDLY(1,0,0) $G_DPWR $G_DGND A Y IO_STD PINDLY: A = {DELAY(1N,1N,1N)}", "Can't assign expression to 'A'."},
        {"U2 PINDLY(1,0,0) $G_DPWR $G_DGND A Y IO_STD PINDLY: W = {DELAY(1N,1N,1N)}", "Illegal <output node> in PINDLY."},
        {"U2 PINDLY(1,1,0) $G_DPWR $G_DGND A E Y IO_STD TRISTATE: ENABLE = E", "Must specify Enable HI|LO for TRISTATE:."},
        {"U2 PINDLY(1,1,0) $G_DPWR $G_DGND A E Y IO_STD TRISTATE: ENABLE LO = A", "Can't assign 'A' to ENABLE."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD NODE = A", "Must specify BOOLEAN:, SETUP_HOLD:, WIDTH:, FREQ:, or GENERAL:"},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD WIDTH: SPAN = 2N", "Unknown format 'SPAN' in Constraint."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD SETUP_HOLD: CLOCK XX = A", "Expecting 'LH or HL' but found 'XX'."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD SETUP_HOLD: DATA(0) = A", "Illegal range '0' value for DATA()."},
        // More data nodes than inputs are refused before anything is made for them.
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD SETUP_HOLD: DATA(100000000) = A",
         "Illegal range '100000000' value for DATA()."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD SETUP_HOLD: DATA(2) = A", "Expecting 'values' but found 'Nothing'."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD SETUP_HOLD: DATA(1) = Q", "Illegal <input node> following DATA in CONSTRAINT."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD WIDTH: NODE = Q", "Node 'Q' must be an input node."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD BOOLEAN: A = {B == '1}", "Can't assign value to input 'A'."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD GENERAL: MESSAGE \"x\"",
         "Expecting '=' but found '\"X\"' after value 'MESSAGE'."},
        {"U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD GENERAL: WHEN = {A == '1} MESSAGE = \"open",
         "Expecting '\"' but found 'Nothing' after value 'MESSAGE'."},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_NE(BuildText(std::string("messages\n") + c.line + "\n" + kModels + ".TRAN 1N 1U\n.END\n"), 0);
        EXPECT_NE(LastShownText().find(c.text), std::string::npos) << LastShownText();
        EXPECT_EQ(ShownIds().size(), 1u) << ::testing::PrintToString(ShownIds());
        TearDown();
        SetUp();
    }
}

TEST_F(DigitalProgramTest, CompiledRecordsKeepLimitsAndDefaults)
{
    ASSERT_EQ(BuildText("records\n.OPTIONS DIGERRDEFAULT=7\n"
                        "U1 LOGICEXP(1,1) $G_DPWR $G_DGND A Y G2 IO_STD LOGIC:\n"
                        "U2 CONSTRAINT(2) $G_DPWR $G_DGND A B IO_STD\n"
                        "+ FREQ: NODE = A MINFREQ = 0 MAXFREQ = 1MEG ERRORLIMIT = 0\n"
                        "+ WIDTH: NODE = B MIN_LO = 2N\n"
                        "+ BOOLEAN: A2 = {A == '1} B2 = {A2 & B == '0}\n" +
                        std::string(kModels) + ".TRAN 1N 1U\n.END\n"),
              0)
        << LastShownText();
    auto* logic = RecordOf<LogicExpRecord>(1);
    ASSERT_NE(logic, nullptr);
    EXPECT_TRUE(logic->assignments.empty());  // "LOGIC:" alone
    auto* checks = RecordOf<ConstraintRecord>(2);
    ASSERT_NE(checks, nullptr);
    ASSERT_EQ(checks->sections.size(), 4u);  // a BOOLEAN item each
    EXPECT_EQ(checks->sections[0].kind, kSectionFreq);
    EXPECT_EQ(checks->sections[0].errorLimit, INT_MAX);
    EXPECT_EQ(checks->sections[0].slots[kSlotMaxPeriod].seconds, 0.0);  // MINFREQ=0
    EXPECT_DOUBLE_EQ(checks->sections[0].slots[kSlotMinPeriod].seconds, 1e-6);
    EXPECT_EQ(checks->sections[1].errorLimit, 7);
    EXPECT_EQ(checks->sections[2].target, 2);
    EXPECT_EQ(checks->sections[3].target, 3);
    // The CONSTRAINT owns a node after the circuit's, its only output.
    const DigitalDeviceTables& d = DigitalSimulator();
    EXPECT_EQ(DeviceOutputCount(d, 2), 1);
    EXPECT_EQ(DeviceOutputNode(d, 2, 1), d.nodeCount);
}

}  // namespace
}  // namespace kq5::testing
