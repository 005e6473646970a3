#pragma once
// Resistors (device list 27): every Resistor part, and the resistors that other translators add
// (series resistances of sources, the DC paths of couplings and transformers).
#include <cstdint>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/model_types.h"

namespace kq5 {

struct EvaluatedModel;

// In ResistorDevice::flags: the value moves during a run (a digital-to-analog output stage), so
// the resistor is loaded at every pass, never from the run's kept constant part.
inline constexpr std::uint32_t kResistorValueMoves = 0x2;

// A circuit may hold hundreds of thousands of these: the fields are ordered so that the
// 32-bit ones pack in pairs rather than each padding a double.
struct ResistorDevice : ListNode {
    std::int32_t nodeA = 0;  // pin 0
    std::int32_t nodeB = 0;  // pin 1
    std::int32_t subtype = kDeviceValueSubtype;
    double value = 0.5;      // working resistance
    double nominal = 0.5;
    double nominalCopy = 0.5;
    double tc1 = kParamNotGivenDouble;
    double tc2 = kParamNotGivenDouble;
    DeviceExpression valueExpression;
    DeviceExpression acExpression;
    EvaluatedModel* model = nullptr;
    std::int32_t sourceFlag = 0;  // 1 for a Resistor part, 0 for one made by another translator
    std::int32_t tc1Given = 0;
    std::int32_t tc2Given = 0;
    std::uint32_t flags = 0;

    void FreeOwnedData() override
    {
        valueExpression.Clear();
        acExpression.Clear();
    }
};

}  // namespace kq5
