// Digital parts in a DC sweep: a stimulus holds its first value, which gates pass on and an
// output interface turns into its row's Thevenin voltage at every point; an input interface
// follows the swept voltage through its bands; an AC analysis biases the gates the same way.
#include <cmath>
#include <functional>

#include "digital_build_test_support.h"

#include "analog/ac_run.h"
#include "analog/dc_sweep_run.h"
#include "analog/transient_run_services.h"
#include "core/digital_logic_tables.h"

namespace kq5::testing {
namespace {

class DigitalDcSweepTest : public DigitalBuiltCircuitTest {
protected:
    // Builds the netlist and sweeps it, calling the probe at every point. 0 or the failure.
    int Sweep(const std::string& netlist, const std::function<void()>& probe)
    {
        if (int rc = BuildText(netlist, kAnalysisDc)) {
            ADD_FAILURE() << LastShownText();
            return rc;
        }
        RunControl().circuitWindow = record_;
        if (int rc = SetCircuitTemperature(27.0)) return rc;
        RunServices().plotPoint = [&](WindowRecord*) { probe(); };
        Analysis().analysisKind = kAnalysisDc;
        return RunDcSweep();
    }
    static std::int32_t Node(const char* name, int kind) { return LookupNodeNumber(CircuitNodeTable(), name, 0, kind); }
    static char Letter(std::int32_t node) { return DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(node)]); }
};

TEST_F(DigitalDcSweepTest, AStimulusDrivesAnOutputStageAtEveryPoint)
{
    std::vector<double> volts;
    EXPECT_EQ(Sweep("dc\nV1 IN 0 0\nR1 IN 0 1K\nVP PWR 0 5\n"
                    "U1 STIM(1,1) $G_DPWR $G_DGND D IO_STD 0 1 100N 0\n"
                    "U2 BUF $G_DPWR $G_DGND D Y G1 IO_STD\n"
                    "N1 A 0 PWR DI_T DGTLNET=Y IO_STD\nR2 A 0 1MEG\n"
                    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
                    ".MODEL DI_T DINPUT (CLO=0 CHI=0 S0NAME=\"0\" S0RLO=10 S0RHI=1K S1NAME=\"1\" S1RLO=1K S1RHI=10\n"
                    "+ S2NAME=\"X\" S2RLO=100 S2RHI=100 S3NAME=\"Z\" S3RLO=1MEG S3RHI=1MEG)\n"
                    ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.DC V1 0 1 0.5\n.END\n",
                    [&] { volts.push_back(SolutionVector()[static_cast<std::size_t>(Node("A", kNodeAnalog))]); }),
              0)
        << LastShownText();
    ASSERT_FALSE(volts.empty());
    // The stimulus's 1 passes the buffer at every point.
    const std::int32_t y = Node("Y", kNodeDigital);
    ASSERT_GT(y, 0);
    EXPECT_EQ(Letter(y), '1');
    // Row 1: 1K down, 10 up, against 1 MEG.
    for (double v : volts) EXPECT_NEAR(v, 5.0 * 1000.0 / 1010.0, 0.01) << v;
}

TEST_F(DigitalDcSweepTest, AnInputInterfaceFollowsTheSweptVoltageThroughItsBands)
{
    std::vector<std::pair<double, char>> points;
    EXPECT_EQ(Sweep("dc atod\nV1 IN 0 0\nR1 IN 0 1K\nO1 IN 0 DO_T DGTLNET=D IO_STD\n"
                    ".MODEL DO_T DOUTPUT (RLOAD=1G CLOAD=0 S0NAME=\"0\" S0VLO=-1.5 S0VHI=0.8 S1NAME=\"1\" S1VLO=2.0\n"
                    "+ S1VHI=7.0 S2NAME=\"X\" S2VLO=0.8 S2VHI=2.0)\n"
                    ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.DC V1 0 5 0.5\n.END\n",
                    [&] {
                        points.emplace_back(SolutionVector()[static_cast<std::size_t>(Node("IN", kNodeAnalog))],
                                            Letter(Node("D", kNodeDigital)));
                    }),
              0)
        << LastShownText();
    ASSERT_GE(points.size(), 10u);
    for (const auto& [v, state] : points) {
        const char band = v < 0.8 ? '0' : v < 2.0 ? 'X' : '1';
        // Exactly on a threshold either side will do.
        if (std::abs(v - 0.8) > 1e-6 && std::abs(v - 2.0) > 1e-6) { EXPECT_EQ(state, band) << v; }
    }
}

// A swept voltage read by an input interface, inverted and driven back out through an output
// stage: at every point the output voltage is that of the inverted state of the same point,
// not of the point before.
TEST_F(DigitalDcSweepTest, AnOutputStageFollowsTheInputInterfaceAtTheSamePoint)
{
    struct Point {
        double in, out;
        char state;
    };
    std::vector<Point> points;
    EXPECT_EQ(Sweep("dc loop\nV1 IN 0 0\nVP PWR 0 5\nO1 IN 0 DO_T DGTLNET=D IO_STD\n"
                    "U1 INV $G_DPWR $G_DGND D YB G1 IO_STD\n"
                    "N1 A 0 PWR DI_T DGTLNET=YB IO_STD\nR2 A 0 10K\n"
                    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
                    ".MODEL DO_T DOUTPUT (RLOAD=1G CLOAD=0 S0NAME=\"0\" S0VLO=-1.5 S0VHI=0.8 S1NAME=\"1\" S1VLO=2.0\n"
                    "+ S1VHI=7.0 S2NAME=\"X\" S2VLO=0.8 S2VHI=2.0)\n"
                    ".MODEL DI_T DINPUT (CLO=0 CHI=0 S0NAME=\"0\" S0RLO=10 S0RHI=1K S1NAME=\"1\" S1RLO=1K S1RHI=10\n"
                    "+ S2NAME=\"X\" S2RLO=100 S2RHI=100 S3NAME=\"Z\" S3RLO=1MEG S3RHI=1MEG)\n"
                    ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.DC V1 0 5 0.25\n.END\n",
                    [&] {
                        const auto v = [](const char* name) {
                            return SolutionVector()[static_cast<std::size_t>(Node(name, kNodeAnalog))];
                        };
                        points.push_back({v("IN"), v("A"), Letter(Node("D", kNodeDigital))});
                    }),
              0)
        << LastShownText();
    ASSERT_GE(points.size(), 20u);
    // The output stage against 10K: row 1 (10 up, 1K down), row X (100, 100), row 0 (1K, 10).
    const auto stage = [](double up, double down) {
        const double low = down * 10e3 / (down + 10e3);
        return 5.0 * low / (low + up);
    };
    int changes = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& p = points[i];
        const double expected = p.state == '0' ? stage(10, 1e3) : p.state == '1' ? stage(1e3, 10) : stage(100, 100);
        EXPECT_NEAR(p.out, expected, 1e-3) << "V(IN) = " << p.in << ", D = " << p.state;
        if (i > 0 && p.state != points[i - 1].state) ++changes;
    }
    EXPECT_EQ(changes, 2);
}

// A two-bit DAC fed by a swept voltage through two interfaces (its own bit and the inverse):
// its output is the code of the same point, a quarter of the 4 V reference per step, from the
// first point on.
TEST_F(DigitalDcSweepTest, ADacOutputFollowsItsInputsAtEveryPoint)
{
    std::vector<std::pair<char, double>> points;
    EXPECT_EQ(Sweep("dc dac\nV1 IN 0 0\nVR REF 0 4\nO1 IN 0 DO_T DGTLNET=D IO_STD\n"
                    "U1 INV $G_DPWR $G_DGND D DB G1 IO_STD\n"
                    "U2 DAC(2) $G_DPWR $G_DGND OUT REF 0 D DB DA IO_STD\nRL OUT 0 100K\n"
                    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n.MODEL DA UDAC (TSWTY=2N)\n"
                    ".MODEL DO_T DOUTPUT (RLOAD=1G CLOAD=0 S0NAME=\"0\" S0VLO=-1.5 S0VHI=1.5 S1NAME=\"1\" S1VLO=1.5\n"
                    "+ S1VHI=7.0)\n"
                    ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.DC V1 0 3 0.5\n.END\n",
                    [&] {
                        points.emplace_back(Letter(Node("D", kNodeDigital)),
                                            SolutionVector()[static_cast<std::size_t>(Node("OUT", kNodeAnalog))]);
                    }),
              0)
        << LastShownText();
    ASSERT_GE(points.size(), 7u);
    for (const auto& [state, out] : points) EXPECT_NEAR(out, state == '1' ? 2.0 : 1.0, 1e-6) << state;
    EXPECT_EQ(points.front().first, '0');
    EXPECT_EQ(points.back().first, '1');
}

// The DC transfer of a 3-bit ADC: every point converts the swept voltage (the convert input
// never rises in a sweep), floor(8 V / 4 V + 0.5) up to 7, with the overflow above.
TEST_F(DigitalDcSweepTest, AnAdcConvertsEveryPoint)
{
    std::vector<std::pair<double, std::string>> points;
    EXPECT_EQ(Sweep("dc adc\nV1 IN 0 0\nVR REF 0 4\n"
                    "U1 ADC(3) $G_DPWR $G_DGND IN REF 0 $D_LO STAT OVR B2 B1 B0 AD IO_STD\n"
                    ".MODEL AD UADC (TPCSTY=5N TPSDTY=5N TPDSTY=5N)\n"
                    ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.DC V1 0 4 0.25\n.END\n",
                    [&] {
                        std::string letters;
                        for (const char* name : {"OVR", "B2", "B1", "B0", "STAT"}) letters += Letter(Node(name, kNodeDigital));
                        points.emplace_back(SolutionVector()[static_cast<std::size_t>(Node("IN", kNodeAnalog))], letters);
                    }),
              0)
        << LastShownText();
    ASSERT_GE(points.size(), 17u);
    for (const auto& [v, letters] : points) {
        const double exact = std::floor(8.0 * v / 4.0 + 0.5);
        // Exactly half-way either code will do.
        if (std::abs(8.0 * v / 4.0 + 0.5 - exact) < 1e-6) continue;
        const int code = static_cast<int>(std::min(exact, 7.0));
        std::string expected = exact > 7.0 ? "1" : "0";
        for (int b = 2; b >= 0; --b) expected += (code >> b) & 1 ? '1' : '0';
        EXPECT_EQ(letters, expected + "0") << v;
    }
}

TEST_F(DigitalDcSweepTest, AnAcAnalysisBiasesTheGatesWithTheStimulusValues)
{
    ASSERT_EQ(BuildText("ac\nV1 IN 0 AC 1\nR1 IN 0 1K\n"
                        "U1 STIM(1,1) $G_DPWR $G_DGND D IO_STD 0 1 LABEL=L +10N 0 +10N 1 +10N GOTO L -1 TIMES\n"
                        "U2 INV $G_DPWR $G_DGND D Y G1 IO_STD\n"
                        ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n.MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n"
                        ".AC DEC 5 1K 1MEG\n.END\n",
                        kAnalysisAc),
              0)
        << LastShownText();
    RunControl().circuitWindow = record_;
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    Analysis().analysisKind = kAnalysisAc;
    // The clock's endless loop is not walked: only its first value counts.
    EXPECT_EQ(AcAnalysisRun(), 0) << LastShownText();
    const std::int32_t y = Node("Y", kNodeDigital);
    ASSERT_GT(y, 0);
    EXPECT_EQ(Letter(y), '0');
}

}  // namespace
}  // namespace kq5::testing
