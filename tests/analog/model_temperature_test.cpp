// The model passes at the circuit temperature: the depletion-capacitance coefficients against
// the junction charge they continue, the small helpers, and the pulse edge defaults that
// SetCircuitTemperature applies.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "devices/temperature_setup.h"
#include "core/device_lists.h"
#include "devices/model_temperature.h"
#include "netlist/source_device.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "solver_test_support.h"

namespace kq5::solver_test {
namespace {

// Charge and capacitance per unit CJ below the knee, the closed forms the coefficients continue.
double ChargeBelow(double v, double vj, double m)
{
    const double a = 1.0 - v / vj;
    return m == 1.0 ? -vj * std::log(a) : vj * (1.0 - std::pow(a, 1.0 - m)) / (1.0 - m);
}
double CapacitanceBelow(double v, double vj, double m) { return std::pow(1.0 - v / vj, -m); }

TEST(DepletionCoefficients, ChargeAndCapacitanceAreContinuousAtTheKnee)
{
    for (double m : {0.33, 0.5, 1.0}) {
        std::vector<float> p(8, 0.0f);
        const double fc = 0.5, vj = 0.8;
        DepletionCapCoefficients(p, 0, 1, 2, 3, fc, vj, m);
        const double knee = p[0];
        EXPECT_NEAR(knee, fc * vj, 1e-7) << m;
        const double charge = p[3] + p[1] * knee + p[2] * knee * knee / 2.0;
        const double capacitance = p[1] + p[2] * knee;
        EXPECT_NEAR(charge, ChargeBelow(knee, vj, m), 2e-6) << m;
        EXPECT_NEAR(capacitance, CapacitanceBelow(knee, vj, m), 2e-6) << m;
    }
}

TEST(ModelHelpers, ConductancesNudgesAndFirstNonZero)
{
    std::vector<float> p = {1e-9f, 0.0f, 200.0f, -0.0f};
    ResistanceToConductance(0, p);
    ResistanceToConductance(1, p);
    ResistanceToConductance(2, p);
    ResistanceToConductance(9, p);  // outside the array: nothing
    EXPECT_FLOAT_EQ(p[0], 1e6f);     // below 1e-6 ohm the conductance is capped
    EXPECT_EQ(p[1], 0.0f);           // no resistance stays none
    EXPECT_FLOAT_EQ(p[2], 0.005f);
    InvertIfNonZero(3, p);
    EXPECT_EQ(p[3], 0.0f);
    for (float v : {0.9995f, 1.0f, 1.0005f}) {
        float x = v;
        NudgeOffOne(x);
        EXPECT_EQ(x, 0.999f) << v;
    }
    float kept = 1.001f;
    NudgeOffOne(kept);
    EXPECT_EQ(kept, 1.001f);
    EXPECT_EQ(FirstNonZero3(0.0, -0.0, 3.0), 3.0);
    EXPECT_EQ(FirstNonZero3(0.0, 2.0, 3.0), 2.0);
    EXPECT_EQ(FirstNonZero2(0.0, 5.0), 5.0);
}

class CircuitTemperatureTest : public SolverTest {};

TEST_F(CircuitTemperatureTest, ZeroWidthPulseEdgesGetAThousandthOfThePeriod)
{
    EvaluatedModel model;
    model.row = kModelPul;
    // ? ? P1 P2 P3 P4 P5
    model.params = {0, 0, 0.0f, 0.0f, 5e-7f, 6e-7f, 1e-6f};
    auto* pulse = Add<PulseSourceDevice>(kPulseSourceDeviceList);
    pulse->model = &model;
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_FLOAT_EQ(model.params[3], 1e-9f);
    EXPECT_FLOAT_EQ(model.params[4], 5e-7f);
    // A second set-up (the next case) changes nothing more.
    ASSERT_EQ(SetCircuitTemperature(50.0), 0);
    EXPECT_FLOAT_EQ(model.params[3], 1e-9f);
    EXPECT_NEAR(ThermalVoltage(27.0), 0.025864, 1e-6);
}

TEST_F(CircuitTemperatureTest, PulseTimesOutOfOrderStopTheSetUp)
{
    EvaluatedModel model;
    model.row = kModelPul;
    model.params = {0, 0, 0.0f, 5e-7f, 1e-7f, 6e-7f, 1e-6f};  // P3 before P2
    auto* pulse = Add<PulseSourceDevice>(kPulseSourceDeviceList);
    pulse->model = &model;
    EXPECT_EQ(SetCircuitTemperature(27.0), 15055);
}

TEST_F(CircuitTemperatureTest, ConversionsInPlaceHoldOverEveryLaterSetUp)
{
    auto model = [](int type, std::size_t slots) {
        EvaluatedModel* m = ListAppendAs<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)], 0);
        m->row = type;
        m->params.assign(slots, 0.0f);
        return m;
    };
    EvaluatedModel* diode = model(kModelDiode, 40);
    diode->params[0] = 1.0f;     // LEVEL
    diode->params[1] = 1e-14f;   // IS
    diode->params[6] = 50.0f;    // BV
    diode->params[7] = 1e-10f;   // IBV
    diode->params[14] = 0.8f;    // VJ
    diode->params[15] = 0.5f;    // M
    diode->params[16] = 0.5f;    // FC
    diode->params[27] = 27.0f;   // T_MEASURED
    EvaluatedModel* gasfet = model(kModelGasfet, 45);
    gasfet->params[11] = 10.0f;  // RD
    gasfet->params[16] = 1.0f;   // VBI
    gasfet->params[20] = 0.5f;   // FC

    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    const std::vector<float> diodeOnce = diode->params;
    EXPECT_FLOAT_EQ(diode->params[16], 0.4f);  // the knee FC x VJ
    EXPECT_LT(diode->params[6], 50.0f);        // BV moved to the breakdown knee
    EXPECT_FLOAT_EQ(gasfet->params[11], 0.1f);  // RD as a conductance
    EXPECT_FLOAT_EQ(gasfet->params[20], 0.5f);

    // The next case (and the first run after the analysis start) sets up again.
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    ASSERT_EQ(SetCircuitTemperature(50.0), 0);
    EXPECT_EQ(diode->params, diodeOnce);
    EXPECT_FLOAT_EQ(gasfet->params[11], 0.1f);
    EXPECT_FLOAT_EQ(gasfet->params[20], 0.5f);

    // A value changed between the set-ups (a stepped RD) is taken as given.
    SetModelParam(*gasfet, 11, 20.0f);
    ASSERT_EQ(SetCircuitTemperature(27.0), 0);
    EXPECT_FLOAT_EQ(gasfet->params[11], 0.05f);
}

}  // namespace
}  // namespace kq5::solver_test
