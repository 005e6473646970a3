// Transmission lines against ngspice: its lossless line T with a matched, an open and a
// shorted far end in the time domain and mismatched across frequency; its lossy line LTRA
// with RLC, LC and RG lines at the operating point, in step responses and in AC. The lossy
// lines' waveforms are also held against answers of their own: the ideal line of the same
// delay for an LC line, a finely segmented ladder for an RLC line, which ngspice computes on
// a fine step, and for an RC line the exact response of the terminated line, inverted from
// its Laplace transform here. These comparisons (but the last) need ngspice and fail without it.
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "reference_support.h"

namespace kq5::reference {
namespace {

class LineReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the line comparisons";
        Compare(name);
    }

    // Every point of a run against an exact response; prints and checks the worst error
    // relative to max(|exact|, the circuit's floor).
    template <class Exact>
    void CheckAgainstExact(const std::string& name, const Exact& exact)
    {
        const ReferenceCircuit circuit = LoadReferenceCircuit(name);
        std::vector<OurCurve> curves;
        ASSERT_EQ(RunOurs(circuit, curves), 0);
        ASSERT_EQ(curves.size(), 2u);
        for (std::size_t q = 0; q < 2; ++q) {
            double worst = 0.0, at = 0.0;
            for (std::size_t i = 0; i < curves[q].x.size(); ++i) {
                const double t = curves[q].x[i], value = exact(t, q == 1);
                if (std::isnan(value)) continue;
                const double error = std::abs(curves[q].y[i].real() - value) / std::max(std::abs(value), circuit.floor);
                if (error > worst) {
                    worst = error;
                    at = t;
                }
            }
            std::printf("[reference] %s %s: %zu points, worst relative error %.3g at %g\n", circuit.name.c_str(),
                        circuit.quantities[q].c_str(), curves[q].x.size(), worst, at);
            EXPECT_LE(worst, circuit.relative) << circuit.quantities[q] << " at " << at;
        }
    }
};

TEST_F(LineReferenceTest, IdealLineMatched) { Check("line_ideal_matched"); }
TEST_F(LineReferenceTest, IdealLineOpenEnd) { Check("line_ideal_open"); }
TEST_F(LineReferenceTest, IdealLineShortedEnd) { Check("line_ideal_shorted"); }
TEST_F(LineReferenceTest, IdealLineAcStandingWaves) { Check("line_ideal_ac"); }

TEST_F(LineReferenceTest, LossyLinesOperatingPoint) { Check("line_lossy_op"); }
TEST_F(LineReferenceTest, LosslessLineWrittenAsLossy) { Check("line_lossy_lc_tran"); }
TEST_F(LineReferenceTest, RlcLineStepResponse) { Check("line_lossy_rlc_tran"); }
TEST_F(LineReferenceTest, RlcLineAgainstFineLadder) { Check("line_lossy_rlc_ladder"); }
TEST_F(LineReferenceTest, RgLineInAPulseRun) { Check("line_lossy_rg_tran"); }
TEST_F(LineReferenceTest, LossyLinesAcrossFrequency) { Check("line_lossy_ac"); }
TEST_F(LineReferenceTest, RgLineAcrossFrequency) { Check("line_lossy_rg_ac"); }

// The response to a unit ramp (power 2) or step (power 1) starting at 0 of a transfer
// function F(s), the inverse transform of F / s^power, inverted on Talbot's fixed contour
// (Abate and Valko): 20 nodes agree with a 30-digit inversion within 1e-10 for the smooth
// transfers below.
template <class Transfer>
double RampResponse(const Transfer& transfer, double t, int power = 2)
{
    if (t <= 0.0) return 0.0;
    constexpr int kNodes = 20;
    const double r = 2.0 * kNodes / (5.0 * t);
    auto term = [&](std::complex<double> s) { return std::exp(s * t) * transfer(s) / std::pow(s, power); };
    double sum = 0.5 * term(r).real();
    for (int k = 1; k < kNodes; ++k) {
        const double theta = k * std::numbers::pi / kNodes, cot = 1.0 / std::tan(theta);
        const std::complex<double> s = r * theta * std::complex<double>(cot, 1.0);
        sum += (term(s) * std::complex<double>(1.0, theta + (theta * cot - 1.0) * cot)).real();
    }
    return r / kNodes * sum;
}

// The RC line of line_lossy_rc_tran (R, C per metre, LEN), driven through Rs by a ramp from 0
// to 1 V between kStart and kStart + kRise and loaded by RL. With g = LEN sqrt(s R C) and
// Z0 = sqrt(R / (s C)) the chain matrix of the line gives the far end
//     V3 / Vs = 1 / (cosh g (1 + Rs/RL) + sinh g (Z0/RL + Rs/Z0))
// and the near end V2 = (cosh g + sinh g Z0/RL) V3, written with exp(-g) so that nothing
// overflows.
constexpr double kR = 100.0, kC = 1e-9, kLen = 1.0, kRs = 10.0, kRl = 10e3, kStart = 10e-9, kRise = 1e-9;

std::complex<double> RcLineTransfer(std::complex<double> s, bool farEnd)
{
    const std::complex<double> g = kLen * std::sqrt(s * kR * kC), z0 = std::sqrt(kR / (kC * s));
    const std::complex<double> e = std::exp(-2.0 * g);
    const std::complex<double> d = (1.0 + e) * (1.0 + kRs / kRl) + (1.0 - e) * (z0 / kRl + kRs / z0);
    return farEnd ? 2.0 * std::exp(-g) / d : ((1.0 + e) + (1.0 - e) * z0 / kRl) / d;
}

double RcLineExact(double t, bool farEnd)
{
    auto transfer = [farEnd](std::complex<double> s) { return RcLineTransfer(s, farEnd); };
    return (RampResponse(transfer, t - kStart) - RampResponse(transfer, t - kStart - kRise)) / kRise;
}

// ngspice's LTRA, on its 516 points, is 0.61 % off at the near end and 0.27 % at the far end.
TEST_F(LineReferenceTest, RcLineAgainstExactResponse)
{
    CheckAgainstExact("line_lossy_rc_tran", RcLineExact);
    EXPECT_NEAR(RcLineExact(1e-6, true), kRl / (kRs + kR * kLen + kRl), 1e-6);  // the inversion settles
}

// The RLC line of line_lossy_rlc_exact (R, L, C per metre, LEN) between Rs and RL, driven by
// ramps and steps (start, slope or height, 2 for a ramp or 1 for a step), as the sum of its
// reflections: with a = 1 + R / (s L), Z0 = sqrt(L / C) sqrt(a), the reflection factors rs, rl
// of the two ends and the propagation g = s TD sqrt(a), the far end is
//     Vs Z0 / (Z0 + Rs) (1 + rl) sum over m of (rs rl)^m exp(-(2m + 1) g)
// and the near end Vs Z0 / (Z0 + Rs) (1 + sum over m >= 1 of rl (rs rl)^(m-1) (1 + rs)
// exp(-2m g)). Each term is inverted with its pure delay exp(-s k TD) taken out as a shift
// in time, so that what is left is smooth enough for the contour. Not a number within 0.15 ns
// of a jump of the drive or of its reflections, where a sampled jump has no one value.
struct Edge {
    double start, size;
    int power;
};
double RlcLineExact(double t, bool farEnd, double len, std::initializer_list<Edge> edges)
{
    constexpr double r = 5.0, l = 250e-9, c = 100e-12, rs = 50.0, rl = 200.0;
    const double delay = len * std::sqrt(l * c);
    double sum = 0.0;
    for (int m = 0;; ++m) {
        const int passes = farEnd ? 2 * m + 1 : 2 * m;
        if (t <= passes * delay) break;
        auto transfer = [&](std::complex<double> s) {
            const std::complex<double> a = 1.0 + r / (s * l), root = std::sqrt(a);
            const std::complex<double> z0 = std::sqrt(l / c) * root;
            const std::complex<double> fs = (rs - z0) / (rs + z0), fl = (rl - z0) / (rl + z0);
            const std::complex<double> wave = z0 / (z0 + rs) * std::exp(-double(passes) * s * delay * (root - 1.0));
            if (farEnd) return wave * (1.0 + fl) * std::pow(fs * fl, m);
            return m == 0 ? wave : wave * fl * std::pow(fs * fl, m - 1) * (1.0 + fs);
        };
        for (const Edge& e : edges) {
            const double age = t - passes * delay - e.start;
            if (e.power == 1 && std::abs(age) < 0.15e-9) return std::nan("");
            sum += e.size * RampResponse(transfer, age, e.power);
        }
    }
    return sum;
}

// The convolution's weights follow the line's responses closely enough that the ports are
// smooth and right to 1e-5 of the pulse to its end: no ripple in the reflections' tail, where
// the weights of old samples are gathered. ngspice's LTRA is within 4e-6 in the tail.
TEST_F(LineReferenceTest, RlcLineAgainstExactResponse)
{
    CheckAgainstExact("line_lossy_rlc_exact", [](double t, bool farEnd) {
        return RlcLineExact(t, farEnd, 2.0, {{1e-9, 2e9, 2}, {1.5e-9, -2e9, 2}, {21.5e-9, -2e9, 2}, {22e-9, 2e9, 2}});
    });
}

// A pulse whose edges take no time: where a wave's corner arrives at a port as the source
// jumps there, the step that lands on the jump is not cut for its curvature (it ran into
// "Internal time step too small" before).
TEST_F(LineReferenceTest, RlcLineDrivenByJumps)
{
    CheckAgainstExact("line_lossy_rlc_jumps", [](double t, bool farEnd) {
        return RlcLineExact(t, farEnd, 1.0, {{1e-9, 1.0, 1}, {11e-9, -1.0, 1}, {41e-9, 1.0, 1}, {51e-9, -1.0, 1}});
    });
}

}  // namespace
}  // namespace kq5::reference
