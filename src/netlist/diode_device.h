#pragma once
// Diodes (device list 28).
#include <cstdint>

#include "core/device_lists.h"
#include "core/linked_list.h"

namespace kq5 {

struct EvaluatedModel;

struct DiodeDevice : ListNode {
    std::int32_t anode = 0;
    std::int32_t cathode = 0;
    std::int32_t internalAnode = 0;  // behind the series resistance; the anode when there is none
    EvaluatedModel* model = nullptr;
    std::int32_t off = 0;
    std::int32_t ordinal = 0;  // 1-based position in its list
    double area = 1.0;
    std::int32_t initialConditionGiven = 0;
    double initialVoltage = 0.0;
    // Values that expressions read during a run.
    double current = 0.0;
    double charge = 0.0;
    double capacitance = 0.0;
    // The load's working values: junction voltage (internal anode to cathode), junction
    // current and conductance of the last evaluation.
    double vd = 0.0;
    double id = 0.0;
    double gd = 0.0;
    // Set by the temperature pass of each run from the model at its device temperature.
    double vt = 0.025864186;
    double vcrit = 0.6;
    double celsius = 27.0;
};

}  // namespace kq5
