// The run subsets walked by performance plots, 3-D surfaces and histograms.
#include <gtest/gtest.h>

#include "analyses/run_subset.h"

namespace kq5 {
namespace {

// Nested stepping of slot 0 (3 values) and slot 2 (4 values) at 2 temperatures: 24 runs.
RunPlan Nested()
{
    RunPlan plan;
    plan.steppingActive = true;
    plan.slotCounts[0] = 3;
    plan.slotCounts[2] = 4;
    plan.temperatureCount = 2;
    plan.storedRuns = 24;
    return plan;
}

TEST(RunSubsetTest, CountsOfNestedSimultaneousAndMonteCarloPlans)
{
    RunPlan plan = Nested();
    EXPECT_EQ(TotalRunCount(plan), 12);
    EXPECT_EQ(StepCountAfterSlot(plan, 0), 4);
    EXPECT_EQ(StepCountAfterSlot(plan, 2), 1);
    EXPECT_EQ(StoredTemperatureGroups(plan), 2);
    plan.storedRuns = 13;  // the second temperature has begun
    EXPECT_EQ(StoredTemperatureGroups(plan), 2);
    plan.simultaneous = true;
    plan.slotCounts[2] = 3;
    EXPECT_EQ(TotalRunCount(plan), 3);
    EXPECT_EQ(StepCountAfterSlot(plan, 0), 1);

    RunPlan mc;
    mc.monteCarloActive = true;
    mc.monteCarloRuns = 50;
    EXPECT_EQ(TotalRunCount(mc), 50);
    EXPECT_EQ(TotalRunCount(RunPlan{}), 1);
    EXPECT_EQ(CountStrides(4, 12), 3);
    EXPECT_EQ(CountStrides(0, 12), 0);

    // Ten slots of 1000 values would overflow a product in int.
    RunPlan huge;
    huge.steppingActive = true;
    huge.slotCounts.fill(1000);
    EXPECT_GT(TotalRunCount(huge), 0);
}

TEST(RunSubsetTest, NestedSubsetsFixEveryOtherQuantity)
{
    const RunPlan plan = Nested();
    FunctionRecord record;
    record.temperatureCase = 1;
    record.steppingCases[0] = 2;
    record.steppingCases[2] = 1;
    // Along slot 2: temperature 1 (runs 12..23), slot 0 at value 2 (+8), stride 1.
    RunSubset s = ChooseRunSubset(plan, record, kAxisSourceStepSlot + 2);
    EXPECT_EQ(s.first, 20);
    EXPECT_EQ(s.last, 23);
    EXPECT_EQ(s.stride, 1);
    // Along slot 0: slot 2 at value 1, stride 4.
    s = ChooseRunSubset(plan, record, kAxisSourceStepSlot + 0);
    EXPECT_EQ(s.first, 13);
    EXPECT_EQ(s.last, 21);
    EXPECT_EQ(s.stride, 4);
    for (int run = s.first; run <= s.last; run += s.stride) EXPECT_EQ(RunSlotIndex(plan, run, 2), 1);
    EXPECT_EQ(RunSlotIndex(plan, 21, 0), 2);
    // Along temperature: the chosen case of every temperature.
    s = ChooseRunSubset(plan, record, kAxisSourceTemperature);
    EXPECT_EQ(s.first, 9);
    EXPECT_EQ(s.last, 21);
    EXPECT_EQ(s.stride, 12);
    // Sources not in force give nothing.
    EXPECT_TRUE(ChooseRunSubset(plan, record, kAxisSourceCase).Empty());
    EXPECT_TRUE(ChooseRunSubset(plan, record, kAxisSourceStepSlot + 1).Empty());
}

TEST(RunSubsetTest, SubsetsStopAtTheStoredRunsAndClampStaleChoices)
{
    RunPlan plan = Nested();
    plan.storedRuns = 6;  // the analysis is still in its first temperature
    FunctionRecord record;
    RunSubset s = ChooseRunSubset(plan, record, kAxisSourceStepSlot + 2);
    EXPECT_EQ(s.first, 0);
    EXPECT_EQ(s.last, 3);
    s = ChooseRunSubset(plan, record, kAxisSourceStepSlot + 0);
    EXPECT_EQ(s.last, 4);  // runs 0 and 4 so far
    // A choice beyond the slot's values (the settings changed since) takes its last value.
    plan.storedRuns = 24;
    record.steppingCases[0] = 9;
    record.temperatureCase = 5;
    s = ChooseRunSubset(plan, record, kAxisSourceStepSlot + 2);
    EXPECT_EQ(s.first, 20);
    EXPECT_EQ(s.last, 23);
}

TEST(RunSubsetTest, MonteCarloCasesAndSimultaneousSteps)
{
    RunPlan mc;
    mc.monteCarloActive = true;
    mc.monteCarloRuns = 10;
    mc.temperatureCount = 3;
    mc.storedRuns = 30;
    FunctionRecord record;
    record.temperatureCase = 2;
    record.monteCarloCase = 4;
    RunSubset s = ChooseRunSubset(mc, record, kAxisSourceCase);
    EXPECT_EQ(s.first, 20);
    EXPECT_EQ(s.last, 29);
    EXPECT_EQ(s.stride, 1);
    EXPECT_EQ(RunCaseNumber(mc, 27), 8);
    s = ChooseRunSubset(mc, record, kAxisSourceTemperature);
    EXPECT_EQ(s.first, 4);
    EXPECT_EQ(s.last, 24);
    EXPECT_EQ(s.stride, 10);

    RunPlan sim;
    sim.steppingActive = sim.simultaneous = true;
    sim.slotCounts[1] = 5;
    sim.slotCounts[3] = 5;
    sim.input2Count = 2;  // a two-input DC sweep: each case makes two runs
    sim.storedRuns = 10;
    s = ChooseRunSubset(sim, record, kAxisSourceStepSlot + 3);
    EXPECT_EQ(s.first, 0);
    EXPECT_EQ(s.last, 8);
    EXPECT_EQ(s.stride, 2);
    EXPECT_EQ(RunSlotIndex(sim, 8, 1), 4);
}

}  // namespace
}  // namespace kq5
