// The companion model of IntegrateCharge against the general state integration, for both
// methods and every order the four slots allow.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/integration.h"
#include "netlist/global_options.h"

namespace kq5 {
namespace {

class ChargeCompanion : public ::testing::Test {
protected:
    void SetUp() override { ResetAnalogSolverStateForTests(); }
    void TearDown() override { ResetAnalogSolverStateForTests(); }
};

TEST_F(ChargeCompanion, MatchesStateIntegrationForEveryMethodAndOrder)
{
    AnalogSolverState& s = AnalogSolver();
    for (const int method : {kMethodTrap, kMethodGear}) {
        for (int order = 1; order <= 3; ++order) {
            SCOPED_TRACE(testing::Message() << "method " << method << " order " << order);
            s.method = method;
            s.order = order;
            s.coefficients = {9.0, 9.0, 0.5, -0.25, 0.0, 0.0, 0.0};
            s.ag0 = 3.0;  // the copies, not entries 0 and 1, are what the loads use
            s.ag1 = -2.0;
            // Two states; the second is the one integrated.
            s.chargeStates = {0.0, 0.0, 0.0, 0.0, 2.0, 1.5, 0.5, 0.25};
            s.currentStates = {0.0, 0.0, 0.0, 0.0, 7.0, 0.75, 0.125, 0.0};

            IntegrationCoefficients a = s.coefficients;
            a[0] = s.ag0;
            a[1] = s.ag1;
            std::array<double, kStateSlots> expected{7.0, 0.75, 0.125, 0.0};
            const bool hasCurrent = IntegrateStateCurrent(
                method, order, a, std::span<const double, kStateSlots>(s.chargeStates.data() + 4, kStateSlots),
                std::span<double, kStateSlots>(expected));

            double geq = -1.0, ceq = -1.0;
            IntegrateCharge(4, 2.0, geq, ceq);
            EXPECT_EQ(s.currentStates[4], expected[0]);
            if (hasCurrent) {
                EXPECT_DOUBLE_EQ(geq, 6.0);
                EXPECT_DOUBLE_EQ(ceq, expected[0] - 3.0 * 2.0);
            } else {
                EXPECT_EQ(geq, -1.0);
                EXPECT_EQ(ceq, -1.0);
            }
            // The first state and the history slots are left alone.
            EXPECT_EQ(s.currentStates[0], 0.0);
            EXPECT_EQ(s.currentStates[5], 0.75);
        }
    }
}

TEST_F(ChargeCompanion, StateOutsideTheVectorsGivesNothing)
{
    AnalogSolverState& s = AnalogSolver();
    s.method = kMethodTrap;
    s.order = 2;
    s.chargeStates = {1.0, 1.0, 1.0, 1.0};
    s.currentStates = {1.0, 1.0, 1.0};  // one slot short
    for (const int index : {-4, 0, 1, 4}) {
        double geq = -1.0, ceq = -1.0;
        IntegrateCharge(index, 1.0, geq, ceq);
        EXPECT_EQ(geq, -1.0);
        EXPECT_EQ(ceq, -1.0);
    }
    EXPECT_EQ(s.currentStates, (std::vector<double>{1.0, 1.0, 1.0}));
}

}  // namespace
}  // namespace kq5
