#pragma once
// Capacitors (device list 29).
#include <cstdint>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/model_types.h"

namespace kq5 {

struct EvaluatedModel;

struct CapacitorDevice : ListNode {
    std::int32_t nodeA = 0;
    std::int32_t nodeB = 0;
    double value = 1.0;  // working capacitance
    DeviceExpression valueExpression;
    DeviceExpression acExpression;
    std::int32_t subtype = kDeviceValueSubtype;
    double nominal = 1.0;
    std::int32_t ordinal = 0;  // 1-based position in its list
    double initialCondition = 0.0;
    std::int32_t initialConditionGiven = 0;
    EvaluatedModel* model = nullptr;
    std::uint32_t flags = 0;
    // Values that expressions read during a run.
    double charge = 0.0;
    double current = 0.0;

    void FreeOwnedData() override
    {
        valueExpression.Clear();
        acExpression.Clear();
    }
};

}  // namespace kq5
