// Mixed circuits against hand-computed values: an RC charging toward 5 V read by an AtoD
// interface changes state where it crosses the band thresholds, and a digital output through a
// DtoA interface drives an RC toward the Thevenin value of its output stage.
#include <cmath>

#include "digital_build_test_support.h"

#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "digital/digital_engine.h"
#include "digital/digital_interfaces.h"
#include "core/digital_logic_tables.h"

namespace kq5::testing {
namespace {

class DigitalMixedTest : public DigitalBuiltCircuitTest {
protected:
    struct Point {
        double time, voltage;
        char state;
    };
    std::vector<Point> Run(const std::string& netlist, const std::string& analog, const std::string& digital)
    {
        std::vector<Point> points;
        if (BuildAtNominalTemperature(netlist)) return points;
        const std::int32_t a = LookupNodeNumber(CircuitNodeTable(), analog, 0, kNodeAnalog);
        const std::int32_t d = LookupNodeNumber(CircuitNodeTable(), digital, 0, kNodeDigital);
        EXPECT_GT(a, 0);
        EXPECT_GT(d, 0);
        RunServices().plotPoint = [&](WindowRecord*) {
            points.push_back({AnalogSolver().time, SolutionVector()[static_cast<std::size_t>(a)],
                              DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(d)])});
        };
        EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
        return points;
    }
};

constexpr const char* kModels =
    ".MODEL DO_TTL DOUTPUT (RLOAD=1G CLOAD=0 S0NAME=\"0\" S0VLO=-1.5 S0VHI=0.8 S1NAME=\"1\" S1VLO=2.0 S1VHI=7.0\n"
    "+ S2NAME=\"X\" S2VLO=0.8 S2VHI=2.0)\n"
    ".MODEL DI_TTL DINPUT (CLO=0 CHI=0 S0NAME=\"0\" S0TSW=3.5N S0RLO=7.13 S0RHI=389\n"
    "+ S1NAME=\"1\" S1TSW=5.5N S1RLO=467 S1RHI=200 S2NAME=\"X\" S2TSW=3.5N S2RLO=42.9 S2RHI=116\n"
    "+ S3NAME=\"Z\" S3TSW=3.5N S3RLO=200K S3RHI=200K)\n"
    ".MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n";

TEST_F(DigitalMixedTest, AtoDStatesChangeAtTheThresholdCrossings)
{
    const auto points = Run(std::string("atod\n") + "V1 1 0 PULSE(0 5 0 1P 1P 1 2)\nR1 1 2 1K\nC1 2 0 1N\n" +
                                "O1 2 0 DO_TTL DGTLNET=D IO_STD\n" + kModels + ".TRAN 10N 1U\n.END\n",
                            "2", "D");
    ASSERT_FALSE(points.empty());
    // The state changes when a point is accepted, after the point is output: a change seen at
    // one point was made at the point before. tau = 1 us, so 0.8 V at -tau ln(1 - 0.8/5) and
    // 2 V at -tau ln(1 - 2/5).
    std::vector<std::pair<char, double>> changes{{points[0].state, points[0].time}};
    for (std::size_t i = 1; i < points.size(); ++i)
        if (changes.back().first != points[i].state) changes.emplace_back(points[i].state, points[i - 1].time);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].first, '0');
    EXPECT_EQ(changes[1].first, 'X');
    EXPECT_EQ(changes[2].first, '1');
    const double tX = -1e-6 * std::log(1.0 - 0.8 / 5.0), t1 = -1e-6 * std::log(1.0 - 2.0 / 5.0);
    EXPECT_NEAR(changes[1].second, tX, 1e-3 * tX) << tX;
    EXPECT_NEAR(changes[2].second, t1, 1e-3 * t1) << t1;
}

// Parts with programs on nodes that analog parts share: the LOGICEXP reads IN, driven by a
// voltage source through an AtoD interface, and the CONSTRAINT watches Y, which drives a
// resistor through a DtoA one. Both name the nodes as their lines wrote them; the builds used
// to stop at "Unknown identifier 'IN'" and "Node 'Y' must be an input node".
TEST_F(DigitalMixedTest, ProgramsNameNodesSharedWithAnalogPartsAsWritten)
{
    const auto points = Run(std::string("programs\n") + "V1 IN 0 PULSE(0 5 10N 1N 1N 40N 100N)\n" +
                                "U1 STIM(1,1) $G_DPWR $G_DGND B IO_STD 0NS 0 30NS 1\n"
                                "U2 LOGICEXP(2,1) $G_DPWR $G_DGND IN B Y D0_GATE IO_STD\n"
                                "+ LOGIC: Y = {IN & B}\n"
                                "U3 CONSTRAINT(1) $G_DPWR $G_DGND Y IO_STD\n"
                                "+ WIDTH: NODE = Y MIN_HI = 5N\n"
                                "R1 Y 0 1K\n.MODEL D0_GATE UGATE ()\n" + kModels + ".TRAN 1N 100N\n.END\n",
                            "IN", "Y$DTOA");
    ASSERT_FALSE(points.empty());
    // Y is IN & B: 1 from 30 ns (B rises; IN is high from 11 to 51 ns) until IN falls below
    // the 0.8 V of its 0 band on the fall from 51 to 52 ns.
    std::vector<std::pair<char, double>> changes{{points[0].state, points[0].time}};
    for (std::size_t i = 1; i < points.size(); ++i)
        if (changes.back().first != points[i].state) changes.emplace_back(points[i].state, points[i].time);
    ASSERT_GE(changes.size(), 3u);
    EXPECT_EQ(changes[0].first, '0');
    EXPECT_EQ(changes[1].first, '1');
    EXPECT_NEAR(changes[1].second, 30e-9, 1.5e-9);
    EXPECT_EQ(changes.back().first, '0');
    EXPECT_NEAR(changes.back().second, 52e-9, 2e-9);
}

// An input model whose bands leave a gap (0 below 0.8 V, 1 from 2 V): a ramp through the gap
// keeps the nearest band, warns of the hazard once, and takes 1 where it reaches 2 V (at
// 66.7 ns) instead of cutting its steps toward the edge it has long passed.
TEST_F(DigitalMixedTest, ARampThroughAGapBetweenBandsChangesStateAtTheNextBand)
{
    std::vector<Point> points;
    RunServices().plotPoint = [&](WindowRecord*) {
        // A run that creeps along without end is stopped rather than left to hang the suite.
        if (points.size() > 20000) AnalogSolver().stopFlag = 1;
        points.push_back({AnalogSolver().time, 0.0, '?'});
    };
    ASSERT_EQ(BuildAtNominalTemperature("gap\nV1 IN 0 PWL(0 0 100N 3)\nO1 IN 0 DO_G DGTLNET=D IO_STD\n"
                                        ".MODEL DO_G DOUTPUT (RLOAD=1MEG S0NAME=\"0\" S0VLO=-1 S0VHI=0.8 S1NAME=\"1\" "
                                        "S1VLO=2.0 S1VHI=7)\n.MODEL IO_STD UIO (DRVH=96.4 DRVL=104)\n.TRAN 1N 100N\n.END\n"),
              0);
    const std::int32_t d = LookupNodeNumber(CircuitNodeTable(), "D", 0, kNodeDigital);
    ASSERT_GT(d, 0);
    RunServices().plotPoint = [&, d](WindowRecord*) {
        if (points.size() > 20000) AnalogSolver().stopFlag = 1;
        points.push_back({AnalogSolver().time, 0.0, DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(d)])});
    };
    EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
    ASSERT_LT(points.size(), 20000u);
    EXPECT_NEAR(points.back().time, 100e-9, 1e-12);
    // The state is taken at the accepted point after the crossing.
    double changed = -1.0;
    for (std::size_t i = 1; i < points.size() && changed < 0.0; ++i)
        if (points[i].state == '1' && points[i - 1].state == '0') changed = points[i - 1].time;
    EXPECT_NEAR(changed, 2.0 / 3.0 * 100e-9, 0.5e-9);
    EXPECT_EQ(DigitalSimulator().warningCount, 1);
}

// A model whose SXNAME names the state between its bands: a voltage that wanders into the gap
// and back takes X there and its band's state again on its way back (it used to keep X until it
// reached another band), at the crossings of the band edges.
TEST_F(DigitalMixedTest, AVoltageBackFromTheGapTakesItsBandsStateAgain)
{
    const auto points = Run("sxname\nV1 IN 0 PWL(0 0 100N 1.5 200N 0)\nO1 IN 0 DO_SX DGTLNET=D IO_STD\n"
                            ".MODEL DO_SX DOUTPUT (RLOAD=1MEG S0NAME=\"0\" S0VLO=-1 S0VHI=0.8 S1NAME=\"1\" S1VLO=2 "
                            "S1VHI=7 SXNAME=\"X\")\n.MODEL IO_STD UIO ()\n.TRAN 10N 200N\n.END\n",
                            "IN", "D");
    std::vector<std::pair<char, double>> changes;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (changes.empty() || changes.back().first != points[i].state)
            changes.emplace_back(points[i].state, points[i > 0 ? i - 1 : 0].time);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].first, 'X');
    EXPECT_NEAR(changes[1].second, 0.8 / 1.5 * 100e-9, 0.5e-9);
    EXPECT_EQ(changes[2].first, '0');
    EXPECT_NEAR(changes[2].second, 200e-9 - 0.8 / 1.5 * 100e-9, 0.5e-9);
}

// A gate fed from a comparator output at -12 V, below every band of its input model: the
// operating point takes the nearest band (0), so the inverter's RC load starts at the 1 level
// instead of the X level the input used to keep until the first time point.
TEST_F(DigitalMixedTest, TheOperatingPointReadsAnInputOutsideEveryBand)
{
    const auto points = Run(std::string("below\nVIN A 0 -12\nU1 INV $G_DPWR $G_DGND A Y D0_GATE IO_STD\n") +
                                "R1 Y OUT 1K\nC1 OUT 0 1N\n.MODEL D0_GATE UGATE ()\n" + kModels + ".TRAN 10N 50N\n.END\n",
                            "OUT", "A$ATOD");
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.front().state, '0');
    EXPECT_NEAR(points.front().voltage, 5.0 * 467.0 / 667.0, 1e-3);
}

TEST_F(DigitalMixedTest, DtoADrivesAnRcTowardTheTheveninValue)
{
    const auto points = Run(std::string("dtoa\n") + "VP PWR 0 5\n" + "U1 STIM(1,1) $G_DPWR $G_DGND D IO_STD 0 0 100N 1\n" +
                                "N1 A 0 PWR DI_TTL DGTLNET=D IO_STD\nC1 A 0 1N\n" + kModels + ".TRAN 10N 2U\n.END\n",
                            "A", "D");
    ASSERT_FALSE(points.empty());
    // Row 0: 7.13 ohm down, 389 up; row 1: 467 down, 200 up (Thevenin 140 ohm, tau 140 ns).
    const double v0 = 5.0 * 7.13 / (7.13 + 389.0), v1 = 5.0 * 467.0 / 667.0;
    double before = 0.0;
    for (const Point& p : points)
        if (p.time < 99e-9) before = p.voltage;
    EXPECT_NEAR(before, v0, 1e-3 * v0 + 1e-6);
    EXPECT_NEAR(points.back().voltage, v1, 1e-3 * v1);
    // Half way (in log terms) one time constant after the switch: v0 + (v1 - v0)(1 - 1/e),
    // within the few nanoseconds of the output stage's switching.
    const double tau = 467.0 * 200.0 / 667.0 * 1e-9;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (points[i].time >= 100e-9 + 5.5e-9 + tau) {
            const double expected = v1 + (v0 - v1) * std::exp(-(points[i].time - 100e-9 - 2.75e-9) / tau);
            EXPECT_NEAR(points[i].voltage, expected, 0.03 * v1) << points[i].time;
            break;
        }
}

// Gates on the circuit's own supply: grounded to 0, or powered from a 3.3 V rail of the circuit.
// The digital supply the I/O model names feeds only nodes nothing holds yet; it used to put its
// own 0 V and 5 V sources on them and stop the build with a voltage source loop.
TEST_F(DigitalMixedTest, GatesOnTheCircuitsOwnSupplyNodes)
{
    const double high = 467.0 / 667.0 * 10e3 / (10e3 + 467.0 * 200.0 / 667.0);  // of the rail
    for (const auto& [power, rail] : {std::pair<std::string, double>{"$G_DPWR", 5.0}, {"VCC", 3.3}}) {
        // Each circuit is built and run afresh, as a new batch line would be.
        TearDown();
        SetUp();
        const auto points = Run(std::string("own supply\nVCC VCC 0 3.3\nVIN A 0 0\n") + "U1 INV " + power +
                                    " 0 A Y D0_GATE IO_STD\nR1 Y 0 10K\n.MODEL D0_GATE UGATE ()\n" + kModels +
                                    ".TRAN 1N 10N\n.END\n",
                                "Y", "A$ATOD");
        ASSERT_FALSE(points.empty()) << power;
        EXPECT_NEAR(points.back().voltage, rail * high, 1e-3) << power;
    }
}

// A 1 ns pulse into a stage that takes 5.5 ns to switch to 1: the stage turns back from where it
// stands when the pulse ends (1.02 V into the open node), instead of leaping to its full 1 level
// (3.35 V) after the input has gone back to 0.
TEST_F(DigitalMixedTest, APulseShorterThanTheSwitchingTimeMovesTheOutputPartWay)
{
    const auto points = Run(std::string("glitch\n") + "VP PWR 0 5\n" +
                                "U1 STIM(1,1) $G_DPWR $G_DGND D IO_STD 0 0 100N 1 101N 0\n"
                                "N1 A 0 PWR DI_TTL DGTLNET=D IO_STD\nR1 A 0 100K\n" +
                                kModels + ".TRAN 0.25N 110N\n.END\n",
                            "A", "D");
    ASSERT_FALSE(points.empty());
    // At 101 ns the switch is 1/5.5 done: 467 + (7.13 - 467)(1 - 1/5.5) ohm down, 200 + (389 -
    // 200)(1 - 1/5.5) up, with the 100 kOhm load.
    const double w = 1.0 - 1.0 / 5.5;
    const double down = 467.0 + (7.13 - 467.0) * w, up = 200.0 + (389.0 - 200.0) * w;
    const double loaded = down * 100e3 / (down + 100e3);
    const double peak = 5.0 * loaded / (loaded + up);
    double highest = 0.0;
    for (const Point& p : points) highest = std::max(highest, p.voltage);
    EXPECT_NEAR(highest, peak, 0.01 * peak);
    EXPECT_LT(points.back().voltage, 0.1);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

class DigitalAdcTest : public DigitalMixedTest {};

TEST_F(DigitalAdcTest, AdcConvertsARampOnEachConvertEdge)
{
    ASSERT_EQ(BuildAtNominalTemperature(std::string("adc\n") + "VR REF 0 5\nVIN IN 0 PWL(0 0 5U 5)\n" +
                                        "U1 STIM(1,1) $G_DPWR $G_DGND CONV IO_STD 0 0 1U 1 1.5U 0 2U 1 2.5U 0 5U 1\n" +
                                        "U2 ADC(8) $G_DPWR $G_DGND IN REF 0 CONV STAT OVER D7 D6 D5 D4 D3 D2 D1 D0 ADCM IO_STD\n" +
                                        ".MODEL ADCM UADC (TPCSTY=10N TPSDTY=20N TPDSTY=5N)\n" + kModels + ".TRAN 10N 6U\n.END\n"),
              0)
        << LastShownText();
    std::vector<std::int32_t> bits;
    for (const char* name : {"D7", "D6", "D5", "D4", "D3", "D2", "D1", "D0"})
        bits.push_back(LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeDigital));
    const std::int32_t over = LookupNodeNumber(CircuitNodeTable(), "OVER", 0, kNodeDigital);
    auto code = [&] {
        int value = 0;
        for (std::int32_t node : bits) {
            const char c = DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(node)]);
            if (c != '0' && c != '1') return -1;
            value = value * 2 + (c == '1');
        }
        return value;
    };
    std::vector<std::pair<double, int>> codes;
    char overflow = '?';
    RunServices().plotPoint = [&](WindowRecord*) {
        const double t = AnalogSolver().time;
        for (double at : {1.4e-6, 2.4e-6, 5.5e-6})
            if (t >= at && (codes.empty() || codes.back().first < at)) codes.emplace_back(at, code());
        overflow = DigitalStateChar(DigitalSimulator().current[static_cast<std::size_t>(over)]);
    };
    EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
    // 1 V: floor(256 / 5 + 0.5) = 51; 2 V: 102; 5 V = the reference: 256, clamped to 255.
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[0].second, 51);
    EXPECT_EQ(codes[1].second, 102);
    EXPECT_EQ(codes[2].second, 255);
    EXPECT_EQ(overflow, '1');
}

TEST(DigitalAdcCode, ClampsAtTheTopAndAZeroSpan)
{
    bool overflow = false;
    EXPECT_EQ(AdcCode(5.0, 5.0, 0.0, 8, overflow), 255);
    EXPECT_TRUE(overflow);
    EXPECT_EQ(AdcCode(1.0, 0.0, 0.0, 8, overflow), 255);  // reference equal to the low node
    EXPECT_EQ(AdcCode(-1.0, 5.0, 0.0, 8, overflow), 0);
    EXPECT_EQ(AdcCode(2.5, 5.0, 0.0, 30, overflow), 1ll << 29);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

class DigitalDacTest : public DigitalMixedTest {};

TEST_F(DigitalDacTest, DacStepsAnRc)
{
    // Inputs 1, 0, X: 2^3 + 2^0 = 9 half steps of 16, so 9/16 of the 5 V reference.
    const auto points =
        Run(std::string("dac\n") + "VR REF 0 5\n" + "U1 STIM(3,111) $G_DPWR $G_DGND B2 B1 B0 IO_STD 0 000 100N 10X\n" +
                "U2 DAC(3) $G_DPWR $G_DGND OUT REF 0 B2 B1 B0 DACM IO_STD\n.MODEL DACM UDAC (TSWTY=10N)\n" +
                "R1 OUT A 1K\nC1 A 0 1N\n" + kModels + ".TRAN 10N 5U\n.END\n",
            "A", "B0");
    ASSERT_FALSE(points.empty());
    const double full = 5.0 * 9.0 / 16.0;
    EXPECT_NEAR(SolutionVector()[static_cast<std::size_t>(LookupNodeNumber(CircuitNodeTable(), "OUT", 0, kNodeAnalog))],
                full, 1e-9);
    // The output moves over 10 ns from 100 ns on; the RC (1 us) follows from about 105 ns.
    int checked = 0;
    for (const Point& p : points)
        if (p.time > 1e-6 && checked++ == 0) {
            const double expected = full * (1.0 - std::exp(-(p.time - 105e-9) / 1e-6));
            EXPECT_NEAR(p.voltage, expected, 5e-3 * full) << p.time;
        }
    EXPECT_EQ(checked > 0, true);
    EXPECT_NEAR(points.back().voltage, full * (1.0 - std::exp(-(5e-6 - 105e-9) / 1e-6)), 5e-3 * full);
}

// A code that changes back while the output still moves toward the last one: the output turns
// from where it stands (1.5 V of the 3.75 V it was heading for) instead of leaping toward the old
// code first.
TEST_F(DigitalDacTest, ACodeChangedDuringTheMoveTurnsTheOutputWhereItStands)
{
    const auto points = Run(std::string("dac\n") + "VR REF 0 4\n" +
                                "U1 STIM(4,1111) $G_DPWR $G_DGND B3 B2 B1 B0 IO_STD 0 0000 20N 1111 24N 0000\n" +
                                "U2 DAC(4) $G_DPWR $G_DGND OUT REF 0 B3 B2 B1 B0 DACM IO_STD\n"
                                ".MODEL DACM UDAC (TSWTY=10N)\nR1 OUT 0 1K\n" +
                                kModels + ".TRAN 0.5N 50N\n.END\n",
                            "OUT", "B0");
    ASSERT_FALSE(points.empty());
    double highest = 0.0;
    for (const Point& p : points) highest = std::max(highest, p.voltage);
    EXPECT_NEAR(highest, 4.0 * 15.0 / 16.0 * 0.4, 1e-3);
    EXPECT_NEAR(points.back().voltage, 0.0, 1e-9);
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

class DigitalInterfaceCheckTest : public DigitalMixedTest {};

TEST_F(DigitalInterfaceCheckTest, OperatingPointDrivesTheAnalogSideFromTheDigitalOne)
{
    // A pull-up holds the DtoA input at 1: the operating point already has the 1 row's Thevenin
    // value on A. The DAC's inputs 1 0 1 give 10/16 of the reference from the first point on.
    const auto points =
        Run(std::string("operating point\n") + "VP PWR 0 5\nVR REF 0 5\n" + "U1 PULLUP(1) $G_DPWR $G_DGND D IO_STD\n" +
                "U2 PULLDN(1) $G_DPWR $G_DGND L IO_STD\n" + "N1 A 0 PWR DI_TTL DGTLNET=D IO_STD\nC1 A 0 1N\n" +
                "U3 DAC(3) $G_DPWR $G_DGND OUT REF 0 D L D DACM IO_STD\n.MODEL DACM UDAC (TSWTY=10N)\nR2 OUT 0 1K\n" +
                kModels + ".TRAN 10N 100N\n.END\n",
            "A", "D");
    ASSERT_FALSE(points.empty());
    const double v1 = 5.0 * 467.0 / 667.0;
    EXPECT_EQ(points.front().time, 0.0);
    EXPECT_NEAR(points.front().voltage, v1, 1e-6 * v1);
    EXPECT_NEAR(points.back().voltage, v1, 1e-6 * v1);
    const std::int32_t out = LookupNodeNumber(CircuitNodeTable(), "OUT", 0, kNodeAnalog);
    EXPECT_NEAR(SolutionVector()[static_cast<std::size_t>(out)], 5.0 * 10.0 / 16.0, 1e-9);
}

TEST_F(DigitalInterfaceCheckTest, StepsFollowASwitchingOutputStage)
{
    // The 0 to 1 switch at 100 ns takes 5.5 ns; the steps inside it are at most that times the
    // digital convergence factor (1/20 at RELTOL 1e-3).
    const auto points = Run(std::string("switching\n") + "VP PWR 0 5\n" +
                                "U1 STIM(1,1) $G_DPWR $G_DGND D IO_STD 0 0 100N 1\n" +
                                "N1 A 0 PWR DI_TTL DGTLNET=D IO_STD\nC1 A 0 1N\n" + kModels + ".TRAN 10N 300N\n.END\n",
                            "A", "D");
    ASSERT_FALSE(points.empty());
    int inside = 0;
    double largest = 0.0;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (points[i - 1].time >= 100e-9 - 1e-15 && points[i].time <= 105.5e-9 + 1e-15) {
            ++inside;
            largest = std::max(largest, points[i].time - points[i - 1].time);
        }
    EXPECT_GE(inside, 19);
    EXPECT_LE(largest, 5.5e-9 / 20.0 * 1.0001);
}

}  // namespace
}  // namespace kq5::testing

#include <sstream>

#include "../analog/program_output_support.h"
#include "../core/file_test_support.h"

namespace kq5 {
namespace {

class MixedPrintedStatesTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        test::ScratchDirTest::SetUp();
        ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    }
    // Runs one circuit in batch (which must succeed, or fail when told) and returns the rows of
    // its transient table (or, with the job "D", of its DC table): time (ns) or swept value,
    // and the printed cells.
    std::vector<std::pair<double, std::vector<std::string>>> Rows(const std::string& name, const std::string& netlist,
                                                                  bool fails = false, const std::string& job = "T")
    {
        std::vector<std::pair<double, std::vector<std::string>>> rows;
        WriteFile(name + ".cir", netlist);
        WriteFile("jobs.txt", name + ".cir /" + job + "\n");
        EXPECT_EQ(test::RunProgramOnCommandFile(PathOf(""), "jobs.txt") != 0, fails) << ReadFile("jobs.DOC");
        std::istringstream lines(ReadFile(name + "." + job + "NO"));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream cells(line);
            double t;
            if (!(cells >> t)) continue;
            std::vector<std::string> row;
            for (std::string cell; cells >> cell;) row.push_back(cell);
            rows.emplace_back(t, std::move(row));
        }
        return rows;
    }
    // "t:letter" at the first row (tenths of a ns) of each new letter of a column.
    static std::string Changes(const std::vector<std::pair<double, std::vector<std::string>>>& rows, std::size_t column)
    {
        std::string text, last;
        for (const auto& [t, cells] : rows) {
            if (column >= cells.size() || cells[column] == last) continue;
            last = cells[column];
            text += (text.empty() ? "" : " ") + std::to_string(static_cast<int>(std::lround(t * 10.0))) + ":" + last;
        }
        return text;
    }
};

// A ramp of 50 mV/ns read by a buffer that drives an inverter of 1 ns: in the printed table the
// buffer's output changes where the ramp crosses 0.8 V and 2.0 V (16 ns and 40 ns), and the
// inverter 1 ns after it, not both together one analog step late.
TEST_F(MixedPrintedStatesTest, AnAtoDChangePrintsAtTheCrossingAndBeforeWhatItDrives)
{
    const auto rows = Rows("ramp", "RAMP\nV1 IN 0 PWL(0 0 100N 5)\n"
                                   "UB BUF $G_DPWR $G_DGND IN Y D0_GATE IO_STD\n"
                                   "UI INV $G_DPWR $G_DGND Y YB GI IO_STD\n"
                                   ".MODEL GI UGATE(TPLHTY=1N TPHLTY=1N)\n"
                                   ".TRAN 0.1N 60N\n.PRINT TRAN D(Y) D(YB)\n.END\n");
    // Tenths of a nanosecond: the row after the crossing, the row after the inverter's delay.
    EXPECT_EQ(Changes(rows, 0), "0:0 161:X 401:1");
    EXPECT_EQ(Changes(rows, 1), "0:1 171:X 411:0");
}

// A row at the time of a change shows the new state, whether the simulator's time grid puts
// the change exactly on the row's time or a fraction of the grid after it (20 ns of a 70 ns run
// is not a whole number of its ticks): the clock reads 1 at 10 ns and 0 at 20 ns, and the
// flip-flop's output, 2 ns after the clock, at 12 ns.
TEST_F(MixedPrintedStatesTest, ARowAtAChangeShowsTheNewState)
{
    const auto rows = Rows("edges", "EDGES\nU1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STD\n"
                                    "+ 0NS 0 10NS 1 20NS 0 30NS 1 40NS 0 50NS 1\n"
                                    "U2 DFF(1) $G_DPWR $G_DGND $D_HI $D_HI CLK $D_HI Q QB D_FF IO_STD\n"
                                    ".MODEL D_FF UEFF(TPCLKQLHTY=2N TPCLKQHLTY=2N)\n"
                                    ".TRAN 1N 70N\n.PRINT TRAN D(CLK) D(Q)\n.END\n");
    EXPECT_EQ(Changes(rows, 0), "0:0 100:1 200:0 300:1 400:0 500:1");
    EXPECT_EQ(Changes(rows, 1), "0:X 120:1");
}

// Through a chain of gates the delays add up on the simulator's time grid from model values of
// single precision: the buffer behind the inverter (7 ns each, 5 ns rising) changes at 114 ns
// and 210 ns, and the rows of those times show it, at a step of 1 ns or of 0.25 ns.
TEST_F(MixedPrintedStatesTest, ARowAtTheEndOfAGateChainShowsItsChange)
{
    for (const char* step : {"1N", "0.25N"}) {
        const auto rows = Rows("chain", std::string("CHAIN\nU1 STIM(1,1) $G_DPWR $G_DGND A IO_STD 0NS 0 100NS 1 200NS 0\n"
                                                    "U2 INV $G_DPWR $G_DGND A Y G1 IO_STD\n"
                                                    "U3 BUF $G_DPWR $G_DGND Y Z G1 IO_STD\n"
                                                    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n.TRAN ") +
                                            step + " 300N\n.PRINT TRAN D(Y) D(Z)\n.END\n");
        EXPECT_EQ(Changes(rows, 0), "0:1 1070:0 2050:1") << step;
        EXPECT_EQ(Changes(rows, 1), "0:1 1140:0 2100:1") << step;
    }
}

// Initial states of digital nodes (.IC D(...)) hold through the operating point: a ring of two
// inverters keeps them, a flip-flop started at Q = 1 toggles from there, and a buffer whose
// input says otherwise leaves its initial 1 after its fall delay.
TEST_F(MixedPrintedStatesTest, InitialDigitalStatesHoldTheOperatingPoint)
{
    const auto ring = Rows("ring", "RING\nU1 INV $G_DPWR $G_DGND A B G1 IO_STD\nU2 INV $G_DPWR $G_DGND B A G1 IO_STD\n"
                                   ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n.IC D(A)=0\n"
                                   ".TRAN 1N 50N\n.PRINT TRAN D(A) D(B)\n.END\n");
    EXPECT_EQ(Changes(ring, 0), "0:0");
    EXPECT_EQ(Changes(ring, 1), "0:1");
    const auto rows = Rows("held", "HELD\nU1 STIM(2,11) $G_DPWR $G_DGND A CLK IO_STD 0NS 00 20NS 01 40NS 00 60NS 01\n"
                                   "U2 BUF $G_DPWR $G_DGND A Y G1 IO_STD\n"
                                   "U3 DFF(1) $G_DPWR $G_DGND $D_HI $D_HI CLK QB Q QB DF IO_STD\n"
                                   ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
                                   ".MODEL DF UEFF (TPCLKQLHTY=2N TPCLKQHLTY=3N)\n.IC D(Y)=1 D(Q)=1 D(QB)=0\n"
                                   ".TRAN 1N 80N\n.PRINT TRAN D(Y) D(Q) D(QB)\n.END\n");
    EXPECT_EQ(Changes(rows, 0), "0:1 70:0");
    EXPECT_EQ(Changes(rows, 1), "0:1 230:0 620:1");
    EXPECT_EQ(Changes(rows, 2), "0:0 220:1 630:0");
}

// Two open-collector inverters (no drive when high) on one node with a pull-up make a wired
// AND: the node falls the inverter's fall delay (3 ns) after an input rises and rises its rise
// delay (2 ns) after the last input falls, not at the instant of the input.
TEST_F(MixedPrintedStatesTest, AWiredAndOfOpenCollectorGatesSwitchesWithTheirDelays)
{
    const auto rows = Rows("wired", "WIRED\nU1 STIM(2,11) $G_DPWR $G_DGND A B IO_STD 0NS 00 10NS 01 20NS 11 30NS 10 40NS 00\n"
                                    "U2 INV $G_DPWR $G_DGND A W G1 IO_OC\nU3 INV $G_DPWR $G_DGND B W G1 IO_OC\n"
                                    "U4 PULLUP(1) $G_DPWR $G_DGND W IO_PU\n.MODEL G1 UGATE (TPLHTY=2N TPHLTY=3N)\n"
                                    ".MODEL IO_OC UIO (DRVH=20K DRVL=50)\n.MODEL IO_PU UIO (DRVH=1K DRVL=1K)\n"
                                    ".TRAN 1N 50N\n.PRINT TRAN D(W)\n.END\n");
    EXPECT_EQ(Changes(rows, 0), "0:1 130:0 420:1");
}

// A bus printed in the table shows its value in its base and as many digits as it has bits:
// the 4-bit stimulus 0, A, 5, F reads 0 A 5 F in HEX, 0000 1010 0101 1111 in BIN, 0 10 5 15 in DEC.
TEST_F(MixedPrintedStatesTest, ABusPrintsItsValueInItsBase)
{
    const auto rows = Rows("bus", "BUS\nU1 STIM(4,4) $G_DPWR $G_DGND A3 A2 A1 A0 IO_STD\n"
                                  "+ 0NS 0 10.5NS A 20.5NS 5 30.5NS F\n"
                                  ".TRAN 1N 40N\n.PRINT TRAN HEX(A3,A2,A1,A0) BIN(A3,A2,A1,A0) DEC(A3,A2,A1,A0)\n.END\n");
    EXPECT_EQ(Changes(rows, 0), "0:0 110:A 210:5 310:F");
    EXPECT_EQ(Changes(rows, 1), "0:0000 110:1010 210:0101 310:1111");
    EXPECT_EQ(Changes(rows, 2), "0:0 110:10 210:5 310:15");
}

// A stimulus's value at time 0 is the circuit's starting state: the inverter it feeds drives
// the RC at its high level from the operating point on, and the RC's reader is never X.
TEST_F(MixedPrintedStatesTest, AStimulusAtTimeZeroDrivesTheOperatingPoint)
{
    const auto rows = Rows("start", "START\nU1 STIM(1,1) $G_DPWR $G_DGND IN IO_STD 0NS 0\n"
                                    "U2 INV $G_DPWR $G_DGND IN OUT D0_GATE IO_STD\n"
                                    "R1 OUT RC 1K\nC1 RC 0 100P\n"
                                    "U3 BUF $G_DPWR $G_DGND RC Y D0_GATE IO_STD\n"
                                    ".TRAN 1N 100N\n.PRINT TRAN V(OUT) V(RC) D(Y)\n.END\n");
    ASSERT_FALSE(rows.empty());
    ASSERT_EQ(rows[0].second.size(), 3u);
    EXPECT_GT(std::stod(rows[0].second[0]), 3.4);
    EXPECT_GT(std::stod(rows[0].second[1]), 3.4);
    EXPECT_EQ(Changes(rows, 2), "0:1");
}

// With flip-flops starting at 0, clocks whose stimuli start at a level give no edge at the
// start: the JK flip-flop (falling edges) first toggles after the clock's fall at 100 ns, the
// D flip-flop (rising edges) whose clock starts high first takes D at 40 ns.
TEST_F(MixedPrintedStatesTest, StimulusValuesAtTimeZeroAreNoClockEdges)
{
    const auto rows = Rows("clocks", "CLOCKS\n.OPTIONS DIGINITSTATE=0\n"
                                     "U1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STD TIMESTEP=10NS\n"
                                     "+ 0C 0 REPEAT FOREVER +5C 1 +5C 0 ENDREPEAT\n"
                                     "U2 JKFF(1) $G_DPWR $G_DGND $D_HI $D_HI CLK $D_HI $D_HI Q0 Q0B D_FF IO_STD\n"
                                     "U3 STIM(2,11) $G_DPWR $G_DGND DCLK D IO_STD 0NS 11 20NS 01 40NS 11\n"
                                     "U4 DFF(1) $G_DPWR $G_DGND $D_HI $D_HI DCLK D Q1 Q1B D_FF IO_STD\n"
                                     ".MODEL D_FF UEFF(TPCLKQLHMX=4N TPCLKQHLMX=4N)\n"
                                     ".TRAN 1N 150N\n.PRINT TRAN D(Q0) D(Q1)\n.END\n");
    const std::string q0 = Changes(rows, 0), q1 = Changes(rows, 1);
    ASSERT_GE(q0.size(), 6u) << q0;
    EXPECT_EQ(q0.substr(0, 4), "0:0 ") << q0;
    EXPECT_GT(std::stoi(q0.substr(4)), 1000) << q0;
    ASSERT_GE(q1.size(), 6u) << q1;
    EXPECT_EQ(q1.substr(0, 4), "0:0 ") << q1;
    EXPECT_GT(std::stoi(q1.substr(4)), 400) << q1;
    EXPECT_LT(std::stoi(q1.substr(4)), 460) << q1;
}

// A run without an operating point (UIC) has nothing that reads the stimuli's values at time 0
// before the first step: they are changes at time 0, so the flip-flop whose clear a stimulus
// holds low from the start is cleared and then counts. (Taken as silent starting states, they
// left the flip-flop unknown for the whole run.)
TEST_F(MixedPrintedStatesTest, AClearHeldFromTheStartActsInARunWithoutAnOperatingPoint)
{
    const auto rows = Rows("clear", "CLEAR\nV1 1 0 1\nR1 1 0 1K\n"
                                    "U1 STIM(1,1) $G_DPWR $G_DGND CLK IO_STD TIMESTEP=10NS\n"
                                    "+ 0C 0 REPEAT FOREVER +5C 1 +5C 0 ENDREPEAT\n"
                                    "U5 STIM(1,1) $G_DPWR $G_DGND CLR IO_STD 0 0 30NS 1\n"
                                    "U2 JKFF(1) $G_DPWR $G_DGND $D_HI CLR CLK $D_HI $D_HI Q0 Q0B D_FF IO_STD\n"
                                    ".MODEL D_FF UEFF(TPPCQHLMX=10N TPCLKQLHMX=4N TPCLKQHLMX=4N)\n"
                                    ".TRAN 1N 250N 0 1N UIC\n.PRINT TRAN D(Q0)\n.END\n");
    // Cleared within its delay of the start, toggled on the clock's falls at 100 and 200 ns.
    EXPECT_EQ(Changes(rows, 0), "0:X 70:0 1030:1 2030:0");
}

// A zero-delay loop (a NAND feeding itself) oscillates once its enable rises at 10 ns: the run
// fails there (14190) and keeps the rows before it, with none at or after 10 ns.
TEST_F(MixedPrintedStatesTest, AZeroDelayLoopKeepsTheRowsBeforeItFails)
{
    const auto rows = Rows("loop", "LOOP\nU1 STIM(1,1) $G_DPWR $G_DGND EN IO_STD 0NS 0 10NS 1\n"
                                   "U2 NAND(2) $G_DPWR $G_DGND EN Y Y D0_GATE IO_STD\n"
                                   ".TRAN 1N 20N\n.PRINT TRAN D(EN) D(Y)\n.END\n",
                           true);
    EXPECT_NE(ReadFile("jobs.DOC").find("Error 14190"), std::string::npos) << ReadFile("jobs.DOC");
    ASSERT_EQ(rows.size(), 10u) << ReadFile("loop.TNO");
    EXPECT_EQ(rows.back().first, 9.0);
    EXPECT_EQ(Changes(rows, 0), "0:0");
    EXPECT_EQ(Changes(rows, 1), "0:1");
}

// An inverter fed back through an RC, with the library's interfaces: its input band X (0.8 V to
// 2 V) holds the X row of its output stage (42.9 ohm down, 116 up: 1.3499 V, less 10K into the
// input's 1 MEG), so the operating point is X. Every point of a DC sweep and the start of a
// transient run give it, and the run stays there.
TEST_F(MixedPrintedStatesTest, AGateFedBackThroughAnRcHoldsItsOperatingPointInX)
{
    const std::string netlist = "RC LOOP\nV1 IN 0 0\nR0 IN 0 1K\n"
                                "U1 INV $G_DPWR $G_DGND X Y G1 IO_STD\nR1 Y X 10K\nC1 X 0 1N\n"
                                ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
                                ".DC V1 0 1 0.25\n.PRINT DC V(X) V(Y)\n.TRAN 1U 20U\n.PRINT TRAN V(X) V(Y)\n.END\n";
    const double vy = 5.0 * 42.9 / (42.9 + 116.0), ry = 42.9 * 116.0 / (42.9 + 116.0);
    const double y = vy * 1.01e6 / (1.01e6 + ry), x = y * 1e6 / 1.01e6;
    for (const char* job : {"D", "T"}) {
        const auto rows = Rows("loop", netlist, false, job);
        ASSERT_GE(rows.size(), 5u) << job;
        for (const auto& [at, cells] : rows) {
            ASSERT_EQ(cells.size(), 2u);
            EXPECT_NEAR(std::stod(cells[0]), x, 1.5e-3) << job << " " << at;
            EXPECT_NEAR(std::stod(cells[1]), y, 1.5e-3) << job << " " << at;
        }
    }
}

// The same loop read through an input interface without an X band has no operating point: the
// run says so instead of starting from one whose gate output contradicts its input. Started
// from its initial values (UIC, 0 V on the capacitor) the inverter reads its 0 at once and
// drives its 1 row (467 ohm down, 200 up) while the capacitor charges toward the threshold.
TEST_F(MixedPrintedStatesTest, AGateLoopWithoutAnOperatingPointStartsOnlyFromItsInitialValues)
{
    const std::string loop = "TWO BANDS\nVP PWR 0 5\n"
                             "O1 X 0 DO_T DGTLNET=XD IO_STD\nU1 INV $G_DPWR $G_DGND XD YD G1 IO_STD\n"
                             "N1 Y 0 PWR DI_DEFAULT DGTLNET=YD IO_STD\nR1 Y X 10K\nC1 X 0 1N\n"
                             ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
                             ".MODEL DO_T DOUTPUT (RLOAD=1G S0NAME=\"0\" S0VLO=-1.5 S0VHI=1.4 S1NAME=\"1\" S1VLO=1.4 "
                             "S1VHI=7)\n.PRINT TRAN V(X) V(Y)\n";
    Rows("bias", loop + ".TRAN 1U 5U\n.END\n", true);
    EXPECT_NE(ReadFile("jobs.DOC").find("Error 14190"), std::string::npos) << ReadFile("jobs.DOC");
    const auto rows = Rows("uic", loop + ".TRAN 1U 5U 0 10N UIC\n.END\n");
    ASSERT_GE(rows.size(), 4u);
    const double high = 5.0 * 467.0 / 667.0;
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_LT(std::stod(rows[i].second[0]), 1.4) << rows[i].first;
        EXPECT_NEAR(std::stod(rows[i].second[1]), high, 0.05) << rows[i].first;
    }
}

}  // namespace
}  // namespace kq5
