// Digital parts inside the transient run: the time loop lands on every event tick, so each
// change appears at its stimulus time plus its gate delay, beside an analog circuit and alone.
#include "digital_build_test_support.h"

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"

namespace kq5::testing {
namespace {

class DigitalTransientTest : public DigitalBuiltCircuitTest {
protected:
    // The times (ns) at which the digital node changes its letter, as "t:letter".
    std::string Changes(const std::string& netlist, const std::string& node)
    {
        std::string text;
        if (BuildAtNominalTemperature(netlist)) return "build failed";
        const std::int32_t number = LookupNodeNumber(CircuitNodeTable(), node, 0, kNodeDigital);
        EXPECT_GT(number, 0);
        char last = 0;
        RunServices().plotPoint = [&](WindowRecord*) {
            const char letter = DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(number)]);
            if (letter == last) return;
            last = letter;
            text += (text.empty() ? "" : " ") + std::to_string(static_cast<long long>(std::llround(AnalogSolver().time * 1e12))) +
                    ":" + letter;
        };
        EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
        return text;
    }
};

constexpr const char* kDigital =
    "U1 STIM(1,1) $G_DPWR $G_DGND A IO_STM 0NS 0 10NS 1 30NS 0 45NS 1 60NS 0\n"
    "U2 BUF $G_DPWR $G_DGND A Y G1 IO_STM\n"
    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
    ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n"
    ".TRAN 1N 100N\n.END\n";

TEST_F(DigitalTransientTest, ChangesLandOnTheirTicksBesideAnAnalogCircuit)
{
    const std::string changes = Changes(std::string("mixed\n") +
                                            "V1 1 0 PULSE(0 1 0 1N 1N 20N 40N)\nR1 1 2 1K\nC1 2 0 1P\n" + kDigital,
                                        "Y");
    // Times in picoseconds: rise 5 ns, fall 7 ns after each stimulus change; the value at 0 is
    // the operating point's.
    EXPECT_EQ(changes, "0:0 15000:1 37000:0 50000:1 67000:0");
}

TEST_F(DigitalTransientTest, DigitalOnlyCircuitRunsThroughTheTimeLoop)
{
    EXPECT_EQ(Changes(std::string("digital\n") + kDigital, "Y"), "0:0 15000:1 37000:0 50000:1 67000:0");
}

TEST_F(DigitalTransientTest, StimulusFilesTakeSignalNamesAndShowTheirFaultsAtTheirLines)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / ("kq5st" + std::to_string(::getpid()) + ".stm");
    auto netlist = [&](const std::string& names) {
        return "files\nU3 FSTIM(2) $G_DPWR $G_DGND P Q IO_STM FILE=" + file.string() + names +
               "\n.MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 100N\n.END\n";
    };
    // Each pin takes its signal from the names listed, in pin order.
    std::ofstream(file, std::ios::binary) << "CK A3\n\n0 00\n10n 10\n20n 01\n";
    EXPECT_EQ(Changes(netlist(" SIGNAMES=CK A3"), "Q"), "0:0 20000:1");
    // A fault in the file is shown at the file's line.
    std::ofstream(file, std::ios::binary) << "CK A3\n\n0 00\n10n 1Q\n";
    EXPECT_NE(BuildText(netlist(" SIGNAMES=CK A3")), 0);
    std::string shown = LastShownText();
    EXPECT_NE(shown.find("Invalid value '1Q'."), std::string::npos) << shown;
    EXPECT_NE(CopyUpperCase(shown).find(CopyUpperCase("Source:\t" + file.string())), std::string::npos) << shown;
    EXPECT_NE(shown.find("Line:\t4"), std::string::npos) << shown;
    // A file that cannot be opened is named.
    std::filesystem::remove(file);
    EXPECT_NE(BuildText(netlist(" SIGNAMES=CK A3")), 0);
    shown = LastShownText();
    EXPECT_NE(CopyUpperCase(shown).find(CopyUpperCase("Source:\t" + file.string())), std::string::npos) << shown;
}

TEST_F(DigitalTransientTest, ACountingLoopThatTakesNoTimeIsWarnedAbout)
{
    // The jump takes no time and the GOTO's own step adds none: every pass falls at 10 ns.
    const std::string changes = Changes("loop\nU1 STIM(8,44) $G_DPWR $G_DGND A7 A6 A5 A4 A3 A2 A1 A0 IO_STM TIMESTEP=10N\n"
                                        "+ 0C 00 LABEL=L +1C INCR BY 03 +0C GOTO L UNTIL GE F0\n"
                                        ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 100N\n.END\n",
                                        "A7");
    EXPECT_NE(LastShownText().find("loops without advancing time"), std::string::npos) << LastShownText();
    EXPECT_EQ(changes, "0:0 10000:1");
}

// Each pass adds 2e-20 s, far below the run's tick (1e-16 s): the passes fall at one tick
// thousands at a time, and a FOREVER loop of them would never reach the end of the run. The
// loop is refused instead.
TEST_F(DigitalTransientTest, ALoopThatCreepsOnByLessThanATickIsRefused)
{
    ASSERT_EQ(BuildAtNominalTemperature("creep\nU1 STIM(1,1) $G_DPWR $G_DGND A IO_STM\n"
                                        "+ 0NS 0 REPEAT 200000 TIMES +1E-20 1 +1E-20 0 ENDREPEAT 50NS 1\n"
                                        ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 100N\n.END\n"),
              0);
    EXPECT_NE(TransientAnalysisRun(nullptr), 0);
    EXPECT_NE(LastShownText().find("The stimulus of 'U1' loops without advancing time."), std::string::npos)
        << LastShownText();
}

TEST_F(DigitalTransientTest, NestedLoopsThatEndTogetherAreNoLoopInPlace)
{
    // The inner loop's last jump and the outer loop's jump fall at one instant (20 ns, 40 ns),
    // yet every pass of each loop takes 10 ns: three bursts of two pulses, and no warning.
    const std::size_t shown = ShownIds().size();
    const std::string changes = Changes("nested\nU1 STIM(1,1) $G_DPWR $G_DGND A IO_STM\n"
                                        "+ 0 0 REPEAT 3 TIMES REPEAT 2 TIMES +5NS 1 +5NS 0 ENDREPEAT ENDREPEAT\n"
                                        ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n.TRAN 1N 100N\n.END\n",
                                        "A");
    EXPECT_EQ(ShownIds().size(), shown) << LastShownText();
    EXPECT_EQ(changes, "0:0 5000:1 10000:0 15000:1 20000:0 25000:1 30000:0 35000:1 40000:0 45000:1 50000:0 55000:1 "
                       "60000:0");
}

}  // namespace
}  // namespace kq5::testing
