#include "core/digital_node_states.h"

namespace kq5 {

namespace detail {
// Built before any other file's start-up code can ask for it.
constinit DigitalDeviceTables digitalSimulatorState;
}  // namespace detail

void ResetDigitalSimulatorForTests()
{
    // Compiled digital operands hold addresses into the node arrays: reset in place.
    DigitalDeviceTables& d = DigitalSimulator();
    d = DigitalDeviceTables();
}

double DigitalTimeUnit()
{
    return DigitalSimulator().timeUnit;
}

}  // namespace kq5
