#include "devices/gaasfet_model.h"

#include <algorithm>
#include <cmath>

#include "devices/temperature_setup.h"
#include "core/device_lists.h"
#include "core/linked_list.h"
#include "core/device_record_fields.h"
#include "core/format.h"
#include "netlist/fet_devices.h"
#include "devices/junction_temperature.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "analog/run_control.h"

namespace kq5 {

namespace {

using namespace gaasfet_param;

bool Usable(const EvaluatedModel& m) { return m.params.size() >= static_cast<std::size_t>(kGaasfetSlotCount); }

float& Slot(EvaluatedModel& m, int index) { return m.params[static_cast<std::size_t>(index)]; }

double ClampedExp(double x) { return std::exp(std::clamp(x, -150.0, 150.0)); }

}  // namespace

int PrepareGaasfetModelsAtTemp(double celsius)
{
    const double gmax = Devices().gmax;
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelGasfet])) {
        if (!Usable(m)) continue;
        const double tm = ModelDeviceTemperature(m, kTMeasured, celsius);
        const JunctionTemperature t = FetGateAtTemperature(m, Slot(m, kTMeasured), tm,
                                                           {kCgd, kCgs, kVbi, kM, kFc, kDepCapB + 1, kDepCapB + 2, kBeta,
                                                            kBetatce, kVto, kVtotc});
        // The built-in voltage falls as the device warms; the smoothed gate charge of the levels
        // above 1 has no value once VMAX reaches it, so such a run stops with the model's own
        // message rather than stepping on a charge that is not a number.
        if (static_cast<int>(Slot(m, kLevel)) != 1 && CheckGasfetModel(nullptr, m) != 0) {
            ModelReportTarget target;
            target.window = RunControl().circuitWindow;
            target.text = StrPrintf("%s: VBI %.4g V at %g degrees", m.name.c_str(), Slot(m, kVbi), tm);
            return CheckGasfetModel(&target, m);
        }
        Slot(m, kIs) = static_cast<float>(Slot(m, kIs) *
                                          SaturationCurrentTempFactor(t.ratio, Slot(m, kEg), Slot(m, kN), t.vt, Slot(m, kXti)));
        DivideConductanceByFactor(Slot(m, kRd), 1.0 + Slot(m, kTrd1) * t.dT, gmax);
        DivideConductanceByFactor(Slot(m, kRs), 1.0 + Slot(m, kTrs1) * t.dT, gmax);
        DivideConductanceByFactor(Slot(m, kRg), 1.0 + Slot(m, kTrg1) * t.dT, gmax);
    }
    for (GaasfetDevice& g : ListRecords<GaasfetDevice>(DeviceList(kGaasfetDeviceList))) {
        if (!g.model || !Usable(*g.model)) continue;
        EvaluatedModel& m = *g.model;
        g.values.celsius = ModelDeviceTemperature(m, kTMeasured, celsius);
        g.values.vt = ThermalVoltage(g.values.celsius);
        g.values.vcrit = CriticalJunctionVoltage(g.values.vt, Slot(m, kIs));
    }
    return 0;
}

void GaasfetLevel1Current(GaasfetWorkArea& w)
{
    w.id = w.gm = w.gds = 0.0;
    const bool normal = w.vds >= 0.0;
    const double vgt = (normal ? w.vgs : w.vgd) - w.vto;
    if (vgt <= 0.0) return;
    const double a = (normal ? 1.0 : -1.0) * w.alpha * w.vds;
    const double e1 = ClampedExp(a), e2 = ClampedExp(-a);
    const double t = (e1 - e2) / (e1 + e2), s = 2.0 / (e1 + e2);
    const double betap = w.beta * (normal ? 1.0 + w.lambda * w.vds : 1.0 - w.lambda * w.vds);
    const double i = betap * vgt * vgt;
    if (normal) {
        w.id = i * t;
        w.gm = 2.0 * t * betap * vgt;
        w.gds = s * s * i * w.alpha + t * w.lambda * w.beta * vgt * vgt;
    } else {
        w.id = -i * t;
        w.gm = -2.0 * t * betap * vgt;
        w.gds = s * s * i * w.alpha + t * w.lambda * w.beta * vgt * vgt - w.gm;
    }
}

void GaasfetLevel2Current(GaasfetWorkArea& w)
{
    w.id = w.gm = w.gds = 0.0;
    const double k = w.alpha * w.vds / 3.0;
    if (w.vds >= 0.0) {
        const double vgst = w.vgs - w.vto;
        if (vgst <= 0.0) return;
        const double d = 1.0 + w.b * vgst;
        const double betap = w.beta * (1.0 + w.lambda * w.vds);
        const double i0 = betap * vgst * vgst / d, g0 = betap * vgst * (d + 1.0) / (d * d);
        if (w.vds < 3.0 / w.alpha) {
            const double u = 1.0 - k, f = 1.0 - u * u * u;
            w.id = i0 * f;
            w.gm = g0 * f;
            w.gds = (w.alpha * u * u * (1.0 + w.lambda * w.vds) + w.lambda * f) * w.beta * vgst * vgst / d;
        } else {
            w.id = i0;
            w.gm = g0;
            w.gds = w.lambda * w.beta * vgst * vgst / d;
        }
        return;
    }
    const double vgdt = w.vgd - w.vto;
    if (vgdt <= 0.0) return;
    const double d = 1.0 + w.b * vgdt;
    const double betan = w.beta * (1.0 - w.lambda * w.vds);
    const double g0 = -betan * vgdt * (d + 1.0) / (d * d);
    if (-w.vds < 3.0 / w.alpha) {
        const double u = 1.0 + k, f = 1.0 - u * u * u;
        w.gm = f * g0;
        w.id = -betan * vgdt * vgdt * f / d;
        w.gds = (w.alpha * u * u * (1.0 - w.lambda * w.vds) + w.lambda * f) * w.beta * vgdt * vgdt / d - w.gm;
    } else {
        w.gm = g0;
        w.id = -betan * vgdt * vgdt / d;
        w.gds = w.lambda * w.beta * vgdt * vgdt / d - w.gm;
    }
}

void GaasfetLevel3Current(GaasfetWorkArea& w)
{
    w.id = w.gm = w.gds = 0.0;
    const double k = w.alpha * w.vds / 3.0;
    const bool normal = w.vds >= 0.0;
    const double vgt = normal ? w.vgs - (w.vto - w.gamma * w.vds) : w.vgd - (w.vto + w.gamma * w.vds);
    if (vgt <= 0.0) return;
    double f = 1.0, fp = 0.0;
    if ((normal ? w.vds : -w.vds) < 3.0 / w.alpha) {
        const double u = normal ? 1.0 - k : 1.0 + k;
        f = 1.0 - u * u * u;
        fp = w.alpha * u * u;
    }
    const double power = w.beta * std::pow(vgt, w.q);
    const double i = f * power;
    const double didvds = f == 0.0 ? i * w.gamma * w.q / vgt + power * fp : (fp / f + w.gamma * w.q / vgt) * i;
    const double didvg = w.q * i / vgt;
    if (normal) {
        const double d = 1.0 + w.delta * w.vds * i;
        w.id = i / d;
        w.gm = didvg / d - i * w.delta * w.vds * didvg / (d * d);
        w.gds = didvds / d - (w.delta * i / (d * d)) * (w.vds * didvds + i);
    } else {
        const double d = 1.0 - w.delta * w.vds * i;
        w.id = -i / d;
        w.gm = -(didvg / d + w.delta * i * w.vds * didvg / (d * d));
        w.gds = didvds / d - (-w.vds * didvds + i) * w.delta * i / (d * d) - w.gm;
    }
}

double GaasfetGateCharge(const GaasfetWorkArea& w, double va, double vb, double vbi, double delta, double vto,
                         double cgs0, double cgd0, double& c1, double& c2)
{
    const double r = std::sqrt((va - vb) * (va - vb) + delta * delta);
    const double ve1 = (va + vb + r) / 2.0, ve2 = (va + vb - r) / 2.0;
    const double wv = std::sqrt((ve1 - vto) * (ve1 - vto) + w.vdelta * w.vdelta);
    const double vn = (vto + ve1 + wv) / 2.0;
    double v = vn, extra = 0.0;
    if (vn >= w.vmax) {
        v = w.vmax;
        extra = (vn - w.vmax) / std::sqrt(1.0 - w.vmax / vbi);
    }
    const double root = std::sqrt(1.0 - v / vbi);
    const double q = cgs0 * (2.0 * vbi * (1.0 - root) + extra) + cgd0 * ve2;
    const double k1 = (ve1 - vto) / wv, k2 = (va - vb) / r;
    const double p = cgs0 * ((1.0 + k1) / 2.0) / root;
    c1 = p * (1.0 + k2) / 2.0 + cgd0 * (1.0 - k2) / 2.0;
    c2 = p * (1.0 - k2) / 2.0 + cgd0 * (1.0 + k2) / 2.0;
    return q;
}

}  // namespace kq5
