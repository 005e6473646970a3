// The breakpoints of the source waveforms: corners of PULSE, EXP and PWL sources with their
// defaults, and the guards against waveforms that would schedule without end.
#include <gtest/gtest.h>

#include <vector>

#include "analog/analog_state.h"
#include "analog/breakpoints.h"
#include "analog/source_stamps.h"
#include "platform/message_box.h"
#include "run_test_support.h"

namespace kq5::solver_test {
namespace {

class BreakpointTest : public RunLoopTest {
protected:
    std::vector<double> QueueTimes()
    {
        std::vector<double> times;
        for (const TimeBreakpointRecord& r : ListRecords<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList)))
            times.push_back(TickToTime(r.time));
        return times;
    }
    int Schedule(double tmax, double printInterval)
    {
        SetBreakpointTimeScale(0.0, tmax);
        SourceScheduleValues run{0.0, tmax, printInterval, true};
        return ScheduleSourceBreakpoints(nullptr, run);
    }
    IndependentSourceDevice* Pwl(std::vector<PwlEntry> entries)
    {
        IndependentSourceDevice* v = V(1, 0, 0.0);
        v->function = kSourcePwl;
        v->pwl.entries = std::move(entries);
        v->pwl.entryCount = static_cast<int>(v->pwl.entries.size());
        return v;
    }
    static PwlEntry Point(double t) { return {kPwlPoint, t, "1", 0}; }
    static PwlEntry Repeat(int count) { return {kPwlRepeat, 0.0, "", count}; }
    static PwlEntry End() { return {kPwlEndRepeat, 0.0, "", 0}; }
};

void ExpectTimes(const std::vector<double>& got, const std::vector<double>& want)
{
    ASSERT_EQ(got.size(), want.size());
    // Times are whole ticks (Tmax / 1e9).
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], Breakpoints().tick) << i;
}

TEST_F(BreakpointTest, PulseCornersWithDefaultsForEveryPeriod)
{
    Nodes(1);
    // V1 V2 TD only: TR and TF default to the print interval, PW and PER to Tmax.
    IndependentSourceDevice* v = Pulse(1, 0, {0.0, 1.0, 1.0});
    ASSERT_EQ(Schedule(10.0, 0.5), 0);
    EXPECT_DOUBLE_EQ(v->params[3], 0.5);
    EXPECT_DOUBLE_EQ(v->params[5], 10.0);
    EXPECT_DOUBLE_EQ(v->params[6], 11.0);  // PER raised to TR + TF + PW
    // Corners of the first period past Tmax stay (the run ends at Tmax all the same).
    ExpectTimes(QueueTimes(), {0.0, 1.0, 1.5, 10.0, 11.5, 12.0});
    ClearTimeBreakpoints();

    v->params = {0.0, 1.0, 1.0, 0.5, 0.5, 1.0, 4.0};
    v->lastParam = 7;
    ASSERT_EQ(Schedule(10.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 1.0, 1.5, 2.5, 3.0, 5.0, 5.5, 6.5, 7.0, 9.0, 9.5, 10.0, 10.5, 11.0});
}

TEST_F(BreakpointTest, PulseWithoutPeriodSchedulesOnePeriod)
{
    Nodes(1);
    Pulse(1, 0, {0.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0});  // PER stays 0 after the raise
    ASSERT_EQ(Schedule(10.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 1.0, 10.0});
}

TEST_F(BreakpointTest, PulsePartCornersRepeatUnlessItHasNoPeriod)
{
    Nodes(1);
    EvaluatedModel model;
    model.params = {0.0f, 5.0f, 1.0f, 1.5f, 2.0f, 2.5f, 4.0f};  // VZERO VONE P1..P4 P5
    auto* p = Add<PulseSourceDevice>(kPulseSourceDeviceList);
    p->nodePlus = 1;
    p->model = &model;
    ASSERT_EQ(Schedule(6.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 1.0, 1.5, 2.0, 2.5, 5.0, 5.5, 6.0, 6.5});
    ClearTimeBreakpoints();
    model.params[6] = 0.0f;  // no period: one set of corners, not a loop without end
    ASSERT_EQ(Schedule(6.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 1.0, 1.5, 2.0, 2.5, 6.0});
    p->model = nullptr;
}

TEST_F(BreakpointTest, PwlRepeatsUnrollAndZeroLengthLoopsEnd)
{
    Nodes(1);
    Pwl({Repeat(3), Point(1.0), Point(2.0), End()});
    ASSERT_EQ(Schedule(10.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 10.0});
    ClearTimeBreakpoints();
    ResetDeviceListsForTests();
    RegisterCircuitDeviceRecordTypes();

    // A FOREVER loop whose points do not move the time would repeat without end.
    Pwl({Point(0.5), Repeat(kPwlForever), Point(0.0), End(), Point(3.0)});
    ASSERT_EQ(Schedule(10.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 0.0, 0.5, 3.0, 10.0});
    ClearTimeBreakpoints();
    ResetDeviceListsForTests();
    RegisterCircuitDeviceRecordTypes();

    // A FOREVER loop that moves on stops at the first point past Tmax.
    Pwl({Repeat(kPwlForever), Point(2.0), End()});
    ASSERT_EQ(Schedule(7.0, 0.5), 0);
    ExpectTimes(QueueTimes(), {0.0, 2.0, 4.0, 6.0, 7.0});
}

// A user-file source rising 0 to 2 V from 1 to 2 ms, resting, falling to -1 V over 10 us and
// resting again: every corner is landed on, the ends of the ramps as well as their starts.
TEST_F(BreakpointTest, UserSourceCornersIncludeTheEndsOfRamps)
{
    Nodes(1);
    UserSourceStamps& u = AnalogSolver().devices.userSources.emplace_back();
    u.times = {0.5e-3, 1e-3, 2e-3, 3e-3, 3.01e-3, 4e-3, 5e-3};
    u.values = {0.0, 0.0, 2.0, 2.0, -1.0, -1.0, -1.0};
    ASSERT_EQ(Schedule(5e-3, 1e-4), 0);
    ExpectTimes(QueueTimes(), {0.0, 0.5e-3, 1e-3, 2e-3, 3e-3, 3.01e-3, 5e-3});
    ClearTimeBreakpoints();
    AnalogSolver().devices.userSources.clear();
}

TEST_F(BreakpointTest, ExpCornersAndCornerDefaults)
{
    Nodes(1);
    IndependentSourceDevice* v = V(1, 0, 0.0);
    v->function = kSourceExp;
    v->params[0] = 0.0;
    v->params[1] = 1.0;
    v->lastParam = 2;
    ASSERT_EQ(Schedule(10.0, 0.25), 0);
    EXPECT_DOUBLE_EQ(v->params[4], 0.25);  // TD2 = TD1 + print interval
    // A corner at the start time is never merged away.
    ExpectTimes(QueueTimes(), {0.0, 0.0, 0.25, 10.0});
    RemoveFirstTimeBreakpoint();
    ExpectTimes(QueueTimes(), {0.0, 0.25, 10.0});
}

TEST_F(BreakpointTest, APulseOfMoreThanAThousandPeriodsAsksOnceAndASteppedRunNever)
{
    Nodes(1);
    // 10 ms periods over 10.01 s: 1001 periods, in each of two sources.
    Pulse(1, 0, {0.0, 1.0, 0.0, 0.001, 0.001, 0.003, 0.01});
    Pulse(1, 0, {0.0, 1.0, 0.0, 0.001, 0.001, 0.003, 0.01});
    const auto run = [](bool stepped, int answer) {
        ClearTimeBreakpoints();
        Breakpoints().pulseQuestionAsked = false;
        win::ClearMessageBoxLog();
        win::PushMessageBoxAnswer(answer);
        SetBreakpointTimeScale(0.0, 10.01);
        SourceScheduleValues values{0.0, 10.01, 0.5, stepped};
        return ScheduleSourceBreakpoints(nullptr, values);
    };
    const auto asked = [] {
        int n = 0;
        for (const auto& box : win::MessageBoxLog())
            n += box.text.find("This run will require 1001 periods of at least one Pulse source!") != std::string::npos;
        return n;
    };
    ASSERT_EQ(run(false, win::IDYES), 0);
    EXPECT_EQ(asked(), 1);
    EXPECT_GT(QueueTimes().size(), 4000u);
    EXPECT_EQ(run(false, win::IDNO), 15056);
    EXPECT_EQ(asked(), 1);
    // A stepped run goes on without a word.
    EXPECT_EQ(run(true, win::IDNO), 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
    win::ClearMessageBoxLog();  // the answer nobody was asked for
}

}  // namespace
}  // namespace kq5::solver_test
