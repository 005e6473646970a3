#pragma once
// Capacitors (device list 29).
#include <cstdint>
#include <memory>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/model_types.h"

namespace kq5 {

struct EvaluatedModel;

// What few capacitors carry: an AC value, a model, the mark of an initial condition written on
// the part.
struct CapacitorExtras {
    DeviceExpression acExpression;
    EvaluatedModel* model = nullptr;
    std::int32_t initialConditionGiven = 0;
};

// A circuit may hold hundreds of thousands of these: what only some capacitors use is held out
// of line, and the small fields fill the gaps between the larger ones.
struct CapacitorDevice : ListNode {
    std::int32_t nodeA = 0;
    std::int32_t nodeB = 0;
    std::int32_t subtype = kDeviceValueSubtype;
    std::int32_t ordinal = 0;  // 1-based position in its list
    std::uint32_t flags = 0;
    double value = 1.0;  // working capacitance
    double nominal = 1.0;
    // Values that expressions read during a run.
    double charge = 0.0;
    double current = 0.0;
    // The voltage the run starts from: the one written on the part, else the operating point's.
    double initialCondition = 0.0;
    DeviceExpression valueExpression;
    std::unique_ptr<CapacitorExtras> extras;  // null while the capacitor has none of them

    EvaluatedModel* Model() const { return extras ? extras->model : nullptr; }
    bool InitialConditionGiven() const { return extras && extras->initialConditionGiven != 0; }
    // The extras, made when missing; may throw std::bad_alloc.
    CapacitorExtras& Extras()
    {
        if (!extras) extras = std::make_unique<CapacitorExtras>();
        return *extras;
    }
    void FreeOwnedData() override
    {
        valueExpression.Clear();
        if (extras) extras->acExpression.Clear();
    }
};
static_assert(sizeof(CapacitorDevice) <= 136, "a capacitor record fits a 144-byte heap block");

}  // namespace kq5
