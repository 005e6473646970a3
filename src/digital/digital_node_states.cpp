#include "digital/digital_node_states.h"

namespace kq5 {

DigitalSimulatorState& DigitalSimulator()
{
    static DigitalSimulatorState state;
    return state;
}

void ResetDigitalSimulatorForTests()
{
    DigitalSimulator() = DigitalSimulatorState();
}

double DigitalTimeUnit()
{
    return DigitalSimulator().timeUnit;
}

}  // namespace kq5
