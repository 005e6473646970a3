// The DIGITAL SWITCH and DIGITAL STATE parts in a transient run: the level they drive from the
// start, and a switch clicked mid-run reaching the gate it drives at the click (plus the gate's
// delay).
#include <cmath>

#include "digital_build_test_support.h"

#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "plots/plot_click_services.h"

namespace kq5::testing {
namespace {

// An inverter from A to Y: rising 5 ns, falling 7 ns.
constexpr const char* kInverter =
    "switch\n"
    "U2 INV $G_DPWR $G_DGND A Y G1 IO_STM\n"
    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
    ".MODEL IO_STM UIO (DRVH=50 DRVL=50)\n"
    ".TRAN 1N 100N\n.END\n";

class DigitalSwitchTest : public DigitalBuiltCircuitTest {
protected:
    // The drawn part on the inverter's input A. The text build numbers A first among the
    // digital nodes, which the test checks once the build has run.
    SchematicItem* Driver(int type, std::initializer_list<std::pair<int, std::string>> attributes)
    {
        return Part(type, "S1", {kNodeA}, attributes);
    }

    // Runs the circuit; `click` (if any) is called at each point with its time in ps. Returns
    // Y's letter changes as "ps:letter".
    std::string Run(const std::function<void(long long)>& click = {})
    {
        if (BuildAtNominalTemperature(kInverter)) return "build failed";
        EXPECT_EQ(LookupNodeNumber(CircuitNodeTable(), "A", 0, kNodeDigital), kNodeA);
        const std::int32_t y = LookupNodeNumber(CircuitNodeTable(), "Y", 0, kNodeDigital);
        EXPECT_GT(y, 0);
        std::string text;
        char last = 0;
        RunServices().plotPoint = [&](WindowRecord*) {
            const long long ps = std::llround(AnalogSolver().time * 1e12);
            const char letter = DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(y)]);
            if (letter != last) {
                last = letter;
                text += (text.empty() ? "" : " ") + std::to_string(ps) + ":" + letter;
            }
            if (click) click(ps);
        };
        EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
        return text;
    }

    static constexpr std::int32_t kNodeA = 1;
};

TEST_F(DigitalSwitchTest, AClickMidRunReachesTheGateAtTheClickPlusItsDelay)
{
    SchematicItem* lever = Driver(kComponentDigitalSwitch, {{kAttrIoModel, "IO_STM"}});
    long long clickedOn = -1, clickedOff = -1;
    const std::string changes = Run([&](long long ps) {
        if (clickedOn < 0 && ps >= 40000) {
            clickedOn = ps;
            ToggleInteractiveSwitch(record_, lever);
        } else if (clickedOff < 0 && ps >= 70000) {
            clickedOff = ps;
            ToggleInteractiveSwitch(record_, lever);
        }
    });
    ASSERT_GE(clickedOn, 40000);
    ASSERT_GE(clickedOff, 70000);
    EXPECT_EQ(lever->switchOn, 0);
    // Off at the start: Y is high from the operating point. Each click lands on the tick after
    // its point, far below a picosecond, then the inverter's delay follows.
    EXPECT_LT(DigitalTimeUnit(), 1e-12);
    EXPECT_EQ(changes, "0:1 " + std::to_string(clickedOn + 7000) + ":0 " +
                           std::to_string(clickedOff + 5000) + ":1");
}

TEST_F(DigitalSwitchTest, TheLeverAndTheStateValueSetTheLevelFromTheStart)
{
    SchematicItem* part = Driver(kComponentDigitalSwitch, {{kAttrIoModel, "IO_STM"}});
    part->switchOn = 1;
    EXPECT_EQ(Run(), "0:0");

    // The same drawn part made a DIGITAL STATE (the build keeps its place in the list).
    part->definition = Definition(kComponentDigitalState, 1);
    SetAttribute(record_, part, kAttrValue, "1");
    EXPECT_EQ(Run(), "0:0");
    SetAttribute(record_, part, kAttrValue, "0");
    EXPECT_EQ(Run(), "0:1");
}

// A click outside any run the simulator holds only moves the lever.
TEST_F(DigitalSwitchTest, AClickWithoutASimulatedSwitchOnlyMovesTheLever)
{
    SchematicItem* lever = Driver(kComponentDigitalSwitch, {});
    ToggleInteractiveSwitch(record_, lever);
    EXPECT_EQ(lever->switchOn, 1);
    EXPECT_EQ(FirstNodeEvent(), nullptr);
}

}  // namespace
}  // namespace kq5::testing
