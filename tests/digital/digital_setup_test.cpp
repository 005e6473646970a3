// The digital set-up of a built netlist: devices, strengths from the I/O models, delays from
// the timing models, the operating point, and the parts this build refuses.
#include "digital_build_test_support.h"

#include "analog/breakpoints.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"

namespace kq5::testing {
namespace {

class DigitalSetupTest : public DigitalBuildTest {
protected:
    std::uint16_t NodeState(const std::string& name)
    {
        const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeDigital);
        EXPECT_GT(node, 0) << name;
        return node > 0 ? DigitalSimulator().current[static_cast<std::size_t>(node)] : 0;
    }
};

constexpr const char* kModels =
    ".MODEL G1 UGATE (TPLHTY=5N TPHLTY=7N)\n"
    ".MODEL IO_STRONG UIO (DRVH=2 DRVL=2)\n"
    ".MODEL IO_MID UIO (DRVH=100 DRVL=50)\n"
    ".MODEL IO_WEAK UIO (DRVH=1K DRVL=1K INLD=1P)\n"
    ".MODEL IO_OFF UIO (DRVH=20K DRVL=1MEG OUTLD=10N)\n";

TEST_F(DigitalSetupTest, GatesGetStrengthsDelaysAndTheirOperatingPoint)
{
    ASSERT_EQ(BuildText(std::string("digital set-up\n") +
                        "U1 PULLUP(1) $G_DPWR $G_DGND HI IO_STRONG\n"
                        "U2 INV $G_DPWR $G_DGND HI Y1 G1 IO_MID\n"
                        "U3 BUF $G_DPWR $G_DGND Y1 Y2 G1 IO_WEAK\n"
                        "U4 BUF $G_DPWR $G_DGND Y2 Y3 G1 IO_OFF MNTYMXDLY=3\n" + kModels + ".TRAN 1N 1U\n.END\n"),
              0)
        << LastShownText() << " " << ::testing::PrintToString(ShownIds());
    DigitalDeviceTables& d = DigitalSimulator();
    ASSERT_EQ(d.deviceCount, 4);
    EXPECT_EQ(d.highStrength[1], 61);
    EXPECT_EQ(d.highStrength[2], 34);
    EXPECT_EQ(d.lowStrength[2], 34);
    EXPECT_EQ(d.highStrength[3], 13);
    EXPECT_EQ(d.highStrength[4], 0);
    EXPECT_EQ(d.delaySelect[2], 2);
    EXPECT_EQ(d.delaySelect[4], 3);

    SetBreakpointTimeScale(0.0, 1e-3);  // one tick: 1 ps
    ASSERT_EQ(StartDigitalRun(0.0), 0);
    // Typical given; minimum and maximum from DIGMNTYSCALE 0.4 and DIGTYMXSCALE 1.6.
    EXPECT_EQ(d.delays[2], (std::vector<std::int32_t>{2000, 5000, 8000, 2800, 7000, 11200}));
    // U2 drives the input load of U3: ln 2 * 100 ohm * 1 pF = 69.3 ps; falling at 50 ohm.
    const int output = DeviceOutputIndex(d, 2, 1);
    EXPECT_EQ(d.riseLoadDelay[static_cast<std::size_t>(output)], 69);
    EXPECT_EQ(d.fallLoadDelay[static_cast<std::size_t>(output)], 34);
    // A slow load is held at the largest delay, never wrapped.
    const int slow = DeviceOutputIndex(d, 4, 1);
    EXPECT_EQ(d.fallLoadDelay[static_cast<std::size_t>(slow)], 2147483647);

    ASSERT_EQ(SolveDigitalOperatingPoint(), 0);
    EXPECT_EQ(DigitalStateChar(NodeState("HI")), '1');
    EXPECT_EQ(DigitalStateChar(NodeState("Y1")), '0');
    EXPECT_EQ(NodeState("Y2"), MakeDigitalState(kState0, 13));
    EXPECT_EQ(DigitalStateChar(NodeState("Y3")), 'Z');  // strength 0 drives nothing
}

TEST_F(DigitalSetupTest, ConstantNodesHoldTheirLevels)
{
    ASSERT_EQ(BuildText(std::string("constants\n") + "U1 AND(2) $G_DPWR $G_DGND $D_HI $D_X Y1 G1 IO_MID\n" +
                        "U2 OR(2) $G_DPWR $G_DGND $D_LO $D_HI Y2 G1 IO_MID\n" + kModels + ".TRAN 1N 1U\n.END\n"),
              0)
        << LastShownText();
    SetBreakpointTimeScale(0.0, 1e-3);
    ASSERT_EQ(StartDigitalRun(0.0), 0);
    ASSERT_EQ(SolveDigitalOperatingPoint(), 0);
    EXPECT_EQ(DigitalStateChar(NodeState("$D_HI")), '1');
    EXPECT_EQ(DigitalStateChar(NodeState("$D_LO")), '0');
    EXPECT_EQ(DigitalStateChar(NodeState("Y1")), 'X');
    EXPECT_EQ(DigitalStateChar(NodeState("Y2")), '1');
}

TEST_F(DigitalSetupTest, FlipFlopArraysBecomeOneDeviceEach)
{
    ASSERT_EQ(BuildText(std::string("flip-flops\n") +
                        "U1 PULLUP(1) $G_DPWR $G_DGND HI IO_STRONG\n"
                        "U2 DFF(2) $G_DPWR $G_DGND HI HI CLK D1 D2 Q1 Q2 QB1 QB2 F1 IO_MID\n"
                        ".MODEL F1 UEFF (TPCLKQLHTY=3N TPCLKQHLTY=4N)\n" + kModels + ".TRAN 1N 1U\n.END\n"),
              0)
        << LastShownText();
    const DigitalDeviceTables& d = DigitalSimulator();
    ASSERT_EQ(d.deviceCount, 3);
    for (int dev : {2, 3}) {
        EXPECT_EQ(d.deviceClass[static_cast<std::size_t>(dev)], kClassEdgeFlipFlop);
        EXPECT_EQ(DeviceInputCount(d, dev), 4);
        EXPECT_EQ(DeviceOutputCount(d, dev), 2);
    }
    // Q is the last output pin: the first output evaluated.
    const std::int32_t q1 = LookupNodeNumber(CircuitNodeTable(), "Q1", 0, kNodeDigital);
    EXPECT_EQ(DeviceOutputNode(d, 2, 1), q1);
}

TEST_F(DigitalSetupTest, AdcOfMoreThan30BitsIsRefused)
{
    // Its codes would need powers of two past 2^30.
    std::string bits;
    for (int i = 30; i >= 0; --i) bits += " B" + std::to_string(i);
    EXPECT_NE(BuildText(std::string("adc\nVR REF 0 5\nVIN IN 0 1\n") + "U1 ADC(31) $G_DPWR $G_DGND IN REF 0 CONV ST OV" + bits +
                        " ADCM IO_MID\n.MODEL ADCM UADC ()\n" + kModels + ".TRAN 1N 1U\n.END\n"),
              0);
    EXPECT_NE(LastShownText().find("Illegal pin count."), std::string::npos) << LastShownText();
}

TEST_F(DigitalSetupTest, CircuitWithoutDigitalPartsKeepsEmptyArrays)
{
    ASSERT_EQ(BuildText("analog\nV1 1 0 1\nR1 1 0 1K\n.TRAN 1N 1U\n.END\n"), 0) << LastShownText();
    EXPECT_EQ(DigitalSimulator().deviceCount, 0);
    EXPECT_TRUE(DigitalSimulator().current.empty());
}

}  // namespace
}  // namespace kq5::testing
