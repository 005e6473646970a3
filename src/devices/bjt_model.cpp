#include "devices/bjt_model.h"

#include <algorithm>
#include <cmath>

#include "devices/temperature_setup.h"
#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/bjt_device.h"
#include "core/device_record_fields.h"
#include "devices/junction_temperature.h"
#include "devices/model_temperature.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

using namespace bjt_param;

constexpr double kDegreesPerRadian = 57.29577951308232;

bool IsBjtType(int type) { return type == kModelNpn || type == kModelPnp || type == kModelLpnp; }

bool Usable(const EvaluatedModel& m) { return m.params.size() >= static_cast<std::size_t>(kBjtSlotCount); }

float& Slot(EvaluatedModel& m, int index) { return m.params[static_cast<std::size_t>(index)]; }

template <class F>
void EachBjtModel(int type, F&& f)
{
    if (!IsBjtType(type)) return;
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)]))
        if (Usable(m)) f(m);
}

}  // namespace

void PrepareBjtModelLimits(int modelType)
{
    const double tnom = GlobalOptions().values.tnom;
    EachBjtModel(modelType, [tnom](EvaluatedModel& m) {
        if (IsParamNotGiven(Slot(m, kTMeasured))) Slot(m, kTMeasured) = static_cast<float>(tnom);
        NudgeOffOne(Slot(m, kMje));
        NudgeOffOne(Slot(m, kMjc));
        Slot(m, kXcjc) = std::min(Slot(m, kXcjc), 1.0f);
        NudgeOffOne(Slot(m, kMjs));
        Slot(m, kEg) = std::max(Slot(m, kEg), 0.1f);
        Slot(m, kAf) = std::max(Slot(m, kAf), 0.1f);
        Slot(m, kFc) = std::min(Slot(m, kFc), 0.95f);
        if (Slot(m, kRbm) == 0.0f) Slot(m, kRbm) = Slot(m, kRb);
        if (Slot(m, kRbm) > Slot(m, kRb)) Slot(m, kRbm) = Slot(m, kRb);
    });
}

void ScaleBjtLeakageCurrents(int modelType)
{
    EachBjtModel(modelType, [](EvaluatedModel& m) {
        if (Slot(m, kIse) >= 1.0f) Slot(m, kIse) = Slot(m, kIs) * Slot(m, kIse);
        if (Slot(m, kIsc) >= 1.0f) Slot(m, kIsc) = Slot(m, kIs) * Slot(m, kIsc);
    });
}

void DeriveBjtModelParams(int modelType)
{
    EachBjtModel(modelType, [](EvaluatedModel& m) {
        for (int index : {kVaf, kVar, kIkf, kIkr}) InvertIfNonZero(index, m.params);
        ResistanceToConductance(kRe, m.params);
        ResistanceToConductance(kRc, m.params);
        if (float& vtf = Slot(m, kVtf); vtf != 0.0f) vtf = static_cast<float>((1.0 / vtf) / 1.44);
        float& ptf = Slot(m, kPtf);
        ptf = Slot(m, kTf) != 0.0f ? static_cast<float>(ptf * Slot(m, kTf) / kDegreesPerRadian) : 0.0f;
        const double fc = Slot(m, kFc);
        DepletionCapCoefficients(m.params, kFc, kEmitterDepCapB, kEmitterDepCapB + 1, kEmitterDepCapB + 2, fc,
                                 Slot(m, kVje), Slot(m, kMje));
        DepletionCapCoefficients(m.params, kCollectorKnee, kCollectorDepCapB, kCollectorDepCapC, kCollectorDepCapD, fc,
                                 Slot(m, kVjc), Slot(m, kMjc));
    });
}

void PrepareBjtModelsAtTemp(int modelType, double celsius)
{
    const GlobalOptionValues& o = GlobalOptions().values;
    const double gmax = Devices().gmax;
    EachBjtModel(modelType, [&](EvaluatedModel& m) {
        const double tm = ModelDeviceTemperature(m, kTMeasured, celsius);
        const double vjeBefore = Slot(m, kVje);
        const JunctionTemperature t = JunctionTempAdjust(Slot(m, kTMeasured), tm, kCje, kVje, Slot(m, kMje), m);
        const double eg = Slot(m, kEg), xti = Slot(m, kXti);
        auto scale = [&](int index, double factor) { Slot(m, index) = static_cast<float>(Slot(m, index) * factor); };
        scale(kIs, SaturationCurrentTempFactor(t.ratio, eg, 1.0, t.vt, xti));
        const double b = std::pow(t.ratio, static_cast<double>(Slot(m, kXtb)));
        scale(kBf, b);
        scale(kBr, b);
        // The leakage currents fall by the beta factor as the betas rise by it, so that the
        // low-current gain keeps its shape over temperature.
        scale(kIse, SaturationCurrentTempFactor(t.ratio, eg, Slot(m, kNe), t.vt, xti) / b);
        scale(kIsc, SaturationCurrentTempFactor(t.ratio, eg, Slot(m, kNc), t.vt, xti) / b);
        scale(kIss, SaturationCurrentTempFactor(t.ratio, eg, Slot(m, kNs), t.vt, xti));
        if (vjeBefore != 0.0)
            RescaleDepletionKnee(m.params, kFc, kEmitterDepCapB + 1, kEmitterDepCapB + 2, Slot(m, kVje) / vjeBefore);
        const double vjcBefore = Slot(m, kVjc);
        JunctionTempAdjust(Slot(m, kTMeasured), tm, kCjc, kVjc, Slot(m, kMjc), m);
        if (vjcBefore != 0.0)
            RescaleDepletionKnee(m.params, kCollectorKnee, kCollectorDepCapC, kCollectorDepCapD, Slot(m, kVjc) / vjcBefore);
        scale(kRb, TemperaturePolynomial(Slot(m, kTrb1), Slot(m, kTrb2), t.dT));
        scale(kRbm, TemperaturePolynomial(Slot(m, kTrm1), Slot(m, kTrm2), t.dT));
        DivideConductanceByFactor(Slot(m, kRe), TemperaturePolynomial(Slot(m, kTre1), Slot(m, kTre2), t.dT), gmax);
        DivideConductanceByFactor(Slot(m, kRc), TemperaturePolynomial(Slot(m, kTrc1), Slot(m, kTrc2), t.dT), gmax);
        for (int index : {kRb, kRbm})
            if (float& r = Slot(m, index); r != 0.0f && r <= o.rmin) r = static_cast<float>(o.rmin);
    });
}

void PrepareBjtInstancesAtTemp()
{
    const double celsius = Devices().runKelvin - 273.15;
    for (BjtDevice& q : ListRecords<BjtDevice>(DeviceList(kBjtDeviceList))) {
        if (!q.model || !Usable(*q.model)) continue;
        EvaluatedModel& m = *q.model;
        q.celsius = ModelDeviceTemperature(m, kTMeasured, celsius);
        const double vt = ThermalVoltage(q.celsius);
        const double a = q.area;
        q.vtNf = Slot(m, kNf) * vt;
        q.vtNr = Slot(m, kNr) * vt;
        q.vbeReverseKnee = -5.0 * q.vtNf;
        q.vbcReverseKnee = -5.0 * q.vtNr;
        q.vtNs = Slot(m, kNs) * vt;
        q.vsubReverseKnee = -5.0 * q.vtNs;
        q.vcritSubstrate = CriticalJunctionVoltage(q.vtNs, Slot(m, kIss));
        q.vcritEmitter = CriticalJunctionVoltage(q.vtNf, Slot(m, kIs));
        q.vcritCollector = CriticalJunctionVoltage(q.vtNr, Slot(m, kIs));
        q.issArea = Slot(m, kIss) * a;
        q.irbArea = Slot(m, kIrb) * a;
        q.vtNe = Slot(m, kNe) * vt;
        q.vtNc = Slot(m, kNc) * vt;
        q.isArea = Slot(m, kIs) * a;
        q.iseArea = Slot(m, kIse) * a;
        q.iscArea = Slot(m, kIsc) * a;
        // The IKF and IKR slots hold 1/IKF and 1/IKR.
        q.invIkfArea = Slot(m, kIkf) / a;
        q.invIkrArea = Slot(m, kIkr) / a;
        q.collectorConductance = Slot(m, kRc) * a;
        q.emitterConductance = Slot(m, kRe) * a;
    }
}

}  // namespace kq5
