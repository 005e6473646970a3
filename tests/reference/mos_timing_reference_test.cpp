// Switching times of MOSFET circuits against ngspice: the moments a node crosses half the
// supply. Pointwise waveform comparisons forgive little on fast edges, so timing is compared
// directly, which is what a user of a ring oscillator or a delay chain reads off the plot.
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "reference_support.h"

namespace kq5::reference {
namespace {

// Times at which the curve rises through the level, linearly interpolated.
std::vector<double> RisingCrossings(const std::vector<double>& x, const std::vector<std::complex<double>>& y,
                                    double level)
{
    std::vector<double> times;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double a = y[i - 1].real(), b = y[i].real();
        if (a < level && b >= level) times.push_back(x[i - 1] + (x[i] - x[i - 1]) * (level - a) / (b - a));
    }
    return times;
}

class MosTimingReferenceTest : public ReferenceTest {
protected:
    // Compares the first `count` rising crossings of the circuit's first quantity through
    // `level`, each relative to ngspice's time within `tolerance`.
    void CompareCrossings(const std::string& name, double level, int count, double tolerance)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the timing comparisons";
        const ReferenceCircuit circuit = LoadReferenceCircuit(name);
        ASSERT_FALSE(circuit.ourText.empty());
        const NgspiceResult theirs = RunNgspice(circuit);
        ASSERT_TRUE(theirs.error.empty()) << "ngspice failed:\n" << theirs.error;
        std::vector<OurCurve> curves;
        ASSERT_EQ(RunOurs(circuit, curves), 0);
        const std::vector<double> ours = RisingCrossings(curves[0].x, curves[0].y, level);
        const std::vector<double> ref = RisingCrossings(theirs.scale, theirs.values[0], level);
        ASSERT_GE(ref.size(), static_cast<std::size_t>(count)) << name << ": ngspice crossings";
        ASSERT_GE(ours.size(), static_cast<std::size_t>(count)) << name << ": our crossings";
        for (int k = 0; k < count; ++k) {
            std::printf("[reference] %s crossing %d: ours %.4g ns, ngspice %.4g ns (%+.2f %%)\n", name.c_str(), k + 1,
                        ours[k] * 1e9, ref[k] * 1e9, 100.0 * (ours[k] / ref[k] - 1.0));
            EXPECT_NEAR(ours[k], ref[k], tolerance * ref[k]) << name << " crossing " << k + 1;
        }
    }
};

// Rings of 31 CMOS inverters started from alternate levels; the third rising edge of a node
// has passed through about 200 stage delays, so any error of the gate, overlap or junction
// charges (including forward-biased junctions above the depletion knee) shows up amplified.
TEST_F(MosTimingReferenceTest, Level1RingOscillatorPeriod) { CompareCrossings("mos_ring_level1", 2.5, 3, 0.01); }
TEST_F(MosTimingReferenceTest, Level2RingOscillatorPeriod) { CompareCrossings("mos_ring_level2", 2.5, 3, 0.01); }
TEST_F(MosTimingReferenceTest, Level3RingOscillatorPeriod) { CompareCrossings("mos_ring_level3", 2.5, 3, 0.01); }

}  // namespace
}  // namespace kq5::reference
