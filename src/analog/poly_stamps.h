#pragma once
// What the solver keeps beside each POLY controlled source during a run: its rows, the control
// values and partial derivatives of the last load (the AC stamps read them) and its value.
#include <cstdint>
#include <vector>

#include "netlist/device_stamps.h"

namespace kq5 {

// Forms of a POLY source by its component type.
inline constexpr int kPolyCurrentOfVoltage = 50;  // G
inline constexpr int kPolyCurrentOfCurrent = 51;  // F
inline constexpr int kPolyVoltageOfVoltage = 52;  // E
inline constexpr int kPolyVoltageOfCurrent = 53;  // H

struct PolyControlState {
    std::int32_t first = 0;     // positive node (E, G) or controlling branch row (F, H)
    std::int32_t second = 0;    // negative node (E, G), 0 for F and H
    double x = 0.0;             // control value of the last load
    double initial = 0.0;       // value in the junction-initialising mode
    double derivative = 0.0;    // df/dx of the last load
};

struct PolyStamps {
    StampRange stamps;
    std::int32_t branch = 0;    // output row of E and H
    double value = 0.0;         // output of the last evaluation
    std::vector<PolyControlState> controls;  // entries 1..n (entry 0 unused)
};

}  // namespace kq5
