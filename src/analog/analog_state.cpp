#include "analog/analog_state.h"

namespace kq5 {

AnalogState& Analog() {
    static AnalogState state;
    return state;
}

void ResetAnalogStateForTests() { Analog() = AnalogState{}; }

}  // namespace kq5
