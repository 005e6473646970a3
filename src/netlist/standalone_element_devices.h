#pragma once
// Elements of their own: user-file sources (device list 4), sample-and-hold elements (list -2),
// and the two digital display elements, LEDs (list 0) and seven-segment displays (list -1),
// which the schematic reads to show digital states.
#include <array>
#include <cstdint>
#include <string>

#include "core/device_lists.h"
#include "core/linked_list.h"
#include "netlist/device_expression.h"
#include "netlist/device_stamps.h"

namespace kq5 {

struct SchematicItem;

struct UserSourceDevice : ListNode {
    std::int32_t nodePlus = 0;
    std::int32_t nodeMinus = 0;
    std::string fileName;
    std::string expression;
    double current = 0.0;

    void FreeOwnedData() override
    {
        fileName.clear();
        expression.clear();
    }
};

struct SampleHoldDevice : ListNode {
    std::int32_t input = 0;   // pin 0
    std::int32_t output = 0;  // pin 1
    DeviceExpression sampled;
    double value = 0.0;
    std::int32_t subtype = kDeviceValueSubtype;
    double held = 0.0;
    double period = 0.0;
    SchematicItem* component = nullptr;
    // Solver values: the reserved elements and the output branch row.
    StampRange stamps;
    std::int32_t branch = 0;

    void FreeOwnedData() override { sampled.Clear(); }
};

struct DigitalLedDevice : ListNode {
    std::int32_t node = 0;
    SchematicItem* component = nullptr;
};

struct SevenSegmentDevice : ListNode {
    std::array<std::int32_t, 7> segments{};  // A to G
    SchematicItem* component = nullptr;
};

}  // namespace kq5
