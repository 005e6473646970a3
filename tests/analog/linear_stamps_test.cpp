// Switches, temperature factors and capacitors with voltage coefficients.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "devices/linear_stamps.h"
#include "netlist/line_switch_devices.h"
#include "netlist/model_types.h"
#include "solver_test_support.h"

namespace kq5::solver_test {
namespace {

class LinearStampTest : public SolverTest {
protected:
    EvaluatedModel* Model(int row, std::vector<float> params)
    {
        EvaluatedModel& m = models_.emplace_back();
        m.row = row;
        m.params = std::move(params);
        return &m;
    }
    // A voltage-controlled switch from 1 to 0 with its control at node 2 = vc.
    double VoltageSwitchResistance(double vc, float von = 1.0f, float voff = 0.0f)
    {
        ResetDeviceListsForTests();
        RegisterCircuitDeviceRecordTypes();
        ResetAnalogSolverStateForTests();
        Nodes(2);
        V(1, 0, 1.0);
        V(2, 0, vc);
        auto* s = Add<VoltageSwitchDevice>(kVoltageSwitchDeviceList);
        s->model = Model(kModelVswitch, {1.0f, 1e6f, von, voff});
        s->outputPlus = 1;
        s->controlPlus = 2;
        EXPECT_EQ(OperatingPoint(), 0);
        return AnalogSolver().devices.voltageSwitches[0].resistance;
    }
    std::deque<EvaluatedModel> models_;
};

TEST_F(LinearStampTest, VoltageSwitchMovesSmoothlyBetweenItsResistances)
{
    EXPECT_DOUBLE_EQ(VoltageSwitchResistance(1.0), 1.0);    // at VON: on
    EXPECT_DOUBLE_EQ(VoltageSwitchResistance(-0.5), 1e6);   // beyond VOFF: off
    EXPECT_NEAR(VoltageSwitchResistance(0.5), 1000.0, 1e-6);  // the geometric mean
    const double r1 = VoltageSwitchResistance(0.3);
    const double r2 = VoltageSwitchResistance(0.7);
    EXPECT_GT(r1, 1000.0);
    EXPECT_LT(r2, 1000.0);
    EXPECT_NEAR(r1 * r2, 1e6, 1e-3);  // symmetric about the midpoint on a log scale
}

TEST_F(LinearStampTest, VoltageSwitchWithEqualThresholdsIsIdeal)
{
    EXPECT_DOUBLE_EQ(VoltageSwitchResistance(0.49, 0.5f, 0.5f), 1e6);
    EXPECT_DOUBLE_EQ(VoltageSwitchResistance(0.5, 0.5f, 0.5f), 1.0);
    EXPECT_DOUBLE_EQ(VoltageSwitchResistance(0.51, 0.5f, 0.5f), 1.0);
}

// 1 mA into a switch that its own voltage controls: the point sits where V = 1 mA x R(V),
// midway in the switch's transition, which Newton reaches only with the slope of R in V.
TEST_F(LinearStampTest, SwitchControlledByItsOwnVoltageFindsItsOperatingPoint)
{
    Nodes(1);
    I(0, 1, 1e-3);
    auto* s = Add<VoltageSwitchDevice>(kVoltageSwitchDeviceList);
    s->model = Model(kModelVswitch, {10.0f, 1e7f, 2.0f, 1.8f});
    s->outputPlus = 1;
    s->controlPlus = 1;
    ASSERT_EQ(OperatingPoint(), 0);
    const double r = AnalogSolver().devices.voltageSwitches[0].resistance;
    EXPECT_NEAR(X(1), 1e-3 * r, 1e-6);
    EXPECT_GT(X(1), 1.8);
    EXPECT_LT(X(1), 2.0);
}

TEST_F(LinearStampTest, SwitchPartWithInvertedRangeClosesOutsideIt)
{
    Nodes(3);
    V(1, 0, 1.0);
    auto* sw = Add<SwitchDevice>(kSwitchDeviceList);
    sw->mode = kSwitchVoltage;
    sw->outputA = 1;
    sw->outputB = 3;
    sw->controlB = 2;
    sw->threshold1 = 2.0;
    sw->threshold2 = 1.0;
    sw->onConductance = 1.0;
    sw->offConductance = 1e-9;
    R(3, 0, 1.0);
    IndependentSourceDevice* control = V(2, 0, 0.5);
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(3), 0.5, 1e-9);
    control->dcValue = control->dcWorking = 1.5;
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(3), 1e-9, 1e-12);
    control->dcValue = control->dcWorking = 2.5;
    ASSERT_EQ(OperatingPoint(), 0);
    EXPECT_NEAR(X(3), 0.5, 1e-9);
}

TEST_F(LinearStampTest, TemperatureFactorsOfResistorsCapacitorsAndInductors)
{
    Nodes(1);
    ResistorDevice* plain = R(1, 0, 1.0);
    plain->Extras().tc1 = 0.01;
    plain->Extras().tc1Given = 1;
    ResistorDevice* exponential = R(1, 0, 1.0);
    // R TC1 TC2 TCE T_MEASURED T_ABS T_REL_GLOBAL T_REL_LOCAL
    const float ng = ParamNotGiven;
    exponential->Extras().model = Model(kModelRes, {1, ng, ng, 1.0f, ng, ng, 10.0f, ng});
    ResistorDevice* absolute = R(1, 0, 1.0);
    absolute->Extras().model = Model(kModelRes, {1, 0.01f, ng, ng, ng, 77.0f, ng, ng});
    CapacitorDevice* c = C(1, 0, 1e-6);
    c->Extras().model = Model(kModelCap, {1, 0.1f, ng, 0.001f, ng, ng, ng, ng, ng});
    C(1, 0, 1e-6);
    InductorDevice* l = L(1, 0, 1e-3);
    l->model = Model(kModelInd, {1, ng, ng, ng, 1e-4f, ng, ng, ng, ng});
    ASSERT_GE(NumberDeviceRows(1), 1);
    PrepareLinearElementsAtTemperature(127.0);
    const DeviceSolverTables& t = AnalogSolver().devices;
    EXPECT_NEAR(t.resistors[0].tempFactor, 2.0, 1e-12);
    EXPECT_NEAR(t.resistors[1].tempFactor, std::pow(1.01, 110.0), 1e-9);  // 127 + 10 - TNOM
    EXPECT_NEAR(t.resistors[2].tempFactor, 1.5, 1e-6);                    // T_ABS 77: dT 50
    EXPECT_NEAR(t.capacitors[0].tempFactor, 1.1, 1e-6);
    EXPECT_EQ(t.capacitors[0].isLinear, 0);
    EXPECT_EQ(t.capacitors[1].isLinear, 1);
    EXPECT_DOUBLE_EQ(t.capacitors[1].tempFactor, 1.0);
    EXPECT_NEAR(t.inductors[0].tempFactor, 1.0 + 1e-4 * 100.0 * 100.0, 1e-6);
    EXPECT_EQ(t.inductors[0].isLinear, 1);
}

TEST_F(LinearStampTest, CapacitorChargeFollowsItsVoltageCoefficients)
{
    Nodes(1);
    V(1, 0, 2.0);
    CapacitorDevice* c = C(1, 0, 1e-6);
    const float ng = ParamNotGiven;
    c->Extras().model = Model(kModelCap, {1, 0.1f, 0.01f, ng, ng, ng, ng, ng, ng});
    ASSERT_GE(NumberDeviceRows(1), 1);
    PrepareLinearElementsAtTemperature(27.0);
    ASSERT_EQ(OperatingPoint(), 0);
    const double q = AnalogSolver().chargeStates[0];
    EXPECT_NEAR(q, 1e-6 * (2.0 + 0.5 * 0.1 * 4.0 + 0.01 * 8.0 / 3.0), 1e-12);
    EXPECT_NEAR(AnalogSolver().devices.capacitors[0].capacitance, 1e-6 * (1.0 + 0.2 + 0.04), 1e-13);
}

}  // namespace
}  // namespace kq5::solver_test
