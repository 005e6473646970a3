#include "devices/jfet_model.h"

#include <algorithm>
#include <cmath>

#include "devices/temperature_setup.h"
#include "core/device_lists.h"
#include "core/linked_list.h"
#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "devices/junction_temperature.h"
#include "devices/model_temperature.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

using namespace jfet_param;

bool IsJfetType(int type) { return type == kModelNjf || type == kModelPjf; }

bool Usable(const EvaluatedModel& m) { return m.params.size() >= static_cast<std::size_t>(kJfetSlotCount); }

float& Slot(EvaluatedModel& m, int index) { return m.params[static_cast<std::size_t>(index)]; }

template <class F>
void EachJfetModel(int type, F&& f)
{
    if (!IsJfetType(type)) return;
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)]))
        if (Usable(m)) f(m);
}

}  // namespace

void PrepareJfetModelLimits(int modelType)
{
    const double tnom = GlobalOptions().values.tnom;
    EachJfetModel(modelType, [tnom](EvaluatedModel& m) {
        if (IsParamNotGiven(Slot(m, kTMeasured))) Slot(m, kTMeasured) = static_cast<float>(tnom);
        Slot(m, kAf) = std::max(Slot(m, kAf), 0.1f);
        Slot(m, kFc) = std::min(Slot(m, kFc), 0.95f);
    });
}

void DeriveJfetModelParams(int modelType)
{
    EachJfetModel(modelType, [](EvaluatedModel& m) {
        ResistanceToConductance(kRd, m.params);
        ResistanceToConductance(kRs, m.params);
        // The charge below the knee is graded with M, so the line above it must continue that
        // grading: a fixed 0.5 would make charge and capacitance jump at the knee.
        NudgeOffOne(Slot(m, kM));
        DepletionCapCoefficients(m.params, kFc, kDepCapB, kDepCapC, kDepCapD, Slot(m, kFc), Slot(m, kPb), Slot(m, kM));
    });
}

void PrepareJfetModelsAtTemp(int modelType, double celsius)
{
    const double gmax = Devices().gmax;
    EachJfetModel(modelType, [&](EvaluatedModel& m) {
        const double tm = ModelDeviceTemperature(m, kTMeasured, celsius);
        const JunctionTemperature t = FetGateAtTemperature(
            m, Slot(m, kTMeasured), tm, {kCgd, kCgs, kPb, kM, kFc, kDepCapC, kDepCapD, kBeta, kBetatce, kVto, kVtotc});
        Slot(m, kIs) = static_cast<float>(Slot(m, kIs) * SaturationCurrentTempFactor(t.ratio, 1.11, 1.0, t.vt, Slot(m, kXti)));
        for (int index : {kRd, kRs})
            if (float& g = Slot(m, index); g != 0.0f) g = static_cast<float>(std::min(static_cast<double>(g), gmax));
    });
    for (JfetDevice& j : ListRecords<JfetDevice>(DeviceList(kJfetDeviceList))) {
        if (!j.model || !Usable(*j.model) || j.model->row != modelType) continue;
        EvaluatedModel& m = *j.model;
        j.values.celsius = ModelDeviceTemperature(m, kTMeasured, celsius);
        j.values.vt = ThermalVoltage(j.values.celsius);
        j.values.vcrit = CriticalJunctionVoltage(j.values.vt, Slot(m, kIs));
    }
}

}  // namespace kq5
