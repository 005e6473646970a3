// The AC run on small networks with known responses: an RC low-pass, a series RLC, coupled
// inductors and controlled sources, the frequency stepping rules, and resistor noise.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "core/analysis_state.h"
#include "core/expr_compiler.h"
#include "document/node_table.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

using Cplx = std::complex<double>;
constexpr double kTwoPi = 6.283185307179586;

class AcRunTest : public RunLoopTest {
protected:
    void SetUp() override
    {
        RunLoopTest::SetUp();
        Analysis().analysisKind = kAnalysisAc;
        axis = [] { return AcRun().f; };
    }
    // A fixed sweep from low to high; 0 or the run's id.
    int Sweep(std::uint32_t kind, double low, double high, int count)
    {
        AcRunState& a = AcRun();
        a.sweepKind = kind;
        a.fLow = low;
        a.fHigh = high;
        a.points = count;
        if (int rc = PrepareAcSweep()) return rc;
        return AcRunCase(nullptr);
    }
    static Cplx Node(int n) { return Analysis().solution.complex[static_cast<std::size_t>(n)]; }
    IndependentSourceDevice* Vac(int plus, int minus, double magnitude, double phase = 0.0)
    {
        IndependentSourceDevice* v = V(plus, minus, 0.0);
        v->acMagnitude = magnitude;
        v->acPhase = phase;
        return v;
    }
    std::vector<Cplx> values;
};

TEST_F(AcRunTest, RcLowPassMagnitudeAndPhase)
{
    Nodes(2);
    Vac(1, 0, 1.0);
    R(1, 2, 1e3);
    C(2, 0, 1e-6);
    RunServices().plotPoint = [this](WindowRecord*) {
        points.push_back({AcRun().f, 0.0});
        values.push_back(Node(2));
    };
    ASSERT_EQ(Sweep(kFrequencyStepLog, 10.0, 1e6, 6), 0);
    ASSERT_EQ(points.size(), 6u);
    double f = 10.0;
    for (std::size_t i = 0; i < points.size(); ++i, f *= 10.0) {
        EXPECT_NEAR(points[i].x, f, f * 1e-9);
        const Cplx expected = 1.0 / Cplx(1.0, kTwoPi * f * 1e-3);
        EXPECT_NEAR(std::abs(values[i] - expected), 0.0, 1e-9 * std::abs(expected) + 1e-15);
    }
}

TEST_F(AcRunTest, SeriesRlcResonanceAndSourcePhase)
{
    Nodes(3);
    Vac(1, 0, 2.0, 90.0);  // 2 V at +90 degrees
    R(1, 2, 10.0);
    L(2, 3, 1e-3);
    C(3, 0, 1e-6);
    RunServices().plotPoint = [this](WindowRecord*) { values.push_back(Node(3)); };
    const double f0 = 1.0 / (kTwoPi * std::sqrt(1e-9));
    ASSERT_EQ(Sweep(kFrequencyStepLinear, f0, f0, 1), 0);
    ASSERT_EQ(values.size(), 1u);
    // At resonance V(C) = V / (j w0 R C) = Q times the source, lagging it by 90 degrees.
    const Cplx source = Cplx(0.0, 2.0);
    const Cplx expected = source / Cplx(0.0, kTwoPi * f0 * 10.0 * 1e-6);
    EXPECT_NEAR(std::abs(values[0] - expected), 0.0, 1e-6 * std::abs(expected));
}

TEST_F(AcRunTest, CoupledInductorsAndControlledSources)
{
    // An ideal-ish transformer: L1 = L2 = 1 H, k = 1 via the coupling; the secondary drives
    // 1 MOhm, so V(3) ~ V(2). A G source then turns V(3) into a current through 1k.
    Nodes(4);
    Vac(1, 0, 1.0);
    R(1, 2, 1e-3);
    InductorDevice* l1 = L(2, 0, 1.0);
    InductorDevice* l2 = L(3, 0, 1.0);
    auto* k = Add<CouplingDevice>(kCouplingDeviceList);
    k->first = l1;
    k->second = l2;
    k->value = 0.999;
    R(3, 0, 1e6);
    Controlled(26, 4, 0, 3, 0, 1e-3);
    R(4, 0, 1e3);
    RunServices().plotPoint = [this](WindowRecord*) {
        values.push_back(Node(3));
        values.push_back(Node(4));
    };
    ASSERT_EQ(Sweep(kFrequencyStepLinear, 1e3, 1e3, 1), 0);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_NEAR(std::abs(values[0]), 0.999, 2e-3);
    EXPECT_NEAR(std::abs(values[1] + values[0]), 0.0, 1e-9);  // 1 mA/V out of node 4 into 1k
}

TEST_F(AcRunTest, FrequencyRangeRules)
{
    Nodes(1);
    Vac(1, 0, 1.0);
    R(1, 0, 1.0);
    // A single value runs one point at that frequency.
    ASSERT_EQ(Sweep(kFrequencyStepAuto, 1e3, 1e3, 1), 0);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_DOUBLE_EQ(points[0].x, 1e3);

    // A high limit below the low one is refused with its own message, before solving.
    points.clear();
    EXPECT_EQ(Sweep(kFrequencyStepLinear, 1e4, 1e3, 5), 15055);
    EXPECT_TRUE(points.empty());
    RunControl().failureReported = 0;

    // Linear steps hit both ends.
    ASSERT_EQ(Sweep(kFrequencyStepLinear, 100.0, 500.0, 5), 0);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_DOUBLE_EQ(points[4].x, 500.0);
}

TEST_F(AcRunTest, AutomaticStepDoublesOnAFlatCurve)
{
    AcRunState& a = AcRun();
    a.maxChange = 0.05;
    a.lowerBound = 0.02;
    a.step = 1.0;
    a.freeAcceptances = 0;
    a.prevX = 100.0;
    a.prevY = 200.0;
    AcPlotPosition flat{150.0, 200.0, 400.0, false};
    EXPECT_TRUE(AcAutoStepAccepts(flat));
    EXPECT_EQ(a.step, 2.0);
    // A jump of half the plot at a steep angle change is rejected and the step halves.
    a.f = 50.0;
    a.fPrev = 40.0;
    a.prevAngle = 0.0;
    AcPlotPosition jump{151.0, 0.0, 400.0, false};
    EXPECT_FALSE(AcAutoStepAccepts(jump));
    EXPECT_EQ(a.step, 1.0);
    EXPECT_EQ(a.f, 40.0);
    // After 20 rejections in a row the point is taken anyway.
    a.rejections = 20;
    EXPECT_TRUE(AcAutoStepAccepts(jump));
    EXPECT_EQ(a.rejections, 0);
}

TEST_F(AcRunTest, ResistorNoiseOfADivider)
{
    Nodes(2);
    IndependentSourceDevice* input = Vac(1, 0, 1.0);
    R(1, 2, 1e3)->sourceFlag = 1;
    R(2, 0, 1e3)->sourceFlag = 1;
    AcRun().noise = 1;
    AcStamps().noiseInputNodes = {1, 0};
    AcStamps().noiseInputDevice = input;
    double onoise = 0.0, gain = 0.0;
    RunServices().plotPoint = [&](WindowRecord*) {
        const auto& x = Analysis().solution.complex;
        double sum = 0.0;
        for (const NoiseSource& s : Analysis().noise.sources) {
            const double d = s.weight * std::abs(x[static_cast<std::size_t>(s.nodeA)] - x[static_cast<std::size_t>(s.nodeB)]);
            sum += d * d;
        }
        onoise = std::sqrt(sum);
        const auto& e = Analysis().noise.savedExcitation;
        gain = 0.0;
        Complex transfer;
        for (std::size_t i = 1; i < x.size() && i < e.size(); ++i) transfer += x[i] * e[i];
        gain = std::abs(transfer);
    };
    AcStamps().noiseMode = 1;
    AcRunState& a = AcRun();
    a.sweepKind = kFrequencyStepLinear;
    a.fLow = a.fHigh = 1e3;
    a.points = 1;
    a.linearStep = 0.0;
    a.endTolerance = 1e-7;
    AcStamps().noiseOutputNodes = {2, 0};
    ASSERT_EQ(AcRunCase(nullptr), 0);
    EXPECT_EQ(Analysis().noise.sources.size(), 2u);
    EXPECT_NEAR(Analysis().noise.sources[0].weight, 4.07e-12, 0.01e-12);  // 1k at 27 degrees
    const double expected = std::sqrt(kFourK * 300.15 * 500.0);
    EXPECT_NEAR(onoise, expected, 1e-6 * expected);
    EXPECT_NEAR(gain, 0.5, 1e-9);  // input-referred noise = output noise / 0.5
}

TEST_F(AcRunTest, SecondRunReusesTheOperatingPoint)
{
    Nodes(2);
    Vac(1, 0, 1.0);
    R(1, 2, 1e3);
    C(2, 0, 1e-6);
    ASSERT_EQ(Sweep(kFrequencyStepLog, 10.0, 1e3, 5), 0);
    SparseMatrix* built = AnalogSolver().timeStepSet.matrix.get();
    ASSERT_NE(built, nullptr);
    points.clear();
    ASSERT_EQ(Sweep(kFrequencyStepLog, 10.0, 1e3, 5), 0);
    EXPECT_EQ(AnalogSolver().timeStepSet.matrix.get(), built);
    EXPECT_EQ(points.size(), 5u);
}

TEST_F(AcRunTest, NoiseOutputNodesAreReadBeforeTheSolverIsSized)
{
    // The limits are read before the operating point prepares the solver: a fresh analysis
    // still knows the circuit's nodes.
    Nodes(3);
    CurrentDocument()->nodeCount = 3;
    for (int n = 1; n <= 3; ++n) CircuitNodeTable().rows.push_back({std::to_string(n), n, 0, kNodeAnalog});
    AnalogSolver().nodeCount = 0;
    int first = -5, second = -5;
    EXPECT_EQ(ReadNoiseOutput("3, 1", first, second), 0);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(ReadNoiseOutput("2", first, second), 0);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 0);
    EXPECT_NE(ReadNoiseOutput("4", first, second), 0);  // beyond the circuit
    CircuitNodeTable().rows.clear();
}

}  // namespace
}  // namespace kq5::solver_test
