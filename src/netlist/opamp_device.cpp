#include "netlist/opamp_device.h"

#include <cmath>

#include "core/format.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kBoltzmann = 1.3806226e-23;
constexpr double kCharge = 1.6021918e-19;
constexpr double kDefaultBjtIs = 1e-16;

// OPA parameters by position.
enum OpaParam {
    kOpaLevel, kOpaType, kOpaC, kOpaA, kOpaRoutAc, kOpaRoutDc, kOpaVoff, kOpaIoff, kOpaSrp, kOpaSrn, kOpaIbias,
    kOpaVee, kOpaVcc, kOpaVps, kOpaVns, kOpaCmrr, kOpaGbw, kOpaPm, kOpaPd, kOpaIosc,
};

double P(const EvaluatedModel& model, int index)
{
    return index < static_cast<int>(model.params.size()) ? static_cast<double>(model.Param(index)) : 0.0;
}

}  // namespace

int DeriveOpampModel(const OpampDevice& opamp, OpampMacroValues& v, double temperature)
{
    if (!opamp.model) return 15002;  // no evaluated model to derive from
    const EvaluatedModel& m = *opamp.model;
    const double c = P(m, kOpaC);
    const double gbw = P(m, kOpaGbw);
    const double vt = (temperature + 273.15) * kBoltzmann / kCharge;
    v.r2 = 100000.0;
    v.c2 = c;
    v.rc1 = v.rc2 = 1.0 / (kTwoPi * gbw * c);
    v.ga = 1.0 / v.rc1;
    v.c1 = 0.5 * c * std::tan((90.0 - P(m, kOpaPm)) / kDegreesPerRadian);
    v.routac = P(m, kOpaRoutAc);
    const int type = static_cast<int>(std::lround(P(m, kOpaType)));
    const double srp = std::fabs(P(m, kOpaSrp));
    const double srn = std::fabs(P(m, kOpaSrn));
    const double ioff = std::fabs(P(m, kOpaIoff));
    const double ibias = std::fabs(P(m, kOpaIbias));

    if (ibias <= ioff * 0.5) return 15016;
    if (type == 1 || type == 2) {
        const double ic = 0.5 * (type == 1 ? srp : srn) * c;
        v.ce = 2.0 * ic / (type == 1 ? srn : srp) - c;
        if (v.ce == 0.0) v.ce = 1e-19;
        if (v.ce < 0.0) return type == 1 ? 15019 : 15020;
        v.beta1 = ic / (ibias + ioff / 2.0);
        v.beta2 = ic / (ibias - ioff / 2.0);
        v.iee = ((v.beta2 + 1.0) / v.beta2 + (v.beta1 + 1.0) / v.beta1) * ic;
        const double x = v.rc1 - vt / ic;
        if (x <= 0.0) return type == 1 ? 15017 : 15027;
        const double s = v.beta1 + v.beta2;
        v.re1 = v.re2 = s / (s + 2.0) * x;
        v.re = 200.0 / v.iee;
    } else {
        v.iee = c * srn;
        v.ce = v.iee / srp - c;
        if (v.ce == 0.0) v.ce = 1e-19;
        if (v.ce < 0.0) return 15020;
        v.re = 200.0 / v.iee;
        v.re1 = v.re2 = 1.0;
        v.beta1 = v.beta2 = v.ga * v.ga * 0.5 / v.iee;
    }

    int result = 0;
    const double vee = P(m, kOpaVee);
    const double vcc = P(m, kOpaVcc);
    const double power = std::fabs(v.iee) * (std::fabs(vee) + std::fabs(vcc));
    const double d = P(m, kOpaPd) - power;
    if (d <= 0.0) {
        result = 15050;
        v.inputPower = StrPrintf("%g", power);
        const double gmin = GlobalOptions().values.gmin;
        v.rp = gmin > 0.0 ? 1.0 / gmin : 1e12;
    } else {
        v.rp = (vcc - vee) * (vcc - vee) / d;
    }
    const double routdc = P(m, kOpaRoutDc);
    if (routdc <= v.routac) return 15018;
    v.gcm = 1.0 / (P(m, kOpaCmrr) * v.rc1);
    v.ro2 = routdc - v.routac;
    v.gb = v.rc1 * P(m, kOpaA) / v.ro2;
    v.minusGb = -v.gb;
    v.gb2 = v.gb;
    v.vlp = v.vln = P(m, kOpaIosc) * 1000.0;
    v.vc = vcc - P(m, kOpaVps);
    v.ve = P(m, kOpaVns) - vee;
    if (P(m, kOpaVns) < vee) return 15029;
    if (P(m, kOpaVps) > vcc) return 15028;
    if (type == 1 || type == 2) {
        double is = kDefaultBjtIs;
        if (const EvaluatedModel* qinn = opamp.inputModels[0]) {
            const int index = FindModelParamIndex(qinn->row, "IS");
            if (index >= 0 && index < static_cast<int>(qinn->params.size())) is = qinn->Param(index);
        }
        v.isq2 = is * (1.0 + P(m, kOpaVoff) / vt);
    }
    return result;
}

}  // namespace kq5
