#include "devices/linear_noise.h"

#include <cmath>
#include <vector>

#include "analog/analog_state.h"
#include "analog/noise.h"
#include "analog/run_control.h"
#include "core/device_lists.h"
#include "netlist/line_switch_devices.h"
#include "netlist/resistor_device.h"
#include "netlist/translate_common.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

// The temperature (degrees Celsius) of a resistor: its model's T_ABS, else the run
// temperature raised by T_REL_GLOBAL, else the run temperature.
double ResistorTemperature(const ResistorDevice& r)
{
    const double run = RunControl().temperature.current;
    if (!r.Model()) return run;
    const double tabs = ModelParam(r.Model(), "T_ABS", kParamNotGivenDouble);
    if (!IsParamNotGiven(tabs)) return tabs;
    const double trel = ModelParam(r.Model(), "T_REL_GLOBAL", kParamNotGivenDouble);
    if (!IsParamNotGiven(trel)) return run + trel;
    return run;
}

}  // namespace

int ResistorNoise(double)
{
    std::size_t i = 0;
    const auto& table = AnalogSolver().devices.resistors;
    for (const ResistorDevice& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) {
        const std::size_t position = i++;
        if (!r.sourceFlag) continue;
        const double resistance =
            position < table.size() && table[position].resistance != 0.0 ? table[position].resistance : r.value;
        AddNoiseSource(r.nodeA, r.nodeB, ThermalNoiseDensity(1.0 / resistance, ResistorTemperature(r)));
    }
    return 0;
}

int SwitchNoise(double)
{
    const double kelvin = RunControl().temperature.current + kZeroCelsius;
    const DeviceSolverTables& tables = AnalogSolver().devices;
    auto add = [&](const std::vector<SwitchStamps>& table, std::size_t i, int a, int b) {
        const double r = i < table.size() ? table[i].resistance : 0.0;
        AddNoiseSource(a, b, std::sqrt(kFourK * kelvin) * std::sqrt(r != 0.0 ? 1.0 / std::abs(r) : 0.0));
    };
    std::size_t i = 0;
    for (const SwitchDevice& w : ListRecords<SwitchDevice>(DeviceList(kSwitchDeviceList)))
        add(tables.switches, i++, w.outputA, w.outputB);
    i = 0;
    for (const VoltageSwitchDevice& w : ListRecords<VoltageSwitchDevice>(DeviceList(kVoltageSwitchDeviceList)))
        add(tables.voltageSwitches, i++, w.outputPlus, w.outputMinus);
    i = 0;
    for (const CurrentSwitchDevice& w : ListRecords<CurrentSwitchDevice>(DeviceList(kCurrentSwitchDeviceList)))
        add(tables.currentSwitches, i++, w.outputPlus, w.outputMinus);
    return 0;
}

}  // namespace kq5
