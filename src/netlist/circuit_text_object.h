#pragma once
// A line of circuit text kept with the circuit (a dot command, or an element line of a text
// netlist) with where it came from, so that messages can show it and point at it.
#include <cstdint>
#include <string>

#include "core/linked_list.h"

namespace kq5 {

struct CircuitTextObject : ListNode {
    std::string text;
    int lineNumber = 0;    // source line
    long filePosition = 0;
    std::int32_t scope = 0;  // subcircuit scope the line was read in
};

}  // namespace kq5
