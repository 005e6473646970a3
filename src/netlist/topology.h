#pragma once
// The topology checks of the circuit build: circuits that the analog solver cannot solve are
// refused with the faulty component or node. Each check stops at its first fault, reports it
// and marks the build failed.
namespace kq5 {

// Analog nodes with fewer than two connections: with the "Floating Nodes" preference on, any
// node touched by one pin only; with it off, only an O device's analog pin that touches nothing.
void CheckAnalogNodeConnections(bool floatingNodes);

// Loops made only of inductors (unless .SKIP_L_LOOP) and voltage-driving sources.
void CheckInductorSourceLoops(int analogNodeCount);

// Nodes without a DC path to ground. 0, or 15002 after the out-of-memory exit.
int CheckDcPathToGround(int analogNodeCount);

}  // namespace kq5
