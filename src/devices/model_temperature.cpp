#include "devices/model_temperature.h"

#include <algorithm>
#include <cmath>

#include "devices/linear_stamps.h"
#include "analog/run_control.h"
#include "core/device_lists.h"
#include "devices/bjt_model.h"
#include "devices/bsim12_model.h"
#include "devices/bsim3_model.h"
#include "core/device_record_fields.h"
#include "devices/diode_model.h"
#include "devices/gaasfet_model.h"
#include "devices/jfet_model.h"
#include "devices/mosfet_model.h"
#include "netlist/opamp_device.h"
#include "netlist/source_device.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

// Pulse model parameters P1 to P5.
constexpr int kPulseP1 = 2, kPulseP2 = 3, kPulseP3 = 4, kPulseP4 = 5, kPulseP5 = 6;
constexpr double kZeroCelsius = 273.15;
constexpr double kNoConductanceLimit = 9.999999999999999e+49;

bool InRange(int index, std::span<float> params) { return index >= 0 && static_cast<std::size_t>(index) < params.size(); }

}  // namespace

int DefaultPulseEdgeTimes()
{
    for (PulseSourceDevice& pulse : ListRecords<PulseSourceDevice>(DeviceList(kPulseSourceDeviceList))) {
        EvaluatedModel* model = pulse.model;
        if (!model || model->params.size() <= static_cast<std::size_t>(kPulseP5)) continue;
        std::vector<float>& p = model->params;
        const float dt = p[kPulseP5] * 0.001f;
        if (p[kPulseP1] == p[kPulseP2] && p[kPulseP2] + dt <= p[kPulseP3]) p[kPulseP2] = p[kPulseP2] + dt;
        if (p[kPulseP3] == p[kPulseP4] && p[kPulseP3] - dt >= p[kPulseP2]) p[kPulseP3] = p[kPulseP3] - dt;
        ModelReportTarget target;
        target.window = RunControl().circuitWindow;
        target.text = model->name;
        if (int rc = CheckPulseTimes(&target, *model)) return rc;
    }
    return 0;
}

int PrepareModelsAtTemperature(double celsius)
{
    DevicesState& devices = Devices();
    devices.runKelvin = celsius + kZeroCelsius;
    const double rmin = GlobalOptions().values.rmin;
    devices.gmax = rmin > 0.0 ? 1.0 / rmin : kNoConductanceLimit;
    PrepareLinearElementsAtTemperature(celsius);
    PrepareDiodeModelsAtTemp(celsius);
    for (int type : {kModelNpn, kModelPnp, kModelLpnp}) PrepareBjtModelsAtTemp(type, celsius);
    PrepareBjtInstancesAtTemp();
    for (int type : {kModelNjf, kModelPjf}) PrepareJfetModelsAtTemp(type, celsius);
    if (int rc = PrepareGaasfetModelsAtTemp(celsius)) return rc;
    PrepareMosInstanceGeometry();
    if (int rc = PrepareMosLevel123AtTemperature(celsius)) return rc;
    if (int rc = PrepareMosLevel4AtTemperature(celsius)) return rc;
    if (int rc = PrepareMosLevel5AtTemperature(celsius)) return rc;
    return PrepareMosLevel8AtTemperature(celsius);
}

void ResistanceToConductance(int index, std::span<float> params)
{
    if (!InRange(index, params)) return;
    float& r = params[static_cast<std::size_t>(index)];
    if (r != 0.0f) r = static_cast<float>(1.0 / std::max(static_cast<double>(r), 1e-6));
}

void InvertIfNonZero(int index, std::span<float> params)
{
    if (!InRange(index, params)) return;
    float& x = params[static_cast<std::size_t>(index)];
    if (x != 0.0f) x = static_cast<float>(1.0 / static_cast<double>(x));
}

void NudgeOffOne(float& value)
{
    if (value > 0.999f && value < 1.001f) value = 0.999f;
}

void DepletionCapCoefficients(std::span<float> params, int knee, int b, int c, int d, double fc, double vj, double m)
{
    if (!InRange(knee, params) || !InRange(b, params) || !InRange(c, params) || !InRange(d, params)) return;
    const double v = std::max(vj, 1e-50);
    const double d1 = m == 1.0 ? 1e-50 : std::max(1.0 - m, 1e-50);
    const double r = std::pow(1.0 - fc, -(1.0 + m));
    const double kneeVoltage = fc * v;
    const double slotB = (1.0 - fc * (1.0 + m)) * r;
    const double slotC = m * r / v;
    // 1 - (1 - FC)^d1 through expm1: with a grading of 1 (d1 = 1e-50) the plain power rounds
    // to 1 and the charge would vanish; expm1 gives its limit -VJ ln(1 - FC).
    const double f1 = -v * std::expm1(d1 * std::log(1.0 - fc)) / d1;
    params[static_cast<std::size_t>(knee)] = static_cast<float>(kneeVoltage);
    params[static_cast<std::size_t>(b)] = static_cast<float>(slotB);
    params[static_cast<std::size_t>(c)] = static_cast<float>(slotC);
    // The charge coefficient is made from the coefficients as the loads will read them.
    const double storedB = params[static_cast<std::size_t>(b)];
    const double storedC = params[static_cast<std::size_t>(c)];
    params[static_cast<std::size_t>(d)] =
        static_cast<float>(f1 - kneeVoltage * storedB - 0.5 * storedC * kneeVoltage * kneeVoltage);
}

double FirstNonZero3(double a, double b, double c) { return a != 0.0 ? a : b != 0.0 ? b : c; }

double FirstNonZero2(double a, double b) { return a != 0.0 ? a : b; }

}  // namespace kq5
