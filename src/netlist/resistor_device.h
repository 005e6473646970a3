#pragma once
// Resistors (device list 27): every Resistor part, and the resistors that other translators add
// (series resistances of sources, the DC paths of couplings and transformers).
#include <cstdint>
#include <memory>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/model_types.h"

namespace kq5 {

struct EvaluatedModel;

// In ResistorDevice::flags: the value moves during a run (a digital-to-analog output stage), so
// the resistor is loaded at every pass, never from the run's kept constant part.
inline constexpr std::uint32_t kResistorValueMoves = 0x2;

// What few resistors carry: an AC value, a model, temperature coefficients written on the part.
struct ResistorExtras {
    DeviceExpression acExpression;
    EvaluatedModel* model = nullptr;
    double tc1 = kParamNotGivenDouble;
    double tc2 = kParamNotGivenDouble;
    std::int32_t tc1Given = 0;
    std::int32_t tc2Given = 0;
};

// A circuit may hold hundreds of thousands of these: what only some resistors use is held out
// of line, and the small fields fill the gaps between the larger ones.
struct ResistorDevice : ListNode {
    std::uint8_t sourceFlag = 0;  // 1 for a Resistor part, 0 for one made by another translator
    std::int32_t nodeA = 0;       // pin 0
    std::int32_t nodeB = 0;       // pin 1
    std::uint32_t flags = 0;
    double value = 0.5;           // working resistance
    double nominal = 0.5;
    DeviceExpression valueExpression;
    std::unique_ptr<ResistorExtras> extras;  // null while the resistor has none of them

    EvaluatedModel* Model() const { return extras ? extras->model : nullptr; }
    // The extras, made when missing; may throw std::bad_alloc.
    ResistorExtras& Extras()
    {
        if (!extras) extras = std::make_unique<ResistorExtras>();
        return *extras;
    }
    void FreeOwnedData() override
    {
        valueExpression.Clear();
        if (extras) extras->acExpression.Clear();
    }
};
static_assert(sizeof(ResistorDevice) <= 104, "a resistor record fits a 112-byte heap block");

}  // namespace kq5
