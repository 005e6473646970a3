// The shortcuts the transient loop takes for speed must give what the plain per-item code
// gives: the run-wide truncation estimate against the estimate of each state, the device walk
// against its list when the list changed since the last walk, and the ground entries of the
// stamp pool against the matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analog/analog_state.h"
#include "analog/device_dispatch.h"
#include "analog/integration.h"
#include "analog/sparse_matrix.h"
#include "core/device_lists.h"
#include "analog/linear_device_stamps.h"
#include "netlist/resistor_device.h"
#include "netlist/global_options.h"

namespace kq5 {
namespace {

class SolverFastPaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetAnalogSolverStateForTests();
        ResetDeviceListsForTests();
        ResetGlobalOptionsForTests();
    }
    void TearDown() override
    {
        ResetAnalogSolverStateForTests();
        ResetDeviceListsForTests();
    }
};

TEST_F(SolverFastPaths, RunEstimateEqualsTheSmallestEstimateOfAnyState)
{
    AnalogSolverState& s = AnalogSolver();
    const GlobalOptionValues& o = GlobalOptions().values;
    const TruncationTolerances tol{o.reltol, o.abstol, o.chgtol, o.trtol};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> charge(-1e-12, 1e-12), ratio(0.3, 3.0);
    // Not a multiple of four: the states are estimated four at a time, the last ones alone.
    // With a sharp bend in the last state the smallest estimate is one of those.
    constexpr int kStates = 203;
    for (bool bendLast : {false, true}) {
        for (int method : {kMethodTrap, kMethodGear}) {
            for (int order : {1, 2}) {
                s.method = method;
                s.order = order;
                s.step = 1e-9;
                s.stepHistory[0] = s.step;
                for (std::size_t k = 1; k < s.stepHistory.size(); ++k) s.stepHistory[k] = 1e-9 * ratio(random);
                s.chargeStates.assign(kStates * kStateSlots, 0.0);
                s.currentStates.assign(kStates * kStateSlots, 0.0);
                for (double& q : s.chargeStates) q = charge(random);
                for (double& i : s.currentStates) i = 1e3 * charge(random);
                s.plainStateSlots = kStates * kStateSlots;
                if (bendLast) {
                    // Small present charges (a tight tolerance) after a large one: the largest error.
                    double* q = s.chargeStates.data() + (kStates - 1) * kStateSlots;
                    q[0] = q[1] = q[3] = 0.0;
                    q[2] = 1e-10;
                }

                double bound = 1e20;
                for (int k = 0; k < kStates; ++k)
                    bound = StateTruncationStepSquared(
                        method, order, s.step, s.stepHistory,
                        std::span<const double, kStateSlots>(s.chargeStates.data() + k * kStateSlots, kStateSlots),
                        std::span<const double, kStateSlots>(s.currentStates.data() + k * kStateSlots, kStateSlots),
                        tol, bound);
                const double expected = std::min({std::sqrt(bound), 1.0, 2.0 * s.step});
                EXPECT_NEAR(TruncationStepEstimate(1.0), expected, 1e-12 * expected)
                    << method << " " << order << " " << bendLast;
            }
        }
    }
}

TEST_F(SolverFastPaths, DeviceWalkFollowsTheListAfterItChanged)
{
    LinkedList& list = DeviceList(kResistorDeviceList);
    std::vector<ResistorDevice*> made;
    for (int i = 0; i < 20; ++i) {
        made.push_back(ListAppendAs<ResistorDevice>(list, kKindResistor));
        made.back()->nodeA = i;
    }
    std::vector<ResistorStamps> table(40);
    auto walk = [&] {
        std::vector<int> seen;
        ForEachDeviceWithStamps<ResistorDevice>(kResistorDeviceList, table, [&](ResistorDevice& r, ResistorStamps&) {
            seen.push_back(r.nodeA);
            return 0;
        });
        return seen;
    };
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i) expected[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(walk(), expected);
    EXPECT_EQ(walk(), expected);

    // Remove the first record and add two: the walk meets the list as it now is.
    ListRemove(list, list.head);
    for (int i = 20; i < 22; ++i) ListAppendAs<ResistorDevice>(list, kKindResistor)->nodeA = i;
    expected.erase(expected.begin());
    expected.push_back(20);
    expected.push_back(21);
    EXPECT_EQ(walk(), expected);

    // A walk stops at the table's end and at the first failure.
    table.resize(3);
    EXPECT_EQ(walk().size(), 3u);
    table.resize(40);
    int calls = 0;
    EXPECT_EQ((ForEachDeviceWithStamps<ResistorDevice>(kResistorDeviceList, table,
                                                       [&](ResistorDevice&, ResistorStamps&) { return ++calls == 5 ? 15002 : 0; })),
              15002);
    EXPECT_EQ(calls, 5);
}

TEST_F(SolverFastPaths, GroundEntriesNeverTouchTheMatrix)
{
    StampSet set;
    ASSERT_EQ(CreateSolverMatrix(set.matrix), 0);
    AnalogSolverState& s = AnalogSolver();
    s.matrix = set.matrix.get();
    s.pool = &set.pool;
    s.rhs.assign(8, 0.0);
    MatrixSetReal(s.matrix);
    for (int node = 1; node <= 3; ++node) ASSERT_EQ(ReserveConductanceElements(node, 0), 0);
    ASSERT_EQ(set.pool.size(), 12u);

    for (int pass = 0; pass < 2; ++pass) {
        ClearMatrixForLoad(false);
        for (int node = 1; node <= 3; ++node) {
            StampRange range{(node - 1) * 4, 4, true};
            StampCursor c(set.pool, range);
            StampConductance(c, 1.0 * node);
            c.Finish();
        }
        for (int node = 1; node <= 3; ++node) EXPECT_EQ(MatrixGetElement(s.matrix, node, node)->real, 1.0 * node);
        EXPECT_EQ(s.matrix->trash.real, 0.0);
        for (const MatrixElementRef& ref : set.pool) EXPECT_NE(ref.Element(), &s.matrix->trash);
    }
    s.matrix = nullptr;
    s.pool = nullptr;
}

}  // namespace
}  // namespace kq5
