#include "devices/diode_model.h"

#include "devices/temperature_setup.h"
#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/diode_device.h"
#include "devices/junction_temperature.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

float& Slot(EvaluatedModel& m, int index) { return m.params[static_cast<std::size_t>(index)]; }

bool HasDiodeSlots(const EvaluatedModel& m) { return m.params.size() > static_cast<std::size_t>(diode_param::kDepCapD); }

}  // namespace

void PrepareDiodeModelsAtTemp(double celsius)
{
    using namespace diode_param;
    const double rmin = GlobalOptions().values.rmin;
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelDiode])) {
        if (!HasDiodeSlots(m)) continue;
        const double tm = ModelDeviceTemperature(m, kTMeasured, celsius);
        const double vjBefore = Slot(m, kVj);
        const JunctionTemperature t = JunctionTempAdjust(Slot(m, kTMeasured), tm, kCjo, kVj, Slot(m, kM), m);
        const double f = vjBefore != 0.0 ? Slot(m, kVj) / vjBefore : 1.0;
        const double eg = Slot(m, kEg), xti = Slot(m, kXti);
        Slot(m, kIs) = static_cast<float>(Slot(m, kIs) * SaturationCurrentTempFactor(t.ratio, eg, Slot(m, kN), t.vt, xti));
        RescaleDepletionKnee(m.params, kFc, kDepCapC, kDepCapD, f);
        Slot(m, kBv) = static_cast<float>(Slot(m, kBv) * TemperaturePolynomial(Slot(m, kTbv1), Slot(m, kTbv2), t.dT));
        Slot(m, kIkf) = static_cast<float>(Slot(m, kIkf) * TemperaturePolynomial(Slot(m, kTikf), 0.0, t.dT));
        Slot(m, kIsr) = static_cast<float>(Slot(m, kIsr) * SaturationCurrentTempFactor(t.ratio, eg, Slot(m, kNr), t.vt, xti));
        float& rs = Slot(m, kRs);
        rs = static_cast<float>(rs * TemperaturePolynomial(Slot(m, kTrs1), Slot(m, kTrs2), t.dT));
        if (rs != 0.0f && rs <= rmin) rs = static_cast<float>(rmin);
    }
    for (DiodeDevice& d : ListRecords<DiodeDevice>(DeviceList(kDiodeDeviceList))) {
        if (!d.model || !HasDiodeSlots(*d.model)) continue;
        EvaluatedModel& m = *d.model;
        // The device temperature again: cheap, and it keeps the model free of derived slots.
        d.celsius = ModelDeviceTemperature(m, kTMeasured, celsius);
        d.vt = ThermalVoltage(d.celsius);
        d.vcrit = CriticalJunctionVoltage(Slot(m, kN) * d.vt, Slot(m, kIs));
    }
}

}  // namespace kq5
