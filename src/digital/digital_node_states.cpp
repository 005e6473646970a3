#include "digital/digital_node_states.h"

namespace kq5 {

DigitalDeviceTables& DigitalSimulator()
{
    static DigitalDeviceTables state;
    return state;
}

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
