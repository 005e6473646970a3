// The independent sources' values over time against their formulas, PWL expansion with
// repeated sections, and the stamps of voltage and current sources.
#include <gtest/gtest.h>

#include <cmath>

#include "netlist/standalone_element_devices.h"
#include "platform/message_box.h"
#include "solver_test_support.h"

namespace kq5::solver_test {
namespace {

constexpr double kPi = 3.141592653589793;

class SourceTest : public SolverTest {
protected:
    IndependentSourceDevice* Function(int function, std::vector<double> params)
    {
        IndependentSourceDevice* v = V(1, 0, 0.5);
        v->function = function;
        for (std::size_t i = 0; i < params.size(); ++i) v->params[i] = params[i];
        v->lastParam = static_cast<int>(params.size());
        return v;
    }
    // The source's value at t in a transient analysis.
    double At(double t, std::size_t position = 0)
    {
        AnalogSolver().time = t;
        EXPECT_EQ(EvaluateSourcesAtTime(), 0);
        return AnalogSolver().devices.sources[position].value;
    }
    void Point(IndependentSourceDevice* v, double t, const char* value)
    {
        PwlEntry e;
        e.kind = kPwlPoint;
        e.time = t;
        e.value = value;
        v->pwl.entries.push_back(e);
    }
    void Repeat(IndependentSourceDevice* v, int count)
    {
        PwlEntry e;
        e.kind = kPwlRepeat;
        e.repeatCount = count;
        v->pwl.entries.push_back(e);
    }
    void EndRepeat(IndependentSourceDevice* v)
    {
        PwlEntry e;
        e.kind = kPwlEndRepeat;
        v->pwl.entries.push_back(e);
    }
    void Prepare(double tmax)
    {
        Nodes(1);
        Analysis().analysisKind = kAnalysisTransient;
        Analysis().variables.tmax = tmax;
        ASSERT_GE(NumberDeviceRows(1), 1);
        ASSERT_EQ(ExpandAllPwlTables(), 0);
    }
    const std::vector<double>& Times() { return AnalogSolver().devices.sources[0].pwlTimes; }
};

TEST_F(SourceTest, PulseWaveformCornersAndPeriod)
{
    // V1 0, V2 5, TD 1, TR 1, TF 2, PW 3, PER 10
    Function(kSourcePulse, {0.0, 5.0, 1.0, 1.0, 2.0, 3.0, 10.0});
    Prepare(100.0);
    EXPECT_DOUBLE_EQ(At(0.5), 0.0);
    EXPECT_DOUBLE_EQ(At(1.5), 2.5);   // half way up the rise
    EXPECT_DOUBLE_EQ(At(3.0), 5.0);
    EXPECT_DOUBLE_EQ(At(6.0), 2.5);   // half way down the fall (5 .. 7)
    EXPECT_DOUBLE_EQ(At(8.0), 0.0);
    EXPECT_DOUBLE_EQ(At(11.5), 2.5);  // the next period
}

TEST_F(SourceTest, PulseHelperWithoutPeriodOrRiseTime)
{
    EXPECT_DOUBLE_EQ(PulseWaveValue(5.0, 1.0, 2.0, 0.0, 1.0, 2.0, 3.0, 0.0), 1.0);
    // P1 = P2: no division by zero at the corner.
    EXPECT_DOUBLE_EQ(PulseWaveValue(1.0, 1.0, 2.0, 1.0, 1.0, 3.0, 4.0, 10.0), 1.0);
    EXPECT_DOUBLE_EQ(PulseWaveValue(1.0001, 1.0, 2.0, 1.0, 1.0, 3.0, 4.0, 10.0), 2.0);
    EXPECT_DOUBLE_EQ(PulseWaveValue(0.0, 1.0, 2.0, -1.0, 1.0, 3.0, 4.0, 10.0), 1.0);  // t <= 0
}

TEST_F(SourceTest, WaveformsOutsideTransientGiveTheDcValue)
{
    Function(kSourcePulse, {0.0, 5.0, 0.0, 1.0, 1.0, 1.0, 4.0});
    // A sine with a phase stands at VO + VA sin(PHASE) at time 0, but not in a bias.
    Function(kSourceSin, {0.1, 1.0, 1e3, 0.0, 0.0, 90.0});
    Nodes(1);
    ASSERT_GE(NumberDeviceRows(1), 2);
    for (AnalysisKind kind : {kAnalysisDc, kAnalysisAc}) {
        Analysis().analysisKind = kind;
        AnalogSolver().time = 0.0;
        ASSERT_EQ(EvaluateSourcesAtTime(), 0);
        EXPECT_DOUBLE_EQ(AnalogSolver().devices.sources[0].value, 0.5);
        EXPECT_DOUBLE_EQ(AnalogSolver().devices.sources[1].value, 0.5);
    }
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_DOUBLE_EQ(At(0.0, 1), 1.1);
}

TEST_F(SourceTest, DampedDelayedSine)
{
    // VO 1, VA 2, FREQ 1k, TD 1m, THETA 100, PHASE 90
    Function(kSourceSin, {1.0, 2.0, 1000.0, 1e-3, 100.0, 90.0});
    Prepare(1.0);
    // Before the delay it holds its starting value VO + VA sin(PHASE): no step at TD.
    EXPECT_DOUBLE_EQ(At(0.5e-3), 3.0);
    for (double t : {1.2e-3, 2.7e-3, 5.05e-3}) {
        const double expected = 1.0 + 2.0 * std::exp(-(t - 1e-3) * 100.0) * std::sin(2 * kPi * 1000.0 * (t - 1e-3) + kPi / 2);
        EXPECT_NEAR(At(t), expected, 1e-12) << t;
    }
}

TEST_F(SourceTest, SineHelperCapsTheArgumentAndSkipsDampingWithoutTau)
{
    EXPECT_DOUBLE_EQ(SineWaveValue(1e6, kSineModeSine, 0.0, 1e6, 1.0, 0.0, 0.0, 0.0, 0.0, 0, 0), std::sin(1e8));
    EXPECT_NEAR(SineWaveValue(0.25e-3, kSineModeSine, 0.0, 1000.0, 1.0, 0.0, 5.0, 0.0, 0.0, 0, 0), 1.0, 1e-12);
}

TEST_F(SourceTest, ExponentialRiseAndFall)
{
    // V1 0, V2 1, TD1 1, TAU1 1, TD2 3, TAU2 0.5
    Function(kSourceExp, {0.0, 1.0, 1.0, 1.0, 3.0, 0.5});
    Prepare(10.0);
    EXPECT_DOUBLE_EQ(At(0.5), 0.0);
    EXPECT_NEAR(At(2.0), 1.0 - std::exp(-1.0), 1e-12);
    const double t = 4.0;
    EXPECT_NEAR(At(t), (1.0 - std::exp(-3.0)) - (1.0 - std::exp(-2.0)), 1e-12);
    EXPECT_DOUBLE_EQ(ExpWaveValue(1.5, 0.0, 1.0, 1.0, 0.0, 3.0, 0.0), 1.0);  // TAU1 0 jumps
    EXPECT_DOUBLE_EQ(ExpWaveValue(3.5, 0.0, 1.0, 1.0, 0.0, 3.0, 0.0), 0.0);  // TAU2 0 returns
}

TEST_F(SourceTest, FrequencyModulatedSineIgnoresDelay)
{
    // VO 0, VA 1, FC 1k, MDI 2, FS 100
    Function(kSourceSffm, {0.0, 1.0, 1000.0, 2.0, 100.0});
    Prepare(1.0);
    for (double t : {0.1e-3, 1.7e-3, 9.3e-3}) {
        const double expected = std::sin(2 * kPi * 1000.0 * t + 2.0 * std::sin(2 * kPi * 100.0 * t));
        EXPECT_NEAR(At(t), expected, 1e-12);
    }
    EXPECT_NEAR(MaxSourceTimeStep(), 0.1 / 1000.0, 1e-15);
}

TEST_F(SourceTest, PiecewiseLinearInterpolationAndEqualTimes)
{
    IndependentSourceDevice* v = Function(kSourcePwl, {});
    Point(v, 1.0, "0");
    Point(v, 2.0, "4");
    Point(v, 2.0, "2");
    Point(v, 3.0, "1k");
    Prepare(10.0);
    EXPECT_DOUBLE_EQ(At(0.0), 0.0);
    EXPECT_DOUBLE_EQ(At(1.5), 2.0);
    EXPECT_DOUBLE_EQ(At(2.0), 4.0);  // a repeated time: the level reached from before the jump
    EXPECT_NEAR(At(2.0 + 1e-9), 2.0 + 998e-9, 1e-12);  // the new level just after it
    EXPECT_DOUBLE_EQ(At(2.5), 501.0);
    EXPECT_DOUBLE_EQ(At(7.0), 1000.0);
}

TEST_F(SourceTest, PiecewiseLinearScaleFactors)
{
    IndependentSourceDevice* v = Function(kSourcePwl, {});
    v->pwl.timeScale = 1e-3;
    v->pwl.valueScale = 2.0;
    Point(v, 1.0, "1");
    Point(v, 2.0, "3");
    Prepare(1.0);
    EXPECT_DOUBLE_EQ(At(1.5e-3), 4.0);
}

TEST_F(SourceTest, DescendingTimesAreReported)
{
    IndependentSourceDevice* v = Function(kSourcePwl, {});
    Point(v, 2.0, "0");
    Point(v, 1.0, "1");
    Prepare(10.0);
    win::ClearMessageBoxLog();
    AnalogSolver().time = 3.0;
    EXPECT_EQ(EvaluateSourcesAtTime(), 15055);
    EXPECT_DOUBLE_EQ(AnalogSolver().devices.sources[0].value, 0.0);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("ascending"), std::string::npos);
}

TEST_F(SourceTest, RepeatForPlaysTheSectionAndForeverStopsAfterTmax)
{
    IndependentSourceDevice* v = Function(kSourcePwl, {});
    Repeat(v, 3);
    Point(v, 1.0, "1");
    Point(v, 2.0, "0");
    EndRepeat(v);
    Prepare(100.0);
    EXPECT_EQ(Times(), (std::vector<double>{1, 2, 3, 4, 5, 6}));

    v->pwl.entries.front().repeatCount = kPwlForever;
    Analysis().variables.tmax = 4.5;
    ASSERT_EQ(ExpandAllPwlTables(), 0);
    EXPECT_EQ(Times(), (std::vector<double>{1, 2, 3, 4, 5}));
}

TEST_F(SourceTest, ForeverSectionThatDoesNotAdvanceTimeEnds)
{
    IndependentSourceDevice* v = Function(kSourcePwl, {});
    Point(v, 1.0, "0");
    Repeat(v, kPwlForever);
    Point(v, 0.0, "1");
    EndRepeat(v);
    Point(v, 2.0, "3");
    Prepare(10.0);
    EXPECT_EQ(Times(), (std::vector<double>{1, 0, 2}));
}

TEST_F(SourceTest, ForeverSectionWithoutAPositiveTimeScaleEnds)
{
    // Scaled by zero or a negative factor the stored times never pass Tmax.
    IndependentSourceDevice* v = Function(kSourcePwl, {});
    Repeat(v, kPwlForever);
    Point(v, 1.0, "1");
    Point(v, 2.0, "0");
    EndRepeat(v);
    v->pwl.timeScale = 0.0;
    Prepare(10.0);
    EXPECT_EQ(Times(), (std::vector<double>{0, 0}));
    v->pwl.timeScale = -1.0;
    ASSERT_EQ(ExpandAllPwlTables(), 0);
    EXPECT_EQ(Times(), (std::vector<double>{-1, -2}));
    // Nor does an end time that is not a number stop a section played for ever.
    v->pwl.timeScale = 1.0;
    Analysis().variables.tmax = std::nan("");
    ASSERT_EQ(ExpandAllPwlTables(), 0);
    EXPECT_EQ(Times(), (std::vector<double>{1}));
}

TEST_F(SourceTest, VoltageSourceAtHalfSourcesAndCurrentSourceOnlyOnTheRightHandSide)
{
    Nodes(2);
    V(1, 0, 3.0);
    R(1, 0, 1.0);
    I(2, 0, 1.0);
    R(2, 0, 1.0);
    AnalogSolverState& s = AnalogSolver();
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    EXPECT_EQ(s.devices.sources[1].stamps.count, 0);
    EXPECT_EQ(s.devices.sources[0].stamps.count, 4);
    ASSERT_EQ(EvaluateSourcesAtTime(), 0);
    s.sourceFactor = 0.5;
    s.setupDone = 1;
    ASSERT_EQ(LoadCircuit(), 0);
    EXPECT_DOUBLE_EQ(s.rhs[static_cast<std::size_t>(DeviceRow(kIndependentSourceDeviceList, 0))], 1.5);
    EXPECT_DOUBLE_EQ(s.rhs[2], -0.5);
}

TEST_F(SourceTest, UserFileSourceInterpolatesFromItsCommittedPosition)
{
    Nodes(1);
    auto* u = Add<UserSourceDevice>(kUserSourceDeviceList, kKindUserFileSource);
    u->nodePlus = 1;
    R(1, 0, 1.0);
    ASSERT_GE(NumberDeviceRows(1), 2);
    UserSourceStamps& st = AnalogSolver().devices.userSources[0];
    st.times = {0.0, 1.0, 2.0, 2.0, 3.0};
    st.values = {0.0, 10.0, 20.0, 5.0, 6.0};
    Analysis().analysisKind = kAnalysisTransient;
    AnalogSolver().time = 0.5;
    ASSERT_EQ(EvaluateSourcesAtTime(), 0);
    EXPECT_DOUBLE_EQ(st.value, 5.0);
    CommitUserSourceIndices();
    AnalogSolver().time = 2.5;
    ASSERT_EQ(EvaluateSourcesAtTime(), 0);
    EXPECT_DOUBLE_EQ(st.value, 5.5);
    AnalogSolver().time = 9.0;
    ASSERT_EQ(EvaluateSourcesAtTime(), 0);
    EXPECT_DOUBLE_EQ(st.value, 6.0);
    Analysis().analysisKind = kAnalysisDc;
    ASSERT_EQ(EvaluateSourcesAtTime(), 0);
    EXPECT_DOUBLE_EQ(st.value, 0.0);
}

}  // namespace
}  // namespace kq5::solver_test
