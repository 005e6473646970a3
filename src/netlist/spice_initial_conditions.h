#pragma once
// .IC and .NODESET lines: kept as read during the text pass (with their scope) and turned into
// the initial-condition table when the circuit is built, once node numbers and parts exist.
#include <string_view>

#include "netlist/spice_reader_state.h"

namespace kq5 {

// Modes of ParseInitialConditions.
inline constexpr int kInitialClear = 1;  // forget the stored lines
inline constexpr int kInitialStore = 2;  // store a line with its scope
inline constexpr int kInitialBuild = 3;  // build the table from the stored lines
inline constexpr int kInitialFree = 4;   // free the stored lines

// 0, 15002, or 15055 after a report.
int ParseInitialConditions(std::string_view line, int mode, int scope);

// The table the build made; read by the operating point.
InitialConditionTable& InitialConditions();

// A capacitor's initial condition for the table: its two nodes and its value. The build adds
// one per capacitor whose IC was given (a given 0 included).
int AddCapacitorInitialCondition(std::int32_t nodeA, std::int32_t nodeB, double value);

}  // namespace kq5
