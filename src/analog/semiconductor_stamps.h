#pragma once
// What the solver keeps beside each semiconductor record during a run: the element stretch its
// set-up reserved and the first of its charge states. The working values (junction voltages,
// currents, conductances, capacitances) live in the records, where the reports read them.
#include <cstdint>

#include "netlist/device_stamps.h"

namespace kq5 {

struct SemiconductorStamps {
    StampRange stamps;
    std::int32_t stateSlot = 0;  // index of its first slot in the state vectors
};

}  // namespace kq5
