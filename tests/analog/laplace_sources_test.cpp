// Laplace and frequency-table sources against analytic answers: a constant gain at the
// operating point and in time, first- and second-order step responses, and the frequency
// table's interpolation in log frequency with its units.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "built_circuit_test_support.h"
#include "netlist/controlled_source_devices.h"

namespace kq5::testing {
namespace {

class LaplaceSourceTest : public BuiltCircuitTest {
protected:
    // The transient run of the netlist, with node `probe` recorded at every accepted point.
    std::vector<std::pair<double, double>> Run(const std::string& netlist, int probe)
    {
        std::vector<std::pair<double, double>> points;
        if (BuildAtNominalTemperature(netlist)) return points;
        RunServices().plotPoint = [&](WindowRecord*) {
            points.emplace_back(AnalogSolver().time, SolutionVector()[static_cast<std::size_t>(probe)]);
        };
        EXPECT_EQ(TransientAnalysisRun(nullptr), 0) << LastShownText();
        return points;
    }
};

constexpr const char* kStep = "V1 1 0 PULSE(0 1 0.2M 1U 1U 10M 20M)\nR1 1 0 1K\n";

TEST_F(LaplaceSourceTest, ConstantGainFollowsTheInput)
{
    const auto points = Run(std::string("t\n") + "V1 1 0 SIN(0.5 1 1K)\nR1 1 0 1K\n"
                                                 "E1 2 0 LAPLACE {V(1)} = {2.5+0*S}\nR2 2 0 1K\n.TRAN 1U 2M\n.END\n",
                            2);
    ASSERT_GT(points.size(), 100u);
    for (const auto& [t, v] : points)
        EXPECT_NEAR(v, 2.5 * (0.5 + std::sin(2.0 * M_PI * 1e3 * t)), 0.02 * 2.5) << t;
    // At the operating point it is exactly the gain times the input.
    EXPECT_NEAR(points.front().second, 1.25, 1e-9);
}

TEST_F(LaplaceSourceTest, FirstOrderStepResponse)
{
    const double tau = 2e-4;
    const auto points = Run(std::string("t\n") + kStep + "E1 2 0 LAPLACE {V(1)} = {1/(1+S*2E-4)}\nR2 2 0 1K\n"
                                                         ".TRAN 1U 2M\n.END\n",
                            2);
    ASSERT_GT(points.size(), 100u);
    for (const auto& [t, v] : points) {
        const double expected = t < 2e-4 ? 0.0 : 1.0 - std::exp(-(t - 2e-4) / tau);
        EXPECT_NEAR(v, expected, 0.02) << t;
    }
    EXPECT_NEAR(points.back().second, 1.0 - std::exp(-1.8e-3 / tau), 5e-3);
}

TEST_F(LaplaceSourceTest, SecondOrderUnderdampedStepResponse)
{
    // w0 = 1e4 rad/s, damping 0.2: overshoot exp(-pi z / sqrt(1 - z^2)) = 52.7 %.
    const double w0 = 1e4, z = 0.2;
    const auto points = Run(std::string("t\n") + kStep +
                                "E1 2 0 LAPLACE {V(1)} = {1/(1+S*4E-5+S*S*1E-8)}\nR2 2 0 1K\n.TRAN 1U 3M 0 2U\n.END\n",
                            2);
    ASSERT_GT(points.size(), 100u);
    const double wd = w0 * std::sqrt(1.0 - z * z);
    double peak = 0.0;
    const double overshoot = std::exp(-M_PI * z / std::sqrt(1.0 - z * z));
    // Within 2 % of the swing; the 1 us rise of the input counts as half its length of delay.
    const double tolerance = 0.02 * (1.0 + overshoot);
    for (const auto& [t, v] : points) {
        const double s = t - 2.005e-4;
        const double expected =
            s < 0.0 ? 0.0 : 1.0 - std::exp(-z * w0 * s) * (std::cos(wd * s) + z / std::sqrt(1.0 - z * z) * std::sin(wd * s));
        EXPECT_NEAR(v, expected, tolerance) << t;
        peak = std::max(peak, v);
    }
    EXPECT_NEAR(peak, 1.0 + overshoot, 0.02);
}

// The RC low-pass (tau 0.1 ms) as the rows of a frequency table in dB and degrees from 100 Hz
// to 100 kHz, ten a decade, from the lowest frequency up or from the highest down.
std::string LowPassRows(bool descending)
{
    std::string rows;
    for (int k = 0; k <= 30; ++k) {
        const double f = 100.0 * std::pow(10.0, (descending ? 30 - k : k) / 10.0);
        const std::complex<double> h = 1.0 / std::complex<double>(1.0, 2.0 * M_PI * f * 1e-4);
        rows += "+ (" + std::to_string(f) + "," + std::to_string(20.0 * std::log10(std::abs(h))) + "," +
                std::to_string(std::arg(h) * 180.0 / M_PI) + ")\n";
    }
    return rows;
}

// Below 100 Hz the table falls 0.02 dB a decade, which extrapolated over the decades down to zero
// frequency would give it any gain there. The gain at zero frequency is that of the lowest row
// (0.996), at the operating point and in the step response's end value, whichever way round
// the rows are written.
TEST_F(LaplaceSourceTest, AFrequencyTablesGainAtZeroFrequencyIsItsLowestRows)
{
    const double lowest = 1.0 / (1.0 + std::pow(2.0 * M_PI * 100.0 * 1e-4, 2.0));
    for (bool descending : {false, true}) {
        const auto points = Run("t\nV1 1 0 PULSE(0.5 1 0.2M 1U 1U 10M 20M)\nR1 1 0 1K\nE1 2 0 FREQ {V(1)} = DB DEG\n" +
                                    LowPassRows(descending) + "R2 2 0 1K\n.TRAN 1U 2M\n.END\n",
                                2);
        ASSERT_GT(points.size(), 100u);
        EXPECT_NEAR(points.front().second, 0.5 * lowest, 1e-4) << descending;
        EXPECT_NEAR(points.back().second, lowest, 0.01) << descending;
    }
}

// A lookup table's pairs in any order are taken in ascending order.
TEST_F(LaplaceSourceTest, ALookupTablesPairsInAnyOrder)
{
    const auto points = Run(std::string("t\nV1 1 0 SIN(0 1 1K)\nR1 1 0 1K\n") +
                                "E1 2 0 TABLE {V(1)} = (1,2) (-1,-0.5) (0,0)\nR2 2 0 1K\n.TRAN 1U 2M\n.END\n",
                            2);
    ASSERT_GT(points.size(), 100u);
    for (const auto& [t, v] : points) {
        const double u = std::sin(2.0 * M_PI * 1e3 * t);
        EXPECT_NEAR(v, u > 0.0 ? 2.0 * u : 0.5 * u, 1e-6) << t;
    }
}

// A frequency table of a single row is a gain flat over every frequency, the row's -6 dB.
TEST_F(LaplaceSourceTest, AFrequencyTableOfOneRowIsAFlatGain)
{
    const auto points = Run(std::string("t\nV1 1 0 SIN(0 1 1K)\nR1 1 0 1K\nE1 2 0 FREQ {V(1)} = (100,-6.0206,0)\n") +
                                "R2 2 0 1K\n.TRAN 1U 2M\n.END\n",
                            2);
    ASSERT_GT(points.size(), 100u);
    for (const auto& [t, v] : points) EXPECT_NEAR(v, 0.5 * std::sin(2.0 * M_PI * 1e3 * t), 0.01) << t;
}

TEST(FreqTable, InterpolatesInLogFrequencyAndConvertsUnits)
{
    FreqTableSourceDevice d;
    d.table = {10.0, 0.0, 0.0, 1000.0, -40.0, -90.0};
    // Midway in log frequency: -20 dB and -45 degrees.
    std::complex<double> v = FreqTableValue(d, FreqTableSegment(d, 100.0), 100.0);
    EXPECT_NEAR(std::abs(v), 0.1, 1e-12);
    EXPECT_NEAR(std::arg(v), -M_PI / 4.0, 1e-12);
    // Beyond the table the last pair of rows extrapolates.
    v = FreqTableValue(d, FreqTableSegment(d, 1e4), 1e4);
    EXPECT_NEAR(std::abs(v), 0.001, 1e-12);
    // Linear magnitude in radians, and real and imaginary parts.
    d.magnitudeKeyword = kFreqMag;
    d.phaseKeyword = kFreqRad;
    d.table = {1.0, 2.0, 0.0, 100.0, 4.0, 1.0};
    v = FreqTableValue(d, 1, 10.0);
    EXPECT_NEAR(std::abs(v), 3.0, 1e-12);
    EXPECT_NEAR(std::arg(v), 0.5, 1e-12);
    d.magnitudeKeyword = kFreqRealImag;
    v = FreqTableValue(d, 1, 10.0);
    EXPECT_NEAR(v.real(), 3.0, 1e-12);
    EXPECT_NEAR(v.imag(), 0.5, 1e-12);
    // Zero frequency reads the table at the tiny one rather than at log 0.
    v = FreqTableValue(d, 1, 0.0);
    EXPECT_TRUE(std::isfinite(v.real()) && std::isfinite(v.imag()));
    // Segments: the first row from 1 up at or above f, the last one at the top.
    d.table = {1.0, 0, 0, 10.0, 0, 0, 100.0, 0, 0, 1000.0, 0, 0};
    EXPECT_EQ(FreqTableSegment(d, 0.5), 1);
    EXPECT_EQ(FreqTableSegment(d, 10.0), 1);
    EXPECT_EQ(FreqTableSegment(d, 50.0), 2);
    EXPECT_EQ(FreqTableSegment(d, 1e6), 3);
}

}  // namespace
}  // namespace kq5::testing
