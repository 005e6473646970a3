#pragma once
// The digital simulator's state that compiled expressions and digital programs read: the
// node state words, the time resolution, the delay scale options and the pin states of a
// primitive instance.
#include <cstdint>
#include <vector>

namespace kq5 {

// The change record of one pin of a primitive: when it last changed and from what.
struct DigitalPinChange {
    std::uint32_t changeTime = 0;     // time of the last change, in time units
    std::uint16_t previousState = 0;  // state index before that change
    std::uint32_t currentTime = 0;    // the present time, in time units
    std::uint16_t currentState = 0;   // state index now
};

// A primitive that evaluates a digital program: the current state index of every pin and
// the change record of every pin, in pin-list order.
struct DigitalPrimitiveInstance {
    std::vector<std::uint16_t> pinStates;
    std::vector<DigitalPinChange> pinChanges;
};

struct DigitalSimulatorState {
    double timeUnit = 1e-12;        // DigitalTimeUnit: seconds per integer time unit
    bool inertialCancellation = false;
    // DIGMNTYSCALE and DIGTYMXSCALE, copied from the options by the circuit build.
    double minTypScale = 0.4;
    double typMaxScale = 1.6;
    // DigitalNodeStates: one state word per digital node, by node number. Compiled digital
    // operands point into `current`, so the arrays are sized only between analyses.
    std::vector<std::uint16_t> current;
    std::vector<std::uint16_t> previous;
    std::vector<std::uint16_t> scheduled;
};

DigitalSimulatorState& DigitalSimulator();
void ResetDigitalSimulatorForTests();

// The digital simulator's time resolution.
double DigitalTimeUnit();

}  // namespace kq5
