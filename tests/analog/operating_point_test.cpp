// DC operating points of linear networks against hand-computed values, the stamp-record
// discipline of the set-up and load passes, and source stepping.
#include <gtest/gtest.h>

#include "analog/convergence.h"
#include "netlist/diode_device.h"
#include "netlist/line_switch_devices.h"
#include "devices/inductor_load.h"
#include "platform/message_box.h"
#include "solver_test_support.h"

namespace kq5::solver_test {
namespace {

constexpr int kG = 26, kF = 27, kE = 28, kH = 29;

TEST_F(SolverTest, DividerWithVoltageAndCurrentSources)
{
    Nodes(3);
    V(1, 0, 10.0);
    R(1, 2, 1000.0);
    R(2, 0, 3000.0);
    I(3, 0, 1e-3);  // pushes 1 mA out of its minus node: V(3) = -1 V across 1k
    R(3, 0, 1000.0);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(1), 10.0, 1e-9);
    EXPECT_NEAR(X(2), 7.5, 1e-9);
    EXPECT_NEAR(X(3), -1.0, 1e-9);
    // The source delivers 2.5 mA: its branch current flows into its plus node.
    EXPECT_NEAR(X(Row(kIndependentSourceDeviceList, 0)), -2.5e-3, 1e-12);
}

TEST_F(SolverTest, FreeingTheRunDataKeepsTheNodeVoltagesInTheDocument)
{
    Nodes(2);
    V(1, 0, 10.0);
    R(1, 2, 1000.0);
    R(2, 0, 3000.0);
    SchematicNodeRow row;
    row.kind = kNodeAnalog;
    row.nodeNumber = 2;
    record_->document->schematicNodeTable.push_back(row);
    ASSERT_EQ(OperatingPoint(), 0);
    FreeAnalogRunData();
    EXPECT_NEAR(record_->document->schematicNodeTable[0].voltage, 7.5, 1e-9);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 0);
    EXPECT_TRUE(SolutionVector().empty());
    EXPECT_EQ(AnalogSolver().operatingPointSet.matrix, nullptr);
    EXPECT_TRUE(AnalogSolver().devices.resistors.empty());
    FreeAnalogRunData();  // a second call finds nothing to free
    EXPECT_NEAR(record_->document->schematicNodeTable[0].voltage, 7.5, 1e-9);
}

TEST_F(SolverTest, OperatingPointTakesThreeLoadsExceptInDcSweep)
{
    Nodes(2);
    V(1, 0, 1.0);
    R(1, 2, 1.0);
    R(2, 0, 1.0);
    ASSERT_EQ(OperatingPoint(kRunKindTransient), 0);
    EXPECT_EQ(AnalogSolver().iterationCount, 3);
    EXPECT_NEAR(X(2), 0.5, 1e-12);
}

TEST_F(SolverTest, ControlledSourcesOfAllFourKinds)
{
    // Node 1 = 1 V drives 1 mA through R(1,2) into F's sensing branch (2 -> 0) and through
    // R(1,7) into H's (7 -> 0).
    Nodes(7);
    V(1, 0, 1.0);
    R(1, 2, 1000.0);
    Controlled(kE, 3, 0, 1, 0, 2.0);          // V(3) = 2 V(1)
    R(3, 0, 1000.0);
    Controlled(kG, 4, 0, 1, 0, 1e-3);         // 1 mA out of node 4
    R(4, 0, 1000.0);
    Controlled(kF, 5, 0, 2, 0, 2.0);          // 2 mA out of node 5
    R(5, 0, 1000.0);
    R(1, 7, 1000.0);
    Controlled(kH, 6, 0, 7, 0, 500.0);        // V(6) = 500 ohm x 1 mA
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(2), 0.0, 1e-12);
    EXPECT_NEAR(X(3), 2.0, 1e-9);
    EXPECT_NEAR(X(4), -1.0, 1e-9);
    EXPECT_NEAR(X(5), -2.0, 1e-9);
    EXPECT_NEAR(X(6), 0.5, 1e-9);
    // F and E use one row each, H two: F's sensing row carries the 1 mA.
    EXPECT_NEAR(X(Row(kLinearSourceDeviceList, 2)), 1e-3, 1e-12);
}

TEST_F(SolverTest, SwappedSensingNodesReverseTheSensedCurrent)
{
    Nodes(3);
    V(1, 0, 1.0);
    R(1, 2, 1000.0);
    Controlled(kH, 3, 0, 0, 2, 1000.0);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(3), -1.0, 1e-9);
}

TEST_F(SolverTest, InductorsAreShortsAndCapacitorsOpenInDc)
{
    Nodes(4);
    V(1, 0, 5.0);
    L(1, 2, 1e-3);
    R(2, 0, 1000.0);
    R(1, 3, 1000.0);
    C(3, 0, 1e-6);
    C(3, 4, 1e-9);
    R(4, 0, 1000.0);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(2), 5.0, 1e-9);
    EXPECT_NEAR(X(3), 5.0, 1e-9);
    EXPECT_NEAR(X(4), 0.0, 1e-9);
    // Inductor branch rows come right after the nodes.
    EXPECT_EQ(Row(kInductorDeviceList, 0), 5);
    EXPECT_NEAR(X(5), 5e-3, 1e-12);
}

TEST_F(SolverTest, CoupledInductorsCarryTheirOwnDcCurrents)
{
    Nodes(4);
    V(1, 0, 1.0);
    InductorDevice* l1 = L(1, 2, 1e-3);
    R(2, 0, 100.0);
    V(3, 0, 2.0);
    InductorDevice* l2 = L(3, 4, 4e-3);
    R(4, 0, 200.0);
    auto* k = Add<CouplingDevice>(kCouplingDeviceList);
    k->first = l1;
    k->second = l2;
    k->value = 0.9;
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(Row(kInductorDeviceList, 0)), 1e-2, 1e-12);
    EXPECT_NEAR(X(Row(kInductorDeviceList, 1)), 1e-2, 1e-12);
}

TEST_F(SolverTest, ZeroOhmResistorIsStampedWithRmin)
{
    Nodes(2);
    I(0, 1, 1.0);  // 1 A into node 1
    R(1, 0, 0.0);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(1), 1e-6, 1e-15);
    EXPECT_DOUBLE_EQ(AnalogSolver().devices.resistors[0].resistance, 1e-6);
}

TEST_F(SolverTest, SourceFactorScalesEveryIndependentSource)
{
    Nodes(2);
    V(1, 0, 4.0);
    R(1, 0, 1.0);
    I(0, 2, 2.0);
    R(2, 0, 1.0);
    AnalogSolverState& s = AnalogSolver();
    s.runPhase = kPhaseOperatingPoint;
    s.runKind = kRunKindDcSweep;
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    s.setupDone = 1;
    ASSERT_EQ(EvaluateSourcesAtTime(), 0);
    s.sourceFactor = 0.5;
    s.iterationMode = kModeInitJunctions;
    ASSERT_EQ(SolveOperatingPoint(nullptr, 50), 0);
    EXPECT_NEAR(X(1), 2.0, 1e-12);
    EXPECT_NEAR(X(2), 1.0, 1e-12);
}

TEST_F(SolverTest, SetupReservesFourElementsPerResistorAndEachLoadWalksItsOwn)
{
    Nodes(3);
    V(1, 0, 1.0);
    R(1, 2, 1.0);
    R(2, 3, 1.0);
    R(3, 0, 1.0);
    AnalogSolverState& s = AnalogSolver();
    s.runPhase = kPhaseOperatingPoint;
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    EXPECT_EQ(s.operatingPointSet.pool.size(), 4u + 3u * 4u);
    for (const ResistorStamps& r : s.devices.resistors) EXPECT_EQ(r.stamps.count, 4);
    // The resistors' stretches follow the source's and do not overlap.
    EXPECT_EQ(s.devices.sources[0].stamps.first, 0);
    EXPECT_EQ(s.devices.resistors[0].stamps.first, 4);
    EXPECT_EQ(s.devices.resistors[2].stamps.first, 12);
    // A second preparation (the time-step set) reserves the same stretches in its own matrix
    // and leaves the first set alone.
    SparseMatrix* first = s.operatingPointSet.matrix.get();
    ASSERT_EQ(PrepareAnalogSolver(false, s.timeStepSet), 0);
    EXPECT_EQ(s.operatingPointSet.matrix.get(), first);
    EXPECT_EQ(s.operatingPointSet.pool.size(), s.timeStepSet.pool.size());
    EXPECT_NE(s.timeStepSet.matrix.get(), first);
}

#ifndef NDEBUG
TEST_F(SolverTest, ALoadThatStampsLessThanItReservedIsCaught)
{
    Nodes(2);
    R(1, 2, 1.0);
    AnalogSolverState& s = AnalogSolver();
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    const StampRange range = s.devices.resistors[0].stamps;
    EXPECT_DEATH(
        {
            StampCursor c(range);
            c.Add(1.0);
            c.Finish();
        },
        "reserved");
}
#endif

TEST_F(SolverTest, PreparationOfACircuitWithoutAnalogNodesMakesNoMatrix)
{
    Nodes(0);
    AnalogSolverState& s = AnalogSolver();
    s.step = 0.0;
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    EXPECT_EQ(s.operatingPointSet.matrix, nullptr);
    EXPECT_EQ(s.preparationLoad, 0);
    EXPECT_EQ(s.step, 1.0);
}

TEST_F(SolverTest, CoreToleranceFollowsReltol)
{
    Nodes(1);
    R(1, 0, 1.0);
    GlobalOptions().values.reltol = 0.01;
    AnalogSolverState& s = AnalogSolver();
    ASSERT_EQ(PrepareAnalogSolver(true, s.operatingPointSet), 0);
    EXPECT_NEAR(s.coreTolerance, 0.1, 1e-12);
    EXPECT_NEAR(s.reltolMilli, 1e-5, 1e-18);
}

TEST_F(SolverTest, DevicesWithoutALoadStopThePassInsteadOfBeingLeftOut)
{
    Nodes(2);
    V(1, 0, 1.0);
    R(1, 2, 1.0);
    // A digital-to-analog output: the analog engine has no load of its own for it.
    Add<ListNode>(7);
    win::ClearMessageBoxLog();
    EXPECT_EQ(OperatingPoint(), kMsgAlreadyReported);
    // Reported once, not again by each way the operating point is tried.
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].caption, "Error 5368");
}

TEST_F(SolverTest, SingularMatrixIsReported)
{
    Nodes(2);
    V(1, 0, 1.0);
    V(1, 0, 2.0);  // two sources in parallel
    R(1, 2, 1.0);
    R(2, 0, 1.0);
    EXPECT_EQ(OperatingPoint(), 15051);
}

TEST_F(SolverTest, FloatingNodeThroughCapacitorIsSingular)
{
    Nodes(2);
    V(1, 0, 1.0);
    C(1, 2, 1e-6);
    EXPECT_EQ(OperatingPoint(), 15051);
}

TEST_F(SolverTest, LoadModeFlagsFollowTheModeWords)
{
    AnalogSolverState s;
    s.runPhase = kPhaseOperatingPoint;
    s.iterationMode = kModeInitJunctions;
    EXPECT_EQ(ComputeLoadModeFlags(s).capacitorLoad, 0);
    s.iterationMode = kModeNormal;
    EXPECT_EQ(ComputeLoadModeFlags(s).capacitorLoad, 1);
    s.useInitialConditions = 1;
    s.iterationMode = kModeFirstTimePoint;
    const LoadModeFlags f = ComputeLoadModeFlags(s);
    EXPECT_EQ(f.capacitorLoad, 0);
    EXPECT_EQ(f.icAtPreparation, 1);
    EXPECT_EQ(f.prediction, 1);
    s.runPhase = kPhaseTimeSteps;
    s.runKind = kRunKindAc;
    s.useInitialConditions = 0;
    s.iterationMode = kModeNormal;
    const LoadModeFlags g = ComputeLoadModeFlags(s);
    EXPECT_EQ(g.dynamic, 1);
    EXPECT_EQ(g.charge, 1);
    EXPECT_EQ(g.chargeStorage, 1);
    EXPECT_EQ(g.transientWithIc, 0);
}

// A node pulled to 10 V through 1 ohm and loaded by a fifth-power sink: Newton from 0 V needs
// more loads than the limit allows, the lowered and raised sources get there.
TEST_F(SolverTest, SourceSteppingReachesAHardOperatingPoint)
{
    Nodes(2);
    V(1, 0, 10.0);
    R(1, 2, 1.0);
    Poly(kPolyCurrentOfVoltage, 2, 0, {{2, 0}}, {}, {0.0, 0.0, 0.0, 0.0, 0.0, 1e-3});
    GlobalOptions().values.itl1 = 6;
    ASSERT_EQ(PrepareOperatingPoint(kRunKindTransient), 0);
    ASSERT_EQ(SolveOperatingPoint(nullptr, 6), 14190);
    ASSERT_EQ(SourceStepOperatingPoint(nullptr, 6), 0);
    const double v = X(2);
    EXPECT_NEAR(10.0 - v, 1e-3 * std::pow(v, 5), 1e-6);
    EXPECT_DOUBLE_EQ(AnalogSolver().sourceFactor, 1.0);
    EXPECT_EQ(AnalogSolver().iterationMode, kModeInitJunctions);
    EXPECT_GT(AnalogSolver().iterationTotal, 0);
}

TEST_F(SolverTest, SourceSteppingGivesUpAfterTheLoweredTries)
{
    Nodes(2);
    V(1, 0, 10.0);
    R(1, 2, 1.0);
    Poly(kPolyCurrentOfVoltage, 2, 0, {{2, 0}}, {}, {0.0, 0.0, 0.0, 0.0, 0.0, 1e-3});
    GlobalOptions().values.itl1 = 1;  // no solve can converge in one load
    EXPECT_EQ(OperatingPoint(kRunKindTransient), 14190);
    EXPECT_EQ(AnalogSolver().notConverged, 1);
    EXPECT_DOUBLE_EQ(AnalogSolver().sourceFactor, 1.0);
}

TEST_F(SolverTest, EscapeStopsTheNewtonLoop)
{
    Nodes(1);
    V(1, 0, 1.0);
    AnalogSolver().hooks.pollRunKeys = [] { return 27; };
    EXPECT_EQ(OperatingPoint(), 15056);
    EXPECT_EQ(AnalogSolver().stopFlag, 1);
}

TEST_F(SolverTest, NodesetHoldsItsNodeUntilTheInitialisationEnds)
{
    Nodes(2);
    V(1, 0, 2.0);
    R(1, 2, 1.0);
    R(2, 0, 1.0);
    InitialConditionTable& ic = NetlistReader().initialConditions;
    InitialConditionEntry row;
    row.letter = 'V';
    row.value = 0.7;
    row.nodeA = 2;
    row.kind = 2;
    ic.entries.push_back(row);
    ic.anyNodeset = true;
    ASSERT_EQ(OperatingPoint(kRunKindTransient), 0);
    // Released after the initialisation modes: the solution is the divider's.
    EXPECT_NEAR(X(2), 1.0, 1e-9);
}

TEST_F(SolverTest, HeldInitialConditionPinsTheNodeAtTheOperatingPoint)
{
    Nodes(2);
    V(1, 0, 2.0);
    R(1, 2, 1.0);
    R(2, 0, 1.0);
    InitialConditionEntry row;
    row.letter = 'V';
    row.value = 0.25;
    row.nodeA = 2;
    row.kind = 1;
    NetlistReader().initialConditions.entries.push_back(row);
    NetlistReader().initialConditions.anyIc = true;
    Analysis().analysisKind = kAnalysisTransient;  // the bias point of a transient run
    ASSERT_EQ(OperatingPoint(kRunKindTransient), 0);
    EXPECT_NEAR(X(2), 0.25, 1e-5);
}

}  // namespace
}  // namespace kq5::solver_test
