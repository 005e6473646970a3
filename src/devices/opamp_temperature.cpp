// The op-amp's elements at the run temperature: the gain stages of LEVEL 1 and 2 and the
// Boyle macromodel of LEVEL 3, derived again from the OPA model before every run.
#include <cmath>

#include "netlist/capacitor_device.h"
#include "devices/model_temperature.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/poly_source.h"

namespace kq5 {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr int kMsgNegativeC2 = 15015;
constexpr int kMsgOpampValuesNotPositive = 15024;
constexpr int kOpaLevel = 0, kOpaType = 1, kOpaC = 2, kOpaA = 3, kOpaRoutAc = 4, kOpaRoutDc = 5, kOpaVoff = 6,
              kOpaIoff = 7, kOpaIbias = 10, kOpaGbw = 16, kOpaPm = 17, kOpaTMeasured = 20;

double P(const EvaluatedModel& m, int index)
{
    return static_cast<std::size_t>(index) < m.params.size() ? static_cast<double>(m.Param(index)) : 0.0;
}

void SetValue(ResistorDevice* r, double value)
{
    if (r) r->value = r->nominal = value;
}
void SetValue(CapacitorDevice* c, double value)
{
    if (c) c->value = c->nominal = value;
}
void SetSource(ListNode* node, double value)
{
    if (auto* s = static_cast<IndependentSourceDevice*>(node)) s->dcValue = s->dcWorking = value;
}

void SetParam(EvaluatedModel* m, const char* name, double value)
{
    if (!m) return;
    const int index = FindModelParamIndex(m->row, name);
    if (index >= 0 && static_cast<std::size_t>(index) < m->params.size()) m->params[static_cast<std::size_t>(index)] = static_cast<float>(value);
}

// The four temperature parameters of the OPA model into another model.
void CopyTemperatures(const EvaluatedModel& from, EvaluatedModel* to)
{
    if (!to) return;
    for (const char* name : {"T_MEASURED", "T_ABS", "T_REL_GLOBAL", "T_REL_LOCAL"}) {
        const int source = FindModelParamIndex(from.row, name);
        if (source >= 0) SetParam(to, name, P(from, source));
    }
}

int PrepareOpampLevel3(OpampDevice& opamp, double celsius)
{
    OpampMacroValues v;
    if (int rc = DeriveOpampModel(opamp, v, celsius)) return rc;
    EvaluatedModel& model = *opamp.model;
    // Sources in the order the macromodel made them: IEE, VS1, VC, VE, VLP, VLN, VS2.
    const double sources[] = {v.iee, 0.0, v.vc, v.ve, std::fabs(v.vlp), std::fabs(v.vln), 0.0};
    for (std::size_t i = 0; i < opamp.sources.size() && i < std::size(sources); ++i) SetSource(opamp.sources[i], sources[i]);
    // Controlled sources: F1 (five inputs), the common-mode half sum, H1, GCM, GA.
    auto coefficients = [&](std::size_t i, std::initializer_list<double> values) {
        if (i >= opamp.controlledSources.size() || !opamp.controlledSources[i]) return;
        auto* e = static_cast<PolySourceDevice*>(opamp.controlledSources[i]);
        e->coefficients.assign(values);
    };
    coefficients(0, {0.0, v.gb, v.minusGb, v.gb2, v.gb2, v.minusGb});
    coefficients(3, {0.0, v.gcm});
    coefficients(4, {0.0, v.ga});
    SetValue(opamp.capacitors[0], v.c1);
    SetValue(opamp.capacitors[1], v.ce);
    SetValue(opamp.capacitors[2], v.c2);
    const double resistors[] = {v.rc1, v.rc2, v.re1, v.re2, v.re, v.rp, v.r2, v.ro2, v.routac};
    for (std::size_t i = 0; i < std::size(resistors); ++i) SetValue(opamp.resistors[i], resistors[i]);
    if (IsParamNotGiven(static_cast<float>(P(model, kOpaTMeasured))) && static_cast<std::size_t>(kOpaTMeasured) < model.params.size())
        model.params[kOpaTMeasured] = static_cast<float>(GlobalOptions().values.tnom);
    CopyTemperatures(model, opamp.diodeModel);
    const int type = static_cast<int>(std::lround(P(model, kOpaType)));
    if (type == 1 || type == 2) {
        SetParam(opamp.inputModels[0], "BF", v.beta1);
        SetParam(opamp.inputModels[1], "BF", v.beta2);
        SetParam(opamp.inputModels[1], "IS", v.isq2);
        CopyTemperatures(model, opamp.inputModels[1]);
    } else if (type == 3) {
        SetParam(opamp.inputModels[0], "BETA", v.beta1);
        SetParam(opamp.inputModels[1], "BETA", v.beta2);
        if (EvaluatedModel* j2 = opamp.inputModels[1]) {
            const int vto = FindModelParamIndex(j2->row, "VTO");
            if (vto >= 0) SetParam(j2, "VTO", P(*j2, vto) + P(model, kOpaVoff));
        }
        SetParam(opamp.inputModels[0], "IS", (P(model, kOpaIoff) * 0.5 + P(model, kOpaIbias)) * 0.5);
        SetParam(opamp.inputModels[1], "IS", (P(model, kOpaIbias) - P(model, kOpaIoff) * 0.5) * 0.5);
        CopyTemperatures(model, opamp.inputModels[0]);
        CopyTemperatures(model, opamp.inputModels[1]);
    }
    return 0;
}

}  // namespace

int PrepareOpampInstance(OpampDevice& opamp, double celsius)
{
    if (!opamp.model) return 0;
    const EvaluatedModel& m = *opamp.model;
    const int level = static_cast<int>(std::lround(P(m, kOpaLevel)));
    const double a = P(m, kOpaA), gbw = P(m, kOpaGbw), ro = P(m, kOpaRoutAc) + P(m, kOpaRoutDc);
    // Each level divides by these; a zero or negative one would leave infinite elements.
    if (level >= 1 && level <= 3 && (a <= 0.0 || ro <= 0.0 || (level >= 2 && gbw <= 0.0) || (level == 3 && P(m, kOpaC) <= 0.0)))
        return kMsgOpampValuesNotPositive;
    if (level == 1) {
        opamp.transconductance = a / ro;
        return 0;
    }
    if (level == 2) {
        const double f1 = gbw / a;
        const double t = std::tan(M_PI - std::atan(gbw / f1) - P(m, kOpaPm) / kDegreesPerRadian);
        SetValue(opamp.capacitors[0], 1.0 / (kTwoPi * f1 * ro));
        const double c2 = t / (kTwoPi * gbw * ro);
        SetValue(opamp.capacitors[1], c2);
        for (std::size_t i = 0; i < 3; ++i) SetValue(opamp.resistors[i], ro);
        opamp.transconductance = std::pow(a, 0.3333333333333) / ro;
        return c2 <= 0.0 ? kMsgNegativeC2 : 0;
    }
    if (level == 3) return PrepareOpampLevel3(opamp, celsius);
    return 0;
}

}  // namespace kq5
