#include "devices/junction_temperature.h"

#include <algorithm>
#include <cmath>

#include "devices/temperature_setup.h"
#include "core/linked_list.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr double kReferenceKelvin = 300.15;
constexpr double kGapAtReference = 1.1150877;
constexpr double kMinusThreeK = -4.1418678e-23;

float& Slot(EvaluatedModel& m, int index)
{
    static float spare = 0.0f;
    if (index < 0 || static_cast<std::size_t>(index) >= m.params.size()) return spare = 0.0f;
    return m.params[static_cast<std::size_t>(index)];
}

bool Given(float v) { return !IsParamNotGiven(v); }

double BandGap(double kelvin) { return 1.16 - 0.000702 * kelvin * kelvin / (kelvin + 1108.0); }

// The T_ABS of the nearest AKO ancestor that gives one, plus this model's T_REL_LOCAL.
void AkoRelativeTemperature(const EvaluatedModel& model, int absIndex, int localIndex, double& out)
{
    auto& statements = Models().statements;
    if (model.statementIndex < 0 || static_cast<std::size_t>(model.statementIndex) >= statements.size()) return;
    const float local = model.Param(localIndex);
    if (!Given(local)) return;
    const EvaluatedModel* base = statements[static_cast<std::size_t>(model.statementIndex)].akoModel;
    for (int guard = 0; base && guard < 64; ++guard) {
        if (static_cast<std::size_t>(absIndex) < base->params.size() && Given(base->Param(absIndex))) {
            out = base->Param(absIndex) + static_cast<double>(local);
            return;
        }
        if (base->statementIndex < 0 || static_cast<std::size_t>(base->statementIndex) >= statements.size()) return;
        base = statements[static_cast<std::size_t>(base->statementIndex)].akoModel;
    }
}

}  // namespace

double ModelDeviceTemperature(EvaluatedModel& model, int measuredIndex, double celsius)
{
    float& measured = Slot(model, measuredIndex);
    if (!Given(measured)) measured = static_cast<float>(GlobalOptions().values.tnom);
    const float tAbs = Slot(model, measuredIndex + 1);
    const float tRelGlobal = Slot(model, measuredIndex + 2);
    if (Given(tAbs)) return tAbs;
    if (Given(tRelGlobal)) return celsius + tRelGlobal;
    double t = celsius;
    if (static_cast<std::size_t>(measuredIndex + 3) < model.params.size())
        AkoRelativeTemperature(model, measuredIndex + 1, measuredIndex + 3, t);
    return t;
}

JunctionTemperature JunctionTempAdjust(double t1, double t2, int capacitance, int potential, double m,
                                       EvaluatedModel& model)
{
    float& c = Slot(model, capacitance);
    float& p = Slot(model, potential);
    const double t1k = t1 + 273.15;
    const double pbfact1 = BandGap(t1k) + kMinusThreeK * t1k / kElectronCharge * std::log(t1k / kReferenceKelvin) -
                           kGapAtReference * t1k / kReferenceKelvin;
    const double pbo = (p - pbfact1) / (t1k / kReferenceKelvin);
    double cap = c / (1.0 + m * (0.0004 * (t1k - kReferenceKelvin) - (p - pbo) / pbo));
    const double t2k = t2 + 273.15;
    JunctionTemperature out;
    out.vt = kBoltzmann * t2k / kElectronCharge;
    const double pbfact =
        BandGap(t2k) - 3.0 * out.vt * std::log(t2k / kReferenceKelvin) - kGapAtReference * t2k / kReferenceKelvin;
    double pb = (t2k / kReferenceKelvin) * pbo + pbfact;
    if (!(pb > 0.0)) {
        // Far above the band-gap temperature the law runs out: the potential would divide
        // the knee and the charges by a non-positive number.
        AddDeferredWarning(model.statementIndex, kWarnNegativeJunctionPotential, model.name);
        if (!Models().deferredWarnings.empty()) Models().deferredWarnings.back().temperature = t2;
        pb = kSmallestJunctionPotential;
    }
    cap *= 1.0 + m * (0.0004 * (t2k - kReferenceKelvin) - (pb - pbo) / pbo);
    p = static_cast<float>(pb);
    c = static_cast<float>(cap);
    out.ratio = t2k / t1k;
    out.logRatio = std::log(out.ratio);
    out.dT = t2 - t1;
    out.dT2 = out.dT * out.dT;
    return out;
}

JunctionTemperature FetGateAtTemperature(EvaluatedModel& model, double t1, double t2, const FetGateSlots& slots)
{
    const float potential = Slot(model, slots.potential);
    const double grading = Slot(model, slots.grading);
    JunctionTempAdjust(t1, t2, slots.cgd, slots.potential, grading, model);
    Slot(model, slots.potential) = potential;
    const JunctionTemperature t = JunctionTempAdjust(t1, t2, slots.cgs, slots.potential, grading, model);
    if (potential != 0.0f)
        RescaleDepletionKnee(model.params, slots.knee, slots.depCapC, slots.depCapD, Slot(model, slots.potential) / potential);
    if (const float tce = Slot(model, slots.betatce); tce != 0.0f)
        Slot(model, slots.beta) = static_cast<float>(Slot(model, slots.beta) * std::pow(1.01, tce * t.dT));
    if (const float tc = Slot(model, slots.vtotc); tc != 0.0f)
        Slot(model, slots.vto) = static_cast<float>(Slot(model, slots.vto) + tc * t.dT);
    return t;
}

double SaturationCurrentTempFactor(double r, double eg, double n, double vt, double xti)
{
    if (r == 1.0) return 1.0;
    n = std::max(n, 0.1);
    const double e = std::clamp(xti / n, -100.0, 100.0);
    const double x = std::clamp((r - 1.0) * eg / (n * vt), -80.0, 80.0);
    return std::clamp(std::pow(r, e) * std::exp(x), 1e-16, 1e16);
}

float CriticalJunctionVoltage(double vt, float is)
{
    const double i = is <= 0.0f ? 1e-6 : static_cast<double>(is);
    const double ratio = vt / (i * 1.414213538169861);
    if (ratio <= 1.0) return 0.1f;
    return static_cast<float>(vt * std::log(ratio));
}

void RescaleDepletionKnee(std::span<float> params, int knee, int c, int d, double f)
{
    const auto size = static_cast<int>(params.size());
    if (knee < 0 || knee >= size || c >= size || d >= size || f == 0.0) return;
    params[static_cast<std::size_t>(knee)] = static_cast<float>(params[static_cast<std::size_t>(knee)] * f);
    params[static_cast<std::size_t>(d)] = static_cast<float>(params[static_cast<std::size_t>(d)] * f);
    params[static_cast<std::size_t>(c)] = static_cast<float>(params[static_cast<std::size_t>(c)] / f);
}

void DivideConductanceByFactor(float& g, double factor, double gmax)
{
    if (g == 0.0f) return;
    const double value = factor > 0.0 ? g / factor : gmax;
    g = static_cast<float>(std::min(value, gmax));
}

double TemperaturePolynomial(double a, double b, double dT) { return 1.0 + a * dT + b * dT * dT; }

}  // namespace kq5
