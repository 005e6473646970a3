// Digital parts inside the transient run: the time loop lands on every event tick, so each
// change appears at its stimulus time plus its gate delay, beside an analog circuit and alone.
#include "digital_build_test_support.h"

#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "digital/digital_engine.h"
#include "digital/digital_logic_tables.h"

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
    // Times in picoseconds: rise 5 ns, fall 7 ns after each stimulus change.
    EXPECT_EQ(changes, "0:X 7000:0 15000:1 37000:0 50000:1 67000:0");
}

TEST_F(DigitalTransientTest, DigitalOnlyCircuitRunsThroughTheTimeLoop)
{
    EXPECT_EQ(Changes(std::string("digital\n") + kDigital, "Y"), "0:X 7000:0 15000:1 37000:0 50000:1 67000:0");
}

}  // namespace
}  // namespace kq5::testing
